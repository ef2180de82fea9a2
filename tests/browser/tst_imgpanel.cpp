// The thumbnail browser control: grid geometry and painting, the background
// loader, and selection, keys, mouse and scrolling.
#include "browser/ImgPanel.h"

#include "tests/support/HostileFiles.h"
#include "tests/support/TestFiles.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QtTest>

using namespace sq::test;

namespace {

// Counts the engine's picture loads on the loader thread: LoadImage asks the
// custom loader first. (Kind detection asks it too, on the GUI thread.)
class CountingLoader : public TCustomLoader
{
public:
    bool CanLoad(const QString&) override
    {
        if (QThread::currentThread() != qApp->thread()) ++calls;
        return false;
    }
    bool LoadToBitmap(const QString&, TBitmap&) override { return false; }
    std::atomic<int> calls{0};
};

// Records what the browser's verbs were asked to do.
class VerbSpy : public TShellVerbs
{
public:
    bool Copy(const QStringList& p) override { return record("copy", p); }
    bool Cut(const QStringList& p) override { return record("cut", p); }
    bool Paste(const QString& f) override { return record("paste", {f}); }
    bool Delete(const QStringList& p) override { return record("delete", p); }
    bool Rename(const QString& p) override { return record("rename", {p}); }
    bool CopyPath(const QStringList& p) override { return record("copypath", p); }
    bool Open(const QString& p) override { return record("open", {p}); }
    QStringList ClipboardFiles() override { return {}; }
    bool record(const char* verb, const QStringList& p)
    {
        last = QString::fromLatin1(verb);
        paths = p;
        return true;
    }
    QString last;
    QStringList paths;
};

// A font whose caption height is h, if the machine has one.
std::optional<QFont> fontWithCaptionHeight(int h)
{
    for (int px = 6; px < 40; ++px) {
        QFont f(QStringLiteral("IPAGothic"));
        f.setPixelSize(px);
        const QFontMetrics fm(f);
        if (fm.height() + std::max(0, fm.leading()) == h) return f;
    }
    return std::nullopt;
}

// The main window's cell settings.
void configure(TImgPanel& p)
{
    p.View().IconSpacing().SetX(1);
    p.View().IconSpacing().SetY(6);
    p.ViewImage().SetImageWidth(80);
    p.ViewImage().SetImageHeight(60);
    p.ViewImage().SetBorderStyle(bsSingle);
    p.ViewImage().Frame().SetWidth(1);
    p.ViewImage().SelectFrame().SetWidth(3);
    p.ViewImage().ImgUtil().setGetType(igtStretch);
    p.SetHideSelection(false);
}

// Sizes the control so that its client area is w x h.
void setClientSize(TImgPanel& p, int w, int h)
{
    p.show();
    p.resize(w + p.width() - p.viewport()->width(), h + p.height() - p.viewport()->height());
    QCoreApplication::processEvents();
}

bool waitIdle(TImgPanel& p, int ms = 20000)
{
    QElapsedTimer t;
    t.start();
    while (p.Loader().Busy() && t.elapsed() < ms) QTest::qWait(5);
    return !p.Loader().Busy();
}

QRgb px(const QImage& img, int x, int y)
{
    return img.pixel(x, y) & 0xFFFFFF;
}

QRgb rgbOf(TColor c)
{
    return ColorToRGB(c).rgb() & 0xFFFFFF;
}

} // namespace

class TestImgPanel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void layoutBySize_data();
    void layoutBySize();
    void cellPainting();
    void pictures();
    void smallIconOverlay_data();
    void smallIconOverlay();
    void loadOrder_data();
    void loadOrder();
    void iconKindsSkipDecoder();
    void changeFolderDuringLoad();
    void hostileFilesDoNotStopTheLoader();
    void selectionRules_data();
    void selectionRules();
    void mouseRules();
    void pagingAtEnd();
    void resortKeepsSelection();
    void folderChangesShown();

private:
    QTemporaryDir m_dir;
    QString m_pics;  // 20 small JPEGs
    QString m_many;  // 60 small JPEGs
    QString m_icons; // .ico, .exe, folders, a text file
    QFont m_font;
    bool m_haveFont = false;
};

void TestImgPanel::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_pics = m_dir.filePath(QStringLiteral("pics"));
    m_many = m_dir.filePath(QStringLiteral("many"));
    m_icons = m_dir.filePath(QStringLiteral("icons"));
    for (int i = 0; i < 20; ++i)
        QVERIFY(writeJpeg(QStringLiteral("%1/p%2.jpg").arg(m_pics).arg(i, 2, 10, QLatin1Char('0')),
                          patternImage(160, 120)));
    for (int i = 0; i < 60; ++i)
        QVERIFY(writeJpeg(QStringLiteral("%1/m%2.jpg").arg(m_many).arg(i, 2, 10, QLatin1Char('0')),
                          patternImage(64, 48)));
    QVERIFY(writeFile(m_icons + QStringLiteral("/a.ico"), QByteArray("not really an icon")));
    QVERIFY(writeFile(m_icons + QStringLiteral("/b.exe"), QByteArray("MZ")));
    QVERIFY(writeFile(m_icons + QStringLiteral("/c.txt"), QByteArray("text")));
    QVERIFY(QDir().mkpath(m_icons + QStringLiteral("/sub")));
    if (auto f = fontWithCaptionHeight(16)) {
        m_font = *f;
        m_haveFont = true;
    }
}

void TestImgPanel::layoutBySize_data()
{
    QTest::addColumn<int>("w");
    QTest::addColumn<int>("h");
    QTest::addColumn<int>("columns");
    QTest::addColumn<int>("rows");
    QTest::newRow("295 x 210") << 295 << 210 << 3 << 2;
    QTest::newRow("90 wide: no column") << 90 << 210 << 0 << 2;
    QTest::newRow("one pitch exactly") << 91 << 94 << 1 << 1;
    QTest::newRow("one pixel short of a row") << 300 << 93 << 3 << 0;
}

void TestImgPanel::layoutBySize()
{
    if (!m_haveFont) QSKIP("no font with a caption height of 16 here");
    QFETCH(int, w);
    QFETCH(int, h);
    TImgPanel p;
    configure(p);
    p.SetCaptionFont(m_font);
    setClientSize(p, w, h);
    p.OpenFolder(m_pics);
    QCOMPARE(p.CaptionHeight(), 16);
    QCOMPARE(p.ViewImage().CellWidth(), 90);
    QCOMPARE(p.RowPitch(), 76 + 16 + 2);
    QFETCH(int, columns);
    QFETCH(int, rows);
    QCOMPARE(p.Columns(), columns);
    QCOMPARE(p.Rows(), rows);
    if (columns == 0 || rows == 0) {
        // Nothing is painted: the whole client area is the background.
        const QImage& b = p.BackBuffer();
        for (int y = 0; y < b.height(); y += 3)
            for (int x = 0; x < b.width(); x += 3) QCOMPARE(px(b, x, y), rgbOf(clWhite));
        QCOMPARE(p.verticalScrollBar()->value(), 0);
    }
}

void TestImgPanel::cellPainting()
{
    TImgPanel p;
    configure(p);
    p.SetColor(RGB(0, 255, 0));
    setClientSize(p, 295, 400);
    p.OpenFolder(m_pics);
    QVERIFY(waitIdle(p));
    QVERIFY(p.Columns() == 3 && p.Rows() >= 2);
    const QImage& b = p.BackBuffer();
    const QPoint o = p.SlotOrigin(0);
    const QRgb bg = rgbOf(RGB(0, 255, 0));
    // Unselected: outer 2 pixels background, the inner one the frame colour.
    QCOMPARE(px(b, o.x(), o.y() + 30), bg);
    QCOMPARE(px(b, o.x() + 1, o.y() + 30), bg);
    QCOMPARE(px(b, o.x() + 2, o.y() + 30), rgbOf(clInactiveBorder));
    // The single border inside the frame area: shadow at top left, then the
    // dark shadow.
    QCOMPARE(px(b, o.x() + 3, o.y() + 30), rgbOf(clBtnShadow));
    QCOMPARE(px(b, o.x() + 4, o.y() + 30), rgbOf(cl3DDkShadow));
    QCOMPARE(px(b, o.x() + 89 - 3, o.y() + 30), rgbOf(clWhite));
    // Selected: the whole 3-pixel ring in the select frame's colour.
    p.MoveFocus(0, Qt::NoModifier, false);
    for (int k = 0; k < 3; ++k) QCOMPARE(px(b, o.x() + k, o.y() + 30), rgbOf(clHighlight));
    QCOMPARE(px(b, o.x() + 3, o.y() + 30), rgbOf(clBtnShadow));

    // Captions: a long one ends in an ellipsis; both are centred in the cell.
    TImgPanel q;
    configure(q);
    setClientSize(q, 295, 400);
    const QString folder = m_dir.filePath(QStringLiteral("names"));
    QVERIFY(writeJpeg(folder + QStringLiteral("/a.jpg"), patternImage(8, 8)));
    QVERIFY(writeJpeg(folder + QStringLiteral("/b_a_caption_much_wider_than_its_cell.jpg"), patternImage(8, 8)));
    q.OpenFolder(folder);
    QCOMPARE(q.Items().Count(), 2);
    for (int i = 0; i < 2; ++i) {
        const QRect cr = q.Items().Items(i)->CaptionRect;
        const QRect box = q.CaptionBox(i);
        QVERIFY(cr.width() > 0 && cr.width() <= box.width());
        QVERIFY(qAbs((cr.left() + cr.width() / 2) - (box.left() + box.width() / 2)) <= 1);
    }
    QVERIFY(q.Items().Items(1)->CaptionRect.width() > q.ViewImage().CellWidth() - 12);
    // Empty cells of the last row are decorated and have no caption text.
    const QImage& qb = q.BackBuffer();
    const QPoint e = q.SlotOrigin(2);
    QCOMPARE(px(qb, e.x() + 3, e.y() + 30), rgbOf(clBtnShadow));
    const QRect empty = q.CaptionBox(2);
    for (int x = empty.left(); x <= empty.right(); ++x)
        for (int y = empty.top(); y <= empty.bottom(); ++y) QCOMPARE(px(qb, x, y), rgbOf(clWhite));
}

void TestImgPanel::pictures()
{
    // A box-sized thumbnail lies at the box corner; an icon picture is 32 x
    // 32 and centred; with BigIcon it is 48 x 48.
    const QString folder = m_dir.filePath(QStringLiteral("mixed"));
    QVERIFY(writeJpeg(folder + QStringLiteral("/a.jpg"), patternImage(800, 600)));
    QVERIFY(writeFile(folder + QStringLiteral("/b.xyz"), QByteArray("nothing")));
    for (bool big : {false, true}) {
        TImgPanel p;
        configure(p);
        p.View().DispTypes().SetExt(QString());
        p.SetColor(RGB(0, 255, 0));
        p.ViewImage().SetBigIcon(big);
        setClientSize(p, 295, 300);
        p.OpenFolder(folder);
        QVERIFY(waitIdle(p));
        QCoreApplication::processEvents();
        QCOMPARE(p.Items().Count(), 2);
        TPanelItem* pic = p.Items().Items(0);
        TPanelItem* other = p.Items().Items(1);
        QVERIFY(pic->LoadDone);
        QCOMPARE(pic->CellBitmap.size(), QSize(80, 60));
        QCOMPARE(pic->PictureWidth, 800);
        const QRect box0 = p.PictureBox(0);
        QCOMPARE(p.BackBuffer().pixel(box0.topLeft()) & 0xFFFFFF, pic->CellBitmap.pixel(0, 0) & 0xFFFFFF);
        QCOMPARE(p.BackBuffer().pixel(box0.bottomRight()) & 0xFFFFFF, pic->CellBitmap.pixel(79, 59) & 0xFFFFFF);

        const int side = big ? 48 : 32;
        QVERIFY(!other->LoadDone);
        QCOMPARE(other->CellBitmap.size(), QSize(side, side));
        QCOMPARE(other->PictureWidth, side);
        QCOMPARE(other->PictureHeight, side);
        QVERIFY(other->SharedBitmap);
        const QRect box = p.PictureBox(1);
        const QPoint at = box.topLeft() + QPoint((80 - side) / 2, (60 - side) / 2);
        const QImage& b = p.BackBuffer();
        QCOMPARE(px(b, at.x() - 1, at.y() + 5), rgbOf(RGB(0, 255, 0)));
        QCOMPARE(px(b, at.x(), at.y()), other->CellBitmap.pixel(0, 0) & 0xFFFFFF);
        QCOMPARE(px(b, at.x() + side, at.y() + 5), rgbOf(RGB(0, 255, 0)));
    }
}

void TestImgPanel::smallIconOverlay_data()
{
    // A 94 x 94 box, space 2: the space keeps the icon off the right and
    // bottom edges only.
    QTest::addColumn<int>("pos");
    QTest::addColumn<QPoint>("at");
    QTest::newRow("left top") << int(iipLeftTop) << QPoint(0, 0);
    QTest::newRow("left bottom") << int(iipLeftBottom) << QPoint(0, 76);
    QTest::newRow("right top") << int(iipRightTop) << QPoint(76, 0);
    QTest::newRow("right bottom") << int(iipRightBottom) << QPoint(76, 76);
}

void TestImgPanel::smallIconOverlay()
{
    // The icon covers 16 x 16 pixels from its corner and nothing else.
    QFETCH(int, pos);
    QFETCH(QPoint, at);
    const QString folder = m_dir.filePath(QStringLiteral("overlay"));
    QImage red(94, 94, QImage::Format_RGB888);
    red.fill(Qt::red);
    QVERIFY(writeBmp(folder + QStringLiteral("/red.bmp"), red));
    TImgPanel p;
    p.ViewImage().SmallIcon().SetIconPos(TIconPosition(pos));
    p.ViewImage().SmallIcon().SetSpace(2);
    setClientSize(p, 300, 300);
    p.OpenFolder(folder);
    QVERIFY(waitIdle(p));
    const QImage cell = p.Items().Items(0)->CellBitmap;
    QCOMPARE(cell.size(), QSize(94, 94));
    QRect changed;
    for (int y = 0; y < 94; ++y)
        for (int x = 0; x < 94; ++x)
            if ((cell.pixel(x, y) & 0xFFFFFF) != 0xFF0000) changed |= QRect(x, y, 1, 1);
    QVERIFY(!changed.isEmpty());
    QVERIFY2(QRect(at, QSize(16, 16)).contains(changed), qPrintable(QStringLiteral("%1,%2 %3x%4")
                                                                        .arg(changed.x())
                                                                        .arg(changed.y())
                                                                        .arg(changed.width())
                                                                        .arg(changed.height())));
    // Kinds outside DispImage get no overlay.
    p.ViewImage().SetDispImageMask(1u << iitJpeg);
    p.ReloadAll();
    QVERIFY(waitIdle(p));
    const QImage plain = p.Items().Items(0)->CellBitmap;
    for (int y = 0; y < 94; ++y)
        for (int x = 0; x < 94; ++x)
            QCOMPARE(plain.pixel(x, y) & 0xFFFFFF, 0xFF0000u);
}

void TestImgPanel::loadOrder_data()
{
    QTest::addColumn<bool>("lookAhead");
    QTest::newRow("look-ahead off") << false;
    QTest::newRow("look-ahead on") << true;
}

void TestImgPanel::loadOrder()
{
    QFETCH(bool, lookAhead);
    TImgPanel p;
    configure(p);
    p.ViewImage().SetLookAhead(lookAhead);
    setClientSize(p, 295, 210);
    int loads = 0;
    p.OnImageLoad = [&](void* sender, TPanelItem*) {
        QCOMPARE(sender, static_cast<void*>(&p.Loader()));
        ++loads;
    };
    p.OpenFolder(m_many);
    QCOMPARE(p.VisibleCells(), 6);
    // Scroll to the last page without giving the loader a chance.
    for (int k = 0; k < 9; ++k) QVERIFY(p.NextPage());
    QCOMPARE(p.TopIndex(), 54);
    QVERIFY(waitIdle(p));
    int done = 0;
    for (int i = 0; i < p.Items().Count(); ++i) {
        const bool d = p.Items().Items(i)->LoadDone;
        done += d;
        if (!lookAhead && d) QVERIFY2(i >= 54 || i == 0, qPrintable(QString::number(i)));
    }
    if (lookAhead) {
        QCOMPARE(done, 60);
    } else {
        // The picture already on its way, then the page that stayed.
        QCOMPARE(done, 7);
        QCOMPARE(loads, 7);
    }
}

void TestImgPanel::iconKindsSkipDecoder()
{
    TImgPanel p;
    CountingLoader counter;
    p.ViewImage().ImgUtil().setCustomLoader(&counter);
    p.View().DispTypes().SetExt(QStringLiteral("*.ico;*.exe"));
    setClientSize(p, 400, 300);
    p.OpenFolder(m_icons);
    QVERIFY(waitIdle(p));
    QCOMPARE(p.Items().Count(), 3); // a.ico, b.exe, sub
    for (int i = 0; i < 3; ++i) {
        TPanelItem* item = p.Items().Items(i);
        QCOMPARE(item->CellBitmap.size(), QSize(32, 32));
        QVERIFY(!item->LoadDone);
    }
    QCOMPARE(counter.calls.load(), 0);
    // A text file does go to the decoder.
    p.View().DispTypes().SetExt(QStringLiteral("*.txt"));
    QVERIFY(waitIdle(p));
    QCOMPARE(counter.calls.load(), 1);
    p.ViewImage().ImgUtil().setCustomLoader(nullptr);
}

void TestImgPanel::changeFolderDuringLoad()
{
    // Big pictures keep the worker busy; the next folder never gets their
    // results, and OnImageLoaded fires only for entries still listed.
    const QString big = m_dir.filePath(QStringLiteral("big"));
    for (int i = 0; i < 4; ++i)
        QVERIFY(writeBmp(QStringLiteral("%1/b%2.bmp").arg(big).arg(i), patternImage(3000, 2000)));
    const QString other = m_dir.filePath(QStringLiteral("other"));
    QVERIFY(writeFile(other + QStringLiteral("/x.jpg"), QByteArray("broken jpeg")));
    TImgPanel p;
    configure(p);
    p.View().DispTypes().SetExt(QString());
    setClientSize(p, 400, 300);
    std::vector<TPanelItem*> loaded;
    p.OnImageLoaded = [&](void*, TPanelItem* item) { loaded.push_back(item); };
    for (int round = 0; round < 5; ++round) {
        p.OpenFolder(big);
        QVERIFY(p.Loader().Busy());
        p.OpenFolder(other);
        QVERIFY(waitIdle(p));
        QCoreApplication::processEvents();
        QCOMPARE(p.Items().Count(), 1);
        TPanelItem* x = p.Items().Items(0);
        QVERIFY(!x->LoadDone);
        QCOMPARE(x->CellBitmap.size(), QSize(32, 32));
        for (TPanelItem* item : loaded) QCOMPARE(item, x);
        loaded.clear();
    }
}

void TestImgPanel::hostileFilesDoNotStopTheLoader()
{
    // A FIFO, a link to /dev/zero and a sparse 8 GiB file among pictures:
    // each gets its icon, every picture after them its thumbnail, and the
    // browser leaves the folder and dies without waiting on any of them.
    const QString folder = m_dir.filePath(QStringLiteral("hostile"));
    QVERIFY(makeHostile(Hostile::Fifo, folder + QStringLiteral("/m.jpg")));
    QVERIFY(makeHostile(Hostile::DevZero, folder + QStringLiteral("/z.jpg")));
    QVERIFY(makeHostile(Hostile::Sparse8G, folder + QStringLiteral("/big.jpg")));
    QVERIFY(makeHostile(Hostile::Fifo, folder + QStringLiteral("/page.html")));
    QVERIFY(makeHostile(Hostile::Sparse8G, folder + QStringLiteral("/huge.bmp")));
    const QStringList bad{QStringLiteral("big.jpg"), QStringLiteral("huge.bmp"),
                          QStringLiteral("m.jpg"), QStringLiteral("page.html"),
                          QStringLiteral("z.jpg")};
    for (const char* name : {"a.jpg", "c.jpg", "n.jpg", "q.jpg", "y.jpg", "zz.jpg"})
        QVERIFY(writeJpeg(folder + QLatin1Char('/') + QLatin1String(name), patternImage(160, 120)));
    HangGuard guard(180, "a folder of hostile files");
    {
        TImgPanel p;
        configure(p);
        p.View().DispTypes().SetExt(QString());
        setClientSize(p, 600, 400);
        p.OpenFolder(folder);
        QCOMPARE(p.Items().Count(), 11);
        QVERIFY(waitIdle(p, 120000));
        QCoreApplication::processEvents();
        for (int i = 0; i < p.Items().Count(); ++i) {
            TPanelItem* item = p.Items().Items(i);
            const QString name = item->DisplayName();
            if (bad.contains(name)) {
                QVERIFY2(!item->LoadDone, qPrintable(name));
                QCOMPARE(item->CellBitmap.size(), QSize(32, 32));
            } else {
                QVERIFY2(item->LoadDone, qPrintable(name));
                QCOMPARE(item->CellBitmap.size(), QSize(80, 60));
            }
        }
        // Again while the loader is busy with them: leaving the folder and
        // destroying the browser return.
        p.ReloadAll();
        p.OpenFolder(m_pics);
        p.OpenFolder(folder);
    }
}

void TestImgPanel::selectionRules_data()
{
    // 20 entries in 3 columns x 2 rows. Steps: key names with modifiers,
    // "click:i", "ctrlclick:i", "shiftclick:i". Expected: focus, current,
    // selection list, top index.
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<int>("focus");
    QTest::addColumn<int>("current");
    QTest::addColumn<QList<int>>("selection");
    QTest::addColumn<int>("top");
    QTest::newRow("click") << QStringList{"click:4"} << 4 << 4 << QList<int>{4} << 0;
    QTest::newRow("ctrl+click deselects, stays current")
        << QStringList{"click:1", "ctrlclick:3", "ctrlclick:1"} << 1 << 1 << QList<int>{3} << 0;
    QTest::newRow("shift+click range from anchor")
        << QStringList{"click:4", "shiftclick:1"} << 1 << 1 << QList<int>{1, 2, 3, 4} << 0;
    QTest::newRow("ctrl+arrow moves focus only, ctrl+space toggles")
        << QStringList{"click:0", "C+Right", "C+Right", "C+Space"} << 2 << 2 << QList<int>{0, 2} << 0;
    QTest::newRow("right at row end") << QStringList{"click:2", "Right"} << 2 << 2 << QList<int>{2} << 0;
    QTest::newRow("left in first column") << QStringList{"click:3", "Left"} << 3 << 3 << QList<int>{3} << 0;
    QTest::newRow("right moves within row") << QStringList{"click:3", "Right"} << 4 << 4 << QList<int>{4} << 0;
    QTest::newRow("page up from second row") << QStringList{"click:4", "PgUp"} << 1 << 1 << QList<int>{1} << 0;
    QTest::newRow("down scrolls the row into view")
        << QStringList{"click:4", "Down", "Down"} << 10 << 10 << QList<int>{10} << 6;
    QTest::newRow("end and home") << QStringList{"End"} << 19 << 19 << QList<int>{19} << 15;
    QTest::newRow("down on the last rows")
        << QStringList{"End", "Up", "Down", "Down"} << 19 << 19 << QList<int>{19} << 15;
    QTest::newRow("page down within the list")
        << QStringList{"click:1", "PgDown"} << 7 << 7 << QList<int>{7} << 3;
    QTest::newRow("page down near the end")
        << QStringList{"End", "Up", "Up", "PgDown"} << 19 << 19 << QList<int>{19} << 15;
    QTest::newRow("shift+down extends") << QStringList{"click:1", "S+Down"} << 4 << 4 << QList<int>{1, 2, 3, 4} << 0;
    QTest::newRow("ctrl+a") << QStringList{"C+A"} << -1 << -1
                            << QList<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19}
                            << 0;
    QTest::newRow("ctrl+i inverts")
        << QStringList{"click:1", "ctrlclick:3", "C+I"} << 3 << 3
        << QList<int>{0, 2, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19} << 0;
}

void TestImgPanel::selectionRules()
{
    QFETCH(QStringList, steps);
    TImgPanel p;
    configure(p);
    p.SetMultiSelect(true);
    setClientSize(p, 295, 210);
    p.OpenFolder(m_pics);
    QCOMPARE(p.Items().Count(), 20);
    QCOMPARE(p.VisibleCells(), 6);
    p.setFocus();
    int fired = 0;
    p.OnSelectItem = [&](void*, TPanelItem* item) {
        ++fired;
        QCOMPARE(item, p.CurrentItem());
    };
    for (const QString& step : steps) {
        const QStringList parts = step.split(QLatin1Char(':'));
        if (parts.size() == 2) {
            const int i = parts[1].toInt();
            const Qt::KeyboardModifiers m = parts[0] == QLatin1String("ctrlclick")    ? Qt::ControlModifier
                                            : parts[0] == QLatin1String("shiftclick") ? Qt::ShiftModifier
                                                                                      : Qt::NoModifier;
            p.MakeVisible(i);
            const QRect box = p.PictureBox(i);
            QVERIFY(!box.isNull());
            QTest::mouseClick(p.viewport(), Qt::LeftButton, m, box.center());
            continue;
        }
        Qt::KeyboardModifiers m;
        QString key = step;
        if (key.startsWith(QLatin1String("C+"))) m = Qt::ControlModifier, key = key.mid(2);
        if (key.startsWith(QLatin1String("S+"))) m = Qt::ShiftModifier, key = key.mid(2);
        static const QHash<QString, Qt::Key> keys = {
            {"Right", Qt::Key_Right}, {"Left", Qt::Key_Left},     {"Up", Qt::Key_Up},
            {"Down", Qt::Key_Down},   {"PgUp", Qt::Key_PageUp},   {"PgDown", Qt::Key_PageDown},
            {"End", Qt::Key_End},     {"Home", Qt::Key_Home},     {"Space", Qt::Key_Space},
            {"A", Qt::Key_A},         {"I", Qt::Key_I}};
        QVERIFY2(keys.contains(key), qPrintable(key));
        QTest::keyClick(&p, keys.value(key), m);
    }
    QFETCH(int, focus);
    QFETCH(int, current);
    QFETCH(QList<int>, selection);
    QFETCH(int, top);
    if (focus >= 0) QCOMPARE(p.FocusIndex(), focus);
    QCOMPARE(p.CurrentIndex(), current);
    QCOMPARE(QList<int>(p.SelectionList.begin(), p.SelectionList.end()), selection);
    for (int i = 0; i < p.Items().Count(); ++i) QCOMPARE(p.Items().Items(i)->Selected, selection.contains(i));
    QCOMPARE(p.TopIndex(), top);
    QVERIFY(fired > 0 || current < 0);
}

void TestImgPanel::mouseRules()
{
    TImgPanel p;
    configure(p);
    VerbSpy verbs;
    p.SetShellVerbs(&verbs);
    setClientSize(p, 295, 210);
    p.OpenFolder(m_pics);
    int fired = 0;
    p.OnSelectItem = [&](void*, TPanelItem*) { ++fired; };

    // MultiSelect off: Shift and Ctrl clicks are plain clicks.
    QTest::mouseClick(p.viewport(), Qt::LeftButton, {}, p.PictureBox(0).center());
    QTest::mouseClick(p.viewport(), Qt::LeftButton, Qt::ShiftModifier, p.PictureBox(2).center());
    QCOMPARE(QList<int>(p.SelectionList.begin(), p.SelectionList.end()), QList<int>{2});
    QTest::mouseClick(p.viewport(), Qt::LeftButton, Qt::ControlModifier, p.PictureBox(1).center());
    QCOMPARE(QList<int>(p.SelectionList.begin(), p.SelectionList.end()), QList<int>{1});

    // Beside a short caption, in the caption band: nothing is hit.
    const QRect cr = p.Items().Items(1)->CaptionRect;
    const QRect band = p.CaptionBox(1);
    QVERIFY(cr.left() > band.left() + 1);
    QCOMPARE(p.HitTest(QPoint(band.left() + 1, cr.center().y())), -1);
    QCOMPARE(p.HitTest(cr.center()), 1);

    // Empty space: selection cleared, no current entry, no OnSelectItem.
    const int before = fired;
    QTest::mouseClick(p.viewport(), Qt::LeftButton, {}, QPoint(0, 5));
    QCOMPARE(p.SelCount(), 0);
    QVERIFY(p.CurrentItem() == nullptr);
    QCOMPARE(fired, before);

    // A right click inside a selection keeps it.
    p.SetMultiSelect(true);
    QTest::mouseClick(p.viewport(), Qt::LeftButton, {}, p.PictureBox(0).center());
    QTest::mouseClick(p.viewport(), Qt::LeftButton, Qt::ShiftModifier, p.PictureBox(3).center());
    QTest::mousePress(p.viewport(), Qt::RightButton, {}, p.PictureBox(2).center());
    QTest::mouseRelease(p.viewport(), Qt::RightButton, {}, p.PictureBox(2).center());
    QCOMPARE(p.SelCount(), 4);

    // Ctrl+I then Delete: exactly the entries that look selected.
    QTest::keyClick(&p, Qt::Key_I, Qt::ControlModifier);
    QTest::keyClick(&p, Qt::Key_Delete);
    QCOMPARE(verbs.last, QStringLiteral("delete"));
    QStringList expected;
    for (int i = 0; i < p.Items().Count(); ++i)
        if (p.Items().Items(i)->Selected) expected << p.Items().Items(i)->ParseName();
    QCOMPARE(verbs.paths, expected);
    QCOMPARE(expected.size(), 16);
    QTest::keyClick(&p, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(verbs.last, QStringLiteral("copy"));
    QTest::keyClick(&p, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(verbs.last, QStringLiteral("paste"));
    QCOMPARE(verbs.paths, QStringList{m_pics});
    // An empty folder takes a paste; other keys do nothing there.
    const QString empty = m_dir.filePath(QStringLiteral("empty"));
    QVERIFY(QDir().mkpath(empty));
    p.OpenFolder(empty);
    verbs.last.clear();
    QTest::keyClick(&p, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(verbs.last, QString());
    QTest::keyClick(&p, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(verbs.paths, QStringList{empty});
}

void TestImgPanel::pagingAtEnd()
{
    TImgPanel p;
    configure(p);
    setClientSize(p, 295, 210);
    p.OpenFolder(m_pics); // 20 entries, 6 per page
    QVERIFY(!p.PriorPage());
    QVERIFY(p.NextPage());
    QCOMPARE(p.TopIndex(), 6);
    QVERIFY(p.NextPage());
    QVERIFY(p.NextPage());
    QCOMPARE(p.TopIndex(), 18); // the last row on top
    QVERIFY(p.NextPage());
    QCOMPARE(p.TopIndex(), 18);
    QVERIFY(!p.NextRow());
    QCOMPARE(p.TopIndex(), 18);
    QCOMPARE(p.verticalScrollBar()->maximum(), 6);
    QCOMPARE(p.verticalScrollBar()->value(), 6);
    QVERIFY(p.PriorRow());
    QCOMPARE(p.TopIndex(), 15);
    QVERIFY(p.ScrollToTop());
    QCOMPARE(p.TopIndex(), 0);
    QVERIFY(p.ScrollToEnd());
    QCOMPARE(p.TopIndex(), 15);
    // The scroll bar's requests: a line down is NextRow.
    p.verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    QCOMPARE(p.TopIndex(), 18);
    p.verticalScrollBar()->triggerAction(QAbstractSlider::SliderToMinimum);
    QCOMPARE(p.TopIndex(), 0);
}

void TestImgPanel::resortKeepsSelection()
{
    TImgPanel p;
    configure(p);
    p.SetMultiSelect(true);
    setClientSize(p, 295, 210);
    p.OpenFolder(m_pics);
    p.MoveFocus(2, Qt::NoModifier, false);
    p.MoveFocus(5, Qt::ControlModifier, false);
    const QString current = p.CurrentItem()->DisplayName();
    p.SetDescend(true);
    QCOMPARE(QList<int>(p.SelectionList.begin(), p.SelectionList.end()), (QList<int>{14, 17}));
    for (int i : p.SelectionList) QVERIFY(p.Items().Items(i)->Selected);
    QCOMPARE(p.CurrentItem()->DisplayName(), current);
    QCOMPARE(p.Items().Items(0)->DisplayName(), QStringLiteral("p19.jpg"));
}

void TestImgPanel::folderChangesShown()
{
    const QString folder = m_dir.filePath(QStringLiteral("watched"));
    QVERIFY(writeJpeg(folder + QStringLiteral("/a.jpg"), patternImage(16, 16)));
    QVERIFY(QDir().mkpath(folder + QStringLiteral("/sub")));
    TImgPanel p;
    setClientSize(p, 295, 210);
    int reads = 0;
    p.OnChangeFolder = [&](TCustomImgPanel*) { ++reads; };
    p.OpenFolder(folder);
    QCOMPARE(p.Items().Count(), 2);
    QVERIFY(p.ShellChangeNotification().IsWatching());
    // Copied in: shown without being asked; deleted: gone.
    QVERIFY(QFile::copy(folder + QStringLiteral("/a.jpg"), folder + QStringLiteral("/b.jpg")));
    QTRY_COMPARE(p.Items().Count(), 3);
    QVERIFY(QFile::remove(folder + QStringLiteral("/a.jpg")));
    QTRY_COMPARE(p.Items().Count(), 2);
    // A change inside a subfolder is not the folder's.
    const int before = reads;
    QVERIFY(writeFile(folder + QStringLiteral("/sub/c.jpg"), QByteArray("x")));
    QTest::qWait(500);
    QCOMPARE(reads, before);
    // Enabled off: no more re-reads, at once.
    p.ShellChangeNotification().SetEnabled(false);
    QVERIFY(!p.ShellChangeNotification().IsWatching());
    QVERIFY(writeFile(folder + QStringLiteral("/d.jpg"), QByteArray("x")));
    QTest::qWait(500);
    QCOMPARE(p.Items().Count(), 2);
    // File mode stops the watch too.
    p.ShellChangeNotification().SetEnabled(true);
    p.OpenFolder(m_pics);
    QVERIFY(p.ShellChangeNotification().IsWatching());
    p.SetViewMode(ivmFile);
    QVERIFY(!p.ShellChangeNotification().IsWatching());
    QCOMPARE(p.Items().Count(), 0);
}

QTEST_MAIN(TestImgPanel)
#include "tst_imgpanel.moc"
