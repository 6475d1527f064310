// ExchangeLog: the exchange window's log. Every line goes into the log view (emptied once it
// holds more than 500 lines) and into the day's log file in the program's folder
// ("dd_mm_yy.Txt", lines "hh:nn:ss:zzz : text"), which is opened, appended and closed per
// line. A file that cannot be written never stops the exchange: the view says so once.
#pragma once
#include <string>
#include <vector>

#include "common/clock.h"
#include "common/day_log.h"

namespace r770 {

class ExchangeView;

inline constexpr std::size_t kLogViewLimit = 500;

class ExchangeLog {
 public:
  // folder empty: the program's folder.
  explicit ExchangeLog(Clock& clock = SystemClock(), std::string folder = {});

  void SetView(ExchangeView* view) { view_ = view; }
  ExchangeView* View() const { return view_; }
  void SetFolder(std::string folder) { file_.SetFolder(std::move(folder)); }
  std::string CurrentPath() const { return file_.CurrentPath(); }

  // One line into the view and the file.
  void Add(const std::string& text);
  // Empties the view and forgets that a file failure was reported (the window is shown anew).
  void Clear();

  const std::vector<std::string>& Lines() const { return lines_; }

  // Log handler for OpenLink: context is the ExchangeLog; the kind is ignored.
  static void Handler(void* context, const std::string& text, int kind);

 private:
  void AddToView(const std::string& text);

  ExchangeView* view_ = nullptr;
  DayLog file_;
  std::vector<std::string> lines_;
  bool fileFailureShown_ = false;
};

}  // namespace r770
