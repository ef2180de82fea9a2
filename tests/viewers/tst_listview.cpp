// The file list view and full-screen view with the real main window and
// browser: which entries it lists, where it starts, stepping with wrapping,
// files gone from under it, the keys of each mode, size modes and speed in
// the settings lines, captions, and the "ファイル" commands.
#include "app/Unit23.h"
#include "app/Windows.h"
#include "engine/BmpFile.h"
#include "engine/ImgBox.h"
#include "tests/support/MessageBoxes.h"
#include "tests/viewers/SlideFixture.h"
#include "viewers/Unit13.h"
#include "viewers/Unit14.h"
#include "viewers/Unit18.h"

#include <QAction>
#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QScreen>
#include <QTimer>
#include <QToolButton>

using sq::test::SlideFixture;

namespace {

TForm13& view()
{
    return *Form13;
}

QStringList lines(const QListWidget* list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

QString shown()
{
    return Form13->ImgBox1->ImageFile();
}

// Opens the view as the main window's command does: "N43" or "N46".
void open(const char* command)
{
    Form1->menuItem(QString::fromLatin1(command))->trigger();
}

void markClipboard()
{
    QGuiApplication::clipboard()->setText(QStringLiteral("mark"));
}

} // namespace

class TstListView : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void lineRules_data()
    {
        QTest::addColumn<int>("current");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("next");
        QTest::addColumn<int>("prior");
        QTest::newRow("middle") << 1 << 4 << 2 << 0;
        QTest::newRow("last wraps to first") << 3 << 4 << 0 << 2;
        QTest::newRow("first wraps to last") << 0 << 4 << 1 << 3;
        QTest::newRow("none current") << -1 << 4 << 0 << 3;
        QTest::newRow("one line") << 0 << 1 << 0 << 0;
        QTest::newRow("empty") << -1 << 0 << -1 << -1;
        QTest::newRow("past the end") << 7 << 4 << 0 << 3;
    }
    void lineRules()
    {
        QFETCH(int, current);
        QFETCH(int, count);
        QFETCH(int, next);
        QFETCH(int, prior);
        QCOMPARE(TForm13::nextLine(current, count), next);
        QCOMPARE(TForm13::priorLine(current, count), prior);
    }

    void whatIsListed_data()
    {
        QTest::addColumn<QList<int>>("selected"); // entry indices; the first a plain click
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<int>("startLine");
        const QStringList all{"1|pic_01.jpg", "2|pic_02.jpg", "3|pic_03.jpg", "4|pic_04.jpg",
                              "5|pic_05.jpg"};
        QTest::newRow("none selected: all") << QList<int>{} << all << 0;
        QTest::newRow("one selected: all, from the focused") << QList<int>{3} << all << 3;
        QTest::newRow("two selected: only they, by position")
            << QList<int>{1, 4} << QStringList{"2|pic_02.jpg", "5|pic_05.jpg"} << 0;
        QTest::newRow("three selected")
            << QList<int>{4, 0, 2} << QStringList{"1|pic_01.jpg", "3|pic_03.jpg", "5|pic_05.jpg"}
            << 0;
    }
    void whatIsListed()
    {
        QFETCH(QList<int>, selected);
        QFETCH(QStringList, expected);
        QFETCH(int, startLine);
        SlideFixture f;
        f.writeFolder(5);
        f.start();
        f.browser().ClearSelection();
        Qt::KeyboardModifiers mods;
        for (int i : selected) {
            f.click(i, mods);
            mods = Qt::ControlModifier;
        }
        QCOMPARE(f.browser().SelCount(), int(selected.size()));
        open("N43");
        QVERIFY(view().isVisible());
        QCOMPARE(lines(view().ListBox1), expected);
        QStringList paths;
        for (const QString& line : expected)
            paths << f.pictures.value(line.section(QLatin1Char('|'), 0, 0).toInt() - 1);
        QCOMPARE(lines(view().ListBox2), paths);
        QCOMPARE(view().currentLine(), startLine);
        QCOMPARE(shown(), paths.value(startLine));
        QVERIFY(view().ImgBox1->Loaded());
    }

    void everyEntryListed()
    {
        SlideFixture f;
        f.writeFolder(3, true); // "sub" first, then the pictures, then a text file
        f.start(true);
        QTRY_COMPARE(f.browser().Items().Count(), 5);
        // The one selected entry is the third picture, entry 4.
        f.click(3);
        open("N46");
        const QStringList listed = lines(view().ListBox1);
        QCOMPARE(listed.size(), 5);
        QCOMPARE(listed.mid(1, 3), (QStringList{"2|pic_01.jpg", "3|pic_02.jpg", "4|pic_03.jpg"}));
        QCOMPARE(listed.value(0), QStringLiteral("1|sub"));
        QVERIFY(listed.value(4).startsWith(QStringLiteral("5|")));
        QCOMPARE(view().currentLine(), 3);
        QCOMPARE(shown(), f.pictures.value(2));
        // The folder's line is passed over: the picture before it stays.
        view().Next1Click();
        QCOMPARE(view().currentLine(), 4);
        view().Next1Click();
        QCOMPARE(view().currentLine(), 0);
        QVERIFY(view().ImgBox1->Loaded());
        view().Next1Click();
        QCOMPARE(shown(), f.pictures.value(0));
    }

    void emptyBrowserOpensNothing()
    {
        SlideFixture f;
        QVERIFY(QDir().mkpath(f.pics()));
        QVERIFY(QDir().mkpath(f.data()));
        sq::app::createWindows(f.data(), f.pics());
        Form1->show();
        QTRY_COMPARE(Form1->ImgPanel1->CurrentFolderPath(), f.pics());
        open("N46");
        QVERIFY(!view().isVisible());
        QVERIFY(sq::app::fullScreen); // the command sets the mode before it looks
    }

    void wrapping()
    {
        SlideFixture f;
        f.writeFolder(3);
        f.start();
        f.browser().ClearSelection();
        open("N43");
        QCOMPARE(shown(), f.pictures.value(0));
        view().Prior1Click(); // first -> last
        QCOMPARE(view().currentLine(), 2);
        QCOMPARE(shown(), f.pictures.value(2));
        QVERIFY(view().PriorButton->isChecked());
        view().Next1Click(); // last -> first
        QCOMPARE(view().currentLine(), 0);
        QCOMPARE(shown(), f.pictures.value(0));
        QVERIFY(view().NextButton->isChecked());
        view().menuItem(QStringLiteral("Next1"), true)->trigger(); // the context menu's
        QCOMPARE(shown(), f.pictures.value(1));
        // A click in the list chooses its line.
        QListWidget* list = view().ListBox1;
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(2)).center());
        QCOMPARE(shown(), f.pictures.value(2));
    }

    void goneFilesSkipped()
    {
        SlideFixture f;
        f.writeFolder(4);
        f.start();
        f.browser().ClearSelection();
        open("N43");
        QVERIFY(QFile::remove(f.pictures.value(1)));
        view().Next1Click();
        QCOMPARE(view().currentLine(), 1);
        QCOMPARE(shown(), f.pictures.value(0)); // the previous picture stays
        QVERIFY(view().ImgBox1->Loaded());
        QCOMPARE(view().windowTitle(), QStringLiteral("ファイルリストビュー/pic_01.jpg"));
        view().Next1Click();
        QCOMPARE(shown(), f.pictures.value(2));

        // Every file gone: the timer moves one line per tick and shows
        // nothing new, and goes on running at its pace.
        for (const QString& p : f.pictures)
            QFile::remove(p);
        const int start = view().currentLine();
        int ticks = 0;
        const auto counting = connect(view().Timer1, &QTimer::timeout, this, [&] { ++ticks; });
        view().Play1Click();
        QVERIFY(view().PlayButton->isChecked());
        QCOMPARE(view().Timer1->interval(), 3000); // line 49's default "2"
        QVERIFY(!view().Timer1->isSingleShot());
        QCOMPARE(view().Timer1->timerType(), Qt::PreciseTimer);
        view().Timer1->setInterval(20);
        QTRY_VERIFY(ticks >= 5);
        QVERIFY(view().Timer1->isActive());
        QCOMPARE(view().currentLine(), (start + ticks) % 4);
        QCOMPARE(shown(), f.pictures.value(2));
        view().Stop1Click();
        disconnect(counting);
        QVERIFY(!view().Timer1->isActive());
        QVERIFY(view().StopButton->isChecked());

        // Shown again on such a list (the browser may have listed the
        // folder again by now, so the view is opened directly): the first
        // line is current, and the last picture and its caption stay.
        view().hide();
        view().Open(false, nullptr, 0);
        QCOMPARE(view().currentLine(), 0);
        QCOMPARE(shown(), f.pictures.value(2));
        QCOMPARE(view().windowTitle(), QStringLiteral("ファイルリストビュー/pic_03.jpg"));
    }

    void keysByMode_data()
    {
        QTest::addColumn<bool>("fullScreen");
        QTest::addColumn<bool>("toList"); // sent to the list, else to the window
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("line");     // the current line after it (from line 1)
        QTest::addColumn<int>("playing");  // the timer after it: 1 on, 0 off
        QTest::addColumn<bool>("visible"); // the window after it
        QTest::newRow("full: Right") << true << false << int(Qt::Key_Right) << 2 << 0 << true;
        QTest::newRow("full: Space") << true << false << int(Qt::Key_Space) << 2 << 0 << true;
        QTest::newRow("full: Left") << true << false << int(Qt::Key_Left) << 0 << 0 << true;
        QTest::newRow("full: Ctrl") << true << false << int(Qt::Key_Control) << 0 << 0 << true;
        QTest::newRow("full: Up plays") << true << false << int(Qt::Key_Up) << 1 << 1 << true;
        QTest::newRow("full: Escape hides")
            << true << false << int(Qt::Key_Escape) << 1 << 0 << false;
        QTest::newRow("list: window's Right")
            << false << false << int(Qt::Key_Right) << 1 << 0 << true;
        QTest::newRow("list: window's Up") << false << false << int(Qt::Key_Up) << 1 << 0 << true;
        QTest::newRow("list: window's Escape")
            << false << false << int(Qt::Key_Escape) << 1 << 0 << true;
        QTest::newRow("list: Space") << false << true << int(Qt::Key_Space) << 2 << 0 << true;
        QTest::newRow("list: Ctrl") << false << true << int(Qt::Key_Control) << 0 << 0 << true;
        QTest::newRow("list: Escape hides")
            << false << true << int(Qt::Key_Escape) << 1 << 0 << false;
    }
    void keysByMode()
    {
        QFETCH(bool, fullScreen);
        QFETCH(bool, toList);
        QFETCH(int, key);
        QFETCH(int, line);
        QFETCH(int, playing);
        QFETCH(bool, visible);
        SlideFixture f;
        f.writeFolder(4);
        f.start();
        f.click(1);
        open(fullScreen ? "N46" : "N43");
        QCOMPARE(view().currentLine(), 1);
        QWidget* target = toList ? static_cast<QWidget*>(view().ListBox1) : &view();
        QTest::keyClick(target, Qt::Key(key));
        QCOMPARE(view().currentLine(), line);
        QCOMPARE(shown(), f.pictures.value(line));
        QCOMPARE(view().Timer1->isActive(), playing == 1);
        QCOMPARE(view().isVisible(), visible);
        if (fullScreen && key == Qt::Key_Up) {
            QTest::keyClick(&view(), Qt::Key_Down);
            QVERIFY(!view().Timer1->isActive());
        }
    }

    void sizeModesAndSpeed_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<bool>("popup");
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("getType");
        QTest::addColumn<int>("sizeType");
        QTest::newRow("そのまま") << "N3" << false << 0 << int(igtNormal) << int(ispImage);
        QTest::newRow("合わせる (context menu)")
            << "N4" << true << 1 << int(igtNormal) << int(ispStretch);
        QTest::newRow("大きい画像だけ") << "N5" << false << 2 << int(igtPreview) << int(ispImage);
        QTest::newRow("縦横比を保持しない (context menu)")
            << "N6" << true << 3 << int(igtFit) << int(ispStretch);
    }
    void sizeModesAndSpeed()
    {
        QFETCH(QString, item);
        QFETCH(bool, popup);
        QFETCH(int, mode);
        QFETCH(int, getType);
        QFETCH(int, sizeType);
        SlideFixture f;
        f.writeFolder(2);
        f.start();
        f.browser().ClearSelection();
        // Lines the other way round from the row's, so that the show must
        // apply them and the item must change them.
        Form1->settings().setInt(48, (mode + 2) % 4);
        Form1->settings().setInt(49, 9);
        open("N43");
        const QStringList sizeItems{"N3", "N4", "N5", "N6"};
        for (bool inPopup : {false, true}) {
            QVERIFY(view().menuItem(sizeItems.value((mode + 2) % 4), inPopup)->isChecked());
            QVERIFY(view().menuItem(QStringLiteral("SlideSpeed20"), inPopup)->isChecked());
        }
        QCOMPARE(view().Timer1->interval(), 10000);

        view().menuItem(item, popup)->trigger();
        for (bool inPopup : {false, true})
            for (const QString& name : sizeItems)
                QCOMPARE(view().menuItem(name, inPopup)->isChecked(), name == item);
        QCOMPARE(int(view().ImgBox1->ImgUtil()->GetType()), getType);
        QCOMPARE(int(view().ImgBox1->SizeType()), sizeType);
        QCOMPARE(Form1->settings().text(48), QString::number(mode));
        QCOMPARE(shown(), f.pictures.value(0)); // reloaded under the new mode

        view().menuItem(QStringLiteral("SlideSpeed1%1").arg(mode + 1), !popup)->trigger();
        QCOMPARE(view().Timer1->interval(), (mode + 1) * 1000);
        QCOMPARE(Form1->settings().text(49), QString::number(mode));
        for (bool inPopup : {false, true}) {
            QVERIFY(view()
                        .menuItem(QStringLiteral("SlideSpeed1%1").arg(mode + 1), inPopup)
                        ->isChecked());
            QVERIFY(!view().menuItem(QStringLiteral("SlideSpeed20"), inPopup)->isChecked());
        }

        // Shown again: restored from the lines; kept in the settings file.
        view().SizeModeCommand((mode + 1) % 4);
        view().hide();
        Form1->settings().setInt(48, mode);
        open("N46");
        QVERIFY(view().menuItem(item, !popup)->isChecked());
        QCOMPARE(view().Timer1->interval(), (mode + 1) * 1000);
        f.stop();
        const QStringList saved =
            QString::fromUtf8(sq::test::readFile(f.data() + "sorrelquint.ini"))
                .split(QStringLiteral("\r\n"));
        QCOMPARE(saved.value(48), QString::number(mode));
        QCOMPARE(saved.value(49), QString::number(mode));
    }

    void modesAndCaptions()
    {
        SlideFixture f;
        f.writeFolder(3);
        f.start();
        f.browser().ClearSelection();
        QScreen* screen = Form1->screen();

        open("N46");
        QVERIFY(sq::app::fullScreen);
        QVERIFY(view().isFullScreenMode());
        QVERIFY(view().isFullScreen());
        QVERIFY(view().windowFlags() & Qt::FramelessWindowHint);
        QVERIFY(!view().menuBar()->isVisible());
        QVERIFY(!view().Panel3->isVisible());
        QVERIFY(!view().Splitter1->isVisible());
        QCOMPARE(view().geometry(), screen->geometry());
        QCOMPARE(view().ImgBox1->size(), screen->geometry().size());
        QCOMPARE(view().windowTitle(), QStringLiteral("フルスクリーンビュー/pic_01.jpg"));
        view().Next1Click();
        QCOMPARE(view().windowTitle(), QStringLiteral("ファイルリストビュー/pic_02.jpg"));
        // Everything is on the context menu.
        for (const char* name : {"File1", "N1", "Show1", "ool1", "N2"})
            QVERIFY(view().menuItem(QString::fromLatin1(name), true)->isVisible());

        open("N43");
        QVERIFY(!sq::app::fullScreen);
        QVERIFY(!view().isFullScreen());
        QVERIFY(!(view().windowFlags() & Qt::FramelessWindowHint));
        QVERIFY(view().menuBar()->isVisible());
        for (const char* name : {"File1", "N1", "Show1", "ool1", "N2"})
            QVERIFY(view().menu(QString::fromLatin1(name))->menuAction()->isVisible());
        QVERIFY(view().Panel3->isVisible());
        QVERIFY(view().Splitter1->isVisible());
        QCOMPARE(view().Panel3->width(), TForm13::Panel3Width);
        QCOMPARE(view().currentLine(), 0); // each show starts again
        QCOMPARE(view().windowTitle(), QStringLiteral("ファイルリストビュー/pic_01.jpg"));

        // The loupe items drive the loupe and its bar.
        view().menuItem(QStringLiteral("Loupe1"))->trigger();
        QVERIFY(Form14->isVisible());
        view().menuItem(QStringLiteral("LoupeHide1"), true)->trigger();
        QVERIFY(!Form14->isVisible());
        view().menuItem(QStringLiteral("LoupeBar1"))->trigger();
        QVERIFY(Form18->isVisible());
        Form18->hide();

        // Window size: a share of the screen.
        view().menuItem(QStringLiteral("WindowSize50"))->trigger();
        QCOMPARE(view().size(), screen->geometry().size() / 2);

        // The close box stops the slide and hides; "閉じる" only hides.
        view().Play1Click();
        view().close();
        QVERIFY(!view().isVisible());
        QVERIFY(!view().Timer1->isActive());
        open("N43");
        view().Play1Click();
        view().menuItem(QStringLiteral("Close1"))->trigger();
        QVERIFY(!view().isVisible());
        QVERIFY(view().Timer1->isActive());
        open("N43"); // the show stops it
        QVERIFY(!view().Timer1->isActive());
    }

    void fileCommands()
    {
        SlideFixture f;
        f.writeFolder(2);
        f.start();
        f.browser().ClearSelection();
        // Without a picture: nothing happens. The lines name files that are
        // not there (the window is filled directly: the browser would list
        // the folder again without them).
        view().ClearLists();
        for (int i = 0; i < f.pictures.size(); ++i)
            view().AddLine(i + 1, f.pictures.value(i) + QStringLiteral(".away"));
        view().Open(false, nullptr, 0);
        QVERIFY(view().isVisible());
        QVERIFY(!view().ImgBox1->Loaded());
        int asked = 0;
        view().SavePictureDialog1 = [&] {
            ++asked;
            return f.dir.path() + QStringLiteral("/never.bmp");
        };
        markClipboard();
        view().menuItem(QStringLiteral("Clipboard1"))->trigger();
        view().menuItem(QStringLiteral("Save1"))->trigger();
        view().menuItem(QStringLiteral("CopyTo1"))->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("mark"));
        QCOMPARE(asked, 0);
        QVERIFY(!Form23->isVisible());
        QVERIFY(!QFile::exists(f.dir.path() + QStringLiteral("/never.bmp")));

        view().hide();
        open("N43");
        view().Next1Click();
        QCOMPARE(shown(), f.pictures.value(1));
        const QSize size = view().ImgBox1->ImgUtil()->Bitmap().image().size();
        QVERIFY(!size.isEmpty());

        view().menuItem(QStringLiteral("Clipboard1"), true)->trigger();
        QCOMPARE(QGuiApplication::clipboard()->image().size(), size);

        const QString out = f.dir.path() + QStringLiteral("/saved.bmp");
        view().SavePictureDialog1 = [&] { return out; };
        view().Save1Click();
        QImage saved;
        QVERIFY(sq::readBmpFile(out, saved));
        QCOMPARE(saved.size(), size);

        // A folder that refuses the file: a message naming it, nothing there.
        const QString locked = f.dir.path() + QStringLiteral("/locked");
        QVERIFY(QDir().mkpath(locked));
        {
            sq::test::UnwritableFolder guard(locked);
            if (guard.ok()) {
                const QString refused = locked + QStringLiteral("/x.bmp");
                view().SavePictureDialog1 = [&] { return refused; };
                sq::test::MessageBoxes boxes;
                view().Save1Click();
                QCOMPARE(boxes.texts().size(), 1);
                QVERIFY2(boxes.texts().value(0).startsWith(refused +
                                                           QStringLiteral(" を保存できません")),
                         qPrintable(boxes.texts().value(0)));
                QCOMPARE(QDir(locked).entryList(QDir::Files | QDir::Hidden), QStringList());
            }
        }

        // Copy to folder: the chooser with code 21 copies the shown file.
        const QString dest = f.dir.path() + QStringLiteral("/dest");
        QVERIFY(QDir().mkpath(dest));
        view().CopyTo1Click();
        QVERIFY(Form23->isVisible());
        QCOMPARE(Form23->windowTitle(), QStringLiteral("ファイルをコピー"));
        QCOMPARE(Form23->Label1->text(), QStringLiteral("コピー先を選択"));
        QCOMPARE(sq::app::destinationAction, 21);
        Form23->setFolder(dest);
        Form23->Button1Click();
        QCOMPARE(QDir(dest).entryList(QDir::Files), QStringList{"pic_02.jpg"});
    }
};

QTEST_MAIN(TstListView)
#include "tst_listview.moc"
