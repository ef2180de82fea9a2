// A folder of every picture kind under 表示 > 拡張子 > "すべての画像": listed
// and drawn as pictures in the browser, shown in the preview, stepped through
// in the slide view and the file list view, and the choice kept in settings
// line 52; every engine the program makes reads the new kinds.
#include "engine/ImgBox.h"
#include "engine/PictureLoader.h"
#include "tests/support/PictureFiles.h"
#include "tests/viewers/SlideFixture.h"
#include "viewers/Unit13.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QListWidget>

using namespace sq::test;

namespace {

struct Kind
{
    const char* name;
    QSize size;
};

// In name order, as the browser sorts them.
const Kind kKinds[] = {
    {"a.bmp", {161, 100}}, {"b.jpg", {162, 101}},  {"c.jpeg", {163, 102}}, {"d.png", {164, 103}},
    {"e.gif", {165, 104}}, {"f.webp", {166, 105}}, {"g.tif", {167, 106}},  {"h.tiff", {168, 107}},
};

bool writeKind(const QString& path, QSize size)
{
    const QImage opaque = patternImage(size.width(), size.height());
    if (path.endsWith(".bmp")) return writeBmp(path, opaque);
    if (path.endsWith(".jpg") || path.endsWith(".jpeg")) return writeJpeg(path, opaque);
    if (path.endsWith(".png"))
        return writePicture(path, alphaPattern(size.width(), size.height()), "png");
    if (path.endsWith(".gif"))
        return writeGif(path,
                        {palettePattern(size.width(), size.height(), 40, true),
                         palettePattern(size.width(), size.height(), 40, true, 3)},
                        0);
    if (path.endsWith(".webp")) return writePicture(path, opaque, "webp", 100);
    return writeFile(path, multiPageTiff({opaque, alphaPattern(9, 9)}));
}

} // namespace

class TstAllPictures : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void everyEngineReadsTheNewKinds()
    {
        // Each window's views and browsers, made once at start, each with
        // its own engine: all of them carry the picture loader.
        SlideFixture f;
        f.writeFolder(1);
        f.start();
        int views = 0, browsers = 0;
        for (QWidget* window : QApplication::topLevelWidgets()) {
            for (TCustomImgBox* box : window->findChildren<TCustomImgBox*>()) {
                QVERIFY2(box->ImgUtil()->CustomLoader() == &TPictureLoader::instance(),
                         qPrintable(window->objectName() + QLatin1Char('/') + box->objectName()));
                ++views;
            }
            for (TImgPanel* panel : window->findChildren<TImgPanel*>()) {
                QVERIFY(panel->ViewImage().ImgUtil().CustomLoader() == &TPictureLoader::instance());
                ++browsers;
            }
        }
        // The preview, four screens, the file list window's and the join
        // dialog's views at least.
        QVERIFY2(views >= 10, qPrintable(QString::number(views)));
        QVERIFY(browsers >= 1);
    }

    void everyKindListedShownAndStepped()
    {
        SlideFixture f;
        QStringList paths;
        for (const Kind& k : kKinds) {
            paths << f.pics() + QLatin1Char('/') + QLatin1String(k.name);
            QVERIFY2(writeKind(paths.last(), k.size), k.name);
        }
        QVERIFY(writeFile(f.pics() + QStringLiteral("/notes.txt"), "not a picture\n"));
        f.pictures = paths;
        f.start();
        TImgPanel& b = f.browser();
        // The design's default lists BMP and JPEG only.
        QTRY_COMPARE(b.Items().Count(), 3);

        // Cells of 40 x 30, so that all eight are shown and loaded.
        Form1->menuItem(QStringLiteral("N13"))->trigger();
        Form1->menuItem(QStringLiteral("ALLIMG1"))->trigger();
        QVERIFY(Form1->menuItem(QStringLiteral("ALLIMG1"))->isChecked());
        QVERIFY(!Form1->menuItem(QStringLiteral("BMPJPEG1"))->isChecked());
        QCOMPARE(Form1->settings().text(52), QStringLiteral("3"));
        QTRY_COMPARE(b.Items().Count(), 8);
        QTRY_VERIFY(!b.Loader().Busy());
        for (int i = 0; i < 8; ++i) {
            TPanelItem* item = b.Items().Items(i);
            QCOMPARE(item->ParseName(), paths[i]);
            QVERIFY2(sq::isPictureKind(item->ImageKind()), kKinds[i].name);
            // A picture in its 40 x 30 cell (wider than 4:3, so 40 wide), not
            // a 32 x 32 icon.
            QTRY_COMPARE(QSize(item->PictureWidth, item->PictureHeight), kKinds[i].size);
            QCOMPARE(item->CellBitmap.width(), 40);
        }

        // The preview shows the clicked PNG and WebP rather than opening them.
        QTRY_VERIFY(b.VisibleCells() >= 6);
        for (const int i : {3, 5}) {
            QTest::mouseClick(b.viewport(), Qt::LeftButton, {}, b.PictureBox(i).center());
            QCOMPARE(Form1->ImgBox1->ImageFile(), paths[i]);
            QCOMPARE(Form1->ImgBox1->ImgUtil()->ImageType(), iitCustom);
        }
        QVERIFY(f.opener.opened.isEmpty());

        // The slide view opens on the first entry and steps through them
        // all, each on its screen at its own size.
        TForm2& s = f.slide();
        s.LayoutCommand(0);
        f.click(0);
        Form1->ImgPanel1DblClick();
        QVERIFY(s.isVisible());
        for (int i = 0; i < 8; ++i) {
            QCOMPARE(s.Screen(1)->ImageFile(), paths[i]);
            const TImgUtil& engine = *s.Screen(1)->ImgUtil();
            QCOMPARE(QSize(engine.ImageWidth(), engine.ImageHeight()), kKinds[i].size);
            QVERIFY(!engine.Bitmap().isEmpty());
            QCOMPARE(engine.Bitmap().image().size(), kKinds[i].size);
            s.Next1Click();
        }
        QCOMPARE(s.Screen(1)->ImageFile(), paths[0]); // round again
        QVERIFY(f.opener.opened.isEmpty());

        // The file list view lists every one and steps through them too.
        s.hide();
        Form1->menuItem(QStringLiteral("N43"))->trigger();
        TForm13& v = *Form13;
        QVERIFY(v.isVisible());
        QCOMPARE(v.ListBox1->count(), 8);
        for (int i = 0; i < 8; ++i) {
            QCOMPARE(v.ListBox1->item(i)->text(),
                     QStringLiteral("%1|%2").arg(i + 1).arg(QLatin1String(kKinds[i].name)));
            QCOMPARE(v.currentLine(), i);
            QCOMPARE(v.ImgBox1->ImageFile(), paths[i]);
            QVERIFY(v.ImgBox1->Loaded());
            v.Next1Click();
        }
        v.hide();

        // The choice comes back at the next start.
        f.stop();
        f.start();
        QVERIFY(Form1->menuItem(QStringLiteral("ALLIMG1"))->isChecked());
        QTRY_COMPARE(f.browser().Items().Count(), 8);
    }
};

QTEST_MAIN(TstAllPictures)
#include "tst_allpictures.moc"
