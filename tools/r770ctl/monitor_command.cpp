// r770ctl monitor: the live map monitor on the console. Every non-empty entry of the
// document's maps is read from the module's Modbus/TCP server cycle after cycle; each cycle
// prints the entries that changed (all of them with --all) and may go to a CSV file.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <ostream>

#include "common/clock.h"
#include "common/codec.h"
#include "common/number_forms.h"
#include "ctl.h"
#include "ctl_util.h"
#include "export/export_text.h"
#include "export/map_export.h"
#include "monitor/monitor_poller.h"
#include "monitor/monitor_recorder.h"
#include "monitor/monitor_transport.h"

namespace r770::ctl {
namespace {

// One entry of one cycle for scripts: the value as a number (null without one), the raw
// registers (first register first) or the bit it came from, and the note.
void PrintJsonReading(std::ostream& out, const std::string& stamp, const MonitorPoint& p, const PointReading& r) {
  using exporting::JsonString;
  out << "{\"time\": " << JsonString(stamp) << ", \"map\": \"" << MonitorMapKey(p.kind) << "\", \"address\": "
      << p.address << ", \"name\": " << JsonString(p.name) << ", \"value\": ";
  if (r.valid && std::isfinite(r.number)) {
    char number[32];
    std::snprintf(number, sizeof number, "%.9g", r.number);
    out << number;
  } else {
    out << "null";
  }
  if (!r.valid) out << ", \"raw\": null";
  else if (IsBitMap(p.kind)) out << ", \"bit\": " << (r.raw ? 1 : 0);
  else out << ", \"raw\": [" << (r.raw >> 16) << ", " << (r.raw & 0xFFFF) << "]";
  out << ", \"note\": " << (r.note.empty() ? std::string("null") : JsonString(r.note)) << "}\n";
}

}  // namespace

int Monitor(const std::vector<std::string>& args, Io& io) {
  if (HasHelp(args)) {
    io.out << "r770ctl monitor FILE.bmt [--host H] [--port P] [--unit U] [--order ORDER] [--period MS]\n"
              "                [--count N] [--csv OUT] [--all] [--json] [--timeout S] [--write-coil A=0|1 --yes]\n"
              "  Опрашивает по Modbus/TCP все заполненные записи карт документа (Coils, Discrete\n"
              "  Inputs, Holding и Input Registers) и выводит по строке на каждую изменившуюся\n"
              "  запись: время, карта, адрес, параметр, значение, примечание (через табуляцию).\n"
              "  --all      выводить все записи в каждом цикле\n"
              "  --json     по объекту JSON на запись в каждом цикле и итоговый объект в конце\n"
              "  --period   период опроса в мс (не меньше 100, по умолчанию 1000)\n"
              "  --count    число циклов (по умолчанию - пока не прервут)\n"
              "  --csv OUT  дописывать каждый цикл в файл CSV (UTF-8)\n"
              "  --unit U   Slave-адрес (шестнадцатеричный)\n"
              "  --order    порядок байт чисел: ABCD, CDAB, BADC или DCBA (A - старший байт)\n"
              "  --write-coil A=0|1 --yes\n"
              "             перед опросом отправить команду в Coil A карты (функция 5); без --yes\n"
              "             команда не отправляется\n"
              "  Адрес, порт, Slave-адрес, порядок байт и время ожидания - из файла настроек\n"
              "  (раздел \"ModbusTest\"), если не заданы. Код выхода 1, если ни один цикл не\n"
              "  получил ответа.\n";
    return kExitOk;
  }
  ProgramSettings s;
  if (!ReadSettings(io, s)) return kExitProblems;
  std::vector<std::string> files;
  std::string csvPath;
  bool all = false, confirmed = false, json = false;
  long period = 1000, count = -1;
  std::optional<std::pair<std::uint16_t, bool>> coil;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&]() -> std::optional<std::string> {
      if (i + 1 >= args.size()) return std::nullopt;
      return args[++i];
    };
    auto number = [&](std::uint32_t max) -> std::optional<std::uint32_t> {
      auto v = value();
      auto n = v ? ParseUDec(*v) : std::nullopt;
      if (!n || *n > max) return std::nullopt;
      return n;
    };
    if (a == "--host") {
      auto v = value();
      if (!v || v->empty()) return UsageError(io, "--host: нужен адрес");
      s.IP_AdrTest = *v;
    } else if (a == "--port") {
      auto p = number(65535);
      if (!p) return UsageError(io, "--port: число 0..65535");
      s.PortTcpTest = static_cast<std::uint16_t>(*p);
    } else if (a == "--unit") {
      auto v = value();
      auto u = v ? ParseHex(*v) : std::nullopt;
      if (!u || *u > 255) return UsageError(io, "--unit: шестнадцатеричное число 00..FF");
      s.SetModTest = static_cast<std::uint8_t>(*u);
    } else if (a == "--order") {
      auto v = value();
      auto o = v ? ParseWireOrder(*v) : std::nullopt;
      if (!o) return UsageError(io, "--order: ABCD, CDAB, BADC или DCBA");
      s.InversModTest = FlagsOf(*o).invert;
      s.SwapModTest = FlagsOf(*o).swap;
    } else if (a == "--timeout") {
      auto t = number(60);
      if (!t || *t == 0) return UsageError(io, "--timeout: секунды 1..60");
      s.TimeAnswerTest = static_cast<std::int32_t>(*t);
    } else if (a == "--period") {
      auto p = number(3600000);
      if (!p || *p < 100) return UsageError(io, "--period: миллисекунды, не меньше 100");
      period = *p;
    } else if (a == "--count") {
      auto c = number(100000000);
      if (!c || *c == 0) return UsageError(io, "--count: число циклов, больше 0");
      count = *c;
    } else if (a == "--csv") {
      auto v = value();
      if (!v || v->empty()) return UsageError(io, "--csv: нужен файл");
      csvPath = *v;
    } else if (a == "--all") {
      all = true;
    } else if (a == "--json") {
      json = true;
    } else if (a == "--yes") {
      confirmed = true;
    } else if (a == "--write-coil") {
      auto v = value();
      const auto eq = v ? v->find('=') : std::string::npos;
      auto address = eq != std::string::npos ? ParseUDec(v->substr(0, eq)) : std::nullopt;
      const std::string bit = eq != std::string::npos ? v->substr(eq + 1) : std::string();
      if (!address || *address > 65535 || (bit != "0" && bit != "1"))
        return UsageError(io, "--write-coil: АДРЕС=0 или АДРЕС=1");
      coil = std::pair{static_cast<std::uint16_t>(*address), bit == "1"};
    } else if (!a.empty() && a[0] == '-') {
      return UsageError(io, "неизвестный ключ " + a);
    } else {
      files.push_back(a);
    }
  }
  if (files.size() != 1) return UsageError(io, "укажите один файл документа");
  if (coil && !confirmed)
    return UsageError(io, "команда в Coil отправляется только с подтверждением --yes");
  Loaded doc;
  if (!LoadForCtl(files[0], io, doc)) return kExitProblems;
  std::vector<MonitorPoint> points = CollectMonitorPoints(doc.cfg);
  if (points.empty()) {
    io.err << "r770ctl: в картах документа нет заполненных записей\n";
    return kExitProblems;
  }

  MonitorRecorder recorder;
  std::string error;
  if (!csvPath.empty() && !recorder.Open(csvPath, error)) {
    io.err << "r770ctl: " << error << "\n";
    return kExitProblems;
  }
  Clock& clock = SystemClock();
  TcpModbusTransport transport;
  MonitorPoller poller(points, MonitorLinkFrom(s), transport, clock, ".");
  if (coil) {
    const MonitorPoint* target = nullptr;
    for (const MonitorPoint& p : points)
      if (p.kind == MapKind::TU && p.address == coil->first) target = &p;
    if (!target) {
      io.err << "r770ctl: Coil " << coil->first << " нет в карте документа\n";
      return kExitProblems;
    }
    CoilWriteResult w = poller.WriteCoil(coil->first, coil->second);
    io.err << "r770ctl: команда в Coil " << coil->first << " (" << target->name << "): "
           << (coil->second ? "1" : "0") << " — " << (w.ok ? "выполнена" : "не выполнена: " + w.note)
           << "\n";
    if (!w.ok) return kExitProblems;
  }
  int answered = 0, cycles = 0;
  bool wasConnected = true;
  // Ctrl-C ends the cycle under way and then the program, with the summary; a second one,
  // or SIGTERM, ends it at once.
  InterruptScope interrupts;
  for (long n = 0; (count < 0 || n < count) && !Interrupted(); ++n) {
    const std::int64_t began = clock.NowMs();
    CycleReport report = poller.Cycle();
    const LocalTime now = clock.LocalNow();
    ++cycles;
    answered += report.anyAnswer ? 1 : 0;
    // A connection that cannot be made is told once per outage, naming where it went, as
    // modbus-read does.
    if (!report.connected && wasConnected)
      io.err << s.IP_AdrTest << " (" << s.PortTcpTest << ") Ошибка установки соединения по TCP\n";
    wasConnected = report.connected;
    const std::string stamp = IsoLocalTime(now);
    const auto& readings = poller.Readings();
    for (std::size_t i = 0; i < points.size(); ++i) {
      const PointReading& r = readings[i];
      if (json) {
        PrintJsonReading(io.out, stamp, points[i], r);
        continue;
      }
      if (!all && !r.changed) continue;
      io.out << stamp << '\t' << MonitorMapKey(points[i].kind) << '\t' << points[i].address << '\t'
             << EscapeControlChars(points[i].name) << '\t' << (r.valid ? r.value : "-");
      if (!r.note.empty()) io.out << '\t' << EscapeControlChars(r.note);
      io.out << '\n';
    }
    io.out.flush();
    if (recorder.IsOpen() && !recorder.Append(now, points, readings, error)) {
      io.err << "r770ctl: " << error << "\n";
      return kExitProblems;
    }
    if (count >= 0 && n + 1 >= count) break;
    for (std::int64_t left; (left = began + period - clock.NowMs()) > 0 && !Interrupted();)
      clock.SleepMs(static_cast<int>(std::min<std::int64_t>(left, 50)));
  }
  io.err << "r770ctl: циклов " << cycles << ", с ответом " << answered << ", запросов за цикл "
         << poller.Plan().size() << "\n";
  if (json)
    io.out << "{\"summary\": {\"cycles\": " << cycles << ", \"answered\": " << answered
           << ", \"requestsPerCycle\": " << poller.Plan().size() << ", \"entries\": " << points.size() << "}}\n";
  if (Interrupted()) return kExitInterrupted;
  return answered > 0 ? kExitOk : kExitProblems;
}

}  // namespace r770::ctl
