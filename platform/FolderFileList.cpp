#include "platform/FolderFileList.h"

#include "platform/FileOps.h"
#include "platform/IconList.h"
#include "platform/NativePath.h"
#include "platform/PathOps.h"
#include "platform/ShellCompare.h"
#include "platform/ShellFolder.h"

#include <QImage>
#include <QRegularExpression>
#include <QSocketNotifier>

#include <algorithm>

namespace sq::platform {

namespace {
constexpr int kSettleMs = 100;

// The patterns compiled once per read, not once per name.
class NamePatterns
{
public:
    explicit NamePatterns(const QStringList& patterns) : m_all(patterns.isEmpty())
    {
        for (const QString& p : patterns) {
            if (p == QLatin1String("*")) m_all = true;
            m_res.emplace_back(QRegularExpression::wildcardToRegularExpression(p),
                               QRegularExpression::CaseInsensitiveOption);
        }
    }
    bool matches(const QString& name) const
    {
        if (m_all) return true;
        for (const QRegularExpression& re : m_res)
            if (re.match(name).hasMatch()) return true;
        return false;
    }

private:
    bool m_all;
    std::vector<QRegularExpression> m_res;
};
} // namespace

struct FolderFileList::Entry
{
    QByteArray name; // the file system's bytes
    QString shown;   // as shown
    QCollatorSortKey key;
};

FolderFileList::FolderFileList(QObject* parent) : QAbstractListModel(parent)
{
    m_settle.setSingleShot(true);
    m_settle.setInterval(kSettleMs);
    connect(&m_settle, &QTimer::timeout, this, [this] { changed(); });
}

FolderFileList::~FolderFileList() = default;

bool FolderFileList::matches(const QString& name, const QStringList& patterns)
{
    return NamePatterns(patterns).matches(name);
}

QModelIndex FolderFileList::setRootPath(const QString& folder)
{
    m_folder = folder;
    refresh();
    watch();
    return QModelIndex();
}

void FolderFileList::setNameFilters(const QStringList& patterns)
{
    if (patterns == m_patterns) return;
    m_patterns = patterns;
    refresh();
}

void FolderFileList::refresh()
{
    std::vector<Entry> entries;
    if (!m_folder.isEmpty()) {
        const ShellCollator collator;
        const NamePatterns patterns(m_patterns);
        ShellFolder(m_folder).enumObjects(ContNonFolders | ContIncludeHidden, [&](EnumItem&& e) {
            const QString shown = displayText(pathFromNative(e.name));
            if (patterns.matches(shown))
                entries.push_back({std::move(e.name), shown, collator.sortKey(shown)});
            return true;
        });
        std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
            const int c = a.key.compare(b.key);
            return c != 0 ? c < 0 : a.name < b.name;
        });
    }
    beginResetModel();
    m_entries = std::move(entries);
    endResetModel();
}

void FolderFileList::watch()
{
    m_notifier.reset();
    m_watch.reset();
    m_settle.stop();
    if (m_folder.isEmpty()) return;
    auto w = std::make_unique<FolderWatch>();
    if (!w->open(m_folder, ChangeFileName | ChangeSize | ChangeLastWrite)) return;
    m_watch = std::move(w);
    m_notifier = std::make_unique<QSocketNotifier>(m_watch->fd(), QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, [this] {
        if (m_watch && m_watch->takeChanges()) m_settle.start();
    });
}

void FolderFileList::changed()
{
    FileOpActivity& activity = FileOpActivity::instance();
    if (activity.running()) {
        if (!m_held) {
            m_held = true;
            connect(
                &activity, &FileOpActivity::finished, this,
                [this] {
                    m_held = false;
                    refresh();
                },
                Qt::ConnectionType(Qt::QueuedConnection | Qt::SingleShotConnection));
        }
        return;
    }
    refresh();
}

QString FolderFileList::filePath(const QModelIndex& index) const
{
    if (!index.isValid() || index.row() >= int(m_entries.size())) return {};
    return joinPath(m_folder, pathFromNative(m_entries[size_t(index.row())].name));
}

QByteArray FolderFileList::fileName(int row) const
{
    return row >= 0 && row < int(m_entries.size()) ? m_entries[size_t(row)].name : QByteArray();
}

int FolderFileList::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_entries.size());
}

QVariant FolderFileList::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= int(m_entries.size())) return {};
    const Entry& e = m_entries[size_t(index.row())];
    switch (role) {
    case Qt::DisplayRole:
        return e.shown;
    case Qt::ToolTipRole:
        return displayText(filePath(index));
    case Qt::DecorationRole:
        return IconList::instance().small(IconList::instance().indexForPath(filePath(index)));
    case Qt::UserRole:
        return filePath(index);
    default:
        return {};
    }
}

} // namespace sq::platform
