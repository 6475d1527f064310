#include "document/configuration.h"

#include <gtest/gtest.h>

#include <memory>

#include "common/codec.h"
#include "database/task_cl.h"

namespace r770 {
namespace {

ControllerEntry Controller(std::int32_t nset, bool found, bool withTask = true) {
  ControllerEntry c;
  if (withTask) c.Task = std::make_unique<Task_CL>("/db/c" + std::to_string(nset) + ".tsk", "", "", "");
  c.Nset = nset;
  c.Found = found;
  return c;
}

TEST(Configuration, ResetForNewEmptiesEverything) {
  Configuration cfg;
  cfg.CreateMaps();
  cfg.Common.trepeat = 9;
  cfg.Common.AdrMAC[0] = 1;
  cfg.Map(MapKind::TC)[3] = MapEntry{1, 2, 3, "x", 4};
  cfg.Map(MapKind::TU).resize(3);  // a damaged map gets its full size back
  cfg.Controllers.push_back(Controller(5, true));
  cfg.DeletedNsets.push_back(7);
  cfg.SetAllChanged();

  cfg.ResetForNew();
  EXPECT_FALSE(cfg.AnyChanged());
  EXPECT_EQ(cfg.Common, CommonSettings{});
  EXPECT_EQ(cfg.Common.trepeat, 3);
  EXPECT_EQ(cfg.Common.AdrPort, 0xFFFF);
  EXPECT_TRUE(cfg.Controllers.empty());
  EXPECT_TRUE(cfg.DeletedNsets.empty());
  EXPECT_FALSE(cfg.HasControllers());
  const std::pair<MapKind, std::size_t> sizes[] = {
      {MapKind::TU, 16}, {MapKind::TC, 128}, {MapKind::TIFloat, 64}, {MapKind::InputReg, 64}};
  for (auto [kind, size] : sizes) {
    ASSERT_EQ(cfg.Map(kind).size(), size) << MapSection(kind);
    for (const MapEntry& e : cfg.Map(kind)) {
      EXPECT_TRUE(e.IsEmpty());
      EXPECT_EQ(e.ParamName, "Нет параметра");
      EXPECT_EQ(e.ParamNo, 0xFFFF);
      EXPECT_EQ(e.TaskNo, 0xFFFF);
      EXPECT_EQ(e.ModbusAddr, 0xFFFF);
    }
  }
}

TEST(Configuration, ResetMapEntryOneOrAll) {
  Configuration cfg;
  cfg.ResetForNew();
  for (MapKind k : kAllMapKinds)
    for (auto& e : cfg.Map(k)) e = MapEntry{1, 2, 3, "p", 4};
  cfg.SetAllChanged();

  cfg.ResetMapEntry(MapKind::TC, 127);
  EXPECT_EQ(cfg.Map(MapKind::TC)[127], MapEntry{});
  EXPECT_EQ(cfg.Map(MapKind::TC)[126].ModuleNo, 1);
  EXPECT_TRUE(cfg.State.TCChanged);     // one entry leaves the flag alone
  cfg.ResetMapEntry(MapKind::TC, 128);  // outside the map: nothing happens
  cfg.ResetMapEntry(MapKind::TC, -1);
  for (const MapEntry& e : cfg.Map(MapKind::TC)) EXPECT_EQ(e, MapEntry{});
  EXPECT_FALSE(cfg.State.TCChanged);
  EXPECT_TRUE(cfg.State.TUChanged && cfg.State.TIFloatChanged && cfg.State.InputRegChanged &&
              cfg.State.CommonChanged && cfg.State.ControllersChanged);
  EXPECT_EQ(cfg.Map(MapKind::TU)[0].ModuleNo, 1);
  EXPECT_TRUE(cfg.AnyChanged());
  cfg.ClearAllChanged();
  EXPECT_FALSE(cfg.AnyChanged());
}

TEST(Configuration, EmptinessIsDecidedByTheModuleNumberAlone) {
  EXPECT_TRUE((MapEntry{255, 0x0F01, 3, "name", 7}).IsEmpty());
  EXPECT_FALSE((MapEntry{254, 0xFFFF, 0xFFFF, "Нет параметра", 0xFFFF}).IsEmpty());
}

TEST(Configuration, DisplayNameOfAReadDocument) {
  const MapEntry entry{5, 0x0F01, 3, "Давление", 10};
  const std::string generated = "Параметр 0F01 (модуль 05)";
  struct Case {
    bool fromModule;
    int controller;  // -1 none, else Found of a controller with Nset 5
    bool otherNset;  // the controller has another network number
    std::string shown;
  };
  const Case cases[] = {
      {false, -1, false, "Давление"}, {true, -1, false, generated}, {true, 0, false, generated},
      {true, 1, false, "Давление"},   {true, 1, true, generated},
  };
  for (const Case& c : cases) {
    Configuration cfg;
    cfg.State.FromModule = c.fromModule;
    if (c.controller >= 0)
      cfg.Controllers.push_back(Controller(c.otherNset ? 6 : 5, c.controller == 1, false));
    EXPECT_EQ(cfg.DisplayName(entry), c.shown) << c.fromModule << " " << c.controller;
  }
  Configuration cfg;
  cfg.State.FromModule = true;
  EXPECT_EQ(cfg.DisplayName(MapEntry{0xAB, 0x12, 0, "", 0}), "Параметр 0012 (модуль AB)");
}

TEST(Configuration, NamesAreCutByCharacters) {
  std::string cyrillic, mixed;
  for (int i = 0; i < 100; ++i) cyrillic += "Щ";
  for (int i = 0; i < 50; ++i) mixed += "aЁ";
  EXPECT_EQ(CutParamName(cyrillic).size(), 160u);  // 80 two-byte characters
  EXPECT_EQ(Utf8Length(CutParamName(cyrillic)), 80u);
  EXPECT_EQ(CutParamName(mixed), mixed.substr(0, 40 * 3));
  EXPECT_EQ(CutParamName("short"), "short");
  std::string exact(80, 'x');
  EXPECT_EQ(CutParamName(exact + "y"), exact);
}

TEST(Configuration, ControllerListQueries) {
  Configuration cfg;
  EXPECT_FALSE(cfg.FindController(5));
  cfg.Controllers.push_back(Controller(5, false, false));  // read from the module: no task object
  EXPECT_FALSE(cfg.HasControllers());
  cfg.Controllers.push_back(Controller(7, true));
  cfg.Controllers.push_back(Controller(5, true));
  EXPECT_TRUE(cfg.HasControllers());
  EXPECT_EQ(cfg.FindController(5), 0u);  // the first one counts
  EXPECT_EQ(cfg.FindController(7), 1u);
  EXPECT_FALSE(cfg.FindController(255));
  cfg.State.ControllersChanged = true;
  cfg.ClearControllers();
  EXPECT_TRUE(cfg.Controllers.empty());
  EXPECT_FALSE(cfg.State.ControllersChanged);
  cfg.Common.AdrCAN = 4;
  cfg.State.CommonChanged = true;
  cfg.ResetCommon();
  EXPECT_EQ(cfg.Common, CommonSettings{});
  EXPECT_FALSE(cfg.State.CommonChanged);
}

}  // namespace
}  // namespace r770
