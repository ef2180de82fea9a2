// Desktop pixels for the loupe windows: the screen grab of a rectangle of the
// desktop, clipped to the screen that holds a given point. Used by the loupe
// (Unit14) and its picture dialog (Unit26). GUI thread only.
#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>

class QWidget;

namespace sq::loupe {

// Whether this session never hands out desktop pixels (a Wayland session,
// XWayland included).
bool desktopCaptureRefused();

// The desktop inside rect (desktop coordinates) as a picture of 24 bits at
// the device pixels of the screen that holds `at` (the primary screen when
// none does): round(rect.size() x its ratio) pixels, with that device pixel
// ratio. Pixels outside that screen stay black. A null picture when the
// session refuses desktop capture or the grab fails.
QImage grabDesktopDevice(const QRect& rect, const QPoint& at);

// The same as a rect.size() picture, one pixel per logical pixel.
QImage grabDesktop(const QRect& rect, const QPoint& at);

// What the program's own visible top-level windows show inside rect
// (desktop coordinates, as the program places its windows), drawn by the
// program itself, as a rect.size() picture of 24 bits; black where none of
// them lies. skip (the loupe itself) is left out. For sessions that refuse
// desktop capture: the loupe still magnifies the program's windows there.
// Drawn at the device pixel ratio given: round(rect.size() x ratio) pixels.
QImage grabProgramWindows(const QRect& rect, const QWidget* skip, qreal ratio = 1);

} // namespace sq::loupe
