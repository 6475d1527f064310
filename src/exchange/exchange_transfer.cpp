// Writing the configuration into the module and reading it back.
#include <array>

#include "exchange/exchange_form.h"
#include "exchange/exchange_tables.h"
#include "exchange/exchange_view.h"
#include "link/module_commands.h"

namespace r770 {
namespace {

constexpr std::uint8_t kAccessLevel = 2;

const MapEntry& EntryOrEmpty(const RegisterMap& map, int i) {
  static const MapEntry empty{};
  return static_cast<std::size_t>(i) < map.size() ? map[static_cast<std::size_t>(i)] : empty;
}

}  // namespace

// ---- write

void ExchangeForm::WriteConfiguration() {
  const std::uint8_t net = settings_.ModuleNetNumber;
  view_.SetBusy(true);
  abortEnabled_ = true;
  view_.Refresh();
  bool ok = WriteCommonSettings(net);
  if (ok) {
    ok = WriteRegisterMaps(net);
    Log("=> Pusk");
    // LastRunState is what the stop found: 0 means the device was running before the write.
    // A device found stopped (left so by an interrupted write, say) is offered its return to
    // work as well, so that a write never leaves it stopped without a word.
    if (ok) {
      const char* question = LastRunState() == 0 ? kRestartQuestion : kRestartStoppedQuestion;
      if (view_.Confirm(question)) ok = SetRunState(net, false, &ResultText, &ResultCode);
    }
  }
  EndProcedure(ok, "Запись завершена", "Запись прервана");
}

bool ExchangeForm::WriteCommonSettings(std::uint8_t net) {
  Log("WriteCommon");
  SetStatus("Идет запись");
  ResultCode = 0;
  ResultText.clear();
  if (!LoginModule(net, kAccessLevel, &ResultText, &ResultCode)) return false;
  if (!SetRunState(net, true, &ResultText, &ResultCode)) return false;
  SetProgress(0);
  for (int step = 0; step < static_cast<int>(CommonParamTable.size()); ++step) {
    if (ResultCode != 0 || AbortRequested) break;
    if (step != kMacStep) {
      const auto bytes = CommonStepBytes(config_.Common, step);
      ResultCode =
          WriteModuleParam(net, CommonParamTable[static_cast<std::size_t>(step)].param, bytes, &ResultText);
    }
    StepProgress();
    Pump();
  }
  if (AbortRequested) ResultCode = kResultAborted;
  return ResultCode == 0;
}

bool ExchangeForm::WriteRegisterMaps(std::uint8_t net) {
  for (MapKind kind : kExchangeMapOrder) {
    if (ResultCode != 0) break;
    Log(WriteMapLogLine(kind));  // logged after an abort too; nothing more is sent then
    const RegisterMap& map = config_.Map(kind);
    for (MapArray array : kMapArrayOrder) {
      const std::uint16_t param = MapArrayParam(kind, array);
      for (int i = 0; i < MapCount(kind); ++i) {
        if (ResultCode != 0 || AbortRequested) break;
        if (kind != MapKind::TC) {
          Pump();
          if (AbortRequested) break;
        }
        const auto bytes = MapElementBytes(EntryOrEmpty(map, i), array);
        ResultCode =
            WriteModuleElement(net, param, bytes, i == 0, static_cast<std::uint16_t>(i), &ResultText);
        StepProgress();
      }
    }
  }
  // The checksum step: the module recounts its check sum when the state is read after the
  // last array; the value itself is not used.
  if (ResultCode == 0 && !AbortRequested) {
    Log("WrModbus пересчет KC");
    ResultText.clear();
    std::array<std::uint8_t, 1> state{};
    ResultCode = ReadModuleParam(net, ParamRunState, state, &ResultText);
  }
  if (AbortRequested) ResultCode = kResultAborted;
  return ResultCode == 0;
}

// ---- "Пуск" and "Стоп"

void ExchangeForm::ChangeRunState(bool stop) {
  if (!RunStopEnabled()) return;
  AbortRequested = false;
  succeeded_ = false;
  if (!ReopenIfNeeded()) return;
  running_ = true;
  const std::uint8_t net = settings_.ModuleNetNumber;
  view_.SetBusy(true);
  view_.Refresh();
  Log(stop ? "=> Stop" : "=> Pusk");
  SetStatus(stop ? "Идет останов прибора" : "Идет пуск прибора");
  ResultCode = 0;
  ResultText.clear();
  const bool ok = LoginModule(net, kAccessLevel, &ResultText, &ResultCode) &&
                  SetRunState(net, stop, &ResultText, &ResultCode);
  EndProcedure(ok, stop ? "Прибор в состоянии \"Стоп\"" : "Прибор в состоянии \"Работа\"", kIdleStatus);
  if (!closePending_) QueryRunState();
  running_ = false;
  if (closePending_) Close();
  view_.Refresh();
}

// ---- read

void ExchangeForm::ReadConfiguration() {
  const std::uint8_t net = settings_.ModuleNetNumber;
  view_.SetBusy(true);
  abortEnabled_ = true;
  view_.Refresh();
  bool ok = ReadCommonSettings(net);
  if (ok) {
    config_.CreateMaps();
    ok = ReadRegisterMaps(net);
    view_.SetMainStatus(kReadMainStatus);
    if (ok) {
      DocumentState& s = config_.State;
      s.ControllersChanged = s.TCChanged = s.TUChanged = s.TIFloatChanged = s.InputRegChanged = true;
      s.FromModule = true;
      s.IsNew = false;
      s.FromFile = false;
    }
  }
  EndProcedure(ok, "Чтение завершено", "Чтение прервано");
  view_.UpdateDocumentMenus(false);
}

bool ExchangeForm::ReadCommonSettings(std::uint8_t net) {
  SetStatus("Идет чтение");
  Log("ReadCommon");
  ResultCode = 0;
  ResultText.clear();
  if (!LoginModule(net, kAccessLevel, &ResultText, &ResultCode)) return false;
  SetProgress(0);
  for (int step = 0; step < static_cast<int>(CommonParamTable.size()); ++step) {
    if (ResultCode != 0 || AbortRequested) break;
    const CommonParamStep& p = CommonParamTable[static_cast<std::size_t>(step)];
    std::array<std::uint8_t, 8> buffer{};
    const auto bytes = std::span(buffer).first(static_cast<std::size_t>(p.size));
    if (step == kMacStep)
      ResultCode = ReadModuleArray(net, p.param, p.size, 1, bytes, &ResultText);
    else
      ResultCode = ReadModuleParam(net, p.param, bytes, &ResultText);
    StepProgress();
    if (ResultCode == 0) StoreCommonStep(ReadTarget().Common, step, bytes);
  }
  if (AbortRequested) ResultCode = kResultAborted;
  return ResultCode == 0;
}

bool ExchangeForm::ReadRegisterMaps(std::uint8_t net) {
  // The controllers go as ClearControllers takes them, but ControllersChanged stays.
  Configuration& target = ReadTarget();
  target.Controllers.clear();
  target.DeletedNsets.clear();
  for (MapKind kind : {MapKind::TU, MapKind::TC, MapKind::TIFloat, MapKind::InputReg})
    target.ResetMapEntry(kind, -1);
  ResultCode = 0;
  for (MapKind kind : kExchangeMapOrder) {
    Log(ReadMapLogLine(kind));  // every map's line is logged, after a failure too
    RegisterMap& map = target.Map(kind);
    for (int i = 0; i < MapCount(kind); ++i) {
      if (ResultCode != 0 || AbortRequested) break;
      Pump();
      if (AbortRequested) break;
      MapEntry& entry = map[static_cast<std::size_t>(i)];
      for (MapArray array : kMapArrayOrder) {
        if (ResultCode != 0 || AbortRequested) break;
        std::array<std::uint8_t, 2> buffer{};
        const int size = MapArrayElementSize(array);
        ResultCode = ReadModuleElement(net, MapArrayParam(kind, array), static_cast<std::uint16_t>(i), size,
                                       buffer, &ResultText);
        StepProgress();
        if (ResultCode != 0) break;
        StoreMapElement(entry, array, std::span(buffer).first(static_cast<std::size_t>(size)));
        if (array == MapArray::Controller) AddReadController(entry.ModuleNo);
      }
    }
  }
  if (AbortRequested) ResultCode = kResultAborted;
  return ResultCode == 0;
}

void ExchangeForm::AddReadController(std::uint8_t number) {
  Configuration& target = ReadTarget();
  if (number == 255 || target.FindController(number)) return;
  ControllerEntry c;
  c.Nset = number;
  c.Found = false;
  target.Controllers.push_back(std::move(c));
}

bool ExchangeForm::ReadModuleInto(Configuration& target) {
  if (!CompareEnabled() || !shown_) return false;
  AbortRequested = false;
  succeeded_ = false;
  running_ = true;
  readTarget_ = &target;
  target.ResetForNew();
  target.State = DocumentState{};
  view_.SetBusy(true);
  abortEnabled_ = true;
  view_.Refresh();
  const std::uint8_t net = settings_.ModuleNetNumber;
  bool ok = ReadCommonSettings(net);
  if (ok) {
    target.CreateMaps();
    ok = ReadRegisterMaps(net);
  }
  if (ok) target.State.FromModule = true;
  readTarget_ = nullptr;
  EndProcedure(ok, "Чтение завершено", "Чтение прервано");
  running_ = false;
  if (closePending_) Close();
  view_.Refresh();
  return ok;
}

}  // namespace r770
