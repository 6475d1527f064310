// Fuzzes the algorithm file reader: any bytes as one algorithm file found deep below the
// algorithm folder, read for a fixed task file, module file and system task file.
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
  std::string algFile = s.db.AlgDir() + "/Насосы/deep/DiSc/0010.alg";
};

void Exercise(const Task_CL& t) {
  for (std::size_t i = 0; i < t.Tasks().size(); ++i) {
    for (const ParamItem& item : t.ListItems(t.Tasks()[i].AlgorithmNo, static_cast<int>(i))) {
      if (item.DescriptorPos < 0 || static_cast<std::size_t>(item.DescriptorPos) >= t.Descriptors().size())
        __builtin_trap();
      (void)t.ItemTexts(item);
    }
  }
  for (const TaskParam& p : t.Params()) (void)t.ParamText(p.ParamNo);
  for (TreeKind kind : {TreeKind::Bit, TreeKind::Register}) {
    ParamTree tree = ParamTree::Build(kind, {{&t, 5, true}}, {});
    for (const TreeNode& n : tree.Nodes()) (void)tree.Find(5, n.TaskNo, n.ParamNo);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Fixture f;
  WriteDatabaseFile(f.algFile, std::string(reinterpret_cast<const char*>(data), size));
  Task_CL t(f.s.taskFile, f.s.db.TaskDir(), f.s.db.ModDir(), f.s.db.AlgDir());
  Exercise(t);
  return 0;
}
