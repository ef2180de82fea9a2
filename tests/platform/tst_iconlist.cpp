#include "platform/IconList.h"
#include "tests/support/TestFiles.h"

#include <QDir>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <algorithm>
#include <vector>

using sq::platform::IconList;

class TstIconList : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void iconsHaveTheListSizes_data()
    {
        QTest::addColumn<QString>("mime");
        QTest::newRow("jpeg") << QStringLiteral("image/jpeg");
        QTest::newRow("folder") << QStringLiteral("inode/directory");
        QTest::newRow("plain text") << QStringLiteral("text/plain");
        QTest::newRow("unknown type") << QStringLiteral("application/x-no-such-type");
    }
    void iconsHaveTheListSizes()
    {
        QFETCH(QString, mime);
        IconList& list = IconList::instance();
        const int i = list.indexForMimeType(mime);
        QVERIFY(i >= 0 && i < list.count());
        QCOMPARE(list.large(i).size(), QSize(32, 32));
        QCOMPARE(list.small(i).size(), QSize(16, 16));
        // The same type asks for the same entry, so the list does not grow.
        const int n = list.count();
        QCOMPARE(list.indexForMimeType(mime), i);
        QCOMPARE(list.count(), n);
    }

    // A stale or bad index still gives a picture: the generic icon at 0.
    void outOfRangeGivesTheGenericIcon()
    {
        IconList& list = IconList::instance();
        QCOMPARE(list.large(-1), list.large(0));
        QCOMPARE(list.small(list.count()), list.small(0));
        QCOMPARE(list.large(list.count()).size(), QSize(32, 32));
    }

    void foldersAndFilesDiffer()
    {
        QTemporaryDir dir;
        QVERIFY(sq::test::writeFile(dir.filePath("a.txt"), "hello\n"));
        IconList& list = IconList::instance();
        QVERIFY(list.indexForPath(dir.path()) != list.indexForPath(dir.filePath("a.txt")));
        QCOMPARE(list.indexForPath(dir.path()), list.indexForMimeType("inode/directory"));
    }

    void manyThreadsAgree()
    {
        const QStringList mimes{"image/png", "application/pdf", "audio/mpeg", "video/mp4",
                                "text/html", "application/zip"};
        std::vector<std::vector<int>> seen(4);
        std::vector<QThread*> threads;
        for (int t = 0; t < 4; ++t)
            threads.push_back(QThread::create([&, t] {
                for (int round = 0; round < 20; ++round)
                    for (const QString& m : mimes) {
                        int i = IconList::instance().indexForMimeType(m);
                        if (IconList::instance().large(i).size() != QSize(32, 32))
                            i = -1;
                        if (round == 0)
                            seen[t].push_back(i);
                    }
            }));
        for (QThread* th : threads)
            th->start();
        for (QThread* th : threads) {
            QVERIFY(th->wait(60000));
            delete th;
        }
        for (int t = 1; t < 4; ++t)
            QCOMPARE(seen[t], seen[0]);
        QVERIFY(std::find(seen[0].begin(), seen[0].end(), -1) == seen[0].end());
    }
};

QTEST_GUILESS_MAIN(TstIconList)
#include "tst_iconlist.moc"
