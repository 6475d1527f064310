// "Экспорт карты для ведущего": draws ExportForm (format, link fields, byte order, maps, the
// preview) and hands every change to it.
#pragma once
#include <QDialog>
#include <array>

#include "export/export_form.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace r770 {

class ExportWindow : public QDialog {
  Q_OBJECT
 public:
  ExportWindow(const Configuration& cfg, const ProgramSettings& settings, Dialogs& dialogs, QWidget* parent);

  ExportForm& Form() { return form_; }
  // Fills the fields from the settings and shows the window modally.
  void Open();
  // The same without the modal loop (tests).
  void Prepare();

  QComboBox* FormatBox() const { return format_; }
  QComboBox* OrderBox() const { return order_; }
  QLineEdit* HostEdit() const { return host_; }
  QLineEdit* PortEdit() const { return port_; }
  QLineEdit* UnitEdit() const { return unit_; }
  QCheckBox* MapBox(MapKind kind) const { return maps_[static_cast<std::size_t>(kind)]; }
  QPlainTextEdit* Preview() const { return preview_; }
  QLabel* Status() const { return status_; }
  QPushButton* SaveButton() const { return save_; }

 private:
  void Render();

  ExportForm form_;
  QComboBox* format_ = nullptr;
  QComboBox* order_ = nullptr;
  QLineEdit* host_ = nullptr;
  QLineEdit* port_ = nullptr;
  QLineEdit* unit_ = nullptr;
  std::array<QCheckBox*, 4> maps_{};
  QPlainTextEdit* preview_ = nullptr;
  QLabel* status_ = nullptr;
  QPushButton* save_ = nullptr;
};

}  // namespace r770
