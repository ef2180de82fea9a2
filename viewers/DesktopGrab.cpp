#include "viewers/DesktopGrab.h"

#include "engine/Stretch.h"

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

#include <cstring>

namespace sq::loupe {

bool desktopCaptureRefused()
{
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

QImage grabDesktop(const QRect& rect, const QPoint& at)
{
    if (rect.isEmpty() || desktopCaptureRefused()) return QImage();
    QScreen* screen = QGuiApplication::screenAt(at);
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (!screen) return QImage();
    QImage out(rect.size(), QImage::Format_RGB888);
    if (out.isNull()) return QImage();
    out.fill(Qt::black);
    const QRect screenRect = screen->geometry();
    const QRect inside = rect & screenRect;
    if (inside.isEmpty()) return out;
    // The grab takes coordinates relative to the screen; asking for pixels
    // outside it fails on X11, so only the part on the screen is asked for.
    const QPoint origin = inside.topLeft() - screenRect.topLeft();
    const QPixmap grab =
        screen->grabWindow(0, origin.x(), origin.y(), inside.width(), inside.height());
    if (grab.isNull()) return QImage();
    QImage pixels = grab.toImage().convertToFormat(QImage::Format_RGB888);
    if (pixels.size() != inside.size()) // a scaled screen hands out device pixels
        pixels = NearestResize(pixels, inside.width(), inside.height());
    if (pixels.isNull()) return QImage();
    const QPoint to = inside.topLeft() - rect.topLeft();
    for (int y = 0; y < inside.height(); ++y)
        std::memcpy(out.scanLine(to.y() + y) + 3 * to.x(), pixels.constScanLine(y),
                    std::size_t(3 * inside.width()));
    return out;
}

} // namespace sq::loupe
