// The page bounds scan: any text, as UTF-8 and as raw UTF-16. Besides not
// crashing it must keep its promises: the part it keeps scans again within
// the bounds, no NUL survives boundPage, and for small pages it never counts
// fewer nested tables than QTextDocument builds from the same text.
#include "engine/HtmlBounds.h"

#include <QGuiApplication>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>

#include <algorithm>

namespace {

int tableNesting(QTextFrame* frame)
{
    int deepest = 0;
    for (QTextFrame* child : frame->childFrames())
        deepest = std::max(deepest, tableNesting(child));
    return deepest + (qobject_cast<QTextTable*>(frame) ? 1 : 0);
}

// The page as the loader hands it over: NULs removed, then bounded.
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
    if (page.size() <= 4096) {
        // Building the document lays nothing out: only the tree is made.
        QTextDocument doc;
        doc.setHtml(kept.toString());
        if (tableNesting(doc.rootFrame()) > again.tableDepth) __builtin_trap();
    }
    // (One character less when the cut would split a surrogate pair.)
    if (!sq::html::boundPage(raw) || (raw != kept && raw != kept.chopped(1))) __builtin_trap();
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
