// Task_CL: the task object of one controller, read from its task file and the database
// description files it refers to (module file, algorithm files, system task file, value
// file, access file). The database is only read, never written.
#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace r770 {

namespace db {
class FolderIndex;
}

// Messages of a failed load.
inline constexpr const char* kNoTaskFileMessage = "Отсутствут файл описания очереди задач ";
inline constexpr const char* kNoModuleFileMessage = "Отсутствут файл описания модуля ";
inline constexpr const char* kFaultyTaskFilesMessage = "Обнаружены ошибки в файлах описания очереди задач";

// Header of a task file (128 bytes).
struct TaskHeader {
  std::uint16_t Nset = 0;                    // network number; its low byte is the controller's number
  std::uint16_t ModuleType = 0;              // names the module, system task and access files
  std::uint16_t Count = 0;                   // task entries that follow
  std::array<std::uint32_t, 7> WordsAt68{};  // taken from the system task file when it is read
  std::array<std::uint32_t, 7> WordsAt96{};
};

// One task of the task queue (80 bytes).
struct TaskEntry {
  std::string FullName;     // up to 50 characters
  std::string ShortName;    // up to 8; the algorithm's short name when the file has none
  std::int16_t TaskNo = 0;  // system tasks: -1, -2, ... in file order
  std::int16_t AlgorithmNo = 0;
  std::uint16_t Access = 0;       // four 2-bit groups
  std::uint8_t Flags = 0;         // bit 0: in use
  std::int16_t StoredTaskNo = 0;  // the task number as stored in the file
  std::uint16_t ParamCount = 0;   // TaskParam records that follow the entry

  bool InUse() const { return (Flags & 1) != 0; }
};

// One parameter of a task (84 bytes).
struct TaskParam {
  std::int16_t OwnerTaskNo = 0;  // number of the owning task
  std::string FullName;
  std::string ShortName;
  std::uint16_t ParamNo = 0;   // for a text value: its index in the text table
  std::uint16_t Location = 0;  // second word; its low byte is tested by the value file filter
  std::uint16_t Access = 0;    // four 2-bit groups
  std::int16_t DescriptorNo = 0;
  std::int32_t DescriptorPos = -1;  // position in the descriptor list, -1 when none matches
};

// Header of an algorithm file (70 bytes).
struct AlgorithmHeader {
  std::string FullName;
  std::string ShortName;
  std::int16_t AlgorithmNo = 0;
  std::uint16_t DescriptorCount = 0;
  std::int16_t RefNumber = 0;  // from the module file's reference
  std::int16_t Kind = 0;       // kind of the last non-service descriptor that has one, else 0
  std::uint16_t FileNo = 0;    // the number that names the file
  std::string Path;            // where the file was found
};

// One parameter of an algorithm (72 bytes).
struct ParamDescriptor {
  std::int16_t AlgorithmNo = 0;
  std::int16_t DescriptorNo = 0;
  std::string FullName;
  std::uint16_t Size = 0;  // array size, or byte length of a text value
  std::string ShortName;
  std::uint8_t Aux = 0;
  std::uint8_t ValueType = 0;  // 1, 2, 3 are read as 0x81, 0xC4, 0x92
  std::uint8_t SubKind = 0;    // low nibble sub-type, high nibble kind
  std::uint8_t Flags70 = 0;    // bit 0 service; bits 1..2 and 3..4 default access
  std::uint8_t Flags71 = 0;    // bit 0 array; bits 1..3 class

  bool IsService() const { return (Flags70 & 1) != 0; }
  bool IsArray() const { return (Flags71 & 1) != 0; }
  bool IsText() const { return IsService() && IsArray(); }
  int SubType() const { return SubKind & 0x0F; }
  // 1..5, or 0 for none.
  int Kind() const {
    int k = SubKind >> 4;
    return k >= 1 && k <= 5 ? k : 0;
  }
  int Class() const { return (Flags71 >> 1) & 7; }
};

// A value file record bound to a task and a parameter.
struct ValueRecord {
  std::int16_t TaskNo = 0;
  std::int16_t AlgorithmNo = 0;
  std::uint16_t ParamNo = 0;
  std::int16_t DescriptorNo = 0;
  std::array<std::uint8_t, 4> Value{};
  std::uint8_t Flag = 0;
  int ParamPos = -1;  // the parameter it is bound to
};

// A number from the access file with its section's tag.
struct AccessEntry {
  std::uint32_t Number = 0;
  int Tag = 0;  // 128 "Work", 64 "User"
};

inline constexpr int kAccessTagWork = 128;
inline constexpr int kAccessTagUser = 64;

// One parameter of one task as the editors see it.
struct ParamItem {
  int DescriptorPos = -1;
  std::int16_t DescriptorNo = 0;
  std::uint8_t ValueType = 0;
  std::uint16_t ArraySize = 0;  // the descriptor's size when it has the array flag, else 0
  std::uint8_t Aux = 0;
  int Kind = 0;
  int ParamPos = -1;  // position of the bound TaskParam, -1 when the task has none
  std::uint16_t Access = 0;
  bool HasValue = false;
  std::array<std::uint8_t, 4> Value{};
};

struct ItemText {
  std::string FullName;
  std::string ShortName;  // the full name when the short one is empty
  std::uint16_t ParamNo = 0;
  std::string Marker;  // "*" for arrays
};

// Access check of a 16-bit access word: group g (0..3) holds a level 0..3 in bits 4g..4g+1.
int AccessLevel(std::uint16_t word, int group);
bool AccessAllowed(std::uint16_t word, int group, int code, bool allowLevel0);
// What the editors ask: group 3 with access code 1, level 0 not allowed (bits 12..13 hold 1).
inline bool AccessOffered(std::uint16_t word) { return AccessAllowed(word, 3, 1, false); }

class Task_CL {
 public:
  // Loads everything; never throws. The caller inspects Errors(): a task object with
  // errors is to be discarded.
  Task_CL(const std::string& taskFile, const std::string& taskDir, const std::string& moduleDir,
          const std::string& algorithmDir);
  ~Task_CL();
  Task_CL(const Task_CL&) = delete;
  Task_CL& operator=(const Task_CL&) = delete;

  // The path list: its first line is the task file's full path.
  const std::vector<std::string>& Paths() const { return paths_; }
  const std::string& TaskFilePath() const { return paths_.front(); }
  const std::vector<std::string>& Errors() const { return errors_; }
  bool Ok() const { return errors_.empty(); }

  // The task file's name without its extension (the text before its first ".").
  std::string TaskFileName() const;
  const TaskHeader& Header() const { return header_; }
  std::uint16_t NetworkNumber() const { return header_.Nset; }

  const std::vector<TaskEntry>& Tasks() const { return tasks_; }
  const std::vector<TaskParam>& Params() const { return params_; }
  const std::vector<AlgorithmHeader>& Algorithms() const { return algorithms_; }
  const std::vector<ParamDescriptor>& Descriptors() const { return descriptors_; }
  const std::vector<std::int16_t>& PackedAlgorithms() const { return packed_; }
  const std::vector<std::string>& Texts() const { return texts_; }
  const std::vector<ValueRecord>& Values() const { return values_; }
  const std::vector<AccessEntry>& AccessEntries() const { return access_; }
  // The module's lowest own parameter number (module header).
  std::uint16_t LowestOwnParam() const { return lowestOwnParam_; }

  // Position in the parameter list of the first parameter with that number whose descriptor
  // is not a service parameter; -1 when there is none.
  int FindParam(std::uint16_t paramNo) const;
  // Position in the task list of the task owning that parameter (0 when no task has the
  // owner's number); -1 when FindParam fails.
  int TaskIndexOfParam(std::uint16_t paramNo) const;
  // Number of the task at a position of the task list (0 for a position out of range).
  int TaskNoAt(int taskPos) const;
  // Short name of the parameter, or its full name when the short one is empty; empty when
  // FindParam fails.
  std::string ParamText(std::uint16_t paramNo) const;
  // The items of a task that the editors may offer, in descriptor order.
  std::vector<ParamItem> ListItems(std::int16_t algorithmNo, int taskPos) const;
  ItemText ItemTexts(const ParamItem& item) const;
  // Parameter number of the parameter at a position of the parameter list (0xFFFF when out
  // of range).
  std::uint16_t ItemParam(int paramPos) const;
  bool IsPackedAlgorithm(std::int16_t algorithmNo) const;

 private:
  struct Loader;
  friend struct Loader;

  void BuildLookups();

  std::vector<std::string> paths_;
  std::vector<std::string> errors_;
  TaskHeader header_;
  std::uint16_t lowestOwnParam_ = 0;
  std::vector<TaskEntry> tasks_;
  std::vector<TaskParam> params_;
  std::vector<AlgorithmHeader> algorithms_;
  std::vector<ParamDescriptor> descriptors_;
  std::vector<std::int16_t> packed_;
  std::vector<std::string> texts_;
  std::vector<ValueRecord> values_;
  std::vector<AccessEntry> access_;

  // Lookups built once after loading.
  std::unordered_map<std::uint16_t, int> firstPlainParam_;               // ParamNo -> position
  std::unordered_map<std::int16_t, std::vector<int>> descriptorsOfAlg_;  // AlgorithmNo -> positions
  std::unordered_map<std::int16_t, std::vector<int>> paramsOfTask_;      // owner -> positions
  std::unordered_map<int, int> valueOfParam_;                            // ParamPos -> value
};

}  // namespace r770
