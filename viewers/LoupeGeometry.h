// The loupe's geometry as pure functions: loupe and capture sides, the jitter
// offsets, the captured rectangle around the pointer and the ten window
// shapes as regions. Used by the loupe windows (Unit14, Unit18, Unit26) and
// their tests; no widgets, any thread.
//
// Pixel rule of every region here: a pixel (x, y) belongs to a figure when
// its centre (x + 1/2, y + 1/2) does. Boxes are given by two corners in
// either order and span [left, right) x [top, bottom), so a rectangle
// (0, 0)-(a, a) covers the pixels 0 .. a-1 both ways. An ellipse holds the
// centres inside or on the ellipse inscribed in its box. A polygon holds the
// centres inside it by its fill rule; a centre lying exactly on an edge
// belongs to the side on the right of that edge (left edges in, right edges
// out). Vertices are whole numbers and centres are not, so no centre lies on
// a vertex or a horizontal edge.
#pragma once

#include <QPoint>
#include <QPolygon>
#include <QRect>
#include <QRegion>

#include <functional>

namespace sq::loupe {

// The pointer sits this far right of and below the captured area's corner.
inline constexpr int kPointerOffset = 55;
inline constexpr int kSizeCount = 4;          // "小" "中" "大" "最大"
inline constexpr int kMagnificationCount = 6; // "100%" ... "500%"
inline constexpr int kShapeCount = 10;        // "四角" ... "リング"

// Loupe side S of the size box's item: 100, 156, 200, 256; 0 for no item.
int loupeSide(int sizeIndex);

// Capture side C for a loupe of side s at the magnification box's item:
// s, s*10/15, s/2, s/3, s/4, s/5 (integer division); s for no item.
int captureSide(int s, int magnificationIndex);

// Jitter amplitude of the width box's item: 5, 10, 15 (and 20 for index 3,
// which the box never offers); 0 for no item.
int jitterAmplitude(int widthIndex);

// The jitter offsets (dx, dy) of one refresh. direction: 0 "X", 1 "Y",
// 2 "XY". Each moving axis is uniform in [-A, A-1], dx drawn first;
// uniform(n) must return a uniform integer in [0, n). Off, an unknown
// direction or amplitude 0 give (0, 0) and draw nothing.
QPoint jitterOffsets(bool on, int direction, int widthIndex,
                     const std::function<int(int)>& uniform);

// The desktop rectangle the loupe copies: side c, its corner kPointerOffset
// left of and above the pointer, moved by the jitter.
QRect captureRect(const QPoint& pointer, const QPoint& jitter, int c);

// Region builders under the pixel rule above.
QRegion boxRegion(const QPoint& corner1, const QPoint& corner2);
QRegion ellipseRegion(const QPoint& corner1, const QPoint& corner2);
QRegion roundRectRegion(const QPoint& corner1, const QPoint& corner2, int ellipseWidth,
                        int ellipseHeight);
QRegion polygonRegion(const QPolygon& points, Qt::FillRule rule);

// The loupe window's region for shape 0 .. 9 and window width a; an empty
// region for an unknown shape.
QRegion shapeRegion(int shape, int a);

} // namespace sq::loupe
