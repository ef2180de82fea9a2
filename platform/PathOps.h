// Paths taken apart and looked up without losing their bytes: the small
// string and stat helpers that stand in for QFileInfo and QDir wherever a
// path may come from the file system (those classes encode as UTF-8 and
// cannot name a file whose name is not). Paths are carriers
// (platform/NativePath.h). Pure or one system call each; any thread.
#pragma once

#include <QString>

namespace sq::platform {

// The last element of a path ("c" of "/a/b/c"; "" for "/").
QString fileNameOf(const QString& path);
// The folder a path is in ("/a/b" of "/a/b/c", "/" of "/a"); for a relative
// path without "/", ".".
QString parentOf(const QString& path);
// folder + "/" + name, with no doubled "/".
QString joinPath(const QString& folder, const QString& name);
// The clean absolute form; a relative path is taken from the current folder.
QString absolutePathOf(const QString& path);
// The absolute path with every link and "." / ".." resolved; empty when it
// does not exist.
QString canonicalPathOf(const QString& path);

// Whether something is there (a dangling link counts).
bool pathExists(const QString& path);
// Whether the path is a folder (links followed).
bool isFolderPath(const QString& path);

} // namespace sq::platform
