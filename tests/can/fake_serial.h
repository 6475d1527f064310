// A scripted serial device on a FakeClock: it records what the link does to the port and
// answers writes from a script, so every reset answer, carrier state and answer frame can
// be played without hardware and without waiting.
#pragma once
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/clock.h"
#include "link/serial_device.h"

namespace r770::test {

using Bytes = std::vector<std::uint8_t>;

struct FakeSerialState {
  explicit FakeSerialState(FakeClock& c) : clock(c) {}
  FakeClock& clock;

  // What the link did, in order: "line 115200 8 N 1 cts", "timeouts 10 10", "discard",
  // "dtr 1", "dtr 0", "rts 1", "write <n>", "close".
  std::vector<std::string> calls;
  std::vector<Bytes> writes;
  SerialLineSettings line{9600, 7, true, 1, false};
  int readTotalMs = 0;
  int writePerByteMs = 0;
  bool open = false;

  // Modem status per reading; the last one repeats.
  std::deque<std::uint32_t> modem{kModemCarrier};
  // Failing writes: every write fails from this write on (0-based count of writes).
  int failWritesFrom = -1;

  // Answer to each 36-byte init block, in turn (the last one repeats; empty = silence).
  std::deque<Bytes> resetAnswers{{0x40, 0x0A, 0x0D}};
  // Answer pieces to a 13-byte frame; each piece arrives `gapMs` after the one before.
  std::function<std::vector<Bytes>(const Bytes& frame)> onFrame;
  int gapMs = 1;

  // Bytes arriving at given times on the clock.
  struct Arrival {
    std::int64_t at;
    std::uint8_t byte;
  };
  std::deque<Arrival> input;

  void Arrive(const Bytes& b, std::int64_t delayMs) {
    for (auto x : b) input.push_back({clock.NowMs() + delayMs, x});
  }
};

class FakeSerial final : public SerialDevice {
 public:
  explicit FakeSerial(std::shared_ptr<FakeSerialState> s) : s_(std::move(s)) { s_->open = true; }
  ~FakeSerial() override {
    s_->open = false;
    s_->calls.push_back("close");
  }

  bool GetLine(SerialLineSettings& l) override {
    l = s_->line;
    return true;
  }
  bool SetLine(const SerialLineSettings& l) override {
    s_->line = l;
    s_->calls.push_back("line " + std::to_string(l.baud) + " " + std::to_string(l.dataBits) + " " +
                        (l.parity ? "P" : "N") + " " + std::to_string(l.stopBits) +
                        (l.ctsFlow ? " cts" : ""));
    return true;
  }
  bool SetTimeouts(int r, int w) override {
    s_->readTotalMs = r;
    s_->writePerByteMs = w;
    s_->calls.push_back("timeouts " + std::to_string(r) + " " + std::to_string(w));
    return true;
  }
  bool DiscardInput() override {
    std::int64_t now = s_->clock.NowMs();
    while (!s_->input.empty() && s_->input.front().at <= now) s_->input.pop_front();
    s_->calls.push_back("discard");
    return true;
  }
  bool SetDtr(bool on) override {
    s_->calls.push_back(on ? "dtr 1" : "dtr 0");
    return true;
  }
  bool SetRts(bool on) override {
    s_->calls.push_back(on ? "rts 1" : "rts 0");
    return true;
  }
  std::uint32_t ModemStatus() override {
    std::uint32_t m = s_->modem.front();
    if (s_->modem.size() > 1) s_->modem.pop_front();
    return m;
  }
  long Write(const std::uint8_t* data, std::size_t n) override {
    const int index = static_cast<int>(s_->writes.size());
    Bytes b(data, data + n);
    s_->writes.push_back(b);
    s_->calls.push_back("write " + std::to_string(n));
    if (s_->failWritesFrom >= 0 && index >= s_->failWritesFrom) return -1;
    if (n == 36) {
      Bytes a = s_->resetAnswers.front();
      if (s_->resetAnswers.size() > 1) s_->resetAnswers.pop_front();
      s_->Arrive(a, 2);
    } else if (n == 13 && s_->onFrame) {
      std::int64_t delay = s_->gapMs;
      for (const auto& piece : s_->onFrame(b)) {
        s_->Arrive(piece, delay);
        delay += s_->gapMs;
      }
    }
    return static_cast<long>(n);
  }
  std::size_t Read(std::uint8_t* data, std::size_t n) override {
    auto& clock = s_->clock;
    const std::int64_t deadline = clock.NowMs() + s_->readTotalMs;
    std::size_t got = 0;
    for (;;) {
      while (got < n && !s_->input.empty() && s_->input.front().at <= clock.NowMs()) {
        data[got++] = s_->input.front().byte;
        s_->input.pop_front();
      }
      if (got == n) return got;
      if (s_->input.empty() || s_->input.front().at > deadline) {
        if (deadline > clock.NowMs()) clock.Advance(deadline - clock.NowMs());
        return got;
      }
      clock.Advance(s_->input.front().at - clock.NowMs());
    }
  }

 private:
  std::shared_ptr<FakeSerialState> s_;
};

// An opener that hands out fake devices and remembers the paths asked for; a path listed in
// `missing` fails as a missing device.
struct FakeOpener {
  std::shared_ptr<FakeSerialState> state;
  std::vector<std::string> paths;
  std::vector<std::string> missing;

  SerialOpener Get() {
    return [this](const std::string& path) {
      paths.push_back(path);
      SerialOpenResult r;
      for (const auto& m : missing)
        if (m == path) {
          r.error = SerialOpenError::Missing;
          return r;
        }
      r.device = std::make_unique<FakeSerial>(state);
      return r;
    };
  }
};

}  // namespace r770::test
