#include "modbus_module_maps.h"

namespace r770::sim {
namespace {

const SimParam* FindIn(const std::vector<SimParam>& params, std::uint16_t number) {
  for (const SimParam& p : params)
    if (p.number == number) return &p;
  return nullptr;
}

std::uint16_t Word(const SimParam* p, int i) {
  std::size_t at = static_cast<std::size_t>(i) * 2;
  if (!p || p->elementSize != 2 || at + 2 > p->bytes.size()) return 0xFFFF;
  return static_cast<std::uint16_t>(p->bytes[at] | p->bytes[at + 1] << 8);  // low byte first
}

}  // namespace

ModbusMaps MapsOf(const SimModule& module) {
  // Params() copies the whole store under the module's lock: one consistent view.
  const std::vector<SimParam> params = module.Params();
  ModbusMaps maps;
  for (int k = 0; k < 4; ++k) {
    const SimParam* controllers = FindIn(params, static_cast<std::uint16_t>(0x300 + k));
    const SimParam* parameters = FindIn(params, static_cast<std::uint16_t>(0x304 + k));
    const SimParam* addresses = FindIn(params, static_cast<std::uint16_t>(0x308 + k));
    if (!controllers || controllers->elementSize != 1) continue;
    const int count = static_cast<int>(controllers->bytes.size());
    maps[k].resize(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
      ModbusMapEntry& e = maps[k][static_cast<std::size_t>(i)];
      e.controller = controllers->bytes[static_cast<std::size_t>(i)];
      e.parameter = Word(parameters, i);
      e.address = Word(addresses, i);
    }
  }
  return maps;
}

ModbusServer::SnapshotFn SnapshotOf(const SimModule& module) {
  return [&module] { return MapsOf(module); };
}

}  // namespace r770::sim
