// Moving to the freedesktop trash: the home trash, or the trash at the top
// of the file's own mount, with an info file holding the original path.
#include "platform/AtomicFile.h"
#include "platform/FileClipboard.h"
#include "platform/FileOps.h"
#include "platform/FileOps_detail.h"
#include "platform/FileSafety.h"
#include "platform/NativePath.h"
#include "platform/PathOps.h"

#include <QDateTime>
#include <QDir>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace sq::platform {

using namespace detail;

namespace {

struct TrashDir
{
    QByteArray files;
    QByteArray info;
    QByteArray top; // the folder the info files' paths are relative to; empty: absolute
};

bool ownFolder(const QByteArray& path, bool create)
{
    if (create) ::mkdir(path.constData(), 0700);
    struct stat st;
    return ::lstat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid();
}

std::optional<TrashDir> trashIn(const QByteArray& trash, const QByteArray& top)
{
    if (!ownFolder(trash, true)) return std::nullopt;
    TrashDir t{trash + "/files", trash + "/info", top};
    if (!ownFolder(t.files, true) || !ownFolder(t.info, true)) return std::nullopt;
    return t;
}

// The trash for a file on device dev: the home trash on its own file
// system, else $top/.Trash/$uid (a shared, sticky .Trash) or $top/.Trash-$uid
// at the top of the file's mount.
std::optional<TrashDir> trashFor(const QString& path, dev_t dev)
{
    QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    QDir().mkpath(dataHome);
    struct stat st;
    const QByteArray home = enc(dataHome);
    if (::stat(home.constData(), &st) == 0 && st.st_dev == dev) return trashIn(home + "/Trash", {});

    // The top of the mount: the highest folder above the file on its device.
    QString top = parentOf(path);
    for (;;) {
        const QString up = parentOf(top);
        if (up == top || ::stat(enc(up).constData(), &st) != 0 || st.st_dev != dev) break;
        top = up;
    }
    const QByteArray topBytes = enc(top == QLatin1String("/") ? QString() : top);
    const QByteArray uid = QByteArray::number(::getuid());
    const QByteArray shared = topBytes + "/.Trash";
    if (::lstat(shared.constData(), &st) == 0 && S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX))
        if (auto t = trashIn(shared + '/' + uid, topBytes.isEmpty() ? "/" : topBytes)) return t;
    return trashIn(topBytes + "/.Trash-" + uid, topBytes.isEmpty() ? "/" : topBytes);
}

// Moves one path into the trash; the path it has there, or the errno.
std::pair<QString, int> trashOne(const QString& path)
{
    struct stat st;
    if (::lstat(enc(path).constData(), &st) != 0) return {{}, errno};
    const std::optional<TrashDir> trash = trashFor(path, st.st_dev);
    if (!trash) return {{}, EACCES};
    QString inTrash = path;
    if (!trash->top.isEmpty()) {
        const QString top = pathFromNative(trash->top);
        inTrash = path.mid(top == QLatin1String("/") ? 1 : top.size() + 1);
    }
    const QByteArray name = enc(fileNameOf(path));
    const QByteArray date =
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-ddThh:mm:ss")).toLatin1();
    const QByteArray info =
        "[Trash Info]\nPath=" + percentEncodedPath(inTrash) + "\nDeletionDate=" + date + '\n';
    for (int n = 1; n < 10000; ++n) {
        // The info file claims the name first, so two programs trashing the
        // same name at once never take the same slot.
        const QByteArray slot = trashSlotName(name, n);
        const QByteArray infoPath = trash->info + '/' + slot + ".trashinfo";
        const int fd = ::open(infoPath.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return {{}, errno};
        }
        const bool written = ::write(fd, info.constData(), info.size()) == info.size();
        ::close(fd);
        const QString files = pathFromNative(trash->files + '/' + slot);
        const int e = written ? renameNoReplace(path, files) : EIO;
        if (e == EEXIST || e == ENOTEMPTY) {
            ::unlink(infoPath.constData());
            continue;
        }
        if (e) {
            ::unlink(infoPath.constData());
            return {{}, e};
        }
        return {files, 0};
    }
    return {{}, EEXIST};
}

} // namespace

FileOpResult moveToTrash(const QStringList& paths, FileOpPrompt& prompt)
{
    const FileOpBatch batch;
    FileOpResult result;
    prompt.beginProgress(0);
    for (const QString& raw : paths) {
        if (prompt.cancelRequested()) {
            result.cancelled = true;
            break;
        }
        const QString path = absolutePathOf(raw);
        if (!pathExists(path)) {
            ++result.failed;
            prompt.reportError({FileOpError::Missing, path, reason(errno)});
            continue;
        }
        const auto [where, err] = trashOne(path);
        if (err) {
            ++result.failed;
            prompt.reportError({FileOpError::TrashFailed, path, reason(err)});
            continue;
        }
        ++result.done;
        result.targets << where;
    }
    prompt.endProgress();
    return result;
}

} // namespace sq::platform
