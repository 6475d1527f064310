#include "modal_windows.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <QtTest>

namespace r770::test {
namespace {

QByteArray CurrentFunction() {
  const char* name = QTest::currentTestFunction();
  return name ? QByteArray(name) : QByteArray();
}

// Once a test function has failed around a modal window, any modal window that opens later
// in that function (a message shown after a cancelled choice, say) is closed as well.
class Sweeper final : public QObject {
 public:
  static void Start() {
    static QPointer<Sweeper> running;
    if (running && running->function_ == CurrentFunction()) return;
    running = new Sweeper(qApp);
  }

 private:
  explicit Sweeper(QObject* parent) : QObject(parent), function_(CurrentFunction()) {
    timer_.setInterval(10);
    connect(&timer_, &QTimer::timeout, this, [this] {
      if (CurrentFunction() != function_) {
        deleteLater();
        timer_.stop();
        return;
      }
      CloseModalWindows();
    });
    timer_.start();
    CloseModalWindows();
  }
  QByteArray function_;
  QTimer timer_;
};

}  // namespace

void WhenModal(const QString& what, std::function<void(QWidget*)> action, QWidget* notThis,
               std::source_location where) {
  auto* timer = new QTimer(qApp);
  timer->setInterval(10);
  auto clock = std::make_shared<QElapsedTimer>();
  clock->start();
  QPointer<QWidget> excluded(notThis);
  const bool hadExclusion = notThis != nullptr;
  const QByteArray function = CurrentFunction();
  QObject::connect(timer, &QTimer::timeout, timer, [=] {
    if (CurrentFunction() != function) {
      // Its test function has ended (it failed otherwise): the windows of the next one are
      // not its business.
      timer->stop();
      timer->deleteLater();
      qWarning("%s: no modal window appeared before the test function ended: %s", function.constData(),
               what.toUtf8().constData());
      return;
    }
    QWidget* w = QApplication::activeModalWidget();
    // The window to leave alone may have closed meanwhile; then nothing is excluded.
    const bool isExcluded = hadExclusion && excluded && w == excluded.data();
    if (w && !isExcluded && w->isVisible()) {
      timer->stop();
      timer->deleteLater();
      action(w);
      if (QTest::currentTestFailed()) Sweeper::Start();
      return;
    }
    if (clock->elapsed() < kModalDeadlineMs) return;
    timer->stop();
    timer->deleteLater();
    const QByteArray message = "no modal window appeared: " + what.toUtf8();
    QTest::qFail(message.constData(), where.file_name(), static_cast<int>(where.line()));
    Sweeper::Start();
  });
  timer->start();
}

void CloseModalWindows() {
  while (QWidget* w = QApplication::activeModalWidget()) {
    if (!w->isVisible()) break;
    if (auto* dialog = qobject_cast<QDialog*>(w)) {
      dialog->done(QDialog::Rejected);
    } else {
      w->close();
    }
    if (QApplication::activeModalWidget() == w) break;  // it refused to close
  }
}

QStringList ButtonTexts(QWidget* box) {
  QStringList texts;
  if (auto* mb = qobject_cast<QMessageBox*>(box))
    for (QAbstractButton* b : mb->buttons()) texts << b->text().remove('&');
  return texts;
}

void Press(QWidget* box, const QString& text, std::source_location where) {
  if (auto* mb = qobject_cast<QMessageBox*>(box)) {
    for (QAbstractButton* b : mb->buttons())
      if (b->text().remove('&') == text) {
        b->click();
        return;
      }
  }
  const QByteArray message = "no button \"" + text.toUtf8() + "\" in " + BoxText(box).toUtf8();
  QTest::qFail(message.constData(), where.file_name(), static_cast<int>(where.line()));
  Sweeper::Start();
}

QString BoxText(QWidget* box) {
  if (auto* mb = qobject_cast<QMessageBox*>(box)) return mb->text();
  return box ? "not a message box: " + QString::fromLatin1(box->metaObject()->className()) + " \"" +
                   box->windowTitle() + "\""
             : QString("no window");
}

}  // namespace r770::test
