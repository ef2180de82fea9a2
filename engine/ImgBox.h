// The single-image view: shows one picture at its own size, centred and
// scrollable, or stretched to the control with its aspect kept. Used by the
// main window's preview and every viewer window. GUI thread only.
#pragma once

#include "engine/ImgUtils.h"

#include <QImage>
#include <QWidget>

#include <functional>
#include <memory>

class QPainter;
class QScrollBar;

enum TSizeType { ispImage, ispStretch };

// Left, top, right, bottom as the view places the picture.
struct TRectL
{
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
    bool operator==(const TRectL&) const = default;
};

class TCustomImgBox : public QWidget
{
    Q_OBJECT

public:
    explicit TCustomImgBox(QWidget* parent = nullptr);
    ~TCustomImgBox() override;

    // Loads through ImgUtil at the size inside the border; 0 when shown.
    int LoadFile(const QString& fileName);

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
    const QImage& ViewBitmap() const { return m_viewBitmap; }
    int ScrollX() const { return m_scrollX; }
    int ScrollY() const { return m_scrollY; }
    int LineStep() const;
    QScrollBar* horizontalBar() const { return m_hbar; }
    QScrollBar* verticalBar() const { return m_vbar; }
    QSize clientSize() const;

    void ScrollBy(int dx, int dy);

    // Fired after each paint, for the windows' own marks on top.
    std::function<void(TCustomImgBox*, QPainter&)> OnPaint;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void ResetView();
    void Redraw();
    void UpdateScrollBars(bool reset);
    void placeBars();
    int borderWidth() const { return m_borderStyle == bsSingle ? 2 : 0; }

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
};

class TImgBox : public TCustomImgBox
{
    Q_OBJECT

public:
    using TCustomImgBox::TCustomImgBox;
};
