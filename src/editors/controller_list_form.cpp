#include "editors/controller_list_form.h"

#include <sys/stat.h>

#include <algorithm>

#include "common/codec.h"
#include "common/dialogs.h"
#include "common/key_filter.h"
#include "common/number_forms.h"
#include "database/task_cl.h"
#include "document/document_file.h"
#include "document/program_settings.h"

namespace r770 {
namespace {

bool IsRegularFile(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Maps are checked against an attached task file in this order.
constexpr MapKind kCheckOrder[] = {MapKind::TC, MapKind::TU, MapKind::TIFloat, MapKind::InputReg};

bool BelongsTo(const MapEntry& e, std::int32_t nset) { return EntryBelongsTo(e, nset); }

}  // namespace

ControllerListForm::ControllerListForm(Configuration& cfg, const ProgramSettings& settings, Dialogs& dialogs,
                                       BusyIndicator& busy)
    : cfg_(cfg), settings_(settings), dialogs_(dialogs), busy_(busy) {}

ControllerListForm::~ControllerListForm() = default;

std::string ControllerListForm::NumberCell(int row) const {
  if (row < 0 || row >= ControllerCount()) return {};
  return std::to_string(row + 1);
}

std::string ControllerListForm::PathCell(int row) const {
  if (row < 0 || row >= ControllerCount()) return {};
  const ControllerEntry& c = cfg_.Controllers[static_cast<std::size_t>(row)];
  if (c.Task) return c.Task->TaskFilePath();
  // A marked row is one whose task file was not found: it shows the path it was looked for at.
  if (Marked(row) && !c.StoredPath.empty()) return c.StoredPath;
  return kNoQueue;
}

std::string ControllerListForm::NsetCell(int row) const {
  if (row == editRow_) return editText_;
  if (row < 0 || row >= ControllerCount()) return {};
  return Hex(static_cast<std::uint32_t>(cfg_.Controllers[static_cast<std::size_t>(row)].Nset), 2);
}

std::string ControllerListForm::Cell(int row, int column) const {
  switch (column) {
    case kColNumber:
      return NumberCell(row);
    case kColPath:
      return PathCell(row);
    case kColNset:
      return NsetCell(row);
    default:
      return {};
  }
}

bool ControllerListForm::Marked(int row) const {
  return row >= 0 && row < static_cast<int>(marks_.size()) && marks_[static_cast<std::size_t>(row)];
}

bool ControllerListForm::DatabaseFoldersSet() const {
  return !settings_.WorkAlg.empty() && !settings_.WorkMod.empty() && !settings_.WorkTask.empty();
}

void ControllerListForm::Open() {
  changed_ = applied_ = removed_ = queueEntered_ = false;
  entered_.clear();
  message_.clear();
  labelVisible_ = false;
  addEnabled_ = true;
  editRow_ = -1;
  editText_.clear();

  snapshot_.clear();
  for (const ControllerEntry& c : cfg_.Controllers)
    snapshot_.push_back({c.TaskFilePath(), c.Task != nullptr, c.Nset, c.Found});
  deletedAtOpen_ = cfg_.DeletedNsets;
  controllersChangedAtOpen_ = cfg_.State.ControllersChanged;

  const bool fromModule = cfg_.State.FromModule;
  marks_.assign(cfg_.Controllers.size(), false);
  for (std::size_t i = 0; i < cfg_.Controllers.size(); ++i) {
    const bool found = cfg_.Controllers[i].Found;
    if (fromModule) {
      if (!found) addEnabled_ = false;
    } else {
      marks_[i] = !found;
    }
  }
  currentRow_ = 0;
  auto marked = std::find(marks_.begin(), marks_.end(), true);
  if (marked != marks_.end()) currentRow_ = static_cast<int>(marked - marks_.begin());
  RefreshLabel();
}

bool ControllerListForm::SetCurrentRow(int row) {
  if (row < 0 || row >= RowCount()) return false;
  if (row == currentRow_) return true;
  if (!FinishEdit()) return false;
  currentRow_ = row;
  return true;
}

bool ControllerListForm::Key(char32_t key) {
  const int row = currentRow_;
  if (!NsetEditable(row)) return false;
  std::string text = row == editRow_ ? editText_ : NsetCell(row);
  if (key == kDeleteKey) {
    text.clear();
  } else if (key == kBackspace) {
    DropLastChar(text);
  } else {
    const auto passed = FilterHexKey(key, HexKeyVariant::Dot);
    if (!passed || *passed == kBackspace || text.size() >= kMaxNsetChars) return false;
    text.push_back(static_cast<char>(*passed));
  }
  editRow_ = row;
  editText_ = std::move(text);
  return true;
}

bool ControllerListForm::FinishEdit() {
  if (editRow_ < 0) return true;
  if (editRow_ >= ControllerCount()) {
    editRow_ = -1;
    return true;
  }
  if (editText_.empty()) {
    dialogs_.Information(kEnterValueMessage);
    currentRow_ = editRow_;
    return false;
  }
  const auto value = ParseHex(editText_);
  if (!value) {
    dialogs_.Information(kNotHexMessage);
    currentRow_ = editRow_;
    return false;
  }
  cfg_.Controllers[static_cast<std::size_t>(editRow_)].Nset = static_cast<std::int32_t>(*value);
  changed_ = true;
  editRow_ = -1;
  editText_.clear();
  return true;
}

std::unique_ptr<Task_CL> ControllerListForm::LoadChosenTaskFile() {
  // The choice opens in the database's folder of task queue templates.
  const auto chosen = dialogs_.OpenFile(ParseFilterText(kTaskFilter), kTaskFilterPreselected,
                                        ExistingFolderOf(settings_.WorkTask));
  return LoadTaskFile(chosen.value_or(std::string()));
}

std::unique_ptr<Task_CL> ControllerListForm::LoadTaskFile(std::string path) {
  if (path.empty()) {
    message_ = kNoPathMessage;
    return nullptr;
  }
  std::erase(path, '"');
  // The document holds code page 1251: a path it cannot hold would come back with "?" in
  // place of its characters, and the controller would be lost on the next load.
  if (std::string refusal = Cp1251Refusal("Путь " + path, path); !refusal.empty()) {
    message_ = std::move(refusal);
    return nullptr;
  }
  if (!IsRegularFile(path)) {
    message_ = "Файл " + path + " не существует";
    return nullptr;
  }
  auto task = std::make_unique<Task_CL>(path, settings_.WorkTask, settings_.WorkMod, settings_.WorkAlg);
  if (!task->Errors().empty()) {
    dialogs_.Information(path + "\n" + task->Errors().front());
    return nullptr;
  }
  return task;
}

void ControllerListForm::AddController() {
  if (!addEnabled_ || !FinishEdit()) return;
  if (!DatabaseFoldersSet()) {
    message_ = kNoDatabaseMessage;
    return;
  }
  // Several task files may be chosen at once: each is added as a single one would be, and
  // the message line tells of the last one refused.
  std::vector<std::string> paths = dialogs_.OpenFiles(ParseFilterText(kTaskFilter), kTaskFilterPreselected,
                                                      ExistingFolderOf(settings_.WorkTask));
  if (paths.empty()) paths.emplace_back();
  std::string refused;
  for (std::string& path : paths) {
    message_.clear();
    auto task = LoadTaskFile(std::move(path));
    if (!task) {
      if (!message_.empty()) refused = message_;
      continue;
    }
    // A controller listed already, or a task file of another network number: asked first.
    const std::string question = ListedAgainQuestion(*task, -1, task->NetworkNumber());
    if (!question.empty() && !dialogs_.Confirm(question)) continue;
    ControllerEntry entry;
    entry.Nset = task->NetworkNumber();
    entry.Found = true;
    entry.Task = std::move(task);
    cfg_.Controllers.push_back(std::move(entry));
    marks_.push_back(false);
    changed_ = true;
  }
  message_ = refused;
}

void ControllerListForm::EnterQueue() {
  if (!FinishEdit()) return;
  if (!DatabaseFoldersSet()) {
    message_ = kNoDatabaseMessage;
    return;
  }
  const int row = currentRow_;
  if (row < 0 || row >= ControllerCount()) {
    dialogs_.Information(kNoControllerMessage);
    return;
  }
  auto task = LoadChosenTaskFile();
  if (!task) return;
  const std::string question =
      ListedAgainQuestion(*task, row, cfg_.Controllers[static_cast<std::size_t>(row)].Nset);
  if (!question.empty() && !dialogs_.Confirm(question)) return;

  ControllerEntry& c = cfg_.Controllers[static_cast<std::size_t>(row)];
  const bool hadTask = c.Task != nullptr;
  c.Task = std::move(task);  // an old task object is released here
  c.Found = true;
  marks_[static_cast<std::size_t>(row)] = false;
  if (!hadTask) entered_.push_back(row);
  changed_ = true;

  if (CheckMaps(*c.Task, c.Nset)) {
    queueEntered_ = true;
  } else {
    dialogs_.Information(kWrongQueueMessage);
    c.Task.reset();
    c.Found = false;
  }
  RefreshLabel();
  RefreshAddEnabled();
}

std::string ControllerListForm::ListedAgainQuestion(const Task_CL& task, int row, std::int32_t nset) const {
  const std::string number = Hex2(static_cast<std::uint32_t>(nset) & 0xFF);
  const std::string path = task.TaskFilePath();
  for (int i = 0; i < ControllerCount(); ++i) {
    if (i == row) continue;
    const ControllerEntry& other = cfg_.Controllers[static_cast<std::size_t>(i)];
    const std::string otherNumber = Hex2(static_cast<std::uint32_t>(other.Nset) & 0xFF);
    if (other.Task && other.Task->TaskFilePath() == path)
      return "Очередь задач " + path + " уже введена для контроллера " + otherNumber + " (строка " +
             std::to_string(i + 1) + "): контроллер окажется в списке дважды. Продолжить?";
    if (row < 0 && otherNumber == number)
      return "Контроллер " + number + " уже есть в списке (строка " + std::to_string(i + 1) +
             "): он окажется в списке дважды. Продолжить?";
  }
  // Map entries name the controller by number; their names would come from another one.
  const std::string described = Hex2(task.NetworkNumber() & 0xFFu);
  if (row >= 0 && described != number)
    return "Очередь задач " + path + " описывает контроллер " + described + ", а не " + number +
           ": имена параметров контроллера " + number + " будут взяты из нее. Продолжить?";
  return {};
}

bool ControllerListForm::CheckMaps(const Task_CL& task, std::int32_t nset) {
  for (MapKind kind : kCheckOrder) {
    RegisterMap& map = cfg_.Map(kind);
    for (const MapEntry& e : map)
      if (BelongsTo(e, nset) && e.ParamNo != 0xFFFF && task.FindParam(e.ParamNo) < 0) return false;
    for (MapEntry& e : map) {
      if (!BelongsTo(e, nset) || e.ParamNo == 0xFFFF) continue;
      const int taskPos = task.TaskIndexOfParam(e.ParamNo);
      e.TaskNo = static_cast<std::uint16_t>(task.TaskNoAt(taskPos));
      std::string taskName;
      if (taskPos >= 0 && taskPos < static_cast<int>(task.Tasks().size()))
        taskName = task.Tasks()[static_cast<std::size_t>(taskPos)].FullName;
      e.ParamName = CutParamName(task.TaskFileName() + "/" + taskName + "/" + task.ParamText(e.ParamNo));
    }
  }
  return true;
}

void ControllerListForm::RemoveController() {
  const int row = currentRow_;
  const std::string path = PathCell(row);
  if (path.empty()) return;
  if (!dialogs_.Confirm(std::string("Удалить \"") + path + "\"" + kRemoveWarning)) return;
  // Text being typed into the removed row goes with it.
  if (editRow_ == row) {
    editRow_ = -1;
    editText_.clear();
  }
  const std::int32_t nset = cfg_.Controllers[static_cast<std::size_t>(row)].Nset;
  cfg_.Controllers.erase(cfg_.Controllers.begin() + row);  // releases its task object
  marks_.erase(marks_.begin() + row);
  // Later controllers move up; so do their places in the entered list.
  std::erase(entered_, row);
  for (int& p : entered_)
    if (p > row) --p;
  if (editRow_ > row) --editRow_;
  RefreshAddEnabled();
  changed_ = removed_ = true;
  cfg_.DeletedNsets.push_back(nset);
  RefreshLabel();
  message_.clear();
}

bool ControllerListForm::Apply() {
  if (!FinishEdit()) return false;
  applied_ = true;
  if (changed_) cfg_.State.ControllersChanged = true;
  return true;
}

bool ControllerListForm::CloseRequested() {
  if (applied_ || (!changed_ && !Editing())) return true;
  switch (dialogs_.Ask(kApplyQuestion)) {
    case Dialogs::Answer::Yes:
      return Apply();
    case Dialogs::Answer::No:
      return true;
    case Dialogs::Answer::Cancel:
      break;
  }
  return false;
}

void ControllerListForm::Closed() {
  editRow_ = -1;
  editText_.clear();
  if (changed_) {
    DocumentState& st = cfg_.State;
    if (applied_) {
      // During a load the maps are read after the editor closed; the load empties them.
      if (removed_ && !cfg_.MapsPending) cfg_.EmptyEntriesOfDeleted();
      if (removed_ || queueEntered_)
        st.TCChanged = st.TUChanged = st.TIFloatChanged = st.InputRegChanged = true;
    } else if (!st.FromModule) {
      busy_.SetBusy(true);
      // The document file holds the list as it was on opening unless changes applied
      // earlier have not been saved yet (or there is no file): then the list is rebuilt
      // from what it was on opening, so those changes are not lost.
      // A file that has gone or cannot be read gives the list back as it was too.
      DialogsDocumentView view(dialogs_);  // the editor is closing: no other input runs
      // A new document ("Новый" keeps the name of the file loaded before) has no file of its own.
      if (st.FileName.empty() || st.IsNew || controllersChangedAtOpen_ ||
          !LoadControllers(cfg_, settings_, st.FileName, view))
        RestoreSnapshot();
      busy_.SetBusy(false);
      changed_ = false;
    } else if (queueEntered_) {
      for (int pos : entered_) {
        if (pos < 0 || pos >= ControllerCount()) continue;
        ControllerEntry& c = cfg_.Controllers[static_cast<std::size_t>(pos)];
        if (!c.Task) continue;
        c.Task.reset();
        c.Found = false;
      }
    }
  }
  entered_.clear();
}

void ControllerListForm::RestoreSnapshot() {
  cfg_.Controllers.clear();
  for (const Snapshot& s : snapshot_) {
    ControllerEntry e;
    e.StoredPath = s.path;
    e.Nset = s.nset;
    e.Found = s.found;
    if (s.hadTask) {
      auto task = std::make_unique<Task_CL>(s.path, settings_.WorkTask, settings_.WorkMod, settings_.WorkAlg);
      if (task->Errors().empty()) {
        e.Task = std::move(task);
      } else {
        dialogs_.Information(s.path + "\n" + task->Errors().front());
        e.Found = false;
      }
    }
    cfg_.Controllers.push_back(std::move(e));
  }
  cfg_.DeletedNsets = deletedAtOpen_;
  cfg_.State.ControllersChanged = controllersChangedAtOpen_;
}

void ControllerListForm::RefreshLabel() {
  labelVisible_ = std::find(marks_.begin(), marks_.end(), true) != marks_.end();
}

void ControllerListForm::RefreshAddEnabled() {
  const bool all = std::all_of(cfg_.Controllers.begin(), cfg_.Controllers.end(),
                               [](const ControllerEntry& c) { return c.Task != nullptr; });
  if (all) addEnabled_ = true;
}

}  // namespace r770
