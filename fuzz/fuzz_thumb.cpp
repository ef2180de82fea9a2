// libFuzzer target of the thumbnail cache reader: arbitrary bytes as the cache
// file, then Find, Add, Purge and DeleteList over it. Its pictures live in
// /tmp/sq-fuzz-thumb/ at a fixed time so seeds made by tst_thumb can hit.
#include "engine/ImgUtils_thumb.h"

#include <QDir>
#include <QFile>

#include <cstdint>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

const QString dir = QStringLiteral("/tmp/sq-fuzz-thumb/");

void makePicture(const QString& path)
{
    QFile f(path);
    if (!f.exists() && f.open(QIODevice::WriteOnly))
        f.write("x");
    f.close();
    struct timespec times[2] = {{0, UTIME_OMIT}, {1577836800, 0}};
    ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool ready = [] {
        QDir().mkpath(dir);
        makePicture(dir + QStringLiteral("a.jpg"));
        makePicture(dir + QStringLiteral("b.jpg"));
        return true;
    }();
    (void)ready;
    const QString cache = dir + QStringLiteral("c.dat");
    {
        QFile f(cache);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        f.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    TThumb t;
    t.setPath(dir);
    t.setFileName(QStringLiteral("c"));
    QByteArray got;
    t.Find(dir + QStringLiteral("a.jpg"), got);
    t.Find(dir + QStringLiteral("b.jpg"), got);
    t.Find(dir + QStringLiteral("missing.jpg"), got);
    t.Add(dir + QStringLiteral("b.jpg"), QByteArray("thumb"));
    t.Find(dir + QStringLiteral("b.jpg"), got);
    t.Purge();
    t.Find(dir + QStringLiteral("a.jpg"), got);
    QStringList list{dir + QStringLiteral("b.jpg"), dir + QStringLiteral("a.jpg")};
    try {
        t.DeleteList(list);
    } catch (const EThumbError&) {
    }
    return 0;
}
