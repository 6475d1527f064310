// DatabasePathForm: the logic of TFWay, the window that points the program at the ЛОРИС-8
// controller database (its root, or the folders of algorithms, modules and task templates)
// and stores the paths in the section "BaseL8" of the settings file.
#pragma once
#include <array>
#include <optional>
#include <string>

#include "document/program_settings.h"

namespace r770 {

class Dialogs;

class DatabasePathForm {
 public:
  enum class Field { Root = 0, Alg = 1, Mod = 2, Task = 3 };

  static constexpr const char* kCaption = "Путь к базе данных ЛОРИС-8";
  static constexpr const char* kGroupTitle = "Путь к Базе Данных";
  static constexpr const char* kManualHint = "Ручная настройка путеей к библиотекам";
  static constexpr const char* kSaveButton = "Сохранить";
  static const char* FieldLabel(Field f);

  DatabasePathForm(Dialogs& dialogs, ProgramSettings& settings, std::string settingsPath);

  // --- what the window shows
  const std::string& Text(Field f) const { return texts_[Index(f)]; }
  // The three lower fields, their labels and browse buttons are enabled only in manual mode.
  bool FieldEnabled(Field f) const { return f == Field::Root || manual_; }
  bool Manual() const { return manual_; }
  const std::string& Message() const { return message_; }
  bool Changed() const { return changed_; }
  // The field that should take the input focus; cleared when taken.
  std::optional<Field> TakeFocus() {
    auto f = focus_;
    focus_.reset();
    return f;
  }

  // --- events
  void Show();
  void SetText(Field f, const std::string& text);  // the user edited a field
  void SetManual(bool manual);                     // the toggle went down (true) or up
  void Browse(Field f);                            // the field's browse button
  // "Сохранить": true when the window closes.
  bool SavePressed();
  // Closing by any other means: true when the window may close.
  bool CloseRequested();

  // The check of every action: 0 usable, else 1..5 (root empty, root missing, algorithms,
  // modules or tasks folder missing).
  int CheckPaths(bool derive, bool report);

 private:
  static std::size_t Index(Field f) { return static_cast<std::size_t>(f); }
  void SetFieldText(Field f, const std::string& text);
  void TakeFieldsAsPaths();
  // Checks with derive and report; writes "BaseL8" when usable. True when written.
  bool CheckAndWrite();
  // A path with characters code page 1251 cannot hold: the message line says so (true).
  bool RefusedPath(const std::string& path);

  Dialogs& dialogs_;
  ProgramSettings& settings_;
  std::string settingsPath_;
  std::array<std::string, 4> texts_;
  bool manual_ = false;  // the toggle is down; lasts for the program run
  std::string message_;
  bool changed_ = false;
  bool refusalShown_ = false;  // the message line shows a refused path
  std::optional<Field> focus_;
};

}  // namespace r770
