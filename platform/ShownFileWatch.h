// Whether the files a window shows have changed on disk: a file's stamp as
// stat reports it, and a watch of the folders of a few shown files that
// tells which of them were written, replaced or touched since they were
// shown. Used by the viewer windows to load a shown picture again. GUI
// thread: the watch runs on the event loop of the thread that made it.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace sq::platform {

class FolderWatch;

// What stat says of a file (links followed). Two stamps differ when the
// file was written, replaced by another file, touched or removed.
struct FileStamp
{
    bool exists = false;
    bool regular = false;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t mtimeSec = 0;
    std::int64_t mtimeNsec = 0;
    std::int64_t ctimeSec = 0;
    std::int64_t ctimeNsec = 0;
    bool operator==(const FileStamp&) const = default;
};

// The stamp of path (a carrier, NativePath.h) now; !exists when stat fails.
FileStamp fileStampOf(const QString& path);

class ShownFileWatch final : public QObject
{
public:
    // Quiet time after the last change in a watched folder before the
    // files are compared: a file being written is looked at once it rests.
    static constexpr int SettleMs = 150;

    explicit ShownFileWatch(QObject* parent = nullptr);
    ~ShownFileWatch() override;

    // The files shown now, each stamped as it is now ("" entries are
    // skipped); their folders are watched. An empty list stops watching.
    void setFiles(const QStringList& files);
    QStringList files() const;
    // The folders watched now.
    QStringList folders() const;

    // Runs for each shown file that is a regular file and whose stamp
    // differs from the one it was shown with; the stamp is renewed first,
    // so it may call setFiles.
    std::function<void(const QString& file)> OnChanged;

    // Compares the shown files with their stamps now (the watch does it
    // SettleMs after a burst of changes in their folders).
    void check();

private:
    struct Folder;
    std::vector<std::unique_ptr<Folder>> m_folders;
    std::vector<std::pair<QString, FileStamp>> m_files;
    QTimer m_settle;
};

} // namespace sq::platform
