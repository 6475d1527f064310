// Opening the register map editors on a large configuration: 64 controllers offering 200
// bit parameters each. Opening builds the parameter tree, fills the table from the map and
// selects the first entry's node.
#include <benchmark/benchmark.h>

#include "../tests/editors/large_database.h"
#include "database/param_tree.h"
#include "editors/register_map_form.h"
#include "fake_dialogs.h"

namespace {

using r770::test::LargeConfiguration;

LargeConfiguration& Large() {
  static LargeConfiguration large;
  return large;
}

void BM_OpenDiscreteInputs(benchmark::State& state) {
  LargeConfiguration& l = Large();
  r770::test::FakeDialogs dialogs;
  r770::RegisterMapForm form(r770::MapKind::TC, dialogs, l.cfg, l.settings);
  for (auto _ : state) {
    form.Open();
    benchmark::DoNotOptimize(form.Tree().Nodes().size());
  }
  state.counters["nodes"] = static_cast<double>(form.Tree().Nodes().size());
  state.counters["rows"] = form.RowCount();
}
BENCHMARK(BM_OpenDiscreteInputs)->Unit(benchmark::kMillisecond);

void BM_BuildBitTree(benchmark::State& state) {
  LargeConfiguration& l = Large();
  std::vector<r770::TreeController> controllers;
  for (const auto& c : l.cfg.Controllers) controllers.push_back({c.Task.get(), c.Nset, c.Found});
  for (auto _ : state) {
    auto tree = r770::ParamTree::Build(r770::TreeKind::Bit, controllers, {false, true});
    benchmark::DoNotOptimize(tree.Nodes().size());
  }
}
BENCHMARK(BM_BuildBitTree)->Unit(benchmark::kMillisecond);

void BM_SelectEveryRow(benchmark::State& state) {
  // A click on each of the 128 rows: the row's entry is looked up in the tree.
  LargeConfiguration& l = Large();
  r770::test::FakeDialogs dialogs;
  r770::RegisterMapForm form(r770::MapKind::TC, dialogs, l.cfg, l.settings);
  form.Open();
  for (auto _ : state) {
    for (int row = 0; row < form.RowCount(); ++row) {
      form.SetCurrentCell(row, r770::RegisterMapForm::kColParam);
      form.CellClicked(row, r770::RegisterMapForm::kColParam);
    }
    benchmark::DoNotOptimize(form.SelectedNode());
  }
}
BENCHMARK(BM_SelectEveryRow)->Unit(benchmark::kMicrosecond);

}  // namespace
