#include "small_screen.h"

#include <QAbstractScrollArea>
#include <QPushButton>
#include <QTest>
#include <QWidget>

namespace r770::test {
namespace {

// A button inside a scrolled area may lie out of sight: the area scrolls to it.
bool InScrolledArea(QWidget* w, QWidget* window) {
  for (QWidget* p = w->parentWidget(); p && p != window; p = p->parentWidget())
    if (qobject_cast<QAbstractScrollArea*>(p)) return true;
  return false;
}

}  // namespace

QString FitProblem(QWidget* window, QSize screen) {
  window->resize(screen);
  window->show();
  if (!QTest::qWaitForWindowExposed(window)) return "never shown";
  const QSize min = window->minimumSizeHint();
  if (min.width() > screen.width() || min.height() > screen.height())
    return QString("needs %1x%2").arg(min.width()).arg(min.height());
  if (window->width() > screen.width() || window->height() > screen.height())
    return QString("is %1x%2").arg(window->width()).arg(window->height());
  for (QPushButton* b : window->findChildren<QPushButton*>()) {
    if (!b->isVisible() || InScrolledArea(b, window)) continue;
    const QRect r(b->mapTo(window, QPoint(0, 0)), b->size());
    if (!window->rect().contains(r)) return "\"" + b->text() + "\" is cut";
  }
  return {};
}

}  // namespace r770::test
