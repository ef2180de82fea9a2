// sqimg given file and folder names that are not UTF-8: every command finds,
// reads and writes them by the bytes given on its command line.
#include "tests/support/RawNames.h"
#include "tests/support/TestFiles.h"

#include <QBuffer>
#include <QImage>
#include <QtTest>

using namespace sq::test;

namespace {

QByteArray sqimg()
{
    return qgetenv("SQ_BINARY_DIR") + "/engine/sqimg";
}

QByteArray jpegBytes(int w, int h)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImage image(w, h, QImage::Format_RGB888);
    image.fill(Qt::darkCyan);
    image.save(&buffer, "JPEG", 90);
    return bytes;
}

// A name in the test's folder: "%D" stands for the folder's bytes.
QList<QByteArray> expand(const QList<QByteArray>& args, const QByteArray& folder)
{
    QList<QByteArray> out;
    for (QByteArray a : args)
        out << a.replace("%D", folder);
    return out;
}

} // namespace

class TstSqimgNames : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void commandsKeepTheBytes_data()
    {
        QTest::addColumn<QList<QByteArray>>("args");
        QTest::addColumn<QByteArray>("stdoutStart");
        QTest::addColumn<QByteArray>("made"); // a file the command must write ("" none)
        using L = QList<QByteArray>;
        QTest::newRow("load, a lone 0xFF")
            << L{"load", "%D/bad\xff.jpg"} << QByteArray("result=0 type=iitJpeg image=64x48 ")
            << QByteArray();
        QTest::newRow("load, Latin-1 e-acute")
            << L{"load", "%D/caf\xe9.jpg"} << QByteArray("result=0 type=iitJpeg image=64x48 ")
            << QByteArray();
        QTest::newRow("load, an overlong slash in a folder's name")
            << L{"load", "%D/d\xc0\xaf/in.jpg"} << QByteArray("result=0 type=iitJpeg image=64x48 ")
            << QByteArray();
        QTest::newRow("load, UTF-8 beside it")
            << L{"load", "%D/写真.jpg"} << QByteArray("result=0 type=iitJpeg image=64x48 ")
            << QByteArray();
        // Bad input: a name that is not there, only a byte from one that is.
        QTest::newRow("load, missing, 0xFE for 0xFF")
            << L{"load", "%D/bad\xfe.jpg"}
            << QByteArray("result=1 type=iitNone image=0x0 bitmap=0x0 icons=0\n") << QByteArray();
        QTest::newRow("load --out to such a name")
            << L{"load", "%D/bad\xff.jpg", "--size", "32x24", "--out", "%D/out\xfe.png"}
            << QByteArray("result=0 type=iitJpeg image=64x48 bitmap=32x24 ")
            << QByteArray("%D/out\xfe.png");
        QTest::newRow("resize from and to such names")
            << L{"resize", "%D/bad\xff.jpg", "16", "12", "%D/small\xfd.bmp"} << QByteArray()
            << QByteArray("%D/small\xfd.bmp");
        QTest::newRow("thumbs of such a folder, cached in another")
            << L{"thumbs", "--cache", "%D/cache\xfc", "%D/d\xc0\xaf"}
            << QByteArray("files=1 ok=1 icons=0 missing=0 hits=0 ") << QByteArray("%D/cache\xfc");
    }
    void commandsKeepTheBytes()
    {
        QFETCH(QList<QByteArray>, args);
        QFETCH(QByteArray, stdoutStart);
        QFETCH(QByteArray, made);
        RawTempDir dir;
        QVERIFY(dir.isValid());
        const QByteArray d = dir.bytes();
        const QByteArray jpeg = jpegBytes(64, 48);
        for (const char* name : {"/bad\xff.jpg", "/caf\xe9.jpg", "/d\xc0\xaf/in.jpg", "/写真.jpg"})
            QVERIFY(writeFileAt(d + name, jpeg));
        const RunResult r = runAt(sqimg(), expand(args, d));
        QVERIFY2(r.status == 0, r.err.constData());
        QVERIFY2(r.out.startsWith(stdoutStart), r.out.constData());
        if (made.isEmpty()) return;
        const QByteArray path = made.replace("%D", d);
        QVERIFY2(existsAt(path), path.constData());
        if (path.endsWith(".png") || path.endsWith(".bmp")) {
            QImage image;
            QVERIFY(image.loadFromData(readFileAt(path)));
            QCOMPARE(image.size(), path.endsWith(".png") ? QSize(32, 24) : QSize(16, 12));
        } else {
            // The cache folder holds the thumbnail file made for the picture.
            QVERIFY(!namesAt(path).isEmpty());
        }
    }

    // Bad input: unreadable and non-picture files named by bytes fail with
    // a message, never with a crash or a file written.
    void badInputFails_data()
    {
        QTest::addColumn<QList<QByteArray>>("args");
        QTest::addColumn<int>("status");
        using L = QList<QByteArray>;
        QTest::newRow("resize of a missing such name")
            << L{"resize", "%D/gone\xff.bmp", "8", "8", "%D/o.bmp"} << 1;
        QTest::newRow("resize of a truncated JPEG")
            << L{"resize", "%D/cut\xff.jpg", "8", "8", "%D/o.bmp"} << 1;
        QTest::newRow("resize into a missing folder")
            << L{"resize", "%D/bad\xff.jpg", "8", "8", "%D/none\xff/o.bmp"} << 1;
    }
    void badInputFails()
    {
        QFETCH(QList<QByteArray>, args);
        QFETCH(int, status);
        RawTempDir dir;
        const QByteArray d = dir.bytes();
        const QByteArray jpeg = jpegBytes(64, 48);
        QVERIFY(writeFileAt(d + "/bad\xff.jpg", jpeg));
        QVERIFY(writeFileAt(d + "/cut\xff.jpg", jpeg.left(20)));
        const RunResult r = runAt(sqimg(), expand(args, d));
        QCOMPARE(r.status, status);
        QVERIFY2(r.err.contains("sqimg: cannot"), r.err.constData());
        QVERIFY(!existsAt(d + "/o.bmp"));
    }
};

QTEST_GUILESS_MAIN(TstSqimgNames)
#include "tst_sqimgnames.moc"
