// HEIF/AVIF and JPEG XL bytes (known by their signature) and anything else as
// a camera RAW file, through the photo readers as the picture loader calls
// them, once for the whole picture and once for a thumbnail's box; a HEIF's
// decode cost too, read from its boxes in a file in memory. Pictures
// are capped far below the engine's bound so that the fuzzer's memory limit
// measures leaks, not large pictures.
#include "engine/PictureFormats.h"
#include "platform/SafeRead.h"

#include <QByteArray>
#include <QString>

#include <sys/mman.h>
#include <unistd.h>

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
    if (codec == sq::PhotoCodec::Heif) {
        static const int fd = memfd_create("fuzz_photos", 0);
        static const QString path = QStringLiteral("/proc/self/fd/%1").arg(fd);
        if (fd >= 0 && ftruncate(fd, 0) == 0 && pwrite(fd, data, size, 0) == ssize_t(size)) {
            const sq::platform::SafeFile file(path);
            for (const QSize box : {QSize(), QSize(40, 30)})
                if (sq::heifDecodeCost(file, box, kMaxPixels) < 0) __builtin_trap();
        }
    }
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
