#include "common/day_log.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "common/codec.h"
#include "common/file_io.h"
#include "common/program_path.h"

namespace r770 {
namespace {

std::string Two(int v) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%02d", ((v % 100) + 100) % 100);
  return buf;
}

}  // namespace

std::string DayLogFileName(const LocalTime& t) {
  return Two(t.day) + "_" + Two(t.month) + "_" + Two(t.year) + ".Txt";
}

std::string DayLogLine(const LocalTime& t, std::string_view text) {
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%02d:%02d:%02d:%03d : ", t.hour % 100, t.minute % 100, t.second % 100,
                ((t.millisecond % 1000) + 1000) % 1000);
  std::string line = stamp;
  line.append(text);
  return line;
}

DayLog::DayLog(Clock& clock, std::string folder) : clock_(clock), folder_(std::move(folder)) {}

std::string DayLog::Folder() const { return folder_.empty() ? LogFolder() : folder_; }

std::string DayLog::CurrentPath() const { return Folder() + "/" + DayLogFileName(clock_.LocalNow()); }

bool DayLog::Write(std::string_view text) noexcept {
  try {
    // One reading of the clock names the file and stamps the line.
    LocalTime now = clock_.LocalNow();
    std::string path = Folder() + "/" + DayLogFileName(now);
    std::string bytes = Utf8ToCp1251(DayLogLine(now, text)) + "\r\n";
    std::string error;
    const int fd = OpenForAppend(path, &error);
    if (fd < 0) return false;
    bool ok = WriteAllBytes(fd, bytes);
    if (::close(fd) != 0 && errno != EINTR) ok = false;
    return ok;
  } catch (...) {
    return false;
  }
}

}  // namespace r770
