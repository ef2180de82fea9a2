#include "app/Unit20.h"
#include "engine/TextLines.h"
#include "platform/NativePath.h"
#include "tests/app/AppFixture.h"
#include "tests/support/MessageBoxes.h"

#include <QAction>
#include <QComboBox>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QPushButton>
#include <QToolButton>

#include <sys/stat.h>

using sq::test::MessageBoxes;

class TstFavorites : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void addPickGo()
    {
        AppFixture app;
        const QString a = app.path(QStringLiteral("a"));
        const QString b = app.path(QStringLiteral("b"));
        QVERIFY(QDir().mkpath(a) && QDir().mkpath(b));
        TForm1* f = app.start(QStringLiteral("a"));
        QCOMPARE(f->ComboBox1->currentText(), a);
        // Added as shown, twice if asked twice; the button does the same.
        f->menuItem(QStringLiteral("N53"))->trigger();
        QTest::mouseClick(f->SpeedButton1, Qt::LeftButton);
        f->ComboBox1->setEditText(b);
        f->menuItem(QStringLiteral("N53"))->trigger();
        f->ComboBox1->setEditText(QStringLiteral("/"));
        f->menuItem(QStringLiteral("N53"))->trigger();
        QCOMPARE(f->favorites(), (QStringList{a, a, b, "/"}));
        QCOMPARE(f->treeFolder(), a); // adding goes nowhere

        // Picking an item goes there; so does the go button with a typed path.
        f->ComboBox1->setCurrentIndex(2);
        Q_EMIT f->ComboBox1->activated(2);
        QCOMPARE(f->treeFolder(), b);
        f->ComboBox1->setEditText(a);
        QTest::mouseClick(f->SpeedButton2, Qt::LeftButton);
        QCOMPARE(f->treeFolder(), a);
        f->ComboBox1Change(3); // a root folder is a folder like any other
        QCOMPARE(f->treeFolder(), QStringLiteral("/"));

        // A favourite whose folder is gone, and a typed path that is none.
        QVERIFY(QDir(b).removeRecursively());
        MessageBoxes boxes;
        f->ComboBox1Change(2);
        f->ComboBox1->setEditText(QStringLiteral("/no/such/folder"));
        f->SpeedButton2Click();
        QCOMPARE(boxes.texts(),
                 (QStringList{b + QStringLiteral("\n\rにアクセスできません"),
                              QStringLiteral("/no/such/folder\n\rにアクセスできません")}));
        QCOMPARE(f->treeFolder(), QStringLiteral("/"));

        // Written at close, one line each with CR LF.
        f->close();
        QCOMPARE(sq::test::readFile(app.data() + QStringLiteral("favorites.dat")),
                 (a + "\r\n" + a + "\r\n" + b + "\r\n/\r\n").toUtf8());
    }

    void editDialog()
    {
        AppFixture app;
        QVERIFY(
            sq::test::writeFile(app.data() + QStringLiteral("favorites.dat"), "/x\r\n/y\n/z\r"));
        QVERIFY(QDir().mkpath(app.path(QStringLiteral("a"))));
        TForm1* f = app.start(QStringLiteral("a"));
        QCOMPARE(f->favorites(), (QStringList{"/x", "/y", "/z"}));
        f->menuItem(QStringLiteral("N54"))->trigger();
        QVERIFY(Form20->isVisible());
        QCOMPARE(Form20->items(), f->favorites());
        // 削除 with nothing selected does nothing; with a selection, that item.
        Form20->ListBox1->clearSelection();
        QTest::mouseClick(Form20->Button3, Qt::LeftButton);
        QCOMPARE(Form20->items().size(), 3);
        Form20->ListBox1->setCurrentRow(1);
        QTest::mouseClick(Form20->Button3, Qt::LeftButton);
        QCOMPARE(Form20->items(), (QStringList{"/x", "/z"}));
        // すべて削除 asks; Cancel keeps, OK empties; キャンセル keeps the favourites.
        MessageBoxes boxes({QStringLiteral("Cancel"), QStringLiteral("OK")});
        QTest::mouseClick(Form20->Button4, Qt::LeftButton);
        QCOMPARE(Form20->items().size(), 2);
        QTest::mouseClick(Form20->Button4, Qt::LeftButton);
        QCOMPARE(Form20->items(), QStringList());
        QCOMPARE(boxes.texts(), QStringList(2, QStringLiteral("すべて削除していいですか?")));
        QTest::mouseClick(Form20->Button2, Qt::LeftButton);
        QVERIFY(!Form20->isVisible());
        QCOMPARE(f->favorites(), (QStringList{"/x", "/y", "/z"}));
        // OK hands the list back.
        f->menuItem(QStringLiteral("N54"))->trigger();
        Form20->ListBox1->setCurrentRow(0);
        QTest::mouseClick(Form20->Button3, Qt::LeftButton);
        QTest::mouseClick(Form20->Button1, Qt::LeftButton);
        QCOMPARE(f->favorites(), (QStringList{"/y", "/z"}));
        QCOMPARE(f->ComboBox1->currentText(), app.path(QStringLiteral("a"))); // the edit text stays
        f->close();
        QCOMPARE(sq::test::readFile(app.data() + QStringLiteral("favorites.dat")),
                 QByteArray("/y\r\n/z\r\n"));
    }

    // The edit dialog's list scrolls across twice the combo box's width, and
    // Memo3 holds the favourites' text from the start, after OK and at close.
    void editDialogScrollWidthAndMemo3_data()
    {
        QTest::addColumn<int>("comboWidth");
        QTest::addColumn<int>("itemLength"); // characters of the long item
        QTest::newRow("narrow combo, short items") << 150 << 5;
        QTest::newRow("wide combo, short items") << 400 << 5;
        QTest::newRow("an item wider than the scroll width") << 150 << 400;
    }
    void editDialogScrollWidthAndMemo3()
    {
        QFETCH(int, comboWidth);
        QFETCH(int, itemLength);
        AppFixture app;
        const QByteArray longItem = '/' + QByteArray(itemLength, 'w');
        QVERIFY(sq::test::writeFile(app.data() + QStringLiteral("favorites.dat"),
                                    "/x\r\n/y\xff\r\n" + longItem + "\r\n"));
        QVERIFY(QDir().mkpath(app.path(QStringLiteral("a"))));
        TForm1* f = app.start(QStringLiteral("a"));
        const QString bad = sq::platform::pathFromNative(QByteArray("/y\xff"));
        const QString joined = QStringList{"/x", bad, QString::fromLatin1(longItem)}.join('\n');
        QCOMPARE(f->Memo3->toPlainText(), joined);
        QVERIFY(!f->Memo3->isVisible());
        f->ComboBox1->setFixedWidth(comboWidth);
        QTRY_COMPARE(f->ComboBox1->width(), comboWidth);
        f->menuItem(QStringLiteral("N54"))->trigger();
        TScrollWidthList* list = Form20->ListBox1;
        QCOMPARE(list->scrollWidth(), 2 * comboWidth);
        QTRY_VERIFY(list->viewport()->width() > 0);
        const int extent = 2 * comboWidth - list->viewport()->width();
        QScrollBar* bar = list->horizontalScrollBar();
        if (itemLength < 100) {
            QCOMPARE(bar->maximum(), std::max(0, extent));
        } else {
            // The long item scrolls to its end, past the scroll width.
            QVERIFY2(bar->maximum() > extent, qPrintable(QString::number(bar->maximum())));
        }
        QCOMPARE(bar->isVisibleTo(list), bar->maximum() > 0);
        // Cancel changes nothing; OK mirrors the new list in Memo3.
        QTest::mouseClick(Form20->Button2, Qt::LeftButton);
        QCOMPARE(f->Memo3->toPlainText(), joined);
        f->menuItem(QStringLiteral("N54"))->trigger();
        Form20->ListBox1->setCurrentRow(0);
        QTest::mouseClick(Form20->Button3, Qt::LeftButton);
        QTest::mouseClick(Form20->Button1, Qt::LeftButton);
        const QString kept = QStringList{bad, QString::fromLatin1(longItem)}.join('\n');
        QCOMPARE(f->Memo3->toPlainText(), kept);
        f->ComboBox1->addItem(QStringLiteral("/added"), QStringLiteral("/added"));
        QCOMPARE(f->Memo3->toPlainText(), kept); // only after OK and at close
        f->close();
        QCOMPARE(f->Memo3->toPlainText(), kept + QStringLiteral("\n/added"));
        QCOMPARE(sq::test::readFile(app.data() + QStringLiteral("favorites.dat")),
                 "/y\xff\r\n" + longItem + "\r\n/added\r\n");
    }

    // A path is bytes: a line that is not text in the file's encoding comes
    // back as it went; a Windows file's CP932 lines are read as text.
    void fileRoundTrip_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QByteArray>("written");
        QTest::newRow("UTF-8") << QByteArray("/写真\r\n/b\r\n") << QByteArray("/写真\r\n/b\r\n");
        QTest::newRow("bad byte among UTF-8") << QByteArray("/写真\r\n/caf\xe9\r\n/\xff\xfe\r\n")
                                              << QByteArray("/写真\r\n/caf\xe9\r\n/\xff\xfe\r\n");
        QTest::newRow("bad bytes alone") << QByteArray("/a\xff\r\n") << QByteArray("/a\xff\r\n");
        QTest::newRow("CP932 file")
            << QByteArray("C:\\\x8e\xca\x90\x5e\r\n") << QByteArray("C:\\写真\r\n");
        QTest::newRow("empty") << QByteArray() << QByteArray();
    }
    void fileRoundTrip()
    {
        QFETCH(QByteArray, file);
        QFETCH(QByteArray, written);
        AppFixture app;
        QVERIFY(sq::test::writeFile(app.data() + QStringLiteral("favorites.dat"), file));
        QVERIFY(QDir().mkpath(app.path(QStringLiteral("a"))));
        TForm1* f = app.start(QStringLiteral("a"));
        for (const QString& path : f->favorites())
            QCOMPARE(f->ComboBox1->itemText(int(f->favorites().indexOf(path))),
                     sq::platform::displayText(path));
        f->close();
        QCOMPARE(sq::test::readFile(app.data() + QStringLiteral("favorites.dat")), written);
    }

    // A folder whose name is not UTF-8 is added, gone to and saved as bytes.
    void folderWithBadName()
    {
        AppFixture app;
        QVERIFY(QDir().mkpath(app.path(QStringLiteral("pics"))));
        const QByteArray bad = QFile::encodeName(app.path(QStringLiteral("pics"))) + "/caf\xe9";
        QCOMPARE(::mkdir(bad.constData(), 0755), 0);
        const QString carrier = sq::platform::pathFromNative(bad);
        QVERIFY(QDir().mkpath(app.path(QStringLiteral("a"))));
        TForm1* f = app.start(QStringLiteral("a"));
        f->ComboBox1->setEditText(carrier);
        f->N53Click();
        QCOMPARE(f->favorites(), QStringList{carrier});
        QVERIFY(f->ComboBox1->itemText(0).endsWith(QStringLiteral("caf\uFFFD")));
        f->close();
        QCOMPARE(sq::test::readFile(app.data() + QStringLiteral("favorites.dat")), bad + "\r\n");
    }

    // A FIFO or a device as the favourites file is not read (no wait).
    void favoritesFileNotRegular()
    {
        AppFixture app;
        QDir().mkpath(app.data());
        QCOMPARE(
            ::mkfifo(QFile::encodeName(app.data() + QStringLiteral("favorites.dat")).constData(),
                     0644),
            0);
        QVERIFY(QDir().mkpath(app.path(QStringLiteral("a"))));
        MessageBoxes boxes;
        TForm1* f = app.start(QStringLiteral("a"));
        QCOMPARE(f->favorites(), QStringList());
        QTRY_COMPARE(boxes.texts().size(), 1);
        QStringList lines;
        QVERIFY(!sq::readPathLines(QStringLiteral("/dev/zero"), lines));
    }
};

QTEST_MAIN(TstFavorites)
#include "tst_favorites.moc"
