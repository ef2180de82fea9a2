#include "viewers/Unit14.h"

#include "engine/Stretch.h"
#include "state/Globals.h"
#include "state/SettingsLines.h"
#include "viewers/DesktopGrab.h"
#include "viewers/LoupeGeometry.h"
#include "viewers/ViewerHost.h"

#include <QCursor>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QRandomGenerator>
#include <QTimer>
#include <QWindow>

TForm14::TForm14(TViewerHost* host, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint), m_host(host),
      Timer1(new QTimer(this)), m_grab(&sq::loupe::grabDesktop)
{
    setObjectName(QStringLiteral("Form14"));
    setWindowTitle(QStringLiteral("ルーペウインドウ"));
    // The window paints every pixel itself and never erases its background.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::StrongFocus);
    setFixedSize(m_side, m_side);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(DesignInterval);
    connect(Timer1, &QTimer::timeout, this, &TForm14::Timer1Timer);
}

void TForm14::setLoupeSide(int s)
{
    if (s < 1) return;
    m_side = s;
    if (!m_picture.isNull()) m_picture = m_picture.copy(0, 0, s, s);
    if (!m_lastFrame.isNull()) m_lastFrame = m_lastFrame.copy(0, 0, s, s);
    setFixedSize(s, s);
    setMagnification(m_magnification);
    applyShape(m_shape);
}

void TForm14::setMagnification(int index)
{
    m_magnification = index;
    m_captureSide = sq::loupe::captureSide(m_side, index);
}

void TForm14::applyShape(int shape)
{
    const QRegion region = sq::loupe::shapeRegion(shape, width());
    if (region.isEmpty()) return;
    m_shape = shape;
    setMask(region);
    update();
    if (m_host) m_host->Settings().setInt(50, shape);
}

void TForm14::setJitter(bool on, int direction, int widthIndex)
{
    m_jitter = on;
    m_direction = direction;
    m_jitterWidth = widthIndex;
}

void TForm14::setSmoothing(bool on)
{
    m_smooth = on;
}

bool TForm14::refreshing() const
{
    return Timer1->isActive();
}

int TForm14::refreshInterval() const
{
    return Timer1->interval();
}

void TForm14::Timer1Timer()
{
    // 1. The loupe picture is cleared.
    m_picture = QImage();
    // 2. - 3. The pointer and this refresh's jitter.
    const QPoint pointer = QCursor::pos();
    const QPoint jitter = sq::loupe::jitterOffsets(m_jitter, m_direction, m_jitterWidth, [](int n) {
        return int(QRandomGenerator::global()->bounded(n));
    });
    // 5. The pace is kept even when this refresh gets nothing.
    Timer1->setInterval(RefreshInterval);
    // 4. The capture buffer, Image2: the desktop copied 1:1, clipped to the screen.
    const QImage capture = m_grab(sq::loupe::captureRect(pointer, jitter, m_captureSide), pointer);
    if (capture.isNull()) {
        Q_EMIT captureFailed();
        return;
    }
    ++m_ticks;
    // 6. Plain stretch, or the bilinear rule unless thumbnails are loading.
    if (!m_smooth)
        m_picture = sq::NearestResize(capture, m_side, m_side);
    else if (!sq::app::thumbnailsLoading)
        m_picture = sq::BilinearResize(capture, m_side, m_side);
    // 7. The capture buffer goes with this scope.
    if (!m_picture.isNull()) {
        m_lastFrame = m_picture;
        update();
    }
}

void TForm14::toggleRefresh()
{
    if (Timer1->isActive()) {
        Timer1->stop();
        Q_EMIT refreshStopped();
        activateLoupe();
    } else {
        Timer1->start();
    }
}

QImage TForm14::grabClientArea() const
{
    const QRect area = geometry();
    return m_grab(area, area.center());
}

void TForm14::activateLoupe()
{
    raise();
    activateWindow();
}

void TForm14::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    // While Image1 is cleared the window keeps what it showed last.
    if (!m_lastFrame.isNull())
        painter.drawImage(0, 0, m_lastFrame);
    else
        painter.fillRect(rect(), Qt::black);
}

void TForm14::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    Timer1->start();
    applyShape(m_shape);
}

void TForm14::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    m_picture = QImage();
    m_lastFrame = QImage();
    Timer1->stop();
}

void TForm14::closeEvent(QCloseEvent* event)
{
    Timer1->stop();
    QWidget::closeEvent(event);
}

void TForm14::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Z:
        toggleRefresh();
        break;
    case Qt::Key_X:
        setSmoothing(!m_smooth);
        Q_EMIT smoothingToggled(m_smooth);
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void TForm14::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    // Pressing anywhere drags the window as a title bar would: by the window
    // manager where there is one, else by following the pointer here.
    if (windowHandle() && windowHandle()->startSystemMove()) return;
    m_dragging = true;
    m_dragOffset = event->globalPosition().toPoint() - pos();
}

void TForm14::mouseMoveEvent(QMouseEvent* event)
{
    if (m_dragging && (event->buttons() & Qt::LeftButton))
        move(event->globalPosition().toPoint() - m_dragOffset);
}

void TForm14::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) m_dragging = false;
}
