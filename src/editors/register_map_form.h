// RegisterMapForm: the logic of the four register map editors (TFModbusTU Coils, TFModbusTC
// Discrete Inputs, TFTIFloat Holding Registers, TFInputReg Input Registers). They are one
// family: a table of the map's entries, the parameter tree of the controllers, and the
// command "<< Поместить" that puts the parameter chosen in the tree into the current row
// together with the Modbus address typed there. What differs between the four is data:
// RegisterMapTraits, one record per map kind.
//
// All editing acts on a working copy of the map made on opening; "Применить" copies it back
// and sets the map's change flag. Closing in any other way leaves the map untouched.
//
// Cells are edited key by key: the window hands every typed key of the current cell to
// Key() and redraws the cell; the address typed is checked when the cell is left
// (SetCurrentCell to another cell, or a command that needs the row: "<< Поместить",
// "Удалить", "Вставить", "Применить", "Печать").
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/modbus_address.h"
#include "database/param_tree.h"
#include "document/configuration.h"

namespace r770 {

class Dialogs;
struct ProgramSettings;

// How one editor of the family differs from the others.
struct RegisterMapTraits {
  MapKind Kind;
  const char* ClassName;     // window class: "TFModbusTU", ...
  const char* Caption;       // window caption
  const char* AddressTitle;  // title of the address column
  const char* ParamTitle;    // title of the parameter column
  TreeKind Tree;
  // true: any click on the table shows the row's entry in the tree; false: only a click in
  // the parameter cell of a non-empty entry.
  bool SelectOnAnyClick;
  // Message of "<< Поместить" when the address cell holds no number; nullptr: the command
  // does not take the address (Coils: the address is stored when its cell is left).
  const char* PlaceNeedsAddress;
  // An address of 65536 or more: the message, whether the old text returns, whether the
  // cell cannot be left.
  const char* TooLargeMessage;
  bool TooLargeRestores;
  bool TooLargeStays;
  // Addresses go in steps of 2 (all even or all odd); nullptr: no such rule.
  const char* ParityMessage;
  // An address cell left empty: the message; whether it is given only when the row has a
  // parameter (and then sets "value missing"); whether the cell cannot be left; whether the
  // old text returns.
  const char* EmptyMessage;
  bool EmptyNeedsParam;
  bool EmptyStays;
  bool EmptyRestores;
  // The parameter cell takes typed text as the row's parameter name.
  bool ParamEditable;
  // "Применить" checks the working entries (true) or the cells (false).
  bool CheckEntries;
  // Checks of "Применить": a row with a parameter but no address, and a row with an address
  // but no parameter. Entries: prefix + row + ")"; cells: prefix + row + "строка)!".
  const char* NoAddressMessage;
  const char* NoParamMessage;
  // Shown first by "Применить" while "value missing" is set; nullptr: nothing.
  const char* ValueMissingMessage;
  // Tooltip of a row emptied by "Удалить".
  const char* DeletedTooltip;
  bool HasInsert;  // "Вставить"
  bool HasPrint;   // "Печать"
  // The "changed" state is cleared each time the editor opens (else kept from earlier
  // openings).
  bool ClearChangedOnOpen;
  // Every accepted key sets "changed" (else only an address accepted when its cell is left).
  bool KeysSetChanged;
  // Without controllers "<< Поместить" is hidden too (the table and the tree always are).
  bool HidePlaceWithoutTree;
  // Without controllers the message comes before the table is filled.
  bool MessageBeforeFill;
};

const RegisterMapTraits& MapTraits(MapKind kind);

// The nodes the tree's find field keeps: those whose label (name and number) holds the text,
// whatever the letter case, with the nodes above them and below them; every node for an
// empty text.
std::vector<bool> FilterTree(const ParamTree& tree, const std::string& text);

// Texts shared by the four editors.
inline constexpr const char* kTreeTitle = "Список очередей задач (контроллеров)";
inline constexpr const char* kPlaceButton = "<< Поместить";
inline constexpr const char* kApplyButton = "Применить";
inline constexpr const char* kPrintButton = "Печать";
inline constexpr const char* kPreviewButton = "Просмотр печати";
inline constexpr const char* kDeleteCommand = "Удалить";
inline constexpr const char* kInsertCommand = "Вставить";
inline constexpr const char* kNumberTitle = "№";
inline constexpr const char* kNoAddressText = "нет";
inline constexpr const char* kNoParamSelectedMessage = "Параметр не выбран!";
inline constexpr const char* kEnterValueMessage = "Введите значение!";
// Asked when the editor is closed otherwise than by "Применить" with changes not applied.
inline constexpr const char* kApplyChangesQuestion = "Применить изменения?";
inline constexpr const char* kAssignCommand = "Назначить адреса…";
inline constexpr const char* kCopyCommand = "Копировать";
inline constexpr const char* kPasteCommand = "Вставить из буфера";
inline constexpr const char* kUndoCommand = "Отменить";
inline constexpr const char* kRedoCommand = "Повторить";
inline constexpr const char* kImportCsvCommand = "Импорт CSV…";
inline constexpr const char* kExportCsvCommand = "Экспорт CSV…";
inline constexpr const char* kCsvFilter = "CSV (*.csv)|*.csv|All files(*.*)|*.*";
inline constexpr const char* kEditMenu = "&Правка";
inline constexpr const char* kMapMenu = "&Карта";
inline constexpr const char* kFindCommand = "Найти в списке";
inline constexpr const char* kFindPlaceholder = "Найти (Ctrl+F): имя или номер параметра";
inline constexpr const char* kAssignTitle = "Назначить адреса";
inline constexpr const char* kProposalTooltip =
    "Предлагаемый адрес: его возьмёт «<< Поместить» (двойной щелчок, Enter в списке)";
// Addresses are shown as the module sends them in a request: counted from 0 (kZeroBasedNote).
// The prompt of "Назначить адреса…": the map's step.
std::string AssignPrompt(MapKind kind);
// The tooltip of an address cell: the one-based form of its address (empty for no address).
std::string OneBasedTooltip(const std::string& addressCell);

// What an address cell's text reads as. Everything from the first "н" on is cut when "н"
// is not the first character ("12нет" reads as 12); "нет" and "" are Empty.
struct AddressReading {
  enum Kind { Empty, Number, TooLarge, NotNumber } kind = Empty;
  std::uint32_t value = 0;
};
AddressReading ReadAddressText(const std::string& text);

// The table as printed: title row and rows, each with seven cells. Widths say which column
// of the table each printed column takes its width from.
struct PrintTable {
  enum class Width { Number, Address, Param, Default };
  std::vector<std::string> Titles;
  std::vector<Width> Widths;
  std::vector<std::vector<std::string>> Rows;
  // Page margins in inches (left, top, right, bottom).
  static constexpr double kMarginLeft = 0.05;
  static constexpr double kMarginTop = 0.01;
  static constexpr double kMarginRight = 0.0;
  static constexpr double kMarginBottom = 0.02;
};

class RegisterMapForm {
 public:
  static constexpr int kColNumber = 0;
  static constexpr int kColAddress = 1;
  static constexpr int kColParam = 2;
  static constexpr int kColumns = 3;

  enum class Parity { Unset, Even, Odd };
  enum class Focus { None, Table, Cell, Tree };

  RegisterMapForm(MapKind kind, Dialogs& dialogs, Configuration& cfg, const ProgramSettings& settings);
  RegisterMapForm(const RegisterMapForm&) = delete;
  RegisterMapForm& operator=(const RegisterMapForm&) = delete;

  const RegisterMapTraits& Traits() const { return traits_; }

  // --- what the window shows
  int RowCount() const { return static_cast<int>(rows_.size()); }
  std::string NumberCell(int row) const { return std::to_string(row + 1); }
  const std::string& AddressCell(int row) const { return rows_.at(static_cast<std::size_t>(row)).address; }
  const std::string& ParamCell(int row) const { return rows_.at(static_cast<std::size_t>(row)).param; }
  const std::string& Tooltip(int row) const { return rows_.at(static_cast<std::size_t>(row)).tooltip; }
  std::string Cell(int row, int column) const;
  bool TableVisible() const { return tableVisible_; }
  bool TreeVisible() const { return treeVisible_; }
  bool PlaceVisible() const { return placeVisible_; }
  const ParamTree& Tree() const { return tree_; }
  int SelectedNode() const { return selectedNode_; }
  const std::vector<int>& ExpandedNodes() const { return expanded_; }
  // Bumped whenever the tree selection is set by the model (not by SelectNode).
  int SelectionSerial() const { return selectionSerial_; }
  int CurrentRow() const { return currentRow_; }
  int CurrentColumn() const { return currentColumn_; }
  // True while the current cell has typed text that was not yet checked.
  bool Editing() const { return editRow_ >= 0; }
  bool CellEditable(int row, int column) const;
  bool Changed() const { return changed_; }
  Parity CurrentParity() const { return parity_; }
  bool ValueMissing() const { return valueMissing_; }
  const RegisterMap& Working() const { return working_; }
  // Where the focus goes after the last event (taken once).
  Focus TakeFocus() {
    Focus f = focus_;
    focus_ = Focus::None;
    return f;
  }

  // --- events
  // The editor opens: table from the map, working copy, tree.
  void Open();
  // The cursor moves to a cell. False when the cell being edited cannot be left: the
  // cursor stays where it was.
  bool SetCurrentCell(int row, int column);
  // A click on a cell (after the cursor moved there): shows the row's entry in the tree.
  void CellClicked(int row, int column);
  // A key typed into the current cell: a character, or kBackspace. True when accepted.
  bool Key(char32_t key);
  // Checks the cell being edited as when it is left. False when it refuses.
  bool FinishEdit();
  // The user selected a tree node (-1: none).
  void SelectNode(int node);
  // "<< Поместить".
  void Place();
  // A double click on a tree node.
  void NodeDoubleClicked(int node);
  // A tree node dropped on a row of the table.
  void DropOnRow(int row, int node);
  // "Удалить" of the context menu (current row).
  void Delete();
  // "Вставить" of the context menu (current row).
  void Insert();
  // "Применить": true when the editor closes.
  bool Apply();
  // True while the table holds what "Применить" has not yet put into the map (a cell being
  // edited included).
  bool Unapplied() const;
  // The window is closed otherwise than by "Применить" (its close button, Esc): true when it
  // may close. With changes not applied it asks kApplyChangesQuestion: Да applies them (and
  // the editor stays open when "Применить" refuses), Нет drops them, Отмена keeps the editor.
  bool CloseRequested();
  // "Печать": the table to print, or nothing when the cell being edited refuses.
  std::optional<PrintTable> Print();

  // The user opened or closed a tree node. Open nodes are opened again when the editor
  // opens next time (with the node of the row's entry).
  void NodeExpanded(int node, bool open);

  // --- fast editing
  // After a placement the cursor moves to the next row, and an empty next row is offered
  // the next free address (the map's step on from the placed one): shown in its address
  // cell and taken by the next "<< Поместить" unless another address is typed there.
  std::optional<std::uint16_t> Proposal(int row) const;
  // "Удалить" of the selected rows (the current row when none): one question; a single
  // row is asked about as the context menu's "Удалить" asks.
  void DeleteRows(const std::vector<int>& rows);
  // "Назначить адреса…": the selected rows that hold a parameter take addresses from start
  // on, in row order, with the map's step. Refused as a whole, with the rows named, when an
  // address would be taken by another row or above 65535. True when the addresses changed.
  bool AssignAddresses(const std::vector<int>& rows, const std::string& startText);
  // The start "Назначить адреса…" offers for these rows: the first one's address, else the
  // next free one.
  std::string ProposedStart(const std::vector<int>& rows) const;
  // The rows as tab-separated lines (address, network number, parameter, task, name).
  std::string CopyText(const std::vector<int>& rows) const;
  // Tab-separated lines into the rows from the current one on, each checked as a placed
  // entry is; one refused line refuses them all, with every refused line listed.
  bool Paste(const std::string& text);
  // "Импорт CSV…" (the whole map from a file, checked as a paste) and "Экспорт CSV…" (the
  // working copy, in the columns of r770ctl export-csv).
  bool ImportCsv();
  bool ExportCsv();
  // Every change since opening can be taken back and done again.
  bool CanUndo() const { return Editing() || !undo_.empty(); }
  bool CanRedo() const { return !redo_.empty(); }
  void Undo();
  void Redo();

 private:
  struct Row {
    std::string address;
    std::string param;
    std::string tooltip;
    bool operator==(const Row&) const = default;
  };
  // One change of the working copy: the rows it touched, before and after.
  struct Command {
    std::vector<int> rows;
    std::vector<MapEntry> entriesBefore, entriesAfter;
    std::vector<Row> rowsBefore, rowsAfter;
    Parity parityBefore = Parity::Unset, parityAfter = Parity::Unset;
    bool changedBefore = false, changedAfter = false;
    int tag = 0;  // typing into one parameter cell: successive keys make one command
  };
  struct Committed {
    RegisterMap working;
    std::vector<Row> rows;
    Parity parity = Parity::Unset;
    bool changed = false;
  };
  enum class LeaveResult { Accepted, Refused };

  void FillTable();
  void ComputeParity();
  void SelectEntry(int row);
  void SetRowFromEntry(int row);
  LeaveResult LeaveCell();
  LeaveResult LeaveAddress(int row);
  bool RowHasParam(int row) const { return !ParamCell(row).empty(); }
  MapEntry& Entry(int row) { return working_.at(static_cast<std::size_t>(row)); }
  void EndEdit() { editRow_ = editColumn_ = -1; }
  bool ValidRow(int row) const { return row >= 0 && row < RowCount(); }
  // Takes what changed since the last command as a new command (nothing while a cell is
  // being typed into).
  void Record(int tag = 0);
  void ResetHistory();
  void Restore(const Command& c, bool after);
  std::optional<std::uint16_t> NextFreeAddress(std::uint32_t from) const;
  // Parity of the entries with an address outside rows (Unset when none).
  int ParityOutside(const std::vector<int>& rows) const;

  const RegisterMapTraits& traits_;
  Dialogs& dialogs_;
  Configuration& cfg_;
  const ProgramSettings& settings_;

  std::vector<Row> rows_;
  RegisterMap working_;
  ParamTree tree_;
  int selectedNode_ = -1;
  std::vector<int> expanded_;
  int selectionSerial_ = 0;
  bool tableVisible_ = false;
  bool treeVisible_ = false;
  bool placeVisible_ = false;
  bool opening_ = false;
  int currentRow_ = 0;
  int currentColumn_ = kColAddress;
  int editRow_ = -1;
  int editColumn_ = -1;
  std::string oldText_;  // text of the edited cell before its first key
  bool changed_ = false;
  Parity parity_ = Parity::Unset;
  bool valueMissing_ = false;
  Focus focus_ = Focus::None;
  int proposalRow_ = -1;
  std::uint16_t proposal_ = 0;
  std::vector<std::string> openNodes_;  // Ids of the nodes the user left open
  std::vector<Command> undo_, redo_;
  Committed committed_;
};

}  // namespace r770
