// What a decode costs in memory, from the file's header alone: the figure a
// decode reserves from the engine's budget before it starts.
#include "engine/ImgUtils.h"
#include "engine/PictureBounds.h"
#include "engine/PictureFormats.h"
#include "engine/PictureLoader.h"
#include "platform/SafeRead.h"

#include <QFile>
#include <QImageReader>

#include <algorithm>
#include <memory>

namespace {

// The decoder's picture at four bytes a pixel and the engine's 24-bit copy
// of it, which live together while it is turned and fitted.
constexpr qint64 kBytesPerPixel = 4 + 3;
// A lossless WebP's decoder keeps its own copy of every pixel.
constexpr qint64 kLosslessWebpExtra = 4;
// A JPEG is decoded at 24 bits and fitted into a second bitmap.
constexpr qint64 kJpegBytesPerPixel = 3 + 3;

// The size Qt's reader for format reads from the file's header.
QSize readerSize(const sq::platform::SafeFile& file, const char* format)
{
    const std::unique_ptr<QFile> device = file.device();
    if (!device) return {};
    QImageReader reader(device.get(), format);
    return reader.size();
}

qint64 pixels(QSize size)
{
    return size.isValid() ? qint64(size.width()) * size.height() : 0;
}

} // namespace

qint64 TImgUtil::decodeCost(const QString& fileName, int width, int height) const
{
    if (m_imageType != iitCustom && m_imageType != iitBmp && m_imageType != iitJpeg) return 0;
    // Never waits on a FIFO or a device: the decoder itself refuses those.
    const sq::platform::SafeFile file(fileName, qint64(1) << 40);
    if (!file.isOpen()) return 0;
    char raw[sq::kDeclaredHeadBytes] = {};
    const qint64 got = std::min<qint64>(file.size(), sizeof raw);
    if (got <= 0 || !file.readAt(0, raw, got)) return 0;
    const QByteArray head(raw, int(got));
    if (m_imageType == iitJpeg) {
        if (!head.startsWith("\xff\xd8")) return 0;
        const QSize full = readerSize(file, "jpeg");
        if (!full.isValid()) return 0;
        int denom = 1;
        if (m_getType != igtNormal && full != QSize(width, height))
            denom = sq::jpegScaleFor(full.width(), full.height(), width, height);
        return pixels(full) / (qint64(denom) * denom) * kJpegBytesPerPixel;
    }
    if (m_imageType == iitCustom) {
        // The photo readers' own sources, chosen as the loader chooses them
        // (a RAW by its name, the others by their signature).
        const sq::PhotoCodec codec =
            sq::isRawName(fileName) ? sq::PhotoCodec::Raw : sq::photoCodecOf(head);
        if (codec != sq::PhotoCodec::None)
            return sq::photoDecodeCost(file, codec,
                                       m_getType != igtNormal ? QSize(width, height) : QSize());
    }
    const sq::DeclaredPicture declared = sq::declaredPicture(head);
    if (!declared.format.isEmpty())
        return pixels(declared.size) *
               (kBytesPerPixel + (declared.losslessWebp ? kLosslessWebpExtra : 0));
    if (m_imageType == iitCustom && sq::pictureFormatOf(head) == "tiff")
        return pixels(readerSize(file, "tiff")) * kBytesPerPixel;
    return 0;
}
