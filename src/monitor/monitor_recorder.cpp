#include "monitor/monitor_recorder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "common/codec.h"
#include "common/file_io.h"
#include "modbus_test/modbus_frames.h"

namespace r770 {

std::string IsoLocalTime(const LocalTime& t) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d.%03d", t.year, t.month, t.day, t.hour,
                t.minute, t.second, t.millisecond);
  return buf;
}

std::string WithCsvExtension(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  // A leading dot makes a hidden file, not an extension; a trailing one is no extension.
  const std::size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0 && dot + 1 < name.size()) return path;
  if (!name.empty() && name.back() == '.') return path + "csv";
  return path + ".csv";
}

MonitorRecorder::~MonitorRecorder() { Close(); }

bool MonitorRecorder::Open(const std::string& path, CsvDialect dialect, std::string& error) {
  Close();
  fd_ = OpenForAppend(path, &error);
  if (fd_ < 0) return false;
  path_ = path;
  dialect_ = dialect;
  const std::string header = dialect == CsvDialect::Russian
                                 ? std::string("\xEF\xBB\xBF") + kMonitorRussianCsvHeader
                                 : std::string(kMonitorCsvHeader);
  struct stat st {};
  if (::fstat(fd_, &st) == 0 && st.st_size == 0 && !WriteAll(header + "\r\n", error)) {
    Close();
    return false;
  }
  return true;
}

void MonitorRecorder::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool MonitorRecorder::WriteAll(const std::string& text, std::string& error) {
  std::size_t done = 0;
  while (done < text.size()) {
    ssize_t n = ::write(fd_, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error = "Ошибка записи в файл " + path_ + ": " + std::strerror(n < 0 ? errno : EIO);
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

std::string MonitorRecorder::CycleLines(const LocalTime& time, const std::vector<MonitorPoint>& points,
                                        const std::vector<PointReading>& readings, CsvDialect dialect) {
  const bool russian = dialect == CsvDialect::Russian;
  const char sep = russian ? ';' : ',';
  std::string stamp = IsoLocalTime(time);
  if (russian) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%02d.%02d.%04d %02d:%02d:%02d,%03d", time.day, time.month, time.year,
                  time.hour, time.minute, time.second, time.millisecond);
    stamp = buf;
  }
  std::string out;
  for (std::size_t i = 0; i < points.size() && i < readings.size(); ++i) {
    const MonitorPoint& p = points[i];
    const PointReading& r = readings[i];
    std::string value;
    if (r.valid) value = IsBitMap(p.kind) ? r.value : FormatTestFloat(r.number, russian ? "," : ".");
    out += stamp + sep + MapKey(p.kind) + sep + std::to_string(p.address) + sep +
           CsvField(EscapeControlChars(p.name), sep) + sep + value + sep + CsvField(r.note, sep) + "\r\n";
  }
  return out;
}

bool MonitorRecorder::Append(const LocalTime& time, const std::vector<MonitorPoint>& points,
                             const std::vector<PointReading>& readings, std::string& error) {
  if (fd_ < 0) {
    error = "Файл записи не открыт";
    return false;
  }
  return WriteAll(CycleLines(time, points, readings, dialect_), error);
}

}  // namespace r770
