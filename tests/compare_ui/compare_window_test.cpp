// The comparison window wired to its form model: opened from the exchange window against an
// in-process r770-sim ("Сравнить с модулем", "Записать документ в модуль", "Взять из модуля")
// and for a document file (the file choice answered by the Dialogs fake).
#include "ui/compare_window.h"

#include <QApplication>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QtTest>
#include <functional>

#include "document/configuration.h"
#include "document/document_file.h"
#include "document/program_settings.h"
#include "fake_dialogs.h"
#include "ft12_server.h"
#include "loopback_settings.h"
#include "sim_module.h"
#include "temp_dir.h"
#include "ui/exchange_window.h"

using namespace r770;

namespace {
QString U(const char* s) { return QString::fromUtf8(s); }
QString U(const std::string& s) { return QString::fromStdString(s); }

// Runs action on the comparison window once it is shown (it is modal: the caller's trigger
// returns only when the window has closed).
void WhenCompareShown(std::function<void(CompareWindow*)> action, int triesLeft = 500) {
  QTimer::singleShot(10, [=] {
    auto* w = qobject_cast<CompareWindow*>(QApplication::activeModalWidget());
    if (w && w->isVisible())
      action(w);
    else if (triesLeft > 0)
      WhenCompareShown(action, triesLeft - 1);
    else
      QFAIL("the comparison window did not appear");
  });
}

// The rows of the table, "where|left|right", titles alone.
QStringList Rows(QTableWidget* t) {
  QStringList out;
  for (int r = 0; r < t->rowCount(); ++r) {
    QString line = t->item(r, 0)->text();
    if (t->columnSpan(r, 0) == 1) line += "|" + t->item(r, 1)->text() + "|" + t->item(r, 2)->text();
    out << line;
  }
  return out;
}
}  // namespace

class CompareWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void withTheModuleWriteAndTake();
  void withAFile();
};

void CompareWindowTest::withTheModuleWriteAndTake() {
  sim::SimBus bus;
  bus.Add(0x01, 0x1101);
  sim::Ft12ServerOptions options;
  options.port = 0;
  sim::Ft12Server server(bus, options);
  std::string error;
  QVERIFY2(server.Start(&error), error.c_str());
  test::TempDir dir;
  ProgramSettings settings = test::LoopbackSettings(dir.File("r770cfg.ini"), server.Port(), 0x01);

  Configuration config;
  config.ResetForNew();
  config.State.IsNew = true;
  config.Common.trepeat = 7;
  config.Map(MapKind::TU)[2] = MapEntry{0x07, 0x0F01, 1, "Насос", 12};

  test::FakeDialogs dialogs;  // the restart question after a write: No
  TFObmen w(config, settings, nullptr, &dialogs, SystemClock(), dir.path());
  std::vector<bool> menuUpdates;
  w.onUpdateDocumentMenus = [&](bool n) { menuUpdates.push_back(n); };
  w.show();
  QTRY_VERIFY(w.Form().Shown());
  QCOMPARE(w.CompareItem()->text().remove(QChar('&')), U("Сравнить с модулем"));
  QVERIFY(w.CompareItem()->isEnabled());

  // The module holds nothing of the document yet; the window's write puts it there.
  bool writeShown = false, takeShown = false, equalAfterWrite = false;
  QStringList before;
  WhenCompareShown([&](CompareWindow* c) {
    QCOMPARE(c->windowTitle(), U("Сравнение с модулем R-770 TCP/Modbus"));
    QCOMPARE(c->Table()->horizontalHeaderItem(2)->text(), U("Модуль"));
    before = Rows(c->Table());
    writeShown = c->WriteButton()->isVisible() && c->WriteButton()->text() == U("Записать документ в модуль");
    takeShown = c->TakeButton()->isVisible() && c->TakeButton()->text() == U("Взять из модуля");
    QTest::mouseClick(c->WriteButton(), Qt::LeftButton);
    equalAfterWrite = c->StatusLine()->text() == U("Одинаково");
    QVERIFY(!c->TakeButton()->isEnabled());  // nothing left to take
    c->close();
  });
  w.CompareItem()->trigger();
  QVERIFY(writeShown && takeShown);
  QVERIFY2(before.contains(U("Контроллеры")), qPrintable(before.join("\n")));
  QVERIFY(before.contains(U("Не сравниваются: модуль не хранит список контроллеров")));
  QVERIFY(before.contains(U("Общие настройки")) && before.contains(U("Holding Registers")));
  QVERIFY2(before.contains(U("строка 3|адрес 12, модуль 07, параметр 0F01, Насос|Нет параметра")),
           qPrintable(before.join("\n")));
  QVERIFY(equalAfterWrite);
  QCOMPARE(w.StatusLine()->text(), U("Чтение завершено"));  // the read back after the write
  QVERIFY(menuUpdates.empty());

  // The document changes; "Взять из модуля" takes the module's value back after the question.
  config.Common.trepeat = 9;
  config.ClearAllChanged();
  dialogs.confirmAnswers = {true};
  QString afterTake;
  QStringList differing;
  WhenCompareShown([&](CompareWindow* c) {
    differing = Rows(c->Table());
    QVERIFY(c->TakeButton()->isEnabled());
    QTest::mouseClick(c->TakeButton(), Qt::LeftButton);
    afterTake = c->StatusLine()->text();
    c->reject();
  });
  w.CompareItem()->trigger();
  QVERIFY2(differing.contains(U("Период опроса|9 с|7 с")), qPrintable(differing.join("\n")));
  QCOMPARE(afterTake, U("Конфигурация документа взята из модуля"));
  QCOMPARE(config.Common.trepeat, 7);
  QVERIFY(config.State.CommonChanged);
  QCOMPARE(menuUpdates, std::vector<bool>{false});  // the main window redraws the document
  w.close();
}

void CompareWindowTest::withAFile() {
  test::TempDir dir;
  Configuration document, other;
  for (Configuration* c : {&document, &other}) {
    c->ResetForNew();
    c->State.IsNew = true;
  }
  other.Common.AdrExt = 0x11;
  other.SetAllChanged();
  struct : DocumentView {
    void ProgressStep() override {}
    void PumpEvents() override {}
    void Information(const std::string& t) override { QFAIL(t.c_str()); }
    void SetStatus(const std::string&) override {}
    void OpenControllerEditor() override {}
  } view;
  const std::string path = dir.File("other.bmt");
  QVERIFY(SaveDocument(other, path, view));

  ProgramSettings settings;
  test::FakeDialogs dialogs;
  dialogs.fileAnswers = {path};
  QStringList rows;
  bool takeHidden = false, writeHidden = false;
  QString title;
  WhenCompareShown([&](CompareWindow* c) {
    title = c->windowTitle();
    rows = Rows(c->Table());
    takeHidden = c->TakeButton()->isHidden();
    writeHidden = c->WriteButton()->isHidden();
    QTest::mouseClick(c->CloseButton(), Qt::LeftButton);
  });
  OpenFileComparison(document, settings, dialogs, dir.path(), nullptr, nullptr);
  QCOMPARE(dialogs.lastStart, dir.path());
  QCOMPARE(title, U("Сравнение с файлом " + path));
  QVERIFY2(rows.contains(U("Адрес Modbus|00|11")), qPrintable(rows.join("\n")));
  QVERIFY(takeHidden);
  QVERIFY(writeHidden);  // no exchange window to write through

  // A cancelled choice opens no window.
  dialogs.fileAnswers = {std::nullopt};
  OpenFileComparison(document, settings, dialogs, dir.path(), nullptr, nullptr);
  QVERIFY(QApplication::activeModalWidget() == nullptr);
}

QTEST_MAIN(CompareWindowTest)
#include "compare_window_test.moc"
