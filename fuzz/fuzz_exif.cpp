// libFuzzer target of the EXIF Orientation readers: arbitrary bytes as an
// APP1 payload and as a JPEG's markers, then as the APP1 segment of a small
// JPEG through the decoder, whose picture must come out turned exactly as
// the reader says.
#include "engine/ExifOrientation.h"
#include "engine/ImgUtils.h"

#include <QByteArray>
#include <QImage>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const QByteArray base = [] {
        QImage image(24, 16, QImage::Format_RGB888);
        image.fill(QColor(10, 200, 30));
        return sq::encodeJpeg(image, 90, true);
    }();
    const int payload = sq::exifOrientation(data, size);
    const int markers = sq::jpegOrientation(data, size);
    if (payload < 1 || payload > 8 || markers < 1 || markers > 8) std::abort();
    if (size > 65533) return 0;
    const int length = int(size) + 2;
    QByteArray jpeg = base.left(2);
    jpeg.append(char(0xFF)).append(char(0xE1)).append(char(length >> 8)).append(char(length & 0xFF));
    jpeg.append(reinterpret_cast<const char*>(data), qsizetype(size));
    jpeg.append(base.mid(2));
    QSize full;
    const QImage image = sq::decodeJpeg(jpeg, 1, true, &full);
    const QSize want = sq::orientedSize(QSize(24, 16), payload);
    if (image.isNull() || image.size() != want || full != want) std::abort();
    if (sq::jpegOrientation(reinterpret_cast<const unsigned char*>(jpeg.constData()), size_t(jpeg.size())) != payload)
        std::abort();
    return 0;
}
