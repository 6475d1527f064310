#include "database/database_builder.h"

#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "common/codec.h"
#include "common/number_forms.h"

namespace r770 {
namespace {

// A record of fixed size being filled field by field.
class Record {
 public:
  explicit Record(std::size_t size) : bytes_(size, '\0') {}
  void U8(std::size_t off, std::uint8_t v) { bytes_.at(off) = static_cast<char>(v); }
  void U16(std::size_t off, std::uint16_t v) {
    U8(off, static_cast<std::uint8_t>(v & 0xFF));
    U8(off + 1, static_cast<std::uint8_t>(v >> 8));
  }
  void S16(std::size_t off, std::int16_t v) { U16(off, static_cast<std::uint16_t>(v)); }
  void U32(std::size_t off, std::uint32_t v) {
    U16(off, static_cast<std::uint16_t>(v & 0xFFFF));
    U16(off + 2, static_cast<std::uint16_t>(v >> 16));
  }
  // Length byte + code page 1251 characters; at most field - 1 characters are kept.
  void Text(std::size_t off, std::size_t field, const std::string& utf8) {
    std::string cp = Utf8ToCp1251(utf8);
    if (cp.size() > field - 1) cp.resize(field - 1);
    U8(off, static_cast<std::uint8_t>(cp.size()));
    for (std::size_t i = 0; i < cp.size(); ++i) bytes_.at(off + 1 + i) = cp[i];
  }
  // Raw code page 1251 bytes (of a UTF-8 text) without a length byte, cut or padded with NUL.
  void Chars(std::size_t off, std::size_t n, const std::string& cp) {
    for (std::size_t i = 0; i < n; ++i) bytes_.at(off + i) = i < cp.size() ? cp[i] : '\0';
  }
  const std::string& bytes() const { return bytes_; }

 private:
  std::string bytes_;
};

std::string TaskBytes(const DbTaskFile& file) {
  Record header(128);
  header.U16(62, file.Nset);
  header.U16(64, file.ModuleType);
  for (std::size_t i = 0; i < 7; ++i) {
    header.U32(68 + 4 * i, file.WordsAt68[i]);
    header.U32(96 + 4 * i, file.WordsAt96[i]);
  }
  header.U16(124, file.CountOverride.value_or(static_cast<std::uint16_t>(file.Tasks.size())));
  std::string out = header.bytes();
  for (const DbTask& task : file.Tasks) {
    Record entry(80);
    entry.Text(0, 51, task.FullName);
    entry.Text(51, 9, task.ShortName);
    entry.S16(60, task.Number);
    entry.S16(62, task.AlgorithmNo);
    entry.U16(64, task.Access);
    entry.U8(66, task.InUse ? 1 : 0);
    entry.U16(78, task.ParamCountOverride.value_or(static_cast<std::uint16_t>(task.Params.size())));
    out += entry.bytes();
    for (const DbParam& param : task.Params) {
      Record p(84);
      p.S16(0, param.OwnerField);
      p.Text(2, 51, param.FullName);
      p.Text(53, 9, param.ShortName);
      p.U16(62, param.Number);
      p.U16(64, param.Location);
      p.U16(66, param.Access);
      p.S16(68, param.Descriptor);
      std::string text = param.Text ? Utf8ToCp1251(*param.Text) : std::string();
      if (param.Text) p.Chars(62, 4, text);
      out += p.bytes();
      for (int k = 0; k < param.TextRecords; ++k) {
        Record c(84);
        const std::size_t from = 4 + 4 * static_cast<std::size_t>(k);
        c.Chars(62, 4, from < text.size() ? text.substr(from) : std::string());
        out += c.bytes();
      }
    }
  }
  return out;
}

}  // namespace

DbDescriptor BitDescriptor(std::int16_t number, std::string fullName, std::string shortName) {
  DbDescriptor d;
  d.Number = number;
  d.FullName = std::move(fullName);
  d.ShortName = std::move(shortName);
  d.ValueType = 0;
  return d;
}

DbDescriptor FloatDescriptor(std::int16_t number, std::string fullName, std::string shortName) {
  DbDescriptor d = BitDescriptor(number, std::move(fullName), std::move(shortName));
  d.ValueType = 0x04;
  return d;
}

DbModule DbModule::Of(std::uint16_t type, const std::vector<std::uint16_t>& fileNos) {
  DbModule m;
  m.Type = type;
  std::int16_t ref = 1;
  for (std::uint16_t no : fileNos) m.Refs.emplace_back(no, ref++);
  return m;
}

int TextContinuationRecords(std::uint16_t length) { return length >= 8 ? (length >> 2) - 1 : 0; }

DbParam TextParam(std::string fullName, std::int16_t descriptor, std::string text, std::uint16_t length) {
  DbParam p;
  p.FullName = std::move(fullName);
  p.Descriptor = descriptor;
  p.Text = std::move(text);
  p.TextRecords = TextContinuationRecords(length);
  return p;
}

void WriteDatabaseFile(const std::string& path, const std::string& bytes) {
  std::filesystem::path p(path);
  if (p.has_parent_path()) std::filesystem::create_directories(p.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  // The last bytes reach the file on close: a full disk shows only then.
  out.close();
  if (!out) throw std::runtime_error("cannot write " + path);
}

DatabaseBuilder::DatabaseBuilder(std::string root) : root_(std::move(root)) {
  std::filesystem::create_directories(AlgDir());
  std::filesystem::create_directories(ModDir());
  std::filesystem::create_directories(TaskDir());
}

std::string DatabaseBuilder::AlgorithmBytes(const DbAlgorithm& a) {
  Record header(70);
  header.Text(0, 49, a.FullName);
  header.Text(49, 9, a.ShortName);
  header.S16(58, a.Number);
  header.U16(64, a.CountOverride.value_or(static_cast<std::uint16_t>(a.Descriptors.size())));
  std::string out = header.bytes();
  for (const DbDescriptor& d : a.Descriptors) {
    Record r(72);
    r.S16(0, d.AlgorithmNo.value_or(a.Number));
    r.S16(2, d.Number);
    r.Text(4, 52, d.FullName);
    r.U16(56, d.Size);
    r.Text(58, 9, d.ShortName);
    r.U8(67, d.Aux);
    r.U8(68, d.ValueType);
    r.U8(69, d.SubKind);
    r.U8(70, d.Flags70);
    r.U8(71, d.Flags71);
    out += r.bytes();
  }
  return out;
}

std::string DatabaseBuilder::ModuleBytes(const DbModule& m) {
  Record header(104);
  header.U16(58, m.LowestOwnParam);
  header.U16(100, m.CountOverride.value_or(static_cast<std::uint16_t>(m.Refs.size())));
  std::string out = header.bytes();
  for (const auto& [fileNo, ref] : m.Refs) {
    Record r(6);
    r.U16(2, fileNo);
    r.S16(4, ref);
    out += r.bytes();
  }
  return out;
}

std::string DatabaseBuilder::TaskFileBytes(const DbTaskFile& file) { return TaskBytes(file); }

std::string DatabaseBuilder::ValueBytes(const std::vector<DbValue>& values) {
  std::string out;
  for (const DbValue& v : values) {
    Record r(16);
    r.S16(0, v.TaskNo);
    r.S16(2, v.AlgorithmNo);
    r.U16(4, v.ParamNo);
    r.S16(6, v.DescriptorNo);
    for (std::size_t i = 0; i < 4; ++i) r.U8(10 + i, v.Value[i]);
    r.U8(14, v.Flag);
    out += r.bytes();
  }
  return out;
}

std::string DatabaseBuilder::AccessBytes(const DbAccess& access) {
  std::string out;
  auto section = [&out](const char* name, const auto& keys) {
    out += std::string("[") + name + "]\r\n";
    for (const auto& [key, value] : keys) out += Utf8ToCp1251(key) + "=" + Utf8ToCp1251(value) + "\r\n";
  };
  section("Work", access.Work);
  section("User", access.User);
  return out;
}

std::string DatabaseBuilder::Add(const DbAlgorithm& a) const {
  std::string folder = a.Folder.empty() ? AlgDir() : AlgDir() + "/" + a.Folder;
  std::string path = folder + "/" + (a.FileName.empty() ? Hex4(a.FileNo) + ".ALG" : a.FileName);
  WriteDatabaseFile(path, AlgorithmBytes(a));
  return path;
}

std::string DatabaseBuilder::Add(const DbModule& m) const {
  std::string path = ModDir() + "/" + (m.FileName.empty() ? Hex4(m.Type) + ".mod" : m.FileName);
  WriteDatabaseFile(path, ModuleBytes(m));
  return path;
}

std::string DatabaseBuilder::AddSystemTasks(const DbTaskFile& file) const {
  std::string path = TaskDir() + "/" + Hex4(file.ModuleType) + ".tsk";
  WriteDatabaseFile(path, TaskBytes(file));
  return path;
}

std::string DatabaseBuilder::AddTaskFile(const std::string& name, const DbTaskFile& file) const {
  std::string path = !name.empty() && name[0] == '/' ? name : TaskDir() + "/" + name;
  WriteDatabaseFile(path, TaskBytes(file));
  return path;
}

std::string DatabaseBuilder::AddValues(const std::string& taskFilePath,
                                       const std::vector<DbValue>& values) const {
  std::filesystem::path p(taskFilePath);
  std::string name = p.filename().string();
  std::size_t dot = name.find('.');
  std::string valueName = (dot == std::string::npos ? name + "." : name.substr(0, dot + 1)) + "Bin";
  std::string path = (p.parent_path() / valueName).string();
  WriteDatabaseFile(path, ValueBytes(values));
  return path;
}

std::string DatabaseBuilder::AddAccess(std::uint16_t moduleType, const DbAccess& access) const {
  std::string path = TaskDir() + "/" + Hex4(moduleType) + ".Ini";
  WriteDatabaseFile(path, AccessBytes(access));
  return path;
}

}  // namespace r770
