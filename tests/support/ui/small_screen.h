// Whether a window fits a small screen: its least size, its size and every visible push
// button (outside scrolled areas) inside width x height.
#pragma once
#include <QSize>
#include <QString>

class QWidget;

namespace r770::test {

// Resizes the window to the screen, shows it and waits until it is exposed. Empty when it
// fits; else what does not ("needs 1100x640", "\"Применить\" is cut").
QString FitProblem(QWidget* window, QSize screen);

}  // namespace r770::test
