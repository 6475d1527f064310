#include "document/main_window_form.h"

#include <sys/stat.h>

#include "common/dialogs.h"

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

std::string ReplaceQuestion(const std::string& path) {
  return "Файл " + path + " уже существует.Заменить?";
}

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
       {{MainCommand::New, "Новый"},
        {MainCommand::Load, "Загрузить"},
        {MainCommand::Save, "Сохранить"},
        {MainCommand::SaveAs, "Сохранить как ..."},
        {MainCommand::None, ""},
        {MainCommand::Exit, "Выход"}}},
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
  };
  return layout;
}

MainWindowForm::MainWindowForm(Dialogs& dialogs, BusyIndicator& busy, std::string settingsPath)
    : dialogs_(dialogs), busy_(busy), settingsPath_(std::move(settingsPath)) {
  cfg_.State = DocumentState{};
  menuVisible_.fill(true);
  itemVisible_.fill(true);
  itemEnabled_.fill(true);
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
  itemEnabled_[Index(MainCommand::ModbusMonitor)] = false;  // until a document exists
  caption_ = kMainCaption;
  Render();

  std::string error = ReadProgramSettings(settingsPath_, settings_);
  if (!error.empty()) dialogs_.Information(error);

  if (!CheckDatabaseFolders()) {
    Render();
    if (view_) view_->OpenWindow(MainCommand::DatabasePath);
    CheckDatabaseFolders();
  }
  Render();
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
  itemEnabled_[Index(MainCommand::ModbusMonitor)] = visible;
  Render();
}

bool MainWindowForm::AskSaveChanges() {
  if (!cfg_.AnyChanged()) return true;
  const char* question = cfg_.State.FromModule ? "Сохранить данные?" : "Сохранить изменения?";
  if (dialogs_.Confirm(question)) return Save();
  cfg_.ClearAllChanged();
  return true;
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
    case MainCommand::New: NewDocument(); break;
    case MainCommand::Load: LoadDocumentCommand(); break;
    case MainCommand::Save: Save(); break;
    case MainCommand::SaveAs: SaveAs(); break;
    case MainCommand::Exit: Exit(); break;
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
  std::optional<std::string> path = dialogs_.OpenFile(ParseFilterText(kDocumentFilter));
  if (path) {
    struct stat st {};
    if (path->empty() || stat(path->c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
      dialogs_.Information("Файл " + *path + " не найден");
    } else {
      {
        RunningMark mark(running_);
        BeginProgress(kLoadingCaption);
        LoadDocument(cfg_, settings_, *path, *this);
        EndProgress();
      }
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
  if (dialogs_.Confirm(ReplaceQuestion(cfg_.State.FileName))) return SaveTo(cfg_.State.FileName);
  return SaveAs();
}

bool MainWindowForm::SaveAs() {
  std::optional<std::string> chosen = dialogs_.SaveFile(ParseFilterText(kDocumentFilter));
  if (!chosen || chosen->empty()) return false;
  std::string path = *chosen;
  if (path.find('.') == std::string::npos) path += ".bmt";
  if (IsFolder(path)) {
    dialogs_.Information("Нельзя сохранить документ в " + path +
                         ": это каталог. Выберите имя файла.");
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
