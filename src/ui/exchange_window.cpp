#include "ui/exchange_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "common/dialogs.h"
#include "common/key_filter.h"
#include "ui/compare_window.h"

namespace r770 {
// ---- TFObmen

TFObmen::TFObmen(Configuration& config, ProgramSettings& settings, QWidget* parent, Dialogs* dialogs,
                 Clock& clock, std::string logFolder)
    : QDialog(parent),
      dialogs_(dialogs),
      exchangeLog_(clock, std::move(logFolder)),
      form_(config, settings, *this, exchangeLog_) {
  setWindowTitle(Q(kExchangeCaption));
  setModal(true);
  resize(560, 420);

  auto* layout = new QVBoxLayout(this);
  auto* menu = new QMenuBar(this);
  searchItem_ = menu->addAction(Q(kMenuSearch));
  writeItem_ = menu->addAction(Q(kMenuWrite));
  readItem_ = menu->addAction(Q(kMenuRead));
  layout->setMenuBar(menu);
  connect(searchItem_, &QAction::triggered, this, [this] { form_.ChooseMode(ExchangeMode::Search); });
  connect(writeItem_, &QAction::triggered, this, [this] { form_.ChooseMode(ExchangeMode::Write); });
  connect(readItem_, &QAction::triggered, this, [this] { form_.ChooseMode(ExchangeMode::Read); });
  compareItem_ = menu->addAction(Q(kCompareModuleCommand));
  connect(compareItem_, &QAction::triggered, this, [this] {
    OpenModuleComparison(form_, dialogs_, this, [this] { UpdateDocumentMenus(false); });
    if (!form_.Shown() && form_.ClosePending())
      QDialog::reject();  // closed during the read
    else
      Refresh();
  });
  KeyboardMenus(this, menu);

  auto* range = new QHBoxLayout;
  rangeSwitch_ = new QCheckBox(this);
  rangeCaption_ = new QLabel(Q(kRangeCaption), this);
  range_[0] = new KeyLineEdit(this);
  rangeTo_ = new QLabel(Q(kRangeToCaption), this);
  range_[1] = new KeyLineEdit(this);
  for (int i = 0; i < 2; ++i) {
    KeyLineEdit* e = range_[i];
    const auto field = static_cast<std::size_t>(i);
    e->setMaximumWidth(40);
    e->setAlignment(Qt::AlignCenter);
    e->setToolTip(Q(kHexKeysHint));
    e->SetKeyHandler([this, e, i, field](char32_t key, int selStart, int selLength) {
      if (form_.RangeKeyTyped(i, key, selStart, selLength)) e->Show(form_.rangeText[field], form_.Caret());
    });
    connect(e, &QLineEdit::textEdited, this,
            [this, field](const QString& text) { form_.rangeText[field] = S(text); });
    connect(e, &KeyLineEdit::Left, this, [this, e, i, field] {
      form_.rangeText[field] = S(e->text());
      form_.RangeLeft(i);
    });
  }
  range->addWidget(rangeSwitch_);
  range->addWidget(rangeCaption_);
  range->addWidget(range_[0]);
  range->addWidget(rangeTo_);
  range->addWidget(range_[1]);
  range->addStretch();
  layout->addLayout(range);
  connect(rangeSwitch_, &QCheckBox::clicked, this, [this](bool on) { form_.SetRangeSwitch(on); });

  results_ = new QTableWidget(0, 3, this);
  QStringList headers;
  for (const char* c : kResultColumns) headers << Q(c);
  results_->setHorizontalHeaderLabels(headers);
  results_->verticalHeader()->hide();
  results_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  results_->setSelectionMode(QAbstractItemView::NoSelection);
  results_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
  results_->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
  results_->horizontalHeader()->setStretchLastSection(true);
  layout->addWidget(results_, 1);
  connect(results_, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
    if (syncingTable_ || item->column() != 0) return;
    form_.RowTicked(item->row(), item->checkState() == Qt::Checked);
    SyncTable();
  });

  log_ = new QPlainTextEdit(this);
  log_->setReadOnly(true);
  log_->setLineWrapMode(QPlainTextEdit::NoWrap);
  layout->addWidget(log_, 1);

  auto* buttons = new QHBoxLayout;
  action_ = new QPushButton(this);
  abort_ = new QPushButton(Q(kAbortCaption), this);
  logButton_ = new QPushButton(QString::fromUtf8("Журнал"), this);
  logButton_->setCheckable(true);
  logButton_->setAutoDefault(false);
  logButton_->setToolTip(
      QString::fromUtf8("Показать или скрыть журнал обмена (также двойной щелчок по строке состояния)"));
  buttons->addWidget(action_);
  buttons->addWidget(abort_);
  buttons->addStretch();
  runState_ = new QLabel(this);
  run_ = new QPushButton(Q(kRunCaption), this);
  stop_ = new QPushButton(Q(kStopCaption), this);
  for (QPushButton* b : {run_, stop_}) b->setAutoDefault(false);
  buttons->addWidget(runState_);
  buttons->addWidget(run_);
  buttons->addWidget(stop_);
  connect(run_, &QPushButton::clicked, this, [this] { RunStopPressed(false); });
  connect(stop_, &QPushButton::clicked, this, [this] { RunStopPressed(true); });
  buttons->addWidget(logButton_);
  layout->addLayout(buttons);
  connect(logButton_, &QPushButton::clicked, this, [this] { form_.StatusDoubleClicked(); });
  connect(action_, &QPushButton::clicked, this, &TFObmen::ActionPressed);
  connect(abort_, &QPushButton::clicked, this, [this] { form_.Abort(); });
  action_->setAutoDefault(false);
  abort_->setAutoDefault(false);

  progress_ = new QProgressBar(this);
  progress_->setRange(0, form_.ProgressMaximum());
  progress_->setTextVisible(false);
  layout->addWidget(progress_);

  status_ = new QLabel(this);
  status_->setFrameShape(QFrame::StyledPanel);
  status_->setFrameShadow(QFrame::Sunken);
  status_->installEventFilter(this);
  status_->setToolTip(logButton_->toolTip());
  layout->addWidget(status_);

  Refresh();
}

TFObmen::~TFObmen() {
  if (busy_) QApplication::restoreOverrideCursor();
}

void TFObmen::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!event->spontaneous()) QTimer::singleShot(0, this, &TFObmen::Activate);
}

void TFObmen::Activate() {
  if (!isVisible() || form_.Shown()) return;
  form_.Show();
  if (presetMode_ != ExchangeMode::None) form_.ChooseMode(presetMode_);
  presetMode_ = ExchangeMode::None;
}

void TFObmen::ActionPressed() {
  form_.Action();
  if (!form_.Shown() && form_.ClosePending()) QDialog::reject();  // closed during the procedure
}

void TFObmen::RunStopPressed(bool stop) {
  stop ? form_.StopModule() : form_.RunModule();
  if (!form_.Shown() && form_.ClosePending()) QDialog::reject();  // closed meanwhile
}

void TFObmen::reject() {
  if (form_.RequestClose()) QDialog::reject();
}

bool TFObmen::eventFilter(QObject* watched, QEvent* event) {
  if (watched == status_ && event->type() == QEvent::MouseButtonDblClick) {
    form_.StatusDoubleClicked();
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

void TFObmen::SyncTable() {
  syncingTable_ = true;
  const auto& rows = form_.Rows();
  results_->setRowCount(static_cast<int>(rows.size()));
  for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
    const FoundModuleRow& row = rows[static_cast<std::size_t>(r)];
    auto* tick = results_->item(r, 0);
    if (!tick) {
      tick = new QTableWidgetItem;
      tick->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
      results_->setItem(r, 0, tick);
      for (int c = 1; c < 3; ++c) {
        auto* cell = new QTableWidgetItem;
        cell->setFlags(Qt::ItemIsEnabled);
        cell->setTextAlignment(Qt::AlignCenter);
        results_->setItem(r, c, cell);
      }
    }
    tick->setCheckState(row.ticked ? Qt::Checked : Qt::Unchecked);
    results_->item(r, 1)->setText(Q(row.NumberText()));
    results_->item(r, 2)->setText(Q(kDeviceName));
  }
  syncingTable_ = false;
}

// ---- ExchangeView

void TFObmen::StatusChanged(const std::string& text) { status_->setText(Q(text)); }

void TFObmen::ProgressChanged(int position) {
  // A progress bar repaints itself at once on every change; while a procedure runs the bar
  // follows at each pumping of events instead.
  if (!busy_) progress_->setValue(position);
}

void TFObmen::PaintProgressNow() {
  progress_->setValue(form_.ProgressPosition());
  progress_->repaint();  // painted at once: no event runs during a search
}

void TFObmen::Refresh() {
  searchItem_->setEnabled(form_.MenuEnabled(ExchangeMode::Search));
  writeItem_->setEnabled(form_.MenuEnabled(ExchangeMode::Write));
  readItem_->setEnabled(form_.MenuEnabled(ExchangeMode::Read));
  compareItem_->setEnabled(form_.CompareEnabled());
  status_->setText(Q(form_.StatusText()));
  progress_->setVisible(form_.ProgressVisible());
  progress_->setValue(form_.ProgressPosition());
  log_->setVisible(form_.LogVisible());
  logButton_->setChecked(form_.LogVisible());
  FlushLog();
  results_->setVisible(form_.ResultsVisible());
  const bool range = form_.RangeVisible();
  for (QWidget* w :
       {static_cast<QWidget*>(rangeSwitch_), static_cast<QWidget*>(rangeCaption_),
        static_cast<QWidget*>(range_[0]), static_cast<QWidget*>(rangeTo_), static_cast<QWidget*>(range_[1])})
    w->setVisible(range);
  rangeSwitch_->setChecked(form_.RangeSwitch());
  for (int i = 0; i < 2; ++i) {
    const QString text = Q(form_.rangeText[static_cast<std::size_t>(i)]);
    if (range_[i]->text() != text) range_[i]->setText(text);
  }
  action_->setVisible(form_.ActionVisible());
  action_->setEnabled(form_.ActionEnabled());
  action_->setText(Q(form_.ActionCaption()));
  abort_->setVisible(form_.AbortVisible());
  abort_->setEnabled(form_.AbortEnabled());
  runState_->setText(Q(form_.RunStateText()));
  for (QPushButton* b : {run_, stop_}) b->setEnabled(form_.RunStopEnabled());
  SyncTable();
}

// The log view takes the log's new lines in batches (at each pumping of events and each
// refresh) and only while it is visible: laying out hundreds of lines one by one would cost
// more than the exchange itself.
void TFObmen::LogAppended(const std::string&) {}

void TFObmen::LogCleared() {
  log_->clear();
  logShown_ = 0;
}

void TFObmen::FlushLog() {
  if (!form_.LogVisible()) return;
  const auto& lines = exchangeLog_.Lines();
  if (logShown_ > lines.size()) {
    log_->clear();
    logShown_ = 0;
  }
  if (logShown_ == lines.size()) return;
  QString text;
  for (std::size_t i = logShown_; i < lines.size(); ++i) {
    if (i > logShown_) text += QLatin1Char('\n');
    text += Q(lines[i]);
  }
  log_->appendPlainText(text);
  logShown_ = lines.size();
}

void TFObmen::SetBusy(bool busy) {
  if (busy == busy_) return;
  busy_ = busy;
  if (busy)
    QApplication::setOverrideCursor(Qt::WaitCursor);
  else
    QApplication::restoreOverrideCursor();
}

void TFObmen::PumpEvents() {
  progress_->setValue(form_.ProgressPosition());
  FlushLog();
  QCoreApplication::processEvents();
}

void TFObmen::Information(const std::string& text) {
  if (dialogs_) return dialogs_->Information(text);
  QMessageBox::information(this, windowTitle(), Q(text));
}

bool TFObmen::Confirm(const std::string& text) {
  if (dialogs_) return dialogs_->Confirm(text);
  return QMessageBox::question(this, windowTitle(), Q(text), QMessageBox::Yes | QMessageBox::No) ==
         QMessageBox::Yes;
}

void TFObmen::SetMainStatus(const std::string& text) {
  if (onMainStatus) onMainStatus(text);
}

void TFObmen::UpdateDocumentMenus(bool newDocument) {
  if (onUpdateDocumentMenus) onUpdateDocumentMenus(newDocument);
}

bool TFObmen::AskSaveChanges() { return !onAskSaveChanges || onAskSaveChanges(); }

}  // namespace r770
