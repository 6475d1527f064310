// TFObmenModbus_r770 ("Настройка обмена по Modbus"): form model of the Modbus/TCP test
// settings window — slave address, IP address, port, answer time and the byte order of
// floating-point values (section "ModbusTest" of the settings file).
#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "document/configuration.h"
#include "document/program_settings.h"

namespace r770 {

class Dialogs;

class ModbusSettingsForm {
 public:
  // Captions of the window.
  static constexpr const char* kCaption = "Настройка обмена по Modbus";
  static constexpr const char* kSlaveLabel = "Slave-адрес БМТ\nпротокола Modbus";
  static constexpr const char* kIpLabel = "IP адрес";
  static constexpr const char* kPortLabel = "Адрес порта";
  static constexpr const char* kPortHexBox = "в 16-тиричном виде";
  static constexpr const char* kTimeLabel = "Время ожидания ответа, с";
  static constexpr const char* kByteOrderGroup = "Порядок байт в числах с плавающей запятой";
  static constexpr const char* kInvertBox = "Инвертировать порядок байт в числе";
  static constexpr const char* kSwapBox = "Поменять местами старшие и младшие части в числе";
  static constexpr const char* kApplyButton = "Применить";
  static constexpr const char* kFromDocumentButton = "Взять из документа";
  static constexpr const char* kFromDocumentHint =
      "Взять IP адрес и адрес Modbus модуля из общих настроек открытого документа "
      "(порт Modbus/TCP документ не хранит, он остаётся прежним)";

  enum class Field { None, SlaveAddress, AnswerTime, Port, IpAddress };

  // settings: the process-wide record; settingsPath: the settings file (empty: the record's
  // Path, else the file beside the program).
  ModbusSettingsForm(ProgramSettings& settings, Dialogs& dialogs, std::string settingsPath = {});

  // What the widgets show.
  std::string slaveText;  // 2 hexadecimal digits
  std::string timeText;   // decimal seconds
  std::string portText;   // 4 hexadecimal digits or decimal
  std::string ipText;
  bool invert = false;   // "InversModTest"
  bool swap = true;      // "SwapModTest"
  bool portHex = false;  // "в 16-тиричном виде"

  // Where the focus goes after a refusal (None: stays where it was).
  Field Focus() const { return focus_; }
  // True once "Применить" succeeded: the window closes.
  bool Closed() const { return closed_; }

  // The window is shown: reads the settings file again and fills the fields. A message
  // that stopped the reading is shown; the fields show what the record then holds.
  void Show();
  // "в 16-тиричном виде" ticked or cleared: the port is shown again in the other base.
  void SetPortHex(bool hex);
  // A key typed into the slave address or the answer time field with the caret at selStart
  // and selLength characters selected. The slave address takes two characters through the
  // hexadecimal key filter (both selected: the field is emptied first); the answer time
  // takes digits. Backspace deletes. True when the text changed; caret() tells where the
  // caret goes. The other fields take what is typed (TextEdited).
  bool KeyTyped(Field field, char32_t key, int selStart, int selLength);
  int Caret() const { return caret_; }
  // "Взять из документа": the module's IP address and its Modbus address (the slave address)
  // from the document's common settings; the document holds no Modbus/TCP port, so the port
  // stays. A document whose address was never set (all 255) is refused with a message.
  void TakeFromDocument(const CommonSettings& document);
  // "Применить": checks, stores, writes the section, closes. False when a check failed.
  bool Apply();

 private:
  std::string Path() const;
  std::string PortDisplay(std::uint32_t value) const;

  ProgramSettings& settings_;
  Dialogs& dialogs_;
  std::string settingsPath_;
  int caret_ = 0;
  Field focus_ = Field::None;
  bool closed_ = false;
};

}  // namespace r770
