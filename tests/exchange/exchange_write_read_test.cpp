// Writing the configuration into r770-sim and reading it back, through the exchange window's
// form model.
#include <set>

#include "common/codec.h"
#include "exchange/exchange_tables.h"
#include "exchange_fixture.h"
#include "scripted_module.h"

namespace r770::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Puts a configuration's maps into the simulated module directly.
void LoadSimMaps(sim::SimModule& m, const Configuration& c) {
  for (MapKind kind : kAllMapKinds) {
    for (MapArray a : kMapArrayOrder) {
      Bytes bytes;
      for (const MapEntry& e : c.Map(kind)) {
        const Bytes b = MapElementBytes(e, a);
        bytes.insert(bytes.end(), b.begin(), b.end());
      }
      ASSERT_TRUE(m.SetParamBytes(MapArrayParam(kind, a), bytes));
    }
  }
}

// Distinct controller numbers in order of first appearance: TIFloat, TC, TU, InputReg.
std::vector<std::int32_t> ControllersMet(const Configuration& c, MapKind stopKind = MapKind::TU,
                                         int stopIndex = -1) {
  std::vector<std::int32_t> out;
  for (MapKind kind : kExchangeMapOrder) {
    const auto& map = c.Map(kind);
    for (std::size_t i = 0; i < map.size(); ++i) {
      if (kind == stopKind && static_cast<int>(i) == stopIndex) return out;
      if (map[i].ModuleNo != 255 && std::find(out.begin(), out.end(), map[i].ModuleNo) == out.end())
        out.push_back(map[i].ModuleNo);
    }
  }
  return out;
}

std::vector<std::int32_t> Nsets(const Configuration& c) {
  std::vector<std::int32_t> out;
  for (const auto& ce : c.Controllers) {
    EXPECT_FALSE(ce.Found);
    EXPECT_EQ(ce.Task, nullptr);
    out.push_back(ce.Nset);
  }
  return out;
}

TEST_F(ExchangeTest, FullWriteThenReadBackIntoFreshConfiguration) {
  FillConfiguration(config);
  StartSim();
  ASSERT_TRUE(form->LinkOpen()) << form->ResultText;
  sim::SimModule& m = sim->Module(1);

  Run(ExchangeMode::Write);
  EXPECT_EQ(form->StatusText(), "Запись завершена");
  EXPECT_EQ(form->ProgressPosition(), 128);
  EXPECT_FALSE(form->AbortEnabled());
  EXPECT_EQ(view.busyOn, view.busyOff);
  // The device was running: the question comes, No leaves it stopped.
  EXPECT_EQ(view.boxes, std::vector<std::string>{kRestartQuestion});
  EXPECT_EQ(m.RunState(), 0x81);

  // The common parameters as the module holds them.
  EXPECT_EQ(SimBytes(0x04), (Bytes{0xE0, 0x4B}));
  EXPECT_EQ(SimBytes(0x11), (Bytes{0x2C, 0x01}));
  EXPECT_EQ(SimBytes(0x09), (Bytes{0xC0, 0xA8, 0x00, 0x01}));
  for (MapKind kind : kAllMapKinds) {
    const auto& map = config.Map(kind);
    for (int i = 0; i < MapCount(kind); ++i) {
      const MapEntry& e = map[static_cast<std::size_t>(i)];
      ASSERT_EQ(SimElement(MapArrayParam(kind, MapArray::Controller), i), e.ModuleNo);
      ASSERT_EQ(SimElement(MapArrayParam(kind, MapArray::Param), i), e.ParamNo);
      ASSERT_EQ(SimElement(MapArrayParam(kind, MapArray::Address), i), e.ModbusAddr);
    }
  }
  // The stages in order, each once.
  const std::vector<std::string> stages{"WriteCommon",     "WrModbus N_HRegister", "WrModbus N_Input",
                                        "WrModbus N_Coil", "WrModbus N_IRegister", "WrModbus пересчет KC",
                                        "=> Pusk"};
  const std::string file = Cp1251ToUtf8(ReadFileBytes(log.CurrentPath()));
  std::size_t at = 0;
  for (const auto& s : stages) {
    const std::size_t found = file.find(" : " + s + "\r\n", at);
    ASSERT_NE(found, std::string::npos) << s;
    at = found + 1;
  }
  EXPECT_NE(file.find("10:00:00:000 : WriteCommon\r\n"), std::string::npos);
  EXPECT_NE(file.find(" : 127.0.0.1 (" + Hex4(static_cast<std::uint32_t>(sim->Port())) + ") >> "),
            std::string::npos);  // the engine's traffic goes into the same file

  // Read back into a fresh configuration with a second showing of the window.
  ASSERT_TRUE(form->RequestClose());
  form.reset();
  const int writesBefore = m.WriteCount();
  Configuration fresh;
  ExchangeForm reader(fresh, settings, view, log);
  reader.Show();
  reader.ChooseMode(ExchangeMode::Read);
  reader.Action();
  EXPECT_EQ(reader.StatusText(), "Чтение завершено");
  EXPECT_EQ(reader.ProgressPosition(), 128);
  EXPECT_EQ(m.WriteCount(), writesBefore);  // reading never writes
  EXPECT_EQ(m.RunState(), 0x81);

  CommonSettings expected = config.Common;
  expected.AdrMAC = {0x02, 0x52, 0x37, 0x37, 0x30, 0x01};  // the module's own
  EXPECT_EQ(fresh.Common, expected);
  for (MapKind kind : kAllMapKinds) {
    ASSERT_EQ(fresh.Map(kind).size(), static_cast<std::size_t>(MapCount(kind)));
    for (int i = 0; i < MapCount(kind); ++i) {
      const MapEntry& w = config.Map(kind)[static_cast<std::size_t>(i)];
      const MapEntry& r = fresh.Map(kind)[static_cast<std::size_t>(i)];
      ASSERT_EQ(r.ModuleNo, w.ModuleNo);
      ASSERT_EQ(r.ParamNo, w.ParamNo);
      ASSERT_EQ(r.ModbusAddr, w.ModbusAddr);
      ASSERT_EQ(r.TaskNo, 0xFFFF);
      ASSERT_EQ(r.ParamName, kNoParamName);
    }
  }
  EXPECT_EQ(Nsets(fresh), ControllersMet(config));
  const DocumentState& s = fresh.State;
  EXPECT_TRUE(s.FromModule);
  EXPECT_FALSE(s.IsNew || s.FromFile || s.CommonChanged);
  EXPECT_TRUE(s.ControllersChanged && s.TCChanged && s.TUChanged && s.TIFloatChanged && s.InputRegChanged);
  EXPECT_EQ(view.mainStatuses, std::vector<std::string>{kReadMainStatus});
  EXPECT_EQ(view.documentMenuUpdates, std::vector<bool>{false});
  EXPECT_EQ(fresh.DisplayName(fresh.Map(MapKind::TU)[0]),
            "Параметр " + Hex4(config.Map(MapKind::TU)[0].ParamNo) + " (модуль " +
                Hex2(config.Map(MapKind::TU)[0].ModuleNo) + ")");
}

TEST_F(ExchangeTest, NewDocumentWritesEveryElementEmptyInMapAndArrayOrder) {
  config.ResetForNew();
  config.State.IsNew = true;
  ScriptedModule module;  // stopped before the write
  StartFake(module.Script());
  Run(ExchangeMode::Write);
  EXPECT_EQ(form->StatusText(), "Запись завершена");
  EXPECT_EQ(view.boxes, std::vector<std::string>{kRestartStoppedQuestion});  // answered No
  EXPECT_EQ(module.runState, 0x81);

  const auto writes = ElementWrites(fake->requests);
  ASSERT_EQ(writes.size(), 816u);
  std::size_t w = 0;
  const std::pair<std::uint16_t, int> arrays[] = {{0x307, 64},  {0x303, 64},  {0x30B, 64}, {0x304, 128},
                                                  {0x300, 128}, {0x308, 128}, {0x305, 16}, {0x301, 16},
                                                  {0x309, 16},  {0x306, 64},  {0x302, 64}, {0x30A, 64}};
  for (const auto& [param, count] : arrays) {
    const Bytes empty = param >= 0x300 && param <= 0x303 ? Bytes{0xFF} : Bytes{0xFF, 0xFF};
    for (int i = 0; i < count; ++i, ++w) {
      ASSERT_EQ(writes[w].param, param) << w;
      ASSERT_EQ(writes[w].index, i);
      ASSERT_EQ(writes[w].data, empty);
    }
  }
  // The checksum step closes the write: the state parameter is read after the last element
  // (and once more for the window's run state line).
  const auto last = std::find_if(fake->requests.rbegin(), fake->requests.rend(),
                                 [](const RecordedRequest& r) { return r.bytes[1] == 0x16; });
  ASSERT_GE(last - fake->requests.rbegin(), 2);
  EXPECT_EQ((last - 1)->bytes, (Bytes{0x03, 0x01, 0x1A, 0xF0}));
  EXPECT_EQ(fake->requests.back().bytes, (Bytes{0x03, 0x01, 0x1A, 0xF0}));
  EXPECT_EQ(form->RunStateText(), "Состояние прибора: Стоп");
}

TEST_F(ExchangeTest, RestartQuestionNamesTheStateTheDeviceWasFoundIn) {
  // A device found stopped (an earlier write was cut off) is offered its return to work too.
  const struct {
    std::uint8_t before;
    bool answer;
    const char* question;
    std::uint8_t after;
  } cases[] = {{0x00, true, kRestartQuestion, 0x00},
               {0x00, false, kRestartQuestion, 0x81},
               {0x81, true, kRestartStoppedQuestion, 0x00},
               {0x81, false, kRestartStoppedQuestion, 0x81},
               {0x01, true, kRestartStoppedQuestion, 0x00}};
  config.ResetForNew();
  config.State.IsNew = true;
  for (const auto& t : cases) {
    SCOPED_TRACE(static_cast<int>(t.before) * 10 + t.answer);
    form.reset();
    view = RecordingView{};
    view.answers = {t.answer};
    StartSim();
    ASSERT_TRUE(sim->Module(1).SetParamBytes(0xF01A, Bytes{t.before}));
    Run(ExchangeMode::Write);
    EXPECT_EQ(form->StatusText(), "Запись завершена");
    EXPECT_EQ(view.questions, std::vector<std::string>{t.question});
    EXPECT_EQ(view.boxes.size(), view.questions.size());  // no message box
    EXPECT_EQ(sim->Module(1).RunState(), t.after);
    // The window shows the state the write left.
    ASSERT_EQ(form->RunState(), std::optional<std::uint8_t>(t.after));
    EXPECT_EQ(form->RunStateText(), t.after == 0 ? "Состояние прибора: Работа" : "Состояние прибора: Стоп");
  }
}

TEST_F(ExchangeTest, AbortDuringTIFloatWriteStopsBeforeTheNextElement) {
  FillConfiguration(config);
  StartSim();
  // 11 common steps pump once each; then the TIFloat map pumps before each element.
  view.onPump = [this] {
    if (view.pumps == 11 + 5) form->Abort();
  };
  Run(ExchangeMode::Write);
  EXPECT_EQ(form->StatusText(), "Запись прервана");
  EXPECT_EQ(form->ProgressPosition(), 0);
  EXPECT_TRUE(view.boxes.empty());
  EXPECT_EQ(sim->Module(1).RunState(), 0x81);  // stays stopped
  const auto& tif = config.Map(MapKind::TIFloat);
  for (int i = 0; i < 64; ++i)
    ASSERT_EQ(SimElement(0x307, i), i < 4 ? tif[static_cast<std::size_t>(i)].ParamNo : 0xFFFF) << i;
  for (std::uint16_t p : {0x303, 0x300, 0x304, 0x305, 0x306})
    EXPECT_EQ(SimElement(p, 0), p <= 0x303 ? 0xFFu : 0xFFFFu) << p;
  // The remaining map lines are logged; the checksum step is not.
  for (const char* line : {"WrModbus N_Input", "WrModbus N_Coil", "WrModbus N_IRegister", "=> Pusk"})
    EXPECT_GE(LogIndex(line), 0) << line;
  EXPECT_EQ(LogIndex("WrModbus пересчет KC"), -1);
}

TEST_F(ExchangeTest, FailureInInputRegEndsTheWriteWithoutChecksumStep) {
  FillConfiguration(config);
  ScriptedModule module;
  module.runState = 0;
  module.elementCode = [](std::uint16_t p, std::uint16_t i) { return p == 0x306 && i == 3 ? 14 : 0; };
  StartFake(module.Script());
  Run(ExchangeMode::Write);
  EXPECT_EQ(form->StatusText(), "R-770 TCP/Modbus");
  EXPECT_EQ(view.boxes, std::vector<std::string>{ErrorText(14)});  // no restart question
  EXPECT_EQ(ElementWrites(fake->requests).size(), 3u * (64 + 128 + 16) + 4);
  // Nothing after the failing element but the read of the run state the window shows.
  ASSERT_GE(fake->requests.size(), 2u);
  EXPECT_EQ(fake->requests.end()[-2].bytes[1], 0x16);
  EXPECT_EQ(fake->requests.back().bytes, (Bytes{0x03, 0x01, 0x1A, 0xF0}));
  EXPECT_EQ(form->RunStateText(), "Состояние прибора: Стоп");
  EXPECT_TRUE(form->ReopenPending());
  EXPECT_EQ(LogIndex("WrModbus пересчет KC"), -1);
  EXPECT_GE(LogIndex("=> Pusk"), 0);
  EXPECT_EQ(module.runState, 0x81);
}

TEST_F(ExchangeTest, DeviceThatNeverStopsFailsWithCode29AfterTenSeconds) {
  FillConfiguration(config);
  StartSim({.behaviour = {.neverStops = true}});
  Run(ExchangeMode::Write);
  EXPECT_EQ(view.boxes, std::vector<std::string>{ErrorText(29)});
  EXPECT_EQ(form->ResultCode, 29);
  EXPECT_FALSE(form->Succeeded());
  EXPECT_EQ(form->StatusText(), "R-770 TCP/Modbus");
  EXPECT_GE(clock.SleptMs(), 9900);
  EXPECT_EQ(sim->Module(1).WriteCount(), 1);  // the stop command only
  EXPECT_EQ(LogIndex("=> Pusk"), -1);
}

TEST_F(ExchangeTest, RefusedAccessEndsWriteAndReadWithCode26) {
  FillConfiguration(config);
  StartSim({.behaviour = {.refuseAccess = true}});
  for (ExchangeMode mode : {ExchangeMode::Write, ExchangeMode::Read}) {
    view.boxes.clear();
    Run(mode);
    EXPECT_EQ(view.boxes, std::vector<std::string>{ErrorText(26)});
    EXPECT_EQ(form->ResultCode, 26) << "a refused access is never reported as success";
    EXPECT_FALSE(form->Succeeded());
    EXPECT_EQ(form->StatusText(), "R-770 TCP/Modbus");
  }
  EXPECT_EQ(sim->Module(1).WriteCount(), 0);
  EXPECT_EQ(config.Map(MapKind::TU)[0].ModuleNo, 1 + (0 * 7 + 1) % 40);  // not touched by the read
}

TEST_F(ExchangeTest, DeviceThatDoesNotGoBackToWorkFailsTheWriteWithCode30) {
  FillConfiguration(config);
  StartSim({.behaviour = {.neverRuns = true}});
  view.answers = {true};  // put the device back into operation
  Run(ExchangeMode::Write);
  EXPECT_EQ(view.boxes, (std::vector<std::string>{kRestartQuestion, ErrorText(30)}));
  EXPECT_EQ(form->ResultCode, 30);
  EXPECT_FALSE(form->Succeeded());
  EXPECT_EQ(form->StatusText(), "R-770 TCP/Modbus");
  EXPECT_NE(form->ProgressPosition(), form->ProgressMaximum());
}

TEST_F(ExchangeTest, ModuleClosingTheConnectionMidWriteEndsWithNoAnswer) {
  FillConfiguration(config);
  StartSim({.faults = {.closeAfter = 100}});
  Run(ExchangeMode::Write);
  EXPECT_EQ(view.boxes, std::vector<std::string>{ErrorText(1)});
  EXPECT_EQ(form->StatusText(), "R-770 TCP/Modbus");
  EXPECT_FALSE(form->Running());
  EXPECT_EQ(view.busyOn, view.busyOff);
  EXPECT_GT(sim->Module(1).WriteCount(), 50);  // partly written, no rollback
  EXPECT_TRUE(form->ReopenPending());
  EXPECT_EQ(form->RunState(), std::nullopt);  // no second wait for a lost connection
  EXPECT_EQ(form->RunStateText(), "Состояние прибора: неизвестно");
  EXPECT_EQ(sim->Module(1).RunState(), 0x81);

  // The module is back: the next write in the same window opens the link again and, the
  // device being found stopped, offers its return to work.
  sim->server->SetFaults({});
  view.boxes.clear();
  view.answers = {true};
  Run(ExchangeMode::Write);
  EXPECT_EQ(form->StatusText(), "Запись завершена");
  EXPECT_EQ(view.boxes, std::vector<std::string>{kRestartStoppedQuestion});
  EXPECT_EQ(sim->server->Connections(), 2);
  EXPECT_FALSE(form->ReopenPending());
  EXPECT_EQ(sim->Module(1).RunState(), 0x00);
  EXPECT_EQ(form->RunStateText(), "Состояние прибора: Работа");
  // A successful procedure keeps its link.
  Run(ExchangeMode::Read);
  EXPECT_EQ(form->StatusText(), "Чтение завершено");
  EXPECT_EQ(sim->server->Connections(), 2);
  form->RequestClose();
  EXPECT_FALSE(form->Shown());
  EXPECT_EQ(CurrentEngine(), nullptr);
}

TEST_F(ExchangeTest, LinkThatDoesNotOpenAgainIsTriedAgainByTheNextCommand) {
  FillConfiguration(config);
  ScriptedModule module;
  const auto answer = module.Script();
  bool cableOut = true;
  int openCode = 0, engines = 0;
  SetEngineFactory(kLinkTcp, [&](const TCustomLink& link, Clock& c) {
    auto e = std::make_unique<FakeEngine>(link, c);
    e->openCode = openCode;
    e->script = [&](const RecordedRequest& r, std::span<std::uint8_t> out, int& delivered) {
      return cableOut && r.bytes[1] == 0x16 ? 1 : answer(r, out, delivered);
    };
    fake = e.get();
    ++engines;
    return e;
  });
  ShowWindow();
  Run(ExchangeMode::Write);
  ASSERT_EQ(form->ResultCode, 1);
  ASSERT_EQ(engines, 1);

  openCode = 32;  // the next opening fails: reported, nothing sent, tried again next time
  view.boxes.clear();
  form->Action();
  EXPECT_EQ(engines, 2);
  EXPECT_EQ(view.boxes, std::vector<std::string>{"FAKE \rОшибка установки соединения по TCP"});
  EXPECT_TRUE(fake->requests.empty());
  EXPECT_TRUE(form->ReopenPending());
  EXPECT_FALSE(form->Running());
  EXPECT_TRUE(form->RunStopEnabled());

  openCode = 0;
  cableOut = false;
  form->StopModule();  // "Стоп" opens the link too
  EXPECT_EQ(engines, 3);
  EXPECT_FALSE(form->ReopenPending());
  EXPECT_EQ(form->StatusText(), "Прибор в состоянии \"Стоп\"");
  form->Action();
  EXPECT_EQ(form->StatusText(), "Запись завершена");
  EXPECT_EQ(engines, 3);  // a link that works is kept
}

TEST_F(ExchangeTest, RunAndStopCommandsChangeAndShowTheRunState) {
  StartSim();
  EXPECT_TRUE(form->RunStopEnabled());  // without a mode chosen
  EXPECT_EQ(form->RunStateText(), "Состояние прибора: неизвестно");
  const struct {
    bool stop;
    const char* status;
    std::uint8_t state;
    const char* shown;
  } cases[] = {{true, "Прибор в состоянии \"Стоп\"", 0x81, "Состояние прибора: Стоп"},
               {true, "Прибор в состоянии \"Стоп\"", 0x81, "Состояние прибора: Стоп"},
               {false, "Прибор в состоянии \"Работа\"", 0x00, "Состояние прибора: Работа"}};
  for (const auto& t : cases) {
    SCOPED_TRACE(t.status);
    t.stop ? form->StopModule() : form->RunModule();
    EXPECT_TRUE(form->Succeeded());
    EXPECT_EQ(form->StatusText(), t.status);
    EXPECT_EQ(sim->Module(1).RunState(), t.state);
    EXPECT_EQ(form->RunStateText(), t.shown);
    EXPECT_TRUE(view.boxes.empty());
    EXPECT_EQ(view.busyOn, view.busyOff);
  }
  EXPECT_GE(LogIndex("=> Stop"), 0);

  // A device that does not go back to work: code 30 with its text; the state is shown.
  form.reset();
  StartSim({.behaviour = {.neverRuns = true}});
  ASSERT_TRUE(sim->Module(1).SetParamBytes(0xF01A, Bytes{0x81}));
  form->RunModule();
  EXPECT_FALSE(form->Succeeded());
  EXPECT_EQ(form->ResultCode, 30);
  EXPECT_EQ(view.boxes, std::vector<std::string>{ErrorText(30)});
  EXPECT_EQ(form->StatusText(), "R-770 TCP/Modbus");
  EXPECT_EQ(form->RunStateText(), "Состояние прибора: Стоп");

  // Refused access: nothing is written.
  form.reset();
  view.boxes.clear();
  StartSim({.behaviour = {.refuseAccess = true}});
  form->StopModule();
  EXPECT_EQ(view.boxes, std::vector<std::string>{ErrorText(26)});
  EXPECT_EQ(sim->Module(1).RunState(), 0x00);
  EXPECT_EQ(sim->Module(1).WriteCount(), 0);
}

TEST_F(ExchangeTest, EveryProcedureShowsTheRunStateItLeft) {
  config.ResetForNew();
  config.State.IsNew = true;
  StartSim({.modules = {{0x01, 0x1101}, {0x02, 0x1101}}});
  ASSERT_TRUE(sim->Module(2).SetParamBytes(0xF01A, Bytes{0x81}));
  // The search: the state of the module it selected.
  form->ChooseMode(ExchangeMode::Search);
  form->SetRangeSwitch(true);
  form->rangeText = {"02", "03"};
  form->Action();
  ASSERT_EQ(form->StatusText(), "Поиск завершен");
  EXPECT_EQ(form->RunStateText(), "Состояние прибора: Стоп");
  settings.ModuleNetNumber = 1;
  Run(ExchangeMode::Read);
  EXPECT_EQ(form->RunStateText(), "Состояние прибора: Работа");
  // A search that finds nothing leaves it unknown.
  form->ChooseMode(ExchangeMode::Search);
  form->SetRangeSwitch(true);
  form->rangeText = {"05", "05"};
  form->Action();
  EXPECT_EQ(form->RunState(), std::nullopt);
}

TEST_F(ExchangeTest, AbortDuringTCReadLeavesTheMapsPartlyRead) {
  Configuration source;
  FillConfiguration(source);
  StartSim();
  LoadSimMaps(sim->Module(1), source);
  config.ResetForNew();
  config.State.IsNew = true;
  config.State.ControllersChanged = true;
  config.State.TUChanged = true;
  // The TIFloat map pumps before each of its 64 entries, then TC before each entry.
  view.onPump = [this] {
    if (view.pumps == 64 + 6) form->Abort();
  };
  Run(ExchangeMode::Read);
  EXPECT_EQ(form->StatusText(), "Чтение прервано");
  EXPECT_EQ(form->ProgressPosition(), 0);
  EXPECT_TRUE(view.boxes.empty());
  EXPECT_EQ(view.mainStatuses, std::vector<std::string>{kReadMainStatus});
  EXPECT_EQ(view.documentMenuUpdates, std::vector<bool>{false});

  RegisterMap tifloat = source.Map(MapKind::TIFloat);
  for (auto& e : tifloat) {
    e.TaskNo = 0xFFFF;
    e.ParamName = kNoParamName;
  }
  EXPECT_EQ(config.Map(MapKind::TIFloat), tifloat);
  const auto& tc = config.Map(MapKind::TC);
  for (std::size_t i = 0; i < tc.size(); ++i) {
    if (i < 5)
      ASSERT_EQ(tc[i].ParamNo, source.Map(MapKind::TC)[i].ParamNo) << i;
    else
      ASSERT_TRUE(tc[i] == MapEntry{}) << i;
  }
  for (MapKind kind : {MapKind::TU, MapKind::InputReg})
    for (const auto& e : config.Map(kind)) ASSERT_TRUE(e == MapEntry{});
  EXPECT_EQ(Nsets(config), ControllersMet(source, MapKind::TC, 5));
  CommonSettings common;  // the module's own common settings replaced the document's
  common.AdrCAN = 0x01;
  common.AdrExt = 0x01;
  common.AdrPort = 502;
  common.AdrMAC = {0x02, 0x52, 0x37, 0x37, 0x30, 0x01};
  common.AdrIP = {192, 168, 0, 10};
  common.AdrGate = {192, 168, 0, 1};
  common.Mask = {255, 255, 255, 0};
  EXPECT_EQ(config.Common, common);
  const DocumentState& s = config.State;
  EXPECT_TRUE(s.IsNew && s.ControllersChanged);
  EXPECT_FALSE(s.FromModule || s.FromFile || s.TUChanged || s.TCChanged);
}

TEST_F(ExchangeTest, ReadOfAnEmptyModuleGivesAnEmptyDocumentReadFromTheModule) {
  FillConfiguration(config);  // a loaded document with controllers of its own
  config.State.IsNew = false;
  config.State.FromFile = true;
  config.Controllers.emplace_back().Nset = 0x33;
  StartSim();
  Run(ExchangeMode::Read);
  EXPECT_EQ(form->StatusText(), "Чтение завершено");
  for (MapKind kind : kAllMapKinds)
    for (const auto& e : config.Map(kind)) ASSERT_TRUE(e == MapEntry{});
  EXPECT_TRUE(config.Controllers.empty());
  EXPECT_TRUE(config.State.FromModule);
  EXPECT_FALSE(config.State.FromFile);
}

TEST_F(ExchangeTest, ReadIntoAConfigurationOfItsOwnLeavesTheDocumentAlone) {
  FillConfiguration(config);
  StartSim();
  ASSERT_TRUE(form->LinkOpen()) << form->ResultText;
  Run(ExchangeMode::Write);
  ASSERT_TRUE(form->Succeeded());
  config.Common.trepeat = 5;  // changed since the write
  config.State.CommonChanged = true;
  view.boxes.clear();

  Configuration target;
  bool refusedWhileRunning = false;
  view.onPump = [&] {
    Configuration other;
    refusedWhileRunning = !form->ReadModuleInto(other) && !form->CompareEnabled();
  };
  ASSERT_TRUE(form->ReadModuleInto(target)) << form->ResultText;
  EXPECT_TRUE(refusedWhileRunning);
  EXPECT_EQ(form->StatusText(), "Чтение завершено");
  EXPECT_EQ(target.Common.trepeat, 300);
  for (MapKind kind : kAllMapKinds)
    for (int i = 0; i < MapCount(kind); ++i) {
      const MapEntry& w = config.Map(kind)[static_cast<std::size_t>(i)];
      const MapEntry& r = target.Map(kind)[static_cast<std::size_t>(i)];
      ASSERT_EQ(r.ModuleNo, w.ModuleNo);
      ASSERT_EQ(r.ParamNo, w.ParamNo);
      ASSERT_EQ(r.ModbusAddr, w.ModbusAddr);
      ASSERT_EQ(w.ParamName, "Параметр " + std::to_string(i));  // the document keeps its names
    }
  EXPECT_EQ(Nsets(target), ControllersMet(config));
  EXPECT_TRUE(target.State.FromModule);
  EXPECT_FALSE(target.AnyChanged());
  // The document is as it was: nothing read into it, its state and flags untouched.
  EXPECT_EQ(config.Common.trepeat, 5);
  EXPECT_TRUE(config.Controllers.empty());
  EXPECT_TRUE(config.State.IsNew);
  EXPECT_FALSE(config.State.FromModule);
  EXPECT_TRUE(config.State.CommonChanged);
  EXPECT_FALSE(config.State.TUChanged || config.State.ControllersChanged);
  EXPECT_TRUE(view.mainStatuses.empty());
  EXPECT_TRUE(view.documentMenuUpdates.empty());
  EXPECT_TRUE(view.boxes.empty());

  // No document: refused.
  config.State = DocumentState{};
  EXPECT_FALSE(form->CompareEnabled());
  EXPECT_FALSE(form->ReadModuleInto(target));
}

}  // namespace
}  // namespace r770::test
