#include "tests/support/MediaFiles.h"

#include <QImage>
#include <QProcess>
#include <QStandardPaths>

namespace sq::test {

bool haveFfmpeg()
{
    return !QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty();
}

bool makeNumberedVideo(const QString& path, const QString& codec, int frames, int gop)
{
    const QString source = QStringLiteral("color=c=black:s=64x48:r=25,format=gray,"
                                          "geq=lum='if(lt(X\\,60)\\,255*mod(floor(N/pow(2\\,floor(X/6)))\\,2)\\,128)'");
    QStringList args = {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-nostdin"),
                        QStringLiteral("-y"), QStringLiteral("-f"),     QStringLiteral("lavfi"),
                        QStringLiteral("-i"), source,                   QStringLiteral("-frames:v"),
                        QString::number(frames), QStringLiteral("-c:v"), codec,
                        QStringLiteral("-g"), QString::number(gop)};
    if (codec == QLatin1String("rawvideo"))
        args << QStringLiteral("-pix_fmt") << QStringLiteral("bgr24");
    else if (codec == QLatin1String("mjpeg"))
        args << QStringLiteral("-q:v") << QStringLiteral("3") << QStringLiteral("-pix_fmt")
             << QStringLiteral("yuvj420p");
    else
        args << QStringLiteral("-q:v") << QStringLiteral("3") << QStringLiteral("-pix_fmt")
             << QStringLiteral("yuv420p");
    args << path;
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"), args);
    return ffmpeg.waitForFinished(120000) && ffmpeg.exitStatus() == QProcess::NormalExit && ffmpeg.exitCode() == 0;
}

int videoFrameNumber(const QImage& image)
{
    if (image.width() < 60 || image.height() < 1)
        return -1;
    int n = 0;
    for (int bit = 0; bit < 10; ++bit) {
        const int grey = qGray(image.pixel(6 * bit + 3, image.height() / 2));
        if (grey > 200)
            n |= 1 << bit;
        else if (grey > 55)
            return -1;
    }
    return n;
}

} // namespace sq::test
