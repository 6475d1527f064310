#include "editors/register_map_form.h"

#include <algorithm>
#include <array>

#include "common/codec.h"
#include "common/dialogs.h"
#include "common/file_io.h"
#include "common/key_filter.h"
#include "common/number_forms.h"
#include "database/task_cl.h"
#include "document/program_settings.h"
#include "editors/map_lines.h"

namespace r770 {
namespace {

constexpr std::array<RegisterMapTraits, 4> kTraits{{
    {
        MapKind::TU,
        "TFModbusTU",
        "Coils",
        "Номера регистров Modbus (Coil)",
        "Параметр",
        TreeKind::Bit,
        /*SelectOnAnyClick*/ false,
        /*PlaceNeedsAddress*/ nullptr,
        "Coil не должен превышать 65535!",
        /*TooLargeRestores*/ false,
        /*TooLargeStays*/ true,
        /*ParityMessage*/ nullptr,
        "Введите Coil!",
        /*EmptyNeedsParam*/ false,
        /*EmptyStays*/ false,
        /*EmptyRestores*/ true,
        /*ParamEditable*/ false,
        /*CheckEntries*/ true,
        "Не введен Coil!(Строка ",
        "Не введен параметр!(Строка ",
        /*ValueMissingMessage*/ nullptr,
        /*DeletedTooltip*/ "",
        /*HasInsert*/ false,
        /*HasPrint*/ false,
        /*ClearChangedOnOpen*/ false,
        /*KeysSetChanged*/ false,
        /*HidePlaceWithoutTree*/ false,
        /*MessageBeforeFill*/ false,
    },
    {
        MapKind::TC,
        "TFModbusTC",
        "Discret Inputs",
        "Адрес Modbus Discret Inputs",
        "Параметр",
        TreeKind::Bit,
        false,
        "Введите адрес Discret Inputs",
        "Номер Discret Inputs должен быть не больше 65535!",
        false,
        true,
        nullptr,
        kEnterValueMessage,
        false,
        true,
        false,
        /*ParamEditable*/ true,
        true,
        "Не введен Discret Inputs!(Строка ",
        "Не введен параметр!(Строка ",
        nullptr,
        "",
        false,
        false,
        false,
        true,
        true,
        /*MessageBeforeFill*/ true,
    },
    {
        MapKind::TIFloat,
        "TFTIFloat",
        "Holding Registers",
        "Адрес Modbus Holding Registers",
        "Параметры",
        TreeKind::Register,
        /*SelectOnAnyClick*/ true,
        "Введите адрес Holding Registers",
        "Номер Holding registers должен быть не больше 65535!",
        /*TooLargeRestores*/ true,
        false,
        "Нумерация Holding Registers должна быть через 1!",
        kEnterValueMessage,
        /*EmptyNeedsParam*/ true,
        false,
        false,
        false,
        /*CheckEntries*/ false,
        "Введите номер Holding Registers или удалите строку (",
        "Введите параметр или удалите строку (",
        nullptr,
        "",
        /*HasInsert*/ true,
        /*HasPrint*/ true,
        /*ClearChangedOnOpen*/ true,
        true,
        true,
        false,
    },
    {
        MapKind::InputReg,
        "TFInputReg",
        "Input registers",
        "Адрес Modbus Input Registers",
        "Параметры",
        TreeKind::Register,
        true,
        "Введите правильно адрес Input Registers",
        "Введите правильно номер Input Registers. Он должен быть не больше 65535!",
        true,
        /*TooLargeStays*/ true,
        "Нумерация Input Registers должна быть через 1!",
        kEnterValueMessage,
        true,
        false,
        false,
        false,
        false,
        "Введите номер Input Registers или удалите строку (",
        "Введите параметр или удалите строку (",
        /*ValueMissingMessage*/ "Проверьте правильность ввода Input Register.",
        /*DeletedTooltip*/ "FF FFFF",
        false,
        false,
        false,
        true,
        true,
        false,
    },
}};

constexpr const char* kPrintParamNoTitle = "Номер параметра";
constexpr const char* kPrintModuleTitle = "Сетевой номер Л-8";
constexpr const char* kPrintCanTitle = "Сетевой номер CAN R-770";
constexpr const char* kPrintModbusTitle = "Сетевой номер Modbus R-770";

std::string TooltipOf(const MapEntry& e) {
  if (e.IsEmpty()) return {};
  return Hex2(e.ModuleNo) + " " + Hex4(e.ParamNo);
}

}  // namespace

const RegisterMapTraits& MapTraits(MapKind kind) { return kTraits[static_cast<std::size_t>(kind)]; }

AddressReading ReadAddressText(const std::string& text) {
  static const std::string kN = "н";
  std::string t = text;
  const std::size_t n = t.find(kN);
  if (n != std::string::npos && n != 0) t.erase(n);
  if (t.empty() || t == kNoAddressText) return {AddressReading::Empty, 0};
  for (char c : t)
    if (c < '0' || c > '9') return {AddressReading::NotNumber, 0};
  auto v = ParseUDec(t);
  if (!v || *v > 0xFFFF) return {AddressReading::TooLarge, 0};
  return {AddressReading::Number, *v};
}

RegisterMapForm::RegisterMapForm(MapKind kind, Dialogs& dialogs, Configuration& cfg,
                                 const ProgramSettings& settings)
    : traits_(MapTraits(kind)), dialogs_(dialogs), cfg_(cfg), settings_(settings) {
  working_.assign(static_cast<std::size_t>(MapCount(kind)), MapEntry{});
  rows_.assign(working_.size(), Row{});
  FillTable();
}

std::string RegisterMapForm::Cell(int row, int column) const {
  switch (column) {
    case kColNumber:
      return NumberCell(row);
    case kColAddress:
      return AddressCell(row);
    case kColParam:
      return ParamCell(row);
    default:
      return {};
  }
}

bool RegisterMapForm::CellEditable(int row, int column) const {
  if (!tableVisible_ || !treeVisible_ || !ValidRow(row)) return false;
  return column == kColAddress || (column == kColParam && traits_.ParamEditable);
}

void RegisterMapForm::Open() {
  opening_ = true;
  EndEdit();
  valueMissing_ = false;
  focus_ = Focus::None;
  selectedNode_ = -1;
  expanded_.clear();
  currentRow_ = 0;
  currentColumn_ = kColAddress;

  working_ = cfg_.Map(traits_.Kind);
  working_.resize(static_cast<std::size_t>(MapCount(traits_.Kind)));

  auto buildTree = [&] {
    tree_ = MapTree(cfg_, traits_.Kind, settings_.ShortTaskNames);
    if (!tree_.Built()) dialogs_.Information(tree_.Message());
  };
  if (traits_.MessageBeforeFill) {
    buildTree();
    FillTable();
  } else {
    FillTable();
    buildTree();
  }

  if (!tree_.Built()) {
    tableVisible_ = treeVisible_ = false;
    placeVisible_ = !traits_.HidePlaceWithoutTree;
  } else {
    tableVisible_ = treeVisible_ = placeVisible_ = true;
    SelectEntry(0);
    focus_ = Focus::Table;
  }
  if (traits_.ClearChangedOnOpen) changed_ = false;
  ResetHistory();
  opening_ = false;
}

void RegisterMapForm::FillTable() {
  rows_.assign(working_.size(), Row{});
  for (int i = 0; i < RowCount(); ++i) SetRowFromEntry(i);
  ComputeParity();
}

void RegisterMapForm::SetRowFromEntry(int row) {
  const MapEntry& e = working_[static_cast<std::size_t>(row)];
  Row& r = rows_[static_cast<std::size_t>(row)];
  if (e.IsEmpty()) {
    r = Row{kNoAddressText, {}, {}};
  } else {
    r = Row{std::to_string(e.ModbusAddr), cfg_.DisplayName(e), TooltipOf(e)};
  }
}

void RegisterMapForm::ComputeParity() {
  parity_ = Parity::Unset;
  for (const MapEntry& e : working_)
    if (!e.IsEmpty()) parity_ = (e.ModbusAddr & 1) ? Parity::Odd : Parity::Even;
}

void RegisterMapForm::SelectEntry(int row) {
  if (!tree_.Built() || !ValidRow(row)) return;
  const MapEntry& e = working_[static_cast<std::size_t>(row)];
  TreeSelection sel = tree_.Find(e.ModuleNo, static_cast<std::int16_t>(e.TaskNo), e.ParamNo, 255);
  selectedNode_ = sel.Selected;
  expanded_ = std::move(sel.Expanded);
  for (const std::string& id : openNodes_)
    if (const int node = tree_.FindId(id); node >= 0) expanded_.push_back(node);
  ++selectionSerial_;
}

std::string AssignPrompt(MapKind kind) {
  return "Начальный адрес (следующие строки с параметрами — через " + std::to_string(AddressStep(kind)) +
         "):";
}

std::string OneBasedTooltip(const std::string& addressCell) {
  const AddressReading r = ReadAddressText(addressCell);
  if (r.kind != AddressReading::Number) return {};
  return OneBasedText(r.value);
}

void RegisterMapForm::NodeExpanded(int node, bool open) {
  if (node < 0 || node >= static_cast<int>(tree_.Nodes().size())) return;
  const std::string& id = tree_.Node(node).Id;
  const auto it = std::find(openNodes_.begin(), openNodes_.end(), id);
  if (open && it == openNodes_.end()) openNodes_.push_back(id);
  if (!open && it != openNodes_.end()) openNodes_.erase(it);
}

std::vector<bool> FilterTree(const ParamTree& tree, const std::string& text) {
  const auto& nodes = tree.Nodes();
  const std::string needle = Utf8Upper(Trim(text));
  std::vector<bool> keep(nodes.size(), needle.empty());
  if (needle.empty()) return keep;
  // Nodes come before their subtrees: a matching node keeps everything below it ...
  std::vector<bool> matched(nodes.size(), false);
  for (std::size_t i = 0; i < nodes.size(); ++i) {
    const int parent = nodes[i].Parent;
    matched[i] = Utf8Upper(nodes[i].Label).find(needle) != std::string::npos ||
                 (parent >= 0 && matched[static_cast<std::size_t>(parent)]);
    if (matched[i]) keep[i] = true;
  }
  // ... and everything above it.
  for (std::size_t i = nodes.size(); i-- > 0;)
    if (keep[i] && nodes[i].Parent >= 0) keep[static_cast<std::size_t>(nodes[i].Parent)] = true;
  return keep;
}

bool RegisterMapForm::SetCurrentCell(int row, int column) {
  if (!ValidRow(row) || column < 0 || column >= kColumns) return false;
  if (row == currentRow_ && column == currentColumn_) return true;
  const bool left = LeaveCell() == LeaveResult::Accepted;
  Record();
  if (!left) return false;
  currentRow_ = row;
  currentColumn_ = column;
  return true;
}

void RegisterMapForm::CellClicked(int row, int column) {
  if (opening_ || !tree_.Built() || !ValidRow(currentRow_)) return;
  const bool shows = traits_.SelectOnAnyClick || (currentColumn_ == kColParam &&
                                                  !working_[static_cast<std::size_t>(currentRow_)].IsEmpty());
  if (!shows) return;
  treeVisible_ = true;
  SelectEntry(currentRow_);
}

bool RegisterMapForm::Key(char32_t key) {
  const int row = currentRow_, column = currentColumn_;
  if (!CellEditable(row, column)) return false;
  Row& r = rows_[static_cast<std::size_t>(row)];

  if (column == kColAddress) {
    if (!IsDigitKey(key)) return false;
    if (editRow_ != row || editColumn_ != column) {
      oldText_ = r.address;
      editRow_ = row;
      editColumn_ = column;
    }
    if (r.address == kNoAddressText) r.address.clear();
    // Typing replaces the proposed address.
    if (row == proposalRow_) proposalRow_ = -1;
    if (key == kBackspace) {
      DropLastChar(r.address);
    } else {
      AppendUtf8(r.address, key);
    }
    if (traits_.KeysSetChanged) changed_ = true;
    return true;
  }

  // The parameter cell of an editor whose names are typed: the text is the row's name.
  if (key == kBackspace) {
    DropLastChar(r.param);
  } else {
    if (key < 0x20 || key == 0x7F || Utf8Length(r.param) >= kMaxParamName) return false;
    std::string typed;
    AppendUtf8(typed, key);
    // The document holds names in code page 1251: a character it cannot hold is refused here.
    if (std::string refusal = Cp1251Refusal("Имя параметра", typed); !refusal.empty()) {
      dialogs_.Information(refusal);
      return false;
    }
    r.param += typed;
  }
  Entry(row).ParamName = CutParamName(r.param);
  if (traits_.KeysSetChanged) changed_ = true;
  Record(row + 1);
  return true;
}

bool RegisterMapForm::FinishEdit() {
  const bool left = LeaveCell() == LeaveResult::Accepted;
  Record();
  return left;
}

RegisterMapForm::LeaveResult RegisterMapForm::LeaveCell() {
  if (editRow_ < 0) return LeaveResult::Accepted;
  return LeaveAddress(editRow_);
}

RegisterMapForm::LeaveResult RegisterMapForm::LeaveAddress(int row) {
  valueMissing_ = false;
  std::string& text = rows_[static_cast<std::size_t>(row)].address;
  const AddressReading reading = ReadAddressText(text);

  switch (reading.kind) {
    case AddressReading::Number: {
      text = std::to_string(reading.value);
      if (traits_.ParityMessage) {
        const Parity p = (reading.value & 1) ? Parity::Odd : Parity::Even;
        if (parity_ == Parity::Unset) parity_ = p;
        if (p != parity_) {
          dialogs_.Information(traits_.ParityMessage);
          text = oldText_;
          EndEdit();
          focus_ = Focus::Cell;
          return LeaveResult::Refused;
        }
      }
      Entry(row).ModbusAddr = static_cast<std::uint16_t>(reading.value);
      if (!traits_.KeysSetChanged) changed_ = true;
      EndEdit();
      return LeaveResult::Accepted;
    }
    case AddressReading::TooLarge:
    case AddressReading::NotNumber:
      dialogs_.Information(traits_.TooLargeMessage);
      if (traits_.TooLargeRestores) {
        text = oldText_;
        EndEdit();
      }
      if (traits_.TooLargeStays) {
        focus_ = Focus::Cell;
        return LeaveResult::Refused;
      }
      EndEdit();
      return LeaveResult::Accepted;
    case AddressReading::Empty:
      break;
  }

  if (traits_.EmptyNeedsParam) {
    if (RowHasParam(row)) {
      dialogs_.Information(traits_.EmptyMessage);
      valueMissing_ = true;
      focus_ = Focus::Table;
    }
    EndEdit();
    return LeaveResult::Accepted;
  }
  if (text == kNoAddressText) {
    EndEdit();
    return LeaveResult::Accepted;
  }
  dialogs_.Information(traits_.EmptyMessage);
  if (traits_.EmptyStays) {
    focus_ = Focus::Cell;
    return LeaveResult::Refused;
  }
  // The row keeps its address: show it again rather than an empty cell.
  if (traits_.EmptyRestores) text = oldText_;
  EndEdit();
  return LeaveResult::Accepted;
}

void RegisterMapForm::SelectNode(int node) {
  selectedNode_ = (node >= 0 && node < static_cast<int>(tree_.Nodes().size())) ? node : -1;
}

void RegisterMapForm::Place() {
  if (!FinishEdit()) return;
  const int row = currentRow_;
  if (!ValidRow(row)) return;
  MapEntry& entry = Entry(row);
  // The address offered by the last placement, when nothing else was typed here.
  std::optional<std::uint16_t> proposal;
  if (ReadAddressText(AddressCell(row)).kind == AddressReading::Empty) proposal = Proposal(row);
  proposalRow_ = -1;

  if (traits_.PlaceNeedsAddress) {
    const AddressReading reading = ReadAddressText(AddressCell(row));
    if (reading.kind != AddressReading::Number && !proposal) {
      dialogs_.Information(traits_.PlaceNeedsAddress);
      Record();
      return;
    }
    if (!proposal) entry.ModbusAddr = static_cast<std::uint16_t>(reading.value);
  }

  if (selectedNode_ < 0 || tree_.Node(selectedNode_).Level != 2) {
    dialogs_.Information(kNoParamSelectedMessage);
    Record();
    return;
  }
  const TreeNode& param = tree_.Node(selectedNode_);
  if (param.ControllerPos < 0 || param.ControllerPos >= static_cast<int>(cfg_.Controllers.size())) return;
  const ControllerEntry& owner = cfg_.Controllers[static_cast<std::size_t>(param.ControllerPos)];

  Row& r = rows_[static_cast<std::size_t>(row)];
  if (proposal) {
    entry.ModbusAddr = *proposal;
    r.address = std::to_string(*proposal);
    if (parity_ == Parity::Unset && traits_.ParityMessage)
      parity_ = (*proposal & 1) ? Parity::Odd : Parity::Even;
  }
  entry.ModuleNo = static_cast<std::uint8_t>(owner.Nset & 0xFF);
  entry.TaskNo = static_cast<std::uint16_t>(param.TaskNo);
  entry.ParamNo = owner.Task ? owner.Task->ItemParam(param.ParamPos) : param.ParamNo;
  entry.ParamName = TreeParamName(tree_, selectedNode_);

  r.param = entry.ParamName;
  r.tooltip = TooltipOf(entry);
  focus_ = Focus::Tree;
  changed_ = true;
  Record();

  // Auto-advance: the next row becomes current and, when empty, is offered the next address.
  if (row + 1 < RowCount()) {
    const std::uint16_t placedAddr = entry.ModbusAddr;
    currentRow_ = row + 1;
    const int next = row + 1;
    if (placedAddr != 0xFFFF && Entry(next).IsEmpty() &&
        ReadAddressText(AddressCell(next)).kind == AddressReading::Empty) {
      if (auto a = NextFreeAddress(static_cast<std::uint32_t>(placedAddr) +
                                   static_cast<std::uint32_t>(AddressStep(traits_.Kind)))) {
        proposalRow_ = next;
        proposal_ = *a;
      }
    }
  }
}

std::optional<std::uint16_t> RegisterMapForm::Proposal(int row) const {
  if (row != proposalRow_ || !ValidRow(row)) return std::nullopt;
  return proposal_;
}

std::optional<std::uint16_t> RegisterMapForm::NextFreeAddress(std::uint32_t from) const {
  std::vector<bool> used(0x10000, false);
  for (const MapEntry& e : working_)
    if (!e.IsEmpty() && e.ModbusAddr != 0xFFFF) used[e.ModbusAddr] = true;
  const std::uint32_t step = static_cast<std::uint32_t>(AddressStep(traits_.Kind));
  for (std::uint32_t a = from; a < 0xFFFF; a += step)
    if (!used[a]) return static_cast<std::uint16_t>(a);
  return std::nullopt;
}

void RegisterMapForm::NodeDoubleClicked(int node) {
  SelectNode(node);
  Place();
}

void RegisterMapForm::DropOnRow(int row, int node) {
  if (!tableVisible_ || !ValidRow(row)) return;
  if (!SetCurrentCell(row, kColParam)) return;
  SelectNode(node);
  Place();
}

void RegisterMapForm::Delete() {
  const int row = currentRow_;
  if (!tableVisible_ || !ValidRow(row)) return;
  if (!dialogs_.Confirm(std::string(kDeleteCommand) + " " + std::to_string(row + 1) + " строку?")) return;
  // The row is emptied, so text still being typed into it goes with it.
  if (editRow_ == row) EndEdit();
  Entry(row) = MapEntry{};
  rows_[static_cast<std::size_t>(row)] = Row{kNoAddressText, {}, traits_.DeletedTooltip};
  changed_ = true;
  proposalRow_ = -1;
  Record();
}

void RegisterMapForm::Insert() {
  const int row = currentRow_;
  if (!traits_.HasInsert || !tableVisible_ || !ValidRow(row)) return;
  // The current entry is emptied, so text still being typed into it goes with it.
  EndEdit();
  for (int i = RowCount() - 1; i > row; --i) Entry(i) = Entry(i - 1);
  Entry(row) = MapEntry{};
  FillTable();
  changed_ = true;
  proposalRow_ = -1;
  Record();
}

bool RegisterMapForm::Apply() {
  if (!FinishEdit()) return false;
  const RegisterMapTraits& t = traits_;
  if (t.CheckEntries) {
    for (int i = 0; i < static_cast<int>(working_.size()); ++i) {
      const MapEntry& e = working_[static_cast<std::size_t>(i)];
      const std::string n = std::to_string(i + 1);
      if (!e.IsEmpty() && e.ModbusAddr == 0xFFFF) {
        dialogs_.Information(t.NoAddressMessage + n + ")");
        return false;
      }
      if (e.IsEmpty() && e.ModbusAddr != 0xFFFF) {
        dialogs_.Information(t.NoParamMessage + n + ")");
        return false;
      }
    }
  } else {
    if (valueMissing_ && t.ValueMissingMessage) dialogs_.Information(t.ValueMissingMessage);
    // The rows are examined afresh: a row fixed since (by "Удалить", "Вставить") no longer
    // holds the command back.
    valueMissing_ = false;
    for (int i = 0; i < RowCount(); ++i) {
      const std::string& address = AddressCell(i);
      const bool hasAddress = !address.empty() && address != kNoAddressText;
      const std::string n = std::to_string(i + 1);
      if (hasAddress && !RowHasParam(i)) {
        dialogs_.Information(t.NoParamMessage + n + "строка)!");
        valueMissing_ = true;
        break;
      }
      if (address.empty() && RowHasParam(i)) {
        dialogs_.Information(t.NoAddressMessage + n + "строка)!");
        valueMissing_ = true;
        break;
      }
    }
    if (valueMissing_) return false;
  }
  cfg_.Map(t.Kind) = working_;
  if (changed_) cfg_.MapChanged(t.Kind) = true;
  return true;
}

bool RegisterMapForm::Unapplied() const {
  if (Editing()) return true;
  RegisterMap applied = cfg_.Map(traits_.Kind);
  applied.resize(working_.size());
  return working_ != applied;
}

bool RegisterMapForm::CloseRequested() {
  if (!Unapplied()) return true;
  switch (dialogs_.Ask(kApplyChangesQuestion)) {
    case Dialogs::Answer::Yes:
      return Apply();
    case Dialogs::Answer::No:
      EndEdit();
      return true;
    case Dialogs::Answer::Cancel:
      break;
  }
  return false;
}

std::optional<PrintTable> RegisterMapForm::Print() {
  if (!FinishEdit()) return std::nullopt;
  using W = PrintTable::Width;
  PrintTable p;
  p.Titles = {kNumberTitle,      traits_.AddressTitle, traits_.ParamTitle, kPrintParamNoTitle,
              kPrintModuleTitle, kPrintCanTitle,       kPrintModbusTitle};
  p.Widths = {W::Number, W::Address, W::Param, W::Default, W::Default, W::Address, W::Address};
  int n = 0;
  for (const Row& r : rows_)
    if (r.address != kNoAddressText) ++n;
  const std::string can = Hex2(cfg_.Common.AdrCAN);
  const std::string modbus = Hex2(cfg_.Common.AdrExt);
  for (int i = 0; i < n; ++i) {
    const Row& r = rows_[static_cast<std::size_t>(i)];
    std::string module, param;
    if (const auto blank = r.tooltip.find(' '); blank != std::string::npos) {
      module = r.tooltip.substr(0, blank);
      param = r.tooltip.substr(blank + 1);
    }
    p.Rows.push_back({NumberCell(i), r.address, r.param, param, module, can, modbus});
  }
  return p;
}

// --- fast editing

namespace {

std::vector<int> SortedRows(std::vector<int> rows, int count) {
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  std::erase_if(rows, [count](int r) { return r < 0 || r >= count; });
  return rows;
}

constexpr std::size_t kMaxListedProblems = 20;

// A refusal with its lines; a long list is cut with the number of lines left out.
std::string RefusalText(const std::string& title, std::vector<MapLineProblem> problems) {
  const std::size_t all = problems.size();
  if (all > kMaxListedProblems) problems.resize(kMaxListedProblems);
  std::string text = title + "\n" + ProblemLines(problems);
  if (all > kMaxListedProblems) text += "\n… и ещё " + std::to_string(all - kMaxListedProblems);
  return text;
}

}  // namespace

void RegisterMapForm::DeleteRows(const std::vector<int>& selected) {
  std::vector<int> rows = SortedRows(selected, RowCount());
  if (rows.size() <= 1) {
    if (rows.size() == 1 && !SetCurrentCell(rows.front(), currentColumn_)) return;
    Delete();
    return;
  }
  if (!tableVisible_) return;
  if (!dialogs_.Confirm("Удалить строки " + RowListText(rows) + "?")) return;
  EndEdit();
  for (int row : rows) {
    Entry(row) = MapEntry{};
    rows_[static_cast<std::size_t>(row)] = Row{kNoAddressText, {}, traits_.DeletedTooltip};
  }
  changed_ = true;
  proposalRow_ = -1;
  Record();
}

int RegisterMapForm::ParityOutside(const std::vector<int>& rows) const {
  int parity = -1;
  for (int i = 0; i < RowCount(); ++i) {
    const MapEntry& e = working_[static_cast<std::size_t>(i)];
    if (e.IsEmpty() || e.ModbusAddr == 0xFFFF || std::binary_search(rows.begin(), rows.end(), i)) continue;
    parity = e.ModbusAddr & 1;
  }
  return parity;
}

std::string RegisterMapForm::ProposedStart(const std::vector<int>& selected) const {
  const std::vector<int> rows = SortedRows(selected, RowCount());
  for (int row : rows) {
    const MapEntry& e = working_[static_cast<std::size_t>(row)];
    if (!e.IsEmpty() && e.ModbusAddr != 0xFFFF) return std::to_string(e.ModbusAddr);
  }
  const int parity = ParityOutside(rows);
  const auto a = NextFreeAddress(parity == 1 ? 1 : 0);
  return a ? std::to_string(*a) : std::string();
}

bool RegisterMapForm::AssignAddresses(const std::vector<int>& selected, const std::string& startText) {
  if (!tableVisible_ || !FinishEdit()) return false;
  std::vector<int> rows;
  for (int row : SortedRows(selected, RowCount()))
    if (!working_[static_cast<std::size_t>(row)].IsEmpty()) rows.push_back(row);
  if (rows.empty()) {
    dialogs_.Information("В выделенных строках нет параметров: назначать адреса некому.");
    return false;
  }
  const AddressReading start = ReadAddressText(Trim(startText));
  if (start.kind != AddressReading::Number) {
    dialogs_.Information("Начальный адрес должен быть числом от 0 до 65535.");
    return false;
  }
  const int parity = ParityOutside(rows);
  if (traits_.ParityMessage && parity >= 0 && static_cast<int>(start.value & 1) != parity) {
    dialogs_.Information(traits_.ParityMessage);
    return false;
  }
  std::vector<int> holder(0x10000, -1);  // address -> row outside the selection holding it
  for (int i = 0; i < RowCount(); ++i) {
    const MapEntry& e = working_[static_cast<std::size_t>(i)];
    if (!e.IsEmpty() && e.ModbusAddr != 0xFFFF && !std::binary_search(rows.begin(), rows.end(), i) &&
        holder[e.ModbusAddr] < 0)
      holder[e.ModbusAddr] = i;
  }
  const std::uint32_t step = static_cast<std::uint32_t>(AddressStep(traits_.Kind));
  std::vector<MapLineProblem> problems;
  for (std::size_t k = 0; k < rows.size(); ++k) {
    const std::uint32_t a = start.value + step * static_cast<std::uint32_t>(k);
    const int line = rows[k] + 1;
    if (a > 0xFFFF)
      problems.push_back({line, "адрес " + std::to_string(a) + " больше 65535"});
    else if (holder[a] >= 0)
      problems.push_back(
          {line, "адрес " + std::to_string(a) + " уже занят строкой " + std::to_string(holder[a] + 1)});
  }
  if (!problems.empty()) {
    dialogs_.Information(RefusalText("Адреса не назначены:", std::move(problems)));
    return false;
  }
  for (std::size_t k = 0; k < rows.size(); ++k) {
    const auto a = static_cast<std::uint16_t>(start.value + step * static_cast<std::uint32_t>(k));
    Entry(rows[k]).ModbusAddr = a;
    rows_[static_cast<std::size_t>(rows[k])].address = std::to_string(a);
  }
  if (traits_.ParityMessage && parity_ == Parity::Unset)
    parity_ = (start.value & 1) ? Parity::Odd : Parity::Even;
  changed_ = true;
  proposalRow_ = -1;
  Record();
  return true;
}

std::string RegisterMapForm::CopyText(const std::vector<int>& rows) const {
  return MapClipboardText(cfg_, working_, SortedRows(rows, RowCount()));
}

bool RegisterMapForm::Paste(const std::string& text) {
  if (!tableVisible_ || !tree_.Built() || !FinishEdit()) return false;
  const std::vector<MapLine> lines = ParseClipboardText(text, currentRow_);
  if (lines.empty()) return false;
  const int parity = parity_ == Parity::Unset ? -1 : parity_ == Parity::Odd ? 1 : 0;
  const MapLinesTarget target{cfg_,
                              traits_.Kind,
                              tree_,
                              working_,
                              false,
                              traits_.ParityMessage ? parity : -1,
                              traits_.PlaceNeedsAddress != nullptr};
  MapLinesResult result = CheckMapLines(target, lines);
  if (!result.Problems.empty()) {
    dialogs_.Information(RefusalText("Вставка не выполнена:", std::move(result.Problems)));
    return false;
  }
  for (auto& [row, entry] : result.Entries) {
    Entry(row) = std::move(entry);
    SetRowFromEntry(row);
  }
  if (parity_ == Parity::Unset && traits_.ParityMessage) ComputeParity();
  changed_ = true;
  proposalRow_ = -1;
  Record();
  return true;
}

bool RegisterMapForm::ImportCsv() {
  if (!tableVisible_ || !tree_.Built() || !FinishEdit()) return false;
  const std::optional<std::string> path = dialogs_.OpenFile(ParseFilterText(kCsvFilter));
  if (!path) return false;
  std::string bytes;
  constexpr std::size_t kMaxCsv = 4u << 20;
  if (std::string error = ReadRegularFile(*path, &bytes, nullptr, kMaxCsv); !error.empty()) {
    dialogs_.Information(error);
    return false;
  }
  MapImport import = ImportMapCsv(cfg_, traits_.Kind, tree_, working_, bytes);
  if (!import.Problems.empty()) {
    dialogs_.Information(RefusalText("Импорт не выполнен (" + *path + "):", std::move(import.Problems)));
    return false;
  }
  EndEdit();
  working_ = std::move(import.Map);
  FillTable();
  changed_ = true;
  proposalRow_ = -1;
  Record();
  return true;
}

bool RegisterMapForm::ExportCsv() {
  if (!tableVisible_ || !FinishEdit()) return false;
  std::optional<std::string> path = dialogs_.SaveFile(ParseFilterText(kCsvFilter));
  if (!path || path->empty()) return false;
  const std::size_t slash = path->rfind('/');
  if (path->find('.', slash == std::string::npos ? 0 : slash + 1) == std::string::npos) *path += ".csv";
  if (std::string error = WriteFileAtomically(*path, MapCsvText(cfg_, traits_.Kind, working_));
      !error.empty()) {
    dialogs_.Information(error);
    return false;
  }
  return true;
}

void RegisterMapForm::ResetHistory() {
  undo_.clear();
  redo_.clear();
  committed_ = Committed{working_, rows_, parity_, changed_};
}

void RegisterMapForm::Record(int tag) {
  if (Editing()) return;
  Command c;
  for (int i = 0; i < RowCount(); ++i) {
    const auto k = static_cast<std::size_t>(i);
    if (working_[k] == committed_.working[k] && rows_[k] == committed_.rows[k]) continue;
    c.rows.push_back(i);
    c.entriesBefore.push_back(committed_.working[k]);
    c.entriesAfter.push_back(working_[k]);
    c.rowsBefore.push_back(committed_.rows[k]);
    c.rowsAfter.push_back(rows_[k]);
  }
  if (c.rows.empty() && parity_ == committed_.parity) {
    committed_.changed = changed_;
    return;
  }
  c.parityBefore = committed_.parity;
  c.parityAfter = parity_;
  c.changedBefore = committed_.changed;
  c.changedAfter = changed_;
  c.tag = tag;
  if (tag != 0 && redo_.empty() && !undo_.empty() && undo_.back().tag == tag && c.rows.size() == 1 &&
      undo_.back().rows == c.rows) {
    // One more key typed into the same parameter cell.
    Command& top = undo_.back();
    top.entriesAfter = c.entriesAfter;
    top.rowsAfter = c.rowsAfter;
    top.parityAfter = c.parityAfter;
    top.changedAfter = c.changedAfter;
  } else {
    undo_.push_back(std::move(c));
  }
  redo_.clear();
  committed_ = Committed{working_, rows_, parity_, changed_};
}

void RegisterMapForm::Restore(const Command& c, bool after) {
  for (std::size_t i = 0; i < c.rows.size(); ++i) {
    const auto k = static_cast<std::size_t>(c.rows[i]);
    working_[k] = after ? c.entriesAfter[i] : c.entriesBefore[i];
    rows_[k] = after ? c.rowsAfter[i] : c.rowsBefore[i];
  }
  parity_ = after ? c.parityAfter : c.parityBefore;
  changed_ = after ? c.changedAfter : c.changedBefore;
  if (!c.rows.empty()) currentRow_ = c.rows.front();
  proposalRow_ = -1;
  valueMissing_ = false;
  committed_ = Committed{working_, rows_, parity_, changed_};
  focus_ = Focus::Table;
}

void RegisterMapForm::Undo() {
  if (Editing()) {
    // The typing not yet checked is what goes first.
    rows_[static_cast<std::size_t>(editRow_)].address = oldText_;
    EndEdit();
    changed_ = committed_.changed;
    focus_ = Focus::Table;
    return;
  }
  if (undo_.empty()) return;
  Command c = std::move(undo_.back());
  undo_.pop_back();
  Restore(c, false);
  redo_.push_back(std::move(c));
}

void RegisterMapForm::Redo() {
  if (Editing() || redo_.empty()) return;
  Command c = std::move(redo_.back());
  redo_.pop_back();
  Restore(c, true);
  undo_.push_back(std::move(c));
}

}  // namespace r770
