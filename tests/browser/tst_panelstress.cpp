// Folder switches, refreshes and changes inside the shown folder while the
// loader runs, 500 times: no crash, no sanitizer report, and every picture
// an entry shows is its own file's. Meant for the sanitizer builds (ASan and
// TSan) as much as for the plain one.
#include "browser/ImgPanel.h"

#include "tests/support/TestFiles.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// The colour a file is painted in, read back from its name "c<hue>_<n>.bmp".
QColor colourOf(const QString& name)
{
    const int hue = name.mid(1, name.indexOf(QLatin1Char('_')) - 1).toInt();
    return QColor::fromHsv(hue, 255, 255);
}

bool writePicture(const QString& folder, int hue, int n)
{
    QImage img(40, 30, QImage::Format_RGB888);
    img.fill(QColor::fromHsv(hue, 255, 255));
    return sq::test::writeBmp(QStringLiteral("%1/c%2_%3.bmp").arg(folder).arg(hue).arg(n), img);
}

} // namespace

class TestPanelStress : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void switchesWhileLoading();
};

void TestPanelStress::switchesWhileLoading()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QStringList folders;
    for (int f = 0; f < 3; ++f) {
        const QString folder = dir.filePath(QStringLiteral("f%1").arg(f));
        QVERIFY(QDir().mkpath(folder));
        for (int n = 0; n < 12; ++n) QVERIFY(writePicture(folder, (f * 12 + n) * 10, n));
        folders << folder;
    }
    TImgPanel p;
    p.ViewImage().SetImageWidth(40);
    p.ViewImage().SetImageHeight(30);
    p.ViewImage().SmallIcon().SetIconPos(iipNone);
    p.ViewImage().ImgUtil().setGetType(igtStretch);
    p.resize(400, 300);
    p.show();
    // Files appear only in the test's own folders, never in the desktop.
    p.OpenFolder(folders.first());
    QRandomGenerator rng(7);
    int extra = 0;
    int checked = 0;
    for (int step = 0; step < 500; ++step) {
        const int what = int(rng.bounded(10));
        if (what < 5) {
            p.ViewImage().SetLookAhead(rng.bounded(2) == 1);
            p.OpenFolder(folders.at(int(rng.bounded(3))));
        } else if (what < 7) {
            p.Refresh();
        } else if (what < 9) {
            // A file appears in or leaves the shown folder.
            const QString folder = p.CurrentFolderPath();
            if (rng.bounded(2) == 0 || extra == 0) {
                QVERIFY(writePicture(folder, 350, 100 + extra));
                ++extra;
            } else {
                const QStringList added = QDir(folder).entryList({QStringLiteral("c350_*.bmp")});
                if (!added.isEmpty()) QFile::remove(folder + QLatin1Char('/') + added.first());
            }
        } else {
            p.NextPage();
        }
        QTest::qWait(int(rng.bounded(4)));
        // Every finished picture is its own file's colour.
        for (int i = 0; i < p.Items().Count(); ++i) {
            TPanelItem* item = p.Items().Items(i);
            if (!item->LoadDone) continue;
            const QColor want = colourOf(item->DisplayName());
            const QColor got = item->CellBitmap.pixelColor(20, 15);
            QVERIFY2(qAbs(want.red() - got.red()) + qAbs(want.green() - got.green()) + qAbs(want.blue() - got.blue()) <
                         8,
                     qPrintable(item->DisplayName()));
            ++checked;
        }
    }
    // Everything settles: the last folder loads whole.
    QElapsedTimer t;
    t.start();
    while (p.Loader().Busy() && t.elapsed() < 30000) QTest::qWait(5);
    QVERIFY(!p.Loader().Busy());
    QVERIFY(checked > 100);
}

QTEST_MAIN(TestPanelStress)
#include "tst_panelstress.moc"
