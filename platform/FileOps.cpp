#include "platform/FileOps.h"

#include "platform/AtomicFile.h"
#include "platform/FileClipboard.h"
#include "platform/FileOps_detail.h"
#include "platform/FileSafety.h"
#include "platform/NativePath.h"
#include "platform/PathOps.h"

#include <QDir>
#include <QScopeGuard>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace sq::platform {

namespace detail {

// The read/write fallback's buffer, and the piece copy_file_range is asked
// for at a time (progress and cancel are looked at between pieces).
constexpr std::size_t kChunk = 1 << 20;
constexpr std::size_t kRangeChunk = 8 << 20;

// Paths are carriers of the file system's bytes: every system call takes
// the bytes, every name read from the file system is carried back losslessly.
QByteArray enc(const QString& path)
{
    return nativePath(path);
}
QString dec(const char* path)
{
    return pathFromNative(QByteArray(path));
}
QString reason(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

bool lstatOf(const QString& path, struct stat& st)
{
    return ::lstat(enc(path).constData(), &st) == 0;
}

bool exists(const QString& path)
{
    struct stat st;
    return lstatOf(path, st);
}

QStringList childNames(const QString& folder, int* error)
{
    QStringList names;
    *error = 0;
    DIR* dir = ::opendir(enc(folder).constData());
    if (!dir) {
        *error = errno;
        return names;
    }
    while (const dirent* e = ::readdir(dir)) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
        names << dec(e->d_name);
    }
    ::closedir(dir);
    names.sort();
    return names;
}

// Removes a tree this operation made itself (a partial copy).
void removeOwnTree(const QString& path)
{
    struct stat st;
    if (!lstatOf(path, st)) return;
    if (S_ISDIR(st.st_mode)) {
        int err;
        for (const QString& name : childNames(path, &err))
            removeOwnTree(joinPath(path, name));
        ::rmdir(enc(path).constData());
    } else {
        ::unlink(enc(path).constData());
    }
}

qint64 bytesOf(const QString& path)
{
    struct stat st;
    if (!lstatOf(path, st)) return 0;
    if (S_ISREG(st.st_mode)) return st.st_size;
    if (!S_ISDIR(st.st_mode)) return 0;
    qint64 sum = 0;
    int err;
    for (const QString& name : childNames(path, &err))
        sum += bytesOf(joinPath(path, name));
    return sum;
}

QString resolvedPath(const QString& path)
{
    const QString absolute = absolutePathOf(path);
    const QString parent = parentOf(absolute);
    QString folder = canonicalPathOf(parent);
    if (folder.isEmpty()) folder = parent;
    return joinPath(folder, fileNameOf(absolute));
}

bool isInside(const QString& path, const QString& folder)
{
    return path == folder ||
           path.startsWith(folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/'));
}

QString freeCopyName(const QString& target, bool isFolder, const QString& word)
{
    const QString name = fileNameOf(target);
    const int dot = isFolder ? -1 : int(name.lastIndexOf(QLatin1Char('.')));
    const QString stem = dot > 0 ? name.left(dot) : name;
    const QString ext = dot > 0 ? name.mid(dot) : QString();
    for (int n = 1;; ++n) {
        const QString suffix =
            n == 1 ? QStringLiteral(" - ") + word : QStringLiteral(" - %1 (%2)").arg(word).arg(n);
        const QString candidate = joinPath(parentOf(target), stem + suffix + ext);
        if (!exists(candidate)) return candidate;
    }
}

enum class Step { Ok, Skipped, Failed, Cancelled };

// Bytes from in to out at their file positions until in ends: in the kernel
// with copy_file_range where the file systems allow it, else through buf.
// onPiece is told the bytes of every piece and may stop the copy by
// returning false. 0, or the errno of the failure (-1: stopped).
template <class OnPiece>
int copyBytes(int in, int out, std::vector<char>& buf, bool& readFailed, OnPiece onPiece)
{
    bool inKernel = true;
    for (;;) {
        ssize_t n;
        if (inKernel) {
            n = ::copy_file_range(in, nullptr, out, nullptr, kRangeChunk, 0);
            if (n < 0) {
                if (errno == EINTR) continue;
                // Not offered for these files (another file system on an
                // older kernel, a file system without it): copy by hand from
                // where the positions are.
                if (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP ||
                    errno == EBADF || errno == EPERM || errno == ETXTBSY) {
                    inKernel = false;
                    continue;
                }
                readFailed = errno == EIO;
                return errno;
            }
        } else {
            if (buf.empty()) buf.resize(kChunk);
            n = ::read(in, buf.data(), buf.size());
            if (n < 0) {
                if (errno == EINTR) continue;
                readFailed = true;
                return errno;
            }
            for (ssize_t at = 0; at < n;) {
                const ssize_t w = ::write(out, buf.data() + at, std::size_t(n - at));
                if (w < 0) {
                    if (errno == EINTR) continue;
                    return errno;
                }
                at += w;
            }
        }
        if (n == 0) return 0;
        if (!onPiece(n)) return -1;
    }
}

class Runner
{
public:
    Runner(FileOpPrompt& prompt, bool move) : m_prompt(prompt), m_move(move) {}

    FileOpResult run(const std::vector<std::pair<QString, QString>>& pairs)
    {
        const FileOpBatch batch;
        qint64 total = 0;
        for (const auto& p : pairs)
            total += bytesOf(p.first);
        m_prompt.beginProgress(total);
        std::set<QString> folders;
        for (const auto& p : pairs)
            folders.insert(parentOf(absolutePathOf(p.second)));
        for (const QString& folder : folders)
            removeDeadTemps(folder); // what a killed run of the program left there
        for (const auto& [source, target] : pairs) {
            if (m_result.cancelled || cancelNow()) break;
            runOne(source, target);
        }
        // Also after a cancel: what was moved completely is moved.
        finishMoves();
        m_prompt.endProgress();
        return m_result;
    }

private:
    bool cancelNow()
    {
        if (!m_result.cancelled && m_prompt.cancelRequested()) m_result.cancelled = true;
        return m_result.cancelled;
    }

    void fail(FileOpError::Kind kind, const QString& path, int err = 0)
    {
        ++m_result.failed;
        m_prompt.reportError({kind, path, err ? reason(err) : QString()});
    }

    void runOne(const QString& source, QString target)
    {
        struct stat st;
        if (!lstatOf(source, st)) {
            fail(FileOpError::Missing, source, errno);
            return;
        }
        const QString folder = parentOf(absolutePathOf(target));
        if (!isFolderPath(folder)) {
            fail(FileOpError::NoFolder, folder);
            return;
        }
        const QString from = resolvedPath(source);
        const QString to = resolvedPath(target);
        if (from == to) {
            if (m_move) { // already where it is asked to go
                ++m_result.done;
                m_result.targets << source;
                return;
            }
            target = freeCopyName(target, S_ISDIR(st.st_mode));
        } else if (S_ISDIR(st.st_mode)) {
            const QString canonical = canonicalPathOf(source);
            if (isInside(to, canonical.isEmpty() ? from : canonical) ||
                isFolderInside(folder, source)) {
                fail(FileOpError::IntoItself, source);
                return;
            }
        }
        const Step step = m_move ? moveItem(source, target) : copyItem(source, target, nullptr);
        if (step == Step::Ok) {
            ++m_result.done;
            m_result.targets << target;
        }
    }

    // A conflict's answer, asked or remembered.
    ConflictAnswer answer(const QString& source, const QString& target)
    {
        return askConflictInBatch(m_prompt, source, target);
    }

    // Handles a source meeting an existing target that is not a folder to
    // merge into: Ok means replace.
    Step conflict(const QString& source, const struct stat& s, const QString& target,
                  const struct stat& t)
    {
        switch (answer(source, target)) {
        case ConflictAnswer::Skip:
            ++m_result.skipped;
            return Step::Skipped;
        case ConflictAnswer::Cancel:
            m_result.cancelled = true;
            return Step::Cancelled;
        case ConflictAnswer::Replace:
            break;
        }
        if (S_ISDIR(s.st_mode) != S_ISDIR(t.st_mode)) {
            fail(FileOpError::TypeMismatch, target);
            return Step::Failed;
        }
        return Step::Ok;
    }

    // Copies source to target. A completed copy of a regular file whose
    // size was checked is added to copied (the sources a cross-device move
    // may delete).
    Step copyItem(const QString& source, const QString& target, QStringList* copied)
    {
        if (cancelNow()) return Step::Cancelled;
        struct stat s, t;
        if (!lstatOf(source, s)) {
            fail(FileOpError::Missing, source, errno);
            return Step::Failed;
        }
        bool replace = false;
        if (lstatOf(target, t)) {
            if (S_ISDIR(s.st_mode) && S_ISDIR(t.st_mode))
                return mergeChildren(source, target, copied);
            const Step c = conflict(source, s, target, t);
            if (c != Step::Ok) return c;
            replace = true;
        }
        if (S_ISDIR(s.st_mode)) return copyFolder(source, s, target, copied);
        if (S_ISREG(s.st_mode) || S_ISLNK(s.st_mode))
            return copyFile(source, s, target, replace, copied);
        fail(FileOpError::Unsupported, source);
        return Step::Failed;
    }

    Step mergeChildren(const QString& source, const QString& target, QStringList* copied)
    {
        const ChainStep onChain(*this, source, target);
        if (!onChain.entered) return Step::Failed;
        removeDeadTemps(target);
        int err;
        const QStringList names = childNames(source, &err);
        if (err) {
            fail(FileOpError::ReadFailed, source, err);
            return Step::Failed;
        }
        Step worst = Step::Ok;
        for (const QString& name : names) {
            const Step step =
                m_move && !copied
                    ? moveItem(joinPath(source, name), joinPath(target, name))
                    : copyItem(joinPath(source, name), joinPath(target, name), copied);
            if (step == Step::Cancelled) return step;
            if (step != Step::Ok)
                worst = step == Step::Failed ? Step::Failed
                                             : (worst == Step::Ok ? Step::Skipped : worst);
        }
        if (m_move && !copied) {
            // Stays when something was left behind; one whose files wait
            // for finishMoves is tried again there.
            if (::rmdir(enc(source).constData()) != 0) m_leftFolders.push_back({source, false});
        }
        return worst;
    }

    // A new folder is built under a temporary name and renamed into place
    // when complete, so a cancel leaves no half folder behind.
    Step copyFolder(const QString& source, const struct stat& s, const QString& target,
                    QStringList* copied)
    {
        const QString folder = parentOf(absolutePathOf(target));
        QByteArray pattern = tempPattern(folder, ".sqcopy-");
        if (!::mkdtemp(pattern.data())) {
            fail(FileOpError::WriteFailed, target, errno);
            return Step::Failed;
        }
        const QString temp = dec(pattern.constData());
        const int held = holdTemp(pattern);
        const auto release = qScopeGuard([held] {
            if (held >= 0) ::close(held);
        });
        const ChainStep onChain(*this, source, temp);
        if (!onChain.entered) {
            removeOwnTree(temp);
            return Step::Failed;
        }
        int err;
        const QStringList names = childNames(source, &err);
        if (err) {
            removeOwnTree(temp);
            fail(FileOpError::ReadFailed, source, err);
            return Step::Failed;
        }
        QStringList done;
        Step worst = Step::Ok;
        for (const QString& name : names) {
            const Step step =
                copyItem(joinPath(source, name), joinPath(temp, name), copied ? &done : nullptr);
            if (step == Step::Cancelled) {
                removeOwnTree(temp);
                return step;
            }
            if (step != Step::Ok) worst = Step::Failed;
        }
        ::chmod(pattern.constData(), s.st_mode & 07777);
        const timespec times[2] = {s.st_atim, s.st_mtim};
        ::utimensat(AT_FDCWD, pattern.constData(), times, 0);
        if (const int e = renameNoReplace(temp, target)) {
            removeOwnTree(temp);
            fail(FileOpError::WriteFailed, target, e);
            return Step::Failed;
        }
        if (copied) *copied << done;
        return worst;
    }

    Step copyFile(const QString& source, const struct stat& s, const QString& target, bool replace,
                  QStringList* copied)
    {
        const QString folder = parentOf(absolutePathOf(target));
        QByteArray temp = tempPattern(folder, ".sqcopy-");
        const Step step =
            S_ISLNK(s.st_mode) ? writeLink(source, temp) : writeCopy(source, s, temp, replace);
        if (step != Step::Ok) return step;
        const QString tempPath = dec(temp.constData());
        int e = 0;
        if (replace)
            e = ::rename(temp.constData(), enc(target).constData()) == 0 ? 0 : errno;
        else
            e = renameNoReplace(tempPath, target);
        if (e) {
            ::unlink(temp.constData());
            fail(FileOpError::WriteFailed, target, e);
            return Step::Failed;
        }
        if (copied) *copied << source;
        return Step::Ok;
    }

    Step writeLink(const QString& source, QByteArray& temp)
    {
        QByteArray link(4096, '\0');
        const ssize_t n = ::readlink(enc(source).constData(), link.data(), link.size());
        if (n < 0 || n >= link.size()) {
            fail(FileOpError::ReadFailed, source, n < 0 ? errno : ENAMETOOLONG);
            return Step::Failed;
        }
        link.truncate(int(n));
        // mkstemp gives a free name; the link takes its place.
        const int fd = ::mkstemp(temp.data());
        if (fd < 0) {
            fail(FileOpError::WriteFailed, dec(temp.constData()), errno);
            return Step::Failed;
        }
        ::close(fd);
        ::unlink(temp.constData());
        if (::symlink(link.constData(), temp.constData()) != 0) {
            fail(FileOpError::WriteFailed, dec(temp.constData()), errno);
            return Step::Failed;
        }
        return Step::Ok;
    }

    // Writes the bytes of source into a new temporary file (its name left in
    // temp) and checks that the source did not change meanwhile.
    //
    // durable: the copy will replace an existing file, so its bytes reach
    // the disk before the rename does; otherwise a crash could leave neither
    // the old file nor the new one. A copy under a new name needs no such
    // flush: a crash loses at worst the new copy, never data that existed
    // (a move across file systems flushes once before deleting sources, see
    // finishMoves).
    Step writeCopy(const QString& source, const struct stat& s, QByteArray& temp, bool durable)
    {
        const int in = ::open(enc(source).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        if (in < 0) {
            fail(FileOpError::ReadFailed, source, errno);
            return Step::Failed;
        }
        const int out = ::mkstemp(temp.data());
        if (out < 0) {
            const int e = errno;
            ::close(in);
            fail(FileOpError::WriteFailed, parentOf(dec(temp.constData())), e);
            return Step::Failed;
        }
        holdTemp(out);
        auto abandon = [&](Step step) {
            ::close(in);
            ::close(out);
            ::unlink(temp.constData());
            return step;
        };
        if (cancelNow()) return abandon(Step::Cancelled);
        qint64 written = 0;
        bool readFailed = false;
        const int e = copyBytes(in, out, m_buf, readFailed, [&](ssize_t n) {
            written += n;
            m_bytes += n;
            m_prompt.stepProgress(m_bytes);
            return !cancelNow();
        });
        if (e < 0) return abandon(Step::Cancelled);
        if (e > 0) {
            fail(readFailed ? FileOpError::ReadFailed : FileOpError::WriteFailed, source, e);
            return abandon(Step::Failed);
        }
        struct stat now, copy;
        const bool same = ::fstat(in, &now) == 0 && now.st_size == s.st_size &&
                          now.st_size == written && now.st_mtim.tv_sec == s.st_mtim.tv_sec &&
                          now.st_mtim.tv_nsec == s.st_mtim.tv_nsec;
        if (!same || ::fstat(out, &copy) != 0 || copy.st_size != written) {
            fail(FileOpError::Changed, source);
            return abandon(Step::Failed);
        }
        ::fchmod(out, s.st_mode & 07777);
        const timespec times[2] = {s.st_atim, s.st_mtim};
        ::futimens(out, times);
        if (durable && ::fdatasync(out) != 0) {
            fail(FileOpError::WriteFailed, source, errno);
            return abandon(Step::Failed);
        }
        ::close(in);
        if (::close(out) != 0) {
            fail(FileOpError::WriteFailed, source, errno);
            ::unlink(temp.constData());
            return Step::Failed;
        }
        return Step::Ok;
    }

    Step moveItem(const QString& source, const QString& target)
    {
        if (cancelNow()) return Step::Cancelled;
        struct stat s, t;
        if (!lstatOf(source, s)) {
            fail(FileOpError::Missing, source, errno);
            return Step::Failed;
        }
        if (lstatOf(target, t)) {
            if (s.st_dev == t.st_dev && s.st_ino == t.st_ino)
                return Step::Ok; // the same file under another name of the same path
            if (S_ISDIR(s.st_mode) && S_ISDIR(t.st_mode))
                return mergeChildren(source, target, nullptr);
            const Step c = conflict(source, s, target, t);
            if (c != Step::Ok) return c;
            // File over file: rename replaces atomically.
            if (::rename(enc(source).constData(), enc(target).constData()) == 0) {
                m_bytes += S_ISREG(s.st_mode) ? s.st_size : 0;
                m_prompt.stepProgress(m_bytes);
                return Step::Ok;
            }
            if (errno != EXDEV) {
                fail(FileOpError::WriteFailed, target, errno);
                return Step::Failed;
            }
            return moveAcross(source, s, target, true);
        }
        const int e = renameNoReplace(source, target);
        if (e == 0) {
            m_bytes += bytesOf(target);
            m_prompt.stepProgress(m_bytes);
            return Step::Ok;
        }
        if (e != EXDEV) {
            fail(FileOpError::WriteFailed, target, e);
            return Step::Failed;
        }
        return moveAcross(source, s, target, false);
    }

    // Another file system: copy now; the sources whose copies are complete
    // and checked are deleted by finishMoves, once the copies are on the
    // disk. Whatever could not be copied stays.
    Step moveAcross(const QString& source, const struct stat& s, const QString& target,
                    bool replace)
    {
        QStringList copied;
        Step step;
        if (S_ISDIR(s.st_mode))
            step = copyFolder(source, s, target, &copied);
        else if (S_ISREG(s.st_mode) || S_ISLNK(s.st_mode))
            step = copyFile(source, s, target, replace, &copied);
        else {
            fail(FileOpError::Unsupported, source);
            return Step::Failed;
        }
        if (step == Step::Cancelled) return step;
        if (!copied.isEmpty()) {
            m_toDelete << copied;
            m_syncFolders.insert(enc(parentOf(absolutePathOf(target))));
        }
        if (S_ISDIR(s.st_mode)) m_leftFolders.push_back({source, true});
        return step;
    }

    // The copies of a move across file systems reach the disk with one
    // flush of each target file system, not one per file; only then are
    // their sources deleted, so a crash never loses both.
    void finishMoves()
    {
        if (!m_toDelete.isEmpty()) {
            int err = 0;
            for (const QByteArray& folder : m_syncFolders) {
                const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
                if (fd < 0 || ::syncfs(fd) != 0) err = errno;
                if (fd >= 0) ::close(fd);
            }
            if (err) {
                // The copies are kept, and so are the sources.
                for (const QString& path : std::as_const(m_toDelete))
                    fail(FileOpError::DeleteFailed, path, err);
                m_toDelete.clear();
            }
            for (const QString& path : std::as_const(m_toDelete))
                if (::unlink(enc(path).constData()) != 0)
                    fail(FileOpError::DeleteFailed, path, errno);
        }
        for (const auto& [folder, all] : m_leftFolders) {
            if (all)
                removeEmptyFolders(folder);
            else
                ::rmdir(enc(folder).constData());
        }
        m_toDelete.clear();
        m_syncFolders.clear();
        m_leftFolders.clear();
    }

    static void removeEmptyFolders(const QString& folder)
    {
        int err;
        for (const QString& name : childNames(folder, &err)) {
            const QString path = joinPath(folder, name);
            struct stat st;
            if (lstatOf(path, st) && S_ISDIR(st.st_mode)) removeEmptyFolders(path);
        }
        ::rmdir(enc(folder).constData());
    }

    // A source folder and the folder its copy goes to, on the chain of the
    // folders being copied while the object lives. A source met again
    // (a bind mount of a folder inside itself, a copy walked into) is
    // refused as a copy into itself, and nothing is entered twice.
    struct ChainStep
    {
        ChainStep(Runner& runner, const QString& source, const QString& target)
            : chain(runner.m_chain)
        {
            struct stat st;
            if (::stat(enc(source).constData(), &st) == 0) {
                entered = !chain.contains(st.st_dev, st.st_ino);
                if (!entered) {
                    runner.fail(FileOpError::IntoItself, source);
                    return;
                }
                add(st);
            }
            if (::stat(enc(target).constData(), &st) == 0) add(st);
        }
        ~ChainStep()
        {
            for (const auto& [dev, ino] : added)
                chain.leave(dev, ino);
        }
        void add(const struct stat& st)
        {
            if (chain.enter(st.st_dev, st.st_ino)) added.emplace_back(st.st_dev, st.st_ino);
        }
        FolderChain& chain;
        bool entered = true;
        std::vector<std::pair<dev_t, ino_t>> added;
    };

    FolderChain m_chain;
    FileOpPrompt& m_prompt;
    const bool m_move;
    qint64 m_bytes = 0;
    FileOpResult m_result;
    std::vector<char> m_buf;
    // A move across file systems: sources to delete at the end, the target
    // folders whose file systems are flushed first, and the source folders
    // to remove when empty (true: with their empty subfolders).
    QStringList m_toDelete;
    std::set<QByteArray> m_syncFolders;
    std::vector<std::pair<QString, bool>> m_leftFolders;
};

std::vector<std::pair<QString, QString>> intoFolder(const QStringList& sources,
                                                    const QString& folder)
{
    std::vector<std::pair<QString, QString>> pairs;
    for (const QString& source : sources) {
        QString cleaned = QDir::cleanPath(source);
        pairs.emplace_back(cleaned, joinPath(folder, fileNameOf(cleaned)));
    }
    return pairs;
}

} // namespace detail

using namespace detail;

FileOpActivity& FileOpActivity::instance()
{
    static FileOpActivity activity;
    return activity;
}

FileOpBatch::FileOpBatch()
{
    FileOpActivity& a = FileOpActivity::instance();
    if (a.m_depth++ == 0) a.m_answerForAll.reset();
}

FileOpBatch::~FileOpBatch()
{
    FileOpActivity& a = FileOpActivity::instance();
    if (--a.m_depth == 0) {
        a.m_answerForAll.reset();
        Q_EMIT a.finished();
    }
}

ConflictAnswer askConflictInBatch(FileOpPrompt& prompt, const QString& source,
                                  const QString& target)
{
    FileOpActivity& a = FileOpActivity::instance();
    if (a.m_depth > 0 && a.m_answerForAll) return *a.m_answerForAll;
    bool all = false;
    const ConflictAnswer answer = prompt.askConflict(source, target, all);
    if (all && a.m_depth > 0) a.m_answerForAll = answer;
    return answer;
}

ConflictAnswer QuietFileOpPrompt::askConflict(const QString&, const QString&, bool&)
{
    ++conflicts;
    return m_answer;
}

QString errorText(const FileOpError& error)
{
    struct Text
    {
        FileOpError::Kind kind;
        const char* text;
    };
    static const Text texts[] = {
        {FileOpError::Missing, "見つかりません"},
        {FileOpError::NoFolder, "フォルダがありません"},
        {FileOpError::IntoItself, "フォルダをそれ自身の中へコピーまたは移動することはできません"},
        {FileOpError::TypeMismatch, "フォルダとファイルを置き換えることはできません"},
        {FileOpError::Unsupported, "この種類のファイルはコピーできません"},
        {FileOpError::ReadFailed, "読み込めませんでした"},
        {FileOpError::WriteFailed, "書き込めませんでした"},
        {FileOpError::Changed, "コピー中にファイルが変更されました"},
        {FileOpError::TrashFailed, "ごみ箱へ移動できませんでした"},
        {FileOpError::DeleteFailed, "移動元を削除できませんでした (コピーは完了しています)"},
        {FileOpError::RenameFailed, "処理は失敗しました"},
    };
    QString text;
    for (const Text& t : texts)
        if (t.kind == error.kind) text = QString::fromUtf8(t.text);
    QString message = displayText(error.path) + QLatin1Char('\n') + text;
    if (!error.detail.isEmpty())
        message += QStringLiteral(" (") + displayText(error.detail) + QLatin1Char(')');
    return message;
}

FileOpResult copyInto(const QStringList& sources, const QString& folder, FileOpPrompt& prompt)
{
    return Runner(prompt, false).run(intoFolder(sources, folder));
}

FileOpResult moveInto(const QStringList& sources, const QString& folder, FileOpPrompt& prompt)
{
    return Runner(prompt, true).run(intoFolder(sources, folder));
}

FileOpResult copyTo(const QString& source, const QString& target, FileOpPrompt& prompt)
{
    return Runner(prompt, false).run({{QDir::cleanPath(source), QDir::cleanPath(target)}});
}

FileOpResult moveTo(const QString& source, const QString& target, FileOpPrompt& prompt)
{
    return Runner(prompt, true).run({{QDir::cleanPath(source), QDir::cleanPath(target)}});
}

bool isValidFileName(const QString& name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(QLatin1Char('/')) && !name.contains(QChar(0));
}

RenameStatus renameEntry(const QString& path, const QString& newName, QString* newPath)
{
    const QString cleaned = QDir::cleanPath(path);
    if (newPath) *newPath = cleaned;
    if (!isValidFileName(newName)) return RenameStatus::BadName;
    if (!exists(cleaned)) return RenameStatus::Missing;
    // The folder keeps its bytes; the typed name is UTF-8.
    const QString target = joinPath(parentOf(cleaned), newName);
    if (target == cleaned) return RenameStatus::Renamed;
    const int e = renameNoReplace(cleaned, target);
    if (e == EEXIST || e == ENOTEMPTY) return RenameStatus::Exists;
    if (e) return RenameStatus::Failed;
    if (newPath) *newPath = target;
    return RenameStatus::Renamed;
}

} // namespace sq::platform
