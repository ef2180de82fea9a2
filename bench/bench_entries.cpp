// Reads and sorts folders of 1,000, 10,000 and 100,000 empty files by each
// sort type, against a bare readdir pass over the same folder in the same
// run. Usage: bench_entries [work folder] [runs]  (default /tmp/sq-bench-entries, 5)
// bench_entries --once FOLDER SORTTYPE reads one folder once (for strace -c).
#include "browser/ImgShare.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <dirent.h>

#include <algorithm>
#include <cstdio>
#include <random>

namespace {

class Host : public TShellItemsHost, public sq::platform::ShellOpener
{
public:
    sq::platform::ShellFolder folder;
    sq::platform::ShellFolder CurrentFolder() const override { return folder; }
    bool IsFileMode() const override { return false; }
    void OpenFolderId(const QString&) override {}
    void OpenFolder(const QString&) override {}
    sq::platform::ShellOpener& Opener() override { return *this; }
    TImgUtil* ImgUtil() override { return nullptr; }
    bool open(const QString&) override { return false; }
};

bool makeFolder(const QString& path, int count)
{
    QDir d(path);
    if (d.exists() && static_cast<int>(d.entryList(QDir::Files).size()) == count) return true;
    d.removeRecursively();
    if (!QDir().mkpath(path)) return false;
    std::vector<int> order(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        order[static_cast<size_t>(i)] = i;
    std::shuffle(order.begin(), order.end(), std::mt19937(42));
    static const char* const ext[] = {".jpg", ".JPG", ".png", ".bmp", ".txt"};
    for (int i : order) {
        QFile f(path + QStringLiteral("/IMG_%1%2").arg(i).arg(QLatin1String(ext[i % 5])));
        if (!f.open(QIODevice::WriteOnly)) return false;
    }
    return true;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double bareReaddir(const QByteArray& path)
{
    QElapsedTimer t;
    t.start();
    DIR* d = opendir(path.constData());
    long n = 0;
    if (d) {
        while (const dirent* e = readdir(d))
            n += e->d_type;
        closedir(d);
    }
    const double ms = t.nsecsElapsed() / 1e6;
    return n >= 0 ? ms : 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 4 && QByteArray(argv[1]) == "--once") {
        Host host;
        host.folder = sq::platform::ShellFolder(QString::fromLocal8Bit(argv[2]));
        TPanelItems items(&host);
        TDispTypes types;
        items.ReadFolder(host.folder, types, TSortTypeEx(std::clamp(atoi(argv[3]), 0, 4)), false);
        std::printf("%d entries\n", items.Count());
        return 0;
    }
    const QString work =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("/tmp/sq-bench-entries");
    const int runs = argc > 2 ? std::max(1, atoi(argv[2])) : 5;
    const int sizes[] = {1000, 10000, 100000};
    const char* const sortNames[] = {"istName", "istSize", "istType", "istDate", "istAttr"};
    std::printf("%-22s %8s %10s %10s %12s %8s\n", "what", "files", "median ms", "us/file",
                "x readdir", "growth");
    double previous[6] = {0, 0, 0, 0, 0, 0};
    for (int n : sizes) {
        const QString path = work + QLatin1Char('/') + QString::number(n);
        if (!makeFolder(path, n)) {
            std::fprintf(stderr, "cannot make %s\n", qPrintable(path));
            return 1;
        }
        std::vector<double> ref;
        for (int r = 0; r < runs; ++r)
            ref.push_back(bareReaddir(QFile::encodeName(path)));
        const double refMs = median(ref);
        std::printf(
            "%-22s %8d %10.2f %10.3f %12.2f %8s\n", "bare readdir", n, refMs, refMs * 1000 / n, 1.0,
            previous[5] > 0 ? qPrintable(QString::number(refMs / previous[5], 'f', 1)) : "-");
        previous[5] = refMs;
        for (int s = 0; s < 5; ++s) {
            std::vector<double> times;
            for (int r = 0; r < runs; ++r) {
                Host host;
                host.folder = sq::platform::ShellFolder(path);
                TPanelItems items(&host);
                TDispTypes types;
                QElapsedTimer t;
                t.start();
                items.ReadFolder(host.folder, types, TSortTypeEx(s), false);
                times.push_back(t.nsecsElapsed() / 1e6);
                if (items.Count() != n) {
                    std::fprintf(stderr, "read %d of %d\n", items.Count(), n);
                    return 1;
                }
            }
            const double ms = median(times);
            char what[40];
            std::snprintf(what, sizeof what, "read+sort %s", sortNames[s]);
            std::printf(
                "%-22s %8d %10.2f %10.3f %12.2f %8s\n", what, n, ms, ms * 1000 / n, ms / refMs,
                previous[s] > 0 ? qPrintable(QString::number(ms / previous[s], 'f', 1)) : "-");
            previous[s] = ms;
        }
    }
    return 0;
}
