#include "modbus_test/modbus_read_form.h"

#include <gtest/gtest.h>

#include <deque>
#include <vector>

#include "common/day_log.h"
#include "fake_dialogs.h"
#include "temp_dir.h"

namespace r770 {
namespace {

using Bytes = std::vector<std::uint8_t>;
using test::FakeBusy;
using test::FakeDialogs;
using test::ReadFileBytes;
using test::TempDir;

// A module that answers from a script and logs each exchange through the handler it was
// given, as the TCP engine does.
class ScriptedLink : public ModbusTestLink {
 public:
  struct Reply {
    int code;
    Bytes answer;
  };
  std::deque<Reply> replies;
  std::vector<Bytes> sent;
  std::vector<TestLinkParams> opened;
  bool openResult = true;
  std::string openText = "  OK";
  int closes = 0;

  bool Open(const TestLinkParams& p, std::string& text, TestLogFn log, void* ctx) override {
    opened.push_back(p);
    log_ = log;
    ctx_ = ctx;
    text = openText;
    return openResult;
  }
  int RawExchange(std::span<const std::uint8_t> request, std::span<std::uint8_t> answer, int& length,
                  std::string& text) override {
    sent.emplace_back(request.begin(), request.end());
    log_(ctx_, ">> request", 0);
    if (replies.empty()) {
      text = "  Нет ответа от прибора ";
      return 1;
    }
    Reply r = replies.front();
    replies.pop_front();
    if (r.code == 0) {
      std::copy(r.answer.begin(), r.answer.end(), answer.begin());
      length = static_cast<int>(r.answer.size());
      log_(ctx_, "<< answer", 0);
    }
    text = r.code == 0 ? "  OK" : "  Нет ответа от прибора ";
    return r.code;
  }
  void Close() override { ++closes; }

 private:
  TestLogFn log_ = nullptr;
  void* ctx_ = nullptr;
};

Bytes FloatAnswer(Bytes data) {
  Bytes a{0, 0, 0, 0, 0, 7, 1, 0x03, 0x04};
  for (auto b : data) a.push_back(b);
  return a;
}
Bytes Exception(std::uint8_t code) { return {0, 0, 0, 0, 0, 3, 1, 0x83, code}; }

struct ReadFixture : ::testing::Test {
  TempDir dir;
  FakeClock clock;
  DayLog log{clock, dir.path()};
  ProgramSettings settings;
  FakeDialogs dialogs;
  FakeBusy busy;
  ScriptedLink link;
  ModbusReadForm form{settings, dialogs, busy, link, log};

  ReadFixture() {
    settings.SetModTest = 0x11;
    settings.IP_AdrTest = "10.0.0.5";
    settings.PortTcpTest = 502;
    settings.TimeAnswerTest = 3;
  }
  std::string LogFile() { return ReadFileBytes(log.CurrentPath()); }
};

TEST_F(ReadFixture, TwoRegistersTwoRequestsAndAnEmptyRow) {
  link.replies = {{0, FloatAnswer({0x00, 0x00, 0x3F, 0x80})}, {0, FloatAnswer({0x00, 0x00, 0x40, 0x20})}};
  form.Show();
  form.registersText = "100,102";
  form.Read();
  ASSERT_EQ(link.sent.size(), 2u);
  EXPECT_EQ(link.sent[0], (Bytes{0, 0, 0, 0, 0, 6, 0x11, 3, 0x00, 0x64, 0, 2}));
  EXPECT_EQ(link.sent[1], (Bytes{0, 0, 0, 0, 0, 6, 0x11, 3, 0x00, 0x66, 0, 2}));
  EXPECT_EQ(form.Rows(), (std::vector<ModbusReadRow>{
                             {"1", "100", "1,0000", ""}, {"2", "102", "2,5000", ""}, {"", "", "", ""}}));
  // The register number goes out as typed: the tooltip gives its one-based form.
  EXPECT_EQ(ModbusReadForm::AddressTooltip(form.Rows()[0]), "С нуля: 100, с единицы: 101");
  EXPECT_EQ(ModbusReadForm::AddressTooltip(form.Rows()[2]), "");
  ASSERT_EQ(link.opened.size(), 1u);
  EXPECT_EQ(link.opened[0].Host, "10.0.0.5");
  EXPECT_EQ(link.opened[0].Port, 502);
  EXPECT_EQ(link.opened[0].TimeoutSec, 3);
  EXPECT_EQ(link.opened[0].Retries, 2);
  EXPECT_FALSE(form.ProgressVisible());
  EXPECT_EQ(form.ProgressPosition(), 0);
  EXPECT_FALSE(busy.busy);
  EXPECT_TRUE(dialogs.shown.empty());
  // Every line went to the day's log, each followed by a turn of the window's input.
  EXPECT_EQ(LogFile(),
            "10:00:00:000 : >> request\r\n10:00:00:000 : << answer\r\n"
            "10:00:00:000 : >> request\r\n10:00:00:000 : << answer\r\n");
  EXPECT_EQ(busy.pumps, 4);
  // The link stays open until the window closes.
  EXPECT_EQ(link.closes, 0);
  form.RequestClose();
  EXPECT_EQ(link.closes, 1);
}

TEST_F(ReadFixture, ByteOrderSettingsAndDecimalSeparator) {
  settings.InversModTest = true;
  settings.SwapModTest = false;
  form.decimalSeparator = ".";
  link.replies = {{0, FloatAnswer({0x3F, 0x80, 0x00, 0x00})}};
  form.registersText = "7";
  form.Read();
  EXPECT_EQ(form.Rows()[0], (ModbusReadRow{"1", "7", "1.0000", ""}));
}

TEST_F(ReadFixture, ExceptionIsAskedOnceMore) {
  struct Case {
    std::vector<ScriptedLink::Reply> replies;
    std::size_t requests;
    ModbusReadRow row;
  } cases[] = {
      {{{0, Exception(2)}, {0, Exception(2)}},
       2,
       {"1", "5", "", "Неверный адрес данных или нет ответа от Slave устройства (код ошибки 2)"}},
      {{{0, Exception(6)}, {0, FloatAnswer({0, 0, 0x3F, 0x80})}}, 2, {"1", "5", "1,0000", ""}},
      {{{0, Exception(11)}, {0, Exception(15)}},
       2,
       {"1", "5", "", "Выбранный шлюз выдал ошибку при ответе (код ошибки 11)"}},
      // No answer is not asked again here (the link made its own attempts).
      {{{1, {}}}, 1, {"1", "5", "", "Нет ответа от устройства (код ошибки 0)"}},
      {{{0, {0, 0, 0, 0, 0, 5, 1, 3, 2, 0x01, 0x2C}}}, 1, {"1", "5", "300", ""}},
  };
  for (auto& c : cases) {
    link.sent.clear();
    link.replies.assign(c.replies.begin(), c.replies.end());
    form.registersText = "5";
    form.Read();
    EXPECT_EQ(link.sent.size(), c.requests) << c.row.note;
    EXPECT_EQ(form.Rows(), (std::vector<ModbusReadRow>{c.row, {}}));
  }
}

TEST_F(ReadFixture, FailingRegisterDoesNotStopTheOthers) {
  link.replies = {{1, {}}, {0, FloatAnswer({0, 0, 0x3F, 0x80})}};
  form.registersText = "1,2";
  form.Read();
  EXPECT_EQ(form.Rows(),
            (std::vector<ModbusReadRow>{
                {"1", "1", "", "Нет ответа от устройства (код ошибки 0)"}, {"2", "2", "1,0000", ""}, {}}));
}

TEST_F(ReadFixture, RegisterListRefusals) {
  struct Case {
    const char* text;
    const char* message;
  } cases[] = {
      {"", "Не введен номер регистра"},
      {"5,,7", "Неверно введены номера регистров"},
      {",5", "Неверно введены номера регистров"},
      {"5,", "Неверно введены номера регистров"},
      {"65536", "Неверно введены номера регистров"},
      {"1 2", "Неверно введены номера регистров"},
  };
  for (const auto& c : cases) {
    dialogs.shown.clear();
    form.registersText = c.text;
    form.Read();
    EXPECT_EQ(dialogs.shown, std::vector<std::string>{c.message}) << c.text;
    EXPECT_EQ(form.Rows(), (std::vector<ModbusReadRow>{{"1", "", "", ""}})) << c.text;
  }
  EXPECT_TRUE(link.sent.empty());
  EXPECT_TRUE(link.opened.empty());
  EXPECT_EQ(busy.busyOn, 0);
}

TEST_F(ReadFixture, LinkThatDoesNotOpen) {
  link.openResult = false;
  link.openText = "10.0.0.5 (502) \r  Ошибка установки соединения по TCP";
  form.registersText = "1";
  form.Read();
  EXPECT_EQ(dialogs.shown, std::vector<std::string>{link.openText});
  EXPECT_TRUE(link.sent.empty());
  EXPECT_FALSE(busy.busy);
  EXPECT_FALSE(form.Reading());
}

TEST_F(ReadFixture, ZeroAnswerTimeOpensWithOneSecond) {
  settings.TimeAnswerTest = 0;
  form.registersText = "1";
  form.Read();
  ASSERT_EQ(link.opened.size(), 1u);
  EXPECT_EQ(link.opened[0].TimeoutSec, 1);
}

TEST_F(ReadFixture, RegistersKeys) {
  for (char32_t k : {U'0', U'9', U',', char32_t{8}}) EXPECT_TRUE(ModbusReadForm::RegistersKey(k));
  for (char32_t k : {U'.', U' ', U'a', U'-', U'٣'}) EXPECT_FALSE(ModbusReadForm::RegistersKey(k));
  struct Case {
    const char* text;
    char32_t key;
    int selStart, selLength;
    const char* result;
    int caret;
  } cases[] = {
      {"10", U',', 2, 0, "10,", 3}, {"10", U'5', 1, 0, "150", 2}, {"10,2", U'7', 0, 2, "7,2", 1},
      {"10", U'x', 2, 0, "10", 2},  {"10", 8, 2, 0, "1", 1},      {"10,2", 8, 1, 3, "1", 1},
      {"", 8, 0, 0, "", 0},         {"ж1", U'2', 1, 0, "ж21", 2},  // pasted text: positions count characters
  };
  for (const auto& c : cases) {
    form.registersText = c.text;
    form.KeyTyped(c.key, c.selStart, c.selLength);
    EXPECT_EQ(form.registersText, c.result) << c.text;
    EXPECT_EQ(form.Caret(), c.caret) << c.text;
  }
}

// Window input that runs inside a reading: a second "Чтение" is refused, a close request
// stops the reading after the current register and waits for it to return.
class ReentrantBusy : public FakeBusy {
 public:
  ModbusReadForm* form = nullptr;
  bool pressAgain = false, askClose = false, closeAnswer = true;
  void PumpEvents() override {
    FakeBusy::PumpEvents();
    if (pressAgain) form->Read();
    if (askClose) closeAnswer = form->RequestClose();
  }
};

TEST(ModbusReadFormReentry, PressAndCloseDuringReading) {
  TempDir dir;
  FakeClock clock;
  DayLog log{clock, dir.path()};
  ProgramSettings settings;
  FakeDialogs dialogs;
  ReentrantBusy busy;
  ScriptedLink link;
  ModbusReadForm form{settings, dialogs, busy, link, log};
  busy.form = &form;

  busy.pressAgain = true;
  link.replies = {{0, FloatAnswer({0, 0, 0x3F, 0x80})}, {0, FloatAnswer({0, 0, 0x3F, 0x80})}};
  form.registersText = "1,2";
  form.Read();
  EXPECT_EQ(link.sent.size(), 2u);
  EXPECT_EQ(form.Rows().size(), 3u);

  busy.pressAgain = false;
  busy.askClose = true;
  link.sent.clear();
  form.registersText = "1,2,3";
  form.Read();
  EXPECT_FALSE(busy.closeAnswer);
  EXPECT_TRUE(form.ClosePending());
  EXPECT_EQ(link.sent.size(), 1u);
  EXPECT_EQ(link.closes, 0);
  busy.askClose = false;
  form.RequestClose();
  EXPECT_EQ(link.closes, 1);
}

}  // namespace
}  // namespace r770
