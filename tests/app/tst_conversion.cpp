#include "app/Unit10.h"
#include "engine/ImgConvert.h"
#include "engine/ImgUtils.h"
#include "tests/app/AppFixture.h"
#include "tests/support/FileDamage.h"
#include "tests/support/MessageBoxes.h"

#include <QAction>
#include <QLabel>
#include <QMessageBox>
#include <QSet>

#include <cstdio>
#include <jpeglib.h>

using sq::test::MessageBoxes;
using sq::test::readFile;

namespace {

// The luminance table's first entry of a JPEG file, and the library's for q.
int fileQuant0(const QByteArray& bytes)
{
    jpeg_decompress_struct d;
    jpeg_error_mgr err;
    d.err = jpeg_std_error(&err);
    jpeg_create_decompress(&d);
    jpeg_mem_src(&d, reinterpret_cast<const unsigned char*>(bytes.constData()),
                 (unsigned long)bytes.size());
    int v = -1;
    if (jpeg_read_header(&d, TRUE) == JPEG_HEADER_OK && d.quant_tbl_ptrs[0])
        v = d.quant_tbl_ptrs[0]->quantval[1];
    jpeg_destroy_decompress(&d);
    return v;
}

int libraryQuant0(int quality)
{
    return sq::encodeJpegDefaults(sq::test::patternImage(8, 8), quality).isEmpty()
               ? -1
               : fileQuant0(sq::encodeJpegDefaults(sq::test::patternImage(8, 8), quality));
}

QImage picture(const QString& path)
{
    const QByteArray bytes = readFile(path);
    return path.endsWith(QLatin1String(".bmp")) ? sq::decodeBmpRgb(bytes)
                                                : sq::decodeJpeg(bytes, 1, true);
}

} // namespace

class TstConversion : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A selection of both kinds: each command converts only its sources;
    // capitals and .jpeg are sources too; an existing target is replaced
    // once the user says so.
    void mixedSelection()
    {
        AppFixture app;
        const QString pics = app.path(QStringLiteral("pics"));
        QVERIFY(
            sq::test::writeBmp(pics + QStringLiteral("/a.bmp"), sq::test::patternImage(64, 48)));
        QVERIFY(
            sq::test::writeBmp(pics + QStringLiteral("/B.BMP"), sq::test::patternImage(32, 24)));
        QVERIFY(
            sq::test::writeJpeg(pics + QStringLiteral("/c.jpeg"), sq::test::patternImage(40, 30)));
        QVERIFY(
            sq::test::writeJpeg(pics + QStringLiteral("/D.JPG"), sq::test::patternImage(20, 10)));
        QVERIFY(sq::test::writeFile(pics + QStringLiteral("/a.jpg"), "an older a.jpg"));
        TForm1* f = app.start(QStringLiteral("pics"));
        QVERIFY(app.listed(5));
        f->menuItem(QStringLiteral("JPG75"))->trigger();
        QCOMPARE(f->conversionQuality(), 75);
        QCOMPARE(f->settings().text(54), QStringLiteral("75"));
        auto index = [&](const char* name) {
            TPanelItems& items = app.browser().Items();
            for (int i = 0; i < items.Count(); ++i)
                if (QFileInfo(items.Items(i)->ParseName()).fileName() == QLatin1String(name))
                    return i;
            return -1;
        };

        // One BMP and one JPEG selected: each command converts its own kind.
        app.select({index("a.bmp"), index("c.jpeg")});
        QCOMPARE(app.browser().SelCount(), 2);
        QSet<QString> counts;
        QTimer sample;
        QObject::connect(&sample, &QTimer::timeout, [&] {
            if (Form10->isVisible()) counts << Form10->Label3->text();
        });
        sample.start(0);
        MessageBoxes boxes({QStringLiteral("置き換え")});
        f->menuItem(QStringLiteral("JPEG1"))->trigger();
        QVERIFY(!Form10->isVisible());
        QCOMPARE(Form10->windowTitle(), QStringLiteral("JPEGに一括変換"));
        QCOMPARE(Form10->Label2->text(), QStringLiteral("JPEGに変換中です"));
        QCOMPARE(counts, QSet<QString>{QStringLiteral("1 / 1")});
        QCOMPARE(picture(pics + QStringLiteral("/a.jpg")).size(),
                 QSize(64, 48)); // replaced, after the question
        QCOMPARE(fileQuant0(readFile(pics + QStringLiteral("/a.jpg"))), libraryQuant0(75));
        QVERIFY(libraryQuant0(75) != libraryQuant0(90));
        QVERIFY(!QFileInfo::exists(pics + QStringLiteral("/c.jpg")));
        const QByteArray aBmp = readFile(pics + QStringLiteral("/a.bmp"));
        f->menuItem(QStringLiteral("BMP1"))->trigger();
        QCOMPARE(Form10->windowTitle(), QStringLiteral("BMPに一括変換"));
        QCOMPARE(picture(pics + QStringLiteral("/c.bmp")),
                 picture(pics + QStringLiteral("/c.jpeg")));
        QCOMPARE(readFile(pics + QStringLiteral("/a.bmp")), aBmp);

        // Capitals: converted, and the target takes the lower-case extension.
        QVERIFY(app.listed(6));
        app.select({index("B.BMP"), index("D.JPG")});
        f->menuItem(QStringLiteral("JPEG1"))->trigger();
        f->menuItem(QStringLiteral("BMP1"))->trigger();
        QCOMPARE(picture(pics + QStringLiteral("/B.jpg")).size(), QSize(32, 24));
        QCOMPARE(picture(pics + QStringLiteral("/D.bmp")),
                 picture(pics + QStringLiteral("/D.JPG")));
        QCOMPARE(
            boxes.texts(),
            QStringList{pics + QStringLiteral("/a.jpg\nは既に存在しています。置き換えますか?")});
    }

    // Targets that exist already: each is asked about with the conflict
    // question of file operations, with the progress box out of the way;
    // "apply to all" holds for the run, Cancel ends it, and no answer
    // touches a source.
    void existingTargets_data()
    {
        QTest::addColumn<QStringList>("answers");
        QTest::addColumn<int>("questions");
        QTest::addColumn<QString>("replaced"); // per existing target: n new, o old
        QTest::addColumn<bool>("freeConverted");
        QTest::newRow("skip each")
            << QStringList{"スキップ", "スキップ", "スキップ"} << 3 << "ooo" << true;
        QTest::newRow("replace the middle")
            << QStringList{"スキップ", "置き換え", "スキップ"} << 3 << "ono" << true;
        QTest::newRow("replace all")
            << QStringList{MessageBoxes::forAll("置き換え")} << 1 << "nnn" << true;
        QTest::newRow("skip all") << QStringList{MessageBoxes::forAll("スキップ")} << 1 << "ooo"
                                  << true;
        QTest::newRow("cancel at once") << QStringList{"キャンセル"} << 1 << "ooo" << false;
        QTest::newRow("cancel at the second")
            << QStringList{"置き換え", "キャンセル"} << 2 << "noo" << false;
    }
    void existingTargets()
    {
        QFETCH(QStringList, answers);
        QFETCH(int, questions);
        QFETCH(QString, replaced);
        QFETCH(bool, freeConverted);
        AppFixture app;
        const QString pics = app.path(QStringLiteral("pics"));
        const QStringList names{"a", "b", "c", "d"}; // d.jpg does not exist
        for (const QString& n : names)
            QVERIFY(sq::test::writeBmp(pics + QLatin1Char('/') + n + QStringLiteral(".bmp"),
                                       sq::test::patternImage(24, 16)));
        for (int i = 0; i < 3; ++i)
            QVERIFY(sq::test::writeFile(pics + QLatin1Char('/') + names[i] + QStringLiteral(".jpg"),
                                        "edited " + names[i].toLatin1()));
        QMap<QString, QByteArray> sources;
        for (const QString& n : names)
            sources[n] = readFile(pics + QLatin1Char('/') + n + QStringLiteral(".bmp"));
        TForm1* f = app.start(QStringLiteral("pics"));
        QVERIFY(app.listed(7));
        app.browser().SelectAll();
        // The progress box never covers an open question.
        int covered = 0;
        QTimer sample;
        QObject::connect(&sample, &QTimer::timeout, [&] {
            if (qobject_cast<QMessageBox*>(QApplication::activeModalWidget()) &&
                Form10->isVisible())
                ++covered;
        });
        sample.start(0);
        MessageBoxes boxes(answers);
        f->JPEG1Click();
        sample.stop();
        QCOMPARE(covered, 0);
        QVERIFY(!Form10->isVisible());
        QCOMPARE(boxes.texts().size(), questions);
        for (int i = 0; i < questions; ++i)
            QCOMPARE(boxes.texts().at(i),
                     pics + QLatin1Char('/') + names[i] +
                         QStringLiteral(".jpg\nは既に存在しています。置き換えますか?"));
        for (int i = 0; i < 3; ++i) {
            const QString jpg = pics + QLatin1Char('/') + names[i] + QStringLiteral(".jpg");
            if (replaced[i] == QLatin1Char('n'))
                QCOMPARE(picture(jpg).size(), QSize(24, 16));
            else
                QCOMPARE(readFile(jpg), "edited " + names[i].toLatin1());
        }
        QCOMPARE(QFileInfo::exists(pics + QStringLiteral("/d.jpg")), freeConverted);
        for (const QString& n : names)
            QCOMPARE(readFile(pics + QLatin1Char('/') + n + QStringLiteral(".bmp")), sources[n]);
        QCOMPARE(QDir(pics).entryList({QStringLiteral(".sqsave-*")}, QDir::Files | QDir::Hidden),
                 QStringList());

        // The answer for all ends with the run: the preview's command asks again.
        boxes.clear();
        boxes.answer({QStringLiteral("キャンセル")});
        f->ImgBox1->LoadFile(pics + QStringLiteral("/b.bmp"));
        const QByteArray before = readFile(pics + QStringLiteral("/b.jpg"));
        f->JPEG3Click();
        QCOMPARE(boxes.texts().size(), 1);
        QCOMPARE(readFile(pics + QStringLiteral("/b.jpg")), before);
    }

    void nothingSelected()
    {
        AppFixture app;
        QVERIFY(sq::test::writeBmp(app.path(QStringLiteral("pics/a.bmp")),
                                   sq::test::patternImage(8, 8)));
        TForm1* f = app.start(QStringLiteral("pics"));
        QVERIFY(app.listed(1));
        MessageBoxes boxes;
        f->menuItem(QStringLiteral("JPEG1"))->trigger();
        f->menuItem(QStringLiteral("BMP1"))->trigger();
        QCOMPARE(boxes.texts(), QStringList(2, QStringLiteral("選択画像がありません")));
        QVERIFY(!QFileInfo::exists(app.path(QStringLiteral("pics/a.jpg"))));
    }

    // A damaged source ends the run there: the files before it are
    // converted, nothing half-written is left, the box is hidden and the
    // message names the file.
    void damagedSourceEndsRun()
    {
        AppFixture app;
        const QString pics = app.path(QStringLiteral("pics"));
        for (const char* n : {"a", "b", "c"})
            QVERIFY(sq::test::writeJpeg(pics + QLatin1Char('/') + QLatin1String(n) +
                                            QStringLiteral(".jpg"),
                                        sq::test::patternImage(80, 60)));
        QVERIFY(sq::test::truncateFile(pics + QStringLiteral("/b.jpg"), 300));
        TForm1* f = app.start(QStringLiteral("pics"));
        QVERIFY(app.listed(3));
        app.browser().SelectAll();
        MessageBoxes boxes;
        f->BMP1Click();
        QVERIFY(!Form10->isVisible());
        QCOMPARE(boxes.texts(),
                 QStringList{pics + QStringLiteral("/b.jpg\nは壊れているか、画像ではありません")});
        QVERIFY(QFileInfo::exists(pics + QStringLiteral("/a.bmp")));
        QVERIFY(!QFileInfo::exists(pics + QStringLiteral("/b.bmp")));
        QVERIFY(!QFileInfo::exists(pics + QStringLiteral("/c.bmp")));
        QCOMPARE(QDir(pics).entryList(QDir::Files | QDir::Hidden).size(), 4);
    }

    void unwritableFolder()
    {
        AppFixture app;
        const QString pics = app.path(QStringLiteral("pics"));
        QVERIFY(
            sq::test::writeBmp(pics + QStringLiteral("/a.bmp"), sq::test::patternImage(16, 16)));
        TForm1* f = app.start(QStringLiteral("pics"));
        QVERIFY(app.listed(1));
        app.browser().SelectAll();
        sq::test::UnwritableFolder locked(pics);
        if (!locked.ok()) QSKIP("cannot make a folder unwritable here");
        MessageBoxes boxes;
        f->JPEG1Click();
        QCOMPARE(boxes.texts().size(), 1);
        QVERIFY(boxes.texts().first().startsWith(pics + QStringLiteral("/a.bmp\nの変換先 ") + pics +
                                                 QStringLiteral("/a.jpg に書き込めません (")));
        QVERIFY(!Form10->isVisible());
        QCOMPARE(QDir(pics).entryList(QDir::Files | QDir::Hidden), QStringList{"a.bmp"});
    }

    // The preview's single-file commands: no selection needed, nothing said
    // for a file of the other kind.
    void previewFile()
    {
        AppFixture app;
        const QString pics = app.path(QStringLiteral("pics"));
        QVERIFY(
            sq::test::writeJpeg(pics + QStringLiteral("/p.jpg"), sq::test::patternImage(30, 20)));
        TForm1* f = app.start(QStringLiteral("pics"));
        QVERIFY(app.listed(1));
        f->ImgBox1->LoadFile(pics + QStringLiteral("/p.jpg"));
        MessageBoxes boxes;
        f->JPEG3Click(); // a JPEG is no source of JPEG3
        QVERIFY(!QFileInfo::exists(pics + QStringLiteral("/p.bmp")));
        f->BMP3Click();
        QCOMPARE(Form10->windowTitle(), QStringLiteral("BMPに変換"));
        QCOMPARE(picture(pics + QStringLiteral("/p.bmp")),
                 picture(pics + QStringLiteral("/p.jpg")));
        QCOMPARE(boxes.texts(), QStringList());
    }
};

QTEST_MAIN(TstConversion)
#include "tst_conversion.moc"
