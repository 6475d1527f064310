// r770cfg: creates the main window (which creates its dialogs) and runs the message loop
// until the main window closes.
#include <QApplication>
#include <string>
#include <vector>

#include "document/program_settings.h"
#include "ui/main_window.h"
#include "ui/translations.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  r770::InstallQtTranslations(app);
  r770::TFNastr window(r770::DefaultSettingsPath());
  // r770cfg FILE.bmt: the document is opened once the window is up.
  std::vector<std::string> args;
  for (const QString& a : app.arguments()) args.push_back(a.toStdString());
  window.Form().SetStartDocument(r770::StartDocumentArgument(args));
  window.show();
  return app.exec();
}
