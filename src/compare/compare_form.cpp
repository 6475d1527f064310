#include "compare/compare_form.h"

#include <sys/stat.h>

#include "common/dialogs.h"
#include "document/document_file.h"

namespace r770 {

CompareForm::CompareForm(Configuration& document, const ProgramSettings& settings, Dialogs& dialogs)
    : document_(document), settings_(settings), dialogs_(dialogs) {}

std::array<std::string, 3> CompareForm::Columns() const {
  return {"Где", "Документ", against_ == Against::File ? "Файл" : "Модуль"};
}

bool CompareForm::StartWithModule(CompareModule& module) {
  against_ = Against::Module;
  module_ = writer_ = &module;
  caption_ = kCompareModuleCaption;
  if (!ReadModule()) return false;
  Compare();
  return true;
}

bool CompareForm::StartWithFile(const std::string& startFolder, CompareModule* writer) {
  const auto path = dialogs_.OpenFile(ParseFilterText(kDocumentFilter), 0, startFolder);
  if (!path) return false;
  return StartWithPath(*path, writer);
}

bool CompareForm::StartWithPath(const std::string& path, CompareModule* writer) {
  struct stat st {};
  if (path.empty() || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
    dialogs_.Information("Файл " + path + " не найден");
    return false;
  }
  other_.ResetForNew();
  other_.State = DocumentState{};
  DialogsDocumentView view(dialogs_);  // a controller without task file needs no editor here
  if (!LoadDocument(other_, settings_, path, view)) return false;
  against_ = Against::File;
  module_ = nullptr;
  writer_ = writer;
  otherPath_ = path;
  caption_ = kCompareFileCaption + path;
  Compare();
  return true;
}

bool CompareForm::ReadModule() {
  running_ = true;
  status_ = kCompareReading;
  const bool ok = module_->ReadModule(other_);
  running_ = false;
  return ok;
}

void CompareForm::Compare() {
  differences_ = CompareConfigurations(document_, other_, {settings_.ShortTaskNames});
  rows_.clear();
  auto group = [&](DiffGroup g, MapKind map, const char* whenEqual) {
    rows_.push_back({CompareRow::Kind::Title, DiffGroupTitle(g, map), {}, {}});
    bool any = false;
    for (const ConfigDifference& d : differences_) {
      if (d.Group != g || (g == DiffGroup::Map && d.Map != map)) continue;
      rows_.push_back({CompareRow::Kind::Difference, d.Where, d.Left, d.Right});
      any = true;
    }
    if (!any) rows_.push_back({CompareRow::Kind::Note, whenEqual, {}, {}});
  };
  group(DiffGroup::Common, MapKind::TU, kCompareEqual);
  group(DiffGroup::Controllers, MapKind::TU,
        ComparesControllers(document_, other_) ? kCompareEqual : kCompareNoControllers);
  for (MapKind k : kDiffMapOrder) group(DiffGroup::Map, k, kCompareEqual);
  status_ = Summary();
}

std::string CompareForm::Summary() const {
  return Equal() ? std::string(kCompareEqual) : "Различий: " + std::to_string(differences_.size());
}

std::vector<std::vector<std::string>> CompareForm::PrintRows() const {
  std::vector<std::vector<std::string>> out;
  for (const CompareRow& r : rows_) out.push_back({r.where, r.left, r.right});
  return out;
}

void CompareForm::WritePressed() {
  if (!WriteEnabled()) return;
  running_ = true;
  status_ = kCompareWriting;
  const bool written = writer_->WriteDocument();
  running_ = false;
  if (!written) {
    status_ = Summary();
    return;
  }
  if (against_ != Against::Module) {
    status_ = "Запись завершена";
    return;
  }
  // What the module holds now: read back and compared anew.
  if (!ReadModule()) {
    status_ = kCompareStale;
    return;
  }
  Compare();
}

void CompareForm::TakePressed() {
  if (!TakeEnabled() || !dialogs_.Confirm(kCompareTakeQuestion)) return;
  if (TakeModuleConfiguration(document_, other_, {settings_.ShortTaskNames})) documentChanged_ = true;
  Compare();
  if (documentChanged_) status_ = std::string(kCompareTaken) + (Equal() ? "" : "; " + status_);
}

void CompareForm::AbortPressed() {
  if (running_ && module_)
    module_->Abort();
  else if (running_ && writer_)
    writer_->Abort();
}

}  // namespace r770
