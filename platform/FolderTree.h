// The folder tree as an item model, for the main window's folder tree and the
// start-up folder dialog. Names are read with readdir and kept as bytes, so a
// folder whose name is not UTF-8 is listed (shown with U+FFFD) and
// filePath() names it exactly; QFileSystemModel drops such folders. One row,
// "/", at the top; below it each folder's subfolders, hidden ones (a name
// starting with ".") left out, in the natural, case-insensitive order of
// their names. A folder is read when it is first expanded or looked up, and
// again when it changes on disk (an inotify watch on each folder read, served
// by the event loop; a burst of changes is read once). GUI thread only.
#pragma once

#include <QAbstractItemModel>
#include <QByteArray>
#include <QTimer>

#include <memory>
#include <set>
#include <unordered_map>

class QSocketNotifier;

namespace sq::platform {

class FolderTree final : public QAbstractItemModel
{
public:
    explicit FolderTree(QObject* parent = nullptr);
    ~FolderTree() override;

    // The row of a folder (an absolute path, a carrier), reading the folders
    // on the way down; invalid when a step of it is not listed (missing,
    // hidden, not a folder).
    QModelIndex index(const QString& path);
    using QAbstractItemModel::index;

    // The folder's absolute path (a carrier) and its name's bytes.
    QString filePath(const QModelIndex& index) const;
    QByteArray fileName(const QModelIndex& index) const;

    // Reads the folder again now, if it was read: new subfolders get rows,
    // gone ones lose theirs, the others keep theirs (and what is read below
    // them).
    void refresh(const QString& path);

    // The number of folders watched for changes (tests).
    int watchCount() const { return int(m_watches.size()); }
    // The most folders watched at once; folders read past it are read again
    // only when expanded.
    static constexpr int kMaxWatches = 4096;

    QModelIndex index(int row, int column,
                      const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    bool hasChildren(const QModelIndex& parent = QModelIndex()) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;
    // DisplayRole: the name as shown ("/" for the top); ToolTipRole: the
    // path as shown; DecorationRole: the folder icon; Qt::UserRole: filePath().
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    struct Node;
    Node* nodeOf(const QModelIndex& index) const;
    QModelIndex indexOf(Node* node) const;
    QString pathOf(const Node* node) const;
    void read(Node* node);
    void reread(Node* node);
    void watch(Node* node);
    void forget(Node* node);
    void changed();

    std::unique_ptr<Node> m_top; // "/"
    int m_inotify = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::unordered_map<int, Node*> m_watches; // watch descriptor -> folder
    std::set<int> m_pending;                  // watch descriptors that changed
    QTimer m_settle;
};

} // namespace sq::platform
