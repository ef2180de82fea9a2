// JPEG decoding straight through libjpeg-turbo, with the decoder's own DCT
// scaling. libjpeg reports errors by longjmp: the jump stays inside
// decodeRaw, whose frames hold no C++ objects. Every picture decoded here is
// turned upright by its EXIF Orientation, after the scaled decode, so that
// only the small result is turned and every size reported is upright.
#include "engine/ImgUtils.h"

#include "engine/ExifOrientation.h"

#include "platform/SafeRead.h"

#include <algorithm>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <jerror.h>
#include <jpeglib.h>
#include <unistd.h>

namespace {

struct ErrorManager
{
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

extern "C" void onJpegError(j_common_ptr cinfo)
{
    std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

// A cut-off file is a failure, not a picture padded with grey.
extern "C" void onJpegMessage(j_common_ptr cinfo, int level)
{
    if (level < 0 && (cinfo->err->msg_code == JWRN_JPEG_EOF || cinfo->err->msg_code == JWRN_HIT_MARKER))
        std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

extern "C" void onJpegOutput(j_common_ptr) {}

// Picks the DCT scale once the header is read, given the upright size: 1,
// 2, 4 or 8; 0 stops there with success (the header alone was wanted), -1
// refuses the picture.
typedef int (*ScaleFor)(void* ctx, int width, int height);
// Gives the rows to decode into once the output size is known; returns
// nullptr (refuse) when the picture is too large.
typedef unsigned char** (*RowsFor)(void* ctx, int width, int height, int cmyk, int orientation);
// Told after each run of rows [y0, y1) is decoded into them.
typedef void (*RowsDone)(void* ctx, int y0, int y1);

// The stored size (as the scan lies in the file), the EXIF Orientation and,
// when asked for, the ICC profile (malloc'd, the caller frees it, also when
// ok is 0).
struct RawResult
{
    int ok;
    int fullWidth;
    int fullHeight;
    int orientation;
    unsigned char* icc;
    unsigned int iccLength;
};

// Where the compressed bytes come from: a block of memory, or a file read
// in blocks through its descriptor, at most budget bytes in all, so that a
// file without a JPEG header costs one block however large it claims to be.
struct RawSource
{
    const unsigned char* data;
    unsigned long size;
    int fd;
    long long budget;
    int wantIcc;
};

constexpr size_t kReadBlock = size_t(64) << 10;

struct FdSourceManager
{
    jpeg_source_mgr pub;
    int fd;
    long long left;
    JOCTET* buffer;
};

extern "C" void fdInitSource(j_decompress_ptr) {}

extern "C" boolean fdFillInputBuffer(j_decompress_ptr cinfo)
{
    auto* src = reinterpret_cast<FdSourceManager*>(cinfo->src);
    ssize_t n = 0;
    if (src->left > 0) {
        const size_t want = src->left < (long long)kReadBlock ? size_t(src->left) : kReadBlock;
        do
            n = ::read(src->fd, src->buffer, want);
        while (n < 0 && errno == EINTR);
    }
    if (n <= 0) {
        // The end of the file (or of the budget) inside the picture: the
        // warning handler turns this into a failure.
        WARNMS(cinfo, JWRN_JPEG_EOF);
        src->buffer[0] = (JOCTET)0xFF;
        src->buffer[1] = (JOCTET)JPEG_EOI;
        n = 2;
    } else {
        src->left -= n;
    }
    src->pub.next_input_byte = src->buffer;
    src->pub.bytes_in_buffer = size_t(n);
    return TRUE;
}

extern "C" void fdSkipInputData(j_decompress_ptr cinfo, long count)
{
    auto* src = reinterpret_cast<FdSourceManager*>(cinfo->src);
    if (count <= 0) return;
    if (size_t(count) <= src->pub.bytes_in_buffer) {
        src->pub.next_input_byte += count;
        src->pub.bytes_in_buffer -= size_t(count);
        return;
    }
    // A long marker segment is stepped over without reading it.
    long long beyond = (long long)count - (long long)src->pub.bytes_in_buffer;
    src->pub.bytes_in_buffer = 0;
    if (beyond > src->left) beyond = src->left;
    if (::lseek(src->fd, off_t(beyond), SEEK_CUR) < 0)
        beyond = src->left; // nothing more can be read
    src->left -= beyond;
}

extern "C" void fdTermSource(j_decompress_ptr) {}

void setSource(j_decompress_ptr cinfo, const RawSource& source)
{
    if (source.fd < 0) {
        jpeg_mem_src(cinfo, source.data, source.size);
        return;
    }
    auto* src = static_cast<FdSourceManager*>(
        (*cinfo->mem->alloc_small)((j_common_ptr)cinfo, JPOOL_PERMANENT, sizeof(FdSourceManager)));
    src->buffer = static_cast<JOCTET*>(
        (*cinfo->mem->alloc_large)((j_common_ptr)cinfo, JPOOL_PERMANENT, kReadBlock));
    src->fd = source.fd;
    src->left = source.budget;
    src->pub.init_source = fdInitSource;
    src->pub.fill_input_buffer = fdFillInputBuffer;
    src->pub.skip_input_data = fdSkipInputData;
    src->pub.resync_to_restart = jpeg_resync_to_restart;
    src->pub.term_source = fdTermSource;
    src->pub.next_input_byte = nullptr;
    src->pub.bytes_in_buffer = 0;
    cinfo->src = &src->pub;
}

// All that libjpeg may allocate for one picture. A progressive (or any
// multi-scan) file keeps every DCT coefficient of the whole picture, two
// bytes each, whatever the scale decoded at: a few megabytes of file can
// declare tens of gigabytes of them. With this ceiling and no backing store
// the decoder refuses such a file before it allocates (JERR_NO_BACKING_STORE)
// and the picture gets its icon; a 150-megapixel colour photograph needs
// about half of it.
constexpr long kMaxJpegMemory = long(1) << 30;

// C-style on purpose: nothing here has a destructor for longjmp to skip.
RawResult decodeRaw(const RawSource& source, int fast, ScaleFor scaleFor, void* scaleCtx,
                    RowsFor rowsFor, void* ctx, RowsDone rowsDone = NULL)
{
    // Written after setjmp and read after a jump, hence volatile.
    volatile int fullWidth = 0, fullHeight = 0, orientation = 1;
    unsigned char* volatile icc = NULL;
    volatile unsigned int iccLength = 0;
    jpeg_decompress_struct cinfo;
    ErrorManager err;
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = onJpegError;
    err.pub.emit_message = onJpegMessage;
    err.pub.output_message = onJpegOutput;
    jpeg_create_decompress(&cinfo);
    // Set after creation: the library reads the JPEGMEM variable there.
    cinfo.mem->max_memory_to_use = kMaxJpegMemory;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return RawResult{0, fullWidth, fullHeight, orientation, icc, iccLength};
    }
    setSource(&cinfo, source);
    // APP1 segments are kept (at most 64 KiB each) for their Orientation.
    jpeg_save_markers(&cinfo, JPEG_APP0 + 1, 0xFFFF);
    // APP2 holds the ICC profile, cut into chunks of at most 64 KiB.
    if (source.wantIcc) jpeg_save_markers(&cinfo, JPEG_APP0 + 2, 0xFFFF);
    jpeg_read_header(&cinfo, TRUE);
    if (source.wantIcc) {
        JOCTET* data = NULL;
        unsigned int length = 0;
        if (jpeg_read_icc_profile(&cinfo, &data, &length)) {
            icc = data;
            iccLength = length;
        }
    }
    fullWidth = int(cinfo.image_width);
    fullHeight = int(cinfo.image_height);
    for (jpeg_saved_marker_ptr m = cinfo.marker_list; m; m = m->next) {
        if (m->marker == JPEG_APP0 + 1 && m->data_length >= 6 && std::memcmp(m->data, "Exif\0\0", 6) == 0) {
            orientation = sq::exifOrientation(m->data, m->data_length);
            break;
        }
    }
    const int transposed = sq::orientationTransposes(orientation);
    const int denom = scaleFor(scaleCtx, transposed ? fullHeight : fullWidth, transposed ? fullWidth : fullHeight);
    if (denom <= 0) {
        jpeg_destroy_decompress(&cinfo);
        return RawResult{denom == 0 ? 1 : 0, fullWidth, fullHeight, orientation, icc, iccLength};
    }
    const int cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
    cinfo.dct_method = fast ? JDCT_IFAST : JDCT_ISLOW;
    cinfo.scale_num = 1;
    cinfo.scale_denom = (unsigned)denom;
    jpeg_start_decompress(&cinfo);
    unsigned char** rows =
        rowsFor(ctx, int(cinfo.output_width), int(cinfo.output_height), cmyk, orientation);
    if (!rows) {
        jpeg_destroy_decompress(&cinfo);
        return RawResult{0, fullWidth, fullHeight, orientation, icc, iccLength};
    }
    while (cinfo.output_scanline < cinfo.output_height) {
        const JDIMENSION first = cinfo.output_scanline;
        const JDIMENSION left = cinfo.output_height - first;
        jpeg_read_scanlines(&cinfo, rows + first, left < 16 ? left : 16);
        if (rowsDone) rowsDone(ctx, int(first), int(cinfo.output_scanline));
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return RawResult{1, fullWidth, fullHeight, orientation, icc, iccLength};
}

// Compresses 24-bit rows into a malloc'd buffer that the caller frees.
int encodeRaw(unsigned char** rows, int width, int height, int quality, int fast, unsigned char** out,
              unsigned long* outSize)
{
    jpeg_compress_struct cinfo;
    ErrorManager err;
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = onJpegError;
    err.pub.output_message = onJpegOutput;
    jpeg_create_compress(&cinfo);
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&cinfo);
        return 0;
    }
    jpeg_mem_dest(&cinfo, out, outSize);
    cinfo.image_width = (JDIMENSION)width;
    cinfo.image_height = (JDIMENSION)height;
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    cinfo.dct_method = fast ? JDCT_IFAST : JDCT_ISLOW;
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height)
        jpeg_write_scanlines(&cinfo, rows + cinfo.next_scanline, cinfo.image_height - cinfo.next_scanline);
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return 1;
}

struct Target
{
    QImage image;
    std::vector<unsigned char*> rows;
    std::vector<unsigned char> cmykRows;
    bool cmyk = false;
    // Shown the rows as they come when the picture is decoded as it is
    // installed: RGB and upright already.
    sq::TDecodeWatch* watch = nullptr;
    bool watching = false;
    bool watchBegun = false; // its Begin said yes: End is owed
};

unsigned char** rowsForTarget(void* ctx, int width, int height, int cmyk, int orientation)
{
    auto* t = static_cast<Target*>(ctx);
    if (width <= 0 || height <= 0 || qint64(width) * height > TImgUtil::MaxPixels)
        return nullptr;
    t->image = QImage(width, height, QImage::Format_RGB888);
    if (t->image.isNull())
        return nullptr;
    t->cmyk = cmyk;
    t->rows.resize(size_t(height));
    if (cmyk) {
        // Four bytes a pixel, converted to RGB once decoded.
        t->cmykRows.resize(size_t(width) * 4 * size_t(height));
        for (int y = 0; y < height; ++y)
            t->rows[size_t(y)] = t->cmykRows.data() + size_t(y) * size_t(width) * 4;
    } else {
        for (int y = 0; y < height; ++y)
            t->rows[size_t(y)] = t->image.scanLine(y);
    }
    if (t->watch && !cmyk && orientation == 1) {
        try {
            t->watching = t->watchBegun = t->watch->Begin(t->image);
        } catch (...) {
            t->watching = false;
        }
    }
    return t->rows.data();
}

void rowsDoneForTarget(void* ctx, int y0, int y1)
{
    auto* t = static_cast<Target*>(ctx);
    if (!t->watching) return;
    try {
        t->watch->Rows(t->rows.data(), y0, y1);
    } catch (...) {
        t->watching = false;
    }
}

// Adobe writes CMYK inverted: each channel times black.
void cmykToRgb(Target& target)
{
    const int w = target.image.width();
    for (int y = 0; y < target.image.height(); ++y) {
        const unsigned char* s = target.rows[size_t(y)];
        unsigned char* d = target.image.scanLine(y);
        for (int x = 0; x < w; ++x, s += 4, d += 3) {
            d[0] = (unsigned char)(s[0] * s[3] / 255);
            d[1] = (unsigned char)(s[1] * s[3] / 255);
            d[2] = (unsigned char)(s[2] * s[3] / 255);
        }
    }
}

// Takes the profile out of a result into icc (when given) and frees it.
void takeIcc(const RawResult& r, QByteArray* icc)
{
    if (icc && r.icc && r.iccLength > 0)
        *icc = QByteArray(reinterpret_cast<const char*>(r.icc), qsizetype(r.iccLength));
    std::free(r.icc);
}

// With a watch, watched tells whether it saw every row of the picture
// returned as it is returned.
QImage decodeFrom(RawSource source, bool fast, ScaleFor scaleFor, void* scaleCtx, QSize* full,
                  QByteArray* icc = nullptr, sq::TDecodeWatch* watch = nullptr,
                  bool* watched = nullptr)
{
    Target target;
    target.watch = watch;
    source.wantIcc = icc ? 1 : 0;
    const RawResult r = decodeRaw(source, fast ? 1 : 0, scaleFor, scaleCtx, rowsForTarget, &target,
                                  watch ? rowsDoneForTarget : nullptr);
    if (target.watchBegun) {
        try {
            watch->End();
        } catch (...) {
            target.watching = false;
        }
    }
    takeIcc(r, icc);
    if (watched) *watched = r.ok && target.watching;
    if (full && (r.fullWidth > 0 || r.fullHeight > 0))
        *full = sq::orientedSize(QSize(r.fullWidth, r.fullHeight), r.orientation);
    if (!r.ok)
        return {};
    if (target.cmyk) cmykToRgb(target);
    if (r.orientation == 1) return std::move(target.image);
    return sq::orientImage(std::move(target.image), r.orientation);
}

RawSource memorySource(const QByteArray& bytes)
{
    return RawSource{reinterpret_cast<const unsigned char*>(bytes.constData()),
                     (unsigned long)bytes.size(), -1, 0, 0};
}

int givenScale(void* ctx, int, int)
{
    return *static_cast<const int*>(ctx);
}

int headerOnly(void*, int, int)
{
    return 0;
}

// The smallest DCT reduction at or above denom whose output fits the bound;
// 0 when even one eighth does not.
int fittingScale(QSize full, int denom)
{
    for (int d = denom; d <= 8; d *= 2) {
        const qint64 w = (full.width() + d - 1) / d, h = (full.height() + d - 1) / d;
        if (w * h <= TImgUtil::MaxPixels) return d;
    }
    return 0;
}

// The scale JpegToBitmap decodes at, chosen from the header.
struct BoxScale
{
    bool scaled;
    int boxWidth;
    int boxHeight;
};

int boxScale(void* ctx, int width, int height)
{
    const auto* box = static_cast<const BoxScale*>(ctx);
    if (width <= 0 || height <= 0) return -1;
    int denom = 1;
    if (box->scaled && !(width == box->boxWidth && height == box->boxHeight))
        denom = sq::jpegScaleFor(width, height, box->boxWidth, box->boxHeight);
    denom = fittingScale(QSize(width, height), denom);
    return denom == 0 ? -1 : denom;
}

// Files beyond this are not decoded: the largest picture decoded at one
// eighth (MaxPixels * 64 pixels) compresses far below it at any sane
// quality, and reading more would hold the worker up for many seconds.
constexpr qint64 kMaxJpegBytes = qint64(1) << 30;

} // namespace

namespace sq {

QImage decodeJpeg(const QByteArray& bytes, int denom, bool fast, QSize* full)
{
    return decodeFrom(memorySource(bytes), fast, givenScale, &denom, full);
}

QByteArray encodeJpeg(const QImage& image, int quality, bool fast)
{
    const QImage rgb = image.format() == QImage::Format_RGB888 ? image : image.convertToFormat(QImage::Format_RGB888);
    if (rgb.isNull() || rgb.width() <= 0 || rgb.height() <= 0)
        return {};
    std::vector<unsigned char*> rows(size_t(rgb.height()));
    for (int y = 0; y < rgb.height(); ++y)
        rows[size_t(y)] = const_cast<unsigned char*>(rgb.constScanLine(y));
    unsigned char* out = nullptr;
    unsigned long size = 0;
    const int ok = encodeRaw(rows.data(), rgb.width(), rgb.height(), std::clamp(quality, 1, 100), fast ? 1 : 0,
                             &out, &size);
    QByteArray bytes;
    if (ok && out)
        bytes = QByteArray(reinterpret_cast<const char*>(out), qsizetype(size));
    std::free(out);
    return bytes;
}

QSize jpegSize(const QByteArray& bytes)
{
    const RawResult r =
        decodeRaw(memorySource(bytes), 1, headerOnly, nullptr, rowsForTarget, nullptr);
    takeIcc(r, nullptr);
    return r.ok ? sq::orientedSize(QSize(r.fullWidth, r.fullHeight), r.orientation) : QSize();
}

QByteArray jpegIccProfile(const QByteArray& bytes)
{
    RawSource source = memorySource(bytes);
    source.wantIcc = 1;
    const RawResult r = decodeRaw(source, 1, headerOnly, nullptr, rowsForTarget, nullptr);
    QByteArray icc;
    takeIcc(r, &icc);
    return icc;
}

int jpegFileOrientation(const QString& fileName)
{
    const sq::platform::SafeFile file(fileName, kMaxJpegBytes);
    if (!file.isOpen()) return 1;
    const RawResult r = decodeRaw(RawSource{nullptr, 0, file.fd(), file.size(), 0}, 1, headerOnly, nullptr,
                                  rowsForTarget, nullptr);
    takeIcc(r, nullptr);
    return r.ok ? r.orientation : 1;
}

int jpegScaleFor(int w, int h, int boxW, int boxH)
{
    if (h / 8 >= boxH && w / 8 >= boxW)
        return 8;
    if (h / 4 >= boxH && w / 4 >= boxW)
        return 4;
    if (h / 2 >= boxH && w / 2 >= boxW)
        return 2;
    return 1;
}

} // namespace sq

namespace {

QImage decodeForBox(const RawSource& source, bool fast, bool scaled, int width, int height,
                    QSize* full, QByteArray* icc = nullptr, sq::TDecodeWatch* watch = nullptr,
                    bool* watched = nullptr)
{
    BoxScale box{scaled, width, height};
    return decodeFrom(source, fast, boxScale, &box, full, icc, watch, watched);
}

} // namespace

int TImgUtil::loadJpeg(const QString& fileName, int width, int height)
{
    // Decoded straight from the file in blocks: nothing but the header is
    // read before the picture is known to be one.
    const sq::platform::SafeFile file(fileName, kMaxJpegBytes);
    if (!file.isOpen()) return -1;
    const RawSource source{nullptr, 0, file.fd(), file.size(), 0};
    QSize full;
    QByteArray icc;
    bool watched = false;
    QImage image = decodeForBox(source, m_performance == jpBestSpeed, m_getType != igtNormal, width,
                                height, &full, m_colourNow ? &icc : nullptr, m_watch, &watched);
    const int r = installJpeg(std::move(image), full, width, height, QSize());
    if (r == 0) applyColour(icc);
    // Fitting or a colour conversion changed what the watch saw.
    m_lastWatched = r == 0 && watched && !m_lastConverted &&
                    (m_getType == igtNormal || full == QSize(width, height));
    return r;
}

int TImgUtil::JpegToBitmap(const QByteArray& bytes, int width, int height, QSize pictureSize)
{
    QSize full;
    QImage image = decodeForBox(memorySource(bytes), m_performance == jpBestSpeed,
                                m_getType != igtNormal, width, height, &full);
    return installJpeg(std::move(image), full, width, height, pictureSize);
}

int TImgUtil::installJpeg(QImage image, QSize full, int width, int height, QSize pictureSize)
{
    if (image.isNull()) return -1;
    m_imageWidth = pictureSize.isValid() ? pictureSize.width() : full.width();
    m_imageHeight = pictureSize.isValid() ? pictureSize.height() : full.height();
    m_bitmap.setImage(std::move(image));
    if (m_getType != igtNormal && full != QSize(width, height)) FitBitmap(m_bitmap, width, height);
    return 0;
}
