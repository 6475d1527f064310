// "Запись в файл" of the map monitor: every cycle appended to a CSV file (UTF-8, header
// line, lines ending CR LF, RFC 4180 quoting), one line per point, in one of two dialects:
//   Rfc4180:  time,map,address,name,value,note
//     time the cycle's local time in ISO 8601 with milliseconds, value with a decimal point;
//   Russian (for spreadsheets set to Russian): Время;Карта;Адрес;Параметр;Значение;Примечание
//     ";" between fields, time "10.12.2026 14:05:03,042", value with a decimal comma, and a
//     UTF-8 byte order mark opening a new file so that the spreadsheet reads it as UTF-8.
// map is the key coils, di, hr or ir in both. Each cycle goes to the file in one write, so a
// program killed mid-cycle loses at most that cycle.
#pragma once
#include <string>
#include <vector>

#include "common/clock.h"
#include "monitor/monitor_plan.h"
#include "monitor/monitor_poller.h"

namespace r770 {

enum class CsvDialect { Rfc4180, Russian };

inline constexpr const char* kMonitorCsvHeader = "time,map,address,name,value,note";
inline constexpr const char* kMonitorRussianCsvHeader = "Время;Карта;Адрес;Параметр;Значение;Примечание";
// Names of the dialects in the window and their keys in the settings file.
inline constexpr const char* kCsvDialectNames[2] = {"CSV (RFC 4180: «,», десятичная точка)",
                                                    "CSV для таблиц («;», десятичная запятая)"};
inline constexpr const char* kCsvDialectKeys[2] = {"rfc4180", "ru"};

// "2026-12-10T14:05:03.042"
std::string IsoLocalTime(const LocalTime& t);
// The file name of a recording: ".csv" added when the name has no extension.
std::string WithCsvExtension(const std::string& path);

class MonitorRecorder {
 public:
  MonitorRecorder() = default;
  ~MonitorRecorder();
  MonitorRecorder(const MonitorRecorder&) = delete;
  MonitorRecorder& operator=(const MonitorRecorder&) = delete;

  // Opens `path` for appending, creating it; the header is written when the file is empty.
  // False with error set when it cannot be opened.
  bool Open(const std::string& path, CsvDialect dialect, std::string& error);
  bool Open(const std::string& path, std::string& error) { return Open(path, CsvDialect::Rfc4180, error); }
  CsvDialect Dialect() const { return dialect_; }
  bool IsOpen() const { return fd_ >= 0; }
  const std::string& Path() const { return path_; }
  // Appends the cycle's lines. False with error set when the write failed (the file stays
  // open; the caller decides).
  bool Append(const LocalTime& time, const std::vector<MonitorPoint>& points,
              const std::vector<PointReading>& readings, std::string& error);
  void Close();

  // The lines of one cycle as Append writes them.
  static std::string CycleLines(const LocalTime& time, const std::vector<MonitorPoint>& points,
                                const std::vector<PointReading>& readings,
                                CsvDialect dialect = CsvDialect::Rfc4180);

 private:
  bool WriteAll(const std::string& text, std::string& error);
  int fd_ = -1;
  std::string path_;
  CsvDialect dialect_ = CsvDialect::Rfc4180;
};

}  // namespace r770
