#include "common/program_path.h"

#include <unistd.h>

#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "common/file_io.h"

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
  return ParentFolder(ExecutablePath());
}

std::string SettingsPathFor(const std::string& executable) {
  auto slash = executable.rfind('/');
  auto dot = executable.rfind('.');
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash))
    return executable.substr(0, dot) + ".ini";
  return executable + ".ini";
}

std::string DataFolder() {
  std::string folder = ProgramFolder();
  if (!Override().empty() || ::access(folder.c_str(), W_OK) == 0) return folder;
  std::string base;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/') {
    base = xdg;
  } else if (const char* home = std::getenv("HOME"); home && *home) {
    base = std::string(home) + "/.config";
  } else {
    return folder;  // nowhere better: writes will fail and say so
  }
  ::mkdir(base.c_str(), 0755);
  std::string own = base + "/r770cfg";
  if (::mkdir(own.c_str(), 0755) != 0 && errno != EEXIST) return folder;
  return own;
}

void OverrideProgramFolder(const std::string& folder) { Override() = folder; }

}  // namespace r770
