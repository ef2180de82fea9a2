// The loader's pool of workers: results installed one at a time in the order
// the queue gave them, one OnImageLoad/OnImageLoaded pair per entry and none
// made twice, the workers' engines configured like the browser's, the shared
// thumbnail cache written whole, and a stop that waits for every worker.
#include "browser/ImgPanel.h"

#include "tests/support/FileDamage.h"
#include "tests/support/HostileFiles.h"
#include "tests/support/TestFiles.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <map>

using namespace sq::test;

namespace {

struct LoadEvent
{
    bool loaded; // OnImageLoaded, else OnImageLoad
    QString name;
};

// Records the loader's events by entry name.
void recordEvents(TImgPanel& p, std::vector<LoadEvent>& events)
{
    p.OnImageLoad = [&events](void*, TPanelItem* item) { events.push_back({false, item->DisplayName()}); };
    p.OnImageLoaded = [&events](void*, TPanelItem* item) {
        events.push_back({true, item ? item->DisplayName() : QString()});
    };
}

bool waitIdle(TImgPanel& p, int ms = 60000)
{
    QElapsedTimer t;
    t.start();
    while (p.Loader().Busy() && t.elapsed() < ms) QTest::qWait(5);
    return !p.Loader().Busy();
}

// Sizes the control so that its client area is w x h.
void setClientSize(TImgPanel& p, int w, int h)
{
    p.show();
    p.resize(w + p.width() - p.viewport()->width(), h + p.height() - p.viewport()->height());
    QCoreApplication::processEvents();
}

QColor hueColour(int n)
{
    return QColor::fromHsv((n * 37) % 360, 255, 255);
}

bool near(QColor a, QColor b)
{
    return qAbs(a.red() - b.red()) + qAbs(a.green() - b.green()) + qAbs(a.blue() - b.blue()) < 12;
}

// pNN.bmp, 40 x 30 in a colour of its own; with bigFirst p00 is a large
// picture, which keeps one worker busy while the others finish theirs.
QStringList writeColours(const QString& folder, int count, bool bigFirst)
{
    QStringList names;
    QDir().mkpath(folder);
    for (int n = 0; n < count; ++n) {
        const QString name = QStringLiteral("p%1.bmp").arg(n, 2, 10, QLatin1Char('0'));
        QImage img = n == 0 && bigFirst ? QImage(2400, 1800, QImage::Format_RGB888) : QImage(40, 30, QImage::Format_RGB888);
        img.fill(hueColour(n));
        if (!writeBmp(folder + QLatin1Char('/') + name, img)) return {};
        names << name;
    }
    return names;
}

// Every entry got exactly one pair, Load then Loaded, pairs back to back.
QString checkPairs(const std::vector<LoadEvent>& events)
{
    std::map<QString, int> pairs;
    if (events.size() % 2) return QStringLiteral("odd number of events");
    for (size_t k = 0; k < events.size(); k += 2) {
        const LoadEvent& a = events[k];
        const LoadEvent& b = events[k + 1];
        if (a.loaded || !b.loaded || a.name != b.name)
            return QStringLiteral("event %1: %2 %3 then %4 %5")
                .arg(k)
                .arg(a.loaded ? "loaded" : "load", a.name)
                .arg(b.loaded ? "loaded" : "load", b.name);
        if (++pairs[a.name] > 1) return a.name + QStringLiteral(" loaded twice");
    }
    return {};
}

// The loads a test loader has in flight, and the most it ever had.
struct InFlight
{
    void enter()
    {
        const int now = ++inFlight;
        for (int most = mostInFlight.load();
             now > most && !mostInFlight.compare_exchange_weak(most, now);) {
        }
    }
    std::atomic<int> inFlight{0};
    std::atomic<int> mostInFlight{0};
};

// Slow pictures made by a custom loader that counts the loads in flight.
class SlowLoader : public TCustomLoader, public InFlight
{
public:
    bool CanLoad(const QString& name) override { return name.endsWith(QLatin1String(".slow")); }
    bool LoadToBitmap(const QString&, TBitmap& bitmap) override
    {
        enter();
        QThread::msleep(30);
        QImage img(40, 30, QImage::Format_RGB888);
        img.fill(Qt::blue);
        bitmap.setImage(img);
        --inFlight;
        ++finished;
        return true;
    }
    bool ThreadSafe() const override { return threadSafe; }
    std::atomic<int> finished{0};
    bool threadSafe = false;
};

// PNG pictures under another name, read by Qt and kept a while, counting
// the reads in flight: for the engine a custom picture whose header it reads
// for the memory it costs.
class SlowPngLoader : public TCustomLoader, public InFlight
{
public:
    bool CanLoad(const QString& name) override { return name.endsWith(QLatin1String(".slowpng")); }
    bool LoadToBitmap(const QString& name, TBitmap& bitmap) override
    {
        enter();
        QThread::msleep(15);
        QImage img(name, "png");
        --inFlight;
        if (img.isNull()) return false;
        bitmap.setImage(img);
        return true;
    }
    bool ThreadSafe() const override { return true; }
};

QStringList writeSlowPngs(const QString& folder, int count)
{
    QStringList names;
    QDir().mkpath(folder);
    for (int n = 0; n < count; ++n) {
        QImage img(200, 150, QImage::Format_RGB32);
        img.fill(hueColour(n));
        const QString name = QStringLiteral("q%1.slowpng").arg(n, 2, 10, QLatin1Char('0'));
        if (!img.save(folder + QLatin1Char('/') + name, "png")) return {};
        names << name;
    }
    return names;
}

// Pictures whose file holds their colour ("r g b"), in the file's colour at
// 40 x 30, counting how often each file was made and the loads in flight.
class ColourFileLoader : public TCustomLoader, public InFlight
{
public:
    bool CanLoad(const QString& name) override { return name.endsWith(QLatin1String(".colour")); }
    bool LoadToBitmap(const QString& name, TBitmap& bitmap) override
    {
        enter();
        QThread::msleep(10);
        QFile f(name);
        const QList<QByteArray> rgb = f.open(QIODevice::ReadOnly) ? f.readAll().split(' ') : QList<QByteArray>();
        --inFlight;
        {
            const std::lock_guard<std::mutex> lock(m_lock);
            ++m_made[QFileInfo(name).fileName()];
        }
        if (rgb.size() != 3) return false;
        QImage img(40, 30, QImage::Format_RGB888);
        img.fill(QColor(rgb[0].toInt(), rgb[1].toInt(), rgb[2].toInt()));
        bitmap.setImage(img);
        return true;
    }
    bool ThreadSafe() const override { return true; }
    int made(const QString& name)
    {
        const std::lock_guard<std::mutex> lock(m_lock);
        return m_made.value(name);
    }
    int madeInAll()
    {
        const std::lock_guard<std::mutex> lock(m_lock);
        int n = 0;
        for (int v : m_made) n += v;
        return n;
    }

private:
    std::mutex m_lock;
    QHash<QString, int> m_made;
};

bool writeColourFile(const QString& path, QColor c)
{
    return writeFile(path, QStringLiteral("%1 %2 %3").arg(c.red()).arg(c.green()).arg(c.blue()).toLatin1());
}

} // namespace

class TestPanelPool : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void installOrder_data();
    void installOrder();
    void noEntryMadeTwice();
    void enginesFollowTheBrowser();
    void sharedCacheWrittenWhole();
    void stopWaitsForEveryWorker();
    void unsafeLoaderRunsAlone_data();
    void unsafeLoaderRunsAlone();
    void budgetSharedByTheWorkers_data();
    void budgetSharedByTheWorkers();
    void stopEndsAWaitForTheBudget();
    void madeAheadTakenOver_data();
    void madeAheadTakenOver();
    void largeFolderNotMadeAhead();

private:
    QTemporaryDir m_dir;
};

void TestPanelPool::installOrder_data()
{
    QTest::addColumn<int>("workers");
    QTest::addColumn<bool>("lookAhead");
    for (int w : {1, 2, 4})
        for (bool ahead : {false, true})
            QTest::addRow("%d workers, look-ahead %s", w, ahead ? "on" : "off") << w << ahead;
}

void TestPanelPool::installOrder()
{
    QFETCH(int, workers);
    QFETCH(bool, lookAhead);
    const QString folder = m_dir.filePath(QStringLiteral("order"));
    const QStringList names = writeColours(folder, 12, true);
    QCOMPARE(names.size(), 12);
    TImgPanel p;
    p.Loader().SetWorkerCount(workers);
    QCOMPARE(p.Loader().WorkerCount(), workers);
    p.ViewImage().SetImageWidth(40);
    p.ViewImage().SetImageHeight(30);
    p.ViewImage().SmallIcon().SetIconPos(iipNone);
    p.ViewImage().ImgUtil().setGetType(igtStretch);
    p.ViewImage().SetLookAhead(lookAhead);
    setClientSize(p, 600, 400);
    std::vector<LoadEvent> events;
    recordEvents(p, events);
    p.OpenFolder(folder);
    QVERIFY(p.VisibleCells() >= 12);
    // The first job is taken before the page is painted: with look-ahead
    // it is the folder's first listed file, whatever its place.
    QVERIFY(!events.empty());
    const QString first = events.front().name;
    QVERIFY(waitIdle(p));
    QCoreApplication::processEvents();
    const QString pairs = checkPairs(events);
    QVERIFY2(pairs.isEmpty(), qPrintable(pairs));
    QStringList order;
    for (const LoadEvent& e : events)
        if (e.loaded) order << e.name;
    // Then the page from its first cell to its last.
    QStringList want = names;
    if (lookAhead) {
        want.removeOne(first);
        want.prepend(first);
    }
    QCOMPARE(order, want);
    for (int i = 0; i < p.Items().Count(); ++i) {
        TPanelItem* item = p.Items().Items(i);
        QVERIFY(item->LoadDone);
        QVERIFY2(near(item->CellBitmap.pixelColor(20, 15), hueColour(i)), qPrintable(item->DisplayName()));
    }
    QCOMPARE(p.Items().Items(0)->PictureWidth, 2400);
}

void TestPanelPool::noEntryMadeTwice()
{
    // Pages painted again while their entries are on their way queue those
    // entries again; each is still made once, with its own picture.
    const QString folder = m_dir.filePath(QStringLiteral("twice"));
    const QStringList names = writeColours(folder, 60, false);
    QCOMPARE(names.size(), 60);
    for (int workers : {1, 2, 4}) {
        TImgPanel p;
        p.Loader().SetWorkerCount(workers);
        p.ViewImage().SetImageWidth(40);
        p.ViewImage().SetImageHeight(30);
        p.ViewImage().SmallIcon().SetIconPos(iipNone);
        p.ViewImage().ImgUtil().setGetType(igtStretch);
        p.ViewImage().SetLookAhead(true);
        setClientSize(p, 150, 120);
        std::vector<LoadEvent> events;
        recordEvents(p, events);
        p.OpenFolder(folder);
        QVERIFY(p.VisibleCells() < 20);
        for (int k = 0; k < 40 && p.Loader().Busy(); ++k) {
            if (k % 4 < 2)
                p.NextPage();
            else
                p.PriorPage();
            QTest::qWait(1);
        }
        QVERIFY(waitIdle(p));
        QCoreApplication::processEvents();
        const QString pairs = checkPairs(events);
        QVERIFY2(pairs.isEmpty(), qPrintable(pairs));
        QCOMPARE(int(events.size()), 2 * 60);
        for (int i = 0; i < p.Items().Count(); ++i) {
            TPanelItem* item = p.Items().Items(i);
            QVERIFY(item->LoadDone);
            QVERIFY2(near(item->CellBitmap.pixelColor(20, 15), hueColour(i)), qPrintable(item->DisplayName()));
        }
    }
}

void TestPanelPool::enginesFollowTheBrowser()
{
    // A 40 x 30 picture in a 94 x 94 box: the preview rule leaves it at its
    // size, the stretch rule enlarges it to the box's width. The engine's
    // sizing rule changes without an OnChange; a reload uses the new one.
    const QString folder = m_dir.filePath(QStringLiteral("rules"));
    QVERIFY(QDir().mkpath(folder));
    QImage img(40, 30, QImage::Format_RGB888);
    img.fill(Qt::red);
    QVERIFY(writeBmp(folder + QStringLiteral("/red.bmp"), img));
    TImgPanel p;
    p.Loader().SetWorkerCount(2);
    p.ViewImage().SmallIcon().SetIconPos(iipNone);
    p.SetColor(clWhite);
    setClientSize(p, 300, 300);
    p.OpenFolder(folder);
    QCOMPARE(p.Items().Count(), 1);
    struct Case
    {
        TGetType rule;
        bool edgeIsPicture;
    };
    for (const Case& c : {Case{igtPreview, false}, Case{igtStretch, true}, Case{igtPreview, false}}) {
        p.ViewImage().ImgUtil().setGetType(c.rule);
        p.ReloadAll();
        QVERIFY(waitIdle(p));
        const QImage cell = p.Items().Items(0)->CellBitmap;
        QCOMPARE(cell.size(), QSize(94, 94));
        QCOMPARE(cell.pixelColor(3, 47) == QColor(Qt::red), c.edgeIsPicture);
        QCOMPARE(cell.pixelColor(47, 47), QColor(Qt::red));
    }
}

void TestPanelPool::sharedCacheWrittenWhole()
{
    // Four workers adding to one cache file: every thumbnail is in it once,
    // and a second opening takes every one from it. A third opening, after
    // every picture was touched, makes them all anew, and once loading is
    // done the out-of-date entries are gone from the file.
    const QString folder = m_dir.filePath(QStringLiteral("cached"));
    const QStringList paths = writePictureSet(folder, 40);
    QCOMPARE(paths.size(), 40);
    const QString cache = m_dir.filePath(QStringLiteral("thumb"));
    QVERIFY(QDir().mkpath(cache));
    auto countOf = [](const QString& file) {
        const QByteArray bytes = readFile(file);
        qint32 count = -1;
        if (bytes.size() >= TThumb::HeaderSize) std::memcpy(&count, bytes.constData() + 20, 4);
        return count;
    };
    for (int round = 0; round < 3; ++round) {
        if (round == 2)
            for (const QString& path : paths)
                QVERIFY(setModifiedTime(path, modifiedTime(path) + 10000));
        TImgPanel p;
        p.Loader().SetWorkerCount(4);
        p.ViewImage().SetImageWidth(40);
        p.ViewImage().SetImageHeight(30);
        p.ViewImage().ImgUtil().setGetType(igtStretch);
        p.ViewImage().SetLookAhead(true);
        // The desktop shown first stays out of the cache.
        setClientSize(p, 200, 150);
        p.Loader().StopLoading();
        p.ViewImage().ImgUtil().setAutoThumb(true);
        p.ViewImage().Thumbnail().setPath(cache);
        int fromCache = 0, loaded = 0;
        p.OpenFolder(folder);
        p.OnImageLoaded = [&](void*, TPanelItem* item) {
            QVERIFY(item);
            ++loaded;
            fromCache += p.Loader().LastFromCache();
        };
        QVERIFY(waitIdle(p));
        QCOMPARE(p.Items().Count(), 40);
        QCOMPARE(loaded, 40);
        QCOMPARE(fromCache, round == 1 ? 40 : 0);
        // Settled when loading ended, not when the cache object goes.
        QCOMPARE(countOf(p.ViewImage().Thumbnail().CacheFileName(paths.first())), 40);
        QVERIFY(!p.ViewImage().Thumbnail().purgePending());
    }
    TThumb thumb;
    thumb.setPath(cache);
    const QString file = thumb.CacheFileName(paths.first());
    const QByteArray bytes = readFile(file);
    QVERIFY(bytes.size() > TThumb::HeaderSize);
    qint32 count = 0;
    std::memcpy(&count, bytes.constData() + 20, 4);
    QCOMPARE(count, 40);
    for (const QString& path : paths) {
        QByteArray stream;
        QVERIFY2(thumb.Find(path, stream), qPrintable(path));
        QVERIFY(!sq::decodeJpeg(stream, 1, true).isNull());
        QCOMPARE(thumb.currentEntry().thumbWidth, 40);
    }
}

void TestPanelPool::stopWaitsForEveryWorker()
{
    // Slow pictures on every worker; leaving the folder waits until no load
    // is in flight, and none starts afterwards.
    const QString slow = m_dir.filePath(QStringLiteral("slow"));
    const QString other = m_dir.filePath(QStringLiteral("empty"));
    QVERIFY(QDir().mkpath(other));
    for (int n = 0; n < 12; ++n)
        QVERIFY(writeFile(QStringLiteral("%1/s%2.slow").arg(slow).arg(n), QByteArray("x")));
    SlowLoader loader;
    TImgPanel p;
    p.Loader().SetWorkerCount(4);
    p.ViewImage().ImgUtil().setCustomLoader(&loader);
    p.ViewImage().SetLookAhead(true);
    setClientSize(p, 400, 300);
    for (int round = 0; round < 4; ++round) {
        p.OpenFolder(slow);
        QTRY_VERIFY(loader.inFlight.load() > 0);
        p.OpenFolder(other);
        QCOMPARE(loader.inFlight.load(), 0);
        const int finished = loader.finished.load();
        QTest::qWait(100);
        QCOMPARE(loader.finished.load(), finished);
        QVERIFY(!p.Loader().Busy());
        QVERIFY(p.Loader().Window().empty());
    }
    p.ViewImage().ImgUtil().setCustomLoader(nullptr);
}

void TestPanelPool::unsafeLoaderRunsAlone_data()
{
    QTest::addColumn<bool>("threadSafe");
    QTest::newRow("not thread-safe: one load at a time") << false;
    QTest::newRow("thread-safe: loads side by side") << true;
}

void TestPanelPool::unsafeLoaderRunsAlone()
{
    // Four workers and slow pictures: a loader that is not thread-safe is
    // never entered by two of them at once; a thread-safe one is.
    QFETCH(bool, threadSafe);
    const QString slow = m_dir.filePath(QStringLiteral("alone"));
    for (int n = 0; n < 16; ++n)
        QVERIFY(writeFile(QStringLiteral("%1/s%2.slow").arg(slow).arg(n), QByteArray("x")));
    SlowLoader loader;
    loader.threadSafe = threadSafe;
    TImgPanel p;
    p.Loader().SetWorkerCount(4);
    p.ViewImage().ImgUtil().setCustomLoader(&loader);
    p.ViewImage().SetLookAhead(true);
    setClientSize(p, 400, 300);
    p.OpenFolder(slow);
    QTRY_COMPARE_WITH_TIMEOUT(loader.finished.load(), 16, 20000);
    QTRY_VERIFY(!p.Loader().Busy());
    if (threadSafe)
        QVERIFY2(loader.mostInFlight.load() > 1,
                 "the workers never overlapped: the test proves nothing");
    else
        QCOMPARE(loader.mostInFlight.load(), 1);
    p.OpenFolder(m_dir.path());
    p.ViewImage().ImgUtil().setCustomLoader(nullptr);
}

void TestPanelPool::budgetSharedByTheWorkers_data()
{
    QTest::addColumn<qint64>("limit");
    QTest::addColumn<bool>("sideBySide");
    // A picture costs 200 x 150 x 7 bytes, some 210 KB.
    QTest::newRow("room for many") << qint64(64) << true;
    QTest::newRow("room for one") << qint64(0) << false;
}

void TestPanelPool::budgetSharedByTheWorkers()
{
    // Ordinary pictures still load several at a time under the budget; when
    // it has room for one only, they load one by one, every one of them.
    QFETCH(qint64, limit);
    QFETCH(bool, sideBySide);
    const HangGuard guard(120, "a budget that stops the loader for good");
    const QString folder = m_dir.filePath(QStringLiteral("budget"));
    const QStringList names = writeSlowPngs(folder, 24);
    QCOMPARE(names.size(), 24);
    SlowPngLoader loader;
    sq::DecodeBudget budget(limit << 20);
    TImgPanel p;
    p.Loader().SetWorkerCount(4);
    p.ViewImage().SetImageWidth(40);
    p.ViewImage().SetImageHeight(30);
    p.ViewImage().SmallIcon().SetIconPos(iipNone);
    p.ViewImage().ImgUtil().setGetType(igtStretch);
    p.ViewImage().ImgUtil().setCustomLoader(&loader);
    p.ViewImage().ImgUtil().setBudget(&budget);
    p.ViewImage().SetLookAhead(true);
    setClientSize(p, 200, 150);
    p.OpenFolder(folder);
    QVERIFY(waitIdle(p));
    QCOMPARE(p.Items().Count(), 24);
    for (int i = 0; i < p.Items().Count(); ++i) {
        TPanelItem* item = p.Items().Items(i);
        QVERIFY2(item->LoadDone, qPrintable(item->DisplayName()));
        QCOMPARE(item->PictureWidth, 200);
        QVERIFY2(near(item->CellBitmap.pixelColor(20, 15), hueColour(i)),
                 qPrintable(item->DisplayName()));
    }
    if (sideBySide) {
        QVERIFY2(loader.mostInFlight.load() > 1, "the pictures loaded one at a time");
        QVERIFY(budget.peakHolders() > 1);
    } else {
        QCOMPARE(loader.mostInFlight.load(), 1);
        QCOMPARE(budget.peakHolders(), 1);
    }
    QCOMPARE(budget.held(), qint64(0));
    p.ViewImage().ImgUtil().setCustomLoader(nullptr);
}

void TestPanelPool::stopEndsAWaitForTheBudget()
{
    // The budget held elsewhere (by this thread): the workers wait for it,
    // and leaving the folder does not wait for them to get it.
    const HangGuard guard(60, "a stop that waits for the budget");
    const QString folder = m_dir.filePath(QStringLiteral("waiting"));
    QCOMPARE(writeSlowPngs(folder, 8).size(), 8);
    const QString other = m_dir.filePath(QStringLiteral("none"));
    QVERIFY(QDir().mkpath(other));
    SlowPngLoader loader;
    sq::DecodeBudget budget(1 << 20);
    TImgPanel p;
    p.Loader().SetWorkerCount(4);
    p.ViewImage().ImgUtil().setCustomLoader(&loader);
    p.ViewImage().ImgUtil().setBudget(&budget);
    p.ViewImage().SetLookAhead(true);
    setClientSize(p, 400, 300);
    for (int round = 0; round < 3; ++round) {
        sq::DecodeBudget::Hold elsewhere = budget.reserve(qint64(1) << 30);
        p.OpenFolder(folder);
        QTRY_VERIFY(budget.waiting() > 0);
        p.OpenFolder(other);
        QVERIFY(!p.Loader().Busy());
        QCOMPARE(budget.waiting(), 0);
        QCOMPARE(budget.holders(), 1);
        QCOMPARE(loader.mostInFlight.load(), 0);
    }
    // With the budget free the same folder loads.
    p.OpenFolder(folder);
    QVERIFY(waitIdle(p));
    for (int i = 0; i < p.Items().Count(); ++i)
        QVERIFY(p.Items().Items(i)->LoadDone);
    p.ViewImage().ImgUtil().setCustomLoader(nullptr);
}

void TestPanelPool::madeAheadTakenOver_data()
{
    QTest::addColumn<QString>("change");
    QTest::newRow("opened as prepared") << QString();
    QTest::newRow("another folder opened first") << QStringLiteral("other folder");
    QTest::newRow("a file rewritten in between") << QStringLiteral("rewrite");
    QTest::newRow("the box changed in between") << QStringLiteral("box");
}

void TestPanelPool::madeAheadTakenOver()
{
    // Pictures made ahead for a folder are taken over when the browser opens
    // it, none made twice; one whose file or box changed since is made
    // anew, so the browser never shows a stale picture. While made ahead,
    // one worker of two is left to the GUI thread.
    QFETCH(QString, change);
    static int round = 0;
    const QString folder = m_dir.filePath(QStringLiteral("ahead-%1").arg(++round));
    const QString other = m_dir.filePath(QStringLiteral("ahead-other"));
    QVERIFY(QDir().mkpath(folder) && QDir().mkpath(other));
    QVERIFY(writeColourFile(other + QStringLiteral("/o.colour"), Qt::black));
    constexpr int kFiles = 10;
    for (int n = 0; n < kFiles; ++n)
        QVERIFY(writeColourFile(QStringLiteral("%1/c%2.colour").arg(folder).arg(n), hueColour(n)));
    ColourFileLoader loader;
    TImgPanel p;
    p.Loader().SetWorkerCount(2);
    p.ViewImage().ImgUtil().setCustomLoader(&loader);
    p.ViewImage().SetImageWidth(40);
    p.ViewImage().SetImageHeight(30);
    p.ViewImage().SmallIcon().SetIconPos(iipNone);
    p.ViewImage().ImgUtil().setGetType(igtStretch);
    p.PrepareFolder(folder, kFiles);
    QTRY_COMPARE_WITH_TIMEOUT(loader.madeInAll(), kFiles, 20000);
    QCOMPARE(loader.mostInFlight.load(), 1);
    QColor rewritten = hueColour(kFiles + 3);
    if (change == QLatin1String("rewrite")) {
        // Another size, so the file's data differ whatever the clock's grain.
        QVERIFY(writeFile(folder + QStringLiteral("/c4.colour"),
                          QStringLiteral("00%1 %2 %3").arg(rewritten.red()).arg(rewritten.green()).arg(rewritten.blue()).toLatin1()));
    }
    if (change == QLatin1String("box")) {
        p.ViewImage().SetImageWidth(60);
        p.ViewImage().SetImageHeight(45);
    }
    setClientSize(p, 400, 300);
    std::vector<LoadEvent> events;
    recordEvents(p, events);
    if (change == QLatin1String("other folder")) {
        p.OpenFolder(other);
        QVERIFY(waitIdle(p));
        QCoreApplication::processEvents();
        events.clear();
    }
    p.OpenFolder(folder);
    QVERIFY(waitIdle(p));
    QCoreApplication::processEvents();
    const QString pairs = checkPairs(events);
    QVERIFY2(pairs.isEmpty(), qPrintable(pairs));
    QCOMPARE(p.Items().Count(), kFiles);
    QCOMPARE(int(events.size()), 2 * kFiles);
    const QSize box = change == QLatin1String("box") ? QSize(60, 45) : QSize(40, 30);
    for (int i = 0; i < kFiles; ++i) {
        TPanelItem* item = p.Items().Items(i);
        const QString name = QFileInfo(item->ParseName()).fileName();
        const int n = name.mid(1, name.indexOf(QLatin1Char('.')) - 1).toInt();
        QVERIFY(item->LoadDone);
        QCOMPARE(item->CellBitmap.size(), box);
        const QColor want = change == QLatin1String("rewrite") && n == 4 ? rewritten : hueColour(n);
        QVERIFY2(near(item->CellBitmap.pixelColor(box.width() / 2, box.height() / 2), want), qPrintable(name));
        const bool madeAgain = change == QLatin1String("box") || (change == QLatin1String("rewrite") && n == 4);
        QCOMPARE(loader.made(name), madeAgain ? 2 : 1);
    }
    QCOMPARE(p.Loader().AheadCount(), 0);
    p.OpenFolder(m_dir.path());
    p.ViewImage().ImgUtil().setCustomLoader(nullptr);
}

void TestPanelPool::largeFolderNotMadeAhead()
{
    // A folder with more entries than the limit is not listed ahead (its
    // listing would be paid twice at start); one at the limit is.
    const QString folder = m_dir.filePath(QStringLiteral("ahead-large"));
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(writeColourFile(folder + QStringLiteral("/a.colour"), Qt::red));
    for (int n = 1; n < TCustomImgPanel::PrepareListLimit; ++n)
        QVERIFY(writeFile(QStringLiteral("%1/n%2.txt").arg(folder).arg(n), QByteArray("x")));
    ColourFileLoader loader;
    TImgPanel p;
    p.ViewImage().ImgUtil().setCustomLoader(&loader);
    p.PrepareFolder(folder, 4);
    QCOMPARE(p.Loader().AheadCount(), 4);
    p.Loader().DropAhead();
    QVERIFY(writeFile(folder + QStringLiteral("/n0.txt"), QByteArray("x")));
    p.PrepareFolder(folder, 4);
    QCOMPARE(p.Loader().AheadCount(), 0);
    p.ViewImage().ImgUtil().setCustomLoader(nullptr);
}

QTEST_MAIN(TestPanelPool)
#include "tst_panelpool.moc"
