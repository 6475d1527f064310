#include "ui/main_window.h"

#include <QCloseEvent>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

#include "ui/common_window.h"
#include "ui/controller_list_window.h"
#include "ui/exchange_settings_window.h"
#include "ui/exchange_window.h"
#include "ui/map_monitor_window.h"
#include "ui/modbus_read_window.h"
#include "ui/modbus_settings_window.h"
#include "ui/register_map_window.h"
#include "ui/way_window.h"

namespace r770 {

TFNastr::TFNastr(const std::string& settingsPath, QWidget* parent)
    : QMainWindow(parent), form_(std::make_unique<MainWindowForm>(dialogs_, busy_, settingsPath)) {
  BuildMenu();

  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  layout->addStretch(1);
  progressCaption_ = new QLabel(central);
  progressCaption_->setAlignment(Qt::AlignCenter);
  progress_ = new QProgressBar(central);
  progress_->setRange(0, MainWindowForm::ProgressMax());
  progress_->setTextVisible(false);
  layout->addWidget(progressCaption_);
  layout->addWidget(progress_);
  layout->addStretch(1);
  setCentralWidget(central);

  status_ = new QLabel(this);
  statusBar()->addWidget(status_, 1);
  statusBar()->setSizeGripEnabled(false);

  // The dialogs, created once, in the program's order.
  MainWindowForm& f = *form_;
  common_ = new TFCommon(f.GetDialogs(), f.Config(), f.Settings(), f.SettingsPath(), this);
  dopNastr_ = new TFDopNastr(f.GetDialogs(), f.Settings(), f.SettingsPath(), this);
  nastrObm_ = new TFNastrObm(f.GetDialogs(), f.Settings(), f.SettingsPath(), this);
  way_ = new TFWay(f.GetDialogs(), f.Settings(), f.SettingsPath(), this);
  SetOpener(MainCommand::CommonSettings, [this] { common_->Open(); });
  SetOpener(MainCommand::AdditionalSettings, [this] { dopNastr_->Open(); });
  SetOpener(MainCommand::ExchangeSettings, [this] { nastrObm_->Open(); });
  SetOpener(MainCommand::DatabasePath, [this] { way_->Open(); });
  // The controller list editor (also opened by a load that needs it) and the map editors.
  auto* tasks = new TFTask(f.Config(), f.Settings(), f.GetDialogs(), f.Busy(), this);
  auto* coils = new TFModbusTU(f.Config(), f.Settings(), f.GetDialogs(), this);
  auto* inputs = new TFModbusTC(f.Config(), f.Settings(), f.GetDialogs(), this);
  auto* holding = new TFTIFloat(f.Config(), f.Settings(), f.GetDialogs(), this);
  auto* inputRegs = new TFInputReg(f.Config(), f.Settings(), f.GetDialogs(), this);
  SetOpener(MainCommand::ControllerList, [tasks] { tasks->Open(); });
  SetOpener(MainCommand::Coils, [coils] { coils->Open(); });
  SetOpener(MainCommand::DiscreteInputs, [inputs] { inputs->Open(); });
  SetOpener(MainCommand::HoldingRegisters, [holding] { holding->Open(); });
  SetOpener(MainCommand::InputRegisters, [inputRegs] { inputRegs->Open(); });
  // The Modbus/TCP test windows (found by type with findChild).
  auto* modbusSettings = new TFObmenModbus_r770(f.GetDialogs(), f.Settings(), f.SettingsPath(), this);
  auto* modbusRead = new TFReadModbus_r770(f.GetDialogs(), f.Settings(), this);
  SetOpener(MainCommand::ModbusTestSettings, [modbusSettings] { modbusSettings->Open(); });
  SetOpener(MainCommand::ModbusTestRead, [modbusRead] { modbusRead->Open(); });
  auto* monitor = new MapMonitorWindow(f.Config(), f.Settings(), f.GetDialogs(), this);
  SetOpener(MainCommand::ModbusMonitor, [monitor] { monitor->Open(); });
  // The exchange window (search, write, read), found by type with findChild.
  auto* exchange = new TFObmen(f.Config(), f.Settings(), this, &f.GetDialogs());
  exchange->onMainStatus = [this](const std::string& text) { form_->SetStatus(text); };
  exchange->onUpdateDocumentMenus = [this](bool newDocument) { form_->UpdateDocumentMenus(newDocument); };
  SetOpener(MainCommand::Exchange, [exchange] { exchange->Open(); });

  form_->SetView(this);
  resize(900, 360);
  move(0, 0);
}

TFNastr::~TFNastr() { form_->SetView(nullptr); }

void TFNastr::BuildMenu() {
  for (const MainMenuDef& def : MainMenuLayout()) {
    if (def.items.empty()) {
      QAction* a = menuBar()->addAction(Q(def.title));
      MainCommand c = def.command;
      connect(a, &QAction::triggered, this, [this, c] { form_->Command(c); });
      menuActions_[def.menu] = a;
      actions_[c] = a;
      continue;
    }
    QMenu* menu = menuBar()->addMenu(Q(def.title));
    menuActions_[def.menu] = menu->menuAction();
    for (const MainMenuItem& item : def.items) {
      if (item.command == MainCommand::None) {
        menu->addSeparator();
        continue;
      }
      QAction* a = menu->addAction(Q(item.text));
      MainCommand c = item.command;
      connect(a, &QAction::triggered, this, [this, c] { form_->Command(c); });
      actions_[c] = a;
    }
  }
}

void TFNastr::SetOpener(MainCommand command, std::function<void()> opener) {
  openers_[command] = std::move(opener);
}

QAction* TFNastr::Action(MainCommand command) const {
  auto it = actions_.find(command);
  return it == actions_.end() ? nullptr : it->second;
}

QAction* TFNastr::MenuAction(MainMenu menu) const {
  auto it = menuActions_.find(menu);
  return it == menuActions_.end() ? nullptr : it->second;
}

void TFNastr::Render() {
  const MainWindowForm& f = *form_;
  setWindowTitle(Q(f.Caption()));
  for (auto& [menu, action] : menuActions_) action->setVisible(f.MenuVisible(menu));
  for (auto& [command, action] : actions_) {
    bool topLevel = false;
    for (auto& [menu, ma] : menuActions_) topLevel = topLevel || ma == action;
    if (!topLevel) action->setVisible(f.ItemVisible(command));
    action->setEnabled(f.ItemEnabled(command));
  }
  menuBar()->setEnabled(f.MenuBarEnabled());
  status_->setText(Q(f.Status()));
  RenderProgress();
}

void TFNastr::RenderProgress() {
  const MainWindowForm& f = *form_;
  progressCaption_->setVisible(f.ProgressVisible());
  progress_->setVisible(f.ProgressVisible());
  progressCaption_->setText(Q(f.ProgressCaption()));
  progress_->setValue(f.Progress());
}

void TFNastr::OpenWindow(MainCommand command) {
  auto it = openers_.find(command);
  if (it != openers_.end() && it->second) it->second();
}

void TFNastr::CloseMainWindow() {
  close();
}

void TFNastr::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (firstShown_) return;
  firstShown_ = true;
  Render();
  // Start-up runs once the window is on the screen (it may open the path window).
  QTimer::singleShot(0, this, [this] { form_->FirstShown(); });
}

void TFNastr::closeEvent(QCloseEvent* event) {
  if (form_->CloseRequested()) {
    event->accept();
  } else {
    event->ignore();
  }
}

}  // namespace r770
