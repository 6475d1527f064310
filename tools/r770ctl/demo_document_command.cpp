// r770ctl demo-document: an example document made from a database, with every controller of
// its TASK folder and the first parameters of each tree in all four maps.
#include <dirent.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <ostream>

#include "common/codec.h"
#include "common/number_forms.h"
#include "ctl.h"
#include "ctl_util.h"
#include "database/param_tree.h"
#include "database/task_cl.h"
#include "document/document_file.h"

namespace r770::ctl {

int DemoDocument(const std::vector<std::string>& args, Io& io) {
  if (HasHelp(args)) {
    io.out << "r770ctl demo-document OUT.bmt --db DIR\n"
              "  Составляет пример документа по базе DIR (папки ALG, MOD, TASK): все контроллеры из\n"
              "  DIR/TASK и первые параметры каждого дерева во всех четырёх картах.\n";
    return kExitOk;
  }
  std::string out, db;
  const std::string error = CommandArgs()
                                .OptionElseUnknown("--db", [&](const std::string& v) { db = v; })
                                .Positional([&](const std::string& a) { return out = a, std::string(); })
                                .Parse(args);
  if (!error.empty()) return UsageError(io, error);
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
  struct Plan {
    MapKind kind;
    const ParamTree* tree;
    int count;
    int first;
    int stride;
  } plans[] = {
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

}  // namespace r770::ctl
