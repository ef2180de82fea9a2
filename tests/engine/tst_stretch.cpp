// The viewers' plain resamplers: the bilinear rule against a slow per-pixel
// version written here from the formula, the nearest-pixel stretch, and
// `sqimg smooth` on good and bad input.
#include "engine/BmpFile.h"
#include "engine/Stretch.h"
#include "platform/NativePath.h"
#include "tests/support/TestFiles.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <sys/stat.h>

namespace {

QImage randomPicture(int w, int h, quint32 seed)
{
    QImage image(w, h, QImage::Format_RGB888);
    QRandomGenerator rng(seed);
    for (int y = 0; y < h; ++y) {
        uchar* row = image.scanLine(y);
        for (int i = 0; i < 3 * w; ++i)
            row[i] = uchar(rng.bounded(256));
    }
    return image;
}

// The rule as written: every target pixel on its own, in double precision.
QImage slowBilinear(const QImage& src, int w, int h)
{
    const int W = src.width(), H = src.height();
    QImage out(w, h, QImage::Format_RGB888);
    const double sx = double(W) / w, sy = double(H) / h;
    for (int j = 0; j < h; ++j) {
        const double fyp = (j + 0.5) * sy - 0.5;
        const int iy = int(std::floor(fyp));
        const double fy = fyp - iy;
        const int upper = iy < 0 ? 0 : std::min(iy, H - 1);
        const int lower = iy + 1 > H - 1 ? H - 1 : std::max(iy + 1, 0);
        for (int i = 0; i < w; ++i) {
            const double fxp = (i + 0.5) * sx - 0.5;
            const int ix = int(std::floor(fxp));
            const double fx = fxp - ix;
            const int left = ix < 0 ? 0 : std::min(ix, W - 1);
            const int right = ix + 1 > W - 1 ? W - 1 : std::max(ix + 1, 0);
            for (int k = 0; k < 3; ++k) {
                const double p00 = src.constScanLine(upper)[3 * left + k];
                const double p10 = src.constScanLine(upper)[3 * right + k];
                const double p01 = src.constScanLine(lower)[3 * left + k];
                const double p11 = src.constScanLine(lower)[3 * right + k];
                const double v =
                    p00 + fx * (p10 - p00) + fy * (p01 - p00) + fx * fy * (p00 + p11 - p10 - p01);
                out.scanLine(j)[3 * i + k] = uchar(std::nearbyint(v));
            }
        }
    }
    return out;
}

QString sqimg()
{
    return qEnvironmentVariable("SQ_BINARY_DIR") + QStringLiteral("/engine/sqimg");
}

int runSqimg(const QStringList& args, QByteArray* err = nullptr)
{
    QProcess p;
    p.start(sqimg(), QStringList{QStringLiteral("smooth")} + args);
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        return -1;
    }
    if (err) *err = p.readAllStandardError();
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
}

} // namespace

class TstStretch : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void bilinearMatchesRule_data();
    void bilinearMatchesRule();
    void bilinearTiesToEven_data();
    void bilinearTiesToEven();
    void emptyResults();
    void nearest_data();
    void nearest();
    void sqimgSmooth();
    void sqimgSmoothBadInput_data();
    void sqimgSmoothBadInput();
};

void TstStretch::bilinearMatchesRule_data()
{
    QTest::addColumn<QSize>("from");
    QTest::addColumn<QSize>("to");
    QTest::newRow("1x1 up") << QSize(1, 1) << QSize(5, 7);
    QTest::newRow("1 wide") << QSize(1, 17) << QSize(40, 3);
    QTest::newRow("1 high") << QSize(23, 1) << QSize(7, 9);
    QTest::newRow("1 wide to 1 wide") << QSize(1, 9) << QSize(1, 30);
    QTest::newRow("loupe 中 200%") << QSize(78, 78) << QSize(156, 156);
    QTest::newRow("loupe 最大 200%") << QSize(128, 128) << QSize(256, 256);
    QTest::newRow("loupe 中 150%") << QSize(104, 104) << QSize(156, 156);
    QTest::newRow("loupe 小 500%") << QSize(20, 20) << QSize(100, 100);
    QTest::newRow("reduce") << QSize(300, 200) << QSize(17, 13);
    QTest::newRow("reduce to 1x1") << QSize(31, 29) << QSize(1, 1);
    QTest::newRow("mixed") << QSize(40, 7) << QSize(9, 50);
    QTest::newRow("same size") << QSize(33, 21) << QSize(33, 21);
}

void TstStretch::bilinearMatchesRule()
{
    QFETCH(QSize, from);
    QFETCH(QSize, to);
    for (quint32 seed : {1u, 2u, 3u}) {
        const QImage src = randomPicture(from.width(), from.height(), seed);
        const QImage fast = sq::BilinearResize(src, to.width(), to.height());
        QCOMPARE(fast.size(), to);
        QCOMPARE(fast.format(), QImage::Format_RGB888);
        QCOMPARE(fast, slowBilinear(src, to.width(), to.height()));
        if (from == to) QCOMPARE(fast, src); // every sample falls on a source pixel
    }
    // Any 24-bit source is taken as its colour bytes, whatever its format.
    const QImage src = randomPicture(from.width(), from.height(), 9);
    QCOMPARE(sq::BilinearResize(src.convertToFormat(QImage::Format_RGB32), to.width(), to.height()),
             sq::BilinearResize(src, to.width(), to.height()));
}

void TstStretch::bilinearTiesToEven_data()
{
    // A 2 x 1 source halved samples exactly between its two pixels: the
    // blend is (left + right) / 2 and halves round to the even neighbour.
    QTest::addColumn<int>("left");
    QTest::addColumn<int>("right");
    QTest::addColumn<int>("value");
    QTest::newRow("0.5") << 0 << 1 << 0;
    QTest::newRow("1.5") << 1 << 2 << 2;
    QTest::newRow("2.5") << 2 << 3 << 2;
    QTest::newRow("254.5") << 255 << 254 << 254;
    QTest::newRow("127.5") << 127 << 128 << 128;
    QTest::newRow("exact") << 10 << 20 << 15;
}

void TstStretch::bilinearTiesToEven()
{
    QFETCH(int, left);
    QFETCH(int, right);
    QFETCH(int, value);
    QImage src(2, 1, QImage::Format_RGB888);
    src.setPixel(0, 0, qRgb(left, left, 0));
    src.setPixel(1, 0, qRgb(right, right, 0));
    const QImage out = sq::BilinearResize(src, 1, 1);
    QCOMPARE(out.pixel(0, 0), qRgb(value, value, 0));
}

void TstStretch::emptyResults()
{
    const QImage src = randomPicture(4, 4, 5);
    QVERIFY(sq::BilinearResize(QImage(), 10, 10).isNull());
    QVERIFY(sq::BilinearResize(src, 0, 10).isNull());
    QVERIFY(sq::BilinearResize(src, 10, -1).isNull());
    QVERIFY(sq::NearestResize(QImage(), 10, 10).isNull());
    QVERIFY(sq::NearestResize(src, 10, 0).isNull());
}

void TstStretch::nearest_data()
{
    QTest::addColumn<QSize>("from");
    QTest::addColumn<QSize>("to");
    QTest::newRow("2x") << QSize(78, 78) << QSize(156, 156);
    QTest::newRow("150%") << QSize(104, 104) << QSize(156, 156);
    QTest::newRow("500%") << QSize(20, 20) << QSize(100, 100);
    QTest::newRow("1:1") << QSize(100, 100) << QSize(100, 100);
    QTest::newRow("reduce") << QSize(256, 200) << QSize(65, 65);
    QTest::newRow("1 wide") << QSize(1, 5) << QSize(7, 3);
}

void TstStretch::nearest()
{
    QFETCH(QSize, from);
    QFETCH(QSize, to);
    const QImage src = randomPicture(from.width(), from.height(), 7);
    const QImage out = sq::NearestResize(src, to.width(), to.height());
    QCOMPARE(out.size(), to);
    for (int j = 0; j < to.height(); ++j)
        for (int i = 0; i < to.width(); ++i) {
            // The source pixel under the target pixel's centre.
            const int si = int(std::floor((i + 0.5) * from.width() / to.width()));
            const int sj = int(std::floor((j + 0.5) * from.height() / to.height()));
            QCOMPARE(out.pixel(i, j), src.pixel(si, sj));
        }
    if (to == from * 2)
        for (int j = 0; j < to.height(); ++j)
            for (int i = 0; i < to.width(); ++i)
                QCOMPARE(out.pixel(i, j), src.pixel(i / 2, j / 2));
}

void TstStretch::sqimgSmooth()
{
    QTemporaryDir dir;
    const QImage src = randomPicture(37, 11, 21);
    const QString in = dir.filePath(QStringLiteral("in.bmp")),
                  out = dir.filePath(QStringLiteral("出力.bmp"));
    QVERIFY(src.save(in, "BMP"));
    QByteArray err;
    QCOMPARE(runSqimg({in, QStringLiteral("90"), QStringLiteral("40"), out}, &err), 0);
    QVERIFY2(err.isEmpty(), err.constData());
    const QByteArray bytes = sq::test::readFile(out);
    QVERIFY(bytes.startsWith("BM"));
    QCOMPARE(int(uchar(bytes[28])) | int(uchar(bytes[29])) << 8, 24); // bits per pixel
    const QImage written(out, "BMP");
    QCOMPARE(written.convertToFormat(QImage::Format_RGB888), slowBilinear(src, 90, 40));
    // Replacing a file keeps nothing of the old one and leaves no temporary behind.
    QCOMPARE(runSqimg({in, QStringLiteral("3"), QStringLiteral("2"), out}), 0);
    QCOMPARE(QImage(out, "BMP").size(), QSize(3, 2));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 2);
}

void TstStretch::sqimgSmoothBadInput_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("message");
    QTest::newRow("missing file") << "missing"
                                  << "cannot read";
    QTest::newRow("not a BMP") << "png"
                               << "not a BMP";
    QTest::newRow("truncated BMP") << "truncated"
                                   << "damaged BMP";
    QTest::newRow("empty file") << "empty"
                                << "not a BMP";
    QTest::newRow("folder") << "folder"
                            << "not a regular file";
    QTest::newRow("FIFO") << "fifo"
                          << "not a regular file";
    QTest::newRow("zero width") << "w0"
                                << "bad size";
    QTest::newRow("width not a number") << "wx"
                                        << "bad size";
    QTest::newRow("too large") << "huge"
                               << "too large";
    QTest::newRow("missing argument") << "args"
                                      << "expected";
    QTest::newRow("unwritable folder") << "unwritable"
                                       << "cannot write";
    QTest::newRow("output is a folder") << "outfolder"
                                        << "cannot write";
}

void TstStretch::sqimgSmoothBadInput()
{
    QFETCH(QString, kind);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const QString good = dir.filePath(QStringLiteral("good.bmp"));
    QVERIFY(randomPicture(20, 10, 3).save(good, "BMP"));
    QString in = good, out = dir.filePath(QStringLiteral("out.bmp"));
    QString w = QStringLiteral("10"), h = QStringLiteral("10");
    std::unique_ptr<sq::test::UnwritableFolder> locked;
    if (kind == QLatin1String("missing")) {
        in = dir.filePath(QStringLiteral("none.bmp"));
    } else if (kind == QLatin1String("png")) {
        in = dir.filePath(QStringLiteral("p.bmp"));
        QVERIFY(randomPicture(5, 5, 1).save(in, "PNG"));
    } else if (kind == QLatin1String("truncated")) {
        in = dir.filePath(QStringLiteral("t.bmp"));
        QVERIFY(sq::test::writeFile(in, sq::test::readFile(good).left(60)));
    } else if (kind == QLatin1String("empty")) {
        in = dir.filePath(QStringLiteral("e.bmp"));
        QVERIFY(sq::test::writeFile(in, QByteArray()));
    } else if (kind == QLatin1String("folder")) {
        in = dir.path();
    } else if (kind == QLatin1String("fifo")) {
        in = dir.filePath(QStringLiteral("f.bmp"));
        QCOMPARE(::mkfifo(sq::platform::nativePath(in).constData(), 0600), 0);
    } else if (kind == QLatin1String("w0")) {
        w = QStringLiteral("0");
    } else if (kind == QLatin1String("wx")) {
        w = QStringLiteral("ten");
    } else if (kind == QLatin1String("huge")) {
        w = h = QStringLiteral("30000");
    } else if (kind == QLatin1String("unwritable")) {
        const QString folder = dir.filePath(QStringLiteral("locked"));
        QVERIFY(QDir().mkdir(folder));
        locked = std::make_unique<sq::test::UnwritableFolder>(folder);
        if (!locked->ok()) QSKIP("no way to make a folder unwritable here");
        out = folder + QStringLiteral("/out.bmp");
    } else if (kind == QLatin1String("outfolder")) {
        out = dir.filePath(QStringLiteral("sub"));
        QVERIFY(QDir().mkdir(out));
    }
    QByteArray err;
    const QStringList args =
        kind == QLatin1String("args") ? QStringList{in, w, h} : QStringList{in, w, h, out};
    const int rc = runSqimg(args, &err);
    QVERIFY2(rc > 0, qPrintable(QStringLiteral("exit %1").arg(rc)));
    QVERIFY2(err.contains(message.toUtf8()), err.constData());
    if (kind != QLatin1String("outfolder")) QVERIFY(!QFileInfo::exists(out));
}

QTEST_GUILESS_MAIN(TstStretch)
#include "tst_stretch.moc"
