// PNG, GIF, WebP and TIFF through the engine's picture loader: each kind
// written by the test and checked pixel by pixel after loading (alpha laid
// on the engine's background), pictures declaring too many pixels refused
// from their header, damaged files giving the icon and -1, the kinds by name,
// thumbnails through the cache, and sqimg's report.
#include "engine/ImgUtils.h"
#include "engine/PictureBounds.h"
#include "engine/PictureLoader.h"
#include "tests/support/FileDamage.h"
#include "tests/support/HostileFiles.h"
#include "tests/support/PictureFiles.h"
#include "tests/support/TestFiles.h"

#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace sq::test;

namespace {

const QColor kBackground(12, 200, 90);

// A buffer that counts the bytes its readers take.
class CountingBuffer : public QBuffer
{
public:
    explicit CountingBuffer(const QByteArray& bytes) : m_bytes(bytes)
    {
        setBuffer(&m_bytes);
        open(QIODevice::ReadOnly);
    }
    qint64 taken = 0;

protected:
    qint64 readData(char* data, qint64 len) override
    {
        const qint64 n = QBuffer::readData(data, len);
        if (n > 0) taken += n;
        return n;
    }

private:
    QByteArray m_bytes;
};

// image in format through Qt's writer (for PNG quality 0 is the strongest
// compression, for WebP 100 is lossless).
QByteArray encoded(const QImage& image, const char* format, int quality)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    return writer.write(image) ? bytes : QByteArray();
}

// The picture in 24 bits on the background, pixel by pixel, as expected.
QImage expectedOnBackground(const QImage& picture)
{
    const QImage argb = picture.convertToFormat(QImage::Format_ARGB32);
    QImage out(argb.size(), QImage::Format_RGB888);
    for (int y = 0; y < argb.height(); ++y)
        for (int x = 0; x < argb.width(); ++x)
            out.setPixel(x, y, overBackground(argb.pixel(x, y), kBackground));
    return out;
}

// The first pixel where a and b differ by more than tolerance, or "".
QString firstDifference(const QImage& a, const QImage& b, int tolerance)
{
    if (a.size() != b.size())
        return QStringLiteral("sizes %1x%2 and %3x%4")
            .arg(a.width())
            .arg(a.height())
            .arg(b.width())
            .arg(b.height());
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            if (std::abs(qRed(p) - qRed(q)) > tolerance ||
                std::abs(qGreen(p) - qGreen(q)) > tolerance ||
                std::abs(qBlue(p) - qBlue(q)) > tolerance)
                return QStringLiteral("(%1,%2): %3 against %4")
                    .arg(x)
                    .arg(y)
                    .arg(p, 8, 16, QLatin1Char('0'))
                    .arg(q, 8, 16, QLatin1Char('0'));
        }
    return {};
}

double meanDifference(const QImage& a, const QImage& b)
{
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) +
                   std::abs(qBlue(p) - qBlue(q));
        }
    return sum / (3.0 * a.width() * a.height());
}

// 16 bits a channel, every value a multiple of 257 so that eight bits hold
// it exactly, with an alpha ramp.
QImage deepPattern(int width, int height)
{
    QImage img(width, height, QImage::Format_RGBA64);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const QRgba64 c = QRgba64::fromRgba64(
                quint16(((x * 9) & 0xff) * 257), quint16(((y * 13) & 0xff) * 257),
                quint16(((x + y) * 5 & 0xff) * 257), quint16((x * 255 / (width - 1)) * 257));
            reinterpret_cast<QRgba64*>(img.scanLine(y))[x] = c;
        }
    return img;
}

// Where SQ_CORPUS_DIR is set the pictures become the fuzz target's seeds.
void keepSeed(const QString& name, const QByteArray& bytes)
{
    const QString dir = qEnvironmentVariable("SQ_CORPUS_DIR");
    if (dir.isEmpty()) return;
    QString file = name;
    for (QChar& c : file)
        if (!c.isLetterOrNumber() && c != QLatin1Char('.')) c = QLatin1Char('-');
    writeFile(dir + QStringLiteral("/fuzz_pictures/") + file, bytes);
}

} // namespace

class TstPictures : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    int m_serial = 0;

    QString fresh(const QString& name)
    {
        return m_dir.filePath(QString::number(++m_serial) + QLatin1Char('/') + name);
    }

    // Writes each kind of picture; name -> (file, what the engine must show
    // at full size, channel tolerance).
    struct Written
    {
        QString path;
        QImage expected;
        int tolerance = 0;
        QSize size;
    };
    Written write(const QString& kind)
    {
        Written w;
        if (kind == "png alpha") {
            const QImage src = alphaPattern(61, 37);
            w.path = fresh("alpha.png");
            if (!writePicture(w.path, src, "png")) return {};
            w.expected = expectedOnBackground(src);
        } else if (kind == "png paletted") {
            const QImage src = palettePattern(50, 30, 16, true);
            w.path = fresh("palette.png");
            if (!writePicture(w.path, src, "png")) return {};
            // Colour type 3 (palette) in the header: the file really is paletted.
            if (readFile(w.path).at(25) != 3) return {};
            w.expected = expectedOnBackground(src);
        } else if (kind == "png 16-bit") {
            const QImage src = deepPattern(40, 28);
            w.path = fresh("deep.png");
            if (!writePicture(w.path, src, "png")) return {};
            if (readFile(w.path).at(24) != 16) return {}; // 16 bits a sample
            w.expected = expectedOnBackground(src);
        } else if (kind == "gif animated" || kind == "gif local tables") {
            const QImage first = palettePattern(40, 24, 32, true, 0);
            const QImage second = palettePattern(40, 24, 32, true, 5);
            const bool global = kind == "gif animated";
            w.path = fresh(global ? "moving.gif" : "local.gif");
            if (!writeGif(w.path, {first, second}, 0,
                          global ? GifTables::Global : GifTables::LocalOnly))
                return {};
            // The global table's flag is as asked for.
            if (bool(readFile(w.path).at(10) & 0x80) != global) return {};
            // The reader sees two frames: the first is the one shown.
            QImageReader reader(w.path);
            if (reader.imageCount() != 2) return {};
            w.expected = expectedOnBackground(first);
        } else if (kind == "webp lossless") {
            const QImage src = alphaPattern(52, 31);
            w.path = fresh("lossless.webp");
            if (!writePicture(w.path, src, "webp", 100)) return {};
            w.expected = expectedOnBackground(src);
        } else if (kind == "webp lossy") {
            const QImage src = patternImage(64, 48);
            w.path = fresh("lossy.webp");
            if (!writePicture(w.path, src, "webp", 80)) return {};
            // Lossy: the reference is the decoder's own output, and that must
            // still look like the source.
            const QImage decoded = QImageReader(w.path).read();
            if (decoded.isNull() || meanDifference(decoded, src) > 6) return {};
            w.expected = expectedOnBackground(decoded);
        } else if (kind == "tiff pages") {
            const QImage first = patternImage(45, 33);
            const QImage second = alphaPattern(20, 20);
            w.path = fresh("pages.tif");
            const QByteArray bytes = multiPageTiff({first, second});
            if (bytes.isEmpty() || !writeFile(w.path, bytes)) return {};
            QImageReader reader(w.path);
            if (reader.imageCount() != 2) return {};
            w.expected = expectedOnBackground(first);
        }
        w.size = w.expected.size();
        keepSeed(QFileInfo(w.path).fileName(), readFile(w.path));
        return w;
    }

    static QStringList kinds()
    {
        return {"png alpha",        "png paletted",  "png 16-bit", "gif animated",
                "gif local tables", "webp lossless", "webp lossy", "tiff pages"};
    }

private Q_SLOTS:
    void initTestCase()
    {
        // Without the plug-ins there is nothing to test: say so plainly.
        const QList<QByteArray> formats = QImageReader::supportedImageFormats();
        for (const char* f : {"png", "gif", "webp", "tiff"})
            QVERIFY2(formats.contains(f), f);
    }

    void everyKindPixelForPixel_data()
    {
        QTest::addColumn<QString>("kind");
        for (const QString& k : kinds())
            QTest::newRow(qPrintable(k)) << k;
    }
    void everyKindPixelForPixel()
    {
        QFETCH(QString, kind);
        const Written w = write(kind);
        QVERIFY2(!w.path.isEmpty(), "the test picture could not be made");
        TImgUtil util;
        sq::installPictureLoader(util);
        util.setBKColor(kBackground);
        util.setGetType(igtNormal);
        QCOMPARE(util.LoadImage(w.path, 10, 10), 0);
        QCOMPARE(util.ImageType(), iitCustom);
        QCOMPARE(QSize(util.ImageWidth(), util.ImageHeight()), w.size);
        QCOMPARE(util.Bitmap().image().format(), QImage::Format_RGB888);
        const QString diff = firstDifference(util.Bitmap().image(), w.expected, w.tolerance);
        QVERIFY2(diff.isEmpty(), qPrintable(diff));

        // Fitted into a box like every other kind, the picture's size kept.
        util.setGetType(igtStretch);
        QCOMPARE(util.LoadImage(w.path, 20, 20), 0);
        QCOMPARE(QSize(util.ImageWidth(), util.ImageHeight()), w.size);
        QVERIFY(util.Bitmap().width() <= 20 && util.Bitmap().height() <= 20);
        QVERIFY(util.Bitmap().width() == 20 || util.Bitmap().height() == 20);
    }

    void kindsByName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("withLoader");
        QTest::addColumn<int>("without");
        QTest::newRow("png") << "a.png" << int(iitCustom) << int(iitNone);
        QTest::newRow("upper case") << "A.PNG" << int(iitCustom) << int(iitNone);
        QTest::newRow("gif") << "b.gif" << int(iitCustom) << int(iitNone);
        QTest::newRow("webp") << "c.WebP" << int(iitCustom) << int(iitNone);
        QTest::newRow("tif") << "d.tif" << int(iitCustom) << int(iitNone);
        QTest::newRow("tiff") << "e.tiff" << int(iitCustom) << int(iitNone);
        QTest::newRow("jpeg stays") << "f.jpg" << int(iitJpeg) << int(iitJpeg);
        QTest::newRow("bmp stays") << "g.bmp" << int(iitBmp) << int(iitBmp);
        QTest::newRow("last extension counts") << "h.png.txt" << int(iitTxt) << int(iitTxt);
        QTest::newRow("dot in a folder name") << "pics.png/readme" << int(iitNone) << int(iitNone);
        QTest::newRow("longer extension") << "i.pngx" << int(iitNone) << int(iitNone);
        QTest::newRow("icon stays") << "j.ico" << int(iitIco) << int(iitIco);
    }
    void kindsByName()
    {
        QFETCH(QString, name);
        QFETCH(int, withLoader);
        QFETCH(int, without);
        TImgUtil util;
        util.GetImageType(name);
        QCOMPARE(int(util.ImageType()), without);
        sq::installPictureLoader(util);
        util.GetImageType(name);
        QCOMPARE(int(util.ImageType()), withLoader);
        QCOMPARE(sq::isPictureKind(util.ImageType()),
                 withLoader == iitCustom || withLoader == iitJpeg || withLoader == iitBmp);
    }

    void contentDecidesTheFormat()
    {
        // A GIF named .png is still shown; a JPEG or a text named .png is not
        // taken by another of Qt's readers.
        const QString gif = fresh("really-a-gif.png");
        QVERIFY(writeGif(gif, {palettePattern(12, 9, 8, false)}));
        const QString jpeg = fresh("really-a-jpeg.png");
        QVERIFY(writeJpeg(jpeg, patternImage(30, 20)));
        const QString text = fresh("notes.webp");
        QVERIFY(writeFile(text, "RIFF but no picture\n"));
        TImgUtil util;
        sq::installPictureLoader(util);
        QCOMPARE(util.LoadImage(gif, 100, 100), 0);
        QCOMPARE(QSize(util.ImageWidth(), util.ImageHeight()), QSize(12, 9));
        for (const QString& path : {jpeg, text}) {
            QCOMPARE(util.LoadImage(path, 100, 100), -1);
            QCOMPARE(util.Bitmap().image().size(), QSize(32, 32));
        }
    }

    void tooManyPixelsRefusedFromTheHeader_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("ext");
        constexpr int kData = 1 << 20;
        QTest::newRow("png 60000 x 60000") << pngDeclaring(60000, 60000, kData) << "png";
        QTest::newRow("png one row past the bound")
            << pngDeclaring(quint32(TImgUtil::MaxPixels + 1), 1, kData) << "png";
        // A GIF screen and frame of 65535 x 65535 with one block of codes.
        QByteArray gif("GIF89a\xff\xff\xff\xff\x00\x00\x00", 13);
        gif += QByteArray("\x2c\x00\x00\x00\x00\xff\xff\xff\xff\x00\x08", 11);
        for (int i = 0; i < kData / 256; ++i)
            gif += QByteArray(1, char(255)) + QByteArray(255, '\x55');
        gif += QByteArray("\x00\x3b", 2);
        QTest::newRow("gif 65535 x 65535") << gif << "gif";
        QTest::newRow("tiff 100000 x 100000") << tiffDeclaring(100000, 100000, kData) << "tif";
        QTest::newRow("tiff grey 20000 x 20000") << tiffDeclaring(20000, 20000, kData) << "tif";
        QTest::newRow("png paletted 20000 x 20000")
            << pngDeclaring(20000, 20000, kData, 3) << "png";
    }
    void tooManyPixelsRefusedFromTheHeader()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, ext);
        keepSeed(QStringLiteral("huge-") + QTest::currentDataTag(), bytes.left(4096));
        // Only the header is read before the picture is refused.
        CountingBuffer device(bytes);
        QVERIFY(sq::readPicture(&device).isNull());
        QVERIFY2(device.taken < 64 * 1024, qPrintable(QString::number(device.taken)));

        const QString path = fresh(QStringLiteral("huge.") + ext);
        QVERIFY(writeFile(path, bytes));
        TImgUtil util;
        sq::installPictureLoader(util);
        for (const TGetType type : {igtNormal, igtStretch}) {
            util.setGetType(type);
            QCOMPARE(util.LoadImage(path, 80, 60), -1);
            QCOMPARE(util.ImageType(), iitCustom);
            QCOMPARE(util.Bitmap().image().size(), QSize(32, 32));
        }
    }

    void fileTooShortForItsPicture_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("ext");
        QTest::addColumn<QSize>("shown"); // invalid: refused
        QTest::addColumn<QRgb>("colour");
        const QRgb pink = qRgb(200, 30, 90);
        // A lossless WebP of one colour needs no bit per pixel: however
        // large, a few bytes hold it, and it is shown.
        QTest::newRow("lossless webp 3000 x 2000 in 32 bytes")
            << solidLosslessWebp(3000, 2000, pink) << "webp" << QSize(3000, 2000) << pink;
        // Lossy WebP codes two modes for every 16 x 16 block.
        QTest::newRow("lossy webp 16383 square in 36 bytes")
            << lossyWebpDeclaring(16383, 16383, 6) << "webp" << QSize() << pink;
        QTest::newRow("lossy webp 4000 square in 300 bytes")
            << lossyWebpDeclaring(4000, 4000, 300) << "webp" << QSize() << pink;
        // Deflate makes at most 1032 bytes of rows from one byte.
        QTest::newRow("png grey 16384 square in 1 KB")
            << pngDeclaring(16384, 16384, 1000, 0) << "png" << QSize() << pink;
        QTest::newRow("png paletted 16384 square in 8 KB")
            << pngDeclaring(16384, 16384, 8000, 3) << "png" << QSize() << pink;
        // Real pictures that compress as far as their formats allow.
        QImage mono(4096, 4096, QImage::Format_Mono);
        mono.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
        mono.fill(1);
        QTest::newRow("png 1-bit 4096 square of one colour")
            << encoded(mono, "png", 0) << "png" << QSize(4096, 4096) << qRgb(255, 255, 255);
        QImage solid(2048, 2048, QImage::Format_RGB32);
        solid.fill(pink);
        QTest::newRow("png 2048 square of one colour")
            << encoded(solid, "png", 0) << "png" << QSize(2048, 2048) << pink;
        QTest::newRow("lossy webp 2048 square of one colour")
            << encoded(solid, "webp", 0) << "webp" << QSize(2048, 2048) << solid.pixel(0, 0);
        QTest::newRow("lossless webp 2048 square of one colour")
            << encoded(solid, "webp", 100) << "webp" << QSize(2048, 2048) << pink;
    }
    void fileTooShortForItsPicture()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, ext);
        QFETCH(QSize, shown);
        QFETCH(QRgb, colour);
        QVERIFY(!bytes.isEmpty());
        QCOMPARE(sq::fileCanHoldDeclared(bytes.left(sq::kDeclaredHeadBytes), bytes.size()),
                 shown.isValid());
        // Refused before a reader takes more than the header.
        CountingBuffer device(bytes);
        const QImage read = sq::readPicture(&device);
        QCOMPARE(read.isNull(), !shown.isValid());
        if (!read.isNull()) QCOMPARE(read.size(), shown);

        const QString path = fresh(QStringLiteral("declared.") + ext);
        QVERIFY(writeFile(path, bytes));
        TImgUtil util;
        sq::installPictureLoader(util);
        util.setGetType(igtStretch);
        QCOMPARE(util.LoadImage(path, 80, 60), shown.isValid() ? 0 : -1);
        if (shown.isValid()) {
            QCOMPARE(QSize(util.ImageWidth(), util.ImageHeight()), shown);
            const QColor got = util.Bitmap().image().pixelColor(util.Bitmap().width() / 2,
                                                                util.Bitmap().height() / 2);
            QVERIFY2(qAbs(got.red() - qRed(colour)) + qAbs(got.green() - qGreen(colour)) +
                             qAbs(got.blue() - qBlue(colour)) <
                         12,
                     qPrintable(got.name()));
        } else {
            QCOMPARE(util.Bitmap().image().size(), QSize(32, 32));
        }
    }

    void damagedFilesGiveTheIcon_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("damage");
        for (const QString& k : kinds())
            for (const char* d : {"cut at 30%", "cut after the header", "signature only", "empty",
                                  "zeros after the signature", "header bytes broken"})
                QTest::addRow("%s, %s", qPrintable(k), d) << k << QString::fromLatin1(d);
    }
    void damagedFilesGiveTheIcon()
    {
        QFETCH(QString, kind);
        QFETCH(QString, damage);
        const Written w = write(kind);
        QVERIFY(!w.path.isEmpty());
        const QByteArray whole = readFile(w.path);
        QByteArray bad;
        const int signature = kind.startsWith("webp") ? 12 : kind.startsWith("png") ? 8 : 6;
        if (damage == "cut at 30%")
            bad = whole.left(whole.size() * 3 / 10);
        else if (damage == "cut after the header")
            bad = whole.left(signature + 26);
        else if (damage == "signature only")
            bad = whole.left(signature);
        else if (damage == "zeros after the signature")
            bad = whole.left(signature) + QByteArray(whole.size() - signature, '\0');
        else if (damage == "header bytes broken") {
            bad = whole;
            for (int i = signature; i < signature + 12 && i < bad.size(); ++i)
                bad[i] = char(0xff);
        }
        QVERIFY(bad != whole);
        QVERIFY(writeFile(w.path, bad));
        keepSeed(QStringLiteral("bad-") + QLatin1String(QTest::currentDataTag()), bad);
        TImgUtil util;
        sq::installPictureLoader(util);
        for (const TGetType type : {igtNormal, igtStretch}) {
            util.setGetType(type);
            QCOMPARE(util.LoadImage(w.path, 80, 60), -1);
            QCOMPARE(util.ImageType(), iitCustom);
            QCOMPARE(util.Bitmap().image().size(), QSize(32, 32));
        }
    }

    // The bound is inclusive: a picture of exactly MaxPixels is read, as the
    // picture of one pixel more is refused (above). One bit a pixel keeps
    // the PNG's decode at 32 MiB; the JPEG decodes at full size, 768 MiB.
    void exactlyMaxPixelsIsRead_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QSize>("size");
        QTest::newRow("png 16384 x 16384") << "png" << QSize(16384, 16384);
        QTest::newRow("jpeg 32768 x 8192") << "jpeg" << QSize(32768, 8192);
    }
    void exactlyMaxPixelsIsRead()
    {
        QFETCH(QString, kind);
        QFETCH(QSize, size);
        QCOMPARE(qint64(size.width()) * size.height(), TImgUtil::MaxPixels);
        if (kind == QLatin1String("png")) {
            QImage mono(size, QImage::Format_Mono);
            mono.fill(1);
            QByteArray bytes;
            QBuffer out(&bytes);
            QVERIFY(out.open(QIODevice::WriteOnly) && mono.save(&out, "png"));
            mono = QImage();
            QBuffer in(&bytes);
            QVERIFY(in.open(QIODevice::ReadOnly));
            const QImage image = sq::readPicture(&in);
            QCOMPARE(image.size(), size);
            return;
        }
        const QString path = fresh("max.jpg");
        QVERIFY(writeFile(path, baselineJpeg(size.width(), size.height(), 1)));
        TImgUtil util;
        util.setGetType(igtNormal);
        QCOMPARE(util.LoadImage(path, 100, 100), 0);
        QCOMPARE(QSize(util.ImageWidth(), util.ImageHeight()), size);
        // Decoded at its own size, not at the next DCT scale down.
        QCOMPARE(util.Bitmap().image().size(), size);
        QCOMPARE(QColor(util.Bitmap().image().pixel(size.width() - 1, size.height() - 1)),
                 QColor(128, 128, 128));
    }

    void gifCutInItsSecondFrameShowsTheFirst()
    {
        // The frame shown is whole, so the picture is too; a cut in the
        // first frame is damage (above).
        const QImage first = palettePattern(30, 20, 16, false, 1);
        const QByteArray one = gifBytes({first});
        const QByteArray two = gifBytes({first, palettePattern(30, 20, 16, false, 2)});
        const QString path = fresh("cut.gif");
        QVERIFY(writeFile(path, two.left(one.size() + 40)));
        TImgUtil util;
        sq::installPictureLoader(util);
        util.setGetType(igtNormal);
        QCOMPARE(util.LoadImage(path, 10, 10), 0);
        const QString diff = firstDifference(util.Bitmap().image(), expectedOnBackground(first), 0);
        QVERIFY2(diff.isEmpty(), qPrintable(diff));
    }

    void thumbnailsGoThroughTheCache()
    {
        // Smooth, so that the JPEG entry stays close to the picture.
        Written w;
        w.path = fresh("smooth.png");
        w.size = QSize(64, 48);
        QVERIFY(writePicture(w.path, patternImage(64, 48), "png"));
        const QString cacheFolder = fresh("thumb");
        QVERIFY(QDir().mkpath(cacheFolder));
        TThumb thumb;
        thumb.setPath(cacheFolder);
        thumb.setPathType(iptFree);
        TImgUtil util;
        sq::installPictureLoader(util);
        util.setBKColor(kBackground);
        util.setThumbnail(&thumb);
        util.setAutoThumb(true);
        util.setGetType(igtStretch);
        QCOMPARE(util.LoadImage(w.path, 30, 30), 0);
        QVERIFY(!util.LastFromCache());
        const QImage decoded = util.Bitmap().image();
        QByteArray stream;
        QVERIFY(thumb.Find(w.path, stream));
        QVERIFY(stream.startsWith("\xff\xd8")); // a JPEG entry

        QCOMPARE(util.LoadImage(w.path, 30, 30), 0);
        QVERIFY(util.LastFromCache());
        QCOMPARE(QSize(util.ImageWidth(), util.ImageHeight()), w.size);
        QCOMPARE(util.Bitmap().image().size(), decoded.size());
        // The entry is the JPEG of what was decoded, as for every kind.
        const QImage expected =
            sq::decodeJpeg(sq::encodeJpeg(decoded, util.Quality(), true), 1, true);
        const QString diff = firstDifference(util.Bitmap().image(), expected, 2);
        QVERIFY2(diff.isEmpty(), qPrintable(diff));
    }

    void sqimgReportsTheKind()
    {
        const Written w = write("webp lossless");
        QVERIFY(!w.path.isEmpty());
        QProcess p;
        p.start(
            qEnvironmentVariable("SQ_BINARY_DIR") + QStringLiteral("/engine/sqimg"),
            {QStringLiteral("load"), w.path, QStringLiteral("--size"), QStringLiteral("26x26")});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 0);
        QCOMPARE(p.readAllStandardOutput(),
                 QByteArray("result=0 type=iitCustom image=52x31 bitmap=26x15 icons=0\n"));
    }
};

QTEST_MAIN(TstPictures)
#include "tst_pictures.moc"
