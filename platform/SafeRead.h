// Opening and reading files that come from outside the program (pictures,
// the settings and favourites files, the thumbnail cache) so that a FIFO, a
// device or a huge file never blocks a thread or fills memory. Every reader
// of an outside file in the engine and the app opens it through here.
// Paths are carriers (platform/NativePath.h). Any thread; one SafeFile
// belongs to one thread at a time.
#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

class QFile;

namespace sq::platform {

// What a path names, symbolic links followed; nothing is opened.
enum class PathKind { Missing, Regular, Directory, Other };
PathKind pathKind(const QString& path);

// How an open ended. NotRegular covers FIFOs, sockets, devices and folders.
enum class OpenResult { Ok, Missing, NotRegular, TooLarge, Failed };

// A regular file opened without waiting: the path is checked before the open
// (a device is never opened, so opening has no side effects), opened with
// O_NONBLOCK | O_CLOEXEC | O_NOCTTY, and the open descriptor is checked again
// (a FIFO swapped in between is refused, not waited on). O_NONBLOCK stays set:
// regular files ignore it, and the few pseudo-files that would block a read
// fail the read instead.
class SafeFile
{
public:
    static constexpr qint64 NoLimit = -1;
    enum Mode {
        ReadOnly,
        ReadWrite,
        // Creates the file (mode 0644 before the umask); fails with Failed
        // and errno EEXIST when something exists at the path.
        CreateNew,
    };

    SafeFile() = default;
    // Refuses a file longer than maxSize bytes (TooLarge) unless NoLimit.
    explicit SafeFile(const QString& path, qint64 maxSize = NoLimit, Mode mode = ReadOnly);
    ~SafeFile();
    SafeFile(SafeFile&& other) noexcept;
    SafeFile& operator=(SafeFile&& other) noexcept;
    SafeFile(const SafeFile&) = delete;
    SafeFile& operator=(const SafeFile&) = delete;

    bool isOpen() const { return m_fd >= 0; }
    OpenResult result() const { return m_result; }
    // errno of a failed open (0 when it succeeded or the check refused).
    int error() const { return m_errno; }
    int fd() const { return m_fd; }
    // The size when the file was opened.
    qint64 size() const { return m_size; }
    void close();
    // Hands the descriptor over to the caller, who closes it.
    int release();

    // Reads at most maxBytes from the current position, less at the end of
    // the file. *ok is false on a read error.
    QByteArray read(qint64 maxBytes, bool* ok = nullptr);
    // Reads up to len bytes into buf: the count read (0 at the end), -1 on
    // an error.
    qint64 read(char* buf, qint64 len);
    // Exactly len bytes at pos; false when the file holds fewer.
    bool readAt(qint64 pos, char* buf, qint64 len) const;

    // A QFile on the descriptor for Qt's readers, positioned at the start;
    // it does not own the descriptor and must not outlive this object.
    std::unique_ptr<QFile> device() const;

private:
    int m_fd = -1;
    qint64 m_size = 0;
    OpenResult m_result = OpenResult::Failed;
    int m_errno = 0;
};

// A whole regular file of at most maxSize bytes; empty when it cannot be
// read, with *result saying why (a file that grew past maxSize while read is
// TooLarge).
QByteArray readWholeFile(const QString& path, qint64 maxSize, OpenResult* result = nullptr);

// At most maxBytes from the start of a regular file of any size.
QByteArray readFileHead(const QString& path, qint64 maxBytes, OpenResult* result = nullptr);

} // namespace sq::platform
