// The files of one folder as a list model, for the main window's file list
// in its folder pane. Names are read with readdir and kept as carriers
// (platform/NativePath.h), so a file whose name is not UTF-8 is listed
// (shown with U+FFFD) and filePath() names it exactly; QFileSystemModel
// drops such files. The list follows changes in the folder through an
// inotify watch served by the event loop, gathers a burst of changes into
// one re-read, and holds them while a file operation runs. GUI thread only.
#pragma once

#include "platform/FolderWatch.h"

#include <QAbstractListModel>
#include <QByteArray>
#include <QStringList>
#include <QTimer>

#include <memory>
#include <vector>

class QSocketNotifier;

namespace sq::platform {

class FolderFileList final : public QAbstractListModel
{
public:
    explicit FolderFileList(QObject* parent = nullptr);
    ~FolderFileList() override;

    // Lists the files of folder (a carrier) and watches it. Returns the
    // root index (invalid), as QFileSystemModel::setRootPath does, so views
    // may set it as their root.
    QModelIndex setRootPath(const QString& folder);
    const QString& rootPath() const { return m_folder; }

    // Wildcard patterns ("*.jpg"), matched case-insensitively against the
    // name; an empty list or "*" lists every file. Files that do not match
    // are not listed.
    void setNameFilters(const QStringList& patterns);
    const QStringList& nameFilters() const { return m_patterns; }

    // Reads the folder again now.
    void refresh();

    // The file's full path (a carrier), its name's bytes.
    QString filePath(const QModelIndex& index) const;
    QByteArray fileName(int row) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    // DisplayRole: the name as shown; ToolTipRole: the full path as shown;
    // DecorationRole: the file type's small icon; Qt::UserRole: filePath().
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    // Whether a name passes the patterns (exposed for tests).
    static bool matches(const QString& name, const QStringList& patterns);

private:
    struct Entry;
    void watch();
    void changed();

    QString m_folder;
    QStringList m_patterns;
    std::vector<Entry> m_entries;
    std::unique_ptr<FolderWatch> m_watch;
    std::unique_ptr<QSocketNotifier> m_notifier;
    QTimer m_settle; // a burst of changes ends in one re-read
    bool m_held = false;
};

} // namespace sq::platform
