#include "document/main_window_form.h"

#include <sys/stat.h>
#include <unistd.h>

#include "common/dialogs.h"
#include "common/file_io.h"
#include "document/recent_documents.h"

namespace r770 {
namespace {

bool IsFolder(const std::string& path) {
  struct stat st {};
  return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool PathExists(const std::string& path) {
  struct stat st {};
  return !path.empty() && stat(path.c_str(), &st) == 0;
}

std::string ReplaceQuestion(const std::string& path) { return "Файл " + path + " уже существует.Заменить?"; }

// Restores the "a procedure is running" mark however the procedure ends.
class RunningMark {
 public:
  explicit RunningMark(bool& mark) : mark_(mark) { mark_ = true; }
  ~RunningMark() { mark_ = false; }
  RunningMark(const RunningMark&) = delete;
  RunningMark& operator=(const RunningMark&) = delete;

 private:
  bool& mark_;
};

}  // namespace

const std::vector<MainMenuDef>& MainMenuLayout() {
  static const std::vector<MainMenuDef> layout{
      {MainMenu::File,
       "Файл",
       MainCommand::None,
       {{MainCommand::New, "Новый", "Ctrl+N"},
        {MainCommand::Load, "Загрузить", "Ctrl+O"},
        {MainCommand::Save, "Сохранить", "Ctrl+S"},
        {MainCommand::SaveAs, "Сохранить как ...", "Ctrl+Shift+S"},
        {MainCommand::CompareFile, "Сравнить с файлом…"},
        {MainCommand::ExportMap, "Экспорт карты для ведущего…"},
        {MainCommand::RecentList, kRecentMenuTitle},
        {MainCommand::None, ""},
        {MainCommand::Exit, "Выход", "Ctrl+Q"}}},
      {MainMenu::Options,
       "Общие настройки",
       MainCommand::None,
       {{MainCommand::DatabasePath, "Путь к БД"},
        {MainCommand::AdditionalSettings, "Дополнительные настройки"}}},
      {MainMenu::ModbusTcp,
       "Настройки Modbus/TCP",
       MainCommand::None,
       {{MainCommand::CommonSettings, "Общие настройки"},
        {MainCommand::ControllerList, "Список контроллеров"},
        {MainCommand::Coils, "Coils"},
        {MainCommand::DiscreteInputs, "Discrete Inputs"},
        {MainCommand::HoldingRegisters, "Holding Registers"},
        {MainCommand::InputRegisters, "Input Registers"}}},
      {MainMenu::ExchangeSettings, "Настройка обмена", MainCommand::ExchangeSettings, {}},
      {MainMenu::Exchange, "Обмен с  R-770 TCP/Modbus", MainCommand::Exchange, {}},
      {MainMenu::ModbusTest,
       "Тест связи по Modbus",
       MainCommand::None,
       {{MainCommand::ModbusTestSettings, "Настройка обмена"},
        {MainCommand::ModbusTestRead, "Чтение по Modbus"},
        {MainCommand::ModbusMonitor, "Монитор карты"}}},
      {MainMenu::Help,
       "Справка",
       MainCommand::None,
       {{MainCommand::Guide, "Руководство пользователя", "F1"}}},
  };
  return layout;
}

std::vector<std::string> UserGuideCandidates(const std::string& programFolder) {
  const std::string name = std::string("/") + kGuideFile;
  return {programFolder + name,
          programFolder + "/docs" + name,
          programFolder + "/../docs" + name,
          programFolder + "/../../docs" + name,
          programFolder + "/../share/doc/r770cfg" + name,
          std::string("/usr/share/doc/r770cfg") + name};
}

std::string FindUserGuide(const std::string& programFolder) {
  for (const std::string& path : UserGuideCandidates(programFolder)) {
    struct stat st {};
    if (stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) return path;
  }
  return {};
}

bool IsDocumentPath(const std::string& path) {
  if (path.size() < 4) return false;
  std::string ext = path.substr(path.size() - 4);
  for (char& c : ext) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return ext == ".bmt";
}

std::string StartDocumentArgument(const std::vector<std::string>& args) {
  for (std::size_t i = 1; i < args.size(); ++i)
    if (!args[i].empty() && args[i][0] != '-') return args[i];
  return {};
}

MainWindowForm::MainWindowForm(Dialogs& dialogs, BusyIndicator& busy, std::string settingsPath)
    : dialogs_(dialogs), busy_(busy), settingsPath_(std::move(settingsPath)) {
  cfg_.State = DocumentState{};
  menuVisible_.fill(true);
  itemVisible_.fill(true);
  itemEnabled_.fill(true);
}

std::string MainWindowForm::Caption() const {
  if (caption_.empty()) return caption_;  // not shown yet
  const DocumentState& s = cfg_.State;
  std::string name;
  if (s.IsNew) {
    name = kNewDocumentTitle;
  } else if (s.FromFile && !s.FileName.empty()) {
    const auto slash = s.FileName.find_last_of('/');
    name = slash == std::string::npos ? s.FileName : s.FileName.substr(slash + 1);
  } else if (s.FromModule) {
    name = kReadDocumentTitle;
  } else {
    return caption_;  // no document
  }
  return std::string(kProgramName) + " — " + name + (cfg_.AnyChanged() ? " *" : "");
}

void MainWindowForm::Render() {
  if (view_) view_->Render();
}

void MainWindowForm::FirstShown() {
  progressVisible_ = false;
  progressCaption_.clear();
  menuVisible_[Index(MainMenu::ModbusTcp)] = false;
  itemVisible_[Index(MainCommand::Save)] = false;
  itemVisible_[Index(MainCommand::SaveAs)] = false;
  itemVisible_[Index(MainCommand::CompareFile)] = false;
  itemEnabled_[Index(MainCommand::ModbusMonitor)] = false;  // until a document exists
  itemEnabled_[Index(MainCommand::ExportMap)] = false;
  caption_ = kMainCaption;
  Render();

  std::string error = ReadProgramSettings(settingsPath_, settings_);
  if (!error.empty()) dialogs_.Information(error);
  recent_ = ReadRecentDocuments(settingsPath_);

  if (!CheckDatabaseFolders()) {
    Render();
    if (view_) view_->OpenWindow(MainCommand::DatabasePath);
    CheckDatabaseFolders();
  }
  Render();
  if (!startDocument_.empty()) {
    const std::string path = std::move(startDocument_);
    startDocument_.clear();
    OpenDocumentPath(path);
  }
}

std::string MainWindowForm::MissingDatabaseFolder() const {
  for (const std::string* folder : {&settings_.WorkAlg, &settings_.WorkMod, &settings_.WorkTask})
    if (!IsFolder(*folder)) return folder->empty() ? std::string("\"\"") : *folder;
  return {};
}

bool MainWindowForm::DatabaseFoldersStillThere() {
  // The folders may have gone since they were last checked; the database reader needs them.
  std::string missing = MissingDatabaseFolder();
  if (missing.empty()) return true;
  CheckDatabaseFolders();
  dialogs_.Information("Каталог " + missing +
                       " не существует.\nУкажите путь к базе данных ЛОРИС-8 (\"Общие настройки\" - "
                       "\"Путь к БД\").");
  return false;
}

bool MainWindowForm::CheckDatabaseFolders() {
  bool ok = MissingDatabaseFolder().empty();
  itemEnabled_[Index(MainCommand::New)] = ok;
  itemEnabled_[Index(MainCommand::Load)] = ok;
  Render();
  return ok;
}

void MainWindowForm::UpdateDocumentMenus(bool newDocument) {
  for (MainCommand c : {MainCommand::CommonSettings, MainCommand::ControllerList, MainCommand::Coils,
                        MainCommand::DiscreteInputs, MainCommand::HoldingRegisters})
    itemVisible_[Index(c)] = true;
  bool visible = newDocument || cfg_.HasControllers() || cfg_.State.FromModule;
  menuVisible_[Index(MainMenu::ModbusTcp)] = visible;
  itemVisible_[Index(MainCommand::Save)] = visible;
  itemVisible_[Index(MainCommand::SaveAs)] = visible;
  itemVisible_[Index(MainCommand::CompareFile)] = visible;
  itemEnabled_[Index(MainCommand::ModbusMonitor)] = visible;
  itemEnabled_[Index(MainCommand::ExportMap)] = visible;
  Render();
}

bool MainWindowForm::AskSaveChanges() {
  if (!cfg_.AnyChanged()) return true;
  const char* question = cfg_.State.FromModule ? "Сохранить данные?" : "Сохранить изменения?";
  switch (dialogs_.Ask(question)) {
    case Dialogs::Answer::Yes:
      return Save();
    case Dialogs::Answer::No:
      cfg_.ClearAllChanged();
      Render();
      return true;
    case Dialogs::Answer::Cancel:
      break;
  }
  return false;
}

void MainWindowForm::Command(MainCommand command) {
  if (running_ || command == MainCommand::None || command == MainCommand::Count_) return;
  // A command of a hidden menu, a hidden item or a disabled item is out of reach.
  for (const MainMenuDef& menu : MainMenuLayout()) {
    bool inMenu = menu.command == command;
    for (const MainMenuItem& item : menu.items) inMenu = inMenu || item.command == command;
    if (inMenu && !menuVisible_[Index(menu.menu)]) return;
  }
  if (!itemVisible_[Index(command)] || !itemEnabled_[Index(command)]) return;

  switch (command) {
    case MainCommand::New:
      NewDocument();
      break;
    case MainCommand::Load:
      LoadDocumentCommand();
      break;
    case MainCommand::Save:
      Save();
      break;
    case MainCommand::SaveAs:
      SaveAs();
      break;
    case MainCommand::Exit:
      Exit();
      break;
    case MainCommand::Guide:
      ShowGuide();
      break;
    case MainCommand::RecentList:
      break;
    case MainCommand::DatabasePath:
      if (view_) view_->OpenWindow(command);
      CheckDatabaseFolders();
      break;
    default:
      if (view_) view_->OpenWindow(command);
      Render();
      break;
  }
}

void MainWindowForm::NewDocument() {
  if (!DatabaseFoldersStillThere() || !AskSaveChanges()) return;
  cfg_.State.IsNew = true;
  cfg_.State.FromFile = false;
  cfg_.State.FromModule = false;
  cfg_.CreateMaps();
  cfg_.ResetCommon();
  std::string error = ReadDatabasePaths(settingsPath_, settings_);
  if (!error.empty()) dialogs_.Information(error);
  cfg_.ClearControllers();
  for (MapKind k : kAllMapKinds) cfg_.ResetMapEntry(k, -1);
  UpdateDocumentMenus(true);
  SetStatus(kNewFileStatus);
}

void MainWindowForm::BeginProgress(const char* caption) {
  busy_.SetBusy(true);
  progressCaption_ = caption;
  progress_ = 0;
  progressVisible_ = true;
  Render();
  PumpEvents();
}

void MainWindowForm::EndProgress() {
  busy_.SetBusy(false);
  progressVisible_ = false;
  progressCaption_.clear();
  Render();
}

void MainWindowForm::LoadDocumentCommand() {
  if (!DatabaseFoldersStillThere() || !AskSaveChanges()) return;
  cfg_.State.IsNew = false;
  LoadChosen(dialogs_.OpenFile(ParseFilterText(kDocumentFilter), 0, DocumentFolder()));
}

void MainWindowForm::OpenDocumentPath(const std::string& path) {
  if (running_ || !DatabaseFoldersStillThere() || !AskSaveChanges()) return;
  cfg_.State.IsNew = false;
  LoadChosen(path);
}

void MainWindowForm::SetStartDocument(const std::string& path) {
  startDocument_ = path;
  if (!path.empty() && path[0] != '/') {
    std::string cwd(4096, '\0');
    if (getcwd(cwd.data(), cwd.size())) startDocument_ = std::string(cwd.c_str()) + "/" + path;
  }
}

void MainWindowForm::OpenRecent(std::size_t index) {
  if (!RecentEnabled() || index >= recent_.size()) return;
  const std::string path = recent_[index];  // the list changes when the load succeeds
  OpenDocumentPath(path);
}

std::string MainWindowForm::DocumentFolder() const {
  if (!cfg_.State.FileName.empty()) return ExistingFolderOf(cfg_.State.FileName);
  if (!recent_.empty()) return ExistingFolderOf(recent_.front());
  return {};
}

void MainWindowForm::Remember(const std::string& path) {
  recent_ = WithRecent(std::move(recent_), path);
  // The list is a convenience: a settings file that cannot be written costs only the list.
  (void)WriteRecentDocuments(settingsPath_, recent_);
}

void MainWindowForm::ShowGuide() {
  if (!builtInGuide_.empty()) {
    if (view_) view_->ShowGuide(builtInGuide_);
    return;
  }
  const std::string path = FindUserGuide(programFolder_);
  if (path.empty()) {
    std::string places;
    for (const std::string& p : UserGuideCandidates(programFolder_)) places += "\n" + p;
    dialogs_.Information("Руководство пользователя не найдено. Файл " + std::string(kGuideFile) +
                         " искали в местах:" + places);
    return;
  }
  if (view_) view_->ShowGuide(path);
}

void MainWindowForm::LoadChosen(const std::optional<std::string>& path) {
  if (path) {
    // A folder, a device or a loop of links is told as what it is, not as a missing file.
    const std::string problem = path->empty() ? "Файл  не найден" : RegularFileProblem(*path);
    if (!problem.empty()) {
      dialogs_.Information(problem);
    } else {
      bool loaded;
      {
        RunningMark mark(running_);
        BeginProgress(kLoadingCaption);
        loaded = LoadDocument(cfg_, settings_, *path, *this);
        EndProgress();
      }
      if (loaded) Remember(*path);
    }
  }
  UpdateDocumentMenus(false);
  if (closePending_ && view_) {
    closePending_ = false;
    view_->CloseMainWindow();
  }
}

bool MainWindowForm::Save() {
  if (cfg_.State.IsNew || cfg_.State.FromModule || cfg_.State.FileName.empty()) return SaveAs();
  // The document's own file: written without asking (only another existing file is asked about).
  return SaveTo(cfg_.State.FileName);
}

bool MainWindowForm::SaveAs() {
  std::optional<std::string> chosen =
      dialogs_.SaveFile(ParseFilterText(kDocumentFilter), 0, DocumentFolder());
  if (!chosen || chosen->empty()) return false;
  std::string path = *chosen;
  if (path.find('.') == std::string::npos) path += ".bmt";
  if (IsFolder(path)) {
    dialogs_.Information("Нельзя сохранить документ в " + path + ": это каталог. Выберите имя файла.");
    return false;
  }
  if (PathExists(path) && !dialogs_.Confirm(ReplaceQuestion(path))) return false;
  cfg_.SetAllChanged();
  return SaveTo(path);
}

bool MainWindowForm::SaveTo(const std::string& path) {
  bool ok;
  {
    RunningMark mark(running_);
    BeginProgress(kSavingCaption);
    ok = SaveDocument(cfg_, path, *this);
    EndProgress();
  }
  if (ok) Remember(path);
  Render();
  if (closePending_ && view_) {
    closePending_ = false;
    view_->CloseMainWindow();
  }
  return ok;
}

void MainWindowForm::Exit() {
  if (!AskSaveChanges()) return;
  if (view_) view_->CloseMainWindow();
}

bool MainWindowForm::CloseRequested() {
  if (running_) {
    // Carried out once the load or save has returned.
    closePending_ = true;
    return false;
  }
  return AskSaveChanges();
}

void MainWindowForm::ProgressStep() {
  if (progress_ < kDocumentProgressMax) ++progress_;
  if (view_) view_->RenderProgress();
}

void MainWindowForm::PumpEvents() { busy_.PumpEvents(); }

void MainWindowForm::Information(const std::string& text) { dialogs_.Information(text); }

void MainWindowForm::SetStatus(const std::string& text) {
  status_ = text;
  Render();
}

void MainWindowForm::OpenControllerEditor() {
  progressVisible_ = false;
  progressCaption_.clear();
  Render();
  // The editor is used normally while the load waits for it.
  if (running_) busy_.SetBusy(false);
  if (view_) view_->OpenWindow(MainCommand::ControllerList);
  if (running_) busy_.SetBusy(true);
}

}  // namespace r770
