#include "common/program_path.h"

#include <unistd.h>

#include <climits>

namespace r770 {
namespace {
std::string& Override() {
  static std::string folder;
  return folder;
}
}  // namespace

std::string ExecutablePath() {
  char buf[PATH_MAX + 1];
  ssize_t n = readlink("/proc/self/exe", buf, PATH_MAX);
  if (n <= 0) return {};
  return std::string(buf, static_cast<std::size_t>(n));
}

std::string ProgramFolder() {
  if (!Override().empty()) return Override();
  std::string exe = ExecutablePath();
  auto slash = exe.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return exe.substr(0, slash);
}

std::string SettingsPathFor(const std::string& executable) {
  auto slash = executable.rfind('/');
  auto dot = executable.rfind('.');
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash))
    return executable.substr(0, dot) + ".ini";
  return executable + ".ini";
}

void OverrideProgramFolder(const std::string& folder) { Override() = folder; }

}  // namespace r770
