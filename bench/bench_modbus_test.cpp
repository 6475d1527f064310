// Modbus/TCP test: one "Чтение" of 100 register numbers against the simulator's Modbus/TCP
// server over loopback, every traffic line written to the day's log file (open, append,
// close per line), as the reading window does it.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>

#include "common/clock.h"
#include "common/day_log.h"
#include "fake_dialogs.h"
#include "modbus_module_maps.h"
#include "modbus_server.h"
#include "modbus_test/command_test_link.h"
#include "modbus_test/modbus_read_form.h"
#include "sim_module.h"
#include "temp_dir.h"

namespace {

using namespace r770;

struct Reading {
  test::TempDir dir;
  DayLog log{SystemClock(), dir.path()};
  ProgramSettings settings;
  test::FakeDialogs dialogs;
  test::FakeBusy busy;
  CommandTestLink link;
  ModbusReadForm form{settings, dialogs, busy, link, log};
  std::unique_ptr<sim::ModbusServer> server;

  // maps: what the server publishes; registers: the text of "Номера регистров".
  Reading(sim::ModbusServer::SnapshotFn snapshot, std::string registers) {
    sim::ModbusServerOptions o;
    o.port = 0;
    o.fixed = true;
    server = std::make_unique<sim::ModbusServer>(o, std::move(snapshot));
    std::string error;
    if (!server->Start(error)) throw std::runtime_error(error);
    settings.IP_AdrTest = "127.0.0.1";
    settings.PortTcpTest = static_cast<std::uint16_t>(server->Port());
    settings.TimeAnswerTest = 1;
    form.registersText = std::move(registers);
  }
  ~Reading() { form.RequestClose(); }
};

// 100 Holding Registers values at 0, 2, ..., 198: every number answers with a value.
void BM_Read100HoldingValues(benchmark::State& state) {
  sim::ModbusMaps maps;
  std::string registers;
  for (int i = 0; i < 100; ++i) {
    maps[sim::kMapHoldingRegisters].push_back(
        {1, static_cast<std::uint16_t>(i), static_cast<std::uint16_t>(2 * i)});
    registers += (i ? "," : "") + std::to_string(2 * i);
  }
  Reading r([maps] { return maps; }, registers);
  for (auto _ : state) {
    r.form.Read();
    if (r.form.Rows().size() != 101 || r.form.Rows()[99].value.empty() || !r.dialogs.shown.empty())
      state.SkipWithError("reading failed");
  }
  state.counters["registers"] = 100;
  state.counters["log_bytes"] = static_cast<double>(std::filesystem::file_size(r.log.CurrentPath()));
}
BENCHMARK(BM_Read100HoldingValues)->Unit(benchmark::kMillisecond);

// A simulated module with its full Holding Registers map (64 entries at 0, 2, ..., 126) read
// at 100 numbers: 64 values and 36 exception answers, each of those asked twice.
void BM_Read100FromModuleMap(benchmark::State& state) {
  sim::SimModule module(0x01, 0x1101);
  module.OpenAccess(2);
  for (int i = 0; i < 64; ++i) {
    const std::uint8_t ctl[1] = {1};
    const std::uint8_t addr[2] = {static_cast<std::uint8_t>(2 * i), 0};
    module.WriteElement(0x303, static_cast<std::uint16_t>(i), ctl);
    module.WriteElement(0x30B, static_cast<std::uint16_t>(i), addr);
  }
  std::string registers;
  for (int i = 0; i < 100; ++i) registers += (i ? "," : "") + std::to_string(2 * i);
  Reading r(sim::SnapshotOf(module), registers);
  for (auto _ : state) {
    r.form.Read();
    if (r.form.Rows().size() != 101 || r.form.Rows()[63].value.empty() || r.form.Rows()[64].note.empty())
      state.SkipWithError("reading failed");
  }
}
BENCHMARK(BM_Read100FromModuleMap)->Unit(benchmark::kMillisecond);

}  // namespace
