#include "exchange/exchange_settings_form.h"

#include "common/codec.h"
#include "common/dialogs.h"
#include "common/number_forms.h"
#include "document/document_file.h"

namespace r770 {

ExchangeSettingsForm::ExchangeSettingsForm(Dialogs& dialogs, ProgramSettings& settings,
                                           std::string settingsPath)
    : dialogs_(dialogs), settings_(settings), settingsPath_(std::move(settingsPath)) {}

bool ExchangeSettingsForm::Visible(Field f) const {
  bool can = linkKind_ == LinkKindSetting::CanBus;
  switch (f) {
    case Field::ComPort:
    case Field::PcNumber:
    case Field::Speed:
      return can;
    case Field::IP:
    case Field::Port:
      return !can;
    default:
      return true;
  }
}

bool ExchangeSettingsForm::Editable(Field f) const {
  switch (f) {
    case Field::IP:
    case Field::Port:
      return linkKind_ == LinkKindSetting::Ethernet;
    case Field::ModuleNumber:
      return linkKind_ == LinkKindSetting::CanBus;
    default:
      return true;
  }
}

void ExchangeSettingsForm::Show() {
  linkKind_ = settings_.LinkKind;
  comPort_ = settings_.ComPortIndex ? *settings_.ComPortIndex : -1;
  pcNumber_ = Hex2(settings_.PcNetNumber);
  speed_ = settings_.AdapterSpeedIndex ? *settings_.AdapterSpeedIndex : -1;
  moduleNumber_ = Hex2(settings_.ModuleNetNumber);
  port_ = PortText(settings_.ModulePort);
  ip_ = settings_.ModuleIP;
  answerTime_ = std::to_string(settings_.AnswerTimeSec);
  retries_ = settings_.Retries < kRetriesMin   ? kRetriesMin
             : settings_.Retries > kRetriesMax ? kRetriesMax
                                               : settings_.Retries;
  changed_ = false;
  focusLinkKind_ = true;
  focus_.reset();
}

std::string ExchangeSettingsForm::PortText(std::int64_t port) const {
  if (port < 0 || port > 0xFFFF) return std::to_string(port);  // shown as it stands, refused on apply
  return Hex4(static_cast<std::uint32_t>(port));               // this window's port is hexadecimal text
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

void ExchangeSettingsForm::SetIP(const std::string& text) {
  if (!Editable(Field::IP)) return;
  std::string cut = Utf8Left(text, kIPMaxLength);
  if (cut == ip_) return;
  ip_ = cut;
  changed_ = true;
}

void ExchangeSettingsForm::SetPort(const std::string& text) {
  if (!Editable(Field::Port)) return;
  std::string cut = Utf8Left(text, static_cast<std::size_t>(PortMaxLength()));
  if (cut == port_) return;
  port_ = cut;
  changed_ = true;
}

void ExchangeSettingsForm::TakeFromDocument(const CommonSettings& document) {
  if (!Editable(Field::IP)) return;
  const std::optional<std::string> ip = DocumentModuleIP(document);
  if (!ip) {
    dialogs_.Information(kNoDocumentIPMessage);
    return;
  }
  SetIP(*ip);
  SetPort(PortText(document.AdrPort));
}

std::optional<std::uint32_t> ExchangeSettingsForm::PortValue() const {
  const std::string text = Trim(port_);
  auto port = ParseHex(text);
  if (!port || *port > 0xFFFF) return std::nullopt;
  return port;
}

std::optional<std::pair<ExchangeSettingsForm::Field, std::string>> ExchangeSettingsForm::Refusal() const {
  if (!AnswerTimeValue()) return std::pair{Field::AnswerTime, std::string(kBadAnswerTimeMessage)};
  // The address and the port count only for the link that uses them; with CAN-BUS they are
  // hidden and written back as they were.
  if (linkKind_ != LinkKindSetting::Ethernet) return std::nullopt;
  const std::string ip = Trim(ip_);
  std::uint8_t bytes[4];
  if (ip.empty()) return std::pair{Field::IP, std::string(kEmptyIPMessage)};
  if (!ParseDecBytes(ip, bytes, 4)) return std::pair{Field::IP, std::string(kBadIPMessage)};
  if (Trim(port_).empty()) return std::pair{Field::Port, std::string(kEmptyPortMessage)};
  if (!PortValue()) return std::pair{Field::Port, std::string(kBadPortMessage)};
  return std::nullopt;
}

bool ExchangeSettingsForm::Accepted() {
  auto refusal = Refusal();
  if (!refusal) return true;
  dialogs_.Information(refusal->second);
  focus_ = refusal->first;
  return false;
}

std::optional<std::uint32_t> ExchangeSettingsForm::AnswerTimeValue() const {
  const auto time = ParseUDec(Trim(answerTime_));
  if (!time || *time < 1 || *time > static_cast<std::uint32_t>(kAnswerTimeMax)) return std::nullopt;
  return time;
}

bool ExchangeSettingsForm::TakeAndWrite() {
  // An answer time that is no number of seconds (or 0, which would mean no wait at all) and
  // an Ethernet address or port that the common settings editor would refuse are refused
  // before anything is taken; the numbers fall back without a message.
  if (!Accepted()) return false;
  const auto time = AnswerTimeValue();
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
  if (comPort_ >= 0)
    settings_.ComPortIndex = comPort_;
  else
    settings_.ComPortIndex.reset();
  if (auto v = ParseHex(moduleNumber_); v && *v <= 0xFF) {
    settings_.ModuleNetNumber = static_cast<std::uint8_t>(*v);
  } else {
    settings_.ModuleNetNumber = 1;
    moduleNumber_ = "01";
  }
  if (speed_ >= 0)
    settings_.AdapterSpeedIndex = speed_;
  else
    settings_.AdapterSpeedIndex.reset();

  // Writing, in the order of the section.
  ExchangeSettingsTexts t;
  t.VS = kLinkKindItems[linkKind_ == LinkKindSetting::CanBus ? 1 : 0];
  t.Comport = comPort_ >= 0 ? kComPortItems[comPort_] : "";
  t.Pc_numb = pcNumber_;
  t.SpeedPC = speed_ >= 0 ? kAdapterSpeedItems[speed_] : "";
  t.SetNR770 = moduleNumber_;
  t.KPov = settings_.Retries;
  if (linkKind_ == LinkKindSetting::Ethernet) ip_ = Trim(ip_);
  t.IP = ip_;
  settings_.ModuleIP = ip_;
  // With CAN-BUS a stored port that does not fit 16 bits is kept as it was.
  if (auto port = PortValue()) settings_.ModulePort = static_cast<std::int32_t>(*port);
  port_ = PortText(settings_.ModulePort);
  t.port_TCP = settings_.ModulePort;
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
      if (!Accepted()) return false;  // refused: the window stays open to put it right
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
