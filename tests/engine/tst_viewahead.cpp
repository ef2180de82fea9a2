// The store of prepared views on its own, with a maker of plain pictures:
// which views it keeps under its limits, what it drops when the wish
// changes, files changed on disk, loads under way, and giving up on Clear.
#include "engine/ViewAhead.h"
#include "tests/support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>

#include <atomic>
#include <condition_variable>
#include <mutex>

using sq::TPreparedView;
using sq::TViewAhead;
using sq::TViewSetup;

namespace {

// A view whose picture is width x 10 pixels of 4 bytes, its colour from the
// file's first byte, so a test knows which file a view came from and its size.
TPreparedView plainView(const QString& file, int width)
{
    QFile f(file);
    char first = 0;
    if (f.open(QIODevice::ReadOnly)) f.getChar(&first);
    TPreparedView view;
    view.Result = 0;
    view.Picture.Bitmap = QImage(width, 10, QImage::Format_RGB32);
    view.Picture.Bitmap.fill(QColor(uchar(first), 0, 0));
    view.ViewBitmap = view.Picture.Bitmap; // shared: counted once
    view.Placed = true;
    return view;
}

TViewSetup setupOf(int width)
{
    TViewSetup s;
    s.Inner = QSize(width, 10);
    return s;
}

// Gates every load until opened, and counts the loads begun.
struct Gate
{
    std::mutex lock;
    std::condition_variable changed;
    bool open = true;
    int begun = 0;
    void pass()
    {
        std::unique_lock l(lock);
        ++begun;
        changed.notify_all();
        changed.wait(l, [this] { return open; });
    }
    void set(bool o)
    {
        std::lock_guard l(lock);
        open = o;
        changed.notify_all();
    }
    bool waitBegun(int n)
    {
        std::unique_lock l(lock);
        return changed.wait_for(l, std::chrono::seconds(10), [&] { return begun >= n; });
    }
};

} // namespace

class TstViewAhead : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QStringList m_files;

    QList<TViewAhead::Request> requests(const QList<int>& which, int width = 100) const
    {
        QList<TViewAhead::Request> r;
        for (int i : which)
            r.append({m_files.at(i), setupOf(width)});
        return r;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        for (int i = 0; i < 8; ++i) {
            const QString f = m_dir.filePath(QStringLiteral("f%1").arg(i));
            QVERIFY(sq::test::writeFile(f, QByteArray(1, char(10 + i)) + "data"));
            m_files << f;
        }
    }

    // Wishes of views of 100 x 10 x 4 = 4000 bytes each: the most wanted
    // ones that fit are kept, the rest not.
    void limitsKeepTheMostWanted_data()
    {
        QTest::addColumn<int>("maxEntries");
        QTest::addColumn<qint64>("maxBytes");
        QTest::addColumn<int>("wanted");
        QTest::addColumn<int>("kept");
        QTest::newRow("all fit") << 8 << qint64(1) << 6 << 6;
        QTest::newRow("count cap") << 3 << qint64(1) << 6 << 3;
        QTest::newRow("byte cap") << 8 << qint64(4000 * 2 + 10) << 6 << 2;
        QTest::newRow("byte cap exact") << 8 << qint64(4000 * 4) << 6 << 4;
        QTest::newRow("nothing fits") << 8 << qint64(3999) << 3 << 0;
    }
    void limitsKeepTheMostWanted()
    {
        QFETCH(int, maxEntries);
        QFETCH(qint64, maxBytes);
        QFETCH(int, wanted);
        QFETCH(int, kept);
        if (maxBytes == 1) maxBytes = qint64(1) << 30;
        // One thread a load: the order of making is the wish's, and the
        // last ones made must not push out the first.
        for (const int threads : {1, 3}) {
            TViewAhead store([](const QString& f, const TViewSetup&) { return plainView(f, 100); },
                             maxEntries, maxBytes, threads);
            QList<int> which;
            for (int i = 0; i < wanted; ++i)
                which << i;
            store.Want(requests(which));
            QVERIFY(store.WaitIdle(10000));
            QCOMPARE(store.Entries(), kept);
            QVERIFY(store.Bytes() <= maxBytes);
            QVERIFY(store.PeakBytes() <= maxBytes);
            QVERIFY(store.PeakEntries() <= maxEntries);
            for (int i = 0; i < wanted; ++i) {
                const auto view = store.Take(m_files.at(i), setupOf(100));
                QCOMPARE(view.has_value(), i < kept);
                if (view) QCOMPARE(view->Picture.Bitmap.pixelColor(0, 0).red(), 10 + i);
            }
        }
    }

    // A view is handed out only for the setup it was made for, and only
    // while its file is as it was.
    void keyedByEverything()
    {
        std::atomic<int> made{0};
        TViewAhead store(
            [&made](const QString& f, const TViewSetup& s) {
                ++made;
                return plainView(f, s.Inner.width());
            },
            8, qint64(1) << 30);
        store.Want(requests({0, 1, 2}));
        QVERIFY(store.WaitIdle(10000));
        QCOMPARE(made.load(), 3);
        // Another size, colour or engine setting: not this view.
        TViewSetup other = setupOf(100);
        other.Color = Qt::white;
        QVERIFY(!store.Take(m_files.at(0), other));
        other = setupOf(100);
        other.GetType = igtFit;
        QVERIFY(!store.Take(m_files.at(0), other));
        QVERIFY(!store.Take(m_files.at(0), setupOf(101)));
        QVERIFY(!store.Take(m_files.at(7), setupOf(100)));
        QVERIFY(store.Take(m_files.at(0), setupOf(100)));

        // Rewritten in place (another size), and replaced by another file
        // of the same size and time (another inode).
        QVERIFY(sq::test::writeFile(m_files.at(1), QByteArray(1, char(99)) + "other data"));
        const QString twin = m_dir.filePath(QStringLiteral("twin"));
        QVERIFY(sq::test::writeFile(twin, QByteArray(1, char(98)) + "data"));
        struct stat st;
        QVERIFY(::stat(QFile::encodeName(m_files.at(2)).constData(), &st) == 0);
        const timespec times[2] = {st.st_atim, st.st_mtim};
        QVERIFY(::utimensat(AT_FDCWD, QFile::encodeName(twin).constData(), times, 0) == 0);
        QVERIFY(::rename(QFile::encodeName(twin).constData(),
                         QFile::encodeName(m_files.at(2)).constData()) == 0);
        QVERIFY(!store.Take(m_files.at(1), setupOf(100)));
        QVERIFY(!store.Take(m_files.at(2), setupOf(100)));
        // Asked again, they are made from the files as they are now.
        store.Want(requests({1, 2}));
        QVERIFY(store.WaitIdle(10000));
        auto view = store.Take(m_files.at(1), setupOf(100));
        QVERIFY(view);
        QCOMPARE(view->Picture.Bitmap.pixelColor(0, 0).red(), 99);
        view = store.Take(m_files.at(2), setupOf(100));
        QVERIFY(view);
        QCOMPARE(view->Picture.Bitmap.pixelColor(0, 0).red(), 98);
        // A file gone is not made at all.
        const int before = made.load();
        const QString gone = m_dir.filePath(QStringLiteral("gone"));
        store.Want({{gone, setupOf(100)}});
        QVERIFY(store.WaitIdle(10000));
        QCOMPARE(made.load(), before);
        QVERIFY(!store.Take(gone, setupOf(100)));
        // Restore the files for the other tests.
        QVERIFY(sq::test::writeFile(m_files.at(1), QByteArray(1, char(11)) + "data"));
        QVERIFY(sq::test::writeFile(m_files.at(2), QByteArray(1, char(12)) + "data"));
    }

    // A new wish drops what it does not name, except the views handed out
    // since the wish before (they are on show); those go at the next wish.
    void wishesAndShownViews()
    {
        TViewAhead store([](const QString& f, const TViewSetup&) { return plainView(f, 100); }, 2,
                         qint64(1) << 30);
        store.Want(requests({0, 1}));
        QVERIFY(store.WaitIdle(10000));
        QVERIFY(store.Take(m_files.at(0), setupOf(100)));
        store.Want(requests({2, 3}));
        QVERIFY(store.WaitIdle(10000));
        // The shown one does not count against the two views allowed.
        QCOMPARE(store.Entries(), 2);
        QVERIFY(!store.Take(m_files.at(1), setupOf(100)));
        QVERIFY(store.Take(m_files.at(0), setupOf(100)));
        store.Want(requests({2, 3}));
        QVERIFY(store.Take(m_files.at(0), setupOf(100))); // taken again since
        store.Want(requests({2, 3}));
        store.Want(requests({2, 3}));
        QVERIFY(!store.Take(m_files.at(0), setupOf(100)));
        // Named again by a wish (a step back), it is kept and counted.
        QVERIFY(store.Take(m_files.at(2), setupOf(100)));
        store.Want(requests({4, 2}));
        QVERIFY(store.WaitIdle(10000));
        QCOMPARE(store.Entries(), 2);
        QVERIFY(store.Take(m_files.at(2), setupOf(100)));
        QVERIFY(store.Take(m_files.at(4), setupOf(100)));
        // Tighter limits drop the least wanted.
        store.SetLimits(1, qint64(1) << 30);
        QCOMPARE(store.Entries(), 1);
        QVERIFY(store.Take(m_files.at(4), setupOf(100)));
        QVERIFY(!store.Take(m_files.at(2), setupOf(100)));
        store.Clear();
        QCOMPARE(store.Entries(), 0);
        QVERIFY(!store.Take(m_files.at(4), setupOf(100)));
    }

    // Take waits for a load under way; Clear throws away what is under way.
    void loadsUnderWay()
    {
        Gate gate;
        gate.set(false);
        TViewAhead store(
            [&gate](const QString& f, const TViewSetup&) {
                gate.pass();
                return plainView(f, 100);
            },
            8, qint64(1) << 30);
        store.Want(requests({0}));
        QVERIFY(gate.waitBegun(1));
        QVERIFY(!store.Idle());
        std::thread opener([&gate] {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            gate.set(true);
        });
        const auto view = store.Take(m_files.at(0), setupOf(100));
        opener.join();
        QVERIFY(view);
        QCOMPARE(store.Hits(), 1);

        gate.set(false);
        store.Want(requests({1, 2}));
        QVERIFY(gate.waitBegun(2));
        store.Clear();
        gate.set(true);
        QVERIFY(store.WaitIdle(10000));
        QCOMPARE(store.Entries(), 0);
        QVERIFY(!store.Take(m_files.at(1), setupOf(100)));
        // A view not yet begun that the caller loads itself is not made.
        gate.set(false);
        store.Want(requests({3, 4}));
        QVERIFY(gate.waitBegun(3));
        QVERIFY(!store.Take(m_files.at(4), setupOf(100)));
        gate.set(true);
        QVERIFY(store.WaitIdle(10000));
        QCOMPARE(gate.begun, 3);
        QCOMPARE(store.Misses(), 2);
    }
};

QTEST_GUILESS_MAIN(TstViewAhead)
#include "tst_viewahead.moc"
