// Video files as the picture loader reads their first frame through FFmpeg:
// each input is written to a file in memory (FFmpeg reads through the
// engine's safe file descriptor) and its first frame and a later one grabbed.
#include "engine/ImgUtils.h"

#include <QString>

#include <sys/mman.h>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const int fd = memfd_create("fuzz_video", 0);
    if (fd < 0) return 0;
    if (ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != ssize_t(size)) return 0;
    static const QString path = QStringLiteral("/proc/self/fd/%1").arg(fd);
    for (const int pos : {0, 50}) {
        const QImage frame = sq::grabVideoFrame(path, pos);
        if (!frame.isNull() && qint64(frame.width()) * frame.height() > TImgUtil::MaxPixels)
            __builtin_trap();
    }
    return 0;
}
