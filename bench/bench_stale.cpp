// A folder whose pictures all changed since they were cached, loaded against
// a large cache file: TImgUtil::LoadImage for each picture (a Find that
// misses, the decode, an Add), then what the browser does when loading ends.
// Milliseconds per folder (median of the runs), bytes this process wrote
// (/proc/self/io: wchar through write calls, write_bytes to storage), the
// time of the end of loading alone (settle), and the ratio to the same
// folder loaded with no cache at all, measured in the same run. Usage: bench_stale [-mb N] [-pictures N] [-reps N] [FOLDER]
#include "engine/ImgUtils.h"
#include "engine/ImgUtils_thumb.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <vector>

namespace {

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

qint64 procIo(const char* field)
{
    QFile f(QStringLiteral("/proc/self/io"));
    if (!f.open(QIODevice::ReadOnly)) return -1;
    const QByteArray key = QByteArray(field) + ": ";
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(key)) return line.mid(key.size()).toLongLong();
    return -1;
}

void touch(const QStringList& files, int step)
{
    for (const QString& f : files) {
        struct stat st;
        const QByteArray n = QFile::encodeName(f);
        if (::stat(n.constData(), &st) != 0) continue;
        struct timespec t[2] = {{0, UTIME_OMIT}, {st.st_mtim.tv_sec + 10 * step, 0}};
        ::utimensat(AT_FDCWD, n.constData(), t, 0);
    }
}

// What the browser does when a folder's loading has nothing more to do.
template <class T> void loadingEnded(T& thumb)
{
    if constexpr (requires { thumb.Purge(); }) thumb.Purge();
}

struct Run
{
    double ms;
    double settleMs; // of which the end of loading
    double wcharMb;
    double writeMb;
};

Run loadFolder(TImgUtil& util, TThumb* thumb, const QStringList& files)
{
    const qint64 wc = procIo("wchar"), wb = procIo("write_bytes");
    QElapsedTimer t;
    t.start();
    for (const QString& f : files)
        util.LoadImage(f, 96, 96);
    const double loaded = double(t.nsecsElapsed()) / 1e6;
    if (thumb) loadingEnded(*thumb);
    const double ms = double(t.nsecsElapsed()) / 1e6;
    return {ms, ms - loaded, double(procIo("wchar") - wc) / 1e6,
            double(procIo("write_bytes") - wb) / 1e6};
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments().mid(1);
    int mb = 120, pictures = 200, reps = 3;
    QString base = QDir::tempPath();
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("-mb") && i + 1 < args.size())
            mb = args[++i].toInt();
        else if (args[i] == QLatin1String("-pictures") && i + 1 < args.size())
            pictures = args[++i].toInt();
        else if (args[i] == QLatin1String("-reps") && i + 1 < args.size())
            reps = std::max(1, args[++i].toInt());
        else
            base = args[i];
    }
    QTemporaryDir tmp(base + QStringLiteral("/bench-stale-XXXXXX"));
    const QString picDir = tmp.filePath(QStringLiteral("pics"));
    const QString thumbDir = tmp.filePath(QStringLiteral("thumb"));
    QDir().mkpath(picDir);
    QDir().mkpath(thumbDir);

    // The folder: small photographs of their own content each.
    QStringList files;
    for (int i = 0; i < pictures; ++i) {
        QImage img(640, 480, QImage::Format_RGB888);
        img.fill(QColor::fromHsv((i * 37) % 360, 200, 200));
        QPainter(&img).drawText(40, 40, QString::number(i));
        files << picDir + QStringLiteral("/p%1.jpg").arg(i, 4, 10, QLatin1Char('0'));
        QFile f(files.last());
        if (!f.open(QIODevice::WriteOnly)) return 1;
        f.write(sq::encodeJpeg(img, 85, true));
    }

    // The cache: entries of other folders, 3 KB each, up to the size asked
    // for, then the folder's own.
    TThumb thumb;
    thumb.setPath(thumbDir);
    thumb.setFileName(QStringLiteral("cache"));
    {
        TThumb filler;
        filler.setPath(thumbDir);
        filler.setFileName(QStringLiteral("cache"));
        filler.setActive(true);
        const QByteArray data(3000, 'j');
        const qint64 target = qint64(mb) << 20;
        for (int i = 0; QFileInfo(thumbDir + QStringLiteral("/cache.dat")).size() < target; ++i)
            for (int k = 0; k < 1000; ++k)
                filler.Add(QStringLiteral("/elsewhere/f%1/x%2.jpg").arg(i).arg(k), data);
    }
    TImgUtil cached;
    cached.setGetType(igtStretch);
    cached.setThumbnail(&thumb);
    cached.setAutoThumb(true);
    TImgUtil uncached;
    uncached.setGetType(igtStretch);
    loadFolder(cached, &thumb, files); // the folder's entries join the cache

    const double cacheMb = double(QFileInfo(thumbDir + QStringLiteral("/cache.dat")).size()) / 1e6;
    std::vector<Run> none, fresh, stale;
    for (int r = 0; r < reps; ++r) {
        none.push_back(loadFolder(uncached, nullptr, files));
        fresh.push_back(loadFolder(cached, &thumb, files));
        touch(files, r + 1);
        stale.push_back(loadFolder(cached, &thumb, files));
    }
    auto med = [](const std::vector<Run>& v, double Run::*field) {
        std::vector<double> x;
        for (const Run& r : v)
            x.push_back(r.*field);
        return median(x);
    };
    const double ref = med(none, &Run::ms);
    std::printf("%-20s %8s %8s %10s %9s %10s %10s %7s\n", "what", "cache MB", "pictures",
                "median ms", "settle ms", "wchar MB", "written MB", "ratio");
    const struct
    {
        const char* what;
        const std::vector<Run>* runs;
    } rows[] = {{"no cache", &none}, {"cache, all fresh", &fresh}, {"cache, all touched", &stale}};
    for (const auto& row : rows)
        std::printf("%-20s %8.1f %8d %10.1f %9.1f %10.1f %10.1f %7.2f\n", row.what, cacheMb,
                    pictures, med(*row.runs, &Run::ms), med(*row.runs, &Run::settleMs),
                    med(*row.runs, &Run::wcharMb), med(*row.runs, &Run::writeMb),
                    med(*row.runs, &Run::ms) / ref);
    return 0;
}
