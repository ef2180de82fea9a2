#include "tests/support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace sq::test {

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
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

} // namespace sq::test
