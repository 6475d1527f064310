// The CAN-BUS adapter link over a pseudo-terminal to the simulator's adapter:
//  * BM_CanWriteSequence: the full write of a configuration as module commands (LoginModule,
//    SetRunState stop, 10 WriteModuleParam, 816 WriteModuleElement in the write order, one
//    ReadModuleParam), with where its time goes: DrainInput, carrier checks, the frames,
//    and the floor a real 115200-baud line would impose (26 bytes per request).
//  * BM_CanDrainSilentLine, BM_CanBareRoundTrip: the parts of one request on the same line,
//    to show what the link could save without changing a byte or the order.
#include <benchmark/benchmark.h>

#include <array>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "can_frontend.h"
#include "link/can_bus.h"
#include "link/module_commands.h"
#include "link/serial_device.h"
#include "sim_module.h"

namespace r770 {
namespace {

constexpr std::uint8_t kNet = 0x01;
// Wire time of one request on a 115200-baud line: 13 bytes out, 13 back, 10 bits each.
constexpr double kFloorMsPerRequest = 26.0 * 10.0 / 115200.0 * 1000.0;

struct Counter {
  int frames = 0;
  static void Handler(void* context, const std::string& text, int) {
    if (text.rfind(">> ", 0) == 0) ++static_cast<Counter*>(context)->frames;
  }
};

// The simulated adapter with one module, and the link opened to it through OpenLink.
struct Bench {
  sim::SimBus bus;
  sim::SimModule& module = bus.Add(kNet, 0x1101);
  sim::CanFrontend adapter{bus, {}};
  TCANbusLink link;
  Counter counter;
  bool ok = false;
  std::string error;

  Bench() {
    if (!adapter.Start(&error)) return;
    link.PortNumber = 2;
    link.DevicePath = adapter.DevicePath();
    link.OwnNode = 0x7E;
    link.Speed = 100;
    link.Retries = 3;
    link.TimeoutSec = 2;
    ok = OpenLink(link, &error, Counter::Handler, &counter);
  }
  ~Bench() { CloseLink(); }
  T_CanBus* Engine() { return dynamic_cast<T_CanBus*>(CurrentEngine()); }
};

// The write of a new document: every map entry empty.
int WriteSequence() {
  if (!LoginModule(kNet, 2, nullptr)) return 26;
  if (!SetRunState(kNet, true, nullptr)) return 29;
  struct Param {
    std::uint16_t number;
    std::vector<std::uint8_t> bytes;
  };
  const Param common[10] = {
      {0x11, {0x03, 0x00}},     {0x12, {0x32, 0x00}},       {0x0D, {0xF6, 0x01}}, {0x09, {192, 168, 0, 10}},
      {0x0A, {192, 168, 0, 1}}, {0x0B, {255, 255, 255, 0}}, {0x00, {0x01}},       {0x05, {0x01}},
      {0x14, {0x00}},           {0x04, {0xE0, 0x41}}};
  for (const auto& p : common)
    if (int c = WriteModuleParam(kNet, p.number, p.bytes, nullptr)) return c;
  // Maps TIFloat, TC, TU, InputReg (map numbers 3, 0, 1, 2); arrays parameter, controller,
  // address.
  const int maps[4][2] = {{3, 64}, {0, 128}, {1, 16}, {2, 64}};
  const std::uint8_t none1[1] = {0xFF};
  const std::uint8_t none2[2] = {0xFF, 0xFF};
  for (const auto& [k, count] : maps) {
    const std::uint16_t arrays[3] = {static_cast<std::uint16_t>(0x304 + k),
                                     static_cast<std::uint16_t>(0x300 + k),
                                     static_cast<std::uint16_t>(0x308 + k)};
    for (std::uint16_t a : arrays)
      for (int i = 0; i < count; ++i) {
        std::span<const std::uint8_t> value =
            a < 0x304 ? std::span<const std::uint8_t>(none1) : std::span<const std::uint8_t>(none2);
        if (int c = WriteModuleElement(kNet, a, value, i == 0, static_cast<std::uint16_t>(i), nullptr))
          return c;
      }
  }
  std::uint8_t state = 0;
  return ReadModuleParam(kNet, 0xF01A, std::span(&state, 1), nullptr);
}

void BM_CanWriteSequence(benchmark::State& state) {
  Bench b;
  if (!b.ok) {
    state.SkipWithError(b.error.c_str());
    return;
  }
  double drainMs = 0, carrierMs = 0, frames = 0, drains = 0, iterations = 0;
  for (auto _ : state) {
    state.PauseTiming();
    const std::uint8_t running = 0;
    b.module.SetParamBytes(0xF01A, std::span(&running, 1));
    const SerialLinkTiming before = b.Engine()->Timing;
    const int framesBefore = b.counter.frames;
    state.ResumeTiming();

    const int code = WriteSequence();

    state.PauseTiming();
    if (code != 0) state.SkipWithError(("write failed: " + ErrorText(code)).c_str());
    const SerialLinkTiming& after = b.Engine()->Timing;
    drainMs += (after.drainNs - before.drainNs) / 1e6;
    drains += static_cast<double>(after.drainCalls - before.drainCalls);
    carrierMs += (after.carrierNs - before.carrierNs) / 1e6;
    frames += b.counter.frames - framesBefore;
    iterations += 1;
    state.ResumeTiming();
  }
  if (iterations == 0) return;
  state.counters["requests"] = frames / iterations;
  state.counters["drain_ms"] = drainMs / iterations;
  state.counters["drain_calls"] = drains / iterations;
  state.counters["carrier_ms"] = carrierMs / iterations;
  state.counters["floor_ms"] = frames / iterations * kFloorMsPerRequest;
}
BENCHMARK(BM_CanWriteSequence)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

// DrainInput on a silent line: one empty read under its 10 ms time-out.
void BM_CanDrainSilentLine(benchmark::State& state) {
  Bench b;
  if (!b.ok) {
    state.SkipWithError(b.error.c_str());
    return;
  }
  for (auto _ : state) b.Engine()->DrainInput();
}
BENCHMARK(BM_CanDrainSilentLine)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(50);

// One request frame and its answer on the same line with nothing around them: the write,
// then the answer taken either by reads of what is still missing (argument 0) or one byte
// per read as the link does (argument 1). What a request costs here without the link's
// fixed waits.
void BM_CanBareRoundTrip(benchmark::State& state) {
  sim::SimBus bus;
  bus.Add(kNet, 0x1101);
  sim::CanFrontend adapter{bus, {}};
  std::string error;
  if (!adapter.Start(&error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  auto port = OpenPosixSerial(adapter.DevicePath());
  if (!port.device) {
    state.SkipWithError("no device");
    return;
  }
  const bool byteByByte = state.range(0) == 1;
  port.device->SetTimeouts(byteByByte ? 10 : 1000, 10);
  std::array<std::uint8_t, 13> frame = {kNet, 0x80, 0, 0, 4, 0x7E, 0x02, 0x1A, 0xF0, 0, 0, 0, 0};
  std::array<std::uint8_t, 13> answer{};
  for (auto _ : state) {
    port.device->Write(frame.data(), frame.size());
    std::size_t have = 0;
    for (int reads = 0; have < answer.size() && reads < 200; ++reads)
      have += port.device->Read(answer.data() + have, byteByByte ? 1 : answer.size() - have);
    if (have != answer.size()) {
      state.SkipWithError("no answer");
      break;
    }
  }
}
BENCHMARK(BM_CanBareRoundTrip)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
}  // namespace r770
