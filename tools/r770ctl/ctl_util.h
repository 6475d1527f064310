// Shared pieces of the r770ctl commands.
#pragma once
#include <string>
#include <vector>

#include "ctl.h"
#include "document/configuration.h"
#include "document/program_settings.h"

namespace r770::ctl {

bool HasHelp(const std::vector<std::string>& args);
int UsageError(Io& io, const std::string& message);

// The settings of the configurator (database folders, links, test parameters).
std::string SettingsPath(const Io& io);
bool ReadSettings(Io& io, ProgramSettings& s);

struct Loaded {
  std::string dbRoot;  // when set: database root whose ALG, MOD, TASK folders are used
  ProgramSettings settings;
  Configuration cfg;
  std::vector<std::string> messages;  // what the load reported
};

// Loads a document the way the configurator does, without windows: messages go to
// stderr (and into doc.messages). False when the file is missing or the load stopped.
bool LoadForCtl(const std::string& path, Io& io, Loaded& doc);

}  // namespace r770::ctl
