#include "platform/FolderTree.h"

#include "platform/IconList.h"
#include "platform/NativePath.h"
#include "platform/PathOps.h"
#include "platform/ShellCompare.h"
#include "platform/ShellFolder.h"

#include <QImage>
#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace sq::platform {

namespace {
constexpr int kSettleMs = 100;
constexpr std::uint32_t kWatchMask = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO |
                                     IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

struct Listed
{
    QByteArray name;
    QString shown;
};

// The listed subfolders of a folder, in the tree's order.
std::vector<Listed> subfoldersOf(const QString& folder)
{
    std::vector<Listed> listed;
    ShellFolder(folder).enumObjects(ContFolders, [&listed](EnumItem&& e) {
        if (e.attributes & AttrFolder) {
            QString shown = displayText(pathFromNative(e.name));
            listed.push_back({std::move(e.name), std::move(shown)});
        }
        return true;
    });
    const ShellCollator collator;
    std::vector<QCollatorSortKey> keys;
    keys.reserve(listed.size());
    for (const Listed& l : listed)
        keys.push_back(collator.sortKey(l.shown));
    std::vector<size_t> order(listed.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        const int c = keys[a].compare(keys[b]);
        return c != 0 ? c < 0 : listed[a].name < listed[b].name;
    });
    std::vector<Listed> sorted;
    sorted.reserve(listed.size());
    for (size_t i : order)
        sorted.push_back(std::move(listed[i]));
    return sorted;
}
} // namespace

struct FolderTree::Node
{
    QByteArray name; // the file system's bytes; empty for "/"
    QString shown;
    Node* parent = nullptr;
    int row = 0;
    bool listed = false;
    int wd = -1;
    std::vector<std::unique_ptr<Node>> children;

    void renumber()
    {
        for (size_t i = 0; i < children.size(); ++i)
            children[i]->row = int(i);
    }
};

FolderTree::FolderTree(QObject* parent)
    : QAbstractItemModel(parent), m_top(std::make_unique<Node>())
{
    m_top->shown = QStringLiteral("/");
    m_settle.setSingleShot(true);
    m_settle.setInterval(kSettleMs);
    connect(&m_settle, &QTimer::timeout, this, [this] {
        const std::set<int> pending = std::move(m_pending);
        m_pending.clear();
        for (int wd : pending) {
            // A folder read again may have dropped others that were pending.
            const auto it = m_watches.find(wd);
            if (it != m_watches.end()) reread(it->second);
        }
    });
    m_inotify = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_inotify >= 0) {
        m_notifier = std::make_unique<QSocketNotifier>(m_inotify, QSocketNotifier::Read);
        connect(m_notifier.get(), &QSocketNotifier::activated, this, [this] { changed(); });
    }
}

FolderTree::~FolderTree()
{
    m_notifier.reset();
    if (m_inotify >= 0) ::close(m_inotify);
}

FolderTree::Node* FolderTree::nodeOf(const QModelIndex& index) const
{
    return index.isValid() ? static_cast<Node*>(index.internalPointer()) : nullptr;
}

QModelIndex FolderTree::indexOf(Node* node) const
{
    return node ? createIndex(node->row, 0, node) : QModelIndex();
}

QString FolderTree::pathOf(const Node* node) const
{
    QByteArray path;
    for (const Node* n = node; n && n->parent; n = n->parent)
        path.prepend('/' + n->name);
    return path.isEmpty() ? QStringLiteral("/") : pathFromNative(path);
}

QModelIndex FolderTree::index(const QString& path)
{
    if (path.isEmpty()) return {};
    Node* node = m_top.get();
    for (const QByteArray& step : nativePath(absolutePathOf(path)).split('/')) {
        if (step.isEmpty()) continue;
        if (!node->listed) read(node);
        const auto it = std::find_if(node->children.begin(), node->children.end(),
                                     [&step](const auto& c) { return c->name == step; });
        if (it == node->children.end()) return {};
        node = it->get();
    }
    return indexOf(node);
}

QString FolderTree::filePath(const QModelIndex& index) const
{
    const Node* node = nodeOf(index);
    return node ? pathOf(node) : QString();
}

QByteArray FolderTree::fileName(const QModelIndex& index) const
{
    const Node* node = nodeOf(index);
    return node ? node->name : QByteArray();
}

void FolderTree::refresh(const QString& path)
{
    if (Node* node = nodeOf(index(path)); node && node->listed) reread(node);
}

void FolderTree::read(Node* node)
{
    std::vector<Listed> listed = subfoldersOf(pathOf(node));
    node->listed = true;
    if (!listed.empty()) {
        beginInsertRows(indexOf(node), 0, int(listed.size()) - 1);
        for (Listed& l : listed) {
            auto child = std::make_unique<Node>();
            child->name = std::move(l.name);
            child->shown = std::move(l.shown);
            child->parent = node;
            node->children.push_back(std::move(child));
        }
        node->renumber();
        endInsertRows();
    }
    watch(node);
}

void FolderTree::reread(Node* node)
{
    const std::vector<Listed> listed = subfoldersOf(pathOf(node));
    const QModelIndex parent = indexOf(node);
    std::set<QByteArray> names;
    for (const Listed& l : listed)
        names.insert(l.name);
    // Gone ones first, last to first; the rest are in the new order already.
    for (int row = int(node->children.size()) - 1; row >= 0; --row) {
        if (names.count(node->children[size_t(row)]->name)) continue;
        beginRemoveRows(parent, row, row);
        forget(node->children[size_t(row)].get());
        node->children.erase(node->children.begin() + row);
        node->renumber();
        endRemoveRows();
    }
    size_t at = 0;
    for (const Listed& l : listed) {
        if (at < node->children.size() && node->children[at]->name == l.name) {
            ++at;
            continue;
        }
        beginInsertRows(parent, int(at), int(at));
        auto child = std::make_unique<Node>();
        child->name = l.name;
        child->shown = l.shown;
        child->parent = node;
        node->children.insert(node->children.begin() + qsizetype(at), std::move(child));
        node->renumber();
        endInsertRows();
        ++at;
    }
    if (node->wd < 0) watch(node);
}

void FolderTree::watch(Node* node)
{
    if (m_inotify < 0 || node->wd >= 0 || int(m_watches.size()) >= kMaxWatches) return;
    const int wd = ::inotify_add_watch(m_inotify, nativePath(pathOf(node)).constData(), kWatchMask);
    // The same folder reached twice (through a link) has one watch: the
    // first row keeps it.
    if (wd < 0 || m_watches.count(wd)) return;
    node->wd = wd;
    m_watches[wd] = node;
}

void FolderTree::forget(Node* node)
{
    for (const auto& child : node->children)
        forget(child.get());
    if (node->wd < 0) return;
    ::inotify_rm_watch(m_inotify, node->wd);
    m_watches.erase(node->wd);
    m_pending.erase(node->wd);
    node->wd = -1;
}

void FolderTree::changed()
{
    alignas(inotify_event) char buf[16384];
    for (;;) {
        const ssize_t n = ::read(m_inotify, buf, sizeof buf);
        if (n <= 0) break;
        for (ssize_t at = 0; at + ssize_t(sizeof(inotify_event)) <= n;) {
            const auto* e = reinterpret_cast<const inotify_event*>(buf + at);
            at += ssize_t(sizeof(inotify_event)) + e->len;
            const auto it = m_watches.find(e->wd);
            if (e->mask & IN_Q_OVERFLOW) {
                for (const auto& [wd, node] : m_watches)
                    m_pending.insert(wd);
                continue;
            }
            if (it == m_watches.end()) continue;
            Node* node = it->second;
            if (e->mask & IN_IGNORED) { // the folder itself is gone
                node->wd = -1;
                m_watches.erase(it);
                m_pending.erase(e->wd);
                if (node->parent && node->parent->wd >= 0) m_pending.insert(node->parent->wd);
                continue;
            }
            if (e->mask & (IN_DELETE_SELF | IN_MOVE_SELF)) {
                if (node->parent && node->parent->wd >= 0) m_pending.insert(node->parent->wd);
                continue;
            }
            // A file coming or going matters only when it is a link to a
            // folder: one that comes is looked at, one that goes has a row.
            bool folder = (e->mask & IN_ISDIR) != 0;
            if (!folder && e->len > 0) {
                const QByteArray name(e->name);
                if (e->mask & (IN_CREATE | IN_MOVED_TO)) {
                    struct stat st;
                    const QByteArray path = nativePath(pathOf(node)) + '/' + name;
                    folder = ::stat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode);
                } else {
                    folder = std::any_of(node->children.begin(), node->children.end(),
                                         [&name](const auto& c) { return c->name == name; });
                }
            }
            if (folder) m_pending.insert(e->wd);
        }
    }
    if (!m_pending.empty()) m_settle.start();
}

QModelIndex FolderTree::index(int row, int column, const QModelIndex& parent) const
{
    if (column != 0 || row < 0) return {};
    if (!parent.isValid()) return row == 0 ? indexOf(m_top.get()) : QModelIndex();
    const Node* node = nodeOf(parent);
    if (size_t(row) >= node->children.size()) return {};
    return createIndex(row, 0, node->children[size_t(row)].get());
}

QModelIndex FolderTree::parent(const QModelIndex& child) const
{
    const Node* node = nodeOf(child);
    return node ? indexOf(node->parent) : QModelIndex();
}

int FolderTree::rowCount(const QModelIndex& parent) const
{
    if (!parent.isValid()) return 1;
    if (parent.column() != 0) return 0;
    return int(nodeOf(parent)->children.size());
}

int FolderTree::columnCount(const QModelIndex&) const
{
    return 1;
}

bool FolderTree::hasChildren(const QModelIndex& parent) const
{
    if (!parent.isValid()) return true;
    const Node* node = nodeOf(parent);
    return !node->listed || !node->children.empty();
}

bool FolderTree::canFetchMore(const QModelIndex& parent) const
{
    const Node* node = nodeOf(parent);
    return node && !node->listed;
}

void FolderTree::fetchMore(const QModelIndex& parent)
{
    if (Node* node = nodeOf(parent); node && !node->listed) read(node);
}

QVariant FolderTree::data(const QModelIndex& index, int role) const
{
    const Node* node = nodeOf(index);
    if (!node) return {};
    switch (role) {
    case Qt::DisplayRole:
        return node->shown;
    case Qt::ToolTipRole:
        return displayText(pathOf(node));
    case Qt::DecorationRole: {
        IconList& icons = IconList::instance();
        static const int folderIcon = icons.indexForMimeType(QStringLiteral("inode/directory"));
        return icons.small(folderIcon);
    }
    case Qt::UserRole:
        return pathOf(node);
    default:
        return {};
    }
}

} // namespace sq::platform
