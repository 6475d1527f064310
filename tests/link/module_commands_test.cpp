#include "link/module_commands.h"

#include <gtest/gtest.h>

#include <deque>

#include "fake_engine.h"
#include "hex_bytes.h"

namespace r770 {
namespace {

using test::Bytes;
using test::FakeEngine;

struct LogLine {
  std::string text;
  int kind;
  bool operator==(const LogLine&) const = default;
};

void CollectLog(void* context, const std::string& text, int kind) {
  static_cast<std::vector<LogLine>*>(context)->push_back({text, kind});
}

// The command layer with fake engines plugged in for both link kinds.
class ModuleCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    SetLinkClock(&clock);
    for (std::uint8_t kind : {kLinkCanBus, kLinkTcp}) {
      SetEngineFactory(kind, [this](const TCustomLink& link, Clock& c) {
        auto engine = std::make_unique<FakeEngine>(link, c);
        engine->openCode = openCode;
        engine->closed = &closed;
        engine->script = script;
        made = engine.get();
        return engine;
      });
    }
  }
  void TearDown() override {
    CloseLink();
    SetEngineFactory(kLinkCanBus, nullptr);
    SetEngineFactory(kLinkTcp, nullptr);
    SetLinkClock(nullptr);
  }
  FakeEngine& Open(TCustomLink& link) {
    std::string text;
    EXPECT_TRUE(OpenLink(link, &text, CollectLog, &log));
    EXPECT_EQ(text, "  OK");
    return *made;
  }

  FakeClock clock;
  FakeEngine* made = nullptr;
  FakeEngine::Script script;
  int openCode = 0;
  int closed = 0;
  std::vector<LogLine> log;
  TTCPLink tcp;
  TCANbusLink can;
};

TEST_F(ModuleCommands, OpenLinkWithAnUnknownKindLeavesNoEngine) {
  Open(tcp);
  TTCPLink odd;
  odd.Kind = 5;
  std::string text = "old";
  EXPECT_FALSE(OpenLink(odd, &text, CollectLog, &log));
  EXPECT_EQ(text, "Не установлены параметры связи");
  EXPECT_EQ(CurrentEngine(), nullptr);
  EXPECT_EQ(closed, 1);  // the previous engine was closed and freed
}

TEST_F(ModuleCommands, OpenLinkInstallsTheHandlerAndReportsAFailedOpen) {
  openCode = 20;
  std::string text;
  EXPECT_FALSE(OpenLink(can, &text, CollectLog, &log));
  EXPECT_EQ(text, "FAKE \rОшибка инициализации CAN-контроллера - нет ответа после команды сброс");
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0],
            (LogLine{"FAKE   Ошибка инициализации CAN-контроллера - нет ответа после команды сброс", 1}));
  // The engine stays current until the next OpenLink or CloseLink.
  ASSERT_NE(CurrentEngine(), nullptr);
  CurrentEngine()->Log("traffic");
  EXPECT_EQ(log.back(), (LogLine{"traffic", 0}));
  CloseLink();
  EXPECT_EQ(CurrentEngine(), nullptr);
  EXPECT_EQ(closed, 1);
}

TEST_F(ModuleCommands, EveryCommandRefusesWithoutAnEngine) {
  const std::string none = "Не установлены параметры связи";
  std::string text;
  std::uint8_t buf[16] = {};
  const std::uint8_t data[4] = {};
  int length = 7;
  EXPECT_EQ(ProbeModule(1, nullptr, nullptr), -1);
  text.clear();
  EXPECT_FALSE(LoginModule(1, 2, &text));
  EXPECT_EQ(text, none);
  text.clear();
  EXPECT_EQ(WriteModuleParam(1, 0, std::span(data, 1), &text), -1);
  EXPECT_EQ(text, none);
  text.clear();
  EXPECT_EQ(WriteModuleElement(1, 0x300, std::span(data, 1), true, 0, &text), -1);
  EXPECT_EQ(text, none);
  text.clear();
  EXPECT_EQ(WriteModuleArray(1, 0x300, 1, 4, data, &text), -1);
  EXPECT_EQ(text, none);
  text.clear();
  EXPECT_FALSE(SetRunState(1, true, &text));
  EXPECT_EQ(text, none);
  text.clear();
  EXPECT_EQ(ReadModuleParam(1, 0, std::span(buf, 1), &text), -1);
  EXPECT_EQ(text, none);
  text.clear();
  EXPECT_EQ(ReadModuleElement(1, 0x300, 0, 1, buf, &text), -1);
  EXPECT_EQ(text, none);
  text.clear();
  EXPECT_EQ(ReadModuleArray(1, 0x300, 4, 1, buf, &text), -1);
  EXPECT_EQ(text, none);
  text.clear();
  EXPECT_EQ(RawExchange(std::span(data, 1), buf, length, &text), -1);
  EXPECT_EQ(text, none);
  EXPECT_EQ(length, 0);
}

TEST_F(ModuleCommands, RawExchangeNeedsTheTcpEngine) {
  Open(can);
  std::string text;
  std::uint8_t buf[255];
  const std::uint8_t request[] = {0, 1, 0, 0, 0, 6, 1, 3, 0, 0, 0, 2};
  int length = 0;
  EXPECT_EQ(RawExchange(request, buf, length, &text), -1);
  EXPECT_EQ(text, "Не установлены параметры связи");
  EXPECT_TRUE(made->requests.empty());
}

TEST_F(ModuleCommands, ProbeUsesOneShortAttemptThenRestoresTheLinkTiming) {
  can.TimeoutSec = 5;
  can.Retries = 3;
  script = test::AnswerWith(0, {0x06, 0x11});
  FakeEngine& engine = Open(can);
  std::vector<std::pair<std::uint16_t, std::uint8_t>> found;
  auto onFound = [](void* context, std::uint16_t type, std::uint8_t net) {
    static_cast<std::vector<std::pair<std::uint16_t, std::uint8_t>>*>(context)->emplace_back(type, net);
  };
  EXPECT_EQ(ProbeModule(0x2A, onFound, &found), 0);
  EXPECT_EQ(found, (std::vector<std::pair<std::uint16_t, std::uint8_t>>{{0x1106, 0x2A}}));
  ASSERT_EQ(engine.requests.size(), 1u);
  EXPECT_EQ(engine.requests[0].timeoutSec, 1);
  EXPECT_EQ(engine.requests[0].retries, 1);
  EXPECT_EQ(engine.TimeoutSec, 5);
  EXPECT_EQ(engine.Retries, 3);

  engine.script = test::AnswerWith(1);
  EXPECT_EQ(ProbeModule(0x2B, onFound, &found), 1);
  EXPECT_EQ(found.size(), 1u);  // nobody answered: no call
  EXPECT_EQ(engine.Retries, 3);
}

TEST_F(ModuleCommands, LoginSetsTheTextOnlyWhenItFails) {
  FakeEngine& engine = Open(tcp);
  std::string text = "untouched";
  engine.script = test::AnswerWith(0, {0x02});
  EXPECT_TRUE(LoginModule(1, 2, &text));
  EXPECT_EQ(text, "untouched");
  engine.script = test::AnswerWith(0, {0x01});
  EXPECT_FALSE(LoginModule(1, 2, &text));
  EXPECT_EQ(text, "  Несоответствие пароля и уровня доступа к параметрам");
}

TEST_F(ModuleCommands, WriteArrayWritesElementByElementAndStopsAtAFailure) {
  FakeEngine& engine = Open(can);
  std::string text;
  const auto data = Bytes("01 00 02 00 03 00");
  EXPECT_EQ(WriteModuleArray(1, 0x304, 2, 0, data, &text), 0);
  EXPECT_EQ(text, "  OK");
  EXPECT_TRUE(engine.requests.empty());

  EXPECT_EQ(WriteModuleArray(1, 0x304, 2, 3, data, &text), 0);
  ASSERT_EQ(engine.requests.size(), 4u);  // the array frame, then three element frames
  EXPECT_EQ(engine.requests[0].bytes[6], 0x06);
  EXPECT_EQ(engine.requests[3].bytes, Bytes("01 00 00 00 06 00 07 02 00 03 00 00 00"));

  engine.requests.clear();
  int calls = 0;
  engine.script = [&calls](const test::RecordedRequest&, std::span<std::uint8_t>, int&) {
    return ++calls == 3 ? 1 : 0;
  };
  EXPECT_EQ(WriteModuleArray(1, 0x304, 2, 3, data, &text), 1);
  EXPECT_EQ(text, "  Нет ответа от прибора ");
  EXPECT_EQ(engine.requests.size(), 3u);  // array frame, element 0, failing element 1

  EXPECT_EQ(WriteModuleArray(1, 0x304, 2, 4, data, &text), 17);  // data too short for 4 elements
}

TEST_F(ModuleCommands, ReadArrayFillsTheBufferElementByElement) {
  script = [](const test::RecordedRequest& r, std::span<std::uint8_t> out, int& delivered) {
    // element index i answers i + 0x10; element 4 fails
    if (r.bytes[4] == 4) return 8;
    out[0] = static_cast<std::uint8_t>(r.bytes[4] + 0x10);
    delivered = 1;
    return 0;
  };
  Open(tcp);
  std::string text;
  std::vector<std::uint8_t> buffer(6, 0xEE);
  EXPECT_EQ(ReadModuleArray(1, 0x08, 6, 1, buffer, &text), 8);
  EXPECT_EQ(text, "  Несовпадение адреса приема и передачи");
  EXPECT_EQ(buffer, Bytes("10 11 12 13 EE EE"));  // elements before the failure stay read
  EXPECT_EQ(ReadModuleArray(1, 0x08, 4, 1, buffer, &text), 0);
  EXPECT_EQ(text, "  OK");
  EXPECT_EQ(ReadModuleArray(1, 0x08, 7, 1, buffer, &text), 17);  // buffer too small
}

// A device whose run-state parameter reads from a list (the last value repeats).
struct RunStateCase {
  const char* what;
  bool stop;
  std::vector<int> reads;  // answers to the state reads; -N: read fails with code N
  bool ok;
  const char* text;
  bool writes;
  std::int64_t waitedMs;
};

TEST_F(ModuleCommands, SetRunStateWaitsForTheConfirmingState) {
  const RunStateCase cases[] = {
      {"stopped already", true, {0x81}, true, "  OK", false, 0},
      {"stop command already given", true, {1}, true, "  OK", false, 0},
      {"running already", false, {0}, true, "  OK", false, 0},
      {"stops after three polls", true, {0, 1, 1, 0x81}, true, "  OK", true, 300},
      {"never stops", true, {0, 1}, false, "  Контроллер не перешел в состояние \"СТОП\"", true, 10000},
      {"never runs", false, {0x81}, false, "  Контроллер не перешел в состояние \"ПУСК\"", true, 2000},
      {"runs at once", false, {0x81, 0}, true, "  OK", true, 100},
      {"last poll fails", true, {0, 1, -1}, false, "  Нет ответа от прибора ", true, 10000},
      {"first read fails", true, {-14}, false, "  Ошибки передачи (отрицательная квитанция)", false, 0},
  };
  for (const auto& c : cases) {
    std::deque<int> reads(c.reads.begin(), c.reads.end());
    std::vector<std::uint8_t> written;
    script = [&](const test::RecordedRequest& r, std::span<std::uint8_t> out, int& delivered) {
      if (r.bytes[1] == 0x05) {  // write of the state parameter
        written.push_back(r.bytes[4]);
        return 13;
      }
      const int value = reads.front();
      if (reads.size() > 1) reads.pop_front();
      if (value < 0) return -value;
      out[0] = static_cast<std::uint8_t>(value);
      delivered = 1;
      return 0;
    };
    Open(tcp);
    const std::int64_t before = clock.NowMs();
    std::string text;
    EXPECT_EQ(SetRunState(7, c.stop, &text), c.ok) << c.what;
    EXPECT_EQ(text, c.text) << c.what;
    EXPECT_EQ(clock.NowMs() - before, c.waitedMs) << c.what;
    EXPECT_EQ(written.empty(), !c.writes) << c.what;
    if (c.writes) {
      EXPECT_EQ(written, std::vector<std::uint8_t>{std::uint8_t(c.stop ? 1 : 0)}) << c.what;
    }
    if (c.reads[0] >= 0) {
      EXPECT_EQ(LastRunState(), c.reads[0]) << c.what;
    }
    EXPECT_EQ(made->requests[0].bytes, Bytes("03 01 1A F0")) << c.what;
  }
}

}  // namespace
}  // namespace r770
