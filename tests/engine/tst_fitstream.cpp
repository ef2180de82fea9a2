// The resampling made while a picture decodes: the same bytes as ResizeInto
// of the whole picture, for every shape of pass and run of rows, and the
// views that loads make with it the same as MakeImgView of their pictures.
#include "engine/FitStream.h"
#include "engine/ImgBox.h"
#include "engine/Resample.h"
#include "engine/WorkPool.h"

#include "tests/support/ExifFiles.h"
#include "tests/support/FileDamage.h"
#include "tests/support/PictureFiles.h"
#include "tests/support/TestFiles.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>
#include <vector>

namespace {

QImage noise(int w, int h, quint32 seed)
{
    QRandomGenerator rng(seed);
    QImage img(w, h, QImage::Format_RGB888);
    for (int y = 0; y < h; ++y)
        for (int b = 0; b < 3 * w; ++b)
            img.scanLine(y)[b] = uchar(rng.bounded(256));
    return img;
}

// Feeds the picture's rows in runs of `run` rows (0: all at once, -1: runs
// of 1, 2, 3, ... rows), as a decoder hands them over; with a pool, the
// rows resampled on its helpers.
bool stream(const QImage& picture, QImage& dst, QRect rect, int run, sq::TWorkPool* pool = nullptr)
{
    sq::TFitStream s;
    if (!s.Begin(picture.size(), dst, rect.topLeft(), rect.size(), pool)) return false;
    std::vector<const uchar*> rows(size_t(picture.height()));
    for (int y = 0; y < picture.height(); ++y)
        rows[size_t(y)] = picture.constScanLine(y);
    int y = 0, step = 1;
    while (y < picture.height()) {
        const int n = run == 0 ? picture.height() : run > 0 ? run : step++;
        const int end = std::min(picture.height(), y + n);
        s.Rows(rows.data(), y, end);
        y = end;
    }
    return s.Finish();
}

// A JPEG of the picture in the given colour space (JCS_RGB, JCS_GRAYSCALE
// from the red channel, or JCS_CMYK: the channels and 255 as black, as
// Adobe writes them inverted).
QByteArray encode(const QImage& picture, J_COLOR_SPACE space)
{
    const int comps = space == JCS_GRAYSCALE ? 1 : space == JCS_CMYK ? 4 : 3;
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &out, &size);
    c.image_width = JDIMENSION(picture.width());
    c.image_height = JDIMENSION(picture.height());
    c.input_components = comps;
    c.in_color_space = space;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 90, TRUE);
    jpeg_start_compress(&c, TRUE);
    std::vector<unsigned char> line(size_t(picture.width()) * size_t(comps));
    while (c.next_scanline < c.image_height) {
        const uchar* s = picture.constScanLine(int(c.next_scanline));
        for (int x = 0; x < picture.width(); ++x)
            for (int k = 0; k < comps; ++k)
                line[size_t(x * comps + k)] = k == 3 ? 255 : s[3 * x + (comps == 1 ? 0 : k)];
        JSAMPROW row = line.data();
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    QByteArray bytes(reinterpret_cast<const char*>(out), qsizetype(size));
    std::free(out);
    return bytes;
}

} // namespace

class TestFitStream : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    // Two helpers, and every row worth a task of its own.
    sq::TWorkPool m_pool{2, 1};
    // One helper, woken for a few rows of a few hundred pixels.
    sq::TWorkPool m_lazyPool{1, 6000};

private Q_SLOTS:
    void matchesResizeInto_data()
    {
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<QRect>("rect");
        QTest::addColumn<int>("run");
        QTest::addColumn<int>("helpers"); // 0: none, 1: each row a task, 2: several rows a task
        const struct
        {
            const char* name;
            QSize picture;
            QRect rect;
            int run;
        } rows[] = {
            // Narrowed both ways, as a photograph fitted to a screen.
            {"401x301 to 64x49, runs of 16", {401, 301}, {5, 3, 64, 49}, 16},
            {"401x301 to 64x49, growing runs", {401, 301}, {0, 0, 64, 49}, -1},
            {"401x301 to 64x49, one run", {401, 301}, {1, 2, 64, 49}, 0},
            {"97x61 to 13x7, rows one by one", {97, 61}, {2, 0, 13, 7}, 1},
            {"1001x777 to 333x259, odd, runs of 8", {1001, 777}, {1, 1, 333, 259}, 8},
            // Nearly the same width: two taps a pixel.
            {"200x200 to 199x13", {200, 200}, {0, 0, 199, 13}, 16},
            // More than 16 taps a pixel: the general loop.
            {"2000x20 to 50x3", {2000, 20}, {1, 1, 50, 3}, 16},
            {"5x3 to 1x1", {5, 3}, {0, 0, 1, 1}, 2},
            {"300x7 to 3x2, runs of 3", {300, 7}, {0, 1, 3, 2}, 3},
            // One dimension alone, the other as it is.
            {"1x50 to 1x7", {1, 50}, {0, 0, 1, 7}, 16},
            {"1x500 to 1x9, rows one by one", {1, 500}, {0, 0, 1, 9}, 1},
            {"50x1 to 7x1", {50, 1}, {3, 3, 7, 1}, 16},
            {"60x40 to 60x9", {60, 40}, {0, 2, 60, 9}, 5},
            {"60x40 to 11x40", {60, 40}, {4, 0, 11, 40}, 7},
            {"64x64 as it is", {64, 64}, {1, 1, 64, 64}, 7},
            {"1x1 as it is", {1, 1}, {0, 0, 1, 1}, 16},
            // Enlarged, and enlarged one way while narrowed the other.
            {"33x17 to 70x40", {33, 17}, {0, 0, 70, 40}, 1},
            {"1x1 to 9x5", {1, 1}, {0, 0, 9, 5}, 16},
            {"1x37 to 5x90", {1, 37}, {0, 0, 5, 90}, 3},
            {"40x30 to 90x20", {40, 30}, {2, 2, 90, 20}, 4},
            {"40x30 to 20x90", {40, 30}, {0, 5, 20, 90}, -1},
        };
        const char* ways[] = {"", ", on helpers", ", on helpers, some left to the end"};
        for (const auto& r : rows)
            for (int helpers = 0; helpers < 3; ++helpers)
                QTest::newRow(qPrintable(QLatin1String(r.name) + QLatin1String(ways[helpers])))
                    << r.picture << r.rect << r.run << helpers;
    }

    // On helpers the rows go to the pool as they come, while more come in:
    // every row worth a task, or several rows, so that the rows after the
    // last task are resampled by the feeding thread at the end.
    void matchesResizeInto()
    {
        QFETCH(QSize, picture);
        QFETCH(QRect, rect);
        QFETCH(int, run);
        QFETCH(int, helpers);
        const QImage src = noise(picture.width(), picture.height(), quint32(picture.width() * 31 + rect.width()));
        // Room around the rectangle, which must stay as it was.
        QImage want(rect.right() + 4, rect.bottom() + 3, QImage::Format_RGB888);
        want.fill(QColor(1, 2, 3));
        QImage got = want.copy();
        QVERIFY(sq::ResizeInto(src, want, rect.topLeft(), rect.size()));
        sq::TWorkPool* pools[] = {nullptr, &m_pool, &m_lazyPool};
        QVERIFY(stream(src, got, rect, run, pools[helpers]));
        QCOMPARE(got, want);
    }

    void refusesWhatResizeIntoRefuses()
    {
        const QImage src = noise(30, 20, 7);
        QImage dst(40, 30, QImage::Format_RGB888);
        dst.fill(Qt::black);
        sq::TFitStream s;
        QVERIFY(!s.Begin(QSize(0, 20), dst, QPoint(0, 0), QSize(10, 10)));
        QVERIFY(!s.Begin(src.size(), dst, QPoint(0, 0), QSize(0, 10)));
        QVERIFY(!s.Begin(src.size(), dst, QPoint(35, 0), QSize(10, 10))); // outside
        QImage other(40, 30, QImage::Format_RGB32);
        QVERIFY(!s.Begin(src.size(), other, QPoint(0, 0), QSize(10, 10)));
        // Rows missing at the end, or given out of order: never finished.
        std::vector<const uchar*> rows(20);
        for (int y = 0; y < 20; ++y)
            rows[size_t(y)] = src.constScanLine(y);
        QVERIFY(s.Begin(src.size(), dst, QPoint(0, 0), QSize(10, 7)));
        s.Rows(rows.data(), 0, 19);
        QVERIFY(!s.Finish());
        QVERIFY(s.Begin(src.size(), dst, QPoint(0, 0), QSize(10, 7)));
        s.Rows(rows.data(), 0, 5);
        s.Rows(rows.data(), 6, 20);
        QVERIFY(!s.Finish());
        QVERIFY(s.Begin(src.size(), dst, QPoint(0, 0), QSize(10, 7)));
        s.Rows(rows.data(), 0, 20);
        QVERIFY(s.Finish());
    }

    // A load watched for a stretched view gives MakeImgView's view of the
    // picture it leaves, where the picture is decoded as it is shown; where
    // it is turned, converted or not decoded, the watch gives nothing and the
    // load's outcome is a plain load's.
    void watchedLoadMatchesPlainView_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QSize>("client");
        QTest::addColumn<bool>("watched");
        QTest::addColumn<int>("result");
        QTest::newRow("colour 203x141") << QStringLiteral("rgb") << QSize(203, 141) << QSize(37, 23) << true << 0;
        QTest::newRow("colour 203x141 in a wide client") << QStringLiteral("rgb") << QSize(203, 141) << QSize(300, 20) << true << 0;
        QTest::newRow("colour 1203x901, odd") << QStringLiteral("rgb") << QSize(1203, 901) << QSize(211, 157) << true << 0;
        QTest::newRow("colour, enlarged") << QStringLiteral("rgb") << QSize(21, 13) << QSize(70, 50) << true << 0;
        QTest::newRow("colour 1x40") << QStringLiteral("rgb") << QSize(1, 40) << QSize(9, 9) << true << 0;
        QTest::newRow("colour 40x1") << QStringLiteral("rgb") << QSize(40, 1) << QSize(9, 9) << true << 0;
        QTest::newRow("colour to 1x1") << QStringLiteral("rgb") << QSize(50, 30) << QSize(1, 1) << true << 0;
        QTest::newRow("grey") << QStringLiteral("grey") << QSize(99, 67) << QSize(31, 17) << true << 0;
        QTest::newRow("CMYK") << QStringLiteral("cmyk") << QSize(99, 67) << QSize(31, 17) << false << 0;
        QTest::newRow("turned half round") << QStringLiteral("exif3") << QSize(99, 67) << QSize(31, 17) << false << 0;
        QTest::newRow("turned sideways") << QStringLiteral("exif6") << QSize(99, 67) << QSize(31, 17) << false << 0;
        QTest::newRow("cut off") << QStringLiteral("cut") << QSize(203, 141) << QSize(37, 23) << false << -1;
        QTest::newRow("damaged scan") << QStringLiteral("damaged") << QSize(203, 141) << QSize(37, 23) << false << -1;
        QTest::newRow("no client") << QStringLiteral("rgb") << QSize(50, 30) << QSize(0, 0) << false << 0;
    }

    void watchedLoadMatchesPlainView()
    {
        QFETCH(QString, kind);
        QFETCH(QSize, size);
        QFETCH(QSize, client);
        QFETCH(bool, watched);
        QFETCH(int, result);
        const QImage picture = noise(size.width(), size.height(), quint32(size.width() + 13 * size.height()));
        QByteArray bytes = encode(picture, kind == QLatin1String("grey")   ? JCS_GRAYSCALE
                                           : kind == QLatin1String("cmyk") ? JCS_CMYK
                                                                           : JCS_RGB);
        if (kind == QLatin1String("exif3") || kind == QLatin1String("exif6"))
            bytes = sq::test::withApp1(bytes, sq::test::orientationPayload(kind.back().digitValue()));
        if (kind == QLatin1String("cut")) bytes.truncate(bytes.size() * 2 / 3);
        if (kind == QLatin1String("damaged")) // an end marker halfway through the scan
            bytes.replace(bytes.size() / 2, 2, QByteArray("\xFF\xD9", 2));
        const QString file = m_dir.filePath(QStringLiteral("%1_%2.jpg").arg(kind, QString::fromLatin1(QTest::currentDataTag())));
        QVERIFY(sq::test::writeFile(file, bytes));

        TImgUtil plain;
        plain.setGetType(igtNormal);
        QCOMPARE(plain.LoadImage(file, client.width(), client.height()), result);

        // Resampled on the loading thread, and on the engine's helpers.
        for (sq::TWorkPool* pool : {static_cast<sq::TWorkPool*>(nullptr), &m_pool}) {
            TImgUtil engine;
            engine.setGetType(igtNormal);
            engine.setResamplePool(pool);
            TImgView view;
            {
                sq::TStretchWatch watch(engine, client);
                QCOMPARE(engine.LoadImage(file, client.width(), client.height()), result);
                view = watch.View(engine.Bitmap().image(), client, QColor(9, 8, 7));
            }
            const QImage& got = engine.Bitmap().image();
            QCOMPARE(got, plain.Bitmap().image());
            QCOMPARE(engine.LastWatched(), watched);
            QCOMPARE(view.Placed, watched);
            if (!watched) continue;
            const TImgView want = sq::MakeImgView(got, ispStretch, client, QColor(9, 8, 7));
            QVERIFY(want.Placed);
            QCOMPARE(view.Place, want.Place);
            QCOMPARE(view.Bitmap, want.Bitmap);
            // A view is handed out once; asked for another client it is none.
            QVERIFY(!viewForOtherClient(engine, file, client));
        }
    }

    // A box's stretched view, loaded alone, beside others and ahead for a
    // later showing, is MakeImgView's view of the box's picture.
    void boxViewsMatchPlainView()
    {
        const QImage picture = noise(301, 199, 5);
        const QString file = m_dir.filePath(QStringLiteral("box.jpg"));
        QVERIFY(sq::test::writeFile(file, encode(picture, JCS_RGB)));
        TImgBox a, b;
        for (TImgBox* box : {&a, &b}) {
            box->resize(83, 61);
            box->setSizeType(ispStretch);
            box->setQuickFirst(false);
        }
        const auto plainView = [](TImgBox& box) {
            return sq::MakeImgView(box.ImgUtil()->Bitmap().image(), ispStretch, box.clientSize(), box.Color())
                .Bitmap;
        };
        QCOMPARE(a.LoadFile(file), 0);
        QCOMPARE(a.ViewBitmap(), plainView(a));
        a.Clear();
        QCOMPARE(TCustomImgBox::LoadFiles({&a, &b}, {file, file}), QList<int>({0, 0}));
        QCOMPARE(a.ViewBitmap(), plainView(a));
        QCOMPARE(b.ViewBitmap(), plainView(b));
        const sq::TPreparedView prepared = TCustomImgBox::PrepareView(file, *a.ViewSetup());
        QCOMPARE(prepared.ViewBitmap, plainView(a));
    }

private:
    // Whether a second watch over a fresh load gives a view for a client
    // other than the one it watched for.
    static bool viewForOtherClient(TImgUtil& engine, const QString& file, QSize client)
    {
        sq::TStretchWatch watch(engine, client);
        engine.LoadImage(file, client.width(), client.height());
        return watch.View(engine.Bitmap().image(), client + QSize(1, 0), Qt::black).Placed;
    }
};

QTEST_MAIN(TestFitStream)
#include "tst_fitstream.moc"
