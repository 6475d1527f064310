// Fuzzes the module file reader: any bytes as the module file of a controller whose task
// file, algorithm files, system task file, value and access files are fixed.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const r770::fuzz::SampleWithInput f([](const r770::test::SampleDatabase& s) {
    return s.db.Add(r770::DbModule::Of(0x0001, {0x0010, 0x0099, 0x0020}));
  });
  const auto t = f.Load(data, size);
  // Descriptors come only from the algorithm files the module refers to.
  for (const r770::AlgorithmHeader& a : t->Algorithms())
    if (a.FileNo != 0x0010 && a.FileNo != 0x0020) __builtin_trap();
  r770::fuzz::ExerciseTask(*t);
  return 0;
}
