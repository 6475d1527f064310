// The Qt windows are wired to their form models: captions, the menu tree, commands reaching
// the model, and each kind of dialog opening and closing.
#include "ui/main_window.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QTimer>
#include <QToolButton>
#include <QtTest>
#include <filesystem>
#include <functional>

#include "common/codec.h"
#include "fake_dialogs.h"
#include "loopback_settings.h"
#include "modal_windows.h"
#include "small_screen.h"
#include "temp_dir.h"
#include "ui/common_window.h"
#include "ui/exchange_settings_window.h"
#include "ui/exchange_window.h"
#include "ui/modbus_read_window.h"
#include "ui/modbus_settings_window.h"
#include "ui/qt_support.h"
#include "ui/translations.h"
#include "ui/way_window.h"

using namespace r770;
using r770::test::BoxText;
using r770::test::Press;
using r770::test::WhenModal;

namespace {

std::string WriteSettings(const test::TempDir& dir, bool withDatabase) {
  std::string root = dir.File("L8");
  std::string ini = dir.File("r770cfg.ini");
  std::string text;
  if (withDatabase) {
    for (const char* sub : {"/ALG", "/MOD", "/TASK"}) std::filesystem::create_directories(root + sub);
    text = "[BaseL8]\r\nWay=" + root + "\r\nWayAlg=" + root + "/ALG\r\nWayMod=" + root +
           "/MOD\r\nWayTask=" + root + "/TASK\r\n";
  }
  test::WriteFileBytes(ini, text);
  return ini;
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void windowsFitASmallScreen() {
    // Every settings and test window, and the main one, fits 1024x600 with no button cut.
    test::TempDir dir;
    TFNastr w(WriteSettings(dir, true));
    test::FakeDialogs dialogs;
    // Nothing listens on port 1 of this machine: the exchange window opens no link.
    ProgramSettings settings = test::LoopbackSettings(dir.File("exchange.ini"), 1, 1);
    TFObmen exchange(w.Form().Config(), settings, nullptr, &dialogs, SystemClock(), dir.path());
    w.Common()->Prepare();
    w.Way()->Prepare();
    w.NastrObm()->Prepare();
    auto* modbusSettings = w.findChild<TFObmenModbus_r770*>();
    auto* modbusRead = w.findChild<TFReadModbus_r770*>();
    QVERIFY(modbusSettings && modbusRead);
    modbusSettings->Prepare();
    modbusRead->Prepare();
    const QSize screen(1024, 600);
    for (QWidget* window : std::initializer_list<QWidget*>{&w, w.Common(), w.Way(), &exchange, w.NastrObm(),
                                                           modbusSettings, modbusRead}) {
      const QString problem = test::FitProblem(window, screen);
      QVERIFY2(problem.isEmpty(), qPrintable(window->windowTitle() + ": " + problem));
      window->hide();
    }
    // The Ethernet side of the exchange settings too.
    w.NastrObm()->LinkKindChoice(LinkKindSetting::Ethernet)->click();
    const QString problem = test::FitProblem(w.NastrObm(), screen);
    QVERIFY2(problem.isEmpty(), qPrintable("Ethernet: " + problem));
    w.NastrObm()->hide();
  }

  void captionAndMenuTree() {
    test::TempDir dir;
    TFNastr w(WriteSettings(dir, true));
    w.show();
    QTRY_COMPARE(w.windowTitle(), QString::fromUtf8("Настройка R-770 Modbus/TCP(версия 10)"));

    QStringList tree;
    for (QAction* top : w.menuBar()->actions()) {
      // Shown as the captions read: the Alt letter marks are looked at in the keyboard test.
      QString line = top->text().remove(QChar('&'));
      if (QMenu* m = top->menu())
        for (QAction* a : m->actions())
          line += "|" + (a->isSeparator() ? QString("-") : a->text().remove(QChar('&')));
      tree << line;
    }
    QCOMPARE(tree,
             QStringList({
                 QString::fromUtf8("Файл|Новый|Загрузить|Сохранить|Сохранить как ...|Сравнить с "
                                   "файлом…|Экспорт карты для ведущего…|Последние документы|-|Выход"),
                 QString::fromUtf8("Общие настройки|Путь к БД|Дополнительные настройки"),
                 QString::fromUtf8("Настройки Modbus/TCP|Общие настройки|Список контроллеров|Coils|Discrete "
                                   "Inputs|Holding Registers|Input Registers"),
                 QString::fromUtf8("Настройка обмена"),
                 QString::fromUtf8("Обмен с  R-770 TCP/Modbus"),
                 QString::fromUtf8("Тест связи по Modbus|Настройка обмена|Чтение по Modbus|Монитор карты"),
                 QString::fromUtf8("Справка|Руководство пользователя"),
             }));
    QVERIFY(!w.MenuAction(MainMenu::ModbusTcp)->isVisible());
    QVERIFY(!w.Action(MainCommand::Save)->isVisible());
    QVERIFY(!w.Action(MainCommand::SaveAs)->isVisible());
    QVERIFY(w.Action(MainCommand::New)->isEnabled());
    QVERIFY(w.ProgressStrip()->isHidden());
    QCOMPARE(w.ProgressStrip()->maximum(), 116);
    QCOMPARE(w.pos(), QPoint(0, 0));
  }

  // Every caption of the bar and of each menu has an Alt letter of its own; Alt and the letter
  // opens a menu or runs a command of the bar, F10 opens the bar at its first entry.
  void menusAreReachableFromTheKeyboard() {
    test::TempDir dir;
    TFNastr w(WriteSettings(dir, true));
    w.show();
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    const auto checkLetters = [](const QList<QAction*>& actions, const QString& where) {
      QSet<QChar> letters;
      for (QAction* a : actions) {
        if (a->isSeparator()) continue;
        const QString text = a->text();
        const qsizetype mark = text.indexOf('&');
        QVERIFY2(mark >= 0 && mark + 1 < text.size() && text.indexOf('&', mark + 1) < 0,
                 qPrintable(where + ": " + text));
        const QChar letter = text[mark + 1].toLower();
        QVERIFY2(!letters.contains(letter), qPrintable(where + ": the letter of " + text + " is taken"));
        letters.insert(letter);
      }
    };
    checkLetters(w.menuBar()->actions(), "bar");
    for (QAction* top : w.menuBar()->actions())
      if (top->menu()) checkLetters(top->menu()->actions(), top->text());
    QCOMPARE(w.MenuAction(MainMenu::File)->text(), QString::fromUtf8("&Файл"));
    QCOMPARE(w.Action(MainCommand::SaveAs)->text(), QString::fromUtf8("Сохранить &как ..."));

    // Alt+Ф opens "Файл".
    QTest::sendKeyEvent(QTest::Click, &w, Qt::Key(0x0424), QString::fromUtf8("ф"), Qt::AltModifier);
    QMenu* file = w.MenuAction(MainMenu::File)->menu();
    QTRY_VERIFY(file->isVisible());
    QTest::keyClick(file, Qt::Key_Escape);
    QTest::keyClick(w.menuBar(), Qt::Key_Escape);
    QTRY_VERIFY(!file->isVisible());

    // F10 reaches the bar without a mouse.
    QTest::keyClick(&w, Qt::Key_F10);
    QCOMPARE(w.menuBar()->activeAction(), w.MenuAction(MainMenu::File));
    QTest::keyClick(w.menuBar(), Qt::Key_Escape);
  }

  void newReachesTheModelAndShowsTheStatusLine() {
    test::TempDir dir;
    TFNastr w(WriteSettings(dir, true));
    w.show();
    QTRY_VERIFY(!w.windowTitle().isEmpty());
    w.Action(MainCommand::New)->trigger();
    QVERIFY(w.Form().Config().State.IsNew);
    QCOMPARE(w.StatusField()->text(), QString::fromUtf8("Новый файл"));
    QVERIFY(w.MenuAction(MainMenu::ModbusTcp)->isVisible());
    QVERIFY(w.Action(MainCommand::SaveAs)->isVisible());
  }

  // The unsaved-changes question has three buttons; Esc cancels the closing. The caption
  // names the document and marks the changes.
  void closingWithChangesAsksAndEscKeepsTheWindow() {
    test::TempDir dir;
    TFNastr w(WriteSettings(dir, true));
    w.show();
    QTRY_VERIFY(!w.windowTitle().isEmpty());
    w.Action(MainCommand::New)->trigger();
    QCOMPARE(w.windowTitle(), QString::fromUtf8("r770cfg — Новый документ"));
    w.Form().Config().State.CommonChanged = true;
    w.Form().SetStatus("");  // any redraw of the window
    QCOMPARE(w.windowTitle(), QString::fromUtf8("r770cfg — Новый документ *"));

    QStringList buttons;
    WhenModal("\"Сохранить изменения?\" on closing", [&](QWidget* box) {
      QCOMPARE(BoxText(box), QString::fromUtf8("Сохранить изменения?"));
      buttons = r770::test::ButtonTexts(box);
      QTest::keyClick(box, Qt::Key_Escape);
    });
    QVERIFY(!w.close());
    buttons.sort();
    QCOMPARE(buttons,
             QStringList({QString::fromUtf8("Да"), QString::fromUtf8("Нет"), QString::fromUtf8("Отмена")}));
    QVERIFY(w.isVisible());
    QVERIFY(w.Form().Config().State.CommonChanged);

    WhenModal("\"Сохранить изменения?\" on closing again", [](QWidget* box) { Press(box, "Нет"); });
    QVERIFY(w.close());
    QVERIFY(!w.isVisible());
  }

  void pathWindowOpensByItselfWhenTheDatabaseIsMissing() {
    test::TempDir dir;
    TFNastr w(WriteSettings(dir, false));
    bool seen = false;
    WhenModal("the database path window", [&](QWidget* modal) {
      seen = true;
      QCOMPARE(modal, static_cast<QWidget*>(w.Way()));
      QCOMPARE(modal->windowTitle(), QString::fromUtf8("Путь к базе данных ЛОРИС-8"));
      // In automatic mode the derived folders' browse buttons are out of reach with their fields.
      for (auto f :
           {DatabasePathForm::Field::Alg, DatabasePathForm::Field::Mod, DatabasePathForm::Field::Task}) {
        QVERIFY(!w.Way()->FieldEdit(f)->isEnabled());
        QVERIFY(!w.Way()->BrowseButton(f)->isEnabled());
      }
      QVERIFY(w.Way()->BrowseButton(DatabasePathForm::Field::Root)->isEnabled());
      w.Way()->ManualToggle()->click();  // manual mode and back
      QVERIFY(w.Way()->BrowseButton(DatabasePathForm::Field::Mod)->isEnabled());
      w.Way()->ManualToggle()->click();
      QVERIFY(!w.Way()->BrowseButton(DatabasePathForm::Field::Mod)->isEnabled());
      // "Сохранить" with an empty root: the message line, the window stays.
      w.Way()->SaveButton()->click();
      QCOMPARE(w.Way()->MessageLine()->text(),
               QString::fromUtf8("Необходимо указать путь к базе данных ЛОРИС-8"));
      QVERIFY(w.Way()->isVisible());
      // A character the settings file cannot hold is refused where it is typed.
      QLineEdit* root = w.Way()->FieldEdit(DatabasePathForm::Field::Root);
      root->setFocus();
      QTest::sendKeyEvent(QTest::Click, root, Qt::Key_unknown, QString::fromUtf8("\u4E2D"), Qt::NoModifier);
      QCOMPARE(root->text(), QString());
      QVERIFY(w.Way()->MessageLine()->text().startsWith(QString::fromUtf8("Путь \u4E2D содержит символ")));
      w.Way()->reject();  // nothing taken: closes without a question
    });
    w.show();
    QTRY_VERIFY(seen);
    QTRY_VERIFY(!w.Way()->isVisible());
    QVERIFY(!w.Action(MainCommand::New)->isEnabled());
    QVERIFY(!w.Action(MainCommand::Load)->isEnabled());
  }

  void commonSettingsEditorTakesKeysThroughItsModel() {
    test::TempDir dir;
    TFNastr w(WriteSettings(dir, true));
    w.show();
    QTRY_VERIFY(!w.windowTitle().isEmpty());
    w.Action(MainCommand::New)->trigger();
    bool seen = false;
    WhenModal("the common settings editor", [&](QWidget* modal) {
      seen = true;
      QCOMPARE(modal->windowTitle(), QString::fromUtf8("Общие настройки"));
      QLineEdit* can = w.Common()->Edit(TFCommon::Input::AdrCAN);
      can->setFocus();
      can->selectAll();
      // "ф" (the key of A in the Russian layout) is A, "g" is refused.
      QTest::sendKeyEvent(QTest::Click, can, Qt::Key_unknown, QString::fromUtf8("ф"), Qt::NoModifier);
      QTest::keyClicks(can, "g");
      QCOMPARE(can->text(), QString("A"));
      // The spin field of the period: its keys and arrows go through the model too.
      QLineEdit* period = w.Common()->Edit(TFCommon::Input::trepeat);
      period->selectAll();
      QTest::keyClicks(period->parentWidget(), "65535");
      QCOMPARE(period->text(), QString("65535"));
      // Typed over the whole of a full field.
      period->selectAll();
      QTest::keyClicks(period->parentWidget(), "12x");
      QCOMPARE(period->text(), QString("12"));
      QTest::keyClick(period->parentWidget(), Qt::Key_Up);
      QCOMPARE(period->text(), QString("13"));
      QLineEdit* ip = w.Common()->Edit(TFCommon::Input::AdrIP);
      ip->selectAll();
      QTest::keyClick(ip, Qt::Key_Backspace);
      QTest::keyClicks(ip, "10.0.0.300");
      // The bad address: a message box, the focus on the field, the editor stays open.
      WhenModal(
          "the refusal of the IP address",
          [&](QWidget* box) {
            QCOMPARE(BoxText(box), QString::fromUtf8("Неправильно введен адрес IP."));
            Press(box, "OK");
          },
          modal);
      w.Common()->ApplyButton()->click();
      QVERIFY(w.Common()->isVisible());
      QTest::keyClick(ip, Qt::Key_Backspace);
      QTest::keyClick(ip, Qt::Key_Backspace);
      w.Common()->ApplyButton()->click();
    });
    w.Action(MainCommand::CommonSettings)->trigger();
    QVERIFY(seen);
    QVERIFY(!w.Common()->isVisible());
    QCOMPARE(w.Form().Config().Common.AdrCAN, 0x0A);
    QCOMPARE(w.Form().Config().Common.AdrIP[3], 3);
    QCOMPARE(w.Form().Config().Common.trepeat, 13);
    QVERIFY(w.Form().Config().State.CommonChanged);
  }

  void exchangeSettingsAskOnClosingAfterAChange() {
    test::TempDir dir;
    TFNastr w(WriteSettings(dir, true));
    w.show();
    QTRY_VERIFY(!w.windowTitle().isEmpty());
    bool asked = false;
    WhenModal("the exchange settings window", [&](QWidget* modal) {
      QCOMPARE(modal->windowTitle(), QString::fromUtf8("Настройка обмена"));
      QVERIFY(w.NastrObm()->ComPortGroup()->isVisible());
      w.NastrObm()->LinkKindChoice(LinkKindSetting::Ethernet)->click();
      QCOMPARE(w.NastrObm()->ModuleNumber()->text(), QString("01"));
      QVERIFY(!w.NastrObm()->ComPortGroup()->isVisible());
      QVERIFY(w.NastrObm()->EthernetGroup()->isVisible());
      WhenModal(
          "\"Сохранить изменения?\" of the exchange settings",
          [&](QWidget* box) {
            asked = true;
            QCOMPARE(BoxText(box), QString::fromUtf8("Сохранить изменения?"));
            Press(box, "Нет");
          },
          modal);
      w.NastrObm()->reject();
    });
    w.Action(MainCommand::ExchangeSettings)->trigger();
    QVERIFY(asked);
    QVERIFY(!w.NastrObm()->isVisible());
    QCOMPARE(w.Form().Settings().LinkKind, LinkKindSetting::CanBus);

    // "Дополнительные настройки": the choice reaches the settings on "Применить".
    WhenModal("the additional settings window", [&](QWidget* modal) {
      QCOMPARE(modal->windowTitle(), QString::fromUtf8("Дополнительные настройки"));
      w.DopNastr()->Choice(0)->click();
      w.DopNastr()->ApplyButton()->click();
    });
    w.Action(MainCommand::AdditionalSettings)->trigger();
    QVERIFY(!w.Form().Settings().ShortTaskNames);
  }

  void boxesOfTheQtLayer() {
    QtDialogs dialogs;
    WhenModal("the confirmation box", [](QWidget* box) {
      QCOMPARE(box->windowTitle(), QString::fromUtf8("Настройка R-770 Modbus/TCP(версия 10)"));
      QCOMPARE(r770::test::ButtonTexts(box).size(), 2);
      Press(box, "Да");
    });
    QVERIFY(dialogs.Confirm("Сохранить изменения?"));
    WhenModal("the confirmation box", [](QWidget* box) { Press(box, "Нет"); });
    QVERIFY(!dialogs.Confirm("Сохранить изменения?"));
    WhenModal("the information box", [](QWidget* box) { Press(box, "OK"); });
    dialogs.Information("Файл x не найден");

    // The question that may be cancelled: three buttons; Esc and the box's close button cancel.
    struct Case {
      const char* name;
      std::function<void(QWidget*)> answer;
      Dialogs::Answer expected;
    };
    const Case cases[] = {
        {"Да", [](QWidget* box) { Press(box, "Да"); }, Dialogs::Answer::Yes},
        {"Нет", [](QWidget* box) { Press(box, "Нет"); }, Dialogs::Answer::No},
        {"Отмена", [](QWidget* box) { Press(box, "Отмена"); }, Dialogs::Answer::Cancel},
        {"Esc", [](QWidget* box) { QTest::keyClick(box, Qt::Key_Escape); }, Dialogs::Answer::Cancel},
        {"close", [](QWidget* box) { box->close(); }, Dialogs::Answer::Cancel},
    };
    for (const Case& c : cases) {
      WhenModal(QString("the question answered with ") + c.name, [&c](QWidget* box) {
        QCOMPARE(BoxText(box), QString::fromUtf8("Сохранить данные?"));
        QStringList texts = r770::test::ButtonTexts(box);
        texts.sort();
        QCOMPARE(texts, QStringList({QString::fromUtf8("Да"), QString::fromUtf8("Нет"),
                                     QString::fromUtf8("Отмена")}));
        c.answer(box);
      });
      QVERIFY2(dialogs.Ask("Сохранить данные?") == c.expected, c.name);
    }
  }

  // The real file choices are wired: title, filters, the filter shown first and the start
  // folder; a cancelled choice gives no path. (Tests of windows answer file choices through
  // their Dialogs and never drive a file dialog.)
  void fileChoicesOfTheQtLayer() {
    test::TempDir dir;
    const QString start = QString::fromStdString(dir.path());
    QtDialogs dialogs;
    const std::vector<FileFilter> filters = ParseFilterText("*.bmt|*.bmt|*.* (All files)|*.*");
    struct Case {
      QString title;
      std::function<std::optional<std::string>()> choose;
    };
    const Case cases[] = {
        {QString::fromUtf8("Открыть"), [&] { return dialogs.OpenFile(filters, 1, dir.path()); }},
        {QString::fromUtf8("Сохранить как"), [&] { return dialogs.SaveFile(filters, 1, dir.path()); }},
    };
    for (const Case& c : cases) {
      WhenModal("the file choice " + c.title, [&](QWidget* modal) {
        auto* fd = qobject_cast<QFileDialog*>(modal);
        QVERIFY2(fd, qPrintable(BoxText(modal)));
        QCOMPARE(fd->windowTitle(), c.title);
        QCOMPARE(fd->nameFilters(), QStringList({"*.bmt (*.bmt)", "*.* (All files) (*)"}));
        QCOMPARE(fd->selectedNameFilter(), QString("*.* (All files) (*)"));
        QCOMPARE(fd->directory().absolutePath(), start);
        fd->reject();
      });
      QVERIFY(!c.choose().has_value());
    }
    WhenModal("the folder choice", [&](QWidget* modal) {
      auto* fd = qobject_cast<QFileDialog*>(modal);
      QVERIFY2(fd, qPrintable(BoxText(modal)));
      QCOMPARE(fd->windowTitle(), QString::fromUtf8("Выбор каталога"));
      QCOMPARE(fd->fileMode(), QFileDialog::Directory);
      fd->reject();
    });
    QVERIFY(!dialogs.ChooseFolder(dir.path()).has_value());
  }

  // Runs last: from here on Qt's own texts are Russian.
  void qtOwnDialogsSpeakRussian() {
    QVERIFY(InstallQtTranslations(*QCoreApplication::instance()));
    QtDialogs dialogs;
    WhenModal("the file choice", [](QWidget* modal) {
      auto* fd = qobject_cast<QFileDialog*>(modal);
      QVERIFY2(fd, qPrintable(BoxText(modal)));
      auto* box = fd->findChild<QDialogButtonBox*>();
      QVERIFY(box);
      QStringList texts;
      for (QAbstractButton* b : box->buttons()) texts << b->text().remove('&');
      texts.sort();
      QCOMPARE(texts, QStringList({QString::fromUtf8("Открыть"), QString::fromUtf8("Отмена")}));
      fd->reject();
    });
    QVERIFY(!dialogs.OpenFile(ParseFilterText("*.bmt|*.bmt"), 0).has_value());
    // The context menu of a text field.
    QLineEdit edit;
    std::unique_ptr<QMenu> menu(edit.createStandardContextMenu());
    QStringList items;
    for (QAction* a : menu->actions()) items << a->text().remove('&').section('\t', 0, 0);
    QVERIFY2(items.contains(QString::fromUtf8("Вставить")), qPrintable(items.join(",")));
  }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
