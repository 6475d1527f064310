// The module simulator on loopback for r770ctl's tests: the FT1.2 front-end of the bus and
// the Modbus/TCP server publishing one module's maps (values frozen), both on free ports.
#pragma once
#include <memory>
#include <string>

#include "ft12_server.h"
#include "modbus_module_maps.h"
#include "modbus_server.h"
#include "sim_module.h"

namespace r770::test {

struct SimServers {
  sim::SimBus bus;
  std::unique_ptr<sim::Ft12Server> ft12;
  std::unique_ptr<sim::ModbusServer> modbus;

  // Starts both servers; module is the one of bus whose maps the Modbus server publishes.
  // Empty on success, else what failed.
  std::string Start(sim::SimModule& module) {
    sim::Ft12ServerOptions fo;
    fo.listen = "127.0.0.1";
    fo.port = 0;
    ft12 = std::make_unique<sim::Ft12Server>(bus, fo);
    std::string error;
    if (!ft12->Start(&error)) return error;
    sim::ModbusServerOptions mo;
    mo.bindAddress = "127.0.0.1";
    mo.port = 0;
    mo.fixed = true;
    modbus = std::make_unique<sim::ModbusServer>(mo, sim::SnapshotOf(module));
    if (!modbus->Start(error)) return error;
    return {};
  }
  void Stop() {
    if (modbus) modbus->Stop();
    if (ft12) ft12->Stop();
  }
  // "--tcp" value of the FT1.2 front-end.
  std::string Tcp() const { return "127.0.0.1:" + std::to_string(ft12->Port()); }
};

}  // namespace r770::test
