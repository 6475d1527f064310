#include "editors/register_map_form.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "common/codec.h"
#include "common/key_filter.h"
#include "common/number_forms.h"
#include "map_editor_fixture.h"

namespace r770::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr MapKind kKinds[] = {MapKind::TU, MapKind::TC, MapKind::TIFloat, MapKind::InputReg};

TEST(ReadAddressTextTest, CutsFromTheFirstN) {
  struct Case {
    const char* text;
    AddressReading::Kind kind;
    std::uint32_t value;
  } cases[] = {
      {"12нет", AddressReading::Number, 12},
      {"7н", AddressReading::Number, 7},
      {"нет", AddressReading::Empty, 0},
      {"", AddressReading::Empty, 0},
      {"65535", AddressReading::Number, 65535},
      {"65536", AddressReading::TooLarge, 0},
      {"99999999999999", AddressReading::TooLarge, 0},
      {"нет12", AddressReading::NotNumber, 0},
  };
  for (const Case& c : cases) {
    AddressReading r = ReadAddressText(c.text);
    EXPECT_EQ(r.kind, c.kind) << c.text;
    EXPECT_EQ(r.value, c.value) << c.text;
  }
}

TEST(RegisterMapFormTest, ViewOfEachEditor) {
  struct Case {
    MapKind kind;
    const char* className;
    const char* caption;
    int rows;
    const char* addressTitle;
    const char* paramTitle;
  } cases[] = {
      {MapKind::TU, "TFModbusTU", "Coils", 16, "Номера регистров Modbus (Coil)", "Параметр"},
      {MapKind::TC, "TFModbusTC", "Discret Inputs", 128, "Адрес Modbus Discret Inputs", "Параметр"},
      {MapKind::TIFloat, "TFTIFloat", "Holding Registers", 64, "Адрес Modbus Holding Registers", "Параметры"},
      {MapKind::InputReg, "TFInputReg", "Input registers", 64, "Адрес Modbus Input Registers", "Параметры"},
  };
  for (const Case& c : cases) {
    MapEditor e(c.kind);
    e.cfg.Map(c.kind)[1] = Placed(0x0F01, 40, static_cast<std::uint16_t>(-1));
    e.Open();
    const RegisterMapForm& f = e.form;
    EXPECT_STREQ(f.Traits().ClassName, c.className);
    EXPECT_STREQ(f.Traits().Caption, c.caption);
    EXPECT_STREQ(f.Traits().AddressTitle, c.addressTitle);
    EXPECT_STREQ(f.Traits().ParamTitle, c.paramTitle);
    ASSERT_EQ(f.RowCount(), c.rows);
    EXPECT_TRUE(f.TableVisible() && f.TreeVisible() && f.PlaceVisible());
    EXPECT_EQ(f.NumberCell(0), "1");
    EXPECT_EQ(f.AddressCell(0), "нет");
    EXPECT_EQ(f.ParamCell(0), "");
    EXPECT_EQ(f.AddressCell(1), "40");
    EXPECT_EQ(f.ParamCell(1), "Параметр 3841");
    EXPECT_EQ(f.Tooltip(1), "05 0F01");
    EXPECT_EQ(f.Tooltip(0), "");
    // Row 1 is empty: the first node of the tree is selected.
    EXPECT_EQ(f.SelectedNode(), 0);
    EXPECT_EQ(f.Tree().Node(0).Label, "Котел");
  }
}

TEST(RegisterMapFormTest, FromModuleRowsShowGeneratedNames) {
  MapEditor e(MapKind::TIFloat, false);
  e.cfg.State.FromModule = true;
  e.data.AddController(e.cfg, "", 0x05, false);
  e.cfg.Map(MapKind::TIFloat)[0] = Placed(0x0F01, 40);
  e.Open();
  EXPECT_EQ(e.form.ParamCell(0), "Параметр 0F01 (модуль 05)");
  // The controller without task file is shown as a module node, and selected for entry 1.
  EXPECT_EQ(e.form.Tree().Node(e.form.SelectedNode()).Label, "Модуль - сетевой номер 05");
}

TEST(RegisterMapFormTest, AddressLimits) {
  struct Case {
    MapKind kind;
    const char* message;
    const char* textAfter;  // the refused cell's text
    bool canLeave;
  } cases[] = {
      {MapKind::TU, "Coil не должен превышать 65535!", "65536", false},
      {MapKind::TC, "Номер Discret Inputs должен быть не больше 65535!", "65536", false},
      {MapKind::TIFloat, "Номер Holding registers должен быть не больше 65535!", "нет", true},
      {MapKind::InputReg, "Введите правильно номер Input Registers. Он должен быть не больше 65535!", "нет",
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(MapTraits(c.kind).Caption);
    MapEditor e(c.kind);
    e.Open();
    EXPECT_TRUE(e.EnterAddress(0, "65535"));
    EXPECT_THAT(e.dialogs.shown, IsEmpty());
    EXPECT_EQ(e.form.Working()[0].ModbusAddr, 65535);

    ASSERT_TRUE(e.form.SetCurrentCell(1, RegisterMapForm::kColAddress));
    e.Type("65536");
    EXPECT_EQ(e.form.SetCurrentCell(2, RegisterMapForm::kColAddress), c.canLeave);
    EXPECT_THAT(e.dialogs.shown, ElementsAre(c.message));
    EXPECT_EQ(e.form.AddressCell(1), c.textAfter);
    EXPECT_EQ(e.form.CurrentRow(), c.canLeave ? 2 : 1);
    EXPECT_EQ(e.form.Working()[1].ModbusAddr, 0xFFFF);
  }
}

TEST(RegisterMapFormTest, ParityOfHoldingAndInputRegisters) {
  struct Case {
    MapKind kind;
    const char* message;  // nullptr: no parity rule
  } cases[] = {
      {MapKind::TU, nullptr},
      {MapKind::TC, nullptr},
      {MapKind::TIFloat, "Нумерация Holding Registers должна быть через 1!"},
      {MapKind::InputReg, "Нумерация Input Registers должна быть через 1!"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(MapTraits(c.kind).Caption);
    MapEditor e(c.kind);
    e.Open();
    EXPECT_EQ(e.form.CurrentParity(), RegisterMapForm::Parity::Unset);
    EXPECT_TRUE(e.EnterAddress(0, "100"));
    if (!c.message) {
      EXPECT_TRUE(e.EnterAddress(1, "101"));
      EXPECT_EQ(e.form.Working()[1].ModbusAddr, 101);
      EXPECT_THAT(e.dialogs.shown, IsEmpty());
      continue;
    }
    EXPECT_EQ(e.form.CurrentParity(), RegisterMapForm::Parity::Even);
    EXPECT_FALSE(e.EnterAddress(1, "101"));
    EXPECT_THAT(e.dialogs.shown, ElementsAre(c.message));
    EXPECT_EQ(e.form.AddressCell(1), "нет");
    EXPECT_EQ(e.form.CurrentRow(), 1);
    EXPECT_EQ(e.form.Working()[1].ModbusAddr, 0xFFFF);
    EXPECT_TRUE(e.EnterAddress(1, "102"));
    EXPECT_EQ(e.form.Working()[1].ModbusAddr, 102);

    // Emptying every entry keeps the parity learnt until the editor opens again.
    for (int row : {0, 1}) {
      e.form.SetCurrentCell(row, RegisterMapForm::kColAddress);
      e.dialogs.confirmAnswers = {true};
      e.form.Delete();
    }
    e.dialogs.shown.clear();
    EXPECT_FALSE(e.EnterAddress(2, "103"));
    EXPECT_THAT(e.dialogs.shown, ElementsAre(c.message));
  }
}

TEST(RegisterMapFormTest, ParityIsLearntFromTheMapOnOpening) {
  MapEditor e(MapKind::TIFloat);
  auto& map = e.cfg.Map(MapKind::TIFloat);
  map[0] = Placed(0x0201, 10, 2);
  map[5] = Placed(0x0202, 11, 2);  // the last one decides
  e.Open();
  EXPECT_EQ(e.form.CurrentParity(), RegisterMapForm::Parity::Odd);
  EXPECT_FALSE(e.EnterAddress(1, "20"));
  EXPECT_TRUE(e.EnterAddress(1, "21"));
}

TEST(RegisterMapFormTest, EmptiedAddressCell) {
  struct Case {
    MapKind kind;
    std::vector<std::string> shown;
    bool canLeave;
    const char* textAfter;
    bool valueMissing;
  } cases[] = {
      {MapKind::TU, {"Введите Coil!"}, true, "7", false},  // the row keeps its address, and shows it
      {MapKind::TC, {"Введите значение!"}, false, "", false},
      {MapKind::TIFloat, {"Введите значение!"}, true, "", true},
      {MapKind::InputReg, {"Введите значение!"}, true, "", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(MapTraits(c.kind).Caption);
    MapEditor e(c.kind);
    e.cfg.Map(c.kind)[0] = Placed(0x0101, 7);
    e.Open();
    ASSERT_TRUE(e.form.SetCurrentCell(0, RegisterMapForm::kColAddress));
    e.Backspaces(1);
    EXPECT_EQ(e.form.SetCurrentCell(1, RegisterMapForm::kColAddress), c.canLeave);
    EXPECT_EQ(e.dialogs.shown, c.shown);
    EXPECT_EQ(e.form.AddressCell(0), c.textAfter);
    EXPECT_EQ(e.form.ValueMissing(), c.valueMissing);
    EXPECT_EQ(e.form.Working()[0].ModbusAddr, 7);

    // An empty row's "нет" cell left without typing asks nothing; one emptied by typing is
    // left silently by the register editors (no parameter) and not by the bit editors.
    MapEditor quiet(c.kind);
    quiet.Open();
    ASSERT_TRUE(quiet.form.SetCurrentCell(3, RegisterMapForm::kColAddress));
    EXPECT_TRUE(quiet.form.SetCurrentCell(4, RegisterMapForm::kColAddress));
    quiet.Backspaces(1);  // "нет" is emptied before the first key
    EXPECT_EQ(quiet.form.AddressCell(4), "");
    quiet.form.SetCurrentCell(5, RegisterMapForm::kColAddress);
    EXPECT_EQ(quiet.dialogs.shown.size(),
              c.kind == MapKind::TIFloat || c.kind == MapKind::InputReg ? 0u : 1u);
  }
}

TEST(RegisterMapFormTest, OnlyDigitsGoIntoAddressCells) {
  MapEditor e(MapKind::TIFloat);
  e.Open();
  e.form.SetCurrentCell(0, RegisterMapForm::kColAddress);
  EXPECT_FALSE(e.form.Key(U'a'));
  EXPECT_FALSE(e.form.Key(U'-'));
  EXPECT_EQ(e.form.AddressCell(0), "нет");
  EXPECT_FALSE(e.form.Changed());
  EXPECT_TRUE(e.form.Key(U'4'));
  EXPECT_EQ(e.form.AddressCell(0), "4");
  EXPECT_TRUE(e.form.Changed());
  // The parameter cell of the Holding Registers editor is read-only.
  e.form.FinishEdit();
  e.form.SetCurrentCell(0, RegisterMapForm::kColParam);
  EXPECT_FALSE(e.form.Key(U'x'));
}

TEST(RegisterMapFormTest, PlaceTakesAddressAndParameter) {
  struct Case {
    MapKind kind;
    const char* noAddress;  // nullptr: the address is not needed
    std::string name;
    std::uint16_t paramNo;
    std::uint16_t taskNo;
  } cases[] = {
      {MapKind::TU, nullptr, "Авар (№ 0101)/СигК(Котел)", 0x0101, 1},
      {MapKind::TC, "Введите адрес Discret Inputs", "Авар (№ 0101)/СигК(Котел)", 0x0101, 1},
      {MapKind::TIFloat, "Введите адрес Holding Registers", "Давл (№ 0201)/ИзмК(Котел)", 0x0201, 2},
      {MapKind::InputReg, "Введите правильно адрес Input Registers", "Давл (№ 0201)/ИзмК(Котел)", 0x0201, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(MapTraits(c.kind).Caption);
    MapEditor e(c.kind);
    e.Open();
    e.form.SetCurrentCell(2, RegisterMapForm::kColParam);
    e.Select(e.Leaf());
    e.form.Place();
    if (c.noAddress) {
      EXPECT_THAT(e.dialogs.shown, ElementsAre(c.noAddress));
      EXPECT_TRUE(e.form.Working()[2].IsEmpty());
      e.dialogs.shown.clear();
      ASSERT_TRUE(e.EnterAddress(2, "30"));
      e.form.Place();
    }
    EXPECT_THAT(e.dialogs.shown, IsEmpty());
    const MapEntry& w = e.form.Working()[2];
    EXPECT_EQ(w.ModuleNo, 5);
    EXPECT_EQ(w.ParamNo, c.paramNo);
    EXPECT_EQ(w.TaskNo, c.taskNo);
    EXPECT_EQ(w.ParamName, c.name);
    EXPECT_EQ(w.ModbusAddr, c.noAddress ? 30 : 0xFFFF);
    EXPECT_EQ(e.form.ParamCell(2), c.name);
    EXPECT_EQ(e.form.Tooltip(2), "05 " + Hex4(c.paramNo));
    EXPECT_EQ(e.form.TakeFocus(), RegisterMapForm::Focus::Tree);
    EXPECT_TRUE(e.form.Changed());
    EXPECT_TRUE(e.cfg.Map(c.kind)[2].IsEmpty());  // only the working copy changed

    // A task node is not a parameter.
    e.Select(c.kind == MapKind::TU || c.kind == MapKind::TC ? "СигК" : "ИзмК");
    e.form.Place();
    EXPECT_EQ(e.dialogs.Last(), "Параметр не выбран!");
  }
}

TEST(RegisterMapFormTest, SystemTaskParameterKeepsTaskNumberMinusOne) {
  MapEditor e(MapKind::InputReg);
  e.Open();
  ASSERT_TRUE(e.EnterAddress(0, "8"));
  e.Select("Тмод (№ 0F01)");
  e.form.Place();
  EXPECT_EQ(e.form.Working()[0].TaskNo, 0xFFFF);
  EXPECT_EQ(e.form.Working()[0].ParamName, "Тмод (№ 0F01)/Сист(Котел)");
  // Selecting the row again (the placement moved the cursor on) finds the same node.
  e.form.SelectNode(-1);
  ASSERT_TRUE(e.form.SetCurrentCell(0, RegisterMapForm::kColAddress));
  e.form.CellClicked(0, RegisterMapForm::kColAddress);
  EXPECT_EQ(e.form.Tree().Node(e.form.SelectedNode()).Label, "Тмод (№ 0F01)");
}

TEST(RegisterMapFormTest, PlaceChecksTheTypedAddressFirst) {
  // An address typed and not yet left is checked before it is placed.
  MapEditor e(MapKind::TIFloat);
  e.Open();
  ASSERT_TRUE(e.EnterAddress(0, "10"));
  e.form.SetCurrentCell(1, RegisterMapForm::kColAddress);
  e.Type("11");
  e.Select("Давл (№ 0201)");
  e.form.Place();
  EXPECT_THAT(e.dialogs.shown, ElementsAre("Нумерация Holding Registers должна быть через 1!"));
  EXPECT_TRUE(e.form.Working()[1].IsEmpty());
}

TEST(RegisterMapFormTest, DropAndDoubleClickPlace) {
  MapEditor e(MapKind::TIFloat);
  e.Open();
  ASSERT_TRUE(e.EnterAddress(3, "12"));
  e.form.SetCurrentCell(0, RegisterMapForm::kColNumber);
  e.form.DropOnRow(3, NodeByLabel(e.form.Tree(), "Темп (№ 0202)"));
  // The drop made row 4 current in the parameter column; the placement moved on to row 5.
  EXPECT_EQ(e.form.CurrentRow(), 4);
  EXPECT_EQ(e.form.CurrentColumn(), RegisterMapForm::kColParam);
  EXPECT_EQ(e.form.Working()[3].ParamNo, 0x0202);

  ASSERT_TRUE(e.EnterAddress(4, "14"));
  e.form.NodeDoubleClicked(NodeByLabel(e.form.Tree(), "Расх (№ 0203)"));
  EXPECT_EQ(e.form.Working()[4].ParamNo, 0x0203);
  EXPECT_EQ(e.form.Working()[4].ModbusAddr, 14);
  EXPECT_THAT(e.dialogs.shown, IsEmpty());
}

TEST(RegisterMapFormTest, ClickShowsTheRowsEntryInTheTree) {
  for (MapKind kind : kKinds) {
    SCOPED_TRACE(MapTraits(kind).Caption);
    MapEditor e(kind);
    const bool bits = kind == MapKind::TU || kind == MapKind::TC;
    e.cfg.Map(kind)[4] = bits ? Placed(0x0302, 3, 1, 0x1A) : Placed(0x0203, 3, 2);
    e.Open();
    const std::string target = bits ? "РбН (№ 0302)" : "Расх (№ 0203)";
    e.form.SelectNode(-1);
    e.form.SetCurrentCell(4, RegisterMapForm::kColAddress);
    e.form.CellClicked(4, RegisterMapForm::kColAddress);
    if (bits) {
      EXPECT_EQ(e.form.SelectedNode(), -1);  // only a click in the parameter cell
      e.form.SetCurrentCell(4, RegisterMapForm::kColParam);
      e.form.CellClicked(4, RegisterMapForm::kColParam);
    }
    ASSERT_GE(e.form.SelectedNode(), 0);
    EXPECT_EQ(e.form.Tree().Node(e.form.SelectedNode()).Label, target);
    // A click on an empty row: the bit editors keep the selection, the register editors
    // select the first node.
    e.form.SetCurrentCell(5, RegisterMapForm::kColParam);
    e.form.CellClicked(5, RegisterMapForm::kColParam);
    EXPECT_EQ(e.form.Tree().Node(e.form.SelectedNode()).Label, bits ? target : "Котел");
  }
}

TEST(RegisterMapFormTest, DeleteAsksAndEmptiesTheRow) {
  for (MapKind kind : kKinds) {
    SCOPED_TRACE(MapTraits(kind).Caption);
    MapEditor e(kind);
    e.cfg.Map(kind)[2] = Placed(0x0101, 6);
    e.Open();
    e.form.SetCurrentCell(2, RegisterMapForm::kColParam);
    e.form.Delete();  // answered No
    EXPECT_FALSE(e.form.Working()[2].IsEmpty());
    e.dialogs.confirmAnswers = {true};
    e.form.Delete();
    EXPECT_THAT(e.dialogs.shown, ElementsAre("Удалить 3 строку?", "Удалить 3 строку?"));
    EXPECT_EQ(e.form.Working()[2], MapEntry{});
    EXPECT_EQ(e.form.AddressCell(2), "нет");
    EXPECT_EQ(e.form.ParamCell(2), "");
    EXPECT_EQ(e.form.Tooltip(2), kind == MapKind::InputReg ? "FF FFFF" : "");
    EXPECT_TRUE(e.form.Changed());
  }
}

TEST(RegisterMapFormTest, InsertOnFirstAndLastRow) {
  MapEditor e(MapKind::TIFloat);
  auto& map = e.cfg.Map(MapKind::TIFloat);
  for (int i = 0; i < CountTIFloat; ++i)
    map[static_cast<std::size_t>(i)] = Placed(0x0201, static_cast<std::uint16_t>(2 * i), 2);
  const RegisterMap before = map;

  e.Open();
  e.form.SetCurrentCell(63, RegisterMapForm::kColAddress);
  e.form.Insert();
  for (int i = 0; i < 63; ++i)
    EXPECT_EQ(e.form.Working()[static_cast<std::size_t>(i)], before[static_cast<std::size_t>(i)]);
  EXPECT_TRUE(e.form.Working()[63].IsEmpty());
  EXPECT_EQ(e.form.AddressCell(63), "нет");

  e.Open();
  e.form.SetCurrentCell(0, RegisterMapForm::kColAddress);
  e.form.Insert();
  EXPECT_TRUE(e.form.Working()[0].IsEmpty());
  EXPECT_EQ(e.form.AddressCell(0), "нет");
  for (int i = 1; i < 64; ++i)
    EXPECT_EQ(e.form.Working()[static_cast<std::size_t>(i)], before[static_cast<std::size_t>(i - 1)]);
  EXPECT_EQ(e.form.AddressCell(1), "0");
  EXPECT_EQ(e.form.AddressCell(63), "124");  // entry 64 (address 126) is lost
  EXPECT_TRUE(e.form.Changed());
  ASSERT_TRUE(e.form.Apply());
  EXPECT_EQ(e.cfg.Map(MapKind::TIFloat), e.form.Working());
}

TEST(RegisterMapFormTest, InsertRecomputesParity) {
  MapEditor e(MapKind::TIFloat);
  e.Open();
  ASSERT_TRUE(e.EnterAddress(0, "100"));
  e.dialogs.confirmAnswers = {true};
  e.form.SetCurrentCell(0, RegisterMapForm::kColAddress);
  e.form.Delete();
  e.form.Insert();  // no entry left: parity unset again
  EXPECT_EQ(e.form.CurrentParity(), RegisterMapForm::Parity::Unset);
  EXPECT_TRUE(e.EnterAddress(1, "101"));
}

TEST(RegisterMapFormTest, PrintTakesAsManyRowsFromTheTopAsHaveAnAddress) {
  MapEditor e(MapKind::TIFloat);
  e.cfg.Common.AdrCAN = 0x21;
  e.cfg.Common.AdrExt = 0x0B;
  auto& map = e.cfg.Map(MapKind::TIFloat);
  map[0] = Placed(0x0201, 2, 2, 5, "Давл");
  map[1] = Placed(0x0202, 4, 2, 0x1A, "Темп");
  map[4] = Placed(0x0203, 6, 2, 5, "Расх");
  e.Open();
  auto table = e.form.Print();
  ASSERT_TRUE(table);
  // Rows 1, 2 and 5 hold addresses: rows 1 to 3 are printed.
  ASSERT_EQ(table->Rows.size(), 3u);
  EXPECT_THAT(table->Titles,
              ElementsAre("№", "Адрес Modbus Holding Registers", "Параметры", "Номер параметра",
                          "Сетевой номер Л-8", "Сетевой номер CAN R-770", "Сетевой номер Modbus R-770"));
  using W = PrintTable::Width;
  EXPECT_THAT(table->Widths,
              ElementsAre(W::Number, W::Address, W::Param, W::Default, W::Default, W::Address, W::Address));
  EXPECT_THAT(table->Rows[0], ElementsAre("1", "2", "Давл", "0201", "05", "21", "0B"));
  EXPECT_THAT(table->Rows[1], ElementsAre("2", "4", "Темп", "0202", "1A", "21", "0B"));
  EXPECT_THAT(table->Rows[2], ElementsAre("3", "нет", "", "", "", "21", "0B"));

  // An address typed into row 9 without a parameter counts too.
  ASSERT_TRUE(e.EnterAddress(8, "8"));
  table = e.form.Print();
  ASSERT_TRUE(table);
  ASSERT_EQ(table->Rows.size(), 4u);
  EXPECT_THAT(table->Rows[3], ElementsAre("4", "нет", "", "", "", "21", "0B"));
}

TEST(RegisterMapFormTest, ApplyChecksEntriesOfTheBitEditors) {
  struct Case {
    MapKind kind;
    const char* noAddress;
  } cases[] = {{MapKind::TU, "Не введен Coil!(Строка 3)"},
               {MapKind::TC, "Не введен Discret Inputs!(Строка 3)"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(MapTraits(c.kind).Caption);
    MapEditor e(c.kind);
    e.cfg.Map(c.kind)[2] = Placed(0x0101, 0xFFFF);
    e.Open();
    EXPECT_FALSE(e.form.Apply());
    EXPECT_THAT(e.dialogs.shown, ElementsAre(c.noAddress));
    EXPECT_EQ(e.cfg.Map(c.kind)[2].ModbusAddr, 0xFFFF);
    EXPECT_FALSE(e.cfg.MapChanged(c.kind));

    // An address typed into an empty row: no parameter.
    MapEditor f(c.kind);
    f.Open();
    ASSERT_TRUE(f.EnterAddress(5, "9"));
    EXPECT_FALSE(f.form.Apply());
    EXPECT_THAT(f.dialogs.shown, ElementsAre("Не введен параметр!(Строка 6)"));
  }
}

TEST(RegisterMapFormTest, CoilPlacedWithoutAddress) {
  MapEditor e(MapKind::TU);
  e.Open();
  e.form.SetCurrentCell(6, RegisterMapForm::kColParam);
  e.Select("Пуск (№ 0104)");
  e.form.Place();
  EXPECT_EQ(e.form.Working()[6].ModbusAddr, 0xFFFF);
  EXPECT_EQ(e.form.AddressCell(6), "нет");
  EXPECT_FALSE(e.form.Apply());
  EXPECT_THAT(e.dialogs.shown, ElementsAre("Не введен Coil!(Строка 7)"));
  EXPECT_TRUE(e.cfg.Map(MapKind::TU)[6].IsEmpty());

  // With its address typed the entry is applied.
  e.dialogs.shown.clear();
  ASSERT_TRUE(e.EnterAddress(6, "17"));
  ASSERT_TRUE(e.form.Apply());
  EXPECT_EQ(e.cfg.Map(MapKind::TU)[6].ModbusAddr, 17);
  EXPECT_EQ(e.cfg.Map(MapKind::TU)[6].ParamNo, 0x0104);
  EXPECT_TRUE(e.cfg.State.TUChanged);
}

TEST(RegisterMapFormTest, ApplyChecksCellsOfTheRegisterEditors) {
  struct Case {
    MapKind kind;
    std::vector<std::string> emptied;  // boxes when Apply meets a row with a parameter and no address
  } cases[] = {
      {MapKind::TIFloat,
       {"Введите значение!", "Введите номер Holding Registers или удалите строку (2строка)!"}},
      {MapKind::InputReg,
       {"Введите значение!", "Проверьте правильность ввода Input Register.",
        "Введите номер Input Registers или удалите строку (2строка)!"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(MapTraits(c.kind).Caption);
    MapEditor e(c.kind);
    e.cfg.Map(c.kind)[1] = Placed(0x0201, 4, 2);
    e.Open();
    // An address without a parameter.
    ASSERT_TRUE(e.EnterAddress(0, "2"));
    EXPECT_FALSE(e.form.Apply());
    EXPECT_THAT(e.dialogs.shown, ElementsAre("Введите параметр или удалите строку (1строка)!"));
    EXPECT_TRUE(e.form.ValueMissing());
    e.dialogs.confirmAnswers = {true};
    e.form.SetCurrentCell(0, RegisterMapForm::kColAddress);
    e.form.Delete();
    e.dialogs.shown.clear();

    // A parameter without an address.
    e.form.SetCurrentCell(1, RegisterMapForm::kColAddress);
    e.Backspaces(1);
    e.form.SetCurrentCell(2, RegisterMapForm::kColAddress);
    EXPECT_FALSE(e.form.Apply());
    EXPECT_EQ(e.dialogs.shown, c.emptied);
    EXPECT_FALSE(e.cfg.MapChanged(c.kind));
    EXPECT_EQ(e.cfg.Map(c.kind)[1].ModbusAddr, 4);

    // Once the faulty row is deleted, "Применить" goes through.
    e.dialogs.confirmAnswers = {true};
    e.form.SetCurrentCell(1, RegisterMapForm::kColAddress);
    e.form.Delete();
    EXPECT_TRUE(e.form.Apply());
    EXPECT_TRUE(e.cfg.Map(c.kind)[1].IsEmpty());
    EXPECT_TRUE(e.cfg.MapChanged(c.kind));
  }
}

TEST(RegisterMapFormTest, ClosingWithoutApplyLeavesTheMap) {
  for (MapKind kind : kKinds) {
    SCOPED_TRACE(MapTraits(kind).Caption);
    MapEditor e(kind);
    e.cfg.Map(kind)[0] = Placed(0x0101, 2);
    const RegisterMap before = e.cfg.Map(kind);
    e.Open();
    ASSERT_TRUE(e.EnterAddress(1, "4"));
    e.Select(e.Leaf());
    e.form.SetCurrentCell(1, RegisterMapForm::kColParam);
    e.form.Place();
    e.dialogs.confirmAnswers = {true};
    e.form.SetCurrentCell(0, RegisterMapForm::kColParam);
    e.form.Delete();
    ASSERT_NE(e.form.Working(), before);
    // The window is closed: nothing is applied. Opening again shows the map as it was.
    EXPECT_EQ(e.cfg.Map(kind), before);
    EXPECT_FALSE(e.cfg.MapChanged(kind));
    e.Open();
    EXPECT_EQ(e.form.Working(), before);
    EXPECT_EQ(e.form.AddressCell(0), "2");
  }
}

TEST(RegisterMapFormTest, ClosingWithChangesNotAppliedAsksToApplyThem) {
  using A = Dialogs::Answer;
  enum class Change { None, Typed, Placed, AddressOnly };
  const struct {
    const char* name;
    Change change;
    std::optional<A> answer;  // none: nothing is asked
    bool closes;
    bool applied;
  } cases[] = {
      {"no change", Change::None, std::nullopt, true, false},
      {"Отмена", Change::Placed, A::Cancel, false, false},
      {"Нет", Change::Placed, A::No, true, false},
      {"Да", Change::Placed, A::Yes, true, true},
      {"a cell typed into, Отмена", Change::Typed, A::Cancel, false, false},
      {"a cell typed into, Нет", Change::Typed, A::No, true, false},
      {"Да refused by the checks of Применить", Change::AddressOnly, A::Yes, false, false},
  };
  for (MapKind kind : kKinds) {
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(MapTraits(kind).Caption) + ": " + c.name);
      MapEditor e(kind);
      e.cfg.Map(kind)[0] = Placed(0x0101, 2);
      const RegisterMap before = e.cfg.Map(kind);
      e.Open();
      if (c.change == Change::Typed) {
        ASSERT_TRUE(e.form.SetCurrentCell(1, RegisterMapForm::kColAddress));
        e.Type("4");
      } else if (c.change != Change::None) {
        ASSERT_TRUE(e.EnterAddress(1, "4"));
      }
      if (c.change == Change::Placed) {
        e.Select(e.Leaf());
        e.form.SetCurrentCell(1, RegisterMapForm::kColParam);
        e.form.Place();
      }
      EXPECT_EQ(e.form.Unapplied(), c.change != Change::None);
      e.dialogs.shown.clear();
      if (c.answer) e.dialogs.askAnswers = {*c.answer};
      EXPECT_EQ(e.form.CloseRequested(), c.closes);
      if (c.answer) {
        ASSERT_FALSE(e.dialogs.shown.empty());
        EXPECT_EQ(e.dialogs.shown[0], "Применить изменения?");
      } else {
        EXPECT_THAT(e.dialogs.shown, IsEmpty());
      }
      EXPECT_EQ(e.cfg.Map(kind) != before, c.applied);
      EXPECT_EQ(e.cfg.MapChanged(kind), c.applied);
      if (c.applied) {
        EXPECT_EQ(e.cfg.Map(kind)[1].ModbusAddr, 4);
      }
      // An editor that stays open keeps what was typed.
      if (!c.closes) {
        EXPECT_TRUE(e.form.Unapplied());
      }
    }
  }
}

TEST(RegisterMapFormTest, ChangedIsKeptBetweenOpeningsExceptByHoldingRegisters) {
  for (MapKind kind : kKinds) {
    SCOPED_TRACE(MapTraits(kind).Caption);
    MapEditor e(kind);
    e.Open();
    ASSERT_TRUE(e.EnterAddress(0, "4"));
    ASSERT_TRUE(e.form.Changed());
    e.Open();  // closed without applying, opened again
    const bool kept = kind != MapKind::TIFloat;
    EXPECT_EQ(e.form.Changed(), kept);
    ASSERT_TRUE(e.form.Apply());
    EXPECT_EQ(e.cfg.MapChanged(kind), kept);
  }
}

TEST(RegisterMapFormTest, CoilsKeysDoNotSetChangedUntilTheAddressIsAccepted) {
  MapEditor e(MapKind::TU);
  e.Open();
  e.form.SetCurrentCell(0, RegisterMapForm::kColAddress);
  e.Type("12");
  EXPECT_FALSE(e.form.Changed());
  ASSERT_TRUE(e.form.FinishEdit());
  EXPECT_TRUE(e.form.Changed());
  EXPECT_EQ(e.form.Working()[0].ModbusAddr, 12);
}

TEST(RegisterMapFormTest, DiscreteInputNamesAreTyped) {
  MapEditor e(MapKind::TC);
  e.cfg.Map(MapKind::TC)[0] = Placed(0x0101, 1, 1, 5, "Авар");
  e.Open();
  e.form.SetCurrentCell(0, RegisterMapForm::kColParam);
  e.form.Key(kBackspace);
  for (char32_t c : std::u32string(U"рия котла")) EXPECT_TRUE(e.form.Key(c));
  EXPECT_EQ(e.form.ParamCell(0), "Авария котла");
  EXPECT_EQ(e.form.Working()[0].ParamName, "Авария котла");
  // A character the document's code page cannot hold is refused with a message, never kept
  // to become "?" on disk; the code page's own signs pass.
  e.dialogs.shown.clear();
  for (char32_t c : std::u32string(U"\u4E2D\u0109\U0001F600")) EXPECT_FALSE(e.form.Key(c));
  ASSERT_EQ(e.dialogs.shown.size(), 3u);
  EXPECT_EQ(
      e.dialogs.shown[1],
      "Имя параметра содержит символ \"\u0109\", которого нет в кодовой странице 1251: такой текст не может "
      "быть сохранен.");
  EXPECT_TRUE(e.form.Key(U'№'));
  EXPECT_EQ(e.form.Working()[0].ParamName, "Авария котла№");
  e.form.Key(kBackspace);
  // Names are cut to 80 characters.
  for (int i = 0; i < 100; ++i) e.form.Key(U'ж');
  EXPECT_EQ(Utf8Length(e.form.Working()[0].ParamName), 80u);
  ASSERT_TRUE(e.form.Apply());
  EXPECT_EQ(Utf8Length(e.cfg.Map(MapKind::TC)[0].ParamName), 80u);
}

TEST(RegisterMapFormTest, WithoutControllers) {
  struct Case {
    MapKind kind;
    bool placeVisible;
  } cases[] = {
      {MapKind::TU, true}, {MapKind::TC, false}, {MapKind::TIFloat, false}, {MapKind::InputReg, false}};
  for (const Case& c : cases) {
    for (bool fromModule : {false, true}) {
      SCOPED_TRACE(MapTraits(c.kind).Caption);
      MapEditor e(c.kind, false);
      e.cfg.State.FromModule = fromModule;
      e.form.Open();
      EXPECT_THAT(e.dialogs.shown,
                  ElementsAre(fromModule ? "В приборе отсутствуют настройки." : "Нет списка контроллеров!"));
      EXPECT_FALSE(e.form.TableVisible());
      EXPECT_FALSE(e.form.TreeVisible());
      EXPECT_EQ(e.form.PlaceVisible(), c.placeVisible);
      EXPECT_FALSE(e.form.Key(U'1'));
    }
  }
}

}  // namespace
}  // namespace r770::test
