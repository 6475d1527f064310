// Fast editing of the register maps: auto-advance, bulk addresses, several rows deleted,
// copied and pasted, CSV import and export, undo and redo.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "common/file_io.h"
#include "editors/map_lines.h"
#include "map_editor_fixture.h"

namespace r770::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// Places the selected tree node by double clicks, count times in a row.
void DoubleClickRun(MapEditor& e, const std::string& label, int count) {
  const int node = NodeByLabel(e.form.Tree(), label);
  ASSERT_GE(node, 0) << label;
  for (int i = 0; i < count; ++i) e.form.NodeDoubleClicked(node);
}

std::vector<std::uint16_t> Addresses(const RegisterMap& m, int from, int n) {
  std::vector<std::uint16_t> out;
  for (int i = from; i < from + n; ++i) out.push_back(m[static_cast<std::size_t>(i)].ModbusAddr);
  return out;
}

TEST(MapFastEditTest, AutoAdvancePlacesARunWithOneDoubleClickEach) {
  struct Case {
    MapKind kind;
    std::uint16_t first, step;
  } cases[] = {
      {MapKind::TU, 0, 1}, {MapKind::TC, 10, 1}, {MapKind::TIFloat, 100, 2}, {MapKind::InputReg, 7, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(MapTraits(c.kind).Caption);
    MapEditor e(c.kind);
    e.Open();
    ASSERT_TRUE(e.EnterAddress(0, std::to_string(c.first)));
    DoubleClickRun(e, e.Leaf(), 16);
    EXPECT_THAT(e.dialogs.shown, IsEmpty());
    for (int i = 0; i < 16; ++i) {
      const MapEntry& w = e.form.Working()[static_cast<std::size_t>(i)];
      EXPECT_EQ(w.ModbusAddr, c.first + i * c.step) << i;
      EXPECT_EQ(e.form.AddressCell(i), std::to_string(c.first + i * c.step)) << i;
      EXPECT_FALSE(w.IsEmpty()) << i;
    }
    // The cursor stays on the last row of the 16-row Coils map, else is on the next row,
    // which is offered the next address but holds nothing until a placement takes it.
    if (c.kind == MapKind::TU) {
      EXPECT_EQ(e.form.CurrentRow(), 15);
      EXPECT_FALSE(e.form.Proposal(15));
    } else {
      EXPECT_EQ(e.form.CurrentRow(), 16);
      EXPECT_EQ(e.form.Proposal(16), c.first + 16 * c.step);
      EXPECT_EQ(e.form.AddressCell(16), "нет");
    }
    EXPECT_TRUE(e.form.Apply()) << e.dialogs.Last();
  }
}

TEST(MapFastEditTest, TheProposalSkipsTakenAddressesAndGivesWayToTyping) {
  MapEditor e(MapKind::TIFloat);
  e.cfg.Map(MapKind::TIFloat)[10] = Placed(0x0202, 102, 2);
  e.Open();
  ASSERT_TRUE(e.EnterAddress(0, "100"));
  DoubleClickRun(e, "Давл (№ 0201)", 1);
  EXPECT_EQ(e.form.Proposal(1), 104);  // 102 is row 11's
  // A typed address wins over the proposal.
  e.Type("200");
  EXPECT_FALSE(e.form.Proposal(1));
  DoubleClickRun(e, "Давл (№ 0201)", 1);
  EXPECT_EQ(e.form.Working()[1].ModbusAddr, 200);
  // A placement refused for want of a parameter takes no address from the proposal.
  EXPECT_EQ(e.form.Proposal(2), 202);
  e.form.SelectNode(NodeByLabel(e.form.Tree(), "Котел"));
  e.form.Place();
  EXPECT_EQ(e.dialogs.Last(), "Параметр не выбран!");
  EXPECT_EQ(e.form.AddressCell(2), "нет");
  EXPECT_TRUE(e.form.Working()[2].IsEmpty());
  // A row that is not empty is not offered an address.
  e.cfg.Map(MapKind::TIFloat)[11] = Placed(0x0203, 110, 2);
  e.Open();
  ASSERT_TRUE(e.EnterAddress(10, "102"));
  DoubleClickRun(e, "Давл (№ 0201)", 1);
  EXPECT_EQ(e.form.CurrentRow(), 11);
  EXPECT_FALSE(e.form.Proposal(11));
}

TEST(MapFastEditTest, AssignAddressesToSelectedRows) {
  MapEditor e(MapKind::TIFloat);
  RegisterMap& map = e.cfg.Map(MapKind::TIFloat);
  map[0] = Placed(0x0201, 10, 2);
  map[1] = Placed(0x0202, 30, 2);
  map[3] = Placed(0x0203, 50, 2);
  map[5] = Placed(0x0201, 204, 2);
  e.Open();
  EXPECT_EQ(e.form.ProposedStart({0, 1, 2, 3}), "10");

  // Row 3 is empty and keeps nothing; the others go from 200 in steps of 2, and 204 is taken by row 6.
  EXPECT_FALSE(e.form.AssignAddresses({0, 1, 2, 3}, "200"));
  EXPECT_EQ(e.dialogs.Last(), "Адреса не назначены:\nстрока 4: адрес 204 уже занят строкой 6");
  EXPECT_THAT(Addresses(e.form.Working(), 0, 4), ElementsAre(10, 30, 0xFFFF, 50));
  // Out of range and of the other parity: refused as a whole.
  EXPECT_FALSE(e.form.AssignAddresses({0, 1, 3}, "65532"));
  EXPECT_EQ(e.dialogs.Last(), "Адреса не назначены:\nстрока 4: адрес 65536 больше 65535");
  EXPECT_FALSE(e.form.AssignAddresses({0, 1, 3}, "301"));
  EXPECT_EQ(e.dialogs.Last(), "Нумерация Holding Registers должна быть через 1!");
  EXPECT_FALSE(e.form.AssignAddresses({0}, "x"));
  EXPECT_EQ(e.dialogs.Last(), "Начальный адрес должен быть числом от 0 до 65535.");

  ASSERT_TRUE(e.form.AssignAddresses({3, 0, 1, 2}, "300"));
  EXPECT_THAT(Addresses(e.form.Working(), 0, 4), ElementsAre(300, 302, 0xFFFF, 304));
  EXPECT_EQ(e.form.AddressCell(3), "304");
  EXPECT_EQ(e.form.AddressCell(2), "нет");
  EXPECT_TRUE(e.form.Apply());
  EXPECT_EQ(e.cfg.Map(MapKind::TIFloat)[3].ModbusAddr, 304);

  // Coils go in steps of 1, and selecting only every entry frees the start's parity.
  MapEditor c(MapKind::TU);
  c.cfg.Map(MapKind::TU)[0] = Placed(0x0101, 0xFFFF);
  c.cfg.Map(MapKind::TU)[1] = Placed(0x0102, 0xFFFF);
  c.Open();
  ASSERT_TRUE(c.form.AssignAddresses({0, 1}, "7"));
  EXPECT_THAT(Addresses(c.form.Working(), 0, 2), ElementsAre(7, 8));
  EXPECT_FALSE(c.form.AssignAddresses({2, 3}, "1"));
  EXPECT_EQ(c.dialogs.Last(), "В выделенных строках нет параметров: назначать адреса некому.");
}

TEST(MapFastEditTest, DeleteOfSeveralRowsAsksOnce) {
  MapEditor e(MapKind::TC);
  for (int i = 0; i < 5; ++i)
    e.cfg.Map(MapKind::TC)[static_cast<std::size_t>(i)] = Placed(0x0101, static_cast<std::uint16_t>(i));
  e.Open();
  e.form.DeleteRows({6, 0, 1, 2});  // answered No
  EXPECT_THAT(e.dialogs.shown, ElementsAre("Удалить строки 1-3, 7?"));
  EXPECT_FALSE(e.form.Working()[0].IsEmpty());
  e.dialogs.confirmAnswers = {true};
  e.form.DeleteRows({0, 1, 2, 6});
  EXPECT_EQ(e.dialogs.shown.size(), 2u);
  for (int i : {0, 1, 2}) {
    EXPECT_TRUE(e.form.Working()[static_cast<std::size_t>(i)] == MapEntry{}) << i;
    EXPECT_EQ(e.form.AddressCell(i), "нет");
  }
  EXPECT_FALSE(e.form.Working()[3].IsEmpty());
  // One row is asked about as the context menu asks.
  e.dialogs.confirmAnswers = {true};
  e.form.DeleteRows({4});
  EXPECT_EQ(e.dialogs.Last(), "Удалить 5 строку?");
  EXPECT_TRUE(e.form.Working()[4].IsEmpty());
}

TEST(MapFastEditTest, CopyAndPasteBetweenMapsOfOneKind) {
  MapEditor hr(MapKind::TIFloat);
  hr.cfg.Map(MapKind::TIFloat)[0] = Placed(0x0201, 100, 2, 5, "Давл (№ 0201)/ИзмК(Котел)");
  hr.cfg.Map(MapKind::TIFloat)[2] = Placed(0x0203, 104, 2, 5, "Расход\tгаза \"сухого\"");
  hr.Open();
  const std::string text = hr.form.CopyText({0, 1, 2});
  EXPECT_EQ(text,
            "100\t05\t0201\t2\tДавл (№ 0201)/ИзмК(Котел)\n"
            "\n"
            "104\t05\t0203\t2\t\"Расход\tгаза \"\"сухого\"\"\"\n");

  MapEditor ir(MapKind::InputReg);
  ir.cfg.Map(MapKind::InputReg)[6] = Placed(0x0202, 556, 2, 5, "Темп");
  ir.Open();
  ASSERT_TRUE(ir.form.SetCurrentCell(5, RegisterMapForm::kColAddress));
  ASSERT_TRUE(ir.form.Paste(text)) << ir.dialogs.Last();
  EXPECT_EQ(ir.form.Working()[5], hr.form.Working()[0]);
  EXPECT_EQ(ir.form.Working()[6].ModbusAddr, 556);  // an empty line leaves its row alone
  EXPECT_EQ(ir.form.Working()[7], hr.form.Working()[2]);
  EXPECT_EQ(ir.form.AddressCell(7), "104");
  EXPECT_EQ(ir.form.Tooltip(7), "05 0203");
}

TEST(MapFastEditTest, PasteFromASpreadsheetIsCheckedLineByLine) {
  MapEditor e(MapKind::TIFloat);
  e.cfg.Map(MapKind::TIFloat)[20] = Placed(0x0201, 104, 2);
  e.Open();
  ASSERT_TRUE(e.EnterAddress(0, "100"));  // parity even from now on
  ASSERT_TRUE(e.form.SetCurrentCell(1, RegisterMapForm::kColAddress));
  const std::string sheet =
      "Адрес\tСетевой номер\tПараметр\tЗадача\tИмя\r\n"  // a title line takes no row
      "102\t05\t0201\t2\t\r\n"
      "104\t05\t0202\t2\tТемпература\r\n"
      "106\t1A\t0301\t1\tАвария\r\n"
      "107\t05\t0202\t2\t\r\n"
      "108\t09\t0202\t2\t\r\n"
      "\t05\t0202\t2\t\r\n"
      "102\t05\t0203\t2\t\r\n"
      "70000\tXY\t0203\tz\t\r\n";
  EXPECT_FALSE(e.form.Paste(sheet));
  EXPECT_EQ(e.dialogs.Last(),
            "Вставка не выполнена:\n"
            "строка 3: адрес 104 уже занят строкой 21\n"
            "строка 4: параметр 0301 задачи 1 модуля 1A в базе не предлагается\n"
            "строка 5: адрес 107 нарушает нумерацию через 1 (нужен чётный)\n"
            "строка 6: модуль 09 отсутствует в списке контроллеров\n"
            "строка 7: не задан адрес\n"
            "строка 8: адрес 102 повторяет адрес строки 2\n"
            "строка 9: адрес 70000 больше 65535\n"
            "строка 9: сетевой номер \"XY\" неверен (две шестнадцатеричные цифры, не FF)\n"
            "строка 9: номер задачи \"z\" неверен");
  for (int i = 1; i < 10; ++i) EXPECT_TRUE(e.form.Working()[static_cast<std::size_t>(i)].IsEmpty()) << i;
  EXPECT_EQ(e.form.AddressCell(1), "нет");

  // The good line alone: a name left empty is made as "<< Поместить" makes it.
  ASSERT_TRUE(e.form.Paste("102\t05\t0201\t2\t\n"));
  EXPECT_EQ(e.form.Working()[1].ParamName, "Давл (№ 0201)/ИзмК(Котел)");
  EXPECT_EQ(e.form.Working()[1].ModbusAddr, 102);
  // Past the end of the table.
  ASSERT_TRUE(e.form.SetCurrentCell(63, RegisterMapForm::kColAddress));
  EXPECT_FALSE(e.form.Paste("200\t05\t0201\t2\t\n202\t05\t0201\t2\t\n"));
  EXPECT_EQ(e.dialogs.Last(),
            "Вставка не выполнена:\nстрока 2: строка таблицы 65 за концом таблицы (строк в таблице: 64)");
}

TEST(MapFastEditTest, UndoAndRedoEveryChange) {
  MapEditor e(MapKind::TIFloat);
  e.cfg.Map(MapKind::TIFloat)[4] = Placed(0x0203, 40, 2, 5, "Расход");
  e.Open();
  const RegisterMap opened = e.form.Working();
  EXPECT_FALSE(e.form.CanUndo());

  ASSERT_TRUE(e.EnterAddress(0, "10"));   // 1: typed address
  DoubleClickRun(e, "Давл (№ 0201)", 2);  // 2, 3: two placements
  e.dialogs.confirmAnswers = {true};
  e.form.DeleteRows({4});                             // 4: a row deleted
  ASSERT_TRUE(e.form.AssignAddresses({0, 1}, "20"));  // 5: bulk addresses
  ASSERT_TRUE(e.form.SetCurrentCell(9, RegisterMapForm::kColAddress));
  ASSERT_TRUE(e.form.Paste("50\t05\t0202\t2\tТ\n"));  // 6: a paste
  const RegisterMap done = e.form.Working();

  // Typing not yet checked goes first, without a command of its own.
  ASSERT_TRUE(e.form.SetCurrentCell(12, RegisterMapForm::kColAddress));
  e.Type("9");
  e.form.Undo();
  EXPECT_EQ(e.form.AddressCell(12), "нет");
  EXPECT_EQ(e.form.Working(), done);

  int undone = 0;
  while (e.form.CanUndo()) {
    e.form.Undo();
    ++undone;
  }
  EXPECT_EQ(undone, 6);
  EXPECT_EQ(e.form.Working(), opened);
  EXPECT_EQ(e.form.AddressCell(0), "нет");
  EXPECT_EQ(e.form.AddressCell(4), "40");
  EXPECT_EQ(e.form.CurrentParity(), RegisterMapForm::Parity::Even);
  EXPECT_FALSE(e.form.Changed());

  for (int i = 0; i < 6; ++i) e.form.Redo();
  EXPECT_FALSE(e.form.CanRedo());
  EXPECT_EQ(e.form.Working(), done);
  EXPECT_EQ(e.form.ParamCell(9), "Т");

  // A new change after an undo drops what could be done again.
  e.form.Undo();
  ASSERT_TRUE(e.EnterAddress(30, "60"));
  EXPECT_FALSE(e.form.CanRedo());

  // Undoing everything leaves the map and its change flag as they were.
  while (e.form.CanUndo()) e.form.Undo();
  EXPECT_TRUE(e.form.Apply());
  EXPECT_EQ(e.cfg.Map(MapKind::TIFloat), opened);
  EXPECT_FALSE(e.cfg.State.TIFloatChanged);
}

TEST(MapFastEditTest, TypedNamesUndoAsOneCommandPerCell) {
  MapEditor e(MapKind::TC);
  e.cfg.Map(MapKind::TC)[0] = Placed(0x0101, 3, 1, 5, "А");
  e.Open();
  ASSERT_TRUE(e.form.SetCurrentCell(0, RegisterMapForm::kColParam));
  for (char32_t k : std::u32string(U"бв")) ASSERT_TRUE(e.form.Key(k));
  ASSERT_TRUE(e.form.SetCurrentCell(1, RegisterMapForm::kColAddress));
  EXPECT_EQ(e.form.Working()[0].ParamName, "Абв");
  e.form.Undo();
  EXPECT_EQ(e.form.Working()[0].ParamName, "А");
  EXPECT_EQ(e.form.ParamCell(0), "А");
  EXPECT_FALSE(e.form.CanUndo());
}

TEST(MapFastEditTest, CsvExportAndImportOfOneMap) {
  MapEditor e(MapKind::TIFloat);
  RegisterMap& map = e.cfg.Map(MapKind::TIFloat);
  map[0] = Placed(0x0201, 100, 2, 5, "Давление, \"пар\"");
  map[63] = Placed(0x0202, 102, 2, 5, "Температура");
  map[10] = Placed(0x0F01, 104, 0xFFFF, 5, "Тмод");
  e.Open();
  const std::string csvPath = e.data.dir.File("hr");
  e.dialogs.fileAnswers = {csvPath};
  ASSERT_TRUE(e.form.ExportCsv());
  std::string bytes;
  ASSERT_EQ(ReadRegularFile(csvPath + ".csv", &bytes), "");  // ".csv" added to a name without one
  EXPECT_EQ(bytes,
            "map,row,address,module,param,task,name\r\n"
            "hr,1,100,05,0201,2,\"Давление, \"\"пар\"\"\"\r\n"
            "hr,11,104,05,0F01,-1,Тмод\r\n"
            "hr,64,102,05,0202,2,Температура\r\n");
  ASSERT_EQ(e.dialogs.lastFilters.size(), 2u);
  EXPECT_EQ(e.dialogs.lastFilters[0].pattern, "*.csv");

  // Into an empty editor: the same working copy, as one command.
  MapEditor other(MapKind::TIFloat);
  other.cfg.Map(MapKind::TIFloat)[5] = Placed(0x0203, 110, 2);
  other.Open();
  other.dialogs.fileAnswers = {csvPath + ".csv"};
  ASSERT_TRUE(other.form.ImportCsv()) << other.dialogs.Last();
  EXPECT_EQ(other.form.Working(), e.form.Working());
  EXPECT_EQ(other.form.AddressCell(5), "нет");
  other.form.Undo();
  EXPECT_EQ(other.form.Working()[5].ModbusAddr, 110);
  EXPECT_TRUE(other.form.Working()[0].IsEmpty());

  // A file with faults changes nothing and names its lines.
  WriteFileAtomically(csvPath + "2.csv",
                      "map;row;address;module;param;task;name\r\n"
                      "hr;1;100;05;0201;2;Давление\r\n"
                      "hr;1;102;05;0202;2;Темп\r\n"
                      "coils;1;5;05;0101;1;skipped\r\n"
                      "hr;2;103;05;0202;2;Темп\r\n"
                      "hr;3;108;05;0202\r\n"
                      "xx;4;110;05;0202;2;a\r\n");
  other.dialogs.fileAnswers = {csvPath + "2.csv"};
  EXPECT_FALSE(other.form.ImportCsv());
  EXPECT_EQ(other.dialogs.Last(), "Импорт не выполнен (" + csvPath +
                                      "2.csv):\n"
                                      "строка 3: строка таблицы 1 уже задана в строке 2\n"
                                      "строка 5: адрес 103 нарушает нумерацию через 1 (нужен чётный)\n"
                                      "строка 6: полей 5, а нужно 7\n"
                                      "строка 7: неизвестная карта \"xx\" (coils, di, hr, ir)");
  EXPECT_EQ(other.form.Working()[5].ModbusAddr, 110);
}

TEST(MapLinesTest, RowListsAndTitleLines) {
  EXPECT_EQ(RowListText({4, 0, 1, 2, 2, 9, 10}), "1-3, 5, 10-11");
  EXPECT_EQ(RowListText({7}), "8");
  // A spreadsheet's quoted field may hold a line break; the title line takes no row.
  const std::vector<MapLine> lines =
      ParseClipboardText("Адрес\tN\tP\tT\tИмя\n\n1\t05\t0101\t1\t\"а\nб\"\n2\t05\n", 3);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].Row, 4);
  EXPECT_EQ(lines[0].Line, 3);
  EXPECT_EQ(lines[0].Name, "а\nб");
  EXPECT_EQ(lines[1].Row, 5);
  EXPECT_EQ(lines[1].Line, 5);
  EXPECT_EQ(lines[1].Param, "");
  // Text in code page 1251 reads as such.
  const std::vector<MapLine> cp = ParseClipboardText("1\t05\t0101\t1\t\xC8\xEC\xFF\n", 0);
  ASSERT_EQ(cp.size(), 1u);
  EXPECT_EQ(cp[0].Name, "Имя");
}

TEST(MapFastEditTest, FindInTheTreeAndRememberedOpenNodes) {
  MapEditor e(MapKind::TU);
  e.Open();
  const ParamTree& tree = e.form.Tree();
  auto kept = [&](const std::string& text) {
    std::vector<std::string> labels;
    const std::vector<bool> keep = FilterTree(tree, text);
    for (std::size_t i = 0; i < keep.size(); ++i)
      if (keep[i]) labels.push_back(tree.Nodes()[i].Label);
    return labels;
  };
  // By name, whatever the case, and by number; the nodes above a match stay.
  EXPECT_THAT(kept("дверь"), ElementsAre("Котел", "СигК", "Дверь (№ 0103)"));
  EXPECT_THAT(kept("0302"), ElementsAre("Насос", "СигН", "РбН (№ 0302)"));
  // A matching task keeps its parameters.
  EXPECT_EQ(kept("СигН").size(), 4u);
  EXPECT_EQ(kept("  ").size(), tree.Nodes().size());
  EXPECT_THAT(kept("нет такого"), IsEmpty());

  // A node opened by the user is open again on the next opening; one closed is not.
  const int pump = NodeByLabel(tree, "Насос");
  const int pumpTask = NodeByLabel(tree, "СигН");
  e.form.NodeExpanded(pump, true);
  e.form.NodeExpanded(pumpTask, true);
  e.form.NodeExpanded(pumpTask, false);
  e.Open();
  EXPECT_THAT(e.form.ExpandedNodes(), testing::Contains(NodeByLabel(e.form.Tree(), "Насос")));
  EXPECT_THAT(e.form.ExpandedNodes(), testing::Not(testing::Contains(NodeByLabel(e.form.Tree(), "СигН"))));
}

}  // namespace
}  // namespace r770::test
