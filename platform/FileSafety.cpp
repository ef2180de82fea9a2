#include "platform/FileSafety.h"

#include "platform/NativePath.h"
#include "platform/PathOps.h"
#include "platform/SafeRead.h"

#include <QList>
#include <QStringDecoder>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <vector>

namespace sq::platform {

namespace {

bool isUtf8(const QByteArray& bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(bytes); // decodes only when converted
    return !utf8.hasError();
}

// The first len bytes of text, less a character cut in two.
QByteArray cutAt(const QByteArray& text, qsizetype len, bool utf8)
{
    if (len >= text.size()) return text;
    if (len <= 0) return {};
    if (utf8)
        while (len > 0 && (static_cast<unsigned char>(text.at(len)) & 0xC0) == 0x80)
            --len;
    return text.left(len);
}

constexpr qsizetype kMaxExtension = 16;

} // namespace

QByteArray trashSlotName(const QByteArray& name, int n, int maxBytes)
{
    const QByteArray plain = n == 1 ? name : name + '.' + QByteArray::number(n);
    if (plain.size() <= maxBytes) return plain;
    const qsizetype dot = name.lastIndexOf('.');
    const bool hasExt = dot > 0 && name.size() - dot <= kMaxExtension;
    const QByteArray ext = hasExt ? name.mid(dot) : QByteArray();
    const QByteArray stem = hasExt ? name.left(dot) : name;
    const QByteArray number = n == 1 ? QByteArray() : '~' + QByteArray::number(n);
    return cutAt(stem, maxBytes - ext.size() - number.size(), isUtf8(name)) + number + ext;
}

namespace {

struct Id
{
    dev_t dev;
    ino_t ino;
    bool operator==(const Id& o) const { return dev == o.dev && ino == o.ino; }
};

bool folderId(const QByteArray& path, Id& id, bool follow)
{
    struct stat st;
    const int r = follow ? ::stat(path.constData(), &st) : ::lstat(path.constData(), &st);
    if (r != 0 || !S_ISDIR(st.st_mode)) return false;
    id = {st.st_dev, st.st_ino};
    return true;
}

// Whether a folder inside folder (links not followed, mounts entered) is
// want. chain holds the folders being walked, so a loop is walked once.
bool holds(const QByteArray& folder, const Id& want, FolderChain& chain, int depth)
{
    if (depth > 4096) return false;
    DIR* dir = ::opendir(folder.constData());
    if (!dir) return false;
    std::vector<QByteArray> subfolders;
    while (const dirent* e = ::readdir(dir)) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
        if (e->d_type != DT_DIR && e->d_type != DT_UNKNOWN) continue;
        subfolders.push_back(folder + '/' + e->d_name);
    }
    ::closedir(dir);
    for (const QByteArray& path : subfolders) {
        Id id;
        if (!folderId(path, id, false)) continue;
        if (id == want) return true;
        if (!chain.enter(id.dev, id.ino)) continue;
        const bool found = holds(path, want, chain, depth + 1);
        chain.leave(id.dev, id.ino);
        if (found) return true;
    }
    return false;
}

// A mount point as /proc/self/mountinfo writes it, with its octal escapes
// (\040 for a blank) undone.
QByteArray unescapeMountPath(const QByteArray& field)
{
    QByteArray out;
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field.at(i) == '\\' && i + 3 < field.size()) {
            const QByteArray digits = field.mid(i + 1, 3);
            bool ok = false;
            const int c = digits.toInt(&ok, 8);
            if (ok && digits.size() == 3) {
                out += char(c);
                i += 3;
                continue;
            }
        }
        out += field.at(i);
    }
    return out;
}

// Whether the paths alone show every way to the target: no file system is
// mounted inside source, and the target's file system is mounted once (no
// bind mount shows it a second time). Then the walk through source can be
// left out. False when the mount table cannot be read.
bool pathsTellAll(const QByteArray& canonicalSource, dev_t targetDev)
{
    constexpr qint64 kMax = qint64(4) << 20;
    const QByteArray table = readFileHead(QStringLiteral("/proc/self/mountinfo"), kMax);
    if (table.isEmpty() || table.size() >= kMax) return false;
    const QByteArray device =
        QByteArray::number(major(targetDev)) + ':' + QByteArray::number(minor(targetDev));
    const QByteArray under =
        canonicalSource.endsWith('/') ? canonicalSource : canonicalSource + '/';
    int mounts = 0;
    for (const QByteArray& line : table.split('\n')) {
        if (line.isEmpty()) continue;
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() < 5) return false;
        if (fields[2] == device) ++mounts;
        if (unescapeMountPath(fields[4]).startsWith(under)) return false;
    }
    return mounts == 1;
}

} // namespace

bool isFolderInside(const QString& target, const QString& source)
{
    Id from, to;
    const QByteArray src = nativePath(absolutePathOf(source));
    if (!folderId(src, from, true)) return false;
    QString at = absolutePathOf(target);
    if (!folderId(nativePath(at), to, true)) return false;
    // The target's ancestors, as its path names them.
    for (;;) {
        Id id;
        if (folderId(nativePath(at), id, true) && id == from) return true;
        const QString up = parentOf(at);
        if (up == at) break;
        at = up;
    }
    // A folder of source seen from elsewhere (a bind mount of it).
    const QByteArray canonical = nativePath(canonicalPathOf(source));
    if (!canonical.isEmpty() && pathsTellAll(canonical, to.dev)) return false;
    FolderChain chain;
    chain.enter(from.dev, from.ino);
    return holds(src, to, chain, 0);
}

namespace {

// The first 8 hex digits of the kernel's id of this boot; empty when it
// cannot be read.
const QByteArray& bootTag()
{
    static const QByteArray tag = [] {
        const QByteArray id = readFileHead(QStringLiteral("/proc/sys/kernel/random/boot_id"), 64);
        QByteArray hex;
        for (const char c : id) {
            if (hex.size() == 8) break;
            if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')) hex += c;
        }
        return hex.size() == 8 ? hex : QByteArray();
    }();
    return tag;
}

const char* const kTempPrefixes[] = {".sqcopy-", ".sqlink-", ".sqsave-"};

bool allOf(const QByteArray& text, bool (*pred)(char))
{
    if (text.isEmpty()) return false;
    for (const char c : text)
        if (!pred(c)) return false;
    return true;
}

bool isHex(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
}
bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}
bool isTempChar(char c)
{
    return isDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

void removeTree(const QByteArray& path)
{
    struct stat st;
    if (::lstat(path.constData(), &st) != 0) return;
    if (!S_ISDIR(st.st_mode)) {
        ::unlink(path.constData());
        return;
    }
    std::vector<QByteArray> children;
    if (DIR* dir = ::opendir(path.constData())) {
        while (const dirent* e = ::readdir(dir))
            if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
                children.push_back(path + '/' + e->d_name);
        ::closedir(dir);
    }
    for (const QByteArray& child : children)
        removeTree(child);
    ::rmdir(path.constData());
}

} // namespace

QByteArray tempPattern(const QString& folder, const char* prefix)
{
    const QByteArray boot = bootTag().isEmpty() ? QByteArrayLiteral("00000000") : bootTag();
    QByteArray path = nativePath(folder);
    if (!path.endsWith('/')) path += '/';
    return path + prefix + boot + '-' + QByteArray::number(qint64(::getpid())) + "-XXXXXX";
}

bool isDeadTempName(const QByteArray& name)
{
    QByteArray rest;
    for (const char* prefix : kTempPrefixes)
        if (name.startsWith(prefix)) rest = name.mid(qsizetype(std::strlen(prefix)));
    // boot (8 hex) - pid - six letters or digits, nothing else.
    const QList<QByteArray> parts = rest.split('-');
    if (parts.size() != 3 || parts[0].size() != 8 || !allOf(parts[0], isHex) ||
        parts[1].size() > 9 || !allOf(parts[1], isDigit) || parts[1].startsWith('0') ||
        parts[2].size() != 6 || !allOf(parts[2], isTempChar))
        return false;
    const QByteArray& boot = bootTag();
    if (!boot.isEmpty() && parts[0] != "00000000" && parts[0] != boot) return true;
    const pid_t pid = pid_t(parts[1].toLongLong());
    if (pid == ::getpid()) return false;
    return ::kill(pid, 0) != 0 && errno == ESRCH;
}

int holdTemp(const QByteArray& path)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return -1;
    holdTemp(fd);
    return fd;
}

void holdTemp(int fd)
{
    ::flock(fd, LOCK_EX | LOCK_NB);
}

namespace {

// Whether a writer holds the temporary at path now.
bool isHeld(const QByteArray& path)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false; // a link (links are made and renamed at once), or gone
    const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return held;
}

} // namespace

int removeDeadTemps(const QString& folder)
{
    const QByteArray path = nativePath(folder);
    std::vector<QByteArray> dead;
    DIR* dir = ::opendir(path.constData());
    if (!dir) return 0;
    while (const dirent* e = ::readdir(dir))
        if (e->d_name[0] == '.' && isDeadTempName(QByteArray(e->d_name)))
            dead.push_back(path + '/' + e->d_name);
    ::closedir(dir);
    int removed = 0;
    for (const QByteArray& p : dead) {
        if (isHeld(p)) continue;
        removeTree(p);
        ++removed;
    }
    return removed;
}

} // namespace sq::platform
