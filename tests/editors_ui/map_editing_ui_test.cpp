// The map editors' fast editing is wired to the form: keys (Delete, Ctrl+C/V, Ctrl+Z/Y,
// Ctrl+Shift+Z, F6, Ctrl+Tab, Enter, Ctrl+F, F10), the menu's commands, the tree's find
// field and its remembered nodes; the controller list takes several task files at once.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QtTest>

#include "common/file_io.h"
#include "editor_fixture.h"
#include "small_screen.h"
#include "ui/controller_list_window.h"
#include "ui/editor_table.h"
#include "ui/register_map_window.h"

using namespace r770;
using namespace r770::test;

namespace {

struct MapFixture : EditorFixture {
  MapFixture() {
    data.AddController(cfg, data.kotel, 0x05);
    data.AddController(cfg, data.nasos, 0x1A);
    auto& map = cfg.Map(MapKind::TIFloat);
    map[0] = Placed(0x0201, 2, 2, 5, "Давл (№ 0201)/ИзмК(Котел)");
    map[1] = Placed(0x0202, 4, 2, 5, "Темп (№ 0202)/ИзмК(Котел)");
  }
};

// An editor shown and active, so that its shortcuts work.
void Show(RegisterMapWindow& w) {
  w.Prepare();
  w.show();
  QApplication::setActiveWindow(&w);
  QVERIFY(QTest::qWaitForWindowActive(&w));
}

void SelectRows(EditorTable* t, int first, int last) {
  t->setCurrentCell(first, 1);
  t->setRangeSelected(QTableWidgetSelectionRange(first, 0, last, 2), true);
}

QString Cell(RegisterMapWindow& w, int row, int column) { return w.Table()->item(row, column)->text(); }

}  // namespace

class MapEditingUiTest : public QObject {
  Q_OBJECT

 private slots:
  void clipboardDeleteAndUndoKeys() {
    MapFixture f;
    TFTIFloat w(f.cfg, f.settings, f.dialogs);
    Show(w);
    w.Table()->setFocus();
    SelectRows(w.Table(), 0, 1);
    QTest::keyClick(w.Table(), Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), QString("2\t05\t0201\t2\tДавл (№ 0201)/ИзмК(Котел)\n"
                                                        "4\t05\t0202\t2\tТемп (№ 0202)/ИзмК(Котел)\n"));

    // Delete: one question for both rows.
    f.dialogs.confirmAnswers = {true};
    QTest::keyClick(w.Table(), Qt::Key_Delete);
    QCOMPARE(f.dialogs.Last(), std::string("Удалить строки 1-2?"));
    QCOMPARE(Cell(w, 0, 1), QString("нет"));
    QCOMPARE(Cell(w, 1, 2), QString());

    // Paste into row 10 what was copied.
    w.Table()->setCurrentCell(9, 1);
    QTest::keyClick(w.Table(), Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(Cell(w, 9, 1), QString("2"));
    QCOMPARE(Cell(w, 10, 2), QString("Темп (№ 0202)/ИзмК(Котел)"));

    // Undo the paste and the delete; redo both with either key.
    QTest::keyClick(w.Table(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(Cell(w, 9, 1), QString("нет"));
    QTest::keyClick(w.Table(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(Cell(w, 0, 1), QString("2"));
    QVERIFY(!w.UndoAction()->isEnabled());
    QVERIFY(w.RedoAction()->isEnabled());
    QTest::keyClick(w.Table(), Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(Cell(w, 0, 1), QString("нет"));
    QTest::keyClick(w.Table(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(Cell(w, 9, 1), QString("2"));
    QVERIFY(!w.RedoAction()->isEnabled());

    // A paste refused: the lines and their reasons, nothing changed.
    QApplication::clipboard()->setText("3\t05\t0201\t2\t\n");
    w.Table()->setCurrentCell(20, 1);
    w.PasteAction()->trigger();
    QCOMPARE(
        f.dialogs.Last(),
        std::string("Вставка не выполнена:\nстрока 1: адрес 3 нарушает нумерацию через 1 (нужен чётный)"));
    QCOMPARE(Cell(w, 20, 1), QString("нет"));
  }

  void keyboardPlacesARun() {
    MapFixture f;
    TFTIFloat w(f.cfg, f.settings, f.dialogs);
    Show(w);
    w.Table()->setFocus();
    w.Table()->setCurrentCell(2, 1);
    QTest::keyClicks(w.Table(), "10");
    // F6 goes to the tree, Ctrl+Tab back to the table.
    QTest::keyClick(w.Table(), Qt::Key_F6);
    QVERIFY(w.Tree()->hasFocus());
    QTest::keyClick(w.Tree(), Qt::Key_Tab, Qt::ControlModifier);
    QVERIFY(w.Table()->hasFocus());
    QTest::keyClick(w.Table(), Qt::Key_F6);

    QTreeWidgetItem* item = w.ItemOfNode(NodeByLabel(w.Form().Tree(), "Расх (№ 0203)"));
    QVERIFY(item != nullptr);
    w.Tree()->setCurrentItem(item);
    // Enter in the tree places, and the next row is offered the next address.
    QTest::keyClick(w.Tree(), Qt::Key_Return);
    QTest::keyClick(w.Tree(), Qt::Key_Return);
    QCOMPARE(w.result(), int(QDialog::Rejected));  // Enter in the tree is no "Применить"
    QCOMPARE(Cell(w, 2, 2), QString("Расх (№ 0203)/ИзмК(Котел)"));
    QCOMPARE(Cell(w, 3, 1), QString("12"));
    QCOMPARE(Cell(w, 4, 1), QString("14"));  // proposed, shown in grey italics
    QVERIFY(w.Table()->item(4, 1)->font().italic());
    QVERIFY(!w.Table()->item(3, 1)->font().italic());
    QCOMPARE(w.Table()->item(3, 1)->toolTip(), QString("С нуля: 12, с единицы: 13"));
    QCOMPARE(w.Table()->currentRow(), 4);
    QVERIFY(w.AddressNote()->isVisible());

    // F10 opens the menu bar.
    QTest::keyClick(w.Tree(), Qt::Key_F10);
    QVERIFY(w.MenuBar()->activeAction() != nullptr);
    QCOMPARE(w.MenuBar()->activeAction()->text(), QString("&Правка"));
    QTest::keyClick(w.MenuBar(), Qt::Key_Escape);

    // Enter in the table is "Применить".
    w.Table()->setFocus();
    QTest::keyClick(w.Table(), Qt::Key_Return);
    QCOMPARE(w.result(), int(QDialog::Accepted));
    QCOMPARE(f.cfg.Map(MapKind::TIFloat)[3].ModbusAddr, 12);
  }

  void findFieldAndRememberedNodes() {
    MapFixture f;
    TFTIFloat w(f.cfg, f.settings, f.dialogs);
    Show(w);
    w.Table()->setFocus();
    QTest::keyClick(w.Table(), Qt::Key_F, Qt::ControlModifier);
    QVERIFY(w.FindField()->hasFocus());
    w.FindField()->insert("темп");  // keyClicks types Latin letters only
    const ParamTree& tree = w.Form().Tree();
    QVERIFY(!w.ItemOfNode(NodeByLabel(tree, "Темп (№ 0202)"))->isHidden());
    QVERIFY(w.ItemOfNode(NodeByLabel(tree, "Давл (№ 0201)"))->isHidden());
    QVERIFY(w.ItemOfNode(NodeByLabel(tree, "Насос"))->isHidden());
    // Enter goes on to the tree instead of closing the window.
    QTest::keyClick(w.FindField(), Qt::Key_Return);
    QVERIFY(w.Tree()->hasFocus());
    QCOMPARE(w.result(), int(QDialog::Rejected));
    w.FindField()->clear();
    QVERIFY(!w.ItemOfNode(NodeByLabel(tree, "Давл (№ 0201)"))->isHidden());

    // A node the user opened is open again the next time.
    QTreeWidgetItem* pump = w.ItemOfNode(NodeByLabel(tree, "Насос"));
    pump->setExpanded(false);
    pump->setExpanded(true);
    w.reject();
    Show(w);
    QVERIFY(w.ItemOfNode(NodeByLabel(w.Form().Tree(), "Насос"))->isExpanded());
    QVERIFY(w.FindField()->text().isEmpty());
  }

  void menuCommandsAssignImportExport() {
    MapFixture f;
    TFTIFloat w(f.cfg, f.settings, f.dialogs);
    Show(w);
    QString offered;
    w.SetStartAsker([&](const QString& proposal) -> std::optional<QString> {
      offered = proposal;
      return QString("100");
    });
    SelectRows(w.Table(), 0, 1);
    w.AssignAction()->trigger();
    QCOMPARE(offered, QString("2"));
    QCOMPARE(Cell(w, 0, 1), QString("100"));
    QCOMPARE(Cell(w, 1, 1), QString("102"));

    const std::string csv = f.data.dir.File("hr.csv");
    f.dialogs.fileAnswers = {csv};
    w.ExportAction()->trigger();
    std::string bytes;
    QCOMPARE(ReadRegularFile(csv, &bytes), std::string());
    QCOMPARE(QString::fromStdString(bytes), QString("map,row,address,module,param,task,name\r\n"
                                                    "hr,1,100,05,0201,2,Давл (№ 0201)/ИзмК(Котел)\r\n"
                                                    "hr,2,102,05,0202,2,Темп (№ 0202)/ИзмК(Котел)\r\n"));
    f.dialogs.confirmAnswers = {true};
    SelectRows(w.Table(), 0, 1);
    w.DeleteAction()->trigger();
    QCOMPARE(Cell(w, 1, 1), QString("нет"));
    f.dialogs.fileAnswers = {csv};
    w.ImportAction()->trigger();
    QCOMPARE(Cell(w, 1, 1), QString("102"));
    QCOMPARE(Cell(w, 1, 2), QString("Темп (№ 0202)/ИзмК(Котел)"));
  }

  void editorsFitASmallScreen() {
    // Everything the editors show, buttons included, fits 1024x600; the tables scroll.
    MapFixture f;
    TFModbusTU tu(f.cfg, f.settings, f.dialogs);
    TFModbusTC tc(f.cfg, f.settings, f.dialogs);
    TFTIFloat hr(f.cfg, f.settings, f.dialogs);
    TFInputReg ir(f.cfg, f.settings, f.dialogs);
    TFTask tasks(f.cfg, f.settings, f.dialogs, f.busy);
    for (QDialog* w : std::initializer_list<QDialog*>{&tu, &tc, &hr, &ir, &tasks}) {
      if (auto* map = qobject_cast<RegisterMapWindow*>(w)) map->Prepare();
      const QString problem = test::FitProblem(w, QSize(1024, 600));
      QVERIFY2(problem.isEmpty(), qPrintable(w->windowTitle() + ": " + problem));
      w->close();
    }
  }

  void controllerListTakesSeveralTaskFiles() {
    EditorFixture f;
    TFTask w(f.cfg, f.settings, f.dialogs, f.busy);
    w.Prepare();
    f.dialogs.filesAnswers = {{f.data.kotel, f.data.nasos}};
    w.AddAction()->trigger();
    QCOMPARE(w.Table()->rowCount(), 3);
    QCOMPARE(w.Table()->item(1, 2)->text(), QString("1A"));
  }
};

QTEST_MAIN(MapEditingUiTest)
#include "map_editing_ui_test.moc"
