// r770ctl against the module simulator in-process: demo document, write, read back,
// compare, search and the Modbus/TCP reading in the four byte orders.
#include <gtest/gtest.h>

#include <sstream>

#include "common/codec.h"
#include "common/ini_file.h"
#include "common/program_path.h"
#include "ctl.h"
#include "pump_database.h"
#include "sim_servers.h"
#include "temp_dir.h"

namespace r770 {
namespace {

struct Result {
  int code;
  std::string out, err;
};

class CtlExchangeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    OverrideProgramFolder(dir.path());  // the day's exchange log goes here
    module = &sim.bus.Add(0x01, 0x1101);
    sim.bus.Add(0x03, 0x1106);
    sim.bus.Add(0x04, 0x2222);  // another device type: answers, not listed
    const std::string error = sim.Start(*module);
    ASSERT_EQ(error, "");
    test::PumpDatabase db = test::WritePumpDatabase(dir.path());
    dbRoot = db.root;
    settingsPath = db.settingsPath;
    ASSERT_FALSE(settingsPath.empty());
    tcp = sim.Tcp();
  }
  void TearDown() override {
    sim.Stop();
    OverrideProgramFolder("");
  }

  Result Run(std::vector<std::string> args) {
    std::ostringstream out, err;
    ctl::Io io{out, err, settingsPath};
    int code = ctl::Main(args, io);
    return {code, out.str(), err.str()};
  }

  test::TempDir dir;
  test::SimServers sim;
  sim::SimModule* module = nullptr;
  std::string settingsPath, dbRoot, tcp;
};

TEST_F(CtlExchangeTest, WriteThenReadBackEqualsWritten) {
  const std::string doc = dir.File("sample.bmt"), back = dir.File("back.bmt");
  Result r = Run({"demo-document", doc, "--db", dbRoot});
  ASSERT_EQ(r.code, 0) << r.err;
  r = Run({"write", doc, "--tcp", tcp, "--net", "01", "--restart", "yes"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.err.find("Перевести прибор в состояние \"Работа\"? — да"), std::string::npos) << r.err;
  // Each outcome once: on stdout, not again as the procedure's last status line.
  EXPECT_EQ(r.out, "Запись завершена\n");
  EXPECT_EQ(r.err.find("\nЗапись завершена\n"), std::string::npos) << r.err;
  r = Run({"read", back, "--tcp", tcp, "--net", "01"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "Чтение завершено: " + back + "\n");
  EXPECT_EQ(r.err.find("Чтение завершено"), std::string::npos) << r.err;
  r = Run({"compare", doc, back});
  EXPECT_EQ(r.code, 0) << r.out << r.err;
  EXPECT_EQ(r.out, "Документы совпадают.\n");
  r = Run({"show", back, "--json"});
  EXPECT_NE(r.out.find("\"fromModule\": true"), std::string::npos) << r.out;

  // The published Holding Registers: the demo document maps them from 100 on, step 2.
  for (const auto& order :
       std::vector<std::vector<std::string>>{{"--swap"}, {}, {"--invert"}, {"--invert", "--swap"}}) {
    std::vector<std::string> args{"modbus-read", "--host", "127.0.0.1", "--port",
                                  std::to_string(sim.modbus->Port())};
    args.insert(args.end(), order.begin(), order.end());
    args.push_back("100,7");
    r = Run(args);
    EXPECT_EQ(r.code, 1);  // register 7 is not mapped: its note makes the exit non-zero
    EXPECT_EQ(r.out.rfind("100\t", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("7\t-\tНеверный адрес данных или нет ответа от Slave устройства (код ошибки 2)"),
              std::string::npos)
        << r.out;
    if (order.size() == 1 && order[0] == "--swap") {
      // Swap alone decodes the module's order: a plain number with four decimals.
      EXPECT_NE(r.out.find("100\t100.2500\n"), std::string::npos) << r.out;
    }
  }

  // A second document mapped differently does not compare equal.
  r = Run({"compare", doc, dir.File("missing.bmt")});
  EXPECT_EQ(r.code, 1);
}

TEST_F(CtlExchangeTest, MonitorReadsEveryWrittenEntryByName) {
  const std::string doc = dir.File("sample.bmt"), csv = dir.File("cycles.csv");
  Result r = Run({"demo-document", doc, "--db", dbRoot});
  ASSERT_EQ(r.code, 0) << r.err;
  r = Run({"write", doc, "--tcp", tcp, "--net", "01", "--restart", "yes"});
  ASSERT_EQ(r.code, 0) << r.err;
  const std::string port = std::to_string(sim.modbus->Port());
  auto lines = [](const std::string& text, const char* end) {
    std::vector<std::string> out;
    for (std::size_t at = 0; at < text.size();) {
      std::size_t e = text.find(end, at);
      out.push_back(text.substr(at, e - at));
      at = e + std::string(end).size();
    }
    return out;
  };

  // Fixed values: the first cycle shows every entry, the second nothing new.
  r = Run(
      {"monitor", doc, "--host", "127.0.0.1", "--port", port, "--period", "100", "--count", "2", "--swap"});
  EXPECT_EQ(r.code, 2) << r.err;  // the byte order comes from the settings only
  r = Run({"monitor", doc, "--host", "127.0.0.1", "--port", port, "--period", "100", "--count", "2", "--csv",
           csv});
  ASSERT_EQ(r.code, 0) << r.err;
  const auto first = lines(r.out, "\n");
  ASSERT_FALSE(first.empty());
  std::size_t holding = 0;
  for (const std::string& line : first) {
    auto f = lines(line + "\t", "\t");
    ASSERT_GE(f.size(), 5u) << line;
    EXPECT_EQ(f.size(), 5u) << line;  // no notes: every entry answered
    if (f[1] == "hr") {
      // The module publishes address + 0.25 for a fixed Holding Register.
      EXPECT_EQ(f[4], f[2] + ".2500") << line;
      ++holding;
    }
    if (f[1] == "ir") {
      EXPECT_EQ(f[4], f[2] + ".5000") << line;
    }
  }
  EXPECT_EQ(first.size(), 8u) << r.out;
  EXPECT_EQ(holding, 2u);
  EXPECT_NE(r.out.find("\thr\t100\tДавление, кПа (№ 0103)/НАСОС(pump)\t100.2500\n"), std::string::npos)
      << r.out;
  EXPECT_NE(r.err.find("циклов 2, с ответом 2"), std::string::npos) << r.err;
  const auto recorded = lines(test::ReadFileBytes(csv), "\r\n");
  ASSERT_EQ(recorded.size(), 1 + 2 * first.size());
  EXPECT_EQ(recorded[0], "time,map,address,name,value,note");

  // --all prints every entry in every cycle.
  r = Run(
      {"monitor", doc, "--host", "127.0.0.1", "--port", port, "--period", "100", "--count", "2", "--all"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(lines(r.out, "\n").size(), 2 * first.size());

  // A coil command: refused without --yes, sent with it, and the next cycle reads it back.
  r = Run({"monitor", doc, "--host", "127.0.0.1", "--port", port, "--count", "1", "--write-coil", "2=1"});
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(sim.modbus->WrittenCoil(2), std::nullopt);
  r = Run({"monitor", doc, "--host", "127.0.0.1", "--port", port, "--count", "1", "--write-coil", "2=1",
           "--yes"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(sim.modbus->WrittenCoil(2), std::optional<bool>(true));
  EXPECT_NE(r.err.find("команда в Coil 2 (Работа насоса (№ 0102)/НАСОС(pump)): 1 — выполнена"),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.out.find("\tcoils\t2\tРабота насоса (№ 0102)/НАСОС(pump)\t1\n"), std::string::npos) << r.out;
  r = Run({"monitor", doc, "--host", "127.0.0.1", "--port", port, "--count", "1", "--write-coil", "9=1",
           "--yes"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("Coil 9 нет в карте документа"), std::string::npos) << r.err;

  // Nobody there: every entry notes it and the exit code says no cycle succeeded.
  r = Run({"monitor", doc, "--host", "127.0.0.1", "--port", "1", "--count", "1", "--all"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.out.find("\t-\tОшибка установки соединения по TCP\n"), std::string::npos) << r.out;
  EXPECT_NE(r.err.find("127.0.0.1 (1) Ошибка установки соединения по TCP\n"), std::string::npos) << r.err;
  for (const auto& bad : std::vector<std::vector<std::string>>{
           {"monitor"}, {"monitor", doc, "--period", "50"}, {"monitor", doc, "--count", "0"}}) {
    r = Run(bad);
    EXPECT_EQ(r.code, 2) << bad.back();
  }
}

TEST_F(CtlExchangeTest, RestartYesEndsWithTheDeviceRunningOrCode30) {
  const std::string doc = dir.File("sample.bmt");
  ASSERT_EQ(Run({"demo-document", doc, "--db", dbRoot}).code, 0);
  const std::vector<std::string> link{"--tcp", tcp, "--net", "01"};
  auto with = [&](std::vector<std::string> args) {
    args.insert(args.end(), link.begin(), link.end());
    return Run(args);
  };
  // stop and run, as the window's buttons.
  Result r = with({"stop"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "Состояние прибора: Стоп\n");
  EXPECT_EQ(module->RunState(), 0x81);
  EXPECT_EQ(with({"stop"}).code, 0);  // already stopped: nothing to do
  // A write that finds the device stopped (an earlier one was cut off) still asks.
  r = with({"write", doc, "--restart", "no"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(
      r.err.find("Прибор находится в состоянии \"Стоп\". Перевести прибор в состояние \"Работа\"? — нет"),
      std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("Состояние прибора: Стоп\n"), std::string::npos) << r.err;
  EXPECT_EQ(module->RunState(), 0x81);
  r = with({"write", doc, "--restart", "yes"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.err.find("Состояние прибора: Работа\n"), std::string::npos) << r.err;
  EXPECT_EQ(module->RunState(), 0x00);
  // A device that does not go back to work: exit 1 with code 30, for write and run alike.
  module->SetBehaviour({.neverRuns = true});
  for (const auto& args :
       std::vector<std::vector<std::string>>{{"write", doc, "--restart", "yes"}, {"run"}}) {
    r = with(args);
    EXPECT_EQ(r.code, 1) << args[0];
    EXPECT_NE(r.err.find("r770ctl: код ошибки 30\n"), std::string::npos) << r.err;
    EXPECT_EQ(module->RunState(), 0x81);
  }
  module->SetBehaviour({});
  r = with({"run"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "Состояние прибора: Работа\n");
  EXPECT_EQ(module->RunState(), 0x00);
  EXPECT_EQ(Run({"run", "extra"}).code, 2);
  EXPECT_EQ(Run({"stop", "--tcp"}).code, 2);
  r = Run({"stop", "--tcp", "127.0.0.1:1", "--timeout", "1"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("Ошибка установки соединения по TCP"), std::string::npos) << r.err;
}

// A name with a tab and an escape sequence keeps the monitor's columns and the terminal whole.
TEST_F(CtlExchangeTest, MonitorEscapesControlCharactersInNames) {
  const std::string doc = dir.File("sample.bmt");
  ASSERT_EQ(Run({"demo-document", doc, "--db", dbRoot}).code, 0);
  ASSERT_EQ(Run({"write", doc, "--tcp", tcp, "--net", "01", "--restart", "yes"}).code, 0);
  std::string bytes = test::ReadFileBytes(doc);
  const std::size_t at = bytes.find("NameTU1-0=");
  ASSERT_NE(at, std::string::npos);
  bytes.replace(at, bytes.find("\r\n", at) - at, Utf8ToCp1251("NameTU1-0=Пуск\tнасоса\x1b[2J"));
  test::WriteFileBytes(doc, bytes);
  Result r = Run({"monitor", doc, "--host", "127.0.0.1", "--port", std::to_string(sim.modbus->Port()),
                  "--count", "1", "--all"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("\tcoils\t1\tПуск\\tнасоса\\u001b[2J\t"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find('\x1b'), std::string::npos);
}

TEST_F(CtlExchangeTest, SearchListsModulesOfTheRightType) {
  Result r = Run({"search", "--tcp", tcp, "--timeout", "1", "--from", "00", "--to", "05"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "01\tR-770 TCP/Modbus\t(выбран)\n03\tR-770 TCP/Modbus\n");
  r = Run({"search", "--tcp", tcp, "--from", "05", "--to", "01"});
  EXPECT_EQ(r.code, 2);  // a usage error, found before any link is opened
  EXPECT_NE(r.err.find("диапазон: --from 05 больше --to 01"), std::string::npos) << r.err;
}

TEST_F(CtlExchangeTest, LinkFailuresAndBadOptionsAreReported) {
  Result r = Run({"read", dir.File("x.bmt"), "--tcp", "127.0.0.1:1", "--timeout", "1", "--retries", "1"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("Ошибка установки соединения по TCP"), std::string::npos) << r.err;
  EXPECT_EQ(Run({"write", "x.bmt", "--restart", "maybe"}).code, 2);
  EXPECT_EQ(Run({"search", "--net", "1FF"}).code, 2);
  EXPECT_EQ(Run({"read", "--can", "COM9", "x.bmt"}).code, 2);
}

// The three lines of a diff's text output that name a difference (indented under a title).
std::vector<std::string> DifferenceLines(const std::string& out) {
  std::vector<std::string> lines;
  for (std::size_t at = 0; at < out.size();) {
    const std::size_t end = out.find('\n', at);
    const std::string line = out.substr(at, end - at);
    if (line.rfind("  ", 0) == 0) lines.push_back(line);
    at = end == std::string::npos ? out.size() : end + 1;
  }
  return lines;
}

TEST_F(CtlExchangeTest, DiffWithTheModuleListsWhatChangedSinceTheWrite) {
  const std::string doc = dir.File("sample.bmt");
  Result r = Run({"demo-document", doc, "--db", dbRoot});
  ASSERT_EQ(r.code, 0) << r.err;
  r = Run({"write", doc, "--tcp", tcp, "--net", "01", "--restart", "yes"});
  ASSERT_EQ(r.code, 0) << r.err;
  r = Run({"diff", doc, "--module", "--tcp", tcp, "--net", "01"});
  EXPECT_EQ(r.code, 0) << r.out << r.err;
  EXPECT_EQ(r.out, "Одинаково\n");

  // Three places change in the document: the poll period, the address of the second coil
  // and the second Holding Register, which is emptied.
  {
    IniFile f(doc);
    f.WriteString("Common", "trepeat", "9");
    f.WriteString("TU Modbus", "Coil-1", "50");
    f.WriteString("TIFloat Modbus", "TIFl1", "FFFF.255.65535");
    ASSERT_TRUE(f.Save());
  }
  const std::string before = test::ReadFileBytes(doc);
  r = Run({"diff", doc, "--module", "--tcp", tcp, "--net", "01"});
  EXPECT_EQ(r.code, 1) << r.err;
  const auto lines = DifferenceLines(r.out);
  ASSERT_EQ(lines.size(), 3u) << r.out;
  EXPECT_EQ(lines[0], "  Период опроса: 9 с <> 5 с");
  EXPECT_EQ(lines[1].rfind("  строка 2: адрес 50, модуль 05, параметр 0102, ", 0), 0u) << lines[1];
  EXPECT_NE(lines[1].find(" <> адрес 2, модуль 05, параметр 0102, "), std::string::npos) << lines[1];
  EXPECT_EQ(lines[2].rfind("  строка 2: Нет параметра <> адрес 102, модуль 05, параметр 0104, Расход", 0), 0u)
      << lines[2];
  EXPECT_EQ(r.out.find("Контроллеры"), std::string::npos) << r.out;  // the module keeps no list
  EXPECT_EQ(test::ReadFileBytes(doc), before);                       // nothing written

  r = Run({"diff", doc, "--module", "--json", "--tcp", tcp, "--net", "01"});
  EXPECT_EQ(r.code, 1) << r.err;
  for (const char* part :
       {"\"schema\": \"r770ctl-diff/1\"", "\"right\": {\"module\": 1}", "\"controllersCompared\": false",
        "{\"section\": \"common\", \"field\": \"trepeat\", \"label\": \"Период опроса\", \"left\": 9, "
        "\"right\": 5",
        "{\"section\": \"map\", \"map\": \"coils\", \"row\": 2, \"left\": {\"address\": 50, \"module\": 5, "
        "\"param\": 258",
        "{\"section\": \"map\", \"map\": \"hr\", \"row\": 2, \"left\": null, \"right\": {\"address\": 102"})
    EXPECT_NE(r.out.find(part), std::string::npos) << part << "\n" << r.out;

  // Written again, the module holds the document.
  r = Run({"write", doc, "--tcp", tcp, "--net", "01", "--restart", "yes"});
  ASSERT_EQ(r.code, 0) << r.err;
  r = Run({"diff", doc, "--module", "--tcp", tcp, "--net", "01"});
  EXPECT_EQ(r.code, 0) << r.out << r.err;
}

TEST_F(CtlExchangeTest, DiffOfTwoDocumentsAndItsFailures) {
  const std::string doc = dir.File("sample.bmt"), back = dir.File("back.bmt"), other = dir.File("other.bmt");
  ASSERT_EQ(Run({"demo-document", doc, "--db", dbRoot}).code, 0);
  ASSERT_EQ(Run({"write", doc, "--tcp", tcp, "--net", "01"}).code, 0);
  ASSERT_EQ(Run({"read", back, "--tcp", tcp, "--net", "01"}).code, 0);
  // A document read back differs from the written one only in names: nothing to report.
  Result r = Run({"diff", doc, back});
  EXPECT_EQ(r.code, 0) << r.out << r.err;
  r = Run({"diff", back, doc, "--json"});
  EXPECT_EQ(r.code, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("\"equal\": true"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"differences\": []"), std::string::npos) << r.out;

  // Between two documents the controller lists are compared too.
  test::WriteFileBytes(other, test::ReadFileBytes(doc));
  {
    IniFile f(other);
    f.WriteString("Config", "Nset0", "0A");
    ASSERT_TRUE(f.Save());
  }
  r = Run({"diff", doc, other});
  EXPECT_EQ(r.code, 1) << r.err;
  EXPECT_EQ(DifferenceLines(r.out).size(), 1u) << r.out;
  EXPECT_NE(r.out.find("Контроллеры\n  контроллер 05: 05  "), std::string::npos) << r.out;

  EXPECT_EQ(Run({"diff", doc}).code, 2);
  EXPECT_EQ(Run({"diff", doc, back, "--tcp", tcp}).code, 2);  // link options need --module
  EXPECT_EQ(Run({"diff", doc, "--module", "--net", "1FF"}).code, 2);
  r = Run({"diff", doc, dir.File("missing.bmt")});
  EXPECT_EQ(r.code, 3);
  EXPECT_NE(r.err.find("не найден"), std::string::npos) << r.err;
  r = Run({"diff", doc, "--module", "--tcp", "127.0.0.1:1", "--timeout", "1", "--retries", "1"});
  EXPECT_EQ(r.code, 3);
  EXPECT_NE(r.err.find("Ошибка установки соединения по TCP"), std::string::npos) << r.err;
  EXPECT_EQ(r.out, "");
}

}  // namespace
}  // namespace r770
