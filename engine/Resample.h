// The engine's own resampler and sizing rules: four-tap cubic interpolation
// where a dimension grows, exact area averaging where it shrinks, in fixed
// point over 24-bit rows (QImage::Format_RGB888). Pure functions, any thread.
#pragma once

#include <QImage>
#include <QRect>
#include <QSize>

#include <array>
#include <cstdint>

// Sizing rule for a requested box.
enum TGetType { igtNormal = 0, igtPreview = 1, igtStretch = 2, igtFit = 3 };

namespace sq {

class TWorkPool;

// Every sizing rule gives at least 1 pixel each way, however far the aspect
// is from the box's: a 10000 x 40 banner in a 160 x 120 box is 160 x 1, not
// an empty picture.

// The largest size inside mw x mh with the picture's aspect; never enlarges.
QRect ShrinkSize(int sw, int sh, int mw, int mh);

// The size FitBitmap resizes a bw x bh picture to for a w x h box;
// igtNormal (and anything unknown) gives the picture's own size.
QSize FitSize(TGetType rule, int bw, int bh, int w, int h);

// Lagrange weights through the nodes 0..3 at x in [1, 2), in units of S.
std::array<std::int32_t, 4> CubicWeights(std::int32_t S, long double x);

// One pass each. dst already has its final size along the pass and src's
// size across it; both are Format_RGB888. With a pool, a pass large enough
// is cut into runs of rows made on the pool's threads too; every row is the
// same byte for byte as without one.
void EnlargeColumns(const QImage& src, QImage& dst, TWorkPool* pool = nullptr);
void EnlargeRows(const QImage& src, QImage& dst, TWorkPool* pool = nullptr);
void ReduceColumns(const QImage& src, QImage& dst, TWorkPool* pool = nullptr);
void ReduceRows(const QImage& src, QImage& dst, TWorkPool* pool = nullptr);

// Resamples to exactly w x h, converting to 24 bits first; width pass
// before height pass, a dimension that already matches untouched. An empty
// picture or a size of 0 leaves the picture empty. Returns 0. The pool as
// for the passes.
int ResizeBitmap(QImage& bitmap, int w, int h, TWorkPool* pool = nullptr);

// ResizeBitmap's w x h picture of picture, written straight into dst's
// rectangle at (x, y) instead of a picture of its own: the last pass writes
// dst's rows, nothing else of dst is touched. dst is Format_RGB888 and holds
// the rectangle. False (dst untouched, or partly written when memory ran
// out) for an empty picture or size, another format or a rectangle outside.
bool ResizeInto(const QImage& picture, QImage& dst, QPoint at, QSize size,
                TWorkPool* pool = nullptr);

// FitSize, then ResizeBitmap; igtNormal leaves the picture as it is.
void FitBitmap(QImage& bitmap, TGetType rule, int w, int h, TWorkPool* pool = nullptr);

} // namespace sq
