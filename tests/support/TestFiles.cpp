#include "tests/support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

namespace sq::test {

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    return file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll();
}

bool makeSparseFile(const QString& path, qint64 size)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    return file.resize(size);
}

bool makeEmptyFiles(const QString& folder, int count, const QString& prefix, const QString& suffix)
{
    if (!QDir().mkpath(folder)) return false;
    for (int i = 0; i < count; ++i) {
        QFile file(folder + QLatin1Char('/') + prefix + QString::number(i) + suffix);
        if (!file.open(QIODevice::WriteOnly)) return false;
    }
    return true;
}

} // namespace sq::test

#include <QColor>
#include <QImageWriter>

namespace sq::test {

QImage patternImage(int width, int height)
{
    QImage img(width, height, QImage::Format_RGB888);
    for (int y = 0; y < height; ++y) {
        uchar* row = img.scanLine(y);
        for (int x = 0; x < width; ++x) {
            row[3 * x] = uchar(x * 255 / std::max(1, width - 1));
            row[3 * x + 1] = uchar(y * 255 / std::max(1, height - 1));
            row[3 * x + 2] = uchar(((x / 16) + (y / 16)) % 2 ? 200 : 40);
        }
    }
    return img;
}

QImage noiseImage(int width, int height, quint32 seed)
{
    QImage img = patternImage(width, height);
    QRandomGenerator rng(seed);
    for (int y = 0; y < height; ++y) {
        uchar* row = img.scanLine(y);
        for (int b = 0; b < 3 * width; ++b)
            row[b] = uchar(row[b] / 2 + rng.bounded(128));
    }
    return img;
}

bool writeJpeg(const QString& path, const QImage& image, int quality)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QImageWriter writer(path, "jpeg");
    writer.setQuality(quality);
    return writer.write(image);
}

bool writeBmp(const QString& path, const QImage& image)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    return image.save(path, "BMP");
}

QStringList writePictureSet(const QString& folder, int count, const QString& prefix)
{
    QStringList paths;
    for (int i = 1; i <= count; ++i) {
        QImage img(100 + 4 * i, 75 + 3 * i, QImage::Format_RGB888);
        img.fill(QColor::fromHsv((i * 47) % 360, 200, 220));
        const QString path =
            QStringLiteral("%1/%2%3.jpg").arg(folder, prefix).arg(i, 2, 10, QLatin1Char('0'));
        if (!writeJpeg(path, img)) return {};
        paths << path;
    }
    return paths;
}

} // namespace sq::test

#include <QDir>
#include <QFile>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sq::test {

namespace {

bool setImmutable(const QByteArray& folder, bool on)
{
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    int flags = 0;
    bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (done) {
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        done = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    ::close(fd);
    return done;
}

bool writesFail(const QString& folder)
{
    const QByteArray probe = QFile::encodeName(folder + QStringLiteral("/.sq-probe"));
    const int fd = ::open(probe.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) return true;
    ::close(fd);
    ::unlink(probe.constData());
    return false;
}

} // namespace

UnwritableFolder::UnwritableFolder(const QString& folder) : m_folder(folder)
{
    const QByteArray native = QFile::encodeName(folder);
    m_immutable = setImmutable(native, true);
    if (!m_immutable) ::chmod(native.constData(), 0555);
    m_ok = writesFail(folder);
}

UnwritableFolder::~UnwritableFolder()
{
    const QByteArray native = QFile::encodeName(m_folder);
    if (m_immutable)
        setImmutable(native, false);
    else
        ::chmod(native.constData(), 0755);
}

SmallFileSystem::SmallFileSystem(const QString& folder, qint64 bytes)
    : m_folder(QFile::encodeName(folder))
{
    QDir().mkpath(folder);
    const QByteArray options = "size=" + QByteArray::number(bytes);
    m_ok = ::mount("sq-test", m_folder.constData(), "tmpfs", 0, options.constData()) == 0;
}

SmallFileSystem::~SmallFileSystem()
{
    if (m_ok) ::umount2(m_folder.constData(), MNT_DETACH);
}

BindMount::BindMount(const QString& from, const QString& to) : m_folder(QFile::encodeName(to))
{
    QDir().mkpath(to);
    m_ok = ::mount(QFile::encodeName(from).constData(), m_folder.constData(), nullptr, MS_BIND,
                   nullptr) == 0;
}

BindMount::~BindMount()
{
    if (m_ok) ::umount2(m_folder.constData(), MNT_DETACH);
}

} // namespace sq::test
