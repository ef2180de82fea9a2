#include "app/Unit19.h"
#include "app/Unit22.h"
#include "app/Unit23.h"
#include "app/Unit24.h"
#include "app/Unit9.h"
#include "platform/FolderFileList.h"
#include "platform/ShellOpen.h"
#include "tests/app/AppFixture.h"
#include "tests/support/MessageBoxes.h"
#include "viewers/ChooserTargets.h"

#include <QAction>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>

using sq::test::MessageBoxes;
using sq::test::readFile;
using sq::test::writeFile;

namespace {

bool exists(const QString& path)
{
    return QFileInfo::exists(path);
}

QString trashed(const QString& name)
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/Trash/files/") + name;
}

void click(QPushButton* button)
{
    QTest::mouseClick(button, Qt::LeftButton);
}

class RecordingOpener : public sq::platform::ShellOpener
{
public:
    sq::platform::OpenStatus status = sq::platform::OpenStatus::Started;
    QStringList opened;
    bool open(const QString& path) override
    {
        return openFile(path) == sq::platform::OpenStatus::Started;
    }
    sq::platform::OpenStatus openFile(const QString& path) override
    {
        opened << path;
        return status;
    }
};

class FakeViewer : public TCopySource, public TFavoritesFolderTarget
{
public:
    QStringList screens;
    int layout = 4;
    QString shown;
    QString favorites;
    QString ScreenFile(int n) const override { return screens.value(n - 1); }
    int ScreenCount() const override { return layout; }
    QString ShownFile() const override { return shown; }
    QString FavoritesFolder() const override { return favorites; }
    void SetFavoritesFolder(const QString& folder) override { favorites = folder; }
};

} // namespace

class TstFileCommands : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void newFolder_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("message"); // "" for none; %1 is the new folder's path
        QTest::addColumn<bool>("made");
        QTest::newRow("plain") << QStringLiteral("新しいフォルダ") << QString() << true;
        QTest::newRow("exists") << QStringLiteral("old")
                                << QStringLiteral("%1\rは既に存在しています") << false;
        QTest::newRow("empty: nothing") << QString() << QString() << false;
        QTest::newRow("slash") << QStringLiteral("a/b") << QStringLiteral("処理は失敗しました")
                               << false;
        QTest::newRow("dot dot") << QStringLiteral("..") << QStringLiteral("処理は失敗しました")
                                 << false;
        QTest::newRow("dot") << QStringLiteral(".") << QStringLiteral("処理は失敗しました")
                             << false;
        QTest::newRow("NUL") << QStringLiteral("a") + QChar(0) + QStringLiteral("b")
                             << QStringLiteral("処理は失敗しました") << false;
    }
    void newFolder()
    {
        QFETCH(QString, name);
        QFETCH(QString, message);
        QFETCH(bool, made);
        AppFixture app;
        QVERIFY(QDir().mkpath(app.path(QStringLiteral("work/old"))));
        TForm1* f = app.start(QStringLiteral("work"));
        MessageBoxes boxes;
        f->menuItem(QStringLiteral("New2"))->trigger();
        QVERIFY(Form19->isVisible());
        QCOMPARE(Form19->Label2->toolTip(), app.path(QStringLiteral("work")));
        Form19->Edit1->setText(name);
        click(Form19->Button1);
        const QString target = app.path(QStringLiteral("work/")) + name;
        QCOMPARE(boxes.texts(),
                 message.isEmpty() ? QStringList() : QStringList{message.arg(target)});
        QCOMPARE(Form19->isVisible(), !made);
        if (made) {
            QVERIFY(QFileInfo(target).isDir());
            f->menuItem(QStringLiteral("New1"))->trigger(); // the text stays for the next use
            QCOMPARE(Form19->Edit1->text(), name);
        }
        QCOMPARE(QDir(app.path(QStringLiteral("work")))
                     .entryList(QDir::AllEntries | QDir::NoDotAndDotDot)
                     .size(),
                 made ? 2 : 1);
        QVERIFY(!exists(app.path(QStringLiteral("a"))) && !exists(app.path(QStringLiteral("b"))));
    }

    void folderRename_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("renamed");
        QTest::newRow("plain") << QStringLiteral("renamed") << true;
        QTest::newRow("onto an empty folder") << QStringLiteral("empty") << false;
        QTest::newRow("onto a full folder") << QStringLiteral("full") << false;
        QTest::newRow("slash") << QStringLiteral("../escaped") << false;
        QTest::newRow("dot dot") << QStringLiteral("..") << false;
        QTest::newRow("empty") << QString() << false;
    }
    void folderRename()
    {
        QFETCH(QString, name);
        QFETCH(bool, renamed);
        AppFixture app;
        QVERIFY(writeFile(app.path(QStringLiteral("work/pics/a.jpg")), "a"));
        QVERIFY(QDir().mkpath(app.path(QStringLiteral("work/empty"))));
        QVERIFY(writeFile(app.path(QStringLiteral("work/full/f.txt")), "f"));
        TForm1* f = app.start(QStringLiteral("work/pics"));
        QCOMPARE(f->treeFolder(), app.path(QStringLiteral("work/pics")));
        MessageBoxes boxes;
        f->menuItem(QStringLiteral("Rename1"))->trigger();
        QVERIFY(Form22->isVisible());
        Form22->Edit1->setText(name);
        click(Form22->Button1);
        QCOMPARE(boxes.texts(),
                 renamed ? QStringList() : QStringList{QStringLiteral("処理は失敗しました")});
        QCOMPARE(Form22->isVisible(), !renamed);
        const QString target = app.path(QStringLiteral("work/")) + name;
        QCOMPARE(exists(app.path(QStringLiteral("work/pics/a.jpg"))), !renamed);
        if (renamed) {
            QCOMPARE(readFile(target + QStringLiteral("/a.jpg")), QByteArray("a"));
            QCOMPARE(f->treeFolder(), target); // the tree follows the folder
        }
        QVERIFY(QFileInfo(app.path(QStringLiteral("work/empty"))).isDir());
        QCOMPARE(readFile(app.path(QStringLiteral("work/full/f.txt"))), QByteArray("f"));
        QVERIFY(!exists(app.path(QStringLiteral("escaped"))));
    }

    // The tree's folder copied or moved into a folder that has one of the
    // same name, the conflict answered each way.
    void folderCopyMove_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QByteArray>("inTarget"); // a.jpg in the destination afterwards
        QTest::addColumn<bool>("sourceKept");
        QTest::newRow("copy, replace") << "Copy3"
                                       << "置き換え" << QByteArray("new") << true;
        QTest::newRow("copy, skip") << "Copy2"
                                    << "スキップ" << QByteArray("old") << true;
        QTest::newRow("copy, cancel") << "Copy2"
                                      << "キャンセル" << QByteArray("old") << true;
        QTest::newRow("move, replace") << "GoTo2"
                                       << "置き換え" << QByteArray("new") << false;
        QTest::newRow("move, cancel") << "GoTo3"
                                      << "キャンセル" << QByteArray("old") << true;
    }
    void folderCopyMove()
    {
        QFETCH(QString, item);
        QFETCH(QString, answer);
        QFETCH(QByteArray, inTarget);
        QFETCH(bool, sourceKept);
        AppFixture app;
        const QString src = app.path(QStringLiteral("work/src"));
        const QString dest = app.path(QStringLiteral("dest"));
        QVERIFY(writeFile(src + QStringLiteral("/a.jpg"), "new"));
        QVERIFY(writeFile(src + QStringLiteral("/sub/b.txt"), "b"));
        QVERIFY(writeFile(dest + QStringLiteral("/src/a.jpg"), "old"));
        TForm1* f = app.start(QStringLiteral("work/src"));
        f->menuItem(item)->trigger();
        QVERIFY(Form23->isVisible());
        const bool copy = item.startsWith(QLatin1String("Copy"));
        QCOMPARE(Form23->windowTitle(),
                 copy ? QStringLiteral("フォルダをコピー") : QStringLiteral("フォルダを移動"));
        QCOMPARE(Form23->Label1->text(),
                 copy ? QStringLiteral("コピー先を選択") : QStringLiteral("移動先を選択"));
        QCOMPARE(Form23->folder(), src); // opens on the tree's folder
        QCOMPARE(sq::app::destinationAction, copy ? 1 : 0);
        Form23->setFolder(dest);
        QCOMPARE(Form23->Label2->toolTip(), dest);
        MessageBoxes boxes({answer});
        click(Form23->Button1);
        QVERIFY(!Form23->isVisible());
        QCOMPARE(boxes.texts().size(), 1);
        QVERIFY(boxes.texts().first().contains(QStringLiteral("置き換えますか")));
        QCOMPARE(readFile(dest + QStringLiteral("/src/a.jpg")), inTarget);
        QCOMPARE(readFile(src + QStringLiteral("/a.jpg")),
                 sourceKept ? QByteArray("new") : QByteArray());
        if (answer != QStringLiteral("キャンセル"))
            QCOMPARE(readFile(dest + QStringLiteral("/src/sub/b.txt")), QByteArray("b"));
        if (!sourceKept) {
            QVERIFY(!exists(src));
            QCOMPARE(f->treeFolder(), dest + QStringLiteral("/src"));
        } else {
            QCOMPARE(readFile(src + QStringLiteral("/sub/b.txt")), QByteArray("b"));
        }
    }

    void folderIntoItself()
    {
        AppFixture app;
        const QString src = app.path(QStringLiteral("work/src"));
        QVERIFY(writeFile(src + QStringLiteral("/inner/a.jpg"), "a"));
        TForm1* f = app.start(QStringLiteral("work/src"));
        f->menuItem(QStringLiteral("GoTo2"))->trigger();
        Form23->setFolder(src + QStringLiteral("/inner"));
        MessageBoxes boxes;
        click(Form23->Button1);
        QCOMPARE(boxes.texts().size(), 1); // refused with an error
        QCOMPARE(readFile(src + QStringLiteral("/inner/a.jpg")), QByteArray("a"));
        QVERIFY(!exists(src + QStringLiteral("/inner/src")));
    }

    void deleteFolder()
    {
        AppFixture app;
        const QString doomed = app.path(QStringLiteral("work/doomed"));
        QVERIFY(writeFile(doomed + QStringLiteral("/a.jpg"), "a"));
        TForm1* f = app.start(QStringLiteral("work/doomed"));
        MessageBoxes boxes({QStringLiteral("Cancel")});
        f->menuItem(QStringLiteral("Delete3"))->trigger();
        QCOMPARE(boxes.texts(), QStringList{doomed + QStringLiteral("\n\rを削除していいですか?")});
        QVERIFY(exists(doomed + QStringLiteral("/a.jpg")));
        boxes.answer({QStringLiteral("OK")});
        f->menuItem(QStringLiteral("Delete1"))->trigger();
        QVERIFY(!exists(doomed));
        QCOMPARE(readFile(trashed(QStringLiteral("doomed/a.jpg"))), QByteArray("a"));
        QCOMPARE(f->treeFolder(), app.path(QStringLiteral("work")));
        QCOMPARE(boxes.texts().size(), 2);
    }

    void selectedFiles()
    {
        AppFixture app;
        const QString pics = app.path(QStringLiteral("pics"));
        const QString dest = app.path(QStringLiteral("dest"));
        for (const char* n : {"a", "b", "c"})
            QVERIFY(
                writeFile(pics + QLatin1Char('/') + QLatin1String(n) + QStringLiteral(".jpg"), n));
        QVERIFY(QDir().mkpath(dest));
        TForm1* f = app.start(QStringLiteral("pics"));
        QVERIFY(app.listed(3));
        MessageBoxes boxes;
        f->menuItem(QStringLiteral("N26"))->trigger();
        f->menuItem(QStringLiteral("Copy4"))->trigger();
        QCOMPARE(boxes.texts(), QStringList(2, QStringLiteral("選択画像がありません")));
        QVERIFY(!Form23->isVisible());

        // Copy: the selected files only, the sources stay.
        app.select({0, 2});
        QCOMPARE(app.browser().SelCount(), 2);
        f->menuItem(QStringLiteral("Copy4"))->trigger();
        QCOMPARE(Form23->windowTitle(), QStringLiteral("選択ファイルをコピー"));
        QCOMPARE(sq::app::destinationAction, 32);
        Form23->setFolder(dest);
        click(Form23->Button1);
        QCOMPARE(QDir(dest).entryList(QDir::Files), (QStringList{"a.jpg", "c.jpg"}));
        QCOMPARE(readFile(pics + QStringLiteral("/a.jpg")), QByteArray("a"));

        // Into the folder they are in: the conflict question, never a
        // truncated source, whatever the answer.
        for (const QString& answer : {QStringLiteral("置き換え"), QStringLiteral("スキップ"),
                                      QStringLiteral("キャンセル")}) {
            boxes.clear();
            boxes.answer({answer, answer});
            QVERIFY(app.listed(3));
            app.select({0, 2}); // reading the files may have listed the folder anew
            f->menuItem(QStringLiteral("N26"))->trigger();
            QCOMPARE(Form23->windowTitle(), QStringLiteral("選択ファイルを移動"));
            Form23->setFolder(pics);
            click(Form23->Button1);
            QCOMPARE(boxes.texts().size(), answer == QStringLiteral("キャンセル") ? 1 : 2);
            QCOMPARE(readFile(pics + QStringLiteral("/a.jpg")), QByteArray("a"));
            QCOMPARE(readFile(pics + QStringLiteral("/c.jpg")), QByteArray("c"));
        }
        QCOMPARE(QDir(pics).entryList(QDir::Files).size(), 3);

        // Move: gone from here, there in full.
        const QString moved = app.path(QStringLiteral("moved"));
        QVERIFY(QDir().mkpath(moved));
        QVERIFY(app.listed(3));
        app.select({1});
        f->menuItem(QStringLiteral("N26"))->trigger();
        Form23->setFolder(moved);
        click(Form23->Button1);
        QVERIFY(!exists(pics + QStringLiteral("/b.jpg")));
        QCOMPARE(readFile(moved + QStringLiteral("/b.jpg")), QByteArray("b"));
    }

    // One command is one batch: "以降すべてに適用" at the first of the
    // existing files answers for the rest. While the walk runs the chooser
    // is hidden and a second OK that reaches it starts nothing.
    void existingFilesOneCommand_data()
    {
        QTest::addColumn<int>("code"); // 31 move, 32 copy the selection, 15 the viewer's screens
        QTest::addColumn<QString>("answer");
        QTest::addColumn<int>("questions");
        QTest::addColumn<bool>("replaced");
        QTest::newRow("copy, replace all") << 32 << MessageBoxes::forAll("置き換え") << 1 << true;
        QTest::newRow("copy, skip all") << 32 << MessageBoxes::forAll("スキップ") << 1 << false;
        QTest::newRow("copy, replace each") << 32 << QStringLiteral("置き換え") << 8 << true;
        QTest::newRow("copy, cancel") << 32 << QStringLiteral("キャンセル") << 1 << false;
        QTest::newRow("move, replace all") << 31 << MessageBoxes::forAll("置き換え") << 1 << true;
        QTest::newRow("move, skip all") << 31 << MessageBoxes::forAll("スキップ") << 1 << false;
        QTest::newRow("screens, replace all")
            << 15 << MessageBoxes::forAll("置き換え") << 1 << true;
        QTest::newRow("screens, skip each") << 15 << QStringLiteral("スキップ") << 4 << false;
    }
    void existingFilesOneCommand()
    {
        QFETCH(int, code);
        QFETCH(QString, answer);
        QFETCH(int, questions);
        QFETCH(bool, replaced);
        AppFixture app;
        const QString pics = app.path(QStringLiteral("pics"));
        const QString dest = app.path(QStringLiteral("dest"));
        const int count = code == 15 ? 4 : 8;
        QStringList names;
        for (int i = 0; i < count; ++i) {
            names << QStringLiteral("f%1.jpg").arg(i);
            QVERIFY(writeFile(pics + QLatin1Char('/') + names.last(), "new"));
            QVERIFY(writeFile(dest + QLatin1Char('/') + names.last(), "old"));
        }
        TForm1* f = app.start(QStringLiteral("pics"));
        QVERIFY(app.listed(count));
        FakeViewer viewer;
        if (code == 15) {
            for (const QString& name : std::as_const(names))
                viewer.screens << pics + QLatin1Char('/') + name;
            static_cast<TViewerHost*>(f)->ChooseDestination(code, viewer);
        } else {
            app.browser().SelectAll();
            QCOMPARE(app.browser().SelCount(), count);
            f->menuItem(code == 31 ? QStringLiteral("N26") : QStringLiteral("Copy4"))->trigger();
        }
        QVERIFY(Form23->isVisible());
        Form23->setFolder(dest);
        // At the first question: where the chooser is, and an OK on it.
        int seen = 0;
        bool chooserShown = false;
        QTimer second;
        QObject::connect(&second, &QTimer::timeout, [&] {
            if (!qobject_cast<QMessageBox*>(QApplication::activeModalWidget()) || seen++) return;
            chooserShown = Form23->isVisible();
            Form23->Button1Click();
        });
        second.start(0);
        MessageBoxes boxes(QStringList(count, answer));
        click(Form23->Button1);
        second.stop();
        QVERIFY(!Form23->isVisible());
        QVERIFY(!chooserShown);
        QCOMPARE(boxes.texts().size(), questions);
        for (const QString& text : boxes.texts())
            QVERIFY2(text.startsWith(dest + QStringLiteral("/f")), qPrintable(text));
        const bool moved = code == 31 && replaced;
        for (const QString& name : std::as_const(names)) {
            QCOMPARE(readFile(dest + QLatin1Char('/') + name),
                     QByteArray(replaced ? "new" : "old"));
            QCOMPARE(exists(pics + QLatin1Char('/') + name), !moved);
        }
        QVERIFY(Form23->Button1->isEnabled());
        // The next command asks again.
        boxes.clear();
        QVERIFY(writeFile(pics + QStringLiteral("/again.jpg"), "new"));
        QVERIFY(writeFile(dest + QStringLiteral("/again.jpg"), "old"));
        viewer.screens = QStringList{pics + QStringLiteral("/again.jpg")};
        static_cast<TViewerHost*>(f)->ChooseDestination(11, viewer);
        boxes.answer({QStringLiteral("スキップ")});
        click(Form23->Button1);
        QCOMPARE(boxes.texts().size(), 1);
    }

    void renamePicture_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("result"); // "" when refused
        QTest::newRow("extension kept") << "new"
                                        << "new.jpg";
        QTest::newRow("doubled extension") << "new.jpg"
                                           << "new.jpg.jpg";
        QTest::newRow("existing name") << "b"
                                       << "";
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("slash") << "../up"
                               << "";
    }
    void renamePicture()
    {
        QFETCH(QString, typed);
        QFETCH(QString, result);
        AppFixture app;
        const QString pics = app.path(QStringLiteral("pics"));
        QVERIFY(
            sq::test::writeJpeg(pics + QStringLiteral("/a.jpg"), sq::test::patternImage(40, 30)));
        QVERIFY(writeFile(pics + QStringLiteral("/b.jpg"), "b"));
        TForm1* f = app.start(QStringLiteral("pics"));
        QVERIFY(app.listed(2));
        app.select({0});
        f->ImgBox1->LoadFile(pics + QStringLiteral("/a.jpg"));
        const QByteArray bytes = readFile(pics + QStringLiteral("/a.jpg"));
        MessageBoxes boxes;
        f->menuItem(QStringLiteral("Rename3"))->trigger();
        QVERIFY(Form24->isVisible());
        QCOMPARE(Form24->Label1->text(), QStringLiteral(".jpg"));
        QCOMPARE(Form24->Label2->text(), f->statusText(3));
        Form24->Edit1->setText(typed);
        click(Form24->Button1);
        if (result.isEmpty()) {
            QCOMPARE(boxes.texts(), QStringList{QStringLiteral("処理は失敗しました")});
            QVERIFY(Form24->isVisible());
            QCOMPARE(readFile(pics + QStringLiteral("/a.jpg")), bytes);
            QCOMPARE(readFile(pics + QStringLiteral("/b.jpg")), QByteArray("b"));
            QVERIFY(!exists(app.path(QStringLiteral("up.jpg"))));
        } else {
            QCOMPARE(boxes.texts(), QStringList());
            QVERIFY(!Form24->isVisible());
            QCOMPARE(readFile(pics + QLatin1Char('/') + result), bytes);
            QCOMPARE(f->statusText(3), result);
        }
    }

    void clipboardCommands()
    {
        AppFixture app;
        const QString pics = app.path(QStringLiteral("pics"));
        const QString other = app.path(QStringLiteral("other"));
        QVERIFY(writeFile(pics + QStringLiteral("/a.jpg"), "a"));
        QVERIFY(writeFile(pics + QStringLiteral("/b.jpg"), "b"));
        QVERIFY(QDir().mkpath(other));
        TForm1* f = app.start(QStringLiteral("pics"));
        QVERIFY(app.listed(2));
        app.select({0});
        f->menuItem(QStringLiteral("Copy1"))->trigger();
        f->pointTreeAt(other);
        QVERIFY(app.listed(0));
        sq::app::slideViewActive = true;
        sq::app::favoriteLoading = true; // a saved screen being applied keeps it
        f->menuItem(QStringLiteral("Paste1"))->trigger();
        QCOMPARE(readFile(other + QStringLiteral("/a.jpg")), QByteArray("a"));
        QVERIFY(sq::app::slideViewActive);
        sq::app::favoriteLoading = false;
        f->pointTreeAt(pics);
        QVERIFY(app.listed(2));
        app.select({1});
        f->menuItem(QStringLiteral("Cut1"))->trigger();
        f->pointTreeAt(other);
        QVERIFY(app.listed(1));
        f->menuItem(QStringLiteral("Paste1"))->trigger();
        QVERIFY(!sq::app::slideViewActive);
        QCOMPARE(readFile(other + QStringLiteral("/b.jpg")), QByteArray("b"));
        QVERIFY(!exists(pics + QStringLiteral("/b.jpg")));
        QVERIFY(app.listed(2));
        app.select({0});
        sq::app::slideViewActive = true;
        f->menuItem(QStringLiteral("Delete2"))->trigger();
        QVERIFY(!sq::app::slideViewActive);
        QVERIFY(!exists(other + QStringLiteral("/a.jpg")));
        QCOMPARE(readFile(trashed(QStringLiteral("a.jpg"))), QByteArray("a"));
    }

    void openCommands()
    {
        AppFixture app;
        const QString pics = app.path(QStringLiteral("pics"));
        QVERIFY(
            sq::test::writeJpeg(pics + QStringLiteral("/a.jpg"), sq::test::patternImage(40, 30)));
        QVERIFY(writeFile(pics + QStringLiteral("/b.jpg"), "b"));
        TForm1* f = app.start(QStringLiteral("pics"));
        QVERIFY(app.listed(2));
        RecordingOpener opener;
        f->setShellOpener(&opener);
        MessageBoxes boxes;
        f->menuItem(QStringLiteral("N21"))->trigger(); // nothing selected
        QCOMPARE(opener.opened, QStringList());
        app.select({1});
        f->menuItem(QStringLiteral("N21"))->trigger();
        f->ImgBox1->LoadFile(pics + QStringLiteral("/a.jpg"));
        f->menuItem(QStringLiteral("Open1"))->trigger();
        f->menuItem(QStringLiteral("Explore1"))->trigger();
        QCOMPARE(opener.opened, (QStringList{pics + QStringLiteral("/b.jpg"),
                                             pics + QStringLiteral("/a.jpg"), pics}));
        QCOMPARE(boxes.texts(), QStringList());

        // Nothing to open it with: every way of opening says so.
        opener.status = sq::platform::OpenStatus::NoProgram;
        opener.opened.clear();
        f->menuItem(QStringLiteral("N21"))->trigger();
        QTest::keyClick(&app.browser(), Qt::Key_Return); // the entry's Execute
        auto* files = f->FileListBox1;
        auto* model = dynamic_cast<sq::platform::FolderFileList*>(files->model());
        QVERIFY(model);
        QModelIndex b;
        QVERIFY(QTest::qWaitFor([&] {
            for (int row = 0; row < model->rowCount(); ++row)
                if (model->filePath(model->index(row)) == pics + QStringLiteral("/b.jpg"))
                    b = model->index(row);
            return b.isValid() && model->rowCount() == 2;
        }));
        files->setCurrentIndex(b);
        f->FileListBox1DblClick();
        const QString noProgram =
            pics + QStringLiteral("/b.jpg\nを開くプログラムが関連付けられていません");
        QCOMPARE(boxes.texts(), QStringList(3, noProgram));
        QCOMPARE(opener.opened, QStringList(3, pics + QStringLiteral("/b.jpg")));
        opener.status = sq::platform::OpenStatus::Failed;
        f->menuItem(QStringLiteral("Open1"))->trigger();
        QCOMPARE(boxes.texts().last(),
                 pics + QStringLiteral("/a.jpg\nを開くプログラムを起動できませんでした"));

        // The desktop's own opener, with a desktop that has no programs.
        f->setShellOpener(nullptr);
        const QByteArray dataDirs = qgetenv("XDG_DATA_DIRS");
        qputenv("XDG_DATA_DIRS", QFile::encodeName(app.path(QStringLiteral("no-programs"))));
        boxes.clear();
        f->menuItem(QStringLiteral("N21"))->trigger();
        dataDirs.isEmpty() ? qunsetenv("XDG_DATA_DIRS") : qputenv("XDG_DATA_DIRS", dataDirs);
        QCOMPARE(boxes.texts(), QStringList{noProgram});
    }

    void viewerCodes_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("layout");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QStringList>("copied");
        QTest::newRow("screen 2") << 12 << 4 << "画面2のファイルをコピー" << QStringList{"s2.jpg"};
        QTest::newRow("screen 4, no file") << 14 << 4 << "画面4のファイルをコピー" << QStringList{};
        QTest::newRow("all, two screens")
            << 15 << 2 << "すべての画面のファイルをコピー" << QStringList{"s1.jpg", "s2.jpg"};
        QTest::newRow("all, one screen")
            << 15 << 1 << "すべての画面のファイルをコピー" << QStringList{"s1.jpg"};
        QTest::newRow("all, four screens") << 15 << 4 << "すべての画面のファイルをコピー"
                                           << QStringList{"s1.jpg", "s2.jpg", "s3.jpg"};
        QTest::newRow("file list view")
            << 21 << 4 << "ファイルをコピー" << QStringList{"shown.jpg"};
    }
    void viewerCodes()
    {
        QFETCH(int, code);
        QFETCH(int, layout);
        QFETCH(QString, caption);
        QFETCH(QStringList, copied);
        AppFixture app;
        const QString pics = app.path(QStringLiteral("pics"));
        const QString dest = app.path(QStringLiteral("dest"));
        FakeViewer viewer;
        for (const char* n : {"s1", "s2", "s3", "shown"}) {
            QVERIFY(
                writeFile(pics + QLatin1Char('/') + QLatin1String(n) + QStringLiteral(".jpg"), n));
            if (n[0] == 's' && n[1] != 'h')
                viewer.screens << pics + QLatin1Char('/') + QLatin1String(n) +
                                      QStringLiteral(".jpg");
        }
        viewer.screens << pics + QStringLiteral("/gone.jpg"); // screen 4's file no longer exists
        viewer.shown = pics + QStringLiteral("/shown.jpg");
        viewer.layout = layout;
        QVERIFY(QDir().mkpath(dest));
        TForm1* f = app.start(QStringLiteral("pics"));
        static_cast<TViewerHost*>(f)->ChooseDestination(code, viewer);
        QCOMPARE(Form23->windowTitle(), caption);
        QCOMPARE(Form23->Label1->text(), QStringLiteral("コピー先を選択"));
        QCOMPARE(sq::app::destinationAction, code);
        Form23->setFolder(dest);
        click(Form23->Button1);
        QCOMPARE(QDir(dest).entryList(QDir::Files), copied);
    }

    void favoritesFolderChooser()
    {
        AppFixture app;
        const QString favs = app.path(QStringLiteral("favs"));
        const QString other = app.path(QStringLiteral("other"));
        QVERIFY(writeFile(favs + QStringLiteral("/b.srq"), "b"));
        QVERIFY(writeFile(favs + QStringLiteral("/a.srq"), "a"));
        QVERIFY(writeFile(favs + QStringLiteral("/c.txt"), "c"));
        QVERIFY(QDir().mkpath(other));
        TForm1* f = app.start(QStringLiteral("favs"));
        FakeViewer viewer;
        viewer.favorites = favs;
        static_cast<TViewerHost*>(f)->ChooseFavoritesFolder(viewer);
        QVERIFY(Form9->isVisible());
        QCOMPARE(Form9->folder(), favs);
        QTRY_COMPARE(Form9->listedFiles(), (QStringList{"a.srq", "b.srq"}));
        Form9->setFolder(other);
        click(Form9->Button2); // キャンセル
        QVERIFY(!Form9->isVisible());
        QCOMPARE(viewer.favorites, favs);
        static_cast<TViewerHost*>(f)->ChooseFavoritesFolder(viewer);
        Form9->setFolder(other);
        QTRY_COMPARE(Form9->listedFiles(), QStringList());
        click(Form9->Button1);
        QCOMPARE(viewer.favorites, other);
        QVERIFY(!Form9->isVisible());
    }

    void chooserRules()
    {
        QCOMPARE(favoritesFolderLabel(QStringLiteral("/a/Favorites")),
                 QStringLiteral(" Favorites"));
        QCOMPARE(favoritesFolderLabel(QStringLiteral("/a/Favorites/")),
                 QStringLiteral(" Favorites/"));
        QCOMPARE(favoritesFolderLabel(QStringLiteral("/")), QStringLiteral(" /"));
        QCOMPARE(screensToCopy(13, 1), std::vector<int>{3});
        QCOMPARE(screensToCopy(15, 2), (std::vector<int>{1, 2}));
        QCOMPARE(screensToCopy(15, 4), (std::vector<int>{1, 2, 3, 4}));
        QCOMPARE(screensToCopy(21, 4), std::vector<int>{});
    }
};

QTEST_MAIN(TstFileCommands)
#include "tst_filecommands.moc"
