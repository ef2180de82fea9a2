// Large pictures in small files: lossless WebPs of one colour, some 32 bytes
// each, that decode to tens of millions of pixels. The browser's workers
// load a folder of them within the decoders' memory budget: the process's
// peak memory stays near what one of them takes, not what all the workers
// take at once, and every picture is still shown.
#include "browser/ImgPanel.h"

#include "engine/PictureLoader.h"
#include "tests/support/HostileFiles.h"
#include "tests/support/PictureFiles.h"
#include "tests/support/TestFiles.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>

using namespace sq::test;

namespace {

constexpr int kSide = 6144;
// What one picture takes while it is made: the decoder's copy and its
// picture at four bytes a pixel, the 24-bit copy at three.
constexpr qint64 kPictureMiB = qint64(kSide) * kSide * 11 / (1 << 20);
// Room for what the memory checker keeps of freed blocks and for the rest.
constexpr qint64 kSlackMiB = 400;

} // namespace

class TestPanelBudget : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void largePicturesWithinTheBudget_data();
    void largePicturesWithinTheBudget();

private:
    QTemporaryDir m_dir;
};

void TestPanelBudget::largePicturesWithinTheBudget_data()
{
    // A budget with room for less than one picture: they are made one at a
    // time, however many workers there are.
    QTest::addColumn<int>("workers");
    QTest::newRow("four workers") << 4;
    QTest::newRow("three workers") << 3;
}

void TestPanelBudget::largePicturesWithinTheBudget()
{
    QFETCH(int, workers);
    const HangGuard guard(500, "large pictures that never finish");
    const QString folder = m_dir.filePath(QStringLiteral("large"));
    QVERIFY(QDir().mkpath(folder));
    const QRgb colours[] = {qRgb(200, 30, 90), qRgb(20, 160, 60), qRgb(40, 60, 220)};
    constexpr int kFiles = 6;
    for (int n = 0; n < kFiles; ++n) {
        const QByteArray bytes = solidLosslessWebp(kSide, kSide, colours[n % 3]);
        QVERIFY(bytes.size() < 40);
        QVERIFY(writeFile(QStringLiteral("%1/w%2.webp").arg(folder).arg(n), bytes));
    }
    sq::DecodeBudget budget(qint64(256) << 20);
    TImgPanel p;
    p.Loader().SetWorkerCount(workers);
    p.ViewImage().SetImageWidth(64);
    p.ViewImage().SetImageHeight(64);
    p.ViewImage().SmallIcon().SetIconPos(iipNone);
    p.ViewImage().ImgUtil().setGetType(igtStretch);
    sq::installPictureLoader(p.ViewImage().ImgUtil());
    p.ViewImage().ImgUtil().setBudget(&budget);
    p.ViewImage().SetLookAhead(true);
    p.show();
    p.resize(500, 400);
    QCoreApplication::processEvents();
    QVERIFY(sq::test::resetPeakResident());
    const qint64 before = sq::test::residentMiB();
    QVERIFY(before > 0);
    p.OpenFolder(folder);
    QElapsedTimer t;
    t.start();
    while (p.Loader().Busy() && t.elapsed() < 400000)
        QTest::qWait(20);
    QVERIFY(!p.Loader().Busy());
    const qint64 growth = sq::test::peakResidentMiB() - before;
    qInfo("peak grew by %lld MiB", growth);
    QCOMPARE(p.Items().Count(), kFiles);
    for (int i = 0; i < kFiles; ++i) {
        TPanelItem* item = p.Items().Items(i);
        QVERIFY2(item->LoadDone, qPrintable(item->DisplayName()));
        QCOMPARE(item->PictureWidth, kSide);
        const QRgb got = item->CellBitmap.pixel(32, 32), want = colours[i % 3];
        QVERIFY2(qAbs(qRed(got) - qRed(want)) + qAbs(qGreen(got) - qGreen(want)) +
                         qAbs(qBlue(got) - qBlue(want)) <
                     6,
                 qPrintable(item->DisplayName()));
    }
    QVERIFY2(growth < kPictureMiB + kSlackMiB,
             qPrintable(QStringLiteral("peak grew by %1 MiB").arg(growth)));
    QCOMPARE(budget.peakHolders(), 1);
}

QTEST_MAIN(TestPanelBudget)
#include "tst_panelbudget.moc"
