// HEIC/HEIF and AVIF through libheif, from memory. libheif turns the picture
// by its own rotation and mirror properties as it decodes, which stand in for
// any EXIF Orientation the file also carries: nothing else turns it. The
// cost of a decode is read from the file's boxes through a reader over the
// open file, which libheif asks only for the boxes that describe the items.
#include "engine/PictureFormats.h"

#include "platform/SafeRead.h"

#include <libheif/heif.h>

#include <algorithm>
#include <array>
#include <cstring>
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

// The item sizes read from the meta box alone, without libheif: it copies
// every box it reads, the pictures' data included, where the cost needs the
// primary item's and its thumbnails' sizes only. Anything this does not
// follow (no size property, a crop, a side past libheif's limit, a box cut
// short) leaves the cost to libheif.
class MetaItems
{
public:
    // The meta box's contents from the file; false when there is none to read.
    bool read(const sq::platform::SafeFile& file)
    {
        const qint64 size = file.size();
        qint64 at = 0;
        for (int boxes = 0; boxes < 64 && at + 8 <= size; ++boxes) {
            unsigned char h[16];
            if (!file.readAt(at, reinterpret_cast<char*>(h), 8)) return false;
            quint64 boxSize = be(h, 4);
            qint64 header = 8;
            if (boxSize == 1) {
                if (at + 16 > size || !file.readAt(at + 8, reinterpret_cast<char*>(h + 8), 8)) return false;
                boxSize = be(h + 8, 8);
                header = 16;
            } else if (boxSize == 0) {
                boxSize = quint64(size - at);
            }
            if (boxSize < quint64(header) || boxSize > quint64(size - at)) return false;
            if (std::memcmp(h + 4, "meta", 4) == 0) {
                if (boxSize > (quint64(16) << 20)) return false;
                m_meta.resize(qsizetype(boxSize) - header);
                return file.readAt(at + header, m_meta.data(), m_meta.size());
            }
            at += qint64(boxSize);
        }
        return false;
    }

    // The meta box's contents from a file in memory; false when there is none.
    bool read(const QByteArray& file)
    {
        const Span all{reinterpret_cast<const unsigned char*>(file.constData()), file.size()};
        bool found = false;
        walkTop(all, [&](const char* type, Span body) {
            if (std::memcmp(type, "meta", 4) != 0) return true;
            m_meta = QByteArray(reinterpret_cast<const char*>(body.data), body.size);
            found = true;
            return false;
        });
        return found;
    }

    // Whether every derived item (a grid of tiles or an overlay) says a
    // canvas within the bounds, in data long enough for its tiles: libheif
    // makes the canvas from that data without its own size limit. `file` is
    // the whole file, for data stored outside the meta box.
    bool derivedItemsBounded(const QByteArray& file, qint64 maxPixels)
    {
        if (m_meta.size() < 4) return false;
        const Span meta{reinterpret_cast<const unsigned char*>(m_meta.constData()) + 4,
                        m_meta.size() - 4};
        Span iinf, iloc, iref, idat;
        if (!walk(meta, [&](const char* type, Span body) {
                if (std::memcmp(type, "iinf", 4) == 0) iinf = body;
                if (std::memcmp(type, "iloc", 4) == 0) iloc = body;
                if (std::memcmp(type, "iref", 4) == 0) iref = body;
                if (std::memcmp(type, "idat", 4) == 0) idat = body;
                return true;
            }))
            return false;
        std::vector<std::pair<quint32, bool>> derived; // id, is a grid
        if (!iinf.data || iinf.size < 6) return !iinf.data;
        const int countBytes = iinf.data[0] == 0 ? 2 : 4;
        if (!walk(Span{iinf.data + 4 + countBytes, iinf.size - 4 - countBytes},
                  [&](const char* t, Span b) {
                      if (std::memcmp(t, "infe", 4) != 0 || b.size < 4 || b.data[0] < 2) return true;
                      const int idBytes = b.data[0] == 2 ? 2 : 4;
                      if (b.size < 4 + idBytes + 2 + 4) return false;
                      const quint32 id = quint32(be(b.data + 4, idBytes));
                      const unsigned char* type = b.data + 4 + idBytes + 2;
                      if (std::memcmp(type, "grid", 4) == 0) derived.emplace_back(id, true);
                      if (std::memcmp(type, "iovl", 4) == 0) derived.emplace_back(id, false);
                      return derived.size() < 256;
                  }))
            return false;
        for (const auto& [id, grid] : derived) {
            const int tiles = references(iref, "dimg", id);
            unsigned char head[32] = {};
            const qsizetype got = itemData(iloc, idat, file, id, head, sizeof head);
            if (tiles <= 0 || got < 0) return false;
            const bool wide = got >= 2 && (head[1] & 1) != 0;
            const int side = wide ? 4 : 2;
            const qsizetype sizeAt = grid ? 4 : 2 + 8;
            if (got < sizeAt + 2 * side) return false;
            const quint64 w = be(head + sizeAt, side), h = be(head + sizeAt + side, side);
            if (w == 0 || h == 0 || w > (1u << 16) || h > (1u << 16) ||
                !withinBound(QSize(int(w), int(h)), maxPixels))
                return false;
            if (grid && (int(head[2]) + 1) * (int(head[3]) + 1) != tiles) return false;
            // An overlay places each tile: an offset pair for each.
            if (!grid && itemData(iloc, idat, file, id, nullptr, 0) < sizeAt + 2 * side + qsizetype(tiles) * 2 * side)
                return false;
        }
        return true;
    }

    // The primary item's size and its thumbnails' (at most 64);
    // false when the boxes say anything this does not follow.
    bool sizes(QSize* primary, std::vector<QSize>* thumbnails)
    {
        // meta is a full box: version and flags first.
        if (m_meta.size() < 4) return false;
        const Span meta{reinterpret_cast<const unsigned char*>(m_meta.constData()) + 4,
                        m_meta.size() - 4};
        quint32 primaryId = 0;
        bool havePrimary = false;
        Span ipco, ipma, iref;
        const bool ok = walk(meta, [&](const char* type, Span body) {
            if (std::memcmp(type, "pitm", 4) == 0) {
                if (body.size < 4) return false;
                const bool wide = body.data[0] != 0;
                if (body.size < (wide ? 8 : 6)) return false;
                primaryId = quint32(be(body.data + 4, wide ? 4 : 2));
                havePrimary = true;
            } else if (std::memcmp(type, "iprp", 4) == 0) {
                return walk(body, [&](const char* t, Span b) {
                    if (std::memcmp(t, "ipco", 4) == 0) ipco = b;
                    if (std::memcmp(t, "ipma", 4) == 0) ipma = b;
                    return true;
                });
            } else if (std::memcmp(type, "iref", 4) == 0) {
                iref = body;
            }
            return true;
        });
        if (!ok || !havePrimary || !ipco.data || !ipma.data) return false;
        // The properties in order (their indices count from 1).
        std::vector<std::pair<std::array<char, 4>, Span>> properties;
        if (!walk(ipco, [&](const char* t, Span b) {
                if (properties.size() >= 4096) return false;
                std::array<char, 4> type;
                std::memcpy(type.data(), t, 4);
                properties.emplace_back(type, b);
                return true;
            }))
            return false;
        if (!itemSize(primaryId, ipma, properties, primary)) return false;
        thumbnails->clear();
        if (!iref.data) return true;
        if (iref.size < 4) return false;
        const bool wideIds = iref.data[0] != 0;
        const int idBytes = wideIds ? 4 : 2;
        return walk(Span{iref.data + 4, iref.size - 4}, [&](const char* t, Span b) {
            if (std::memcmp(t, "thmb", 4) != 0) return true;
            if (b.size < idBytes + 2) return false;
            const quint32 from = quint32(be(b.data, idBytes));
            const int count = int(be(b.data + idBytes, 2));
            if (b.size < idBytes + 2 + qsizetype(count) * idBytes) return false;
            for (int i = 0; i < count; ++i) {
                if (quint32(be(b.data + idBytes + 2 + qsizetype(i) * idBytes, idBytes)) != primaryId) continue;
                QSize thumb;
                if (thumbnails->size() >= 64 || !itemSize(from, ipma, properties, &thumb)) return false;
                thumbnails->push_back(thumb);
            }
            return true;
        });
    }

private:
    struct Span
    {
        const unsigned char* data = nullptr;
        qsizetype size = 0;
    };

    static quint64 be(const unsigned char* p, int bytes)
    {
        quint64 v = 0;
        for (int i = 0; i < bytes; ++i) v = v << 8 | p[i];
        return v;
    }

    // walk() over a whole file, whose last box may be cut short.
    template <typename Visit>
    static void walkTop(Span span, Visit&& visit)
    {
        qsizetype at = 0;
        for (int boxes = 0; boxes < 64 && span.size - at >= 8; ++boxes) {
            quint64 boxSize = be(span.data + at, 4);
            qsizetype header = 8;
            if (boxSize == 1) {
                if (span.size - at < 16) return;
                boxSize = be(span.data + at + 8, 8);
                header = 16;
            } else if (boxSize == 0) {
                boxSize = quint64(span.size - at);
            }
            if (boxSize < quint64(header) || boxSize > quint64(span.size - at)) return;
            if (!visit(reinterpret_cast<const char*>(span.data + at + 4),
                       Span{span.data + at + header, qsizetype(boxSize) - header}))
                return;
            at += qsizetype(boxSize);
        }
    }

    // How many items `from` refers to by references of `type`; 0 when none,
    // -1 when the box is damaged.
    static int references(Span iref, const char* type, quint32 from)
    {
        if (!iref.data || iref.size < 4) return iref.data ? -1 : 0;
        const int idBytes = iref.data[0] != 0 ? 4 : 2;
        int count = 0;
        const bool ok = walk(Span{iref.data + 4, iref.size - 4}, [&](const char* t, Span b) {
            if (std::memcmp(t, type, 4) != 0) return true;
            if (b.size < idBytes + 2) return false;
            if (quint32(be(b.data, idBytes)) != from) return true;
            const int n = int(be(b.data + idBytes, 2));
            if (b.size < idBytes + 2 + qsizetype(n) * idBytes) return false;
            count += n;
            return true;
        });
        return ok ? count : -1;
    }

    // Copies up to `room` bytes of item `id`'s data (from the file or the
    // idat box) into `out` and gives the data's whole length; -1 when the
    // item is not located or its data lies outside what is there.
    static qsizetype itemData(Span iloc, Span idat, const QByteArray& file, quint32 id,
                              unsigned char* out, qsizetype room)
    {
        if (!iloc.data || iloc.size < 8) return -1;
        const int version = iloc.data[0];
        if (version > 2) return -1;
        const int offsetSize = iloc.data[4] >> 4, lengthSize = iloc.data[4] & 15;
        const int baseSize = iloc.data[5] >> 4, indexSize = version > 0 ? iloc.data[5] & 15 : 0;
        const auto sizeOk = [](int n) { return n == 0 || n == 4 || n == 8; };
        if (!sizeOk(offsetSize) || !sizeOk(lengthSize) || !sizeOk(baseSize) || !sizeOk(indexSize))
            return -1;
        const int idBytes = version < 2 ? 2 : 4;
        qsizetype at = 6;
        if (iloc.size - at < idBytes) return -1;
        const quint64 items = be(iloc.data + at, idBytes);
        at += idBytes;
        for (quint64 i = 0; i < items; ++i) {
            const qsizetype fixed = idBytes + (version > 0 ? 2 : 0) + 2 + baseSize + 2;
            if (iloc.size - at < fixed) return -1;
            const quint32 item = quint32(be(iloc.data + at, idBytes));
            at += idBytes;
            int method = 0;
            if (version > 0) {
                method = iloc.data[at + 1] & 15;
                at += 2;
            }
            at += 2; // data reference index
            const quint64 base = be(iloc.data + at, baseSize);
            at += baseSize;
            const int extents = int(be(iloc.data + at, 2));
            at += 2;
            const qsizetype extentBytes = indexSize + offsetSize + lengthSize;
            if (iloc.size - at < qsizetype(extents) * extentBytes) return -1;
            if (item != id) {
                at += qsizetype(extents) * extentBytes;
                continue;
            }
            if (method > 1) return -1;
            const unsigned char* source = method == 0
                                              ? reinterpret_cast<const unsigned char*>(file.constData())
                                              : idat.data;
            const quint64 sourceSize = method == 0 ? quint64(file.size()) : quint64(idat.size);
            if (!source && sourceSize) return -1;
            qsizetype total = 0;
            for (int e = 0; e < extents; ++e) {
                at += indexSize;
                const quint64 offset = base + be(iloc.data + at, offsetSize);
                at += offsetSize;
                quint64 length = be(iloc.data + at, lengthSize);
                at += lengthSize;
                if (offset > sourceSize) return -1;
                if (length == 0) length = sourceSize - offset;
                if (length > sourceSize - offset) return -1;
                const qsizetype copy = std::min<qsizetype>(qsizetype(length), room - total);
                if (copy > 0 && out) std::memcpy(out + total, source + offset, size_t(copy));
                total += qsizetype(length);
            }
            return total;
        }
        return -1;
    }

    // Calls visit(type, body) for each box in span; false when a box runs
    // past it or visit says so.
    template <typename Visit>
    static bool walk(Span span, Visit&& visit)
    {
        qsizetype at = 0;
        while (at < span.size) {
            if (span.size - at < 8) return false;
            quint64 boxSize = be(span.data + at, 4);
            qsizetype header = 8;
            if (boxSize == 1) {
                if (span.size - at < 16) return false;
                boxSize = be(span.data + at + 8, 8);
                header = 16;
            } else if (boxSize == 0) {
                boxSize = quint64(span.size - at);
            }
            if (boxSize < quint64(header) || boxSize > quint64(span.size - at)) return false;
            if (!visit(reinterpret_cast<const char*>(span.data + at + 4),
                       Span{span.data + at + header, qsizetype(boxSize) - header}))
                return false;
            at += qsizetype(boxSize);
        }
        return true;
    }

    // The item's size from its ispe, as libheif gives a handle's size (its
    // turn, irot, not applied); false without an ispe, with a crop (clap),
    // or with a side past libheif's limit.
    static bool itemSize(quint32 id, Span ipma,
                         const std::vector<std::pair<std::array<char, 4>, Span>>& properties, QSize* out)
    {
        if (ipma.size < 8) return false;
        const int version = ipma.data[0];
        const bool wideIndex = (ipma.data[3] & 1) != 0;
        const quint32 entries = quint32(be(ipma.data + 4, 4));
        qsizetype at = 8;
        // An item's associations may be spread over several entries.
        QSize size;
        bool listed = false;
        for (quint32 e = 0; e < entries; ++e) {
            const int idBytes = version < 1 ? 2 : 4;
            if (ipma.size - at < idBytes + 1) return false;
            const quint32 item = quint32(be(ipma.data + at, idBytes));
            const int count = ipma.data[at + idBytes];
            at += idBytes + 1;
            const int indexBytes = wideIndex ? 2 : 1;
            if (ipma.size - at < qsizetype(count) * indexBytes) return false;
            if (item != id) {
                at += qsizetype(count) * indexBytes;
                continue;
            }
            listed = true;
            for (int i = 0; i < count; ++i, at += indexBytes) {
                const quint32 index =
                    quint32(be(ipma.data + at, indexBytes)) & (wideIndex ? 0x7fffu : 0x7fu);
                if (index == 0) continue;
                if (index > properties.size()) return false;
                const auto& [type, body] = properties[index - 1];
                if (std::memcmp(type.data(), "clap", 4) == 0) return false;
                if (std::memcmp(type.data(), "ispe", 4) == 0) {
                    if (body.size < 12 || size.isValid()) return false;
                    const quint64 w = be(body.data + 4, 4), h = be(body.data + 8, 4);
                    if (w == 0 || h == 0 || w > (1u << 16) || h > (1u << 16)) return false;
                    size = QSize(int(w), int(h));
                }
            }
        }
        if (!listed || !size.isValid()) return false;
        *out = size;
        return true;
    }

    QByteArray m_meta;
};

// The cost from the meta box alone; -1 where libheif must read the file.
qint64 quickHeifCost(const sq::platform::SafeFile& file, QSize box, qint64 maxPixels)
{
    // libheif reads only a file whose ftyp box names a still-picture brand.
    char head[64] = {};
    const qint64 got = std::min<qint64>(file.size(), sizeof head);
    if (!file.readAt(0, head, got) || sq::photoCodecOf(QByteArray(head, int(got))) != sq::PhotoCodec::Heif)
        return -1;
    MetaItems items;
    QSize full;
    std::vector<QSize> thumbnails;
    if (!items.read(file) || !items.sizes(&full, &thumbnails)) return -1;
    if (!withinBound(full, maxPixels)) return 0;
    QSize size = full;
    if (box.isValid() && !box.isEmpty()) {
        // The smallest thumbnail that covers the box, as coveringThumbnail.
        qint64 best = 0;
        for (const QSize thumb : thumbnails) {
            if (!withinBound(thumb, maxPixels) || !sq::sourceCoversBox(thumb, full, box)) continue;
            const qint64 pixels = qint64(thumb.width()) * thumb.height();
            if (best == 0 || pixels < best) {
                best = pixels;
                size = thumb;
            }
        }
    }
    return qint64(size.width()) * size.height() * kHeifBytesPerPixel;
}

} // namespace

namespace sq {

qint64 heifDecodeCost(const platform::SafeFile& file, QSize box, qint64 maxPixels)
{
    if (!file.isOpen() || file.size() <= 0 || file.size() > kMaxPhotoFileBytes) return 0;
    if (const qint64 quick = quickHeifCost(file, box, maxPixels); quick >= 0) return quick;
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

bool heifDerivedItemsBounded(const QByteArray& bytes, qint64 maxPixels)
{
    MetaItems items;
    return !items.read(bytes) || items.derivedItemsBounded(bytes, maxPixels);
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
    // A grid or overlay whose canvas is unbounded or whose data is cut short
    // is refused before libheif builds it.
    if (!heifDerivedItemsBounded(bytes, maxPixels)) return out;
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
