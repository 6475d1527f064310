#include "sim_options.h"

#include <sstream>

#include "common/number_forms.h"

namespace r770::sim {

namespace {

template <typename T>
std::string ParseHexList(const std::string& text, std::uint32_t max, std::vector<T>& out) {
  out.clear();
  std::stringstream in(text);
  std::string item;
  while (std::getline(in, item, ',')) {
    const auto value = ParseHex(Trim(item));
    if (!value || *value > max) return "неверное шестнадцатеричное значение \"" + item + "\"";
    out.push_back(static_cast<T>(*value));
  }
  if (out.empty()) return "пустой список";
  return "";
}

}  // namespace

std::string SimHelpText() {
  return
      "r770-sim - имитатор модуля R-770 TCP/Modbus (протокол FT1.2 поверх TCP)\n"
      "\n"
      "Использование: r770-sim [параметры]\n"
      "\n"
      "  --listen ADDR            адрес для приема соединений (по умолчанию 127.0.0.1)\n"
      "  --port N                 порт TCP (по умолчанию 51960; 0 - любой свободный, он будет напечатан)\n"
      "  --net LIST               сетевые номера модулей, шестнадцатеричные, через запятую\n"
      "                           (по умолчанию 01; например 01,05,7F - три модуля на одной шине)\n"
      "  --type LIST              тип прибора, шестнадцатеричный: один для всех модулей или по одному\n"
      "                           на каждый номер из --net (по умолчанию 1101)\n"
      "  --stop-delay-ms N        через сколько мс после команды СТОП (1) состояние станет 81\n"
      "                           (по умолчанию 300)\n"
      "  --state FILE             загрузить параметры модулей из файла при запуске и сохранять их\n"
      "                           в него после каждого соединения и при выходе (текст: раздел [NN]\n"
      "                           на модуль, строки \"номер = элементы\"; тип прибора берется из --type)\n"
      "\n"
      "Ошибки для проверки связи:\n"
      "  --silent                 не отвечать ни на что\n"
      "  --close-after N          закрывать соединение после N ответов (0 - сразу после приема)\n"
      "  --delay-ms N             задержка N мс перед каждым ответом\n"
      "  --bad-checksum-every N   каждый N-й ответ в кадре - с неверной контрольной суммой\n"
      "  --split-answers          отправлять каждый ответ двумя частями с паузой 100 мс\n"
      "  --refuse-access          не предоставлять уровень доступа (ответ 0)\n"
      "  --never-stops            после команды СТОП состояние остается 1\n"
      "  --never-runs             запись 0 в состояние не запускает прибор\n"
      "  --wrong-packet           отвечать со следующим номером пакета\n"
      "  --wrong-address          отвечать со следующим сетевым номером\n"
      "  (сигнал SIGUSR1 снимает все ошибки, не прерывая работы: kill -USR1 PID)\n"
      "  --help                   эта справка\n"
      "\n"
      "Модуль отвечает на чтение короткими кадрами (до четырех байт данных) и длинными кадрами,\n"
      "на запись - байтом A2, на то, что выполнить не может, - байтом E5; на номер, которого нет\n"
      "на шине, не отвечает. Уровень доступа 2 предоставляется; запись без него отклоняется.\n"
      "Остановка - Ctrl+C (SIGINT) или SIGTERM.\n";
}

std::string ParseSimOptions(const std::vector<std::string>& args, SimOptions& o) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string& out) -> std::string {
      if (i + 1 >= args.size()) return "параметру " + a + " нужно значение";
      out = args[++i];
      return "";
    };
    auto number = [&](int& out, int min) -> std::string {
      std::string text;
      if (auto e = value(text); !e.empty()) return e;
      const auto v = ParseDec(text);
      if (!v || *v < min || *v > 100000000) return "неверное число для " + a + ": \"" + text + "\"";
      out = static_cast<int>(*v);
      return "";
    };
    std::string error;
    std::string text;
    if (a == "--help" || a == "-h") {
      o.help = true;
    } else if (a == "--listen") {
      error = value(o.server.listen);
    } else if (a == "--port") {
      error = number(o.server.port, 0);
      if (error.empty() && o.server.port > 65535) error = "порт больше 65535";
    } else if (a == "--net") {
      if (error = value(text); error.empty()) error = ParseHexList(text, 0xFF, o.nets);
    } else if (a == "--type") {
      if (error = value(text); error.empty()) error = ParseHexList(text, 0xFFFF, o.types);
    } else if (a == "--stop-delay-ms") {
      error = number(o.behaviour.stopDelayMs, 0);
    } else if (a == "--state") {
      error = value(o.stateFile);
    } else if (a == "--silent") {
      o.server.faults.silent = true;
    } else if (a == "--close-after") {
      error = number(o.server.faults.closeAfter, 0);
    } else if (a == "--delay-ms") {
      error = number(o.server.faults.delayMs, 0);
    } else if (a == "--bad-checksum-every") {
      error = number(o.server.faults.badChecksumEvery, 1);
    } else if (a == "--split-answers") {
      o.server.faults.splitAnswers = true;
    } else if (a == "--refuse-access") {
      o.behaviour.refuseAccess = true;
    } else if (a == "--never-stops") {
      o.behaviour.neverStops = true;
    } else if (a == "--never-runs") {
      o.behaviour.neverRuns = true;
    } else if (a == "--wrong-packet") {
      o.server.faults.wrongPacket = true;
    } else if (a == "--wrong-address") {
      o.server.faults.wrongAddress = true;
    } else {
      error = "неизвестный параметр " + a + " (см. --help)";
    }
    if (!error.empty()) return error;
  }
  if (o.types.size() != 1 && o.types.size() != o.nets.size())
    return "в --type нужен один тип или по одному на каждый номер из --net";
  for (std::size_t i = 0; i < o.nets.size(); ++i)
    for (std::size_t k = 0; k < i; ++k)
      if (o.nets[i] == o.nets[k]) return "сетевой номер " + Hex2(o.nets[i]) + " указан дважды";
  return "";
}

void BuildBus(const SimOptions& options, SimBus& bus) {
  for (std::size_t i = 0; i < options.nets.size(); ++i) {
    const std::uint16_t type = options.types.size() == 1 ? options.types[0] : options.types[i];
    bus.Add(options.nets[i], type, options.behaviour);
  }
}

}  // namespace r770::sim
