// Helpers of the tests that make folders, files and damaged files. Used by
// every test target through sq_testsupport.
#pragma once

#include <QByteArray>
#include <QString>

namespace sq::test {

// Writes bytes to path, creating the parent folders. Fails the test (QVERIFY
// in the caller's stead) by returning false.
bool writeFile(const QString& path, const QByteArray& bytes);

// Reads a whole file; empty when it cannot be read.
QByteArray readFile(const QString& path);

// Makes a file of the given size without writing its bytes (a sparse file),
// so sizes past 4 GiB cost no disk space.
bool makeSparseFile(const QString& path, qint64 size);

// Makes count empty files named prefix + number + suffix in folder.
bool makeEmptyFiles(const QString& folder, int count, const QString& prefix = QStringLiteral("f"),
                    const QString& suffix = QStringLiteral(".jpg"));

} // namespace sq::test

#include <QImage>
#include <QStringList>

namespace sq::test {

// A picture with a recognisable pattern: colour bands plus a gradient.
QImage patternImage(int width, int height);
// The pattern with noise of the seed over it: every pixel differs from its
// neighbours, so a resampling, a shift or two files mixed up show.
QImage noiseImage(int width, int height, quint32 seed);

// Saves a picture as JPEG (quality 90) or BMP; false on failure.
bool writeJpeg(const QString& path, const QImage& image, int quality = 90);
bool writeBmp(const QString& path, const QImage& image);

// Writes count JPEG pictures prefix01.jpg, prefix02.jpg, ... into folder,
// picture i (from 1) sized (100 + 4i) x (75 + 3i) in a colour of its own, so
// a test tells them apart by name and by size. Returns their paths.
QStringList writePictureSet(const QString& folder, int count,
                            const QString& prefix = QStringLiteral("pic_"));

} // namespace sq::test

namespace sq::test {

// Makes a folder refuse new files, renames and deletions for as long as the
// object lives, also for root: the immutable flag where the file system has
// one (ext4, tmpfs needs root), else mode 0555, which binds only other users.
// ok() tells whether writes really fail now; a test skips when it is false.
class UnwritableFolder
{
public:
    explicit UnwritableFolder(const QString& folder);
    ~UnwritableFolder();
    UnwritableFolder(const UnwritableFolder&) = delete;
    UnwritableFolder& operator=(const UnwritableFolder&) = delete;
    bool ok() const { return m_ok; }

private:
    QString m_folder;
    bool m_immutable = false;
    bool m_ok = false;
};

// A small file system (tmpfs of the given size) mounted on folder, so a test
// can fill a disk; unmounted when the object dies. Needs root: ok() is false
// elsewhere and the test skips.
class SmallFileSystem
{
public:
    SmallFileSystem(const QString& folder, qint64 bytes);
    ~SmallFileSystem();
    SmallFileSystem(const SmallFileSystem&) = delete;
    SmallFileSystem& operator=(const SmallFileSystem&) = delete;
    bool ok() const { return m_ok; }

private:
    QByteArray m_folder;
    bool m_ok = false;
};

// The folder from seen again at the folder to (a bind mount), undone when
// the object dies, also when the test fails. Needs root: ok() is false
// elsewhere and the test skips.
class BindMount
{
public:
    BindMount(const QString& from, const QString& to);
    ~BindMount();
    BindMount(const BindMount&) = delete;
    BindMount& operator=(const BindMount&) = delete;
    bool ok() const { return m_ok; }

private:
    QByteArray m_folder;
    bool m_ok = false;
};

} // namespace sq::test
