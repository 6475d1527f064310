#include "database/param_tree.h"

#include "common/number_forms.h"
#include "database/task_cl.h"

namespace r770 {
namespace {

bool Offered(TreeKind kind, const ParamItem& item) {
  if (item.ArraySize != 0) return false;
  return kind == TreeKind::Bit ? item.ValueType == 0 : (item.ValueType & 0x87) == 0x04;
}

}  // namespace

ParamTree ParamTree::Build(TreeKind kind, const std::vector<TreeController>& controllers,
                           const TreeOptions& options) {
  ParamTree tree;
  tree.kind_ = kind;
  if (controllers.empty()) {
    tree.message_ = options.FromModule ? kNoSettingsInModuleMessage : kNoControllersMessage;
    return tree;
  }
  tree.built_ = true;
  auto& nodes = tree.nodes_;
  for (std::size_t c = 0; c < controllers.size(); ++c) {
    const TreeController& ctl = controllers[c];
    const int cpos = static_cast<int>(c);
    const int root = static_cast<int>(nodes.size());
    tree.roots_.push_back(root);
    tree.nsets_.push_back(ctl.Nset);
    TreeNode rootNode;
    rootNode.Level = 0;
    rootNode.Id = "c" + std::to_string(c);
    rootNode.ControllerPos = cpos;
    const bool withTasks = ctl.Task && (!options.FromModule || ctl.Found);
    tree.withoutTasks_.push_back(!withTasks);
    rootNode.Label =
        withTasks ? ctl.Task->TaskFileName() : kModuleNodeLabel + Hex2(static_cast<std::uint32_t>(ctl.Nset));
    nodes.push_back(std::move(rootNode));
    if (!withTasks) continue;

    const Task_CL& task = *ctl.Task;
    for (std::size_t t = 0; t < task.Tasks().size(); ++t) {
      const TaskEntry& entry = task.Tasks()[t];
      if (kind == TreeKind::Bit && task.IsPackedAlgorithm(entry.AlgorithmNo)) continue;
      std::vector<ParamItem> items = task.ListItems(entry.AlgorithmNo, static_cast<int>(t));
      std::erase_if(items, [kind](const ParamItem& i) { return !Offered(kind, i); });
      if (items.empty()) continue;

      const int taskIndex = static_cast<int>(nodes.size());
      TreeNode taskNode;
      taskNode.Level = 1;
      taskNode.Id = nodes[root].Id + "/t" + std::to_string(t);
      const std::string& shortName = entry.ShortName.empty() ? entry.FullName : entry.ShortName;
      taskNode.Label = options.ShortTaskNames ? shortName : entry.FullName;
      taskNode.Parent = root;
      taskNode.ControllerPos = cpos;
      taskNode.TaskPos = static_cast<int>(t);
      taskNode.TaskNo = entry.TaskNo;
      nodes.push_back(std::move(taskNode));
      nodes[root].Children.push_back(taskIndex);

      for (const ParamItem& item : items) {
        const ItemText text = task.ItemTexts(item);
        const int index = static_cast<int>(nodes.size());
        TreeNode node;
        node.Level = 2;
        node.Id = nodes[taskIndex].Id + "/p" + std::to_string(item.ParamPos);
        node.Label = text.ShortName + " (№ " + Hex4(text.ParamNo) + ")";
        node.Parent = taskIndex;
        node.ControllerPos = cpos;
        node.TaskPos = static_cast<int>(t);
        node.TaskNo = entry.TaskNo;
        node.ParamPos = item.ParamPos;
        node.ParamNo = task.ItemParam(item.ParamPos);
        nodes.push_back(std::move(node));
        nodes[taskIndex].Children.push_back(index);
      }
    }
  }
  return tree;
}

int ParamTree::FindId(const std::string& id) const {
  for (std::size_t i = 0; i < nodes_.size(); ++i)
    if (nodes_[i].Id == id) return static_cast<int>(i);
  return -1;
}

TreeSelection ParamTree::Find(std::int32_t moduleNo, std::int16_t taskNo, std::uint16_t paramNo,
                              std::int32_t expandNset) const {
  TreeSelection sel;
  if (!built_) return sel;
  const int first = nodes_.empty() ? -1 : 0;
  for (std::size_t c = 0; c < roots_.size(); ++c)
    if (nsets_[c] == expandNset) sel.Expanded.push_back(roots_[c]);
  if (moduleNo == 255) {
    sel.Selected = first;
    return sel;
  }
  for (std::size_t c = 0; c < roots_.size(); ++c) {
    if (nsets_[c] != moduleNo) continue;
    const TreeNode& root = nodes_[roots_[c]];
    if (withoutTasks_[c]) {
      sel.Selected = roots_[c];
      return sel;
    }
    sel.Selected = first;
    for (int t : root.Children) {
      if (nodes_[t].TaskNo != taskNo) continue;
      for (int p : nodes_[t].Children) {
        if (nodes_[p].ParamNo == paramNo) {
          sel.Selected = p;
          break;
        }
      }
      break;
    }
    return sel;
  }
  return sel;
}

}  // namespace r770
