// TFTask: the controller list editor window ("Определение списка контроллеров"). It draws a
// ControllerListForm and forwards every event to it; the form does the work on the live
// configuration.
#pragma once
#include <QDialog>
#include <memory>

#include "editors/controller_list_form.h"

class QAction;
class QLabel;
class QMenu;
class QPushButton;

namespace r770 {

class BusyIndicator;
class Dialogs;
class EditorTable;

class TFTask : public QDialog {
  Q_OBJECT
 public:
  TFTask(Configuration& cfg, const ProgramSettings& settings, Dialogs& dialogs, BusyIndicator& busy,
         QWidget* parent = nullptr);
  ~TFTask() override;

  ControllerListForm& Form() { return *form_; }
  EditorTable* Table() const { return table_; }
  QLabel* Title() const { return title_; }
  QLabel* MessageLine() const { return message_; }
  QLabel* NotFoundLabel() const { return notFound_; }
  QPushButton* ApplyButton() const { return apply_; }
  QAction* AddAction() const { return add_; }
  QAction* RemoveAction() const { return remove_; }
  QAction* EnterAction() const { return enter_; }
  // The context menu's commands also as buttons below the table.
  QPushButton* AddButton() const { return addButton_; }
  QPushButton* RemoveButton() const { return removeButton_; }
  QPushButton* EnterButton() const { return enterButton_; }

  // Opens the editor without entering a modal loop.
  void Prepare();
  // Opens the editor modally; returns when it has closed.
  void Open();

  // Every way of closing ends here: the form decides what closing without "Применить" undoes.
  void done(int result) override;
  // The close button and Esc end here: changes not applied are offered first.
  void reject() override;

 private:
  void Render();
  void OnCurrentCellChanged(int row, int column);
  void OnContextMenu(const QPoint& pos);

  std::unique_ptr<ControllerListForm> form_;
  QLabel* title_ = nullptr;
  EditorTable* table_ = nullptr;
  QLabel* message_ = nullptr;
  QLabel* notFound_ = nullptr;
  QPushButton* apply_ = nullptr;
  QPushButton* addButton_ = nullptr;
  QPushButton* removeButton_ = nullptr;
  QPushButton* enterButton_ = nullptr;
  QMenu* menu_ = nullptr;
  QAction* add_ = nullptr;
  QAction* remove_ = nullptr;
  QAction* enter_ = nullptr;
  bool syncing_ = false;
  bool open_ = false;
};

}  // namespace r770
