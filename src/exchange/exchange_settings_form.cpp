#include "exchange/exchange_settings_form.h"

#include "common/codec.h"
#include "common/dialogs.h"
#include "common/number_forms.h"

namespace r770 {

ExchangeSettingsForm::ExchangeSettingsForm(Dialogs& dialogs, ProgramSettings& settings,
                                           std::string settingsPath)
    : dialogs_(dialogs), settings_(settings), settingsPath_(std::move(settingsPath)) {}

bool ExchangeSettingsForm::Visible(Field f) const {
  bool can = linkKind_ == LinkKindSetting::CanBus;
  switch (f) {
    case Field::ComPort:
    case Field::PcNumber:
    case Field::Speed: return can;
    case Field::IP:
    case Field::Port: return !can;
    default: return true;
  }
}

bool ExchangeSettingsForm::Editable(Field f) const {
  switch (f) {
    case Field::IP:
    case Field::Port: return false;
    case Field::ModuleNumber: return linkKind_ == LinkKindSetting::CanBus;
    default: return true;
  }
}

void ExchangeSettingsForm::Show() {
  linkKind_ = settings_.LinkKind;
  comPort_ = settings_.ComPortIndex ? *settings_.ComPortIndex : -1;
  pcNumber_ = Hex2(settings_.PcNetNumber);
  speed_ = settings_.AdapterSpeedIndex ? *settings_.AdapterSpeedIndex : -1;
  moduleNumber_ = Hex2(settings_.ModuleNetNumber);
  port_ = kFixedPortText;
  ip_ = settings_.ModuleIP;
  answerTime_ = std::to_string(settings_.AnswerTimeSec);
  retries_ = settings_.Retries < kRetriesMin   ? kRetriesMin
             : settings_.Retries > kRetriesMax ? kRetriesMax
                                               : settings_.Retries;
  changed_ = false;
  focusLinkKind_ = true;
}

void ExchangeSettingsForm::SetLinkKind(LinkKindSetting kind) {
  if (kind == linkKind_) return;  // the kind already chosen: nothing changes
  linkKind_ = kind;
  moduleNumber_ = kind == LinkKindSetting::CanBus ? Hex2(settings_.ModuleNetNumber) : "01";
  changed_ = true;
}

void ExchangeSettingsForm::SetComPort(int position) {
  if (position == comPort_ || position < 0 || position >= 8) return;
  comPort_ = position;
  changed_ = true;
}

void ExchangeSettingsForm::SetRetries(int count) {
  if (count < kRetriesMin) count = kRetriesMin;
  if (count > kRetriesMax) count = kRetriesMax;
  if (count == retries_) return;
  retries_ = count;
  changed_ = true;
}

void ExchangeSettingsForm::SetPcNumber(const std::string& text) {
  if (text == pcNumber_) return;
  pcNumber_ = text;
  changed_ = true;
}

void ExchangeSettingsForm::SetSpeed(int position) {
  if (position == speed_ || position < 0 || position >= 5) return;
  speed_ = position;
  changed_ = true;
}

void ExchangeSettingsForm::SetAnswerTime(const std::string& text) {
  if (text == answerTime_) return;
  answerTime_ = text;
  changed_ = true;
}

void ExchangeSettingsForm::SetModuleNumber(const std::string& text) {
  if (!Editable(Field::ModuleNumber)) return;
  std::string cut = Utf8Left(text, kModuleNumberMaxLength);
  if (cut == moduleNumber_) return;
  moduleNumber_ = cut;
  changed_ = true;
}

std::optional<std::uint32_t> ExchangeSettingsForm::AnswerTimeValue() const {
  const auto time = ParseUDec(Trim(answerTime_));
  if (!time || *time < 1 || *time > static_cast<std::uint32_t>(kAnswerTimeMax)) return std::nullopt;
  return time;
}

bool ExchangeSettingsForm::TakeAndWrite() {
  // An answer time that is no number of seconds (or 0, which would mean no wait at all) is
  // refused before anything is taken; the numbers fall back without a message.
  const auto time = AnswerTimeValue();
  if (!time) {
    dialogs_.Information(kBadAnswerTimeMessage);
    return false;
  }
  settings_.Retries = retries_;
  settings_.AnswerTimeSec = static_cast<std::int32_t>(*time);
  answerTime_ = std::to_string(*time);
  if (auto v = ParseHex(pcNumber_)) {
    settings_.PcNetNumber = *v;
  } else {
    settings_.PcNetNumber = 0;
    pcNumber_ = "0";
  }
  settings_.LinkKind = linkKind_;
  if (comPort_ >= 0) settings_.ComPortIndex = comPort_;
  else settings_.ComPortIndex.reset();
  if (auto v = ParseHex(moduleNumber_); v && *v <= 0xFF) {
    settings_.ModuleNetNumber = static_cast<std::uint8_t>(*v);
  } else {
    settings_.ModuleNetNumber = 1;
    moduleNumber_ = "01";
  }
  if (speed_ >= 0) settings_.AdapterSpeedIndex = speed_;
  else settings_.AdapterSpeedIndex.reset();

  // Writing, in the order of the section.
  ExchangeSettingsTexts t;
  t.VS = kLinkKindItems[linkKind_ == LinkKindSetting::CanBus ? 1 : 0];
  t.Comport = comPort_ >= 0 ? kComPortItems[comPort_] : "";
  t.Pc_numb = pcNumber_;
  t.SpeedPC = speed_ >= 0 ? kAdapterSpeedItems[speed_] : "";
  t.SetNR770 = moduleNumber_;
  t.KPov = settings_.Retries;
  t.IP = ip_;
  settings_.ModuleIP = ip_;
  auto port = ParseHex(Trim(port_));
  if (!port || *port > 0x7FFFFFFF) {
    port = 51960;
    port_ = kFixedPortText;
  }
  t.port_TCP = static_cast<std::int32_t>(*port);
  settings_.ModulePort = t.port_TCP;
  t.TimeW = answerTime_;
  std::string error = WriteExchangeSettings(settingsPath_, t);
  if (!error.empty()) {
    dialogs_.Information(error);
    return false;
  }
  changed_ = false;
  return true;
}

bool ExchangeSettingsForm::ApplyPressed() { return TakeAndWrite(); }

bool ExchangeSettingsForm::CloseRequested() {
  if (changed_) {
    if (dialogs_.Confirm("Сохранить изменения?")) {
      if (!AnswerTimeValue()) {  // refused: the window stays open to put it right
        dialogs_.Information(kBadAnswerTimeMessage);
        return false;
      }
      TakeAndWrite();
    }
    changed_ = false;
  }
  return true;
}

AdditionalSettingsForm::AdditionalSettingsForm(Dialogs& dialogs, ProgramSettings& settings,
                                               std::string settingsPath)
    : dialogs_(dialogs), settings_(settings), settingsPath_(std::move(settingsPath)) {}

void AdditionalSettingsForm::Show() { choice_ = settings_.ShortTaskNames ? 1 : 0; }

void AdditionalSettingsForm::SetTaskName(int position) {
  if (position == 0 || position == 1) choice_ = position;
}

bool AdditionalSettingsForm::ApplyPressed() {
  std::string error = WriteDisplayChoices(settingsPath_, choice_ == 1, settings_.PortInHex);
  if (!error.empty()) dialogs_.Information(error);
  settings_.ShortTaskNames = choice_ == 1;
  return true;
}

}  // namespace r770
