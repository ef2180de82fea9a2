#include "tests/support/FileDamage.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sq::test {

bool truncateFile(const QString& path, qint64 size)
{
    return ::truncate(QFile::encodeName(path).constData(), off_t(size)) == 0;
}

bool patchFile(const QString& path, qint64 offset, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite) || !file.seek(offset))
        return false;
    return file.write(bytes) == bytes.size();
}

bool setModifiedTime(const QString& path, qint64 msecsSinceEpoch)
{
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = time_t(msecsSinceEpoch / 1000);
    times[1].tv_nsec = long(msecsSinceEpoch % 1000) * 1000000;
    return ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0) == 0;
}

qint64 modifiedTime(const QString& path)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return -1;
    return qint64(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000;
}

bool makeReadOnlyFolder(const QString& folder)
{
    const QByteArray native = QFile::encodeName(folder);
    if (::chmod(native.constData(), 0555) != 0)
        return false;
    return ::access(native.constData(), W_OK) != 0;
}

void makeWritableFolder(const QString& folder)
{
    ::chmod(QFile::encodeName(folder).constData(), 0755);
}

} // namespace sq::test
