#include "sim_options.h"

#include <sstream>

#include "arg_parser.h"
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

std::string NeedsValue(const std::string& option) { return "параметру " + option + " нужно значение"; }

std::string SimHelpText() {
  return "r770-sim - имитатор модуля R-770 TCP/Modbus (протокол FT1.2 поверх TCP)\n"
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
         "  --version                версия программы\n"
         "\n"
         "Модуль отвечает на чтение короткими кадрами (до четырех байт данных) и длинными кадрами,\n"
         "на запись - байтом A2, на то, что выполнить не может, - байтом E5; на номер, которого нет\n"
         "на шине, не отвечает. Уровень доступа 2 предоставляется; запись без него отклоняется.\n"
         "Остановка - Ctrl+C (SIGINT) или SIGTERM.\n";
}

std::string ParseSimOptions(const std::vector<std::string>& args, SimOptions& o) {
  using Value = cli::ArgParser::Value;
  auto text = [](const char* name, std::string& out) {
    return [name, &out](const Value& v) {
      if (!v) return NeedsValue(name);
      out = *v;
      return std::string();
    };
  };
  auto number = [](const char* name, int& out, int min) {
    return [name, &out, min](const Value& v) {
      if (!v) return NeedsValue(name);
      const auto n = ParseDec(*v);
      if (!n || *n < min || *n > 100000000)
        return "неверное число для " + std::string(name) + ": \"" + *v + "\"";
      out = static_cast<int>(*n);
      return std::string();
    };
  };
  auto hexList = [](const char* name, std::uint32_t max, auto& out) {
    return [name, max, &out](const Value& v) { return v ? ParseHexList(*v, max, out) : NeedsValue(name); };
  };
  auto flag = [](bool& on) { return [&on] { on = true; }; };
  const std::string error =
      cli::ArgParser()
          .Flag("--help", flag(o.help))
          .Flag("-h", flag(o.help))
          .Flag("--version", flag(o.version))
          .Option("--listen", text("--listen", o.server.listen))
          .Option("--port",
                  [&, port = number("--port", o.server.port, 0)](const Value& v) {
                    std::string e = port(v);
                    if (e.empty() && o.server.port > 65535) e = "порт больше 65535";
                    return e;
                  })
          .Option("--net", hexList("--net", 0xFF, o.nets))
          .Option("--type", hexList("--type", 0xFFFF, o.types))
          .Option("--stop-delay-ms", number("--stop-delay-ms", o.behaviour.stopDelayMs, 0))
          .Option("--state", text("--state", o.stateFile))
          .Flag("--silent", flag(o.server.faults.silent))
          .Option("--close-after", number("--close-after", o.server.faults.closeAfter, 0))
          .Option("--delay-ms", number("--delay-ms", o.server.faults.delayMs, 0))
          .Option("--bad-checksum-every", number("--bad-checksum-every", o.server.faults.badChecksumEvery, 1))
          .Flag("--split-answers", flag(o.server.faults.splitAnswers))
          .Flag("--refuse-access", flag(o.behaviour.refuseAccess))
          .Flag("--never-stops", flag(o.behaviour.neverStops))
          .Flag("--never-runs", flag(o.behaviour.neverRuns))
          .Flag("--wrong-packet", flag(o.server.faults.wrongPacket))
          .Flag("--wrong-address", flag(o.server.faults.wrongAddress))
          .Unknown(cli::ArgValue::None,
                   [](const std::string& a, const Value&) {
                     return "неизвестный параметр " + a + " (см. --help)";
                   })
          .Parse(args);
  if (!error.empty()) return error;
  if (o.types.size() != 1 && o.types.size() != o.nets.size())
    return "в --type нужен один тип или по одному на каждый номер из --net";
  for (std::size_t i = 0; i < o.nets.size(); ++i)
    for (std::size_t k = 0; k < i; ++k)
      if (o.nets[i] == o.nets[k]) return "сетевой номер " + Hex2(o.nets[i]) + " указан дважды";
  return "";
}

std::string ReadSimCommandLine(std::vector<std::string> args, SimCommandLine& line) {
  line.canOn = TakeCanOptions(args, line.can);
  std::string error = ExtractModbusOptions(args, line.modbus, line.modbusOn);
  if (error.empty()) error = ParseSimOptions(args, line.sim);
  return error;
}

void BuildBus(const SimOptions& options, SimBus& bus) {
  for (std::size_t i = 0; i < options.nets.size(); ++i) {
    const std::uint16_t type = options.types.size() == 1 ? options.types[0] : options.types[i];
    bus.Add(options.nets[i], type, options.behaviour);
  }
}

}  // namespace r770::sim
