#include "ctl.h"

#include <ostream>

#include "common/file_io.h"
#include "common/version.h"
#include "ctl_util.h"

namespace r770::ctl {
namespace {

struct Command {
  const char* name;
  int (*run)(const std::vector<std::string>&, Io&);
  const char* summary;
};

const Command kCommands[] = {
    {"show", Show, "показать документ (текст или --json)"},
    {"export-csv", ExportCsv, "карты регистров в CSV"},
    {"export", Export, "карты для ведущего Modbus (Home Assistant, Telegraf, mbpoll, ...)"},
    {"import-csv", ImportCsv, "карта регистров из CSV в документ"},
    {"check", Check, "проверить документ по базе данных перед записью"},
    {"search", Search, "найти модули R-770 TCP/Modbus на шине"},
    {"write", Write, "записать конфигурацию из документа в модуль"},
    {"read", Read, "прочитать конфигурацию из модуля в документ"},
    {"run", RunDevice, "перевести прибор в состояние \"Работа\""},
    {"stop", StopDevice, "перевести прибор в состояние \"Стоп\""},
    {"modbus-read", ModbusRead, "чтение регистров по Modbus/TCP (тест связи)"},
    {"monitor", Monitor, "опрос всех записей карт по Modbus/TCP (монитор карты)"},
    {"compare", Compare, "сравнить два документа по тому, что хранит модуль"},
    {"diff", Diff, "различия документа и другого документа или модуля"},
    {"demo-document", DemoDocument, "составить пример документа по базе данных"},
};

void Usage(std::ostream& out) {
  out << "r770ctl — спутник программы настройки R-770 TCP/Modbus для командной строки\n\n"
         "Использование: r770ctl [--settings FILE] КОМАНДА [параметры]\n\nКоманды:\n";
  for (const auto& c : kCommands)
    out << "  " << c.name << std::string(14 - std::string(c.name).size(), ' ') << c.summary << "\n";
  out << "\nr770ctl КОМАНДА --help — подробности о команде.\n"
         "--settings FILE — файл настроек (по умолчанию r770cfg.ini рядом с программой, а у\n"
         "  установленной программы — в $XDG_CONFIG_HOME/r770cfg, по умолчанию ~/.config/r770cfg).\n"
         "--version — версия программы.\n";
}

}  // namespace

int Main(const std::vector<std::string>& argsIn, Io& io) {
  std::vector<std::string> args = argsIn;
  if (!args.empty() && args[0] == "--settings") {
    if (args.size() < 2 || args[1].empty() || args[1][0] == '-')
      return UsageError(io, "--settings: нужен файл настроек");
    // A settings file named on purpose must be there: defaults in its place would be a
    // quiet surprise (another database, another module).
    if (std::string problem = RegularFileProblem(args[1]); !problem.empty())
      return UsageError(io, "--settings: " + problem);
    io.settingsPath = args[1];
    args.erase(args.begin(), args.begin() + 2);
  }
  if (!args.empty() && args[0] == "--version") {
    io.out << VersionText("r770ctl");
    return kExitOk;
  }
  if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    Usage(io.out);
    return args.empty() ? kExitUsage : kExitOk;
  }
  for (const auto& c : kCommands)
    if (args[0] == c.name) return c.run(std::vector<std::string>(args.begin() + 1, args.end()), io);
  io.err << "r770ctl: неизвестная команда " << args[0] << "\n";
  Usage(io.err);
  return kExitUsage;
}

}  // namespace r770::ctl
