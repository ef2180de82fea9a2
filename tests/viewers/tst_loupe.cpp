// The loupe windows offscreen, with the real main window around them: the
// bar's controls and settings lines, restoring them at start, the refresh
// tick over a desktop of the test's own, keys, the window's life and the
// picture dialog's save, clipboard and background.
#include "app/Unit1.h"
#include "app/Windows.h"
#include "engine/Stretch.h"
#include "state/Globals.h"
#include "state/SettingsLines.h"
#include "tests/support/TestFiles.h"
#include "viewers/DesktopGrab.h"
#include "viewers/LoupeGeometry.h"
#include "viewers/Unit14.h"
#include "viewers/Unit18.h"
#include "viewers/Unit25.h"
#include "viewers/Unit26.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <memory>

namespace {

QStringList fileLines(const QString& path)
{
    QStringList lines = QString::fromUtf8(sq::test::readFile(path)).split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    return lines;
}

// The desktop the loupe looks at: every pixel's colour tells where it is.
QRgb desktopPixel(int x, int y)
{
    return qRgb(x & 255, y & 255, 64 + 32 * ((x >> 8) & 1) + 16 * ((y >> 8) & 3));
}

QImage makeDesktop()
{
    QImage image(1024, 768, QImage::Format_RGB888);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, desktopPixel(x, y));
    return image;
}

const QImage& desktop()
{
    static const QImage image = makeDesktop();
    return image;
}

// The desktop copied 1:1 and clipped, as the screen grab does.
QImage copyDesktop(const QRect& r)
{
    QImage out(r.size(), QImage::Format_RGB888);
    out.fill(Qt::black);
    const QRect inside = r & desktop().rect();
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x)
            out.setPixel(x - r.x(), y - r.y(), desktop().pixel(x, y));
    return out;
}

// The whole program's windows over a data folder of the test's own.
struct Program
{
    QTemporaryDir dir;
    QList<QRect> grabs; // every rectangle asked of the desktop
    int refusedTold = 0;

    explicit Program(const QMap<int, QByteArray>& changes = {}, bool writeFile = true)
    {
        if (writeFile) {
            TSettingsLines defaults;
            defaults.writeDefaults(1024);
            QByteArray bytes;
            for (int i = 0; i < TSettingsLines::Count; ++i)
                bytes +=
                    (changes.contains(i) ? changes.value(i) : defaults.text(i).toUtf8()) + "\r\n";
            sq::test::writeFile(ini(), bytes);
        }
        sq::app::createWindows(data());
        Form14->setGrabber([this](const QRect& r, const QPoint&) {
            grabs << r;
            return copyDesktop(r);
        });
        Form18->tellCaptureRefused = [this](const QString&) { ++refusedTold; };
        Form26->tellFailure = [](const QString& m) { QFAIL(qPrintable(m)); };
        Form26->askFileName = [] {
            [] { QFAIL("no file name expected"); }();
            return QString();
        };
    }
    ~Program()
    {
        sq::app::destroyWindows();
        sq::app::thumbnailsLoading = false;
    }
    QString data() const { return dir.path() + QStringLiteral("/"); }
    QString ini() const { return data() + QStringLiteral("sorrelquint.ini"); }
    void start()
    {
        Form1->show();
        QTest::qWait(0);
    }
    QString line(int i) const { return Form1->settings().text(i); }
};

void choose(QComboBox* box, int index)
{
    box->setCurrentIndex(index);
    Q_EMIT box->activated(index);
}

} // namespace

class TstLoupe : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void barControls();
    void restoredAtStart_data();
    void restoredAtStart();
    void settingsWrittenOnChange();
    void mainWindowCommands();
    void refreshTick_data();
    void refreshTick();
    void failedCaptureSkipsTick();
    void programWindowsWhenDesktopRefused();
    void jitterMovesTheCapture();
    void grabClippedToScreen();
    void keys();
    void windowLife();
    void draggedByPressingAnywhere();
    void shapeAndSizeChanges();
    void saveWithBackground_data();
    void saveWithBackground();
    void nothingSavedWhileEmpty();
    void failedSaveIsReported();
    void clipboardAndButtons();
    void colourDialog();
};

void TstLoupe::initTestCase()
{
    QCursor::setPos(400, 300);
    QCOMPARE(QCursor::pos(), QPoint(400, 300));
}

void TstLoupe::barControls()
{
    Program p;
    const struct
    {
        QComboBox* box;
        const char* hint;
        QStringList items;
        int index;
    } boxes[] = {
        {Form18->ComboBox2, "拡大率", {"100%", "150%", "200%", "300%", "400%", "500%"}, 2},
        {Form18->ComboBox1, "ルーペの大きさ", {"小", "中", "大", "最大"}, 1},
        {Form18->ComboBox5,
         "ルーペの形",
         {"四角", "丸四角", "円", "楕円", "三角", "ダイヤ", "ハート", "スター", "クロス", "リング"},
         2},
        {Form18->ComboBox4, "画像が動く方向", {"X", "Y", "XY"}, 0},
        {Form18->ComboBox3, "画像が動く最大幅", {"10", "20", "30"}, 0},
    };
    for (const auto& b : boxes) {
        QCOMPARE(b.box->toolTip(), QString::fromUtf8(b.hint));
        QStringList items;
        for (int i = 0; i < b.box->count(); ++i)
            items << b.box->itemText(i);
        QCOMPARE(items, b.items);
        QCOMPARE(b.box->currentIndex(), b.index);
    }
    QCOMPARE(Form18->windowTitle(), QStringLiteral("ルーペ"));
    QCOMPARE(Form14->windowTitle(), QStringLiteral("ルーペウインドウ"));
    QCOMPARE(Form26->windowTitle(), QStringLiteral("ルーぺ画面を保存"));
    QCOMPARE(Form18->SpeedButton1->toolTip(), QStringLiteral("ルーペを表示/非表示"));
    QCOMPARE(Form18->SpeedButton5->toolTip(), QStringLiteral("画像を動かす"));
    QVERIFY(Form18->SpeedButton1->isCheckable() && Form18->SpeedButton5->isCheckable());
    QCOMPARE(Form18->CheckBox1->text(), QStringLiteral("滑らか"));
    QCOMPARE(Form18->CheckBox1->toolTip(), QStringLiteral("画質(X)"));
    QVERIFY(!Form18->CheckBox1->isChecked());
    QCOMPARE(Form18->Button1->text(), QStringLiteral("保存"));
    QVERIFY(Form14->windowFlags() & Qt::FramelessWindowHint);
    QVERIFY(Form14->windowFlags() & Qt::WindowStaysOnTopHint);
    QCOMPARE(Form14->windowFlags() & Qt::WindowType_Mask, Qt::Tool);
    QVERIFY(Form14->testAttribute(Qt::WA_OpaquePaintEvent));
    // The design-time loupe until a size is chosen: 128 square, 200%.
    QCOMPARE(Form14->size(), QSize(128, 128));
    QCOMPARE(Form14->captureSide(), 64);
    QCOMPARE(Form14->refreshInterval(), 100);
    QCOMPARE(Form26->ListBox1->count(), 2);
    QCOMPARE(Form26->ListBox1->item(0)->text(), QStringLiteral("なし"));
    QCOMPARE(Form26->ListBox1->item(1)->text(), QStringLiteral("色"));
    QCOMPARE(Form26->Panel1->toolTip(), QStringLiteral("ダブルクリックで背景色を選択"));
    QCOMPARE(Form26->backgroundColor(), QColor(Qt::white));
    QCOMPARE(Form26->Image1->size(), QSize(65, 65));
    QStringList captions;
    for (QPushButton* b : {Form26->Button1, Form26->Button2, Form26->Button3, Form26->Button4})
        captions << b->text();
    QCOMPARE(captions, (QStringList{"OK", "キャンセル", "クリップボードへ", "ルーペをアクティブ"}));
}

void TstLoupe::restoredAtStart_data()
{
    QTest::addColumn<QVariantMap>("lines");
    QTest::addColumn<QList<int>>("boxes"); // magnification, size, shape, direction, width
    QTest::addColumn<int>("side");
    QTest::addColumn<int>("capture");
    QTest::addColumn<QPoint>("loupeAt");
    QTest::addColumn<QPoint>("barAt");
    QTest::addColumn<QString>("line50");
    QTest::newRow("defaults") << QVariantMap{} << QList<int>{2, 1, 2, 0, 0} << 156 << 78
                              << QPoint(55, 314) << QPoint(494, 15) << "2";
    QTest::newRow("saved") << QVariantMap{{"34", "3"},   {"35", "4"},   {"50", "9"},
                                          {"46", "2"},   {"47", "1"},   {"36", "40"},
                                          {"37", "-50"}, {"44", "300"}, {"45", "20"}}
                           << QList<int>{4, 3, 9, 2, 1} << 256 << 64 << QPoint(40, -50)
                           << QPoint(300, 20) << "9";
    QTest::newRow("500% at 小") << QVariantMap{{"34", "0"}, {"35", "5"}, {"50", "0"}}
                                << QList<int>{5, 0, 0, 0, 0} << 100 << 20 << QPoint(55, 314)
                                << QPoint(494, 15) << "0";
    // Values outside the lists apply nothing: the boxes keep their design
    // items and the loupe its design size.
    QTest::newRow("out of range")
        << QVariantMap{{"34", "7"}, {"35", "-1"}, {"50", "12"}, {"46", "5"}, {"47", "3"}}
        << QList<int>{2, 1, 2, 0, 0} << 128 << 64 << QPoint(55, 314) << QPoint(494, 15) << "12";
    QTest::newRow("not numbers") << QVariantMap{{"34", "x"}, {"50", "円"}}
                                 << QList<int>{2, 1, 2, 0, 0} << 156 << 78 << QPoint(55, 314)
                                 << QPoint(494, 15) << "2";
}

void TstLoupe::restoredAtStart()
{
    QFETCH(QVariantMap, lines);
    QFETCH(QList<int>, boxes);
    QFETCH(int, side);
    QFETCH(int, capture);
    QFETCH(QPoint, loupeAt);
    QFETCH(QPoint, barAt);
    QFETCH(QString, line50);
    QMap<int, QByteArray> changes;
    for (auto it = lines.cbegin(); it != lines.cend(); ++it)
        changes.insert(it.key().toInt(), it.value().toString().toUtf8());
    Program p(changes);
    p.start();
    QCOMPARE(Form18->ComboBox2->currentIndex(), boxes[0]);
    QCOMPARE(Form18->ComboBox1->currentIndex(), boxes[1]);
    QCOMPARE(Form18->ComboBox5->currentIndex(), boxes[2]);
    QCOMPARE(Form18->ComboBox4->currentIndex(), boxes[3]);
    QCOMPARE(Form18->ComboBox3->currentIndex(), boxes[4]);
    QCOMPARE(Form14->size(), QSize(side, side));
    QCOMPARE(Form14->captureSide(), capture);
    QCOMPARE(Form14->pos(), loupeAt);
    QCOMPARE(Form18->pos(), barAt);
    // The saved shape survives the size change that shapes the loupe at start.
    QCOMPARE(p.line(50), line50);
    QCOMPARE(Form26->ListBox1->currentRow(), 1);
    QVERIFY(!Form14->isVisible() && !Form18->isVisible());
    // Shown, the loupe takes the restored shape for its size.
    Form1->menuItem(QStringLiteral("N15"))->trigger();
    QCOMPARE(Form14->mask(), sq::loupe::shapeRegion(boxes[2], side));
}

void TstLoupe::settingsWrittenOnChange()
{
    Program p;
    p.start();
    choose(Form18->ComboBox1, 0);
    QCOMPARE(p.line(34), QStringLiteral("0"));
    QCOMPARE(Form14->size(), QSize(100, 100));
    QCOMPARE(Form14->captureSide(), 50);
    choose(Form18->ComboBox2, 5);
    QCOMPARE(p.line(35), QStringLiteral("5"));
    QCOMPARE(Form14->captureSide(), 20);
    choose(Form18->ComboBox5, 3);
    QCOMPARE(p.line(50), QStringLiteral("3"));
    QTest::mouseClick(Form18->SpeedButton1, Qt::LeftButton);
    QCOMPARE(p.line(30), QStringLiteral("1"));
    QVERIFY(Form14->isVisible());
    QTest::mouseClick(Form18->SpeedButton1, Qt::LeftButton);
    QCOMPARE(p.line(30), QStringLiteral("0"));
    QVERIFY(!Form14->isVisible());
    // Direction and width wait for the close.
    choose(Form18->ComboBox4, 2);
    choose(Form18->ComboBox3, 1);
    QCOMPARE(p.line(46), QStringLiteral("0"));
    QCOMPARE(p.line(47), QStringLiteral("0"));
    Form14->move(12, 34);
    Form18->move(-56, 78);
    QCOMPARE(fileLines(p.ini()).at(34), QStringLiteral("1")); // nothing on disk before the close
    Form1->close();
    const QStringList lines = fileLines(p.ini());
    QCOMPARE(lines.size(), 55);
    const QStringList want{"0", "1", "1", "1", "0", "5", "12", "34"};
    QCOMPARE(lines.mid(30, 8), want);
    QCOMPARE(lines.mid(44, 4), (QStringList{"-56", "78", "2", "1"}));
    QCOMPARE(lines.at(50), QStringLiteral("3"));
}

void TstLoupe::mainWindowCommands()
{
    Program p;
    p.start();
    Form1->menuItem(QStringLiteral("N15"))->trigger();
    QVERIFY(Form14->isVisible());
    QVERIFY(Form18->SpeedButton1->isChecked());
    QVERIFY(Form14->refreshing());
    // Showing from a menu does not write line 30; only the bar's button does.
    QCOMPARE(p.line(30), QStringLiteral("0"));
    Form1->menuItem(QStringLiteral("N44"))->trigger();
    QVERIFY(!Form14->isVisible());
    QVERIFY(!Form18->SpeedButton1->isChecked());
    QVERIFY(!Form18->isVisible());
    Form1->menuItem(QStringLiteral("N55"))->trigger();
    QVERIFY(Form18->isVisible());
    QVERIFY(!Form26->isVisible());
    Form1->menuItem(QStringLiteral("N42"))->trigger();
    QVERIFY(Form26->isVisible());
    QVERIFY(Form26->preview().isNull()); // the loupe shows nothing yet
}

void TstLoupe::refreshTick_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("magnification");
    QTest::addColumn<bool>("smooth");
    QTest::addColumn<bool>("loading");
    QTest::newRow("中 200%") << 1 << 2 << false << false;
    QTest::newRow("小 100%") << 0 << 0 << false << false;
    QTest::newRow("小 500%") << 0 << 5 << false << false;
    QTest::newRow("大 150%") << 2 << 1 << false << false;
    QTest::newRow("最大 200% smooth") << 3 << 2 << true << false;
    QTest::newRow("中 300% smooth") << 1 << 3 << true << false;
    QTest::newRow("smooth while loading") << 1 << 2 << true << true;
    QTest::newRow("plain while loading") << 1 << 2 << false << true;
}

void TstLoupe::refreshTick()
{
    QFETCH(int, size);
    QFETCH(int, magnification);
    QFETCH(bool, smooth);
    QFETCH(bool, loading);
    Program p;
    p.start();
    choose(Form18->ComboBox1, size);
    choose(Form18->ComboBox2, magnification);
    if (smooth) QTest::mouseClick(Form18->CheckBox1, Qt::LeftButton);
    QCOMPARE(Form14->smoothing(), smooth);
    const int s = sq::loupe::loupeSide(size), c = sq::loupe::captureSide(s, magnification);
    const QPoint pointer(400, 300);
    QCursor::setPos(pointer);
    sq::app::thumbnailsLoading = loading;
    QCOMPARE(Form14->refreshInterval(), 100);
    p.grabs.clear();
    Form14->Timer1Timer();
    QCOMPARE(Form14->refreshInterval(), 150);
    QCOMPARE(p.grabs, QList<QRect>{QRect(pointer.x() - 55, pointer.y() - 55, c, c)});
    const QImage& picture = Form14->picture();
    if (smooth && loading) {
        QVERIFY(picture.isNull());
        return;
    }
    QCOMPARE(picture.size(), QSize(s, s));
    const QImage area = copyDesktop(p.grabs.first());
    if (smooth) {
        QCOMPARE(picture, sq::BilinearResize(area, s, s));
        return;
    }
    // Plain stretch: each loupe pixel is the desktop pixel under its centre.
    for (int j = 0; j < s; ++j)
        for (int i = 0; i < s; ++i) {
            const int x = pointer.x() - 55 + (2 * i + 1) * c / (2 * s);
            const int y = pointer.y() - 55 + (2 * j + 1) * c / (2 * s);
            QCOMPARE(picture.pixel(i, j), desktopPixel(x, y));
        }
    if (magnification == 0) QCOMPARE(picture, area); // 100% copies unmagnified
    if (magnification == 2)
        QCOMPARE(picture.pixel(77, 31), desktopPixel(pointer.x() - 55 + 38, pointer.y() - 55 + 15));
}

void TstLoupe::failedCaptureSkipsTick()
{
    Program p;
    p.start();
    Form18->ShowLoupe();
    Form14->Timer1Timer();
    QVERIFY(Form14->hasPicture());
    Form14->setGrabber([](const QRect&, const QPoint&) { return QImage(); });
    Form14->setFallbackGrabber(nullptr);
    const int ticks = Form14->tickCount();
    for (int i = 0; i < 3; ++i)
        Form14->Timer1Timer();
    QVERIFY(!Form14->hasPicture());
    QCOMPARE(Form14->tickCount(), ticks);
    QCOMPARE(Form14->refreshInterval(), 150);
    QCOMPARE(p.refusedTold, 1); // said once, not at every refresh
}

// Where the desktop gives no pixels the loupe magnifies the program's own
// windows, never itself, is black elsewhere, and says why only once.
void TstLoupe::programWindowsWhenDesktopRefused()
{
    Program p;
    p.start();
    Form1->hide();
    const QColor green(10, 200, 30);
    QWidget marker(nullptr, Qt::Window);
    QPalette palette = marker.palette();
    palette.setColor(QPalette::Window, green);
    marker.setPalette(palette);
    marker.setAutoFillBackground(true);
    marker.setGeometry(300, 200, 200, 200);
    marker.show();
    QVERIFY(QTest::qWaitForWindowExposed(&marker));
    Form14->setGrabber([](const QRect&, const QPoint&) { return QImage(); });
    Form18->ShowLoupe();
    // The loupe itself stands over the pointer, showing black so far.
    Form14->move(350, 250);
    const QPoint pointer(400, 300);
    QCursor::setPos(pointer);
    const int ticks = Form14->tickCount();
    Form14->Timer1Timer();
    QCOMPARE(Form14->tickCount(), ticks + 1);
    QVERIFY(Form14->hasPicture());
    const int s = Form14->loupeSide();
    QCOMPARE(Form14->picture().size(), QSize(s, s));
    QCOMPARE(Form14->picture().pixelColor(s / 2, s / 2), green);
    QCOMPARE(Form14->picture().pixelColor(2, 2), green);
    // Half on the marker's left edge: the left half is nothing of the program's.
    const QPoint edge(300, 300);
    QVERIFY(!Form18->frameGeometry().adjusted(-80, -80, 80, 80).contains(edge));
    QCursor::setPos(edge);
    Form14->Timer1Timer();
    QCOMPARE(Form14->picture().pixelColor(s / 4, s / 2), QColor(Qt::black));
    QCOMPARE(Form14->picture().pixelColor(3 * s / 4, s / 2), green);
    Form14->Timer1Timer();
    QCOMPARE(p.refusedTold, 1);
    // The save dialog's capture of the loupe falls back to its own drawing.
    const QImage area = Form14->grabClientArea();
    QCOMPARE(area.size(), QSize(s, s));
    QCOMPARE(area.pixelColor(s / 2, s / 2), Form14->picture().pixelColor(s / 2, s / 2));
}

void TstLoupe::jitterMovesTheCapture()
{
    Program p;
    p.start();
    const QPoint pointer(400, 300);
    QCursor::setPos(pointer);
    choose(Form18->ComboBox4, 2); // "XY"
    choose(Form18->ComboBox3, 0); // "10"
    for (int i = 0; i < 20; ++i)
        Form14->Timer1Timer();
    for (const QRect& r : p.grabs)
        QCOMPARE(r.topLeft(), pointer - QPoint(55, 55)); // off until the button is down
    QTest::mouseClick(Form18->SpeedButton5, Qt::LeftButton);
    p.grabs.clear();
    for (int i = 0; i < 300; ++i)
        Form14->Timer1Timer();
    int minX = 99, maxX = -99, minY = 99, maxY = -99;
    for (const QRect& r : p.grabs) {
        const QPoint d = r.topLeft() - (pointer - QPoint(55, 55));
        minX = std::min(minX, d.x());
        maxX = std::max(maxX, d.x());
        minY = std::min(minY, d.y());
        maxY = std::max(maxY, d.y());
    }
    QVERIFY(minX >= -5 && maxX <= 4 && minY >= -5 && maxY <= 4);
    QVERIFY(minX < 0 && maxX > 0 && minY < 0 && maxY > 0);
    // "Y" with "30": only the vertical moves, by up to 15.
    choose(Form18->ComboBox4, 1);
    choose(Form18->ComboBox3, 2);
    p.grabs.clear();
    for (int i = 0; i < 300; ++i)
        Form14->Timer1Timer();
    maxY = -99;
    for (const QRect& r : p.grabs) {
        QCOMPARE(r.x(), pointer.x() - 55);
        QVERIFY(std::abs(r.y() - (pointer.y() - 55)) <= 15);
        maxY = std::max(maxY, r.y() - (pointer.y() - 55));
    }
    QVERIFY(maxY > 5);
}

void TstLoupe::grabClippedToScreen()
{
    // The offscreen screen hands out the pixels of a window that holds the
    // whole area asked for; this one covers the screen's corner.
    QWidget red;
    red.setWindowFlags(Qt::FramelessWindowHint);
    red.setAutoFillBackground(true);
    QPalette palette = red.palette();
    palette.setColor(QPalette::Window, Qt::red);
    red.setPalette(palette);
    red.setGeometry(0, 0, 300, 300);
    red.show();
    QVERIFY(QTest::qWaitForWindowExposed(&red));
    const QImage shot = sq::loupe::grabDesktop(QRect(-10, -20, 40, 40), QPoint(0, 0));
    QCOMPARE(shot.size(), QSize(40, 40));
    QCOMPARE(shot.pixel(9, 39), qRgb(0, 0, 0));    // left of the screen: cleared
    QCOMPARE(shot.pixel(39, 19), qRgb(0, 0, 0));   // above the screen: cleared
    QCOMPARE(shot.pixel(10, 20), qRgb(255, 0, 0)); // the screen's corner pixel
    QCOMPARE(shot.pixel(39, 39), qRgb(255, 0, 0));
    // Wholly off the screen: all cleared, not a failure.
    const QImage off = sq::loupe::grabDesktop(QRect(-100, -100, 20, 20), QPoint(0, 0));
    QCOMPARE(off.size(), QSize(20, 20));
    QCOMPARE(off.pixel(5, 5), qRgb(0, 0, 0));
    QVERIFY(sq::loupe::grabDesktop(QRect(), QPoint()).isNull());
}

void TstLoupe::keys()
{
    Program p;
    p.start();
    Form18->ShowLoupe();
    QSignalSpy stopped(Form14, &TForm14::refreshStopped);
    QVERIFY(Form14->refreshing());
    QTest::keyClick(Form14, Qt::Key_Z, Qt::ShiftModifier);
    QVERIFY(!Form14->refreshing());
    QCOMPARE(stopped.count(), 1);
    QTest::keyClick(Form14, 'z');
    QVERIFY(Form14->refreshing());
    QCOMPARE(stopped.count(), 1);
    QTest::keyClick(Form14, 'x');
    QVERIFY(Form14->smoothing());
    QVERIFY(Form18->CheckBox1->isChecked());
    QTest::keyClick(Form14, Qt::Key_X, Qt::ShiftModifier);
    QVERIFY(!Form14->smoothing());
    QVERIFY(!Form18->CheckBox1->isChecked());
    // Stopped, the loupe keeps its picture: that is what gets saved.
    Form14->Timer1Timer();
    QTest::keyClick(Form14, 'z');
    const QImage frozen = Form14->picture();
    QTest::qWait(400);
    QCOMPARE(Form14->picture(), frozen);
}

void TstLoupe::windowLife()
{
    Program p;
    p.start();
    choose(Form18->ComboBox1, 1);
    QVERIFY(!Form14->refreshing());
    Form18->ShowLoupe();
    QVERIFY(Form14->refreshing());
    QCOMPARE(Form14->mask(), sq::loupe::shapeRegion(2, 156));
    QTRY_VERIFY(Form14->tickCount() > 0); // the timer refreshes on its own
    QVERIFY(Form14->hasPicture());
    Form18->HideLoupe();
    QVERIFY(!Form14->hasPicture());
    QVERIFY(!Form14->refreshing());
    Form18->ShowLoupe();
    QVERIFY(Form14->refreshing());
    Form14->close();
    QVERIFY(!Form14->refreshing());
}

void TstLoupe::draggedByPressingAnywhere()
{
    Program p;
    p.start();
    Form18->ShowLoupe();
    Form14->move(100, 200);
    QVERIFY(QTest::qWaitForWindowExposed(Form14));
    QTest::mousePress(Form14, Qt::LeftButton, {}, QPoint(70, 90));
    QTest::mouseMove(Form14, QPoint(120, 60));
    QTest::mouseRelease(Form14, Qt::LeftButton, {}, QPoint(120, 60));
    QTRY_COMPARE(Form14->pos(), QPoint(150, 170));
    // Moving without a button held moves nothing.
    QTest::mouseMove(Form14, QPoint(10, 10));
    QCOMPARE(Form14->pos(), QPoint(150, 170));
}

void TstLoupe::shapeAndSizeChanges()
{
    Program p;
    p.start();
    Form18->ShowLoupe();
    for (int shape = 0; shape < sq::loupe::kShapeCount; ++shape) {
        choose(Form18->ComboBox5, shape);
        QCOMPARE(p.line(50), QString::number(shape));
        QCOMPARE(Form14->mask(), sq::loupe::shapeRegion(shape, Form14->width()));
    }
    // A size change shapes the loupe again for its new width.
    choose(Form18->ComboBox1, 3);
    QCOMPARE(Form14->size(), QSize(256, 256));
    QCOMPARE(Form14->mask(), sq::loupe::shapeRegion(9, 256));
    QVERIFY(!Form14->mask().contains(QPoint(128, 128)));
    Form1->settings().setText(50, QStringLiteral("0"));
    choose(Form18->ComboBox1, 0);
    QCOMPARE(p.line(50), QStringLiteral("9"));
    QCOMPARE(Form14->mask(), sq::loupe::shapeRegion(9, 100));
}

void TstLoupe::saveWithBackground_data()
{
    QTest::addColumn<int>("row");
    QTest::newRow("色") << 1;
    QTest::newRow("なし") << 0;
}

void TstLoupe::saveWithBackground()
{
    QFETCH(int, row);
    Program p;
    p.start();
    Form26->askColor = [](const QColor&) { return QColor(255, 0, 255); };
    Form26->Panel1DblClick();
    Form18->ShowLoupe();
    choose(Form18->ComboBox5, 9); // "リング": colour round it and in its hole
    Form14->move(600, 400);
    Form14->Timer1Timer();
    QVERIFY(Form14->hasPicture());
    // "なし" takes what the screen shows over the loupe's area; "色" lays the
    // loupe's own picture on the colour and grabs nothing of the area.
    int areaGrabs = 0;
    QImage marked(Form14->size(), QImage::Format_RGB888);
    marked.fill(QColor(1, 2, 3));
    Form14->setGrabber([&](const QRect& r, const QPoint&) {
        if (r != Form14->geometry()) return copyDesktop(r);
        ++areaGrabs;
        return marked;
    });
    QImage want = marked;
    if (row == 1) {
        const QImage shown = Form14->grab().toImage().convertToFormat(QImage::Format_RGB888);
        const QRegion shape = Form14->mask();
        QVERIFY(!shape.isEmpty() && !shape.contains(QPoint(Form14->width() / 2, Form14->height() / 2)));
        for (int y = 0; y < want.height(); ++y)
            for (int x = 0; x < want.width(); ++x)
                want.setPixel(x, y, shape.contains(QPoint(x, y)) ? shown.pixel(x, y) : qRgb(255, 0, 255));
    }
    Form26->ListBox1->setCurrentRow(row);
    Form18->ShowSaveDialog();
    QVERIFY(Form26->isVisible());
    QCOMPARE(areaGrabs, row == 1 ? 0 : 1);
    QVERIFY(!Form25->isVisible());
    QCOMPARE(Form26->preview(), sq::NearestResize(want, 65, 65));
    const QString name = p.dir.filePath(QStringLiteral("ルーペ.bmp"));
    int asked = 0;
    Form26->askFileName = [&] {
        ++asked;
        return name;
    };
    QTest::mouseClick(Form26->Button1, Qt::LeftButton);
    QCOMPARE(asked, 1);
    QCOMPARE(areaGrabs, row == 1 ? 0 : 2);
    QVERIFY(!Form25->isVisible());
    QVERIFY(Form26->isVisible()); // the dialog stays open
    const QByteArray bytes = sq::test::readFile(name);
    QVERIFY(bytes.startsWith("BM"));
    QCOMPARE(int(uchar(bytes[28])), 24);
    QCOMPARE(QImage(name, "BMP").convertToFormat(QImage::Format_RGB888), want);
    QTest::mouseClick(Form26->Button2, Qt::LeftButton);
    QVERIFY(!Form26->isVisible());
}

void TstLoupe::nothingSavedWhileEmpty()
{
    Program p;
    p.start();
    QGuiApplication::clipboard()->setText(QStringLiteral("old"));
    Form18->ShowSaveDialog();
    p.grabs.clear();
    QTest::mouseClick(Form26->Button1, Qt::LeftButton); // askFileName fails the test if asked
    QTest::mouseClick(Form26->Button3, Qt::LeftButton);
    QVERIFY(QGuiApplication::clipboard()->text().isEmpty()); // emptied all the same
    QVERIFY(QGuiApplication::clipboard()->image().isNull());
    Form26->ListBox1->setCurrentRow(0);
    QTest::mouseClick(Form26->ListBox1->viewport(), Qt::LeftButton, {},
                      Form26->ListBox1->visualItemRect(Form26->ListBox1->item(1)).center());
    QVERIFY(p.grabs.isEmpty());
    QVERIFY(Form26->preview().isNull());
    QVERIFY(!Form25->isVisible());
    // Smoothing while thumbnails load leaves the loupe picture cleared: the
    // same holds.
    Form18->ShowLoupe();
    QTest::mouseClick(Form18->CheckBox1, Qt::LeftButton);
    sq::app::thumbnailsLoading = true;
    Form14->Timer1Timer();
    QVERIFY(!Form14->hasPicture());
    QTest::mouseClick(Form26->Button1, Qt::LeftButton);
}

void TstLoupe::failedSaveIsReported()
{
    Program p;
    p.start();
    Form18->ShowLoupe();
    Form14->Timer1Timer();
    Form18->ShowSaveDialog();
    Form26->ListBox1->setCurrentRow(0); // "なし": the screen is grabbed
    const QString folder = p.dir.filePath(QStringLiteral("locked"));
    QVERIFY(QDir().mkdir(folder));
    sq::test::UnwritableFolder locked(folder);
    if (!locked.ok()) QSKIP("no way to make a folder unwritable here");
    const QString name = folder + QStringLiteral("/a.bmp");
    Form26->askFileName = [&] { return name; };
    QStringList told;
    Form26->tellFailure = [&](const QString& m) { told << m; };
    QTest::mouseClick(Form26->Button1, Qt::LeftButton);
    QCOMPARE(told.size(), 1);
    QVERIFY2(told.first().startsWith(name + QStringLiteral(" を保存できません")),
             qPrintable(told.first()));
    QVERIFY(!QFileInfo::exists(name));
    // A cancelled file dialog saves nothing and says nothing.
    Form26->askFileName = [] { return QString(); };
    QTest::mouseClick(Form26->Button1, Qt::LeftButton);
    QCOMPARE(told.size(), 1);
    // A capture that fails is said too, and nothing is asked.
    Form14->setGrabber([](const QRect&, const QPoint&) { return QImage(); });
    Form14->setFallbackGrabber(nullptr);
    Form26->askFileName = [] {
        [] { QFAIL("no file name expected"); }();
        return QString();
    };
    QTest::mouseClick(Form26->Button1, Qt::LeftButton);
    QCOMPARE(told.size(), 2);
}

void TstLoupe::clipboardAndButtons()
{
    Program p;
    p.start();
    Form18->ShowLoupe();
    Form14->move(500, 100);
    Form14->Timer1Timer();
    Form18->ShowSaveDialog();
    Form26->ListBox1->setCurrentRow(0); // "なし": the screen is grabbed
    QTest::mouseClick(Form26->Button3, Qt::LeftButton);
    const QImage clip = QGuiApplication::clipboard()->image();
    QCOMPARE(clip.convertToFormat(QImage::Format_RGB888), copyDesktop(Form14->geometry()));
    // "Z" stops the refresh; the open dialog takes a fresh preview.
    const int before = p.grabs.size();
    QTest::keyClick(Form14, 'z');
    QCOMPARE(p.grabs.size(), before + 1);
    QCOMPARE(p.grabs.last(), Form14->geometry());
    QTest::keyClick(Form14, 'z');
    // "ルーペをアクティブ" brings the loupe forward so its keys work.
    Form26->activateWindow();
    QTRY_VERIFY(Form26->isActiveWindow());
    QTest::mouseClick(Form26->Button4, Qt::LeftButton);
    QTRY_VERIFY(Form14->isActiveWindow());
}

void TstLoupe::colourDialog()
{
    Program p;
    p.start();
    Form18->ShowLoupe();
    choose(Form18->ComboBox5, 2); // "円": the corners show the colour
    Form14->Timer1Timer();
    Form18->ShowSaveDialog();
    QColor offered;
    Form26->askColor = [&](const QColor& initial) {
        offered = initial;
        return QColor(); // cancelled
    };
    QTest::mouseDClick(Form26->Panel1, Qt::LeftButton);
    QCOMPARE(offered, QColor(Qt::white));
    QCOMPARE(Form26->backgroundColor(), QColor(Qt::white));
    // With "色" and a picture, the chosen colour goes straight into the preview.
    Form26->ListBox1->setCurrentRow(1);
    Form26->askColor = [](const QColor&) { return QColor(0, 0, 255); };
    QTest::mouseDClick(Form26->Panel1, Qt::LeftButton);
    QCOMPARE(Form26->backgroundColor(), QColor(0, 0, 255));
    QCOMPARE(Form26->preview().pixelColor(0, 0), QColor(0, 0, 255));
    QVERIFY(Form26->preview().pixelColor(32, 32) != QColor(0, 0, 255));
    QCOMPARE(Form26->Panel1->palette().color(QPalette::Window), QColor(0, 0, 255));
}

QTEST_MAIN(TstLoupe)
#include "tst_loupe.moc"
