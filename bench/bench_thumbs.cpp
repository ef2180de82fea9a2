// Thumbnails per second of TImgUtil::LoadImage against the floor measured in
// the same run: the bare libjpeg-turbo decode of the same files at the same
// DCT scale, rows discarded. Usage: bench_thumbs [-reps N] FOLDER...
#include "engine/ImgUtils.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>

#include <algorithm>
#include <cstdio>
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
    std::printf("%-28s %5s %6s %12s %12s %10s %8s\n", "set", "box", "files", "floor ms", "LoadImage ms",
                "thumbs/s", "ratio");
    for (const QString& folder : args) {
        QStringList files;
        for (const QFileInfo& f : QDir(folder).entryInfoList({QStringLiteral("*.jpg")}, QDir::Files, QDir::Name))
            files << f.filePath();
        if (files.isEmpty())
            continue;
        for (const QSize box : {QSize(80, 60), QSize(160, 120)}) {
            std::vector<double> floorMs, oursMs;
            TImgUtil util;
            util.setGetType(igtStretch);
            long sink = 0;
            for (int r = 0; r < reps; ++r) {
                QElapsedTimer t;
                t.start();
                for (const QString& f : files)
                    sink += floorDecode(f, box.width(), box.height());
                floorMs.push_back(t.nsecsElapsed() / 1e6 / double(files.size()));
                t.restart();
                for (const QString& f : files)
                    sink += util.LoadImage(f, box.width(), box.height());
                oursMs.push_back(t.nsecsElapsed() / 1e6 / double(files.size()));
            }
            const double fm = median(floorMs), om = median(oursMs);
            char boxText[16];
            std::snprintf(boxText, sizeof boxText, "%dx%d", box.width(), box.height());
            std::printf("%-28s %5s %6lld %12.3f %12.3f %10.1f %8.3f%s\n", qPrintable(QDir(folder).dirName()),
                        boxText, (long long)files.size(), fm, om, 1000.0 / om, om / fm, sink == 42 ? " " : "");
        }
    }
    return 0;
}
