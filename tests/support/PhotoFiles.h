// Helpers of the tests and benchmarks that write HEIC, AVIF, JPEG XL and DNG
// files at run time: through libheif's and libjxl's own encoders, and a small
// writer of uncompressed linear DNG files that LibRaw reads. Used by
// tst_photos, the X test's folder, bench_photos and the fuzz seeds.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

namespace sq::test {

enum class HeifCodec { Hevc, Av1 };

// Whether libheif can encode with the codec here.
bool canWriteHeif(HeifCodec codec);

// Writes picture as a HEIC (Hevc) or AVIF (Av1) file. With a thumbnail, it is
// stored as the file's thumbnail item, scaled to fit thumbnailSide (so a test
// can tell which was decoded by its look). orientation (EXIF numbering, 1, 3,
// 6 or 8) is written as the file's rotation property; icc, when not empty,
// as the picture's colour profile.
bool writeHeif(const QString& path, const QImage& picture, HeifCodec codec,
               const QImage& thumbnail = QImage(), int thumbnailSide = 0, int orientation = 1,
               int quality = 90, const QByteArray& icc = QByteArray());

// Writes picture as a JPEG XL codestream (effort 3, lossy at distance 1 or
// lossless), with orientation (EXIF numbering) in its header.
bool writeJxl(const QString& path, const QImage& picture, int orientation = 1,
              bool lossless = false, int effort = 3);

// An uncompressed linear (demosaiced) 16-bit DNG of picture, its white level
// 65535 and its neutral white balance, with Orientation orientation. With a
// preview, a baseline JPEG of it is the first IFD (the raw data in a SubIFD).
QByteArray dngBytes(const QImage& picture, int orientation = 1,
                    const QImage& preview = QImage());
bool writeDng(const QString& path, const QImage& picture, int orientation = 1,
              const QImage& preview = QImage());

// A picture of four flat quadrants: red, green / blue, white (top left,
// top right / bottom left, bottom right).
QImage quadrants(int width, int height);

// Whether colour c is within tolerance of want in every channel.
bool near(QRgb c, QRgb want, int tolerance = 40);

} // namespace sq::test
