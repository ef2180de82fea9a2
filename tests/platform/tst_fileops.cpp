#include "platform/FileOps.h"
#include "platform/NativePath.h"
#include "tests/support/RawNames.h"
#include "tests/support/TestFiles.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <array>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace pw = sq::platform;
using pw::ConflictAnswer;
using sq::test::readFile;
using sq::test::writeFile;

Q_DECLARE_METATYPE(pw::ConflictAnswer)

namespace {
// Answers conflicts from a script and cancels after a number of progress
// steps, recording what it was asked.
class ScriptedPrompt : public pw::FileOpPrompt
{
public:
    ConflictAnswer answer = ConflictAnswer::Skip;
    bool applyToAll = false;
    int cancelAfterSteps = -1;
    int conflicts = 0, steps = 0, begins = 0, ends = 0;
    qint64 total = -1;
    std::vector<pw::FileOpError> errors;

    ConflictAnswer askConflict(const QString&, const QString&, bool& all) override
    {
        ++conflicts;
        all = applyToAll;
        return answer;
    }
    void reportError(const pw::FileOpError& e) override { errors.push_back(e); }
    void beginProgress(qint64 t) override
    {
        ++begins;
        total = t;
    }
    void stepProgress(qint64) override { ++steps; }
    bool cancelRequested() override { return cancelAfterSteps >= 0 && steps >= cancelAfterSteps; }
    void endProgress() override { ++ends; }
};

// Every file below root, relative, with its bytes; temporaries show up too.
QMap<QString, QByteArray> treeOf(const QString& root)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString rel = QDir(root).relativeFilePath(path);
        const QFileInfo& info = it.fileInfo();
        files.insert(rel, info.isSymLink() ? QByteArray("<link>")
                          : info.isDir()   ? QByteArray("<dir>")
                          : info.isFile()  ? readFile(path)
                                           : QByteArray("<special>"));
    }
    return files;
}

QByteArray nativePathOf(const QString& path)
{
    return pw::nativePath(path);
}

bool makeSample(const QString& root)
{
    return writeFile(root + "/src/a.jpg", "alpha") && writeFile(root + "/src/b c.bmp", "bravo") &&
           writeFile(root + "/src/album/one.jpg", "one") &&
           writeFile(root + "/src/album/deep/two.jpg", "two") && QDir().mkpath(root + "/dst");
}

bool sameDevice(const QString& a, const QString& b)
{
    struct stat sa, sb;
    return ::stat(QFile::encodeName(a), &sa) == 0 && ::stat(QFile::encodeName(b), &sb) == 0 &&
           sa.st_dev == sb.st_dev;
}

QByteArray bigBytes()
{
    return QByteArray(3 * 1024 * 1024 + 17, 'z');
}
} // namespace

class TstFileOps : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void copyAndMoveTrees_data()
    {
        QTest::addColumn<bool>("move");
        QTest::newRow("copy") << false;
        QTest::newRow("move") << true;
    }
    void copyAndMoveTrees()
    {
        QFETCH(bool, move);
        QTemporaryDir dir;
        QVERIFY(makeSample(dir.path()));
        const QString src = dir.path() + "/src";
        const auto before = treeOf(src);
        ::utimensat(AT_FDCWD, QFile::encodeName(src + "/a.jpg"),
                    std::array<timespec, 2>{{{1000, 0}, {1000000, 0}}}.data(), 0);
        ScriptedPrompt prompt;
        const QStringList sources{src + "/a.jpg", src + "/b c.bmp", src + "/album"};
        const auto r = move ? pw::moveInto(sources, dir.path() + "/dst", prompt)
                            : pw::copyInto(sources, dir.path() + "/dst", prompt);
        QVERIFY(r.ok());
        QCOMPARE(r.done, 3);
        QCOMPARE(r.targets.size(), 3);
        QCOMPARE(treeOf(dir.path() + "/dst"), before);
        QCOMPARE(treeOf(src).isEmpty(), move);
        QCOMPARE(QFileInfo(dir.path() + "/dst/a.jpg").lastModified().toSecsSinceEpoch(), 1000000);
        QCOMPARE(prompt.begins, 1);
        QCOMPARE(prompt.ends, 1);
        QCOMPARE(prompt.total, qint64(5 + 5 + 3 + 3));
        QVERIFY(prompt.errors.empty());
    }

    // A name conflict of a file: replace, skip or cancel; copy and move.
    void conflict_data()
    {
        QTest::addColumn<bool>("move");
        QTest::addColumn<ConflictAnswer>("answer");
        QTest::addColumn<QByteArray>("targetAfter");
        QTest::addColumn<bool>("sourceStays");
        QTest::addColumn<bool>("ok");
        QTest::newRow("copy replace")
            << false << ConflictAnswer::Replace << QByteArray("new") << true << true;
        QTest::newRow("copy skip")
            << false << ConflictAnswer::Skip << QByteArray("old") << true << true;
        QTest::newRow("copy cancel")
            << false << ConflictAnswer::Cancel << QByteArray("old") << true << false;
        QTest::newRow("move replace")
            << true << ConflictAnswer::Replace << QByteArray("new") << false << true;
        QTest::newRow("move skip")
            << true << ConflictAnswer::Skip << QByteArray("old") << true << true;
        QTest::newRow("move cancel")
            << true << ConflictAnswer::Cancel << QByteArray("old") << true << false;
    }
    void conflict()
    {
        QFETCH(bool, move);
        QFETCH(ConflictAnswer, answer);
        QFETCH(QByteArray, targetAfter);
        QFETCH(bool, sourceStays);
        QFETCH(bool, ok);
        QTemporaryDir dir;
        QVERIFY(writeFile(dir.path() + "/src/a.jpg", "new"));
        QVERIFY(writeFile(dir.path() + "/src/z.jpg", "zulu"));
        QVERIFY(writeFile(dir.path() + "/dst/a.jpg", "old"));
        ScriptedPrompt prompt;
        prompt.answer = answer;
        const QStringList sources{dir.path() + "/src/a.jpg", dir.path() + "/src/z.jpg"};
        const auto r = move ? pw::moveInto(sources, dir.path() + "/dst", prompt)
                            : pw::copyInto(sources, dir.path() + "/dst", prompt);
        QCOMPARE(prompt.conflicts, 1);
        QCOMPARE(r.ok(), ok);
        QCOMPARE(r.cancelled, answer == ConflictAnswer::Cancel);
        QCOMPARE(readFile(dir.path() + "/dst/a.jpg"), targetAfter);
        QCOMPARE(QFile::exists(dir.path() + "/src/a.jpg"), sourceStays);
        // Cancel stops before the next source; skip goes on with it.
        QCOMPARE(QFile::exists(dir.path() + "/dst/z.jpg"), answer != ConflictAnswer::Cancel);
        QCOMPARE(r.skipped, answer == ConflictAnswer::Skip ? 1 : 0);
        if (answer == ConflictAnswer::Cancel)
            QCOMPARE(treeOf(dir.path() + "/dst").keys(), QStringList{"a.jpg"});
    }

    void applyToAllAsksOnce()
    {
        QTemporaryDir dir;
        QVERIFY(makeSample(dir.path()));
        QVERIFY(writeFile(dir.path() + "/dst/album/one.jpg", "old one"));
        QVERIFY(writeFile(dir.path() + "/dst/album/deep/two.jpg", "old two"));
        QVERIFY(writeFile(dir.path() + "/dst/album/mine.jpg", "mine"));
        ScriptedPrompt prompt;
        prompt.answer = ConflictAnswer::Replace;
        prompt.applyToAll = true;
        const auto r = pw::copyInto({dir.path() + "/src/album"}, dir.path() + "/dst", prompt);
        QVERIFY(r.ok());
        QCOMPARE(prompt.conflicts, 1);
        QCOMPARE(readFile(dir.path() + "/dst/album/one.jpg"), QByteArray("one"));
        QCOMPARE(readFile(dir.path() + "/dst/album/deep/two.jpg"), QByteArray("two"));
        // Merging keeps what only the target had.
        QCOMPARE(readFile(dir.path() + "/dst/album/mine.jpg"), QByteArray("mine"));
    }

    void copyIntoOwnFolderMakesCopyNames()
    {
        QTemporaryDir dir;
        QVERIFY(writeFile(dir.path() + "/a.jpg", "alpha"));
        QVERIFY(writeFile(dir.path() + "/album/x.jpg", "x"));
        ScriptedPrompt prompt;
        QVERIFY(
            pw::copyInto({dir.path() + "/a.jpg", dir.path() + "/album"}, dir.path(), prompt).ok());
        QVERIFY(pw::copyInto({dir.path() + "/a.jpg"}, dir.path(), prompt).ok());
        QCOMPARE(prompt.conflicts, 0);
        QCOMPARE(readFile(dir.path() + "/a - コピー.jpg"), QByteArray("alpha"));
        QCOMPARE(readFile(dir.path() + "/a - コピー (2).jpg"), QByteArray("alpha"));
        QCOMPARE(readFile(dir.path() + "/album - コピー/x.jpg"), QByteArray("x"));
        QCOMPARE(readFile(dir.path() + "/a.jpg"), QByteArray("alpha"));
    }

    void moveOntoItselfDoesNothing()
    {
        QTemporaryDir dir;
        QVERIFY(makeSample(dir.path()));
        const auto before = treeOf(dir.path());
        ScriptedPrompt prompt;
        const auto r = pw::moveInto({dir.path() + "/src/a.jpg", dir.path() + "/src/album"},
                                    dir.path() + "/src/", prompt);
        QVERIFY(r.ok());
        QCOMPARE(prompt.conflicts, 0);
        QCOMPARE(treeOf(dir.path()), before);
    }

    void folderIntoItselfRefused_data()
    {
        QTest::addColumn<bool>("move");
        QTest::addColumn<QString>("into");
        QTest::newRow("copy into itself") << false << "src/album";
        QTest::newRow("copy into its subfolder") << false << "src/album/deep";
        QTest::newRow("move into its subfolder") << true << "src/album/deep";
        QTest::newRow("move into itself") << true << "src/album";
    }
    void folderIntoItselfRefused()
    {
        QFETCH(bool, move);
        QFETCH(QString, into);
        QTemporaryDir dir;
        QVERIFY(makeSample(dir.path()));
        const auto before = treeOf(dir.path());
        ScriptedPrompt prompt;
        const QString target = dir.path() + "/" + into;
        const auto r = move ? pw::moveInto({dir.path() + "/src/album"}, target, prompt)
                            : pw::copyInto({dir.path() + "/src/album"}, target, prompt);
        QVERIFY(!r.ok());
        QCOMPARE(r.failed, 1);
        QCOMPARE(int(prompt.errors.size()), 1);
        QCOMPARE(prompt.errors[0].kind, pw::FileOpError::IntoItself);
        QCOMPARE(treeOf(dir.path()), before);
    }

    // A sibling whose name starts with the folder's own is another folder:
    // "album" goes into "album-old" and back, copied or moved.
    void folderIntoNamesakeSibling_data()
    {
        QTest::addColumn<bool>("move");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("into");
        QTest::newRow("copy album into album-old") << false << "album"
                                                   << "album-old";
        QTest::newRow("move album into album-old") << true << "album"
                                                   << "album-old";
        QTest::newRow("copy album-old into album") << false << "album-old"
                                                   << "album";
        QTest::newRow("move album-old into album") << true << "album-old"
                                                   << "album";
        QTest::newRow("copy album into albumx/deep") << false << "album"
                                                     << "albumx/deep";
        QTest::newRow("move album into albumx/deep") << true << "album"
                                                     << "albumx/deep";
    }
    void folderIntoNamesakeSibling()
    {
        QFETCH(bool, move);
        QFETCH(QString, folder);
        QFETCH(QString, into);
        QTemporaryDir dir;
        const QString source = dir.path() + "/" + folder;
        const QString target = dir.path() + "/" + into;
        QVERIFY(writeFile(source + "/one.jpg", "one"));
        QVERIFY(writeFile(source + "/deep/two.jpg", "two"));
        QVERIFY(writeFile(target + "/mine.jpg", "mine"));
        const auto before = treeOf(source);
        ScriptedPrompt prompt;
        const auto r =
            move ? pw::moveInto({source}, target, prompt) : pw::copyInto({source}, target, prompt);
        QVERIFY2(prompt.errors.empty(),
                 prompt.errors.empty() ? "" : qPrintable(pw::errorText(prompt.errors.front())));
        QVERIFY(r.ok());
        QCOMPARE(r.done, 1);
        QCOMPARE(r.targets, QStringList{target + "/" + folder});
        QCOMPARE(treeOf(target + "/" + folder), before);
        QCOMPARE(readFile(target + "/mine.jpg"), QByteArray("mine"));
        QCOMPARE(QFileInfo::exists(source), !move);
        QCOMPARE(prompt.conflicts, 0);
    }

    // Operations inside one outer batch are one command: an answer given
    // "for all" holds across them; after the batch, or without one, each
    // operation asks again.
    void applyToAllSpansBatch_data()
    {
        QTest::addColumn<bool>("move");
        QTest::addColumn<bool>("outerBatch");
        QTest::addColumn<bool>("applyToAll");
        QTest::addColumn<ConflictAnswer>("answer");
        QTest::addColumn<int>("questions");
        for (const bool move : {false, true}) {
            const QString how = move ? "move" : "copy";
            QTest::newRow(qPrintable(how + ", one batch, replace all"))
                << move << true << true << ConflictAnswer::Replace << 1;
            QTest::newRow(qPrintable(how + ", one batch, skip all"))
                << move << true << true << ConflictAnswer::Skip << 1;
            QTest::newRow(qPrintable(how + ", one batch, replace each"))
                << move << true << false << ConflictAnswer::Replace << 8;
            QTest::newRow(qPrintable(how + ", no batch, replace all"))
                << move << false << true << ConflictAnswer::Replace << 8;
        }
    }
    void applyToAllSpansBatch()
    {
        QFETCH(bool, move);
        QFETCH(bool, outerBatch);
        QFETCH(bool, applyToAll);
        QFETCH(ConflictAnswer, answer);
        QFETCH(int, questions);
        QTemporaryDir dir;
        QStringList files;
        for (int i = 0; i < 8; ++i) {
            const QString name = QStringLiteral("/f%1.jpg").arg(i);
            QVERIFY(writeFile(dir.path() + "/src" + name, "new"));
            QVERIFY(writeFile(dir.path() + "/dst" + name, "old"));
            files << dir.path() + "/src" + name;
        }
        ScriptedPrompt prompt;
        prompt.answer = answer;
        prompt.applyToAll = applyToAll;
        {
            std::optional<pw::FileOpBatch> batch;
            if (outerBatch) batch.emplace();
            // File by file, as the main window's commands copy.
            for (const QString& file : std::as_const(files)) {
                const QString target = dir.path() + "/dst/" + QFileInfo(file).fileName();
                const auto r =
                    move ? pw::moveTo(file, target, prompt) : pw::copyTo(file, target, prompt);
                QVERIFY(!r.cancelled);
            }
        }
        QCOMPARE(prompt.conflicts, questions);
        const QByteArray want = answer == ConflictAnswer::Replace ? "new" : "old";
        for (const QString& file : std::as_const(files)) {
            QCOMPARE(readFile(dir.path() + "/dst/" + QFileInfo(file).fileName()), want);
            QCOMPARE(QFileInfo::exists(file), !move || answer == ConflictAnswer::Skip);
        }
        // The answer ends with the batch: the next command asks again.
        QVERIFY(writeFile(dir.path() + "/src/again.jpg", "new"));
        QVERIFY(writeFile(dir.path() + "/dst/again.jpg", "old"));
        const int before = prompt.conflicts;
        pw::copyTo(dir.path() + "/src/again.jpg", dir.path() + "/dst/again.jpg", prompt);
        QCOMPARE(prompt.conflicts, before + 1);
    }

    void badSources_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("target");
        QTest::addColumn<int>("kind");
        QTest::newRow("missing source") << "src/gone.jpg"
                                        << "dst" << int(pw::FileOpError::Missing);
        QTest::newRow("missing target folder") << "src/a.jpg"
                                               << "nowhere" << int(pw::FileOpError::NoFolder);
        QTest::newRow("target is a file") << "src/a.jpg"
                                          << "src/b c.bmp" << int(pw::FileOpError::NoFolder);
        QTest::newRow("a pipe") << "src/pipe"
                                << "dst" << int(pw::FileOpError::Unsupported);
    }
    void badSources()
    {
        QFETCH(QString, source);
        QFETCH(QString, target);
        QFETCH(int, kind);
        QTemporaryDir dir;
        QVERIFY(makeSample(dir.path()));
        QCOMPARE(::mkfifo(QFile::encodeName(dir.path() + "/src/pipe"), 0600), 0);
        ScriptedPrompt prompt;
        const auto r = pw::copyInto({dir.path() + "/" + source, dir.path() + "/src/album"},
                                    dir.path() + "/" + target, prompt);
        QVERIFY(!r.ok());
        QVERIFY(!prompt.errors.empty());
        QCOMPARE(int(prompt.errors[0].kind), kind);
        QVERIFY(!pw::errorText(prompt.errors[0]).isEmpty());
        // The good source still goes where it can.
        QCOMPARE(QFileInfo::exists(dir.path() + "/" + target + "/album/one.jpg"),
                 QFileInfo(dir.path() + "/" + target).isDir());
        QVERIFY(!treeOf(dir.path()).keys().join(' ').contains(".sqcopy-"));
    }

    void folderMeetsFileRefused()
    {
        QTemporaryDir dir;
        QVERIFY(makeSample(dir.path()));
        QVERIFY(writeFile(dir.path() + "/dst/album", "a file"));
        ScriptedPrompt prompt;
        prompt.answer = ConflictAnswer::Replace;
        const auto r = pw::moveInto({dir.path() + "/src/album"}, dir.path() + "/dst", prompt);
        QCOMPARE(r.failed, 1);
        QCOMPARE(prompt.errors[0].kind, pw::FileOpError::TypeMismatch);
        QCOMPARE(readFile(dir.path() + "/dst/album"), QByteArray("a file"));
        QCOMPARE(readFile(dir.path() + "/src/album/one.jpg"), QByteArray("one"));
    }

    // Cancel in the middle of a copy: no partial file or folder, no
    // temporary, the source intact; a replaced file keeps its old bytes.
    void cancelMidCopy_data()
    {
        QTest::addColumn<bool>("folder");
        QTest::addColumn<bool>("existing");
        QTest::newRow("file") << false << false;
        QTest::newRow("file over an existing one") << false << true;
        QTest::newRow("folder") << true << false;
    }
    void cancelMidCopy()
    {
        QFETCH(bool, folder);
        QFETCH(bool, existing);
        QTemporaryDir dir;
        QVERIFY(writeFile(dir.path() + "/src/big/1.jpg", "small"));
        QVERIFY(writeFile(dir.path() + "/src/big/2.jpg", bigBytes()));
        QVERIFY(QDir().mkpath(dir.path() + "/dst"));
        if (existing) QVERIFY(writeFile(dir.path() + "/dst/2.jpg", "old"));
        const auto srcBefore = treeOf(dir.path() + "/src");
        const auto dstBefore = treeOf(dir.path() + "/dst");
        ScriptedPrompt prompt;
        prompt.answer = ConflictAnswer::Replace;
        prompt.cancelAfterSteps = folder ? 2 : 1;
        const QString source = dir.path() + (folder ? "/src/big" : "/src/big/2.jpg");
        const auto r = pw::copyInto({source}, dir.path() + "/dst", prompt);
        QVERIFY(r.cancelled);
        QCOMPARE(treeOf(dir.path() + "/src"), srcBefore);
        QCOMPARE(treeOf(dir.path() + "/dst"), dstBefore);
    }

    // Another file system: copy then delete the source; a cancel keeps it.
    void moveAcrossFileSystems_data()
    {
        QTest::addColumn<bool>("cancel");
        QTest::newRow("move") << false;
        QTest::newRow("cancelled") << true;
    }
    void moveAcrossFileSystems()
    {
        QFETCH(bool, cancel);
        QTemporaryDir dir;
        QTemporaryDir other(QStringLiteral("/dev/shm/sq-fileops-XXXXXX"));
        if (!other.isValid() || sameDevice(dir.path(), other.path()))
            QSKIP("no second file system (/dev/shm) here");
        QVERIFY(makeSample(dir.path()));
        QVERIFY(writeFile(dir.path() + "/src/album/big.jpg", bigBytes()));
        const auto before = treeOf(dir.path() + "/src");
        ScriptedPrompt prompt;
        if (cancel) prompt.cancelAfterSteps = 3;
        const auto r = pw::moveInto({dir.path() + "/src/album", dir.path() + "/src/a.jpg"},
                                    other.path(), prompt);
        QCOMPARE(r.cancelled, cancel);
        if (cancel) {
            QCOMPARE(treeOf(dir.path() + "/src"), before);
            QVERIFY(treeOf(other.path()).isEmpty());
        } else {
            QVERIFY(r.ok());
            QCOMPARE(readFile(other.path() + "/album/big.jpg"), bigBytes());
            QCOMPARE(readFile(other.path() + "/album/deep/two.jpg"), QByteArray("two"));
            QCOMPARE(readFile(other.path() + "/a.jpg"), QByteArray("alpha"));
            QVERIFY(!QFileInfo::exists(dir.path() + "/src/album"));
            QVERIFY(!QFileInfo::exists(dir.path() + "/src/a.jpg"));
            QVERIFY(QFileInfo::exists(dir.path() + "/src/b c.bmp"));
        }
    }

    void symlinkCopiedAsLink()
    {
        QTemporaryDir dir;
        QVERIFY(makeSample(dir.path()));
        QVERIFY(QFile::link("a.jpg", dir.path() + "/src/album/link.jpg"));
        ScriptedPrompt prompt;
        QVERIFY(pw::copyInto({dir.path() + "/src/album"}, dir.path() + "/dst", prompt).ok());
        QCOMPARE(QFileInfo(dir.path() + "/dst/album/link.jpg").symLinkTarget(),
                 dir.path() + "/dst/album/a.jpg");
    }

    void unwritableTarget()
    {
        QTemporaryDir dir;
        QVERIFY(makeSample(dir.path()));
        QFile::setPermissions(dir.path() + "/dst", QFile::ReadOwner | QFile::ExeOwner);
        if (::access(QFile::encodeName(dir.path() + "/dst"), W_OK) == 0) {
            QFile::setPermissions(dir.path() + "/dst",
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            QSKIP("running as root: a read-only folder is writable anyway");
        }
        ScriptedPrompt prompt;
        const auto r = pw::moveInto({dir.path() + "/src/a.jpg"}, dir.path() + "/dst", prompt);
        QFile::setPermissions(dir.path() + "/dst",
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY(!r.ok());
        QCOMPARE(readFile(dir.path() + "/src/a.jpg"), QByteArray("alpha"));
    }

    // Where the data folder is missing, Qt would report success and leave
    // the file in ./files/ of the current folder.
    void trashWithoutDataFolder()
    {
        QTemporaryDir dir;
        const QByteArray oldData = qgetenv("XDG_DATA_HOME");
        const QString data = dir.path() + "/no-such/share";
        qputenv("XDG_DATA_HOME", QFile::encodeName(data));
        const QString oldCwd = QDir::currentPath();
        QVERIFY(QDir().mkpath(dir.path() + "/cwd"));
        QDir::setCurrent(dir.path() + "/cwd");
        QVERIFY(writeFile(dir.path() + "/pics/a.jpg", "alpha"));
        ScriptedPrompt prompt;
        const auto r =
            pw::moveToTrash({dir.path() + "/pics/a.jpg", dir.path() + "/pics/gone.jpg"}, prompt);
        QDir::setCurrent(oldCwd);
        qputenv("XDG_DATA_HOME", oldData);
        QCOMPARE(r.done, 1);
        QCOMPARE(r.failed, 1);
        QCOMPARE(prompt.errors[0].kind, pw::FileOpError::Missing);
        QVERIFY(!QFileInfo::exists(dir.path() + "/pics/a.jpg"));
        QVERIFY(!QFileInfo::exists(dir.path() + "/cwd/files"));
        QCOMPARE(r.targets.value(0), data + "/Trash/files/a.jpg");
        QCOMPARE(readFile(data + "/Trash/files/a.jpg"), QByteArray("alpha"));
        QVERIFY(QFileInfo::exists(data + "/Trash/info/a.jpg.trashinfo"));
    }

    // Names that are not UTF-8, in a folder whose name is not either: copy,
    // move, copy into its own folder, rename and trash keep every byte.
    void namesAsBytes_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("copy") << "copy";
        QTest::newRow("move") << "move";
        QTest::newRow("copy beside itself") << "copy here";
        QTest::newRow("rename to UTF-8 and back") << "rename";
        QTest::newRow("trash") << "trash";
    }
    void namesAsBytes()
    {
        QFETCH(QString, how);
        sq::test::RawTempDir dir;
        const QByteArray root = dir.bytes();
        const QByteArray src = root + "/pics\xfe";
        QVERIFY(sq::test::writeFileAt(src + "/bad\xff.jpg", "bad"));
        QVERIFY(sq::test::writeFileAt(src + "/album\xfd/in\xfc.jpg", "inner"));
        QVERIFY(sq::test::writeFileAt(src + "/ok.jpg", "ok"));
        QVERIFY(sq::test::makeFolderAt(root + "/dst\xfb"));
        const QString file = pw::pathFromNative(src + "/bad\xff.jpg");
        const QString album = pw::pathFromNative(src + "/album\xfd");
        const QString dst = pw::pathFromNative(root + "/dst\xfb");
        ScriptedPrompt prompt;
        using Names = QList<QByteArray>;
        if (how == "copy" || how == "move") {
            const auto r = how == "move" ? pw::moveInto({file, album}, dst, prompt)
                                         : pw::copyInto({file, album}, dst, prompt);
            QVERIFY(r.ok());
            QCOMPARE(sq::test::namesAt(root + "/dst\xfb"), (Names{"album\xfd", "bad\xff.jpg"}));
            QCOMPARE(sq::test::readFileAt(root + "/dst\xfb/bad\xff.jpg"), QByteArray("bad"));
            QCOMPARE(sq::test::readFileAt(root + "/dst\xfb/album\xfd/in\xfc.jpg"),
                     QByteArray("inner"));
            QCOMPARE(r.targets.value(0), pw::pathFromNative(root + "/dst\xfb/bad\xff.jpg"));
            QCOMPARE(sq::test::namesAt(src), how == "move"
                                                 ? Names{"ok.jpg"}
                                                 : (Names{"album\xfd", "bad\xff.jpg", "ok.jpg"}));
        } else if (how == "copy here") {
            QVERIFY(pw::copyInto({file}, pw::pathFromNative(src), prompt).ok());
            QVERIFY(sq::test::namesAt(src).contains(QByteArray("bad\xff - ") +
                                                    QString("コピー").toUtf8() + ".jpg"));
        } else if (how == "rename") {
            QString renamed;
            QCOMPARE(pw::renameEntry(file, "good.jpg", &renamed), pw::RenameStatus::Renamed);
            QCOMPARE(sq::test::namesAt(src), (Names{"album\xfd", "good.jpg", "ok.jpg"}));
            QCOMPARE(nativePathOf(renamed), src + "/good.jpg");
            // Back to the old bytes: the name given as a carrier.
            QCOMPARE(pw::renameEntry(renamed, pw::pathFromNative("bad\xff.jpg")),
                     pw::RenameStatus::Renamed);
            QCOMPARE(sq::test::readFileAt(src + "/bad\xff.jpg"), QByteArray("bad"));
            // A typed name with U+FFFD is another name: the file is not lost.
            QCOMPARE(pw::renameEntry(file, pw::displayText(pw::pathFromNative("bad\xff.jpg"))),
                     pw::RenameStatus::Renamed);
            QCOMPARE(sq::test::readFileAt(src + "/bad\xef\xbf\xbd.jpg"), QByteArray("bad"));
        } else {
            const QByteArray data = root + "/share";
            const QByteArray oldData = qgetenv("XDG_DATA_HOME");
            qputenv("XDG_DATA_HOME", data);
            const auto r = pw::moveToTrash({file, album}, prompt);
            qputenv("XDG_DATA_HOME", oldData);
            QVERIFY(r.ok());
            QCOMPARE(sq::test::namesAt(src), Names{"ok.jpg"});
            QCOMPARE(sq::test::namesAt(data + "/Trash/files"), (Names{"album\xfd", "bad\xff.jpg"}));
            QCOMPARE(sq::test::readFileAt(data + "/Trash/files/album\xfd/in\xfc.jpg"),
                     QByteArray("inner"));
            const QByteArray info =
                sq::test::readFileAt(data + "/Trash/info/bad\xff.jpg.trashinfo");
            QVERIFY2(info.startsWith("[Trash Info]\nPath=" + root +
                                     "/pics%FE/bad%FF.jpg\nDeletionDate="),
                     info.constData());
            QCOMPARE(r.targets.value(0), pw::pathFromNative(data + "/Trash/files/bad\xff.jpg"));
        }
        QVERIFY(prompt.errors.empty());
    }

    // The trash of a file on another file system is at the top of its mount;
    // a second file of the same name gets a slot of its own; the info file
    // names it relative to the top.
    void trashOnOtherFileSystem()
    {
        QTemporaryDir dir;
        sq::test::SmallFileSystem fs(dir.path() + "/mnt", 1 << 20);
        if (!fs.ok()) QSKIP("cannot mount a small file system here");
        const QByteArray oldData = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", QFile::encodeName(dir.path() + "/share"));
        QVERIFY(writeFile(dir.path() + "/mnt/pics/a.jpg", "one"));
        ScriptedPrompt prompt;
        auto r = pw::moveToTrash({dir.path() + "/mnt/pics/a.jpg"}, prompt);
        QVERIFY(writeFile(dir.path() + "/mnt/pics/a.jpg", "two"));
        auto r2 = pw::moveToTrash({dir.path() + "/mnt/pics/a.jpg"}, prompt);
        qputenv("XDG_DATA_HOME", oldData);
        QVERIFY(r.ok() && r2.ok());
        const QString trash = dir.path() + QStringLiteral("/mnt/.Trash-%1").arg(::getuid());
        QCOMPARE(r.targets.value(0), trash + "/files/a.jpg");
        QCOMPARE(r2.targets.value(0), trash + "/files/a.jpg.2");
        QCOMPARE(readFile(trash + "/files/a.jpg"), QByteArray("one"));
        QCOMPARE(readFile(trash + "/files/a.jpg.2"), QByteArray("two"));
        QVERIFY(readFile(trash + "/info/a.jpg.trashinfo").contains("\nPath=pics/a.jpg\n"));
        QVERIFY(!QFileInfo::exists(dir.path() + "/share/Trash/files/a.jpg"));
    }

    // Copies by copy_file_range keep every byte of a file larger than one
    // piece, and its mode and date; a file replaced by a copy is replaced whole.
    void largeCopyExact()
    {
        QTemporaryDir dir;
        QByteArray big(9 * 1024 * 1024 + 3, '\0');
        for (int i = 0; i < big.size(); ++i)
            big[i] = char((unsigned(i) * 7919u) >> 5);
        QVERIFY(writeFile(dir.path() + "/src/big.bin", big));
        QVERIFY(writeFile(dir.path() + "/dst/big.bin", "old"));
        ::chmod(QFile::encodeName(dir.path() + "/src/big.bin"), 0640);
        ScriptedPrompt prompt;
        prompt.answer = ConflictAnswer::Replace;
        QVERIFY(pw::copyInto({dir.path() + "/src/big.bin"}, dir.path() + "/dst", prompt).ok());
        QVERIFY(readFile(dir.path() + "/dst/big.bin") == big);
        QCOMPARE(QFileInfo(dir.path() + "/dst/big.bin").permissions(),
                 QFileInfo(dir.path() + "/src/big.bin").permissions());
        QVERIFY(prompt.steps >= 2); // progress between pieces
        QCOMPARE(treeOf(dir.path() + "/dst").keys(), QStringList{"big.bin"});
    }

    void rename_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<pw::RenameStatus>("status");
        QTest::addColumn<QString>("after");
        QTest::newRow("plain") << "b.jpg" << pw::RenameStatus::Renamed << "b.jpg";
        QTest::newRow("japanese") << "写真.jpg" << pw::RenameStatus::Renamed << "写真.jpg";
        QTest::newRow("same name") << "a.jpg" << pw::RenameStatus::Renamed << "a.jpg";
        QTest::newRow("empty") << "" << pw::RenameStatus::BadName << "a.jpg";
        QTest::newRow("dot") << "." << pw::RenameStatus::BadName << "a.jpg";
        QTest::newRow("dot dot") << ".." << pw::RenameStatus::BadName << "a.jpg";
        QTest::newRow("slash") << "../a.jpg" << pw::RenameStatus::BadName << "a.jpg";
        QTest::newRow("nul") << QString("x") + QChar(0) + "y" << pw::RenameStatus::BadName
                             << "a.jpg";
        QTest::newRow("existing") << "taken.jpg" << pw::RenameStatus::Exists << "a.jpg";
        QTest::newRow("existing folder") << "album" << pw::RenameStatus::Exists << "a.jpg";
    }
    void rename()
    {
        QFETCH(QString, name);
        QFETCH(pw::RenameStatus, status);
        QFETCH(QString, after);
        QTemporaryDir dir;
        QVERIFY(writeFile(dir.path() + "/a.jpg", "alpha"));
        QVERIFY(writeFile(dir.path() + "/taken.jpg", "taken"));
        QVERIFY(QDir().mkpath(dir.path() + "/album"));
        QString newPath;
        QCOMPARE(pw::renameEntry(dir.path() + "/a.jpg", name, &newPath), status);
        QCOMPARE(readFile(dir.path() + "/" + after), QByteArray("alpha"));
        QCOMPARE(readFile(dir.path() + "/taken.jpg"), QByteArray("taken"));
        QCOMPARE(newPath, dir.path() + "/" + after);
        QCOMPARE(pw::renameEntry(dir.path() + "/missing.jpg", "x.jpg"), pw::RenameStatus::Missing);
    }
};

QTEST_GUILESS_MAIN(TstFileOps)
#include "tst_fileops.moc"
