#include "document/database_path_form.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "common/codec.h"
#include "fake_dialogs.h"
#include "temp_dir.h"

namespace r770 {
namespace {

using Field = DatabasePathForm::Field;
using test::FakeDialogs;
using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

class DatabasePathFormTest : public ::testing::Test {
 protected:
  TempDir dir;
  std::string root = dir.File("L8");
  std::string ini = dir.File("r770cfg.ini");
  FakeDialogs dialogs;
  ProgramSettings settings;
  DatabasePathForm form{dialogs, settings, ini};

  void MakeDatabase(const std::string& at, bool alg = true, bool mod = true, bool task = true) {
    std::filesystem::create_directories(at);
    if (alg) std::filesystem::create_directories(at + "/ALG");
    if (mod) std::filesystem::create_directories(at + "/MOD");
    if (task) std::filesystem::create_directories(at + "/TASK");
  }
  std::string IniText() const { return Cp1251ToUtf8(ReadFileBytes(ini)); }
};

TEST_F(DatabasePathFormTest, CheckPathsCodesMessagesAndFocus) {
  struct Case {
    const char* name;
    bool manual;
    const char* rootSuffix;  // nullptr: empty root
    bool alg, mod, task;     // which subfolders exist under the root
    int code;
    std::string message;  // with <root> for the root path
    std::optional<Field> focus;
    bool manualAfter;
  } cases[] = {
      {"usable", false, "/L8", true, true, true, 0, "", std::nullopt, false},
      {"root empty", false, nullptr, true, true, true, 1, "Необходимо указать путь к базе данных ЛОРИС-8",
       Field::Root, false},
      {"root missing", false, "/none", true, true, true, 2, "Каталог <root> не существует", Field::Root,
       false},
      {"ALG missing", false, "/L8", false, true, true, 3, "Каталог <root>/ALG не существует", Field::Alg,
       true},
      {"MOD missing", false, "/L8", true, false, true, 4, "Каталог <root>/MOD не существует", Field::Mod,
       true},
      {"TASK missing", false, "/L8", true, true, false, 5, "Каталог <root>/TASK не существует", Field::Task,
       true},
      {"root trailing separator", false, "/L8/", true, true, true, 0, "", std::nullopt, false},
      {"manual, root ignored", true, nullptr, true, true, true, 0, "", std::nullopt, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir d;
    std::string base = d.File("L8");
    MakeDatabase(base, c.alg, c.mod, c.task);
    ProgramSettings s;
    DatabasePathForm f(dialogs, s, d.File("x.ini"));
    f.SetManual(c.manual);
    s.DbRoot = c.rootSuffix ? d.path() + c.rootSuffix : "";
    s.DbAlg = base + "/ALG";
    s.DbMod = base + "/MOD";
    s.DbTask = base + "/TASK";
    EXPECT_EQ(f.CheckPaths(true, true), c.code);
    std::string expected = c.message;
    if (auto at = expected.find("<root>"); at != std::string::npos)
      expected.replace(at, 6, c.code == 2 ? s.DbRoot : base);
    EXPECT_EQ(f.Message(), expected);
    EXPECT_EQ(f.TakeFocus(), c.focus);
    EXPECT_EQ(f.Manual(), c.manualAfter);
    EXPECT_EQ(f.FieldEnabled(Field::Mod), c.manualAfter);
    if (c.code == 0) {
      EXPECT_EQ(s.WorkMod, base + "/MOD");
    }
  }
}

TEST_F(DatabasePathFormTest, ShowFillsTheFieldsAndOnlyClearsTheMessageLine) {
  settings.DbRoot = dir.File("none");
  settings.DbAlg = "a";
  settings.DbMod = "m";
  settings.DbTask = "t";
  form.Show();
  EXPECT_EQ(form.Text(Field::Root), dir.File("none"));
  EXPECT_EQ(form.Text(Field::Task), "t");
  EXPECT_EQ(form.Message(), "");
  EXPECT_EQ(form.TakeFocus(), Field::Root);
  EXPECT_FALSE(form.Changed());
  EXPECT_FALSE(form.Manual());
  EXPECT_TRUE(form.FieldEnabled(Field::Root));
  EXPECT_FALSE(form.FieldEnabled(Field::Alg));
  EXPECT_TRUE(form.CloseRequested());  // nothing changed: no question
  EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(DatabasePathFormTest, SaveWritesTheSectionOnlyWhenThePathsAreUsable) {
  WriteFileBytes(ini, "[Parametr]\r\nVS=Ethernet\r\n[BaseL8]\r\nWay=old\r\nExtra=1\r\n");
  form.Show();
  // An empty root in automatic mode keeps the window open and writes nothing.
  EXPECT_FALSE(form.SavePressed());
  EXPECT_EQ(form.Message(), "Необходимо указать путь к базе данных ЛОРИС-8");
  EXPECT_NE(IniText().find("Way=old"), std::string::npos);

  // A root lacking MOD: manual mode, focus on the modules field.
  MakeDatabase(root, true, false, true);
  form.SetText(Field::Root, root);
  EXPECT_FALSE(form.SavePressed());
  EXPECT_EQ(form.Message(), "Каталог " + root + "/MOD не существует");
  EXPECT_EQ(form.TakeFocus(), Field::Mod);
  EXPECT_TRUE(form.Manual());
  EXPECT_EQ(form.Text(Field::Alg), root + "/ALG");  // derived before the folders were tested

  // Manual mode: three existing folders do, even with an empty root.
  std::filesystem::create_directories(dir.File("mods"));
  form.SetText(Field::Root, "");
  form.SetText(Field::Mod, dir.File("mods"));
  EXPECT_TRUE(form.SavePressed());
  EXPECT_FALSE(form.Changed());
  EXPECT_EQ(IniText(), "[Parametr]\r\nVS=Ethernet\r\n[BaseL8]\r\nWay=\r\nWayAlg=" + root +
                           "/ALG\r\nWayMod=" + dir.File("mods") + "\r\nWayTask=" + root + "/TASK\r\n");
  EXPECT_EQ(settings.WorkMod, dir.File("mods"));
}

TEST_F(DatabasePathFormTest, BrowseStripsQuotesStoresAtOnceAndDerivesInAutomaticMode) {
  MakeDatabase(root);
  form.Show();
  dialogs.fileAnswers.push_back("\"" + root + "\"");
  form.Browse(Field::Root);
  EXPECT_EQ(dialogs.lastStart, "");  // an empty field and an empty root: no start folder
  EXPECT_EQ(settings.DbRoot, root);
  EXPECT_EQ(form.Text(Field::Root), root);
  EXPECT_EQ(form.Text(Field::Task), root + "/TASK");
  EXPECT_EQ(settings.WorkTask, root + "/TASK");
  EXPECT_EQ(form.Message(), "");
  EXPECT_TRUE(form.Changed());

  // A folder that fails the check is stored, but the field keeps its text.
  std::string bare = dir.File("bare");
  std::filesystem::create_directories(bare);
  dialogs.fileAnswers.push_back(bare);
  form.Browse(Field::Root);
  EXPECT_EQ(dialogs.lastStart, root);  // the browse dialog starts at the field's value
  EXPECT_EQ(settings.DbRoot, bare);
  EXPECT_EQ(form.Text(Field::Root), root);
  EXPECT_EQ(form.Message(), "Каталог " + bare + "/ALG не существует");

  // Cancelled: nothing happens. The field names bare/ALG, which does not exist: the dialog
  // starts at the nearest folder above it.
  form.Browse(Field::Alg);
  EXPECT_EQ(form.Text(Field::Alg), bare + "/ALG");
  EXPECT_EQ(dialogs.lastStart, bare);
  EXPECT_EQ(form.Message(), "Каталог " + bare + "/ALG не существует");
}

TEST_F(DatabasePathFormTest, BrowseButtonsOfTheDerivedFoldersWorkOnlyInManualMode) {
  MakeDatabase(root);
  settings.DbAlg = settings.DbMod = settings.DbTask = "/derived";
  form.Show();
  ASSERT_FALSE(form.Manual());
  const std::string chosen = dir.File("mine");
  std::filesystem::create_directories(chosen);
  for (Field f : {Field::Alg, Field::Mod, Field::Task}) {
    SCOPED_TRACE(DatabasePathForm::FieldLabel(f));
    EXPECT_FALSE(form.FieldEnabled(f));
    dialogs.fileAnswers = {chosen};
    form.Browse(f);
    EXPECT_EQ(dialogs.fileAnswers.size(), 1u);  // no folder dialog was shown
    EXPECT_EQ(form.Text(f), "/derived");
    EXPECT_FALSE(form.Changed());
  }
  EXPECT_EQ(settings.DbAlg, "/derived");
  EXPECT_EQ(settings.DbMod, "/derived");
  EXPECT_EQ(settings.DbTask, "/derived");

  form.SetManual(true);
  EXPECT_TRUE(form.FieldEnabled(Field::Mod));
  dialogs.fileAnswers = {chosen};
  form.Browse(Field::Mod);
  EXPECT_TRUE(dialogs.fileAnswers.empty());
  EXPECT_EQ(settings.DbMod, chosen);
}

TEST_F(DatabasePathFormTest, PathsTheSettingsFileCannotHoldAreRefused) {
  const std::string foreign = dir.File("L8\u4E2D");
  MakeDatabase(foreign);
  const std::string refusal =
      "Путь " + foreign +
      " содержит символ \"\u4E2D\", которого нет в кодовой странице 1251: такой текст не может "
      "быть сохранен.";
  form.Show();
  // Chosen in the folder dialog: nothing stored.
  dialogs.fileAnswers.push_back(foreign);
  form.Browse(Field::Root);
  EXPECT_EQ(form.Message(), refusal);
  EXPECT_EQ(settings.DbRoot, "");
  EXPECT_EQ(form.Text(Field::Root), "");
  EXPECT_FALSE(form.Changed());
  // Typed: the field keeps its text.
  form.SetText(Field::Root, "/db");
  EXPECT_EQ(form.Message(), "");
  form.SetText(Field::Root, foreign);
  EXPECT_EQ(form.Text(Field::Root), "/db");
  EXPECT_EQ(form.Message(), refusal);
  // The next acceptable text clears the message; nothing of the refused path reached the file.
  form.SetText(Field::Root, root);
  EXPECT_EQ(form.Message(), "");
  MakeDatabase(root);
  EXPECT_TRUE(form.SavePressed());
  EXPECT_EQ(IniText().find("?"), std::string::npos);  // what a lost character would become
  EXPECT_EQ(settings.DbRoot, root);
}

TEST_F(DatabasePathFormTest, ClosingWithChangesAsks) {
  // Yes with a failing check: stays open; the second close asks nothing and writes nothing.
  form.Show();
  form.SetText(Field::Root, dir.File("none"));
  dialogs.confirmAnswers = {true};
  EXPECT_FALSE(form.CloseRequested());
  EXPECT_EQ(dialogs.shown, std::vector<std::string>{"Сохранить изменения?"});
  EXPECT_EQ(form.Message(), "Каталог " + dir.File("none") + " не существует");
  EXPECT_TRUE(form.CloseRequested());
  EXPECT_EQ(dialogs.shown.size(), 1u);
  EXPECT_FALSE(std::filesystem::exists(ini));

  // Yes with usable paths: written and closed.
  MakeDatabase(root);
  form.Show();
  form.SetText(Field::Root, root);
  dialogs.confirmAnswers = {true};
  EXPECT_TRUE(form.CloseRequested());
  EXPECT_NE(IniText().find("WayTask=" + root + "/TASK"), std::string::npos);

  // No: closes; a browsed path stays stored in the settings, the file is not touched.
  std::string before = IniText();
  form.Show();
  std::string other = dir.File("other");
  MakeDatabase(other);
  dialogs.fileAnswers.push_back(other);
  form.Browse(Field::Root);
  dialogs.confirmAnswers = {false};
  EXPECT_TRUE(form.CloseRequested());
  EXPECT_EQ(settings.DbRoot, other);
  EXPECT_EQ(IniText(), before);
}

}  // namespace
}  // namespace r770
