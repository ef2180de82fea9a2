// Writes a folder of photographs for the X test of the new kinds: a HEIC with
// its own thumbnail, an AVIF, a JPEG XL, a DNG with an embedded preview and
// an MP4 and a JPEG carrying a Display P3 profile, each a different colourful
// pattern at 640 x 480.
//   write_photos FOLDER
#include "tests/support/ColourFiles.h"
#include "tests/support/MediaFiles.h"
#include "tests/support/PhotoFiles.h"

#include <QFile>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QProcess>

#include <cstdio>

using namespace sq::test;

namespace {

QImage pattern(int seed)
{
    QImage image(640, 480, QImage::Format_RGB888);
    QPainter p(&image);
    QLinearGradient g(0, 0, 640, 480);
    g.setColorAt(0, QColor::fromHsv((seed * 67) % 360, 200, 250));
    g.setColorAt(1, QColor::fromHsv((seed * 67 + 150) % 360, 230, 120));
    p.fillRect(image.rect(), g);
    for (int i = 0; i < 12; ++i) {
        p.setBrush(QColor::fromHsv((seed * 40 + i * 30) % 360, 255, 255));
        p.setPen(Qt::NoPen);
        p.drawEllipse(QPoint(40 + (i * 97 + seed * 31) % 560, 40 + (i * 53 + seed * 17) % 400), 30 + i * 3,
                      30 + i * 3);
    }
    return image;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: write_photos FOLDER\n");
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    bool ok = writeHeif(dir + "/a_phone.heic", pattern(1), HeifCodec::Hevc, pattern(1), 320, 1);
    if (canWriteHeif(HeifCodec::Av1)) ok = writeHeif(dir + "/b_phone.avif", pattern(2), HeifCodec::Av1) && ok;
    ok = writeJxl(dir + "/c_photo.jxl", pattern(3)) && ok;
    ok = writeDng(dir + "/d_camera.dng", pattern(4), 1, pattern(4).scaled(320, 240)) && ok;
    QFile p3(dir + "/f_wide.jpg");
    const QByteArray jpeg = jpegWithIcc(pattern(5), iccProfileOf(displayP3Space()), 90);
    ok = !jpeg.isEmpty() && p3.open(QIODevice::WriteOnly) && p3.write(jpeg) == jpeg.size() && ok;
    p3.close();
    QProcess ffmpeg;
    ffmpeg.start("ffmpeg", {"-v", "error", "-nostdin", "-y", "-f", "lavfi", "-i",
                            "testsrc2=s=640x480:r=25:d=2", "-c:v", "libx264", "-pix_fmt", "yuv420p",
                            dir + "/e_clip.mp4"});
    ok = ffmpeg.waitForFinished(60000) && ffmpeg.exitCode() == 0 && ok;
    return ok ? 0 : 1;
}
