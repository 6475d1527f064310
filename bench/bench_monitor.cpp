// Live map monitor against the simulator's Modbus/TCP server on loopback, with a full map
// (16 Coils, 128 Discrete Inputs, 64 Holding and 64 Input Register pairs):
//   * one poll cycle at contiguous and at scattered addresses, with the requests it takes
//     against the one-request-per-entry plan;
//   * in the same run, a bare Modbus ping-pong of the same requests over one socket, and the
//     ratio of the two;
//   * the heap the monitor holds after an hour of 8 trends at 100 ms (simulated clock).
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <random>
#include <set>
#include <stdexcept>

#include "fake_dialogs.h"
#include "modbus_server.h"
#include "monitor/monitor_form.h"
#include "monitor/monitor_poller.h"

namespace {

using namespace r770;

struct Layout {
  Configuration cfg;
  sim::ModbusMaps maps;
};

// The full map; contiguous: every table from address 0 on, pairs side by side; scattered:
// addresses drawn at random (fixed seed) over 0..9999, registers on even addresses.
std::unique_ptr<Layout> FullMap(bool contiguous) {
  auto l = std::make_unique<Layout>();
  l->cfg.CreateMaps();
  std::mt19937 random(770);
  const struct {
    MapKind kind;
    int simMap;
    int step;
  } tables[] = {{MapKind::TU, sim::kMapCoils, 1},
                {MapKind::TC, sim::kMapDiscreteInputs, 1},
                {MapKind::TIFloat, sim::kMapHoldingRegisters, 2},
                {MapKind::InputReg, sim::kMapInputRegisters, 2}};
  for (const auto& t : tables) {
    RegisterMap& map = l->cfg.Map(t.kind);
    std::set<int> used;
    for (std::size_t i = 0; i < map.size(); ++i) {
      int address = static_cast<int>(i) * t.step;
      if (!contiguous) {
        do address = static_cast<int>(random() % 5000) * t.step;
        while (used.count(address));
      }
      used.insert(address);
      const auto a = static_cast<std::uint16_t>(address);
      map[i] = {5, static_cast<std::uint16_t>(0x100 + i), 1, "Параметр " + std::to_string(i), a};
      l->maps[static_cast<std::size_t>(t.simMap)].push_back({5, static_cast<std::uint16_t>(0x100 + i), a});
    }
  }
  return l;
}

std::unique_ptr<sim::ModbusServer> StartServer(const sim::ModbusMaps& maps) {
  sim::ModbusServerOptions o;
  o.port = 0;
  o.fixed = true;
  auto server = std::make_unique<sim::ModbusServer>(o, [maps] { return maps; });
  std::string error;
  if (!server->Start(error)) throw std::runtime_error(error);
  return server;
}

// The bare exchange: the same requests, each sent and its answer read whole, on one socket.
class PingPong {
 public:
  explicit PingPong(int port) {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) throw std::runtime_error("connect");
    int one = 1;
    ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  }
  ~PingPong() { ::close(fd_); }
  void Run(const std::vector<PlannedRequest>& plan) {
    for (const PlannedRequest& r : plan) {
      ++tid_;
      const std::uint8_t q[12] = {static_cast<std::uint8_t>(tid_ >> 8),
                                  static_cast<std::uint8_t>(tid_),
                                  0,
                                  0,
                                  0,
                                  6,
                                  1,
                                  r.function,
                                  static_cast<std::uint8_t>(r.start >> 8),
                                  static_cast<std::uint8_t>(r.start),
                                  static_cast<std::uint8_t>(r.count >> 8),
                                  static_cast<std::uint8_t>(r.count)};
      if (::send(fd_, q, sizeof q, 0) != 12) throw std::runtime_error("send");
      std::uint8_t a[260];
      std::size_t have = 0, need = 6;
      while (have < need) {
        ssize_t n = ::recv(fd_, a + have, sizeof a - have, 0);
        if (n <= 0) throw std::runtime_error("recv");
        have += static_cast<std::size_t>(n);
        if (have >= 6) need = 6 + static_cast<std::size_t>(a[4] << 8 | a[5]);
      }
    }
  }

 private:
  int fd_ = -1;
  std::uint16_t tid_ = 0;
};

void CycleAgainstPingPong(benchmark::State& state, bool contiguous) {
  auto layout = FullMap(contiguous);
  auto server = StartServer(layout->maps);
  ProgramSettings settings;
  MonitorLink link;
  link.host = "127.0.0.1";
  link.port = static_cast<std::uint16_t>(server->Port());
  TcpModbusTransport transport;
  MonitorPoller poller(CollectMonitorPoints(layout->cfg), link, transport, SystemClock());
  PingPong bare(server->Port());
  poller.Cycle();  // connects and settles the plan
  using Steady = std::chrono::steady_clock;
  double cycleNs = 0, bareNs = 0;
  int errors = 0;
  for (auto _ : state) {
    auto t0 = Steady::now();
    CycleReport r = poller.Cycle();
    auto t1 = Steady::now();
    bare.Run(poller.Plan());
    auto t2 = Steady::now();
    errors += r.errors;
    cycleNs += std::chrono::duration<double, std::nano>(t1 - t0).count();
    bareNs += std::chrono::duration<double, std::nano>(t2 - t1).count();
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["requests"] = static_cast<double>(poller.Plan().size());
  state.counters["per_entry_requests"] = static_cast<double>(poller.Points().size());
  state.counters["cycle_us"] = cycleNs / n / 1000;
  state.counters["pingpong_us"] = bareNs / n / 1000;
  state.counters["ratio"] = cycleNs / bareNs;
  state.counters["errors"] = errors;
}

void BM_CycleContiguous(benchmark::State& state) { CycleAgainstPingPong(state, true); }
void BM_CycleScattered(benchmark::State& state) { CycleAgainstPingPong(state, false); }
BENCHMARK(BM_CycleContiguous)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_CycleScattered)->Unit(benchmark::kMicrosecond)->UseRealTime();

// One hour of 8 trends at 100 ms (36 000 cycles on a fake clock, exchanges on loopback):
// the heap in use after the first minute, at half time and at the end.
void BM_MonitorHourOfTrends(benchmark::State& state) {
  auto layout = FullMap(true);
  auto server = StartServer(layout->maps);
  ProgramSettings settings;
  settings.IP_AdrTest = "127.0.0.1";
  settings.PortTcpTest = static_cast<std::uint16_t>(server->Port());
  test::FakeDialogs dialogs;
  for (auto _ : state) {
    FakeClock clock;
    MonitorForm form(layout->cfg, settings, dialogs, clock, {}, false);
    form.Show();
    form.periodText = "100";
    int ticked = 0;
    for (int point = 0; ticked < 8; ++point) ticked += form.SetTrend(point, true) ? 1 : 0;
    const std::size_t before = mallinfo2().uordblks;
    form.Start();
    std::size_t minute = 0, half = 0;
    for (int cycle = 1; cycle < 36000; ++cycle) {
      clock.Advance(100);
      form.Tick();
      if (cycle == 600) minute = mallinfo2().uordblks;
      if (cycle == 18000) half = mallinfo2().uordblks;
    }
    const std::size_t end = mallinfo2().uordblks;
    state.counters["cycles"] = form.Cycles();
    state.counters["heap_after_1min_KiB"] = (static_cast<double>(minute) - before) / 1024;
    state.counters["heap_after_30min_KiB"] = (static_cast<double>(half) - before) / 1024;
    state.counters["heap_after_60min_KiB"] = (static_cast<double>(end) - before) / 1024;
    state.counters["trend_samples"] = static_cast<double>(form.Trend(form.TrendPoints()[0])->Size());
  }
}
BENCHMARK(BM_MonitorHourOfTrends)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
