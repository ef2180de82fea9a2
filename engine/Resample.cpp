#include "engine/Resample.h"

#include "engine/ResamplePasses.h"
#include "engine/WorkPool.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <vector>

namespace sq {

namespace {

constexpr std::int32_t kCubicOne = 1048576; // 2^20
constexpr std::int32_t kCubicHalf = 524288;
constexpr std::int32_t kCubicMax = 267386880; // 255 << 20
constexpr std::uint32_t kAreaOne = 262144;    // 2^18
constexpr std::uint64_t kAreaHalf = 131072;
constexpr long double kScaleUnit = 4194304.0L; // 2^22

// Trunc of the design: toward zero.
inline std::int64_t trunc64(long double v)
{
    return static_cast<std::int64_t>(v);
}

inline std::uint8_t cubicByte(std::int32_t acc)
{
    acc = std::clamp(acc, 0, kCubicMax);
    return static_cast<std::uint8_t>(acc >> 20);
}

using resample::AreaEdges;
using resample::AreaTaps;
using resample::CubicTap;

std::vector<CubicTap> cubicTaps(int n, int m)
{
    std::vector<CubicTap> taps(static_cast<size_t>(m));
    for (int x = 0; x < m; ++x) {
        const long double pos = static_cast<long double>(static_cast<std::int64_t>(n - 1) * x) /
                                static_cast<long double>(m - 1);
        const std::int64_t whole = trunc64(pos);
        const long double t = pos - static_cast<long double>(whole) + 1.0L;
        taps[size_t(x)] = {static_cast<int>(whole) - 1, CubicWeights(kCubicOne, t)};
    }
    return taps;
}

AreaEdges areaEdges(int n, int m)
{
    AreaEdges e;
    e.bound.resize(size_t(m) + 1);
    e.frac.resize(size_t(m) + 1);
    const long double ratio = static_cast<long double>(n) / static_cast<long double>(m);
    e.scale = static_cast<std::uint32_t>(trunc64(1.0L / ratio * kScaleUnit + 0.5L));
    for (int i = 0; i <= m; ++i) {
        const long double edge = static_cast<long double>(static_cast<std::int64_t>(n) * i) /
                                 static_cast<long double>(m);
        const std::int64_t whole = trunc64(edge);
        e.bound[size_t(i)] = static_cast<int>(whole);
        e.frac[size_t(i)] = static_cast<std::uint32_t>(
            trunc64((edge - static_cast<long double>(whole)) * kAreaOne + 0.5L));
    }
    return e;
}

// The weights of a narrowing pass, zero where a pixel adds nothing: the
// edges' uncovered parts, or the taps that a span shorter than count, or
// moved back from the end of the row, does not reach. Sums of up to 16 taps
// of 255 x 2^18 fit 32 bits; wider spans (count 0) and rows shorter than
// count take the general loop.
AreaTaps areaTaps(const AreaEdges& e, int n, int m)
{
    constexpr int kMostTaps = 16;
    AreaTaps t;
    int count = 0;
    for (int x = 0; x < m; ++x)
        count = std::max(count, e.bound[size_t(x) + 1] - e.bound[size_t(x)] + 1);
    if (count > kMostTaps || count > n) return t;
    t.count = count;
    t.first.resize(size_t(m));
    t.weight.assign(size_t(m) * size_t(count), 0u);
    for (int x = 0; x < m; ++x) {
        const int start = e.bound[size_t(x)], end = e.bound[size_t(x) + 1];
        const int first = std::min(start, n - count);
        std::uint32_t* w = t.weight.data() + size_t(x) * size_t(count);
        t.first[size_t(x)] = first;
        w[start - first] += kAreaOne - e.frac[size_t(x)];
        for (int c = start + 1; c < end; ++c)
            w[c - first] += kAreaOne;
        if (e.frac[size_t(x) + 1] != 0) w[end - first] += e.frac[size_t(x) + 1];
    }
    return t;
}

// One row of a narrowing pass over `count` taps a pixel: N of them when N
// is not 0, known to the compiler.
template <int N>
void reduceRowFixed(const AreaTaps& taps, std::uint64_t scale, const std::uint8_t* s,
                    std::uint8_t* d, int m, int count)
{
    const int n = N > 0 ? N : count;
    const int* first = taps.first.data();
    const std::uint32_t* w = taps.weight.data();
    for (int x = 0; x < m; ++x, w += n, d += 3) {
        const std::uint8_t* p = s + 3 * first[x];
        std::uint32_t acc0 = 0, acc1 = 0, acc2 = 0;
        for (int j = 0; j < n; ++j, p += 3) {
            acc0 += p[0] * w[j];
            acc1 += p[1] * w[j];
            acc2 += p[2] * w[j];
        }
        d[0] = static_cast<std::uint8_t>(((kAreaHalf + acc0) * scale) >> 40);
        d[1] = static_cast<std::uint8_t>(((kAreaHalf + acc1) * scale) >> 40);
        d[2] = static_cast<std::uint8_t>(((kAreaHalf + acc2) * scale) >> 40);
    }
}

std::vector<const std::uint8_t*> rowPointers(const QImage& image)
{
    std::vector<const std::uint8_t*> rows(size_t(image.height()));
    for (int y = 0; y < image.height(); ++y)
        rows[size_t(y)] = image.constScanLine(y);
    return rows;
}

std::vector<std::uint8_t*> rowPointers(QImage& image)
{
    std::vector<std::uint8_t*> rows(size_t(image.height()));
    for (int y = 0; y < image.height(); ++y)
        rows[size_t(y)] = image.scanLine(y);
    return rows;
}

// Runs rows(begin, end) over [0, count): on the pool's threads when it has
// helpers and the work is worth sharing, else here in one go.
void split(TWorkPool* pool, int count, long long itemBytes,
           const std::function<void(int, int)>& rows)
{
    if (pool)
        pool->ForRanges(count, pool->PieceCount(count, itemBytes), rows);
    else if (count > 0)
        rows(0, count);
}

} // namespace

// The sizing rules work in double with the aspect ratio: 40 x 50 stretched
// into 100 x 200 must give 100 x 125, which an extended-precision quotient
// of the rounded ratio (124.999...) would not.
namespace {
// The largest w x h inside the box with the aspect ratio r = sw / sh: full
// width for a landscape picture unless that is too tall, else full height.
QSize fitAspect(int sw, int sh, int boxW, int boxH)
{
    const double r = static_cast<double>(sw) / static_cast<double>(sh);
    int w, h;
    if (sh < sw) {
        w = boxW;
        h = static_cast<int>(trunc64(boxW / r));
        if (h > boxH) {
            h = boxH;
            w = static_cast<int>(trunc64(boxH * r));
        }
    } else {
        h = boxH;
        w = static_cast<int>(trunc64(boxH * r));
        if (w > boxW) {
            w = boxW;
            h = static_cast<int>(trunc64(boxW / r));
        }
    }
    return QSize(std::max(1, w), std::max(1, h));
}

QSize atLeastOne(QSize s)
{
    return QSize(std::max(1, s.width()), std::max(1, s.height()));
}
} // namespace

QRect ShrinkSize(int sw, int sh, int mw, int mh)
{
    if (sw <= mw && sh <= mh) return QRect(QPoint(0, 0), atLeastOne(QSize(sw, sh)));
    if (sw <= 0 || sh <= 0) return QRect(QPoint(0, 0), atLeastOne(QSize(mw, mh)));
    return QRect(QPoint(0, 0), fitAspect(sw, sh, mw, mh));
}

QSize FitSize(TGetType rule, int bw, int bh, int w, int h)
{
    switch (rule) {
    case igtPreview:
        return ShrinkSize(bw, bh, w, h).size();
    case igtStretch:
        // Smaller both ways: enlarged, keeping the aspect.
        if (bw < w && bh < h && bw > 0 && bh > 0) return fitAspect(bw, bh, w, h);
        return ShrinkSize(bw, bh, w, h).size();
    case igtFit:
        return atLeastOne(QSize(w, h));
    case igtNormal:
    default:
        return QSize(bw, bh);
    }
}

std::array<std::int32_t, 4> CubicWeights(std::int32_t S, long double x)
{
    const long double s = S;
    return {
        static_cast<std::int32_t>(trunc64((x - 1) * (x - 2) * (x - 3) * (-1.0L / 6.0L) * s + 0.5L)),
        static_cast<std::int32_t>(trunc64((x - 0) * (x - 2) * (x - 3) * 0.5L * s + 0.5L)),
        static_cast<std::int32_t>(trunc64((x - 0) * (x - 1) * (x - 3) * (-0.5L) * s + 0.5L)),
        static_cast<std::int32_t>(trunc64((x - 0) * (x - 1) * (x - 2) * (1.0L / 6.0L) * s + 0.5L)),
    };
}

} // namespace sq

namespace sq::resample {

ColumnPass::ColumnPass(int n, int m, bool enlarge)
    : m_n(n)
    , m_m(m)
    , m_enlarge(enlarge)
{
    if (m_enlarge) {
        m_cubic = cubicTaps(n, m);
    } else {
        m_edges = areaEdges(n, m);
        m_taps = areaTaps(m_edges, n, m);
    }
}

long long ColumnPass::rowBytes() const
{
    // Four taps a byte: as much work as reading four times the row.
    return m_enlarge ? 12LL * m_m : 3LL * m_n;
}

void ColumnPass::row(const std::uint8_t* s, std::uint8_t* d) const
{
    const int n = m_n, m = m_m;
    if (m_enlarge) {
        const int last = n - 1;
        for (int x = 0; x < m; ++x) {
            const CubicTap& tap = m_cubic[size_t(x)];
            const int i = tap.first;
            const std::int32_t w0 = tap.w[0], w1 = tap.w[1], w2 = tap.w[2], w3 = tap.w[3];
            const std::uint8_t *p0, *p1, *p2, *p3;
            if (i >= 0 && i + 3 <= last) {
                p0 = s + 3 * i;
                p1 = p0 + 3;
                p2 = p0 + 6;
                p3 = p0 + 9;
            } else {
                p0 = s + 3 * std::clamp(i, 0, last);
                p1 = s + 3 * std::clamp(i + 1, 0, last);
                p2 = s + 3 * std::clamp(i + 2, 0, last);
                p3 = s + 3 * std::clamp(i + 3, 0, last);
            }
            for (int c = 0; c < 3; ++c)
                d[3 * x + c] =
                    cubicByte(kCubicHalf + p0[c] * w0 + p1[c] * w1 + p2[c] * w2 + p3[c] * w3);
        }
        return;
    }
    const AreaEdges& e = m_edges;
    if (m_taps.count > 0) {
        // The same sums as below, over a fixed number of taps a pixel; the
        // usual counts unrolled (a photograph fitted to a screen of a few
        // screens takes 5 to 12).
        switch (m_taps.count) {
        case 2: reduceRowFixed<2>(m_taps, e.scale, s, d, m, 2); break;
        case 3: reduceRowFixed<3>(m_taps, e.scale, s, d, m, 3); break;
        case 4: reduceRowFixed<4>(m_taps, e.scale, s, d, m, 4); break;
        case 5: reduceRowFixed<5>(m_taps, e.scale, s, d, m, 5); break;
        case 6: reduceRowFixed<6>(m_taps, e.scale, s, d, m, 6); break;
        case 7: reduceRowFixed<7>(m_taps, e.scale, s, d, m, 7); break;
        case 8: reduceRowFixed<8>(m_taps, e.scale, s, d, m, 8); break;
        case 9: reduceRowFixed<9>(m_taps, e.scale, s, d, m, 9); break;
        case 10: reduceRowFixed<10>(m_taps, e.scale, s, d, m, 10); break;
        case 11: reduceRowFixed<11>(m_taps, e.scale, s, d, m, 11); break;
        case 12: reduceRowFixed<12>(m_taps, e.scale, s, d, m, 12); break;
        default: reduceRowFixed<0>(m_taps, e.scale, s, d, m, m_taps.count); break;
        }
        return;
    }
    int start = 0;
    std::uint32_t a = 0;
    for (int x = 0; x < m; ++x) {
        // 64-bit sums: right for any reduction factor.
        std::uint64_t acc0 = kAreaHalf, acc1 = kAreaHalf, acc2 = kAreaHalf;
        if (a != kAreaOne) {
            const std::uint64_t w = kAreaOne - a;
            const std::uint8_t* p = s + 3 * start;
            acc0 += p[0] * w;
            acc1 += p[1] * w;
            acc2 += p[2] * w;
        }
        const int end = e.bound[size_t(x) + 1];
        std::uint64_t whole0 = 0, whole1 = 0, whole2 = 0;
        for (const std::uint8_t* p = s + 3 * (start + 1); p < s + 3 * end; p += 3) {
            whole0 += p[0];
            whole1 += p[1];
            whole2 += p[2];
        }
        acc0 += whole0 * kAreaOne;
        acc1 += whole1 * kAreaOne;
        acc2 += whole2 * kAreaOne;
        const std::uint32_t f = e.frac[size_t(x) + 1];
        if (f != 0) {
            const std::uint8_t* p = s + 3 * end;
            acc0 += p[0] * std::uint64_t(f);
            acc1 += p[1] * std::uint64_t(f);
            acc2 += p[2] * std::uint64_t(f);
        }
        d[3 * x] = static_cast<std::uint8_t>((acc0 * e.scale) >> 40);
        d[3 * x + 1] = static_cast<std::uint8_t>((acc1 * e.scale) >> 40);
        d[3 * x + 2] = static_cast<std::uint8_t>((acc2 * e.scale) >> 40);
        start = end;
        a = f;
    }
}

RowPass::RowPass(int n, int m, int bytes, bool enlarge)
    : m_n(n)
    , m_m(m)
    , m_bytes(bytes)
    , m_enlarge(enlarge)
{
    if (m_enlarge)
        m_cubic = cubicTaps(n, m);
    else
        m_edges = areaEdges(n, m);
}

long long RowPass::rowBytes() const
{
    return m_enlarge ? 4LL * m_bytes : (static_cast<long long>(m_n) + m_m - 1) / m_m * m_bytes;
}

int RowPass::firstSource(int y) const
{
    if (m_enlarge) return std::clamp(m_cubic[size_t(y)].first, 0, m_n - 1);
    return m_edges.bound[size_t(y)];
}

int RowPass::lastSource(int y) const
{
    if (m_enlarge) return std::clamp(m_cubic[size_t(y)].first + 3, 0, m_n - 1);
    return std::min(m_edges.bound[size_t(y) + 1], m_n - 1);
}

void RowPass::rows(const std::uint8_t* const* in, std::uint8_t* const* out, int y0, int y1,
                   std::vector<std::uint32_t>* scratch) const
{
    const int n = m_n, bytes = m_bytes;
    const int last = n - 1;
    if (m_enlarge) {
        for (int y = y0; y < y1; ++y) {
            const CubicTap& tap = m_cubic[size_t(y)];
            const std::uint8_t* r0 = in[size_t(std::clamp(tap.first, 0, last))];
            const std::uint8_t* r1 = in[size_t(std::clamp(tap.first + 1, 0, last))];
            const std::uint8_t* r2 = in[size_t(std::clamp(tap.first + 2, 0, last))];
            const std::uint8_t* r3 = in[size_t(std::clamp(tap.first + 3, 0, last))];
            const std::int32_t w0 = tap.w[0], w1 = tap.w[1], w2 = tap.w[2], w3 = tap.w[3];
            std::uint8_t* d = out[size_t(y)];
            for (int b = 0; b < bytes; ++b)
                d[b] = cubicByte(kCubicHalf + r0[b] * w0 + r1[b] * w1 + r2[b] * w2 + r3[b] * w3);
        }
        return;
    }
    const AreaEdges& e = m_edges;
    // A run of destination rows starts at its upper edge: the rows are the
    // same whichever thread makes them and wherever a run begins.
    std::vector<std::uint32_t> own;
    std::vector<std::uint32_t>& whole = scratch ? *scratch : own;
    whole.resize(static_cast<size_t>(bytes));
    int start = e.bound[size_t(y0)];
    std::uint32_t a = e.frac[size_t(y0)];
    for (int y = y0; y < y1; ++y) {
        const int end = e.bound[size_t(y) + 1];
        const std::uint32_t f = e.frac[size_t(y) + 1];
        const std::uint8_t* top = in[size_t(start)];
        const std::uint32_t topWeight = kAreaOne - a;
        const std::uint8_t* bottom = in[size_t(std::min(end, last))];
        const std::uint32_t bottomWeight = f;
        const std::uint64_t scale = e.scale;
        std::uint8_t* d = out[size_t(y)];
        // Whole rows are summed unweighted first; a 32-bit sum holds 2^24 rows.
        std::uint32_t* sum = whole.data();
        if (end - start > 1) {
            const std::uint8_t* r = in[size_t(start) + 1];
            for (int b = 0; b < bytes; ++b)
                sum[b] = r[b];
            for (int row = start + 2; row < end; ++row) {
                r = in[size_t(row)];
                for (int b = 0; b < bytes; ++b)
                    sum[b] += r[b];
            }
        } else {
            std::fill(whole.begin(), whole.end(), 0u);
        }
        // The partial rows at both edges in one sweep with the whole ones;
        // an edge that adds nothing has the weight 0 (the lower edge of the
        // last row may lie past the picture: any row then does).
        for (int b = 0; b < bytes; ++b) {
            const std::uint64_t acc = kAreaHalf + std::uint64_t(sum[b]) * kAreaOne +
                                      std::uint32_t(top[b] * topWeight) +
                                      std::uint32_t(bottom[b] * bottomWeight);
            d[b] = static_cast<std::uint8_t>((acc * scale) >> 40);
        }
        start = end;
        a = f;
    }
}

} // namespace sq::resample

namespace sq {

namespace {

void columnPass(const QImage& src, QImage& dst, TWorkPool* pool, bool enlarge)
{
    const int n = src.width(), m = dst.width(), height = std::min(src.height(), dst.height());
    if (n <= 0 || m <= (enlarge ? 1 : 0) || height <= 0) return;
    const resample::ColumnPass pass(n, m, enlarge);
    const auto in = rowPointers(src);
    const auto out = rowPointers(dst);
    split(pool, height, pass.rowBytes(), [&](int y0, int y1) {
        for (int y = y0; y < y1; ++y)
            pass.row(in[size_t(y)], out[size_t(y)]);
    });
}

void rowPass(const QImage& src, QImage& dst, TWorkPool* pool, bool enlarge)
{
    const int n = src.height(), m = dst.height();
    const int bytes = 3 * std::min(src.width(), dst.width());
    if (n <= 0 || m <= (enlarge ? 1 : 0) || bytes <= 0) return;
    const resample::RowPass pass(n, m, bytes, enlarge);
    const auto in = rowPointers(src);
    const auto out = rowPointers(dst);
    split(pool, m, pass.rowBytes(),
          [&](int y0, int y1) { pass.rows(in.data(), out.data(), y0, y1); });
}

} // namespace

void EnlargeColumns(const QImage& src, QImage& dst, TWorkPool* pool)
{
    columnPass(src, dst, pool, true);
}

void EnlargeRows(const QImage& src, QImage& dst, TWorkPool* pool)
{
    rowPass(src, dst, pool, true);
}

void ReduceColumns(const QImage& src, QImage& dst, TWorkPool* pool)
{
    columnPass(src, dst, pool, false);
}

void ReduceRows(const QImage& src, QImage& dst, TWorkPool* pool)
{
    rowPass(src, dst, pool, false);
}

int ResizeBitmap(QImage& bitmap, int w, int h, TWorkPool* pool)
{
    if (bitmap.isNull()) return 0;
    if (bitmap.format() != QImage::Format_RGB888)
        bitmap = bitmap.convertToFormat(QImage::Format_RGB888);
    if (w <= 0 || h <= 0 || bitmap.width() <= 0 || bitmap.height() <= 0) {
        bitmap = QImage();
        return 0;
    }
    if (w != bitmap.width()) {
        QImage work(w, bitmap.height(), QImage::Format_RGB888);
        if (work.isNull()) {
            bitmap = QImage();
            return 0;
        }
        if (bitmap.width() < w)
            EnlargeColumns(bitmap, work, pool);
        else
            ReduceColumns(bitmap, work, pool);
        bitmap = std::move(work);
    }
    if (h != bitmap.height()) {
        QImage work(bitmap.width(), h, QImage::Format_RGB888);
        if (work.isNull()) {
            bitmap = QImage();
            return 0;
        }
        if (bitmap.height() < h)
            EnlargeRows(bitmap, work, pool);
        else
            ReduceRows(bitmap, work, pool);
        bitmap = std::move(work);
    }
    return 0;
}

bool ResizeInto(const QImage& picture, QImage& dst, QPoint at, QSize size, TWorkPool* pool)
{
    const QRect area(at, size);
    if (picture.isNull() || size.isEmpty() || dst.format() != QImage::Format_RGB888 ||
        !dst.rect().contains(area))
        return false;
    const QImage src = picture.format() == QImage::Format_RGB888
                           ? picture
                           : picture.convertToFormat(QImage::Format_RGB888);
    if (src.isNull() || src.width() <= 0 || src.height() <= 0) return false;
    // The rectangle as a picture of its own over dst's memory: the passes
    // write through it into dst's rows.
    QImage target(dst.scanLine(at.y()) + 3 * at.x(), size.width(), size.height(),
                  dst.bytesPerLine(), QImage::Format_RGB888);
    const int w = size.width(), h = size.height();
    const auto columns = [pool, w](const QImage& from, QImage& to) {
        if (from.width() < w)
            EnlargeColumns(from, to, pool);
        else
            ReduceColumns(from, to, pool);
    };
    const auto rows = [pool, h](const QImage& from, QImage& to) {
        if (from.height() < h)
            EnlargeRows(from, to, pool);
        else
            ReduceRows(from, to, pool);
    };
    if (w != src.width() && h != src.height()) {
        QImage work(w, src.height(), QImage::Format_RGB888);
        if (work.isNull()) return false;
        columns(src, work);
        rows(work, target);
    } else if (w != src.width()) {
        columns(src, target);
    } else if (h != src.height()) {
        rows(src, target);
    } else {
        for (int y = 0; y < h; ++y)
            std::memcpy(target.scanLine(y), src.constScanLine(y), size_t(3) * size_t(w));
    }
    return true;
}

void FitBitmap(QImage& bitmap, TGetType rule, int w, int h, TWorkPool* pool)
{
    if (rule != igtPreview && rule != igtStretch && rule != igtFit) return;
    const QSize size = FitSize(rule, bitmap.width(), bitmap.height(), w, h);
    ResizeBitmap(bitmap, size.width(), size.height(), pool);
}

} // namespace sq
