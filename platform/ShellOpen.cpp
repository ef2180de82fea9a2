#include "platform/ShellOpen.h"

#include "platform/FileClipboard.h"
#include "platform/NativePath.h"

#include <QDesktopServices>
#include <QDir>
#include <QDirIterator>
#include <QHash>
#include <QMimeDatabase>
#include <QSet>
#include <QUrl>

#include <fcntl.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace sq::platform {

namespace {

// Association files are small; anything else (a FIFO, a device, a huge
// file) is not read.
constexpr qint64 kMaxListFile = 1 << 20;

QByteArray readSmallFile(const QString& path)
{
    const int fd = ::open(nativePath(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return {};
    QByteArray bytes;
    struct stat st;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= kMaxListFile) {
        bytes.resize(qsizetype(st.st_size));
        qsizetype got = 0;
        while (got < bytes.size()) {
            const ssize_t n = ::read(fd, bytes.data() + got, size_t(bytes.size() - got));
            if (n <= 0) break;
            got += n;
        }
        bytes.truncate(got);
    }
    ::close(fd);
    return bytes;
}

// The key = value lines of an INI-like file, by group.
using Groups = QHash<QString, QHash<QString, QString>>;

Groups parseGroups(const QByteArray& bytes)
{
    Groups groups;
    QString group;
    for (const QByteArray& raw : bytes.split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#'))) continue;
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            group = line.mid(1, line.size() - 2);
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq <= 0 || group.isEmpty()) continue;
        groups[group].insert(line.left(eq).trimmed(), line.mid(eq + 1).trimmed());
    }
    return groups;
}

QStringList splitList(const QString& value)
{
    return value.split(QLatin1Char(';'), Qt::SkipEmptyParts);
}

struct Entry
{
    bool usable = false;
    QStringList mimeTypes;
};

// Installed desktop entries by id; a folder earlier in the list shadows the
// same id further on. An id is the path below the folder with "/" as "-".
std::map<QString, Entry> installedEntries(const QStringList& appDirs)
{
    std::map<QString, Entry> entries;
    for (const QString& dir : appDirs) {
        const QString root = QDir::cleanPath(dir) + QLatin1Char('/');
        QDirIterator it(dir, {QStringLiteral("*.desktop")}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            QString id = path.mid(root.size());
            id.replace(QLatin1Char('/'), QLatin1Char('-'));
            if (entries.count(id)) continue;
            const auto group =
                parseGroups(readSmallFile(path)).value(QStringLiteral("Desktop Entry"));
            Entry e;
            e.usable = group.value(QStringLiteral("Type")) == QLatin1String("Application") &&
                       !group.value(QStringLiteral("Exec")).isEmpty() &&
                       group.value(QStringLiteral("Hidden")) != QLatin1String("true");
            e.mimeTypes = splitList(group.value(QStringLiteral("MimeType")));
            entries.emplace(id, e);
        }
    }
    return entries;
}

QStringList envDirs(const char* name, const QString& fallback)
{
    const QString value = qEnvironmentVariable(name);
    return (value.isEmpty() ? fallback : value).split(QLatin1Char(':'), Qt::SkipEmptyParts);
}

QString envDir(const char* name, const QString& fallback)
{
    const QString value = qEnvironmentVariable(name);
    return value.isEmpty() ? fallback : value;
}

} // namespace

MimeAppsDirs mimeAppsDirsFromEnvironment()
{
    const QString home = QDir::homePath();
    const QString configHome = envDir("XDG_CONFIG_HOME", home + QStringLiteral("/.config"));
    const QString dataHome = envDir("XDG_DATA_HOME", home + QStringLiteral("/.local/share"));
    const QStringList configDirs = envDirs("XDG_CONFIG_DIRS", QStringLiteral("/etc/xdg"));
    const QStringList dataDirs =
        envDirs("XDG_DATA_DIRS", QStringLiteral("/usr/local/share:/usr/share"));
    MimeAppsDirs dirs;
    dirs.listDirs << configHome << configDirs;
    dirs.appDirs << dataHome + QStringLiteral("/applications");
    for (const QString& d : dataDirs)
        dirs.appDirs << d + QStringLiteral("/applications");
    // The data folders' application folders may hold lists as well.
    dirs.listDirs << dirs.appDirs;
    return dirs;
}

QStringList mimeTypesOf(const QString& path)
{
    static const QMimeDatabase db;
    const QMimeType type = db.mimeTypeForFile(path);
    QStringList types{type.name()};
    for (const QString& parent : type.allAncestors())
        if (!types.contains(parent)) types << parent;
    return types;
}

QString findMimeHandler(const QStringList& mimeTypes, const MimeAppsDirs& dirs)
{
    const std::map<QString, Entry> entries = installedEntries(dirs.appDirs);
    auto usable = [&](const QString& id) {
        const auto it = entries.find(id);
        return it != entries.end() && it->second.usable;
    };
    std::vector<Groups> lists;
    QHash<QString, QSet<QString>> removed; // type -> ids no list may offer
    for (const QString& dir : dirs.listDirs) {
        lists.push_back(parseGroups(readSmallFile(dir + QStringLiteral("/mimeapps.list"))));
        const auto group = lists.back().value(QStringLiteral("Removed Associations"));
        for (auto it = group.cbegin(); it != group.cend(); ++it)
            for (const QString& id : splitList(it.value()))
                removed[it.key()].insert(id);
    }
    for (const QString& type : mimeTypes) {
        for (const Groups& list : lists)
            for (const QString& id :
                 splitList(list.value(QStringLiteral("Default Applications")).value(type)))
                if (usable(id)) return id;
        for (const Groups& list : lists)
            for (const QString& id :
                 splitList(list.value(QStringLiteral("Added Associations")).value(type)))
                if (usable(id) && !removed.value(type).contains(id)) return id;
        for (const auto& [id, entry] : entries)
            if (entry.usable && entry.mimeTypes.contains(type) && !removed.value(type).contains(id))
                return id;
    }
    return {};
}

OpenStatus DesktopShellOpener::openFile(const QString& path)
{
    if (path.isEmpty()) return OpenStatus::Failed;
    if (findMimeHandler(mimeTypesOf(path), mimeAppsDirsFromEnvironment()).isEmpty())
        return OpenStatus::NoProgram;
    // The URI is made from the path's bytes: QUrl::fromLocalFile would lose a
    // name that is not UTF-8, and the opener would be handed another file.
    return QDesktopServices::openUrl(QUrl::fromEncoded(fileUriOf(path))) ? OpenStatus::Started
                                                                         : OpenStatus::Failed;
}

bool DesktopShellOpener::open(const QString& path)
{
    return openFile(path) == OpenStatus::Started;
}

ShellOpener& desktopShellOpener()
{
    static DesktopShellOpener opener;
    return opener;
}

} // namespace sq::platform
