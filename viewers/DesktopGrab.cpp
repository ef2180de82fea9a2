#include "viewers/DesktopGrab.h"

#include "engine/DeviceRects.h"
#include "engine/Stretch.h"
#include "platform/DisplayPlatform.h"

#include <QApplication>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <cstring>

namespace sq::loupe {

bool desktopCaptureRefused()
{
    static const bool refused =
        !sq::platform::desktopReadable(QGuiApplication::platformName().toLatin1());
    return refused;
}

QImage grabDesktopDevice(const QRect& rect, const QPoint& at)
{
    if (rect.isEmpty() || desktopCaptureRefused()) return QImage();
    QScreen* screen = QGuiApplication::screenAt(at);
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (!screen) return QImage();
    const qreal ratio = screen->devicePixelRatio();
    QImage out(toDevice(rect.size(), ratio), QImage::Format_RGB888);
    if (out.isNull()) return QImage();
    out.fill(Qt::black);
    out.setDevicePixelRatio(ratio);
    const QRect screenRect = screen->geometry();
    const QRect inside = rect & screenRect;
    if (inside.isEmpty()) return out;
    // The grab takes coordinates relative to the screen; asking for pixels
    // outside it fails on X11, so only the part on the screen is asked for.
    const QPoint origin = inside.topLeft() - screenRect.topLeft();
    const QPixmap grab =
        screen->grabWindow(0, origin.x(), origin.y(), inside.width(), inside.height());
    if (grab.isNull()) return QImage();
    // Where the part lies in the picture, its edges rounded as the
    // picture's own size is.
    const QRect to = deviceEdges(inside.translated(-rect.topLeft()), ratio) & out.rect();
    QImage pixels = grab.toImage().convertToFormat(QImage::Format_RGB888);
    if (pixels.size() != to.size()) pixels = NearestResize(pixels, to.width(), to.height());
    if (pixels.isNull()) return QImage();
    for (int y = 0; y < to.height(); ++y)
        std::memcpy(out.scanLine(to.y() + y) + 3 * to.x(), pixels.constScanLine(y),
                    std::size_t(3 * to.width()));
    return out;
}

QImage grabDesktop(const QRect& rect, const QPoint& at)
{
    QImage pixels = grabDesktopDevice(rect, at);
    if (pixels.isNull() || pixels.size() == rect.size()) return pixels;
    return NearestResize(pixels, rect.width(), rect.height());
}

namespace {
// Stacking as the window system keeps it is not known to the program: plain
// windows first, the active one over them, windows kept on top and popups
// last.
int stackRank(const QWidget* w)
{
    if (w->windowType() == Qt::Popup || w->windowType() == Qt::ToolTip) return 3;
    if (w->windowFlags() & Qt::WindowStaysOnTopHint) return 2;
    return w->isActiveWindow() ? 1 : 0;
}
} // namespace

QImage grabProgramWindows(const QRect& rect, const QWidget* skip, qreal ratio)
{
    if (rect.isEmpty() || !(ratio > 0)) return QImage();
    QImage out(toDevice(rect.size(), ratio), QImage::Format_RGB32);
    if (out.isNull()) return QImage();
    out.fill(Qt::black);
    out.setDevicePixelRatio(ratio); // the windows draw themselves at device pixels
    QWidgetList windows;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w != skip && w->isVisible() && !w->isMinimized() && w->windowType() != Qt::Desktop)
            windows << w;
    std::stable_sort(windows.begin(), windows.end(),
                     [](const QWidget* a, const QWidget* b) { return stackRank(a) < stackRank(b); });
    {
        QPainter painter(&out);
        for (QWidget* w : windows) {
            const QRect window = w->geometry(); // the client area; frames are not the program's
            const QRect part = window & rect;
            if (part.isEmpty()) continue;
            // Only the part inside rect is drawn: the main window may be
            // the whole screen, and this runs at every refresh.
            const QRect local = part.translated(-window.topLeft());
            const QRegion source = w->mask().isEmpty() ? QRegion(local) : w->mask() & local;
            if (source.isEmpty()) continue;
            // render() puts the top-left of the source's bounds at `at`.
            const QPoint at = window.topLeft() + source.boundingRect().topLeft() - rect.topLeft();
            w->render(&painter, at, source, QWidget::DrawWindowBackground | QWidget::DrawChildren);
        }
    }
    return out.convertToFormat(QImage::Format_RGB888);
}

} // namespace sq::loupe
