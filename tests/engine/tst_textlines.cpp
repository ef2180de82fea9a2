#include "engine/TextLines.h"
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
        QTest::newRow("shift-jis") << QByteArray("C:\\\x8e\xca\x90\x5e") << QStringLiteral("C:\\写真");
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
        QCOMPARE(sq::test::readFile(path), QByteArray("/home/\xe5\x86\x99\xe7\x9c\x9f\r\n3\r\n\r\n"));
        QStringList back;
        QVERIFY(sq::readTextLines(path, back));
        QCOMPARE(back, lines);
        QVERIFY(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size() == 1);
    }

    void failsWithoutTouchingOldFileWhenFolderUnwritable()
    {
        QStringList lines;
        QVERIFY(!sq::readTextLines(QStringLiteral("/nonexistent/file"), lines));
        QVERIFY(!sq::writeTextLines(QStringLiteral("/nonexistent/dir/file"), {QStringLiteral("1")}));
    }
};

QTEST_GUILESS_MAIN(TstTextLines)
#include "tst_textlines.moc"
