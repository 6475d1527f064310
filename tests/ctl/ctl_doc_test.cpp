// r770ctl's document commands on a document made with the real save procedure.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>

#include "common/file_io.h"
#include "ctl.h"
#include "database/task_cl.h"
#include "document/document_file.h"
#include "document/program_settings.h"
#include "pump_database.h"
#include "temp_dir.h"

namespace r770 {
namespace {

class NullView : public DocumentView {
 public:
  void ProgressStep() override {}
  void PumpEvents() override {}
  void Information(const std::string& t) override { messages.push_back(t); }
  void SetStatus(const std::string&) override {}
  void OpenControllerEditor() override {}
  std::vector<std::string> messages;
};

struct Result {
  int code;
  std::string out, err;
};

class CtlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::PumpDatabase db = test::WritePumpDatabase(dir.path());
    taskFile = db.taskFile;
    settingsPath = db.settingsPath;
    ASSERT_FALSE(settingsPath.empty());
    ProgramSettings ps;
    ASSERT_EQ(ReadProgramSettings(settingsPath, ps), "");

    cfg.ResetForNew();
    ControllerEntry ce;
    ce.Task = std::make_unique<Task_CL>(taskFile, ps.WorkTask, ps.WorkMod, ps.WorkAlg);
    ASSERT_TRUE(ce.Task->Errors().empty()) << ce.Task->Errors().front();
    ce.Nset = 5;
    ce.Found = true;
    cfg.Controllers.push_back(std::move(ce));
  }

  void Place(MapKind k, int row, std::uint16_t param, std::uint16_t addr, const std::string& name) {
    MapEntry& e = cfg.Map(k)[static_cast<std::size_t>(row)];
    e.ModuleNo = 5;
    e.ParamNo = param;
    e.TaskNo = 1;
    e.ParamName = name;
    e.ModbusAddr = addr;
  }

  std::string Save(const std::string& name) {
    std::string path = dir.File(name);
    cfg.SetAllChanged();
    NullView view;
    EXPECT_TRUE(SaveDocument(cfg, path, view));
    return path;
  }

  Result Run(std::vector<std::string> args) {
    std::ostringstream out, err;
    ctl::Io io{out, err, settingsPath};
    int code = ctl::Main(args, io);
    return {code, out.str(), err.str()};
  }

  test::TempDir dir;
  std::string taskFile, settingsPath;
  Configuration cfg;
};

TEST_F(CtlTest, CheckPassesACleanDocument) {
  Place(MapKind::TU, 0, 0x0101, 1, "Авария насоса/Насосная(pump)");
  Place(MapKind::TIFloat, 0, 0x0103, 100, "Давление");
  Place(MapKind::TIFloat, 1, 0x0104, 102, "Расход");
  Result r = Run({"check", Save("good.bmt")});
  EXPECT_EQ(r.code, 0) << r.out << r.err;
  EXPECT_EQ(r.out, "Замечаний нет.\n");
}

TEST_F(CtlTest, CheckReportsEveryKindOfProblem) {
  Place(MapKind::TC, 0, 0x0101, 7, "a");
  Place(MapKind::TC, 1, 0x0102, 7, "b");  // duplicate address
  Place(MapKind::TC, 2, 0x0103, 9, "c");  // a float offered in no bit tree
  Place(MapKind::TIFloat, 0, 0x0103, 100, "d");
  Place(MapKind::TIFloat, 1, 0x0104, 101, "e");      // breaks the parity
  Place(MapKind::InputReg, 3, 0x0104, 0xFFFF, "f");  // parameter without address
  Place(MapKind::TU, 0, 0x0101, 1, "g");
  cfg.Map(MapKind::TU)[0].ModuleNo = 9;  // controller not in the list
  std::string path = Save("bad.bmt");
  Result r = Run({"check", path});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out,
            "coils, строка 1: модуль 09 отсутствует в списке контроллеров\n"
            "di, строка 2: адрес 7 уже занят строкой 1\n"
            "di, строка 3: параметр 0103 задачи 1 модуля 05 в базе не предлагается\n"
            "hr, строка 2: адрес 101 нарушает нумерацию через 1 (чётность)\n"
            "ir, строка 4: параметр без адреса Modbus\n");

  // A missing task file: the load keeps the controller without it and reports nothing; the
  // check names it with its path, and its entries are no longer checked against the database.
  ASSERT_EQ(std::remove(taskFile.c_str()), 0);
  r = Run({"check", path});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, "r770ctl: замечаний: 5\n");  // the count, and no load error
  EXPECT_EQ(r.out, "контроллер 05: файл очереди задач не найден (" + taskFile +
                       ")\n"
                       "coils, строка 1: модуль 09 отсутствует в списке контроллеров\n"
                       "di, строка 2: адрес 7 уже занят строкой 1\n"
                       "hr, строка 2: адрес 101 нарушает нумерацию через 1 (чётность)\n"
                       "ir, строка 4: параметр без адреса Modbus\n");

  // A damaged task file: the load leaves the controller out with its message, which the
  // check lists once among its findings (not a second time on stderr).
  {
    std::ofstream damaged(taskFile, std::ios::binary);
    damaged << "garbage";
  }
  r = Run({"check", path});
  EXPECT_EQ(r.code, 1);
  const std::string message = taskFile + "\nОбнаружены ошибки в файлах описания очереди задач\n";
  EXPECT_EQ(r.out.find(message), 0u) << r.out;
  EXPECT_EQ(r.out.find(message, 1), std::string::npos) << r.out;
  EXPECT_EQ(r.err.find(message), std::string::npos) << r.err;
  EXPECT_EQ(r.err.rfind("r770ctl: замечаний: ", 0), 0u) << r.err;
}

TEST_F(CtlTest, ShowListsAControllerWithoutItsTaskFile) {
  // A file document whose task file has gone, and a read document whose controller was never
  // found (its path is written empty): both keep the controller.
  Place(MapKind::TU, 0, 0x0101, 1, "Авария");
  const std::string fileDoc = Save("file.bmt");
  ControllerEntry notFound;
  notFound.Nset = 6;
  cfg.Controllers.push_back(std::move(notFound));
  cfg.State.FromModule = true;
  const std::string readDoc = Save("read.bmt");
  ASSERT_EQ(std::remove(taskFile.c_str()), 0);

  Result j = Run({"show", fileDoc, "--json"});
  EXPECT_EQ(j.code, 0) << j.err;
  EXPECT_EQ(j.err, "");
  EXPECT_NE(j.out.find("{\"nset\": 5, \"taskFile\": \"" + taskFile + "\", \"found\": false}"),
            std::string::npos)
      << j.out;
  j = Run({"show", readDoc, "--json"});
  EXPECT_EQ(j.err, "");
  EXPECT_NE(j.out.find("{\"nset\": 6, \"taskFile\": null, \"found\": false}"), std::string::npos) << j.out;
  Result t = Run({"show", fileDoc});
  EXPECT_NE(t.out.find("1. 05  " + taskFile + "  (не найден)\n"), std::string::npos) << t.out;
}

TEST_F(CtlTest, ShowJsonAndCsvCarryEveryMappedEntry) {
  Place(MapKind::TU, 2, 0x0101, 1, "Авария, \"насос\"");
  Place(MapKind::TIFloat, 63, 0x0103, 200, "Давление");
  std::string path = Save("doc.bmt");

  Result j = Run({"show", path, "--json"});
  ASSERT_EQ(j.code, 0) << j.err;
  EXPECT_NE(j.out.find("\"schema\": \"r770ctl-document/1\""), std::string::npos);
  EXPECT_NE(j.out.find("{\"row\": 3, \"address\": 1, \"module\": 5, \"param\": 257, \"task\": 1, "
                       "\"name\": \"Авария, \\\"насос\\\"\"}"),
            std::string::npos)
      << j.out;
  EXPECT_NE(j.out.find("{\"row\": 64, \"address\": 200, \"module\": 5, \"param\": 259"), std::string::npos);
  EXPECT_NE(j.out.find("\"taskFile\": \"" + taskFile + "\""), std::string::npos);

  std::string csvPath = dir.File("maps.csv");
  Result c = Run({"export-csv", path, "-o", csvPath});
  ASSERT_EQ(c.code, 0) << c.err;
  EXPECT_EQ(test::ReadFileBytes(csvPath),
            "map,row,address,module,param,task,name\r\n"
            "coils,3,1,05,0101,1,\"Авария, \"\"насос\"\"\"\r\n"
            "hr,64,200,05,0103,1,Давление\r\n");
  Result hr = Run({"export-csv", path, "--map", "hr"});
  EXPECT_EQ(hr.out, "map,row,address,module,param,task,name\r\nhr,64,200,05,0103,1,Давление\r\n");
}

// A database folder given relative to the current folder: the document names its task files
// by full path, so that it opens from anywhere.
TEST_F(CtlTest, DemoDocumentNamesTaskFilesByFullPath) {
  char cwd[4096];
  ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
  ASSERT_EQ(::chdir(dir.path().c_str()), 0);
  Result r = Run({"demo-document", "rel.bmt", "--db", "db/"});
  ASSERT_EQ(::chdir(cwd), 0);
  ASSERT_EQ(r.code, 0) << r.err;
  const std::string doc = test::ReadFileBytes(dir.File("rel.bmt"));
  EXPECT_NE(doc.find("WayUser0=" + dir.File("db/TASK/")), std::string::npos) << doc;
  Result shown = Run({"show", dir.File("rel.bmt")});
  EXPECT_EQ(shown.code, 0) << shown.err;
  EXPECT_EQ(shown.out.find("(не найден)"), std::string::npos) << shown.out;
}

// A name with an escape sequence and a tab reaches neither the terminal nor the CSV raw.
TEST_F(CtlTest, ControlCharactersInNamesAreEscapedInEveryListing) {
  Place(MapKind::TU, 0, 0x0101, 1, "Авария\x1b[2J\tнасос");
  const std::string path = Save("doc.bmt");
  const std::string escaped = "Авария\\u001b[2J\\tнасос";
  struct Case {
    std::vector<std::string> args;
    std::string line;
  } cases[] = {
      {{"show", path}, "задача 1, " + escaped + "\n"},
      {{"show", path, "--json"}, "\"name\": \"" + escaped + "\"}"},
      {{"export-csv", path}, "coils,1,1,05,0101,1," + escaped + "\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.size() == 3 ? c.args[2] : c.args[0]);
    Result r = Run(c.args);
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find(c.line), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find('\x1b'), std::string::npos);
  }
}

// The export replaces its file whole or not at all, says why it failed, and never opens a
// FIFO or a device.
TEST_F(CtlTest, ExportWritesItsFileWholeOrNotAtAll) {
  Place(MapKind::TU, 0, 0x0101, 1, "Авария");
  const std::string doc = Save("doc.bmt");
  const std::string fifo = dir.File("fifo.csv");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  // An old export whose temporary cannot be made (a folder holds its name).
  const std::string blocked = dir.File("blocked.csv");
  test::WriteFileBytes(blocked, "old\r\n");
  ASSERT_EQ(::mkdir(TemporaryFileName(blocked, ::getpid()).c_str(), 0755), 0);
  const std::string replaced = dir.File("replaced.csv");
  test::WriteFileBytes(replaced, "old\r\n");
  const std::string csv = "map,row,address,module,param,task,name\r\ncoils,1,1,05,0101,1,Авария\r\n";
  struct Case {
    std::string target;
    int code;
    std::string err;    // the message, or empty
    std::string after;  // the target's bytes afterwards (regular files)
  };
  const Case cases[] = {
      {"/dev/full", 1, "r770ctl: Путь /dev/full не указывает на обычный файл\n", ""},
      {fifo, 1, "r770ctl: Путь " + fifo + " не указывает на обычный файл\n", ""},
      {dir.path(), 1, "r770ctl: Путь " + dir.path() + " указывает на папку, а не на файл\n", ""},
      {dir.File("no/such.csv"), 1,
       "r770ctl: Не удалось записать файл " + dir.File("no/such.csv") + ": " + std::strerror(ENOENT) + "\n",
       ""},
      {blocked, 1, "r770ctl: Не удалось записать файл " + blocked + ": " + std::strerror(EISDIR) + "\n",
       "old\r\n"},
      {replaced, 0, "", csv},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.target);
    Result r = Run({"export-csv", doc, "-o", c.target});
    EXPECT_EQ(r.code, c.code);
    EXPECT_EQ(r.err, c.err);
    struct stat st {};
    if (::stat(c.target.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
      EXPECT_EQ(test::ReadFileBytes(c.target), c.after);
    }
  }
}

TEST_F(CtlTest, BadArgumentsAndFilesGiveClearMessages) {
  const std::string loop = dir.File("loop.bmt");
  ASSERT_EQ(::symlink(loop.c_str(), loop.c_str()), 0);
  const std::string loopText = "Не удалось прочитать файл " + loop + ": " + std::strerror(ELOOP);
  const std::string folderText = "Путь " + dir.path() + " указывает на папку, а не на файл";
  struct Case {
    std::vector<std::string> args;
    int code;
    std::string err;
  } cases[] = {
      {{}, 2, ""},
      {{"frobnicate"}, 2, "неизвестная команда frobnicate"},
      {{"show"}, 2, "укажите один файл документа"},
      {{"show", "/nonexistent.bmt"}, 1, "Файл /nonexistent.bmt не найден"},
      {{"show", dir.path()}, 1, folderText},
      {{"check", loop}, 1, loopText},
      {{"monitor", dir.path()}, 1, folderText},
      {{"search", "--from", "10", "--to", "05"}, 2, "диапазон: --from 10 больше --to 05"},
      // A settings file named on purpose must be one.
      {{"--settings"}, 2, "--settings: нужен файл настроек"},
      {{"--settings", "show", "x.bmt"}, 2, "--settings: Файл show не найден"},
      {{"--settings", "/nonexistent.ini", "show", "x.bmt"}, 2, "--settings: Файл /nonexistent.ini не найден"},
      {{"--settings", dir.path(), "show", "x.bmt"}, 2, "--settings: " + folderText},
      // Input the Modbus test window refuses in its field is a usage error.
      {{"modbus-read", "--host", "127.0.0.1"}, 2, "укажите номера регистров"},
      {{"modbus-read", "--host", "127.0.0.1", "1,,2"}, 2, "неверно введены номера регистров: 1,,2"},
      {{"modbus-read", "--host", "127.0.0.1", "70000"}, 2, "неверно введены номера регистров: 70000"},
      {{"modbus-read", "--host", "127.0.0.1", "x1"}, 2, "неверно введены номера регистров: x1"},
      {{"export-csv", "x.bmt", "--map", "zz"}, 2, "--map: coils, di, hr, ir или all"},
      {{"check", "--bogus", "x"}, 2, "неизвестный ключ --bogus"},
  };
  for (const auto& c : cases) {
    Result r = Run(c.args);
    EXPECT_EQ(r.code, c.code);
    EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
  }
  // Not a document: the load's own message, non-zero exit.
  std::string other = dir.File("other.ini");
  test::WriteFileBytes(other, "[Protokol]\r\nName=Other\r\n");
  Result r = Run({"show", other});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("не соответствует нужному типу"), std::string::npos);
  for (const char* cmd : {"show", "export-csv", "import-csv", "check"})
    EXPECT_EQ(Run({cmd, "--help"}).code, 0);
}

// How each command reads its options: a value is the next argument whatever it looks like,
// some options given last without their value are unknown, and the first fault is the one told.
TEST_F(CtlTest, OptionsAndTheirValuesAreReadInOrder) {
  struct Case {
    std::vector<std::string> args;
    std::string err;
  } cases[] = {
      {{"export-csv", "x.bmt", "--map"}, "неизвестный ключ --map"},
      {{"import-csv", "x.bmt", "--map", "hr", "in.csv", "-o"}, "неизвестный ключ -o"},
      {{"demo-document", "out.bmt", "--db"}, "неизвестный ключ --db"},
      {{"show", "-"}, "неизвестный ключ -"},
      {{"modbus-read", "--host"}, "--host: нужен адрес"},
      {{"modbus-read", "--port", "abc", "1"}, "--port: число 0..65535"},
      {{"modbus-read", "--timeout", "61", "1"}, "--timeout: секунды 1..60"},
      {{"modbus-read", "--swap", "--order", "ABCD", "1"}, "--order вместе с --invert или --swap"},
      {{"monitor", "--host", ""}, "--host: нужен адрес"},
      {{"monitor", "--unit", "1FF", "a.bmt"}, "--unit: шестнадцатеричное число 00..FF"},
      {{"monitor", "--period", "99", "a.bmt"}, "--period: миллисекунды, не меньше 100"},
      {{"monitor", "--write-coil", "5=2", "a.bmt"}, "--write-coil: АДРЕС=0 или АДРЕС=1"},
      {{"monitor", "--write-coil", "5=1", "a.bmt"},
       "команда в Coil отправляется только с подтверждением --yes"},
      {{"export", "a.bmt", "--maps", "hr,zz"}, "--maps: список из coils, di, hr, ir через запятую"},
      {{"export", "a.bmt", "--order", "ZZZZ"}, "--order: ABCD, CDAB, BADC или DCBA"},
      {{"export", "a.bmt", "--format", "modbustools"},
       "формат modbustools пишется в папку: укажите -o ПАПКА"},
      // search takes its range out first; the rest are link options.
      {{"search", "--tcp", "--from", "05"}, "--tcp: нужен адрес"},
      {{"search", "--from", "--tcp", "x"}, "лишний аргумент x"},
      {{"search", "--from", "05", "--to"}, "неизвестный ключ --to"},
      {{"search", "--node", "1FF"}, "--node: шестнадцатеричное число 00..FF"},
      {{"write", "--restart", "maybe", "a.bmt"}, "--restart: yes или no"},
      {{"read", "--restart", "yes", "a.bmt"}, "неизвестный ключ --restart"},
      {{"run", "--can", "COM9"}, "--can: COM1..COM8"},
      // diff: link options only with --module; one of them takes a value that is no option.
      {{"diff", "a.bmt", "--tcp", "x"}, "неизвестный ключ --tcp"},
      {{"diff", "a.bmt", "--module", "extra", "--tcp", "h"}, "укажите один файл документа и --module"},
      {{"diff", "--tcp", "--json", "a.bmt", "b.bmt"}, "неизвестный ключ --tcp"},
  };
  for (const auto& c : cases) {
    Result r = Run(c.args);
    EXPECT_EQ(r.code, 2) << c.args[0] << " " << c.args[1];
    EXPECT_EQ(r.err, "r770ctl: " + c.err + " (подробнее: --help)\n") << c.args[0] << " " << c.args[1];
  }
}

TEST_F(CtlTest, ImportCsvOfWhatExportCsvWroteGivesBackTheDocument) {
  Place(MapKind::TU, 2, 0x0101, 1, "Авария, \"насос\"");
  Place(MapKind::TU, 3, 0x0102, 2, "Работа");
  Place(MapKind::TC, 0, 0x0102, 9, "Работа насоса");
  Place(MapKind::TIFloat, 0, 0x0103, 100, "Давление");
  Place(MapKind::TIFloat, 63, 0x0104, 102, "Расход");
  Place(MapKind::InputReg, 5, 0x0104, 7, "Расход");
  const std::string original = Save("doc.bmt");
  const std::string csv = dir.File("maps.csv");
  ASSERT_EQ(Run({"export-csv", original, "-o", csv}).code, 0);

  // What the document holds, as show --json tells it, without the file's name.
  auto content = [&](const std::string& path) {
    std::string json = Run({"show", path, "--json"}).out;
    const std::size_t file = json.find("\"file\":");
    return json.erase(file, json.find('\n', file) - file);
  };
  const std::string expected = content(original);
  ASSERT_NE(expected.find("\"address\": 102"), std::string::npos) << expected;

  // The same document with empty maps takes the maps back one by one.
  for (MapKind k : kAllMapKinds) cfg.ResetMapEntry(k, -1);
  const std::string emptied = Save("empty.bmt");
  ASSERT_NE(content(emptied), expected);
  for (const char* map : {"coils", "di", "hr", "ir"}) {
    Result r = Run({"import-csv", emptied, "--map", map, csv});
    ASSERT_EQ(r.code, 0) << map << r.err;
    EXPECT_EQ(r.err, "");
  }
  EXPECT_EQ(content(emptied), expected);
  EXPECT_EQ(Run({"export-csv", emptied}).out, test::ReadFileBytes(csv));

  // Into another file: the whole document, the original left as it was.
  const std::string out = dir.File("out.bmt");
  Result r = Run({"import-csv", original, "--map", "hr", csv, "-o", out});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "Карта hr: записей 2, документ " + out + "\n");
  EXPECT_EQ(test::ReadFileBytes(out), test::ReadFileBytes(original));
}

TEST_F(CtlTest, ImportCsvIsAllOrNothingWithNumberedLines) {
  Place(MapKind::TIFloat, 0, 0x0103, 100, "Давление");
  const std::string path = Save("doc.bmt");
  const std::string before = test::ReadFileBytes(path);
  const std::string csv = dir.File("bad.csv");
  {
    std::ofstream f(csv, std::ios::binary);
    f << "map,row,address,module,param,task,name\r\n"
         "hr,1,100,05,0103,1,Давление\r\n"
         "hr,2,101,05,0104,1,Расход\r\n"
         "hr,3,104,05,0101,1,Авария\r\n"
         "hr,4,106,07,0104,1,Расход\r\n"
         "hr,99,108,05,0104,1,Расход\r\n";
  }
  Result r = Run({"import-csv", path, "--map", "hr", csv});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, "r770ctl: " + csv +
                       ", строка 3: адрес 101 нарушает нумерацию через 1 (нужен чётный)\n"
                       "r770ctl: " +
                       csv +
                       ", строка 4: параметр 0101 задачи 1 модуля 05 в базе не предлагается\n"
                       "r770ctl: " +
                       csv +
                       ", строка 5: модуль 07 отсутствует в списке контроллеров\n"
                       "r770ctl: " +
                       csv +
                       ", строка 6: номер строки таблицы \"99\" неверен (1..64)\n"
                       "r770ctl: импорт не выполнен, документ не изменён (замечаний: 4)\n");
  EXPECT_EQ(test::ReadFileBytes(path), before);

  struct Case {
    std::vector<std::string> args;
    const char* err;
  } usage[] = {
      {{"import-csv", path, csv}, "--map: coils, di, hr или ir"},
      {{"import-csv", path, "--map", "all", csv}, "--map: coils, di, hr или ir"},
      {{"import-csv", path, "--map", "hr"}, "укажите файл документа и файл CSV"},
  };
  for (const Case& c : usage) {
    Result u = Run(c.args);
    EXPECT_EQ(u.code, 2);
    EXPECT_NE(u.err.find(c.err), std::string::npos) << u.err;
  }
  Result missing = Run({"import-csv", path, "--map", "hr", dir.File("none.csv")});
  EXPECT_EQ(missing.code, 1);
  EXPECT_NE(missing.err.find(dir.File("none.csv")), std::string::npos) << missing.err;
}

}  // namespace
}  // namespace r770
