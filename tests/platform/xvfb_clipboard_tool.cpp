// The Qt side of xvfb_clipboard.sh, on the real X clipboard, through the
// thumbnail browser's keys:
//   xvfb_clipboard_tool put READYFILE FOLDER  shows FOLDER in a browser,
//       presses Ctrl+A and Ctrl+C, writes READYFILE and keeps the selection
//       until READYFILE.quit appears;
//   xvfb_clipboard_tool paste FOLDER  reads the clipboard's files, prints
//       "files=N cut=0|1", shows FOLDER in a browser and presses Ctrl+V
//       (exit 0 when the paste succeeded).
#include "browser/ImgPanel.h"
#include "platform/FileClipboard.h"
#include "platform/FileVerbs.h"

#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QTimer>

#include <cstdio>

namespace pw = sq::platform;

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    pw::QuietFileOpPrompt prompt(pw::ConflictAnswer::Cancel);
    pw::FileVerbs verbs(prompt);
    TFileVerbsAdapter shellVerbs(verbs);
    TImgPanel panel;
    panel.SetShellVerbs(&shellVerbs);
    panel.resize(400, 300);
    const auto press = [&panel](Qt::Key key) {
        QKeyEvent down(QEvent::KeyPress, key, Qt::ControlModifier);
        QApplication::sendEvent(&panel, &down);
    };
    if (args.size() == 3 && args[0] == QLatin1String("put")) {
        const QString ready = args[1];
        panel.show();
        panel.OpenFolder(args[2]);
        press(Qt::Key_A);
        press(Qt::Key_C);
        QTimer::singleShot(0, [ready] {
            QFile f(ready);
            f.open(QIODevice::WriteOnly);
        });
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [ready] {
            if (QFile::exists(ready + QStringLiteral(".quit"))) QCoreApplication::quit();
        });
        poll.start(50);
        QTimer::singleShot(30000, [] { QCoreApplication::exit(2); });
        return app.exec();
    }
    if (args.size() == 2 && args[0] == QLatin1String("paste")) {
        const pw::ClipboardFiles files = pw::filesOnClipboard();
        std::printf("files=%d cut=%d\n", int(files.paths.size()), files.cut ? 1 : 0);
        panel.show();
        panel.OpenFolder(args[1]);
        press(Qt::Key_V);
        const bool ok = verbs.lastResult().done > 0 && !verbs.lastResult().cancelled;
        std::printf("paste=%d done=%d\n", ok ? 1 : 0, verbs.lastResult().done);
        std::fflush(stdout);
        // Let the emptied clipboard reach the server before leaving.
        QTimer::singleShot(300, [] { QCoreApplication::quit(); });
        app.exec();
        return ok ? 0 : 1;
    }
    std::fprintf(stderr, "usage: xvfb_clipboard_tool put READY FOLDER | paste FOLDER\n");
    return 2;
}
