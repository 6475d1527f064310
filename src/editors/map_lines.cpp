#include "editors/map_lines.h"

#include <algorithm>
#include <functional>
#include <map>

#include "common/codec.h"
#include "common/number_forms.h"
#include "editors/register_map_form.h"

namespace r770 {
namespace {

// One record of delimited text: its first line and its fields.
struct Record {
  int Line = 0;
  std::vector<std::string> Fields;
  bool Blank() const { return Fields.size() == 1 && Trim(Fields[0]).empty(); }
};

// Splits delimited text into records: fields separated by sep, records by LF or CR LF; a
// field that starts with a quote runs to the closing quote (a doubled quote inside it is
// one quote) and may hold separators and line breaks.
std::vector<Record> SplitRecords(std::string_view text, char sep) {
  std::vector<Record> out;
  int line = 1;
  std::size_t i = 0;
  while (i < text.size()) {
    Record r;
    r.Line = line;
    std::string field;
    bool endOfRecord = false;
    while (!endOfRecord) {
      if (i < text.size() && text[i] == '"') {
        ++i;
        while (i < text.size()) {
          if (text[i] == '"') {
            if (i + 1 < text.size() && text[i + 1] == '"') {
              field.push_back('"');
              i += 2;
              continue;
            }
            ++i;
            break;
          }
          if (text[i] == '\n') ++line;
          field.push_back(text[i++]);
        }
      }
      while (i < text.size() && text[i] != sep && text[i] != '\n') field.push_back(text[i++]);
      if (!field.empty() && field.back() == '\r' && (i >= text.size() || text[i] == '\n')) field.pop_back();
      r.Fields.push_back(std::move(field));
      field.clear();
      if (i >= text.size()) {
        endOfRecord = true;
      } else if (text[i] == sep) {
        ++i;
      } else {  // '\n'
        ++i;
        ++line;
        endOfRecord = true;
      }
    }
    out.push_back(std::move(r));
  }
  return out;
}

bool ValidUtf8(std::string_view s) {
  for (std::size_t i = 0; i < s.size();) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    const std::size_t n = c < 0x80             ? 0
                          : (c & 0xE0) == 0xC0 ? 1
                          : (c & 0xF0) == 0xE0 ? 2
                          : (c & 0xF8) == 0xF0 ? 3
                                               : 4;
    if (n == 4 || i + n >= s.size() + (n == 0 ? 1 : 0)) return false;
    for (std::size_t k = 1; k <= n; ++k)
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    i += n + 1;
  }
  return true;
}

// The text as UTF-8 without a byte order mark; a text that is not UTF-8 is read as code
// page 1251 (what a Russian spreadsheet writes).
std::string AsUtf8(std::string_view text) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  return ValidUtf8(text) ? std::string(text) : Cp1251ToUtf8(text);
}

std::string Field(const std::vector<std::string>& f, std::size_t i) {
  return i < f.size() ? Trim(f[i]) : std::string();
}

std::optional<std::uint32_t> ReadNumber(const std::string& s) {
  if (s.empty()) return std::nullopt;
  return ParseUDec(s);
}

bool SameIdentity(const MapEntry& a, const MapEntry& b) {
  return a.ModuleNo == b.ModuleNo && a.ParamNo == b.ParamNo && a.TaskNo == b.TaskNo;
}

}  // namespace

std::optional<MapKind> MapKindOfCsvKey(std::string_view key) {
  for (MapKind k : kAllMapKinds)
    if (key == MapKey(k)) return k;
  return std::nullopt;
}

int AddressStep(MapKind kind) { return kind == MapKind::TIFloat || kind == MapKind::InputReg ? 2 : 1; }

std::string TreeParamName(const ParamTree& tree, int paramNode) {
  const TreeNode& param = tree.Node(paramNode);
  const TreeNode& task = tree.Node(param.Parent);
  const TreeNode& controller = tree.Node(task.Parent);
  return CutParamName(param.Label + "/" + task.Label + "(" + controller.Label + ")");
}

int OfferedNode(const ParamTree& tree, int controllerPos, std::int16_t taskNo, std::uint16_t paramNo) {
  const auto& nodes = tree.Nodes();
  for (std::size_t i = 0; i < nodes.size(); ++i) {
    const TreeNode& n = nodes[i];
    if (n.Level == 2 && n.ControllerPos == controllerPos && n.TaskNo == taskNo && n.ParamNo == paramNo)
      return static_cast<int>(i);
  }
  return -1;
}

std::string RowListText(std::vector<int> rows) {
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  std::string out;
  for (std::size_t i = 0; i < rows.size();) {
    std::size_t j = i;
    while (j + 1 < rows.size() && rows[j + 1] == rows[j] + 1) ++j;
    if (!out.empty()) out += ", ";
    out += std::to_string(rows[i] + 1);
    if (j > i) out += "-" + std::to_string(rows[j] + 1);
    i = j + 1;
  }
  return out;
}

std::string ProblemLines(const std::vector<MapLineProblem>& problems) {
  std::string out;
  for (const MapLineProblem& p : problems) {
    if (!out.empty()) out += "\n";
    out += "строка " + std::to_string(p.Line) + ": " + p.Reason;
  }
  return out;
}

namespace {

using Refuse = std::function<void(std::string)>;

// The Modbus addresses a line may not take: the ones of the rows the lines leave, and the ones
// of the lines before it; and, in the register maps, the parity of the first address.
class AddressCheck {
 public:
  AddressCheck(const MapLinesTarget& t, const std::vector<MapLine>& lines)
      : parityRule_(KeepsParity(t.Kind)), parity_(t.Parity) {
    const int count = static_cast<int>(t.Map.size());
    std::vector<bool> replaced(t.Map.size(), t.WholeMap);
    for (const MapLine& l : lines)
      if (l.Row >= 0 && l.Row < count) replaced[static_cast<std::size_t>(l.Row)] = true;
    for (int i = 0; i < count; ++i) {
      const MapEntry& e = t.Map[static_cast<std::size_t>(i)];
      if (!replaced[static_cast<std::size_t>(i)] && !e.IsEmpty() && e.ModbusAddr != 0xFFFF)
        taken_.emplace(e.ModbusAddr, i);
    }
  }

  // False, with the reasons refused, when the line's address is not free or breaks the parity.
  bool Admit(std::uint16_t address, int line, const Refuse& refuse) {
    bool ok = true;
    if (auto it = taken_.find(address); it != taken_.end()) {
      refuse("адрес " + std::to_string(address) + " уже занят строкой " + std::to_string(it->second + 1));
      ok = false;
    } else if (auto p = pasted_.find(address); p != pasted_.end()) {
      refuse("адрес " + std::to_string(address) + " повторяет адрес строки " + std::to_string(p->second));
      ok = false;
    } else {
      pasted_.emplace(address, line);
    }
    if (parityRule_) {
      const int p = address & 1;
      if (parity_ < 0) parity_ = p;
      if (p != parity_) {
        refuse("адрес " + std::to_string(address) + " нарушает нумерацию через 1 (нужен " +
               (parity_ ? "нечётный" : "чётный") + ")");
        ok = false;
      }
    }
    return ok;
  }

 private:
  std::map<std::uint32_t, int> taken_;   // address -> 0-based row holding it
  std::map<std::uint32_t, int> pasted_;  // address -> line
  bool parityRule_;
  int parity_;
};

// The address, network number, parameter and task of a line into e; false, with every
// reason refused, when one of them is wrong.
bool ReadLineNumbers(const MapLine& l, bool addressNeeded, MapEntry& e, const Refuse& refuse) {
  bool ok = true;
  const std::optional<std::uint32_t> addr = ReadNumber(l.Address);
  if (l.Address.empty()) {
    if (addressNeeded) {
      refuse("не задан адрес");
      ok = false;
    }
  } else if (!addr) {
    refuse("адрес \"" + l.Address + "\" не является числом");
    ok = false;
  } else if (*addr > 0xFFFF) {
    refuse("адрес " + l.Address + " больше 65535");
    ok = false;
  } else {
    e.ModbusAddr = static_cast<std::uint16_t>(*addr);
  }

  std::optional<std::uint32_t> module, param;
  if (l.Module.size() <= 2) module = ParseHex(l.Module);
  if (l.Param.size() <= 4) param = ParseHex(l.Param);
  const std::optional<std::int64_t> task = ParseDec(l.Task);
  if (!module || *module == 0xFF) {
    refuse("сетевой номер \"" + l.Module + "\" неверен (две шестнадцатеричные цифры, не FF)");
    ok = false;
  }
  if (!param) {
    refuse("номер параметра \"" + l.Param + "\" неверен (до четырёх шестнадцатеричных цифр)");
    ok = false;
  }
  if (!task || *task < -32768 || *task > 32767) {
    refuse("номер задачи \"" + l.Task + "\" неверен");
    ok = false;
  }
  if (!ok) return false;
  e.ModuleNo = static_cast<std::uint8_t>(*module);
  e.ParamNo = static_cast<std::uint16_t>(*param);
  e.TaskNo = static_cast<std::uint16_t>(static_cast<std::int16_t>(*task));
  return true;
}

// The parameter's name of e: checked against the database when its controller has its task
// file. False, refused, when the controller or the parameter is not there.
bool NameParameter(const MapLinesTarget& t, const MapLine& l, MapEntry& e, const Refuse& refuse) {
  const std::optional<std::size_t> pos = t.Cfg.FindController(e.ModuleNo);
  const std::string name = CutParamName(l.Name);
  if (!pos) {
    refuse("модуль " + Hex2(e.ModuleNo) + " отсутствует в списке контроллеров");
    return false;
  }
  const ControllerEntry& owner = t.Cfg.Controllers[*pos];
  if (owner.Task && owner.Found) {
    const int node =
        OfferedNode(t.Tree, static_cast<int>(*pos), static_cast<std::int16_t>(e.TaskNo), e.ParamNo);
    if (node < 0) {
      refuse("параметр " + Hex4(e.ParamNo) + " задачи " +
             std::to_string(static_cast<std::int16_t>(e.TaskNo)) + " модуля " + Hex2(e.ModuleNo) +
             " в базе не предлагается");
      return false;
    }
    e.ParamName = name.empty() ? TreeParamName(t.Tree, node) : name;
  } else {
    // A controller without its task file (read from the module): nothing to check the
    // parameter against. Its entries are shown under generated names; such a name read
    // back keeps the name the row holds.
    MapEntry shown = e;
    shown.ParamName.clear();
    const MapEntry& old = t.Map[static_cast<std::size_t>(l.Row)];
    if (name.empty() || name == t.Cfg.DisplayName(shown))
      e.ParamName = SameIdentity(old, e) ? old.ParamName : std::string(kNoParamName);
    else
      e.ParamName = name;
  }
  if (std::string refusal = Cp1251Refusal("имя параметра", e.ParamName); !refusal.empty()) {
    refuse(refusal);
    return false;
  }
  return true;
}

}  // namespace

MapLinesResult CheckMapLines(const MapLinesTarget& t, const std::vector<MapLine>& lines) {
  MapLinesResult result;
  const int count = static_cast<int>(t.Map.size());
  AddressCheck addresses(t, lines);
  for (const MapLine& l : lines) {
    const Refuse refuse = [&](std::string reason) { result.Problems.push_back({l.Line, std::move(reason)}); };
    if (l.Row < 0 || l.Row >= count) {
      refuse("строка таблицы " + std::to_string(l.Row + 1) +
             " за концом таблицы (строк в таблице: " + std::to_string(count) + ")");
      continue;
    }
    MapEntry e;
    if (!ReadLineNumbers(l, t.AddressNeeded, e, refuse)) continue;
    const bool addressOk = e.ModbusAddr == 0xFFFF || addresses.Admit(e.ModbusAddr, l.Line, refuse);
    if (!NameParameter(t, l, e, refuse)) continue;
    if (addressOk) result.Entries.emplace_back(l.Row, std::move(e));
  }
  if (!result.Problems.empty()) result.Entries.clear();
  return result;
}

std::string MapClipboardText(const Configuration& cfg, const RegisterMap& map, const std::vector<int>& rows) {
  std::string out;
  for (int row : rows) {
    if (row < 0 || row >= static_cast<int>(map.size())) continue;
    const MapEntry& e = map[static_cast<std::size_t>(row)];
    if (!e.IsEmpty()) {
      out += (e.ModbusAddr == 0xFFFF ? std::string() : std::to_string(e.ModbusAddr)) + "\t" +
             Hex2(e.ModuleNo) + "\t" + Hex4(e.ParamNo) + "\t" +
             std::to_string(static_cast<std::int16_t>(e.TaskNo)) + "\t" + CsvField(cfg.DisplayName(e), '\t');
    }
    out += "\n";
  }
  return out;
}

std::vector<MapLine> ParseClipboardText(std::string_view textIn, int firstRow) {
  const std::string text = AsUtf8(textIn);
  std::vector<Record> records = SplitRecords(text, '\t');
  // The last line break ends the last line; it does not start an empty one.
  if (!records.empty() && records.back().Blank()) records.pop_back();
  std::vector<MapLine> lines;
  int row = firstRow;
  for (std::size_t i = 0; i < records.size(); ++i) {
    const Record& r = records[i];
    if (r.Blank()) {
      ++row;
      continue;
    }
    MapLine l{r.Line,
              row,
              Field(r.Fields, 0),
              Field(r.Fields, 1),
              Field(r.Fields, 2),
              Field(r.Fields, 3),
              Field(r.Fields, 4)};
    if (i == 0 && !ReadNumber(l.Address) && !ParseHex(l.Module) && !ParseHex(l.Param) && !ParseDec(l.Task))
      continue;  // a title line
    lines.push_back(std::move(l));
    ++row;
  }
  return lines;
}

std::string MapCsvText(const Configuration& cfg, MapKind kind, const RegisterMap& map) {
  return std::string(kMapCsvHeader) + "\r\n" + MapCsvRows(cfg, kind, map);
}

std::string MapCsvRows(const Configuration& cfg, MapKind kind, const RegisterMap& map) {
  std::string csv;
  for (std::size_t i = 0; i < map.size(); ++i) {
    const MapEntry& e = map[i];
    if (e.IsEmpty()) continue;
    csv += std::string(MapKey(kind)) + ',' + std::to_string(i + 1) + ',' + std::to_string(e.ModbusAddr) +
           ',' + Hex2(e.ModuleNo) + ',' + Hex4(e.ParamNo) + ',' +
           std::to_string(static_cast<std::int16_t>(e.TaskNo)) + ',' +
           CsvField(EscapeControlChars(cfg.DisplayName(e))) + "\r\n";
  }
  return csv;
}

std::vector<MapLine> ParseMapCsv(std::string_view text, MapKind kind, std::vector<MapLineProblem>& problems) {
  std::vector<MapLine> lines;
  const std::size_t headerEnd = text.find('\n');
  std::string_view header = text.substr(0, headerEnd);
  if (!header.empty() && header.back() == '\r') header.remove_suffix(1);
  const char sep =
      header.find(';') != std::string_view::npos && header.find(',') == std::string_view::npos ? ';' : ',';
  std::vector<Record> records = SplitRecords(text, sep);
  if (!records.empty() && records.back().Blank()) records.pop_back();
  std::string expected = kMapCsvHeader;
  if (sep == ';') std::replace(expected.begin(), expected.end(), ',', ';');
  if (records.empty() || Utf8Upper(Trim(header)) != Utf8Upper(expected)) {
    problems.push_back({1, "ожидается заголовок " + expected});
    return lines;
  }
  const int count = MapCount(kind);
  std::map<int, int> rows;  // row -> line
  for (std::size_t i = 1; i < records.size(); ++i) {
    const Record& r = records[i];
    if (r.Blank()) continue;
    auto refuse = [&](std::string reason) { problems.push_back({r.Line, std::move(reason)}); };
    if (r.Fields.size() != 7) {
      refuse("полей " + std::to_string(r.Fields.size()) + ", а нужно 7");
      continue;
    }
    const std::string map = Field(r.Fields, 0);
    const std::optional<MapKind> k = MapKindOfCsvKey(map);
    if (!k) {
      refuse("неизвестная карта \"" + map + "\" (coils, di, hr, ir)");
      continue;
    }
    if (*k != kind) continue;
    const std::string rowText = Field(r.Fields, 1);
    const std::optional<std::uint32_t> row = ReadNumber(rowText);
    if (!row || *row < 1 || *row > static_cast<std::uint32_t>(count)) {
      refuse("номер строки таблицы \"" + rowText + "\" неверен (1.." + std::to_string(count) + ")");
      continue;
    }
    if (auto [it, fresh] = rows.emplace(static_cast<int>(*row), r.Line); !fresh) {
      refuse("строка таблицы " + rowText + " уже задана в строке " + std::to_string(it->second));
      continue;
    }
    lines.push_back({r.Line, static_cast<int>(*row) - 1, Field(r.Fields, 2), Field(r.Fields, 3),
                     Field(r.Fields, 4), Field(r.Fields, 5), r.Fields[6]});
  }
  return lines;
}

MapImport ImportMapCsv(const Configuration& cfg, MapKind kind, const ParamTree& tree,
                       const RegisterMap& current, std::string_view textIn) {
  const std::string text = AsUtf8(textIn);
  MapImport out;
  std::vector<MapLine> lines = ParseMapCsv(text, kind, out.Problems);
  MapLinesTarget target{cfg, kind, tree, current, /*WholeMap*/ true, /*Parity*/ -1, kind != MapKind::TU};
  MapLinesResult checked = CheckMapLines(target, lines);
  out.Problems.insert(out.Problems.end(), checked.Problems.begin(), checked.Problems.end());
  std::stable_sort(out.Problems.begin(), out.Problems.end(),
                   [](const MapLineProblem& a, const MapLineProblem& b) { return a.Line < b.Line; });
  if (!out.Problems.empty()) return out;
  out.Map.assign(static_cast<std::size_t>(MapCount(kind)), MapEntry{});
  for (auto& [row, entry] : checked.Entries) out.Map[static_cast<std::size_t>(row)] = std::move(entry);
  return out;
}

ParamTree MapTree(const Configuration& cfg, MapKind kind, bool shortTaskNames) {
  std::vector<TreeController> controllers;
  controllers.reserve(cfg.Controllers.size());
  for (const ControllerEntry& c : cfg.Controllers) controllers.push_back({c.Task.get(), c.Nset, c.Found});
  return ParamTree::Build(MapTraits(kind).Tree, controllers,
                          TreeOptions{cfg.State.FromModule, shortTaskNames});
}

}  // namespace r770
