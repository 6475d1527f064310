#include "document/main_window_form.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/codec.h"
#include "common/ini_file.h"
#include "database/task_cl.h"
#include "fake_dialogs.h"
#include "temp_dir.h"

namespace r770 {
namespace {

using test::FakeBusy;
using test::FakeDialogs;
using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

// The window as the model sees it: records what it was asked to do.
struct FakeMainView : MainWindowView {
  std::vector<MainCommand> opened;
  std::map<MainCommand, std::function<void()>> openers;  // what the opened window does
  int closes = 0;
  std::vector<std::string> progressSeen;  // caption and value at each progress redraw
  std::function<void()> onProgress;
  MainWindowForm* form = nullptr;

  void Render() override {}
  void RenderProgress() override {
    progressSeen.push_back(form->ProgressCaption() + ":" + std::to_string(form->Progress()) +
                           (form->ProgressVisible() ? "" : " hidden"));
    if (onProgress) onProgress();
  }
  void OpenWindow(MainCommand c) override {
    opened.push_back(c);
    if (auto it = openers.find(c); it != openers.end()) it->second();
  }
  void CloseMainWindow() override { ++closes; }
};

std::string Cp(const std::string& utf8) { return Utf8ToCp1251(utf8); }

// A temporary folder whose path holds no "." (the save dialog's name rule looks at the whole
// path), removed with its content.
class PlainTempDir {
 public:
  PlainTempDir() {
    std::string tmpl = "/tmp/r770formsXXXXXX";
    if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
    path_ = tmpl;
  }
  ~PlainTempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

constexpr const char* kMinimalDocument = "[Protokol]\r\nName=Modbus/TCP\r\nTypeFile=Input\r\n";

class MainWindowFormTest : public ::testing::Test {
 protected:
  PlainTempDir dir;
  std::string db = dir.File("db");
  std::string settingsPath = dir.File("r770cfg.ini");
  FakeDialogs dialogs;
  FakeBusy busy;
  FakeMainView view;
  MainWindowForm form{dialogs, busy, settingsPath};

  MainWindowFormTest() {
    for (const char* sub : {"", "/ALG", "/MOD", "/TASK"}) std::filesystem::create_directories(db + sub);
    view.form = &form;
    form.SetView(&view);
  }

  void WriteSettings(const std::string& root) {
    WriteFileBytes(settingsPath, Cp("[BaseL8]\r\nWay=" + root + "\r\nWayAlg=" + root +
                                    "/ALG\r\nWayMod=" + root + "/MOD\r\nWayTask=" + root + "/TASK\r\n"));
  }
  void StartWithDatabase() {
    WriteSettings(db);
    form.FirstShown();
  }
  std::string WriteDocument(const std::string& name, const std::string& text = kMinimalDocument) {
    std::string path = dir.File(name);
    WriteFileBytes(path, Cp(text));
    return path;
  }
  void Load(const std::string& path) {
    dialogs.fileAnswers.push_back(path);
    form.Command(MainCommand::Load);
  }
  bool DocumentMenus() const {
    bool modbus = form.MenuVisible(MainMenu::ModbusTcp);
    EXPECT_EQ(form.ItemVisible(MainCommand::Save), modbus);
    EXPECT_EQ(form.ItemVisible(MainCommand::SaveAs), modbus);
    EXPECT_EQ(form.ItemVisible(MainCommand::CompareFile), modbus);
    return modbus;
  }
};

TEST_F(MainWindowFormTest, StartUpReadsSettingsAndOpensThePathWindowOnlyWhenAFolderIsMissing) {
  struct Case {
    const char* name;
    bool settingsFile;   // a settings file naming the database
    bool removeMod;      // ... whose modules folder is missing
    bool fixedInWindow;  // the user points the path window at the database
    bool windowOpened;
    bool enabledAfter;
  } cases[] = {
      {"database present", true, false, false, false, true},
      {"no settings file", false, false, false, true, false},
      {"no settings file, fixed", false, false, true, true, true},
      {"modules folder missing", true, true, false, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir d;
    std::string root = d.File("db");
    for (const char* sub : {"", "/ALG", "/MOD", "/TASK"}) std::filesystem::create_directories(root + sub);
    if (c.removeMod) std::filesystem::remove(root + "/MOD");
    std::string ini = d.File("r770cfg.ini");
    if (c.settingsFile)
      WriteFileBytes(ini, "[BaseL8]\r\nWayAlg=" + root + "/ALG\r\nWayMod=" + root +
                              "/MOD\r\nWayTask=" + root + "/TASK\r\n[Parametr]\r\nVS=Ethernet\r\n");
    FakeDialogs dl;
    FakeBusy b;
    FakeMainView v;
    MainWindowForm f(dl, b, ini);
    v.form = &f;
    f.SetView(&v);
    v.openers[MainCommand::DatabasePath] = [&] {
      if (!c.fixedInWindow) return;
      f.Settings().WorkAlg = root + "/ALG";
      f.Settings().WorkMod = root + "/MOD";
      f.Settings().WorkTask = root + "/TASK";
    };
    f.FirstShown();
    EXPECT_EQ(f.Caption(), "Настройка R-770 Modbus/TCP(версия 10)");
    EXPECT_EQ(f.Status(), "");
    EXPECT_FALSE(f.ProgressVisible());
    EXPECT_FALSE(f.MenuVisible(MainMenu::ModbusTcp));
    EXPECT_FALSE(f.ItemVisible(MainCommand::Save));
    EXPECT_FALSE(f.ItemVisible(MainCommand::SaveAs));
    EXPECT_EQ(v.opened.size(), c.windowOpened ? 1u : 0u);
    EXPECT_EQ(f.ItemEnabled(MainCommand::New), c.enabledAfter);
    EXPECT_EQ(f.ItemEnabled(MainCommand::Load), c.enabledAfter);
    EXPECT_EQ(f.Settings().LinkKind, c.settingsFile ? LinkKindSetting::Ethernet : LinkKindSetting::CanBus);
    EXPECT_TRUE(dl.shown.empty());
    // A disabled "Новый" does nothing.
    f.Command(MainCommand::New);
    EXPECT_EQ(f.Config().State.IsNew, c.enabledAfter);
  }
}

TEST_F(MainWindowFormTest, MenuLayoutFollowsTheFixedOrder) {
  std::vector<std::string> lines;
  for (const MainMenuDef& m : MainMenuLayout()) {
    std::string line = m.title;
    for (const MainMenuItem& i : m.items)
      line += std::string("|") + (i.command == MainCommand::None ? "-" : i.text);
    lines.push_back(line);
  }
  EXPECT_EQ(lines,
            (std::vector<std::string>{
                "Файл|Новый|Загрузить|Сохранить|Сохранить как ...|Сравнить с файлом…|Экспорт карты для "
                "ведущего…|Последние документы|-|Выход",
                "Общие настройки|Путь к БД|Дополнительные настройки",
                "Настройки Modbus/TCP|Общие настройки|Список контроллеров|Coils|Discrete Inputs|Holding "
                "Registers|Input Registers",
                "Настройка обмена",
                "Обмен с  R-770 TCP/Modbus",
                "Тест связи по Modbus|Настройка обмена|Чтение по Modbus|Монитор карты",
                "Справка|Руководство пользователя",
            }));
  std::map<MainCommand, std::string> shortcuts;
  for (const MainMenuDef& m : MainMenuLayout())
    for (const MainMenuItem& i : m.items)
      if (i.shortcut) shortcuts[i.command] = i.shortcut;
  EXPECT_EQ(shortcuts, (std::map<MainCommand, std::string>{{MainCommand::New, "Ctrl+N"},
                                                           {MainCommand::Load, "Ctrl+O"},
                                                           {MainCommand::Save, "Ctrl+S"},
                                                           {MainCommand::SaveAs, "Ctrl+Shift+S"},
                                                           {MainCommand::Exit, "Ctrl+Q"},
                                                           {MainCommand::Guide, "F1"}}));
}

TEST_F(MainWindowFormTest, OpenDocumentPathTakesTheStepsOfLoadAfterTheChoice) {
  StartWithDatabase();
  const std::string good = WriteDocument("good.bmt");
  const std::string foreign = WriteDocument("foreign.bmt", "[Protokol]\r\nName=Modbus/RTU\r\n");
  struct Case {
    std::string path;
    std::string message;  // after the question about the new document's change; none: loaded
  } cases[] = {
      {dir.File("missing.bmt"), "Файл " + dir.File("missing.bmt") + " не найден"},
      {foreign, "Файл " + foreign + " не соответствует нужному типу"},
      {good, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    form.Command(MainCommand::New);
    form.Config().State.CommonChanged = true;
    dialogs.shown.clear();
    form.OpenDocumentPath(c.path);
    const bool loaded = c.message.empty();
    std::vector<std::string> shown{"Сохранить изменения?"};
    if (!loaded) shown.push_back(c.message);
    EXPECT_EQ(dialogs.shown, shown);
    EXPECT_FALSE(form.Config().State.IsNew);
    EXPECT_EQ(form.Status(), loaded ? good : "Новый файл");
    EXPECT_EQ(form.RecentDocuments(), loaded ? std::vector<std::string>{good} : std::vector<std::string>{});
  }
  // No file choice was offered on the way.
  EXPECT_EQ(dialogs.lastPreselected, -1);
}

TEST_F(MainWindowFormTest, RecentDocumentsAndStartFoldersOfTheFileChoices) {
  StartWithDatabase();
  std::filesystem::create_directories(dir.File("a"));
  std::filesystem::create_directories(dir.File("b"));
  const std::string a = WriteDocument("a/one.bmt"), b = WriteDocument("b/two.bmt");

  // Without a document or a recent one the choice opens wherever the system likes.
  dialogs.fileAnswers.push_back(std::nullopt);
  form.Command(MainCommand::Load);
  EXPECT_EQ(dialogs.lastStart, "");

  Load(a);
  EXPECT_EQ(dialogs.lastStart, "");
  Load(b);
  EXPECT_EQ(dialogs.lastStart, dir.File("a"));  // the current document's folder
  EXPECT_EQ(form.RecentDocuments(), (std::vector<std::string>{b, a}));

  dialogs.fileAnswers.push_back(std::nullopt);
  form.Command(MainCommand::SaveAs);
  EXPECT_EQ(dialogs.lastStart, dir.File("b"));

  // A saved document goes first too.
  const std::string saved = dir.File("a/three.bmt");
  dialogs.fileAnswers.push_back(saved);
  form.Command(MainCommand::SaveAs);
  EXPECT_EQ(form.RecentDocuments(), (std::vector<std::string>{saved, b, a}));

  form.OpenRecent(2);
  EXPECT_EQ(form.Status(), a);
  EXPECT_EQ(form.RecentDocuments(), (std::vector<std::string>{a, saved, b}));
  form.OpenRecent(7);  // beyond the list: nothing
  EXPECT_EQ(form.Status(), a);

  // The next run finds the list, and its first load opens in the last document's folder.
  FakeDialogs d2;
  FakeBusy b2;
  MainWindowForm next(d2, b2, settingsPath);
  next.FirstShown();
  EXPECT_EQ(next.RecentDocuments(), (std::vector<std::string>{a, saved, b}));
  d2.fileAnswers.push_back(std::nullopt);
  next.Command(MainCommand::Load);
  EXPECT_EQ(d2.lastStart, dir.File("a"));
}

TEST_F(MainWindowFormTest, StartDocumentOpensOnceTheWindowIsUp) {
  const std::string doc = WriteDocument("start.bmt");
  EXPECT_EQ(StartDocumentArgument({"r770cfg"}), "");
  EXPECT_EQ(StartDocumentArgument({"r770cfg", "--verbose", doc}), doc);
  EXPECT_TRUE(IsDocumentPath("/x/Котельная.BMT"));
  EXPECT_FALSE(IsDocumentPath("/x/bmt"));
  EXPECT_FALSE(IsDocumentPath("/x/a.bmt.txt"));

  const auto cwd = std::filesystem::current_path();
  std::filesystem::current_path(dir.File(""));
  form.SetStartDocument("start.bmt");
  std::filesystem::current_path(cwd);
  WriteSettings(db);
  form.FirstShown();
  EXPECT_EQ(form.Status(), doc);
  EXPECT_EQ(form.RecentDocuments(), std::vector<std::string>{doc});
}

TEST_F(MainWindowFormTest, GuideIsLookedForBesideTheProgramAndInTheDocumentationFolders) {
  StartWithDatabase();
  std::vector<std::string> shownGuides;
  struct GuideView : FakeMainView {
    std::vector<std::string>* guides;
    void ShowGuide(const std::string& path) override { guides->push_back(path); }
  } guideView;
  guideView.form = &form;
  guideView.guides = &shownGuides;
  form.SetView(&guideView);
  const std::string bin = dir.File("prefix/bin");
  std::filesystem::create_directories(bin);
  form.SetProgramFolder(bin);

  form.Command(MainCommand::Guide);
  EXPECT_TRUE(shownGuides.empty());
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_NE(dialogs.Last().find("Руководство пользователя не найдено"), std::string::npos);
  EXPECT_NE(dialogs.Last().find(bin + "/../share/doc/r770cfg/guide.ru.md"), std::string::npos);

  const std::string installed = bin + "/../share/doc/r770cfg/guide.ru.md";
  std::filesystem::create_directories(dir.File("prefix/share/doc/r770cfg"));
  WriteFileBytes(installed, "# Руководство\n");
  form.Command(MainCommand::Guide);
  WriteFileBytes(bin + "/guide.ru.md", "# Руководство\n");
  form.Command(MainCommand::Guide);
  EXPECT_EQ(shownGuides, (std::vector<std::string>{installed, bin + "/guide.ru.md"}));

  // The guide built into the program goes first, whatever lies on disk or in no place.
  form.SetBuiltInGuide(":/guide.ru.md");
  form.SetProgramFolder(dir.File("nowhere"));
  dialogs.shown.clear();
  form.Command(MainCommand::Guide);
  EXPECT_EQ(shownGuides.back(), ":/guide.ru.md");
  EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(MainWindowFormTest, DocumentMenusFollowTheDocumentState) {
  StartWithDatabase();
  std::string doc = WriteDocument("plain.bmt");
  struct Case {
    const char* name;
    std::function<void()> act;
    bool visible;
    const char* status;
  } cases[] = {
      {"no document", [] {}, false, ""},
      {"new", [&] { form.Command(MainCommand::New); }, true, "Новый файл"},
      {"loaded", [&] { Load(doc); }, true, doc.c_str()},
      {"cancelled load after new",
       [&] {
         form.Command(MainCommand::New);
         dialogs.fileAnswers.push_back(std::nullopt);
         form.Command(MainCommand::Load);
       },
       false, "Новый файл"},
      {"read from the module",
       [&] {
         form.Config().State.FromModule = true;
         form.UpdateDocumentMenus(false);
       },
       true, "Новый файл"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.act();
    EXPECT_EQ(DocumentMenus(), c.visible);
    EXPECT_EQ(form.Status(), c.status);
    // Commands of the hidden menu are out of reach.
    view.opened.clear();
    form.Command(MainCommand::Coils);
    EXPECT_EQ(view.opened.size(), c.visible ? 1u : 0u);
  }
  EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(MainWindowFormTest, NewResetsTheConfigurationAndRereadsTheDatabasePaths) {
  StartWithDatabase();
  form.Config().Common.AdrCAN = 7;
  form.Config().State.FromFile = true;
  form.Settings().WorkAlg = db + "/MOD";  // still a folder, but not the stored one
  form.Settings().DbRoot = "changed";
  form.Command(MainCommand::New);
  const Configuration& cfg = form.Config();
  EXPECT_TRUE(cfg.State.IsNew);
  EXPECT_FALSE(cfg.State.FromFile);
  EXPECT_FALSE(cfg.State.FromModule);
  EXPECT_EQ(cfg.Common, CommonSettings{});
  EXPECT_EQ(cfg.Map(MapKind::TU).size(), 16u);
  EXPECT_EQ(cfg.Map(MapKind::TC).size(), 128u);
  EXPECT_EQ(cfg.Map(MapKind::TC)[127].ParamName, "Нет параметра");
  EXPECT_EQ(form.Settings().WorkAlg, db + "/ALG");
  EXPECT_EQ(form.Settings().DbRoot, db);
}

TEST_F(MainWindowFormTest, AskSaveChangesYesSavesNoDiscards) {
  StartWithDatabase();
  std::string doc = WriteDocument("doc.bmt");
  Load(doc);
  ASSERT_EQ(form.Status(), doc);
  ASSERT_TRUE(form.Config().State.FromModule);  // a document without controllers

  // No: the flags are dropped and the next command asks nothing.
  form.Config().State.TUChanged = true;
  form.Command(MainCommand::New);
  EXPECT_EQ(dialogs.shown, (std::vector<std::string>{"Сохранить данные?"}));
  EXPECT_FALSE(form.Config().AnyChanged());
  EXPECT_TRUE(form.Config().State.IsNew);
  dialogs.shown.clear();
  form.Command(MainCommand::New);
  EXPECT_TRUE(dialogs.shown.empty());

  // Yes on a new document: "Сохранить" goes through "Сохранить как ...".
  form.Config().Common.AdrCAN = 0x3C;
  form.Config().State.CommonChanged = true;
  dialogs.confirmAnswers = {true};
  dialogs.fileAnswers.push_back(dir.File("saved"));
  form.Command(MainCommand::New);
  EXPECT_EQ(dialogs.shown, (std::vector<std::string>{"Сохранить изменения?"}));
  std::string saved = Cp1251ToUtf8(ReadFileBytes(dir.File("saved.bmt")));
  EXPECT_NE(saved.find("AdrCAN=3C"), std::string::npos);
  EXPECT_NE(saved.find("[TU Modbus]"), std::string::npos);  // the whole document was written
  EXPECT_EQ(form.Config().Common.AdrCAN, 0);                // and then "Новый" went on
}

TEST_F(MainWindowFormTest, SaveOfALoadedDocumentWritesItsOwnFileWithoutAsking) {
  StartWithDatabase();
  std::string doc = WriteDocument("doc.bmt");
  Load(doc);
  form.Config().State.FromModule = false;  // as after a save of a read document
  form.Config().State.FromFile = true;
  form.Config().Common.AdrExt = 0x44;
  form.Config().State.CommonChanged = true;

  dialogs.shown.clear();
  form.Command(MainCommand::Save);
  EXPECT_TRUE(dialogs.shown.empty());     // its own file is no other existing file
  EXPECT_EQ(dialogs.lastPreselected, 0);  // only the load's choice was offered
  std::string text = Cp1251ToUtf8(ReadFileBytes(doc));
  EXPECT_NE(text.find("AdrExt=44"), std::string::npos);
  EXPECT_EQ(text.find("[TU Modbus]"), std::string::npos);  // only the changed part
  EXPECT_FALSE(form.Config().AnyChanged());
  EXPECT_TRUE(form.Config().State.FromFile);
  EXPECT_EQ(form.Status(), doc);

  // A read document always opens the save dialog.
  form.Config().State.FromModule = true;
  dialogs.fileAnswers.push_back(std::nullopt);
  form.Command(MainCommand::Save);
  EXPECT_TRUE(dialogs.shown.empty());
  EXPECT_TRUE(dialogs.fileAnswers.empty());
  EXPECT_EQ(dialogs.lastFilters.size(), 2u);
  EXPECT_EQ(dialogs.lastFilters[1].pattern, "*.*");
}

TEST_F(MainWindowFormTest, CancelOfTheUnsavedChangesQuestionCancelsTheCommandThatAsked) {
  StartWithDatabase();
  std::string other = WriteDocument("other.bmt");
  Load(WriteDocument("doc.bmt"));
  ASSERT_EQ(form.Config().State.FileName, dir.File("doc.bmt"));
  struct Case {
    const char* name;
    std::function<void()> command;
  } cases[] = {
      {"Новый", [&] { form.Command(MainCommand::New); }},
      {"Загрузить", [&] { form.Command(MainCommand::Load); }},
      {"a dropped document", [&] { form.OpenDocumentPath(other); }},
      {"a recent document", [&] { form.OpenRecent(0); }},
      {"Выход", [&] { form.Command(MainCommand::Exit); }},
      {"closing the window", [&] { EXPECT_FALSE(form.CloseRequested()); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    form.Config().Common.AdrCAN = 0x3C;
    form.Config().State.CommonChanged = true;
    dialogs.shown.clear();
    dialogs.askAnswers = {Dialogs::Answer::Cancel};
    dialogs.fileAnswers = {other};  // taken only by a file choice that should not come
    c.command();
    EXPECT_EQ(dialogs.shown, std::vector<std::string>{"Сохранить данные?"});  // no controllers
    EXPECT_EQ(dialogs.fileAnswers.size(), 1u);
    EXPECT_EQ(view.closes, 0);
    EXPECT_EQ(form.Config().Common.AdrCAN, 0x3C);
    EXPECT_TRUE(form.Config().State.CommonChanged);
    EXPECT_FALSE(form.Config().State.IsNew);
    EXPECT_EQ(form.Config().State.FileName, dir.File("doc.bmt"));
  }

  // Нет drops the changes and lets the command go on; Да saves first.
  dialogs.fileAnswers.clear();
  dialogs.askAnswers = {Dialogs::Answer::No};
  form.OpenDocumentPath(other);
  EXPECT_EQ(form.Config().State.FileName, other);
  EXPECT_FALSE(form.Config().AnyChanged());
  form.Config().Common.AdrCAN = 0x3D;
  form.Config().State.CommonChanged = true;
  form.Config().State.FromModule = false;  // a document with its own file
  dialogs.askAnswers = {Dialogs::Answer::Yes};
  EXPECT_TRUE(form.CloseRequested());
  EXPECT_NE(Cp1251ToUtf8(ReadFileBytes(other)).find("AdrCAN=3D"), std::string::npos);
}

TEST_F(MainWindowFormTest, CaptionNamesTheDocumentAndMarksUnsavedChanges) {
  form.Command(MainCommand::New);
  EXPECT_EQ(form.Caption(), "");  // not shown yet
  StartWithDatabase();
  std::string doc = WriteDocument("boiler.bmt");
  struct Case {
    const char* name;
    std::function<void()> act;
    std::string caption;
  } cases[] = {
      {"no document", [] {}, "Настройка R-770 Modbus/TCP(версия 10)"},
      {"new", [&] { form.Command(MainCommand::New); }, "r770cfg — Новый документ"},
      {"new, changed", [&] { form.Config().State.TUChanged = true; }, "r770cfg — Новый документ *"},
      {"loaded without controllers",  // taken as read from the module
       [&] {
         dialogs.askAnswers = {Dialogs::Answer::No};
         Load(doc);
       },
       "r770cfg — Прочитан из модуля"},
      {"loaded, changed",
       [&] {
         form.Config().State.FromFile = true;  // as a load with controllers marks it
         form.Config().State.FromModule = false;
         form.Config().State.CommonChanged = true;
       },
       "r770cfg — boiler.bmt *"},
      {"saved", [&] { form.Command(MainCommand::Save); }, "r770cfg — boiler.bmt"},
      {"read from the module",
       [&] {
         DocumentState& st = form.Config().State;
         st.FromModule = true;
         st.FromFile = false;
         st.TCChanged = true;
       },
       "r770cfg — Прочитан из модуля *"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.act();
    EXPECT_EQ(form.Caption(), c.caption);
  }
}

TEST_F(MainWindowFormTest, SaveAsNamesTheFile) {
  StartWithDatabase();
  std::filesystem::create_directories(dir.File("plain"));
  std::filesystem::create_directories(dir.File("my.dir"));
  struct Case {
    std::string chosen;
    std::string written;
  } cases[] = {
      {dir.File("plain/cfg"), dir.File("plain/cfg.bmt")},
      {dir.File("my.dir/cfg"), dir.File("my.dir/cfg")},
      {dir.File("plain/x.bmt"), dir.File("plain/x.bmt")},
      {dir.File("plain/y.txt"), dir.File("plain/y.txt")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.chosen);
    form.Command(MainCommand::New);
    dialogs.shown.clear();
    dialogs.fileAnswers.push_back(c.chosen);
    form.Command(MainCommand::SaveAs);
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_TRUE(std::filesystem::is_regular_file(c.written));
    EXPECT_EQ(form.Config().State.FileName, c.written);
    EXPECT_EQ(form.Status(), c.written);
    EXPECT_FALSE(form.Config().State.IsNew);
    EXPECT_TRUE(form.Config().State.FromFile);
  }

  // An existing file: No leaves it alone, Yes replaces it.
  WriteFileBytes(dir.File("plain/old.bmt"), "keep");
  dialogs.shown.clear();
  dialogs.fileAnswers.push_back(dir.File("plain/old.bmt"));
  dialogs.confirmAnswers = {false};
  EXPECT_FALSE(form.SaveAs());
  EXPECT_EQ(dialogs.shown,
            (std::vector<std::string>{"Файл " + dir.File("plain/old.bmt") + " уже существует.Заменить?"}));
  EXPECT_EQ(ReadFileBytes(dir.File("plain/old.bmt")), "keep");
  dialogs.fileAnswers.push_back(dir.File("plain/old.bmt"));
  dialogs.confirmAnswers = {true};
  EXPECT_TRUE(form.SaveAs());
  EXPECT_NE(ReadFileBytes(dir.File("plain/old.bmt")).find("[Common]"), std::string::npos);
}

TEST_F(MainWindowFormTest, LoadShowsBusyCursorAndProgressAndRefusesBadFiles) {
  StartWithDatabase();
  std::filesystem::create_directories(dir.File("folder.bmt"));
  std::filesystem::create_symlink(dir.File("loop.bmt"), dir.File("loop.bmt"));
  WriteFileBytes(dir.File("binary.bmt"), std::string("\x00\xFF\x89PNG\r\n\x1A\n\x00\x00", 11));
  std::string foreign = WriteDocument("foreign.bmt", "[Protokol]\r\nName=Modbus/RTU\r\n");
  struct Case {
    std::string path;
    std::string message;
  } cases[] = {
      {dir.File("missing.bmt"), "Файл " + dir.File("missing.bmt") + " не найден"},
      {dir.File("folder.bmt"), "Путь " + dir.File("folder.bmt") + " указывает на папку, а не на файл"},
      {dir.File("loop.bmt"),
       "Не удалось прочитать файл " + dir.File("loop.bmt") + ": " + std::strerror(ELOOP)},
      {dir.File("binary.bmt"), "Файл " + dir.File("binary.bmt") + " не соответствует нужному типу"},
      {foreign, "Файл " + foreign + " не соответствует нужному типу"},
  };
  form.Command(MainCommand::New);
  form.Config().Common.AdrCAN = 0x12;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    dialogs.shown.clear();
    Load(c.path);
    EXPECT_EQ(dialogs.shown, std::vector<std::string>{c.message});
    EXPECT_EQ(form.Config().Common.AdrCAN, 0x12);  // nothing of the document is lost
    EXPECT_FALSE(form.ProgressVisible());
    EXPECT_EQ(busy.busyOn, busy.busyOff);
    EXPECT_FALSE(form.Running());
  }

  // A good document: the strip is shown with its caption while it loads, then hidden.
  std::string doc = WriteDocument("good.bmt");
  int busyBefore = busy.busyOn;
  view.progressSeen.clear();
  Load(doc);
  EXPECT_EQ(busy.busyOn, busyBefore + 1);
  EXPECT_EQ(busy.busyOn, busy.busyOff);
  EXPECT_GT(busy.pumps, 0);
  ASSERT_FALSE(view.progressSeen.empty());
  EXPECT_EQ(view.progressSeen.front(), "Идет загрузка файла:1");
  EXPECT_FALSE(form.ProgressVisible());
  EXPECT_EQ(form.Status(), doc);
}

TEST_F(MainWindowFormTest, CloseDuringALoadWaitsForItAndMenusAreOutOfReach) {
  StartWithDatabase();
  std::string doc = WriteDocument("good.bmt");
  bool asked = false;
  view.onProgress = [&] {
    if (asked) return;
    asked = true;
    EXPECT_FALSE(form.MenuBarEnabled());
    form.Command(MainCommand::New);  // ignored while loading
    EXPECT_FALSE(form.Config().State.IsNew);
    EXPECT_FALSE(form.CloseRequested());
    EXPECT_EQ(view.closes, 0);
  };
  Load(doc);
  EXPECT_TRUE(asked);
  EXPECT_EQ(view.closes, 1);  // carried out after the load
  EXPECT_TRUE(form.MenuBarEnabled());
}

TEST_F(MainWindowFormTest, FailedOrCancelledSaveKeepsTheDocument) {
  StartWithDatabase();
  form.Command(MainCommand::New);
  form.Config().Common.AdrCAN = 0x21;
  form.Config().State.CommonChanged = true;

  // Yes, then the save dialog is cancelled: the command that asked does not go on.
  dialogs.confirmAnswers = {true};
  dialogs.fileAnswers.push_back(std::nullopt);
  form.Command(MainCommand::New);
  EXPECT_EQ(form.Config().Common.AdrCAN, 0x21);
  EXPECT_TRUE(form.Config().State.CommonChanged);

  // Yes, then writing fails: the same, with the failure shown.
  dialogs.shown.clear();
  dialogs.confirmAnswers = {true};
  dialogs.fileAnswers.push_back(dir.File("no/such/folder/doc.bmt"));
  form.Command(MainCommand::Exit);
  EXPECT_EQ(view.closes, 0);
  ASSERT_EQ(dialogs.shown.size(), 2u);
  EXPECT_EQ(form.Config().Common.AdrCAN, 0x21);
  EXPECT_TRUE(form.Config().AnyChanged());

  // A folder chosen as the file: refused with a message before anything is asked.
  dialogs.shown.clear();
  std::filesystem::create_directories(dir.File("target.bmt"));
  dialogs.fileAnswers.push_back(dir.File("target.bmt"));
  EXPECT_FALSE(form.SaveAs());
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_NE(dialogs.shown[0].find("каталог"), std::string::npos);
  EXPECT_TRUE(std::filesystem::is_directory(dir.File("target.bmt")));

  // Closing: No drops the changes and closes; nothing more is asked.
  dialogs.shown.clear();
  EXPECT_TRUE(form.CloseRequested());
  EXPECT_EQ(dialogs.shown, std::vector<std::string>{"Сохранить изменения?"});
  form.Command(MainCommand::Exit);
  EXPECT_EQ(view.closes, 1);
  EXPECT_EQ(dialogs.shown.size(), 1u);
}

TEST_F(MainWindowFormTest, VanishedDatabaseFoldersStopNewAndLoadWithAMessage) {
  StartWithDatabase();
  std::string doc = WriteDocument("doc.bmt");
  form.Command(MainCommand::New);
  form.Config().Common.AdrExt = 0x55;
  std::filesystem::remove_all(db + "/TASK");
  for (MainCommand c : {MainCommand::Load, MainCommand::New}) {
    dialogs.shown.clear();
    dialogs.fileAnswers = {doc};
    form.Command(c);
    ASSERT_EQ(dialogs.shown.size(), c == MainCommand::Load ? 1u : 0u);
    if (!dialogs.shown.empty()) {
      EXPECT_EQ(dialogs.shown[0].rfind("Каталог " + db + "/TASK не существует", 0), 0u);
    }
    EXPECT_EQ(form.Config().Common.AdrExt, 0x55);
    EXPECT_FALSE(form.ItemEnabled(MainCommand::New));
    EXPECT_FALSE(form.ItemEnabled(MainCommand::Load));
  }
  // "Путь к БД" checks the folders again when its window closes.
  view.openers[MainCommand::DatabasePath] = [&] { std::filesystem::create_directories(db + "/TASK"); };
  form.Command(MainCommand::DatabasePath);
  EXPECT_TRUE(form.ItemEnabled(MainCommand::New));
  EXPECT_TRUE(form.ItemEnabled(MainCommand::Load));
}

TEST_F(MainWindowFormTest, ControllerEditorDuringALoadHidesTheStripAndDropsTheBusyCursor) {
  // The load procedure opens the editor when a controller needs attention; here the view
  // asks for it on the first progress step of a real load.
  StartWithDatabase();
  std::string doc = WriteDocument("good.bmt");
  bool seen = false;
  view.openers[MainCommand::ControllerList] = [&] {
    seen = true;
    EXPECT_FALSE(form.ProgressVisible());
    EXPECT_FALSE(busy.busy);
  };
  view.onProgress = [&] {
    if (seen) return;
    form.OpenControllerEditor();
    EXPECT_TRUE(busy.busy);
  };
  Load(doc);
  EXPECT_TRUE(seen);
  EXPECT_FALSE(busy.busy);
  EXPECT_EQ(form.Status(), doc);
}

}  // namespace
}  // namespace r770
