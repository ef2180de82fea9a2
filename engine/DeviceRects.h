// Logical to device pixels for bitmaps painted at a device pixel ratio:
// the browser's back buffer and cell pictures, the views' stretched
// pictures. Pure functions; any thread.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

#include <cmath>

namespace sq {

// round(v * ratio), halves away from zero.
inline int toDevice(int v, qreal ratio)
{
    return int(std::lround(double(v) * ratio));
}

inline QSize toDevice(QSize s, qreal ratio)
{
    return {toDevice(s.width(), ratio), toDevice(s.height(), ratio)};
}

// A bitmap's box: its corner rounded, its size round(size * ratio), so that a
// picture made at the device size fits the box whole wherever it stands.
inline QRect deviceBox(const QRect& r, qreal ratio)
{
    return {QPoint(toDevice(r.left(), ratio), toDevice(r.top(), ratio)), toDevice(r.size(), ratio)};
}

// An area by its edges, each edge rounded on its own: areas that touch in
// logical pixels touch in device pixels, with no gap or overlap between.
inline QRect deviceEdges(const QRect& r, qreal ratio)
{
    const int l = toDevice(r.left(), ratio), t = toDevice(r.top(), ratio);
    return {l, t, toDevice(r.left() + r.width(), ratio) - l,
            toDevice(r.top() + r.height(), ratio) - t};
}

// Maps the rectangles of one cell: edges rounded relative to the cell's
// origin, so that every cell has the same device pixels as the first,
// whatever fraction its own origin falls on.
struct CellMapping
{
    QPoint logicalOrigin;
    QPoint deviceOrigin;
    qreal ratio = 1;

    CellMapping(QPoint origin, qreal r)
        : logicalOrigin(origin), deviceOrigin(toDevice(origin.x(), r), toDevice(origin.y(), r)),
          ratio(r)
    {
    }
    QRect edges(const QRect& r) const
    {
        return deviceEdges(r.translated(-logicalOrigin), ratio).translated(deviceOrigin);
    }
    QRect box(const QRect& r) const
    {
        return deviceBox(r.translated(-logicalOrigin), ratio).translated(deviceOrigin);
    }
};

} // namespace sq
