// The slide view's "ファイル" menu through the real windows on pictures of
// known sizes and colours: each command for each screen and layout, save
// all, the captures and their composite, the loupe bar during a capture,
// the destination chooser, the join dialog and the loupe items.
#include "tests/support/MessageBoxes.h"
#include "tests/viewers/SlideFixture.h"

#include "app/Unit23.h"
#include "engine/BmpFile.h"
#include "engine/ImgBox.h"
#include "platform/NativePath.h"
#include "viewers/Unit11.h"
#include "viewers/Unit14.h"
#include "viewers/Unit18.h"
#include "viewers/Unit26.h"
#include "viewers/Unit27.h"
#include "viewers/Unit28.h"

#include <QAction>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>

using sq::test::SlideFixture;

namespace {

struct Pic
{
    const char* name;
    int w, h;
    Qt::GlobalColor colour;
};
// Browser order is name order.
const Pic kPics[] = {{"a_red.bmp", 800, 600, Qt::red},
                     {"b_blue.bmp", 400, 300, Qt::blue},
                     {"c_green.bmp", 400, 600, Qt::green},
                     {"d_yellow.bmp", 200, 150, Qt::yellow}};

// The four pictures in the folder, the windows up, the slide view opened on
// the first in the layout of screens screens.
void startOn(SlideFixture& f, int screens)
{
    for (const Pic& p : kPics) {
        QImage image(p.w, p.h, QImage::Format_RGB888);
        image.fill(p.colour);
        const QString path = f.pics() + QLatin1Char('/') + QLatin1String(p.name);
        QVERIFY(sq::test::writeBmp(path, image));
        f.pictures << path;
    }
    f.start();
    // "そのまま": the engines hold the pictures at their own size.
    Form2->SizeModeCommand(0);
    Form2->LayoutCommand(screens == 4 ? 2 : screens == 2 ? 1 : 0);
    f.click(0);
    Form1->ImgPanel1DblClick();
    QVERIFY(Form2->isVisible());
    QCOMPARE(f.shown(), f.pictures.mid(0, screens));
}

QClipboard* clipboard()
{
    return QGuiApplication::clipboard();
}

// A mark on the clipboard that a command doing nothing leaves there.
void markClipboard()
{
    clipboard()->setText(QStringLiteral("mark"));
}
bool clipboardMarked()
{
    return clipboard()->text() == QLatin1String("mark");
}

QColor centreOf(const QImage& image, QRect r)
{
    return image.pixelColor(r.center());
}

QImage readBmp(const QString& path)
{
    QImage image;
    return sq::readBmpFile(path, image) ? image : QImage();
}

// Records hide and show events of one widget and paints of another, in order.
class EventLog : public QObject
{
public:
    EventLog(QWidget* shown, QWidget* painted) : m_shown(shown), m_painted(painted)
    {
        shown->installEventFilter(this);
        painted->installEventFilter(this);
    }
    QStringList events;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_shown && event->type() == QEvent::Hide) events << QStringLiteral("hide");
        if (watched == m_shown && event->type() == QEvent::Show) events << QStringLiteral("show");
        if (watched == m_painted && event->type() == QEvent::Paint &&
            events.value(events.size() - 1) != QLatin1String("paint"))
            events << QStringLiteral("paint");
        return false;
    }

private:
    QWidget* m_shown;
    QWidget* m_painted;
};

} // namespace

class TstSlideFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void commandsByLayout_data()
    {
        QTest::addColumn<int>("screens");
        for (int screens : {1, 2, 4})
            QTest::addRow("%d screens", screens) << screens;
    }
    void commandsByLayout()
    {
        QFETCH(int, screens);
        SlideFixture f;
        startOn(f, screens);
        TForm2& s = f.slide();
        int asked = 0;
        const QString out = f.dir.path() + QStringLiteral("/out.bmp");
        s.SavePictureDialog1 = [&] {
            ++asked;
            return out;
        };
        for (int k = 1; k <= 4; ++k) {
            const bool offered = k <= screens;
            const Pic& p = kPics[k - 1];
            markClipboard();
            s.menuItem(QStringLiteral("Clipboard1%1").arg(k))->trigger();
            QCOMPARE(clipboardMarked(), !offered);
            if (offered) QCOMPARE(clipboard()->image().size(), QSize(p.w, p.h));

            markClipboard();
            s.menuItem(QStringLiteral("Capture1%1").arg(k))->trigger();
            QCOMPARE(clipboardMarked(), !offered);
            if (offered) {
                const QImage capture = clipboard()->image();
                QCOMPARE(capture.size(), s.Screen(k)->size());
                QCOMPARE(centreOf(capture, capture.rect()), QColor(p.colour));
            }

            QFile::remove(out);
            s.menuItem(QStringLiteral("Save1%1").arg(k))->trigger();
            s.menuItem(QStringLiteral("CaptureSave1%1").arg(k))->trigger();
            QCOMPARE(asked, offered ? 2 * k : 2 * screens);
            QCOMPARE(QFile::exists(out), offered);
        }
        // A screen capture saved: the view as it shows, its picture in the middle.
        s.CaptureSaveCommand(screens);
        const QImage saved = readBmp(out);
        QCOMPARE(saved.size(), s.Screen(screens)->size());
        QCOMPARE(centreOf(saved, saved.rect()), QColor(kPics[screens - 1].colour));

        // A screen whose engine holds no picture empties the clipboard.
        s.Screen(1)->LoadFile(f.pics() + QStringLiteral("/gone.bmp"));
        QVERIFY(s.Screen(1)->ImgUtil()->Bitmap().isEmpty());
        markClipboard();
        s.ClipboardCommand(1);
        QVERIFY(clipboard()->image().isNull());
        QVERIFY(clipboard()->text().isEmpty());
        const int before = asked;
        s.SavePictureCommand(1); // nothing to save: no dialog
        QCOMPARE(asked, before);
    }

    void savePicture()
    {
        SlideFixture f;
        startOn(f, 2);
        TForm2& s = f.slide();
        const QString good = f.dir.path() + QStringLiteral("/saved.bmp");
        s.SavePictureDialog1 = [&] { return good; };
        s.SavePictureCommand(2);
        const QImage saved = readBmp(good);
        QCOMPARE(saved.size(), QSize(400, 300));
        QCOMPARE(saved.pixelColor(10, 10), QColor(Qt::blue));

        s.SavePictureDialog1 = [] { return QString(); }; // cancelled
        QVERIFY(QFile::remove(good));
        s.SavePictureCommand(2);
        QVERIFY(!QFile::exists(good));

        // A folder that refuses the file: a message naming it, nothing written.
        const QString locked = f.dir.path() + QStringLiteral("/locked");
        QVERIFY(QDir().mkpath(locked));
        sq::test::UnwritableFolder guard(locked);
        if (!guard.ok()) QSKIP("no way to make a folder unwritable here");
        const QString refused = locked + QStringLiteral("/x.bmp");
        s.SavePictureDialog1 = [&] { return refused; };
        sq::test::MessageBoxes boxes;
        s.SavePictureCommand(1);
        s.CaptureSaveCommand(5);
        QCOMPARE(boxes.texts().size(), 2);
        for (const QString& text : boxes.texts())
            QVERIFY2(text.startsWith(refused + QStringLiteral(" を保存できません")),
                     qPrintable(text));
        QCOMPARE(QDir(locked).entryList(QDir::Files | QDir::Hidden), QStringList());
    }

    void saveAll()
    {
        SlideFixture f;
        QImage cat(120, 90, QImage::Format_RGB888);
        cat.fill(Qt::magenta);
        QVERIFY(sq::test::writeJpeg(f.pics() + QStringLiteral("/cat.jpg"), cat));
        QImage dog(60, 40, QImage::Format_RGB888);
        dog.fill(Qt::cyan);
        QVERIFY(sq::test::writeBmp(f.pics() + QStringLiteral("/dog.bmp"), dog));
        f.start();
        TForm2& s = f.slide();
        s.LayoutCommand(1);
        f.click(0);
        Form1->ImgPanel1DblClick();
        const QString dest = f.dir.path() + QStringLiteral("/dest");
        QVERIFY(QDir().mkpath(dest));
        QVERIFY(sq::test::writeFile(dest + QStringLiteral("/dog_s.bmp"), "old"));

        s.menuItem(QStringLiteral("Save15"))->trigger();
        QVERIFY(Form28->isVisible());
        QCOMPARE(Form28->folder(), f.pics()); // screen 1's folder at first
        Form28->setFolder(dest);
        Form28->Edit1->setText(QStringLiteral("_s"));
        {
            sq::test::MessageBoxes asked({QStringLiteral("置き換え")});
            Form28->Button1Click();
            QCOMPARE(asked.texts(),
                     QStringList{dest + QStringLiteral("/dog_s.bmp\nは既に存在し"
                                                       "ています。置き換えますか?")});
        }
        QVERIFY(!Form28->isVisible());
        QCOMPARE(QDir(dest).entryList(QDir::Files), (QStringList{"cat_s.bmp", "dog_s.bmp"}));
        QCOMPARE(readBmp(dest + QStringLiteral("/cat_s.bmp")).size(), QSize(120, 90));
        QCOMPARE(readBmp(dest + QStringLiteral("/dog_s.bmp")).pixelColor(5, 5), QColor(Qt::cyan));

        // One screen: only screen 1's picture; the dialog kept its folder.
        s.LayoutCommand(0);
        s.SaveAllClick();
        QCOMPARE(Form28->folder(), dest);
        Form28->Edit1->setText(QStringLiteral("-1"));
        Form28->Button1Click();
        QVERIFY(QFile::exists(dest + QStringLiteral("/cat-1.bmp")));
        QVERIFY(!QFile::exists(dest + QStringLiteral("/dog-1.bmp")));
        s.SaveAllClick();
        Form28->Button2->click(); // キャンセル
        QVERIFY(!Form28->isVisible());

        // Refused: one message naming the file.
        s.LayoutCommand(1);
        sq::test::UnwritableFolder guard(dest);
        if (!guard.ok()) QSKIP("no way to make a folder unwritable here");
        sq::test::MessageBoxes boxes;
        s.SaveAllTo(dest, QStringLiteral("_t"));
        QCOMPARE(boxes.texts(), QStringList{dest + QStringLiteral("/cat_t.bmp を保存できません\n") +
                                            dest + QStringLiteral("/dog_t.bmp を保存できません")});
    }

    // Saving all never writes over a screen's own file (refused, named in
    // the message); another existing file gets the conflict question, whose
    // "apply to all" holds for every screen and whose Cancel ends the save.
    void saveAllExisting_data()
    {
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<bool>("intoOwnFolder");
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<QStringList>("answers");
        QTest::addColumn<int>("questions");
        QTest::addColumn<QStringList>("written");
        QTest::addColumn<QStringList>("refused");
        QTest::newRow("own file, empty suffix")
            << QStringList{"cat.bmp"} << true << QString() << QStringList{} << 0 << QStringList{}
            << QStringList{"cat.bmp"};
        QTest::newRow("the other screen's file")
            << QStringList{"cat.bmp", "cat.jpg"} << true << QString() << QStringList{} << 0
            << QStringList{} << QStringList{"cat.bmp", "cat.bmp"};
        QTest::newRow("own folder, a new name")
            << QStringList{"cat.bmp", "dog.jpg"} << true << QStringLiteral("_n") << QStringList{}
            << 0 << QStringList{"cat_n.bmp", "dog_n.bmp"} << QStringList{};
        QTest::newRow("existing, skip each")
            << QStringList{"cat.jpg", "dog.jpg"} << false << QStringLiteral("_s")
            << QStringList{"スキップ", "スキップ"} << 2 << QStringList{} << QStringList{};
        QTest::newRow("existing, replace the first")
            << QStringList{"cat.jpg", "dog.jpg"} << false << QStringLiteral("_s")
            << QStringList{"置き換え", "スキップ"} << 2 << QStringList{"cat_s.bmp"}
            << QStringList{};
        QTest::newRow("existing, replace all")
            << QStringList{"cat.jpg", "dog.jpg"} << false << QStringLiteral("_s")
            << QStringList{sq::test::MessageBoxes::forAll("置き換え")} << 1
            << QStringList{"cat_s.bmp", "dog_s.bmp"} << QStringList{};
        QTest::newRow("existing, cancel")
            << QStringList{"cat.jpg", "dog.jpg"} << false << QStringLiteral("_s")
            << QStringList{"キャンセル"} << 1 << QStringList{} << QStringList{};
    }
    void saveAllExisting()
    {
        QFETCH(QStringList, shown);
        QFETCH(bool, intoOwnFolder);
        QFETCH(QString, suffix);
        QFETCH(QStringList, answers);
        QFETCH(int, questions);
        QFETCH(QStringList, written);
        QFETCH(QStringList, refused);
        SlideFixture f;
        QImage cat(120, 90, QImage::Format_RGB888);
        cat.fill(Qt::magenta);
        for (const QString& name : std::as_const(shown)) {
            const QString path = f.pics() + QLatin1Char('/') + name;
            QVERIFY(name.endsWith(QLatin1String(".bmp")) ? sq::test::writeBmp(path, cat)
                                                         : sq::test::writeJpeg(path, cat));
        }
        const QString dest = intoOwnFolder ? f.pics() : f.dir.path() + QStringLiteral("/dest");
        QVERIFY(QDir().mkpath(dest));
        if (!intoOwnFolder)
            for (const char* name : {"cat_s.bmp", "dog_s.bmp"})
                QVERIFY(sq::test::writeFile(dest + QLatin1Char('/') + QLatin1String(name), "old"));
        QMap<QString, QByteArray> before;
        for (const QString& name : QDir(dest).entryList(QDir::Files))
            before[name] = sq::test::readFile(dest + QLatin1Char('/') + name);
        f.start();
        TForm2& s = f.slide();
        s.LayoutCommand(shown.size() == 1 ? 0 : 1);
        f.click(0);
        Form1->ImgPanel1DblClick();
        QCOMPARE(s.Screen(1)->ImageFile(), f.pics() + QLatin1Char('/') + shown.first());

        sq::test::MessageBoxes boxes(answers);
        s.SaveAllTo(dest, suffix);
        QCOMPARE(boxes.texts().size(), questions + (refused.isEmpty() ? 0 : 1));
        for (int i = 0; i < questions; ++i)
            QVERIFY2(boxes.texts().at(i).endsWith(
                         QStringLiteral("は既に存在しています。置き換えますか?")),
                     qPrintable(boxes.texts().at(i)));
        if (!refused.isEmpty()) {
            QStringList lines;
            for (const QString& name : std::as_const(refused))
                lines << dest + QLatin1Char('/') + name +
                             QStringLiteral(" は画面に表示しているファイルです。上書きしません");
            QCOMPARE(boxes.texts().last(), lines.join(QLatin1Char('\n')));
        }
        for (const QString& name : QDir(dest).entryList(QDir::Files | QDir::Hidden)) {
            const QString path = dest + QLatin1Char('/') + name;
            if (written.contains(name))
                QCOMPARE(readBmp(path).size(), QSize(120, 90));
            else
                QVERIFY2(before.contains(name) && sq::test::readFile(path) == before[name],
                         qPrintable(name));
        }
        for (const QString& name : std::as_const(written))
            QVERIFY(QFile::exists(dest + QLatin1Char('/') + name));
    }

    void wholeArea_data()
    {
        QTest::addColumn<int>("screens");
        QTest::addColumn<int>("enlarged"); // 0: the plain layout
        QTest::newRow("one screen") << 1 << 0;
        QTest::newRow("two screens, screen 2 large") << 2 << 2;
        QTest::newRow("four screens") << 4 << 0;
        QTest::newRow("four screens, screen 3 large") << 4 << 3;
        QTest::newRow("four screens, screen 1 large") << 4 << 1;
    }
    void wholeArea()
    {
        QFETCH(int, screens);
        QFETCH(int, enlarged);
        SlideFixture f;
        startOn(f, screens);
        TForm2& s = f.slide();
        if (enlarged) s.EnlargeCommand(enlarged);
        const TCaptureLayout l = s.CaptureLayout();
        // The rectangles are the screens' own places in the window.
        for (int k = 1; k <= screens; ++k)
            QCOMPARE(captureRect(k, l),
                     QRect(s.Screen(k)->mapTo(s.centralWidget(), QPoint()), s.Screen(k)->size()));
        const QSize w1h1 = s.Screen(1)->size();
        QSize expected = w1h1;
        if (screens >= 2) expected.rwidth() += s.Screen(2)->width();
        if (screens == 4) expected.rheight() += s.Screen(3)->height();

        markClipboard();
        s.menuItem(QStringLiteral("Capture15"))->trigger();
        const QImage composite = clipboard()->image();
        QCOMPARE(composite.size(), expected);
        for (int k = 1; k <= screens; ++k) {
            const QPoint at = *compositePlace(k, screens, l);
            QCOMPARE(centreOf(composite, QRect(at, s.Screen(k)->size())),
                     QColor(kPics[k - 1].colour));
        }
        if (screens == 4) // screen 4 at (w3, h2)
            QCOMPARE(*compositePlace(4, 4, l), QPoint(s.Screen(3)->width(), s.Screen(2)->height()));

        const QString out = f.dir.path() + QStringLiteral("/whole.bmp");
        s.SavePictureDialog1 = [&] { return out; };
        s.menuItem(QStringLiteral("CaptureSave15"))->trigger();
        const QImage saved = readBmp(out);
        QCOMPARE(saved.size(), expected);
        QCOMPARE(saved.convertToFormat(QImage::Format_RGB888),
                 composite.convertToFormat(QImage::Format_RGB888));
    }

    void loupeBarDuringCapture()
    {
        SlideFixture f;
        startOn(f, 4);
        TForm2& s = f.slide();
        Form18->ShowBar();
        QVERIFY(Form18->isVisible());
        EventLog log(Form18, s.ImgBox4);
        s.CaptureCommand(4);
        QCOMPARE(log.events, (QStringList{"hide", "paint", "show"}));
        QVERIFY(Form18->isVisible());
        QVERIFY(s.menu(QStringLiteral("File2"))->menuAction()->isVisible());
        // A bar that was not shown stays hidden.
        Form18->hide();
        log.events.clear();
        s.CaptureCommand(5);
        QCOMPARE(log.events, QStringList{"paint"});
        QVERIFY(!Form18->isVisible());
        QVERIFY(!clipboard()->image().isNull());
    }

    void copyToFolder()
    {
        SlideFixture f;
        startOn(f, 2);
        TForm2& s = f.slide();
        const QString dest = f.dir.path() + QStringLiteral("/dest");
        QVERIFY(QDir().mkpath(dest));
        s.menuItem(QStringLiteral("CopyTo13"))->trigger(); // not in two screens
        QVERIFY(!Form23->isVisible());
        s.menuItem(QStringLiteral("CopyTo12"))->trigger();
        QVERIFY(Form23->isVisible());
        QCOMPARE(Form23->windowTitle(), QStringLiteral("画面2のファイルをコピー"));
        QCOMPARE(Form23->Label1->text(), QStringLiteral("コピー先を選択"));
        Form23->setFolder(dest);
        Form23->Button1Click();
        QCOMPARE(QDir(dest).entryList(QDir::Files), QStringList{"b_blue.bmp"});

        s.LayoutCommand(2);
        s.menuItem(QStringLiteral("CopyTo15"))->trigger();
        QCOMPARE(Form23->windowTitle(), QStringLiteral("すべての画面のファイルをコピー"));
        const QString all = f.dir.path() + QStringLiteral("/all");
        QVERIFY(QDir().mkpath(all));
        Form23->setFolder(all);
        Form23->Button1Click();
        QCOMPARE(QDir(all).entryList(QDir::Files),
                 (QStringList{"a_red.bmp", "b_blue.bmp", "c_green.bmp", "d_yellow.bmp"}));

        // Screen 1's file gone: no chooser.
        QVERIFY(QFile::remove(f.pictures.at(0)));
        s.menuItem(QStringLiteral("CopyTo11"))->trigger();
        QVERIFY(!Form23->isVisible());
    }

    void join()
    {
        SlideFixture f;
        startOn(f, 4);
        TForm2& s = f.slide();
        s.menuItem(QStringLiteral("Join1"))->trigger();
        TForm27& j = *Form27;
        QVERIFY(j.isVisible());
        // The main window's first show chose "横", "画面1" and "画面2".
        QCOMPARE(j.direction(), TJoinDirection::Across);
        QCOMPARE(j.firstScreen(), 1);
        QCOMPARE(j.secondScreen(), 2);
        for (QListWidget* list : {j.ListBox1, j.ListBox2, j.ListBox3})
            list->clearSelection();
        QCOMPARE(j.direction(), TJoinDirection::None);
        QCOMPARE(j.firstScreen(), 0);
        int asked = 0;
        const QString out = f.dir.path() + QStringLiteral("/joined.bmp");
        s.SavePictureDialog1 = [&] {
            ++asked;
            return out;
        };
        j.Button1Click(); // no direction: nothing to save, nothing asked
        QCOMPARE(asked, 0);

        auto choose = [&](int direction, int first, int second) {
            j.ListBox1->setCurrentRow(direction);
            j.ListBox2->setCurrentRow(first - 1);
            j.ListBox3->setCurrentRow(second - 1);
            j.Preview();
        };
        choose(0, 1, 2); // 800x600 red beside 400x300 blue
        QVERIFY(j.ImgBox1->isVisibleTo(&j) && j.ImgBox2->isVisibleTo(&j));
        QVERIFY(!j.ImgBox3->isVisibleTo(&j));
        QCOMPARE(j.ImgBox1->ImageFile(), f.pictures.at(0));
        QCOMPARE(j.ImgBox2->ImageFile(), f.pictures.at(1));
        j.Button1Click();
        QImage joined = readBmp(out);
        QCOMPARE(joined.size(), QSize(1200, 600));
        QCOMPARE(joined.pixelColor(800, 149), QColor(Qt::black));
        QCOMPARE(joined.pixelColor(800, 150), QColor(Qt::blue));
        QCOMPARE(joined.pixelColor(10, 10), QColor(Qt::red));

        choose(1, 1, 2); // 縦
        QVERIFY(j.ImgBox3->isVisibleTo(&j) && !j.ImgBox1->isVisibleTo(&j));
        QCOMPARE(j.ImgBox4->ImageFile(), f.pictures.at(1));
        j.Button3Click(); // to the clipboard
        joined = clipboard()->image();
        QCOMPARE(joined.size(), QSize(800, 900));
        QCOMPARE(joined.pixelColor(199, 700), QColor(Qt::black));
        QCOMPARE(joined.pixelColor(200, 600), QColor(Qt::blue));

        choose(0, 1, 3); // equal heights: green right next to red, no offset
        j.Button3Click();
        QCOMPARE(clipboard()->image().size(), QSize(1200, 600));
        QCOMPARE(clipboard()->image().pixelColor(800, 0), QColor(Qt::green));

        choose(0, 2, 2); // the same screen twice
        j.Button3Click();
        QCOMPARE(clipboard()->image().size(), QSize(800, 300));
        QCOMPARE(clipboard()->image().pixelColor(799, 299), QColor(Qt::blue));

        // The layout guard: screen 3 in two screens, screen 2 in one.
        for (int layout : {1, 0}) {
            s.LayoutCommand(layout);
            choose(0, 1, layout == 1 ? 3 : 2);
            QVERIFY(!j.choiceAllowed());
            markClipboard();
            j.Button3Click();
            QVERIFY(clipboardMarked());
            QFile::remove(out);
            j.Button1Click();
            QVERIFY(!QFile::exists(out));
        }

        j.Button4Click(); // ファイルリスト
        QVERIFY(Form11->isVisible());
        QCOMPARE(Form11->ListBox1->count(), 4);
        j.Button2Click();
        QVERIFY(!j.isVisible());
    }

    void loupeItems()
    {
        SlideFixture f;
        startOn(f, 1);
        TForm2& s = f.slide();
        s.menuItem(QStringLiteral("Loupe1"))->trigger();
        QVERIFY(Form14->isVisible());
        QVERIFY(Form18->SpeedButton1->isChecked());
        s.menuItem(QStringLiteral("LoupeHide1"))->trigger();
        QVERIFY(!Form14->isVisible());
        QVERIFY(!Form18->SpeedButton1->isChecked());
        // The bar shown over the info line's text is moved off it; one
        // that leaves the text clear stays where it is.
        const QRect text = s.infoLineText();
        QVERIFY(!text.isEmpty());
        Form18->move(text.topLeft() + QPoint(40, -5));
        s.menuItem(QStringLiteral("LoupeBar1"))->trigger();
        QVERIFY(Form18->isVisible());
        QVERIFY(!Form18->frameGeometry().intersects(text));
        QCOMPARE(Form18->x(), text.left() + 40);
        const QPoint clear(text.left(), text.bottom() + 200);
        Form18->move(clear);
        s.menuItem(QStringLiteral("LoupeBar1"))->trigger();
        QCOMPARE(Form18->pos(), clear);
        s.menuItem(QStringLiteral("LoupeSave1"))->trigger();
        QVERIFY(Form26->isVisible());
        Form26->hide();
        Form1->menuItem(QStringLiteral("N42"))->trigger(); // the slide view's command
        QVERIFY(Form26->isVisible());

        // The main window's preview saves through the slide view's dialog.
        const QString out = f.dir.path() + QStringLiteral("/preview.bmp");
        s.SavePictureDialog1 = [&] { return out; };
        Form1->ImgBox1->LoadFile(f.pictures.at(2));
        Form1->setStatusText(3, QStringLiteral(" 400x600"));
        Form1->Save1Click();
        QCOMPARE(readBmp(out).size(), Form1->ImgBox1->ImgUtil()->Bitmap().image().size());
        QCOMPARE(readBmp(out).pixelColor(0, 0), QColor(Qt::green));
    }
};

QTEST_MAIN(TstSlideFile)
#include "tst_slidefile.moc"
