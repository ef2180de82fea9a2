// PNG, GIF, WebP and TIFF bytes as the engine's picture loader reads them:
// the signature, the header's size check, Qt's reader and the flattening onto
// a background. Pictures are capped far below the engine's bound so that the
// fuzzer's memory limit measures leaks, not large pictures.
#include "engine/ImgUtils.h"
#include "engine/PictureLoader.h"

#include <QBuffer>
#include <QImageReader>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QImageReader::setAllocationLimit(64);
    QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    QBuffer device(&bytes);
    device.open(QIODevice::ReadOnly);
    const QImage image = sq::readPicture(&device, qint64(4) << 20);
    if (!image.isNull()) {
        const QImage flat = sq::flattenOnto(image, QColor(10, 20, 30));
        if (flat.size() != image.size() || flat.format() != QImage::Format_RGB888) __builtin_trap();
    }
    return 0;
}
