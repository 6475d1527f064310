// RegisterMapWindow: the one window class of the four register map editors. It draws a
// RegisterMapForm (table, parameter tree, commands) and forwards every event to it; what
// differs between the editors comes from the form's traits. TFModbusTU, TFModbusTC,
// TFTIFloat and TFInputReg name the four editors.
#pragma once
#include <QDialog>
#include <QTreeWidget>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "editors/register_map_form.h"
#include "ui/print_table.h"

class QLabel;
class QLineEdit;
class QMenuBar;
class QPushButton;
class QMenu;
class QAction;
class QPrinter;

namespace r770 {

class Dialogs;
class EditorTable;

// The parameter tree; a dragged node carries its index (kTreeNodeMime).
class ParamTreeWidget : public QTreeWidget {
  Q_OBJECT
 public:
  explicit ParamTreeWidget(QWidget* parent = nullptr);
  static int NodeOf(const QTreeWidgetItem* item);

 signals:
  // Enter on a node: the node is to be placed.
  void PlaceRequested(int node);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  QMimeData* mimeData(const QList<QTreeWidgetItem*>& items) const override;
  QStringList mimeTypes() const override;
};

class RegisterMapWindow : public QDialog {
  Q_OBJECT
 public:
  RegisterMapWindow(MapKind kind, Configuration& cfg, const ProgramSettings& settings, Dialogs& dialogs,
                    QWidget* parent = nullptr);
  ~RegisterMapWindow() override;

  RegisterMapForm& Form() { return *form_; }
  EditorTable* Table() const { return table_; }
  ParamTreeWidget* Tree() const { return tree_; }
  QLabel* TreeTitle() const { return treeTitle_; }
  QPushButton* PlaceButton() const { return place_; }
  QPushButton* ApplyButton() const { return apply_; }
  QPushButton* PrintButton() const { return print_; }
  QPushButton* PreviewButton() const { return preview_; }
  QAction* DeleteAction() const { return deleteAction_; }
  QAction* InsertAction() const { return insertAction_; }
  QAction* UndoAction() const { return undoAction_; }
  QAction* RedoAction() const { return redoAction_; }
  QAction* CopyAction() const { return copyAction_; }
  QAction* PasteAction() const { return pasteAction_; }
  QAction* AssignAction() const { return assignAction_; }
  QAction* ImportAction() const { return importAction_; }
  QAction* ExportAction() const { return exportAction_; }
  QMenuBar* MenuBar() const { return menuBar_; }
  QLineEdit* FindField() const { return find_; }
  QLabel* AddressNote() const { return addressNote_; }
  // Asks for the start of "Назначить адреса…" (an input box; tests answer it themselves).
  using StartAsker = std::function<std::optional<QString>(const QString& proposal)>;
  void SetStartAsker(StartAsker asker) { askStart_ = std::move(asker); }
  // The tree item of a node index (nullptr when none).
  QTreeWidgetItem* ItemOfNode(int node) const;

  // Opens the editor (model, tree, table) without entering a modal loop.
  void Prepare();
  // Opens the editor modally; returns when it has closed.
  void Open();

  // Paints the table to print on a printer (the same that "Печать" prints after its
  // dialog). False when nothing was printed.
  bool PrintTo(QPrinter& printer);

  // The close button and Esc end here: changes not applied are offered first.
  void reject() override;

 private:
  void BuildTree();
  void Render();
  void RenderRow(int row);
  void SyncTreeSelection();
  void ApplyFocus();
  void OnCurrentCellChanged(int row, int column);
  void OnContextMenu(const QPoint& pos);
  void OnPrint();
  void OnPreview();
  void OnAssign();
  void ApplyFilter();
  void ToggleTableTree();
  // Runs a command of the form on the table and redraws.
  void Run(const std::function<void()>& command);
  void BuildMenus();
  void BuildTable();
  void BuildSide();
  void LayOut();
  void ConnectTree();
  void ConnectTable();
  void ConnectButtons();
  PrintColumnWidths ColumnWidths() const;

  std::unique_ptr<RegisterMapForm> form_;
  EditorTable* table_ = nullptr;
  ParamTreeWidget* tree_ = nullptr;
  QLabel* treeTitle_ = nullptr;
  QPushButton* place_ = nullptr;
  QPushButton* apply_ = nullptr;
  QPushButton* print_ = nullptr;
  QPushButton* preview_ = nullptr;
  QMenu* menu_ = nullptr;
  QAction* deleteAction_ = nullptr;
  QAction* insertAction_ = nullptr;
  QAction* undoAction_ = nullptr;
  QAction* redoAction_ = nullptr;
  QAction* copyAction_ = nullptr;
  QAction* pasteAction_ = nullptr;
  QAction* assignAction_ = nullptr;
  QAction* importAction_ = nullptr;
  QAction* exportAction_ = nullptr;
  QMenuBar* menuBar_ = nullptr;
  QLineEdit* find_ = nullptr;
  QLabel* addressNote_ = nullptr;
  StartAsker askStart_;
  std::vector<QTreeWidgetItem*> items_;  // by node index
  int shownSelectionSerial_ = -1;
  bool syncing_ = false;
};

// The four editors.
class TFModbusTU : public RegisterMapWindow {  // Coils
 public:
  TFModbusTU(Configuration& cfg, const ProgramSettings& s, Dialogs& d, QWidget* parent = nullptr)
      : RegisterMapWindow(MapKind::TU, cfg, s, d, parent) {}
};
class TFModbusTC : public RegisterMapWindow {  // Discrete Inputs
 public:
  TFModbusTC(Configuration& cfg, const ProgramSettings& s, Dialogs& d, QWidget* parent = nullptr)
      : RegisterMapWindow(MapKind::TC, cfg, s, d, parent) {}
};
class TFTIFloat : public RegisterMapWindow {  // Holding Registers
 public:
  TFTIFloat(Configuration& cfg, const ProgramSettings& s, Dialogs& d, QWidget* parent = nullptr)
      : RegisterMapWindow(MapKind::TIFloat, cfg, s, d, parent) {}
};
class TFInputReg : public RegisterMapWindow {  // Input Registers
 public:
  TFInputReg(Configuration& cfg, const ProgramSettings& s, Dialogs& d, QWidget* parent = nullptr)
      : RegisterMapWindow(MapKind::InputReg, cfg, s, d, parent) {}
};

}  // namespace r770
