#include "engine/TextLines.h"
#include "platform/NativePath.h"
#include "tests/support/TestFiles.h"

#include <QTemporaryDir>
#include <QtTest>

class TstTextLines : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void splitsAtAnyLineEnd_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("lines");
        const QString a = QStringLiteral("a"), b = QStringLiteral("b"), e;
        QTest::newRow("crlf") << QStringLiteral("a\r\nb\r\n") << QStringList{a, b};
        QTest::newRow("lf") << QStringLiteral("a\nb\n") << QStringList{a, b};
        QTest::newRow("cr") << QStringLiteral("a\rb\r") << QStringList{a, b};
        QTest::newRow("mixed, no final end") << QStringLiteral("a\r\rb") << QStringList{a, e, b};
        QTest::newRow("empty lines kept") << QStringLiteral("\r\n\r\n") << QStringList{e, e};
        QTest::newRow("lf cr is two ends") << QStringLiteral("a\n\rb") << QStringList{a, e, b};
        QTest::newRow("empty") << QString() << QStringList{};
    }
    void splitsAtAnyLineEnd()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, lines);
        QCOMPARE(sq::splitLines(text), lines);
    }

    void decodesUtf8ElseCp932_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        const QString folder = QStringLiteral("C:\\写真\\フォルダ");
        QTest::newRow("utf-8") << folder.toUtf8() << folder;
        QTest::newRow("utf-8 bom") << QByteArray("\xEF\xBB\xBF") + folder.toUtf8() << folder;
        // "写真" in Shift-JIS is 8E CA 90 5E, not valid UTF-8.
        QTest::newRow("shift-jis")
            << QByteArray("C:\\\x8e\xca\x90\x5e") << QStringLiteral("C:\\写真");
        QTest::newRow("ascii") << QByteArray("186") << QStringLiteral("186");
    }
    void decodesUtf8ElseCp932()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QCOMPARE(sq::decodeText(bytes), text);
    }

    void writesCrLfUtf8AndReadsBack()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("x.ini"));
        const QStringList lines{QStringLiteral("/home/写真"), QStringLiteral("3"), QString()};
        QVERIFY(sq::writeTextLines(path, lines));
        QCOMPARE(sq::test::readFile(path),
                 QByteArray("/home/\xe5\x86\x99\xe7\x9c\x9f\r\n3\r\n\r\n"));
        QStringList back;
        QVERIFY(sq::readTextLines(path, back));
        QCOMPARE(back, lines);
        QVERIFY(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size() == 1);
    }

    // Lines whose bytes are kept (the settings file): each line reads as its
    // bytes' carrier, is written back as exactly those bytes, and UTF-8 text
    // reads and writes as it always has.
    void lineBytesRoundTrip_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("line0"); // the first line's bytes as read
        QTest::addColumn<QByteArray>("saved"); // the file written back
        QTest::newRow("utf-8 path")
            << QByteArray("/home/\xe5\x86\x99\r\n3\r\n") << QByteArray("/home/\xe5\x86\x99")
            << QByteArray("/home/\xe5\x86\x99\r\n3\r\n");
        QTest::newRow("lone 0xFF") << QByteArray("/bad\xff\r\n1\r\n") << QByteArray("/bad\xff")
                                   << QByteArray("/bad\xff\r\n1\r\n");
        // Not decoded as CP932: a folder named by these bytes is found by them.
        QTest::newRow("shift-jis bytes")
            << QByteArray("C:\\\x8e\xca\x90\x5e\r\n") << QByteArray("C:\\\x8e\xca\x90\x5e")
            << QByteArray("C:\\\x8e\xca\x90\x5e\r\n");
        QTest::newRow("utf-8 beside bytes that are not")
            << QByteArray("/\xe5\x86\x99\xff\r\n") << QByteArray("/\xe5\x86\x99\xff")
            << QByteArray("/\xe5\x86\x99\xff\r\n");
        QTest::newRow("encoded surrogate")
            << QByteArray("/\xed\xb3\xbf\n") << QByteArray("/\xed\xb3\xbf")
            << QByteArray("/\xed\xb3\xbf\r\n");
        QTest::newRow("LF and CR ends") << QByteArray("/a\xfe\n2\r3") << QByteArray("/a\xfe")
                                        << QByteArray("/a\xfe\r\n2\r\n3\r\n");
        QTest::newRow("bom dropped")
            << QByteArray("\xef\xbb\xbf/x\r\n") << QByteArray("/x") << QByteArray("/x\r\n");
        QTest::newRow("second bom kept")
            << QByteArray("\xef\xbb\xbf\xef\xbb\xbf/x\r\n") << QByteArray("\xef\xbb\xbf/x")
            << QByteArray("\xef\xbb\xbf\xef\xbb\xbf/x\r\n");
        QTest::newRow("NUL inside")
            << QByteArray("/a\0b\r\n", 6) << QByteArray("/a\0b", 4) << QByteArray("/a\0b\r\n", 6);
        QTest::newRow("empty") << QByteArray() << QByteArray() << QByteArray();
    }
    void lineBytesRoundTrip()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, line0);
        QFETCH(QByteArray, saved);
        const QStringList lines = sq::decodeLineBytes(bytes);
        QCOMPARE(sq::platform::nativePath(lines.value(0)), line0);
        QCOMPARE(sq::joinLinesCrLf(lines), saved);
        QCOMPARE(sq::decodeLineBytes(saved), lines);
        // Through files, as the settings are saved and loaded.
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("sorrelquint.ini"));
        QVERIFY(sq::writeTextLines(path, lines));
        QCOMPARE(sq::test::readFile(path), saved);
        QStringList back;
        QVERIFY(sq::readLineBytes(path, back));
        QCOMPARE(back, lines);
    }

    void failsWithoutTouchingOldFileWhenFolderUnwritable()
    {
        QStringList lines;
        QVERIFY(!sq::readTextLines(QStringLiteral("/nonexistent/file"), lines));
        QVERIFY(!sq::readLineBytes(QStringLiteral("/nonexistent/file"), lines));
        QVERIFY(
            !sq::writeTextLines(QStringLiteral("/nonexistent/dir/file"), {QStringLiteral("1")}));
    }
};

QTEST_GUILESS_MAIN(TstTextLines)
#include "tst_textlines.moc"
