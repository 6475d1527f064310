// The simulator's state file: the parameter store of every module as readable text, so that
// a user can see what a configurator wrote and start the next session from it.
//
//   [01]                       one section per module, its network number in hex
//   ; адрес по шине CAN-BUS    a comment line naming the parameter
//   0000 = 01                  parameter number = its elements in hex
//   0304 = 1234 FFFF ...       elements that are 2-byte numbers as their value (kept low
//   0009 = C0A8000A            byte first), other elements as their bytes in the stored order
#pragma once
#include <string>

#include "sim_module.h"

namespace r770::sim {

std::string FormatState(const SimBus& bus);
// Loads values into the modules of the bus (the device type stays as the module was made;
// sections of modules not on the bus are skipped). Empty on success, else a message.
std::string ParseState(const std::string& text, SimBus& bus);

// A missing file is no error (the store keeps its defaults).
std::string LoadStateFile(const std::string& path, SimBus& bus);
std::string SaveStateFile(const std::string& path, const SimBus& bus);

}  // namespace r770::sim
