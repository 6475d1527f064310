#include "ctl_util.h"

#include <unistd.h>

#include <csignal>
#include <ostream>

#include "common/codec.h"
#include "common/file_io.h"
#include "common/number_forms.h"
#include "common/program_path.h"
#include "document/document_file.h"
#include "editors/map_lines.h"
#include "monitor/monitor_plan.h"

namespace r770::ctl {

CtlDocumentView::CtlDocumentView(std::ostream* err, std::vector<std::string>* messages)
    : err_(err), messages_(messages) {}

void CtlDocumentView::Information(const std::string& text) {
  if (messages_) messages_->push_back(text);
  if (err_) *err_ << text << "\n";
}

bool HasHelp(const std::vector<std::string>& args) {
  for (const auto& a : args)
    if (a == "--help" || a == "-h") return true;
  return false;
}

int UsageError(Io& io, const std::string& message) {
  io.err << "r770ctl: " << message << " (подробнее: --help)\n";
  return kExitUsage;
}

std::string UnknownOption(const std::string& option) { return "неизвестный ключ " + option; }

std::function<std::string(const std::string&)> Collect(std::vector<std::string>& into) {
  return [&into](const std::string& a) {
    into.push_back(a);
    return std::string();
  };
}

cli::ArgParser CommandArgs() {
  cli::ArgParser p;
  p.Unknown(cli::ArgValue::None,
            [](const std::string& option, const cli::ArgParser::Value&) { return UnknownOption(option); });
  return p;
}

std::string PortValue(const cli::ArgParser::Value& v, std::uint16_t& port) {
  auto p = v ? ParseUDec(*v) : std::nullopt;
  if (!p || *p > 65535) return "--port: число 0..65535";
  port = static_cast<std::uint16_t>(*p);
  return "";
}

std::string UnitValue(const cli::ArgParser::Value& v, std::uint8_t& unit) {
  auto u = v ? ParseHex(*v) : std::nullopt;
  if (!u || *u > 255) return "--unit: шестнадцатеричное число 00..FF";
  unit = static_cast<std::uint8_t>(*u);
  return "";
}

std::string TimeoutValue(const cli::ArgParser::Value& v, std::int32_t& seconds) {
  auto t = v ? ParseUDec(*v) : std::nullopt;
  if (!t || *t == 0 || *t > 60) return "--timeout: секунды 1..60";
  seconds = static_cast<std::int32_t>(*t);
  return "";
}

std::string OrderValue(const cli::ArgParser::Value& v, WireOrder& order) {
  auto o = v ? ParseWireOrder(*v) : std::nullopt;
  if (!o) return "--order: ABCD, CDAB, BADC или DCBA";
  order = *o;
  return "";
}

namespace {

volatile std::sig_atomic_t gInterrupted = 0;
volatile std::sig_atomic_t gExitOnInterrupt = 0;

void EndNow(int code) {
  static const char kText[] = "\nr770ctl: прервано\n";
  const ssize_t ignored = ::write(STDERR_FILENO, kText, sizeof kText - 1);
  (void)ignored;
  ::_exit(code);
}

extern "C" void OnInterrupt(int) {
  if (gExitOnInterrupt || gInterrupted) EndNow(kExitInterrupted);
  gInterrupted = 1;
}

extern "C" void OnTerminate(int) { EndNow(kExitTerminated); }

}  // namespace

InterruptScope::InterruptScope() {
  gInterrupted = 0;
  gExitOnInterrupt = 0;
  std::signal(SIGINT, OnInterrupt);
  std::signal(SIGTERM, OnTerminate);
}

InterruptScope::~InterruptScope() {
  gExitOnInterrupt = 0;
  std::signal(SIGINT, SIG_DFL);
  std::signal(SIGTERM, SIG_DFL);
}

bool Interrupted() { return gInterrupted != 0; }
void ExitOnInterrupt(bool on) { gExitOnInterrupt = on ? 1 : 0; }

bool WriteOutput(Io& io, const std::string& path, const std::string& bytes) {
  if (path.empty()) {
    io.out << bytes;
    io.out.flush();
    if (io.out.good()) return true;
    io.err << "r770ctl: не удалось вывести результат (стандартный вывод)\n";
    return false;
  }
  if (std::string error = WriteFileAtomically(path, bytes); !error.empty()) {
    io.err << "r770ctl: " << error << "\n";
    return false;
  }
  return true;
}

std::string SettingsPath(const Io& io) {
  if (!io.settingsPath.empty()) return io.settingsPath;
  // The configurator's own settings file: beside the programs, or in the user's settings folder.
  return SettingsFolder() + "/r770cfg.ini";
}

bool ReadSettings(Io& io, ProgramSettings& s) {
  std::string err = ReadProgramSettings(SettingsPath(io), s);
  if (!err.empty()) {
    io.err << "r770ctl: " << err << "\n";
    return false;
  }
  return true;
}

bool LoadForCtl(const std::string& path, Io& io, Loaded& doc) {
  if (std::string problem = RegularFileProblem(path); !problem.empty()) {
    io.err << "r770ctl: " << problem << "\n";
    return false;
  }
  if (!ReadSettings(io, doc.settings)) return false;
  if (!doc.dbRoot.empty()) {
    doc.settings.WorkAlg = doc.dbRoot + "/ALG";
    doc.settings.WorkMod = doc.dbRoot + "/MOD";
    doc.settings.WorkTask = doc.dbRoot + "/TASK";
  }
  CtlDocumentView view(doc.echoMessages ? &io.err : nullptr, &doc.messages);
  if (LoadDocument(doc.cfg, doc.settings, path, view)) return true;
  if (!doc.echoMessages)
    for (const std::string& m : doc.messages) io.err << m << "\n";
  return false;
}

std::string Json(const std::string& s) { return JsonQuoted(s); }

}  // namespace r770::ctl
