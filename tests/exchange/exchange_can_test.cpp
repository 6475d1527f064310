// The exchange window's procedures over the CAN-BUS adapter link: a real pseudo-terminal to
// the simulator's adapter, the COM port mapped to it in the settings' "ComPorts" section.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "can_frontend.h"
#include "common/ini_file.h"
#include "exchange/exchange_tables.h"
#include "exchange_fixture.h"
#include "link/can_bus.h"

namespace r770::test {
namespace {

// Real time for the answer deadlines (the line is real); the link's fixed pauses pass at once.
class NoPauseClock final : public Clock {
 public:
  std::int64_t NowMs() override { return SystemClock().NowMs() + skipped_; }
  LocalTime LocalNow() override { return SystemClock().LocalNow(); }
  void SleepMs(int ms) override { skipped_ += ms > 0 ? ms : 0; }

 private:
  std::int64_t skipped_ = 0;
};

class CanExchangeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetLinkClock(&clock);
    module = &bus.Add(0x01, 0x1101);
    adapter = std::make_unique<sim::CanFrontend>(bus, sim::CanFrontendOptions{});
    std::string error;
    ASSERT_TRUE(adapter->Start(&error)) << error;
    settings.Path = dir.File("r770cfg.ini");
    WriteFileBytes(settings.Path, "[ComPorts]\r\nCOM4=" + adapter->DevicePath() + "\r\n");
    settings.LinkKind = LinkKindSetting::CanBus;
    settings.ComPortIndex = 3;
    settings.AdapterSpeedIndex = 2;
    settings.PcNetNumber = 0x7E;
    settings.AnswerTimeSec = 1;
    settings.Retries = 2;
    settings.ModuleNetNumber = 0x01;
    log.SetFolder(dir.path());
  }
  void TearDown() override {
    CloseLink();
    SetLinkClock(nullptr);
  }
  // Shows a window on `config`, runs one mode, closes the window.
  void RunWindow(Configuration& config, ExchangeMode mode) {
    ExchangeForm form(config, settings, view, log);
    form.Show();
    ASSERT_TRUE(form.LinkOpen()) << form.ResultText;
    ASSERT_NE(dynamic_cast<T_CanBus*>(CurrentEngine()), nullptr);
    form.ChooseMode(mode);
    if (mode == ExchangeMode::Search) {
      EXPECT_TRUE(form.RangeSwitch());  // ticked for CAN-BUS
      form.rangeText = {"01", "01"};
    }
    form.Action();
    status = form.StatusText();
    form.RequestClose();
    EXPECT_EQ(CurrentEngine(), nullptr);
  }

  NoPauseClock clock;
  TempDir dir;
  sim::SimBus bus;
  sim::SimModule* module = nullptr;
  std::unique_ptr<sim::CanFrontend> adapter;
  ProgramSettings settings;
  RecordingView view;
  ExchangeLog log{clock};
  std::string status;
};

TEST_F(CanExchangeTest, SearchWriteAndReadBackOverTheAdapter) {
  // Search: the module answers and is chosen.
  Configuration config;
  FillConfiguration(config);
  view.answers = {true};  // put the device back into operation after the write
  RunWindow(config, ExchangeMode::Search);
  EXPECT_EQ(status, "Поиск завершен");
  EXPECT_EQ(adapter->OwnNode(), 0x7E);
  EXPECT_EQ(settings.ModuleNetNumber, 0x01);

  RunWindow(config, ExchangeMode::Write);
  EXPECT_EQ(status, "Запись завершена");
  EXPECT_EQ(view.questions.size(), 1u);
  EXPECT_EQ(module->RunState(), 0x00);
  EXPECT_EQ(module->Param(0x04)->bytes, (std::vector<std::uint8_t>{0xE0, 0x4B}));
  EXPECT_EQ(module->Param(0x11)->bytes, (std::vector<std::uint8_t>{0x2C, 0x01}));

  Configuration fresh;
  RunWindow(fresh, ExchangeMode::Read);
  EXPECT_EQ(status, "Чтение завершено");
  CommonSettings expected = config.Common;
  expected.AdrMAC = {0x02, 0x52, 0x37, 0x37, 0x30, 0x01};
  EXPECT_EQ(fresh.Common, expected);  // V_CAN 3 and the module's MAC included
  for (MapKind kind : kAllMapKinds) {
    for (std::size_t i = 0; i < config.Map(kind).size(); ++i) {
      const MapEntry& w = config.Map(kind)[i];
      const MapEntry& r = fresh.Map(kind)[i];
      ASSERT_EQ(r.ModuleNo, w.ModuleNo);
      ASSERT_EQ(r.ParamNo, w.ParamNo);
      ASSERT_EQ(r.ModbusAddr, w.ModbusAddr);
    }
  }
  EXPECT_TRUE(fresh.State.FromModule);
  EXPECT_TRUE(view.boxes.size() == 1);  // only the restart question
  IniFile ini(settings.Path);
  EXPECT_EQ(ini.ReadString("ComPorts", "COM4", ""), adapter->DevicePath());  // kept
  EXPECT_EQ(ini.ReadString("Parametr", "SetNR770", ""), "01");
}

}  // namespace
}  // namespace r770::test
