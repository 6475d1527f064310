#include "document/document_check.h"

#include <gtest/gtest.h>

#include <functional>

#include "editor_fixture.h"

namespace r770::test {
namespace {

struct Expected {
  ProblemKind kind;
  std::optional<MapKind> map;
  int row;
  int controllerPos;
  std::string text;
};

// Controllers 05 (Котел) and 1A (Насос), one bit and two float parameters placed cleanly.
struct CheckFixture : EditorFixture {
  CheckFixture() {
    data.AddController(cfg, data.kotel, 0x05);
    data.AddController(cfg, data.nasos, 0x1A);
    cfg.Map(MapKind::TC)[0] = Placed(0x0101, 7);
    cfg.Map(MapKind::TC)[1] = Placed(0x0301, 8, 1, 0x1A);
    cfg.Map(MapKind::TIFloat)[0] = Placed(0x0201, 100, 2);
    cfg.Map(MapKind::TIFloat)[1] = Placed(0x0202, 102, 2);
  }
};

TEST(DocumentCheckTest, FindsEachProblemWithItsPlace) {
  struct Case {
    const char* name;
    std::function<void(CheckFixture&)> change;
    std::vector<Expected> expected;
  };
  const Case cases[] = {
      {"clean", [](CheckFixture&) {}, {}},
      {"duplicate address",
       [](CheckFixture& f) { f.cfg.Map(MapKind::TC)[4] = Placed(0x0102, 7); },
       {{ProblemKind::DuplicateAddress, MapKind::TC, 5, -1,
         "Discrete Inputs, строка 5: адрес 7 уже занят строкой 1"}}},
      {"same address in another map is no problem",
       [](CheckFixture& f) { f.cfg.Map(MapKind::TU)[0] = Placed(0x0102, 7); },
       {}},
      {"parity",
       [](CheckFixture& f) { f.cfg.Map(MapKind::TIFloat)[2] = Placed(0x0203, 105, 2); },
       {{ProblemKind::Parity, MapKind::TIFloat, 3, -1,
         "Holding Registers, строка 3: адрес 105 нарушает нумерацию через 1 (чётность)"}}},
      {"odd bit addresses keep no parity",
       [](CheckFixture& f) { f.cfg.Map(MapKind::TC)[2] = Placed(0x0103, 9); },
       {}},
      {"entry without address",
       [](CheckFixture& f) { f.cfg.Map(MapKind::InputReg)[3] = Placed(0x0201, 0xFFFF, 2); },
       {{ProblemKind::NoAddress, MapKind::InputReg, 4, -1,
         "Input Registers, строка 4: параметр без адреса Modbus"}}},
      {"module not in the list",
       [](CheckFixture& f) { f.cfg.Map(MapKind::TU)[1] = Placed(0x0101, 1, 1, 0x09); },
       {{ProblemKind::ModuleNotListed, MapKind::TU, 2, -1,
         "Coils, строка 2: модуль 09 отсутствует в списке контроллеров"}}},
      {"parameter of the wrong tree",
       [](CheckFixture& f) { f.cfg.Map(MapKind::TC)[2] = Placed(0x0201, 20, 2); },
       {{ProblemKind::NotOffered, MapKind::TC, 3, -1,
         "Discrete Inputs, строка 3: параметр 0201 задачи 2 модуля 05 в базе не предлагается"}}},
      {"parameter the task file no longer has",
       [](CheckFixture& f) {
         f.cfg.Controllers[0].Task = f.data.Load(f.data.kotelPartial);
         f.cfg.Map(MapKind::TC)[2] = Placed(0x0104, 20);
       },
       {{ProblemKind::NotOffered, MapKind::TC, 3, -1,
         "Discrete Inputs, строка 3: параметр 0104 задачи 1 модуля 05 в базе не предлагается"}}},
      {"controller not found with and without task object: its entries are not checked again",
       [](CheckFixture& f) {
         f.cfg.Controllers[0].Found = false;
         f.cfg.Controllers[1].Task.reset();
         f.cfg.Controllers[1].Found = false;
       },
       {{ProblemKind::ControllerNotFound, std::nullopt, 0, 0, ""},
        {ProblemKind::ControllerNotFound, std::nullopt, 0, 1,
         "контроллер 1A: файл очереди задач не найден"}}},
      {"the same number twice",
       [](CheckFixture& f) { f.data.AddController(f.cfg, f.data.kotelPartial, 0x05); },
       {{ProblemKind::ControllerTwice, std::nullopt, 0, 2,
         "контроллер 05 указан в списке дважды (строки 1 и 3)"}}},
      {"the same task file for two numbers",
       [](CheckFixture& f) { f.cfg.Controllers[1].Task = f.data.Load(f.data.kotel); },
       {{ProblemKind::ControllerTwice, std::nullopt, 0, 1, ""},
        {ProblemKind::NotOffered, MapKind::TC, 2, -1,
         "Discrete Inputs, строка 2: параметр 0301 задачи 1 модуля 1A в базе не предлагается"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CheckFixture f;
    c.change(f);
    std::vector<Expected> expected = c.expected;
    for (Expected& e : expected)
      if (e.kind == ProblemKind::ControllerNotFound && e.controllerPos == 0)
        e.text =
            "контроллер 05: файл очереди задач не найден (" + f.cfg.Controllers[0].Task->TaskFilePath() + ")";
      else if (e.kind == ProblemKind::ControllerTwice && e.text.empty())
        e.text = "очередь задач " + f.data.kotel + " введена для двух контроллеров, 05 и 1A (строки 1 и 2)";
    const auto got = CheckDocument(f.cfg);
    ASSERT_EQ(got.size(), expected.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
      EXPECT_EQ(got[i].Kind, expected[i].kind) << i;
      EXPECT_EQ(got[i].Map, expected[i].map) << i;
      EXPECT_EQ(got[i].Row, expected[i].row) << i;
      EXPECT_EQ(got[i].ControllerPos, expected[i].controllerPos) << i;
      EXPECT_EQ(got[i].Text, expected[i].text) << i;
    }
  }
}

TEST(DocumentCheckTest, ListsControllersFirstThenMapsInModuleOrder) {
  CheckFixture f;
  f.cfg.Map(MapKind::InputReg)[0] = Placed(0x0201, 0xFFFF, 2);
  f.cfg.Map(MapKind::TU)[5] = Placed(0x0101, 3, 1, 0x33);
  f.cfg.Controllers[1].Found = false;
  const auto got = CheckDocument(f.cfg);
  ASSERT_EQ(got.size(), 3u);
  EXPECT_EQ(got[0].ControllerPos, 1);
  EXPECT_EQ(got[1].Map, MapKind::TU);
  EXPECT_EQ(got[2].Map, MapKind::InputReg);
}

}  // namespace
}  // namespace r770::test
