// Command line of r770-sim.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "can_frontend.h"
#include "ft12_server.h"
#include "modbus_server.h"
#include "sim_module.h"

namespace r770::sim {

// The program's behaviour defaults: a stop takes 300 ms, as on a real device.
inline SimBehaviour CliBehaviour() {
  SimBehaviour b;
  b.stopDelayMs = 300;
  return b;
}

struct SimOptions {
  Ft12ServerOptions server;
  std::vector<std::uint8_t> nets{0x01};
  std::vector<std::uint16_t> types{0x1101};  // one for all modules, or one per module
  SimBehaviour behaviour = CliBehaviour();
  std::string stateFile;
  bool help = false;
  bool version = false;
};

// Reads the arguments (without the program name). Empty on success, else a message.
std::string ParseSimOptions(const std::vector<std::string>& args, SimOptions& options);
std::string SimHelpText();
// The message for an option given last without its value.
std::string NeedsValue(const std::string& option);
// The whole command line: the CAN-BUS adapter's options are taken out first, then the
// Modbus/TCP server's, and the rest are the simulator's own.
struct SimCommandLine {
  SimOptions sim;
  CanFrontendOptions can;
  bool canOn = false;
  ModbusServerOptions modbus;
  bool modbusOn = false;
};
// Empty on success, else the message.
std::string ReadSimCommandLine(std::vector<std::string> args, SimCommandLine& line);
// Puts the modules of the options on the bus.
void BuildBus(const SimOptions& options, SimBus& bus);

}  // namespace r770::sim
