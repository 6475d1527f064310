// The exchange window's form model on a TCP link to an in-process r770-sim (or on a fake
// engine), with a fake clock, a recording view and the log and settings files in a temp folder.
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "../link/fake_engine.h"
#include "../link/sim_harness.h"
#include "common/clock.h"
#include "document/configuration.h"
#include "document/program_settings.h"
#include "exchange/exchange_form.h"
#include "exchange/exchange_log.h"
#include "exchange/exchange_view.h"
#include "link/module_commands.h"
#include "temp_dir.h"

namespace r770::test {

// Records what the window would show; answers questions from a queue (default No).
class RecordingView : public ExchangeView {
 public:
  std::vector<std::string> statuses;   // every status line text, in order
  std::vector<std::string> boxes;      // texts of information and confirmation boxes
  std::vector<std::string> questions;  // texts of confirmation boxes only
  std::deque<bool> answers;
  std::vector<std::string> mainStatuses;
  std::vector<bool> documentMenuUpdates;  // the new-document flag of each call
  std::vector<std::string> logView;       // the log view as the window holds it
  int pumps = 0;
  int busyOn = 0, busyOff = 0;
  std::function<void()> onPump;  // runs "window input" during a procedure

  void StatusChanged(const std::string& text) override { statuses.push_back(text); }
  void LogAppended(const std::string& line) override { logView.push_back(line); }
  void LogCleared() override { logView.clear(); }
  void SetBusy(bool busy) override { (busy ? busyOn : busyOff)++; }
  void PumpEvents() override {
    ++pumps;
    if (onPump) onPump();
  }
  void Information(const std::string& text) override { boxes.push_back(text); }
  bool Confirm(const std::string& text) override {
    boxes.push_back(text);
    questions.push_back(text);
    if (answers.empty()) return false;
    const bool a = answers.front();
    answers.pop_front();
    return a;
  }
  void SetMainStatus(const std::string& text) override { mainStatuses.push_back(text); }
  void UpdateDocumentMenus(bool newDocument) override { documentMenuUpdates.push_back(newDocument); }
};

// A configuration in which every field and every map entry holds a value of its own.
inline void FillConfiguration(Configuration& c) {
  c.ResetForNew();
  c.State.IsNew = true;
  CommonSettings& s = c.Common;
  s.AdrCAN = 0x21;
  s.AdrExt = 0x07;
  s.V_CAN = 3;
  s.V_Ethernet = 1;
  s.trepeat = 300;
  s.twaitCAN = 0x1234;
  s.AdrPort = 0xCAF8;
  s.AdrIP = {192, 168, 0, 1};
  s.AdrGate = {10, 0, 0, 254};
  s.Mask = {255, 255, 252, 0};
  int salt = 0;
  for (MapKind kind : kAllMapKinds) {
    ++salt;
    auto& map = c.Map(kind);
    for (std::size_t i = 0; i < map.size(); ++i) {
      MapEntry& e = map[i];
      e.ModuleNo = static_cast<std::uint8_t>(1 + (i * 7 + static_cast<std::size_t>(salt)) % 40);
      e.ParamNo = static_cast<std::uint16_t>(0x0F00 + salt * 0x100 + i);
      e.TaskNo = static_cast<std::uint16_t>(i);
      e.ParamName = "Параметр " + std::to_string(i);
      e.ModbusAddr = static_cast<std::uint16_t>(salt * 1000 + i);
    }
  }
}

class ExchangeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetLinkClock(&clock);
    SetEngineFactory(kLinkTcp, [this](const TCustomLink& link, Clock& c) {
      return std::make_unique<T_TCPObmen>(dynamic_cast<const TTCPLink&>(link), c, shortWaits);
    });
    settings.Path = dir.File("r770cfg.ini");
    settings.LinkKind = LinkKindSetting::Ethernet;
    settings.ModuleIP = "127.0.0.1";
    settings.AnswerTimeSec = 1;
    settings.Retries = 1;
    settings.ModuleNetNumber = 1;
    log.SetFolder(dir.path());
  }
  void TearDown() override {
    form.reset();
    CloseLink();
    SetEngineFactory(kLinkTcp, nullptr);
    SetEngineFactory(kLinkCanBus, nullptr);
    SetLinkClock(nullptr);
  }

  // Starts the simulator and shows the window on a link to it.
  void StartSim(const SimSetup& setup = {}) {
    sim = std::make_unique<RunningSim>(setup);
    settings.ModulePort = sim->Port();
    ShowWindow();
  }
  // Serves the link with a scripted engine instead of a socket.
  void StartFake(FakeEngine::Script script, int openCode = 0) {
    SetEngineFactory(kLinkTcp, [this, script, openCode](const TCustomLink& link, Clock& c) {
      auto e = std::make_unique<FakeEngine>(link, c);
      e->script = script;
      e->openCode = openCode;
      fake = e.get();
      return e;
    });
    ShowWindow();
  }
  void ShowWindow() {
    form = std::make_unique<ExchangeForm>(config, settings, view, log);
    form->Show();
  }
  // Chooses the mode and presses the action button.
  void Run(ExchangeMode mode) {
    form->ChooseMode(mode);
    ASSERT_EQ(form->Mode(), mode);
    form->Action();
  }
  std::vector<std::uint8_t> SimBytes(std::uint16_t param) { return sim->Module(1).Param(param)->bytes; }
  std::uint32_t SimElement(std::uint16_t param, int i) {
    return *sim->Module(1).ElementValue(param, static_cast<std::uint16_t>(i));
  }
  // Index of the first log view line equal to text (npos-like -1 when absent).
  int LogIndex(const std::string& text) const {
    auto it = std::find(view.logView.begin(), view.logView.end(), text);
    return it == view.logView.end() ? -1 : static_cast<int>(it - view.logView.begin());
  }

  FakeClock clock;
  ShortWaits shortWaits{150};
  TempDir dir;
  std::unique_ptr<RunningSim> sim;
  FakeEngine* fake = nullptr;
  Configuration config;
  ProgramSettings settings;
  RecordingView view;
  ExchangeLog log{clock};
  std::unique_ptr<ExchangeForm> form;
};

}  // namespace r770::test
