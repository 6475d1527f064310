// The exchange window shell: showing and closing, modes and menus, range fields, the search
// and its results, the log view, and re-entrancy while a procedure runs.
#include "common/ini_file.h"
#include "common/key_filter.h"
#include "exchange_fixture.h"
#include "scripted_module.h"

namespace r770::test {
namespace {

std::vector<int> Addresses(const std::vector<RecordedRequest>& requests) {
  std::vector<int> out;
  for (const auto& r : requests) out.push_back(r.address);
  return out;
}

TEST_F(ExchangeTest, ShowingResetsTheViewOpensTheLinkAndEnablesTheMenus) {
  StartSim();
  EXPECT_TRUE(form->LinkOpen());
  EXPECT_TRUE(view.boxes.empty());
  EXPECT_EQ(view.busyOn, 1);
  EXPECT_EQ(view.busyOff, 1);
  EXPECT_EQ(form->StatusText(), "R-770 TCP/Modbus");
  EXPECT_FALSE(form->ProgressVisible() || form->LogVisible() || form->ResultsVisible() ||
               form->RangeVisible() || form->ActionVisible() || form->AbortVisible() || form->AbortEnabled());
  EXPECT_EQ(form->Mode(), ExchangeMode::None);
  EXPECT_TRUE(form->MenuEnabled(ExchangeMode::Search));
  EXPECT_TRUE(form->MenuEnabled(ExchangeMode::Read));
  // Writing needs a document: new, loaded or read from the module.
  EXPECT_FALSE(form->MenuEnabled(ExchangeMode::Write));
  form->ChooseMode(ExchangeMode::Write);
  EXPECT_EQ(form->Mode(), ExchangeMode::None);
  for (bool DocumentState::*flag :
       {&DocumentState::IsNew, &DocumentState::FromFile, &DocumentState::FromModule}) {
    config.State = {};
    config.State.*flag = true;
    EXPECT_TRUE(form->MenuEnabled(ExchangeMode::Write));
  }
}

TEST_F(ExchangeTest, LinkThatDoesNotOpenShowsItsTextAndDisablesTheMenus) {
  StartFake(AnswerWith(0), 32);
  EXPECT_FALSE(form->LinkOpen());
  EXPECT_EQ(view.boxes, std::vector<std::string>{"FAKE \rОшибка установки соединения по TCP"});
  for (ExchangeMode m : {ExchangeMode::Search, ExchangeMode::Write, ExchangeMode::Read})
    EXPECT_FALSE(form->MenuEnabled(m));
  form->ChooseMode(ExchangeMode::Search);
  form->Action();
  EXPECT_FALSE(form->ActionVisible());
  EXPECT_EQ(fake->requests.size(), 0u);
}

TEST_F(ExchangeTest, ModesSetCaptionsVisibilityAndRangeFields) {
  config.State.IsNew = true;
  settings.ModuleNetNumber = 0x3C;
  StartSim();
  const struct {
    ExchangeMode mode;
    const char* caption;
    bool range;
  } cases[] = {{ExchangeMode::Search, "Найти", true},
               {ExchangeMode::Write, "Записать", false},
               {ExchangeMode::Read, "Прочитать", false}};
  for (const auto& t : cases) {
    form->ChooseMode(t.mode);
    EXPECT_EQ(form->ActionCaption(), t.caption);
    EXPECT_TRUE(form->ActionVisible() && form->AbortVisible() && form->ProgressVisible());
    EXPECT_FALSE(form->AbortEnabled());
    EXPECT_EQ(form->RangeVisible(), t.range);
    EXPECT_EQ(form->ResultsVisible(), t.range);
    EXPECT_FALSE(form->RangeSwitch());  // Ethernet
    EXPECT_EQ(form->rangeText, (std::array<std::string, 2>{"3C", "3C"}));
  }
}

TEST_F(ExchangeTest, RangeFieldsTakeTwoHexCharactersAndArePaddedWhenLeft) {
  StartSim();
  form->ChooseMode(ExchangeMode::Search);
  form->rangeText[0] = "";
  const struct {
    char32_t key;
    int selStart, selLength;
    bool changed;
    const char* text;
  } keys[] = {
      {U'ф', 0, 0, true, "A"},                                  // Cyrillic key of A
      {U'g', 1, 0, false, "A"},                                 // not hexadecimal
      {U'.', 1, 0, false, "A"},                                 // no dot in this variant
      {U'c', 1, 0, true, "AC"},     {U'5', 2, 0, false, "AC"},  // full
      {U'5', 0, 2, true, "5"},                                  // typed over a selection
      {kBackspace, 1, 0, true, ""}, {kBackspace, 0, 0, false, ""},
      {U'5', 0, 0, true, "5"},      {U'5', 0, 1, true, "5"},  // typed over the same character: taken
  };
  for (const auto& k : keys) {
    SCOPED_TRACE(k.text);
    EXPECT_EQ(form->RangeKeyTyped(0, k.key, k.selStart, k.selLength), k.changed);
    EXPECT_EQ(form->rangeText[0], k.text);
  }
  form->RangeLeft(0);
  EXPECT_EQ(form->rangeText[0], "05");
  form->rangeText[1] = "";
  form->RangeLeft(1);
  EXPECT_EQ(form->rangeText[1], "");
}

TEST_F(ExchangeTest, SearchRangeRules) {
  settings.LinkKind = LinkKindSetting::CanBus;  // the range switch starts ticked
  SetEngineFactory(kLinkCanBus, [this](const TCustomLink& link, Clock& c) {
    auto e = std::make_unique<FakeEngine>(link, c);
    e->script = AnswerWith(kNoAnswer);
    fake = e.get();
    return e;
  });
  ShowWindow();
  ASSERT_TRUE(form->LinkOpen());
  const struct {
    const char* from;
    const char* to;
    bool tick;
    std::vector<int> probed;
    std::vector<std::string> boxes;
  } cases[] = {
      {"05", "05", true, {5}, {ErrorText(kNoAnswer)}},
      {"F0",
       "FF",
       true,
       {0xF0, 0xF1, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7, 0xF8, 0xF9, 0xFA, 0xFB, 0xFC, 0xFD, 0xFE, 0xFF},
       {ErrorText(kNoAnswer)}},
      {"10", "0F", true, {}, {kRangeReversed}},
      {"", "0F", true, {}, {kRangeEmpty}},
      {"01", "02", false, {}, {kRangeSwitchClear}},  // switch clear: nothing probed, but said why
  };
  for (const auto& t : cases) {
    SCOPED_TRACE(std::string(t.from) + ".." + t.to);
    form->ChooseMode(ExchangeMode::Search);
    form->SetRangeSwitch(t.tick);
    form->rangeText = {t.from, t.to};
    fake->requests.clear();
    view.boxes.clear();
    form->Action();
    EXPECT_EQ(Addresses(fake->requests), t.probed);
    EXPECT_EQ(view.boxes, t.boxes);
    // Each probe makes one attempt; the failure leaves the idle status.
    for (const auto& r : fake->requests) EXPECT_EQ(r.retries, 1);
    if (!t.probed.empty()) {
      EXPECT_EQ(form->StatusText(), "R-770 TCP/Modbus");
      EXPECT_EQ(form->ProgressPosition(), static_cast<int>(t.probed.size()));
      EXPECT_TRUE(form->RangeSwitch());  // ticked again for CAN-BUS
    }
  }
}

TEST_F(ExchangeTest, SearchEndsAtAProbeFailingOtherwiseThanNoAnswerOrNegativeReceipt) {
  ScriptedModule module;
  StartFake(module.Script());
  const struct {
    std::function<int(std::uint8_t)> code;
    int probes;
    int result;
    std::string box;
  } cases[] = {
      {[](std::uint8_t n) { return n == 0x12 ? 3 : 1; }, 3, 3, ErrorText(3)},
      {[](std::uint8_t n) { return n % 2 ? 14 : 1; }, 6, 14, ErrorText(14)},  // goes on to the end
      {[](std::uint8_t n) { return n == 0x15 ? 0 : 1; }, 6, 58, "Нет ответа от ведущего модуля"},
  };
  module.deviceType = 0x1234;  // a device of another type is never listed
  for (const auto& t : cases) {
    module.probeCode = t.code;
    form->ChooseMode(ExchangeMode::Search);
    form->SetRangeSwitch(true);
    form->rangeText = {"10", "15"};
    fake->requests.clear();
    view.boxes.clear();
    form->Action();
    EXPECT_EQ(static_cast<int>(fake->requests.size()), t.probes);
    EXPECT_EQ(form->ResultCode, t.result);
    EXPECT_EQ(view.boxes, std::vector<std::string>{t.box});
    EXPECT_TRUE(form->Rows().empty());
  }
}

TEST_F(ExchangeTest, AbortStopsTheSearchWithinOneProbe) {
  ScriptedModule module;
  module.probeCode = [](std::uint8_t n) { return n == 0x02 ? 0 : 1; };
  StartFake(module.Script());
  form->ChooseMode(ExchangeMode::Search);
  form->SetRangeSwitch(true);
  form->rangeText = {"01", "20"};
  bool abortEnabled = false;
  view.onPump = [&] {
    abortEnabled = form->AbortEnabled();
    if (view.pumps == 3) form->Abort();
  };
  form->Action();
  EXPECT_TRUE(abortEnabled);
  // 01, 02, 03, then the abort; and the run state of 02, which the search selected.
  ASSERT_EQ(Addresses(fake->requests), (std::vector<int>{1, 2, 3, 2}));
  EXPECT_EQ(fake->requests.back().bytes, (std::vector<std::uint8_t>{0x03, 0x01, 0x1A, 0xF0}));
  EXPECT_EQ(form->ResultCode, kResultAborted);
  EXPECT_EQ(form->StatusText(), "Поиск прерван");
  EXPECT_EQ(form->ProgressPosition(), 0);
  EXPECT_TRUE(view.boxes.empty());
  EXPECT_EQ(form->Rows(), (std::vector<FoundModuleRow>{{0x02, true}}));  // found before the abort
  EXPECT_FALSE(form->AbortEnabled());
  EXPECT_FALSE(form->Running());
}

TEST_F(ExchangeTest, TwoModulesFoundTheTickMovesAndClosingStoresTheNumber) {
  StartSim({.modules = {{0x01, 0x1101}, {0x02, 0x2222}, {0x03, 0x1106}}});
  form->ChooseMode(ExchangeMode::Search);
  EXPECT_FALSE(form->RangeSwitch());
  form->SetRangeSwitch(true);
  form->rangeText = {"01", "03"};
  form->Action();
  EXPECT_EQ(form->StatusText(), "Поиск завершен");
  EXPECT_EQ(form->ProgressPosition(), 128);
  EXPECT_TRUE(view.boxes.empty());
  EXPECT_FALSE(form->RangeSwitch());  // clear again for Ethernet
  ASSERT_EQ(form->Rows(), (std::vector<FoundModuleRow>{{0x01, true}, {0x03, false}}));
  EXPECT_EQ(form->Rows()[1].NumberText(), "03");
  EXPECT_EQ(settings.ModuleNetNumber, 0x01);

  form->RowTicked(1, true);
  EXPECT_EQ(form->Rows(), (std::vector<FoundModuleRow>{{0x01, false}, {0x03, true}}));
  EXPECT_EQ(settings.ModuleNetNumber, 0x03);
  form->RowTicked(1, false);  // clearing changes nothing
  EXPECT_EQ(settings.ModuleNetNumber, 0x03);

  // The log view and the results table share their place in search mode.
  form->StatusDoubleClicked();
  EXPECT_TRUE(form->LogVisible());
  EXPECT_FALSE(form->ResultsVisible());
  EXPECT_FALSE(view.logView.empty());
  form->StatusDoubleClicked();
  EXPECT_FALSE(form->LogVisible());
  EXPECT_TRUE(form->ResultsVisible());

  form->RequestClose();
  EXPECT_FALSE(form->Shown());
  EXPECT_EQ(CurrentEngine(), nullptr);
  IniFile ini(settings.Path);
  EXPECT_EQ(ini.ReadString("Parametr", "AdapterSetn", "?"), "00");
  EXPECT_EQ(ini.ReadString("Parametr", "SetNR770", "?"), "03");
}

TEST_F(ExchangeTest, WhileAProcedureRunsActionAndModeAreRefusedAndCloseIsAnAbort) {
  config.ResetForNew();
  config.State.IsNew = true;
  settings.ModuleNetNumber = 0x01;
  StartSim();
  bool closeAnswer = true;
  view.onPump = [&] {
    if (view.pumps != 20) return;
    EXPECT_FALSE(form->MenuEnabled(ExchangeMode::Read));
    EXPECT_FALSE(form->ActionEnabled());
    form->Action();  // a second press
    form->ChooseMode(ExchangeMode::Read);
    closeAnswer = form->RequestClose();
    EXPECT_TRUE(form->LinkOpen());  // the engine stays under the running write
    EXPECT_NE(CurrentEngine(), nullptr);
  };
  Run(ExchangeMode::Write);
  EXPECT_FALSE(closeAnswer);
  EXPECT_EQ(form->StatusText(), "Запись прервана");
  EXPECT_EQ(form->Mode(), ExchangeMode::Write);
  EXPECT_EQ(std::count(view.logView.begin(), view.logView.end(), "WriteCommon"), 1);
  // The close was carried out once the write had returned.
  EXPECT_TRUE(form->ClosePending());
  EXPECT_FALSE(form->Shown());
  EXPECT_EQ(CurrentEngine(), nullptr);
  EXPECT_EQ(IniFile(settings.Path).ReadString("Parametr", "SetNR770", "?"), "01");
  // The window's own close event after that is a no-op: nothing is written or shown again.
  const std::string file = test::ReadFileBytes(settings.Path);
  const std::size_t boxes = view.boxes.size();
  form->RequestClose();
  EXPECT_EQ(test::ReadFileBytes(settings.Path), file);
  EXPECT_EQ(view.boxes.size(), boxes);
  EXPECT_FALSE(form->Shown());
}

TEST_F(ExchangeTest, CanBusLinkRecordFromTheSettings) {
  const struct {
    std::optional<int> port;
    std::optional<int> speed;
    int portNumber;
    int kbaud;
    const char* device;
  } cases[] = {{0, 0, 1, 300, "/dev/ttyS0"},
               {7, 3, 8, 50, "/dev/ttyS7"},
               {std::nullopt, 4, 2, 20, "/dev/ttyS1"},
               {2, 9, 3, 300, "/dev/pts/7"}};  // the settings' "ComPorts" section names COM3
  WriteFileBytes(settings.Path, "[ComPorts]\r\nCOM3=/dev/pts/7\r\n");
  settings.LinkKind = LinkKindSetting::CanBus;
  settings.PcNetNumber = 0x1E;
  settings.AnswerTimeSec = 4;
  settings.Retries = 5;
  const TCANbusLink* seen = nullptr;
  SetEngineFactory(kLinkCanBus, [&](const TCustomLink& link, Clock& c) {
    seen = dynamic_cast<const TCANbusLink*>(&link);
    return std::make_unique<FakeEngine>(link, c);
  });
  for (const auto& t : cases) {
    settings.ComPortIndex = t.port;
    settings.AdapterSpeedIndex = t.speed;
    ShowWindow();
    ASSERT_NE(seen, nullptr);
    EXPECT_EQ(seen->Kind, kLinkCanBus);
    EXPECT_EQ(seen->PortNumber, t.portNumber);
    EXPECT_EQ(seen->Speed, t.kbaud);
    EXPECT_EQ(seen->DevicePath, t.device);
    EXPECT_EQ(seen->OwnNode, 0x1E);
    EXPECT_EQ(seen->TimeoutSec, 4);
    EXPECT_EQ(seen->Retries, 5);
    EXPECT_TRUE(form->LinkOpen());
  }
}

}  // namespace
}  // namespace r770::test
