// Batch conversion against libjpeg-turbo's own tools, in one run: the JPEGs
// of a folder converted to BMP (fast IDCT) and those BMPs back to JPEG at
// quality 90, by the engine's conversion functions in this process and by
// djpeg -bmp -dct fast and cjpeg -quality 90, one process per file. Prints ms
// per file (median of the runs) and the ratio, and checks that both give the
// same files. Usage: bench_convert [-reps N] [-n FILES] [FOLDER [WORK]]
//   (defaults: 5 runs, 60 files, /tmp/bench/corpus/2mp, /tmp/sq-bench-convert)
#include "engine/ImgConvert.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QStandardPaths>

#include <algorithm>
#include <cstdio>
#include <spawn.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace {

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Runs a program to its end, as a shell loop would; false when it failed.
bool spawn(const QString& program, const QStringList& args)
{
    std::vector<QByteArray> bytes{QFile::encodeName(program)};
    for (const QString& a : args)
        bytes.push_back(QFile::encodeName(a));
    std::vector<char*> argv;
    for (QByteArray& b : bytes)
        argv.push_back(b.data());
    argv.push_back(nullptr);
    pid_t pid;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return false;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    int reps = 5, count = 60;
    QStringList rest;
    for (int i = 1; i < argc; ++i) {
        const QString a = QString::fromLocal8Bit(argv[i]);
        if (a == QLatin1String("-reps") && i + 1 < argc)
            reps = std::max(1, atoi(argv[++i]));
        else if (a == QLatin1String("-n") && i + 1 < argc)
            count = std::max(1, atoi(argv[++i]));
        else
            rest << a;
    }
    const QString corpus = rest.value(0, QStringLiteral("/tmp/bench/corpus/2mp"));
    const QString work = rest.value(1, QStringLiteral("/tmp/sq-bench-convert"));
    const QString djpeg = QStandardPaths::findExecutable(QStringLiteral("djpeg"));
    const QString cjpeg = QStandardPaths::findExecutable(QStringLiteral("cjpeg"));
    if (djpeg.isEmpty() || cjpeg.isEmpty()) {
        std::fprintf(stderr, "djpeg and cjpeg are needed (libjpeg-turbo-progs)\n");
        return 2;
    }
    QStringList names = QDir(corpus).entryList({QStringLiteral("*.jpg")}, QDir::Files, QDir::Name);
    names = names.mid(0, count);
    if (names.isEmpty()) {
        std::fprintf(stderr, "no JPEG files in %s (see make_corpus.sh)\n", qPrintable(corpus));
        return 2;
    }
    QDir(work).removeRecursively();
    const QString ours = work + QStringLiteral("/ours/");
    const QString theirs = work + QStringLiteral("/tools/");
    QDir().mkpath(ours);
    QDir().mkpath(theirs);
    auto stem = [](const QString& name) { return name.left(name.lastIndexOf(QLatin1Char('.'))); };

    std::vector<double> oursToBmp, oursToJpeg, toolsToBmp, toolsToJpeg;
    bool failed = false;
    for (int r = 0; r < reps; ++r) {
        // Alternate who goes first, so neither always meets a warm cache.
        for (int pass = 0; pass < 2; ++pass) {
            const bool mine = (pass == 0) == (r % 2 == 0);
            QElapsedTimer t;
            t.start();
            for (const QString& n : std::as_const(names)) {
                const QString bmp = (mine ? ours : theirs) + stem(n) + QStringLiteral(".bmp");
                if (mine)
                    failed |= !sq::convertJpegToBmp(corpus + QLatin1Char('/') + n, bmp).ok();
                else
                    failed |= !spawn(djpeg, {QStringLiteral("-bmp"), QStringLiteral("-dct"),
                                             QStringLiteral("fast"), QStringLiteral("-outfile"),
                                             bmp, corpus + QLatin1Char('/') + n});
            }
            (mine ? oursToBmp : toolsToBmp)
                .push_back(double(t.nsecsElapsed()) / 1e6 / double(names.size()));
            t.start();
            for (const QString& n : std::as_const(names)) {
                const QString base = (mine ? ours : theirs) + stem(n);
                if (mine)
                    failed |= !sq::convertBmpToJpeg(base + QStringLiteral(".bmp"),
                                                    base + QStringLiteral(".jpg"), 90)
                                   .ok();
                else
                    failed |=
                        !spawn(cjpeg, {QStringLiteral("-quality"), QStringLiteral("90"),
                                       QStringLiteral("-outfile"), base + QStringLiteral(".jpg"),
                                       base + QStringLiteral(".bmp")});
            }
            (mine ? oursToJpeg : toolsToJpeg)
                .push_back(double(t.nsecsElapsed()) / 1e6 / double(names.size()));
        }
    }
    int samePixels = 0, sameJpeg = 0;
    for (const QString& n : std::as_const(names)) {
        const QString s = stem(n);
        samePixels += sq::decodeBmpRgb(readAll(ours + s + QStringLiteral(".bmp"))) ==
                      sq::decodeBmpRgb(readAll(theirs + s + QStringLiteral(".bmp")));
        sameJpeg += readAll(ours + s + QStringLiteral(".jpg")) ==
                    readAll(theirs + s + QStringLiteral(".jpg"));
    }
    const double ob = median(oursToBmp), oj = median(oursToJpeg), tb = median(toolsToBmp),
                 tj = median(toolsToJpeg);
    std::printf("batch conversion, %lld files of %s, median of %d runs\n", qlonglong(names.size()),
                qPrintable(corpus), reps);
    std::printf("%-28s %8s %14s %16s %7s %10s\n", "conversion", "files", "ours ms/file",
                "tools ms/file", "ratio", "identical");
    std::printf("%-28s %8lld %14.2f %16.2f %6.2fx %6d/%lld\n", "JPEG -> BMP (fast IDCT)",
                qlonglong(names.size()), ob, tb, ob / tb, samePixels, qlonglong(names.size()));
    std::printf("%-28s %8lld %14.2f %16.2f %6.2fx %6d/%lld\n", "BMP -> JPEG (quality 90)",
                qlonglong(names.size()), oj, tj, oj / tj, sameJpeg, qlonglong(names.size()));
    std::printf("%-28s %8lld %14.2f %16.2f %6.2fx\n", "both", qlonglong(names.size()), ob + oj,
                tb + tj, (ob + oj) / (tb + tj));
    std::printf("tools: djpeg -bmp -dct fast / cjpeg -quality 90, one process per file\n");
    if (failed) std::printf("SOME CONVERSIONS FAILED\n");
    return failed ? 1 : 0;
}
