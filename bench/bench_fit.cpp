// A photograph fitted to a view (画像をウインドウに合わせる): the engine's load
// at full size and its stretched view, made after the decode (LoadImage,
// then MakeImgView) and made along with it (a TStretchWatch on the load),
// against the bare libjpeg decode of the same file (the engine's fast DCT,
// a new picture each time). Wall clock, the loading thread's processor time
// and the whole program's, median of the runs, each run taking every file
// of the folder once per way, the ways in turn so that none always finds
// the file warm. The views are made as the program makes them, with the
// engine's helper threads (TWorkPool::instance()), and the one made along
// the decode once more on the loading thread alone, where the resampling's
// cost shows whole.
// Usage: bench_fit [folder] [runs] [client WxH ...]
//        (defaults /tmp/bench/corpus/12mp, 5, 796x496 and 1596x996)
#include "bench/JpegTiming.h"
#include "engine/ImgBox.h"
#include "engine/WorkPool.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <jpeglib.h>
#include <memory>
#include <vector>

namespace {

double threadCpuMs() { return bench::cpuMs(); }

using bench::decodeFile;
using bench::median;
using bench::processCpuMs;

// The view made after the decode, or along with it; on the engine's
// resampling helpers, if it has them.
bool fitted(TImgUtil& engine, const QString& file, QSize client, bool along)
{
    std::unique_ptr<sq::TStretchWatch> watch;
    if (along) watch = std::make_unique<sq::TStretchWatch>(engine, client);
    if (engine.LoadImage(file, client.width(), client.height()) != 0) return false;
    const QImage& picture = engine.Bitmap().image();
    TImgView view;
    if (watch) view = watch->View(picture, client, Qt::black);
    if (along && !view.Placed) return false; // not made along: say so
    if (!view.Placed)
        view = sq::MakeImgView(picture, ispStretch, client, Qt::black, engine.ResamplePool());
    return view.Placed;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString folder =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("/tmp/bench/corpus/12mp");
    const int runs = argc > 2 ? std::max(1, atoi(argv[2])) : 5;
    std::vector<QSize> clients;
    for (int i = 3; i < argc; ++i) {
        int w = 0, h = 0;
        if (std::sscanf(argv[i], "%dx%d", &w, &h) == 2 && w > 0 && h > 0) clients.emplace_back(w, h);
    }
    if (clients.empty()) clients = {QSize(796, 496), QSize(1596, 996)};
    QStringList files;
    const QDir dir(folder);
    for (const QString& name : dir.entryList({QStringLiteral("*.jpg")}, QDir::Files, QDir::Name))
        files << dir.absoluteFilePath(name);
    if (files.isEmpty()) {
        std::fprintf(stderr, "no pictures in %s\n", qPrintable(folder));
        return 2;
    }
    double load[3] = {};
    if (FILE* f = std::fopen("/proc/loadavg", "r")) {
        if (std::fscanf(f, "%lf %lf %lf", &load[0], &load[1], &load[2]) != 3) load[0] = -1;
        std::fclose(f);
    }
    // As the views' engines are: resampling on the program's helpers.
    TImgUtil shared;
    shared.setGetType(igtNormal);
    shared.setResamplePool(&sq::TWorkPool::instance());
    TImgUtil alone;
    alone.setGetType(igtNormal);
    alone.LoadImage(files.first(), 1, 1);
    std::printf("load average %.2f %.2f %.2f; %lld files of %dx%d in %s, median of %d runs, "
                "%d helpers\n",
                load[0], load[1], load[2], (long long)files.size(), alone.ImageWidth(),
                alone.ImageHeight(), qPrintable(folder), runs, sq::TWorkPool::instance().Helpers());
    std::printf("%-10s %-30s %9s %9s %9s %7s\n", "client", "way", "wall ms", "cpu ms",
                "all cpu", "/decode");
    constexpr int kWays = 4;
    for (const QSize client : clients) {
        std::vector<double> wall[kWays], cpu[kWays], all[kWays];
        for (int run = 0; run < runs; ++run) {
            for (int k = 0; k < kWays; ++k) {
                const int way = (k + run) % kWays;
                QElapsedTimer clock;
                clock.start();
                const double c0 = threadCpuMs(), p0 = processCpuMs();
                for (const QString& f : files) {
                    const bool ok = way == 0   ? decodeFile(f)
                                    : way == 1 ? fitted(shared, f, client, false)
                                               : fitted(way == 2 ? shared : alone, f, client, true);
                    if (!ok) {
                        std::fprintf(stderr, "%s failed (way %d)\n", qPrintable(f), way);
                        return 1;
                    }
                }
                wall[way].push_back(clock.nsecsElapsed() / 1e6);
                cpu[way].push_back(threadCpuMs() - c0);
                all[way].push_back(processCpuMs() - p0);
            }
        }
        const char* names[kWays] = {"bare decode", "load, then fit (helpers)",
                                    "fit along the decode (helpers)", "fit along, one thread"};
        const double base = median(wall[0]);
        for (int way = 0; way < kWays; ++way)
            std::printf("%4dx%-5d %-30s %9.1f %9.1f %9.1f %7.3f\n", client.width(), client.height(),
                        names[way], median(wall[way]), median(cpu[way]), median(all[way]),
                        median(wall[way]) / base);
    }
    return 0;
}
