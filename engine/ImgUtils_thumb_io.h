// Byte-level helpers shared by the cache file's readers and its rewrites:
// little-endian fields, whole reads and writes at a position, the file's
// identity, and the lock an operation holds.
#pragma once

#include "engine/ImgUtils_thumb.h"

#include "platform/NativePath.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QString>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace sq::thumbio {

inline const QByteArray magicBytes("\x7f\0\0\0", 4);

inline void putI32(char* p, qint32 v)
{
    const quint32 u = quint32(v);
    for (int i = 0; i < 4; ++i)
        p[i] = char((u >> (8 * i)) & 0xff);
}

inline qint32 getI32(const char* p)
{
    quint32 u = 0;
    for (int i = 0; i < 4; ++i)
        u |= quint32(quint8(p[i])) << (8 * i);
    return qint32(u);
}

inline void putF64(char* p, double v)
{
    quint64 u;
    std::memcpy(&u, &v, 8);
    for (int i = 0; i < 8; ++i)
        p[i] = char((u >> (8 * i)) & 0xff);
}

inline double getF64(const char* p)
{
    quint64 u = 0;
    for (int i = 0; i < 8; ++i)
        u |= quint64(quint8(p[i])) << (8 * i);
    double v;
    std::memcpy(&v, &u, 8);
    return v;
}

inline bool preadAll(int fd, char* buf, qint64 len, qint64 pos)
{
    while (len > 0) {
        const ssize_t n = ::pread(fd, buf, size_t(len), off_t(pos));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        buf += n;
        len -= n;
        pos += n;
    }
    return true;
}

inline bool pwriteAll(int fd, const char* buf, qint64 len, qint64 pos)
{
    while (len > 0) {
        const ssize_t n = ::pwrite(fd, buf, size_t(len), off_t(pos));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        buf += n;
        len -= n;
        pos += n;
    }
    return true;
}

inline bool copyRange(int src, qint64 from, qint64 len, int dst, qint64 to)
{
    // In the kernel where it can (no copy through this process's memory);
    // through a buffer where the file systems do not allow it.
    while (len > 0) {
        loff_t in = from, out = to;
        const ssize_t n = ::copy_file_range(src, &in, dst, &out, size_t(len), 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        from += n;
        to += n;
        len -= n;
    }
    if (len == 0) return true;
    QByteArray chunk(int(qMin<qint64>(len, 1 << 20)), Qt::Uninitialized);
    while (len > 0) {
        const qint64 n = qMin<qint64>(len, chunk.size());
        if (!preadAll(src, chunk.data(), n, from) || !pwriteAll(dst, chunk.constData(), n, to))
            return false;
        from += n;
        to += n;
        len -= n;
    }
    return true;
}

inline qint64 fdSize(int fd)
{
    struct stat st;
    return ::fstat(fd, &st) == 0 ? qint64(st.st_size) : -1;
}

inline TThumb::FileId fileIdOf(int fd)
{
    TThumb::FileId id;
    struct statx sx;
    if (::statx(fd, "", AT_EMPTY_PATH, STATX_INO | STATX_CTIME | STATX_BTIME, &sx) == 0) {
        id.dev = makedev(sx.stx_dev_major, sx.stx_dev_minor);
        id.ino = sx.stx_ino;
        id.hasBirth = (sx.stx_mask & STATX_BTIME) != 0;
        id.birthSec = sx.stx_btime.tv_sec;
        id.birthNsec = sx.stx_btime.tv_nsec;
        id.changeSec = sx.stx_ctime.tv_sec;
        id.changeNsec = sx.stx_ctime.tv_nsec;
    }
    return id;
}

// A file shorter than a header whose bytes so far agree with the magic is a
// cache file whose creation was cut short: an empty cache, not a foreign file.
inline bool isCutShortHeader(const QByteArray& head)
{
    return head.size() < TThumb::HeaderSize && magicBytes.startsWith(head.left(4));
}

inline QString changeExt(const QString& path, const QString& ext)
{
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    const int dot = path.lastIndexOf(QLatin1Char('.'));
    if (dot > slash) return path.left(dot) + ext;
    return path + ext;
}

// How long an operation waits for another process's lock on the cache. Locks
// are held for one append or one rewrite; a process stopped while holding
// one costs this wait per operation, never a hang.
inline constexpr int kLockWaitMs = 5000;

// Another process's rewrites may rename new files over the one just opened
// many times in a row; opening is tried again until the lock wait is spent,
// not for a fixed number of turns, so a busy writer never makes an Add drop.
class OpenTurns
{
public:
    bool next() { return m_turn++ == 0 || !m_deadline.hasExpired(); }

private:
    int m_turn = 0;
    QDeadlineTimer m_deadline{kLockWaitMs};
};

inline bool lockFile(int fd, int operation)
{
    int slept = 0;
    int step = 1;
    for (;;) {
        if (::flock(fd, operation | LOCK_NB) == 0) return true;
        if (errno == EINTR) continue;
        if (errno != EWOULDBLOCK || slept >= kLockWaitMs) return false;
        ::usleep(useconds_t(step) * 1000);
        slept += step;
        step = std::min(step * 2, 20);
    }
}

// Whether the open file is still the one the path names: another process's
// rewrite renames a new file over it.
inline bool isAtPath(int fd, const QByteArray& native)
{
    struct stat open, named;
    return ::fstat(fd, &open) == 0 && ::stat(native.constData(), &named) == 0 &&
           open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

// The bytes under which a picture's entry is stored: its path as the file
// system names it (UTF-8 for every valid UTF-8 name).
inline QByteArray storedName(const QString& picture)
{
    return sq::platform::nativePath(picture);
}

} // namespace sq::thumbio
