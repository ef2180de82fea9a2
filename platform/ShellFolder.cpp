#include "platform/ShellFolder.h"

#include "platform/NativePath.h"

#include <QDir>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace sq::platform {

namespace {

QString cleanAbsolute(const QString& path)
{
    QString p = QDir::cleanPath(path);
    if (p.isEmpty()) return QStringLiteral("/");
    return p;
}

bool isDotOrDotDot(const char* n)
{
    return n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0));
}

unsigned attributesFromStat(int dirFd, const char* name, bool knownLink)
{
    struct stat st;
    bool link = knownLink;
    if (!knownLink) {
        if (::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return 0;
        link = S_ISLNK(st.st_mode);
        if (!link) return S_ISDIR(st.st_mode) ? (AttrFolder | AttrFileSysAncestor) : 0;
    }
    // A link is a folder when its target is one; a dangling link is a file.
    if (::fstatat(dirFd, name, &st, 0) == 0 && S_ISDIR(st.st_mode))
        return AttrLink | AttrFolder | AttrFileSysAncestor;
    return AttrLink;
}

} // namespace

ShellFolder::ShellFolder() : m_path(QStringLiteral("/")), m_native("/") {}

ShellFolder::ShellFolder(const QString& absolutePath)
    : m_path(cleanAbsolute(absolutePath)), m_native(nativePath(m_path))
{
}

bool ShellFolder::enumObjects(unsigned flags, const std::function<bool(EnumItem&&)>& sink) const
{
    const bool wantFolders = flags & ContFolders;
    const bool wantFiles = flags & ContNonFolders;
    const bool wantHidden = flags & ContIncludeHidden;

    const int fd = ::open(m_native.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return false;
    }
    while (const dirent* d = ::readdir(dir)) {
        const char* n = d->d_name;
        if (isDotOrDotDot(n)) continue;
        if (n[0] == '.' && !wantHidden) continue;
        unsigned attrs = 0;
        switch (d->d_type) {
        case DT_DIR:
            attrs = AttrFolder | AttrFileSysAncestor;
            break;
        case DT_LNK:
            attrs = attributesFromStat(fd, n, true);
            break;
        case DT_UNKNOWN:
            attrs = attributesFromStat(fd, n, false);
            break;
        default:
            break;
        }
        const bool folder = attrs & AttrFolder;
        if (folder ? !wantFolders : !wantFiles) continue;
        if (!sink(EnumItem{QByteArray(n), attrs})) break;
    }
    ::closedir(dir);
    return true;
}

QString ShellFolder::displayNameOf(const QByteArray& name) const
{
    return displayText(pathFromNative(name));
}

QString ShellFolder::parseNameOf(const QByteArray& name) const
{
    if (name.isEmpty()) return m_path;
    const QString n = pathFromNative(name);
    return isDesktop() ? QLatin1Char('/') + n : m_path + QLatin1Char('/') + n;
}

QByteArray ShellFolder::nativeChild(const QByteArray& name) const
{
    // Joined in the file system's bytes: no detour through text per entry.
    QByteArray full;
    full.reserve(m_native.size() + name.size() + 1);
    full.append(m_native);
    if (!isDesktop()) full.append('/');
    full.append(name);
    return full;
}

unsigned ShellFolder::attributesOf(const QByteArray& name) const
{
    if (name.isEmpty()) return 0;
    const int fd = ::open(m_native.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return 0;
    const unsigned a = attributesFromStat(fd, name.constData(), false);
    ::close(fd);
    return a;
}

std::optional<FindData> ShellFolder::findData(const QByteArray& name) const
{
    if (name.isEmpty()) return std::nullopt;
    const QByteArray full = nativeChild(name);
    struct stat st;
    if (::stat(full.constData(), &st) != 0 && ::lstat(full.constData(), &st) != 0)
        return std::nullopt;
    FindData f;
    f.size = st.st_size;
    f.mtimeSec = st.st_mtim.tv_sec;
    f.mtimeNsec = static_cast<std::int32_t>(st.st_mtim.tv_nsec);
    f.mode = st.st_mode;
    return f;
}

QString ShellFolder::linkTarget(const QByteArray& name) const
{
    if (name.isEmpty()) return {};
    const QByteArray full = nativeChild(name);
    std::vector<char> buf(4096);
    const ssize_t n = ::readlink(full.constData(), buf.data(), buf.size());
    if (n <= 0 || static_cast<size_t>(n) >= buf.size()) return {};
    const QString target = pathFromNative(buf.data(), n);
    if (target.startsWith(QLatin1Char('/'))) return cleanAbsolute(target);
    return cleanAbsolute(m_path + QLatin1Char('/') + target);
}

std::optional<ParsedPath> parseDisplayName(const QString& path)
{
    if (!path.startsWith(QLatin1Char('/'))) return std::nullopt;
    const QString clean = cleanAbsolute(path);
    if (clean == QLatin1String("/")) return std::nullopt;
    const qsizetype slash = clean.lastIndexOf(QLatin1Char('/'));
    ParsedPath p;
    p.parent = ShellFolder(slash == 0 ? QStringLiteral("/") : clean.left(slash));
    p.name = nativePath(clean.mid(slash + 1));
    struct stat st;
    if (::lstat(nativePath(clean).constData(), &st) != 0) return std::nullopt;
    p.attributes = p.parent.attributesOf(p.name);
    p.parseName = p.parent.parseNameOf(p.name);
    return p;
}

} // namespace sq::platform
