// TFWay: the database path window ("Путь к базе данных ЛОРИС-8"), drawing DatabasePathForm.
#pragma once
#include <QDialog>
#include <array>

#include "document/database_path_form.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace r770 {

class TFWay : public QDialog {
  Q_OBJECT
 public:
  TFWay(Dialogs& dialogs, ProgramSettings& settings, const std::string& settingsPath, QWidget* parent);

  DatabasePathForm& Form() { return form_; }
  // Fills the window from the settings and shows it modally.
  void Open();
  // Fills the window from the settings without showing it.
  void Prepare();

  QLineEdit* FieldEdit(DatabasePathForm::Field f) const { return edits_[static_cast<std::size_t>(f)]; }
  QToolButton* BrowseButton(DatabasePathForm::Field f) const { return browse_[static_cast<std::size_t>(f)]; }
  QToolButton* ManualToggle() const { return manual_; }
  QLabel* MessageLine() const { return message_; }
  QPushButton* SaveButton() const { return save_; }

  void reject() override;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void Render();

  DatabasePathForm form_;
  std::array<QLineEdit*, 4> edits_{};
  std::array<QLabel*, 4> labels_{};
  std::array<QToolButton*, 4> browse_{};
  QToolButton* manual_ = nullptr;
  QLabel* message_ = nullptr;
  QPushButton* save_ = nullptr;
};

}  // namespace r770
