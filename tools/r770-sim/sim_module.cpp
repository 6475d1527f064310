#include "sim_module.h"

#include <algorithm>

namespace r770::sim {

namespace {

std::uint16_t Word(std::span<const std::uint8_t> bytes, std::size_t at) {
  return static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

SimParam MakeParam(std::uint16_t number, int size, int count, std::string name,
                   std::vector<std::uint8_t> value, bool writable = true) {
  SimParam p;
  p.number = number;
  p.elementSize = size;
  p.count = count;
  p.writable = writable;
  p.name = std::move(name);
  // value holds one element, repeated over the array
  for (int i = 0; i < count; ++i) p.bytes.insert(p.bytes.end(), value.begin(), value.end());
  return p;
}

SimParam MakeWord(std::uint16_t number, int count, std::string name, std::uint16_t value,
                  bool writable = true) {
  SimParam p =
      MakeParam(number, 2, count, std::move(name),
                {static_cast<std::uint8_t>(value & 0xFF), static_cast<std::uint8_t>(value >> 8)}, writable);
  p.word = true;
  return p;
}

}  // namespace

SimModule::SimModule(std::uint8_t net, std::uint16_t deviceType, SimBehaviour behaviour)
    : net_(net), deviceType_(deviceType), behaviour_(behaviour) {
  std::vector<SimParam> all = {
      MakeParam(0x00, 1, 1, "адрес по шине CAN-BUS", {0x01}),
      MakeParam(0x04, 2, 1, "скорость CAN-BUS: E0, код скорости", {0xE0, 0x41}),
      MakeParam(0x05, 1, 1, "адрес Modbus", {0x01}),
      MakeParam(0x08, 1, 6, "MAC-адрес", {0x00}, false),
      MakeParam(0x09, 4, 1, "IP-адрес", {192, 168, 0, 10}),
      MakeParam(0x0A, 4, 1, "шлюз", {192, 168, 0, 1}),
      MakeParam(0x0B, 4, 1, "маска подсети", {255, 255, 255, 0}),
      MakeWord(0x0D, 1, "порт Modbus/TCP", 502),
      MakeWord(0x11, 1, "период опроса, с", 3),
      MakeWord(0x12, 1, "время ожидания ответа по CAN-BUS, мс", 50),
      MakeParam(0x14, 1, 1, "скорость Ethernet (0 авто, 1 10 Мбит/с)", {0x00}),
      MakeWord(kSimDeviceType, 1, "тип прибора", deviceType, false),
      MakeParam(kSimRunState, 1, 1, "состояние (0 работа, 1 команда стоп, 81 стоп)", {0x00}),
  };
  all[3].bytes = {0x02, 0x52, 0x37, 0x37, 0x30, net};  // MAC: locally administered, ends in the net number
  static const char* kMapNames[4] = {"TC (Discrete Inputs)", "TU (Coils)", "InputReg (Input Registers)",
                                     "TIFloat (Holding Registers)"};
  static const int kMapCounts[4] = {128, 16, 64, 64};
  for (int k = 0; k < 4; ++k) {
    const auto n = static_cast<std::uint16_t>(k);
    all.push_back(
        MakeParam(0x300 + n, 1, kMapCounts[k], std::string(kMapNames[k]) + ": номера контроллеров", {0xFF}));
    all.push_back(
        MakeWord(0x304 + n, kMapCounts[k], std::string(kMapNames[k]) + ": номера параметров", 0xFFFF));
    all.push_back(MakeWord(0x308 + n, kMapCounts[k], std::string(kMapNames[k]) + ": адреса Modbus", 0xFFFF));
  }
  for (auto& p : all) params_.emplace(p.number, std::move(p));
}

SimParam* SimModule::Find(std::uint16_t number) {
  auto it = params_.find(number);
  return it == params_.end() ? nullptr : &it->second;
}

const SimParam* SimModule::Find(std::uint16_t number) const {
  auto it = params_.find(number);
  return it == params_.end() ? nullptr : &it->second;
}

void SimModule::SettleRunStateLocked() {
  SimParam* state = Find(kSimRunState);
  if (state->bytes[0] != 1 || !stopCommandAt_ || behaviour_.neverStops) return;
  if (Steady::now() - *stopCommandAt_ >= std::chrono::milliseconds(behaviour_.stopDelayMs)) {
    state->bytes[0] = 0x81;
    stopCommandAt_.reset();
  }
}

std::uint8_t SimModule::RunState() {
  std::lock_guard lock(mutex_);
  SettleRunStateLocked();
  return Find(kSimRunState)->bytes[0];
}

std::optional<std::vector<std::uint8_t>> SimModule::ReadParam(std::uint16_t number) {
  std::lock_guard lock(mutex_);
  if (number == kSimRunState) SettleRunStateLocked();
  const SimParam* p = Find(number);
  if (!p) return std::nullopt;
  return p->bytes;
}

bool SimModule::WriteParamLocked(std::uint16_t number, std::span<const std::uint8_t> data) {
  SimParam* p = Find(number);
  if (!p || !p->writable || accessLevel_ < kSimAccessLevel || data.size() != p->bytes.size()) return false;
  if (number == kSimRunState) {
    const std::uint8_t value = data[0];
    if (value == 1) {
      stopCommandAt_ = Steady::now();
      p->bytes[0] = 1;
    } else if (value == 0) {
      stopCommandAt_.reset();
      if (!behaviour_.neverRuns) p->bytes[0] = 0;
    } else {
      p->bytes[0] = value;
    }
    if (value == 1) SettleRunStateLocked();
  } else {
    std::copy(data.begin(), data.end(), p->bytes.begin());
  }
  ++writes_;
  return true;
}

bool SimModule::WriteParam(std::uint16_t number, std::span<const std::uint8_t> data) {
  std::lock_guard lock(mutex_);
  return WriteParamLocked(number, data);
}

std::optional<std::vector<std::uint8_t>> SimModule::ReadElementLocked(std::uint16_t number,
                                                                      std::uint16_t index) {
  if (number == kSimRunState) SettleRunStateLocked();
  const SimParam* p = Find(number);
  if (!p || index >= p->count) return std::nullopt;
  const auto at = p->bytes.begin() + index * p->elementSize;
  return std::vector<std::uint8_t>(at, at + p->elementSize);
}

std::optional<std::vector<std::uint8_t>> SimModule::ReadElement(std::uint16_t number, std::uint16_t index) {
  std::lock_guard lock(mutex_);
  return ReadElementLocked(number, index);
}

bool SimModule::WriteElementLocked(std::uint16_t number, std::uint16_t index,
                                   std::span<const std::uint8_t> data) {
  SimParam* p = Find(number);
  if (!p || !p->writable || accessLevel_ < kSimAccessLevel || index >= p->count ||
      data.size() != static_cast<std::size_t>(p->elementSize))
    return false;
  if (p->count == 1) return WriteParamLocked(number, data);
  std::copy(data.begin(), data.end(), p->bytes.begin() + index * p->elementSize);
  ++writes_;
  return true;
}

bool SimModule::WriteElement(std::uint16_t number, std::uint16_t index, std::span<const std::uint8_t> data) {
  std::lock_guard lock(mutex_);
  return WriteElementLocked(number, index, data);
}

std::uint8_t SimModule::OpenAccess(std::uint8_t level) {
  std::lock_guard lock(mutex_);
  if (behaviour_.refuseAccess || level > kSimAccessLevel) {
    accessLevel_ = 0;
    return 0;
  }
  accessLevel_ = level;
  return level;
}

void SimModule::ResetAccess() {
  std::lock_guard lock(mutex_);
  accessLevel_ = 0;
  canArray_.reset();
}

void SimModule::SetBehaviour(const SimBehaviour& behaviour) {
  std::lock_guard lock(mutex_);
  behaviour_ = behaviour;
}

SimReply SimModule::HandleFt12(std::span<const std::uint8_t> d) {
  if (d.empty()) return SimReply::Nak();
  switch (d[0]) {
    case 0x01: {
      if (d.size() < 3) return SimReply::Nak();
      auto bytes = ReadParam(Word(d, 1));
      // one answer frame holds at most 247 data bytes
      if (!bytes || bytes->size() > 247) return SimReply::Nak();
      return SimReply::With(std::move(*bytes));
    }
    case 0x05:
      if (d.size() < 4) return SimReply::Nak();
      return WriteParam(Word(d, 1), d.subspan(3)) ? SimReply::Ack() : SimReply::Nak();
    case 0x15: {
      if (d.size() < 5) return SimReply::Nak();
      auto bytes = ReadElement(Word(d, 1), Word(d, 3));
      return bytes ? SimReply::With(std::move(*bytes)) : SimReply::Nak();
    }
    case 0x16:
      if (d.size() < 6) return SimReply::Nak();
      return WriteElement(Word(d, 1), Word(d, 3), d.subspan(5)) ? SimReply::Ack() : SimReply::Nak();
    case 0x17:
      if (d.size() < 2) return SimReply::Nak();
      return SimReply::With({OpenAccess(d[1])});
    default:
      return SimReply::Nak();
  }
}

SimReply SimModule::HandleCan(std::span<const std::uint8_t> d) {
  if (d.empty()) return SimReply::Nak();
  // A CanFrame's request carries its arguments without a length: the front-end hands over
  // the meaningful bytes only (count - 1).
  switch (d[0]) {
    case 0x02: {
      if (d.size() < 3) return SimReply::Nak();
      auto bytes = ReadParam(Word(d, 1));
      if (!bytes || bytes->size() > 7) return SimReply::Nak();
      return SimReply::With(std::move(*bytes));
    }
    case 0x03:
      if (d.size() < 4) return SimReply::Nak();
      return WriteParam(Word(d, 1), d.subspan(3)) ? SimReply::With({0}) : SimReply::Nak();
    case 0x05:
      if (d.size() < 2) return SimReply::Nak();
      return SimReply::With({OpenAccess(d[1])});
    case 0x06: {
      if (d.size() < 3) return SimReply::Nak();
      std::lock_guard lock(mutex_);
      const std::uint16_t number = Word(d, 1);
      if (!Find(number)) return SimReply::Nak();
      canArray_ = number;
      return SimReply::With({0});
    }
    case 0x07: {
      if (d.size() < 4) return SimReply::Nak();
      std::lock_guard lock(mutex_);
      if (!canArray_) return SimReply::Nak();
      return WriteElementLocked(*canArray_, Word(d, 1), d.subspan(3)) ? SimReply::With({0}) : SimReply::Nak();
    }
    case 0x08: {
      if (d.size() < 5) return SimReply::Nak();
      auto bytes = ReadElement(Word(d, 1), Word(d, 3));
      if (!bytes || bytes->size() > 7) return SimReply::Nak();
      return SimReply::With(std::move(*bytes));
    }
    default:
      return SimReply::Nak();
  }
}

std::optional<SimParam> SimModule::Param(std::uint16_t number) const {
  std::lock_guard lock(mutex_);
  const SimParam* p = Find(number);
  if (!p) return std::nullopt;
  return *p;
}

std::vector<SimParam> SimModule::Params() const {
  std::lock_guard lock(mutex_);
  std::vector<SimParam> all;
  for (const auto& [number, p] : params_) all.push_back(p);
  return all;
}

bool SimModule::SetParamBytes(std::uint16_t number, std::span<const std::uint8_t> bytes) {
  std::lock_guard lock(mutex_);
  SimParam* p = Find(number);
  if (!p || bytes.size() != p->bytes.size()) return false;
  std::copy(bytes.begin(), bytes.end(), p->bytes.begin());
  if (number == kSimRunState) stopCommandAt_ = p->bytes[0] == 1 ? std::optional(Steady::now()) : std::nullopt;
  return true;
}

std::optional<std::uint32_t> SimModule::ElementValue(std::uint16_t number, std::uint16_t index) const {
  std::lock_guard lock(mutex_);
  const SimParam* p = Find(number);
  if (!p || index >= p->count) return std::nullopt;
  std::uint32_t value = 0;
  for (int i = p->elementSize - 1; i >= 0; --i)
    value = (value << 8) | p->bytes[static_cast<std::size_t>(index * p->elementSize + i)];
  return value;
}

int SimModule::WriteCount() const {
  std::lock_guard lock(mutex_);
  return writes_;
}

SimModule& SimBus::Add(std::uint8_t net, std::uint16_t deviceType, SimBehaviour behaviour) {
  modules_.push_back(std::make_unique<SimModule>(net, deviceType, behaviour));
  return *modules_.back();
}

SimModule* SimBus::Find(std::uint8_t net) const {
  for (const auto& m : modules_)
    if (m->Net() == net) return m.get();
  return nullptr;
}

}  // namespace r770::sim
