#include "common/program_path.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "temp_dir.h"

namespace r770 {
namespace {

using test::TempDir;

struct PlacementCase {
  const char* what;
  const char* folder;
  bool writable;
  UserEnvironment env;
  bool beside;
  const char* settings;
  const char* logs;
};

const UserEnvironment kHomeOnly{"/home/ann", "", ""};

TEST(ProgramFolders, PlacementTable) {
  const PlacementCase cases[] = {
      {"build folder", "/home/ann/r770/build/bin", true, kHomeOnly, true, "/home/ann/r770/build/bin",
       "/home/ann/r770/build/bin"},
      {"portable folder in /opt", "/opt/r770cfg", true, kHomeOnly, true, "/opt/r770cfg", "/opt/r770cfg"},
      {"installed, not writable", "/usr/bin", false, kHomeOnly, false, "/home/ann/.config/r770cfg",
       "/home/ann/.local/state/r770cfg"},
      {"installed, run by root",
       "/usr/bin",
       true,
       {"/root", "", ""},
       false,
       "/root/.config/r770cfg",
       "/root/.local/state/r770cfg"},
      {"local install", "/usr/local/bin", true, kHomeOnly, false, "/home/ann/.config/r770cfg",
       "/home/ann/.local/state/r770cfg"},
      {"a name that only starts like usr", "/usrdata/bin", true, kHomeOnly, true, "/usrdata/bin",
       "/usrdata/bin"},
      {"read-only portable folder", "/media/cd/r770", false, kHomeOnly, false, "/home/ann/.config/r770cfg",
       "/home/ann/.local/state/r770cfg"},
      {"XDG folders set",
       "/usr/bin",
       false,
       {"/home/ann", "/cfg", "/st/"},
       false,
       "/cfg/r770cfg",
       "/st/r770cfg"},
      {"relative XDG values ignored",
       "/usr/bin",
       false,
       {"/home/ann", "cfg", "st"},
       false,
       "/home/ann/.config/r770cfg",
       "/home/ann/.local/state/r770cfg"},
      {"XDG without a home", "/usr/bin", false, {"", "/cfg", "/st"}, false, "/cfg/r770cfg", "/st/r770cfg"},
      {"home is the root folder",
       "/usr/bin",
       false,
       {"/", "", ""},
       false,
       "/.config/r770cfg",
       "/.local/state/r770cfg"},
      {"no home and no XDG: nowhere better", "/usr/bin", false, {"", "", ""}, true, "/usr/bin", "/usr/bin"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ProgramFolders f = FoldersFor(c.folder, c.writable, c.env);
    EXPECT_EQ(f.besideProgram, c.beside);
    EXPECT_EQ(f.settings, c.settings);
    EXPECT_EQ(f.logs, c.logs);
  }
}

TEST(ProgramFolders, OverrideKeepsEverythingBesideTheProgram) {
  TempDir dir;
  OverrideProgramFolder(dir.path());
  ProgramFolders f = CurrentFolders();
  std::string settings = SettingsFolder();
  std::string logs = LogFolder();
  OverrideProgramFolder("");
  EXPECT_TRUE(f.besideProgram);
  EXPECT_EQ(settings, dir.path());
  EXPECT_EQ(logs, dir.path());
}

TEST(ProgramFolders, MakeFoldersCreatesMissingParents) {
  TempDir dir;
  const std::string deep = dir.File("a/b/c");
  ASSERT_TRUE(MakeFolders(deep));
  struct stat st {};
  ASSERT_EQ(0, ::stat(deep.c_str(), &st));
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  EXPECT_TRUE(MakeFolders(deep));  // already there
  // A file in the way is no folder.
  test::WriteFileBytes(dir.File("file"), "x");
  EXPECT_FALSE(MakeFolders(dir.File("file")));
  EXPECT_FALSE(MakeFolders(dir.File("file/sub")));
}

TEST(ProgramFolders, SettingsPathFor) {
  EXPECT_EQ(SettingsPathFor("/usr/bin/r770cfg"), "/usr/bin/r770cfg.ini");
  EXPECT_EQ(SettingsPathFor("/opt/r770/r770cfg.exe"), "/opt/r770/r770cfg.ini");
  EXPECT_EQ(SettingsPathFor("/opt/r7.70/r770cfg"), "/opt/r7.70/r770cfg.ini");
}

}  // namespace
}  // namespace r770
