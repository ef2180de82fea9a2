// Bounds on what a page costs QTextDocument, found by a cheap scan of its tag
// structure before the page is handed over: nested tables take time growing
// as 2^depth, deep element nesting and long unbroken words grow
// quadratically, and a 2 MiB page of small elements takes seconds. Used by
// the page and mail loader (ImgUtils_doc.cpp) and its fuzz target. Pure
// functions, any thread.
#pragma once

#include <QString>
#include <QStringView>

class QTextDocument;
class QTextFrame;

namespace sq::html {

// Pages nested deeper than these are refused. Measured with bench_html
// (Release, shared machine): 500 nested list levels lay out in ~10-30 ms,
// 2000 in ~150-300 ms; 8 nested tables take ~2-5 ms, 12 ~50-90 ms, and each
// further level doubles it.
constexpr int kMaxDepth = 512;
constexpr int kMaxTableDepth = 8;
// The estimated cost (about microseconds of layout, see HtmlBounds.cpp) at which
// the page is cut: what follows never reaches the document. A thumbnail shows
// the top of the page, which lies far before the cut on any real page.
constexpr double kMaxCost = 300000;

struct PageBounds
{
    bool tooDeep = false; // refuse the page
    qsizetype keep = 0;   // characters of the page to lay out
    int depth = 0;        // deepest element nesting in the kept part
    int tableDepth = 0;   // deepest table nesting in the kept part
    double cost = 0;      // estimated cost of the kept part
};

// Scans the page as Qt's HTML parser splits it into tags (comments, quoted
// attribute values, self-closed and unclosed elements, stray end tags all
// taken as it takes them) and estimates its layout cost; stops at the first
// limit passed.
PageBounds measurePage(QStringView html);

// The page as it may reach QTextDocument: NUL characters removed and cut at
// the cost bound; false when it is nested too deeply. *measured receives the
// scan's figures.
bool boundPage(QString& html, PageBounds* measured = nullptr);

// The scan follows how Qt's parser nests elements; in some broken markup
// (cells and lists straight in tables, stray cells) Qt's document builder
// nests tables deeper still. Building a document does not lay it out, so the
// built document is the last word: it may be laid out when its real table
// nesting stays within the limit and within what the scan counted (beyond
// that the cost estimate does not hold).
int documentTableDepth(const QTextFrame* frame);
bool documentWithinBounds(const QTextDocument& doc, const PageBounds& bounds);

// Lengths in pixels (cell padding and spacing, borders, margins, paddings,
// widths and heights of tables, cells, frames and pictures, indents, font
// sizes, letter, word and line spacing) are cut to this, whether an
// attribute or a style sheet gave them: the layout works in 26.6 fixed
// point, and one padding near 2^25 pixels overflows it into a layout that
// runs for minutes. A page laid out 640 pixels wide has no use for more.
constexpr double kMaxLength = 10000;
// Indentation levels of blocks and lists (40 pixels each).
constexpr int kMaxIndent = 100;

// Cuts every length of the built document to the bounds above, before it is
// laid out; true when something was cut.
bool boundLengths(QTextDocument& doc);

} // namespace sq::html
