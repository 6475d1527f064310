// Fuzzes the task file reader: any bytes as a controller's task file, read together with a
// fixed module file, algorithm files, system task file, value and access files.
#include <cstddef>
#include <cstdint>
#include <string>

#include "../tests/database/sample_database.h"
#include "database/param_tree.h"

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

// What FindParam must give, by a plain scan: the first parameter with that number whose
// descriptor is not a service parameter; -1 when there is none.
int FirstPlainParam(const Task_CL& t, std::uint16_t paramNo) {
  for (std::size_t i = 0; i < t.Params().size(); ++i) {
    const TaskParam& q = t.Params()[i];
    if (q.ParamNo == paramNo && !t.Descriptors()[static_cast<std::size_t>(q.DescriptorPos)].IsService())
      return static_cast<int>(i);
  }
  return -1;
}

// Every query on every task, and both trees; positions handed out must be valid.
void Exercise(const Task_CL& t) {
  for (const TaskParam& p : t.Params())
    if (p.DescriptorPos < 0 || static_cast<std::size_t>(p.DescriptorPos) >= t.Descriptors().size()) __builtin_trap();
  for (const TaskParam& p : t.Params()) {
    const int pos = t.FindParam(p.ParamNo);
    if (pos != FirstPlainParam(t, p.ParamNo)) __builtin_trap();
    const int task = t.TaskIndexOfParam(p.ParamNo);
    if ((task < 0) != (pos < 0)) __builtin_trap();  // -1 exactly when FindParam fails
    if (task >= 0) (void)t.TaskNoAt(task);
    (void)t.ParamText(p.ParamNo);
  }
  for (std::size_t i = 0; i < t.Tasks().size(); ++i) {
    for (const ParamItem& item : t.ListItems(t.Tasks()[i].AlgorithmNo, static_cast<int>(i))) {
      if (item.ParamPos < 0 || static_cast<std::size_t>(item.ParamPos) >= t.Params().size()) __builtin_trap();
      (void)t.ItemTexts(item);
    }
  }
  for (TreeKind kind : {TreeKind::Bit, TreeKind::Register}) {
    ParamTree tree = ParamTree::Build(kind, {{&t, t.NetworkNumber(), true}, {nullptr, 0x33, false}}, {false, true});
    for (const TreeNode& n : tree.Nodes()) (void)tree.Find(t.NetworkNumber(), n.TaskNo, n.ParamNo, 0x33);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Fixture f;
  WriteDatabaseFile(f.taskFile, std::string(reinterpret_cast<const char*>(data), size));
  Task_CL t(f.taskFile, f.s.db.TaskDir(), f.s.db.ModDir(), f.s.db.AlgDir());
  if (t.Paths().empty() || t.TaskFilePath() != f.taskFile) __builtin_trap();
  Exercise(t);
  return 0;
}
