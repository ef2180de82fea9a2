// The viewers' pictures prepared ahead, in the real windows on a folder the
// test writes: a prepared step shows what a load of the same file shows, a
// file changed, a screen resized or a size mode changed since the preparing
// loads anew, the store keeps within its limits, random play picks the same
// pictures with and without preparing, and damaged files ahead do not stop
// the stepping.
#include "tests/viewers/AheadChecks.h"
#include "tests/viewers/SlideFixture.h"

#include "viewers/SlideAhead.h"
#include "viewers/Unit13.h"

#include <QListWidget>
#include <QTimer>

#include <random>

using sq::test::replaceKeepingTime;
using sq::test::Shown;
using sq::test::shownBy;
using sq::test::SlideFixture;
using sq::test::waitPrepared;
using sq::test::writeMixedFolder;

namespace {

// The file screen k's entry names.
QString entryFile(TForm2& s, int k)
{
    const int index = s.State().ScreenIn(k, s.Entries());
    return index < 0 ? QString() : Form1->ImgPanel1->Items().Items(index)->ParseName();
}

// Each screen of the layout shows what loading its entry's file into it
// shows now.
void compareWithLoads(TForm2& s)
{
    for (int k = 1; k <= s.LayoutScreens(); ++k) {
        const int index = s.State().ScreenIn(k, s.Entries());
        if (index < 0 || !TForm2::isScreenPicture(Form1->ImgPanel1->Items().Items(index)->ImageKind()))
            continue; // not shown: the browser's default action ran for it
        TCustomImgBox& box = *s.Screen(k);
        const Shown stepped = shownBy(box);
        box.LoadFile(entryFile(s, k));
        const Shown loaded = shownBy(box);
        if (!(stepped == loaded)) qWarning("screen %d differs from its load", k);
        QVERIFY(stepped == loaded);
    }
}

sq::TViewAhead& slideStore()
{
    return Form2->Ahead().Loader().Store();
}

void openAt(SlideFixture& f, int index, int layout)
{
    f.click(index);
    Form1->ImgPanel1DblClick();
    QVERIFY(Form2->isVisible());
    Form2->LayoutCommand(layout);
    // A small window keeps the test quick; the pictures are made around
    // its screens' sizes.
    Form2->showNormal();
    Form2->resize(480, 360);
    QTRY_COMPARE(Form2->size(), QSize(480, 360));
}

// A random source that gives the same values for the same seed.
std::function<int(int)> seeded(quint32 seed)
{
    auto engine = std::make_shared<std::minstd_rand>(seed);
    return [engine](int n) { return int((*engine)() % quint32(n)); };
}

} // namespace

class TstSlideAhead : public QObject
{
    Q_OBJECT

    std::unique_ptr<SlideFixture> m_shared;

private Q_SLOTS:
    // One set of windows for every row of the table: each opens the slide
    // view again. The other tests make windows of their own.
    void init()
    {
        if (QByteArray(QTest::currentTestFunction()) != "preparedEqualsLoad") m_shared.reset();
    }
    void cleanupTestCase() { m_shared.reset(); }

    void preparedEqualsLoad_data()
    {
        QTest::addColumn<int>("layout");
        QTest::addColumn<QString>("direction");
        QTest::addColumn<int>("mode");
        for (const int layout : {0, 1, 2})
            for (const char* d : {"forward", "back", "random"})
                for (int mode = 0; mode < 4; ++mode)
                    QTest::addRow("%d screens %s mode %d", 1 << layout, d, mode)
                        << layout << QString::fromLatin1(d) << mode;
    }
    void preparedEqualsLoad()
    {
        QFETCH(int, layout);
        QFETCH(QString, direction);
        QFETCH(int, mode);
        if (!m_shared) {
            m_shared = std::make_unique<SlideFixture>();
            QVERIFY(QDir().mkpath(m_shared->pics()));
            m_shared->pictures = writeMixedFolder(m_shared->pics(), 9);
            QCOMPARE(m_shared->pictures.size(), 9);
            m_shared->start();
        }
        SlideFixture& f = *m_shared;
        TForm2& s = f.slide();
        s.Stop1Click();
        s.Random = seeded(7 + mode);
        openAt(f, mode, layout);
        const int n = s.LayoutScreens();
        if (direction == QLatin1String("random")) s.RandomPlay1Click();
        s.Timer1->setInterval(1000000000); // it runs, but the test ticks it
        if (direction == QLatin1String("back")) s.Prior1Click();
        s.SizeModeCommand(mode);
        waitPrepared(slideStore());
        const long long hits = slideStore().Hits();
        if (direction == QLatin1String("forward"))
            s.Next1Click();
        else if (direction == QLatin1String("back"))
            s.Prior1Click();
        else
            s.Timer1Timer();
        // Every screen showed a prepared view.
        QCOMPARE(slideStore().Hits() - hits, n);
        compareWithLoads(s);
        s.Stop1Click();
    }

    void staleViewsLoadAnew_data()
    {
        QTest::addColumn<QString>("change");
        QTest::newRow("file rewritten") << QStringLiteral("rewrite");
        QTest::newRow("file replaced, same size and time") << QStringLiteral("replace");
        QTest::newRow("screen resized") << QStringLiteral("resize");
        QTest::newRow("size mode changed") << QStringLiteral("mode");
    }
    void staleViewsLoadAnew()
    {
        QFETCH(QString, change);
        SlideFixture f;
        QVERIFY(QDir().mkpath(f.pics()));
        // BMP files of one size: a replacement can match size and time.
        for (int i = 1; i <= 6; ++i) {
            const QString p = f.pics() + QStringLiteral("/pic_%1.bmp").arg(i);
            QVERIFY(sq::test::writeBmp(p, sq::test::noiseImage(320, 240, quint32(i))));
            f.pictures << p;
        }
        f.start();
        openAt(f, 0, 1);
        TForm2& s = f.slide();
        s.SizeModeCommand(1);
        waitPrepared(slideStore());
        // Screens 3 and 4 are next.
        const QString next = f.pictures.at(2);
        QCOMPARE(slideStore().Entries(), 4); // two forward, two back
        const QImage other = sq::test::noiseImage(320, 240, 99);
        if (change == QLatin1String("rewrite")) {
            QVERIFY(sq::test::writeBmp(next, sq::test::noiseImage(160, 100, 99)));
        } else if (change == QLatin1String("replace")) {
            const QString twin = f.dir.path() + QStringLiteral("/twin.bmp");
            QVERIFY(sq::test::writeBmp(twin, other));
            QCOMPARE(QFileInfo(twin).size(), QFileInfo(next).size());
            QVERIFY(replaceKeepingTime(twin, next));
        } else if (change == QLatin1String("resize")) {
            s.resize(400, 300);
            QTRY_COMPARE(s.width(), 400);
        }
        const long long hits = slideStore().Hits();
        if (change == QLatin1String("mode"))
            s.SizeModeCommand(3); // loads the screens again, then steps at once
        s.Next1Click();
        QCOMPARE(s.Screen(1)->ImageFile(), next);
        if (change == QLatin1String("rewrite") || change == QLatin1String("replace")) {
            // The other screen still had its prepared view.
            QCOMPARE(slideStore().Hits() - hits, 1);
            const QImage want = change == QLatin1String("rewrite")
                                    ? sq::test::noiseImage(160, 100, 99)
                                    : other;
            QCOMPARE(s.Screen(1)->ImgUtil()->ImageWidth(), want.width());
        } else {
            QCOMPARE(slideStore().Hits(), hits);
        }
        compareWithLoads(s);
    }

    // At most two views a screen; tighter limits are kept as well, and the
    // views prepared within them are still right.
    void memoryBound()
    {
        SlideFixture f;
        QVERIFY(QDir().mkpath(f.pics()));
        f.pictures = writeMixedFolder(f.pics(), 12);
        f.start();
        openAt(f, 0, 2);
        TForm2& s = f.slide();
        s.SizeModeCommand(0);
        sq::TViewAhead& store = slideStore();
        for (int i = 0; i < 3; ++i) {
            waitPrepared(store);
            s.Next1Click();
        }
        waitPrepared(store);
        QCOMPARE(store.MaxEntries(), TSlideAhead::MaxViews);
        QCOMPARE(store.Entries(), 8);
        QVERIFY(store.PeakEntries() <= 8);
        QVERIFY(store.PeakBytes() <= store.MaxBytes());
        // Room for about three views.
        const qint64 cap = store.Bytes() * 3 / 8;
        store.SetLimits(5, cap);
        QVERIFY(store.Bytes() <= cap);
        for (int i = 0; i < 3; ++i) {
            s.Prior1Click();
            waitPrepared(store);
            QVERIFY(store.Entries() <= 5);
            QVERIFY(store.Bytes() <= cap);
            compareWithLoads(s);
        }
        // Hidden, the window keeps nothing.
        s.hide();
        QCOMPARE(store.Entries(), 0);
        QCOMPARE(store.Bytes(), 0);
    }

    void randomSameWithAndWithout()
    {
        QStringList shown[2];
        for (const bool ahead : {true, false}) {
            SlideFixture f;
            QVERIFY(QDir().mkpath(f.pics()));
            f.pictures = writeMixedFolder(f.pics(), 7);
            f.start();
            openAt(f, 0, 2);
            TForm2& s = f.slide();
            s.Ahead().Loader().setEnabled(ahead);
            s.Random = seeded(12345);
            s.RandomPlay1Click();
            s.Timer1->setInterval(1000000000);
            for (int tick = 0; tick < 6; ++tick) {
                waitPrepared(slideStore());
                s.Timer1Timer();
                QStringList names;
                for (const QString& file : f.shown())
                    names << QFileInfo(file).fileName();
                shown[ahead] << names.join(QLatin1Char(','));
                // A step by hand between: still the same picks after it.
                if (tick == 2) s.Next1Click();
            }
            s.Stop1Click();
            if (ahead) QVERIFY(slideStore().Hits() >= 4 * 5);
            else QCOMPARE(slideStore().Hits(), 0);
        }
        QCOMPARE(shown[1], shown[0]);
        QCOMPARE(shown[1].size(), 6);
    }

    void damagedFilesAhead()
    {
        SlideFixture f;
        QVERIFY(QDir().mkpath(f.pics()));
        f.pictures = writeMixedFolder(f.pics(), 6);
        // A JPEG cut short, one of garbage after its marker, one emptied.
        QByteArray bytes = sq::test::readFile(f.pictures.at(1));
        QVERIFY(sq::test::writeFile(f.pictures.at(1), bytes.left(bytes.size() / 3)));
        QVERIFY(sq::test::writeFile(f.pictures.at(2), QByteArray("\xff\xd8\xff\xe0", 4) +
                                                          QByteArray(5000, '\x5a')));
        QVERIFY(sq::test::writeFile(f.pictures.at(3), QByteArray()));
        f.start();
        openAt(f, 0, 0);
        TForm2& s = f.slide();
        for (int i = 1; i <= 7; ++i) {
            waitPrepared(slideStore());
            s.Next1Click();
            QCOMPARE(s.State().Screen(1), i % 6);
            compareWithLoads(s);
        }
        QVERIFY(slideStore().Hits() >= 5);
    }

    // The file list view prepares the next line and the one before.
    void listViewLines()
    {
        SlideFixture f;
        QVERIFY(QDir().mkpath(f.pics()));
        f.pictures = writeMixedFolder(f.pics(), 5);
        f.start();
        f.browser().ClearSelection();
        Form1->menuItem(QStringLiteral("N43"))->trigger();
        TForm13& v = *Form13;
        QVERIFY(v.isVisible());
        QTest::qWait(100);
        sq::TViewAhead& store = v.Ahead().Store();
        for (int mode = 0; mode < 4; ++mode) {
            v.SizeModeCommand(mode);
            for (const bool forward : {true, false}) {
                waitPrepared(store);
                const long long hits = store.Hits();
                forward ? v.Next1Click() : v.Prior1Click();
                QCOMPARE(store.Hits() - hits, 1);
                const Shown stepped = shownBy(*v.ImgBox1);
                v.ImgBox1->LoadFile(v.ListBox2->item(v.currentLine())->text());
                QVERIFY(stepped == shownBy(*v.ImgBox1));
            }
        }
        QVERIFY(store.PeakEntries() <= 2);
        v.hide();
        QCOMPARE(store.Entries(), 0);
    }
};

QTEST_MAIN(TstSlideAhead)
#include "tst_slideahead.moc"
