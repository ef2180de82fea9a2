// Embedded colour profiles as the engine meets them: bytes taken as an ICC
// profile (classified and, when RGB, used to convert a small picture), as a
// JPEG whose APP2 chunks are joined, and as a PNG whose chunks are walked
// for an iCCP.
#include "engine/ColourManage.h"
#include "engine/ImgUtils.h"
#include "engine/PictureLoader.h"

#include <QBuffer>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const sq::ProfileKind kind = sq::classifyProfile(bytes);
    QImage image(7, 3, QImage::Format_RGB888);
    image.fill(QColor(200, 30, 90));
    sq::DisplayColour target;
    target.on = true;
    const bool converted = sq::convertToDisplay(image, bytes, target);
    if (converted && kind != sq::ProfileKind::Other) __builtin_trap();
    if (image.size() != QSize(7, 3)) __builtin_trap();
    // The same bytes as the display's profile: an unreadable one is sRGB.
    target.profile = bytes;
    sq::convertToDisplay(image, QByteArray(), target);

    const QByteArray icc = sq::jpegIccProfile(bytes);
    if (icc.size() > bytes.size()) __builtin_trap();
    QByteArray copy = bytes;
    QBuffer device(&copy);
    device.open(QIODevice::ReadOnly);
    sq::pngCarriesIcc(&device);
    if (device.pos() != 0) __builtin_trap();
    return 0;
}
