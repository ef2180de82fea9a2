// The folder pane's file list: a folder's files by their bytes, filtered by
// patterns, following the folder's changes, held while a file operation runs.
#include "platform/FileOps.h"
#include "platform/FolderFileList.h"
#include "platform/NativePath.h"
#include "tests/support/RawNames.h"

#include <QtTest>

namespace pw = sq::platform;
using sq::test::writeFileAt;

namespace {
QStringList shown(const pw::FolderFileList& list)
{
    QStringList names;
    for (int i = 0; i < list.rowCount(); ++i)
        names << list.data(list.index(i)).toString();
    return names;
}
} // namespace

class TstFolderFileList : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void listsFilesByTheirBytes_data()
    {
        QTest::addColumn<QStringList>("patterns");
        QTest::addColumn<QStringList>("names");
        const QString bad = QStringLiteral("bad\uFFFD.jpg");
        QTest::newRow("all") << QStringList{"*"}
                             << QStringList{".hidden.jpg", "a10.jpg", "a9.BMP", bad, "note.txt"};
        QTest::newRow("none given")
            << QStringList{} << QStringList{".hidden.jpg", "a10.jpg", "a9.BMP", bad, "note.txt"};
        QTest::newRow("pictures") << QStringList{"*.jpg", "*.bmp"}
                                  << QStringList{".hidden.jpg", "a10.jpg", "a9.BMP", bad};
        QTest::newRow("a name") << QStringList{"note.txt"} << QStringList{"note.txt"};
    }
    void listsFilesByTheirBytes()
    {
        QFETCH(QStringList, patterns);
        QFETCH(QStringList, names);
        sq::test::RawTempDir dir;
        const QByteArray folder = dir.bytes() + "/pics\xfe";
        for (const QByteArray& n :
             {QByteArray("bad\xff.jpg"), QByteArray("a9.BMP"), QByteArray("a10.jpg"),
              QByteArray(".hidden.jpg"), QByteArray("note.txt")})
            QVERIFY(writeFileAt(folder + '/' + n, "x"));
        QVERIFY(sq::test::makeFolderAt(folder + "/sub.jpg")); // folders are not listed
        pw::FolderFileList list;
        list.setNameFilters(patterns);
        QVERIFY(!list.setRootPath(pw::pathFromNative(folder)).isValid());
        // Natural order of the shown names: a9 before a10.
        const QStringList got = shown(list);
        QCOMPARE(got.size(), names.size());
        QCOMPARE(QSet<QString>(got.begin(), got.end()), QSet<QString>(names.begin(), names.end()));
        if (names.contains("a9.BMP") && names.contains("a10.jpg"))
            QVERIFY(got.indexOf("a9.BMP") < got.indexOf("a10.jpg"));
        const int bad = got.indexOf(QStringLiteral("bad\uFFFD.jpg"));
        if (bad >= 0) {
            QCOMPARE(pw::nativePath(list.filePath(list.index(bad))), folder + "/bad\xff.jpg");
            QCOMPARE(list.fileName(bad), QByteArray("bad\xff.jpg"));
            QCOMPARE(list.data(list.index(bad), Qt::UserRole).toString(),
                     list.filePath(list.index(bad)));
        }
    }

    // New and removed files show without being asked; while a file
    // operation runs the list waits, and reads once when it has ended.
    void followsChanges()
    {
        sq::test::RawTempDir dir;
        const QByteArray folder = dir.bytes() + "/w\xfe";
        QVERIFY(writeFileAt(folder + "/a.jpg", "x"));
        pw::FolderFileList list;
        list.setRootPath(pw::pathFromNative(folder));
        QCOMPARE(list.rowCount(), 1);
        QVERIFY(writeFileAt(folder + "/n\xff.jpg", "x"));
        QTRY_COMPARE(list.rowCount(), 2);
        QVERIFY(::unlink((folder + "/a.jpg").constData()) == 0);
        QTRY_COMPARE(list.rowCount(), 1);

        int resets = 0;
        connect(&list, &QAbstractItemModel::modelReset, this, [&] { ++resets; });
        {
            const pw::FileOpBatch batch;
            for (int i = 0; i < 5; ++i) {
                QVERIFY(writeFileAt(folder + "/b" + QByteArray::number(i) + ".jpg", "x"));
                QTest::qWait(150);
            }
            QCOMPARE(resets, 0);
            QCOMPARE(list.rowCount(), 1);
        }
        QTRY_COMPARE(list.rowCount(), 6);
        QVERIFY(resets >= 1);
    }
};

QTEST_GUILESS_MAIN(TstFolderFileList)
#include "tst_folderfilelist.moc"
