#include "viewers/Unit25.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QThread>
#include <QWindow>

// Like the loupe it lies under: left alone by a window manager, so it covers
// exactly the loupe's rectangle with no shadow of its own.
TForm25::TForm25(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                          Qt::X11BypassWindowManagerHint)
{
    setObjectName(QStringLiteral("Form25"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_ShowWithoutActivating);
}

void TForm25::setColor(const QColor& color)
{
    m_color = color;
    update();
}

void TForm25::showPainted()
{
    show();
    // A newly mapped window is painted once the display exposes it; the
    // capture that follows must see the colour, not what was there before.
    QElapsedTimer waited;
    waited.start();
    while (!(windowHandle() && windowHandle()->isExposed()) && waited.elapsed() < 1000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        if (!(windowHandle() && windowHandle()->isExposed())) QThread::msleep(2);
    }
    repaint();
    // A compositing window manager puts the painted window on the screen a
    // little later: the colour is waited for at a corner on the screen.
    QScreen* screen = QGuiApplication::screenAt(geometry().center());
    if (!screen) return;
    const QRect seen = geometry() & screen->geometry();
    if (seen.isEmpty()) return;
    const QPoint at = seen.topLeft() - screen->geometry().topLeft();
    const QRgb want = m_color.rgb();
    waited.restart();
    while (waited.elapsed() < 1000) {
        const QImage pixel = screen->grabWindow(0, at.x(), at.y(), 1, 1).toImage();
        if (pixel.isNull() || (pixel.pixel(0, 0) | 0xff000000u) == (want | 0xff000000u)) break;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
}

void TForm25::paintEvent(QPaintEvent*)
{
    QPainter(this).fillRect(rect(), m_color);
}
