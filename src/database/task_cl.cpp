#include "database/task_cl.h"

#include <algorithm>
#include <cstring>

#include "common/codec.h"
#include "common/ini_file.h"
#include "common/number_forms.h"
#include "database/db_files.h"

namespace r770 {
namespace {

// Record sizes of the database files.
constexpr std::size_t kTaskHeaderSize = 128;
constexpr std::size_t kTaskEntrySize = 80;
constexpr std::size_t kTaskParamSize = 84;
constexpr std::size_t kModuleHeaderSize = 104;
constexpr std::size_t kAlgorithmRefSize = 6;
constexpr std::size_t kAlgorithmHeaderSize = 70;
constexpr std::size_t kDescriptorSize = 72;
constexpr std::size_t kValueRecordSize = 16;

std::uint16_t U16(const std::uint8_t* b, std::size_t off) {
  return static_cast<std::uint16_t>(b[off] | (b[off + 1] << 8));
}
std::int16_t S16(const std::uint8_t* b, std::size_t off) { return static_cast<std::int16_t>(U16(b, off)); }
std::uint32_t U32(const std::uint8_t* b, std::size_t off) {
  return static_cast<std::uint32_t>(b[off]) | static_cast<std::uint32_t>(b[off + 1]) << 8 |
         static_cast<std::uint32_t>(b[off + 2]) << 16 | static_cast<std::uint32_t>(b[off + 3]) << 24;
}

// Characters of a code page 1251 byte run up to its first NUL, as UTF-8.
std::string Chars(const std::uint8_t* b, std::size_t n) {
  const std::uint8_t* end = static_cast<const std::uint8_t*>(std::memchr(b, 0, n));
  std::size_t len = end ? static_cast<std::size_t>(end - b) : n;
  return Cp1251ToUtf8(std::string_view(reinterpret_cast<const char*>(b), len));
}

// A length-prefixed text in a field of `field` bytes: at most field - 1 characters, whatever
// the length byte says.
std::string Text(const std::uint8_t* b, std::size_t off, std::size_t field) {
  std::size_t len = std::min<std::size_t>(b[off], field - 1);
  return Chars(b + off + 1, len);
}

std::uint32_t DescriptorKey(std::int16_t algorithmNo, std::int16_t descriptorNo) {
  return static_cast<std::uint32_t>(static_cast<std::uint16_t>(algorithmNo)) << 16 |
         static_cast<std::uint16_t>(descriptorNo);
}

// Every zero 2-bit group of an access word becomes 3.
std::uint16_t FillZeroGroups(std::uint16_t word) {
  for (int g = 0; g < 4; ++g) {
    const std::uint16_t mask = static_cast<std::uint16_t>(3u << (4 * g));
    if ((word & mask) == 0) word = static_cast<std::uint16_t>(word | mask);
  }
  return word;
}

std::uint8_t ConvertValueType(std::uint8_t type) {
  switch (type) {
    case 1:
      return 0x81;
    case 2:
      return 0xC4;
    case 3:
      return 0x92;
    default:
      return type;
  }
}

TaskHeader ParseHeader(const std::uint8_t* h) {
  TaskHeader header;
  header.Nset = U16(h, 62);
  header.ModuleType = U16(h, 64);
  header.Count = U16(h, 124);
  for (std::size_t i = 0; i < 7; ++i) {
    header.WordsAt68[i] = U32(h, 68 + 4 * i);
    header.WordsAt96[i] = U32(h, 96 + 4 * i);
  }
  return header;
}

TaskEntry ParseEntry(const std::uint8_t* e) {
  TaskEntry entry;
  entry.FullName = Text(e, 0, 51);
  entry.ShortName = Text(e, 51, 9);
  entry.TaskNo = S16(e, 60);
  entry.AlgorithmNo = S16(e, 62);
  entry.Access = U16(e, 64);
  entry.Flags = e[66];
  entry.StoredTaskNo = entry.TaskNo;
  entry.ParamCount = U16(e, 78);
  return entry;
}

TaskParam ParseParam(const std::uint8_t* p) {
  TaskParam param;
  param.OwnerTaskNo = S16(p, 0);
  param.FullName = Text(p, 2, 51);
  param.ShortName = Text(p, 53, 9);
  param.ParamNo = U16(p, 62);
  param.Location = U16(p, 64);
  param.Access = U16(p, 66);
  param.DescriptorNo = S16(p, 68);
  param.DescriptorPos = -1;
  return param;
}

AlgorithmHeader ParseAlgorithm(const std::uint8_t* h) {
  AlgorithmHeader a;
  a.FullName = Text(h, 0, 49);
  a.ShortName = Text(h, 49, 9);
  a.AlgorithmNo = S16(h, 58);
  a.DescriptorCount = U16(h, 64);
  return a;
}

ParamDescriptor ParseDescriptor(const std::uint8_t* d) {
  ParamDescriptor desc;
  desc.AlgorithmNo = S16(d, 0);
  desc.DescriptorNo = S16(d, 2);
  desc.FullName = Text(d, 4, 52);
  desc.Size = U16(d, 56);
  desc.ShortName = Text(d, 58, 9);
  desc.Aux = d[67];
  desc.ValueType = ConvertValueType(d[68]);
  desc.SubKind = d[69];
  desc.Flags70 = d[70];
  desc.Flags71 = d[71];
  return desc;
}

}  // namespace

int AccessLevel(std::uint16_t word, int group) {
  if (group < 0 || group > 3) return 0;
  return (word >> (4 * group)) & 3;
}

bool AccessAllowed(std::uint16_t word, int group, int code, bool allowLevel0) {
  switch (AccessLevel(word, group)) {
    case 0:
      return allowLevel0 && code == 8;
    case 1:
      return code == 8 || code == 4 || code == 2 || code == 1;
    case 2:
      return code == 8 || code == 4 || code == 2;
    default:
      return code == 8 || code == 4;
  }
}

// The loading procedure; lives only while the task object is built.
struct Task_CL::Loader {
  Task_CL& t;
  std::string algorithmDir;
  std::shared_ptr<const db::FolderIndex> index;
  std::unordered_map<std::uint32_t, int> firstDescriptor;
  std::unordered_map<std::int16_t, int> firstAlgorithm;

  void Run(const std::string& taskFile, const std::string& taskDir, const std::string& moduleDir) {
    // Only a path at which nothing exists is a missing file. A folder or a FIFO there is
    // never opened as data: the load finds no tasks and reports the faulty result below.
    if (!db::PathExists(taskFile)) {
      t.errors_.push_back(kNoTaskFileMessage + taskFile);
      return;
    }
    long taskCount = 0;
    db::RecordFile file;
    std::uint8_t h[kTaskHeaderSize];
    if (file.Open(taskFile) && file.Read(h, sizeof h)) {
      t.header_ = ParseHeader(h);
      const bool moduleRead = LoadModule(moduleDir);
      for (std::size_t i = 0; i < t.descriptors_.size(); ++i) {
        const ParamDescriptor& d = t.descriptors_[i];
        firstDescriptor.emplace(DescriptorKey(d.AlgorithmNo, d.DescriptorNo), static_cast<int>(i));
      }
      for (std::size_t i = 0; i < t.algorithms_.size(); ++i)
        firstAlgorithm.emplace(t.algorithms_[i].AlgorithmNo, static_cast<int>(i));

      std::vector<TaskEntry> systemTasks;
      std::vector<TaskParam> systemParams;
      const bool systemApplies = moduleRead && !taskDir.empty();
      if (systemApplies) taskCount = ReadSystemTasks(taskDir, &systemTasks, &systemParams);
      ReadEntries(file, t.header_.Count, false, &t.tasks_, &t.params_);
      file.Close();
      if (!systemApplies) taskCount = t.header_.Count;
      for (auto& e : systemTasks) t.tasks_.push_back(std::move(e));
      for (auto& p : systemParams) t.params_.push_back(std::move(p));
      std::erase_if(t.params_, [](const TaskParam& p) { return p.DescriptorPos < 0; });
      t.BuildLookups();
      ReadValues(taskFile);
      ReadAccess(taskFile, taskDir);
      t.BuildLookups();
    }
    if (taskCount == 0 || t.tasks_.empty() || t.descriptors_.empty() || t.algorithms_.empty())
      t.errors_.push_back(kFaultyTaskFilesMessage);
  }

  // The module file and the algorithm files it refers to. True when the last reference's
  // algorithm file was read.
  bool LoadModule(const std::string& moduleDir) {
    const std::string name = Hex4(t.header_.ModuleType) + ".mod";
    const std::string path = db::FindFileNoCase(moduleDir, name);
    db::RecordFile file;
    if (path.empty() || !file.Open(path)) {
      t.errors_.push_back(kNoModuleFileMessage + db::JoinPath(moduleDir, name));
      return false;
    }
    std::uint8_t h[kModuleHeaderSize];
    if (!file.Read(h, sizeof h)) return false;
    t.lowestOwnParam_ = U16(h, 58);
    const std::uint16_t count = U16(h, 100);
    std::vector<std::pair<std::uint16_t, std::int16_t>> refs;
    std::uint8_t r[kAlgorithmRefSize];
    for (unsigned i = 0; i < count && file.Read(r, sizeof r); ++i) refs.emplace_back(U16(r, 2), S16(r, 4));
    file.Close();

    bool lastRead = false;
    for (const auto& [fileNo, refNumber] : refs) lastRead = LoadAlgorithm(fileNo, refNumber);
    BuildPackedList();
    return lastRead;
  }

  bool LoadAlgorithm(std::uint16_t fileNo, std::int16_t refNumber) {
    if (!index) index = db::AlgorithmIndexBatch::IndexFor(algorithmDir);
    const std::string path = index->Find(Hex4(fileNo) + ".ALG");
    db::RecordFile file;
    if (path.empty() || !file.Open(path)) return false;
    std::uint8_t h[kAlgorithmHeaderSize];
    if (!file.Read(h, sizeof h)) return false;
    AlgorithmHeader header = ParseAlgorithm(h);
    header.RefNumber = refNumber;
    header.Kind = 0;
    header.FileNo = fileNo;
    header.Path = path;
    const std::size_t at = t.algorithms_.size();
    t.algorithms_.push_back(std::move(header));
    std::uint8_t d[kDescriptorSize];
    for (unsigned i = 0; i < t.algorithms_[at].DescriptorCount && file.Read(d, sizeof d); ++i) {
      ParamDescriptor desc = ParseDescriptor(d);
      if (!desc.IsService() && desc.Kind() != 0)
        t.algorithms_[at].Kind = static_cast<std::int16_t>(desc.Kind());
      t.descriptors_.push_back(std::move(desc));
    }
    return true;
  }

  // An algorithm whose run of descriptors holds exactly 32 plain bits (value type 0, offset
  // 69 zero, no array flag) is packed.
  void BuildPackedList() {
    const auto& ds = t.descriptors_;
    for (std::size_t i = 0; i < ds.size();) {
      std::size_t j = i;
      int plainBits = 0;
      for (; j < ds.size() && ds[j].AlgorithmNo == ds[i].AlgorithmNo; ++j)
        if (ds[j].ValueType == 0 && ds[j].SubKind == 0 && !ds[j].IsArray()) ++plainBits;
      if (plainBits == 32 &&
          std::find(t.packed_.begin(), t.packed_.end(), ds[i].AlgorithmNo) == t.packed_.end())
        t.packed_.push_back(ds[i].AlgorithmNo);
      i = j;
    }
  }

  int FindDescriptor(std::int16_t algorithmNo, std::int16_t descriptorNo) const {
    auto it = firstDescriptor.find(DescriptorKey(algorithmNo, descriptorNo));
    return it == firstDescriptor.end() ? -1 : it->second;
  }

  // Reads the system task file; returns its header's task count (0 when it cannot be read).
  long ReadSystemTasks(const std::string& taskDir, std::vector<TaskEntry>* tasks,
                       std::vector<TaskParam>* params) {
    const std::string path = db::FindFileNoCase(taskDir, Hex4(t.header_.ModuleType) + ".tsk");
    db::RecordFile file;
    std::uint8_t h[kTaskHeaderSize];
    if (path.empty() || !file.Open(path) || !file.Read(h, sizeof h)) return 0;
    TaskHeader header = ParseHeader(h);
    t.header_.WordsAt68 = header.WordsAt68;
    t.header_.WordsAt96 = header.WordsAt96;
    ReadEntries(file, header.Count, true, tasks, params);
    return header.Count;
  }

  // Task entries with their parameter records. Stops quietly at the end of the file.
  void ReadEntries(db::RecordFile& file, std::uint16_t count, bool system, std::vector<TaskEntry>* tasks,
                   std::vector<TaskParam>* params) {
    std::uint8_t e[kTaskEntrySize];
    std::uint8_t p[kTaskParamSize];
    for (unsigned i = 0; i < count; ++i) {
      if (!file.Read(e, sizeof e)) return;
      TaskEntry entry = ParseEntry(e);
      bool inUse = entry.InUse();
      if (system) {
        entry.Flags = static_cast<std::uint8_t>(entry.Flags & ~1u);
        entry.TaskNo = static_cast<std::int16_t>(-1 - static_cast<int>(i));
        inUse = true;
      } else if (inUse) {
        entry.Access = FillZeroGroups(entry.Access);
      }
      if (entry.ShortName.empty()) {
        auto it = firstAlgorithm.find(entry.AlgorithmNo);
        if (it != firstAlgorithm.end()) entry.ShortName = Utf8Left(t.algorithms_[it->second].ShortName, 8);
      }
      bool complete = true;
      for (unsigned j = 0; j < entry.ParamCount && complete; ++j) {
        if (!file.Read(p, sizeof p)) {
          complete = false;
          break;
        }
        if (!inUse) continue;
        TaskParam param = ParseParam(p);
        param.OwnerTaskNo = entry.TaskNo;
        param.DescriptorPos = FindDescriptor(entry.AlgorithmNo, param.DescriptorNo);
        if (param.DescriptorPos >= 0 && t.descriptors_[param.DescriptorPos].IsText())
          complete = ReadText(file, p, t.descriptors_[param.DescriptorPos].Size, &param);
        if (!system && param.Access == 0) param.Access = 0x3333;
        params->push_back(std::move(param));
      }
      if (inUse) tasks->push_back(std::move(entry));
      if (!complete) return;
    }
  }

  // A text value of `length` bytes: the first four characters in the parameter's value words,
  // four more in each continuation record. False when the file ended among them.
  bool ReadText(db::RecordFile& file, const std::uint8_t* p, std::uint16_t length, TaskParam* param) {
    std::string bytes(reinterpret_cast<const char*>(p + 62), std::min<std::size_t>(length, 4));
    bool complete = true;
    if (length >= 8) {
      std::uint8_t c[kTaskParamSize];
      const unsigned continuations = (length >> 2) - 1u;
      for (unsigned k = 0; k < continuations; ++k) {
        if (!file.Read(c, sizeof c)) {
          complete = false;
          break;
        }
        bytes.append(reinterpret_cast<const char*>(c + 62), 4);
      }
    }
    t.texts_.push_back(Chars(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
    param->ParamNo = static_cast<std::uint16_t>(t.texts_.size() - 1);
    return complete;
  }

  // The value file: the task file's name with its extension replaced by "Bin".
  void ReadValues(const std::string& taskFile) {
    const std::string name = db::FileNameOf(taskFile);
    const std::size_t dot = name.find('.');
    const std::string valueName = (dot == std::string::npos ? name + "." : name.substr(0, dot + 1)) + "Bin";
    const std::string path = db::FindFileNoCase(db::FolderOf(taskFile), valueName);
    db::RecordFile file;
    if (path.empty() || !file.Open(path)) return;

    std::unordered_map<std::uint32_t, int> taskOf;   // (stored number, algorithm) -> task
    std::unordered_map<std::uint32_t, int> plainOf;  // (owner, descriptor number) -> parameter
    for (std::size_t i = 0; i < t.tasks_.size(); ++i)
      taskOf.emplace(DescriptorKey(t.tasks_[i].StoredTaskNo, t.tasks_[i].AlgorithmNo), static_cast<int>(i));
    for (std::size_t i = 0; i < t.params_.size(); ++i) {
      const TaskParam& p = t.params_[i];
      if (!t.descriptors_[p.DescriptorPos].IsService())
        plainOf.emplace(DescriptorKey(p.OwnerTaskNo, p.DescriptorNo), static_cast<int>(i));
    }

    std::uint8_t r[kValueRecordSize];
    while (file.Read(r, sizeof r)) {
      ValueRecord v;
      v.TaskNo = S16(r, 0);
      v.AlgorithmNo = S16(r, 2);
      v.ParamNo = U16(r, 4);
      v.DescriptorNo = S16(r, 6);
      std::memcpy(v.Value.data(), r + 10, 4);
      v.Flag = r[14];
      if (v.ParamNo < t.lowestOwnParam_ || v.ParamNo >= 0xF000) continue;
      auto first = t.firstPlainParam_.find(v.ParamNo);
      if (first == t.firstPlainParam_.end() || (t.params_[first->second].Location & 0xFF) != 0) continue;
      auto task = taskOf.find(DescriptorKey(v.TaskNo, v.AlgorithmNo));
      if (task == taskOf.end()) continue;
      v.TaskNo = t.tasks_[task->second].TaskNo;
      auto param = plainOf.find(DescriptorKey(v.TaskNo, v.DescriptorNo));
      if (param == plainOf.end()) continue;
      v.ParamNo = t.params_[param->second].ParamNo;
      v.ParamPos = param->second;
      t.values_.push_back(v);
    }
  }

  // The access file lies in the task folder, or beside the task file when no task folder is set.
  void ReadAccess(const std::string& taskFile, const std::string& taskDir) {
    const std::string folder = taskDir.empty() ? db::FolderOf(taskFile) : taskDir;
    const std::string path = db::FindFileNoCase(folder, Hex4(t.header_.ModuleType) + ".Ini");
    if (path.empty()) return;
    IniFile ini(path);
    for (const auto& [section, tag] :
         {std::pair{"Work", kAccessTagWork}, std::pair{"User", kAccessTagUser}}) {
      for (const std::string& key : ini.SectionKeys(section)) {
        auto number = ParseHex(Trim(ini.ReadString(section, key, "")));
        if (number) t.access_.push_back(AccessEntry{*number, tag});
      }
    }
  }
};

Task_CL::Task_CL(const std::string& taskFile, const std::string& taskDir, const std::string& moduleDir,
                 const std::string& algorithmDir) {
  paths_.push_back(taskFile);
  try {
    Loader loader{*this, algorithmDir, nullptr, {}, {}};
    loader.Run(taskFile, taskDir, moduleDir);
  } catch (const std::exception&) {
    // Only running out of memory gets here; what was read is kept, and the load is faulty.
    errors_.push_back(kFaultyTaskFilesMessage);
  }
}

Task_CL::~Task_CL() = default;

void Task_CL::BuildLookups() {
  firstPlainParam_.clear();
  descriptorsOfAlg_.clear();
  paramsOfTask_.clear();
  valueOfParam_.clear();
  for (std::size_t i = 0; i < params_.size(); ++i) {
    const TaskParam& p = params_[i];
    if (p.DescriptorPos >= 0 && !descriptors_[p.DescriptorPos].IsService())
      firstPlainParam_.emplace(p.ParamNo, static_cast<int>(i));
    paramsOfTask_[p.OwnerTaskNo].push_back(static_cast<int>(i));
  }
  for (std::size_t i = 0; i < descriptors_.size(); ++i)
    descriptorsOfAlg_[descriptors_[i].AlgorithmNo].push_back(static_cast<int>(i));
  for (std::size_t i = 0; i < values_.size(); ++i) valueOfParam_[values_[i].ParamPos] = static_cast<int>(i);
}

std::string Task_CL::TaskFileName() const { return db::StemBeforeFirstDot(TaskFilePath()); }

int Task_CL::FindParam(std::uint16_t paramNo) const {
  auto it = firstPlainParam_.find(paramNo);
  return it == firstPlainParam_.end() ? -1 : it->second;
}

int Task_CL::TaskIndexOfParam(std::uint16_t paramNo) const {
  const int pos = FindParam(paramNo);
  if (pos < 0) return -1;
  const std::int16_t owner = params_[pos].OwnerTaskNo;
  for (std::size_t i = 0; i < tasks_.size(); ++i)
    if (tasks_[i].TaskNo == owner) return static_cast<int>(i);
  return 0;
}

int Task_CL::TaskNoAt(int taskPos) const {
  if (taskPos < 0 || static_cast<std::size_t>(taskPos) >= tasks_.size()) return 0;
  return tasks_[taskPos].TaskNo;
}

std::string Task_CL::ParamText(std::uint16_t paramNo) const {
  const int pos = FindParam(paramNo);
  if (pos < 0) return {};
  const TaskParam& p = params_[pos];
  return p.ShortName.empty() ? p.FullName : p.ShortName;
}

std::vector<ParamItem> Task_CL::ListItems(std::int16_t algorithmNo, int taskPos) const {
  std::vector<ParamItem> items;
  if (taskPos < 0 || static_cast<std::size_t>(taskPos) >= tasks_.size()) return items;
  auto descs = descriptorsOfAlg_.find(algorithmNo);
  if (descs == descriptorsOfAlg_.end()) return items;
  for (int d : descs->second) {
    const ParamDescriptor& desc = descriptors_[d];
    if (desc.IsService()) continue;
    ParamItem item;
    item.DescriptorPos = d;
    item.DescriptorNo = desc.DescriptorNo;
    item.ValueType = desc.ValueType;
    item.ArraySize = desc.IsArray() ? desc.Size : 0;
    item.Aux = desc.Aux;
    item.Kind = desc.Kind();
    items.push_back(item);
  }
  auto params = paramsOfTask_.find(tasks_[taskPos].TaskNo);
  if (params != paramsOfTask_.end()) {
    for (int p : params->second) {
      const TaskParam& param = params_[p];
      for (ParamItem& item : items) {
        if (item.DescriptorPos != param.DescriptorPos) continue;
        item.ParamPos = p;
        item.Access = param.Access;
        auto value = valueOfParam_.find(p);
        item.HasValue = value != valueOfParam_.end();
        if (item.HasValue) item.Value = values_[value->second].Value;
        break;
      }
    }
  }
  std::erase_if(items, [](const ParamItem& i) { return i.ParamPos < 0 || !AccessOffered(i.Access); });
  return items;
}

ItemText Task_CL::ItemTexts(const ParamItem& item) const {
  ItemText text;
  if (item.ParamPos >= 0 && static_cast<std::size_t>(item.ParamPos) < params_.size()) {
    const TaskParam& p = params_[item.ParamPos];
    text.FullName = p.FullName;
    text.ShortName = p.ShortName;
    text.ParamNo = p.ParamNo;
  }
  const bool haveDescriptor =
      item.DescriptorPos >= 0 && static_cast<std::size_t>(item.DescriptorPos) < descriptors_.size();
  if (haveDescriptor) {
    const ParamDescriptor& d = descriptors_[item.DescriptorPos];
    // A task parameter without names shows its algorithm's names.
    if (text.FullName.empty() && text.ShortName.empty()) {
      text.FullName = d.FullName;
      text.ShortName = d.ShortName;
    }
    if (d.IsArray()) text.Marker = "*";
  }
  if (text.ShortName.empty()) text.ShortName = text.FullName;
  return text;
}

std::uint16_t Task_CL::ItemParam(int paramPos) const {
  if (paramPos < 0 || static_cast<std::size_t>(paramPos) >= params_.size()) return 0xFFFF;
  return params_[paramPos].ParamNo;
}

bool Task_CL::IsPackedAlgorithm(std::int16_t algorithmNo) const {
  return std::find(packed_.begin(), packed_.end(), algorithmNo) != packed_.end();
}

}  // namespace r770
