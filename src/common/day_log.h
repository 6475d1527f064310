// The day log: one text file per day in the program's log folder (LogFolder(), program_path.h),
// named "dd_mm_yy.Txt", one line per event "hh:nn:ss:zzz : text", code page 1251. Each line opens
// the file for appending (creating it when absent), writes and closes it again.
#pragma once
#include <string>
#include <string_view>

#include "common/clock.h"

namespace r770 {

// "06_12_26.Txt" for 6 December 2026.
std::string DayLogFileName(const LocalTime& t);
// "hh:nn:ss:zzz : text" (24-hour clock, milliseconds), without the line end.
std::string DayLogLine(const LocalTime& t, std::string_view text);

class DayLog {
 public:
  // folder empty: the program's log folder (LogFolder()), looked up at every write.
  explicit DayLog(Clock& clock = SystemClock(), std::string folder = {});

  void SetFolder(std::string folder) { folder_ = std::move(folder); }
  // The folder the next line goes to.
  std::string Folder() const;
  // The file the next line would go to (by the clock's local date now).
  std::string CurrentPath() const;

  // Appends one line (text in UTF-8, written in code page 1251, CR LF). False when the file
  // could not be opened or written; never throws.
  bool Write(std::string_view text) noexcept;

 private:
  Clock& clock_;
  std::string folder_;
};

}  // namespace r770
