#include "engine/ExifOrientation.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>

namespace sq {

namespace {

constexpr unsigned char kExifHeader[6] = {'E', 'x', 'i', 'f', 0, 0};
constexpr quint32 kOrientationTag = 0x0112;
constexpr quint32 kTypeShort = 3;
constexpr size_t kEntrySize = 12;

// A TIFF structure in memory; every read checks its bounds first.
struct Tiff
{
    const unsigned char* p;
    size_t n;
    bool big;

    bool u16(size_t at, quint32& v) const
    {
        if (at > n || n - at < 2) return false;
        v = big ? quint32(p[at]) << 8 | p[at + 1] : quint32(p[at + 1]) << 8 | p[at];
        return true;
    }
    bool u32(size_t at, quint32& v) const
    {
        if (at > n || n - at < 4) return false;
        v = big ? quint32(p[at]) << 24 | quint32(p[at + 1]) << 16 | quint32(p[at + 2]) << 8 | p[at + 3]
                : quint32(p[at + 3]) << 24 | quint32(p[at + 2]) << 16 | quint32(p[at + 1]) << 8 | p[at];
        return true;
    }
};

} // namespace

int exifOrientation(const unsigned char* data, size_t size)
{
    if (!data || size < sizeof kExifHeader || std::memcmp(data, kExifHeader, sizeof kExifHeader) != 0)
        return kOrientationUpright;
    Tiff t{data + sizeof kExifHeader, size - sizeof kExifHeader, false};
    if (t.n < 8) return kOrientationUpright;
    if (t.p[0] == 'M' && t.p[1] == 'M')
        t.big = true;
    else if (!(t.p[0] == 'I' && t.p[1] == 'I'))
        return kOrientationUpright;
    quint32 magic = 0, ifd = 0, count = 0;
    if (!t.u16(2, magic) || magic != 42 || !t.u32(4, ifd) || ifd < 8) return kOrientationUpright;
    if (!t.u16(ifd, count) || count == 0) return kOrientationUpright;
    // A count promising more entries than the segment holds is a lie: the
    // whole directory is distrusted rather than read in part.
    const size_t first = size_t(ifd) + 2;
    if (first > t.n || (t.n - first) / kEntrySize < count) return kOrientationUpright;
    for (quint32 i = 0; i < count; ++i) {
        const size_t e = first + kEntrySize * i;
        quint32 tag = 0, type = 0, values = 0, value = 0;
        if (!t.u16(e, tag)) return kOrientationUpright;
        if (tag != kOrientationTag) continue;
        // One SHORT held in the entry itself, nothing else.
        if (!t.u16(e + 2, type) || !t.u32(e + 4, values) || !t.u16(e + 8, value)) return kOrientationUpright;
        if (type != kTypeShort || values != 1 || value < 1 || value > 8) return kOrientationUpright;
        return int(value);
    }
    return kOrientationUpright;
}

int jpegOrientation(const unsigned char* data, size_t size)
{
    if (!data || size < 2 || data[0] != 0xFF || data[1] != 0xD8) return kOrientationUpright;
    size_t at = 2;
    while (at < size) {
        if (data[at] != 0xFF) return kOrientationUpright; // not a marker: damaged
        while (at < size && data[at] == 0xFF) ++at;     // fill bytes
        if (at >= size) break;
        const unsigned char marker = data[at++];
        if (marker == 0xDA || marker == 0xD9 || marker == 0xD8 || marker == 0x00) break;
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue; // no length field
        if (size - at < 2) break;
        const size_t length = size_t(data[at]) << 8 | data[at + 1];
        if (length < 2 || length > size - at) break;
        const unsigned char* payload = data + at + 2;
        const size_t payloadSize = length - 2;
        if (marker == 0xE1 && payloadSize >= sizeof kExifHeader &&
            std::memcmp(payload, kExifHeader, sizeof kExifHeader) == 0)
            return exifOrientation(payload, payloadSize);
        at += length;
    }
    return kOrientationUpright;
}

namespace {

void mirrorRow(unsigned char* row, int w)
{
    for (int i = 0, j = w - 1; i < j; ++i, --j) {
        unsigned char t[3];
        std::memcpy(t, row + 3 * i, 3);
        std::memcpy(row + 3 * i, row + 3 * j, 3);
        std::memcpy(row + 3 * j, t, 3);
    }
}

// Orientations 2, 3 and 4 keep the size: done in place, sparing a second
// picture's worth of memory.
void flipInPlace(QImage& image, int orientation)
{
    const int w = image.width(), h = image.height();
    const std::ptrdiff_t bpl = image.bytesPerLine();
    unsigned char* const base = image.bits();
    if (orientation != 2)
        for (int y = 0; y < h / 2; ++y)
            std::swap_ranges(base + bpl * y, base + bpl * y + 3 * std::ptrdiff_t(w), base + bpl * (h - 1 - y));
    if (orientation != 4)
        for (int y = 0; y < h; ++y) mirrorRow(base + bpl * y, w);
}

} // namespace

QImage orientImage(QImage stored, int orientation)
{
    if (stored.isNull() || orientation <= kOrientationUpright || orientation > 8) return stored;
    QImage src = stored.format() == QImage::Format_RGB888 ? std::move(stored)
                                                          : stored.convertToFormat(QImage::Format_RGB888);
    if (!orientationTransposes(orientation)) {
        flipInPlace(src, orientation);
        return src;
    }
    const int w = src.width(), h = src.height();
    QImage out(h, w, QImage::Format_RGB888);
    if (out.isNull()) return {};
    // Output pixel (x, y) comes from source (sx, sy), both affine in x and
    // y: each output row is a walk from one source pixel by a fixed step.
    int ax = 0, bx = 0, cx = 0, ay = 0, by = 0, cy = 0;
    switch (orientation) {
    case 5: bx = 1, ay = 1; break;
    case 6: bx = 1, ay = -1, cy = h - 1; break;
    case 7: bx = -1, cx = w - 1, ay = -1, cy = h - 1; break;
    default: bx = -1, cx = w - 1, ay = 1; break; // 8
    }
    const std::ptrdiff_t bpl = src.bytesPerLine();
    const std::ptrdiff_t step = std::ptrdiff_t(ax) * 3 + std::ptrdiff_t(ay) * bpl;
    const unsigned char* base = std::as_const(src).constBits();
    const int ow = out.width(), oh = out.height();
    unsigned char* const outBase = out.bits();
    const std::ptrdiff_t outBpl = out.bytesPerLine();
    const auto row = [outBase, outBpl](int y) { return outBase + outBpl * y; };
    // In tiles, so that a quarter turn of a large picture reads its source
    // columns from cache rather than one row of memory a pixel.
    constexpr int kTile = 64;
    for (int ty = 0; ty < oh; ty += kTile) {
        const int yEnd = std::min(oh, ty + kTile);
        for (int tx = 0; tx < ow; tx += kTile) {
            const int xEnd = std::min(ow, tx + kTile);
            for (int y = ty; y < yEnd; ++y) {
                const std::ptrdiff_t sx = std::ptrdiff_t(ax) * tx + std::ptrdiff_t(bx) * y + cx;
                const std::ptrdiff_t sy = std::ptrdiff_t(ay) * tx + std::ptrdiff_t(by) * y + cy;
                const unsigned char* __restrict s = base + (sy * bpl + sx * 3);
                unsigned char* __restrict d = row(y) + std::ptrdiff_t(tx) * 3;
                for (int x = tx, n = 0; x < xEnd; ++x, ++n, d += 3)
                    std::memcpy(d, s + step * n, 3);
            }
        }
    }
    return out;
}

} // namespace sq
