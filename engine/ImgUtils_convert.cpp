// Batch conversion between BMP and JPEG files.
#include "engine/ImgConvert.h"

#include "engine/ImgUtils.h"
#include "platform/AtomicFile.h"
#include "platform/NativePath.h"
#include "engine/ReadCeiling.h"
#include "platform/SafeRead.h"

#include <QBuffer>
#include <QImageReader>

#include <algorithm>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// A source larger than this is not read: no picture the engine decodes
// (TImgUtil::MaxPixels at three bytes a pixel) needs more.
constexpr qint64 kMaxSourceBytes = qint64(1) << 30;

QString reason(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

// Reads a whole regular file without waiting on a FIFO or a device, and
// without filling memory with one that is larger than any picture.
sq::ConvertResult readSource(const QString& path, QByteArray& bytes)
{
    sq::platform::SafeFile file(path, kMaxSourceBytes);
    switch (file.result()) {
    case sq::platform::OpenResult::Ok:
        break;
    case sq::platform::OpenResult::NotRegular:
        return {sq::ConvertResult::NotPicture, {}};
    case sq::platform::OpenResult::TooLarge:
        return {sq::ConvertResult::TooLarge, {}};
    default:
        return {sq::ConvertResult::ReadFailed, reason(file.error() ? file.error() : ENOENT)};
    }
    bool ok = false;
    // A file that shrank meanwhile gives what is there: decoded, or it fails to.
    bytes = file.read(file.size(), &ok);
    if (!ok) return {sq::ConvertResult::ReadFailed, reason(errno)};
    return {};
}

sq::ConvertResult writeTarget(const QString& path, const QByteArray& bytes, bool replace)
{
    const int err = replace ? sq::platform::writeFileAtomically(path, bytes)
                            : sq::platform::writeNewFileAtomically(path, bytes);
    if (err == EEXIST && !replace) return {sq::ConvertResult::Exists, {}};
    if (err) return {sq::ConvertResult::WriteFailed, reason(err)};
    return {};
}

quint32 le32(const uchar* p)
{
    return quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
}
quint16 le16(const uchar* p)
{
    return quint16(p[0] | p[1] << 8);
}
void put32(uchar* p, quint32 v)
{
    p[0] = uchar(v);
    p[1] = uchar(v >> 8);
    p[2] = uchar(v >> 16);
    p[3] = uchar(v >> 24);
}
void put16(uchar* p, quint16 v)
{
    p[0] = uchar(v);
    p[1] = uchar(v >> 8);
}

// The common file: 24 bits, no compression. Null when the bytes are of
// another kind, so the general reader takes them.
QImage decodeBmp24(const QByteArray& bytes, bool& handled)
{
    handled = false;
    const auto* p = reinterpret_cast<const uchar*>(bytes.constData());
    const qint64 n = bytes.size();
    if (n < 54 || p[0] != 'B' || p[1] != 'M') return {};
    const quint32 offset = le32(p + 10);
    const quint32 header = le32(p + 14);
    if (header < 40 || le16(p + 28) != 24 || le32(p + 30) != 0 || le16(p + 26) != 1) return {};
    handled = true;
    const qint64 width = qint32(le32(p + 18));
    const qint64 rawHeight = qint32(le32(p + 22));
    const qint64 height = rawHeight < 0 ? -rawHeight : rawHeight;
    if (width <= 0 || height <= 0 || width * height > TImgUtil::MaxPixels) return {};
    const qint64 stride = (width * 3 + 3) / 4 * 4;
    if (offset < 14 + header || qint64(offset) + stride * height > n)
        return {}; // cut short: not a picture
    QImage image(int(width), int(height), QImage::Format_RGB888);
    if (image.isNull()) return {};
    for (qint64 y = 0; y < height; ++y) {
        const uchar* s = p + offset + stride * (rawHeight < 0 ? y : height - 1 - y);
        uchar* d = image.scanLine(int(y));
        for (qint64 x = 0; x < width; ++x, s += 3, d += 3) {
            d[0] = s[2];
            d[1] = s[1];
            d[2] = s[0];
        }
    }
    return image;
}

// Whether the bytes can hold the picture their header declares, so that a
// header alone never makes the general reader allocate a huge picture.
// Compressed kinds may be smaller than their pixels, but not by more than
// any real file is.
bool bmpPlausible(const QByteArray& bytes)
{
    const auto* p = reinterpret_cast<const uchar*>(bytes.constData());
    const qint64 n = bytes.size();
    if (n < 26 || p[0] != 'B' || p[1] != 'M') return false;
    const quint32 header = le32(p + 14);
    qint64 width, height, bits, compression = 0;
    if (header == 12) {
        width = le16(p + 18);
        height = le16(p + 20);
        bits = le16(p + 24);
    } else if (header >= 40 && n >= 34) {
        width = qint32(le32(p + 18));
        height = qint32(le32(p + 22));
        height = height < 0 ? -height : height;
        bits = le16(p + 28);
        compression = le32(p + 30);
    } else {
        return false;
    }
    if (width <= 0 || height <= 0 || bits <= 0 || bits > 32 || width * height > TImgUtil::MaxPixels)
        return false;
    if (compression == 0 || compression == 3 || compression == 6)
        return qint64(le32(p + 10)) + (width * bits + 31) / 32 * 4 * height <= n;
    return width * height <= std::max<qint64>(qint64(16) << 20, 256 * n);
}

} // namespace

namespace sq {

QImage decodeBmpRgb(const QByteArray& bytes)
{
    bool handled = false;
    QImage image = decodeBmp24(bytes, handled);
    if (handled) return image;
    if (!bmpPlausible(bytes)) return {};
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "bmp");
    const QSize size = reader.size();
    if (!size.isValid() || qint64(size.width()) * size.height() > TImgUtil::MaxPixels) return {};
    const sq::LargeImageRead ceiling(size);
    image = reader.read();
    if (image.isNull()) return {};
    return image.convertToFormat(QImage::Format_RGB888);
}

QByteArray encodeBmp24(const QImage& source)
{
    if (source.isNull()) return {};
    const QImage image = source.format() == QImage::Format_RGB888
                             ? source
                             : source.convertToFormat(QImage::Format_RGB888);
    const qint64 width = image.width(), height = image.height();
    const qint64 stride = (width * 3 + 3) / 4 * 4;
    const qint64 pixels = stride * height;
    if (54 + pixels > 0xFFFFFFFFll) return {};
    QByteArray bytes(qsizetype(54 + pixels), '\0');
    auto* p = reinterpret_cast<uchar*>(bytes.data());
    p[0] = 'B';
    p[1] = 'M';
    put32(p + 2, quint32(54 + pixels));
    put32(p + 10, 54);
    put32(p + 14, 40);
    put32(p + 18, quint32(width));
    put32(p + 22, quint32(height));
    put16(p + 26, 1);
    put16(p + 28, 24);
    put32(p + 34, quint32(pixels));
    for (qint64 y = 0; y < height; ++y) {
        const uchar* s = image.constScanLine(int(height - 1 - y));
        uchar* d = p + 54 + stride * y;
        for (qint64 x = 0; x < width; ++x, s += 3, d += 3) {
            d[0] = s[2];
            d[1] = s[1];
            d[2] = s[0];
        }
    }
    return bytes;
}

QByteArray encodeJpegDefaults(const QImage& source, int quality)
{
    if (source.isNull() || quality < 1 || quality > 100) return {};
    // The accurate integer DCT is the library's default method, so this is
    // the library's own encoding at that quality.
    return encodeJpeg(source, quality, false);
}

QString withExtension(const QString& source, const QString& extension)
{
    const qsizetype slash = source.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = source.lastIndexOf(QLatin1Char('.'));
    return (dot > slash ? source.left(dot) : source) + extension;
}

ConvertResult convertJpegToBmp(const QString& source, const QString& target, bool replace)
{
    QByteArray bytes;
    if (const ConvertResult r = readSource(source, bytes); !r.ok()) return r;
    const QSize full = jpegSize(bytes);
    if (!full.isValid() || full.isEmpty()) return {ConvertResult::NotPicture, {}};
    if (qint64(full.width()) * full.height() > TImgUtil::MaxPixels)
        return {ConvertResult::TooLarge, {}};
    const QImage image = decodeJpeg(bytes, 1, true);
    bytes.clear();
    if (image.isNull()) return {ConvertResult::NotPicture, {}};
    const QByteArray bmp = encodeBmp24(image);
    if (bmp.isEmpty()) return {ConvertResult::TooLarge, {}};
    return writeTarget(target, bmp, replace);
}

ConvertResult convertBmpToJpeg(const QString& source, const QString& target, int quality,
                               bool replace)
{
    QByteArray bytes;
    if (const ConvertResult r = readSource(source, bytes); !r.ok()) return r;
    const QImage image = decodeBmpRgb(bytes);
    bytes.clear();
    if (image.isNull()) return {ConvertResult::NotPicture, {}};
    const QByteArray jpeg = encodeJpegDefaults(image, quality);
    if (jpeg.isEmpty()) return {ConvertResult::NotPicture, {}};
    return writeTarget(target, jpeg, replace);
}

} // namespace sq
