#include "engine/HtmlBounds.h"

#include <QHash>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextList>
#include <QTextTable>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <vector>

namespace sq::html {

namespace {

// What the scan needs to know of an element: how Qt's parser places it and
// what laying it out costs.
enum class Tag : quint8 {
    Other, // inline or unknown: nests, does not break a word
    Block, // nests and ends the word before it
    Void,  // never has children (img, meta)
    Break, // never has children, ends the word (br, hr)
    Table,
    Row,     // tr
    Cell,    // td, th
    Section, // thead, tbody, tfoot
    Caption,
    Dl,
    Dt,
    Dd,
    P,
    Li,
    Head,
    Hidden, // script, style, title: never laid out, nor is what they hold
    Body,
    Html,
    Count
};

const QHash<QString, Tag>& knownTags()
{
    static const QHash<QString, Tag> tags = [] {
        QHash<QString, Tag> t;
        const std::pair<const char*, Tag> list[] = {
            {"img", Tag::Void},      {"meta", Tag::Void},     {"br", Tag::Break},
            {"hr", Tag::Break},      {"table", Tag::Table},   {"tr", Tag::Row},
            {"td", Tag::Cell},       {"th", Tag::Cell},       {"thead", Tag::Section},
            {"tbody", Tag::Section}, {"tfoot", Tag::Section}, {"caption", Tag::Caption},
            {"dl", Tag::Dl},         {"dt", Tag::Dt},         {"dd", Tag::Dd},
            {"p", Tag::P},           {"li", Tag::Li},         {"head", Tag::Head},
            {"script", Tag::Hidden}, {"style", Tag::Hidden},  {"title", Tag::Hidden},
            {"body", Tag::Body},     {"html", Tag::Html},     {"div", Tag::Block},
            {"ul", Tag::Block},      {"ol", Tag::Block},      {"blockquote", Tag::Block},
            {"pre", Tag::Block},     {"center", Tag::Block},  {"h1", Tag::Block},
            {"h2", Tag::Block},      {"h3", Tag::Block},      {"h4", Tag::Block},
            {"h5", Tag::Block},      {"h6", Tag::Block},      {"address", Tag::Block},
        };
        for (const auto& [name, tag] : list)
            t.insert(QString::fromLatin1(name), tag);
        return t;
    }();
    return tags;
}

// Layout cost of the parts of a page, in about microseconds of QTextDocument
// time (bench_html and the per-kind figures behind it, rounded up): every
// element and character costs twice as much for each table around it, an
// unbroken word costs the square of its length, and an end tag that closes
// nothing makes the parser walk every open element.
constexpr double kCharCost = 0.3;
constexpr double kWordSquareDivisor = 16384;
constexpr double kHiddenCharCost = 0.01;
constexpr double kElementCost = 8;
constexpr double kEmptyElementCost = 4;
constexpr double kCellCost = 50;
constexpr double kTableCost = 10;
constexpr double kHiddenElementCost = 1;
constexpr double kDepthCost = 0.05;
constexpr double kWalkCost = 0.01;

double elementCost(Tag tag, bool closed)
{
    switch (tag) {
    case Tag::Cell:
        return kCellCost;
    case Tag::Table:
    case Tag::Row:
        return kTableCost;
    case Tag::Void:
    case Tag::Break:
        return kEmptyElementCost;
    default:
        return closed ? kEmptyElementCost : kElementCost;
    }
}

bool endsWord(Tag tag)
{
    return tag != Tag::Other && tag != Tag::Void && tag != Tag::Hidden;
}

// Where a line may break inside text: spaces (not the no-break ones), the
// characters Qt breaks after, and CJK text, which breaks between characters.
bool breaksWord(QChar c)
{
    const char16_t u = c.unicode();
    if (u == 0xA0 || u == 0x2007 || u == 0x202F) return false;
    return c.isSpace() || u == '-' || u == '/' || (u >= 0x2E80 && u <= 0x9FFF) ||
           (u >= 0xAC00 && u <= 0xD7AF) || (u >= 0xF900 && u <= 0xFAFF) ||
           (u >= 0xFF00 && u <= 0xFFEF);
}

class Scanner
{
public:
    explicit Scanner(QStringView s) : m_s(s), m_n(s.size()) {}

    PageBounds run()
    {
        while (m_pos < m_n && !m_stop) {
            const qsizetype lt = m_s.indexOf(QLatin1Char('<'), m_pos);
            text(lt < 0 ? m_n : lt);
            if (m_stop || lt < 0) break;
            m_pos = lt + 1;
            tag();
            if (m_out.tooDeep) break;
            if (m_cost > kMaxCost) {
                m_out.keep = lt;
                m_stop = true;
            }
        }
        if (!m_stop) m_out.keep = m_n;
        m_out.cost = m_cost;
        return m_out;
    }

private:
    // An open element. Qt's document builder does not always close what
    // the parser closes, so that what follows nests deeper: an element that
    // stands straight in a table or a row (no cell between: a caption, broken
    // markup, a table made up for a stray cell) is "loose" and never closes
    // for it, nor does a made-up table, except by an end tag of its own.
    // Elements closed together with one of those stay counted ("kept") with
    // the element the parser went back to, until that one closes.
    struct Open
    {
        QString name;
        Tag tag;
        bool hidden;
        bool loose = false; // loose, or inside a loose element
        bool implicit = false;
        int keptDepth = 0;
        int keptTables = 0;
    };

    bool hidden() const { return !m_stack.empty() && m_stack.back().hidden; }
    int depth() const { return int(m_stack.size()) + m_keptDepth; }
    int tables() const { return m_tables + m_keptTables; }
    double tableFactor() const { return double(qint64(1) << std::min(tables(), 62)); }
    int count(Tag tag) const { return m_kinds[size_t(tag)]; }

    void text(qsizetype end)
    {
        for (; m_pos < end; ++m_pos) {
            if (hidden()) {
                m_cost += kHiddenCharCost;
            } else if (breaksWord(m_s[m_pos])) {
                m_word = 0;
                m_cost += kCharCost * tableFactor();
            } else {
                // The square of the word's length, a character at a time.
                m_cost +=
                    (kCharCost + (2.0 * double(m_word++) + 1) / kWordSquareDivisor) * tableFactor();
            }
            if (m_cost > kMaxCost) {
                m_out.keep = m_pos;
                m_stop = true;
                return;
            }
        }
    }

    void eatSpace()
    {
        while (m_pos < m_n && m_s[m_pos].isSpace())
            ++m_pos;
    }

    void skipPast(QChar c)
    {
        while (m_pos < m_n)
            if (m_s[m_pos++] == c) return;
    }

    // A tag name or an attribute's key or value, as Qt's parser reads one.
    QStringView word()
    {
        if (m_pos < m_n && (m_s[m_pos] == QLatin1Char('"') || m_s[m_pos] == QLatin1Char('\''))) {
            const QChar quote = m_s[m_pos++];
            const qsizetype from = m_pos;
            while (m_pos < m_n && m_s[m_pos] != quote)
                ++m_pos;
            const QStringView w = m_s.mid(from, m_pos - from);
            if (m_pos < m_n) ++m_pos;
            return w;
        }
        const qsizetype from = m_pos;
        while (m_pos < m_n) {
            const QChar c = m_s[m_pos];
            if (c == QLatin1Char('>') || c == QLatin1Char('<') || c == QLatin1Char('=') ||
                c.isSpace() ||
                (c == QLatin1Char('/') && m_pos + 1 < m_n && m_s[m_pos + 1] == QLatin1Char('>')))
                break;
            ++m_pos;
        }
        return m_s.mid(from, m_pos - from);
    }

    void attributes()
    {
        while (m_pos < m_n) {
            eatSpace();
            if (m_pos >= m_n || m_s[m_pos] == QLatin1Char('>') || m_s[m_pos] == QLatin1Char('/'))
                return;
            const QStringView key = word();
            if (key.isEmpty()) return;
            eatSpace();
            if (m_pos < m_n && m_s[m_pos] == QLatin1Char('=')) {
                ++m_pos;
                eatSpace();
                const QStringView value = word();
                // As Qt reads a span: a whole int, else none.
                bool ok = false;
                const int span = value.trimmed().toInt(&ok);
                if (ok && key.compare(QLatin1String("colspan"), Qt::CaseInsensitive) == 0)
                    m_colSpan = std::max(span, 1);
                else if (ok && key.compare(QLatin1String("rowspan"), Qt::CaseInsensitive) == 0)
                    m_rowSpan = std::max(span, 1);
            }
        }
    }

    // After a '<'.
    void tag()
    {
        eatSpace();
        if (m_pos >= m_n) return;
        if (m_s[m_pos] == QLatin1Char('!')) {
            ++m_pos;
            if (m_pos + 1 < m_n && m_s[m_pos] == QLatin1Char('-') &&
                m_s[m_pos + 1] == QLatin1Char('-')) {
                const qsizetype end = m_s.indexOf(u"-->", m_pos + 2);
                m_pos = end >= 0 ? end + 3 : m_n;
            } else {
                skipPast(QLatin1Char('>'));
            }
            return;
        }
        if (m_s[m_pos] == QLatin1Char('/')) {
            ++m_pos;
            const QStringView name = word();
            skipPast(QLatin1Char('>'));
            close(name.toString().toLower().trimmed());
            return;
        }
        const QStringView name = word();
        m_colSpan = m_rowSpan = 1;
        if (m_pos < m_n && m_s[m_pos].isSpace()) attributes();
        bool closed = false;
        for (; m_pos < m_n && m_s[m_pos] != QLatin1Char('>'); ++m_pos)
            if (m_s[m_pos] == QLatin1Char('/')) closed = true;
        if (m_pos < m_n) ++m_pos;
        open(name.toString().toLower(), closed);
    }

    void push(const QString& name, Tag tag, bool hidden)
    {
        bool loose = false;
        if (!m_stack.empty()) {
            const Tag parent = m_stack.back().tag;
            loose = m_stack.back().loose ||
                    ((parent == Tag::Table || parent == Tag::Row || parent == Tag::Section) &&
                     tag != Tag::Row && tag != Tag::Section && tag != Tag::Cell);
        }
        m_stack.push_back(Open{name, tag, hidden, loose});
        ++m_names[name];
        ++m_kinds[size_t(tag)];
        if (tag == Tag::Table) {
            ++m_tables;
            m_grids.emplace_back();
        } else if (tag == Tag::Row && !m_grids.empty()) {
            startRow(m_grids.back());
        }
        noteDepth();
    }

    void noteDepth()
    {
        m_out.depth = std::max(m_out.depth, depth());
        m_out.tableDepth = std::max(m_out.tableDepth, tables());
        if (depth() > kMaxDepth || tables() > kMaxTableDepth) m_out.tooDeep = true;
    }

    // Ends an operation that closed elements: when one of them is one the
    // builder keeps open, all of them stay counted with the innermost open
    // element (or for good).
    void keepClosed()
    {
        const bool keep = m_keepPending;
        m_keepPending = false;
        if (!keep) {
            m_pendingDepth = m_pendingTables = 0;
            return;
        }
        m_keptDepth += m_pendingDepth;
        m_keptTables += m_pendingTables;
        if (!m_stack.empty()) {
            m_stack.back().keptDepth += m_pendingDepth;
            m_stack.back().keptTables += m_pendingTables;
        }
        m_pendingDepth = m_pendingTables = 0;
        noteDepth();
    }

    // Pops the innermost element; what it kept goes with it.
    void pop()
    {
        const Open& top = m_stack.back();
        if (--m_names[top.name] == 0) m_names.remove(top.name);
        --m_kinds[size_t(top.tag)];
        if (top.tag == Tag::Table) {
            if (!m_grids.empty()) {
                finishRow(m_grids.back());
                m_grids.pop_back();
            }
            --m_tables;
        }
        m_keptDepth -= top.keptDepth;
        m_keptTables -= top.keptTables;
        m_pendingDepth += 1 + top.keptDepth;
        m_pendingTables += (top.tag == Tag::Table ? 1 : 0) + top.keptTables;
        m_keepPending = m_keepPending || top.loose || (top.implicit && !m_ownEndTag);
        m_stack.pop_back();
        m_cost += kWalkCost;
    }

    // Pops until the innermost element is of one of the kinds, or all.
    void popTo(Tag a, Tag b = Tag::Count)
    {
        while (!m_stack.empty() && m_stack.back().tag != a && m_stack.back().tag != b)
            pop();
    }

    // A table's grid: Qt fills every row up to the widest with empty cells
    // and lays out each position, so a wide first row (or one wide span)
    // over many rows costs rows x columns cells, however few the page
    // writes. Positions that are no written cell (padding, and those a span
    // covers) cost as cells do.
    struct Grid
    {
        qint64 rows = 0; // finished rows
        qint64 columns = 0;
        qint64 rowColumns = 0; // the current row's, spans included
        bool inRow = false;
        qint64 reserved = 0;                 // columns spans from rows above hold
        std::map<qint64, qint64> releasedAt; // row -> columns its spans give back
    };

    void gridPositions(double positions)
    {
        if (positions > 0) m_cost += positions * kCellCost * tableFactor();
    }

    void finishRow(Grid& g)
    {
        if (!g.inRow) return;
        gridPositions(double(g.columns - g.rowColumns));
        ++g.rows;
        g.inRow = false;
    }

    void startRow(Grid& g)
    {
        finishRow(g);
        g.inRow = true;
        if (const auto it = g.releasedAt.find(g.rows); it != g.releasedAt.end()) {
            g.reserved -= it->second;
            g.releasedAt.erase(it);
        }
        g.rowColumns = g.reserved;
        gridPositions(double(g.reserved));
    }

    void placeCell(Grid& g)
    {
        if (!g.inRow) startRow(g);
        const qint64 span = m_colSpan;
        g.rowColumns += span;
        gridPositions(double(span - 1));
        if (m_rowSpan > 1) {
            g.reserved += span;
            g.releasedAt[g.rows + m_rowSpan] += span;
        }
        if (g.rowColumns > g.columns) {
            gridPositions(double(g.rowColumns - g.columns) * double(g.rows));
            g.columns = g.rowColumns;
        }
    }

    void addElement(Tag tag, bool closed)
    {
        const double deep = kDepthCost * double(depth());
        m_cost +=
            hidden() ? kHiddenElementCost + deep : elementCost(tag, closed) * tableFactor() + deep;
        if (endsWord(tag)) m_word = 0;
    }

    // An element Qt's parser adds by itself (the table and row of a stray
    // cell); it is laid out even inside a hidden element.
    void pushImplicit(const char* name, Tag tag)
    {
        addElement(tag, false);
        push(QString::fromLatin1(name), tag, false);
        m_stack.back().implicit = true;
    }

    // Places the element as Qt's parser does.
    void open(const QString& name, bool closed)
    {
        if (name.isEmpty()) return; // a node without a name never takes children
        const Tag tag = knownTags().value(name, Tag::Other);
        switch (tag) {
        case Tag::Cell:
            // Qt makes up a table and a row for a stray td; a stray th goes
            // out of everything open, as below.
            if (count(Tag::Row) == 0 && name == QLatin1String("td")) {
                pushImplicit("table", Tag::Table);
                pushImplicit("tr", Tag::Row);
            } else {
                popTo(Tag::Row);
            }
            break;
        case Tag::Row:
            if (count(Tag::Table) == 0)
                pushImplicit("table", Tag::Table);
            else
                popTo(Tag::Table, Tag::Section);
            break;
        // An element allowed only inside certain parents goes up to the
        // nearest one; without one, out of everything open.
        case Tag::Section:
        case Tag::Caption:
            popTo(Tag::Table);
            break;
        case Tag::Dt:
            popTo(Tag::Dl);
            break;
        case Tag::Dd:
            popTo(Tag::Dl, Tag::Dt);
            break;
        case Tag::P:
        case Tag::Li:
            if (!m_stack.empty() && m_stack.back().tag == tag) pop();
            break;
        case Tag::Body:
            if (count(Tag::Head) > 0) {
                popTo(Tag::Head);
                pop();
            }
            break;
        default:
            break;
        }
        keepClosed();
        addElement(tag, closed);
        if (tag == Tag::Cell && !m_grids.empty()) placeCell(m_grids.back());
        if (closed || tag == Tag::Void || tag == Tag::Break) return;
        // Only what the body or the page holds is shown: an element inside a
        // hidden one is hidden unless it is one of those.
        const bool inHidden = tag != Tag::Body && tag != Tag::Html &&
                              (hidden() || tag == Tag::Head || tag == Tag::Hidden);
        push(name, tag, inHidden);
    }

    void close(const QString& name)
    {
        if (name.isEmpty()) return;
        if (!m_names.contains(name)) {
            m_cost += kWalkCost * double(m_stack.size());
            return;
        }
        // The end tag of a made-up element closes it (and what it holds).
        size_t match = m_stack.size() - 1;
        while (m_stack[match].name != name)
            --match;
        m_ownEndTag = m_stack[match].implicit;
        while (m_stack.size() > match) {
            if (endsWord(m_stack.back().tag)) m_word = 0;
            pop();
        }
        m_ownEndTag = false;
        keepClosed();
    }

    QStringView m_s;
    qsizetype m_n;
    qsizetype m_pos = 0;
    std::vector<Open> m_stack;
    std::vector<Grid> m_grids;
    int m_colSpan = 1;
    int m_rowSpan = 1;
    QHash<QString, int> m_names;
    std::array<int, size_t(Tag::Count)> m_kinds{};
    int m_tables = 0;
    int m_keptDepth = 0;
    int m_keptTables = 0;
    int m_pendingDepth = 0;
    int m_pendingTables = 0;
    bool m_keepPending = false;
    bool m_ownEndTag = false;
    double m_cost = 0;
    qint64 m_word = 0;
    bool m_stop = false;
    PageBounds m_out;
};

} // namespace

PageBounds measurePage(QStringView html)
{
    return Scanner(html).run();
}

bool boundPage(QString& html, PageBounds* measured)
{
    html.remove(QChar(0));
    const PageBounds bounds = measurePage(html);
    if (measured) *measured = bounds;
    if (bounds.tooDeep) return false;
    qsizetype keep = bounds.keep;
    if (keep > 0 && keep < html.size() && html.at(keep - 1).isHighSurrogate()) --keep;
    html.truncate(keep);
    return true;
}

int documentTableDepth(const QTextFrame* frame)
{
    int deepest = 0;
    for (const QTextFrame* child : frame->childFrames())
        deepest = std::max(deepest, documentTableDepth(child));
    return deepest + (qobject_cast<const QTextTable*>(frame) ? 1 : 0);
}

bool documentWithinBounds(const QTextDocument& doc, const PageBounds& bounds)
{
    const int tables = documentTableDepth(doc.rootFrame());
    return tables <= kMaxTableDepth && tables <= bounds.tableDepth;
}

namespace {

double boundLength(double v)
{
    return std::isfinite(v) ? std::clamp(v, -kMaxLength, kMaxLength) : 0.0;
}

QTextLength boundLength(const QTextLength& l)
{
    if (l.type() == QTextLength::FixedLength)
        return QTextLength(l.type(), boundLength(l.rawValue()));
    if (l.type() == QTextLength::PercentageLength)
        return QTextLength(
            l.type(), std::isfinite(l.rawValue()) ? std::clamp(l.rawValue(), 0.0, 100.0) : 0.0);
    return l;
}

// Every floating-point property of a format is a length or a size in
// pixels or points; lengths and lists of them (column widths) are cut too.
bool boundFormat(QTextFormat& format)
{
    bool changed = false;
    const QMap<int, QVariant> properties = format.properties();
    for (auto it = properties.cbegin(); it != properties.cend(); ++it) {
        const QVariant& v = it.value();
        const int type = v.userType();
        QVariant bounded;
        if (type == QMetaType::Double || type == QMetaType::Float) {
            const double d = v.toDouble();
            if (boundLength(d) != d) bounded = boundLength(d);
        } else if (type == qMetaTypeId<QTextLength>()) {
            const QTextLength l = v.value<QTextLength>();
            if (boundLength(l) != l) bounded = QVariant::fromValue(boundLength(l));
        } else if (type == QMetaType::QVariantList) { // column widths
            QVariantList list = v.toList();
            bool cut = false;
            for (QVariant& item : list) {
                if (item.userType() != qMetaTypeId<QTextLength>()) continue;
                const QTextLength l = item.value<QTextLength>();
                if (boundLength(l) == l) continue;
                item = QVariant::fromValue(boundLength(l));
                cut = true;
            }
            if (cut) bounded = list;
        } else if ((it.key() == QTextFormat::BlockIndent || it.key() == QTextFormat::ListIndent) &&
                   type == QMetaType::Int) {
            const int n = v.toInt();
            if (n > kMaxIndent || n < -kMaxIndent) bounded = std::clamp(n, -kMaxIndent, kMaxIndent);
        } else if (it.key() == QTextFormat::FontPixelSize && type == QMetaType::Int) {
            const int n = v.toInt();
            if (n > int(kMaxLength)) bounded = int(kMaxLength);
        }
        if (bounded.isValid()) {
            format.setProperty(it.key(), bounded);
            changed = true;
        }
    }
    return changed;
}

bool boundFrame(QTextFrame* frame)
{
    bool changed = false;
    QTextFrameFormat format = frame->frameFormat();
    if (boundFormat(format)) {
        frame->setFrameFormat(format);
        changed = true;
    }
    if (auto* table = qobject_cast<QTextTable*>(frame)) {
        for (int r = 0; r < table->rows(); ++r)
            for (int c = 0; c < table->columns(); ++c) {
                QTextTableCell cell = table->cellAt(r, c);
                if (cell.row() != r || cell.column() != c) continue; // spanned
                QTextCharFormat cellFormat = cell.format();
                if (boundFormat(cellFormat)) {
                    cell.setFormat(cellFormat);
                    changed = true;
                }
            }
    }
    for (QTextFrame* child : frame->childFrames())
        changed = boundFrame(child) || changed;
    return changed;
}

} // namespace

bool boundLengths(QTextDocument& doc)
{
    bool changed = boundFrame(doc.rootFrame());
    QList<QTextList*> lists;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        QTextCursor cursor(block);
        QTextBlockFormat blockFormat = block.blockFormat();
        if (boundFormat(blockFormat)) {
            cursor.setBlockFormat(blockFormat);
            changed = true;
        }
        QTextCharFormat blockChars = block.charFormat();
        if (boundFormat(blockChars)) {
            cursor.setBlockCharFormat(blockChars);
            changed = true;
        }
        if (QTextList* list = block.textList(); list && !lists.contains(list)) lists.append(list);
        // Collected first: setting a format may merge the block's fragments.
        QList<std::pair<QTextCursor, QTextCharFormat>> cuts;
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            QTextCharFormat chars = fragment.charFormat();
            if (!boundFormat(chars)) continue;
            QTextCursor range(&doc);
            range.setPosition(fragment.position());
            range.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
            cuts.append({range, chars});
        }
        for (auto& [range, chars] : cuts)
            range.setCharFormat(chars);
        changed = changed || !cuts.isEmpty();
    }
    for (QTextList* list : lists) {
        QTextListFormat format = list->format();
        if (boundFormat(format)) {
            list->setFormat(format);
            changed = true;
        }
    }
    return changed;
}

} // namespace sq::html
