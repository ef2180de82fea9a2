#include "platform/SafeRead.h"

#include "platform/NativePath.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace sq::platform {

PathKind pathKind(const QString& path)
{
    struct stat st;
    if (path.isEmpty() || ::stat(nativePath(path).constData(), &st) != 0) return PathKind::Missing;
    if (S_ISREG(st.st_mode)) return PathKind::Regular;
    if (S_ISDIR(st.st_mode)) return PathKind::Directory;
    return PathKind::Other;
}

SafeFile::SafeFile(const QString& path, qint64 maxSize, Mode mode)
{
    const QByteArray native = nativePath(path);
    if (path.isEmpty()) {
        m_result = OpenResult::Missing;
        return;
    }
    struct stat st;
    if (mode != CreateNew) {
        // Looked at before opening: opening some devices does something.
        if (::stat(native.constData(), &st) != 0) {
            m_errno = errno;
            m_result =
                errno == ENOENT || errno == ENOTDIR ? OpenResult::Missing : OpenResult::Failed;
            return;
        }
        if (!S_ISREG(st.st_mode)) {
            m_result = OpenResult::NotRegular;
            return;
        }
    }
    int flags = O_NONBLOCK | O_CLOEXEC | O_NOCTTY;
    flags |= mode == ReadOnly ? O_RDONLY : O_RDWR;
    if (mode == CreateNew) flags |= O_CREAT | O_EXCL;
    int fd;
    do
        fd = ::open(native.constData(), flags, 0644);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        m_errno = errno;
        m_result = errno == ENOENT                     ? OpenResult::Missing
                   : errno == EISDIR || errno == ENXIO ? OpenResult::NotRegular
                                                       : OpenResult::Failed;
        return;
    }
    // The name may have been pointed elsewhere since the first look.
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        m_result = OpenResult::NotRegular;
        return;
    }
    if (maxSize != NoLimit && qint64(st.st_size) > maxSize) {
        ::close(fd);
        m_result = OpenResult::TooLarge;
        return;
    }
    m_fd = fd;
    m_size = qint64(st.st_size);
    m_result = OpenResult::Ok;
}

SafeFile::~SafeFile()
{
    close();
}

SafeFile::SafeFile(SafeFile&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_size(other.m_size), m_result(other.m_result),
      m_errno(other.m_errno)
{
}

SafeFile& SafeFile::operator=(SafeFile&& other) noexcept
{
    if (this != &other) {
        close();
        m_fd = std::exchange(other.m_fd, -1);
        m_size = other.m_size;
        m_result = other.m_result;
        m_errno = other.m_errno;
    }
    return *this;
}

void SafeFile::close()
{
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
}

int SafeFile::release()
{
    return std::exchange(m_fd, -1);
}

qint64 SafeFile::read(char* buf, qint64 len)
{
    if (m_fd < 0) return -1;
    qint64 got = 0;
    while (got < len) {
        const ssize_t n = ::read(m_fd, buf + got, size_t(len - got));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return got > 0 ? got : -1;
        if (n == 0) break;
        got += n;
    }
    return got;
}

QByteArray SafeFile::read(qint64 maxBytes, bool* ok)
{
    QByteArray out;
    bool good = m_fd >= 0 && maxBytes >= 0;
    // Grown as bytes arrive, so a file that claims to be huge costs only what
    // it really holds.
    constexpr qint64 kStep = qint64(1) << 20;
    if (good) out.reserve(qsizetype(std::min(maxBytes, m_size + 1)));
    while (good && out.size() < maxBytes) {
        const qint64 want = std::min(kStep, maxBytes - out.size());
        const qsizetype at = out.size();
        out.resize(at + want);
        const qint64 n = read(out.data() + at, want);
        if (n < 0) {
            good = false;
            out.resize(at);
            break;
        }
        out.resize(at + n);
        if (n < want) break;
    }
    if (ok) *ok = good;
    return good ? out : QByteArray();
}

bool SafeFile::readAt(qint64 pos, char* buf, qint64 len) const
{
    if (m_fd < 0 || pos < 0) return false;
    while (len > 0) {
        const ssize_t n = ::pread(m_fd, buf, size_t(len), off_t(pos));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        buf += n;
        len -= n;
        pos += n;
    }
    return true;
}

std::unique_ptr<QFile> SafeFile::device() const
{
    if (m_fd < 0 || ::lseek(m_fd, 0, SEEK_SET) != 0) return nullptr;
    auto file = std::make_unique<QFile>();
    if (!file->open(m_fd, QIODevice::ReadOnly, QFileDevice::DontCloseHandle)) return nullptr;
    return file;
}

QByteArray readWholeFile(const QString& path, qint64 maxSize, OpenResult* result)
{
    SafeFile file(path, maxSize);
    OpenResult r = file.result();
    QByteArray bytes;
    if (file.isOpen()) {
        // One byte past the cap tells a file that grew (or a pseudo-file of
        // size 0 with more in it) from one that fits.
        bool ok = false;
        bytes = file.read(maxSize + 1, &ok);
        if (!ok) {
            r = OpenResult::Failed;
            bytes.clear();
        } else if (bytes.size() > maxSize) {
            r = OpenResult::TooLarge;
            bytes.clear();
        }
    }
    if (result) *result = r;
    return bytes;
}

QByteArray readFileHead(const QString& path, qint64 maxBytes, OpenResult* result)
{
    SafeFile file(path);
    OpenResult r = file.result();
    QByteArray bytes;
    if (file.isOpen()) {
        bool ok = false;
        bytes = file.read(maxBytes, &ok);
        if (!ok) r = OpenResult::Failed;
    }
    if (result) *result = r;
    return bytes;
}

} // namespace sq::platform
