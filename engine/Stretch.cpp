#include "engine/Stretch.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace sq {

namespace {

QImage as24(const QImage& source)
{
    return source.format() == QImage::Format_RGB888 ? source
                                                    : source.convertToFormat(QImage::Format_RGB888);
}

// One axis of the bilinear rule: the two source indices and the fraction.
struct Tap
{
    int near0;
    int near1;
    double f;
};

std::vector<Tap> bilinearTaps(int sourceLength, int targetLength)
{
    std::vector<Tap> taps(static_cast<std::size_t>(targetLength));
    const double scale = double(sourceLength) / double(targetLength);
    for (int i = 0; i < targetLength; ++i) {
        const double at = (i + 0.5) * scale - 0.5;
        const double floored = std::floor(at);
        const int index = int(floored);
        Tap& t = taps[std::size_t(i)];
        t.f = at - floored;
        t.near0 = std::clamp(index, 0, sourceLength - 1);
        t.near1 = std::clamp(index + 1, 0, sourceLength - 1);
    }
    return taps;
}

} // namespace

QImage BilinearResize(const QImage& source, int w, int h)
{
    if (source.isNull() || source.width() < 1 || source.height() < 1 || w < 1 || h < 1)
        return QImage();
    const QImage src = as24(source);
    QImage out(w, h, QImage::Format_RGB888);
    if (out.isNull()) return QImage();
    const std::vector<Tap> cols = bilinearTaps(src.width(), w);
    const std::vector<Tap> rows = bilinearTaps(src.height(), h);
    for (int j = 0; j < h; ++j) {
        const Tap& ty = rows[std::size_t(j)];
        const uchar* upper = src.constScanLine(ty.near0);
        const uchar* lower = src.constScanLine(ty.near1);
        uchar* dst = out.scanLine(j);
        const double fy = ty.f;
        for (int i = 0; i < w; ++i) {
            const Tap& tx = cols[std::size_t(i)];
            const double fx = tx.f;
            const double fxy = fx * fy;
            const uchar* a = upper + 3 * tx.near0; // p00
            const uchar* b = upper + 3 * tx.near1; // p10
            const uchar* c = lower + 3 * tx.near0; // p01
            const uchar* d = lower + 3 * tx.near1; // p11
            for (int k = 0; k < 3; ++k) {
                const double p00 = a[k], p10 = b[k], p01 = c[k], p11 = d[k];
                const double v =
                    p00 + fx * (p10 - p00) + fy * (p01 - p00) + fxy * (p00 + p11 - p10 - p01);
                // The blend stays within its corners; the clamp only guards
                // against rounding at 0 and 255.
                dst[3 * i + k] = uchar(std::clamp(std::nearbyint(v), 0.0, 255.0));
            }
        }
    }
    return out;
}

QImage NearestResize(const QImage& source, int w, int h)
{
    if (source.isNull() || source.width() < 1 || source.height() < 1 || w < 1 || h < 1)
        return QImage();
    const QImage src = as24(source);
    QImage out(w, h, QImage::Format_RGB888);
    if (out.isNull()) return QImage();
    const std::int64_t sw = src.width(), sh = src.height();
    std::vector<int> cols(static_cast<std::size_t>(w));
    for (int i = 0; i < w; ++i)
        cols[std::size_t(i)] = int((2 * std::int64_t(i) + 1) * sw / (2 * std::int64_t(w)));
    for (int j = 0; j < h; ++j) {
        const uchar* row =
            src.constScanLine(int((2 * std::int64_t(j) + 1) * sh / (2 * std::int64_t(h))));
        uchar* dst = out.scanLine(j);
        for (int i = 0; i < w; ++i) {
            const uchar* p = row + 3 * cols[std::size_t(i)];
            dst[3 * i] = p[0];
            dst[3 * i + 1] = p[1];
            dst[3 * i + 2] = p[2];
        }
    }
    return out;
}

} // namespace sq
