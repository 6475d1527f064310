// What the fuzz targets share (each target is one source file that includes this once): a
// memory file system for the files they write, and the sample database with one of its
// files replaced by the input, with the queries every database target puts to what it loaded.
#pragma once
#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "../tests/database/sample_database.h"
#include "database/param_tree.h"
#include "database/task_cl.h"

// Temporary folders go to /dev/shm when there is one: each run writes its input to a file.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  struct stat st {};
  if (::stat("/dev/shm", &st) == 0 && S_ISDIR(st.st_mode)) ::setenv("TMPDIR", "/dev/shm", 1);
  return 0;
}

namespace r770::fuzz {

// The sample database; Load() writes the input over one of its files and loads the controller.
struct SampleWithInput {
  test::SampleDatabase s;
  std::string file;

  // writeFile(s) writes the file the input is to replace and returns its path.
  template <typename WriteFile>
  explicit SampleWithInput(WriteFile writeFile) : file(writeFile(s)) {}

  std::unique_ptr<Task_CL> Load(const std::uint8_t* data, std::size_t size) const {
    WriteDatabaseFile(file, std::string(reinterpret_cast<const char*>(data), size));
    return s.Load();
  }
};

// What FindParam must give, by a plain scan: the first parameter with that number whose
// descriptor is not a service parameter; -1 when there is none.
inline int FirstPlainParam(const Task_CL& t, std::uint16_t paramNo) {
  for (std::size_t i = 0; i < t.Params().size(); ++i) {
    const TaskParam& q = t.Params()[i];
    if (q.ParamNo == paramNo && !t.Descriptors()[static_cast<std::size_t>(q.DescriptorPos)].IsService())
      return static_cast<int>(i);
  }
  return -1;
}

// Every query on every task and both parameter trees; positions handed out must be valid.

inline void ExerciseTask(const Task_CL& t) {
  if (t.Paths().empty()) __builtin_trap();
  for (const TaskParam& p : t.Params())
    if (p.DescriptorPos < 0 || static_cast<std::size_t>(p.DescriptorPos) >= t.Descriptors().size())
      __builtin_trap();
  for (const TaskParam& p : t.Params()) {
    const int pos = t.FindParam(p.ParamNo);
    if (pos != FirstPlainParam(t, p.ParamNo)) __builtin_trap();
    const int task = t.TaskIndexOfParam(p.ParamNo);
    if ((task < 0) != (pos < 0)) __builtin_trap();  // -1 exactly when FindParam fails
    if (task >= 0) (void)t.TaskNoAt(task);
    (void)t.ParamText(p.ParamNo);
  }
  for (const ValueRecord& v : t.Values())
    if (v.ParamPos < 0 || static_cast<std::size_t>(v.ParamPos) >= t.Params().size()) __builtin_trap();
  for (std::size_t i = 0; i < t.Tasks().size(); ++i) {
    for (const ParamItem& item : t.ListItems(t.Tasks()[i].AlgorithmNo, static_cast<int>(i))) {
      if (item.ParamPos < 0 || static_cast<std::size_t>(item.ParamPos) >= t.Params().size()) __builtin_trap();
      if (item.DescriptorPos < 0 || static_cast<std::size_t>(item.DescriptorPos) >= t.Descriptors().size())
        __builtin_trap();
      (void)t.ItemTexts(item);
    }
  }
  for (TreeKind kind : {TreeKind::Bit, TreeKind::Register}) {
    ParamTree tree =
        ParamTree::Build(kind, {{&t, t.NetworkNumber(), true}, {nullptr, 0x33, false}}, {false, true});
    for (const TreeNode& n : tree.Nodes()) (void)tree.Find(t.NetworkNumber(), n.TaskNo, n.ParamNo, 0x33);
  }
}

}  // namespace r770::fuzz
