// MainWindowForm: the logic of TFNastr, the main window. It owns the one Configuration and
// the one ProgramSettings of the process, keeps the menu states, the status line and the
// progress strip, and carries out the document commands ("Новый", "Загрузить", "Сохранить",
// "Сохранить как ...", "Выход") with the unsaved-changes prompt.
//
// The window itself (src/ui) draws this state and forwards the user's commands; every other
// window is opened through MainWindowView::OpenWindow, so an editor plugs itself into the
// menu by giving the window an opener for its command.
#pragma once
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "document/configuration.h"
#include "document/document_file.h"
#include "document/program_settings.h"

namespace r770 {

class Dialogs;
class BusyIndicator;

// Every command of the main menu, in menu order.
enum class MainCommand {
  None,  // a separator
  New,
  Load,
  Save,
  SaveAs,
  CompareFile,  // "Сравнить с файлом…": the comparison window against another document
  Exit,
  DatabasePath,        // "Путь к БД": TFWay
  AdditionalSettings,  // "Дополнительные настройки": TFDopNastr
  CommonSettings,      // "Общие настройки" of the module: TFCommon
  ControllerList,      // "Список контроллеров": TFTask
  Coils,               // TFModbusTU
  DiscreteInputs,      // TFModbusTC
  HoldingRegisters,    // TFTIFloat
  InputRegisters,      // TFInputReg
  ExchangeSettings,    // "Настройка обмена": TFNastrObm
  Exchange,            // "Обмен с  R-770 TCP/Modbus": TFObmen
  ModbusTestSettings,  // TFObmenModbus_r770
  ModbusTestRead,      // TFReadModbus_r770
  ModbusMonitor,       // "Монитор карты": the live map monitor
  Guide,               // "Руководство пользователя": the user guide
  RecentList,  // "Последние документы": a submenu of the last documents, no command itself
  ExportMap,   // "Экспорт карты для ведущего…": ExportWindow
  Count_
};

// The menus of the main window's menu bar.
enum class MainMenu { File, Options, ModbusTcp, ExchangeSettings, Exchange, ModbusTest, Help, Count_ };

struct MainMenuItem {
  MainCommand command;  // None: separator
  const char* text;
  const char* shortcut = nullptr;  // key sequence in the portable form "Ctrl+Shift+S"
};

struct MainMenuDef {
  MainMenu menu;
  const char* title;
  // A menu without items is itself a command (it acts when clicked).
  MainCommand command;
  std::vector<MainMenuItem> items;
};

// The menu bar, in order.
const std::vector<MainMenuDef>& MainMenuLayout();

// Texts of the main window and of the standard boxes the window system shows for the program.
inline constexpr const char* kMainCaption = "Настройка R-770 Modbus/TCP(версия 10)";
inline constexpr const char* kNewFileStatus = "Новый файл";
inline constexpr const char* kProgramName = "r770cfg";
inline constexpr const char* kNewDocumentTitle = "Новый документ";
inline constexpr const char* kReadDocumentTitle = "Прочитан из модуля";
inline constexpr const char* kLoadingCaption = "Идет загрузка файла";
inline constexpr const char* kSavingCaption = "Идет сохранение файла";
inline constexpr const char* kButtonYes = "Да";
inline constexpr const char* kButtonNo = "Нет";
inline constexpr const char* kButtonCancel = "Отмена";
inline constexpr const char* kButtonOk = "OK";
inline constexpr const char* kOpenDialogTitle = "Открыть";
inline constexpr const char* kSaveDialogTitle = "Сохранить как";
inline constexpr const char* kFolderDialogTitle = "Выбор каталога";
// The submenu of "Файл" that lists the last documents opened or saved.
inline constexpr const char* kRecentMenuTitle = "Последние документы";
inline constexpr const char* kGuideFile = "guide.ru.md";

// Where the user guide may lie for a program in programFolder, in the order looked at:
// beside the program, in the source tree's docs/ above a build folder, in the installed
// documentation folder (PREFIX/share/doc/r770cfg), in /usr/share/doc/r770cfg.
std::vector<std::string> UserGuideCandidates(const std::string& programFolder);
// The first candidate that exists; empty when none does.
std::string FindUserGuide(const std::string& programFolder);
// True for a path that names a document file by its extension (".bmt", any letter case).
bool IsDocumentPath(const std::string& path);
// The document named on the program's command line: the first argument after the program's
// name that is not an option (does not start with "-"); empty when there is none.
std::string StartDocumentArgument(const std::vector<std::string>& args);

// What the model needs of the window that shows it.
class MainWindowView {
 public:
  virtual ~MainWindowView() = default;
  // Redraw everything from the model (caption, menus, status line, progress strip).
  virtual void Render() = 0;
  // Redraw only the progress strip (called on every step of a load or save).
  virtual void RenderProgress() = 0;
  // Open the window of a menu command modally; returns when it has closed.
  virtual void OpenWindow(MainCommand command) = 0;
  // Show the user guide (the built-in one, or a file found by FindUserGuide).
  virtual void ShowGuide(const std::string& path) { (void)path; }
  // Close the main window (ends the program).
  virtual void CloseMainWindow() = 0;
};

class MainWindowForm final : public DocumentView {
 public:
  MainWindowForm(Dialogs& dialogs, BusyIndicator& busy, std::string settingsPath);
  MainWindowForm(const MainWindowForm&) = delete;
  MainWindowForm& operator=(const MainWindowForm&) = delete;

  void SetView(MainWindowView* view) { view_ = view; }

  Configuration& Config() { return cfg_; }
  const Configuration& Config() const { return cfg_; }
  ProgramSettings& Settings() { return settings_; }
  const ProgramSettings& Settings() const { return settings_; }
  const std::string& SettingsPath() const { return settingsPath_; }
  Dialogs& GetDialogs() { return dialogs_; }
  BusyIndicator& Busy() { return busy_; }

  // --- what the window shows
  // The window's caption: the program's title until a document exists, then the program's
  // name, the document (its file name, "Новый документ" or "Прочитан из модуля") and " *"
  // while it has unsaved changes: "r770cfg — boiler.bmt *". Empty until first shown.
  std::string Caption() const;
  const std::string& Status() const { return status_; }
  bool MenuVisible(MainMenu menu) const { return menuVisible_[Index(menu)]; }
  bool ItemVisible(MainCommand c) const { return itemVisible_[Index(c)]; }
  bool ItemEnabled(MainCommand c) const { return itemEnabled_[Index(c)]; }
  // False while a load or save runs: the whole menu bar is then out of reach.
  bool MenuBarEnabled() const { return !running_; }
  bool ProgressVisible() const { return progressVisible_; }
  const std::string& ProgressCaption() const { return progressCaption_; }
  int Progress() const { return progress_; }
  static constexpr int ProgressMax() { return kDocumentProgressMax; }
  bool Running() const { return running_; }

  // --- events
  // The window is shown for the first time: settings, folder check, path window; then the
  // document given at start, if any.
  void FirstShown();
  // A document to open once the window is first shown (the program's argument).
  // A relative path is taken from the current folder.
  void SetStartDocument(const std::string& path);
  // Opens the document at path through the steps "Загрузить" takes after its file choice
  // (folder check, unsaved-changes prompt, existence check, load). A dropped file, a recent
  // document and the program's argument come this way. Ignored while a load or save runs
  // or while "Загрузить" is out of reach.
  void OpenDocumentPath(const std::string& path);
  // The last documents opened or saved, newest first (at most eight).
  const std::vector<std::string>& RecentDocuments() const { return recent_; }
  bool RecentEnabled() const { return !running_ && itemEnabled_[Index(MainCommand::Load)]; }
  void OpenRecent(std::size_t index);
  // Where the document file choices open: the current document's folder, else the last
  // document's, else none.
  std::string DocumentFolder() const;
  // The user guide for a program in programFolder (set by the program; tests point it elsewhere).
  void SetProgramFolder(std::string folder) { programFolder_ = std::move(folder); }
  // The guide built into the program (a path the view can show): when set, the guide
  // command shows it and looks for no file.
  void SetBuiltInGuide(std::string path) { builtInGuide_ = std::move(path); }
  // A menu command chosen by the user. Commands of hidden or disabled items and commands
  // arriving while a load or save runs are ignored.
  void Command(MainCommand command);
  // A request to close the main window by any means; true when it may close.
  bool CloseRequested();

  // --- operations other windows use
  // Shows or hides the document-dependent menu items.
  void UpdateDocumentMenus(bool newDocument);
  // True when the three working database folders exist; enables "Новый" and "Загрузить".
  bool CheckDatabaseFolders();
  // The unsaved-changes prompt, with Да, Нет and Отмена. False when the user cancelled (Отмена,
  // Esc), or asked to save and the document was not saved (save dialog cancelled or writing
  // failed): the asking command must not go on.
  bool AskSaveChanges();

  // The document commands (also reachable through Command).
  void NewDocument();
  void LoadDocumentCommand();
  bool Save();
  bool SaveAs();
  void Exit();

  // --- DocumentView, used by the load and save procedures
  void ProgressStep() override;
  void PumpEvents() override;
  void Information(const std::string& text) override;
  void SetStatus(const std::string& text) override;
  void OpenControllerEditor() override;

 private:
  static constexpr std::size_t Index(MainMenu m) { return static_cast<std::size_t>(m); }
  static constexpr std::size_t Index(MainCommand c) { return static_cast<std::size_t>(c); }
  void Render();
  void BeginProgress(const char* caption);
  void EndProgress();
  bool SaveTo(const std::string& path);
  void LoadChosen(const std::optional<std::string>& path);
  void Remember(const std::string& path);
  void ShowGuide();
  // The first missing working folder, or empty when all three exist.
  std::string MissingDatabaseFolder() const;
  // Before "Новый" and "Загрузить": false (with a message) when a folder has gone.
  bool DatabaseFoldersStillThere();

  Dialogs& dialogs_;
  BusyIndicator& busy_;
  std::string settingsPath_;
  MainWindowView* view_ = nullptr;

  Configuration cfg_;
  ProgramSettings settings_;

  std::string caption_;
  std::string status_;
  std::array<bool, static_cast<std::size_t>(MainMenu::Count_)> menuVisible_{};
  std::array<bool, static_cast<std::size_t>(MainCommand::Count_)> itemVisible_{};
  std::array<bool, static_cast<std::size_t>(MainCommand::Count_)> itemEnabled_{};
  bool progressVisible_ = false;
  std::string progressCaption_;
  int progress_ = 0;
  bool running_ = false;       // a load or save is running
  bool closePending_ = false;  // the window was asked to close while one ran
  std::vector<std::string> recent_;
  std::string startDocument_;
  std::string programFolder_;
  std::string builtInGuide_;
};

}  // namespace r770
