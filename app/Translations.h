// Qt's own Japanese texts for the standard dialogs and buttons (file
// dialogs, message boxes, OK/Cancel), so that they speak the program's
// language. Installed once by the program's entry, before any window exists.
#pragma once

class QCoreApplication;

namespace sq::app {

// Loads qtbase_ja from Qt's translations folder into the application,
// whatever the user's locale: the program's own texts are Japanese. Returns
// false (and says so once on stderr) when the catalogue is not installed; the
// standard dialogs then stay in English.
bool installQtTranslations(QCoreApplication& app);

} // namespace sq::app
