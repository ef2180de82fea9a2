// What the windows show follows the files on disk: the main window's
// preview and status panels 2 to 6 after the previewed file is deleted,
// renamed, moved, filtered out or replaced and after a folder change; the
// preview fitted again after a resize; the start file's size; a deleted
// shown folder; the viewers loading a shown picture again when it changes;
// the lists of the file list window and the join dialog chosen by keys; the
// join dialog's first choice; the slide view's window size command.
#include "app/Unit1.h"
#include "app/Unit24.h"
#include "app/Windows.h"
#include "engine/ImgBox.h"
#include "platform/PathOps.h"
#include "platform/ShownFileWatch.h"
#include "state/SettingsLines.h"
#include "tests/support/PictureFiles.h"
#include "tests/viewers/SlideFixture.h"
#include "viewers/Unit11.h"
#include "viewers/Unit13.h"
#include "viewers/Unit27.h"

#include <QAction>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QWindow>

#include <cstdio>

using sq::test::SlideFixture;

namespace {

// The picture a test writes over a shown one: a size no picture of the set has.
const QSize kNewSize(90, 40);

// Replaces a picture by one of kNewSize: written in place (the same file,
// truncated) or written beside it and renamed over it (a new file).
bool replacePicture(const QString& path, bool byRename)
{
    const QImage picture = sq::test::noiseImage(kNewSize.width(), kNewSize.height(), 7);
    if (!byRename) return sq::test::writeJpeg(path, picture);
    const QString beside = sq::platform::parentOf(path) + QStringLiteral("/.replacement");
    return sq::test::writeJpeg(beside, picture) &&
           std::rename(beside.toUtf8().constData(), path.toUtf8().constData()) == 0;
}

// Clicks entry index of the main window's browser as a user does.
void clickEntry(int index)
{
    TImgPanel& b = *Form1->ImgPanel1;
    QTRY_VERIFY(b.VisibleCells() > index);
    QTest::mouseClick(b.viewport(), Qt::LeftButton, {}, b.PictureBox(index).center());
}

QSize pictureOf(const TImgBox* box)
{
    return QSize(box->ImgUtil()->ImageWidth(), box->ImgUtil()->ImageHeight());
}

bool fitsIn(const TImgBox* box)
{
    const QSize shown = box->ImgUtil()->Bitmap().image().size();
    const QSize client = box->clientSize();
    return !shown.isEmpty() && shown.width() <= client.width() && shown.height() <= client.height();
}

void writeSettings(const QString& data, const QMap<int, QString>& lines)
{
    QVERIFY(QDir().mkpath(data));
    TSettingsLines s;
    s.writeDefaults(1024);
    for (auto it = lines.begin(); it != lines.end(); ++it)
        s.setText(it.key(), it.value());
    s.save(data + QStringLiteral("sorrelquint.ini"));
}

} // namespace

class TstShown : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The second of five pictures is clicked; then its file or the listing
    // changes. Gone from the listing: the preview and panels 2 to 6 are
    // empty. Still listed: they stay and the panels follow its new place.
    void previewFollowsItsFile_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("panel2"); // "": everything emptied
        QTest::newRow("deleted") << "delete"
                                 << "";
        QTest::newRow("renamed") << "rename"
                                 << "";
        QTest::newRow("moved to another folder") << "move"
                                                 << "";
        QTest::newRow("hidden by the extension filter") << "filter"
                                                        << "";
        QTest::newRow("another folder opened") << "folder"
                                               << "";
        QTest::newRow("another picture deleted") << "delete other"
                                                 << " 1/4";
        QTest::newRow("a picture added before it") << "add"
                                                   << " 3/6";
    }
    void previewFollowsItsFile()
    {
        QFETCH(QString, change);
        QFETCH(QString, panel2);
        SlideFixture f;
        f.writeFolder(5);
        const QString other = f.dir.path() + QStringLiteral("/other");
        QVERIFY(sq::test::writePictureSet(other, 2, QStringLiteral("o_")).size() == 2);
        f.start();
        clickEntry(1);
        const QString shown = f.pictures.at(1);
        TImgBox* preview = Form1->ImgBox1;
        QCOMPARE(preview->ImageFile(), shown);
        QCOMPARE(Form1->statusText(2), QStringLiteral(" 2/5"));

        if (change == "delete") QVERIFY(QFile::remove(shown));
        if (change == "rename")
            QVERIFY(QFile::rename(shown, f.pics() + QStringLiteral("/renamed.jpg")));
        if (change == "move") QVERIFY(QFile::rename(shown, other + QStringLiteral("/moved.jpg")));
        if (change == "filter") Form1->menuItem(QStringLiteral("BMP2"))->trigger();
        if (change == "folder") Form1->pointTreeAt(other);
        if (change == "delete other") QVERIFY(QFile::remove(f.pictures.at(0)));
        if (change == "add")
            QVERIFY(sq::test::writeJpeg(f.pics() + QStringLiteral("/pic_00.jpg"),
                                        sq::test::patternImage(30, 20)));

        if (panel2.isEmpty()) {
            QTRY_COMPARE(Form1->statusText(3), QString());
            for (int panel = 2; panel <= 6; ++panel)
                QCOMPARE(Form1->statusText(panel), QString());
            QCOMPARE(preview->ImageFile(), QString());
            QVERIFY(!preview->Loaded());
            QVERIFY(preview->ImgUtil()->Bitmap().isEmpty());
            QVERIFY(preview->ViewBitmap().isNull());
            QCOMPARE(sq::app::previewEntry, nullptr);
            return;
        }
        QTRY_COMPARE(Form1->statusText(2), panel2);
        QCOMPARE(Form1->statusText(3), QStringLiteral(" pic_02.jpg"));
        QCOMPARE(Form1->statusText(5), QStringLiteral(" 108x81"));
        QCOMPARE(preview->ImageFile(), shown);
        QVERIFY(preview->Loaded());
        QVERIFY(sq::app::previewEntry);
        QCOMPARE(sq::app::previewEntry->ParseName(), shown);
    }

    // The preview's own rename command: the preview and the panels follow
    // the file to its new name instead of being emptied.
    void programRenameFollows()
    {
        SlideFixture f;
        f.writeFolder(3);
        f.start();
        clickEntry(1);
        Form1->menuItem(QStringLiteral("Rename3"))->trigger();
        QTRY_VERIFY(Form24->isVisible());
        Form24->Edit1->setText(QStringLiteral("pic_02x"));
        QTest::mouseClick(Form24->Button1, Qt::LeftButton);
        const QString renamed = f.pics() + QStringLiteral("/pic_02x.jpg");
        QTRY_COMPARE(Form1->ImgBox1->ImageFile(), renamed);
        QVERIFY(Form1->ImgBox1->Loaded());
        QTest::qWait(sq::platform::ShownFileWatch::SettleMs * 4); // the change watch's re-read
        QCOMPARE(Form1->ImgBox1->ImageFile(), renamed);
        QCOMPARE(Form1->statusText(2), QStringLiteral(" 2/3"));
        QVERIFY(Form1->statusText(3).contains(QStringLiteral("pic_02x.jpg")));
        QCOMPARE(Form1->statusText(5), QStringLiteral(" 108x81"));
    }

    // The previewed file is written again: the preview and the panels show
    // it as it is now; with the preview pane hidden the preview is emptied.
    void previewShowsChangedFile_data()
    {
        QTest::addColumn<bool>("byRename");
        QTest::addColumn<bool>("paneShown");
        QTest::newRow("written in place") << false << true;
        QTest::newRow("replaced by rename") << true << true;
        QTest::newRow("written while the pane is hidden") << false << false;
    }
    void previewShowsChangedFile()
    {
        QFETCH(bool, byRename);
        QFETCH(bool, paneShown);
        SlideFixture f;
        f.writeFolder(3);
        f.start();
        clickEntry(1);
        TImgBox* preview = Form1->ImgBox1;
        QCOMPARE(pictureOf(preview), QSize(108, 81));
        if (!paneShown) Form1->V1Click();
        QVERIFY(replacePicture(f.pictures.at(1), byRename));
        const QString size = QStringLiteral(" %1x%2").arg(kNewSize.width()).arg(kNewSize.height());
        QTRY_COMPARE(Form1->statusText(5), size);
        QCOMPARE(Form1->statusText(3), QStringLiteral(" pic_02.jpg"));
        const qint64 bytes = QFileInfo(f.pictures.at(1)).size();
        QVERIFY2(Form1->statusText(6).endsWith(QStringLiteral("-%1バイト").arg(bytes)),
                 qPrintable(Form1->statusText(6)));
        if (paneShown) {
            QTRY_COMPARE(pictureOf(preview), kNewSize);
            QCOMPARE(preview->ImageFile(), f.pictures.at(1));
            QVERIFY(preview->Loaded());
        } else {
            QCOMPARE(preview->ImageFile(), QString());
            QVERIFY(preview->ImgUtil()->Bitmap().isEmpty());
        }
    }

    // A large picture in the preview, then the window size command or the
    // splitter makes the preview smaller: in the modes that fit while
    // decoding the picture is fitted again; as it is, it stays.
    void previewFitsAgainAfterResize_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<bool>("bySplitter");
        QTest::addColumn<bool>("refits");
        QTest::newRow("only large pictures, window size") << "N39" << false << true;
        QTest::newRow("only large pictures, splitter") << "N39" << true << true;
        QTest::newRow("ignoring the aspect, window size") << "N36" << false << true;
        QTest::newRow("as it is, window size") << "N29" << false << false;
    }
    void previewFitsAgainAfterResize()
    {
        QFETCH(QString, mode);
        QFETCH(bool, bySplitter);
        QFETCH(bool, refits);
        SlideFixture f;
        QVERIFY(sq::test::writeJpeg(f.pics() + QStringLiteral("/big.jpg"),
                                    sq::test::patternImage(1600, 1200)));
        f.start();
        Form1->menuItem(mode)->trigger();
        clickEntry(0);
        TImgBox* preview = Form1->ImgBox1;
        QTRY_VERIFY(preview->Loaded());
        const QSize before = preview->ImgUtil()->Bitmap().image().size();
        const QSize clientBefore = preview->clientSize();
        if (bySplitter) {
            const QList<int> sizes = Form1->Splitter2->sizes();
            Form1->Splitter2->setSizes({sizes.at(0) + sizes.at(1) / 2, sizes.at(1) / 2});
        } else {
            Form1->menuItem(QStringLiteral("N501"))->trigger();
        }
        QTRY_VERIFY(preview->clientSize() != clientBefore);
        if (refits) {
            QTRY_VERIFY2(fitsIn(preview), qPrintable(QStringLiteral("%1x%2 in %3x%4")
                                                         .arg(preview->ImgUtil()->Bitmap().width())
                                                         .arg(preview->ImgUtil()->Bitmap().height())
                                                         .arg(preview->clientSize().width())
                                                         .arg(preview->clientSize().height())));
            QVERIFY(preview->ImgUtil()->Bitmap().image().size() != before);
        } else {
            QTest::qWait(TForm1::PreviewFitDelayMs * 3);
            QCOMPARE(preview->ImgUtil()->Bitmap().image().size(), QSize(1600, 1200));
        }
        QCOMPARE(preview->ImageFile(), f.pics() + QStringLiteral("/big.jpg"));
    }

    // A picture given on the command line: panel 5 gives its size, with the
    // preview pane shown (from the preview) or hidden (from its thumbnail).
    void startFileSize_data()
    {
        QTest::addColumn<QString>("pane"); // settings line 26
        QTest::newRow("preview shown") << "1";
        QTest::newRow("preview hidden") << "0";
    }
    void startFileSize()
    {
        QFETCH(QString, pane);
        QTemporaryDir dir;
        const QString pics = dir.filePath(QStringLiteral("pics"));
        const QStringList files = sq::test::writePictureSet(pics, 4);
        const QString data = dir.filePath(QStringLiteral("data")) + QLatin1Char('/');
        writeSettings(data, {{26, pane}});
        sq::app::createWindows(data, files.at(2));
        Form1->show();
        QTRY_COMPARE(Form1->statusText(3), QStringLiteral(" pic_03.jpg"));
        QTRY_COMPARE(Form1->statusText(5), QStringLiteral(" 112x84"));
        QCOMPARE(Form1->ImgBox1->ImageFile(), pane == "1" ? files.at(2) : QString());
        sq::app::destroyWindows();
    }

    // The shown folder goes away: the browser and the tree go to its
    // nearest parent that still exists, not to a neighbour or elsewhere.
    void goneFolderGoesToNearestParent_data()
    {
        QTest::addColumn<QString>("shown");   // under pics
        QTest::addColumn<QString>("removed"); // under pics
        QTest::addColumn<bool>("moved");      // moved away instead of deleted
        QTest::newRow("deleted, beside other folders") << "a/b"
                                                       << "a/b" << false;
        QTest::newRow("its parent deleted") << "a/b/c"
                                            << "a/b" << false;
        QTest::newRow("moved away") << "a/b"
                                    << "a/b" << true;
        QTest::newRow("two levels up deleted") << "a/b/c"
                                               << "a" << false;
    }
    void goneFolderGoesToNearestParent()
    {
        QFETCH(QString, shown);
        QFETCH(QString, removed);
        QFETCH(bool, moved);
        SlideFixture f;
        for (const char* folder : {"a/0", "a/b/c", "a/z", "0", "z"})
            QVERIFY(QDir().mkpath(f.pics() + QLatin1Char('/') + QLatin1String(folder)));
        sq::test::writePictureSet(f.pics(), 1, QStringLiteral("top_"));
        sq::test::writePictureSet(f.pics() + QStringLiteral("/a"), 2, QStringLiteral("a_"));
        sq::test::writePictureSet(f.pics() + QStringLiteral("/") + shown, 3);
        f.start();
        Form1->pointTreeAt(f.pics() + QLatin1Char('/') + shown);
        QTRY_COMPARE(Form1->ImgPanel1->CurrentFolderPath(), f.pics() + QLatin1Char('/') + shown);
        QTRY_COMPARE(Form1->ImgPanel1->Items().Count(), 3);
        const QString gone = f.pics() + QLatin1Char('/') + removed;
        if (moved)
            QVERIFY(QDir().rename(gone, f.dir.filePath(QStringLiteral("moved"))));
        else
            QVERIFY(QDir(gone).removeRecursively());
        const QString nearest = sq::platform::parentOf(gone);
        QTRY_COMPARE(Form1->ImgPanel1->CurrentFolderPath(), nearest);
        QCOMPARE(Form1->treeFolder(), nearest);
        QTest::qWait(300); // nothing moves it on afterwards
        QCOMPARE(Form1->ImgPanel1->CurrentFolderPath(), nearest);
        QCOMPARE(Form1->treeFolder(), nearest);
        QCOMPARE(Form1->ImgPanel1->Items().Count(), nearest.endsWith(QStringLiteral("/a")) ? 2 : 1);
    }

    // A picture a viewer shows is written again: that viewer loads it again;
    // a change to a file it does not show loads nothing.
    void viewersShowChangedFile_data()
    {
        QTest::addColumn<QString>("viewer");
        QTest::addColumn<int>("changed"); // picture number from 1
        QTest::addColumn<bool>("byRename");
        QTest::addColumn<bool>("reloads");
        for (bool byRename : {false, true}) {
            const char* how = byRename ? "replaced by rename" : "written in place";
            QTest::addRow("slide view screen 1, %s", how) << "slide 1" << 1 << byRename << true;
            QTest::addRow("slide view screen 2, %s", how) << "slide 2" << 2 << byRename << true;
            QTest::addRow("file list view, %s", how) << "list" << 1 << byRename << true;
            QTest::addRow("full screen, %s", how) << "full" << 1 << byRename << true;
        }
        QTest::newRow("slide view, a picture not shown") << "slide 1" << 3 << false << false;
        QTest::newRow("full screen, a picture not shown") << "full" << 3 << false << false;
    }
    void viewersShowChangedFile()
    {
        QFETCH(QString, viewer);
        QFETCH(int, changed);
        QFETCH(bool, byRename);
        QFETCH(bool, reloads);
        SlideFixture f;
        f.writeFolder(4);
        f.start();
        TImgBox* box = nullptr;
        if (viewer.startsWith(QStringLiteral("slide"))) {
            f.slide().LayoutCommand(1);
            f.click(0);
            Form1->ImgPanel1DblClick();
            QCOMPARE(f.shown(), f.picturesAt({1, 2}));
            box = f.slide().Screen(viewer.endsWith(QLatin1Char('2')) ? 2 : 1);
        } else {
            f.click(0);
            if (viewer == "list")
                Form1->N43Click();
            else
                Form1->N46Click();
            QTRY_VERIFY(Form13->isVisible());
            QCOMPARE(Form13->ShownFile(), f.pictures.at(0));
            box = Form13->ImgBox1;
        }
        const QSize before = pictureOf(box);
        const qint64 key = box->ImgUtil()->Bitmap().image().cacheKey();
        QVERIFY(replacePicture(f.pictures.at(changed - 1), byRename));
        if (reloads) {
            QTRY_COMPARE(pictureOf(box), kNewSize);
            QVERIFY(box->Loaded());
        } else {
            QTest::qWait(sq::platform::ShownFileWatch::SettleMs * 4);
            QCOMPARE(pictureOf(box), before);
            QCOMPARE(box->ImgUtil()->Bitmap().image().cacheKey(), key);
        }
        if (viewer == "slide 1") // the other screen keeps its picture
            QCOMPARE(pictureOf(f.slide().Screen(2)), QSize(108, 81));
    }

    // The file list window: a line chosen by the keys is previewed as a
    // click previews it.
    void fileListKeys_data()
    {
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<int>("line");
        QTest::newRow("down") << QList<int>{Qt::Key_Down} << 1;
        QTest::newRow("down twice") << QList<int>{Qt::Key_Down, Qt::Key_Down} << 2;
        QTest::newRow("end") << QList<int>{Qt::Key_End} << 4;
        QTest::newRow("end, then up") << QList<int>{Qt::Key_End, Qt::Key_Up} << 3;
    }
    void fileListKeys()
    {
        QFETCH(QList<int>, keys);
        QFETCH(int, line);
        SlideFixture f;
        f.writeFolder(5);
        f.start();
        f.click(0);
        Form1->ImgPanel1DblClick();
        f.slide().FileList1Click();
        QListWidget* list = Form11->ListBox1;
        QTRY_VERIFY(list->isVisible());
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(0)).center());
        QCOMPARE(Form11->ImgBox1->ImageFile(), f.pictures.at(0));
        QTest::qWait(50); // the click is over
        for (int key : keys)
            QTest::keyClick(list, Qt::Key(key));
        QCOMPARE(list->currentRow(), line);
        QTRY_COMPARE(Form11->ImgBox1->ImageFile(), f.pictures.at(line));
        // The arrow assigns the line the preview shows.
        Form11->ArrowClick(1);
        QCOMPARE(Form11->ChosenIndex(1), line);
    }

    // The join dialog opens with "横", "画面1" and "画面2" chosen, its
    // previews on those screens, and OK joins them at once; a choice made by
    // the keys moves the previews with it.
    void joinDialogChoices_data()
    {
        QTest::addColumn<int>("list"); // 0: none, 2 or 3: ListBox2 / ListBox3
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("first"); // the screens joined
        QTest::addColumn<int>("second");
        QTest::newRow("as it opens") << 0 << 0 << 1 << 2;
        QTest::newRow("second list up: a screen with itself") << 3 << int(Qt::Key_Up) << 1 << 1;
        QTest::newRow("first list down") << 2 << int(Qt::Key_Down) << 2 << 2;
    }
    void joinDialogChoices()
    {
        QFETCH(int, list);
        QFETCH(int, key);
        QFETCH(int, first);
        QFETCH(int, second);
        SlideFixture f;
        f.writeFolder(3);
        f.start();
        TForm2& s = f.slide();
        s.LayoutCommand(1);
        f.click(0);
        Form1->ImgPanel1DblClick();
        s.Join1Click();
        TForm27& join = *Form27;
        QTRY_VERIFY(join.isVisible());
        if (list != 0) {
            QListWidget* box = list == 2 ? join.ListBox2 : join.ListBox3;
            box->setFocus();
            QTest::keyClick(box, Qt::Key(key));
        }
        QCOMPARE(join.firstScreen(), first);
        QCOMPARE(join.secondScreen(), second);
        QTRY_COMPARE(join.ImgBox2->ImageFile(), s.Screen(second)->ImageFile());
        QCOMPARE(join.ImgBox1->ImageFile(), s.Screen(first)->ImageFile());
        // OK writes the pair the previews show.
        const QString out = f.dir.filePath(QStringLiteral("joined.bmp"));
        s.SavePictureDialog1 = [out] { return out; };
        join.Button1Click();
        const QImage joined(out);
        const QSize a = s.Screen(first)->ImgUtil()->Bitmap().image().size();
        const QSize b = s.Screen(second)->ImgUtil()->Bitmap().image().size();
        QCOMPARE(joined.size(), QSize(a.width() + b.width(), std::max(a.height(), b.height())));
        join.hide();
    }

    // The slide view's window size command on the maximised window: it
    // leaves the maximised state, its outer frame takes the share of the
    // screen, and the screens are fitted to their new size.
    void slideWindowSize_data()
    {
        QTest::addColumn<int>("layout"); // 0 one screen, 1 two, 2 four
        QTest::addColumn<int>("percent");
        QTest::newRow("one screen, 50%") << 0 << 50;
        QTest::newRow("two screens, 60%") << 1 << 60;
        QTest::newRow("four screens, 70%") << 2 << 70;
    }
    void slideWindowSize()
    {
        QFETCH(int, layout);
        QFETCH(int, percent);
        SlideFixture f;
        for (int i = 1; i <= 4; ++i)
            QVERIFY(sq::test::writeJpeg(f.pics() + QStringLiteral("/big%1.jpg").arg(i),
                                        sq::test::patternImage(1600 + 10 * i, 1200)));
        f.start();
        TForm2& s = f.slide();
        s.SizeModeCommand(2); // only large pictures fitted, while decoding
        s.LayoutCommand(layout);
        f.click(0);
        Form1->ImgPanel1DblClick();
        QTRY_VERIFY(s.isVisible());
        QVERIFY(s.isMaximized());
        const int n = s.LayoutScreens();
        s.WindowSizeCommand(percent);
        // Out of the maximised state as the window system sees it too.
        QVERIFY(!s.isMaximized());
        QVERIFY(!(s.windowHandle()->windowStates() & Qt::WindowMaximized));
        const QSize screen = s.screen()->geometry().size();
        const QSize want(screen.width() * percent / 100, screen.height() * percent / 100);
        QTRY_COMPARE(s.frameGeometry().size(), want);
        for (int k = 1; k <= n; ++k)
            QTRY_VERIFY2(fitsIn(s.Screen(k)), qPrintable(QStringLiteral("screen %1").arg(k)));
    }
};

QTEST_MAIN(TstShown)
#include "tst_shown.moc"
