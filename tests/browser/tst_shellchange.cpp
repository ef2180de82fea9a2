#include "browser/ShellChange.h"
#include "tests/support/TestFiles.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace pw = sq::platform;

namespace {
// Counts OnChange and runs an optional action inside it.
struct Counter
{
    int changes = 0;
    std::function<void()> inside;
    void hook(TShellChangeNotification& n)
    {
        n.OnChange = [this, &n](TShellChangeNotification* sender) {
            QCOMPARE(sender, &n);
            ++changes;
            if (inside) inside();
        };
    }
};

// Processes events for a while and answers whether OnChange stayed quiet.
void settle(int ms)
{
    QTest::qWait(ms);
}
} // namespace

class TstShellChange : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void filterOfMembers_data()
    {
        QTest::addColumn<TNotifyTypeSet>("types");
        QTest::addColumn<unsigned>("filter");
        QTest::newRow("created") << TNotifyTypeSet{intFileName, intDirName} << 0x3u;
        QTest::newRow("main window")
            << TNotifyTypeSet{intFileName,  intDirName,    intAttributes, intSize,
                              intLastWrite, intLastAccess, intCreation}
            << 0x7Fu;
        QTest::newRow("security is bit 8") << TNotifyTypeSet{intSecurity} << 0x100u;
        QTest::newRow("size and creation") << TNotifyTypeSet{intSize, intCreation} << 0x48u;
        QTest::newRow("none") << TNotifyTypeSet{} << 0u;
    }
    void filterOfMembers()
    {
        QFETCH(TNotifyTypeSet, types);
        QFETCH(unsigned, filter);
        TShellChangeNotification n;
        n.SetNotifyTypes(types);
        QCOMPARE(n.NotifyFilter(), filter);
    }

    void createdState()
    {
        TShellChangeNotification n;
        QVERIFY(n.Enabled());
        QCOMPARE(n.NotifyTypes(), (TNotifyTypeSet{intFileName, intDirName}));
        QVERIFY(!n.IsWatching());
    }

    // Files copied in and deleted each make OnChange fire on this thread.
    void addAndDeleteFire()
    {
        QTemporaryDir dir;
        TShellChangeNotification n;
        Counter c;
        Qt::HANDLE gui = QThread::currentThreadId();
        Qt::HANDLE seen = nullptr;
        c.inside = [&] { seen = QThread::currentThreadId(); };
        c.hook(n);
        n.Watch(dir.path());
        QVERIFY(n.IsWatching());
        QVERIFY(sq::test::writeFile(dir.filePath("a.jpg"), "x"));
        QTRY_COMPARE_WITH_TIMEOUT(c.changes, 1, 5000);
        QCOMPARE(seen, gui);
        settle(200);
        const int afterAdd = c.changes;
        QVERIFY(QFile::remove(dir.filePath("a.jpg")));
        QTRY_VERIFY_WITH_TIMEOUT(c.changes > afterAdd, 5000);
    }

    void subfolderChangeIsQuiet()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("sub"));
        TShellChangeNotification n;
        Counter c;
        c.hook(n);
        n.Watch(dir.path());
        QVERIFY(sq::test::writeFile(dir.filePath("sub/inner.jpg"), "x"));
        QVERIFY(QFile::remove(dir.filePath("sub/inner.jpg")));
        settle(400);
        QCOMPARE(c.changes, 0);
        // The watch is alive: a change in the folder itself still fires.
        QVERIFY(sq::test::writeFile(dir.filePath("top.jpg"), "x"));
        QTRY_VERIFY_WITH_TIMEOUT(c.changes > 0, 5000);
    }

    // Enabled off stops at once, including a change already on its way;
    // on again starts nothing until the next Watch.
    void enabledOffStops()
    {
        QTemporaryDir dir;
        TShellChangeNotification n;
        Counter c;
        c.hook(n);
        n.Watch(dir.path());
        QVERIFY(sq::test::writeFile(dir.filePath("a.jpg"), "x"));
        // Give the thread time to post the change without running events.
        QThread::msleep(300);
        n.SetEnabled(false);
        QVERIFY(!n.IsWatching());
        QVERIFY(sq::test::writeFile(dir.filePath("b.jpg"), "x"));
        settle(400);
        QCOMPARE(c.changes, 0);
        n.SetEnabled(true);
        QVERIFY(!n.IsWatching());
        QVERIFY(sq::test::writeFile(dir.filePath("c.jpg"), "x"));
        settle(300);
        QCOMPARE(c.changes, 0);
        n.Watch(dir.path());
        QVERIFY(n.IsWatching());
        QVERIFY(sq::test::writeFile(dir.filePath("d.jpg"), "x"));
        QTRY_VERIFY_WITH_TIMEOUT(c.changes > 0, 5000);
    }

    void watchWhileDisabledDoesNothing()
    {
        QTemporaryDir dir;
        TShellChangeNotification n;
        n.SetEnabled(false);
        n.Watch(dir.path());
        QVERIFY(!n.IsWatching());
    }

    void noThreadForNonFolders_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("missing") << "missing";
        QTest::newRow("a file") << "file.jpg";
        QTest::newRow("empty") << "";
    }
    void noThreadForNonFolders()
    {
        QFETCH(QString, name);
        QTemporaryDir dir;
        QVERIFY(sq::test::writeFile(dir.filePath("file.jpg"), "x"));
        TShellChangeNotification n;
        n.Watch(dir.path());
        QVERIFY(n.IsWatching());
        // A non-folder leaves the running watch alone.
        n.Watch(name.isEmpty() ? QString() : dir.filePath(name));
        QVERIFY(n.IsWatching());
        QCOMPARE(n.Thread()->FolderPath(), QFileInfo(dir.path()).absoluteFilePath());
        TShellChangeNotification fresh;
        fresh.Watch(name.isEmpty() ? QString() : dir.filePath(name));
        QVERIFY(!fresh.IsWatching());
    }

    void burstGivesFewChanges()
    {
        QTemporaryDir dir;
        TShellChangeNotification n;
        Counter c;
        // A re-read takes time, as the browser's does.
        c.inside = [] { QThread::msleep(30); };
        c.hook(n);
        n.Watch(dir.path());
        QVERIFY(sq::test::makeEmptyFiles(dir.path(), 300));
        QTRY_VERIFY_WITH_TIMEOUT(c.changes > 0, 5000);
        settle(800);
        QVERIFY2(c.changes <= 5, qPrintable(QString::number(c.changes)));
    }

    // StopWatch from inside OnChange, and Watch of another folder from
    // there (the browser navigating), return at once.
    void stopInsideOnChange_data()
    {
        QTest::addColumn<bool>("rewatch");
        QTest::newRow("stop") << false;
        QTest::newRow("watch another folder") << true;
    }
    void stopInsideOnChange()
    {
        QFETCH(bool, rewatch);
        QTemporaryDir dir, other;
        TShellChangeNotification n;
        Counter c;
        qint64 insideMs = -1;
        c.inside = [&] {
            QElapsedTimer t;
            t.start();
            if (rewatch)
                n.Watch(other.path());
            else
                n.StopWatch();
            insideMs = t.elapsed();
        };
        c.hook(n);
        n.Watch(dir.path());
        QVERIFY(sq::test::writeFile(dir.filePath("a.jpg"), "x"));
        QTRY_COMPARE_WITH_TIMEOUT(c.changes, 1, 5000);
        QVERIFY(insideMs >= 0 && insideMs < 1000);
        QCOMPARE(n.IsWatching(), rewatch);
        if (rewatch) {
            c.inside = nullptr;
            QVERIFY(sq::test::writeFile(other.filePath("b.jpg"), "x"));
            QTRY_COMPARE_WITH_TIMEOUT(c.changes, 2, 5000);
        }
    }

    // A change is pending (posted, the thread blocked on its hand-over)
    // while the GUI thread stops or destroys the watch: no deadlock, and the
    // change never fires.
    void stopWhileChangePending_data()
    {
        QTest::addColumn<bool>("destroy");
        QTest::newRow("StopWatch") << false;
        QTest::newRow("destruction") << true;
    }
    void stopWhileChangePending()
    {
        QFETCH(bool, destroy);
        QTemporaryDir dir;
        auto n = std::make_unique<TShellChangeNotification>();
        int changes = 0;
        n->OnChange = [&](TShellChangeNotification*) { ++changes; };
        n->Watch(dir.path());
        QVERIFY(sq::test::writeFile(dir.filePath("a.jpg"), "x"));
        QThread::msleep(300); // the burst is over and the change posted
        QElapsedTimer t;
        t.start();
        if (destroy)
            n.reset();
        else
            n->StopWatch();
        QVERIFY(t.elapsed() < 1000);
        settle(200);
        QCOMPARE(changes, 0);
    }

    // The watched folder itself goes away: the browser hears of it (to
    // re-read and find it gone), and stopping afterwards is prompt.
    void folderRemovedFires()
    {
        QTemporaryDir dir;
        const QString folder = dir.filePath("shown");
        QVERIFY(QDir().mkdir(folder));
        TShellChangeNotification n;
        Counter c;
        c.hook(n);
        n.Watch(folder);
        QVERIFY(QDir(folder).removeRecursively());
        QTRY_VERIFY_WITH_TIMEOUT(c.changes > 0, 5000);
        QElapsedTimer t;
        t.start();
        n.StopWatch();
        QVERIFY(t.elapsed() < 1000);
        QVERIFY(!n.IsWatching());
    }
};

QTEST_GUILESS_MAIN(TstShellChange)
#include "tst_shellchange.moc"
