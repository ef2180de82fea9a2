#include "viewers/Unit25.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <QThread>
#include <QWindow>

TForm25::TForm25(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
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
}

void TForm25::paintEvent(QPaintEvent*)
{
    QPainter(this).fillRect(rect(), m_color);
}
