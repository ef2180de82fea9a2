// Readers of the photographs phones and cameras write: HEIC/HEIF and AVIF
// through libheif, JPEG XL through libjxl, camera RAW through LibRaw. Each
// takes the file's bytes (HEIF and JPEG XL read whole through the safe file
// layer by the picture loader; a RAW straight from the open file, read only
// where LibRaw needs it), reads the declared size first and decodes nothing
// past maxPixels. A non-empty box asks for a thumbnail: the reader may then use a
// smaller source the file offers (a HEIF thumbnail item, a RAW's embedded
// preview, LibRaw's half-size processing) as long as it covers the picture
// fitted into the box. Pure functions over bytes, any thread.
#pragma once

#include "engine/ImgUtils.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

namespace sq::platform {
class SafeFile;
}

namespace sq {

struct DecodedPicture
{
    // Upright, 8 bits a channel (RGB888, or RGBA8888 with alpha); null on
    // any failure.
    QImage image;
    // The picture's own upright size (the image may be a smaller source).
    QSize fullSize;
    // The embedded ICC profile the pixels are in; empty for sRGB or none.
    QByteArray IccProfile;
};

enum class PhotoCodec { None, Heif, Jxl, Raw };

// HEIF (HEIC, AVIF and the other still-image brands) and JPEG XL by their
// signature; None for anything else (an MP4 or a QuickTime movie included).
PhotoCodec photoCodecOf(const QByteArray& head);

// Whether the name's extension (case ignored) is a camera RAW one.
bool isRawName(const QString& fileName);

// Whether a source of size source is large enough to stand for a picture of
// size full fitted into box (never when it is smaller than that fitted size).
bool sourceCoversBox(QSize source, QSize full, QSize box);

DecodedPicture decodeHeif(const QByteArray& bytes, QSize box = QSize(),
                          qint64 maxPixels = TImgUtil::MaxPixels);
// Whether every grid or overlay item of the HEIF file in bytes declares a
// canvas within maxPixels, with data long enough for its tiles; true for a
// file without such items or whose boxes cannot be followed. decodeHeif
// refuses a file for which it is false.
bool heifDerivedItemsBounded(const QByteArray& bytes, qint64 maxPixels = TImgUtil::MaxPixels);
DecodedPicture decodeJxl(const QByteArray& bytes, QSize box = QSize(),
                         qint64 maxPixels = TImgUtil::MaxPixels);
// RAW: for the full picture, the embedded preview when it is full-size, else
// LibRaw's processing with the camera's white balance, turned by the file's
// flip; for a box, the embedded preview or a half-size processing where it
// covers the box.
DecodedPicture decodeRaw(const QByteArray& bytes, QSize box = QSize(),
                         qint64 maxPixels = TImgUtil::MaxPixels);

// The same from an open regular file: LibRaw reads the header, then only the
// preview's bytes or the sensor data, never the whole file at once. A file
// past kMaxPhotoFileBytes is refused. *bytesRead, when given, is the count of
// bytes read from the file.
DecodedPicture decodeRawFile(const platform::SafeFile& file, QSize box = QSize(),
                             qint64 maxPixels = TImgUtil::MaxPixels, qint64* bytesRead = nullptr);

// The memory decoding the photograph in file for box (empty: the picture
// itself) takes at most, from its header alone and for the source the reader
// above would decode (a thumbnail item, a preview, a half-size development);
// 0 when the header cannot be read or declares more than maxPixels (the
// reader then refuses the file). Reads only the header's bytes.
qint64 photoDecodeCost(const platform::SafeFile& file, PhotoCodec codec, QSize box,
                       qint64 maxPixels = TImgUtil::MaxPixels);
qint64 heifDecodeCost(const platform::SafeFile& file, QSize box, qint64 maxPixels);
qint64 jxlDecodeCost(const platform::SafeFile& file, qint64 maxPixels);
qint64 rawDecodeCost(const platform::SafeFile& file, QSize box, qint64 maxPixels);

// The largest file each reader takes.
constexpr qint64 kMaxPhotoFileBytes = qint64(512) << 20;

} // namespace sq
