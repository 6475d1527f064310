// r770ctl export: the document's register maps for the Modbus master side, in the file
// format of a generic Modbus tool or as a JSON tag list.
#include <optional>
#include <ostream>
#include <sstream>

#include "common/number_forms.h"
#include "ctl.h"
#include "ctl_util.h"
#include "export/map_export.h"

namespace r770::ctl {
namespace {

// --maps coils,di,hr,ir: which maps go out.
std::string MapsValue(const cli::ArgParser::Value& v, std::array<bool, 4>& maps) {
  const std::string error = "--maps: список из coils, di, hr, ir через запятую";
  if (!v || v->empty()) return error;
  maps = {false, false, false, false};
  std::stringstream list(*v);
  std::string key;
  while (std::getline(list, key, ',')) {
    bool known = false;
    for (MapKind k : kAllMapKinds)
      if (key == MapKey(k)) maps[static_cast<std::size_t>(k)] = known = true;
    if (!known) return error;
  }
  return "";
}

}  // namespace

int Export(const std::vector<std::string>& args, Io& io) {
  if (HasHelp(args)) {
    io.out << "r770ctl export FILE.bmt --format FMT [-o OUT] [--host H] [--port P] [--unit U]\n"
              "               [--order ABCD|CDAB|BADC|DCBA] [--maps coils,di,hr,ir]\n"
              "  Выгружает заполненные записи карт документа для ведущего Modbus/TCP:\n";
    for (ExportFormat f : kAllExportFormats)
      io.out << "    " << ExportFormatKey(f) << std::string(15 - std::string(ExportFormatKey(f)).size(), ' ')
             << ExportFormatTitle(f) << "\n";
    io.out << "  -o OUT     файл (для modbustools и openmodscan - папка); без -o - в стандартный вывод\n"
              "  --unit U   Slave-адрес (шестнадцатеричный)\n"
              "  --order    порядок байт чисел с плавающей запятой (A - старший байт, в порядке передачи)\n"
              "  --maps     какие карты выгружать (по умолчанию все)\n"
              "  Адрес, порт, Slave-адрес и порядок байт - из файла настроек (раздел \"ModbusTest\"),\n"
              "  если не заданы. Схема JSON r770ctl-tags/1 описана в docs/r770ctl.md.\n";
    return kExitOk;
  }
  ProgramSettings s;
  if (!ReadSettings(io, s)) return kExitProblems;
  ExportRequest request;
  request.link = ExportLinkFrom(s);
  std::optional<ExportFormat> format;
  std::string outPath;
  std::vector<std::string> files;
  using Value = cli::ArgParser::Value;
  const std::string usage =
      CommandArgs()
          .Option("--format",
                  [&](const Value& v) {
                    format = v ? ParseExportFormat(*v) : std::nullopt;
                    if (format) return std::string();
                    return std::string(
                        "--format: homeassistant, telegraf, modbusscope, modbustools, openmodscan, mbpoll, "
                        "pymodbus или json");
                  })
          .Option("-o",
                  [&](const Value& v) {
                    if (!v || v->empty()) return std::string("-o: нужен файл");
                    outPath = *v;
                    return std::string();
                  })
          .Option("--host",
                  [&](const Value& v) {
                    if (!v || v->empty()) return std::string("--host: нужен адрес");
                    request.link.host = *v;
                    return std::string();
                  })
          .Option("--port", [&](const Value& v) { return PortValue(v, request.link.port); })
          .Option("--unit", [&](const Value& v) { return UnitValue(v, request.link.unit); })
          .Option("--order", [&](const Value& v) { return OrderValue(v, request.link.order); })
          .Option("--maps", [&](const Value& v) { return MapsValue(v, request.maps); })
          .Positional(Collect(files))
          .Parse(args);
  if (!usage.empty()) return UsageError(io, usage);
  if (files.size() != 1) return UsageError(io, "укажите один файл документа");
  if (!format) return UsageError(io, "укажите формат: --format");
  if (ExportWritesFolder(*format) && outPath.empty())
    return UsageError(
        io, std::string("формат ") + ExportFormatKey(*format) + " пишется в папку: укажите -o ПАПКА");
  Loaded doc;
  if (!LoadForCtl(files[0], io, doc)) return kExitProblems;
  request.format = *format;
  const std::size_t slash = files[0].find_last_of('/');
  request.documentName = slash == std::string::npos ? files[0] : files[0].substr(slash + 1);
  ExportResult result = MakeExport(doc.cfg, request);
  if (!result.Ok()) {
    io.err << "r770ctl: " << result.error << "\n";
    return kExitProblems;
  }
  if (outPath.empty()) {
    io.out << result.files.front().text;
    return kExitOk;
  }
  const std::string error = SaveExport(result, *format, outPath);
  if (!error.empty()) {
    io.err << "r770ctl: " << error << "\n";
    return kExitProblems;
  }
  return kExitOk;
}

}  // namespace r770::ctl
