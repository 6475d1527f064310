// Test harness: a simulated module on an ephemeral loopback port, and the command layer
// wired to it with a fake clock and shortened socket waits.
#pragma once
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <memory>
#include <string>
#include <vector>

#include "common/number_forms.h"
#include "ft12_server.h"
#include "link/module_commands.h"
#include "link/tcp_link.h"
#include "sim_module.h"

namespace r770::test {

// Socket calls that shorten every send and receive time-out to `waitMs`, so that a silent
// peer costs milliseconds instead of the link's whole seconds.
class ShortWaits : public SocketCalls {
 public:
  explicit ShortWaits(int waitMs) : waitMs_(waitMs) {}
  int SetSockOpt(int fd, int level, int name, const void* value, socklen_t len) override {
    if (level == SOL_SOCKET && (name == SO_RCVTIMEO || name == SO_SNDTIMEO)) {
      timeval tv{waitMs_ / 1000, (waitMs_ % 1000) * 1000};
      return SocketCalls::SetSockOpt(fd, level, name, &tv, sizeof tv);
    }
    return SocketCalls::SetSockOpt(fd, level, name, value, len);
  }

 private:
  int waitMs_;
};

struct SimSetup {
  std::vector<std::pair<std::uint8_t, std::uint16_t>> modules{{0x01, 0x1101}};
  sim::SimBehaviour behaviour;
  sim::Ft12Faults faults;
};

class RunningSim {
 public:
  explicit RunningSim(const SimSetup& setup = {}) {
    for (const auto& [net, type] : setup.modules) bus.Add(net, type, setup.behaviour);
    sim::Ft12ServerOptions options;
    options.port = 0;
    options.faults = setup.faults;
    server = std::make_unique<sim::Ft12Server>(bus, options);
    std::string error;
    started = server->Start(&error);
    EXPECT_TRUE(started) << error;
  }
  int Port() const { return server->Port(); }
  sim::SimModule& Module(std::uint8_t net) { return *bus.Find(net); }

  sim::SimBus bus;
  std::unique_ptr<sim::Ft12Server> server;
  bool started = false;
};

// Collects the log handler's lines.
struct LogCollector {
  static void Handler(void* context, const std::string& text, int kind) {
    static_cast<LogCollector*>(context)->lines.push_back(text);
  }
  int Count(const std::string& prefix) const {
    int n = 0;
    for (const auto& l : lines) n += l.rfind(prefix, 0) == 0;
    return n;
  }
  std::vector<std::string> lines;
};

// The command layer on a TCP link to a running simulator.
class TcpLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetLinkClock(&clock);
    SetEngineFactory(kLinkTcp, [this](const TCustomLink& link, Clock& c) {
      return std::make_unique<T_TCPObmen>(dynamic_cast<const TTCPLink&>(link), c, *calls);
    });
  }
  void TearDown() override {
    CloseLink();
    SetEngineFactory(kLinkTcp, nullptr);
    SetLinkClock(nullptr);
  }
  // Starts the simulator and opens the link to it.
  void Start(const SimSetup& setup = {}, int retries = 1) {
    sim = std::make_unique<RunningSim>(setup);
    link.Host = "127.0.0.1";
    link.Port = sim->Port();
    link.Retries = retries;
    link.TimeoutSec = 1;
    std::string text;
    ASSERT_TRUE(OpenLink(link, &text, LogCollector::Handler, &log)) << text;
    ASSERT_EQ(text, "  OK");
  }
  std::string Prefix() const { return "127.0.0.1 (" + Hex4(static_cast<std::uint32_t>(link.Port)) + ") "; }

  FakeClock clock;
  ShortWaits shortWaits{150};
  SocketCalls* calls = &shortWaits;
  std::unique_ptr<RunningSim> sim;
  TTCPLink link;
  LogCollector log;
};

}  // namespace r770::test
