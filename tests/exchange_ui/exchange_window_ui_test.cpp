// TFObmen wired to its form model, against an in-process r770-sim: open, search, write (with
// an abort through the "Прервать" button), read, close.
#include <QCheckBox>
#include <QClipboard>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QtTest>

#include "common/ini_file.h"
#include "document/configuration.h"
#include "document/program_settings.h"
#include "fake_dialogs.h"
#include "ft12_server.h"
#include "link/module_commands.h"
#include "loopback_settings.h"
#include "sim_module.h"
#include "temp_dir.h"
#include "ui/exchange_settings_window.h"
#include "ui/exchange_window.h"

using namespace r770;

namespace {
QString U(const char* s) { return QString::fromUtf8(s); }

// The link to the simulator on this machine, with its shortest waits.
ProgramSettings EthernetSettings(const test::TempDir& dir, int port, std::uint8_t net) {
  return test::LoopbackSettings(dir.File("r770cfg.ini"), port, net);
}

// Simulated modules served over TCP on a free port of this machine (started by the test).
struct LoopbackBus {
  static sim::Ft12ServerOptions AnyPort() {
    sim::Ft12ServerOptions options;
    options.port = 0;
    return options;
  }
  sim::SimBus bus;
  sim::Ft12Server server{bus, AnyPort()};
};
}  // namespace

class ExchangeWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void openSearchWriteReadClose();
  void searchPaintsTheProgressAfterEveryProbe();
  void moduleAddressTakenFromTheDocumentIsReached();
};

namespace {
// Records the value a progress bar shows each time it is painted.
class PaintRecorder : public QObject {
 public:
  explicit PaintRecorder(QProgressBar* bar) : bar_(bar) { bar->installEventFilter(this); }
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == bar_ && event->type() == QEvent::Paint) values.push_back(bar_->value());
    return false;
  }
  std::vector<int> values;

 private:
  QProgressBar* bar_;
};
}  // namespace

void ExchangeWindowTest::searchPaintsTheProgressAfterEveryProbe() {
  LoopbackBus modules;
  modules.bus.Add(0x02, 0x1101);
  std::string error;
  QVERIFY2(modules.server.Start(&error), error.c_str());
  test::TempDir dir;
  ProgramSettings settings = EthernetSettings(dir, modules.server.Port(), 0x01);
  Configuration config;
  test::FakeDialogs dialogs;
  TFObmen w(config, settings, nullptr, &dialogs, SystemClock(), dir.path());
  w.show();
  QTRY_VERIFY(w.Form().Shown());
  w.SearchItem()->trigger();
  QTest::mouseClick(w.RangeSwitch(), Qt::LeftButton);
  w.RangeField(1)->setFocus();
  w.RangeField(1)->selectAll();
  QTest::keyClicks(w.RangeField(1), "3");
  w.RangeField(0)->setFocus();
  QCOMPARE(w.RangeField(1)->text(), U("03"));
  PaintRecorder painted(w.Progress());
  // The probes of 01 and 03 wait out the answer time: the bar must show each step meanwhile.
  QTest::mouseClick(w.ActionButton(), Qt::LeftButton);
  QCOMPARE(w.StatusLine()->text(), U("Поиск завершен"));
  for (int step : {1, 2, 3})
    QVERIFY2(std::find(painted.values.begin(), painted.values.end(), step) != painted.values.end(),
             qPrintable(QString("step %1 was never painted").arg(step)));
  w.close();
}

// A module moved to another address: "Настройка обмена" takes the document's address and
// port, checks an edited address, stores them, and the exchange window reaches the module.
void ExchangeWindowTest::moduleAddressTakenFromTheDocumentIsReached() {
  LoopbackBus modules;
  modules.bus.Add(0x01, 0x1101);
  std::string error;
  QVERIFY2(modules.server.Start(&error), error.c_str());

  test::TempDir dir;
  const std::string ini = dir.File("r770cfg.ini");
  ProgramSettings settings = EthernetSettings(dir, 51960, 0x01);
  settings.ModuleIP = "192.168.0.1";  // where the module was before
  Configuration config;
  config.ResetForNew();
  config.Common.AdrIP = {127, 0, 0, 1};
  config.Common.AdrPort = static_cast<std::uint16_t>(modules.server.Port());
  test::FakeDialogs dialogs;

  TFNastrObm settingsWindow(dialogs, settings, ini, nullptr, &config);
  settingsWindow.Prepare();
  settingsWindow.show();
  QVERIFY(settingsWindow.EthernetGroup()->isVisible());
  QVERIFY(!settingsWindow.IP()->isReadOnly() && !settingsWindow.Port()->isReadOnly());
  QCOMPARE(settingsWindow.IP()->text(), U("192.168.0.1"));
  QCOMPARE(settingsWindow.Port()->text(), U("CAF8"));
  QCOMPARE(settingsWindow.FromDocumentButton()->text(), U("Взять из документа"));

  // A typed address the common settings editor would refuse: a message, the focus on it.
  settingsWindow.IP()->setFocus();
  settingsWindow.IP()->selectAll();
  QTest::keyClicks(settingsWindow.IP(), "127.0.0.300");
  settingsWindow.AnswerTime()->setFocus();
  QTest::mouseClick(settingsWindow.ApplyButton(), Qt::LeftButton);
  QCOMPARE(dialogs.shown, std::vector<std::string>{"Неправильно введен адрес IP."});
  QVERIFY(settingsWindow.isVisible());
  QCOMPARE(settingsWindow.focusWidget(), static_cast<QWidget*>(settingsWindow.IP()));
  QCOMPARE(settings.ModuleIP, std::string("192.168.0.1"));

  QTest::mouseClick(settingsWindow.FromDocumentButton(), Qt::LeftButton);
  QCOMPARE(settingsWindow.IP()->text(), U("127.0.0.1"));
  QCOMPARE(settingsWindow.Port()->text(),
           QString::number(modules.server.Port(), 16).toUpper().rightJustified(4, QLatin1Char('0')));
  QTest::mouseClick(settingsWindow.ApplyButton(), Qt::LeftButton);
  QVERIFY(!settingsWindow.isVisible());
  QCOMPARE(settings.ModuleIP, std::string("127.0.0.1"));
  QCOMPARE(settings.ModulePort, modules.server.Port());
  IniFile file(ini);
  QCOMPARE(file.ReadString("Parametr", "IP", ""), std::string("127.0.0.1"));
  QCOMPARE(file.ReadString("Parametr", "port_TCP", ""), std::to_string(modules.server.Port()));

  dialogs.shown.clear();
  TFObmen w(config, settings, nullptr, &dialogs, SystemClock(), dir.path());
  w.show();
  QTRY_VERIFY(w.Form().Shown());
  QVERIFY(w.Form().LinkOpen());
  QVERIFY(dialogs.shown.empty());
  w.close();
}

void ExchangeWindowTest::openSearchWriteReadClose() {
  LoopbackBus modules;
  sim::SimModule& module = modules.bus.Add(0x01, 0x1101);
  std::string error;
  QVERIFY2(modules.server.Start(&error), error.c_str());

  test::TempDir dir;
  ProgramSettings settings = EthernetSettings(dir, modules.server.Port(), 0x05);
  Configuration config;
  config.ResetForNew();
  config.State.IsNew = true;
  config.Map(MapKind::TU)[2].ModuleNo = 0x07;
  config.Map(MapKind::TU)[2].ParamNo = 0x0F01;
  config.Map(MapKind::TU)[2].ModbusAddr = 12;

  test::FakeDialogs dialogs;
  TFObmen w(config, settings, nullptr, &dialogs, SystemClock(), dir.path());
  std::vector<std::string> mainStatus;
  std::vector<bool> menuUpdates;
  w.onMainStatus = [&](const std::string& s) { mainStatus.push_back(s); };
  w.onUpdateDocumentMenus = [&](bool n) { menuUpdates.push_back(n); };

  // Open: the link is made once the window is up.
  w.show();
  QTRY_VERIFY(w.Form().Shown());
  QVERIFY(w.Form().LinkOpen());
  QVERIFY(dialogs.shown.empty());
  QCOMPARE(w.windowTitle(), U("Обмен с R-770 TCP/Modbus"));
  QCOMPARE(w.SearchItem()->text().remove(QChar('&')), U("Поиск"));
  QCOMPARE(w.WriteItem()->text().remove(QChar('&')), U("Запись в R-770 TCP/Modbus"));
  QCOMPARE(w.ReadItem()->text().remove(QChar('&')), U("Чтение из R-770 TCP/Modbus"));
  QVERIFY(w.SearchItem()->isEnabled() && w.WriteItem()->isEnabled() && w.ReadItem()->isEnabled());
  // Reachable without a mouse: each command has its Alt letter, and F10 opens the bar.
  QCOMPARE(w.SearchItem()->text(), U("&Поиск"));
  QCOMPARE(w.ReadItem()->text(), U("&Чтение из R-770 TCP/Modbus"));
  w.activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(&w));
  auto* bar = w.findChild<QMenuBar*>();
  QTest::keyClick(&w, Qt::Key_F10);
  QCOMPARE(bar->activeAction(), w.SearchItem());
  QTest::keyClick(bar, Qt::Key_Escape);
  QVERIFY(w.isVisible());
  QVERIFY(!w.ActionButton()->isVisible());
  QCOMPARE(w.StatusLine()->text(), U("R-770 TCP/Modbus"));
  QCOMPARE(w.Results()->horizontalHeaderItem(1)->text(), U("Сетевой номер"));
  QCOMPARE(w.Results()->horizontalHeaderItem(2)->text(), U("Устройство"));

  // Search 01..01 after ticking the range switch (clear for Ethernet); keys pass the filter.
  w.SearchItem()->trigger();
  QCOMPARE(w.ActionButton()->text(), U("Найти"));
  QVERIFY(w.RangeField(0)->isVisible() && w.Results()->isVisible());
  QCOMPARE(w.RangeField(0)->text(), U("05"));
  QVERIFY(!w.RangeSwitch()->isChecked());
  QTest::mouseClick(w.RangeSwitch(), Qt::LeftButton);
  QVERIFY(w.Form().RangeSwitch());
  w.RangeField(0)->setFocus();
  w.RangeField(0)->selectAll();
  QTest::keyClicks(w.RangeField(0), "1z");                    // "z" is refused
  QKeyEvent ef(QEvent::KeyPress, 0, Qt::NoModifier, U("ф"));  // the Cyrillic key of A
  QApplication::sendEvent(w.RangeField(0), &ef);
  QTest::keyClicks(w.RangeField(0), "7");  // the field is full
  QCOMPARE(w.RangeField(0)->text(), U("1A"));
  QTest::keyClick(w.RangeField(0), Qt::Key_Backspace);
  QTest::keyClick(w.RangeField(0), Qt::Key_Backspace);
  QTest::keyClicks(w.RangeField(0), U("1"));
  w.RangeField(1)->setFocus();  // leaving the first field pads it
  QCOMPARE(w.RangeField(0)->text(), U("01"));
  w.RangeField(1)->selectAll();
  QGuiApplication::clipboard()->setText(U("z.ф7"));  // a paste is typed: "z" and "." refused
  QTest::keyClick(w.RangeField(1), Qt::Key_V, Qt::ControlModifier);
  QCOMPARE(w.RangeField(1)->text(), U("A7"));
  w.RangeField(1)->selectAll();
  QTest::keyClicks(w.RangeField(1), "1");
  QTest::mouseClick(w.ActionButton(), Qt::LeftButton);
  QCOMPARE(w.StatusLine()->text(), U("Поиск завершен"));
  QCOMPARE(w.Results()->rowCount(), 1);
  QCOMPARE(w.Results()->item(0, 1)->text(), U("01"));
  QCOMPARE(w.Results()->item(0, 2)->text(), U("R-770 TCP/Modbus"));
  QCOMPARE(w.Results()->item(0, 0)->checkState(), Qt::Checked);
  QCOMPARE(int(settings.ModuleNetNumber), 0x01);

  // The status line's double click shows the log in place of the table.
  QTest::mouseDClick(w.StatusLine(), Qt::LeftButton);
  QVERIFY(w.LogView()->isVisible());
  QVERIFY(!w.Results()->isVisible());
  QVERIFY(w.LogView()->toPlainText().contains(U("127.0.0.1")));

  // Write, aborted through "Прервать" while it runs; then written in full.
  w.WriteItem()->trigger();
  QCOMPARE(w.ActionButton()->text(), U("Записать"));
  QVERIFY(!w.AbortButton()->isEnabled());
  bool abortWasEnabled = false;
  QTimer::singleShot(0, &w, [&] {
    abortWasEnabled = w.AbortButton()->isEnabled();
    QTest::mouseClick(w.AbortButton(), Qt::LeftButton);
  });
  QTest::mouseClick(w.ActionButton(), Qt::LeftButton);
  QVERIFY(abortWasEnabled);
  QCOMPARE(w.StatusLine()->text(), U("Запись прервана"));
  QCOMPARE(w.Progress()->value(), 0);
  QVERIFY(!w.AbortButton()->isEnabled());
  QVERIFY(dialogs.shown.empty());

  QCOMPARE(w.RunStateLine()->text(), U("Состояние прибора: Стоп"));  // left so by the abort
  QVERIFY(w.RunButton()->isEnabled() && w.StopButton()->isEnabled());
  dialogs.confirmAnswers = {true};
  QTest::mouseClick(w.ActionButton(), Qt::LeftButton);
  QCOMPARE(w.StatusLine()->text(), U("Запись завершена"));
  QCOMPARE(w.Progress()->value(), 128);
  // The device found stopped is offered its return to work.
  QCOMPARE(dialogs.shown, std::vector<std::string>{kRestartStoppedQuestion});
  QCOMPARE(w.RunStateLine()->text(), U("Состояние прибора: Работа"));
  QCOMPARE(module.RunState(), std::uint8_t{0});
  dialogs.shown.clear();
  QCOMPARE(*module.ElementValue(0x301, 2), 0x07u);
  QCOMPARE(*module.ElementValue(0x305, 2), 0x0F01u);
  QCOMPARE(*module.ElementValue(0x309, 2), 12u);

  // Read: the document becomes the module's.
  w.ReadItem()->trigger();
  QCOMPARE(w.ActionButton()->text(), U("Прочитать"));
  QTest::mouseClick(w.ActionButton(), Qt::LeftButton);
  QCOMPARE(w.StatusLine()->text(), U("Чтение завершено"));
  QVERIFY(config.State.FromModule);
  QCOMPARE(config.Controllers.size(), std::size_t(1));
  QCOMPARE(config.Controllers[0].Nset, 0x07);
  QCOMPARE(mainStatus, std::vector<std::string>{"Прочитаны данные из R-770 TCP/Modbus"});
  QCOMPARE(menuUpdates, std::vector<bool>{false});

  // "Стоп" and "Пуск".
  QCOMPARE(w.StopButton()->text(), U("Стоп"));
  QCOMPARE(w.RunButton()->text(), U("Пуск"));
  QTest::mouseClick(w.StopButton(), Qt::LeftButton);
  QCOMPARE(module.RunState(), std::uint8_t{0x81});
  QCOMPARE(w.StatusLine()->text(), U("Прибор в состоянии \"Стоп\""));
  QCOMPARE(w.RunStateLine()->text(), U("Состояние прибора: Стоп"));
  QTest::mouseClick(w.RunButton(), Qt::LeftButton);
  QCOMPARE(module.RunState(), std::uint8_t{0});
  QCOMPARE(w.RunStateLine()->text(), U("Состояние прибора: Работа"));
  QVERIFY(dialogs.shown.empty());

  // Close: the link goes, the module's number is stored.
  w.close();
  QVERIFY(!w.isVisible());
  QVERIFY(CurrentEngine() == nullptr);
  IniFile ini(settings.Path);
  QCOMPARE(QString::fromStdString(ini.ReadString("Parametr", "SetNR770", "?")), U("01"));
  QCOMPARE(QString::fromStdString(ini.ReadString("Parametr", "AdapterSetn", "?")), U("00"));
}

QTEST_MAIN(ExchangeWindowTest)
#include "exchange_window_ui_test.moc"
