// TFObmenModbus_r770 ("Настройка обмена по Modbus"): the Modbus/TCP test settings window,
// drawing ModbusSettingsForm.
#pragma once
#include <QDialog>
#include <string>

#include "modbus_test/modbus_settings_form.h"

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPushButton;

namespace r770 {

class KeyLineEdit;

class TFObmenModbus_r770 : public QDialog {
  Q_OBJECT
 public:
  // document: the open document, whose common settings "Взять из документа" copies (none: no button).
  TFObmenModbus_r770(Dialogs& dialogs, ProgramSettings& settings, const std::string& settingsPath,
                     QWidget* parent, const Configuration* document = nullptr);

  ModbusSettingsForm& Form() { return form_; }
  // Reads the settings file again, fills the fields and shows the window modally.
  void Open();
  // The same without the modal loop (tests, screenshots).
  void Prepare();

  KeyLineEdit* SlaveAddress() const { return slave_; }
  KeyLineEdit* AnswerTime() const { return time_; }
  QLineEdit* Port() const { return port_; }
  QLineEdit* IpAddress() const { return ip_; }
  QCheckBox* PortHex() const { return portHex_; }
  QCheckBox* Invert() const { return invert_; }
  QCheckBox* Swap() const { return swap_; }
  QGroupBox* ByteOrderGroup() const { return byteOrder_; }
  QPushButton* ApplyButton() const { return apply_; }
  QPushButton* FromDocumentButton() const { return fromDocument_; }

 private:
  void Render();
  void Apply();

  ModbusSettingsForm form_;
  const Configuration* document_;
  QPushButton* fromDocument_ = nullptr;
  KeyLineEdit* slave_ = nullptr;
  KeyLineEdit* time_ = nullptr;
  QLineEdit* port_ = nullptr;
  QLineEdit* ip_ = nullptr;
  QCheckBox* portHex_ = nullptr;
  QGroupBox* byteOrder_ = nullptr;
  QCheckBox* invert_ = nullptr;
  QCheckBox* swap_ = nullptr;
  QPushButton* apply_ = nullptr;
};

}  // namespace r770
