// Fuzzes the INI parser: any bytes must parse, read and write back without a fault.
#include <cstddef>
#include <cstdint>
#include <string>

#include "common/ini_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  r770::IniFile f;
  f.SetBytes(bytes);
  if (f.Bytes() != bytes) __builtin_trap();  // untouched content is kept byte for byte
  for (const auto& key : f.SectionKeys("Common")) (void)f.ReadString("Common", key, "");
  (void)f.ReadString("Protokol", "Name", "");
  f.WriteString("Common", "AdrCAN", "1A");
  if (f.ReadString("Common", "AdrCAN", "") != "1A") __builtin_trap();
  f.EraseSection("Config");
  (void)f.Bytes();
  return 0;
}
