#include "ui/register_map_window.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QShortcut>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "common/key_filter.h"
#include "ui/editor_table.h"
#include "ui/qt_support.h"

namespace r770 {
namespace {

// The tree's find field: Enter and Down go on to the tree instead of pressing "Применить".
class TreeFindField : public QLineEdit {
 public:
  TreeFindField(QWidget* parent, QWidget* next) : QLineEdit(parent), next_(next) {}

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter || event->key() == Qt::Key_Down) {
      next_->setFocus();
      event->accept();
      return;
    }
    QLineEdit::keyPressEvent(event);
  }

 private:
  QWidget* next_;
};

}  // namespace

void ParamTreeWidget::keyPressEvent(QKeyEvent* event) {
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && currentItem()) {
    emit PlaceRequested(NodeOf(currentItem()));
    event->accept();
    return;
  }
  QTreeWidget::keyPressEvent(event);
}

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

  BuildTable();
  BuildSide();
  LayOut();
  ConnectTree();
  ConnectTable();
  ConnectButtons();
}

// The map's table: its columns as wide as their titles, the parameter column the rest.
void RegisterMapWindow::BuildTable() {
  const RegisterMapTraits& t = form_->Traits();
  table_ = new EditorTable(form_->RowCount(), RegisterMapForm::kColumns, this);
  table_->AllowRangeSelection();
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
                          table_->columnWidth(RegisterMapForm::kColAddress) + 200 +
                          table_->verticalScrollBar()->sizeHint().width() + 4);
}

// The parameter tree with its find field, the address note and the buttons.
void RegisterMapWindow::BuildSide() {
  const RegisterMapTraits& t = form_->Traits();
  treeTitle_ = new QLabel(Q(kTreeTitle), this);
  tree_ = new ParamTreeWidget(this);
  find_ = new TreeFindField(this, tree_);
  find_->setPlaceholderText(Q(kFindPlaceholder));
  find_->setClearButtonEnabled(true);
  addressNote_ = new QLabel(Q(kZeroBasedNote), this);
  addressNote_->setWordWrap(true);
  place_ = new QPushButton(Q(kPlaceButton), this);
  apply_ = new QPushButton(Q(kApplyButton), this);
  print_ = new QPushButton(Q(kPrintButton), this);
  preview_ = new QPushButton(Q(kPreviewButton), this);
  print_->setVisible(t.HasPrint);
  preview_->setVisible(t.HasPrint);
  for (QPushButton* b : {place_, apply_, print_, preview_}) b->setAutoDefault(false);
  // Enter in the window (outside the tree, which places with it) is "Применить".
  apply_->setDefault(true);
}

// Table left, tree right, the menus above; sized to the screen; the keyboard's own keys.
void RegisterMapWindow::LayOut() {
  auto* right = new QVBoxLayout;
  right->addWidget(treeTitle_);
  right->addWidget(find_);
  right->addWidget(tree_, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(place_);
  buttons->addStretch(1);
  buttons->addWidget(preview_);
  buttons->addWidget(print_);
  buttons->addWidget(apply_);
  right->addLayout(buttons);
  auto* left = new QVBoxLayout;
  left->addWidget(table_, 1);
  left->addWidget(addressNote_);
  auto* columns = new QHBoxLayout;
  columns->addLayout(left, 3);
  columns->addLayout(right, 2);
  auto* layout = new QVBoxLayout(this);
  BuildMenus();
  layout->setMenuBar(menuBar_);
  layout->addLayout(columns);
  // As large as it was designed, or as the screen allows (1024x600 and up).
  QSize size(1100, 620);
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    size = size.boundedTo(screen->availableGeometry().size());
  resize(size);

  auto* toggle = new QShortcut(QKeySequence(Qt::Key_F6), this);
  connect(toggle, &QShortcut::activated, this, &RegisterMapWindow::ToggleTableTree);
  auto* toggle2 = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Tab), this);
  connect(toggle2, &QShortcut::activated, this, &RegisterMapWindow::ToggleTableTree);
  KeyboardMenus(this, menuBar_);
}

// The tree: filter, opened nodes remembered, placing by Enter or double click, selection.
void RegisterMapWindow::ConnectTree() {
  connect(find_, &QLineEdit::textChanged, this, &RegisterMapWindow::ApplyFilter);
  connect(tree_, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) {
    if (!syncing_ && find_->text().isEmpty()) form_->NodeExpanded(ParamTreeWidget::NodeOf(item), true);
  });
  connect(tree_, &QTreeWidget::itemCollapsed, this, [this](QTreeWidgetItem* item) {
    if (!syncing_ && find_->text().isEmpty()) form_->NodeExpanded(ParamTreeWidget::NodeOf(item), false);
  });
  connect(tree_, &ParamTreeWidget::PlaceRequested, this, [this](int node) {
    form_->NodeDoubleClicked(node);
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
}

// The table: typed keys, the current cell, clicks, the context menu, a node dropped on a row.
void RegisterMapWindow::ConnectTable() {
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
  connect(table_, &EditorTable::NodeDropped, this, [this](int row, int node) {
    form_->DropOnRow(row, node);
    Render();
    ApplyFocus();
  });
}

// The buttons and the commands of the menus that act on the table.
void RegisterMapWindow::ConnectButtons() {
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
  connect(deleteAction_, &QAction::triggered, this,
          [this] { Run([this] { form_->DeleteRows(table_->SelectedRows()); }); });
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

void RegisterMapWindow::BuildMenus() {
  const RegisterMapTraits& t = form_->Traits();
  menuBar_ = new QMenuBar(this);
  QMenu* edit = menuBar_->addMenu(Q(kEditMenu));
  QMenu* map = menuBar_->addMenu(Q(kMapMenu));
  auto add = [this](QMenu* m, const char* text, QKeySequence key, Qt::ShortcutContext context) {
    QAction* a = m->addAction(Q(text));
    if (!key.isEmpty()) {
      a->setShortcut(key);
      a->setShortcutContext(context);
    }
    return a;
  };
  undoAction_ = add(edit, kUndoCommand, QKeySequence::Undo, Qt::WindowShortcut);
  redoAction_ = add(edit, kRedoCommand, QKeySequence(Qt::CTRL | Qt::Key_Y), Qt::WindowShortcut);
  redoAction_->setShortcuts(
      {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
  edit->addSeparator();
  // The table's commands act while the table has the focus.
  copyAction_ = add(edit, kCopyCommand, QKeySequence::Copy, Qt::WidgetShortcut);
  pasteAction_ = add(edit, kPasteCommand, QKeySequence::Paste, Qt::WidgetShortcut);
  deleteAction_ = add(edit, kDeleteCommand, QKeySequence::Delete, Qt::WidgetShortcut);
  assignAction_ = add(edit, kAssignCommand, {}, Qt::WidgetShortcut);
  if (t.HasInsert) insertAction_ = add(edit, kInsertCommand, {}, Qt::WidgetShortcut);
  edit->addSeparator();
  QAction* findAction = add(edit, kFindCommand, QKeySequence::Find, Qt::WindowShortcut);
  table_->addActions({copyAction_, pasteAction_, deleteAction_});
  importAction_ = map->addAction(Q(kImportCsvCommand));
  exportAction_ = map->addAction(Q(kExportCsvCommand));

  menu_ = new QMenu(this);
  menu_->addAction(deleteAction_);
  if (insertAction_) menu_->addAction(insertAction_);
  menu_->addSeparator();
  menu_->addActions({copyAction_, pasteAction_, assignAction_});

  connect(undoAction_, &QAction::triggered, this, [this] { Run([this] { form_->Undo(); }); });
  connect(redoAction_, &QAction::triggered, this, [this] { Run([this] { form_->Redo(); }); });
  connect(copyAction_, &QAction::triggered, this,
          [this] { QGuiApplication::clipboard()->setText(Q(form_->CopyText(table_->SelectedRows()))); });
  connect(pasteAction_, &QAction::triggered, this, [this] {
    const std::string text = QGuiApplication::clipboard()->text().toStdString();
    Run([this, text] { form_->Paste(text); });
  });
  connect(assignAction_, &QAction::triggered, this, &RegisterMapWindow::OnAssign);
  connect(importAction_, &QAction::triggered, this, [this] { Run([this] { form_->ImportCsv(); }); });
  connect(exportAction_, &QAction::triggered, this, [this] { Run([this] { form_->ExportCsv(); }); });
  connect(findAction, &QAction::triggered, this, [this] {
    find_->setFocus(Qt::ShortcutFocusReason);
    find_->selectAll();
  });
}

void RegisterMapWindow::Run(const std::function<void()>& command) {
  command();
  Render();
  ApplyFocus();
}

void RegisterMapWindow::OnAssign() {
  const std::vector<int> rows = table_->SelectedRows();
  const QString proposal = Q(form_->ProposedStart(rows));
  std::optional<QString> start;
  if (askStart_) {
    start = askStart_(proposal);
  } else {
    bool ok = false;
    const QString text = QInputDialog::getText(this, Q(kAssignTitle), Q(AssignPrompt(form_->Traits().Kind)),
                                               QLineEdit::Normal, proposal, &ok);
    if (ok) start = text;
  }
  if (!start) return;
  Run([&] { form_->AssignAddresses(rows, start->toStdString()); });
}

void RegisterMapWindow::ToggleTableTree() {
  if (tree_->hasFocus()) {
    table_->setFocus(Qt::TabFocusReason);
  } else if (tree_->isVisible()) {
    tree_->setFocus(Qt::TabFocusReason);
  }
}

void RegisterMapWindow::ApplyFilter() {
  const std::vector<bool> keep = FilterTree(form_->Tree(), find_->text().toStdString());
  const bool filtering = !find_->text().trimmed().isEmpty();
  syncing_ = true;
  for (std::size_t i = 0; i < items_.size() && i < keep.size(); ++i) {
    items_[i]->setHidden(!keep[i]);
    if (filtering && keep[i] && items_[i]->childCount() > 0) items_[i]->setExpanded(true);
  }
  syncing_ = false;
}

QTreeWidgetItem* RegisterMapWindow::ItemOfNode(int node) const {
  return node >= 0 && node < static_cast<int>(items_.size()) ? items_[static_cast<std::size_t>(node)]
                                                             : nullptr;
}

void RegisterMapWindow::Prepare() {
  form_->Open();
  BuildTree();
  shownSelectionSerial_ = -1;
  {
    QSignalBlocker block(find_);
    find_->clear();
  }
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
  // An empty row after a placement shows the address proposed for it.
  if (const auto proposal = form_->Proposal(row)) {
    table_->SetCellText(row, RegisterMapForm::kColAddress, QString::number(*proposal));
    table_->SetCellHint(row, RegisterMapForm::kColAddress, true);
    table_->SetCellToolTip(row, RegisterMapForm::kColAddress, Q(kProposalTooltip));
  } else {
    table_->SetCellText(row, RegisterMapForm::kColAddress, Q(form_->AddressCell(row)));
    table_->SetCellHint(row, RegisterMapForm::kColAddress, false);
    table_->SetCellToolTip(row, RegisterMapForm::kColAddress, Q(OneBasedTooltip(form_->AddressCell(row))));
  }
  table_->SetCellText(row, RegisterMapForm::kColParam, Q(form_->ParamCell(row)));
  table_->SetCellToolTip(row, RegisterMapForm::kColParam, Q(form_->Tooltip(row)));
}

void RegisterMapWindow::Render() {
  table_->setVisible(form_->TableVisible());
  tree_->setVisible(form_->TreeVisible());
  treeTitle_->setVisible(form_->TreeVisible());
  place_->setVisible(form_->PlaceVisible());
  find_->setVisible(form_->TreeVisible());
  addressNote_->setVisible(form_->TableVisible());
  undoAction_->setEnabled(form_->CanUndo());
  redoAction_->setEnabled(form_->CanRedo());
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
    case RegisterMapForm::Focus::Tree:
      tree_->setFocus();
      break;
    case RegisterMapForm::Focus::Table:
    case RegisterMapForm::Focus::Cell:
      table_->setFocus();
      break;
    case RegisterMapForm::Focus::None:
      break;
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
