// Links into a folder: "name - リンク.ext" beside its source, or the same
// name in another folder, with the conflict question where a name is taken.
#include "platform/FileOps.h"
#include "platform/FileOps_detail.h"
#include "platform/FileSafety.h"
#include "platform/NativePath.h"
#include "platform/PathOps.h"

#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace sq::platform {

using namespace detail;

FileOpResult linkInto(const QStringList& sources, const QString& folder, FileOpPrompt& prompt)
{
    const FileOpBatch batch;
    FileOpResult result;
    auto fail = [&](FileOpError::Kind kind, const QString& path, int err = 0) {
        ++result.failed;
        prompt.reportError({kind, path, err ? reason(err) : QString()});
    };
    prompt.beginProgress(0);
    removeDeadTemps(folder);
    for (const auto& [source, asked] : intoFolder(sources, folder)) {
        if (prompt.cancelRequested()) result.cancelled = true;
        if (result.cancelled) break;
        QString target = asked;
        struct stat s, t;
        if (!lstatOf(source, s)) {
            fail(FileOpError::Missing, source, errno);
            continue;
        }
        if (!isFolderPath(folder)) {
            fail(FileOpError::NoFolder, folder);
            continue;
        }
        const QString from = resolvedPath(source);
        const QString to = resolvedPath(target);
        // A link in its source's place would replace the source.
        if (from == to) {
            target = freeCopyName(target, isFolderPath(source), QStringLiteral("リンク"));
        } else if (isFolderPath(source)) {
            const QString canonical = canonicalPathOf(source);
            if (isInside(to, canonical.isEmpty() ? from : canonical) ||
                isFolderInside(folder, source)) {
                fail(FileOpError::IntoItself, source);
                continue;
            }
        }
        const QByteArray pointsTo = enc(absolutePathOf(source));
        bool replace = false;
        if (lstatOf(target, t)) {
            const ConflictAnswer a = askConflictInBatch(prompt, source, target);
            if (a == ConflictAnswer::Cancel) {
                result.cancelled = true;
                break;
            }
            if (a == ConflictAnswer::Skip) {
                ++result.skipped;
                continue;
            }
            if (S_ISDIR(t.st_mode)) {
                fail(FileOpError::TypeMismatch, target);
                continue;
            }
            replace = true;
        }
        if (!replace) {
            // symlink never replaces: a name taken meanwhile fails.
            if (::symlink(pointsTo.constData(), enc(target).constData()) != 0) {
                fail(FileOpError::WriteFailed, target, errno);
                continue;
            }
        } else {
            // The new link is made beside the old file and renamed over it,
            // so the name is never missing.
            QByteArray temp = tempPattern(parentOf(target), ".sqlink-");
            const int fd = ::mkstemp(temp.data());
            if (fd < 0) {
                fail(FileOpError::WriteFailed, target, errno);
                continue;
            }
            ::close(fd);
            ::unlink(temp.constData());
            if (::symlink(pointsTo.constData(), temp.constData()) != 0 ||
                ::rename(temp.constData(), enc(target).constData()) != 0) {
                const int e = errno;
                ::unlink(temp.constData());
                fail(FileOpError::WriteFailed, target, e);
                continue;
            }
        }
        ++result.done;
        result.targets << target;
    }
    prompt.endProgress();
    return result;
}

} // namespace sq::platform
