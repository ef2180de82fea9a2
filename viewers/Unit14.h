// The loupe window: a borderless, always-on-top square that shows the desktop
// around the pointer magnified, in one of ten shapes, refreshed by a timer.
// Created once by createWindows() and driven by the loupe bar (Unit18) and
// its picture dialog (Unit26). GUI thread only.
#pragma once

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QWidget>

#include <functional>

class QTimer;
class TViewerHost;

class TForm14 : public QWidget
{
    Q_OBJECT

public:
    static constexpr int DesignSide = 128;      // the window's side until a size is chosen
    static constexpr int DesignInterval = 100;  // Timer1 at design
    static constexpr int RefreshInterval = 150; // Timer1 after every tick

    // host gives the settings lines (line 50); nullptr keeps none.
    explicit TForm14(TViewerHost* host = nullptr, QWidget* parent = nullptr);

    // Size change: the loupe picture and the window become s x s, the
    // capture side and the shape are applied again.
    void setLoupeSide(int s);
    // Magnification change: the capture side from the loupe picture's width.
    void setMagnification(int index);
    // The shape box's index, applied when the window is shown or resized.
    void setShapeIndex(int shape) { m_shape = shape; }
    // Shapes the window for its width and writes line 50; an unknown shape
    // changes nothing.
    void applyShape(int shape);
    void setJitter(bool on, int direction, int widthIndex);
    void setSmoothing(bool on);

    int loupeSide() const { return m_side; }
    int captureSide() const { return m_captureSide; }
    int magnification() const { return m_magnification; }
    int shapeIndex() const { return m_shape; }
    bool smoothing() const { return m_smooth; }

    // Image1, the loupe picture: null while cleared (nothing to save). At
    // the window's device pixels, with its device pixel ratio.
    const QImage& picture() const { return m_picture; }
    bool hasPicture() const { return !m_picture.isNull(); }
    // Image3, the save buffer of the picture dialog.
    QImage& saveBuffer() { return m_saveBuffer; }

    // One refresh of Timer1; the timer runs while the window is shown and
    // not stopped by "Z".
    void Timer1Timer();
    bool refreshing() const;
    int refreshInterval() const;
    // "Z": stops or restarts the refresh; stopping brings the window to the
    // foreground and tells the picture dialog (refreshStopped).
    void toggleRefresh();
    // Refreshes that produced a capture, for tests and benchmarks.
    int tickCount() const { return m_ticks; }

    // Where desktop pixels come from: grab(rect, at) returns a picture of
    // rect at any resolution (the default: the screen's device pixels) or a
    // null picture.
    using Grabber = std::function<QImage(const QRect& rect, const QPoint& at)>;
    void setGrabber(Grabber grab) { m_grab = std::move(grab); }
    // Where pixels come from when the desktop gives none: by default the
    // program's own windows but this one. Empty: nothing.
    void setFallbackGrabber(Grabber grab) { m_fallback = std::move(grab); }
    // The window's client area as the display shows it, with whatever lies
    // under it outside its shape, one pixel per logical pixel; null when no
    // pixels can be had.
    QImage grabClientArea();
    // The window's own picture within its shape and `background` outside it,
    // one pixel per logical pixel: what the display shows with that colour
    // under the window. Null while the window shows no picture.
    QImage pictureOn(const QColor& background) const;
    // Brings the window to the foreground so its keys work.
    void activateLoupe();
    // Waits (up to a second) until the screen shows what the window last
    // painted, at a point of its shape: a compositing window manager puts a
    // raised or repainted window on the screen a little later.
    void waitShownOnScreen() const;

Q_SIGNALS:
    void smoothingToggled(bool on); // "X" pressed in the window
    void refreshStopped();          // "Z" stopped the refresh
    void captureFailed();           // a refresh found no desktop pixels (the fallback may still)

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    TViewerHost* m_host;
    QTimer* Timer1;
    Grabber m_grab;
    Grabber m_fallback;
    int m_side = DesignSide;
    int m_magnification = 2; // "200%"
    int m_captureSide = DesignSide / 2;
    int m_shape = 2; // "円"
    bool m_jitter = false;
    int m_direction = 0;
    int m_jitterWidth = 0;
    bool m_smooth = false;
    QImage m_picture;    // Image1
    QImage m_lastFrame;  // what the window shows while Image1 is cleared
    QImage m_saveBuffer; // Image3
    int m_ticks = 0;
    bool m_dragging = false;
    QPoint m_dragOffset;
};
