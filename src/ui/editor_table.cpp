#include "ui/editor_table.h"

#include <QDropEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QSignalBlocker>
#include <algorithm>

namespace r770 {

EditorTable::EditorTable(int rows, int columns, QWidget* parent) : QTableWidget(rows, columns, parent) {
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectItems);
  setTabKeyNavigation(true);
  setContextMenuPolicy(Qt::CustomContextMenu);
  setAcceptDrops(true);
  viewport()->setAcceptDrops(true);
  setDropIndicatorShown(true);
  setDragDropMode(QAbstractItemView::DropOnly);
  verticalHeader()->setVisible(false);
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
}

QTableWidgetItem* EditorTable::ItemAt(int row, int column) {
  QTableWidgetItem* it = item(row, column);
  if (!it) {
    it = new QTableWidgetItem;
    it->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDropEnabled);
    setItem(row, column, it);
  }
  return it;
}

void EditorTable::SetCellText(int row, int column, const QString& text) {
  QTableWidgetItem* it = ItemAt(row, column);
  if (it->text() != text) it->setText(text);
}

void EditorTable::SetCellToolTip(int row, int column, const QString& tip) {
  QTableWidgetItem* it = ItemAt(row, column);
  if (it->toolTip() != tip) it->setToolTip(tip);
}

void EditorTable::SetCellHint(int row, int column, bool hint) {
  QTableWidgetItem* it = ItemAt(row, column);
  QFont font = it->font();
  const QBrush brush = hint ? QBrush(Qt::gray) : QBrush();
  if (font.italic() != hint) {
    font.setItalic(hint);
    it->setFont(font);
  }
  if (it->foreground() != brush) it->setForeground(brush);
}

void EditorTable::SetCurrentQuietly(int row, int column) {
  QSignalBlocker block(this);
  const QModelIndex index = model()->index(row, column);
  if (selectionModel()->isSelected(index)) {
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
  } else {
    setCurrentCell(row, column);
  }
  viewport()->update();
}

void EditorTable::AllowRangeSelection() { setSelectionMode(QAbstractItemView::ExtendedSelection); }

std::vector<int> EditorTable::SelectedRows() const {
  std::vector<int> rows;
  for (const QModelIndex& index : selectionModel()->selectedIndexes()) rows.push_back(index.row());
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  if (rows.empty() && currentRow() >= 0) rows.push_back(currentRow());
  return rows;
}

void EditorTable::keyPressEvent(QKeyEvent* event) {
  const Qt::KeyboardModifiers mods =
      event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
  if (onKey_ && !mods) {
    char32_t key = 0;
    if (event->key() == Qt::Key_Backspace) {
      key = 8;
    } else if (event->key() == Qt::Key_Delete) {
      key = 0x7F;
    } else {
      const QList<uint> chars = event->text().toUcs4();
      if (chars.size() == 1 && QChar::isPrint(chars.front())) key = chars.front();
    }
    if (key != 0) {
      // A character never moves the cursor (no keyboard search): the model takes it or not.
      onKey_(key);
      event->accept();
      return;
    }
  }
  QTableWidget::keyPressEvent(event);
}

void EditorTable::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasFormat(kTreeNodeMime)) {
    event->acceptProposedAction();
  } else {
    event->ignore();
  }
}

void EditorTable::dragMoveEvent(QDragMoveEvent* event) {
  if (event->mimeData()->hasFormat(kTreeNodeMime) && rowAt(event->position().toPoint().y()) >= 0) {
    event->acceptProposedAction();
  } else {
    event->ignore();
  }
}

void EditorTable::dropEvent(QDropEvent* event) {
  const QMimeData* mime = event->mimeData();
  const int row = rowAt(event->position().toPoint().y());
  if (!mime->hasFormat(kTreeNodeMime) || row < 0) {
    event->ignore();
    return;
  }
  bool ok = false;
  const int node = QString::fromLatin1(mime->data(kTreeNodeMime)).toInt(&ok);
  if (!ok) {
    event->ignore();
    return;
  }
  event->acceptProposedAction();
  emit NodeDropped(row, node);
}

}  // namespace r770
