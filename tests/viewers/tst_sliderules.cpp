// The rules of the slide view's screen commands and saved-screen files
// without any window: availability by layout, capture rectangles and the
// composite, joining offsets, save-all names, the .srq record's parser and
// path resolution, and the bounded reader on files that are not files.
#include "tests/support/HostileFiles.h"
#include "tests/support/TestFiles.h"
#include "viewers/SavedScreen.h"
#include "viewers/SlideCapture.h"

#include <QTemporaryDir>
#include <QtTest>

Q_DECLARE_METATYPE(std::optional<QPoint>)

namespace {

// The slide view's four screens as one laid-out window: toolbar 33, top row
// heights h1 (= h2), bottom row h3 (= h4), 3-pixel splitters.
TCaptureLayout layoutOf(int w1, int w2, int w3, int w4, int h1, int h3)
{
    TCaptureLayout l;
    l.Panel3Top = 33;
    l.Panel5Left = w1 + 3;
    l.Panel7Left = w3 + 3;
    l.Panel2Top = h1 + 3;
    l.Screens = {QSize(w1, h1), QSize(w2, h1), QSize(w3, h3), QSize(w4, h3)};
    return l;
}

QImage solid(int w, int h, QColor c)
{
    QImage image(w, h, QImage::Format_RGB888);
    image.fill(c);
    return image;
}

} // namespace

class TstSlideRules : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void availability()
    {
        // Rows: layouts 1, 2, 4; columns: screens 1..4 (0 and 5 never).
        const bool expected[3][4] = {{1, 0, 0, 0}, {1, 1, 0, 0}, {1, 1, 1, 1}};
        const int layouts[] = {1, 2, 4};
        for (int l = 0; l < 3; ++l) {
            for (int k = 1; k <= 4; ++k)
                QCOMPARE(screenInLayout(k, layouts[l]), expected[l][k - 1]);
            QVERIFY(!screenInLayout(0, layouts[l]));
            QVERIFY(!screenInLayout(5, layouts[l]));
        }
    }

    void captureRects_data()
    {
        QTest::addColumn<int>("screen");
        QTest::addColumn<QPoint>("inset");
        QTest::addColumn<QRect>("rect");
        // w1 510, w2 511, w3 300, w4 721, h1 350, h3 361.
        QTest::newRow("1") << 1 << QPoint() << QRect(0, 33, 510, 350);
        QTest::newRow("2: Panel5's left") << 2 << QPoint() << QRect(513, 33, 511, 350);
        QTest::newRow("3: the bottom row") << 3 << QPoint() << QRect(0, 386, 300, 361);
        QTest::newRow("4: Panel7's left") << 4 << QPoint() << QRect(303, 386, 721, 361);
        QTest::newRow("4 with the bevel of the Windows frame")
            << 4 << QPoint(2, 3) << QRect(305, 389, 721, 361);
        QTest::newRow("no such screen") << 5 << QPoint() << QRect();
    }
    void captureRects()
    {
        QFETCH(int, screen);
        QFETCH(QPoint, inset);
        QFETCH(QRect, rect);
        TCaptureLayout l = layoutOf(510, 511, 300, 721, 350, 361);
        l.Inset = inset;
        QCOMPARE(captureRect(screen, l), rect);
    }

    void composite_data()
    {
        QTest::addColumn<int>("screens");
        QTest::addColumn<QList<int>>("sizes"); // w1 w2 w3 w4 h1 h3
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QList<std::optional<QPoint>>>("places");
        using P = std::optional<QPoint>;
        const QList<int> even{510, 511, 510, 511, 350, 361};
        QTest::newRow("one screen")
            << 1 << even << QSize(510, 350) << QList<P>{QPoint(0, 0), {}, {}, {}};
        QTest::newRow("two screens")
            << 2 << even << QSize(1021, 350) << QList<P>{QPoint(0, 0), QPoint(510, 0), {}, {}};
        QTest::newRow("four screens")
            << 4 << even << QSize(1021, 711)
            << QList<P>{QPoint(0, 0), QPoint(510, 0), QPoint(0, 350), QPoint(510, 350)};
        // Screen 3 enlarged: screen 4 sits after screen 3, below screen 2.
        QTest::newRow("four, screen 3 wide")
            << 4 << QList<int>{510, 511, 765, 256, 236, 475} << QSize(1021, 711)
            << QList<P>{QPoint(0, 0), QPoint(510, 0), QPoint(0, 236), QPoint(765, 236)};
        // A bottom row narrower than the top leaves the bitmap's own pixels.
        QTest::newRow("four, bottom row short")
            << 4 << QList<int>{400, 400, 300, 300, 200, 100} << QSize(800, 300)
            << QList<P>{QPoint(0, 0), QPoint(400, 0), QPoint(0, 200), QPoint(300, 200)};
    }
    void composite()
    {
        QFETCH(int, screens);
        QFETCH(QList<int>, sizes);
        QFETCH(QSize, size);
        QFETCH(QList<std::optional<QPoint>>, places);
        const TCaptureLayout l =
            layoutOf(sizes[0], sizes[1], sizes[2], sizes[3], sizes[4], sizes[5]);
        QCOMPARE(compositeSize(screens, l), size);
        for (int k = 1; k <= 4; ++k)
            QCOMPARE(compositePlace(k, screens, l), places[k - 1]);
        QCOMPARE(compositePlace(1, 3, l), std::optional<QPoint>());
        QCOMPARE(newBitmap(size).pixelColor(size.width() - 1, size.height() - 1),
                 QColor(Qt::white));
    }

    void joinOffsets_data()
    {
        QTest::addColumn<QSize>("a");
        QTest::addColumn<QSize>("b");
        QTest::addColumn<int>("direction");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QPoint>("atA");
        QTest::addColumn<QPoint>("atB");
        const int across = int(TJoinDirection::Across), down = int(TJoinDirection::Down);
        QTest::newRow("800x600 beside 400x300")
            << QSize(800, 600) << QSize(400, 300) << across << QSize(1200, 600) << QPoint(0, 0)
            << QPoint(800, 150);
        QTest::newRow("the same, 縦") << QSize(800, 600) << QSize(400, 300) << down
                                      << QSize(800, 900) << QPoint(0, 0) << QPoint(200, 600);
        QTest::newRow("equal heights") << QSize(300, 200) << QSize(500, 200) << across
                                       << QSize(800, 200) << QPoint(0, 0) << QPoint(300, 0);
        QTest::newRow("the first smaller, odd difference: truncated")
            << QSize(10, 5) << QSize(20, 10) << across << QSize(30, 10) << QPoint(0, 2)
            << QPoint(10, 0);
        QTest::newRow("縦, the first narrower")
            << QSize(5, 4) << QSize(10, 6) << down << QSize(10, 10) << QPoint(2, 0) << QPoint(0, 4);
        QTest::newRow("no second picture") << QSize(40, 30) << QSize() << across << QSize(40, 30)
                                           << QPoint(0, 0) << QPoint(40, 15);
        QTest::newRow("no direction") << QSize(40, 30) << QSize(40, 30) << int(TJoinDirection::None)
                                      << QSize() << QPoint() << QPoint();
    }
    void joinOffsets()
    {
        QFETCH(QSize, a);
        QFETCH(QSize, b);
        QFETCH(int, direction);
        QFETCH(QSize, size);
        QFETCH(QPoint, atA);
        QFETCH(QPoint, atB);
        const TJoinPlacement p = joinPlacement(a, b, TJoinDirection(direction));
        QCOMPARE(p.Size, size);
        if (size.isEmpty()) return;
        QCOMPARE(p.A, atA);
        QCOMPARE(p.B, atB);
    }

    void joinPixels()
    {
        const QImage red = solid(800, 600, Qt::red), blue = solid(400, 300, Qt::blue);
        const QImage across = joinPictures(red, blue, TJoinDirection::Across);
        QCOMPARE(across.size(), QSize(1200, 600));
        QCOMPARE(across.format(), QImage::Format_RGB888);
        QCOMPARE(across.pixelColor(799, 599), QColor(Qt::red));
        QCOMPARE(across.pixelColor(800, 149), QColor(Qt::black)); // the strip above
        QCOMPARE(across.pixelColor(800, 150), QColor(Qt::blue));
        QCOMPARE(across.pixelColor(1199, 449), QColor(Qt::blue));
        QCOMPARE(across.pixelColor(1199, 450), QColor(Qt::black)); // and below
        const QImage down = joinPictures(red, blue, TJoinDirection::Down);
        QCOMPARE(down.size(), QSize(800, 900));
        QCOMPARE(down.pixelColor(199, 600), QColor(Qt::black));
        QCOMPARE(down.pixelColor(200, 600), QColor(Qt::blue));
        QCOMPARE(down.pixelColor(599, 899), QColor(Qt::blue));
        QCOMPARE(down.pixelColor(600, 899), QColor(Qt::black));
        QVERIFY(joinPictures(red, blue, TJoinDirection::None).isNull());
        QVERIFY(joinPictures(QImage(), QImage(), TJoinDirection::Across).isNull());
    }

    void saveAllNames_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<QString>("name");
        QTest::newRow("cat.jpg, _s") << "/p/cat.jpg"
                                     << "_s"
                                     << "cat_s.bmp";
        QTest::newRow("last dot only") << "/p/a.b.JPG"
                                       << ""
                                       << "a.b.bmp";
        QTest::newRow("no extension") << "/p.d/cat"
                                      << "-x"
                                      << "cat-x.bmp";
        QTest::newRow("a / in the suffix: the file-name part") << "/p/cat.jpg"
                                                               << "/../../etc/x"
                                                               << "x.bmp";
    }
    void saveAllNames()
    {
        QFETCH(QString, path);
        QFETCH(QString, suffix);
        QFETCH(QString, name);
        QCOMPARE(saveAllFileName(path, suffix), name);
    }

    void parseRecord_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("layout");
        QTest::addColumn<int>("sizeCode");
        const QStringList good{"a.jpg", "b.jpg", "", "", "1", "300", "400", "-5", "2", ""};
        auto with = [&](int line, const QString& text) {
            QStringList l = good;
            l[line] = text;
            return l;
        };
        QTest::newRow("good") << good << true << 1 << 2;
        QTest::newRow("nine lines are enough") << good.mid(0, 9) << true << 1 << 2;
        QTest::newRow("empty line 8: the size mode stays") << with(8, "") << true << 1 << -1;
        QTest::newRow("line 8 another number: nothing") << with(8, "7") << true << 1 << -1;
        QTest::newRow("eight lines") << good.mid(0, 8) << false << 0 << 0;
        QTest::newRow("line 0 empty") << with(0, "") << false << 0 << 0;
        QTest::newRow("layout not a number") << with(4, "x") << false << 0 << 0;
        QTest::newRow("layout 3") << with(4, "3") << false << 0 << 0;
        QTest::newRow("height not a number") << with(5, "30o") << false << 0 << 0;
        QTest::newRow("width empty") << with(6, "") << false << 0 << 0;
        QTest::newRow("width past int") << with(7, "99999999999") << false << 0 << 0;
        QTest::newRow("size mode text") << with(8, "fit") << false << 0 << 0;
    }
    void parseRecord()
    {
        QFETCH(QStringList, lines);
        QFETCH(bool, ok);
        QFETCH(int, layout);
        QFETCH(int, sizeCode);
        const std::optional<TSavedScreen> s = parseSavedScreen(lines);
        QCOMPARE(s.has_value(), ok);
        if (!ok) return;
        QCOMPARE(s->Layout, layout);
        QCOMPARE(s->SizeCode, sizeCode);
        QCOMPARE(s->Paths, (QStringList{"a.jpg", "b.jpg", "", ""}));
        QCOMPARE((QList<int>{s->TopHeight, s->Panel4Width, s->Panel6Width}),
                 (QList<int>{300, 400, -5}));
        const QStringList n = normalizedRecord(lines);
        QCOMPARE(n.size(), 10);
        QCOMPARE(n.mid(0, lines.size()), lines.mid(0, 10));
        QCOMPARE(normalizedRecord(n + QStringList{"x", "y"}), n);
    }

    void sizeCodes()
    {
        // The menu's modes 0..3 against the record's codes; 2 has none.
        QCOMPARE((QList<int>{recordSizeCode(0), recordSizeCode(1), recordSizeCode(2),
                             recordSizeCode(3)}),
                 (QList<int>{0, 1, -1, 2}));
        for (int mode : {0, 1, 3})
            QCOMPARE(sizeModeOfRecordCode(recordSizeCode(mode)), mode);
        QCOMPARE(sizeModeOfRecordCode(-1), -1);
        QCOMPARE(sizeModeOfRecordCode(3), -1);
    }

    void resolvePaths_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("path");
        QTest::newRow("bare name: next to the data") << "a.jpg"
                                                     << "/w/data/a.jpg";
        QTest::newRow("up and over") << "../pics/a.jpg"
                                     << "/w/pics/a.jpg";
        QTest::newRow("written on Windows") << "..\\..\\写真\\猫.jpg"
                                            << "/写真/猫.jpg";
        QTest::newRow("absolute") << "/srv/p/./q/../a.jpg"
                                  << "/srv/p/a.jpg";
        QTest::newRow("past the root stays at it") << "../../../../a.jpg"
                                                   << "/a.jpg";
        QTest::newRow("the root's parent is the root") << "/../.."
                                                       << "/";
    }
    void resolvePaths()
    {
        QFETCH(QString, line);
        QFETCH(QString, path);
        QCOMPARE(resolveRecordPath(QStringLiteral("/w/data/"), line), path);
    }

    // The reader refuses what is not a small regular file, at once.
    void boundedRead()
    {
        const sq::test::HangGuard guard(60, "reading saved-screen files that are not files");
        QTemporaryDir dir;
        const QString fifo = dir.filePath(QStringLiteral("pipe.srq"));
        QVERIFY(sq::test::makeHostile(sq::test::Hostile::Fifo, fifo));
        const QString zero = dir.filePath(QStringLiteral("zero.srq"));
        QVERIFY(sq::test::makeHostile(sq::test::Hostile::DevZero, zero));
        const QString big = dir.filePath(QStringLiteral("big.srq"));
        QVERIFY(sq::test::makeSparseFile(big, kMaxSavedScreenBytes + 1));
        const QString good = dir.filePath(QStringLiteral("good.srq"));
        const QStringList record{"../写真/a.jpg", "", "", "", "2", "1", "2", "3", "", ""};
        QVERIFY(writeSavedScreenFile(good, record));
        QVERIFY(sq::test::readFile(good).startsWith("../\xE5\x86\x99\xE7\x9C\x9F/a.jpg\r\n\r\n"));
        QStringList lines;
        for (const QString& bad : {fifo, zero, big, dir.filePath(QStringLiteral("none.srq"))})
            QVERIFY2(!readSavedScreenFile(bad, lines), qPrintable(bad));
        QVERIFY(readSavedScreenFile(good, lines));
        QCOMPARE(lines, record);
        QCOMPARE(savedScreenFiles(dir.path()),
                 (QStringList{"big.srq", "good.srq", "pipe.srq", "zero.srq"}));
    }
};

QTEST_MAIN(TstSlideRules)
#include "tst_sliderules.moc"
