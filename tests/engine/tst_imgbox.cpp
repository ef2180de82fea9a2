#include "engine/ImgBox.h"
#include "tests/support/TestFiles.h"

#include <QPainter>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QtTest>

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
