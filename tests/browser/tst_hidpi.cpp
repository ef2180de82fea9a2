// The browser and the thumbnail cache on a screen of a device pixel ratio
// above 1. CTest runs this at QT_SCALE_FACTOR 1, 1.25, 1.5 and 2 (offscreen):
// a cell shows the engine's picture made at the cell's device size, pixel
// for pixel, and the cache keeps the thumbnails of each ratio apart.
#include "browser/ImgPanel.h"
#include "engine/DeviceRects.h"
#include "engine/ImgBox.h"

#include "tests/support/FileDamage.h"
#include "tests/support/TestFiles.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPixmap>
#include <QScreen>
#include <QTemporaryDir>
#include <QtTest>

using namespace sq::test;

namespace {

bool waitIdle(TImgPanel& p, int ms = 20000)
{
    QElapsedTimer t;
    t.start();
    while (p.Loader().Busy() && t.elapsed() < ms)
        QTest::qWait(5);
    QCoreApplication::processEvents();
    return !p.Loader().Busy();
}

// Fine detail that any enlargement or shift would change: a one-pixel
// checkerboard with a colour ramp laid over it.
QImage fineDetail(QSize size)
{
    QImage image(size, QImage::Format_RGB888);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x) {
            const bool on = (x + y) & 1;
            image.setPixelColor(x, y, on ? QColor(255, x % 256, 0) : QColor(0, y % 256, 255));
        }
    return image;
}

QImage solid(QSize size, QColor c)
{
    QImage image(size, QImage::Format_RGB888);
    image.fill(c);
    return image;
}

void configure(TImgPanel& p, QSize cell)
{
    p.ViewImage().SetImageWidth(cell.width());
    p.ViewImage().SetImageHeight(cell.height());
    p.ViewImage().ImgUtil().setGetType(igtStretch);
    p.SetColor(RGB(255, 255, 255));
    p.ViewImage().SmallIcon().SetIconPos(iipNone);
    p.resize(640, 420);
    p.show();
    QCoreApplication::processEvents();
}

void useCache(TImgPanel& p, const QString& folder)
{
    p.ViewImage().Thumbnail().setPath(folder);
    p.ViewImage().ImgUtil().setAutoThumb(true);
}

int indexNamed(TImgPanel& p, const QString& name)
{
    for (int i = 0; i < p.Items().Count(); ++i)
        if (p.Items().Items(i)->ParseName().endsWith(QLatin1Char('/') + name)) return i;
    return -1;
}

// What the engine alone makes of the file for a box, configured as the
// panel's engine but without a cache.
QImage engineAt(TImgPanel& p, const QString& path, QSize box)
{
    TImgUtil e;
    TEngineSettings s = TEngineSettings::of(p.ViewImage().ImgUtil());
    s.thumbnail = nullptr;
    s.autoThumb = false;
    s.applyTo(e);
    if (e.LoadImage(path, box.width(), box.height()) != 0) return {};
    return e.Bitmap().image().convertToFormat(QImage::Format_RGB888);
}

// The part of a device-sized cell bitmap a picture of size s fills, centred.
QRect centred(QSize cell, QSize s)
{
    return QRect(QPoint((cell.width() - s.width()) / 2, (cell.height() - s.height()) / 2), s);
}

QImage plain(const QImage& image)
{
    QImage copy = image.convertToFormat(QImage::Format_RGB888);
    copy.setDevicePixelRatio(1);
    return copy;
}

// Adds an entry for picture to the cache file of a ratio: a picture of one
// colour standing in for the real thumbnail.
void plantEntry(const QString& cacheFolder, qreal ratio, const QString& picture, QSize thumb,
                QColor c)
{
    TThumb t;
    t.setPath(cacheFolder);
    t.setDeviceScale(ratio);
    TThumbEntry& e = t.currentEntry();
    e.flags = TImgUtil::UprightFlag;
    e.thumbWidth = thumb.width();
    e.thumbHeight = thumb.height();
    const QImage full(picture);
    e.pictureWidth = full.width();
    e.pictureHeight = full.height();
    t.Add(picture, sq::encodeJpeg(solid(thumb, c), 100, false));
}

bool mostly(const QImage& image, QColor c)
{
    int near = 0;
    const QImage rgb = plain(image);
    for (int y = 0; y < rgb.height(); ++y)
        for (int x = 0; x < rgb.width(); ++x) {
            const QColor p = rgb.pixelColor(x, y);
            near += std::abs(p.red() - c.red()) + std::abs(p.green() - c.green()) +
                        std::abs(p.blue() - c.blue()) <
                    30;
        }
    return near * 2 > rgb.width() * rgb.height();
}

} // namespace

class TestHiDpi : public QObject
{
    Q_OBJECT

    qreal ratio() const { return qApp->devicePixelRatio(); }

private Q_SLOTS:
    void initTestCase()
    {
        const QByteArray factor = qgetenv("QT_SCALE_FACTOR");
        if (!factor.isEmpty()) QCOMPARE(ratio(), factor.toDouble());
    }

    void deviceRects_data()
    {
        QTest::addColumn<qreal>("ratio");
        QTest::addColumn<QRect>("logical");
        QTest::addColumn<QRect>("box");
        QTest::addColumn<QRect>("edges");
        QTest::newRow("1x") << 1.0 << QRect(3, 5, 80, 60) << QRect(3, 5, 80, 60)
                            << QRect(3, 5, 80, 60);
        QTest::newRow("2x") << 2.0 << QRect(3, 5, 80, 60) << QRect(6, 10, 160, 120)
                            << QRect(6, 10, 160, 120);
        // 1.5: 81 * 1.5 = 121.5 rounds up; the edges 4.5 -> 5 and 126 -> 126.
        QTest::newRow("1.5x odd") << 1.5 << QRect(3, 1, 81, 61) << QRect(5, 2, 122, 92)
                                  << QRect(5, 2, 121, 91);
        QTest::newRow("1.5x even")
            << 1.5 << QRect(2, 4, 80, 60) << QRect(3, 6, 120, 90) << QRect(3, 6, 120, 90);
        QTest::newRow("1.25x") << 1.25 << QRect(1, 2, 81, 61) << QRect(1, 3, 101, 76)
                               << QRect(1, 3, 102, 76);
    }
    void deviceRects()
    {
        QFETCH(qreal, ratio);
        QFETCH(QRect, logical);
        QFETCH(QRect, box);
        QFETCH(QRect, edges);
        QCOMPARE(sq::deviceBox(logical, ratio), box);
        QCOMPARE(sq::deviceEdges(logical, ratio), edges);
        // Areas that touch in logical pixels touch in device pixels.
        const QRect next(logical.right() + 1, logical.top(), 7, logical.height());
        QCOMPARE(sq::deviceEdges(next, ratio).left(), edges.right() + 1);
        // Every cell maps its inside alike, wherever the cell stands.
        const QRect inner(logical.topLeft() + QPoint(3, 2), QSize(9, 5));
        const sq::CellMapping a(logical.topLeft(), ratio);
        const sq::CellMapping b(logical.topLeft() + QPoint(83, 67), ratio);
        QCOMPARE(b.edges(inner.translated(83, 67)).size(), a.edges(inner).size());
        QCOMPARE(b.edges(inner.translated(83, 67)).topLeft() - b.deviceOrigin,
                 a.edges(inner).topLeft() - a.deviceOrigin);
        QCOMPARE(a.box(logical).size(), box.size());
    }

    void cacheFileNames_data()
    {
        QTest::addColumn<qreal>("scale");
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QString>("expected");
        QTest::newRow("1x") << 1.0 << QString() << QStringLiteral("prog.dat");
        QTest::newRow("2x") << 2.0 << QString() << QStringLiteral("prog@2x.dat");
        QTest::newRow("1.5x") << 1.5 << QString() << QStringLiteral("prog@1.5x.dat");
        QTest::newRow("1.25x") << 1.25 << QString() << QStringLiteral("prog@1.25x.dat");
        QTest::newRow("noise of 1") << 1.0000001 << QString() << QStringLiteral("prog.dat");
        QTest::newRow("noise of 1.5") << 1.4999999 << QString() << QStringLiteral("prog@1.5x.dat");
        QTest::newRow("zero") << 0.0 << QString() << QStringLiteral("prog.dat");
        QTest::newRow("negative") << -2.0 << QString() << QStringLiteral("prog.dat");
        QTest::newRow("not a number") << qQNaN() << QString() << QStringLiteral("prog.dat");
        QTest::newRow("infinite") << qInf() << QString() << QStringLiteral("prog.dat");
        QTest::newRow("own name 2x")
            << 2.0 << QStringLiteral("mine.bin") << QStringLiteral("mine@2x.bin");
        QTest::newRow("own name, no extension")
            << 2.0 << QStringLiteral("mine") << QStringLiteral("mine@2x.dat");
        QTest::newRow("own name 1x")
            << 1.0 << QStringLiteral("mine.bin") << QStringLiteral("mine.bin");
    }
    void cacheFileNames()
    {
        QFETCH(qreal, scale);
        QFETCH(QString, fileName);
        QFETCH(QString, expected);
        TThumb t;
        t.setPath(QStringLiteral("/c"));
        t.setExeName(QStringLiteral("prog"));
        t.setFileName(fileName);
        t.setDeviceScale(scale);
        QCOMPARE(t.CacheFileName(QStringLiteral("/p/a.jpg")), QStringLiteral("/c/") + expected);
    }

    // The cell's bitmap, the back buffer and what the window paints all hold
    // the engine's picture made at the device size, pixel for pixel.
    void cellsShowDevicePixels_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<QSize>("cell");
        QTest::newRow("bmp, cell's aspect")
            << QStringLiteral("a.bmp") << QSize(400, 300) << QSize(80, 60);
        QTest::newRow("bmp, wide") << QStringLiteral("w.bmp") << QSize(517, 131) << QSize(80, 60);
        QTest::newRow("bmp, odd cell")
            << QStringLiteral("o.bmp") << QSize(333, 401) << QSize(81, 61);
        QTest::newRow("jpeg, cell's aspect")
            << QStringLiteral("a.jpg") << QSize(640, 480) << QSize(80, 60);
        QTest::newRow("jpeg, tall, odd cell")
            << QStringLiteral("t.jpg") << QSize(203, 611) << QSize(97, 73);
        QTest::newRow("smaller than the cell")
            << QStringLiteral("s.bmp") << QSize(41, 23) << QSize(80, 60);
    }
    void cellsShowDevicePixels()
    {
        QFETCH(QString, name);
        QFETCH(QSize, picture);
        QFETCH(QSize, cell);
        QTemporaryDir dir;
        const QString path = dir.filePath(name);
        QVERIFY(name.endsWith(QLatin1String(".bmp")) ? writeBmp(path, fineDetail(picture))
                                                     : writeJpeg(path, fineDetail(picture), 95));
        TImgPanel p;
        configure(p, cell);
        p.OpenFolder(dir.path());
        QVERIFY(waitIdle(p));
        QCOMPARE(p.DeviceRatio(), ratio());
        const int index = indexNamed(p, name);
        QVERIFY(index >= 0);
        TPanelItem* item = p.Items().Items(index);
        QVERIFY(item->LoadDone);
        // The picture's own size, and the cell, stay in logical pixels.
        QCOMPARE(QSize(item->PictureWidth, item->PictureHeight), picture);
        QCOMPARE(p.PictureBox(index).size(), cell);

        const QSize device = sq::toDevice(cell, ratio());
        QCOMPARE(item->CellBitmap.size(), device);
        QCOMPARE(item->CellBitmap.devicePixelRatio(), ratio());
        const QImage engine = engineAt(p, path, device);
        QVERIFY(!engine.isNull());
        const QRect part = centred(device, engine.size());
        QCOMPARE(plain(item->CellBitmap.copy(part)), plain(engine));

        const QRect box = p.PictureDeviceBox(index);
        QCOMPARE(box.size(), device);
        QCOMPARE(p.BackBuffer().devicePixelRatio(), ratio());
        const QRect inBack(box.topLeft() + part.topLeft(), part.size());
        QCOMPARE(plain(p.BackBuffer().copy(inBack)), plain(engine));

        // What reaches the window: a grab at the device ratio.
        const QImage shown = p.viewport()->grab().toImage();
        QCOMPARE(shown.devicePixelRatio(), ratio());
        QCOMPARE(plain(shown.copy(inBack)), plain(engine));
    }

    // Cells, frames and the spaces between them have the same device pixels
    // in every slot: no seam, no pixel of one cell cut off or left over.
    void everyCellAlike()
    {
        QTemporaryDir dir;
        const QImage same = fineDetail(QSize(300, 200));
        for (int i = 0; i < 9; ++i)
            QVERIFY(writeBmp(dir.filePath(QStringLiteral("p%1.bmp").arg(i)), same));
        TImgPanel p;
        configure(p, QSize(81, 61));
        p.View().SetShowCaptions(false);
        p.ViewImage().Frame().SetVisible(true);
        p.OpenFolder(dir.path());
        QVERIFY(waitIdle(p));
        QVERIFY(p.VisibleCells() >= 6);
        const QImage back = plain(p.BackBuffer());
        const QSize cellSize(p.ViewImage().CellWidth(), p.ViewImage().CellHeight());
        // A cell in device pixels.
        auto cellAt = [&](int slot) {
            const QPoint o = p.SlotOrigin(slot);
            return sq::CellMapping(o, ratio()).edges(QRect(o, cellSize));
        };
        // The first entry may carry the focus; the second is the pattern.
        const QImage want = back.copy(cellAt(1));
        QVERIFY(!want.isNull());
        const QRect firstBox = p.PictureDeviceBox(1);
        for (int i = 2; i < std::min(p.Items().Count(), p.VisibleCells()); ++i) {
            QCOMPARE(p.PictureDeviceBox(i).size(), firstBox.size());
            QCOMPARE(p.PictureDeviceBox(i).topLeft() - cellAt(i).topLeft(),
                     firstBox.topLeft() - cellAt(1).topLeft());
            QCOMPARE(back.copy(cellAt(i)), want);
            // Between two cells of a row: the background, and nothing else.
            if (i % p.Columns() == 0) continue;
            const QRect gap(QPoint(cellAt(i - 1).right() + 1, cellAt(i).top()),
                            QPoint(cellAt(i).left() - 1, cellAt(i).bottom()));
            QVERIFY(gap.width() >= 1);
            QCOMPARE(back.copy(gap), solid(gap.size(), Qt::white));
        }
    }

    // A 1x entry of a picture never stands in for the thumbnail at another
    // ratio, nor the other way round; each ratio's entries are found again.
    void cacheKeepsRatiosApart()
    {
        if (ratio() == 1) QSKIP("needs a device pixel ratio above 1");
        QTemporaryDir dir;
        const QString pictures = dir.filePath(QStringLiteral("pictures"));
        const QString cache = dir.filePath(QStringLiteral("thumb"));
        QVERIFY(QDir().mkpath(pictures));
        QVERIFY(QDir().mkpath(cache));
        const QString path = pictures + QStringLiteral("/a.bmp");
        QVERIFY(writeBmp(path, fineDetail(QSize(400, 300))));
        const QSize cell(80, 60), device = sq::toDevice(cell, ratio());
        // A 1x entry of one green colour, as a 1x browser would have left.
        plantEntry(cache, 1, path, cell, QColor(0, 200, 0));

        {
            TImgPanel p;
            configure(p, cell);
            useCache(p, cache);
            p.OpenFolder(pictures);
            QVERIFY(waitIdle(p));
            TPanelItem* item = p.Items().Items(indexNamed(p, QStringLiteral("a.bmp")));
            QVERIFY(!p.Loader().LastFromCache());
            QCOMPARE(item->CellBitmap.size(), device);
            QVERIFY(!mostly(item->CellBitmap, QColor(0, 200, 0)));
            QCOMPARE(plain(item->CellBitmap), plain(engineAt(p, path, device)));
            QVERIFY(QFileInfo::exists(p.ViewImage().Thumbnail().CacheFileName(path)));
        }
        {
            // The next browser at this ratio takes its own entry.
            TImgPanel p;
            configure(p, cell);
            useCache(p, cache);
            p.OpenFolder(pictures);
            QVERIFY(waitIdle(p));
            TPanelItem* item = p.Items().Items(indexNamed(p, QStringLiteral("a.bmp")));
            QVERIFY(p.Loader().LastFromCache());
            QCOMPARE(item->CellBitmap.size(), device);
            QVERIFY(!mostly(item->CellBitmap, QColor(0, 200, 0)));
        }
        // The 1x entry is as it was: a 1x engine still gets the green picture.
        TImgUtil e;
        TThumb thumb;
        thumb.setPath(cache);
        e.setThumbnail(&thumb);
        e.setAutoThumb(true);
        e.setGetType(igtStretch);
        QCOMPARE(e.LoadImage(path, cell.width(), cell.height()), 0);
        QVERIFY(e.LastFromCache());
        QCOMPARE(e.Bitmap().image().size(), cell);
        QVERIFY(mostly(e.Bitmap().image(), QColor(0, 200, 0)));

        // And the other way: an entry planted at this ratio is not what 1x shows.
        const QString other = pictures + QStringLiteral("/b.bmp");
        QVERIFY(writeBmp(other, fineDetail(QSize(400, 300))));
        plantEntry(cache, ratio(), other, device, QColor(200, 0, 200));
        QCOMPARE(e.LoadImage(other, cell.width(), cell.height()), 0);
        QVERIFY(!e.LastFromCache());
        QVERIFY(!mostly(e.Bitmap().image(), QColor(200, 0, 200)));
        e.setCacheScale(ratio());
        QCOMPARE(e.LoadImage(other, device.width(), device.height()), 0);
        QVERIFY(e.LastFromCache());
        QVERIFY(mostly(e.Bitmap().image(), QColor(200, 0, 200)));
    }

    // The preview and the slide view's screens: a picture stretched to the
    // view is made at the view's device pixels and painted one to one; a
    // picture at its own size keeps one pixel to a logical pixel.
    void viewsAtDevicePixels_data()
    {
        QTest::addColumn<int>("getType");
        QTest::addColumn<int>("sizeType");
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<bool>("together");
        QTest::newRow("stretch, aspect kept")
            << int(igtNormal) << int(ispStretch) << QSize(640, 480) << false;
        QTest::newRow("stretch, small picture")
            << int(igtNormal) << int(ispStretch) << QSize(61, 37) << false;
        QTest::newRow("fit, aspect not kept")
            << int(igtFit) << int(ispStretch) << QSize(640, 480) << false;
        QTest::newRow("screens, stretch")
            << int(igtNormal) << int(ispStretch) << QSize(517, 301) << true;
        QTest::newRow("screens, fit") << int(igtFit) << int(ispStretch) << QSize(517, 301) << true;
        QTest::newRow("own size") << int(igtNormal) << int(ispImage) << QSize(150, 90) << false;
    }
    void viewsAtDevicePixels()
    {
        QFETCH(int, getType);
        QFETCH(int, sizeType);
        QFETCH(QSize, picture);
        QFETCH(bool, together);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("v.bmp"));
        QVERIFY(writeBmp(path, fineDetail(picture)));
        QWidget window;
        window.resize(700, 300);
        QList<TCustomImgBox*> boxes;
        for (int i = 0; i < (together ? 2 : 1); ++i) {
            auto* box = new TImgBox(&window);
            box->setGeometry(5 + 340 * i, 7, 301 + 10 * i, 203);
            box->ImgUtil()->setGetType(TGetType(getType));
            box->setSizeType(TSizeType(sizeType));
            boxes << box;
        }
        window.show();
        QCoreApplication::processEvents();
        if (together) {
            const QList<int> r = TCustomImgBox::LoadFiles(boxes, QStringList{path, path});
            QCOMPARE(r, (QList<int>{0, 0}));
        } else {
            QCOMPARE(boxes[0]->LoadFile(path), 0);
        }
        QCoreApplication::processEvents();
        for (TCustomImgBox* box : boxes) {
            const qreal d = sizeType == ispStretch ? ratio() : 1;
            const QSize client = box->clientSize();
            const QImage& view = box->ViewBitmap();
            QCOMPARE(view.devicePixelRatio(), d);
            if (sizeType == ispImage) {
                QCOMPARE(view.size(), client.expandedTo(picture));
                QCOMPARE(box->ImgUtil()->Bitmap().image().size(), picture);
            } else {
                QCOMPARE(view.size(), sq::toDevice(client, d));
                // The engine fitted the picture to the device size itself.
                if (getType == igtFit)
                    QCOMPARE(box->ImgUtil()->Bitmap().image().size(), sq::toDevice(client, d));
                const TImgView want = sq::MakeImgView(box->ImgUtil()->Bitmap().image(), ispStretch,
                                                      sq::toDevice(client, d), Qt::white);
                QCOMPARE(plain(view), plain(want.Bitmap));
                // The place stays logical, inside the client.
                const TRectL r = box->PictureRect();
                QVERIFY(r.Left >= 0 && r.Top >= 0 && r.Right <= client.width() &&
                        r.Bottom <= client.height());
                QVERIFY(std::abs(r.Right - r.Left -
                                 int(std::lround((want.Place.Right - want.Place.Left) / d))) <= 1);
            }
            // What the window shows inside the border is the bitmap, one to one.
            const QImage shown = box->grab().toImage();
            QCOMPARE(shown.devicePixelRatio(), ratio());
            const QRect area = sq::deviceBox(QRect(QPoint(2, 2), client), ratio());
            if (sizeType == ispStretch)
                QCOMPARE(plain(shown.copy(area)),
                         plain(view).copy(QRect(QPoint(0, 0), area.size())));
            else
                QCOMPARE(box->ImgUtil()->ImageWidth(), picture.width());
        }
    }

    // Moved to a screen of another ratio, the browser's cells and a
    // stretched picture are made anew at that screen's device size; moved
    // back, at the first one's. Needs two screens of different ratios
    // (CTest gives the offscreen platform such a pair).
    void movedToAnotherRatio()
    {
        const QList<QScreen*> screens = QGuiApplication::screens();
        if (screens.size() < 2 || screens[0]->devicePixelRatio() == screens[1]->devicePixelRatio())
            QSKIP("needs two screens of different device pixel ratios");
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("m.bmp"));
        QVERIFY(writeBmp(path, fineDetail(QSize(400, 300))));
        const QSize cell(80, 60);
        TImgPanel p;
        configure(p, cell);
        TImgBox box;
        box.resize(301, 203);
        box.ImgUtil()->setGetType(igtFit);
        box.setSizeType(ispStretch);
        box.show();
        p.OpenFolder(dir.path());
        QVERIFY(waitIdle(p));
        QCOMPARE(box.LoadFile(path), 0);
        for (QScreen* screen : {screens[1], screens[0], screens[1]}) {
            const QPoint at = screen->geometry().topLeft() + QPoint(20, 20);
            p.move(at);
            box.move(at + QPoint(0, 100));
            QTRY_COMPARE(p.viewport()->devicePixelRatioF(), screen->devicePixelRatio());
            const qreal r = screen->devicePixelRatio();
            QCoreApplication::processEvents();
            p.viewport()->repaint();
            QVERIFY(waitIdle(p));
            QCOMPARE(p.DeviceRatio(), r);
            TPanelItem* item = p.Items().Items(indexNamed(p, QStringLiteral("m.bmp")));
            QVERIFY(item->LoadDone);
            const QSize device = sq::toDevice(cell, r);
            QCOMPARE(item->CellBitmap.size(), device);
            QCOMPARE(item->CellBitmap.devicePixelRatio(), r);
            const QImage engine = engineAt(p, path, device);
            QCOMPARE(plain(item->CellBitmap.copy(centred(device, engine.size()))), plain(engine));
            QTRY_COMPARE(box.ViewBitmap().devicePixelRatio(), r);
            QCOMPARE(box.ViewBitmap().size(), sq::toDevice(box.clientSize(), r));
            QCOMPARE(box.ImgUtil()->Bitmap().image().size(), sq::toDevice(box.clientSize(), r));
        }
    }

    // A damaged cache file of one ratio is a miss for that ratio alone.
    void damagedRatioFile_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<qint64>("cutTo");
        QTest::newRow("not a cache file")
            << QByteArray("garbage that is no thumbnail cache") << qint64(-1);
        QTest::newRow("cut in the header") << QByteArray() << qint64(10);
        QTest::newRow("cut in the entry") << QByteArray() << qint64(60);
        QTest::newRow("cut in the picture") << QByteArray() << qint64(-200);
    }
    void damagedRatioFile()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(qint64, cutTo);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("a.bmp"));
        QVERIFY(writeBmp(path, fineDetail(QSize(400, 300))));
        const QString cache = dir.filePath(QStringLiteral("thumb"));
        QVERIFY(QDir().mkpath(cache));
        plantEntry(cache, 1, path, QSize(80, 60), QColor(0, 200, 0));
        plantEntry(cache, 2, path, QSize(160, 120), QColor(200, 0, 200));
        TThumb thumb;
        thumb.setPath(cache);
        thumb.setDeviceScale(2);
        const QString file2x = thumb.CacheFileName(path);
        QVERIFY(file2x.endsWith(QLatin1String("@2x.dat")));
        if (!bytes.isEmpty()) {
            QFile f(file2x);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(bytes);
        } else {
            const qint64 size = QFileInfo(file2x).size();
            QVERIFY(truncateFile(file2x, cutTo < 0 ? size + cutTo : cutTo));
        }
        TImgUtil e;
        e.setThumbnail(&thumb);
        e.setAutoThumb(true);
        e.setGetType(igtStretch);
        e.setCacheScale(2);
        QCOMPARE(e.LoadImage(path, 160, 120), 0);
        QVERIFY(!e.LastFromCache());
        QCOMPARE(e.Bitmap().image().size(), QSize(160, 120));
        QVERIFY(!mostly(e.Bitmap().image(), QColor(200, 0, 200)));
        // The 1x file is untouched by the other's damage.
        e.setCacheScale(1);
        QCOMPARE(e.LoadImage(path, 80, 60), 0);
        QVERIFY(e.LastFromCache());
        QVERIFY(mostly(e.Bitmap().image(), QColor(0, 200, 0)));
    }
};

QTEST_MAIN(TestHiDpi)
#include "tst_hidpi.moc"
