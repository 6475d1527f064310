#include "document/configuration.h"

#include "common/codec.h"
#include "common/number_forms.h"
#include "database/task_cl.h"

namespace r770 {

int MapCount(MapKind kind) {
  switch (kind) {
    case MapKind::TU:
      return CountTU;
    case MapKind::TC:
      return CountTC;
    case MapKind::TIFloat:
      return CountTIFloat;
    case MapKind::InputReg:
      return CountInputReg;
  }
  return 0;
}

const char* MapSection(MapKind kind) {
  switch (kind) {
    case MapKind::TU:
      return "TU Modbus";
    case MapKind::TC:
      return "TC Modbus";
    case MapKind::TIFloat:
      return "TIFloat Modbus";
    case MapKind::InputReg:
      return "InputReg Modbus";
  }
  return "";
}

const char* MapKey(MapKind kind) {
  switch (kind) {
    case MapKind::TU:
      return "coils";
    case MapKind::TC:
      return "di";
    case MapKind::TIFloat:
      return "hr";
    case MapKind::InputReg:
      return "ir";
  }
  return "";
}

const char* MapTitle(MapKind kind) {
  switch (kind) {
    case MapKind::TU:
      return "Coils";
    case MapKind::TC:
      return "Discrete Inputs";
    case MapKind::TIFloat:
      return "Holding Registers";
    case MapKind::InputReg:
      return "Input Registers";
  }
  return "";
}

bool IsBitMap(MapKind kind) { return kind == MapKind::TU || kind == MapKind::TC; }

int MapReadFunction(MapKind kind) {
  switch (kind) {
    case MapKind::TU:
      return 1;
    case MapKind::TC:
      return 2;
    case MapKind::TIFloat:
      return 3;
    case MapKind::InputReg:
      return 4;
  }
  return 0;
}

std::string CutParamName(const std::string& name) { return Utf8Left(name, kMaxParamName); }

ControllerEntry::ControllerEntry() = default;
ControllerEntry::ControllerEntry(ControllerEntry&&) noexcept = default;
ControllerEntry& ControllerEntry::operator=(ControllerEntry&&) noexcept = default;
ControllerEntry::~ControllerEntry() = default;

std::string ControllerEntry::TaskFilePath() const { return Task ? Task->TaskFilePath() : StoredPath; }

Configuration::Configuration() = default;
Configuration::~Configuration() = default;

bool& Configuration::MapChanged(MapKind kind) {
  switch (kind) {
    case MapKind::TU:
      return State.TUChanged;
    case MapKind::TC:
      return State.TCChanged;
    case MapKind::TIFloat:
      return State.TIFloatChanged;
    case MapKind::InputReg:
      break;
  }
  return State.InputRegChanged;
}

bool Configuration::MapChanged(MapKind kind) const {
  return const_cast<Configuration*>(this)->MapChanged(kind);
}

void Configuration::ResetCommon() {
  Common = CommonSettings{};
  State.CommonChanged = false;
}

void Configuration::CreateMaps() {
  for (MapKind k : kAllMapKinds)
    maps_[static_cast<int>(k)].assign(static_cast<std::size_t>(MapCount(k)), MapEntry{});
}

void Configuration::ResetMapEntry(MapKind kind, int index) {
  RegisterMap& m = Map(kind);
  if (m.size() != static_cast<std::size_t>(MapCount(kind)))
    m.resize(static_cast<std::size_t>(MapCount(kind)));
  if (index < 0) {
    for (auto& e : m) e = MapEntry{};
    MapChanged(kind) = false;
  } else if (static_cast<std::size_t>(index) < m.size()) {
    m[static_cast<std::size_t>(index)] = MapEntry{};
  }
}

bool EntryBelongsTo(const MapEntry& e, std::int32_t nset) {
  return !e.IsEmpty() && e.ModuleNo == static_cast<std::uint8_t>(nset & 0xFF);
}

void Configuration::EmptyEntriesOfDeleted() {
  for (MapKind kind : kAllMapKinds) {
    RegisterMap& map = Map(kind);
    for (std::size_t i = 0; i < map.size(); ++i)
      for (std::int32_t nset : DeletedNsets)
        if (EntryBelongsTo(map[i], nset)) ResetMapEntry(kind, static_cast<int>(i));
  }
  DeletedNsets.clear();
}

void Configuration::ClearControllers() {
  Controllers.clear();
  DeletedNsets.clear();
  State.ControllersChanged = false;
}

bool Configuration::AnyChanged() const {
  const DocumentState& s = State;
  return s.CommonChanged || s.ControllersChanged || s.TUChanged || s.TCChanged || s.TIFloatChanged ||
         s.InputRegChanged;
}

void Configuration::SetAllChanged() {
  State.CommonChanged = State.ControllersChanged = State.TUChanged = State.TCChanged = State.TIFloatChanged =
      State.InputRegChanged = true;
}

void Configuration::ClearAllChanged() {
  State.CommonChanged = State.ControllersChanged = State.TUChanged = State.TCChanged = State.TIFloatChanged =
      State.InputRegChanged = false;
}

std::string Configuration::DisplayName(const MapEntry& entry) const {
  if (!State.FromModule) return entry.ParamName;
  auto pos = FindController(entry.ModuleNo);
  if (pos && Controllers[*pos].Found) return entry.ParamName;
  return "Параметр " + Hex4(entry.ParamNo) + " (модуль " + Hex2(entry.ModuleNo) + ")";
}

bool Configuration::HasControllers() const {
  for (const auto& c : Controllers)
    if (c.Task) return true;
  return false;
}

std::optional<std::size_t> Configuration::FindController(std::int32_t nset) const {
  for (std::size_t i = 0; i < Controllers.size(); ++i)
    if (Controllers[i].Nset == nset) return i;
  return std::nullopt;
}

void Configuration::ResetForNew() {
  CreateMaps();
  ResetCommon();
  ClearControllers();
  for (MapKind k : {MapKind::TU, MapKind::TC, MapKind::TIFloat, MapKind::InputReg}) ResetMapEntry(k, -1);
}

}  // namespace r770
