#include "compare/config_diff.h"

#include <algorithm>
#include <array>
#include <memory>

#include "common/number_forms.h"
#include "database/param_tree.h"
#include "document/document_overview.h"

namespace r770 {
namespace {

// The common settings a write puts into the module: the document key, the position of the
// field in CommonSettingsTexts, and the comparison of the field.
struct CommonField {
  const char* key;
  std::size_t text;
  bool (*same)(const CommonSettings&, const CommonSettings&);
};

#define R770_SAME(field) [](const CommonSettings& a, const CommonSettings& b) { return a.field == b.field; }
constexpr std::array<CommonField, 10> kCommonFields{{
    {"AdrCAN", 0, R770_SAME(AdrCAN)},
    {"AdrExt", 1, R770_SAME(AdrExt)},
    {"V_CAN", 2, R770_SAME(V_CAN)},
    {"trepeat", 3, R770_SAME(trepeat)},
    {"twaitCAN", 4, R770_SAME(twaitCAN)},
    {"V_Ethernet", 5, R770_SAME(V_Ethernet)},
    {"AdrPort", 6, R770_SAME(AdrPort)},
    {"AdrIP", 8, R770_SAME(AdrIP)},
    {"AdrGate", 9, R770_SAME(AdrGate)},
    {"Mask", 10, R770_SAME(Mask)},
}};
#undef R770_SAME

bool SameInModule(const MapEntry& a, const MapEntry& b) {
  if (a.IsEmpty() || b.IsEmpty()) return a.IsEmpty() == b.IsEmpty();
  return a.ModuleNo == b.ModuleNo && a.ParamNo == b.ParamNo && a.ModbusAddr == b.ModbusAddr;
}

std::string NsetText(std::int32_t nset) { return Hex2(static_cast<std::uint32_t>(nset) & 0xFF); }

// What one side knows of the parameter of an entry.
struct ParamNaming {
  std::string Name;
  std::uint16_t TaskNo = 0xFFFF;
};

// Names of the entries of one side, looked up where that side does not know them itself: in
// the other side's own entries of the same map, then in the other side's parameter trees.
class Names {
 public:
  Names(const Configuration& side, const Configuration& other, const CompareOptions& options)
      : side_(side), other_(other), options_(options) {}

  // The name and task number of a non-empty entry; found is false when only the generated
  // name (parameter and module number) is known.
  ParamNaming Of(MapKind kind, const MapEntry& e, bool* found = nullptr) {
    if (found) *found = true;
    if (KnowsOwnNames(side_, e)) return {e.ParamName, e.TaskNo};
    for (const MapEntry& o : other_.Map(kind))
      if (!o.IsEmpty() && o.ModuleNo == e.ModuleNo && o.ParamNo == e.ParamNo && KnowsOwnNames(other_, o))
        return {o.ParamName, o.TaskNo};
    if (auto naming = FromDatabase(kind, e)) return *naming;
    if (found) *found = false;
    return {side_.DisplayName(e), 0xFFFF};
  }

 private:
  // A document from a file names its entries; one read from the module only those of the
  // controllers whose task file was found.
  static bool KnowsOwnNames(const Configuration& cfg, const MapEntry& e) {
    if (!cfg.State.FromModule) return true;
    auto pos = cfg.FindController(e.ModuleNo);
    return pos && cfg.Controllers[*pos].Found;
  }

  std::optional<ParamNaming> FromDatabase(MapKind kind, const MapEntry& e) {
    auto pos = other_.FindController(e.ModuleNo);
    if (!pos || !other_.Controllers[*pos].Task) return std::nullopt;
    const bool registers = kind == MapKind::TIFloat || kind == MapKind::InputReg;
    std::unique_ptr<ParamTree>& tree = registers ? registerTree_ : bitTree_;
    if (!tree) {
      std::vector<TreeController> controllers;
      for (const ControllerEntry& ce : other_.Controllers)
        controllers.push_back({ce.Task.get(), ce.Nset, ce.Found});
      tree = std::make_unique<ParamTree>(ParamTree::Build(registers ? TreeKind::Register : TreeKind::Bit,
                                                          controllers, {false, options_.ShortTaskNames}));
    }
    for (const TreeNode& n : tree->Nodes()) {
      if (n.Level != 2 || n.ControllerPos != static_cast<int>(*pos) || n.ParamNo != e.ParamNo) continue;
      // Composed as the map editors compose the name of a placed parameter.
      const TreeNode& task = tree->Node(n.Parent);
      const TreeNode& controller = tree->Node(task.Parent);
      return ParamNaming{CutParamName(n.Label + "/" + task.Label + "(" + controller.Label + ")"),
                         static_cast<std::uint16_t>(n.TaskNo)};
    }
    return std::nullopt;
  }

  const Configuration& side_;
  const Configuration& other_;
  const CompareOptions& options_;
  std::unique_ptr<ParamTree> bitTree_, registerTree_;
};

std::optional<DiffEntry> Side(MapKind kind, const MapEntry& e, Names& names) {
  if (e.IsEmpty()) return std::nullopt;
  return DiffEntry{e.ModuleNo, e.ParamNo, e.ModbusAddr, names.Of(kind, e).Name};
}

void CompareControllers(const Configuration& left, const Configuration& right,
                        std::vector<ConfigDifference>& out) {
  const auto& a = left.Controllers;
  const auto& b = right.Controllers;
  std::vector<int> pair(a.size(), -1);  // the right controller paired with each left one
  std::vector<bool> taken(b.size(), false);
  // Pairs are found in three passes: the same controller (number and task file), the same
  // task file under another number (renumbered), the same number with another task file.
  auto match = [&](auto&& same) {
    for (std::size_t i = 0; i < a.size(); ++i) {
      if (pair[i] >= 0) continue;
      for (std::size_t j = 0; j < b.size(); ++j) {
        if (taken[j] || !same(a[i], b[j])) continue;
        pair[i] = static_cast<int>(j);
        taken[j] = true;
        break;
      }
    }
  };
  match([](const ControllerEntry& x, const ControllerEntry& y) {
    return x.Nset == y.Nset && x.TaskFilePath() == y.TaskFilePath();
  });
  match([](const ControllerEntry& x, const ControllerEntry& y) {
    return !x.TaskFilePath().empty() && x.TaskFilePath() == y.TaskFilePath();
  });
  match([](const ControllerEntry& x, const ControllerEntry& y) { return x.Nset == y.Nset; });

  auto add = [&](const ControllerEntry* x, const ControllerEntry* y) {
    ConfigDifference d;
    d.Group = DiffGroup::Controllers;
    if (x) d.LeftController = DiffController{x->Nset, x->TaskFilePath()};
    if (y) d.RightController = DiffController{y->Nset, y->TaskFilePath()};
    d.Where = "контроллер " + NsetText((x ? x : y)->Nset);
    d.Left = DiffControllerText(d.LeftController);
    d.Right = DiffControllerText(d.RightController);
    out.push_back(std::move(d));
  };
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (pair[i] < 0) {
      add(&a[i], nullptr);
      continue;
    }
    const ControllerEntry& y = b[static_cast<std::size_t>(pair[i])];
    if (a[i].Nset != y.Nset || a[i].TaskFilePath() != y.TaskFilePath()) add(&a[i], &y);
  }
  for (std::size_t j = 0; j < b.size(); ++j)
    if (!taken[j]) add(nullptr, &b[j]);
}

}  // namespace

bool ComparesControllers(const Configuration& left, const Configuration& right) {
  return !left.State.FromModule && !right.State.FromModule;
}

std::string DiffGroupTitle(DiffGroup group, MapKind map) {
  switch (group) {
    case DiffGroup::Common:
      return "Общие настройки";
    case DiffGroup::Controllers:
      return "Контроллеры";
    case DiffGroup::Map:
      break;
  }
  return MapTitle(map);
}

std::string DiffEntryText(const std::optional<DiffEntry>& e) {
  if (!e) return kNoParamName;
  std::string text = "адрес " +
                     (e->ModbusAddr == 0xFFFF ? std::string("нет") : std::to_string(e->ModbusAddr)) +
                     ", модуль " + Hex2(e->ModuleNo) + ", параметр " + Hex4(e->ParamNo);
  if (!e->Name.empty()) text += ", " + e->Name;
  return text;
}

std::string DiffControllerText(const std::optional<DiffController>& c) {
  if (!c) return "нет";
  return NsetText(c->Nset) + "  " +
         (c->TaskFile.empty() ? std::string("Очередь задач не введена") : c->TaskFile);
}

std::vector<ConfigDifference> CompareConfigurations(const Configuration& left, const Configuration& right,
                                                    const CompareOptions& options) {
  std::vector<ConfigDifference> out;
  const auto leftTexts = CommonSettingsTexts(left.Common);
  const auto rightTexts = CommonSettingsTexts(right.Common);
  for (const CommonField& f : kCommonFields) {
    if (f.same(left.Common, right.Common)) continue;
    ConfigDifference d;
    d.Group = DiffGroup::Common;
    d.Field = f.key;
    d.Label = d.Where = leftTexts[f.text].first;
    d.Left = leftTexts[f.text].second;
    d.Right = rightTexts[f.text].second;
    out.push_back(std::move(d));
  }

  if (ComparesControllers(left, right)) CompareControllers(left, right, out);

  Names leftNames(left, right, options), rightNames(right, left, options);
  for (MapKind kind : kDiffMapOrder) {
    const RegisterMap& a = left.Map(kind);
    const RegisterMap& b = right.Map(kind);
    static const MapEntry kEmpty{};
    const std::size_t rows = std::max(a.size(), b.size());
    for (std::size_t i = 0; i < rows; ++i) {
      const MapEntry& x = i < a.size() ? a[i] : kEmpty;
      const MapEntry& y = i < b.size() ? b[i] : kEmpty;
      if (SameInModule(x, y)) continue;
      ConfigDifference d;
      d.Group = DiffGroup::Map;
      d.Map = kind;
      d.Row = static_cast<int>(i + 1);
      d.LeftEntry = Side(kind, x, leftNames);
      d.RightEntry = Side(kind, y, rightNames);
      d.Where = "строка " + std::to_string(d.Row);
      d.Left = DiffEntryText(d.LeftEntry);
      d.Right = DiffEntryText(d.RightEntry);
      out.push_back(std::move(d));
    }
  }
  return out;
}

bool TakeModuleConfiguration(Configuration& document, const Configuration& module,
                             const CompareOptions& options) {
  bool changed = false;
  CommonSettings common = module.Common;
  common.Invers = document.Common.Invers;  // kept in the document only
  common.SWAP = document.Common.SWAP;
  if (!(common == document.Common)) {
    document.Common = common;
    document.State.CommonChanged = changed = true;
  }

  Names names(module, document, options);
  for (MapKind kind : kDiffMapOrder) {
    RegisterMap& map = document.Map(kind);
    const RegisterMap& from = module.Map(kind);
    map.resize(static_cast<std::size_t>(MapCount(kind)));
    for (std::size_t i = 0; i < map.size(); ++i) {
      static const MapEntry kEmpty{};
      const MapEntry& m = i < from.size() ? from[i] : kEmpty;
      if (SameInModule(map[i], m)) continue;
      MapEntry e;  // empty, as a read leaves it
      e.ParamNo = m.ParamNo;
      e.ModbusAddr = m.ModbusAddr;
      e.ModuleNo = m.ModuleNo;
      if (!m.IsEmpty()) {
        const ParamNaming naming = names.Of(kind, m);
        e.ParamName = CutParamName(naming.Name);
        e.TaskNo = naming.TaskNo;
      }
      map[i] = std::move(e);
      document.MapChanged(kind) = changed = true;
    }
    // Controllers met in the module's maps and missing from the list join it without a task
    // file, as a read adds them.
    for (const MapEntry& e : map) {
      if (e.IsEmpty() || document.FindController(e.ModuleNo)) continue;
      ControllerEntry c;
      c.Nset = e.ModuleNo;
      c.Found = false;
      document.Controllers.push_back(std::move(c));
      document.State.ControllersChanged = changed = true;
    }
  }
  return changed;
}

}  // namespace r770
