// r770cfg: creates the main window (which creates its dialogs) and runs the message loop
// until the main window closes.
#include <QApplication>

#include "document/program_settings.h"
#include "ui/main_window.h"
#include "ui/translations.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  r770::InstallQtTranslations(app);
  r770::TFNastr window(r770::DefaultSettingsPath());
  window.show();
  return app.exec();
}
