// HEIC, AVIF, JPEG XL and camera RAW (DNG) through the picture loader, and
// phone videos through the video frame reader: each file is written at run
// time (tests/support/PhotoFiles, MediaFiles), read whole, upright, from the
// smallest source that covers a thumbnail's box, and refused when damaged or
// declaring more than the bound.
#include "engine/ImgUtils.h"
#include "engine/PictureFormats.h"
#include "engine/PictureLoader.h"
#include "platform/SafeRead.h"
#include "tests/support/FileDamage.h"
#include "tests/support/MediaFiles.h"
#include "tests/support/PhotoFiles.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>

#include <libheif/heif.h>

#include <atomic>
#include <thread>
#include <vector>

using namespace sq::test;

namespace {

const QRgb kRed = qRgb(255, 0, 0), kGreen = qRgb(0, 255, 0), kBlue = qRgb(0, 0, 255),
           kWhite = qRgb(255, 255, 255);

QImage flat(int w, int h, QRgb colour)
{
    QImage image(w, h, QImage::Format_RGB888);
    image.fill(QColor(colour));
    return image;
}

// Writes picture in the named kind (heic, avif, jxl, jxl-lossless, dng,
// dng-preview: a DNG whose embedded preview is the picture itself).
bool writeKind(const QString& kind, const QString& path, const QImage& picture, int orientation = 1)
{
    if (kind == QLatin1String("heic")) return writeHeif(path, picture, HeifCodec::Hevc, {}, 0, orientation);
    if (kind == QLatin1String("avif")) return writeHeif(path, picture, HeifCodec::Av1, {}, 0, orientation);
    if (kind == QLatin1String("jxl")) return writeJxl(path, picture, orientation);
    if (kind == QLatin1String("jxl-lossless")) return writeJxl(path, picture, orientation, true);
    if (kind == QLatin1String("dng")) return writeDng(path, picture, orientation);
    if (kind == QLatin1String("dng-preview")) return writeDng(path, picture, orientation, picture);
    return false;
}

QString suffixOf(const QString& kind)
{
    return kind.section(QLatin1Char('-'), 0, 0);
}

bool skipUnwritable(const QString& kind)
{
    return (kind == QLatin1String("heic") && !canWriteHeif(HeifCodec::Hevc)) ||
           (kind == QLatin1String("avif") && !canWriteHeif(HeifCodec::Av1));
}

// The colours at the centres of the four quadrants, in the order TL TR BL BR.
QList<QRgb> quadrantColours(const QImage& image)
{
    const int w = image.width(), h = image.height();
    return {image.pixel(w / 4, h / 4), image.pixel(3 * w / 4, h / 4), image.pixel(w / 4, 3 * h / 4),
            image.pixel(3 * w / 4, 3 * h / 4)};
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Where SQ_CORPUS_DIR is set, the files written become the fuzz targets' seeds.
void keepSeed(const QString& target, const QString& file)
{
    const QString dir = qEnvironmentVariable("SQ_CORPUS_DIR");
    if (dir.isEmpty()) return;
    QDir().mkpath(dir + QLatin1Char('/') + target);
    QFile::copy(file, dir + QLatin1Char('/') + target + QLatin1Char('/') + QFileInfo(file).fileName());
}

} // namespace

class TstPhotos : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }

    // Loads through an engine with the picture loader; getType igtNormal for
    // the picture itself, else a thumbnail of the box.
    static int load(TImgUtil& engine, const QString& file, QSize box = QSize())
    {
        sq::installPictureLoader(engine);
        engine.setGetType(box.isValid() ? igtPreview : igtNormal);
        return engine.LoadImage(file, box.width(), box.height());
    }

private Q_SLOTS:
    void signatures_data();
    void signatures();
    void reads_data();
    void reads();
    void upright_data();
    void upright();
    void thumbnails_data();
    void thumbnails();
    void bounds_data();
    void bounds();
    void damaged_data();
    void damaged();
    void rawReadsWhatItNeeds_data();
    void rawReadsWhatItNeeds();
    void decodeCost_data();
    void decodeCost();
    void heifCostAsLibheifSees_data();
    void heifCostAsLibheifSees();
    void manyAtOnceWithinTheBudget();
    void derivedItems_data();
    void derivedItems();
    void videos_data();
    void videos();
};

void TstPhotos::signatures_data()
{
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<int>("codec");
    const auto ftyp = [](const char* major, const char* compatible) {
        QByteArray b("\0\0\0\x18" "ftyp", 8);
        b.append(major).append(QByteArray("\0\0\0\0", 4)).append(compatible);
        return b;
    };
    QTest::newRow("heic") << ftyp("heic", "mif1heic") << int(sq::PhotoCodec::Heif);
    QTest::newRow("avif") << ftyp("avif", "mif1avif") << int(sq::PhotoCodec::Heif);
    QTest::newRow("mif1 compatible only") << ftyp("abcd", "mif1miaf") << int(sq::PhotoCodec::Heif);
    QTest::newRow("mp4 movie") << ftyp("isom", "isomavc1") << int(sq::PhotoCodec::None);
    QTest::newRow("quicktime movie") << ftyp("qt  ", "qt  ") << int(sq::PhotoCodec::None);
    QTest::newRow("jxl codestream") << QByteArray("\xff\x0a\x10\x20", 4) << int(sq::PhotoCodec::Jxl);
    QTest::newRow("jxl container")
        << QByteArray("\0\0\0\x0cJXL \r\n\x87\n\0\0", 14) << int(sq::PhotoCodec::Jxl);
    QTest::newRow("jpeg") << QByteArray("\xff\xd8\xff\xe0", 4) << int(sq::PhotoCodec::None);
    QTest::newRow("ftyp cut short") << QByteArray("\0\0\0\x18" "ftyphe", 10) << int(sq::PhotoCodec::None);
    QTest::newRow("empty") << QByteArray() << int(sq::PhotoCodec::None);
}

void TstPhotos::signatures()
{
    QFETCH(QByteArray, head);
    QFETCH(int, codec);
    QCOMPARE(int(sq::photoCodecOf(head)), codec);
}

void TstPhotos::reads_data()
{
    QTest::addColumn<QString>("kind");
    for (const char* k : {"heic", "avif", "jxl", "jxl-lossless", "dng", "dng-preview"})
        QTest::newRow(k) << QString::fromLatin1(k);
}

void TstPhotos::reads()
{
    QFETCH(QString, kind);
    if (skipUnwritable(kind)) QSKIP("libheif has no encoder for this codec here");
    const QString file = path(QStringLiteral("reads-%1.%2").arg(kind, suffixOf(kind)));
    QVERIFY(writeKind(kind, file, quadrants(160, 120)));
    keepSeed(QStringLiteral("fuzz_photos"), file);
    TImgUtil engine;
    QCOMPARE(load(engine, file), 0);
    QCOMPARE(engine.ImageType(), iitCustom);
    QCOMPARE(engine.Bitmap().image().size(), QSize(160, 120));
    QCOMPARE(QSize(engine.ImageWidth(), engine.ImageHeight()), QSize(160, 120));
    const QList<QRgb> got = quadrantColours(engine.Bitmap().image());
    const QList<QRgb> want = {kRed, kGreen, kBlue, kWhite};
    for (int i = 0; i < 4; ++i)
        QVERIFY2(near(got[i], want[i]), qPrintable(QStringLiteral("quadrant %1: %2").arg(i).arg(got[i], 8, 16)));
}

void TstPhotos::upright_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("orientation");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QList<QRgb>>("colours"); // TL TR BL BR once upright
    const QList<QRgb> cw = {kBlue, kRed, kWhite, kGreen};
    const QList<QRgb> half = {kWhite, kBlue, kGreen, kRed};
    const QList<QRgb> ccw = {kGreen, kWhite, kRed, kBlue};
    for (const char* k : {"heic", "jxl", "dng", "dng-preview"}) {
        const QString kind = QString::fromLatin1(k);
        QTest::addRow("%s 6", k) << kind << 6 << QSize(120, 160) << cw;
        QTest::addRow("%s 3", k) << kind << 3 << QSize(160, 120) << half;
        QTest::addRow("%s 8", k) << kind << 8 << QSize(120, 160) << ccw;
    }
}

void TstPhotos::upright()
{
    QFETCH(QString, kind);
    QFETCH(int, orientation);
    QFETCH(QSize, size);
    QFETCH(QList<QRgb>, colours);
    if (skipUnwritable(kind)) QSKIP("libheif has no encoder for this codec here");
    const QString file = path(QStringLiteral("up-%1-%2.%3").arg(kind).arg(orientation).arg(suffixOf(kind)));
    QVERIFY(writeKind(kind, file, quadrants(160, 120), orientation));
    TImgUtil engine;
    QCOMPARE(load(engine, file), 0);
    QCOMPARE(engine.Bitmap().image().size(), size);
    const QList<QRgb> got = quadrantColours(engine.Bitmap().image());
    for (int i = 0; i < 4; ++i)
        QVERIFY2(near(got[i], colours[i]), qPrintable(QStringLiteral("quadrant %1: %2").arg(i).arg(got[i], 8, 16)));
}

void TstPhotos::thumbnails_data()
{
    // A red picture whose own thumbnail or preview is green: the colour says
    // which source the engine decoded.
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QSize>("box"); // invalid: the picture itself
    QTest::addColumn<QRgb>("colour");
    QTest::newRow("heic small box: thumbnail") << "heic" << QSize(40, 30) << kGreen;
    QTest::newRow("heic box as large as the thumbnail") << "heic" << QSize(64, 48) << kGreen;
    QTest::newRow("heic box past the thumbnail") << "heic" << QSize(120, 90) << kRed;
    QTest::newRow("heic picture itself") << "heic" << QSize() << kRed;
    QTest::newRow("dng small box: preview") << "dng" << QSize(40, 30) << kGreen;
    QTest::newRow("dng box past the preview") << "dng" << QSize(200, 150) << kRed;
    QTest::newRow("dng picture itself, small preview") << "dng" << QSize() << kRed;
    QTest::newRow("dng picture itself, full-size preview") << "dng-full" << QSize() << kGreen;
}

void TstPhotos::thumbnails()
{
    QFETCH(QString, kind);
    QFETCH(QSize, box);
    QFETCH(QRgb, colour);
    if (kind == QLatin1String("heic") && !canWriteHeif(HeifCodec::Hevc))
        QSKIP("libheif has no HEVC encoder here");
    const QSize full(320, 240);
    const QString file = path(QStringLiteral("thumb-%1.%2").arg(kind, kind.left(3) == "dng" ? "dng" : "heic"));
    if (kind == QLatin1String("heic"))
        QVERIFY(writeHeif(file, flat(320, 240, kRed), HeifCodec::Hevc, flat(320, 240, kGreen), 64));
    else if (kind == QLatin1String("dng"))
        QVERIFY(writeDng(file, flat(320, 240, kRed), 1, flat(80, 60, kGreen)));
    else
        QVERIFY(writeDng(file, flat(320, 240, kRed), 1, flat(320, 240, kGreen)));
    keepSeed(QStringLiteral("fuzz_photos"), file);
    TImgUtil engine;
    QCOMPARE(load(engine, file, box), 0);
    const QImage& image = engine.Bitmap().image();
    QVERIFY(near(image.pixel(image.width() / 2, image.height() / 2), colour));
    // The picture's own size, whichever source was decoded.
    QCOMPARE(QSize(engine.ImageWidth(), engine.ImageHeight()), full);
    if (box.isValid()) QVERIFY(image.width() <= box.width() && image.height() <= box.height());
}

void TstPhotos::bounds_data()
{
    QTest::addColumn<QString>("kind");
    for (const char* k : {"heic", "avif", "jxl", "dng", "dng-preview"})
        QTest::newRow(k) << QString::fromLatin1(k);
}

void TstPhotos::bounds()
{
    // The declared size is checked before decoding: one pixel past the
    // bound gives nothing, the bound itself the picture.
    QFETCH(QString, kind);
    if (skipUnwritable(kind)) QSKIP("libheif has no encoder for this codec here");
    const QString file = path(QStringLiteral("bound-%1.%2").arg(kind, suffixOf(kind)));
    QVERIFY(writeKind(kind, file, quadrants(96, 64)));
    const QByteArray bytes = readAll(file);
    const auto decode = [&](qint64 maxPixels) {
        return kind.startsWith(QLatin1String("dng")) ? sq::decodeRaw(bytes, {}, maxPixels)
               : kind == QLatin1String("jxl")        ? sq::decodeJxl(bytes, {}, maxPixels)
                                                     : sq::decodeHeif(bytes, {}, maxPixels);
    };
    QCOMPARE(decode(96 * 64).image.size(), QSize(96, 64));
    QVERIFY(decode(96 * 64 - 1).image.isNull());
}

void TstPhotos::damaged_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("damage");
    QTest::addColumn<bool>("mustFail");
    for (const char* k : {"heic", "avif", "jxl", "dng", "dng-preview"}) {
        const QString kind = QString::fromLatin1(k);
        const bool raw = kind.startsWith(QLatin1String("dng"));
        QTest::addRow("%s empty", k) << kind << "cut:0" << true;
        QTest::addRow("%s header only", k) << kind << "cut:40" << true;
        // LibRaw reads a linear DNG cut short as far as it goes.
        QTest::addRow("%s cut to a quarter", k) << kind << "cut:25%" << !raw;
        QTest::addRow("%s cut in half", k) << kind << "cut:50%" << !raw;
        QTest::addRow("%s last byte gone", k) << kind << "cut:-1" << !raw;
        QTest::addRow("%s garbage in the middle", k) << kind << "patch:50%" << false;
        QTest::addRow("%s garbage after the signature", k) << kind << "patch:12" << false;
    }
}

void TstPhotos::damaged()
{
    QFETCH(QString, kind);
    QFETCH(QString, damage);
    QFETCH(bool, mustFail);
    if (skipUnwritable(kind)) QSKIP("libheif has no encoder for this codec here");
    const QString file = path(QStringLiteral("damaged-%1-%2.%3")
                                  .arg(kind, QString(damage).replace(QLatin1Char(':'), QLatin1Char('-'))
                                                 .remove(QLatin1Char('%')),
                                       suffixOf(kind)));
    QVERIFY(writeKind(kind, file, quadrants(160, 120)));
    const qint64 size = QFileInfo(file).size();
    const QString how = damage.section(QLatin1Char(':'), 0, 0);
    const QString at = damage.section(QLatin1Char(':'), 1);
    const qint64 offset = at.endsWith(QLatin1Char('%')) ? size * at.chopped(1).toInt() / 100
                          : at.toLongLong() < 0        ? size + at.toLongLong()
                                                       : at.toLongLong();
    if (how == QLatin1String("cut"))
        QVERIFY(truncateFile(file, offset));
    else
        QVERIFY(patchFile(file, offset, QByteArray(256, '\xa5')));
    TImgUtil engine;
    const int r = load(engine, file);
    if (mustFail) {
        QCOMPARE(r, -1);
        QVERIFY(!engine.Bitmap().isEmpty()); // the file's icon
    } else if (r == 0) {
        // What decodes is the picture as declared, never a larger one.
        QVERIFY(engine.Bitmap().width() <= 160 && engine.Bitmap().height() <= 160);
    } else {
        QCOMPARE(r, -1);
    }
}

void TstPhotos::rawReadsWhatItNeeds_data()
{
    // An 800 x 600 DNG (some 2.9 MB of sensor data) with a 200 x 150 preview.
    QTest::addColumn<QSize>("box");      // invalid: the picture itself
    QTest::addColumn<int>("mostPercent"); // of the file read, at most
    QTest::addColumn<int>("leastPercent");
    QTest::newRow("thumbnail from the preview") << QSize(160, 120) << 10 << 0;
    QTest::newRow("box as large as the preview") << QSize(200, 150) << 10 << 0;
    QTest::newRow("box past the preview: developed at half size") << QSize(300, 225) << 100 << 90;
    QTest::newRow("picture itself: developed") << QSize() << 100 << 90;
}

void TstPhotos::rawReadsWhatItNeeds()
{
    QFETCH(QSize, box);
    QFETCH(int, mostPercent);
    QFETCH(int, leastPercent);
    const QString file = path(QStringLiteral("partial.dng"));
    if (!QFileInfo::exists(file))
        QVERIFY(writeDng(file, quadrants(800, 600), 6, quadrants(200, 150)));
    const sq::platform::SafeFile opened(file);
    QVERIFY(opened.isOpen());
    qint64 read = -1;
    const sq::DecodedPicture fromFile = sq::decodeRawFile(opened, box, TImgUtil::MaxPixels, &read);
    QVERIFY(!fromFile.image.isNull());
    QCOMPARE(fromFile.fullSize, QSize(600, 800));
    QVERIFY2(read <= opened.size() * mostPercent / 100 && read >= opened.size() * leastPercent / 100,
             qPrintable(QStringLiteral("%1 of %2 bytes read").arg(read).arg(opened.size())));
    // The same picture as from the whole file's bytes.
    const sq::DecodedPicture fromBytes = sq::decodeRaw(readAll(file), box);
    QCOMPARE(fromFile.image, fromBytes.image);
}

void TstPhotos::decodeCost_data()
{
    // The file (kind, its size, a thumbnail or preview of the given side),
    // the box, the source whose pixels the cost must count, and a damage.
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("thumbSide");
    QTest::addColumn<QSize>("box");
    QTest::addColumn<QSize>("source"); // empty: no cost
    QTest::addColumn<QString>("damage");
    const QSize big(640, 480);
    QTest::newRow("heic picture") << "heic" << big << 0 << QSize() << big << "";
    QTest::newRow("heic thumbnail item") << "heic" << big << 64 << QSize(40, 30) << QSize(64, 48) << "";
    QTest::newRow("heic box past the thumbnail") << "heic" << big << 64 << QSize(120, 90) << big << "";
    QTest::newRow("avif picture") << "avif" << big << 0 << QSize(40, 30) << big << "";
    QTest::newRow("jxl picture") << "jxl" << big << 0 << QSize() << big << "";
    QTest::newRow("jxl box: decoded whole") << "jxl" << big << 0 << QSize(40, 30) << big << "";
    QTest::newRow("dng developed") << "dng" << big << 0 << QSize() << big << "";
    QTest::newRow("dng preview") << "dng" << big << 160 << QSize(80, 60) << QSize(160, 120) << "";
    QTest::newRow("dng box past the preview") << "dng" << big << 160 << QSize(200, 150) << big << "";
    // Cut inside the header that declares the size: the box list of a HEIF,
    // a JPEG XL's size fields, a DNG's first IFD.
    QTest::newRow("heic header cut short") << "heic" << big << 0 << QSize() << QSize() << "cut:40";
    QTest::newRow("jxl header cut short") << "jxl" << big << 0 << QSize() << QSize() << "cut:3";
    QTest::newRow("dng header cut short") << "dng" << big << 0 << QSize() << QSize() << "cut:40";
    for (const char* k : {"heic", "jxl", "dng"}) {
        QTest::addRow("%s empty", k) << k << big << 0 << QSize() << QSize() << "cut:0";
        QTest::addRow("%s past the bound", k) << k << big << 0 << QSize() << QSize() << "bound";
    }
    QTest::newRow("heic signature wrecked") << "heic" << big << 0 << QSize() << QSize() << "patch:4";
    QTest::newRow("jxl signature wrecked") << "jxl" << big << 0 << QSize() << QSize() << "patch:0";
}

void TstPhotos::decodeCost()
{
    QFETCH(QString, kind);
    QFETCH(QSize, size);
    QFETCH(int, thumbSide);
    QFETCH(QSize, box);
    QFETCH(QSize, source);
    QFETCH(QString, damage);
    if (skipUnwritable(kind)) QSKIP("libheif has no encoder for this codec here");
    const QString file = path(QStringLiteral("cost-%1.%2").arg(QString::fromLatin1(QTest::currentDataTag()), kind));
    const QImage green = flat(size.width(), size.height(), kGreen);
    if (kind == QLatin1String("dng"))
        QVERIFY(writeDng(file, green, 1, thumbSide ? green.scaled(thumbSide, thumbSide * 3 / 4) : QImage()));
    else if (thumbSide)
        QVERIFY(writeHeif(file, green, HeifCodec::Hevc, green, thumbSide));
    else
        QVERIFY(writeKind(kind, file, green));
    if (damage.startsWith(QLatin1String("cut:")))
        QVERIFY(truncateFile(file, damage.mid(4).toLongLong()));
    else if (damage.startsWith(QLatin1String("patch:")))
        QVERIFY(patchFile(file, damage.mid(6).toLongLong(), QByteArray(8, '\xa5')));
    const sq::platform::SafeFile opened(file);
    QVERIFY(opened.isOpen());
    const sq::PhotoCodec codec = kind == QLatin1String("dng") ? sq::PhotoCodec::Raw
                                 : kind == QLatin1String("jxl") ? sq::PhotoCodec::Jxl
                                                                : sq::PhotoCodec::Heif;
    const qint64 maxPixels = damage == QLatin1String("bound") ? qint64(size.width()) * size.height() - 1
                                                              : TImgUtil::MaxPixels;
    const qint64 cost = sq::photoDecodeCost(opened, codec, box, maxPixels);
    if (source.isEmpty()) {
        QCOMPARE(cost, qint64(0));
        return;
    }
    // At least what a JPEG of the source reserves (two 24-bit bitmaps), and not so much
    // more that a smaller source would pass for a larger one.
    const qint64 pixels = qint64(source.width()) * source.height();
    QVERIFY2(cost >= pixels * 6 && cost <= pixels * 32 + opened.size(),
             qPrintable(QStringLiteral("cost %1 for %2 pixels").arg(cost).arg(pixels)));
}

void TstPhotos::heifCostAsLibheifSees_data()
{
    // A turned HEIC or AVIF with a thumbnail item or none; its cost for a box
    // counts the source libheif itself would give for it.
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("orientation");
    QTest::addColumn<int>("thumbSide");
    QTest::addColumn<QSize>("box");
    for (const char* k : {"heic", "avif"})
        for (const int o : {1, 3, 6, 8})
            for (const int side : {0, 40, 100})
                for (const QSize box : {QSize(), QSize(40, 30), QSize(120, 90)})
                    QTest::addRow("%s %d thumbnail %d box %dx%d", k, o, side, box.width(), box.height())
                        << k << o << side << box;
}

void TstPhotos::heifCostAsLibheifSees()
{
    QFETCH(QString, kind);
    QFETCH(int, orientation);
    QFETCH(int, thumbSide);
    QFETCH(QSize, box);
    if (skipUnwritable(kind)) QSKIP("libheif has no encoder for this codec here");
    const QString file = path(QStringLiteral("seen-%1-%2-%3.%1").arg(kind).arg(orientation).arg(thumbSide));
    const QImage picture = quadrants(160, 90);
    if (!QFileInfo::exists(file))
        QVERIFY(writeHeif(file, picture, kind == QLatin1String("heic") ? HeifCodec::Hevc : HeifCodec::Av1,
                          thumbSide ? picture : QImage(), thumbSide, orientation, 50));
    // The sizes of libheif's handles, and its smallest thumbnail covering the box.
    heif_context* context = heif_context_alloc();
    const auto freeContext = qScopeGuard([context] { heif_context_free(context); });
    QCOMPARE(heif_context_read_from_file(context, QFile::encodeName(file).constData(), nullptr).code,
             heif_error_Ok);
    heif_image_handle* primary = nullptr;
    QCOMPARE(heif_context_get_primary_image_handle(context, &primary).code, heif_error_Ok);
    const auto freePrimary = qScopeGuard([primary] { heif_image_handle_release(primary); });
    const QSize full(heif_image_handle_get_width(primary), heif_image_handle_get_height(primary));
    QSize source = full;
    heif_item_id ids[4] = {};
    const int count = heif_image_handle_get_list_of_thumbnail_IDs(primary, ids, 4);
    QCOMPARE(count, thumbSide ? 1 : 0);
    for (int i = 0; i < count && box.isValid(); ++i) {
        heif_image_handle* thumb = nullptr;
        QCOMPARE(heif_image_handle_get_thumbnail(primary, ids[i], &thumb).code, heif_error_Ok);
        const QSize size(heif_image_handle_get_width(thumb), heif_image_handle_get_height(thumb));
        heif_image_handle_release(thumb);
        if (sq::sourceCoversBox(size, full, box) && qint64(size.width()) * size.height() <
                                                        qint64(source.width()) * source.height())
            source = size;
    }
    const sq::platform::SafeFile opened(file);
    const qint64 whole = sq::heifDecodeCost(opened, QSize(), TImgUtil::MaxPixels);
    const qint64 cost = sq::heifDecodeCost(opened, box, TImgUtil::MaxPixels);
    QVERIFY(whole > 0);
    // The same bytes a pixel, counted over the source libheif would decode.
    QCOMPARE(cost * full.width() * full.height(), whole * source.width() * source.height());
}

void TstPhotos::manyAtOnceWithinTheBudget()
{
    // Thumbnails of several photographs at once: each reserves its cost from
    // the budget before it decodes, so while the budget is full every one of
    // them waits, and once it is free they all finish.
    QStringList files;
    for (const char* k : {"heic", "jxl", "dng", "dng-preview", "avif"}) {
        const QString kind = QString::fromLatin1(k);
        if (skipUnwritable(kind)) continue;
        files << path(QStringLiteral("budget-%1.%2").arg(kind, suffixOf(kind)));
        QVERIFY(writeKind(kind, files.last(), quadrants(320, 240)));
    }
    const qint64 limit = qint64(256) << 20;
    sq::DecodeBudget budget(limit);
    sq::DecodeBudget::Hold full = budget.reserve(limit);
    std::atomic<int> loaded{0};
    std::vector<std::thread> workers;
    // On a failed check too: the budget freed and the workers joined.
    const auto finish = qScopeGuard([&] {
        full.release();
        for (std::thread& w : workers)
            if (w.joinable()) w.join();
    });
    for (const QString& file : std::as_const(files))
        workers.emplace_back([&budget, &loaded, file] {
            TImgUtil engine;
            sq::installPictureLoader(engine);
            engine.setBudget(&budget);
            engine.setGetType(igtStretch);
            if (engine.LoadImage(file, 80, 60) == 0) ++loaded;
        });
    QTRY_COMPARE_WITH_TIMEOUT(budget.waiting(), int(files.size()), 10000);
    QCOMPARE(loaded.load(), 0);
    full.release();
    for (std::thread& w : workers) w.join();
    QCOMPARE(loaded.load(), int(files.size()));
    QCOMPARE(budget.held(), qint64(0));
    QVERIFY(budget.peakHeld() <= limit);
}

// Grid and overlay items: libheif makes their canvas from their own data,
// so a file whose overlay data is cut short or declares a vast canvas is
// refused before it is decoded. The damaged overlay is kept in the fuzz
// corpus (libheif asked 5 GB for its 856 bytes).
void TstPhotos::derivedItems_data()
{
    QTest::addColumn<QString>("make");
    QTest::addColumn<bool>("bounded");
    QTest::newRow("plain HEIC") << "heic" << true;
    QTest::newRow("overlay cut short") << "overlay" << false;
    QTest::newRow("its items made plain") << "plain items" << true;
    QTest::newRow("cut before its meta") << "cut" << true;
}

void TstPhotos::derivedItems()
{
    QFETCH(QString, make);
    QFETCH(bool, bounded);
    QByteArray bytes;
    if (make == QLatin1String("heic")) {
        if (!canWriteHeif(HeifCodec::Hevc)) QSKIP("libheif cannot encode HEVC here");
        const QString file = path(QStringLiteral("plain.heic"));
        QVERIFY(writeHeif(file, flat(64, 48, kRed), HeifCodec::Hevc));
        bytes = readAll(file);
    } else {
        bytes = readAll(qEnvironmentVariable("SQ_SOURCE_DIR") +
                        "/fuzz/corpus/fuzz_photos/regress-overlay-canvas.heic");
        QCOMPARE(bytes.size(), 856);
        if (make == QLatin1String("plain items"))
            bytes.replace("iovl", "hvc1").replace("grid", "hvc1");
        if (make == QLatin1String("cut")) bytes.truncate(48);
    }
    QCOMPARE(sq::heifDerivedItemsBounded(bytes), bounded);
    if (!bounded) QVERIFY(sq::decodeHeif(bytes).image.isNull());
}

void TstPhotos::videos_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("codec");
    QTest::addColumn<int>("frame");
    QTest::newRow("mp4") << "clip.mp4" << "libx264" << 0;
    QTest::newRow("mov") << "clip.mov" << "mpeg4" << 0;
    QTest::newRow("m4v upper case") << "CLIP.M4V" << "mpeg4" << 0;
    QTest::newRow("mkv") << "clip.mkv" << "mpeg4" << 0;
    QTest::newRow("webm") << "clip.webm" << "libvpx-vp9" << 0;
    // An AVI keeps its frame position (20 % of 50 frames).
    QTest::newRow("avi") << "clip.avi" << "mjpeg" << 10;
    QTest::newRow("mp4 cut in half") << "cut.mp4" << "libx264" << -1;
    // Kept in the fuzz corpus (no codec): an AV1 frame of 8208 x 8208, past
    // the video frame bound, refused before a decoder allocates it.
    QTest::newRow("frame past the bound") << "regress-8208x8208-av1.mkv" << "" << -1;
}

void TstPhotos::videos()
{
    QFETCH(QString, name);
    QFETCH(QString, codec);
    QFETCH(int, frame);
    if (!haveFfmpeg()) QSKIP("ffmpeg is not installed");
    const QString file = path(name);
    if (codec.isEmpty())
        QVERIFY(QFile::copy(qEnvironmentVariable("SQ_SOURCE_DIR") + "/fuzz/corpus/fuzz_video/" + name, file));
    else
        QVERIFY(makeNumberedVideo(file, codec, 50, 5));
    if (frame >= 0)
        keepSeed(QStringLiteral("fuzz_video"), file);
    else if (!codec.isEmpty())
        QVERIFY(truncateFile(file, QFileInfo(file).size() / 2));
    TImgUtil engine;
    const int r = load(engine, file);
    // The phone videos are pictures of the custom loader; an AVI keeps its kind.
    QCOMPARE(engine.ImageType(), name.endsWith(QLatin1String(".avi")) ? iitAvi : iitCustom);
    if (frame < 0) {
        QCOMPARE(r, -1);
        return;
    }
    QCOMPARE(r, 0);
    QCOMPARE(engine.Bitmap().image().size(), QSize(64, 48));
    QCOMPARE(videoFrameNumber(engine.Bitmap().image()), frame);
}

QTEST_MAIN(TstPhotos)
#include "tst_photos.moc"
