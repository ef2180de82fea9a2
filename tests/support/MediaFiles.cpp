#include "tests/support/MediaFiles.h"

#include <QImage>
#include <QProcess>
#include <QStandardPaths>

namespace sq::test {

bool haveFfmpeg()
{
    return !QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty();
}

bool makeNumberedVideo(const QString& path, const QString& codec, int frames, int gop)
{
    const QString source = QStringLiteral(
        "color=c=black:s=64x48:r=25,format=gray,"
        "geq=lum='if(lt(X\\,60)\\,255*mod(floor(N/pow(2\\,floor(X/6)))\\,2)\\,128)'");
    QStringList args = {QStringLiteral("-v"),        QStringLiteral("error"),
                        QStringLiteral("-nostdin"),  QStringLiteral("-y"),
                        QStringLiteral("-f"),        QStringLiteral("lavfi"),
                        QStringLiteral("-i"),        source,
                        QStringLiteral("-frames:v"), QString::number(frames),
                        QStringLiteral("-c:v"),      codec,
                        QStringLiteral("-g"),        QString::number(gop)};
    if (codec == QLatin1String("rawvideo"))
        args << QStringLiteral("-pix_fmt") << QStringLiteral("bgr24");
    else if (codec == QLatin1String("mjpeg"))
        args << QStringLiteral("-q:v") << QStringLiteral("3") << QStringLiteral("-pix_fmt")
             << QStringLiteral("yuvj420p");
    else
        args << QStringLiteral("-q:v") << QStringLiteral("3") << QStringLiteral("-pix_fmt")
             << QStringLiteral("yuv420p");
    args << path;
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"), args);
    return ffmpeg.waitForFinished(120000) && ffmpeg.exitStatus() == QProcess::NormalExit &&
           ffmpeg.exitCode() == 0;
}

int videoFrameNumber(const QImage& image)
{
    if (image.width() < 60 || image.height() < 1) return -1;
    int n = 0;
    for (int bit = 0; bit < 10; ++bit) {
        const int grey = qGray(image.pixel(6 * bit + 3, image.height() / 2));
        if (grey > 200)
            n |= 1 << bit;
        else if (grey > 55)
            return -1;
    }
    return n;
}

} // namespace sq::test

#include <QtEndian>

namespace sq::test {

namespace {

void put16(QByteArray& b, int v)
{
    char c[2];
    qToLittleEndian(quint16(v), c);
    b.append(c, 2);
}
void put32(QByteArray& b, qint64 v)
{
    char c[4];
    qToLittleEndian(quint32(v), c);
    b.append(c, 4);
}
quint32 colorRef(const QColor& c)
{
    return quint32(c.red()) | quint32(c.green()) << 8 | quint32(c.blue()) << 16;
}

// One EMF record: type, size, then the 32-bit parameters.
void emr(QByteArray& b, quint32 type, const QList<qint64>& params)
{
    put32(b, type);
    put32(b, 8 + 4 * params.size());
    for (qint64 p : params)
        put32(b, p);
}

// One WMF record: size in words, function, then the 16-bit parameters.
void wmr(QByteArray& b, int function, const QList<int>& params)
{
    put32(b, 3 + params.size());
    put16(b, function);
    for (int p : params)
        put16(b, p);
}

} // namespace

QByteArray makeEmf(QSize pixels, const QList<MetaShape>& shapes)
{
    QByteArray body;
    emr(body, 37, {0x80000008}); // SELECTOBJECT NULL_PEN
    int records = 2;
    for (const MetaShape& s : shapes) {
        emr(body, 39, {1, 0, colorRef(s.fill), 0}); // CREATEBRUSHINDIRECT 1: solid
        emr(body, 37, {1});                         // SELECTOBJECT 1
        if (s.kind == MetaShape::Polygon) {
            QList<qint64> params = {s.box.left(), s.box.top(), s.box.right(), s.box.bottom(),
                                    s.points.size()};
            for (const QPoint& p : s.points)
                params << p.x() << p.y();
            emr(body, 3, params); // POLYGON
        } else {
            emr(body, s.kind == MetaShape::Rectangle ? 43 : 42,
                {s.box.left(), s.box.top(), s.box.left() + s.box.width(),
                 s.box.top() + s.box.height()});
        }
        emr(body, 40, {1}); // DELETEOBJECT 1
        records += 4;
    }
    emr(body, 14, {0, 16, 20}); // EOF
    QByteArray head;
    const qint64 frameW = (qint64(pixels.width()) * 2540 + 48) / 96;
    const qint64 frameH = (qint64(pixels.height()) * 2540 + 48) / 96;
    const qint64 total = 108 + body.size();
    emr(head, 1,
        {0,
         0,
         pixels.width() - 1,
         pixels.height() - 1, // bounds, device pixels
         0,
         0,
         frameW,
         frameH, // frame, 0.01 mm
         0x464D4520,
         0x10000,
         total,
         records,
         2, // handles (16 bits) + reserved
         0,
         0,
         0, // description, palette
         960,
         960, // reference device, pixels
         254,
         254, // and millimetres: 96 dpi
         0,
         0,
         0, // pixel format, OpenGL
         254000,
         254000});
    return head + body;
}

QByteArray makeWmf(QSize extent, bool placeable, int unitsPerInch, const QList<MetaShape>& shapes,
                   const QByteArray& text, QPoint textAt)
{
    QByteArray records;
    wmr(records, 0x020B, {0, 0});                            // SETWINDOWORG y, x
    wmr(records, 0x020C, {extent.height(), extent.width()}); // SETWINDOWEXT y, x
    wmr(records, 0x02FA, {5, 0, 0, 0, 0});                   // CREATEPENINDIRECT null pen -> 0
    wmr(records, 0x012D, {0});                               // SELECTOBJECT 0
    for (const MetaShape& s : shapes) {
        const quint32 c = colorRef(s.fill);
        wmr(records, 0x02FC, {0, int(c & 0xffff), int(c >> 16), 0}); // CREATEBRUSHINDIRECT -> 1
        wmr(records, 0x012D, {1});
        const int l = s.box.left(), t = s.box.top(), r = l + s.box.width(), b = t + s.box.height();
        if (s.kind == MetaShape::Polygon) {
            QList<int> params = {int(s.points.size())};
            for (const QPoint& p : s.points)
                params << p.x() << p.y();
            wmr(records, 0x0324, params);
        } else {
            wmr(records, s.kind == MetaShape::Rectangle ? 0x041B : 0x0418, {b, r, t, l});
        }
        wmr(records, 0x01F0, {1}); // DELETEOBJECT 1
    }
    if (!text.isEmpty()) {
        wmr(records, 0x0209, {0x0000, 0x00ff}); // SETTEXTCOLOR blue
        wmr(records, 0x0102, {1});              // SETBKMODE transparent
        QList<int> params = {int(text.size())};
        QByteArray padded = text;
        if (padded.size() % 2) padded.append('\0');
        for (int i = 0; i < padded.size(); i += 2)
            params << (uchar(padded[i]) | uchar(padded[i + 1]) << 8);
        params << textAt.y() << textAt.x();
        wmr(records, 0x0521, params);
    }
    wmr(records, 0x0000, {}); // EOF
    QByteArray out;
    if (placeable) {
        put32(out, 0x9AC6CDD7);
        put16(out, 0);
        const QList<int> words = {0, 0, extent.width(), extent.height(), unitsPerInch};
        for (int w : words)
            put16(out, w);
        put32(out, 0);
        quint16 sum = 0;
        for (int i = 0; i < out.size(); i += 2)
            sum ^= quint16(uchar(out[i]) | uchar(out[i + 1]) << 8);
        put16(out, sum);
    }
    put16(out, 1);
    put16(out, 9);
    put16(out, 0x0300);
    put32(out, (18 + records.size()) / 2);
    put16(out, 2); // objects
    put32(out, 64);
    put16(out, 0);
    return out + records;
}

} // namespace sq::test
