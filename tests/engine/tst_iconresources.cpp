#include "engine/IconResources.h"
#include "tests/support/IconFiles.h"
#include "tests/support/TestFiles.h"

#include <QDir>
#include <QtTest>

using sq::test::IconImageDesc;

namespace {

sq::icons::Bytes span(const QByteArray& b)
{
    return {reinterpret_cast<const uint8_t*>(b.constData()), size_t(b.size())};
}

// The quarter at the top left is transparent, the rest the given colour.
void checkIcon(const QImage& image, int side, const QColor& colour)
{
    QVERIFY(!image.isNull());
    QCOMPARE(image.size(), QSize(side, side));
    QCOMPARE(qAlpha(image.pixel(1, 1)), 0);
    QCOMPARE(qAlpha(image.pixel(side / 2 - 1, side / 2 - 1)), 0);
    const QRgb inside = image.pixel(side - 1, side - 1);
    QCOMPARE(qAlpha(inside), 255);
    QCOMPARE(QColor(inside).rgb(), colour.rgb());
    QCOMPARE(QColor(image.pixel(side / 2, 0)).rgb(), colour.rgb());
    QCOMPARE(QColor(image.pixel(0, side / 2)).rgb(), colour.rgb());
}

// Where SQ_CORPUS_DIR is set the inputs become the fuzz targets' seeds.
void keepSeed(const char* target, const QString& name, const QByteArray& bytes)
{
    const QString dir = qEnvironmentVariable("SQ_CORPUS_DIR");
    if (!dir.isEmpty())
        sq::test::writeFile(dir + QLatin1Char('/') + QLatin1String(target) + QLatin1Char('/') + name,
                            bytes);
}

} // namespace

class TstIconResources : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void decodesEveryDepthWithItsMask_data()
    {
        QTest::addColumn<int>("bitCount");
        QTest::addColumn<int>("side");
        QTest::addColumn<bool>("cursor");
        // Palette depths draw the colour through palette entry 1.
        QTest::newRow("1 bit") << 1 << 32 << false;
        QTest::newRow("4 bits") << 4 << 32 << false;
        QTest::newRow("8 bits") << 8 << 32 << false;
        QTest::newRow("24 bits") << 24 << 32 << false;
        QTest::newRow("32 bits alpha") << 32 << 32 << false;
        QTest::newRow("png") << 0 << 32 << false;
        QTest::newRow("odd side, rows padded") << 24 << 20 << false;
        QTest::newRow("1 bit 48") << 1 << 48 << false;
        QTest::newRow("cursor 24 bits") << 24 << 32 << true;
        QTest::newRow("256 (size byte 0)") << 32 << 256 << false;
    }
    void decodesEveryDepthWithItsMask()
    {
        QFETCH(int, bitCount);
        QFETCH(int, side);
        QFETCH(bool, cursor);
        const QColor colour = bitCount == 1 ? QColor(Qt::white) : QColor(20, 140, 220);
        const QByteArray file = sq::test::makeIcoFile({{side, bitCount, colour}}, cursor);
        keepSeed("fuzz_ico", QStringLiteral("%1-%2-%3").arg(bitCount).arg(side).arg(cursor), file);
        checkIcon(sq::icons::readIconFile(span(file), side), side, colour);
    }

    void choosesTheLargeIconImage_data()
    {
        QTest::addColumn<QList<int>>("sides");
        QTest::addColumn<QList<int>>("depths");
        QTest::addColumn<int>("chosen");
        QTest::newRow("exact among others") << QList<int>{16, 48, 32, 256} << QList<int>{32, 32, 32, 32} << 2;
        QTest::newRow("deeper of two 32s") << QList<int>{32, 32} << QList<int>{8, 32} << 1;
        QTest::newRow("no 32: smallest larger") << QList<int>{16, 256, 48} << QList<int>{32, 32, 32} << 2;
        QTest::newRow("only smaller: largest") << QList<int>{16, 24} << QList<int>{32, 32} << 1;
        QTest::newRow("one") << QList<int>{64} << QList<int>{4} << 0;
    }
    void choosesTheLargeIconImage()
    {
        QFETCH(QList<int>, sides);
        QFETCH(QList<int>, depths);
        QFETCH(int, chosen);
        QList<IconImageDesc> images;
        for (int i = 0; i < sides.size(); ++i)
            images.append({sides[i], depths[i], QColor::fromHsv(40 * i, 200, 200)});
        const QByteArray file = sq::test::makeIcoFile(images);
        const auto entries = sq::icons::readIconDirectory(span(file));
        QCOMPARE(int(entries.size()), sides.size());
        QCOMPARE(sq::icons::chooseIconEntry(entries), chosen);
        const QImage image = sq::icons::readIconFile(span(file));
        QCOMPARE(image.width(), sides[chosen]);
        QCOMPARE(QColor(image.pixel(image.width() - 1, image.height() - 1)).rgb(),
                 images[chosen].colour.rgb());
    }

    void aniShowsTheFirstStepOfItsSequence_data()
    {
        QTest::addColumn<QList<quint32>>("sequence");
        QTest::addColumn<int>("shown");
        QTest::newRow("no sequence: first frame") << QList<quint32>{} << 0;
        QTest::newRow("sequence starts at frame 2") << QList<quint32>{2, 0, 1} << 2;
        QTest::newRow("sequence out of range: first frame") << QList<quint32>{7, 1} << 0;
    }
    void aniShowsTheFirstStepOfItsSequence()
    {
        QFETCH(QList<quint32>, sequence);
        QFETCH(int, shown);
        const QList<QColor> colours = {Qt::red, Qt::green, Qt::blue};
        QList<QByteArray> frames;
        for (const QColor& c : colours)
            frames.append(sq::test::makeIcoFile({{32, 24, c}}, true));
        const QByteArray ani = sq::test::makeAniFile(frames, sequence);
        keepSeed("fuzz_ani", QStringLiteral("seq-%1-%2").arg(sequence.size()).arg(shown), ani);
        checkIcon(sq::icons::readAniFirstFrame(span(ani)), 32, colours[shown]);
    }

    void peGroupsAreCountedAndEachDrawn_data()
    {
        QTest::addColumn<bool>("pe32plus");
        QTest::newRow("pe32") << false;
        QTest::newRow("pe32+") << true;
    }
    void peGroupsAreCountedAndEachDrawn()
    {
        QFETCH(bool, pe32plus);
        // Group 1 has no 32 x 32 image; group 2 hides its 32 among others.
        const QList<QList<IconImageDesc>> groups = {
            {{32, 8, Qt::red}},
            {{16, 24, Qt::gray}, {48, 32, Qt::green}},
            {{16, 32, Qt::gray}, {32, 4, Qt::gray}, {32, 32, Qt::blue}, {0x100, 0, Qt::gray}},
        };
        const QByteArray pe = sq::test::makePeFile(groups, pe32plus);
        keepSeed("fuzz_pe", pe32plus ? QStringLiteral("three-groups-64") : QStringLiteral("three-groups"), pe);
        const auto found = sq::icons::readPeIconGroups(span(pe));
        QVERIFY(found.valid);
        QCOMPARE(int(found.groups.size()), 3);
        QCOMPARE(int(found.groups[2].size()), 4);
        checkIcon(sq::icons::readPeIcon(span(pe), 0), 32, Qt::red);
        checkIcon(sq::icons::readPeIcon(span(pe), 1), 48, Qt::green);
        checkIcon(sq::icons::readPeIcon(span(pe), 2), 32, Qt::blue);
        QVERIFY(sq::icons::readPeIcon(span(pe), 3).isNull());
        QVERIFY(sq::icons::readPeIcon(span(pe), -1).isNull());
    }

    void peWithoutResourcesHasNoGroups()
    {
        const QByteArray pe = sq::test::makePeFileWithoutResources();
        keepSeed("fuzz_pe", QStringLiteral("no-resources"), pe);
        const auto found = sq::icons::readPeIconGroups(span(pe));
        QVERIFY(found.valid);
        QVERIFY(found.groups.empty());
        QVERIFY(sq::icons::readPeIcon(span(pe), 0).isNull());
    }

    // Every prefix of a good file must be read without a fault and give either
    // nothing or a whole picture; the sanitizer build catches any overread.
    void truncatedFilesAreRefused_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("kind"); // 0 ico, 1 ani, 2 pe
        QTest::newRow("ico") << sq::test::makeIcoFile({{16, 4, Qt::red}, {32, 32, Qt::blue}}) << 0;
        QTest::newRow("png ico") << sq::test::makeIcoFile({{32, 0, Qt::red}}) << 0;
        QTest::newRow("ani")
            << sq::test::makeAniFile({sq::test::makeIcoFile({{32, 8, Qt::red}}, true)}) << 1;
        QTest::newRow("pe") << sq::test::makePeFile({{{32, 8, Qt::red}}, {{32, 24, Qt::blue}}}) << 2;
    }
    void truncatedFilesAreRefused()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, kind);
        auto read = [&](const QByteArray& b) {
            switch (kind) {
            case 0:
                return sq::icons::readIconFile(span(b));
            case 1:
                return sq::icons::readAniFirstFrame(span(b));
            default:
                return sq::icons::readPeIcon(span(b), 1);
            }
        };
        QVERIFY(!read(file).isNull());
        // The last image of each file ends the file: cutting any byte of it
        // must lose the picture, not read past the end.
        for (int n = 0; n < file.size(); ++n) {
            const QByteArray cut = file.left(n);
            const QImage image = read(cut);
            if (!image.isNull() && kind != 2)
                QFAIL(qPrintable(QStringLiteral("a picture from %1 of %2 bytes").arg(n).arg(file.size())));
        }
    }

    void damagedFieldsAreRefused_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("kind");
        const QByteArray ico = sq::test::makeIcoFile({{32, 24, Qt::red}});
        auto patch32 = [](QByteArray b, int at, quint32 v) {
            qToLittleEndian(v, b.data() + at);
            return b;
        };
        // Entry 0: bytes at 14, offset at 18; the DIB starts at 22.
        QTest::newRow("image offset past end") << patch32(ico, 18, 0xFFFFFFF0u) << 0;
        QTest::newRow("image size past end") << patch32(ico, 14, 0x7FFFFFFFu) << 0;
        QTest::newRow("header size past end") << patch32(ico, 22, 0x10000u) << 0;
        QTest::newRow("huge width") << patch32(ico, 26, 0x40000000u) << 0;
        QTest::newRow("negative height") << patch32(ico, 30, 0xFFFFFFC0u) << 0;
        QTest::newRow("bit count 7") << patch32(ico, 36, 7) << 0;
        QTest::newRow("compressed") << patch32(ico, 38, 1) << 0;
        QTest::newRow("count 0") << patch32(ico, 2, 1) << 0;
        QTest::newRow("type 3") << patch32(ico, 0, 0x30000) << 0;
        QByteArray palette = sq::test::makeIcoFile({{32, 8, Qt::red}});
        QTest::newRow("too many colours") << patch32(palette, 22 + 32, 100000) << 0;

        const QByteArray ani = sq::test::makeAniFile({ico});
        QTest::newRow("ani chunk size past end") << patch32(ani, 16, 0xFFFFFF00u) << 1;
        QTest::newRow("ani not acon") << patch32(ani, 8, 0x45564157u) << 1;

        const QByteArray pe = sq::test::makePeFile({{{32, 24, Qt::red}}});
        QTest::newRow("pe header offset past end") << patch32(pe, 0x3C, 0x7FFFFFF0u) << 2;
        // The section table follows the 224-byte optional header at 0x58.
        const int section = 0x58 + 224;
        QTest::newRow("pe raw data past end") << patch32(pe, section + 20, 0x7FFFFF00u) << 2;
        QTest::newRow("pe raw size 0") << patch32(pe, section + 16, 0) << 2;
        // Root directory entry 0 (RT_ICON) points its subdirectory far away.
        QTest::newRow("pe subdirectory past end") << patch32(pe, 0x200 + 20, 0x8FFFFFF0u) << 2;
        QTest::newRow("pe entry counts huge") << patch32(pe, 0x200 + 12, 0xFFFFFFFFu) << 2;
    }
    void damagedFieldsAreRefused()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, kind);
        keepSeed(kind == 0 ? "fuzz_ico" : kind == 1 ? "fuzz_ani" : "fuzz_pe",
                 QString::fromLatin1(QTest::currentDataTag()).replace(QLatin1Char(' '), QLatin1Char('-')),
                 file);
        QImage image;
        switch (kind) {
        case 0:
            image = sq::icons::readIconFile(span(file));
            break;
        case 1:
            image = sq::icons::readAniFirstFrame(span(file));
            break;
        default:
            image = sq::icons::readPeIcon(span(file), 0);
            break;
        }
        QVERIFY(image.isNull());
    }
};

QTEST_GUILESS_MAIN(TstIconResources)
#include "tst_iconresources.moc"
