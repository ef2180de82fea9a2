// The verbs of the browser's context menu and of its clipboard keys: open,
// cut, copy, paste, move to the trash, rename and copy the paths. The browser
// and the main window call them on the selection's absolute paths; they
// check first that the files and folders allow the verb and do nothing when
// they do not. GUI thread only (the clipboard and the prompt's dialogs).
#pragma once

#include "platform/FileOps.h"
#include "platform/ShellOpen.h"

#include <QString>
#include <QStringList>
#include <Qt>

#include <array>
#include <optional>

namespace sq::platform {

enum class FileVerb { Open, Cut, Copy, Paste, Delete, Rename, CopyPath };

// The context menu in its order: the verb, its name for ShellCommand
// ("copy", "cut", "paste", "delete", and "open", "rename", "copypath") and
// its menu text.
struct FileVerbInfo
{
    FileVerb verb;
    const char* name;
    const char* caption;
};
const std::array<FileVerbInfo, 7>& fileVerbTable();
std::optional<FileVerb> fileVerbFromName(const QString& name);
QString fileVerbCaption(FileVerb verb);

class FileVerbs
{
public:
    // prompt and opener must outlive this object.
    explicit FileVerbs(FileOpPrompt& prompt, ShellOpener& opener = desktopShellOpener());

    // Whether the verb may run: open and copy need existing, readable paths;
    // cut, delete and rename need a writable parent folder (rename exactly
    // one path); paste needs a writable folder and files on the clipboard;
    // copy path needs at least one path.
    bool canRun(FileVerb verb, const QStringList& paths, const QString& folder = {}) const;

    // Checks, then runs the verb; false when the check failed (nothing was
    // done), the user cancelled, or an error was reported. paths are the
    // selection, folder the paste target. Rename asks the prompt for the
    // new name.
    bool run(FileVerb verb, const QStringList& paths, const QString& folder = {});

    bool open(const QStringList& paths);
    bool cut(const QStringList& paths);
    bool copy(const QStringList& paths);
    // Copies the clipboard's files into folder, or moves them when they were
    // cut; after a cut has been moved the clipboard is emptied.
    bool paste(const QString& folder);
    bool remove(const QStringList& paths);
    bool rename(const QString& path, const QString& newName, QString* newPath = nullptr);
    bool copyPath(const QStringList& paths);

    // Files dropped into folder: moved, copied or linked (a symbolic link)
    // as action says. Needs a writable folder, and sources that exist (a
    // move: in writable folders; a copy: readable); false when the check
    // failed (nothing was done), the user cancelled or an error was
    // reported. Conflicts and errors go to the prompt.
    bool drop(const QStringList& paths, const QString& folder, Qt::DropAction action);

    // What the last paste or delete did.
    const FileOpResult& lastResult() const { return m_last; }

private:
    FileOpPrompt& m_prompt;
    ShellOpener& m_opener;
    FileOpResult m_last;
};

} // namespace sq::platform
