// Fuzzes the task file reader: any bytes as a controller's task file, read together with a
// fixed module file, algorithm files, system task file, value and access files.
#include <cstddef>
#include <cstdint>
#include <string>

#include "../tests/database/sample_database.h"
#include "fuzz_support.h"

namespace {

using namespace r770;
using namespace r770::test;

struct Fixture {
  SampleDatabase s;
  std::string taskFile;
  Fixture() {
    taskFile = s.dir.File("fuzz.tsk");
    s.db.AddValues(taskFile, {{1, 10, 0x0101, 1, {1, 2, 3, 4}, 0}, {7, 20, 0x0F01, 1, {5, 6, 7, 8}, 1}});
    s.db.AddAccess(0x0001, DbAccess{{{"A", "1F"}}, {{"B", "2"}}});
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Fixture f;
  WriteDatabaseFile(f.taskFile, std::string(reinterpret_cast<const char*>(data), size));
  Task_CL t(f.taskFile, f.s.db.TaskDir(), f.s.db.ModDir(), f.s.db.AlgDir());
  if (t.TaskFilePath() != f.taskFile) __builtin_trap();
  fuzz::ExerciseTask(t);
  return 0;
}
