// The CAN-BUS adapter link on a scripted port: opening and the adapter's reset, the carrier
// check, the frame exchange with its attempts and deadline, and every answer check, with
// the exact codes and log lines.
#include "link/can_bus.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/clock.h"
#include "fake_serial.h"

namespace r770 {
namespace {

using test::Bytes;
using test::FakeOpener;
using test::FakeSerialState;

const std::string kInitLine = "Инициализация CAN-BUS получены данные : ";
const std::string kNoCarrierText = "  Ошибка CAN-контроллера - нет несущей";
const std::string kSilentText = "  Ошибка инициализации CAN-контроллера - нет ответа после команды сброс";
const std::string kNotSent = " эти данные хотели послать, но не вышло";

void CollectLog(void* context, const std::string& text, int kind) {
  static_cast<std::vector<std::string>*>(context)->push_back(text);
}

// The module's answer to `request`: to the computer's node, from the module, the request's
// packet byte, count d + 1 (or `count`), then the data.
Bytes Answer(const Bytes& request, std::uint8_t ownNode, const Bytes& data, int count = -1) {
  Bytes a(13, 0);
  a[0] = ownNode;
  a[1] = request[1];
  a[4] = static_cast<std::uint8_t>(count >= 0 ? count : static_cast<int>(data.size()) + 1);
  a[5] = request[0];
  for (std::size_t i = 0; i < data.size() && i < 7; ++i) a[6 + i] = data[i];
  return a;
}

Bytes ReadRequest(std::uint8_t module, std::uint8_t ownNode, std::uint16_t param) {
  return {module,
          0,
          0,
          0,
          4,
          ownNode,
          0x02,
          static_cast<std::uint8_t>(param),
          static_cast<std::uint8_t>(param >> 8),
          0,
          0,
          0,
          0};
}

class CanBusTest : public ::testing::Test {
 protected:
  CanBusTest() {
    link.OwnNode = 0x21;
    link.Speed = 100;
    link.PortNumber = 2;
    link.Retries = 3;
    link.TimeoutSec = 2;
    opener.state = state;
  }

  // Opens a fresh engine; the log and the port's record start empty afterwards.
  int OpenEngine(bool clearRecord = true) {
    engine = std::make_unique<T_CanBus>(link, clock, opener.Get());
    engine->OnLog = CollectLog;
    engine->OnLogContext = &log;
    std::string description;
    int code = engine->Open(description);
    EXPECT_EQ(description, "COM" + std::to_string(link.PortNumber));
    if (clearRecord) {
      state->calls.clear();
      state->writes.clear();
      log.clear();
    }
    return code;
  }

  int Read(std::uint16_t param, Bytes& data, int n) {
    data.assign(n, 0);
    int delivered = -1;
    Bytes req = ReadRequest(0x05, link.OwnNode, param);
    int code = engine->Exchange(n, 0x05, req, data, delivered);
    data.resize(code == 0 ? delivered : 0);
    return code;
  }

  // The module at 0x05 answers every frame with `data`.
  void ModuleAnswers(const Bytes& data) {
    state->onFrame = [this, data](const Bytes& f) {
      return std::vector<Bytes>{Answer(f, static_cast<std::uint8_t>(link.OwnNode), data)};
    };
  }

  FakeClock clock;
  std::shared_ptr<FakeSerialState> state = std::make_shared<FakeSerialState>(clock);
  FakeOpener opener;
  TCANbusLink link;
  std::unique_ptr<T_CanBus> engine;
  std::vector<std::string> log;
};

TEST(CanInitBlock, LayoutSpeedCodesAndChecksum) {
  EXPECT_EQ(BuildInitBlock(1, 100),
            (InitBlockBytes{1, 0, 0, 0, 1, 0, 0,    0, 1, 0, 0,    0, 1, 0, 0,    0,    1,    0,
                            0, 0, 1, 0, 0, 0, 0xFF, 0, 0, 0, 0xFF, 0, 0, 0, 0x02, 0xE0, 0x45, 0xD5}));
  struct {
    int kbaud;
    std::uint8_t code;
  } speeds[] = {{300, 0x41}, {150, 0x43}, {100, 0x45}, {50, 0x4B}, {20, 0x5D}, {125, 0x41}, {0, 0x41}};
  for (auto s : speeds) {
    InitBlockBytes b = BuildInitBlock(0xFE, s.kbaud);
    EXPECT_EQ(b[34], s.code) << s.kbaud;
    EXPECT_EQ(b[20], 0xFE);
    unsigned sum = 0;
    for (auto x : b) sum += x;
    EXPECT_EQ(sum % 256, 0u) << s.kbaud;
  }
}

TEST_F(CanBusTest, OpenSetsTheLineResetsTheAdapterAndNamesThePort) {
  ASSERT_EQ(OpenEngine(false), 0);
  EXPECT_EQ(opener.paths, std::vector<std::string>{"/dev/ttyS1"});
  EXPECT_EQ(engine->DevicePath(), "/dev/ttyS1");
  EXPECT_EQ(state->calls,
            (std::vector<std::string>{"line 115200 8 P 1",  // speed index 6, 8 data bits
                                      "line 115200 8 N 1 cts", "discard", "timeouts 1000 10", "dtr 1",
                                      "dtr 0", "write 36", "timeouts 120 10", "discard"}));
  ASSERT_EQ(state->writes.size(), 1u);
  EXPECT_EQ(Bytes(engine->InitBlock.begin(), engine->InitBlock.end()), state->writes[0]);
  EXPECT_EQ(engine->InitBlock[0], 0x21);
  EXPECT_EQ(engine->OwnNode, 0x21);
  EXPECT_EQ(engine->AdapterVariant, 1);
  EXPECT_EQ(log, std::vector<std::string>{kInitLine + "40 0A 0D  M"});
  // Pauses: 100 ms after the speed, 100 ms after each DTR edge.
  EXPECT_EQ(clock.SleptMs(), 300);

  // The device named in the record is used instead of the default one.
  link.DevicePath = "/dev/ttyUSB0";
  ASSERT_EQ(OpenEngine(), 0);
  EXPECT_EQ(opener.paths.back(), "/dev/ttyUSB0");
}

TEST_F(CanBusTest, ResetAnswersGiveTheirCodesVariantsAndLines) {
  struct Case {
    Bytes answer;
    int code;
    int variant;
    std::vector<std::string> log;
  } cases[] = {
      {{0x30, 0x0A, 0x0D}, 0, 0, {}},
      {{0x40, 0x0A, 0x0D}, 0, 1, {kInitLine + "40 0A 0D  M"}},
      {{0x30, 0x0A}, 17, 0, {kInitLine + "30 0A  "}},
      {{0x30, 0x0D, 0x0A}, 24, 0, {kInitLine + "30 0D 0A  "}},
      {{0x41, 0x0A, 0x0D}, 24, 0, {kInitLine + "41 0A 0D  "}},
      {{0x40, 0x0A, 0x0E}, 24, 0, {kInitLine + "40 0A 0E  "}},
      {{}, 20, 0, {}},
  };
  for (const auto& c : cases) {
    state->resetAnswers = {c.answer};
    log.clear();
    EXPECT_EQ(OpenEngine(false), c.code) << ::testing::PrintToString(c.answer);
    EXPECT_EQ(engine->AdapterVariant, c.variant);
    EXPECT_EQ(log, c.log);
    EXPECT_TRUE(engine->IsOpen()) << "a failed reset leaves the port open";
  }

  // The init block cannot be written: 3, and no line.
  state->resetAnswers = {{0x40, 0x0A, 0x0D}};
  state->failWritesFrom = 0;
  log.clear();
  EXPECT_EQ(OpenEngine(false), 3);
  EXPECT_TRUE(log.empty());
}

TEST_F(CanBusTest, MissingPortGives18WithTheDeviceInTheLog) {
  link.PortNumber = 3;
  opener.missing = {"/dev/ttyS2"};
  EXPECT_EQ(OpenEngine(false), 18);
  EXPECT_FALSE(engine->IsOpen());
  EXPECT_EQ(log, std::vector<std::string>{
                     "Не удалось открыть порт COM3 (устройство /dev/ttyS2): нет такого устройства"});
  EXPECT_EQ(ErrorText(18), "  Не удалось открыть порт, возможно он занят другим приложением");
}

TEST_F(CanBusTest, SecondOpenClosesThePortFirstAndCloseRestoresTheLine) {
  ASSERT_EQ(OpenEngine(), 0);
  std::string description;
  ASSERT_EQ(engine->Open(description), 0);
  ASSERT_GE(state->calls.size(), 2u);
  EXPECT_EQ(state->calls[0], "line 115200 8 N 1") << "CTS flow off before closing";
  EXPECT_EQ(state->calls[1], "close");
  EXPECT_EQ(opener.paths.size(), 2u);

  engine->Close();
  EXPECT_FALSE(state->open);
  EXPECT_FALSE(state->line.ctsFlow);
  EXPECT_FALSE(state->line.parity);
  state->calls.clear();
  engine->Close();  // a closed engine: nothing happens
  EXPECT_TRUE(state->calls.empty());
}

TEST_F(CanBusTest, FrameGoesOutAndItsAnswerIsDelivered) {
  ASSERT_EQ(OpenEngine(), 0);
  ModuleAnswers({0x81});
  Bytes data;
  ASSERT_EQ(Read(0xF01A, data, 1), 0);
  EXPECT_EQ(data, Bytes{0x81});
  ASSERT_EQ(state->writes.size(), 1u);
  EXPECT_EQ(state->writes[0], (Bytes{0x05, 0x80, 0, 0, 4, 0x21, 0x02, 0x1A, 0xF0, 0, 0, 0, 0}));
  EXPECT_EQ(log, (std::vector<std::string>{">> 05 80 00 00 04 21 02 1A F0 00 00 00 00 ",
                                           "<< 21 80 00 00 02 05 81 00 00 00 00 00 00 "}));
  // Draining a silent line costs one empty read of 10 ms, under time-outs 10/500; the frame
  // is then written under those time-outs and the answer read byte by byte under 10/10.
  EXPECT_EQ(state->calls, (std::vector<std::string>{"timeouts 10 10", "timeouts 10 500", "discard",
                                                    "write 13", "timeouts 10 10"}));

  // Packet bytes run 0x80, 0xA0, 0xC0, 0xE0, 0x80.
  std::vector<int> packets;
  for (int i = 0; i < 4; ++i) {
    ASSERT_EQ(Read(0xF01A, data, 1), 0);
    packets.push_back(state->writes.back()[1]);
  }
  EXPECT_EQ(packets, (std::vector<int>{0xA0, 0xC0, 0xE0, 0x80}));
}

TEST_F(CanBusTest, DrainInputOnASilentLineReturnsAfterOneShortRead) {
  ASSERT_EQ(OpenEngine(), 0);
  std::int64_t t0 = clock.NowMs();
  engine->DrainInput();
  EXPECT_EQ(clock.NowMs() - t0, 10);
  EXPECT_EQ(state->calls, std::vector<std::string>{"timeouts 10 500"});

  // Waiting bytes are read away one by one.
  state->Arrive({1, 2, 3, 4}, 0);
  engine->DrainInput();
  EXPECT_TRUE(state->input.empty());
}

TEST_F(CanBusTest, AnswerChecksEndTheRequestWithTheirCodes) {
  struct Case {
    const char* what;
    std::function<std::vector<Bytes>(const Bytes&)> module;
    int code;
    int frameWrites;     // no further attempt unless nothing complete came
    std::int64_t minMs;  // time the request took at least (the deadline is 2 s)
    int receiveLines;
  } cases[] = {
      {"answer for another node, then the right one",
       [](const Bytes& f) {
         Bytes other = Answer(f, 0x22, {0x81});
         return std::vector<Bytes>{other, Answer(f, 0x21, {0x81})};
       },
       0, 1, 0, 2},
      {"only an answer for another node: 23 at the deadline",
       [](const Bytes& f) { return std::vector<Bytes>{Answer(f, 0x22, {0x81})}; }, 23, 1, 2000, 1},
      {"answer from another module",
       [](const Bytes& f) {
         Bytes a = Answer(f, 0x21, {0x81});
         a[5] = 0x06;
         return std::vector<Bytes>{a};
       },
       23, 1, 2000, 1},
      {"other packet bits",
       [](const Bytes& f) {
         Bytes a = Answer(f, 0x21, {0x81});
         a[1] ^= 0x20;
         return std::vector<Bytes>{a};
       },
       22, 1, 2000, 1},
      {"count d + 2 ends the request at once",
       [](const Bytes& f) {
         return std::vector<Bytes>{Answer(f, 0x21, {0x81, 0}, 3)};
       },
       17, 1, 0, 1},
      {"silence: every attempt, then 1", [](const Bytes&) { return std::vector<Bytes>{}; }, 1, 3, 3 * 2000,
       0},
      {"half a frame, then silence",
       [](const Bytes& f) {
         Bytes a = Answer(f, 0x21, {0x81});
         a.resize(6);
         return std::vector<Bytes>{a};
       },
       1, 3, 3 * 2000, 0},
  };
  ASSERT_EQ(OpenEngine(), 0);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    state->onFrame = c.module;
    state->writes.clear();
    log.clear();
    std::int64_t t0 = clock.NowMs();
    Bytes data;
    EXPECT_EQ(Read(0xF01A, data, 1), c.code);
    EXPECT_EQ(static_cast<int>(state->writes.size()), c.frameWrites);
    EXPECT_GE(clock.NowMs() - t0, c.minMs);
    EXPECT_LT(clock.NowMs() - t0, c.minMs + c.frameWrites * 200 + 200) << "no wait past the deadline";
    int receive = 0;
    for (const auto& l : log) receive += l.rfind("<< ", 0) == 0;
    EXPECT_EQ(receive, c.receiveLines);
    EXPECT_EQ(data, c.code == 0 ? Bytes{0x81} : Bytes{});
  }
}

TEST_F(CanBusTest, SkippedAnswerStaysOnTheGrowingReceiveLine) {
  ASSERT_EQ(OpenEngine(), 0);
  state->onFrame = [](const Bytes& f) {
    return std::vector<Bytes>{Answer(f, 0x22, {0x11}), Answer(f, 0x21, {0x81})};
  };
  Bytes data;
  ASSERT_EQ(Read(0xF01A, data, 1), 0);
  const std::string other = "22 80 00 00 02 05 11 00 00 00 00 00 00 ";
  const std::string mine = "21 80 00 00 02 05 81 00 00 00 00 00 00 ";
  EXPECT_EQ(log, (std::vector<std::string>{">> 05 80 00 00 04 21 02 1A F0 00 00 00 00 ", "<< " + other,
                                           "<< " + other + mine}));
}

TEST_F(CanBusTest, NoiseBeforeTheAnswerAndAFloodEndInCodesFromTheTable) {
  ASSERT_EQ(OpenEngine(), 0);
  // Stale bytes waiting before the write are drained; the answer then checks out.
  state->Arrive({0x55, 0xAA, 0x0D}, 0);
  ModuleAnswers({0x81});
  Bytes data;
  EXPECT_EQ(Read(0xF01A, data, 1), 0);

  // Five noise bytes ahead of the answer shift the frame: a code from the table, no hang.
  state->onFrame = [](const Bytes& f) {
    return std::vector<Bytes>{{1, 2, 3, 4, 5}, Answer(f, 0x21, {0x81})};
  };
  int code = Read(0xF01A, data, 1);
  EXPECT_TRUE(code == 1 || code == 17 || code == 22 || code == 23) << code;

  // A flood of frames for another node all through the wait: 23 at the deadline, and the
  // receive line does not grow without end.
  state->onFrame = [](const Bytes& f) { return std::vector<Bytes>(1000, Answer(f, 0x22, {0x81})); };
  log.clear();
  EXPECT_EQ(Read(0xF01A, data, 1), 23);
  std::size_t longest = 0;
  for (const auto& l : log) longest = std::max(longest, l.size());
  EXPECT_LE(longest, 3u + 16 * 39);
}

TEST_F(CanBusTest, CarrierCheckResetsTheAdapterWhenTheCarrierIsOff) {
  state->resetAnswers = {{0x30, 0x0A, 0x0D}};  // variant 0: carrier is checked
  ASSERT_EQ(OpenEngine(), 0);
  ASSERT_EQ(engine->AdapterVariant, 0);
  ModuleAnswers({0x81});
  Bytes data;

  // Carrier on: RTS raised, the frame goes out.
  state->modem = {kModemCarrier | kModemCts};
  ASSERT_EQ(Read(0xF01A, data, 1), 0);
  EXPECT_EQ(std::count(state->calls.begin(), state->calls.end(), "rts 1"), 1);
  EXPECT_EQ(state->calls[1], "rts 1");
  EXPECT_EQ(log.size(), 2u);

  // Carrier off, re-initialisation succeeds: the frame is sent in the same attempt, no new
  // carrier test.
  state->modem = {kModemCts | kModemDsr, kModemCarrier};
  state->writes.clear();
  state->calls.clear();
  log.clear();
  ASSERT_EQ(Read(0xF01A, data, 1), 0);
  EXPECT_EQ(std::count(state->calls.begin(), state->calls.end(), "rts 1"), 0);
  ASSERT_EQ(state->writes.size(), 2u);
  EXPECT_EQ(state->writes[0].size(), 36u);
  EXPECT_EQ(state->writes[1].size(), 13u);
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log[0], "(0030 and MS_RLSD_ON)<>MS_RLSD_ON  kod_v=0" + kNoCarrierText);

  // Carrier off and the adapter silent twice: two reset lines, the frame is not sent, 20.
  state->modem = {0};
  state->resetAnswers = {{}};
  state->writes.clear();
  log.clear();
  EXPECT_EQ(Read(0xF01A, data, 1), 20);
  EXPECT_EQ(state->writes.size(), 2u) << "two init blocks, no frame";
  EXPECT_EQ(log, (std::vector<std::string>{"(0000 and MS_RLSD_ON)<>MS_RLSD_ON  kod_v=20" + kSilentText,
                                           "(0000 and MS_RLSD_ON)<>MS_RLSD_ON  kod_v=20" + kSilentText,
                                           ">> 05 C0 00 00 04 21 02 1A F0 00 00 00 00 " + kNotSent}));

  // A wrong reset answer: its own line, kod_v=24 with the no-carrier message.
  state->resetAnswers = {{0x30, 0x0D, 0x0A}};
  log.clear();
  EXPECT_EQ(Read(0xF01A, data, 1), 24);
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[0], kInitLine + "30 0D 0A  ");
  EXPECT_EQ(log[1], "(0000 and MS_RLSD_ON)<>MS_RLSD_ON  kod_v=24" + kNoCarrierText);
}

TEST_F(CanBusTest, VariantOneSendsWithoutCarrierTest) {
  ASSERT_EQ(OpenEngine(), 0);  // default reset answer: 0x40 0x0A 0x0D
  state->modem = {0};
  ModuleAnswers({0x81});
  Bytes data;
  EXPECT_EQ(Read(0xF01A, data, 1), 0);
  EXPECT_EQ(state->writes.size(), 1u);
  EXPECT_EQ(log.size(), 2u);
}

TEST_F(CanBusTest, FailingWriteGives3AndNoFurtherAttempt) {
  ASSERT_EQ(OpenEngine(), 0);
  ModuleAnswers({0x81});
  state->failWritesFrom = 0;
  Bytes data;
  EXPECT_EQ(Read(0xF01A, data, 1), 3);
  EXPECT_EQ(state->writes.size(), 1u);
}

TEST_F(CanBusTest, AttemptsAndAnswerTimeAreReadAtEveryRequest) {
  link.Retries = 0;  // at least one attempt all the same
  ASSERT_EQ(OpenEngine(), 0);
  state->onFrame = [](const Bytes&) { return std::vector<Bytes>{}; };
  Bytes data;
  std::int64_t t0 = clock.NowMs();
  EXPECT_EQ(Read(0xF01A, data, 1), 1);
  EXPECT_EQ(state->writes.size(), 1u);

  engine->OverrideTiming(1, 2);
  state->writes.clear();
  t0 = clock.NowMs();
  EXPECT_EQ(Read(0xF01A, data, 1), 1);
  EXPECT_EQ(state->writes.size(), 2u);
  EXPECT_LT(clock.NowMs() - t0, 2 * 1000 + 2 * 200 + 100);
}

TEST(CanAnswerCheck, CodesInTheirOrderAndNothingReadOutsideTheFrame) {
  const Bytes req = ReadRequest(0x05, 0x21, 0xF01A);
  Bytes r = req;
  r[1] = 0xA0;
  const Bytes good = Answer(r, 0x21, {1, 2, 3, 4, 5, 6, 7});
  struct Case {
    const char* what;
    std::function<void(Bytes&)> change;
    int d;
    int code;
  } cases[] = {
      {"good, seven bytes", [](Bytes&) {}, 7, 0},
      {"packet bits first",
       [](Bytes& a) {
         a[1] = 0xC0;
         a[0] = 0x99;
       },
       7, 22},
      {"other bits of the packet byte do not matter", [](Bytes& a) { a[1] = 0xBF; }, 7, 0},
      {"to another node",
       [](Bytes& a) {
         a[0] = 0x22;
         a[4] = 0;
       },
       7, 23},
      {"from another module", [](Bytes& a) { a[5] = 0x06; }, 7, 23},
      {"count", [](Bytes& a) { a[4] = 7; }, 7, 17},
      {"count, high bits ignored", [](Bytes& a) { a[4] = 0xF8; }, 7, 0},
      {"more data than a frame holds", [](Bytes& a) { a[4] = 9; }, 8, 17},
      {"negative length", [](Bytes& a) {}, -1, 17},
      {"short answer", [](Bytes& a) { a.resize(12); }, 7, 17},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes a = good;
    c.change(a);
    Bytes out(8, 0xEE);
    int delivered = -1;
    EXPECT_EQ(CheckCanAnswer(a, r, c.d, 0x21, out, delivered), c.code);
    EXPECT_EQ(delivered, c.code == 0 ? c.d : 0);
    if (c.code == 0) {
      EXPECT_EQ(Bytes(out.begin(), out.begin() + 7), (Bytes{1, 2, 3, 4, 5, 6, 7}));
    }
  }
}

}  // namespace
}  // namespace r770
