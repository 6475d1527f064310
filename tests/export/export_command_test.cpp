// r770ctl export: options, output to a file or standard output, and a refused export that
// leaves the file it would have replaced as it was.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <sstream>

#include "ctl.h"
#include "pump_database.h"
#include "temp_dir.h"

namespace r770 {
namespace {

class ExportCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::PumpDatabase db = test::WritePumpDatabase(dir.path());
    settings = db.settingsPath;
    ASSERT_FALSE(settings.empty());
    doc = dir.File("pump.bmt");
    ASSERT_EQ(Ctl({"demo-document", doc, "--db", db.root}).code, 0);
  }
  struct Result {
    int code;
    std::string out, err;
  };
  Result Ctl(std::vector<std::string> args) {
    std::ostringstream out, err;
    ctl::Io io{out, err, settings};
    const int code = ctl::Main(args, io);
    return {code, out.str(), err.str()};
  }
  test::TempDir dir;
  std::string settings, doc;
};

TEST_F(ExportCommandTest, WritesToStandardOutputOrToTheFileGiven) {
  Result r = Ctl({"export", doc, "--format", "json", "--host", "10.0.0.5", "--port", "502", "--unit", "1F",
                  "--order", "badc", "--maps", "hr,ir"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("\"link\": {\"host\": \"10.0.0.5\", \"port\": 502, \"unit\": 31, \"order\": \"BADC\""),
            std::string::npos)
      << r.out;
  EXPECT_EQ(r.out.find("\"map\": \"coils\""), std::string::npos);
  EXPECT_NE(r.out.find("\"map\": \"hr\""), std::string::npos);

  // The settings' order by default: "SwapModTest" on, "InversModTest" off.
  const std::string out = dir.File("pump.yaml");
  r = Ctl({"export", doc, "--format", "homeassistant", "-o", out});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_NE(test::ReadFileBytes(out).find("swap: word\n"), std::string::npos);

  r = Ctl({"export", doc, "--format", "openmodscan", "-o", dir.File("windows")});
  ASSERT_EQ(r.code, 0) << r.err;
  struct stat st {};
  EXPECT_EQ(::stat(dir.File("windows/hr.xml").c_str(), &st), 0);
  EXPECT_EQ(::stat(dir.File("windows/coils.xml").c_str(), &st), 0);
}

TEST_F(ExportCommandTest, UsageErrorsAndRefusals) {
  struct Case {
    std::vector<std::string> args;
    int code;
    const char* err;
  } cases[] = {
      {{"export", "X", "--format", "csv"}, 2, "--format: homeassistant"},
      {{"export", "X", "--format", "json", "--order", "ABDC"}, 2, "--order: ABCD, CDAB, BADC или DCBA"},
      {{"export", "X", "--format", "json", "--maps", "hr,xx"}, 2, "--maps:"},
      {{"export", "X"}, 2, "укажите формат"},
      {{"export", "X", "--format", "modbustools"}, 2, "формат modbustools пишется в папку"},
      {{"export", "X", "--format", "modbusscope", "--order", "DCBA"},
       1,
       "ModbusScope понимает только порядок байт ABCD и CDAB; порядок DCBA в его проект не выгружается"},
  };
  const std::string out = dir.File("kept.mbs");
  test::WriteFileBytes(out, "old");
  for (Case c : cases) {
    for (std::string& a : c.args)
      if (a == "X") a = doc;
    c.args.push_back("-o");
    c.args.push_back(out);
    if (c.code == 2 && c.args[3] == "modbustools") c.args.resize(c.args.size() - 2);
    Result r = Ctl(c.args);
    EXPECT_EQ(r.code, c.code) << r.err;
    EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
    EXPECT_EQ(test::ReadFileBytes(out), "old");
  }
}

}  // namespace
}  // namespace r770
