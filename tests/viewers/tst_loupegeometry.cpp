// The loupe's pure geometry: capture sides, jitter ranges, the captured
// rectangle and the ten shapes checked pixel by pixel against a reference
// written here from the figures' definitions.
#include "viewers/LoupeGeometry.h"

#include <QRandomGenerator>
#include <QtTest>

#include <cstdint>
#include <functional>

using namespace sq::loupe;

namespace {

using Pred = std::function<bool(int x, int y)>;

// The reference figures, each asked for one pixel centre (x + 1/2, y + 1/2),
// in doubled coordinates so that every comparison is exact.
Pred box(int x1, int y1, int x2, int y2)
{
    const int l = std::min(x1, x2), r = std::max(x1, x2), t = std::min(y1, y2),
              b = std::max(y1, y2);
    return [=](int x, int y) { return x >= l && x < r && y >= t && y < b; };
}

Pred ellipse(int x1, int y1, int x2, int y2)
{
    const std::int64_t l = std::min(x1, x2), r = std::max(x1, x2), t = std::min(y1, y2),
                       b = std::max(y1, y2);
    return [=](int x, int y) {
        const std::int64_t w = r - l, h = b - t;
        if (w == 0 || h == 0) return false;
        // ((px - cx) / (w/2))^2 + ((py - cy) / (h/2))^2 <= 1, times w^2 h^2 / 4
        // with px = x + 1/2, cx = (l + r) / 2 written doubled.
        const std::int64_t dx = 2 * std::int64_t(x) + 1 - (l + r),
                           dy = 2 * std::int64_t(y) + 1 - (t + b);
        return dx * dx * h * h + dy * dy * w * w <= w * w * h * h;
    };
}

// Winding number of the centre: every edge that the horizontal line through
// the centre crosses at or left of the centre counts +1 going down the
// screen (y increasing) and -1 going up.
Pred polygon(const QPolygon& p, Qt::FillRule rule)
{
    return [=](int x, int y) {
        const std::int64_t px = 2 * std::int64_t(x) + 1, py = 2 * std::int64_t(y) + 1;
        int winding = 0;
        for (qsizetype k = 0; k < p.size(); ++k) {
            QPoint a = p[k], b = p[(k + 1) % p.size()];
            int dir = 1;
            if (a.y() > b.y()) {
                std::swap(a, b);
                dir = -1;
            }
            const std::int64_t ax = 2 * a.x(), ay = 2 * a.y(), bx = 2 * b.x(), by = 2 * b.y();
            if (!(ay < py && py < by)) continue;
            // Cross product of (b - a) and (p - a): <= 0 when the edge passes
            // at or left of the centre on this line.
            const std::int64_t cross = (bx - ax) * (py - ay) - (px - ax) * (by - ay);
            if (cross <= 0) winding += dir;
        }
        return rule == Qt::WindingFill ? winding != 0 : (winding % 2) != 0;
    };
}

// Rounded box: every centre of the box except those in a corner zone (left
// of l + cw/2 and above t + ch/2, and so on) that lie outside the corner's
// ellipse.
Pred roundBox(int l, int t, int r, int b, int cw, int ch)
{
    const Pred inBox = box(l, t, r, b);
    const Pred tl = ellipse(l, t, l + cw, t + ch), tr = ellipse(r - cw, t, r, t + ch);
    const Pred bl = ellipse(l, b - ch, l + cw, b), br = ellipse(r - cw, b - ch, r, b);
    return [=](int x, int y) {
        if (!inBox(x, y)) return false;
        const int px = 2 * x + 1, py = 2 * y + 1;
        const bool left = px<2 * l + cw, right = px> 2 * r - cw;
        const bool top = py<2 * t + ch, bottom = py> 2 * b - ch;
        if (left && top) return tl(x, y);
        if (right && top) return tr(x, y);
        if (left && bottom) return bl(x, y);
        if (right && bottom) return br(x, y);
        return true;
    };
}

Pred either(Pred a, Pred b)
{
    return [=](int x, int y) { return a(x, y) || b(x, y); };
}

Pred exclusive(Pred a, Pred b)
{
    return [=](int x, int y) { return a(x, y) != b(x, y); };
}

// The table of shapes, from the figures as the loupe bar names them.
Pred reference(int shape, int a)
{
    switch (shape) {
    case 0:
        return box(0, 0, a, a);
    case 1:
        return roundBox(0, 0, a, a, a / 5, a / 5);
    case 2:
        return ellipse(0, 0, a, a);
    case 3:
        return ellipse(a - a / 5, 0, a / 5, a);
    case 4:
        return polygon(QPolygon({{0, a}, {a / 2, 0}, {a, a}, {0, a}}), Qt::WindingFill);
    case 5:
        return polygon(QPolygon({{0, a / 2}, {a / 2, 0}, {a, a / 2}, {a / 2, a}, {0, a / 2}}),
                       Qt::WindingFill);
    case 6: {
        const int d = a * 10 / 18, e = a - (d + d / 5);
        return either(either(ellipse(0, 0, d, d), ellipse(a - d, 0, a, d)),
                      polygon(QPolygon({{0, e}, {a / 2, a}, {a, e}}), Qt::OddEvenFill));
    }
    case 7: {
        const int k[10][2] = {{120, 0},   {80, 80},   {0, 80},    {50, 150}, {20, 240},
                              {120, 170}, {220, 240}, {190, 150}, {240, 80}, {160, 80}};
        QPolygon p;
        for (const auto& v : k)
            p << QPoint(a * v[0] / 240, a * v[1] / 240);
        return polygon(p, Qt::WindingFill);
    }
    case 8:
        return either(box(0, a - a / 3, a, a / 3), box(a - a / 3, 0, a / 3, a));
    case 9:
        return exclusive(ellipse(0, 0, a, a), ellipse(a - a / 4, a - a / 4, a / 4, a / 4));
    }
    return [](int, int) { return false; };
}

} // namespace

class TstLoupeGeometry : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void captureSides_data();
    void captureSides();
    void captureRectAroundPointer();
    void jitterRanges_data();
    void jitterRanges();
    void jitterDrawOrder();
    void shapes_data();
    void shapes();
    void shapeLandmarks_data();
    void shapeLandmarks();
    void polygonFillRules();
};

void TstLoupeGeometry::captureSides_data()
{
    QTest::addColumn<int>("sizeIndex");
    QTest::addColumn<int>("side");
    QTest::addColumn<QList<int>>("captures"); // "100%" ... "500%"
    QTest::newRow("小") << 0 << 100 << QList<int>{100, 66, 50, 33, 25, 20};
    QTest::newRow("中") << 1 << 156 << QList<int>{156, 104, 78, 52, 39, 31};
    QTest::newRow("大") << 2 << 200 << QList<int>{200, 133, 100, 66, 50, 40};
    QTest::newRow("最大") << 3 << 256 << QList<int>{256, 170, 128, 85, 64, 51};
}

void TstLoupeGeometry::captureSides()
{
    QFETCH(int, sizeIndex);
    QFETCH(int, side);
    QFETCH(QList<int>, captures);
    QCOMPARE(loupeSide(sizeIndex), side);
    for (int m = 0; m < kMagnificationCount; ++m)
        QCOMPARE(captureSide(side, m), captures[m]);
    // No item chosen: the loupe copies its own side.
    QCOMPARE(captureSide(side, -1), side);
    QCOMPARE(loupeSide(-1), 0);
    QCOMPARE(loupeSide(4), 0);
}

void TstLoupeGeometry::captureRectAroundPointer()
{
    // 中 at 200%: the 78 x 78 area whose corner is 55 left of and above the pointer.
    QCOMPARE(captureRect({500, 300}, {}, 78), QRect(445, 245, 78, 78));
    QCOMPARE(captureRect({10, 20}, {-5, 4}, 20), QRect(-50, -31, 20, 20));
}

void TstLoupeGeometry::jitterRanges_data()
{
    QTest::addColumn<int>("direction");
    QTest::addColumn<int>("widthIndex");
    QTest::addColumn<int>("amplitude");
    const char* const directions[] = {"X", "Y", "XY"};
    const char* const widths[] = {"10", "20", "30", "index 3"};
    for (int d = 0; d < 3; ++d)
        for (int w = 0; w < 4; ++w)
            QTest::addRow("%s %s", directions[d], widths[w]) << d << w << 5 * (w + 1);
}

void TstLoupeGeometry::jitterRanges()
{
    QFETCH(int, direction);
    QFETCH(int, widthIndex);
    QFETCH(int, amplitude);
    QCOMPARE(jitterAmplitude(widthIndex), amplitude);
    QRandomGenerator rng(1234 + direction * 10 + widthIndex);
    const auto uniform = [&rng](int n) { return int(rng.bounded(n)); };
    int minX = 1000, maxX = -1000, minY = 1000, maxY = -1000;
    const QPoint pointer(400, 300);
    for (int i = 0; i < 4000; ++i) {
        const QPoint j = jitterOffsets(true, direction, widthIndex, uniform);
        minX = std::min(minX, j.x());
        maxX = std::max(maxX, j.x());
        minY = std::min(minY, j.y());
        maxY = std::max(maxY, j.y());
        // The captured area moves with it, by at most the amplitude.
        const QRect r = captureRect(pointer, j, 50);
        QVERIFY(std::abs(r.x() - (pointer.x() - 55)) <= amplitude);
        QVERIFY(std::abs(r.y() - (pointer.y() - 55)) <= amplitude);
    }
    const bool movesX = direction != 1, movesY = direction != 0;
    // Uniform in [-A, A-1]: both ends are reached in 4000 draws, nothing beyond.
    QCOMPARE(minX, movesX ? -amplitude : 0);
    QCOMPARE(maxX, movesX ? amplitude - 1 : 0);
    QCOMPARE(minY, movesY ? -amplitude : 0);
    QCOMPARE(maxY, movesY ? amplitude - 1 : 0);

    // Off, or no direction or width chosen: no movement and nothing drawn.
    int draws = 0;
    const auto counting = [&draws](int) {
        ++draws;
        return 0;
    };
    QCOMPARE(jitterOffsets(false, direction, widthIndex, counting), QPoint());
    QCOMPARE(jitterOffsets(true, -1, widthIndex, counting), QPoint());
    QCOMPARE(jitterOffsets(true, direction, -1, counting), QPoint());
    QCOMPARE(draws, 0);
}

void TstLoupeGeometry::jitterDrawOrder()
{
    // "XY" draws dx first: the first draw is the horizontal one.
    QList<int> answers{0, 19};
    const auto scripted = [&answers](int n) {
        const int v = answers.takeFirst();
        return std::min(v, n - 1);
    };
    QCOMPARE(jitterOffsets(true, 2, 1, scripted), QPoint(-10, 9));
    QVERIFY(answers.isEmpty());
}

void TstLoupeGeometry::shapes_data()
{
    QTest::addColumn<int>("shape");
    QTest::addColumn<int>("a");
    const char* const names[] = {"四角",   "丸四角", "円",     "楕円",   "三角",
                                 "ダイヤ", "ハート", "スター", "クロス", "リング"};
    for (int shape = 0; shape < kShapeCount; ++shape)
        for (int a : {100, 156, 200, 256, 37, 45, 8})
            QTest::addRow("%s %d", names[shape], a) << shape << a;
}

void TstLoupeGeometry::shapes()
{
    QFETCH(int, shape);
    QFETCH(int, a);
    const QRegion region = shapeRegion(shape, a);
    const Pred want = reference(shape, a);
    int mismatches = 0, inside = 0;
    QString first;
    for (int y = -3; y < a + 3; ++y)
        for (int x = -3; x < a + 3; ++x) {
            const bool got = region.contains(QPoint(x, y));
            inside += got;
            if (got != want(x, y) && mismatches++ == 0)
                first = QStringLiteral("(%1, %2): region %3").arg(x).arg(y).arg(got);
        }
    QVERIFY2(mismatches == 0,
             qPrintable(QStringLiteral("%1 pixels differ, first %2").arg(mismatches).arg(first)));
    QVERIFY(inside > 0);
    // Nothing of any shape lies outside the window's square.
    QCOMPARE((region - QRegion(0, 0, a, a)).isEmpty(), true);
}

void TstLoupeGeometry::shapeLandmarks_data()
{
    QTest::addColumn<int>("a");
    QTest::newRow("100") << 100;
    QTest::newRow("156") << 156;
    QTest::newRow("256") << 256;
}

void TstLoupeGeometry::shapeLandmarks()
{
    QFETCH(int, a);
    const int c = a / 2;
    // "四角": the right and bottom edges are outside.
    const QRegion square = shapeRegion(0, a);
    QVERIFY(square.contains(QPoint(a - 1, a - 1)));
    QVERIFY(!square.contains(QPoint(a, 0)));
    QVERIFY(!square.contains(QPoint(0, a)));
    QCOMPARE(square.boundingRect(), QRect(0, 0, a, a));
    // "リング": a hole in the middle, the body around it.
    const QRegion ring = shapeRegion(9, a);
    QVERIFY(!ring.contains(QPoint(c, c)));
    QVERIFY(ring.contains(QPoint(a / 8, c)));
    QVERIFY(!ring.contains(QPoint(0, 0)));
    // "クロス": transparent corners, an opaque middle and arms.
    const QRegion cross = shapeRegion(8, a);
    for (const QPoint& corner :
         {QPoint(0, 0), QPoint(a - 1, 0), QPoint(0, a - 1), QPoint(a - 1, a - 1)})
        QVERIFY(!cross.contains(corner));
    QVERIFY(cross.contains(QPoint(c, c)));
    QVERIFY(cross.contains(QPoint(0, c)));
    QVERIFY(cross.contains(QPoint(c, a - 1)));
    // "ハート": transparent lower corners and a notch at the top middle.
    const QRegion heart = shapeRegion(6, a);
    QVERIFY(!heart.contains(QPoint(0, a - 1)));
    QVERIFY(!heart.contains(QPoint(a - 1, a - 1)));
    QVERIFY(!heart.contains(QPoint(c, 0)));
    QVERIFY(heart.contains(QPoint(c, c)));
    QVERIFY(heart.contains(QPoint(c, a - 3)));
    // "円" touches all four sides of its square.
    const QRegion circle = shapeRegion(2, a);
    QCOMPARE(circle.boundingRect(), QRect(0, 0, a, a));
    // An unknown shape gives nothing to apply.
    QVERIFY(shapeRegion(10, a).isEmpty());
    QVERIFY(shapeRegion(-1, a).isEmpty());
}

void TstLoupeGeometry::polygonFillRules()
{
    // A self-crossing pentagram: the middle is wound twice, so winding fill
    // keeps it and alternate fill leaves it out.
    const QPolygon star({{50, 0}, {80, 100}, {0, 38}, {100, 38}, {20, 100}});
    const QRegion winding = polygonRegion(star, Qt::WindingFill);
    const QRegion alternate = polygonRegion(star, Qt::OddEvenFill);
    QVERIFY(winding.contains(QPoint(50, 55)));
    QVERIFY(!alternate.contains(QPoint(50, 55)));
    const Pred w = polygon(star, Qt::WindingFill), o = polygon(star, Qt::OddEvenFill);
    for (int y = -1; y <= 101; ++y)
        for (int x = -1; x <= 101; ++x) {
            QCOMPARE(winding.contains(QPoint(x, y)), w(x, y));
            QCOMPARE(alternate.contains(QPoint(x, y)), o(x, y));
        }
    // A rectangle given as a polygon covers what the rectangle covers.
    QCOMPARE(polygonRegion(QPolygon({{0, 0}, {10, 0}, {10, 10}, {0, 10}}), Qt::WindingFill),
             QRegion(0, 0, 10, 10));
}

QTEST_GUILESS_MAIN(TstLoupeGeometry)
#include "tst_loupegeometry.moc"
