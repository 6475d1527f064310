// The one configuration the program edits: common settings, controller list, four
// register maps, removed controllers and the document's state.
#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace r770 {

class Task_CL;

struct CommonSettings {
  std::uint8_t AdrCAN = 0;
  std::uint8_t AdrExt = 0;
  std::uint8_t V_CAN = 0;       // index into 300, 150, 100, 50, 20 kBd
  std::uint8_t V_Ethernet = 0;  // 0 automatic, 1 10 Mbit/s
  std::uint16_t trepeat = 3;
  std::uint16_t twaitCAN = 50;
  std::uint16_t AdrPort = 0xFFFF;
  std::array<std::uint8_t, 6> AdrMAC{255, 255, 255, 255, 255, 255};
  std::array<std::uint8_t, 4> AdrIP{255, 255, 255, 255};
  std::array<std::uint8_t, 4> AdrGate{255, 255, 255, 255};
  std::array<std::uint8_t, 4> Mask{255, 255, 255, 255};
  bool Invers = false;
  bool SWAP = false;

  bool operator==(const CommonSettings&) const = default;
};

// CAN-BUS speeds in kBd by V_CAN index.
inline constexpr std::array<int, 5> kCanSpeeds{300, 150, 100, 50, 20};

enum class MapKind { TU = 0, TC = 1, TIFloat = 2, InputReg = 3 };
inline constexpr std::array<MapKind, 4> kAllMapKinds{MapKind::TU, MapKind::TC, MapKind::TIFloat,
                                                     MapKind::InputReg};

inline constexpr int CountTU = 16;
inline constexpr int CountTC = 128;
inline constexpr int CountTIFloat = 64;
inline constexpr int CountInputReg = 64;

int MapCount(MapKind kind);
// Document section of a map: "TU Modbus", "TC Modbus", "TIFloat Modbus", "InputReg Modbus".
const char* MapSection(MapKind kind);
// Short key of a map wherever a map is named in text: CSV files, r770ctl's options and
// listings, JSON, the monitor's recording, exported tag names: "coils", "di", "hr", "ir".
const char* MapKey(MapKind kind);
// Title of a map in tables and exported files: "Coils", "Discrete Inputs", "Holding Registers",
// "Input Registers".
const char* MapTitle(MapKind kind);
// Coils and Discrete Inputs hold bits; the register maps a floating-point value per pair.
bool IsBitMap(MapKind kind);
// Modbus function that reads a map: 1 Coils, 2 Discrete Inputs, 3 Holding, 4 Input Registers.
int MapReadFunction(MapKind kind);

inline constexpr const char* kNoParamName = "Нет параметра";
inline constexpr std::size_t kMaxParamName = 80;

struct MapEntry {
  std::uint8_t ModuleNo = 255;
  std::uint16_t ParamNo = 0xFFFF;
  std::uint16_t TaskNo = 0xFFFF;  // read as signed by the editors
  std::string ParamName = kNoParamName;
  std::uint16_t ModbusAddr = 0xFFFF;

  bool IsEmpty() const { return ModuleNo == 255; }
  bool operator==(const MapEntry&) const = default;
};

using RegisterMap = std::vector<MapEntry>;

// Cuts a name to 80 characters (characters, not bytes).
std::string CutParamName(const std::string& name);

// Network numbers on the CAN-BUS are one byte: a document never holds more controllers.
inline constexpr std::size_t kMaxControllers = 256;

struct ControllerEntry {
  ControllerEntry();
  ControllerEntry(ControllerEntry&&) noexcept;
  ControllerEntry& operator=(ControllerEntry&&) noexcept;
  ~ControllerEntry();

  // The task file path the controller has: its task object's, else the stored one.
  std::string TaskFilePath() const;

  std::unique_ptr<Task_CL> Task;  // none for a controller read from the module
  // The path the document holds for this controller. Kept when no task object could be
  // built because the file is missing, so that a save writes the same path back.
  std::string StoredPath;
  std::int32_t Nset = 0;
  bool Found = false;
};

struct DocumentState {
  std::string FileName;
  bool IsNew = false;
  bool FromFile = false;
  bool FromModule = false;
  bool CommonChanged = false;
  bool ControllersChanged = false;
  bool TUChanged = false;
  bool TCChanged = false;
  bool TIFloatChanged = false;
  bool InputRegChanged = false;
};

// A map entry belongs to a controller when its module number is the low byte of the
// controller's network number (that is what "<< Поместить" stores).
bool EntryBelongsTo(const MapEntry& e, std::int32_t nset);

class Configuration {
 public:
  Configuration();
  ~Configuration();
  Configuration(const Configuration&) = delete;
  Configuration& operator=(const Configuration&) = delete;

  CommonSettings Common;
  std::vector<ControllerEntry> Controllers;
  std::vector<std::int32_t> DeletedNsets;
  DocumentState State;
  // Set by the load while the controller list editor it opens runs: the maps are read only
  // after the editor has closed, so the removals it applies wait in DeletedNsets for them.
  bool MapsPending = false;

  RegisterMap& Map(MapKind kind) { return maps_[static_cast<int>(kind)]; }
  const RegisterMap& Map(MapKind kind) const { return maps_[static_cast<int>(kind)]; }
  bool& MapChanged(MapKind kind);
  bool MapChanged(MapKind kind) const;

  void ResetCommon();
  void CreateMaps();
  // index -1 empties every entry and clears the map's change flag.
  void ResetMapEntry(MapKind kind, int index);
  void ClearControllers();
  bool AnyChanged() const;
  void SetAllChanged();
  void ClearAllChanged();
  std::string DisplayName(const MapEntry& entry) const;
  bool HasControllers() const;
  std::optional<std::size_t> FindController(std::int32_t nset) const;
  // Empties every map entry of a controller in DeletedNsets, then clears DeletedNsets.
  void EmptyEntriesOfDeleted();

  // Reset for "Новый" (the database paths are read again by the caller, who owns the
  // settings): CreateMaps, ResetCommon, ClearControllers, ResetMapEntry(-1) for each map.
  void ResetForNew();
  // Reset before a load: CreateMaps only.
  void ResetBeforeLoad() { CreateMaps(); }

 private:
  std::array<RegisterMap, 4> maps_;
};

}  // namespace r770
