// Qt's own texts (standard dialogs, context menus of text fields, print and colour
// dialogs) in Russian, like the rest of the program.
#pragma once

class QCoreApplication;

namespace r770 {

// Loads qtbase_ru from Qt's translation folder and installs it in app. False when the
// translation is not installed (the standard texts then stay in English).
bool InstallQtTranslations(QCoreApplication& app);

}  // namespace r770
