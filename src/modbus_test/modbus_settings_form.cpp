#include "modbus_test/modbus_settings_form.h"

#include <algorithm>

#include "common/codec.h"
#include "common/dialogs.h"
#include "common/key_filter.h"
#include "common/number_forms.h"
#include "document/document_file.h"

namespace r770 {

ModbusSettingsForm::ModbusSettingsForm(ProgramSettings& settings, Dialogs& dialogs, std::string settingsPath)
    : settings_(settings), dialogs_(dialogs), settingsPath_(std::move(settingsPath)) {}

std::string ModbusSettingsForm::Path() const {
  if (!settingsPath_.empty()) return settingsPath_;
  return settings_.Path.empty() ? DefaultSettingsPath() : settings_.Path;
}

std::string ModbusSettingsForm::PortDisplay(std::uint32_t value) const {
  return portHex ? Hex4(value) : std::to_string(value);
}

void ModbusSettingsForm::Show() {
  focus_ = Field::None;
  closed_ = false;
  std::string message = ReadProgramSettings(Path(), settings_);
  invert = settings_.InversModTest;
  swap = settings_.SwapModTest;
  portHex = settings_.Test16;
  slaveText = Hex2(settings_.SetModTest);
  timeText = std::to_string(settings_.TimeAnswerTest);
  portText = PortDisplay(settings_.PortTcpTest);
  ipText = settings_.IP_AdrTest;
  if (!message.empty()) dialogs_.Information(message);
}

void ModbusSettingsForm::SetPortHex(bool hex) {
  if (hex == portHex) return;
  // The value the field holds in the base it was shown in; a text that does not convert
  // is left as it stands.
  std::optional<std::uint32_t> value = portHex ? ParseHex(portText) : ParseUDec(portText);
  portHex = hex;
  if (value) portText = PortDisplay(*value);
}

void ModbusSettingsForm::TakeFromDocument(const CommonSettings& document) {
  const std::optional<std::string> ip = DocumentModuleIP(document);
  if (!ip) {
    dialogs_.Information(kNoDocumentIPMessage);
    return;
  }
  ipText = *ip;
  slaveText = Hex2(document.AdrExt);
}

bool ModbusSettingsForm::KeyTyped(Field field, char32_t key, int selStart, int selLength) {
  std::string* target = field == Field::SlaveAddress ? &slaveText
                        : field == Field::AnswerTime ? &timeText
                                                     : nullptr;
  if (!target) return false;
  std::optional<char32_t> passed;
  FieldLimit limit;
  if (field == Field::SlaveAddress) {  // two characters; both selected: emptied first
    passed = FilterHexKey(key, HexKeyVariant::Dot);
    limit = {2, FullField::EmptiedWhenAllSelected};
  } else if (IsDigitKey(key)) {
    passed = key;
  }
  const std::string before = *target;
  KeyEdit edit = ApplyKey(before, passed, selStart, selLength, limit);
  caret_ = edit.caret;
  *target = std::move(edit.text);
  return *target != before;
}

bool ModbusSettingsForm::Apply() {
  focus_ = Field::None;
  bool failed = false;
  auto fail = [&](Field field) {
    if (!failed) focus_ = field;
    failed = true;
  };

  settings_.InversModTest = invert;
  settings_.SwapModTest = swap;

  if (auto v = ParseHex(slaveText); v && *v <= 0xFF) {
    settings_.SetModTest = static_cast<std::uint8_t>(*v);
  } else {
    dialogs_.Information("Неверно введен Slave-адрес БМТ");
    settings_.SetModTest = 0;
    slaveText = "0";
    fail(Field::SlaveAddress);
  }

  // No wait at all is no answer time: 0 is refused as a text that does not convert.
  if (auto v = ParseDec(timeText); v && *v >= 1) {
    settings_.TimeAnswerTest = static_cast<std::int32_t>(*v);
  } else {
    dialogs_.Information("Неверно введено время ожидания ответа");
    settings_.TimeAnswerTest = 0;
    timeText = "0";
    fail(Field::AnswerTime);
  }

  settings_.IP_AdrTest = ipText;
  if (ipText.empty()) {
    dialogs_.Information("Введите адрес IP.");
    focus_ = Field::IpAddress;
    return false;
  }
  std::uint8_t ip[4];
  if (!ParseDecBytes(ipText, ip, 4)) {
    dialogs_.Information("Неправильно введен адрес IP.");
    focus_ = Field::IpAddress;
    return false;
  }

  if (portText.empty()) {
    dialogs_.Information("Введите адрес порта.");
    focus_ = Field::Port;
    return false;
  }
  // Digits only in either base: a sign or a letter outside the base does not convert and
  // is refused like a value out of range.
  std::optional<std::uint32_t> port = portHex ? ParseHex(portText) : ParseUDec(portText);
  if (!port || *port >= 65536) {
    dialogs_.Information("Неправильно введен адрес порта.");
    focus_ = Field::Port;
    return false;
  }
  settings_.PortTcpTest = static_cast<std::uint16_t>(*port);

  if (failed) return false;

  settings_.Test16 = portHex;
  std::string error = WriteModbusTest(Path(), settings_);
  if (!error.empty()) {
    dialogs_.Information(error);
    return false;
  }
  closed_ = true;
  return true;
}

}  // namespace r770
