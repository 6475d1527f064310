// TFNastrObm ("Настройка обмена") and TFDopNastr ("Дополнительные настройки"), drawing
// ExchangeSettingsForm and AdditionalSettingsForm.
#pragma once
#include <QDialog>
#include <array>

#include "exchange/exchange_settings_form.h"

class QButtonGroup;
class QGroupBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace r770 {

class TFNastrObm : public QDialog {
  Q_OBJECT
 public:
  // document: the open document, whose common settings "Взять из документа" copies (none: no button).
  TFNastrObm(Dialogs& dialogs, ProgramSettings& settings, const std::string& settingsPath, QWidget* parent,
             const Configuration* document = nullptr);

  ExchangeSettingsForm& Form() { return form_; }
  void Open();
  void Prepare();

  QRadioButton* LinkKindChoice(LinkKindSetting kind) const;
  QGroupBox* ComPortGroup() const { return comGroup_; }
  QGroupBox* EthernetGroup() const { return ethGroup_; }
  QGroupBox* SpeedGroup() const { return speedGroup_; }
  QLineEdit* ModuleNumber() const { return moduleNumber_; }
  QLineEdit* AnswerTime() const { return answerTime_; }
  QLineEdit* IP() const { return ip_; }
  QLineEdit* Port() const { return port_; }
  QPushButton* FromDocumentButton() const { return fromDocument_; }
  QPushButton* ApplyButton() const { return apply_; }

  void reject() override;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void ConnectFields();
  void BuildNumbersColumn(QHBoxLayout* top);
  void Render();

  ExchangeSettingsForm form_;
  const Configuration* document_;
  QPushButton* fromDocument_ = nullptr;
  QRadioButton* kinds_[2] = {nullptr, nullptr};  // Ethernet, CAN-BUS
  QGroupBox* comGroup_ = nullptr;
  QButtonGroup* comButtons_ = nullptr;
  QGroupBox* ethGroup_ = nullptr;
  QLineEdit* ip_ = nullptr;
  QLineEdit* port_ = nullptr;
  QSpinBox* retries_ = nullptr;
  QLabel* pcLabel_ = nullptr;
  QLineEdit* pcNumber_ = nullptr;
  QGroupBox* speedGroup_ = nullptr;
  QButtonGroup* speedButtons_ = nullptr;
  QLineEdit* answerTime_ = nullptr;
  QLineEdit* moduleNumber_ = nullptr;
  QPushButton* apply_ = nullptr;
};

class TFDopNastr : public QDialog {
  Q_OBJECT
 public:
  TFDopNastr(Dialogs& dialogs, ProgramSettings& settings, const std::string& settingsPath, QWidget* parent);

  AdditionalSettingsForm& Form() { return form_; }
  void Open();
  void Prepare();
  QRadioButton* Choice(int position) const { return choices_[position]; }
  QPushButton* ApplyButton() const { return apply_; }

 private:
  void Render();

  AdditionalSettingsForm form_;
  QRadioButton* choices_[2] = {nullptr, nullptr};
  QPushButton* apply_ = nullptr;
};

}  // namespace r770
