#include "compare/config_diff.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "compare_fixture.h"
#include "database/task_cl.h"
#include "pump_database.h"
#include "temp_dir.h"

namespace r770::test {
namespace {

// What identifies a difference: its group and field, controller or map row.
std::string Key(const ConfigDifference& d) {
  switch (d.Group) {
    case DiffGroup::Common:
      return "common " + d.Field;
    case DiffGroup::Controllers:
      return "controller " + d.Where;
    case DiffGroup::Map:
      return std::string(MapSection(d.Map)) + " " + std::to_string(d.Row);
  }
  return {};
}

std::vector<std::string> Keys(const std::vector<ConfigDifference>& diffs) {
  std::vector<std::string> out;
  for (const auto& d : diffs) out.push_back(Key(d));
  return out;
}

struct Case {
  const char* name;
  std::function<void(Configuration&)> change;  // applied to the right side
  std::vector<std::string> expected;
};

MapEntry& Entry(Configuration& c, MapKind k, int row) { return c.Map(k)[static_cast<std::size_t>(row - 1)]; }

TEST(ConfigDiffTest, EachChangeIsFoundExactlyOnceAndNothingElse) {
  const std::vector<Case> cases = {
      {"AdrCAN", [](Configuration& c) { c.Common.AdrCAN = 0x11; }, {"common AdrCAN"}},
      {"AdrExt", [](Configuration& c) { c.Common.AdrExt = 0x12; }, {"common AdrExt"}},
      {"V_CAN", [](Configuration& c) { c.Common.V_CAN = 4; }, {"common V_CAN"}},
      {"trepeat", [](Configuration& c) { c.Common.trepeat = 300; }, {"common trepeat"}},
      {"twaitCAN", [](Configuration& c) { c.Common.twaitCAN = 51; }, {"common twaitCAN"}},
      {"V_Ethernet", [](Configuration& c) { c.Common.V_Ethernet = 1; }, {"common V_Ethernet"}},
      {"AdrPort", [](Configuration& c) { c.Common.AdrPort = 503; }, {"common AdrPort"}},
      {"AdrIP", [](Configuration& c) { c.Common.AdrIP[3] = 11; }, {"common AdrIP"}},
      {"AdrGate", [](Configuration& c) { c.Common.AdrGate[0] = 10; }, {"common AdrGate"}},
      {"Mask", [](Configuration& c) { c.Common.Mask[2] = 0; }, {"common Mask"}},
      // Kept by the document only, or the module's own: never a difference.
      {"MAC, Invers, SWAP",
       [](Configuration& c) {
         c.Common.AdrMAC[5] = 0x77;
         c.Common.Invers = c.Common.SWAP = true;
       },
       {}},
      {"controller added",
       [](Configuration& c) {
         ControllerEntry ce;
         ce.Nset = 9;
         ce.StoredPath = "/db/TASK/fan.tsk";
         c.Controllers.push_back(std::move(ce));
       },
       {"controller контроллер 09"}},
      {"controller removed",
       [](Configuration& c) { c.Controllers.erase(c.Controllers.begin()); },
       {"controller контроллер 05"}},
      {"controller renumbered",
       [](Configuration& c) { c.Controllers[1].Nset = 8; },
       {"controller контроллер 07"}},
      {"controller's task file replaced",
       [](Configuration& c) { c.Controllers[0].StoredPath = "/db/TASK/new.tsk"; },
       {"controller контроллер 05"}},
      {"controller list in another order",
       [](Configuration& c) { std::swap(c.Controllers[0], c.Controllers[1]); },
       {}},
      {"entry moved to another address",
       [](Configuration& c) { Entry(c, MapKind::TIFloat, 2).ModbusAddr = 200; },
       {"TIFloat Modbus 2"}},
      {"entry's parameter changed",
       [](Configuration& c) { Entry(c, MapKind::TC, 3).ParamNo = 0x0F01; },
       {"TC Modbus 3"}},
      {"entry's controller changed",
       [](Configuration& c) { Entry(c, MapKind::TU, 1).ModuleNo = 7; },
       {"TU Modbus 1"}},
      {"entry on the right only",
       [](Configuration& c) {
         MapEntry& e = Entry(c, MapKind::InputReg, 64);
         e.ModuleNo = 5;
         e.ParamNo = 0x0101;
         e.ModbusAddr = 300;
       },
       {"InputReg Modbus 64"}},
      {"entry on the left only", [](Configuration& c) { c.ResetMapEntry(MapKind::TC, 3); }, {"TC Modbus 4"}},
      {"names and task numbers differ only",
       [](Configuration& c) {
         for (MapKind k : kAllMapKinds)
           for (MapEntry& e : c.Map(k)) {
             e.ParamName = "другое имя";
             e.TaskNo = 3;
           }
       },
       {}},
      {"empty entries holding other numbers",
       [](Configuration& c) {
         Entry(c, MapKind::TU, 10).ModbusAddr = 7;
         Entry(c, MapKind::TU, 11).ParamNo = 0x0101;
       },
       {}},
      {"three places at once",
       [](Configuration& c) {
         c.Common.trepeat = 9;
         Entry(c, MapKind::TU, 2).ModbusAddr = 50;
         c.ResetMapEntry(MapKind::InputReg, 0);
       },
       {"common trepeat", "TU Modbus 2", "InputReg Modbus 1"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Configuration left, right;
    FillCompared(left);
    FillCompared(right);
    c.change(right);
    EXPECT_EQ(Keys(CompareConfigurations(left, right)), c.expected);
    // The other way round the same places differ.
    EXPECT_EQ(Keys(CompareConfigurations(right, left)).size(), c.expected.size());
  }
}

TEST(ConfigDiffTest, DifferencesCarryBothSidesAsTheUserReadsThem) {
  Configuration left, right;
  FillCompared(left);
  FillCompared(right);
  right.Common.AdrCAN = 0x1F;
  right.Controllers[1].Nset = 8;
  Entry(right, MapKind::TIFloat, 2).ModbusAddr = 200;
  right.ResetMapEntry(MapKind::TC, 0);
  const auto d = CompareConfigurations(left, right);
  ASSERT_EQ(d.size(), 4u);

  EXPECT_EQ(d[0].Where, "Адрес по шине CAN-BUS");
  EXPECT_EQ(d[0].Left, "01");
  EXPECT_EQ(d[0].Right, "1F");

  EXPECT_EQ(d[1].Left, "07  /db/TASK/valve.tsk");
  EXPECT_EQ(d[1].Right, "08  /db/TASK/valve.tsk");
  EXPECT_EQ(d[1].LeftController, (DiffController{7, "/db/TASK/valve.tsk"}));

  EXPECT_EQ(d[2].Group, DiffGroup::Map);
  EXPECT_EQ(d[2].Map, MapKind::TC);
  EXPECT_EQ(d[2].Where, "строка 1");
  EXPECT_EQ(d[2].Left, "адрес 100, модуль 05, параметр 0101, Параметр 0 карты TC Modbus");
  EXPECT_EQ(d[2].Right, "Нет параметра");
  EXPECT_FALSE(d[2].RightEntry.has_value());

  EXPECT_EQ(d[3].Map, MapKind::TIFloat);
  EXPECT_EQ(d[3].RightEntry, (DiffEntry{7, 0x0102, 200, "Параметр 1 карты TIFloat Modbus"}));
}

TEST(ConfigDiffTest, AgainstTheModuleControllersAreNotComparedAndNamesComeFromTheDocument) {
  TempDir dir;
  const PumpDatabase db = WritePumpDatabase(dir.path());
  Configuration doc;
  FillCompared(doc);
  doc.Controllers[0].Task =
      std::make_unique<Task_CL>(db.taskFile, db.root + "/TASK", db.root + "/MOD", db.root + "/ALG");
  ASSERT_TRUE(doc.Controllers[0].Task->Ok());

  Configuration mod;
  FakeModule module(doc);
  module.Hold(doc);
  // The module maps parameter 0104 of controller 05, which the document does not, and a
  // parameter of controller 09, which nothing knows.
  module.maps[static_cast<std::size_t>(MapKind::TIFloat)][10] = MapEntry{5, 0x0104, 0xFFFF, "", 140};
  module.maps[static_cast<std::size_t>(MapKind::TIFloat)][11] = MapEntry{9, 0x0F01, 0xFFFF, "", 142};
  module.maps[static_cast<std::size_t>(MapKind::TU)][0].ModbusAddr = 9;  // moved: names both sides
  ASSERT_TRUE(module.ReadModule(mod));
  ASSERT_EQ(mod.Controllers.size(), 3u);  // 05, 07, 09 without task files

  EXPECT_FALSE(ComparesControllers(doc, mod));
  const auto d = CompareConfigurations(doc, mod);
  ASSERT_EQ(Keys(d), (std::vector<std::string>{"TU Modbus 1", "TIFloat Modbus 11", "TIFloat Modbus 12"}));
  EXPECT_EQ(d[0].RightEntry->Name, "Параметр 0 карты TU Modbus");              // the document's own name
  EXPECT_EQ(d[1].RightEntry->Name.find("Расх"), 0u) << d[1].RightEntry->Name;  // the database's
  EXPECT_EQ(d[2].RightEntry->Name, "Параметр 0F01 (модуль 09)");               // generated
}

TEST(ConfigDiffTest, TakingFromTheModuleLeavesNothingToDifferAndKeepsWhatTheModuleDoesNotHold) {
  Configuration doc, mod;
  FillCompared(doc);
  doc.Common.Invers = true;
  FakeModule module(doc);
  module.Hold(doc);
  module.common.trepeat = 60;
  module.common.AdrMAC = {1, 2, 3, 4, 5, 6};
  module.maps[static_cast<std::size_t>(MapKind::TC)][1].ModbusAddr = 77;  // 07/0102 moved
  module.maps[static_cast<std::size_t>(MapKind::TC)][20] = MapEntry{5, 0x0104, 0xFFFF, "", 90};
  module.maps[static_cast<std::size_t>(MapKind::TC)][21] = MapEntry{0x0C, 0x0201, 0xFFFF, "", 91};
  ASSERT_TRUE(module.ReadModule(mod));

  EXPECT_TRUE(TakeModuleConfiguration(doc, mod));
  EXPECT_TRUE(CompareConfigurations(doc, mod).empty());
  EXPECT_EQ(doc.Common.trepeat, 60);
  EXPECT_EQ(doc.Common.AdrMAC, (std::array<std::uint8_t, 6>{1, 2, 3, 4, 5, 6}));
  EXPECT_TRUE(doc.Common.Invers);
  const RegisterMap& tc = doc.Map(MapKind::TC);
  EXPECT_EQ(tc[0].ParamName, "Параметр 0 карты TC Modbus");  // unchanged entry keeps its name
  EXPECT_EQ(tc[1].ParamName, "Параметр 1 карты TC Modbus");  // moved: its name is found again
  EXPECT_EQ(tc[1].TaskNo, 1);
  EXPECT_EQ(tc[20].ParamName, "Параметр 0104 (модуль 05)");  // unknown without a database
  EXPECT_EQ(tc[20].TaskNo, 0xFFFF);
  // The new controller 0C joins the list without a task file; the others stay.
  ASSERT_EQ(doc.Controllers.size(), 3u);
  EXPECT_EQ(doc.Controllers[2].Nset, 0x0C);
  EXPECT_FALSE(doc.Controllers[2].Found);
  EXPECT_EQ(doc.Controllers[0].StoredPath, "/db/TASK/pump.tsk");
  const DocumentState& s = doc.State;
  EXPECT_TRUE(s.CommonChanged && s.ControllersChanged && s.TCChanged);
  EXPECT_FALSE(s.TUChanged || s.TIFloatChanged || s.InputRegChanged);
  EXPECT_TRUE(s.FromFile);
  EXPECT_FALSE(s.FromModule);

  // Taken once more, nothing changes.
  doc.ClearAllChanged();
  EXPECT_FALSE(TakeModuleConfiguration(doc, mod));
  EXPECT_FALSE(doc.AnyChanged());
}

}  // namespace
}  // namespace r770::test
