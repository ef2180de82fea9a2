// Helpers of the tests that make PNG, GIF, WebP and TIFF pictures: patterns
// with transparency, a GIF writer (Qt reads GIF but writes none), multi-page
// TIFF files chained from pages Qt's writer made, and PNG headers that
// declare any size. Used by the engine's picture tests, the app's folder
// tests, the Xvfb tools and the fuzz seed writer through sq_testsupport.
#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QList>
#include <QString>

namespace sq::test {

// A 32-bit picture with straight (not premultiplied) alpha: colour bands and
// an alpha ramp across, with fully clear and fully opaque columns.
QImage alphaPattern(int width, int height);

// An 8-bit paletted picture: count colours (at most 256); entry 0 is fully
// transparent when withClear is set, the others opaque.
QImage palettePattern(int width, int height, int count, bool withClear, int seed = 0);

// Writes image through Qt's writer for format ("png", "webp", "tiff", ...);
// quality -1 leaves the writer's default (WebP at 100 is lossless).
bool writePicture(const QString& path, const QImage& image, const char* format, int quality = -1);

// A GIF89a of the given frames (each converted to 8-bit paletted, frame size
// of the first), looping, 10/100 s a frame; transparentIndex >= 0 marks that
// palette entry clear in every frame. As most encoders write them, the first
// frame's palette is the global colour table and a frame carries a local
// table only when its palette differs; LocalOnly gives every frame its own
// table and the file none.
enum class GifTables { Global, LocalOnly };
QByteArray gifBytes(const QList<QImage>& frames, int transparentIndex = -1,
                    GifTables tables = GifTables::Global);
bool writeGif(const QString& path, const QList<QImage>& frames, int transparentIndex = -1,
              GifTables tables = GifTables::Global);

// A TIFF of several pages: each written by Qt's TIFF writer, the files then
// chained (their directories linked and offsets moved). Empty on failure.
QByteArray multiPageTiff(const QList<QImage>& pages);

// A PNG signature and header declaring width x height (8-bit, colour type 2
// RGB, 0 grey or 3 paletted with two colours), followed
// by idatBytes of stored zlib data in one IDAT chunk and an IEND. Only the
// header is honest: the data would run out long before the rows do.
QByteArray pngDeclaring(quint32 width, quint32 height, int idatBytes, int colourType = 2);

// A little-endian grey TIFF declaring width x height in one strip of
// dataBytes bytes (zeros): again only the directory is honest.
QByteArray tiffDeclaring(quint32 width, quint32 height, int dataBytes);

// A genuine lossless WebP (VP8L) of width x height pixels of one colour in
// some 32 bytes: every code has one symbol, so no pixel takes a bit.
QByteArray solidLosslessWebp(int width, int height, QRgb colour);

// A lossy WebP (VP8 key frame) header declaring width x height, followed by
// dataBytes zero bytes: far too few for that many macroblocks' modes.
QByteArray lossyWebpDeclaring(int width, int height, int dataBytes);

// The colour a straight-alpha pixel becomes on background, rounded as the
// engine rounds.
QRgb overBackground(QRgb pixel, const QColor& background);

} // namespace sq::test
