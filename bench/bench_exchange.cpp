// The exchange window's procedures over loopback TCP against the simulated module:
//  BM_FullWrite: WriteConfiguration of a configuration with every map entry filled (access,
//      stop, 10 common parameters, 816 element writes, the checksum step);
//  BM_FullRead: ReadConfiguration of it (access, 10 parameters + 6 MAC elements, 816 element
//      reads).
// Through the real form model, with the day log file on (every frame and stage line opened,
// appended and closed) and a view whose PumpEvents counts. The engine's pauses (the 100 ms
// poll of the run state after the stop command) run on a FakeClock: the figures are the cost
// of the exchange itself. Compare with the bare ping-pong floor of bench_link.
#include <benchmark/benchmark.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/clock.h"
#include "document/configuration.h"
#include "document/program_settings.h"
#include "exchange/exchange_form.h"
#include "exchange/exchange_log.h"
#include "exchange/exchange_view.h"
#include "ft12_server.h"
#include "link/module_commands.h"
#include "sim_module.h"
#include "temp_dir.h"

namespace r770 {
namespace {

class CountingView : public ExchangeView {
 public:
  long pumps = 0;
  long lines = 0;
  std::vector<std::string> boxes;
  void LogAppended(const std::string&) override { ++lines; }
  void SetBusy(bool) override {}
  void PumpEvents() override { ++pumps; }
  void Information(const std::string& text) override { boxes.push_back(text); }
  bool Confirm(const std::string&) override { return false; }
  void SetMainStatus(const std::string&) override {}
  void UpdateDocumentMenus(bool) override {}
};

void Fill(Configuration& c) {
  c.ResetForNew();
  c.State.IsNew = true;
  c.Common.trepeat = 300;
  c.Common.V_CAN = 3;
  int salt = 0;
  for (MapKind kind : kAllMapKinds) {
    ++salt;
    for (std::size_t i = 0; i < c.Map(kind).size(); ++i) {
      MapEntry& e = c.Map(kind)[i];
      e.ModuleNo = static_cast<std::uint8_t>(1 + (i + static_cast<std::size_t>(salt)) % 30);
      e.ParamNo = static_cast<std::uint16_t>(0x0F00 + i);
      e.ModbusAddr = static_cast<std::uint16_t>(salt * 1000 + i);
    }
  }
}

// A simulator, the window's model shown on a link to it, the log in a temp folder.
struct Bench {
  Bench() {
    bus.Add(0x01, 0x1101);
    sim::Ft12ServerOptions options;
    options.port = 0;
    server = std::make_unique<sim::Ft12Server>(bus, options);
    std::string error;
    if (!server->Start(&error)) throw std::runtime_error(error);
    SetLinkClock(&engineClock);
    settings.Path = dir.File("r770cfg.ini");
    settings.LinkKind = LinkKindSetting::Ethernet;
    settings.ModuleIP = "127.0.0.1";
    settings.ModulePort = server->Port();
    settings.AnswerTimeSec = 1;
    settings.Retries = 1;
    settings.ModuleNetNumber = 0x01;
    Fill(config);
    log.SetFolder(dir.path());
    form = std::make_unique<ExchangeForm>(config, settings, view, log);
    form->Show();
    if (!form->linkOpen()) throw std::runtime_error(form->ResultText);
  }
  ~Bench() {
    form.reset();
    CloseLink();
    SetLinkClock(nullptr);
  }
  void Run(ExchangeMode mode, const char* done, benchmark::State& state) {
    form->ChooseMode(mode);
    form->Action();
    if (form->statusText() != done) state.SkipWithError(("procedure failed: " + form->ResultText).c_str());
  }

  FakeClock engineClock;
  test::TempDir dir;
  sim::SimBus bus;
  std::unique_ptr<sim::Ft12Server> server;
  ProgramSettings settings;
  Configuration config;
  CountingView view;
  ExchangeLog log{SystemClock()};
  std::unique_ptr<ExchangeForm> form;
};

void BM_FullWrite(benchmark::State& state) {
  Bench b;
  for (auto _ : state) {
    state.PauseTiming();
    b.bus.Find(0x01)->SetParamBytes(0xF01A, std::vector<std::uint8_t>{0});  // running again
    state.ResumeTiming();
    b.Run(ExchangeMode::Write, "Запись завершена", state);
  }
  state.counters["pumps"] = benchmark::Counter(static_cast<double>(b.view.pumps) / static_cast<double>(state.iterations()));
  state.counters["log_lines"] = benchmark::Counter(static_cast<double>(b.view.lines) / static_cast<double>(state.iterations()));
}
BENCHMARK(BM_FullWrite)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_FullRead(benchmark::State& state) {
  Bench b;
  b.Run(ExchangeMode::Write, "Запись завершена", state);
  b.view.pumps = b.view.lines = 0;
  for (auto _ : state) b.Run(ExchangeMode::Read, "Чтение завершено", state);
  state.counters["pumps"] = benchmark::Counter(static_cast<double>(b.view.pumps) / static_cast<double>(state.iterations()));
  state.counters["log_lines"] = benchmark::Counter(static_cast<double>(b.view.lines) / static_cast<double>(state.iterations()));
}
BENCHMARK(BM_FullRead)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
}  // namespace r770
