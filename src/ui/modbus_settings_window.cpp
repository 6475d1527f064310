#include "ui/modbus_settings_window.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "common/key_filter.h"
#include "ui/qt_support.h"

namespace r770 {

using Form = ModbusSettingsForm;

TFObmenModbus_r770::TFObmenModbus_r770(Dialogs& dialogs, ProgramSettings& settings,
                                       const std::string& settingsPath, QWidget* parent,
                                       const Configuration* document)
    : QDialog(parent), form_(settings, dialogs, settingsPath), document_(document) {
  setWindowTitle(Q(Form::kCaption));
  setModal(true);
  auto* layout = new QVBoxLayout(this);
  auto* grid = new QGridLayout();
  layout->addLayout(grid);

  slave_ = new KeyLineEdit(this);
  slave_->setMaxLength(2);
  slave_->setToolTip(Q(kHexKeysHint));
  time_ = new KeyLineEdit(this);
  time_->setToolTip(Q(kDigitKeysHint));
  ip_ = new QLineEdit(this);
  port_ = new QLineEdit(this);
  portHex_ = new QCheckBox(Q(Form::kPortHexBox), this);

  grid->addWidget(new QLabel(Q(Form::kSlaveLabel), this), 0, 0);
  grid->addWidget(slave_, 0, 1);
  grid->addWidget(new QLabel(Q(Form::kIpLabel), this), 1, 0);
  grid->addWidget(ip_, 1, 1);
  grid->addWidget(new QLabel(Q(Form::kPortLabel), this), 2, 0);
  grid->addWidget(port_, 2, 1);
  grid->addWidget(portHex_, 2, 2);
  grid->addWidget(new QLabel(Q(Form::kTimeLabel), this), 3, 0);
  grid->addWidget(time_, 3, 1);
  if (document_) {
    fromDocument_ = new QPushButton(Q(Form::kFromDocumentButton), this);
    fromDocument_->setAutoDefault(false);
    fromDocument_->setToolTip(Q(Form::kFromDocumentHint));
    grid->addWidget(fromDocument_, 1, 2);
    connect(fromDocument_, &QPushButton::clicked, this, [this] {
      form_.TakeFromDocument(document_->Common);
      Render();
    });
  }

  byteOrder_ = new QGroupBox(Q(Form::kByteOrderGroup), this);
  auto* orderLayout = new QVBoxLayout(byteOrder_);
  invert_ = new QCheckBox(Q(Form::kInvertBox), byteOrder_);
  swap_ = new QCheckBox(Q(Form::kSwapBox), byteOrder_);
  orderLayout->addWidget(invert_);
  orderLayout->addWidget(swap_);
  layout->addWidget(byteOrder_);

  auto* buttons = new QHBoxLayout();
  buttons->addStretch(1);
  apply_ = new QPushButton(Q(Form::kApplyButton), this);
  apply_->setAutoDefault(false);
  buttons->addWidget(apply_);
  layout->addLayout(buttons);

  for (auto [edit, field] :
       {std::pair{slave_, Form::Field::SlaveAddress}, std::pair{time_, Form::Field::AnswerTime}}) {
    KeyLineEdit* e = edit;
    Form::Field f = field;
    e->SetKeyHandler([this, e, f](char32_t key, int selStart, int selLength) {
      form_.KeyTyped(f, key, selStart, selLength);
      e->Show(f == Form::Field::SlaveAddress ? form_.slaveText : form_.timeText, form_.Caret());
    });
    // Deleted or cut text goes the usual way; the model takes what the field holds.
    connect(e, &QLineEdit::textEdited, this, [this, f](const QString& t) {
      (f == Form::Field::SlaveAddress ? form_.slaveText : form_.timeText) = S(t);
    });
  }
  connect(ip_, &QLineEdit::textEdited, this, [this](const QString& t) { form_.ipText = S(t); });
  connect(port_, &QLineEdit::textEdited, this, [this](const QString& t) { form_.portText = S(t); });
  connect(portHex_, &QCheckBox::clicked, this, [this](bool on) {
    form_.SetPortHex(on);
    Render();
  });
  connect(invert_, &QCheckBox::clicked, this, [this](bool on) { form_.invert = on; });
  connect(swap_, &QCheckBox::clicked, this, [this](bool on) { form_.swap = on; });
  connect(apply_, &QPushButton::clicked, this, [this] { Apply(); });
}

void TFObmenModbus_r770::Prepare() {
  form_.Show();
  Render();
}

void TFObmenModbus_r770::Open() {
  Prepare();
  exec();
}

void TFObmenModbus_r770::Render() {
  slave_->Show(form_.slaveText);
  time_->Show(form_.timeText);
  if (ip_->text() != Q(form_.ipText)) ip_->setText(Q(form_.ipText));
  if (port_->text() != Q(form_.portText)) port_->setText(Q(form_.portText));
  portHex_->setChecked(form_.portHex);
  invert_->setChecked(form_.invert);
  swap_->setChecked(form_.swap);
}

void TFObmenModbus_r770::Apply() {
  bool ok = form_.Apply();
  Render();
  if (ok && form_.Closed()) {
    accept();
    return;
  }
  switch (form_.Focus()) {
    case Form::Field::SlaveAddress:
      slave_->setFocus();
      break;
    case Form::Field::AnswerTime:
      time_->setFocus();
      break;
    case Form::Field::Port:
      port_->setFocus();
      break;
    case Form::Field::IpAddress:
      ip_->setFocus();
      break;
    case Form::Field::None:
      break;
  }
}

}  // namespace r770
