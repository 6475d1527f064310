// TFReadModbus_r770 ("Чтение по Modbus"): the Modbus/TCP test reading window, drawing
// ModbusReadForm. It owns the test link (through the module command layer) and closes it
// when the window closes.
#pragma once
#include <QDialog>
#include <memory>
#include <string>

#include "common/day_log.h"
#include "common/dialogs.h"
#include "modbus_test/modbus_read_form.h"
#include "ui/qt_support.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QTableWidget;

namespace r770 {

class TFReadModbus_r770 : public QDialog, private BusyIndicator {
  Q_OBJECT
 public:
  // link: the test link to read through (none: the module command layer's TCP link).
  TFReadModbus_r770(Dialogs& dialogs, const ProgramSettings& settings, QWidget* parent,
                    std::unique_ptr<ModbusTestLink> link = nullptr);
  ~TFReadModbus_r770() override;

  ModbusReadForm& Form() { return *form_; }
  DayLog& Log() { return log_; }
  // Resets the table and shows the window modally.
  void Open();
  // The same without the modal loop (tests, screenshots).
  void Prepare();

  KeyLineEdit* Registers() const { return registers_; }
  QTableWidget* Table() const { return table_; }
  QProgressBar* Progress() const { return progress_; }
  QPushButton* ReadButton() const { return read_; }
  QLabel* AddressNote() const { return addressNote_; }

  void reject() override;

 private:
  // BusyIndicator: wait cursor; pending input runs with the table redrawn first.
  void SetBusy(bool busy) override;
  void PumpEvents() override;

  void Render();
  void Read();

  std::unique_ptr<ModbusTestLink> link_;
  DayLog log_;
  QtBusy cursor_;
  std::unique_ptr<ModbusReadForm> form_;
  KeyLineEdit* registers_ = nullptr;
  QLabel* addressNote_ = nullptr;
  QTableWidget* table_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QPushButton* read_ = nullptr;
};

}  // namespace r770
