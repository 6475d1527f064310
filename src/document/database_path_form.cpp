#include "document/database_path_form.h"

#include <sys/stat.h>

#include "common/codec.h"
#include "common/dialogs.h"

namespace r770 {
namespace {

bool IsFolder(const std::string& path) {
  struct stat st {};
  return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string Missing(const std::string& folder) { return "Каталог " + folder + " не существует"; }

std::string SubFolder(const std::string& root, const char* name) {
  if (!root.empty() && root.back() == '/') return root + name;
  return root + "/" + name;
}

}  // namespace

const char* DatabasePathForm::FieldLabel(Field f) {
  switch (f) {
    case Field::Root:
      return "Библиотека";
    case Field::Alg:
      return "Алгоритмов";
    case Field::Mod:
      return "Модулей";
    case Field::Task:
      return "Шаблонов";
  }
  return "";
}

DatabasePathForm::DatabasePathForm(Dialogs& dialogs, ProgramSettings& settings, std::string settingsPath)
    : dialogs_(dialogs), settings_(settings), settingsPath_(std::move(settingsPath)) {}

void DatabasePathForm::SetFieldText(Field f, const std::string& text) {
  if (texts_[Index(f)] == text) return;
  texts_[Index(f)] = text;
  changed_ = true;
}

void DatabasePathForm::Show() {
  SetFieldText(Field::Root, settings_.DbRoot);
  SetFieldText(Field::Alg, settings_.DbAlg);
  SetFieldText(Field::Mod, settings_.DbMod);
  SetFieldText(Field::Task, settings_.DbTask);
  CheckPaths(false, false);
  focus_ = Field::Root;
  changed_ = false;
}

bool DatabasePathForm::RefusedPath(const std::string& path) {
  // The settings file holds code page 1251: a path it cannot hold is refused where it is
  // entered, never stored with "?" in place of its characters.
  std::string refusal = Cp1251Refusal("Путь " + path, path);
  if (refusal.empty()) {
    if (refusalShown_) message_.clear();
    refusalShown_ = false;
    return false;
  }
  message_ = std::move(refusal);
  refusalShown_ = true;
  return true;
}

void DatabasePathForm::SetText(Field f, const std::string& text) {
  if (!RefusedPath(text)) SetFieldText(f, text);
}

void DatabasePathForm::SetManual(bool manual) { manual_ = manual; }

int DatabasePathForm::CheckPaths(bool derive, bool report) {
  message_.clear();
  refusalShown_ = false;
  int code = 0;
  if (derive) {
    if (!manual_) {
      if (settings_.DbRoot.empty()) {
        code = 1;
      } else if (!IsFolder(settings_.DbRoot)) {
        code = 2;
      } else {
        settings_.DbAlg = SubFolder(settings_.DbRoot, "ALG");
        settings_.DbMod = SubFolder(settings_.DbRoot, "MOD");
        settings_.DbTask = SubFolder(settings_.DbRoot, "TASK");
        SetFieldText(Field::Alg, settings_.DbAlg);
        SetFieldText(Field::Mod, settings_.DbMod);
        SetFieldText(Field::Task, settings_.DbTask);
      }
    }
    if (code == 0) {
      settings_.WorkAlg = settings_.DbAlg;
      settings_.WorkMod = settings_.DbMod;
      settings_.WorkTask = settings_.DbTask;
    }
  }
  if (code == 0) {
    if (!IsFolder(settings_.WorkAlg))
      code = 3;
    else if (!IsFolder(settings_.WorkMod))
      code = 4;
    else if (!IsFolder(settings_.WorkTask))
      code = 5;
  }
  if (code != 0 && report) {
    switch (code) {
      case 1:
        message_ = "Необходимо указать путь к базе данных ЛОРИС-8";
        focus_ = Field::Root;
        break;
      case 2:
        message_ = Missing(settings_.DbRoot);
        focus_ = Field::Root;
        break;
      case 3:
        message_ = Missing(settings_.WorkAlg);
        focus_ = Field::Alg;
        break;
      case 4:
        message_ = Missing(settings_.WorkMod);
        focus_ = Field::Mod;
        break;
      case 5:
        message_ = Missing(settings_.WorkTask);
        focus_ = Field::Task;
        break;
    }
    if (code >= 3) manual_ = true;
  }
  return code;
}

void DatabasePathForm::Browse(Field f) {
  if (!FieldEnabled(f)) return;  // a disabled field's button is disabled with it
  // The browse dialog starts at the field's folder, else at the nearest folder above it, else
  // at the database root.
  std::string start = ExistingFolderOf(texts_[Index(f)]);
  if (start.empty()) start = ExistingFolderOf(texts_[Index(Field::Root)]);
  std::optional<std::string> chosen = dialogs_.ChooseFolder(start);
  if (!chosen) return;
  std::string path;
  for (char c : *chosen)
    if (c != '"') path.push_back(c);
  if (RefusedPath(path)) return;
  std::string* stored = nullptr;
  switch (f) {
    case Field::Root:
      stored = &settings_.DbRoot;
      break;
    case Field::Alg:
      stored = &settings_.DbAlg;
      break;
    case Field::Mod:
      stored = &settings_.DbMod;
      break;
    case Field::Task:
      stored = &settings_.DbTask;
      break;
  }
  *stored = path;
  if (CheckPaths(true, true) == 0) SetFieldText(f, *stored);
}

void DatabasePathForm::TakeFieldsAsPaths() {
  settings_.DbRoot = texts_[Index(Field::Root)];
  settings_.DbAlg = texts_[Index(Field::Alg)];
  settings_.DbMod = texts_[Index(Field::Mod)];
  settings_.DbTask = texts_[Index(Field::Task)];
}

bool DatabasePathForm::CheckAndWrite() {
  TakeFieldsAsPaths();
  if (CheckPaths(true, true) != 0) return false;
  std::string error = WriteDatabasePaths(settingsPath_, settings_);
  if (!error.empty()) {
    dialogs_.Information(error);
    return false;
  }
  return true;
}

bool DatabasePathForm::SavePressed() {
  if (!CheckAndWrite()) return false;
  changed_ = false;
  return true;
}

bool DatabasePathForm::CloseRequested() {
  if (!changed_) return true;
  changed_ = false;
  if (!dialogs_.Confirm("Сохранить изменения?")) return true;
  return CheckAndWrite();
}

}  // namespace r770
