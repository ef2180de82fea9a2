#include "engine/ImgBox.h"

#include "engine/DeviceRects.h"
#include "engine/PictureLoader.h"
#include "engine/QuickView.h"
#include "engine/WorkPool.h"

#include <QPainter>
#include <QResizeEvent>
#include <QScrollBar>
#include <QStyle>
#include <qdrawutil.h>

#include <cstring>
#include <vector>

namespace sq {

namespace {

// Paints the colour on every pixel of the 24-bit image outside inner.
void fillAround(QImage& image, QRect inner, const QColor& color)
{
    inner = inner.intersected(image.rect());
    const int w = image.width();
    const unsigned char rgb[3] = {static_cast<unsigned char>(color.red()),
                                  static_cast<unsigned char>(color.green()),
                                  static_cast<unsigned char>(color.blue())};
    std::vector<unsigned char> line(size_t(w) * 3);
    for (size_t i = 0; i < line.size(); ++i)
        line[i] = rgb[i % 3];
    for (int y = 0; y < image.height(); ++y) {
        unsigned char* row = image.scanLine(y);
        if (y < inner.top() || y > inner.bottom() || inner.isEmpty()) {
            std::memcpy(row, line.data(), line.size());
            continue;
        }
        std::memcpy(row, line.data(), size_t(inner.left()) * 3);
        const int right = inner.right() + 1;
        std::memcpy(row + 3 * right, line.data(), size_t(w - right) * 3);
    }
}

// The 24-bit picture's rows into the 24-bit image at `at`, which holds them.
void copyRows(const QImage& picture, QImage& image, QPoint at)
{
    const size_t bytes = size_t(picture.width()) * 3;
    for (int y = 0; y < picture.height(); ++y)
        std::memcpy(image.scanLine(at.y() + y) + 3 * at.x(), picture.constScanLine(y), bytes);
}

} // namespace

TImgView MakeImgView(const QImage& picture, TSizeType type, QSize client, const QColor& color,
                     TWorkPool* pool)
{
    TImgView view;
    const int iw = picture.width(), ih = picture.height();
    const int cw = client.width(), ch = client.height();
    if (iw <= 0 || ih <= 0)
        return view;
    TRectL place;
    if (type == ispImage) {
        place.Left = iw < cw ? (cw - iw) / 2 : 0;
        place.Top = ih < ch ? (ch - ih) / 2 : 0;
        place.Right = place.Left + iw;
        place.Bottom = place.Top + ih;
        if (iw >= cw && ih >= ch && picture.format() == QImage::Format_RGB888) {
            // The picture covers the view: it is the view's bitmap as it
            // stands, shared rather than copied.
            view.Bitmap = picture;
        } else {
            view.Bitmap = QImage(std::max(cw, iw), std::max(ch, ih), QImage::Format_RGB888);
            const QRect inner(place.Left, place.Top, iw, ih);
            if (picture.format() == QImage::Format_RGB888 && !view.Bitmap.isNull()) {
                fillAround(view.Bitmap, inner, color);
                copyRows(picture, view.Bitmap, inner.topLeft());
            } else {
                // Another format is laid on the colour as the painter lays it.
                view.Bitmap.fill(color);
                QPainter p(&view.Bitmap);
                p.drawImage(place.Left, place.Top, picture);
            }
        }
    } else {
        if (cw <= 0 || ch <= 0)
            return view;
        const QRect at = StretchPlace(picture.size(), client);
        const int w = at.width(), h = at.height(), dx = at.x(), dy = at.y();
        // Resampled straight into the view's bitmap; only the bands the
        // picture leaves get the colour.
        view.Bitmap = QImage(cw, ch, QImage::Format_RGB888);
        if (view.Bitmap.isNull()) return TImgView();
        if (ResizeInto(picture, view.Bitmap, QPoint(dx, dy), QSize(w, h), pool))
            fillAround(view.Bitmap, QRect(dx, dy, w, h), color);
        else
            view.Bitmap.fill(color); // out of memory: the colour alone
        place = {dx, dy, dx + w, dy + h};
    }
    place.Right = std::min(place.Right, cw);
    place.Bottom = std::min(place.Bottom, ch);
    view.Place = place;
    view.Placed = true;
    return view;
}

QRect StretchPlace(QSize picture, QSize client)
{
    const int iw = picture.width(), ih = picture.height();
    const int cw = client.width(), ch = client.height();
    const int pw = cw * 100 / iw, ph = ch * 100 / ih;
    int w, h, dx, dy;
    if (pw <= ph) {
        w = cw;
        h = ih * pw / 100;
        dx = 0;
        dy = (ch - h) / 2;
    } else {
        w = iw * ph / 100;
        h = ch;
        dx = (cw - w) / 2;
        dy = 0;
    }
    // A picture far wider or taller than the view still keeps a line.
    return QRect(dx, dy, std::max(1, w), std::max(1, h));
}

TStretchWatch::TStretchWatch(TImgUtil& engine, QSize client)
    : m_engine(engine)
    , m_client(client)
{
    m_engine.setDecodeWatch(this);
}

TStretchWatch::~TStretchWatch()
{
    m_engine.setDecodeWatch(nullptr);
}

bool TStretchWatch::Begin(const QImage& picture)
{
    m_bits = nullptr;
    m_bitmap = QImage();
    if (picture.isNull() || m_client.isEmpty()) return false;
    m_place = StretchPlace(picture.size(), m_client);
    m_bitmap = QImage(m_client, QImage::Format_RGB888);
    if (m_bitmap.isNull() || !m_stream.Begin(picture.size(), m_bitmap, m_place.topLeft(),
                                             m_place.size(), m_engine.ResamplePool())) {
        m_bitmap = QImage();
        return false;
    }
    m_picture = picture.size();
    m_bits = picture.constBits();
    return true;
}

void TStretchWatch::Rows(const unsigned char* const* rows, int y0, int y1)
{
    m_stream.Rows(rows, y0, y1);
}

void TStretchWatch::End()
{
    // The rows still on a helper are waited for while the picture is there.
    m_stream.Finish();
}

TImgView TStretchWatch::View(const QImage& picture, QSize client, const QColor& color)
{
    if (!m_bits || !m_engine.LastWatched() || client != m_client || picture.size() != m_picture ||
        picture.constBits() != m_bits || !m_stream.Finish())
        return {};
    TImgView view;
    fillAround(m_bitmap, m_place, color);
    view.Bitmap = std::move(m_bitmap);
    m_bits = nullptr;
    const QRect& r = m_place;
    view.Place = {r.x(), r.y(), std::min(r.x() + r.width(), client.width()),
                  std::min(r.y() + r.height(), client.height())};
    view.Placed = true;
    return view;
}

QSize ImgClientSize(QSize inner, int lineStep, QSize picture, TSizeType type)
{
    const int w = std::max(0, inner.width()), h = std::max(0, inner.height());
    if (type == ispStretch || !picture.isValid())
        return QSize(w, h);
    // As UpdateScrollBars decides: the vertical bar first, then the
    // horizontal one beside it.
    const bool needV = h < picture.height();
    const int cw = std::max(0, w - (needV ? lineStep : 0));
    const bool needH = cw < picture.width();
    return QSize(cw, std::max(0, h - (needH ? lineStep : 0)));
}

} // namespace sq

TCustomImgBox::TCustomImgBox(QWidget* parent)
    : QWidget(parent)
    , m_imgUtil(std::make_unique<TImgUtil>())
    , m_quickPixels(sq::kQuickPixels)
{
    m_imgUtil->setGetType(igtNormal);
    // A view's pictures are resampled on the engine's idle helpers too.
    m_imgUtil->setResamplePool(&sq::TWorkPool::instance());
    setFocusPolicy(Qt::StrongFocus); // arrow keys come here
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_vbar = new QScrollBar(Qt::Vertical, this);
    m_hbar = new QScrollBar(Qt::Horizontal, this);
    m_vbar->hide();
    m_hbar->hide();
    connect(m_hbar, &QScrollBar::valueChanged, this, [this](int v) {
        if (!m_syncingBars)
            ScrollBy(v - m_scrollX, 0);
    });
    connect(m_vbar, &QScrollBar::valueChanged, this, [this](int v) {
        if (!m_syncingBars)
            ScrollBy(0, v - m_scrollY);
    });
}

TCustomImgBox::~TCustomImgBox() = default;

int TCustomImgBox::LineStep() const
{
    if (m_lineStep < 0)
        m_lineStep = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    return m_lineStep;
}

QSize TCustomImgBox::clientSize() const
{
    const int b = borderWidth();
    const int w = width() - 2 * b - (m_vbar->isVisibleTo(this) ? LineStep() : 0);
    const int h = height() - 2 * b - (m_hbar->isVisibleTo(this) ? LineStep() : 0);
    return QSize(std::max(0, w), std::max(0, h));
}

void TCustomImgBox::setSizeType(TSizeType type)
{
    if (type == m_sizeType)
        return;
    m_sizeType = type;
    ResetView();
    UpdateScrollBars(true);
    Redraw();
}

void TCustomImgBox::setBorderStyle(TBorderStyle style)
{
    if (style == m_borderStyle)
        return;
    m_borderStyle = style;
    placeBars();
    if (m_loaded) {
        UpdateScrollBars(false);
        Redraw();
    }
    update();
}

void TCustomImgBox::setColor(const QColor& color)
{
    if (color == m_color)
        return;
    m_color = color;
    if (m_loaded)
        Redraw();
    update();
}

int TCustomImgBox::LoadFile(const QString& fileName)
{
    m_imageFile = fileName;
    ResetView();
    cancelExact();
    if (loadQuick(fileName)) return 0;
    // The fitting rules size the picture to the area inside the border, the
    // part the view shows; the outer size would leave a large picture a few
    // pixels too big, with a scroll bar and its edge cut.
    const int b = borderWidth();
    const QSize inner = sq::toDevice(
        QSize(std::max(0, width() - 2 * b), std::max(0, height() - 2 * b)), viewRatio());
    // A stretched view is resampled as the picture decodes.
    std::optional<sq::TStretchWatch> watch;
    if (m_sizeType == ispStretch) watch.emplace(*m_imgUtil, inner);
    const int result = m_imgUtil->LoadImage(fileName, inner.width(), inner.height(), 0);
    m_loaded = result == 0;
    UpdateScrollBars(true);
    if (m_loaded && watch)
        placeView(makeView(m_imgUtil->Bitmap().image(), m_sizeType, clientSize(), m_color,
                           viewRatio(), &*watch));
    else
        Redraw();
    return result;
}

void TCustomImgBox::Clear()
{
    m_imageFile.clear();
    m_loaded = false;
    cancelExact();
    m_imgUtil->Bitmap().empty();
    ResetView();
    UpdateScrollBars(true);
    update();
}

TCustomImgBox::Load TCustomImgBox::beginLoad(const QString& fileName)
{
    m_imageFile = fileName;
    ResetView();
    cancelExact();
    Load load;
    load.Engine = m_imgUtil.get();
    load.File = fileName;
    const int b = borderWidth();
    load.Inner = QSize(width() - 2 * b, height() - 2 * b);
    load.LineStep = LineStep();
    load.Type = m_sizeType;
    load.Ratio = viewRatio();
    load.Color = m_color;
    return load;
}

void TCustomImgBox::runLoad(Load& load)
{
    try {
        const QSize box = sq::toDevice(load.Inner.expandedTo(QSize(0, 0)), load.Ratio);
        // A stretched view is resampled as the picture decodes.
        std::optional<sq::TStretchWatch> watch;
        if (load.Type == ispStretch) watch.emplace(*load.Engine, box);
        load.Result = load.Engine->LoadImage(load.File, box.width(), box.height(), 0);
        if (load.Result != 0)
            return;
        const QImage& picture = load.Engine->Bitmap().image();
        load.Client = sq::ImgClientSize(load.Inner, load.LineStep, picture.size(), load.Type);
        load.View = makeView(picture, load.Type, load.Client, load.Color, load.Ratio,
                             watch ? &*watch : nullptr);
    } catch (...) {
        // Out of memory on a worker: the box shows nothing, as for a file
        // that cannot be decoded, and the program goes on.
        load.Result = -1;
        load.View = TImgView();
    }
}

int TCustomImgBox::endLoad(Load& load)
{
    m_loaded = load.Result == 0;
    UpdateScrollBars(true);
    // The view was made for the client area the scroll bars were expected
    // to leave; should they leave another, it is made again for that.
    if (m_loaded && clientSize() == load.Client && load.Ratio == viewRatio())
        placeView(std::move(load.View));
    else
        Redraw();
    return load.Result;
}

QList<int> TCustomImgBox::loadTogether(const QList<TCustomImgBox*>& boxes, const QStringList& files)
{
    const qsizetype n = std::min(boxes.size(), files.size());
    QList<int> results;
    bool together = n > 1;
    for (qsizetype i = 0; i < n && together; ++i) {
        const TImgUtil& engine = *boxes.at(i)->ImgUtil();
        // The program's picture loader is stateless, for any thread at once.
        const bool loader = engine.CustomLoader() && engine.CustomLoader() != &TPictureLoader::instance();
        if (engine.Thumbnail() || engine.SPlugin() || loader ||
            boxes.indexOf(boxes.at(i)) != i)
            together = false;
    }
    if (!together) {
        for (qsizetype i = 0; i < n; ++i)
            results << boxes.at(i)->LoadFile(files.at(i));
        return results;
    }

    std::vector<Load> loads;
    loads.reserve(size_t(n));
    for (qsizetype i = 0; i < n; ++i)
        loads.push_back(boxes.at(i)->beginLoad(files.at(i)));
    // Each thread takes the next load until none is left, so a helper that
    // starts late only finds less to do; the calling thread, done with its
    // own, makes rows of the others' views meanwhile.
    sq::TWorkPool::instance().ForItems(int(n), 0, [&loads](int i) { runLoad(loads[size_t(i)]); });
    for (qsizetype i = 0; i < n; ++i)
        results << boxes.at(i)->endLoad(loads[size_t(i)]);
    return results;
}

void TCustomImgBox::ResetView()
{
    m_pictureRect = {-1, -1, -1, -1};
    m_hasPlacement = false;
    m_viewBitmap = QImage();
}

void TCustomImgBox::Redraw()
{
    if (!m_loaded) {
        m_imageFile.clear();
        update();
        return;
    }
    placeView(
        makeView(m_imgUtil->Bitmap().image(), m_sizeType, clientSize(), m_color, viewRatio()));
}

TImgView TCustomImgBox::makeView(const QImage& picture, TSizeType type, QSize client,
                                 const QColor& color, qreal ratio, sq::TStretchWatch* watch)
{
    const QSize device = sq::toDevice(client, ratio);
    TImgView view;
    if (watch && type == ispStretch) view = watch->View(picture, device, color);
    if (!view.Placed)
        view = sq::MakeImgView(picture, type, device, color, &sq::TWorkPool::instance());
    if (ratio != 1 && view.Placed) {
        view.Bitmap.setDevicePixelRatio(ratio);
        // The place the windows draw their marks on is logical.
        TRectL& r = view.Place;
        auto back = [ratio](int v) { return int(std::lround(v / ratio)); };
        r = {back(r.Left), back(r.Top), std::min(back(r.Right), client.width()),
             std::min(back(r.Bottom), client.height())};
    }
    return view;
}

void TCustomImgBox::placeView(TImgView view)
{
    if (!view.Placed)
        return;
    m_viewBitmap = std::move(view.Bitmap);
    m_pictureRect = view.Place;
    m_hasPlacement = true;
    update();
}

void TCustomImgBox::UpdateScrollBars(bool reset)
{
    const QImage& picture = m_imgUtil->Bitmap().image();
    const int iw = m_loaded ? picture.width() : 0, ih = m_loaded ? picture.height() : 0;
    if (reset || m_sizeType == ispStretch) {
        m_scrollX = m_scrollY = 0;
    } else {
        const QSize client = clientSize();
        m_scrollX = std::max(0, std::min(m_scrollX, iw - client.width()));
        m_scrollY = std::max(0, std::min(m_scrollY, ih - client.height()));
    }
    m_syncingBars = true;
    if (m_sizeType == ispStretch || !m_loaded) {
        m_vbar->hide();
        m_hbar->hide();
        m_syncingBars = false;
        placeBars();
        return;
    }
    const int step = LineStep();
    // Vertical first, judged as if the horizontal bar were not there.
    const int clientH = clientSize().height() + (m_hbar->isVisibleTo(this) ? step : 0);
    const bool needV = clientH < ih;
    m_vbar->setVisible(needV);
    placeBars();
    // Then horizontal, with the vertical bar's new state.
    const bool needH = clientSize().width() < iw;
    m_hbar->setVisible(needH);
    placeBars();
    const QSize client = clientSize();
    if (needV) {
        m_scrollMaxY = ih - 1;
        m_vbar->setRange(0, std::max(0, ih - client.height()));
        m_vbar->setPageStep(std::max(1, client.height()));
        m_vbar->setSingleStep(step);
        m_vbar->setValue(m_scrollY);
    } else {
        m_scrollY = 0;
    }
    if (needH) {
        m_scrollMaxX = iw - 1;
        m_hbar->setRange(0, std::max(0, iw - client.width()));
        m_hbar->setPageStep(std::max(1, client.width()));
        m_hbar->setSingleStep(step);
        m_hbar->setValue(m_scrollX);
    } else {
        m_scrollX = 0;
    }
    m_syncingBars = false;
}

void TCustomImgBox::placeBars()
{
    const int b = borderWidth();
    const int step = LineStep();
    const bool v = m_vbar->isVisibleTo(this), h = m_hbar->isVisibleTo(this);
    m_vbar->setGeometry(width() - b - step, b, step, std::max(0, height() - 2 * b - (h ? step : 0)));
    m_hbar->setGeometry(b, height() - b - step, std::max(0, width() - 2 * b - (v ? step : 0)), step);
}

void TCustomImgBox::ScrollBy(int dx, int dy)
{
    if (dx == 0 && dy == 0)
        return;
    const QImage& picture = m_imgUtil->Bitmap().image();
    const QSize client = clientSize();
    const int maxX = std::max(0, picture.width() - client.width());
    const int maxY = std::max(0, picture.height() - client.height());
    m_scrollX = std::clamp(m_scrollX + dx, 0, maxX);
    m_scrollY = std::clamp(m_scrollY + dy, 0, maxY);
    m_syncingBars = true;
    if (m_hbar->isVisibleTo(this))
        m_hbar->setValue(m_scrollX);
    if (m_vbar->isVisibleTo(this))
        m_vbar->setValue(m_scrollY);
    m_syncingBars = false;
    update();
}

void TCustomImgBox::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const int b = borderWidth();
    const QSize client = clientSize();
    const QRect area(b, b, client.width(), client.height());
    const qreal d = m_viewBitmap.isNull() ? 1 : m_viewBitmap.devicePixelRatio();
    if (d == 1) {
        const QRect source(m_scrollX, m_scrollY, client.width(), client.height());
        // The background only where the bitmap leaves the client uncovered.
        if (m_viewBitmap.isNull() || !m_viewBitmap.rect().contains(source))
            p.fillRect(rect(), m_color);
        if (!m_viewBitmap.isNull()) p.drawImage(area.topLeft(), m_viewBitmap, source);
    } else {
        // A bitmap of device pixels is copied one to one: drawn in device
        // coordinates, at a whole device pixel, so no fraction resamples it.
        // The border goes first: at a fractional ratio its lines reach a
        // device pixel into the client, which the picture then covers again.
        const QRect target = sq::deviceBox(area, d);
        const QRect source = QRect(QPoint(0, 0), target.size()) & m_viewBitmap.rect();
        p.fillRect(rect(), m_color);
        if (b > 0) qDrawShadePanel(&p, rect(), palette(), true, b);
        p.save();
        p.setWorldTransform(QTransform::fromScale(1 / d, 1 / d));
        p.drawImage(QRectF(QRect(target.topLeft(), source.size())), m_viewBitmap, QRectF(source));
        p.restore();
    }
    // The square between two scroll bars belongs to neither: left alone it
    // would show whatever was painted there before.
    if (m_vbar->isVisibleTo(this) && m_hbar->isVisibleTo(this))
        p.fillRect(QRect(area.right() + 1, area.bottom() + 1, LineStep(), LineStep()),
                   palette().window());
    if (b > 0 && d == 1) qDrawShadePanel(&p, rect(), palette(), true, b);
    p.setClipRect(area);
    p.translate(area.topLeft());
    if (OnPaint)
        OnPaint(this, p);
}

bool TCustomImgBox::event(QEvent* event)
{
    const bool done = QWidget::event(event);
    // On a screen of another ratio a stretched picture is made anew, from
    // the file when the engine fitted it to the old device size.
    if (event->type() == QEvent::ScreenChangeInternal && m_loaded && m_sizeType == ispStretch &&
        m_viewBitmap.devicePixelRatio() != viewRatio()) {
        if (m_imgUtil->GetType() == igtNormal)
            Redraw();
        else
            LoadFile(m_imageFile);
    }
    return done;
}

void TCustomImgBox::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    placeBars();
    if (!m_loaded)
        return;
    UpdateScrollBars(false);
    Redraw();
}
