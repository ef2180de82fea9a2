#include "engine/BmpFile.h"

#include "platform/NativePath.h"
#include "platform/SafeRead.h"

#include <QBuffer>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sq {

namespace {

void setError(QString* error, const QString& text)
{
    if (error) *error = text;
}

QString systemError(int e)
{
    return QString::fromLocal8Bit(std::strerror(e));
}

bool writeAll(int fd, const char* data, qint64 size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, std::size_t(size));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= n;
    }
    return true;
}

quint32 le(const QByteArray& b, qsizetype at, int size)
{
    quint32 v = 0;
    for (int i = size - 1; i >= 0; --i)
        v = (v << 8) | uchar(b[at + i]);
    return v;
}

// Whether the pixel rows the headers promise are all in the file: the BMP
// reader takes a short file for a whole picture and makes up the rest.
bool pixelsComplete(const QByteArray& b)
{
    if (b.size() < 26) return false;
    const quint32 offset = le(b, 10, 4), headerSize = le(b, 14, 4);
    qint64 width, height, bits;
    quint32 compression = 0;
    if (headerSize == 12) {
        width = qint16(le(b, 18, 2));
        height = qint16(le(b, 20, 2));
        bits = le(b, 24, 2);
    } else {
        if (b.size() < 34) return false;
        width = qint32(le(b, 18, 4));
        height = qint32(le(b, 22, 4));
        bits = le(b, 28, 2);
        compression = le(b, 30, 4);
    }
    if (compression != 0 && compression != 3) // run-length data has no fixed size
        return true;
    const qint64 rowBytes = (std::abs(width) * bits + 31) / 32 * 4;
    if (qint64(offset) > b.size()) return false;
    // Divided, not multiplied: the headers' numbers may be anything.
    return rowBytes == 0 || std::abs(height) <= (b.size() - qint64(offset)) / rowBytes;
}

} // namespace

bool readBmpFile(const QString& path, QImage& image, QString* error)
{
    image = QImage();
    platform::SafeFile file(path, kMaxBmpFileBytes);
    switch (file.result()) {
    case platform::OpenResult::Ok:
        break;
    case platform::OpenResult::NotRegular:
        setError(error, QStringLiteral("not a regular file"));
        return false;
    case platform::OpenResult::TooLarge:
        setError(error, QStringLiteral("file too large"));
        return false;
    default:
        setError(error, systemError(file.error() ? file.error() : ENOENT));
        return false;
    }
    bool ok = false;
    const QByteArray bytes = file.read(file.size(), &ok);
    if (!ok) {
        setError(error, systemError(errno));
        return false;
    }
    return decodeBmp(bytes, image, error);
}

bool decodeBmp(const QByteArray& bytes, QImage& image, QString* error)
{
    image = QImage();
    if (!bytes.startsWith("BM")) {
        setError(error, QStringLiteral("not a BMP file"));
        return false;
    }
    if (!pixelsComplete(bytes)) {
        setError(error, QStringLiteral("damaged BMP file"));
        return false;
    }
    image = QImage::fromData(bytes, "BMP");
    if (image.isNull()) {
        setError(error, QStringLiteral("damaged BMP file"));
        return false;
    }
    return true;
}

bool writeBmpFile(const QString& path, const QImage& image, QString* error)
{
    if (image.isNull()) {
        setError(error, QStringLiteral("empty picture"));
        return false;
    }
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        const QImage out = image.format() == QImage::Format_RGB888
                               ? image
                               : image.convertToFormat(QImage::Format_RGB888);
        if (!out.save(&buffer, "BMP")) {
            setError(error, QStringLiteral("cannot encode the picture"));
            return false;
        }
    }
    const QByteArray target = platform::nativePath(path);
    // A new file gets the usual 0666 less the umask; a replaced one keeps its mode.
    mode_t mode;
    struct stat st
    {
    };
    if (::stat(target.constData(), &st) == 0) {
        mode = st.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    QByteArray temp = target + ".XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        setError(error, systemError(errno));
        return false;
    }
    bool ok = writeAll(fd, bytes.constData(), bytes.size()) && ::fchmod(fd, mode) == 0 &&
              ::fsync(fd) == 0;
    int e = ok ? 0 : errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        e = errno;
    }
    if (ok && ::rename(temp.constData(), target.constData()) != 0) {
        ok = false;
        e = errno;
    }
    if (!ok) {
        ::unlink(temp.constData());
        setError(error, systemError(e));
    }
    return ok;
}

} // namespace sq
