#include "app/Unit1.h"
#include "app/Unit17.h"
#include "app/Unit3.h"
#include "app/Unit4.h"
#include "app/Windows.h"
#include "platform/FolderTree.h"
#include "platform/NativePath.h"
#include "state/Globals.h"
#include "state/SettingsLines.h"
#include "tests/support/HostileFiles.h"
#include "tests/support/MessageBoxes.h"
#include "tests/support/RawNames.h"
#include "tests/support/TestFiles.h"

#include <QAction>
#include <QBuffer>
#include <QComboBox>
#include <QCursor>
#include <QFileInfo>
#include <QImageWriter>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTreeView>
#include <QtTest>

#include <memory>
#include <unistd.h>

namespace {

// The settings file as it stands on disk, one entry per CR LF line.
QStringList fileLines(const QString& path)
{
    const QByteArray bytes = sq::test::readFile(path);
    QStringList lines = QString::fromUtf8(bytes).split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

QStringList defaultLines(int screenWidth)
{
    TSettingsLines s;
    s.writeDefaults(screenWidth);
    return s.lines();
}

// A settings file of 55 default lines with some lines replaced.
QByteArray settingsWith(const QMap<int, QByteArray>& changes)
{
    QByteArray out;
    const QStringList lines = defaultLines(1024);
    for (int i = 0; i < lines.size(); ++i)
        out += (changes.contains(i) ? changes.value(i) : lines.at(i).toUtf8()) + "\r\n";
    return out;
}

struct Window
{
    QTemporaryDir dir;
    std::unique_ptr<TForm1> form;

    QString data() const { return dir.path() + QStringLiteral("/"); }
    QString ini() const { return data() + QStringLiteral("sorrelquint.ini"); }

    TForm1* open(const QString& startPath = QString())
    {
        form = std::make_unique<TForm1>(data(), startPath, 1024, 768);
        form->show();
        QTest::qWait(0);
        return form.get();
    }
    void close()
    {
        form->close();
    }
};

} // namespace

class TstMainWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void firstRunWritesDefaultFile()
    {
        Window w;
        w.form = std::make_unique<TForm1>(w.data(), QString(), 1024, 768);
        const QByteArray bytes = sq::test::readFile(w.ini());
        QCOMPARE(bytes.count("\r\n"), 55);
        QVERIFY(bytes.endsWith("\r\n"));
        QVERIFY(!bytes.contains("\n\n") && !bytes.contains("\r\r"));
        const QStringList lines = fileLines(w.ini());
        QCOMPARE(lines, defaultLines(1024));
        QCOMPARE(lines.at(44), QStringLiteral("494"));
        QCOMPARE(lines.at(53), QStringLiteral("53"));
        QVERIFY(QFileInfo(w.data() + QStringLiteral("thumb")).isDir());
        QVERIFY(w.form->autoThumb());
    }

    void closeWritesChangedLines()
    {
        Window w;
        TForm1* f = w.open();
        f->menuItem(QStringLiteral("Size1"))->trigger();
        f->menuItem(QStringLiteral("N120x902"))->trigger();
        f->menuItem(QStringLiteral("JPG75"))->trigger();
        f->menuItem(QStringLiteral("N17"))->trigger();
        f->menuItem(QStringLiteral("ViewStyle6"))->trigger();
        f->menuItem(QStringLiteral("JPEG2"))->trigger();
        f->menuItem(QStringLiteral("N88"))->trigger();
        QCOMPARE(fileLines(w.ini()).at(1), QStringLiteral("3")); // nothing saved before close
        f->menuItem(QStringLiteral("Close1"))->trigger();
        const QStringList lines = fileLines(w.ini());
        QCOMPARE(lines.size(), 55);
        QCOMPARE(lines.at(1), QStringLiteral("1"));
        QCOMPARE(lines.at(2), QStringLiteral("0"));
        QCOMPARE(lines.at(3), QStringLiteral("4"));
        QCOMPARE(lines.at(4), QStringLiteral("5"));
        QCOMPARE(lines.at(27), QStringLiteral("3"));
        QCOMPARE(lines.at(52), QStringLiteral("1"));
        QCOMPARE(lines.at(54), QStringLiteral("75"));
        QVERIFY(f->menuItem(QStringLiteral("N120x902"))->isChecked());
        QVERIFY(!f->menuItem(QStringLiteral("N80x602"))->isChecked());
        QVERIFY(f->menuItem(QStringLiteral("N36"))->isChecked());
        QVERIFY(f->menuItem(QStringLiteral("N88"))->isChecked());
        QVERIFY(!f->menuItem(QStringLiteral("N39"))->isChecked());
        QVERIFY(!f->Panel3->isVisible());
    }

    void sortCodes_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("line");
        QTest::newRow("name") << "Name1" << "0";
        QTest::newRow("size") << "Size1" << "1";
        QTest::newRow("date") << "Date1" << "2";
        QTest::newRow("type") << "Type1" << "3";
    }
    void sortCodes()
    {
        QFETCH(QString, item);
        QFETCH(QString, line);
        Window w;
        TForm1* f = w.open();
        f->menuItem(item)->trigger();
        QCOMPARE(f->settings().text(1), line);
        for (const char* other : {"Name1", "Size1", "Date1", "Type1"})
            QCOMPARE(f->menuItem(QString::fromLatin1(other))->isChecked(), item == QLatin1String(other));
    }

    // Damaged or foreign settings files start normally and are saved whole.
    void unsoundSettingsFiles_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("line");
        QTest::addColumn<QByteArray>("expected"); // the line's bytes as saved
        QByteArray ten;
        for (int i = 0; i < 10; ++i)
            ten += QByteArray::number(i == 3 ? 4 : 1) + "\r\n";
        QTest::newRow("10 lines: own line kept") << ten << 3 << QByteArray("4");
        QTest::newRow("10 lines: missing line 54 defaulted") << ten << 54 << QByteArray("100");
        QTest::newRow("10 lines: line 44 from screen") << ten << 44 << QByteArray("494");
        QTest::newRow("abc on line 3") << settingsWith({{3, "abc"}}) << 3 << QByteArray("2");
        QTest::newRow("empty file") << QByteArray() << 51 << QByteArray("186");
        QTest::newRow("LF endings")
            << settingsWith({}).replace("\r\n", "\n") << 45 << QByteArray("15");
        // Line 0 is a path: its bytes are kept whatever they are.
        QTest::newRow("shift-jis folder: its bytes kept")
            << settingsWith({{0, "/\x8e\xca\x90\x5e"}}) << 0 << QByteArray("/\x8e\xca\x90\x5e");
        QTest::newRow("utf-8 folder kept")
            << settingsWith({{0, "/写真"}}) << 0 << QByteArray("/写真");
        QTest::newRow("lone 0xFF kept")
            << settingsWith({{0, "/bad\xff"}}) << 0 << QByteArray("/bad\xff");
        QTest::newRow("binary junk")
            << QByteArray("\0\xff\xfe\x01\r\n", 6) << 54 << QByteArray("100");
        QTest::newRow("binary junk line 0 kept")
            << QByteArray("\0\xff\xfe\x01\r\n", 6) << 0 << QByteArray("\0\xff\xfe\x01", 4);
    }
    void unsoundSettingsFiles()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, line);
        QFETCH(QByteArray, expected);
        Window w;
        QVERIFY(sq::test::writeFile(w.ini(), content));
        TForm1* f = w.open();
        QVERIFY(f->isVisible());
        w.close();
        QList<QByteArray> lines = sq::test::readFile(w.ini()).split('\n');
        QCOMPARE(lines.takeLast(), QByteArray());
        QCOMPARE(lines.size(), 55);
        for (const QByteArray& l : lines)
            QVERIFY(l.endsWith('\r'));
        QCOMPARE(lines.at(line).chopped(1), expected);
    }

    void settingsAppliedAtStart_data()
    {
        QTest::addColumn<int>("line");
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QStringList>("checked");
        QTest::addColumn<QStringList>("unchecked");
        const auto L = [](std::initializer_list<const char*> names) {
            QStringList out;
            for (const char* n : names)
                out << QString::fromLatin1(n);
            return out;
        };
        QTest::newRow("sort by type") << 1 << QByteArray("3") << L({"Type1"}) << L({"Name1"});
        QTest::newRow("sort out of range") << 1 << QByteArray("7") << L({"Name1"}) << L({"Type1"});
        QTest::newRow("pane hidden") << 2 << QByteArray("0") << L({}) << L({"N17"});
        QTest::newRow("size out of range") << 3 << QByteArray("9") << L({"N100x752"}) << L({"N80x602"});
        QTest::newRow("size 40x30") << 3 << QByteArray("0") << L({"N13"}) << L({"N100x752"});
        QTest::newRow("style black") << 4 << QByteArray("1") << L({"ViewStyle2"}) << L({"ViewStyle3"});
        QTest::newRow("preview hidden") << 26 << QByteArray("0") << L({}) << L({"V1"});
        QTest::newRow("mode as is") << 27 << QByteArray("0") << L({"N29", "N85"}) << L({"N35", "N86", "N39"});
        QTest::newRow("mode out of range") << 27 << QByteArray("-1") << L({"N35", "N86"}) << L({"N29"});
        QTest::newRow("ext bmp") << 52 << QByteArray("0") << L({"BMP2"}) << L({"BMPJPEG1"});
        QTest::newRow("ext all pictures") << 52 << QByteArray("3") << L({"ALLIMG1"}) << L({"BMPJPEG1"});
        QTest::newRow("ext out of range") << 52 << QByteArray("4") << L({"BMPJPEG1"}) << L({"ALLIMG1"});
        QTest::newRow("quality 77 keeps 90") << 54 << QByteArray("77") << L({"JPG90"}) << L({"JPG100"});
        QTest::newRow("quality 55") << 54 << QByteArray("55") << L({"JPG55"}) << L({"JPG90"});
    }
    void settingsAppliedAtStart()
    {
        QFETCH(int, line);
        QFETCH(QByteArray, value);
        QFETCH(QStringList, checked);
        QFETCH(QStringList, unchecked);
        Window w;
        QVERIFY(sq::test::writeFile(w.ini(), settingsWith({{line, value}})));
        TForm1* f = w.open();
        for (const QString& name : checked)
            QVERIFY2(f->menuItem(name)->isChecked(), qPrintable(name));
        for (const QString& name : unchecked)
            QVERIFY2(!f->menuItem(name)->isChecked(), qPrintable(name));
        if (line == 2)
            QVERIFY(!f->Panel3->isVisible());
        if (line == 26)
            QVERIFY(!f->ImgBox1->isVisible());
        // The browser itself follows the lines that apply.
        TImgPanel& b = *f->ImgPanel1;
        if (line == 1)
            QCOMPARE(b.SortType(), value == "3" ? istType : istName);
        if (line == 3)
            QCOMPARE(b.ViewImage().ImageWidth(), value == "0" ? 40 : 80);
        if (line == 4)
            QCOMPARE(b.Color(), clBlack);
        if (line == 52)
            QCOMPARE(b.View().DispTypes().Ext(),
                     value == "0"   ? QStringLiteral("*.bmp")
                     : value == "3" ? QStringLiteral("*.bmp;*.jpg;*.jpeg;*.png;*.gif;*.webp;*.tif;*.tiff;*.heic;*.heif;*.avif;*.jxl;"
                                                  "*.cr2;*.cr3;*.nef;*.arw;*.dng;*.orf;*.raf;*.rw2;*.mp4;*.mov;*.qt;*.m4v;*.mkv;*.webm")
                                    : QStringLiteral("*.jpg;*.bmp;")); // as created: nothing applied
        w.close();
        // A value outside the range applies nothing and stays as it was.
        QCOMPARE(fileLines(w.ini()).at(line), QString::fromLatin1(value));
    }

    void menusAndPopups()
    {
        Window w;
        TForm1* f = w.open();
        const QList<QPair<const char*, const char*>> items = {
            {"File1", "フォルダ(&F)"}, {"Close1", "終了(&C)"}, {"Edit3", "画像"},
            {"JPEG4", "JPEG保存画質"}, {"JPG50", "50"}, {"Disp1", "表示(&V)"},
            {"N120x902", "120x90"}, {"ALLIMG1", "すべての画像"}, {"Sort1", "並べ替え(&I)"}, {"Refresh1", "最新の情報に更新(&R)"},
            {"N17", "フォルダリスト/ファイルリスト"}, {"V1", "メインウインドウビュー"},
            {"N39", "大きい画像だけウインドウに合わせる"}, {"ool1", "ツール"},
            {"Explore1", "エクスプローラ起動"}, {"N27", "ウインドウ"}, {"N1001", "100%"},
            {"Help1", "ヘルプ(&H)"}, {"About1", "バージョン情報"}, {"N63", "キャッシュファイル削除"},
            {"ViewStyle4", "青(&4)"}, {"New2", "新規作成"}, {"Rename2", "名前の変更"},
            {"N32", "クリップボードへ"}, {"Save1", "保存"}, {"N88", "縦横比を保持しない"}};
        for (const auto& [name, caption] : items) {
            QAction* a = f->menuItem(QString::fromLatin1(name));
            QVERIFY2(a, name);
            QCOMPARE(a->text(), QString::fromUtf8(caption));
        }
        QCOMPARE(f->popupMenu(QStringLiteral("PopupMenu1"))->actions().size(), 5);
        QVERIFY(f->popupMenu(QStringLiteral("PopupMenu2"))->actions().contains(f->menuItem(QStringLiteral("N86"))));
        // Hidden for good at first show.
        for (const char* name : {"N61", "Type1", "BMP3", "JPEG3", "Veiw1", "N24", "N33"})
            QVERIFY2(!f->menuItem(QString::fromLatin1(name))->isVisible(), name);
        QVERIFY(f->menuItem(QStringLiteral("Name1"))->isVisible());
        QCOMPARE(f->statusBar()->findChildren<QLabel*>().size(), TForm1::StatusPanelCount);
        QCOMPARE(f->FilterComboBox1->count(), 7);
        QCOMPARE(f->FilterComboBox1->itemData(6).toString(), QStringLiteral("*.exe;*.exe.lnk"));
        QCOMPARE(f->windowTitle(), QStringLiteral("Sorrelquint"));
        // The outer frame has the screen's size.
        QCOMPARE(f->frameGeometry().size(), QSize(1024, 768));
    }

    void startPaths_data()
    {
        QTest::addColumn<QString>("given"); // relative to a picture folder
        QTest::addColumn<QString>("opened");
        QTest::newRow("folder") << "pics" << "pics";
        QTest::newRow("file opens its folder") << "pics/a.jpg" << "pics";
        QTest::newRow("nothing existing is ignored") << "nothere" << "";
        QTest::newRow("Japanese folder") << "写真 2024" << "写真 2024";
    }
    void startPaths()
    {
        QFETCH(QString, given);
        QFETCH(QString, opened);
        QTemporaryDir root;
        QVERIFY(sq::test::writeFile(root.filePath(QStringLiteral("pics/a.jpg")), "x"));
        QVERIFY(QDir(root.path()).mkdir(QStringLiteral("写真 2024")));
        Window w;
        TForm1* f = w.open(root.filePath(given));
        // Without a usable path the start-up folder, here the data folder, stays.
        const QString expected = opened.isEmpty() ? QDir::cleanPath(w.data()) : root.filePath(opened);
        QCOMPARE(f->treeFolder(), expected);
        QCOMPARE(f->ComboBox1->currentText(), expected);
    }

    // Started with a file, as "Open with" does: its folder opens with that
    // file current, selected, focused and previewed.
    void startFileFocusedAndPreviewed_data()
    {
        QTest::addColumn<QString>("given"); // relative to the picture folder
        QTest::addColumn<bool>("startupFolderIsPics");
        QTest::addColumn<int>("current"); // -1: nothing focused
        QTest::addColumn<int>("listed");  // 9: all pictures listed
        QTest::newRow("fifth of eight") << "p5.jpg" << false << 4 << 8;
        QTest::newRow("first") << "p1.jpg" << false << 0 << 8;
        QTest::newRow("in the start-up folder itself") << "p7.jpg" << true << 6 << 8;
        QTest::newRow("relative path") << "./sub/../p3.jpg" << false << 2 << 8;
        QTest::newRow("not listed: the folder only") << "notes.txt" << false << -1 << 8;
        QTest::newRow("missing: ignored") << "gone.jpg" << false << -2 << 8;
        QTest::newRow("a PNG the filter hides: all pictures listed")
            << "shot.PNG" << false << 8 << 9;
    }
    void startFileFocusedAndPreviewed()
    {
        QFETCH(QString, given);
        QFETCH(bool, startupFolderIsPics);
        QFETCH(int, current);
        QFETCH(int, listed);
        Window w;
        const QString pics = w.dir.path() + QStringLiteral("/pics");
        for (int i = 1; i <= 8; ++i)
            QVERIFY(sq::test::writeJpeg(pics + QStringLiteral("/p%1.jpg").arg(i),
                                        sq::test::patternImage(64, 48)));
        QVERIFY(sq::test::patternImage(64, 48).save(pics + QStringLiteral("/shot.PNG"), "PNG"));
        QVERIFY(sq::test::writeFile(pics + QStringLiteral("/notes.txt"), "text"));
        QVERIFY(QDir(pics).mkdir(QStringLiteral("sub")));
        if (startupFolderIsPics)
            QVERIFY(sq::test::writeFile(w.ini(), settingsWith({{0, pics.toUtf8()}})));
        TForm1* f = w.open(pics + QLatin1Char('/') + given);
        TImgPanel& b = *f->ImgPanel1;
        if (current == -2) { // nothing existing: the start-up folder stays
            QCOMPARE(f->treeFolder(), startupFolderIsPics ? pics : QDir::cleanPath(w.data()));
            return;
        }
        QCOMPARE(f->treeFolder(), pics);
        QCOMPARE(b.Items().Count(), listed);
        QCOMPARE(f->menuItem(QStringLiteral("ALLIMG1"))->isChecked(), listed == 9);
        if (current < 0) {
            QCOMPARE(b.CurrentIndex(), -1);
            QCOMPARE(f->ImgBox1->ImageFile(), QString());
            QCOMPARE(f->focusWidget(), f->DirectoryListBox1);
            return;
        }
        const QString file = QFileInfo(pics + QLatin1Char('/') + given).fileName();
        QCOMPARE(b.CurrentIndex(), current);
        QCOMPARE(b.CurrentItem()->DisplayName(), file);
        QCOMPARE(b.SelCount(), 1);
        QVERIFY(b.CurrentItem()->Selected);
        QCOMPARE(f->focusWidget(), static_cast<QWidget*>(f->ImgPanel1));
        QCOMPARE(f->ImgBox1->ImageFile(), pics + QLatin1Char('/') + file);
        QVERIFY(f->ImgBox1->Loaded());
        QCOMPARE(f->statusText(2), QStringLiteral(" %1/%2").arg(current + 1).arg(listed));
        QCOMPARE(f->statusText(3), QLatin1Char(' ') + file);
        // Its cell is in view.
        QTRY_VERIFY(b.VisibleCells() > 0);
        QVERIFY(current >= b.TopIndex() && current < b.TopIndex() + b.VisibleCells());
    }

    // A file whose name is not UTF-8, given by its bytes: found, focused and
    // previewed by those bytes.
    void startFileNotUtf8()
    {
        sq::test::RawTempDir dir;
        const QByteArray folder = dir.bytes() + "/pics";
        QByteArray jpeg;
        QBuffer buffer(&jpeg);
        buffer.open(QIODevice::WriteOnly);
        QVERIFY(QImageWriter(&buffer, "jpeg").write(sq::test::patternImage(64, 48)));
        QVERIFY(sq::test::writeFileAt(folder + "/a.jpg", jpeg));
        QVERIFY(sq::test::writeFileAt(folder + "/b\xff.jpg", jpeg));
        Window w;
        TForm1* f = w.open(sq::platform::pathFromNative(folder + "/b\xff.jpg"));
        TImgPanel& b = *f->ImgPanel1;
        QCOMPARE(b.Items().Count(), 2);
        QVERIFY(b.CurrentItem());
        QCOMPARE(sq::platform::nativePath(b.CurrentItem()->ParseName()), folder + "/b\xff.jpg");
        QCOMPARE(sq::platform::nativePath(f->ImgBox1->ImageFile()), folder + "/b\xff.jpg");
        QVERIFY(f->ImgBox1->Loaded());
        QCOMPARE(f->focusWidget(), static_cast<QWidget*>(f->ImgPanel1));
    }

    void startupFolderLine0()
    {
        QTemporaryDir pics;
        Window w;
        QVERIFY(sq::test::writeFile(w.ini(), settingsWith({{0, pics.path().toUtf8()}})));
        TForm1* f = w.open();
        QCOMPARE(f->treeFolder(), pics.path());
        QCOMPARE(f->menuItem(QStringLiteral("N2"))->text(), pics.path());
        w.close();

        Window gone;
        QVERIFY(sq::test::writeFile(gone.ini(), settingsWith({{0, "/nonexistent/folder"}})));
        TForm1* g = gone.open();
        QCOMPARE(g->treeFolder(), QDir::cleanPath(gone.data()));
        gone.close();
        QCOMPARE(fileLines(gone.ini()).at(0), QStringLiteral("/nonexistent/folder"));
    }

    void dropOpensFirstFile()
    {
        QTemporaryDir root;
        QVERIFY(sq::test::writeFile(root.filePath(QStringLiteral("one/a.bmp")), "x"));
        QVERIFY(sq::test::writeFile(root.filePath(QStringLiteral("two/b.bmp")), "x"));
        Window w;
        TForm1* f = w.open();
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(root.filePath(QStringLiteral("one/a.bmp"))),
                      QUrl::fromLocalFile(root.filePath(QStringLiteral("two/b.bmp")))});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(f, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(f, &drop);
        QCOMPARE(f->treeFolder(), root.filePath(QStringLiteral("one")));
        QCOMPARE(f->Memo2->toPlainText(), root.filePath(QStringLiteral("one/a.bmp")));

        QMimeData missing;
        missing.setUrls({QUrl::fromLocalFile(root.filePath(QStringLiteral("gone.bmp")))});
        QDropEvent drop2(QPointF(10, 10), Qt::CopyAction, &missing, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(f, &drop2);
        QCOMPARE(f->treeFolder(), root.filePath(QStringLiteral("one")));
    }

    void favouritesKeptAcrossRuns()
    {
        Window w;
        QVERIFY(sq::test::writeFile(w.data() + QStringLiteral("favorites.dat"), "/a\r\n/写真\r\n"));
        TForm1* f = w.open();
        QCOMPARE(f->ComboBox1->count(), 2);
        QCOMPARE(f->ComboBox1->itemText(1), QStringLiteral("/写真"));
        f->ComboBox1->addItem(QStringLiteral("/b"));
        w.close();
        QCOMPARE(sq::test::readFile(w.data() + QStringLiteral("favorites.dat")),
                 QByteArray("/a\r\n/\xe5\x86\x99\xe7\x9c\x9f\r\n/b\r\n"));
    }

    void previewSplitterRemembersHeight()
    {
        Window w;
        TForm1* f = w.open();
        QVERIFY(f->menuItem(QStringLiteral("V1"))->isChecked());
        QCOMPARE(f->ImgPanel1->height(), 186);
        f->Splitter2->setSizes({300, 200});
        QCOMPARE(f->settings().text(51), QStringLiteral("300"));
        f->menuItem(QStringLiteral("V1"))->trigger();
        QVERIFY(!f->ImgBox1->isVisible());
        QCOMPARE(f->settings().text(26), QStringLiteral("0"));
        QCOMPARE(f->settings().text(51), QStringLiteral("300"));
        f->menuItem(QStringLiteral("V1"))->trigger();
        QCOMPARE(f->ImgPanel1->height(), 300);
    }

    void browserClicksAndStatusBar()
    {
        Window w;
        const QString pics = w.dir.path() + QStringLiteral("/pics");
        for (const char* name : {"b.jpg", "a.jpg", "c.bmp", "skip.png"}) {
            const QString path = pics + QLatin1Char('/') + QLatin1String(name);
            QVERIFY(QByteArray(name).endsWith(".bmp") ? sq::test::writeBmp(path, sq::test::patternImage(120, 90))
                                                      : sq::test::writeJpeg(path, sq::test::patternImage(120, 90)));
        }
        TForm1* f = w.open(pics);
        TImgPanel& b = *f->ImgPanel1;
        QTRY_COMPARE(b.CurrentFolderPath(), pics);
        QCOMPARE(f->ComboBox1->currentText(), pics);
        QCOMPARE(b.Items().Count(), 3); // "*.jpg;*.bmp;"
        QCOMPARE(f->statusText(0), QStringLiteral("  3 個のオブジェクト"));
        QTRY_VERIFY(!b.Loader().Busy());
        QCOMPARE(f->statusText(1), QString());
        QVERIFY(!sq::app::thumbnailsLoading);

        // A click: status panels and the preview.
        f->ImgPanel1->setFixedHeight(200);
        QTRY_VERIFY(b.VisibleCells() >= 3);
        QTest::mouseClick(b.viewport(), Qt::LeftButton, {}, b.PictureBox(1).center());
        QCOMPARE(b.CurrentIndex(), 1);
        TPanelItem* item = b.CurrentItem();
        QCOMPARE(f->statusText(1), QStringLiteral(" 1個のオブジェクトを選択"));
        QCOMPARE(f->statusText(2), QStringLiteral(" 2/3"));
        QCOMPARE(f->statusText(3), QLatin1Char(' ') + item->DisplayName());
        QCOMPARE(f->statusText(4), QLatin1Char(' ') + item->DateText());
        QCOMPARE(f->statusText(5), QStringLiteral(" 120x90"));
        QCOMPARE(f->statusText(6), QStringLiteral(" %1-%2バイト").arg(item->SizeText()).arg(item->Size64()));
        QCOMPARE(f->ImgBox1->ImageFile(), item->ParseName());

        // Empty space: panel 1 counts 0; panels 2-6 and the preview stay.
        QStringList before;
        for (int p = 2; p <= 6; ++p)
            before << f->statusText(p);
        QTest::mouseClick(b.viewport(), Qt::LeftButton, {}, QPoint(0, 3));
        QCOMPARE(f->statusText(1), QStringLiteral(" 0個のオブジェクトを選択"));
        for (int p = 2; p <= 6; ++p)
            QCOMPARE(f->statusText(p), before.at(p - 2));
        QCOMPARE(f->ImgBox1->ImageFile(), item->ParseName());

        // Sorting by date writes "2", by type "3"; the browser follows.
        f->menuItem(QStringLiteral("Date1"))->trigger();
        QCOMPARE(f->settings().text(1), QStringLiteral("2"));
        QCOMPARE(b.SortType(), istDate);
        f->menuItem(QStringLiteral("Type1"))->trigger();
        QCOMPARE(f->settings().text(1), QStringLiteral("3"));
        QCOMPARE(b.SortType(), istType);
        // The list was read again: the preview entry is the new list's.
        QVERIFY(sq::app::previewEntry && b.Items().IndexOfId(sq::app::previewEntry->Id()) >= 0);
        QCOMPARE(sq::app::previewEntry->ParseName(), f->ImgBox1->ImageFile());
        f->menuItem(QStringLiteral("N120x902"))->trigger();
        QCOMPARE(b.ViewImage().ImageWidth(), 120);
        QTRY_VERIFY(!b.Loader().Busy());
        QCOMPARE(b.Items().Items(0)->CellBitmap.size(), QSize(120, 90));

        // "BMP" while the slide view is up closes it; "BMP/JPEG" never does.
        sq::app::slideViewActive = true;
        f->menuItem(QStringLiteral("BMPJPEG1"))->trigger();
        QVERIFY(sq::app::slideViewActive);
        f->menuItem(QStringLiteral("BMP2"))->trigger();
        QVERIFY(!sq::app::slideViewActive);
        QCOMPARE(b.Items().Count(), 1);
        QCOMPARE(f->settings().text(52), QStringLiteral("0"));
        f->menuItem(QStringLiteral("BMPJPEG1"))->trigger();
        QCOMPARE(b.Items().Count(), 3);
        QTest::mouseClick(b.viewport(), Qt::LeftButton, {}, b.PictureBox(1).center());

        // "保存" does nothing while panel 3 is empty, though a picture is shown.
        f->setStatusText(3, QString());
        QVERIFY(!f->ImgBox1->ImageFile().isEmpty());
        bool dialogShown = false;
        QTimer::singleShot(200, [&] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                dialogShown = true;
                modal->close();
            }
        });
        f->Save1Click();
        QTest::qWait(300);
        QVERIFY(!dialogShown);
        w.close();
    }

    void findByName_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("top"); // -1: unchanged
        QTest::addColumn<QString>("panel3");
        QTest::newRow("empty finds nothing") << QString() << -1 << QString();
        QTest::newRow("case-sensitive: no match") << QStringLiteral("IMG") << -1 << QString();
        QTest::newRow("several: the last row in view") << QStringLiteral("img_1") << 18 << QString();
        QTest::newRow("double-byte text") << QStringLiteral("写真") << 21 << QString();
    }
    void findByName()
    {
        QFETCH(QString, text);
        QFETCH(int, top);
        Window w;
        const QString pics = w.dir.path() + QStringLiteral("/find");
        QVERIFY(sq::test::makeEmptyFiles(pics, 20, QStringLiteral("img_"), QStringLiteral(".jpg")));
        QVERIFY(sq::test::writeFile(pics + QStringLiteral("/img_写真.jpg"), QByteArray()));
        TForm1* f = w.open(pics);
        TImgPanel& b = *f->ImgPanel1;
        QTRY_COMPARE(b.Items().Count(), 21);
        f->ImgPanel1->setFixedSize(3 * 91 + 30, 200);
        QTRY_COMPARE(b.Columns(), 3);
        const int before = b.TopIndex();
        f->menuItem(QStringLiteral("N52"))->trigger();
        QVERIFY(Form17 == nullptr || Form17->isVisible());
        f->FindByName(text);
        const int selected = b.SelCount();
        QCOMPARE(selected, 0);
        if (top < 0) {
            QCOMPARE(b.TopIndex(), before);
        } else {
            // The last match's row is in view.
            int last = -1;
            for (int i = 0; i < b.Items().Count(); ++i)
                if (b.Items().Items(i)->DisplayName().contains(text))
                    last = i;
            QVERIFY(last >= b.TopIndex() && last < b.TopIndex() + b.VisibleCells());
            QCOMPARE(b.TopIndex() + b.VisibleCells() - 1 >= last, true);
            QVERIFY(b.TopIndex() > 0);
        }
        w.close();
    }

    // The tree scrolls only to bring a folder set by the program into view,
    // and never while the pointer is over it.
    void folderTreeScrolling()
    {
        // Under the test's own home, where nothing else adds folders beside it.
        QTemporaryDir top(QDir::homePath() + QStringLiteral("/tree-XXXXXX"));
        const QString root = top.path();
        for (int i = 0; i < 60; ++i)
            QVERIFY(
                QDir().mkpath(root + QStringLiteral("/f%1/inner").arg(i, 2, 10, QLatin1Char('0'))));
        Window w;
        TForm1* f = w.open(root);
        QTreeView* tree = f->DirectoryListBox1;
        auto* model = dynamic_cast<sq::platform::FolderTree*>(tree->model());
        QVERIFY(model);
        const QModelIndex rootIndex = model->index(root);
        const auto child = [&](int i) {
            return model->index(root + QStringLiteral("/f%1").arg(i, 2, 10, QLatin1Char('0')));
        };
        // Wide enough for the indentation of a deep folder.
        f->Splitter1->setSizes({700, 324});
        tree->expand(rootIndex);
        // Listed and sorted (the model sorts after a delay).
        QTRY_COMPARE(model->rowCount(rootIndex), 60);
        QTRY_VERIFY(child(0).row() == 0 && child(59).row() == 59);
        const QPoint away = f->mapToGlobal(QPoint(f->width() - 10, f->height() - 10));
        QCursor::setPos(away);
        const auto inView = [&](const QModelIndex& index) {
            const QRect row = tree->visualRect(index);
            return row.height() > 0 && row.top() >= 0 && row.bottom() < tree->viewport()->height();
        };
        // The model reading a folder again, and the reveal's own delay after it.
        const auto loaded = [&](const QModelIndex& index) {
            model->refresh(model->filePath(index));
            QTest::qWait(400);
        };

        // A click on a folder in view near the top: no scrolling follows.
        tree->scrollTo(child(20), QAbstractItemView::PositionAtTop);
        QVERIFY(inView(child(21)));
        const int before = tree->verticalScrollBar()->value();
        const QPoint at(tree->viewport()->width() - 5, tree->visualRect(child(21)).center().y());
        QCursor::setPos(tree->viewport()->mapToGlobal(at));
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, at);
        QCOMPARE(f->treeFolder(), model->filePath(child(21)));
        loaded(child(21));
        loaded(rootIndex);
        QCOMPARE(tree->verticalScrollBar()->value(), before);
        QCOMPARE(tree->currentIndex(), child(21));

        // Set by the program while the pointer is over the tree: it waits.
        f->pointTreeAt(model->filePath(child(55)));
        QCOMPARE(f->treeFolder(), model->filePath(child(55)));
        loaded(child(55));
        QCOMPARE(tree->verticalScrollBar()->value(), before);
        QVERIFY(!inView(child(55)));
        // The pointer leaves: the folder is brought into view.
        QCursor::setPos(away);
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(tree->viewport(), &leave);
        QTRY_VERIFY(inView(child(55)));

        // Set by the program with the pointer elsewhere: revealed at once; a
        // later listing leaves a folder in view where it is.
        tree->scrollToTop();
        f->pointTreeAt(model->filePath(child(3)));
        QVERIFY(inView(child(3)));
        const int shown = tree->verticalScrollBar()->value();
        loaded(child(3));
        QCOMPARE(tree->verticalScrollBar()->value(), shown);
        // Forty folders listed later above it push it out of a view of some
        // 25 rows: the listings bring it back, as the user has not touched
        // the tree since.
        for (int i = 0; i < 40; ++i)
            QVERIFY(QDir().mkpath(root + QStringLiteral("/a%1").arg(i, 2, 10, QLatin1Char('0'))));
        QTRY_COMPARE(model->rowCount(rootIndex), 100);
        QTRY_VERIFY(child(3).row() == 43);
        loaded(rootIndex);
        QTRY_VERIFY(inView(child(3)));
        // Once the user has scrolled the tree (to its top, which later rows
        // do not move), listings leave it alone.
        tree->verticalScrollBar()->triggerAction(QAbstractSlider::SliderToMinimum);
        QCOMPARE(tree->verticalScrollBar()->value(), 0);
        QVERIFY(!inView(child(3)));
        QVERIFY(QDir().mkpath(root + QStringLiteral("/a40")));
        QTRY_COMPARE(model->rowCount(rootIndex), 101);
        loaded(rootIndex);
        QVERIFY(!inView(child(3)));
        QCOMPARE(tree->verticalScrollBar()->value(), 0);
        w.close();
    }

    // "大きい画像だけウインドウに合わせる" on a 1280 x 1024 screen: a
    // 1600 x 1200 picture fits the preview's visible area, with no scroll bar.
    void previewFitsLargePicture()
    {
        Window w;
        const QString pics = w.dir.path() + QStringLiteral("/large");
        QVERIFY(sq::test::writeJpeg(pics + QStringLiteral("/big.jpg"),
                                    sq::test::patternImage(1600, 1200)));
        w.form = std::make_unique<TForm1>(w.data(), pics, 1280, 1024);
        TForm1* f = w.form.get();
        f->show();
        TImgPanel& b = *f->ImgPanel1;
        QTRY_COMPARE(b.Items().Count(), 1);
        f->menuItem(QStringLiteral("N39"))->trigger();
        QTRY_VERIFY(b.VisibleCells() >= 1);
        QTest::mouseClick(b.viewport(), Qt::LeftButton, {}, b.PictureBox(0).center());
        QCOMPARE(f->ImgBox1->ImageFile(), pics + QStringLiteral("/big.jpg"));
        const QSize client = f->ImgBox1->clientSize();
        const QSize shown = f->ImgBox1->ImgUtil()->Bitmap().image().size();
        QVERIFY2(shown.width() <= client.width() && shown.height() <= client.height(),
                 qPrintable(QStringLiteral("%1x%2 in %3x%4")
                                .arg(shown.width())
                                .arg(shown.height())
                                .arg(client.width())
                                .arg(client.height())));
        // Landscape: the height limits, the width follows the aspect ratio.
        QCOMPARE(shown.height(), client.height());
        QCOMPARE(shown.width(), int(client.height() * (1600.0 / 1200.0)));
        QVERIFY(!f->ImgBox1->verticalBar()->isVisibleTo(f->ImgBox1));
        QVERIFY(!f->ImgBox1->horizontalBar()->isVisibleTo(f->ImgBox1));
        w.close();
    }

    // The window's outer frame takes exactly the size the command computes,
    // however small:
    // no child's minimum size may hold it larger.
    void windowSizeCommands_data()
    {
        QTest::addColumn<int>("screenWidth");
        QTest::addColumn<int>("screenHeight");
        QTest::addColumn<int>("percent");
        for (const QSize screen : {QSize(1280, 1024), QSize(1024, 768)})
            for (int p : {50, 60, 70, 80, 90, 100})
                QTest::addRow("%dx%d %d%%", screen.width(), screen.height(), p)
                    << screen.width() << screen.height() << p;
    }
    void windowSizeCommands()
    {
        QFETCH(int, screenWidth);
        QFETCH(int, screenHeight);
        QFETCH(int, percent);
        QTemporaryDir dir;
        TForm1 f(dir.path() + QStringLiteral("/"), QString(), screenWidth, screenHeight);
        f.show();
        QTest::qWait(0);
        QCOMPARE(f.frameGeometry().size(), QSize(screenWidth, screenHeight));
        f.menuItem(QStringLiteral("N%1").arg(percent) + QStringLiteral("1"))->trigger();
        QCoreApplication::processEvents();
        const QSize want(screenWidth * percent / 100, screenHeight * percent / 100);
        QCOMPARE(f.frameGeometry().size(), want);
        // The seven status panels share the narrower bar instead of running past its end.
        const QLabel* last = f.statusBar()->findChild<QLabel*>(QStringLiteral("StatusPanel6"));
        QVERIFY2(last->geometry().right() < f.statusBar()->width(),
                 qPrintable(QStringLiteral("panel 6 ends at %1").arg(last->geometry().right())));
        // Back to full size: the panes and the status bar take their widths again.
        f.menuItem(QStringLiteral("N1001"))->trigger();
        QCoreApplication::processEvents();
        QCOMPARE(f.frameGeometry().size(), QSize(screenWidth, screenHeight));
        QCOMPARE(f.Panel3->width(), 128);
        QCOMPARE(f.DirectoryListBox1->height(), f.Panel3->height() / 2);
        QCOMPARE(f.statusBar()->findChild<QLabel*>(QStringLiteral("StatusPanel1"))->width(), 150);
        f.close();
    }

    // A folder and a picture whose names are not UTF-8: the file list lists
    // the file, the browser shows and loads it, the status bar and the
    // preview name it with U+FFFD and open it by its bytes.
    void namesNotUtf8()
    {
        sq::test::RawTempDir pics;
        const QByteArray folder = pics.bytes() + "/pics\xfe";
        QByteArray jpeg;
        QBuffer buffer(&jpeg);
        buffer.open(QIODevice::WriteOnly);
        QVERIFY(QImageWriter(&buffer, "jpeg").write(sq::test::patternImage(120, 90)));
        QVERIFY(sq::test::writeFileAt(folder + "/bad\xff.jpg", jpeg));
        QVERIFY(sq::test::writeFileAt(folder + "/note.txt", "x"));
        Window w;
        TForm1* f = w.open(sq::platform::pathFromNative(folder));
        TImgPanel& b = *f->ImgPanel1;
        QTRY_COMPARE(sq::platform::nativePath(b.CurrentFolderPath()), folder);
        QCOMPARE(b.Items().Count(), 1);
        QStringList listed;
        QAbstractItemModel* files = f->FileListBox1->model();
        for (int r = 0; r < files->rowCount(f->FileListBox1->rootIndex()); ++r)
            listed << files->index(r, 0, f->FileListBox1->rootIndex()).data().toString();
        QCOMPARE(listed,
                 (QStringList{QStringLiteral("bad\uFFFD.jpg"), QStringLiteral("note.txt")}));
        QTRY_VERIFY(!b.Loader().Busy());
        f->ImgPanel1->setFixedHeight(200);
        QTest::mouseClick(b.viewport(), Qt::LeftButton, {}, b.PictureBox(0).center());
        QCOMPARE(f->statusText(3), QStringLiteral(" bad\uFFFD.jpg"));
        QCOMPARE(f->statusText(5), QStringLiteral(" 120x90"));
        QCOMPARE(sq::platform::nativePath(f->ImgBox1->ImageFile()), folder + "/bad\xff.jpg");
        QVERIFY(!f->ImgBox1->ImgUtil()->Bitmap().isEmpty());
        w.close();
    }

    void allWindowsCreatedInOrder()
    {
        QTemporaryDir dir;
        sq::app::createWindows(dir.path() + QStringLiteral("/"));
        QVERIFY(Form1 && Form29);
        QCOMPARE(Form1->objectName(), QStringLiteral("Form1"));
        int hidden = 0;
        for (QWidget* top : QApplication::topLevelWidgets())
            if (top->objectName().startsWith(QLatin1String("Form")) && !top->isVisible())
                ++hidden;
        QCOMPARE(hidden, 22);
        sq::app::destroyWindows();
        QVERIFY(!Form1 && !Form2 && !Form29);
    }

    void startupFolderDialog()
    {
        QTemporaryDir dir;
        QTemporaryDir pics;
        QVERIFY(QDir(pics.path()).mkdir(QStringLiteral("夏")));
        sq::app::createWindows(dir.path() + QStringLiteral("/"), pics.path());
        Form1->show();
        QTest::qWait(0);
        Form1->menuItem(QStringLiteral("N2"))->trigger();
        QVERIFY(Form3->isVisible());
        QCOMPARE(Form3->chosenPath(), pics.path());
        Form3->openAt(pics.filePath(QStringLiteral("夏")));
        Form3->Button1->click();
        QVERIFY(!Form3->isVisible());
        // Written in memory at once, saved at close; the tree does not move.
        QCOMPARE(Form1->settings().text(0), pics.filePath(QStringLiteral("夏")));
        QCOMPARE(Form1->menuItem(QStringLiteral("N2"))->text(), pics.filePath(QStringLiteral("夏")));
        QCOMPARE(Form1->treeFolder(), pics.path());
        QCOMPARE(fileLines(dir.filePath(QStringLiteral("sorrelquint.ini"))).at(0), QStringLiteral("0"));
        Form1->close();
        QCOMPARE(fileLines(dir.filePath(QStringLiteral("sorrelquint.ini"))).at(0), pics.filePath(QStringLiteral("夏")));

        // Cancel keeps line 0.
        Form1->menuItem(QStringLiteral("N2"))->trigger();
        Form3->openAt(pics.path());
        Form3->Button2->click();
        QCOMPARE(Form1->settings().text(0), pics.filePath(QStringLiteral("夏")));

        Form1->menuItem(QStringLiteral("About1"))->trigger();
        QVERIFY(Form4->isVisible());
        QVERIFY(Form4->Label1->text().startsWith(QLatin1String("Sorrelquint ")));
        sq::app::destroyWindows();
    }

    void hostileDataFilesGiveDefaults_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("fifo") << int(sq::test::Hostile::Fifo);
        QTest::newRow("/dev/zero") << int(sq::test::Hostile::DevZero);
    }
    void hostileDataFilesGiveDefaults()
    {
        // Settings, favourites and the cache file as a FIFO or a link to
        // /dev/zero: the window opens with the defaults, no favourites, and
        // thumbnails made without the cache, and says that the settings and
        // favourites files are kept as they are. (Not closed: what closing
        // leaves is tested in tst_datafiles.)
        QFETCH(int, kind);
        Window w;
        const auto hostile = sq::test::Hostile(kind);
        QVERIFY(sq::test::makeHostile(hostile, w.ini()));
        QVERIFY(sq::test::makeHostile(hostile, w.data() + QStringLiteral("favorites.dat")));
        const QString exe = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
        QVERIFY(sq::test::makeHostile(hostile, w.data() + QStringLiteral("thumb/") + exe +
                                                   QStringLiteral(".dat")));
        const QString pics = w.dir.path() + QStringLiteral("/pics");
        for (const char* name : {"a.jpg", "b.jpg"})
            QVERIFY(sq::test::writeJpeg(pics + QLatin1Char('/') + QLatin1String(name),
                                        sq::test::patternImage(120, 90)));
        sq::test::HangGuard guard(120, QTest::currentDataTag());
        sq::test::MessageBoxes boxes;
        TForm1* f = w.open(pics);
        QTRY_COMPARE(boxes.texts().size(), 2);
        QCOMPARE(f->settings().lines(), defaultLines(1024));
        QCOMPARE(f->ComboBox1->count(), 0);
        TImgPanel& b = *f->ImgPanel1;
        QTRY_COMPARE(b.CurrentFolderPath(), pics);
        QTRY_VERIFY_WITH_TIMEOUT(!b.Loader().Busy(), 60000);
        for (int i = 0; i < b.Items().Count(); ++i)
            QVERIFY(b.Items().Items(i)->LoadDone);
        w.form.reset();
    }

    void unwritableDataFolder()
    {
        if (::geteuid() == 0)
            QSKIP("root writes into read-only folders; nothing to test");
        Window w;
        QVERIFY(QFile::setPermissions(w.dir.path(), QFile::ReadOwner | QFile::ExeOwner));
        TForm1* f = w.open();
        QVERIFY(f->isVisible());
        QVERIFY(!f->autoThumb());
        QCOMPARE(f->settings().text(54), QStringLiteral("100"));
        w.close();
        QFile::setPermissions(w.dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
};

QTEST_MAIN(TstMainWindow)
#include "tst_mainwindow.moc"
