// Map entries as lines of text, and their check before they reach a map.
//
// Two forms carry entries: the tab-separated lines the map editors copy and paste (address,
// network number, parameter number, task, name: what an engineer's spreadsheet holds), and
// the CSV of the maps (map,row,address,module,param,task,name, as r770ctl export-csv
// writes it). Lines read from either are checked as a typed entry is checked (the map's
// database offers the parameter, the address is a number, free, of the map's parity)
// before any of them is taken: a text with one refused line changes nothing, and every
// refused line is named with its reason.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "database/param_tree.h"
#include "document/configuration.h"

namespace r770 {

// The map of a key of MapKey.
std::optional<MapKind> MapKindOfCsvKey(std::string_view key);
inline constexpr const char* kMapCsvHeader = "map,row,address,module,param,task,name";

// Step between neighbouring addresses: 1 for Coils and Discrete Inputs, 2 for the register
// maps (a floating-point value takes a register pair).
int AddressStep(MapKind kind);
// Whether the map's addresses keep one parity (all even or all odd).
inline bool KeepsParity(MapKind kind) { return AddressStep(kind) == 2; }

// The name "<< Поместить" gives an entry: parameter/task(controller), cut to 80 characters.
std::string TreeParamName(const ParamTree& tree, int paramNode);
// The parameter node the tree offers for an entry of the controller at controllerPos;
// -1 when the tree does not offer it.
int OfferedNode(const ParamTree& tree, int controllerPos, std::int16_t taskNo, std::uint16_t paramNo);

// Rows as "1-3, 7" (rows 0-based, shown 1-based; sorted, without repeats).
std::string RowListText(std::vector<int> rows);

// One entry as a line of text carries it, fields as written.
struct MapLine {
  int Line = 0;  // 1-based line of the text
  int Row = -1;  // 0-based row of the map it goes to
  std::string Address, Module, Param, Task, Name;
};

struct MapLineProblem {
  int Line = 0;
  std::string Reason;
  bool operator==(const MapLineProblem&) const = default;
};
// "строка 3: reason" lines, one per problem.
std::string ProblemLines(const std::vector<MapLineProblem>& problems);

// What the lines are checked against.
struct MapLinesTarget {
  const Configuration& Cfg;
  MapKind Kind;
  const ParamTree& Tree;   // the tree of the map's kind
  const RegisterMap& Map;  // the map (or working copy) the lines go into
  // true: the lines replace the whole map (its other rows are emptied); false: they replace
  // only the rows they name, and the other rows' addresses are taken.
  bool WholeMap = false;
  // The parity the map holds to: -1 none yet (the first line's address decides), 0 even, 1 odd.
  int Parity = -1;
  // An address is required (every map but Coils, whose "<< Поместить" takes none).
  bool AddressNeeded = true;
};

struct MapLinesResult {
  std::vector<std::pair<int, MapEntry>> Entries;  // row, entry; in line order
  std::vector<MapLineProblem> Problems;           // in line order; empty: every line passed
};

MapLinesResult CheckMapLines(const MapLinesTarget& target, const std::vector<MapLine>& lines);

// --- tab-separated lines (copy and paste)

// The rows as lines "address\tnetwork number\tparameter\ttask\tname" (an empty entry as an
// empty line, an entry without address with an empty address field), each ending in "\n".
std::string MapClipboardText(const Configuration& cfg, const RegisterMap& map, const std::vector<int>& rows);
// Lines of pasted text, from firstRow on: an empty line skips its row (the row is left as
// it is); a first line whose number fields hold no number is a spreadsheet's title line
// and takes no row. Fields may be quoted as spreadsheets quote them.
std::vector<MapLine> ParseClipboardText(std::string_view text, int firstRow);

// --- CSV of a map

// The CSV of one map: kMapCsvHeader and one line per non-empty entry, CR LF line ends
// (MapCsvRows: the entries' lines alone).
std::string MapCsvRows(const Configuration& cfg, MapKind kind, const RegisterMap& map);
std::string MapCsvText(const Configuration& cfg, MapKind kind, const RegisterMap& map);
// The CSV lines of a map; lines of the other maps are passed over, so that the CSV of all
// maps can be taken map by map. The header decides the separator ("," or ";"). Problems of
// form (header, field count, map, row) are appended to problems.
std::vector<MapLine> ParseMapCsv(std::string_view text, MapKind kind, std::vector<MapLineProblem>& problems);

struct MapImport {
  RegisterMap Map;  // the new map, when Problems is empty
  std::vector<MapLineProblem> Problems;
};
// A whole map from CSV text (UTF-8, or code page 1251 when it is not UTF-8): every row the
// text does not name is empty. current: the map the import replaces (an entry of a
// controller without task file keeps the name its row holds).
MapImport ImportMapCsv(const Configuration& cfg, MapKind kind, const ParamTree& tree,
                       const RegisterMap& current, std::string_view text);

// The tree of a map's kind for the configuration's controllers.
ParamTree MapTree(const Configuration& cfg, MapKind kind, bool shortTaskNames);

}  // namespace r770
