// r770cfg: creates the main window (which creates its dialogs) and runs the message loop
// until the main window closes. --help and --version answer without a display.
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

#include "document/app_command_line.h"
#include "document/program_settings.h"
#include "ui/main_window.h"
#include "ui/translations.h"

namespace {

// Answers --help and --version, or reports a wrong command line; -1 when the program runs.
int Answer(const r770::AppCommandLine& cl) {
  using Action = r770::AppCommandLine::Action;
  switch (cl.action) {
    case Action::Help: {
      r770::ProgramFolders folders = r770::CurrentFolders();
      std::cout << r770::AppHelpText(folders, r770::SettingsPathIn(folders.settings));
      return 0;
    }
    case Action::Version:
      std::cout << r770::AppVersionText();
      return 0;
    case Action::Error:
      std::cerr << "r770cfg: " << cl.error << " (подробнее: --help)\n";
      return 2;
    case Action::Run:
      break;
  }
  return -1;
}

}  // namespace

int main(int argc, char* argv[]) {
  // --help and --version without a display; a wrong command line is told once Qt has taken
  // its own options (-platform, -style, ...), which it cannot be before.
  if (const r770::AppCommandLine early = r770::ParseAppCommandLine({argv + 1, argv + argc});
      early.action != r770::AppCommandLine::Action::Error)
    if (int code = Answer(early); code >= 0) return code;

  QApplication app(argc, argv);  // takes Qt's own options (-platform, -style, ...)
  r770::InstallQtTranslations(app);
  std::vector<std::string> args;
  for (const QString& a : app.arguments().mid(1)) args.push_back(a.toStdString());
  const r770::AppCommandLine cl = r770::ParseAppCommandLine(args);
  if (int code = Answer(cl); code >= 0) return code;

  r770::TFNastr window(r770::DefaultSettingsPath());
  // r770cfg FILE.bmt: the document is opened once the window is up.
  window.Form().SetStartDocument(cl.document);
  window.show();
  bool refused = false;  // the start said something in a message box
  std::function<void()> quitAfterStart = [&] {
    // Without anyone to read it, what the start says in a message box (a refused document,
    // an unreadable settings file) goes to stderr, the box is closed and the start failed.
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      std::cerr << "r770cfg: " << box->text().toStdString() << std::endl;
      refused = true;
      box->done(QMessageBox::Ok);
      QTimer::singleShot(0, &window, quitAfterStart);
      return;
    }
    // A load of the start document lets events run: the check comes again once it is over.
    if (window.Form().Running()) {
      QTimer::singleShot(10, &window, quitAfterStart);
      return;
    }
    if (!window.isVisible()) {
      std::cerr << "r770cfg: главное окно не показано\n";
      app.exit(1);
      return;
    }
    std::cout << "r770cfg: главное окно показано: " << window.windowTitle().toStdString() << std::endl;
    app.exit(refused ? 1 : 0);
  };
  // Queued after the start-up steps the first showing scheduled.
  if (cl.quitAfterStart) QTimer::singleShot(0, &window, quitAfterStart);
  return app.exec();
}
