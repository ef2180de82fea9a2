// JPEG XL through libjxl, from memory. The decoder turns the picture by the
// codestream's orientation itself; the first frame of an animation is shown.
// libjxl offers no smaller source for a thumbnail: it is always decoded whole.
#include "engine/PictureFormats.h"

#include "platform/SafeRead.h"

#include <jxl/decode.h>

#include <algorithm>
#include <memory>

namespace {

struct DecoderFreer
{
    void operator()(JxlDecoder* d) const { JxlDecoderDestroy(d); }
};

// The ICC profile of the pixels the decoder writes.
QByteArray iccOf(const JxlDecoder* decoder, const JxlPixelFormat& format)
{
    size_t size = 0;
    if (JxlDecoderGetICCProfileSize(decoder, &format, JXL_COLOR_PROFILE_TARGET_DATA, &size) !=
            JXL_DEC_SUCCESS ||
        size == 0 || size > (size_t(16) << 20))
        return {};
    QByteArray icc(qsizetype(size), Qt::Uninitialized);
    if (JxlDecoderGetColorAsICCProfile(decoder, &format, JXL_COLOR_PROFILE_TARGET_DATA,
                                       reinterpret_cast<uint8_t*>(icc.data()), size) !=
        JXL_DEC_SUCCESS)
        return {};
    return icc;
}

// The picture's size from its basic header, read from bytes of the file's
// start; invalid while those bytes hold no whole header.
QSize basicSize(const QByteArray& head)
{
    std::unique_ptr<JxlDecoder, DecoderFreer> decoder(JxlDecoderCreate(nullptr));
    if (!decoder || JxlDecoderSubscribeEvents(decoder.get(), JXL_DEC_BASIC_INFO) != JXL_DEC_SUCCESS ||
        JxlDecoderSetInput(decoder.get(), reinterpret_cast<const uint8_t*>(head.constData()),
                           size_t(head.size())) != JXL_DEC_SUCCESS)
        return {};
    JxlDecoderCloseInput(decoder.get());
    JxlBasicInfo info;
    if (JxlDecoderProcessInput(decoder.get()) != JXL_DEC_BASIC_INFO ||
        JxlDecoderGetBasicInfo(decoder.get(), &info) != JXL_DEC_SUCCESS)
        return {};
    return QSize(int(std::min<uint32_t>(info.xsize, 1u << 30)),
                 int(std::min<uint32_t>(info.ysize, 1u << 30)));
}

// Bytes a pixel while libjxl decodes: it works on 32-bit float planes, three
// or four of them, and writes into the picture's own four bytes a pixel.
constexpr qint64 kJxlBytesPerPixel = 16 + 4;

} // namespace

namespace sq {

qint64 jxlDecodeCost(const platform::SafeFile& file, qint64 maxPixels)
{
    if (!file.isOpen() || file.size() <= 0 || file.size() > kMaxPhotoFileBytes) return 0;
    // The header is in the codestream's first bytes; in a container, boxes
    // of metadata may come before it.
    for (const qint64 want : {qint64(64) << 10, qint64(1) << 20}) {
        const qint64 len = std::min(want, file.size());
        QByteArray head(qsizetype(len), Qt::Uninitialized);
        if (!file.readAt(0, head.data(), len)) return 0;
        const QSize size = basicSize(head);
        if (size.isValid()) {
            if (size.isEmpty() || qint64(size.width()) * size.height() > maxPixels) return 0;
            return qint64(size.width()) * size.height() * kJxlBytesPerPixel;
        }
        if (len == file.size()) break;
    }
    return 0;
}

DecodedPicture decodeJxl(const QByteArray& bytes, QSize, qint64 maxPixels)
{
    DecodedPicture out;
    if (photoCodecOf(bytes.left(64)) != PhotoCodec::Jxl) return out;
    std::unique_ptr<JxlDecoder, DecoderFreer> decoder(JxlDecoderCreate(nullptr));
    if (!decoder) return out;
    if (JxlDecoderSubscribeEvents(decoder.get(), JXL_DEC_BASIC_INFO | JXL_DEC_COLOR_ENCODING |
                                                     JXL_DEC_FULL_IMAGE) != JXL_DEC_SUCCESS ||
        JxlDecoderSetInput(decoder.get(), reinterpret_cast<const uint8_t*>(bytes.constData()),
                           size_t(bytes.size())) != JXL_DEC_SUCCESS)
        return out;
    JxlDecoderCloseInput(decoder.get());
    JxlPixelFormat format{4, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
    QImage image;
    QByteArray icc;
    for (;;) {
        const JxlDecoderStatus status = JxlDecoderProcessInput(decoder.get());
        if (status == JXL_DEC_BASIC_INFO) {
            JxlBasicInfo info;
            if (JxlDecoderGetBasicInfo(decoder.get(), &info) != JXL_DEC_SUCCESS) return out;
            // The size as the decoder writes it: upright.
            QSize size(int(std::min<uint32_t>(info.xsize, 1u << 30)),
                       int(std::min<uint32_t>(info.ysize, 1u << 30)));
            if (size.isEmpty() || qint64(size.width()) * size.height() > maxPixels) return out;
            if (!info.alpha_bits) format.num_channels = 3;
            out.fullSize = size;
        } else if (status == JXL_DEC_COLOR_ENCODING) {
            icc = iccOf(decoder.get(), format);
        } else if (status == JXL_DEC_NEED_IMAGE_OUT_BUFFER) {
            if (out.fullSize.isEmpty()) return out;
            size_t need = 0;
            if (JxlDecoderImageOutBufferSize(decoder.get(), &format, &need) != JXL_DEC_SUCCESS)
                return out;
            // Oriented sideways, the rows are the stored columns.
            QSize size = out.fullSize;
            const size_t px = format.num_channels;
            if (need != size_t(size.width()) * size.height() * px) return out;
            image = QImage(size, format.num_channels == 4 ? QImage::Format_RGBA8888
                                                          : QImage::Format_RGB888);
            if (image.isNull()) return out;
            // QImage pads rows to four bytes; the decoder is told so.
            format.align = size_t(image.bytesPerLine());
            if (JxlDecoderImageOutBufferSize(decoder.get(), &format, &need) != JXL_DEC_SUCCESS ||
                need > size_t(image.sizeInBytes()) ||
                JxlDecoderSetImageOutBuffer(decoder.get(), &format, image.bits(), need) !=
                    JXL_DEC_SUCCESS)
                return out;
        } else if (status == JXL_DEC_FULL_IMAGE) {
            break; // the first frame is enough
        } else {
            // JXL_DEC_SUCCESS before any frame, an error, or input cut short.
            return out;
        }
    }
    if (image.isNull()) return out;
    out.image = std::move(image);
    out.IccProfile = std::move(icc);
    return out;
}

} // namespace sq
