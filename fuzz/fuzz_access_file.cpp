// Fuzzes the access file reader: any bytes as the access file of the controller's module
// type, the rest of the database fixed.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const r770::fuzz::SampleWithInput f(
      [](const r770::test::SampleDatabase& s) { return s.db.AddAccess(0x0001, {}); });
  const auto t = f.Load(data, size);
  for (const r770::AccessEntry& e : t->AccessEntries())
    if (e.Tag != r770::kAccessTagWork && e.Tag != r770::kAccessTagUser) __builtin_trap();
  r770::fuzz::ExerciseTask(*t);
  return 0;
}
