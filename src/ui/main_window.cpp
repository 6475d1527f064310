#include "ui/main_window.h"

namespace r770 {

TFNastr::TFNastr(QWidget* parent) : QMainWindow(parent) {
  setWindowTitle(QString::fromUtf8("Настройка R-770 Modbus/TCP") + QString::fromUtf8("(версия 10)"));
  resize(640, 420);
}

}  // namespace r770
