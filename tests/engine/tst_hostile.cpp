// The engine's readers against files that attack them: a FIFO, a link to
// /dev/zero and a sparse 8 GiB file under every picture kind's extension
// (the PNG, GIF, WebP and TIFF loader installed, as the program does), and
// the program's own text files and cache in those forms. Each must come back
// (a hang ends the test through the guard) with its kind's failure, and no
// read may fill memory.
#include "engine/ImgUtils.h"
#include "engine/PictureLoader.h"
#include "engine/ReadCeiling.h"
#include "engine/TextLines.h"
#include "tests/support/HostileFiles.h"
#include "tests/support/TestFiles.h"

#include <QFile>
#include <QImageReader>
#include <QTemporaryDir>
#include <QtTest>

#include <optional>

using namespace sq::test;

Q_DECLARE_METATYPE(Hostile)

namespace {

qint64 peakMiB()
{
    return peakResidentMiB();
}

// Far above what any reader needs, far below what reading 8 GiB takes.
constexpr qint64 kMemoryGrowthMiB = 1024;

// What a refused picture may cost: its header and the icon.
constexpr qint64 kRefusedGrowthMiB = 256;

} // namespace

class TstHostile : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    int m_serial = 0;

    QString fresh(const QString& name)
    {
        return m_dir.filePath(QString::number(++m_serial) + QLatin1Char('/') + name);
    }

private Q_SLOTS:
    void everyKindFailsAtOnce_data()
    {
        QTest::addColumn<QString>("ext");
        QTest::addColumn<Hostile>("kind");
        // The result LoadImage gives: icon kinds always draw their (theme)
        // icon with 0; a page or a text of zeros is a blank picture.
        QTest::addColumn<int>("result");
        struct Row
        {
            const char* ext;
            int fifo, zero, sparse;
        };
        const Row rows[] = {
            {"jpg", -1, -1, -1}, {"jpeg", -1, -1, -1}, {"bmp", -1, -1, -1}, {"emf", -1, -1, -1},
            {"wmf", -1, -1, -1}, {"avi", -1, -1, -1},  {"eml", -1, -1, -1}, {"html", -1, -1, 0},
            {"htm", -1, -1, 0},  {"txt", -1, -1, 0},   {"ico", 0, 0, 0},    {"cur", 0, 0, 0},
            {"ani", 0, 0, 0},    {"exe", 0, 0, 0},     {"dll", 0, 0, 0},    {"png", -1, -1, -1},
            {"gif", -1, -1, -1}, {"webp", -1, -1, -1}, {"tif", -1, -1, -1}, {"tiff", -1, -1, -1},
        };
        for (const Row& r : rows) {
            const QString ext = QLatin1String(r.ext);
            QTest::addRow("%s fifo", r.ext) << ext << Hostile::Fifo << r.fifo;
            QTest::addRow("%s /dev/zero", r.ext) << ext << Hostile::DevZero << r.zero;
            QTest::addRow("%s sparse 8 GiB", r.ext) << ext << Hostile::Sparse8G << r.sparse;
        }
    }
    void everyKindFailsAtOnce()
    {
        QFETCH(QString, ext);
        QFETCH(Hostile, kind);
        QFETCH(int, result);
        const QString path = fresh(QStringLiteral("x.") + ext);
        QVERIFY(makeHostile(kind, path));
        const qint64 before = peakMiB();
        HangGuard guard(120, QTest::currentDataTag());
        for (const TGetType type : {igtStretch, igtNormal}) {
            TImgUtil util;
            sq::installPictureLoader(util); // as every engine of the program
            util.setGetType(type);
            QCOMPARE(util.LoadImage(path, 160, 120), result);
            if (result != 0 || sq::isIconKind(util.ImageType()))
                QCOMPARE(util.Bitmap().image().size(), QSize(32, 32));
        }
        QVERIFY2(peakMiB() - before < kMemoryGrowthMiB,
                 qPrintable(QString::number(peakMiB() - before)));
    }

    // A progressive file keeps every coefficient of the picture, however
    // small the thumbnail: tiny files that declare gigabytes of them are
    // refused before anything large is allocated, and a progressive picture
    // of sane size still decodes.
    void progressiveJpegsStayWithinMemory_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<qint64>("holeTo"); // > 0: the bytes, then a hole to this size
        QTest::addColumn<int>("result");
        QTest::addColumn<QSize>("picture");
        const qint64 hole = qint64(1000) << 20;
        QTest::newRow("grey 30000 x 30000, 1.8 GB of coefficients")
            << progressiveJpeg(30000, 30000, 1) << qint64(0) << -1 << QSize();
        QTest::newRow("colour 65500 x 65500, 24 GiB of coefficients")
            << progressiveJpeg(65500, 65500, 3) << qint64(0) << -1 << QSize();
        QTest::newRow("colour 65500 x 65500 header, then a 1000 MiB hole")
            << progressiveJpeg(65500, 65500, 3, 0) << hole << -1 << QSize();
        QTest::newRow("grey 30000 x 30000 header, then a 1000 MiB hole")
            << progressiveJpeg(30000, 30000, 1, 0) << hole << -1 << QSize();
        QTest::newRow("colour 4000 x 3000 decodes")
            << progressiveJpeg(4000, 3000, 3) << qint64(0) << 0 << QSize(4000, 3000);
        QTest::newRow("grey 6000 x 6000 decodes")
            << progressiveJpeg(6000, 6000, 1) << qint64(0) << 0 << QSize(6000, 6000);
    }
    void progressiveJpegsStayWithinMemory()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(qint64, holeTo);
        QFETCH(int, result);
        QFETCH(QSize, picture);
        const QString path = fresh(QStringLiteral("progressive.jpg"));
        QVERIFY(holeTo > 0 ? writeHeadWithHole(path, bytes, holeTo) : writeFile(path, bytes));
        TImgUtil util;
        util.setGetType(igtPreview);
        QVERIFY(resetPeakResident());
        const qint64 before = residentMiB();
        {
            HangGuard hang(120, QTest::currentDataTag());
            MemoryGuard memory(2048, QTest::currentDataTag());
            QCOMPARE(util.LoadImage(path, 120, 120), result);
        }
        const qint64 grown = peakResidentMiB() - before;
        QVERIFY2(grown < kRefusedGrowthMiB, qPrintable(QString::number(grown)));
        const QImage image = util.Bitmap().image();
        if (result != 0) {
            QCOMPARE(image.size(), QSize(32, 32)); // the icon
            return;
        }
        QCOMPARE(QSize(util.ImageWidth(), util.ImageHeight()), picture);
        QCOMPARE(image.size(), picture.scaled(120, 120, Qt::KeepAspectRatio));
        // Every coefficient zero: mid grey throughout.
        QCOMPARE(QColor(image.pixel(image.width() / 2, image.height() / 2)), QColor(128, 128, 128));
    }

    // Every inline picture of a page or mail is decoded once and kept while
    // the document lives: together they get one budget, and a picture past
    // it stays blank. Forty bytes of GIF declare a screen of any size.
    void documentPicturesShareOneBudget_data()
    {
        QTest::addColumn<QString>("ext");
        QTest::addColumn<QByteArray>("bytes");
        // Qt's ceiling raised meanwhile, as by a large picture read on
        // another worker: the document's own bound must hold alone.
        QTest::addColumn<bool>("raised");
        for (const auto& [count, side] :
             {std::pair{40, 8000}, std::pair{40, 2048}, std::pair{3, 16384}}) {
            for (const bool raised : {false, true}) {
                const char* how = raised ? ", Qt's ceiling raised" : "";
                QTest::addRow("page, %d screens of %d x %d%s", count, side, side, how)
                    << QStringLiteral("html") << pageWithPictures(count, side, side) << raised;
                QTest::addRow("mail, %d screens of %d x %d%s", count, side, side, how)
                    << QStringLiteral("eml") << mailWithPictures(count, side, side) << raised;
            }
        }
    }
    void documentPicturesShareOneBudget()
    {
        QFETCH(QString, ext);
        QFETCH(QByteArray, bytes);
        QFETCH(bool, raised);
        QVERIFY(bytes.size() < 8192);
        std::optional<sq::LargeImageRead> ceiling;
        if (raised) QVERIFY(ceiling.emplace(QSize(16384, 16384)).raised());
        const QString path = fresh(QStringLiteral("pictures.") + ext);
        QVERIFY(writeFile(path, bytes));
        TImgUtil util;
        sq::installPictureLoader(util);
        util.setGetType(igtStretch);
        QVERIFY(resetPeakResident());
        const qint64 before = residentMiB();
        {
            HangGuard hang(120, QTest::currentDataTag());
            MemoryGuard memory(2048, QTest::currentDataTag());
            QCOMPARE(util.LoadImage(path, 160, 120), 0);
        }
        const qint64 grown = peakResidentMiB() - before;
        QVERIFY2(grown < kRefusedGrowthMiB, qPrintable(QString::number(grown)));
        QCOMPARE(util.ImageType(), ext == QLatin1String("eml") ? iitEml : iitHtml);
        QCOMPARE(util.Bitmap().image().size(), QSize(160, 120));
    }

    // Qt's ceiling on one read is the process's: the engine raises it only
    // while a picture that needs it is read.
    void qtCeilingRaisedOnlyForLargeReads()
    {
        const int initial = QImageReader::allocationLimit();
        QVERIFY(initial > 0 && initial < sq::LargeImageRead::raisedMiB());
        {
            const sq::LargeImageRead small(QSize(1000, 1000));
            QVERIFY(!small.raised());
            QCOMPARE(QImageReader::allocationLimit(), initial);
            const sq::LargeImageRead large(QSize(16384, 16384));
            QVERIFY(large.raised());
            {
                const sq::LargeImageRead second(QSize(9000, 9000));
                QVERIFY(second.raised());
            }
            QCOMPARE(QImageReader::allocationLimit(), sq::LargeImageRead::raisedMiB());
        }
        QCOMPARE(QImageReader::allocationLimit(), initial);
        // Loading pictures of every reader leaves it as it was.
        QImage picture(64, 48, QImage::Format_RGB32);
        picture.fill(Qt::red);
        const QString png = fresh(QStringLiteral("a.png"));
        QVERIFY(writeFile(png, {}) && picture.save(png));
        const QString gif = fresh(QStringLiteral("a.gif"));
        QVERIFY(writeFile(gif, gifScreenDeclaring(64, 48)));
        const QString bmp = fresh(QStringLiteral("a.bmp"));
        QVERIFY(writeFile(bmp, {}) && picture.save(bmp));
        // A GIF screen of 36 M pixels needs more than Qt's default: the read
        // raises the ceiling by the screen's size, not the small frame's.
        const QString large = fresh(QStringLiteral("large.gif"));
        QVERIFY(writeFile(large, gifScreenDeclaring(6000, 6000)));
        for (const QString& path : {png, gif, bmp, large}) {
            TImgUtil util;
            sq::installPictureLoader(util);
            QCOMPARE(util.LoadImage(path, 160, 120), 0);
            QCOMPARE(util.ImageWidth(), path == large ? 6000 : 64);
            QCOMPARE(QImageReader::allocationLimit(), initial);
        }
    }

    // A video's header and then gigabytes of zeros: the demuxer would walk
    // them eight bytes at a time in search of chunks.
    void videoHeaderThenHoleFails_data()
    {
        QTest::addColumn<qint64>("size");
        QTest::newRow("3 GiB") << (qint64(3) << 30);
        QTest::newRow("100 GiB, past the cap") << (qint64(100) << 30);
    }
    void videoHeaderThenHoleFails()
    {
        QFETCH(qint64, size);
        const QString path = fresh(QStringLiteral("hole.avi"));
        QVERIFY(writeHeadWithHole(path,
                                  QByteArray("RIFF\xf0\xff\xff\xff"
                                             "AVI LIST",
                                             16),
                                  size));
        HangGuard guard(60, QTest::currentDataTag());
        TImgUtil util;
        QCOMPARE(util.LoadImage(path, 160, 120), -1);
        QCOMPARE(util.ImageType(), iitAvi);
        QCOMPARE(util.Bitmap().image().size(), QSize(32, 32));
    }

    void textLinesGiveUpOnWhatIsNoFile_data()
    {
        QTest::addColumn<Hostile>("kind");
        QTest::newRow("fifo") << Hostile::Fifo;
        QTest::newRow("/dev/zero") << Hostile::DevZero;
        QTest::newRow("sparse 8 GiB") << Hostile::Sparse8G;
        QTest::newRow("folder") << Hostile::Folder;
    }
    void textLinesGiveUpOnWhatIsNoFile()
    {
        // Settings, favourites and saved screens are read through here.
        QFETCH(Hostile, kind);
        const QString path = fresh(QStringLiteral("sorrelquint.ini"));
        QVERIFY(makeHostile(kind, path));
        const qint64 before = peakMiB();
        HangGuard guard(60, QTest::currentDataTag());
        QStringList lines{QStringLiteral("kept")};
        QVERIFY(!sq::readTextLines(path, lines));
        QCOMPARE(lines, QStringList{QStringLiteral("kept")});
        QVERIFY(sq::ReadTextLines(path, 10, 80).isEmpty());
        QVERIFY(peakMiB() - before < kMemoryGrowthMiB);
    }

    void textLinesCapAtOneMiB()
    {
        const QString path = fresh(QStringLiteral("favorites.dat"));
        QByteArray lines;
        while (lines.size() <= sq::kMaxTextLinesBytes)
            lines += "/some/folder/of/pictures\r\n";
        QVERIFY(writeFile(path, lines));
        QStringList got;
        QVERIFY(!sq::readTextLines(path, got));
        QVERIFY(writeFile(path, lines.left(int(sq::kMaxTextLinesBytes))));
        QVERIFY(sq::readTextLines(path, got));
        QVERIFY(got.size() > 1000);
    }
};

QTEST_MAIN(TstHostile)
#include "tst_hostile.moc"
