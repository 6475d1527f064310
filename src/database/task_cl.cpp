#include "database/task_cl.h"

namespace r770 {

// Placeholder until the database reader lands: records the path and reports that
// nothing was read, so no caller mistakes it for a loaded controller.
Task_CL::Task_CL(const std::string& taskFile, const std::string&, const std::string&,
                 const std::string&) {
  paths_.push_back(taskFile);
  errors_.push_back("Обнаружены ошибки в файлах описания очереди задач");
}

Task_CL::~Task_CL() = default;

}  // namespace r770
