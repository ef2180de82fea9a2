// BMP files written by the viewer windows and sqimg, and the bounded read of
// a BMP file for sqimg. Paths are carriers (platform/NativePath.h). Pure
// functions, any thread.
#pragma once

#include <QImage>
#include <QString>

namespace sq {

// Largest BMP file read (bytes).
inline constexpr qint64 kMaxBmpFileBytes = qint64(512) << 20;

// Reads a BMP file: only a regular file under kMaxBmpFileBytes, opened
// without blocking (a FIFO or device is refused, not waited on). False with
// a message in *error when the file cannot be read or is not a BMP picture.
bool readBmpFile(const QString& path, QImage& image, QString* error = nullptr);

// Decodes BMP bytes; a file whose pixel rows stop before the headers say
// they end is refused (the BMP reader would make up the rest). False with a
// message in *error.
bool decodeBmp(const QByteArray& bytes, QImage& image, QString* error = nullptr);

// Writes the picture as a 24-bit BMP through a temporary file in the target's
// folder renamed over the target, so a failure leaves any old file whole.
// False with a message in *error; an empty picture is refused.
bool writeBmpFile(const QString& path, const QImage& image, QString* error = nullptr);

} // namespace sq
