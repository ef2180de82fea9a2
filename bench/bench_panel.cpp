// Opens folders of 1,000 and 10,000 photographs (hard links to the 2 MP
// corpus, so every name is its own cache entry) in an offscreen browser with
// LookAhead on: time from OpenFolder to the last OnImageLoaded, cold (empty
// cache) and warm (second opening), and the longest the GUI thread went
// without serving a 1 ms timer while loading.
// Usage: bench_panel [corpus folder] [work folder]
//        (defaults /tmp/bench/corpus/2mp, /tmp/sq-bench-panel)
#include "browser/ImgPanel.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>

#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace {

bool makeFolder(const QString& corpus, const QString& path, int count)
{
    QDir d(path);
    if (d.exists() && int(d.entryList(QDir::Files).size()) == count) return true;
    d.removeRecursively();
    if (!QDir().mkpath(path)) return false;
    const QStringList photos = QDir(corpus).entryList({QStringLiteral("*.jpg")}, QDir::Files, QDir::Name);
    if (photos.isEmpty()) return false;
    for (int i = 0; i < count; ++i) {
        const QString src = corpus + QLatin1Char('/') + photos[i % photos.size()];
        const QString dst = QStringLiteral("%1/photo_%2.jpg").arg(path).arg(i, 5, 10, QLatin1Char('0'));
        if (link(QFile::encodeName(src).constData(), QFile::encodeName(dst).constData()) != 0 &&
            !QFile::copy(src, dst))
            return false;
    }
    return true;
}

struct Run
{
    double ms = 0;
    int loaded = 0;
    int fromCache = 0;
    double maxGapMs = 0;
};

Run openOnce(const QString& folder, const QString& cacheFolder, int count)
{
    TImgPanel panel;
    panel.ViewImage().SetLookAhead(true);
    panel.ViewImage().SetImageWidth(80);
    panel.ViewImage().SetImageHeight(60);
    panel.ViewImage().ImgUtil().setGetType(igtStretch);
    panel.ViewImage().ImgUtil().setAutoThumb(true);
    panel.ViewImage().Thumbnail().setPath(cacheFolder);
    panel.ViewImage().Thumbnail().setPathType(iptFree);
    panel.resize(1000, 700);
    panel.show();
    QCoreApplication::processEvents();

    Run run;
    int loaded = 0;
    QElapsedTimer clock;
    QElapsedTimer gap;
    double lastLoaded = 0;
    panel.OnImageLoaded = [&](void*, TPanelItem* item) {
        ++loaded;
        if (item && panel.ViewImage().ImgUtil().LastFromCache()) ++run.fromCache;
        lastLoaded = clock.nsecsElapsed() / 1e6;
    };
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(1);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        run.maxGapMs = std::max(run.maxGapMs, gap.nsecsElapsed() / 1e6);
        gap.restart();
    });
    clock.start();
    panel.OpenFolder(folder);
    gap.start();
    tick.start();
    while (panel.Loader().Busy()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    tick.stop();
    run.ms = lastLoaded;
    run.loaded = loaded;
    if (panel.Items().Count() != count) std::fprintf(stderr, "listed %d of %d\n", panel.Items().Count(), count);
    return run;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString corpus = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("/tmp/bench/corpus/2mp");
    const QString work = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("/tmp/sq-bench-panel");
    std::printf("%-6s %8s %10s %10s %10s %12s\n", "run", "entries", "total ms", "ms/entry", "cached", "max gap ms");
    for (int n : {1000, 10000}) {
        const QString folder = work + QStringLiteral("/photos%1").arg(n);
        const QString cache = work + QStringLiteral("/thumb%1/").arg(n);
        if (!makeFolder(corpus, folder, n)) {
            std::fprintf(stderr, "cannot make %s from %s\n", qPrintable(folder), qPrintable(corpus));
            return 1;
        }
        QDir(cache).removeRecursively();
        QDir().mkpath(cache);
        for (const char* what : {"cold", "warm"}) {
            const Run r = openOnce(folder, cache, n);
            std::printf("%-6s %8d %10.0f %10.3f %10d %12.1f\n", what, n, r.ms, r.ms / n, r.fromCache, r.maxGapMs);
            if (r.loaded != n) std::fprintf(stderr, "loaded %d of %d\n", r.loaded, n);
        }
    }
    return 0;
}
