// r770ctl commands beyond the document views: the Modbus/TCP test reading, the demo
// document and the comparison of two documents.
#include <dirent.h>

#include <algorithm>
#include <filesystem>
#include <iomanip>
#include <memory>
#include <ostream>

#include "common/codec.h"
#include "common/day_log.h"
#include "common/dialogs.h"
#include "common/number_forms.h"
#include "ctl.h"
#include "ctl_util.h"
#include "database/param_tree.h"
#include "database/task_cl.h"
#include "export/map_export.h"
#include "document/document_file.h"
#include "modbus_test/command_test_link.h"
#include "modbus_test/modbus_read_form.h"

namespace r770::ctl {
namespace {

// Message boxes of the procedures become lines on stderr; questions take a fixed answer.
class ConsoleDialogs : public Dialogs {
 public:
  explicit ConsoleDialogs(std::ostream& err) : err_(err) {}
  void Information(const std::string& text) override { err_ << text << "\n"; ++messages; }
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
  bool invertGiven = false, swapGiven = false;
  std::optional<WireOrder> order;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto next = [&](std::string& v) {
      if (i + 1 >= args.size()) return false;
      v = args[++i];
      return true;
    };
    std::string v;
    if (a == "--host") {
      if (!next(v)) return UsageError(io, "--host: нужен адрес");
      s.IP_AdrTest = v;
    } else if (a == "--port") {
      auto p = next(v) ? ParseUDec(v) : std::nullopt;
      if (!p || *p > 65535) return UsageError(io, "--port: число 0..65535");
      s.PortTcpTest = static_cast<std::uint16_t>(*p);
    } else if (a == "--unit") {
      auto u = next(v) ? ParseHex(v) : std::nullopt;
      if (!u || *u > 255) return UsageError(io, "--unit: шестнадцатеричное число 00..FF");
      s.SetModTest = static_cast<std::uint8_t>(*u);
    } else if (a == "--timeout") {
      auto t = next(v) ? ParseUDec(v) : std::nullopt;
      if (!t || *t == 0 || *t > 60) return UsageError(io, "--timeout: секунды 1..60");
      s.TimeAnswerTest = static_cast<std::int32_t>(*t);
    } else if (a == "--order") {
      order = next(v) ? ParseWireOrder(v) : std::nullopt;
      if (!order) return UsageError(io, "--order: ABCD, CDAB, BADC или DCBA");
    } else if (a == "--invert") {
      invertGiven = true;
    } else if (a == "--swap") {
      swapGiven = true;
    } else if (!a.empty() && a[0] == '-') {
      return UsageError(io, "неизвестный ключ " + a);
    } else {
      regs += (regs.empty() ? "" : ",") + a;
    }
  }
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
  form.decimalSeparator = ".";
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

int DemoDocument(const std::vector<std::string>& args, Io& io) {
  if (HasHelp(args)) {
    io.out << "r770ctl demo-document OUT.bmt --db DIR\n"
              "  Составляет пример документа по базе DIR (папки ALG, MOD, TASK): все контроллеры из\n"
              "  DIR/TASK и первые параметры каждого дерева во всех четырёх картах.\n";
    return kExitOk;
  }
  std::string out, db;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--db" && i + 1 < args.size()) db = args[++i];
    else if (!args[i].empty() && args[i][0] == '-') return UsageError(io, "неизвестный ключ " + args[i]);
    else out = args[i];
  }
  if (out.empty() || db.empty()) return UsageError(io, "укажите файл документа и --db");
  // The document names its task files by full path, as every save does: a relative one would
  // name nothing once the document is opened from another folder.
  std::error_code absoluteFailed;
  const std::filesystem::path full = std::filesystem::absolute(db, absoluteFailed);
  if (!absoluteFailed) db = full.lexically_normal().string();
  while (db.size() > 1 && db.back() == '/') db.pop_back();
  const std::string taskDir = db + "/TASK";
  std::vector<std::string> files;
  if (DIR* d = opendir(taskDir.c_str())) {
    while (dirent* e = readdir(d)) {
      const std::string name = e->d_name;
      const std::string upper = Utf8Upper(name);
      const bool taskFile = upper.size() > 4 && upper.compare(upper.size() - 4, 4, ".TSK") == 0;
      // System task files are named by their module type: 4 hexadecimal digits.
      const bool systemFile = upper.size() == 8 && ParseHex(upper.substr(0, 4)).has_value();
      if (taskFile && !systemFile) files.push_back(name);
    }
    closedir(d);
  }
  std::sort(files.begin(), files.end());
  if (files.empty()) {
    io.err << "r770ctl: в папке " << taskDir << " нет файлов очередей задач\n";
    return kExitProblems;
  }
  Configuration cfg;
  cfg.ResetForNew();
  for (const auto& f : files) {
    ControllerEntry ce;
    ce.Task = std::make_unique<Task_CL>(taskDir + "/" + f, taskDir, db + "/MOD", db + "/ALG");
    if (!ce.Task->Errors().empty()) {
      io.err << "r770ctl: " << taskDir << "/" << f << "\n" << ce.Task->Errors().front() << "\n";
      return kExitProblems;
    }
    ce.Nset = static_cast<std::int32_t>(ce.Task->NetworkNumber() & 0xFF);
    ce.Found = true;
    cfg.Controllers.push_back(std::move(ce));
  }
  std::vector<TreeController> tc;
  for (const auto& ce : cfg.Controllers) tc.push_back({ce.Task.get(), ce.Nset, ce.Found});
  TreeOptions opt{false, true};
  ParamTree bits = ParamTree::Build(TreeKind::Bit, tc, opt);
  ParamTree regs = ParamTree::Build(TreeKind::Register, tc, opt);
  struct Plan { MapKind kind; const ParamTree* tree; int count; int first; int stride; } plans[] = {
      {MapKind::TU, &bits, 8, 1, 1},
      {MapKind::TC, &bits, 24, 1, 1},
      {MapKind::TIFloat, &regs, 12, 100, 2},
      {MapKind::InputReg, &regs, 8, 200, 2},
  };
  for (const auto& p : plans) {
    int row = 0;
    for (const TreeNode& n : p.tree->Nodes()) {
      if (n.Level != 2 || row >= p.count) continue;
      const TreeNode& task = p.tree->Node(n.Parent);
      const TreeNode& ctrl = p.tree->Node(task.Parent);
      MapEntry& e = cfg.Map(p.kind)[static_cast<std::size_t>(row)];
      e.ModuleNo = static_cast<std::uint8_t>(cfg.Controllers[static_cast<std::size_t>(n.ControllerPos)].Nset);
      e.TaskNo = static_cast<std::uint16_t>(n.TaskNo);
      e.ParamNo = n.ParamNo;
      e.ParamName = CutParamName(n.Label + "/" + task.Label + "(" + ctrl.Label + ")");
      e.ModbusAddr = static_cast<std::uint16_t>(p.first + row * p.stride);
      ++row;
    }
  }
  CommonSettings& c = cfg.Common;
  c.AdrCAN = 0x01;
  c.AdrExt = 0x01;
  c.V_CAN = 2;
  c.trepeat = 5;
  c.twaitCAN = 100;
  c.AdrPort = 502;
  c.AdrIP = {192, 168, 0, 10};
  c.AdrGate = {192, 168, 0, 1};
  c.Mask = {255, 255, 255, 0};
  c.AdrMAC = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
  cfg.SetAllChanged();
  CtlDocumentView view(&io.err);
  if (!SaveDocument(cfg, out, view)) return kExitProblems;
  io.out << "Документ " << out << ": контроллеров " << cfg.Controllers.size() << "\n";
  return kExitOk;
}

int Compare(const std::vector<std::string>& args, Io& io) {
  if (HasHelp(args)) {
    io.out << "r770ctl compare A.bmt B.bmt\n"
              "  Сравнивает то, что записывается в модуль: общие настройки (кроме MAC-адреса) и\n"
              "  номера модулей, параметров и адреса Modbus всех записей карт. Код возврата 0 — совпадают.\n";
    return kExitOk;
  }
  if (args.size() != 2) return UsageError(io, "укажите два файла документа");
  Loaded a, b;
  if (!LoadForCtl(args[0], io, a) || !LoadForCtl(args[1], io, b)) return kExitProblems;
  std::vector<std::string> diffs;
  CommonSettings ca = a.cfg.Common, cb = b.cfg.Common;
  ca.Invers = cb.Invers;  // kept in the document only, never sent to the module
  ca.SWAP = cb.SWAP;
  ca.AdrMAC = cb.AdrMAC;  // the module's own, read but never written
  if (!(ca == cb)) diffs.push_back("общие настройки различаются");
  for (MapKind k : kAllMapKinds) {
    const RegisterMap& ma = a.cfg.Map(k);
    const RegisterMap& mb = b.cfg.Map(k);
    for (std::size_t i = 0; i < ma.size() && i < mb.size(); ++i) {
      const MapEntry& x = ma[i];
      const MapEntry& y = mb[i];
      if (x.ModuleNo != y.ModuleNo || x.ParamNo != y.ParamNo || x.ModbusAddr != y.ModbusAddr)
        diffs.push_back(MapName(k) + ", строка " + std::to_string(i + 1) + ": " + Hex2(x.ModuleNo) +
                        " " + Hex4(x.ParamNo) + " " + std::to_string(x.ModbusAddr) + " <> " + Hex2(y.ModuleNo) +
                        " " + Hex4(y.ParamNo) + " " + std::to_string(y.ModbusAddr));
    }
  }
  for (const auto& d : diffs) io.out << d << "\n";
  if (!diffs.empty()) return kExitProblems;
  io.out << "Документы совпадают.\n";
  return kExitOk;
}

}  // namespace r770::ctl
