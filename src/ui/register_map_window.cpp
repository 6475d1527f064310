#include "ui/register_map_window.h"

#include "common/key_filter.h"

#include <QAction>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "ui/editor_table.h"
#include "ui/qt_support.h"

namespace r770 {

ParamTreeWidget::ParamTreeWidget(QWidget* parent) : QTreeWidget(parent) {
  setHeaderHidden(true);
  setColumnCount(1);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setDragEnabled(true);
  setDragDropMode(QAbstractItemView::DragOnly);
  setUniformRowHeights(true);
}

int ParamTreeWidget::NodeOf(const QTreeWidgetItem* item) {
  if (!item) return -1;
  bool ok = false;
  const int node = item->data(0, Qt::UserRole).toInt(&ok);
  return ok ? node : -1;
}

QStringList ParamTreeWidget::mimeTypes() const { return {QString::fromLatin1(kTreeNodeMime)}; }

QMimeData* ParamTreeWidget::mimeData(const QList<QTreeWidgetItem*>& items) const {
  if (items.isEmpty()) return nullptr;
  auto* mime = new QMimeData;
  mime->setData(kTreeNodeMime, QByteArray::number(NodeOf(items.front())));
  return mime;
}

RegisterMapWindow::RegisterMapWindow(MapKind kind, Configuration& cfg, const ProgramSettings& settings,
                                     Dialogs& dialogs, QWidget* parent)
    : QDialog(parent), form_(std::make_unique<RegisterMapForm>(kind, dialogs, cfg, settings)) {
  const RegisterMapTraits& t = form_->Traits();
  setObjectName(Q(t.ClassName));
  setWindowTitle(Q(t.Caption));
  setModal(true);

  table_ = new EditorTable(form_->RowCount(), RegisterMapForm::kColumns, this);
  table_->setHorizontalHeaderLabels({Q(kNumberTitle), Q(t.AddressTitle), Q(t.ParamTitle)});
  table_->horizontalHeaderItem(1)->setToolTip(Q(kMapAddressKeysHint));
  table_->horizontalHeader()->setStretchLastSection(true);
  table_->setColumnWidth(RegisterMapForm::kColNumber, table_->fontMetrics().horizontalAdvance("0000") + 12);
  // As wide as the title in the header's own font, so that it is never cut.
  table_->setColumnWidth(RegisterMapForm::kColAddress,
                         qMax(table_->fontMetrics().horizontalAdvance(Q(t.AddressTitle)) + 24,
                              table_->horizontalHeader()->sectionSizeHint(RegisterMapForm::kColAddress) + 8));
  // The parameter column takes the rest of the table's width.
  table_->setMinimumWidth(table_->columnWidth(RegisterMapForm::kColNumber) +
                          table_->columnWidth(RegisterMapForm::kColAddress) + 300 +
                          table_->verticalScrollBar()->sizeHint().width() + 4);

  treeTitle_ = new QLabel(Q(kTreeTitle), this);
  tree_ = new ParamTreeWidget(this);
  place_ = new QPushButton(Q(kPlaceButton), this);
  apply_ = new QPushButton(Q(kApplyButton), this);
  print_ = new QPushButton(Q(kPrintButton), this);
  preview_ = new QPushButton(Q(kPreviewButton), this);
  print_->setVisible(t.HasPrint);
  preview_->setVisible(t.HasPrint);
  for (QPushButton* b : {place_, apply_, print_, preview_}) b->setAutoDefault(false);

  auto* right = new QVBoxLayout;
  right->addWidget(treeTitle_);
  right->addWidget(tree_, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(place_);
  buttons->addStretch(1);
  buttons->addWidget(preview_);
  buttons->addWidget(print_);
  buttons->addWidget(apply_);
  right->addLayout(buttons);
  auto* layout = new QHBoxLayout(this);
  layout->addWidget(table_, 3);
  layout->addLayout(right, 2);
  resize(1100, 620);

  menu_ = new QMenu(this);
  deleteAction_ = menu_->addAction(Q(kDeleteCommand));
  if (t.HasInsert) insertAction_ = menu_->addAction(Q(kInsertCommand));

  table_->SetKeyHandler([this](char32_t key) {
    const bool taken = form_->Key(key);
    RenderRow(form_->CurrentRow());
    ApplyFocus();
    return taken;
  });
  connect(table_, &QTableWidget::currentCellChanged, this,
          [this](int row, int column, int, int) { OnCurrentCellChanged(row, column); });
  connect(table_, &QTableWidget::cellClicked, this, [this](int row, int column) {
    if (syncing_) return;
    form_->CellClicked(row, column);
    SyncTreeSelection();
  });
  connect(table_, &QWidget::customContextMenuRequested, this, &RegisterMapWindow::OnContextMenu);
  connect(table_, &EditorTable::nodeDropped, this, [this](int row, int node) {
    form_->DropOnRow(row, node);
    Render();
    ApplyFocus();
  });
  connect(tree_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* current, QTreeWidgetItem*) {
    if (!syncing_) form_->SelectNode(ParamTreeWidget::NodeOf(current));
  });
  connect(tree_, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item, int) {
    form_->NodeDoubleClicked(ParamTreeWidget::NodeOf(item));
    Render();
    ApplyFocus();
  });
  connect(place_, &QPushButton::clicked, this, [this] {
    form_->Place();
    Render();
    ApplyFocus();
  });
  connect(apply_, &QPushButton::clicked, this, [this] {
    if (form_->Apply()) {
      accept();
      return;
    }
    Render();
    ApplyFocus();
  });
  connect(deleteAction_, &QAction::triggered, this, [this] {
    form_->Delete();
    Render();
  });
  if (insertAction_) {
    connect(insertAction_, &QAction::triggered, this, [this] {
      form_->Insert();
      Render();
    });
  }
  connect(print_, &QPushButton::clicked, this, &RegisterMapWindow::OnPrint);
  connect(preview_, &QPushButton::clicked, this, &RegisterMapWindow::OnPreview);
}

RegisterMapWindow::~RegisterMapWindow() = default;

QTreeWidgetItem* RegisterMapWindow::ItemOfNode(int node) const {
  return node >= 0 && node < static_cast<int>(items_.size()) ? items_[static_cast<std::size_t>(node)] : nullptr;
}

void RegisterMapWindow::Prepare() {
  form_->Open();
  BuildTree();
  shownSelectionSerial_ = -1;
  Render();
  ApplyFocus();
}

void RegisterMapWindow::Open() {
  Prepare();
  exec();
}

void RegisterMapWindow::reject() {
  if (form_->CloseRequested()) {
    QDialog::reject();
    return;
  }
  Render();
  ApplyFocus();
}

void RegisterMapWindow::BuildTree() {
  QSignalBlocker block(tree_);
  tree_->clear();
  items_.clear();
  const auto& nodes = form_->Tree().Nodes();
  items_.reserve(nodes.size());
  QList<QTreeWidgetItem*> roots;
  for (std::size_t i = 0; i < nodes.size(); ++i) {
    auto* item = new QTreeWidgetItem(QStringList{Q(nodes[i].Label)});
    item->setData(0, Qt::UserRole, static_cast<int>(i));
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled);
    items_.push_back(item);
    if (nodes[i].Parent >= 0) {
      items_[static_cast<std::size_t>(nodes[i].Parent)]->addChild(item);
    } else {
      roots.push_back(item);
    }
  }
  tree_->addTopLevelItems(roots);
}

void RegisterMapWindow::RenderRow(int row) {
  if (row < 0 || row >= form_->RowCount()) return;
  table_->SetCellText(row, RegisterMapForm::kColNumber, Q(form_->NumberCell(row)));
  table_->SetCellText(row, RegisterMapForm::kColAddress, Q(form_->AddressCell(row)));
  table_->SetCellText(row, RegisterMapForm::kColParam, Q(form_->ParamCell(row)));
  table_->SetCellToolTip(row, RegisterMapForm::kColParam, Q(form_->Tooltip(row)));
}

void RegisterMapWindow::Render() {
  table_->setVisible(form_->TableVisible());
  tree_->setVisible(form_->TreeVisible());
  treeTitle_->setVisible(form_->TreeVisible());
  place_->setVisible(form_->PlaceVisible());
  for (int row = 0; row < form_->RowCount(); ++row) RenderRow(row);
  if (table_->currentRow() != form_->CurrentRow() || table_->currentColumn() != form_->CurrentColumn()) {
    syncing_ = true;
    table_->SetCurrentQuietly(form_->CurrentRow(), form_->CurrentColumn());
    syncing_ = false;
  }
  SyncTreeSelection();
}

void RegisterMapWindow::SyncTreeSelection() {
  if (form_->SelectionSerial() == shownSelectionSerial_) return;
  shownSelectionSerial_ = form_->SelectionSerial();
  syncing_ = true;
  for (int node : form_->ExpandedNodes())
    if (QTreeWidgetItem* item = ItemOfNode(node)) item->setExpanded(true);
  if (QTreeWidgetItem* item = ItemOfNode(form_->SelectedNode())) {
    tree_->setCurrentItem(item);
    tree_->scrollToItem(item);
  } else {
    tree_->setCurrentItem(nullptr);
    tree_->clearSelection();
  }
  syncing_ = false;
}

void RegisterMapWindow::ApplyFocus() {
  switch (form_->TakeFocus()) {
    case RegisterMapForm::Focus::Tree: tree_->setFocus(); break;
    case RegisterMapForm::Focus::Table:
    case RegisterMapForm::Focus::Cell: table_->setFocus(); break;
    case RegisterMapForm::Focus::None: break;
  }
}

void RegisterMapWindow::OnCurrentCellChanged(int row, int column) {
  if (syncing_ || row < 0 || column < 0) return;
  form_->SetCurrentCell(row, column);
  Render();
  ApplyFocus();
}

void RegisterMapWindow::OnContextMenu(const QPoint& pos) {
  const QModelIndex index = table_->indexAt(pos);
  if (!index.isValid()) return;
  // The cursor first moves to the cell under the mouse.
  if (index.row() != form_->CurrentRow() || index.column() != form_->CurrentColumn()) {
    form_->SetCurrentCell(index.row(), index.column());
    Render();
    if (index.row() != form_->CurrentRow() || index.column() != form_->CurrentColumn()) {
      ApplyFocus();
      return;
    }
  }
  menu_->exec(table_->viewport()->mapToGlobal(pos));
}

PrintColumnWidths RegisterMapWindow::ColumnWidths() const {
  PrintColumnWidths w;
  w.number = table_->columnWidth(RegisterMapForm::kColNumber);
  w.address = table_->columnWidth(RegisterMapForm::kColAddress);
  w.param = table_->columnWidth(RegisterMapForm::kColParam);
  w.other = table_->horizontalHeader()->defaultSectionSize();
  w.screenDpi = table_->logicalDpiX();
  return w;
}

bool RegisterMapWindow::PrintTo(QPrinter& printer) {
  const std::optional<PrintTable> table = form_->Print();
  Render();
  if (!table) return false;
  SetPrintMargins(printer);
  return PaintPrintTable(printer, *table, ColumnWidths(), table_->font());
}

void RegisterMapWindow::OnPrint() {
  if (!form_->FinishEdit()) {
    Render();
    ApplyFocus();
    return;
  }
  QPrinter printer(QPrinter::HighResolution);
  SetPrintMargins(printer);
  QPrintDialog dialog(&printer, this);
  if (dialog.exec() == QDialog::Accepted) PrintTo(printer);
}

void RegisterMapWindow::OnPreview() {
  if (!form_->FinishEdit()) {
    Render();
    ApplyFocus();
    return;
  }
  QPrinter printer(QPrinter::HighResolution);
  SetPrintMargins(printer);
  QPrintPreviewDialog preview(&printer, this);
  preview.setWindowTitle(Q(kPreviewButton));
  connect(&preview, &QPrintPreviewDialog::paintRequested, this, [this](QPrinter* p) { PrintTo(*p); });
  preview.exec();
}

}  // namespace r770
