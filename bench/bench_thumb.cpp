// Thumbnail cache operations per entry count: Find hit, Find miss and Add,
// microseconds per operation (median of runs), and the ratio to the smallest
// size. Usage: bench_thumb [FOLDER]
#include "engine/ImgUtils_thumb.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}
} // namespace

int main(int argc, char** argv)
{
    QTemporaryDir tmp(argc > 1 ? QString::fromLocal8Bit(argv[1]) + QStringLiteral("/bench-thumb-XXXXXX")
                               : QDir::tempPath() + QStringLiteral("/bench-thumb-XXXXXX"));
    const QByteArray data(3000, 'j'); // a typical thumbnail's size
    std::printf("%10s %14s %14s %14s\n", "entries", "find hit us", "find miss us", "add us");
    double base[3] = {0, 0, 0};
    for (int n : {1000, 10000, 100000}) {
        const QString folder = tmp.filePath(QString::number(n));
        QDir().mkpath(folder);
        TThumb thumb;
        thumb.setPath(folder);
        thumb.setFileName(QStringLiteral("cache"));
        thumb.setActive(true); // as a browser keeps it between thumbnails
        // The pictures need not exist: their date is then "now" on both sides
        // only within one second, so give them real files.
        QStringList names;
        for (int i = 0; i < n; ++i) {
            names << folder + QStringLiteral("/p%1.jpg").arg(i);
            QFile f(names.last());
            f.open(QIODevice::WriteOnly);
        }
        for (const QString& name : names)
            thumb.Add(name, data);
        const int ops = 2000;
        std::vector<double> hit, miss, add;
        for (int r = 0; r < 5; ++r) {
            QElapsedTimer t;
            t.start();
            for (int i = 0; i < ops; ++i) {
                QByteArray s;
                thumb.Find(names[(i * 7919) % n], s);
            }
            hit.push_back(t.nsecsElapsed() / 1e3 / ops);
            t.restart();
            for (int i = 0; i < ops; ++i) {
                QByteArray s;
                thumb.Find(folder + QStringLiteral("/none%1.jpg").arg(i), s);
            }
            miss.push_back(t.nsecsElapsed() / 1e3 / ops);
            t.restart();
            for (int i = 0; i < 200; ++i)
                thumb.Add(folder + QStringLiteral("/new%1-%2.jpg").arg(r).arg(i), data);
            add.push_back(t.nsecsElapsed() / 1e3 / 200);
        }
        const double m[3] = {median(hit), median(miss), median(add)};
        if (base[0] == 0)
            std::copy(m, m + 3, base);
        std::printf("%10d %9.2f x%-4.1f %9.2f x%-4.1f %9.2f x%-4.1f\n", n, m[0], m[0] / base[0], m[1],
                    m[1] / base[1], m[2], m[2] / base[2]);
        thumb.setActive(false);
    }
    return 0;
}
