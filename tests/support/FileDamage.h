// Helpers of the tests that damage and age files: cut them short, overwrite
// bytes, set their modification time, make folders read-only. Used by the
// engine's cache and reader tests through sq_testsupport.
#pragma once

#include <QByteArray>
#include <QString>

namespace sq::test {

// Cuts (or extends with zeros) a file to size bytes.
bool truncateFile(const QString& path, qint64 size);

// Overwrites bytes at offset, leaving the rest of the file as it is.
bool patchFile(const QString& path, qint64 offset, const QByteArray& bytes);

// Sets the modification time, in milliseconds since the epoch.
bool setModifiedTime(const QString& path, qint64 msecsSinceEpoch);
qint64 modifiedTime(const QString& path);

// Removes write permission from a folder. Returns false when the current user
// can write there anyway (root), so that the caller skips its test.
bool makeReadOnlyFolder(const QString& folder);
void makeWritableFolder(const QString& folder);

} // namespace sq::test
