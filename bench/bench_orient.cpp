// The cost of turning a picture upright as it is decoded, at full size
// (what the views load) and at the thumbnail's DCT scale: each file decoded
// as it is and with an Exif Orientation of 3 (half turn, in place) and 6
// (quarter turn) put in front, in this thread's CPU time, medians over the
// files. Usage: bench_orient [-reps N] FOLDER...
#include "engine/ExifOrientation.h"
#include "engine/ImgUtils.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

double cpuMs()
{
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

QByteArray tagged(const QByteArray& jpeg, int orientation)
{
    QByteArray tiff("II\x2A\x00\x08\x00\x00\x00\x01\x00\x12\x01\x03\x00\x01\x00\x00\x00", 18);
    tiff.append(char(orientation)).append(QByteArray(7, '\0'));
    const QByteArray payload = QByteArray("Exif\0\0", 6) + tiff;
    QByteArray segment("\xFF\xE1", 2);
    segment.append(char((payload.size() + 2) >> 8)).append(char((payload.size() + 2) & 0xFF)).append(payload);
    return jpeg.left(2) + segment + jpeg.mid(2);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments().mid(1);
    int reps = 3;
    if (args.size() >= 2 && args[0] == QLatin1String("-reps")) {
        reps = std::max(1, args[1].toInt());
        args = args.mid(2);
    }
    std::printf("%-8s %5s %9s %9s %9s %9s %7s %7s\n", "set", "scale", "size", "plain ms", "tag 3 ms", "tag 6 ms",
                "3 extra", "6 extra");
    for (const QString& folder : args) {
        std::vector<QByteArray> files;
        for (const QFileInfo& f : QDir(folder).entryInfoList({QStringLiteral("*.jpg")}, QDir::Files, QDir::Name)) {
            QFile file(f.filePath());
            if (file.open(QIODevice::ReadOnly)) files.push_back(file.readAll());
        }
        if (files.empty()) continue;
        for (int denom : {1, 8}) {
            std::vector<double> plain, turn3, turn6;
            QSize size;
            long sink = 0;
            for (int r = 0; r < reps; ++r)
                for (const QByteArray& bytes : files) {
                    const QByteArray t3 = tagged(bytes, 3), t6 = tagged(bytes, 6);
                    const double c0 = cpuMs();
                    const QImage a = sq::decodeJpeg(bytes, denom, true);
                    const double c1 = cpuMs();
                    const QImage b = sq::decodeJpeg(t3, denom, true);
                    const double c2 = cpuMs();
                    const QImage c = sq::decodeJpeg(t6, denom, true);
                    const double c3 = cpuMs();
                    sink += a.constBits()[0] + b.constBits()[0] + c.constBits()[0];
                    size = a.size();
                    plain.push_back(c1 - c0);
                    turn3.push_back(c2 - c1);
                    turn6.push_back(c3 - c2);
                }
            const double p = median(plain), t3 = median(turn3), t6 = median(turn6);
            char sizeText[24];
            std::snprintf(sizeText, sizeof sizeText, "%dx%d", size.width(), size.height());
            std::printf("%-8s %5s %9s %9.3f %9.3f %9.3f %6.1f%% %6.1f%%%s\n", qPrintable(QDir(folder).dirName()),
                        denom == 1 ? "1/1" : "1/8", sizeText, p, t3, t6, 100.0 * (t3 - p) / p, 100.0 * (t6 - p) / p,
                        sink == 42 ? " " : "");
        }
    }
    return 0;
}
