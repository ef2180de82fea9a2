// The loupe on a scaled screen: what it shows is made from the desktop's
// device pixels and drawn one to one, from the screen grab and from the
// program's own windows alike; what it saves keeps the window's logical
// size. Run at 1x and at each scale factor the offscreen platform is given.
#include "engine/DeviceRects.h"
#include "viewers/DesktopGrab.h"
#include "viewers/Unit14.h"

#include <QApplication>
#include <QPainter>
#include <QtTest>

namespace {

QRgb hatch(int x, int y)
{
    return ((x + y) & 1) ? qRgb(250, 20, 30) : qRgb(10, 40, 240);
}

// A window filled with a one-device-pixel checkerboard: seen at logical
// pixels it would come out as one colour.
class Hatched : public QWidget
{
public:
    Hatched() : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint) {}

protected:
    void paintEvent(QPaintEvent*) override
    {
        const qreal ratio = devicePixelRatioF();
        QImage pattern(sq::toDevice(size(), ratio), QImage::Format_RGB32);
        for (int y = 0; y < pattern.height(); ++y)
            for (int x = 0; x < pattern.width(); ++x)
                pattern.setPixel(x, y, hatch(x, y));
        pattern.setDevicePixelRatio(ratio);
        QPainter(this).drawImage(0, 0, pattern);
    }
};

} // namespace

class TstLoupeDevice : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void devicePixelsShown_data();
    void devicePixelsShown();
};

void TstLoupeDevice::devicePixelsShown_data()
{
    QTest::addColumn<bool>("desktop");
    QTest::addColumn<int>("magnification");
    QTest::addColumn<int>("side");
    QTest::newRow("desktop 100%") << true << 0 << 100;
    QTest::newRow("desktop 200%") << true << 2 << 156;
    QTest::newRow("own windows 100%") << false << 0 << 100;
    QTest::newRow("own windows 200%") << false << 2 << 200;
}

void TstLoupeDevice::devicePixelsShown()
{
    QFETCH(bool, desktop);
    QFETCH(int, magnification);
    QFETCH(int, side);
    Hatched pattern;
    pattern.setGeometry(0, 0, 600, 500);
    pattern.show();
    QVERIFY(QTest::qWaitForWindowExposed(&pattern));

    TForm14 loupe;
    if (!desktop) loupe.setGrabber([](const QRect&, const QPoint&) { return QImage(); });
    loupe.setLoupeSide(side);
    loupe.setMagnification(magnification);
    loupe.move(700, 100); // beside the pattern, so only the pattern is captured
    loupe.show();
    QVERIFY(QTest::qWaitForWindowExposed(&loupe));
    loupe.applyShape(0); // square: every pixel of the window is the picture's
    QCursor::setPos(QPoint(250, 200));
    loupe.Timer1Timer();
    QVERIFY(loupe.hasPicture());

    const qreal ratio = loupe.devicePixelRatioF();
    const QImage& picture = loupe.picture();
    const int device = sq::toDevice(side, ratio);
    QCOMPARE(picture.size(), QSize(device, device));
    QCOMPARE(picture.devicePixelRatio(), ratio);
    // Each desktop device pixel becomes a block of `zoom` picture pixels:
    // along a row the colour changes exactly every `zoom` pixels (1 at
    // 100%, 2 at 200%), never merges two desktop pixels into one.
    const int zoom = side / loupe.captureSide();
    int changes = 0;
    const int y = device / 2;
    for (int x = 1; x < device; ++x)
        if (picture.pixel(x, y) != picture.pixel(x - 1, y)) ++changes;
    QVERIFY2(changes >= device / zoom - 2,
             qPrintable(QStringLiteral("%1 changes in %2 pixels").arg(changes).arg(device)));
    QVERIFY(changes <= device / zoom + 1);
    // Only the two hatch colours: no blending with neighbours.
    for (int x = 0; x < device; ++x) {
        const QRgb c = picture.pixel(x, y) | 0xff000000u;
        QVERIFY(c == hatch(0, 0) || c == hatch(1, 0));
    }

    // The window paints the picture one to one.
    QImage shown(sq::toDevice(loupe.size(), ratio), QImage::Format_RGB32);
    shown.setDevicePixelRatio(ratio);
    loupe.render(&shown);
    QCOMPARE(shown.convertToFormat(QImage::Format_RGB888).copy(0, 0, device, device),
             picture.convertToFormat(QImage::Format_RGB888));

    // Saved at the window's logical size.
    QCOMPARE(loupe.grabClientArea().size(), QSize(side, side));
}

QTEST_MAIN(TstLoupeDevice)
#include "tst_loupedevice.moc"
