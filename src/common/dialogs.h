// Message boxes and file choices, implemented by the Qt layer and faked in tests.
#pragma once
#include <optional>
#include <string>
#include <vector>

namespace r770 {

struct FileFilter {
  std::string label;    // "*.bmt", "All files(*.*)"
  std::string pattern;  // "*.bmt", "*.*"
};

// Splits a filter text "label|pattern|label|pattern" into its pairs.
std::vector<FileFilter> ParseFilterText(const std::string& text);

// The nearest existing folder at or above path ("/a/b/c.bmt" gives "/a/b" when it exists);
// empty when path is empty or relative and nothing of it exists.
std::string ExistingFolderOf(const std::string& path);

class Dialogs {
 public:
  // The answer to a question that may also be cancelled.
  enum class Answer { Yes, No, Cancel };

  virtual ~Dialogs() = default;
  // Information box with one OK button (also used for plain message boxes).
  virtual void Information(const std::string& text) = 0;
  // Confirmation box with Yes and No; true for Yes.
  virtual bool Confirm(const std::string& text) = 0;
  // Question box with Yes, No and Cancel; Esc and closing the box answer Cancel.
  virtual Answer Ask(const std::string& text) = 0;
  // The same with No as the default button, for commands that act on the plant: Enter (or
  // a key pressed by mistake) answers No.
  virtual bool ConfirmDefaultNo(const std::string& text) { return Confirm(text); }
  // File choices; nullopt when cancelled. preselected: index of the filter shown first;
  // startFolder: where the choice opens (empty: wherever the window system likes).
  virtual std::optional<std::string> OpenFile(const std::vector<FileFilter>& filters, int preselected = 0,
                                              const std::string& startFolder = {}) = 0;
  virtual std::optional<std::string> SaveFile(const std::vector<FileFilter>& filters, int preselected = 0,
                                              const std::string& startFolder = {}) = 0;
  virtual std::optional<std::string> ChooseFolder(const std::string& start) = 0;
  // Several files chosen in one open dialog; empty when cancelled. By default the choice
  // of one file.
  virtual std::vector<std::string> OpenFiles(const std::vector<FileFilter>& filters, int preselected = 0,
                                             const std::string& startFolder = {});
};

// The wait cursor; the Qt layer shows it, tests count it.
class BusyIndicator {
 public:
  virtual ~BusyIndicator() = default;
  virtual void SetBusy(bool busy) = 0;
  // Lets pending window input run (keeps the window painted, notices "Прервать").
  virtual void PumpEvents() = 0;
};

}  // namespace r770
