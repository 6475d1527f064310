// ExchangeForm: form model of TFObmen, the exchange window ("Обмен с R-770 TCP/Modbus"). It
// opens the link to the module when shown and closes it when closed, and runs the three
// procedures of its modes: the search for modules by network number, the write of the
// configuration into the module and the read of the configuration from the module.
//
// Procedures run inside the action button's handler on the one UI thread and let pending
// window input run between steps (ExchangeView::PumpEvents). While one runs, a second press
// of the action button and a change of mode are refused, and a close request is taken as
// "Прервать" and carried out once the procedure has returned (closePending()).
#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "document/configuration.h"
#include "document/program_settings.h"
#include "link/link_types.h"

namespace r770 {

class ExchangeLog;
class ExchangeView;

enum class ExchangeMode { None, Search, Write, Read };

inline constexpr const char* kExchangeCaption = "Обмен с R-770 TCP/Modbus";
inline constexpr const char* kDeviceName = "R-770 TCP/Modbus";
inline constexpr const char* kIdleStatus = "R-770 TCP/Modbus";
inline constexpr const char* kMenuSearch = "Поиск";
inline constexpr const char* kMenuWrite = "Запись в R-770 TCP/Modbus";
inline constexpr const char* kMenuRead = "Чтение из R-770 TCP/Modbus";
inline constexpr const char* kAbortCaption = "Прервать";
inline constexpr const char* kRangeCaption = "Поиск сетевого номера R-770 (Hex) с";
inline constexpr const char* kRangeToCaption = "по";
inline constexpr std::array<const char*, 3> kResultColumns{"", "Сетевой номер", "Устройство"};
inline constexpr const char* kRangeReversed = "Введите правильно диапазон поиска!";
inline constexpr const char* kRangeEmpty =
    "Не задан диапазон поиска: введите в оба поля сетевой номер R-770 (Hex)!";
inline constexpr const char* kRangeSwitchClear =
    "Поиск не начат: отметьте флажок \"Поиск сетевого номера R-770 (Hex) с\"!";
inline constexpr const char* kRestartQuestion =
    "Запись завершена. Прибор находился в состоянии \"Работа\". Перевести прибор в состояние "
    "\"Работа\"?";
// The write found the device already stopped (or stopping): its return to work is offered too.
inline constexpr const char* kRestartStoppedQuestion =
    "Запись завершена. Прибор находится в состоянии \"Стоп\". Перевести прибор в состояние "
    "\"Работа\"?";
inline constexpr const char* kRunCaption = "Пуск";
inline constexpr const char* kStopCaption = "Стоп";
inline constexpr const char* kReadMainStatus = "Прочитаны данные из R-770 TCP/Modbus";
inline constexpr const char* kNoModuleText = "Нет ответа от ведущего модуля";

// Device types answered by an R-770 TCP/Modbus.
inline constexpr std::uint16_t kDeviceTypeR770 = 0x1101;
inline constexpr std::uint16_t kDeviceTypeR770b = 0x1106;

inline constexpr int kExchangeProgressMax = 128;
inline constexpr int kResultAborted = 9;
inline constexpr int kResultNoModule = 58;

// One data row of the results table.
struct FoundModuleRow {
  std::uint8_t net = 0;
  bool ticked = false;
  std::string NumberText() const;  // 2 upper-case hex digits
  bool operator==(const FoundModuleRow&) const = default;
};

class ExchangeForm {
 public:
  // config and settings are the process-wide records; the settings file is settings.Path
  // (the default settings path when empty).
  ExchangeForm(Configuration& config, ProgramSettings& settings, ExchangeView& view, ExchangeLog& log);
  // Closes a link this window still holds (never the engine of a running procedure: the
  // window is only destroyed after it was closed or from outside any procedure).
  ~ExchangeForm();
  ExchangeForm(const ExchangeForm&) = delete;
  ExchangeForm& operator=(const ExchangeForm&) = delete;

  // ---- what the window shows
  ExchangeMode Mode() const { return mode_; }
  const std::string& StatusText() const { return status_; }
  int ProgressPosition() const { return progress_; }
  int ProgressMaximum() const { return kExchangeProgressMax; }
  bool ProgressVisible() const { return progressVisible_; }
  bool LogVisible() const { return logVisible_; }
  bool ResultsVisible() const { return resultsVisible_; }
  // The range switch, the captions "Поиск сетевого номера R-770 (Hex) с" and "по", the fields.
  bool RangeVisible() const { return rangeVisible_; }
  bool RangeSwitch() const { return rangeSwitch_; }
  bool ActionVisible() const { return actionVisible_; }
  const std::string& ActionCaption() const { return actionCaption_; }
  bool ActionEnabled() const { return actionVisible_ && !running_; }
  bool AbortVisible() const { return abortVisible_; }
  bool AbortEnabled() const { return abortEnabled_; }
  bool MenuEnabled(ExchangeMode item) const;
  const std::vector<FoundModuleRow>& Rows() const { return rows_; }
  bool LinkOpen() const { return linkOpen_; }
  bool Running() const { return running_; }
  bool ClosePending() const { return closePending_; }
  // Between Show and the closing (RequestClose that returned true, or a pending close carried
  // out at the end of Action): the window is to be closed when this turns false.
  bool Shown() const { return shown_; }
  const TCustomLink* LinkRecord() const { return link_.get(); }
  // The module's run state as last read (after each procedure and each "Пуск" / "Стоп"):
  // the state byte (0 running, 1 stop command taken, 0x81 stopped), none while unknown.
  const std::optional<std::uint8_t>& RunState() const { return runState_; }
  // The line the window shows for it: "Состояние прибора: Работа" / "Стоп" / "неизвестно".
  std::string RunStateText() const;
  // "Пуск" and "Стоп": while the window is shown with a link (or one to open again) and no
  // procedure runs.
  bool RunStopEnabled() const;
  // Whether the next procedure opens the link again first (a procedure failed).
  bool ReopenPending() const { return reopenLink_; }

  // The two range fields (0: from, 1: to).
  std::array<std::string, 2> rangeText;

  // Outcome of the current procedure: 0 success, 9 aborted, -1 no engine, 58 no module found,
  // otherwise an engine error code.
  int ResultCode = 0;
  std::string ResultText;
  bool AbortRequested = false;
  // Whether the last action's procedure ran and succeeded (false after a refusal such as a
  // reversed range, where no procedure ran). A failed procedure leaves ResultCode non-zero.
  bool Succeeded() const { return succeeded_; }
  // Whether closing the window stores the module's network number in the settings file (the
  // window does; the command-line companion leaves the file as it found it).
  void SetStoreOnClose(bool store) { storeOnClose_ = store; }

  // ---- window events
  // The window is shown: resets the view and opens the link.
  void Show();
  // One of the three menu items (refused while a procedure runs or when disabled).
  void ChooseMode(ExchangeMode mode);
  // The action button ("Найти", "Записать", "Прочитать").
  void Action();
  // "Прервать".
  void Abort();
  // "Пуск" and "Стоп": put the device into operation or stop it (access level 2, then the
  // run-state command); the outcome is reported as a procedure's.
  void RunModule();
  void StopModule();
  void SetRangeSwitch(bool ticked);
  // A key typed into a range field with the caret at selStart and selLength characters
  // selected; true when the key was taken (also over a selection of the same character).
  // caret(): where the caret goes.
  bool RangeKeyTyped(int field, char32_t key, int selStart, int selLength);
  int Caret() const { return caret_; }
  // A range field is left: "5" becomes "05".
  void RangeLeft(int field);
  // Double click on the status line: shows or hides the log view (and, in search mode, the
  // results table, which takes the same place).
  void StatusDoubleClicked();
  // The check box of a results row was ticked or cleared.
  void RowTicked(int row, bool ticked);
  // The window asks to close: true when it closed now (link closed, number stored). While a
  // procedure runs the request is taken as "Прервать" and closePending() is set; the window
  // calls RequestClose again once the procedure has returned.
  bool RequestClose();

  // ---- procedures
  bool OpenExchangeLink();
  void Search();
  bool SearchModules(int first, int last);
  void AddFoundModule(std::uint16_t deviceType, std::uint8_t net);
  void WriteConfiguration();
  bool WriteCommonSettings(std::uint8_t net);
  bool WriteRegisterMaps(std::uint8_t net);
  void ReadConfiguration();
  bool ReadCommonSettings(std::uint8_t net);
  bool ReadRegisterMaps(std::uint8_t net);
  void AddReadController(std::uint8_t number);
  // "Сравнить с модулем": the read procedure into target, a configuration of the caller's own;
  // the document and its state stay untouched. Refused (false) while a procedure runs or
  // without an open link; true when the read succeeded (target then counts as read from the
  // module).
  bool ReadModuleInto(Configuration& target);
  bool CompareEnabled() const { return linkOpen_ && !running_ && DocumentPresent(); }
  Configuration& Config() { return config_; }
  ProgramSettings& Settings() { return settings_; }
  // A stage line into the exchange log.
  void Log(const std::string& text);

 private:
  void SetStatus(const std::string& text);
  void SetProgress(int position);
  void StepProgress();
  void Pump();
  void EndProcedure(bool ok, const char* doneText, const char* abortedText);
  // Opens the link again when the last procedure failed; false (message shown) when it
  // does not open.
  bool ReopenIfNeeded();
  // Reads the run state of the module addressed after a procedure, leaving its outcome
  // (ResultCode, ResultText) as it was.
  void QueryRunState();
  void ChangeRunState(bool stop);
  bool DocumentPresent() const;
  std::string SettingsPath() const;
  void Close();
  static void FoundThunk(void* context, std::uint16_t deviceType, std::uint8_t net);
  // The configuration the read procedure fills: the document, or ReadModuleInto's target.
  Configuration& ReadTarget() { return readTarget_ ? *readTarget_ : config_; }

  Configuration& config_;
  ProgramSettings& settings_;
  ExchangeView& view_;
  ExchangeLog& log_;

  std::unique_ptr<TCustomLink> link_;
  bool linkOpen_ = false;
  bool ownsEngine_ = false;
  ExchangeMode mode_ = ExchangeMode::None;
  std::string status_ = kIdleStatus;
  int progress_ = 0;
  bool progressVisible_ = false;
  bool logVisible_ = false;
  bool resultsVisible_ = false;
  bool rangeVisible_ = false;
  bool rangeSwitch_ = false;
  bool actionVisible_ = false;
  std::string actionCaption_;
  bool abortVisible_ = false;
  bool abortEnabled_ = false;
  std::vector<FoundModuleRow> rows_;
  bool running_ = false;
  bool closePending_ = false;
  bool shown_ = false;
  bool succeeded_ = false;
  bool storeOnClose_ = true;
  bool reopenLink_ = false;
  bool procedureRan_ = false;
  std::optional<std::uint8_t> runState_;
  Configuration* readTarget_ = nullptr;
  int caret_ = 0;
};

}  // namespace r770
