#include "common/clock.h"

#include <chrono>
#include <ctime>
#include <thread>

namespace r770 {

std::int64_t RealClock::NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

LocalTime RealClock::LocalNow() {
  using namespace std::chrono;
  auto now = system_clock::now();
  std::time_t t = system_clock::to_time_t(now);
  std::tm tm{};
  localtime_r(&t, &tm);
  LocalTime lt;
  lt.year = tm.tm_year + 1900;
  lt.month = tm.tm_mon + 1;
  lt.day = tm.tm_mday;
  lt.hour = tm.tm_hour;
  lt.minute = tm.tm_min;
  lt.second = tm.tm_sec;
  lt.millisecond = static_cast<int>(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
  return lt;
}

void RealClock::SleepMs(int ms) {
  if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

Clock& SystemClock() {
  static RealClock clock;
  return clock;
}

LocalTime FakeClock::LocalNow() {
  // Base time plus the elapsed fake milliseconds, within the same day (enough for tests).
  LocalTime t = base_;
  std::int64_t ms =
      now_ms_ + ((base_.hour * 60 + base_.minute) * 60 + base_.second) * 1000LL + base_.millisecond;
  ms %= 24LL * 3600 * 1000;
  t.millisecond = static_cast<int>(ms % 1000);
  t.second = static_cast<int>((ms / 1000) % 60);
  t.minute = static_cast<int>((ms / 60000) % 60);
  t.hour = static_cast<int>(ms / 3600000);
  return t;
}

}  // namespace r770
