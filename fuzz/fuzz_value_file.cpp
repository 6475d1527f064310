// Fuzzes the value file reader: any bytes as the value file beside a controller's task
// file, the rest of the database fixed.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const r770::fuzz::SampleWithInput f(
      [](const r770::test::SampleDatabase& s) { return s.db.AddValues(s.taskFile, {}); });
  const auto t = f.Load(data, size);
  r770::fuzz::ExerciseTask(*t);  // checks first that each value's parameter position is valid
  // A value is kept only when bound to a parameter of the same number.
  for (const r770::ValueRecord& v : t->Values())
    if (t->Params()[v.ParamPos].ParamNo != v.ParamNo) __builtin_trap();
  return 0;
}
