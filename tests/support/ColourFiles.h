// Helpers of the colour tests: RGB ICC profiles made with LittleCMS from
// published primaries, pictures carrying them (JPEG APP2, PNG iCCP), and the
// closed-form conversion between two such spaces that the engine's results
// are checked against.
#pragma once

#include <QByteArray>
#include <QImage>

namespace sq::test {

// An RGB space: chromaticities of the primaries and the white, and its tone
// curve (srgbCurve: the sRGB piecewise curve, else a pure gamma).
struct RgbSpace
{
    double rx, ry, gx, gy, bx, by, wx, wy;
    bool srgbCurve;
    double gamma;
};

RgbSpace srgbSpace();
RgbSpace displayP3Space();
RgbSpace adobeRgbSpace();

// The space as a matrix-and-curves ICC profile (version 4, as LittleCMS
// writes it). tableEntries > 0 writes each curve as a table of that many
// entries instead; padding > 0 adds a copyright text of that many
// characters, to make profiles longer than one JPEG marker.
QByteArray iccProfileOf(const RgbSpace& space, int tableEntries = 0, int padding = 0);
// A grey profile (gamma 2.2): valid, but not RGB.
QByteArray greyProfile();

// The closed-form conversion of one 8-bit colour: linearise, primaries to
// XYZ, XYZ to the target's primaries (same white), clip, encode; rounded.
QRgb convertColour(QRgb colour, const RgbSpace& from, const RgbSpace& to);

// A picture of flat 16 x 16 blocks of saturated and middle colours, so that
// a JPEG at quality 100 keeps them nearly exact.
QImage colourBlocks();

// A baseline JPEG of image at the quality, with icc (when not empty) in
// APP2 chunks as libjpeg writes them (cut at 65519 bytes).
QByteArray jpegWithIcc(const QImage& image, const QByteArray& icc, int quality = 100);
// A PNG of image with icc in an iCCP chunk (Qt's writer), or none when empty.
QByteArray pngWithIcc(const QImage& image, const QByteArray& icc);
// A PNG of image with a gAMA chunk (gamma 1/2.2) and no profile.
QByteArray pngWithGamma(const QImage& image);

} // namespace sq::test
