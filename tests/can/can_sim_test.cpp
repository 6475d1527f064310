// The CAN-BUS adapter link end to end: the module commands over a real pseudo-terminal to
// the simulator's adapter, and the simulated adapter's own framing and faults.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "can_frontend.h"
#include "common/clock.h"
#include "link/can_bus.h"
#include "link/module_commands.h"
#include "sim_module.h"

namespace r770 {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Real time for the answer deadlines (the line is real), but the link's fixed pauses (100 ms
// after the speed, around the DTR pulse, between attempts, in the run-state wait) pass at
// once: the clock jumps over them.
class NoPauseClock final : public Clock {
 public:
  std::int64_t NowMs() override { return SystemClock().NowMs() + skipped_; }
  LocalTime LocalNow() override { return SystemClock().LocalNow(); }
  void SleepMs(int ms) override { skipped_ += ms > 0 ? ms : 0; }

 private:
  std::int64_t skipped_ = 0;
};

struct LogLine {
  std::string text;
  int kind;
  bool operator==(const LogLine&) const = default;
};

void CollectLog(void* context, const std::string& text, int kind) {
  static_cast<std::vector<LogLine>*>(context)->push_back({text, kind});
}

bool Has(const std::vector<LogLine>& log, const std::string& text) {
  return std::any_of(log.begin(), log.end(), [&](const LogLine& l) { return l.text == text; });
}

class CanOverPty : public ::testing::Test {
 protected:
  void SetUp() override { SetLinkClock(&clock); }
  void TearDown() override {
    CloseLink();
    SetLinkClock(nullptr);
  }

  // Starts the simulated adapter with module 01 on its bus and opens the link through it.
  void Start(sim::CanFrontendOptions options = {}) {
    module = &bus.Add(0x01, 0x1101);
    adapter = std::make_unique<sim::CanFrontend>(bus, options);
    std::string error;
    ASSERT_TRUE(adapter->Start(&error)) << error;
    link.PortNumber = 2;
    link.DevicePath = adapter->DevicePath();
    link.OwnNode = 0x7E;
    link.Speed = 100;
    link.Retries = 2;
    link.TimeoutSec = 1;
    std::string text;
    ASSERT_TRUE(OpenLink(link, &text, CollectLog, &log)) << text;
    EXPECT_EQ(text, "  OK");
  }

  NoPauseClock clock;
  sim::SimBus bus;
  sim::SimModule* module = nullptr;
  std::unique_ptr<sim::CanFrontend> adapter;
  TCANbusLink link;
  std::vector<LogLine> log;
};

TEST_F(CanOverPty, EveryModuleCommandReachesTheModule) {
  Start();
  EXPECT_TRUE(Has(log, "Инициализация CAN-BUS получены данные : 40 0A 0D  M"));
  EXPECT_EQ(adapter->Resets(), 1);
  EXPECT_EQ(adapter->OwnNode(), 0x7E);
  ASSERT_NE(dynamic_cast<T_CanBus*>(CurrentEngine()), nullptr);

  struct Found {
    std::uint16_t type = 0;
    std::uint8_t net = 0;
  } found;
  auto onFound = [](void* c, std::uint16_t type, std::uint8_t net) { *static_cast<Found*>(c) = {type, net}; };
  EXPECT_EQ(ProbeModule(0x01, onFound, &found), 0);
  EXPECT_EQ(found.type, 0x1101);
  EXPECT_EQ(found.net, 0x01);

  std::string text;
  ASSERT_TRUE(LoginModule(0x01, 2, &text)) << text;
  ASSERT_TRUE(SetRunState(0x01, true, &text)) << text;
  EXPECT_EQ(module->RunState(), 0x81);

  const Bytes period = {0x2C, 0x01};
  EXPECT_EQ(WriteModuleParam(0x01, 0x11, period, &text), 0);
  EXPECT_EQ(text, "  OK");
  EXPECT_EQ(module->Param(0x11)->bytes, period);

  const Bytes word = {0x34, 0x12};
  EXPECT_EQ(WriteModuleElement(0x01, 0x304, word, true, 0, &text), 0);
  EXPECT_EQ(WriteModuleElement(0x01, 0x304, Bytes{0x78, 0x56}, false, 1, &text), 0);
  EXPECT_EQ(module->ElementValue(0x304, 0), 0x1234u);
  EXPECT_EQ(module->ElementValue(0x304, 1), 0x5678u);

  Bytes controllers(16);
  for (int i = 0; i < 16; ++i) controllers[i] = static_cast<std::uint8_t>(i + 1);
  EXPECT_EQ(WriteModuleArray(0x01, 0x301, 1, 16, controllers, &text), 0);
  EXPECT_EQ(module->ElementValue(0x301, 15), 16u);

  Bytes two(2);
  EXPECT_EQ(ReadModuleParam(0x01, 0x11, two, &text), 0);
  EXPECT_EQ(two, period);
  EXPECT_EQ(ReadModuleElement(0x01, 0x304, 1, 2, two, &text), 0);
  EXPECT_EQ(two, (Bytes{0x78, 0x56}));
  Bytes back(16);
  EXPECT_EQ(ReadModuleArray(0x01, 0x301, 16, 1, back, &text), 0);
  EXPECT_EQ(back, controllers);

  ASSERT_TRUE(SetRunState(0x01, false, &text)) << text;
  EXPECT_EQ(module->RunState(), 0);

  // The traffic is logged frame by frame: the last request and its answer.
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[log.size() - 2].text.substr(0, 3), ">> ");
  EXPECT_EQ(log.back().text.substr(0, 6), "<< 7E ");  // to the computer's node
  int delivered = 0;
  EXPECT_EQ(RawExchange(period, back, delivered, &text), -1) << "no raw bytes on the adapter link";

  CloseLink();
  EXPECT_EQ(CurrentEngine(), nullptr);
}

TEST_F(CanOverPty, ReopeningAnOpenEngineAndASecondOpenerOfTheSameDevice) {
  Start();
  auto* engine = dynamic_cast<T_CanBus*>(CurrentEngine());
  ASSERT_NE(engine, nullptr);
  std::string description;
  EXPECT_EQ(engine->Open(description), 0) << "the open port is closed and opened again";
  EXPECT_EQ(description, "COM2");
  EXPECT_EQ(adapter->Resets(), 2);

  // Another engine cannot have the port while this one holds it.
  T_CanBus other(link, clock);
  std::vector<LogLine> otherLog;
  other.OnLog = CollectLog;
  other.OnLogContext = &otherLog;
  EXPECT_EQ(other.Open(description), 18);
  EXPECT_EQ(otherLog, (std::vector<LogLine>{{"Не удалось открыть порт COM2 (устройство " + link.DevicePath +
                                                 "): устройство занято другим приложением",
                                             0}}));

  Bytes one(1);
  EXPECT_EQ(ReadModuleParam(0x01, 0xF01A, one, nullptr), 0) << "the first engine still works";
}

TEST_F(CanOverPty, MissingDeviceFailsOpenLinkWith18) {
  link.PortNumber = 7;
  link.DevicePath = "/dev/r770-missing-port";
  link.TimeoutSec = 1;
  std::string text;
  EXPECT_FALSE(OpenLink(link, &text, CollectLog, &log));
  EXPECT_EQ(text, "COM7\rНе удалось открыть порт, возможно он занят другим приложением");
  EXPECT_EQ(
      log, (std::vector<LogLine>{
               {"Не удалось открыть порт COM7 (устройство /dev/r770-missing-port): нет такого устройства", 0},
               {"COM7  Не удалось открыть порт, возможно он занят другим приложением", 1}}));
}

TEST_F(CanOverPty, VariantZeroReinitialisesBeforeEveryFrameOnALineWithoutCarrier) {
  sim::CanFrontendOptions options;
  options.variant = 0;
  Start(options);
  Bytes one(1);
  log.clear();
  EXPECT_EQ(ReadModuleParam(0x01, 0xF01A, one, nullptr), 0);
  EXPECT_EQ(adapter->Resets(), 2);
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log[0].text, "(0000 and MS_RLSD_ON)<>MS_RLSD_ON  kod_v=0  Ошибка CAN-контроллера - нет несущей");

  // Resetting the adapter before every frame leaves the module behind it as it was: the
  // access level opened by one frame still holds for the writes after it.
  std::string text;
  ASSERT_TRUE(LoginModule(0x01, 2, &text)) << text;
  ASSERT_TRUE(SetRunState(0x01, true, &text)) << text;
  EXPECT_EQ(WriteModuleParam(0x01, 0x11, Bytes{0x2C, 0x01}, &text), 0) << text;
  EXPECT_EQ(module->Param(0x11)->bytes, (Bytes{0x2C, 0x01}));
  EXPECT_EQ(module->RunState(), 0x81);
  EXPECT_GT(adapter->Resets(), 4);
}

TEST_F(CanOverPty, BadAnswersAndAVanishingAdapterEndInCodes) {
  sim::CanFrontendOptions options;
  options.faults.badCount = true;
  Start(options);
  Bytes one(1);
  std::string text;
  EXPECT_EQ(ReadModuleParam(0x01, 0xF01A, one, &text), 17);
  EXPECT_EQ(text, "  Несовпадение полученой длины данных и ожидаемой ");

  // The adapter is pulled out in the middle of the session: the next frame cannot go out.
  adapter->Hangup();
  std::int64_t t0 = SystemClock().NowMs();
  EXPECT_EQ(ReadModuleParam(0x01, 0xF01A, one, &text), 3);
  EXPECT_LT(SystemClock().NowMs() - t0, 1000) << "no wait for the answer deadline";
  CloseLink();  // the port of a vanished adapter still closes
  EXPECT_EQ(CurrentEngine(), nullptr);
}

TEST(CanAdapterSim, CommandLineTakesTheAdapterOptionsAndLeavesTheRest) {
  std::vector<std::string> args{"--can",        "--port",           "0",
                                "--variant0",   "--adapter-silent", "--no-carrier",
                                "--wrong-node", "--bad-count",      "--silent"};
  sim::CanFrontendOptions o;
  EXPECT_TRUE(sim::TakeCanOptions(args, o));
  EXPECT_EQ(args, (std::vector<std::string>{"--port", "0", "--silent"}));
  EXPECT_EQ(o.variant, 0);
  EXPECT_TRUE(o.faults.adapterSilent && o.faults.noCarrier && o.faults.wrongNode && o.faults.badCount);
  EXPECT_FALSE(o.faults.silent) << "taken by the common options";
  std::vector<std::string> none{"--port", "0"};
  sim::CanFrontendOptions plain;
  EXPECT_FALSE(sim::TakeCanOptions(none, plain));
  EXPECT_EQ(plain.variant, 1);
  EXPECT_FALSE(plain.faults.adapterSilent || plain.faults.noCarrier);
}

// The simulated adapter's framing, without a line.
TEST(CanAdapterSim, UnitsAreTakenFromTheStreamAndNoiseIsSkipped) {
  const InitBlockBytes init = BuildInitBlock(0x7E, 100);
  const Bytes frame = {0x01, 0x80, 0, 0, 4, 0x7E, 0x02, 0x1A, 0xF0, 0, 0, 0, 0};
  // Noise, an init block, a frame and half a frame.
  Bytes stream;
  for (const Bytes& part : {Bytes{0x55, 0x00, 0x13}, Bytes(init.begin(), init.end()), frame,
                            Bytes(frame.begin(), frame.begin() + 7)})
    stream.insert(stream.end(), part.begin(), part.end());

  auto u = sim::TakeCanUnit(stream);
  ASSERT_TRUE(u);
  EXPECT_EQ(u->kind, sim::CanUnit::Init);
  EXPECT_EQ(u->bytes, Bytes(init.begin(), init.end()));
  u = sim::TakeCanUnit(stream);
  ASSERT_TRUE(u);
  EXPECT_EQ(u->kind, sim::CanUnit::Frame);
  EXPECT_EQ(u->bytes, frame);
  EXPECT_FALSE(sim::TakeCanUnit(stream)) << "half a frame waits for the rest";
  EXPECT_EQ(stream.size(), 7u);

  // A block that looks like an init block but does not add up is skipped byte by byte.
  Bytes bad(init.begin(), init.end());
  bad[35] ^= 1;
  EXPECT_FALSE(sim::TakeCanUnit(bad));
  EXPECT_LT(bad.size(), 36u);
}

TEST(CanAdapterSim, AnswersAndFaults) {
  sim::SimBus bus;
  bus.Add(0x05, 0x1101);
  const Bytes read = {0x05, 0xA0, 0, 0, 4, 0x7E, 0x02, 0x00, 0xF0, 0, 0, 0, 0};
  struct Case {
    const char* what;
    sim::CanFaults faults;
    Bytes request;
    std::optional<Bytes> answer;
  } cases[] = {
      {"device type", {}, read, Bytes{0x7E, 0xA0, 0, 0, 3, 0x05, 0x01, 0x11, 0, 0, 0, 0, 0}},
      {"wrong node", {.wrongNode = true}, read, Bytes{0x7F, 0xA0, 0, 0, 3, 0x05, 0x01, 0x11, 0, 0, 0, 0, 0}},
      {"wrong packet",
       {.wrongPacket = true},
       read,
       Bytes{0x7E, 0x80, 0, 0, 3, 0x05, 0x01, 0x11, 0, 0, 0, 0, 0}},
      {"bad count", {.badCount = true}, read, Bytes{0x7E, 0xA0, 0, 0, 4, 0x05, 0x01, 0x11, 0, 0, 0, 0, 0}},
      {"silent", {.silent = true}, read, std::nullopt},
      {"no such module", {}, Bytes{0x06, 0xA0, 0, 0, 4, 0x7E, 0x02, 0x00, 0xF0, 0, 0, 0, 0}, std::nullopt},
      {"write without access: refused, no data",
       {},
       Bytes{0x05, 0xC0, 0, 0, 5, 0x7E, 0x03, 0x00, 0x00, 0x09, 0, 0, 0},
       Bytes{0x7E, 0xC0, 0, 0, 1, 0x05, 0, 0, 0, 0, 0, 0, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(sim::AnswerCanFrame(bus, c.request, c.faults), c.answer);
  }
}

}  // namespace
}  // namespace r770
