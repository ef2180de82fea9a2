#include "engine/ImgUtils_thumb.h"
#include "tests/engine/ThumbFolders.h"
#include "tests/support/FileDamage.h"
#include "tests/support/HostileFiles.h"
#include "tests/support/TestFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <memory>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace sq::test;

Q_DECLARE_METATYPE(Hostile)

class TstThumb : public QObject, public ThumbFolders
{
    Q_OBJECT

private Q_SLOTS:
    void init() { QVERIFY(makeFolders()); }

    void firstAddWritesTheFileByteForByte()
    {
        TThumb t;
        setUp(t);
        const double before = TThumb::now();
        addPicture(t, 3);
        const QByteArray f = readFile(cacheFile());
        const QByteArray name = picture(3).toUtf8();
        const QByteArray data = thumbBytes(3);
        QCOMPARE(f.size(), 24 + 56 + name.size() + data.size());
        QCOMPARE(i32At(f, 0), 127);
        QCOMPARE(i32At(f, 4), 103);
        QCOMPARE(f.mid(8, 10), QByteArray(10, '\0'));
        QCOMPARE(i32At(f, 20), 1);
        const int r = 24;
        QCOMPARE(i32At(f, r + 0), name.size());
        QCOMPARE(i32At(f, r + 4), 0);
        QCOMPARE(i32At(f, r + 8), data.size());
        QCOMPARE(i32At(f, r + 12), 103);
        QCOMPARE(i32At(f, r + 16), 53);
        QCOMPARE(i32At(f, r + 20), 0);
        QVERIFY(f64At(f, r + 24) >= before && f64At(f, r + 24) <= TThumb::now());
        QCOMPARE(f64At(f, r + 32), TThumb::fileDateOf(picture(3)));
        QCOMPARE(i32At(f, r + 40), 103);
        QCOMPARE(i32At(f, r + 44), 4003);
        QCOMPARE(i32At(f, r + 48), 3003);
        QCOMPARE(i32At(f, r + 52), 0);
        QCOMPARE(f.mid(r + 56, name.size()), name);
        QCOMPARE(f.mid(r + 56 + name.size()), data);

        TThumb fresh;
        setUp(fresh);
        QVERIFY(finds(fresh, 3));
        // Names are compared as the file system does: another case is
        // another file.
        QByteArray got;
        QVERIFY(!fresh.Find(picture(3).toUpper(), got));
        QVERIFY(got.isEmpty());
    }

    void dateTimesAreLocalDaysSince1899()
    {
        // 1 January 2000 12:00 local time is day 36526.5.
        const QDateTime noon(QDate(2000, 1, 1), QTime(12, 0), Qt::LocalTime);
        QCOMPARE(TThumb::toDateTime(noon.toMSecsSinceEpoch()), 36526.5);
        const qint64 ms = noon.toMSecsSinceEpoch() + 1500;
        QVERIFY(setModifiedTime(picture(1), ms));
        QCOMPARE(TThumb::fileDateOf(picture(1)), TThumb::toDateTime(ms));
    }

    void deletingTheOnlyEntryRemovesTheFile()
    {
        TThumb t;
        setUp(t);
        addPicture(t, 0);
        QVERIFY(!t.Delete(picture(5)));
        QVERIFY(QFile::exists(cacheFile()));
        QVERIFY(t.Delete(picture(0)));
        QVERIFY(!QFile::exists(cacheFile()));
        QVERIFY(noTempFiles());
        QVERIFY(!t.Delete(picture(0)));
        QVERIFY(!finds(t, 0));
    }

    void rewriteReplacesTheFileAndKeepsTheRest()
    {
        TThumb t, other;
        setUp(t);
        setUp(other);
        for (int i = 0; i < 5; ++i)
            addPicture(t, i);
        QVERIFY(finds(t, 4)); // t's index now covers the whole file
        const ino_t before = inodeOf(cacheFile());
        QVERIFY(other.Delete(picture(2)));
        QVERIFY(inodeOf(cacheFile()) != before);
        QVERIFY(noTempFiles());
        QCOMPARE(i32At(readFile(cacheFile()), 20), 4);
        // t notices the new file and does not trust its old positions.
        for (int i = 0; i < 5; ++i)
            QCOMPARE(finds(t, i), i != 2);
        addPicture(other, 2);
        QVERIFY(finds(t, 2));
        QVERIFY(finds(other, 4));
    }

    void foreignFileIsMovedAside_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QByteArray header(24, '\0');
        header[0] = 126;
        QTest::newRow("magic 126") << header;
        QTest::newRow("zero header") << QByteArray(24, '\0');
        QTest::newRow("text") << QByteArray("This is not a thumbnail cache file at all.");
        QTest::newRow("short foreign") << QByteArray("ab");
        QByteArray bigEndian(100, '\0');
        bigEndian[3] = 127;
        QTest::newRow("big-endian magic") << bigEndian;
        QByteArray noise(5000, '\0');
        quint32 x = 12345;
        for (char& c : noise)
            c = char((x = x * 1103515245u + 12345u) >> 24);
        QTest::newRow("random bytes") << noise;
    }
    void foreignFileIsMovedAside()
    {
        QFETCH(QByteArray, bytes);
        const QString bad = cacheFile() + QStringLiteral(".bad");
        QVERIFY(writeFile(cacheFile(), bytes));
        QVERIFY(writeFile(bad, "an older damaged cache"));
        TThumb t;
        setUp(t);
        // A lookup leaves it alone; the deletions say what it is.
        QByteArray got;
        QVERIFY(!t.Find(picture(0), got));
        QStringList list{picture(0), picture(1)};
        try {
            t.DeleteList(list);
            QFAIL("DeleteList accepted a foreign file");
        } catch (const EThumbError& e) {
            QCOMPARE(e.message(),
                     cacheFile() + QStringLiteral("\r\n  はサムネイルファイルではありません"));
            QCOMPARE(QString::fromUtf8(e.what()), e.message());
        }
        QVERIFY_THROWS_EXCEPTION(EThumbError, t.Delete(picture(0)));
        QCOMPARE(readFile(cacheFile()), bytes);
        // The first Add keeps it as .bad (replacing the older one) and starts
        // a fresh cache, which works from then on.
        addPicture(t, 0);
        QCOMPARE(readFile(bad), bytes);
        QVERIFY(finds(t, 0));
        addPicture(t, 1);
        TThumb other;
        setUp(other);
        QVERIFY(finds(other, 0));
        QVERIFY(finds(other, 1));
        QCOMPARE(i32At(readFile(cacheFile()), 20), 2);
        QVERIFY(noTempFiles());
    }

    void somethingElseInTheWayTurnsTheCacheOffForTheRun_data()
    {
        QTest::addColumn<Hostile>("kind");
        QTest::newRow("folder") << Hostile::Folder;
        QTest::newRow("fifo") << Hostile::Fifo;
        QTest::newRow("/dev/zero") << Hostile::DevZero;
    }
    void somethingElseInTheWayTurnsTheCacheOffForTheRun()
    {
        QFETCH(Hostile, kind);
        QVERIFY(makeHostile(kind, cacheFile()));
        static QStringList warnings;
        warnings.clear();
        const QtMessageHandler previous = qInstallMessageHandler(
            [](QtMsgType type, const QMessageLogContext&, const QString& text) {
                if (type == QtWarningMsg) warnings << text;
            });
        {
            HangGuard guard(60, hostileName(kind));
            TThumb t;
            setUp(t);
            QByteArray got;
            QVERIFY(!t.Find(picture(0), got));
            addPicture(t, 0);
            addPicture(t, 1);
            QVERIFY(!t.Find(picture(0), got));
            QStringList list{picture(0)};
            QVERIFY(!t.DeleteList(list));
            // Said once, naming the file.
            QCOMPARE(warnings.size(), 1);
            QVERIFY(warnings.first().contains(cacheFile()));
            // Off for this object even once the way is clear; the next
            // start (a new object) caches again.
            if (kind == Hostile::Folder)
                QVERIFY(QDir(cacheFile()).removeRecursively());
            else
                QVERIFY(QFile::remove(cacheFile()));
            addPicture(t, 2);
            QVERIFY(!QFile::exists(cacheFile()));
            TThumb next;
            setUp(next);
            addPicture(next, 2);
            QVERIFY(finds(next, 2));
        }
        qInstallMessageHandler(previous);
        QCOMPARE(warnings.size(), 1);
    }

    void processesShareOneCache()
    {
        // Real processes writing one cache at once: three append entries of
        // their own, a fourth appends and then deletes every other one of
        // its own (each a rewrite of the whole file). No entry of another
        // process may be lost, and the header must count the records.
        constexpr int kAdders = 3, kEach = 30, kRounds = 3;
        QStringList names;
        auto nameOf = [&](int proc, int i) {
            return m_picDir + QStringLiteral("c%1_%2.jpg").arg(proc).arg(i);
        };
        for (int proc = 0; proc <= kAdders; ++proc)
            for (int i = 0; i < kEach; ++i)
                QVERIFY(writeFile(nameOf(proc, i), QByteArray(10 + i, 'p')));
        for (int round = 0; round < kRounds; ++round) {
            QFile::remove(cacheFile());
            int gate[2];
            QCOMPARE(::pipe(gate), 0);
            std::vector<pid_t> children;
            for (int proc = 0; proc <= kAdders; ++proc) {
                const pid_t pid = ::fork();
                QVERIFY(pid >= 0);
                if (pid == 0) {
                    ::close(gate[1]);
                    char go;
                    const bool started = ::read(gate[0], &go, 1) == 1;
                    int code = started ? 0 : 2;
                    try {
                        TThumb t;
                        setUp(t);
                        for (int i = 0; i < kEach; ++i) {
                            t.currentEntry().pictureWidth = proc * 1000 + i;
                            t.Add(nameOf(proc, i), thumbBytes(proc * kEach + i));
                        }
                        if (proc == kAdders)
                            for (int i = 1; i < kEach; i += 2)
                                t.Delete(nameOf(proc, i));
                    } catch (...) {
                        code = 1;
                    }
                    ::_exit(code);
                }
                children.push_back(pid);
            }
            ::close(gate[0]);
            QCOMPARE(::write(gate[1], "gogo", children.size()), ssize_t(children.size()));
            ::close(gate[1]);
            for (pid_t pid : children) {
                int status = 0;
                QCOMPARE(::waitpid(pid, &status, 0), pid);
                QVERIFY(WIFEXITED(status));
                QCOMPARE(WEXITSTATUS(status), 0);
            }

            // Walk the file as it is on disk.
            const QByteArray f = readFile(cacheFile());
            QVERIFY(f.size() >= 24);
            QStringList onDisk;
            qint64 at = 24;
            while (at + 56 <= f.size()) {
                const qint32 nameLength = i32At(f, int(at)), dataLength = i32At(f, int(at) + 8);
                onDisk << QString::fromUtf8(f.mid(at + 56, nameLength));
                at += 56 + nameLength + dataLength;
            }
            QCOMPARE(at, qint64(f.size()));
            QCOMPARE(i32At(f, 20), int(onDisk.size()));
            QStringList expected;
            for (int proc = 0; proc <= kAdders; ++proc)
                for (int i = 0; i < kEach; ++i)
                    if (proc < kAdders || i % 2 == 0) expected << nameOf(proc, i);
            onDisk.sort();
            expected.sort();
            QCOMPARE(onDisk, expected);
            TThumb reader;
            setUp(reader);
            for (int proc = 0; proc <= kAdders; ++proc)
                for (int i = 0; i < kEach; i += 7) {
                    QByteArray got;
                    QCOMPARE(reader.Find(nameOf(proc, i), got), proc < kAdders || i % 2 == 0);
                    if (!got.isEmpty()) QCOMPARE(got, thumbBytes(proc * kEach + i));
                }
            QVERIFY(noTempFiles());
        }
    }

    void appNameIsCutAtACharacterBoundary_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("stored");
        QTest::newRow("12 single bytes")
            << QStringLiteral("abcdefghijkl") << QByteArray("abcdefghij");
        QTest::newRow("exactly 10") << QStringLiteral("abcdefghij") << QByteArray("abcdefghij");
        QTest::newRow("short") << QStringLiteral("sq") << QByteArray("sq");
        QTest::newRow("empty") << QString() << QByteArray();
        // "あ" is three bytes of UTF-8.
        QTest::newRow("char at 10th byte")
            << QStringLiteral("abcdefghiあ") << QByteArray("abcdefghi");
        QTest::newRow("char at 9th byte") << QStringLiteral("abcdefghあ") << QByteArray("abcdefgh");
        QTest::newRow("char ends at 10")
            << QStringLiteral("abcdefgあ") << QStringLiteral("abcdefgあ").toUtf8();
        QTest::newRow("four-byte char") << QStringLiteral("abcdefg😀") << QByteArray("abcdefg");
    }
    void appNameIsCutAtACharacterBoundary()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, stored);
        TThumb t;
        setUp(t);
        t.setAppName(name);
        QCOMPARE(t.AppName().toUtf8(), stored);
        addPicture(t, 0);
        QCOMPARE(readFile(cacheFile()).mid(8, 10), stored.leftJustified(10, '\0'));
    }

    void cacheFileNameFollowsPathType_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QStringList>("env"); // name=value pairs; value "-" unsets
        QTest::addColumn<QString>("expected");
        const QStringList none;
        QTest::newRow("free, slash added")
            << int(iptFree) << QString() << none << QStringLiteral("/var/c/prog.dat");
        QTest::newRow("free, own name") << int(iptFree) << QStringLiteral("thumbs") << none
                                        << QStringLiteral("/var/c/thumbs.dat");
        QTest::newRow("free, own extension") << int(iptFree) << QStringLiteral("t.cache") << none
                                             << QStringLiteral("/var/c/t.cache");
        QTest::newRow("app") << int(iptApp) << QString() << none
                             << QStringLiteral("/opt/sq/prog.dat");
        QTest::newRow("folder") << int(iptFolder) << QString() << none
                                << QStringLiteral("/home/u/pics/prog.dat");
        QTest::newRow("win = xdg cache")
            << int(iptWin) << QString() << QStringList{QStringLiteral("XDG_CACHE_HOME=/xc/")}
            << QStringLiteral("/xc/prog.dat");
        QTest::newRow("win = ~/.cache")
            << int(iptWin) << QString()
            << QStringList{QStringLiteral("XDG_CACHE_HOME=-"), QStringLiteral("HOME=/home/u")}
            << QStringLiteral("/home/u/.cache/prog.dat");
        QTest::newRow("temp = TEMP")
            << int(iptTemp) << QString()
            << QStringList{QStringLiteral("TEMP=/t1/"), QStringLiteral("TMPDIR=/t2")}
            << QStringLiteral("/t1/prog.dat");
        QTest::newRow("temp = TMPDIR")
            << int(iptTemp) << QString()
            << QStringList{QStringLiteral("TEMP=-"), QStringLiteral("TMPDIR=/t2")}
            << QStringLiteral("/t2/prog.dat");
        QTest::newRow("temp = /tmp")
            << int(iptTemp) << QString()
            << QStringList{QStringLiteral("TEMP=-"), QStringLiteral("TMPDIR=-")}
            << QStringLiteral("/tmp/prog.dat");
    }
    void cacheFileNameFollowsPathType()
    {
        QFETCH(int, type);
        QFETCH(QString, fileName);
        QFETCH(QStringList, env);
        QFETCH(QString, expected);
        QList<QPair<QByteArray, QByteArray>> saved;
        for (const QString& kv : env) {
            const QByteArray key = kv.section(QLatin1Char('='), 0, 0).toUtf8();
            const QByteArray value = kv.section(QLatin1Char('='), 1).toUtf8();
            saved.append({key, qgetenv(key.constData())});
            if (value == "-")
                qunsetenv(key.constData());
            else
                qputenv(key.constData(), value);
        }
        TThumb t;
        t.setPath(QStringLiteral("/var/c"));
        t.setAppFolder(QStringLiteral("/opt/sq/"));
        t.setExeName(QStringLiteral("prog"));
        t.setFileName(fileName);
        t.setPathType(TPathType(type));
        QCOMPARE(t.CacheFileName(QStringLiteral("/home/u/pics/a.jpg")), expected);
        for (const auto& kv : saved) {
            if (kv.second.isNull())
                qunsetenv(kv.first.constData());
            else
                qputenv(kv.first.constData(), kv.second);
        }
    }

    void folderTypeKeepsOneFilePerFolder()
    {
        const QString a = m_tmp.path() + QStringLiteral("/a/x.jpg");
        const QString b = m_tmp.path() + QStringLiteral("/b/y.jpg");
        QVERIFY(writeFile(a, "1"));
        QVERIFY(writeFile(b, "2"));
        TThumb t;
        t.setPathType(iptFolder);
        t.setFileName(QStringLiteral("thumbs"));
        t.Add(a, "aa");
        t.Add(b, "bbb");
        QCOMPARE(i32At(readFile(m_tmp.path() + QStringLiteral("/a/thumbs.dat")), 20), 1);
        QCOMPARE(i32At(readFile(m_tmp.path() + QStringLiteral("/b/thumbs.dat")), 20), 1);
        QByteArray got;
        QVERIFY(t.Find(b, got));
        QCOMPARE(got, QByteArray("bbb"));
        // DeleteList works folder by folder; both files empty out and go.
        QStringList list{b, a};
        QVERIFY(t.DeleteList(list));
        QCOMPARE(list, (QStringList{a, b}));
        QVERIFY(!QFile::exists(m_tmp.path() + QStringLiteral("/a/thumbs.dat")));
        QVERIFY(!QFile::exists(m_tmp.path() + QStringLiteral("/b/thumbs.dat")));
    }

    void deleteFilesComparesNamesExactly()
    {
        TThumb t;
        setUp(t);
        addPicture(t, 0);
        addPicture(t, 1);
        addPicture(t, 2);
        const QStringList list{picture(0).toUpper(), picture(1), picture(7)};
        QVERIFY(t.DeleteFiles(list));
        QCOMPARE(list.first(), picture(0).toUpper()); // not lower-cased
        QVERIFY(finds(t, 0));
        QVERIFY(!finds(t, 1));
        QVERIFY(finds(t, 2));
        QCOMPARE(i32At(readFile(cacheFile()), 20), 2);
        QVERIFY(!t.DeleteFiles({}));
    }

    void activeKeepsTheFileOpen()
    {
        TThumb t;
        setUp(t);
        t.setActive(true);
        for (int i = 0; i < 4; ++i)
            addPicture(t, i);
        for (int i = 0; i < 4; ++i)
            QVERIFY(finds(t, i));
        QVERIFY(t.Delete(picture(1)));
        QVERIFY(t.Active());
        QVERIFY(!finds(t, 1));
        QVERIFY(finds(t, 3));
        t.setActive(false);
        TThumb other;
        setUp(other);
        QVERIFY(finds(other, 0));
        QVERIFY(finds(other, 3));
    }

    void damagedLengthsAreMisses_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<qint32>("value");
        QTest::newRow("negative name length") << 0 << qint32(-5);
        QTest::newRow("name past the end") << 0 << qint32(1 << 30);
        QTest::newRow("negative data length") << 8 << qint32(-1);
        QTest::newRow("data past the end") << 8 << qint32(0x7fffffff);
        QTest::newRow("data a little too long") << 8 << qint32(4000);
    }
    void damagedLengthsAreMisses()
    {
        QFETCH(int, field);
        QFETCH(qint32, value);
        {
            TThumb t;
            setUp(t);
            for (int i = 0; i < 3; ++i)
                addPicture(t, i);
        }
        const QByteArray f = readFile(cacheFile());
        const qint64 second = 24 + 56 + picture(0).toUtf8().size() + thumbBytes(0).size();
        QByteArray v(4, '\0');
        qToLittleEndian<qint32>(value, v.data());
        QVERIFY(patchFile(cacheFile(), second + field, v));
        TThumb t;
        setUp(t);
        QVERIFY(finds(t, 0));
        QVERIFY(!finds(t, 1));
        QVERIFY(!finds(t, 2));
        QStringList list{picture(0)};
        QVERIFY(t.DeleteList(list)); // drops the one whole entry and the damaged rest
        QVERIFY(!finds(t, 0));
        QVERIFY(!QFile::exists(cacheFile())); // nothing whole was left
        addPicture(t, 2);
        QVERIFY(finds(t, 2));
    }

    // Cuts the file at every byte: every entry wholly before the cut stays
    // findable, and Adds after the damage are findable again. The header
    // either still counts every entry (the cut hit old entries) or counts
    // only the whole ones (an Add cut short, entry written before count).
    void cutAtAnyByteKeepsEarlierEntries_data()
    {
        QTest::addColumn<bool>("recount");
        QTest::newRow("header counts all") << false;
        QTest::newRow("header counts whole entries") << true;
    }
    void cutAtAnyByteKeepsEarlierEntries()
    {
        QFETCH(bool, recount);
        const int n = 5;
        QList<qint64> ends;
        {
            TThumb t;
            setUp(t);
            for (int i = 0; i < n; ++i) {
                addPicture(t, i);
                ends << QFileInfo(cacheFile()).size();
            }
        }
        const QByteArray whole = readFile(cacheFile());
        int checked = 0;
        for (qint64 cut = 0; cut <= whole.size(); ++cut) {
            QVERIFY(writeFile(cacheFile(), whole.left(cut)));
            int wholeEntries = 0;
            while (wholeEntries < n && ends[wholeEntries] <= cut)
                ++wholeEntries;
            if (recount && cut >= 24) {
                QByteArray c(4, '\0');
                qToLittleEndian<qint32>(wholeEntries, c.data());
                QVERIFY(patchFile(cacheFile(), 20, c));
            }
            TThumb t;
            setUp(t);
            for (int i = 0; i < n; ++i)
                QVERIFY2(finds(t, i) == (i < wholeEntries),
                         qPrintable(QStringLiteral("cut %1 entry %2").arg(cut).arg(i)));
            addPicture(t, 10);
            addPicture(t, 11);
            QVERIFY2(finds(t, 10) && finds(t, 11), qPrintable(QStringLiteral("cut %1").arg(cut)));
            TThumb again;
            setUp(again);
            for (int i = 0; i < n; ++i)
                QVERIFY(finds(again, i) == (i < wholeEntries));
            QVERIFY(finds(again, 10) && finds(again, 11));
            QCOMPARE(i32At(readFile(cacheFile()), 20), wholeEntries + 2);
            ++checked;
        }
        QCOMPARE(checked, whole.size() + 1);
    }

    void fileStaysBelow2GiB()
    {
        // A sparse file of one entry whose data ends 40 bytes short of the
        // limit: no further entry fits.
        const QByteArray name = picture(0).toUtf8();
        const qint64 size = TThumb::MaxFileSize - 40;
        QByteArray head(24 + 56, '\0');
        qToLittleEndian<qint32>(127, head.data());
        qToLittleEndian<qint32>(103, head.data() + 4);
        qToLittleEndian<qint32>(1, head.data() + 20);
        qToLittleEndian<qint32>(name.size(), head.data() + 24);
        qToLittleEndian<qint32>(qint32(size - 24 - 56 - name.size()), head.data() + 24 + 8);
        QVERIFY(writeFile(cacheFile(), head + name));
        if (!truncateFile(cacheFile(), size)) QSKIP("no sparse files here");
        TThumb t;
        setUp(t);
        t.Add(picture(1), QByteArray(1, 'z'));
        QCOMPARE(QFileInfo(cacheFile()).size(), size);
        QVERIFY(!finds(t, 1));
        QCOMPARE(i32At(readFile(cacheFile()).left(24), 20), 1);
    }

    void unwritableFolderLeavesEverythingAsItWas()
    {
        TThumb t;
        setUp(t);
        addPicture(t, 0);
        addPicture(t, 1);
        const QByteArray before = readFile(cacheFile());
        if (!makeReadOnlyFolder(m_thumbDir)) {
            makeWritableFolder(m_thumbDir);
            QSKIP("this user writes into read-only folders (root)");
        }
        QVERIFY(!t.Delete(picture(0)));
        QVERIFY(finds(t, 0));
        makeWritableFolder(m_thumbDir);
        QCOMPARE(readFile(cacheFile()), before);
    }

    // With SQ_FUZZ_SEEDS set, writes small cache files for the fuzz target's
    // corpus: its pictures live in /tmp/sq-fuzz-thumb/ at a fixed time.
    void writesFuzzSeeds()
    {
        const QString out = qEnvironmentVariable("SQ_FUZZ_SEEDS");
        if (out.isEmpty()) QSKIP("SQ_FUZZ_SEEDS not set");
        const QString dir = QStringLiteral("/tmp/sq-fuzz-thumb/");
        QDir().mkpath(dir);
        QDir().mkpath(out);
        const QStringList pics{dir + QStringLiteral("a.jpg"), dir + QStringLiteral("b.jpg")};
        for (const QString& p : pics) {
            QVERIFY(writeFile(p, "x"));
            QVERIFY(setModifiedTime(p, 1577836800000));
        }
        for (int n = 1; n <= 3; ++n) {
            QFile::remove(dir + QStringLiteral("c.dat"));
            TThumb t;
            t.setPath(dir);
            t.setFileName(QStringLiteral("c"));
            t.setAppName(QStringLiteral("sorrelqu"));
            for (int i = 0; i < n; ++i)
                t.Add(pics[i % 2], thumbBytes(i));
            QVERIFY(QFile::copy(dir + QStringLiteral("c.dat"),
                                out + QStringLiteral("/seed%1.dat").arg(n)));
        }
    }
};

QTEST_GUILESS_MAIN(TstThumb)
#include "tst_thumb.moc"
