// The watch of shown files: which changes on disk report a shown file as
// changed, and which do not; a folder that cannot be watched; stopping.
#include "platform/ShownFileWatch.h"
#include "tests/support/TestFiles.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>
#include <sys/stat.h>
#include <utime.h>

using sq::platform::ShownFileWatch;

class TstShownFileWatch : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void changesReported_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("reported");
        QTest::newRow("written in place") << "write" << true;
        QTest::newRow("replaced by rename") << "rename over" << true;
        QTest::newRow("touched") << "touch" << true;
        QTest::newRow("deleted and written again") << "delete write" << true;
        QTest::newRow("deleted") << "delete" << false;
        QTest::newRow("replaced by a folder") << "folder" << false;
        QTest::newRow("another file of its folder written") << "other" << false;
        QTest::newRow("a file of another folder written") << "elsewhere" << false;
        QTest::newRow("read only") << "read" << false;
    }
    void changesReported()
    {
        QFETCH(QString, change);
        QFETCH(bool, reported);
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("shown/a.jpg"));
        const QString other = dir.filePath(QStringLiteral("shown/b.jpg"));
        const QString elsewhere = dir.filePath(QStringLiteral("elsewhere/a.jpg"));
        for (const QString& f : {file, other, elsewhere})
            QVERIFY(sq::test::writeFile(f, "first"));
        ShownFileWatch watch;
        QStringList seen;
        watch.OnChanged = [&seen](const QString& f) { seen << f; };
        watch.setFiles({file, QString(), file});
        QCOMPARE(watch.files(), QStringList{file});
        QCOMPARE(watch.folders(), QStringList{dir.filePath(QStringLiteral("shown"))});

        if (change == "write") QVERIFY(sq::test::writeFile(file, "second, longer"));
        if (change == "rename over") {
            QVERIFY(sq::test::writeFile(file + QStringLiteral(".new"), "first"));
            QCOMPARE(std::rename((file + QStringLiteral(".new")).toUtf8().constData(),
                                 file.toUtf8().constData()),
                     0);
        }
        if (change == "touch") {
            struct utimbuf times
            {
                1000000000, 1000000000
            };
            QCOMPARE(::utime(file.toUtf8().constData(), &times), 0);
        }
        if (change.startsWith(QStringLiteral("delete"))) QVERIFY(QFile::remove(file));
        if (change == "delete write") {
            QTest::qWait(ShownFileWatch::SettleMs * 2);
            QVERIFY(sq::test::writeFile(file, "again"));
        }
        if (change == "folder") {
            QVERIFY(QFile::remove(file));
            QVERIFY(QDir().mkdir(file));
        }
        if (change == "other") QVERIFY(sq::test::writeFile(other, "second, longer"));
        if (change == "elsewhere") QVERIFY(sq::test::writeFile(elsewhere, "second, longer"));
        if (change == "read") QCOMPARE(sq::test::readFile(file), QByteArray("first"));

        if (reported) {
            QTRY_COMPARE(seen, QStringList{file});
            // Reported once: the stamp was renewed.
            watch.check();
            QCOMPARE(seen, QStringList{file});
        } else {
            QTest::qWait(ShownFileWatch::SettleMs * 4);
            watch.check();
            QCOMPARE(seen, QStringList());
        }
    }

    // A shown file in a folder that does not exist: nothing is watched and
    // nothing reported; once the file appears, a check reports it.
    void missingFolder()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("missing/a.jpg"));
        ShownFileWatch watch;
        QStringList seen;
        watch.OnChanged = [&seen](const QString& f) { seen << f; };
        watch.setFiles({file});
        QCOMPARE(watch.folders(), QStringList());
        watch.check();
        QCOMPARE(seen, QStringList());
        QVERIFY(sq::test::writeFile(file, "now here"));
        watch.check();
        QCOMPARE(seen, QStringList{file});
    }

    // No files: no folder watched, no change reported.
    void stopped()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("a.jpg"));
        QVERIFY(sq::test::writeFile(file, "first"));
        ShownFileWatch watch;
        int seen = 0;
        watch.OnChanged = [&seen](const QString&) { ++seen; };
        watch.setFiles({file});
        QCOMPARE(watch.folders().size(), 1);
        watch.setFiles({});
        QCOMPARE(watch.folders(), QStringList());
        QVERIFY(sq::test::writeFile(file, "second, longer"));
        QTest::qWait(ShownFileWatch::SettleMs * 4);
        watch.check();
        QCOMPARE(seen, 0);
    }
};

QTEST_GUILESS_MAIN(TstShownFileWatch)
#include "tst_shownfilewatch.moc"
