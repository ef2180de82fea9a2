#include "engine/ImgUtils.h"
#include "tests/support/FileDamage.h"
#include "tests/support/IconFiles.h"
#include "tests/support/MediaFiles.h"
#include "tests/support/TestFiles.h"

#include <QTemporaryDir>
#include <QtTest>

using sq::test::IconImageDesc;

class TstKinds : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }

    bool m_videos = false;

private Q_SLOTS:
    void initTestCase()
    {
        // Videos are made once: 1000 numbered frames as intra-only MJPEG,
        // as MPEG-4 with a key frame every 64 frames (so most targets are
        // reached by decoding forward from an earlier key frame), and a
        // short uncompressed one.
        if (!sq::test::haveFfmpeg())
            return;
        m_videos = sq::test::makeNumberedVideo(path("mjpeg.avi"), "mjpeg", 1000) &&
                   sq::test::makeNumberedVideo(path("mpeg4.avi"), "mpeg4", 1000, 64) &&
                   sq::test::makeNumberedVideo(path("raw.avi"), "rawvideo", 100);
        QVERIFY2(m_videos, "ffmpeg is installed but could not make the test videos");
    }

    // The frame shown is the one at AviFramePos percent of the length, read
    // back from the number each frame carries; out-of-range positions leave
    // the previous one in force.
    void videoFrameAtPosition_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QList<int>>("positions");
        QTest::addColumn<int>("frame");
        QTest::newRow("0: the first frame") << "mjpeg.avi" << QList<int>{0} << 0;
        QTest::newRow("50: frame 500 of 1000") << "mjpeg.avi" << QList<int>{50} << 500;
        QTest::newRow("default 20: frame 200") << "mjpeg.avi" << QList<int>{} << 200;
        QTest::newRow("150 ignored, 30 kept") << "mjpeg.avi" << QList<int>{30, 150} << 300;
        QTest::newRow("-1 ignored, 40 kept") << "mjpeg.avi" << QList<int>{40, -1} << 400;
        QTest::newRow("100: past the end, the last frame") << "mjpeg.avi" << QList<int>{100} << 999;
        QTest::newRow("mpeg4 50: forward from key frame 448") << "mpeg4.avi" << QList<int>{50} << 500;
        QTest::newRow("mpeg4 33") << "mpeg4.avi" << QList<int>{33} << 330;
        QTest::newRow("mpeg4 0") << "mpeg4.avi" << QList<int>{0} << 0;
        QTest::newRow("mpeg4 150 ignored, 99 kept") << "mpeg4.avi" << QList<int>{99, 150} << 990;
        QTest::newRow("raw 50 of 100") << "raw.avi" << QList<int>{50} << 50;
    }
    void videoFrameAtPosition()
    {
        if (!m_videos)
            QSKIP("the ffmpeg command-line tool is not installed: no test videos");
        QFETCH(QString, name);
        QFETCH(QList<int>, positions);
        QFETCH(int, frame);
        TImgUtil util;
        util.setGetType(igtNormal);
        for (int pos : positions)
            util.setAviFramePos(pos);
        QCOMPARE(util.LoadImage(path(name), 200, 150), 0);
        QCOMPARE(int(util.ImageType()), int(iitAvi));
        QCOMPARE(QSize(util.ImageWidth(), util.ImageHeight()), QSize(64, 48));
        QCOMPARE(util.Bitmap().image().size(), QSize(64, 48));
        QCOMPARE(util.Bitmap().image().format(), QImage::Format_RGB888);
        QCOMPARE(sq::test::videoFrameNumber(util.Bitmap().image()), frame);
    }

    // The frame is fitted like any picture; ImageWidth/Height keep its own size.
    void videoFrameIsFitted_data()
    {
        QTest::addColumn<int>("getType");
        QTest::addColumn<QSize>("box");
        QTest::addColumn<QSize>("bitmap");
        QTest::newRow("preview shrinks") << int(igtPreview) << QSize(32, 32) << QSize(32, 24);
        QTest::newRow("preview never enlarges") << int(igtPreview) << QSize(200, 200) << QSize(64, 48);
        QTest::newRow("stretch enlarges") << int(igtStretch) << QSize(128, 128) << QSize(128, 96);
        QTest::newRow("fit: the exact box") << int(igtFit) << QSize(50, 50) << QSize(50, 50);
    }
    void videoFrameIsFitted()
    {
        if (!m_videos)
            QSKIP("the ffmpeg command-line tool is not installed: no test videos");
        QFETCH(int, getType);
        QFETCH(QSize, box);
        QFETCH(QSize, bitmap);
        TImgUtil util;
        util.setGetType(TGetType(getType));
        QCOMPARE(util.LoadImage(path("mjpeg.avi"), box.width(), box.height()), 0);
        QCOMPARE(QSize(util.ImageWidth(), util.ImageHeight()), QSize(64, 48));
        QCOMPARE(util.Bitmap().image().size(), bitmap);
    }

    // What FFmpeg cannot open or decode gives -1 and the file's icon.
    void badVideosGiveTheIcon_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<qint64>("cut");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("text named .avi") << "text.avi" << qint64(-1) << QByteArray("just some words\n");
        QTest::newRow("empty") << "empty.avi" << qint64(-1) << QByteArray();
        QTest::newRow("RIFF header only") << "riff.avi" << qint64(-1) << QByteArray("RIFF\x10\0\0\0AVI LIST", 16);
        QTest::newRow("mjpeg cut inside its header") << "mjpeg.avi" << qint64(300) << QByteArray();
        QTest::newRow("mpeg4 cut before its first frame") << "mpeg4.avi" << qint64(5000) << QByteArray();
    }
    void badVideosGiveTheIcon()
    {
        QFETCH(QString, name);
        QFETCH(qint64, cut);
        QFETCH(QByteArray, bytes);
        const QString file = path(QStringLiteral("bad-") + name);
        if (cut >= 0) {
            if (!m_videos)
                QSKIP("the ffmpeg command-line tool is not installed: no test videos");
            QVERIFY(QFile::copy(path(name), file) || QFile::exists(file));
            QVERIFY(sq::test::truncateFile(file, cut));
        } else {
            QVERIFY(sq::test::writeFile(file, bytes));
        }
        TImgUtil util;
        util.setAviFramePos(50);
        QCOMPARE(util.LoadImage(file, 200, 150), -1);
        QCOMPARE(int(util.ImageType()), int(iitAvi));
        QCOMPARE(util.Bitmap().image().size(), QSize(32, 32));
        QCOMPARE(QSize(util.ImageWidth(), util.ImageHeight()), QSize(32, 32));
    }

    // The icon drawn for a file that carries its own: right kind, 32 x 32,
    // the colour of the chosen image outside its transparent corner, which
    // shows the background.
    void filesDrawTheirOwnIcon_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("iconIndex");
        QTest::addColumn<int>("type");
        QTest::addColumn<QColor>("colour");
        QTest::addColumn<int>("iconCount");
        const QList<QList<IconImageDesc>> groups = {
            {{32, 24, Qt::red}}, {{32, 8, Qt::green}}, {{16, 24, Qt::gray}, {32, 32, Qt::blue}}};
        const QByteArray pe = sq::test::makePeFile(groups);
        QTest::newRow("exe, index 0: first group") << "a.exe" << pe << 0 << int(iitExe) << QColor(Qt::red) << 3;
        QTest::newRow("exe, index 2: third group") << "b.exe" << pe << 2 << int(iitExe) << QColor(Qt::blue) << 3;
        QTest::newRow("dll, index 1") << "c.dll" << pe << 1 << int(iitDll) << QColor(Qt::green) << 3;
        QTest::newRow("cur") << "d.cur" << sq::test::makeIcoFile({{32, 24, Qt::magenta}}, true) << 0
                             << int(iitCur) << QColor(Qt::magenta) << 0;
        QTest::newRow("ani, sequence from frame 1")
            << "e.ani"
            << sq::test::makeAniFile({sq::test::makeIcoFile({{32, 24, Qt::red}}, true),
                                      sq::test::makeIcoFile({{32, 24, Qt::cyan}}, true)},
                                     {1, 0})
            << 0 << int(iitAni) << QColor(Qt::cyan) << 0;
        QTest::newRow("ico, 48 only: shrunk to 32") << "f.ico" << sq::test::makeIcoFile({{48, 32, Qt::yellow}})
                                                    << 0 << int(iitIco) << QColor(Qt::yellow) << 0;
    }
    void filesDrawTheirOwnIcon()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(int, iconIndex);
        QFETCH(int, type);
        QFETCH(QColor, colour);
        QFETCH(int, iconCount);
        QVERIFY(sq::test::writeFile(path(name), bytes));
        TImgUtil util;
        QCOMPARE(util.LoadImage(path(name), 200, 150, iconIndex), 0);
        QCOMPARE(int(util.ImageType()), type);
        QCOMPARE(util.IconCount(), iconCount);
        const QImage& image = util.Bitmap().image();
        QCOMPARE(image.size(), QSize(32, 32));
        QCOMPARE(QColor(image.pixel(28, 28)).rgb(), colour.rgb());
        QCOMPARE(QColor(image.pixel(2, 2)).rgb(), QColor(Qt::white).rgb());
    }

    // No resources, or damage: the theme icon for the file's type, still 32 x 32
    // and result 0 as for any icon.
    void filesWithoutUsableIconsGetTheThemeIcon_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("iconCount");
        QTest::newRow("exe without resources") << "n.exe" << sq::test::makePeFileWithoutResources() << 0;
        QByteArray pe = sq::test::makePeFile({{{32, 24, Qt::red}}});
        QTest::newRow("exe cut short") << "t.exe" << pe.left(0x210) << 0;
        QTest::newRow("dll that is text") << "x.dll" << QByteArray("not a program") << 0;
        QTest::newRow("ani that is empty") << "e.ani" << QByteArray() << 0;
    }
    void filesWithoutUsableIconsGetTheThemeIcon()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(int, iconCount);
        QVERIFY(sq::test::writeFile(path(name), bytes));
        TImgUtil util;
        QCOMPARE(util.LoadImage(path(name), 200, 150, 1), 0);
        QCOMPARE(util.IconCount(), iconCount);
        QCOMPARE(util.Bitmap().image().size(), QSize(32, 32));
    }
};

QTEST_MAIN(TstKinds)
#include "tst_kinds.moc"
