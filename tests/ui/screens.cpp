// Draws the configurator's windows into PNG files for review:
//   r770_screens OUTPUT_FOLDER [DATABASE_ROOT DOCUMENT]
// The windows are filled from a throw-away settings file and database tree, or from the given
// database with the given document loaded into the main window.
#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QMenuBar>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QWidget>
#include <cstdio>
#include <fstream>

#include "ui/common_window.h"
#include "ui/exchange_settings_window.h"
#include "ui/main_window.h"
#include "ui/modbus_read_window.h"
#include "ui/modbus_settings_window.h"
#include "ui/way_window.h"

namespace {

void Settle() {
  for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
}

bool Save(QWidget* w, const QString& folder, const char* name) {
  w->show();
  w->raise();
  Settle();
  bool ok = w->grab().save(folder + "/" + name);
  std::printf("%s %s\n", name, ok ? "written" : "FAILED");
  return ok;
}

}  // namespace

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: r770_screens OUTPUT_FOLDER\n");
    return 2;
  }
  QString out = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(out);
  QTemporaryDir tmp;
  QString db = argc >= 4 ? QString::fromLocal8Bit(argv[2]) : tmp.path() + "/L8";
  const std::string document = argc >= 4 ? argv[3] : "";
  for (const char* sub : {"/ALG", "/MOD", "/TASK"}) QDir().mkpath(db + sub);
  std::string ini = (tmp.path() + "/r770cfg.ini").toStdString();
  {
    std::ofstream f(ini, std::ios::binary);
    std::string root = db.toStdString();
    f << "[BaseL8]\r\nWay=" << root << "\r\nWayAlg=" << root << "/ALG\r\nWayMod=" << root
      << "/MOD\r\nWayTask=" << root << "/TASK\r\n";
  }

  r770::TFNastr main(ini);
  main.show();
  Settle();
  if (document.empty())
    main.Form().Command(r770::MainCommand::New);
  else
    main.Form().OpenDocumentPath(document);
  bool ok = Save(&main, out, "main.png");

  // The document menu of a new document, opened.
  if (QAction* a = main.MenuAction(r770::MainMenu::ModbusTcp); a && a->menu()) {
    QMenu* menu = a->menu();
    menu->popup(main.mapToGlobal(QPoint(0, 0)));
    Settle();
    ok = menu->grab().save(out + "/main_menu.png") && ok;
    menu->hide();
  }

  main.Way()->Prepare();
  ok = Save(main.Way(), out, "way.png") && ok;
  main.Way()->hide();

  main.Common()->Prepare();
  ok = Save(main.Common(), out, "common.png") && ok;
  main.Common()->hide();

  main.NastrObm()->Prepare();
  ok = Save(main.NastrObm(), out, "nastrobm.png") && ok;
  main.NastrObm()->LinkKindChoice(r770::LinkKindSetting::Ethernet)->click();
  ok = Save(main.NastrObm(), out, "nastrobm_ethernet.png") && ok;
  main.NastrObm()->hide();

  main.DopNastr()->Prepare();
  ok = Save(main.DopNastr(), out, "dopnastr.png") && ok;
  main.DopNastr()->hide();

  if (auto* settings = main.findChild<r770::TFObmenModbus_r770*>()) {
    settings->Prepare();
    ok = Save(settings, out, "modbus_settings.png") && ok;
    settings->hide();
  }
  if (auto* reading = main.findChild<r770::TFReadModbus_r770*>()) {
    reading->Prepare();
    reading->Registers()->setText("100,102,104");
    ok = Save(reading, out, "modbus_read.png") && ok;
    reading->hide();
  }
  return ok ? 0 : 1;
}
