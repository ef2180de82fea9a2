// The single-image view: shows one picture at its own size, centred and
// scrollable, or stretched to the control with its aspect kept. Used by the
// main window's preview and every viewer window. GUI thread only, but for
// the pure view rule MakeImgView and the workers LoadFiles runs itself.
#pragma once

#include "engine/FitStream.h"
#include "engine/ImgUtils.h"
#include "engine/ViewAhead.h"

#include <QImage>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class QPainter;
class QScrollBar;

namespace sq {
class TViewWorker;
struct TViewDone;
} // namespace sq

enum TSizeType { ispImage, ispStretch };

// Left, top, right, bottom as the view places the picture.
struct TRectL
{
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
    bool operator==(const TRectL&) const = default;
};

// What a view shows for a picture: the view's bitmap (larger than the
// client where the picture is) and the picture's place in it, clipped to
// the client. Not Placed when there is nothing to place (an empty picture,
// or no client area to stretch into).
struct TImgView
{
    QImage Bitmap;
    TRectL Place;
    bool Placed = false;
};

namespace sq {

// The view of picture in a client area of the given size by the size
// type's rule, with color around the picture. Pure; any thread. A stretched
// picture is resampled on the pool's threads too, if one is given.
TImgView MakeImgView(const QImage& picture, TSizeType type, QSize client, const QColor& color,
                     TWorkPool* pool = nullptr);

// Where MakeImgView puts a picture of the given size stretched into a client
// area; both sizes not empty. Pure; any thread.
QRect StretchPlace(QSize picture, QSize client);

// Makes the stretched view of the picture its engine decodes while the
// decode goes on: each run of decoded rows is resampled into the view at
// once (TFitStream), on one of the engine's resampling helpers when it has
// them. Set on the engine while it lives; used by the thread that loads
// with that engine.
class TStretchWatch final : public TDecodeWatch
{
public:
    // For views of a client area of client pixels.
    TStretchWatch(TImgUtil& engine, QSize client);
    ~TStretchWatch() override;
    TStretchWatch(const TStretchWatch&) = delete;
    TStretchWatch& operator=(const TStretchWatch&) = delete;

    bool Begin(const QImage& picture) override;
    void Rows(const unsigned char* const* rows, int y0, int y1) override;
    void End() override;
    // MakeImgView(picture, ispStretch, client, color), taken from what was
    // made meanwhile, when picture is what the engine's last load gave and
    // the watch saw all of it; not Placed otherwise.
    TImgView View(const QImage& picture, QSize client, const QColor& color);

private:
    TImgUtil& m_engine;
    QSize m_client;
    QSize m_picture;
    const uchar* m_bits = nullptr; // the watched picture's pixels
    QImage m_bitmap;
    QRect m_place;
    TFitStream m_stream;
};

// The client area a view whose area inside the border is inner leaves for
// a picture of the given size (an invalid size: none loaded) once the
// scroll bars of lineStep thickness it needs are shown. Pure; any thread.
QSize ImgClientSize(QSize inner, int lineStep, QSize picture, TSizeType type);

} // namespace sq

class TCustomImgBox : public QWidget
{
    Q_OBJECT

public:
    explicit TCustomImgBox(QWidget* parent = nullptr);
    ~TCustomImgBox() override;

    // Loads through ImgUtil at the size inside the border; 0 when shown.
    int LoadFile(const QString& fileName);
    // Shows nothing: no file, no picture in ImgUtil, no scroll bars.
    void Clear();
    // Loads files[i] into boxes[i] for every i, with the results and the
    // views LoadFile would give one box after the other. The decoding and
    // the views' bitmaps are made side by side, the calling (GUI) thread
    // taking its share, and each box is placed here once all are done.
    // Meanwhile nothing else may use these boxes or their engines. Engines
    // with a cache, a plug-in or a custom loader other than the program's
    // stateless picture loader, which may be shared, load one after the
    // other. Returns each box's LoadFile result.
    static QList<int> LoadFiles(const QList<TCustomImgBox*>& boxes, const QStringList& files);

    // What a load into this box is made for now; none where another engine
    // cannot load alike (a cache, a plug-in, a loader of its own).
    std::optional<sq::TViewSetup> ViewSetup() const;
    // The view LoadFile gives under setup; any thread.
    static sq::TPreparedView PrepareView(const QString& fileName, const sq::TViewSetup& setup);
    // Shows a view made for this box's setup as LoadFile would; its result.
    int ShowPrepared(const QString& fileName, const sq::TPreparedView& view);

    TImgUtil* ImgUtil() const { return m_imgUtil.get(); }
    TSizeType SizeType() const { return m_sizeType; }
    void setSizeType(TSizeType type);
    TBorderStyle BorderStyle() const { return m_borderStyle; }
    void setBorderStyle(TBorderStyle style);
    QColor Color() const { return m_color; }
    void setColor(const QColor& color);

    const QString& ImageFile() const { return m_imageFile; }
    bool Loaded() const { return m_loaded; }
    TRectL PictureRect() const { return m_pictureRect; }
    // The view's bitmap: in device pixels when the picture is stretched to
    // the view (its devicePixelRatio is the screen's), else one pixel of the
    // picture to one logical pixel.
    const QImage& ViewBitmap() const { return m_viewBitmap; }
    int ScrollX() const { return m_scrollX; }
    int ScrollY() const { return m_scrollY; }
    int LineStep() const;
    QScrollBar* horizontalBar() const { return m_hbar; }
    QScrollBar* verticalBar() const { return m_vbar; }
    QSize clientSize() const;

    void ScrollBy(int dx, int dy);

    // A large JPEG photograph shown fitted (its exact view worth
    // QuickPixels decoded pixels or more) is shown at once from a coarse
    // decode, and its exact view replaces that when a helper thread has made
    // it. Meanwhile the engine holds no picture but the picture's own kind
    // and size, and LoadFile has returned 0. On by default.
    bool QuickFirst() const { return m_quickFirst; }
    void setQuickFirst(bool on) { m_quickFirst = on; }
    qint64 QuickPixels() const { return m_quickPixels; }
    void setQuickPixels(qint64 pixels) { m_quickPixels = pixels; }
    // Whether the quick view is up and the exact one still to come.
    bool ExactPending() const { return m_exactId != 0; }

    // Fired after each paint, for the windows' own marks on top.
    std::function<void(TCustomImgBox*, QPainter&)> OnPaint;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool event(QEvent* event) override;

private:
    // One load of LoadFiles: what the GUI thread read from the box, and the
    // engine's result and the view that runLoad made from it.
    struct Load
    {
        TImgUtil* Engine = nullptr;
        QString File;
        QSize Inner;
        int LineStep = 0;
        TSizeType Type = ispImage;
        qreal Ratio = 1; // device pixels per logical pixel of the view's bitmap
        QColor Color;
        int Result = 1;
        QSize Client;
        TImgView View;
    };
    Load beginLoad(const QString& fileName);
    static void runLoad(Load& load); // any thread; touches the load's engine alone
    int endLoad(Load& load);

    // Shows the quick view and asks for the exact one; false, with nothing
    // changed, when the file is not for that.
    bool loadQuick(const QString& fileName);
    bool quickCandidate(const QString& fileName, QSize* declared);
    void cancelExact();
    void exactDone(sq::TViewDone& done);
    static QList<int> loadTogether(const QList<TCustomImgBox*>& boxes, const QStringList& files);

    void ResetView();
    void Redraw();
    void placeView(TImgView view);
    void UpdateScrollBars(bool reset);
    void placeBars();
    int borderWidth() const { return m_borderStyle == bsSingle ? 2 : 0; }
    // A stretched picture is made at the screen's device pixels; a picture
    // at its own size keeps one pixel to one logical pixel.
    qreal viewRatio() const { return m_sizeType == ispStretch ? devicePixelRatioF() : 1; }
    // The view of the engine's picture for a client area, at ratio; taken
    // from the watch of the load when it made it.
    static TImgView makeView(const QImage& picture, TSizeType type, QSize client,
                             const QColor& color, qreal ratio, sq::TStretchWatch* watch = nullptr);

    QImage m_viewBitmap;
    std::unique_ptr<TImgUtil> m_imgUtil;
    TSizeType m_sizeType = ispImage;
    QString m_imageFile;
    TBorderStyle m_borderStyle = bsSingle;
    bool m_loaded = false;
    TRectL m_pictureRect;
    bool m_hasPlacement = false;
    QColor m_color = QColor(255, 255, 255);
    QScrollBar* m_vbar = nullptr;
    QScrollBar* m_hbar = nullptr;
    int m_scrollX = 0, m_scrollY = 0;
    int m_scrollMaxX = 0, m_scrollMaxY = 0;
    mutable int m_lineStep = -1;
    bool m_syncingBars = false;
    bool m_quickFirst = true;
    qint64 m_quickPixels;
    quint64 m_exactId = 0; // the exact view awaited, 0: none
    std::unique_ptr<sq::TViewWorker> m_worker;
};

class TImgBox : public TCustomImgBox
{
    Q_OBJECT

public:
    using TCustomImgBox::TCustomImgBox;
};
