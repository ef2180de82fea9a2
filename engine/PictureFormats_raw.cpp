// Camera RAW through LibRaw, from memory or straight from an open file. Most
// cameras embed a JPEG preview; a full-size one stands for the picture, a
// smaller one for thumbnails it covers. Otherwise LibRaw develops the sensor
// data with the camera's white balance (at half size for a thumbnail where
// that covers it), turned by the file's flip as it writes the picture out.
// From a file, LibRaw reads through a small window over it: a thumbnail
// costs the header and the preview's bytes, not the whole file.
#include "engine/PictureFormats.h"

#include "engine/ExifOrientation.h"
#include "platform/SafeRead.h"

#include <libraw/libraw.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

namespace {

struct ProcessedFreer
{
    void operator()(libraw_processed_image_t* p) const { LibRaw::dcraw_clear_mem(p); }
};
using Processed = std::unique_ptr<libraw_processed_image_t, ProcessedFreer>;

// LibRaw's reads over an open file, as LibRaw's own memory stream behaves:
// reads and seeks stop at the size the file had when it was opened, so a file
// that grows or shrinks meanwhile feeds no more than that (a shrunken one
// reads as cut short). Small reads come from a window of the file; large ones
// go straight to the caller's buffer.
class FileStream : public LibRaw_abstract_datastream
{
public:
    explicit FileStream(const sq::platform::SafeFile& file) : m_file(file), m_size(file.size()) {}

    qint64 bytesRead() const { return m_bytesRead; }

    int valid() override { return m_file.isOpen() ? 1 : 0; }
    INT64 size() override { return m_size; }
    INT64 tell() override { return m_pos; }
    int eof() override { return m_pos >= m_size ? 1 : 0; }
    void* make_jas_stream() override { return nullptr; }

    int read(void* ptr, size_t size, size_t nmemb) override
    {
        if (size == 0 || nmemb == 0 || m_pos >= m_size) return 0;
        const qint64 left = m_size - m_pos;
        const qint64 want = nmemb > size_t(left) / size ? left : qint64(size * nmemb);
        const qint64 got = copyOut(static_cast<char*>(ptr), want);
        // As the memory stream counts: a part item counts as one.
        return int((size_t(got) + size - 1) / size);
    }

    int seek(INT64 o, int whence) override
    {
        const qint64 base = whence == SEEK_CUR ? m_pos : whence == SEEK_END ? m_size : 0;
        if (whence != SEEK_SET && whence != SEEK_CUR && whence != SEEK_END) return 0;
        // Overflow-free clamp of base + o to [0, size].
        if (o < 0)
            m_pos = o <= -base ? 0 : base + o;
        else
            m_pos = o >= m_size - base ? m_size : base + o;
        return 0;
    }

    int get_char() override
    {
        unsigned char c = 0;
        return copyOut(reinterpret_cast<char*>(&c), 1) == 1 ? int(c) : -1;
    }

    char* gets(char* s, int sz) override
    {
        if (!s || sz <= 0 || m_pos >= m_size) return nullptr;
        int n = 0;
        while (n < sz - 1) {
            const int c = get_char();
            if (c < 0) break;
            s[n++] = char(c);
            if (c == '\n') break;
        }
        s[n] = '\0';
        return s;
    }

    int scanf_one(const char* fmt, void* val) override
    {
        // One number at the position: parsed from a few bytes, then the
        // position moves past its text.
        char text[32] = {};
        const qint64 at = m_pos;
        const qint64 got = copyOut(text, sizeof text - 1);
        m_pos = at;
        if (got <= 0) return 0;
        text[got] = '\0';
        const int r = std::sscanf(text, fmt, val);
        if (r > 0) {
            qint64 i = 0;
            while (i < got && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' || text[i] == '\r'))
                ++i;
            while (i < got && text[i] && text[i] != ' ' && text[i] != '\t' && text[i] != '\n')
                ++i;
            m_pos = at + i;
        }
        return r;
    }

private:
    static constexpr qint64 kWindow = 64 << 10;

    // Copies up to n bytes from the position on, moving it; the count copied.
    qint64 copyOut(char* out, qint64 n)
    {
        n = std::min(n, m_size - m_pos);
        qint64 done = 0;
        while (done < n) {
            const qint64 at = m_pos + done;
            if (at >= m_windowAt && at < m_windowAt + qint64(m_window.size())) {
                const qint64 k = std::min(n - done, m_windowAt + qint64(m_window.size()) - at);
                std::memcpy(out + done, m_window.data() + (at - m_windowAt), size_t(k));
                done += k;
            } else if (n - done >= kWindow) {
                // A large read (the preview, the sensor data) skips the window.
                if (!m_file.readAt(at, out + done, n - done)) break;
                m_bytesRead += n - done;
                done = n;
            } else if (!fill(at)) {
                break;
            }
        }
        m_pos += done;
        return done;
    }

    bool fill(qint64 at)
    {
        const qint64 len = std::min(kWindow, m_size - at);
        m_window.resize(size_t(std::max<qint64>(len, 0)));
        m_windowAt = at;
        if (len <= 0 || !m_file.readAt(at, m_window.data(), len)) {
            m_window.clear();
            return false;
        }
        m_bytesRead += len;
        return true;
    }

    const sq::platform::SafeFile& m_file;
    const qint64 m_size;
    qint64 m_pos = 0;
    std::vector<char> m_window;
    qint64 m_windowAt = 0;
    qint64 m_bytesRead = 0;
};

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

unsigned rawMemoryMb(qint64 maxPixels)
{
    return unsigned(std::min<qint64>(maxPixels * 16 >> 20, 2048) + 1);
}

// Opens the file's bytes in raw (open_buffer or open_datastream); LibRaw's
// result code.
using Opener = std::function<int(LibRaw&)>;

// What a RAW's header says and which source serves the request.
struct RawPlan
{
    bool ok = false;
    QSize full;           // upright
    QSize preview;        // upright, as declared
    qint64 previewBytes = 0;
    bool usePreview = false; // tried first; the sensor data when it fails
    bool half = false;       // the sensor data at half size
    qint64 rawPixels = 0;
};

RawPlan planOf(const LibRaw& raw, QSize box, qint64 maxPixels)
{
    RawPlan plan;
    const libraw_image_sizes_t& s = raw.imgdata.sizes;
    const QSize stored(s.width, s.height);
    plan.rawPixels = qint64(s.raw_width) * s.raw_height;
    if (!withinBound(stored, maxPixels) || plan.rawPixels > maxPixels) return plan;
    plan.ok = true;
    plan.full = flippedSize(stored, s.flip);
    const bool thumbnail = box.isValid() && !box.isEmpty();
    const libraw_thumbnail_t& t = raw.imgdata.thumbnail;
    plan.preview = flippedSize(QSize(t.twidth, t.theight), s.flip);
    plan.previewBytes = qint64(t.tlength);
    plan.usePreview = t.tlength > 0 &&
                      (thumbnail ? sq::sourceCoversBox(plan.preview, plan.full, box)
                                 : plan.preview.width() * 10 >= plan.full.width() * 9 &&
                                       plan.preview.height() * 10 >= plan.full.height() * 9);
    plan.half = thumbnail &&
                sq::sourceCoversBox(QSize(plan.full.width() / 2, plan.full.height() / 2), plan.full, box);
    return plan;
}

sq::DecodedPicture decodeWith(const Opener& open, QSize box, qint64 maxPixels)
{
    sq::DecodedPicture out;
    // Large: kept off the stack.
    auto raw = std::make_unique<LibRaw>(LIBRAW_OPTIONS_NONE);
    raw->imgdata.params.max_raw_memory_mb = rawMemoryMb(maxPixels);
    if (open(*raw) != LIBRAW_SUCCESS) return out;
    const RawPlan plan = planOf(*raw, box, maxPixels);
    if (!plan.ok) return out;
    QImage image;
    if (plan.usePreview) image = embeddedPreview(*raw, maxPixels);
    if (image.isNull()) {
        raw->recycle();
        raw->imgdata.params.max_raw_memory_mb = rawMemoryMb(maxPixels);
        if (open(*raw) != LIBRAW_SUCCESS) return out;
        image = developed(*raw, plan.half, maxPixels);
    }
    if (image.isNull()) return out;
    out.image = std::move(image);
    out.fullSize = plan.full;
    return out;
}

// Bytes a pixel while LibRaw develops: the sensor data (up to four 16-bit
// samples a pixel for a linear DNG), its working picture of four 16-bit
// samples, the 8-bit picture it writes out and the engine's copy of that.
constexpr qint64 kSensorBytes = 8;
constexpr qint64 kDevelopBytes = 8 + 3 + 3;
// A preview: its decode at 24 bits (or LibRaw's bitmap of it), the copy
// turned upright and the engine's copy of that.
constexpr qint64 kPreviewBytes = 3 + 3 + 3;

} // namespace

namespace sq {

DecodedPicture decodeRaw(const QByteArray& bytes, QSize box, qint64 maxPixels)
{
    if (bytes.isEmpty()) return {};
    return decodeWith(
        [&bytes](LibRaw& raw) {
            return raw.open_buffer(const_cast<char*>(bytes.constData()), size_t(bytes.size()));
        },
        box, maxPixels);
}

DecodedPicture decodeRawFile(const platform::SafeFile& file, QSize box, qint64 maxPixels,
                             qint64* bytesRead)
{
    if (bytesRead) *bytesRead = 0;
    if (!file.isOpen() || file.size() <= 0 || file.size() > kMaxPhotoFileBytes) return {};
    // LibRaw does not own the stream, and opens it again after a recycle.
    FileStream stream(file);
    // LibRaw reads its first bytes from where the stream stands: each
    // opening starts at the file's start.
    DecodedPicture out = decodeWith(
        [&stream](LibRaw& raw) {
            stream.seek(0, SEEK_SET);
            return raw.open_datastream(&stream);
        },
        box, maxPixels);
    if (bytesRead) *bytesRead = stream.bytesRead();
    return out;
}

qint64 rawDecodeCost(const platform::SafeFile& file, QSize box, qint64 maxPixels)
{
    if (!file.isOpen() || file.size() <= 0 || file.size() > kMaxPhotoFileBytes) return 0;
    FileStream stream(file);
    auto raw = std::make_unique<LibRaw>(LIBRAW_OPTIONS_NONE);
    raw->imgdata.params.max_raw_memory_mb = rawMemoryMb(maxPixels);
    if (raw->open_datastream(&stream) != LIBRAW_SUCCESS) return 0;
    const RawPlan plan = planOf(*raw, box, maxPixels);
    if (!plan.ok) return 0;
    const qint64 fullPixels = qint64(plan.full.width()) * plan.full.height();
    // Should the preview fail, the sensor data are developed instead; that
    // is rare enough not to be reserved for.
    if (plan.usePreview)
        return plan.previewBytes +
               qint64(plan.preview.width()) * plan.preview.height() * kPreviewBytes;
    const qint64 outPixels = plan.half ? fullPixels / 4 : fullPixels;
    return plan.rawPixels * kSensorBytes + outPixels * kDevelopBytes;
}

} // namespace sq
