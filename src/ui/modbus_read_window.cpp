#include "ui/modbus_read_window.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "common/key_filter.h"
#include "common/modbus_address.h"
#include "modbus_test/command_test_link.h"

namespace r770 {

using Form = ModbusReadForm;

TFReadModbus_r770::TFReadModbus_r770(Dialogs& dialogs, const ProgramSettings& settings, QWidget* parent,
                                     std::unique_ptr<ModbusTestLink> link)
    : QDialog(parent),
      link_(link ? std::move(link) : std::make_unique<CommandTestLink>()),
      form_(std::make_unique<ModbusReadForm>(settings, dialogs, static_cast<BusyIndicator&>(*this), *link_,
                                             log_)) {
  setWindowTitle(Q(Form::kCaption));
  setModal(true);
  form_->decimalSeparator = S(QLocale().decimalPoint());

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(Q(Form::kNotice), this));
  addressNote_ = new QLabel(Q(kZeroBasedNote), this);
  addressNote_->setWordWrap(true);
  layout->addWidget(addressNote_);
  auto* row = new QHBoxLayout();
  row->addWidget(new QLabel(Q(Form::kRegistersLabel), this));
  registers_ = new KeyLineEdit(this);
  registers_->setToolTip(Q(kRegisterListKeysHint));
  row->addWidget(registers_, 1);
  layout->addLayout(row);
  auto* caption = new QLabel(Q(Form::kTableCaption), this);
  caption->setAlignment(Qt::AlignCenter);
  layout->addWidget(caption);

  table_ = new QTableWidget(0, 4, this);
  QStringList titles;
  for (const char* t : kReadModbusColumns) titles << Q(t);
  table_->setHorizontalHeaderLabels(titles);
  table_->verticalHeader()->hide();
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  // The columns share the table's width (long titles wrap), so that the note is never pushed
  // behind the scroll bar.
  QHeaderView* header = table_->horizontalHeader();
  header->setSectionResizeMode(QHeaderView::Stretch);
  header->setSectionResizeMode(0, QHeaderView::ResizeToContents);
  header->setDefaultAlignment(Qt::Alignment(Qt::AlignCenter | Qt::TextWordWrap));
  header->setMinimumHeight(2 * header->fontMetrics().lineSpacing() + 8);
  layout->addWidget(table_, 1);

  progress_ = new QProgressBar(this);
  progress_->setTextVisible(false);
  layout->addWidget(progress_);
  auto* buttons = new QHBoxLayout();
  buttons->addStretch(1);
  read_ = new QPushButton(Q(Form::kReadButton), this);
  read_->setAutoDefault(false);
  buttons->addWidget(read_);
  layout->addLayout(buttons);

  registers_->SetKeyHandler([this](char32_t key, int selStart, int selLength) {
    form_->KeyTyped(key, selStart, selLength);
    registers_->Show(form_->registersText, form_->Caret());
  });
  connect(registers_, &QLineEdit::textEdited, this,
          [this](const QString& t) { form_->registersText = S(t); });
  connect(read_, &QPushButton::clicked, this, [this] { Read(); });
  resize(1180, 480);
  Render();
}

TFReadModbus_r770::~TFReadModbus_r770() {
  form_->RequestClose();
  form_.reset();
}

void TFReadModbus_r770::Prepare() {
  form_->Show();
  Render();
}

void TFReadModbus_r770::Open() {
  Prepare();
  exec();
}

void TFReadModbus_r770::SetBusy(bool busy) { cursor_.SetBusy(busy); }

void TFReadModbus_r770::PumpEvents() {
  Render();
  QCoreApplication::processEvents();
}

void TFReadModbus_r770::Render() {
  registers_->Show(form_->registersText);
  const auto& rows = form_->Rows();
  table_->setRowCount(static_cast<int>(rows.size()));
  for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
    const ModbusReadRow& row = rows[static_cast<std::size_t>(r)];
    const std::string* cells[4] = {&row.number, &row.address, &row.value, &row.note};
    for (int c = 0; c < 4; ++c) {
      QTableWidgetItem* item = table_->item(r, c);
      if (!item) {
        item = new QTableWidgetItem();
        item->setTextAlignment(Qt::AlignCenter);
        table_->setItem(r, c, item);
      }
      if (item->text() != Q(*cells[c])) item->setText(Q(*cells[c]));
      if (c == 1) item->setToolTip(Q(Form::AddressTooltip(row)));
    }
  }
  progress_->setRange(0, std::max(1, form_->ProgressMaximum()));
  progress_->setValue(form_->ProgressPosition());
  progress_->setVisible(form_->ProgressVisible());
}

void TFReadModbus_r770::Read() {
  form_->Read();
  Render();
  if (form_->ClosePending() && !form_->Reading()) close();
}

// Escape and the window's close button both come here (QDialog::closeEvent calls reject and
// keeps the window while it stays visible).
void TFReadModbus_r770::reject() {
  if (form_->RequestClose()) QDialog::reject();
}

}  // namespace r770
