#include "ui/qt_support.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>

#include "common/key_filter.h"
#include "common/mnemonics.h"
#include "document/main_window_form.h"

namespace r770 {
namespace {

// Gives the captions of one menu (or of the bar) their Alt letters, then does the same in
// every submenu.
void MarkMnemonics(const QList<QAction*>& actions) {
  std::vector<std::string> captions;
  for (QAction* a : actions) captions.push_back(a->isSeparator() ? std::string() : S(a->text()));
  const std::vector<std::string> marked = WithMnemonics(captions);
  for (qsizetype i = 0; i < actions.size(); ++i) {
    QAction* a = actions[i];
    if (!a->isSeparator()) a->setText(Q(marked[static_cast<std::size_t>(i)]));  // the same text: no change
    if (QMenu* menu = a->menu()) MarkMnemonics(menu->actions());
  }
}

QWidget* BoxParent() {
  if (QWidget* w = QApplication::activeModalWidget()) return w;
  return QApplication::activeWindow();
}

// "label|pattern" pairs as a Qt filter list; "*.*" means every file.
QString FilterList(const std::vector<FileFilter>& filters, int preselected, QString* selected) {
  QStringList list;
  for (const FileFilter& f : filters) {
    QString pattern = Q(f.pattern);
    if (pattern == "*.*") pattern = "*";
    list << Q(f.label) + " (" + pattern + ")";
  }
  if (preselected >= 0 && preselected < list.size()) *selected = list[preselected];
  return list.join(";;");
}

std::optional<std::string> Chosen(const QString& path) {
  if (path.isEmpty()) return std::nullopt;
  return S(path);
}

}  // namespace

QString BoxCaption() { return Q(kMainCaption); }

namespace {

class ScreenFit final : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Show && watched->isWidgetType()) {
      auto* w = static_cast<QWidget*>(watched);
      if (w->isWindow() && !w->isMaximized() && w->screen()) Fit(w, w->screen()->availableGeometry());
    }
    return false;
  }

 private:
  static void Fit(QWidget* w, const QRect& area) {
    // The frame (caption, borders) takes its share of the area too.
    const QSize frame = w->frameGeometry().size() - w->geometry().size();
    const QSize room = area.size() - frame;
    if (w->width() > room.width() || w->height() > room.height())
      w->resize(qMin(w->width(), room.width()), qMin(w->height(), room.height()));
    QRect g = w->frameGeometry();
    if (!area.contains(g)) {
      g.moveLeft(qBound(area.left(), g.left(), area.right() - g.width() + 1));
      g.moveTop(qBound(area.top(), g.top(), area.bottom() - g.height() + 1));
      w->move(g.topLeft());
    }
  }
};

}  // namespace

void KeepWindowsOnScreen() {
  static ScreenFit* fit = nullptr;
  if (fit || !qApp) return;
  fit = new ScreenFit(qApp);
  qApp->installEventFilter(fit);
}

void QtDialogs::Information(const std::string& text) {
  QMessageBox box(QMessageBox::Information, BoxCaption(), Q(text), QMessageBox::Ok, BoxParent());
  box.button(QMessageBox::Ok)->setText(Q(kButtonOk));
  box.exec();
}

namespace {

bool AskYesNo(const std::string& text, QMessageBox::StandardButton defaultButton) {
  QMessageBox box(QMessageBox::Question, BoxCaption(), Q(text), QMessageBox::Yes | QMessageBox::No,
                  BoxParent());
  box.button(QMessageBox::Yes)->setText(Q(kButtonYes));
  box.button(QMessageBox::No)->setText(Q(kButtonNo));
  box.setDefaultButton(defaultButton);
  return box.exec() == QMessageBox::Yes;
}

}  // namespace

bool QtDialogs::Confirm(const std::string& text) { return AskYesNo(text, QMessageBox::Yes); }

bool QtDialogs::ConfirmDefaultNo(const std::string& text) { return AskYesNo(text, QMessageBox::No); }

Dialogs::Answer QtDialogs::Ask(const std::string& text) {
  QMessageBox box(QMessageBox::Question, BoxCaption(), Q(text),
                  QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, BoxParent());
  box.button(QMessageBox::Yes)->setText(Q(kButtonYes));
  box.button(QMessageBox::No)->setText(Q(kButtonNo));
  box.button(QMessageBox::Cancel)->setText(Q(kButtonCancel));
  box.setDefaultButton(QMessageBox::Yes);
  box.setEscapeButton(QMessageBox::Cancel);
  switch (box.exec()) {
    case QMessageBox::Yes:
      return Answer::Yes;
    case QMessageBox::No:
      return Answer::No;
    default:
      return Answer::Cancel;
  }
}

std::optional<std::string> QtDialogs::OpenFile(const std::vector<FileFilter>& filters, int preselected,
                                               const std::string& startFolder) {
  QString selected;
  QString list = FilterList(filters, preselected, &selected);
  return Chosen(
      QFileDialog::getOpenFileName(BoxParent(), Q(kOpenDialogTitle), Q(startFolder), list, &selected));
}

std::vector<std::string> QtDialogs::OpenFiles(const std::vector<FileFilter>& filters, int preselected,
                                              const std::string& startFolder) {
  QString selected;
  QString list = FilterList(filters, preselected, &selected);
  std::vector<std::string> out;
  for (const QString& f :
       QFileDialog::getOpenFileNames(BoxParent(), Q(kOpenDialogTitle), Q(startFolder), list, &selected))
    out.push_back(f.toStdString());
  return out;
}

std::optional<std::string> QtDialogs::SaveFile(const std::vector<FileFilter>& filters, int preselected,
                                               const std::string& startFolder) {
  QString selected;
  QString list = FilterList(filters, preselected, &selected);
  // The program asks about replacing a file itself, after it has completed the name.
  return Chosen(QFileDialog::getSaveFileName(BoxParent(), Q(kSaveDialogTitle), Q(startFolder), list,
                                             &selected, QFileDialog::DontConfirmOverwrite));
}

std::optional<std::string> QtDialogs::ChooseFolder(const std::string& start) {
  return Chosen(QFileDialog::getExistingDirectory(BoxParent(), Q(kFolderDialogTitle), Q(start)));
}

QtBusy::~QtBusy() {
  while (depth_ > 0) {
    QApplication::restoreOverrideCursor();
    --depth_;
  }
}

void QtBusy::SetBusy(bool busy) {
  if (busy) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ++depth_;
  } else if (depth_ > 0) {
    QApplication::restoreOverrideCursor();
    --depth_;
  }
}

void QtBusy::PumpEvents() { QCoreApplication::processEvents(); }

void KeyLineEdit::Show(const std::string& text, int caret) {
  QString t = Q(text);
  if (this->text() != t) setText(t);
  if (caret >= 0) setCursorPosition(caret);
}

void KeyLineEdit::Type(char32_t key) {
  const int selStart = hasSelectedText() ? selectionStart() : cursorPosition();
  const int selLength = hasSelectedText() ? static_cast<int>(selectedText().size()) : 0;
  onKey_(key, selStart, selLength);
}

void KeyLineEdit::TypeText(const QString& text) {
  if (!Typing()) return;
  for (char32_t c : text.toUcs4())
    if (QChar::isPrint(c)) Type(c);
}

void KeyLineEdit::keyPressEvent(QKeyEvent* event) {
  if (Typing() && event->matches(QKeySequence::Paste)) {
    TypeText(QGuiApplication::clipboard()->text());
    event->accept();
    return;
  }
  const Qt::KeyboardModifiers mods =
      event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
  const QString text = event->text();
  bool backspace = event->key() == Qt::Key_Backspace;
  bool printable = !mods && text.size() == 1 && text[0].isPrint();
  if (!Typing() || (!backspace && !printable)) {
    QLineEdit::keyPressEvent(event);
    return;
  }
  Type(backspace ? kBackspace : static_cast<char32_t>(text[0].unicode()));
  event->accept();
}

QAction* KeyLineEdit::PasteAction(const QMenu& menu) {
  // Named in newer Qt versions; otherwise known by its caption (before the shortcut).
  for (QAction* action : menu.actions())
    if (action->objectName() == QStringLiteral("edit-paste") ||
        action->text().section('\t', 0, 0) == QLineEdit::tr("&Paste"))
      return action;
  return nullptr;
}

QMenu* KeyLineEdit::StandardMenu() {
  QMenu* menu = createStandardContextMenu();
  if (QAction* paste = PasteAction(*menu); paste && onKey_) {
    paste->disconnect(this);
    connect(paste, &QAction::triggered, this, [this] { TypeText(QGuiApplication::clipboard()->text()); });
  }
  return menu;
}

void KeyLineEdit::contextMenuEvent(QContextMenuEvent* event) {
  QMenu* menu = StandardMenu();
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->popup(event->globalPos());
}

void KeyLineEdit::dropEvent(QDropEvent* event) {
  if (!Typing() || !event->mimeData()->hasText()) {
    QLineEdit::dropEvent(event);
    return;
  }
  setCursorPosition(cursorPositionAt(event->position().toPoint()));
  TypeText(event->mimeData()->text());
  event->acceptProposedAction();
}

void KeyLineEdit::mouseReleaseEvent(QMouseEvent* event) {
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (Typing() && event->button() == Qt::MiddleButton && clipboard->supportsSelection() &&
      rect().contains(event->position().toPoint())) {
    TypeText(clipboard->text(QClipboard::Selection));
    event->accept();
    return;
  }
  QLineEdit::mouseReleaseEvent(event);
}

void KeyLineEdit::focusOutEvent(QFocusEvent* event) {
  QLineEdit::focusOutEvent(event);
  emit Left();
}

ModelSpinBox::ModelSpinBox(QWidget* parent) : QAbstractSpinBox(parent), edit_(new KeyLineEdit(this)) {
  setLineEdit(edit_);
  setKeyboardTracking(true);
}

void ModelSpinBox::stepBy(int steps) { emit Stepped(steps); }

// The spin box's menu: the field's own (its paste typed) and the two steps.
void ModelSpinBox::contextMenuEvent(QContextMenuEvent* event) {
  QMenu* menu = edit_->StandardMenu();
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->addSeparator();
  connect(menu->addAction(QAbstractSpinBox::tr("&Step up")), &QAction::triggered, this,
          [this] { stepBy(1); });
  connect(menu->addAction(QAbstractSpinBox::tr("Step &down")), &QAction::triggered, this,
          [this] { stepBy(-1); });
  menu->popup(event->globalPos());
  event->accept();
}

void ModelSpinBox::focusOutEvent(QFocusEvent* event) {
  QAbstractSpinBox::focusOutEvent(event);
  emit Left();
}

void KeyboardMenus(QWidget* window, QMenuBar* bar) {
  MarkMnemonics(bar->actions());
  auto* key = new QShortcut(QKeySequence(Qt::Key_F10), window);
  QObject::connect(key, &QShortcut::activated, bar, [bar] {
    if (!bar->isEnabled() || !bar->isVisible()) return;
    for (QAction* a : bar->actions())
      if (a->isVisible() && a->isEnabled() && !a->isSeparator()) {
        bar->setFocus(Qt::ShortcutFocusReason);
        bar->setActiveAction(a);
        return;
      }
  });
}

}  // namespace r770
