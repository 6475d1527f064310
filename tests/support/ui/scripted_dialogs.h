// A Dialogs for window tests: message boxes are the program's own (QtDialogs, answered with
// WhenModal), file and folder choices are answered by the test from a queue, without any
// file dialog, and each choice is recorded.
#pragma once
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "common/dialogs.h"
#include "ui/qt_support.h"

namespace r770::test {

class ScriptedDialogs final : public Dialogs {
 public:
  enum class Choice { Open, Save, Folder };
  struct ChoiceSeen {
    Choice kind;
    std::vector<FileFilter> filters;
    int preselected = -1;
    std::string start;  // the start folder (of a folder choice: its start)
  };

  // Answers to the coming file and folder choices, in order (nullopt: cancelled). A choice
  // that finds the queue empty fails the test and is cancelled.
  std::deque<std::optional<std::string>> files;
  std::vector<ChoiceSeen> choices;

  void Information(const std::string& text) override { boxes_.Information(text); }
  bool Confirm(const std::string& text) override { return boxes_.Confirm(text); }
  Answer Ask(const std::string& text) override { return boxes_.Ask(text); }
  std::optional<std::string> OpenFile(const std::vector<FileFilter>& filters, int preselected,
                                      const std::string& startFolder) override;
  std::optional<std::string> SaveFile(const std::vector<FileFilter>& filters, int preselected,
                                      const std::string& startFolder) override;
  std::optional<std::string> ChooseFolder(const std::string& start) override;

 private:
  std::optional<std::string> Next(ChoiceSeen seen);
  QtDialogs boxes_;
};

}  // namespace r770::test
