// TFNastr: the main window of the configurator.
#pragma once
#include <QMainWindow>

namespace r770 {

class TFNastr : public QMainWindow {
  Q_OBJECT
 public:
  explicit TFNastr(QWidget* parent = nullptr);
};

}  // namespace r770
