// Colour management in the engine: which profiles count as sRGB, pictures
// with wide-gamut profiles against the closed-form conversion, pictures
// without one (or with a damaged one) left bit for bit as decoded, and the
// cache entries kept apart by the colour state.
#include "engine/ColourManage.h"
#include "engine/ImgUtils.h"
#include "engine/PictureLoader.h"
#include "tests/support/ColourFiles.h"
#include "tests/support/PhotoFiles.h"
#include "tests/support/TestFiles.h"

#include <QBuffer>
#include <QColorSpace>
#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

using namespace sq::test;

Q_DECLARE_METATYPE(sq::ProfileKind)

namespace {

// The picture file's bitmap as an engine under setting shows it at its own
// size (nullptr: no colour management at all, as before it existed).
QImage shown(const QString& file, sq::ColourSetting* setting, bool* converted = nullptr)
{
    TImgUtil util;
    sq::installPictureLoader(util);
    util.setColour(setting);
    util.setGetType(igtNormal);
    if (util.LoadImage(file, 0, 0) != 0) return {};
    if (converted) *converted = util.LastConverted();
    return util.Bitmap().image().convertToFormat(QImage::Format_RGB888);
}

// A thumbnail of the picture file, fitted into a box, as an engine under
// setting makes it.
QImage thumbnail(const QString& file, sq::ColourSetting* setting, QSize box, bool* converted)
{
    TImgUtil util;
    sq::installPictureLoader(util);
    util.setColour(setting);
    util.setGetType(igtStretch);
    if (util.LoadImage(file, box.width(), box.height()) != 0) return {};
    if (converted) *converted = util.LastConverted();
    return util.Bitmap().image().convertToFormat(QImage::Format_RGB888);
}

// The largest channel difference between the engine's result and the
// closed-form conversion of the unconverted decode, over the block centres
// (blocks of block pixels, four by four).
int worstError(const QImage& plain, const QImage& converted, const RgbSpace& from,
               const RgbSpace& to, QString* where, int block = 16)
{
    int worst = 0;
    for (int by = 0; by < 4; ++by)
        for (int bx = 0; bx < 4; ++bx) {
            const QPoint p(bx * block + block / 2, by * block + block / 2);
            const QRgb want = convertColour(plain.pixel(p), from, to);
            const QRgb got = converted.pixel(p);
            const int d =
                std::max({std::abs(qRed(want) - qRed(got)), std::abs(qGreen(want) - qGreen(got)),
                          std::abs(qBlue(want) - qBlue(got))});
            if (d > worst) {
                worst = d;
                *where = QStringLiteral("at %1,%2 from %3 want %4 got %5")
                             .arg(p.x())
                             .arg(p.y())
                             .arg(plain.pixel(p), 8, 16)
                             .arg(want, 8, 16)
                             .arg(got, 8, 16);
            }
        }
    return worst;
}

QByteArray pictureBytes(const QString& container, const QByteArray& icc)
{
    const QImage blocks = colourBlocks();
    return container == QLatin1String("png") ? pngWithIcc(blocks, icc) : jpegWithIcc(blocks, icc);
}

// Where SQ_CORPUS_DIR is set, the profiles and pictures made become
// fuzz_icc's seeds.
void keepSeed(const QString& name, const QByteArray& bytes)
{
    const QString dir = qEnvironmentVariable("SQ_CORPUS_DIR");
    if (dir.isEmpty() || bytes.isEmpty()) return;
    QDir().mkpath(dir + QStringLiteral("/fuzz_icc"));
    writeFile(dir + QStringLiteral("/fuzz_icc/") + name, bytes);
}

} // namespace

class TestColour : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void classify_data();
    void classify();
    void jpegProfileChunks_data();
    void jpegProfileChunks();
    void convertsToDisplay_data();
    void convertsToDisplay();
    void leftAsDecoded_data();
    void leftAsDecoded();
    void photoThumbnails_data();
    void photoThumbnails();
    void alphaKeepsBackground();
    void cacheFollowsColourState();
};

void TestColour::classify_data()
{
    QTest::addColumn<QByteArray>("icc");
    QTest::addColumn<sq::ProfileKind>("kind");
    const QByteArray p3 = iccProfileOf(displayP3Space());
    RgbSpace gamma22 = srgbSpace();
    gamma22.srgbCurve = false;
    gamma22.gamma = 2.2;
    QTest::newRow("srgb made from primaries") << iccProfileOf(srgbSpace()) << sq::ProfileKind::Srgb;
    QTest::newRow("srgb as a 1024-entry table")
        << iccProfileOf(srgbSpace(), 1024) << sq::ProfileKind::Srgb;
    QTest::newRow("srgb of Qt") << QColorSpace(QColorSpace::SRgb).iccProfile()
                                << sq::ProfileKind::Srgb;
    QTest::newRow("srgb primaries, gamma 2.2") << iccProfileOf(gamma22) << sq::ProfileKind::Other;
    QTest::newRow("display p3") << p3 << sq::ProfileKind::Other;
    QTest::newRow("adobe rgb") << iccProfileOf(adobeRgbSpace()) << sq::ProfileKind::Other;
    QTest::newRow("grey") << greyProfile() << sq::ProfileKind::None;
    QTest::newRow("truncated p3") << p3.left(p3.size() / 2) << sq::ProfileKind::None;
    QTest::newRow("header only") << p3.left(128) << sq::ProfileKind::None;
    QTest::newRow("garbage") << QByteArray(600, '\x5a') << sq::ProfileKind::None;
    QTest::newRow("empty") << QByteArray() << sq::ProfileKind::None;
}

void TestColour::classify()
{
    QFETCH(QByteArray, icc);
    QFETCH(sq::ProfileKind, kind);
    keepSeed(QStringLiteral("profile-%1")
                 .arg(QString::fromLatin1(QTest::currentDataTag()))
                 .replace(QLatin1Char(' '), QLatin1Char('-'))
                 .remove(QLatin1Char(',')),
             icc);
    QCOMPARE(sq::classifyProfile(icc), kind);
}

void TestColour::jpegProfileChunks_data()
{
    QTest::addColumn<QByteArray>("icc");
    QTest::addColumn<int>("chunks");
    QTest::newRow("one chunk") << iccProfileOf(displayP3Space()) << 1;
    // 100000 characters of UTF-16 text: some 200 KB, four markers.
    QTest::newRow("several chunks") << iccProfileOf(displayP3Space(), 1024, 100000) << 4;
}

void TestColour::jpegProfileChunks()
{
    QFETCH(QByteArray, icc);
    QFETCH(int, chunks);
    QCOMPARE(int((icc.size() + 65518) / 65519), chunks);
    const QByteArray jpeg = jpegWithIcc(colourBlocks(), icc);
    QCOMPARE(sq::jpegIccProfile(jpeg), icc);
    // Cut inside the profile's markers: nothing, and no crash.
    QVERIFY(sq::jpegIccProfile(jpeg.left(200)).isEmpty());
    QVERIFY(sq::jpegIccProfile(QByteArray()).isEmpty());
}

void TestColour::convertsToDisplay_data()
{
    QTest::addColumn<QString>("container");
    QTest::addColumn<int>("padding"); // characters of text making the profile long
    QTest::addColumn<int>("from");    // 0 p3, 1 adobe
    QTest::addColumn<int>("display"); // -1 srgb (none set), 0 p3, 1 adobe
    for (const char* c : {"jpg", "png"}) {
        QTest::addRow("%s p3 on srgb", c) << QString::fromLatin1(c) << 0 << 0 << -1;
        QTest::addRow("%s adobe on srgb", c) << QString::fromLatin1(c) << 0 << 1 << -1;
        QTest::addRow("%s adobe on a p3 display", c) << QString::fromLatin1(c) << 0 << 1 << 0;
    }
    QTest::newRow("jpg p3 in four markers") << QStringLiteral("jpg") << 100000 << 0 << -1;
    QTest::newRow("jpg p3 on an adobe display") << QStringLiteral("jpg") << 0 << 0 << 1;
}

void TestColour::convertsToDisplay()
{
    QFETCH(QString, container);
    QFETCH(int, padding);
    QFETCH(int, from);
    QFETCH(int, display);
    const RgbSpace spaces[2] = {displayP3Space(), adobeRgbSpace()};
    const RgbSpace source = spaces[from];
    const RgbSpace target = display < 0 ? srgbSpace() : spaces[display];
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("wide.") + container);
    QVERIFY(writeFile(file, pictureBytes(container, iccProfileOf(source, 0, padding))));
    if (padding == 0)
        keepSeed(QStringLiteral("picture-%1.%2").arg(from).arg(container),
                 pictureBytes(container, iccProfileOf(source)));

    sq::ColourSetting on;
    on.set(true, display < 0 ? QByteArray() : iccProfileOf(target));
    sq::ColourSetting off;
    off.set(false, QByteArray());
    const QImage plain = shown(file, &off);
    bool converted = false;
    const QImage managed = shown(file, &on, &converted);
    QVERIFY(!plain.isNull() && !managed.isNull());
    QVERIFY(converted);
    QVERIFY(plain != managed);
    QString where;
    const int error = worstError(plain, managed, source, target, &where);
    QVERIFY2(error <= 2, qPrintable(QStringLiteral("%1 levels off %2").arg(error).arg(where)));
    // Thumbnails take the same way: the fitted bitmap is converted too.
    TImgUtil util;
    sq::installPictureLoader(util);
    util.setColour(&on);
    util.setGetType(igtStretch);
    QCOMPARE(util.LoadImage(file, 32, 32), 0);
    QVERIFY(util.LastConverted());
}

void TestColour::leftAsDecoded_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("suffix");
    const QImage blocks = colourBlocks();
    const QByteArray p3 = iccProfileOf(displayP3Space());
    QByteArray wrecked = p3;
    wrecked.replace(36, 4, "xxxx"); // the 'acsp' signature
    for (const char* c : {"jpg", "png"}) {
        const QString s = QString::fromLatin1(c);
        QTest::addRow("%s without profile", c) << pictureBytes(s, QByteArray()) << s;
        QTest::addRow("%s srgb", c) << pictureBytes(s, iccProfileOf(srgbSpace())) << s;
        QTest::addRow("%s srgb of Qt", c)
            << pictureBytes(s, QColorSpace(QColorSpace::SRgb).iccProfile()) << s;
    }
    // Qt takes none of these as a colour space, so no PNG carries them.
    QTest::newRow("jpg truncated profile") << jpegWithIcc(blocks, p3.left(p3.size() - 40)) << "jpg";
    QTest::newRow("jpg profile without signature") << jpegWithIcc(blocks, wrecked) << "jpg";
    QTest::newRow("jpg garbage profile") << jpegWithIcc(blocks, QByteArray(3000, '\x11')) << "jpg";
    QTest::newRow("jpg grey profile") << jpegWithIcc(blocks, greyProfile()) << "jpg";
    QTest::newRow("png gamma chunk") << pngWithGamma(blocks) << "png";
}

void TestColour::leftAsDecoded()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, suffix);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("picture.") + suffix);
    QVERIFY(writeFile(file, bytes));
    sq::ColourSetting on;
    on.set(true, iccProfileOf(adobeRgbSpace())); // a display far from sRGB
    bool converted = true;
    const QImage managed = shown(file, &on, &converted);
    const QImage before = shown(file, nullptr);
    QVERIFY(!before.isNull());
    QVERIFY(!converted);
    QCOMPARE(managed, before);
}

void TestColour::photoThumbnails_data()
{
    QTest::addColumn<int>("codec"); // HeifCodec
    QTest::addColumn<int>("display"); // -1 srgb (none set), 1 adobe
    QTest::addColumn<int>("thumbSide"); // a thumbnail item of this side, which serves the box
    QTest::newRow("heic p3 on srgb") << int(HeifCodec::Hevc) << -1 << 0;
    QTest::newRow("heic p3 on an adobe display") << int(HeifCodec::Hevc) << 1 << 0;
    QTest::newRow("heic p3 from its thumbnail item") << int(HeifCodec::Hevc) << -1 << 32;
    QTest::newRow("avif p3 on srgb") << int(HeifCodec::Av1) << -1 << 0;
}

void TestColour::photoThumbnails()
{
    // A phone photograph in Display P3, shown as a thumbnail: the fitted
    // bitmap is converted to the display, and left as decoded while the
    // option is off.
    QFETCH(int, codec);
    QFETCH(int, display);
    QFETCH(int, thumbSide);
    const HeifCodec heifCodec = HeifCodec(codec);
    if (!canWriteHeif(heifCodec)) QSKIP("libheif has no encoder for this codec here");
    const RgbSpace target = display < 0 ? srgbSpace() : adobeRgbSpace();
    QTemporaryDir dir;
    const QString file = dir.filePath(heifCodec == HeifCodec::Hevc ? QStringLiteral("p3.heic")
                                                                   : QStringLiteral("p3.avif"));
    QVERIFY(writeHeif(file, colourBlocks(), heifCodec, thumbSide ? colourBlocks() : QImage(), thumbSide,
                      1, 100, iccProfileOf(displayP3Space())));
    sq::ColourSetting on;
    on.set(true, display < 0 ? QByteArray() : iccProfileOf(target));
    sq::ColourSetting off;
    off.set(false, QByteArray());
    const QSize box(32, 32); // the 64 x 64 picture halved: blocks of 8
    bool converted = false;
    const QImage managed = thumbnail(file, &on, box, &converted);
    QVERIFY(converted);
    bool offConverted = true;
    const QImage plain = thumbnail(file, &off, box, &offConverted);
    QVERIFY(!offConverted);
    QCOMPARE(plain.size(), box);
    QCOMPARE(managed.size(), box);
    QVERIFY(plain != managed);
    QString where;
    const int error = worstError(plain, managed, displayP3Space(), target, &where, 8);
    QVERIFY2(error <= 2, qPrintable(QStringLiteral("%1 levels off %2").arg(error).arg(where)));
    // Off is the decode as it was before colours were managed, bit for bit.
    QCOMPARE(plain, thumbnail(file, nullptr, box, nullptr));
}

void TestColour::alphaKeepsBackground()
{
    // Half clear red on white: the picture's red is converted before it is
    // laid on the background, which stays exactly white where it is clear.
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 16; ++x)
            image.setPixel(x, y, qRgba(255, 0, 0, 255));
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("alpha.png"));
    QVERIFY(writeFile(file, pngWithIcc(image, iccProfileOf(displayP3Space()))));
    sq::ColourSetting on;
    on.set(true, QByteArray());
    bool converted = false;
    const QImage managed = shown(file, &on, &converted);
    QVERIFY(converted);
    QCOMPARE(managed.pixel(24, 8), qRgb(255, 255, 255));
    const QRgb want = convertColour(qRgb(255, 0, 0), displayP3Space(), srgbSpace());
    QVERIFY2(std::abs(qGreen(managed.pixel(4, 8)) - qGreen(want)) <= 2 &&
                 std::abs(qBlue(managed.pixel(4, 8)) - qBlue(want)) <= 2,
             qPrintable(QString::number(managed.pixel(4, 8), 16)));
}

void TestColour::cacheFollowsColourState()
{
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("thumb")));
    const QString wide = dir.filePath(QStringLiteral("wide.jpg"));
    const QString plain = dir.filePath(QStringLiteral("plain.jpg"));
    const QString old = dir.filePath(QStringLiteral("old.jpg"));
    QVERIFY(writeFile(wide, pictureBytes(QStringLiteral("jpg"), iccProfileOf(displayP3Space()))));
    QVERIFY(writeFile(plain, pictureBytes(QStringLiteral("jpg"), QByteArray())));
    QVERIFY(writeFile(old, pictureBytes(QStringLiteral("jpg"), iccProfileOf(displayP3Space()))));
    TThumb thumb;
    thumb.setPath(dir.filePath(QStringLiteral("thumb")));
    sq::ColourSetting setting;
    TImgUtil util;
    util.setGetType(igtStretch);
    util.setThumbnail(&thumb);
    util.setAutoThumb(true);
    util.setColour(&setting);
    const QByteArray adobe = iccProfileOf(adobeRgbSpace());

    // Each step: the state, the picture, and whether the cache serves it.
    struct Step
    {
        bool on;
        QByteArray display;
        const QString* file;
        bool fromCache;
        bool converted;
    };
    const Step steps[] = {
        {true, {}, &wide, false, true},    // made and added
        {true, {}, &wide, true, false},    // served
        {false, {}, &wide, false, false},  // switched off: made again
        {false, {}, &wide, true, false},   // and served while off
        {true, {}, &wide, false, true},    // back on: the newest entry, made off, is no match
        {true, adobe, &wide, false, true}, // another display: made again
        {true, adobe, &wide, true, false},
        {true, {}, &plain, false, false}, // no profile: made once
        {false, {}, &plain, true, false}, // served whatever the state
        {true, adobe, &plain, true, false},
    };
    for (size_t i = 0; i < std::size(steps); ++i) {
        const Step& s = steps[i];
        setting.set(s.on, s.display);
        QCOMPARE(util.LoadImage(*s.file, 32, 32), 0);
        QVERIFY2(util.LastFromCache() == s.fromCache, qPrintable(QStringLiteral("step %1").arg(i)));
        QVERIFY2(util.LastConverted() == s.converted, qPrintable(QStringLiteral("step %1").arg(i)));
    }

    // An entry of a profiled picture made before colours were managed is
    // right while they are off and a miss while they are on.
    setting.set(false, {});
    TImgUtil legacy;
    legacy.setGetType(igtStretch);
    legacy.setThumbnail(&thumb);
    legacy.setAutoThumb(true);
    legacy.setColour(nullptr);
    QCOMPARE(legacy.LoadImage(old, 32, 32), 0);
    QVERIFY(!legacy.LastFromCache());
    QCOMPARE(util.LoadImage(old, 32, 32), 0);
    QVERIFY(util.LastFromCache());
    setting.set(true, {});
    QCOMPARE(util.LoadImage(old, 32, 32), 0);
    QVERIFY(!util.LastFromCache());
    QVERIFY(util.LastConverted());
}

QTEST_MAIN(TestColour)
#include "tst_colour.moc"
