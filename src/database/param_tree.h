// The parameter trees of the register map editors: controllers, their tasks, and the
// parameters a map entry may take. Plain data; a tree widget only renders it.
//
//   level 0  one node per controller, in controller list order
//   level 1  one node per task that has at least one offered parameter
//   level 2  one node per offered parameter
//
// The bit tree (Coils, Discrete Inputs) offers scalar parameters of value type 0 of tasks
// whose algorithm is not packed; the register tree (Holding and Input Registers) offers
// scalar parameters whose value type AND 0x87 is 0x04.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace r770 {

class Task_CL;

enum class TreeKind { Bit, Register };

// What the trees need of one controller of the controller list.
struct TreeController {
  const Task_CL* Task = nullptr;  // none for a controller read from the module
  std::int32_t Nset = 0;
  bool Found = false;
};

struct TreeOptions {
  bool FromModule = false;      // the configuration was read from the module
  bool ShortTaskNames = false;  // task name style "короткое"
};

inline constexpr const char* kNoSettingsInModuleMessage = "В приборе отсутствуют настройки.";
inline constexpr const char* kNoControllersMessage = "Нет списка контроллеров!";
// Label of a controller shown without its tasks: this text + network number as 2 hex digits.
inline constexpr const char* kModuleNodeLabel = "Модуль - сетевой номер ";

struct TreeNode {
  int Level = 0;
  // Stable path of the node: "c<controller position>", "c<c>/t<task position>",
  // "c<c>/t<t>/p<parameter position>" (positions within the controller list, the task
  // object's task list and its parameter list).
  std::string Id;
  std::string Label;
  int Parent = -1;            // index of the parent node, -1 for a controller
  std::vector<int> Children;  // indexes of the child nodes, in display order
  int ControllerPos = -1;     // every level
  int TaskPos = -1;           // levels 1 and 2
  std::int16_t TaskNo = 0;    // levels 1 and 2
  int ParamPos = -1;          // level 2
  std::uint16_t ParamNo = 0;  // level 2 (what ItemParam gives)
};

// What to show for a map entry: the node to select (-1: nothing) and the controller nodes
// to expand.
struct TreeSelection {
  int Selected = -1;
  std::vector<int> Expanded;
};

class ParamTree {
 public:
  // With an empty controller list no tree is built and Message() says why.
  static ParamTree Build(TreeKind kind, const std::vector<TreeController>& controllers,
                         const TreeOptions& options);

  TreeKind Kind() const { return kind_; }
  bool Built() const { return built_; }
  const std::string& Message() const { return message_; }

  // Every node in display order (a node is followed by its subtree).
  const std::vector<TreeNode>& Nodes() const { return nodes_; }
  const TreeNode& Node(int index) const { return nodes_[static_cast<std::size_t>(index)]; }
  // Controller nodes, one per controller in list order.
  const std::vector<int>& Roots() const { return roots_; }
  // Index of the node with that Id, -1 when none.
  int FindId(const std::string& id) const;

  // The node of a map entry: an empty entry (network number 255) selects the first node;
  // else the first controller with that network number: its parameter node with the task
  // and parameter numbers, its own node when it is shown without tasks, the first node of
  // the tree when nothing under it matches; nothing when no controller has that number.
  // Controllers whose network number equals expandNset are expanded (255 expands none).
  TreeSelection Find(std::int32_t moduleNo, std::int16_t taskNo, std::uint16_t paramNo,
                     std::int32_t expandNset = 255) const;

 private:
  TreeKind kind_ = TreeKind::Bit;
  bool built_ = false;
  std::string message_;
  std::vector<TreeNode> nodes_;
  std::vector<int> roots_;
  std::vector<std::int32_t> nsets_;  // per controller
  std::vector<bool> withoutTasks_;   // per controller: shown as a module node
};

}  // namespace r770
