#include "engine/ImgUtils.h"
#include "engine/ImgUtils_thumb.h"
#include "tests/support/TestFiles.h"

#include <QDir>
#include <QImageWriter>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const char* kindName(TImageType t)
{
    static const char* const names[] = {"iitNone", "iitSusie", "iitBmp", "iitJpeg", "iitIco", "iitCur",
                                        "iitAni",  "iitEmf",   "iitWmf", "iitExe",  "iitDll", "iitHtml",
                                        "iitTxt",  "iitEml",   "iitDir", "iitCustom", "iitAvi"};
    return names[t];
}

// A 32 x 32 bitmap painted with the background somewhere: an icon.
bool looksLikeIcon(const TImgUtil& util)
{
    return util.Bitmap().width() == 32 && util.Bitmap().height() == 32 &&
           util.ImageWidth() == 32 && util.ImageHeight() == 32;
}

} // namespace

class TstImgUtils : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY(sq::test::writeFile(path(QStringLiteral("README")), "read me\n"));
        QVERIFY(sq::test::writeFile(path(QStringLiteral("x.log")), "log line\n"));
        QVERIFY(sq::test::writeFile(path(QStringLiteral("a.")), "dot\n"));
        QVERIFY(QDir(m_dir.path()).mkdir(QStringLiteral("photos")));
        QVERIFY(QDir(m_dir.path()).mkdir(QStringLiteral("photos.2004")));
        QVERIFY(sq::test::writeJpeg(path(QStringLiteral("PICTURE.JPG")), sq::test::patternImage(64, 48)));
        QVERIFY(sq::test::writeJpeg(path(QStringLiteral("big.jpg")), sq::test::patternImage(1600, 1200)));
        QVERIFY(sq::test::writeJpeg(path(QStringLiteral("cell.jpg")), sq::test::patternImage(160, 120)));
        QVERIFY(sq::test::writeBmp(path(QStringLiteral("p.bmp")), sq::test::patternImage(300, 100)));
    }

    void imageTypes_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("textExt");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("result");
        QTest::newRow("no extension") << "README" << "" << "iitNone" << 3;
        QTest::newRow("upper-case extension") << "PICTURE.JPG" << "" << "iitJpeg" << 0;
        QTest::newRow("folder") << "photos" << "" << "iitDir" << 0;
        QTest::newRow("folder with extension") << "photos.2004" << "" << "iitNone" << 3;
        QTest::newRow("root") << "/" << "" << "iitDir" << 0;
        QTest::newRow("text by TextExt") << "x.log" << "*.log;*.ini" << "iitTxt" << 0;
        QTest::newRow("no TextExt") << "x.log" << "" << "iitNone" << 3;
        QTest::newRow("bare dot") << "a." << "*.log" << "iitNone" << 3;
        QTest::newRow("missing file by name") << "gone.htm" << "" << "iitHtml" << 0;
        QTest::newRow("jpeg long") << "z.jpeg" << "" << "iitJpeg" << 0;
        QTest::newRow("avi") << "clip.AVI" << "" << "iitAvi" << 0;
        QTest::newRow("dot in folder only") << "photos.2004/file" << "" << "iitNone" << 3;
    }
    void imageTypes()
    {
        QFETCH(QString, name);
        QFETCH(QString, textExt);
        QFETCH(QString, kind);
        QFETCH(int, result);
        TImgUtil util;
        util.setTextExt(textExt);
        const QString full = name.startsWith(QLatin1Char('/')) ? name : path(name);
        QCOMPARE(util.GetImageType(full), result);
        QCOMPARE(QString::fromLatin1(kindName(util.ImageType())), kind);
    }

    void textExtList_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("list");
        QTest::newRow("typed") << "*.log;*.ini" << ";.log;.ini;";
        QTest::newRow("empty") << "" << "";
        QTest::newRow("upper, leading ;") << ";*.TXT" << ";.txt;";
        QTest::newRow("trailing ;") << ".md;" << ";.md;";
    }
    void textExtList()
    {
        QFETCH(QString, value);
        QFETCH(QString, list);
        TImgUtil util;
        util.setTextExt(value);
        QCOMPARE(util.TextExtList(), list);
        QCOMPARE(util.TextExt(), value.toLower());
    }

    void loadResults_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("result");
        QTest::addColumn<bool>("icon");
        QTest::newRow("missing") << "nothing.jpg" << 1 << false;
        QTest::newRow("no extension: icon") << "README" << 0 << true;
        QTest::newRow("folder: icon") << "photos" << 0 << true;
        QTest::newRow("folder with extension: icon") << "photos.2004" << 0 << true;
        QTest::newRow("bmp") << "p.bmp" << 0 << false;
    }
    void loadResults()
    {
        QFETCH(QString, name);
        QFETCH(int, result);
        QFETCH(bool, icon);
        TImgUtil util;
        util.setGetType(igtStretch);
        QCOMPARE(util.LoadImage(path(name), 80, 60), result);
        if (result == 1)
            QVERIFY(util.Bitmap().isEmpty());
        QCOMPARE(looksLikeIcon(util), icon);
        if (!icon && result == 0) {
            QCOMPARE(util.Bitmap().image().size(), QSize(80, 26)); // 300 x 100 fitted into 80 x 60
            QCOMPARE(util.ImageWidth(), 300);
        }
    }

    void jpegScaleChoice_data()
    {
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<QSize>("box");
        QTest::addColumn<int>("denom");
        QTest::newRow("1600x1200 for 160x120: eighth") << QSize(1600, 1200) << QSize(160, 120) << 8;
        QTest::newRow("1600x1200 for 300x300: quarter") << QSize(1600, 1200) << QSize(300, 300) << 4;
        QTest::newRow("half") << QSize(1600, 1200) << QSize(700, 500) << 2;
        QTest::newRow("full") << QSize(1600, 1200) << QSize(900, 500) << 1;
        QTest::newRow("just covers") << QSize(1279, 960) << QSize(160, 120) << 4;
    }
    void jpegScaleChoice()
    {
        QFETCH(QSize, picture);
        QFETCH(QSize, box);
        QFETCH(int, denom);
        QCOMPARE(sq::jpegScaleFor(picture.width(), picture.height(), box.width(), box.height()), denom);
    }

    void jpegLoads()
    {
        TImgUtil util;
        util.setGetType(igtStretch);
        QCOMPARE(util.LoadImage(path(QStringLiteral("big.jpg")), 160, 120), 0);
        QCOMPARE(util.ImageType(), iitJpeg);
        QCOMPARE(util.ImageWidth(), 1600);
        QCOMPARE(util.ImageHeight(), 1200);
        QCOMPARE(util.Bitmap().image().size(), QSize(160, 120));
        QCOMPARE(util.Bitmap().image().format(), QImage::Format_RGB888);
        // The picture survives: a pixel near the top-right is red-ish, one
        // near the bottom-left green-ish.
        const QColor tr = util.Bitmap().image().pixelColor(150, 5);
        const QColor bl = util.Bitmap().image().pixelColor(5, 115);
        QVERIFY2(tr.red() > 200 && tr.green() < 50, qPrintable(tr.name()));
        QVERIFY2(bl.green() > 200 && bl.red() < 50, qPrintable(bl.name()));

        // 300 x 300 cell: decoded at a quarter (400 x 300), then fitted.
        QCOMPARE(util.LoadImage(path(QStringLiteral("big.jpg")), 300, 300), 0);
        QCOMPARE(util.Bitmap().image().size(), QSize(300, 225));

        // Exactly the cell's size: the full decode, untouched.
        QCOMPARE(util.LoadImage(path(QStringLiteral("cell.jpg")), 160, 120), 0);
        const QImage full = sq::decodeJpeg(sq::test::readFile(path(QStringLiteral("cell.jpg"))), 1, true);
        QCOMPARE(util.Bitmap().image(), full);

        util.setGetType(igtNormal);
        QCOMPARE(util.LoadImage(path(QStringLiteral("big.jpg")), 160, 120), 0);
        QCOMPARE(util.Bitmap().image().size(), QSize(1600, 1200));
        QImage taken = util.Bitmap().take();
        QCOMPARE(taken.size(), QSize(1600, 1200));
        QVERIFY(util.Bitmap().isEmpty());
    }

    // Bad input: every damaged file gives -1 (or 1) and an icon, never a crash.
    void damagedFiles_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("result");
        const QByteArray jpeg = sq::test::readFile(path(QStringLiteral("big.jpg")));
        QVERIFY(jpeg.size() > 2000);
        for (int cut : {2, 10, 100, 600, 1000, int(jpeg.size() / 2), int(jpeg.size() - 2)})
            QTest::newRow(qPrintable(QStringLiteral("jpeg cut at %1").arg(cut))) << "cut.jpg" << jpeg.left(cut) << -1;
        QByteArray zeroed = jpeg;
        std::fill(zeroed.begin(), zeroed.begin() + 600, '\0');
        QTest::newRow("jpeg zeroed header") << "zero.jpg" << zeroed << -1;
        QTest::newRow("empty jpeg") << "empty.jpg" << QByteArray() << -1;
        QTest::newRow("empty bmp") << "empty.bmp" << QByteArray() << -1;
        QTest::newRow("text as jpeg") << "text.jpg" << QByteArray("hello world") << -1;
        // A BMP header claiming 100000 x 100000 pixels, 24 bits, no pixels.
        QByteArray huge(54, '\0');
        huge[0] = 'B';
        huge[1] = 'M';
        auto put32 = [&huge](int at, quint32 v) {
            for (int i = 0; i < 4; ++i)
                huge[at + i] = char((v >> (8 * i)) & 0xff);
        };
        put32(2, 54);
        put32(10, 54);
        put32(14, 40);
        put32(18, 100000);
        put32(22, 100000);
        huge[26] = 1;
        huge[28] = 24;
        QTest::newRow("bmp of 100000 x 100000") << "huge.bmp" << huge << -1;
        QByteArray bmp = sq::test::readFile(path(QStringLiteral("p.bmp")));
        QTest::newRow("bmp cut") << "cut.bmp" << bmp.left(bmp.size() / 3) << -1;
        QByteArray junk(4096, '\0');
        for (int i = 0; i < junk.size(); ++i)
            junk[i] = char((i * 7919) & 0xff);
        QTest::newRow("junk bmp") << "junk.bmp" << junk << -1;
        // A JPEG header claiming 65000 x 65000: refused or decoded small,
        // never allocated at full size.
        QByteArray claim = jpeg;
        const int sof = int(claim.indexOf("\xff\xc0"));
        QVERIFY(sof > 0);
        claim[sof + 5] = char(0xfd);
        claim[sof + 6] = char(0xe8);
        claim[sof + 7] = char(0xfd);
        claim[sof + 8] = char(0xe8);
        QTest::newRow("jpeg claiming 65000 x 65000") << "claim.jpg" << claim << -1;
    }
    void damagedFiles()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(int, result);
        QTemporaryDir dir;
        const QString file = dir.filePath(name);
        QVERIFY(sq::test::writeFile(file, bytes));
        for (TGetType rule : {igtStretch, igtNormal}) {
            TImgUtil util;
            util.setGetType(rule);
            QCOMPARE(util.LoadImage(file, 160, 120), result);
            QVERIFY(looksLikeIcon(util));
        }
    }

    void textFiles()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("t.txt"));
        QVERIFY(sq::test::writeFile(file, QByteArray(300, 'x') + "\r\nsecond\tline\r\n"));
        TImgUtil util;
        util.setGetType(igtNormal);
        QCOMPARE(util.LoadImage(file, 100, 50), 0);
        QCOMPARE(util.ImageType(), iitTxt);
        QCOMPARE(util.Bitmap().image().size(), QSize(200, 100));
        QCOMPARE(util.ImageWidth(), 200);
        // Something was drawn in the font colour on the white background.
        const QImage img = util.Bitmap().image();
        int dark = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                dark += img.pixelColor(x, y).lightness() < 128;
        QVERIFY(dark > 50);
        QCOMPARE(util.LoadImage(dir.filePath(QStringLiteral("gone.txt")), 100, 50), 1);
    }

    void readTextLines_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("maxLines");
        QTest::addColumn<int>("maxColumn");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("column limit keeps max + 1 bytes") << QByteArray("abcdefgh\n") << 5 << 3 << QByteArray("abcd\r\n");
        QTest::newRow("line limit") << QByteArray("1\n2\n3\n4\n") << 2 << 10 << QByteArray("1\r\n2");
        QTest::newRow("cr ignored") << QByteArray("a\r\nb\r\n") << 9 << 10 << QByteArray("a\r\nb\r\n");
        QTest::newRow("no lines wanted") << QByteArray("abc") << 0 << 10 << QByteArray();
        QTest::newRow("zero byte ends the block") << QByteArray("ab\0cd\nef", 8) << 9 << 10 << QByteArray("ab");
        QByteArray two = QByteArray(1024, 'a');
        two[1000] = '\0';
        two += "next";
        QTest::newRow("next block goes on") << two << 9 << 2000 << QByteArray(1000, 'a') + "next";
        QTest::newRow("width 100 gives 101 bytes") << QByteArray(300, 'y') << 9 << 100 << QByteArray(101, 'y');
    }
    void readTextLines()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, maxLines);
        QFETCH(int, maxColumn);
        QFETCH(QByteArray, text);
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("r.txt"));
        QVERIFY(sq::test::writeFile(file, bytes));
        QCOMPARE(sq::ReadTextLines(file, maxLines, maxColumn), text);
    }

    void iconFilesShowTheirOwnIcon()
    {
        QTemporaryDir dir;
        QImage red(32, 32, QImage::Format_ARGB32);
        red.fill(QColor(220, 0, 0));
        const QString file = dir.filePath(QStringLiteral("red.ico"));
        QImageWriter writer(file, "ico");
        if (!writer.write(red))
            QSKIP("Qt's ICO writer is not available");
        TImgUtil util;
        QCOMPARE(util.LoadImage(file, 80, 60, 0), 0);
        QCOMPARE(util.ImageType(), iitIco);
        QVERIFY(looksLikeIcon(util));
        QCOMPARE(util.Bitmap().image().pixelColor(16, 16), QColor(220, 0, 0));
        QCOMPARE(util.IconIndex(), 0);
        // A damaged .ico falls back to the theme icon.
        QVERIFY(sq::test::writeFile(dir.filePath(QStringLiteral("bad.ico")), QByteArray("\0\0\1\0\xff\xff", 6)));
        QCOMPARE(util.LoadImage(dir.filePath(QStringLiteral("bad.ico")), 80, 60), 0);
        QVERIFY(looksLikeIcon(util));
    }

    void thumbnailCache()
    {
        QTemporaryDir dir;
        const QString pic = dir.filePath(QStringLiteral("photo.jpg"));
        QVERIFY(sq::test::writeJpeg(pic, sq::test::patternImage(1600, 1200)));
        TThumb thumb;
        thumb.setPath(dir.filePath(QStringLiteral("thumb")));
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("thumb")));
        TImgUtil util;
        util.setGetType(igtStretch);
        util.setThumbnail(&thumb);
        util.setAutoThumb(true);
        QCOMPARE(util.LoadImage(pic, 160, 120), 0);
        QVERIFY(!util.LastFromCache());
        const QImage made = util.Bitmap().image();
        QCOMPARE(util.LoadImage(pic, 160, 120), 0);
        QVERIFY(util.LastFromCache());
        QCOMPARE(util.ImageWidth(), 1600);
        QCOMPARE(util.ImageHeight(), 1200);
        QCOMPARE(util.Bitmap().image().size(), made.size());
        // JPEG at quality 90: close to what was made, not the same bytes.
        const QColor a = made.pixelColor(100, 60), b = util.Bitmap().image().pixelColor(100, 60);
        QVERIFY(std::abs(a.red() - b.red()) < 12 && std::abs(a.green() - b.green()) < 12);
        // Without AutoThumb, or with igtNormal, the cache is not asked.
        util.setAutoThumb(false);
        QCOMPARE(util.LoadImage(pic, 160, 120), 0);
        QVERIFY(!util.LastFromCache());
        util.setAutoThumb(true);
        util.setGetType(igtNormal);
        QCOMPARE(util.LoadImage(pic, 160, 120), 0);
        QVERIFY(!util.LastFromCache());
        QCOMPARE(util.Bitmap().image().size(), QSize(1600, 1200));
        // Icons are never cached.
        util.setGetType(igtStretch);
        QVERIFY(sq::test::writeFile(dir.filePath(QStringLiteral("bad.jpg")), "not a jpeg"));
        QCOMPARE(util.LoadImage(dir.filePath(QStringLiteral("bad.jpg")), 160, 120), -1);
        QCOMPARE(util.LoadImage(dir.filePath(QStringLiteral("bad.jpg")), 160, 120), -1);
        QVERIFY(!util.LastFromCache());
    }

    void customLoaderHook()
    {
        struct Loader : TCustomLoader
        {
            bool give = true;
            bool CanLoad(const QString& name) override { return name.endsWith(QLatin1String(".xyz")); }
            bool LoadToBitmap(const QString&, TBitmap& bitmap) override
            {
                if (give) {
                    QImage img(400, 200, QImage::Format_RGB888);
                    img.fill(Qt::cyan);
                    bitmap.setImage(img);
                }
                return give;
            }
        } loader;
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("pic.xyz"));
        QVERIFY(sq::test::writeFile(file, "custom"));
        TImgUtil util;
        util.setCustomLoader(&loader);
        util.setGetType(igtPreview);
        QCOMPARE(util.LoadImage(file, 100, 100), 0);
        QCOMPARE(util.ImageType(), iitCustom);
        QCOMPARE(util.ImageWidth(), 400);
        QCOMPARE(util.Bitmap().image().size(), QSize(100, 50));
        loader.give = false;
        QCOMPARE(util.LoadImage(file, 100, 100), -1);
        QVERIFY(looksLikeIcon(util));
        // Names it refuses go on to the built-in kinds.
        QCOMPARE(util.GetImageType(dir.filePath(QStringLiteral("a.jpg"))), 0);
        QCOMPARE(util.ImageType(), iitJpeg);
    }

    void propertyWriters()
    {
        TImgUtil util;
        int changes = 0;
        util.OnChange = [&changes](TImgUtil*) { ++changes; };
        util.setBKColor(QColor(255, 255, 255));
        QCOMPARE(changes, 0);
        util.setBKColor(QColor(0, 0, 0));
        QCOMPARE(changes, 1);
        util.setAviFramePos(150);
        QCOMPARE(util.AviFramePos(), 20);
        util.setAviFramePos(0);
        QCOMPARE(util.AviFramePos(), 0);
        util.setQuality(0);
        QCOMPARE(util.Quality(), 90);
        QCOMPARE(util.GetType(), igtPreview);
        QCOMPARE(util.Performance(), jpBestSpeed);
        QVERIFY(!util.AutoThumb());
    }
};

QTEST_MAIN(TstImgUtils)
#include "tst_imgutils.moc"
