// Loading controllers from a large database, and building the parameter trees.
//
// Synthetic database: 10,000 algorithm files (20 descriptors each) in 200 folders up to 6
// levels deep; 8 module types referring to 40 algorithms each; 64 controllers whose task
// files have one task of 20 parameters per algorithm. Files are in the page cache.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sys/resource.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "common/number_forms.h"
#include "database/database_builder.h"
#include "database/db_files.h"
#include "database/param_tree.h"
#include "database/task_cl.h"
#include "temp_dir.h"

namespace {

using namespace r770;
using namespace r770::test;

constexpr int kFolders = 200;
constexpr int kFilesPerFolder = 50;
constexpr int kControllers = 64;
constexpr int kModuleTypes = 8;
constexpr int kAlgorithmsPerModule = 40;
constexpr int kDescriptors = 20;

struct BigDatabase {
  TempDir dir;
  DatabaseBuilder db{dir.path()};
  std::vector<std::string> taskFiles;
  int maxDepth = 0;

  BigDatabase() {
    // Five top folders, then two children per folder: 6 levels.
    std::vector<std::string> folders;
    std::vector<int> depth;
    for (int i = 0; i < kFolders; ++i) {
      const int parent = i < 5 ? -1 : (i - 5) / 2;
      std::string name = "Группа " + std::to_string(i);
      folders.push_back(parent < 0 ? name : folders[parent] + "/" + name);
      depth.push_back(parent < 0 ? 1 : depth[parent] + 1);
      maxDepth = std::max(maxDepth, depth.back());
    }
    for (int f = 0; f < kFolders; ++f) {
      for (int k = 0; k < kFilesPerFolder; ++k) {
        const int n = f * kFilesPerFolder + k;
        DbAlgorithm a;
        a.FileNo = static_cast<std::uint16_t>(0x1000 + n);
        a.Number = static_cast<std::int16_t>(0x1000 + n);
        a.FullName = "Алгоритм " + std::to_string(n);
        a.ShortName = "А" + std::to_string(n);
        a.Folder = folders[f];
        a.FileName = Hex4(a.FileNo) + (n % 2 ? ".alg" : ".ALG");
        for (int d = 1; d <= kDescriptors; ++d) {
          const std::string name = "Параметр " + std::to_string(d);
          a.Descriptors.push_back(
              d % 2 ? BitDescriptor(static_cast<std::int16_t>(d), name, "П" + std::to_string(d))
                    : FloatDescriptor(static_cast<std::int16_t>(d), name, "П" + std::to_string(d)));
        }
        db.Add(a);
      }
    }
    std::vector<std::vector<std::uint16_t>> moduleAlgs(kModuleTypes);
    for (int m = 0; m < kModuleTypes; ++m) {
      for (int j = 0; j < kAlgorithmsPerModule; ++j)
        moduleAlgs[m].push_back(
            static_cast<std::uint16_t>(0x1000 + (m * 1237 + j * 251) % (kFolders * kFilesPerFolder)));
      db.Add(DbModule::Of(static_cast<std::uint16_t>(m + 1), moduleAlgs[m]));
      DbTaskFile sys;
      sys.ModuleType = static_cast<std::uint16_t>(m + 1);
      sys.Tasks.push_back(Task(1, static_cast<std::int16_t>(moduleAlgs[m][0]), 0xF00));
      db.AddSystemTasks(sys);
    }
    for (int c = 0; c < kControllers; ++c) {
      const int m = c % kModuleTypes;
      DbTaskFile f;
      f.Nset = static_cast<std::uint16_t>(c + 1);
      f.ModuleType = static_cast<std::uint16_t>(m + 1);
      for (int j = 0; j < kAlgorithmsPerModule; ++j)
        f.Tasks.push_back(Task(static_cast<std::int16_t>(j + 1), static_cast<std::int16_t>(moduleAlgs[m][j]),
                               static_cast<std::uint16_t>(0x100 * (j + 1))));
      taskFiles.push_back(db.AddTaskFile("K" + std::to_string(c) + ".tsk", f));
    }
    // A database is normally older than the file system's time stamp margin: let it settle
    // so that the algorithm folder index may be kept between task objects.
    std::this_thread::sleep_for(std::chrono::milliseconds(3500));
  }

  static DbTask Task(std::int16_t number, std::int16_t alg, std::uint16_t base) {
    DbTask t;
    t.FullName = "Задача " + std::to_string(number);
    t.Number = number;
    t.AlgorithmNo = alg;
    t.Access = 0x1111;
    for (int d = 1; d <= kDescriptors; ++d) {
      DbParam p;
      p.FullName = "Параметр задачи " + std::to_string(d);
      p.ShortName = "ПЗ" + std::to_string(d);
      p.Number = static_cast<std::uint16_t>(base + d);
      p.Descriptor = static_cast<std::int16_t>(d);
      p.Access = 0x1000;
      t.Params.push_back(p);
    }
    return t;
  }

  std::vector<std::unique_ptr<Task_CL>> LoadAll() const {
    std::vector<std::unique_ptr<Task_CL>> out;
    for (const auto& f : taskFiles)
      out.push_back(std::make_unique<Task_CL>(f, db.TaskDir(), db.ModDir(), db.AlgDir()));
    return out;
  }
};

BigDatabase& Db() {
  static BigDatabase db;
  return db;
}

double PeakRssMiB() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_maxrss) / 1024.0;
}

void Check(const std::vector<std::unique_ptr<Task_CL>>& loaded, benchmark::State& state) {
  for (const auto& t : loaded)
    if (!t->Ok() || t->Algorithms().size() != kAlgorithmsPerModule) state.SkipWithError("load failed");
}

void LoadAll(benchmark::State& state, bool batch, bool clearKept) {
  BigDatabase& db = Db();
  double heldMiB = 0;
  for (auto _ : state) {
    const std::size_t before = mallinfo2().uordblks;
    if (clearKept) db::ClearFolderIndexCache();
    std::vector<std::unique_ptr<Task_CL>> loaded;
    if (batch) {
      db::AlgorithmIndexBatch b;
      loaded = db.LoadAll();
    } else {
      loaded = db.LoadAll();
    }
    benchmark::DoNotOptimize(loaded.data());
    state.PauseTiming();
    heldMiB = static_cast<double>(mallinfo2().uordblks - before) / (1024.0 * 1024.0);
    Check(loaded, state);
    loaded.clear();
    state.ResumeTiming();
  }
  state.counters["controllers"] = kControllers;
  state.counters["held_by_64_MiB"] = heldMiB;  // heap held by the 64 loaded task objects
  state.counters["peak_rss_MiB"] = PeakRssMiB();
}

// One batch, the folder walked once (nothing kept from earlier loads).
void BM_LoadAll_BatchWalksOnce(benchmark::State& state) { LoadAll(state, true, true); }
// No batch: each task object checks the kept index against the folders' time stamps.
void BM_LoadAll_KeptIndex(benchmark::State& state) { LoadAll(state, false, false); }
// For comparison: nothing kept, each task object walks the whole folder tree.
void BM_LoadAll_WalkPerObject(benchmark::State& state) {
  db::SetFolderIndexCacheMargin(std::int64_t{1} << 62);
  LoadAll(state, false, true);
  db::SetFolderIndexCacheMargin(3'000'000'000);
}
BENCHMARK(BM_LoadAll_BatchWalksOnce)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadAll_KeptIndex)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadAll_WalkPerObject)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_IndexAlgorithmFolder(benchmark::State& state) {
  BigDatabase& db = Db();
  for (auto _ : state) {
    db::FolderIndex index(db.db.AlgDir());
    if (index.FileCount() != kFolders * kFilesPerFolder || index.FolderCount() != kFolders + 1)
      state.SkipWithError("index incomplete");
  }
  state.counters["max_depth"] = db.maxDepth;
}
BENCHMARK(BM_IndexAlgorithmFolder)->Unit(benchmark::kMillisecond);

void BuildTree(benchmark::State& state, TreeKind kind) {
  BigDatabase& db = Db();
  std::vector<std::unique_ptr<Task_CL>> loaded;
  {
    db::AlgorithmIndexBatch batch;
    loaded = db.LoadAll();
  }
  Check(loaded, state);
  std::vector<TreeController> list;
  for (const auto& t : loaded) list.push_back({t.get(), t->NetworkNumber(), true});
  std::size_t nodes = 0;
  for (auto _ : state) {
    ParamTree tree = ParamTree::Build(kind, list, {false, true});
    nodes = tree.Nodes().size();
    benchmark::DoNotOptimize(nodes);
  }
  state.counters["nodes"] = static_cast<double>(nodes);
}

void BM_BitTree(benchmark::State& state) { BuildTree(state, TreeKind::Bit); }
void BM_RegisterTree(benchmark::State& state) { BuildTree(state, TreeKind::Register); }
BENCHMARK(BM_BitTree)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RegisterTree)->Unit(benchmark::kMillisecond);

}  // namespace
