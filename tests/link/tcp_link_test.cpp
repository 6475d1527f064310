#include "link/tcp_link.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <random>
#include <set>
#include <thread>

#include "hex_bytes.h"
#include "sim_harness.h"

namespace r770 {
namespace {

using test::Bytes;
using test::SimSetup;
using test::TcpLinkTest;

std::vector<std::uint8_t> Vec(std::span<const std::uint8_t> s) { return {s.begin(), s.end()}; }

TEST_F(TcpLinkTest, EveryModuleCommandAgainstTheSimulator) {
  Start({.modules = {{0x01, 0x1101}, {0x05, 0x1106}}});
  std::string text;

  std::vector<std::pair<std::uint16_t, std::uint8_t>> found;
  auto onFound = [](void* c, std::uint16_t type, std::uint8_t net) {
    static_cast<std::vector<std::pair<std::uint16_t, std::uint8_t>>*>(c)->emplace_back(type, net);
  };
  for (std::uint8_t net : {0x01, 0x03, 0x05}) {
    const int code = ProbeModule(net, onFound, &found);
    EXPECT_EQ(code, net == 0x03 ? 1 : 0) << int(net);
  }
  EXPECT_EQ(found, (std::vector<std::pair<std::uint16_t, std::uint8_t>>{{0x1101, 0x01}, {0x1106, 0x05}}));

  // The first traffic lines: the probe of 01 and its short answer, each with the link prefix.
  ASSERT_GE(log.lines.size(), 2u);
  EXPECT_EQ(log.lines[0], Prefix() + ">> 10 41 01 01 00 F0 00 33 16 ");
  EXPECT_EQ(log.lines[1], Prefix() + "<< 10 01 01 01 11 00 00 14 16 ");

  EXPECT_EQ(clock.SleptMs(), 1000);  // the pause after the silent number's failed receive
  ASSERT_TRUE(LoginModule(0x01, 2, &text)) << text;
  ASSERT_TRUE(SetRunState(0x01, true, &text)) << text;
  EXPECT_EQ(text, "  OK");
  EXPECT_EQ(LastRunState(), 0);
  EXPECT_EQ(sim->Module(0x01).RunState(), 0x81);

  const std::uint8_t period[] = {0x2C, 0x01};
  EXPECT_EQ(WriteModuleParam(0x01, 0x11, period, &text), 0);
  EXPECT_EQ(text, "  OK");
  EXPECT_EQ(sim->Module(0x01).ElementValue(0x11, 0), 300u);

  const std::uint8_t ip[] = {192, 168, 5, 7};
  EXPECT_EQ(WriteModuleParam(0x01, 0x09, ip, &text), 0);
  EXPECT_EQ(sim->Module(0x01).Param(0x09)->bytes, Vec(ip));

  const std::uint8_t param[] = {0x34, 0x12};
  EXPECT_EQ(WriteModuleElement(0x01, 0x307, param, true, 5, &text), 0);
  EXPECT_EQ(sim->Module(0x01).ElementValue(0x307, 5), 0x1234u);

  std::vector<std::uint8_t> controllers(16);
  for (std::size_t i = 0; i < controllers.size(); ++i) controllers[i] = static_cast<std::uint8_t>(i + 1);
  EXPECT_EQ(WriteModuleArray(0x01, 0x301, 1, 16, controllers, &text), 0);
  EXPECT_EQ(sim->Module(0x01).Param(0x301)->bytes, controllers);

  std::uint8_t two[2] = {};
  EXPECT_EQ(ReadModuleParam(0x01, 0x11, two, &text), 0);
  EXPECT_EQ(Vec(two), Vec(period));
  std::uint8_t four[4] = {};
  EXPECT_EQ(ReadModuleParam(0x01, 0x09, four, &text), 0);  // four data bytes: still a short frame
  EXPECT_EQ(Vec(four), Vec(ip));

  EXPECT_EQ(ReadModuleElement(0x01, 0x307, 5, 2, two, &text), 0);
  EXPECT_EQ(Vec(two), Vec(param));

  std::vector<std::uint8_t> mac(6);
  EXPECT_EQ(ReadModuleArray(0x01, 0x08, 6, 1, mac, &text), 0);
  EXPECT_EQ(mac, sim->Module(0x01).Param(0x08)->bytes);

  std::vector<std::uint8_t> back(16);
  EXPECT_EQ(ReadModuleArray(0x01, 0x301, 16, 1, back, &text), 0);
  EXPECT_EQ(back, controllers);

  // A parameter the module does not have: negative receipt.
  EXPECT_EQ(ReadModuleParam(0x01, 0x0001, two, &text), 14);
  EXPECT_EQ(text, "  Ошибки передачи (отрицательная квитанция)");

  ASSERT_TRUE(SetRunState(0x01, false, &text)) << text;
  EXPECT_EQ(LastRunState(), 0x81);
  EXPECT_EQ(sim->Module(0x01).RunState(), 0);
  EXPECT_EQ(clock.SleptMs(), 1200);  // and one 100 ms poll for each state change

  // Raw bytes: a ready frame goes out as it is, the answer comes back as it is.
  const auto frame = BuildFrame(Bytes("03 01 00 F0"), 3, 0x05);
  std::uint8_t answer[255];
  int length = 0;
  EXPECT_EQ(RawExchange(frame, answer, length, &text), 0);
  EXPECT_EQ(text, "  OK");
  EXPECT_EQ(Vec({answer, static_cast<std::size_t>(length)}), Bytes("10 03 05 06 11 00 00 1F 16"));
}

TEST_F(TcpLinkTest, AWriteWithoutAccessIsRefused) {
  Start();
  std::string text;
  const std::uint8_t one[] = {1};
  EXPECT_EQ(WriteModuleParam(0x01, 0x00, one, &text), 14);
  ASSERT_TRUE(LoginModule(0x01, 2, &text));
  EXPECT_EQ(WriteModuleParam(0x01, 0x00, one, &text), 0);
}

TEST_F(TcpLinkTest, RefusedAccessGives26) {
  Start({.behaviour = {.refuseAccess = true}});
  std::string text;
  EXPECT_FALSE(LoginModule(0x01, 2, &text));
  EXPECT_EQ(text, "  Несоответствие пароля и уровня доступа к параметрам");
}

TEST_F(TcpLinkTest, WriteArrayOfNoElementsSendsNothing) {
  Start();
  std::string text;
  EXPECT_EQ(WriteModuleArray(0x01, 0x300, 1, 0, {}, &text), 0);
  EXPECT_EQ(text, "  OK");
  EXPECT_TRUE(log.lines.empty());
  EXPECT_EQ(sim->server->FramesReceived(), 0);
}

TEST_F(TcpLinkTest, SilentModuleIsTriedRetriesTimes) {
  Start({.faults = {.silent = true}}, 3);
  std::string text;
  std::uint8_t state[1];
  EXPECT_EQ(ReadModuleParam(0x01, 0xF01A, state, &text), 1);
  EXPECT_EQ(text, "  Нет ответа от прибора ");
  const std::string send = Prefix() + ">> 10 41 01 01 1A F0 00 4D 16 ";
  EXPECT_EQ(log.lines,
            (std::vector<std::string>{send, "SOCKET_ERROR", send, "SOCKET_ERROR", send, "SOCKET_ERROR"}));
  EXPECT_EQ(clock.SleptMs(), 3000);  // the pause after each failed receive, on the clock
}

TEST_F(TcpLinkTest, ALateAnswerIsTakenByTheNextAttemptAndLogged) {
  // The answer comes 300 ms after each request, past the 150 ms wait of the first attempt but
  // within the real pause of a second that follows it: the second attempt finds it waiting.
  SetLinkClock(&SystemClock());
  Start({.faults = {.delayMs = 300}}, 2);
  std::string text;
  std::uint8_t state[1] = {0xFF};
  EXPECT_EQ(ReadModuleParam(0x01, 0xF01A, state, &text), 0) << text;
  EXPECT_EQ(state[0], 0);
  const std::string send = Prefix() + ">> 10 41 01 01 1A F0 00 4D 16 ";
  EXPECT_EQ(log.lines, (std::vector<std::string>{send, "SOCKET_ERROR", send,
                                                 Prefix() + "<< 10 01 01 00 00 00 00 02 16 "}));
}

TEST_F(TcpLinkTest, ProbeMakesASingleAttempt) {
  Start({.faults = {.silent = true}}, 3);
  EXPECT_EQ(ProbeModule(0x01, nullptr, nullptr), 1);
  EXPECT_EQ(log.Count(Prefix() + ">> "), 1);
  EXPECT_EQ(log.Count("SOCKET_ERROR"), 1);
  EXPECT_EQ(CurrentEngine()->Retries, 3);
  EXPECT_EQ(CurrentEngine()->TimeoutSec, 1);
}

TEST_F(TcpLinkTest, PeerThatClosesGivesNoAnswerWithoutSocketErrors) {
  Start({.faults = {.closeAfter = 1}}, 3);
  std::string text;
  std::uint8_t state[1];
  EXPECT_EQ(ReadModuleParam(0x01, 0xF01A, state, &text), 0);
  log.lines.clear();
  EXPECT_EQ(ReadModuleParam(0x01, 0xF01A, state, &text), 1);
  EXPECT_EQ(log.Count(Prefix() + ">> "), 3);
  EXPECT_EQ(log.Count("SOCKET_ERROR"), 0);
  EXPECT_EQ(log.lines.size(), 3u);
}

TEST_F(TcpLinkTest, AnswerSplitOverTwoSegmentsFailsItsCheck) {
  Start({.faults = {.splitAnswers = true}});
  std::string text;
  std::uint8_t state[1];
  // The first segment's last byte stands where the end byte should.
  EXPECT_EQ(ReadModuleParam(0x01, 0xF01A, state, &text), 11);
  ASSERT_EQ(log.lines.size(), 2u);
  EXPECT_EQ(log.lines[1], Prefix() + "<< 10 01 01 00 ");
}

struct FaultCase {
  const char* what;
  sim::Ft12Faults faults;
  int code;
};

TEST_F(TcpLinkTest, FaultyAnswersGiveTheirCodes) {
  const FaultCase cases[] = {
      {"another packet number", {.wrongPacket = true}, 7},
      {"another address", {.wrongAddress = true}, 8},
      {"wrong checksum", {.badChecksumEvery = 1}, 12},
  };
  for (const auto& c : cases) {
    Start({.faults = c.faults}, 3);
    std::string text;
    std::uint8_t state[1];
    EXPECT_EQ(ReadModuleParam(0x01, 0xF01A, state, &text), c.code) << c.what;
    EXPECT_EQ(log.Count(Prefix() + ">> "), 1) << c.what;  // a failed check is not retried
    CloseLink();
    log.lines.clear();
  }
}

TEST_F(TcpLinkTest, RawModeTakesAnyAnswer) {
  Start({.faults = {.badChecksumEvery = 1}});
  std::string text;
  const auto frame = BuildFrame(Bytes("03 01 1A F0"), 1, 0x01);
  std::uint8_t answer[255];
  int length = 0;
  EXPECT_EQ(RawExchange(frame, answer, length, &text), 0);
  EXPECT_EQ(Vec({answer, static_cast<std::size_t>(length)}), Bytes("10 01 01 00 00 00 00 03 16"));
}

TEST_F(TcpLinkTest, SetRunStateFailsWhenTheDeviceDoesNotFollow) {
  Start({.behaviour = {.neverStops = true, .neverRuns = true}});
  std::string text;
  ASSERT_TRUE(LoginModule(0x01, 2, &text));
  EXPECT_FALSE(SetRunState(0x01, true, &text));
  EXPECT_EQ(text, "  Контроллер не перешел в состояние \"СТОП\"");
  EXPECT_EQ(clock.SleptMs(), 10000);
  EXPECT_EQ(sim->Module(0x01).RunState(), 1);
  // A device whose state stays 1 is left alone by a second stop.
  EXPECT_TRUE(SetRunState(0x01, true, &text));

  sim->Module(0x01).SetParamBytes(0xF01A, std::vector<std::uint8_t>{0x81});
  EXPECT_FALSE(SetRunState(0x01, false, &text));
  EXPECT_EQ(text, "  Контроллер не перешел в состояние \"ПУСК\"");
  EXPECT_EQ(clock.SleptMs(), 12000);
}

TEST_F(TcpLinkTest, OpenDescribesTheLinkAndReports32WhenNothingListens) {
  // A port that was just free: nothing listens there.
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  socklen_t len = sizeof a;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  ::close(fd);

  link.Host = "127.0.0.1";
  link.Port = ntohs(a.sin_port);
  std::string text;
  EXPECT_FALSE(OpenLink(link, &text, test::LogCollector::Handler, &log));
  const std::string description = "127.0.0.1 (" + std::to_string(link.Port) + ") ";
  EXPECT_EQ(text, description + "\rОшибка установки соединения по TCP");
  EXPECT_EQ(log.lines, std::vector<std::string>{description + "  Ошибка установки соединения по TCP "});

  TTCPLink modbus;
  modbus.Host = "127.0.0.1";
  modbus.Port = 502;
  T_TCPObmen engine(modbus, clock);
  std::string d;
  engine.Open(d);
  EXPECT_EQ(d, "127.0.0.1 (502) ");
  EXPECT_EQ(engine.LogPrefix, "127.0.0.1 (01F6) ");
}

TEST_F(TcpLinkTest, HostNamesAreLookedUp) {
  sim = std::make_unique<test::RunningSim>();
  link.Host = "localhost";
  link.Port = sim->Port();
  std::string text;
  EXPECT_TRUE(OpenLink(link, &text, test::LogCollector::Handler, &log)) << text;
  link.Host = "1.2.3";  // begins with a digit: must be a dotted address
  EXPECT_FALSE(OpenLink(link, &text, test::LogCollector::Handler, &log));
}

// ---- failures injected through the socket seam

// Socket calls with scripted failures on top of the real ones.
class Faulty : public test::ShortWaits {
 public:
  Faulty() : ShortWaits(150) {}
  int SetSockOpt(int fd, int level, int name, const void* value, socklen_t len) override {
    if (level == SOL_SOCKET && name == failOption) {
      errno = EINVAL;
      return -1;
    }
    return ShortWaits::SetSockOpt(fd, level, name, value, len);
  }
  ssize_t Send(int fd, const void* data, std::size_t n, int flags) override {
    if (shortSend) return static_cast<ssize_t>(n) - 1;
    return ShortWaits::Send(fd, data, n, flags);
  }
  ssize_t Recv(int fd, void* data, std::size_t n, int flags) override {
    if (flags & MSG_DONTWAIT) return ShortWaits::Recv(fd, data, n, flags);
    if (interruptions > 0) {
      --interruptions;
      errno = EINTR;
      return -1;
    }
    if (recvError) {
      errno = recvError;
      return -1;
    }
    if (!garbage.empty()) {
      const std::size_t k = std::min(n, garbage.size());
      std::memcpy(data, garbage.data(), k);
      return static_cast<ssize_t>(k);
    }
    return ShortWaits::Recv(fd, data, n, flags);
  }
  int Poll(pollfd* fds, nfds_t n, int timeoutMs) override {
    if (connectNeverCompletes) return 0;
    return ShortWaits::Poll(fds, n, timeoutMs);
  }
  int Connect(int fd, const sockaddr* addr, socklen_t len) override {
    if (connectNeverCompletes) {
      errno = EINPROGRESS;
      return -1;
    }
    return ShortWaits::Connect(fd, addr, len);
  }

  int failOption = -1;
  bool shortSend = false;
  int interruptions = 0;
  int recvError = 0;
  bool connectNeverCompletes = false;
  std::vector<std::uint8_t> garbage;
};

class SeamTest : public TcpLinkTest {
 protected:
  void SetUp() override {
    calls = &faulty;
    TcpLinkTest::SetUp();
  }
  Faulty faulty;
};

TEST_F(SeamTest, FailingTimeOutSettersGive34Then33) {
  struct Case {
    int option;
    int code;
  };
  for (const Case c : {Case{SO_RCVTIMEO, 34}, Case{SO_SNDTIMEO, 33}}) {
    faulty.failOption = c.option;
    sim = std::make_unique<test::RunningSim>();
    TTCPLink l;
    l.Host = "127.0.0.1";
    l.Port = sim->Port();
    T_TCPObmen engine(l, clock, faulty);
    std::string d;
    EXPECT_EQ(engine.Open(d), c.code);
  }
}

TEST_F(SeamTest, ConnectThatNeverCompletesGives32) {
  faulty.connectNeverCompletes = true;
  TTCPLink l;
  l.Host = "192.0.2.1";
  l.Port = 51960;
  T_TCPObmen engine(l, clock, faulty);
  std::string d;
  EXPECT_EQ(engine.Open(d), 32);
  EXPECT_FALSE(engine.Client.Active());
}

TEST_F(SeamTest, ShortSendIsRetriedWithoutWaiting) {
  Start({}, 3);
  faulty.shortSend = true;
  std::string text;
  std::uint8_t state[1];
  EXPECT_EQ(ReadModuleParam(0x01, 0xF01A, state, &text), 1);
  EXPECT_EQ(log.lines, std::vector<std::string>(3, Prefix() + ">> 10 41 01 01 1A F0 00 4D 16 "));
  EXPECT_EQ(clock.SleptMs(), 0);
}

TEST_F(SeamTest, ReceiveFailuresAndInterruptions) {
  Start({}, 2);
  std::string text;
  std::uint8_t state[1];
  faulty.interruptions = 3;  // EINTR is retried inside the call
  EXPECT_EQ(ReadModuleParam(0x01, 0xF01A, state, &text), 0);

  log.lines.clear();
  faulty.recvError = ECONNRESET;
  EXPECT_EQ(ReadModuleParam(0x01, 0xF01A, state, &text), 1);
  EXPECT_EQ(log.Count("SOCKET_ERROR"), 2);
  EXPECT_EQ(clock.SleptMs(), 2000);
}

TEST_F(SeamTest, GarbageAnswersOfEveryLengthGiveACodeOfTheTable) {
  Start();
  const std::set<int> known{0, 7, 8, 9, 10, 11, 12, 13, 14, 17};
  std::mt19937 random(51960);
  for (std::size_t n = 1; n <= 255; ++n) {
    faulty.garbage.resize(n);
    for (auto& b : faulty.garbage) b = static_cast<std::uint8_t>(random());
    if (n % 3 == 0) faulty.garbage[0] = 0x68;
    std::uint8_t out[8];
    std::string text;
    const int code = ReadModuleParam(0x01, 0x0009, std::span(out, n % 8), &text);
    ASSERT_TRUE(known.count(code)) << n << ": " << code;
  }
}

TEST_F(TcpLinkTest, FloodingPeerCannotOverrunTheBuffer) {
  // A peer that answers every connection with an endless stream of bytes.
  const int server = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::bind(server, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  ASSERT_EQ(::listen(server, 1), 0);
  socklen_t len = sizeof a;
  ::getsockname(server, reinterpret_cast<sockaddr*>(&a), &len);
  std::atomic<bool> stop{false};
  std::thread flood([&] {
    const int fd = ::accept(server, nullptr, nullptr);
    std::vector<std::uint8_t> bytes(65536, 0x68);
    while (!stop && ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) > 0) {
    }
    ::close(fd);
  });
  link.Host = "127.0.0.1";
  link.Port = ntohs(a.sin_port);
  link.Retries = 2;
  std::string text;
  ASSERT_TRUE(OpenLink(link, &text, test::LogCollector::Handler, &log));
  std::uint8_t out[4];
  for (int i = 0; i < 3; ++i) EXPECT_EQ(ReadModuleParam(0x01, 0x09, out, &text), 7);
  stop = true;
  CloseLink();
  flood.join();
  ::close(server);
}

}  // namespace
}  // namespace r770
