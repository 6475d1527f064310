#include "document/common_settings_form.h"

#include "common/codec.h"
#include "common/dialogs.h"
#include "common/key_filter.h"
#include "common/number_forms.h"
#include "document/document_file.h"

namespace r770 {
namespace {

using Input = CommonSettingsForm::Input;

std::string DecBytes(const std::array<std::uint8_t, 4>& bytes) { return DecBytesText(bytes.data(), 4); }

std::string NotHex(const std::string& text) {
  return "\"" + text + "\" не является шестнадцатеричным числом.";
}

std::string NotDec(const std::string& text) { return "\"" + text + "\" не является десятичным числом."; }

bool IsAddressInput(Input i) { return i == Input::AdrIP || i == Input::AdrGate || i == Input::Mask; }
bool IsHexByteInput(Input i) { return i == Input::AdrCAN || i == Input::AdrExt; }

}  // namespace

const char* CommonSettingsForm::KeyHint(Input input, bool portInHex) {
  switch (input) {
    case Input::AdrCAN:
    case Input::AdrExt:
      return kHexKeysHint;
    case Input::twaitCAN:
      return kDigitKeysHint;
    case Input::AdrPort:
      return portInHex ? kHexPortKeysHint : kDecPortKeysHint;
    case Input::AdrIP:
    case Input::AdrGate:
    case Input::Mask:
      return kDottedKeysHint;
    default:
      return nullptr;
  }
}

const char* CommonSettingsForm::Label(Input input) {
  switch (input) {
    case Input::AdrCAN:
      return "Адрес по шине CAN-BUS, Hex";
    case Input::V_CAN:
      return "Частота обмена по шине \nCAN-BUS (Kбод)";
    case Input::trepeat:
      return "Период  опроса \nR-770 - ЛОРИС, с";
    case Input::twaitCAN:
      return "Время ожидания ответа \nпо CAN-BUS, мс";
    case Input::AdrExt:
      return "Адрес Modbus, Hex";
    case Input::V_Ethernet:
      return "Скорость Ethernet";
    case Input::AdrPort:
      return "Адрес порта";
    case Input::AdrIP:
      return "IP адрес";
    case Input::AdrGate:
      return "Адрес шлюза";
    case Input::Mask:
      return "Маска подсети";
    case Input::Invers:
      return "Инвертировать порядок байт";
    case Input::SWAP:
      return "Поменять местами старшие и младшие части в числе";
    case Input::Count_:
      break;
  }
  return "";
}

CommonSettingsForm::CommonSettingsForm(Dialogs& dialogs, Configuration& cfg, ProgramSettings& settings,
                                       std::string settingsPath)
    : dialogs_(dialogs), cfg_(cfg), settings_(settings), settingsPath_(std::move(settingsPath)) {}

int CommonSettingsForm::MaxLength(Input input) const {
  switch (input) {
    case Input::AdrCAN:
    case Input::AdrExt:
      return 2;
    case Input::twaitCAN:
      return 5;
    case Input::AdrPort:
      return settings_.PortInHex ? 4 : 5;
    case Input::AdrIP:
    case Input::AdrGate:
    case Input::Mask:
      return 15;
    case Input::trepeat:
      return 5;
    default:
      return 0;
  }
}

void CommonSettingsForm::SetInputText(Input input, const std::string& text) {
  if (texts_[Index(input)] == text) return;
  texts_[Index(input)] = text;
  changed_ = true;
}

void CommonSettingsForm::FillPort() {
  std::uint16_t port = cfg_.Common.AdrPort;
  texts_[Index(Input::AdrPort)] = settings_.PortInHex ? Hex4(port) : std::to_string(port);
}

void CommonSettingsForm::Show() {
  const CommonSettings& c = cfg_.Common;
  texts_[Index(Input::AdrCAN)] = Hex2(c.AdrCAN);
  canSpeed_ = c.V_CAN < kCanSpeedItems.size() ? c.V_CAN : -1;
  texts_[Index(Input::trepeat)] = std::to_string(c.trepeat);
  texts_[Index(Input::twaitCAN)] = std::to_string(c.twaitCAN);
  texts_[Index(Input::AdrExt)] = Hex2(c.AdrExt);
  ethernet_ = c.V_Ethernet < kEthernetItems.size() ? c.V_Ethernet : -1;
  texts_[Index(Input::AdrIP)] = DecBytes(c.AdrIP);
  texts_[Index(Input::AdrGate)] = DecBytes(c.AdrGate);
  texts_[Index(Input::Mask)] = DecBytes(c.Mask);
  FillPort();
  invers_ = c.Invers;
  swap_ = c.SWAP;
  focus_.reset();
  changed_ = false;
}

bool CommonSettingsForm::KeyTyped(Input input, char32_t key, int selStart, int selLength) {
  std::optional<char32_t> passed;
  if (IsHexByteInput(input) || IsAddressInput(input)) {
    passed = FilterHexKey(key, HexKeyVariant::Dot);
  } else if (input == Input::AdrPort && settings_.PortInHex) {
    passed = FilterHexKey(key, HexKeyVariant::Port);
  } else if (input == Input::AdrPort || input == Input::twaitCAN || input == Input::trepeat) {
    if (IsDigitKey(key)) passed = key;
  }
  // A full field refuses the key, except that the two-character fields and the port field,
  // wholly selected, are emptied first. The period is a spin field: its length is kept to the
  // five digits of its range, and a key typed over a selection replaces it like in any other
  // spin field.
  const FullField full = input == Input::trepeat ? FullField::TakesSelection
                         : IsHexByteInput(input) || input == Input::AdrPort
                             ? FullField::EmptiedWhenAllSelected
                             : FullField::Refuses;
  const std::string before = texts_[Index(input)];
  KeyEdit edit = ApplyKey(before, passed, selStart, selLength, {MaxLength(input), full});
  caret_ = edit.caret;
  SetInputText(input, edit.text);
  return texts_[Index(input)] != before;
}

void CommonSettingsForm::TextEdited(Input input, const std::string& text) {
  std::string cut = text;
  int max = MaxLength(input);
  if (max > 0 && Utf8Length(cut) > static_cast<std::size_t>(max))
    cut = Utf8Left(cut, static_cast<std::size_t>(max));
  SetInputText(input, cut);
}

void CommonSettingsForm::Step(Input input, int delta) {
  if (input != Input::trepeat) return;
  auto v = ParseDec(texts_[Index(input)]);
  std::int64_t value = v ? *v : kTrepeatMin;
  value += delta;
  if (value < kTrepeatMin) value = kTrepeatMin;
  if (value > kTrepeatMax) value = kTrepeatMax;
  SetInputText(input, std::to_string(value));
}

void CommonSettingsForm::FieldLeft(Input input) {
  if (input != Input::trepeat) return;
  // The spin field brings a number outside its range into it; an empty text stays empty.
  auto v = ParseDec(texts_[Index(input)]);
  if (!v) return;
  if (*v < kTrepeatMin)
    SetInputText(input, std::to_string(kTrepeatMin));
  else if (*v > kTrepeatMax)
    SetInputText(input, std::to_string(kTrepeatMax));
}

void CommonSettingsForm::SetCanSpeed(int position) {
  if (position == canSpeed_) return;
  canSpeed_ = position;
  changed_ = true;
}

void CommonSettingsForm::SetEthernet(int position) {
  if (position == ethernet_) return;
  ethernet_ = position;
  changed_ = true;
}

void CommonSettingsForm::SetInvers(bool on) {
  if (on == invers_) return;
  invers_ = on;
  changed_ = true;
}

void CommonSettingsForm::SetSwap(bool on) {
  if (on == swap_) return;
  swap_ = on;
  changed_ = true;
}

void CommonSettingsForm::SetPortInHex(bool on) {
  // The box is the setting itself; the refill of the port field is no change of the inputs.
  settings_.PortInHex = on;
  FillPort();
}

bool CommonSettingsForm::Fail(const std::string& message, std::optional<Input> focus) {
  dialogs_.Information(message);
  if (focus) focus_ = focus;
  return false;
}

bool CommonSettingsForm::ValidateAndStore() {
  CommonSettings& c = cfg_.Common;

  const std::string& can = Text(Input::AdrCAN);
  if (can.empty()) return Fail("Введите адрес по шине CAN-BUS.", std::nullopt);
  auto canValue = ParseHex(can);
  if (!canValue) return Fail(NotHex(can), Input::AdrCAN);
  c.AdrCAN = static_cast<std::uint8_t>(*canValue);

  if (canSpeed_ >= 0) c.V_CAN = static_cast<std::uint8_t>(canSpeed_);

  const std::string& period = Text(Input::trepeat);
  if (period.empty()) return Fail("Введите период опроса.", Input::trepeat);
  auto periodValue = ParseDec(period);
  std::int64_t trepeat = periodValue ? *periodValue : kTrepeatMin;  // not a number counts as 1
  if (trepeat > kTrepeatMax)
    return Fail("Величина периода опроса не должна превышать 65535 с.", std::nullopt);
  if (trepeat < kTrepeatMin) trepeat = kTrepeatMin;
  c.trepeat = static_cast<std::uint16_t>(trepeat);

  const std::string& wait = Text(Input::twaitCAN);
  if (wait.empty()) return Fail("Введите время ожидания ответа по CAN-BUS.", Input::twaitCAN);
  auto waitValue = ParseUDec(wait);
  if (!waitValue) return Fail(NotDec(wait), Input::twaitCAN);
  if (*waitValue >= 65536)
    return Fail("Величина времени ожидания ответа по CAN-BUS не должна превышать 65535 мс.", std::nullopt);
  c.twaitCAN = static_cast<std::uint16_t>(*waitValue);

  const std::string& ext = Text(Input::AdrExt);
  if (ext.empty()) return Fail("Введите адрес Modbus.", Input::AdrExt);
  auto extValue = ParseHex(ext);
  if (!extValue) return Fail(NotHex(ext), Input::AdrExt);
  c.AdrExt = static_cast<std::uint8_t>(*extValue);

  if (ethernet_ >= 0) c.V_Ethernet = static_cast<std::uint8_t>(ethernet_);

  const std::string& port = Text(Input::AdrPort);
  if (port.empty()) return Fail("Введите адрес порта CAN.", Input::AdrPort);
  auto portValue = settings_.PortInHex ? ParseHex(port) : ParseUDec(port);
  if (!portValue) return Fail(settings_.PortInHex ? NotHex(port) : NotDec(port), Input::AdrPort);
  if (*portValue >= 65536) return Fail("Неправильно введен адрес порта CAN.", Input::AdrPort);
  c.AdrPort = static_cast<std::uint16_t>(*portValue);

  struct AddressCheck {
    Input input;
    std::array<std::uint8_t, 4>* bytes;
    const char* empty;
    const char* wrong;
  };
  const AddressCheck addresses[] = {
      {Input::AdrIP, &c.AdrIP, "Введите адрес IP.", "Неправильно введен адрес IP."},
      {Input::AdrGate, &c.AdrGate, "Введите адрес шлюза.", "Неправильно введен адрес шлюза."},
      {Input::Mask, &c.Mask, "Введите маску подсети.", "Неправильно введена маска подсети."},
  };
  for (const AddressCheck& a : addresses) {
    const std::string& text = Text(a.input);
    if (text.empty()) return Fail(a.empty, a.input);
    // Parsed into a scratch copy: a rejected text leaves the stored address whole.
    std::array<std::uint8_t, 4> scratch = *a.bytes;
    if (!ParseDecBytes(text, scratch.data(), 4)) return Fail(a.wrong, a.input);
    *a.bytes = scratch;
  }

  c.Invers = invers_;
  c.SWAP = swap_;
  return true;
}

bool CommonSettingsForm::ApplyPressed() {
  if (changed_ && !ValidateAndStore()) return false;
  std::string error = WriteDisplayChoices(settingsPath_, settings_.ShortTaskNames, settings_.PortInHex);
  if (!error.empty()) dialogs_.Information(error);
  if (changed_) cfg_.State.CommonChanged = true;
  changed_ = false;
  return true;
}

}  // namespace r770
