#include "document/app_command_line.h"

#include <gtest/gtest.h>

#include "common/version.h"

namespace r770 {
namespace {

using Action = AppCommandLine::Action;

struct Case {
  std::vector<std::string> args;
  Action action;
  std::string document;
  bool quit;
  std::string error;
};

TEST(AppCommandLine, ParseTable) {
  const Case cases[] = {
      {{}, Action::Run, "", false, ""},
      {{"plant.bmt"}, Action::Run, "plant.bmt", false, ""},
      {{"--quit-after-start", "/d/plant.bmt"}, Action::Run, "/d/plant.bmt", true, ""},
      {{"--quit-after-start"}, Action::Run, "", true, ""},
      {{"--help"}, Action::Help, "", false, ""},
      {{"a.bmt", "-h"}, Action::Help, "", false, ""},
      {{"--bogus", "--version"}, Action::Version, "", false, ""},  // answers before complaining
      {{"--", "--help"}, Action::Run, "--help", false, ""},        // after "--" a name
      {{"--", "-x.bmt"}, Action::Run, "-x.bmt", false, ""},
      {{"-"}, Action::Run, "-", false, ""},
      {{"--bogus"}, Action::Error, "", false, "неизвестный параметр --bogus"},
      {{"a.bmt", "b.bmt"}, Action::Error, "", false, "можно открыть только один документ"},
      {{""}, Action::Error, "", false, "пустое имя документа"},
  };
  for (const auto& c : cases) {
    std::string joined;
    for (const auto& a : c.args) joined += "[" + a + "]";
    SCOPED_TRACE(joined);
    AppCommandLine cl = ParseAppCommandLine(c.args);
    EXPECT_EQ(cl.action, c.action);
    EXPECT_EQ(cl.document, c.document);
    EXPECT_EQ(cl.quitAfterStart, c.quit);
    EXPECT_EQ(cl.error, c.error);
  }
}

TEST(AppCommandLine, VersionComesFromTheBuild) {
  EXPECT_EQ(AppVersionText(), std::string("r770cfg ") + kVersion + "\nЛицензия: MIT\n");
  EXPECT_STRNE(kVersion, "");
}

TEST(AppCommandLine, HelpSaysWhereTheFilesLie) {
  std::string beside = AppHelpText({true, "/p/bin", "/p/bin"}, "/p/bin/r770cfg.ini");
  EXPECT_NE(beside.find("рядом с программой"), std::string::npos);
  EXPECT_NE(beside.find("/p/bin/r770cfg.ini"), std::string::npos);
  EXPECT_NE(beside.find("/p/bin/ДД_ММ_ГГ.Txt"), std::string::npos);
  EXPECT_EQ(beside.find("XDG_CONFIG_HOME"), std::string::npos);

  std::string installed =
      AppHelpText({false, "/h/.config/r770cfg", "/h/.local/state/r770cfg"}, "/h/.config/r770cfg/r770cfg.ini");
  EXPECT_NE(installed.find("Программа установлена"), std::string::npos);
  EXPECT_NE(installed.find("/h/.config/r770cfg/r770cfg.ini"), std::string::npos);
  EXPECT_NE(installed.find("/h/.local/state/r770cfg/ДД_ММ_ГГ.Txt"), std::string::npos);
  EXPECT_EQ(installed.find("рядом с программой"), std::string::npos);
}

}  // namespace
}  // namespace r770
