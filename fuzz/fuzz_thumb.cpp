// Arbitrary bytes as a thumbnail cache file: Find, Add and DeleteList must
// never crash, hang or read past the end.
#include "engine/ImgUtils_thumb.h"

#include <QDir>
#include <QFile>

#include <cstdint>
#include <cstdlib>
#include <unistd.h>

namespace {
QString folder()
{
    static const QString dir = [] {
        const QString base = QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
        const QString d = base + QStringLiteral("/sq-fuzz-thumb-%1").arg(::getpid());
        QDir().mkpath(d);
        return d;
    }();
    return dir;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString dir = folder();
    const QString cache = dir + QStringLiteral("/cache.dat");
    {
        QFile file(cache);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    TThumb thumb;
    thumb.setPath(dir);
    thumb.setFileName(QStringLiteral("cache"));
    // Names that a seed made by the tests holds, and one it does not.
    const QStringList names{QStringLiteral("/a.jpg"), QStringLiteral("/b.jpg"), dir + QStringLiteral("/x.jpg")};
    for (const QString& name : names) {
        QByteArray stream;
        thumb.Find(name, stream);
    }
    if (size % 3 == 0)
        thumb.Add(names[2], QByteArray("fuzz"));
    QStringList list = names;
    try {
        thumb.DeleteList(list);
    } catch (const EThumbError&) {
    }
    return 0;
}
