#include "database/param_tree.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "sample_database.h"

namespace r770::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// "Id Label" per node, indented by level; also checks the parent/child links.
std::vector<std::string> Dump(const ParamTree& tree) {
  std::vector<std::string> out;
  for (std::size_t i = 0; i < tree.Nodes().size(); ++i) {
    const TreeNode& n = tree.Nodes()[i];
    if (n.Parent >= 0) {
      const auto& siblings = tree.Node(n.Parent).Children;
      EXPECT_NE(std::find(siblings.begin(), siblings.end(), static_cast<int>(i)), siblings.end());
      EXPECT_EQ(tree.Node(n.Parent).Level, n.Level - 1);
    }
    out.push_back(std::string(2 * static_cast<std::size_t>(n.Level), ' ') + n.Id + " " + n.Label);
  }
  return out;
}

TEST(ParamTreeTest, EmptyControllerListBuildsNoTree) {
  for (bool fromModule : {false, true}) {
    for (TreeKind kind : {TreeKind::Bit, TreeKind::Register}) {
      ParamTree tree = ParamTree::Build(kind, {}, {fromModule, false});
      EXPECT_FALSE(tree.Built());
      EXPECT_THAT(tree.Nodes(), IsEmpty());
      EXPECT_EQ(tree.Message(), fromModule ? "В приборе отсутствуют настройки." : "Нет списка контроллеров!");
      EXPECT_EQ(tree.Find(255, 0, 0).Selected, -1);
    }
  }
}

TEST(ParamTreeTest, RegisterTreeWithFullTaskNames) {
  SampleDatabase s;
  auto t = s.Load();
  ASSERT_THAT(t->Errors(), IsEmpty());
  ParamTree tree =
      ParamTree::Build(TreeKind::Register, {{t.get(), 5, true}, {nullptr, 0x1A, false}}, {false, false});
  ASSERT_TRUE(tree.Built());
  EXPECT_EQ(tree.Message(), "");
  EXPECT_THAT(Dump(tree), ElementsAre("c0 Насосная", "  c0/t0 Насосная станция", "    c0/t0/p2 Рвх (№ 0103)",
                                      "    c0/t0/p3 Уставка давления (№ 0104)",  // array flag, size 0
                                      "    c0/t0/p10 РасхП (№ 010B)", "  c0/t2 Вентиляция приточная",
                                      "    c0/t2/p11 Тпр (№ 0401)",
                                      "    c0/t2/p12 Влажность притока (№ 0402)", "  c0/t3 Системная",
                                      "    c0/t3/p13 Тмод (№ 0F01)", "c1 Модуль - сетевой номер 1A"));
  const TreeNode& leaf = tree.Node(tree.FindId("c0/t3/p13"));
  EXPECT_EQ(leaf.ControllerPos, 0);
  EXPECT_EQ(leaf.TaskNo, -1);
  EXPECT_EQ(leaf.TaskPos, 3);
  EXPECT_EQ(leaf.ParamNo, 0x0F01);
  EXPECT_EQ(t->ItemParam(leaf.ParamPos), 0x0F01);
  EXPECT_THAT(tree.Roots(), ElementsAre(0, 10));
}

TEST(ParamTreeTest, BitTreeWithShortTaskNames) {
  SampleDatabase s;
  auto t = s.Load();
  ASSERT_THAT(t->Errors(), IsEmpty());
  ParamTree tree = ParamTree::Build(TreeKind::Bit, {{t.get(), 5, true}}, {false, true});
  EXPECT_THAT(Dump(tree), ElementsAre("c0 Насосная", "  c0/t0 ВХД", "    c0/t0/p0 Авар1 (№ 0101)",
                                      "    c0/t0/p7 Готов (№ 0108)",  // size without array flag
                                      "  c0/t4 Диаг", "    c0/t4/p15 Связь (№ 0F03)"));
}

TEST(ParamTreeTest, ControllersReadFromTheModule) {
  SampleDatabase s;
  auto t = s.Load();
  auto other = s.Load();
  ParamTree tree = ParamTree::Build(TreeKind::Register,
                                    {{t.get(), 5, false}, {nullptr, 0x1A, false}, {other.get(), 0x20, true}},
                                    {true, true});
  std::vector<std::string> roots;
  for (int r : tree.Roots())
    roots.push_back(tree.Node(r).Label + "/" + std::to_string(tree.Node(r).Children.size()));
  EXPECT_THAT(roots, ElementsAre("Модуль - сетевой номер 05/0", "Модуль - сетевой номер 1A/0", "Насосная/3"));
  // A controller shown without tasks selects its own node.
  EXPECT_EQ(tree.Find(5, 1, 0x0103).Selected, tree.Roots()[0]);
  EXPECT_EQ(tree.Find(0x1A, 1, 0x0103).Selected, tree.Roots()[1]);
  EXPECT_EQ(tree.Node(tree.Find(0x20, 1, 0x0103).Selected).Id, "c2/t0/p2");
}

TEST(ParamTreeTest, PackedAlgorithmsStayOutOfTheBitTreeOnly) {
  for (int bits : {31, 32}) {
    TempDir dir;
    DatabaseBuilder db(dir.path());
    DbAlgorithm a{0x0100, 50, "Пакет", "ПАК", {}, "", "", {}};
    for (int i = 1; i <= bits; ++i)
      a.Descriptors.push_back(BitDescriptor(static_cast<std::int16_t>(i), "Бит"));
    a.Descriptors.push_back(FloatDescriptor(100, "Аналог"));
    db.Add(a);
    db.Add(DbModule::Of(0x0002, {0x0100}));
    DbTaskFile f{0x07,
                 0x0002,
                 {DbTask{"Пакет",
                         "",
                         1,
                         50,
                         0x1111,
                         true,
                         {P(0x0001, 1, "Бит 1", "Б1"), P(0x0064, 100, "Аналог", "А")},
                         {}}},
                 {},
                 {},
                 {}};
    Task_CL t(db.AddTaskFile("p.tsk", f), "", db.ModDir(), db.AlgDir());
    ASSERT_THAT(t.Errors(), IsEmpty());
    ParamTree bit = ParamTree::Build(TreeKind::Bit, {{&t, 7, true}}, {});
    ParamTree reg = ParamTree::Build(TreeKind::Register, {{&t, 7, true}}, {});
    EXPECT_EQ(bit.Node(0).Children.size(), bits == 32 ? 0u : 1u) << bits;
    EXPECT_THAT(Dump(reg), ElementsAre("c0 p", "  c0/t0 Пакет", "    c0/t0/p1 А (№ 0064)")) << bits;
  }
}

TEST(ParamTreeTest, FindsMapEntriesInTheTree) {
  SampleDatabase s;
  auto t = s.Load();
  auto twin = s.Load();
  ASSERT_THAT(t->Errors(), IsEmpty());
  ParamTree tree = ParamTree::Build(
      TreeKind::Register,
      {{nullptr, 0x1A, false}, {t.get(), 5, true}, {twin.get(), 5, true}, {t.get(), 7, true}},
      {false, false});
  auto id = [&tree](const TreeSelection& sel) {
    return sel.Selected < 0 ? std::string("-") : tree.Node(sel.Selected).Id;
  };
  struct Case {
    std::int32_t module;
    std::uint16_t taskNo, paramNo;
    const char* expected;
  } cases[] = {
      {255, 1, 0x0103, "c0"},            // empty entry: the first node
      {5, 1, 0x0104, "c1/t0/p3"},        // the first controller with that number
      {5, 0xFFFF, 0x0F01, "c1/t3/p13"},  // system task -1, stored as 65535
      {5, 1, 0x0999, "c0"},              // no such parameter: the first node
      {5, 42, 0x0103, "c0"},             // no such task: the first node
      {7, 4, 0x0402, "c3/t2/p12"},
      {0x1A, 1, 0x0103, "c0"},  // a controller without task object: its own node
      {0x33, 1, 0x0103, "-"},   // no controller with that number: nothing
  };
  for (const Case& c : cases)
    EXPECT_EQ(id(tree.Find(c.module, static_cast<std::int16_t>(c.taskNo), c.paramNo)), c.expected)
        << std::hex << c.module << " " << c.taskNo << " " << c.paramNo;
  EXPECT_THAT(tree.Find(5, 1, 0x0104).Expanded, IsEmpty());
  EXPECT_THAT(tree.Find(5, 1, 0x0104, 5).Expanded, ElementsAre(tree.Roots()[1], tree.Roots()[2]));
}

}  // namespace
}  // namespace r770::test
