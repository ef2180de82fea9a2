#include "tests/support/RawNames.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sq::test {

bool makeFolderAt(const QByteArray& path)
{
    for (qsizetype at = 1; at <= path.size(); ++at) {
        if (at < path.size() && path[at] != '/') continue;
        const QByteArray part = path.left(at);
        if (::mkdir(part.constData(), 0755) != 0 && errno != EEXIST) return false;
    }
    struct stat st;
    return ::stat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool writeFileAt(const QByteArray& path, const QByteArray& bytes)
{
    const qsizetype slash = path.lastIndexOf('/');
    if (slash > 0 && !makeFolderAt(path.left(slash))) return false;
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    const bool ok = ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
    return ::close(fd) == 0 && ok;
}

QByteArray readFileAt(const QByteArray& path)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return {};
    QByteArray out;
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n <= 0) break;
        out.append(buf, n);
    }
    ::close(fd);
    return out;
}

QList<QByteArray> namesAt(const QByteArray& folder)
{
    QList<QByteArray> names;
    DIR* d = ::opendir(folder.constData());
    if (!d) return names;
    while (const dirent* e = ::readdir(d)) {
        const QByteArray n(e->d_name);
        if (n != "." && n != "..") names << n;
    }
    ::closedir(d);
    std::sort(names.begin(), names.end());
    return names;
}

bool existsAt(const QByteArray& path)
{
    struct stat st;
    return ::lstat(path.constData(), &st) == 0;
}

void removeTreeAt(const QByteArray& path)
{
    struct stat st;
    if (::lstat(path.constData(), &st) != 0) return;
    if (S_ISDIR(st.st_mode)) {
        for (const QByteArray& name : namesAt(path))
            removeTreeAt(path + '/' + name);
        ::rmdir(path.constData());
    } else {
        ::unlink(path.constData());
    }
}

// The temporary folder's own path is plain ASCII (under TMPDIR).
RawTempDir::RawTempDir() : m_bytes(m_dir.path().toUtf8()) {}

RawTempDir::~RawTempDir()
{
    // The folder itself stays for QTemporaryDir to remove.
    for (const QByteArray& name : namesAt(m_bytes))
        removeTreeAt(m_bytes + '/' + name);
}

} // namespace sq::test
