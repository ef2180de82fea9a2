// Benchmark of the thumbnail cache: Find (hit and miss) and Add per operation
// on caches of 1,000, 10,000 and 100,000 entries. Ratio = time per operation
// over that of the 1,000-entry cache measured in the same run.
#include "engine/ImgUtils_thumb.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace {

QString pic(const QString& dir, int i) { return dir + QStringLiteral("/p/%1.jpg").arg(i); }

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main()
{
    QTemporaryDir tmp;
    const QString dir = tmp.path();
    const int sizes[] = {1000, 10000, 100000};
    const int ops = 1000, runs = 5;
    QDir().mkpath(dir + QStringLiteral("/p"));
    for (int i = 0; i < 100000 + runs * ops; ++i) {
        const int fd = ::open(QFile::encodeName(pic(dir, i)).constData(), O_CREAT | O_WRONLY, 0644);
        ::close(fd);
    }
    const QByteArray data(300, 'j');
    double ref[3] = {0, 0, 0};
    std::printf("%-10s %10s %14s %8s\n", "what", "entries", "median us/op", "ratio");
    for (int n : sizes) {
        const QString thumbDir = dir + QStringLiteral("/t%1").arg(n);
        QDir().mkpath(thumbDir);
        TThumb t;
        t.setPath(thumbDir);
        for (int i = 0; i < n; ++i)
            t.Add(pic(dir, i), data);
        std::vector<double> hit, miss, add;
        QByteArray got;
        for (int r = 0; r < runs; ++r) {
            QElapsedTimer timer;
            timer.start();
            for (int k = 0; k < ops; ++k) {
                got.clear();
                if (!t.Find(pic(dir, int((k * 7919LL + r) % n)), got))
                    std::fprintf(stderr, "unexpected miss\n");
            }
            hit.push_back(timer.nsecsElapsed() / 1000.0 / ops);
            timer.restart();
            for (int k = 0; k < ops; ++k)
                t.Find(pic(dir, 100000 + r * ops + k), got);
            miss.push_back(timer.nsecsElapsed() / 1000.0 / ops);
        }
        for (int r = 0; r < runs; ++r) {
            QElapsedTimer timer;
            timer.start();
            for (int k = 0; k < ops / 10; ++k)
                t.Add(pic(dir, 100000 + r * ops + k), data);
            add.push_back(timer.nsecsElapsed() / 1000.0 / (ops / 10));
        }
        const double m[3] = {median(hit), median(miss), median(add)};
        const char* names[3] = {"Find hit", "Find miss", "Add"};
        for (int w = 0; w < 3; ++w) {
            if (n == sizes[0])
                ref[w] = m[w];
            std::printf("%-10s %10d %14.2f %8.2f\n", names[w], n, m[w], m[w] / ref[w]);
        }
    }
    return 0;
}
