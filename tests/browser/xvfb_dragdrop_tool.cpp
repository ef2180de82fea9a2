// The other program of xvfb_dragdrop.sh, a separate process on the real X
// server (no window manager):
//   xvfb_dragdrop_tool source X Y FILE...  a window at X,Y whose left press
//       drags FILE... as a text/uri-list (copy, move and link allowed, the
//       action left to the keys and the target); prints "result=ACTION"
//       when the drag is over and ends.
//   xvfb_dragdrop_tool target X Y [FOLDER]  a window at X,Y that takes one
//       drop of a text/uri-list: prints "action=ACTION", then the list's
//       lines as "uri=LINE", then, with FOLDER, moves the files there as a
//       file manager would ("moved=N") and ends.
//   xvfb_dragdrop_tool browser X Y FOLDER  the real thumbnail browser
//       alone, folders listed, showing FOLDER with the platform's file verbs
//       and their dialogs; prints "cell0=X,Y" (the first cell's centre on
//       the screen) once the folder is shown.
//   xvfb_dragdrop_tool read-drag TARGET  asks the X drag selection's owner
//       for its data as TARGET, with no time stamp, as a third program
//       would while a drag runs; prints the data and ends (1 if refused).
// Each window writes "ready" to stdout once its window is shown. "max max" for X Y
// shows the window maximised instead: a Wayland client cannot place its
// window, so a test that needs to know where it is fills the screen with it.
#include "browser/ImgPanel.h"
#include "platform/FileOpsDialogs.h"
#include "platform/FileVerbs.h"
#include "platform/NativePath.h"
#include "platform/XAtom.h"

#include <QApplication>
#include <QDrag>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QTimer>
#include <QWidget>

#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <unistd.h>

namespace pw = sq::platform;

namespace {

const char* actionName(Qt::DropAction a)
{
    switch (a) {
    case Qt::CopyAction:
        return "copy";
    case Qt::MoveAction:
        return "move";
    case Qt::LinkAction:
        return "link";
    default:
        return "ignore";
    }
}

void say(const QByteArray& line)
{
    std::fputs(line.constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

class Source : public QWidget
{
public:
    explicit Source(QStringList files) : m_files(std::move(files))
    {
        setAutoFillBackground(true);
        setPalette(QPalette(QColor(200, 120, 40)));
    }

protected:
    void mousePressEvent(QMouseEvent* e) override
    {
        if (e->button() != Qt::LeftButton) return;
        QByteArray list;
        for (const QString& f : m_files)
            list += "file://" + pw::nativePath(f).toPercentEncoding("/") + "\r\n";
        auto* data = new QMimeData;
        data->setData(QStringLiteral("text/uri-list"), list);
        auto* drag = new QDrag(this);
        drag->setMimeData(data);
        const Qt::DropAction result = drag->exec(Qt::CopyAction | Qt::MoveAction | Qt::LinkAction);
        say(QByteArray("result=") + actionName(result));
        QTimer::singleShot(200, qApp, &QCoreApplication::quit);
    }

private:
    QStringList m_files;
};

class Target : public QWidget
{
public:
    explicit Target(QString folder) : m_folder(std::move(folder))
    {
        setAcceptDrops(true);
        setAutoFillBackground(true);
        setPalette(QPalette(QColor(40, 120, 200)));
    }

protected:
    void dragEnterEvent(QDragEnterEvent* e) override
    {
        if (e->mimeData()->hasFormat(QStringLiteral("text/uri-list"))) e->acceptProposedAction();
    }
    void dragMoveEvent(QDragMoveEvent* e) override { e->acceptProposedAction(); }
    void dropEvent(QDropEvent* e) override
    {
        e->acceptProposedAction();
        say(QByteArray("action=") + actionName(e->dropAction()));
        for (const QString& f : e->mimeData()->formats())
            say("format=" + f.toUtf8() + " " + QByteArray::number(e->mimeData()->data(f).size()));
        const QByteArray list = e->mimeData()->data(QStringLiteral("text/uri-list"));
        QStringList paths;
        for (QByteArray line : list.split('\n')) {
            line = line.trimmed();
            if (line.isEmpty()) continue;
            say("uri=" + line);
            if (line.startsWith("file://"))
                paths << pw::pathFromNative(QByteArray::fromPercentEncoding(line.mid(7)));
        }
        if (!m_folder.isEmpty()) {
            int moved = 0;
            for (const QString& p : paths) {
                const QByteArray from = pw::nativePath(p);
                const QByteArray to = pw::nativePath(m_folder) + from.mid(from.lastIndexOf('/'));
                if (::rename(from.constData(), to.constData()) == 0) ++moved;
            }
            say("moved=" + QByteArray::number(moved));
        }
        QTimer::singleShot(200, qApp, &QCoreApplication::quit);
    }

private:
    QString m_folder;
};

int readDrag(const char* target)
{
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) return 2;
    const xcb_window_t win = xcb_generate_id(c);
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    xcb_create_window(c, XCB_COPY_FROM_PARENT, win, screen->root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
    const xcb_atom_t property = pw::internAtom(c, "SQ_DRAG_DATA");
    xcb_convert_selection(c, win, pw::internAtom(c, "XdndSelection"), pw::internAtom(c, target), property,
                          XCB_CURRENT_TIME);
    xcb_flush(c);
    int rc = 1;
    pollfd p{xcb_get_file_descriptor(c), POLLIN, 0};
    for (int waited = 0; waited < 5000 && rc == 1;) {
        xcb_generic_event_t* e = xcb_poll_for_event(c);
        if (!e) {
            if (poll(&p, 1, 100) == 0) waited += 100;
            continue;
        }
        if ((e->response_type & 0x7f) == XCB_SELECTION_NOTIFY) {
            const auto* n = reinterpret_cast<xcb_selection_notify_event_t*>(e);
            rc = 3;
            if (n->property != XCB_ATOM_NONE) {
                xcb_get_property_reply_t* r = xcb_get_property_reply(
                    c, xcb_get_property(c, true, win, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 1 << 24),
                    nullptr);
                if (r) {
                    std::fwrite(xcb_get_property_value(r), 1, size_t(xcb_get_property_value_length(r)),
                                stdout);
                    rc = 0;
                }
                std::free(r);
            }
        }
        std::free(e);
    }
    xcb_disconnect(c);
    return rc == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "read-drag") == 0) return readDrag(argv[2]);
    QApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() < 3) {
        std::fprintf(stderr, "usage: xvfb_dragdrop_tool source|target|browser X Y ...\n");
        return 2;
    }
    const QPoint at(args[1].toInt(), args[2].toInt());
    const QStringList rest = args.mid(3);
    // Every run ends by itself in time, whatever the test's fate.
    QTimer::singleShot(60000, [] { QCoreApplication::exit(3); });
    std::unique_ptr<QWidget> window;
    pw::DialogFileOpPrompt prompt;
    pw::FileVerbs verbs(prompt);
    TFileVerbsAdapter adapter(verbs);
    if (args[0] == QLatin1String("source") && !rest.isEmpty()) {
        window = std::make_unique<Source>(rest);
    } else if (args[0] == QLatin1String("target")) {
        window = std::make_unique<Target>(rest.value(0));
    } else if (args[0] == QLatin1String("browser") && rest.size() == 1) {
        auto panel = std::make_unique<TImgPanel>();
        panel->SetShellVerbs(&adapter);
        panel->ViewImage().SetImageWidth(80);
        panel->ViewImage().SetImageHeight(60);
        TImgPanel* p = panel.get();
        window = std::move(panel);
        QTimer::singleShot(0, [p, folder = rest[0]] {
            p->OpenFolder(folder);
            const QPoint c = p->viewport()->mapToGlobal(p->PictureBox(0).center());
            say("cell0=" + QByteArray::number(c.x()) + "," + QByteArray::number(c.y()));
        });
    } else {
        std::fprintf(stderr, "bad arguments\n");
        return 2;
    }
    window->setWindowTitle(QStringLiteral("dnd-") + args[0]);
    if (args[1] == QLatin1String("max")) {
        window->showMaximized();
    } else {
        window->setGeometry(at.x(), at.y(), 300, 200);
        window->show();
    }
    QTimer::singleShot(500, [] { say("ready"); });
    return app.exec();
}
