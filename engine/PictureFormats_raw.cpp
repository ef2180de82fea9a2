// Camera RAW through LibRaw, from memory. Most cameras embed a JPEG preview;
// a full-size one stands for the picture, a smaller one for thumbnails it
// covers. Otherwise LibRaw develops the sensor data with the camera's white
// balance (at half size for a thumbnail where that covers it), turned by the
// file's flip as it writes the picture out.
#include "engine/PictureFormats.h"

#include "engine/ExifOrientation.h"

#include <libraw/libraw.h>

#include <memory>

namespace {

struct ProcessedFreer
{
    void operator()(libraw_processed_image_t* p) const { LibRaw::dcraw_clear_mem(p); }
};
using Processed = std::unique_ptr<libraw_processed_image_t, ProcessedFreer>;

// LibRaw's flip (dcraw's numbering) as an EXIF Orientation.
int orientationOfFlip(int flip)
{
    switch (flip) {
    case 3: return 3;
    case 5: return 8;
    case 6: return 6;
    default: return sq::kOrientationUpright;
    }
}

QSize flippedSize(QSize stored, int flip)
{
    return (flip & 4) ? stored.transposed() : stored;
}

bool withinBound(QSize size, qint64 maxPixels)
{
    return size.width() > 0 && size.height() > 0 &&
           qint64(size.width()) * size.height() <= maxPixels;
}

// An 8-bit RGB picture LibRaw wrote out, as a QImage.
QImage toImage(const libraw_processed_image_t* p)
{
    if (!p || p->colors != 3 || p->bits != 8 || p->width == 0 || p->height == 0) return {};
    const qsizetype rowBytes = qsizetype(p->width) * 3;
    if (qint64(p->data_size) < rowBytes * p->height) return {};
    QImage image(p->width, p->height, QImage::Format_RGB888);
    if (image.isNull()) return {};
    for (int y = 0; y < p->height; ++y)
        std::copy_n(p->data + y * rowBytes, rowBytes, image.scanLine(y));
    return image;
}

// The embedded preview, upright: a JPEG keeps its own EXIF Orientation or
// takes the RAW's flip; a bitmap preview is stored as the sensor is.
QImage embeddedPreview(LibRaw& raw, qint64 maxPixels)
{
    const libraw_thumbnail_t& t = raw.imgdata.thumbnail;
    if (t.twidth && t.theight && qint64(t.twidth) * t.theight > maxPixels) return {};
    if (raw.unpack_thumb() != LIBRAW_SUCCESS) return {};
    const int flip = raw.imgdata.sizes.flip;
    if (t.tformat == LIBRAW_THUMBNAIL_JPEG) {
        const QByteArray jpeg = QByteArray::fromRawData(t.thumb, qsizetype(t.tlength));
        const QSize size = sq::jpegSize(jpeg);
        if (!withinBound(size, maxPixels)) return {};
        QImage image = sq::decodeJpeg(jpeg, 1, false);
        if (image.isNull()) return {};
        const bool ownOrientation =
            sq::jpegOrientation(reinterpret_cast<const unsigned char*>(t.thumb), t.tlength) !=
            sq::kOrientationUpright;
        return ownOrientation ? image : sq::orientImage(std::move(image), orientationOfFlip(flip));
    }
    if (t.tformat == LIBRAW_THUMBNAIL_BITMAP) {
        int err = 0;
        const Processed p(raw.dcraw_make_mem_thumb(&err));
        QImage image = toImage(p.get());
        return image.isNull() ? image : sq::orientImage(std::move(image), orientationOfFlip(flip));
    }
    return {};
}

QImage developed(LibRaw& raw, bool half, qint64 maxPixels)
{
    auto& params = raw.imgdata.params;
    params.use_camera_wb = 1;
    params.output_bps = 8;
    params.half_size = half ? 1 : 0;
    const qint64 rawPixels = qint64(raw.imgdata.sizes.raw_width) * raw.imgdata.sizes.raw_height;
    if (rawPixels <= 0 || rawPixels > maxPixels) return {};
    if (raw.unpack() != LIBRAW_SUCCESS || raw.dcraw_process() != LIBRAW_SUCCESS) return {};
    int err = 0;
    const Processed p(raw.dcraw_make_mem_image(&err));
    return toImage(p.get());
}

} // namespace

namespace sq {

DecodedPicture decodeRaw(const QByteArray& bytes, QSize box, qint64 maxPixels)
{
    DecodedPicture out;
    if (bytes.isEmpty()) return out;
    // Large: kept off the stack.
    auto raw = std::make_unique<LibRaw>(LIBRAW_OPTIONS_NONE);
    raw->imgdata.params.max_raw_memory_mb =
        unsigned(std::min<qint64>(maxPixels * 16 >> 20, 2048) + 1);
    if (raw->open_buffer(const_cast<char*>(bytes.constData()), size_t(bytes.size())) !=
        LIBRAW_SUCCESS)
        return out;
    const libraw_image_sizes_t& s = raw->imgdata.sizes;
    const QSize stored(s.width, s.height);
    if (!withinBound(stored, maxPixels) ||
        qint64(s.raw_width) * s.raw_height > maxPixels)
        return out;
    const QSize full = flippedSize(stored, s.flip);
    const bool thumbnail = box.isValid() && !box.isEmpty();
    // The preview's size as the file declares it (upright).
    const QSize declaredPreview = flippedSize(
        QSize(raw->imgdata.thumbnail.twidth, raw->imgdata.thumbnail.theight), s.flip);
    const bool previewServes =
        raw->imgdata.thumbnail.tlength > 0 &&
        (thumbnail ? sourceCoversBox(declaredPreview, full, box)
                   : declaredPreview.width() * 10 >= full.width() * 9 &&
                         declaredPreview.height() * 10 >= full.height() * 9);
    QImage image;
    if (previewServes) image = embeddedPreview(*raw, maxPixels);
    if (image.isNull()) {
        const QSize halfSize(full.width() / 2, full.height() / 2);
        const bool half = thumbnail && sourceCoversBox(halfSize, full, box);
        raw->recycle();
        raw->imgdata.params.max_raw_memory_mb =
            unsigned(std::min<qint64>(maxPixels * 16 >> 20, 2048) + 1);
        if (raw->open_buffer(const_cast<char*>(bytes.constData()), size_t(bytes.size())) !=
            LIBRAW_SUCCESS)
            return out;
        image = developed(*raw, half, maxPixels);
    }
    if (image.isNull()) return out;
    out.image = std::move(image);
    out.fullSize = full;
    return out;
}

} // namespace sq
