// Hostile documents, settings files and paths: each ends in a clear message or the
// defined behaviour, never in a crash, a hang or a changed input file.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

#include "common/codec.h"
#include "common/ini_file.h"
#include "common/number_forms.h"
#include "controller_database.h"
#include "database/task_cl.h"
#include "document/document_file.h"
#include "document/program_settings.h"
#include "temp_dir.h"

namespace r770 {
namespace {

using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

struct View : DocumentView {
  std::vector<std::string> messages;
  int editorOpened = 0;
  void ProgressStep() override {}
  void PumpEvents() override {}
  void Information(const std::string& text) override { messages.push_back(text); }
  void SetStatus(const std::string&) override {}
  void OpenControllerEditor() override { ++editorOpened; }
};

const std::string kHead = "[Protokol]\r\nName=Modbus/TCP\r\n";
const std::size_t k20MB = 20u << 20;

// Bytes of every value, with no "[" so that no section starts in them.
std::string Binary(std::size_t n) {
  std::string s;
  for (std::size_t i = 0; i < n; ++i) {
    char c = static_cast<char>((i * 151 + 7) & 0xFF);
    s.push_back(c == '[' ? '\0' : c);
  }
  return s;
}

std::string TooLarge(const std::string& path, std::size_t size) {
  return "Файл " + path + " слишком велик (" + std::to_string(size) + " байт)";
}

TEST(BadInput, Documents) {
  TempDir dir;
  // One real task file for many controllers.
  ControllerDatabase cdb;
  const std::string task = cdb.Controller("c.tsk", 1);
  const ProgramSettings& settings = cdb.settings;

  std::string thousands = kHead + "[Config]\r\n";
  for (int i = 0; i < 10000; ++i)
    thousands += "WayUser" + std::to_string(i) + "=" + task + "\r\nNset" + std::to_string(i) + "=" +
                 Hex2(static_cast<std::uint32_t>(i & 0xFF)) + "\r\n";

  const std::string path = dir.File("doc.bmt");
  const std::string wrongType = "Файл " + path + " не соответствует нужному типу";
  struct Case {
    const char* name;
    std::string bytes;
    std::string message;  // the one message expected, empty for none
    bool loads;
    std::function<void(const Configuration&)> check;
  };
  const Case cases[] = {
      {"empty", "", wrongType, false, {}},
      {"binary", Binary(65536), wrongType, false, {}},
      {"binary after the header", kHead + Binary(65536), "", true,
       [](const Configuration& c) { EXPECT_EQ(c.Common.trepeat, 5); }},
      {"20 MB on one line", std::string(k20MB, 'x'), TooLarge(path, k20MB), false, {}},
      {"20 MB value",
       kHead + "[Common]\r\nAdrCAN=" + std::string(k20MB, '7'),
       TooLarge(path, kHead.size() + 17 + k20MB),
       false,
       {}},
      {"NUL in the type",
       "[Protokol]\r\nName=Modbus/TCP" + std::string(1, '\0') + "\r\n",
       wrongType,
       false,
       {}},
      {"NUL in a number",
       kHead + "[Common]\r\nAdrCAN=1" + std::string(1, '\0') + "\r\n",
       "Ошибка в файле: раздел \"Common\", ключ \"AdrCAN\": значение \"1" + std::string(1, '\0') +
           "\" не является числом",
       false,
       {}},
      // More than the one-byte network numbers can tell apart: refused before any task file loads.
      {"10000 controllers", thousands,
       "Файл " + path +
           " не загружен: в нем 10000 контроллеров, а в сети CAN-BUS их может быть не больше 256 "
           "(сетевой номер занимает один байт)",
       false, [](const Configuration& c) { EXPECT_TRUE(c.Controllers.empty()); }},
      {"numbers cut to their fields",
       kHead +
           "[Common]\r\nAdrCAN=1FF\r\nAdrExt=FFFFFFFF\r\ntrepeat=65541\r\ntwaitCAN=-1\r\nAdrPort=12345\r\n"
           "AdrIP=999.1.2.3\r\n[TU Modbus]\r\nCoil-0=70000\r\nTU1-0=10001.1FF.65537\r\n"
           "[TC Modbus]\r\nTC0=0001.300.1\r\nDiscretInp0=65536\r\n",
       "", true,
       [](const Configuration& c) {
         EXPECT_EQ(c.Common.AdrCAN, 0xFF);
         EXPECT_EQ(c.Common.AdrExt, 0xFF);
         EXPECT_EQ(c.Common.trepeat, 5);
         EXPECT_EQ(c.Common.twaitCAN, 65535);
         EXPECT_EQ(c.Common.AdrPort, 0x2345);
         // a group over 255 makes the address invalid: the groups read before it are kept
         EXPECT_EQ(c.Common.AdrIP, (std::array<std::uint8_t, 4>{255, 1, 2, 3}));
         EXPECT_EQ(c.Map(MapKind::TU)[0], (MapEntry{0xFF, 0x0001, 1, "", 4464}));
         EXPECT_EQ(c.Map(MapKind::TC)[0], (MapEntry{44, 0x0001, 1, "", 0}));
       }},
      {"numbers beyond 32 bits",
       kHead + "[Common]\r\nAdrCAN=123456789ABCDEF\r\n",
       "Ошибка в файле: раздел \"Common\", ключ \"AdrCAN\": значение \"123456789ABCDEF\" не является числом",
       false,
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteFileBytes(path, c.bytes);
    Configuration cfg;
    View v;
    EXPECT_EQ(LoadDocument(cfg, settings, path, v), c.loads);
    if (c.message.empty()) {
      EXPECT_EQ(v.messages, std::vector<std::string>{});
    } else {
      ASSERT_EQ(v.messages.size(), 1u);
      EXPECT_EQ(v.messages[0].substr(0, 300), c.message.substr(0, 300));
    }
    if (c.check) c.check(cfg);
    EXPECT_EQ(v.editorOpened, 0);
    EXPECT_TRUE(ReadFileBytes(path) == c.bytes);  // the input is never written
  }
}

TEST(BadInput, SettingsFiles) {
  TempDir dir;
  const std::string path = dir.File("r770cfg.ini");
  std::string manyKeys = "[Parametr]\r\n";
  for (int i = 0; i < 10000; ++i) manyKeys += "KPov=" + std::to_string(7 + i) + "\r\n";
  const ProgramSettings defaults;
  struct Case {
    const char* name;
    std::string bytes;
    std::string message;
    std::function<void(const ProgramSettings&)> check;
  };
  const Case cases[] = {
      {"empty", "", "", [&](const ProgramSettings& s) { EXPECT_EQ(s.Retries, defaults.Retries); }},
      {"binary before any section", Binary(65536), "",
       [&](const ProgramSettings& s) {
         EXPECT_EQ(s.ModuleIP, defaults.ModuleIP);
         EXPECT_EQ(s.ComPortIndex, defaults.ComPortIndex);
       }},
      {"20 MB on one line", "[Parametr]\r\nIP=" + std::string(k20MB, '1'), TooLarge(path, 15 + k20MB),
       [&](const ProgramSettings& s) { EXPECT_EQ(s.ModuleIP, defaults.ModuleIP); }},
      {"long junk value",
       "[Parametr]\r\nPc_numb=" + std::string(3u << 20, 'z'),
       "Ошибка чтения файла настроек: значение \"" + std::string(100, 'z') +
           "...\" ключа \"Pc_numb\" не является "
           "шестнадцатеричным числом",
       {}},
      {"NUL in a number",
       "[Parametr]\r\nTimeW=2" + std::string(1, '\0') + "\r\n",
       "Ошибка чтения файла настроек: значение \"2" + std::string(1, '\0') +
           "\" ключа \"TimeW\" не является десятичным числом",
       {}},
      {"10000 keys", manyKeys, "", [](const ProgramSettings& s) { EXPECT_EQ(s.Retries, 7); }},
      {"numbers cut to their fields",
       "[Parametr]\r\nSetNR770=1FF\r\n[ModbusTest]\r\nPortTcpTest=70000\r\nSetModTest=300\r\nConstCRCTest="
       "0x1A001\r\n"
       "TimeAnswerTest=99999999999\r\n",
       "",
       [](const ProgramSettings& s) {
         EXPECT_EQ(s.ModuleNetNumber, 0xFF);
         EXPECT_EQ(s.PortTcpTest, 4464);
         EXPECT_EQ(s.SetModTest, 44);
         EXPECT_EQ(s.ConstCRCTest, 0xA001);
         EXPECT_EQ(s.TimeAnswerTest, 1);  // does not convert: the default
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteFileBytes(path, c.bytes);
    ProgramSettings s;
    EXPECT_EQ(ReadProgramSettings(path, s), c.message);
    if (c.check) c.check(s);
    EXPECT_TRUE(ReadFileBytes(path) == c.bytes);
  }
}

// A value file or an access file cut at any offset costs the controller nothing but the
// records that were cut, and is only read.
TEST(BadInput, TruncatedValueAndAccessFiles) {
  ControllerDatabase cdb;
  const std::string task = cdb.Controller("c.tsk", 1);
  auto load = [&] {
    return Task_CL(task, cdb.settings.WorkTask, cdb.settings.WorkMod, cdb.settings.WorkAlg);
  };
  const std::string valueFile = cdb.db.AddValues(task, {{1, 10, 0x0101, 1, {1, 2, 3, 4}, 0},
                                                        {1, 10, 0x0101, 1, {5, 6, 7, 8}, 1},
                                                        {1, 10, 0x0101, 1, {9, 9, 9, 9}, 0}});
  const std::string accessFile = cdb.db.AddAccess(0x0001, DbAccess{{{"A", "1F"}, {"B", "3"}}, {{"C", "2"}}});
  const Task_CL whole = load();
  ASSERT_EQ(whole.Errors(), std::vector<std::string>{});
  ASSERT_EQ(whole.Values().size(), 3u);
  ASSERT_FALSE(whole.AccessEntries().empty());
  struct Case {
    std::string path;
    std::function<void(const Task_CL&, std::size_t)> check;  // with the length kept
  };
  const Case cases[] = {
      {valueFile, [](const Task_CL& t, std::size_t n) { EXPECT_EQ(t.Values().size(), n / 16); }},
      {accessFile, [&](const Task_CL& t,
                       std::size_t) { EXPECT_LE(t.AccessEntries().size(), whole.AccessEntries().size()); }},
  };
  for (const Case& c : cases) {
    const std::string bytes = ReadFileBytes(c.path);
    for (std::size_t n = 0; n < bytes.size(); ++n) {
      SCOPED_TRACE(c.path + " cut at " + std::to_string(n));
      const std::string cut = bytes.substr(0, n);
      WriteFileBytes(c.path, cut);
      const Task_CL t = load();
      EXPECT_EQ(t.Errors(), std::vector<std::string>{});
      EXPECT_EQ(t.Tasks().size(), whole.Tasks().size());
      EXPECT_EQ(t.Params().size(), whole.Params().size());
      c.check(t, n);
      EXPECT_TRUE(ReadFileBytes(c.path) == cut);
    }
    WriteFileBytes(c.path, bytes);
  }
}

// Paths that name no regular file, for every reader and writer of documents and settings:
// a message naming the path, nothing blocks on a FIFO, and the thing at the path stays.
TEST(BadInput, PathsThatAreNoFile) {
  TempDir dir;
  const std::string fifo = dir.File("pipe.bmt");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
  const std::string folder = dir.File("folder.bmt");
  ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
  struct Case {
    std::string path;
    std::string message;
    mode_t type;
  };
  const Case cases[] = {
      {folder, "Путь " + folder + " указывает на папку, а не на файл", S_IFDIR},
      {fifo, "Путь " + fifo + " не указывает на обычный файл", S_IFIFO},
      {"/dev/null", "Путь /dev/null не указывает на обычный файл", S_IFCHR},
  };
  ProgramSettings settings;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    Configuration cfg;
    cfg.ResetForNew();
    View v;
    EXPECT_FALSE(LoadDocument(cfg, settings, c.path, v));
    EXPECT_FALSE(LoadControllers(cfg, settings, c.path, v));
    cfg.SetAllChanged();
    EXPECT_FALSE(SaveDocument(cfg, c.path, v));
    EXPECT_TRUE(cfg.AnyChanged());
    EXPECT_EQ(v.messages, std::vector<std::string>(3, c.message));

    ProgramSettings s;
    EXPECT_EQ(ReadProgramSettings(c.path, s), c.message);
    EXPECT_EQ(ReadDatabasePaths(c.path, s), c.message);
    EXPECT_EQ(WriteDisplayChoices(c.path, true, false), c.message);
    EXPECT_EQ(WriteModbusTest(c.path, s), c.message);

    struct stat st {};
    ASSERT_EQ(stat(c.path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & S_IFMT, c.type);
  }
  EXPECT_EQ(ReadFileBytes("/dev/null"), "");
}

}  // namespace
}  // namespace r770
