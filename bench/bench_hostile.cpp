// bench_hostile: small files that declare huge pictures, pages that lay out
// for minutes and a video header before gigabytes of zeros, each loaded as a
// 120 x 120 thumbnail by a sqimg child process (`sqimg load FILE`) under an
// address-space limit and a time limit. Prints, per case, the file's size,
// the child's peak resident memory, the median time, its ratio to an
// ordinary JPEG loaded in the same run, and sqimg's result.
//   bench_hostile [--sqimg PATH] [--runs N] [--timeout S] [--limit-mib M]
// --sqimg points at another build (an older one, for figures before a change).
#include "tests/support/HostileFiles.h"
#include "tests/support/MediaFiles.h"
#include "tests/support/TestFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

struct Run
{
    double seconds = 0;
    long peakKiB = 0;
    bool timedOut = false;
    QByteArray result; // "result=..." as sqimg printed it
};

Run runChild(const QByteArray& sqimg, const QByteArray& file, double timeout, qint64 limitMiB)
{
    Run run;
    int out[2];
    if (::pipe(out) != 0) return run;
    QElapsedTimer timer;
    timer.start();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out[1], 1);
        ::close(out[0]);
        ::close(out[1]);
        const rlimit limit{rlim_t(limitMiB) << 20, rlim_t(limitMiB) << 20};
        ::setrlimit(RLIMIT_AS, &limit);
        ::execl(sqimg.constData(), sqimg.constData(), "load", file.constData(), "--size", "120x120",
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(out[1]);
    int status = 0;
    rusage usage{};
    for (;;) {
        const pid_t done = ::wait4(pid, &status, WNOHANG, &usage);
        if (done == pid) break;
        if (timer.elapsed() > qint64(timeout * 1000)) {
            ::kill(pid, SIGKILL);
            ::wait4(pid, &status, 0, &usage);
            run.timedOut = true;
            break;
        }
        ::usleep(5000);
    }
    run.seconds = double(timer.nsecsElapsed()) / 1e9;
    run.peakKiB = usage.ru_maxrss;
    char buf[512];
    ssize_t n;
    while ((n = ::read(out[0], buf, sizeof buf)) > 0)
        run.result.append(buf, int(n));
    ::close(out[0]);
    run.result = run.result.split(' ').value(0).trimmed();
    if (run.result.isEmpty())
        run.result = WIFSIGNALED(status) ? "signal " + QByteArray::number(WTERMSIG(status))
                                         : "exit " + QByteArray::number(WEXITSTATUS(status));
    return run;
}

struct Case
{
    const char* what;
    QString file;
};

QString sizeText(qint64 bytes)
{
    if (bytes >= (qint64(1) << 30))
        return QString::number(double(bytes) / double(1 << 30), 'f', 1) + " GiB";
    if (bytes >= (1 << 20))
        return QString::number(double(bytes) / double(1 << 20), 'f', 1) + " MiB";
    if (bytes >= 1024) return QString::number(double(bytes) / 1024, 'f', 1) + " KiB";
    return QString::number(bytes) + " B";
}

QString repeat(const char* s, int n)
{
    QString r;
    for (int i = 0; i < n; ++i)
        r += QLatin1String(s);
    return r;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QByteArray sqimg = SQ_SQIMG;
    int runs = 3;
    double timeout = 30;
    qint64 limitMiB = 6144;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--sqimg"))
            sqimg = args[i + 1].toLocal8Bit();
        else if (args[i] == QLatin1String("--runs"))
            runs = std::max(1, args[i + 1].toInt());
        else if (args[i] == QLatin1String("--timeout"))
            timeout = args[i + 1].toDouble();
        else if (args[i] == QLatin1String("--limit-mib"))
            limitMiB = args[i + 1].toLongLong();
    }
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QTemporaryDir dir;
    const auto at = [&dir](const char* name) { return dir.filePath(QLatin1String(name)); };
    using namespace sq::test;
    bool made = writeJpeg(at("reference.jpg"), patternImage(1600, 1200));
    made = made && writeFile(at("grey30000.jpg"), progressiveJpeg(30000, 30000, 1));
    made = made && writeFile(at("colour65500.jpg"), progressiveJpeg(65500, 65500, 3));
    made = made && writeHeadWithHole(at("colour65500-hole.jpg"),
                                     progressiveJpeg(65500, 65500, 3, 0), qint64(1000) << 20);
    made = made && writeFile(at("colour4000.jpg"), progressiveJpeg(4000, 3000, 3));
    made = made && writeFile(at("pictures.html"), pageWithPictures(50, 5000, 5000));
    made = made && writeFile(at("pictures.eml"), mailWithPictures(50, 5000, 5000));
    made = made && writeFile(at("cellpadding.html"),
                             "<table cellpadding=100000000><tr><td>x</td></tr></table>");
    made = made && writeFile(at("cellspacing.html"),
                             "<table cellspacing=100000000><tr><td>x</td></tr></table>");
    made = made && writeFile(at("colspan.html"), ("<table><tr><td colspan=100>x</td></tr>" +
                                                  repeat("<tr><td>y</td></tr>", 1000))
                                                     .toLatin1());
    made =
        made && writeFile(at("rowspan.html"),
                          ("<table>" + repeat("<tr><td rowspan=1000>x</td></tr>", 300)).toLatin1());
    made = made && writeHeadWithHole(at("hole.avi"),
                                     QByteArray("RIFF\xf0\xff\xff\xff"
                                                "AVI LIST",
                                                16),
                                     qint64(3) << 30);
    if (!made) {
        std::fprintf(stderr, "bench_hostile: cannot write the files\n");
        return 1;
    }
    std::vector<Case> cases = {
        {"JPEG 1600x1200 (reference)", at("reference.jpg")},
        {"progressive grey 30000x30000", at("grey30000.jpg")},
        {"progressive colour 65500x65500", at("colour65500.jpg")},
        {"its header + 1000 MiB hole", at("colour65500-hole.jpg")},
        {"progressive colour 4000x3000", at("colour4000.jpg")},
        {"page, 50 data: GIFs 5000x5000", at("pictures.html")},
        {"mail, 50 cid: GIFs 5000x5000", at("pictures.eml")},
        {"table cellpadding=10^8", at("cellpadding.html")},
        {"table cellspacing=10^8", at("cellspacing.html")},
        {"colspan=100 over 1000 rows", at("colspan.html")},
        {"300 rows of rowspan=1000", at("rowspan.html")},
        {"AVI 16-byte header + 3 GiB hole", at("hole.avi")},
    };
    if (haveFfmpeg() && makeNumberedVideo(at("real.avi"), QStringLiteral("mjpeg"), 250))
        cases.push_back({"AVI mjpeg 64x48, 250 frames", at("real.avi")});

    std::printf("sqimg: %s\nlimits: %lld MiB address space, %.0f s; median of %d runs (1 when it "
                "times out)\n\n",
                sqimg.constData(), (long long)limitMiB, timeout, runs);
    std::printf("%-34s %10s %12s %10s %8s  %s\n", "case", "file", "peak RSS", "median", "ratio",
                "result");
    double reference = 0;
    for (const Case& c : cases) {
        std::vector<double> times;
        long peak = 0;
        QByteArray result;
        bool timedOut = false;
        for (int r = 0; r < runs && !timedOut; ++r) {
            const Run run = runChild(sqimg, QFile::encodeName(c.file), timeout, limitMiB);
            times.push_back(run.seconds);
            peak = std::max(peak, run.peakKiB);
            result = run.result;
            timedOut = run.timedOut;
        }
        std::sort(times.begin(), times.end());
        const double median = times[times.size() / 2];
        if (reference == 0) reference = median;
        const QByteArray timeText =
            timedOut ? QByteArray("> ") + QByteArray::number(timeout, 'f', 0) + " s"
                     : QByteArray::number(median, 'f', 2) + " s";
        std::printf("%-34s %10s %8.0f MiB %10s %8.1f  %s\n", c.what,
                    qPrintable(sizeText(QFileInfo(c.file).size())), double(peak) / 1024,
                    timeText.constData(), median / reference,
                    timedOut ? "killed (time limit)" : result.constData());
        std::fflush(stdout);
    }
    return 0;
}
