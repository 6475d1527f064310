#include "ui/exchange_settings_window.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

#include "common/key_filter.h"
#include "ui/qt_support.h"

namespace r770 {
namespace {

using Form = ExchangeSettingsForm;

// Checks the button of a position in an exclusive group, or none for -1.
void CheckPosition(QButtonGroup* group, int position) {
  QSignalBlocker block(group);
  if (position < 0) {
    group->setExclusive(false);
    for (QAbstractButton* b : group->buttons()) b->setChecked(false);
    group->setExclusive(true);
  } else if (QAbstractButton* b = group->button(position)) {
    b->setChecked(true);
  }
}

QPushButton* AddApplyRow(QDialog* dialog, QVBoxLayout* layout, const char* text) {
  auto* row = new QHBoxLayout();
  row->addStretch(1);
  auto* apply = new QPushButton(Q(text), dialog);
  apply->setAutoDefault(false);
  row->addWidget(apply);
  layout->addLayout(row);
  return apply;
}

}  // namespace

TFNastrObm::TFNastrObm(Dialogs& dialogs, ProgramSettings& settings, const std::string& settingsPath,
                       QWidget* parent, const Configuration* document)
    : QDialog(parent), form_(dialogs, settings, settingsPath), document_(document) {
  setWindowTitle(Q(Form::kCaption));
  setModal(true);
  auto* layout = new QVBoxLayout(this);
  auto* top = new QHBoxLayout();
  layout->addLayout(top);

  // Left column: the link kind, and below it the serial port or the Ethernet address.
  auto* left = new QVBoxLayout();
  top->addLayout(left);
  auto* kindGroup = new QGroupBox(Q(Form::kLinkKindTitle), this);
  auto* kindLayout = new QHBoxLayout(kindGroup);
  auto* kindButtons = new QButtonGroup(this);
  for (int i = 0; i < 2; ++i) {
    kinds_[i] = new QRadioButton(Q(Form::kLinkKindItems[static_cast<std::size_t>(i)]), kindGroup);
    kindButtons->addButton(kinds_[i], i);
    kindLayout->addWidget(kinds_[i]);
    LinkKindSetting kind = i == 0 ? LinkKindSetting::Ethernet : LinkKindSetting::CanBus;
    connect(kinds_[i], &QRadioButton::clicked, this, [this, kind] {
      form_.SetLinkKind(kind);
      Render();
    });
  }
  left->addWidget(kindGroup);

  comGroup_ = new QGroupBox(Q(Form::kComPortTitle), this);
  auto* comLayout = new QGridLayout(comGroup_);
  comButtons_ = new QButtonGroup(this);
  for (int i = 0; i < 8; ++i) {
    auto* b = new QRadioButton(Q(kComPortItems[i]), comGroup_);
    comButtons_->addButton(b, i);
    comLayout->addWidget(b, i % 4, i / 4);
    connect(b, &QRadioButton::clicked, this, [this, i] {
      form_.SetComPort(i);
      Render();
    });
  }
  left->addWidget(comGroup_);

  ethGroup_ = new QGroupBox(Q(Form::kEthernetTitle), this);
  auto* ethLayout = new QFormLayout(ethGroup_);
  ip_ = new QLineEdit(ethGroup_);
  ip_->setMaxLength(Form::kIPMaxLength);
  ip_->setMinimumWidth(ip_->fontMetrics().horizontalAdvance("255.255.255.255") + 16);
  ip_->setToolTip(Q(kDottedKeysHint));
  port_ = new QLineEdit(ethGroup_);
  port_->setFixedWidth(70);
  ethLayout->addRow(Q(Form::kIPLabel), ip_);
  ethLayout->addRow(Q(Form::kPortLabel), port_);
  if (document_) {
    fromDocument_ = new QPushButton(Q(Form::kFromDocumentButton), ethGroup_);
    fromDocument_->setAutoDefault(false);
    fromDocument_->setToolTip(Q(Form::kFromDocumentHint));
    ethLayout->addRow(fromDocument_);
    connect(fromDocument_, &QPushButton::clicked, this, [this] {
      form_.TakeFromDocument(document_->Common);
      Render();
    });
  }
  left->addWidget(ethGroup_);
  left->addStretch(1);

  BuildNumbersColumn(top);

  apply_ = AddApplyRow(this, layout, Form::kApplyButton);

  ConnectFields();
}

// Right column: the CAN-BUS speed, then the numbers and times.
void TFNastrObm::BuildNumbersColumn(QHBoxLayout* top) {
  auto* right = new QVBoxLayout();
  top->addLayout(right);
  speedGroup_ = new QGroupBox(Q(Form::kSpeedTitle), this);
  auto* speedLayout = new QHBoxLayout(speedGroup_);
  speedButtons_ = new QButtonGroup(this);
  for (int i = 0; i < 5; ++i) {
    auto* b = new QRadioButton(Q(kAdapterSpeedItems[i]), speedGroup_);
    speedButtons_->addButton(b, i);
    speedLayout->addWidget(b);
    connect(b, &QRadioButton::clicked, this, [this, i] {
      form_.SetSpeed(i);
      Render();
    });
  }
  right->addWidget(speedGroup_);
  {
    // The numbers below keep their place when the speed choice is hidden.
    QSizePolicy keep = speedGroup_->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    speedGroup_->setSizePolicy(keep);
  }

  auto* numbers = new QGridLayout();
  numbers->setColumnStretch(0, 1);
  int row = 0;
  auto addRow = [&](const char* label, QWidget* field) -> QLabel* {
    auto* l = new QLabel(Q(label), this);
    l->setWordWrap(true);
    l->setBuddy(field);
    numbers->addWidget(l, row, 0);
    numbers->addWidget(field, row, 1, Qt::AlignLeft);
    ++row;
    return l;
  };
  retries_ = new QSpinBox(this);
  retries_->setRange(Form::kRetriesMin, Form::kRetriesMax);
  retries_->setFixedWidth(70);
  addRow(Form::kRetriesLabel, retries_);
  pcNumber_ = new QLineEdit(this);
  pcNumber_->setFixedWidth(70);
  pcLabel_ = addRow(Form::kPcNumberLabel, pcNumber_);
  answerTime_ = new QLineEdit(this);
  answerTime_->setFixedWidth(70);
  addRow(Form::kAnswerTimeLabel, answerTime_);
  moduleNumber_ = new QLineEdit(this);
  moduleNumber_->setFixedWidth(70);
  moduleNumber_->setMaxLength(Form::kModuleNumberMaxLength);
  addRow(Form::kModuleNumberLabel, moduleNumber_);
  right->addLayout(numbers);
  right->addStretch(1);
}

// The numbers, the address fields and "Применить" reach the form.
void TFNastrObm::ConnectFields() {
  connect(retries_, qOverload<int>(&QSpinBox::valueChanged), this, [this](int v) {
    form_.SetRetries(v);
    Render();
  });
  connect(pcNumber_, &QLineEdit::textEdited, this, [this](const QString& t) { form_.SetPcNumber(S(t)); });
  connect(answerTime_, &QLineEdit::textEdited, this, [this](const QString& t) { form_.SetAnswerTime(S(t)); });
  connect(ip_, &QLineEdit::textEdited, this, [this](const QString& t) { form_.SetIP(S(t)); });
  connect(port_, &QLineEdit::textEdited, this, [this](const QString& t) { form_.SetPort(S(t)); });
  connect(moduleNumber_, &QLineEdit::textEdited, this, [this](const QString& t) {
    form_.SetModuleNumber(S(t));
    Render();
  });
  connect(apply_, &QPushButton::clicked, this, [this] {
    bool close = form_.ApplyPressed();
    Render();
    if (close) accept();
  });
}

QRadioButton* TFNastrObm::LinkKindChoice(LinkKindSetting kind) const {
  return kinds_[kind == LinkKindSetting::Ethernet ? 0 : 1];
}

void TFNastrObm::Prepare() {
  form_.Show();
  Render();
}

void TFNastrObm::Open() {
  Prepare();
  exec();
}

void TFNastrObm::Render() {
  using F = Form::Field;
  for (int i = 0; i < 2; ++i) {
    QSignalBlocker block(kinds_[i]);
    kinds_[i]->setChecked((i == 1) == (form_.LinkKind() == LinkKindSetting::CanBus));
  }
  CheckPosition(comButtons_, form_.ComPort());
  CheckPosition(speedButtons_, form_.Speed());
  {
    QSignalBlocker block(retries_);
    retries_->setValue(form_.Retries());
  }
  auto show = [](QLineEdit* e, const std::string& text) {
    QString t = Q(text);
    if (e->text() != t) e->setText(t);
  };
  show(pcNumber_, form_.PcNumber());
  show(answerTime_, form_.AnswerTime());
  show(moduleNumber_, form_.ModuleNumber());
  show(ip_, form_.IP());
  // A stored port longer than the field's base allows is shown whole (and refused on apply).
  port_->setMaxLength(std::max(form_.PortMaxLength(), static_cast<int>(Q(form_.Port()).size())));
  show(port_, form_.Port());
  port_->setToolTip(Q(form_.PortInHex() ? kHexPortKeysHint : kDecPortKeysHint));
  ip_->setReadOnly(!form_.Editable(F::IP));
  port_->setReadOnly(!form_.Editable(F::Port));
  moduleNumber_->setReadOnly(!form_.Editable(F::ModuleNumber));
  moduleNumber_->setEnabled(form_.Editable(F::ModuleNumber));
  comGroup_->setVisible(form_.Visible(F::ComPort));
  ethGroup_->setVisible(form_.Visible(F::IP));
  speedGroup_->setVisible(form_.Visible(F::Speed));
  pcLabel_->setVisible(form_.Visible(F::PcNumber));
  pcNumber_->setVisible(form_.Visible(F::PcNumber));
  if (form_.TakeFocusOnLinkKind()) LinkKindChoice(form_.LinkKind())->setFocus();
  if (auto focus = form_.TakeFocus()) {
    QWidget* w = *focus == F::IP           ? ip_
                 : *focus == F::Port       ? port_
                 : *focus == F::AnswerTime ? answerTime_
                                           : nullptr;
    if (w) w->setFocus();
  }
}

void TFNastrObm::reject() {
  if (form_.CloseRequested()) QDialog::reject();
}

void TFNastrObm::closeEvent(QCloseEvent* event) {
  if (form_.CloseRequested()) {
    event->accept();
    QDialog::reject();
  } else {
    event->ignore();
  }
}

TFDopNastr::TFDopNastr(Dialogs& dialogs, ProgramSettings& settings, const std::string& settingsPath,
                       QWidget* parent)
    : QDialog(parent), form_(dialogs, settings, settingsPath) {
  setWindowTitle(Q(AdditionalSettingsForm::kCaption));
  setModal(true);
  auto* layout = new QVBoxLayout(this);
  auto* group = new QGroupBox(Q(AdditionalSettingsForm::kTaskNameTitle), this);
  auto* groupLayout = new QVBoxLayout(group);
  auto* buttons = new QButtonGroup(this);
  for (int i = 0; i < 2; ++i) {
    choices_[i] =
        new QRadioButton(Q(AdditionalSettingsForm::kTaskNameItems[static_cast<std::size_t>(i)]), group);
    buttons->addButton(choices_[i], i);
    groupLayout->addWidget(choices_[i]);
    connect(choices_[i], &QRadioButton::clicked, this, [this, i] {
      form_.SetTaskName(i);
      Render();
    });
  }
  layout->addWidget(group);
  apply_ = AddApplyRow(this, layout, AdditionalSettingsForm::kApplyButton);
  connect(apply_, &QPushButton::clicked, this, [this] {
    if (form_.ApplyPressed()) accept();
  });
  setMinimumWidth(300);
}

void TFDopNastr::Prepare() {
  form_.Show();
  Render();
}

void TFDopNastr::Open() {
  Prepare();
  exec();
}

void TFDopNastr::Render() {
  for (int i = 0; i < 2; ++i) {
    QSignalBlocker block(choices_[i]);
    choices_[i]->setChecked(form_.TaskName() == i);
  }
}

}  // namespace r770
