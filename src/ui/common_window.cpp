#include "ui/common_window.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "ui/qt_support.h"

namespace r770 {

TFCommon::TFCommon(Dialogs& dialogs, Configuration& cfg, ProgramSettings& settings,
                   const std::string& settingsPath, QWidget* parent)
    : QDialog(parent), form_(dialogs, cfg, settings, settingsPath) {
  setWindowTitle(Q(CommonSettingsForm::kCaption));
  setModal(true);

  auto* layout = new QVBoxLayout(this);
  auto* grid = new QGridLayout();
  grid->setColumnStretch(1, 1);
  layout->addLayout(grid);
  int row = 0;

  auto addLabel = [&](Input input, QWidget* buddy) {
    auto* label = new QLabel(Q(CommonSettingsForm::Label(input)), this);
    label->setBuddy(buddy);
    grid->addWidget(label, row, 0, Qt::AlignVCenter);
  };
  auto addEdit = [&](Input input, int width) {
    auto* edit = new KeyLineEdit(this);
    edit->setFixedWidth(width);
    edits_[input] = edit;
    addLabel(input, edit);
    grid->addWidget(edit, row, 1, Qt::AlignLeft);
    ++row;
    return edit;
  };

  addEdit(Input::AdrCAN, 50);

  canSpeed_ = new QComboBox(this);
  for (const char* item : CommonSettingsForm::kCanSpeedItems) canSpeed_->addItem(Q(item));
  canSpeed_->setFixedWidth(90);
  addLabel(Input::V_CAN, canSpeed_);
  grid->addWidget(canSpeed_, row++, 1, Qt::AlignLeft);

  period_ = new ModelSpinBox(this);
  period_->setFixedWidth(90);
  edits_[Input::trepeat] = period_->Edit();
  addLabel(Input::trepeat, period_);
  grid->addWidget(period_, row++, 1, Qt::AlignLeft);

  addEdit(Input::twaitCAN, 90);
  addEdit(Input::AdrExt, 50);

  auto* speedBox = new QWidget(this);
  auto* speedLayout = new QHBoxLayout(speedBox);
  speedLayout->setContentsMargins(0, 0, 0, 0);
  auto* speedGroup = new QButtonGroup(this);
  for (int i = 0; i < 2; ++i) {
    ethernet_[i] =
        new QRadioButton(Q(CommonSettingsForm::kEthernetItems[static_cast<std::size_t>(i)]), speedBox);
    speedGroup->addButton(ethernet_[i], i);
    speedLayout->addWidget(ethernet_[i]);
    connect(ethernet_[i], &QRadioButton::clicked, this, [this, i] {
      form_.SetEthernet(i);
      Render();
    });
  }
  speedLayout->addStretch(1);
  addLabel(Input::V_Ethernet, ethernet_[0]);
  grid->addWidget(speedBox, row++, 1);

  auto* portBox = new QWidget(this);
  auto* portLayout = new QHBoxLayout(portBox);
  portLayout->setContentsMargins(0, 0, 0, 0);
  auto* port = new KeyLineEdit(portBox);
  port->setFixedWidth(90);
  edits_[Input::AdrPort] = port;
  portInHex_ = new QCheckBox(Q(CommonSettingsForm::kPortInHexBox), portBox);
  portLayout->addWidget(port);
  portLayout->addWidget(portInHex_);
  portLayout->addStretch(1);
  addLabel(Input::AdrPort, port);
  grid->addWidget(portBox, row++, 1);

  addEdit(Input::AdrIP, 150);
  addEdit(Input::AdrGate, 150);
  addEdit(Input::Mask, 150);

  // Never shown: it only carries the stored values through.
  floatGroup_ = new QGroupBox(Q(CommonSettingsForm::kFloatGroup), this);
  auto* floatLayout = new QVBoxLayout(floatGroup_);
  invers_ = new QCheckBox(Q(CommonSettingsForm::Label(Input::Invers)), floatGroup_);
  swap_ = new QCheckBox(Q(CommonSettingsForm::Label(Input::SWAP)), floatGroup_);
  floatLayout->addWidget(invers_);
  floatLayout->addWidget(swap_);
  layout->addWidget(floatGroup_);
  floatGroup_->hide();

  auto* buttons = new QHBoxLayout();
  buttons->addStretch(1);
  apply_ = new QPushButton(Q(CommonSettingsForm::kApplyButton), this);
  apply_->setAutoDefault(false);
  buttons->addWidget(apply_);
  layout->addLayout(buttons);

  ConnectFields();
}

// Every field's keys and edits, the choices and "Применить" reach the form.
void TFCommon::ConnectFields() {
  for (auto& [input, edit] : edits_) {
    Input in = input;
    KeyLineEdit* e = edit;
    e->SetKeyHandler([this, in, e](char32_t key, int selStart, int selLength) {
      if (form_.KeyTyped(in, key, selStart, selLength)) e->Show(form_.Text(in), form_.Caret());
      Render();
    });
    connect(e, &QLineEdit::textEdited, this, [this, in](const QString& t) {
      form_.TextEdited(in, S(t));
      Render();
    });
    if (in != Input::trepeat) connect(e, &KeyLineEdit::Left, this, [this, in] { form_.FieldLeft(in); });
  }
  connect(period_, &ModelSpinBox::Stepped, this, [this](int steps) {
    form_.Step(Input::trepeat, steps);
    Render();
  });
  connect(period_, &ModelSpinBox::Left, this, [this] {
    form_.FieldLeft(Input::trepeat);
    Render();
  });
  connect(canSpeed_, qOverload<int>(&QComboBox::activated), this, [this](int i) {
    form_.SetCanSpeed(i);
    Render();
  });
  connect(portInHex_, &QCheckBox::clicked, this, [this](bool on) {
    form_.SetPortInHex(on);
    Render();
  });
  connect(invers_, &QCheckBox::clicked, this, [this](bool on) { form_.SetInvers(on); });
  connect(swap_, &QCheckBox::clicked, this, [this](bool on) { form_.SetSwap(on); });
  connect(apply_, &QPushButton::clicked, this, [this] {
    bool close = form_.ApplyPressed();
    Render();
    if (close) accept();
  });
}

KeyLineEdit* TFCommon::Edit(Input input) const {
  auto it = edits_.find(input);
  return it == edits_.end() ? nullptr : it->second;
}

QWidget* TFCommon::FocusWidget(Input input) const {
  if (input == Input::trepeat) return period_;
  if (input == Input::V_CAN) return canSpeed_;
  if (input == Input::V_Ethernet) return ethernet_[0];
  if (KeyLineEdit* e = Edit(input)) return e;
  return nullptr;
}

void TFCommon::Prepare() {
  form_.Show();
  Render();
  if (KeyLineEdit* e = Edit(Input::AdrCAN)) e->setFocus();
}

void TFCommon::Open() {
  Prepare();
  exec();
}

void TFCommon::Render() {
  for (auto& [input, edit] : edits_) {
    QSignalBlocker block(edit);
    edit->setMaxLength(form_.MaxLength(input) > 0 ? form_.MaxLength(input) : 32767);
    edit->Show(form_.Text(input));
    if (const char* hint = CommonSettingsForm::KeyHint(input, form_.PortInHex())) edit->setToolTip(Q(hint));
  }
  {
    QSignalBlocker block(canSpeed_);
    canSpeed_->setCurrentIndex(form_.CanSpeed());
  }
  for (int i = 0; i < 2; ++i) {
    QSignalBlocker block(ethernet_[i]);
    ethernet_[i]->setChecked(form_.Ethernet() == i);
  }
  {
    QSignalBlocker block(portInHex_);
    portInHex_->setChecked(form_.PortInHex());
  }
  invers_->setChecked(form_.Invers());
  swap_->setChecked(form_.Swap());
  if (auto focus = form_.TakeFocus()) {
    if (QWidget* w = FocusWidget(*focus)) w->setFocus();
  }
}

}  // namespace r770
