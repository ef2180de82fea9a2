// JPEG decoding straight through libjpeg-turbo, with the decoder's own DCT
// scaling. libjpeg reports errors by longjmp: the jump stays inside
// decodeRaw, whose frames hold no C++ objects.
#include "engine/ImgUtils.h"
#include "platform/NativePath.h"

#include <QFile>

#include <algorithm>
#include <csetjmp>
#include <cstdlib>
#include <cstdio>
#include <jpeglib.h>
#include <jerror.h>

#include <fcntl.h>
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

// Gives the rows to decode into once the output size is known; returns
// nullptr (refuse) when the picture is too large.
typedef unsigned char** (*RowsFor)(void* ctx, int width, int height, int cmyk);

struct RawResult
{
    int ok;
    int fullWidth;
    int fullHeight;
};

// C-style on purpose: nothing here has a destructor for longjmp to skip.
RawResult decodeRaw(const unsigned char* data, unsigned long size, int denom, int fast, int headerOnly,
                    RowsFor rowsFor, void* ctx)
{
    // Written after setjmp and read after a jump, hence volatile.
    volatile int fullWidth = 0, fullHeight = 0;
    jpeg_decompress_struct cinfo;
    ErrorManager err;
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = onJpegError;
    err.pub.emit_message = onJpegMessage;
    err.pub.output_message = onJpegOutput;
    jpeg_create_decompress(&cinfo);
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return RawResult{0, fullWidth, fullHeight};
    }
    jpeg_mem_src(&cinfo, data, size);
    jpeg_read_header(&cinfo, TRUE);
    fullWidth = int(cinfo.image_width);
    fullHeight = int(cinfo.image_height);
    if (headerOnly) {
        jpeg_destroy_decompress(&cinfo);
        return RawResult{1, fullWidth, fullHeight};
    }
    const int cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
    cinfo.dct_method = fast ? JDCT_IFAST : JDCT_ISLOW;
    cinfo.scale_num = 1;
    cinfo.scale_denom = (unsigned)denom;
    jpeg_start_decompress(&cinfo);
    unsigned char** rows = rowsFor(ctx, int(cinfo.output_width), int(cinfo.output_height), cmyk);
    if (!rows) {
        jpeg_destroy_decompress(&cinfo);
        return RawResult{0, fullWidth, fullHeight};
    }
    while (cinfo.output_scanline < cinfo.output_height) {
        const JDIMENSION left = cinfo.output_height - cinfo.output_scanline;
        jpeg_read_scanlines(&cinfo, rows + cinfo.output_scanline, left < 16 ? left : 16);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return RawResult{1, fullWidth, fullHeight};
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
};

unsigned char** rowsForTarget(void* ctx, int width, int height, int cmyk)
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
    return t->rows.data();
}

} // namespace

namespace sq {

QImage decodeJpeg(const QByteArray& bytes, int denom, bool fast, QSize* full)
{
    Target target;
    const RawResult r = decodeRaw(reinterpret_cast<const unsigned char*>(bytes.constData()),
                                  (unsigned long)bytes.size(), denom, fast ? 1 : 0, 0, rowsForTarget, &target);
    if (full && (r.fullWidth > 0 || r.fullHeight > 0))
        *full = QSize(r.fullWidth, r.fullHeight);
    if (!r.ok)
        return {};
    if (target.cmyk) {
        // Adobe writes CMYK inverted: each channel times black.
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
    return std::move(target.image);
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
    const RawResult r = decodeRaw(reinterpret_cast<const unsigned char*>(bytes.constData()),
                                  (unsigned long)bytes.size(), 1, 1, 1, rowsForTarget, nullptr);
    return r.ok ? QSize(r.fullWidth, r.fullHeight) : QSize();
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

// The smallest DCT reduction at or above denom whose output fits the bound;
// 0 when even one eighth does not.
int fittingScale(QSize full, int denom)
{
    for (int d = denom; d <= 8; d *= 2) {
        const qint64 w = (full.width() + d - 1) / d, h = (full.height() + d - 1) / d;
        if (w * h <= TImgUtil::MaxPixels)
            return d;
    }
    return 0;
}

} // namespace

int TImgUtil::loadJpeg(const QString& fileName, int width, int height)
{
    // Opened by the name's bytes: QFile cannot name a file that is not UTF-8.
    const int fd =
        ::open(sq::platform::nativePath(fileName).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    QFile file;
    if (fd < 0 || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        if (fd >= 0) ::close(fd);
        return -1;
    }
    return JpegToBitmap(file.readAll(), width, height);
}

int TImgUtil::JpegToBitmap(const QByteArray& bytes, int width, int height, QSize pictureSize)
{
    const QSize full = sq::jpegSize(bytes);
    if (!full.isValid() || full.isEmpty())
        return -1;
    m_imageWidth = pictureSize.isValid() ? pictureSize.width() : full.width();
    m_imageHeight = pictureSize.isValid() ? pictureSize.height() : full.height();
    const bool fast = m_performance == jpBestSpeed;
    int denom = 1;
    const bool exact = full == QSize(width, height);
    if (m_getType != igtNormal && !exact)
        denom = sq::jpegScaleFor(full.width(), full.height(), width, height);
    denom = fittingScale(full, denom);
    if (denom == 0)
        return -1;
    QImage image = sq::decodeJpeg(bytes, denom, fast);
    if (image.isNull())
        return -1;
    m_bitmap.setImage(std::move(image));
    if (m_getType != igtNormal && !exact)
        FitBitmap(m_bitmap, width, height);
    return 0;
}
