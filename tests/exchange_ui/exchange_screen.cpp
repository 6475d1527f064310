// Draws the exchange window into a PNG file for review (not a test):
//   r770_exchange_screen OUTPUT.png
// Against an in-process simulator with modules 01 and 03 it searches 01..03, writes a new
// document into module 01 and shows the log of the write.
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <cstdio>

#include "document/configuration.h"
#include "document/program_settings.h"
#include "fake_dialogs.h"
#include "ft12_server.h"
#include "sim_module.h"
#include "temp_dir.h"
#include "ui/exchange_window.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: r770_exchange_screen OUTPUT.png\n");
    return 2;
  }
  using namespace r770;
  sim::SimBus bus;
  bus.Add(0x01, 0x1101);
  bus.Add(0x03, 0x1106);
  sim::Ft12ServerOptions options;
  options.port = 0;
  sim::Ft12Server server(bus, options);
  std::string error;
  if (!server.Start(&error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  test::TempDir dir;
  ProgramSettings settings;
  settings.Path = dir.File("r770cfg.ini");
  settings.LinkKind = LinkKindSetting::Ethernet;
  settings.ModuleIP = "127.0.0.1";
  settings.ModulePort = server.Port();
  settings.AnswerTimeSec = 1;
  settings.Retries = 1;
  Configuration config;
  config.ResetForNew();
  config.State.IsNew = true;

  test::FakeDialogs dialogs;  // the restart question is answered No
  TFObmen w(config, settings, nullptr, &dialogs, SystemClock(), dir.path());
  w.show();
  while (!w.Form().Shown()) QCoreApplication::processEvents();

  w.SearchItem()->trigger();
  w.RangeSwitch()->click();
  w.Form().rangeText = {"01", "03"};
  w.ActionButton()->click();
  w.WriteItem()->trigger();
  w.ActionButton()->click();
  QTest::mouseDClick(w.StatusLine(), Qt::LeftButton);
  for (int i = 0; i < 10; ++i) QCoreApplication::processEvents();

  const bool ok = w.grab().save(QString::fromLocal8Bit(argv[1]));
  std::printf("%s %s (%s)\n", argv[1], ok ? "written" : "FAILED",
              w.StatusLine()->text().toUtf8().constData());
  w.close();
  return ok ? 0 : 1;
}
