// The main window's side of the slide view: opening it by double-clicks and
// from the selection, showing it again, and hiding it when the listing
// changes under its screens.
#include "engine/ImgBox.h"
#include "tests/support/MessageBoxes.h"
#include "tests/viewers/SlideFixture.h"

#include <QAction>
#include <QListWidget>

using sq::test::SlideFixture;

class TstSlideOpen : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void doubleClicksOpenOnTheCurrentEntry()
    {
        SlideFixture f;
        f.writeFolder(3);
        f.start();
        TImgPanel& b = f.browser();
        QTRY_VERIFY(b.VisibleCells() >= 3);
        f.slide().LayoutCommand(2);
        // The last of three entries on four screens: 3, 1, 2, 3.
        const QPoint at = b.PictureBox(2).center();
        QTest::mouseClick(b.viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(b.viewport(), Qt::LeftButton, {}, at);
        QVERIFY(f.slide().isVisible());
        QVERIFY(sq::app::slideViewActive);
        QCOMPARE(f.slide().State().SelectedPicturesMode, 0);
        QCOMPARE(f.shown(), f.picturesAt({3, 1, 2, 3}));

        // The preview's double-click opens the same way.
        f.slide().hide();
        f.click(1);
        QVERIFY(Form1->ImgBox1->isVisible());
        QTest::mouseDClick(Form1->ImgBox1, Qt::LeftButton);
        QVERIFY(f.slide().isVisible());
        QCOMPARE(f.shown(), f.picturesAt({2, 3, 1, 2}));
    }

    void selectedEntries()
    {
        SlideFixture f;
        f.writeFolder(8);
        f.start();
        TForm2& s = f.slide();
        sq::test::MessageBoxes boxes;
        f.browser().ClearSelection();
        Form1->menuItem(QStringLiteral("N40"))->trigger();
        QCOMPARE(boxes.texts(), QStringList{QStringLiteral("選択画像がありません")});
        QVERIFY(!s.isVisible());

        s.LayoutCommand(2);
        f.click(1);
        f.click(4, Qt::ControlModifier);
        Form1->menuItem(QStringLiteral("N40"))->trigger();
        QCOMPARE(s.State().SelectedPicturesMode, 1);
        QCOMPARE(s.State().SelectionNames, (QStringList{"pic_02.jpg", "pic_05.jpg"}));
        QCOMPARE(s.State().SelectionIndices, (QStringList{"1", "4"}));
        QCOMPARE(s.ListBox2->count(), 2);
        QCOMPARE(s.ListBox1->item(1)->text(), QStringLiteral("pic_05.jpg"));
        QCOMPARE(f.shown(), f.picturesAt({2, 5, 2, 5}));
        QVERIFY(sq::app::slideViewActive);
    }

    void listingChangesHideIt()
    {
        SlideFixture f;
        f.writeFolder(4);
        const QStringList other =
            sq::test::writePictureSet(f.dir.path() + QStringLiteral("/other"), 2, "o_");
        f.start();
        TForm2& s = f.slide();
        auto open = [&] {
            f.click(0);
            Form1->ImgPanel1DblClick();
            QVERIFY(s.isVisible() && sq::app::slideViewActive);
        };

        // While a saved screen is applied, a folder change keeps it; the
        // file-type filter "BMP" closes it all the same, "BMP/JPEG" never.
        open();
        sq::app::favoriteLoading = true;
        Form1->pointTreeAt(f.dir.path() + QStringLiteral("/other"));
        QTRY_COMPARE(f.browser().Items().Count(), 2);
        QVERIFY(s.isVisible() && sq::app::slideViewActive);
        Form1->menuItem(QStringLiteral("BMPJPEG1"))->trigger();
        QVERIFY(s.isVisible());
        s.Play1Click();
        Form1->menuItem(QStringLiteral("JPEG2"))->trigger();
        QVERIFY(!s.isVisible() && !sq::app::slideViewActive);
        QVERIFY(!s.Timer1->isActive()); // no tick brings it back on the new listing
        QCOMPARE(s.State().Screen(1), -1);
        sq::app::favoriteLoading = false;

        // A folder change closes it; "スライドビューウインドウ呼び出し" then
        // shows nothing.
        open();
        Form1->pointTreeAt(f.pics());
        QTRY_COMPARE(f.browser().Items().Count(), 4);
        QVERIFY(!s.isVisible() && !sq::app::slideViewActive);
        Form1->menuItem(QStringLiteral("Veiw1"))->trigger();
        QVERIFY(!s.isVisible());

        // The one function both file operations use.
        open();
        Form1->hideSlideViewForListingChange(false);
        QVERIFY(!s.isVisible() && !sq::app::slideViewActive);
        s.N28Click();
        QVERIFY(Form1->isVisible());
    }

    void aFolderEntryOpensInTheBrowser()
    {
        SlideFixture f;
        f.writeFolder(2, true);
        f.start(true);
        QTRY_COMPARE(f.browser().Items().Count(), 4); // sub, two pictures, the text
        f.click(0);
        Form1->ImgPanel1DblClick();
        QCOMPARE(f.browser().CurrentFolderPath(), f.pics() + QStringLiteral("/sub"));
        QVERIFY(!f.slide().isVisible());
        QVERIFY(!sq::app::slideViewActive);
    }
};

QTEST_MAIN(TstSlideOpen)
#include "tst_slideopen.moc"
