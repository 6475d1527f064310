// "Монитор карты" form model against libmodbus's own server, driven as a person drives the
// window: start, ticks of the window's timer on a fake clock, filters, trends, recording and
// a coil command with its confirmation.
#include "monitor/monitor_form.h"

#include <gtest/gtest.h>

#include "common/codec.h"
#include "fake_dialogs.h"
#include "lib_modbus_server.h"
#include "temp_dir.h"

namespace r770 {
namespace {

using test::FakeDialogs;
using test::LibModbusServer;

// The lines of a recording, each ended by CR LF.
std::vector<std::string> CrlfLines(const std::string& text) {
  std::vector<std::string> lines;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t end = text.find("\r\n", at);
    lines.push_back(text.substr(at, end - at));
    at = end == std::string::npos ? text.size() : end + 2;
  }
  return lines;
}

struct MonitorFixture : ::testing::Test {
  LibModbusServer server;
  Configuration cfg;
  ProgramSettings settings;
  FakeDialogs dialogs;
  FakeClock clock;
  std::unique_ptr<MonitorForm> form;

  void SetUp() override {
    cfg.CreateMaps();
    cfg.Map(MapKind::TU)[0] = {5, 0x0101, 1, "Пуск насоса/Насосная(ЛОРИС 05)", 1};
    cfg.Map(MapKind::TC)[4] = {5, 0x0102, 1, "Авария насоса/Насосная(ЛОРИС 05)", 20};
    for (int i = 0; i < 10; ++i)
      cfg.Map(MapKind::TIFloat)[i] = {5, static_cast<std::uint16_t>(0x0200 + i), 1,
                                      "Давление " + std::to_string(i + 1) + "/Котельная(ЛОРИС 05)",
                                      static_cast<std::uint16_t>(100 + 2 * i)};
    cfg.Map(MapKind::InputReg)[2] = {6, 0x0300, 2, "Уровень/Бак(ЛОРИС 06)", 300};
    settings.IP_AdrTest = "127.0.0.1";
    settings.PortTcpTest = static_cast<std::uint16_t>(server.Port());
    settings.TimeAnswerTest = 2;
    server.With([](modbus_mapping_t& m) {
      for (int i = 0; i < 10; ++i) test::SetModuleFloat(m.tab_registers + 100 + 2 * i, 10.0f * (i + 1));
      test::SetModuleFloat(m.tab_input_registers + 300, 3.5f);
      m.tab_input_bits[20] = 1;
    });
    form =
        std::make_unique<MonitorForm>(cfg, settings, dialogs, clock, MonitorForm::TransportFactory{}, false);
    form->Show();
  }
  const MonitorRow& Row(int i) { return form->Rows()[static_cast<std::size_t>(i)]; }
};

TEST_F(MonitorFixture, TableShowsEveryEntryByNameWithItsValue) {
  ASSERT_EQ(form->Rows().size(), 13u);
  EXPECT_EQ(Row(0).value, "");  // nothing read before "Пуск"
  form->Start();
  EXPECT_EQ(form->Cycles(), 1);
  struct Expect {
    std::string map, row, address, name, value;
  } expected[] = {
      {"Coils", "1", "1", "Пуск насоса/Насосная(ЛОРИС 05)", "0"},
      {"Discrete Inputs", "5", "20", "Авария насоса/Насосная(ЛОРИС 05)", "1"},
      {"Holding Registers", "1", "100", "Давление 1/Котельная(ЛОРИС 05)", "10,0000"},
      {"Holding Registers", "10", "118", "Давление 10/Котельная(ЛОРИС 05)", "100,0000"},
      {"Input Registers", "3", "300", "Уровень/Бак(ЛОРИС 06)", "3,5000"},
  };
  const int rows[] = {0, 1, 2, 11, 12};
  for (int i = 0; i < 5; ++i) {
    const MonitorRow& r = Row(rows[i]);
    const Expect& e = expected[i];
    EXPECT_EQ((std::vector<std::string>{r.map, r.row, r.address, r.name, r.value, r.note}),
              (std::vector<std::string>{e.map, e.row, e.address, e.name, e.value, ""}));
    EXPECT_EQ(r.changedAt, "10:00:00.000");
    EXPECT_TRUE(r.highlighted);
  }
  EXPECT_EQ(form->LastReport().requests, 4);
  EXPECT_EQ(form->Status().rfind("Циклов: 1 | запросов за цикл: 4 | время обмена: ", 0), 0u)
      << form->Status();
  EXPECT_NE(form->Status().find(" мс | ошибок: 0"), std::string::npos) << form->Status();

  // A changed value is highlighted for one cycle, with the time of its change.
  server.With([](modbus_mapping_t& m) { test::SetModuleFloat(m.tab_registers + 100, 11.0f); });
  clock.Advance(1000);
  form->Tick();
  EXPECT_EQ(Row(2).value, "11,0000");
  EXPECT_TRUE(Row(2).highlighted);
  EXPECT_EQ(Row(2).changedAt, "10:00:01.000");
  EXPECT_FALSE(Row(3).highlighted);
  EXPECT_EQ(Row(3).changedAt, "10:00:00.000");
  clock.Advance(1000);
  form->Tick();
  EXPECT_FALSE(Row(2).highlighted);
  EXPECT_EQ(form->Cycles(), 3);
}

TEST_F(MonitorFixture, CyclesComeOncePerPeriodOfAtLeast100Ms) {
  // A period out of 100..3600000 ms or not a number is refused with a message, never
  // replaced by a value of its own; the field shows the period in force again.
  struct Case {
    const char* typed;
    int period;
    const char* shown;
    bool refused;
  } cases[] = {
      {"250", 250, "250", false},      {"50", 250, "250", true},
      {"0", 250, "250", true},         {"", 250, "250", true},
      {"1 с", 250, "250", true},       {" 2000 ", 2000, "2000", false},
      {"3600001", 2000, "2000", true}, {"3600000", 3600000, "3600000", false},
  };
  for (const Case& c : cases) {
    dialogs.shown.clear();
    form->periodText = c.typed;
    EXPECT_EQ(form->ApplyPeriod(), !c.refused) << c.typed;
    EXPECT_EQ(form->PeriodMs(), c.period) << c.typed;
    EXPECT_EQ(form->periodText, c.shown) << c.typed;
    EXPECT_EQ(dialogs.shown, c.refused ? std::vector<std::string>{MonitorForm::kBadPeriodMessage}
                                       : std::vector<std::string>{})
        << c.typed;
  }
  form->periodText = "0";
  form->Start();  // refused: nothing starts
  EXPECT_FALSE(form->Running());
  EXPECT_EQ(server.Requests(), 0);
  form->periodText = "500";
  form->Start();
  const int first = server.Requests();
  EXPECT_EQ(first, 4);
  clock.Advance(499);
  form->Tick();
  EXPECT_EQ(server.Requests(), first);
  clock.Advance(1);
  form->Tick();
  EXPECT_EQ(server.Requests(), 2 * first);
  form->Stop();
  EXPECT_FALSE(form->Running());
  clock.Advance(5000);
  form->Tick();
  EXPECT_EQ(server.Requests(), 2 * first);
  EXPECT_EQ(form->Status().rfind("Остановлен. Циклов: 2", 0), 0u) << form->Status();
}

TEST_F(MonitorFixture, FiltersByMapAndByText) {
  struct Case {
    std::optional<MapKind> map;
    std::string text;
    std::vector<int> rows;
  } cases[] = {
      {std::nullopt, "", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}},
      {MapKind::TC, "", {1}},
      {MapKind::InputReg, "", {12}},
      {std::nullopt, "насоса", {0, 1}},
      {std::nullopt, "ДАВЛЕНИЕ 1", {2, 11}},  // any case; "1" and "10"
      {MapKind::TIFloat, "бак", {}},
      {std::nullopt, "118", {11}},  // the address
      {MapKind::TU, "  пуск ", {0}},
  };
  for (const Case& c : cases) {
    form->mapFilter = c.map;
    form->textFilter = c.text;
    EXPECT_EQ(form->VisibleRows(), c.rows) << c.text;
  }
}

TEST_F(MonitorFixture, TrendsOfUpToEightRegisterEntries) {
  EXPECT_FALSE(form->SetTrend(0, true));  // a coil has no trend
  for (int i = 2; i < 10; ++i) EXPECT_TRUE(form->SetTrend(i, true)) << i;
  EXPECT_TRUE(dialogs.shown.empty());
  EXPECT_FALSE(form->SetTrend(10, true));
  EXPECT_EQ(dialogs.Last(), "Графики можно построить не более чем для 8 параметров");
  EXPECT_TRUE(form->SetTrend(9, false));
  EXPECT_TRUE(form->SetTrend(12, true));  // an input register
  EXPECT_EQ(form->TrendPoints(), (std::vector<int>{2, 3, 4, 5, 6, 7, 8, 12}));
  EXPECT_TRUE(Row(12).trended);
  EXPECT_FALSE(Row(9).trended);

  form->periodText = "100";
  form->Start();  // the same maps keep the ticked trends
  for (int i = 0; i < 4; ++i) {
    clock.Advance(100);
    form->Tick();
  }
  const TrendBuffer* t = form->Trend(2);
  ASSERT_NE(t, nullptr);
  ASSERT_EQ(t->Size(), 5u);
  EXPECT_EQ(t->At(0).seconds, 0.0);
  EXPECT_EQ(t->At(4).seconds, 0.4);
  EXPECT_EQ(t->At(4).value, 10.0);
  EXPECT_EQ(form->Trend(12)->At(0).value, 3.5);
  EXPECT_EQ(form->Trend(9), nullptr);
  EXPECT_EQ(t->Capacity(), MonitorForm::kTrendCapacity);
}

TEST_F(MonitorFixture, TrendBreaksWhereTheModuleDidNotAnswerAndErrorsCountForTheRun) {
  ASSERT_TRUE(form->SetTrend(2, true));
  form->periodText = "100";
  bool refuse = false;
  server.SetHook([&refuse](int function, int, int) {
    return refuse && function == 3 ? LibModbusServer::Verdict{LibModbusServer::Action::Exception, 4}
                                   : LibModbusServer::Verdict{};
  });
  form->Start();  // 0,0 s: a value
  // Cycles at 0,1 .. 0,6 s: values, two refused, a value, two refused, a value.
  const bool refused[] = {false, true, true, false, true, true, false};
  for (bool r : refused) {
    refuse = r;
    clock.Advance(100);
    form->Tick();
  }
  EXPECT_EQ(form->Cycles(), 8);
  const std::vector<std::vector<TrendSample>> runs = form->Trend(2)->Runs(0);
  std::vector<std::vector<double>> times;
  for (const auto& run : runs) {
    times.emplace_back();
    for (const TrendSample& s : run) {
      times.back().push_back(s.seconds);
      EXPECT_EQ(s.value, 10.0);
    }
  }
  EXPECT_EQ(times, (std::vector<std::vector<double>>{{0.0, 0.1}, {0.4}, {0.7}}));
  // Two refused cycles in a row make one gap, not two.
  EXPECT_EQ(form->Trend(2)->Size(), 6u);
  EXPECT_EQ(form->Trend(2)->Runs(0.5).size(), 1u);
  // Ten holding registers refused in each of four cycles.
  EXPECT_EQ(form->LastReport().errors, 0);
  EXPECT_EQ(form->TotalErrors(), 40);
  EXPECT_NE(form->Status().find(" | ошибок: 40"), std::string::npos) << form->Status();
  form->Stop();
  form->Start();  // a new run counts from nought
  EXPECT_EQ(form->TotalErrors(), 0);
  EXPECT_NE(form->Status().find(" | ошибок: 0"), std::string::npos) << form->Status();
}

TEST_F(MonitorFixture, ChangedMapsRestartThePlanOfARunningMonitor) {
  ASSERT_TRUE(form->SetTrend(3, true));   // "Давление 2", hr 102
  EXPECT_FALSE(form->DocumentChanged());  // nothing changed
  form->Start();
  clock.Advance(1000);
  form->Tick();
  ASSERT_EQ(form->Trend(3)->Size(), 2u);
  const int requests = server.Requests();

  // The document is edited: the discrete input goes, an input register comes.
  cfg.ResetMapEntry(MapKind::TC, 4);
  cfg.Map(MapKind::InputReg)[3] = {6, 0x0301, 2, "Температура/Бак(ЛОРИС 06)", 302};
  server.With([](modbus_mapping_t& m) { test::SetModuleFloat(m.tab_input_registers + 302, 7.25f); });
  clock.Advance(300);
  EXPECT_TRUE(form->DocumentChanged());
  EXPECT_TRUE(form->Running());
  // The new plan is polled at once, the run goes on.
  EXPECT_EQ(form->Cycles(), 3);
  EXPECT_EQ(server.Requests(), requests + 3);  // coils, holding and input registers
  ASSERT_EQ(form->Rows().size(), 13u);
  EXPECT_EQ(Row(1).name, "Давление 1/Котельная(ЛОРИС 05)");
  EXPECT_EQ(Row(12).name, "Температура/Бак(ЛОРИС 06)");
  EXPECT_EQ(Row(12).value, "7,2500");
  EXPECT_EQ(form->Status().rfind("Циклов: 3 | запросов за цикл: 3", 0), 0u) << form->Status();
  EXPECT_NE(form->Status().find(" | карты изменены, опрос начат заново в 10:00:01"), std::string::npos)
      << form->Status();
  // The ticked entry, now in row 2, keeps its trend and its history.
  EXPECT_EQ(form->TrendPoints(), std::vector<int>{2});
  EXPECT_TRUE(Row(2).trended);
  EXPECT_EQ(form->Trend(2)->Size(), 3u);
  EXPECT_EQ(form->Trend(2)->At(2).seconds, 1.3);

  // A document half made (a load runs) is not read; "Пуск" polls the maps read before.
  bool busy = true;
  form->documentBusy = [&busy] { return busy; };
  cfg.ResetMapEntry(MapKind::InputReg, 3);
  EXPECT_FALSE(form->DocumentChanged());
  form->Stop();
  form->Start();
  ASSERT_EQ(form->Rows().size(), 13u);
  EXPECT_EQ(Row(12).value, "7,2500");
  busy = false;
  EXPECT_TRUE(form->DocumentChanged());
  EXPECT_EQ(form->Rows().size(), 12u);
  // A stopped monitor only shows the new maps.
  form->Stop();
  const int stopped = server.Requests();
  const std::string status = form->Status();
  cfg.ResetMapEntry(MapKind::TIFloat, 9);
  EXPECT_TRUE(form->DocumentChanged());
  EXPECT_EQ(form->Rows().size(), 11u);
  EXPECT_FALSE(form->Running());
  EXPECT_EQ(server.Requests(), stopped);
  EXPECT_EQ(form->Status(), status);
}

TEST(TrendBuffer, RingKeepsTheNewestWithinItsCapacity) {
  TrendBuffer ring(4);
  for (int i = 0; i < 10; ++i) ring.Add(i, 100 + i);
  ASSERT_EQ(ring.Size(), 4u);
  EXPECT_EQ(ring.At(0).seconds, 6);
  EXPECT_EQ(ring.At(3).value, 109);
  auto recent = ring.Since(8);
  ASSERT_EQ(recent.size(), 2u);
  EXPECT_EQ(recent[0].seconds, 8);
  EXPECT_EQ(recent[1].seconds, 9);
  TrendBuffer two(2);
  two.Add(1, 1);
  EXPECT_EQ(two.Size(), 1u);
  EXPECT_EQ(two.At(0).value, 1);
}

TEST_F(MonitorFixture, RecordingAppendsEveryCycle) {
  test::TempDir dir;
  const std::string path = dir.File("запись.csv");
  dialogs.fileAnswers.push_back(path);
  form->ToggleRecording();
  EXPECT_TRUE(form->Recording());
  form->Start();
  clock.Advance(1000);
  form->Tick();
  form->ToggleRecording();
  EXPECT_FALSE(form->Recording());
  clock.Advance(1000);
  form->Tick();  // not recorded
  const std::string text = test::ReadFileBytes(path);
  const std::vector<std::string> lines = CrlfLines(text);
  ASSERT_EQ(lines.size(), 1u + 2 * 13);
  EXPECT_EQ(lines[0], "time,map,address,name,value,note");
  EXPECT_EQ(lines[3], "2026-12-06T10:00:00.000,hr,100,Давление 1/Котельная(ЛОРИС 05),10.0000,");
  EXPECT_EQ(lines[14 + 12], "2026-12-06T10:00:01.000,ir,300,Уровень/Бак(ЛОРИС 06),3.5000,");
  // Cancelled file choice: nothing recorded, no message.
  form->ToggleRecording();
  EXPECT_FALSE(form->Recording());
  EXPECT_TRUE(dialogs.shown.empty());
}

TEST(MonitorRecorder, CsvExtensionAddedToANameWithoutOne) {
  struct Case {
    const char* typed;
    const char* path;
  } cases[] = {
      {"/tmp/запись", "/tmp/запись.csv"},
      {"/tmp/запись.csv", "/tmp/запись.csv"},
      {"/tmp/запись.txt", "/tmp/запись.txt"},
      {"/tmp/запись.", "/tmp/запись.csv"},
      {"/tmp/.запись", "/tmp/.запись.csv"},
      {"/tmp/папка.1/запись", "/tmp/папка.1/запись.csv"},
      {"запись", "запись.csv"},
  };
  for (const Case& c : cases) EXPECT_EQ(WithCsvExtension(c.typed), c.path) << c.typed;
}

TEST_F(MonitorFixture, RussianSpreadsheetDialectIsRememberedInTheSettingsFile) {
  test::TempDir dir;
  settings.Path = dir.File("r770cfg.ini");
  test::WriteFileBytes(settings.Path, "[ModbusTest]\r\nPortTcpTest=502\r\n");
  MonitorForm first(cfg, settings, dialogs, clock, MonitorForm::TransportFactory{}, false);
  EXPECT_EQ(first.Dialect(), CsvDialect::Rfc4180);
  EXPECT_TRUE(first.SetDialect(CsvDialect::Russian));
  // The window that rewrites section "ModbusTest" leaves the choice alone.
  EXPECT_EQ(WriteModbusTest(settings.Path, settings), "");
  MonitorForm second(cfg, settings, dialogs, clock, MonitorForm::TransportFactory{}, false);
  EXPECT_EQ(second.Dialect(), CsvDialect::Russian);

  second.Show();
  dialogs.fileAnswers.push_back(dir.File("запись"));
  second.ToggleRecording();
  EXPECT_EQ(second.RecordPath(), dir.File("запись.csv"));
  server.SetHook([](int function, int address, int) {
    return function == 4 && address == 300 ? LibModbusServer::Verdict{LibModbusServer::Action::Exception, 2}
                                           : LibModbusServer::Verdict{};
  });
  second.Start();
  second.ToggleRecording();
  const std::string text = test::ReadFileBytes(dir.File("запись.csv"));
  const std::vector<std::string> lines = CrlfLines(text);
  ASSERT_EQ(lines.size(), 1u + 13);
  EXPECT_EQ(lines[0], "\xEF\xBB\xBFВремя;Карта;Адрес;Параметр;Значение;Примечание");
  EXPECT_EQ(lines[1], "06.12.2026 10:00:00,000;coils;1;Пуск насоса/Насосная(ЛОРИС 05);0;");
  EXPECT_EQ(lines[3], "06.12.2026 10:00:00,000;hr;100;Давление 1/Котельная(ЛОРИС 05);10,0000;");
  EXPECT_EQ(lines[13].rfind("06.12.2026 10:00:00,000;ir;300;Уровень/Бак(ЛОРИС 06);;", 0), 0u) << lines[13];
  EXPECT_GT(lines[13].size(), std::string("06.12.2026 10:00:00,000;ir;300;Уровень/Бак(ЛОРИС 06);;").size());
  // A note or a name holding the separator is quoted.
  EXPECT_EQ(CsvField("a;b", ';'), "\"a;b\"");
  EXPECT_EQ(CsvField("a,b", ';'), "a,b");
  EXPECT_EQ(CsvField("a,b"), "\"a,b\"");
}

TEST_F(MonitorFixture, CoilCommandOnlyAfterConfirmation) {
  form->Start();
  const int before = server.Requests();
  auto coil = [&] {
    int bit = -1;
    server.With([&](modbus_mapping_t& m) { bit = m.tab_bits[1]; });
    return bit;
  };
  auto endsWith = [](const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
  };
  dialogs.confirmAnswers = {false};
  form->WriteCoil(0, true);
  const std::string question =
      "Отправить команду в Coil 1 (параметр \"Пуск насоса/Насосная(ЛОРИС 05)\"): включить (1)?";
  EXPECT_EQ(dialogs.Last(), question);
  EXPECT_EQ(dialogs.defaultNo, std::vector<std::string>{question});  // Enter answers No
  EXPECT_EQ(server.Requests(), before);                              // nothing sent
  EXPECT_EQ(coil(), 0);
  EXPECT_EQ(form->CoilResult(), "Команда не отправлена");
  EXPECT_TRUE(endsWith(form->Status(), " | Команда не отправлена")) << form->Status();

  form->WriteCoil(2, true);  // a register entry takes no command
  EXPECT_EQ(dialogs.shown.size(), 1u);

  dialogs.confirmAnswers = {true};
  form->WriteCoil(0, true);
  EXPECT_EQ(coil(), 1);
  EXPECT_EQ(form->CoilResult(), "Команда в Coil 1 выполнена");
  clock.Advance(1000);
  form->Tick();
  EXPECT_EQ(Row(0).value, "1");
  // The next cycles keep the result in the status line until the next command.
  EXPECT_EQ(form->Cycles(), 2);
  EXPECT_TRUE(endsWith(form->Status(), " | Команда в Coil 1 выполнена")) << form->Status();
  EXPECT_EQ(form->Status().rfind("Циклов: 2", 0), 0u) << form->Status();

  // A refused command is told in a message box.
  server.SetHook([](int function, int, int) {
    return function == 5 ? LibModbusServer::Verdict{LibModbusServer::Action::Exception, 4}
                         : LibModbusServer::Verdict{};
  });
  dialogs.confirmAnswers = {true};
  form->WriteCoil(0, false);
  EXPECT_EQ(dialogs.Last(), "Команда в Coil 1 не выполнена: Неверная длина ответа (код ошибки 4)");
  EXPECT_EQ(coil(), 1);
  // An answer that does not repeat the command is no exception: no code in its text.
  server.SetHook([](int function, int, int) {
    return function == 5 ? LibModbusServer::Verdict{LibModbusServer::Action::Short}
                         : LibModbusServer::Verdict{};
  });
  dialogs.confirmAnswers = {true};
  form->WriteCoil(0, false);
  EXPECT_EQ(dialogs.Last(), "Команда в Coil 1 не выполнена: Неверная длина ответа");
  EXPECT_EQ(coil(), 1);
}

TEST_F(MonitorFixture, OnTheWorkerThreadTheResultsComeWithALaterTick) {
  MonitorForm threaded(cfg, settings, dialogs, clock);  // exchanges on its own thread
  threaded.Show();
  threaded.Start();
  threaded.Settle();
  EXPECT_EQ(threaded.Cycles(), 1);
  EXPECT_EQ(threaded.Rows()[12].value, "3,5000");
  threaded.Tick();  // not due yet
  threaded.Settle();
  EXPECT_EQ(threaded.Cycles(), 1);
  clock.Advance(1000);
  threaded.Tick();
  threaded.Settle();
  EXPECT_EQ(threaded.Cycles(), 2);
  threaded.Stop();
  threaded.Settle();
  EXPECT_EQ(server.Requests(), 8);
}

TEST(MonitorWorker, JobsRunInOrderOffTheCallersThread) {
  std::vector<int> order;
  std::thread::id where;
  {
    MonitorWorker worker;
    EXPECT_TRUE(worker.Threaded());
    for (int i = 0; i < 5; ++i)
      worker.Post([&order, &where, i] {
        order.push_back(i);
        where = std::this_thread::get_id();
      });
    worker.Drain();
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_NE(where, std::this_thread::get_id());
  }
  MonitorWorker inline_(false);
  inline_.Post([&] { where = std::this_thread::get_id(); });
  EXPECT_EQ(where, std::this_thread::get_id());
}

TEST_F(MonitorFixture, ModuleGoneShowsTheLinkFailure) {
  settings.PortTcpTest = 1;  // nobody listens there
  form->Start();
  EXPECT_EQ(Row(0).note, "Ошибка установки соединения по TCP");
  EXPECT_EQ(Row(0).value, "");
  EXPECT_EQ(form->Status(), "Циклов: 1 | нет связи с 127.0.0.1:1, повтор через 1 с | ошибок: 13");
}

}  // namespace
}  // namespace r770
