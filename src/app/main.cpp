#include <QApplication>

#include "ui/main_window.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  r770::TFNastr window;
  window.move(0, 0);
  window.show();
  return app.exec();
}
