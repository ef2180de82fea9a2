// Program entry: reads the command line, decides the data folder, creates
// the windows and runs the event loop. The first argument, a folder or file,
// is opened after the start-up folder; a file is also selected and previewed.
#include "app/CommandLine.h"
#include "app/Translations.h"
#include "app/Unit1.h"
#include "app/Windows.h"
#include "platform/DataFolder.h"
#include "platform/DisplayPlatform.h"
#include "platform/StartTrace.h"
#include "platform/TermSignals.h"
#include "state/Globals.h"

#include <QApplication>

#include <algorithm>
#include <cstdio>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define SQ_HAS_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SQ_HAS_ASAN 1
#endif
#endif

#ifdef SQ_HAS_ASAN
// libdbus keeps a buffer of its connection to the session bus until exit;
// LeakSanitizer reports it at every exit of the sanitizer build. Only that
// library is excused, so that the program's own leaks stand out.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libdbus-1.so\n";
}
// The list of suppressions used would be printed at every exit as well.
extern "C" const char* __lsan_default_options()
{
    return "print_suppressions=0";
}
#endif

int main(int argc, char** argv)
{
    // The command line is read before Qt sees it, so --help and --version
    // need no display, and a path is never taken for one of Qt's options.
    const sq::app::CommandLine command =
        sq::app::parseCommandLine(std::vector<QByteArray>(argv + std::min(argc, 1), argv + argc));
    switch (command.action) {
    case sq::app::CommandLine::Help:
        std::fputs(qPrintable(sq::app::usageText()), stdout);
        return 0;
    case sq::app::CommandLine::Version:
        std::printf("sorrelquint %s\n", SQ_VERSION);
        return 0;
    case sq::app::CommandLine::Error:
        std::fprintf(stderr, "sorrelquint: %s\n%s", qPrintable(command.error),
                     qPrintable(sq::app::usageText()));
        return 2;
    case sq::app::CommandLine::Run:
        break;
    }
    std::vector<char*> qtArgv{argc > 0 ? argv[0] : const_cast<char*>("sorrelquint")};
    std::vector<QByteArray> qtArguments = command.qtArguments;
    for (QByteArray& arg : qtArguments)
        qtArgv.push_back(arg.data());
    int qtArgc = static_cast<int>(qtArgv.size());
    qtArgv.push_back(nullptr);

    // In a Wayland session the program runs on XWayland where it can.
    sq::platform::applyDisplayPlatform(command.qtArguments);
    sq::platform::traceStart("main");
    QApplication app(qtArgc, qtArgv.data());
    sq::platform::traceStart("application");
    // A logout or kill closes the main window like its close box, so the
    // settings and favourites are saved. Hooked before the windows are made:
    // a request during a slow start is served once the event loop runs.
    sq::platform::onTerminationRequest([] {
        if (Form1)
            Form1->close();
    });
    app.setApplicationName(QStringLiteral("Sorrelquint"));
    app.setApplicationVersion(QStringLiteral(SQ_VERSION));
    sq::app::installQtTranslations(app);

    // SORRELQUINT_DATA_DIR points tests and users at a data folder of their own.
    // Both by their bytes, so a folder whose name is not UTF-8 is used as named.
    QString dataFolder = sq::platform::dataFolderFromEnvironment();
    if (dataFolder.isEmpty())
        dataFolder = sq::platform::chooseDataFolder(sq::platform::executableFolder());

    sq::app::createWindows(dataFolder, command.path);
    sq::platform::traceStart("windows created");
    Form1->show();
    sq::platform::traceStart("main window shown");
    const int rc = app.exec();
    sq::app::destroyWindows();
    return rc;
}
