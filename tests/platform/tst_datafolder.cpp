#include "platform/DataFolder.h"
#include "platform/NativePath.h"
#include "tests/support/RawNames.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class TstDataFolder : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void writableProgramFolderIsUsed()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QCOMPARE(sq::platform::chooseDataFolder(dir.path()), dir.path() + QStringLiteral("/"));
    }

    void readOnlyProgramFolderFallsBackToXdgConfig()
    {
        QTemporaryDir dir;
        QTemporaryDir config;
        QVERIFY(dir.isValid() && config.isValid());
        const QString exe = dir.path() + QStringLiteral("/bin");
        QVERIFY(QDir().mkpath(exe));
        QVERIFY(QFile::setPermissions(exe, QFile::ReadOwner | QFile::ExeOwner));
        if (sq::platform::isWritableFolder(exe))
            QSKIP("running as a user who may write into read-only folders (root)");
        qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
        const QString chosen = sq::platform::chooseDataFolder(exe);
        QCOMPARE(chosen, config.path() + QStringLiteral("/sorrelquint/"));
        QVERIFY(QFileInfo(chosen).isDir());
        QFile::setPermissions(exe, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    // An installed program keeps its data under $XDG_CONFIG_HOME, even where
    // its bin folder is writable (for root, or a prefix in the user's home).
    void installedProgramUsesXdgConfig_data()
    {
        QTest::addColumn<QString>("folder"); // below a temporary folder
        QTest::addColumn<bool>("installed");
        QTest::newRow("prefix bin") << "usr/local/bin" << true;
        QTest::newRow("bin with a slash") << "opt/sq/bin/" << true;
        QTest::newRow("portable folder") << "sorrelquint" << false;
        QTest::newRow("bin inside the name") << "sorrelquint-bin" << false;
        QTest::newRow("below a bin folder") << "bin/sorrelquint" << false;
    }
    void installedProgramUsesXdgConfig()
    {
        QFETCH(QString, folder);
        QFETCH(bool, installed);
        QTemporaryDir root;
        QTemporaryDir config;
        const QString exe = root.filePath(folder);
        QVERIFY(QDir().mkpath(exe));
        QVERIFY(sq::platform::isWritableFolder(exe));
        QCOMPARE(sq::platform::isInstalledProgramFolder(exe), installed);
        qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
        const QString chosen = sq::platform::chooseDataFolder(exe);
        QCOMPARE(chosen, installed ? config.path() + QStringLiteral("/sorrelquint/")
                                   : QDir::cleanPath(exe) + QStringLiteral("/"));
        QVERIFY(QFileInfo(chosen).isDir());
        // Nothing is left in an installed program's folder.
        if (installed)
            QCOMPARE(QDir(exe).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                     QStringList());
    }

    // Folders whose names are not UTF-8, from each place the data folder
    // comes from: the result names them by their bytes, and is made there.
    void foldersNotUtf8KeepTheirBytes_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QString>("from"); // env, xdg, program
        const QByteArray names[] = {"data\xff", "caf\xe9", "\xc0\xaf", "写真\x83\x65"};
        for (const char* from : {"env", "xdg", "program"})
            for (const QByteArray& name : names)
                QTest::newRow(qPrintable(QStringLiteral("%1 %2").arg(
                    QLatin1String(from), QString::fromLatin1(name.toHex()))))
                    << name << QString::fromLatin1(from);
    }
    void foldersNotUtf8KeepTheirBytes()
    {
        QFETCH(QByteArray, name);
        QFETCH(QString, from);
        sq::test::RawTempDir dir;
        const QByteArray folder = dir.bytes() + '/' + name;
        QString chosen;
        QByteArray expected;
        if (from == QLatin1String("env")) {
            // Not made by the program: the data folder is used as named.
            qputenv("SORRELQUINT_DATA_DIR", folder);
            chosen = sq::platform::dataFolderFromEnvironment();
            qunsetenv("SORRELQUINT_DATA_DIR");
            expected = folder + '/';
        } else if (from == QLatin1String("xdg")) {
            qputenv("XDG_CONFIG_HOME", folder);
            chosen = sq::platform::chooseDataFolder(QStringLiteral("/nonexistent/bin"));
            expected = folder + "/sorrelquint/";
            QVERIFY(sq::test::existsAt(expected));
        } else {
            QVERIFY(sq::test::makeFolderAt(folder));
            const QString program = sq::platform::pathFromNative(folder);
            QVERIFY(sq::platform::isWritableFolder(program));
            QVERIFY(!sq::platform::isInstalledProgramFolder(program));
            chosen = sq::platform::chooseDataFolder(program);
            expected = folder + '/';
            // The probe file is gone again.
            QCOMPARE(sq::test::namesAt(folder), QList<QByteArray>());
        }
        QCOMPARE(sq::platform::nativePath(chosen), expected);
    }

    void unsetEnvironmentNamesNoFolder()
    {
        qunsetenv("SORRELQUINT_DATA_DIR");
        QCOMPARE(sq::platform::dataFolderFromEnvironment(), QString());
        qputenv("SORRELQUINT_DATA_DIR", "");
        QCOMPARE(sq::platform::dataFolderFromEnvironment(), QString());
        qputenv("SORRELQUINT_DATA_DIR", "/some/where/");
        QCOMPARE(sq::platform::dataFolderFromEnvironment(), QStringLiteral("/some/where/"));
        qunsetenv("SORRELQUINT_DATA_DIR");
    }

    void executableFolderIsThisTestsFolder()
    {
        QCOMPARE(sq::platform::executableFolder(), QCoreApplication::applicationDirPath());
    }

    void missingProgramFolderIsNotWritable()
    {
        QVERIFY(!sq::platform::isWritableFolder(QStringLiteral("/nonexistent/sorrelquint")));
        QTemporaryDir config;
        qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
        QCOMPARE(sq::platform::chooseDataFolder(QStringLiteral("/nonexistent/x")),
                 config.path() + QStringLiteral("/sorrelquint/"));
    }
};

QTEST_GUILESS_MAIN(TstDataFolder)
#include "tst_datafolder.moc"
