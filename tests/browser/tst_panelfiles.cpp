// The browser on the file system: names that are not UTF-8 shown, loaded,
// copied, pasted and renamed with their bytes intact; the change refresh
// that keeps the pictures of unchanged entries; the change watch held while
// a file operation runs.
#include "browser/ImgPanel.h"
#include "platform/FileClipboard.h"
#include "platform/FileOps.h"
#include "platform/FileVerbs.h"
#include "platform/NativePath.h"

#include "tests/support/RawNames.h"
#include "tests/support/TestFiles.h"

#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QImageWriter>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

namespace pw = sq::platform;
using sq::test::namesAt;
using sq::test::readFileAt;
using sq::test::writeFileAt;
using Names = QList<QByteArray>;

namespace {

QByteArray jpegBytes(int w, int h)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.write(sq::test::patternImage(w, h));
    return bytes;
}

bool waitIdle(TImgPanel& p, int ms = 20000)
{
    QElapsedTimer t;
    t.start();
    while (p.Loader().Busy() && t.elapsed() < ms)
        QTest::qWait(5);
    return !p.Loader().Busy();
}

void setUp(TImgPanel& p)
{
    p.ViewImage().SetImageWidth(80);
    p.ViewImage().SetImageHeight(60);
    p.ViewImage().ImgUtil().setGetType(igtStretch);
    p.resize(600, 400);
    p.show();
    QCoreApplication::processEvents();
}

int indexOf(TImgPanel& p, const QByteArray& name)
{
    for (int i = 0; i < p.Items().Count(); ++i)
        if (p.Items().Items(i)->ItemId() == name) return i;
    return -1;
}

// Answers the rename question with a fixed name; reports errors.
class NamingPrompt : public pw::QuietFileOpPrompt
{
public:
    QString name;
    QString askedFor;
    std::optional<QString> askNewName(const QString& path) override
    {
        askedFor = path;
        return name;
    }
};

// Lets events run between the pieces of an operation, as the progress
// window does, and waits long enough for the change watch to report.
class EventfulPrompt : public pw::QuietFileOpPrompt
{
public:
    void stepProgress(qint64) override
    {
        QTest::qWait(30);
        ++steps;
    }
    int steps = 0;
};

} // namespace

class TstPanelFiles : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A folder with a name that is not UTF-8, in a folder whose name is not
    // either: the entry is listed and shown with U+FFFD, its thumbnail is
    // loaded, and it is copied by the clipboard keys and renamed through the
    // verbs with its bytes intact.
    void namesNotUtf8()
    {
        sq::test::RawTempDir dir;
        const QByteArray pics = dir.bytes() + "/pics\xfe";
        const QByteArray other = dir.bytes() + "/other\xfd";
        QVERIFY(writeFileAt(pics + "/bad\xff.jpg", jpegBytes(160, 120)));
        QVERIFY(writeFileAt(pics + "/good.jpg", jpegBytes(40, 30)));
        QVERIFY(sq::test::makeFolderAt(other));

        TImgPanel p;
        setUp(p);
        NamingPrompt prompt;
        pw::FileVerbs verbs(prompt);
        TFileVerbsAdapter adapter(verbs);
        p.SetShellVerbs(&adapter);
        p.OpenFolder(pw::pathFromNative(pics));
        QCOMPARE(pw::nativePath(p.CurrentFolderPath()), pics);
        QCOMPARE(p.Items().Count(), 2);
        const int bad = indexOf(p, "bad\xff.jpg");
        QVERIFY(bad >= 0);
        TPanelItem* item = p.Items().Items(bad);
        QCOMPARE(item->DisplayName(), QStringLiteral("bad\uFFFD.jpg"));
        QCOMPARE(pw::nativePath(item->ParseName()), pics + "/bad\xff.jpg");
        QCOMPARE(item->SizeText(),
                 QStringLiteral("%1KB").arg(readFileAt(pics + "/bad\xff.jpg").size() / 1024 + 1));
        QCOMPARE(item->ImageKind(), iitJpeg);
        QVERIFY(waitIdle(p));
        QVERIFY(item->LoadDone);
        QCOMPARE(item->PictureWidth, 160); // the picture, not an icon
        QCOMPARE(item->PictureHeight, 120);

        // Ctrl+C on the entry, Ctrl+V in the other folder.
        p.MoveFocus(bad, Qt::NoModifier, false);
        QTest::keyClick(&p, Qt::Key_C, Qt::ControlModifier);
        const pw::ClipboardFiles onClipboard = pw::filesOnClipboard();
        QCOMPARE(onClipboard.paths.size(), 1);
        QCOMPARE(pw::nativePath(onClipboard.paths.value(0)), pics + "/bad\xff.jpg");
        p.OpenFolder(pw::pathFromNative(other));
        QTest::keyClick(&p, Qt::Key_V, Qt::ControlModifier);
        QVERIFY(prompt.errors.empty());
        QCOMPARE(namesAt(other), Names{"bad\xff.jpg"});
        QCOMPARE(readFileAt(other + "/bad\xff.jpg"), readFileAt(pics + "/bad\xff.jpg"));
        QTRY_COMPARE(p.Items().Count(), 1);

        // Renamed to a typed (UTF-8) name, then back to its old bytes.
        p.OpenFolder(pw::pathFromNative(pics));
        prompt.name = QStringLiteral("良い.jpg");
        QVERIFY(adapter.Rename(p.Items().Items(indexOf(p, "bad\xff.jpg"))->ParseName()));
        QCOMPARE(pw::nativePath(prompt.askedFor), pics + "/bad\xff.jpg");
        QCOMPARE(namesAt(pics), (Names{"good.jpg", QStringLiteral("良い.jpg").toUtf8()}));
        QTRY_VERIFY(indexOf(p, QStringLiteral("良い.jpg").toUtf8()) >= 0);
        prompt.name = pw::pathFromNative(QByteArray("bad\xff.jpg"));
        QVERIFY(
            adapter.Rename(pw::pathFromNative(pics + "/" + QStringLiteral("良い.jpg").toUtf8())));
        QCOMPARE(namesAt(pics), (Names{"bad\xff.jpg", "good.jpg"}));
        QVERIFY(prompt.errors.empty());
    }

    // A change in the shown folder re-reads it; the cells of entries whose
    // files did not change keep their pictures (or icons) through it: no
    // blank cells, no second load; a replaced file is loaded again.
    void changeRefreshKeepsPictures()
    {
        QTemporaryDir dir;
        const QString folder = dir.filePath("watched");
        for (int i = 0; i < 6; ++i)
            QVERIFY(sq::test::writeJpeg(QStringLiteral("%1/p%2.jpg").arg(folder).arg(i),
                                        sq::test::patternImage(64, 48)));
        QVERIFY(sq::test::writeFile(folder + "/z.bin", "no picture: an icon"));
        TImgPanel p;
        setUp(p);
        p.OpenFolder(folder);
        QVERIFY(waitIdle(p));
        for (int i = 0; i < p.Items().Count(); ++i)
            QVERIFY(!p.Items().Items(i)->CellBitmap.isNull());
        const QImage before = p.BackBuffer().copy();

        // Blank cells among the entries whose files stay as they are.
        int blank = 0, reads = 0, loads = 0;
        p.OnImageLoad = [&](void*, TPanelItem*) { ++loads; };
        p.OnChangeFolder = [&](TCustomImgPanel*) {
            ++reads;
            for (int i = 0; i < p.Items().Count(); ++i) {
                const QString name = p.Items().Items(i)->DisplayName();
                if (name != "p0.jpg" && name != "p9.jpg" && p.Items().Items(i)->CellBitmap.isNull())
                    ++blank;
            }
        };
        // A new file, and p0 replaced by another picture; each appears
        // whole (written aside and renamed in).
        QVERIFY(sq::test::writeJpeg(dir.filePath("p9.jpg"), sq::test::patternImage(32, 32)));
        QVERIFY(sq::test::writeJpeg(dir.filePath("p0.jpg"), sq::test::patternImage(20, 20)));
        QVERIFY(::rename(dir.filePath("p9.jpg").toUtf8().constData(),
                         (folder + "/p9.jpg").toUtf8().constData()) == 0);
        QVERIFY(::rename(dir.filePath("p0.jpg").toUtf8().constData(),
                         (folder + "/p0.jpg").toUtf8().constData()) == 0);
        QTRY_COMPARE(p.Items().Count(), 8);
        QTRY_COMPARE(p.Items().Items(0)->PictureWidth, 20);
        QVERIFY(waitIdle(p));
        QVERIFY(reads >= 1);
        QCOMPARE(blank, 0);
        QCOMPARE(loads, 2); // only the new file and the replaced one
        // The untouched cells look as they did.
        const QRect cell = p.PictureBox(3);
        QCOMPARE(p.BackBuffer().copy(cell), before.copy(cell));
    }

    // While a file operation runs, changes in the shown folder are held: it
    // is read once, after the operation, however long it ran.
    void changesHeldDuringOperation()
    {
        QTemporaryDir dir;
        const QString folder = dir.filePath("target");
        QVERIFY(QDir().mkpath(folder));
        QStringList sources;
        for (int i = 0; i < 30; ++i) {
            const QString src =
                dir.filePath(QStringLiteral("src/f%1.jpg").arg(i, 2, 10, QLatin1Char('0')));
            QVERIFY(sq::test::writeFile(src, QByteArray(1000, 'x')));
            sources << src;
        }
        TImgPanel p;
        setUp(p);
        p.OpenFolder(folder);
        int during = 0, after = 0;
        bool running = true;
        p.OnChangeFolder = [&](TCustomImgPanel*) { ++(running ? during : after); };
        EventfulPrompt prompt;
        const auto r = pw::copyInto(sources, folder, prompt);
        running = false;
        QVERIFY(r.ok());
        QVERIFY(prompt.steps >= 30); // about a second of events served
        QCOMPARE(during, 0);
        QTRY_VERIFY(after >= 1);
        QCOMPARE(p.Items().Count(), 30);
    }
};

QTEST_MAIN(TstPanelFiles)
#include "tst_panelfiles.moc"
