// Resampler throughput: megapixels of source per second for the sizes the
// program meets (a camera picture to a thumbnail, a preview enlarged, a
// halving, a photograph fitted to a screen), median of several runs, against
// a plain copy of the same bytes; and the same resampling cut into rows on
// the engine's helper threads, against it on one thread.
#include "engine/Resample.h"
#include "engine/WorkPool.h"

#include <QElapsedTimer>
#include <QRandomGenerator>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {
QImage noise(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB888);
    QRandomGenerator rng(42);
    for (int y = 0; y < h; ++y)
        for (int b = 0; b < 3 * w; ++b)
            img.scanLine(y)[b] = uchar(rng.bounded(256));
    return img;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}
} // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    struct Case
    {
        int sw, sh, dw, dh;
    };
    const Case cases[] = {{4000, 3000, 160, 120},
                          {640, 480, 1920, 1440},
                          {1600, 1200, 800, 600},
                          {1600, 1200, 629, 472},
                          {4000, 3000, 725, 544}};
    sq::TWorkPool& pool = sq::TWorkPool::instance();
    std::printf("%d helper threads\n", pool.Helpers());
    std::printf("%-24s %8s %12s %12s %10s %12s %10s\n", "resize", "runs", "median ms", "src MP/s",
                "copy ratio", "pooled ms", "pool ratio");
    for (const Case& c : cases) {
        const QImage src = noise(c.sw, c.sh);
        std::vector<double> ms, copyMs, pooledMs;
        for (int r = 0; r < runs; ++r) {
            QImage work = src.copy();
            QElapsedTimer t;
            t.start();
            sq::ResizeBitmap(work, c.dw, c.dh);
            ms.push_back(t.nsecsElapsed() / 1e6);
            QImage shared = src.copy();
            t.restart();
            sq::ResizeBitmap(shared, c.dw, c.dh, &pool);
            pooledMs.push_back(t.nsecsElapsed() / 1e6);
            QImage dst(src.size(), src.format());
            t.restart();
            std::memcpy(dst.bits(), src.constBits(), size_t(src.sizeInBytes()));
            copyMs.push_back(t.nsecsElapsed() / 1e6);
        }
        const double m = median(ms);
        char name[64];
        std::snprintf(name, sizeof name, "%dx%d -> %dx%d", c.sw, c.sh, c.dw, c.dh);
        std::printf("%-24s %8d %12.2f %12.1f %10.1f %12.2f %10.2f\n", name, runs, m,
                    c.sw * double(c.sh) / 1e6 / (m / 1e3), m / median(copyMs), median(pooledMs),
                    median(pooledMs) / m);
    }
    return 0;
}
