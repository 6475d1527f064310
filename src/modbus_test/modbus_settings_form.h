// TFObmenModbus_r770 ("Настройка обмена по Modbus"): form model of the Modbus/TCP test
// settings window — slave address, IP address, port, answer time and the byte order of
// floating-point values (section "ModbusTest" of the settings file).
#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "document/program_settings.h"

namespace r770 {

class Dialogs;

// What a typed key does to an input: refused, or accepted as `key` (possibly changed),
// with the field emptied first when `clearFirst` is set.
struct KeyDecision {
  bool accept = false;
  char32_t key = 0;
  bool clearFirst = false;
};

class ModbusSettingsForm {
 public:
  enum class Field { None, SlaveAddress, AnswerTime, Port, IpAddress };

  // settings: the process-wide record; its Path names the settings file (when empty, the
  // file beside the program is used).
  ModbusSettingsForm(ProgramSettings& settings, Dialogs& dialogs);

  // What the widgets show.
  std::string slaveText;  // 2 hexadecimal digits
  std::string timeText;   // decimal seconds
  std::string portText;   // 4 hexadecimal digits or decimal
  std::string ipText;
  bool invert = false;    // "InversModTest"
  bool swap = true;       // "SwapModTest"
  bool portHex = false;   // "в 16-тиричном виде"

  // Where the focus goes after a refusal (None: stays where it was).
  Field focus() const { return focus_; }
  // True once "Применить" succeeded: the window closes.
  bool closed() const { return closed_; }

  // The window is shown: reads the settings file again and fills the fields. A message
  // that stopped the reading is shown; the fields show what the record then holds.
  void Show();
  // "в 16-тиричном виде" ticked or cleared: the port is shown again in the other base.
  void SetPortHex(bool hex);
  // A key typed into the slave address field; allSelected: both characters are selected.
  KeyDecision SlaveKey(char32_t key, bool allSelected) const;
  // A key typed into the answer time field (digits and Backspace).
  KeyDecision TimeKey(char32_t key) const;
  // "Применить": checks, stores, writes the section, closes. False when a check failed.
  bool Apply();

 private:
  std::string Path() const;
  std::string PortDisplay(std::uint32_t value) const;

  ProgramSettings& settings_;
  Dialogs& dialogs_;
  Field focus_ = Field::None;
  bool closed_ = false;
};

}  // namespace r770
