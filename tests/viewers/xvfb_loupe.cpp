// The loupe windows on a real X server (run under with-xvfb.sh [--mutter] 1024x768):
// a pattern window of the test's own fills the screen's corner, the pointer
// is moved with xdotool, and screenshots of the root window show what the
// loupe magnifies, what its ring shape lets through, how the screen's edge
// clips the capture, and what a saved loupe picture holds outside its shape.
// Screenshots are left in $SQ_SCREENS.
#include "browser/ImgPanel.h"
#include "state/SettingsLines.h"
#include "viewers/Unit14.h"
#include "viewers/Unit18.h"
#include "viewers/Unit26.h"
#include "viewers/ViewerHost.h"

#include <QComboBox>
#include <QListWidget>
#include <QPainter>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

QRgb patternPixel(int x, int y)
{
    return qRgb(x & 255, y & 255, 64 + 32 * ((x >> 8) & 1) + 16 * ((y >> 8) & 3));
}

// Screen pixels equal window pixels: the window sits at the screen's corner.
class Pattern : public QWidget
{
public:
    Pattern() : QWidget(nullptr, Qt::FramelessWindowHint), m_image(720, 600, QImage::Format_RGB32)
    {
        for (int y = 0; y < m_image.height(); ++y)
            for (int x = 0; x < m_image.width(); ++x)
                m_image.setPixel(x, y, patternPixel(x, y));
        setGeometry(0, 0, m_image.width(), m_image.height());
    }

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).drawImage(0, 0, m_image); }

private:
    QImage m_image;
};

class Host : public TViewerHost
{
public:
    TSettingsLines& Settings() override { return m_lines; }
    TImgPanel& Browser() override { return m_panel; }
    QString DataFolder() const override { return QDir::tempPath() + QLatin1Char('/'); }

private:
    TSettingsLines m_lines;
    TImgPanel m_panel;
};

const QRgb kMagenta = qRgb(255, 0, 255);

} // namespace

class XvfbLoupe : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void magnifiesAroundPointer();
    void ringShowsWhatIsBehind();
    void screenEdgeClipsCapture();
    void savedPictureBackground_data();
    void savedPictureBackground();
    void draggedByPressingAnywhere();
    void staysOverAnActivatedWindow();

private:
    void movePointer(const QPoint& at);
    void waitForFreshFrames();
    QImage screenshot(const QString& name);
    void choose(QComboBox* box, int index);

    QString m_screens;
    std::unique_ptr<Pattern> m_pattern;
    std::unique_ptr<Host> m_host;
    std::unique_ptr<TForm14> m_loupe;
    std::unique_ptr<TForm18> m_bar;
    std::unique_ptr<TForm26> m_dialog;
    QTemporaryDir m_dir;
};

void XvfbLoupe::initTestCase()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb")) QSKIP("needs an X server");
    m_screens = qEnvironmentVariable("SQ_SCREENS", QDir::tempPath());
    QDir().mkpath(m_screens);
    m_pattern = std::make_unique<Pattern>();
    m_pattern->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pattern.get()));
    // A compositing window manager puts the pattern on the screen a little
    // after it is exposed; the loupe magnifies the screen.
    const auto onScreen = [] {
        return QGuiApplication::primaryScreen()->grabWindow(0, 300, 300, 1, 1).toImage().pixel(0, 0);
    };
    QTRY_COMPARE_WITH_TIMEOUT(onScreen(), patternPixel(300, 300), 10000);
    m_host = std::make_unique<Host>();
    m_loupe = std::make_unique<TForm14>(m_host.get());
    m_bar = std::make_unique<TForm18>(m_host.get(), m_loupe.get());
    m_dialog = std::make_unique<TForm26>(m_loupe.get());
    m_bar->setSaveDialog(m_dialog.get());
    m_bar->tellCaptureRefused = [](const QString& m) { QFAIL(qPrintable(m)); };
    m_dialog->move(720, 610);
    m_bar->move(10, 690);
    m_bar->ShowBar();
    // "中" at "200%", square first.
    choose(m_bar->ComboBox1, 1);
    choose(m_bar->ComboBox2, 2);
    choose(m_bar->ComboBox5, 0);
    m_loupe->move(40, 60);
    m_bar->ShowLoupe();
    QVERIFY(QTest::qWaitForWindowExposed(m_loupe.get()));
}

void XvfbLoupe::cleanupTestCase()
{
    m_dialog.reset();
    m_bar.reset();
    m_loupe.reset();
    m_host.reset();
    m_pattern.reset();
}

void XvfbLoupe::choose(QComboBox* box, int index)
{
    box->setCurrentIndex(index);
    Q_EMIT box->activated(index);
}

void XvfbLoupe::movePointer(const QPoint& at)
{
    const QString xdotool = QStandardPaths::findExecutable(QStringLiteral("xdotool"));
    if (!xdotool.isEmpty())
        QCOMPARE(QProcess::execute(xdotool, {QStringLiteral("mousemove"), QString::number(at.x()),
                                             QString::number(at.y())}),
                 0);
    else
        QCursor::setPos(at);
    QTRY_COMPARE_WITH_TIMEOUT(QCursor::pos(), at, 5000);
}

void XvfbLoupe::waitForFreshFrames()
{
    // Two refreshes after the change, then the paint reaches the screen.
    const int ticks = m_loupe->tickCount();
    QTRY_VERIFY_WITH_TIMEOUT(m_loupe->tickCount() >= ticks + 2, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(m_loupe->hasPicture(), 5000);
    QTest::qWait(100);
    m_loupe->waitShownOnScreen();
}

QImage XvfbLoupe::screenshot(const QString& name)
{
    const QString path = m_screens + QLatin1Char('/') + name;
    const QString import = QStandardPaths::findExecutable(QStringLiteral("import"));
    QImage shot;
    if (!import.isEmpty() &&
        QProcess::execute(import, {QStringLiteral("-window"), QStringLiteral("root"), path}) == 0)
        shot.load(path);
    if (shot.isNull()) {
        shot = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
        shot.save(path);
    }
    return shot.convertToFormat(QImage::Format_RGB32);
}

void XvfbLoupe::magnifiesAroundPointer()
{
    const QPoint pointer(500, 350);
    movePointer(pointer);
    waitForFreshFrames();
    const QImage shot = screenshot(QStringLiteral("loupe_square.png"));
    QCOMPARE(m_loupe->geometry(), QRect(40, 60, 156, 156));
    // The 78 x 78 area from 55 left of and above the pointer, doubled.
    int wrong = 0;
    for (int j = 0; j < 156; ++j)
        for (int i = 0; i < 156; ++i)
            if (shot.pixel(40 + i, 60 + j) !=
                patternPixel(pointer.x() - 55 + i / 2, pointer.y() - 55 + j / 2))
                ++wrong;
    QCOMPARE(wrong, 0);
    // Around the loupe the pattern itself.
    QCOMPARE(shot.pixel(39, 60), patternPixel(39, 60));
    QCOMPARE(shot.pixel(196, 215), patternPixel(196, 215));
}

void XvfbLoupe::ringShowsWhatIsBehind()
{
    const QPoint pointer(500, 350);
    movePointer(pointer);
    choose(m_bar->ComboBox5, 9);
    waitForFreshFrames();
    const QImage shot = screenshot(QStringLiteral("loupe_ring.png"));
    const auto magnified = [&](int i, int j) {
        return patternPixel(pointer.x() - 55 + i / 2, pointer.y() - 55 + j / 2);
    };
    // The hole and the corners show the pattern behind the loupe, unmagnified.
    for (const QPoint& p :
         {QPoint(78, 78), QPoint(60, 70), QPoint(100, 90), QPoint(0, 0), QPoint(155, 155)})
        QCOMPARE(shot.pixel(40 + p.x(), 60 + p.y()), patternPixel(40 + p.x(), 60 + p.y()));
    // The ring's body magnifies.
    for (const QPoint& p : {QPoint(10, 78), QPoint(78, 10), QPoint(145, 78), QPoint(78, 145)})
        QCOMPARE(shot.pixel(40 + p.x(), 60 + p.y()), magnified(p.x(), p.y()));
    choose(m_bar->ComboBox5, 0);
}

void XvfbLoupe::screenEdgeClipsCapture()
{
    // The captured area starts 45 pixels off the screen at the left and top:
    // that part stays cleared (black), the rest is the screen's corner.
    movePointer(QPoint(10, 10));
    waitForFreshFrames();
    const QImage shot = screenshot(QStringLiteral("loupe_edge.png"));
    int wrong = 0;
    for (int j = 0; j < 156; ++j)
        for (int i = 0; i < 156; ++i) {
            const int x = 10 - 55 + i / 2, y = 10 - 55 + j / 2;
            const QRgb want = x < 0 || y < 0 ? qRgb(0, 0, 0) : patternPixel(x, y);
            wrong += shot.pixel(40 + i, 60 + j) != want;
        }
    QCOMPARE(wrong, 0);
}

void XvfbLoupe::savedPictureBackground_data()
{
    QTest::addColumn<int>("row");
    QTest::newRow("色") << 1;
    QTest::newRow("なし") << 0;
}

void XvfbLoupe::savedPictureBackground()
{
    QFETCH(int, row);
    const QPoint pointer(500, 350);
    movePointer(pointer);
    choose(m_bar->ComboBox5, 2); // "円"
    m_dialog->askColor = [](const QColor&) { return QColor(kMagenta); };
    m_dialog->Panel1DblClick();
    m_dialog->ListBox1->setCurrentRow(row);
    waitForFreshFrames();
    m_bar->ShowSaveDialog();
    QVERIFY(QTest::qWaitForWindowExposed(m_dialog.get()));
    const QString name =
        m_dir.filePath(row ? QStringLiteral("colour.bmp") : QStringLiteral("none.bmp"));
    m_dialog->askFileName = [&] { return name; };
    m_dialog->tellFailure = [](const QString& m) { QFAIL(qPrintable(m)); };
    m_dialog->Button1Click();
    QImage saved(name, "BMP");
    QVERIFY(!saved.isNull());
    saved.save(m_screens +
               (row ? QStringLiteral("/saved_colour.png") : QStringLiteral("/saved_none.png")));
    QCOMPARE(saved.size(), QSize(156, 156));
    // Outside the circle: the chosen colour, or the pattern behind.
    for (const QPoint& p :
         {QPoint(0, 0), QPoint(155, 0), QPoint(0, 155), QPoint(155, 155), QPoint(8, 8)})
        QCOMPARE(saved.pixel(p), row ? kMagenta : patternPixel(40 + p.x(), 60 + p.y()));
    // Inside: the magnified desktop.
    for (const QPoint& p : {QPoint(78, 78), QPoint(20, 78), QPoint(78, 150)})
        QCOMPARE(saved.pixel(p),
                 patternPixel(pointer.x() - 55 + p.x() / 2, pointer.y() - 55 + p.y() / 2));
    // Nothing of the colour reaches the display: the loupe's corner shows
    // the pattern behind it.
    const auto cornerOnScreen = [] {
        return QGuiApplication::primaryScreen()->grabWindow(0, 40, 60, 1, 1).toImage().pixel(0, 0);
    };
    QTRY_COMPARE_WITH_TIMEOUT(cornerOnScreen(), patternPixel(40, 60), 5000);
    QImage shot =
        screenshot(row ? QStringLiteral("dialog_colour.png") : QStringLiteral("dialog_none.png"));
    QVERIFY(!shot.isNull());
    m_dialog->hide();
}

void XvfbLoupe::draggedByPressingAnywhere()
{
    // With or without a window manager the loupe follows the pointer itself.
    const QString xdotool = QStandardPaths::findExecutable(QStringLiteral("xdotool"));
    if (xdotool.isEmpty()) QSKIP("xdotool is not installed");
    m_loupe->move(40, 60);
    QTRY_COMPARE(m_loupe->pos(), QPoint(40, 60));
    movePointer(QPoint(100, 100));
    QCOMPARE(QProcess::execute(xdotool, {"mousedown", "1"}), 0);
    QTest::qWait(50);
    movePointer(QPoint(150, 130));
    QCOMPARE(QProcess::execute(xdotool, {"mouseup", "1"}), 0);
    QTRY_COMPARE_WITH_TIMEOUT(m_loupe->pos(), QPoint(90, 90), 5000);
    screenshot(QStringLiteral("loupe_dragged.png"));
}

void XvfbLoupe::staysOverAnActivatedWindow()
{
    // A plain window opened and activated over the loupe's place: the loupe
    // still shows on top of it.
    if (qEnvironmentVariableIsEmpty("SQ_X_WM"))
        QSKIP("without a window manager the last window raised is on top");
    m_loupe->move(40, 60);
    QTRY_COMPARE(m_loupe->pos(), QPoint(40, 60));
    QWidget cover;
    cover.setAutoFillBackground(true);
    QPalette palette = cover.palette();
    palette.setColor(QPalette::Window, QColor(kMagenta));
    cover.setPalette(palette);
    cover.setGeometry(0, 0, 400, 400);
    cover.show();
    cover.raise();
    cover.activateWindow();
    QVERIFY(QTest::qWaitForWindowExposed(&cover));
    movePointer(QPoint(500, 500));
    waitForFreshFrames();
    QTest::qWait(300);
    const QImage shot = screenshot(QStringLiteral("loupe_on_top.png"));
    // The cover shows beside the loupe, the loupe's picture over it.
    QCOMPARE(shot.pixel(300, 300), kMagenta);
    QVERIFY(shot.pixel(40 + 78, 60 + 78) != kMagenta);
    QVERIFY(shot.pixel(40 + 20, 60 + 78) != kMagenta);
}

QTEST_MAIN(XvfbLoupe)
#include "xvfb_loupe.moc"
