// Time source of the program: deadlines, pauses, log time stamps. Tests use FakeClock.
#pragma once
#include <cstdint>

namespace r770 {

struct LocalTime {
  int year = 2000, month = 1, day = 1;
  int hour = 0, minute = 0, second = 0, millisecond = 0;
};

class Clock {
 public:
  virtual ~Clock() = default;
  // Milliseconds on a steady scale, for deadlines and waits.
  virtual std::int64_t NowMs() = 0;
  // Local date and time with milliseconds, for log names and stamps.
  virtual LocalTime LocalNow() = 0;
  virtual void SleepMs(int ms) = 0;
};

class RealClock final : public Clock {
 public:
  std::int64_t NowMs() override;
  LocalTime LocalNow() override;
  void SleepMs(int ms) override;
};

// The process-wide real clock.
Clock& SystemClock();

// A clock that stands still until told to move; SleepMs advances it at once.
class FakeClock final : public Clock {
 public:
  std::int64_t NowMs() override { return now_ms_; }
  LocalTime LocalNow() override;
  void SleepMs(int ms) override {
    now_ms_ += ms;
    slept_ms_ += ms;
  }
  void Advance(std::int64_t ms) { now_ms_ += ms; }
  std::int64_t SleptMs() const { return slept_ms_; }
  void SetLocalBase(const LocalTime& t) { base_ = t; }

 private:
  std::int64_t now_ms_ = 0;
  std::int64_t slept_ms_ = 0;
  LocalTime base_{2026, 12, 6, 10, 0, 0, 0};
};

}  // namespace r770
