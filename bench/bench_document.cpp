// Document file: save and load of a full document (all 272 map entries filled, every
// common field set, 32 controllers), against the floor of writing the same bytes once.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "common/ini_file.h"
#include "database/task_cl.h"
#include "document/configuration.h"
#include "document/document_file.h"
#include "document/program_settings.h"
#include "temp_dir.h"

namespace {

using namespace r770;

struct NullView : DocumentView {
  void ProgressStep() override {}
  void PumpEvents() override {}
  void Information(const std::string&) override {}
  void SetStatus(const std::string&) override {}
  void OpenControllerEditor() override {}
};

// A full document; controllers carry task objects for the paths given.
void FillFull(Configuration& cfg, int controllers) {
  cfg.ResetForNew();
  cfg.Common.AdrCAN = 0x1A;
  cfg.Common.V_CAN = 2;
  cfg.Common.AdrMAC = {0, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
  cfg.Common.AdrIP = {192, 168, 0, 10};
  for (MapKind k : kAllMapKinds)
    for (int n = 0; n < MapCount(k); ++n) {
      MapEntry& e = cfg.Map(k)[static_cast<std::size_t>(n)];
      e.ModuleNo = static_cast<std::uint8_t>(n % controllers + 1);
      e.ParamNo = static_cast<std::uint16_t>(0x0F00 + n);
      e.TaskNo = static_cast<std::uint16_t>(n % 7);
      e.ParamName = "Параметр " + std::to_string(n) + " задачи " + std::to_string(n % 7) + " контроллера";
      e.ModbusAddr = static_cast<std::uint16_t>(n);
    }
  for (int i = 0; i < controllers; ++i) {
    ControllerEntry c;
    c.Task = std::make_unique<Task_CL>("/srv/loris8/tasks/controller" + std::to_string(i) + ".tsk", "", "", "");
    c.Nset = i + 1;
    c.Found = true;
    cfg.Controllers.push_back(std::move(c));
  }
}

void BM_SaveFullDocument(benchmark::State& state) {
  test::TempDir dir;
  const std::string path = dir.File("full.bmt");
  Configuration cfg;
  FillFull(cfg, 32);
  NullView view;
  for (auto _ : state) {
    cfg.SetAllChanged();
    if (!SaveDocument(cfg, path, view)) state.SkipWithError("save failed");
  }
}
BENCHMARK(BM_SaveFullDocument)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

// The floor: the final bytes of the same document written once, crash-safely.
void BM_WriteFinalBytesOnce(benchmark::State& state) {
  test::TempDir dir;
  const std::string path = dir.File("full.bmt");
  Configuration cfg;
  FillFull(cfg, 32);
  NullView view;
  cfg.SetAllChanged();
  SaveDocument(cfg, path, view);
  const std::string bytes = test::ReadFileBytes(path);
  for (auto _ : state) {
    std::string error = WriteFileAtomically(path, bytes);
    if (!error.empty()) state.SkipWithError(error.c_str());
  }
  state.counters["bytes"] = static_cast<double>(bytes.size());
}
BENCHMARK(BM_WriteFinalBytesOnce)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

// Load of the full document without task objects (the "Config" section is left out).
void BM_LoadFullDocumentWithoutControllers(benchmark::State& state) {
  test::TempDir dir;
  const std::string path = dir.File("full.bmt");
  {
    Configuration cfg;
    FillFull(cfg, 32);
    cfg.ClearControllers();
    cfg.SetAllChanged();
    NullView view;
    SaveDocument(cfg, path, view);
  }
  ProgramSettings settings;
  NullView view;
  for (auto _ : state) {
    Configuration cfg;
    if (!LoadDocument(cfg, settings, path, view)) state.SkipWithError("load failed");
  }
}
BENCHMARK(BM_LoadFullDocumentWithoutControllers)->Unit(benchmark::kMillisecond);

}  // namespace
