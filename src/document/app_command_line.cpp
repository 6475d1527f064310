#include "document/app_command_line.h"

#include "common/version.h"

namespace r770 {

AppCommandLine ParseAppCommandLine(const std::vector<std::string>& args) {
  AppCommandLine cl;
  for (const auto& a : args) {
    if (a == "--") break;
    if (a == "--help" || a == "-h") return {AppCommandLine::Action::Help};
    if (a == "--version") return {AppCommandLine::Action::Version};
  }
  bool options = true;
  for (const auto& a : args) {
    if (options && a == "--") {
      options = false;
    } else if (options && a == "--quit-after-start") {
      cl.quitAfterStart = true;
    } else if (options && a.size() > 1 && a[0] == '-') {
      return {AppCommandLine::Action::Error, {}, false, "неизвестный параметр " + a};
    } else if (a.empty()) {
      return {AppCommandLine::Action::Error, {}, false, "пустое имя документа"};
    } else if (!cl.document.empty()) {
      return {AppCommandLine::Action::Error, {}, false, "можно открыть только один документ"};
    } else {
      cl.document = a;
    }
  }
  return cl;
}

std::string AppVersionText() { return VersionText("r770cfg"); }

std::string AppHelpText(const ProgramFolders& folders, const std::string& settingsFile) {
  std::string text =
      "r770cfg — настройка модуля R-770 TCP/Modbus\n"
      "\n"
      "Использование: r770cfg [параметры] [ФАЙЛ.bmt]\n"
      "\n"
      "  ФАЙЛ.bmt             открыть этот документ при запуске (как \"Загрузить\")\n"
      "  --quit-after-start   показать главное окно и сразу выйти (проверка установки)\n"
      "  -h, --help           эта справка\n"
      "  --version            версия программы\n"
      "Принимаются и параметры Qt, например -platform offscreen.\n"
      "\n";
  if (folders.besideProgram)
    text += "Настройки и журналы обмена лежат рядом с программой (переносная папка или папка сборки):\n";
  else
    text +=
        "Программа установлена: настройки лежат в $XDG_CONFIG_HOME/r770cfg (по умолчанию\n"
        "~/.config/r770cfg), журналы обмена — в $XDG_STATE_HOME/r770cfg (по умолчанию\n"
        "~/.local/state/r770cfg):\n";
  text += "  файл настроек   " + settingsFile + "\n";
  text += "  журналы обмена  " + folders.logs + "/ДД_ММ_ГГ.Txt (файл на каждый день)\n";
  return text;
}

}  // namespace r770
