// Files and folders named by their bytes, for tests of names that are not
// UTF-8: made, read and listed with POSIX calls, never through QString, so
// what a test checks is what the file system holds. Used by the platform,
// browser and app tests.
#pragma once

#include <QByteArray>
#include <QList>
#include <QTemporaryDir>

namespace sq::test {

// mkdir -p of the path's bytes.
bool makeFolderAt(const QByteArray& path);
// Writes the file, making its folders first.
bool writeFileAt(const QByteArray& path, const QByteArray& bytes);
// The whole file; empty when it cannot be read.
QByteArray readFileAt(const QByteArray& path);
// The names in a folder as readdir gives them, sorted, without "." and "..".
QList<QByteArray> namesAt(const QByteArray& folder);
bool existsAt(const QByteArray& path);
// rm -r of the path's bytes.
void removeTreeAt(const QByteArray& path);

// Runs program with argv given as bytes (QProcess would encode QStrings as
// UTF-8 text) and waits for it; its standard output and error are gathered.
// Returns the exit status, -1 when it could not run or did not exit.
struct RunResult
{
    int status = -1;
    QByteArray out;
    QByteArray err;
};
RunResult runAt(const QByteArray& program, const QList<QByteArray>& args);

// A temporary folder that is removed by its bytes when it goes, names that
// are not UTF-8 included (QTemporaryDir alone leaves those behind).
class RawTempDir
{
public:
    RawTempDir();
    ~RawTempDir();
    RawTempDir(const RawTempDir&) = delete;
    RawTempDir& operator=(const RawTempDir&) = delete;
    bool isValid() const { return m_dir.isValid(); }
    QString path() const { return m_dir.path(); }
    QByteArray bytes() const { return m_bytes; }

private:
    QTemporaryDir m_dir;
    QByteArray m_bytes;
};

} // namespace sq::test
