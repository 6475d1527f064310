#include "link/can_bus_factory.h"

#include "link/can_bus.h"

namespace r770 {

std::unique_ptr<TBase_Obmen> MakeCanBusEngine(const TCustomLink& link, Clock& clock) {
  const auto* can = dynamic_cast<const TCANbusLink*>(&link);
  if (!can) return nullptr;
  return std::make_unique<T_CanBus>(*can, clock);
}

}  // namespace r770
