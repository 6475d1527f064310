#include "exchange/exchange_log.h"

#include "exchange/exchange_view.h"

namespace r770 {

ExchangeLog::ExchangeLog(Clock& clock, std::string folder) : file_(clock, std::move(folder)) {}

void ExchangeLog::AddToView(const std::string& text) {
  if (lines_.size() > kLogViewLimit) {
    lines_.clear();
    if (view_) view_->LogCleared();
  }
  lines_.push_back(text);
  if (view_) view_->LogAppended(text);
}

void ExchangeLog::Add(const std::string& text) {
  AddToView(text);
  if (!file_.Write(text) && !fileFailureShown_) {
    fileFailureShown_ = true;
    const std::string notice = "Не удается записать журнал обмена в файл " + file_.CurrentPath() +
                               "; обмен продолжается без записи в файл";
    AddToView(notice);
    if (view_) view_->LogFileFailed(notice);
  }
}

void ExchangeLog::Clear() {
  lines_.clear();
  fileFailureShown_ = false;
  if (view_) view_->LogCleared();
}

void ExchangeLog::Handler(void* context, const std::string& text, int) {
  static_cast<ExchangeLog*>(context)->Add(text);
}

}  // namespace r770
