// Layout and painting of the thumbnail grid: the cell template, frame rings,
// pictures and captions, all drawn into the back buffer; the window only
// copies the back buffer.
#include "browser/ImgPanel.h"

#include "engine/DeviceRects.h"

#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <cstring>

namespace {

using sq::CellMapping;

// Fills a rectangle of device pixels of the back buffer, which is always
// 24 bits.
void fill(QImage& img, const QRect& r, const QColor& c)
{
    const QRect cut = r.intersected(img.rect());
    if (cut.isEmpty()) return;
    Q_ASSERT(img.format() == QImage::Format_RGB888);
    const uchar rgb[3] = {uchar(c.red()), uchar(c.green()), uchar(c.blue())};
    for (int y = cut.top(); y <= cut.bottom(); ++y) {
        uchar* d = img.scanLine(y) + cut.left() * 3;
        for (int x = 0; x < cut.width(); ++x, d += 3)
            d[0] = rgb[0], d[1] = rgb[1], d[2] = rgb[2];
    }
}

// The 3-D frame routine: top and left edges in one colour, bottom and right
// edges in the other, width times, shrinking the rectangle each time. The
// rectangle (logical pixels of the cell m maps) has exclusive right and bottom.
void frame3D(QImage& img, QRect& r, const QColor& topLeft, const QColor& bottomRight, int width,
             const CellMapping& m)
{
    int l = r.left(), t = r.top(), rr = r.left() + r.width() - 1, b = r.top() + r.height() - 1;
    auto strip = [&](QPoint a, QPoint z, const QColor& c) {
        if (a.x() <= z.x() && a.y() <= z.y()) fill(img, m.edges(QRect(a, z)), c);
    };
    for (int k = 0; k < width && l <= rr && t <= b; ++k) {
        strip(QPoint(l, t), QPoint(rr - 1, t), topLeft);  // top
        strip(QPoint(l, t), QPoint(l, b - 1), topLeft);   // left
        strip(QPoint(rr, t), QPoint(rr, b), bottomRight); // right
        strip(QPoint(l, b), QPoint(rr, b), bottomRight);  // bottom
        ++l, ++t, --rr, --b;
    }
    r = QRect(QPoint(l, t), QPoint(rr, b));
}

// A ring of width w on the inside of r: left, bottom, right and top strips.
void ring(QImage& img, const QRect& r, int w, const QColor& c, const CellMapping& m)
{
    if (w <= 0) return;
    fill(img, m.edges(QRect(r.left(), r.top(), w, r.height())), c);
    fill(img, m.edges(QRect(r.left(), r.bottom() - w + 1, r.width(), w)), c);
    fill(img, m.edges(QRect(r.right() - w + 1, r.top(), w, r.height())), c);
    fill(img, m.edges(QRect(r.left(), r.top(), r.width(), w)), c);
}

// A dotted focus rectangle: every other logical pixel of the outline inverted.
void focusRect(QImage& img, const QRect& r, qreal ratio)
{
    auto invert = [&](int x, int y) {
        if ((x + y) & 1) return;
        const QRect cut = sq::deviceEdges(QRect(x, y, 1, 1), ratio) & img.rect();
        for (int dy = cut.top(); dy <= cut.bottom(); ++dy) {
            uchar* px = img.scanLine(dy) + 3 * cut.left();
            for (int dx = 0; dx < cut.width(); ++dx, px += 3)
                px[0] = uchar(255 - px[0]), px[1] = uchar(255 - px[1]), px[2] = uchar(255 - px[2]);
        }
    };
    for (int x = r.left(); x <= r.right(); ++x) invert(x, r.top()), invert(x, r.bottom());
    for (int y = r.top() + 1; y < r.bottom(); ++y) invert(r.left(), y), invert(r.right(), y);
}

} // namespace

void TCustomImgPanel::drawOver(QImage& target, QPoint at, const QImage& picture, QRect source)
{
    source &= picture.rect();
    const QRect dst = QRect(at, source.size()) & target.rect();
    if (dst.isEmpty()) return;
    source = QRect(source.topLeft() + (dst.topLeft() - at), dst.size());
    if (target.format() != QImage::Format_RGB888) {
        QPainter p(&target);
        p.drawImage(dst.topLeft(), picture, source);
        return;
    }
    // Rows copied or blended by hand: a painter would leave its engine
    // behind in every cell bitmap it drew on, some 2 KB each.
    const bool alpha = picture.hasAlphaChannel();
    const QImage::Format want = alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB888;
    const QImage src = picture.format() == want ? picture : picture.convertToFormat(want);
    for (int y = 0; y < dst.height(); ++y) {
        uchar* d = target.scanLine(dst.top() + y) + dst.left() * 3;
        const uchar* row = src.constScanLine(source.top() + y);
        if (!alpha) {
            std::memcpy(d, row + source.left() * 3, size_t(dst.width()) * 3);
            continue;
        }
        const QRgb* px = reinterpret_cast<const QRgb*>(row) + source.left();
        for (int x = 0; x < dst.width(); ++x, d += 3) {
            const QRgb c = px[x];
            const int keep = 255 - qAlpha(c);
            if (keep == 255) continue;
            d[0] = uchar(qRed(c) + (d[0] * keep + 127) / 255);
            d[1] = uchar(qGreen(c) + (d[1] * keep + 127) / 255);
            d[2] = uchar(qBlue(c) + (d[2] * keep + 127) / 255);
        }
    }
}

void TCustomImgPanel::drawCentred(QImage& target, const QRect& box, const QImage& picture)
{
    if (picture.isNull()) return;
    if (picture.size() == box.size()) {
        drawOver(target, box.topLeft(), picture, picture.rect());
        return;
    }
    const QSize s = sq::ShrinkSize(picture.width(), picture.height(), box.width(), box.height()).size();
    const QPoint at = box.topLeft() + QPoint((box.width() - s.width()) / 2, (box.height() - s.height()) / 2);
    // Only the part inside the box is copied, unscaled from the top-left.
    const QRect src(0, 0, std::min(picture.width(), box.right() - at.x() + 1),
                    std::min(picture.height(), box.bottom() - at.y() + 1));
    drawOver(target, at, picture, src);
}

int TCustomImgPanel::CaptionHeight()
{
    if (m_captionHeight < 0) measureCaption();
    return m_captionHeight;
}

void TCustomImgPanel::measureCaption()
{
    const QFontMetrics fm(m_captionFont);
    m_captionHeight = fm.height() + std::max(0, fm.leading());
}

int TCustomImgPanel::ColumnPitch() const
{
    return m_viewImage.CellWidth() + m_view.IconSpacing().X();
}

int TCustomImgPanel::RowPitch() const
{
    int p = m_viewImage.CellHeight() + m_view.IconSpacing().Y();
    if (m_view.ShowCaptions()) p += std::max(0, m_captionHeight) + 2;
    return p;
}

QPoint TCustomImgPanel::SlotOrigin(int slot) const
{
    if (m_columns <= 0) return {};
    return {m_view.IconSpacing().X() + ColumnPitch() * (slot % m_columns),
            m_view.IconSpacing().Y() + RowPitch() * (slot / m_columns)};
}

int TCustomImgPanel::SlotOf(int index) const
{
    const int top = std::max(0, m_topIndex);
    if (index < top || index >= top + VisibleCells()) return -1;
    return index - top;
}

QRect TCustomImgPanel::PictureBox(int index) const
{
    const int s = SlotOf(index);
    if (s < 0) return {};
    const QPoint o = SlotOrigin(s);
    const int off = m_viewImage.ImageOffset();
    return QRect(o.x() + off + m_viewImage.BlankSpace().Left(), o.y() + off + m_viewImage.BlankSpace().Top(),
                 m_viewImage.ImageWidth(), m_viewImage.ImageHeight());
}

QRect TCustomImgPanel::CaptionBox(int index) const
{
    const int s = SlotOf(index);
    if (s < 0) return {};
    const QPoint o = SlotOrigin(s);
    return QRect(o.x(), o.y() + m_viewImage.CellHeight() + 2, m_viewImage.CellWidth(), std::max(0, m_captionHeight));
}

void TCustomImgPanel::layout(int w, int h)
{
    updateDeviceRatio();
    if (m_captionHeight < 0) measureCaption();
    const int cp = ColumnPitch(), rp = RowPitch();
    m_columns = cp > 0 ? std::max(0, w / cp) : 0;
    m_rows = rp > 0 ? std::max(0, h / rp) : 0;

    const QSize device = sq::toDevice(QSize(std::max(w, 0), std::max(h, 0)), m_dpr);
    if (m_back.size() != device || m_back.devicePixelRatio() != m_dpr) {
        QImage next(device, QImage::Format_RGB888);
        next.fill(ColorToRGB(m_color));
        if (!m_back.isNull() && !next.isNull() && m_back.devicePixelRatio() == m_dpr)
            drawOver(next, QPoint(0, 0), m_back, m_back.rect());
        next.setDevicePixelRatio(m_dpr);
        m_back = next;
    }
    const QColor bg = ColorToRGB(m_color);
    const QRect right(m_columns * cp, 0, w - m_columns * cp, h);
    const QRect below(0, m_rows * rp, w, h - m_rows * rp);
    // The strips start where the last cells end in device pixels, which
    // may be a pixel past the strips' own rounded edge.
    QRect rightDev = sq::deviceEdges(right, m_dpr), belowDev = sq::deviceEdges(below, m_dpr);
    if (VisibleCells() > 0) {
        const QRect last = cellDevice(VisibleCells() - 1);
        rightDev.setLeft(std::max(rightDev.left(), last.right() + 1));
        belowDev.setTop(std::max(belowDev.top(), last.bottom() + 1));
    }
    fill(m_back, rightDev, bg);
    fill(m_back, belowDev, bg);
    if (!m_updating) {
        viewport()->update(right);
        viewport()->update(below);
    }
    if (m_columns != m_paintedColumns || m_rows != m_paintedRows) {
        paintTemplate();
        if (VisibleCells() == 0) {
            m_paintedColumns = m_columns;
            m_paintedRows = m_rows;
        }
        ShowFrom(m_topIndex);
        if (!m_updating) viewport()->update();
    }
    updateScrollBar(false);
}

void TCustomImgPanel::paintTemplate()
{
    m_back.fill(ColorToRGB(m_color));
    if (VisibleCells() == 0) return;
    const QPoint o = SlotOrigin(0);
    paintFrameRing(-1);
    paintDecorations(o.x(), o.y());
    const QImage proto = m_back.copy(cellDevice(0));
    for (int s = 1; s < VisibleCells(); ++s)
        drawOver(m_back, cellDevice(s).topLeft(), proto, proto.rect());
}

QRect TCustomImgPanel::cellDevice(int slot) const
{
    const QPoint o = SlotOrigin(slot);
    const QRect cell(o, QSize(m_viewImage.CellWidth(), m_viewImage.CellHeight()));
    return sq::CellMapping(o, m_dpr).edges(cell);
}

void TCustomImgPanel::paintDecorations(int x, int y)
{
    const TViewImage& vi = m_viewImage;
    const QRect cell(x, y, vi.CellWidth(), vi.CellHeight());
    const sq::CellMapping m(cell.topLeft(), m_dpr);
    if (vi.BorderStyle() == bsSingle) {
        const int f = vi.FrameThickness();
        QRect r = cell.adjusted(f, f, -f, -f);
        frame3D(m_back, r, ColorToRGB(clBtnShadow), ColorToRGB(clWhite), 1, m);
        frame3D(m_back, r, ColorToRGB(cl3DDkShadow), ColorToRGB(cl3DLight), 1, m);
    }
    auto bevel = [&](TBevelCut cut, int offset) {
        if (cut == bvNone) return;
        QRect r = cell.adjusted(offset, offset, -offset, -offset);
        const bool lowered = cut == bvLowered;
        frame3D(m_back, r, ColorToRGB(lowered ? clBtnShadow : clBtnHighlight),
                ColorToRGB(lowered ? clBtnHighlight : clBtnShadow), vi.BevelWidth(), m);
    };
    bevel(vi.BevelOuter(), vi.BorderOffset());
    bevel(vi.BevelInner(), vi.InnerBevelOffset());
}

bool TCustomImgPanel::looksSelected(int index) const
{
    if (index < 0 || index >= m_items.Count()) return false;
    if (!m_items.Items(index)->Selected) return false;
    return hasFocus() || !m_hideSelection;
}

void TCustomImgPanel::paintFrameRing(int index)
{
    if (VisibleCells() == 0) return;
    const TFrameStyle& fr = m_viewImage.Frame();
    const TFrameStyle& sf = m_viewImage.SelectFrame();
    if (!fr.Visible() && !sf.Visible()) return;
    const int slot = index < 0 ? 0 : SlotOf(index);
    if (slot < 0) return;
    const QRect cell(SlotOrigin(slot), QSize(m_viewImage.CellWidth(), m_viewImage.CellHeight()));
    const sq::CellMapping m(cell.topLeft(), m_dpr);
    const bool sel = looksSelected(index);
    if ((sel && (!sf.Visible() || sf.Width() < fr.Width())) || (!sel && (!fr.Visible() || fr.Width() < sf.Width())))
        ring(m_back, cell, std::max(fr.Width(), sf.Width()), ColorToRGB(m_color), m);
    const TFrameStyle& mine = sel ? sf : fr;
    const TFrameStyle& other = sel ? fr : sf;
    if (!mine.Visible()) return;
    const int inset = other.Visible() && other.Width() > mine.Width() ? other.Width() - mine.Width() : 0;
    ring(m_back, cell.adjusted(inset, inset, -inset, -inset), mine.Width(),
         ColorToRGB(mine.Color()), m);
}

void TCustomImgPanel::paintPicture(int index)
{
    const QRect logical = PictureBox(index);
    if (logical.isEmpty()) return;
    const QRect box = sq::CellMapping(SlotOrigin(SlotOf(index)), m_dpr).box(logical);
    if (index >= m_items.Count()) {
        fill(m_back, box, ColorToRGB(m_color));
        return;
    }
    TPanelItem* item = m_items.Items(index);
    if (!item->CellBitmap.isNull()) {
        if (item->CellBitmap.size() != box.size()) fill(m_back, box, ColorToRGB(m_color));
        drawCentred(m_back, box, item->CellBitmap);
    } else if (item->HasItemId()) {
        m_loader.Enqueue(item->Id(), m_viewImage.LookAhead());
        m_loader.RunNext();
    }
}

void TCustomImgPanel::paintCaption(int index)
{
    if (!m_view.ShowCaptions()) return;
    const QRect box = CaptionBox(index);
    if (box.isNull()) return;
    const QColor bg = ColorToRGB(m_color);
    fill(m_back, sq::deviceEdges(box.adjusted(0, -1, 0, 1), m_dpr), bg);
    if (index >= m_items.Count()) return;
    TPanelItem* item = m_items.Items(index);
    const QFontMetrics fm(m_captionFont);
    const QString text = fm.elidedText(QLatin1Char(' ') + item->DisplayName() + QLatin1Char(' '), Qt::ElideRight,
                                       box.width());
    const int tw = std::min(fm.horizontalAdvance(text), box.width());
    QRect r(box.left(), box.top(), tw, box.height());
    r.moveLeft(r.left() + (box.left() + box.width() / 2) - (r.left() + tw / 2));

    QColor textColor = ColorToRGB(m_fontColor);
    QColor back;
    if (item->Selected) {
        if (hasFocus()) {
            back = ColorToRGB(clHighlight);
            textColor = ColorToRGB(clWhite);
        } else if (!m_hideSelection) {
            back = ColorToRGB(clInactiveCaptionText);
            textColor = ColorToRGB(clBlack);
        }
    }
    QPainter p(&m_back);
    if (back.isValid()) p.fillRect(r, back);
    p.setFont(m_captionFont);
    p.setPen(textColor);
    p.drawText(r, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine | Qt::TextDontClip, text);
    p.end();
    item->CaptionRect = r;
    if (index == m_focusIndex && hasFocus()) focusRect(m_back, r.adjusted(0, -1, 0, 1), m_dpr);
}

void TCustomImgPanel::invalidateCell(int index)
{
    if (m_updating) return;
    const int s = SlotOf(index);
    if (s < 0 || m_columns == 0) return;
    viewport()->update(
        QRect(SlotOrigin(s), QSize(ColumnPitch(), RowPitch()))
            .adjusted(-roundingMargin(), -roundingMargin(), roundingMargin(), roundingMargin()));
}

void TCustomImgPanel::invalidatePicture(int index)
{
    if (m_updating) return;
    const QRect box = PictureBox(index);
    const int g = roundingMargin();
    if (!box.isEmpty()) viewport()->update(box.adjusted(-g, -g, g, g));
}

void TCustomImgPanel::ShowFrom(int index)
{
    if (!m_created || m_columns == 0) return;
    if (!m_viewImage.LookAhead()) m_loader.ClearQueue();
    m_topIndex = index;
    if (m_columns > 0) {
        QScrollBar* sb = verticalScrollBar();
        const QSignalBlocker block(sb);
        sb->setValue(std::max(index, 0) / m_columns);
    }
    paintTemplate();
    const int top = std::max(0, m_topIndex);
    const int n = VisibleCells();
    const bool ahead = m_viewImage.LookAhead();
    for (int k = 0; k < n; ++k) {
        const int i = top + (ahead ? n - 1 - k : k);
        paintFrameRing(i);
        paintPicture(i);
        paintCaption(i);
        invalidateCell(i);
    }
    m_paintedColumns = m_columns;
    m_paintedRows = m_rows;
}

void TCustomImgPanel::repaintFocusLook()
{
    const int top = std::max(0, m_topIndex);
    const int end = std::min(m_items.Count(), top + VisibleCells());
    for (int i = top; i < end; ++i) {
        if (!m_items.Items(i)->Selected && i != m_focusIndex) continue;
        paintFrameRing(i);
        paintCaption(i);
        invalidateCell(i);
    }
}

void TCustomImgPanel::paintEvent(QPaintEvent* e)
{
    QPainter p(viewport());
    const QRect r = e->rect();
    const qreal d = m_back.devicePixelRatio();
    // Parts of the window the back buffer does not cover yet.
    const QRegion rest =
        QRegion(r) - QRegion(QRect(QPoint(0, 0), m_back.deviceIndependentSize().toSize()));
    for (const QRect& q : rest) p.fillRect(q, ColorToRGB(m_color));
    if (d == 1) {
        p.drawImage(r.topLeft(), m_back, r);
        return;
    }
    // The back buffer holds device pixels: copied one to one in device
    // coordinates (the paint region clips it), so no fraction resamples it.
    const QRect source = sq::deviceEdges(r.adjusted(-1, -1, 1, 1), d) & m_back.rect();
    p.setWorldTransform(QTransform::fromScale(1 / d, 1 / d));
    p.drawImage(QRectF(source), m_back, QRectF(source));
}

void TCustomImgPanel::resizeEvent(QResizeEvent* e)
{
    QAbstractScrollArea::resizeEvent(e);
    if (OnResize) OnResize(this);
    layout(viewport()->width(), viewport()->height());
}
