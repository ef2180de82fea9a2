// The engine's loader of PNG, GIF (first frame), WebP and TIFF (first page)
// pictures through Qt's image readers, and of HEIF, AVIF, JPEG XL and camera
// RAW photographs through their libraries and of the first frame of phone
// videos through FFmpeg, installed as the CustomLoader of every
// engine the program creates (installPictureLoader). The readers are fuzzed
// through readPicture (fuzz/fuzz_pictures). Stateless: any thread, any number
// of engines at once.
#pragma once

#include "engine/ImgUtils.h"

#include <QByteArray>
#include <QImage>
#include <QString>

class QIODevice;

namespace sq {

// The reader's format name ("png", "gif", "webp", "tiff") of bytes by their
// signature; empty for anything else. head holds the file's first bytes.
QByteArray pictureFormatOf(const QByteArray& head);

// The first frame or page of the picture on device, in the reader's own
// format (alpha kept). Null when the bytes are none of the four formats, are
// damaged, or declare more than maxPixels: that is read from the header,
// before anything is decoded. Qt's own allocation ceiling applies as well,
// raised for the read when the picture needs more (engine/ReadCeiling.h).
QImage readPicture(QIODevice* device, qint64 maxPixels = TImgUtil::MaxPixels);

// Whether a PNG on device holds an iCCP chunk before its image data, read
// from the chunk headers alone; the device's position is kept.
bool pngCarriesIcc(QIODevice* device);

// The largest file read for a format: WebP's reader takes the whole file into
// memory, the others read as they decode.
qint64 maxPictureFileBytes(const QByteArray& format);

} // namespace sq

class TPictureLoader : public TCustomLoader
{
public:
    // The one loader every engine shares.
    static TPictureLoader& instance();

    // By extension (case ignored): .png, .gif, .webp, .tif, .tiff, each only
    // while Qt has a reader for it; .heic, .heif, .avif, .jxl and the camera
    // RAW ones (.cr2 .cr3 .nef .arw .dng .orf .raf .rw2) always, and the
    // videos .mp4 .mov .qt .m4v .mkv .webm (their first frame, as an AVI's).
    bool CanLoad(const QString& fileName) override;
    // Reads a regular file only (platform SafeFile): a FIFO, a device or an
    // oversized file is refused without waiting or filling memory. The bitmap
    // keeps the picture's alpha; the engine lays it on its BKColor.
    bool LoadToBitmap(const QString& fileName, TBitmap& bitmap) override;
    // HEIF, AVIF and JPEG XL by their signature and RAW by its name go to the
    // photo readers (engine/PictureFormats.h), which may serve a thumbnail's
    // box from a smaller picture the file carries.
    bool LoadToBitmapFor(const QString& fileName, TBitmap& bitmap, QSize box,
                         TLoadInfo& info) override;
    bool ThreadSafe() const override { return true; }
};

namespace sq {

// Makes the engine show PNG, GIF, WebP and TIFF pictures (kind iitCustom).
inline void installPictureLoader(TImgUtil& engine)
{
    engine.setCustomLoader(&TPictureLoader::instance());
}

} // namespace sq
