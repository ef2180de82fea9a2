// The Qt side of xvfb_clipboard.sh, on the real X clipboard:
//   xvfb_clipboard_tool put READYFILE PATH...  puts the paths (copied) on the
//       clipboard, writes READYFILE and keeps the selection until
//       READYFILE.quit appears;
//   xvfb_clipboard_tool paste FOLDER  reads the clipboard's files, prints
//       "files=N cut=0|1" and pastes them into FOLDER through the file verbs
//       (exit 0 when the paste succeeded).
#include "platform/FileClipboard.h"
#include "platform/FileVerbs.h"

#include <QFile>
#include <QGuiApplication>
#include <QTimer>

#include <cstdio>

namespace pw = sq::platform;

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() >= 3 && args[0] == QLatin1String("put")) {
        const QString ready = args[1];
        pw::putFilesOnClipboard(args.mid(2), false);
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
        pw::QuietFileOpPrompt prompt(pw::ConflictAnswer::Cancel);
        pw::FileVerbs verbs(prompt);
        const bool ok = verbs.paste(args[1]);
        std::printf("paste=%d done=%d\n", ok ? 1 : 0, verbs.lastResult().done);
        std::fflush(stdout);
        // Let the emptied clipboard reach the server before leaving.
        QTimer::singleShot(300, [] { QCoreApplication::quit(); });
        app.exec();
        return ok ? 0 : 1;
    }
    std::fprintf(stderr, "usage: xvfb_clipboard_tool put READY PATH... | paste FOLDER\n");
    return 2;
}
