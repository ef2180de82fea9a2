#include "state/SettingsLines.h"
#include "tests/support/HostileFiles.h"
#include "tests/support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

class TstSettingsLines : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void startsWithLineNumbers()
    {
        TSettingsLines s;
        for (int i = 0; i < TSettingsLines::Count; ++i)
            QCOMPARE(s.text(i), QString::number(i));
    }

    void defaultTable()
    {
        TSettingsLines s;
        s.writeDefaults(1024);
        const QStringList expected = {
            "0", "3", "1", "2", "1", "3", "0", "1", "2", "1", "1", "0", "0", "0",
            "0", "0", "0", "2", "0", "0", "0", "0", "0", "0", "0", "0", "1", "2",
            "1", "0", "0", "1", "1", "1", "1", "2", "55", "314", "547", "165", "100", "345",
            "431", "348", "494", "15", "0", "0", "2", "2", "2", "186", "2", "53", "100"};
        QCOMPARE(s.lines(), expected);
        s.writeDefaults(1920);
        QCOMPARE(s.text(44), QStringLiteral("1390"));
        s.writeDefaults(300);
        QCOMPARE(s.text(44), QStringLiteral("-230"));
    }

    void strictIntegers_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("value");
        QTest::newRow("plain") << "186" << true << 186;
        QTest::newRow("negative") << "-230" << true << -230;
        QTest::newRow("plus") << "+7" << true << 7;
        QTest::newRow("int max") << "2147483647" << true << 2147483647;
        QTest::newRow("int min") << "-2147483648" << true << int(-2147483647 - 1);
        QTest::newRow("overflow") << "2147483648" << false << 0;
        QTest::newRow("letters") << "abc" << false << 0;
        QTest::newRow("trailing") << "3x" << false << 0;
        QTest::newRow("blank") << " 3" << false << 0;
        QTest::newRow("empty") << "" << false << 0;
        QTest::newRow("sign only") << "-" << false << 0;
        QTest::newRow("fullwidth digit") << "３" << false << 0;
    }
    void strictIntegers()
    {
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QFETCH(int, value);
        int v = 0;
        QCOMPARE(TSettingsLines::strictToInt(text, v), ok);
        if (ok)
            QCOMPARE(v, value);
    }

    void badAndMissingLinesTakeDefaults()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("sorrelquint.ini"));
        QVERIFY(sq::test::writeFile(path, "/pics\r\n1\r\n0\r\nabc\r\n4\n5\r6"));
        TSettingsLines s;
        QCOMPARE(s.load(path, 1024), TSettingsLines::FileState::Read);
        QCOMPARE(s.text(0), QStringLiteral("/pics"));
        QCOMPARE(s.readInt(1), 1);
        QCOMPARE(s.readInt(3), 2); // "abc" takes the default of line 3
        QCOMPARE(s.text(3), QStringLiteral("2"));
        QCOMPARE(s.readInt(6), 6); // the file's own value, though it is no default
        QCOMPARE(s.text(44), QStringLiteral("494"));
        QCOMPARE(s.text(53), QStringLiteral("53"));
        QCOMPARE(s.readInt(54), 100);
        QVERIFY(s.save(path));
        QStringList back;
        QCOMPARE(sq::test::readFile(path).count("\r\n"), 55);
    }

    void longFileKeepsFirst55Lines()
    {
        QStringList many;
        for (int i = 0; i < 70; ++i)
            many << QStringLiteral("x%1").arg(i);
        TSettingsLines s;
        s.replaceAll(many, 800);
        QCOMPARE(s.lines().size(), TSettingsLines::Count);
        QCOMPARE(s.text(54), QStringLiteral("x54"));
    }

    void unreadableFileGivesDefaults_data()
    {
        QTest::addColumn<int>("kind"); // -1 missing, -2 over 1 MiB, else a Hostile
        QTest::addColumn<bool>("missing");
        QTest::newRow("missing") << -1 << true;
        QTest::newRow("over 1 MiB") << -2 << false;
        QTest::newRow("fifo") << int(sq::test::Hostile::Fifo) << false;
        QTest::newRow("/dev/zero") << int(sq::test::Hostile::DevZero) << false;
        QTest::newRow("sparse 8 GiB") << int(sq::test::Hostile::Sparse8G) << false;
        QTest::newRow("folder") << int(sq::test::Hostile::Folder) << false;
    }
    void unreadableFileGivesDefaults()
    {
        QFETCH(int, kind);
        QFETCH(bool, missing);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("sorrelquint.ini"));
        if (kind == -2)
            QVERIFY(sq::test::writeFile(path, QByteArray(2 << 20, '7')));
        else if (kind >= 0)
            QVERIFY(sq::test::makeHostile(sq::test::Hostile(kind), path));
        sq::test::HangGuard guard(60, QTest::currentDataTag());
        TSettingsLines s;
        // Missing may be written new; anything else must be kept.
        QCOMPARE(s.load(path, 1024), missing ? TSettingsLines::FileState::Missing
                                             : TSettingsLines::FileState::Unreadable);
        TSettingsLines defaults;
        defaults.writeDefaults(1024);
        QCOMPARE(s.lines(), defaults.lines());
    }

    void savingLeavesWhatIsNoFileAlone_data()
    {
        QTest::addColumn<bool>("throughLink");
        QTest::newRow("fifo") << false;
        QTest::newRow("link to a fifo") << true;
    }
    void savingLeavesWhatIsNoFileAlone()
    {
        // A FIFO stands for any device: saving must never replace it (a link
        // to /dev/zero would otherwise lose the device to a regular file). A
        // link to one is replaced by the settings file itself.
        QFETCH(bool, throughLink);
        QTemporaryDir dir;
        const QString fifo = dir.filePath(QStringLiteral("target"));
        QVERIFY(sq::test::makeHostile(sq::test::Hostile::Fifo, fifo));
        const QString path = throughLink ? dir.filePath(QStringLiteral("sorrelquint.ini")) : fifo;
        if (throughLink) QVERIFY(QFile::link(fifo, path));
        sq::test::HangGuard guard(60, QTest::currentDataTag());
        TSettingsLines s;
        s.writeDefaults(1024);
        QCOMPARE(s.save(path), throughLink);
        struct stat st;
        QCOMPARE(::lstat(fifo.toUtf8().constData(), &st), 0);
        QVERIFY(S_ISFIFO(st.st_mode));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::System | QDir::Hidden).size(),
                 throughLink ? 2 : 1);
        if (throughLink) {
            QCOMPARE(::lstat(path.toUtf8().constData(), &st), 0);
            QVERIFY(S_ISREG(st.st_mode));
            QCOMPARE(sq::test::readFile(path).count("\r\n"), 55);
        }
    }

    // Saving replaces a link with the file; the link's target keeps its
    // bytes (it may lie outside the data folder).
    void savingReplacesLink_data()
    {
        QTest::addColumn<bool>("dangling");
        QTest::newRow("link to a file") << false;
        QTest::newRow("dangling link") << true;
    }
    void savingReplacesLink()
    {
        QFETCH(bool, dangling);
        QTemporaryDir dir;
        const QString target = dir.filePath(QStringLiteral("elsewhere/other.ini"));
        QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("elsewhere"))));
        if (!dangling) QVERIFY(sq::test::writeFile(target, "keep me\r\n"));
        const QString path = dir.filePath(QStringLiteral("sorrelquint.ini"));
        QVERIFY(QFile::link(target, path));
        TSettingsLines s;
        s.writeDefaults(1024);
        QVERIFY(s.save(path));
        struct stat st;
        QCOMPARE(::lstat(path.toUtf8().constData(), &st), 0);
        QVERIFY(S_ISREG(st.st_mode));
        if (dangling)
            QVERIFY(!QFileInfo::exists(target));
        else
            QCOMPARE(sq::test::readFile(target), QByteArray("keep me\r\n"));
    }
};

QTEST_GUILESS_MAIN(TstSettingsLines)
#include "tst_settingslines.moc"
