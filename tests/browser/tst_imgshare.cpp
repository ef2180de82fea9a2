#include "browser/ImgShare.h"
#include "platform/IconList.h"
#include "tests/support/TestFiles.h"

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/time.h>
#include <unistd.h>

using sq::platform::ShellFolder;

namespace {

// Stands in for the browser: a current folder, a mode, and records of what
// the entries asked it to do.
class Host : public TShellItemsHost, public sq::platform::ShellOpener
{
public:
    ShellFolder folder;
    bool fileMode = false;
    QStringList openedIds, openedFolders, launched;
    TImgUtil engine;

    ShellFolder CurrentFolder() const override { return folder; }
    bool IsFileMode() const override { return fileMode; }
    void OpenFolderId(const QString& p) override { openedIds << p; }
    void OpenFolder(const QString& p) override { openedFolders << p; }
    sq::platform::ShellOpener& Opener() override { return *this; }
    TImgUtil* ImgUtil() override { return &engine; }
    bool open(const QString& p) override
    {
        launched << p;
        return true;
    }
};

QStringList names(TPanelItems& items)
{
    QStringList out;
    for (int i = 0; i < items.Count(); ++i)
        out << (items.Items(i)->HasItemId() ? items.Items(i)->DisplayName() : QStringLiteral("-"));
    return out;
}

void touch(const QString& path, qint64 secs)
{
    const QByteArray p = QFile::encodeName(path);
    struct timeval tv[2] = {{static_cast<time_t>(secs), 0}, {static_cast<time_t>(secs), 0}};
    ::utimes(p.constData(), tv);
}

// Claims ".raw" files and counts how often it is asked.
class CountingLoader : public TCustomLoader
{
public:
    int asks = 0;
    bool CanLoad(const QString& name) override
    {
        ++asks;
        return name.endsWith(QLatin1String(".raw"));
    }
    bool LoadToBitmap(const QString&, TBitmap&) override { return false; }
};

} // namespace

class TstImgShare : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void sizeText_data();
    void sizeText();
    void dateText();
    void extFilter_data();
    void extFilter();
    void readFolderFiltersFilesNotFolders();
    void readFolderFlags();
    void sortColumns_data();
    void sortColumns();
    void fileModeNameSortIsByteWise();
    void descendMovesEntriesWithoutIdToEnd();
    void indexOfIdFollowsSortAndClear();
    void addFileRefusesOtherForms();
    void executeOpensFoldersAndLaunchesFiles();
    void imageKindIsCachedAndReset();
    void settingSameValueFiresNothing();
    void eventsGoWhereTheTablesSay();
    void creationValues();
    void mainWindowGeometry();
    void geometryBevels();
};

void TstImgShare::sizeText_data()
{
    QTest::addColumn<qint64>("size");
    QTest::addColumn<QString>("text");
    QTest::addColumn<quint32>("low");
    QTest::newRow("empty") << qint64(0) << "1KB" << quint32(0);
    QTest::newRow("1023") << qint64(1023) << "1KB" << quint32(1023);
    QTest::newRow("1024") << qint64(1024) << "2KB" << quint32(1024);
    QTest::newRow("4GiB") << (qint64(1) << 32) << "4194305KB" << quint32(0);
    QTest::newRow("5GiB+1024") << (qint64(5) << 30) + 1024 << "5242882KB"
                               << quint32((1u << 30) + 1024);
}

void TstImgShare::sizeText()
{
    QFETCH(qint64, size);
    QFETCH(QString, text);
    QFETCH(quint32, low);
    QTemporaryDir dir;
    QVERIFY(sq::test::makeSparseFile(dir.filePath("a.bin"), size));
    Host host;
    host.folder = ShellFolder(dir.path());
    TPanelItems items(&host);
    TDispTypes types;
    QVERIFY(items.ReadFolder(host.folder, types, istName, false));
    QCOMPARE(items.Count(), 1);
    QCOMPARE(items.Items(0)->SizeText(), text);
    QCOMPARE(items.Items(0)->Size(), low);
    QCOMPARE(items.Items(0)->Size64(), size);
}

void TstImgShare::dateText()
{
    QTemporaryDir dir;
    QVERIFY(sq::test::writeFile(dir.filePath("a.jpg"), "x"));
    const QDateTime when(QDate(2004, 7, 9), QTime(13, 5, 59));
    touch(dir.filePath("a.jpg"), when.toSecsSinceEpoch());
    Host host;
    host.folder = ShellFolder(dir.path());
    TPanelItems items(&host);
    TDispTypes types;
    QVERIFY(items.ReadFolder(host.folder, types, istName, false));
    TPanelItem* e = items.Items(0);
    QCOMPARE(e->DateText(), QStringLiteral("2004/07/09 13:05"));
    // Computed once: a later change of the file's date does not show, not
    // even after ResetCaches.
    touch(dir.filePath("a.jpg"), when.addYears(1).toSecsSinceEpoch());
    e->ResetCaches();
    QCOMPARE(e->DateText(), QStringLiteral("2004/07/09 13:05"));
}

void TstImgShare::extFilter_data()
{
    QTest::addColumn<QString>("ext");
    QTest::addColumn<QString>("normalised");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("passes");
    QTest::newRow("empty is all") << ""
                                  << ";*.*;"
                                  << "x.png" << true;
    QTest::newRow("default") << "*.*"
                             << ";*.*;"
                             << "README" << true;
    QTest::newRow("upper ext") << "*.JPG"
                               << ";*.jpg;"
                               << "x.jpg" << true;
    QTest::newRow("upper name") << "*.jpg"
                                << ";*.jpg;"
                                << "/p/A.JPG" << true;
    QTest::newRow("no closing") << "*.jpg"
                                << ";*.jpg;"
                                << "b.jpg" << true;
    QTest::newRow("main window bmp") << "*.jpg;*.bmp;"
                                     << ";*.jpg;*.bmp;"
                                     << "b.bmp" << true;
    QTest::newRow("main window jpeg") << "*.jpg;*.bmp;"
                                      << ";*.jpg;*.bmp;"
                                      << "c.jpeg" << false;
    QTest::newRow("full name") << "*.bmp;Keep.TXT"
                               << ";*.bmp;keep.txt;"
                               << "/x/keep.txt" << true;
    QTest::newRow("other full name") << "*.bmp;keep.txt"
                                     << ";*.bmp;keep.txt;"
                                     << "keep2.txt" << false;
    QTest::newRow("no extension") << "*;"
                                  << ";*;"
                                  << "Makefile" << true;
    QTest::newRow("no ext refused") << "*.jpg"
                                    << ";*.jpg;"
                                    << "Makefile" << false;
    QTest::newRow("all in list") << "*.bmp;*.*"
                                 << ";*.bmp;*.*;"
                                 << "z.q" << true;
    QTest::newRow("last dot") << "*.gz"
                              << ";*.gz;"
                              << "a.tar.gz" << true;
    QTest::newRow("non-ascii kept") << "*.JPG;Ä.txt"
                                    << ";*.jpg;Ä.txt;"
                                    << "ä.txt" << false;
}

void TstImgShare::extFilter()
{
    QFETCH(QString, ext);
    QFETCH(QString, normalised);
    QFETCH(QString, name);
    QFETCH(bool, passes);
    TDispTypes t;
    t.SetExt(ext);
    QCOMPARE(t.ExtList(), normalised);
    QCOMPARE(t.Matches(name), passes);
}

void TstImgShare::readFolderFiltersFilesNotFolders()
{
    QTemporaryDir dir;
    for (const char* n : {"A.JPG", "b.bmp", "c.jpeg", "d.txt"})
        QVERIFY(sq::test::writeFile(dir.filePath(n), "x"));
    QVERIFY(QDir(dir.path()).mkdir("album"));
    QVERIFY(QDir(dir.path()).mkdir("pics.2004"));
    Host host;
    host.folder = ShellFolder(dir.path());
    TPanelItems items(&host);
    TDispTypes types;
    types.SetExt("*.jpg;*.bmp;");
    QStringList onFile;
    QVERIFY(items.ReadFolder(host.folder, types, istName, false,
                             [&](TPanelItem* e) { onFile << e->DisplayName(); }));
    QCOMPARE(names(items), (QStringList{"album", "pics.2004", "A.JPG", "b.bmp"}));
    QCOMPARE(onFile.size(), 2);
    QVERIFY(items.Items(0)->IsFolder());
    QCOMPARE(items.Items(2)->ParseName(), dir.filePath("A.JPG"));
}

void TstImgShare::readFolderFlags()
{
    QTemporaryDir dir;
    QVERIFY(sq::test::writeFile(dir.filePath("a.jpg"), "x"));
    QVERIFY(sq::test::writeFile(dir.filePath(".hidden.jpg"), "x"));
    QVERIFY(QDir(dir.path()).mkdir("sub"));
    QVERIFY(QFile::link(dir.filePath("sub"), dir.filePath("linkdir")));
    QVERIFY(QFile::link(dir.filePath("a.jpg"), dir.filePath("linkfile.jpg")));
    QVERIFY(QFile::link(dir.filePath("gone"), dir.filePath("dangling")));
    Host host;
    host.folder = ShellFolder(dir.path());
    TDispTypes types;
    auto read = [&](bool folders, bool files, bool hidden) {
        types.SetFolders(folders);
        types.SetNonFolders(files);
        types.SetHidden(hidden);
        TPanelItems items(&host);
        if (!items.ReadFolder(host.folder, types, istName, false)) return QStringList{"failed"};
        QStringList out;
        for (int i = 0; i < items.Count(); ++i) {
            TPanelItem* e = items.Items(i);
            out << e->DisplayName() + (e->IsFolder() ? "/" : "") +
                       (e->OverlayKind() == 1 ? "@" : "");
        }
        return out;
    };
    QCOMPARE(read(true, true, true), (QStringList{"linkdir/", "sub/", ".hidden.jpg", "a.jpg",
                                                  "dangling@", "linkfile.jpg@"}));
    QCOMPARE(read(true, false, false), (QStringList{"linkdir/", "sub/"}));
    QCOMPARE(read(false, true, false), (QStringList{"a.jpg", "dangling@", "linkfile.jpg@"}));
    TPanelItems missing(&host);
    QVERIFY(!missing.ReadFolder(ShellFolder(dir.filePath("nope")), types, istName, false));
    QCOMPARE(missing.Count(), 0);
}

void TstImgShare::sortColumns_data()
{
    QTest::addColumn<int>("sortType");
    QTest::addColumn<bool>("descend");
    QTest::addColumn<QStringList>("expected");
    // Files: img10.jpg 300 bytes 2001, img2.jpg 100 bytes 2003, Img1.png 100
    // bytes 2002, notes.txt 200 bytes 2001 (mode 0600); folders b, A.
    QTest::newRow("name") << int(istName) << false
                          << QStringList{"A",        "b",         "Img1.png",
                                         "img2.jpg", "img10.jpg", "notes.txt"};
    QTest::newRow("name descend") << int(istName) << true
                                  << QStringList{"notes.txt", "img10.jpg", "img2.jpg",
                                                 "Img1.png",  "b",         "A"};
    QTest::newRow("size, ties by name")
        << int(istSize) << false
        << QStringList{"A", "b", "Img1.png", "img2.jpg", "notes.txt", "img10.jpg"};
    QTest::newRow("date, ties by name")
        << int(istDate) << false
        << QStringList{"A", "b", "img10.jpg", "notes.txt", "Img1.png", "img2.jpg"};
    QTest::newRow("type") << int(istType) << false
                          << QStringList{"A",         "b",         "img2.jpg",
                                         "img10.jpg", "notes.txt", "Img1.png"};
    QTest::newRow("attributes") << int(istAttr) << false
                                << QStringList{"A",        "b",        "notes.txt",
                                               "Img1.png", "img2.jpg", "img10.jpg"};
}

void TstImgShare::sortColumns()
{
    QFETCH(int, sortType);
    QFETCH(bool, descend);
    QFETCH(QStringList, expected);
    QTemporaryDir dir;
    struct F
    {
        const char* name;
        int size;
        int year;
    };
    for (F f : {F{"img10.jpg", 300, 2001}, F{"img2.jpg", 100, 2003}, F{"Img1.png", 100, 2002},
                F{"notes.txt", 200, 2001}}) {
        QVERIFY(sq::test::writeFile(dir.filePath(f.name), QByteArray(f.size, 'x')));
        touch(dir.filePath(f.name), QDateTime(QDate(f.year, 1, 1), QTime(0, 0)).toSecsSinceEpoch());
    }
    QVERIFY(QFile::setPermissions(dir.filePath("notes.txt"), QFile::ReadOwner | QFile::WriteOwner));
    QVERIFY(QDir(dir.path()).mkdir("b"));
    QVERIFY(QDir(dir.path()).mkdir("A"));
    // One date for both folders: made one after the other they may fall on
    // two clock ticks, and the date order would not be a tie.
    const qint64 folderTime = QDateTime(QDate(2004, 1, 1), QTime(0, 0)).toSecsSinceEpoch();
    touch(dir.filePath("A"), folderTime);
    touch(dir.filePath("b"), folderTime);
    Host host;
    host.folder = ShellFolder(dir.path());
    TPanelItems items(&host);
    TDispTypes types;
    QVERIFY(items.ReadFolder(host.folder, types, TSortTypeEx(sortType), descend));
    QCOMPARE(names(items), expected);
}

void TstImgShare::fileModeNameSortIsByteWise()
{
    QTemporaryDir dir;
    for (const char* n : {"a.jpg", "B.jpg", "img10.jpg", "img2.jpg"})
        QVERIFY(sq::test::writeFile(dir.filePath(n), "x"));
    Host host;
    host.fileMode = true;
    TPanelItems items(&host);
    for (const char* n : {"img2.jpg", "a.jpg", "img10.jpg", "B.jpg"})
        QVERIFY(items.AddFile(dir.filePath(n)));
    QCOMPARE(names(items),
             (QStringList{"img2.jpg", "a.jpg", "img10.jpg", "B.jpg"})); // not sorted on adding
    items.Sort(istName, false);
    QCOMPARE(names(items), (QStringList{"B.jpg", "a.jpg", "img10.jpg", "img2.jpg"}));
    host.fileMode = false;
    items.Sort(istName, false);
    QCOMPARE(names(items), (QStringList{"a.jpg", "B.jpg", "img2.jpg", "img10.jpg"}));
}

void TstImgShare::descendMovesEntriesWithoutIdToEnd()
{
    QTemporaryDir dir;
    for (const char* n : {"x.jpg", "y.jpg"})
        QVERIFY(sq::test::writeFile(dir.filePath(n), "x"));
    Host host;
    host.fileMode = true;
    TPanelItems items(&host);
    QVERIFY(items.AddFile(dir.filePath("y.jpg")));
    TPanelItem* empty = items.AddFile(QString());
    QVERIFY(empty && !empty->HasItemId());
    QVERIFY(items.AddFile(dir.filePath("x.jpg")));
    items.Sort(istName, false);
    QCOMPARE(names(items), (QStringList{"-", "x.jpg", "y.jpg"}));
    items.Sort(istName, true);
    QCOMPARE(names(items), (QStringList{"y.jpg", "x.jpg", "-"}));
    items.Sort(istDate, true);
    QCOMPARE(names(items).last(), QStringLiteral("-"));
    QVERIFY(!empty->Execute());
    QCOMPARE(empty->ShellIconIndex(), -1);
}

void TstImgShare::indexOfIdFollowsSortAndClear()
{
    QTemporaryDir dir;
    QVERIFY(sq::test::makeEmptyFiles(dir.path(), 50));
    Host host;
    host.folder = ShellFolder(dir.path());
    TPanelItems items(&host);
    TDispTypes types;
    QVERIFY(items.ReadFolder(host.folder, types, istName, false));
    QCOMPARE(items.Count(), 50);
    for (int i = 0; i < items.Count(); ++i)
        QCOMPARE(items.IndexOfId(items.Items(i)->Id()), i);
    items.Sort(istName, true);
    for (int i = 0; i < items.Count(); ++i)
        QCOMPARE(items.IndexOfId(items.Items(i)->Id()), i);
    const std::int32_t lastId = items.Items(0)->Id();
    items.Delete(10);
    QCOMPARE(items.IndexOfId(lastId), 0);
    QCOMPARE(items.IndexOfId(items.Items(10)->Id()), 10);
    QCOMPARE(items.IndexOfId(-1), -1);
    QCOMPARE(items.IndexOfId(1000), -1);
    // Clearing keeps the counter: new entries get new ids, old ids find nothing.
    items.Clear();
    QCOMPARE(items.IndexOfId(lastId), -1);
    QVERIFY(items.ReadFolder(host.folder, types, istName, false));
    std::int32_t smallest = items.Items(0)->Id();
    for (int i = 0; i < items.Count(); ++i)
        smallest = std::min(smallest, items.Items(i)->Id());
    QCOMPARE(smallest, 50);
    QCOMPARE(items.IndexOfId(lastId), -1);
}

void TstImgShare::addFileRefusesOtherForms()
{
    QTemporaryDir dir;
    QVERIFY(sq::test::writeFile(dir.filePath("sub/p.jpg"), "x"));
    Host host;
    host.fileMode = true;
    TPanelItems items(&host);
    QVERIFY(!items.AddFile(dir.filePath("sub/../sub/p.jpg")));
    QVERIFY(!items.AddFile(dir.filePath("sub//p.jpg")));
    QVERIFY(!items.AddFile(dir.filePath("sub/P.JPG")));
    QVERIFY(!items.AddFile(dir.filePath("sub/missing.jpg")));
    QVERIFY(!items.AddFile(QStringLiteral("sub/p.jpg")));
    QVERIFY(!items.AddFile(QStringLiteral("/")));
    QCOMPARE(items.Count(), 0);
    TPanelItem* e = items.AddFile(dir.filePath("sub/p.jpg"));
    QVERIFY(e);
    QCOMPARE(e->ParentId(), dir.filePath("sub"));
    QCOMPARE(e->DisplayName(), QStringLiteral("p.jpg"));
    QCOMPARE(e->SizeText(), QStringLiteral("1KB"));
    e->ResetCaches();
    QCOMPARE(e->ParseName(), dir.filePath("sub/p.jpg"));
}

void TstImgShare::executeOpensFoldersAndLaunchesFiles()
{
    QTemporaryDir dir;
    QVERIFY(sq::test::writeFile(dir.filePath("real/p.jpg"), "x"));
    QVERIFY(QFile::link(dir.filePath("real"), dir.filePath("link")));
    QVERIFY(QFile::link(dir.filePath("real/p.jpg"), dir.filePath("shortcut.jpg")));
    QVERIFY(QDir(dir.path()).mkdir("plain"));
    Host host;
    host.folder = ShellFolder(dir.path());
    TPanelItems items(&host);
    TDispTypes types;
    QVERIFY(items.ReadFolder(host.folder, types, istName, false));
    QCOMPARE(names(items), (QStringList{"link", "plain", "real", "shortcut.jpg"}));
    QVERIFY(items.Items(0)->Execute());
    QCOMPARE(host.openedFolders, QStringList{dir.filePath("real")});
    QVERIFY(items.Items(1)->Execute());
    QCOMPARE(host.openedIds, QStringList{dir.filePath("plain")});
    QVERIFY(items.Items(3)->Execute());
    QCOMPARE(host.launched, QStringList{dir.filePath("shortcut.jpg")});

    host.fileMode = true;
    TPanelItems files(&host);
    QVERIFY(files.AddFile(dir.filePath("plain")));
    QVERIFY(files.Items(0)->Execute()); // a folder in file mode goes to the desktop
    QCOMPARE(host.launched.last(), dir.filePath("plain"));
    QCOMPARE(host.openedIds.size(), 1);
}

void TstImgShare::imageKindIsCachedAndReset()
{
    QTemporaryDir dir;
    QVERIFY(sq::test::writeFile(dir.filePath("p.JPG"), "x"));
    QVERIFY(sq::test::writeFile(dir.filePath("q.raw"), "x"));
    QVERIFY(QDir(dir.path()).mkdir("d.jpg"));
    Host host;
    CountingLoader loader;
    host.engine.setCustomLoader(&loader);
    host.folder = ShellFolder(dir.path());
    TPanelItems items(&host);
    TDispTypes types;
    QVERIFY(items.ReadFolder(host.folder, types, istName, false));
    QCOMPARE(names(items), (QStringList{"d.jpg", "p.JPG", "q.raw"}));
    QCOMPARE(items.Items(0)->ImageKind(), iitDir); // folders never ask the engine
    QCOMPARE(loader.asks, 0);
    QCOMPARE(items.Items(1)->ImageKind(), iitJpeg);
    TPanelItem* q = items.Items(2);
    QCOMPARE(q->ImageKind(), iitCustom);
    QCOMPARE(q->ImageKind(), iitCustom);
    QCOMPARE(loader.asks, 2);
    q->ResetCaches();
    QCOMPARE(q->ImageKind(), iitCustom);
    QCOMPARE(loader.asks, 3);
    // The icon index comes from the shared icon list, once.
    const int icon = q->ShellIconIndex();
    QVERIFY(icon >= 0);
    QCOMPARE(items.Items(1)->ShellIconIndex(),
             sq::platform::IconList::instance().indexForPath(dir.filePath("p.JPG")));
    host.engine.setCustomLoader(nullptr);
}

void TstImgShare::settingSameValueFiresNothing()
{
    int fired = 0;
    const TNotifyEvent count = [&](TOptionObject*) { ++fired; };
    TView view;
    view.OnChange = view.OnChange1 = view.OnChange2 = count;
    TViewImage vi;
    vi.OnChange = count;
    TDefaultExec de;
    de.OnChange = count;

    // Each setter once with the value it holds (nothing), once with another.
    const std::vector<std::function<void(bool)>> setters = {
        [&](bool o) { view.SetShowCaptions(!o); },
        [&](bool o) { view.DispTypes().SetFolders(!o); },
        [&](bool o) { view.DispTypes().SetNonFolders(!o); },
        [&](bool o) { view.DispTypes().SetHidden(!o); },
        [&](bool o) { view.DispTypes().SetExt(o ? "*.jpg;*.bmp;" : "*.*"); },
        [&](bool o) { view.IconSpacing().SetX(o ? 1 : 4); },
        [&](bool o) { view.IconSpacing().SetY(o ? 6 : 4); },
        [&](bool o) { vi.SetImageWidth(o ? 80 : 94); },
        [&](bool o) { vi.SetImageHeight(o ? 60 : 94); },
        [&](bool o) { vi.SetBevelInner(o ? bvRaised : bvNone); },
        [&](bool o) { vi.SetBevelOuter(o ? bvLowered : bvNone); },
        [&](bool o) { vi.SetBevelWidth(o ? 2 : 1); },
        [&](bool o) { vi.SetBorderWidth(o ? 3 : 0); },
        [&](bool o) { vi.SetBorderStyle(o ? bsSingle : bsNone); },
        [&](bool o) { vi.SetBigIcon(o); },
        [&](bool o) { vi.SetBigIconSize(o ? 64 : 48); },
        [&](bool o) { vi.Frame().SetVisible(!o); },
        [&](bool o) { vi.Frame().SetColor(o ? clWhite : clInactiveBorder); },
        [&](bool o) { vi.Frame().SetWidth(o ? 2 : 1); },
        [&](bool o) { vi.SelectFrame().SetWidth(o ? 1 : 3); },
        [&](bool o) { vi.SelectFrame().SetColor(o ? clWhite : clHighlight); },
        [&](bool o) { vi.SmallIcon().SetIconPos(o ? iipNone : iipRightBottom); },
        [&](bool o) { vi.SmallIcon().SetSpace(o ? 0 : 2); },
        [&](bool o) { vi.BlankSpace().SetLeft(o ? 1 : 0); },
        [&](bool o) { vi.BlankSpace().SetTop(o ? 1 : 0); },
        [&](bool o) { vi.BlankSpace().SetRight(o ? 1 : 0); },
        [&](bool o) { vi.BlankSpace().SetBottom(o ? 1 : 0); },
        [&](bool o) { de.SetDropTarget(!o); },
    };
    for (size_t i = 0; i < setters.size(); ++i) {
        fired = 0;
        setters[i](false);
        QVERIFY2(fired == 0, qPrintable(QString("setter %1 fired on its own value").arg(i)));
        setters[i](true);
        QVERIFY2(fired == 1, qPrintable(QString("setter %1 fired %2 times").arg(i).arg(fired)));
        setters[i](true);
        QVERIFY2(fired == 1, qPrintable(QString("setter %1 fired again").arg(i)));
    }
    // Stored only: LookAhead, DispImage and the DefaultExec flags fire nothing.
    fired = 0;
    vi.SetLookAhead(true);
    vi.SetDispImageMask((1u << 2) | (1u << 3));
    de.DblClick = false;
    QCOMPARE(fired, 0);
    QVERIFY(vi.DispImage(iitJpeg) && !vi.DispImage(iitIco));
    // Assign copies without firing.
    TFrameStyle other(clWhite, 5);
    vi.SetFrame(other);
    QCOMPARE(fired, 0);
    QCOMPARE(vi.Frame().Width(), 5);
    QCOMPARE(vi.Frame().Color(), clWhite);
}

void TstImgShare::eventsGoWhereTheTablesSay()
{
    QStringList got;
    TView view;
    view.OnChange = [&](TOptionObject*) { got << "change"; };
    view.OnChange1 = [&](TOptionObject* s) { got << (s == &view ? "1" : "1?"); };
    view.OnChange2 = [&](TOptionObject* s) { got << (s == &view ? "2" : "2?"); };
    view.DispTypes().SetExt("*.jpg");
    view.IconSpacing().SetX(9);
    view.SetShowCaptions(false);
    view.DispTypes().SetExt("*.jpg");
    QCOMPARE(got, (QStringList{"1", "2", "2"}));

    TViewImage vi;
    TOptionObject* sender = nullptr;
    vi.OnChange = [&](TOptionObject* s) { sender = s; };
    vi.SelectFrame().SetVisible(false);
    QCOMPARE(sender, static_cast<TOptionObject*>(&vi));
    // The engine's own change (its background colour) reaches the browser.
    sender = nullptr;
    vi.ImgUtil().setBKColor(vi.ImgUtil().BKColor());
    QCOMPARE(sender, nullptr);
    vi.ImgUtil().setBKColor(Qt::black);
    QCOMPARE(sender, static_cast<TOptionObject*>(&vi));
}

void TstImgShare::creationValues()
{
    TView view;
    QCOMPARE(view.IconSpacing().X(), 4);
    QCOMPARE(view.IconSpacing().Y(), 4);
    TIconSpacing declared;
    QCOMPARE(declared.X(), 15);
    QCOMPARE(declared.Y(), 32);
    QCOMPARE(view.DispTypes().Ext(), QStringLiteral("*.*"));
    QVERIFY(!view.DispTypes().FilterActive());
    QCOMPARE(view.DispTypes().EnumFlags(), 0xE0u);
    TViewImage vi;
    QCOMPARE(vi.SelectFrame().Color(), clHighlight);
    QCOMPARE(vi.SelectFrame().Width(), 3);
    QCOMPARE(vi.Frame().Color(), clInactiveBorder);
    QCOMPARE(vi.Frame().Width(), 1);
    QCOMPARE(vi.ImageWidth(), 94);
    QCOMPARE(vi.BigIconSize(), 48);
    QCOMPARE(vi.ImgUtil().Thumbnail(), &vi.Thumbnail()); // the engine is handed its cache
    QCOMPARE(vi.Thumbnail().PathType(), iptFree);
    QCOMPARE(vi.ImgUtil().SPlugin(), &vi.SPlugin());
    QCOMPARE(vi.SPlugin().count(), 0);
    for (int k = iitNone; k <= iitAvi; ++k)
        QVERIFY(vi.DispImage(TImageType(k)));
    TDefaultExec de;
    QVERIFY(de.DropTarget() && de.DblClick);
    QCOMPARE(de.DragType, 7u);
}

void TstImgShare::mainWindowGeometry()
{
    TView view;
    view.IconSpacing().SetX(1);
    view.IconSpacing().SetY(6);
    TViewImage vi;
    vi.SetImageWidth(80);
    vi.SetImageHeight(60);
    vi.SetBorderStyle(bsSingle);
    vi.Frame().SetWidth(1);
    vi.SelectFrame().SetWidth(3);
    QCOMPARE(vi.FrameThickness(), 3);
    QCOMPARE(vi.BorderWidthSum(), 5);
    QCOMPARE(vi.ImageOffset(), 5);
    QCOMPARE(vi.CellWidth(), 90);
    QCOMPARE(vi.CellHeight(), 70);
    QCOMPARE(vi.ColumnPitch(view.IconSpacing()), 91);
    // An invisible frame does not count.
    vi.SelectFrame().SetVisible(false);
    QCOMPARE(vi.FrameThickness(), 1);
    vi.Frame().SetVisible(false);
    QCOMPARE(vi.FrameThickness(), 0);
    QCOMPARE(vi.CellWidth(), 84);
}

void TstImgShare::geometryBevels()
{
    TViewImage vi;
    vi.SetImageWidth(10);
    vi.SetImageHeight(20);
    vi.SetBevelWidth(2);
    vi.SetBevelOuter(bvRaised);
    vi.BlankSpace().SetLeft(1);
    vi.BlankSpace().SetRight(2);
    vi.BlankSpace().SetTop(3);
    // F = 3 (select frame), no border, outer bevel 2, inner none.
    QCOMPARE(vi.BorderOffset(), 3);
    QCOMPARE(vi.InnerBevelOffset(), 5);
    QCOMPARE(vi.ImageOffset(), 5);
    QCOMPARE(vi.BorderWidthSum(), 5);
    vi.SetBevelInner(bvLowered);
    QCOMPARE(vi.ImageOffset(), 7);
    QCOMPARE(vi.BorderWidthSum(), 7);
    QCOMPARE(vi.CellWidth(), 2 * 7 + 10 + 3);
    QCOMPARE(vi.CellHeight(), 2 * 7 + 20 + 3);
}

QTEST_GUILESS_MAIN(TstImgShare)
#include "tst_imgshare.moc"
