// The check of a document against the controller database before it is written to the
// module: controllers whose task file is not found or that are listed twice, parameters the
// trees no longer offer,
// repeated Modbus addresses, broken parity of the register maps, entries without address.
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "document/configuration.h"
#include "document/main_window_form.h"

namespace r770 {

enum class ProblemKind {
  ControllerNotFound,  // a controller of the list whose task file is not found
  ControllerTwice,     // a controller listed twice: its network number or its task file again
  ModuleNotListed,     // an entry names a controller that is not in the list
  NoAddress,           // an entry with a parameter but no Modbus address
  DuplicateAddress,    // an address already used by an earlier row of the same map
  Parity,              // a register address of the other parity than the map's first one
  NotOffered,          // a parameter the controller's tree does not offer
};

struct DocumentProblem {
  ProblemKind Kind;
  std::optional<MapKind> Map;  // the map of an entry's problem
  int Row = 0;                 // 1-based row of that entry
  int ControllerPos = -1;      // position in the controller list of a controller's problem
  std::string Text;            // the line the user reads
};

// The main window's command that opens the map's editor.
MainCommand MapEditorCommand(MapKind kind);
// The map's name as the main window's menu "Настройки Modbus/TCP" gives it: "Coils",
// "Discrete Inputs", "Holding Registers", "Input Registers".
std::string MapMenuName(MapKind kind);

// Every problem of the document, controllers first, then the maps in the module's order
// (Coils, Discrete Inputs, Holding Registers, Input Registers), row by row. An entry's line
// names its map as mapName does: each face of the program keeps to its own names.
std::vector<DocumentProblem> CheckDocument(const Configuration& cfg,
                                           std::string (*mapName)(MapKind) = MapMenuName);

}  // namespace r770
