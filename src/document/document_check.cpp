#include "document/document_check.h"

#include <map>

#include "common/number_forms.h"
#include "database/param_tree.h"
#include "database/task_cl.h"

namespace r770 {
namespace {

std::string NsetText(std::int32_t nset) { return Hex2(static_cast<std::uint32_t>(nset) & 0xFF); }

bool Offered(const ParamTree& tree, std::size_t pos, const MapEntry& e) {
  for (const TreeNode& n : tree.Nodes())
    if (n.Level == 2 && n.ControllerPos == static_cast<int>(pos) && n.ParamNo == e.ParamNo &&
        static_cast<std::uint16_t>(n.TaskNo) == e.TaskNo)
      return true;
  return false;
}

}  // namespace

MainCommand MapEditorCommand(MapKind kind) {
  switch (kind) {
    case MapKind::TU:
      return MainCommand::Coils;
    case MapKind::TC:
      return MainCommand::DiscreteInputs;
    case MapKind::TIFloat:
      return MainCommand::HoldingRegisters;
    case MapKind::InputReg:
      return MainCommand::InputRegisters;
  }
  return MainCommand::None;
}

std::string MapMenuName(MapKind kind) {
  const MainCommand editor = MapEditorCommand(kind);
  for (const MainMenuDef& menu : MainMenuLayout())
    for (const MainMenuItem& item : menu.items)
      if (item.command == editor) return item.text;
  return MapSection(kind);
}

std::vector<DocumentProblem> CheckDocument(const Configuration& cfg, std::string (*mapName)(MapKind)) {
  std::vector<DocumentProblem> problems;
  for (std::size_t i = 0; i < cfg.Controllers.size(); ++i) {
    const auto& ce = cfg.Controllers[i];
    if (!ce.Found)
      problems.push_back({ProblemKind::ControllerNotFound, std::nullopt, 0, static_cast<int>(i),
                          "контроллер " + NsetText(ce.Nset) + ": файл очереди задач не найден" +
                              (ce.TaskFilePath().empty() ? std::string() : " (" + ce.TaskFilePath() + ")")});
    // The maps name controllers by number, and their names come from the task file: a
    // number or a task file met again makes entries take the wrong controller's names.
    for (std::size_t j = 0; j < i; ++j) {
      const auto& earlier = cfg.Controllers[j];
      const std::string rows = " (строки " + std::to_string(j + 1) + " и " + std::to_string(i + 1) + ")";
      std::string text;
      if (NsetText(earlier.Nset) == NsetText(ce.Nset))
        text = "контроллер " + NsetText(ce.Nset) + " указан в списке дважды" + rows;
      else if (!ce.TaskFilePath().empty() && earlier.TaskFilePath() == ce.TaskFilePath())
        text = "очередь задач " + ce.TaskFilePath() + " введена для двух контроллеров, " +
               NsetText(earlier.Nset) + " и " + NsetText(ce.Nset) + rows;
      if (text.empty()) continue;
      problems.push_back({ProblemKind::ControllerTwice, std::nullopt, 0, static_cast<int>(i), text});
      break;
    }
  }

  std::vector<TreeController> tc;
  for (const auto& ce : cfg.Controllers) tc.push_back({ce.Task.get(), ce.Nset, ce.Found});
  TreeOptions opt{cfg.State.FromModule, true};
  ParamTree bitTree = ParamTree::Build(TreeKind::Bit, tc, opt);
  ParamTree regTree = ParamTree::Build(TreeKind::Register, tc, opt);

  for (MapKind k : kAllMapKinds) {
    const RegisterMap& m = cfg.Map(k);
    const bool registers = k == MapKind::TIFloat || k == MapKind::InputReg;
    const ParamTree& tree = registers ? regTree : bitTree;
    std::map<int, int> seen;  // address -> first row
    int parity = -1;
    for (std::size_t i = 0; i < m.size(); ++i) {
      const MapEntry& e = m[i];
      if (e.IsEmpty()) continue;
      const int row = static_cast<int>(i + 1);
      const std::string where = mapName(k) + ", строка " + std::to_string(row);
      auto add = [&](ProblemKind kind, const std::string& text) {
        problems.push_back({kind, k, row, -1, where + ": " + text});
      };
      if (e.ModbusAddr == 0xFFFF) {
        add(ProblemKind::NoAddress, "параметр без адреса Modbus");
        continue;
      }
      auto [it, fresh] = seen.emplace(e.ModbusAddr, row);
      if (!fresh)
        add(ProblemKind::DuplicateAddress,
            "адрес " + std::to_string(e.ModbusAddr) + " уже занят строкой " + std::to_string(it->second));
      if (registers) {
        const int p = e.ModbusAddr % 2;
        if (parity < 0)
          parity = p;
        else if (p != parity)
          add(ProblemKind::Parity,
              "адрес " + std::to_string(e.ModbusAddr) + " нарушает нумерацию через 1 (чётность)");
      }
      auto pos = cfg.FindController(e.ModuleNo);
      if (!pos) {
        add(ProblemKind::ModuleNotListed,
            "модуль " + Hex2(e.ModuleNo) + " отсутствует в списке контроллеров");
        continue;
      }
      // A controller without task file is reported once, above.
      if (!cfg.Controllers[*pos].Task || !cfg.Controllers[*pos].Found) continue;
      if (!Offered(tree, *pos, e))
        add(ProblemKind::NotOffered, "параметр " + Hex4(e.ParamNo) + " задачи " +
                                         std::to_string(static_cast<std::int16_t>(e.TaskNo)) + " модуля " +
                                         Hex2(e.ModuleNo) + " в базе не предлагается");
    }
  }
  return problems;
}

}  // namespace r770
