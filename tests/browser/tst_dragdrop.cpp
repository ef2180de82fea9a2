// Drag and drop of the browser, offscreen: the names a dropped list gives,
// the effect of the keys in each mode, where a drop goes in folder mode and
// what it does there, file mode's appending, the drag of the selection out
// (arming, what it offers, a drop onto itself) and the automatic scrolling
// on a fake clock.
#include "browser/ImgPanel.h"
#include "platform/FileClipboard.h"
#include "platform/FileOps.h"
#include "platform/FileVerbs.h"
#include "platform/NativePath.h"

#include "tests/support/RawNames.h"
#include "tests/support/TestFiles.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

namespace pw = sq::platform;
using namespace sq::test;

Q_DECLARE_METATYPE(Qt::KeyboardModifiers)
Q_DECLARE_METATYPE(Qt::DropActions)
Q_DECLARE_METATYPE(Qt::DropAction)

namespace {

constexpr Qt::DropActions kAll = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;

// A list as another program's drop brings it: the bytes as they were sent
// (QMimeData::setData would take a uri-list apart into QUrls and lose what
// they cannot hold).
class ForeignData : public QMimeData
{
public:
    explicit ForeignData(QByteArray list) : m_list(std::move(list)) {}
    bool hasFormat(const QString& type) const override
    {
        return type == QLatin1String("text/uri-list");
    }
    QStringList formats() const override { return {QStringLiteral("text/uri-list")}; }

protected:
    QVariant retrieveData(const QString& type, QMetaType) const override
    {
        return hasFormat(type) ? QVariant(m_list) : QVariant();
    }

private:
    QByteArray m_list;
};

std::unique_ptr<QMimeData> uriList(const QByteArray& list)
{
    return std::make_unique<ForeignData>(list);
}

std::unique_ptr<QMimeData> filesData(const QStringList& paths)
{
    QByteArray list;
    for (const QString& p : paths)
        list += pw::fileUriOf(p) + "\r\n";
    return uriList(list);
}

// A browser whose drag out is recorded, and which can drop back onto itself
// while "dragging", as the desktop would deliver it.
class Panel : public TImgPanel
{
public:
    using TImgPanel::TImgPanel;
    Qt::DropAction RunDrag(std::unique_ptr<QMimeData> data, Qt::DropActions allowed,
                           Qt::DropAction preferred) override
    {
        ++drags;
        offered = pw::filesOfUriList(data->data(QStringLiteral("text/uri-list")));
        gnome = data->data(QStringLiteral("x-special/gnome-copied-files"));
        this->allowed = allowed;
        this->preferred = preferred;
        armWhileDragging = DragArm();
        if (dropAt) {
            const QPoint p = viewport()->mapTo(this, *dropAt);
            QDragEnterEvent enter(p, allowed, data.get(), Qt::LeftButton, dropKeys);
            QApplication::sendEvent(this, &enter);
            QDragMoveEvent move(p, allowed, data.get(), Qt::LeftButton, dropKeys);
            QApplication::sendEvent(this, &move);
            QDropEvent drop(p, allowed, data.get(), Qt::NoButton, dropKeys);
            QApplication::sendEvent(this, &drop);
            dropAnswer = drop.isAccepted() ? drop.dropAction() : Qt::IgnoreAction;
        }
        return dropAnswer;
    }
    int drags = 0;
    QStringList offered;
    QByteArray gnome;
    Qt::DropActions allowed;
    Qt::DropAction preferred = Qt::IgnoreAction;
    TDragArm armWhileDragging = idaNone;
    std::optional<QPoint> dropAt; // viewport point of the drop back
    Qt::KeyboardModifiers dropKeys;
    Qt::DropAction dropAnswer = Qt::IgnoreAction;
};

// The answers of one drag in from outside: enter, move and drop at a
// viewport point.
struct DragResult
{
    bool entered = false;
    bool overAccepted = false;
    Qt::DropAction overAction = Qt::IgnoreAction;
    int targetIndex = -2;
    bool dropped = false;
    Qt::DropAction dropAction = Qt::IgnoreAction;
};

DragResult dragIn(TCustomImgPanel& panel, const QMimeData* data, QPoint at,
                  Qt::KeyboardModifiers keys, Qt::DropActions allowed = kAll, bool drop = true)
{
    DragResult r;
    const QPoint p = panel.viewport()->mapTo(&panel, at);
    QDragEnterEvent enter(p, allowed, data, Qt::LeftButton, keys);
    QApplication::sendEvent(&panel, &enter);
    r.entered = enter.isAccepted();
    QDragMoveEvent move(p, allowed, data, Qt::LeftButton, keys);
    move.setAccepted(r.entered);
    QApplication::sendEvent(&panel, &move);
    r.overAccepted = move.isAccepted();
    r.overAction = move.dropAction();
    r.targetIndex = panel.DropTargetIndex();
    if (!drop) return r;
    QDropEvent dropEvent(p, allowed, data, Qt::NoButton, keys);
    QApplication::sendEvent(&panel, &dropEvent);
    r.dropped = dropEvent.isAccepted();
    r.dropAction = dropEvent.dropAction();
    return r;
}

void mouse(QWidget* w, QEvent::Type type, QPoint p, Qt::MouseButton button, Qt::MouseButtons held,
           Qt::KeyboardModifiers keys = {})
{
    QMouseEvent e(type, p, w->mapToGlobal(p), button, held, keys);
    QApplication::sendEvent(w, &e);
}

// A point of the viewport that no cell covers (left of the first column).
QPoint emptySpace(TCustomImgPanel& p)
{
    return QPoint(1, p.viewport()->height() / 2);
}

} // namespace

class TestDragDrop : public QObject
{
    Q_OBJECT

private:
    // A shown folder: the subfolder "sub" (entry 0), the pictures a.jpg and
    // b.jpg (entries 1, 2); beside it a source folder with x.jpg and y.jpg.
    struct Scene
    {
        QTemporaryDir dir;
        QString shown, sub, src;
        pw::QuietFileOpPrompt prompt{pw::ConflictAnswer::Skip};
        pw::FileVerbs verbs{prompt};
        TFileVerbsAdapter adapter{verbs};
        Panel panel;
        Scene()
        {
            shown = dir.path() + "/shown";
            sub = shown + "/sub";
            src = dir.path() + "/src";
            QDir().mkpath(sub);
            writeFile(shown + "/a.jpg", "a");
            writeFile(shown + "/b.jpg", "b");
            writeFile(src + "/x.jpg", "x");
            writeFile(src + "/y.jpg", "y");
            panel.SetShellVerbs(&adapter);
            panel.ViewImage().SetImageWidth(60);
            panel.ViewImage().SetImageHeight(60);
            panel.resize(500, 300);
            panel.show();
            panel.OpenFolder(shown);
            QCoreApplication::processEvents();
        }
        QPoint cell(int i) { return panel.PictureBox(i).center(); }
        QStringList sources() const { return {src + "/x.jpg", src + "/y.jpg"}; }
    };

private Q_SLOTS:
    void fileDataObject_data();
    void fileDataObject();
    void effectOfKeys_data();
    void effectOfKeys();
    void refusedData();
    void dropPlaces_data();
    void dropPlaces();
    void dropConflictsAndItself();
    void registration();
    void fileModeAppends();
    void dragOut();
    void dropOntoItself();
    void dragAnswers_data();
    void dragAnswers();
    void scrollRule_data();
    void scrollRule();
    void autoScrollTiming();
};

void TestDragDrop::fileDataObject_data()
{
    QTest::addColumn<QByteArray>("list");
    QTest::addColumn<QList<QByteArray>>("names"); // the names' bytes

    const QByteArray longName(3000, 'n');
    QTest::newRow("empty") << QByteArray() << QList<QByteArray>{};
    QTest::newRow("CR LF, comments, order")
        << QByteArray("# dragged\r\nfile:///b/2.jpg\r\n#file:///no\r\nfile:///a/1.jpg\r\n")
        << QList<QByteArray>{"/b/2.jpg", "/a/1.jpg"};
    QTest::newRow("percent escapes")
        << QByteArray("file:///p/a%20b%23c%25.jpg\r\nfile:///%E5%86%99.jpg\r\n")
        << QList<QByteArray>{"/p/a b#c%.jpg", "/\xE5\x86\x99.jpg"};
    QTest::newRow("not UTF-8, escaped")
        << QByteArray("file:///p/caf%E9.jpg\r\n") << QList<QByteArray>{"/p/caf\xE9.jpg"};
    QTest::newRow("not UTF-8, raw bytes")
        << QByteArray("file:///p/\xFF\xFE.jpg\r\n") << QList<QByteArray>{"/p/\xFF\xFE.jpg"};
    QTest::newRow("non-file URIs skipped")
        << QByteArray(
               "http://host/a.jpg\r\nsmb://s/x\r\nfile://elsewhere/c.jpg\r\nfile:///d.jpg\r\n")
        << QList<QByteArray>{"/d.jpg"};
    QTest::newRow("long name taken whole") << QByteArray("file:///long/" + longName + ".jpg\r\n")
                                           << QList<QByteArray>{"/long/" + longName + ".jpg"};
}

void TestDragDrop::fileDataObject()
{
    QFETCH(QByteArray, list);
    QFETCH(QList<QByteArray>, names);
    const auto data = uriList(list);
    TFileDataObject files(data.get());
    QVERIFY(TFileDataObject::Offers(data.get()));
    QCOMPARE(files.FileCount(), int(names.size()));
    QList<QByteArray> got;
    for (const QString& name : files.FileNames())
        got << pw::nativePath(name);
    QCOMPARE(got, names);
    // A paste reads the same list the same way.
    QCOMPARE(pw::readFileMimeData(data.get()).paths, files.FileNames());
}

void TestDragDrop::effectOfKeys_data()
{
    QTest::addColumn<bool>("fileMode");
    QTest::addColumn<Qt::KeyboardModifiers>("keys");
    QTest::addColumn<Qt::DropActions>("allowed");
    QTest::addColumn<Qt::DropAction>("effect");
    const Qt::KeyboardModifiers none, ctrl(Qt::ControlModifier), shift(Qt::ShiftModifier);
    for (const bool fileMode : {false, true}) {
        const char* mode = fileMode ? "file mode" : "folder mode";
        QTest::addRow("%s, no key", mode) << fileMode << none << kAll << Qt::MoveAction;
        QTest::addRow("%s, shift", mode) << fileMode << shift << kAll << Qt::MoveAction;
        QTest::addRow("%s, ctrl", mode) << fileMode << ctrl << kAll << Qt::CopyAction;
        QTest::addRow("%s, ctrl shift", mode)
            << fileMode << (ctrl | shift) << kAll << Qt::LinkAction;
    }
    // What the source does not allow gives way to what it does.
    QTest::newRow("move not allowed")
        << false << none << Qt::DropActions(Qt::CopyAction | Qt::LinkAction) << Qt::CopyAction;
    QTest::newRow("only link") << false << ctrl << Qt::DropActions(Qt::LinkAction)
                               << Qt::LinkAction;
}

void TestDragDrop::effectOfKeys()
{
    QFETCH(bool, fileMode);
    QFETCH(Qt::KeyboardModifiers, keys);
    QFETCH(Qt::DropActions, allowed);
    QFETCH(Qt::DropAction, effect);
    Scene s;
    if (fileMode) s.panel.SetViewMode(ivmFile);
    const auto data = filesData(s.sources());
    const DragResult r = dragIn(s.panel, data.get(), emptySpace(s.panel), keys, allowed, false);
    QVERIFY(r.entered);
    QVERIFY(r.overAccepted);
    QCOMPARE(r.overAction, effect);
    QCOMPARE(r.targetIndex, -1);
}

void TestDragDrop::refusedData()
{
    Scene s;
    // No list of files, a list of no local files, an empty list.
    auto text = std::make_unique<QMimeData>();
    text->setText(s.src + "/x.jpg");
    const auto web = uriList("https://example.org/x.jpg\r\n");
    const auto empty = uriList("");
    for (const QMimeData* data :
         {static_cast<const QMimeData*>(text.get()), static_cast<const QMimeData*>(web.get()),
          static_cast<const QMimeData*>(empty.get())}) {
        const DragResult r = dragIn(s.panel, data, s.cell(0), {});
        QVERIFY(!r.entered);
        QVERIFY(!r.overAccepted);
        QVERIFY(!r.dropped);
    }
    QVERIFY(QFileInfo::exists(s.src + "/x.jpg"));
    QVERIFY(!QFileInfo::exists(s.sub + "/x.jpg"));
}

void TestDragDrop::dropPlaces_data()
{
    QTest::addColumn<QString>("where"); // sub, picture, empty, locked sub
    QTest::addColumn<Qt::KeyboardModifiers>("keys");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("into"); // folder relative to the shown one; "-" refused
    QTest::addColumn<bool>("moved");
    QTest::newRow("subfolder cell, move") << "sub" << Qt::KeyboardModifiers() << 0 << "sub" << true;
    QTest::newRow("subfolder cell, copy")
        << "sub" << Qt::KeyboardModifiers(Qt::ControlModifier) << 0 << "sub" << false;
    QTest::newRow("empty space, copy")
        << "empty" << Qt::KeyboardModifiers(Qt::ControlModifier) << -1 << "" << false;
    QTest::newRow("empty space, move") << "empty" << Qt::KeyboardModifiers() << -1 << "" << true;
    QTest::newRow("picture cell refused")
        << "picture" << Qt::KeyboardModifiers() << -1 << "-" << false;
    QTest::newRow("unwritable subfolder refused")
        << "locked" << Qt::KeyboardModifiers() << -1 << "-" << false;
}

void TestDragDrop::dropPlaces()
{
    QFETCH(QString, where);
    QFETCH(Qt::KeyboardModifiers, keys);
    QFETCH(int, index);
    QFETCH(QString, into);
    QFETCH(bool, moved);
    Scene s;
    QCOMPARE(s.panel.Items().Count(), 3);
    QVERIFY(s.panel.Items().Items(0)->IsFolder());
    std::unique_ptr<UnwritableFolder> lock;
    if (where == "locked") {
        lock = std::make_unique<UnwritableFolder>(s.sub);
        if (!lock->ok()) QSKIP("no way to make a folder unwritable here");
    }
    const QPoint at = where == "empty" ? emptySpace(s.panel) : s.cell(where == "picture" ? 1 : 0);
    const auto data = filesData(s.sources());
    const DragResult r = dragIn(s.panel, data.get(), at, keys);
    QVERIFY(r.entered);
    QCOMPARE(r.targetIndex, index);
    QCOMPARE(s.panel.DropTargetIndex(), -1); // forgotten after the drop
    const bool refused = into == "-";
    QCOMPARE(r.overAccepted, !refused);
    QCOMPARE(r.dropped, !refused);
    if (refused) {
        QCOMPARE(pw::readFileMimeData(data.get()).paths.size(), 2);
        QVERIFY(QFileInfo::exists(s.src + "/x.jpg") && QFileInfo::exists(s.src + "/y.jpg"));
        QVERIFY(!QFileInfo::exists(s.sub + "/x.jpg") && !QFileInfo::exists(s.shown + "/x.jpg"));
        return;
    }
    QCOMPARE(r.dropAction, moved ? Qt::MoveAction : Qt::CopyAction);
    const QString folder = into.isEmpty() ? s.shown : s.shown + "/" + into;
    QCOMPARE(readFile(folder + "/x.jpg"), QByteArray("x"));
    QCOMPARE(readFile(folder + "/y.jpg"), QByteArray("y"));
    QCOMPARE(QFileInfo::exists(s.src + "/x.jpg"), !moved);
    QCOMPARE(QFileInfo::exists(s.src + "/y.jpg"), !moved);
    QVERIFY(s.prompt.errors.empty());
}

void TestDragDrop::dropConflictsAndItself()
{
    Scene s;
    // A name taken in the target: asked about (the answer here skips), and
    // the file there stays as it was.
    writeFile(s.sub + "/x.jpg", "old");
    auto data = filesData({s.src + "/x.jpg"});
    DragResult r = dragIn(s.panel, data.get(), s.cell(0), {});
    QCOMPARE(s.prompt.conflicts, 1);
    QCOMPARE(readFile(s.sub + "/x.jpg"), QByteArray("old"));
    QCOMPARE(readFile(s.src + "/x.jpg"), QByteArray("x"));

    // A folder dropped onto its own cell: into itself, refused with the
    // file operations' message.
    data = filesData({s.sub});
    r = dragIn(s.panel, data.get(), s.cell(0), {});
    QVERIFY(!r.dropped);
    QCOMPARE(int(s.prompt.errors.size()), 1);
    QCOMPARE(s.prompt.errors[0].kind, pw::FileOpError::IntoItself);
    QVERIFY(QFileInfo(s.sub).isDir());
    QVERIFY(!QFileInfo::exists(s.sub + "/sub"));

    // Ctrl+Shift links: a symbolic link to the source in the subfolder.
    data = filesData({s.src + "/y.jpg"});
    r = dragIn(s.panel, data.get(), s.cell(0), Qt::ControlModifier | Qt::ShiftModifier);
    QVERIFY(r.dropped);
    QCOMPARE(r.dropAction, Qt::LinkAction);
    QCOMPARE(QFileInfo(s.sub + "/y.jpg").symLinkTarget(), s.src + "/y.jpg");
    QCOMPARE(readFile(s.src + "/y.jpg"), QByteArray("y"));

    // A name that is not UTF-8 arrives with its bytes.
    RawTempDir raw;
    const QByteArray odd = raw.bytes() + "/caf\xE9.jpg";
    QVERIFY(writeFileAt(odd, "odd"));
    data = filesData({pw::pathFromNative(odd)});
    r = dragIn(s.panel, data.get(), s.cell(0), Qt::ControlModifier);
    QVERIFY(r.dropped);
    QCOMPARE(readFileAt(pw::nativePath(s.sub) + "/caf\xE9.jpg"), QByteArray("odd"));
    ::unlink(pw::nativePath(s.sub + "/").append("caf\xE9.jpg").constData()); // QTemporaryDir cannot
}

void TestDragDrop::registration()
{
    Panel never; // not shown: no window yet, no drops
    QVERIFY(!never.DropRegistered());
    Scene s;
    QVERIFY(s.panel.DropRegistered());
    QVERIFY(s.panel.acceptDrops());
    const auto data = filesData(s.sources());
    s.panel.DefaultExec().SetDropTarget(false);
    QVERIFY(!s.panel.acceptDrops());
    QVERIFY(!dragIn(s.panel, data.get(), emptySpace(s.panel), {}).entered);
    QVERIFY(QFileInfo::exists(s.src + "/x.jpg"));
    s.panel.SetViewMode(ivmFile); // entering a mode does not register while it is off
    QVERIFY(!s.panel.DropRegistered());
    s.panel.DefaultExec().SetDropTarget(true);
    QVERIFY(s.panel.acceptDrops());
    QVERIFY(dragIn(s.panel, data.get(), emptySpace(s.panel), {}).dropped);
}

void TestDragDrop::fileModeAppends()
{
    Scene s;
    s.panel.SetViewMode(ivmFile);
    QVERIFY(s.panel.AddFile(s.shown + "/a.jpg"));
    // Far longer than 260 characters, taken whole.
    const QString deep = s.src + "/" + QString(120, 'd') + "/" + QString(120, 'e') + "/" +
                         QString(100, 'f') + ".jpg";
    QVERIFY(writeFile(deep, "deep"));
    QVERIFY(deep.size() > 340);
    // In the dropped order, a folder as a folder entry; what cannot be
    // listed (gone, not a local file) is skipped.
    QByteArray list = pw::fileUriOf(s.src + "/y.jpg") + "\r\n" + pw::fileUriOf(s.sub) + "\r\n" +
                      "http://example.org/z.jpg\r\n" + pw::fileUriOf(s.src + "/gone.jpg") + "\r\n" +
                      pw::fileUriOf(s.src + "/x.jpg") + "\r\n" + pw::fileUriOf(deep) + "\r\n";
    const auto data = uriList(list);
    const DragResult r = dragIn(s.panel, data.get(), s.cell(0), {});
    QVERIFY(r.dropped);
    // Nothing was moved: the answer is a copy.
    QCOMPARE(r.dropAction, Qt::CopyAction);
    QStringList names;
    for (int i = 0; i < s.panel.Items().Count(); ++i)
        names << s.panel.Items().Items(i)->ParseName();
    QCOMPARE(names,
             QStringList({s.shown + "/a.jpg", s.src + "/y.jpg", s.sub, s.src + "/x.jpg", deep}));
    QVERIFY(s.panel.Items().Items(2)->IsFolder());
    QVERIFY(QFileInfo::exists(s.src + "/x.jpg"));
}

void TestDragDrop::dragOut()
{
    Scene s;
    QWidget* vp = s.panel.viewport();
    // Not armed: a press on empty space, a drag source turned off.
    mouse(vp, QEvent::MouseButtonPress, emptySpace(s.panel), Qt::LeftButton, Qt::LeftButton);
    QCOMPARE(s.panel.DragArm(), idaNone);
    mouse(vp, QEvent::MouseMove, emptySpace(s.panel) + QPoint(0, 5), Qt::NoButton, Qt::LeftButton);
    mouse(vp, QEvent::MouseButtonRelease, emptySpace(s.panel), Qt::LeftButton, Qt::NoButton);
    s.panel.DefaultExec().DropSource = false;
    mouse(vp, QEvent::MouseButtonPress, s.cell(1), Qt::LeftButton, Qt::LeftButton);
    QCOMPARE(s.panel.DragArm(), idaNone);
    mouse(vp, QEvent::MouseMove, s.cell(1) + QPoint(3, 3), Qt::NoButton, Qt::LeftButton);
    mouse(vp, QEvent::MouseButtonRelease, s.cell(1), Qt::LeftButton, Qt::NoButton);
    QCOMPARE(s.panel.drags, 0);
    s.panel.DefaultExec().DropSource = true;

    // Select a.jpg and b.jpg; a plain press on b.jpg keeps both selected
    // and arms; a move to the same point does nothing, one pixel starts.
    QTest::mouseClick(vp, Qt::LeftButton, {}, s.cell(1));
    s.panel.SetMultiSelect(true);
    QTest::mouseClick(vp, Qt::LeftButton, Qt::ShiftModifier, s.cell(2));
    QCOMPARE(s.panel.SelCount(), 2);
    mouse(vp, QEvent::MouseButtonPress, s.cell(2), Qt::LeftButton, Qt::LeftButton);
    QCOMPARE(s.panel.DragArm(), idaLeftArmed);
    QCOMPARE(s.panel.SelCount(), 2);
    mouse(vp, QEvent::MouseMove, s.cell(2), Qt::NoButton, Qt::LeftButton);
    QCOMPARE(s.panel.drags, 0);
    mouse(vp, QEvent::MouseMove, s.cell(2) + QPoint(1, 0), Qt::NoButton, Qt::LeftButton);
    QCOMPARE(s.panel.drags, 1);
    QCOMPARE(s.panel.armWhileDragging, idaLeftDragging);
    QCOMPARE(s.panel.offered, QStringList({s.shown + "/a.jpg", s.shown + "/b.jpg"}));
    QVERIFY(s.panel.gnome.startsWith("copy\n"));
    QCOMPARE(s.panel.allowed, kAll);
    QCOMPARE(s.panel.preferred, Qt::MoveAction);
    QCOMPARE(s.panel.DragArm(), idaNone);
    mouse(vp, QEvent::MouseButtonRelease, s.cell(2), Qt::LeftButton, Qt::NoButton);
    QCOMPARE(s.panel.SelCount(), 2); // the drag took the click

    // Without a drag the press on the selection is a click after all.
    mouse(vp, QEvent::MouseButtonPress, s.cell(2), Qt::LeftButton, Qt::LeftButton);
    mouse(vp, QEvent::MouseButtonRelease, s.cell(2), Qt::LeftButton, Qt::NoButton);
    QCOMPARE(s.panel.SelCount(), 1);
    QCOMPARE(s.panel.CurrentIndex(), 2);

    // A move whose armed button is no longer held starts nothing; DragType
    // limits what is offered; the right button drags too.
    mouse(vp, QEvent::MouseButtonPress, s.cell(2), Qt::LeftButton, Qt::LeftButton);
    mouse(vp, QEvent::MouseMove, s.cell(2) + QPoint(4, 0), Qt::NoButton, Qt::RightButton);
    QCOMPARE(s.panel.drags, 1);
    mouse(vp, QEvent::MouseButtonRelease, s.cell(2), Qt::LeftButton, Qt::NoButton);
    s.panel.DefaultExec().DragType = 1u << idtCopy;
    mouse(vp, QEvent::MouseButtonPress, s.cell(2), Qt::RightButton, Qt::RightButton);
    QCOMPARE(s.panel.DragArm(), idaRightArmed);
    mouse(vp, QEvent::MouseMove, s.cell(2) + QPoint(0, 2), Qt::NoButton, Qt::RightButton);
    QCOMPARE(s.panel.drags, 2);
    QCOMPARE(s.panel.armWhileDragging, idaRightDragging);
    QCOMPARE(s.panel.allowed, Qt::DropActions(Qt::CopyAction));
    QCOMPARE(s.panel.preferred, Qt::CopyAction);
    QCOMPARE(s.panel.offered, QStringList({s.shown + "/b.jpg"}));
}

void TestDragDrop::dropOntoItself()
{
    Scene s;
    QWidget* vp = s.panel.viewport();
    QTest::mouseClick(vp, Qt::LeftButton, {}, s.cell(1));
    // Left-button drag dropped back: onto the subfolder and onto empty
    // space with Ctrl, nothing happens.
    for (const auto& [at, keys] :
         {std::pair{s.cell(0), Qt::KeyboardModifiers()},
          std::pair{emptySpace(s.panel), Qt::KeyboardModifiers(Qt::ControlModifier)}}) {
        s.panel.dropAt = at;
        s.panel.dropKeys = keys;
        mouse(vp, QEvent::MouseButtonPress, s.cell(1), Qt::LeftButton, Qt::LeftButton);
        mouse(vp, QEvent::MouseMove, s.cell(1) + QPoint(2, 2), Qt::NoButton, Qt::LeftButton);
        mouse(vp, QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
        QCOMPARE(s.panel.dropAnswer, Qt::IgnoreAction);
    }
    QCOMPARE(s.panel.drags, 2);
    QVERIFY(QFileInfo::exists(s.shown + "/a.jpg"));
    QVERIFY(!QFileInfo::exists(s.sub + "/a.jpg"));
    QVERIFY(!QFileInfo::exists(s.shown + "/a - コピー.jpg"));
    // A right-button drag from here is passed on like any other.
    s.panel.dropAt = s.cell(0);
    s.panel.dropKeys = {};
    mouse(vp, QEvent::MouseButtonPress, s.cell(1), Qt::RightButton, Qt::RightButton);
    mouse(vp, QEvent::MouseMove, s.cell(1) + QPoint(2, 2), Qt::NoButton, Qt::RightButton);
    mouse(vp, QEvent::MouseButtonRelease, s.cell(0), Qt::RightButton, Qt::NoButton);
    QCOMPARE(s.panel.dropAnswer, Qt::MoveAction);
    QCOMPARE(readFile(s.sub + "/a.jpg"), QByteArray("a"));
    QVERIFY(!QFileInfo::exists(s.shown + "/a.jpg"));
}

void TestDragDrop::dragAnswers_data()
{
    QTest::addColumn<bool>("escape");
    QTest::addColumn<int>("buttons");
    QTest::addColumn<int>("answer");
    const int go = int(TDragAnswer::Continue), drop = int(TDragAnswer::Drop),
              cancel = int(TDragAnswer::Cancel);
    QTest::newRow("left held") << false << int(Qt::LeftButton) << go;
    QTest::newRow("right held") << false << int(Qt::RightButton) << go;
    QTest::newRow("left and middle") << false << int(Qt::LeftButton | Qt::MiddleButton) << go;
    QTest::newRow("released") << false << int(Qt::NoButton) << drop;
    QTest::newRow("only middle") << false << int(Qt::MiddleButton) << drop;
    QTest::newRow("left and right") << false << int(Qt::LeftButton | Qt::RightButton) << cancel;
    QTest::newRow("escape") << true << int(Qt::LeftButton) << cancel;
    QTest::newRow("escape after release") << true << int(Qt::NoButton) << cancel;
}

void TestDragDrop::dragAnswers()
{
    QFETCH(bool, escape);
    QFETCH(int, buttons);
    QFETCH(int, answer);
    QCOMPARE(int(DragContinueAnswer(escape, Qt::MouseButtons(buttons))), answer);
}

void TestDragDrop::scrollRule_data()
{
    // height 200, font 16, margin 17: up below y 16, down above y 167.
    QTest::addColumn<int>("y");
    QTest::addColumn<int>("step");
    QTest::newRow("top") << 0 << -1;
    QTest::newRow("inside top band") << 15 << -1;
    QTest::newRow("below top band") << 16 << 0;
    QTest::newRow("middle") << 100 << 0;
    QTest::newRow("at bottom band") << 167 << 0;
    QTest::newRow("inside bottom band") << 168 << 1;
    QTest::newRow("bottom") << 199 << 1;
}

void TestDragDrop::scrollRule()
{
    QFETCH(int, y);
    QFETCH(int, step);
    qint64 now = 1000;
    TDragScroll scroll;
    scroll.SetClock([&now] { return now; });
    scroll.Reset();
    QCOMPARE(scroll.Step(y, 200, 16, 17), 0); // not before a full interval
    now += TDragScroll::Interval;
    QCOMPARE(scroll.Step(y, 200, 16, 17), step);
    if (step == 0) return;
    now += TDragScroll::Interval - 1;
    QCOMPARE(scroll.Step(y, 200, 16, 17), 0);
    now += 1;
    QCOMPARE(scroll.Step(y, 200, 16, 17), step);
}

void TestDragDrop::autoScrollTiming()
{
    QTemporaryDir dir;
    QVERIFY(makeEmptyFiles(dir.path(), 80));
    pw::QuietFileOpPrompt prompt;
    pw::FileVerbs verbs(prompt);
    TFileVerbsAdapter adapter(verbs);
    Panel panel;
    panel.SetShellVerbs(&adapter);
    panel.ViewImage().SetImageWidth(40);
    panel.ViewImage().SetImageHeight(40);
    panel.resize(300, 240);
    panel.show();
    qint64 now = 5000;
    panel.SetDragClock([&now] { return now; });
    panel.OpenFolder(dir.path());
    QCoreApplication::processEvents();
    const int cols = panel.Columns();
    QVERIFY(cols > 0 && panel.Rows() > 1 &&
            panel.Items().Count() > panel.VisibleCells() + 2 * cols);
    panel.ShowFrom(3 * cols);

    QTemporaryDir srcDir;
    writeFile(srcDir.path() + "/x.jpg", "x");
    const auto data = filesData({srcDir.path() + "/x.jpg"});
    const QPoint top(1, 1);
    const QPoint bottom(1, panel.viewport()->height() - 2);
    const QPoint middle(1, panel.viewport()->height() / 2);
    auto over = [&](QPoint at) {
        QDragMoveEvent move(panel.viewport()->mapTo(&panel, at), kAll, data.get(), Qt::LeftButton,
                            {});
        QApplication::sendEvent(&panel, &move);
        return move.isAccepted();
    };
    QDragEnterEvent enter(panel.viewport()->mapTo(&panel, top), kAll, data.get(), Qt::LeftButton,
                          {});
    QApplication::sendEvent(&panel, &enter);
    QVERIFY(enter.isAccepted());

    QVERIFY(over(top));
    QCOMPARE(panel.TopIndex(), 3 * cols); // the interval counts from the enter
    now += 299;
    QVERIFY(over(top));
    QCOMPARE(panel.TopIndex(), 3 * cols);
    now += 1;
    QVERIFY(over(top));
    QCOMPARE(panel.TopIndex(), 2 * cols);
    now += 100;
    QVERIFY(over(top));
    QCOMPARE(panel.TopIndex(), 2 * cols);
    now += 200;
    QVERIFY(over(bottom));
    QCOMPARE(panel.TopIndex(), 3 * cols);
    now += 10000;
    QVERIFY(over(middle));
    QCOMPARE(panel.TopIndex(), 3 * cols);
    // Resting near the edge goes on scrolling without new positions, one
    // row per interval of the clock.
    QVERIFY(over(top));
    QCOMPARE(panel.TopIndex(), 2 * cols);
    QTest::qWait(200);
    QCOMPARE(panel.TopIndex(), 2 * cols);
    now += 300;
    QTRY_COMPARE(panel.TopIndex(), cols);
    QTest::qWait(200);
    QCOMPARE(panel.TopIndex(), cols);

    QDragLeaveEvent leave;
    QApplication::sendEvent(&panel, &leave);
    now += 300;
    QTest::qWait(200);
    QCOMPARE(panel.TopIndex(), cols);

    // File mode never scrolls.
    panel.SetViewMode(ivmFile);
    for (int i = 0; i < 3 * cols + 1; ++i)
        panel.AddFile(dir.path() + QStringLiteral("/f%1.jpg").arg(i));
    QVERIFY(panel.Items().Count() > panel.VisibleCells());
    panel.ShowFrom(cols);
    QApplication::sendEvent(&panel, &enter);
    now += 1000;
    QVERIFY(over(top));
    QCOMPARE(panel.TopIndex(), cols);
}

QTEST_MAIN(TestDragDrop)
#include "tst_dragdrop.moc"
