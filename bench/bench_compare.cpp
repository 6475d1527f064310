// The comparison of two configurations of full maps (16 + 128 + 64 + 64 entries, every one
// filled):
//  BM_CompareEqual: two equal documents (the usual answer before a write);
//  BM_CompareEveryEntryDiffers: every entry of one side moved to another address, each
//      difference with its texts and the names of both sides;
//  BM_CompareWithModuleNames: the module's side (no names, no task files) against a document
//      whose controller has its task object: every entry differs, and its name is looked up in
//      the document's parameter trees, which are built once per comparison.
#include <benchmark/benchmark.h>

#include <memory>

#include "../tests/ctl/pump_database.h"
#include "compare/config_diff.h"
#include "database/task_cl.h"
#include "temp_dir.h"

namespace r770 {
namespace {

void FillFull(Configuration& c, int addressShift) {
  c.ResetForNew();
  c.State.IsNew = false;
  c.State.FromFile = true;
  for (MapKind kind : kAllMapKinds)
    for (std::size_t i = 0; i < c.Map(kind).size(); ++i) {
      MapEntry& e = c.Map(kind)[i];
      e.ModuleNo = 5;
      e.ParamNo = static_cast<std::uint16_t>(0x0101 + i % 3);
      e.TaskNo = 1;
      e.ParamName = "Параметр " + std::to_string(i) + "/НАСОС(pump)";
      e.ModbusAddr = static_cast<std::uint16_t>(2 * i + static_cast<std::size_t>(addressShift));
    }
}

void BM_CompareEqual(benchmark::State& state) {
  Configuration a, b;
  FillFull(a, 0);
  FillFull(b, 0);
  for (auto _ : state) benchmark::DoNotOptimize(CompareConfigurations(a, b));
}
BENCHMARK(BM_CompareEqual)->Unit(benchmark::kMicrosecond);

void BM_CompareEveryEntryDiffers(benchmark::State& state) {
  Configuration a, b;
  FillFull(a, 0);
  FillFull(b, 1);
  std::size_t found = 0;
  for (auto _ : state) found = CompareConfigurations(a, b).size();
  state.counters["differences"] = static_cast<double>(found);
}
BENCHMARK(BM_CompareEveryEntryDiffers)->Unit(benchmark::kMicrosecond);

void BM_CompareWithModuleNames(benchmark::State& state) {
  test::TempDir dir;
  const test::PumpDatabase db = test::WritePumpDatabase(dir.path());
  Configuration doc, module;
  FillFull(doc, 0);
  ControllerEntry ce;
  ce.Task = std::make_unique<Task_CL>(db.taskFile, db.root + "/TASK", db.root + "/MOD", db.root + "/ALG");
  ce.Nset = 5;
  ce.Found = true;
  doc.Controllers.push_back(std::move(ce));
  FillFull(module, 1);
  module.State = DocumentState{};
  module.State.FromModule = true;
  for (MapKind kind : kAllMapKinds)
    for (MapEntry& e : module.Map(kind)) {
      e.ParamName = kNoParamName;
      e.TaskNo = 0xFFFF;
      e.ParamNo = 0x0104;  // not in the document's maps: found in its database
    }
  ControllerEntry read;
  read.Nset = 5;
  module.Controllers.push_back(std::move(read));
  std::size_t found = 0;
  for (auto _ : state) found = CompareConfigurations(doc, module).size();
  state.counters["differences"] = static_cast<double>(found);
}
BENCHMARK(BM_CompareWithModuleNames)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace r770
