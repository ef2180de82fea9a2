// Small files declaring the largest picture allowed: a folder of lossless
// WebPs of one colour (some 32 bytes each, every one side x side pixels)
// opened in an offscreen browser with all four workers, once with no memory
// budget (the reference: every worker decodes at once) and once with the
// process's budget. Each row: the time from OpenFolder until the last
// picture is in, and the growth of the process's peak memory (VmHWM, reset
// before each row through /proc/self/clear_refs).
//
// Usage: bench_budget [--side 16384] [--files 10] [--workers 4] [--repeat 1]
//                     [--only off|on] [work folder]  (default /tmp/sq-bench-budget)
#include "browser/ImgPanel.h"
#include "engine/PictureLoader.h"
#include "tests/support/HostileFiles.h"
#include "tests/support/PictureFiles.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <malloc.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#if __has_include("engine/DecodeBudget.h")
#define SQ_HAS_BUDGET 1
#endif

namespace {

struct Run
{
    double seconds;
    qint64 peakMiB;
    int loaded;
};

Run openOnce(const QString& folder, int workers, bool budget)
{
    TImgPanel p;
    p.Loader().SetWorkerCount(workers);
    p.ViewImage().SetImageWidth(80);
    p.ViewImage().SetImageHeight(60);
    p.ViewImage().ImgUtil().setGetType(igtStretch);
    sq::installPictureLoader(p.ViewImage().ImgUtil());
#ifdef SQ_HAS_BUDGET
    p.ViewImage().ImgUtil().setBudget(budget ? &sq::DecodeBudget::process() : nullptr);
#else
    (void)budget;
#endif
    p.ViewImage().SetLookAhead(true);
    p.resize(600, 400);
    p.show();
    QCoreApplication::processEvents();
    malloc_trim(0);
    sq::test::resetPeakResident();
    const qint64 before = sq::test::residentMiB();
    int loaded = 0;
    p.OnImageLoaded = [&loaded](void*, TPanelItem* item) { loaded += item && item->LoadDone; };
    QElapsedTimer t;
    t.start();
    p.OpenFolder(folder);
    while (p.Loader().Busy())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    const double seconds = t.nsecsElapsed() / 1e9;
    return {seconds, sq::test::peakResidentMiB() - before, loaded};
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int side = 16384, files = 10, workers = 4, repeat = 1;
    QString only;
    QString work = QStringLiteral("/tmp/sq-bench-budget");
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QLatin1String("--side") && i + 1 < args.size())
            side = args[++i].toInt();
        else if (a == QLatin1String("--files") && i + 1 < args.size())
            files = args[++i].toInt();
        else if (a == QLatin1String("--workers") && i + 1 < args.size())
            workers = args[++i].toInt();
        else if (a == QLatin1String("--repeat") && i + 1 < args.size())
            repeat = std::max(1, args[++i].toInt());
        else if (a == QLatin1String("--only") && i + 1 < args.size())
            only = args[++i];
        else
            work = a;
    }
    const QString folder = work + QStringLiteral("/webp%1").arg(side);
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    qint64 fileBytes = 0;
    for (int n = 0; n < files; ++n) {
        const QByteArray bytes =
            sq::test::solidLosslessWebp(side, side, qRgb(40 + n * 20, 90, 200));
        QFile f(QStringLiteral("%1/w%2.webp").arg(folder).arg(n, 2, 10, QLatin1Char('0')));
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) return 1;
        fileBytes = bytes.size();
    }
    struct Mode
    {
        const char* name;
        bool budget;
    };
    std::vector<Mode> modes = {{"no budget", false}};
#ifdef SQ_HAS_BUDGET
    modes.push_back({"process budget", true});
    std::printf("budget limit %lld MiB\n", (long long)(sq::DecodeBudget::process().limit() >> 20));
#endif
    std::printf("%d files of %lld bytes, %d x %d each, %d workers\n\n", files, (long long)fileBytes,
                side, side, workers);
    std::printf("%-16s %12s %10s %8s %10s %8s %7s\n", "what", "size", "median s", "ratio",
                "peak MiB", "ratio", "shown");
    double refTime = 0;
    qint64 refPeak = 0;
    for (const Mode& m : modes) {
        if (!only.isEmpty() && (only == QLatin1String("on")) != m.budget) continue;
        std::vector<Run> runs;
        for (int r = 0; r < repeat; ++r)
            runs.push_back(openOnce(folder, workers, m.budget));
        std::sort(runs.begin(), runs.end(),
                  [](const Run& a, const Run& b) { return a.seconds < b.seconds; });
        const Run mid = runs[runs.size() / 2];
        if (refTime == 0) {
            refTime = mid.seconds;
            refPeak = std::max<qint64>(mid.peakMiB, 1);
        }
        std::printf("%-16s %5d x %-5d %10.2f %8.2f %10lld %8.2f %4d/%d\n", m.name, side, side,
                    mid.seconds, mid.seconds / refTime, (long long)mid.peakMiB,
                    double(mid.peakMiB) / refPeak, mid.loaded, files);
    }
    QDir(folder).removeRecursively();
    return 0;
}
