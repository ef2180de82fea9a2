// Folders whose names are not UTF-8 through the main window: shown in the
// folder tree and the start-up folder dialog, chosen there by their bytes
// (which reach the browser and settings line 0), and a data folder so named.
// Also: every picture kind the desktop entry claims opens like a PNG.
#include "app/Unit1.h"
#include "app/Unit3.h"
#include "engine/PictureFormats.h"
#include "platform/FolderTree.h"
#include "platform/NativePath.h"
#include "state/Globals.h"
#include "tests/support/PhotoFiles.h"
#include "tests/support/RawNames.h"

#include <QAction>
#include <QBuffer>
#include <QLabel>
#include <QMimeDatabase>
#include <QPushButton>
#include <QTreeView>
#include <QtTest>

#include <memory>

namespace pw = sq::platform;
using namespace sq::test;

namespace {

QByteArray jpegBytes()
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImage image(40, 30, QImage::Format_RGB888);
    image.fill(Qt::darkYellow);
    image.save(&buffer, "JPEG");
    return bytes;
}

// A small picture in the format of a suffix, where Qt writes it; a DNG
// for every camera RAW suffix (LibRaw knows a file by its content).
QByteArray pictureBytes(const QString& suffix)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImage image(40, 30, QImage::Format_RGB888);
    image.fill(Qt::darkGreen);
    if (sq::isRawName(QStringLiteral("shot.") + suffix)) return dngBytes(image);
    if (!image.save(&buffer, suffix.toLatin1().constData())) // Qt writes no GIF: a 1 x 1 one.
        return QByteArray(
            "GIF89a\x01\x00\x01\x00\x80\x00\x00\x00\x00\x00\xff\xff\xff!\xf9\x04\x01\x00"
            "\x00\x00\x00,\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02" "D\x01\x00;",
            43);
    return bytes;
}

// Expands parent in a tree and clicks the row whose name is name.
bool clickRow(QTreeView* tree, pw::FolderTree* model, const QModelIndex& parent,
              const QByteArray& name)
{
    tree->expand(parent);
    for (int row = 0; row < model->rowCount(parent); ++row) {
        const QModelIndex index = model->index(row, 0, parent);
        if (model->fileName(index) != name) continue;
        tree->scrollTo(index);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualRect(index).center());
        return tree->currentIndex() == index;
    }
    return false;
}

// The settings file's lines as bytes.
QList<QByteArray> iniLines(const QByteArray& data)
{
    QList<QByteArray> lines = readFileAt(data + "sorrelquint.ini").split('\n');
    for (QByteArray& l : lines)
        if (l.endsWith('\r')) l.chop(1);
    return lines;
}

void addNames()
{
    QTest::addColumn<QByteArray>("name");
    QTest::newRow("a lone 0xFF") << QByteArray("bad\xff");
    QTest::newRow("Latin-1") << QByteArray("caf\xe9");
    QTest::newRow("Shift-JIS") << QByteArray("\x8e\xca\x90\x5e");
    QTest::newRow("overlong slash") << QByteArray("a\xc0\xaf");
    QTest::newRow("UTF-8") << QByteArray("写真");
}

} // namespace

class TstFolderNames : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The tree lists the folder as shown text and a click on it takes its
    // exact bytes to the browser; the data folder's name is not UTF-8 either.
    void treeShowsAndOpensTheFolder_data() { addNames(); }
    void treeShowsAndOpensTheFolder()
    {
        QFETCH(QByteArray, name);
        RawTempDir dir;
        const QByteArray root = dir.bytes() + "/pics";
        const QByteArray folder = root + '/' + name;
        QVERIFY(writeFileAt(folder + "/p.jpg", jpegBytes()));
        QVERIFY(makeFolderAt(root + "/other"));
        const QByteArray data = dir.bytes() + "/data\xfe/";
        QVERIFY(makeFolderAt(data));
        TForm1 f(pw::pathFromNative(data), pw::pathFromNative(root), 1024, 768);
        f.show();
        QTest::qWait(0);
        // The data folder is used by its bytes.
        QVERIFY(existsAt(data + "sorrelquint.ini"));
        QVERIFY(existsAt(data + "thumb"));
        QVERIFY(f.autoThumb());
        QCOMPARE(pw::nativePath(f.treeFolder()), root);

        auto* model = dynamic_cast<pw::FolderTree*>(f.DirectoryListBox1->model());
        QVERIFY(model);
        const QModelIndex rootRow = model->index(pw::pathFromNative(root));
        QVERIFY(rootRow.isValid());
        QCOMPARE(f.DirectoryListBox1->currentIndex(), rootRow);
        QVERIFY(clickRow(f.DirectoryListBox1, model, rootRow, name));
        const QModelIndex row = f.DirectoryListBox1->currentIndex();
        QCOMPARE(model->data(row).toString(), pw::displayText(pw::pathFromNative(name)));
        QCOMPARE(pw::nativePath(f.treeFolder()), folder);
        QCOMPARE(pw::nativePath(f.ImgPanel1->CurrentFolderPath()), folder);
        QTRY_COMPARE(f.ImgPanel1->Items().Count(), 1);
        QCOMPARE(pw::nativePath(f.ImgPanel1->Items().Items(0)->ParseName()), folder + "/p.jpg");
        f.close();
    }

    // The start-up folder dialog lists the folder, OK puts its bytes into
    // line 0; the file keeps them, and the next start opens the folder.
    void startupFolderRoundTrip_data() { addNames(); }
    void startupFolderRoundTrip()
    {
        QFETCH(QByteArray, name);
        RawTempDir dir;
        const QByteArray root = dir.bytes() + "/pics";
        const QByteArray folder = root + '/' + name;
        QVERIFY(writeFileAt(folder + "/p.jpg", jpegBytes()));
        const QByteArray data = dir.bytes() + "/data/";
        QVERIFY(makeFolderAt(data));
        const QString shown = pw::displayText(pw::pathFromNative(folder));
        {
            auto dialog = std::make_unique<TForm3>();
            Form3 = dialog.get();
            TForm1 f(pw::pathFromNative(data), pw::pathFromNative(root), 1024, 768);
            f.show();
            QTest::qWait(0);
            f.N2Click();
            QVERIFY(dialog->isVisible());
            auto* model = dynamic_cast<pw::FolderTree*>(dialog->DirectoryListBox1->model());
            QVERIFY(model);
            const QModelIndex rootRow = dialog->DirectoryListBox1->currentIndex();
            QCOMPARE(pw::nativePath(model->filePath(rootRow)), root);
            QVERIFY(clickRow(dialog->DirectoryListBox1, model, rootRow, name));
            QCOMPARE(pw::nativePath(dialog->chosenPath()), folder);
            QCOMPARE(dialog->Label1->toolTip(), shown);
            QTest::mouseClick(dialog->Button1, Qt::LeftButton);
            QVERIFY(!dialog->isVisible());
            QCOMPARE(pw::nativePath(f.settings().text(0)), folder);
            QCOMPARE(f.menuItem(QStringLiteral("N2"))->text(), shown);
            // The tree stays where it is until the next start.
            QCOMPARE(pw::nativePath(f.treeFolder()), root);
            f.close();
            Form3 = nullptr;
        }
        QCOMPARE(iniLines(data).value(0), folder);
        TForm1 g(pw::pathFromNative(data), QString(), 1024, 768);
        g.show();
        QTest::qWait(0);
        QCOMPARE(pw::nativePath(g.treeFolder()), folder);
        QCOMPARE(pw::nativePath(g.ImgPanel1->CurrentFolderPath()), folder);
        QCOMPARE(g.menuItem(QStringLiteral("N2"))->text(), shown);
        QTRY_COMPARE(g.ImgPanel1->Items().Count(), 1);
        g.close();
        QCOMPARE(iniLines(data).value(0), folder);
    }

    // Bad input: line 0 naming a folder that is gone, or a file, opens the
    // data folder and keeps the line's bytes.
    void startupFolderGoneKeepsTheLine_data()
    {
        QTest::addColumn<QByteArray>("tail"); // after the test's folder
        QTest::newRow("gone") << QByteArray("/gone\xff");
        QTest::newRow("a file") << QByteArray("/file\xff");
        QTest::newRow("one byte off") << QByteArray("/dir\xfe");
    }
    void startupFolderGoneKeepsTheLine()
    {
        QFETCH(QByteArray, tail);
        RawTempDir dir;
        QVERIFY(writeFileAt(dir.bytes() + "/file\xff", "x"));
        QVERIFY(makeFolderAt(dir.bytes() + "/dir\xff"));
        const QByteArray data = dir.bytes() + "/data/";
        QByteArray ini = dir.bytes() + tail + "\r\n";
        for (int i = 1; i < 55; ++i)
            ini += (i == 53 ? QByteArray("53") : QByteArray("2")) + "\r\n";
        QVERIFY(writeFileAt(data + "sorrelquint.ini", ini));
        TForm1 f(pw::pathFromNative(data), QString(), 1024, 768);
        f.show();
        QTest::qWait(0);
        QCOMPARE(pw::nativePath(f.treeFolder()) + '/', data);
        QCOMPARE(f.menuItem(QStringLiteral("N2"))->text(), QStringLiteral("参照"));
        f.close();
        QCOMPARE(iniLines(data).value(0), dir.bytes() + tail);
    }

    // Every kind the desktop entry claims is listed by "すべての画像", and a
    // file of it given on the command line while the filter hides it is
    // listed, focused and current, as a PNG is.
    void claimedKindsOpen_data()
    {
        QTest::addColumn<QString>("mime");
        const QByteArray entry =
            readFileAt(qgetenv("SQ_SOURCE_DIR") + "/packaging/sorrelquint.desktop");
        QByteArray types;
        for (const QByteArray& line : entry.split('\n'))
            if (line.startsWith("MimeType=")) types = line.mid(9);
        QVERIFY(!types.isEmpty());
        for (const QByteArray& type : types.split(';'))
            if (!type.isEmpty()) QTest::newRow(type.constData()) << QString::fromLatin1(type);
    }
    void claimedKindsOpen()
    {
        QFETCH(QString, mime);
        const QMimeType type = QMimeDatabase().mimeTypeForName(mime);
        QVERIFY2(type.isValid(), qPrintable(mime));
        QVERIFY(!type.preferredSuffix().isEmpty());
        RawTempDir dir;
        const QByteArray pics = dir.bytes() + "/pics\xff";
        const QByteArray name = "shot." + type.preferredSuffix().toLatin1();
        QVERIFY(writeFileAt(pics + '/' + name, pictureBytes(type.preferredSuffix())));
        QVERIFY(writeFileAt(pics + "/notes.txt", "text"));
        QVERIFY(makeFolderAt(dir.bytes() + "/data"));
        TForm1 f(pw::pathFromNative(dir.bytes() + "/data/"), pw::pathFromNative(pics + '/' + name),
                 1024, 768);
        f.show();
        QTest::qWait(0);
        QCOMPARE(pw::nativePath(f.treeFolder()), pics);
        TImgPanel& b = *f.ImgPanel1;
        QVERIFY(b.CurrentItem());
        QCOMPARE(pw::nativePath(b.CurrentItem()->ParseName()), pics + '/' + name);
        QCOMPARE(b.Items().Count(), 1); // not the text file
        // Shown in the preview, never opened with its program (which would
        // be this one again).
        QCOMPARE(pw::nativePath(f.ImgBox1->ImageFile()), pics + '/' + name);
        f.ExtCommand(3);
        QVERIFY(QDir::match(b.View().DispTypes().Ext().split(QLatin1Char(';')),
                            QString::fromLatin1(name)));
        f.close();
    }
};

QTEST_MAIN(TstFolderNames)
#include "tst_foldernames.moc"
