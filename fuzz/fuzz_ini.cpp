// Fuzzes the INI parser and writer: any bytes must parse, read and write back without a
// fault, and a run of keys written through a section writer must leave the same bytes as
// the same keys written one by one.
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "common/ini_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  r770::IniFile f;
  f.SetBytes(bytes);
  if (f.Bytes() != bytes) __builtin_trap();  // untouched content is kept byte for byte
  for (const auto& key : f.SectionKeys("Common")) (void)f.ReadString("Common", key, "");
  (void)f.ReadString("Protokol", "Name", "");

  // The keys of two map entries, in an order the input's first byte picks.
  std::vector<std::pair<std::string, std::string>> run = {{"TC0", "0101.5.1"},  {"NameTC0", "Имя"},
                                                          {"DiscretInp0", "7"}, {"TC1", "FFFF.255.65535"},
                                                          {"NameTC1", ""},      {"DiscretInp1", "65535"}};
  const unsigned pick = size ? data[0] : 0;
  for (std::size_t i = run.size(); i > 1; --i) std::swap(run[i - 1], run[(pick * 7 + i) % i]);
  r770::IniFile expected;
  expected.SetBytes(bytes);
  for (const auto& [k, v] : run) expected.WriteString("TC Modbus", k, v);
  r770::IniFile::SectionWriter out = f.WriteSection("TC Modbus");
  for (const auto& [k, v] : run) out.Write(k, v);
  if (f.Bytes() != expected.Bytes()) __builtin_trap();
  for (const auto& [k, v] : run)
    if (f.ReadString("tc modbus", k, "?") != v) __builtin_trap();

  f.WriteString("Common", "AdrCAN", "1A");
  if (f.ReadString("Common", "AdrCAN", "") != "1A") __builtin_trap();
  f.EraseSection("Config");
  (void)f.Bytes();
  return 0;
}
