// Photographs upright: the EXIF Orientation reader over sound, damaged and
// lying segments, and every way the engine shows a JPEG (full size, the
// DCT-scaled thumbnail, the thumbnail cache, the conversion) turning the
// picture by it.
#include "engine/ExifOrientation.h"
#include "engine/ImgConvert.h"
#include "engine/ImgUtils.h"
#include "engine/ImgUtils_thumb.h"

#include "tests/support/ExifFiles.h"
#include "tests/support/TestFiles.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <cstring>
#include <memory>

using namespace sq::test;

namespace {

// The reader over a heap block of exactly the payload's size, so that a
// read one byte past the end is caught by AddressSanitizer.
int readExact(const QByteArray& payload, bool asJpeg = false)
{
    const size_t n = size_t(payload.size());
    std::unique_ptr<unsigned char[]> block(new unsigned char[n ? n : 1]);
    if (n) std::memcpy(block.get(), payload.constData(), n);
    return asJpeg ? sq::jpegOrientation(block.get(), n) : sq::exifOrientation(block.get(), n);
}

QByteArray uprightJpeg(int w, int h, int orientation)
{
    return sq::encodeJpeg(storedFor(quadrantPicture(w, h), orientation), 100, false);
}

// A JPEG whose scan holds the picture stored for orientation, tagged with it.
QByteArray taggedJpeg(int w, int h, int orientation, bool bigEndian = false)
{
    return withApp1(uprightJpeg(w, h, orientation), orientationPayload(orientation, bigEndian));
}

QByteArray withBytes(QByteArray b, int at, const QByteArray& bytes)
{
    b.replace(at, bytes.size(), bytes);
    return b;
}

} // namespace

class TestOrientation : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void storedPicturesAreTurned()
    {
        // The test's own premise: each stored form differs from the upright
        // picture in the way its orientation says.
        const QImage up = quadrantPicture(64, 32);
        for (int o = 1; o <= 8; ++o) {
            const QImage s = storedFor(up, o);
            QCOMPARE(s.size(), o >= 5 ? QSize(32, 64) : QSize(64, 32));
            QCOMPARE(showsQuadrants(s.convertToFormat(QImage::Format_RGB888), 0, 0), o == 1);
        }
    }

    void reader_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<int>("expected");
        for (int o = 1; o <= 8; ++o) {
            QTest::addRow("little endian %d", o) << orientationPayload(o, false) << o;
            QTest::addRow("big endian %d", o) << orientationPayload(o, true) << o;
        }
        const QByteArray six = orientationPayload(6);
        const QByteArray sixBig = orientationPayload(6, true);
        QTest::newRow("empty") << QByteArray() << 1;
        QTest::newRow("header only") << QByteArray("Exif\0\0", 6) << 1;
        QTest::newRow("not Exif") << withBytes(six, 0, "Exit") << 1;
        QTest::newRow("no byte order") << withBytes(six, 6, "IM") << 1;
        QTest::newRow("big-endian data marked little") << withBytes(sixBig, 6, "II") << 1;
        QTest::newRow("wrong magic") << withBytes(six, 8, QByteArray("\x2B\x00", 2)) << 1;
        const TiffEntry tag6{0x0112, 3, 1, 6};
        auto layout = [](auto change) {
            ExifLayout l;
            change(l);
            return l;
        };
        QTest::newRow("directory past the end")
            << exifPayload({tag6}, layout([](ExifLayout& l) { l.ifdOffset = 4000; })) << 1;
        QTest::newRow("directory offset at 4 GiB")
            << exifPayload({tag6}, layout([](ExifLayout& l) { l.ifdOffset = 0xFFFFFFF0u; })) << 1;
        QTest::newRow("directory inside the header")
            << exifPayload({tag6}, layout([](ExifLayout& l) { l.ifdOffset = 4; })) << 1;
        QTest::newRow("directory at the very end")
            << exifPayload({tag6}, layout([](ExifLayout& l) { l.ifdOffset = 19; })).left(6 + 19 + 1) << 1;
        QTest::newRow("more entries claimed than held")
            << exifPayload({tag6}, layout([](ExifLayout& l) { l.claimedEntries = 200; })) << 1;
        QTest::newRow("65535 entries claimed")
            << exifPayload({tag6}, layout([](ExifLayout& l) { l.claimedEntries = 0xFFFF; })) << 1;
        QTest::newRow("no entries") << exifPayload({tag6}, layout([](ExifLayout& l) { l.claimedEntries = 0; })) << 1;
        QTest::newRow("type LONG") << exifPayload({TiffEntry{0x0112, 4, 1, 6}}) << 1;
        QTest::newRow("count 2") << exifPayload({TiffEntry{0x0112, 3, 2, 6}}) << 1;
        QTest::newRow("count 0") << exifPayload({TiffEntry{0x0112, 3, 0, 6}}) << 1;
        QTest::newRow("value 0") << exifPayload({TiffEntry{0x0112, 3, 1, 0}}) << 1;
        QTest::newRow("value 9") << exifPayload({TiffEntry{0x0112, 3, 1, 9}}) << 1;
        QTest::newRow("value 65535") << exifPayload({TiffEntry{0x0112, 3, 1, 0xFFFF}}) << 1;
        QTest::newRow("big endian, value 6 in the wrong half")
            << withBytes(orientationPayload(6, true), 6 + 8 + 2 + 12 + 8, QByteArray("\x00\x00\x00\x06", 4)) << 1;
        QTest::newRow("first of two wins")
            << exifPayload({TiffEntry{0x0112, 3, 1, 8}, TiffEntry{0x0112, 3, 1, 3}}) << 8;
        QTest::newRow("only the thumbnail's directory has it")
            << exifPayload({TiffEntry{0x010F, 2, 4, 0}}, layout([](ExifLayout& l) { l.ifd1 = {TiffEntry{0x0112, 3, 1, 6}}; }))
            << 1;
        QTest::newRow("directory linking to itself")
            << exifPayload({tag6}, layout([](ExifLayout& l) { l.nextIfd = 8; })) << 6;
        QTest::newRow("directory linking to itself, no tag")
            << exifPayload({TiffEntry{0x010F, 2, 4, 0}}, layout([](ExifLayout& l) { l.nextIfd = 8; })) << 1;
        QTest::newRow("two directories linking to each other")
            << exifPayload({TiffEntry{0x010F, 2, 4, 0}},
                           layout([&](ExifLayout& l) { l.ifd1 = {tag6}; l.nextIfd = 8; }))
            << 1;
        QTest::newRow("directory at an odd offset")
            << exifPayload({tag6}, layout([](ExifLayout& l) { l.ifdOffset = 11; })) << 6;
    }
    void reader()
    {
        QFETCH(QByteArray, payload);
        QFETCH(int, expected);
        QCOMPARE(readExact(payload), expected);
        // The same segment inside a JPEG's markers.
        QCOMPARE(readExact(withApp1(uprightJpeg(32, 32, 1), payload), true), expected);
    }

    void everyCutIsSafe()
    {
        // Cut at every length: the tag is read only once the whole directory
        // is inside, never past the end (AddressSanitizer watches).
        for (bool big : {false, true}) {
            const QByteArray payload = orientationPayload(6, big);
            const int whole = 6 + 8 + 2 + 2 * 12;
            for (int n = 0; n <= payload.size(); ++n)
                QCOMPARE(readExact(payload.left(n)), n >= whole ? 6 : 1);
            const QByteArray jpeg = taggedJpeg(32, 32, 6, big);
            const int segmentEnd = 2 + 4 + int(payload.size());
            for (int n = 0; n <= segmentEnd + 4; ++n)
                QCOMPARE(readExact(jpeg.left(n), true), n >= segmentEnd ? 6 : 1);
        }
    }

    void markerWalk_data()
    {
        QTest::addColumn<QByteArray>("jpeg");
        QTest::addColumn<int>("expected");
        const QByteArray plain = uprightJpeg(32, 32, 1);
        const QByteArray tagged = withApp1(plain, orientationPayload(6));
        QTest::newRow("untagged") << plain << 1;
        QTest::newRow("tagged") << tagged << 6;
        // Qt-free JFIF writers put APP0 first; the tag follows it.
        const QByteArray app0("\xFF\xE0\x00\x10JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00", 18);
        QTest::newRow("after APP0") << plain.left(2) + app0 + tagged.mid(2) << 6;
        QTest::newRow("after an XMP APP1")
            << withApp1(tagged, QByteArray("http://ns.adobe.com/xap/1.0/\0<x/>", 34)) << 6;
        QTest::newRow("fill bytes before the marker") << plain.left(2) + QByteArray("\xFF\xFF", 2) + tagged.mid(2) << 6;
        QTest::newRow("segment longer than the file") << withApp1(plain, orientationPayload(6), 0xFFF0) << 1;
        QTest::newRow("segment length 1") << withApp1(plain, orientationPayload(6), 1) << 1;
        QTest::newRow("no SOI") << tagged.mid(2) << 1;
        QTest::newRow("garbage between segments") << plain.left(2) + QByteArray("xy") + tagged.mid(2) << 1;
        // After the scan's start nothing is a marker segment any more.
        const qsizetype sos = plain.indexOf(QByteArray("\xFF\xDA", 2));
        QTest::newRow("tag after the scan starts")
            << plain.left(sos) + QByteArray("\xFF\xDA", 2) + tagged.mid(2, 4 + orientationPayload(6).size()) << 1;
    }
    void markerWalk()
    {
        QFETCH(QByteArray, jpeg);
        QFETCH(int, expected);
        QCOMPARE(readExact(jpeg, true), expected);
    }

    void turningIsExact()
    {
        // Turning is a pure permutation of pixels: each stored form comes
        // back to the upright picture exactly, an odd size included.
        const QImage up = quadrantPicture(6, 4);
        QImage odd(5, 3, QImage::Format_RGB888);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x) odd.setPixel(x, y, qRgb(x * 40, y * 80, 7));
        for (int o = 1; o <= 8; ++o) {
            QCOMPARE(sq::orientImage(storedFor(up, o).convertToFormat(QImage::Format_RGB888), o), up);
            QCOMPARE(sq::orientImage(storedFor(odd, o).convertToFormat(QImage::Format_RGB888), o), odd);
        }
        // A picture still held by the caller is left as it was.
        const QImage held = storedFor(up, 3).convertToFormat(QImage::Format_RGB888);
        const QImage copy = held.copy();
        QCOMPARE(sq::orientImage(held, 3), up);
        QCOMPARE(held, copy);
        QCOMPARE(sq::orientImage(up, 0), up);
        QCOMPARE(sq::orientImage(up, 9), up);
        QVERIFY(sq::orientImage(QImage(), 6).isNull());
    }

    void everyWayShowsItUpright_data()
    {
        QTest::addColumn<int>("orientation");
        QTest::addColumn<bool>("bigEndian");
        for (int o = 1; o <= 8; ++o) QTest::addRow("%d", o) << o << (o % 2 == 0);
    }
    void everyWayShowsItUpright()
    {
        QFETCH(int, orientation);
        QFETCH(bool, bigEndian);
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("photo.jpg"));
        // Upright 256 x 128: stored 128 x 256 for orientations 5 .. 8.
        QVERIFY(writeFile(file, taggedJpeg(256, 128, orientation, bigEndian)));
        QString why;

        // Full size, as the views load it.
        TImgUtil view;
        view.setGetType(igtNormal);
        QCOMPARE(view.LoadImage(file, 300, 300), 0);
        QCOMPARE(view.ImageType(), iitJpeg);
        QCOMPARE(view.Bitmap().image().size(), QSize(256, 128));
        QCOMPARE(QSize(view.ImageWidth(), view.ImageHeight()), QSize(256, 128));
        QVERIFY2(showsQuadrants(view.Bitmap().image(), 2, 8, &why), qPrintable(why));

        // Thumbnails: decoded at half scale, then fitted; the scale is the
        // one the upright size calls for.
        for (TGetType rule : {igtPreview, igtStretch}) {
            TImgUtil thumbs;
            thumbs.setGetType(rule);
            QCOMPARE(thumbs.LoadImage(file, 80, 60), 0);
            QCOMPARE(thumbs.Bitmap().image().size(), QSize(80, 40));
            QCOMPARE(QSize(thumbs.ImageWidth(), thumbs.ImageHeight()), QSize(256, 128));
            QVERIFY2(showsQuadrants(thumbs.Bitmap().image(), 3, 12, &why), qPrintable(why));
        }
        QCOMPARE(sq::jpegScaleFor(256, 128, 80, 60), 2);

        // In memory.
        const QByteArray bytes = taggedJpeg(256, 128, orientation, bigEndian);
        QSize full;
        const QImage half = sq::decodeJpeg(bytes, 2, true, &full);
        QCOMPARE(full, QSize(256, 128));
        QCOMPARE(half.size(), QSize(128, 64));
        QVERIFY2(showsQuadrants(half, 2, 12, &why), qPrintable(why));
        QCOMPARE(sq::jpegSize(bytes), QSize(256, 128));
        QCOMPARE(sq::jpegFileOrientation(file), orientation);

        // Converted to BMP: upright.
        const QString bmp = dir.filePath(QStringLiteral("photo.bmp"));
        QVERIFY(sq::convertJpegToBmp(file, bmp).ok());
        const QImage converted(bmp);
        QCOMPARE(converted.size(), QSize(256, 128));
        QVERIFY2(showsQuadrants(converted.convertToFormat(QImage::Format_RGB888), 2, 8, &why), qPrintable(why));
        // And back to JPEG: upright pixels and no tag to turn them again.
        const QString again = dir.filePath(QStringLiteral("again.jpg"));
        QVERIFY(sq::convertBmpToJpeg(bmp, again, 95).ok());
        QCOMPARE(sq::jpegFileOrientation(again), 1);
        QCOMPARE(view.LoadImage(again, 300, 300), 0);
        // Encoded twice by then: a little more spread at the edges.
        QVERIFY2(showsQuadrants(view.Bitmap().image(), 4, 16, &why), qPrintable(why));
    }

    void damagedTagLeavesPictureAsStored()
    {
        // A lying segment is ignored: the picture shows as stored.
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("lying.jpg"));
        ExifLayout l;
        l.claimedEntries = 500;
        const QByteArray stored = uprightJpeg(64, 32, 1);
        QVERIFY(writeFile(file, withApp1(stored, exifPayload({TiffEntry{0x0112, 3, 1, 6}}, l))));
        TImgUtil view;
        view.setGetType(igtNormal);
        QCOMPARE(view.LoadImage(file, 100, 100), 0);
        QCOMPARE(view.Bitmap().image().size(), QSize(64, 32));
        QVERIFY(showsQuadrants(view.Bitmap().image(), 2, 8));
    }

    void cachedThumbnailsAreUpright()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("thumb")));
        const QString turned = dir.filePath(QStringLiteral("turned.jpg"));
        const QString plain = dir.filePath(QStringLiteral("plain.jpg"));
        const QString old = dir.filePath(QStringLiteral("old.jpg"));
        QVERIFY(writeFile(turned, taggedJpeg(256, 128, 6)));
        QVERIFY(writeFile(old, taggedJpeg(256, 128, 8)));
        QVERIFY(writeFile(plain, uprightJpeg(256, 128, 1)));
        TThumb thumb;
        thumb.setPath(dir.filePath(QStringLiteral("thumb")));
        TImgUtil util;
        util.setGetType(igtStretch);
        util.setThumbnail(&thumb);
        util.setAutoThumb(true);
        QString why;

        // Made now: stored upright and marked so.
        QCOMPARE(util.LoadImage(turned, 80, 60), 0);
        QVERIFY(!util.LastFromCache());
        QCOMPARE(util.LoadImage(turned, 80, 60), 0);
        QVERIFY(util.LastFromCache());
        QVERIFY(thumb.currentEntry().flags & TImgUtil::UprightFlag);
        QCOMPARE(QSize(thumb.currentEntry().pictureWidth, thumb.currentEntry().pictureHeight), QSize(256, 128));
        QCOMPARE(util.Bitmap().image().size(), QSize(80, 40));
        QCOMPARE(QSize(util.ImageWidth(), util.ImageHeight()), QSize(256, 128));
        QVERIFY2(showsQuadrants(util.Bitmap().image(), 4, 24, &why), qPrintable(why));

        // Entries as the engine wrote them before it turned pictures: the
        // stored picture fitted sideways, its stored size, no flag.
        auto addOld = [&](const QString& file, const QByteArray& jpeg) {
            QImage raw = sq::decodeJpeg(jpeg, 1, false);
            QVERIFY(!raw.isNull());
            const QSize stored = raw.size();
            sq::FitBitmap(raw, igtStretch, 80, 60);
            TThumbEntry& e = thumb.currentEntry();
            e = TThumbEntry{};
            e.thumbWidth = raw.width();
            e.thumbHeight = raw.height();
            e.pictureWidth = stored.width();
            e.pictureHeight = stored.height();
            thumb.Add(file, sq::encodeJpeg(raw, 95, false));
        };
        // What the scan of old.jpg holds: the same bytes without the tag.
        addOld(old, uprightJpeg(256, 128, 8));
        QCOMPARE(util.LoadImage(old, 80, 60), 0);
        QVERIFY(util.LastFromCache());
        QVERIFY(!(thumb.currentEntry().flags & TImgUtil::UprightFlag));
        QCOMPARE(util.Bitmap().image().size(), QSize(80, 40));
        QCOMPARE(QSize(util.ImageWidth(), util.ImageHeight()), QSize(256, 128));
        QVERIFY2(showsQuadrants(util.Bitmap().image(), 4, 24, &why), qPrintable(why));
        // Full size from such an entry is turned too.
        util.setGetType(igtNormal);
        QVERIFY(util.LoadFromCache(old, 80, 60));
        QCOMPARE(util.Bitmap().image().size(), QSize(60, 30));
        QVERIFY2(showsQuadrants(util.Bitmap().image(), 4, 24, &why), qPrintable(why));
        util.setGetType(igtStretch);

        // An old entry of an untagged picture is served as it is.
        addOld(plain, uprightJpeg(256, 128, 1));
        QCOMPARE(util.LoadImage(plain, 80, 60), 0);
        QVERIFY(util.LastFromCache());
        QCOMPARE(util.Bitmap().image().size(), QSize(80, 40));
        QVERIFY2(showsQuadrants(util.Bitmap().image(), 4, 24, &why), qPrintable(why));
    }
};

QTEST_MAIN(TestOrientation)
#include "tst_orientation.moc"
