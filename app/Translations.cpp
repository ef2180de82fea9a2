#include "app/Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include <cstdio>

namespace sq::app {

bool installQtTranslations(QCoreApplication& app)
{
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    auto* translator = new QTranslator(&app);
    if (!translator->load(QStringLiteral("qtbase_ja"), folder)) {
        delete translator;
        std::fprintf(stderr,
                     "sorrelquint: qtbase_ja.qm not found in %s (package qt6-translations-l10n); "
                     "standard dialogs stay in English\n",
                     qPrintable(folder));
        return false;
    }
    return app.installTranslator(translator);
}

} // namespace sq::app
