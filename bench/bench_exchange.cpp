// The exchange window's procedures over loopback TCP against the simulated module:
//  BM_FullWrite: WriteConfiguration of a configuration with every map entry filled (access,
//      stop, 10 common parameters, 816 element writes, the checksum step);
//  BM_FullRead: ReadConfiguration of it (access, 10 parameters + 6 MAC elements, 816 element
//      reads);
//  BM_FullWriteCan, BM_FullReadCan: the same over the CAN-BUS adapter link, a pseudo-terminal
//      to the simulator's adapter (13-byte frames; each array's first element costs one more).
// Through the real form model, with the day log file on (every frame and stage line opened,
// appended and closed) and a view whose PumpEvents counts. The engine's pauses (the 100 ms
// poll of the run state after the stop command, the adapter's fixed pauses) are skipped: the
// figures are the cost of the exchange itself. Compare with the bare ping-pong floor of
// bench_link.
#include <benchmark/benchmark.h>

#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "can_frontend.h"
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

// Real time for the answer deadlines; the link's fixed pauses pass at once.
class NoPauseClock final : public Clock {
 public:
  std::int64_t NowMs() override { return SystemClock().NowMs() + skipped_; }
  LocalTime LocalNow() override { return SystemClock().LocalNow(); }
  void SleepMs(int ms) override { skipped_ += ms > 0 ? ms : 0; }

 private:
  std::int64_t skipped_ = 0;
};

// A simulator, the window's model shown on a link to it, the log in a temp folder.
struct Bench {
  explicit Bench(bool can = false) {
    bus.Add(0x01, 0x1101);
    std::string error;
    SetLinkClock(&engineClock);
    settings.Path = dir.File("r770cfg.ini");
    if (can) {
      adapter = std::make_unique<sim::CanFrontend>(bus, sim::CanFrontendOptions{});
      if (!adapter->Start(&error)) throw std::runtime_error(error);
      std::ofstream(settings.Path, std::ios::binary)
          << "[ComPorts]\r\nCOM1=" << adapter->DevicePath() << "\r\n";
      settings.LinkKind = LinkKindSetting::CanBus;
      settings.ComPortIndex = 0;
      settings.AdapterSpeedIndex = 0;
      settings.PcNetNumber = 0x7E;
    } else {
      sim::Ft12ServerOptions options;
      options.port = 0;
      server = std::make_unique<sim::Ft12Server>(bus, options);
      if (!server->Start(&error)) throw std::runtime_error(error);
      settings.LinkKind = LinkKindSetting::Ethernet;
      settings.ModuleIP = "127.0.0.1";
      settings.ModulePort = server->Port();
    }
    settings.AnswerTimeSec = 1;
    settings.Retries = 1;
    settings.ModuleNetNumber = 0x01;
    Fill(config);
    log.SetFolder(dir.path());
    form = std::make_unique<ExchangeForm>(config, settings, view, log);
    form->Show();
    if (!form->LinkOpen()) throw std::runtime_error(form->ResultText);
  }
  ~Bench() {
    form.reset();
    CloseLink();
    SetLinkClock(nullptr);
  }
  void Run(ExchangeMode mode, const char* done, benchmark::State& state) {
    form->ChooseMode(mode);
    form->Action();
    if (form->StatusText() != done) state.SkipWithError(("procedure failed: " + form->ResultText).c_str());
  }

  NoPauseClock engineClock;
  test::TempDir dir;
  sim::SimBus bus;
  std::unique_ptr<sim::Ft12Server> server;
  std::unique_ptr<sim::CanFrontend> adapter;
  ProgramSettings settings;
  Configuration config;
  CountingView view;
  ExchangeLog log{SystemClock()};
  std::unique_ptr<ExchangeForm> form;
};

void Counters(benchmark::State& state, const Bench& b) {
  const auto n = static_cast<double>(state.iterations());
  state.counters["pumps"] = benchmark::Counter(static_cast<double>(b.view.pumps) / n);
  state.counters["log_lines"] = benchmark::Counter(static_cast<double>(b.view.lines) / n);
}

void FullWrite(benchmark::State& state, bool can) {
  Bench b(can);
  for (auto _ : state) {
    state.PauseTiming();
    b.bus.Find(0x01)->SetParamBytes(0xF01A, std::vector<std::uint8_t>{0});  // running again
    state.ResumeTiming();
    b.Run(ExchangeMode::Write, "Запись завершена", state);
  }
  Counters(state, b);
}

void FullRead(benchmark::State& state, bool can) {
  Bench b(can);
  b.Run(ExchangeMode::Write, "Запись завершена", state);
  b.view.pumps = b.view.lines = 0;
  for (auto _ : state) b.Run(ExchangeMode::Read, "Чтение завершено", state);
  Counters(state, b);
}

void BM_FullWrite(benchmark::State& state) { FullWrite(state, false); }
void BM_FullRead(benchmark::State& state) { FullRead(state, false); }
void BM_FullWriteCan(benchmark::State& state) { FullWrite(state, true); }
void BM_FullReadCan(benchmark::State& state) { FullRead(state, true); }
BENCHMARK(BM_FullWrite)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_FullRead)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_FullWriteCan)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_FullReadCan)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
}  // namespace r770
