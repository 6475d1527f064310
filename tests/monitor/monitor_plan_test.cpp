// The monitor's request planner: address layouts to exact request ranges.
#include "monitor/monitor_plan.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace r770 {
namespace {

struct P {
  MapKind kind;
  std::uint16_t address;
};

std::vector<MonitorPoint> Points(std::initializer_list<P> list) {
  std::vector<MonitorPoint> out;
  int row = 0;
  for (const P& p : list) out.push_back({p.kind, row++, p.address, "p" + std::to_string(row)});
  return out;
}

std::vector<MonitorPoint> Spaced(MapKind kind, std::uint16_t first, int n, int step) {
  std::vector<MonitorPoint> out;
  for (int i = 0; i < n; ++i) out.push_back({kind, i, static_cast<std::uint16_t>(first + i * step), {}});
  return out;
}

using R = PlannedRequest;
constexpr MapKind TU = MapKind::TU, TC = MapKind::TC, HR = MapKind::TIFloat, IR = MapKind::InputReg;

TEST(MonitorPlan, LayoutsToRequests) {
  struct Case {
    const char* what;
    std::vector<MonitorPoint> points;
    std::vector<R> expected;
  } cases[] = {
      {"nothing mapped", {}, {}},
      {"one of each table, in function order",
       Points({{IR, 10}, {HR, 100}, {TC, 7}, {TU, 5}}),
       {{1, 5, 1, {3}}, {2, 7, 1, {2}}, {3, 100, 2, {1}}, {4, 10, 2, {0}}}},
      {"register pairs side by side merge",
       Points({{HR, 104}, {HR, 100}, {HR, 102}}),
       {{3, 100, 6, {1, 2, 0}}}},
      {"a gap of 8 registers is spanned, 9 is not",
       Points({{HR, 0}, {HR, 10}, {HR, 21}}),
       {{3, 0, 12, {0, 1}}, {3, 21, 2, {2}}}},
      {"a gap of 32 bits is spanned, 33 is not",
       Points({{TC, 0}, {TC, 33}, {TC, 67}}),
       {{2, 0, 34, {0, 1}}, {2, 67, 1, {2}}}},
      {"coils and inputs at the same addresses stay apart",
       Points({{TU, 1}, {TC, 1}, {TU, 2}}),
       {{1, 1, 2, {0, 2}}, {2, 1, 1, {1}}}},
      {"holding and input registers at the same addresses stay apart",
       Points({{HR, 0}, {IR, 0}, {HR, 2}, {IR, 2}}),
       {{3, 0, 4, {0, 2}}, {4, 0, 4, {1, 3}}}},
      {"two entries at one address share a request", Points({{HR, 50}, {HR, 50}}), {{3, 50, 2, {0, 1}}}},
      {"a pair at 65535 runs off the space: alone",
       Points({{HR, 65533}, {HR, 65535}}),
       {{3, 65533, 2, {0}}, {3, 65535, 2, {1}}}},
      {"the last bit address is plain", Points({{TU, 65534}, {TU, 65535}}), {{1, 65534, 2, {0, 1}}}},
  };
  for (const Case& c : cases) EXPECT_EQ(PlanRequests(c.points), c.expected) << c.what;
}

TEST(MonitorPlan, ProtocolLimits) {
  // 64 pairs side by side: 128 registers need two requests (at most 125 each).
  auto hr = PlanRequests(Spaced(HR, 0, 64, 2));
  ASSERT_EQ(hr.size(), 2u);
  EXPECT_EQ(hr[0].start, 0);
  EXPECT_EQ(hr[0].count, 124);  // 62 pairs: a pair is never cut in two
  EXPECT_EQ(hr[0].points.size(), 62u);
  EXPECT_EQ(hr[1].start, 124);
  EXPECT_EQ(hr[1].count, 4);
  // 2001 bits: one request of 2000 and one of 1.
  auto bits = PlanRequests(Spaced(TC, 0, 2001, 1));
  ASSERT_EQ(bits.size(), 2u);
  EXPECT_EQ(bits[0].count, 2000);
  EXPECT_EQ(bits[1].start, 2000);
  EXPECT_EQ(bits[1].count, 1);
  // Limits and gaps are the caller's to choose: no gaps at all.
  PlanLimits strict;
  strict.registerGap = 0;
  strict.maxRegisters = 4;
  auto parts = PlanRequests(Points({{IR, 0}, {IR, 2}, {IR, 4}, {IR, 7}}), strict);
  EXPECT_EQ(parts, (std::vector<R>{{4, 0, 4, {0, 1}}, {4, 4, 2, {2}}, {4, 7, 2, {3}}}));
  // Every plan covers every point exactly once.
  for (const auto& [plan, n] : {std::pair{hr, 64u}, std::pair{bits, 2001u}}) {
    std::vector<int> covered;
    for (const R& r : plan) covered.insert(covered.end(), r.points.begin(), r.points.end());
    std::sort(covered.begin(), covered.end());
    ASSERT_EQ(covered.size(), n);
    for (unsigned i = 0; i < n; ++i) EXPECT_EQ(covered[i], static_cast<int>(i));
  }
}

TEST(MonitorPlan, SplitGivesOneRequestPerAddress) {
  auto points = Points({{HR, 10}, {HR, 12}, {HR, 12}, {HR, 20}});
  auto plan = PlanRequests(points);
  ASSERT_EQ(plan.size(), 1u);
  EXPECT_EQ(SplitRequest(plan[0], points),
            (std::vector<R>{{3, 10, 2, {0}}, {3, 12, 2, {1, 2}}, {3, 20, 2, {3}}}));
  auto bits = Points({{TU, 3}, {TU, 4}});
  EXPECT_EQ(SplitRequest(PlanRequests(bits)[0], bits), (std::vector<R>{{1, 3, 1, {0}}, {1, 4, 1, {1}}}));
}

TEST(MonitorPlan, PointsAreTheNonEmptyEntriesWithTheirEditorNames) {
  Configuration cfg;
  cfg.CreateMaps();
  cfg.Map(MapKind::TIFloat)[3] = {5, 0x0F01, 1, "Давление/Насос(Котельная)", 200};
  cfg.Map(MapKind::TU)[0] = {5, 0x0101, 1, "Пуск", 1};
  cfg.Map(MapKind::TC)[2] = {255, 0x0102, 1, "пусто", 9};  // empty whatever it holds
  auto points = CollectMonitorPoints(cfg);
  ASSERT_EQ(points.size(), 2u);
  EXPECT_EQ(points[0].kind, MapKind::TU);
  EXPECT_EQ(points[0].name, "Пуск");
  EXPECT_EQ(points[1].row, 3);
  EXPECT_EQ(points[1].address, 200);
  EXPECT_EQ(points[1].name, "Давление/Насос(Котельная)");
  // A document read from the module shows generated names.
  cfg.State.FromModule = true;
  EXPECT_EQ(CollectMonitorPoints(cfg)[1].name, "Параметр 0F01 (модуль 05)");
}

}  // namespace
}  // namespace r770
