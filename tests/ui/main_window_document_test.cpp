// The main window around its document: the overview after new, load and read, the shortcuts,
// the recent documents, a dropped file, the program's argument, the start folders of the
// file choices and the window's place between runs.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QTextBrowser>
#include <QTimer>
#include <QUrl>
#include <QtTest>
#include <filesystem>
#include <functional>

#include "common/key_filter.h"
#include "document/document_file.h"
#include "editor_fixture.h"
#include "ft12_server.h"
#include "modal_windows.h"
#include "scripted_dialogs.h"
#include "sim_state.h"
#include "temp_dir.h"
#include "ui/common_window.h"
#include "ui/controller_list_window.h"
#include "ui/exchange_window.h"
#include "ui/main_window.h"
#include "ui/modbus_read_window.h"
#include "ui/qt_support.h"

using namespace r770;
using r770::test::ScriptedDialogs;
using r770::test::WhenModal;

namespace {

QString U(const char* s) { return QString::fromUtf8(s); }

class NullView : public DocumentView {
 public:
  void ProgressStep() override {}
  void PumpEvents() override {}
  void Information(const std::string&) override {}
  void SetStatus(const std::string&) override {}
  void OpenControllerEditor() override {}
};

// The editor database, a settings file pointing at it and a document with controller 05 and
// two Coils entries in a folder of its own.
struct Setup {
  test::EditorDatabase data;
  test::TempDir dir;
  std::string ini = dir.File("r770cfg.ini");
  std::string docFolder = dir.File("документы");
  std::string doc = docFolder + "/котельная.bmt";
  // Real message boxes; file choices answered by the test.
  ScriptedDialogs dialogs;

  explicit Setup(const std::string& extraSettings = "") {
    std::filesystem::create_directories(docFolder);
    test::WriteFileBytes(ini, "[BaseL8]\r\nWay=" + data.dir.path() + "\r\nWayAlg=" + data.db.AlgDir() +
                                  "\r\nWayMod=" + data.db.ModDir() + "\r\nWayTask=" + data.db.TaskDir() +
                                  "\r\n" + extraSettings);
    Configuration cfg;
    cfg.ResetForNew();
    data.AddController(cfg, data.kotel, 0x05);
    cfg.Map(MapKind::TU)[0] = test::Placed(0x0101, 1);
    cfg.Map(MapKind::TU)[1] = test::Placed(0x0102, 2);
    cfg.SetAllChanged();
    NullView view;
    if (!SaveDocument(cfg, doc, view)) qFatal("document not saved");
  }
};

QStringList Lines(const TFNastr& w) {
  QStringList out;
  for (int i = 0; i < w.Overview()->count(); ++i) out << w.Overview()->item(i)->text().trimmed();
  return out;
}

QListWidgetItem* LineItem(const TFNastr& w, const QString& text) {
  for (int i = 0; i < w.Overview()->count(); ++i)
    if (w.Overview()->item(i)->text().trimmed() == text) return w.Overview()->item(i);
  return nullptr;
}

void ShowAndActivate(TFNastr& w) {
  w.show();
  QTRY_VERIFY(!w.windowTitle().isEmpty());
  QApplication::setActiveWindow(&w);
  w.activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(&w));
}

void Drop(TFNastr& w, const QString& path) {
  QMimeData mime;
  mime.setUrls({QUrl::fromLocalFile(path)});
  QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&w, &enter);
  QVERIFY(enter.isAccepted() == path.endsWith(".bmt", Qt::CaseInsensitive));
  QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&w, &drop);
}

}  // namespace

class MainWindowDocumentTest : public QObject {
  Q_OBJECT

 private slots:
  void overviewFollowsNewDropAndDoubleClick() {
    Setup s;
    TFNastr w(s.ini, s.dialogs);
    ShowAndActivate(w);
    QVERIFY(Lines(w).join("\n").contains(U("Документ не открыт")));

    QTest::keyClick(&w, Qt::Key_N, Qt::ControlModifier);
    QVERIFY(w.Form().Config().State.IsNew);
    QVERIFY(Lines(w).contains(U("Новый документ")));
    QVERIFY(Lines(w).contains(U("Coils 0 из 16")));

    // A file that is not a document is refused at the border of the window.
    Drop(w, QString::fromStdString(s.dir.File("notes.txt")));
    Drop(w, QString::fromStdString(s.doc));
    QTRY_VERIFY(w.Form().Config().State.FromFile);
    QCOMPARE(w.StatusField()->text(), QString::fromStdString(s.doc));
    QVERIFY(Lines(w).contains(QString::fromStdString("Загружен из файла " + s.doc)));
    QVERIFY(Lines(w).contains(U("Coils 2 из 16")));
    QVERIFY(Lines(w).contains(QString::fromStdString("1. 05  " + s.data.kotel)));
    QVERIFY(Lines(w).contains(U("Замечаний нет.")));

    // A double click on a map's line opens its editor; an edit shows at once.
    QListWidgetItem* coils = LineItem(w, U("Coils 2 из 16"));
    QVERIFY(coils);
    WhenModal("the Coils editor", [](QWidget* editor) {
      QCOMPARE(editor->windowTitle(), U("Coils"));
      editor->close();
    });
    emit w.Overview()->itemActivated(coils);
    w.Form().Config().Map(MapKind::TU)[5] = test::Placed(0x0103, 2);
    w.Form().SetStatus("");  // any redraw of the window
    QVERIFY(Lines(w).contains(U("Coils 3 из 16")));
    QVERIFY(Lines(w).contains(U("Coils, строка 6: адрес 2 уже занят строкой 2")));
  }

  void overviewAfterReadFromTheModule() {
    sim::SimBus bus;
    bus.Add(0x01, 0x1101);
    sim::Ft12ServerOptions options;
    options.port = 0;
    sim::Ft12Server server(bus, options);
    std::string error;
    QVERIFY2(server.Start(&error), error.c_str());
    Setup s("[Parametr]\r\nVS=Ethernet\r\nIP=127.0.0.1\r\nport_TCP=" + std::to_string(server.Port()) +
            "\r\nTimeW=1\r\nKPov=1\r\nSetNR770=1\r\n");
    TFNastr w(s.ini, s.dialogs);
    ShowAndActivate(w);
    w.Form().OpenDocumentPath(s.doc);
    QVERIFY(w.Form().Config().State.FromFile);
    // An edit not saved: the read asks first, and Отмена leaves the document as it is.
    w.Form().Config().Common.AdrCAN = 0x3C;
    w.Form().Config().State.CommonChanged = true;

    bool read = false;
    QString asked;
    WhenModal("the exchange window", [&](QWidget* modal) {
      auto* exchange = qobject_cast<TFObmen*>(modal);
      QVERIFY(exchange);
      QTRY_VERIFY(exchange->Form().LinkOpen());
      exchange->ReadItem()->trigger();
      WhenModal(
          "\"Сохранить изменения?\" before the read",
          [&asked](QWidget* box) {
            asked = r770::test::BoxText(box);
            r770::test::Press(box, U("Отмена"));
          },
          modal);
      QTest::mouseClick(exchange->ActionButton(), Qt::LeftButton);
      QCOMPARE(asked, U("Сохранить изменения?"));
      QVERIFY(w.Form().Config().State.FromFile);
      QCOMPARE(w.Form().Config().Common.AdrCAN, 0x3C);
      QVERIFY(w.Form().Config().State.CommonChanged);
      QVERIFY(exchange->StatusLine()->text() != U("Чтение завершено"));
      // Нет drops the edit and reads.
      WhenModal(
          "\"Сохранить изменения?\" before the read, again",
          [](QWidget* box) { r770::test::Press(box, U("Нет")); }, modal);
      QTest::mouseClick(exchange->ActionButton(), Qt::LeftButton);
      read = exchange->StatusLine()->text() == U("Чтение завершено");
      // "Журнал" does what a double click on the status line does, and shows its state.
      QCOMPARE(exchange->LogButton()->text(), U("Журнал"));
      QVERIFY(!exchange->LogView()->isVisible() && !exchange->LogButton()->isChecked());
      QTest::mouseClick(exchange->LogButton(), Qt::LeftButton);
      QVERIFY(exchange->LogView()->isVisible() && exchange->LogButton()->isChecked());
      QTest::mouseDClick(exchange->StatusLine(), Qt::LeftButton);
      QVERIFY(!exchange->LogView()->isVisible() && !exchange->LogButton()->isChecked());
      exchange->close();
    });
    w.Action(MainCommand::Exchange)->trigger();
    QVERIFY(read);
    QVERIFY(w.Form().Config().State.FromModule);
    QVERIFY(Lines(w).contains(U("Прочитан из модуля R-770 TCP/Modbus")));
    QVERIFY(Lines(w).contains(QString::fromStdString("Файл: " + s.doc)));
  }

  void shortcutsReachTheirCommands() {
    Setup s;
    TFNastr w(s.ini, s.dialogs);
    const std::string guideFolder = s.dir.File("bin");
    std::filesystem::create_directories(guideFolder);
    test::WriteFileBytes(guideFolder + "/guide.ru.md", "# Руководство\n\nТекст руководства.\n");
    w.Form().SetProgramFolder(guideFolder);
    ShowAndActivate(w);

    using Choice = ScriptedDialogs::Choice;
    struct Case {
      const char* name;
      int key;
      Qt::KeyboardModifiers mods;
      std::optional<Choice> choice;  // the file choice it opens, if any (cancelled)
    };
    const Case cases[] = {
        {"Ctrl+N", Qt::Key_N, Qt::ControlModifier, {}},
        {"Ctrl+S", Qt::Key_S, Qt::ControlModifier, Choice::Save},  // a new document has no file
        {"Ctrl+Shift+S", Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier, Choice::Save},
        {"Ctrl+O", Qt::Key_O, Qt::ControlModifier, Choice::Open},
    };
    for (const Case& c : cases) {
      ShowAndActivate(w);  // a closed dialog leaves no window active on this platform
      s.dialogs.choices.clear();
      if (c.choice) s.dialogs.files = {std::nullopt};
      QTest::keyClick(&w, c.key, c.mods);
      QVERIFY2(s.dialogs.choices.size() == (c.choice ? 1u : 0u), c.name);
      if (c.choice) QVERIFY2(s.dialogs.choices[0].kind == *c.choice, c.name);
      if (!c.choice) QCOMPARE(w.StatusField()->text(), U("Новый файл"));
    }

    ShowAndActivate(w);
    QTest::keyClick(&w, Qt::Key_F1);
    QVERIFY(w.GuideWindow() && w.GuideWindow()->isVisible());
    QCOMPARE(w.GuideWindow()->windowTitle(), U("Руководство пользователя"));
    {
      // Shown from the program's resource, pictures included, wherever the program lies.
      auto* browser = w.GuideWindow()->findChild<QTextBrowser*>();
      QVERIFY(browser);
      QCOMPARE(browser->source().scheme(), QString("qrc"));
      QVERIFY(browser->toPlainText().contains(U("Руководство инженера")));
      const QVariant picture = browser->loadResource(QTextDocument::ImageResource, QUrl("screens/main.png"));
      QVERIFY(picture.isValid() && !picture.toByteArray().isEmpty());
    }
    w.GuideWindow()->close();

    ShowAndActivate(w);
    QTest::keyClick(&w, Qt::Key_Q, Qt::ControlModifier);
    QTRY_VERIFY(!w.isVisible());
  }

  void recentDocumentsStartFoldersAndTheProgramArgument() {
    Setup s;
    {
      // The program's argument: the document opens once the window is up, and is remembered.
      TFNastr w(s.ini, s.dialogs);
      w.Form().SetStartDocument(s.doc);
      ShowAndActivate(w);
      QTRY_VERIFY(w.Form().Config().State.FromFile);
      QCOMPARE(w.RecentMenu()->actions().size(), 1);
      QCOMPARE(w.RecentMenu()->actions()[0]->text(), QString::fromStdString("&1 " + s.doc));
      w.Form().Config().ClearAllChanged();
      w.close();
    }
    TFNastr w(s.ini, s.dialogs);
    ShowAndActivate(w);
    QCOMPARE(w.RecentMenu()->actions().size(), 1);
    QVERIFY(Lines(w).join("\n").contains(U("Документ не открыт")));

    // "Загрузить" opens in the last document's folder; the choice of a task file in WayTask.
    s.dialogs.files = {std::nullopt};
    w.Action(MainCommand::Load)->trigger();
    QCOMPARE(s.dialogs.choices.size(), std::size_t{1});
    QVERIFY(s.dialogs.choices.back().kind == ScriptedDialogs::Choice::Open);
    QCOMPARE(s.dialogs.choices.back().start, s.docFolder);

    w.RecentMenu()->actions()[0]->trigger();
    QVERIFY(w.Form().Config().State.FromFile);
    QVERIFY(Lines(w).contains(U("Coils 2 из 16")));

    // "Сохранить как ..." opens in the current document's folder.
    s.dialogs.files = {std::nullopt};
    w.Action(MainCommand::SaveAs)->trigger();
    QCOMPARE(s.dialogs.choices.size(), std::size_t{2});
    QVERIFY(s.dialogs.choices.back().kind == ScriptedDialogs::Choice::Save);
    QCOMPARE(s.dialogs.choices.back().start, s.docFolder);
  }

  void commandsAreFoundWithoutTheContextMenuAndFieldsSayWhatTheyAccept() {
    Setup s;
    TFNastr w(s.ini, s.dialogs);
    ShowAndActivate(w);
    w.Form().OpenDocumentPath(s.doc);

    // The controller list editor: its context menu's commands as buttons; "Добавить
    // контроллер" opens the task file choice in the tasks folder.
    WhenModal("the controller list editor", [&s](QWidget* modal) {
      auto* tasks = qobject_cast<TFTask*>(modal);
      QVERIFY(tasks);
      QCOMPARE(tasks->AddButton()->text(), tasks->AddAction()->text());
      QCOMPARE(tasks->RemoveButton()->text(), tasks->RemoveAction()->text());
      QCOMPARE(tasks->EnterButton()->text(), tasks->EnterAction()->text());
      QVERIFY(tasks->AddButton()->isVisible() && tasks->AddButton()->isEnabled());
      s.dialogs.files = {std::nullopt};
      QTest::mouseClick(tasks->AddButton(), Qt::LeftButton);
      tasks->reject();
    });
    emit w.Overview()->itemActivated(LineItem(w, U("Контроллеры: 1")));
    QCOMPARE(s.dialogs.choices.size(), std::size_t{1});
    QVERIFY(s.dialogs.choices[0].kind == ScriptedDialogs::Choice::Open);
    QCOMPARE(s.dialogs.choices[0].start, s.data.db.TaskDir());

    // Fields whose key filter refuses input say what they accept.
    TFCommon* common = w.Common();
    common->Prepare();
    using Input = CommonSettingsForm::Input;
    struct Hint {
      Input input;
      const char* text;
    };
    for (const Hint& h : {Hint{Input::AdrCAN, kHexKeysHint}, Hint{Input::twaitCAN, kDigitKeysHint},
                          Hint{Input::AdrIP, kDottedKeysHint}, Hint{Input::AdrPort, kDecPortKeysHint}})
      QCOMPARE(common->Edit(h.input)->toolTip(), U(h.text));
    common->PortInHexBox()->click();
    QCOMPARE(common->Edit(Input::AdrPort)->toolTip(), U(kHexPortKeysHint));
    common->hide();

    // The reading window's note column lies inside the table, not behind its scroll bar.
    auto* reading = w.findChild<TFReadModbus_r770*>();
    QVERIFY(reading);
    QCOMPARE(reading->Registers()->toolTip(), U(kRegisterListKeysHint));
    reading->Prepare();
    reading->show();
    QHeaderView* header = reading->Table()->horizontalHeader();
    QTRY_VERIFY(reading->Table()->viewport()->width() > 0);
    QTRY_VERIFY(header->sectionViewportPosition(3) + header->sectionSize(3) <=
                reading->Table()->viewport()->width());
    QVERIFY(header->sectionSize(3) >= 100);
    QVERIFY(!reading->Table()->horizontalScrollBar()->isVisible());
    reading->hide();
  }

  void windowKeepsItsPlace() {
    Setup s;
    {
      TFNastr w(s.ini, s.dialogs);
      ShowAndActivate(w);
      w.setGeometry(40, 30, 600, 400);  // inside the 800x600 screen of the test platform
      w.close();
    }
    TFNastr w(s.ini, s.dialogs);
    QCOMPARE(w.geometry(), QRect(40, 30, 600, 400));
  }
};

QTEST_MAIN(MainWindowDocumentTest)
#include "main_window_document_test.moc"
