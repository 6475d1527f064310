// Commands on documents: show, export-csv, check.
#include <iostream>
#include <memory>
#include <sstream>

#include "common/codec.h"
#include "common/number_forms.h"
#include "ctl.h"
#include "ctl_util.h"
#include "database/task_cl.h"
#include "document/configuration.h"
#include "document/document_check.h"
#include "document/document_file.h"
#include "document/document_overview.h"
#include "document/program_settings.h"
#include "editors/map_lines.h"

namespace r770::ctl {
namespace {

// Map order of the listings: the order of the module's Modbus objects.
constexpr MapKind kListOrder[] = {MapKind::TU, MapKind::TC, MapKind::TIFloat, MapKind::InputReg};

std::string DecBytes(const std::uint8_t* b, int n) { return DecBytesText(b, n); }

void ShowText(const Configuration& cfg, std::ostream& out) {
  const CommonSettings& c = cfg.Common;
  out << "Документ: " << EscapeControlChars(cfg.State.FileName) << "\n";
  out << "Общие настройки\n";
  for (const auto& [label, value] : CommonSettingsTexts(c)) out << "  " << label << ": " << value << "\n";
  out << "Контроллеры\n";
  for (std::size_t i = 0; i < cfg.Controllers.size(); ++i) {
    out << "  " << EscapeControlChars(ControllerText(cfg, i)) << "\n";
  }
  for (MapKind k : kListOrder) {
    out << MapKey(k) << "\n";
    const RegisterMap& m = cfg.Map(k);
    for (std::size_t i = 0; i < m.size(); ++i) {
      const MapEntry& e = m[i];
      if (e.IsEmpty()) continue;
      out << "  " << (i + 1) << ": адрес " << e.ModbusAddr << ", модуль " << Hex2(e.ModuleNo) << ", параметр "
          << Hex4(e.ParamNo) << ", задача " << static_cast<std::int16_t>(e.TaskNo) << ", "
          << EscapeControlChars(cfg.DisplayName(e)) << "\n";
    }
  }
}

void ShowJson(const Configuration& cfg, std::ostream& out) {
  const CommonSettings& c = cfg.Common;
  out << "{\n  \"schema\": \"r770ctl-document/1\",\n";
  out << "  \"file\": " << Json(cfg.State.FileName) << ",\n";
  out << "  \"fromModule\": " << (cfg.State.FromModule ? "true" : "false") << ",\n";
  out << "  \"common\": {\n";
  out << "    \"AdrCAN\": " << int(c.AdrCAN) << ",\n    \"AdrExt\": " << int(c.AdrExt) << ",\n";
  out << "    \"V_CAN\": " << int(c.V_CAN) << ",\n    \"canSpeedKbd\": " << kCanSpeeds[c.V_CAN % 5] << ",\n";
  out << "    \"V_Ethernet\": " << int(c.V_Ethernet) << ",\n";
  out << "    \"trepeat\": " << c.trepeat << ",\n    \"twaitCAN\": " << c.twaitCAN << ",\n";
  out << "    \"AdrPort\": " << c.AdrPort << ",\n";
  out << "    \"AdrMAC\": " << Json(HexBytesText(c.AdrMAC.data(), 6)) << ",\n";
  out << "    \"AdrIP\": " << Json(DecBytes(c.AdrIP.data(), 4)) << ",\n";
  out << "    \"AdrGate\": " << Json(DecBytes(c.AdrGate.data(), 4)) << ",\n";
  out << "    \"Mask\": " << Json(DecBytes(c.Mask.data(), 4)) << ",\n";
  out << "    \"Invers\": " << (c.Invers ? "true" : "false") << ",\n";
  out << "    \"SWAP\": " << (c.SWAP ? "true" : "false") << "\n  },\n";
  out << "  \"controllers\": [";
  for (std::size_t i = 0; i < cfg.Controllers.size(); ++i) {
    const auto& ce = cfg.Controllers[i];
    out << (i ? "," : "") << "\n    {\"nset\": " << ce.Nset
        << ", \"taskFile\": " << (ce.TaskFilePath().empty() ? std::string("null") : Json(ce.TaskFilePath()))
        << ", \"found\": " << (ce.Found ? "true" : "false") << "}";
  }
  out << (cfg.Controllers.empty() ? "" : "\n  ") << "],\n  \"maps\": {";
  bool firstMap = true;
  for (MapKind k : kListOrder) {
    out << (firstMap ? "" : ",") << "\n    " << Json(MapKey(k)) << ": [";
    firstMap = false;
    bool first = true;
    const RegisterMap& m = cfg.Map(k);
    for (std::size_t i = 0; i < m.size(); ++i) {
      const MapEntry& e = m[i];
      if (e.IsEmpty()) continue;
      out << (first ? "" : ",") << "\n      {\"row\": " << (i + 1) << ", \"address\": " << e.ModbusAddr
          << ", \"module\": " << int(e.ModuleNo) << ", \"param\": " << e.ParamNo
          << ", \"task\": " << static_cast<std::int16_t>(e.TaskNo)
          << ", \"name\": " << Json(cfg.DisplayName(e)) << "}";
      first = false;
    }
    out << (first ? "" : "\n    ") << "]";
  }
  out << "\n  }\n}\n";
}

}  // namespace

int Show(const std::vector<std::string>& args, Io& io) {
  if (HasHelp(args)) {
    io.out << "r770ctl show FILE.bmt [--json]\n"
              "  Показывает документ: общие настройки, контроллеры и все непустые записи карт.\n"
              "  --json  вывод в формате JSON (схема r770ctl-document/1, см. docs/r770ctl.md)\n";
    return kExitOk;
  }
  bool json = false;
  std::vector<std::string> files;
  const std::string error =
      CommandArgs().Flag("--json", [&] { json = true; }).Positional(Collect(files)).Parse(args);
  if (!error.empty()) return UsageError(io, error);
  if (files.size() != 1) return UsageError(io, "укажите один файл документа");
  Loaded doc;
  if (!LoadForCtl(files[0], io, doc)) return kExitProblems;
  if (json)
    ShowJson(doc.cfg, io.out);
  else
    ShowText(doc.cfg, io.out);
  return kExitOk;
}

int ExportCsv(const std::vector<std::string>& args, Io& io) {
  if (HasHelp(args)) {
    io.out << "r770ctl export-csv FILE.bmt [--map coils|di|hr|ir|all] [-o OUT]\n"
              "  Выводит карты регистров в CSV (UTF-8): map,row,address,module,param,task,name.\n";
    return kExitOk;
  }
  std::string which = "all", outPath;
  std::vector<std::string> files;
  const std::string error = CommandArgs()
                                .OptionElseUnknown("--map", [&](const std::string& v) { which = v; })
                                .OptionElseUnknown("-o", [&](const std::string& v) { outPath = v; })
                                .Positional(Collect(files))
                                .Parse(args);
  if (!error.empty()) return UsageError(io, error);
  if (files.size() != 1) return UsageError(io, "укажите один файл документа");
  if (which != "all" && which != "coils" && which != "di" && which != "hr" && which != "ir")
    return UsageError(io, "--map: coils, di, hr, ir или all");
  Loaded doc;
  if (!LoadForCtl(files[0], io, doc)) return kExitProblems;
  std::ostringstream csv;
  csv << kMapCsvHeader << "\r\n";
  for (MapKind k : kListOrder)
    if (which == "all" || which == MapKey(k)) csv << MapCsvRows(doc.cfg, k, doc.cfg.Map(k));
  return WriteOutput(io, outPath, csv.str()) ? kExitOk : kExitProblems;
}

int Check(const std::vector<std::string>& args, Io& io) {
  if (HasHelp(args)) {
    io.out
        << "r770ctl check FILE.bmt [--db DIR]\n"
           "  Проверяет документ по базе данных ЛОРИС-8 и сообщает, что нужно исправить перед записью:\n"
           "  отсутствующие файлы очередей задач, параметры, которых нет в базе, повторяющиеся адреса\n"
           "  Modbus, нарушение чётности адресов Holding/Input Registers, записи с параметром без адреса.\n"
           "  --db DIR  корневая папка базы (подпапки ALG, MOD, TASK) вместо путей из файла настроек.\n"
           "  Код возврата 0 — замечаний нет, 1 — есть замечания.\n";
    return kExitOk;
  }
  std::string db;
  std::vector<std::string> files;
  const std::string error = CommandArgs()
                                .OptionElseUnknown("--db", [&](const std::string& v) { db = v; })
                                .Positional(Collect(files))
                                .Parse(args);
  if (!error.empty()) return UsageError(io, error);
  if (files.size() != 1) return UsageError(io, "укажите один файл документа");
  Loaded doc;
  doc.dbRoot = db;
  doc.echoMessages = false;  // listed below with the other findings
  if (!LoadForCtl(files[0], io, doc)) return kExitProblems;
  std::vector<std::string> problems = doc.messages;  // what the load itself reported
  for (const DocumentProblem& p : CheckDocument(doc.cfg, [](MapKind k) { return std::string(MapKey(k)); }))
    problems.push_back(p.Text);
  for (const auto& p : problems) io.out << p << "\n";
  if (problems.empty()) {
    io.out << "Замечаний нет.\n";
    return kExitOk;
  }
  io.err << "r770ctl: замечаний: " << problems.size() << "\n";
  return kExitProblems;
}

}  // namespace r770::ctl
