// Draws the map monitor at work into a PNG file for review:
//   r770_monitor_screen OUTPUT.png [SECONDS [WIDTHxHEIGHT]]
// The simulator's Modbus/TCP server publishes a small map with moving values; the monitor
// polls it every 200 ms with two entries plotted, for SECONDS (default 20) of real time, in a
// window of its own size or of WIDTHxHEIGHT (a small screen: "1024x600").
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QTableWidget>
#include <cstdio>

#include "fake_dialogs.h"
#include "modbus_server.h"
#include "ui/monitor_window.h"

int main(int argc, char* argv[]) {
  using namespace r770;
  QApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: r770_monitor_screen OUTPUT.png [SECONDS [WIDTHxHEIGHT]]\n");
    return 2;
  }
  QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
  const int seconds = argc > 2 ? std::atoi(argv[2]) : 20;
  Configuration cfg;
  cfg.CreateMaps();
  sim::ModbusMaps maps;
  const char* bits[] = {"Пуск насоса 1", "Пуск насоса 2", "Авария насоса 1", "Авария насоса 2"};
  for (int i = 0; i < 4; ++i) {
    const auto a = static_cast<std::uint16_t>(i + 1);
    const std::string name = std::string(bits[i]) + "/Насосная(05 Насосная)";
    cfg.Map(i < 2 ? MapKind::TU : MapKind::TC)[static_cast<std::size_t>(i % 2)] = {
        5, static_cast<std::uint16_t>(0x101 + i), 1, name, a};
    maps[static_cast<std::size_t>(i < 2 ? sim::kMapCoils : sim::kMapDiscreteInputs)].push_back(
        {5, static_cast<std::uint16_t>(0x101 + i), a});
  }
  const char* regs[] = {"Давление на входе, кПа", "Давление на выходе, кПа", "Расход, м3/ч",
                        "Температура, °C"};
  for (int i = 0; i < 4; ++i) {
    const auto a = static_cast<std::uint16_t>(100 + 2 * i);
    cfg.Map(MapKind::TIFloat)[static_cast<std::size_t>(i)] = {
        5, static_cast<std::uint16_t>(0x201 + i), 1, std::string(regs[i]) + "/Насосная(05 Насосная)", a};
    maps[sim::kMapHoldingRegisters].push_back({5, static_cast<std::uint16_t>(0x201 + i), a});
  }
  cfg.Map(MapKind::InputReg)[0] = {5, 0x301, 1, "Уровень в баке, см/Бак(06 Бак)", 200};
  maps[sim::kMapInputRegisters].push_back({5, 0x301, 200});
  sim::ModbusServerOptions o;
  o.port = 0;
  sim::ModbusServer server(o, [maps] { return maps; });
  std::string error;
  if (!server.Start(error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  ProgramSettings settings;
  settings.IP_AdrTest = "127.0.0.1";
  settings.PortTcpTest = static_cast<std::uint16_t>(server.Port());
  test::FakeDialogs dialogs;
  MonitorWindow win(cfg, settings, dialogs, nullptr);
  int width = 0, height = 0;
  if (argc > 3 && std::sscanf(argv[3], "%dx%d", &width, &height) == 2) win.resize(width, height);
  win.Prepare();
  win.show();
  win.Form().SetTrend(4, true);
  win.Form().SetTrend(5, true);
  win.PeriodEdit()->setText("200");
  win.StartButton()->click();
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < seconds * 1000) app.processEvents(QEventLoop::AllEvents, 50);
  win.Table()->setCurrentCell(0, 4);
  app.processEvents();
  const bool ok = win.grab().save(QString::fromLocal8Bit(argv[1]));
  std::printf("%s %s\n", argv[1], ok ? "written" : "FAILED");
  return ok ? 0 : 1;
}
