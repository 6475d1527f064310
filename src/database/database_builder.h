// DatabaseBuilder: writes controller database files (task, system task, module, algorithm,
// value and access files) from readable descriptions, for tests, benchmarks and the demo
// database. Names are given in UTF-8 and written in code page 1251.
//
// The record layouts are written out here on their own, byte offset by byte offset, so that
// a mistake in the reader's layout is not repeated by the fixtures.
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace r770 {

// One parameter of an algorithm (descriptor record).
struct DbDescriptor {
  std::int16_t Number = 0;  // descriptor number
  std::string FullName;
  std::string ShortName;
  std::uint16_t Size = 0;                   // array size or text length
  std::uint8_t Aux = 0;                     // auxiliary code
  std::uint8_t ValueType = 0;               // stored code: 0 bit, 4 float; 1, 2, 3 are converted on reading
  std::uint8_t SubKind = 0;                 // low nibble sub-type, high nibble kind 1..5
  std::uint8_t Flags70 = 0;                 // bit 0 service; bits 1..2 and 3..4 default access
  std::uint8_t Flags71 = 0;                 // bit 0 array; bits 1..3 class
  std::optional<std::int16_t> AlgorithmNo;  // default: the algorithm's number

  DbDescriptor& Array(std::uint16_t size) {
    Flags71 |= 1;
    Size = size;
    return *this;
  }
  DbDescriptor& Service() {
    Flags70 |= 1;
    return *this;
  }
  // A text value of `length` bytes (service and array flags).
  DbDescriptor& Text(std::uint16_t length) {
    Flags70 |= 1;
    Flags71 |= 1;
    Size = length;
    return *this;
  }
  DbDescriptor& Kind(int kind) {
    SubKind = static_cast<std::uint8_t>((SubKind & 0x0F) | (kind << 4));
    return *this;
  }
  DbDescriptor& SubType(int sub) {
    SubKind = static_cast<std::uint8_t>((SubKind & 0xF0) | (sub & 0x0F));
    return *this;
  }
  DbDescriptor& Type(std::uint8_t type) {
    ValueType = type;
    return *this;
  }
};

// A bit parameter (value type 0) and a floating-point register (value type 4).
DbDescriptor BitDescriptor(std::int16_t number, std::string fullName, std::string shortName = {});
DbDescriptor FloatDescriptor(std::int16_t number, std::string fullName, std::string shortName = {});

struct DbAlgorithm {
  std::uint16_t FileNo = 0;  // names the file: 4 hex digits + ".ALG"
  std::int16_t Number = 0;   // algorithm number the tasks refer to
  std::string FullName;
  std::string ShortName;
  std::vector<DbDescriptor> Descriptors;
  std::string Folder;    // sub-folder below the algorithm folder ("" = the folder itself)
  std::string FileName;  // file name when not the standard one (e.g. other letter case)
  std::optional<std::uint16_t> CountOverride;  // descriptor count written into the header
};

struct DbModule {
  std::uint16_t Type = 0;  // module type code: names the file (4 hex digits + ".mod")
  std::uint16_t LowestOwnParam = 0;
  // (algorithm file number, number stored into the algorithm header at 66)
  std::vector<std::pair<std::uint16_t, std::int16_t>> Refs;
  std::string FileName;
  std::optional<std::uint16_t> CountOverride;

  // References to algorithm files by number, with the reference numbers 1, 2, ...
  static DbModule Of(std::uint16_t type, const std::vector<std::uint16_t>& fileNos);
};

struct DbParam {
  std::string FullName;
  std::string ShortName;
  std::uint16_t Number = 0;  // parameter number
  std::int16_t Descriptor = 0;
  std::uint16_t Access = 0x1000;  // level 1 in bits 12..13: offered to the editors
  std::uint16_t Location = 0;     // second word
  std::int16_t OwnerField = 0;    // stored owner number (the reader overwrites it)
  // For a text value: its characters (code page 1251 after conversion). The first four go
  // into the value words, four more into each of TextRecords continuation records.
  std::optional<std::string> Text;
  int TextRecords = 0;
};

struct DbTask {
  std::string FullName;
  std::string ShortName;
  std::int16_t Number = 0;
  std::int16_t AlgorithmNo = 0;
  std::uint16_t Access = 0;
  bool InUse = true;
  std::vector<DbParam> Params;
  std::optional<std::uint16_t> ParamCountOverride;  // count written into the entry
};

struct DbTaskFile {
  std::uint16_t Nset = 0;
  std::uint16_t ModuleType = 0;
  std::vector<DbTask> Tasks;
  std::optional<std::uint16_t> CountOverride;
  std::array<std::uint32_t, 7> WordsAt68{};
  std::array<std::uint32_t, 7> WordsAt96{};
};

struct DbValue {
  std::int16_t TaskNo = 0;
  std::int16_t AlgorithmNo = 0;
  std::uint16_t ParamNo = 0;
  std::int16_t DescriptorNo = 0;
  std::array<std::uint8_t, 4> Value{};
  std::uint8_t Flag = 0;
};

struct DbAccess {
  std::vector<std::pair<std::string, std::string>> Work;  // key, value (hex text)
  std::vector<std::pair<std::string, std::string>> User;
};

// Number of continuation records a text value of `length` bytes has.
int TextContinuationRecords(std::uint16_t length);
// A parameter holding a text value of `length` bytes (its descriptor must be a text).
DbParam TextParam(std::string fullName, std::int16_t descriptor, std::string text, std::uint16_t length);

class DatabaseBuilder {
 public:
  // Creates root/ALG, root/MOD and root/TASK.
  explicit DatabaseBuilder(std::string root);

  const std::string& Root() const { return root_; }
  std::string AlgDir() const { return root_ + "/ALG"; }
  std::string ModDir() const { return root_ + "/MOD"; }
  std::string TaskDir() const { return root_ + "/TASK"; }

  // Each writes its file and returns its path.
  std::string Add(const DbAlgorithm& algorithm) const;
  std::string Add(const DbModule& module) const;
  // The system task file of a module type: TASK/<type as 4 hex digits>.tsk.
  std::string AddSystemTasks(const DbTaskFile& file) const;
  // A controller's task file; a relative name is put into TASK.
  std::string AddTaskFile(const std::string& name, const DbTaskFile& file) const;
  // The value file beside a task file (extension replaced by "Bin").
  std::string AddValues(const std::string& taskFilePath, const std::vector<DbValue>& values) const;
  // The access file TASK/<type>.Ini.
  std::string AddAccess(std::uint16_t moduleType, const DbAccess& access) const;

  // The bytes of each file, for tests that damage them.
  static std::string AlgorithmBytes(const DbAlgorithm& algorithm);
  static std::string ModuleBytes(const DbModule& module);
  static std::string TaskFileBytes(const DbTaskFile& file);
  static std::string ValueBytes(const std::vector<DbValue>& values);
  static std::string AccessBytes(const DbAccess& access);

 private:
  std::string root_;
};

// Writes bytes to a file, creating its folders; throws std::runtime_error on failure.
void WriteDatabaseFile(const std::string& path, const std::string& bytes);

}  // namespace r770
