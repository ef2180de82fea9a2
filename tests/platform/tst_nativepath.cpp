#include "platform/NativePath.h"

#include <QRandomGenerator>
#include <QTest>

using namespace sq::platform;

class TestNativePath : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void roundTrip_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("shown");
        QTest::newRow("ascii") << QByteArray("/tmp/a b.jpg") << QStringLiteral("/tmp/a b.jpg");
        QTest::newRow("japanese") << QByteArray("/写真/猫.jpg") << QStringLiteral("/写真/猫.jpg");
        QTest::newRow("emoji") << QByteArray("\xF0\x9F\x98\x80.jpg")
                               << QString::fromUtf8("\xF0\x9F\x98\x80.jpg");
        QTest::newRow("lone ff") << QByteArray("bad\xff.jpg") << QStringLiteral("bad\uFFFD.jpg");
        QTest::newRow("cut sequence")
            << QByteArray("\xE5\x86.jpg") << QStringLiteral("\uFFFD\uFFFD.jpg");
        QTest::newRow("overlong slash") << QByteArray("\xC0\xAF") << QStringLiteral("\uFFFD\uFFFD");
        QTest::newRow("surrogate bytes")
            << QByteArray("\xED\xB2\x80") << QStringLiteral("\uFFFD\uFFFD\uFFFD");
        QTest::newRow("past 10FFFF")
            << QByteArray("\xF4\x90\x80\x80") << QStringLiteral("\uFFFD\uFFFD\uFFFD\uFFFD");
        QTest::newRow("cp932") << QByteArray("\x8E\xCA\x90\x5E")   // 写真 in Shift-JIS
                               << QStringLiteral("\uFFFD\u0290^"); // CA 90 happens to be valid
        QTest::newRow("empty") << QByteArray() << QString();
    }
    void roundTrip()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, shown);
        const QString carrier = pathFromNative(bytes);
        QCOMPARE(nativePath(carrier), bytes);
        QCOMPARE(displayText(carrier), shown);
        QCOMPARE(hasEscapedBytes(carrier), shown.contains(QChar(0xFFFD)));
    }

    void randomBytesSurvive()
    {
        QRandomGenerator rng(7);
        for (int n = 0; n < 2000; ++n) {
            QByteArray b(int(rng.bounded(1, 24)), '\0');
            for (char& c : b)
                c = char(rng.bounded(1, 256));
            QCOMPARE(nativePath(pathFromNative(b)), b);
        }
    }

    void typedTextIsUtf8()
    {
        QCOMPARE(nativePath(QStringLiteral("新しいフォルダ")), QByteArray("新しいフォルダ"));
        // A lone high surrogate cannot be written in UTF-8.
        QCOMPARE(nativePath(QString(QChar(0xD800))), QByteArray("\xEF\xBF\xBD"));
    }
};

QTEST_APPLESS_MAIN(TestNativePath)
#include "tst_nativepath.moc"
