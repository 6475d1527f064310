// TFNastr: the main window. It draws MainWindowForm (menu, status line, progress strip) and
// opens every other window modally from its menu.
//
// Extension point: the window of a menu command is opened by its opener. The windows built
// here (TFWay, TFCommon, TFNastrObm, TFDopNastr) have theirs; an editor or exchange window
// added later registers its own with SetOpener(command, ...), for example
//   mainWindow.SetOpener(MainCommand::Coils, [&] { coilsEditor.Open(); });
// A command without an opener does nothing.
#pragma once
#include <QMainWindow>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "document/main_window_form.h"
#include "ui/qt_support.h"

class QAction;
class QDialog;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QMenu;
class QProgressBar;

namespace r770 {

class TFWay;
class TFCommon;
class TFNastrObm;
class TFDopNastr;
class MonitorWindow;

// The user guide built into the program, with the screenshots it shows beside it.
inline constexpr const char* kBuiltInGuide = ":/r770cfg/guide/guide.ru.md";

class TFNastr : public QMainWindow, public MainWindowView {
  Q_OBJECT
 public:
  // settingsPath: the program settings file (DefaultSettingsPath() in the program).
  explicit TFNastr(const std::string& settingsPath, QWidget* parent = nullptr);
  // The same window with message boxes and file choices of its own (tests answer the file
  // choices without a file dialog); dialogs outlives the window.
  TFNastr(const std::string& settingsPath, Dialogs& dialogs, QWidget* parent = nullptr);
  ~TFNastr() override;

  MainWindowForm& Form() { return *form_; }
  Dialogs& GetDialogs() { return dialogs_; }
  BusyIndicator& Busy() { return busy_; }

  void SetOpener(MainCommand command, std::function<void()> opener);
  QAction* Action(MainCommand command) const;
  QAction* MenuAction(MainMenu menu) const;
  QLabel* StatusField() const { return status_; }
  QProgressBar* ProgressStrip() const { return progress_; }
  QLabel* ProgressCaption() const { return progressCaption_; }
  // The overview of the document in the window's centre.
  QListWidget* Overview() const { return overview_; }
  QMenu* RecentMenu() const { return recentMenu_; }
  QDialog* GuideWindow() const { return guide_; }

  TFWay* Way() const { return way_; }
  TFCommon* Common() const { return common_; }
  TFNastrObm* NastrObm() const { return nastrObm_; }
  TFDopNastr* DopNastr() const { return dopNastr_; }

  // MainWindowView
  void Render() override;
  void RenderProgress() override;
  void OpenWindow(MainCommand command) override;
  void CloseMainWindow() override;
  void ShowGuide(const std::string& path) override;

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void BuildMenu();
  void RenderOverview();
  void RenderRecent();
  void RestorePlace();
  void OverviewActivated(QListWidgetItem* item);

  QtDialogs qtDialogs_;
  Dialogs& dialogs_;  // qtDialogs_ unless the window was given others
  QtBusy busy_;
  std::unique_ptr<MainWindowForm> form_;
  std::map<MainCommand, QAction*> actions_;
  std::map<MainMenu, QAction*> menuActions_;
  std::map<MainCommand, std::function<void()>> openers_;
  QLabel* status_ = nullptr;
  QLabel* progressCaption_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QListWidget* overview_ = nullptr;
  QMenu* recentMenu_ = nullptr;
  QDialog* guide_ = nullptr;
  std::string settingsPath_;
  bool firstShown_ = false;

  TFCommon* common_ = nullptr;
  MonitorWindow* monitor_ = nullptr;  // modeless: told of every change of the document
  TFDopNastr* dopNastr_ = nullptr;
  TFNastrObm* nastrObm_ = nullptr;
  TFWay* way_ = nullptr;
};

}  // namespace r770
