// The command line of the configurator r770cfg (what is left after Qt took its own options).
#pragma once
#include <string>
#include <vector>

#include "common/program_path.h"

namespace r770 {

struct AppCommandLine {
  enum class Action { Run, Help, Version, Error };
  Action action = Action::Run;
  std::string document;         // a document to open at start; empty: none
  bool quitAfterStart = false;  // show the main window, then quit (a check of an installation)
  std::string error;            // Action::Error: what is wrong
};

// args: the arguments after the program name. --help (-h) and --version answer wherever they
// stand before "--"; anything after "--" is a document name.
AppCommandLine ParseAppCommandLine(const std::vector<std::string>& args);

// "r770cfg 10.0\n"
std::string AppVersionText();
// The usage text, with where the settings file and the day logs of this program lie.
std::string AppHelpText(const ProgramFolders& folders, const std::string& settingsFile);

}  // namespace r770
