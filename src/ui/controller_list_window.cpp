#include "ui/controller_list_window.h"

#include <QAction>
#include <QBrush>
#include <QColor>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>

#include "common/key_filter.h"
#include "ui/editor_table.h"
#include "ui/qt_support.h"

namespace r770 {
namespace {

const QColor kLime(0x00, 0xFF, 0x00);

}  // namespace

TFTask::TFTask(Configuration& cfg, const ProgramSettings& settings, Dialogs& dialogs, BusyIndicator& busy,
               QWidget* parent)
    : QDialog(parent), form_(std::make_unique<ControllerListForm>(cfg, settings, dialogs, busy)) {
  using F = ControllerListForm;
  setObjectName("TFTask");
  setWindowTitle(Q(F::kCaption));
  setModal(true);

  title_ = new QLabel(Q(F::kTitle), this);
  title_->setAlignment(Qt::AlignCenter);
  table_ = new EditorTable(1, 3, this);
  table_->setHorizontalHeaderLabels({Q(F::kNumberTitle), Q(F::kPathTitle), Q(F::kNsetTitle)});
  table_->horizontalHeaderItem(F::kColNset)->setToolTip(Q(kHexKeysHint));
  table_->setColumnWidth(F::kColNumber, table_->fontMetrics().horizontalAdvance("0000") + 12);
  table_->setColumnWidth(F::kColPath, 460);
  table_->horizontalHeader()->setStretchLastSection(true);
  message_ = new QLabel(this);
  message_->setStyleSheet("color: #a00000;");
  notFound_ = new QLabel(Q(F::kNotFoundLabel), this);
  notFound_->setAutoFillBackground(true);
  QPalette pal = notFound_->palette();
  pal.setColor(QPalette::Window, kLime);
  notFound_->setPalette(pal);
  notFound_->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
  apply_ = new QPushButton(Q(F::kApplyButton), this);
  apply_->setAutoDefault(false);

  menu_ = new QMenu(this);
  add_ = menu_->addAction(Q(F::kAddCommand));
  remove_ = menu_->addAction(Q(F::kRemoveCommand));
  enter_ = menu_->addAction(Q(F::kEnterCommand));
  // The same commands as buttons, for those who do not look in the context menu.
  auto* buttons = new QHBoxLayout;
  for (auto [button, action] :
       {std::pair{&addButton_, add_}, {&removeButton_, remove_}, {&enterButton_, enter_}}) {
    *button = new QPushButton(action->text(), this);
    (*button)->setAutoDefault(false);
    QAction* a = action;
    connect(*button, &QPushButton::clicked, a, &QAction::trigger);
    buttons->addWidget(*button);
  }
  buttons->addStretch(1);
  buttons->addWidget(apply_);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(title_);
  layout->addWidget(table_, 1);
  layout->addWidget(message_);
  layout->addWidget(notFound_);
  layout->addLayout(buttons);
  resize(820, 420);

  table_->SetKeyHandler([this](char32_t key) {
    const bool taken = form_->Key(key);
    Render();
    return taken;
  });
  connect(table_, &QTableWidget::currentCellChanged, this,
          [this](int row, int column, int, int) { OnCurrentCellChanged(row, column); });
  connect(table_, &QWidget::customContextMenuRequested, this, &TFTask::OnContextMenu);
  connect(add_, &QAction::triggered, this, [this] {
    form_->AddController();
    Render();
  });
  connect(remove_, &QAction::triggered, this, [this] {
    form_->RemoveController();
    Render();
  });
  connect(enter_, &QAction::triggered, this, [this] {
    form_->EnterQueue();
    Render();
  });
  connect(apply_, &QPushButton::clicked, this, [this] {
    if (form_->Apply()) {
      accept();
    } else {
      Render();
    }
  });
}

TFTask::~TFTask() = default;

void TFTask::Prepare() {
  form_->Open();
  open_ = true;
  Render();
  table_->setFocus();
}

void TFTask::Open() {
  Prepare();
  exec();
}

void TFTask::done(int result) {
  if (open_) {
    open_ = false;
    form_->Closed();
  }
  QDialog::done(result);
}

void TFTask::reject() {
  if (!open_ || form_->CloseRequested()) {
    QDialog::reject();
    return;
  }
  Render();
}

void TFTask::Render() {
  using F = ControllerListForm;
  const int rows = form_->RowCount();
  syncing_ = true;
  if (table_->rowCount() != rows) table_->setRowCount(rows);
  for (int row = 0; row < rows; ++row) {
    for (int column = 0; column < 3; ++column) table_->SetCellText(row, column, Q(form_->Cell(row, column)));
    QTableWidgetItem* number = table_->item(row, F::kColNumber);
    const QBrush brush = form_->Marked(row) ? QBrush(kLime) : QBrush();
    if (number->background() != brush) number->setBackground(brush);
  }
  if (table_->currentRow() != form_->CurrentRow() || table_->currentColumn() != F::kColNset)
    table_->SetCurrentQuietly(form_->CurrentRow(), F::kColNset);
  syncing_ = false;
  message_->setText(Q(form_->Message()));
  message_->setVisible(!form_->Message().empty());
  notFound_->setVisible(form_->LabelVisible());
  add_->setEnabled(form_->AddEnabled());
  addButton_->setEnabled(form_->AddEnabled());
}

void TFTask::OnCurrentCellChanged(int row, int column) {
  if (syncing_ || row < 0) return;
  // Only the network number cells can be current.
  form_->SetCurrentRow(row);
  Render();
}

void TFTask::OnContextMenu(const QPoint& pos) {
  const QModelIndex index = table_->indexAt(pos);
  // The cursor first moves to the cell under the mouse.
  if (index.isValid() && index.row() != form_->CurrentRow()) {
    form_->SetCurrentRow(index.row());
    Render();
    if (index.row() != form_->CurrentRow()) return;
  }
  menu_->exec(table_->viewport()->mapToGlobal(pos));
}

}  // namespace r770
