// The comparison window: the differences between the document and the module or another
// document file, a thin view over CompareForm. Opened from the exchange window
// ("Сравнить с модулем") and from the main window's "Файл" ("Сравнить с файлом…").
#pragma once
#include <QDialog>
#include <functional>
#include <string>

#include "compare/compare_form.h"

class QLabel;
class QPrinter;
class QPushButton;
class QTableWidget;

namespace r770 {

class Dialogs;
class ExchangeForm;
class TFObmen;

class CompareWindow : public QDialog {
  Q_OBJECT
 public:
  CompareWindow(Configuration& document, const ProgramSettings& settings, Dialogs& dialogs,
                QWidget* parent = nullptr);

  CompareForm& Form() { return form_; }
  // Draws the form model (after one of its Start... succeeded).
  void Render();
  // Paints the table on the printer's pages, as the map editors print theirs.
  bool PrintTo(QPrinter& printer);

  QTableWidget* Table() const { return table_; }
  QPushButton* WriteButton() const { return write_; }
  QPushButton* TakeButton() const { return take_; }
  QPushButton* AbortButton() const { return abort_; }
  QPushButton* PrintButton() const { return print_; }
  QPushButton* PreviewButton() const { return preview_; }
  QPushButton* CloseButton() const { return close_; }
  QLabel* StatusLine() const { return status_; }

 public slots:
  void reject() override;

 private:
  // Runs a command that may take an exchange: only "Прервать" is within reach meanwhile.
  void RunCommand(const std::function<void()>& command);

  CompareForm form_;
  QTableWidget* table_ = nullptr;
  QPushButton* write_ = nullptr;
  QPushButton* take_ = nullptr;
  QPushButton* abort_ = nullptr;
  QPushButton* print_ = nullptr;
  QPushButton* preview_ = nullptr;
  QPushButton* close_ = nullptr;
  QLabel* status_ = nullptr;
};

// The module side of a comparison over the exchange window's open link: its normal write
// and its read procedure into the comparison's own configuration.
class ExchangeCompareModule final : public CompareModule {
 public:
  explicit ExchangeCompareModule(ExchangeForm& exchange) : exchange_(exchange) {}
  bool WriteDocument() override;
  bool ReadModule(Configuration& into) override;
  void Abort() override;

 private:
  ExchangeForm& exchange_;
};

// The writer of a comparison with a file: opens the exchange window with the mode
// "Запись в R-770 TCP/Modbus" chosen; the user presses "Записать" there.
class ExchangeWindowWriter final : public CompareModule {
 public:
  explicit ExchangeWindowWriter(TFObmen& window) : window_(window) {}
  bool WriteDocument() override;
  bool ReadModule(Configuration&) override { return false; }
  void Abort() override {}

 private:
  TFObmen& window_;
};

// "Сравнить с модулем": reads the module over the exchange window's link and, once read, shows
// the comparison modally. documentChanged runs when "Взять из модуля" changed the document.
// dialogs: message and question boxes (nullptr: Qt's message boxes).
void OpenModuleComparison(ExchangeForm& exchange, Dialogs* dialogs, QWidget* parent,
                          const std::function<void()>& documentChanged);

// "Сравнить с файлом…": asks for the file, loads it and shows the comparison modally. writer
// (may be null) carries out "Записать документ в модуль".
void OpenFileComparison(Configuration& document, const ProgramSettings& settings, Dialogs& dialogs,
                        const std::string& startFolder, CompareModule* writer, QWidget* parent);

}  // namespace r770
