#include "engine/ImgBox.h"
#include "engine/PictureLoader.h"
#include "tests/engine/BoxCompare.h"
#include "tests/support/TestFiles.h"

#include <QPainter>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <vector>

namespace {
// A box whose client area is exactly w x h (no border).
struct Box
{
    TImgBox box;
    Box(int w, int h)
    {
        box.setBorderStyle(bsNone);
        box.resize(w, h);
        box.show();
    }
};

} // namespace

class TstImgBox : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString picture(int w, int h)
    {
        const QString path = m_dir.filePath(QStringLiteral("p%1x%2.bmp").arg(w).arg(h));
        if (!QFileInfo::exists(path)) {
            QImage img(w, h, QImage::Format_RGB888);
            img.fill(QColor(200, 30, 30));
            sq::test::writeBmp(path, img);
        }
        return path;
    }

private Q_SLOTS:
    void placements_data()
    {
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<int>("sizeType");
        QTest::addColumn<QRect>("place"); // left, top, width, height
        QTest::addColumn<bool>("hbar");
        QTest::addColumn<bool>("vbar");
        QTest::newRow("1000x600 stretched") << QSize(1000, 600) << int(ispStretch) << QRect(0, 50, 500, 300) << false << false;
        QTest::newRow("100x100 stretched") << QSize(100, 100) << int(ispStretch) << QRect(50, 0, 400, 400) << false << false;
        QTest::newRow("300x200 own size") << QSize(300, 200) << int(ispImage) << QRect(100, 100, 300, 200) << false << false;
        QTest::newRow("2000x300 own size") << QSize(2000, 300) << int(ispImage) << QRect(0, 50, 500, 300) << true << false;
        QTest::newRow("600x900 own size") << QSize(600, 900) << int(ispImage) << QRect(0, 0, 500, 400) << true << true;
    }
    void placements()
    {
        QFETCH(QSize, picture);
        QFETCH(int, sizeType);
        QFETCH(QRect, place);
        QFETCH(bool, hbar);
        QFETCH(bool, vbar);
        Box b(500, 400);
        b.box.setSizeType(TSizeType(sizeType));
        QCOMPARE(b.box.LoadFile(this->picture(picture.width(), picture.height())), 0);
        QVERIFY(b.box.Loaded());
        QCOMPARE(b.box.horizontalBar()->isVisibleTo(&b.box), hbar);
        QCOMPARE(b.box.verticalBar()->isVisibleTo(&b.box), vbar);
        const TRectL r = b.box.PictureRect();
        if (hbar && vbar) {
            // The square between the bars is painted, not left as it was.
            const QImage shown = b.box.grab().toImage();
            const int corner = 500 - 2 - b.box.LineStep() / 2;
            QCOMPARE(shown.pixelColor(corner, 400 - 2 - b.box.LineStep() / 2),
                     b.box.palette().window().color());
        }
        if (!hbar && !vbar) {
            QCOMPARE(QRect(r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top), place);
            // The view shows the picture there and the background around it.
            const QImage shown = b.box.grab().toImage();
            QCOMPARE(shown.pixelColor(place.center()), QColor(200, 30, 30));
            if (place.left() > 0)
                QCOMPARE(shown.pixelColor(place.left() / 2, 200), QColor(255, 255, 255));
        }
    }

    // The fitting rules size the picture to what the view shows: the area
    // inside its border, not its outer size.
    void fitsInsideTheBorder_data()
    {
        QTest::addColumn<int>("border");
        QTest::addColumn<int>("getType");
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<QSize>("shown");
        // Outer 1130 x 760; a single border leaves 1126 x 756.
        QTest::newRow("large only, 1600x1200")
            << int(bsSingle) << int(igtPreview) << QSize(1600, 1200) << QSize(1008, 756);
        QTest::newRow("large only, 2000x300")
            << int(bsSingle) << int(igtPreview) << QSize(2000, 300) << QSize(1126, 168);
        QTest::newRow("large only, small kept")
            << int(bsSingle) << int(igtPreview) << QSize(400, 300) << QSize(400, 300);
        QTest::newRow("enlarged, 400x300")
            << int(bsSingle) << int(igtStretch) << QSize(400, 300) << QSize(1008, 756);
        QTest::newRow("exact box")
            << int(bsSingle) << int(igtFit) << QSize(400, 300) << QSize(1126, 756);
        QTest::newRow("no border: the whole box")
            << int(bsNone) << int(igtPreview) << QSize(1600, 1200) << QSize(1013, 760);
    }
    void fitsInsideTheBorder()
    {
        QFETCH(int, border);
        QFETCH(int, getType);
        QFETCH(QSize, picture);
        QFETCH(QSize, shown);
        TImgBox box;
        box.setBorderStyle(TBorderStyle(border));
        box.resize(1130, 760);
        box.show();
        box.ImgUtil()->setGetType(TGetType(getType));
        QCOMPARE(box.LoadFile(this->picture(picture.width(), picture.height())), 0);
        QCOMPARE(box.ImgUtil()->Bitmap().image().size(), shown);
        QVERIFY(!box.verticalBar()->isVisibleTo(&box));
        QVERIFY(!box.horizontalBar()->isVisibleTo(&box));
        QCOMPARE(box.ScrollX(), 0);
        QCOMPARE(box.ScrollY(), 0);
    }

    void scrollRangesAndRightEnd()
    {
        Box b(500, 400);
        QCOMPARE(b.box.LoadFile(picture(2000, 300)), 0);
        QScrollBar* h = b.box.horizontalBar();
        QVERIFY(h->isVisibleTo(&b.box));
        // Range 0 .. 1999 with page 500: the last position is 1500.
        QCOMPARE(h->maximum() + h->pageStep() - 1, 1999);
        QCOMPARE(h->pageStep(), 500);
        QCOMPARE(h->singleStep(), b.box.LineStep());
        h->triggerAction(QAbstractSlider::SliderToMaximum);
        QCOMPARE(b.box.ScrollX(), 1500);
        h->triggerAction(QAbstractSlider::SliderSingleStepSub);
        QCOMPARE(b.box.ScrollX(), 1500 - b.box.LineStep());
        h->triggerAction(QAbstractSlider::SliderPageStepSub);
        QCOMPARE(b.box.ScrollX(), 1000 - b.box.LineStep());
        b.box.ScrollBy(-5000, 0);
        QCOMPARE(b.box.ScrollX(), 0);
        b.box.ScrollBy(300, 0);
        QCOMPARE(h->value(), 300);
        // A change of SizeType resets the offsets.
        b.box.setSizeType(ispStretch);
        QCOMPARE(b.box.ScrollX(), 0);
        QVERIFY(!h->isVisibleTo(&b.box));
        b.box.setSizeType(ispImage);
        QCOMPARE(b.box.ScrollX(), 0);
        QVERIFY(h->isVisibleTo(&b.box));
    }

    void resizeKeepsOffsetInRange()
    {
        Box b(500, 400);
        QCOMPARE(b.box.LoadFile(picture(2000, 300)), 0);
        b.box.ScrollBy(1500, 0);
        b.box.resize(1000, 400);
        QCOMPARE(b.box.ScrollX(), 1000);
        b.box.resize(2100, 400);
        QCOMPARE(b.box.ScrollX(), 0);
        QVERIFY(!b.box.horizontalBar()->isVisibleTo(&b.box));
    }

    void failedLoadsShowNothing()
    {
        Box b(300, 200);
        QVERIFY(sq::test::writeFile(m_dir.filePath(QStringLiteral("bad.jpg")), "nope"));
        QCOMPARE(b.box.LoadFile(m_dir.filePath(QStringLiteral("bad.jpg"))), -1);
        QVERIFY(!b.box.Loaded());
        QVERIFY(b.box.ImageFile().isEmpty());
        QCOMPARE(b.box.LoadFile(m_dir.filePath(QStringLiteral("gone.bmp"))), 1);
        QCOMPARE(b.box.PictureRect(), (TRectL{-1, -1, -1, -1}));
    }

    // Several boxes loaded side by side end exactly as each loaded alone,
    // one after the other: for each sizing rule and size type, pictures
    // larger, smaller, taller and wider than the boxes, a BMP, a damaged
    // JPEG and a missing file, boxes with and without a border, one too
    // small for its scroll bars, each holding another picture before.
    void loadFilesLikeLoadFile_data()
    {
        QTest::addColumn<int>("getType");
        QTest::addColumn<int>("sizeType");
        QTest::addColumn<bool>("oneAtATime"); // a memory budget with room for one
        QTest::newRow("own size") << int(igtNormal) << int(ispImage) << false;
        QTest::newRow("stretched") << int(igtNormal) << int(ispStretch) << false;
        QTest::newRow("large ones fitted") << int(igtPreview) << int(ispImage) << false;
        QTest::newRow("exact box") << int(igtFit) << int(ispStretch) << false;
        QTest::newRow("enlarged") << int(igtStretch) << int(ispImage) << false;
        QTest::newRow("own size, budget for one at a time")
            << int(igtNormal) << int(ispImage) << true;
        QTest::newRow("fitted, budget for one at a time")
            << int(igtPreview) << int(ispImage) << true;
    }
    void loadFilesLikeLoadFile()
    {
        QFETCH(int, getType);
        QFETCH(int, sizeType);
        // The views loaded side by side then take turns for the memory.
        QFETCH(bool, oneAtATime);
        sq::DecodeBudget budget(0);
        const QString dir = m_dir.filePath(QStringLiteral("side"));
        const struct
        {
            const char* name;
            QSize size;
        } pictures[] = {
            {"large.jpg", {1200, 900}}, {"small.jpg", {120, 90}}, {"tall.jpg", {180, 700}},
            {"wide.jpg", {1400, 120}},  {"box.bmp", {310, 190}},  {"odd.png", {333, 211}},
        };
        QStringList files;
        quint32 seed = 1;
        for (const auto& p : pictures) {
            const QString path = dir + QLatin1Char('/') + QLatin1String(p.name);
            const QImage img = sq::test::noiseImage(p.size.width(), p.size.height(), seed++);
            if (path.endsWith(QLatin1String(".bmp")))
                QVERIFY(sq::test::writeBmp(path, img));
            else if (path.endsWith(QLatin1String(".png")))
                QVERIFY(img.save(path, "PNG"));
            else
                QVERIFY(sq::test::writeJpeg(path, img));
            files << path;
        }
        QByteArray cut;
        {
            QFile large(files.at(0));
            QVERIFY(large.open(QIODevice::ReadOnly));
            cut = large.read(large.size() / 2);
        }
        QVERIFY(sq::test::writeFile(dir + QStringLiteral("/cut.jpg"), cut));
        files << dir + QStringLiteral("/cut.jpg") << dir + QStringLiteral("/gone.jpg");
        const QSize sizes[] = {{300, 200}, {451, 333}, {200, 600}, {12, 12},
                               {640, 120}, {257, 255}, {300, 300}, {500, 400}};
        std::vector<std::unique_ptr<TImgBox>> together, alone;
        QList<TCustomImgBox*> boxes;
        QStringList order; // each box a file other than its neighbour's
        for (int i = 0; i < int(std::size(sizes)); ++i) {
            for (auto* set : {&together, &alone}) {
                auto box = std::make_unique<TImgBox>();
                box->setBorderStyle(i % 3 == 0 ? bsSingle : bsNone);
                box->setColor(i % 2 ? Qt::black : QColor(10, 200, 30));
                box->ImgUtil()->setGetType(TGetType(getType));
                sq::installPictureLoader(*box->ImgUtil()); // as every view of the program
                if (oneAtATime && set == &together) box->ImgUtil()->setBudget(&budget);
                box->setSizeType(TSizeType(sizeType));
                box->resize(sizes[i]);
                box->show();
                QCOMPARE(box->LoadFile(files.at((i + 3) % 6)), 0);
                set->push_back(std::move(box));
            }
            boxes << together.back().get();
            order << files.at((i * 5) % files.size());
        }
        const QList<int> results = TCustomImgBox::LoadFiles(boxes, order);
        QCOMPARE(results.size(), boxes.size());
        for (int i = 0; i < boxes.size(); ++i) {
            const int wanted = alone[size_t(i)]->LoadFile(order.at(i));
            QCOMPARE(results.at(i), wanted);
            compareBoxes(*together[size_t(i)], *alone[size_t(i)]);
            if (QTest::currentTestFailed()) qWarning() << "box" << i << order.at(i);
        }
        QVERIFY(results.contains(-1)); // the cut file
        QVERIFY(results.contains(1));  // the missing one
        QCOMPARE(results.count(0), 6);
        if (oneAtATime) {
            QCOMPARE(budget.peakHolders(), 1);
            QCOMPARE(budget.held(), qint64(0));
        }
        // The same box twice takes the one-after-the-other path: the last file wins.
        TImgBox& twice = *together[1];
        QCOMPARE(TCustomImgBox::LoadFiles({&twice, &twice}, {files.at(1), files.at(2)}),
                 (QList<int>{0, 0}));
        QCOMPARE(twice.ImageFile(), files.at(2));
    }

    void paintHookAndColour()
    {
        Box b(200, 200);
        int painted = 0;
        b.box.OnPaint = [&painted](TCustomImgBox*, QPainter& p) {
            ++painted;
            p.fillRect(0, 0, 4, 4, Qt::blue);
        };
        b.box.setColor(QColor(0, 0, 0));
        QCOMPARE(b.box.LoadFile(picture(50, 50)), 0);
        const QImage shown = b.box.grab().toImage();
        QVERIFY(painted > 0);
        QCOMPARE(shown.pixelColor(1, 1), QColor(0, 0, 255));
        QCOMPARE(shown.pixelColor(20, 100), QColor(0, 0, 0));
        QCOMPARE(shown.pixelColor(100, 100), QColor(200, 30, 30));
    }
};

QTEST_MAIN(TstImgBox)
#include "tst_imgbox.moc"
