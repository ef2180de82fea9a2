// Helpers the file operations share between their files (FileOps.cpp,
// FileOps_link.cpp, FileOps_trash.cpp); not for callers outside them. Paths
// are carriers of the file system's bytes (NativePath.h).
#pragma once

#include <QString>
#include <QStringList>

#include <sys/stat.h>
#include <utility>
#include <vector>

namespace sq::platform::detail {

QByteArray enc(const QString& path);
// The text of an errno.
QString reason(int err);
bool lstatOf(const QString& path, struct stat& st);
// The path with its folder resolved (the last element is kept as it is, so
// a symbolic link names itself).
QString resolvedPath(const QString& path);
// path is folder or lies below it (by path components).
bool isInside(const QString& path, const QString& folder);
// "name - コピー.ext", then "name - コピー (2).ext" and so on; word in
// place of コピー for other kinds of duplicate.
QString freeCopyName(const QString& target, bool isFolder,
                     const QString& word = QStringLiteral("コピー"));
// Each source paired with its name inside folder.
std::vector<std::pair<QString, QString>> intoFolder(const QStringList& sources,
                                                    const QString& folder);

} // namespace sq::platform::detail
