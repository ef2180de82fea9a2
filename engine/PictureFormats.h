// Readers of the photographs phones and cameras write: HEIC/HEIF and AVIF
// through libheif, JPEG XL through libjxl, camera RAW through LibRaw. Each
// takes the whole file's bytes (read through the safe file layer by the
// picture loader), reads the declared size first and decodes nothing past
// maxPixels. A non-empty box asks for a thumbnail: the reader may then use a
// smaller source the file offers (a HEIF thumbnail item, a RAW's embedded
// preview, LibRaw's half-size processing) as long as it covers the picture
// fitted into the box. Pure functions over bytes, any thread.
#pragma once

#include "engine/ImgUtils.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

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
DecodedPicture decodeJxl(const QByteArray& bytes, QSize box = QSize(),
                         qint64 maxPixels = TImgUtil::MaxPixels);
// RAW: for the full picture, the embedded preview when it is full-size, else
// LibRaw's processing with the camera's white balance, turned by the file's
// flip; for a box, the embedded preview or a half-size processing where it
// covers the box.
DecodedPicture decodeRaw(const QByteArray& bytes, QSize box = QSize(),
                         qint64 maxPixels = TImgUtil::MaxPixels);

// The largest file each reader takes into memory.
constexpr qint64 kMaxPhotoFileBytes = qint64(512) << 20;

} // namespace sq
