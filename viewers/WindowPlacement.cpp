#include "viewers/WindowPlacement.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <functional>

QPoint insidePosWithinArea(const QRect& inside, const QMargins& frame, const QRect& available)
{
    const QRect outer = inside.marginsAdded(frame);
    int left = outer.left();
    int top = outer.top();
    // Right and bottom edges first, so that a frame too big for the area
    // ends with its left and top edges on the area's.
    left = std::min(left, available.left() + available.width() - outer.width());
    top = std::min(top, available.top() + available.height() - outer.height());
    left = std::max(left, available.left());
    top = std::max(top, available.top());
    return QPoint(left + frame.left(), top + frame.top());
}

namespace {

QMargins frameMarginsOf(const QWidget* window)
{
    const QRect inside = window->geometry();
    const QRect outer = window->frameGeometry();
    return QMargins(inside.left() - outer.left(), inside.top() - outer.top(),
                    outer.right() - inside.right(), outer.bottom() - inside.bottom());
}

// Watches a window just shown until its frame has arrived (the window
// manager answers with a move or resize), runs `place` then, and removes
// itself. Without a window manager no frame comes; the watch ends after a
// while all the same.
class FrameArrival : public QObject
{
public:
    FrameArrival(QWidget* window, std::function<void()> place)
        : QObject(window), m_window(window), m_place(std::move(place))
    {
        window->installEventFilter(this);
        // A window not shown yet is watched from its showing on.
        if (window->isVisible()) endLater();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_window && event->type() == QEvent::Show) endLater();
        if (watched == m_window &&
            (event->type() == QEvent::Move || event->type() == QEvent::Resize)) {
            const bool framed = !frameMarginsOf(m_window).isNull();
            m_place();
            if (framed) {
                m_window->removeEventFilter(this);
                deleteLater();
            }
        }
        return false;
    }

private:
    void endLater()
    {
        if (m_ending) return;
        m_ending = true;
        QTimer::singleShot(2000, this, [this] { deleteLater(); });
    }

    QWidget* m_window;
    std::function<void()> m_place;
    bool m_ending = false;
};

} // namespace

void keepOnScreen(QWidget* window)
{
    if (!window || !window->isWindow()) return;
    if (window->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)) return;
    const QRect inside = window->geometry();
    const QScreen* screen = QGuiApplication::screenAt(inside.center());
    if (!screen) screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    const QPoint at = insidePosWithinArea(inside, frameMarginsOf(window), screen->availableGeometry());
    // move() places the frame's corner; only the inside's offset is asked for.
    if (at != inside.topLeft()) window->move(window->pos() + (at - inside.topLeft()));
}

void presentWindow(QWidget* window)
{
    if (!window) return;
    const bool first = !window->isVisible();
    keepOnScreen(window);
    window->show();
    // A frame known as soon as the window is shown (shown before, or a
    // platform that draws none of its own) counts at once.
    keepOnScreen(window);
    window->raise();
    window->activateWindow();
    if (first) new FrameArrival(window, [window] { keepOnScreen(window); });
}

void resizeFrame(QWidget* window, const QSize& outer)
{
    if (!window || !window->isWindow()) return;
    // A window manager keeps a maximised window at its size whatever it is
    // asked: the window leaves that state first.
    if (window->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen))
        window->setWindowState(window->windowState() & ~(Qt::WindowMaximized | Qt::WindowFullScreen));
    const auto apply = [window, outer] {
        const QMargins m = frameMarginsOf(window);
        const QSize inside(std::max(1, outer.width() - m.left() - m.right()),
                           std::max(1, outer.height() - m.top() - m.bottom()));
        if (window->size() != inside) window->resize(inside);
        keepOnScreen(window);
    };
    apply();
    // Only the newest size is kept when the frame comes.
    static const QString watchName = QStringLiteral("resizeFrameWatch");
    for (QObject* old : window->findChildren<QObject*>(watchName, Qt::FindDirectChildrenOnly)) {
        window->removeEventFilter(old);
        delete old;
    }
    if (frameMarginsOf(window).isNull()) (new FrameArrival(window, apply))->setObjectName(watchName);
}

QPoint frameClearOf(const QRect& frame, const QRect& keep, const QRect& available)
{
    if (!frame.intersects(keep)) return frame.topLeft();
    const int below = keep.top() + keep.height();
    if (below + frame.height() <= available.top() + available.height())
        return QPoint(frame.left(), below);
    const int above = keep.top() - frame.height();
    if (above >= available.top()) return QPoint(frame.left(), above);
    return frame.topLeft();
}

namespace {
void placeClearOf(QWidget* window, const QRect& keep)
{
    const QScreen* screen = QGuiApplication::screenAt(keep.center());
    if (!screen) screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect frame = window->frameGeometry();
    const QPoint at = frameClearOf(frame, keep, screen->availableGeometry());
    // move() places the frame's corner.
    if (at != frame.topLeft()) window->move(at);
}
} // namespace

void moveClearOf(QWidget* window, const QRect& keep)
{
    if (!window || !window->isWindow() || keep.isEmpty()) return;
    placeClearOf(window, keep);
    // A frame still to come from a window manager makes the window taller.
    if (frameMarginsOf(window).isNull())
        new FrameArrival(window, [window, keep] { placeClearOf(window, keep); });
}
