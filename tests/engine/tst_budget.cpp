// The decoders' memory budget: what is held at once stays within the limit
// (a job alone excepted), nothing waits for ever, waiters are served in the
// order they came, and a cancelled waiter leaves without holding anything.
#include "engine/DecodeBudget.h"
#include "tests/support/HostileFiles.h"

#include <QList>
#include <QtTest>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

using namespace sq::test;
using sq::DecodeBudget;

class TstBudget : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void heldStaysWithinTheLimit_data()
    {
        QTest::addColumn<qint64>("limit");
        QTest::addColumn<QList<qint64>>("jobs");
        QTest::addColumn<int>("threads");
        QTest::addColumn<int>("mostAtOnce"); // the most holders the limit allows
        const QList<qint64> small(40, 10);
        QTest::newRow("small jobs, room for four") << qint64(40) << small << 4 << 4;
        QTest::newRow("small jobs, room for two") << qint64(25) << small << 4 << 2;
        QTest::newRow("small jobs, room for one") << qint64(10) << small << 4 << 1;
        QTest::newRow("every job past the limit") << qint64(5) << small << 4 << 1;
        QTest::newRow("zero limit") << qint64(0) << small << 3 << 1;
        QList<qint64> mixed;
        for (int i = 0; i < 30; ++i)
            mixed << (i % 5 == 0 ? 1000 : 10);
        QTest::newRow("large jobs among small ones") << qint64(100) << mixed << 4 << 4;
        QTest::newRow("nothing to hold") << qint64(0) << QList<qint64>(20, 0) << 4 << 4;
    }
    void heldStaysWithinTheLimit()
    {
        QFETCH(qint64, limit);
        QFETCH(QList<qint64>, jobs);
        QFETCH(int, threads);
        QFETCH(int, mostAtOnce);
        const HangGuard guard(60, "a budget that never lets a job through");
        DecodeBudget budget(limit);
        std::atomic<int> next{0};
        std::atomic<int> done{0};
        std::atomic<bool> overLimit{false};
        // The test's own count of what the jobs hold between reserve and
        // release.
        std::mutex countLock;
        qint64 inUse = 0;
        int holding = 0, mostHolding = 0;
        std::vector<std::thread> workers;
        for (int t = 0; t < threads; ++t)
            workers.emplace_back([&] {
                for (int i; (i = next.fetch_add(1)) < jobs.size();) {
                    DecodeBudget::Hold hold = budget.reserve(jobs.at(i));
                    if (!hold || hold.bytes() != jobs.at(i)) overLimit = true;
                    {
                        const std::lock_guard<std::mutex> lock(countLock);
                        inUse += jobs.at(i);
                        mostHolding = std::max(mostHolding, ++holding);
                        // Over the limit only when this job is the only one.
                        if (inUse > limit && holding > 1) overLimit = true;
                    }
                    std::this_thread::sleep_for(std::chrono::milliseconds(2));
                    {
                        const std::lock_guard<std::mutex> lock(countLock);
                        inUse -= jobs.at(i);
                        --holding;
                    }
                    hold.release();
                    ++done;
                }
            });
        for (std::thread& w : workers)
            w.join();
        QCOMPARE(done.load(), int(jobs.size()));
        QVERIFY(!overLimit.load());
        QVERIFY2(mostHolding <= mostAtOnce, qPrintable(QString::number(mostHolding)));
        QVERIFY(budget.peakHolders() <= mostAtOnce);
        // Where the limit leaves room, jobs did run side by side.
        if (mostAtOnce > 1) QVERIFY2(mostHolding > 1, "the jobs ran one at a time");
        QCOMPARE(budget.held(), qint64(0));
        QCOMPARE(budget.holders(), 0);
        QCOMPARE(budget.waiting(), 0);
    }

    void aLargeJobIsNotPassedForGood()
    {
        // Small jobs keep coming on three threads; one large job that needs
        // the budget to itself still gets it, and small jobs that came after
        // it wait for it.
        const HangGuard guard(60, "a large job starved by small ones");
        DecodeBudget budget(100);
        std::atomic<bool> stop{false};
        std::atomic<bool> largeDone{false};
        std::atomic<int> smallAfterLarge{0};
        std::vector<std::thread> small;
        for (int t = 0; t < 3; ++t)
            small.emplace_back([&] {
                while (!stop) {
                    const DecodeBudget::Hold hold = budget.reserve(40);
                    if (largeDone) ++smallAfterLarge;
                    std::this_thread::sleep_for(std::chrono::milliseconds(3));
                }
            });
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        {
            const DecodeBudget::Hold large = budget.reserve(500);
            QVERIFY(bool(large));
            QCOMPARE(budget.holders(), 1);
            QCOMPARE(budget.held(), qint64(500));
        }
        largeDone = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        stop = true;
        for (std::thread& t : small)
            t.join();
        QVERIFY(smallAfterLarge.load() > 0);
        QCOMPARE(budget.held(), qint64(0));
    }

    void cancelEndsTheWait_data()
    {
        QTest::addColumn<bool>("cancelFirst");
        QTest::newRow("cancelled while waiting") << false;
        QTest::newRow("cancelled before asking") << true;
    }
    void cancelEndsTheWait()
    {
        QFETCH(bool, cancelFirst);
        const HangGuard guard(60, "a cancelled wait that goes on");
        DecodeBudget budget(100);
        DecodeBudget::Hold first = budget.reserve(80);
        QVERIFY(bool(first));
        std::atomic<bool> cancel{cancelFirst};
        std::atomic<bool> granted{true};
        std::thread waiter([&] { granted = bool(budget.reserve(50, &cancel)); });
        if (!cancelFirst) {
            while (budget.waiting() == 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            cancel = true;
        }
        waiter.join();
        QVERIFY(!granted.load());
        QCOMPARE(budget.waiting(), 0);
        QCOMPARE(budget.holders(), 1);
        QCOMPARE(budget.held(), qint64(80));
        // The one that left is out of the line: the next one gets through.
        first.release();
        QCOMPARE(budget.held(), qint64(0));
        const DecodeBudget::Hold again = budget.reserve(90);
        QVERIFY(bool(again));
    }

    void aReleaseLetsTheNextIn()
    {
        const HangGuard guard(60, "a release that wakes nobody");
        DecodeBudget budget(100);
        DecodeBudget::Hold a = budget.reserve(60);
        std::atomic<bool> in{false};
        std::thread waiter([&] {
            const DecodeBudget::Hold b = budget.reserve(60);
            in = true;
        });
        while (budget.waiting() == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        QVERIFY(!in.load());
        DecodeBudget::Hold moved = std::move(a);
        QVERIFY(!a);
        QCOMPARE(budget.holders(), 1);
        moved = DecodeBudget::Hold();
        waiter.join();
        QVERIFY(in.load());
        QCOMPARE(budget.held(), qint64(0));
    }

    void defaultLimitIsBounded()
    {
        const qint64 limit = DecodeBudget::defaultLimit();
        QVERIFY(limit >= qint64(256) << 20);
        QVERIFY(limit <= qint64(1) << 30);
        QCOMPARE(DecodeBudget::process().limit(), limit);
    }
};

QTEST_GUILESS_MAIN(TstBudget)
#include "tst_budget.moc"
