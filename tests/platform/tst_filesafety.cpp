// The file operations where path strings mislead: names too long for the
// trash's info files, a folder copied into itself through a bind mount, and
// the leftovers of a paste that was killed.
#include "platform/AtomicFile.h"
#include "platform/FileOps.h"
#include "platform/FileSafety.h"
#include "platform/NativePath.h"
#include "platform/PathOps.h"
#include "tests/support/HostileFiles.h"
#include "tests/support/RawNames.h"
#include "tests/support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace pw = sq::platform;
using sq::test::namesAt;
using sq::test::readFile;
using sq::test::writeFile;

namespace {

bool isUtf8(const QByteArray& bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(bytes); // decodes only when converted
    return !utf8.hasError();
}

QByteArray repeated(const char* piece, int times)
{
    QByteArray out;
    for (int i = 0; i < times; ++i)
        out += piece;
    return out;
}

// A process id that is certainly not running now: a child that has ended.
pid_t deadPid()
{
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    int status = 0;
    ::waitpid(child, &status, 0);
    return child;
}

QByteArray bootTagNow()
{
    QByteArray id = readFile(QStringLiteral("/proc/sys/kernel/random/boot_id"));
    id.replace("-", "");
    return id.left(8);
}

// Kills its own process at the first piece of bytes copied: a paste that
// dies as kill -9 ends it, with its temporary copy half written.
class DyingPrompt : public pw::QuietFileOpPrompt
{
public:
    void stepProgress(qint64) override { ::raise(SIGKILL); }
};

} // namespace

class TstFileSafety : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void trashSlotName_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<int>("n");
        QTest::addColumn<QByteArray>("slot");
        QTest::newRow("short") << QByteArray("a.jpg") << 1 << QByteArray("a.jpg");
        QTest::newRow("short, second") << QByteArray("a.jpg") << 2 << QByteArray("a.jpg.2");
        QTest::newRow("245 bytes fit") << QByteArray(245, 'x') << 1 << QByteArray(245, 'x');
        QTest::newRow("250 ASCII")
            << QByteArray(246, 'a') + ".jpg" << 1 << QByteArray(241, 'a') + ".jpg";
        QTest::newRow("250 ASCII, third")
            << QByteArray(246, 'a') + ".jpg" << 3 << QByteArray(239, 'a') + "~3.jpg";
        // 82 three-byte characters: the cut falls between characters.
        QTest::newRow("UTF-8 250")
            << repeated("あ", 82) + ".jpg" << 1 << repeated("あ", 80) + ".jpg";
        QTest::newRow("UTF-8 250, 12th")
            << repeated("あ", 82) + ".jpg" << 12 << repeated("あ", 79) + "~12.jpg";
        QTest::newRow("not UTF-8: cut by bytes")
            << repeated("\xe3\x81", 125) << 1 << repeated("\xe3\x81", 122) + "\xe3";
        QTest::newRow("long extension is no extension")
            << QByteArray(200, 'a') + "." + QByteArray(60, 'b') << 1
            << QByteArray(200, 'a') + "." + QByteArray(44, 'b');
        QTest::newRow("dot first is no extension")
            << "." + QByteArray(255, 'h') << 1 << "." + QByteArray(244, 'h');
    }
    void trashSlotName()
    {
        QFETCH(QByteArray, name);
        QFETCH(int, n);
        QFETCH(QByteArray, slot);
        const QByteArray got = pw::trashSlotName(name, n);
        QCOMPARE(got, slot);
        QVERIFY((got + ".trashinfo").size() <= 255);
        if (isUtf8(name)) QVERIFY(isUtf8(got));
    }

    // Names of 246 bytes and more go to the trash under a shorter name; the
    // info file keeps the whole original path, and two such names that
    // differ only past the cut get slots of their own.
    void longNameToTrash_data()
    {
        QTest::addColumn<QByteArray>("first");
        QTest::addColumn<QByteArray>("second");
        QTest::newRow("ASCII 250")
            << QByteArray(246, 'a') + ".jpg" << QByteArray(245, 'a') + "b.jpg";
        QTest::newRow("UTF-8 250") << repeated("写", 82) + ".jpg" << repeated("写", 81) + "真.jpg";
        QTest::newRow("255 bytes, no extension")
            << QByteArray(255, 'z') << QByteArray(254, 'z') + "y";
    }
    void longNameToTrash()
    {
        QFETCH(QByteArray, first);
        QFETCH(QByteArray, second);
        sq::test::RawTempDir dir;
        const QByteArray root = dir.bytes();
        const QByteArray oldData = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", root + "/share");
        QVERIFY(sq::test::writeFileAt(root + "/pics/" + first, "one"));
        QVERIFY(sq::test::writeFileAt(root + "/pics/" + second, "two"));
        pw::QuietFileOpPrompt prompt;
        const auto r = pw::moveToTrash({pw::pathFromNative(root + "/pics/" + first),
                                        pw::pathFromNative(root + "/pics/" + second)},
                                       prompt);
        qputenv("XDG_DATA_HOME", oldData);
        QVERIFY2(prompt.errors.empty(),
                 qPrintable(prompt.errors.empty() ? QString() : pw::errorText(prompt.errors[0])));
        QCOMPARE(r.done, 2);
        QCOMPARE(namesAt(root + "/pics"), QList<QByteArray>());
        const QList<QByteArray> files = namesAt(root + "/share/Trash/files");
        QCOMPARE(files.size(), 2);
        const QByteArray originals[] = {first, second};
        const QByteArray contents[] = {"one", "two"};
        for (int i = 0; i < 2; ++i) {
            const QByteArray slot = pw::nativePath(pw::fileNameOf(r.targets.value(i)));
            QVERIFY(files.contains(slot));
            QVERIFY(slot.size() + 10 <= 255);
            QCOMPARE(sq::test::readFileAt(root + "/share/Trash/files/" + slot), contents[i]);
            const QByteArray info =
                sq::test::readFileAt(root + "/share/Trash/info/" + slot + ".trashinfo");
            const qsizetype at = info.indexOf("\nPath=");
            QVERIFY(at > 0);
            const QByteArray encoded = info.mid(at + 6, info.indexOf('\n', at + 1) - at - 6);
            QCOMPARE(QByteArray::fromPercentEncoding(encoded), root + "/pics/" + originals[i]);
        }
    }

    // A folder is never copied or moved into itself, also where the
    // target's path does not show it: a bind mount of the folder's own
    // subfolder. A sibling whose name starts like the folder's is fine.
    void intoItself_data()
    {
        QTest::addColumn<QString>("target"); // relative to the test folder
        QTest::addColumn<bool>("bind");      // view = a bind mount of album/sub
        QTest::addColumn<bool>("move");
        QTest::addColumn<bool>("refused");
        QTest::newRow("subfolder") << "album/sub" << false << false << true;
        QTest::newRow("itself") << "album" << false << false << true;
        QTest::newRow("sibling album-old") << "album-old" << false << false << false;
        QTest::newRow("sibling album-old, move") << "album-old" << false << true << false;
        QTest::newRow("bind mount of own subfolder") << "view" << true << false << true;
        QTest::newRow("bind mount of own subfolder, move") << "view" << true << true << true;
        QTest::newRow("inside the bind mount") << "view/deep" << true << false << true;
    }
    void intoItself()
    {
        QFETCH(QString, target);
        QFETCH(bool, bind);
        QFETCH(bool, move);
        QFETCH(bool, refused);
        QTemporaryDir dir;
        const QString album = dir.filePath(QStringLiteral("album"));
        QVERIFY(writeFile(album + "/a.jpg", "alpha"));
        QVERIFY(writeFile(album + "/sub/deep/b.jpg", "beta"));
        QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("album-old"))));
        std::unique_ptr<sq::test::BindMount> mount;
        if (bind) {
            mount = std::make_unique<sq::test::BindMount>(album + "/sub",
                                                          dir.filePath(QStringLiteral("view")));
            if (!mount->ok()) QSKIP("mount --bind is not permitted here");
        }
        pw::QuietFileOpPrompt prompt;
        const QString folder = dir.filePath(target);
        const auto r =
            move ? pw::moveInto({album}, folder, prompt) : pw::copyInto({album}, folder, prompt);
        if (refused) {
            QCOMPARE(r.done, 0);
            QCOMPARE(prompt.errors.size(), std::size_t(1));
            QCOMPARE(prompt.errors[0].kind, pw::FileOpError::IntoItself);
            // Nothing written anywhere inside the album.
            QCOMPARE(namesAt(QFile::encodeName(album)), (QList<QByteArray>{"a.jpg", "sub"}));
            QCOMPARE(namesAt(QFile::encodeName(album + "/sub")), QList<QByteArray>{"deep"});
            QCOMPARE(namesAt(QFile::encodeName(album + "/sub/deep")), QList<QByteArray>{"b.jpg"});
        } else {
            QVERIFY(r.ok());
            QCOMPARE(readFile(folder + "/album/sub/deep/b.jpg"), QByteArray("beta"));
            QCOMPARE(QFileInfo::exists(album), !move);
        }
    }

    // A loop inside the folder copied (album/loop is album again): the copy
    // does not walk into it a second time; the rest is copied.
    void copyDoesNotReenterItsFolder()
    {
        QTemporaryDir dir;
        const QString album = dir.filePath(QStringLiteral("album"));
        QVERIFY(writeFile(album + "/a.jpg", "alpha"));
        sq::test::BindMount mount(album, album + "/loop");
        if (!mount.ok()) QSKIP("mount --bind is not permitted here");
        QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("dst"))));
        pw::QuietFileOpPrompt prompt;
        const auto r = pw::copyInto({album}, dir.filePath(QStringLiteral("dst")), prompt);
        QCOMPARE(r.failed, 1);
        QCOMPARE(prompt.errors.size(), std::size_t(1));
        QCOMPARE(prompt.errors[0].kind, pw::FileOpError::IntoItself);
        QCOMPARE(prompt.errors[0].path, album + "/loop");
        QCOMPARE(readFile(dir.filePath(QStringLiteral("dst/album/a.jpg"))), QByteArray("alpha"));
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("dst/album/loop"))));
    }

    // The lock of a data folder: had when free, not had while another holder
    // keeps it (also in the same process: flock binds each open), never
    // taken through a link or on what is no regular file.
    void dataFolderLock_data()
    {
        QTest::addColumn<QString>("what");
        QTest::addColumn<bool>("locked");
        QTest::newRow("free") << "free" << true;
        QTest::newRow("held elsewhere") << "held" << false;
        QTest::newRow("link") << "link" << false;
        QTest::newRow("fifo") << "fifo" << false;
    }
    void dataFolderLock()
    {
        QFETCH(QString, what);
        QFETCH(bool, locked);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral(".sorrelquint.lock"));
        const QString target = dir.filePath(QStringLiteral("elsewhere"));
        std::unique_ptr<pw::FileLock> other;
        if (what == QLatin1String("held")) other = std::make_unique<pw::FileLock>(path);
        if (what == QLatin1String("link")) QVERIFY(QFile::link(target, path));
        if (what == QLatin1String("fifo"))
            QVERIFY(sq::test::makeHostile(sq::test::Hostile::Fifo, path));
        sq::test::HangGuard guard(60, QTest::currentDataTag());
        {
            const pw::FileLock lock(path, 100);
            QCOMPARE(lock.locked(), locked);
        }
        QVERIFY(!QFileInfo::exists(target));
        if (other) {
            QVERIFY(other->locked());
            other.reset();
            const pw::FileLock again(path, 100);
            QVERIFY(again.locked());
        }
    }

    // Each operation into a folder removes the dead temporaries there, of
    // any of the program's kinds (a link's, a saved file's), and keeps the
    // user's look-alikes.
    void operationsRemoveDeadTemps_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QByteArray>("prefix");
        QTest::newRow("copy, dead copy") << "copy" << QByteArray(".sqcopy-");
        QTest::newRow("move, dead link") << "move" << QByteArray(".sqlink-");
        QTest::newRow("link, dead link") << "link" << QByteArray(".sqlink-");
        QTest::newRow("link, dead save") << "link" << QByteArray(".sqsave-");
    }
    void operationsRemoveDeadTemps()
    {
        QFETCH(QString, operation);
        QFETCH(QByteArray, prefix);
        QTemporaryDir dir;
        const QString dst = dir.filePath(QStringLiteral("dst"));
        const QByteArray dead =
            prefix + bootTagNow() + "-" + QByteArray::number(qint64(deadPid())) + "-aB3xYz";
        QVERIFY(writeFile(dst + "/" + QString::fromLatin1(dead), "left"));
        QVERIFY(writeFile(dst + "/" + QString::fromLatin1(prefix) + "mine", "user"));
        QVERIFY(writeFile(dir.filePath(QStringLiteral("a.jpg")), "alpha"));
        pw::QuietFileOpPrompt prompt;
        const QStringList sources{dir.filePath(QStringLiteral("a.jpg"))};
        const auto r = operation == QLatin1String("copy")   ? pw::copyInto(sources, dst, prompt)
                       : operation == QLatin1String("move") ? pw::moveInto(sources, dst, prompt)
                                                            : pw::linkInto(sources, dst, prompt);
        QVERIFY(r.ok());
        QCOMPARE(namesAt(QFile::encodeName(dst)), (QList<QByteArray>{prefix + "mine", "a.jpg"}));
    }

    void deadTempNames_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<bool>("dead");
        const QByteArray boot = bootTagNow();
        const QByteArray dead = QByteArray::number(qint64(deadPid()));
        const QByteArray self = QByteArray::number(qint64(::getpid()));
        QTest::newRow("writer gone") << ".sqcopy-" + boot + "-" + dead + "-aB3xYz" << true;
        QTest::newRow("link temp, writer gone")
            << ".sqlink-" + boot + "-" + dead + "-aB3xYz" << true;
        QTest::newRow("made before this boot")
            << ".sqcopy-" + QByteArray(boot == "ffffffff" ? "eeeeeeee" : "ffffffff") + "-" + self +
                   "-aB3xYz"
            << true;
        QTest::newRow("this process") << ".sqcopy-" + boot + "-" + self + "-aB3xYz" << false;
        QTest::newRow("a live process") << ".sqcopy-" + boot + "-1-aB3xYz" << false;
        QTest::newRow("older temp name") << QByteArray(".sqcopy-aB3xYz") << false;
        QTest::newRow("user's file") << QByteArray(".sqcopy-notes.txt") << false;
        QTest::newRow("extra suffix") << ".sqcopy-" + boot + "-" + dead + "-aB3xYz.jpg" << false;
        QTest::newRow("seven letters") << ".sqcopy-" + boot + "-" + dead + "-aB3xYzz" << false;
        QTest::newRow("no dot") << "sqcopy-" + boot + "-" + dead + "-aB3xYz" << false;
        QTest::newRow("upper-case boot")
            << ".sqcopy-" + boot.toUpper() + "Z-" + dead + "-aB3xYz" << false;
        QTest::newRow("pid 0") << ".sqcopy-" + boot + "-0-aB3xYz" << false;
        QTest::newRow("other prefix") << ".sqmove-" + boot + "-" + dead + "-aB3xYz" << false;
    }
    void deadTempNames()
    {
        QFETCH(QByteArray, name);
        QFETCH(bool, dead);
        QCOMPARE(pw::isDeadTempName(name), dead);
    }

    // kill -9 during a paste leaves its hidden partial copy; the next paste
    // into that folder removes it, and nothing else: not a temporary copy
    // whose writer lives, not a user's file that only looks like one.
    void killedPasteLeftoversRemoved()
    {
        QTemporaryDir dir;
        const QString dst = dir.filePath(QStringLiteral("dst"));
        QVERIFY(writeFile(dir.filePath(QStringLiteral("album/a.jpg")), QByteArray(300000, 'a')));
        QVERIFY(writeFile(dir.filePath(QStringLiteral("album/b.jpg")), QByteArray(300000, 'b')));
        QVERIFY(QDir().mkpath(dst));
        const pid_t child = ::fork();
        if (child == 0) {
            DyingPrompt prompt;
            pw::copyInto({dir.filePath(QStringLiteral("album"))}, dst, prompt);
            ::_exit(0); // not reached: the copy kills it
        }
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
        const QList<QByteArray> left = namesAt(QFile::encodeName(dst));
        QCOMPARE(left.size(), 1);
        QVERIFY(left[0].startsWith(".sqcopy-"));
        QVERIFY(left[0].contains("-" + QByteArray::number(qint64(child)) + "-"));

        // Live temporaries (this process's own, and one of process 1) and
        // look-alikes of the user.
        QByteArray live = pw::tempPattern(dst, ".sqcopy-");
        QVERIFY(::mkdtemp(live.data()));
        const QByteArray ofInit = ".sqcopy-" + bootTagNow() + "-1-aB3xYz";
        QVERIFY(writeFile(dst + "/" + QString::fromLatin1(ofInit), "busy"));
        // One whose name says its writer is gone, but that a writer holds
        // (a process of another process id space).
        const QByteArray held =
            ".sqcopy-" + bootTagNow() + "-" + QByteArray::number(qint64(deadPid())) + "-hEld00";
        QVERIFY(writeFile(dst + "/" + QString::fromLatin1(held), "busy"));
        const int holder = pw::holdTemp(QFile::encodeName(dst) + "/" + held);
        QVERIFY(holder >= 0);
        const auto release = qScopeGuard([holder] { ::close(holder); });
        QVERIFY(writeFile(dst + "/.sqcopy-notes.txt", "mine"));
        QVERIFY(writeFile(dst + "/.sqcopy-aB3xYz", "mine too"));
        QVERIFY(writeFile(dir.filePath(QStringLiteral("c.jpg")), "gamma"));
        pw::QuietFileOpPrompt prompt;
        const auto r = pw::copyInto({dir.filePath(QStringLiteral("c.jpg"))}, dst, prompt);
        QVERIFY(r.ok());
        QList<QByteArray> expected{".sqcopy-aB3xYz",
                                   ".sqcopy-notes.txt",
                                   "c.jpg",
                                   ofInit,
                                   held,
                                   pw::nativePath(pw::fileNameOf(pw::pathFromNative(live)))};
        std::sort(expected.begin(), expected.end());
        QCOMPARE(namesAt(QFile::encodeName(dst)), expected);
        QCOMPARE(readFile(dst + "/.sqcopy-notes.txt"), QByteArray("mine"));
    }
};

QTEST_GUILESS_MAIN(TstFileSafety)
#include "tst_filesafety.moc"
