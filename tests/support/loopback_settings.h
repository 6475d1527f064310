// Exchange settings for a simulated module on this machine over TCP, with the shortest waits.
#pragma once
#include <cstdint>
#include <string>

#include "document/program_settings.h"

namespace r770::test {

inline ProgramSettings LoopbackSettings(const std::string& settingsPath, int port, std::uint8_t net) {
  ProgramSettings settings;
  settings.Path = settingsPath;
  settings.LinkKind = LinkKindSetting::Ethernet;
  settings.ModuleIP = "127.0.0.1";
  settings.ModulePort = port;
  settings.AnswerTimeSec = 1;
  settings.Retries = 1;
  settings.ModuleNetNumber = net;
  return settings;
}

}  // namespace r770::test
