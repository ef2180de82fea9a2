// Enhanced and plain Windows metafiles as pictures. An enhanced metafile is
// checked record by record, then converted to SVG by libemf2svg and drawn
// by QSvgRenderer; a plain metafile's records are read with libUEMF and the
// common ones played onto a QPainter.
#include "engine/ImgUtils_meta.h"

#include "engine/ImgUtils.h"
#include "engine/TextLines.h"
#include "platform/SafeRead.h"

#include <emf2svg.h>
#include <uemf_safe.h>
#include <uwmf.h>

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QSvgRenderer>

#include <cmath>
#include <cstring>
#include <vector>

namespace {

quint32 u32At(const QByteArray& b, qsizetype at)
{
    return quint32(uchar(b[at])) | quint32(uchar(b[at + 1])) << 8 |
           quint32(uchar(b[at + 2])) << 16 | quint32(uchar(b[at + 3])) << 24;
}
quint16 u16At(const QByteArray& b, qsizetype at)
{
    return quint16(uchar(b[at]) | uchar(b[at + 1]) << 8);
}
qint16 i16At(const QByteArray& b, qsizetype at)
{
    return qint16(u16At(b, at));
}
qint32 i32At(const QByteArray& b, qsizetype at)
{
    return qint32(u32At(b, at));
}

// Pixels at 96 dpi, rounded as the Windows MulDiv does; 0 when absurd.
int pixelsAt96(qint64 length, qint64 unitsPerInch)
{
    if (length <= 0 || unitsPerInch <= 0) return 0;
    const qint64 px = (length * 96 + unitsPerInch / 2) / unitsPerInch;
    return px > 0 && px <= 1 << 20 ? int(px) : 0;
}

bool sizeAllowed(QSize size)
{
    return size.isValid() && !size.isEmpty() &&
           qint64(size.width()) * size.height() <= TImgUtil::MaxPixels;
}

// ---- enhanced metafiles ----

constexpr quint32 kEmrHeader = 1;
constexpr quint32 kEmrEof = 14;
constexpr quint32 kEmfSignature = 0x464D4520; // " EMF"
constexpr qsizetype kEmfHeaderMin = 88;

struct SvgFree
{
    void operator()(char* p) const { std::free(p); }
};

// ---- plain metafiles ----

constexpr quint32 kPlaceableKey = 0x9AC6CDD7;
constexpr qsizetype kPlaceableSize = 22;
constexpr qsizetype kWmfHeaderSize = 18;

struct WmfLayout
{
    bool placeable = false;
    QRect box;    // placeable box, logical units
    int inch = 0; // placeable units per inch
    qsizetype records = 0;
    int objects = 0;
    QSize extent; // the first window extent, when any
};

// One record of a plain metafile: its bytes (size checked) and function.
struct WmfRecord
{
    const char* data;
    qsizetype size;
    quint16 function;
};

// Walks the headers and the records up to the end record; false when a
// header or a record does not fit, or the end record is missing.
template <typename Visit> bool walkWmf(const QByteArray& bytes, WmfLayout& layout, Visit&& visit)
{
    qsizetype at = 0;
    const qsizetype n = bytes.size();
    if (n >= 4 && u32At(bytes, 0) == kPlaceableKey) {
        if (n < kPlaceableSize) return false;
        layout.placeable = true;
        const int left = i16At(bytes, 6), top = i16At(bytes, 8), right = i16At(bytes, 10),
                  bottom = i16At(bytes, 12);
        layout.box = QRect(QPoint(left, top), QSize(right - left, bottom - top));
        layout.inch = u16At(bytes, 14);
        at = kPlaceableSize;
    }
    if (n - at < kWmfHeaderSize) return false;
    const quint16 type = u16At(bytes, at), headerWords = u16At(bytes, at + 2);
    if ((type != 1 && type != 2) || headerWords != 9) return false;
    layout.objects = u16At(bytes, at + 10);
    at += kWmfHeaderSize;
    const char* const limit = bytes.constData() + n;
    for (;;) {
        if (n - at < 6) return false; // cut short before the end record
        const char* record = bytes.constData() + at;
        const qint64 words = u32At(bytes, at);
        if (words < 3 || words > (n - at) / 2) return false;
        const qsizetype size = qsizetype(words * 2);
        if (U_WMRRECSAFE_get(record, limit) == 0) return false;
        const quint16 function = u16At(bytes, at + 4);
        if (function == 0) return true;
        ++layout.records;
        if ((function & 0xff) == U_WMR_SETWINDOWEXT && layout.extent.isEmpty() && size >= 10) {
            U_POINT16 ext{};
            if (U_WMRSETWINDOWEXT_get(record, &ext)) layout.extent = QSize(ext.x, ext.y);
        }
        if (!visit(WmfRecord{record, size, function})) return false;
        at += size;
    }
}

QSize wmfPictureSize(const WmfLayout& layout)
{
    if (layout.placeable) {
        const int inch = layout.inch > 0 ? layout.inch : 1440;
        return QSize(pixelsAt96(std::abs(layout.box.width()), inch),
                     pixelsAt96(std::abs(layout.box.height()), inch));
    }
    return QSize(std::abs(layout.extent.width()), std::abs(layout.extent.height()));
}

QColor colourOf(const U_COLORREF& c)
{
    return QColor(c.Red, c.Green, c.Blue);
}

// Reads a U_COLORREF (4 bytes, unaligned) from p.
U_COLORREF colourAt(const char* p)
{
    U_COLORREF c;
    std::memcpy(&c, p, sizeof c);
    return c;
}

// The state of the player: the object table, the selected objects and the
// settings the records change.
class WmfPlayer
{
public:
    WmfPlayer(QPainter& painter, const WmfLayout& layout, QSize size)
        : m_painter(painter), m_size(size)
    {
        m_objects.resize(std::min(layout.objects, 4096));
        if (layout.placeable) {
            m_org = layout.box.topLeft();
            m_ext = layout.box.size();
        } else {
            m_ext = layout.extent;
        }
        m_pen = QPen(Qt::black, 0);
        m_brush = QBrush(Qt::white);
        applyWindow();
    }

    void play(const WmfRecord& r);

private:
    enum class Kind { Free, Pen, Brush, Font, Other };
    struct Object
    {
        Kind kind = Kind::Free;
        QPen pen;
        QBrush brush;
        QFont font;
        bool shiftJis = false;
    };

    void applyWindow()
    {
        QTransform t;
        if (m_ext.width() != 0 && m_ext.height() != 0) {
            t.scale(qreal(m_size.width()) / m_ext.width(), qreal(m_size.height()) / m_ext.height());
            t.translate(-m_org.x(), -m_org.y());
        }
        m_painter.setTransform(t);
    }
    void add(Object object)
    {
        for (Object& slot : m_objects)
            if (slot.kind == Kind::Free) {
                slot = std::move(object);
                return;
            }
        if (m_objects.size() < 65535) m_objects.push_back(std::move(object));
    }
    void addOther()
    {
        Object o;
        o.kind = Kind::Other;
        add(std::move(o));
    }
    void select(quint16 index)
    {
        if (index >= m_objects.size()) return;
        const Object& o = m_objects[index];
        if (o.kind == Kind::Pen)
            m_pen = o.pen;
        else if (o.kind == Kind::Brush)
            m_brush = o.brush;
        else if (o.kind == Kind::Font) {
            m_font = o.font;
            m_shiftJis = o.shiftJis;
        }
    }
    void shape()
    {
        m_painter.setPen(m_pen);
        m_painter.setBrush(m_brush);
    }
    void text(QPointF at, const QByteArray& bytes);

    QPainter& m_painter;
    QSize m_size;
    QPoint m_org;
    QSize m_ext;
    std::vector<Object> m_objects;
    QPen m_pen;
    QBrush m_brush;
    QFont m_font;
    bool m_shiftJis = false;
    QColor m_textColour = Qt::black;
    QColor m_bkColour = Qt::white;
    bool m_opaque = true;
    quint16 m_align = 0;
    Qt::FillRule m_fill = Qt::OddEvenFill;
    QPointF m_position;
};

Qt::PenStyle penStyle(quint16 style)
{
    switch (style & 0x0f) {
    case 1:
        return Qt::DashLine;
    case 2:
        return Qt::DotLine;
    case 3:
        return Qt::DashDotLine;
    case 4:
        return Qt::DashDotDotLine;
    case 5:
        return Qt::NoPen;
    default:
        return Qt::SolidLine;
    }
}

QBrush brushOf(quint16 style, const QColor& colour, quint16 hatch)
{
    static const Qt::BrushStyle hatches[] = {Qt::HorPattern,   Qt::VerPattern,
                                             Qt::FDiagPattern, Qt::BDiagPattern,
                                             Qt::CrossPattern, Qt::DiagCrossPattern};
    if (style == 1) // null brush
        return QBrush(Qt::NoBrush);
    if (style == 2 && hatch < std::size(hatches)) return QBrush(colour, hatches[hatch]);
    return QBrush(colour);
}

void WmfPlayer::text(QPointF at, const QByteArray& bytes)
{
    const QString s = m_shiftJis ? sq::decodeText(bytes) : QString::fromLatin1(bytes);
    const QFontMetricsF metrics(m_font);
    const qreal width = metrics.horizontalAdvance(s);
    qreal x = at.x(), top = at.y();
    if ((m_align & 6) == 6) // TA_CENTER
        x -= width / 2;
    else if (m_align & 2) // TA_RIGHT
        x -= width;
    if ((m_align & 24) == 24) // TA_BASELINE
        top -= metrics.ascent();
    else if (m_align & 8) // TA_BOTTOM
        top -= metrics.height();
    m_painter.setFont(m_font);
    if (m_opaque) m_painter.fillRect(QRectF(x, top, width, metrics.height()), m_bkColour);
    m_painter.setPen(m_textColour);
    m_painter.drawText(QPointF(x, top + metrics.ascent()), s);
}

void WmfPlayer::play(const WmfRecord& r)
{
    const char* p = r.data;
    // Parameters start after the 6-byte record head; every read below is
    // checked against the record's size first.
    const qsizetype params = r.size - 6;
    const auto has = [params](qsizetype bytes) { return bytes >= 0 && bytes <= params; };
    switch (r.function & 0xff) {
    case U_WMR_SETWINDOWORG: {
        U_POINT16 org{};
        if (has(4) && U_WMRSETWINDOWORG_get(p, &org)) {
            m_org = QPoint(org.x, org.y);
            applyWindow();
        }
        break;
    }
    case U_WMR_SETWINDOWEXT: {
        U_POINT16 ext{};
        if (has(4) && U_WMRSETWINDOWEXT_get(p, &ext)) {
            m_ext = QSize(ext.x, ext.y);
            applyWindow();
        }
        break;
    }
    case U_WMR_CREATEPENINDIRECT: {
        U_PEN pen{};
        if (has(10) && U_WMRCREATEPENINDIRECT_get(p, &pen)) {
            Object o;
            o.kind = Kind::Pen;
            o.pen = QPen(colourOf(pen.Color), qreal(pen.Widthw[0]), penStyle(pen.Style));
            add(o);
        } else {
            addOther();
        }
        break;
    }
    case U_WMR_CREATEBRUSHINDIRECT: {
        const char* brush = nullptr;
        if (has(8) && U_WMRCREATEBRUSHINDIRECT_get(p, &brush) && brush) {
            quint16 style, hatch;
            std::memcpy(&style, brush, 2);
            std::memcpy(&hatch, brush + 6, 2);
            Object o;
            o.kind = Kind::Brush;
            o.brush = brushOf(style, colourOf(colourAt(brush + 2)), hatch);
            add(o);
        } else {
            addOther();
        }
        break;
    }
    case U_WMR_CREATEFONTINDIRECT: {
        const char* font = nullptr;
        if (has(18) && U_WMRCREATEFONTINDIRECT_get(p, &font) && font) {
            qint16 height, weight;
            std::memcpy(&height, font, 2);
            std::memcpy(&weight, font + 8, 2);
            Object o;
            o.kind = Kind::Font;
            const qsizetype faceMax = std::min<qsizetype>(32, params - 18);
            const QByteArray face(font + 18, qstrnlen(font + 18, size_t(faceMax)));
            if (!face.isEmpty()) o.font.setFamily(QString::fromLatin1(face));
            o.font.setPixelSize(height == 0 ? 12 : std::min(std::abs(int(height)), 4096));
            if (weight > 0) o.font.setWeight(QFont::Weight(std::clamp(int(weight), 1, 1000)));
            o.font.setItalic(font[10] != 0);
            o.font.setUnderline(font[11] != 0);
            o.font.setStrikeOut(font[12] != 0);
            o.shiftJis = uchar(font[13]) == 128;
            add(o);
        } else {
            addOther();
        }
        break;
    }
    // Objects this player does not draw still take their slot, so that
    // later indices stay right.
    case U_WMR_CREATEPALETTE:
    case U_WMR_CREATEPATTERNBRUSH:
    case U_WMR_DIBCREATEPATTERNBRUSH:
    case U_WMR_CREATEREGION:
        addOther();
        break;
    case U_WMR_SELECTOBJECT: {
        uint16_t index = 0;
        if (has(2) && U_WMRSELECTOBJECT_get(p, &index)) select(index);
        break;
    }
    case U_WMR_DELETEOBJECT: {
        uint16_t index = 0;
        if (has(2) && U_WMRDELETEOBJECT_get(p, &index) && index < m_objects.size())
            m_objects[index] = Object{};
        break;
    }
    case U_WMR_SETBKCOLOR: {
        U_COLORREF c{};
        if (has(4) && U_WMRSETBKCOLOR_get(p, &c)) m_bkColour = colourOf(c);
        break;
    }
    case U_WMR_SETTEXTCOLOR: {
        U_COLORREF c{};
        if (has(4) && U_WMRSETTEXTCOLOR_get(p, &c)) m_textColour = colourOf(c);
        break;
    }
    case U_WMR_SETBKMODE:
        if (has(2))
            m_opaque = u16At(QByteArray::fromRawData(p, int(r.size)), 6) != 1; // 1 = TRANSPARENT
        break;
    case U_WMR_SETTEXTALIGN:
        if (has(2)) m_align = u16At(QByteArray::fromRawData(p, int(r.size)), 6);
        break;
    case U_WMR_SETPOLYFILLMODE:
        if (has(2))
            m_fill = u16At(QByteArray::fromRawData(p, int(r.size)), 6) == 2 ? Qt::WindingFill
                                                                            : Qt::OddEvenFill;
        break;
    case U_WMR_RECTANGLE:
    case U_WMR_ELLIPSE: {
        U_RECT16 rect{};
        const bool ellipse = (r.function & 0xff) == U_WMR_ELLIPSE;
        if (!has(8) || !(ellipse ? U_WMRELLIPSE_get(p, &rect) : U_WMRRECTANGLE_get(p, &rect)))
            break;
        const QRectF box =
            QRectF(QPointF(rect.left, rect.top), QPointF(rect.right, rect.bottom)).normalized();
        shape();
        if (ellipse)
            m_painter.drawEllipse(box);
        else
            m_painter.drawRect(box);
        break;
    }
    case U_WMR_POLYGON:
    case U_WMR_POLYLINE: {
        uint16_t count = 0;
        const char* data = nullptr;
        const bool polygon = (r.function & 0xff) == U_WMR_POLYGON;
        if (!has(2)) break;
        if (!(polygon ? U_WMRPOLYGON_get(p, &count, &data) : U_WMRPOLYLINE_get(p, &count, &data)) ||
            !data)
            break;
        if (!has(2 + qsizetype(count) * 4)) break;
        QPolygonF points;
        points.reserve(count);
        for (int i = 0; i < count; ++i) {
            U_POINT16 pt;
            std::memcpy(&pt, data + 4 * i, sizeof pt);
            points << QPointF(pt.x, pt.y);
        }
        if (polygon) {
            shape();
            m_painter.drawPolygon(points, m_fill);
        } else {
            m_painter.setPen(m_pen);
            m_painter.drawPolyline(points);
        }
        break;
    }
    case U_WMR_MOVETO: {
        U_POINT16 pt{};
        if (has(4) && U_WMRMOVETO_get(p, &pt)) m_position = QPointF(pt.x, pt.y);
        break;
    }
    case U_WMR_LINETO: {
        U_POINT16 pt{};
        if (has(4) && U_WMRLINETO_get(p, &pt)) {
            m_painter.setPen(m_pen);
            m_painter.drawLine(m_position, QPointF(pt.x, pt.y));
            m_position = QPointF(pt.x, pt.y);
        }
        break;
    }
    case U_WMR_TEXTOUT: {
        // Length, the string padded to a whole word, then y and x.
        if (!has(2)) break;
        const qint16 length = i16At(QByteArray::fromRawData(p, int(r.size)), 6);
        if (length <= 0 || !has(2 + ((qsizetype(length) + 1) & ~qsizetype(1)) + 4)) break;
        U_POINT16 at{};
        int16_t len = 0;
        const char* string = nullptr;
        if (U_WMRTEXTOUT_get(p, &at, &len, &string) && string && len == length)
            text(QPointF(at.x, at.y), QByteArray(string, len));
        break;
    }
    case U_WMR_EXTTEXTOUT: {
        // y, x, count, options, a rectangle when clipped or opaque, the string.
        if (!has(8)) break;
        const QByteArray head = QByteArray::fromRawData(p, int(r.size));
        const qint16 length = i16At(head, 10);
        const quint16 options = u16At(head, 12);
        const qsizetype rect = (options & (U_ETO_OPAQUE | U_ETO_CLIPPED)) ? 8 : 0;
        if (length <= 0 || !has(8 + rect + length)) break;
        const char* string = p + 6 + 8 + rect;
        text(QPointF(i16At(head, 8), i16At(head, 6)), QByteArray(string, length));
        break;
    }
    default:
        break; // records without a picture of their own, or not played here
    }
}

} // namespace

namespace sq::meta {

QSize emfSize(const QByteArray& bytes, qsizetype* used)
{
    const qsizetype n = bytes.size();
    if (n < kEmfHeaderMin || u32At(bytes, 0) != kEmrHeader || u32At(bytes, 40) != kEmfSignature)
        return {};
    const quint32 headerSize = u32At(bytes, 4);
    if (headerSize < kEmfHeaderMin || headerSize > quint64(n)) return {};
    // The converter reads the description and the pixel format wherever the
    // header points, unchecked: both must lie inside the header record.
    const quint64 descriptionChars = u32At(bytes, 60), descriptionAt = u32At(bytes, 64);
    if (descriptionChars > 0 && (descriptionAt < quint64(kEmfHeaderMin) ||
                                 descriptionAt + 2 * descriptionChars > headerSize))
        return {};
    if (headerSize >= 100) {
        const quint64 formatSize = u32At(bytes, 88), formatAt = u32At(bytes, 92);
        if (formatSize > 0 &&
            (formatAt < quint64(kEmfHeaderMin) || formatAt + formatSize > headerSize))
            return {};
    }
    qsizetype at = 0;
    for (;;) {
        if (n - at < 8) return {}; // cut short before the end record
        const quint32 type = u32At(bytes, at);
        const quint32 size = u32At(bytes, at + 4);
        if (size < 8 || size % 4 != 0 || size > quint64(n - at)) return {};
        // Types past the last one defined are not EMF records (and have no
        // check of their own in libUEMF).
        if (type < U_EMR_MIN || type > U_EMR_MAX || !U_emf_record_safe(bytes.constData() + at))
            return {};
        at += size;
        if (type == kEmrEof) break;
    }
    // The frame is in 0.01 mm.
    const qint64 frameW = qint64(i32At(bytes, 32)) - i32At(bytes, 24);
    const qint64 frameH = qint64(i32At(bytes, 36)) - i32At(bytes, 28);
    const QSize size(pixelsAt96(frameW, 2540), pixelsAt96(frameH, 2540));
    if (!sizeAllowed(size)) return {};
    if (used) *used = at;
    return size;
}

QImage renderEmf(const QByteArray& bytes, QSize size, const QColor& background)
{
    qsizetype used = 0;
    if (!sizeAllowed(size) || !emfSize(bytes, &used).isValid()) return {};
    QByteArray records = bytes.left(used); // the converter wants writable bytes
    // The description is only a caption, and the converter reads one with
    // no count up to a zero it may never find: it gets none.
    std::memset(records.data() + 60, 0, 8);
    generatorOptions options{};
    options.nameSpace = nullptr; // a prefix is copied and never freed by the converter
    options.verbose = false;
    options.emfplus = true;
    options.svgDelimiter = true;
    options.imgWidth = size.width();
    options.imgHeight = size.height();
    char* out = nullptr;
    size_t outLength = 0;
    const int ok = emf2svg(records.data(), size_t(records.size()), &out, &outLength, &options);
    std::unique_ptr<char, SvgFree> svg(out);
    if (!ok || !out || outLength == 0) return {};
    QSvgRenderer renderer(QByteArray(out, qsizetype(outLength)));
    if (!renderer.isValid()) return {};
    QImage image(size, QImage::Format_RGB888);
    if (image.isNull()) return {};
    image.fill(background);
    QPainter painter(&image);
    renderer.render(&painter, QRectF(0, 0, size.width(), size.height()));
    return image;
}

QSize wmfSize(const QByteArray& bytes)
{
    WmfLayout layout;
    if (!walkWmf(bytes, layout, [](const WmfRecord&) { return true; })) return {};
    const QSize size = wmfPictureSize(layout);
    return sizeAllowed(size) ? size : QSize();
}

QImage renderWmf(const QByteArray& bytes, QSize size, const QColor& background)
{
    WmfLayout layout;
    if (!sizeAllowed(size) || !walkWmf(bytes, layout, [](const WmfRecord&) { return true; }))
        return {};
    QImage image(size, QImage::Format_RGB888);
    if (image.isNull()) return {};
    image.fill(background);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    WmfPlayer player(painter, layout, size);
    WmfLayout again;
    walkWmf(bytes, again, [&player](const WmfRecord& r) {
        player.play(r);
        return true;
    });
    return image;
}

} // namespace sq::meta
