// Windows kept inside the screen's available area, frame included.
#include "viewers/WindowPlacement.h"

#include <QDialog>
#include <QGuiApplication>
#include <QScreen>
#include <QtTest>

class TestWindowPlacement : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void insidePos_data();
    void insidePos();
    void keptOnScreen_data();
    void keptOnScreen();
    void clearOf_data();
    void clearOf();
    void frameSized();
};

void TestWindowPlacement::insidePos_data()
{
    QTest::addColumn<QRect>("inside");
    QTest::addColumn<QMargins>("frame");
    QTest::addColumn<QRect>("area");
    QTest::addColumn<QPoint>("want");
    const QRect screen(0, 0, 1024, 768);
    const QMargins none;
    const QMargins title(0, 37, 0, 0);
    const QMargins border(4, 30, 4, 4);
    QTest::newRow("inside, no frame") << QRect(100, 100, 300, 200) << none << screen << QPoint(100, 100);
    // The join dialog at half the screen's width, two pixels too wide.
    QTest::newRow("2 past the right") << QRect(512, 256, 514, 300) << none << screen << QPoint(510, 256);
    QTest::newRow("past the bottom") << QRect(10, 700, 200, 100) << none << screen << QPoint(10, 668);
    // The title bar above the inside must fit too.
    QTest::newRow("title over the top") << QRect(50, 10, 200, 100) << title << screen << QPoint(50, 37);
    QTest::newRow("title and bottom") << QRect(50, 700, 200, 100) << title << screen << QPoint(50, 668);
    QTest::newRow("borders right and bottom")
        << QRect(900, 600, 200, 200) << border << screen << QPoint(820, 564);
    QTest::newRow("borders left and top") << QRect(-50, -20, 200, 200) << border << screen << QPoint(4, 30);
    // Too big for the area: the top-left edges stay on it.
    QTest::newRow("too wide") << QRect(300, 100, 1100, 200) << border << screen << QPoint(4, 100);
    QTest::newRow("too tall") << QRect(300, 100, 200, 900) << title << screen << QPoint(300, 37);
    // An area that does not start at the origin (a panel at the top and left;
    // a second screen to the right).
    QTest::newRow("panel at the top")
        << QRect(100, 0, 200, 100) << title << QRect(0, 32, 1024, 736) << QPoint(100, 69);
    QTest::newRow("second screen")
        << QRect(2100, 100, 300, 200) << none << QRect(1024, 0, 1280, 1024) << QPoint(2004, 100);
}

void TestWindowPlacement::insidePos()
{
    QFETCH(QRect, inside);
    QFETCH(QMargins, frame);
    QFETCH(QRect, area);
    QFETCH(QPoint, want);
    const QPoint got = insidePosWithinArea(inside, frame, area);
    QCOMPARE(got, want);
    // Whatever fits ends inside the area, frame and all.
    const QRect outer = QRect(got, inside.size()).marginsAdded(frame);
    if (outer.width() <= area.width() && outer.height() <= area.height())
        QVERIFY2(area.contains(outer), qPrintable(QStringLiteral("%1,%2 %3x%4")
                                                      .arg(outer.x()).arg(outer.y())
                                                      .arg(outer.width()).arg(outer.height())));
}

void TestWindowPlacement::keptOnScreen_data()
{
    QTest::addColumn<QPoint>("offset"); // from the area's bottom-right corner
    QTest::addColumn<bool>("moves");
    QTest::newRow("well inside") << QPoint(-400, -300) << false;
    QTest::newRow("near the corner") << QPoint(-330, -210) << false;
    QTest::newRow("2 past the right") << QPoint(-318, -300) << true;
    QTest::newRow("past the bottom") << QPoint(-400, -150) << true;
    QTest::newRow("far off") << QPoint(500, 500) << true;
}

void TestWindowPlacement::keptOnScreen()
{
    QFETCH(QPoint, offset);
    QFETCH(bool, moves);
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    QDialog dialog;
    dialog.setFixedSize(320, 200);
    const QPoint start = area.bottomRight() + QPoint(1, 1) + offset;
    dialog.move(start);
    presentWindow(&dialog);
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    const QRect f = dialog.frameGeometry();
    QVERIFY2(area.contains(f), qPrintable(QStringLiteral("%1,%2 %3x%4 in %5x%6").arg(f.x()).arg(f.y())
        .arg(f.width()).arg(f.height()).arg(area.width()).arg(area.height())));
    QCOMPARE(dialog.pos() != start, moves);
    QVERIFY(dialog.isActiveWindow());
    keepOnScreen(nullptr); // nothing to place
}

void TestWindowPlacement::clearOf_data()
{
    QTest::addColumn<QRect>("frame");
    QTest::addColumn<QRect>("keep");
    QTest::addColumn<QPoint>("want");
    const QRect info(450, 62, 300, 33); // an info line below a title and menu bar
    QTest::newRow("clear already") << QRect(100, 200, 500, 60) << info << QPoint(100, 200);
    QTest::newRow("touching its bottom edge") << QRect(500, 95, 500, 60) << info << QPoint(500, 95);
    QTest::newRow("over its top") << QRect(494, 15, 530, 67) << info << QPoint(494, 95);
    QTest::newRow("one pixel over") << QRect(700, 94, 300, 60) << info << QPoint(700, 95);
    QTest::newRow("no room below: above")
        << QRect(500, 700, 300, 60) << QRect(450, 700, 300, 60) << QPoint(500, 640);
    QTest::newRow("no room either way")
        << QRect(0, 100, 300, 400) << QRect(0, 300, 300, 300) << QPoint(0, 100);
}

void TestWindowPlacement::clearOf()
{
    QFETCH(QRect, frame);
    QFETCH(QRect, keep);
    QFETCH(QPoint, want);
    const QRect screen(0, 0, 1024, 768);
    QCOMPARE(frameClearOf(frame, keep, screen), want);
}

// The frame takes the size asked for (here, with no frame drawn, the
// inside): a maximised window leaves that state first, and of two sizes asked
// for before the window is shown the newer one is what it shows with.
void TestWindowPlacement::frameSized()
{
    QWidget window;
    resizeFrame(&window, QSize(640, 480));
    resizeFrame(&window, QSize(300, 200));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCoreApplication::processEvents();
    QCOMPARE(window.frameGeometry().size(), QSize(300, 200));
    window.setWindowState(Qt::WindowMaximized);
    QTRY_VERIFY(window.windowState() & Qt::WindowMaximized);
    resizeFrame(&window, QSize(512, 384));
    QVERIFY(!(window.windowState() & Qt::WindowMaximized));
    QTRY_COMPARE(window.frameGeometry().size(), QSize(512, 384));
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    QVERIFY(area.contains(window.frameGeometry()));
    resizeFrame(nullptr, QSize(10, 10)); // nothing to size
}

QTEST_MAIN(TestWindowPlacement)
#include "tst_windowplacement.moc"
