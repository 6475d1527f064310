// ControllerListForm: the logic of TFTask, the controller list editor. Each controller is
// given by its task file from the controller database; the editor loads it into a Task_CL,
// takes the network number from its header and keeps the configuration's controller list.
// It attaches task files to controllers read from the module (checking the register maps
// against the new task object and renaming their entries), removes controllers (their
// network numbers go to DeletedNsets, whose map entries "Применить" empties) and edits the
// network numbers.
//
// The editor works on the live controller list: additions, removals, network numbers and
// renamed map entries take effect at once. "Применить" decides whether the removals reach
// the maps and whether the change flags are set; closing without it undoes changes only as
// Closed() describes.
//
// Table: row i (from 0) is controller i; after the last controller there is one blank row
// through which controllers are added. Only the network number cells can be current.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "document/configuration.h"

namespace r770 {

class BusyIndicator;
class Dialogs;
class Task_CL;
struct ProgramSettings;

class ControllerListForm {
 public:
  static constexpr const char* kCaption = "Определение списка контроллеров";
  static constexpr const char* kTitle = "Список  контроллеров";
  static constexpr const char* kNumberTitle = "№";
  static constexpr const char* kPathTitle = "Очередь задач";
  static constexpr const char* kNsetTitle = "Сетевой номер";
  static constexpr const char* kNoQueue = "Очередь задач не введена";
  static constexpr const char* kNotFoundLabel = "Путь к очереди задач не найден";
  static constexpr const char* kAddCommand = "Добавить контроллер";
  static constexpr const char* kRemoveCommand = "Удалить контроллер";
  static constexpr const char* kEnterCommand = "Ввести очередь задач";
  static constexpr const char* kApplyButton = "Применить";
  static constexpr const char* kApplyQuestion = "Применить изменения?";
  static constexpr const char* kTaskFilter = "All files(*.*)|*.*|Tsk(*.tsk)|*.tsk";
  static constexpr int kTaskFilterPreselected = 1;
  static constexpr const char* kNoDatabaseMessage = "Не указан путь к базе данных!";
  static constexpr const char* kNoPathMessage = "Не указана очередь задач";
  static constexpr const char* kNoControllerMessage = "Контроллер не задан!";
  static constexpr const char* kWrongQueueMessage =
      "Неверно введена очередь задач! Заданные параметры не найдены";
  static constexpr const char* kEnterValueMessage = "Введите значение!";
  static constexpr const char* kNotHexMessage =
      "Сетевой номер вводится шестнадцатеричными цифрами 0-9, A-F без пробелов и точек!";
  static constexpr const char* kRemoveWarning =
      "? ВНИМАНИЕ! ВСЕ ПАРАМЕТРЫ, ОТНОСЯЩИЕСЯ К ЭТОМУ МОДУЛЮ, БУДУТ УДАЛЕНЫ!";
  static constexpr int kColNumber = 0;
  static constexpr int kColPath = 1;
  static constexpr int kColNset = 2;
  static constexpr int kMaxNsetChars = 2;
  // The delete key (empties the network number cell).
  static constexpr char32_t kDeleteKey = 0x7F;

  ControllerListForm(Configuration& cfg, const ProgramSettings& settings, Dialogs& dialogs,
                     BusyIndicator& busy);
  ~ControllerListForm();
  ControllerListForm(const ControllerListForm&) = delete;
  ControllerListForm& operator=(const ControllerListForm&) = delete;

  // --- what the window shows
  int RowCount() const { return ControllerCount() + 1; }
  bool IsBlankRow(int row) const { return row == ControllerCount(); }
  std::string NumberCell(int row) const;
  std::string PathCell(int row) const;
  std::string NsetCell(int row) const;
  std::string Cell(int row, int column) const;
  // The row number cell has the label's lime colour: the task file is missing.
  bool Marked(int row) const;
  bool NsetEditable(int row) const { return row >= 0 && row < ControllerCount(); }
  // The message line; hidden when empty.
  const std::string& Message() const { return message_; }
  bool LabelVisible() const { return labelVisible_; }
  bool AddEnabled() const { return addEnabled_; }
  int CurrentRow() const { return currentRow_; }
  bool Editing() const { return editRow_ >= 0; }
  bool Changed() const { return changed_; }
  bool Applied() const { return applied_; }
  bool Removed() const { return removed_; }
  bool QueueEntered() const { return queueEntered_; }
  // Positions of the controllers that received their first task file since opening.
  const std::vector<int>& EnteredList() const { return entered_; }

  // --- events
  void Open();
  // The cursor moves to a row's network number cell. False when the cell being edited
  // cannot be left: the cursor stays.
  bool SetCurrentRow(int row);
  // A key typed into the current network number cell: a character, kBackspace or
  // kDeleteKey. True when the cell changed.
  bool Key(char32_t key);
  // Checks the network number cell being edited as when it is left. False when it refuses.
  bool FinishEdit();
  void AddController();
  void EnterQueue();
  void RemoveController();
  // "Применить": true when the editor closes.
  bool Apply();
  // The window is closed otherwise than by "Применить" (its close button, Esc): true when it
  // may close. With changes not applied it asks kApplyQuestion: Да applies them (the editor
  // stays open when the network number being edited is refused), Нет closes as before (see
  // Closed()), Отмена keeps the editor open.
  bool CloseRequested();
  // The editor closes (after "Применить" or by other means).
  void Closed();

 private:
  struct Snapshot {
    std::string path;
    bool hadTask = false;
    std::int32_t nset = 0;
    bool found = false;
  };

  int ControllerCount() const { return static_cast<int>(cfg_.Controllers.size()); }
  bool DatabaseFoldersSet() const;
  // Loads a task file chosen by the user; nullptr (with its message) on failure.
  std::unique_ptr<Task_CL> LoadChosenTaskFile();
  std::unique_ptr<Task_CL> LoadTaskFile(std::string path);
  // Checks the maps against a task object attached to a controller, renaming the entries
  // of every map that passes; false at the first map that fails.
  bool CheckMaps(const Task_CL& task, std::int32_t nset);
  // The question asked before a task file goes to the controller of `row` (-1: a new
  // controller with number nset) when it would list a controller twice or describes another
  // controller; empty when there is nothing to ask.
  std::string ListedAgainQuestion(const Task_CL& task, int row, std::int32_t nset) const;
  void RefreshLabel();
  void RefreshAddEnabled();
  void RestoreSnapshot();

  Configuration& cfg_;
  const ProgramSettings& settings_;
  Dialogs& dialogs_;
  BusyIndicator& busy_;

  std::vector<bool> marks_;
  std::string message_;
  bool labelVisible_ = false;
  bool addEnabled_ = true;
  int currentRow_ = 0;
  int editRow_ = -1;
  std::string editText_;
  bool changed_ = false;
  bool applied_ = false;
  bool removed_ = false;
  bool queueEntered_ = false;
  std::vector<int> entered_;

  // The list as it was when the editor opened.
  std::vector<Snapshot> snapshot_;
  std::vector<std::int32_t> deletedAtOpen_;
  bool controllersChangedAtOpen_ = false;
};

}  // namespace r770
