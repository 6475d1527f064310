// r770ctl modbus-read: the Modbus/TCP test reading of the "Чтение по Modbus" window, on the
// console.
#include <optional>
#include <ostream>

#include "common/day_log.h"
#include "common/dialogs.h"
#include "common/number_forms.h"
#include "ctl.h"
#include "ctl_util.h"
#include "export/map_export.h"
#include "modbus_test/command_test_link.h"
#include "modbus_test/modbus_read_form.h"

namespace r770::ctl {
namespace {

// Message boxes of the procedures become lines on stderr; questions take a fixed answer.
class ConsoleDialogs : public Dialogs {
 public:
  explicit ConsoleDialogs(std::ostream& err) : err_(err) {}
  void Information(const std::string& text) override {
    err_ << text << "\n";
    ++messages;
  }
  bool Confirm(const std::string& text) override {
    err_ << text << " — " << (answer ? "да" : "нет") << "\n";
    return answer;
  }
  Answer Ask(const std::string& text) override { return Confirm(text) ? Answer::Yes : Answer::No; }
  std::optional<std::string> OpenFile(const std::vector<FileFilter>&, int, const std::string&) override {
    return std::nullopt;
  }
  std::optional<std::string> SaveFile(const std::vector<FileFilter>&, int, const std::string&) override {
    return std::nullopt;
  }
  std::optional<std::string> ChooseFolder(const std::string&) override { return std::nullopt; }
  bool answer = false;
  int messages = 0;

 private:
  std::ostream& err_;
};

class QuietBusy : public BusyIndicator {
 public:
  void SetBusy(bool) override {}
  void PumpEvents() override {}
};

}  // namespace

int ModbusRead(const std::vector<std::string>& args, Io& io) {
  if (HasHelp(args)) {
    io.out << "r770ctl modbus-read --host H [--port P] [--unit U] [--invert] [--swap] [--order ORDER]\n"
              "                    [--timeout S] REG[,REG...]\n"
              "  Читает пары Holding Register с сервера Modbus/TCP модуля (функция 3) и выводит\n"
              "  значения и примечания так же, как окно \"Чтение по Modbus\".\n"
              "  По умолчанию порт, адрес, порядок байт и время ожидания берутся из файла настроек.\n"
              "  --unit U  Slave-адрес (шестнадцатеричный)\n"
              "  --order   порядок байт: ABCD (--invert), CDAB (--swap), BADC (оба), DCBA (ни одного)\n";
    return kExitOk;
  }
  ProgramSettings s;
  if (!ReadSettings(io, s)) return kExitProblems;
  std::string regs;
  std::vector<std::string> regList;
  bool invertGiven = false, swapGiven = false;
  std::optional<WireOrder> order;
  WireOrder chosen{};
  const std::string error =
      CommandArgs()
          .Option("--host",
                  [&](const cli::ArgParser::Value& v) {
                    if (!v) return std::string("--host: нужен адрес");
                    s.IP_AdrTest = *v;
                    return std::string();
                  })
          .Option("--port", [&](const cli::ArgParser::Value& v) { return PortValue(v, s.PortTcpTest); })
          .Option("--unit", [&](const cli::ArgParser::Value& v) { return UnitValue(v, s.SetModTest); })
          .Option("--timeout",
                  [&](const cli::ArgParser::Value& v) { return TimeoutValue(v, s.TimeAnswerTest); })
          .Option("--order",
                  [&](const cli::ArgParser::Value& v) {
                    std::string e = OrderValue(v, chosen);
                    if (e.empty()) order = chosen;
                    return e;
                  })
          .Flag("--invert", [&] { invertGiven = true; })
          .Flag("--swap", [&] { swapGiven = true; })
          .Positional(Collect(regList))
          .Parse(args);
  if (!error.empty()) return UsageError(io, error);
  for (const std::string& r : regList) regs += (regs.empty() ? "" : ",") + r;
  // What the window would refuse in its field is a usage error here.
  if (regs.empty()) return UsageError(io, "укажите номера регистров");
  if (!ParseRegisterList(regs)) return UsageError(io, "неверно введены номера регистров: " + regs);
  if (order && (invertGiven || swapGiven)) return UsageError(io, "--order вместе с --invert или --swap");
  if (order) {
    s.InversModTest = FlagsOf(*order).invert;
    s.SwapModTest = FlagsOf(*order).swap;
  } else if (invertGiven || swapGiven) {
    s.InversModTest = invertGiven;
    s.SwapModTest = swapGiven;
  }
  ConsoleDialogs dialogs(io.err);
  QuietBusy busy;
  CommandTestLink link;
  DayLog log;
  ModbusReadForm form(s, dialogs, busy, link, log);
  form.decimalSeparator = std::string(".");
  form.registersText = regs;
  form.Show();
  form.Read();
  form.RequestClose();
  if (dialogs.messages) return kExitProblems;  // refused input or no link: said on stderr
  bool anyError = false;
  for (const auto& row : form.Rows()) {
    if (row.number.empty() || row.address.empty()) continue;
    io.out << row.address << "\t" << (row.value.empty() ? "-" : row.value);
    if (!row.note.empty()) io.out << "\t" << row.note;
    io.out << "\n";
    anyError = anyError || !row.note.empty();
  }
  return anyError ? kExitProblems : kExitOk;
}

}  // namespace r770::ctl
