// INI layer: parsing a 1 MB file, and one writer operation (open, change 10 keys,
// crash-safe close) on a 100 KB file.
#include <benchmark/benchmark.h>

#include <string>

#include "common/ini_file.h"
#include "temp_dir.h"

namespace {

std::string MakeIni(std::size_t targetBytes) {
  std::string out;
  int section = 0;
  while (out.size() < targetBytes) {
    out += "[Section" + std::to_string(section++) + "]\r\n";
    for (int k = 0; k < 40 && out.size() < targetBytes; ++k)
      out += "Key" + std::to_string(k) + "=value " + std::to_string(k * 7919) + " \xCF\xE0\xF0\xE0\xEC\r\n";
  }
  return out;
}

void BM_Parse1MB(benchmark::State& state) {
  const std::string bytes = MakeIni(1 << 20);
  for (auto _ : state) {
    r770::IniFile f;
    f.SetBytes(bytes);
    benchmark::DoNotOptimize(f.ReadString("Section10", "Key5", ""));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes.size()));
}
BENCHMARK(BM_Parse1MB)->Unit(benchmark::kMillisecond);

void BM_ParseFile1MB(benchmark::State& state) {
  r770::test::TempDir dir;
  const std::string path = dir.File("big.ini");
  r770::test::WriteFileBytes(path, MakeIni(1 << 20));
  for (auto _ : state) {
    r770::IniFile f(path);
    benchmark::DoNotOptimize(f.ReadString("Section10", "Key5", ""));
  }
}
BENCHMARK(BM_ParseFile1MB)->Unit(benchmark::kMillisecond);

void BM_Writer100KB(benchmark::State& state) {
  r770::test::TempDir dir;
  const std::string path = dir.File("settings.ini");
  r770::test::WriteFileBytes(path, MakeIni(100 * 1024));
  int round = 0;
  for (auto _ : state) {
    r770::IniFile f(path);
    f.EraseSection("Section3");
    for (int k = 0; k < 10; ++k)
      f.WriteString("Section3", "Key" + std::to_string(k), std::to_string(round + k));
    if (!f.Save()) state.SkipWithError(f.Error().c_str());
    ++round;
  }
}
BENCHMARK(BM_Writer100KB)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace
