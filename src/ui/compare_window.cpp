#include "ui/compare_window.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "exchange/exchange_form.h"
#include "ui/exchange_window.h"
#include "ui/print_table.h"
#include "ui/qt_support.h"

namespace r770 {

CompareWindow::CompareWindow(Configuration& document, const ProgramSettings& settings, Dialogs& dialogs,
                             QWidget* parent)
    : QDialog(parent), form_(document, settings, dialogs) {
  setObjectName("CompareWindow");
  setModal(true);
  resize(900, 520);
  auto* layout = new QVBoxLayout(this);

  table_ = new QTableWidget(0, 3, this);
  table_->verticalHeader()->hide();
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setWordWrap(false);
  table_->setColumnWidth(0, 190);
  // The two sides share the rest of the width.
  table_->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
  table_->horizontalHeader()->setSectionResizeMode(2, QHeaderView::Stretch);
  layout->addWidget(table_, 1);

  status_ = new QLabel(this);
  status_->setFrameShape(QFrame::StyledPanel);
  status_->setFrameShadow(QFrame::Sunken);

  auto* buttons = new QHBoxLayout;
  write_ = new QPushButton(Q(kCompareWriteButton), this);
  take_ = new QPushButton(Q(kCompareTakeButton), this);
  abort_ = new QPushButton(Q(kAbortCaption), this);
  print_ = new QPushButton(Q(kPrintButton), this);
  preview_ = new QPushButton(Q(kPreviewButton), this);
  close_ = new QPushButton(Q(kCompareCloseButton), this);
  for (QPushButton* b : {write_, take_, abort_, print_, preview_, close_}) b->setAutoDefault(false);
  buttons->addWidget(write_);
  buttons->addWidget(take_);
  buttons->addWidget(abort_);
  buttons->addStretch();
  buttons->addWidget(print_);
  buttons->addWidget(preview_);
  buttons->addWidget(close_);
  layout->addLayout(buttons);
  layout->addWidget(status_);

  connect(write_, &QPushButton::clicked, this, [this] { RunCommand([this] { form_.WritePressed(); }); });
  connect(take_, &QPushButton::clicked, this, [this] {
    form_.TakePressed();
    Render();
  });
  connect(abort_, &QPushButton::clicked, this, [this] { form_.AbortPressed(); });
  connect(close_, &QPushButton::clicked, this, &CompareWindow::reject);
  connect(print_, &QPushButton::clicked, this, [this] {
    QPrinter printer(QPrinter::HighResolution);
    SetPrintMargins(printer);
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() == QDialog::Accepted) PrintTo(printer);
  });
  connect(preview_, &QPushButton::clicked, this, [this] {
    QPrinter printer(QPrinter::HighResolution);
    SetPrintMargins(printer);
    QPrintPreviewDialog preview(&printer, this);
    preview.setWindowTitle(Q(kPreviewButton));
    connect(&preview, &QPrintPreviewDialog::paintRequested, this, [this](QPrinter* p) { PrintTo(*p); });
    preview.exec();
  });
}

void CompareWindow::Render() {
  setWindowTitle(Q(form_.Caption()));
  const auto columns = form_.Columns();
  table_->setHorizontalHeaderLabels({Q(columns[0]), Q(columns[1]), Q(columns[2])});
  const auto& rows = form_.Rows();
  table_->clearSpans();
  table_->setRowCount(static_cast<int>(rows.size()));
  for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
    const CompareRow& row = rows[static_cast<std::size_t>(r)];
    const std::string cells[3] = {row.where, row.left, row.right};
    for (int c = 0; c < 3; ++c) {
      auto* item = new QTableWidgetItem(Q(cells[c]));
      item->setToolTip(item->text());
      if (row.kind == CompareRow::Kind::Title) {
        QFont bold = item->font();
        bold.setBold(true);
        item->setFont(bold);
      }
      table_->setItem(r, c, item);
    }
    // A group's title and a group's note take the whole row.
    if (row.kind != CompareRow::Kind::Difference) table_->setSpan(r, 0, 1, 3);
  }
  table_->setCurrentItem(nullptr);
  status_->setText(Q(form_.Status()));
  write_->setVisible(form_.WriteVisible());
  write_->setEnabled(form_.WriteEnabled());
  take_->setVisible(form_.TakeVisible());
  take_->setEnabled(form_.TakeEnabled());
  abort_->setVisible(form_.TakeVisible());  // with a file the exchange window has its own
  abort_->setEnabled(form_.AbortEnabled());
  for (QPushButton* b : {print_, preview_, close_}) b->setEnabled(!form_.Running());
}

void CompareWindow::RunCommand(const std::function<void()>& command) {
  // The exchange lets window input run between its steps: everything but "Прервать" waits.
  for (QPushButton* b : {write_, take_, print_, preview_, close_}) b->setEnabled(false);
  abort_->setEnabled(true);
  command();
  Render();
}

void CompareWindow::reject() {
  if (form_.RequestClose()) QDialog::reject();
}

bool CompareWindow::PrintTo(QPrinter& printer) {
  PrintTable table;
  const auto columns = form_.Columns();
  table.Titles.assign(columns.begin(), columns.end());
  // The three columns take the widths of the table's three columns.
  table.Widths = {PrintTable::Width::Number, PrintTable::Width::Address, PrintTable::Width::Param};
  table.Rows = form_.PrintRows();
  PrintColumnWidths widths;
  widths.number = table_->columnWidth(0);
  widths.address = table_->columnWidth(1);
  widths.param = table_->columnWidth(2);
  widths.screenDpi = table_->logicalDpiX();
  SetPrintMargins(printer);
  return PaintPrintTable(printer, table, widths, table_->font());
}

bool ExchangeCompareModule::WriteDocument() {
  exchange_.ChooseMode(ExchangeMode::Write);
  if (exchange_.Mode() != ExchangeMode::Write) return false;
  exchange_.Action();
  return exchange_.Succeeded();
}

bool ExchangeCompareModule::ReadModule(Configuration& into) { return exchange_.ReadModuleInto(into); }

void ExchangeCompareModule::Abort() { exchange_.Abort(); }

bool ExchangeWindowWriter::WriteDocument() {
  window_.OpenInMode(ExchangeMode::Write);
  return window_.Form().Mode() == ExchangeMode::Write && window_.Form().Succeeded();
}

void OpenModuleComparison(ExchangeForm& exchange, Dialogs* dialogs, QWidget* parent,
                          const std::function<void()>& documentChanged) {
  ExchangeCompareModule module(exchange);
  QtDialogs qtDialogs;
  CompareWindow window(exchange.Config(), exchange.Settings(), dialogs ? *dialogs : qtDialogs, parent);
  if (!window.Form().StartWithModule(module)) return;  // the read said why
  window.Render();
  window.exec();
  if (window.Form().DocumentChanged() && documentChanged) documentChanged();
}

void OpenFileComparison(Configuration& document, const ProgramSettings& settings, Dialogs& dialogs,
                        const std::string& startFolder, CompareModule* writer, QWidget* parent) {
  CompareWindow window(document, settings, dialogs, parent);
  if (!window.Form().StartWithFile(startFolder, writer)) return;
  window.Render();
  window.exec();
}

}  // namespace r770
