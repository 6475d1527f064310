// The exchange window shell: showing, opening and closing the link, modes, range fields,
// results table, log view, and the search for modules.
#include "exchange/exchange_form.h"

#include <algorithm>
#include <array>

#include "common/key_filter.h"
#include "common/number_forms.h"
#include "exchange/exchange_log.h"
#include "exchange/exchange_view.h"
#include "link/module_commands.h"

namespace r770 {
namespace {

constexpr const char* kSearchRunning = "Идет поиск";
constexpr const char* kSearchDone = "Поиск завершен";
constexpr const char* kSearchAborted = "Поиск прерван";

// A range field's value: its hexadecimal text, blanks around it ignored; nothing for an
// empty or malformed text.
std::optional<int> RangeValue(const std::string& text) {
  auto v = ParseHex(Trim(text));
  if (!v || *v > 0xFF) return std::nullopt;
  return static_cast<int>(*v);
}

}  // namespace

std::string FoundModuleRow::NumberText() const { return Hex2(net); }

ExchangeForm::ExchangeForm(Configuration& config, ProgramSettings& settings, ExchangeView& view,
                           ExchangeLog& log)
    : config_(config), settings_(settings), view_(view), log_(log) {
  log_.SetView(&view_);
}

ExchangeForm::~ExchangeForm() {
  if (ownsEngine_) CloseLink();
  if (log_.View() == &view_) log_.SetView(nullptr);
}

std::string ExchangeForm::SettingsPath() const {
  return settings_.Path.empty() ? DefaultSettingsPath() : settings_.Path;
}

bool ExchangeForm::DocumentPresent() const {
  const DocumentState& s = config_.State;
  return s.IsNew || s.FromFile || s.FromModule;
}

bool ExchangeForm::MenuEnabled(ExchangeMode item) const {
  if (!linkOpen_ || running_ || item == ExchangeMode::None) return false;
  if (item == ExchangeMode::Write) return DocumentPresent();
  return true;
}

void ExchangeForm::SetStatus(const std::string& text) {
  status_ = text;
  view_.StatusChanged(status_);
}

void ExchangeForm::SetProgress(int position) {
  progress_ = position;
  view_.ProgressChanged(progress_);
}

void ExchangeForm::StepProgress() {
  int next = progress_ + 1;
  if (next > kExchangeProgressMax) next -= kExchangeProgressMax;  // starts over when full
  SetProgress(next);
}

void ExchangeForm::Pump() { view_.PumpEvents(); }

void ExchangeForm::Log(const std::string& text) { log_.Add(text); }

void ExchangeForm::Show() {
  if (running_) return;
  log_.SetView(&view_);
  shown_ = true;
  closePending_ = false;
  succeeded_ = false;  // no action yet in this opening of the window
  mode_ = ExchangeMode::None;
  log_.Clear();
  logVisible_ = false;
  progress_ = 0;
  progressVisible_ = false;
  status_ = kIdleStatus;
  abortEnabled_ = false;
  abortVisible_ = false;
  actionVisible_ = false;
  actionCaption_.clear();
  rangeVisible_ = false;
  rows_.clear();
  resultsVisible_ = false;
  linkOpen_ = false;
  reopenLink_ = false;
  runState_.reset();
  view_.Refresh();
  view_.SetBusy(true);
  OpenExchangeLink();
  view_.SetBusy(false);
  view_.Refresh();
  if (!linkOpen_) view_.Information(ResultText);
}

bool ExchangeForm::OpenExchangeLink() {
  // The engine keeps a reference to the record: it goes before the record does.
  if (ownsEngine_) {
    CloseLink();
    ownsEngine_ = false;
  }
  link_.reset();
  if (settings_.LinkKind == LinkKindSetting::CanBus) {
    auto can = std::make_unique<TCANbusLink>();
    const auto& port = settings_.ComPortIndex;
    can->PortNumber = port && *port >= 0 && *port < 8 ? 1 + *port : 2;
    int speed = settings_.AdapterSpeedIndex.value_or(0);
    if (speed < 0 || speed >= static_cast<int>(kCanSpeeds.size())) speed = 0;
    can->Speed = kCanSpeeds[static_cast<std::size_t>(speed)];
    can->OwnNode = static_cast<std::int32_t>(settings_.PcNetNumber);
    can->DevicePath = ComPortDevice(SettingsPath(), can->PortNumber);
    link_ = std::move(can);
  } else {
    auto tcp = std::make_unique<TTCPLink>();
    tcp->Host = settings_.ModuleIP;
    tcp->Port = settings_.ModulePort;
    link_ = std::move(tcp);
  }
  link_->TimeoutSec = settings_.AnswerTimeSec;
  link_->Retries = settings_.Retries;
  linkOpen_ = OpenLink(*link_, &ResultText, &ExchangeLog::Handler, &log_, &ResultCode);
  ownsEngine_ = true;  // the engine stays current even after a failed opening
  return linkOpen_;
}

void ExchangeForm::ChooseMode(ExchangeMode mode) {
  if (!MenuEnabled(mode)) return;
  mode_ = mode;
  SetStatus(kIdleStatus);
  progressVisible_ = true;
  SetProgress(0);
  const bool search = mode == ExchangeMode::Search;
  rangeVisible_ = search;
  resultsVisible_ = search;
  rangeSwitch_ = settings_.LinkKind == LinkKindSetting::CanBus;
  actionVisible_ = true;
  abortVisible_ = true;
  actionCaption_ = search ? "Найти" : mode == ExchangeMode::Write ? "Записать" : "Прочитать";
  rangeText[0] = rangeText[1] = Hex2(settings_.ModuleNetNumber);
  view_.Refresh();
}

void ExchangeForm::Action() {
  if (running_ || !actionVisible_ || !shown_) return;
  AbortRequested = false;
  succeeded_ = false;
  if (!ReopenIfNeeded()) return;
  running_ = true;
  procedureRan_ = false;
  view_.Refresh();
  if (actionCaption_ == "Найти")
    Search();
  else if (actionCaption_ == "Записать")
    WriteConfiguration();
  else if (actionCaption_ == "Прочитать" && view_.AskSaveChanges())
    ReadConfiguration();
  // After a search the state is that of the module it selected; none found, none to read.
  const bool searchedInVain = actionCaption_ == "Найти" && rows_.empty();
  if (procedureRan_ && !closePending_) {
    if (searchedInVain)
      runState_.reset();
    else
      QueryRunState();
  }
  running_ = false;
  if (closePending_) Close();
  view_.Refresh();
}

bool ExchangeForm::ReopenIfNeeded() {
  if (!reopenLink_) return true;
  view_.SetBusy(true);
  OpenExchangeLink();
  view_.SetBusy(false);
  view_.Refresh();
  if (!linkOpen_) {
    view_.Information(ResultText);
    return false;  // the next command tries again
  }
  reopenLink_ = false;
  return true;
}

namespace {

// Outcomes after which the module is known to answer in good order, so that its run state is
// worth one more request: after any other failure (no answer, a garbled or foreign answer, a
// lost connection) the state stays unknown rather than cost another wait.
bool ModuleAnswers(int code) {
  return code == kOk || code == kResultAborted || code == kPositiveReceipt || code == kNegativeReceipt ||
         code == kAccessDenied || code == kNotStopped || code == kNotRunning || code == kResultNoModule;
}

}  // namespace

void ExchangeForm::QueryRunState() {
  runState_.reset();
  if (!linkOpen_ || !CurrentEngine()) return;
  if (!succeeded_ && !ModuleAnswers(ResultCode)) return;
  std::array<std::uint8_t, 1> state{};
  const int code = ReadModuleParam(settings_.ModuleNetNumber, ParamRunState, state, nullptr);
  if (code == kOk)
    runState_ = state[0];
  else if (!ModuleAnswers(code))
    reopenLink_ = true;
}

std::string ExchangeForm::RunStateText() const {
  std::string text = "Состояние прибора: ";
  if (!runState_) return text + "неизвестно";
  switch (*runState_) {
    case 0x00:
      return text + "Работа";
    case 0x81:
      return text + "Стоп";
    case 0x01:
      return text + "переходит в Стоп";
    default:
      return text + "код " + Hex2(*runState_);
  }
}

bool ExchangeForm::RunStopEnabled() const { return shown_ && !running_ && (linkOpen_ || reopenLink_); }

void ExchangeForm::RunModule() { ChangeRunState(false); }
void ExchangeForm::StopModule() { ChangeRunState(true); }

void ExchangeForm::Abort() {
  if (abortEnabled_) AbortRequested = true;
}

void ExchangeForm::SetRangeSwitch(bool ticked) {
  rangeSwitch_ = ticked;
  view_.Refresh();
}

bool ExchangeForm::RangeKeyTyped(int field, char32_t key, int selStart, int selLength) {
  if (field < 0 || field > 1) return false;
  std::string& t = rangeText[static_cast<std::size_t>(field)];
  // At most 2 characters: a full field takes a key only in place of selected text.
  KeyEdit edit = ApplyKey(t, FilterHexKey(key, HexKeyVariant::Plain), selStart, selLength,
                          {2, FullField::TakesSelection});
  if (!edit.taken) return false;
  caret_ = edit.caret;
  t = std::move(edit.text);
  return true;
}

void ExchangeForm::RangeLeft(int field) {
  if (field < 0 || field > 1) return;
  std::string& t = rangeText[static_cast<std::size_t>(field)];
  if (auto v = RangeValue(t)) t = Hex2(static_cast<std::uint32_t>(*v));
  view_.Refresh();
}

void ExchangeForm::StatusDoubleClicked() {
  logVisible_ = !logVisible_;
  if (mode_ == ExchangeMode::Search) resultsVisible_ = !logVisible_;
  view_.Refresh();
}

void ExchangeForm::RowTicked(int row, bool ticked) {
  if (row < 0 || row >= static_cast<int>(rows_.size())) return;
  if (ticked) {
    for (auto& r : rows_) r.ticked = false;
    rows_[static_cast<std::size_t>(row)].ticked = true;
    settings_.ModuleNetNumber = rows_[static_cast<std::size_t>(row)].net;
  } else {
    rows_[static_cast<std::size_t>(row)].ticked = false;
  }
  view_.Refresh();
}

bool ExchangeForm::RequestClose() {
  if (running_) {
    closePending_ = true;
    AbortRequested = true;
    return false;
  }
  Close();
  return true;
}

void ExchangeForm::Close() {
  if (!shown_) return;
  shown_ = false;
  if (ownsEngine_) {
    CloseLink();
    ownsEngine_ = false;
  }
  link_.reset();
  linkOpen_ = false;
  reopenLink_ = false;
  if (!storeOnClose_) return;
  const std::string error = WriteExchangeWindowClose(SettingsPath(), 0x00, settings_.ModuleNetNumber);
  if (!error.empty()) view_.Information(error);
}

void ExchangeForm::EndProcedure(bool ok, const char* doneText, const char* abortedText) {
  succeeded_ = ok;
  procedureRan_ = true;
  // A failed exchange may have lost the connection (the module restarted, the cable was
  // out): the next command opens the link again rather than failing at once.
  if (!ok && ResultCode != kResultAborted) reopenLink_ = true;
  if (ok) {
    SetStatus(doneText);
    SetProgress(kExchangeProgressMax);
  } else if (ResultCode == kResultAborted) {
    SetStatus(abortedText);
    SetProgress(0);
  } else {
    SetStatus(kIdleStatus);
  }
  view_.SetBusy(false);
  abortEnabled_ = false;
  view_.Refresh();
  if (!ok && ResultCode != kResultAborted) view_.Information(ResultText);
}

// ---- search

void ExchangeForm::Search() {
  const auto first = RangeValue(rangeText[0]);
  const auto last = RangeValue(rangeText[1]);
  if (!first || !last) {
    view_.Information(kRangeEmpty);
    return;
  }
  if (*last < *first) {
    view_.Information(kRangeReversed);
    return;
  }
  if (!rangeSwitch_) {
    view_.Information(kRangeSwitchClear);
    return;
  }
  view_.SetBusy(true);
  abortEnabled_ = true;
  view_.Refresh();
  const bool ok = SearchModules(*first, *last);
  EndProcedure(ok, kSearchDone, kSearchAborted);
  rangeSwitch_ = settings_.LinkKind == LinkKindSetting::CanBus;
  view_.Refresh();
}

bool ExchangeForm::SearchModules(int first, int last) {
  if (!CurrentEngine()) {
    ResultCode = -1;
    ResultText = kNoLinkText;
    return false;
  }
  rows_.clear();
  view_.Refresh();
  SetStatus(kSearchRunning);
  ResultCode = 0;
  SetProgress(0);
  for (int n = first; n <= last; ++n) {
    ResultCode = ProbeModule(static_cast<std::uint8_t>(n), &FoundThunk, this);
    StepProgress();
    view_.PaintProgressNow();
    if (ResultCode != kOk && ResultCode != kNoAnswer && ResultCode != kNegativeReceipt) break;
    // Between two probes "Прервать" is noticed: a scan of the whole range takes minutes.
    if (n < last) {
      Pump();
      if (AbortRequested) {
        ResultCode = kResultAborted;
        ResultText.clear();
        return false;  // the modules found so far stay listed
      }
    }
  }
  if (!rows_.empty()) {
    ResultText.clear();
    ResultCode = 0;
    return true;
  }
  if (ResultCode != 0) {
    ResultText = ErrorText(ResultCode);
  } else {
    ResultCode = kResultNoModule;
    ResultText = kNoModuleText;
  }
  return false;
}

void ExchangeForm::AddFoundModule(std::uint16_t deviceType, std::uint8_t net) {
  if (deviceType != kDeviceTypeR770 && deviceType != kDeviceTypeR770b) return;
  const bool first = rows_.empty();
  rows_.push_back({net, first});
  if (first) settings_.ModuleNetNumber = net;
  view_.Refresh();
}

void ExchangeForm::FoundThunk(void* context, std::uint16_t deviceType, std::uint8_t net) {
  static_cast<ExchangeForm*>(context)->AddFoundModule(deviceType, net);
}

}  // namespace r770
