// The Qt side of xvfb_conflict.sh, on a real X server: pastes 200 files into
// a folder that holds the middle one already, with the dialog prompt and its
// progress window (shown from the first file), through the real clipboard.
//   xvfb_conflict_tool WORK STATE
// While the conflict question is open it keeps STATE up to date: the box's
// geometry, the centre of its 置き換え button, and whether any other window
// has covered it so far (the progress window visible, or another modal
// window active). After the
// paste it prints "middle=old|new last=0|1 cancelled=0|1" and exits 0.
#include "platform/FileClipboard.h"
#include "platform/FileOpsDialogs.h"
#include "platform/FileVerbs.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <cstdio>

namespace pw = sq::platform;

namespace {

bool write(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// Whole or not at all, for the script that reads it meanwhile.
void replaceFile(const QString& path, const QByteArray& bytes)
{
    const QString temp = path + QStringLiteral(".new");
    if (write(temp, bytes)) std::rename(temp.toUtf8().constData(), path.toUtf8().constData());
}

bool progressVisible()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String("FileOpProgress") && w->isVisible()) return true;
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: xvfb_conflict_tool WORK STATE\n");
        return 2;
    }
    const QString work = args[0], state = args[1];
    QDir().mkpath(work + "/src");
    QDir().mkpath(work + "/dst");
    QStringList sources;
    for (int i = 0; i < 200; ++i) {
        const QString name = QStringLiteral("f%1.jpg").arg(i, 3, 10, QLatin1Char('0'));
        if (!write(work + "/src/" + name, i == 100 ? QByteArray("new") : QByteArray(65536, 'x')))
            return 2;
        sources << work + "/src/" + name;
    }
    if (!write(work + "/dst/f100.jpg", "old")) return 2;

    QWidget owner;
    owner.setWindowTitle(QStringLiteral("owner"));
    owner.setGeometry(0, 0, 500, 360);
    owner.show();
    pw::DialogFileOpPrompt prompt(&owner);
    prompt.setShowDelay(0);
    pw::FileVerbs verbs(prompt);

    bool seenProgress = false, everCovered = false;
    // The progress window's showing is caught as it happens: a fast copy may
    // show and pass it between two polls.
    struct ShowSeen : QObject
    {
        bool& seen;
        explicit ShowSeen(bool& s) : seen(s) {}
        bool eventFilter(QObject* o, QEvent* e) override
        {
            if (e->type() == QEvent::Show && o->objectName() == QLatin1String("FileOpProgress"))
                seen = true;
            return false;
        }
    } showSeen(seenProgress);
    app.installEventFilter(&showSeen);
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (progressVisible()) seenProgress = true;
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible()) return;
        QPoint replace;
        for (QAbstractButton* b : box->buttons())
            if (b->text().startsWith(QStringLiteral("置き換え")))
                replace = b->mapToGlobal(b->rect().center());
        const QRect g = box->frameGeometry();
        if (progressVisible() || QApplication::activeModalWidget() != box) everCovered = true;
        replaceFile(state, QStringLiteral(
                               "box %1 %2 %3 %4\nreplace %5 %6\ncovered %7\nprogress-before %8\n")
                               .arg(g.x())
                               .arg(g.y())
                               .arg(g.width())
                               .arg(g.height())
                               .arg(replace.x())
                               .arg(replace.y())
                               .arg(everCovered ? 1 : 0)
                               .arg(seenProgress ? 1 : 0)
                               .toUtf8());
    });
    watch.start(50);
    // Gives up rather than hang when nobody answers.
    QTimer::singleShot(60000, [] { std::_Exit(3); });
    QTimer::singleShot(200, [&] {
        pw::putFilesOnClipboard(sources, false);
        verbs.paste(work + "/dst");
        QFile middle(work + "/dst/f100.jpg");
        middle.open(QIODevice::ReadOnly);
        std::printf("middle=%s last=%d cancelled=%d\n", middle.readAll().constData(),
                    QFile::exists(work + "/dst/f199.jpg") ? 1 : 0,
                    verbs.lastResult().cancelled ? 1 : 0);
        std::fflush(stdout);
        QCoreApplication::quit();
    });
    return app.exec();
}
