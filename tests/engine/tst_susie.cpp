#include "engine/ImgUtils.h"
#include "engine/ImgUtils_susie.h"
#include "tests/support/TestFiles.h"

#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

using namespace sq::test;

namespace {

QByteArray pictureFile(const char* magic, int w, int h, int bits, int mode)
{
    QByteArray b(magic, 4);
    QByteArray n(10, '\0');
    qToLittleEndian<quint32>(quint32(w), n.data());
    qToLittleEndian<quint32>(quint32(h), n.data() + 4);
    n[8] = char(bits);
    n[9] = char(mode);
    return b + n;
}

} // namespace

class TstSusie : public QObject
{
    Q_OBJECT
    QTemporaryDir m_tmp;

    QString file(const char* name, const QByteArray& bytes)
    {
        const QString path = m_tmp.path() + QLatin1Char('/') + QLatin1String(name);
        writeFile(path, bytes);
        return path;
    }

private Q_SLOTS:
    void emptyHostAcceptsNothing()
    {
        TSPlugin host;
        QImage img(3, 3, QImage::Format_RGB888);
        const QString f = file("a.sqp", pictureFile("SQPX", 4, 3, 24, 0));
        QCOMPARE(host.FindPlugin(f), -1);
        QCOMPARE(host.LoadBitmap(f, img), 200);
        QCOMPARE(img.size(), QSize(3, 3));
        QVERIFY(!host.addPlugin(m_tmp.path() + QStringLiteral("/missing.so")));
        QCOMPARE(host.count(), 0);
    }

    void decodesWhatThePluginReturns_data()
    {
        QTest::addColumn<int>("bits");
        QTest::addColumn<int>("mode");
        QTest::newRow("24-bit bottom-up") << 24 << 0;
        QTest::newRow("24-bit top-down") << 24 << 1;
        QTest::newRow("8-bit palette") << 8 << 0;
    }
    void decodesWhatThePluginReturns()
    {
        QFETCH(int, bits);
        QFETCH(int, mode);
        TSPlugin host;
        QVERIFY(host.addPlugin(QStringLiteral(SQ_PLUGIN_X)));
        const QString f = file("b.sqp", pictureFile("SQPX", 5, 4, bits, mode));
        QCOMPARE(host.FindPlugin(f), 0);
        QImage img;
        QCOMPARE(host.LoadBitmap(f, img), 0);
        QCOMPARE(img.size(), QSize(5, 4));
        QCOMPARE(img.format(), QImage::Format_RGB888);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 5; ++x) {
                const int v = bits == 8 ? (x + y) % 4 : -1;
                const QRgb want = v < 0 ? qRgb(10 * x, 10 * y, 77) : qRgb(10 * v, 10 * v, 77);
                QCOMPARE(img.pixel(x, y), want);
            }
    }

    // Through the engine: a kind of its own, a picture fitted like any other,
    // and with SusiePriority a plug-in that claims a .bmp decodes it.
    void engineAsksThePlugins()
    {
        TSPlugin host;
        QVERIFY(host.addPlugin(QStringLiteral(SQ_PLUGIN_X)));
        TImgUtil util;
        util.setGetType(igtStretch);
        const QString f = file("c.sqp", pictureFile("SQPX", 40, 20, 24, 0));
        QCOMPARE(util.GetImageType(f), 3); // no host set: not recognised
        util.setSPlugin(&host);
        QCOMPARE(util.GetImageType(f), 0);
        QCOMPARE(util.ImageType(), iitSusie);
        QCOMPARE(util.LoadImage(f, 80, 60), 0);
        QCOMPARE(util.ImageWidth(), 40);
        QCOMPARE(util.Bitmap().image().size(), QSize(80, 40));
        const QString refused = file("d.sqp", pictureFile("SQPX", 4, 4, 24, 3));
        QCOMPARE(util.LoadImage(refused, 80, 60), -1);
        QCOMPARE(util.Bitmap().image().size(), QSize(32, 32)); // the icon
        const QString bmp = file("e.bmp", pictureFile("SQPX", 6, 6, 24, 0));
        QCOMPARE(util.LoadImage(bmp, 80, 60), -1); // Qt's BMP reader fails on it
        util.setSusiePriority(true);
        QCOMPARE(util.LoadImage(bmp, 80, 60), 0);
        QCOMPARE(util.ImageType(), iitBmp);
        QCOMPARE(util.ImageWidth(), 6);
    }

    void previewIsAskedFirstWhenOn()
    {
        TSPlugin host;
        QVERIFY(host.addPlugin(QStringLiteral(SQ_PLUGIN_X)));
        host.setPreview(true);
        QImage img;
        QCOMPARE(host.LoadBitmap(file("c.sqp", pictureFile("SQPX", 9, 9, 24, 0)), img), 0);
        QCOMPARE(img.size(), QSize(2, 2));
        QCOMPARE(img.pixel(1, 1), qRgb(1, 2, 3));
    }

    void failuresFallThroughToTheNextPlugin()
    {
        TSPlugin host;
        QVERIFY(host.addPlugin(QStringLiteral(SQ_PLUGIN_X)));
        QVERIFY(host.addPlugin(QStringLiteral(SQ_PLUGIN_Y)));
        QCOMPARE(host.count(), 2);
        QImage img(1, 1, QImage::Format_RGB888);
        // Refused by the only accepting plug-in: its code, picture untouched.
        QCOMPARE(host.LoadBitmap(file("d.sqp", pictureFile("SQPX", 3, 3, 24, 3)), img), 2);
        QCOMPARE(img.size(), QSize(1, 1));
        // "Success" with a pixel block far too small is broken data.
        QCOMPARE(host.LoadBitmap(file("e.sqp", pictureFile("SQPX", 300, 300, 24, 2)), img), 3);
        QCOMPARE(img.size(), QSize(1, 1));
        const QString y = file("f.sqp", pictureFile("SQPY", 6, 2, 24, 0));
        QCOMPARE(host.FindPlugin(y), 1);
        QCOMPARE(host.LoadBitmap(y, img), 0);
        QCOMPARE(img.size(), QSize(6, 2));
        QCOMPARE(host.FindPlugin(file("g.txt", "hello")), -1);
    }

    void malformedHeadersAreRefused_data()
    {
        QTest::addColumn<QByteArray>("info");
        QTest::addColumn<int>("bitsSize");
        auto header = [](qint32 size, qint32 w, qint32 h, int bits, quint32 used) {
            QByteArray b(40, '\0');
            qToLittleEndian<qint32>(size, b.data());
            qToLittleEndian<qint32>(w, b.data() + 4);
            qToLittleEndian<qint32>(h, b.data() + 8);
            b[14] = char(bits);
            qToLittleEndian<quint32>(used, b.data() + 32);
            return b;
        };
        QTest::newRow("short header") << header(40, 2, 2, 24, 0).left(30) << 64;
        QTest::newRow("header size too big") << header(400, 2, 2, 24, 0) << 64;
        QTest::newRow("zero width") << header(40, 0, 2, 24, 0) << 64;
        QTest::newRow("huge") << header(40, 100000, 100000, 24, 0) << 64;
        QTest::newRow("odd bit count") << header(40, 2, 2, 7, 0) << 64;
        QTest::newRow("palette missing") << header(40, 2, 2, 8, 0) << 64;
        QTest::newRow("rows missing") << header(40, 20, 20, 24, 0) << 64;
        QTest::newRow("min height") << header(40, 2, INT32_MIN, 24, 0) << 64;
    }
    void malformedHeadersAreRefused()
    {
        QFETCH(QByteArray, info);
        QFETCH(int, bitsSize);
        const QByteArray bits(bitsSize, '\x11');
        QVERIFY(dibToImage(info.constData(), size_t(info.size()), bits.constData(),
                           size_t(bits.size()))
                    .isNull());
    }
};

QTEST_GUILESS_MAIN(TstSusie)
#include "tst_susie.moc"
