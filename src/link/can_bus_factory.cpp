#include "link/can_bus_factory.h"

namespace r770 {

// The CAN-BUS adapter engine plugs in here.
std::unique_ptr<TBase_Obmen> MakeCanBusEngine(const TCustomLink& link, Clock& clock) {
  (void)link;
  (void)clock;
  return nullptr;
}

}  // namespace r770
