#include "platform/DataFolder.h"

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
