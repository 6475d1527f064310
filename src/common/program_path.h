// Where the program lies (its executable and folder) and where it keeps its own files: the
// settings file and the daily exchange logs.
//
// Two placements:
//  * beside the program — a build folder or a portable folder the user unpacked: the settings
//    file and the day logs lie next to the executable;
//  * the user's folders — an installed program (its folder is under /usr, or cannot be
//    written): settings in $XDG_CONFIG_HOME/r770cfg (default ~/.config/r770cfg), day logs in
//    $XDG_STATE_HOME/r770cfg (default ~/.local/state/r770cfg).
// A program under /usr never writes beside itself, even when run by root: that folder belongs
// to the package manager.
#pragma once
#include <string>

namespace r770 {

// Full path of the running executable (from /proc/self/exe); empty when unknown.
std::string ExecutablePath();
// Folder of the executable, without a trailing "/".
std::string ProgramFolder();

// What the user's environment says about the XDG base folders (values as read from the
// environment; empty when unset).
struct UserEnvironment {
  std::string home;
  std::string xdgConfigHome;
  std::string xdgStateHome;
};
UserEnvironment CurrentUserEnvironment();

struct ProgramFolders {
  bool besideProgram = true;  // false: the user's folders
  std::string settings;       // the folder of the settings file
  std::string logs;           // the folder of the day logs
};

// The rule, free of the file system: a program in programFolder (writable or not) with the
// user environment env. A relative XDG value is ignored, as the XDG base directory rules say.
ProgramFolders FoldersFor(const std::string& programFolder, bool folderWritable, const UserEnvironment& env);

// The folders of this process (the program folder override, when set, places everything
// beside the program). Creates nothing.
ProgramFolders CurrentFolders();

// The settings folder and the day log folder of this process, created (with their parents)
// when they are the user's folders and are missing.
std::string SettingsFolder();
std::string LogFolder();

// Creates folder and its missing parents (new ones with mode 0700); true when it exists after.
bool MakeFolders(const std::string& folder);

// The settings file: the executable's path with its extension replaced by "ini", or
// ".ini" appended when the file name has no extension.
std::string SettingsPathFor(const std::string& executable);

// Tests and tools may point the program folder elsewhere (empty: back to the executable's).
void OverrideProgramFolder(const std::string& folder);

}  // namespace r770
