// r770ctl commands that talk to the module: search, write, read, run, stop. They drive the
// exchange window's own procedures, with the console in place of the window.
#include <unistd.h>

#include <algorithm>
#include <ostream>

#include "common/number_forms.h"
#include "ctl.h"
#include "ctl_util.h"
#include "document/document_file.h"
#include "exchange/exchange_form.h"
#include "exchange/exchange_log.h"
#include "exchange/exchange_view.h"

namespace r770::ctl {
namespace {

// The window around the procedures: status lines and progress on stderr, messages on stderr,
// the restart question answered by --restart, Ctrl-C taken as "Прервать".
class ConsoleExchangeView : public ExchangeView {
 public:
  ConsoleExchangeView(std::ostream& err, bool restart) : err_(err), restart_(restart) {
    tty_ = isatty(STDERR_FILENO) != 0;
  }
  void SetForm(ExchangeForm* form) { form_ = form; }

  // The status line of success that the command itself reports on stdout: said once.
  void SetOutcome(std::string text) { outcome_ = std::move(text); }
  void StatusChanged(const std::string& text) override {
    if (text == lastStatus_ || text == outcome_) return;
    EndProgressLine();
    err_ << text << "\n";
    lastStatus_ = text;
  }
  // The search shows on a terminal the number it probes and what it found so far.
  void SetSearchRange(int first, int last) {
    searchFirst_ = first;
    searchLast_ = last;
  }
  void ProgressChanged(int position) override {
    ++steps_;
    if (tty_ && searchFirst_ >= 0 && form_) {
      std::string found;
      for (const auto& row : form_->Rows()) found += " " + row.NumberText();
      const int total = searchLast_ - searchFirst_ + 1;
      const int probing = std::min(searchFirst_ + position, searchLast_);
      err_ << "\r  номер " << Hex2(static_cast<std::uint32_t>(probing)) << " ("
           << std::min(position + 1, total) << " из " << total
           << "), найдено:" << (found.empty() ? std::string(" нет") : found) << std::flush;
      progressShown_ = true;
      return;
    }
    if (tty_ && position % 16 == 0) {
      err_ << "\r  шагов: " << steps_ << std::flush;
      progressShown_ = true;
    }
  }
  void SetBusy(bool) override {}
  void PumpEvents() override {
    if (Interrupted() && form_ && !aborted_) {
      aborted_ = true;
      form_->Abort();
    }
  }
  void Information(const std::string& text) override {
    EndProgressLine();
    err_ << text << "\n";
  }
  // The log lines themselves stay in the day's log; that the log is not kept is said here.
  void LogFileFailed(const std::string& notice) override { Information(notice); }
  bool Confirm(const std::string& text) override {
    EndProgressLine();
    err_ << text << " — " << (restart_ ? "да" : "нет") << "\n";
    return restart_;
  }
  void SetMainStatus(const std::string&) override {}
  void UpdateDocumentMenus(bool) override {}
  int steps() const { return steps_; }

 private:
  void EndProgressLine() {
    if (progressShown_) err_ << "\n";
    progressShown_ = false;
  }
  std::ostream& err_;
  bool restart_;
  bool tty_ = false;
  bool progressShown_ = false;
  bool aborted_ = false;
  int steps_ = 0;
  int searchFirst_ = -1, searchLast_ = -1;
  std::string lastStatus_;
  std::string outcome_;
  ExchangeForm* form_ = nullptr;
};

const char* kLinkHelp =
    "  Связь (по умолчанию из файла настроек):\n"
    "    --tcp HOST[:PORT]   Ethernet: адрес и порт модуля\n"
    "    --can COMn          адаптер CAN-BUS на последовательном порту COM1..COM8\n"
    "    --speed KBD         скорость CAN-BUS адаптера: 300, 150, 100, 50, 20\n"
    "    --node HEX          сетевой номер компьютера на шине CAN-BUS\n"
    "    --net HEX           сетевой номер модуля R-770\n"
    "    --retries N         количество повторов (1..20)\n"
    "    --timeout S         время ожидания ответа, с\n"
    "  Ctrl-C прерывает запись и чтение между командами, как кнопка \"Прервать\" (второе\n"
    "  нажатие и нажатие во время поиска завершают программу сразу, код 130). Ключи связи\n"
    "  действуют только на этот запуск: файл настроек не меняется.\n";

// A network number option: a hexadecimal 00..FF handed to set.
cli::ArgParser::Apply HexByte(const char* name, std::function<void(std::uint32_t)> set) {
  return [name, set](const cli::ArgParser::Value& v) {
    auto n = v ? ParseHex(*v) : std::nullopt;
    if (!n || *n > 255) return std::string(name) + ": шестнадцатеричное число 00..FF";
    set(*n);
    return std::string();
  };
}

// Takes the link options out of args into settings; the rest stays in `rest`.
bool LinkOptions(const std::vector<std::string>& args, ProgramSettings& s, std::vector<std::string>& rest,
                 Io& io, std::string* restart) {
  using Value = cli::ArgParser::Value;
  cli::ArgParser parser = CommandArgs();
  parser
      .Option("--tcp",
              [&](const Value& v) {
                if (!v) return std::string("--tcp: нужен адрес");
                s.LinkKind = LinkKindSetting::Ethernet;
                auto colon = v->rfind(':');
                s.ModuleIP = v->substr(0, colon);
                if (colon != std::string::npos) {
                  auto p = ParseUDec(v->substr(colon + 1));
                  if (!p || *p > 65535) return std::string("--tcp: неверный порт");
                  s.ModulePort = static_cast<std::int32_t>(*p);
                }
                if (s.ModuleIP.empty()) return std::string("--tcp: нужен адрес");
                return std::string();
              })
      .Option("--can",
              [&](const Value& v) {
                int n = 0;
                if (v && v->size() == 4 && (v->rfind("COM", 0) == 0 || v->rfind("com", 0) == 0))
                  n = (*v)[3] - '0';
                if (n < 1 || n > 8) return std::string("--can: COM1..COM8");
                s.LinkKind = LinkKindSetting::CanBus;
                s.ComPortIndex = n - 1;
                return std::string();
              })
      .Option("--speed",
              [&](const Value& v) {
                auto kbd = v ? ParseUDec(*v) : std::nullopt;
                int index = -1;
                for (int k = 0; k < static_cast<int>(kCanSpeeds.size()) && kbd; ++k)
                  if (static_cast<int>(*kbd) == kCanSpeeds[static_cast<std::size_t>(k)]) index = k;
                if (index < 0) return std::string("--speed: 300, 150, 100, 50 или 20");
                s.AdapterSpeedIndex = index;
                return std::string();
              })
      .Option("--node", HexByte("--node", [&](std::uint32_t n) { s.PcNetNumber = n; }))
      .Option("--net",
              HexByte("--net", [&](std::uint32_t n) { s.ModuleNetNumber = static_cast<std::uint8_t>(n); }))
      .Option("--retries",
              [&](const Value& v) {
                auto n = v ? ParseUDec(*v) : std::nullopt;
                if (!n || *n < 1 || *n > 20) return std::string("--retries: 1..20");
                s.Retries = static_cast<std::int32_t>(*n);
                return std::string();
              })
      .Option("--timeout",
              [&](const Value& v) {
                auto n = v ? ParseUDec(*v) : std::nullopt;
                if (!n || *n < 1 || *n > 600) return std::string("--timeout: секунды 1..600");
                s.AnswerTimeSec = static_cast<std::int32_t>(*n);
                return std::string();
              })
      .Positional(Collect(rest));
  if (restart)
    parser.Option("--restart", [restart](const Value& v) {
      if (!v || (*v != "yes" && *v != "no")) return std::string("--restart: yes или no");
      *restart = *v;
      return std::string();
    });
  if (std::string error = parser.Parse(args); !error.empty()) return UsageError(io, error), false;
  return true;
}

// Runs one procedure of the exchange window; true when it succeeded.
struct Session {
  Session(Configuration& cfg, ProgramSettings& s, std::ostream& err, bool restart)
      : view(err, restart), form(cfg, s, view, log) {
    log.SetView(&view);
    view.SetForm(&form);
    form.SetStoreOnClose(false);  // the settings file stays as it was found
  }
  ~Session() {
    ExitOnInterrupt(false);
    form.RequestClose();
  }
  bool Run(ExchangeMode mode) {
    form.Show();
    if (!form.LinkOpen()) return false;
    form.ChooseMode(mode);
    form.Action();
    return form.Succeeded();
  }
  // "Пуск" (stop false) or "Стоп" of the exchange window.
  bool ChangeRunState(bool stop) {
    form.Show();
    if (!form.LinkOpen()) return false;
    stop ? form.StopModule() : form.RunModule();
    return form.Succeeded();
  }
  InterruptScope interrupts;
  ConsoleExchangeView view;
  ExchangeLog log;
  ExchangeForm form;
};

// The exit code of a procedure that did not succeed; its message is already on stderr.
int Finish(Session& session, Io& io) {
  if (session.form.ResultCode == kResultAborted && Interrupted()) {
    io.err << "r770ctl: обмен прерван\n";
    return kExitInterrupted;
  }
  if (session.form.ResultCode != 0) io.err << "r770ctl: код ошибки " << session.form.ResultCode << "\n";
  return kExitProblems;
}

}  // namespace

int ReadModuleInto(const std::vector<std::string>& linkArgs, Io& io, Configuration& document,
                   Configuration& into, std::uint8_t* net) {
  ProgramSettings settings;
  if (!ReadSettings(io, settings)) return kExitProblems;
  std::vector<std::string> rest;
  if (!LinkOptions(linkArgs, settings, rest, io, nullptr)) return kExitUsage;
  if (!rest.empty()) return UsageError(io, "лишний аргумент " + rest[0]);
  if (net) *net = settings.ModuleNetNumber;
  Session session(document, settings, io.err, false);
  session.form.Show();
  if (session.form.LinkOpen() && session.form.ReadModuleInto(into)) return kExitOk;
  return Finish(session, io);
}

int Search(const std::vector<std::string>& args, Io& io) {
  if (HasHelp(args)) {
    io.out << "r770ctl search [--from HEX] [--to HEX] [связь]\n"
              "  Ищет модули R-770 TCP/Modbus на шине в диапазоне сетевых номеров (по умолчанию\n"
              "  01..FF) и выводит найденные; первый найденный отмечен \"(выбран)\".\n"
              "  Номер, который не отвечает, ждёт время ожидания на каждый повтор: весь диапазон\n"
              "  01..FF занимает до 255 x повторы x время ожидания (при 3 повторах по 1 с - около\n"
              "  13 минут), поэтому сузьте его ключами --from и --to. На терминале поиск показывает\n"
              "  проверяемый номер и найденные модули.\n"
           << kLinkHelp;
    return kExitOk;
  }
  Loaded doc;
  if (!ReadSettings(io, doc.settings)) return kExitProblems;
  std::string from = "01", to = "FF";
  // The range first; what is left are the link options.
  std::vector<std::string> linkArgs = args, rest;
  cli::ArgParser()
      .OptionElseUnknown("--from", [&](const std::string& v) { from = v; })
      .OptionElseUnknown("--to", [&](const std::string& v) { to = v; })
      .Take(linkArgs);
  if (!LinkOptions(linkArgs, doc.settings, rest, io, nullptr)) return kExitUsage;
  if (!rest.empty()) return UsageError(io, "лишний аргумент " + rest[0]);
  int range[2] = {0, 0};
  for (int k = 0; k < 2; ++k) {
    auto n = ParseHex(k == 0 ? from : to);
    if (!n || *n > 255) return UsageError(io, "диапазон: шестнадцатеричные числа 00..FF");
    range[k] = static_cast<int>(*n);
  }
  if (range[1] < range[0]) return UsageError(io, "диапазон: --from " + from + " больше --to " + to);
  Session session(doc.cfg, doc.settings, io.err, false);
  session.form.Show();
  if (!session.form.LinkOpen()) return Finish(session, io);
  session.form.ChooseMode(ExchangeMode::Search);
  session.form.SetRangeSwitch(true);
  session.form.rangeText = {from, to};
  session.form.RangeLeft(0);
  session.form.RangeLeft(1);
  session.view.SetSearchRange(range[0], range[1]);
  ExitOnInterrupt(true);
  session.form.Action();
  ExitOnInterrupt(false);
  if (!session.form.Succeeded()) return Finish(session, io);  // the form said why
  for (const auto& row : session.form.Rows())
    io.out << row.NumberText() << "\tR-770 TCP/Modbus" << (row.ticked ? "\t(выбран)" : "") << "\n";
  return kExitOk;
}

int Write(const std::vector<std::string>& args, Io& io) {
  if (HasHelp(args)) {
    io.out << "r770ctl write FILE.bmt [--restart yes|no] [связь]\n"
              "  Записывает конфигурацию из документа в модуль. Вопрос о переводе прибора в\n"
              "  состояние \"Работа\" после записи решает --restart (по умолчанию no); он задаётся\n"
              "  и тогда, когда прибор был остановлен до записи. С --restart yes запись кончается\n"
              "  работающим прибором или кодом ошибки 30. Прибор остаётся в состоянии \"Стоп\" после\n"
              "  неудачной или прерванной записи (r770ctl run переводит его в работу); в каком\n"
              "  состоянии запись оставила прибор, сказано в последней строке.\n"
           << kLinkHelp;
    return kExitOk;
  }
  Loaded doc;
  if (!ReadSettings(io, doc.settings)) return kExitProblems;
  std::vector<std::string> rest;
  std::string restart = "no";
  ProgramSettings linkSettings = doc.settings;
  if (!LinkOptions(args, linkSettings, rest, io, &restart)) return kExitUsage;
  if (rest.size() != 1) return UsageError(io, "укажите один файл документа");
  if (!LoadForCtl(rest[0], io, doc)) return kExitProblems;
  Session session(doc.cfg, linkSettings, io.err, restart == "yes");
  session.view.SetOutcome("Запись завершена");
  const bool ok = session.Run(ExchangeMode::Write);
  // Whatever the outcome, say in which state the write left the device.
  if (session.form.LinkOpen()) io.err << session.form.RunStateText() << "\n";
  if (!ok) return Finish(session, io);
  io.out << "Запись завершена\n";
  return kExitOk;
}

namespace {

int ChangeRunState(const std::vector<std::string>& args, Io& io, bool stop) {
  if (HasHelp(args)) {
    io.out << (stop ? "r770ctl stop [связь]\n"
                      "  Переводит прибор в состояние \"Стоп\" (как кнопка \"Стоп\" окна обмена) и ждёт\n"
                      "  подтверждения до 10 с; иначе код ошибки 29.\n"
                    : "r770ctl run [связь]\n"
                      "  Переводит прибор в состояние \"Работа\" (как кнопка \"Пуск\" окна обмена) и ждёт\n"
                      "  подтверждения до 2 с; иначе код ошибки 30.\n")
           << kLinkHelp;
    return kExitOk;
  }
  Loaded doc;
  if (!ReadSettings(io, doc.settings)) return kExitProblems;
  std::vector<std::string> rest;
  if (!LinkOptions(args, doc.settings, rest, io, nullptr)) return kExitUsage;
  if (!rest.empty()) return UsageError(io, "лишний аргумент " + rest[0]);
  Session session(doc.cfg, doc.settings, io.err, false);
  if (!session.ChangeRunState(stop)) return Finish(session, io);
  io.out << session.form.RunStateText() << "\n";
  return kExitOk;
}

}  // namespace

int RunDevice(const std::vector<std::string>& args, Io& io) { return ChangeRunState(args, io, false); }
int StopDevice(const std::vector<std::string>& args, Io& io) { return ChangeRunState(args, io, true); }

int Read(const std::vector<std::string>& args, Io& io) {
  if (HasHelp(args)) {
    io.out << "r770ctl read OUT.bmt [связь]\n"
              "  Читает конфигурацию из модуля и сохраняет её как прочитанный документ.\n"
           << kLinkHelp;
    return kExitOk;
  }
  Loaded doc;
  if (!ReadSettings(io, doc.settings)) return kExitProblems;
  std::vector<std::string> rest;
  if (!LinkOptions(args, doc.settings, rest, io, nullptr)) return kExitUsage;
  if (rest.size() != 1) return UsageError(io, "укажите файл, в который сохранить прочитанное");
  doc.cfg.ResetForNew();
  doc.cfg.State.IsNew = false;
  {
    Session session(doc.cfg, doc.settings, io.err, false);
    session.view.SetOutcome("Чтение завершено");
    if (!session.Run(ExchangeMode::Read)) return Finish(session, io);
  }
  doc.cfg.SetAllChanged();
  CtlDocumentView view(&io.err);
  if (!SaveDocument(doc.cfg, rest[0], view)) return kExitProblems;
  io.out << "Чтение завершено: " << rest[0] << "\n";
  return kExitOk;
}

}  // namespace r770::ctl
