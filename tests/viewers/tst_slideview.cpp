// The slide view with the real main window and browser on a folder the test
// writes: stepping, layouts, size modes, timers, keys, clicks, the info line,
// the record, the settings lines, and the file list window.
#include "tests/support/MessageBoxes.h"
#include "tests/viewers/SlideFixture.h"
#include "viewers/Unit11.h"
#include "viewers/Unit27.h"
#include "viewers/Unit29.h"

#include "engine/ImgBox.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>
#include <QToolButton>

using sq::test::SlideFixture;

namespace {

void openAt(SlideFixture& f, int index)
{
    f.click(index);
    Form1->ImgPanel1DblClick();
    QVERIFY(Form2->isVisible());
}

QList<int> geometryOf(const TForm2& s)
{
    const TSlideGeometry g = s.Geometry();
    return {g.TopHeight, g.Panel4Width, g.Panel6Width};
}

void sendMouseMove(QWidget* w)
{
    QMouseEvent move(QEvent::MouseMove, QPointF(5, 5), w->mapToGlobal(QPointF(5, 5)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(w, &move);
}

} // namespace

class TstSlideView : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void stepsAndLayouts()
    {
        SlideFixture f;
        f.writeFolder(8);
        f.start();
        TForm2& s = f.slide();
        openAt(f, 0);
        QVERIFY(sq::app::slideViewActive);
        QCOMPARE(s.LayoutScreens(), 2); // settings line 9 defaults to "1"
        QCOMPARE(f.shown(), f.picturesAt({1, 2}));

        s.menuItem(QStringLiteral("N41"))->trigger(); // 4面 arranges 2..4 after 1
        QCOMPARE(f.shown(), f.picturesAt({1, 2, 3, 4}));
        s.Next1Click();
        QCOMPARE(f.shown(), f.picturesAt({5, 6, 7, 8}));
        s.Next1Click();
        QCOMPARE(f.shown(), f.picturesAt({1, 2, 3, 4}));
        s.Prior1Click();
        QCOMPARE(f.shown(), f.picturesAt({5, 6, 7, 8}));

        // The record: lines 0-3 relative to the data folder, line 4 the layout.
        for (int k = 0; k < 4; ++k)
            QCOMPARE(s.State().Record.at(k),
                     QStringLiteral("../pics/pic_%1.jpg").arg(5 + k, 2, 10, QLatin1Char('0')));
        QCOMPARE(s.State().Record.at(4), QStringLiteral("2"));
        QTRY_COMPARE(s.Memo1->toPlainText().split(QLatin1Char('\n')), s.State().Record);
        QCOMPARE(Form1->settings().text(9), QStringLiteral("2"));

        s.menuItem(QStringLiteral("N11"))->trigger();
        QCOMPARE(f.shown(), f.picturesAt({5}));
        s.Next1Click();
        QCOMPARE(f.shown(), f.picturesAt({6}));
        // One screen keeps the lines of screens it does not show.
        QCOMPARE(s.State().Record.at(0), QStringLiteral("../pics/pic_06.jpg"));
        QCOMPARE(s.State().Record.at(2), QStringLiteral("../pics/pic_07.jpg"));
        QCOMPARE(s.State().Record.at(4), QStringLiteral("0"));
        s.menuItem(QStringLiteral("N41"))->trigger();
        QCOMPARE(f.shown(), f.picturesAt({6, 7, 8, 1}));
        s.menuItem(QStringLiteral("N111"))->trigger(); // one-picture step
        s.Next1Click();
        QCOMPARE(f.shown(), f.picturesAt({7, 8, 1, 2}));
        QCOMPARE(Form1->settings().text(18), QStringLiteral("1"));
        s.AllTheSameCommand(3);
        QCOMPARE(f.shown(), f.picturesAt({1, 1, 1, 1}));

        // The info line for a shown screen, and for the screen under the mouse.
        s.Arrange1Click();
        QCOMPARE(s.Label4->text(), QStringLiteral(" pic_04.jpg"));
        QCOMPARE(s.Label5->text(), QStringLiteral(" 4/8"));
        QCOMPARE(s.Label6->text(), QStringLiteral("   116x87"));
        sendMouseMove(s.ImgBox2);
        QCOMPARE(s.Label4->text(), QStringLiteral(" pic_02.jpg"));
        QCOMPARE(s.Label5->text(), QStringLiteral(" 2/8"));
        QCOMPARE(s.Label6->text(), QStringLiteral("   108x81"));
    }

    void oneEntry()
    {
        SlideFixture f;
        f.writeFolder(1);
        f.start();
        TForm2& s = f.slide();
        s.LayoutCommand(0);
        openAt(f, 0);
        s.Next1Click();
        QCOMPARE(f.shown(), f.picturesAt({1}));
        s.Prior1Click();
        QCOMPARE(f.shown(), f.picturesAt({1}));
        s.LayoutCommand(2);
        QCOMPARE(f.shown(), f.picturesAt({1, 1, 1, 1}));
    }

    void selectedPictures()
    {
        SlideFixture f;
        f.writeFolder(8);
        f.start();
        TForm2& s = f.slide();
        f.click(1);
        f.click(4, Qt::ControlModifier);
        s.LayoutCommand(0);
        Form1->N40Click();
        QCOMPARE(s.State().SelectedPicturesMode, 1);
        QCOMPARE(f.shown(), f.picturesAt({2}));
        QSet<QString> seen;
        for (int i = 0; i < 5; ++i) {
            s.Next1Click();
            seen << f.shown().first();
        }
        QCOMPARE(f.shown(), f.picturesAt({5})); // 2 -> 5 -> 2 -> 5 -> 2 -> 5
        s.Prior1Click();
        QCOMPARE(f.shown(), f.picturesAt({2}));
        s.Random = [](int n) { return n - 1; };
        s.Random1Click();
        QCOMPARE(f.shown(), f.picturesAt({5}));
        seen << f.shown().first();
        QCOMPARE(seen, (QSet<QString>{f.pictures.at(1), f.pictures.at(4)}));

        // The file list shows the selection with its browser positions.
        s.FileList1Click();
        QCOMPARE(Form11->ListBox1->count(), 2);
        QCOMPARE(Form11->ListBox1->item(1)->text(), QStringLiteral("5|pic_05.jpg"));

        // The selection emptied meanwhile: a message, nothing moves; a timer
        // tick stays silent.
        f.browser().ClearSelection();
        for (int i = 0; i < f.browser().Items().Count(); ++i)
            f.browser().SetSelected(i, false);
        sq::test::MessageBoxes boxes;
        s.Next1Click();
        QCOMPARE(boxes.texts(), QStringList{QStringLiteral("選択画像がありません")});
        s.Play1Click();
        s.Timer1Timer();
        s.RandomPlay1Click();
        QCOMPARE(boxes.texts().size(), 2);
        QCOMPARE(f.shown(), f.picturesAt({5}));
    }

    void notPicturesGetTheDefaultAction()
    {
        SlideFixture f;
        f.writeFolder(8, true);
        f.start(true);
        TImgPanel& b = f.browser();
        QTRY_COMPARE(b.Items().Count(), 10); // sub, pic_01..pic_08, zz_notes.txt
        TForm2& s = f.slide();
        openAt(f, 8); // pic_08 and, on screen 2, the text file
        QCOMPARE(f.opener.opened, QStringList{f.pics() + QStringLiteral("/zz_notes.txt")});
        QCOMPARE(f.shown(), (QStringList{f.pictures.at(7), QString()}));
        s.LayoutCommand(0);
        s.Next1Click(); // the text file again: opened, screen 1 unchanged
        QCOMPARE(f.opener.opened.size(), 2);
        QCOMPARE(f.shown(), f.picturesAt({8}));
        s.Play1Click();
        s.Next1Click(); // the folder: the browser opens it, the slide view goes
        QCOMPARE(b.CurrentFolderPath(), f.pics() + QStringLiteral("/sub"));
        QVERIFY(!s.isVisible());
        QVERIFY(!sq::app::slideViewActive);
        QVERIFY(!s.Timer1->isActive());
        QCOMPARE(s.State().Screen(1), -1);
        QCOMPARE(f.opener.opened.size(), 2);
    }

    // A step of four screens, whose pictures load side by side, leaves each
    // screen exactly as loading its file alone would: for every size mode,
    // pictures larger, smaller, taller and wider than the screens, and all
    // four screens painted before the step returns.
    void screensMatchOneByOne()
    {
        SlideFixture f;
        const QSize sizes[] = {{1200, 900}, {300, 200}, {180, 700}, {1400, 120},
                               {640, 480},  {450, 330}, {500, 400}, {96, 64}};
        quint32 seed = 7;
        for (const QSize& size : sizes) {
            const QString path = f.pics() + QStringLiteral("/p%1.%2")
                                                .arg(f.pictures.size() + 1, 2, 10, QLatin1Char('0'))
                                                .arg(size.width() == 500 ? "bmp" : "jpg");
            const QImage img = sq::test::noiseImage(size.width(), size.height(), seed++);
            QVERIFY(path.endsWith(QLatin1String(".bmp")) ? sq::test::writeBmp(path, img)
                                                         : sq::test::writeJpeg(path, img));
            f.pictures << path;
        }
        f.start();
        TForm2& s = f.slide();
        s.LayoutCommand(2);
        openAt(f, 0);
        s.showNormal();
        s.resize(900, 700);
        QTRY_COMPARE(s.width(), 900);
        QVERIFY(QTest::qWaitForWindowExposed(&s));
        int painted[5] = {};
        for (int k = 1; k <= 4; ++k)
            s.Screen(k)->OnPaint = [&painted, k](TCustomImgBox*, QPainter&) { ++painted[k]; };
        const char* const modes[] = {"N3", "N4", "N50", "N1"};
        for (const char* mode : modes) {
            s.menuItem(QString::fromLatin1(mode))->trigger();
            for (int step = 0; step < 2; ++step) {
                std::fill(std::begin(painted), std::end(painted), 0);
                s.Next1Click();
                QCOMPARE(f.shown(), f.picturesAt(step == 0 ? QList<int>{5, 6, 7, 8}
                                                           : QList<int>{1, 2, 3, 4}));
                for (int k = 1; k <= 4; ++k) {
                    TImgBox& screen = *s.Screen(k);
                    QVERIFY2(painted[k] > 0, qPrintable(QStringLiteral("%1 screen %2 step %3").arg(QLatin1String(mode)).arg(k).arg(step)));
                    // On a black panel as the screens are, for the colours
                    // it inherits.
                    QWidget panel;
                    QPalette black = panel.palette();
                    black.setColor(QPalette::Window, Qt::black);
                    panel.setPalette(black);
                    panel.resize(screen.size());
                    TImgBox alone(&panel);
                    alone.setBorderStyle(bsNone);
                    alone.setColor(Qt::black);
                    alone.ImgUtil()->setQuality(100);
                    alone.ImgUtil()->setGetType(screen.ImgUtil()->GetType());
                    alone.setSizeType(screen.SizeType());
                    alone.resize(screen.size());
                    panel.show();
                    QCOMPARE(alone.LoadFile(screen.ImageFile()), 0);
                    QVERIFY2(screen.Loaded(), mode);
                    QCOMPARE(screen.PictureRect(), alone.PictureRect());
                    QCOMPARE(screen.ViewBitmap(), alone.ViewBitmap());
                    QCOMPARE(screen.ImgUtil()->Bitmap().image(), alone.ImgUtil()->Bitmap().image());
                    QCOMPARE(screen.horizontalBar()->isVisibleTo(&screen),
                             alone.horizontalBar()->isVisibleTo(&alone));
                    QCOMPARE(screen.verticalBar()->isVisibleTo(&screen),
                             alone.verticalBar()->isVisibleTo(&alone));
                    screen.OnPaint = nullptr;
                    QCOMPARE(screen.grab().toImage(), alone.grab().toImage());
                    screen.OnPaint = [&painted, k](TCustomImgBox*, QPainter&) { ++painted[k]; };
                }
                // The info line and the record as the last screen left them.
                const TImgUtil& fourth = *s.ImgBox4->ImgUtil();
                QCOMPARE(s.Label6->text(), QStringLiteral("   %1x%2")
                                               .arg(fourth.ImageWidth())
                                               .arg(fourth.ImageHeight()));
                QCOMPARE(s.Label5->text(), QStringLiteral(" %1/8").arg(step == 0 ? 8 : 4));
                for (int k = 0; k < 4; ++k)
                    QVERIFY(s.State().Record.at(k).endsWith(QFileInfo(f.shown().at(k)).fileName()));
            }
        }
        for (int k = 1; k <= 4; ++k)
            s.Screen(k)->OnPaint = nullptr;
    }

    void sizeModesAndGeometry()
    {
        SlideFixture f;
        f.writeFolder(8);
        f.start();
        TForm2& s = f.slide();
        s.LayoutCommand(2);
        openAt(f, 0);
        s.showNormal();
        // The outer width counts, frame included.
        const int frame = s.frameGeometry().width() - s.width();
        s.resize(1023 - frame, 700);
        QTRY_COMPARE(s.frameGeometry().width(), 1023);
        const int h = s.Panel3->height() - 3;
        QCOMPARE(geometryOf(s), (QList<int>{h / 2, 510, 510}));
        QCOMPARE(s.ImgBox1->width(), 510);
        QCOMPARE(s.ImgBox2->width(), s.width() - 510 - 3);

        // A size mode reloads the screens at once.
        s.menuItem(QStringLiteral("N1"))->trigger(); // 縦横比を保持しない: the exact screen
        QCOMPARE(Form1->settings().text(8), QStringLiteral("3"));
        for (int k = 1; k <= 4; ++k)
            QCOMPARE(s.Screen(k)->ImgUtil()->Bitmap().image().size(), s.Screen(k)->size());
        s.menuItem(QStringLiteral("N3"))->trigger(); // そのまま: the picture's own size
        QCOMPARE(s.ImgBox3->ImgUtil()->Bitmap().image().size(), QSize(112, 84));
        QCOMPARE(s.ImgBox3->SizeType(), ispImage);

        // Enlarge and back; a splitter move reloads the screens it resized.
        s.SizeModeCommand(3);
        s.EnlargeCommand(3);
        QCOMPARE(geometryOf(s), (QList<int>{h / 3, 510, 3 * (1020 / 4)}));
        QCOMPARE(s.ImgBox3->ImgUtil()->Bitmap().image().size(), s.ImgBox3->size());
        s.EnlargeCommand(0);
        QCOMPARE(geometryOf(s), (QList<int>{h / 2, 510, 510}));
        s.MoveSplitter(3, h / 2 + 40);
        QCOMPARE(s.ImgBox1->height(), h / 2 + 40);
        QCOMPARE(s.ImgBox4->ImgUtil()->Bitmap().image().size(), s.ImgBox4->size());
        s.MoveSplitter(1, 2); // kept at the minimum
        QCOMPARE(s.ImgBox1->width(), TForm2::SplitterMinSize);
        QCOMPARE(s.ImgBox1->ImgUtil()->Bitmap().image().size(), s.ImgBox1->size());
        s.ApplySizeAdjust(1, 300, 200);
        QCOMPARE(s.ImgBox1->size(), QSize(302, 204));
        // Through the size dialog: screen 4 takes the rest of its row, so the
        // splitter before it moves; an empty field keeps the dialog open.
        s.SizeAdjustCommand(4);
        QCOMPARE(Form29->windowTitle(), QStringLiteral("画面4 サイズ調整"));
        QCOMPARE(Form29->Edit1->maxLength(), 4);
        Form29->Edit1->setText(QStringLiteral("400"));
        Form29->Edit2->clear();
        Form29->Button1Click();
        QVERIFY(Form29->isVisible());
        Form29->Edit2->setText(QStringLiteral("250"));
        Form29->Button1Click();
        QVERIFY(!Form29->isVisible());
        QCOMPARE(s.ImgBox4->size(), QSize(402, 254));

        // The toolbar off gives its height to the screens.
        const int before = s.Panel3->height();
        s.menuItem(QStringLiteral("N33"))->trigger();
        QCOMPARE(s.Panel3->height(), before + TForm2::ToolbarHeight);
        QCOMPARE(Form1->settings().text(10), QStringLiteral("0"));

        s.WindowSizeCommand(50);
        const QSize screen = s.screen()->geometry().size();
        // The outer frame takes the share; the window is no longer maximised.
        QTRY_COMPARE(s.frameGeometry().size(), QSize(screen.width() / 2, screen.height() / 2));
        QVERIFY(!s.isMaximized());
    }

    void timersKeysAndClicks()
    {
        SlideFixture f;
        f.writeFolder(8);
        f.start();
        TForm2& s = f.slide();
        s.LayoutCommand(0);
        openAt(f, 2);
        QTest::keyClick(&s, Qt::Key_Space);
        QCOMPARE(f.shown(), f.picturesAt({4}));
        QTest::keyClick(&s, Qt::Key_Control);
        QCOMPARE(f.shown(), f.picturesAt({3}));
        QTest::keyClick(&s, Qt::Key_Up);
        QVERIFY(s.Timer1->isActive() && s.SpeedButton3->isChecked());
        QCOMPARE(s.Timer1->interval(), 4000); // line 5 "3"
        // A steady pace: repeating, and not let slip by a coarse timer.
        QVERIFY(!s.Timer1->isSingleShot() && !s.Timer2->isSingleShot());
        QCOMPARE(s.Timer1->timerType(), Qt::PreciseTimer);
        QCOMPARE(s.Timer2->timerType(), Qt::PreciseTimer);
        s.Timer1Timer();
        QCOMPARE(f.shown(), f.picturesAt({4}));
        QTest::keyClick(&s, Qt::Key_Shift, Qt::ShiftModifier);
        s.Timer1Timer();
        s.Timer1Timer();
        QCOMPARE(f.shown(), f.picturesAt({2}));
        QTest::keyClick(&s, Qt::Key_Right, Qt::ShiftModifier); // the code alone counts
        QVERIFY(!s.Timer1->isActive() && s.Timer2->isActive() && s.SpeedButton7->isChecked());
        QCOMPARE(f.shown(), f.picturesAt({3})); // one tick at once
        s.Timer2Timer();
        QCOMPARE(f.shown(), f.picturesAt({4}));
        QTest::keyClick(&s, Qt::Key_Down);
        QVERIFY(!s.Timer1->isActive() && !s.Timer2->isActive() && s.SpeedButton2->isChecked());
        s.Random = [](int) { return 7; };
        s.menuItem(QStringLiteral("RandomPlay1"))->trigger();
        s.Timer1Timer();
        QCOMPARE(f.shown(), f.picturesAt({8}));
        // A tick with nothing to show does nothing.
        s.State().ClearScreens();
        s.State().PlayDirection = ipdForward;
        s.Timer1Timer();
        QCOMPARE(s.State().Screen(1), -1);
        s.State().SetScreen(1, 7);
        s.Stop1Click();

        // Clicks, by click mode, in the four-screen layout.
        s.LayoutCommand(2);
        QCOMPARE(f.shown(), f.picturesAt({8, 1, 2, 3}));
        s.ClickModeCommand(0);
        QTest::mouseClick(s.ImgBox2, Qt::LeftButton);
        QCOMPARE(f.shown(), f.picturesAt({8, 2, 2, 3}));
        QCOMPARE(s.State().ClickedScreen, 2);
        s.FastForward1Click(); // Stop clears the clicked screen first
        QCOMPARE(f.shown(), f.picturesAt({4, 6, 6, 7}));
        QTest::mouseClick(s.ImgBox4, Qt::RightButton);
        QCOMPARE(s.State().ClickedScreen, -4);
        QCOMPARE(f.shown(), f.picturesAt({4, 6, 6, 6}));
        s.Timer2Timer(); // held while a screen was clicked
        QCOMPARE(f.shown(), f.picturesAt({4, 6, 6, 6}));
        s.Stop1Click();
        s.ClickModeCommand(1);
        QTest::mouseClick(s.ImgBox3, Qt::LeftButton);
        QCOMPARE(f.shown(), f.picturesAt({8, 2, 2, 2}));
        QTest::mouseClick(s.ImgBox3, Qt::RightButton);
        QCOMPARE(f.shown(), f.picturesAt({4, 6, 6, 6}));
        s.ClickModeCommand(2);
        QTest::mouseClick(s.ImgBox1, Qt::LeftButton);
        QCOMPARE(f.shown(), f.picturesAt({4, 6, 6, 6}));
        s.ClickModeCommand(3);
        QCOMPARE(Form1->settings().text(7), QStringLiteral("3"));
        const TSlideGeometry plain = s.Geometry();
        QTest::mouseClick(s.ImgBox3, Qt::LeftButton);
        QCOMPARE(s.Geometry(), plain);
        QTest::mouseDClick(s.ImgBox3, Qt::LeftButton);
        QCOMPARE(s.Geometry(), *slideEnlarge(4, 3, s.Metrics(), plain));
        QTest::mouseClick(s.ImgBox3, Qt::RightButton);
        QCOMPARE(s.Geometry(), plain);

        // Switching enlarges 1, 2, 3, 4, then 1 again; "なし" ends it.
        s.Switch1Click();
        QVERIFY(s.Timer3->isActive());
        QCOMPARE(s.Timer3->interval(), 5000);
        for (int k : {1, 2, 3, 4, 1}) {
            s.Timer3Timer();
            QCOMPARE(s.Geometry(), *slideEnlarge(4, k, s.Metrics(), plain));
        }
        s.EnlargeCommand(0);
        QVERIFY(!s.Timer3->isActive());
        QCOMPARE(s.State().SwitchCounter, 0);
        QCOMPARE(s.Geometry(), plain);

        // Escape hides and keeps the flag; the close box clears it.
        s.Play1Click();
        QTest::keyClick(&s, Qt::Key_Escape);
        QVERIFY(!s.isVisible() && sq::app::slideViewActive);
        Form1->Veiw1Click();
        QVERIFY(s.isVisible());
        s.close();
        QVERIFY(!sq::app::slideViewActive && !s.Timer1->isActive() && s.SpeedButton2->isChecked());
    }

    void settingsRestored()
    {
        SlideFixture f;
        f.writeFolder(2);
        f.start();
        for (const char* item : {"SlideSpeed18", "FastSpeed15", "N58", "N3", "N41", "N33", "N111"})
            Form2->menuItem(QString::fromLatin1(item))->trigger();
        f.stop();
        const QStringList lines =
            QString::fromUtf8(sq::test::readFile(f.data() + "sorrelquint.ini")).split("\r\n");
        QCOMPARE((QStringList{lines.at(5), lines.at(28), lines.at(7), lines.at(8), lines.at(9),
                              lines.at(10), lines.at(18)}),
                 (QStringList{"7", "4", "3", "0", "2", "0", "1"}));
        f.start();
        TForm2& s = f.slide();
        for (const char* item : {"SlideSpeed18", "FastSpeed15", "N58", "N3", "N41", "N111"})
            QVERIFY2(s.isChecked(QString::fromLatin1(item)), item);
        for (const char* item : {"SlideSpeed15", "FastSpeed12", "N17", "N4", "N11", "N33"})
            QVERIFY2(!s.isChecked(QString::fromLatin1(item)), item);
        QCOMPARE(s.Timer1->interval(), 8000);
        QCOMPARE(s.Timer2->interval(), 500);
        QVERIFY(!s.Panel8->isVisibleTo(&s));
        QCOMPARE(s.ImgBox1->ImgUtil()->GetType(), igtNormal);
        QCOMPARE(s.ImgBox1->SizeType(), ispImage);
        // The main window's first show: favourites hidden, record line 4 = line 9.
        QVERIFY(!s.menu(QStringLiteral("File1"))->menuAction()->isVisible());
        QVERIFY(!s.menuItem(QStringLiteral("N28"))->isVisible() && !s.Panel10->isVisibleTo(&s));
        QCOMPARE(s.State().Record.at(4), QStringLiteral("2"));
        QCOMPARE(s.FavoritesFolder(), f.data() + QStringLiteral("Favorites/"));
        QCOMPARE(s.Label1->text(), QStringLiteral(" Favorites"));
    }

    void fileListWindow()
    {
        SlideFixture f;
        f.writeFolder(8);
        const QStringList other =
            sq::test::writePictureSet(f.dir.path() + QStringLiteral("/other"), 3, "o_");
        f.start();
        TForm2& s = f.slide();
        TForm11& list = *Form11;
        s.LayoutCommand(0);
        openAt(f, 0);
        s.FileList1Click();
        QVERIFY(list.isVisible());
        QCOMPARE(list.ListBox1->count(), 8);
        QCOMPARE(list.ListBox1->item(2)->text(), QStringLiteral("3|pic_03.jpg"));
        // Its right edge at the join window's left edge, unless that puts it
        // past the screen's left edge: then it starts at that edge.
        const QRect area = list.screen()->availableGeometry();
        const int wantLeft = std::max(area.left(), Form27->frameGeometry().left() -
                                                       list.frameGeometry().width());
        QCOMPARE(list.frameGeometry().left(), wantLeft);
        QVERIFY(area.contains(list.frameGeometry()));
        QCOMPARE(list.frameGeometry().top(), Form27->frameGeometry().top());

        // Arrows by layout: one screen takes only screen 1.
        list.ListBox1->setCurrentRow(2);
        for (int k = 1; k <= 4; ++k)
            list.ArrowClick(k);
        QCOMPARE(list.Edit[0]->text(), QStringLiteral("3|pic_03.jpg"));
        QVERIFY(list.Edit[1]->text().isEmpty() && list.Edit[2]->text().isEmpty());
        s.LayoutCommand(1);
        list.ListBox1->setCurrentRow(5);
        list.ArrowClick(2);
        list.ArrowClick(3);
        QCOMPARE(list.Edit[1]->text(), QStringLiteral("6|pic_06.jpg"));
        QVERIFY(list.Edit[2]->text().isEmpty());
        s.LayoutCommand(2);
        list.ListBox1->setCurrentRow(7);
        list.ArrowClick(4);
        list.ListBox1->setCurrentRow(1);
        list.ArrowClick(3);
        QCOMPARE(list.ChosenIndex(4), 7);
        QCOMPARE(list.ChosenIndex(3), 1);

        // OK while the slide view is closed: nothing, and the window stays.
        s.Close1Click();
        const QStringList before = f.shown();
        list.Button5Click();
        QVERIFY(list.isVisible());
        QCOMPARE(f.shown(), before);

        // Another folder: the list is refilled, the assignments stay; OK puts
        // the current list's entries on the screens, indices past its end
        // (screen 2's 5, screen 4's 7) fetch nothing, a deleted assignment
        // (screen 3) leaves its screen.
        Form1->pointTreeAt(f.dir.path() + QStringLiteral("/other"));
        QTRY_COMPARE(f.browser().Items().Count(), 3);
        openAt(f, 0);
        QCOMPARE(f.shown(), (QStringList{other.at(0), other.at(1), other.at(2), other.at(0)}));
        s.FileList1Click();
        QCOMPARE(list.ListBox1->count(), 3);
        QCOMPARE(list.Edit[0]->text(), QStringLiteral("3|pic_03.jpg"));
        list.DeleteClick(3);
        list.Button5Click();
        QVERIFY(!list.isVisible());
        QCOMPARE(f.shown(), (QStringList{other.at(2), other.at(1), other.at(2), other.at(0)}));

        // A click on a line previews it; a file deleted since keeps the preview.
        list.ListBox1->setCurrentRow(1);
        list.ListBox1Click();
        QCOMPARE(list.ImgBox1->ImageFile(), other.at(1));
        QCOMPARE(list.ImgBox1->ImgUtil()->Bitmap().image().height(), 89); // fitted to 129 x 89
        QVERIFY(QFile::remove(other.at(0)));
        list.ListBox1->setCurrentRow(0);
        list.ListBox1Click();
        QCOMPARE(list.ImgBox1->ImageFile(), other.at(1));
    }
};

QTEST_MAIN(TstSlideView)
#include "tst_slideview.moc"
