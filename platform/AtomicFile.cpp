#include "platform/AtomicFile.h"

#include "platform/FileSafety.h"
#include "platform/NativePath.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

namespace sq::platform {

namespace {

mode_t processUmask()
{
    // umask can only be read by setting it; do it once, before threads ask.
    static const mode_t mask = [] {
        const mode_t old = ::umask(022);
        ::umask(old);
        return old;
    }();
    return mask;
}

QByteArray folderOf(const QByteArray& path)
{
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0) return QByteArrayLiteral(".");
    return slash == 0 ? QByteArrayLiteral("/") : path.left(slash);
}

// 0, or the errno of the write that failed.
int writeAll(int fd, const QByteArray& bytes)
{
    for (qsizetype at = 0; at < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.constData() + at, size_t(bytes.size() - at));
        if (n < 0 && errno != EINTR) return errno;
        if (n > 0) at += n;
    }
    return 0;
}

} // namespace

int writeFileAtomically(const QString& path, const QByteArray& bytes, bool durable)
{
    const QByteArray target = nativePath(path);
    if (target.isEmpty() || target.endsWith('/')) return EISDIR;
    mode_t mode = 0666 & ~processUmask();
    struct stat st;
    if (::stat(target.constData(), &st) == 0 && S_ISREG(st.st_mode)) mode = st.st_mode & 07777;
    // Named for this boot and process, so a later run can tell a leftover
    // of a killed writer (FileSafety.h).
    QByteArray temp = tempPattern(pathFromNative(folderOf(target)), ".sqsave-");
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) return errno;
    holdTemp(fd);
    int err = writeAll(fd, bytes);
    if (!err && ::fchmod(fd, mode) != 0) err = errno;
    if (!err && durable && ::fsync(fd) != 0) err = errno;
    if (::close(fd) != 0 && !err) err = errno;
    if (!err && ::rename(temp.constData(), target.constData()) != 0) err = errno;
    if (err) ::unlink(temp.constData());
    return err;
}

int writeNewFileAtomically(const QString& path, const QByteArray& bytes)
{
    const QByteArray target = nativePath(path);
    if (target.isEmpty() || target.endsWith('/')) return EISDIR;
    QByteArray temp = tempPattern(pathFromNative(folderOf(target)), ".sqsave-");
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) return errno;
    holdTemp(fd);
    int err = writeAll(fd, bytes);
    if (!err && ::fchmod(fd, 0666 & ~processUmask()) != 0) err = errno;
    if (::close(fd) != 0 && !err) err = errno;
    if (!err) err = renameNoReplace(pathFromNative(temp), path);
    if (err) ::unlink(temp.constData());
    return err;
}

int renameNoReplace(const QString& from, const QString& to)
{
    const QByteArray f = nativePath(from), t = nativePath(to);
    if (::renameat2(AT_FDCWD, f.constData(), AT_FDCWD, t.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS) return errno;
    // A file system without the flag: a hard link fails on an existing name.
    struct stat st;
    if (::lstat(f.constData(), &st) != 0) return errno;
    if (!S_ISDIR(st.st_mode)) {
        if (::link(f.constData(), t.constData()) == 0) {
            ::unlink(f.constData());
            return 0;
        }
        if (errno != EPERM && errno != EOPNOTSUPP && errno != EMLINK) return errno;
        // No hard links either (FAT): check, then rename.
    }
    if (::lstat(t.constData(), &st) == 0) return EEXIST;
    return ::rename(f.constData(), t.constData()) == 0 ? 0 : errno;
}

FileLock::FileLock(const QString& path, int waitMs)
{
    const int fd = ::open(nativePath(path).constData(),
                          O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0600);
    struct stat st;
    if (fd < 0) return;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return;
    }
    // Polled, so a holder that hangs delays the caller but never stops it.
    for (int waited = 0;; waited += 20) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            m_fd = fd;
            return;
        }
        if ((errno != EWOULDBLOCK && errno != EINTR) || waited >= waitMs) break;
        const timespec pause{0, 20 * 1000 * 1000};
        ::nanosleep(&pause, nullptr);
    }
    ::close(fd);
}

FileLock::~FileLock()
{
    if (m_fd >= 0) ::close(m_fd); // closing drops the lock
}

} // namespace sq::platform
