// Batch conversion's work: a JPEG file to a 24-bit BMP file, a BMP file to a
// JPEG file. Decoding uses libjpeg's fast integer IDCT; encoding uses the
// library's defaults and the chosen quality and nothing else, so a file
// equals what libjpeg's own cjpeg writes at that quality. Targets are
// written through a temporary file renamed into place: a failure never
// leaves a half-written target and never touches the source. Pure
// functions without windows, any thread; used by the main window's
// conversion commands and the conversion benchmark.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

namespace sq {

struct ConvertResult
{
    enum Status {
        Ok,
        ReadFailed,  // the source could not be opened or read (detail: the reason)
        NotPicture,  // the source is not a picture of its kind, or is damaged
        TooLarge,    // the picture is larger than the engine decodes
        WriteFailed, // the target could not be written (detail: the reason)
        Exists,      // the target exists and was to be kept; nothing was written
    };
    Status status = Ok;
    QString detail; // the system's reason, when there is one
    bool ok() const { return status == Ok; }
};

// The picture of a BMP file held in memory as RGB888; null when the bytes
// are not a complete BMP. Uncompressed 24-bit files are read directly, the
// other kinds through Qt's reader.
QImage decodeBmpRgb(const QByteArray& bytes);

// A plain Windows BMP: BITMAPINFOHEADER, 24 bits, bottom-up, rows padded to
// four bytes, no resolution. Empty for a null picture.
QByteArray encodeBmp24(const QImage& image);

// JPEG at quality 1..100 with jpeg_set_defaults and jpeg_set_quality(q, TRUE)
// only. Empty on failure.
QByteArray encodeJpegDefaults(const QImage& image, int quality);

// source's path with the extension (from the last dot of the file name)
// replaced by extension (given with its dot); a name without a dot gets it
// appended.
QString withExtension(const QString& source, const QString& extension);

// The conversions. Paths are carriers (platform/NativePath.h). An existing
// target is replaced when replace is set; else it is kept and the result is
// Exists, also for a target that appears while the picture is converted.
ConvertResult convertJpegToBmp(const QString& source, const QString& target, bool replace = true);
ConvertResult convertBmpToJpeg(const QString& source, const QString& target, int quality,
                               bool replace = true);

} // namespace sq
