#include "engine/ImgConvert.h"
#include "engine/ImgUtils.h"
#include "platform/NativePath.h"
#include "tests/support/FileDamage.h"
#include "tests/support/TestFiles.h"

#include <QBuffer>
#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <array>
#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using Tables = std::array<std::array<int, 64>, 2>;

// The library's own tables for quality q (natural order).
Tables libraryTables(int quality)
{
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    c.in_color_space = JCS_RGB;
    c.input_components = 3;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, quality, TRUE);
    Tables t{};
    for (int i = 0; i < 2; ++i)
        for (int k = 0; k < 64; ++k)
            t[size_t(i)][size_t(k)] = c.quant_tbl_ptrs[i]->quantval[k];
    jpeg_destroy_compress(&c);
    return t;
}

// The tables a JPEG file carries (natural order); all zero when unreadable.
Tables fileTables(const QByteArray& bytes)
{
    jpeg_decompress_struct d;
    jpeg_error_mgr err;
    d.err = jpeg_std_error(&err);
    jpeg_create_decompress(&d);
    jpeg_mem_src(&d, reinterpret_cast<const unsigned char*>(bytes.constData()),
                 (unsigned long)bytes.size());
    Tables t{};
    if (jpeg_read_header(&d, TRUE) == JPEG_HEADER_OK)
        for (int i = 0; i < 2; ++i)
            if (d.quant_tbl_ptrs[i])
                for (int k = 0; k < 64; ++k)
                    t[size_t(i)][size_t(k)] = d.quant_tbl_ptrs[i]->quantval[k];
    jpeg_destroy_decompress(&d);
    return t;
}

QImage toRgb(const QImage& image)
{
    return image.convertToFormat(QImage::Format_RGB888);
}

// A command-line tool of libjpeg-turbo-progs; empty when not installed.
QString tool(const char* name)
{
    return QStandardPaths::findExecutable(QString::fromLatin1(name));
}

QByteArray run(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60000) || p.exitCode() != 0) return {};
    return p.readAllStandardOutput();
}

QStringList leftovers(const QString& folder)
{
    return QDir(folder).entryList({QStringLiteral(".sqsave-*")}, QDir::Files | QDir::Hidden);
}

} // namespace

class TstConvert : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void bmpLayout_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        for (int w : {1, 2, 3, 4, 5, 17})
            QTest::addRow("%dx3", w) << w << 3;
        QTest::newRow("tall") << 2 << 9;
    }
    void bmpLayout()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        const QImage image = toRgb(sq::test::patternImage(width, height));
        const QByteArray bmp = sq::encodeBmp24(image);
        const int stride = (width * 3 + 3) / 4 * 4;
        QCOMPARE(bmp.size(), 54 + stride * height);
        const auto* p = reinterpret_cast<const uchar*>(bmp.constData());
        QCOMPARE(bmp.left(2), QByteArray("BM"));
        QCOMPARE(qFromLittleEndian<quint32>(p + 2), quint32(bmp.size()));
        QCOMPARE(qFromLittleEndian<quint32>(p + 10), 54u);
        QCOMPARE(qFromLittleEndian<quint32>(p + 14), 40u);
        QCOMPARE(qFromLittleEndian<qint32>(p + 18), width);
        QCOMPARE(qFromLittleEndian<qint32>(p + 22), height); // positive: bottom-up
        QCOMPARE(qFromLittleEndian<quint16>(p + 28), quint16(24));
        QCOMPARE(qFromLittleEndian<quint32>(p + 30), 0u);
        QCOMPARE(qFromLittleEndian<quint32>(p + 38), 0u); // no resolution
        // The first stored row is the picture's last, in B, G, R order.
        const QRgb last = image.pixel(0, height - 1);
        QCOMPARE(int(p[54]), qBlue(last));
        QCOMPARE(int(p[55]), qGreen(last));
        QCOMPARE(int(p[56]), qRed(last));
        // Our reader, Qt's reader: the same pixels.
        QCOMPARE(sq::decodeBmpRgb(bmp), image);
        QCOMPARE(toRgb(QImage::fromData(bmp, "BMP")), image);
    }

    void bmpOtherKinds()
    {
        const QImage image = toRgb(sq::test::patternImage(13, 7));
        // Top-down rows, written by hand.
        QByteArray topDown = sq::encodeBmp24(image);
        qToLittleEndian<qint32>(-7, reinterpret_cast<uchar*>(topDown.data()) + 22);
        QCOMPARE(sq::decodeBmpRgb(topDown), image.mirrored(false, true));
        // Palette and 32-bit files go through the general reader.
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        QVERIFY(image.convertToFormat(QImage::Format_Indexed8).save(&buffer, "BMP"));
        QCOMPARE(sq::decodeBmpRgb(buffer.data()),
                 toRgb(image.convertToFormat(QImage::Format_Indexed8)));
        // Damaged: cut short, not a BMP, nothing.
        QVERIFY(sq::decodeBmpRgb(sq::encodeBmp24(image).left(100)).isNull());
        QVERIFY(sq::decodeBmpRgb(QByteArray("BM") + QByteArray(60, '\xff')).isNull());
        QVERIFY(sq::decodeBmpRgb(QByteArray()).isNull());
    }

    void withExtension_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("target");
        QTest::newRow("lower") << "/a/b.bmp"
                               << "/a/b.jpg";
        QTest::newRow("upper") << "/a/B.BMP"
                               << "/a/B.jpg";
        QTest::newRow("jpeg") << "/a/p.jpeg"
                              << "/a/p.jpg";
        QTest::newRow("two dots") << "/a/p.x.bmp"
                                  << "/a/p.x.jpg";
        QTest::newRow("dot in folder") << "/a.b/p"
                                       << "/a.b/p.jpg";
    }
    void withExtension()
    {
        QFETCH(QString, source);
        QFETCH(QString, target);
        QCOMPARE(sq::withExtension(source, QStringLiteral(".jpg")), target);
    }

    // A converted JPEG has the library's tables for its quality, and is the
    // file cjpeg writes at that quality from the same BMP.
    void jpegAsLibraryWritesIt_data()
    {
        QTest::addColumn<int>("quality");
        for (int q : {50, 75, 90, 95, 100})
            QTest::addRow("q%d", q) << q;
    }
    void jpegAsLibraryWritesIt()
    {
        QFETCH(int, quality);
        QTemporaryDir dir;
        const QString bmp = dir.filePath(QStringLiteral("p.bmp"));
        const QString jpg = dir.filePath(QStringLiteral("p.jpg"));
        QVERIFY(sq::test::writeFile(bmp, sq::encodeBmp24(sq::test::patternImage(203, 101))));
        const QByteArray before = sq::test::readFile(bmp);
        QVERIFY(sq::convertBmpToJpeg(bmp, jpg, quality).ok());
        QCOMPARE(sq::test::readFile(bmp), before); // the source stays
        const QByteArray ours = sq::test::readFile(jpg);
        QVERIFY(fileTables(ours) == libraryTables(quality));
        QVERIFY(fileTables(ours) != libraryTables(quality == 50 ? 55 : 50));
        const QString cjpeg = tool("cjpeg");
        if (cjpeg.isEmpty()) QSKIP("cjpeg (libjpeg-turbo-progs) is not installed");
        const QByteArray theirs =
            run(cjpeg, {QStringLiteral("-quality"), QString::number(quality), bmp});
        QVERIFY(!theirs.isEmpty());
        QCOMPARE(ours.size(), theirs.size());
        QVERIFY(ours == theirs);
    }

    // A converted BMP holds exactly the fast-IDCT decode, as djpeg gives it.
    void bmpAsFastDecode()
    {
        QTemporaryDir dir;
        const QString jpg = dir.filePath(QStringLiteral("p.JPG"));
        const QString bmp = dir.filePath(QStringLiteral("p.bmp"));
        QVERIFY(sq::test::writeJpeg(jpg, sq::test::patternImage(321, 207), 85));
        QVERIFY(sq::convertJpegToBmp(jpg, bmp).ok());
        const QImage ours = sq::decodeBmpRgb(sq::test::readFile(bmp));
        const QImage fast = sq::decodeJpeg(sq::test::readFile(jpg), 1, true);
        QCOMPARE(ours, fast);
        QVERIFY(ours != sq::decodeJpeg(sq::test::readFile(jpg), 1, false)); // the slow IDCT differs
        const QString djpeg = tool("djpeg");
        if (djpeg.isEmpty()) QSKIP("djpeg (libjpeg-turbo-progs) is not installed");
        const QByteArray theirs = run(
            djpeg, {QStringLiteral("-bmp"), QStringLiteral("-dct"), QStringLiteral("fast"), jpg});
        QCOMPARE(sq::decodeBmpRgb(theirs), ours);
    }

    void failures_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("status");
        QTest::newRow("missing source") << "missing" << int(sq::ConvertResult::ReadFailed);
        QTest::newRow("truncated JPEG") << "truncated" << int(sq::ConvertResult::NotPicture);
        QTest::newRow("not a JPEG") << "text" << int(sq::ConvertResult::NotPicture);
        QTest::newRow("FIFO") << "fifo" << int(sq::ConvertResult::NotPicture);
        QTest::newRow("folder as target") << "targetdir" << int(sq::ConvertResult::WriteFailed);
        QTest::newRow("unwritable folder") << "unwritable" << int(sq::ConvertResult::WriteFailed);
        QTest::newRow("full disk") << "full" << int(sq::ConvertResult::WriteFailed);
    }
    void failures()
    {
        QFETCH(QString, kind);
        QFETCH(int, status);
        QTemporaryDir dir;
        QString folder = dir.path();
        std::unique_ptr<sq::test::SmallFileSystem> small;
        if (kind == QLatin1String("full")) {
            folder = dir.filePath(QStringLiteral("small"));
            QDir().mkpath(folder);
            small = std::make_unique<sq::test::SmallFileSystem>(folder, 256 * 1024);
            if (!small->ok()) QSKIP("cannot mount a small file system here");
        }
        const QString jpg = folder + QStringLiteral("/p.jpg");
        const QString bmp = folder + QStringLiteral("/p.bmp");
        if (kind != QLatin1String("missing"))
            QVERIFY(sq::test::writeJpeg(jpg, sq::test::patternImage(400, 300), 90));
        // An old target that must survive a failure whole.
        const QByteArray old("old target");
        if (kind != QLatin1String("targetdir"))
            QVERIFY(sq::test::writeFile(bmp, old));
        else
            QVERIFY(QDir().mkdir(bmp));
        if (kind == QLatin1String("truncated"))
            QVERIFY(sq::test::truncateFile(jpg, QFileInfo(jpg).size() / 2));
        if (kind == QLatin1String("text")) QVERIFY(sq::test::writeFile(jpg, "not a picture"));
        if (kind == QLatin1String("fifo")) {
            QFile::remove(jpg);
            QCOMPARE(::mkfifo(QFile::encodeName(jpg).constData(), 0644), 0);
        }
        if (kind == QLatin1String("full")) // most of the disk taken
            QVERIFY(
                sq::test::writeFile(folder + QStringLiteral("/fill"), QByteArray(200 * 1024, 'x')));
        const bool fifo = kind == QLatin1String("fifo");
        const QByteArray source = fifo ? QByteArray() : sq::test::readFile(jpg);
        std::unique_ptr<sq::test::UnwritableFolder> locked;
        if (kind == QLatin1String("unwritable")) {
            locked = std::make_unique<sq::test::UnwritableFolder>(folder);
            if (!locked->ok()) QSKIP("cannot make a folder unwritable here");
        }
        const sq::ConvertResult r = sq::convertJpegToBmp(jpg, bmp);
        locked.reset();
        QCOMPARE(int(r.status), status);
        if (status == sq::ConvertResult::ReadFailed || status == sq::ConvertResult::WriteFailed)
            QVERIFY(!r.detail.isEmpty());
        if (kind != QLatin1String("targetdir")) QCOMPARE(sq::test::readFile(bmp), old);
        if (!fifo) QCOMPARE(sq::test::readFile(jpg), source);
        QCOMPARE(leftovers(folder), QStringList());
    }

    void overwritesTarget()
    {
        QTemporaryDir dir;
        const QString bmp = dir.filePath(QStringLiteral("x.bmp"));
        const QString jpg = dir.filePath(QStringLiteral("x.jpg"));
        QVERIFY(sq::test::writeFile(bmp, sq::encodeBmp24(sq::test::patternImage(64, 48))));
        QVERIFY(sq::test::writeFile(jpg, "an older file of the same base name"));
        QCOMPARE(::chmod(QFile::encodeName(jpg).constData(), 0600), 0);
        QVERIFY(sq::convertBmpToJpeg(bmp, jpg, 80).ok());
        QCOMPARE(sq::decodeJpeg(sq::test::readFile(jpg), 1, true).size(), QSize(64, 48));
        // The replaced file keeps its permission bits.
        struct stat st;
        QCOMPARE(::stat(QFile::encodeName(jpg).constData(), &st), 0);
        QCOMPARE(int(st.st_mode & 07777), 0600);
        QCOMPARE(leftovers(dir.path()), QStringList());
    }

    // Asked to keep what is there: anything by the target's name stays as
    // it is, a link is not followed, and a free name is written.
    void keepsExistingTarget_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("toJpeg");
        QTest::addColumn<int>("status");
        for (const bool toJpeg : {true, false}) {
            const char* d = toJpeg ? " to jpeg" : " to bmp";
            QTest::newRow(qPrintable(QStringLiteral("file") + d))
                << QStringLiteral("file") << toJpeg << int(sq::ConvertResult::Exists);
            QTest::newRow(qPrintable(QStringLiteral("dangling link") + d))
                << QStringLiteral("link") << toJpeg << int(sq::ConvertResult::Exists);
            QTest::newRow(qPrintable(QStringLiteral("folder") + d))
                << QStringLiteral("folder") << toJpeg << int(sq::ConvertResult::Exists);
            QTest::newRow(qPrintable(QStringLiteral("nothing") + d))
                << QStringLiteral("none") << toJpeg << int(sq::ConvertResult::Ok);
        }
    }
    void keepsExistingTarget()
    {
        QFETCH(QString, kind);
        QFETCH(bool, toJpeg);
        QFETCH(int, status);
        QTemporaryDir dir;
        const QString bmp = dir.filePath(QStringLiteral("x.bmp"));
        const QString jpg = dir.filePath(QStringLiteral("x.jpg"));
        const QString source = toJpeg ? bmp : jpg;
        const QString target = toJpeg ? jpg : bmp;
        const QImage image = sq::test::patternImage(40, 30);
        QVERIFY(toJpeg ? sq::test::writeFile(bmp, sq::encodeBmp24(image))
                       : sq::test::writeJpeg(jpg, image));
        const QByteArray sourceBytes = sq::test::readFile(source);
        const QByteArray targetName = QFile::encodeName(target);
        if (kind == QLatin1String("file"))
            QVERIFY(sq::test::writeFile(target, "the original, edited by hand"));
        else if (kind == QLatin1String("link"))
            QCOMPARE(::symlink("nowhere", targetName.constData()), 0);
        else if (kind == QLatin1String("folder"))
            QVERIFY(QDir().mkdir(target));
        const sq::ConvertResult r = toJpeg ? sq::convertBmpToJpeg(source, target, 80, false)
                                           : sq::convertJpegToBmp(source, target, false);
        QCOMPARE(int(r.status), status);
        QCOMPARE(sq::test::readFile(source), sourceBytes);
        struct stat st;
        QCOMPARE(::lstat(targetName.constData(), &st), 0);
        if (kind == QLatin1String("file")) {
            QCOMPARE(sq::test::readFile(target), QByteArray("the original, edited by hand"));
        } else if (kind == QLatin1String("link")) {
            QVERIFY(S_ISLNK(st.st_mode));
            QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("nowhere"))));
        } else if (kind == QLatin1String("folder")) {
            QVERIFY(S_ISDIR(st.st_mode));
        } else {
            QVERIFY(S_ISREG(st.st_mode));
            const QByteArray written = sq::test::readFile(target);
            QCOMPARE(toJpeg ? sq::decodeJpeg(written, 1, true).size()
                            : sq::decodeBmpRgb(written).size(),
                     QSize(40, 30));
            // A new file: 0666 less the umask, as any new file.
            const mode_t mask = ::umask(022);
            ::umask(mask);
            QCOMPARE(int(st.st_mode & 07777), int(0666 & ~mask));
        }
        QCOMPARE(leftovers(dir.path()), QStringList());
    }
};

QTEST_MAIN(TstConvert)
#include "tst_convert.moc"
