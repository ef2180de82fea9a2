// Opening a file or folder with the program the desktop associates with it.
// The browser's entries and the main window's open commands call it through
// this interface, so tests can put a recorder in its place and launch
// nothing. The handler lookup reads the freedesktop MIME association files
// (mimeapps.list and the desktop entries' MimeType keys), so "no program for
// this type" is known before anything is started. GUI thread only.
#pragma once

#include <QString>
#include <QStringList>

namespace sq::platform {

enum class OpenStatus {
    Started,   // a program was found and the desktop accepted the request
    NoProgram, // no program is associated with the file's type
    Failed,    // a program is associated, but it could not be started
};

class ShellOpener
{
public:
    virtual ~ShellOpener() = default;
    // Asks the desktop to open the absolute path; true when it accepted.
    virtual bool open(const QString& path) = 0;
    // The same, telling why nothing was opened. Openers that only know
    // success or failure report a failure as Failed.
    virtual OpenStatus openFile(const QString& path)
    {
        return open(path) ? OpenStatus::Started : OpenStatus::Failed;
    }
};

// The desktop's own opener: the handler lookup below, then xdg-open behind
// QDesktopServices.
class DesktopShellOpener final : public ShellOpener
{
public:
    bool open(const QString& path) override;
    OpenStatus openFile(const QString& path) override;
};

// The opener used where none is given: a process-wide DesktopShellOpener.
ShellOpener& desktopShellOpener();

// Where the association files are: the folders that may hold mimeapps.list
// (most important first) and the folders of desktop entries.
struct MimeAppsDirs
{
    QStringList listDirs;
    QStringList appDirs;
};
// From XDG_CONFIG_HOME, XDG_CONFIG_DIRS, XDG_DATA_HOME and XDG_DATA_DIRS,
// each falling back to its usual default folders when unset.
MimeAppsDirs mimeAppsDirsFromEnvironment();

// The file's MIME type (by name and content) followed by every type it
// inherits from, most specific first; folders are inode/directory.
QStringList mimeTypesOf(const QString& path);

// The desktop entry id of an installed program that opens one of the types
// (tried in order): a default or added association of a mimeapps.list, or
// an entry whose MimeType key lists the type and that no list removes. ""
// when there is none.
QString findMimeHandler(const QStringList& mimeTypes, const MimeAppsDirs& dirs);

} // namespace sq::platform
