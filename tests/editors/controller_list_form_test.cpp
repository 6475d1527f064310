#include "editors/controller_list_form.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "common/codec.h"
#include "common/ini_file.h"
#include "common/key_filter.h"
#include "document/document_file.h"
#include "editor_fixture.h"

namespace r770::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using F = ControllerListForm;

class QuietDocumentView : public DocumentView {
 public:
  std::vector<std::string> shown;
  void ProgressStep() override {}
  void PumpEvents() override {}
  void Information(const std::string& text) override { shown.push_back(text); }
  void SetStatus(const std::string&) override {}
  void OpenControllerEditor() override {}
};

struct ListEditor : EditorFixture {
  ControllerListForm form{cfg, settings, dialogs, busy};

  void Open() {
    form.Open();
    dialogs.shown.clear();
  }
  void Choose(const std::string& path) { dialogs.fileAnswers.push_back(path); }
  void Type(const std::u32string& keys) {
    for (char32_t k : keys) form.Key(k);
  }
  // Closes the window after "Применить" (true when it closed).
  bool ApplyAndClose() {
    if (!form.Apply()) return false;
    form.Closed();
    return true;
  }
};

TEST(ControllerListFormTest, SeveralTaskFilesAreAddedFromOneChoice) {
  ListEditor e;
  e.Open();
  const std::string missing = e.data.dir.File("нет.tsk");
  e.dialogs.filesAnswers.push_back({e.data.kotel, missing, e.data.nasos});
  e.form.AddController();
  ASSERT_EQ(e.cfg.Controllers.size(), 2u);
  EXPECT_EQ(e.cfg.Controllers[0].Nset, 5);
  EXPECT_EQ(e.cfg.Controllers[1].Nset, 0x1A);
  EXPECT_EQ(e.form.RowCount(), 3);
  EXPECT_EQ(e.form.PathCell(1), e.data.nasos);
  EXPECT_EQ(e.dialogs.lastPreselected, 1);
  // The file refused is told on the message line, as a single one is.
  EXPECT_EQ(e.form.Message(), "Файл " + missing + " не существует");
  EXPECT_TRUE(e.form.Changed());
  // Cancelled: nothing added.
  e.dialogs.filesAnswers.push_back({});
  e.form.AddController();
  EXPECT_EQ(e.cfg.Controllers.size(), 2u);
  EXPECT_EQ(e.form.Message(), "Не указана очередь задач");
}

TEST(ControllerListFormTest, AddControllerTakesNetworkNumberFromHeader) {
  ListEditor e;
  e.Open();
  ASSERT_EQ(e.form.RowCount(), 1);  // the blank row
  e.Choose(e.data.nasos);
  e.form.AddController();

  ASSERT_EQ(e.dialogs.lastFilters.size(), 2u);
  EXPECT_EQ(e.dialogs.lastFilters[0].label, "All files(*.*)");
  EXPECT_EQ(e.dialogs.lastFilters[0].pattern, "*.*");
  EXPECT_EQ(e.dialogs.lastFilters[1].label, "Tsk(*.tsk)");
  EXPECT_EQ(e.dialogs.lastFilters[1].pattern, "*.tsk");
  EXPECT_EQ(e.dialogs.lastPreselected, 1);

  ASSERT_EQ(e.cfg.Controllers.size(), 1u);
  EXPECT_EQ(e.cfg.Controllers[0].Nset, 26);
  EXPECT_TRUE(e.cfg.Controllers[0].Found);
  ASSERT_EQ(e.form.RowCount(), 2);
  EXPECT_EQ(e.form.NumberCell(0), "1");
  EXPECT_EQ(e.form.PathCell(0), e.data.nasos);
  EXPECT_EQ(e.form.NsetCell(0), "1A");
  EXPECT_TRUE(e.form.NsetEditable(0));
  EXPECT_TRUE(e.form.IsBlankRow(1));
  EXPECT_FALSE(e.form.NsetEditable(1));
  EXPECT_EQ(e.form.PathCell(1), "");
  EXPECT_TRUE(e.form.Changed());

  ASSERT_TRUE(e.ApplyAndClose());
  EXPECT_TRUE(e.cfg.State.ControllersChanged);
  EXPECT_FALSE(e.cfg.State.TCChanged);  // nothing removed, no queue entered
}

TEST(ControllerListFormTest, LoadingFailures) {
  struct Case {
    std::optional<std::string> chosen;
    std::string messageLine;
    std::vector<std::string> boxes;
  };
  ListEditor e;
  WriteFileBytes(e.data.dir.File("short.tsk"), "too short");
  const std::string missing = e.data.dir.File("нет.tsk");
  // A good task file whose name code page 1251 cannot hold.
  const std::string foreign = e.data.dir.File("Котел\u0109.tsk");
  std::filesystem::copy_file(e.data.kotel, foreign);
  const Case cases[] = {
      {std::nullopt, "Не указана очередь задач", {}},
      {std::string(), "Не указана очередь задач", {}},
      {missing, "Файл " + missing + " не существует", {}},
      {"\"" + missing + "\"", "Файл " + missing + " не существует", {}},
      {e.data.dir.path(), "Файл " + e.data.dir.path() + " не существует", {}},
      {e.data.dir.File("short.tsk"),
       "",
       {e.data.dir.File("short.tsk") + "\nОбнаружены ошибки в файлах описания очереди задач"}},
      {foreign,
       "Путь " + foreign +
           " содержит символ \"\u0109\", которого нет в кодовой странице 1251: такой текст не может "
           "быть сохранен.",
       {}},
  };
  for (const Case& c : cases) {
    e.Open();
    e.dialogs.fileAnswers.push_back(c.chosen);
    e.form.AddController();
    EXPECT_EQ(e.dialogs.lastStart, e.data.db.TaskDir());  // the choice opens in WayTask
    EXPECT_EQ(e.form.Message(), c.messageLine);
    EXPECT_EQ(e.dialogs.shown, c.boxes);
    EXPECT_THAT(e.cfg.Controllers, IsEmpty());
    EXPECT_FALSE(e.form.Changed());
  }
}

TEST(ControllerListFormTest, QuotedPathLoads) {
  ListEditor e;
  e.Open();
  e.Choose("\"" + e.data.kotel + "\"");
  e.form.AddController();
  ASSERT_EQ(e.cfg.Controllers.size(), 1u);
  EXPECT_EQ(e.form.PathCell(0), e.data.kotel);
  EXPECT_EQ(e.form.NsetCell(0), "05");
  EXPECT_EQ(e.form.Message(), "");
}

TEST(ControllerListFormTest, DatabaseFoldersMustBeSet) {
  ListEditor e;
  e.data.AddController(e.cfg, e.data.kotel, 5);
  e.settings.WorkMod.clear();
  e.Open();
  e.Choose(e.data.nasos);
  e.form.AddController();
  EXPECT_EQ(e.form.Message(), "Не указан путь к базе данных!");
  e.form.EnterQueue();
  EXPECT_EQ(e.form.Message(), "Не указан путь к базе данных!");
  EXPECT_EQ(e.dialogs.fileAnswers.size(), 1u);  // no file was asked for
  EXPECT_EQ(e.cfg.Controllers.size(), 1u);
}

TEST(ControllerListFormTest, RemovingTheOnlyControllerEmptiesItsMapEntriesOnApply) {
  ListEditor e;
  e.data.AddController(e.cfg, e.data.kotel, 5);
  e.cfg.Map(MapKind::TC)[3] = Placed(0x0101, 3);
  e.cfg.Map(MapKind::TIFloat)[0] = Placed(0x0201, 2, 2);
  e.cfg.Map(MapKind::TIFloat)[1] = Placed(0x0301, 4, 1, 0x1A);  // another controller's
  e.Open();
  e.form.RemoveController();  // answered No
  EXPECT_EQ(e.cfg.Controllers.size(), 1u);
  e.dialogs.confirmAnswers = {true};
  e.form.RemoveController();
  EXPECT_THAT(e.dialogs.shown,
              ElementsAre("Удалить \"" + e.data.kotel +
                              "\"? ВНИМАНИЕ! ВСЕ ПАРАМЕТРЫ, ОТНОСЯЩИЕСЯ К ЭТОМУ МОДУЛЮ, БУДУТ УДАЛЕНЫ!",
                          "Удалить \"" + e.data.kotel +
                              "\"? ВНИМАНИЕ! ВСЕ ПАРАМЕТРЫ, ОТНОСЯЩИЕСЯ К ЭТОМУ МОДУЛЮ, БУДУТ УДАЛЕНЫ!"));
  EXPECT_THAT(e.cfg.Controllers, IsEmpty());
  EXPECT_EQ(e.form.RowCount(), 1);
  EXPECT_THAT(e.cfg.DeletedNsets, ElementsAre(5));
  EXPECT_FALSE(e.cfg.Map(MapKind::TC)[3].IsEmpty());  // not before "Применить"

  // The blank row cannot be removed.
  e.dialogs.shown.clear();
  e.form.RemoveController();
  EXPECT_THAT(e.dialogs.shown, IsEmpty());

  ASSERT_TRUE(e.ApplyAndClose());
  EXPECT_TRUE(e.cfg.Map(MapKind::TC)[3].IsEmpty());
  EXPECT_TRUE(e.cfg.Map(MapKind::TIFloat)[0].IsEmpty());
  EXPECT_FALSE(e.cfg.Map(MapKind::TIFloat)[1].IsEmpty());
  EXPECT_THAT(e.cfg.DeletedNsets, IsEmpty());
  const DocumentState& st = e.cfg.State;
  EXPECT_TRUE(st.ControllersChanged && st.TCChanged && st.TUChanged && st.TIFloatChanged &&
              st.InputRegChanged);
}

TEST(ControllerListFormTest, ClosingWithoutApplyGivesTheListBack) {
  // From the document file; when that file has gone or cannot be read, as it was at opening.
  const struct {
    const char* name;
    bool removeFile;
    bool folderInItsPlace;
  } cases[] = {{"reloaded from the file", false, false},
               {"file removed", true, false},
               {"a folder in its place", true, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ListEditor e;
    e.data.AddController(e.cfg, e.data.kotel, 5);
    e.data.AddController(e.cfg, e.data.nasos, 0x1A);
    ControllerEntry missing;  // a controller whose task file was not found at the load
    missing.StoredPath = e.data.dir.File("нет.tsk");
    missing.Nset = 0x30;
    e.cfg.Controllers.push_back(std::move(missing));
    const std::string doc = e.data.dir.File("doc.bmt");
    QuietDocumentView view;
    e.cfg.SetAllChanged();
    ASSERT_TRUE(SaveDocument(e.cfg, doc, view));
    ASSERT_EQ(e.cfg.State.FileName, doc);

    e.Open();
    e.dialogs.confirmAnswers = {true};
    e.form.RemoveController();
    e.form.SetCurrentRow(0);
    e.Type(
        U"\x7F"
        U"7");
    ASSERT_TRUE(e.form.FinishEdit());
    ASSERT_EQ(e.cfg.Controllers.size(), 2u);
    EXPECT_EQ(e.cfg.Controllers[0].Nset, 7);
    if (c.removeFile) std::filesystem::remove(doc);
    if (c.folderInItsPlace) std::filesystem::create_directory(doc);
    e.dialogs.shown.clear();
    e.form.Closed();

    ASSERT_EQ(e.cfg.Controllers.size(), 3u);
    EXPECT_EQ(e.cfg.Controllers[0].TaskFilePath(), e.data.kotel);
    EXPECT_EQ(e.cfg.Controllers[0].Nset, 5);
    EXPECT_TRUE(e.cfg.Controllers[0].Found);
    EXPECT_EQ(e.cfg.Controllers[1].TaskFilePath(), e.data.nasos);
    EXPECT_EQ(e.cfg.Controllers[1].Nset, 0x1A);
    EXPECT_EQ(e.cfg.Controllers[2].Task, nullptr);
    EXPECT_EQ(e.cfg.Controllers[2].TaskFilePath(), e.data.dir.File("нет.tsk"));
    EXPECT_EQ(e.cfg.Controllers[2].Nset, 0x30);
    EXPECT_FALSE(e.cfg.Controllers[2].Found);
    EXPECT_THAT(e.cfg.DeletedNsets, IsEmpty());
    EXPECT_FALSE(e.cfg.State.ControllersChanged);
    EXPECT_EQ(e.busy.busyOn, 1);
    EXPECT_EQ(e.busy.busyOff, 1);
    EXPECT_FALSE(e.busy.busy);
    // When the file could not be read the user learns why.
    ASSERT_EQ(e.dialogs.shown.size(), c.removeFile ? 1u : 0u);
    if (c.removeFile) {
      EXPECT_NE(e.dialogs.shown[0].find(doc), std::string::npos);
    }
  }
}

// The view of the main window during a load: the controller list editor opens when the
// load asks for it and is closed by the test's action.
struct EditorOpeningView : QuietDocumentView {
  std::function<void()> onOpen;
  void OpenControllerEditor() override { onOpen(); }
};

TEST(ControllerListFormTest, LoadOpensTheEditorOnTheControllerWithoutTaskFile) {
  ListEditor e;
  const std::string missing = e.data.dir.File("Котельная2.tsk");
  const std::string doc = e.data.dir.File("doc.bmt");
  WriteFileBytes(doc, Utf8ToCp1251("[Protokol]\r\nName=Modbus/TCP\r\n[Config]\r\nWayUser0=" + e.data.kotel +
                                   "\r\nNset0=05\r\nWayUser1=" + missing +
                                   "\r\nNset1=07\r\n"
                                   "WayUser2=\r\nNset2=08\r\n"));
  e.cfg.State.FromModule = true;  // left by the previous document
  EditorOpeningView view;
  int opened = 0;
  view.onOpen = [&] {
    ++opened;
    e.Open();
    EXPECT_FALSE(e.form.Marked(0));
    EXPECT_EQ(e.form.PathCell(0), e.data.kotel);
    EXPECT_TRUE(e.form.Marked(1));
    EXPECT_EQ(e.form.PathCell(1), missing);
    EXPECT_EQ(e.form.NsetCell(1), "07");
    EXPECT_TRUE(e.form.Marked(2));
    EXPECT_EQ(e.form.PathCell(2), F::kNoQueue);  // an empty path
    EXPECT_TRUE(e.form.LabelVisible());
    EXPECT_EQ(e.form.CurrentRow(), 1);
    EXPECT_TRUE(e.form.AddEnabled());
    // The user attaches the task file to the first of them, confirms that its other number
    // is meant, and applies.
    e.Choose(e.data.nasos);
    e.dialogs.confirmAnswers = {true};
    e.form.EnterQueue();
    ASSERT_EQ(e.dialogs.shown.size(), 1u);
    EXPECT_EQ(e.dialogs.shown[0], "Очередь задач " + e.data.nasos +
                                      " описывает контроллер 1A, а не 07: имена "
                                      "параметров контроллера 07 будут взяты из нее. Продолжить?");
    e.dialogs.shown.clear();
    EXPECT_FALSE(e.form.Marked(1));
    EXPECT_EQ(e.form.PathCell(1), e.data.nasos);
    EXPECT_TRUE(e.form.LabelVisible());  // row 3 is still marked
    EXPECT_TRUE(e.ApplyAndClose());
  };
  ASSERT_TRUE(LoadDocument(e.cfg, e.settings, doc, view));
  EXPECT_EQ(opened, 1);
  EXPECT_THAT(view.shown, IsEmpty());
  ASSERT_EQ(e.cfg.Controllers.size(), 3u);
  EXPECT_TRUE(e.cfg.Controllers[1].Found);
  EXPECT_EQ(e.cfg.Controllers[1].Nset, 7);  // attaching keeps the number
  EXPECT_FALSE(e.cfg.Controllers[2].Found);
  EXPECT_TRUE(e.cfg.State.FromFile);
  EXPECT_FALSE(e.cfg.State.FromModule);
  EXPECT_TRUE(e.cfg.State.ControllersChanged);

  // Saved, the attached path replaces the missing one; the empty one stays empty.
  QuietDocumentView saveView;
  ASSERT_TRUE(SaveDocument(e.cfg, doc, saveView));
  IniFile saved(doc);
  EXPECT_EQ(saved.ReadString("Config", "WayUser1", "?"), e.data.nasos);
  EXPECT_EQ(saved.ReadString("Config", "WayUser2", "?"), "");
  EXPECT_EQ(saved.ReadString("Config", "Nset2", "?"), "08");
}

TEST(ControllerListFormTest, ClosingWithoutApplyKeepsChangesAppliedEarlier) {
  // A new document has no file to reload from; the list goes back to what it was when the
  // editor opened, including the controllers applied in an earlier session.
  ListEditor e;
  e.Open();
  e.Choose(e.data.kotel);
  e.form.AddController();
  ASSERT_TRUE(e.ApplyAndClose());

  e.Open();
  e.Choose(e.data.nasos);
  e.form.AddController();
  e.dialogs.confirmAnswers = {true};
  e.form.SetCurrentRow(0);
  e.form.RemoveController();
  ASSERT_EQ(e.cfg.Controllers.size(), 1u);
  e.form.Closed();

  ASSERT_EQ(e.cfg.Controllers.size(), 1u);
  EXPECT_EQ(e.cfg.Controllers[0].Task->TaskFilePath(), e.data.kotel);
  EXPECT_EQ(e.cfg.Controllers[0].Nset, 5);
  EXPECT_TRUE(e.cfg.Controllers[0].Found);
  EXPECT_THAT(e.cfg.DeletedNsets, IsEmpty());
  EXPECT_TRUE(e.cfg.State.ControllersChanged);
}

TEST(ControllerListFormTest, ClosingWithoutApplyAfterNewKeepsTheNewDocumentsList) {
  // "Новый" after a loaded document keeps that file's name: the new document still has no
  // file of its own, and the old file's controllers must not come back into it.
  ListEditor e;
  e.data.AddController(e.cfg, e.data.kotel, 5);
  const std::string doc = e.data.dir.File("doc.bmt");
  QuietDocumentView view;
  e.cfg.SetAllChanged();
  ASSERT_TRUE(SaveDocument(e.cfg, doc, view));
  e.cfg.ResetForNew();
  e.cfg.State.IsNew = true;
  e.cfg.State.FromFile = false;
  ASSERT_EQ(e.cfg.State.FileName, doc);

  e.Open();
  e.Choose(e.data.nasos);
  e.form.AddController();
  ASSERT_EQ(e.cfg.Controllers.size(), 1u);
  e.form.Closed();
  EXPECT_THAT(e.cfg.Controllers, IsEmpty());
  EXPECT_FALSE(e.cfg.State.ControllersChanged);
  EXPECT_THAT(e.dialogs.shown, IsEmpty());
}

TEST(ControllerListFormTest, RemovalsAppliedDuringALoadReachTheMapsReadAfterIt) {
  // Controller 07 has no task file, so the editor opens during the load; the user removes it.
  const struct {
    const char* name;
    bool apply;
  } cases[] = {{"applied", true}, {"closed without applying", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ListEditor e;
    const std::string doc = e.data.dir.File("doc.bmt");
    WriteFileBytes(doc, Utf8ToCp1251("[Protokol]\r\nName=Modbus/TCP\r\n[Config]\r\nWayUser0=" + e.data.kotel +
                                     "\r\nNset0=05\r\nWayUser1=" + e.data.dir.File("нет.tsk") +
                                     "\r\nNset1=07\r\n"
                                     "[TC Modbus]\r\nTC0=0101.5.1\r\nNameTC0=a\r\nDiscretInp0=1\r\n"
                                     "TC1=0301.7.1\r\nNameTC1=b\r\nDiscretInp1=2\r\n"
                                     "[TU Modbus]\r\nTU1-0=0302.07.1\r\nNameTU1-0=c\r\nCoil-0=3\r\n"));
    EditorOpeningView view;
    view.onOpen = [&] {
      e.Open();
      e.form.SetCurrentRow(1);
      e.dialogs.confirmAnswers = {true};
      e.form.RemoveController();
      ASSERT_EQ(e.cfg.Controllers.size(), 1u);
      if (c.apply)
        EXPECT_TRUE(e.ApplyAndClose());
      else
        e.form.Closed();
    };
    ASSERT_TRUE(LoadDocument(e.cfg, e.settings, doc, view));
    EXPECT_EQ(e.cfg.Controllers.size(), c.apply ? 1u : 2u);
    EXPECT_EQ(e.cfg.Map(MapKind::TC)[0].ModuleNo, 5);
    EXPECT_EQ(e.cfg.Map(MapKind::TC)[1].IsEmpty(), c.apply);
    EXPECT_EQ(e.cfg.Map(MapKind::TU)[0].IsEmpty(), c.apply);
    EXPECT_THAT(e.cfg.DeletedNsets, IsEmpty());
    EXPECT_FALSE(e.cfg.MapsPending);
    // Applied, the emptied entries differ from the file: the next save writes them.
    EXPECT_EQ(e.cfg.State.TCChanged && e.cfg.State.TUChanged, c.apply);
    EXPECT_EQ(e.cfg.State.ControllersChanged, c.apply);
  }
}

// A document read from the module: controller 05 without task file, its map entries with
// generated names.
struct ReadDocument : ListEditor {
  ReadDocument() {
    cfg.State.IsNew = false;
    cfg.State.FromModule = true;
    data.AddController(cfg, "", 5, false);
    cfg.Map(MapKind::TC)[0] = Placed(0x0101, 1, 0xFFFF, 5, "x");
    cfg.Map(MapKind::TC)[1] = Placed(0x0103, 2, 0xFFFF, 5, "y");
    cfg.Map(MapKind::TU)[0] = Placed(0x0104, 1, 0xFFFF, 5, "z");
    cfg.Map(MapKind::TIFloat)[0] = Placed(0x0F01, 2, 0xFFFF, 5, "w");
  }
};

TEST(ControllerListFormTest, AttachingTaskFileRenamesMapEntries) {
  ReadDocument e;
  e.Open();
  EXPECT_EQ(e.form.PathCell(0), "Очередь задач не введена");
  EXPECT_FALSE(e.form.AddEnabled());
  EXPECT_FALSE(e.form.Marked(0));
  e.form.AddController();  // disabled: no file is asked for
  EXPECT_EQ(e.dialogs.lastPreselected, -1);

  e.Choose(e.data.kotel);
  e.form.EnterQueue();
  EXPECT_THAT(e.dialogs.shown, IsEmpty());
  const ControllerEntry& c = e.cfg.Controllers[0];
  ASSERT_TRUE(c.Task);
  EXPECT_TRUE(c.Found);
  EXPECT_EQ(c.Nset, 5);
  EXPECT_EQ(e.form.PathCell(0), e.data.kotel);
  EXPECT_TRUE(e.form.AddEnabled());
  EXPECT_TRUE(e.form.QueueEntered());
  EXPECT_THAT(e.form.EnteredList(), ElementsAre(0));
  EXPECT_EQ(e.cfg.Map(MapKind::TC)[0].ParamName, "Котел/Сигналы котла/Авар");
  EXPECT_EQ(e.cfg.Map(MapKind::TC)[0].TaskNo, 1);
  EXPECT_EQ(e.cfg.Map(MapKind::TC)[1].ParamName, "Котел/Сигналы котла/Дверь");
  EXPECT_EQ(e.cfg.Map(MapKind::TU)[0].ParamName, "Котел/Сигналы котла/Пуск");
  EXPECT_EQ(e.cfg.Map(MapKind::TIFloat)[0].ParamName, "Котел/Система/Тмод");
  EXPECT_EQ(e.cfg.Map(MapKind::TIFloat)[0].TaskNo, 0xFFFF);

  ASSERT_TRUE(e.ApplyAndClose());
  EXPECT_TRUE(e.cfg.Controllers[0].Task);
  const DocumentState& st = e.cfg.State;
  EXPECT_TRUE(st.ControllersChanged && st.TCChanged && st.TUChanged && st.TIFloatChanged &&
              st.InputRegChanged);
}

TEST(ControllerListFormTest, ATaskFileOfAnotherControllerOrOneListedTwiceIsQuestioned) {
  ListEditor e;
  e.data.AddController(e.cfg, e.data.kotel, 5);
  e.data.AddController(e.cfg, "", 7, false);
  DbTaskFile otherFile = EditorDatabase::KotelFile(true);
  otherFile.Nset = 0x33;
  const std::string other = e.data.db.AddTaskFile("Другой.tsk", otherFile);
  e.Open();
  const std::string twice =
      "Очередь задач " + e.data.kotel +
      " уже введена для контроллера 05 (строка 1): контроллер окажется в списке дважды. Продолжить?";
  const struct {
    const char* name;
    int row;  // -1: "Добавить контроллер"
    std::string file;
    bool answer;
    std::string question;  // empty: none asked
    bool taken;
  } cases[] = {
      {"another controller's task file, No", 1, e.data.nasos, false,
       "Очередь задач " + e.data.nasos +
           " описывает контроллер 1A, а не 07: имена параметров контроллера 07 будут "
           "взяты из нее. Продолжить?",
       false},
      {"the task file of row 1 again, No", 1, e.data.kotel, false, twice, false},
      {"controller 05 added again, No", -1, e.data.kotelPartial, false,
       "Контроллер 05 уже есть в списке (строка 1): он окажется в списке дважды. Продолжить?", false},
      {"its own task file again: nothing to ask", 0, e.data.kotelPartial, false, "", true},
      {"another controller's task file, Yes", 1, e.data.nasos, true,
       "Очередь задач " + e.data.nasos +
           " описывает контроллер 1A, а не 07: имена параметров контроллера 07 будут "
           "взяты из нее. Продолжить?",
       true},
      {"a new controller: nothing to ask", -1, other, false, "", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::size_t before = e.cfg.Controllers.size();
    e.dialogs.shown.clear();
    e.dialogs.confirmAnswers = {c.answer};
    e.Choose(c.file);
    if (c.row < 0) {
      e.form.AddController();
    } else {
      e.form.SetCurrentRow(c.row);
      e.form.EnterQueue();
    }
    EXPECT_EQ(e.dialogs.shown,
              c.question.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.question});
    if (c.row < 0) {
      EXPECT_EQ(e.cfg.Controllers.size(), before + (c.taken ? 1 : 0));
    } else {
      const ControllerEntry& ce = e.cfg.Controllers[static_cast<std::size_t>(c.row)];
      EXPECT_EQ(ce.Task && ce.Task->TaskFilePath() == c.file, c.taken);
    }
  }
  EXPECT_EQ(e.cfg.Controllers[1].Nset, 7);  // attaching keeps the number
}

TEST(ControllerListFormTest, TaskFileLackingACoilParameterIsRejectedAfterRenamingDiscreteInputs) {
  ReadDocument e;
  e.Open();
  e.Choose(e.data.kotelPartial);
  e.form.EnterQueue();
  EXPECT_THAT(e.dialogs.shown, ElementsAre("Неверно введена очередь задач! Заданные параметры не найдены"));
  EXPECT_FALSE(e.cfg.Controllers[0].Task);
  EXPECT_FALSE(e.cfg.Controllers[0].Found);
  EXPECT_EQ(e.form.PathCell(0), "Очередь задач не введена");
  EXPECT_FALSE(e.form.QueueEntered());
  // Discrete Inputs were checked first and passed: renamed. Coils failed; the maps after
  // them were not reached.
  EXPECT_EQ(e.cfg.Map(MapKind::TC)[0].ParamName, "КотелНеполный/Сигналы котла/Авар");
  EXPECT_EQ(e.cfg.Map(MapKind::TU)[0].ParamName, "z");
  EXPECT_EQ(e.cfg.Map(MapKind::TIFloat)[0].ParamName, "w");
  EXPECT_FALSE(e.form.AddEnabled());
}

TEST(ControllerListFormTest, ClosingWithoutApplyTakesAttachedTaskFilesBack) {
  ReadDocument e;
  e.Open();
  e.Choose(e.data.kotel);
  e.form.EnterQueue();
  ASSERT_TRUE(e.cfg.Controllers[0].Task);
  e.form.Closed();
  EXPECT_FALSE(e.cfg.Controllers[0].Task);
  EXPECT_FALSE(e.cfg.Controllers[0].Found);
  EXPECT_THAT(e.form.EnteredList(), IsEmpty());
  EXPECT_FALSE(e.cfg.State.ControllersChanged);
  EXPECT_EQ(e.busy.busyOn, 0);  // no reload for a document read from the module
}

TEST(ControllerListFormTest, EnteredListFollowsRemovals) {
  ReadDocument e;
  e.data.AddController(e.cfg, "", 0x1A, false);
  e.Open();
  e.form.SetCurrentRow(1);
  e.Choose(e.data.nasos);
  e.form.EnterQueue();
  ASSERT_THAT(e.form.EnteredList(), ElementsAre(1));
  e.form.SetCurrentRow(0);
  e.dialogs.confirmAnswers = {true};
  e.form.RemoveController();
  EXPECT_THAT(e.form.EnteredList(), ElementsAre(0));
  e.form.Closed();
  ASSERT_EQ(e.cfg.Controllers.size(), 1u);
  EXPECT_EQ(e.cfg.Controllers[0].Nset, 0x1A);
  EXPECT_FALSE(e.cfg.Controllers[0].Task);
}

TEST(ControllerListFormTest, EnterQueueOnTheBlankRow) {
  ListEditor e;
  e.Open();
  e.form.EnterQueue();
  EXPECT_THAT(e.dialogs.shown, ElementsAre("Контроллер не задан!"));
  EXPECT_EQ(e.dialogs.lastPreselected, -1);
}

TEST(ControllerListFormTest, MissingTaskFileIsMarked) {
  ListEditor e;
  e.cfg.State.IsNew = false;
  e.cfg.State.FromFile = true;
  e.data.AddController(e.cfg, e.data.kotel, 5);
  e.data.AddController(e.cfg, e.data.nasos, 0x1A, false);
  e.Open();
  EXPECT_FALSE(e.form.Marked(0));
  EXPECT_TRUE(e.form.Marked(1));
  EXPECT_TRUE(e.form.LabelVisible());
  EXPECT_EQ(e.form.CurrentRow(), 1);
  EXPECT_TRUE(e.form.AddEnabled());
  e.Choose(e.data.nasos);
  e.form.EnterQueue();
  EXPECT_FALSE(e.form.Marked(1));
  EXPECT_FALSE(e.form.LabelVisible());
  EXPECT_TRUE(e.cfg.Controllers[1].Found);
  EXPECT_THAT(e.form.EnteredList(), IsEmpty());  // it had a task object
}

TEST(ControllerListFormTest, NetworkNumberEditing) {
  ListEditor e;
  e.data.AddController(e.cfg, e.data.kotel, 5);
  e.Open();
  ASSERT_EQ(e.form.CurrentRow(), 0);
  EXPECT_FALSE(e.form.Key(U'1'));  // "05" holds two characters already
  EXPECT_TRUE(e.form.Key(kBackspace));
  EXPECT_EQ(e.form.NsetCell(0), "0");
  EXPECT_TRUE(e.form.Key(F::kDeleteKey));
  EXPECT_EQ(e.form.NsetCell(0), "");
  EXPECT_FALSE(e.form.Key(U'g'));
  EXPECT_TRUE(e.form.Key(U'ф'));  // the key of A in the Russian layout
  EXPECT_EQ(e.form.NsetCell(0), "A");

  // Empty: the cell cannot be left.
  e.form.Key(F::kDeleteKey);
  EXPECT_FALSE(e.form.SetCurrentRow(1));
  EXPECT_THAT(e.dialogs.shown, ElementsAre("Введите значение!"));
  EXPECT_EQ(e.form.CurrentRow(), 0);
  // The filter lets "." and blanks through; such a text is no number.
  e.Type(U"1.");
  EXPECT_FALSE(e.form.SetCurrentRow(1));
  EXPECT_EQ(e.dialogs.Last(), F::kNotHexMessage);
  EXPECT_EQ(e.cfg.Controllers[0].Nset, 5);
  EXPECT_FALSE(e.form.Changed());

  e.Type(
      U"\x7F"
      U"1a");
  EXPECT_TRUE(e.form.SetCurrentRow(1));
  EXPECT_EQ(e.cfg.Controllers[0].Nset, 0x1A);
  EXPECT_EQ(e.form.NsetCell(0), "1A");
  EXPECT_TRUE(e.form.Changed());
  // The blank row's cell takes no keys.
  EXPECT_FALSE(e.form.Key(U'1'));
}

TEST(ControllerListFormTest, ClosingWithChangesNotAppliedAsksToApplyThem) {
  using A = Dialogs::Answer;
  enum class Change { None, Number, Typed, Emptied };
  const struct {
    const char* name;
    Change change;
    std::optional<A> answer;  // none: nothing is asked
    bool closes;
    int nsetAfter;  // the controller's network number once the editor has closed (or not)
    bool controllersChanged;
  } cases[] = {
      {"no change", Change::None, std::nullopt, true, 5, false},
      {"Отмена", Change::Number, A::Cancel, false, 7, false},
      {"Нет: the list as it was", Change::Number, A::No, true, 5, false},
      {"Да", Change::Number, A::Yes, true, 7, true},
      {"a number typed, not left, Да", Change::Typed, A::Yes, true, 7, true},
      {"a number typed, not left, Нет", Change::Typed, A::No, true, 5, false},
      {"Да refused: the cell is empty", Change::Emptied, A::Yes, false, 5, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ListEditor e;
    e.data.AddController(e.cfg, e.data.kotel, 5);
    e.Open();
    if (c.change != Change::None) {
      ASSERT_TRUE(e.form.SetCurrentRow(0));
      e.Type(c.change == Change::Emptied ? U"\x7F"
                                         : U"\x7F"
                                           U"7");
    }
    if (c.change == Change::Number) {
      ASSERT_TRUE(e.form.FinishEdit());
    }
    e.dialogs.shown.clear();
    if (c.answer) e.dialogs.askAnswers = {*c.answer};
    const bool closes = e.form.CloseRequested();
    EXPECT_EQ(closes, c.closes);
    if (closes) e.form.Closed();
    if (c.answer) {
      ASSERT_FALSE(e.dialogs.shown.empty());
      EXPECT_EQ(e.dialogs.shown[0], F::kApplyQuestion);
    } else {
      EXPECT_THAT(e.dialogs.shown, IsEmpty());
    }
    ASSERT_EQ(e.cfg.Controllers.size(), 1u);
    EXPECT_EQ(e.cfg.Controllers[0].Nset, c.nsetAfter);
    EXPECT_EQ(e.cfg.State.ControllersChanged, c.controllersChanged);
  }
}

TEST(ControllerListFormTest, NetworkNumberEditLeavesTheMapsAlone) {
  ListEditor e;
  e.data.AddController(e.cfg, e.data.kotel, 5);
  // Entries of controller 05 in every map, and the maps as they were.
  e.cfg.Map(MapKind::TC)[0] = Placed(0x0101, 1);
  e.cfg.Map(MapKind::TU)[2] = Placed(0x0102, 3);
  e.cfg.Map(MapKind::TIFloat)[1] = Placed(0x0201, 2, 2);
  e.cfg.Map(MapKind::InputReg)[5] = Placed(0x0202, 8, 2);
  std::vector<RegisterMap> before;
  for (MapKind k : kAllMapKinds) before.push_back(e.cfg.Map(k));
  e.Open();
  e.Type(
      U"\x7F"
      U"1B");
  ASSERT_TRUE(e.ApplyAndClose());
  EXPECT_EQ(e.cfg.Controllers[0].Nset, 0x1B);
  EXPECT_TRUE(e.cfg.State.ControllersChanged);
  for (MapKind k : kAllMapKinds) {
    EXPECT_EQ(e.cfg.Map(k), before[static_cast<std::size_t>(k)]) << MapSection(k);
    EXPECT_FALSE(e.cfg.MapChanged(k)) << MapSection(k);
  }
}

}  // namespace
}  // namespace r770::test
