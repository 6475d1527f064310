#include "editors/register_map_form.h"

#include <array>

#include "common/codec.h"
#include "common/dialogs.h"
#include "common/key_filter.h"
#include "common/number_forms.h"
#include "database/task_cl.h"
#include "document/program_settings.h"

namespace r770 {
namespace {

constexpr std::array<RegisterMapTraits, 4> kTraits{{
    {
        MapKind::TU, "TFModbusTU", "Coils", "Номера регистров Modbus (Coil)", "Параметр", TreeKind::Bit,
        /*SelectOnAnyClick*/ false,
        /*PlaceNeedsAddress*/ nullptr,
        "Coil не должен превышать 65535!", /*TooLargeRestores*/ false, /*TooLargeStays*/ true,
        /*ParityMessage*/ nullptr,
        "Введите Coil!", /*EmptyNeedsParam*/ false, /*EmptyStays*/ false, /*EmptyRestores*/ true,
        /*ParamEditable*/ false,
        /*CheckEntries*/ true, "Не введен Coil!(Строка ", "Не введен параметр!(Строка ",
        /*ValueMissingMessage*/ nullptr,
        /*DeletedTooltip*/ "",
        /*HasInsert*/ false, /*HasPrint*/ false,
        /*ClearChangedOnOpen*/ false, /*KeysSetChanged*/ false,
        /*HidePlaceWithoutTree*/ false, /*MessageBeforeFill*/ false,
    },
    {
        MapKind::TC, "TFModbusTC", "Discret Inputs", "Адрес Modbus Discret Inputs", "Параметр", TreeKind::Bit,
        false,
        "Введите адрес Discret Inputs",
        "Номер Discret Inputs должен быть не больше 65535!", false, true,
        nullptr,
        kEnterValueMessage, false, true, false,
        /*ParamEditable*/ true,
        true, "Не введен Discret Inputs!(Строка ", "Не введен параметр!(Строка ",
        nullptr,
        "",
        false, false,
        false, true,
        true, /*MessageBeforeFill*/ true,
    },
    {
        MapKind::TIFloat, "TFTIFloat", "Holding Registers", "Адрес Modbus Holding Registers", "Параметры",
        TreeKind::Register,
        /*SelectOnAnyClick*/ true,
        "Введите адрес Holding Registers",
        "Номер Holding registers должен быть не больше 65535!", /*TooLargeRestores*/ true, false,
        "Нумерация Holding Registers должна быть через 1!",
        kEnterValueMessage, /*EmptyNeedsParam*/ true, false, false,
        false,
        /*CheckEntries*/ false, "Введите номер Holding Registers или удалите строку (",
        "Введите параметр или удалите строку (",
        nullptr,
        "",
        /*HasInsert*/ true, /*HasPrint*/ true,
        /*ClearChangedOnOpen*/ true, true,
        true, false,
    },
    {
        MapKind::InputReg, "TFInputReg", "Input registers", "Адрес Modbus Input Registers", "Параметры",
        TreeKind::Register,
        true,
        "Введите правильно адрес Input Registers",
        "Введите правильно номер Input Registers. Он должен быть не больше 65535!", true, /*TooLargeStays*/ true,
        "Нумерация Input Registers должна быть через 1!",
        kEnterValueMessage, true, false, false,
        false,
        false, "Введите номер Input Registers или удалите строку (", "Введите параметр или удалите строку (",
        /*ValueMissingMessage*/ "Проверьте правильность ввода Input Register.",
        /*DeletedTooltip*/ "FF FFFF",
        false, false,
        false, true,
        true, false,
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

// Removes the last character of a UTF-8 text.
void DropLastChar(std::string& text) {
  if (text.empty()) return;
  std::size_t i = text.size() - 1;
  while (i > 0 && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) --i;
  text.erase(i);
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
    case kColNumber: return NumberCell(row);
    case kColAddress: return AddressCell(row);
    case kColParam: return ParamCell(row);
    default: return {};
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

  std::vector<TreeController> controllers;
  controllers.reserve(cfg_.Controllers.size());
  for (const ControllerEntry& c : cfg_.Controllers) controllers.push_back({c.Task.get(), c.Nset, c.Found});
  const TreeOptions options{cfg_.State.FromModule, settings_.ShortTaskNames};

  auto buildTree = [&] {
    tree_ = ParamTree::Build(traits_.Tree, controllers, options);
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
  ++selectionSerial_;
}

bool RegisterMapForm::SetCurrentCell(int row, int column) {
  if (!ValidRow(row) || column < 0 || column >= kColumns) return false;
  if (row == currentRow_ && column == currentColumn_) return true;
  if (LeaveCell() == LeaveResult::Refused) return false;
  currentRow_ = row;
  currentColumn_ = column;
  return true;
}

void RegisterMapForm::CellClicked(int row, int column) {
  if (opening_ || !tree_.Built() || !ValidRow(currentRow_)) return;
  const bool shows = traits_.SelectOnAnyClick ||
                     (currentColumn_ == kColParam && !working_[static_cast<std::size_t>(currentRow_)].IsEmpty());
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
  return true;
}

bool RegisterMapForm::FinishEdit() { return LeaveCell() == LeaveResult::Accepted; }

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

  if (traits_.PlaceNeedsAddress) {
    const AddressReading reading = ReadAddressText(AddressCell(row));
    if (reading.kind != AddressReading::Number) {
      dialogs_.Information(traits_.PlaceNeedsAddress);
      return;
    }
    entry.ModbusAddr = static_cast<std::uint16_t>(reading.value);
  }

  if (selectedNode_ < 0 || tree_.Node(selectedNode_).Level != 2) {
    dialogs_.Information(kNoParamSelectedMessage);
    return;
  }
  const TreeNode& param = tree_.Node(selectedNode_);
  const TreeNode& task = tree_.Node(param.Parent);
  const TreeNode& controller = tree_.Node(task.Parent);
  if (param.ControllerPos < 0 || param.ControllerPos >= static_cast<int>(cfg_.Controllers.size())) return;
  const ControllerEntry& owner = cfg_.Controllers[static_cast<std::size_t>(param.ControllerPos)];

  entry.ModuleNo = static_cast<std::uint8_t>(owner.Nset & 0xFF);
  entry.TaskNo = static_cast<std::uint16_t>(param.TaskNo);
  entry.ParamNo = owner.Task ? owner.Task->ItemParam(param.ParamPos) : param.ParamNo;
  entry.ParamName = CutParamName(param.Label + "/" + task.Label + "(" + controller.Label + ")");

  Row& r = rows_[static_cast<std::size_t>(row)];
  r.param = entry.ParamName;
  r.tooltip = TooltipOf(entry);
  focus_ = Focus::Tree;
  changed_ = true;
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
    case Dialogs::Answer::Yes: return Apply();
    case Dialogs::Answer::No: EndEdit(); return true;
    case Dialogs::Answer::Cancel: break;
  }
  return false;
}

std::optional<PrintTable> RegisterMapForm::Print() {
  if (!FinishEdit()) return std::nullopt;
  using W = PrintTable::Width;
  PrintTable p;
  p.Titles = {kNumberTitle, traits_.AddressTitle, traits_.ParamTitle, kPrintParamNoTitle,
              kPrintModuleTitle, kPrintCanTitle, kPrintModbusTitle};
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

}  // namespace r770
