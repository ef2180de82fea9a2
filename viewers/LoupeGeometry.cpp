#include "viewers/LoupeGeometry.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

namespace sq::loupe {

namespace {

using Span = std::pair<int, int>; // [x0, x1)
using Spans = std::vector<Span>;

// floor(n / d) and ceil(n / d) for d > 0.
std::int64_t floorDiv(std::int64_t n, std::int64_t d)
{
    return n >= 0 ? n / d : -((-n + d - 1) / d);
}

std::int64_t ceilDiv(std::int64_t n, std::int64_t d)
{
    return -floorDiv(-n, d);
}

std::int64_t isqrt(std::int64_t v)
{
    if (v <= 0) return 0;
    auto r = std::int64_t(std::sqrt(double(v)));
    while (r * r > v)
        --r;
    while ((r + 1) * (r + 1) <= v)
        ++r;
    return r;
}

// Rows top, top + 1, ... with their spans, as one region; equal neighbouring
// rows become one band.
QRegion regionFromRows(int top, const std::vector<Spans>& rows)
{
    QRegion region;
    std::size_t y = 0;
    while (y < rows.size()) {
        std::size_t end = y + 1;
        while (end < rows.size() && rows[end] == rows[y])
            ++end;
        for (const Span& s : rows[y])
            if (s.second > s.first)
                region += QRect(s.first, top + int(y), s.second - s.first, int(end - y));
        y = end;
    }
    return region;
}

// The pixels whose doubled centre coordinate 2x + 1 lies in [lo, hi].
Span centresWithin(std::int64_t lo, std::int64_t hi)
{
    return {int(ceilDiv(lo - 1, 2)), int(floorDiv(hi - 1, 2)) + 1};
}

} // namespace

int loupeSide(int sizeIndex)
{
    static const int sides[kSizeCount] = {100, 156, 200, 256};
    return sizeIndex >= 0 && sizeIndex < kSizeCount ? sides[sizeIndex] : 0;
}

int captureSide(int s, int magnificationIndex)
{
    switch (magnificationIndex) {
    case 1:
        return s * 10 / 15;
    case 2:
        return s / 2;
    case 3:
        return s / 3;
    case 4:
        return s / 4;
    case 5:
        return s / 5;
    default:
        return s;
    }
}

int jitterAmplitude(int widthIndex)
{
    return widthIndex >= 0 && widthIndex <= 3 ? 5 * (widthIndex + 1) : 0;
}

QPoint jitterOffsets(bool on, int direction, int widthIndex, const std::function<int(int)>& uniform)
{
    const int a = jitterAmplitude(widthIndex);
    if (!on || a == 0 || direction < 0 || direction > 2) return {};
    int dx = 0, dy = 0;
    if (direction == 0 || direction == 2) dx = uniform(2 * a) - a;
    if (direction == 1 || direction == 2) dy = uniform(2 * a) - a;
    return {dx, dy};
}

QRect captureRect(const QPoint& pointer, const QPoint& jitter, int c)
{
    return QRect(pointer.x() - kPointerOffset + jitter.x(),
                 pointer.y() - kPointerOffset + jitter.y(), c, c);
}

QRegion boxRegion(const QPoint& corner1, const QPoint& corner2)
{
    const int l = std::min(corner1.x(), corner2.x()), r = std::max(corner1.x(), corner2.x());
    const int t = std::min(corner1.y(), corner2.y()), b = std::max(corner1.y(), corner2.y());
    if (r == l || b == t) return {};
    return QRegion(l, t, r - l, b - t);
}

QRegion ellipseRegion(const QPoint& corner1, const QPoint& corner2)
{
    const std::int64_t l = std::min(corner1.x(), corner2.x()),
                       r = std::max(corner1.x(), corner2.x());
    const std::int64_t t = std::min(corner1.y(), corner2.y()),
                       b = std::max(corner1.y(), corner2.y());
    const std::int64_t w = r - l, h = b - t;
    if (w == 0 || h == 0) return {};
    // Doubled coordinates relative to the centre: X = 2x + 1 - (l + r),
    // Y = 2y + 1 - (t + b); inside when X^2 h^2 + Y^2 w^2 <= w^2 h^2.
    std::vector<Spans> rows(static_cast<std::size_t>(h));
    const std::int64_t parity = (1 - (l + r)) & 1;
    for (std::int64_t y = t; y < b; ++y) {
        const std::int64_t Y = 2 * y + 1 - (t + b);
        const std::int64_t room = w * w * h * h - Y * Y * w * w;
        if (room < 0) continue;
        std::int64_t m = isqrt(room / (h * h));
        if ((m & 1) != parity) --m;
        if (m < 0) continue;
        rows[std::size_t(y - t)].push_back(
            {int((-m - 1 + l + r) / 2), int((m - 1 + l + r) / 2) + 1});
    }
    return regionFromRows(int(t), rows);
}

QRegion roundRectRegion(const QPoint& corner1, const QPoint& corner2, int ellipseWidth,
                        int ellipseHeight)
{
    const int l = std::min(corner1.x(), corner2.x()), r = std::max(corner1.x(), corner2.x());
    const int t = std::min(corner1.y(), corner2.y()), b = std::max(corner1.y(), corner2.y());
    const int cw = std::clamp(ellipseWidth, 0, r - l), ch = std::clamp(ellipseHeight, 0, b - t);
    if (cw == 0 || ch == 0) return boxRegion(corner1, corner2);
    // Outside the four corner zones (doubled centre left of 2l + cw and above
    // 2t + ch, and so on) every centre of the box is in; inside a zone the
    // corner ellipse decides.
    const Span across = centresWithin(2 * l + cw, 2 * r - cw);
    const Span down = centresWithin(2 * t + ch, 2 * b - ch);
    QRegion region;
    region += QRect(across.first, t, across.second - across.first, b - t);
    region += QRect(l, down.first, r - l, down.second - down.first);
    region += ellipseRegion({l, t}, {l + cw, t + ch});
    region += ellipseRegion({r - cw, t}, {r, t + ch});
    region += ellipseRegion({l, b - ch}, {l + cw, b});
    region += ellipseRegion({r - cw, b - ch}, {r, b});
    return region & QRegion(l, t, r - l, b - t);
}

QRegion polygonRegion(const QPolygon& points, Qt::FillRule rule)
{
    if (points.size() < 3) return {};
    int top = points[0].y(), bottom = top;
    for (const QPoint& p : points) {
        top = std::min(top, p.y());
        bottom = std::max(bottom, p.y());
    }
    struct Crossing
    {
        std::int64_t x; // first pixel whose centre is on or right of the edge
        int dir;
    };
    std::vector<Spans> rows(static_cast<std::size_t>(bottom - top));
    std::vector<Crossing> crossings;
    for (int y = top; y < bottom; ++y) {
        crossings.clear();
        const std::int64_t yc = 2 * std::int64_t(y) + 1;
        for (qsizetype k = 0; k < points.size(); ++k) {
            const QPoint& p = points[k];
            const QPoint& q = points[(k + 1) % points.size()];
            if (p.y() == q.y()) continue;
            const bool up = q.y() > p.y();
            const QPoint& lo = up ? p : q;
            const QPoint& hi = up ? q : p;
            const std::int64_t xa = 2 * std::int64_t(lo.x()), ya = 2 * std::int64_t(lo.y());
            const std::int64_t xb = 2 * std::int64_t(hi.x()), yb = 2 * std::int64_t(hi.y());
            if (yc < ya || yc > yb) continue;
            // Crossing at xa + (yc - ya)(xb - xa) / d; a centre 2x + 1 is on or
            // right of it when 2x + 1 >= that, i.e. x >= ceil((n - d) / 2d).
            const std::int64_t d = yb - ya;
            const std::int64_t n = xa * d + (yc - ya) * (xb - xa);
            crossings.push_back({ceilDiv(n - d, 2 * d), up ? 1 : -1});
        }
        std::sort(crossings.begin(), crossings.end(),
                  [](const Crossing& a, const Crossing& b) { return a.x < b.x; });
        Spans& spans = rows[std::size_t(y - top)];
        int winding = 0;
        for (std::size_t c = 0; c < crossings.size();) {
            const std::int64_t x = crossings[c].x;
            const bool wasIn = rule == Qt::WindingFill ? winding != 0 : (winding & 1) != 0;
            while (c < crossings.size() && crossings[c].x == x)
                winding += crossings[c++].dir;
            const bool isIn = rule == Qt::WindingFill ? winding != 0 : (winding & 1) != 0;
            if (!wasIn && isIn)
                spans.push_back({int(x), int(x)});
            else if (wasIn && !isIn)
                spans.back().second = int(x);
        }
    }
    return regionFromRows(top, rows);
}

QRegion shapeRegion(int shape, int a)
{
    switch (shape) {
    case 0:
        return boxRegion({0, 0}, {a, a});
    case 1:
        return roundRectRegion({0, 0}, {a, a}, a / 5, a / 5);
    case 2:
        return ellipseRegion({0, 0}, {a, a});
    case 3:
        return ellipseRegion({a - a / 5, 0}, {a / 5, a});
    case 4:
        return polygonRegion(QPolygon({{0, a}, {a / 2, 0}, {a, a}, {0, a}}), Qt::WindingFill);
    case 5:
        return polygonRegion(QPolygon({{0, a / 2}, {a / 2, 0}, {a, a / 2}, {a / 2, a}, {0, a / 2}}),
                             Qt::WindingFill);
    case 6: {
        const int d = a * 10 / 18;
        const int e = a - (d + d / 5);
        return ellipseRegion({0, 0}, {d, d}) + ellipseRegion({a - d, 0}, {a, d}) +
               polygonRegion(QPolygon({{0, e}, {a / 2, a}, {a, e}}), Qt::OddEvenFill);
    }
    case 7: {
        static const int star[10][2] = {{120, 0},   {80, 80},   {0, 80},    {50, 150}, {20, 240},
                                        {120, 170}, {220, 240}, {190, 150}, {240, 80}, {160, 80}};
        QPolygon points;
        for (const auto& p : star)
            points << QPoint(a * p[0] / 240, a * p[1] / 240);
        return polygonRegion(points, Qt::WindingFill);
    }
    case 8:
        return boxRegion({0, a - a / 3}, {a, a / 3}) + boxRegion({a - a / 3, 0}, {a / 3, a});
    case 9:
        return ellipseRegion({0, 0}, {a, a}) ^
               ellipseRegion({a - a / 4, a - a / 4}, {a / 4, a / 4});
    default:
        return {};
    }
}

} // namespace sq::loupe
