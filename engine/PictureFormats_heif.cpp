// HEIC/HEIF and AVIF through libheif, from memory. libheif turns the picture
// by its own rotation and mirror properties as it decodes, which stand in for
// any EXIF Orientation the file also carries: nothing else turns it. The
// cost of a decode is read from the file's boxes through a reader over the
// open file, which libheif asks only for the boxes that describe the items.
#include "engine/PictureFormats.h"

#include "platform/SafeRead.h"

#include <libheif/heif.h>

#include <memory>
#include <vector>

namespace {

struct ContextFreer
{
    void operator()(heif_context* c) const { heif_context_free(c); }
};
struct HandleFreer
{
    void operator()(heif_image_handle* h) const { heif_image_handle_release(h); }
};
struct ImageFreer
{
    void operator()(heif_image* i) const { heif_image_release(i); }
};
struct OptionsFreer
{
    void operator()(heif_decoding_options* o) const { heif_decoding_options_free(o); }
};
using Handle = std::unique_ptr<heif_image_handle, HandleFreer>;

QSize handleSize(const heif_image_handle* handle)
{
    return QSize(heif_image_handle_get_width(handle), heif_image_handle_get_height(handle));
}

bool withinBound(QSize size, qint64 maxPixels)
{
    return size.width() > 0 && size.height() > 0 &&
           qint64(size.width()) * size.height() <= maxPixels;
}

// The smallest thumbnail item that covers the box; null when none does.
Handle coveringThumbnail(heif_image_handle* primary, QSize full, QSize box, qint64 maxPixels)
{
    const int count = heif_image_handle_get_number_of_thumbnails(primary);
    if (count <= 0 || count > 64) return {};
    std::vector<heif_item_id> ids(static_cast<size_t>(count));
    const int listed = heif_image_handle_get_list_of_thumbnail_IDs(primary, ids.data(), count);
    Handle best;
    qint64 bestPixels = 0;
    for (int i = 0; i < listed; ++i) {
        heif_image_handle* raw = nullptr;
        if (heif_image_handle_get_thumbnail(primary, ids[size_t(i)], &raw).code != heif_error_Ok || !raw)
            continue;
        Handle thumb(raw);
        const QSize size = handleSize(thumb.get());
        if (!withinBound(size, maxPixels) || !sq::sourceCoversBox(size, full, box)) continue;
        const qint64 pixels = qint64(size.width()) * size.height();
        if (!best || pixels < bestPixels) {
            best = std::move(thumb);
            bestPixels = pixels;
        }
    }
    return best;
}

QImage decodeHandle(heif_image_handle* handle, qint64 maxPixels)
{
    const QSize declared = handleSize(handle);
    if (!withinBound(declared, maxPixels)) return {};
    const bool alpha = heif_image_handle_has_alpha_channel(handle) != 0;
    std::unique_ptr<heif_decoding_options, OptionsFreer> options(heif_decoding_options_alloc());
    if (!options) return {};
    options->convert_hdr_to_8bit = 1;
    heif_image* raw = nullptr;
    const heif_error err =
        heif_decode_image(handle, &raw, heif_colorspace_RGB,
                          alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB,
                          options.get());
    std::unique_ptr<heif_image, ImageFreer> decoded(raw);
    if (err.code != heif_error_Ok || !decoded) return {};
    const int w = heif_image_get_width(decoded.get(), heif_channel_interleaved);
    const int h = heif_image_get_height(decoded.get(), heif_channel_interleaved);
    if (w != declared.width() || h != declared.height()) return {};
    if (heif_image_get_bits_per_pixel_range(decoded.get(), heif_channel_interleaved) != 8) return {};
    int stride = 0;
    const uint8_t* plane = heif_image_get_plane_readonly(decoded.get(), heif_channel_interleaved, &stride);
    const int rowBytes = w * (alpha ? 4 : 3);
    if (!plane || stride < rowBytes) return {};
    QImage image(w, h, alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
    if (image.isNull()) return {};
    for (int y = 0; y < h; ++y)
        std::copy_n(plane + qsizetype(y) * stride, rowBytes, image.scanLine(y));
    return image;
}

QByteArray iccOf(const heif_image_handle* handle)
{
    const heif_color_profile_type type = heif_image_handle_get_color_profile_type(handle);
    if (type != heif_color_profile_type_prof && type != heif_color_profile_type_rICC) return {};
    const size_t size = heif_image_handle_get_raw_color_profile_size(handle);
    if (size == 0 || size > (size_t(16) << 20)) return {};
    QByteArray icc(qsizetype(size), Qt::Uninitialized);
    if (heif_image_handle_get_raw_color_profile(handle, icc.data()).code != heif_error_Ok) return {};
    return icc;
}

// libheif's reads over an open file, up to the size it had when opened.
struct FileReader
{
    const sq::platform::SafeFile* file;
    qint64 size;
    qint64 pos = 0;

    static int64_t position(void* self) { return static_cast<FileReader*>(self)->pos; }
    static int read(void* data, size_t size, void* self)
    {
        auto* r = static_cast<FileReader*>(self);
        if (qint64(size) > r->size - r->pos) return 1;
        if (size > 0 && !r->file->readAt(r->pos, static_cast<char*>(data), qint64(size))) return 1;
        r->pos += qint64(size);
        return 0;
    }
    static int seek(int64_t position, void* self)
    {
        auto* r = static_cast<FileReader*>(self);
        if (position < 0 || position > r->size) return 1;
        r->pos = position;
        return 0;
    }
    static heif_reader_grow_status waitFor(int64_t target, void* self)
    {
        return target <= static_cast<FileReader*>(self)->size ? heif_reader_grow_status_size_reached
                                                             : heif_reader_grow_status_size_beyond_eof;
    }
};

// Bytes a pixel while libheif decodes: its planes (up to three samples of up
// to two bytes, 10-bit 4:4:4) beside the interleaved 8-bit RGBA picture it
// converts them into; after that the engine's copy beside that picture is less.
constexpr qint64 kHeifBytesPerPixel = 6 + 4;

} // namespace

namespace sq {

qint64 heifDecodeCost(const platform::SafeFile& file, QSize box, qint64 maxPixels)
{
    if (!file.isOpen() || file.size() <= 0 || file.size() > kMaxPhotoFileBytes) return 0;
    // The context keeps the reader: both outlive it.
    FileReader state{&file, file.size()};
    heif_reader reader{};
    reader.reader_api_version = 1;
    reader.get_position = &FileReader::position;
    reader.read = &FileReader::read;
    reader.seek = &FileReader::seek;
    reader.wait_for_file_size = &FileReader::waitFor;
    std::unique_ptr<heif_context, ContextFreer> context(heif_context_alloc());
    if (!context) return 0;
    heif_context_set_maximum_image_size_limit(context.get(), 1 << 16);
    if (heif_context_read_from_reader(context.get(), &reader, &state, nullptr).code !=
        heif_error_Ok)
        return 0;
    heif_image_handle* raw = nullptr;
    if (heif_context_get_primary_image_handle(context.get(), &raw).code != heif_error_Ok || !raw)
        return 0;
    const Handle primary(raw);
    QSize size = handleSize(primary.get());
    if (!withinBound(size, maxPixels)) return 0;
    if (box.isValid() && !box.isEmpty())
        if (const Handle thumb = coveringThumbnail(primary.get(), size, box, maxPixels))
            size = handleSize(thumb.get());
    return qint64(size.width()) * size.height() * kHeifBytesPerPixel;
}

DecodedPicture decodeHeif(const QByteArray& bytes, QSize box, qint64 maxPixels)
{
    DecodedPicture out;
    if (photoCodecOf(bytes.left(64)) != PhotoCodec::Heif) return out;
    std::unique_ptr<heif_context, ContextFreer> context(heif_context_alloc());
    if (!context) return out;
    // The parser's own bound on each side, below its built-in one.
    heif_context_set_maximum_image_size_limit(context.get(), 1 << 16);
    if (heif_context_read_from_memory_without_copy(context.get(), bytes.constData(),
                                                   size_t(bytes.size()), nullptr)
            .code != heif_error_Ok)
        return out;
    heif_image_handle* raw = nullptr;
    if (heif_context_get_primary_image_handle(context.get(), &raw).code != heif_error_Ok || !raw)
        return out;
    const Handle primary(raw);
    const QSize full = handleSize(primary.get());
    if (!withinBound(full, maxPixels)) return out;
    QImage image;
    if (box.isValid() && !box.isEmpty())
        if (const Handle thumb = coveringThumbnail(primary.get(), full, box, maxPixels))
            image = decodeHandle(thumb.get(), maxPixels);
    if (image.isNull()) image = decodeHandle(primary.get(), maxPixels);
    if (image.isNull()) return out;
    out.image = std::move(image);
    out.fullSize = full;
    out.IccProfile = iccOf(primary.get());
    return out;
}

} // namespace sq
