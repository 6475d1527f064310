// TFCommon: the common settings editor ("Общие настройки"), drawing CommonSettingsForm.
#pragma once
#include <QDialog>
#include <map>

#include "document/common_settings_form.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QPushButton;
class QRadioButton;
class QWidget;

namespace r770 {

class KeyLineEdit;
class ModelSpinBox;

class TFCommon : public QDialog {
  Q_OBJECT
 public:
  using Input = CommonSettingsForm::Input;

  TFCommon(Dialogs& dialogs, Configuration& cfg, ProgramSettings& settings, const std::string& settingsPath,
           QWidget* parent);

  CommonSettingsForm& Form() { return form_; }
  void Open();
  void Prepare();

  // The text input of a field (the spin field's line for trepeat); nullptr for the others.
  KeyLineEdit* Edit(Input input) const;
  QComboBox* CanSpeed() const { return canSpeed_; }
  QRadioButton* EthernetChoice(int position) const { return ethernet_[position]; }
  QCheckBox* PortInHexBox() const { return portInHex_; }
  QPushButton* ApplyButton() const { return apply_; }

 private:
  void ConnectFields();
  void Render();
  QWidget* FocusWidget(Input input) const;

  CommonSettingsForm form_;
  std::map<Input, KeyLineEdit*> edits_;
  ModelSpinBox* period_ = nullptr;
  QComboBox* canSpeed_ = nullptr;
  QRadioButton* ethernet_[2] = {nullptr, nullptr};
  QCheckBox* portInHex_ = nullptr;
  QGroupBox* floatGroup_ = nullptr;
  QCheckBox* invers_ = nullptr;
  QCheckBox* swap_ = nullptr;
  QPushButton* apply_ = nullptr;
};

}  // namespace r770
