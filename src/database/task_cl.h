// Task_CL: the task object of one controller, read from its task file and the database
// description files it refers to.
#pragma once
#include <string>
#include <vector>

namespace r770 {

class Task_CL {
 public:
  // Loads everything; never throws. The caller inspects Errors().
  Task_CL(const std::string& taskFile, const std::string& taskDir, const std::string& moduleDir,
          const std::string& algorithmDir);
  ~Task_CL();
  Task_CL(const Task_CL&) = delete;
  Task_CL& operator=(const Task_CL&) = delete;

  // The path list: its first line is the task file's full path.
  const std::vector<std::string>& Paths() const { return paths_; }
  const std::string& TaskFilePath() const { return paths_.front(); }
  const std::vector<std::string>& Errors() const { return errors_; }

 private:
  std::vector<std::string> paths_;
  std::vector<std::string> errors_;
};

}  // namespace r770
