// Document file: save and load of a full document (all 272 map entries filled, every
// common field set, 32 controllers), against the floor of writing the same bytes once.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "common/ini_file.h"
#include "database/database_builder.h"
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

// A controller database of 32 controllers of one module type, each with four tasks of
// eight parameters, like a small plant.
struct Database {
  test::TempDir dir;
  DatabaseBuilder db{dir.path()};
  ProgramSettings settings;
  std::vector<std::string> taskFiles;

  Database() {
    DbAlgorithm alg{0x0010, 10, "Входы", "ВХ", {}, "a/b", "", {}};
    for (int d = 1; d <= 8; ++d)
      alg.Descriptors.push_back(
          d % 2 ? BitDescriptor(static_cast<std::int16_t>(d), "Бит " + std::to_string(d))
                : FloatDescriptor(static_cast<std::int16_t>(d), "Регистр " + std::to_string(d)));
    db.Add(alg);
    db.Add(DbModule::Of(0x0001, {0x0010}));
    DbTaskFile sys;
    sys.ModuleType = 0x0001;
    sys.Tasks = {DbTask{"Системная", "Сист", 1, 10, 0, true, {}, {}}};
    db.AddSystemTasks(sys);
    for (int c = 0; c < 32; ++c) {
      DbTaskFile f;
      f.Nset = static_cast<std::uint16_t>(c + 1);
      f.ModuleType = 0x0001;
      for (int t = 1; t <= 4; ++t) {
        DbTask task{
            "Задача " + std::to_string(t), "", static_cast<std::int16_t>(t), 10, 0x1111, true, {}, {}};
        for (int d = 1; d <= 8; ++d) {
          DbParam p;
          p.FullName = "Параметр " + std::to_string(d);
          p.Number = static_cast<std::uint16_t>(0x0100 * t + d);
          p.Descriptor = static_cast<std::int16_t>(d);
          task.Params.push_back(p);
        }
        f.Tasks.push_back(task);
      }
      taskFiles.push_back(db.AddTaskFile("controller" + std::to_string(c) + ".tsk", f));
    }
    settings.WorkTask = db.TaskDir();
    settings.WorkMod = db.ModDir();
    settings.WorkAlg = db.AlgDir();
  }
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
    c.Task =
        std::make_unique<Task_CL>("/srv/loris8/tasks/controller" + std::to_string(i) + ".tsk", "", "", "");
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
// A full document saved once in a folder of its own, with the bytes of that save.
struct SavedDocument {
  test::TempDir dir;
  const std::string path = dir.File("full.bmt");
  Configuration cfg;
  NullView view;
  std::string bytes;

  SavedDocument() {
    FillFull(cfg, 32);
    cfg.SetAllChanged();
    SaveDocument(cfg, path, view);
    bytes = test::ReadFileBytes(path);
  }
};

void BM_WriteFinalBytesOnce(benchmark::State& state) {
  SavedDocument doc;
  const std::string& path = doc.path;
  const std::string& bytes = doc.bytes;
  for (auto _ : state) {
    std::string error = WriteFileAtomically(path, bytes);
    if (!error.empty()) state.SkipWithError(error.c_str());
  }
  state.counters["bytes"] = static_cast<double>(bytes.size());
}
BENCHMARK(BM_WriteFinalBytesOnce)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

// The two above, interleaved: each iteration saves the document and then writes the bytes
// it saved once more, both onto the same file, so that a change of the machine's load
// during the run weighs on both alike. Reported: the median of each and their ratio.
void BM_SaveAgainstSingleWrite(benchmark::State& state) {
  using Clock = std::chrono::steady_clock;
  SavedDocument doc;
  std::vector<double> saves, writes;
  for (auto _ : state) {
    doc.cfg.SetAllChanged();
    const auto t0 = Clock::now();
    const bool saved = SaveDocument(doc.cfg, doc.path, doc.view);
    const auto t1 = Clock::now();
    const std::string error = WriteFileAtomically(doc.path, doc.bytes);
    const auto t2 = Clock::now();
    if (!saved || !error.empty()) state.SkipWithError("write failed");
    saves.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
    writes.push_back(std::chrono::duration<double, std::milli>(t2 - t1).count());
  }
  auto median = [](std::vector<double> v) {
    std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2), v.end());
    return v[v.size() / 2];
  };
  if (saves.empty()) return;
  const double save = median(saves), write = median(writes);
  state.counters["save_ms"] = save;
  state.counters["write_ms"] = write;
  state.counters["ratio"] = save / write;
}
BENCHMARK(BM_SaveAgainstSingleWrite)->Unit(benchmark::kMillisecond)->MinTime(3.0);

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

// Load of the full document with its 32 controllers: every task file is read.
void BM_LoadFullDocumentWithControllers(benchmark::State& state) {
  Database database;
  const std::string path = database.dir.File("full.bmt");
  {
    Configuration cfg;
    FillFull(cfg, 32);
    for (int c = 0; c < 32; ++c)
      cfg.Controllers[static_cast<std::size_t>(c)].Task =
          std::make_unique<Task_CL>(database.taskFiles[static_cast<std::size_t>(c)], "", "", "");
    cfg.SetAllChanged();
    NullView view;
    SaveDocument(cfg, path, view);
  }
  NullView view;
  for (auto _ : state) {
    Configuration cfg;
    if (!LoadDocument(cfg, database.settings, path, view) || cfg.Controllers.size() != 32)
      state.SkipWithError("load failed");
  }
}
BENCHMARK(BM_LoadFullDocumentWithControllers)->Unit(benchmark::kMillisecond);

}  // namespace
