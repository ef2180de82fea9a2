#include "engine/PictureLoader.h"

#include "engine/PictureBounds.h"
#include "engine/PictureFormats.h"
#include "engine/ReadCeiling.h"
#include "platform/SafeRead.h"

#include <QColorSpace>
#include <QFile>
#include <QImageReader>
#include <QList>

#include <algorithm>
#include <memory>

namespace {

// Whatever the format, no file larger than this is opened.
constexpr qint64 kMaxPictureBytes = qint64(1) << 30;
// Qt's WebP reader holds the whole file in memory while it decodes.
constexpr qint64 kMaxWebpBytes = qint64(256) << 20;

struct Extension
{
    const char* ext;
    const char* format;
};

const Extension kExtensions[] = {
    {".png", "png"}, {".gif", "gif"}, {".webp", "webp"}, {".tif", "tiff"}, {".tiff", "tiff"},
};

// Read by the engine's own photo readers (engine/PictureFormats.h), not Qt.
const char* const kPhotoExtensions[] = {".heic", ".heif", ".avif", ".jxl", ".cr2", ".cr3",
                                        ".nef",  ".arw",  ".dng",  ".orf", ".raf", ".rw2"};
// Phone and camera videos: their first frame through FFmpeg, as an AVI's.
const char* const kVideoExtensions[] = {".mp4", ".mov", ".qt", ".m4v", ".mkv", ".webm"};

bool hasExtension(const QString& ext, const char* const* begin, const char* const* end)
{
    return std::any_of(begin, end, [&ext](const char* e) { return ext == QLatin1String(e); });
}

QString extensionOf(const QString& fileName)
{
    const qsizetype slash = fileName.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    if (dot < 0 || dot < slash) return {};
    return fileName.mid(dot).toLower();
}

// The formats this Qt can read, asked once: the plug-ins do not change
// while the program runs.
bool qtReads(const char* format)
{
    static const QList<QByteArray> formats = QImageReader::supportedImageFormats();
    return formats.contains(QByteArray(format));
}

// The file as it was when opened: reads stop at that size, so a file that
// grows while it is read (or lies about its size) feeds no more than that.
class BoundedDevice : public QIODevice
{
public:
    BoundedDevice(QIODevice* inner, qint64 size) : m_inner(inner), m_size(size)
    {
        open(QIODevice::ReadOnly);
    }
    bool isSequential() const override { return false; }
    qint64 size() const override { return m_size; }
    bool seek(qint64 pos) override
    {
        return pos >= 0 && pos <= m_size && m_inner->seek(pos) && QIODevice::seek(pos);
    }

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        const qint64 at = m_inner->pos();
        const qint64 n = std::min(maxSize, m_size - at);
        if (n <= 0) return 0;
        return m_inner->read(data, n);
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QIODevice* m_inner;
    qint64 m_size;
};

quint32 le16(const char* p)
{
    return quint32(uchar(p[0])) | quint32(uchar(p[1])) << 8;
}

bool skipBytes(QIODevice* device, qint64 n)
{
    return n == 0 || device->skip(n) == n;
}

// Walks a GIF's blocks up to the end of its first frame without decoding
// anything: true when the screen and the frame hold at most maxPixels and
// the frame's data end before the bytes do. Qt's reader shows a cut-off
// first frame as far as it got, with no error; that is a damaged file here.
bool gifFirstFrameWhole(QIODevice* device, qint64 maxPixels)
{
    char head[13];
    if (device->read(head, 13) != 13) return false;
    if (qint64(le16(head + 6)) * le16(head + 8) > maxPixels) return false;
    const auto skipTable = [device](uchar packed) {
        return !(packed & 0x80) || skipBytes(device, 3 * (qint64(2) << (packed & 7)));
    };
    const auto skipSubBlocks = [device] {
        for (;;) {
            char len = 0;
            if (!device->getChar(&len)) return false;
            if (len == 0) return true;
            if (!skipBytes(device, uchar(len))) return false;
        }
    };
    if (!skipTable(uchar(head[10]))) return false;
    for (;;) {
        char block = 0;
        if (!device->getChar(&block)) return false;
        if (block == 0x21) { // an extension: its label, then its sub-blocks
            if (!skipBytes(device, 1) || !skipSubBlocks()) return false;
        } else if (block == 0x2c) { // the first frame
            char frame[9];
            if (device->read(frame, 9) != 9) return false;
            if (qint64(le16(frame + 4)) * le16(frame + 6) > maxPixels) return false;
            return skipTable(uchar(frame[8])) && skipBytes(device, 1) && skipSubBlocks();
        } else {
            return false; // the trailer before any frame, or no block at all
        }
    }
}

} // namespace

namespace sq {

QByteArray pictureFormatOf(const QByteArray& head)
{
    if (head.startsWith("\x89PNG\r\n\x1a\n")) return QByteArrayLiteral("png");
    if (head.startsWith("GIF87a") || head.startsWith("GIF89a")) return QByteArrayLiteral("gif");
    if (head.size() >= 12 && head.startsWith("RIFF") && head.mid(8, 4) == "WEBP")
        return QByteArrayLiteral("webp");
    if (head.startsWith(QByteArray("II*\0", 4)) || head.startsWith(QByteArray("MM\0*", 4)))
        return QByteArrayLiteral("tiff");
    return {};
}

bool pngCarriesIcc(QIODevice* device)
{
    if (!device || device->isSequential()) return false;
    const qint64 start = device->pos();
    const qint64 size = device->size();
    qint64 at = start + 8; // past the signature
    bool found = false;
    // A few thousand chunks before the image data is damage, not a picture.
    for (int n = 0; n < 4096 && at + 8 <= size; ++n) {
        char head[8];
        if (!device->seek(at) || device->read(head, 8) != 8) break;
        const qint64 length = qint64(uchar(head[0])) << 24 | qint64(uchar(head[1])) << 16 |
                              qint64(uchar(head[2])) << 8 | qint64(uchar(head[3]));
        const QByteArray type(head + 4, 4);
        if (type == "iCCP") {
            found = length > 0 && at + 12 + length <= size;
            break;
        }
        if (type == "IDAT" || type == "IEND" || length > size) break;
        at += 12 + length;
    }
    device->seek(start);
    return found;
}

qint64 maxPictureFileBytes(const QByteArray& format)
{
    return format == "webp" ? kMaxWebpBytes : kMaxPictureBytes;
}

QImage readPicture(QIODevice* device, qint64 maxPixels)
{
    if (!device || !device->isReadable()) return {};
    const QByteArray format = pictureFormatOf(device->peek(16));
    if (format.isEmpty() || !qtReads(format.constData())) return {};
    // Too few bytes for the picture the header declares: refused before a
    // reader allocates it.
    if (!device->isSequential() && !sq::fileCanHoldDeclared(device->peek(sq::kDeclaredHeadBytes),
                                                            device->size() - device->pos()))
        return {};
    if (format == "gif") {
        const qint64 start = device->pos();
        if (device->isSequential() || !gifFirstFrameWhole(device, maxPixels) ||
            !device->seek(start))
            return {};
    }
    QImageReader reader(device, format);
    // The header alone says how large the picture is; nothing is decoded
    // for one past the bound.
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty() || qint64(size.width()) * size.height() > maxPixels)
        return {};
    // A GIF is decoded into a picture of its logical screen (checked above).
    const QByteArray head = device->peek(10);
    const QSize screen =
        format == "gif" && head.size() == 10
            ? QSize(int(le16(head.constData() + 6)), int(le16(head.constData() + 8)))
            : QSize();
    const sq::LargeImageRead ceiling(size.expandedTo(screen));
    QImage image = reader.read();
    if (image.isNull() || qint64(image.width()) * image.height() > maxPixels) return {};
    return image;
}

} // namespace sq

TPictureLoader& TPictureLoader::instance()
{
    static TPictureLoader loader;
    return loader;
}

bool TPictureLoader::CanLoad(const QString& fileName)
{
    const QString ext = extensionOf(fileName);
    if (ext.isEmpty()) return false;
    if (hasExtension(ext, std::begin(kPhotoExtensions), std::end(kPhotoExtensions)) ||
        hasExtension(ext, std::begin(kVideoExtensions), std::end(kVideoExtensions)))
        return true;
    return std::any_of(std::begin(kExtensions), std::end(kExtensions), [&ext](const Extension& e) {
        return ext == QLatin1String(e.ext) && qtReads(e.format);
    });
}

bool TPictureLoader::LoadToBitmap(const QString& fileName, TBitmap& bitmap)
{
    TLoadInfo info;
    return LoadToBitmapFor(fileName, bitmap, QSize(), info);
}

bool TPictureLoader::LoadToBitmapFor(const QString& fileName, TBitmap& bitmap, QSize box,
                                     TLoadInfo& info)
{
    const QString ext = extensionOf(fileName);
    if (hasExtension(ext, std::begin(kVideoExtensions), std::end(kVideoExtensions))) {
        QImage frame = sq::grabVideoFrame(fileName, 0);
        if (frame.isNull()) return false;
        bitmap.setImage(std::move(frame));
        return true;
    }
    const sq::platform::SafeFile file(fileName, kMaxPictureBytes);
    if (!file.isOpen()) return false;
    char head[64] = {};
    const qint64 got = std::min<qint64>(file.size(), sizeof head);
    if (got <= 0 || !file.readAt(0, head, got)) return false;
    // A camera RAW is a TIFF (or its own container) known by its name; HEIF
    // and JPEG XL by their signature, whatever the name says.
    const sq::PhotoCodec codec = sq::isRawName(fileName)
                                     ? sq::PhotoCodec::Raw
                                     : sq::photoCodecOf(QByteArray(head, int(got)));
    if (codec != sq::PhotoCodec::None) {
        sq::DecodedPicture picture;
        if (codec == sq::PhotoCodec::Raw) {
            // Read where LibRaw needs it: a thumbnail from the preview takes
            // a small part of a large file.
            picture = sq::decodeRawFile(file, box);
        } else {
            sq::platform::OpenResult result;
            const QByteArray bytes =
                sq::platform::readWholeFile(fileName, sq::kMaxPhotoFileBytes, &result);
            if (bytes.isEmpty()) return false;
            picture = codec == sq::PhotoCodec::Heif ? sq::decodeHeif(bytes, box)
                                                    : sq::decodeJxl(bytes, box);
        }
        if (picture.image.isNull()) return false;
        if (picture.fullSize != picture.image.size()) info.pictureSize = picture.fullSize;
        bitmap.setImage(std::move(picture.image));
        bitmap.setIccProfile(std::move(picture.IccProfile));
        return true;
    }
    const QByteArray format = sq::pictureFormatOf(QByteArray(head, int(got)));
    if (format.isEmpty() || file.size() > sq::maxPictureFileBytes(format)) return false;
    const std::unique_ptr<QFile> device = file.device();
    if (!device) return false;
    BoundedDevice bounded(device.get(), file.size());
    QImage image = sq::readPicture(&bounded);
    if (image.isNull()) return false;
    // Qt makes a colour space of a PNG's gamma chunks as well; only a profile
    // the file carries counts.
    QByteArray icc;
    const QColorSpace space = image.colorSpace();
    if (space.isValid() && (format != "png" || (bounded.seek(0) && sq::pngCarriesIcc(&bounded))))
        icc = space.iccProfile();
    bitmap.setImage(std::move(image));
    bitmap.setIccProfile(std::move(icc));
    return true;
}
