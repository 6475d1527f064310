#include "ui/main_window.h"

#include <QCloseEvent>
#include <QDialog>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QScreen>
#include <QStatusBar>
#include <QTextBrowser>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include "common/program_path.h"
#include "document/document_overview.h"
#include "document/recent_documents.h"
#include "ui/common_window.h"
#include "ui/compare_window.h"
#include "ui/controller_list_window.h"
#include "ui/exchange_settings_window.h"
#include "ui/exchange_window.h"
#include "ui/export_window.h"
#include "ui/modbus_read_window.h"
#include "ui/modbus_settings_window.h"
#include "ui/monitor_window.h"
#include "ui/register_map_window.h"
#include "ui/way_window.h"

namespace r770 {

TFNastr::TFNastr(const std::string& settingsPath, QWidget* parent)
    : TFNastr(settingsPath, qtDialogs_, parent) {}

TFNastr::TFNastr(const std::string& settingsPath, Dialogs& dialogs, QWidget* parent)
    : QMainWindow(parent),
      dialogs_(dialogs),
      form_(std::make_unique<MainWindowForm>(dialogs_, busy_, settingsPath)),
      settingsPath_(settingsPath) {
  form_->SetProgramFolder(ProgramFolder());
  if (QFile::exists(Q(kBuiltInGuide))) form_->SetBuiltInGuide(kBuiltInGuide);
  KeepWindowsOnScreen();
  BuildMenu();
  setAcceptDrops(true);

  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  overview_ = new QListWidget(central);
  overview_->setObjectName("overview");
  overview_->setSelectionMode(QAbstractItemView::SingleSelection);
  overview_->setWordWrap(true);
  overview_->setToolTip(Q("Двойной щелчок по строке открывает окно, которое её касается"));
  connect(overview_, &QListWidget::itemActivated, this, &TFNastr::OverviewActivated);
  layout->addWidget(overview_, 1);
  progressCaption_ = new QLabel(central);
  progressCaption_->setAlignment(Qt::AlignCenter);
  progress_ = new QProgressBar(central);
  progress_->setRange(0, MainWindowForm::ProgressMax());
  progress_->setTextVisible(false);
  layout->addWidget(progressCaption_);
  layout->addWidget(progress_);
  setCentralWidget(central);

  status_ = new QLabel(this);
  statusBar()->addWidget(status_, 1);
  statusBar()->setSizeGripEnabled(false);

  // The dialogs, created once, in the program's order.
  MainWindowForm& f = *form_;
  common_ = new TFCommon(f.GetDialogs(), f.Config(), f.Settings(), f.SettingsPath(), this);
  dopNastr_ = new TFDopNastr(f.GetDialogs(), f.Settings(), f.SettingsPath(), this);
  nastrObm_ = new TFNastrObm(f.GetDialogs(), f.Settings(), f.SettingsPath(), this, &f.Config());
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
  auto* modbusSettings =
      new TFObmenModbus_r770(f.GetDialogs(), f.Settings(), f.SettingsPath(), this, &f.Config());
  auto* modbusRead = new TFReadModbus_r770(f.GetDialogs(), f.Settings(), this);
  SetOpener(MainCommand::ModbusTestSettings, [modbusSettings] { modbusSettings->Open(); });
  SetOpener(MainCommand::ModbusTestRead, [modbusRead] { modbusRead->Open(); });
  monitor_ = new MonitorWindow(f.Config(), f.Settings(), f.GetDialogs(), this);
  // While a load or save runs the document is half made: the monitor does not read it.
  monitor_->Form().documentBusy = [this] { return form_->Running(); };
  SetOpener(MainCommand::ModbusMonitor, [this] { monitor_->Open(); });
  auto* exportMap = new ExportWindow(f.Config(), f.Settings(), f.GetDialogs(), this);
  SetOpener(MainCommand::ExportMap, [exportMap] { exportMap->Open(); });
  // The exchange window (search, write, read), found by type with findChild.
  auto* exchange = new TFObmen(f.Config(), f.Settings(), this, &f.GetDialogs());
  exchange->onMainStatus = [this](const std::string& text) { form_->SetStatus(text); };
  exchange->onUpdateDocumentMenus = [this](bool newDocument) { form_->UpdateDocumentMenus(newDocument); };
  exchange->onAskSaveChanges = [this] { return form_->AskSaveChanges(); };
  SetOpener(MainCommand::Exchange, [exchange] { exchange->Open(); });
  SetOpener(MainCommand::CompareFile, [this, exchange] {
    ExchangeWindowWriter writer(*exchange);
    OpenFileComparison(form_->Config(), form_->Settings(), form_->GetDialogs(), form_->DocumentFolder(),
                       &writer, this);
  });

  form_->SetView(this);
  resize(900, 560);
  move(0, 0);
  RestorePlace();
  RenderOverview();
  RenderRecent();
}

void TFNastr::RestorePlace() {
  std::optional<WindowPlace> place = ReadWindowPlace(settingsPath_);
  QScreen* screen = this->screen();
  if (!place || !screen) return;
  const QRect area = screen->availableGeometry();
  WindowPlace fitted = FitWindowPlace(*place, {area.x(), area.y(), area.width(), area.height()});
  setGeometry(fitted.x, fitted.y, fitted.width, fitted.height);
  if (fitted.maximized) setWindowState(windowState() | Qt::WindowMaximized);
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
      if (item.command == MainCommand::RecentList) {
        recentMenu_ = menu->addMenu(Q(item.text));
        actions_[item.command] = recentMenu_->menuAction();
        continue;
      }
      QAction* a = menu->addAction(Q(item.text));
      if (item.shortcut) a->setShortcut(QKeySequence(Q(item.shortcut)));
      MainCommand c = item.command;
      connect(a, &QAction::triggered, this, [this, c] { form_->Command(c); });
      actions_[c] = a;
    }
  }
  KeyboardMenus(this, menuBar());
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
  // While a load or save runs the document is half made: the overview waits for its end.
  if (!f.Running()) {
    RenderOverview();
    if (monitor_) monitor_->DocumentChanged();
  }
  RenderRecent();
}

void TFNastr::RenderOverview() {
  const std::vector<OverviewLine> lines = DocumentOverview(form_->Config());
  overview_->clear();
  for (const OverviewLine& line : lines) {
    auto* item = new QListWidgetItem(Q(line.Title ? line.Text : "    " + line.Text), overview_);
    item->setData(Qt::UserRole, static_cast<int>(line.Target));
    if (line.Title) {
      QFont bold = item->font();
      bold.setBold(true);
      item->setFont(bold);
    }
    // The mark of the controller list editor: a lime background.
    if (line.Marked) item->setBackground(QColor(Qt::green).lighter(160));
    if (line.Target != MainCommand::None) item->setToolTip(Q("Двойной щелчок открывает окно"));
  }
}

void TFNastr::OverviewActivated(QListWidgetItem* item) {
  const auto target = static_cast<MainCommand>(item->data(Qt::UserRole).toInt());
  if (target != MainCommand::None) form_->Command(target);
}

void TFNastr::RenderRecent() {
  if (!recentMenu_) return;
  recentMenu_->clear();
  const std::vector<std::string>& recent = form_->RecentDocuments();
  for (std::size_t i = 0; i < recent.size(); ++i) {
    QAction* a = recentMenu_->addAction(QString("&%1 %2").arg(i + 1).arg(Q(recent[i])));
    a->setEnabled(form_->RecentEnabled());
    connect(a, &QAction::triggered, this, [this, i] { form_->OpenRecent(i); });
  }
  recentMenu_->setEnabled(!recent.empty());
}

void TFNastr::ShowGuide(const std::string& path) {
  if (!guide_) {
    guide_ = new QDialog(this);
    guide_->setWindowTitle(Q("Руководство пользователя"));
    auto* layout = new QVBoxLayout(guide_);
    auto* browser = new QTextBrowser(guide_);
    browser->setOpenExternalLinks(true);
    layout->addWidget(browser);
    const QRect area = screen() ? screen()->availableGeometry() : QRect(0, 0, 1366, 768);
    guide_->resize(qMin(960, area.width() - 40), qMin(700, area.height() - 60));
  }
  auto* browser = guide_->findChild<QTextBrowser*>();
  // The built-in guide is a resource: its pictures are found beside it, in the resource.
  const QString file = Q(path);
  const QUrl source = file.startsWith(":/") ? QUrl("qrc" + file) : QUrl::fromLocalFile(file);
  browser->setSource(source, QTextDocument::MarkdownResource);
  guide_->show();
  guide_->raise();
  guide_->activateWindow();
}

// The first local document file among the dragged URLs, empty when there is none.
static QString DroppedDocument(const QMimeData* mime) {
  if (!mime || !mime->hasUrls()) return {};
  for (const QUrl& url : mime->urls())
    if (url.isLocalFile() && IsDocumentPath(S(url.toLocalFile()))) return url.toLocalFile();
  return {};
}

void TFNastr::dragEnterEvent(QDragEnterEvent* event) {
  if (!DroppedDocument(event->mimeData()).isEmpty() && !form_->Running()) event->acceptProposedAction();
}

void TFNastr::dropEvent(QDropEvent* event) {
  const QString path = DroppedDocument(event->mimeData());
  if (path.isEmpty()) return;
  event->acceptProposedAction();
  // The load may ask questions and open windows: it runs once the drop has finished.
  QTimer::singleShot(0, this, [this, path] { form_->OpenDocumentPath(S(path)); });
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

void TFNastr::CloseMainWindow() { close(); }

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
    const QRect g = normalGeometry().isValid() ? normalGeometry() : geometry();
    (void)WriteWindowPlace(settingsPath_, {g.x(), g.y(), g.width(), g.height(), isMaximized()});
    event->accept();
  } else {
    event->ignore();
  }
}

}  // namespace r770
