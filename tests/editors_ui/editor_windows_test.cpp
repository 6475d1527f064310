// The editor windows are wired to their form models: captions and titles, a parameter put
// into the map by a double click and by a drop, printing to PDF, the controller list window.
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QMimeData>
#include <QPrinter>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <filesystem>
#include <functional>

#include "common/codec.h"
#include "document/document_file.h"
#include "editor_fixture.h"
#include "large_database.h"
#include "modal_windows.h"
#include "scripted_dialogs.h"
#include "ui/controller_list_window.h"
#include "ui/editor_table.h"
#include "ui/main_window.h"
#include "ui/register_map_window.h"

using namespace r770;
using namespace r770::test;

namespace {

// A document with controllers 05 and 1A and two Holding Registers entries.
struct HoldingFixture : EditorFixture {
  HoldingFixture() {
    data.AddController(cfg, data.kotel, 0x05);
    data.AddController(cfg, data.nasos, 0x1A);
    cfg.Common.AdrCAN = 0x21;
    cfg.Common.AdrExt = 0x0B;
    auto& map = cfg.Map(MapKind::TIFloat);
    map[0] = Placed(0x0201, 2, 2, 5, "Давл (№ 0201)/ИзмК(Котел)");
    map[1] = Placed(0x0202, 4, 2, 5, "Темп (№ 0202)/ИзмК(Котел)");
    map[4] = Placed(0x0F01, 6, 0xFFFF, 5, "Тмод (№ 0F01)/Сист(Котел)");
  }
};

// The main window's part in a save, where no main window is needed.
struct NoDocumentWindow : DocumentView {
  void ProgressStep() override {}
  void PumpEvents() override {}
  void Information(const std::string&) override {}
  void SetStatus(const std::string&) override {}
  void OpenControllerEditor() override {}
};

}  // namespace

class EditorWindowsTest : public QObject {
  Q_OBJECT

 private slots:
  void holdingRegistersWindowShowsTheMap() {
    HoldingFixture f;
    TFTIFloat w(f.cfg, f.settings, f.dialogs);
    w.Prepare();
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QCOMPARE(w.windowTitle(), QString("Holding Registers"));
    QCOMPARE(w.Table()->horizontalHeaderItem(1)->text(), QString("Адрес Modbus Holding Registers"));
    QCOMPARE(w.Table()->horizontalHeaderItem(2)->text(), QString("Параметры"));
    QCOMPARE(w.Table()->rowCount(), 64);
    QCOMPARE(w.Table()->item(0, 1)->text(), QString("2"));
    QCOMPARE(w.Table()->item(2, 1)->text(), QString("нет"));
    QCOMPARE(w.Table()->item(4, 2)->text(), QString("Тмод (№ 0F01)/Сист(Котел)"));
    QCOMPARE(w.Table()->item(4, 2)->toolTip(), QString("05 0F01"));
    QCOMPARE(w.TreeTitle()->text(), QString("Список очередей задач (контроллеров)"));
    QVERIFY(w.PrintButton()->isVisible());
    QVERIFY(w.InsertAction() != nullptr);
    QCOMPARE(w.Tree()->topLevelItemCount(), 2);
    // Entry 1 is selected in the tree.
    QVERIFY(w.Tree()->currentItem() != nullptr);
    QCOMPARE(w.Tree()->currentItem()->text(0), QString("Давл (№ 0201)"));

    // A click on row 5 shows its entry.
    const QRect cell = w.Table()->visualRect(w.Table()->model()->index(4, 1));
    QTest::mouseClick(w.Table()->viewport(), Qt::LeftButton, {}, cell.center());
    QCOMPARE(w.Form().CurrentRow(), 4);
    QCOMPARE(w.Tree()->currentItem()->text(0), QString("Тмод (№ 0F01)"));

    // "Удалить" asks and empties the row.
    f.dialogs.confirmAnswers = {true};
    w.DeleteAction()->trigger();
    QCOMPARE(f.dialogs.Last(), std::string("Удалить 5 строку?"));
    QCOMPARE(w.Table()->item(4, 1)->text(), QString("нет"));
    QCOMPARE(w.Table()->item(4, 2)->toolTip(), QString());
    // Closing without "Применить" asks: Отмена (for the close button and for Esc) keeps the
    // editor open, Нет closes it and leaves the map.
    f.dialogs.shown.clear();
    f.dialogs.askAnswers = {Dialogs::Answer::Cancel, Dialogs::Answer::Cancel, Dialogs::Answer::No};
    QVERIFY(!w.close());
    QVERIFY(w.isVisible());
    QTest::keyClick(&w, Qt::Key_Escape);
    QVERIFY(w.isVisible());
    QCOMPARE(w.Table()->item(4, 1)->text(), QString("нет"));
    QVERIFY(w.close());
    QVERIFY(!w.isVisible());
    QCOMPARE(f.dialogs.shown, std::vector<std::string>(3, "Применить изменения?"));
    QCOMPARE(f.cfg.Map(MapKind::TIFloat)[4].ParamNo, 0x0F01);
  }

  void otherEditorsTakeTheirTraits() {
    HoldingFixture f;
    TFModbusTU tu(f.cfg, f.settings, f.dialogs);
    TFModbusTC tc(f.cfg, f.settings, f.dialogs);
    TFInputReg ir(f.cfg, f.settings, f.dialogs);
    QCOMPARE(tu.windowTitle(), QString("Coils"));
    QCOMPARE(tc.windowTitle(), QString("Discret Inputs"));
    QCOMPARE(ir.windowTitle(), QString("Input registers"));
    QCOMPARE(tu.Table()->rowCount(), 16);
    QCOMPARE(tc.Table()->rowCount(), 128);
    QCOMPARE(tu.Table()->horizontalHeaderItem(1)->text(), QString("Номера регистров Modbus (Coil)"));
    QVERIFY(tu.InsertAction() == nullptr);
    tc.Prepare();
    tc.show();
    QVERIFY(QTest::qWaitForWindowExposed(&tc));
    QVERIFY(!tc.PrintButton()->isVisible());
    // Only bit parameters are offered: the task of measurements is missing.
    QCOMPARE(tc.Tree()->topLevelItem(0)->childCount(), 1);
    QCOMPARE(tc.Tree()->topLevelItem(0)->child(0)->text(0), QString("СигК"));
  }

  void doubleClickOnTreeNodePlacesParameter() {
    HoldingFixture f;
    TFTIFloat w(f.cfg, f.settings, f.dialogs);
    w.Prepare();
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.Table()->setCurrentCell(2, 1);
    QCOMPARE(w.Form().CurrentRow(), 2);
    QTest::keyClicks(w.Table(), "10x");  // the letter is refused
    QCOMPARE(w.Table()->item(2, 1)->text(), QString("10"));

    QTreeWidgetItem* item = w.ItemOfNode(NodeByLabel(w.Form().Tree(), "Расх (№ 0203)"));
    QVERIFY(item != nullptr);
    w.Tree()->scrollToItem(item);
    const QRect rect = w.Tree()->visualItemRect(item);
    QVERIFY(rect.isValid());
    // A double click: press, release, double click, release.
    QTest::mouseClick(w.Tree()->viewport(), Qt::LeftButton, {}, rect.center());
    QTest::mouseDClick(w.Tree()->viewport(), Qt::LeftButton, {}, rect.center());
    QCOMPARE(f.dialogs.shown, std::vector<std::string>{});
    QCOMPARE(w.Table()->item(2, 2)->text(), QString("Расх (№ 0203)/ИзмК(Котел)"));
    QCOMPARE(w.Table()->item(2, 2)->toolTip(), QString("05 0203"));

    QTest::mouseClick(w.ApplyButton(), Qt::LeftButton);
    QCOMPARE(w.result(), int(QDialog::Accepted));
    const MapEntry& e = f.cfg.Map(MapKind::TIFloat)[2];
    QCOMPARE(e.ParamNo, 0x0203);
    QCOMPARE(e.ModbusAddr, 10);
    QCOMPARE(e.ModuleNo, 5);
    QVERIFY(f.cfg.State.TIFloatChanged);
  }

  void discreteInputNameRefusesWhatTheDocumentCannotHold() {
    EditorFixture f;
    f.data.AddController(f.cfg, f.data.kotel, 5);
    f.cfg.Map(MapKind::TC)[0] = Placed(0x0101, 1, 1, 5, "Авар");
    TFModbusTC w(f.cfg, f.settings, f.dialogs);
    w.Prepare();
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.Table()->setCurrentCell(0, 2);
    w.Table()->setFocus();
    for (const char* typed : {"\u4E2D", "ия"}) {
      for (QChar ch : QString::fromUtf8(typed)) {
        QKeyEvent key(QEvent::KeyPress, 0, Qt::NoModifier, QString(ch));
        QApplication::sendEvent(w.Table(), &key);
      }
    }
    QCOMPARE(w.Table()->item(0, 2)->text(), QString("Авария"));
    QCOMPARE(f.dialogs.shown.size(), std::size_t{1});
    QVERIFY(QString::fromStdString(f.dialogs.shown[0]).startsWith(QString("Имя параметра содержит символ")));
  }

  void dropOfTreeNodePlacesParameter() {
    HoldingFixture f;
    TFInputReg w(f.cfg, f.settings, f.dialogs);
    w.Prepare();
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.Table()->setCurrentCell(3, 1);
    QTest::keyClicks(w.Table(), "12");

    // What the tree gives a drag of a parameter node.
    QTreeWidgetItem* item = w.ItemOfNode(NodeByLabel(w.Form().Tree(), "РбН (№ 0302)"));
    QVERIFY(item == nullptr);  // a bit parameter is not in the register tree
    item = w.ItemOfNode(NodeByLabel(w.Form().Tree(), "Тмод (№ 0F01)"));
    QVERIFY(item != nullptr);
    w.Tree()->setCurrentItem(item);
    std::unique_ptr<QMimeData> mime(w.Tree()->model()->mimeData({w.Tree()->currentIndex()}));
    QVERIFY(mime && mime->hasFormat(kTreeNodeMime));

    const QPoint target = w.Table()->visualRect(w.Table()->model()->index(3, 0)).center();
    // The drag enters the table (which takes it) and is dropped on row 4.
    QDragEnterEvent enter(target, Qt::CopyAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w.Table()->viewport(), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(target), Qt::CopyAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w.Table()->viewport(), &drop);
    QVERIFY(drop.isAccepted());
    QCOMPARE(w.Form().CurrentColumn(), 2);
    QCOMPARE(w.Table()->item(3, 2)->text(), QString("Тмод (№ 0F01)/Сист(Котел)"));

    QTest::mouseClick(w.ApplyButton(), Qt::LeftButton);
    const MapEntry& e = f.cfg.Map(MapKind::InputReg)[3];
    QCOMPARE(e.ParamNo, 0x0F01);
    QCOMPARE(e.ModbusAddr, 12);
    QCOMPARE(e.TaskNo, 0xFFFF);
    QVERIFY(f.cfg.State.InputRegChanged);
  }

  void printToPdf() {
    HoldingFixture f;
    TFTIFloat w(f.cfg, f.settings, f.dialogs);
    w.Prepare();
    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    // R770_PRINT_PDF keeps the file where a person can look at it.
    const QString path = qEnvironmentVariable("R770_PRINT_PDF", tmp.filePath("holding.pdf"));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    QVERIFY(w.PrintTo(printer));
    const QMarginsF margins = printer.pageLayout().margins(QPageLayout::Inch);
    QCOMPARE(margins.left(), 0.05);
    QCOMPARE(margins.top(), 0.01);
    QCOMPARE(margins.right(), 0.0);
    QCOMPARE(margins.bottom(), 0.02);
    QFile pdf(path);
    QVERIFY(pdf.open(QIODevice::ReadOnly));
    const QByteArray bytes = pdf.readAll();
    QVERIFY(bytes.startsWith("%PDF"));
    QVERIFY2(bytes.size() > 2000, qPrintable(QString::number(bytes.size())));
  }

  void controllerListWindow() {
    EditorFixture f;
    TFTask w(f.cfg, f.settings, f.dialogs, f.busy);
    w.Prepare();
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QCOMPARE(w.windowTitle(), QString("Определение списка контроллеров"));
    QCOMPARE(w.Title()->text(), QString("Список  контроллеров"));
    QCOMPARE(w.Table()->horizontalHeaderItem(0)->text(), QString("№"));
    QCOMPARE(w.Table()->horizontalHeaderItem(1)->text(), QString("Очередь задач"));
    QCOMPARE(w.Table()->horizontalHeaderItem(2)->text(), QString("Сетевой номер"));
    QCOMPARE(w.Table()->rowCount(), 1);
    QVERIFY(!w.NotFoundLabel()->isVisible());
    QVERIFY(!w.MessageLine()->isVisible());
    QCOMPARE(w.AddAction()->text(), QString("Добавить контроллер"));
    QCOMPARE(w.RemoveAction()->text(), QString("Удалить контроллер"));
    QCOMPARE(w.EnterAction()->text(), QString("Ввести очередь задач"));

    f.dialogs.fileAnswers = {std::string("/нет/такого.tsk")};
    w.AddAction()->trigger();
    QVERIFY(w.MessageLine()->isVisible());
    QCOMPARE(w.MessageLine()->text(), QString("Файл /нет/такого.tsk не существует"));

    f.dialogs.fileAnswers = {f.data.kotel};
    w.AddAction()->trigger();
    QVERIFY(!w.MessageLine()->isVisible());
    QCOMPARE(w.Table()->rowCount(), 2);
    QCOMPARE(w.Table()->item(0, 1)->text(), Q(f.data.kotel));
    QCOMPARE(w.Table()->item(0, 2)->text(), QString("05"));
    QCOMPARE(w.Table()->currentColumn(), 2);

    // The network number: Delete empties the cell, the Russian key of A gives A.
    w.Table()->setFocus();
    QTest::keyClick(w.Table(), Qt::Key_Delete);
    QTest::keyClick(w.Table(), Qt::Key_1);
    QKeyEvent ef(QEvent::KeyPress, 0, Qt::NoModifier, QString("ф"));
    QApplication::sendEvent(w.Table(), &ef);
    QCOMPARE(w.Table()->item(0, 2)->text(), QString("1A"));
    QTest::mouseClick(w.ApplyButton(), Qt::LeftButton);
    QCOMPARE(w.result(), int(QDialog::Accepted));
    QCOMPARE(f.cfg.Controllers.size(), std::size_t{1});
    QCOMPARE(f.cfg.Controllers[0].Nset, 0x1A);
    QVERIFY(f.cfg.State.ControllersChanged);
  }

  void controllerListClosedWithoutApplyAfterTheDocumentFileHasGone() {
    EditorFixture f;
    f.data.AddController(f.cfg, f.data.kotel, 5);
    f.data.AddController(f.cfg, f.data.nasos, 0x1A);
    const std::string doc = f.data.dir.File("doc.bmt");
    NoDocumentWindow view;
    f.cfg.SetAllChanged();
    QVERIFY(SaveDocument(f.cfg, doc, view));
    TFTask w(f.cfg, f.settings, f.dialogs, f.busy);
    w.Prepare();
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    f.dialogs.confirmAnswers = {true};
    w.RemoveAction()->trigger();
    QCOMPARE(w.Table()->rowCount(), 2);
    QVERIFY(std::filesystem::remove(doc));
    // Closed without "Применить": asked first; Esc's Отмена keeps the editor, Нет closes it.
    f.dialogs.shown.clear();
    f.dialogs.askAnswers = {Dialogs::Answer::Cancel, Dialogs::Answer::No};
    QTest::keyClick(&w, Qt::Key_Escape);
    QVERIFY(w.isVisible());
    QCOMPARE(f.cfg.Controllers.size(), std::size_t{1});
    QVERIFY(w.close());
    QCOMPARE(f.dialogs.shown.front(), std::string("Применить изменения?"));
    QCOMPARE(f.dialogs.shown.size(), std::size_t{3});  // twice asked, then the file's absence
    QCOMPARE(f.cfg.Controllers.size(), std::size_t{2});
    QCOMPARE(f.cfg.Controllers[0].TaskFilePath(), f.data.kotel);
    QCOMPARE(f.cfg.Controllers[1].Nset, 0x1A);
    QVERIFY(f.cfg.DeletedNsets.empty());
  }

  void controllerListMarksMissingTaskFiles() {
    EditorFixture f;
    f.cfg.State.IsNew = false;
    f.cfg.State.FromFile = true;
    f.data.AddController(f.cfg, f.data.kotel, 5);
    f.data.AddController(f.cfg, f.data.nasos, 0x1A, false);
    TFTask w(f.cfg, f.settings, f.dialogs, f.busy);
    w.Prepare();
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QVERIFY(w.NotFoundLabel()->isVisible());
    QCOMPARE(w.NotFoundLabel()->text(), QString("Путь к очереди задач не найден"));
    QCOMPARE(w.Table()->item(1, 0)->background().color(), QColor(0, 255, 0));
    QCOMPARE(w.Table()->item(0, 0)->background().style(), Qt::NoBrush);
    QCOMPARE(w.Table()->currentRow(), 1);
  }

  void mainMenuOpensTheEditors() {
    EditorDatabase db;
    const std::string ini = db.dir.File("r770cfg.ini");
    WriteFileBytes(ini, "[BaseL8]\r\nWay=" + db.db.Root() + "\r\nWayAlg=" + db.db.AlgDir() +
                            "\r\nWayMod=" + db.db.ModDir() + "\r\nWayTask=" + db.db.TaskDir() + "\r\n");
    TFNastr main(ini);
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    QTRY_VERIFY(main.Action(MainCommand::New)->isEnabled());
    main.Action(MainCommand::New)->trigger();

    bool opened = false;
    WhenModal("the controller list editor", [&](QWidget* w) {
      QCOMPARE(w->windowTitle(), QString("Определение списка контроллеров"));
      opened = true;
      w->close();
    });
    main.Action(MainCommand::ControllerList)->trigger();
    QVERIFY(opened);

    const std::pair<MainCommand, QString> editors[] = {{MainCommand::Coils, "Coils"},
                                                       {MainCommand::DiscreteInputs, "Discret Inputs"},
                                                       {MainCommand::HoldingRegisters, "Holding Registers"},
                                                       {MainCommand::InputRegisters, "Input registers"}};
    for (const auto& [command, caption] : editors) {
      // Without controllers the editor says so first, then opens.
      QString seen;
      WhenModal("\"Нет списка контроллеров!\" before " + caption, [&](QWidget* box) {
        auto* mb = qobject_cast<QMessageBox*>(box);
        QVERIFY(mb);
        QCOMPARE(mb->text(), QString("Нет списка контроллеров!"));
        WhenModal(
            "the editor " + caption,
            [&](QWidget* w) {
              seen = w->windowTitle();
              w->close();
            },
            box);
        mb->button(QMessageBox::Ok)->click();
      });
      main.Action(command)->trigger();
      QCOMPARE(seen, caption);
    }
  }

  void loadOpensTheControllerListOnAMissingTaskFile() {
    EditorDatabase db;
    const std::string ini = db.dir.File("r770cfg.ini");
    WriteFileBytes(ini, "[BaseL8]\r\nWay=" + db.db.Root() + "\r\nWayAlg=" + db.db.AlgDir() +
                            "\r\nWayMod=" + db.db.ModDir() + "\r\nWayTask=" + db.db.TaskDir() + "\r\n");
    const std::string missing = db.dir.File("Котельная2.tsk");
    const std::string doc = db.dir.File("doc.bmt");
    WriteFileBytes(doc,
                   Utf8ToCp1251("[Protokol]\r\nName=Modbus/TCP\r\n[Config]\r\nWayUser0=" + db.kotel +
                                "\r\nNset0=05\r\nWayUser1=" + missing +
                                "\r\nNset1=07\r\n"
                                "[TC Modbus]\r\nTC0=0101.7.1\r\nNameTC0=Авария/Котел2\r\nDiscretInp0=4\r\n"));
    ScriptedDialogs dialogs;
    TFNastr main(ini, dialogs);
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    QTRY_VERIFY(main.Action(MainCommand::Load)->isEnabled());

    bool editorSeen = false;
    dialogs.files = {doc};
    WhenModal("the controller list editor opened by the load", [&](QWidget* w) {
      auto* editor = qobject_cast<TFTask*>(w);
      QVERIFY(editor);
      editorSeen = true;
      QCOMPARE(editor->windowTitle(), QString("Определение списка контроллеров"));
      QVERIFY(editor->NotFoundLabel()->isVisible());
      QCOMPARE(editor->NotFoundLabel()->text(), QString("Путь к очереди задач не найден"));
      QCOMPARE(editor->Table()->item(1, 1)->text(), QString::fromStdString(missing));
      QCOMPARE(editor->Table()->item(1, 0)->background().color(), QColor(0, 255, 0));
      QCOMPARE(editor->Table()->item(0, 0)->background().style(), Qt::NoBrush);
      QCOMPARE(editor->Table()->currentRow(), 1);
      QVERIFY(main.ProgressStrip()->isHidden());
      editor->reject();
    });
    main.Action(MainCommand::Load)->trigger();
    QVERIFY(editorSeen);
    QCOMPARE(dialogs.choices.size(), std::size_t{1});
    QVERIFY(dialogs.choices[0].kind == ScriptedDialogs::Choice::Open);
    const Configuration& cfg = main.Form().Config();
    QCOMPARE(cfg.Controllers.size(), std::size_t{2});
    QVERIFY(!cfg.Controllers[1].Found);
    QCOMPARE(cfg.Controllers[1].Nset, 7);
    QVERIFY(cfg.State.FromFile);
    QCOMPARE(main.StatusField()->text(), QString::fromStdString(doc));

    // The Discrete Inputs editor shows that controller without its tasks, and its entry.
    bool mapSeen = false;
    WhenModal("the Discrete Inputs editor", [&](QWidget* w) {
      auto* map = dynamic_cast<TFModbusTC*>(w);
      QVERIFY(map);
      mapSeen = true;
      QCOMPARE(map->Tree()->topLevelItemCount(), 2);
      QCOMPARE(map->Tree()->topLevelItem(1)->text(0), QString("Модуль - сетевой номер 07"));
      QCOMPARE(map->Tree()->topLevelItem(1)->childCount(), 0);
      QCOMPARE(map->Table()->item(0, 2)->text(), QString("Авария/Котел2"));
      w->close();
    });
    main.Action(MainCommand::DiscreteInputs)->trigger();
    QVERIFY(mapSeen);
  }

  void openingDiscreteInputsWithManyControllers() {
    LargeConfiguration large;
    FakeDialogs dialogs;
    // Its opening time is measured by bench_qt_windows.
    TFModbusTC w(large.cfg, large.settings, dialogs);
    w.Prepare();
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.Prepare();  // opened again: the tree is rebuilt, not added to
    QApplication::processEvents();
    QCOMPARE(w.Tree()->topLevelItemCount(), LargeConfiguration::kControllers);
    QCOMPARE(w.Tree()->topLevelItem(63)->childCount(), LargeConfiguration::kTasks);
    QCOMPARE(w.Table()->rowCount(), 128);
    QCOMPARE(w.Tree()->currentItem()->text(0), QString("С1.1 (№ 0101)"));
  }
};

QTEST_MAIN(EditorWindowsTest)
#include "editor_windows_test.moc"
