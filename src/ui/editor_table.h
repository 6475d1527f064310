// EditorTable: the table of the controller list editor and of the register map editors.
// Cells are never edited by Qt itself: every typed character, Backspace and Delete go to a
// key handler (the window hands them to its form model and redraws), navigation keys and
// clicks move the current cell as usual. Tree nodes dropped on a row are announced with
// the row and the node's index.
#pragma once
#include <QTableWidget>
#include <functional>
#include <vector>

namespace r770 {

// MIME type of a parameter tree node being dragged; the data is the node index as text.
inline constexpr const char* kTreeNodeMime = "application/x-r770-tree-node";

class EditorTable : public QTableWidget {
  Q_OBJECT
 public:
  // key: a character, 8 (Backspace) or 0x7F (Delete). Returns true when the key was taken.
  using KeyHandler = std::function<bool(char32_t key)>;

  EditorTable(int rows, int columns, QWidget* parent = nullptr);
  void SetKeyHandler(KeyHandler handler) { onKey_ = std::move(handler); }
  // Sets an item's text (creating the item) only when it differs.
  void SetCellText(int row, int column, const QString& text);
  void SetCellToolTip(int row, int column, const QString& tip);
  // A cell showing a suggestion rather than content: grey italics.
  void SetCellHint(int row, int column, bool hint);
  // Moves the current cell without announcing it. A cell inside the selection keeps the
  // selection (several rows chosen for a command); another cell becomes the selection.
  void SetCurrentQuietly(int row, int column);
  // Lets several rows be selected (the map editors); one cell otherwise.
  void AllowRangeSelection();
  // The rows with a selected cell, else the current row; in table order.
  std::vector<int> SelectedRows() const;

 signals:
  void NodeDropped(int row, int node);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  QTableWidgetItem* ItemAt(int row, int column);
  KeyHandler onKey_;
};

}  // namespace r770
