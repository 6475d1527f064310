// How the configuration travels as module parameters: the common settings as single
// parameters (CommonParamTable), the CAN speed codes (CanSpeedCode) and the register maps as
// three array parameters each (MapArrayTable). Multi-byte numbers go low byte first; IP
// addresses and masks in their written order.
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "document/configuration.h"

namespace r770 {

// One step of the common settings: the module parameter and its size in bytes (the MAC
// address is an array of 6 one-byte elements).
struct CommonParamStep {
  std::uint16_t param;
  int size;
};

// The eleven steps in their fixed order; step 3 (the MAC address) is read but never written.
inline constexpr std::array<CommonParamStep, 11> CommonParamTable{{
    {0x11, 2},  // trepeat
    {0x12, 2},  // twaitCAN
    {0x0D, 2},  // AdrPort
    {0x08, 6},  // AdrMAC
    {0x09, 4},  // AdrIP
    {0x0A, 4},  // AdrGate
    {0x0B, 4},  // Mask
    {0x00, 1},  // AdrCAN
    {0x05, 1},  // AdrExt
    {0x14, 1},  // V_Ethernet
    {0x04, 2},  // V_CAN: 0xE0, then the speed code
}};
inline constexpr int kMacStep = 3;
inline constexpr std::uint8_t kCanSpeedPrefix = 0xE0;

// The speed of V_CAN travels as 0xE0 followed by the code the CAN-BUS adapter uses for the
// same speed (CanSpeedCode of link/can_bus.h): 300 kBd 0x41, 150 0x43, 100 0x45, 50 0x4B,
// 20 0x5D.
std::uint8_t VCanSpeedCode(std::uint8_t vCan);
// The V_CAN index of a speed code; nothing for a code the program does not know.
std::optional<std::uint8_t> VCanOfSpeedCode(std::uint8_t code);

// The bytes sent for a common step (empty for the MAC step). A V_CAN beyond the code list is
// sent as 300 kBd.
std::vector<std::uint8_t> CommonStepBytes(const CommonSettings& c, int step);
// Stores the bytes read for a common step. A speed code the program does not know leaves
// V_CAN unchanged. `bytes` holds the step's size.
void StoreCommonStep(CommonSettings& c, int step, std::span<const std::uint8_t> bytes);

// The three arrays of a map, in the order they are written.
enum class MapArray { Param, Controller, Address };
inline constexpr std::array<MapArray, 3> kMapArrayOrder{MapArray::Param, MapArray::Controller,
                                                        MapArray::Address};

// Map number k of the module (TC 0, TU 1, InputReg 2, TIFloat 3).
int ModuleMapNumber(MapKind kind);
// Array parameter: controller 0x300 + k, parameter 0x304 + k, address 0x308 + k.
std::uint16_t MapArrayParam(MapKind kind, MapArray array);
// Element size: 1 byte for the controller array, 2 for the others.
int MapArrayElementSize(MapArray array);
std::vector<std::uint8_t> MapElementBytes(const MapEntry& e, MapArray array);
void StoreMapElement(MapEntry& e, MapArray array, std::span<const std::uint8_t> bytes);

// Order in which the maps are written and read.
inline constexpr std::array<MapKind, 4> kExchangeMapOrder{MapKind::TIFloat, MapKind::TC, MapKind::TU,
                                                          MapKind::InputReg};
// Log lines naming a map: "WrModbus N_HRegister" ..., "RdModbus N_HRegister" ...
const char* WriteMapLogLine(MapKind kind);
const char* ReadMapLogLine(MapKind kind);

// Element writes of a whole configuration: 3 × (64 + 128 + 16 + 64).
inline constexpr int kMapElementCount = 3 * (CountTIFloat + CountTC + CountTU + CountInputReg);

}  // namespace r770
