// Qt implementations of the core's message boxes, file choices and busy cursor, and the
// small widgets that hand every typed key to a form model.
#pragma once
#include <QAbstractSpinBox>
#include <QLineEdit>
#include <QString>
#include <functional>
#include <string>

#include "common/dialogs.h"

class QAction;
class QMenu;
class QMenuBar;
class QWidget;

namespace r770 {

inline QString Q(const std::string& utf8) { return QString::fromStdString(utf8); }
inline QString Q(const char* utf8) { return QString::fromUtf8(utf8); }
inline std::string S(const QString& text) { return text.toStdString(); }

// Message boxes and file dialogs; each is modal over the window that is active.
class QtDialogs final : public Dialogs {
 public:
  void Information(const std::string& text) override;
  bool Confirm(const std::string& text) override;
  Answer Ask(const std::string& text) override;
  bool ConfirmDefaultNo(const std::string& text) override;
  std::optional<std::string> OpenFile(const std::vector<FileFilter>& filters, int preselected = 0,
                                      const std::string& startFolder = {}) override;
  std::vector<std::string> OpenFiles(const std::vector<FileFilter>& filters, int preselected = 0,
                                     const std::string& startFolder = {}) override;
  std::optional<std::string> SaveFile(const std::vector<FileFilter>& filters, int preselected = 0,
                                      const std::string& startFolder = {}) override;
  std::optional<std::string> ChooseFolder(const std::string& start) override;
};

// The wait cursor, and the event pump that keeps windows painted during long steps.
class QtBusy final : public BusyIndicator {
 public:
  ~QtBusy() override;
  void SetBusy(bool busy) override;
  void PumpEvents() override;

 private:
  int depth_ = 0;
};

// A line edit that gives each typed character (and Backspace) to a handler instead of
// inserting it. A paste (the paste key, the menu, a drop, the middle button) is typed: each
// printable character of the text goes to the handler in turn, so it passes the same key
// filter. Other editing (Delete, cut) goes the usual way.
class KeyLineEdit : public QLineEdit {
  Q_OBJECT
 public:
  using KeyHandler = std::function<void(char32_t key, int selStart, int selLength)>;
  explicit KeyLineEdit(QWidget* parent = nullptr) : QLineEdit(parent) {}
  void SetKeyHandler(KeyHandler handler) { onKey_ = std::move(handler); }
  // Sets the text and the caret without announcing an edit.
  void Show(const std::string& text, int caret = -1);
  // Types text at the selection (or the caret), one character at a time.
  void TypeText(const QString& text);
  // The line edit's standard menu with its paste going through TypeText.
  QMenu* StandardMenu();
  // The paste item of a line edit's standard menu (nullptr: none).
  static QAction* PasteAction(const QMenu& menu);

 signals:
  void Left();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  bool Typing() const { return onKey_ && !isReadOnly(); }
  void Type(char32_t key);

  KeyHandler onKey_;
};

// A spin field whose text, steps and range belong to a form model.
class ModelSpinBox : public QAbstractSpinBox {
  Q_OBJECT
 public:
  explicit ModelSpinBox(QWidget* parent = nullptr);
  KeyLineEdit* Edit() const { return edit_; }
  void stepBy(int steps) override;
  QValidator::State validate(QString&, int&) const override { return QValidator::Acceptable; }

 signals:
  void Stepped(int steps);
  void Left();

 protected:
  void focusOutEvent(QFocusEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  StepEnabled stepEnabled() const override { return StepUpEnabled | StepDownEnabled; }

 private:
  KeyLineEdit* edit_;
};

// Window caption text for the message boxes.
QString BoxCaption();

// Keeps every top-level window of the application inside the available screen area when it
// is shown (smaller screens such as 1366x768 included). Installed once on the application.
void KeepWindowsOnScreen();

// Makes a window's menus reachable from the keyboard: every caption of the bar and of each
// of its menus gets an Alt letter of its own (see WithMnemonics), and F10 in the window opens
// the bar at its first visible, enabled entry. Called once the menus are built.
void KeyboardMenus(QWidget* window, QMenuBar* bar);

}  // namespace r770
