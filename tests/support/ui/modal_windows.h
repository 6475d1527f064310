// Acting on modal windows from a QtTest test. A window opened with exec() blocks the test
// until it closes, so the test schedules what it does to that window before it opens one.
#pragma once
#include <QString>
#include <QStringList>
#include <functional>
#include <source_location>

class QWidget;

namespace r770::test {

// How long WhenModal waits for its window.
inline constexpr int kModalDeadlineMs = 10000;

// Runs action on the next visible modal window other than notThis. what names the window
// waited for. When none appears before the deadline, the test fails with
// "no modal window appeared: <what>" at the caller's line and every modal window is closed
// (and kept closed until the test function ends), so the exec() the test is blocked in
// returns instead of hanging. An action that fails a check ends the same way. A wait still
// running when its test function ends is dropped with a warning (it never acts on the
// windows of the next function).
void WhenModal(const QString& what, std::function<void(QWidget*)> action, QWidget* notThis = nullptr,
               std::source_location where = std::source_location::current());

// Closes every visible modal window, innermost first, without asking their windows anything
// (QDialog::done(Rejected); other widgets are closed).
void CloseModalWindows();

// The texts of a message box's buttons, mnemonic marks removed; empty when box is not one.
QStringList ButtonTexts(QWidget* box);
// Presses the message box's button with the given text; fails the test when there is none.
void Press(QWidget* box, const QString& text, std::source_location where = std::source_location::current());
// The text of a message box; a note saying what the window is when it is not one.
QString BoxText(QWidget* box);

}  // namespace r770::test
