// No empty thumbnails: every sizing rule keeps at least one pixel each way,
// for pictures far wider or taller than their box, from the size rules down
// to the files the engine loads and the view that stretches them.
#include "engine/ImgBox.h"
#include "engine/ImgUtils.h"
#include "engine/Resample.h"

#include "tests/support/TestFiles.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace sq::test;

namespace {

QImage banner(QSize size)
{
    QImage image(size, QImage::Format_RGB888);
    image.fill(QColor(200, 30, 40));
    return image;
}

bool reddish(QColor c)
{
    return c.red() > 150 && c.green() < 90 && c.blue() < 90;
}

} // namespace

class TestSizing : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void rules_data()
    {
        QTest::addColumn<int>("rule");
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<QSize>("box");
        QTest::addColumn<QSize>("expected");
        struct Row
        {
            const char* name;
            QSize picture, box, shrunk;
        };
        const Row rows[] = {
            {"banner 10000x40 in 160x120", {10000, 40}, {160, 120}, {160, 1}},
            {"tower 40x10000 in 160x120", {40, 10000}, {160, 120}, {1, 120}},
            {"line 100000x1 in 80x60", {100000, 1}, {80, 60}, {80, 1}},
            {"column 1x100000 in 80x60", {1, 100000}, {80, 60}, {1, 60}},
            {"banner 5000x3 in 80x60", {5000, 3}, {80, 60}, {80, 1}},
            {"banner 1000x5 in 80x60 keeps its truncation", {1000, 5}, {80, 60}, {80, 1}},
            {"banner 1000x13 in 80x60", {1000, 13}, {80, 60}, {80, 1}},
            {"banner 2000x40 in 160x120", {2000, 40}, {160, 120}, {160, 3}},
            {"box of one line", {400, 300}, {160, 1}, {1, 1}},
            {"box of nothing", {400, 300}, {0, 0}, {1, 1}},
        };
        for (const Row& r : rows) {
            QTest::addRow("preview, %s", r.name) << int(igtPreview) << r.picture << r.box << r.shrunk;
            QTest::addRow("stretch, %s", r.name) << int(igtStretch) << r.picture << r.box << r.shrunk;
        }
        // Enlarged by stretch, kept by preview: the small side still a pixel.
        QTest::newRow("stretch, small banner 300x1 in 80x60 is larger one way") << int(igtStretch) << QSize(300, 1)
                                                                               << QSize(80, 60) << QSize(80, 1);
        QTest::newRow("stretch, 100x1 in 800x600 enlarged") << int(igtStretch) << QSize(100, 1) << QSize(800, 600)
                                                            << QSize(800, 8);
        QTest::newRow("stretch, 1x100 in 800x600 enlarged") << int(igtStretch) << QSize(1, 100) << QSize(800, 600)
                                                            << QSize(6, 600);
        QTest::newRow("stretch, 1000x1 in 1200x100 enlarged") << int(igtStretch) << QSize(1000, 1)
                                                              << QSize(1200, 100) << QSize(1200, 1);
        QTest::newRow("preview, 100x1 in 800x600 kept") << int(igtPreview) << QSize(100, 1) << QSize(800, 600)
                                                        << QSize(100, 1);
        QTest::newRow("fit, box of nothing") << int(igtFit) << QSize(400, 300) << QSize(0, 0) << QSize(1, 1);
        QTest::newRow("fit, banner") << int(igtFit) << QSize(10000, 40) << QSize(160, 120) << QSize(160, 120);
    }
    void rules()
    {
        QFETCH(int, rule);
        QFETCH(QSize, picture);
        QFETCH(QSize, box);
        QFETCH(QSize, expected);
        const QSize size = sq::FitSize(TGetType(rule), picture.width(), picture.height(), box.width(), box.height());
        QCOMPARE(size, expected);
        QVERIFY(size.width() <= std::max(1, box.width()) && size.height() <= std::max(1, box.height()));
        if (rule == igtPreview)
            QCOMPARE(sq::ShrinkSize(picture.width(), picture.height(), box.width(), box.height()).size(), expected);
        // The picture made to that size is there, in the banner's colour.
        if (qint64(picture.width()) * picture.height() <= 10000000) {
            QImage image = banner(picture);
            sq::FitBitmap(image, TGetType(rule), box.width(), box.height());
            QCOMPARE(image.size(), expected);
            QVERIFY(reddish(image.pixelColor(image.width() / 2, image.height() / 2)));
        }
    }

    void loadedFiles_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("rule");
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<QSize>("expected");
        for (const char* kind : {"bmp", "jpg"})
            for (int rule : {int(igtPreview), int(igtStretch)}) {
                const char* name = rule == igtPreview ? "preview" : "stretch";
                QTest::addRow("%s %s banner", kind, name) << QString::fromLatin1(kind) << rule << QSize(10000, 40)
                                                          << QSize(160, 1);
                QTest::addRow("%s %s tower", kind, name) << QString::fromLatin1(kind) << rule << QSize(40, 10000)
                                                         << QSize(1, 120);
            }
    }
    void loadedFiles()
    {
        QFETCH(QString, kind);
        QFETCH(int, rule);
        QFETCH(QSize, picture);
        QFETCH(QSize, expected);
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("wide.") + kind);
        QVERIFY(kind == QLatin1String("bmp") ? writeBmp(file, banner(picture)) : writeJpeg(file, banner(picture)));
        TImgUtil util;
        util.setGetType(TGetType(rule));
        QCOMPARE(util.LoadImage(file, 160, 120), 0);
        QCOMPARE(util.ImageType(), kind == QLatin1String("bmp") ? iitBmp : iitJpeg);
        QCOMPARE(QSize(util.ImageWidth(), util.ImageHeight()), picture);
        QCOMPARE(util.Bitmap().image().size(), expected);
        QVERIFY(reddish(util.Bitmap().image().pixelColor(expected.width() / 2, expected.height() / 2)));
    }

    void stretchedView()
    {
        // The view's stretch mode keeps the banner as a line too.
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("wide.bmp"));
        QVERIFY(writeBmp(file, banner(QSize(10000, 40))));
        for (const QSize view : {QSize(164, 124), QSize(84, 64)}) {
            TImgBox box;
            box.resize(view);
            box.setSizeType(ispStretch);
            box.setColor(QColor(255, 255, 255));
            QCOMPARE(box.LoadFile(file), 0);
            const TRectL r = box.PictureRect();
            QVERIFY2(r.Right > r.Left && r.Bottom > r.Top,
                     qPrintable(QStringLiteral("%1,%2-%3,%4").arg(r.Left).arg(r.Top).arg(r.Right).arg(r.Bottom)));
            QVERIFY(reddish(box.ViewBitmap().pixelColor((r.Left + r.Right) / 2, r.Top)));
        }
    }
};

QTEST_MAIN(TestSizing)
#include "tst_sizing.moc"
