#include "engine/ImgUtils.h"
#include "tests/support/FileDamage.h"
#include "tests/support/IconFiles.h"
#include "tests/support/MediaFiles.h"
#include "tests/support/TestFiles.h"

#include <QBuffer>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

using sq::test::IconImageDesc;

namespace {

// Pixels of the picture within tolerance of a colour, in a rectangle.
int countNear(const QImage& image, QColor colour, QRect area = QRect(), int tolerance = 40)
{
    if (area.isNull()) area = image.rect();
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - colour.red()) <= tolerance &&
                std::abs(c.green() - colour.green()) <= tolerance &&
                std::abs(c.blue() - colour.blue()) <= tolerance)
                ++n;
        }
    return n;
}

QByteArray pngOf(QColor colour)
{
    QImage image(40, 40, QImage::Format_RGB888);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

const char* const kRedBlock =
    "<div style=\"background-color:#ff0000; font-size:60px\">&nbsp;</div>";

// Where SQ_CORPUS_DIR is set the metafiles become the fuzz targets' seeds.
void keepSeed(const QString& name, const QByteArray& bytes)
{
    const QString dir = qEnvironmentVariable("SQ_CORPUS_DIR");
    if (!dir.isEmpty())
        sq::test::writeFile(dir + (name.endsWith(".emf") ? "/fuzz_emf/" : "/fuzz_wmf/") + name,
                            bytes);
}

QByteArray mailHead(const char* contentType)
{
    return QByteArray("From: Hanako Yamada <hanako@example.org>\r\n"
                      "Subject: Test mail\r\n"
                      "Date: Tue, 08 Dec 2026 12:34:56 +0900\r\n"
                      "MIME-Version: 1.0\r\n"
                      "Content-Type: ") +
           contentType + "\r\n\r\n";
}

} // namespace

class TstKinds : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }

    bool m_videos = false;

private Q_SLOTS:
    void initTestCase()
    {
        // Videos are made once: 1000 numbered frames as intra-only MJPEG,
        // as MPEG-4 with a key frame every 64 frames (so most targets are
        // reached by decoding forward from an earlier key frame), and a
        // short uncompressed one.
        if (!sq::test::haveFfmpeg()) return;
        m_videos = sq::test::makeNumberedVideo(path("mjpeg.avi"), "mjpeg", 1000) &&
                   sq::test::makeNumberedVideo(path("mpeg4.avi"), "mpeg4", 1000, 64) &&
                   sq::test::makeNumberedVideo(path("raw.avi"), "rawvideo", 100);
        QVERIFY2(m_videos, "ffmpeg is installed but could not make the test videos");
    }

    // The frame shown is the one at AviFramePos percent of the length, read
    // back from the number each frame carries; out-of-range positions leave
    // the previous one in force.
    void videoFrameAtPosition_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QList<int>>("positions");
        QTest::addColumn<int>("frame");
        QTest::newRow("0: the first frame") << "mjpeg.avi" << QList<int>{0} << 0;
        QTest::newRow("50: frame 500 of 1000") << "mjpeg.avi" << QList<int>{50} << 500;
        QTest::newRow("default 20: frame 200") << "mjpeg.avi" << QList<int>{} << 200;
        QTest::newRow("150 ignored, 30 kept") << "mjpeg.avi" << QList<int>{30, 150} << 300;
        QTest::newRow("-1 ignored, 40 kept") << "mjpeg.avi" << QList<int>{40, -1} << 400;
        QTest::newRow("100: past the end, the last frame") << "mjpeg.avi" << QList<int>{100} << 999;
        QTest::newRow("mpeg4 50: forward from key frame 448")
            << "mpeg4.avi" << QList<int>{50} << 500;
        QTest::newRow("mpeg4 33") << "mpeg4.avi" << QList<int>{33} << 330;
        QTest::newRow("mpeg4 0") << "mpeg4.avi" << QList<int>{0} << 0;
        QTest::newRow("mpeg4 150 ignored, 99 kept") << "mpeg4.avi" << QList<int>{99, 150} << 990;
        QTest::newRow("raw 50 of 100") << "raw.avi" << QList<int>{50} << 50;
    }
    void videoFrameAtPosition()
    {
        if (!m_videos) QSKIP("the ffmpeg command-line tool is not installed: no test videos");
        QFETCH(QString, name);
        QFETCH(QList<int>, positions);
        QFETCH(int, frame);
        TImgUtil util;
        util.setGetType(igtNormal);
        for (int pos : positions)
            util.setAviFramePos(pos);
        QCOMPARE(util.LoadImage(path(name), 200, 150), 0);
        QCOMPARE(int(util.ImageType()), int(iitAvi));
        QCOMPARE(QSize(util.ImageWidth(), util.ImageHeight()), QSize(64, 48));
        QCOMPARE(util.Bitmap().image().size(), QSize(64, 48));
        QCOMPARE(util.Bitmap().image().format(), QImage::Format_RGB888);
        QCOMPARE(sq::test::videoFrameNumber(util.Bitmap().image()), frame);
    }

    // The frame is fitted like any picture; ImageWidth/Height keep its own size.
    void videoFrameIsFitted_data()
    {
        QTest::addColumn<int>("getType");
        QTest::addColumn<QSize>("box");
        QTest::addColumn<QSize>("bitmap");
        QTest::newRow("preview shrinks") << int(igtPreview) << QSize(32, 32) << QSize(32, 24);
        QTest::newRow("preview never enlarges")
            << int(igtPreview) << QSize(200, 200) << QSize(64, 48);
        QTest::newRow("stretch enlarges") << int(igtStretch) << QSize(128, 128) << QSize(128, 96);
        QTest::newRow("fit: the exact box") << int(igtFit) << QSize(50, 50) << QSize(50, 50);
    }
    void videoFrameIsFitted()
    {
        if (!m_videos) QSKIP("the ffmpeg command-line tool is not installed: no test videos");
        QFETCH(int, getType);
        QFETCH(QSize, box);
        QFETCH(QSize, bitmap);
        TImgUtil util;
        util.setGetType(TGetType(getType));
        QCOMPARE(util.LoadImage(path("mjpeg.avi"), box.width(), box.height()), 0);
        QCOMPARE(QSize(util.ImageWidth(), util.ImageHeight()), QSize(64, 48));
        QCOMPARE(util.Bitmap().image().size(), bitmap);
    }

    // What FFmpeg cannot open or decode gives -1 and the file's icon.
    void badVideosGiveTheIcon_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<qint64>("cut");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("text named .avi")
            << "text.avi" << qint64(-1) << QByteArray("just some words\n");
        QTest::newRow("empty") << "empty.avi" << qint64(-1) << QByteArray();
        QTest::newRow("RIFF header only")
            << "riff.avi" << qint64(-1) << QByteArray("RIFF\x10\0\0\0AVI LIST", 16);
        QTest::newRow("mjpeg cut inside its header") << "mjpeg.avi" << qint64(300) << QByteArray();
        QTest::newRow("mpeg4 cut before its first frame")
            << "mpeg4.avi" << qint64(5000) << QByteArray();
    }
    void badVideosGiveTheIcon()
    {
        QFETCH(QString, name);
        QFETCH(qint64, cut);
        QFETCH(QByteArray, bytes);
        const QString file = path(QStringLiteral("bad-") + name);
        if (cut >= 0) {
            if (!m_videos) QSKIP("the ffmpeg command-line tool is not installed: no test videos");
            QVERIFY(QFile::copy(path(name), file) || QFile::exists(file));
            QVERIFY(sq::test::truncateFile(file, cut));
        } else {
            QVERIFY(sq::test::writeFile(file, bytes));
        }
        TImgUtil util;
        util.setAviFramePos(50);
        QCOMPARE(util.LoadImage(file, 200, 150), -1);
        QCOMPARE(int(util.ImageType()), int(iitAvi));
        QCOMPARE(util.Bitmap().image().size(), QSize(32, 32));
        QCOMPARE(QSize(util.ImageWidth(), util.ImageHeight()), QSize(32, 32));
    }

    // The icon drawn for a file that carries its own: right kind, 32 x 32,
    // the colour of the chosen image outside its transparent corner, which
    // shows the background.
    // A page is rendered at width 640 and the box's shape; with a sizing
    // rule it then takes the box exactly. ImageWidth/Height are the page's.
    void pageTakesTheBoxShape_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QSize>("box");
        QTest::addColumn<int>("getType");
        QTest::addColumn<QSize>("page");
        QTest::addColumn<QSize>("bitmap");
        QTest::newRow("html 160x120 normal")
            << "p.html" << QSize(160, 120) << int(igtNormal) << QSize(640, 480) << QSize(640, 480);
        QTest::newRow("htm 100x50 normal")
            << "p.htm" << QSize(100, 50) << int(igtNormal) << QSize(640, 320) << QSize(640, 320);
        QTest::newRow("html 160x120 preview: the box")
            << "p.html" << QSize(160, 120) << int(igtPreview) << QSize(640, 480) << QSize(160, 120);
        QTest::newRow("html 300x700 fit, height truncated")
            << "p.html" << QSize(300, 700) << int(igtFit) << QSize(640, 1493) << QSize(300, 700);
        QTest::newRow("eml 160x120 normal")
            << "p.eml" << QSize(160, 120) << int(igtNormal) << QSize(640, 480) << QSize(640, 480);
    }
    void pageTakesTheBoxShape()
    {
        QFETCH(QString, name);
        QFETCH(QSize, box);
        QFETCH(int, getType);
        QFETCH(QSize, page);
        QFETCH(QSize, bitmap);
        const QByteArray html =
            QByteArray("<html><body style=\"margin:0\">") + kRedBlock + "<p>text</p></body></html>";
        const QByteArray bytes =
            name.endsWith(".eml") ? mailHead("text/html; charset=utf-8") + html : html;
        QVERIFY(sq::test::writeFile(path(name), bytes));
        TImgUtil util;
        util.setGetType(TGetType(getType));
        QCOMPARE(util.LoadImage(path(name), box.width(), box.height()), 0);
        QCOMPARE(QSize(util.ImageWidth(), util.ImageHeight()), page);
        const QImage& image = util.Bitmap().image();
        QCOMPARE(image.size(), bitmap);
        QCOMPARE(image.format(), QImage::Format_RGB888);
        // The red block near the top (below the header block for a mail),
        // white at the bottom.
        QVERIFY(countNear(image, Qt::red) > image.width() * image.height() / 100);
        QCOMPARE(QColor(image.pixel(image.width() / 2, image.height() - 2)), QColor(Qt::white));
    }

    // Nothing named by URL is fetched: neither a file elsewhere on the disk
    // nor a server; an inline data: picture is shown, so pictures do render.
    void pagesFetchNothing_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<bool>("shown");
        QTest::newRow("data: URL shown")
            << QString("data:image/png;base64,") + pngOf(Qt::red).toBase64() << true;
        QTest::newRow("absolute file URL")
            << QUrl::fromLocalFile(path("red.png")).toString() << false;
        QTest::newRow("absolute path") << path("red.png") << false;
        QTest::newRow("relative path") << QString("red.png") << false;
        QTest::newRow("http") << QString("http://127.0.0.1:%1/red.png") << false;
    }
    void pagesFetchNothing()
    {
        QFETCH(QString, source);
        QFETCH(bool, shown);
        QVERIFY(sq::test::writeFile(path("red.png"), pngOf(Qt::red)));
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        source = source.contains("%1") ? source.arg(server.serverPort()) : source;
        const QString html =
            QString("<html><body><img src=\"%1\" width=\"300\" height=\"300\">"
                    "<table style=\"background-image:url(%1)\" width=\"600\" height=\"100\">"
                    "<tr><td>x<img src=\"%1\" width=\"100\" "
                    "height=\"100\"></td></tr></table></body></html>")
                .arg(source);
        QVERIFY(sq::test::writeFile(path("fetch.html"), html.toUtf8()));
        // A relative name would resolve against the working folder.
        const QString oldCwd = QDir::currentPath();
        QDir::setCurrent(m_dir.path());
        const auto restore = qScopeGuard([&oldCwd] { QDir::setCurrent(oldCwd); });
        TImgUtil util;
        util.setGetType(igtNormal);
        QCOMPARE(util.LoadImage(path("fetch.html"), 400, 300), 0);
        const int red = countNear(util.Bitmap().image(), Qt::red);
        if (shown)
            QVERIFY(red > 300 * 300 / 2);
        else
            QCOMPARE(red, 0);
        QVERIFY(!server.waitForNewConnection(200));
    }

    // A mail shows its header block (subject, sender, date on grey) above
    // its body: the HTML part when there is one, else the plain text as
    // text (markup in it is not obeyed), inline pictures by Content-ID.
    void mailBodies_data()
    {
        QTest::addColumn<QByteArray>("mail");
        QTest::addColumn<bool>("red");
        const QByteArray alternative =
            mailHead("multipart/alternative; boundary=\"b1\"") +
            "--b1\r\nContent-Type: text/plain; charset=us-ascii\r\n\r\nplain words\r\n"
            "--b1\r\nContent-Type: text/html; charset=utf-8\r\n\r\n<html><body>" +
            kRedBlock + "</body></html>\r\n--b1--\r\n";
        QTest::newRow("alternative: the HTML part") << alternative << true;
        QTest::newRow("plain text with markup: escaped")
            << mailHead("text/plain; charset=utf-8") + kRedBlock + "\r\nsecond line\r\n"
            << false;
        const QByteArray related = mailHead("multipart/related; boundary=\"r1\"") +
                                   "--r1\r\nContent-Type: text/html\r\n\r\n<img src=\"cid:pic1@x\" "
                                   "width=\"200\" height=\"100\">\r\n"
                                   "--r1\r\nContent-Type: image/png\r\nContent-Transfer-Encoding: "
                                   "base64\r\nContent-ID: <pic1@x>\r\n\r\n" +
                                   pngOf(Qt::red).toBase64() + "\r\n--r1--\r\n";
        QTest::newRow("related: cid picture") << related << true;
        const QByteArray attached = mailHead("multipart/mixed; boundary=\"m1\"") +
                                    "--m1\r\nContent-Type: text/plain\r\n\r\nsee the attachment\r\n"
                                    "--m1\r\nContent-Type: text/html\r\nContent-Disposition: "
                                    "attachment; filename=a.html\r\n\r\n" +
                                    kRedBlock + "\r\n--m1--\r\n";
        QTest::newRow("attached page is not the body") << attached << false;
    }
    void mailBodies()
    {
        QFETCH(QByteArray, mail);
        QFETCH(bool, red);
        QVERIFY(sq::test::writeFile(path("m.eml"), mail));
        TImgUtil util;
        util.setGetType(igtNormal);
        QCOMPARE(util.LoadImage(path("m.eml"), 320, 240), 0);
        QCOMPARE(int(util.ImageType()), int(iitEml));
        const QImage& image = util.Bitmap().image();
        QCOMPARE(image.size(), QSize(640, 480));
        QCOMPARE(image.pixelColor(630, 2), QColor(0xe8, 0xe8, 0xe8));
        // Dark text in the header block.
        QVERIFY(countNear(image, Qt::black, QRect(0, 0, 640, 40), 100) > 50);
        if (red)
            QVERIFY(countNear(image, Qt::red) > 2000);
        else
            QCOMPARE(countNear(image, Qt::red), 0);
    }

    // Pages and mails that cannot be shown: -1 and the icon; a missing file 1.
    void badPagesGiveTheIcon_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QSize>("box");
        QTest::newRow("empty mail") << "e.eml" << QByteArray() << QSize(160, 120);
        QTest::newRow("binary bytes named .eml")
            << "b.eml" << QByteArray("\0\x01\x02\xff\xfe", 5) << QSize(160, 120);
        QTest::newRow("page for a box of width 0")
            << "w.html" << QByteArray("<p>x</p>") << QSize(0, 120);
        QTest::newRow("page for a box of height 0")
            << "h.html" << QByteArray("<p>x</p>") << QSize(160, 0);
        QTest::newRow("page taller than the pixel bound")
            << "t.html" << QByteArray("<p>x</p>") << QSize(1, 1000000);
    }
    void badPagesGiveTheIcon()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QSize, box);
        QVERIFY(sq::test::writeFile(path(name), bytes));
        TImgUtil util;
        QCOMPARE(util.LoadImage(path(name), box.width(), box.height()), -1);
        QCOMPARE(util.Bitmap().image().size(), QSize(32, 32));
        QCOMPARE(util.LoadImage(path("missing-") + name, 160, 120), 1);
    }

    // A page of many megabytes is read only in part: its head is shown.
    void hugePageShowsItsHead()
    {
        QByteArray page = QByteArray("<html><body>") + kRedBlock;
        const QByteArray filler = "<p>filler words filler words filler words filler words</p>\n";
        while (page.size() < 24 * 1024 * 1024)
            page += filler;
        page += "</body></html>";
        QVERIFY(sq::test::writeFile(path("huge.html"), page));
        TImgUtil util;
        QCOMPARE(util.LoadImage(path("huge.html"), 160, 120), 0);
        QCOMPARE(util.Bitmap().image().size(), QSize(160, 120));
        QVERIFY(countNear(util.Bitmap().image(), Qt::red) > 100);
    }

    // Metafiles: their own size at 96 dpi from the header, the background
    // colour where nothing is drawn, the shapes where the records put them.
    void metafilesPlayAtTheirSize_data()
    {
        using sq::test::MetaShape;
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QPoint>("redAt");
        QTest::addColumn<QPoint>("blueAt");
        QTest::addColumn<QPoint>("backgroundAt");
        const QList<MetaShape> shapes = {
            {MetaShape::Rectangle, QRect(10, 10, 60, 40), {}, Qt::red},
            {MetaShape::Ellipse, QRect(100, 60, 80, 60), {}, Qt::blue}};
        QTest::newRow("emf 200x150")
            << "a.emf" << sq::test::makeEmf(QSize(200, 150), shapes) << QSize(200, 150)
            << QPoint(40, 30) << QPoint(140, 90) << QPoint(190, 10);
        // The ellipse's bounding box corner is outside the ellipse.
        QTest::newRow("emf: ellipse corner is background")
            << "b.emf" << sq::test::makeEmf(QSize(200, 150), shapes) << QSize(200, 150)
            << QPoint(15, 45) << QPoint(140, 65) << QPoint(102, 62);
        QTest::newRow("emf polygon")
            << "c.emf"
            << sq::test::makeEmf(QSize(120, 90), {{MetaShape::Polygon,
                                                   QRect(0, 0, 100, 80),
                                                   {{0, 0}, {100, 0}, {0, 80}},
                                                   Qt::red}})
            << QSize(120, 90) << QPoint(10, 10) << QPoint(-1, -1) << QPoint(90, 70);
        QTest::newRow("wmf placeable, 1440 per inch: a twentieth")
            << "d.wmf"
            << sq::test::makeWmf(QSize(2880, 1440), true, 1440,
                                 {{MetaShape::Rectangle, QRect(0, 0, 1440, 720), {}, Qt::red},
                                  {MetaShape::Ellipse, QRect(1440, 720, 1440, 720), {}, Qt::blue}})
            << QSize(192, 96) << QPoint(40, 20) << QPoint(144, 72) << QPoint(180, 10);
        QTest::newRow("wmf placeable, 96 per inch")
            << "e.wmf" << sq::test::makeWmf(QSize(200, 150), true, 96, shapes) << QSize(200, 150)
            << QPoint(40, 30) << QPoint(140, 90) << QPoint(190, 10);
        QTest::newRow("wmf without placeable header: the window extent")
            << "f.wmf" << sq::test::makeWmf(QSize(200, 150), false, 0, shapes) << QSize(200, 150)
            << QPoint(40, 30) << QPoint(140, 90) << QPoint(190, 10);
        QTest::newRow("wmf polygon")
            << "g.wmf"
            << sq::test::makeWmf(
                   QSize(120, 90), false, 0,
                   {{MetaShape::Polygon, QRect(), {{0, 0}, {100, 0}, {0, 80}}, Qt::red}})
            << QSize(120, 90) << QPoint(10, 10) << QPoint(-1, -1) << QPoint(90, 70);
    }
    void metafilesPlayAtTheirSize()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QSize, size);
        QFETCH(QPoint, redAt);
        QFETCH(QPoint, blueAt);
        QFETCH(QPoint, backgroundAt);
        keepSeed(name, bytes);
        QVERIFY(sq::test::writeFile(path(name), bytes));
        TImgUtil util;
        util.setGetType(igtNormal);
        const QColor background(0x20, 0xc0, 0x20);
        util.setBKColor(background);
        QCOMPARE(util.LoadImage(path(name), 80, 60), 0);
        QCOMPARE(int(util.ImageType()), int(name.endsWith(".emf") ? iitEmf : iitWmf));
        QCOMPARE(QSize(util.ImageWidth(), util.ImageHeight()), size);
        const QImage& image = util.Bitmap().image();
        QCOMPARE(image.size(), size);
        QCOMPARE(image.format(), QImage::Format_RGB888);
        QCOMPARE(image.pixelColor(redAt), QColor(Qt::red));
        if (blueAt.x() >= 0) QCOMPARE(image.pixelColor(blueAt), QColor(Qt::blue));
        QCOMPARE(image.pixelColor(backgroundAt), background);
    }

    // With a sizing rule the played picture is fitted; text records draw.
    void metafilesAreFittedAndDrawText()
    {
        using sq::test::MetaShape;
        QVERIFY(sq::test::writeFile(
            path("t.wmf"),
            sq::test::makeWmf(QSize(200, 100), false, 0,
                              {{MetaShape::Rectangle, QRect(0, 0, 100, 100), {}, Qt::red}}, "Hello",
                              QPoint(110, 30))));
        TImgUtil util;
        util.setGetType(igtNormal);
        QCOMPARE(util.LoadImage(path("t.wmf"), 80, 60), 0);
        QVERIFY(countNear(util.Bitmap().image(), Qt::blue, QRect(105, 25, 95, 40), 90) > 20);
        util.setGetType(igtPreview);
        QCOMPARE(util.LoadImage(path("t.wmf"), 80, 60), 0);
        QCOMPARE(QSize(util.ImageWidth(), util.ImageHeight()), QSize(200, 100));
        QCOMPARE(util.Bitmap().image().size(), QSize(80, 40));
        QCOMPARE(util.Bitmap().image().pixelColor(20, 20), QColor(Qt::red));
    }

    // Damaged, cut short or empty metafiles: -1 and the icon, never a crash.
    void badMetafilesGiveTheIcon_data()
    {
        using sq::test::MetaShape;
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        const QList<MetaShape> shapes = {
            {MetaShape::Rectangle, QRect(10, 10, 60, 40), {}, Qt::red}};
        const QByteArray emf = sq::test::makeEmf(QSize(200, 150), shapes);
        const QByteArray wmf = sq::test::makeWmf(QSize(200, 150), true, 96, shapes);
        QTest::newRow("emf empty") << "a.emf" << QByteArray();
        QTest::newRow("emf text") << "b.emf"
                                  << QByteArray("not a metafile at all, not at all, not at all, "
                                                "not at all, not at all, not at all, not at all");
        QTest::newRow("emf cut in the header") << "c.emf" << emf.left(60);
        QTest::newRow("emf cut before its end record") << "d.emf" << emf.left(emf.size() - 20);
        QTest::newRow("emf cut inside a record") << "e.emf" << emf.left(emf.size() - 30);
        QByteArray huge = emf;
        qToLittleEndian(quint32(0x7ffffff0), huge.data() + 108 + 4);
        QTest::newRow("emf record longer than the file") << "f.emf" << huge;
        QByteArray frameless = emf;
        qToLittleEndian(qint32(0), frameless.data() + 32);
        QTest::newRow("emf with an empty frame") << "g.emf" << frameless;
        QByteArray giant = emf;
        qToLittleEndian(qint32(0x7fffffff), giant.data() + 32);
        qToLittleEndian(qint32(0x7fffffff), giant.data() + 36);
        QTest::newRow("emf larger than the pixel bound") << "h.emf" << giant;
        QByteArray described = emf;
        qToLittleEndian(quint32(1000), described.data() + 60);
        qToLittleEndian(quint32(88), described.data() + 64);
        QTest::newRow("emf description past its header") << "q.emf" << described;
        QByteArray unknown = emf;
        qToLittleEndian(quint32(200), unknown.data() + 108);
        QTest::newRow("emf record type past the defined ones") << "r.emf" << unknown;
        QTest::newRow("wmf empty") << "i.wmf" << QByteArray();
        QTest::newRow("wmf cut in the placeable header") << "j.wmf" << wmf.left(12);
        QTest::newRow("wmf cut in the header") << "k.wmf" << wmf.left(30);
        QTest::newRow("wmf cut before its end record") << "l.wmf" << wmf.left(wmf.size() - 6);
        QTest::newRow("wmf cut inside a record") << "m.wmf" << wmf.left(wmf.size() - 10);
        QByteArray zeroWords = wmf;
        qToLittleEndian(quint32(0), zeroWords.data() + 22 + 18);
        QTest::newRow("wmf record of no length") << "n.wmf" << zeroWords;
        QByteArray longWords = wmf;
        qToLittleEndian(quint32(0x40000000), longWords.data() + 22 + 18);
        QTest::newRow("wmf record longer than the file") << "o.wmf" << longWords;
        QTest::newRow("wmf without placeable header or window extent")
            << "p.wmf" << sq::test::makeWmf(QSize(0, 0), false, 0, shapes);
    }
    void badMetafilesGiveTheIcon()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        keepSeed("bad-" + name, bytes);
        QVERIFY(sq::test::writeFile(path(name), bytes));
        TImgUtil util;
        QCOMPARE(util.LoadImage(path(name), 80, 60), -1);
        QCOMPARE(util.Bitmap().image().size(), QSize(32, 32));
    }

    void filesDrawTheirOwnIcon_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("iconIndex");
        QTest::addColumn<int>("type");
        QTest::addColumn<QColor>("colour");
        QTest::addColumn<int>("iconCount");
        const QList<QList<IconImageDesc>> groups = {
            {{32, 24, Qt::red}}, {{32, 8, Qt::green}}, {{16, 24, Qt::gray}, {32, 32, Qt::blue}}};
        const QByteArray pe = sq::test::makePeFile(groups);
        QTest::newRow("exe, index 0: first group")
            << "a.exe" << pe << 0 << int(iitExe) << QColor(Qt::red) << 3;
        QTest::newRow("exe, index 2: third group")
            << "b.exe" << pe << 2 << int(iitExe) << QColor(Qt::blue) << 3;
        QTest::newRow("dll, index 1")
            << "c.dll" << pe << 1 << int(iitDll) << QColor(Qt::green) << 3;
        QTest::newRow("cur") << "d.cur" << sq::test::makeIcoFile({{32, 24, Qt::magenta}}, true) << 0
                             << int(iitCur) << QColor(Qt::magenta) << 0;
        QTest::newRow("ani, sequence from frame 1")
            << "e.ani"
            << sq::test::makeAniFile({sq::test::makeIcoFile({{32, 24, Qt::red}}, true),
                                      sq::test::makeIcoFile({{32, 24, Qt::cyan}}, true)},
                                     {1, 0})
            << 0 << int(iitAni) << QColor(Qt::cyan) << 0;
        QTest::newRow("ico, 48 only: shrunk to 32")
            << "f.ico" << sq::test::makeIcoFile({{48, 32, Qt::yellow}}) << 0 << int(iitIco)
            << QColor(Qt::yellow) << 0;
    }
    void filesDrawTheirOwnIcon()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(int, iconIndex);
        QFETCH(int, type);
        QFETCH(QColor, colour);
        QFETCH(int, iconCount);
        QVERIFY(sq::test::writeFile(path(name), bytes));
        TImgUtil util;
        QCOMPARE(util.LoadImage(path(name), 200, 150, iconIndex), 0);
        QCOMPARE(int(util.ImageType()), type);
        QCOMPARE(util.IconCount(), iconCount);
        const QImage& image = util.Bitmap().image();
        QCOMPARE(image.size(), QSize(32, 32));
        QCOMPARE(QColor(image.pixel(28, 28)).rgb(), colour.rgb());
        QCOMPARE(QColor(image.pixel(2, 2)).rgb(), QColor(Qt::white).rgb());
    }

    // No resources, or damage: the theme icon for the file's type, still 32 x 32
    // and result 0 as for any icon.
    void filesWithoutUsableIconsGetTheThemeIcon_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("iconCount");
        QTest::newRow("exe without resources")
            << "n.exe" << sq::test::makePeFileWithoutResources() << 0;
        QByteArray pe = sq::test::makePeFile({{{32, 24, Qt::red}}});
        QTest::newRow("exe cut short") << "t.exe" << pe.left(0x210) << 0;
        QTest::newRow("dll that is text") << "x.dll" << QByteArray("not a program") << 0;
        QTest::newRow("ani that is empty") << "e.ani" << QByteArray() << 0;
    }
    void filesWithoutUsableIconsGetTheThemeIcon()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(int, iconCount);
        QVERIFY(sq::test::writeFile(path(name), bytes));
        TImgUtil util;
        QCOMPARE(util.LoadImage(path(name), 200, 150, 1), 0);
        QCOMPARE(util.IconCount(), iconCount);
        QCOMPARE(util.Bitmap().image().size(), QSize(32, 32));
    }
};

QTEST_MAIN(TstKinds)
#include "tst_kinds.moc"
