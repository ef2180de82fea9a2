// The page bounds of the page and mail loader on any text, as UTF-8 and as
// raw UTF-16: the scan, the cut, the built document and its check. Besides
// not crashing they must keep their promises: the kept part scans again
// within the bounds, boundPage keeps just that part without NULs, and a
// built document that passes the check nests no deeper than the limit.
// (Comparing the scan with the built document is how the cases where Qt's
// builder nests deeper than its parser were found; the check refuses them.)
#include "engine/HtmlBounds.h"

#include <QGuiApplication>
#include <QTextDocument>

namespace {

void check(QString raw)
{
    QString page = raw;
    page.remove(QChar(0));
    const sq::html::PageBounds bounds = sq::html::measurePage(page);
    if (bounds.keep < 0 || bounds.keep > page.size() || bounds.cost < 0) __builtin_trap();
    if (bounds.tooDeep) return;
    if (bounds.depth > sq::html::kMaxDepth || bounds.tableDepth > sq::html::kMaxTableDepth)
        __builtin_trap();
    const QStringView kept = QStringView(page).left(bounds.keep);
    const sq::html::PageBounds again = sq::html::measurePage(kept);
    if (again.tooDeep || again.keep != kept.size() || again.cost > sq::html::kMaxCost)
        __builtin_trap();
    sq::html::PageBounds measured;
    // (One character less when the cut would split a surrogate pair.)
    if (!sq::html::boundPage(raw, &measured) || (raw != kept && raw != kept.chopped(1)))
        __builtin_trap();
    if (page.size() <= 4096) {
        // Building the document lays nothing out: only the tree is made.
        QTextDocument doc;
        doc.setHtml(raw);
        if (sq::html::documentWithinBounds(doc, measured) &&
            sq::html::documentTableDepth(doc.rootFrame()) > sq::html::kMaxTableDepth)
            __builtin_trap();
        // Once cut, nothing is left to cut.
        sq::html::boundLengths(doc);
        if (sq::html::boundLengths(doc)) __builtin_trap();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static int argc = 1;
    static char arg0[] = "fuzz_html";
    static char* argv[] = {arg0, nullptr};
    static QGuiApplication* app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QGuiApplication(argc, argv);
    }();
    (void)app;
    check(QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size)));
    check(QString(reinterpret_cast<const QChar*>(data), qsizetype(size / 2)));
    return 0;
}
