// Maker of the CAN-BUS adapter engine for OpenLink (kind 3).
#pragma once
#include <memory>

#include "common/clock.h"
#include "link/exchange_engine.h"

namespace r770 {

// Makes the engine for a CAN-BUS adapter link record, or none when the record is not a
// TCANbusLink (or no CAN-BUS engine is built in).
std::unique_ptr<TBase_Obmen> MakeCanBusEngine(const TCustomLink& link, Clock& clock);

}  // namespace r770
