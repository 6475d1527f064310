// The map monitor's poller against libmodbus's own server over loopback (decoding, exceptions,
// a connection closed mid-cycle, coil writes) and against a scripted silent peer on a fake
// clock (the answer time bounds each cycle; reconnects come after a growing pause); and the
// recorder's CSV lines.
#include "monitor/monitor_poller.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <functional>
#include <sstream>

#include "lib_modbus_server.h"
#include "modbus_test/modbus_frames.h"
#include "monitor/monitor_recorder.h"
#include "temp_dir.h"

namespace r770 {
namespace {

using test::LibModbusServer;
using Verdict = LibModbusServer::Verdict;
using Action = LibModbusServer::Action;

const std::string kNoAnswer = "Нет ответа от устройства (код ошибки 0)";
const std::string kBadAddress = "Неверный адрес данных или нет ответа от Slave устройства (код ошибки 2)";

// Coils 0..2, Discrete Inputs 10 and 12, Holding Registers 100, 102, 110, Input Register 200.
std::vector<MonitorPoint> FixturePoints() {
  return {{MapKind::TU, 0, 0, "Пуск"},
          {MapKind::TU, 1, 1, "Стоп"},
          {MapKind::TU, 2, 2, "Сброс"},
          {MapKind::TC, 0, 10, "Авария"},
          {MapKind::TC, 5, 12, "Дверь"},
          {MapKind::TIFloat, 0, 100, "Давление"},
          {MapKind::TIFloat, 1, 102, "Температура"},
          {MapKind::TIFloat, 7, 110, "Расход"},
          {MapKind::InputReg, 3, 200, "Уровень"}};
}
constexpr float kFloats[] = {1.5f, -273.25f, 1e6f, 42.125f};  // HR 100, 102, 110, IR 200

struct PollerFixture : ::testing::Test {
  LibModbusServer server;
  TcpModbusTransport transport;
  MonitorLink link;
  std::unique_ptr<MonitorPoller> poller;

  void SetUp() override {
    link.host = "127.0.0.1";
    link.port = static_cast<std::uint16_t>(server.Port());
    link.answerMs = 2000;
    Serve(false, true);
    server.With([](modbus_mapping_t& m) {
      m.tab_bits[0] = 1;
      m.tab_bits[2] = 1;
      m.tab_input_bits[10] = 1;
    });
  }
  void Serve(bool invert, bool swap) {
    server.With([=](modbus_mapping_t& m) {
      test::SetFloatPair(m.tab_registers + 100, kFloats[0], invert, swap);
      test::SetFloatPair(m.tab_registers + 102, kFloats[1], invert, swap);
      test::SetFloatPair(m.tab_registers + 110, kFloats[2], invert, swap);
      test::SetFloatPair(m.tab_input_registers + 200, kFloats[3], invert, swap);
    });
  }
  MonitorPoller& Poller() {
    if (!poller) poller = std::make_unique<MonitorPoller>(FixturePoints(), link, transport, SystemClock());
    return *poller;
  }
  std::vector<std::string> Values() {
    std::vector<std::string> out;
    for (const auto& r : Poller().Readings()) out.push_back(r.valid ? r.value : "note: " + r.note);
    return out;
  }
};

TEST_F(PollerFixture, DecodesEveryTableInEveryByteOrder) {
  struct Order {
    bool invert, swap;
  } orders[] = {{false, false}, {false, true}, {true, false}, {true, true}};
  for (const Order& o : orders) {
    Serve(o.invert, o.swap);
    link.invert = o.invert;
    link.swap = o.swap;
    poller.reset();
    CycleReport r = Poller().Cycle();
    EXPECT_TRUE(r.connected);
    EXPECT_EQ(r.requests, 4);  // coils, inputs, 100..111 across the gap, 200
    EXPECT_EQ(r.errors, 0);
    EXPECT_EQ(Values(), (std::vector<std::string>{"1", "0", "1", "1", "0", "1,5000", "-273,2500",
                                                  "1000000,0000", "42,1250"}))
        << o.invert << o.swap;
    for (int i = 0; i < 4; ++i) EXPECT_EQ(Poller().Readings()[5 + i].number, kFloats[i]);
  }
  // The one kept-open connection served every cycle.
  EXPECT_EQ(server.Connections(), 1);
}

TEST_F(PollerFixture, CancelledPollerSendsNothingMore) {
  EXPECT_EQ(Poller().Cycle().requests, 4);
  const int before = server.Requests();
  // Cancelled before a queued cycle could run (the plan was replaced): that cycle and any
  // later one leave the module alone, however long the connection stays open.
  Poller().Cancel();
  for (int i = 0; i < 2; ++i) EXPECT_EQ(Poller().Cycle().requests, 0);
  EXPECT_EQ(server.Requests(), before);
  // A coil command already handed to it (before the plan was replaced) is still carried out.
  EXPECT_TRUE(Poller().WriteCoil(1, true).ok);
}

TEST_F(PollerFixture, ChangedMarksWhatDifferedFromTheCycleBefore) {
  FakeClock clock;
  poller = std::make_unique<MonitorPoller>(FixturePoints(), link, transport, clock);
  EXPECT_EQ(poller->Cycle().changed, 9);  // the first reading of each point
  clock.Advance(1000);
  EXPECT_EQ(poller->Cycle().changed, 0);
  server.With([](modbus_mapping_t& m) {
    test::SetModuleFloat(m.tab_registers + 102, 2.5f);
    m.tab_bits[1] = 1;
  });
  clock.Advance(1000);
  CycleReport r = poller->Cycle();
  EXPECT_EQ(r.changed, 2);
  const auto& rd = poller->Readings();
  for (int i = 0; i < 9; ++i) EXPECT_EQ(rd[i].changed, i == 1 || i == 6) << i;
  EXPECT_EQ(rd[6].value, "2,5000");
  EXPECT_EQ(rd[6].changedMs, 2000);
  EXPECT_EQ(rd[5].changedMs, 0);
}

TEST_F(PollerFixture, ExceptionOnOneEntryLeavesTheOthersRead) {
  server.SetHook([](int function, int address, int quantity) {
    if (function == 3 && address <= 102 && 102 < address + quantity)
      return Verdict{Action::Exception, MODBUS_EXCEPTION_ILLEGAL_DATA_ADDRESS};
    return Verdict{};
  });
  CycleReport first = Poller().Cycle();
  // The merged 100..111 was refused; its three addresses were asked one by one at once.
  EXPECT_EQ(first.requests, 4 + 3);
  EXPECT_EQ(first.errors, 1);
  EXPECT_EQ(Values(), (std::vector<std::string>{"1", "0", "1", "1", "0", "1,5000", "note: " + kBadAddress,
                                                "1000000,0000", "42,1250"}));
  // Later cycles ask the split plan straight away.
  EXPECT_EQ(Poller().Cycle().requests, 6);
  EXPECT_EQ(Poller().Plan().size(), 6u);
  // A faulty single request keeps the other exception texts of the table.
  server.SetHook([](int function, int address, int) {
    return function == 4 ? Verdict{Action::Exception, 11} : Verdict{};
  });
  Poller().Cycle();
  EXPECT_EQ(Poller().Readings()[8].note, "Выбранный шлюз выдал ошибку при ответе (код ошибки 11)");
  EXPECT_EQ(Poller().Readings()[6].value, "-273,2500");
  // An answer without the data asked for is no exception: its note carries no code.
  server.SetHook([](int function, int, int) { return function == 4 ? Verdict{Action::Short} : Verdict{}; });
  Poller().Cycle();
  EXPECT_EQ(Poller().Readings()[8].note, "Неверная длина ответа");
  EXPECT_EQ(Poller().Readings()[5].value, "1,5000");
}

TEST_F(PollerFixture, ConnectionClosedMidCycleIsOpenedAgainNextCycle) {
  std::atomic<int> holding{0};
  server.SetHook([&](int function, int, int) {
    if (function == 3 && holding++ == 0) return Verdict{Action::Close};
    return Verdict{};
  });
  CycleReport first = Poller().Cycle();
  EXPECT_TRUE(first.anyAnswer);
  EXPECT_EQ(first.requests, 3);
  EXPECT_EQ(Values(),
            (std::vector<std::string>{"1", "0", "1", "1", "0", "note: " + kNoAnswer, "note: " + kNoAnswer,
                                      "note: " + kNoAnswer, "note: " + kNoAnswer}));
  EXPECT_EQ(Poller().Failures(), 0);  // the connection had worked: no pause
  CycleReport second = Poller().Cycle();
  EXPECT_EQ(second.errors, 0);
  EXPECT_EQ(second.requests, 4);
  EXPECT_EQ(server.Connections(), 2);
  EXPECT_EQ(Values()[5], "1,5000");
}

TEST_F(PollerFixture, ConnectionClosedBetweenCyclesIsOpenedAgainAtOnce) {
  EXPECT_EQ(Poller().Cycle().errors, 0);
  // The module drops the idle connection: the next request finds it closed.
  std::atomic<bool> drop{true};
  server.SetHook([&](int, int, int) { return drop.exchange(false) ? Verdict{Action::Close} : Verdict{}; });
  CycleReport r = Poller().Cycle();
  EXPECT_EQ(r.errors, 0);
  EXPECT_EQ(r.requests, 5);  // the first one twice
  EXPECT_EQ(server.Connections(), 2);
  EXPECT_EQ(Poller().Failures(), 0);
  EXPECT_EQ(Values()[8], "42,1250");
}

TEST_F(PollerFixture, SilentServerCostsOneRequestPerCycle) {
  server.SetHook([](int, int, int) { return Verdict{Action::Silent}; });
  link.answerMs = 50;
  CycleReport r = Poller().Cycle();
  EXPECT_TRUE(r.connected);
  EXPECT_FALSE(r.anyAnswer);
  EXPECT_EQ(r.requests, 1);
  EXPECT_EQ(r.errors, 9);
  EXPECT_EQ(server.Requests(), 1);
  for (const auto& rd : Poller().Readings()) EXPECT_EQ(rd.note, kNoAnswer);
  EXPECT_EQ(Poller().Failures(), 1);
}

TEST_F(PollerFixture, CoilWriteIsCheckedByItsEcho) {
  CoilWriteResult on = Poller().WriteCoil(1, true);
  EXPECT_TRUE(on.ok) << on.note;
  int bit = -1;
  server.With([&](modbus_mapping_t& m) { bit = m.tab_bits[1]; });
  EXPECT_EQ(bit, 1);
  EXPECT_TRUE(Poller().WriteCoil(1, false).ok);
  server.With([&](modbus_mapping_t& m) { bit = m.tab_bits[1]; });
  EXPECT_EQ(bit, 0);
  server.SetHook([](int function, int, int) {
    return function == 5 ? Verdict{Action::Exception, MODBUS_EXCEPTION_ILLEGAL_FUNCTION} : Verdict{};
  });
  CoilWriteResult refused = Poller().WriteCoil(1, true);
  EXPECT_FALSE(refused.ok);
  EXPECT_EQ(refused.note, "Неверная функция (код ошибки 1)");
}

// A peer that accepts connections (or refuses them) and never answers; every wait moves the
// fake clock by the time waited.
class SilentPeer : public ModbusTransport {
 public:
  explicit SilentPeer(FakeClock& clock) : clock_(clock) {}
  bool refuse = false;
  int connects = 0, sends = 0;
  bool Connect(const std::string&, std::uint16_t, int timeoutMs) override {
    ++connects;
    connected_ = !refuse;
    if (refuse) clock_.Advance(timeoutMs);
    return connected_;
  }
  bool Connected() const override { return connected_; }
  bool Send(std::span<const std::uint8_t>) override {
    ++sends;
    return connected_;
  }
  ReceiveResult Receive(std::span<std::uint8_t>, int timeoutMs) override {
    clock_.Advance(timeoutMs);
    ReceiveResult r;
    r.error = EAGAIN;
    return r;
  }
  void Close() override { connected_ = false; }

 private:
  FakeClock& clock_;
  bool connected_ = false;
};

TEST(MonitorPollerSilent, EachCycleWaitsOneAnswerTimeAndReconnectsAfterGrowingPauses) {
  for (bool refuse : {false, true}) {
    FakeClock clock;
    SilentPeer peer(clock);
    peer.refuse = refuse;
    MonitorLink link;
    link.answerMs = 1000;
    MonitorPoller poller(FixturePoints(), link, peer, clock);
    const std::int64_t pauses[] = {1000, 2000, 4000, 8000, 16000, 30000, 30000};
    for (std::int64_t pause : pauses) {
      const std::int64_t before = clock.NowMs();
      const int connects = peer.connects, sends = peer.sends;
      CycleReport r = poller.Cycle();
      // One answer time (or one connect time) and at most one request per cycle.
      EXPECT_EQ(clock.NowMs() - before, 1000);
      EXPECT_EQ(peer.connects, connects + 1);
      EXPECT_EQ(peer.sends, sends + (refuse ? 0 : 1));
      EXPECT_EQ(r.retryInMs, pause);
      EXPECT_EQ(poller.Readings()[3].note, refuse ? "Ошибка установки соединения по TCP" : kNoAnswer);
      // Cycles during the pause neither connect nor wait.
      clock.Advance(pause - 1);
      r = poller.Cycle();
      EXPECT_FALSE(r.connected);
      EXPECT_EQ(r.retryInMs, 1);
      EXPECT_EQ(peer.connects, connects + 1);
      clock.Advance(1);
    }
  }
}

// A peer that answers each request with what its script makes of it, at once; a wait with
// nothing to give moves the fake clock by the time waited.
class ScriptedPeer : public ModbusTransport {
 public:
  using Script = std::function<std::vector<std::uint8_t>(const std::vector<std::uint8_t>& request)>;
  ScriptedPeer(FakeClock& clock, Script script) : clock_(clock), script_(std::move(script)) {}
  bool Connect(const std::string&, std::uint16_t, int) override { return connected_ = true; }
  bool Connected() const override { return connected_; }
  bool Send(std::span<const std::uint8_t> frame) override {
    const std::vector<std::uint8_t> answer = script_({frame.begin(), frame.end()});
    inbox_.insert(inbox_.end(), answer.begin(), answer.end());
    return connected_;
  }
  ReceiveResult Receive(std::span<std::uint8_t> data, int timeoutMs) override {
    ReceiveResult r;
    if (inbox_.empty()) {
      clock_.Advance(timeoutMs);
      r.error = EAGAIN;
      return r;
    }
    r.count = std::min(data.size(), inbox_.size());
    std::copy_n(inbox_.begin(), r.count, data.begin());
    inbox_.erase(inbox_.begin(), inbox_.begin() + static_cast<long>(r.count));
    r.status = ReceiveResult::Data;
    return r;
  }
  void Close() override {
    connected_ = false;
    inbox_.clear();
  }

 private:
  FakeClock& clock_;
  Script script_;
  bool connected_ = false;
  std::vector<std::uint8_t> inbox_;
};

// What arrived but is no valid answer of the polled unit is noted as such, never taken as
// data or as silence: a wrong unit id, a protocol id other than 0, garbage, a frame longer
// than Modbus/TCP allows, half an answer.
TEST(MonitorPollerAnswers, WhatArrivedButIsNoValidAnswerIsNotedAsABadAnswer) {
  // The answer to a read of one coil (its bit set) or the echo of a coil command.
  auto good = [](const std::vector<std::uint8_t>& q) {
    if (q[7] == 5) return q;
    return std::vector<std::uint8_t>{q[0], q[1], 0, 0, 0, 4, q[6], q[7], 1, 1};
  };
  using Bytes = std::vector<std::uint8_t>;
  struct Case {
    const char* name;
    std::function<Bytes(Bytes)> change;  // what becomes of the good answer
    std::string note;                    // empty: the value is read
  };
  const std::string badLength = "Неверная длина ответа";
  const Case cases[] = {
      {"good", [](Bytes a) { return a; }, ""},
      {"wrong unit",
       [](Bytes a) {
         a[6] = 7;
         return a;
       },
       "Неверный ответ: адрес Slave 07 вместо 01"},
      {"protocol id",
       [](Bytes a) {
         a[3] = 1;
         return a;
       },
       "Неверный ответ: идентификатор протокола 1 вместо 0"},
      {"garbage", [](Bytes) { return Bytes(12, 0xFF); }, badLength},
      {"oversized",
       [](Bytes a) {
         a[4] = 1;
         a[5] = 0x2C;
         return a;
       },
       badLength},
      {"half an answer",
       [](Bytes a) {
         a.resize(5);
         return a;
       },
       badLength},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (bool coilCommand : {false, true}) {
      FakeClock clock;
      ScriptedPeer peer(clock, [&](const Bytes& q) { return c.change(good(q)); });
      MonitorLink link;
      link.unit = 1;
      link.answerMs = 1000;
      MonitorPoller poller({{MapKind::TU, 0, 1, "Пуск"}}, link, peer, clock);
      if (coilCommand) {
        CoilWriteResult w = poller.WriteCoil(1, true);
        EXPECT_EQ(w.ok, c.note.empty());
        EXPECT_EQ(w.note, c.note);
        continue;
      }
      CycleReport r = poller.Cycle();
      const PointReading& reading = poller.Readings()[0];
      EXPECT_EQ(reading.valid, c.note.empty());
      EXPECT_EQ(reading.note, c.note);
      EXPECT_EQ(r.errors, c.note.empty() ? 0 : 1);
      if (c.note.empty()) {
        EXPECT_EQ(reading.value, "1");
      }
    }
  }
}

TEST(MonitorRecorder, CsvLinesWithHeaderOnceAndQuoting) {
  test::TempDir dir;
  const std::string path = dir.path() + "/monitor.csv";
  std::vector<MonitorPoint> points = {{MapKind::TU, 0, 5, "Пуск, насос 1"},
                                      {MapKind::TIFloat, 2, 100, "Давление \"P1\""},
                                      {MapKind::InputReg, 0, 7, "Уровень"}};
  std::vector<PointReading> readings(3);
  readings[0].valid = true;
  readings[0].value = "1";
  readings[0].number = 1;
  readings[1].valid = true;
  readings[1].value = "100,2500";
  readings[1].number = 100.25;
  readings[2].note = kBadAddress;
  const LocalTime t{2026, 12, 10, 14, 5, 3, 42};
  const std::string lines =
      "2026-12-10T14:05:03.042,coils,5,\"Пуск, насос 1\",1,\r\n"
      "2026-12-10T14:05:03.042,hr,100,\"Давление \"\"P1\"\"\",100.2500,\r\n"
      "2026-12-10T14:05:03.042,ir,7,Уровень,," +
      kBadAddress + "\r\n";
  std::string error;
  {
    MonitorRecorder rec;
    ASSERT_TRUE(rec.Open(path, error)) << error;
    ASSERT_TRUE(rec.Append(t, points, readings, error)) << error;
  }
  {
    MonitorRecorder rec;  // a second recording appends, without a second header
    ASSERT_TRUE(rec.Open(path, error)) << error;
    ASSERT_TRUE(rec.Append(t, points, readings, error)) << error;
  }
  EXPECT_EQ(test::ReadFileBytes(path), std::string(kMonitorCsvHeader) + "\r\n" + lines + lines);
  MonitorRecorder bad;
  EXPECT_FALSE(bad.Open(dir.path() + "/no/such/folder.csv", error));
  EXPECT_NE(error.find("no/such/folder.csv"), std::string::npos);
  // A FIFO as the file: refused at once instead of waiting for a reader.
  const std::string fifo = dir.path() + "/fifo.csv";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  EXPECT_FALSE(bad.Open(fifo, error));
  EXPECT_EQ(error, "Путь " + fifo + " не указывает на обычный файл");
}

}  // namespace
}  // namespace r770
