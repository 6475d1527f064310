#include "scripted_dialogs.h"

#include <QtTest>

namespace r770::test {

std::optional<std::string> ScriptedDialogs::OpenFile(const std::vector<FileFilter>& filters, int preselected,
                                                     const std::string& startFolder) {
  return Next({Choice::Open, filters, preselected, startFolder});
}

std::optional<std::string> ScriptedDialogs::SaveFile(const std::vector<FileFilter>& filters, int preselected,
                                                     const std::string& startFolder) {
  return Next({Choice::Save, filters, preselected, startFolder});
}

std::optional<std::string> ScriptedDialogs::ChooseFolder(const std::string& start) {
  return Next({Choice::Folder, {}, -1, start});
}

std::optional<std::string> ScriptedDialogs::Next(ChoiceSeen seen) {
  choices.push_back(std::move(seen));
  if (files.empty()) {
    QTest::qFail("a file choice the test did not answer", __FILE__, __LINE__);
    return std::nullopt;
  }
  std::optional<std::string> answer = std::move(files.front());
  files.pop_front();
  return answer;
}

}  // namespace r770::test
