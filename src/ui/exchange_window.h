// TFObmen: the exchange window ("Обмен с R-770 TCP/Modbus"): search for modules, write the
// configuration into the module, read it back. A thin view over ExchangeForm; it opens the
// link when shown and closes it when closed.
#pragma once
#include <QDialog>
#include <functional>
#include <memory>
#include <string>

#include "common/clock.h"
#include "exchange/exchange_form.h"
#include "exchange/exchange_log.h"
#include "exchange/exchange_view.h"
#include "ui/qt_support.h"

class QAction;
class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTableWidget;

namespace r770 {

class Configuration;
class Dialogs;
struct ProgramSettings;

class TFObmen : public QDialog, private ExchangeView {
  Q_OBJECT
 public:
  // dialogs: message and question boxes (nullptr: Qt's message boxes); logFolder empty: the
  // program's folder.
  TFObmen(Configuration& config, ProgramSettings& settings, QWidget* parent = nullptr,
          Dialogs* dialogs = nullptr, Clock& clock = SystemClock(), std::string logFolder = {});
  ~TFObmen() override;

  // The main window's status line and its document menus (set by the main window).
  std::function<void(const std::string&)> onMainStatus;
  std::function<void(bool)> onUpdateDocumentMenus;
  // The main window's unsaved-changes prompt (asked before a read); none: nothing is asked.
  std::function<bool()> onAskSaveChanges;

  ExchangeForm& Form() { return form_; }
  // Shows the window modally; returns when it has closed.
  void Open() { exec(); }
  // Shows the window modally with a mode chosen once the link is open.
  void OpenInMode(ExchangeMode mode) {
    presetMode_ = mode;
    exec();
  }

  // Widgets, named for tests.
  QAction* SearchItem() const { return searchItem_; }
  QAction* WriteItem() const { return writeItem_; }
  QAction* ReadItem() const { return readItem_; }
  QAction* CompareItem() const { return compareItem_; }
  QPushButton* ActionButton() const { return action_; }
  QPushButton* AbortButton() const { return abort_; }
  // "Пуск" and "Стоп", and the line with the module's run state.
  QPushButton* RunButton() const { return run_; }
  QPushButton* StopButton() const { return stop_; }
  QLabel* RunStateLine() const { return runState_; }
  // "Журнал": shows or hides the log view, as a double click on the status line does.
  QPushButton* LogButton() const { return logButton_; }
  QTableWidget* Results() const { return results_; }
  QLabel* StatusLine() const { return status_; }
  QPlainTextEdit* LogView() const { return log_; }
  QProgressBar* Progress() const { return progress_; }
  QCheckBox* RangeSwitch() const { return rangeSwitch_; }
  KeyLineEdit* RangeField(int i) const { return range_[i]; }

 public slots:
  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Activate();
  void ActionPressed();
  void RunStopPressed(bool stop);
  void SyncTable();
  void FlushLog();

  // ExchangeView
  void StatusChanged(const std::string& text) override;
  void ProgressChanged(int position) override;
  void PaintProgressNow() override;
  void Refresh() override;
  void LogAppended(const std::string& line) override;
  void LogCleared() override;
  void SetBusy(bool busy) override;
  void PumpEvents() override;
  void Information(const std::string& text) override;
  bool Confirm(const std::string& text) override;
  void SetMainStatus(const std::string& text) override;
  void UpdateDocumentMenus(bool newDocument) override;
  bool AskSaveChanges() override;

  Dialogs* dialogs_;
  ExchangeLog exchangeLog_;
  ExchangeForm form_;
  bool busy_ = false;
  bool syncingTable_ = false;
  std::size_t logShown_ = 0;  // lines of the log already in the log view

  QAction* searchItem_ = nullptr;
  QAction* writeItem_ = nullptr;
  QAction* readItem_ = nullptr;
  QAction* compareItem_ = nullptr;  // "Сравнить с модулем"
  ExchangeMode presetMode_ = ExchangeMode::None;
  QPushButton* action_ = nullptr;
  QPushButton* abort_ = nullptr;
  QPushButton* run_ = nullptr;
  QPushButton* stop_ = nullptr;
  QLabel* runState_ = nullptr;
  QPushButton* logButton_ = nullptr;
  QCheckBox* rangeSwitch_ = nullptr;
  QLabel* rangeCaption_ = nullptr;
  QLabel* rangeTo_ = nullptr;
  KeyLineEdit* range_[2] = {nullptr, nullptr};
  QTableWidget* results_ = nullptr;
  QPlainTextEdit* log_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QLabel* status_ = nullptr;
};

}  // namespace r770
