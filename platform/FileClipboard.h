// Files on the clipboard in the forms the desktop's file managers read and
// write: text/uri-list with the GNOME and KDE cut markers, and the paths as
// text. Used by the file verbs (cut, copy, paste) and the browser's Ctrl+V.
// The clipboard functions belong to the GUI thread; the QMimeData builders
// and readers are pure.
#pragma once

#include <QByteArray>
#include <QStringList>

#include <memory>

class QMimeData;

namespace sq::platform {

// The file: URI of an absolute path (a carrier, platform/NativePath.h): its
// bytes percent-encoded, so a name that is not UTF-8 survives. QUrl's
// fromLocalFile and toLocalFile cannot carry such names.
QByteArray fileUriOf(const QString& path);
// The path's bytes as a URI path: the characters a path segment keeps, and
// %XX for every other byte (the trash's info files use it too).
QByteArray percentEncodedPath(const QString& path);
// The path (a carrier) a file: URI names; empty when the URI is no local
// file (another host, no absolute path, a bad escape, a NUL).
QString localPathOfUri(const QByteArray& uri);

// The local files of a text/uri-list, in order: one URI a line (LF or CR
// LF), blank lines and "#" comments skipped, URIs that are no local file
// left out. Drops and pastes read their lists with it.
QStringList filesOfUriList(const QByteArray& list);

// What a clipboard offers as files: absolute local paths, and whether they
// were cut (to be moved by the paste) rather than copied.
struct ClipboardFiles
{
    QStringList paths;
    bool cut = false;
};

// The data for a list of absolute paths: text/uri-list (CR LF after every
// URL), x-special/gnome-copied-files ("copy" or "cut", then one URL a line),
// application/x-kde-cutselection ("1", only for a cut) and text/plain (the
// paths as shown, one a line).
std::unique_ptr<QMimeData> makeFileMimeData(const QStringList& paths, bool cut);

// The data of "copy path": text/uri-list with each path's exact bytes
// (percent-encoded file: URIs, CR LF after each), which file managers and
// file choosers take, and text/plain with the paths as shown, one a line,
// for people (a name that is not UTF-8 cannot be text; U+FFFD stands for
// its bytes there). No cut or copy marker: no file is meant to be moved.
std::unique_ptr<QMimeData> makePathMimeData(const QStringList& paths);

// The files a data object carries. The GNOME list is preferred because it
// carries the cut marker; otherwise text/uri-list with the KDE marker. URLs
// that are not local files are ignored; no files gives an empty list.
ClipboardFiles readFileMimeData(const QMimeData* data);

// Whether the data offers at least one local file.
bool hasFileData(const QMimeData* data);

// The system clipboard (GUI thread only).
void putFilesOnClipboard(const QStringList& paths, bool cut);
// "Copy path": makePathMimeData's data on the clipboard.
void putPathsOnClipboard(const QStringList& paths);
ClipboardFiles filesOnClipboard();
bool clipboardHasFiles();
// Empties the clipboard, as file managers do once a cut has been pasted.
void clearClipboard();

} // namespace sq::platform
