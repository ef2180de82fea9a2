#include "platform/FileVerbs.h"

#include "platform/FileClipboard.h"
#include "platform/NativePath.h"
#include "platform/PathOps.h"

#include <QClipboard>
#include <QDir>
#include <QGuiApplication>

#include <sys/stat.h>
#include <unistd.h>

namespace sq::platform {

namespace {

bool present(const QString& path)
{
    return pathExists(path);
}

bool readable(const QString& path)
{
    const QByteArray p = nativePath(path);
    struct stat st;
    if (::stat(p.constData(), &st) != 0)
        return present(path); // a dangling link is copied as a link
    return ::access(p.constData(), S_ISDIR(st.st_mode) ? R_OK | X_OK : R_OK) == 0;
}

bool writableFolder(const QString& folder)
{
    return isFolderPath(folder) && ::access(nativePath(folder).constData(), W_OK | X_OK) == 0;
}

bool parentWritable(const QString& path)
{
    return present(path) && writableFolder(parentOf(absolutePathOf(path)));
}

template <class Pred> bool all(const QStringList& paths, Pred pred)
{
    if (paths.isEmpty()) return false;
    for (const QString& p : paths)
        if (!pred(p)) return false;
    return true;
}

} // namespace

const std::array<FileVerbInfo, 7>& fileVerbTable()
{
    static const std::array<FileVerbInfo, 7> table = {{
        {FileVerb::Open, "open", "開く"},
        {FileVerb::Cut, "cut", "切り取り"},
        {FileVerb::Copy, "copy", "コピー"},
        {FileVerb::Paste, "paste", "貼り付け"},
        {FileVerb::Delete, "delete", "ごみ箱へ移動"},
        {FileVerb::Rename, "rename", "名前の変更"},
        {FileVerb::CopyPath, "copypath", "パスのコピー"},
    }};
    return table;
}

std::optional<FileVerb> fileVerbFromName(const QString& name)
{
    for (const FileVerbInfo& info : fileVerbTable())
        if (name == QLatin1String(info.name)) return info.verb;
    return std::nullopt;
}

QString fileVerbCaption(FileVerb verb)
{
    for (const FileVerbInfo& info : fileVerbTable())
        if (info.verb == verb) return QString::fromUtf8(info.caption);
    return {};
}

FileVerbs::FileVerbs(FileOpPrompt& prompt, ShellOpener& opener) : m_prompt(prompt), m_opener(opener)
{
}

bool FileVerbs::canRun(FileVerb verb, const QStringList& paths, const QString& folder) const
{
    switch (verb) {
    case FileVerb::Open:
        return all(paths, present);
    case FileVerb::Copy:
        return all(paths, readable);
    case FileVerb::Cut:
    case FileVerb::Delete:
        return all(paths, parentWritable);
    case FileVerb::Rename:
        return paths.size() == 1 && parentWritable(paths.front());
    case FileVerb::Paste:
        return writableFolder(folder) && clipboardHasFiles();
    case FileVerb::CopyPath:
        return !paths.isEmpty();
    }
    return false;
}

bool FileVerbs::run(FileVerb verb, const QStringList& paths, const QString& folder)
{
    switch (verb) {
    case FileVerb::Open:
        return open(paths);
    case FileVerb::Cut:
        return cut(paths);
    case FileVerb::Copy:
        return copy(paths);
    case FileVerb::Paste:
        return paste(folder);
    case FileVerb::Delete:
        return remove(paths);
    case FileVerb::Rename: {
        if (!canRun(verb, paths)) return false;
        const std::optional<QString> name = m_prompt.askNewName(paths.front());
        return name && rename(paths.front(), *name);
    }
    case FileVerb::CopyPath:
        return copyPath(paths);
    }
    return false;
}

bool FileVerbs::open(const QStringList& paths)
{
    if (!canRun(FileVerb::Open, paths)) return false;
    bool ok = true;
    for (const QString& path : paths)
        ok = m_opener.open(QDir::cleanPath(path)) && ok;
    return ok;
}

bool FileVerbs::cut(const QStringList& paths)
{
    if (!canRun(FileVerb::Cut, paths)) return false;
    putFilesOnClipboard(paths, true);
    return true;
}

bool FileVerbs::copy(const QStringList& paths)
{
    if (!canRun(FileVerb::Copy, paths)) return false;
    putFilesOnClipboard(paths, false);
    return true;
}

bool FileVerbs::paste(const QString& folder)
{
    m_last = {};
    if (!canRun(FileVerb::Paste, {}, folder)) return false;
    const ClipboardFiles files = filesOnClipboard();
    if (files.cut) {
        m_last = moveInto(files.paths, folder, m_prompt);
        // The files are no longer where the clipboard says.
        if (!m_last.cancelled && m_last.done > 0) clearClipboard();
    } else {
        m_last = copyInto(files.paths, folder, m_prompt);
    }
    return m_last.ok();
}

bool FileVerbs::remove(const QStringList& paths)
{
    m_last = {};
    if (!canRun(FileVerb::Delete, paths)) return false;
    m_last = moveToTrash(paths, m_prompt);
    return m_last.ok();
}

bool FileVerbs::rename(const QString& path, const QString& newName, QString* newPath)
{
    if (!canRun(FileVerb::Rename, {path})) return false;
    if (renameEntry(path, newName, newPath) == RenameStatus::Renamed) return true;
    m_prompt.reportError({FileOpError::RenameFailed, path, newName});
    return false;
}

bool FileVerbs::copyPath(const QStringList& paths)
{
    if (!canRun(FileVerb::CopyPath, paths)) return false;
    QStringList cleaned;
    for (const QString& path : paths)
        cleaned << absolutePathOf(path);
    // The exact bytes as file: URIs, the text as shown.
    putPathsOnClipboard(cleaned);
    return true;
}

bool FileVerbs::drop(const QStringList& paths, const QString& folder, Qt::DropAction action)
{
    m_last = {};
    if (!writableFolder(folder)) return false;
    switch (action) {
    case Qt::MoveAction:
        if (!canRun(FileVerb::Cut, paths)) return false;
        m_last = moveInto(paths, folder, m_prompt);
        break;
    case Qt::CopyAction:
        if (!canRun(FileVerb::Copy, paths)) return false;
        m_last = copyInto(paths, folder, m_prompt);
        break;
    case Qt::LinkAction:
        if (!canRun(FileVerb::Open, paths)) return false;
        m_last = linkInto(paths, folder, m_prompt);
        break;
    default:
        return false;
    }
    return m_last.ok();
}

} // namespace sq::platform
