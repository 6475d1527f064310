// Draws the comparison window into a PNG file for review (not a test):
//   r770_compare_screen OUTPUT.png
// Against an in-process simulator it writes a document into module 01, changes the document
// in three places and shows the comparison with the module.
#include <QAction>
#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <cstdio>

#include "document/configuration.h"
#include "document/program_settings.h"
#include "fake_dialogs.h"
#include "ft12_server.h"
#include "loopback_settings.h"
#include "sim_module.h"
#include "temp_dir.h"
#include "ui/compare_window.h"
#include "ui/exchange_window.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: r770_compare_screen OUTPUT.png\n");
    return 2;
  }
  using namespace r770;
  sim::SimBus bus;
  bus.Add(0x01, 0x1101);
  sim::Ft12ServerOptions options;
  options.port = 0;
  sim::Ft12Server server(bus, options);
  std::string error;
  if (!server.Start(&error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  test::TempDir dir;
  ProgramSettings settings = test::LoopbackSettings(dir.File("r770cfg.ini"), server.Port(), 0x01);

  Configuration config;
  config.ResetForNew();
  config.State.IsNew = true;
  CommonSettings& c = config.Common;
  c.AdrCAN = 0x01;
  c.AdrExt = 0x01;
  c.V_CAN = 2;
  c.trepeat = 5;
  c.twaitCAN = 100;
  c.AdrPort = 502;
  c.AdrIP = {192, 168, 0, 10};
  c.AdrGate = {192, 168, 0, 1};
  c.Mask = {255, 255, 255, 0};
  const char* bits[] = {"Авария насоса (№ 0101)/НАСОС(pump)", "Работа насоса (№ 0102)/НАСОС(pump)"};
  const char* regs[] = {"Давление, кПа (№ 0103)/НАСОС(pump)", "Расход (№ 0104)/НАСОС(pump)"};
  for (int i = 0; i < 2; ++i) {
    const auto n = static_cast<std::uint16_t>(i);
    config.Map(MapKind::TU)[n] =
        MapEntry{0x05, static_cast<std::uint16_t>(0x0101 + n), 1, bits[i], static_cast<std::uint16_t>(1 + n)};
    config.Map(MapKind::TC)[n] =
        MapEntry{0x05, static_cast<std::uint16_t>(0x0101 + n), 1, bits[i], static_cast<std::uint16_t>(1 + n)};
    config.Map(MapKind::TIFloat)[n] = MapEntry{0x05, static_cast<std::uint16_t>(0x0103 + n), 1, regs[i],
                                               static_cast<std::uint16_t>(100 + 2 * n)};
  }

  test::FakeDialogs dialogs;  // the restart question is answered No
  TFObmen exchange(config, settings, nullptr, &dialogs, SystemClock(), dir.path());
  exchange.show();
  while (!exchange.Form().Shown()) QCoreApplication::processEvents();
  exchange.WriteItem()->trigger();
  exchange.ActionButton()->click();

  // Three changes since the write.
  config.Common.trepeat = 9;
  config.Map(MapKind::TU)[1].ModbusAddr = 50;
  config.ResetMapEntry(MapKind::TIFloat, 1);

  ExchangeCompareModule module(exchange.Form());
  CompareWindow w(config, settings, dialogs);
  if (!w.Form().StartWithModule(module)) {
    std::fprintf(stderr, "the module was not read\n");
    return 1;
  }
  w.Render();
  w.resize(1250, 520);
  w.show();
  for (int i = 0; i < 10; ++i) QCoreApplication::processEvents();
  const bool ok = w.grab().save(QString::fromLocal8Bit(argv[1]));
  std::printf("%s %s (%s)\n", argv[1], ok ? "written" : "FAILED", w.Form().Status().c_str());
  w.close();
  exchange.close();
  return ok ? 0 : 1;
}
