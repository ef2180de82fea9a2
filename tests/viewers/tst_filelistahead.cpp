// The file list window's previews prepared ahead, in the real windows on a
// folder the test writes: a line reached by the keys or a click after the
// preparing shows what a load of its file shows, over every browser entry
// and over the selection, the line in the direction last moved in kept
// first; a file changed, the preview resized or its size
// mode changed since loads anew; nothing is kept once the window is hidden
// or its lines are made again; damaged files ahead do not stop the stepping.
#include "tests/viewers/AheadChecks.h"
#include "tests/viewers/SlideFixture.h"

#include "viewers/AheadLoader.h"
#include "viewers/Unit11.h"

#include <QListWidget>

using sq::test::replaceKeepingTime;
using sq::test::Shown;
using sq::test::shownBy;
using sq::test::SlideFixture;
using sq::test::waitPrepared;
using sq::test::writeMixedFolder;

namespace {

sq::TViewAhead& listStore()
{
    return Form11->Ahead().Store();
}

// The slide view opened on every entry, or on the odd ones selected, and
// the file list window shown from it.
void openList(SlideFixture& f, bool selection)
{
    if (selection) {
        f.click(1);
        for (int i = 3; i < f.pictures.size(); i += 2)
            f.click(i, Qt::ControlModifier);
        Form1->N40Click();
        QCOMPARE(Form2->State().SelectedPicturesMode, 1);
    } else {
        f.click(0);
        Form1->ImgPanel1DblClick();
    }
    QVERIFY(Form2->isVisible());
    Form2->FileList1Click();
    QVERIFY(Form11->isVisible());
    QCOMPARE(Form11->ListBox1->count(), selection ? f.pictures.size() / 2 : f.pictures.size());
}

// The preview shows what loading its line's file into it shows now.
void compareWithLoad()
{
    TForm11& w = *Form11;
    const QString file = w.FileOf(w.ListBox1->currentRow());
    QVERIFY(!file.isEmpty());
    const Shown stepped = shownBy(*w.ImgBox1);
    const QString steppedFile = w.ImgBox1->ImageFile();
    w.ImgBox1->LoadFile(file);
    QCOMPARE(steppedFile, w.ImgBox1->ImageFile());
    QVERIFY(stepped == shownBy(*w.ImgBox1));
}

// The preview shows its line's file as a load of it shows it.
void checkPreview()
{
    QCOMPARE(Form11->ImgBox1->ImageFile(), Form11->FileOf(Form11->ListBox1->currentRow()));
    compareWithLoad();
}

// One move of the list's line: a key, or a click on the line `by` away.
void moveLine(const QString& how)
{
    QListWidget* list = Form11->ListBox1;
    if (how.startsWith(QLatin1String("click"))) {
        QListWidgetItem* item = list->item(list->currentRow() + how.mid(6).toInt());
        QVERIFY(item);
        list->scrollToItem(item);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(item).center());
        QCOMPARE(list->currentItem(), item);
        return;
    }
    const Qt::Key key = how == QLatin1String("down")   ? Qt::Key_Down
                        : how == QLatin1String("up")   ? Qt::Key_Up
                                                       : Qt::Key_PageDown;
    QTest::keyClick(list, key);
}

} // namespace

class TstFileListAhead : public QObject
{
    Q_OBJECT

    std::unique_ptr<SlideFixture> m_shared;

private Q_SLOTS:
    // One set of windows for every row of the first table; the other tests
    // make windows of their own.
    void init()
    {
        if (QByteArray(QTest::currentTestFunction()) != "preparedEqualsLoad") m_shared.reset();
    }
    void cleanupTestCase() { m_shared.reset(); }

    // With room for one view only the line in the direction last moved in
    // is kept: a move back loads anew.
    void preparedEqualsLoad_data()
    {
        QTest::addColumn<bool>("selection");
        QTest::addColumn<int>("room");
        QTest::addColumn<QStringList>("moves"); // the last one is counted against the store
        QTest::addColumn<bool>("prepared");
        const struct
        {
            int room;
            QStringList moves;
            bool prepared;
        } rows[] = {
            {2, {"down", "down"}, true},        {2, {"up", "up"}, true},
            {2, {"down", "up"}, true},          {2, {"up", "down"}, true},
            {2, {"page down", "down"}, true},   {2, {"click 4", "down"}, true},
            {2, {"click -4", "click -1"}, true}, {2, {"click 3", "click -1"}, true},
            {1, {"down", "down"}, true},        {1, {"down", "up"}, false},
            {1, {"up", "up"}, true},            {1, {"up", "down"}, false},
            {1, {"click -4", "click -1"}, true}, {1, {"click 3", "click -1"}, false},
        };
        for (const bool selection : {false, true})
            for (const auto& row : rows)
                QTest::addRow("%s, room %d: %s", selection ? "selection" : "every entry", row.room,
                              qPrintable(row.moves.join(QLatin1String(", "))))
                    << selection << row.room << row.moves << row.prepared;
    }
    void preparedEqualsLoad()
    {
        QFETCH(bool, selection);
        QFETCH(int, room);
        QFETCH(QStringList, moves);
        QFETCH(bool, prepared);
        if (!m_shared) {
            m_shared = std::make_unique<SlideFixture>();
            QVERIFY(QDir().mkpath(m_shared->pics()));
            // Enough lines that a page down leaves lines below.
            m_shared->pictures = writeMixedFolder(m_shared->pics(), 96);
            QCOMPARE(m_shared->pictures.size(), 96);
            m_shared->start();
        }
        SlideFixture& f = *m_shared;
        f.browser().ClearSelection();
        openList(f, selection);
        sq::TViewAhead& store = listStore();
        store.SetLimits(room, TAheadLoader::DefaultBytes);
        QListWidget* list = Form11->ListBox1;
        list->setCurrentRow(8);
        QCOMPARE(Form11->ImgBox1->ImageFile(), Form11->FileOf(8));
        for (const QString& move : moves.mid(0, moves.size() - 1))
            moveLine(move);
        waitPrepared(store);
        QCOMPARE(store.Entries(), room);
        const int before = list->currentRow();
        const long long hits = store.Hits();
        moveLine(moves.last());
        QVERIFY(list->currentRow() != before);
        QCOMPARE(store.Hits() - hits, prepared ? 1 : 0);
        checkPreview();
        store.SetLimits(2, TAheadLoader::DefaultBytes);
        QTest::qWait(20); // a click's release is over before the next row
    }

    void staleViewsLoadAnew_data()
    {
        QTest::addColumn<QString>("change");
        QTest::newRow("file rewritten") << QStringLiteral("rewrite");
        QTest::newRow("file replaced, same size and time") << QStringLiteral("replace");
        QTest::newRow("preview resized") << QStringLiteral("resize");
        QTest::newRow("size mode changed") << QStringLiteral("mode");
        QTest::newRow("fitting changed") << QStringLiteral("fitting");
    }
    void staleViewsLoadAnew()
    {
        QFETCH(QString, change);
        SlideFixture f;
        QVERIFY(QDir().mkpath(f.pics()));
        // BMP files of one size: a replacement can match size and time.
        for (int i = 1; i <= 5; ++i) {
            const QString p = f.pics() + QStringLiteral("/pic_%1.bmp").arg(i);
            QVERIFY(sq::test::writeBmp(p, sq::test::noiseImage(320, 240, quint32(i))));
            f.pictures << p;
        }
        f.start();
        openList(f, false);
        TForm11& w = *Form11;
        w.ListBox1->setCurrentRow(1);
        waitPrepared(listStore());
        QCOMPARE(listStore().Entries(), 2);
        const QString next = f.pictures.at(2);
        const QImage other = sq::test::noiseImage(320, 240, 99);
        if (change == QLatin1String("rewrite")) {
            QVERIFY(sq::test::writeBmp(next, sq::test::noiseImage(160, 100, 99)));
        } else if (change == QLatin1String("replace")) {
            const QString twin = f.dir.path() + QStringLiteral("/twin.bmp");
            QVERIFY(sq::test::writeBmp(twin, other));
            QCOMPARE(QFileInfo(twin).size(), QFileInfo(next).size());
            QVERIFY(replaceKeepingTime(twin, next));
        } else if (change == QLatin1String("resize")) {
            w.ImgBox1->resize(100, 70);
        } else if (change == QLatin1String("mode")) {
            w.ImgBox1->setSizeType(ispStretch);
        } else {
            w.ImgBox1->ImgUtil()->setGetType(igtNormal);
        }
        // Stepped before the event loop asks for views of the new setup.
        const long long hits = listStore().Hits();
        QTest::keyClick(w.ListBox1, Qt::Key_Down);
        QCOMPARE(w.ImgBox1->ImageFile(), next);
        QCOMPARE(listStore().Hits(), hits);
        if (change == QLatin1String("rewrite")) QCOMPARE(w.ImgBox1->ImgUtil()->ImageWidth(), 160);
        checkPreview();
        // Prepared again for the new setup, the next step is a prepared one.
        waitPrepared(listStore());
        QTest::keyClick(w.ListBox1, Qt::Key_Down);
        QCOMPARE(listStore().Hits(), hits + 1);
        checkPreview();
    }

    void droppedWithTheLines_data()
    {
        QTest::addColumn<QString>("event");
        QTest::newRow("window hidden") << QStringLiteral("hide");
        QTest::newRow("lines made again") << QStringLiteral("refill");
        QTest::newRow("browser listing changed") << QStringLiteral("listing");
    }
    void droppedWithTheLines()
    {
        QFETCH(QString, event);
        SlideFixture f;
        QVERIFY(QDir().mkpath(f.pics()));
        f.pictures = writeMixedFolder(f.pics(), 6);
        f.start();
        openList(f, false);
        Form11->ListBox1->setCurrentRow(3);
        waitPrepared(listStore());
        QCOMPARE(listStore().Entries(), 2);
        QVERIFY(listStore().Bytes() > 0);
        if (event == QLatin1String("hide")) {
            Form11->Button6Click();
            QVERIFY(!Form11->isVisible());
        } else if (event == QLatin1String("refill")) {
            Form2->FileList1Click();
            QVERIFY(Form11->isVisible());
        } else {
            Form2->ListingChanged();
        }
        QCOMPARE(listStore().Entries(), 0);
        QCOMPARE(listStore().Bytes(), 0);
        // Nothing comes back while no line is previewed again.
        waitPrepared(listStore());
        QCOMPARE(listStore().Entries(), 0);
    }

    // Over the selection, whose lines name their files: a file gone stays
    // on its line.
    void damagedFilesAhead()
    {
        SlideFixture f;
        QVERIFY(QDir().mkpath(f.pics()));
        f.pictures = writeMixedFolder(f.pics(), 12);
        // Lines 1 to 4: a JPEG cut short, one of garbage after its marker,
        // one emptied, one gone after the lines were made.
        QByteArray bytes = sq::test::readFile(f.pictures.at(3));
        QVERIFY(sq::test::writeFile(f.pictures.at(3), bytes.left(bytes.size() / 3)));
        QVERIFY(sq::test::writeFile(f.pictures.at(5), QByteArray("\xff\xd8\xff\xe0", 4) +
                                                          QByteArray(5000, '\x5a')));
        QVERIFY(sq::test::writeFile(f.pictures.at(7), QByteArray()));
        f.start();
        openList(f, true);
        QVERIFY(QFile::remove(f.pictures.at(9)));
        TForm11& w = *Form11;
        w.ListBox1->setCurrentRow(0);
        const long long hits = listStore().Hits();
        for (int line = 1; line < 6; ++line) {
            const QString before = w.ImgBox1->ImageFile();
            waitPrepared(listStore());
            QTest::keyClick(w.ListBox1, Qt::Key_Down);
            QCOMPARE(w.ListBox1->currentRow(), line);
            if (line == 4) {
                QCOMPARE(w.ImgBox1->ImageFile(), before);
                continue;
            }
            compareWithLoad();
        }
        QCOMPARE(w.ImgBox1->ImageFile(), f.pictures.at(11));
        QCOMPARE(listStore().Hits() - hits, 4);
    }
};

QTEST_MAIN(TstFileListAhead)
#include "tst_filelistahead.moc"
