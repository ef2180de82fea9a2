// Program entry: decides the data folder, creates the windows and runs the
// event loop. The first argument, a folder or file, is opened after the
// start-up folder.
#include "app/Globals.h"
#include "app/Unit1.h"
#include "platform/DataFolder.h"
#include "platform/NativePath.h"
#include "platform/TermSignals.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("Sorrelquint"));
    app.setApplicationVersion(QStringLiteral(SQ_VERSION));

    // SORRELQUINT_DATA_DIR points tests and users at a data folder of their own.
    QString dataFolder = qEnvironmentVariable("SORRELQUINT_DATA_DIR");
    if (dataFolder.isEmpty())
        dataFolder = sq::platform::chooseDataFolder(QCoreApplication::applicationDirPath());
    else if (!dataFolder.endsWith(QLatin1Char('/')))
        dataFolder += QLatin1Char('/');

    // The path by its bytes (QApplication has taken its own options out of
    // argv): arguments() would lose a name that is not UTF-8.
    sq::app::createWindows(dataFolder, argc > 1 ? sq::platform::pathFromNative(QByteArray(argv[1]))
                                                : QString());
    // A logout or kill closes the main window like its close box, so the
    // settings and favourites are saved.
    sq::platform::onTerminationRequest([] {
        if (Form1)
            Form1->close();
    });
    Form1->show();
    const int rc = app.exec();
    sq::app::destroyWindows();
    return rc;
}
