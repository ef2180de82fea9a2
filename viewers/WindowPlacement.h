// Windows the user opens, on a desktop with or without a window manager:
// the outer frame (title bar and borders included) kept inside the screen's
// available area, and the window raised and given the keyboard focus as it
// is shown. GUI thread only.
#pragma once

#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

// Top-left of the window's inside that puts its outer frame (the inside grown
// by `frame`) within `available`. A frame wider or taller than the area keeps
// its left or top edge on the area's, so the title bar stays reachable.
QPoint insidePosWithinArea(const QRect& inside, const QMargins& frame, const QRect& available);

// Moves the top-level `window` so that its frame lies within the available
// area of the screen its centre is on. Nothing happens to a maximised or
// full-screen window.
void keepOnScreen(QWidget* window);

// Shows `window`, raises it and gives it the keyboard focus; its frame is kept
// on the screen now and once more when a window manager has put its frame
// around it (the frame's size is known only then).
void presentWindow(QWidget* window);

// Gives the top-level `window` an outer frame of `outer` (title bar and
// borders included), leaving a maximised or full-screen state first. A frame
// still to come from a window manager is allowed for once it has arrived;
// the frame is then kept on the screen. Without a manager the inside is
// `outer`.
void resizeFrame(QWidget* window, const QSize& outer);

// Top-left for an outer frame that must not cover `keep`: the frame's own
// corner when it does not; else the frame moved straight down to just
// below keep, or up to just above it where below does not fit in
// `available`. Where neither fits it stays.
QPoint frameClearOf(const QRect& frame, const QRect& keep, const QRect& available);

// Moves the top-level `window` (its frame) clear of `keep`, in desktop
// coordinates, within the available area of its screen.
void moveClearOf(QWidget* window, const QRect& keep);
