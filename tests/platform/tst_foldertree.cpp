// The folder tree model: folders listed by their bytes, in order, hidden and
// non-folders left out, looked up by path, and following changes on disk.
#include "platform/FolderTree.h"
#include "platform/NativePath.h"
#include "tests/support/RawNames.h"

#include <QtTest>

#include <unistd.h>

namespace pw = sq::platform;
using namespace sq::test;

namespace {
QList<QByteArray> rowNames(const pw::FolderTree& model, const QModelIndex& parent)
{
    QList<QByteArray> names;
    for (int row = 0; row < model.rowCount(parent); ++row)
        names << model.fileName(model.index(row, 0, parent));
    return names;
}
} // namespace

class TstFolderTree : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void listsFoldersByTheirBytes_data()
    {
        QTest::addColumn<QList<QByteArray>>("folders"); // made in the test's folder
        QTest::addColumn<QList<QByteArray>>("others");  // files, links, hidden ones
        QTest::addColumn<QList<QByteArray>>("listed");  // rows in order
        using L = QList<QByteArray>;
        QTest::newRow("names that are not UTF-8")
            << L{"b\xff", "a\xe9", "c\xc0\xaf"} << L{} << L{"a\xe9", "b\xff", "c\xc0\xaf"};
        QTest::newRow("natural order, case ignored")
            << L{"img10", "img2", "Img3", "写真"} << L{} << L{"img2", "Img3", "img10", "写真"};
        QTest::newRow("files, hidden folders and dangling links left out")
            << L{"kept", ".hidden"} << L{"file.jpg", "dangling->nowhere"} << L{"kept"};
        QTest::newRow("a link to a folder is a folder")
            << L{"real\xfe"} << L{"link\xff->real\xfe"} << L{"link\xff", "real\xfe"};
        QTest::newRow("empty folder") << L{} << L{"only.txt"} << L{};
    }
    void listsFoldersByTheirBytes()
    {
        QFETCH(QList<QByteArray>, folders);
        QFETCH(QList<QByteArray>, others);
        QFETCH(QList<QByteArray>, listed);
        RawTempDir dir;
        const QByteArray d = dir.bytes();
        for (const QByteArray& f : folders)
            QVERIFY(makeFolderAt(d + '/' + f));
        for (const QByteArray& o : others) {
            const qsizetype arrow = o.indexOf("->");
            if (arrow < 0)
                QVERIFY(writeFileAt(d + '/' + o, "x"));
            else
                QCOMPARE(
                    ::symlink(o.mid(arrow + 2).constData(), (d + '/' + o.left(arrow)).constData()),
                    0);
        }
        pw::FolderTree model;
        const QModelIndex top = model.index(0, 0);
        QCOMPARE(model.filePath(top), QStringLiteral("/"));
        QCOMPARE(model.data(top).toString(), QStringLiteral("/"));
        const QModelIndex folder = model.index(dir.path());
        QVERIFY(folder.isValid());
        QCOMPARE(pw::nativePath(model.filePath(folder)), d);
        if (model.canFetchMore(folder)) model.fetchMore(folder);
        QCOMPARE(rowNames(model, folder), listed);
        for (int row = 0; row < listed.size(); ++row) {
            const QModelIndex child = model.index(row, 0, folder);
            QCOMPARE(child.parent(), folder);
            QCOMPARE(pw::nativePath(model.filePath(child)), d + '/' + listed[row]);
            QCOMPARE(model.data(child).toString(),
                     pw::displayText(pw::pathFromNative(listed[row])));
            QCOMPARE(model.data(child, Qt::UserRole).toString(), model.filePath(child));
            // Found again by its path, the bytes of a name included.
            QCOMPARE(model.index(model.filePath(child)), child);
        }
        QCOMPARE(model.hasChildren(folder), !listed.isEmpty());
    }

    // Bad input: paths that name no listed folder give no row.
    void lookupOfWhatIsNoListedFolder_data()
    {
        QTest::addColumn<QByteArray>("tail"); // after the test's folder
        QTest::newRow("missing") << QByteArray("/gone\xff");
        QTest::newRow("a file") << QByteArray("/sub\xff/file.jpg");
        QTest::newRow("below a file") << QByteArray("/sub\xff/file.jpg/x");
        QTest::newRow("hidden") << QByteArray("/.secret");
        QTest::newRow("below a hidden one") << QByteArray("/.secret/inner");
        QTest::newRow("one byte off") << QByteArray("/sub\xfe");
    }
    void lookupOfWhatIsNoListedFolder()
    {
        QFETCH(QByteArray, tail);
        RawTempDir dir;
        QVERIFY(writeFileAt(dir.bytes() + "/sub\xff/file.jpg", "x"));
        QVERIFY(makeFolderAt(dir.bytes() + "/.secret/inner"));
        pw::FolderTree model;
        QVERIFY(model.index(pw::pathFromNative(dir.bytes() + "/sub\xff")).isValid());
        QVERIFY(!model.index(pw::pathFromNative(dir.bytes() + tail)).isValid());
        QVERIFY(!model.index(QString()).isValid());
    }

    // Folders made, renamed and removed on disk come and go by themselves;
    // the rows of the others stay, with what is read below them.
    void followsChangesOnDisk()
    {
        RawTempDir dir;
        const QByteArray d = dir.bytes();
        QVERIFY(makeFolderAt(d + "/b\xff/inner"));
        QVERIFY(makeFolderAt(d + "/d"));
        pw::FolderTree model;
        const QModelIndex folder = model.index(dir.path());
        const QPersistentModelIndex inner = model.index(pw::pathFromNative(d + "/b\xff/inner"));
        QVERIFY(inner.isValid());
        QVERIFY(model.watchCount() > 0);
        QVERIFY(makeFolderAt(d + "/a\xfe"));
        QVERIFY(makeFolderAt(d + "/c"));
        QTRY_COMPARE(rowNames(model, folder), (QList<QByteArray>{"a\xfe", "b\xff", "c", "d"}));
        QVERIFY(inner.isValid());
        QCOMPARE(pw::nativePath(model.filePath(inner)), d + "/b\xff/inner");
        // A file made there changes nothing.
        QVERIFY(writeFileAt(d + "/e.jpg", "x"));
        QCOMPARE(::rename((d + "/d").constData(), (d + "/D\xfd").constData()), 0);
        QCOMPARE(::rmdir((d + "/c").constData()), 0);
        QTRY_COMPARE(rowNames(model, folder), (QList<QByteArray>{"a\xfe", "b\xff", "D\xfd"}));
        QVERIFY(inner.isValid());
        // The whole branch removed: its rows go, and their watches with them.
        const int watched = model.watchCount();
        removeTreeAt(d + "/b\xff");
        QTRY_COMPARE(rowNames(model, folder), (QList<QByteArray>{"a\xfe", "D\xfd"}));
        QVERIFY(!inner.isValid());
        QTRY_VERIFY(model.watchCount() < watched);
        // refresh reads at once, without waiting for the watch.
        QVERIFY(makeFolderAt(d + "/0"));
        model.refresh(dir.path());
        QCOMPARE(rowNames(model, folder).value(0), QByteArray("0"));
    }
};

QTEST_MAIN(TstFolderTree)
#include "tst_foldertree.moc"
