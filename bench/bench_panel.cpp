// Opens folders of 1,000, 10,000 and 100,000 photographs (hard links to the
// 2 MP corpus, so every name is its own cache entry) in an offscreen browser
// with LookAhead on, each opening in a process of its own so that its peak
// memory is its own.
//
// Table 1, cold (empty cache) and warm (second opening) at 1,000 and 10,000
// entries, one worker against the pool: time from OpenFolder to the last
// OnImageLoaded, and the longest the GUI thread went without serving a 1 ms
// timer while loading.
// Table 2, warm openings at every size (the caches made by the pool; the
// 100,000-entry cache is made once and kept, see --remake): time per entry,
// OpenFolder's own time, the first page shown (its first paint) and painted
// (its first paint with every cell's picture), the GUI's longest gap, and
// the peak RSS growth per entry beyond the cell bitmap itself.
//
// Usage: bench_panel [--remake] [--sizes 1000,10000,100000] [corpus folder] [work folder]
//        (defaults /tmp/bench/corpus/2mp, /tmp/sq-bench-panel)
#include "browser/ImgPanel.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTimer>

#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kBoxW = 80, kBoxH = 60;
// The cell bitmap's own bytes: 24-bit rows padded to 4 bytes.
constexpr qint64 kCellBytes = qint64(kBoxH) * ((kBoxW * 3 + 3) / 4 * 4);

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
        const QString dst = QStringLiteral("%1/photo_%2.jpg").arg(path).arg(i, 6, 10, QLatin1Char('0'));
        if (link(QFile::encodeName(src).constData(), QFile::encodeName(dst).constData()) != 0 &&
            !QFile::copy(src, dst))
            return false;
    }
    return true;
}

qint64 statusKB(const char* field)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) return -1;
    const QList<QByteArray> lines = f.readAll().split('\n');
    for (const QByteArray& line : lines)
        if (line.startsWith(field)) return line.mid(int(qstrlen(field))).trimmed().split(' ').first().toLongLong();
    return -1;
}

QByteArray loadAverage()
{
    QFile f(QStringLiteral("/proc/loadavg"));
    if (!f.open(QIODevice::ReadOnly)) return "?";
    return f.readAll().split(' ').mid(0, 3).join(' ');
}

// The worker count of the panel's loader; answers the count in force.
int setWorkers(TImgPanel& panel, int workers)
{
    panel.Loader().SetWorkerCount(workers);
    return panel.Loader().WorkerCount();
}

struct Run
{
    double ms = 0;       // OpenFolder to the last OnImageLoaded
    double openMs = 0;   // OpenFolder's own time
    double shownMs = 0;  // the first paint after OpenFolder
    double pageMs = -1;  // the first paint with the whole first page's pictures
    double maxGapMs = 0; // longest GUI gap while loading
    int loaded = 0;
    int fromCache = 0;
    int workers = 0;
    qint64 baseKB = 0, peakKB = 0;
    double cpuMs = 0; // the process's CPU time (user and system) over the run
};

double cpuMsNow()
{
    struct rusage u;
    getrusage(RUSAGE_SELF, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
}

// One opening, in this process: what the child prints.
Run openOnce(const QString& folder, const QString& cacheFolder, int count, int workers)
{
    TImgPanel panel;
    Run run;
    run.workers = setWorkers(panel, workers);
    panel.ViewImage().SetLookAhead(true);
    panel.ViewImage().SetImageWidth(kBoxW);
    panel.ViewImage().SetImageHeight(kBoxH);
    panel.ViewImage().ImgUtil().setGetType(igtStretch);
    panel.resize(1000, 700);
    panel.show();
    QCoreApplication::processEvents();
    // The desktop shown first neither waits for the cache nor adds to it.
    panel.Loader().StopLoading();
    panel.ViewImage().ImgUtil().setAutoThumb(true);
    panel.ViewImage().Thumbnail().setPath(cacheFolder);
    panel.ViewImage().Thumbnail().setPathType(iptFree);

    int loaded = 0;
    QElapsedTimer clock;
    QElapsedTimer gap;
    double lastLoaded = 0;
    panel.OnImageLoaded = [&](void*, TPanelItem* item) {
        ++loaded;
        if (item && panel.Loader().LastFromCache()) ++run.fromCache;
        lastLoaded = clock.nsecsElapsed() / 1e6;
    };
    // Paints of the grid: the first one, and the first with the whole page.
    struct PaintWatch : QObject
    {
        std::function<void()> onPaint;
        bool eventFilter(QObject*, QEvent* e) override
        {
            if (e->type() == QEvent::Paint && onPaint) onPaint();
            return false;
        }
    } watch;
    bool shown = false;
    watch.onPaint = [&] {
        const double t = clock.nsecsElapsed() / 1e6;
        if (!shown) {
            shown = true;
            run.shownMs = t;
        }
        if (run.pageMs >= 0) return;
        const int page = std::min(panel.VisibleCells(), panel.Items().Count());
        for (int i = 0; i < page; ++i)
            if (panel.Items().Items(i)->CellBitmap.isNull()) return;
        run.pageMs = t;
    };
    panel.viewport()->installEventFilter(&watch);
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(1);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        run.maxGapMs = std::max(run.maxGapMs, gap.nsecsElapsed() / 1e6);
        gap.restart();
    });
    malloc_trim(0);
    run.baseKB = statusKB("VmRSS:");
    {
        // Peak RSS from here on (Linux 4.0 and later).
        QFile clear(QStringLiteral("/proc/self/clear_refs"));
        if (clear.open(QIODevice::WriteOnly)) clear.write("5");
    }
    const double cpu0 = cpuMsNow();
    clock.start();
    panel.OpenFolder(folder);
    run.openMs = clock.nsecsElapsed() / 1e6;
    gap.start();
    tick.start();
    while (panel.Loader().Busy() || run.pageMs < 0) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        if (!panel.Loader().Busy() && run.pageMs < 0 && clock.elapsed() > 600000) break;
    }
    tick.stop();
    run.cpuMs = cpuMsNow() - cpu0;
    run.peakKB = statusKB("VmHWM:");
    if (qEnvironmentVariableIsSet("SQ_BENCH_MALLOC")) {
        // Where the memory is: in use, held free by the allocator, mapped.
        const struct mallinfo2 m = mallinfo2();
        std::fprintf(stderr, "%d entries: heap %zu MB, in use %zu MB, free %zu MB, mapped %zu MB; entry %zu bytes\n",
                     count, m.arena >> 20, m.uordblks >> 20, m.fordblks >> 20, m.hblkhd >> 20, sizeof(TPanelItem));
    }
    panel.viewport()->removeEventFilter(&watch);
    run.ms = lastLoaded;
    run.loaded = loaded;
    if (panel.Items().Count() != count) std::fprintf(stderr, "listed %d of %d\n", panel.Items().Count(), count);
    return run;
}

int child(const QStringList& a)
{
    // --child FOLDER CACHE COUNT WORKERS
    const Run r = openOnce(a[0], a[1], a[2].toInt(), a[3].toInt());
    std::printf("%.3f %.3f %.3f %.3f %.3f %d %d %d %lld %lld %.3f\n", r.ms, r.openMs, r.shownMs, r.pageMs,
                r.maxGapMs, r.loaded, r.fromCache, r.workers, r.baseKB, r.peakKB, r.cpuMs);
    return 0;
}

bool runChild(const QString& folder, const QString& cache, int count, int workers, Run& r)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(QCoreApplication::applicationFilePath(),
            {QStringLiteral("--child"), folder, cache, QString::number(count), QString::number(workers)});
    if (!p.waitForFinished(-1) || p.exitCode() != 0) return false;
    const QList<QByteArray> f = p.readAllStandardOutput().trimmed().split(' ');
    if (f.size() != 11) return false;
    r.ms = f[0].toDouble();
    r.openMs = f[1].toDouble();
    r.shownMs = f[2].toDouble();
    r.pageMs = f[3].toDouble();
    r.maxGapMs = f[4].toDouble();
    r.loaded = f[5].toInt();
    r.fromCache = f[6].toInt();
    r.workers = f[7].toInt();
    r.baseKB = f[8].toLongLong();
    r.peakKB = f[9].toLongLong();
    r.cpuMs = f[10].toDouble();
    if (r.loaded != count) std::fprintf(stderr, "loaded %d of %d\n", r.loaded, count);
    return true;
}

void freshCache(const QString& cache)
{
    QDir(cache).removeRecursively();
    QDir().mkpath(cache);
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        const QByteArray runtime = "/tmp/sq-bench-runtime-" + QByteArray::number(getuid());
        QDir().mkpath(QString::fromLocal8Bit(runtime));
        QFile::setPermissions(QString::fromLocal8Bit(runtime), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                                   QFileDevice::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", runtime);
    }
    QApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (!args.isEmpty() && args.first() == QLatin1String("--child")) return child(args.mid(1));
    bool remake = false;
    std::vector<int> sizes{1000, 10000, 100000};
    QStringList rest;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--remake")) {
            remake = true;
        } else if (args[i] == QLatin1String("--sizes") && i + 1 < args.size()) {
            sizes.clear();
            for (const QString& s : args[++i].split(QLatin1Char(','))) sizes.push_back(s.toInt());
        } else {
            rest << args[i];
        }
    }
    const QString corpus = rest.size() > 0 ? rest[0] : QStringLiteral("/tmp/bench/corpus/2mp");
    const QString work = rest.size() > 1 ? rest[1] : QStringLiteral("/tmp/sq-bench-panel");
    const int poolWorkers = 0; // the loader's own choice
    std::printf("bench_panel: load average at start %s, %ld cores online\n", loadAverage().constData(),
                sysconf(_SC_NPROCESSORS_ONLN));
    auto folderOf = [&](int n) { return work + QStringLiteral("/photos%1").arg(n); };
    for (int n : sizes)
        if (!makeFolder(corpus, folderOf(n), n)) {
            std::fprintf(stderr, "cannot make %s from %s\n", qPrintable(folderOf(n)), qPrintable(corpus));
            return 1;
        }

    // ---- table 1: one worker against the pool ----
    std::printf("\nTable 1: cold and warm, one worker against the pool (ms/entry; gap = GUI's longest, ms;\n"
                "cpu = the process's CPU time per entry, and its ratio to the wall time: above 1 only when\n"
                "workers ran side by side)\n");
    std::printf("%8s %-5s %8s %10s %8s %10s %8s %10s %8s %8s %10s %8s %8s\n", "entries", "run", "workers", "one ms/e",
                "gap", "cpu ms/e", "cpu/wall", "pool ms/e", "gap", "workers", "cpu ms/e", "cpu/wall", "speedup");
    for (int n : sizes) {
        if (n > 10000) continue;
        Run single[2], pool[2];
        const QString cacheOne = work + QStringLiteral("/thumb%1-one/").arg(n);
        const QString cachePool = work + QStringLiteral("/thumb%1/").arg(n);
        freshCache(cacheOne);
        freshCache(cachePool);
        bool ok = true;
        for (int k = 0; k < 2 && ok; ++k) ok = runChild(folderOf(n), cacheOne, n, 1, single[k]);
        for (int k = 0; k < 2 && ok; ++k) ok = runChild(folderOf(n), cachePool, n, poolWorkers, pool[k]);
        if (!ok) {
            std::fprintf(stderr, "a run at %d entries failed\n", n);
            return 1;
        }
        QDir(cacheOne).removeRecursively();
        QFile made(cachePool + QStringLiteral("complete"));
        if (made.open(QIODevice::WriteOnly)) made.write("1");
        for (int k = 0; k < 2; ++k)
            std::printf("%8d %-5s %8d %10.3f %8.1f %10.3f %8.2f %10.3f %8.1f %8d %10.3f %8.2f %7.2fx\n", n,
                        k ? "warm" : "cold", single[k].workers, single[k].ms / n, single[k].maxGapMs,
                        single[k].cpuMs / n, single[k].cpuMs / std::max(single[k].ms, 1e-9), pool[k].ms / n,
                        pool[k].maxGapMs, pool[k].workers, pool[k].cpuMs / n,
                        pool[k].cpuMs / std::max(pool[k].ms, 1e-9), single[k].ms / std::max(pool[k].ms, 1e-9));
        if (pool[1].fromCache != n) std::fprintf(stderr, "warm: %d of %d from the cache\n", pool[1].fromCache, n);
    }

    // ---- table 2: warm openings at every size ----
    std::printf("\nTable 2: warm openings with the pool (caches made by the pool)\n");
    std::printf("%8s %10s %10s %10s %10s %10s %10s %10s %12s\n", "entries", "ms/entry", "vs first", "open ms",
                "shown ms", "page ms", "gap ms", "peak MB", "KB/e extra");
    double firstPerEntry = 0;
    for (int n : sizes) {
        const QString cache = work + QStringLiteral("/thumb%1/").arg(n);
        const QString made = cache + QStringLiteral("complete");
        if (remake || !QFile::exists(made)) {
            freshCache(cache);
            Run cold;
            if (!runChild(folderOf(n), cache, n, poolWorkers, cold)) return 1;
            std::printf("%8d   (cache made: cold %.3f ms/entry, %d workers)\n", n, cold.ms / n, cold.workers);
            QFile f(made);
            if (f.open(QIODevice::WriteOnly)) f.write("1");
        }
        Run r;
        if (!runChild(folderOf(n), cache, n, poolWorkers, r)) return 1;
        const double perEntry = r.ms / n;
        if (firstPerEntry == 0) firstPerEntry = perEntry;
        const double extraKB = (double(r.peakKB - r.baseKB) * 1024.0 / n - double(kCellBytes)) / 1024.0;
        std::printf("%8d %10.4f %9.2fx %10.1f %10.1f %10.1f %10.1f %10.1f %12.2f\n", n, perEntry,
                    perEntry / firstPerEntry, r.openMs, r.shownMs, r.pageMs, r.maxGapMs, r.peakKB / 1024.0,
                    extraKB);
        if (r.fromCache != n) std::fprintf(stderr, "%d of %d from the cache\n", r.fromCache, n);
    }
    std::printf("\ncell bitmap %lld bytes; load average at end %s\n", kCellBytes, loadAverage().constData());
    return 0;
}
