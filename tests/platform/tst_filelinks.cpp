// Symbolic links made by the file operations (a drop with Ctrl+Shift): where
// they point, their names beside the source, conflicts, refusals, and names
// that are not UTF-8.
#include "platform/FileOps.h"
#include "platform/FileVerbs.h"
#include "platform/NativePath.h"
#include "tests/support/RawNames.h"
#include "tests/support/TestFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

namespace pw = sq::platform;
using pw::ConflictAnswer;
using sq::test::readFile;
using sq::test::writeFile;

Q_DECLARE_METATYPE(pw::ConflictAnswer)

namespace {
class Prompt : public pw::QuietFileOpPrompt
{
public:
    using QuietFileOpPrompt::QuietFileOpPrompt;
    bool cancelNow = false;
    bool cancelRequested() override { return cancelNow; }
};

// The bytes a link holds; empty when path is no link.
QByteArray linkOf(const QString& path)
{
    QByteArray buf(8192, '\0');
    const ssize_t n = ::readlink(pw::nativePath(path).constData(), buf.data(), buf.size());
    return n < 0 ? QByteArray() : buf.left(n);
}
} // namespace

class TestFileLinks : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void linksInto();
    void conflicts_data();
    void conflicts();
    void refused();
    void rawNames();
    void dropVerb();
};

void TestFileLinks::linksInto()
{
    QTemporaryDir dir;
    const QString src = dir.path() + "/src", dst = dir.path() + "/dst";
    QVERIFY(writeFile(src + "/a.jpg", "a"));
    QVERIFY(QDir().mkpath(src + "/album"));
    QVERIFY(QDir().mkpath(dst));
    Prompt prompt;
    // Relative and unclean source names still give absolute links.
    QDir::setCurrent(dir.path());
    const pw::FileOpResult r = pw::linkInto({"src/./a.jpg", src + "/album/"}, dst, prompt);
    QVERIFY(r.ok());
    QCOMPARE(r.done, 2);
    QCOMPARE(r.targets, QStringList({dst + "/a.jpg", dst + "/album"}));
    QCOMPARE(linkOf(dst + "/a.jpg"), pw::nativePath(src + "/a.jpg"));
    QCOMPARE(linkOf(dst + "/album"), pw::nativePath(src + "/album"));
    QCOMPARE(readFile(dst + "/a.jpg"), QByteArray("a"));

    // Beside the source itself, the link takes a name of its own; the
    // source stays as it was.
    QVERIFY(pw::linkInto({src + "/a.jpg", src + "/album"}, src, prompt).ok());
    QVERIFY(pw::linkInto({src + "/a.jpg"}, src, prompt).ok());
    QCOMPARE(linkOf(src + "/a - リンク.jpg"), pw::nativePath(src + "/a.jpg"));
    QCOMPARE(linkOf(src + "/a - リンク (2).jpg"), pw::nativePath(src + "/a.jpg"));
    QCOMPARE(linkOf(src + "/album - リンク"), pw::nativePath(src + "/album"));
    QVERIFY(linkOf(src + "/a.jpg").isEmpty());
    QCOMPARE(readFile(src + "/a.jpg"), QByteArray("a"));
    QCOMPARE(prompt.conflicts, 0);
}

void TestFileLinks::conflicts_data()
{
    QTest::addColumn<ConflictAnswer>("answer");
    QTest::addColumn<bool>("folderThere");
    QTest::newRow("skip") << ConflictAnswer::Skip << false;
    QTest::newRow("replace a file") << ConflictAnswer::Replace << false;
    QTest::newRow("cancel") << ConflictAnswer::Cancel << false;
    QTest::newRow("replace a folder refused") << ConflictAnswer::Replace << true;
}

void TestFileLinks::conflicts()
{
    QFETCH(ConflictAnswer, answer);
    QFETCH(bool, folderThere);
    QTemporaryDir dir;
    const QString src = dir.path() + "/src", dst = dir.path() + "/dst";
    QVERIFY(writeFile(src + "/a.jpg", "a"));
    QVERIFY(writeFile(src + "/b.jpg", "b"));
    if (folderThere)
        QVERIFY(writeFile(dst + "/a.jpg/inside", "kept"));
    else
        QVERIFY(writeFile(dst + "/a.jpg", "old"));
    Prompt prompt(answer);
    const pw::FileOpResult r = pw::linkInto({src + "/a.jpg", src + "/b.jpg"}, dst, prompt);
    QCOMPARE(prompt.conflicts, 1);
    QCOMPARE(r.cancelled, answer == ConflictAnswer::Cancel);
    if (folderThere) {
        QCOMPARE(r.failed, 1);
        QCOMPARE(prompt.errors[0].kind, pw::FileOpError::TypeMismatch);
        QCOMPARE(readFile(dst + "/a.jpg/inside"), QByteArray("kept"));
    } else if (answer == ConflictAnswer::Replace) {
        QCOMPARE(linkOf(dst + "/a.jpg"), pw::nativePath(src + "/a.jpg"));
    } else {
        QCOMPARE(readFile(dst + "/a.jpg"), QByteArray("old"));
        QVERIFY(linkOf(dst + "/a.jpg").isEmpty());
    }
    // After a cancel nothing more is linked.
    QCOMPARE(linkOf(dst + "/b.jpg").isEmpty(), answer == ConflictAnswer::Cancel);
    // No temporary link is left behind.
    QCOMPARE(QDir(dst)
                 .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)
                 .size(),
             answer == ConflictAnswer::Cancel ? 1 : 2);
}

void TestFileLinks::refused()
{
    QTemporaryDir dir;
    const QString album = dir.path() + "/album";
    QVERIFY(QDir().mkpath(album + "/inner"));
    QVERIFY(writeFile(dir.path() + "/a.jpg", "a"));
    Prompt prompt;
    // Into itself and into its own subfolder.
    pw::FileOpResult r = pw::linkInto({album}, album, prompt);
    QCOMPARE(r.failed, 1);
    r = pw::linkInto({album}, album + "/inner", prompt);
    QCOMPARE(r.failed, 1);
    QCOMPARE(int(prompt.errors.size()), 2);
    QCOMPARE(prompt.errors[0].kind, pw::FileOpError::IntoItself);
    QCOMPARE(prompt.errors[1].kind, pw::FileOpError::IntoItself);
    QVERIFY(!QFileInfo::exists(album + "/album") && !QFileInfo::exists(album + "/inner/album"));
    // A missing source, a target that is no folder, an unwritable folder.
    prompt.errors.clear();
    r = pw::linkInto({dir.path() + "/gone.jpg"}, album, prompt);
    QCOMPARE(prompt.errors.back().kind, pw::FileOpError::Missing);
    r = pw::linkInto({dir.path() + "/a.jpg"}, dir.path() + "/a.jpg", prompt);
    QCOMPARE(prompt.errors.back().kind, pw::FileOpError::NoFolder);
    sq::test::UnwritableFolder locked(album);
    if (locked.ok()) {
        r = pw::linkInto({dir.path() + "/a.jpg"}, album, prompt);
        QCOMPARE(prompt.errors.back().kind, pw::FileOpError::WriteFailed);
        QVERIFY(!r.ok());
    }
    // A cancel before the first link links nothing.
    prompt.cancelNow = true;
    r = pw::linkInto({dir.path() + "/a.jpg"}, album + "/inner", prompt);
    QVERIFY(r.cancelled);
    QVERIFY(!QFileInfo::exists(album + "/inner/a.jpg"));
}

void TestFileLinks::rawNames()
{
    sq::test::RawTempDir dir;
    const QByteArray src = dir.bytes() + "/caf\xE9", dst = dir.bytes() + "/d\xFF";
    QVERIFY(sq::test::writeFileAt(src + "/\x80.jpg", "odd"));
    QVERIFY(sq::test::makeFolderAt(dst));
    Prompt prompt;
    const pw::FileOpResult r =
        pw::linkInto({pw::pathFromNative(src + "/\x80.jpg")}, pw::pathFromNative(dst), prompt);
    QVERIFY(r.ok());
    QCOMPARE(linkOf(pw::pathFromNative(dst + "/\x80.jpg")), src + "/\x80.jpg");
    QCOMPARE(sq::test::readFileAt(dst + "/\x80.jpg"), QByteArray("odd"));
}

void TestFileLinks::dropVerb()
{
    QTemporaryDir dir;
    const QString src = dir.path() + "/src", dst = dir.path() + "/dst";
    QVERIFY(writeFile(src + "/a.jpg", "a"));
    QVERIFY(writeFile(src + "/b.jpg", "b"));
    QVERIFY(QDir().mkpath(dst));
    Prompt prompt;
    pw::FileVerbs verbs(prompt);
    QVERIFY(verbs.drop({src + "/a.jpg"}, dst, Qt::CopyAction));
    QVERIFY(QFileInfo::exists(src + "/a.jpg") && readFile(dst + "/a.jpg") == "a");
    QVERIFY(verbs.drop({src + "/b.jpg"}, dst, Qt::LinkAction));
    QCOMPARE(linkOf(dst + "/b.jpg"), pw::nativePath(src + "/b.jpg"));
    QVERIFY(verbs.drop({src + "/b.jpg"}, dir.path(), Qt::MoveAction));
    QVERIFY(!QFileInfo::exists(src + "/b.jpg") && readFile(dir.path() + "/b.jpg") == "b");
    // No folder to drop into, or no action: nothing is done, nothing asked.
    QVERIFY(!verbs.drop({src + "/a.jpg"}, dir.path() + "/none", Qt::MoveAction));
    QVERIFY(!verbs.drop({src + "/a.jpg"}, dst, Qt::IgnoreAction));
    QVERIFY(!verbs.drop({dir.path() + "/gone.jpg"}, dst, Qt::CopyAction));
    QVERIFY(prompt.errors.empty());
    QVERIFY(QFileInfo::exists(src + "/a.jpg"));
}

QTEST_MAIN(TestFileLinks)
#include "tst_filelinks.moc"
