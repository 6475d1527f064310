// Where the program lies: its executable, its folder, the settings file beside it.
#pragma once
#include <string>

namespace r770 {

// Full path of the running executable (from /proc/self/exe); empty when unknown.
std::string ExecutablePath();
// Folder of the executable, without a trailing "/".
std::string ProgramFolder();
// Where the settings file and the daily exchange log lie: the program's folder when it can
// be written (a portable folder), else $XDG_CONFIG_HOME/r770cfg (default ~/.config/r770cfg),
// created on demand (a system-wide install).
std::string DataFolder();

// The settings file: the executable's path with its extension replaced by "ini", or
// ".ini" appended when the file name has no extension.
std::string SettingsPathFor(const std::string& executable);

// Tests and tools may point the program folder elsewhere (empty: back to the executable's).
void OverrideProgramFolder(const std::string& folder);

}  // namespace r770
