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
void PrintJsonReading(std::ostream& out, const std::string& stamp, const MonitorPoint& p,
                      const PointReading& r) {
  using exporting::JsonString;
  out << "{\"time\": " << JsonString(stamp) << ", \"map\": \"" << MapKey(p.kind)
      << "\", \"address\": " << p.address << ", \"name\": " << JsonString(p.name) << ", \"value\": ";
  if (r.valid && std::isfinite(r.number)) {
    char number[32];
    std::snprintf(number, sizeof number, "%.9g", r.number);
    out << number;
  } else {
    out << "null";
  }
  if (!r.valid)
    out << ", \"raw\": null";
  else if (IsBitMap(p.kind))
    out << ", \"bit\": " << (r.raw ? 1 : 0);
  else
    out << ", \"raw\": [" << (r.raw >> 16) << ", " << (r.raw & 0xFFFF) << "]";
  out << ", \"note\": " << (r.note.empty() ? std::string("null") : JsonString(r.note)) << "}\n";
}

constexpr const char* kMonitorHelp =
    "r770ctl monitor FILE.bmt [--host H] [--port P] [--unit U] [--order ORDER] [--period MS]\n"
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

// What the command line asks of the monitor beyond the link settings.
struct MonitorRun {
  std::vector<std::string> files;
  std::string csvPath;
  bool all = false, confirmed = false, json = false;
  long period = 1000, count = -1;
  std::optional<std::pair<std::uint16_t, bool>> coil;  // address, bit
};

// A decimal number 0..max as an option's value.
std::optional<std::uint32_t> NumberUpTo(const cli::ArgParser::Value& v, std::uint32_t max) {
  auto n = v ? ParseUDec(*v) : std::nullopt;
  if (!n || *n > max) return std::nullopt;
  return n;
}

// Reads the options into the link settings s and the run; empty, or the usage message.
std::string ParseMonitorArgs(const std::vector<std::string>& args, ProgramSettings& s, MonitorRun& run) {
  using Value = cli::ArgParser::Value;
  return CommandArgs()
      .Option("--host",
              [&](const Value& v) {
                if (!v || v->empty()) return std::string("--host: нужен адрес");
                s.IP_AdrTest = *v;
                return std::string();
              })
      .Option("--port", [&](const Value& v) { return PortValue(v, s.PortTcpTest); })
      .Option("--unit", [&](const Value& v) { return UnitValue(v, s.SetModTest); })
      .Option("--order",
              [&](const Value& v) {
                WireOrder o{};
                std::string error = OrderValue(v, o);
                if (error.empty()) {
                  s.InversModTest = FlagsOf(o).invert;
                  s.SwapModTest = FlagsOf(o).swap;
                }
                return error;
              })
      .Option("--timeout", [&](const Value& v) { return TimeoutValue(v, s.TimeAnswerTest); })
      .Option("--period",
              [&](const Value& v) {
                auto p = NumberUpTo(v, 3600000);
                if (!p || *p < 100) return std::string("--period: миллисекунды, не меньше 100");
                run.period = *p;
                return std::string();
              })
      .Option("--count",
              [&](const Value& v) {
                auto c = NumberUpTo(v, 100000000);
                if (!c || *c == 0) return std::string("--count: число циклов, больше 0");
                run.count = *c;
                return std::string();
              })
      .Option("--csv",
              [&](const Value& v) {
                if (!v || v->empty()) return std::string("--csv: нужен файл");
                run.csvPath = *v;
                return std::string();
              })
      .Flag("--all", [&] { run.all = true; })
      .Flag("--json", [&] { run.json = true; })
      .Flag("--yes", [&] { run.confirmed = true; })
      .Option("--write-coil",
              [&](const Value& v) {
                const auto eq = v ? v->find('=') : std::string::npos;
                auto address = eq != std::string::npos ? ParseUDec(v->substr(0, eq)) : std::nullopt;
                const std::string bit = eq != std::string::npos ? v->substr(eq + 1) : std::string();
                if (!address || *address > 65535 || (bit != "0" && bit != "1"))
                  return std::string("--write-coil: АДРЕС=0 или АДРЕС=1");
                run.coil = std::pair{static_cast<std::uint16_t>(*address), bit == "1"};
                return std::string();
              })
      .Positional(Collect(run.files))
      .Parse(args);
}

// The command to a Coil of the document's map before the polling; kExitOk when it was carried out.
int SendCoilCommand(const std::vector<MonitorPoint>& points, MonitorPoller& poller,
                    const std::pair<std::uint16_t, bool>& coil, Io& io) {
  const MonitorPoint* target = nullptr;
  for (const MonitorPoint& p : points)
    if (p.kind == MapKind::TU && p.address == coil.first) target = &p;
  if (!target) {
    io.err << "r770ctl: Coil " << coil.first << " нет в карте документа\n";
    return kExitProblems;
  }
  CoilWriteResult w = poller.WriteCoil(coil.first, coil.second);
  io.err << "r770ctl: команда в Coil " << coil.first << " (" << target->name
         << "): " << (coil.second ? "1" : "0") << " — " << (w.ok ? "выполнена" : "не выполнена: " + w.note)
         << "\n";
  return w.ok ? kExitOk : kExitProblems;
}

// One cycle's lines: every entry as JSON, or the changed ones (all with --all) as text.
void PrintCycle(std::ostream& out, const std::string& stamp, const std::vector<MonitorPoint>& points,
                const std::vector<PointReading>& readings, const MonitorRun& run) {
  for (std::size_t i = 0; i < points.size(); ++i) {
    const PointReading& r = readings[i];
    if (run.json) {
      PrintJsonReading(out, stamp, points[i], r);
      continue;
    }
    if (!run.all && !r.changed) continue;
    out << stamp << '\t' << MapKey(points[i].kind) << '\t' << points[i].address << '\t'
        << EscapeControlChars(points[i].name) << '\t' << (r.valid ? r.value : "-");
    if (!r.note.empty()) out << '\t' << EscapeControlChars(r.note);
    out << '\n';
  }
  out.flush();
}

}  // namespace

int Monitor(const std::vector<std::string>& args, Io& io) {
  if (HasHelp(args)) {
    io.out << kMonitorHelp;
    return kExitOk;
  }
  ProgramSettings s;
  if (!ReadSettings(io, s)) return kExitProblems;
  MonitorRun run;
  if (std::string error = ParseMonitorArgs(args, s, run); !error.empty()) return UsageError(io, error);
  if (run.files.size() != 1) return UsageError(io, "укажите один файл документа");
  if (run.coil && !run.confirmed)
    return UsageError(io, "команда в Coil отправляется только с подтверждением --yes");
  Loaded doc;
  if (!LoadForCtl(run.files[0], io, doc)) return kExitProblems;
  std::vector<MonitorPoint> points = CollectMonitorPoints(doc.cfg);
  if (points.empty()) {
    io.err << "r770ctl: в картах документа нет заполненных записей\n";
    return kExitProblems;
  }

  MonitorRecorder recorder;
  std::string error;
  if (!run.csvPath.empty() && !recorder.Open(run.csvPath, error)) {
    io.err << "r770ctl: " << error << "\n";
    return kExitProblems;
  }
  Clock& clock = SystemClock();
  TcpModbusTransport transport;
  MonitorPoller poller(points, MonitorLinkFrom(s), transport, clock, ".");
  if (run.coil && SendCoilCommand(points, poller, *run.coil, io) != kExitOk) return kExitProblems;
  int answered = 0, cycles = 0;
  bool wasConnected = true;
  // Ctrl-C ends the cycle under way and then the program, with the summary; a second one,
  // or SIGTERM, ends it at once.
  InterruptScope interrupts;
  for (long n = 0; (run.count < 0 || n < run.count) && !Interrupted(); ++n) {
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
    PrintCycle(io.out, IsoLocalTime(now), points, poller.Readings(), run);
    if (recorder.IsOpen() && !recorder.Append(now, points, poller.Readings(), error)) {
      io.err << "r770ctl: " << error << "\n";
      return kExitProblems;
    }
    if (run.count >= 0 && n + 1 >= run.count) break;
    for (std::int64_t left; (left = began + run.period - clock.NowMs()) > 0 && !Interrupted();)
      clock.SleepMs(static_cast<int>(std::min<std::int64_t>(left, 50)));
  }
  io.err << "r770ctl: циклов " << cycles << ", с ответом " << answered << ", запросов за цикл "
         << poller.Plan().size() << "\n";
  if (run.json)
    io.out << "{\"summary\": {\"cycles\": " << cycles << ", \"answered\": " << answered
           << ", \"requestsPerCycle\": " << poller.Plan().size() << ", \"entries\": " << points.size()
           << "}}\n";
  if (Interrupted()) return kExitInterrupted;
  return answered > 0 ? kExitOk : kExitProblems;
}

}  // namespace r770::ctl
