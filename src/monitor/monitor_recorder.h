// "Запись в файл" of the map monitor: every cycle appended to a CSV file (UTF-8, header
// line, lines ending CR LF, RFC 4180 quoting), one line per point:
//   time,map,address,name,value,note
// time is the cycle's local time in ISO 8601 with milliseconds, map the key coils, di, hr or
// ir, value with a decimal point. Each cycle goes to the file in one write, so a program
// killed mid-cycle loses at most that cycle.
#pragma once
#include <string>
#include <vector>

#include "common/clock.h"
#include "monitor/monitor_poller.h"
#include "monitor/monitor_plan.h"

namespace r770 {

inline constexpr const char* kMonitorCsvHeader = "time,map,address,name,value,note";

// "2026-12-10T14:05:03.042"
std::string IsoLocalTime(const LocalTime& t);
// A CSV field: quoted (quotes doubled) when it holds a comma, a quote or a line break.
std::string CsvField(const std::string& text);

class MonitorRecorder {
 public:
  MonitorRecorder() = default;
  ~MonitorRecorder();
  MonitorRecorder(const MonitorRecorder&) = delete;
  MonitorRecorder& operator=(const MonitorRecorder&) = delete;

  // Opens `path` for appending, creating it; the header is written when the file is empty.
  // False with error set when it cannot be opened.
  bool Open(const std::string& path, std::string& error);
  bool IsOpen() const { return fd_ >= 0; }
  const std::string& Path() const { return path_; }
  // Appends the cycle's lines. False with error set when the write failed (the file stays
  // open; the caller decides).
  bool Append(const LocalTime& time, const std::vector<MonitorPoint>& points,
              const std::vector<PointReading>& readings, std::string& error);
  void Close();

  // The lines of one cycle as Append writes them.
  static std::string CycleLines(const LocalTime& time, const std::vector<MonitorPoint>& points,
                                const std::vector<PointReading>& readings);

 private:
  bool WriteAll(const std::string& text, std::string& error);
  int fd_ = -1;
  std::string path_;
};

}  // namespace r770
