// ExportWindow wired to ExportForm: the menu item, the fields pre-filled from the test
// settings, the preview following the format, the order and the maps, a refusal shown with
// "Сохранить…" out of reach, and a save through the fake file choice.
#include "ui/export_window.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>
#include <filesystem>

#include "document/configuration.h"
#include "document/program_settings.h"
#include "export/map_export.h"
#include "fake_dialogs.h"
#include "temp_dir.h"
#include "ui/main_window.h"

using namespace r770;

namespace {
QString U(const char* s) { return QString::fromUtf8(s); }
int FormatIndex(ExportFormat f) {
  for (std::size_t i = 0; i < kAllExportFormats.size(); ++i)
    if (kAllExportFormats[i] == f) return static_cast<int>(i);
  return -1;
}
int OrderIndex(WireOrder o) {
  for (std::size_t i = 0; i < kAllWireOrders.size(); ++i)
    if (kAllWireOrders[i] == o) return static_cast<int>(i);
  return -1;
}
}  // namespace

class ExportWindowTest : public QObject {
  Q_OBJECT

 private slots:
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
    QAction* item = w.Action(MainCommand::ExportMap);
    QVERIFY(item);
    QCOMPARE(item->text().remove(QChar('&')), U("Экспорт карты для ведущего…"));
    // In the menu "Файл", beside "Сохранить как ...".
    QCOMPARE(item->associatedObjects(), w.Action(MainCommand::SaveAs)->associatedObjects());
    QVERIFY(!item->isEnabled());
    w.Action(MainCommand::New)->trigger();
    QVERIFY(item->isEnabled());
    QVERIFY(w.findChild<ExportWindow*>());
  }

  void fieldsPreviewAndSave() {
    Configuration cfg;
    cfg.CreateMaps();
    cfg.Map(MapKind::TU)[0] = {5, 0x0101, 1, "Пуск насоса/Насосная(05)", 1};
    cfg.Map(MapKind::TIFloat)[0] = {5, 0x0201, 1, "Давление: \"верх\"/Насосная(05)", 100};
    ProgramSettings settings;
    settings.IP_AdrTest = "10.1.2.3";
    settings.PortTcpTest = 1502;
    settings.SetModTest = 0x1F;
    settings.InversModTest = true;  // ABCD
    settings.SwapModTest = false;
    test::FakeDialogs dialogs;
    ExportWindow w(cfg, settings, dialogs, nullptr);
    w.Prepare();
    QCOMPARE(w.windowTitle(), U("Экспорт карты для ведущего"));
    QCOMPARE(w.HostEdit()->text(), U("10.1.2.3"));
    QCOMPARE(w.PortEdit()->text(), U("1502"));
    QCOMPARE(w.UnitEdit()->text(), U("1F"));
    QCOMPARE(w.OrderBox()->currentIndex(), OrderIndex(WireOrder::ABCD));

    w.FormatBox()->setCurrentIndex(FormatIndex(ExportFormat::Telegraf));
    QVERIFY(w.Preview()->toPlainText().contains(U("controller = \"tcp://10.1.2.3:1502\"")));
    QVERIFY(w.Preview()->toPlainText().contains(U("byte_order = \"ABCD\"")));
    QTest::keyClicks(w.PortEdit(), "0");  // 15020
    QVERIFY(w.Preview()->toPlainText().contains(U("tcp://10.1.2.3:15020")));
    w.MapBox(MapKind::TIFloat)->setChecked(false);
    QVERIFY(!w.Preview()->toPlainText().contains(U("holding_registers")));
    w.MapBox(MapKind::TIFloat)->setChecked(true);

    // ModbusScope cannot hold BADC: the reason is shown and nothing can be saved.
    w.FormatBox()->setCurrentIndex(FormatIndex(ExportFormat::ModbusScope));
    w.OrderBox()->setCurrentIndex(OrderIndex(WireOrder::BADC));
    QVERIFY(w.Preview()->toPlainText().isEmpty());
    QVERIFY(w.Status()->text().startsWith(U("ModbusScope понимает только порядок байт ABCD и CDAB")));
    QVERIFY(!w.SaveButton()->isEnabled());

    test::TempDir dir;
    const std::string out = dir.File("map.json");
    w.FormatBox()->setCurrentIndex(FormatIndex(ExportFormat::Json));
    QVERIFY(w.SaveButton()->isEnabled());
    dialogs.fileAnswers.push_back(out);
    QTest::mouseClick(w.SaveButton(), Qt::LeftButton);
    QCOMPARE(dialogs.lastFilters.front().pattern, std::string("*.json"));
    const std::string saved = test::ReadFileBytes(out);
    QVERIFY(saved.find("\"order\": \"BADC\"") != std::string::npos);
    QVERIFY(saved.find("Давление: \\\"верх\\\"/Насосная(05)") != std::string::npos);
    QCOMPARE(w.Status()->text(), Q(std::string("Сохранено: ") + out));
    QVERIFY(dialogs.shown.empty());
  }
};

QTEST_MAIN(ExportWindowTest)
#include "export_window_test.moc"
