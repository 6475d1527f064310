// r770-sim: a simulated R-770 TCP/Modbus module answering FT1.2 requests over TCP and, with
// --can, CanFrames as a CAN-BUS adapter on a pseudo-terminal.
#include <csignal>
#include <cstdio>
#include <iostream>
#include <memory>
#include <mutex>

#include "can_frontend.h"
#include "common/number_forms.h"
#include "common/version.h"
#include "ft12_server.h"
#include "modbus_module_maps.h"
#include "modbus_server.h"
#include "sim_options.h"
#include "sim_state.h"

namespace {

using namespace r770;
using namespace r770::sim;

// Publishes one module of the bus over Modbus/TCP (the first one unless --modbus-net names
// another). 0 when it listens, else the exit code.
int StartModbus(SimBus& bus, ModbusServerOptions& o, const std::string& ft12Address,
                std::unique_ptr<ModbusServer>& modbus) {
  SimModule* published = o.net ? bus.Find(*o.net) : bus.Modules().front().get();
  if (!published) {
    std::cerr << "r770-sim: --modbus-net: модуля " << Hex2(*o.net) << " нет на шине\n";
    return 2;
  }
  if (o.bindAddress.empty()) o.bindAddress = ft12Address;
  modbus = std::make_unique<ModbusServer>(o, SnapshotOf(*published));
  std::string startError;
  if (!modbus->Start(startError)) {
    std::cerr << "r770-sim: " << startError << "\n";
    return 1;
  }
  std::cout << "r770-sim: Modbus/TCP модуля " << Hex2(published->Net()) << " на " << o.bindAddress << ":"
            << modbus->Port() << std::endl;
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace r770;
  using namespace r770::sim;
  SimCommandLine line;
  const std::string error = ReadSimCommandLine(std::vector<std::string>(argv + 1, argv + argc), line);
  const SimOptions& options = line.sim;
  if (!error.empty()) {
    std::cerr << "r770-sim: " << error << "\n";
    return 2;
  }
  if (options.version) {
    std::cout << VersionText("r770-sim");
    return 0;
  }
  if (options.help) {
    std::cout << SimHelpText() << ModbusHelpText() << CanHelpText();
    return 0;
  }

  SimBus bus;
  BuildBus(options, bus);
  if (!options.stateFile.empty()) {
    const std::string loadError = LoadStateFile(options.stateFile, bus);
    if (!loadError.empty()) {
      std::cerr << "r770-sim: " << loadError << "\n";
      return 1;
    }
  }

  // SIGINT and SIGTERM are taken by sigwait below, on this thread only.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGUSR1);  // lifts every fault
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  std::mutex saveMutex;
  auto save = [&] {
    if (options.stateFile.empty()) return;
    std::lock_guard lock(saveMutex);
    const std::string saveError = SaveStateFile(options.stateFile, bus);
    if (!saveError.empty()) std::cerr << "r770-sim: " << saveError << "\n";
  };

  Ft12Server server(bus, options.server);
  server.onConnectionClosed = save;
  std::string startError;
  if (!server.Start(&startError)) {
    std::cerr << "r770-sim: " << startError << "\n";
    return 1;
  }
  std::string modules;
  for (const auto& m : bus.Modules())
    modules += (modules.empty() ? "" : ", ") + Hex2(m->Net()) + " (тип " + Hex4(m->DeviceType()) + ")";
  std::cout << "r770-sim: модули " << modules << "; FT1.2 на " << server.Address() << ":" << server.Port()
            << std::endl;

  std::unique_ptr<ModbusServer> modbus;
  if (line.modbusOn) {
    if (const int code = StartModbus(bus, line.modbus, server.Address(), modbus); code != 0) return code;
  }

  std::unique_ptr<CanFrontend> canFrontend;
  if (line.canOn) {
    line.can.faults.silent = options.server.faults.silent;
    line.can.faults.wrongPacket = options.server.faults.wrongPacket;
    canFrontend = std::make_unique<CanFrontend>(bus, line.can);
    if (!canFrontend->Start(&startError)) {
      std::cerr << "r770-sim: " << startError << "\n";
      server.Stop();
      return 1;
    }
    std::cout << "r770-sim: адаптер CAN-BUS на " << canFrontend->DevicePath() << std::endl;
  }

  int signal = 0;
  while (sigwait(&stopSignals, &signal) == 0 && signal == SIGUSR1) {
    server.SetFaults({});
    if (canFrontend) canFrontend->SetFaults({});
    SimBehaviour plain;
    plain.stopDelayMs = options.behaviour.stopDelayMs;
    for (const auto& m : bus.Modules()) m->SetBehaviour(plain);
    std::cout << "r770-sim: ошибки сняты" << std::endl;
  }
  if (canFrontend) canFrontend->Stop();
  if (modbus) modbus->Stop();
  server.Stop();
  save();
  std::cout << "r770-sim: остановлен" << std::endl;
  return 0;
}
