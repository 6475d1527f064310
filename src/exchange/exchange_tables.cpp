#include "exchange/exchange_tables.h"

#include <algorithm>

#include "link/can_bus.h"

namespace r770 {
namespace {

std::vector<std::uint8_t> Word(std::uint16_t v) {
  return {static_cast<std::uint8_t>(v & 0xFF), static_cast<std::uint8_t>(v >> 8)};
}

std::uint16_t WordOf(std::span<const std::uint8_t> b) {
  return static_cast<std::uint16_t>(b[0] + 256 * b[1]);
}

template <std::size_t N>
void CopyBytes(std::array<std::uint8_t, N>& to, std::span<const std::uint8_t> from) {
  std::copy_n(from.begin(), std::min(N, from.size()), to.begin());
}

}  // namespace

std::uint8_t VCanSpeedCode(std::uint8_t vCan) {
  // An index beyond the speed list goes as 300 kBd.
  return CanSpeedCode(vCan < kCanSpeeds.size() ? kCanSpeeds[vCan] : kCanSpeeds[0]);
}

std::optional<std::uint8_t> VCanOfSpeedCode(std::uint8_t code) {
  for (std::uint8_t v = 0; v < kCanSpeeds.size(); ++v)
    if (CanSpeedCode(kCanSpeeds[v]) == code) return v;
  return std::nullopt;
}

std::vector<std::uint8_t> CommonStepBytes(const CommonSettings& c, int step) {
  switch (step) {
    case 0:
      return Word(c.trepeat);
    case 1:
      return Word(c.twaitCAN);
    case 2:
      return Word(c.AdrPort);
    case 4:
      return {c.AdrIP.begin(), c.AdrIP.end()};
    case 5:
      return {c.AdrGate.begin(), c.AdrGate.end()};
    case 6:
      return {c.Mask.begin(), c.Mask.end()};
    case 7:
      return {c.AdrCAN};
    case 8:
      return {c.AdrExt};
    case 9:
      return {c.V_Ethernet};
    case 10:
      return {kCanSpeedPrefix, VCanSpeedCode(c.V_CAN)};
    default:
      return {};
  }
}

void StoreCommonStep(CommonSettings& c, int step, std::span<const std::uint8_t> b) {
  if (step < 0 || step >= static_cast<int>(CommonParamTable.size())) return;
  if (b.size() < static_cast<std::size_t>(CommonParamTable[static_cast<std::size_t>(step)].size)) return;
  switch (step) {
    case 0:
      c.trepeat = WordOf(b);
      break;
    case 1:
      c.twaitCAN = WordOf(b);
      break;
    case 2:
      c.AdrPort = WordOf(b);
      break;
    case 3:
      CopyBytes(c.AdrMAC, b);
      break;
    case 4:
      CopyBytes(c.AdrIP, b);
      break;
    case 5:
      CopyBytes(c.AdrGate, b);
      break;
    case 6:
      CopyBytes(c.Mask, b);
      break;
    case 7:
      c.AdrCAN = b[0];
      break;
    case 8:
      c.AdrExt = b[0];
      break;
    case 9:
      c.V_Ethernet = b[0];
      break;
    case 10:
      if (auto v = VCanOfSpeedCode(b[1])) c.V_CAN = *v;
      break;
    default:
      break;
  }
}

int ModuleMapNumber(MapKind kind) {
  switch (kind) {
    case MapKind::TC:
      return 0;
    case MapKind::TU:
      return 1;
    case MapKind::InputReg:
      return 2;
    case MapKind::TIFloat:
      return 3;
  }
  return 0;
}

std::uint16_t MapArrayParam(MapKind kind, MapArray array) {
  const int k = ModuleMapNumber(kind);
  switch (array) {
    case MapArray::Controller:
      return static_cast<std::uint16_t>(0x300 + k);
    case MapArray::Param:
      return static_cast<std::uint16_t>(0x304 + k);
    case MapArray::Address:
      return static_cast<std::uint16_t>(0x308 + k);
  }
  return 0;
}

int MapArrayElementSize(MapArray array) { return array == MapArray::Controller ? 1 : 2; }

std::vector<std::uint8_t> MapElementBytes(const MapEntry& e, MapArray array) {
  switch (array) {
    case MapArray::Controller:
      return {e.ModuleNo};
    case MapArray::Param:
      return Word(e.ParamNo);
    case MapArray::Address:
      return Word(e.ModbusAddr);
  }
  return {};
}

void StoreMapElement(MapEntry& e, MapArray array, std::span<const std::uint8_t> b) {
  if (b.size() < static_cast<std::size_t>(MapArrayElementSize(array))) return;
  switch (array) {
    case MapArray::Controller:
      e.ModuleNo = b[0];
      break;
    case MapArray::Param:
      e.ParamNo = WordOf(b);
      break;
    case MapArray::Address:
      e.ModbusAddr = WordOf(b);
      break;
  }
}

const char* WriteMapLogLine(MapKind kind) {
  switch (kind) {
    case MapKind::TIFloat:
      return "WrModbus N_HRegister";
    case MapKind::TC:
      return "WrModbus N_Input";
    case MapKind::TU:
      return "WrModbus N_Coil";
    case MapKind::InputReg:
      return "WrModbus N_IRegister";
  }
  return "";
}

const char* ReadMapLogLine(MapKind kind) {
  switch (kind) {
    case MapKind::TIFloat:
      return "RdModbus N_HRegister";
    case MapKind::TC:
      return "RdModbus N_Input";
    case MapKind::TU:
      return "RdModbus N_Coil";
    case MapKind::InputReg:
      return "RdModbus N_IRegister";
  }
  return "";
}

}  // namespace r770
