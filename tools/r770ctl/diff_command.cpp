// r770ctl diff and compare: what differs between a document and another document or the
// module, by what the module holds; compare is the older yes-or-no form for two documents.
#include <ostream>

#include "common/number_forms.h"
#include "compare/config_diff.h"
#include "ctl.h"
#include "ctl_util.h"
#include "document/document_file.h"

namespace r770::ctl {
namespace {

// A common setting in the forms of show --json: numbers decimal, addresses as dotted text.
std::string CommonJson(const CommonSettings& c, const std::string& key) {
  if (key == "AdrCAN") return std::to_string(c.AdrCAN);
  if (key == "AdrExt") return std::to_string(c.AdrExt);
  if (key == "V_CAN") return std::to_string(c.V_CAN);
  if (key == "V_Ethernet") return std::to_string(c.V_Ethernet);
  if (key == "trepeat") return std::to_string(c.trepeat);
  if (key == "twaitCAN") return std::to_string(c.twaitCAN);
  if (key == "AdrPort") return std::to_string(c.AdrPort);
  if (key == "AdrIP") return Json(DecBytesText(c.AdrIP.data(), 4));
  if (key == "AdrGate") return Json(DecBytesText(c.AdrGate.data(), 4));
  if (key == "Mask") return Json(DecBytesText(c.Mask.data(), 4));
  return "null";
}

std::string EntryJson(const std::optional<DiffEntry>& e) {
  if (!e) return "null";
  return "{\"address\": " + std::to_string(e->ModbusAddr) + ", \"module\": " + std::to_string(e->ModuleNo) +
         ", \"param\": " + std::to_string(e->ParamNo) + ", \"name\": " + Json(e->Name) + "}";
}

std::string ControllerJson(const std::optional<DiffController>& c) {
  if (!c) return "null";
  return "{\"nset\": " + std::to_string(c->Nset) +
         ", \"taskFile\": " + (c->TaskFile.empty() ? std::string("null") : Json(c->TaskFile)) + "}";
}

void PrintText(const std::vector<ConfigDifference>& diffs, std::ostream& out) {
  if (diffs.empty()) {
    out << "Одинаково\n";
    return;
  }
  std::string group;
  for (const ConfigDifference& d : diffs) {
    const std::string title = DiffGroupTitle(d.Group, d.Map);
    if (title != group) out << title << "\n";
    group = title;
    out << "  " << d.Where << ": " << d.Left << " <> " << d.Right << "\n";
  }
}

void PrintJson(const std::vector<ConfigDifference>& diffs, const Configuration& left,
               const Configuration& right, const std::string& rightSide, std::ostream& out) {
  out << "{\n  \"schema\": \"r770ctl-diff/1\",\n";
  out << "  \"left\": {\"file\": " << Json(left.State.FileName) << "},\n";
  out << "  \"right\": " << rightSide << ",\n";
  out << "  \"equal\": " << (diffs.empty() ? "true" : "false") << ",\n";
  out << "  \"controllersCompared\": " << (ComparesControllers(left, right) ? "true" : "false") << ",\n";
  out << "  \"differences\": [";
  for (std::size_t i = 0; i < diffs.size(); ++i) {
    const ConfigDifference& d = diffs[i];
    out << (i ? "," : "") << "\n    {";
    switch (d.Group) {
      case DiffGroup::Common:
        out << "\"section\": \"common\", \"field\": " << Json(d.Field) << ", \"label\": " << Json(d.Label)
            << ", \"left\": " << CommonJson(left.Common, d.Field)
            << ", \"right\": " << CommonJson(right.Common, d.Field);
        break;
      case DiffGroup::Controllers:
        out << "\"section\": \"controllers\", \"left\": " << ControllerJson(d.LeftController)
            << ", \"right\": " << ControllerJson(d.RightController);
        break;
      case DiffGroup::Map:
        out << "\"section\": \"map\", \"map\": \"" << MapKey(d.Map) << "\", \"row\": " << d.Row
            << ", \"left\": " << EntryJson(d.LeftEntry) << ", \"right\": " << EntryJson(d.RightEntry);
        break;
    }
    out << ", \"text\": " << Json(d.Where + ": " + d.Left + " <> " + d.Right) << "}";
  }
  out << (diffs.empty() ? "" : "\n  ") << "]\n}\n";
}

}  // namespace

int Diff(const std::vector<std::string>& args, Io& io) {
  if (HasHelp(args)) {
    io.out << "r770ctl diff A.bmt B.bmt [--json]\n"
              "r770ctl diff FILE.bmt --module [--json] [связь]\n"
              "  Показывает, чем документ отличается от другого документа или от конфигурации модуля,\n"
              "  по тому, что хранит модуль: общие настройки (кроме MAC-адреса), номера модулей,\n"
              "  параметров и адреса Modbus всех записей карт (по строкам), а между двумя документами\n"
              "  ещё и список контроллеров (сетевой номер и файл очереди задач). Имена параметров не\n"
              "  сравниваются. С --module модуль читается так же, как командой read, но в память:\n"
              "  файл не пишется, документ не меняется. Одна строка на различие, по разделам.\n"
              "  --json  вывод в формате JSON (схема r770ctl-diff/1, см. docs/r770ctl.md)\n"
              "  Код возврата: 0 — одинаково, 1 — есть различия, 2 — ошибка в параметрах, 3 — документ\n"
              "  не загружен или модуль не прочитан.\n"
              "  Связь (с --module): --tcp, --can, --speed, --node, --net, --retries, --timeout,\n"
              "  как у read (r770ctl read --help).\n";
    return kExitOk;
  }
  bool json = false, module = false;
  std::vector<std::string> files, linkArgs;
  cli::ArgParser()
      .Flag("--json", [&] { json = true; })
      .Flag("--module", [&] { module = true; })
      // A link option and its value, checked with --module.
      .Unknown(cli::ArgValue::NextUnlessOption,
               [&](const std::string& option, const cli::ArgParser::Value& value) {
                 linkArgs.push_back(option);
                 if (value) linkArgs.push_back(*value);
                 return std::string();
               })
      .Positional(Collect(files))
      .Parse(args);
  if (!module && !linkArgs.empty()) return UsageError(io, "неизвестный ключ " + linkArgs[0]);
  if (module ? files.size() != 1 : files.size() != 2)
    return UsageError(io, module ? "укажите один файл документа и --module" : "укажите два файла документа");

  Loaded left, right;
  if (!LoadForCtl(files[0], io, left)) return kExitUnreadable;
  std::string rightSide;
  if (module) {
    std::uint8_t net = 0;
    const int code = ReadModuleInto(linkArgs, io, left.cfg, right.cfg, &net);
    if (code == kExitUsage || code == kExitInterrupted) return code;
    if (code != kExitOk) return kExitUnreadable;
    rightSide = "{\"module\": " + std::to_string(net) + "}";
  } else {
    if (!LoadForCtl(files[1], io, right)) return kExitUnreadable;
    rightSide = "{\"file\": " + Json(right.cfg.State.FileName) + "}";
  }

  const std::vector<ConfigDifference> diffs =
      CompareConfigurations(left.cfg, right.cfg, {left.settings.ShortTaskNames});
  if (json)
    PrintJson(diffs, left.cfg, right.cfg, rightSide, io.out);
  else
    PrintText(diffs, io.out);
  return diffs.empty() ? kExitOk : kExitProblems;
}

int Compare(const std::vector<std::string>& args, Io& io) {
  if (HasHelp(args)) {
    io.out << "r770ctl compare A.bmt B.bmt\n"
              "  Сравнивает то, что записывается в модуль: общие настройки (кроме MAC-адреса) и\n"
              "  номера модулей, параметров и адреса Modbus всех записей карт. Код возврата 0 — совпадают.\n";
    return kExitOk;
  }
  if (args.size() != 2) return UsageError(io, "укажите два файла документа");
  Loaded a, b;
  if (!LoadForCtl(args[0], io, a) || !LoadForCtl(args[1], io, b)) return kExitProblems;
  std::vector<std::string> diffs;
  CommonSettings ca = a.cfg.Common, cb = b.cfg.Common;
  ca.Invers = cb.Invers;  // kept in the document only, never sent to the module
  ca.SWAP = cb.SWAP;
  ca.AdrMAC = cb.AdrMAC;  // the module's own, read but never written
  if (!(ca == cb)) diffs.push_back("общие настройки различаются");
  for (MapKind k : kAllMapKinds) {
    const RegisterMap& ma = a.cfg.Map(k);
    const RegisterMap& mb = b.cfg.Map(k);
    for (std::size_t i = 0; i < ma.size() && i < mb.size(); ++i) {
      const MapEntry& x = ma[i];
      const MapEntry& y = mb[i];
      if (x.ModuleNo != y.ModuleNo || x.ParamNo != y.ParamNo || x.ModbusAddr != y.ModbusAddr)
        diffs.push_back(std::string(MapKey(k)) + ", строка " + std::to_string(i + 1) + ": " +
                        Hex2(x.ModuleNo) + " " + Hex4(x.ParamNo) + " " + std::to_string(x.ModbusAddr) +
                        " <> " + Hex2(y.ModuleNo) + " " + Hex4(y.ParamNo) + " " +
                        std::to_string(y.ModbusAddr));
    }
  }
  for (const auto& d : diffs) io.out << d << "\n";
  if (!diffs.empty()) return kExitProblems;
  io.out << "Документы совпадают.\n";
  return kExitOk;
}

}  // namespace r770::ctl
