// The view's quick first picture of a large photograph: what stays is the
// plain load's exact view, the picture's own size is known throughout, a file
// asked for meanwhile is never overtaken by the previous one, and damaged
// files end as a plain load ends them.
#include "engine/DecodeBudget.h"
#include "engine/ImgBox.h"
#include "engine/PictureLoader.h"
#include "tests/engine/BoxCompare.h"
#include "tests/support/TestFiles.h"

#include <QScrollBar>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <thread>

namespace {

constexpr qint64 kLarge = 500'000; // the pictures below are larger

std::unique_ptr<TImgBox> makeBox(QSize size, TGetType getType, TSizeType sizeType, bool quick)
{
    auto box = std::make_unique<TImgBox>();
    box->setColor(QColor(20, 40, 60));
    sq::installPictureLoader(*box->ImgUtil());
    box->ImgUtil()->setGetType(getType);
    box->setSizeType(sizeType);
    box->setQuickFirst(quick);
    box->setQuickPixels(kLarge);
    box->resize(size);
    box->show();
    return box;
}

// Waits for the exact view; false when it did not come.
bool settle(TImgBox& box)
{
    return QTest::qWaitFor([&box] { return !box.ExactPending(); }, 20000);
}


} // namespace

class TstQuickView : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_large, m_other, m_small;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_large = m_dir.filePath(QStringLiteral("large.jpg"));
        m_other = m_dir.filePath(QStringLiteral("other.jpeg"));
        m_small = m_dir.filePath(QStringLiteral("small.jpg"));
        QVERIFY(sq::test::writeJpeg(m_large, sq::test::patternImage(1203, 901)));
        QVERIFY(sq::test::writeJpeg(m_other, sq::test::noiseImage(1000, 1300, 7)));
        QVERIFY(sq::test::writeJpeg(m_small, sq::test::noiseImage(500, 400, 3)));
    }

    // The quick view is up at once, with the picture's own size in the
    // engine, and the exact view that replaces it is the plain load's, pixel
    // for pixel: for the fitting modes and box sizes, odd ones included.
    void quickThenExact_data()
    {
        QTest::addColumn<int>("getType");
        QTest::addColumn<int>("sizeType");
        QTest::addColumn<QSize>("box");
        QTest::addColumn<bool>("quick"); // whether the quick view is wanted
        QTest::newRow("fitted, wide box") << int(igtNormal) << int(ispStretch) << QSize(640, 300) << true;
        QTest::newRow("fitted, tall box") << int(igtNormal) << int(ispStretch) << QSize(211, 503) << true;
        QTest::newRow("fitted, one row") << int(igtNormal) << int(ispStretch) << QSize(700, 5) << true;
        // Decoded whole for the quick view too: nothing quicker.
        QTest::newRow("fitted, enlarged") << int(igtNormal) << int(ispStretch) << QSize(1500, 1400) << false;
        QTest::newRow("own size") << int(igtNormal) << int(ispImage) << QSize(640, 480) << false;
        QTest::newRow("fitted, an eighth") << int(igtNormal) << int(ispStretch) << QSize(154, 117) << true;
        // The exact load decodes at the scale the quick one would: nothing to win.
        QTest::newRow("large ones fitted, small box")
            << int(igtPreview) << int(ispImage) << QSize(120, 100) << false;
        QTest::newRow("large ones fitted, large box")
            << int(igtPreview) << int(ispImage) << QSize(1100, 850) << false;
        QTest::newRow("aspect not kept") << int(igtFit) << int(ispStretch) << QSize(1101, 777) << false;
    }
    void quickThenExact()
    {
        QFETCH(int, getType);
        QFETCH(int, sizeType);
        QFETCH(QSize, box);
        QFETCH(bool, quick);
        auto got = makeBox(box, TGetType(getType), TSizeType(sizeType), true);
        auto want = makeBox(box, TGetType(getType), TSizeType(sizeType), false);
        QCOMPARE(got->LoadFile(m_large), 0);
        QCOMPARE(got->ExactPending(), quick);
        QVERIFY(got->Loaded());
        QCOMPARE(got->ImageFile(), m_large);
        // The size the status texts show: the picture's own.
        QCOMPARE(got->ImgUtil()->ImageWidth(), 1203);
        QCOMPARE(got->ImgUtil()->ImageHeight(), 901);
        QCOMPARE(got->ImgUtil()->ImageType(), iitJpeg);
        QVERIFY(!got->ViewBitmap().isNull());
        QVERIFY(got->PictureRect().Right > got->PictureRect().Left);
        QVERIFY(settle(*got));
        QCOMPARE(want->LoadFile(m_large), 0);
        compareBoxes(*got, *want);
        // Small pictures are not worth it.
        QCOMPARE(got->LoadFile(m_small), 0);
        QVERIFY(!got->ExactPending());
    }

    // While the exact view waits (for memory, held here), the quick one is
    // shown with the real size; a second file asked for then is what stays,
    // and the first never comes back, though its exact view may be done.
    void newFileWhileExactPending()
    {
        sq::DecodeBudget budget(1);
        sq::DecodeBudget::Hold hold = budget.reserve(1);
        auto got = makeBox(QSize(400, 300), igtNormal, ispStretch, true);
        auto want = makeBox(QSize(400, 300), igtNormal, ispStretch, false);
        auto first = makeBox(QSize(400, 300), igtNormal, ispStretch, false);
        got->ImgUtil()->setBudget(&budget);
        QCOMPARE(first->LoadFile(m_large), 0);
        QCOMPARE(want->LoadFile(m_other), 0);
        QCOMPARE(got->LoadFile(m_large), 0);
        QVERIFY(QTest::qWaitFor([&budget] { return budget.waiting() == 1; }, 20000));
        QTest::qWait(20);
        QVERIFY(got->ExactPending());
        QCOMPARE(got->ImgUtil()->ImageWidth(), 1203);
        QVERIFY(got->ImgUtil()->Bitmap().isEmpty());
        QVERIFY(got->ViewBitmap() != first->ViewBitmap());
        QCOMPARE(got->LoadFile(m_other), 0);
        QCOMPARE(got->ImgUtil()->ImageWidth(), 1000);
        QCOMPARE(got->ImgUtil()->ImageHeight(), 1300);
        hold.release();
        QVERIFY(QTest::qWaitFor([&] {
            if (got->ViewBitmap() == first->ViewBitmap()) return true; // the first came back
            return !got->ExactPending();
        }, 20000));
        QVERIFY(got->ViewBitmap() != first->ViewBitmap());
        compareBoxes(*got, *want);

        // Without the wait: the first's exact view is done and handed over
        // before the second file is asked for, and still dropped.
        got->ImgUtil()->setBudget(&sq::DecodeBudget::process());
        QCOMPARE(got->LoadFile(m_large), 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        QCOMPARE(got->LoadFile(m_other), 0);
        bool sawFirst = false;
        QVERIFY(QTest::qWaitFor([&] {
            sawFirst = sawFirst || got->ViewBitmap() == first->ViewBitmap();
            return !got->ExactPending();
        }, 20000));
        QCOMPARE(got->ViewBitmap(), want->ViewBitmap());
        QTest::qWait(50);
        QVERIFY(!sawFirst);
        compareBoxes(*got, *want);

        // Cleared meanwhile: nothing comes.
        QCOMPARE(got->LoadFile(m_large), 0);
        got->Clear();
        QVERIFY(!got->ExactPending());
        QTest::qWait(300);
        QVERIFY(got->ViewBitmap().isNull());
        QVERIFY(!got->Loaded());
    }

    // Damaged large photographs end as the plain load ends them, whether the
    // quick decode or only the exact one finds the damage.
    void damagedLargeJpeg_data()
    {
        QTest::addColumn<int>("cutAt"); // percent of the file kept, 0: none cut
        QTest::addColumn<int>("spoilAt"); // percent of the file where bytes are spoilt, 0: none
        QTest::newRow("cut in half") << 50 << 0;
        QTest::newRow("cut near the end") << 97 << 0;
        QTest::newRow("header only") << 1 << 0;
        QTest::newRow("spoilt in the middle") << 0 << 50;
        QTest::newRow("spoilt near the end") << 0 << 95;
    }
    void damagedLargeJpeg()
    {
        QFETCH(int, cutAt);
        QFETCH(int, spoilAt);
        QByteArray bytes = sq::test::readFile(m_large);
        QVERIFY(bytes.size() > 1000);
        if (cutAt > 0) bytes.truncate(std::max<qsizetype>(700, bytes.size() * cutAt / 100));
        if (spoilAt > 0) {
            const qsizetype at = bytes.size() * spoilAt / 100;
            for (qsizetype i = at; i < at + 64; ++i)
                bytes[i] = char(i % 2 ? 0xFF : 0xD9 - (i % 7));
        }
        const QString path = m_dir.filePath(QStringLiteral("damaged-%1-%2.jpg").arg(cutAt).arg(spoilAt));
        QVERIFY(sq::test::writeFile(path, bytes));
        auto got = makeBox(QSize(500, 400), igtNormal, ispStretch, true);
        auto want = makeBox(QSize(500, 400), igtNormal, ispStretch, false);
        QCOMPARE(got->LoadFile(m_small), 0); // something shown before
        QCOMPARE(want->LoadFile(m_small), 0);
        const int gotResult = got->LoadFile(path);
        const int wantResult = want->LoadFile(path);
        QVERIFY(settle(*got));
        // A plain load that fails returns at once; the quick one may have
        // returned 0 before the exact decode found the damage.
        QVERIFY(gotResult == wantResult || gotResult == 0);
        compareBoxes(*got, *want);
    }
};

QTEST_MAIN(TstQuickView)
#include "tst_quickview.moc"
