// Saved-screen files through the real slide view and main window: round
// trips of the three layouts with splitter positions and size modes, paging
// with wrap and the position label, missing pictures, stale lines, the
// doubled extension, a file of the Windows program, damaged records,
// unwritable folders, files that are not files, and the favourites folder
// chooser.
#include "tests/support/HostileFiles.h"
#include "tests/support/MessageBoxes.h"
#include "tests/viewers/SlideFixture.h"

#include "app/Unit9.h"
#include "engine/ImgBox.h"
#include "viewers/SavedScreen.h"
#include "viewers/Unit6.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QStringEncoder>
#include <QToolButton>

using sq::test::MessageBoxes;
using sq::test::SlideFixture;

namespace {

const char* const kSizeItems[] = {"N3", "N4", "N50", "N1"};

void openAt(SlideFixture& f, int index)
{
    f.click(index);
    Form1->ImgPanel1DblClick();
    QVERIFY(Form2->isVisible());
}

// The default favourites folder, made if need be.
QString favorites(const SlideFixture& f)
{
    const QString folder = f.data() + QStringLiteral("Favorites");
    QDir().mkpath(folder);
    return folder;
}

// "保存" with a name typed, in folder (the default one when empty).
void saveAs(const QString& name, const QString& folder = {})
{
    Form2->menuItem(QStringLiteral("FavSave1"))->trigger();
    QVERIFY(Form6->isVisible());
    if (!folder.isEmpty()) Form6->setFolder(folder);
    Form6->Edit1->setText(name);
    Form6->Button1Click();
}

void openFile(const QString& path)
{
    Form2->OpenDialog1 = [path] { return path; };
    Form2->menuItem(QStringLiteral("FavOpen1"))->trigger();
}

int checkedSizeMode()
{
    for (int mode = 0; mode < 4; ++mode)
        if (Form2->isChecked(QString::fromLatin1(kSizeItems[mode]))) return mode;
    return -1;
}

QList<int> panelSizes()
{
    return {Form2->Panel1->height(), Form2->Panel4->width(), Form2->Panel6->width()};
}

QStringList record(const QString& screen1, const QString& screen2, const QString& layout,
                   const QString& sizeCode = QStringLiteral("1"))
{
    return {screen1, screen2, {}, {}, layout, "300", "400", "350", sizeCode, {}};
}

} // namespace

class TstSlideFavorites : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void roundTrip_data()
    {
        QTest::addColumn<int>("layout");
        QTest::addColumn<int>("sizeMode");
        QTest::addColumn<QString>("line8");
        QTest::newRow("one screen, そのまま") << 0 << 0 << "0";
        QTest::newRow("two screens, 縦横比を保持しない") << 1 << 3 << "2";
        QTest::newRow("four screens, 画像をウインドウに合わせる") << 2 << 1 << "1";
        QTest::newRow("four screens, 大きい画像だけ: no code") << 2 << 2 << "";
    }
    void roundTrip()
    {
        QFETCH(int, layout);
        QFETCH(int, sizeMode);
        QFETCH(QString, line8);
        SlideFixture f;
        f.writeFolder(8);
        f.start();
        TForm2& s = f.slide();
        // The main window hides the favourites menu and bar; the commands work.
        QVERIFY(!s.menu(QStringLiteral("File1"))->menuAction()->isVisible());
        QVERIFY(!s.Panel10->isVisibleTo(&s));
        s.LayoutCommand(layout);
        openAt(f, 2);
        s.SizeModeCommand(sizeMode);
        s.MoveSplitter(1, 200);
        s.MoveSplitter(2, 321);
        s.MoveSplitter(3, 150);
        const QStringList shown = f.shown();
        const QList<int> sizes = panelSizes();
        saveAs(QStringLiteral("fav"));
        QVERIFY(!Form6->isVisible());

        const QString file = favorites(f) + QStringLiteral("/fav.srq");
        const QList<QByteArray> lines = sq::test::readFile(file).split('\n');
        QCOMPARE(lines.size(), 11); // ten lines, each ended by CR LF
        for (int i = 0; i < 10; ++i)
            QVERIFY(lines.at(i).endsWith('\r'));
        QCOMPARE(lines.at(0), QByteArray("../pics/pic_03.jpg\r"));
        QCOMPARE(lines.at(4), QByteArray::number(layout) + '\r');
        for (int i = 0; i < 3; ++i)
            QCOMPARE(lines.at(5 + i), QByteArray::number(sizes.at(i)) + '\r');
        QCOMPARE(lines.at(8), line8.toLatin1() + '\r');
        QCOMPARE(s.FileListBox1->count(), 1);

        // Everything changed, then the file opened again.
        s.LayoutCommand((layout + 1) % 3);
        s.SizeModeCommand(sizeMode == 0 ? 3 : 0);
        const int otherMode = checkedSizeMode();
        s.Next1Click();
        const QString line9 = Form1->settings().text(9);
        MessageBoxes boxes;
        openFile(file);
        QCOMPARE(boxes.texts(), QStringList());
        QCOMPARE(s.LayoutScreens(), layout == 2 ? 4 : layout + 1);
        QCOMPARE(f.shown(), shown);
        QCOMPARE(panelSizes(), sizes);
        QCOMPARE(checkedSizeMode(), line8.isEmpty() ? otherMode : sizeMode);
        QCOMPARE(Form1->settings().text(9), line9); // the mark alone, no settings line
        QCOMPARE(s.Label2->text(), QStringLiteral(" 1/1"));
        QCOMPARE(s.Label3->text(), QStringLiteral(" fav.srq"));
        QVERIFY(s.isVisible());
        QVERIFY(sq::app::slideViewActive);
        QVERIFY(!sq::app::favoriteLoading);
    }

    void paging()
    {
        SlideFixture f;
        f.writeFolder(4);
        f.start();
        TForm2& s = f.slide();
        s.LayoutCommand(0);
        openAt(f, 0);
        for (const char* name : {"a", "b", "c"}) {
            saveAs(QString::fromLatin1(name));
            s.Next1Click();
        }
        QCOMPARE(s.Label2->text(), QString()); // blank before any paging
        const QList<std::pair<void (TForm2::*)(), int>> steps{
            {&TForm2::FavNext1Click, 1},  {&TForm2::FavNext1Click, 2},
            {&TForm2::FavNext1Click, 3},  {&TForm2::FavNext1Click, 1}, // past the last
            {&TForm2::FavPrior1Click, 3},                              // before the first
            {&TForm2::FavPrior1Click, 2},
        };
        for (const auto& [command, at] : steps) {
            (s.*command)();
            QCOMPARE(s.Label2->text(), QStringLiteral(" %1/3").arg(at));
            QCOMPARE(s.Label3->text(), QStringLiteral(" %1.srq").arg(QChar('a' + at - 1)));
            QCOMPARE(f.shown(), f.picturesAt({at}));
        }
        s.SpeedButton8->click(); // お気に入り前へ(B)
        QCOMPARE(f.shown(), f.picturesAt({1}));
        s.SpeedButton9->click(); // お気に入り次へ(N)
        QCOMPARE(f.shown(), f.picturesAt({2}));
        // Nothing selected (the list read again): "前へ" goes to the last.
        s.SetFavoritesFolder(s.FavoritesFolder());
        s.FavPrior1Click();
        QCOMPARE(s.Label2->text(), QStringLiteral(" 3/3"));

        // Moving the save dialog to another folder empties the position label.
        const QString other = f.dir.path() + QStringLiteral("/other");
        QVERIFY(QDir().mkpath(other));
        s.FavSave1Click();
        Form6->setFolder(other);
        QCOMPARE(s.Label2->text(), QString());
        QCOMPARE(Form6->FileListBox1->count(), 0);
        Form6->Button2->click(); // キャンセル
        QVERIFY(!Form6->isVisible());
    }

    void missingAndStale()
    {
        SlideFixture f;
        f.writeFolder(4);
        f.start();
        TForm2& s = f.slide();
        openAt(f, 0);
        const QString moved = favorites(f) + QStringLiteral("/moved.srq");
        QVERIFY(writeSavedScreenFile(
            moved, record("../pics/pic_02.jpg", "../pics/gone.jpg", QStringLiteral("1"))));
        MessageBoxes boxes;
        openFile(moved);
        QCOMPARE(boxes.texts(),
                 QStringList{f.pics() + QStringLiteral("/gone.jpgが見つかりません")});
        QCOMPARE(f.shown(), f.picturesAt({2, 1})); // the first entry instead

        // One screen: lines 1-3 are not read, whatever they hold.
        const QString stale = favorites(f) + QStringLiteral("/stale.srq");
        QStringList lines = record("../pics/pic_03.jpg", "../gone/x.jpg", QStringLiteral("0"));
        lines[2] = QStringLiteral("../gone/y.jpg");
        lines[3] = QStringLiteral("/nowhere/z.jpg");
        QVERIFY(writeSavedScreenFile(stale, lines));
        boxes.clear();
        openFile(stale);
        QCOMPARE(boxes.texts(), QStringList());
        QCOMPARE(f.shown(), f.picturesAt({3}));
        QCOMPARE(s.State().Record, lines);

        // A name typed with the extension gets it again.
        saveAs(QStringLiteral("again.srq"));
        QVERIFY(QFile::exists(favorites(f) + QStringLiteral("/again.srq.srq")));
        // An empty name: nothing, the dialog stays.
        s.FavSave1Click();
        Form6->Edit1->clear();
        Form6->Button1Click();
        QVERIFY(Form6->isVisible());

        // Not there, or a folder without pictures.
        boxes.clear();
        openFile(favorites(f) + QStringLiteral("/none.srq"));
        const QString empty = f.dir.path() + QStringLiteral("/empty");
        QVERIFY(QDir().mkpath(empty));
        const QString nothing = favorites(f) + QStringLiteral("/nothing.srq");
        QVERIFY(writeSavedScreenFile(nothing, record("../empty/x.jpg", "", "0")));
        openFile(nothing);
        QCOMPARE(boxes.texts(), (QStringList{"ファイルがありません", "ファイルがありません"}));
        // A folder that is not there at all.
        const QString lost = favorites(f) + QStringLiteral("/lost.srq");
        QVERIFY(writeSavedScreenFile(lost, record("../lost/x.jpg", "", "0")));
        boxes.clear();
        openFile(lost);
        QCOMPARE(boxes.texts(), QStringList{"エラー"});
        QVERIFY(!sq::app::favoriteLoading);
    }

    // A file of the Windows program: CP932 text, backslashes, the pictures
    // moved along with the program's folder.
    void windowsFile()
    {
        SlideFixture f;
        f.writeFolder(2);
        const QString photos = f.dir.path() + QStringLiteral("/写真");
        QVERIFY(sq::test::writePictureSet(photos, 3, QStringLiteral("猫")).size() == 3);
        f.start();
        TForm2& s = f.slide();
        openAt(f, 0);
        QStringEncoder cp932("Shift_JIS");
        QVERIFY(cp932.isValid());
        const QByteArray bytes =
            cp932.encode(QStringLiteral("..\\写真\\猫03.jpg\r\n..\\写真\\猫01.jpg\r\n\r\n\r\n1"
                                        "\r\n300\r\n400\r\n400\r\n0\r\n\r\n"));
        const QString file = favorites(f) + QStringLiteral("/win.srq");
        QVERIFY(sq::test::writeFile(file, bytes));
        MessageBoxes boxes;
        openFile(file);
        QCOMPARE(boxes.texts(), QStringList());
        QCOMPARE(f.browser().CurrentFolderPath(), photos);
        QCOMPARE(f.shown(), (QStringList{photos + QStringLiteral("/猫03.jpg"),
                                         photos + QStringLiteral("/猫01.jpg")}));
        // The main window's folder change did not close the slide view.
        QVERIFY(s.isVisible());
        QVERIFY(sq::app::slideViewActive);
        QCOMPARE(checkedSizeMode(), 0);
        // Saved again: UTF-8, the slide view's own relative paths.
        saveAs(QStringLiteral("win"));
        QVERIFY(sq::test::readFile(file).startsWith("../\xE5\x86\x99\xE7\x9C\x9F/"));
    }

    void damagedRecord_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("layout not a number")
            << QByteArray("../pics/pic_03.jpg\r\n\r\n\r\n\r\nzwei\r\n1\r\n1\r\n1\r\n0\r\n");
        QTest::newRow("height empty")
            << QByteArray("../pics/pic_03.jpg\r\n\r\n\r\n\r\n1\r\n\r\n1\r\n1\r\n0\r\n");
        QTest::newRow("size mode text")
            << QByteArray("../pics/pic_03.jpg\r\n\r\n\r\n\r\n1\r\n1\r\n1\r\n1\r\nfit\r\n");
        QTest::newRow("cut short") << QByteArray("../pics/pic_03.jpg\r\n\r\n\r\n\r\n1\r\n1");
        QTest::newRow("binary") << QByteArray("\x00\xff\xfe\x01\r\n\x80\x81", 8);
        QTest::newRow("empty") << QByteArray();
    }
    void damagedRecord()
    {
        QFETCH(QByteArray, bytes);
        SlideFixture f;
        f.writeFolder(4);
        f.start();
        TForm2& s = f.slide();
        openAt(f, 0);
        s.SizeModeCommand(0);
        QApplication::processEvents(); // the window's own layout settles first
        const QStringList shown = f.shown();
        const QStringList before = s.State().Record;
        const QList<int> sizes = panelSizes();
        const QString file = favorites(f) + QStringLiteral("/bad.srq");
        QVERIFY(sq::test::writeFile(file, bytes));
        MessageBoxes boxes;
        openFile(file);
        QCOMPARE(boxes.texts(), QStringList{"エラー"});
        QCOMPARE(f.shown(), shown);
        QCOMPARE(s.State().Record, before);
        QCOMPARE(panelSizes(), sizes);
        QCOMPARE(checkedSizeMode(), 0);
        QVERIFY(!sq::app::favoriteLoading);
    }

    void emptySizeLineKeepsTheMode()
    {
        SlideFixture f;
        f.writeFolder(4);
        f.start();
        TForm2& s = f.slide();
        openAt(f, 0);
        s.SizeModeCommand(2); // 大きい画像だけウインドウに合わせる
        const QString file = favorites(f) + QStringLiteral("/keep.srq");
        QVERIFY(writeSavedScreenFile(file, record("../pics/pic_04.jpg", "", "0", "")));
        MessageBoxes boxes;
        openFile(file);
        QCOMPARE(boxes.texts(), QStringList());
        QCOMPARE(checkedSizeMode(), 2);
        QCOMPARE(f.shown(), f.picturesAt({4}));
    }

    void unwritableFolder()
    {
        SlideFixture f;
        f.writeFolder(2);
        f.start();
        openAt(f, 0);
        const QString locked = f.dir.path() + QStringLiteral("/locked");
        QVERIFY(sq::test::writeFile(locked + QStringLiteral("/fav.srq"), "old\r\n"));
        sq::test::UnwritableFolder guard(locked);
        if (!guard.ok()) QSKIP("no way to make a folder unwritable here");
        MessageBoxes boxes;
        saveAs(QStringLiteral("fav"), locked);
        saveAs(QStringLiteral("new"), locked);
        QCOMPARE(boxes.texts(), (QStringList{"エラー", "エラー"}));
        QVERIFY(!Form6->isVisible());
        QCOMPARE(sq::test::readFile(locked + QStringLiteral("/fav.srq")), QByteArray("old\r\n"));
        QCOMPARE(QDir(locked).entryList(QDir::Files | QDir::Hidden), QStringList{"fav.srq"});
        // The folder became the favourites folder all the same.
        QCOMPARE(Form2->FavoritesFolder(), locked + QLatin1Char('/'));
    }

    // Files that are not files: refused at once, without waiting on them.
    void notFiles()
    {
        SlideFixture f;
        f.writeFolder(2);
        f.start();
        TForm2& s = f.slide();
        openAt(f, 0);
        const sq::test::HangGuard guard(120, "saved-screen files that are not files");
        const QString odd = f.dir.path() + QStringLiteral("/odd");
        const QString fifo = odd + QStringLiteral("/a.srq");
        QVERIFY(sq::test::makeHostile(sq::test::Hostile::Fifo, fifo));
        QVERIFY(sq::test::makeHostile(sq::test::Hostile::DevZero, odd + QStringLiteral("/b.srq")));
        QVERIFY(writeSavedScreenFile(odd + QStringLiteral("/c.srq"),
                                     record("../pics/pic_02.jpg", "", "0")));
        s.SetFavoritesFolder(odd);
        QCOMPARE(s.FileListBox1->count(), 3);
        MessageBoxes boxes;
        s.FavNext1Click();
        s.FavNext1Click();
        s.FavNext1Click();
        QCOMPARE(boxes.texts(), (QStringList{"エラー", "エラー"}));
        QCOMPARE(f.shown(), f.picturesAt({2}));
        openFile(fifo);
        QCOMPARE(boxes.texts().size(), 3);
        QVERIFY(!sq::app::favoriteLoading);
    }

    void chooseFolder()
    {
        SlideFixture f;
        f.writeFolder(1);
        const QString other = f.dir.path() + QStringLiteral("/other");
        QVERIFY(sq::test::writeFile(other + QStringLiteral("/x.srq"), "x"));
        QVERIFY(sq::test::writeFile(other + QStringLiteral("/y.txt"), "y"));
        f.start();
        TForm2& s = f.slide();
        QCOMPARE(s.Label1->text(), QStringLiteral(" Favorites"));
        s.menuItem(QStringLiteral("FavFolder1"))->trigger();
        QVERIFY(Form9->isVisible());
        Form9->setFolder(other);
        Form9->Button1Click();
        QCOMPARE(s.FavoritesFolder(), other + QLatin1Char('/'));
        QCOMPARE(s.Label1->text(), QStringLiteral(" other"));
        QCOMPARE(s.FileListBox1->count(), 1);
        QCOMPARE(s.FileListBox1->item(0)->text(), QStringLiteral("x.srq"));
        s.SetFavoritesFolder(QStringLiteral("/"));
        QCOMPARE(s.Label1->text(), QStringLiteral(" /"));
    }
};

QTEST_MAIN(TstSlideFavorites)
#include "tst_slidefavorites.moc"
