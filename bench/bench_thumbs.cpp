// Thumbnails per second of TImgUtil::LoadImage against the floor measured in
// the same run: the bare libjpeg-turbo decode of the same files at the same
// DCT scale, rows discarded; in wall time and in CPU time. Usage:
// bench_thumbs [-reps N] FOLDER...
#include "engine/ImgUtils.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

#include <jpeglib.h>

namespace {

// The floor: read the file, decode at the chosen scale, drop the rows.
long floorDecode(const QString& path, int boxW, int boxH)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray bytes = file.readAll();
    jpeg_decompress_struct d;
    jpeg_error_mgr e;
    d.err = jpeg_std_error(&e);
    jpeg_create_decompress(&d);
    jpeg_mem_src(&d, reinterpret_cast<const unsigned char*>(bytes.constData()), (unsigned long)bytes.size());
    jpeg_read_header(&d, TRUE);
    d.out_color_space = JCS_RGB;
    d.dct_method = JDCT_IFAST;
    d.scale_num = 1;
    d.scale_denom = (unsigned)sq::jpegScaleFor(int(d.image_width), int(d.image_height), boxW, boxH);
    jpeg_start_decompress(&d);
    JSAMPARRAY row = (*d.mem->alloc_sarray)((j_common_ptr)&d, JPOOL_IMAGE, d.output_width * 3, 1);
    long sum = 0;
    while (d.output_scanline < d.output_height) {
        jpeg_read_scanlines(&d, row, 1);
        sum += row[0][0];
    }
    jpeg_finish_decompress(&d);
    jpeg_destroy_decompress(&d);
    return sum;
}

double wallMs()
{
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

double cpuMs()
{
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments().mid(1);
    int reps = 5;
    if (args.size() >= 2 && args[0] == QLatin1String("-reps")) {
        reps = std::max(1, args[1].toInt());
        args = args.mid(2);
    }
    std::printf("%-8s %7s %5s %9s %9s %8s %7s %9s %9s %7s\n", "set", "box", "files", "floor ms",
                "ours ms", "thumbs/s", "ratio", "floor cpu", "ours cpu", "ratio");
    for (const QString& folder : args) {
        QStringList files;
        for (const QFileInfo& f : QDir(folder).entryInfoList({QStringLiteral("*.jpg")}, QDir::Files, QDir::Name))
            files << f.filePath();
        if (files.isEmpty())
            continue;
        for (const QSize box : {QSize(80, 60), QSize(160, 120)}) {
            std::vector<double> floorMs, oursMs, floorCpu, oursCpu;
            TImgUtil util;
            util.setGetType(igtStretch);
            long sink = 0;
            for (int r = 0; r < reps; ++r) {
                // File by file, the floor and LoadImage in turn, so that a
                // change of the machine's load meets both alike. CPU time
                // (this thread's, system time included) is what load does
                // not change.
                double fw = 0, ow = 0, fc = 0, oc = 0;
                for (const QString& f : files) {
                    const double w0 = wallMs(), c0 = cpuMs();
                    sink += floorDecode(f, box.width(), box.height());
                    const double w1 = wallMs(), c1 = cpuMs();
                    sink += util.LoadImage(f, box.width(), box.height());
                    const double w2 = wallMs(), c2 = cpuMs();
                    fw += w1 - w0;
                    fc += c1 - c0;
                    ow += w2 - w1;
                    oc += c2 - c1;
                }
                const double n = double(files.size());
                floorMs.push_back(fw / n);
                oursMs.push_back(ow / n);
                floorCpu.push_back(fc / n);
                oursCpu.push_back(oc / n);
            }
            const double fm = median(floorMs), om = median(oursMs);
            const double fcm = median(floorCpu), ocm = median(oursCpu);
            char boxText[16];
            std::snprintf(boxText, sizeof boxText, "%dx%d", box.width(), box.height());
            std::printf("%-8s %7s %5lld %9.3f %9.3f %8.1f %7.3f %9.3f %9.3f %7.3f%s\n",
                        qPrintable(QDir(folder).dirName()), boxText, (long long)files.size(), fm,
                        om, 1000.0 / om, om / fm, fcm, ocm, ocm / fcm, sink == 42 ? " " : "");
        }
    }
    return 0;
}
