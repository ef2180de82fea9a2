// BMP files given to batch conversion (decodeBmpRgb): any bytes decode to a picture or to
// nothing, never read past the end; a picture written back as a 24-bit BMP
// reads the same.
#include "engine/ImgConvert.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QImage image = sq::decodeBmpRgb(bytes);
    if (image.isNull()) return 0;
    if (image.format() != QImage::Format_RGB888) std::abort();
    if (sq::decodeBmpRgb(sq::encodeBmp24(image)) != image) std::abort();
    return 0;
}
