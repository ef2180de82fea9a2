#include "platform/ShownFileWatch.h"

#include "platform/FolderWatch.h"
#include "platform/NativePath.h"
#include "platform/PathOps.h"

#include <QSocketNotifier>

#include <sys/stat.h>

namespace sq::platform {

FileStamp fileStampOf(const QString& path)
{
    FileStamp stamp;
    struct stat st;
    if (path.isEmpty() || ::stat(nativePath(path).constData(), &st) != 0) return stamp;
    stamp.exists = true;
    stamp.regular = S_ISREG(st.st_mode);
    stamp.device = std::uint64_t(st.st_dev);
    stamp.inode = std::uint64_t(st.st_ino);
    stamp.size = std::int64_t(st.st_size);
    stamp.mtimeSec = std::int64_t(st.st_mtim.tv_sec);
    stamp.mtimeNsec = std::int64_t(st.st_mtim.tv_nsec);
    stamp.ctimeSec = std::int64_t(st.st_ctim.tv_sec);
    stamp.ctimeNsec = std::int64_t(st.st_ctim.tv_nsec);
    return stamp;
}

struct ShownFileWatch::Folder
{
    QString path;
    FolderWatch watch;
    std::unique_ptr<QSocketNotifier> notifier;
};

ShownFileWatch::ShownFileWatch(QObject* parent) : QObject(parent)
{
    m_settle.setSingleShot(true);
    m_settle.setInterval(SettleMs);
    connect(&m_settle, &QTimer::timeout, this, &ShownFileWatch::check);
}

ShownFileWatch::~ShownFileWatch() = default;

void ShownFileWatch::setFiles(const QStringList& files)
{
    m_files.clear();
    QStringList wanted;
    for (const QString& file : files) {
        if (file.isEmpty()) continue;
        const QString absolute = absolutePathOf(file);
        bool known = false;
        for (const auto& shown : m_files)
            known = known || shown.first == absolute;
        if (known) continue;
        m_files.emplace_back(absolute, fileStampOf(absolute));
        const QString folder = parentOf(absolute);
        if (!wanted.contains(folder)) wanted << folder;
    }
    // Folders no longer wanted stop; the others keep their watch, so no
    // change is missed while the files are set again.
    std::erase_if(m_folders, [&wanted](const std::unique_ptr<Folder>& f) {
        return !wanted.contains(f->path);
    });
    for (const QString& folder : wanted) {
        bool watched = false;
        for (const auto& f : m_folders)
            watched = watched || f->path == folder;
        if (watched) continue;
        auto f = std::make_unique<Folder>();
        f->path = folder;
        // Writes, replacements by rename, touches and removals.
        if (!f->watch.open(folder,
                           ChangeFileName | ChangeSize | ChangeLastWrite | ChangeAttributes))
            continue;
        f->notifier = std::make_unique<QSocketNotifier>(f->watch.fd(), QSocketNotifier::Read);
        Folder* raw = f.get();
        connect(f->notifier.get(), &QSocketNotifier::activated, this, [this, raw] {
            if (raw->watch.takeChanges()) m_settle.start();
        });
        m_folders.push_back(std::move(f));
    }
    if (m_files.empty()) m_settle.stop();
}

QStringList ShownFileWatch::files() const
{
    QStringList out;
    for (const auto& shown : m_files)
        out << shown.first;
    return out;
}

QStringList ShownFileWatch::folders() const
{
    QStringList out;
    for (const auto& f : m_folders)
        out << f->path;
    return out;
}

void ShownFileWatch::check()
{
    QStringList changed;
    for (auto& shown : m_files) {
        const FileStamp now = fileStampOf(shown.first);
        if (now == shown.second) continue;
        shown.second = now;
        // A file gone (or half replaced, for a moment) is left as shown.
        if (now.regular) changed << shown.first;
    }
    for (const QString& file : changed)
        if (OnChanged) OnChanged(file);
}

} // namespace sq::platform
