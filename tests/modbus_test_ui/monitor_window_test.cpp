// "Монитор карты" against the simulator's Modbus/TCP server: reached from the main window's
// menu once a document exists, the table of every entry by name, values arriving while the
// window runs its event loop, a trend plotted, the filters, a coil command after the
// confirmation, start and stop; the window modeless beside the main window, following the
// document; the trend's gaps; recording in either dialect; the window at 1024x600.
#include "ui/monitor_window.h"

#include <QAction>
#include <QApplication>
#include <QChartView>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTableWidget>
#include <QtTest>
#include <atomic>
#include <filesystem>
#include <memory>
#include <set>

#include "fake_dialogs.h"
#include "modbus_server.h"
#include "temp_dir.h"
#include "ui/main_window.h"
#include "ui/qt_support.h"

using namespace r770;

namespace {

// The simulator's Modbus/TCP server publishing what the configuration maps, as if the
// document had been written into the module; settings hold the test link to it.
struct Simulator {
  std::unique_ptr<sim::ModbusServer> server;
  ProgramSettings settings;
  std::string error;

  explicit Simulator(const Configuration& cfg, std::set<std::uint16_t> silent = {}) {
    const int tables[] = {sim::kMapCoils, sim::kMapDiscreteInputs, sim::kMapHoldingRegisters,
                          sim::kMapInputRegisters};  // by MapKind
    sim::ModbusMaps maps;
    for (MapKind k : kAllMapKinds)
      for (const MapEntry& e : cfg.Map(k))
        if (!e.IsEmpty())
          maps[static_cast<std::size_t>(tables[static_cast<int>(k)])].push_back(
              {e.ModuleNo, e.ParamNo, e.ModbusAddr});
    sim::ModbusServerOptions o;
    o.port = 0;
    o.fixed = true;
    o.silent = std::move(silent);
    server = std::make_unique<sim::ModbusServer>(o, [maps] { return maps; });
    if (!server->Start(error)) return;
    settings.IP_AdrTest = "127.0.0.1";
    settings.PortTcpTest = static_cast<std::uint16_t>(server->Port());
    settings.TimeAnswerTest = 1;
  }
};

// The program's transport with a switch: while down_ is set nothing gets through, as when
// the module is switched off.
class SwitchableTransport final : public ModbusTransport {
 public:
  explicit SwitchableTransport(std::shared_ptr<std::atomic<bool>> down) : down_(std::move(down)) {}
  bool Connect(const std::string& host, std::uint16_t port, int timeoutMs) override {
    return !*down_ && tcp_.Connect(host, port, timeoutMs);
  }
  bool Connected() const override { return tcp_.Connected(); }
  bool Send(std::span<const std::uint8_t> frame) override {
    if (!*down_) return tcp_.Send(frame);
    tcp_.Close();
    return false;
  }
  ReceiveResult Receive(std::span<std::uint8_t> data, int timeoutMs) override {
    return tcp_.Receive(data, timeoutMs);
  }
  void Close() override { tcp_.Close(); }

 private:
  std::shared_ptr<std::atomic<bool>> down_;
  TcpModbusTransport tcp_;
};

// A settings file naming the database folders (made in dir) and the test link of settings.
std::string WriteSettingsFile(const test::TempDir& dir, const ProgramSettings& settings) {
  const std::string ini = dir.File("r770cfg.ini");
  const std::string root = dir.File("L8");
  for (const char* sub : {"/ALG", "/MOD", "/TASK"}) std::filesystem::create_directories(root + sub);
  test::WriteFileBytes(
      ini, "[BaseL8]\r\nWay=" + root + "\r\nWayAlg=" + root + "/ALG\r\nWayMod=" + root +
               "/MOD\r\nWayTask=" + root + "/TASK\r\n[ModbusTest]\r\nIP_AdrTest=" + settings.IP_AdrTest +
               "\r\nPortTcpTest=" + std::to_string(settings.PortTcpTest) + "\r\nTimeAnswerTest=1\r\n");
  return ini;
}

}  // namespace

class MonitorWindowTest : public QObject {
  Q_OBJECT

 private slots:
  // The coil command's question: No is the default button, so Enter never switches a coil.
  void coilQuestionAnswersNoOnEnter() {
    QtDialogs dialogs;
    bool defaultNo = false, answered = false;
    int ticks = 0;
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box && box->isVisible()) {
        poll.stop();
        defaultNo = box->defaultButton() == box->button(QMessageBox::No);
        answered = true;
        QTest::keyClick(box, Qt::Key_Return);
        if (box->isVisible()) box->done(QMessageBox::Yes);  // Enter did not answer: fail below
      } else if (++ticks > 500) {
        // Given up after about 5 s: every box goes, so that the test fails instead of hanging.
        poll.stop();
        for (QWidget* w : QApplication::topLevelWidgets())
          if (auto* b = qobject_cast<QMessageBox*>(w)) b->done(QMessageBox::Yes);
      }
    });
    poll.start(10);
    const bool yes = dialogs.ConfirmDefaultNo("Отправить команду?");
    QVERIFY2(answered, "the question never appeared");
    QVERIFY(defaultNo);
    QVERIFY(!yes);
  }

  void menuItemWaitsForADocument() {
    test::TempDir dir;
    const std::string ini = dir.File("r770cfg.ini");
    const std::string root = dir.File("L8");
    for (const char* sub : {"/ALG", "/MOD", "/TASK"}) std::filesystem::create_directories(root + sub);
    test::WriteFileBytes(ini, "[BaseL8]\r\nWay=" + root + "\r\nWayAlg=" + root + "/ALG\r\nWayMod=" + root +
                                  "/MOD\r\nWayTask=" + root + "/TASK\r\n");
    TFNastr w(ini);
    w.show();
    QTRY_VERIFY(!w.windowTitle().isEmpty());
    QAction* monitor = w.Action(MainCommand::ModbusMonitor);
    QVERIFY(monitor);
    QCOMPARE(monitor->text().remove(QChar('&')), QString::fromUtf8("Монитор карты"));
    // In the menu "Тест связи по Modbus", beside "Чтение по Modbus".
    QCOMPARE(monitor->associatedObjects(), w.Action(MainCommand::ModbusTestRead)->associatedObjects());
    QVERIFY(!monitor->isEnabled());
    w.Action(MainCommand::New)->trigger();
    QVERIFY(monitor->isEnabled());
    QVERIFY(w.findChild<MonitorWindow*>());
  }

  void monitorAgainstTheSimulator() {
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    Configuration cfg;
    cfg.CreateMaps();
    cfg.Map(MapKind::TU)[0] = {5, 0x0101, 1, "Пуск насоса/Насосная(05)", 1};
    cfg.Map(MapKind::TU)[1] = {5, 0x0102, 1, "Стоп насоса/Насосная(05)", 2};
    cfg.Map(MapKind::TC)[0] = {5, 0x0103, 1, "Авария насоса/Насосная(05)", 1};
    cfg.Map(MapKind::TIFloat)[0] = {5, 0x0201, 1, "Давление/Насосная(05)", 100};
    cfg.Map(MapKind::TIFloat)[1] = {5, 0x0202, 1, "Расход/Насосная(05)", 102};
    cfg.Map(MapKind::InputReg)[0] = {5, 0x0203, 1, "Уровень/Насосная(05)", 200};
    Simulator module(cfg);
    QVERIFY2(module.error.empty(), module.error.c_str());
    sim::ModbusServer& server = *module.server;
    test::FakeDialogs dialogs;
    {
      MonitorWindow win(cfg, module.settings, dialogs, nullptr);
      QCOMPARE(win.windowTitle(), QString::fromUtf8("Монитор карты"));
      QStringList titles;
      for (int c = 0; c < win.Table()->columnCount(); ++c)
        titles << win.Table()->horizontalHeaderItem(c)->text();
      QCOMPARE(titles, QStringList({QString::fromUtf8("График"), QString::fromUtf8("Карта"),
                                    QString::fromUtf8("№"), QString::fromUtf8("Адрес Modbus"),
                                    QString::fromUtf8("Параметр"), QString::fromUtf8("Значение"),
                                    QString::fromUtf8("Время изменения"), QString::fromUtf8("Примечание")}));
      win.Prepare();
      win.show();
      QCOMPARE(win.Table()->rowCount(), 6);
      QCOMPARE(win.Table()->item(3, 4)->text(), QString::fromUtf8("Давление/Насосная(05)"));
      QCOMPARE(win.Table()->item(3, 5)->text(), QString());
      QCOMPARE(win.PeriodEdit()->text(), QString("1000"));
      QCOMPARE(win.StartButton()->text(), QString::fromUtf8("Пуск"));

      win.PeriodEdit()->setText("100");
      win.StartButton()->click();
      QCOMPARE(win.StartButton()->text(), QString::fromUtf8("Стоп"));
      QVERIFY(!win.PeriodEdit()->isEnabled());
      // The values come while the window keeps running its event loop.
      QTRY_COMPARE(win.Table()->item(3, 5)->text(), QString::fromUtf8("100,2500"));
      QCOMPARE(win.Table()->item(5, 5)->text(), QString::fromUtf8("200,5000"));
      QCOMPARE(win.Table()->item(0, 5)->text(), QString("1"));
      QCOMPARE(win.Table()->item(3, 7)->text(), QString());
      QVERIFY(win.StatusLabel()->text().startsWith(QString::fromUtf8("Циклов: ")));
      QVERIFY(win.StatusLabel()->text().contains(QString::fromUtf8("запросов за цикл: 4")));

      // A trend ticked in the table gets its series and samples.
      QTableWidgetItem* trend = win.Table()->item(3, 0);
      QVERIFY(trend->flags() & Qt::ItemIsUserCheckable);
      QVERIFY(!(win.Table()->item(0, 0)->flags() & Qt::ItemIsUserCheckable));  // a coil
      trend->setCheckState(Qt::Checked);
      QCOMPARE(win.Form().TrendPoints(), std::vector<int>{3});
      QTRY_VERIFY(win.Series(3) && win.Series(3)->count() >= 3);
      QCOMPARE(win.Series(3)->at(0).y(), 100.25);
      QCOMPARE(win.Series(3)->name(), QString::fromUtf8("100 Давление/Насосная(05)"));

      // Filters.
      win.MapFilter()->setCurrentIndex(3);  // Holding Registers
      QCOMPARE(win.Table()->rowCount(), 2);
      win.TextFilter()->setText(QString::fromUtf8("расход"));
      QCOMPARE(win.Table()->rowCount(), 1);
      QCOMPARE(win.Table()->item(0, 3)->text(), QString("102"));
      win.MapFilter()->setCurrentIndex(0);
      win.TextFilter()->clear();
      QCOMPARE(win.Table()->rowCount(), 6);

      // A coil command: refused, then confirmed.
      win.Table()->setCurrentCell(1, 4);
      QVERIFY(win.CoilOnButton()->isEnabled());
      dialogs.confirmAnswers = {false};
      win.CoilOnButton()->click();
      QCOMPARE(dialogs.Last(),
               std::string("Отправить команду в Coil 2 (параметр \"Стоп насоса/Насосная(05)\"): "
                           "включить (1)?"));
      QVERIFY(!server.WrittenCoil(2).has_value());
      dialogs.confirmAnswers = {true};
      win.CoilOnButton()->click();
      QTRY_VERIFY(server.WrittenCoil(2).has_value());
      QCOMPARE(*server.WrittenCoil(2), true);
      QTRY_COMPARE(win.Table()->item(1, 5)->text(), QString("1"));
      win.Table()->setCurrentCell(3, 4);
      QVERIFY(!win.CoilOnButton()->isEnabled());

      win.StartButton()->click();
      QCOMPARE(win.StartButton()->text(), QString::fromUtf8("Пуск"));
      QVERIFY(win.StatusLabel()->text().startsWith(QString::fromUtf8("Остановлен. Циклов: ")));
      win.close();
    }
    QLocale::setDefault(QLocale::c());
  }

  // Opened from the main window the monitor stays beside it, and a change of the document (an
  // editor closing, "Новый") restarts its plan with the new maps.
  void modelessBesideTheMainWindowFollowsTheDocument() {
    QLocale::setDefault(QLocale::c());
    Configuration mapped;
    mapped.CreateMaps();
    const MapEntry pressure = {5, 0x0201, 1, "Давление/Насосная(05)", 100};
    mapped.Map(MapKind::TIFloat)[0] = pressure;
    Simulator module(mapped);
    QVERIFY2(module.error.empty(), module.error.c_str());
    test::TempDir dir;
    test::FakeDialogs dialogs;
    TFNastr w(WriteSettingsFile(dir, module.settings), dialogs);
    w.show();
    QTRY_VERIFY(!w.windowTitle().isEmpty());
    w.Action(MainCommand::New)->trigger();
    auto* monitor = w.findChild<MonitorWindow*>();
    QVERIFY(monitor);
    w.Action(MainCommand::ModbusMonitor)->trigger();  // returns at once
    QVERIFY(monitor->isVisible());
    QVERIFY(!monitor->isModal());
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
    QCOMPARE(monitor->Table()->rowCount(), 0);
    monitor->PeriodEdit()->setText("100");
    monitor->StartButton()->click();
    QTRY_VERIFY(monitor->Form().Cycles() > 0);

    // An editor (standing in for "Holding Registers") places an entry and closes.
    w.SetOpener(MainCommand::HoldingRegisters,
                [&w, pressure] { w.Form().Config().Map(MapKind::TIFloat)[0] = pressure; });
    w.Action(MainCommand::HoldingRegisters)->trigger();
    QCOMPARE(monitor->Table()->rowCount(), 1);
    QCOMPARE(monitor->Table()->item(0, 4)->text(), QString::fromUtf8("Давление/Насосная(05)"));
    QVERIFY(monitor->Form().Running());
    QVERIFY2(
        monitor->StatusLabel()->text().contains(QString::fromUtf8("карты изменены, опрос начат заново в ")),
        qPrintable(monitor->StatusLabel()->text()));
    QTRY_COMPARE(monitor->Table()->item(0, 5)->text(), QString("100.2500"));
    // A window opened again is brought to the front, still polling.
    w.Action(MainCommand::ModbusMonitor)->trigger();
    QVERIFY(monitor->Form().Running());

    // "Новый" replaces the document: its empty maps are polled from now on.
    w.Action(MainCommand::New)->trigger();
    QCOMPARE(monitor->Table()->rowCount(), 0);
    QVERIFY(monitor->Form().Points().empty());
    monitor->close();
    QVERIFY(!monitor->Form().Running());
  }

  // The module switched off and on: the trend has a gap, the error counter counts the whole
  // run; at 1024x600 the status line scrolls and the note column is as wide as its notes.
  void outageBreaksTheTrendAndTheWindowFits1024x600() {
    QLocale::setDefault(QLocale::c());
    Configuration cfg;
    cfg.CreateMaps();
    cfg.Map(MapKind::TIFloat)[0] = {5, 0x0201, 1, "Давление/Насосная(05)", 100};
    cfg.Map(MapKind::InputReg)[0] = {5, 0x0203, 1, "Уровень/Насосная(05)", 200};
    Simulator module(cfg);
    QVERIFY2(module.error.empty(), module.error.c_str());
    auto down = std::make_shared<std::atomic<bool>>(false);
    test::FakeDialogs dialogs;
    MonitorWindow win(cfg, module.settings, dialogs, nullptr,
                      [down] { return std::make_unique<SwitchableTransport>(down); });
    QVERIFY(win.minimumSizeHint().width() <= 1024);
    QVERIFY(win.minimumSizeHint().height() <= 600);
    win.resize(1024, 600);
    win.Prepare();
    win.show();
    win.Table()->item(0, 0)->setCheckState(Qt::Checked);
    win.PeriodEdit()->setText("100");
    win.StartButton()->click();
    QTRY_VERIFY(win.Series(0) && win.Series(0)->count() >= 2);
    *down = true;
    QTRY_VERIFY(win.Form().TotalErrors() >= 4);
    QVERIFY(!win.Table()->item(0, 7)->text().isEmpty());
    const long long during = win.Form().TotalErrors();
    QVERIFY(win.StatusLabel()->text().contains(QString::fromUtf8("ошибок: ") + QString::number(during)));
    // The note is shown whole (the table scrolls sideways instead).
    const QFontMetrics metrics(win.Table()->font());
    QVERIFY(win.Table()->columnWidth(7) >= metrics.horizontalAdvance(win.Table()->item(0, 7)->text()));
    // So is the status line, in its scroll area at the window's foot.
    QLabel* status = win.StatusLabel();
    QScrollArea* area = win.StatusArea();
    QVERIFY(area->isVisible());
    QVERIFY(area->geometry().bottom() < win.height());
    QVERIFY(area->viewport()->height() >= status->sizeHint().height());
    QFont large = status->font();
    large.setPointSizeF(large.pointSizeF() * 4);  // the line wider than the window
    status->setFont(large);
    QTRY_VERIFY(area->horizontalScrollBar()->maximum() > 0);
    QVERIFY(status->width() >= status->sizeHint().width());
    status->setFont(win.font());

    *down = false;  // reconnected after the pause
    QTRY_VERIFY_WITH_TIMEOUT(win.SeriesRuns(0).size() == 2 && win.SeriesRuns(0)[1]->count() >= 1, 10000);
    const std::vector<QLineSeries*> runs = win.SeriesRuns(0);
    QVERIFY(runs[0]->at(runs[0]->count() - 1).x() < runs[1]->at(0).x());
    QCOMPARE(runs[1]->pen().color(), runs[0]->pen().color());
    QCOMPARE(runs[1]->at(0).y(), 100.25);
    QTRY_VERIFY(win.Table()->item(0, 5)->text() == QString("100.2500"));
    QVERIFY(win.Form().TotalErrors() >= during);  // the errors of the outage stay counted
    QVERIFY(win.StatusLabel()->text().contains(QString::fromUtf8("ошибок: ") +
                                               QString::number(win.Form().TotalErrors())));
    win.close();
  }

  // "Запись в файл": the dialect chosen in the window, remembered in the settings file; a
  // name without an extension gets ".csv".
  void recordingInTheChosenDialectIsRemembered() {
    QLocale::setDefault(QLocale::c());
    Configuration cfg;
    cfg.CreateMaps();
    cfg.Map(MapKind::TIFloat)[0] = {5, 0x0201, 1, "Давление/Насосная(05)", 100};
    Simulator module(cfg);
    QVERIFY2(module.error.empty(), module.error.c_str());
    test::TempDir dir;
    module.settings.Path = WriteSettingsFile(dir, module.settings);
    test::FakeDialogs dialogs;
    {
      MonitorWindow win(cfg, module.settings, dialogs, nullptr);
      win.Prepare();
      QCOMPARE(win.DialectChoice()->count(), 2);
      QCOMPARE(win.DialectChoice()->currentIndex(), 0);
      win.DialectChoice()->setCurrentIndex(1);
    }
    QVERIFY(test::ReadFileBytes(module.settings.Path).find("[Monitor]\r\nCsvDialect=ru") !=
            std::string::npos);
    MonitorWindow win(cfg, module.settings, dialogs, nullptr);
    win.Prepare();
    win.show();
    QCOMPARE(win.DialectChoice()->currentIndex(), 1);
    dialogs.fileAnswers.push_back(dir.File("запись"));
    win.RecordButton()->click();
    QVERIFY(!win.DialectChoice()->isEnabled());  // not while recording
    QCOMPARE(win.Form().RecordPath(), dir.File("запись.csv"));
    win.PeriodEdit()->setText("100");
    win.StartButton()->click();
    QTRY_VERIFY(win.Form().Cycles() >= 1);
    win.RecordButton()->click();
    QVERIFY(win.DialectChoice()->isEnabled());
    const std::string text = test::ReadFileBytes(dir.File("запись.csv"));
    QVERIFY(text.rfind("\xEF\xBB\xBFВремя;Карта;Адрес;Параметр;Значение;Примечание\r\n", 0) == 0);
    QVERIFY2(text.find(";hr;100;Давление/Насосная(05);100,2500;\r\n") != std::string::npos, text.c_str());
    win.close();
  }

  // A module that never answers for the Holding Registers: the window goes on with its event
  // loop while the worker waits, the unanswered request goes last, the others get values.
  void silentAddressKeepsTheWindowAndTheOtherEntries() {
    QLocale::setDefault(QLocale::c());
    Configuration cfg;
    cfg.CreateMaps();
    cfg.Map(MapKind::TU)[0] = {5, 0x0101, 1, "Пуск/Насосная(05)", 1};
    cfg.Map(MapKind::TIFloat)[0] = {5, 0x0201, 1, "Давление/Насосная(05)", 100};
    cfg.Map(MapKind::InputReg)[0] = {5, 0x0203, 1, "Уровень/Насосная(05)", 200};
    Simulator module(cfg, {100});
    QVERIFY2(module.error.empty(), module.error.c_str());
    test::FakeDialogs dialogs;
    MonitorWindow win(cfg, module.settings, dialogs, nullptr);
    win.Prepare();
    win.show();
    win.PeriodEdit()->setText("100");
    win.StartButton()->click();
    QCOMPARE(win.StartButton()->text(), QString::fromUtf8("Стоп"));
    QTRY_COMPARE_WITH_TIMEOUT(win.Table()->item(2, 5)->text(), QString("200.5000"), 10000);
    QCOMPARE(win.Table()->item(0, 5)->text(), QString("1"));
    QCOMPARE(win.Table()->item(1, 5)->text(), QString());
    QCOMPARE(win.Table()->item(1, 7)->text(), QString::fromUtf8("Нет ответа от устройства (код ошибки 0)"));
    win.StartButton()->click();
    QCOMPARE(win.StartButton()->text(), QString::fromUtf8("Пуск"));
    win.close();
  }
};

QTEST_MAIN(MonitorWindowTest)
#include "monitor_window_test.moc"
