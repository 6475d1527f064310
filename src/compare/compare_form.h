// CompareForm: form model of the comparison window, which shows what differs between the
// document and the module ("Сравнить с модулем", from the exchange window) or another
// document file ("Сравнить с файлом…", from the main window's "Файл"): a table of the
// differences grouped by common settings, controllers and the four maps, with
// "Записать документ в модуль" and, for the module, "Взять из модуля".
#pragma once
#include <array>
#include <string>
#include <vector>

#include "compare/config_diff.h"
#include "document/configuration.h"
#include "document/program_settings.h"

namespace r770 {

class Dialogs;

// What the comparison needs of the module; the exchange window implements it with its own
// procedures over its open link.
class CompareModule {
 public:
  virtual ~CompareModule() = default;
  // The normal write of the document into the module; true when it completed.
  virtual bool WriteDocument() = 0;
  // The read procedure into `into`, a configuration of the comparison's own (the document is
  // untouched); false when the read failed or was aborted (the procedure has said why).
  virtual bool ReadModule(Configuration& into) = 0;
  // "Прервать" while one of the two runs.
  virtual void Abort() = 0;
};

inline constexpr const char* kCompareModuleCommand = "Сравнить с модулем";
inline constexpr const char* kCompareFileCommand = "Сравнить с файлом…";
inline constexpr const char* kCompareModuleCaption = "Сравнение с модулем R-770 TCP/Modbus";
inline constexpr const char* kCompareFileCaption = "Сравнение с файлом ";
inline constexpr const char* kCompareWriteButton = "Записать документ в модуль";
inline constexpr const char* kCompareTakeButton = "Взять из модуля";
inline constexpr const char* kCompareCloseButton = "Закрыть";
inline constexpr const char* kCompareEqual = "Одинаково";
inline constexpr const char* kCompareNoControllers = "Не сравниваются: модуль не хранит список контроллеров";
inline constexpr const char* kCompareTakeQuestion =
    "Заменить общие настройки и карты документа прочитанными из модуля? Документ будет отмечен как "
    "изменённый.";
inline constexpr const char* kCompareWriting = "Идет запись документа в модуль";
inline constexpr const char* kCompareReading = "Идет чтение из модуля";
inline constexpr const char* kCompareTaken = "Конфигурация документа взята из модуля";
inline constexpr const char* kCompareStale = "Модуль не прочитан: таблица показывает прежнее сравнение";

struct CompareRow {
  enum class Kind { Title, Difference, Note };
  Kind kind = Kind::Note;
  std::string where;  // a title's text, a note's text, or where the difference is
  std::string left, right;
  bool operator==(const CompareRow&) const = default;
};

class CompareForm {
 public:
  enum class Against { None, Module, File };

  CompareForm(Configuration& document, const ProgramSettings& settings, Dialogs& dialogs);
  CompareForm(const CompareForm&) = delete;
  CompareForm& operator=(const CompareForm&) = delete;

  // The module case: reads the module and compares. False when the read failed (the window
  // is not shown then).
  bool StartWithModule(CompareModule& module);
  // The file case: asks for a document file (opening in startFolder), loads it with the
  // database folders of the settings and compares. writer, when given, carries out
  // "Записать документ в модуль". False when the choice was cancelled or the file did not load
  // (the reason shown).
  bool StartWithFile(const std::string& startFolder, CompareModule* writer);
  bool StartWithPath(const std::string& path, CompareModule* writer);

  // ---- what the window shows
  Against Side() const { return against_; }
  const std::string& Caption() const { return caption_; }
  // "Где", "Документ", "Модуль" or "Файл".
  std::array<std::string, 3> Columns() const;
  const std::vector<CompareRow>& Rows() const { return rows_; }
  const std::vector<ConfigDifference>& Differences() const { return differences_; }
  bool Equal() const { return differences_.empty(); }
  // "Одинаково", "Различий: N", or what the last command did.
  const std::string& Status() const { return status_; }
  bool WriteVisible() const { return writer_ != nullptr; }
  bool WriteEnabled() const { return WriteVisible() && !running_; }
  bool TakeVisible() const { return against_ == Against::Module; }
  bool TakeEnabled() const { return TakeVisible() && !running_ && !Equal(); }
  bool AbortEnabled() const { return running_; }
  bool Running() const { return running_; }
  // True once "Взять из модуля" changed the document (the main window redraws it).
  bool DocumentChanged() const { return documentChanged_; }
  // The table as printed: titles and rows of three cells, titles of groups in the first.
  std::vector<std::vector<std::string>> PrintRows() const;

  // ---- window events
  // "Записать документ в модуль": the normal write; in the module case the module is read
  // again afterwards and compared anew.
  void WritePressed();
  // "Взять из модуля", after a confirmation.
  void TakePressed();
  void AbortPressed();
  // The window asks to close: refused while a write or read runs.
  bool RequestClose() const { return !running_; }

 private:
  void Compare();
  bool ReadModule();
  std::string Summary() const;

  Configuration& document_;
  const ProgramSettings& settings_;
  Dialogs& dialogs_;
  Configuration other_;
  Against against_ = Against::None;
  CompareModule* module_ = nullptr;  // the module case
  CompareModule* writer_ = nullptr;
  std::string caption_;
  std::string otherPath_;
  std::vector<ConfigDifference> differences_;
  std::vector<CompareRow> rows_;
  std::string status_;
  bool running_ = false;
  bool documentChanged_ = false;
};

}  // namespace r770
