#include "compare/compare_form.h"

#include <gtest/gtest.h>

#include "compare_fixture.h"
#include "document/document_file.h"
#include "fake_dialogs.h"
#include "temp_dir.h"

namespace r770::test {
namespace {

using Kind = CompareRow::Kind;

class CompareFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FillCompared(doc);
    module.Hold(doc);
  }
  std::vector<std::string> Titles() const {
    std::vector<std::string> out;
    for (const CompareRow& r : form.Rows())
      if (r.kind == Kind::Title) out.push_back(r.where);
    return out;
  }
  // The rows under a group's title.
  std::vector<CompareRow> Group(const std::string& title) const {
    std::vector<CompareRow> out;
    bool in = false;
    for (const CompareRow& r : form.Rows()) {
      if (r.kind == Kind::Title)
        in = r.where == title;
      else if (in)
        out.push_back(r);
    }
    return out;
  }

  Configuration doc;
  ProgramSettings settings;
  FakeDialogs dialogs;
  FakeModule module{doc};
  CompareForm form{doc, settings, dialogs};
};

TEST_F(CompareFormTest, ModuleThatHoldsTheDocumentReadsOneWord) {
  ASSERT_TRUE(form.StartWithModule(module));
  EXPECT_EQ(module.reads, 1);
  EXPECT_EQ(form.Caption(), kCompareModuleCaption);
  EXPECT_EQ(form.Columns(), (std::array<std::string, 3>{"Где", "Документ", "Модуль"}));
  EXPECT_EQ(Titles(), (std::vector<std::string>{"Общие настройки", "Контроллеры", "Coils", "Discrete Inputs",
                                                "Holding Registers", "Input Registers"}));
  EXPECT_EQ(Group("Контроллеры"), (std::vector<CompareRow>{{Kind::Note, kCompareNoControllers, {}, {}}}));
  EXPECT_EQ(Group("Coils"), (std::vector<CompareRow>{{Kind::Note, kCompareEqual, {}, {}}}));
  EXPECT_EQ(form.Status(), "Одинаково");
  EXPECT_TRUE(form.WriteVisible());
  EXPECT_TRUE(form.TakeVisible());
  EXPECT_FALSE(form.TakeEnabled());  // nothing to take
  EXPECT_FALSE(doc.AnyChanged());
}

TEST_F(CompareFormTest, DifferencesAreListedUnderTheirGroups) {
  module.common.AdrExt = 0x09;
  module.maps[static_cast<std::size_t>(MapKind::TIFloat)][1].ModbusAddr = 300;
  ASSERT_TRUE(form.StartWithModule(module));
  EXPECT_EQ(form.Status(), "Различий: 2");
  EXPECT_EQ(Group("Общие настройки"),
            (std::vector<CompareRow>{{Kind::Difference, "Адрес Modbus", "02", "09"}}));
  EXPECT_EQ(
      Group("Holding Registers"),
      (std::vector<CompareRow>{{Kind::Difference, "строка 2",
                                "адрес 102, модуль 07, параметр 0102, Параметр 1 карты TIFloat Modbus",
                                "адрес 300, модуль 07, параметр 0102, Параметр 1 карты TIFloat Modbus"}}));
  // Printed as shown: a title row, then its rows.
  const auto printed = form.PrintRows();
  ASSERT_EQ(printed.size(), form.Rows().size());
  EXPECT_EQ(printed[0], (std::vector<std::string>{"Общие настройки", "", ""}));
  EXPECT_EQ(printed[1], (std::vector<std::string>{"Адрес Modbus", "02", "09"}));
}

TEST_F(CompareFormTest, AFailedReadOpensNoWindow) {
  module.failReads = true;
  EXPECT_FALSE(form.StartWithModule(module));
}

TEST_F(CompareFormTest, WriteRunsTheWriteAndComparesWhatTheModuleHoldsThen) {
  module.common.trepeat = 99;
  ASSERT_TRUE(form.StartWithModule(module));
  ASSERT_FALSE(form.Equal());
  // While the write runs the window refuses a second command and closing.
  module.duringExchange = [&] {
    EXPECT_TRUE(form.Running());
    EXPECT_FALSE(form.RequestClose());
    EXPECT_FALSE(form.WriteEnabled());
    EXPECT_FALSE(form.TakeEnabled());
    form.WritePressed();
    form.AbortPressed();
  };
  form.WritePressed();
  EXPECT_EQ(module.writes, 1);
  EXPECT_EQ(module.reads, 2);
  EXPECT_EQ(module.aborts, 2);  // once during the write, once during the read back
  EXPECT_TRUE(form.Equal());
  EXPECT_EQ(form.Status(), "Одинаково");
  EXPECT_TRUE(form.RequestClose());
  EXPECT_FALSE(doc.AnyChanged());  // a write changes nothing in the document
}

TEST_F(CompareFormTest, FailedWriteOrReadBackKeepsTheTable) {
  module.common.trepeat = 99;
  ASSERT_TRUE(form.StartWithModule(module));
  const auto rows = form.Rows();
  module.failWrites = true;
  form.WritePressed();
  EXPECT_EQ(module.reads, 1);
  EXPECT_EQ(form.Status(), "Различий: 1");
  module.failWrites = false;
  module.failReads = true;
  form.WritePressed();
  EXPECT_EQ(form.Rows(), rows);
  EXPECT_EQ(form.Status(), kCompareStale);
}

TEST_F(CompareFormTest, TakeAsksThenReplacesTheDocumentAndMarksItChanged) {
  module.common.twaitCAN = 75;
  module.maps[static_cast<std::size_t>(MapKind::InputReg)][0] = MapEntry{};
  ASSERT_TRUE(form.StartWithModule(module));
  ASSERT_TRUE(form.TakeEnabled());

  dialogs.confirmAnswers = {false};
  form.TakePressed();
  EXPECT_EQ(dialogs.Last(), kCompareTakeQuestion);
  EXPECT_FALSE(form.DocumentChanged());
  EXPECT_EQ(doc.Common.twaitCAN, 100);

  dialogs.confirmAnswers = {true};
  form.TakePressed();
  EXPECT_TRUE(form.DocumentChanged());
  EXPECT_EQ(doc.Common.twaitCAN, 75);
  EXPECT_TRUE(doc.Map(MapKind::InputReg)[0].IsEmpty());
  EXPECT_TRUE(doc.State.CommonChanged);
  EXPECT_TRUE(doc.State.InputRegChanged);
  EXPECT_TRUE(form.Equal());
  EXPECT_EQ(form.Status(), kCompareTaken);
  EXPECT_EQ(module.writes, 0);
}

TEST_F(CompareFormTest, FileIsChosenLoadedAndComparedWithoutTake) {
  TempDir dir;
  const std::string path = dir.File("other.bmt");
  {
    Configuration other;
    FillCompared(other);
    other.Controllers.clear();  // no controllers: the file is loaded as read from a module
    other.Common.AdrPort = 8080;
    other.SetAllChanged();
    struct : DocumentView {
      void ProgressStep() override {}
      void PumpEvents() override {}
      void Information(const std::string& t) override { ADD_FAILURE() << t; }
      void SetStatus(const std::string&) override {}
      void OpenControllerEditor() override {}
    } view;
    ASSERT_TRUE(SaveDocument(other, path, view));
  }

  dialogs.fileAnswers = {std::nullopt};
  EXPECT_FALSE(form.StartWithFile(dir.path(), nullptr));  // cancelled
  EXPECT_EQ(dialogs.lastStart, dir.path());
  ASSERT_FALSE(dialogs.lastFilters.empty());
  EXPECT_EQ(dialogs.lastFilters[0].pattern, "*.bmt");

  dialogs.fileAnswers = {dir.File("missing.bmt")};
  EXPECT_FALSE(form.StartWithFile(dir.path(), nullptr));
  EXPECT_EQ(dialogs.Last(), "Файл " + dir.File("missing.bmt") + " не найден");

  dialogs.fileAnswers = {path};
  ASSERT_TRUE(form.StartWithFile(dir.path(), &module));
  EXPECT_EQ(form.Caption(), "Сравнение с файлом " + path);
  EXPECT_EQ(form.Columns()[2], "Файл");
  EXPECT_FALSE(form.TakeVisible());
  EXPECT_TRUE(form.WriteVisible());
  EXPECT_EQ(Group("Общие настройки"),
            (std::vector<CompareRow>{{Kind::Difference, "Адрес порта", "502", "8080"}}));
  // The file has no controller list of its own.
  EXPECT_EQ(Group("Контроллеры"), (std::vector<CompareRow>{{Kind::Note, kCompareNoControllers, {}, {}}}));

  form.WritePressed();  // the write goes; the comparison with the file stands
  EXPECT_EQ(module.writes, 1);
  EXPECT_EQ(module.reads, 0);
  EXPECT_EQ(form.Status(), "Запись завершена");
}

}  // namespace
}  // namespace r770::test
