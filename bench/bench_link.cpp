// The TCP link on loopback against the simulated module.
//  (a) BM_BareFloor: the request frames of a full configuration write ping-ponged over a
//      plain socket, one send and one receive each, no engine and no log.
//  (b) BM_EngineWriteSequence: the engine doing that write through the module commands
//      (LoginModule, SetRunState stop, 10 WriteModuleParam, 816 WriteModuleElement in the
//      order TIFloat, TC, TU, InputReg by parameter/controller/address array, one
//      ReadModuleParam), every frame logged as a line of the day log (open, append, close).
// The engine's pauses (the 100 ms run-state poll) run on a FakeClock: the figure is the cost
// of the exchange itself. The counter b_over_a of (b) is its time over that of (a).
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "common/clock.h"
#include "common/day_log.h"
#include "ft12_server.h"
#include "link/module_commands.h"
#include "link/tcp_link.h"
#include "sim_module.h"
#include "temp_dir.h"

namespace r770 {
namespace {

using Steady = std::chrono::steady_clock;

double g_floorSeconds = 0;  // mean of (a), for the ratio reported by (b)

// Records every frame the engine sends.
class RecordingCalls : public SocketCalls {
 public:
  ssize_t Send(int fd, const void* data, std::size_t n, int flags) override {
    const auto* b = static_cast<const std::uint8_t*>(data);
    frames.emplace_back(b, b + n);
    return SocketCalls::Send(fd, data, n, flags);
  }
  std::vector<std::vector<std::uint8_t>> frames;
};

struct Sim {
  Sim() {
    bus.Add(0x01, 0x1101);
    sim::Ft12ServerOptions options;
    options.port = 0;
    server = std::make_unique<sim::Ft12Server>(bus, options);
    std::string error;
    if (!server->Start(&error)) throw std::runtime_error(error);
  }
  void Restart() {  // the device running again before each write
    bus.Find(0x01)->SetParamBytes(0xF01A, std::vector<std::uint8_t>{0});
  }
  sim::SimBus bus;
  std::unique_ptr<sim::Ft12Server> server;
};

// The whole write through the module commands; false at the first failure.
bool WriteSequence() {
  constexpr std::uint8_t net = 0x01;
  std::string text;
  if (!LoginModule(net, 2, &text)) return false;
  if (!SetRunState(net, true, &text)) return false;
  struct Common {
    std::uint16_t param;
    std::vector<std::uint8_t> bytes;
  };
  const Common common[] = {{0x11, {0x2C, 0x01}},     {0x12, {0x32, 0x00}},     {0x0D, {0xF6, 0x01}},
                           {0x09, {192, 168, 0, 7}}, {0x0A, {192, 168, 0, 1}}, {0x0B, {255, 255, 255, 0}},
                           {0x00, {0x01}},           {0x05, {0x01}},           {0x14, {0x00}},
                           {0x04, {0xE0, 0x45}}};
  for (const auto& c : common)
    if (WriteModuleParam(net, c.param, c.bytes, &text) != 0) return false;
  // Maps TIFloat (k 3, 64), TC (k 0, 128), TU (k 1, 16), InputReg (k 2, 64); arrays parameter,
  // controller, address.
  const std::pair<int, int> maps[] = {{3, 64}, {0, 128}, {1, 16}, {2, 64}};
  for (const auto& [k, count] : maps) {
    const std::pair<std::uint16_t, int> arrays[] = {{0x304 + k, 2}, {0x300 + k, 1}, {0x308 + k, 2}};
    for (const auto& [param, size] : arrays) {
      for (int i = 0; i < count; ++i) {
        const std::array<std::uint8_t, 2> element{static_cast<std::uint8_t>(i), 0x00};
        if (WriteModuleElement(net, param, std::span(element.data(), static_cast<std::size_t>(size)), i == 0,
                               static_cast<std::uint16_t>(i), &text) != 0)
          return false;
      }
    }
  }
  std::array<std::uint8_t, 1> state{};
  return ReadModuleParam(net, 0xF01A, state, &text) == 0;
}

long g_logLines = 0;
void LogToDay(void* context, const std::string& text, int) {
  if (static_cast<DayLog*>(context)->Write(text)) ++g_logLines;
}

// The frames of one write sequence, as the engine sends them.
std::vector<std::vector<std::uint8_t>> RecordFrames(Sim& sim) {
  RecordingCalls recording;
  FakeClock clock;
  SetLinkClock(&clock);
  SetEngineFactory(kLinkTcp, [&](const TCustomLink& link, Clock& c) {
    return std::make_unique<T_TCPObmen>(dynamic_cast<const TTCPLink&>(link), c, recording);
  });
  TTCPLink link;
  link.Host = "127.0.0.1";
  link.Port = sim.server->Port();
  std::string text;
  sim.Restart();
  const bool ok = OpenLink(link, &text, nullptr, nullptr) && WriteSequence();
  CloseLink();
  SetEngineFactory(kLinkTcp, nullptr);
  SetLinkClock(nullptr);
  if (!ok) throw std::runtime_error("write sequence failed: " + text);
  return recording.frames;
}

void BM_BareFloor(benchmark::State& state) {
  Sim sim;
  const auto frames = RecordFrames(sim);
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(static_cast<std::uint16_t>(sim.server->Port()));
  if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    state.SkipWithError("connect failed");
    return;
  }
  const int one = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  std::uint8_t buffer[256];
  double total = 0;
  for (auto _ : state) {
    sim.Restart();
    const auto start = Steady::now();
    for (const auto& f : frames) {
      if (::send(fd, f.data(), f.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(f.size()) ||
          ::recv(fd, buffer, 255, 0) <= 0) {
        state.SkipWithError("exchange failed");
        break;
      }
    }
    const double seconds = std::chrono::duration<double>(Steady::now() - start).count();
    state.SetIterationTime(seconds);
    total += seconds;
  }
  ::close(fd);
  g_floorSeconds = total / static_cast<double>(state.iterations());
  state.counters["frames"] = static_cast<double>(frames.size());
}
BENCHMARK(BM_BareFloor)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_EngineWriteSequence(benchmark::State& state) {
  Sim sim;
  test::TempDir dir;
  DayLog log(SystemClock(), dir.path());
  FakeClock pauses;
  SetLinkClock(&pauses);
  TTCPLink link;
  link.Host = "127.0.0.1";
  link.Port = sim.server->Port();
  link.Retries = 3;
  link.TimeoutSec = 1;
  std::string text;
  if (!OpenLink(link, &text, LogToDay, &log)) {
    state.SkipWithError(text.c_str());
    SetLinkClock(nullptr);
    return;
  }
  double total = 0;
  g_logLines = 0;
  for (auto _ : state) {
    sim.Restart();
    const auto start = Steady::now();
    if (!WriteSequence()) {
      state.SkipWithError("write sequence failed");
      break;
    }
    const double seconds = std::chrono::duration<double>(Steady::now() - start).count();
    state.SetIterationTime(seconds);
    total += seconds;
  }
  CloseLink();
  SetLinkClock(nullptr);
  const double mean = total / static_cast<double>(state.iterations());
  if (g_floorSeconds > 0) state.counters["b_over_a"] = mean / g_floorSeconds;
  state.counters["log_lines"] = static_cast<double>(g_logLines) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_EngineWriteSequence)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace r770
