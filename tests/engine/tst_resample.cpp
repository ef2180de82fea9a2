#include "engine/ImgBox.h"
#include "engine/Resample.h"
#include "engine/WorkPool.h"

#include <QPainter>
#include <QRandomGenerator>
#include <QtTest>

#include <cmath>
#include <cstring>

namespace {

QImage rowImage(const QList<int>& values)
{
    QImage img(int(values.size()), 1, QImage::Format_RGB888);
    for (int x = 0; x < values.size(); ++x)
        for (int c = 0; c < 3; ++c)
            img.scanLine(0)[3 * x + c] = uchar(values[x]);
    return img;
}

QList<int> rowValues(const QImage& img, int channel = 0)
{
    QList<int> out;
    for (int x = 0; x < img.width(); ++x)
        out << img.constScanLine(0)[3 * x + channel];
    return out;
}

QImage randomImage(int w, int h, quint32 seed)
{
    QRandomGenerator rng(seed);
    QImage img(w, h, QImage::Format_RGB888);
    for (int y = 0; y < h; ++y)
        for (int b = 0; b < 3 * w; ++b)
            img.scanLine(y)[b] = uchar(rng.bounded(256));
    return img;
}

// Pictures whose every pixel differs from its neighbours, where a row made
// from the wrong source rows shows at once: noise, a one-pixel checkerboard
// (another phase per channel), thin lines on black.
QImage detailImage(const QString& kind, int w, int h)
{
    if (kind == QLatin1String("noise")) return randomImage(w, h, quint32(w * 7919 + h));
    QImage img(w, h, QImage::Format_RGB888);
    for (int y = 0; y < h; ++y) {
        uchar* row = img.scanLine(y);
        for (int x = 0; x < w; ++x) {
            if (kind == QLatin1String("checker")) {
                row[3 * x] = ((x + y) & 1) ? 255 : 0;
                row[3 * x + 1] = (x & 1) ? 200 : 30;
                row[3 * x + 2] = (y & 1) ? 255 : 0;
            } else {
                const bool line = x % 7 == 3 || y % 5 == 1 || x == y;
                row[3 * x] = line ? 255 : 0;
                row[3 * x + 1] = line ? uchar(x * 13 + y) : 0;
                row[3 * x + 2] = y % 5 == 1 ? 255 : uchar(y);
            }
        }
    }
    return img;
}

// Slow versions straight from the formulas: per pixel, with every index
// clamped and every weight computed where it is used.
uchar refCubic(const QImage& src, bool columns, int outIndex, int outLength, int across,
               int channel)
{
    const int n = columns ? src.width() : src.height();
    const long double pos =
        (long double)((long long)(n - 1) * outIndex) / (long double)(outLength - 1);
    const long long whole = (long long)pos;
    const long double t = pos - whole + 1.0L;
    const auto w = sq::CubicWeights(1048576, t);
    long long acc = 524288;
    for (int j = 0; j < 4; ++j) {
        const int k = std::clamp(int(whole) - 1 + j, 0, n - 1);
        const uchar v = columns ? src.constScanLine(across)[3 * k + channel]
                                : src.constScanLine(k)[3 * across + channel];
        acc += (long long)v * w[j];
    }
    acc = std::clamp(acc, 0LL, 267386880LL);
    return uchar(acc >> 20);
}

uchar refArea(const QImage& src, bool columns, int outIndex, int outLength, int across, int channel)
{
    const int n = columns ? src.width() : src.height();
    auto edge = [&](int e, long long& bound, unsigned long long& frac) {
        const long double v = (long double)((long long)n * e) / (long double)outLength;
        bound = (long long)v;
        frac = (unsigned long long)((v - bound) * 262144.0L + 0.5L);
    };
    long long s = 0, end = 0;
    unsigned long long a = 0, f = 0;
    if (outIndex > 0) edge(outIndex, s, a);
    edge(outIndex + 1, end, f);
    auto at = [&](long long k) -> unsigned long long {
        return columns ? src.constScanLine(across)[3 * k + channel]
                       : src.constScanLine(int(k))[3 * across + channel];
    };
    unsigned long long acc = 131072;
    if (a != 262144) acc += at(s) * (262144 - a);
    for (long long c = s + 1; c < end; ++c)
        acc += at(c) * 262144;
    if (f != 0) acc += at(end) * f;
    const unsigned long long scale =
        (unsigned long long)(1.0L / ((long double)n / outLength) * 4194304.0L + 0.5L);
    return uchar((acc * scale) >> 40);
}

} // namespace

class TstResample : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void shrinkSize_data()
    {
        QTest::addColumn<QSize>("source");
        QTest::addColumn<QSize>("box");
        QTest::addColumn<QSize>("result");
        QTest::newRow("4:3 into 4:3") << QSize(1600, 1200) << QSize(160, 120) << QSize(160, 120);
        QTest::newRow("landscape") << QSize(1000, 750) << QSize(100, 100) << QSize(100, 75);
        QTest::newRow("portrait") << QSize(750, 1000) << QSize(100, 100) << QSize(75, 100);
        QTest::newRow("wide, truncated") << QSize(300, 100) << QSize(200, 150) << QSize(200, 66);
        QTest::newRow("inside keeps size") << QSize(50, 40) << QSize(200, 100) << QSize(50, 40);
        QTest::newRow("wide hits height") << QSize(400, 300) << QSize(200, 100) << QSize(133, 100);
        QTest::newRow("zero height") << QSize(500, 0) << QSize(80, 60) << QSize(80, 60);
        QTest::newRow("square") << QSize(500, 500) << QSize(80, 60) << QSize(60, 60);
    }
    void shrinkSize()
    {
        QFETCH(QSize, source);
        QFETCH(QSize, box);
        QFETCH(QSize, result);
        QCOMPARE(sq::ShrinkSize(source.width(), source.height(), box.width(), box.height()),
                 QRect(QPoint(0, 0), result));
    }

    void fitSize_data()
    {
        QTest::addColumn<int>("rule");
        QTest::addColumn<QSize>("source");
        QTest::addColumn<QSize>("box");
        QTest::addColumn<QSize>("result");
        QTest::newRow("stretch landscape")
            << int(igtStretch) << QSize(50, 40) << QSize(200, 100) << QSize(125, 100);
        QTest::newRow("stretch portrait")
            << int(igtStretch) << QSize(40, 50) << QSize(100, 200) << QSize(100, 125);
        QTest::newRow("stretch of a large one shrinks")
            << int(igtStretch) << QSize(400, 300) << QSize(200, 100) << QSize(133, 100);
        QTest::newRow("stretch, larger one way")
            << int(igtStretch) << QSize(300, 50) << QSize(200, 100) << QSize(200, 33);
        QTest::newRow("preview never enlarges")
            << int(igtPreview) << QSize(50, 40) << QSize(200, 100) << QSize(50, 40);
        QTest::newRow("fit is the box")
            << int(igtFit) << QSize(50, 40) << QSize(200, 100) << QSize(200, 100);
        QTest::newRow("normal is the picture")
            << int(igtNormal) << QSize(50, 40) << QSize(200, 100) << QSize(50, 40);
    }
    void fitSize()
    {
        QFETCH(int, rule);
        QFETCH(QSize, source);
        QFETCH(QSize, box);
        QFETCH(QSize, result);
        QCOMPARE(
            sq::FitSize(TGetType(rule), source.width(), source.height(), box.width(), box.height()),
            result);
    }

    void cubicWeightsAtHalf()
    {
        const auto w = sq::CubicWeights(1048576, 1.5L);
        QCOMPARE(w[0], -65535);
        QCOMPARE(w[1], 589824);
        QCOMPARE(w[2], 589824);
        QCOMPARE(w[3], -65535);
        const auto one = sq::CubicWeights(1048576, 1.0L);
        QCOMPARE(one, (std::array<std::int32_t, 4>{0, 1048576, 0, 0}));
    }

    void workedRows_data()
    {
        QTest::addColumn<QList<int>>("source");
        QTest::addColumn<int>("width");
        QTest::addColumn<QList<int>>("result");
        QTest::newRow("0 255 to 3") << QList<int>{0, 255} << 3 << QList<int>{0, 128, 255};
        QTest::newRow("0 255 to 5") << QList<int>{0, 255} << 5 << QList<int>{0, 60, 128, 195, 255};
        QTest::newRow("ramp to 7")
            << QList<int>{10, 20, 30, 40} << 7 << QList<int>{10, 14, 20, 25, 30, 36, 40};
        QTest::newRow("4 to 2") << QList<int>{0, 100, 200, 255} << 2 << QList<int>{50, 227};
        QTest::newRow("3 to 2") << QList<int>{0, 90, 180} << 2 << QList<int>{30, 150};
        QTest::newRow("white stays white")
            << QList<int>{255, 255, 255, 255, 255, 255, 255} << 3 << QList<int>{255, 255, 255};
        QTest::newRow("one pixel widened") << QList<int>{77} << 4 << QList<int>{77, 77, 77, 77};
    }
    void workedRows()
    {
        QFETCH(QList<int>, source);
        QFETCH(int, width);
        QFETCH(QList<int>, result);
        QImage img = rowImage(source);
        QCOMPARE(sq::ResizeBitmap(img, width, 1), 0);
        QCOMPARE(img.size(), QSize(width, 1));
        QCOMPARE(rowValues(img, 0), result);
        QCOMPARE(rowValues(img, 2), result);
        // The same along the height.
        QImage column = rowImage(source).transformed(QTransform().rotate(90));
        column = column.convertToFormat(QImage::Format_RGB888);
        QCOMPARE(sq::ResizeBitmap(column, 1, width), 0);
        QList<int> down;
        for (int y = 0; y < column.height(); ++y)
            down << column.constScanLine(y)[1];
        QCOMPARE(down, result);
    }

    // The fast passes against the slow formulas on random pictures.
    void matchesSlowVersion_data()
    {
        QTest::addColumn<QSize>("source");
        QTest::addColumn<QSize>("target");
        QTest::newRow("shrink both") << QSize(97, 61) << QSize(13, 7);
        QTest::newRow("enlarge both") << QSize(5, 4) << QSize(37, 29);
        QTest::newRow("wider, lower") << QSize(9, 50) << QSize(31, 11);
        QTest::newRow("narrower, taller") << QSize(64, 3) << QSize(10, 17);
        QTest::newRow("odd ratio") << QSize(1003, 3) << QSize(331, 3);
        QTest::newRow("to one pixel") << QSize(40, 30) << QSize(1, 1);
        QTest::newRow("two wide") << QSize(2, 2) << QSize(9, 9);
        // The slide view's fitting of a 4:3 photograph (2.56 and 2.49 to one).
        QTest::newRow("photo to a screen") << QSize(320, 240) << QSize(125, 96);
        QTest::newRow("nearly the same") << QSize(101, 100) << QSize(100, 99);
        // Photographs fitted to a quarter of a screen: 5 to 13 taps a pixel.
        QTest::newRow("factor 4.4") << QSize(400, 5) << QSize(91, 2);
        QTest::newRow("factor 6.25") << QSize(4000, 3) << QSize(640, 3);
        QTest::newRow("factor 9.7") << QSize(970, 41) << QSize(100, 4);
        QTest::newRow("factor 11.3") << QSize(1130, 3) << QSize(100, 3);
        // Sums just inside 32 bits, and just past them (64-bit sums).
        QTest::newRow("factor 63") << QSize(630, 4) << QSize(10, 4);
        QTest::newRow("factor 65") << QSize(650, 130) << QSize(10, 2);
    }
    void matchesSlowVersion()
    {
        QFETCH(QSize, source);
        QFETCH(QSize, target);
        const QImage src = randomImage(source.width(), source.height(),
                                       quint32(source.width() * 977 + target.height()));
        // Width pass alone, then the height pass on its result.
        QImage mid(target.width(), src.height(), QImage::Format_RGB888);
        const bool widen = src.width() < target.width();
        QImage got = src;
        sq::ResizeBitmap(got, target.width(), src.height());
        for (int y = 0; y < src.height(); ++y)
            for (int x = 0; x < target.width(); ++x)
                for (int c = 0; c < 3; ++c) {
                    const uchar want = widen ? refCubic(src, true, x, target.width(), y, c)
                                             : refArea(src, true, x, target.width(), y, c);
                    mid.scanLine(y)[3 * x + c] = want;
                    QCOMPARE(int(got.constScanLine(y)[3 * x + c]), int(want));
                }
        const bool taller = mid.height() < target.height();
        sq::ResizeBitmap(got, target.width(), target.height());
        QCOMPARE(got.size(), target);
        for (int y = 0; y < target.height(); ++y)
            for (int x = 0; x < target.width(); ++x)
                for (int c = 0; c < 3; ++c) {
                    const uchar want = taller ? refCubic(mid, false, y, target.height(), x, c)
                                              : refArea(mid, false, y, target.height(), x, c);
                    QCOMPARE(int(got.constScanLine(y)[3 * x + c]), int(want));
                }
    }

    // Sums that pass 32 bits: a 10,000-pixel-wide picture shrunk to 80.
    void largeReductionFactors()
    {
        QImage white(10000, 3, QImage::Format_RGB888);
        white.fill(Qt::white);
        sq::ResizeBitmap(white, 80, 3);
        QCOMPARE(rowValues(white), QList<int>(80, 255));
        QImage tall(2, 9000, QImage::Format_RGB888);
        tall.fill(QColor(200, 200, 200));
        sq::ResizeBitmap(tall, 2, 60);
        for (int y = 0; y < 60; ++y)
            QCOMPARE(int(tall.constScanLine(y)[0]), 200);
    }

    void formatsAndOddSizes()
    {
        QImage indexed(4, 4, QImage::Format_Indexed8);
        indexed.setColorTable({qRgb(10, 20, 30)});
        indexed.fill(0);
        sq::ResizeBitmap(indexed, 4, 4);
        QCOMPARE(indexed.format(), QImage::Format_RGB888); // own size: only the format changes
        QCOMPARE(indexed.pixel(2, 2), qRgb(10, 20, 30));

        QImage untouched(4, 4, QImage::Format_ARGB32);
        untouched.fill(Qt::red);
        sq::FitBitmap(untouched, igtNormal, 100, 100);
        QCOMPARE(untouched.format(), QImage::Format_ARGB32);
        QCOMPARE(untouched.size(), QSize(4, 4));

        QImage empty;
        QCOMPARE(sq::ResizeBitmap(empty, 10, 10), 0);
        QVERIFY(empty.isNull());
        QImage some(5, 5, QImage::Format_RGB888);
        some.fill(Qt::blue);
        sq::ResizeBitmap(some, 0, 10);
        QVERIFY(some.isNull());

        QImage fit(300, 200, QImage::Format_RGB32);
        fit.fill(Qt::green);
        sq::FitBitmap(fit, igtPreview, 160, 120);
        QCOMPARE(fit.size(), QSize(160, 106));
        QCOMPARE(fit.pixel(80, 50), qRgb(0, 255, 0));
    }

    // Rows made on several threads are the rows made on one, byte for byte:
    // every pass of every size, cut into runs of one or a few rows on a pool
    // with helpers, against the same resampling without a pool.
    void splitMatchesOneThread_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QSize>("source");
        QTest::addColumn<QSize>("target");
        const QString kinds[] = {QStringLiteral("noise"), QStringLiteral("checker"),
                                 QStringLiteral("lines")};
        const struct
        {
            const char* name;
            QSize source, target;
        } sizes[] = {
            {"photo to a screen", {1600, 1200}, {629, 472}},
            {"large photo to a screen", {4000, 3000}, {629, 472}},
            {"odd both ways", {1001, 777}, {333, 259}},
            {"by 997 one way", {9970, 5}, {10, 3}},
            {"by 1000 down", {3, 7000}, {2, 7}},
            {"to one pixel", {640, 480}, {1, 1}},
            {"to one row", {300, 200}, {17, 1}},
            {"to one column", {300, 200}, {1, 23}},
            {"nearly the same", {1001, 1000}, {1000, 999}},
            {"enlarged both ways", {37, 29}, {701, 533}},
            {"wider, lower", {50, 400}, {311, 97}},
            {"narrower, taller", {400, 50}, {97, 311}},
            {"one pixel enlarged", {1, 1}, {9, 13}},
            {"one row, wider and taller", {211, 1}, {503, 61}},
        };
        for (const auto& s : sizes)
            for (const QString& kind : kinds)
                QTest::newRow(qPrintable(QStringLiteral("%1, %2").arg(QLatin1String(s.name), kind)))
                    << kind << s.source << s.target;
    }
    void splitMatchesOneThread()
    {
        QFETCH(QString, kind);
        QFETCH(QSize, source);
        QFETCH(QSize, target);
        QImage src = detailImage(kind, source.width(), source.height());
        QImage alone = src, shared = src;
        QCOMPARE(sq::ResizeBitmap(alone, target.width(), target.height()), 0);
        sq::TWorkPool& pool = m_pool;
        const long long before = pool.Pieces();
        QCOMPARE(sq::ResizeBitmap(shared, target.width(), target.height(), &pool), 0);
        QCOMPARE(shared.size(), target);
        QCOMPARE(alone.size(), target);
        // The work was cut up wherever a pass had two rows to cut.
        const bool cuttable = (target.width() != source.width() && source.height() > 1) ||
                              (target.height() != source.height() && target.height() > 1);
        QCOMPARE(pool.Pieces() > before, cuttable);
        for (int y = 0; y < target.height(); ++y)
            QVERIFY2(std::memcmp(alone.constScanLine(y), shared.constScanLine(y),
                                 size_t(3 * target.width())) == 0,
                     qPrintable(QStringLiteral("row %1 differs").arg(y)));
        // A view's stretched picture, made with the pool and without.
        const QSize client(target.width() + 6, target.height() + 4);
        const TImgView plain = sq::MakeImgView(src, ispStretch, client, Qt::black);
        const TImgView pooled = sq::MakeImgView(src, ispStretch, client, Qt::black, &pool);
        QCOMPARE(pooled.Place, plain.Place);
        QCOMPARE(pooled.Bitmap, plain.Bitmap);
    }

    // The view's bitmap, resampled straight into it, is the picture
    // resampled on its own and painted on the background, pixel for pixel:
    // stretched and at its own size, for odd sizes, single rows and columns,
    // enlargements and reductions, other formats, with and without the pool.
    void viewMatchesPaintedResample_data()
    {
        QTest::addColumn<QSize>("source");
        QTest::addColumn<QSize>("client");
        QTest::addColumn<int>("sizeType");
        QTest::addColumn<bool>("argb");
        const struct
        {
            const char* name;
            QSize source, client;
            TSizeType type;
        } rows[] = {
            {"photo to a screen", {1600, 1200}, {1593, 970}, ispStretch},
            {"photo to four screens", {1600, 1200}, {797, 484}, ispStretch},
            {"odd both ways", {1001, 777}, {333, 259}, ispStretch},
            {"one column", {1, 500}, {40, 30}, ispStretch},
            {"one row", {700, 1}, {50, 40}, ispStretch},
            {"one row into one row", {700, 1}, {50, 1}, ispStretch},
            {"enlarged", {37, 29}, {701, 533}, ispStretch},
            {"width already right", {300, 200}, {300, 260}, ispStretch},
            {"height already right", {300, 200}, {400, 200}, ispStretch},
            {"same size", {300, 200}, {300, 200}, ispStretch},
            {"fills the client exactly", {640, 480}, {320, 240}, ispStretch},
            {"own size, smaller", {50, 41}, {121, 90}, ispImage},
            {"own size, wider", {300, 51}, {120, 91}, ispImage},
            {"own size, taller", {31, 300}, {120, 91}, ispImage},
        };
        for (const auto& r : rows)
            for (const bool argb : {false, true})
                QTest::newRow(qPrintable(QStringLiteral("%1%2").arg(QLatin1String(r.name),
                                                                     argb ? QStringLiteral(", 32 bits")
                                                                          : QString())))
                    << r.source << r.client << int(r.type) << argb;
    }
    void viewMatchesPaintedResample()
    {
        QFETCH(QSize, source);
        QFETCH(QSize, client);
        QFETCH(int, sizeType);
        QFETCH(bool, argb);
        QImage src = detailImage(QStringLiteral("noise"), source.width(), source.height());
        if (argb) src = src.convertToFormat(QImage::Format_RGB32);
        const QColor color(12, 34, 56);
        for (sq::TWorkPool* pool : {static_cast<sq::TWorkPool*>(nullptr), &m_pool}) {
            const TImgView view = sq::MakeImgView(src, TSizeType(sizeType), client, color, pool);
            QVERIFY(view.Placed);
            // The picture on its own, painted where the view placed it.
            QImage picture = src;
            if (sizeType == ispStretch)
                sq::ResizeBitmap(picture, view.Place.Right - view.Place.Left,
                                 view.Place.Bottom - view.Place.Top);
            const QSize whole = sizeType == ispStretch ? client : client.expandedTo(source);
            QImage painted(whole, QImage::Format_RGB888);
            painted.fill(color);
            QPainter p(&painted);
            p.drawImage(view.Place.Left, view.Place.Top, picture);
            p.end();
            QCOMPARE(view.Bitmap.format(), QImage::Format_RGB888);
            QCOMPARE(view.Bitmap.size(), painted.size());
            for (int y = 0; y < painted.height(); ++y)
                QVERIFY2(std::memcmp(view.Bitmap.constScanLine(y), painted.constScanLine(y),
                                     size_t(3 * painted.width())) == 0,
                         qPrintable(QStringLiteral("row %1 differs").arg(y)));
        }
    }

    // Writing into a rectangle touches nothing else; a rectangle outside,
    // an empty picture or a bitmap of another format is refused untouched.
    void resizeIntoRefusesAndKeepsTheRest()
    {
        const QImage src = detailImage(QStringLiteral("checker"), 90, 70);
        QImage dst(100, 80, QImage::Format_RGB888);
        dst.fill(QColor(1, 2, 3));
        const QImage before = dst;
        QVERIFY(!sq::ResizeInto(src, dst, QPoint(60, 10), QSize(41, 20)));
        QVERIFY(!sq::ResizeInto(src, dst, QPoint(-1, 0), QSize(10, 10)));
        QVERIFY(!sq::ResizeInto(QImage(), dst, QPoint(0, 0), QSize(10, 10)));
        QVERIFY(!sq::ResizeInto(src, dst, QPoint(0, 0), QSize(0, 10)));
        QImage other(100, 80, QImage::Format_RGB32);
        other.fill(Qt::red);
        QVERIFY(!sq::ResizeInto(src, other, QPoint(0, 0), QSize(10, 10)));
        QCOMPARE(other.pixel(0, 0), qRgb(255, 0, 0));
        QCOMPARE(dst, before);
        QVERIFY(sq::ResizeInto(src, dst, QPoint(7, 5), QSize(45, 33), &m_pool));
        QImage alone = src;
        sq::ResizeBitmap(alone, 45, 33);
        for (int y = 0; y < dst.height(); ++y)
            for (int x = 0; x < dst.width(); ++x) {
                const bool inside = x >= 7 && x < 52 && y >= 5 && y < 38;
                const QRgb want = inside ? alone.pixel(x - 7, y - 5) : qRgb(1, 2, 3);
                if (dst.pixel(x, y) != want)
                    QFAIL(qPrintable(QStringLiteral("pixel %1,%2").arg(x).arg(y)));
            }
    }

private:
    // Three helpers, and every row worth a piece of its own.
    sq::TWorkPool m_pool{3, 1};
};

QTEST_GUILESS_MAIN(TstResample)
#include "tst_resample.moc"
