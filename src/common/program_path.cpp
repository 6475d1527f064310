#include "common/program_path.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "common/file_io.h"

namespace r770 {
namespace {

constexpr const char* kOwnFolder = "/r770cfg";

std::string& Override() {
  static std::string folder;
  return folder;
}

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

bool UnderUsr(const std::string& folder) { return folder == "/usr" || folder.rfind("/usr/", 0) == 0; }

// An XDG value counts only when absolute; otherwise home + fallback; empty when neither.
std::string BaseFolder(const std::string& xdg, const std::string& home, const char* fallback) {
  auto trimmed = [](std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path == "/" ? std::string() : path;
  };
  if (!xdg.empty() && xdg[0] == '/') return trimmed(xdg);
  if (!home.empty() && home[0] == '/') return trimmed(home) + fallback;
  return {};
}

std::string Prepared(const std::string& folder, bool create) {
  if (create) MakeFolders(folder);
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

UserEnvironment CurrentUserEnvironment() {
  UserEnvironment env{Env("HOME"), Env("XDG_CONFIG_HOME"), Env("XDG_STATE_HOME")};
  if (env.home.empty()) {
    // No HOME (a service, a stripped environment): the account's home folder.
    struct passwd pw {};
    struct passwd* found = nullptr;
    char buf[4096];
    if (::getpwuid_r(::getuid(), &pw, buf, sizeof buf, &found) == 0 && found && found->pw_dir)
      env.home = found->pw_dir;
  }
  return env;
}

ProgramFolders FoldersFor(const std::string& programFolder, bool folderWritable, const UserEnvironment& env) {
  ProgramFolders beside{true, programFolder, programFolder};
  if (folderWritable && !UnderUsr(programFolder)) return beside;
  std::string config = BaseFolder(env.xdgConfigHome, env.home, "/.config");
  std::string state = BaseFolder(env.xdgStateHome, env.home, "/.local/state");
  // Nowhere better to go: stay beside the program, where writes fail and say so.
  if (config.empty() || state.empty()) return beside;
  return {false, config + kOwnFolder, state + kOwnFolder};
}

ProgramFolders CurrentFolders() {
  if (!Override().empty()) return {true, Override(), Override()};
  std::string folder = ProgramFolder();
  return FoldersFor(folder, ::access(folder.c_str(), W_OK) == 0, CurrentUserEnvironment());
}

std::string SettingsFolder() {
  ProgramFolders f = CurrentFolders();
  return Prepared(f.settings, !f.besideProgram);
}

std::string LogFolder() {
  ProgramFolders f = CurrentFolders();
  return Prepared(f.logs, !f.besideProgram);
}

bool MakeFolders(const std::string& folder) {
  struct stat st {};
  if (folder.empty()) return false;
  if (::stat(folder.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  auto slash = folder.find_last_of('/');
  if (slash != std::string::npos && slash > 0 && !MakeFolders(folder.substr(0, slash))) return false;
  return ::mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST;
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
