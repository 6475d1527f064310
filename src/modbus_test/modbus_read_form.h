// TFReadModbus_r770 ("Чтение по Modbus"): form model of the window that reads holding
// registers from the module's Modbus/TCP server, two registers per number, and shows each
// as a floating-point value (or a 16-bit value).
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "document/program_settings.h"
#include "modbus_test/test_link.h"

namespace r770 {

class BusyIndicator;
class DayLog;
class Dialogs;

inline constexpr const char* kReadModbusColumns[4] = {"№", "Адрес Modbus параметров ТИ (Holding Registers)",
                                                      "Значение параметров ТИ с плавающей точкой",
                                                      "Примечание"};

struct ModbusReadRow {
  std::string number, address, value, note;
  bool operator==(const ModbusReadRow&) const = default;
};

// Register numbers of the field "1,2,45", or nullopt when a piece is not a number of
// 0..65535 (an empty piece included).
std::optional<std::vector<std::uint16_t>> ParseRegisterList(const std::string& text);

class ModbusReadForm {
 public:
  // Captions of the window.
  static constexpr const char* kCaption = "Чтение по Modbus";
  static constexpr const char* kNotice = "Чтение только Holding Register!";
  static constexpr const char* kRegistersLabel = "Номера регистров";
  static constexpr const char* kTableCaption = "Данные Holding register";
  static constexpr const char* kReadButton = "Чтение";
  // The register numbers are sent as typed (counted from 0): the window says so once
  // (kZeroBasedNote) and gives the one-based form in the tooltip of each address cell.
  static std::string AddressTooltip(const ModbusReadRow& row);

  // settings: the process-wide record (read at every "Чтение"); busy: wait cursor and the
  // processing of pending window input; log: the day's log file of TestLog.
  ModbusReadForm(const ProgramSettings& settings, Dialogs& dialogs, BusyIndicator& busy, ModbusTestLink& link,
                 DayLog& log);

  // Field "Номера регистров".
  std::string registersText;
  // Decimal separator of the values (the locale's).
  std::string decimalSeparator = ",";

  // The table below its header row: one row per register read, then one empty row.
  const std::vector<ModbusReadRow>& Rows() const { return rows_; }
  bool ProgressVisible() const { return progressVisible_; }
  int ProgressPosition() const { return progressPosition_; }
  int ProgressMaximum() const { return progressMaximum_; }
  bool Reading() const { return reading_; }
  bool LinkOpen() const { return linkOpen_; }

  // A key typed into "Номера регистров": digits, "," and Backspace pass.
  static bool RegistersKey(char32_t key);
  // The key applied to the field with the caret at selStart and selLength characters
  // selected; true when the text changed. caret(): where the caret goes.
  bool KeyTyped(char32_t key, int selStart, int selLength);
  int Caret() const { return caret_; }

  // The window is shown: the table is reset.
  void Show();
  // "Чтение".
  void Read();
  // The window asks to close: true when it may close now (the link is then closed). While a
  // reading runs the request is remembered, the reading stops after the current register
  // and closePending() tells the window to close once Read() has returned.
  bool RequestClose();
  bool ClosePending() const { return closePending_; }

  // Log handler of the test: one line into the day's log, then pending window input runs.
  void TestLog(const std::string& text);

 private:
  void ResetTable();
  bool OpenTestLink();
  static void LogThunk(void* context, const std::string& text, int kind);

  const ProgramSettings& settings_;
  Dialogs& dialogs_;
  BusyIndicator& busy_;
  ModbusTestLink& link_;
  DayLog& log_;

  std::vector<ModbusReadRow> rows_;
  bool progressVisible_ = false;
  int progressPosition_ = 0;
  int progressMaximum_ = 100;
  bool reading_ = false;
  bool linkOpen_ = false;
  bool closePending_ = false;
  int caret_ = 0;
};

}  // namespace r770
