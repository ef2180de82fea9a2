// Writing a whole file so that readers see the old file or the new one,
// never a part: the bytes go to a temporary file in the same folder, which
// is renamed over the target only once every byte is written. Used by batch
// conversion and the settings and favourites files; FileLock serialises the
// programs that share one data folder. Any thread.
#pragma once

#include <QByteArray>
#include <QString>

namespace sq::platform {

// Writes bytes to path (a carrier, NativePath.h), replacing what is there.
// durable: the data reaches the disk before the rename (for files whose
// loss matters more than speed). The new file takes the old one's
// permission bits, or 0666 less the umask. Returns 0, or the errno of the
// step that failed; then the target is untouched and no temporary file is
// left.
// A symbolic link at path is replaced by the new file; what it pointed to
// is left as it was.
int writeFileAtomically(const QString& path, const QByteArray& bytes, bool durable = false);

// The same for a file that must not exist yet: the complete file takes the
// name only if nothing has it by then, else EEXIST and nothing changes. A
// file that appears while the bytes are written is never replaced.
int writeNewFileAtomically(const QString& path, const QByteArray& bytes);

// Renames from to to without ever replacing what is at to: 0, EEXIST when
// something is there, or the errno of the failure. Where the file system
// lacks the flag for it, a hard link (or a check, on FAT) stands in.
int renameNoReplace(const QString& from, const QString& to);

// An exclusive flock on the file at path (created when missing, never
// through a symbolic link), held while the object lives. Waits up to
// waitMs for another holder; locked() is false when the lock could not be
// had (then the caller goes on unlocked, as before locks existed).
class FileLock
{
public:
    explicit FileLock(const QString& path, int waitMs = 5000);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    bool locked() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

} // namespace sq::platform
