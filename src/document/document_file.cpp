#include "document/document_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "common/codec.h"
#include "common/dialogs.h"
#include "common/ini_file.h"
#include "common/number_forms.h"
#include "database/db_files.h"
#include "database/task_cl.h"
#include "document/program_settings.h"

namespace r770 {

void DialogsDocumentView::Information(const std::string& text) { dialogs_.Information(text); }
namespace {

constexpr const char* kProtokol = "Protokol";
constexpr const char* kCommon = "Common";
constexpr const char* kConfig = "Config";
constexpr const char* kDocumentName = "Modbus/TCP";

// Key names of one map section: entry, name, address (followed by DEC(n)).
struct MapKeys {
  const char* entry;
  const char* name;
  const char* address;
};

MapKeys KeysOf(MapKind kind) {
  switch (kind) {
    case MapKind::TU:
      return {"TU1-", "NameTU1-", "Coil-"};
    case MapKind::TC:
      return {"TC", "NameTC", "DiscretInp"};
    case MapKind::TIFloat:
      return {"TIFl", "NameTIFl", "HoldingReg"};
    case MapKind::InputReg:
      break;
  }
  return {"ParInputReg", "NameInputReg", "InputReg"};
}

void Step(DocumentView& view) {
  view.ProgressStep();
  view.PumpEvents();
}

// A value as it appears in a message: very long junk is shortened.
std::string Shown(const std::string& value) {
  constexpr std::size_t kMax = 100;
  if (Utf8Length(value) <= kMax) return value;
  return Utf8Left(value, kMax) + "...";
}

// A decimal text as the program reads it (a sign is accepted), as 32 bits to be cut.
std::optional<std::uint32_t> DecValue(std::string_view text) {
  auto v = ParseDec(text);
  if (!v) return std::nullopt;
  return static_cast<std::uint32_t>(*v);
}

// Reads keys of one open document and converts them; the first value that does not
// convert is reported and stops the caller.
class Reader {
 public:
  Reader(const IniFile& ini, DocumentView& view) : ini_(ini), view_(view) {}

  std::string Text(const char* section, const std::string& key, const char* def) const {
    return ini_.ReadString(section, key, def);
  }

  // "$" + text read as hexadecimal.
  std::optional<std::uint32_t> Hex(const char* section, const std::string& key, const std::string& text) {
    auto v = ParseHex(text);
    if (!v) Fail(section, key, text);
    return v;
  }
  std::optional<std::uint32_t> Dec(const char* section, const std::string& key, const std::string& text) {
    auto v = DecValue(text);  // cut to the field's width by the caller
    if (!v) Fail(section, key, text);
    return v;
  }
  std::optional<std::uint32_t> HexKey(const char* section, const std::string& key, const char* def) {
    return Hex(section, key, Text(section, key, def));
  }
  std::optional<std::uint32_t> DecKey(const char* section, const std::string& key, const char* def) {
    return Dec(section, key, Text(section, key, def));
  }

  void Fail(const char* section, const std::string& key, const std::string& value) {
    view_.Information("Ошибка в файле: раздел \"" + std::string(section) + "\", ключ \"" + key +
                      "\": значение \"" + Shown(value) + "\" не является числом");
  }

 private:
  const IniFile& ini_;
  DocumentView& view_;
};

bool ReadCommon(Configuration& cfg, Reader& r) {
  CommonSettings& c = cfg.Common;
  cfg.State.CommonChanged = false;
  auto adrCan = r.HexKey(kCommon, "AdrCAN", "0");
  if (!adrCan) return false;
  c.AdrCAN = static_cast<std::uint8_t>(*adrCan);
  auto adrExt = r.HexKey(kCommon, "AdrExt", "0");
  if (!adrExt) return false;
  c.AdrExt = static_cast<std::uint8_t>(*adrExt);
  {
    // Only the first five texts stand for a speed the module knows; any other text, like
    // one outside the table, leaves V_CAN as it was.
    std::string text = r.Text(kCommon, "V_CAN", "300");
    for (std::size_t i = 0; i < kCanSpeeds.size(); ++i)
      if (text == kCanSpeedTexts[i]) c.V_CAN = static_cast<std::uint8_t>(i);
  }
  auto trepeat = r.DecKey(kCommon, "trepeat", "5");
  if (!trepeat) return false;
  c.trepeat = static_cast<std::uint16_t>(*trepeat);
  auto twait = r.DecKey(kCommon, "twaitCAN", "50");
  if (!twait) return false;
  c.twaitCAN = static_cast<std::uint16_t>(*twait);
  {
    std::string text = r.Text(kCommon, "V_Ethernet", kEthernetSpeedTexts[0]);
    for (std::size_t i = 0; i < kEthernetSpeedTexts.size(); ++i)
      if (text == kEthernetSpeedTexts[i]) c.V_Ethernet = static_cast<std::uint8_t>(i);
  }
  auto port = r.HexKey(kCommon, "AdrPort", "CAF8");
  if (!port) return false;
  c.AdrPort = static_cast<std::uint16_t>(*port);
  // Malformed addresses are not reported: the groups parsed before the fault are taken.
  ParseHexBytes(r.Text(kCommon, "AdrMAC", "FF.FF.FF.FF.FF.FF"), c.AdrMAC.data(), 6);
  ParseDecBytes(r.Text(kCommon, "AdrIP", "255.255.255.255"), c.AdrIP.data(), 4);
  ParseDecBytes(r.Text(kCommon, "AdrGate", "255.255.255.255"), c.AdrGate.data(), 4);
  ParseDecBytes(r.Text(kCommon, "Mask", "255.255.255.255"), c.Mask.data(), 4);
  c.Invers = r.Text(kCommon, "Invers", "NO") == "YES";
  c.SWAP = r.Text(kCommon, "SWAP", "NO") == "YES";
  return true;
}

// The refusal of a file whose "Config" names more controllers than the network can hold
// (checked before any task file is loaded), or empty.
std::string TooManyControllers(const IniFile& ini, const std::string& path) {
  const std::size_t count = ini.SectionKeys(kConfig).size() / 2;
  if (count <= kMaxControllers) return {};
  return "Файл " + path + " не загружен: в нем " + std::to_string(count) +
         " контроллеров, а в сети CAN-BUS их может быть не больше " + std::to_string(kMaxControllers) +
         " (сетевой номер занимает один байт)";
}

// Rebuilds the controller list from "Config": the keys in file order, taken as pairs. A
// controller whose task file is missing (or whose path is empty) stays in the list without
// a task object, with Found clear and its path kept; one whose task file exists but does
// not load is reported and left out.
bool ReadControllers(Configuration& cfg, const ProgramSettings& settings, const IniFile& ini,
                     DocumentView& view, bool* needsAttention) {
  Reader r(ini, view);
  cfg.ClearControllers();
  *needsAttention = false;
  std::vector<std::string> keys = ini.SectionKeys(kConfig);
  for (std::size_t i = 0; i + 1 < keys.size(); i += 2) {
    std::string path = r.Text(kConfig, keys[i], "");
    ControllerEntry entry;
    entry.StoredPath = path;
    if (db::PathExists(path)) {
      auto task = std::make_unique<Task_CL>(path, settings.WorkTask, settings.WorkMod, settings.WorkAlg);
      if (!task->Errors().empty()) {
        view.Information(path + "\n" + task->Errors().front());
        if (db::IsRegularFile(path)) {  // a faulty task file: the controller is left out
          Step(view);
          continue;
        }
        // A folder or a device where the task file should be: the controller stays as one
        // whose task file is missing, so that the next save keeps its path.
        *needsAttention = true;
      } else {
        entry.Task = std::move(task);
        entry.Found = true;
      }
    } else {
      *needsAttention = true;
    }
    auto nset = r.HexKey(kConfig, keys[i + 1], "0");
    if (!nset) return false;
    entry.Nset = static_cast<std::int32_t>(*nset);
    cfg.Controllers.push_back(std::move(entry));
    Step(view);
  }
  cfg.State.ControllersChanged = false;
  return true;
}

// Splits text at its first "."; without a "." the part before it is empty and the rest is
// the whole text.
std::pair<std::string, std::string> SplitAtDot(const std::string& text) {
  auto dot = text.find('.');
  if (dot == std::string::npos) return {std::string(), text};
  return {text.substr(0, dot), text.substr(dot + 1)};
}

bool ReadMap(Configuration& cfg, MapKind kind, Reader& r) {
  const char* section = MapSection(kind);
  const MapKeys keys = KeysOf(kind);
  RegisterMap& map = cfg.Map(kind);
  for (int n = 0; n < MapCount(kind); ++n) {
    MapEntry& e = map[static_cast<std::size_t>(n)];
    const std::string num = std::to_string(n);
    const std::string entryKey = keys.entry + num;
    if (kind == MapKind::TU) {
      const std::string addrKey = keys.address + num;
      std::string coil = r.Text(section, addrKey, "65535");
      if (coil == "65535") {
        e.ModbusAddr = 65535;
        continue;
      }
      auto addr = r.Dec(section, addrKey, coil);
      if (!addr) return false;
      e.ModbusAddr = static_cast<std::uint16_t>(*addr);
    }
    std::string value = r.Text(section, entryKey, "$FF.");
    auto [first, rest] = SplitAtDot(value);
    if (first == "$FF") continue;  // the key is absent: the entry stays empty
    auto [modulePart, taskPart] = SplitAtDot(rest);
    auto param = ParseHex(first);
    auto module = kind == MapKind::TU ? ParseHex(modulePart) : DecValue(modulePart);
    auto task = DecValue(taskPart);
    if (!param || !module || !task) {
      r.Fail(section, entryKey, value);
      return false;
    }
    e.ParamNo = static_cast<std::uint16_t>(*param);
    e.ModuleNo = static_cast<std::uint8_t>(*module);
    e.TaskNo = static_cast<std::uint16_t>(*task);
    e.ParamName = CutParamName(r.Text(section, keys.name + num, ""));
    if (kind != MapKind::TU) {
      auto addr = r.DecKey(section, keys.address + num, "0");
      if (!addr) return false;
      e.ModbusAddr = static_cast<std::uint16_t>(*addr);
    }
  }
  return true;
}

// A value never spans lines: a line break inside a name or path would break the file.
std::string OneLine(std::string text) {
  for (char& c : text)
    if (c == '\r' || c == '\n') c = ' ';
  return text;
}

void WriteCommon(IniFile& ini, const CommonSettings& c) {
  ini.EraseSection(kCommon);
  ini.WriteString(kCommon, "AdrCAN", Hex2(c.AdrCAN));
  ini.WriteString(kCommon, "AdrExt", Hex2(c.AdrExt));
  ini.WriteString(kCommon, "V_CAN", kCanSpeedTexts[c.V_CAN < kCanSpeeds.size() ? c.V_CAN : 0]);
  ini.WriteString(kCommon, "trepeat", std::to_string(c.trepeat));
  ini.WriteString(kCommon, "twaitCAN", std::to_string(c.twaitCAN));
  ini.WriteString(kCommon, "V_Ethernet", kEthernetSpeedTexts[c.V_Ethernet == 1 ? 1 : 0]);
  ini.WriteString(kCommon, "AdrPort", Hex4(c.AdrPort));
  ini.WriteString(kCommon, "AdrMAC", HexBytesText(c.AdrMAC.data(), 6));
  ini.WriteString(kCommon, "AdrIP", DecBytesText(c.AdrIP.data(), 4));
  ini.WriteString(kCommon, "AdrGate", DecBytesText(c.AdrGate.data(), 4));
  ini.WriteString(kCommon, "Mask", DecBytesText(c.Mask.data(), 4));
  ini.WriteString(kCommon, "Invers", c.Invers ? "YES" : "NO");
  ini.WriteString(kCommon, "SWAP", c.SWAP ? "YES" : "NO");
}

// The task file path stored for a controller under "WayUser".
std::string StoredTaskPath(const ControllerEntry& c, bool fromModule) {
  // A read document's controller without its task file has no path to write. A path read
  // from a document file is written back as it was, also where no task file of the
  // document exists and it therefore counts as read from the module: blanking it would
  // lose the path.
  if (fromModule && !c.Found && c.StoredPath.empty()) return {};
  return c.TaskFilePath();
}

void WriteControllers(IniFile& ini, const Configuration& cfg, bool fromModule) {
  ini.EraseSection(kConfig);
  for (std::size_t n = 0; n < cfg.Controllers.size(); ++n) {
    const ControllerEntry& c = cfg.Controllers[n];
    ini.WriteString(kConfig, "WayUser" + std::to_string(n), OneLine(StoredTaskPath(c, fromModule)));
    ini.WriteString(kConfig, "Nset" + std::to_string(n), Hex2(static_cast<std::uint32_t>(c.Nset)));
  }
}

// The refusal of the first text of the parts to be written that code page 1251 cannot
// hold; empty when every text fits. Such a text would reach the file with "?" in place of
// its characters.
std::string TextThatDoesNotFit(const Configuration& cfg, bool fromModule) {
  if (cfg.State.ControllersChanged)
    for (const ControllerEntry& c : cfg.Controllers) {
      const std::string path = StoredTaskPath(c, fromModule);
      if (!FitsCp1251(path))
        return Cp1251Refusal("Путь к очереди задач контроллера " + Hex2(static_cast<std::uint32_t>(c.Nset)) +
                                 " \"" + Shown(path) + "\"",
                             path);
    }
  for (MapKind k : kAllMapKinds) {
    if (!cfg.MapChanged(k)) continue;
    const RegisterMap& map = cfg.Map(k);
    for (std::size_t n = 0; n < map.size(); ++n)
      if (!FitsCp1251(map[n].ParamName))
        return Cp1251Refusal("Имя параметра в разделе \"" + std::string(MapSection(k)) + "\", запись " +
                                 std::to_string(n) + " \"" + Shown(map[n].ParamName) + "\"",
                             map[n].ParamName);
  }
  return {};
}

std::string EntryText(MapKind kind, const MapEntry& e) {
  std::string module = kind == MapKind::TU ? Hex2(e.ModuleNo) : std::to_string(e.ModuleNo);
  return Hex4(e.ParamNo) + "." + module + "." + std::to_string(e.TaskNo);
}

// Where a save goes: a symbolic link is followed so that the file it names is replaced,
// not the link. A folder, a device or a file that may not be written is refused.
std::string SaveTarget(const std::string& path, std::string* target) {
  *target = path;
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    if (char* real = ::realpath(path.c_str(), nullptr)) {
      *target = real;
      std::free(real);
    }
  }
  // Nothing there yet: a new file. Any other reason (a name too long, a loop of links, no
  // access to a folder) is that of the write that cannot be.
  if (::stat(target->c_str(), &st) != 0)
    return errno == ENOENT ? std::string() : "Не удалось записать файл " + path + ": " + std::strerror(errno);
  if (S_ISDIR(st.st_mode)) return "Путь " + path + " указывает на папку, а не на файл";
  if (!S_ISREG(st.st_mode)) return "Путь " + path + " не указывает на обычный файл";
  if (::access(target->c_str(), W_OK) != 0)
    return "Файл " + path + " недоступен для записи: " + std::strerror(errno);
  return {};
}

}  // namespace

bool LoadDocument(Configuration& cfg, const ProgramSettings& settings, const std::string& path,
                  DocumentView& view) {
  IniFile ini(path);
  if (!ini.Error().empty()) {
    view.Information(ini.Error());
    return false;
  }
  // The type is checked before the document takes the file's name: a rejected file must
  // not become the target of the next save.
  if (ini.ReadString(kProtokol, "Name", "") != kDocumentName) {
    view.Information("Файл " + path + " не соответствует нужному типу");
    return false;
  }
  if (std::string refusal = TooManyControllers(ini, path); !refusal.empty()) {
    view.Information(refusal);
    return false;
  }
  cfg.State.FileName = path;
  cfg.CreateMaps();
  // The load replaces every part: no flag of the previous content may survive it, even when
  // the load stops early, or the next save would write emptied parts over the file's own.
  cfg.ClearAllChanged();
  (void)ini.ReadString(kProtokol, "TypeFile", "Input");  // the origin comes from the controllers
  Step(view);

  Reader r(ini, view);
  if (!ReadCommon(cfg, r)) return false;
  Step(view);

  bool needsAttention = false;
  if (!ReadControllers(cfg, settings, ini, view, &needsAttention)) return false;
  Step(view);
  if (needsAttention) {
    // The editor shows the list as that of a file document (paths, the rows without their
    // task file marked); the origin is settled once it has closed. The maps are read only
    // after it: the removals it applies are kept for them.
    cfg.State.IsNew = false;
    cfg.State.FromModule = false;
    cfg.MapsPending = true;
    view.OpenControllerEditor();
    cfg.MapsPending = false;
  }

  cfg.State.IsNew = false;
  cfg.State.FromFile = cfg.HasControllers();
  cfg.State.FromModule = !cfg.State.FromFile;

  for (MapKind k : kAllMapKinds) cfg.ResetMapEntry(k, -1);
  for (MapKind k : kAllMapKinds) {
    if (!ReadMap(cfg, k, r)) {
      cfg.DeletedNsets.clear();
      return false;
    }
    Step(view);
  }
  // Controllers removed in the editor take their map entries with them, as "Применить"
  // does for maps already read; the document then differs from its file.
  if (!cfg.DeletedNsets.empty()) {
    cfg.EmptyEntriesOfDeleted();
    for (MapKind k : kAllMapKinds) cfg.MapChanged(k) = true;
  }
  view.SetStatus(cfg.State.FileName);
  return true;
}

bool LoadControllers(Configuration& cfg, const ProgramSettings& settings, const std::string& path,
                     DocumentView& view) {
  IniFile ini(path);
  std::string problem = ini.Error();
  if (problem.empty() && !path.empty() && !db::PathExists(path)) problem = "Файл " + path + " не найден";
  if (problem.empty()) problem = TooManyControllers(ini, path);
  if (!problem.empty()) {
    view.Information(problem);  // the list stays as it is
    return false;
  }
  bool needsAttention = false;
  return ReadControllers(cfg, settings, ini, view, &needsAttention);
}

bool SaveDocument(Configuration& cfg, const std::string& path, DocumentView& view) {
  DocumentState& st = cfg.State;
  // A read document whose controllers all have their task files becomes a file document;
  // the state changes only once the save went through, so a failed save leaves the
  // document to "Сохранить как ..." as before.
  bool fromModule = st.FromModule;
  if (fromModule && !cfg.Controllers.empty()) {
    bool allFound = true;
    for (const auto& c : cfg.Controllers) allFound = allFound && c.Found;
    if (allFound) fromModule = false;
  }

  // A text that would lose characters refuses the whole save before anything is written.
  if (std::string refusal = TextThatDoesNotFit(cfg, fromModule); !refusal.empty()) {
    view.Information("Файл " + path + " не сохранен. " + refusal);
    return false;
  }

  std::string target;
  std::string problem = SaveTarget(path, &target);
  // The existing file is read first: the parts whose flags are clear keep what it holds.
  IniFile ini(target);
  if (problem.empty()) problem = ini.Error();
  if (!problem.empty()) {
    view.Information(problem);
    return false;
  }

  // Every part goes into the file's content in memory; the file itself is replaced once,
  // so that it holds either the whole old document or the whole new one.
  ini.EraseSection(kProtokol);
  ini.WriteString(kProtokol, "Name", kDocumentName);
  ini.WriteString(kProtokol, "TypeFile", fromModule ? "Read" : "Input");
  Step(view);

  // The flags of the parts written here; they are cleared once the file is on disk.
  std::vector<bool*> written;
  if (st.CommonChanged) {
    WriteCommon(ini, cfg.Common);
    written.push_back(&st.CommonChanged);
    Step(view);
  }
  if (st.ControllersChanged) {
    WriteControllers(ini, cfg, fromModule);
    written.push_back(&st.ControllersChanged);
    Step(view);
  }
  for (MapKind k : kAllMapKinds) {
    if (!cfg.MapChanged(k)) continue;
    written.push_back(&cfg.MapChanged(k));
    const std::string section = MapSection(k);
    const MapKeys keys = KeysOf(k);
    const RegisterMap& map = cfg.Map(k);
    const std::size_t count = static_cast<std::size_t>(MapCount(k));
    // Sections named after an entry are no part of the document; they go before the map's
    // keys are written, which changes nothing in the file, since they are other sections.
    for (std::size_t n = 0; n < count; ++n) ini.EraseSection(section + std::to_string(n));
    IniFile::SectionWriter out = ini.WriteSection(section);
    std::string key, num;
    for (std::size_t n = 0; n < count; ++n) {
      num = std::to_string(n);
      static const MapEntry kEmpty{};
      const MapEntry& e = n < map.size() ? map[n] : kEmpty;
      out.Write((key = keys.entry) += num, EntryText(k, e));
      if (e.ParamName.find('\n') == std::string::npos && e.ParamName.find('\r') == std::string::npos)
        out.Write((key = keys.name) += num, e.ParamName);
      else
        out.Write((key = keys.name) += num, OneLine(e.ParamName));
      out.Write((key = keys.address) += num, std::to_string(e.ModbusAddr));
      Step(view);
    }
    Step(view);
  }

  // A failed write keeps every flag: nothing of this save reached the file.
  if (!ini.Save()) {
    view.Information(ini.Error());
    return false;
  }
  for (bool* flag : written) *flag = false;
  st.FromModule = fromModule;
  st.IsNew = false;
  st.FromFile = true;
  st.FileName = path;
  view.SetStatus(path);
  return true;
}

bool ParseHexBytes(const std::string& text, std::uint8_t* bytes, int n) {
  int stored = 0;
  unsigned value = 0;
  auto endGroup = [&]() {
    if (value > 255 || stored >= n) return false;
    bytes[stored++] = static_cast<std::uint8_t>(value);
    value = 0;
    return true;
  };
  for (char c : text) {
    if (c == '.' || c == ' ') {
      if (!endGroup()) return false;
    } else if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F')) {
      unsigned d = c <= '9' ? static_cast<unsigned>(c - '0') : static_cast<unsigned>(c - 'A' + 10);
      value = value > 255 ? 256 : value * 16 + d;  // past 255 it only has to stay too big
    } else {
      return false;
    }
  }
  // A separator directly before the end closed the last group already; an empty text is
  // one empty group.
  const bool closed = !text.empty() && (text.back() == '.' || text.back() == ' ');
  if (!closed && !endGroup()) return false;
  return stored == n;
}

bool ParseDecBytes(const std::string& text, std::uint8_t* bytes, int n) {
  int stored = 0;
  unsigned value = 0;
  int place = 0;  // 0 units, 1 tens, 2 hundreds, ...
  auto endGroup = [&]() {
    if (value > 255 || stored >= n) return false;
    bytes[n - 1 - stored++] = static_cast<std::uint8_t>(value);
    value = 0;
    place = 0;
    return true;
  };
  static constexpr unsigned kPlaces[3] = {1, 10, 100};
  for (std::size_t i = text.size(); i-- > 0;) {
    char c = text[i];
    if (c == '.' || c == ' ') {
      if (!endGroup()) return false;
    } else if (c >= '0' && c <= '9') {
      unsigned d = static_cast<unsigned>(c - '0');
      if (place < 3)
        value += d * kPlaces[place];
      else if (d != 0)
        value = 256;  // a thousand or more
      ++place;
    } else {
      return false;
    }
  }
  // A separator directly at the start closed the first group already; an empty text is
  // one empty group.
  const bool closed = !text.empty() && (text.front() == '.' || text.front() == ' ');
  if (!closed && !endGroup()) return false;
  return stored == n;
}

std::string HexBytesText(const std::uint8_t* bytes, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) {
    if (i) out += '.';
    out += Hex2(bytes[i]);
  }
  return out;
}

std::optional<std::string> DocumentModuleIP(const CommonSettings& common) {
  if (common.AdrIP == CommonSettings{}.AdrIP) return std::nullopt;
  return DecBytesText(common.AdrIP.data(), 4);
}

std::string DecBytesText(const std::uint8_t* bytes, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) {
    if (i) out += '.';
    out += std::to_string(bytes[i]);
  }
  return out;
}

}  // namespace r770
