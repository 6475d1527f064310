// The register maps of a simulated module as the Modbus/TCP server publishes them.
#pragma once
#include "modbus_server.h"
#include "sim_module.h"

namespace r770::sim {

// The four maps from the module's arrays 0x300+k (controller), 0x304+k (parameter) and
// 0x308+k (Modbus address), taken in one consistent copy of the module's store.
ModbusMaps MapsOf(const SimModule& module);

// A snapshot function for ModbusServer that reads `module` at every request.
ModbusServer::SnapshotFn SnapshotOf(const SimModule& module);

}  // namespace r770::sim
