#include "viewers/Unit14.h"

#include "engine/DeviceRects.h"
#include "engine/Stretch.h"
#include "state/Globals.h"
#include "state/SettingsLines.h"
#include "viewers/DesktopGrab.h"
#include "viewers/LoupeGeometry.h"
#include "viewers/ViewerHost.h"

#include <QCoreApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QRandomGenerator>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <QWindow>

// Left to itself by a window manager (no frame, no shadow round its shape, no
// placement of its own): it stays over every window and goes where it is
// moved at once.
TForm14::TForm14(TViewerHost* host, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                          Qt::X11BypassWindowManagerHint),
      m_host(host),
      Timer1(new QTimer(this)), m_grab(&sq::loupe::grabDesktopDevice),
      m_fallback([this](const QRect& rect, const QPoint&) {
          return sq::loupe::grabProgramWindows(rect, this, devicePixelRatioF());
      })
{
    setObjectName(QStringLiteral("Form14"));
    setWindowTitle(QStringLiteral("ルーペウインドウ"));
    // The window paints every pixel itself and never erases its background.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    // A window with an alpha channel gets no drop shadow from a compositing
    // window manager, which would darken the desktop round the shape. Every
    // pixel it paints is opaque.
    setAttribute(Qt::WA_TranslucentBackground);
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
    // The pictures are kept at device pixels; their corner stays.
    const auto cut = [s](QImage& picture) {
        if (picture.isNull()) return;
        const qreal ratio = picture.devicePixelRatio();
        const int side = sq::toDevice(s, ratio);
        picture = picture.copy(0, 0, side, side);
        picture.setDevicePixelRatio(ratio);
    };
    cut(m_picture);
    cut(m_lastFrame);
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
    const QRect rect = sq::loupe::captureRect(pointer, jitter, m_captureSide);
    QImage capture = m_grab(rect, pointer);
    if (capture.isNull()) {
        // Said once by the bar; the program's own windows are still shown.
        Q_EMIT captureFailed();
        if (m_fallback) capture = m_fallback(rect, pointer);
        if (capture.isNull()) return;
    }
    ++m_ticks;
    // 6. Plain stretch, or the bilinear rule unless thumbnails are loading;
    // from the capture's device pixels to the window's, so a scaled screen
    // shows the desktop's own detail, not a logical-size picture enlarged.
    const qreal ratio = devicePixelRatioF();
    const int side = sq::toDevice(m_side, ratio);
    if (!m_smooth)
        m_picture = sq::NearestResize(capture, side, side);
    else if (!sq::app::thumbnailsLoading)
        m_picture = sq::BilinearResize(capture, side, side);
    if (!m_picture.isNull()) m_picture.setDevicePixelRatio(ratio);
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

QImage TForm14::grabClientArea()
{
    const QRect area = geometry();
    QImage pixels = m_grab(area, area.center());
    // Saved and copied at the window's logical size, whatever the screen's
    // ratio.
    if (!pixels.isNull() && pixels.size() != area.size())
        pixels = sq::NearestResize(pixels, area.width(), area.height());
    // Without the desktop, the window as the program draws it.
    if (pixels.isNull() && m_fallback) {
        QImage own(area.size(), QImage::Format_RGB32);
        own.fill(Qt::black);
        render(&own);
        pixels = own.convertToFormat(QImage::Format_RGB888);
    }
    return pixels;
}

QImage TForm14::pictureOn(const QColor& background) const
{
    if (m_lastFrame.isNull()) return QImage();
    QImage out(m_lastFrame.size(), QImage::Format_RGB888);
    out.setDevicePixelRatio(m_lastFrame.devicePixelRatio());
    out.fill(background);
    {
        QPainter painter(&out);
        if (!mask().isEmpty()) painter.setClipRegion(mask());
        painter.drawImage(0, 0, m_lastFrame);
    }
    out.setDevicePixelRatio(1);
    if (out.size() != size()) out = sq::NearestResize(out, width(), height());
    return out;
}

void TForm14::waitShownOnScreen() const
{
    if (m_lastFrame.isNull()) return;
    QScreen* screen = QGuiApplication::screenAt(geometry().center());
    if (!screen) return;
    // A point the shape lets through (the ring's middle is a hole).
    const QRegion shape = mask().isEmpty() ? QRegion(rect()) : mask();
    QPoint local = shape.boundingRect().center();
    if (!shape.contains(local) && shape.begin() != shape.end()) local = shape.begin()->center();
    const QPoint global = mapToGlobal(local);
    const qreal ratio = m_lastFrame.devicePixelRatio();
    const QPoint device(sq::toDevice(local.x(), ratio), sq::toDevice(local.y(), ratio));
    if (!screen->geometry().contains(global) || !m_lastFrame.rect().contains(device)) return;
    const QPoint at = global - screen->geometry().topLeft();
    const QRgb want = m_lastFrame.pixel(device) | 0xff000000u;
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 1000) {
        const QImage pixel = screen->grabWindow(0, at.x(), at.y(), 1, 1).toImage();
        if (pixel.isNull() || (pixel.pixel(0, 0) | 0xff000000u) == want) return;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
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
    // Pressing anywhere drags the window as a title bar would. No window
    // manager moves it (it is left alone by one): it follows the pointer here.
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
