// Dialogs and busy indicator fakes for form model tests: answers are queued in advance,
// every box shown is recorded.
#pragma once
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "common/dialogs.h"

namespace r770::test {

class FakeDialogs : public Dialogs {
 public:
  std::vector<std::string> shown;   // every text of an information or confirmation box
  std::deque<bool> confirmAnswers;  // answers to Confirm, in order (default: No)
  // Answers to Ask, in order; when empty, Ask takes the next of confirmAnswers (Yes or No),
  // and without that too the answer is No.
  std::deque<Answer> askAnswers;
  std::vector<std::string> defaultNo;                  // texts of the confirmations whose default is No
  std::deque<std::optional<std::string>> fileAnswers;  // answers to Open/Save/ChooseFolder
  std::deque<std::vector<std::string>> filesAnswers;   // answers to OpenFiles (else one of fileAnswers)
  std::vector<FileFilter> lastFilters;
  int lastPreselected = -1;
  std::string lastStart;  // start folder of the last file or folder choice

  void Information(const std::string& text) override { shown.push_back(text); }
  bool Confirm(const std::string& text) override {
    shown.push_back(text);
    if (confirmAnswers.empty()) return false;
    bool a = confirmAnswers.front();
    confirmAnswers.pop_front();
    return a;
  }
  Answer Ask(const std::string& text) override {
    if (askAnswers.empty()) return Confirm(text) ? Answer::Yes : Answer::No;
    shown.push_back(text);
    Answer a = askAnswers.front();
    askAnswers.pop_front();
    return a;
  }
  bool ConfirmDefaultNo(const std::string& text) override {
    defaultNo.push_back(text);
    return Confirm(text);
  }
  std::optional<std::string> OpenFile(const std::vector<FileFilter>& f, int pre,
                                      const std::string& start) override {
    return Choice(f, pre, start);
  }
  std::optional<std::string> SaveFile(const std::vector<FileFilter>& f, int pre,
                                      const std::string& start) override {
    return Choice(f, pre, start);
  }
  std::vector<std::string> OpenFiles(const std::vector<FileFilter>& f, int pre,
                                     const std::string& start) override {
    if (filesAnswers.empty()) return Dialogs::OpenFiles(f, pre, start);
    lastFilters = f;
    lastPreselected = pre;
    lastStart = start;
    auto a = filesAnswers.front();
    filesAnswers.pop_front();
    return a;
  }
  std::optional<std::string> ChooseFolder(const std::string& start) override {
    lastStart = start;
    return NextFile();
  }

  std::string Last() const { return shown.empty() ? std::string() : shown.back(); }

 private:
  std::optional<std::string> Choice(const std::vector<FileFilter>& f, int pre, const std::string& start) {
    lastFilters = f;
    lastPreselected = pre;
    lastStart = start;
    return NextFile();
  }
  std::optional<std::string> NextFile() {
    if (fileAnswers.empty()) return std::nullopt;
    auto a = fileAnswers.front();
    fileAnswers.pop_front();
    return a;
  }
};

class FakeBusy : public BusyIndicator {
 public:
  int busyOn = 0, busyOff = 0, pumps = 0;
  bool busy = false;
  void SetBusy(bool b) override {
    busy = b;
    (b ? busyOn : busyOff)++;
  }
  void PumpEvents() override { ++pumps; }
};

}  // namespace r770::test
