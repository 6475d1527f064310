// The Modbus/TCP test windows are wired to their form models: opened from the main window's
// menu, captions, keys through the models, a refusal in a message box, the results table.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDropEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QtTest>
#include <filesystem>
#include <functional>

#include "common/ini_file.h"
#include "common/modbus_address.h"
#include "document/document_file.h"
#include "fake_dialogs.h"
#include "modal_windows.h"
#include "temp_dir.h"
#include "ui/main_window.h"
#include "ui/modbus_read_window.h"
#include "ui/modbus_settings_window.h"
#include "ui/qt_support.h"

using namespace r770;
using r770::test::WhenModal;

namespace {

QStringList LabelTexts(QWidget* w) {
  QStringList out;
  for (QLabel* l : w->findChildren<QLabel*>()) out << l->text();
  return out;
}

// A module that answers every request with the value 1.0 (swap order) and counts closings.
class OneLink : public ModbusTestLink {
 public:
  int* closes;
  std::vector<std::vector<std::uint8_t>>* sent;
  OneLink(int* c, std::vector<std::vector<std::uint8_t>>* s) : closes(c), sent(s) {}
  bool Open(const TestLinkParams&, std::string& text, TestLogFn log, void* ctx) override {
    log_ = log;
    ctx_ = ctx;
    text = "  OK";
    return true;
  }
  int RawExchange(std::span<const std::uint8_t> request, std::span<std::uint8_t> answer, int& length,
                  std::string& text) override {
    sent->emplace_back(request.begin(), request.end());
    log_(ctx_, ">> request", 0);
    const std::uint8_t a[13] = {0, 0, 0, 0, 0, 7, 1, 3, 4, 0x00, 0x00, 0x3F, 0x80};
    std::copy(std::begin(a), std::end(a), answer.begin());
    length = 13;
    text = "  OK";
    return 0;
  }
  void Close() override { ++*closes; }

 private:
  TestLogFn log_ = nullptr;
  void* ctx_ = nullptr;
};

// The reading window on a OneLink module, prepared as the menu prepares it.
struct ReadWindow {
  test::FakeDialogs dialogs;
  ProgramSettings settings;
  int closes = 0;
  std::vector<std::vector<std::uint8_t>> sent;
  TFReadModbus_r770 win{dialogs, settings, nullptr, std::make_unique<OneLink>(&closes, &sent)};
  ReadWindow() { win.Prepare(); }
};

}  // namespace

class ModbusWindowsTest : public QObject {
  Q_OBJECT

 private slots:
  void settingsWindowFromTheMenu() {
    test::TempDir dir;
    const std::string ini = dir.File("r770cfg.ini");
    std::string root = dir.File("L8");
    for (const char* sub : {"/ALG", "/MOD", "/TASK"}) std::filesystem::create_directories(root + sub);
    test::WriteFileBytes(ini, "[BaseL8]\r\nWay=" + root + "\r\nWayAlg=" + root + "/ALG\r\nWayMod=" + root +
                                  "/MOD\r\nWayTask=" + root +
                                  "/TASK\r\n[ModbusTest]\r\nSetModTest=31\r\n"
                                  "PortTcpTest=502\r\nIP_AdrTest=10.0.0.7\r\nConstCRCTest=4660\r\n");
    TFNastr w(ini);
    w.show();
    QTRY_VERIFY(!w.windowTitle().isEmpty());
    auto* win = w.findChild<TFObmenModbus_r770*>();
    QVERIFY(win);
    bool seen = false;
    WhenModal("the Modbus test settings window", [&](QWidget* modal) {
      seen = true;
      QCOMPARE(modal, static_cast<QWidget*>(win));
      QCOMPARE(modal->windowTitle(), QString::fromUtf8("Настройка обмена по Modbus"));
      QStringList labels = LabelTexts(win);
      for (const char* t :
           {"Slave-адрес БМТ\nпротокола Modbus", "IP адрес", "Адрес порта", "Время ожидания ответа, с"})
        QVERIFY2(labels.contains(QString::fromUtf8(t)), t);
      QCOMPARE(win->ByteOrderGroup()->title(),
               QString::fromUtf8("Порядок байт в числах с плавающей запятой"));
      QCOMPARE(win->Swap()->text(), QString::fromUtf8("Поменять местами старшие и младшие части в числе"));
      QCOMPARE(win->PortHex()->text(), QString::fromUtf8("в 16-тиричном виде"));
      // Filled from the file.
      QCOMPARE(win->SlaveAddress()->text(), QString("1F"));
      QCOMPARE(win->Port()->text(), QString("502"));
      QCOMPARE(win->IpAddress()->text(), QString("10.0.0.7"));
      QCOMPARE(win->AnswerTime()->text(), QString("1"));
      QVERIFY(win->Swap()->isChecked());
      QVERIFY(!win->Invert()->isChecked());

      // The main window hands its document over: a new one has no address to take.
      QVERIFY(win->FromDocumentButton());
      WhenModal(
          "the note that the document has no address",
          [&](QWidget* box) {
            QCOMPARE(qobject_cast<QMessageBox*>(box)->text(), QString::fromUtf8(kNoDocumentIPMessage));
            qobject_cast<QMessageBox*>(box)->accept();
          },
          modal);
      win->FromDocumentButton()->click();
      QCOMPARE(win->IpAddress()->text(), QString("10.0.0.7"));

      // Both characters selected: the key empties the field first; "ф" is A; "g" is refused.
      win->SlaveAddress()->setFocus();
      win->SlaveAddress()->selectAll();
      QTest::sendKeyEvent(QTest::Click, win->SlaveAddress(), Qt::Key_unknown, QString::fromUtf8("ф"),
                          Qt::NoModifier);
      QTest::keyClicks(win->SlaveAddress(), "g2");
      QCOMPARE(win->SlaveAddress()->text(), QString("A2"));
      QTest::keyClicks(win->AnswerTime(), "x5");
      QCOMPARE(win->AnswerTime()->text(), QString("15"));

      // The port shown again in hexadecimal; 10000 hexadecimal is refused in a message box.
      win->PortHex()->click();
      QCOMPARE(win->Port()->text(), QString("01F6"));
      win->Port()->selectAll();
      QTest::keyClicks(win->Port(), "10000");
      WhenModal(
          "the refusal of the port",
          [&](QWidget* box) {
            QCOMPARE(qobject_cast<QMessageBox*>(box)->text(),
                     QString::fromUtf8("Неправильно введен адрес порта."));
            qobject_cast<QMessageBox*>(box)->accept();
          },
          modal);
      win->ApplyButton()->click();
      QVERIFY(win->isVisible());
      QTest::keyClick(win->Port(), Qt::Key_Backspace);
      win->Invert()->click();
      win->ApplyButton()->click();
    });
    w.Action(MainCommand::ModbusTestSettings)->trigger();
    QVERIFY(seen);
    QVERIFY(!win->isVisible());
    IniFile f(ini);
    QCOMPARE(f.ReadString("ModbusTest", "PortTcpTest", ""), std::string("4096"));
    QCOMPARE(f.ReadString("ModbusTest", "SetModTest", ""), std::string("162"));
    QCOMPARE(f.ReadString("ModbusTest", "TimeAnswerTest", ""), std::string("15"));
    QCOMPARE(f.ReadString("ModbusTest", "InversModTest", ""), std::string("1"));
    QCOMPARE(f.ReadString("ModbusTest", "Test16", ""), std::string("1"));
    QCOMPARE(f.ReadString("ModbusTest", "ConstCRCTest", ""), std::string("4660"));
  }

  void settingsTakenFromTheDocument() {
    test::TempDir dir;
    test::FakeDialogs dialogs;
    ProgramSettings settings;
    const std::string ini = dir.File("r770cfg.ini");
    Configuration doc;
    doc.Common.AdrIP = {10, 1, 2, 3};
    doc.Common.AdrExt = 0x2C;
    TFObmenModbus_r770 win(dialogs, settings, ini, nullptr, &doc);
    win.Prepare();
    win.show();
    QCOMPARE(win.FromDocumentButton()->text(), QString::fromUtf8("Взять из документа"));
    QCOMPARE(win.IpAddress()->text(), QString("192.168.0.1"));
    win.FromDocumentButton()->click();
    QCOMPARE(win.IpAddress()->text(), QString("10.1.2.3"));
    QCOMPARE(win.SlaveAddress()->text(), QString("2C"));
    QCOMPARE(win.Port()->text(), QString("51960"));  // the document holds no Modbus/TCP port
    win.ApplyButton()->click();
    QVERIFY(!win.isVisible());
    QVERIFY(dialogs.shown.empty());
    IniFile f(ini);
    QCOMPARE(f.ReadString("ModbusTest", "IP_AdrTest", ""), std::string("10.1.2.3"));
    QCOMPARE(f.ReadString("ModbusTest", "SetModTest", ""), std::string("44"));
  }

  void readWindowFillsTheTable() {
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    test::TempDir dir;
    test::FakeDialogs dialogs;
    ProgramSettings settings;
    int closes = 0;
    std::vector<std::vector<std::uint8_t>> sent;
    {
      TFReadModbus_r770 win(dialogs, settings, nullptr, std::make_unique<OneLink>(&closes, &sent));
      win.Log().SetFolder(dir.path());
      QCOMPARE(win.windowTitle(), QString::fromUtf8("Чтение по Modbus"));
      QStringList labels = LabelTexts(&win);
      for (const char* t : {"Чтение только Holding Register!", "Номера регистров", "Данные Holding register"})
        QVERIFY2(labels.contains(QString::fromUtf8(t)), t);
      QCOMPARE(win.ReadButton()->text(), QString::fromUtf8("Чтение"));
      QStringList titles;
      for (int c = 0; c < win.Table()->columnCount(); ++c)
        titles << win.Table()->horizontalHeaderItem(c)->text();
      QCOMPARE(titles, QStringList({QString::fromUtf8("№"),
                                    QString::fromUtf8("Адрес Modbus параметров ТИ (Holding Registers)"),
                                    QString::fromUtf8("Значение параметров ТИ с плавающей точкой"),
                                    QString::fromUtf8("Примечание")}));
      win.Prepare();
      win.show();
      QCOMPARE(win.Table()->rowCount(), 1);
      QCOMPARE(win.Table()->item(0, 0)->text(), QString("1"));

      win.Registers()->setFocus();
      QTest::keyClicks(win.Registers(), "1a00, 1.02");  // only digits and "," pass
      QCOMPARE(win.Registers()->text(), QString("100,102"));
      win.ReadButton()->click();
      QCOMPARE(sent.size(), std::size_t{2});
      QCOMPARE(win.Table()->rowCount(), 3);
      QCOMPARE(win.Table()->item(1, 0)->text(), QString("2"));
      QCOMPARE(win.Table()->item(1, 1)->text(), QString("102"));
      QCOMPARE(win.Table()->item(1, 2)->text(), QString("1,0000"));  // the locale's separator
      QCOMPARE(win.Table()->item(2, 1)->text(), QString());
      // Addresses as sent, counted from 0: said once above the table, one-based in the tooltip.
      QCOMPARE(win.AddressNote()->text(), QString::fromUtf8(kZeroBasedNote));
      QVERIFY(win.AddressNote()->isVisible());
      QCOMPARE(win.Table()->item(1, 1)->toolTip(), QString::fromUtf8("С нуля: 102, с единицы: 103"));
      QCOMPARE(win.Table()->item(2, 1)->toolTip(), QString());
      QCOMPARE(win.Table()->item(1, 2)->textAlignment(), int(Qt::AlignCenter));
      QCOMPARE(win.Table()->editTriggers(), QAbstractItemView::NoEditTriggers);
      QVERIFY(win.Progress()->isHidden());
      QVERIFY(dialogs.shown.empty());
      QCOMPARE(closes, 0);
      win.close();
      QCOMPARE(closes, 1);
    }
    QLocale::setDefault(QLocale::c());
  }

  // A paste is typed: by the paste key, the field's menu and a drop, each character passes the
  // same filter as a typed key, at the selection or the caret.
  void pasteGoesThroughTheKeyFilter() {
    ReadWindow r;
    r.win.show();
    KeyLineEdit* field = r.win.Registers();
    field->setFocus();
    QGuiApplication::clipboard()->setText(QString::fromUtf8("1a0\n0, 1.0\b2ж"));
    QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(field->text(), QString("100,102"));
    QCOMPARE(r.win.Form().registersText, std::string("100,102"));
    QCOMPARE(field->cursorPosition(), 7);

    field->setSelection(1, 2);  // "00" replaced
    QGuiApplication::clipboard()->setText("5x,");
    std::unique_ptr<QMenu> menu(field->StandardMenu());
    QAction* paste = KeyLineEdit::PasteAction(*menu);
    QVERIFY(paste);
    paste->trigger();
    QCOMPARE(field->text(), QString("15,,102"));
    QCOMPARE(field->cursorPosition(), 3);

    QMimeData data;
    data.setText("9.9");
    field->setCursorPosition(5);
    const QPoint at(1, field->height() / 2);  // before the first character
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(field, &enter);
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(field, &drop);
    QCOMPARE(field->text(), QString("9915,,102"));
    QVERIFY(r.dialogs.shown.empty());
  }

  void readWindowRefusesABadList() {
    ReadWindow r;
    QTest::keyClicks(r.win.Registers(), "5,,7");
    r.win.ReadButton()->click();
    QCOMPARE(r.dialogs.shown, std::vector<std::string>{"Неверно введены номера регистров"});
    QVERIFY(r.sent.empty());
    QCOMPARE(r.win.Table()->rowCount(), 1);
  }
};

QTEST_MAIN(ModbusWindowsTest)
#include "modbus_windows_test.moc"
