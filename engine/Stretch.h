// The plain resamplers of the viewer windows: the nearest-pixel stretch of a
// plain copy and the bilinear rule the loupe smooths with. Used by the loupe,
// its picture dialog and `sqimg smooth`. Pure functions, any thread.
#pragma once

#include <QImage>

namespace sq {

// Resamples to exactly w x h (24 bits, Format_RGB888) by the bilinear rule:
// target pixel (i, j) samples the source at ((i + 0.5) W / w - 0.5,
// (j + 0.5) H / h - 0.5); the four neighbours (indices clamped to the
// picture) are blended per colour byte as
//   p00 + fx (p10 - p00) + fy (p01 - p00) + fx fy (p00 + p11 - p10 - p01)
// in double precision and rounded to the nearest integer, ties to even.
// An empty source or a target size below 1 gives an empty picture.
QImage BilinearResize(const QImage& source, int w, int h);

// Nearest-pixel stretch to w x h (Format_RGB888): target pixel i takes the
// source pixel whose span holds the target pixel's centre,
// floor((2i + 1) W / 2w). Empty for an empty source or a size below 1.
QImage NearestResize(const QImage& source, int w, int h);

} // namespace sq
