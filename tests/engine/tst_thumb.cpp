#include "engine/ImgUtils_thumb.h"
#include "tests/support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

namespace {

qint32 i32At(const QByteArray& b, int at)
{
    quint32 u = 0;
    for (int i = 0; i < 4; ++i)
        u |= quint32(quint8(b[at + i])) << (8 * i);
    return qint32(u);
}

// Sets a file's modification time to an exact second.
bool setMTime(const QString& path, time_t seconds)
{
    struct timeval times[2] = {{seconds, 0}, {seconds, 0}};
    return ::utimes(QFile::encodeName(path).constData(), times) == 0;
}

struct Cache
{
    QTemporaryDir dir;
    TThumb thumb;
    Cache()
    {
        thumb.setPath(dir.filePath(QStringLiteral("thumb")));
        thumb.setFileName(QStringLiteral("cache"));
        QDir(dir.path()).mkdir(QStringLiteral("thumb"));
    }
    QString file() const { return dir.filePath(QStringLiteral("thumb/cache.dat")); }
    QString picture(const QString& name, const QByteArray& bytes = "picture")
    {
        const QString p = dir.filePath(name);
        if (!QFileInfo::exists(p))
            sq::test::writeFile(p, bytes);
        return p;
    }
    void add(const QString& picture, const QByteArray& data, int tw = 80, int th = 60, int pw = 800, int ph = 600)
    {
        TThumbEntry& e = thumb.currentEntry();
        e.flags = 0;
        e.thumbWidth = tw;
        e.thumbHeight = th;
        e.pictureWidth = pw;
        e.pictureHeight = ph;
        e.reserved = 0;
        thumb.Add(picture, data);
    }
    bool find(const QString& picture, QByteArray* data = nullptr)
    {
        QByteArray stream;
        const bool hit = thumb.Find(picture, stream);
        if (data)
            *data = stream;
        return hit;
    }
};

} // namespace

class TstThumb : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void firstAddCreatesTheFile()
    {
        Cache c;
        const QString pic = c.picture(QStringLiteral("写真.jpg"));
        QVERIFY(!QFileInfo::exists(c.file()));
        QVERIFY(!c.find(pic));
        QVERIFY(!QFileInfo::exists(c.file())); // a miss creates nothing
        c.add(pic, "JPEGDATA", 80, 53, 1600, 1066);
        const QByteArray bytes = sq::test::readFile(c.file());
        const QByteArray name = pic.toUtf8();
        QCOMPARE(bytes.size(), 24 + 56 + name.size() + 8);
        QCOMPARE(bytes.left(8), QByteArray("\x7f\0\0\0\x67\0\0\0", 8));
        QCOMPARE(bytes.mid(8, 10), QByteArray(10, '\0'));
        QCOMPARE(i32At(bytes, 20), 1);
        QCOMPARE(i32At(bytes, 24), int(name.size()));
        QCOMPARE(i32At(bytes, 24 + 8), 8);
        QCOMPARE(i32At(bytes, 24 + 12), 80);
        QCOMPARE(i32At(bytes, 24 + 16), 53);
        QCOMPARE(i32At(bytes, 24 + 40), 7); // the picture file's size
        QCOMPARE(i32At(bytes, 24 + 44), 1600);
        QCOMPARE(bytes.mid(24 + 56, name.size()), name);
        QCOMPARE(bytes.right(8), QByteArray("JPEGDATA"));

        TThumb other; // a fresh object reads the same file
        other.setPath(c.dir.filePath(QStringLiteral("thumb")));
        other.setFileName(QStringLiteral("cache"));
        QByteArray data;
        QVERIFY(other.Find(pic, data));
        QCOMPARE(data, QByteArray("JPEGDATA"));
        QCOMPARE(other.currentEntry().thumbWidth, 80);
        QCOMPARE(other.currentEntry().thumbHeight, 53);
        QCOMPARE(other.currentEntry().pictureWidth, 1600);
        QCOMPARE(other.currentEntry().pictureHeight, 1066);
        // Names are compared exactly: another case is another picture.
        QVERIFY(!other.Find(c.dir.filePath(QStringLiteral("写真.JPG")), data));
    }

    void touchedPictureMissesAndIsDropped()
    {
        Cache c;
        const QString pic = c.picture(QStringLiteral("a.jpg"));
        QVERIFY(setMTime(pic, 1600000000));
        c.add(pic, "OLD");
        QVERIFY(c.find(pic));
        QVERIFY(setMTime(pic, 1600000100));
        QVERIFY(!c.find(pic));
        // The stale entry was the only one: the file is gone, no temporary left.
        QVERIFY(!QFileInfo::exists(c.file()));
        QVERIFY(!QFileInfo::exists(c.dir.filePath(QStringLiteral("thumb/cache.~tmp"))));
        c.add(pic, "NEW");
        QByteArray data;
        QVERIFY(c.find(pic, &data));
        QCOMPARE(data, QByteArray("NEW"));
    }

    void deletionsRewriteTheFile()
    {
        Cache c;
        QStringList pics;
        for (int i = 0; i < 5; ++i) {
            pics << c.picture(QStringLiteral("p%1.jpg").arg(i));
            c.add(pics.last(), QByteArray(100 + i, char('a' + i)));
        }
        QVERIFY(c.thumb.Delete(pics[1]));
        QVERIFY(!c.thumb.Delete(pics[1]));
        QCOMPARE(i32At(sq::test::readFile(c.file()), 20), 4);
        QStringList group{pics[3], pics[0]};
        QVERIFY(c.thumb.DeleteList(group));
        QCOMPARE(group, (QStringList{pics[0], pics[3]})); // sorted in place
        QVERIFY(!c.find(pics[0]) && !c.find(pics[1]) && !c.find(pics[3]));
        QByteArray data;
        QVERIFY(c.find(pics[4], &data));
        QCOMPARE(data, QByteArray(104, 'e'));
        QVERIFY(c.find(pics[2], &data));
        QCOMPARE(data, QByteArray(102, 'c'));
        QStringList rest{pics[2], pics[4]};
        QVERIFY(c.thumb.DeleteFiles(rest));
        QVERIFY(!QFileInfo::exists(c.file()));
        QVERIFY(QDir(c.dir.filePath(QStringLiteral("thumb"))).entryList(QDir::Files | QDir::Hidden).isEmpty());
        QStringList none{pics[2]};
        QVERIFY(!c.thumb.DeleteList(none)); // no cache file: nothing to do
    }

    void foreignFile()
    {
        Cache c;
        const QString pic = c.picture(QStringLiteral("a.jpg"));
        QVERIFY(sq::test::writeFile(c.file(), QByteArray("GIF89a not a cache file at all, longer than a header")));
        QVERIFY(!c.find(pic));
        c.add(pic, "X"); // silently nothing
        QCOMPARE(sq::test::readFile(c.file()).left(6), QByteArray("GIF89a"));
        QStringList list{pic};
        bool raised = false;
        try {
            c.thumb.DeleteList(list);
        } catch (const EThumbError& e) {
            raised = true;
            QCOMPARE(e.message(), c.file() + QStringLiteral("\r\n  はサムネイルファイルではありません"));
        }
        QVERIFY(raised);
    }

    void appNameIsCut_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("stored");
        QTest::newRow("12 single bytes") << "Sorrelquint!" << QByteArray("Sorrelquin");
        QTest::newRow("short") << "Sq" << QByteArray("Sq\0\0\0\0\0\0\0\0", 10);
        QTest::newRow("character across the limit") << "あいうえ" << QByteArray("あいう\0", 10);
        QTest::newRow("ascii then wide") << "abcdefghあ" << QByteArray("abcdefgh\0\0", 10);
    }
    void appNameIsCut()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, stored);
        Cache c;
        c.thumb.setAppName(name);
        QVERIFY(c.thumb.AppName().toUtf8().size() <= 10);
        c.add(c.picture(QStringLiteral("a.jpg")), "D");
        QCOMPARE(sq::test::readFile(c.file()).mid(8, 10), stored.leftJustified(10, '\0'));
    }

    void cacheFileNames()
    {
        TThumb t;
        t.setFileName(QStringLiteral("thumbs"));
        t.setPath(QStringLiteral("/data/thumb"));
        QCOMPARE(t.CacheFileName(QStringLiteral("/pics/a.jpg")), QStringLiteral("/data/thumb/thumbs.dat"));
        t.setPathType(iptFolder);
        QCOMPARE(t.CacheFileName(QStringLiteral("/pics/a.jpg")), QStringLiteral("/pics/thumbs.dat"));
        QCOMPARE(t.CacheFileName(QStringLiteral("/other/b.jpg")), QStringLiteral("/other/thumbs.dat"));
        t.setAppFolder(QStringLiteral("/opt/sq/"));
        t.setPathType(iptApp);
        QCOMPARE(t.CacheFileName(QStringLiteral("/pics/a.jpg")), QStringLiteral("/opt/sq/thumbs.dat"));
        qputenv("XDG_CACHE_HOME", "/var/cachehome/");
        t.setPathType(iptWin);
        QCOMPARE(t.CacheFileName(QString()), QStringLiteral("/var/cachehome/thumbs.dat"));
        qputenv("TEMP", "/var/tmp/");
        t.setPathType(iptTemp);
        QCOMPARE(t.CacheFileName(QString()), QStringLiteral("/var/tmp/thumbs.dat"));
        qunsetenv("TEMP");
        qputenv("TMPDIR", "/scratch");
        QCOMPARE(t.CacheFileName(QString()), QStringLiteral("/scratch/thumbs.dat"));
        t.setFileName(QStringLiteral("named.db"));
        QCOMPARE(t.CacheFileName(QString()), QStringLiteral("/scratch/named.db"));
        t.setFileName(QString());
        t.setExeName(QStringLiteral("sorrelquint"));
        QCOMPARE(t.CacheFileName(QString()), QStringLiteral("/scratch/sorrelquint.dat"));
    }

    // An Add cut short at any byte leaves every earlier entry findable, and
    // later Adds findable again.
    void addCutShortAtEveryByte()
    {
        Cache c;
        const QString a = c.picture(QStringLiteral("a.jpg")), b = c.picture(QStringLiteral("b.jpg"));
        const QString x = c.picture(QStringLiteral("x.jpg")), d = c.picture(QStringLiteral("d.jpg"));
        c.add(a, "AAAA");
        c.add(b, "BBBBBB");
        const QByteArray two = sq::test::readFile(c.file());
        c.add(x, QByteArray(40, 'x'));
        const QByteArray three = sq::test::readFile(c.file());
        QVERIFY(three.size() > two.size());
        for (qsizetype cut = two.size(); cut < three.size(); ++cut) {
            // What a crash during the write of x's entry leaves: two counted
            // entries and a part of the third.
            QVERIFY(sq::test::writeFile(c.file(), two.left(24) + three.mid(24, cut - 24)));
            TThumb t;
            t.setPath(c.dir.filePath(QStringLiteral("thumb")));
            t.setFileName(QStringLiteral("cache"));
            QByteArray data;
            QVERIFY2(t.Find(a, data) && data == "AAAA", qPrintable(QString::number(cut)));
            data.clear();
            QVERIFY(t.Find(b, data) && data == "BBBBBB");
            QVERIFY(!t.Find(x, data));
            t.currentEntry() = TThumbEntry();
            t.Add(d, "DD");
            data.clear();
            QVERIFY2(t.Find(d, data) && data == "DD", qPrintable(QString::number(cut)));
            QVERIFY(t.Find(a, data));
        }
    }

    // A damaged file never crashes and is never read past its end: cut it
    // anywhere and each entry is found exactly when it lies wholly before the cut.
    void truncatedAnywhere()
    {
        Cache c;
        QStringList pics;
        QList<qsizetype> ends;
        for (int i = 0; i < 4; ++i) {
            pics << c.picture(QStringLiteral("q%1.jpg").arg(i));
            c.add(pics.last(), QByteArray(30 + 7 * i, char('0' + i)));
            ends << sq::test::readFile(c.file()).size();
        }
        const QByteArray full = sq::test::readFile(c.file());
        for (qsizetype cut = 0; cut <= full.size(); cut += 3) {
            QVERIFY(sq::test::writeFile(c.file(), full.left(cut)));
            TThumb t;
            t.setPath(c.dir.filePath(QStringLiteral("thumb")));
            t.setFileName(QStringLiteral("cache"));
            for (int i = 0; i < pics.size(); ++i) {
                QByteArray data;
                QCOMPARE(t.Find(pics[i], data), ends[i] <= cut);
            }
        }
    }

    void damagedLengths()
    {
        Cache c;
        const QString a = c.picture(QStringLiteral("a.jpg"));
        c.add(a, "AAAA");
        const QByteArray good = sq::test::readFile(c.file());
        const QList<QPair<int, qint32>> damage = {{24, -5}, {24, 0x7fffffff}, {24 + 8, -1},
                                                  {24 + 8, 0x7ffffff0}, {20, -3}, {20, 1000000}};
        for (const auto& [at, value] : damage) {
            QByteArray bad = good;
            for (int i = 0; i < 4; ++i)
                bad[at + i] = char((quint32(value) >> (8 * i)) & 0xff);
            QVERIFY(sq::test::writeFile(c.file(), bad));
            TThumb t;
            t.setPath(c.dir.filePath(QStringLiteral("thumb")));
            t.setFileName(QStringLiteral("cache"));
            QByteArray data;
            const bool hit = t.Find(a, data);
            if (at != 20) // a wrong count alone leaves the entry readable
                QVERIFY(!hit);
            QStringList list{a};
            t.DeleteList(list); // must not crash or throw for a cache file
        }
    }

    void staysBelowTwoGigabytes()
    {
        Cache c;
        const QString a = c.picture(QStringLiteral("a.jpg"));
        c.add(a, "A");
        // Make the one entry's data reach just below 2^31 bytes, sparsely.
        QByteArray bytes = sq::test::readFile(c.file());
        const qint64 target = (qint64(1) << 31) - 100;
        const qint32 dataLength = qint32(target - bytes.size() + 1);
        for (int i = 0; i < 4; ++i)
            bytes[24 + 8 + i] = char((quint32(dataLength) >> (8 * i)) & 0xff);
        QVERIFY(sq::test::writeFile(c.file(), bytes));
        QVERIFY(::truncate(QFile::encodeName(c.file()).constData(), target) == 0);
        // The file was rewritten in place behind the cache's back: a fresh
        // object reads it as it now is.
        TThumb fresh;
        fresh.setPath(c.dir.filePath(QStringLiteral("thumb")));
        fresh.setFileName(QStringLiteral("cache"));
        const QString b = c.picture(QStringLiteral("b.jpg"));
        fresh.Add(b, QByteArray(1000, 'b'));
        QCOMPARE(QFileInfo(c.file()).size(), target);
        QByteArray data;
        QVERIFY(!fresh.Find(b, data));
        fresh.Add(b, "tiny"); // still fits below 2^31
        QVERIFY(fresh.Find(b, data));
        QCOMPARE(data, QByteArray("tiny"));
        QVERIFY(QFileInfo(c.file()).size() < (qint64(1) << 31));
    }

    void unwritableFolder()
    {
        if (::geteuid() == 0)
            QSKIP("root writes into read-only folders; nothing to test");
        Cache c;
        QVERIFY(QFile::setPermissions(c.dir.filePath(QStringLiteral("thumb")), QFile::ReadOwner | QFile::ExeOwner));
        const QString a = c.picture(QStringLiteral("a.jpg"));
        c.add(a, "A");
        QVERIFY(!c.find(a));
    }
};

QTEST_GUILESS_MAIN(TstThumb)
#include "tst_thumb.moc"
