// The program's own options file beside the settings: what is read from
// good, damaged and missing files, and that a failed write leaves the old
// file as it was.
#include "app/ExtraOptions.h"
#include "tests/support/TestFiles.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace sq::test;

class TestExtraOptions : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void read_data();
    void read();
    void writeAndReadBack();
    void unwritableFolder();
};

void TestExtraOptions::read_data()
{
    QTest::addColumn<QByteArray>("bytes"); // "-" for no file at all
    QTest::addColumn<bool>("colour");
    QTest::newRow("no file") << QByteArray("-") << true;
    QTest::newRow("empty") << QByteArray() << true;
    QTest::newRow("off") << QByteArray("ColourManagement=0\r\n") << false;
    QTest::newRow("on") << QByteArray("ColourManagement=1\r\n") << true;
    QTest::newRow("off, LF, spaces") << QByteArray("  ColourManagement = 0 \n") << false;
    QTest::newRow("off among others") << QByteArray("Other=5\r\nColourManagement=0\r\n") << false;
    QTest::newRow("not 0 or 1") << QByteArray("ColourManagement=2\r\n") << true;
    QTest::newRow("no value") << QByteArray("ColourManagement=\r\n") << true;
    QTest::newRow("other case") << QByteArray("colourmanagement=0\r\n") << true;
    QTest::newRow("binary") << QByteArray("\0\xff\x01=0\nColourManagement", 22) << true;
}

void TestExtraOptions::read()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, colour);
    QTemporaryDir dir;
    const QString path = dir.filePath(QLatin1String(sq::app::kExtraOptionsFile));
    if (bytes != "-") QVERIFY(writeFile(path, bytes));
    QCOMPARE(sq::app::readExtraOptions(path).colourManagement, colour);
}

void TestExtraOptions::writeAndReadBack()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QLatin1String(sq::app::kExtraOptionsFile));
    for (const bool on : {false, true, false}) {
        sq::app::ExtraOptions options;
        options.colourManagement = on;
        QCOMPARE(sq::app::writeExtraOptions(path, options), 0);
        QCOMPARE(sq::app::readExtraOptions(path).colourManagement, on);
        QCOMPARE(readFile(path),
                 QByteArray(on ? "ColourManagement=1\r\n" : "ColourManagement=0\r\n"));
    }
    // A folder in the file's place reads as defaults.
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder.ini")));
    QVERIFY(sq::app::readExtraOptions(dir.filePath(QStringLiteral("folder.ini"))).colourManagement);
}

void TestExtraOptions::unwritableFolder()
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("ro"));
    QVERIFY(QDir().mkpath(folder));
    const QString path = folder + QLatin1Char('/') + QLatin1String(sq::app::kExtraOptionsFile);
    QVERIFY(writeFile(path, "ColourManagement=0\r\n"));
    UnwritableFolder locked(folder);
    if (!locked.ok()) QSKIP("the folder cannot be made unwritable here");
    sq::app::ExtraOptions options;
    options.colourManagement = true;
    QVERIFY(sq::app::writeExtraOptions(path, options) != 0);
    QCOMPARE(readFile(path), QByteArray("ColourManagement=0\r\n"));
}

QTEST_MAIN(TestExtraOptions)
#include "tst_extraoptions.moc"
