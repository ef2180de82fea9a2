#include "platform/FolderWatch.h"
#include "tests/support/TestFiles.h"

#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <sys/inotify.h>
#include <thread>

using sq::platform::FolderWatch;
namespace pw = sq::platform;

namespace {
constexpr unsigned kMainWindowFilter = pw::ChangeFileName | pw::ChangeDirName | pw::ChangeAttributes |
                                       pw::ChangeSize | pw::ChangeLastWrite | pw::ChangeLastAccess |
                                       pw::ChangeCreation;

// Runs wait() in a loop on a thread of its own, counting the changes.
struct Waiter
{
    FolderWatch watch;
    std::atomic<int> changes{0};
    std::atomic<bool> done{false};
    FolderWatch::Result last = FolderWatch::Result::Failed;
    std::thread thread;

    void start()
    {
        thread = std::thread([this] {
            for (;;) {
                last = watch.wait();
                if (last != FolderWatch::Result::Changed)
                    break;
                ++changes;
            }
            done = true;
        });
    }
    void finish()
    {
        watch.stop();
        thread.join();
    }
    bool waitForChanges(int n)
    {
        return QTest::qWaitFor([&] { return changes.load() >= n; }, 5000);
    }
};
} // namespace

class TstFolderWatch : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void filterMapping_data()
    {
        QTest::addColumn<unsigned>("filter");
        QTest::addColumn<unsigned>("event");
        QTest::addColumn<bool>("passes");
        QTest::newRow("file created, names") << unsigned(pw::ChangeFileName) << unsigned(IN_CREATE) << true;
        QTest::newRow("folder created, file names only") << unsigned(pw::ChangeFileName) << unsigned(IN_CREATE | IN_ISDIR) << false;
        QTest::newRow("folder created, folder names") << unsigned(pw::ChangeDirName) << unsigned(IN_CREATE | IN_ISDIR) << true;
        QTest::newRow("file renamed away, folder names only") << unsigned(pw::ChangeDirName) << unsigned(IN_MOVED_FROM) << false;
        QTest::newRow("file created, creation") << unsigned(pw::ChangeCreation) << unsigned(IN_CREATE) << true;
        QTest::newRow("file deleted, creation") << unsigned(pw::ChangeCreation) << unsigned(IN_DELETE) << false;
        QTest::newRow("written, size") << unsigned(pw::ChangeSize) << unsigned(IN_CLOSE_WRITE) << true;
        QTest::newRow("written, names only") << unsigned(pw::ChangeFileName) << unsigned(IN_MODIFY) << false;
        QTest::newRow("mode bits, attributes") << unsigned(pw::ChangeAttributes) << unsigned(IN_ATTRIB) << true;
        QTest::newRow("mode bits, security") << unsigned(pw::ChangeSecurity) << unsigned(IN_ATTRIB) << true;
        QTest::newRow("folder itself deleted") << unsigned(pw::ChangeSize) << unsigned(IN_DELETE_SELF) << true;
    }
    void filterMapping()
    {
        QFETCH(unsigned, filter);
        QFETCH(unsigned, event);
        QFETCH(bool, passes);
        QCOMPARE(FolderWatch::passes(filter, event), passes);
    }

    void readsAreNeverWatched()
    {
        // Reading pictures must not make the folder report itself changed.
        QCOMPARE(FolderWatch::inotifyMask(kMainWindowFilter) & IN_ACCESS, 0u);
        QCOMPARE(FolderWatch::inotifyMask(pw::ChangeLastAccess), 0u);
    }

    void cannotWatchWhatIsNoFolder()
    {
        QTemporaryDir dir;
        QVERIFY(sq::test::writeFile(dir.filePath(QStringLiteral("f.jpg")), "x"));
        FolderWatch missing, file, nothing;
        QVERIFY(!missing.open(dir.filePath(QStringLiteral("gone")), kMainWindowFilter));
        QCOMPARE(missing.wait(), FolderWatch::Result::Failed);
        QVERIFY(!file.open(dir.filePath(QStringLiteral("f.jpg")), kMainWindowFilter));
        QVERIFY(!nothing.open(dir.path(), pw::ChangeLastAccess));
    }

    void filesAddedAndRemovedAreReported()
    {
        QTemporaryDir dir;
        Waiter w;
        QVERIFY(w.watch.open(dir.path(), kMainWindowFilter));
        w.start();
        QVERIFY(sq::test::writeFile(dir.filePath(QStringLiteral("new.jpg")), "x"));
        QVERIFY(w.waitForChanges(1));
        const int before = w.changes;
        QVERIFY(QFile::remove(dir.filePath(QStringLiteral("new.jpg"))));
        QVERIFY(w.waitForChanges(before + 1));
        w.finish();
        QCOMPARE(w.last, FolderWatch::Result::Stopped);
    }

    void subfolderChangesAreNotReported()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("sub")));
        Waiter w;
        QVERIFY(w.watch.open(dir.path(), kMainWindowFilter));
        w.start();
        QVERIFY(sq::test::writeFile(dir.filePath(QStringLiteral("sub/inner.jpg")), "x"));
        QVERIFY(QFile::remove(dir.filePath(QStringLiteral("sub/inner.jpg"))));
        // A change of the folder itself afterwards is seen, so the watch was live.
        QTest::qWait(200);
        QCOMPARE(w.changes.load(), 0);
        QVERIFY(sq::test::writeFile(dir.filePath(QStringLiteral("top.jpg")), "x"));
        QVERIFY(w.waitForChanges(1));
        w.finish();
    }

    void stopEndsABlockedWait()
    {
        QTemporaryDir dir;
        Waiter w;
        QVERIFY(w.watch.open(dir.path(), kMainWindowFilter));
        w.start();
        QTest::qWait(50);
        QVERIFY(!w.done);
        w.finish();
        QVERIFY(w.done);
        QCOMPARE(w.last, FolderWatch::Result::Stopped);
        QCOMPARE(w.watch.wait(), FolderWatch::Result::Stopped); // and ever after
    }

    void burstGivesFewChanges()
    {
        QTemporaryDir dir;
        Waiter w;
        QVERIFY(w.watch.open(dir.path(), kMainWindowFilter));
        w.start();
        for (int i = 0; i < 300; ++i)
            QVERIFY(sq::test::writeFile(dir.filePath(QStringLiteral("f%1.jpg").arg(i)), "xyz"));
        QVERIFY(w.waitForChanges(1));
        QTest::qWait(700);
        w.finish();
        QVERIFY2(w.changes <= 6, qPrintable(QString::number(w.changes)));
    }
};

QTEST_GUILESS_MAIN(TstFolderWatch)
#include "tst_folderwatch.moc"
