// The cost of colour management as the views and the thumbnail loader meet
// it: a photograph-sized JPEG without a profile (the reference), the same
// with a Display P3 profile while colours are not managed, and while they
// are (converted to sRGB), loaded at full size and as a 120 x 90 thumbnail,
// in this thread's CPU time, medians of the runs.
// Usage: bench_colour [-reps N] [-size WxH]
#include "engine/ColourManage.h"
#include "engine/ImgUtils.h"
#include "tests/support/ColourFiles.h"
#include "tests/support/TestFiles.h"

#include <QGuiApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
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

// Smooth colour waves: compresses like a photograph, every pixel differs.
QImage photo(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB888);
    for (int y = 0; y < h; ++y) {
        uchar* line = image.scanLine(y);
        for (int x = 0; x < w; ++x) {
            line[3 * x] = uchar(127 + 127 * std::sin(x * 0.013 + y * 0.002));
            line[3 * x + 1] = uchar(127 + 127 * std::sin(y * 0.011 + 1.0));
            line[3 * x + 2] = uchar(127 + 127 * std::sin((x + y) * 0.007 + 2.0));
        }
    }
    return image;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments().mid(1);
    int reps = 7;
    QSize size(3000, 2000);
    for (int i = 0; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("-reps")) reps = std::max(1, args[i + 1].toInt());
        if (args[i] == QLatin1String("-size")) {
            const QStringList wh = args[i + 1].split(QLatin1Char('x'));
            if (wh.size() == 2) size = QSize(wh[0].toInt(), wh[1].toInt());
        }
    }
    QTemporaryDir dir;
    const QImage image = photo(size.width(), size.height());
    const QString plain = dir.filePath(QStringLiteral("plain.jpg"));
    const QString wide = dir.filePath(QStringLiteral("p3.jpg"));
    if (!sq::test::writeFile(plain, sq::test::jpegWithIcc(image, QByteArray(), 90)) ||
        !sq::test::writeFile(
            wide,
            sq::test::jpegWithIcc(image, sq::test::iccProfileOf(sq::test::displayP3Space()), 90)))
        return 1;
    sq::ColourSetting off, on;
    off.set(false, QByteArray());
    on.set(true, QByteArray());
    struct Case
    {
        const char* name;
        const QString* file;
        sq::ColourSetting* setting;
    };
    const Case cases[] = {
        {"no profile", &plain, &on}, {"P3, off", &wide, &off}, {"P3, to sRGB", &wide, &on}};
    std::printf("%-12s %-10s %11s %9s %7s\n", "picture", "load", "pixels", "median ms", "ratio");
    for (const bool thumb : {false, true}) {
        double reference = 0;
        for (const Case& c : cases) {
            TImgUtil util;
            util.setColour(c.setting);
            util.setGetType(thumb ? igtStretch : igtNormal);
            std::vector<double> ms;
            qint64 pixels = 0;
            for (int r = 0; r < reps + 1; ++r) {
                const double t0 = cpuMs();
                util.LoadImage(*c.file, 120, 90);
                const double t1 = cpuMs();
                if (r > 0) ms.push_back(t1 - t0); // the first run makes the transform
                pixels = qint64(util.Bitmap().width()) * util.Bitmap().height();
            }
            const double m = median(ms);
            if (reference == 0) reference = m;
            std::printf("%-12s %-10s %11lld %9.2f %7.2f\n", c.name,
                        thumb ? "thumbnail" : "full size", (long long)pixels, m, m / reference);
        }
    }
    std::printf("transforms made: %d\n", sq::transformsMade());
    return 0;
}
