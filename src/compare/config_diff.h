// The comparison of two configurations by what the module holds: the ten common settings a
// write puts into it, and each map entry's module number, parameter number and Modbus address
// (row by row: entry i of a map is element i of the module's three arrays of that map). The
// MAC address (the module's own, read but never written), Invers, SWAP, task numbers and
// names are not compared: the module keeps none of them. Two empty entries are equal whatever
// their other fields hold. The controller list is compared only between two documents: the
// module keeps none (a read derives it from the maps).
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "document/configuration.h"

namespace r770 {

enum class DiffGroup { Common, Controllers, Map };

// One side of a differing map entry (none: the entry is empty on that side).
struct DiffEntry {
  std::uint8_t ModuleNo = 255;
  std::uint16_t ParamNo = 0xFFFF;
  std::uint16_t ModbusAddr = 0xFFFF;
  // The parameter's name: the side's own, else the other side's database's; empty when
  // neither knows it.
  std::string Name;
  bool operator==(const DiffEntry&) const = default;
};

// One side of a differing controller (none: the controller is on the other side only).
struct DiffController {
  std::int32_t Nset = 0;
  std::string TaskFile;
  bool operator==(const DiffController&) const = default;
};

struct ConfigDifference {
  DiffGroup Group = DiffGroup::Common;
  // Common: the document key ("AdrCAN") and the field's label ("Адрес по шине CAN-BUS").
  std::string Field;
  std::string Label;
  // Map: the map and the 1-based row.
  MapKind Map = MapKind::TU;
  int Row = 0;
  std::optional<DiffEntry> LeftEntry, RightEntry;
  std::optional<DiffController> LeftController, RightController;
  // What the user reads: where the difference is (the field's label, "контроллер 05",
  // "строка 3") and the value on each side.
  std::string Where;
  std::string Left, Right;
};

struct CompareOptions {
  // Task name style of the names composed from the database, as the map editors compose them.
  bool ShortTaskNames = true;
};

// Whether the controller lists are compared: only when neither side was read from a module.
bool ComparesControllers(const Configuration& left, const Configuration& right);

// Every difference: the common settings in the order of the common settings editor, then
// the controllers (left's order, then those on the right only), then the maps in the order
// Coils, Discrete Inputs, Holding Registers, Input Registers, each row by row.
std::vector<ConfigDifference> CompareConfigurations(const Configuration& left, const Configuration& right,
                                                    const CompareOptions& options = {});

// The maps in the order of the listings.
inline constexpr MapKind kDiffMapOrder[] = {MapKind::TU, MapKind::TC, MapKind::TIFloat, MapKind::InputReg};

// Title of a group: "Общие настройки", "Контроллеры", or the map's name in the menu
// ("Coils", "Discrete Inputs", "Holding Registers", "Input Registers").
std::string DiffGroupTitle(DiffGroup group, MapKind map = MapKind::TU);

// Texts of a side: an entry "адрес 100, модуль 05, параметр 0F01, <name>" (kNoParamName when
// empty); a controller "05  <task file>" (or "Очередь задач не введена"), "нет" when absent.
std::string DiffEntryText(const std::optional<DiffEntry>& entry);
std::string DiffControllerText(const std::optional<DiffController>& controller);

// "Взять из модуля": puts into the document what the module holds and the document differs
// in: the common settings (MAC address included; Invers and SWAP stay the document's) and every
// differing map entry, named from the document's database where it knows the parameter (else
// with the generated name); controllers the new entries name and the list lacks are added
// without a task file. The controller list and the entries that do not differ are kept, with
// their names. Sets the change flag of every part changed; true when anything changed.
bool TakeModuleConfiguration(Configuration& document, const Configuration& module,
                             const CompareOptions& options = {});

}  // namespace r770
