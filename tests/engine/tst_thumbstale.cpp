// Out-of-date entries and damaged tails of the thumbnail cache file: what
// Find returns meanwhile, how many rewrites settle them, and what is read.
#include "engine/ImgUtils_thumb.h"
#include "tests/engine/ThumbFolders.h"
#include "tests/support/FileDamage.h"
#include "tests/support/HostileFiles.h"
#include "tests/support/TestFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QtTest>

#include <memory>

using namespace sq::test;

class TstThumbStale : public QObject, public ThumbFolders
{
    Q_OBJECT

private Q_SLOTS:
    void init() { QVERIFY(makeFolders()); }

    void touchedPictureIsStale()
    {
        TThumb t;
        setUp(t);
        addPicture(t, 1);
        addPicture(t, 2);
        QVERIFY(finds(t, 1));
        QVERIFY(setModifiedTime(picture(1), modifiedTime(picture(1)) + 10000));
        QVERIFY(!finds(t, 1));
        QVERIFY(!finds(t, 1));
        QVERIFY(finds(t, 2));
        // The old entry waits for the next rewrite.
        QCOMPARE(i32At(readFile(cacheFile()), 20), 2);
        QVERIFY(t.purgePending());
        addPicture(t, 1);
        QVERIFY(finds(t, 1));
        TThumb other;
        setUp(other);
        QVERIFY(finds(other, 1));
        QVERIFY(finds(other, 2));
        QVERIFY(t.Purge());
        QVERIFY(!t.purgePending());
        bool ok = false;
        QCOMPARE(namesOnDisk(readFile(cacheFile()), &ok), (QStringList{picture(2), picture(1)}));
        QVERIFY(ok);
        QVERIFY(finds(other, 1));
        QVERIFY(finds(t, 1));
        QVERIFY(!t.Purge()); // nothing left to do
    }

    // A folder of touched pictures loaded as the engine does it (a Find that
    // misses, then an Add): the cache file is never rewritten during the
    // load, and once when it is settled, however many entries went stale.
    void staleEntriesGoInOneRewrite_data()
    {
        QTest::addColumn<int>("entries");
        QTest::addColumn<int>("touched");
        QTest::addColumn<bool>("active");
        QTest::addColumn<QString>("settle"); // purge, deletelist, destroy
        QTest::newRow("300 entries, 40 touched, purge") << 300 << 40 << false << "purge";
        QTest::newRow("300 entries, all touched") << 300 << 300 << false << "purge";
        QTest::newRow("active file") << 120 << 30 << true << "purge";
        QTest::newRow("a refresh settles them too") << 120 << 30 << false << "deletelist";
        QTest::newRow("settled at destruction") << 120 << 30 << false << "destroy";
        QTest::newRow("one touched") << 50 << 1 << false << "purge";
    }
    void staleEntriesGoInOneRewrite()
    {
        QFETCH(int, entries);
        QFETCH(int, touched);
        QFETCH(bool, active);
        QFETCH(QString, settle);
        for (int i = 12; i < entries; ++i)
            QVERIFY(writeFile(picture(i), QByteArray(1 + i % 50, 'x')));
        auto t = std::make_unique<TThumb>();
        setUp(*t);
        t->setActive(active);
        for (int i = 0; i < entries; ++i)
            addPicture(*t, i);
        // Every seventh picture, from the end round, so that the stale
        // entries lie all over the file.
        QList<int> stale;
        for (int i = entries - 1; stale.size() < touched; i = (i + 7) % entries)
            if (!stale.contains(i)) stale << i;
        for (int i : stale)
            QVERIFY(setModifiedTime(picture(i), modifiedTime(picture(i)) + 10000));

        ino_t inode = inodeOf(cacheFile());
        int rewrites = 0;
        auto watch = [&] {
            const ino_t now = inodeOf(cacheFile());
            if (now != inode) ++rewrites;
            inode = now;
        };
        for (int i = 0; i < entries; ++i) {
            QByteArray got;
            const bool hit = t->Find(picture(i), got);
            watch();
            QCOMPARE(hit, !stale.contains(i));
            if (!hit) {
                QVERIFY(got.isEmpty());
                TThumbEntry& e = t->currentEntry();
                e.thumbWidth = 100 + i;
                e.thumbHeight = 50 + i;
                e.pictureWidth = 4000 + i;
                e.pictureHeight = 3000 + i;
                t->Add(picture(i), thumbBytes(i + 1000));
                watch();
            }
        }
        QCOMPARE(rewrites, 0);
        QCOMPARE(i32At(readFile(cacheFile()), 20), entries + touched);

        // Before the rewrite, as after a crash: a reader of the file as it is
        // finds the new thumbnails, never the old ones.
        const QString copyDir = m_tmp.path() + QStringLiteral("/copy/");
        QVERIFY(QDir().mkpath(copyDir));
        QVERIFY(QFile::copy(cacheFile(), copyDir + QStringLiteral("cache.dat")));
        {
            TThumb crashed;
            crashed.setPath(copyDir);
            crashed.setFileName(QStringLiteral("cache"));
            for (int i = 0; i < entries; ++i) {
                QByteArray got;
                QVERIFY(crashed.Find(picture(i), got));
                QCOMPARE(got, thumbBytes(stale.contains(i) ? i + 1000 : i));
            }
        }

        QVERIFY(t->purgePending());
        int refreshed = -1;
        if (settle == QLatin1String("purge")) {
            QVERIFY(t->Purge());
        } else if (settle == QLatin1String("deletelist")) {
            refreshed = stale.first();
            QStringList list{picture(refreshed)};
            QVERIFY(t->DeleteList(list));
        } else {
            t.reset();
        }
        watch();
        QCOMPARE(rewrites, 1);
        QVERIFY(noTempFiles());
        bool ok = false;
        QStringList names = namesOnDisk(readFile(cacheFile()), &ok);
        QVERIFY(ok);
        const int kept = refreshed < 0 ? entries : entries - 1;
        QCOMPARE(names.size(), kept);
        names.removeDuplicates();
        QCOMPARE(names.size(), kept);
        TThumb reader;
        setUp(reader);
        for (int i = 0; i < entries; ++i) {
            QByteArray got;
            QCOMPARE(reader.Find(picture(i), got), i != refreshed);
            if (i == refreshed) continue;
            QCOMPARE(got, thumbBytes(stale.contains(i) ? i + 1000 : i));
            QCOMPARE(reader.currentEntry().pictureWidth, 4000 + i);
        }
        QVERIFY(!reader.purgePending());
        if (t) {
            QVERIFY(!t->purgePending());
            QVERIFY(!t->Purge());
            watch();
            QCOMPARE(rewrites, 1);
        }
    }

    // The ways an out-of-date entry meets Find: it is a miss unless a newer
    // entry of the name follows it, and the next Purge drops it.
    void staleEntryIsNeverReturned_data()
    {
        QTest::addColumn<bool>("indexedFirst"); // the object saw the old entry before
        QTest::addColumn<QString>("twin");      // none, own, other
        QTest::addColumn<bool>("pictureGone");
        QTest::newRow("indexed, no newer entry") << true << "none" << false;
        QTest::newRow("unindexed, no newer entry") << false << "none" << false;
        QTest::newRow("indexed, newer entry of its own") << true << "own" << false;
        QTest::newRow("indexed, newer entry of another") << true << "other" << false;
        QTest::newRow("unindexed, newer entry of another") << false << "other" << false;
        QTest::newRow("picture deleted") << true << "none" << true;
    }
    void staleEntryIsNeverReturned()
    {
        QFETCH(bool, indexedFirst);
        QFETCH(QString, twin);
        QFETCH(bool, pictureGone);
        {
            TThumb w;
            setUp(w);
            for (int i = 0; i < 6; ++i)
                addPicture(w, i);
        }
        TThumb t;
        setUp(t);
        if (indexedFirst) QVERIFY(finds(t, 5)); // indexes the whole file
        if (pictureGone)
            QVERIFY(QFile::remove(picture(2)));
        else
            QVERIFY(setModifiedTime(picture(2), modifiedTime(picture(2)) + 4000));
        const QByteArray fresh("fresh thumbnail");
        if (twin == QLatin1String("own")) {
            QByteArray got;
            QVERIFY(!t.Find(picture(2), got));
            t.Add(picture(2), fresh);
        }
        // Another object (as another process) appends the newer entry and
        // stays alive, so the old one is still in the file when t looks.
        std::unique_ptr<TThumb> other;
        if (twin == QLatin1String("other")) {
            other = std::make_unique<TThumb>();
            setUp(*other);
            QByteArray got;
            QVERIFY(!other->Find(picture(2), got));
            other->Add(picture(2), fresh);
            QCOMPARE(i32At(readFile(cacheFile()), 20), 7);
        }
        QByteArray got;
        const bool hit = t.Find(picture(2), got);
        QCOMPARE(hit, twin != QLatin1String("none"));
        QCOMPARE(got, hit ? fresh : QByteArray());
        other.reset(); // its own rewrite drops the old entry
        if (hit) {
            got.clear();
            QVERIFY(t.Find(picture(2), got));
            QCOMPARE(got, fresh);
        }
        for (int i : {0, 1, 3, 4, 5})
            QVERIFY(finds(t, i));
        t.Purge();
        bool ok = false;
        const QStringList names = namesOnDisk(readFile(cacheFile()), &ok);
        QVERIFY(ok);
        QCOMPARE(names.count(picture(2)), hit ? 1 : 0);
        QCOMPARE(names.size(), hit ? 6 : 5);
        TThumb reader;
        setUp(reader);
        got.clear();
        QCOMPARE(reader.Find(picture(2), got), hit);
        QCOMPARE(got, hit ? fresh : QByteArray());
    }

    // What was gathered meets a file that changed meanwhile: Purge throws
    // nothing, creates nothing, and leaves a file that is no cache as it is.
    void purgeMeetsAChangedFile_data()
    {
        QTest::addColumn<QString>("change");
        QTest::newRow("cache files deleted") << "deleted";
        QTest::newRow("foreign file in its place") << "foreign";
        QTest::newRow("folder in its place") << "folder";
        QTest::newRow("header cut short") << "cut";
    }
    void purgeMeetsAChangedFile()
    {
        QFETCH(QString, change);
        TThumb t;
        setUp(t);
        for (int i = 0; i < 4; ++i)
            addPicture(t, i);
        QVERIFY(setModifiedTime(picture(1), modifiedTime(picture(1)) + 6000));
        QByteArray got;
        QVERIFY(!t.Find(picture(1), got));
        QVERIFY(t.purgePending());
        const QByteArray foreign("not a cache, but keep me");
        QVERIFY(QFile::remove(cacheFile()));
        if (change == QLatin1String("foreign")) QVERIFY(writeFile(cacheFile(), foreign));
        if (change == QLatin1String("folder")) QVERIFY(QDir().mkpath(cacheFile()));
        if (change == QLatin1String("cut"))
            QVERIFY(writeFile(cacheFile(), QByteArray("\x7f\0\0", 3)));
        QVERIFY(!t.Purge());
        QVERIFY(!t.purgePending());
        QVERIFY(noTempFiles());
        if (change == QLatin1String("deleted")) QVERIFY(!QFileInfo::exists(cacheFile()));
        if (change == QLatin1String("foreign")) QCOMPARE(readFile(cacheFile()), foreign);
        if (change == QLatin1String("folder")) QVERIFY(QFileInfo(cacheFile()).isDir());
        // A cache whose creation was cut short held nothing: it goes.
        if (change == QLatin1String("cut")) QVERIFY(!QFileInfo::exists(cacheFile()));
        QVERIFY(!t.Find(picture(2), got));
    }

    // A crash can leave the file longer than what was written, the rest
    // zeros (often a hole). Readers stop at the first record of zeros, so
    // even a 50 GB hole is never read; the next writer, Purge or deletion
    // cuts it off and keeps every whole entry before it.
    void zeroFilledTailIsCutWithoutReadingIt_data()
    {
        QTest::addColumn<int>("counted"); // entries the header counts beyond the whole ones
        QTest::addColumn<int>("torn");    // bytes of a record cut short before the zeros
        QTest::addColumn<QString>("repair");
        QTest::newRow("count right, purge") << 0 << 0 << "purge";
        QTest::newRow("count right, add") << 0 << 0 << "add";
        QTest::newRow("counted zeros, add") << 3 << 0 << "add";
        QTest::newRow("counted zeros, purge") << 3 << 0 << "purge";
        QTest::newRow("counted zeros, deletelist") << 3 << 0 << "deletelist";
        QTest::newRow("torn record, purge") << 1 << 20 << "purge";
        QTest::newRow("torn record, add") << 1 << 70 << "add";
    }
    void zeroFilledTailIsCutWithoutReadingIt()
    {
        QFETCH(int, counted);
        QFETCH(int, torn);
        QFETCH(QString, repair);
        const int n = 4;
        {
            TThumb w;
            setUp(w);
            for (int i = 0; i < n; ++i)
                addPicture(w, i);
            addPicture(w, 7); // the source of the torn record's bytes
        }
        const QByteArray whole = readFile(cacheFile());
        const qint64 end = whole.size() - (56 + picture(7).toUtf8().size() + thumbBytes(7).size());
        QByteArray head = whole.left(end) + whole.mid(end, torn);
        qToLittleEndian<qint32>(n + counted, head.data() + 20);
        QVERIFY(writeFile(cacheFile(), head));
        const qint64 hole = qint64(50) << 30;
        if (!truncateFile(cacheFile(), hole)) QSKIP("no 50 GB sparse files here");

        HangGuard guard(120, "a zero-filled tail");
        const qint64 readBefore = procIo("rchar");
        QVERIFY(readBefore >= 0);
        {
            TThumb t;
            setUp(t);
            for (int i = 0; i < n; ++i)
                QVERIFY(finds(t, i));
            QVERIFY(!finds(t, 9));
            QVERIFY(!finds(t, 7));
            if (repair == QLatin1String("purge")) {
                QVERIFY(t.purgePending());
                QVERIFY(!t.Purge());
            } else if (repair == QLatin1String("add")) {
                addPicture(t, 9);
            } else {
                QStringList list{picture(11)};
                QVERIFY(!t.DeleteList(list));
            }
            QVERIFY(!t.purgePending());
            QCOMPARE(QFileInfo(cacheFile()).size(),
                     repair == QLatin1String("add")
                         ? end + 56 + picture(9).toUtf8().size() + thumbBytes(9).size()
                         : end);
        }
        // A few records and names, not the hole.
        QVERIFY2(procIo("rchar") - readBefore < (1 << 20),
                 qPrintable(QString::number(procIo("rchar") - readBefore)));
        bool ok = false;
        const QStringList names = namesOnDisk(readFile(cacheFile()), &ok);
        QVERIFY(ok);
        QCOMPARE(names.size(), repair == QLatin1String("add") ? n + 1 : n);
        TThumb reader;
        setUp(reader);
        for (int i = 0; i < n; ++i)
            QVERIFY(finds(reader, i));
        QCOMPARE(finds(reader, 9), repair == QLatin1String("add"));
        QVERIFY(noTempFiles());
    }
};

QTEST_GUILESS_MAIN(TstThumbStale)
#include "tst_thumbstale.moc"
