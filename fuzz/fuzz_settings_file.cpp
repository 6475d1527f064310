// Fuzzes the settings file reader: any bytes as the program's settings file. Reading ends
// in settings or a message, never a fault; a writer changes its own keys and no others.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "document/program_settings.h"
#include "fuzz_support.h"
#include "temp_dir.h"

namespace {

bool SameOutsideDisplayChoices(const r770::ProgramSettings& a, const r770::ProgramSettings& b) {
  return a.LinkKind == b.LinkKind && a.ComPortIndex == b.ComPortIndex && a.PcNetNumber == b.PcNetNumber &&
         a.AdapterSpeedIndex == b.AdapterSpeedIndex && a.ModuleNetNumber == b.ModuleNetNumber &&
         a.AnswerTimeSec == b.AnswerTimeSec && a.Retries == b.Retries && a.ModuleIP == b.ModuleIP &&
         a.ModulePort == b.ModulePort && a.DbRoot == b.DbRoot && a.DbAlg == b.DbAlg && a.DbMod == b.DbMod &&
         a.DbTask == b.DbTask && a.PortTcpTest == b.PortTcpTest && a.IP_AdrTest == b.IP_AdrTest &&
         a.InversModTest == b.InversModTest && a.SwapModTest == b.SwapModTest && a.Test16 == b.Test16 &&
         a.SetModTest == b.SetModTest && a.TimeAnswerTest == b.TimeAnswerTest &&
         a.ConstCRCTest == b.ConstCRCTest;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static r770::test::TempDir dir;
  static const std::string path = dir.File("r770cfg.ini");
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  r770::test::WriteFileBytes(path, std::string(bytes));

  r770::ProgramSettings s;
  const std::string message = r770::ReadProgramSettings(path, s);
  if (s.Path != path) __builtin_trap();
  if (s.ComPortIndex && (*s.ComPortIndex < 0 || *s.ComPortIndex >= 8)) __builtin_trap();
  if (s.AdapterSpeedIndex && (*s.AdapterSpeedIndex < 0 || *s.AdapterSpeedIndex >= 5)) __builtin_trap();
  r770::ProgramSettings paths;
  if (!r770::ReadDatabasePaths(path, paths).empty() && message.empty()) __builtin_trap();
  if (message.empty() && (paths.DbRoot != s.DbRoot || paths.WorkAlg != s.DbAlg)) __builtin_trap();

  // Writing is the costly part: one input in eight (chosen by its content) takes a writer.
  if (!message.empty() || std::hash<std::string_view>{}(bytes) % 8 != 0) return 0;
  if (!r770::WriteDisplayChoices(path, !s.ShortTaskNames, !s.PortInHex).empty()) __builtin_trap();
  r770::ProgramSettings back;
  if (!r770::ReadProgramSettings(path, back).empty()) __builtin_trap();
  if (back.ShortTaskNames == s.ShortTaskNames || back.PortInHex == s.PortInHex) __builtin_trap();
  if (!SameOutsideDisplayChoices(s, back)) __builtin_trap();
  return 0;
}
