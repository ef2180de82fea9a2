// HEIF/AVIF and JPEG XL bytes (known by their signature) and anything else as
// a camera RAW file, through the photo readers as the picture loader calls
// them, once for the whole picture and once for a thumbnail's box. Pictures
// are capped far below the engine's bound so that the fuzzer's memory limit
// measures leaks, not large pictures.
#include "engine/PictureFormats.h"

#include <QByteArray>

namespace {

void check(const sq::DecodedPicture& p, qint64 maxPixels)
{
    if (p.image.isNull()) return;
    if (qint64(p.image.width()) * p.image.height() > maxPixels) __builtin_trap();
    if (p.fullSize.isEmpty()) __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    constexpr qint64 kMaxPixels = qint64(4) << 20;
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const sq::PhotoCodec codec = sq::photoCodecOf(bytes.left(64));
    for (const QSize box : {QSize(), QSize(40, 30)}) {
        if (codec == sq::PhotoCodec::Heif)
            check(sq::decodeHeif(bytes, box, kMaxPixels), kMaxPixels);
        else if (codec == sq::PhotoCodec::Jxl)
            check(sq::decodeJxl(bytes, box, kMaxPixels), kMaxPixels);
        else
            check(sq::decodeRaw(bytes, box, kMaxPixels), kMaxPixels);
    }
    return 0;
}
