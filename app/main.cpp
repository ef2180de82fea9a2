// Program entry: decides the data folder, creates the windows and runs the
// event loop.
#include "app/Globals.h"
#include "app/Unit1.h"
#include "platform/DataFolder.h"

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

    sq::app::createWindows(dataFolder);
    Form1->show();
    const int rc = app.exec();
    sq::app::destroyWindows();
    return rc;
}
