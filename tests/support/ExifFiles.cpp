#include "tests/support/ExifFiles.h"

#include <QString>
#include <QTransform>

#include <cstdlib>

namespace sq::test {

namespace {

void put16(QByteArray& b, quint32 v, bool big)
{
    if (big) {
        b.append(char(v >> 8)).append(char(v));
    } else {
        b.append(char(v)).append(char(v >> 8));
    }
}

void put32(QByteArray& b, quint32 v, bool big)
{
    if (big) {
        put16(b, v >> 16, true);
        put16(b, v & 0xFFFF, true);
    } else {
        put16(b, v & 0xFFFF, false);
        put16(b, v >> 16, false);
    }
}

void putEntry(QByteArray& b, const TiffEntry& e, bool big)
{
    put16(b, e.tag, big);
    put16(b, e.type, big);
    put32(b, e.count, big);
    if (e.type == 3) {
        // A SHORT is left-justified in the value field.
        put16(b, e.value & 0xFFFF, big);
        put16(b, 0, big);
    } else {
        put32(b, e.value, big);
    }
}

} // namespace

QByteArray exifPayload(const QList<TiffEntry>& entries, const ExifLayout& layout)
{
    const bool big = layout.bigEndian;
    QByteArray tiff;
    tiff.append(big ? "MM" : "II");
    put16(tiff, 42, big);
    put32(tiff, layout.ifdOffset, big);
    // IFD0 sits at ifdOffset when that lies within what is written; an
    // offset past it is left pointing nowhere.
    while (tiff.size() < qsizetype(layout.ifdOffset) && layout.ifdOffset <= 64)
        tiff.append('\0');
    put16(tiff, layout.claimedEntries >= 0 ? quint32(layout.claimedEntries) : quint32(entries.size()), big);
    for (const TiffEntry& e : entries)
        putEntry(tiff, e, big);
    const quint32 ifd1At = quint32(tiff.size()) + 4;
    put32(tiff, layout.ifd1.isEmpty() ? layout.nextIfd : ifd1At, big);
    if (!layout.ifd1.isEmpty()) {
        put16(tiff, quint32(layout.ifd1.size()), big);
        for (const TiffEntry& e : layout.ifd1)
            putEntry(tiff, e, big);
        put32(tiff, layout.nextIfd, big);
    }
    return QByteArray("Exif\0\0", 6) + tiff;
}

QByteArray orientationPayload(int orientation, bool bigEndian)
{
    ExifLayout layout;
    layout.bigEndian = bigEndian;
    // A second tag before it, as cameras write (Make, ASCII, count 4 inline).
    return exifPayload({TiffEntry{0x010F, 2, 4, 0x41424344}, TiffEntry{0x0112, 3, 1, quint32(orientation)}}, layout);
}

QByteArray withApp1(const QByteArray& jpeg, const QByteArray& payload, int length)
{
    const int len = length >= 0 ? length : int(payload.size()) + 2;
    QByteArray segment;
    segment.append(char(0xFF)).append(char(0xE1)).append(char((len >> 8) & 0xFF)).append(char(len & 0xFF));
    segment.append(payload);
    return jpeg.left(2) + segment + jpeg.mid(2);
}

QImage quadrantPicture(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB888);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const bool right = x >= w / 2, bottom = y >= h / 2;
            image.setPixelColor(x, y, !bottom ? (right ? QColor(0, 255, 0) : QColor(255, 0, 0))
                                              : (right ? QColor(255, 255, 255) : QColor(0, 0, 255)));
        }
    return image;
}

QImage storedFor(const QImage& upright, int orientation)
{
    const auto turned = [&](int degrees) { return upright.transformed(QTransform().rotate(degrees)); };
    switch (orientation) {
    case 2: return upright.mirrored(true, false);
    case 3: return turned(180);
    case 4: return upright.mirrored(false, true);
    case 5: return turned(90).mirrored(true, false);  // the transpose
    case 6: return turned(-90);                        // shown turned clockwise
    case 7: return turned(90).mirrored(false, true);  // the transverse
    case 8: return turned(90);                         // shown turned anticlockwise
    default: return upright;
    }
}

bool showsQuadrants(const QImage& picture, int margin, int tolerance, QString* why)
{
    const int w = picture.width(), h = picture.height();
    if (w < 2 * margin + 2 || h < 2 * margin + 2) {
        if (why) *why = QStringLiteral("picture %1x%2 too small").arg(w).arg(h);
        return false;
    }
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            // Edges at w / 2 and h / 2 (exact for the sizes the tests use).
            if (std::abs(2 * x + 1 - w) < 2 * margin || std::abs(2 * y + 1 - h) < 2 * margin) continue;
            const bool right = 2 * x >= w, bottom = 2 * y >= h;
            const QColor want = !bottom ? (right ? QColor(0, 255, 0) : QColor(255, 0, 0))
                                        : (right ? QColor(255, 255, 255) : QColor(0, 0, 255));
            const QColor got = picture.pixelColor(x, y);
            if (std::abs(got.red() - want.red()) > tolerance || std::abs(got.green() - want.green()) > tolerance ||
                std::abs(got.blue() - want.blue()) > tolerance) {
                if (why)
                    *why = QStringLiteral("pixel (%1,%2) of %3x%4 is %5, want %6")
                               .arg(x).arg(y).arg(w).arg(h).arg(got.name(), want.name());
                return false;
            }
        }
    return true;
}

} // namespace sq::test
