#include "ui/way_window.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include "ui/qt_support.h"

namespace r770 {

using PathField = DatabasePathForm::Field;

TFWay::TFWay(Dialogs& dialogs, ProgramSettings& settings, const std::string& settingsPath, QWidget* parent)
    : QDialog(parent), form_(dialogs, settings, settingsPath) {
  setWindowTitle(Q(DatabasePathForm::kCaption));
  setModal(true);

  auto* layout = new QVBoxLayout(this);
  auto* top = new QHBoxLayout();
  message_ = new QLabel(this);
  message_->setWordWrap(true);
  message_->setStyleSheet("color: #b00000;");
  manual_ = new QToolButton(this);
  manual_->setCheckable(true);
  manual_->setIcon(style()->standardIcon(QStyle::SP_FileDialogDetailedView));
  manual_->setToolTip(Q(DatabasePathForm::kManualHint));
  top->addWidget(message_, 1);
  top->addWidget(manual_);
  layout->addLayout(top);

  auto* group = new QGroupBox(Q(DatabasePathForm::kGroupTitle), this);
  auto* grid = new QGridLayout(group);
  for (PathField f : {PathField::Root, PathField::Alg, PathField::Mod, PathField::Task}) {
    auto i = static_cast<std::size_t>(f);
    labels_[i] = new QLabel(Q(DatabasePathForm::FieldLabel(f)), group);
    edits_[i] = new QLineEdit(group);
    edits_[i]->setMinimumWidth(380);
    labels_[i]->setBuddy(edits_[i]);
    browse_[i] = new QToolButton(group);
    browse_[i]->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    int row = static_cast<int>(i);
    grid->addWidget(labels_[i], row, 0);
    grid->addWidget(edits_[i], row, 1);
    grid->addWidget(browse_[i], row, 2);
    connect(edits_[i], &QLineEdit::textEdited, this, [this, f](const QString& t) {
      form_.SetText(f, S(t));
      Render();
    });
    connect(browse_[i], &QToolButton::clicked, this, [this, f] {
      form_.Browse(f);
      Render();
    });
  }
  layout->addWidget(group);

  auto* buttons = new QHBoxLayout();
  buttons->addStretch(1);
  save_ = new QPushButton(Q(DatabasePathForm::kSaveButton), this);
  save_->setAutoDefault(false);
  buttons->addWidget(save_);
  layout->addLayout(buttons);

  connect(manual_, &QToolButton::toggled, this, [this](bool down) {
    form_.SetManual(down);
    Render();
  });
  connect(save_, &QPushButton::clicked, this, [this] {
    bool close = form_.SavePressed();
    Render();
    if (close) accept();
  });
}

void TFWay::Prepare() {
  form_.Show();
  Render();
}

void TFWay::Open() {
  Prepare();
  exec();
}

void TFWay::Render() {
  for (PathField f : {PathField::Root, PathField::Alg, PathField::Mod, PathField::Task}) {
    auto i = static_cast<std::size_t>(f);
    QString text = Q(form_.Text(f));
    if (edits_[i]->text() != text) edits_[i]->setText(text);
    edits_[i]->setEnabled(form_.FieldEnabled(f));
    labels_[i]->setEnabled(form_.FieldEnabled(f));
    browse_[i]->setEnabled(form_.FieldEnabled(f));
  }
  {
    QSignalBlocker block(manual_);
    manual_->setChecked(form_.Manual());
  }
  message_->setText(Q(form_.Message()));
  if (auto focus = form_.TakeFocus()) edits_[static_cast<std::size_t>(*focus)]->setFocus();
}

void TFWay::reject() {
  bool close = form_.CloseRequested();
  Render();
  if (close) QDialog::reject();
}

void TFWay::closeEvent(QCloseEvent* event) {
  bool close = form_.CloseRequested();
  Render();
  if (close) {
    event->accept();
    QDialog::reject();
  } else {
    event->ignore();
  }
}

}  // namespace r770
