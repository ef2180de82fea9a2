// What the browser's cells show of awkward pictures: banners far wider or
// taller than the cell keep a visible line, and photographs tagged with an
// EXIF Orientation stand upright, from the decoder and from the cache.
#include "browser/ImgPanel.h"

#include "tests/support/ExifFiles.h"
#include "tests/support/TestFiles.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>

using namespace sq::test;

namespace {

bool waitIdle(TImgPanel& p, int ms = 20000)
{
    QElapsedTimer t;
    t.start();
    while (p.Loader().Busy() && t.elapsed() < ms) QTest::qWait(5);
    return !p.Loader().Busy();
}

void openIn(TImgPanel& p, const QString& folder, QSize cell, TGetType rule)
{
    p.ViewImage().SetImageWidth(cell.width());
    p.ViewImage().SetImageHeight(cell.height());
    p.ViewImage().ImgUtil().setGetType(rule);
    p.SetColor(RGB(255, 255, 255));
    p.ViewImage().SmallIcon().SetIconPos(iipNone);
    p.show();
    p.resize(700, 500);
    QCoreApplication::processEvents();
    p.OpenFolder(folder);
}

int indexNamed(TImgPanel& p, const QString& name)
{
    for (int i = 0; i < p.Items().Count(); ++i)
        if (p.Items().Items(i)->ParseName().endsWith(QLatin1Char('/') + name)) return i;
    return -1;
}

bool reddish(QColor c)
{
    return c.red() > 150 && c.green() < 90 && c.blue() < 90;
}

QImage flat(QSize size)
{
    QImage image(size, QImage::Format_RGB888);
    image.fill(QColor(200, 30, 40));
    return image;
}

} // namespace

class TestPanelPictures : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void bannersKeepALine_data()
    {
        QTest::addColumn<int>("rule");
        QTest::addColumn<QSize>("cell");
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<QSize>("shown");
        for (int rule : {int(igtPreview), int(igtStretch)}) {
            const char* name = rule == igtPreview ? "preview" : "stretch";
            QTest::addRow("%s 10000x40 in 160x120", name) << rule << QSize(160, 120) << QSize(10000, 40) << QSize(160, 1);
            QTest::addRow("%s 40x10000 in 160x120", name) << rule << QSize(160, 120) << QSize(40, 10000) << QSize(1, 120);
            QTest::addRow("%s 5000x3 in 80x60", name) << rule << QSize(80, 60) << QSize(5000, 3) << QSize(80, 1);
            QTest::addRow("%s 3x5000 in 80x60", name) << rule << QSize(80, 60) << QSize(3, 5000) << QSize(1, 60);
        }
    }
    void bannersKeepALine()
    {
        QFETCH(int, rule);
        QFETCH(QSize, cell);
        QFETCH(QSize, picture);
        QFETCH(QSize, shown);
        QTemporaryDir dir;
        QVERIFY(writeBmp(dir.filePath(QStringLiteral("b.bmp")), flat(picture)));
        QVERIFY(writeJpeg(dir.filePath(QStringLiteral("j.jpg")), flat(picture)));
        TImgPanel p;
        openIn(p, dir.path(), cell, TGetType(rule));
        QVERIFY(waitIdle(p));
        QCoreApplication::processEvents();
        for (const char* name : {"b.bmp", "j.jpg"}) {
            const int index = indexNamed(p, QString::fromLatin1(name));
            QVERIFY(index >= 0);
            TPanelItem* item = p.Items().Items(index);
            QVERIFY2(item->LoadDone, name);
            QCOMPARE(item->CellBitmap.size(), cell);
            QCOMPARE(QSize(item->PictureWidth, item->PictureHeight), picture);
            // The line lies centred in the cell, white around it.
            const QImage& c = item->CellBitmap;
            const QPoint mid((cell.width() - shown.width()) / 2 + shown.width() / 2,
                             (cell.height() - shown.height()) / 2 + shown.height() / 2);
            QVERIFY2(reddish(c.pixelColor(mid)), name);
            if (shown.height() == 1) {
                QVERIFY(!reddish(c.pixelColor(mid.x(), mid.y() - 1)));
                QVERIFY(!reddish(c.pixelColor(mid.x(), mid.y() + 1)));
            } else {
                QVERIFY(!reddish(c.pixelColor(mid.x() - 1, mid.y())));
                QVERIFY(!reddish(c.pixelColor(mid.x() + 1, mid.y())));
            }
            // And the back buffer shows it.
            const QRect box = p.PictureBox(index);
            if (box.isValid()) QVERIFY(reddish(QColor(p.BackBuffer().pixel(box.topLeft() + mid))));
        }
    }

    void photographsStandUpright()
    {
        // Upright 256 x 128 in an 80 x 60 cell: 80 x 40, centred. Each file's
        // scan holds the picture as its orientation stores it.
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("thumb")));
        for (int o = 1; o <= 8; ++o) {
            const QByteArray scan = sq::encodeJpeg(storedFor(quadrantPicture(256, 128), o), 100, false);
            QVERIFY(writeFile(dir.filePath(QStringLiteral("o%1.jpg").arg(o)), withApp1(scan, orientationPayload(o))));
        }
        for (bool fromCache : {false, true}) {
            if (fromCache) {
                // The first pass left an entry for every picture.
                TThumb cache;
                cache.setPath(dir.filePath(QStringLiteral("thumb")));
                for (int o = 1; o <= 8; ++o) {
                    QByteArray stream;
                    QVERIFY(cache.Find(dir.filePath(QStringLiteral("o%1.jpg").arg(o)), stream));
                    QVERIFY(cache.currentEntry().flags & TImgUtil::UprightFlag);
                }
            }
            TImgPanel p;
            p.ViewImage().Thumbnail().setPath(dir.filePath(QStringLiteral("thumb")));
            p.ViewImage().ImgUtil().setAutoThumb(true);
            openIn(p, dir.path(), QSize(80, 60), igtStretch);
            QVERIFY(waitIdle(p));
            QCoreApplication::processEvents();
            for (int o = 1; o <= 8; ++o) {
                const int index = indexNamed(p, QStringLiteral("o%1.jpg").arg(o));
                QVERIFY(index >= 0);
                TPanelItem* item = p.Items().Items(index);
                QVERIFY(item->LoadDone);
                QCOMPARE(QSize(item->PictureWidth, item->PictureHeight), QSize(256, 128));
                QString why;
                QVERIFY2(showsQuadrants(item->CellBitmap.copy(0, 10, 80, 40), 3, 16, &why),
                         qPrintable(QStringLiteral("orientation %1%2: %3")
                                        .arg(o)
                                        .arg(fromCache ? QStringLiteral(" (cache)") : QString())
                                        .arg(why)));
            }
        }
    }
};

QTEST_MAIN(TestPanelPictures)
#include "tst_panelpictures.moc"
