#include "engine/WorkPool.h"

#include <QtTest>

#include <chrono>
#include <set>
#include <stdexcept>

namespace {

using Clock = std::chrono::steady_clock;

// Waits, at most a few seconds, until pred holds; true if it did.
template <typename Pred> bool waitFor(Pred pred)
{
    const auto until = Clock::now() + std::chrono::seconds(5);
    while (!pred()) {
        if (Clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return true;
}

} // namespace

class TstWorkPool : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Every index exactly once, in runs that follow each other, however the
    // count and the pieces asked for compare (nonsense included).
    void rangesCoverEveryIndexOnce_data()
    {
        QTest::addColumn<int>("helpers");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("pieces");
        QTest::addColumn<int>("runs"); // runs the body is called with
        QTest::newRow("no helpers") << 0 << 10 << 4 << 1;
        QTest::newRow("one item, many pieces") << 1 << 1 << 5 << 1;
        QTest::newRow("uneven cut") << 3 << 1000 << 7 << 7;
        QTest::newRow("more pieces than items") << 3 << 5 << 100 << 5;
        QTest::newRow("nothing to do") << 2 << 0 << 3 << 0;
        QTest::newRow("negative count") << 2 << -4 << 3 << 0;
        QTest::newRow("no pieces asked") << 3 << 17 << 0 << 1;
        QTest::newRow("negative pieces") << 3 << 17 << -1 << 1;
        QTest::newRow("one a piece") << 2 << 301 << 301 << 301;
    }
    void rangesCoverEveryIndexOnce()
    {
        QFETCH(int, helpers);
        QFETCH(int, count);
        QFETCH(int, pieces);
        QFETCH(int, runs);
        sq::TWorkPool pool(helpers);
        QCOMPARE(pool.Helpers(), helpers);
        std::vector<std::atomic<int>> seen(size_t(std::max(0, count)));
        std::mutex lock;
        std::vector<std::pair<int, int>> ranges;
        pool.ForRanges(count, pieces, [&](int begin, int end) {
            for (int i = begin; i < end; ++i)
                ++seen[size_t(i)];
            const std::lock_guard<std::mutex> guard(lock);
            ranges.emplace_back(begin, end);
        });
        for (int i = 0; i < count; ++i)
            QCOMPARE(seen[size_t(i)].load(), 1);
        QCOMPARE(int(ranges.size()), runs);
        std::sort(ranges.begin(), ranges.end());
        int at = 0;
        for (const auto& [begin, end] : ranges) {
            QCOMPARE(begin, at);
            QVERIFY(end > begin);
            at = end;
        }
        QCOMPARE(at, std::max(0, count));
    }

    // The runs really go to other threads: two pieces that each wait for
    // the other to have begun finish only if they run side by side.
    void piecesRunSideBySide_data()
    {
        QTest::addColumn<bool>("items");
        QTest::newRow("ranges") << false;
        QTest::newRow("items") << true;
    }
    void piecesRunSideBySide()
    {
        QFETCH(bool, items);
        sq::TWorkPool pool(1);
        std::atomic<int> entered{0};
        std::atomic<bool> together{true};
        std::mutex lock;
        std::set<std::thread::id> threads;
        auto piece = [&] {
            {
                const std::lock_guard<std::mutex> guard(lock);
                threads.insert(std::this_thread::get_id());
            }
            ++entered;
            if (!waitFor([&] { return entered.load() >= 2; })) together = false;
        };
        if (items)
            pool.ForItems(2, 0, [&](int) { piece(); });
        else
            pool.ForRanges(2, 2, [&](int, int) { piece(); });
        QVERIFY(together.load());
        QCOMPARE(int(threads.size()), 2);
        QVERIFY(threads.count(std::this_thread::get_id()) == 1);
        QCOMPARE(pool.SharedPieces(), 1LL);
    }

    // ForItems keeps to the number of threads it is given.
    void itemsKeepToTheirThreads_data()
    {
        QTest::addColumn<int>("helpers");
        QTest::addColumn<int>("threads");
        QTest::addColumn<int>("most");
        QTest::newRow("one thread") << 3 << 1 << 1;
        QTest::newRow("two of four") << 3 << 2 << 2;
        QTest::newRow("all") << 3 << 0 << 4;
        QTest::newRow("more than there are") << 1 << 8 << 2;
    }
    void itemsKeepToTheirThreads()
    {
        QFETCH(int, helpers);
        QFETCH(int, threads);
        QFETCH(int, most);
        sq::TWorkPool pool(helpers);
        std::atomic<int> now{0}, peak{0}, ran{0};
        pool.ForItems(24, threads, [&](int) {
            const int n = ++now;
            for (int p = peak.load(); n > p && !peak.compare_exchange_weak(p, n);)
                ;
            std::this_thread::sleep_for(std::chrono::milliseconds(3));
            --now;
            ++ran;
        });
        QCOMPARE(ran.load(), 24);
        QVERIFY2(peak.load() <= most, qPrintable(QString::number(peak.load())));
    }

    // A piece that throws: the caller gets the exception once the other
    // pieces are done, and the pool goes on working.
    void exceptionReachesTheCaller_data()
    {
        QTest::addColumn<int>("helpers");
        QTest::addColumn<int>("failing");
        QTest::addColumn<bool>("items");
        QTest::newRow("alone, first") << 0 << 0 << false;
        QTest::newRow("helpers, middle") << 2 << 5 << false;
        QTest::newRow("helpers, last") << 2 << 15 << false;
        QTest::newRow("items") << 2 << 3 << true;
    }
    void exceptionReachesTheCaller()
    {
        QFETCH(int, helpers);
        QFETCH(int, failing);
        QFETCH(bool, items);
        sq::TWorkPool pool(helpers);
        std::atomic<int> running{0};
        bool thrown = false;
        try {
            auto piece = [&](int k) {
                ++running;
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                --running;
                if (k == failing) throw std::runtime_error("piece failed");
            };
            if (items)
                pool.ForItems(16, 0, piece);
            else
                pool.ForRanges(16, 16, [&](int begin, int) { piece(begin); });
        } catch (const std::runtime_error& e) {
            thrown = QByteArray(e.what()) == "piece failed";
            QCOMPARE(running.load(), 0); // nothing is left running behind the caller
        }
        QVERIFY(thrown);
        std::atomic<int> sum{0};
        pool.ForRanges(100, 10, [&](int begin, int end) { sum += end - begin; });
        QCOMPARE(sum.load(), 100);
    }

    // Loads side by side that cut up their own work, as the views do: every
    // item's every row done, whatever thread took what.
    void itemsCutUpTheirOwnWork_data()
    {
        QTest::addColumn<int>("helpers");
        QTest::addColumn<int>("items");
        QTest::newRow("one helper, four loads") << 1 << 4;
        QTest::newRow("three helpers, two loads") << 3 << 2;
        QTest::newRow("none") << 0 << 3;
    }
    void itemsCutUpTheirOwnWork()
    {
        QFETCH(int, helpers);
        QFETCH(int, items);
        sq::TWorkPool pool(helpers, 1);
        const int rows = 997;
        std::vector<std::vector<int>> done(size_t(items), std::vector<int>(rows, 0));
        for (int round = 0; round < 20; ++round) {
            pool.ForItems(items, 0, [&](int item) {
                std::vector<int>& mine = done[size_t(item)];
                pool.ForRanges(rows, pool.PieceCount(rows, 1), [&](int begin, int end) {
                    for (int r = begin; r < end; ++r)
                        ++mine[size_t(r)];
                });
            });
        }
        for (const auto& item : done)
            QCOMPARE(item, std::vector<int>(rows, 20));
    }

    // A task handed out with Start runs once, on a helper while the caller
    // goes on, or on the caller at Join when no helper got to it (none, or
    // all busy); Join returns once it has run and passes on what it threw.
    void startedTaskRunsOnceAndJoins_data()
    {
        QTest::addColumn<int>("helpers");
        QTest::addColumn<bool>("busy");   // the helpers are kept busy until Join
        QTest::addColumn<bool>("throws");
        QTest::addColumn<bool>("here"); // where it must run: the caller's thread
        QTest::newRow("no helpers") << 0 << false << false << true;
        QTest::newRow("a free helper") << 1 << false << false << false;
        QTest::newRow("helpers busy") << 2 << true << false << true;
        QTest::newRow("throws on a helper") << 1 << false << true << false;
        QTest::newRow("throws here") << 0 << false << true << true;
    }
    void startedTaskRunsOnceAndJoins()
    {
        QFETCH(int, helpers);
        QFETCH(bool, busy);
        QFETCH(bool, throws);
        QFETCH(bool, here);
        sq::TWorkPool pool(helpers);
        std::atomic<bool> release{false};
        std::atomic<int> blocked{0};
        std::vector<sq::TWorkPool::Task> blockers;
        if (busy) {
            for (int i = 0; i < helpers; ++i)
                blockers.push_back(pool.Start([&] {
                    ++blocked;
                    waitFor([&] { return release.load(); });
                }));
            QVERIFY(waitFor([&] { return blocked.load() == helpers; }));
        }
        std::atomic<int> runs{0};
        std::thread::id ranOn;
        sq::TWorkPool::Task task = pool.Start([&] {
            ranOn = std::this_thread::get_id();
            ++runs;
            if (throws) throw std::runtime_error("task failed");
        });
        QVERIFY(task.Active());
        // A free helper takes it without the caller's Join.
        if (!here) QVERIFY(waitFor([&] { return runs.load() == 1; }));
        bool thrown = false;
        try {
            pool.Join(task);
        } catch (const std::runtime_error& e) {
            thrown = QByteArray(e.what()) == "task failed";
        }
        QCOMPARE(thrown, throws);
        QVERIFY(!task.Active());
        QCOMPARE(runs.load(), 1);
        QCOMPARE(ranOn == std::this_thread::get_id(), here);
        pool.Join(task); // empty: nothing runs again
        QCOMPARE(runs.load(), 1);
        release = true;
        for (sq::TWorkPool::Task& b : blockers)
            pool.Join(b);
    }

    // How many pieces a pass is cut into: none for small work or no
    // helpers, never more than items or several per thread.
    void pieceCount_data()
    {
        QTest::addColumn<int>("helpers");
        QTest::addColumn<int>("pieceBytes");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("itemBytes");
        QTest::addColumn<int>("pieces");
        QTest::newRow("no helpers") << 0 << 1 << 1000 << 1000 << 1;
        QTest::newRow("too small to share") << 1 << 1000 << 3 << 500 << 1;
        QTest::newRow("just worth it") << 1 << 1000 << 4 << 500 << 2;
        QTest::newRow("capped per thread") << 1 << 1 << 1000 << 100 << 16;
        QTest::newRow("by the piece size") << 3 << 500000 << 1200 << 4800 << 11;
        QTest::newRow("no more than items") << 3 << 1 << 5 << 100 << 5;
        QTest::newRow("one item") << 3 << 1 << 1 << 1000000 << 1;
        QTest::newRow("empty items") << 3 << 1 << 100 << 0 << 1;
        QTest::newRow("negative") << 3 << 1 << -5 << 100 << 1;
    }
    void pieceCount()
    {
        QFETCH(int, helpers);
        QFETCH(int, pieceBytes);
        QFETCH(int, count);
        QFETCH(int, itemBytes);
        QFETCH(int, pieces);
        const sq::TWorkPool pool(helpers, pieceBytes);
        QCOMPARE(pool.PieceCount(count, itemBytes), pieces);
    }
};

QTEST_GUILESS_MAIN(TstWorkPool)
#include "tst_workpool.moc"
