#include "platform/NativePath.h"
#include "platform/ShellCompare.h"
#include "platform/ShellFolder.h"
#include "tests/support/RawNames.h"
#include "tests/support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <unistd.h>

using namespace sq::platform;

class TstShellFolder : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void attributes();
    void parse_data();
    void parse();
    void names();
    void namesNotUtf8();
    void unreadableFolder();
    void order_data();
    void order();
};

void TstShellFolder::attributes()
{
    QTemporaryDir dir;
    QVERIFY(sq::test::writeFile(dir.filePath("f"), "x"));
    QVERIFY(QDir(dir.path()).mkdir("d"));
    QVERIFY(QFile::link(dir.filePath("d"), dir.filePath("ld")));
    QVERIFY(QFile::link(dir.filePath("f"), dir.filePath("lf")));
    QVERIFY(QFile::link(dir.filePath("none"), dir.filePath("dangling")));
    const ShellFolder folder(dir.path());
    QCOMPARE(folder.attributesOf("f"), 0u);
    QCOMPARE(folder.attributesOf("d"), unsigned(AttrFolder | AttrFileSysAncestor));
    QCOMPARE(folder.attributesOf("ld"), unsigned(AttrFolder | AttrFileSysAncestor | AttrLink));
    QCOMPARE(folder.attributesOf("lf"), unsigned(AttrLink));
    QCOMPARE(folder.attributesOf("dangling"), unsigned(AttrLink));
    QCOMPARE(folder.attributesOf("missing"), 0u);
    QCOMPARE(folder.linkTarget("ld"), dir.filePath("d"));
    QCOMPARE(folder.linkTarget("f"), QString());
    QVERIFY(folder.findData("dangling").has_value()); // the link's own data
    QVERIFY(!folder.findData("missing").has_value());
    QCOMPARE(folder.findData("lf")->size, 1); // the target's size

    // The listing reports the same bits as the single look-up.
    QMap<QByteArray, unsigned> listed;
    QVERIFY(folder.enumObjects(ContFolders | ContNonFolders, [&](EnumItem&& e) {
        listed.insert(e.name, e.attributes);
        return true;
    }));
    QCOMPARE(listed.size(), 5);
    for (auto it = listed.cbegin(); it != listed.cend(); ++it)
        QCOMPARE(it.value(), folder.attributesOf(it.key()));
    int seen = 0;
    QVERIFY(
        folder.enumObjects(ContFolders | ContNonFolders, [&](EnumItem&&) { return ++seen < 2; }));
    QCOMPARE(seen, 2);
}

void TstShellFolder::parse_data()
{
    QTest::addColumn<QString>("rel");
    QTest::addColumn<bool>("absolute");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("parseRel");
    QTest::newRow("plain") << "a/p.jpg" << true << true << "a/p.jpg";
    QTest::newRow("dot") << "a/./p.jpg" << true << true << "a/p.jpg";
    QTest::newRow("dotdot") << "a/../a/p.jpg" << true << true << "a/p.jpg";
    QTest::newRow("folder") << "a" << true << true << "a";
    QTest::newRow("missing") << "a/q.jpg" << true << false << "";
    QTest::newRow("relative") << "a/p.jpg" << false << false << "";
}

void TstShellFolder::parse()
{
    QFETCH(QString, rel);
    QFETCH(bool, absolute);
    QFETCH(bool, ok);
    QFETCH(QString, parseRel);
    QTemporaryDir dir;
    QVERIFY(sq::test::writeFile(dir.filePath("a/p.jpg"), "x"));
    const auto p = parseDisplayName(absolute ? dir.path() + "/" + rel : rel);
    QCOMPARE(p.has_value(), ok);
    if (!ok) return;
    QCOMPARE(p->parseName, dir.filePath(parseRel));
    QCOMPARE(p->parent.parseNameOf(p->name), p->parseName);
}

void TstShellFolder::names()
{
    const ShellFolder root;
    QVERIFY(root.isDesktop());
    QCOMPARE(root.parseNameOf("etc"), QStringLiteral("/etc"));
    const ShellFolder f(QStringLiteral("/tmp/x/"));
    QCOMPARE(f.path(), QStringLiteral("/tmp/x"));
    QCOMPARE(f.parseNameOf("写真.jpg"), QStringLiteral("/tmp/x/写真.jpg"));
    QCOMPARE(f.displayNameOf("写真.jpg"), QStringLiteral("写真.jpg"));
    QVERIFY(!parseDisplayName(QStringLiteral("/")).has_value());
}

// A folder whose name is not UTF-8 holding such names: listed with their
// bytes, parsed, looked up and followed through links; shown with U+FFFD.
void TstShellFolder::namesNotUtf8()
{
    sq::test::RawTempDir dir;
    const QByteArray folderBytes = dir.bytes() + "/pics\xfe";
    QVERIFY(sq::test::writeFileAt(folderBytes + "/bad\xff.jpg", "xyz"));
    QVERIFY(sq::test::makeFolderAt(folderBytes + "/sub\xfd"));
    QVERIFY(::symlink("sub\xfd", (folderBytes + "/link\xfc").constData()) == 0);
    const QString folderPath = pathFromNative(folderBytes);
    const ShellFolder folder(folderPath);

    QList<QByteArray> listed;
    QVERIFY(folder.enumObjects(ContFolders | ContNonFolders, [&](EnumItem&& e) {
        listed << e.name;
        return true;
    }));
    std::sort(listed.begin(), listed.end());
    QCOMPARE(listed, (QList<QByteArray>{"bad\xff.jpg", "link\xfc", "sub\xfd"}));

    const QString parse = folder.parseNameOf("bad\xff.jpg");
    QCOMPARE(nativePath(parse), folderBytes + "/bad\xff.jpg");
    QCOMPARE(folder.displayNameOf("bad\xff.jpg"), QStringLiteral("bad\uFFFD.jpg"));
    QCOMPARE(folder.findData("bad\xff.jpg")->size, 3);
    QCOMPARE(folder.attributesOf("sub\xfd"), unsigned(AttrFolder | AttrFileSysAncestor));
    QCOMPARE(nativePath(folder.linkTarget("link\xfc")), folderBytes + "/sub\xfd");

    const auto parsed = parseDisplayName(parse);
    QVERIFY(parsed.has_value());
    QCOMPARE(parsed->name, QByteArray("bad\xff.jpg"));
    QCOMPARE(parsed->parseName, parse);
    QCOMPARE(parsed->parent.path(), folderPath);
    // The shown form names another file, which is not there.
    QVERIFY(!parseDisplayName(displayText(parse)).has_value());
}

void TstShellFolder::unreadableFolder()
{
    QTemporaryDir dir;
    QVERIFY(
        !ShellFolder(dir.filePath("nowhere")).enumObjects(0xE0, [](EnumItem&&) { return true; }));
    QVERIFY(QDir(dir.path()).mkdir("locked"));
    QVERIFY(sq::test::writeFile(dir.filePath("locked/a"), "x"));
    QVERIFY(QFile::setPermissions(dir.filePath("locked"), QFile::WriteOwner));
    const ShellFolder locked(dir.filePath("locked"));
    int n = 0;
    const bool ok = locked.enumObjects(0xE0, [&](EnumItem&&) { return ++n, true; });
    QFile::setPermissions(dir.filePath("locked"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (ok) QSKIP("running as root: the folder is readable anyway");
    QCOMPARE(n, 0);
}

void TstShellFolder::order_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("a");
    QTest::addColumn<bool>("aFolder");
    QTest::addColumn<qint64>("aValue");
    QTest::addColumn<QString>("b");
    QTest::addColumn<bool>("bFolder");
    QTest::addColumn<qint64>("bValue");
    QTest::addColumn<int>("sign");
    const int name = int(ShellColumn::Name), size = int(ShellColumn::Size),
              date = int(ShellColumn::Date), attr = int(ShellColumn::Attr);
    QTest::newRow("natural") << name << "img2" << false << 0ll << "img10" << false << 0ll << -1;
    QTest::newRow("case-insensitive") << name << "b" << false << 0ll << "A" << false << 0ll << 1;
    QTest::newRow("case tie by bytes") << name << "A" << false << 0ll << "a" << false << 0ll << -1;
    QTest::newRow("same") << name << "a" << false << 0ll << "a" << false << 0ll << 0;
    QTest::newRow("folder first") << name << "z" << true << 0ll << "a" << false << 0ll << -1;
    QTest::newRow("folder first in size")
        << size << "z" << true << 0ll << "a" << false << 0ll << -1;
    QTest::newRow("size") << size << "a" << false << 10ll << "b" << false << 9ll << 1;
    QTest::newRow("size tie") << size << "b" << false << 9ll << "a" << false << 9ll << 1;
    QTest::newRow("folders tie on size")
        << size << "a" << true << 9000ll << "b" << true << 1ll << -1;
    QTest::newRow("big size") << size << "a" << false << (5ll << 30) << "b" << false << (1ll << 30)
                              << 1;
    QTest::newRow("date") << date << "a" << false << 200ll << "b" << false << 100ll << 1;
    QTest::newRow("attr") << attr << "a" << false << 0100644ll << "b" << false << 0100600ll << 1;
}

void TstShellFolder::order()
{
    QFETCH(int, column);
    QFETCH(QString, a);
    QFETCH(bool, aFolder);
    QFETCH(qint64, aValue);
    QFETCH(QString, b);
    QFETCH(bool, bFolder);
    QFETCH(qint64, bValue);
    QFETCH(int, sign);
    ShellCollator collator;
    auto info = [&](const QString& n, bool folder, qint64 v) {
        ShellCompareInfo i;
        i.isFolder = folder;
        i.rawName = n.toUtf8();
        i.nameKey = collator.sortKey(n);
        FindData d;
        d.size = v;
        d.mtimeSec = v;
        d.mode = static_cast<std::uint32_t>(v);
        i.data = d;
        return i;
    };
    const auto ia = info(a, aFolder, aValue), ib = info(b, bFolder, bValue);
    const auto col = static_cast<ShellColumn>(column);
    const int c = compareShellItems(col, ia, ib);
    QCOMPARE((c > 0) - (c < 0), sign);
    const int r = compareShellItems(col, ib, ia);
    QCOMPARE((r > 0) - (r < 0), -sign);
}

QTEST_GUILESS_MAIN(TstShellFolder)
#include "tst_shellfolder.moc"
