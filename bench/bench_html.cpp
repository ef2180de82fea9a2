// Render time of QTextDocument for pages of nested elements, by depth, against
// a flat page of the same elements side by side; and what the engine's page
// loader (TImgUtil::LoadImage, which refuses pages nested too deeply) takes
// for the same file. Usage: bench_html [-reps N] [-budget MS] [KIND...]
#include "engine/ImgUtils.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QTemporaryDir>
#include <QTextDocument>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

struct Kind
{
    const char* name;
    const char* open;  // repeated depth times, nested
    const char* close; // repeated depth times after the text
    std::vector<int> depths;
};

// Depths past the first slow one are not tried: the budget stops a series.
const Kind kKinds[] = {
    {"table",
     "<table><tr><td>",
     "</td></tr></table>",
     {1, 2, 4, 6, 7, 8, 9, 10, 12, 14, 16, 18, 20}},
    {"table-unclosed", "<table><tr><td>", "", {1, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20}},
    {"div", "<div>", "</div>", {1, 10, 50, 100, 200, 500, 1000, 2000, 4000, 8000}},
    {"ul-li", "<ul><li>", "</li></ul>", {1, 10, 50, 100, 200, 500, 1000, 2000, 4000}},
    {"blockquote", "<blockquote>", "</blockquote>", {1, 10, 50, 100, 200, 500, 1000, 2000, 4000}},
    {"span", "<span>", "</span>", {1, 10, 100, 500, 1000, 2000, 4000, 8000, 16000}},
    {"unknown", "<x>", "", {1, 10, 100, 500, 1000, 2000, 4000, 8000, 16000}},
};

// Pages of one unit repeated to a size, against plain words of that size.
struct Filler
{
    const char* name;
    const char* prefix;
    QByteArray unit;
};

const QByteArray kDeepPrefix = QByteArray("<x>").repeated(400);

const Filler kFillers[] = {
    {"nul-bytes", "", QByteArray(1, '\0')},
    {"one-word", "", "a"},
    {"cells", "<table><tr>", "<td>x</td>"},
    {"rows", "<table>", "<tr><td>x</td></tr>"},
    {"script-tags", "<script>", "<x></y>"},
    {"less-than", "", "a<b "},
    {"self-closed", "", "<y/>"},
    {"paragraphs", "", "<p>word</p>"},
    {"words", "", "word "},
    // 400 open elements, then end tags that close nothing.
    {"end-tags-deep", kDeepPrefix.constData(), "</y>"},
};
const int kFillerKiB[] = {16, 64, 256, 1024, 2048};

QByteArray filled(const char* prefix, const QByteArray& unit, int kib)
{
    QByteArray s(prefix);
    while (s.size() < kib * 1024)
        s += unit;
    return s;
}

QString nested(const Kind& k, int depth)
{
    QString s = QStringLiteral("<html><body>");
    for (int i = 0; i < depth; ++i)
        s += QLatin1String(k.open);
    s += QStringLiteral("text");
    for (int i = 0; i < depth; ++i)
        s += QLatin1String(k.close);
    return s + QStringLiteral("</body></html>");
}

// The same elements one after another: what the page costs without nesting.
QString flat(const Kind& k, int depth)
{
    QString s = QStringLiteral("<html><body>");
    for (int i = 0; i < depth; ++i)
        s += QLatin1String(k.open) + QStringLiteral("text") + QLatin1String(k.close);
    return s + QStringLiteral("</body></html>");
}

double renderMs(const QString& html)
{
    QElapsedTimer t;
    t.start();
    QTextDocument doc;
    doc.setHtml(html);
    doc.setTextWidth(640);
    QImage image(640, 480, QImage::Format_RGB888);
    image.fill(Qt::white);
    QPainter painter(&image);
    doc.drawContents(&painter, QRectF(0, 0, 640, 480));
    return t.nsecsElapsed() / 1e6;
}

double engineMs(TImgUtil& util, const QString& path, int* result)
{
    QElapsedTimer t;
    t.start();
    *result = util.LoadImage(path, 160, 120);
    return t.nsecsElapsed() / 1e6;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Median of reps runs; a run past the budget ends the measuring at once.
double measure(const std::function<double()>& run, int reps, double budget)
{
    std::vector<double> ms;
    for (int r = 0; r < reps; ++r) {
        ms.push_back(run());
        if (ms.back() > budget) return ms.back();
    }
    return median(ms);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments().mid(1);
    int reps = 3;
    double budget = 3000;
    while (args.size() >= 2 && args[0].startsWith(QLatin1Char('-'))) {
        if (args[0] == QLatin1String("-reps"))
            reps = std::max(1, args[1].toInt());
        else if (args[0] == QLatin1String("-budget"))
            budget = args[1].toDouble();
        args = args.mid(2);
    }
    QTemporaryDir dir;
    TImgUtil util;
    util.setGetType(igtStretch);
    std::printf("%-15s %6s %10s %10s %8s %11s %7s\n", "kind", "depth", "nested ms", "flat ms",
                "ratio", "engine ms", "result");
    for (const Kind& k : kKinds) {
        if (!args.isEmpty() && !args.contains(QLatin1String(k.name))) continue;
        for (int depth : k.depths) {
            const QString page = nested(k, depth);
            const QString path =
                dir.filePath(QStringLiteral("%1-%2.html").arg(QLatin1String(k.name)).arg(depth));
            QFile file(path);
            if (!file.open(QIODevice::WriteOnly) || file.write(page.toUtf8()) < 0) return 1;
            file.close();
            const double n = measure([&] { return renderMs(page); }, reps, budget);
            const double f = measure([&] { return renderMs(flat(k, depth)); }, reps, budget);
            int result = 0;
            const double e = measure([&] { return engineMs(util, path, &result); }, reps, budget);
            std::printf("%-15s %6d %10.2f %10.2f %8.2f %11.2f %7d\n", k.name, depth, n, f, n / f, e,
                        result);
            std::fflush(stdout);
            if (n > budget) break;
        }
    }
    std::printf("\n%-15s %6s %10s %10s %8s %11s %7s\n", "page", "KiB", "page ms", "words ms",
                "ratio", "engine ms", "result");
    for (const Filler& k : kFillers) {
        if (!args.isEmpty() && !args.contains(QLatin1String(k.name))) continue;
        for (int kib : kFillerKiB) {
            const QByteArray bytes = filled(k.prefix, k.unit, kib);
            const QString page = QString::fromUtf8(bytes);
            const QString words = QString::fromUtf8(filled("", "word ", kib));
            const QString path =
                dir.filePath(QStringLiteral("%1-%2.html").arg(QLatin1String(k.name)).arg(kib));
            QFile file(path);
            if (!file.open(QIODevice::WriteOnly) || file.write(bytes) < 0) return 1;
            file.close();
            const double n = measure([&] { return renderMs(page); }, reps, budget);
            const double w = measure([&] { return renderMs(words); }, reps, budget);
            int result = 0;
            const double e = measure([&] { return engineMs(util, path, &result); }, reps, budget);
            std::printf("%-15s %6d %10.2f %10.2f %8.2f %11.2f %7d\n", k.name, kib, n, w, n / w, e,
                        result);
            std::fflush(stdout);
            if (n > budget) break;
        }
    }
    return 0;
}
