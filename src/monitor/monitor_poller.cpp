#include "monitor/monitor_poller.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "common/number_forms.h"
#include "link/exchange_engine.h"
#include "modbus_test/modbus_frames.h"

namespace r770 {
namespace {

constexpr std::size_t kMbapHeader = 7;
constexpr std::size_t kLargestFrame = 260;  // MBAP 7 + PDU 253
constexpr int kNoAnswerIndex = 1;
constexpr int kConnectFailedCode = 32;  // "  Ошибка установки соединения по TCP "
constexpr std::int64_t kLongestPauseMs = 30000;

std::string ConnectFailedText() { return Trim(ErrorText(kConnectFailedCode)); }

int ExceptionIndex(std::uint8_t code) { return std::min(code + 1, kModbusErrorMax); }

}  // namespace

MonitorLink MonitorLinkFrom(const ProgramSettings& s) {
  MonitorLink link;
  link.host = s.IP_AdrTest;
  link.port = s.PortTcpTest;
  link.unit = s.SetModTest;
  link.invert = s.InversModTest;
  link.swap = s.SwapModTest;
  link.answerMs = std::clamp<std::int32_t>(s.TimeAnswerTest, 1, 3600) * 1000;
  return link;
}

MonitorPoller::MonitorPoller(std::vector<MonitorPoint> points, MonitorLink link, ModbusTransport& transport,
                             Clock& clock, std::string decimalSeparator, const PlanLimits& limits)
    : points_(std::move(points)),
      link_(std::move(link)),
      transport_(transport),
      clock_(clock),
      separator_(std::move(decimalSeparator)),
      plan_(PlanRequests(points_, limits)),
      readings_(points_.size()) {}

std::int64_t MonitorPoller::ReconnectPauseMs(int failures) {
  if (failures <= 0) return 0;
  std::int64_t pause = 1000;
  for (int i = 1; i < failures && pause < kLongestPauseMs; ++i) pause *= 2;
  return std::min(pause, kLongestPauseMs);
}

std::vector<std::uint8_t> MonitorPoller::Frame(std::uint8_t function, std::uint16_t address,
                                               std::uint16_t value) {
  ++transaction_;
  return {static_cast<std::uint8_t>(transaction_ >> 8),
          static_cast<std::uint8_t>(transaction_),
          0,
          0,
          0,
          6,
          link_.unit,
          function,
          static_cast<std::uint8_t>(address >> 8),
          static_cast<std::uint8_t>(address),
          static_cast<std::uint8_t>(value >> 8),
          static_cast<std::uint8_t>(value)};
}

MonitorPoller::Wait MonitorPoller::Exchange(const std::vector<std::uint8_t>& request,
                                            std::vector<std::uint8_t>& answer) {
  if (!transport_.Send(request)) return Wait::Lost;
  const std::int64_t deadline = clock_.NowMs() + link_.answerMs;
  std::uint8_t buffer[kLargestFrame];
  for (;;) {
    while (pending_.size() >= kMbapHeader) {
      const std::size_t length = static_cast<std::size_t>(pending_[4] << 8 | pending_[5]);
      // Not a Modbus/TCP frame: nothing after it can be trusted on this connection.
      if (length < 2 || length + 6 > kLargestFrame) return Wait::Garbled;
      if (pending_.size() < length + 6) break;
      std::vector<std::uint8_t> frame(pending_.begin(), pending_.begin() + static_cast<long>(length + 6));
      pending_.erase(pending_.begin(), pending_.begin() + static_cast<long>(length + 6));
      // An answer to an earlier request that came after its time is dropped.
      if (frame[0] == request[0] && frame[1] == request[1]) {
        answer = std::move(frame);
        const unsigned protocol = static_cast<unsigned>(answer[2] << 8 | answer[3]);
        if (protocol != 0) {
          badNote_ = "Неверный ответ: идентификатор протокола " + std::to_string(protocol) + " вместо 0";
          return Wait::BadAnswer;
        }
        if (answer[6] != request[6]) {
          badNote_ = "Неверный ответ: адрес Slave " + Hex2(answer[6]) + " вместо " + Hex2(request[6]);
          return Wait::BadAnswer;
        }
        return Wait::Answer;
      }
    }
    // Part of a frame that is never completed is an answer cut short, not silence.
    const std::int64_t left = deadline - clock_.NowMs();
    if (left <= 0) return pending_.empty() ? Wait::TimedOut : Wait::Garbled;
    ReceiveResult r = transport_.Receive(buffer, static_cast<int>(std::min<std::int64_t>(left, 1 << 30)));
    if (r.status == ReceiveResult::Data) {
      pending_.insert(pending_.end(), buffer, buffer + r.count);
    } else if (r.status == ReceiveResult::Closed) {
      return pending_.empty() ? Wait::Lost : Wait::Garbled;
    } else if (r.error != EAGAIN && r.error != EWOULDBLOCK && r.error != EINTR) {
      return Wait::Lost;
    }
  }
}

void MonitorPoller::Set(int point, bool valid, std::string value, double number, std::string note) {
  PointReading& r = readings_[static_cast<std::size_t>(point)];
  const bool differs = !r.seen || r.valid != valid || r.value != value || r.note != note;
  r.valid = valid;
  r.value = std::move(value);
  r.number = number;
  r.note = std::move(note);
  r.seen = true;
  if (differs) {
    r.changed = true;
    r.changedMs = clock_.NowMs();
    r.changedAt = cycleTime_;
  }
}

void MonitorPoller::FailFrom(std::size_t firstRequest, const std::string& note) {
  for (std::size_t i = firstRequest; i < plan_.size(); ++i)
    for (int p : plan_[i].points) Set(p, false, {}, 0, note);
}

void MonitorPoller::DropLink() {
  transport_.Close();
  pending_.clear();
}

bool MonitorPoller::Decode(const PlannedRequest& request, const std::vector<std::uint8_t>& answer,
                           std::optional<int>& exceptionIndex) {
  exceptionIndex.reset();
  if (answer.size() >= 9 && answer[7] == (request.function | 0x80)) {
    exceptionIndex = ExceptionIndex(answer[8]);
    return false;
  }
  const bool bits = request.function <= 2;
  const std::size_t bytes = bits ? (request.count + 7u) / 8u : request.count * 2u;
  if (answer.size() != 9 + bytes || answer[7] != request.function || answer[8] != bytes) return false;
  const std::uint8_t* data = answer.data() + 9;
  for (int index : request.points) {
    const MonitorPoint& p = points_[static_cast<std::size_t>(index)];
    const std::size_t offset = static_cast<std::size_t>(p.address - request.start);
    PointReading& r = readings_[static_cast<std::size_t>(index)];
    if (bits) {
      const bool on = (data[offset / 8] >> (offset % 8) & 1) != 0;
      if (r.valid && r.raw == static_cast<std::uint32_t>(on)) continue;  // as before
      Set(index, true, on ? "1" : "0", on ? 1 : 0, {});
      r.raw = on;
    } else {
      const std::uint8_t* d = data + 2 * offset;
      const std::uint32_t raw =
          std::uint32_t{d[0]} << 24 | std::uint32_t{d[1]} << 16 | std::uint32_t{d[2]} << 8 | d[3];
      if (r.valid && r.raw == raw) continue;  // the same bytes: the same value, not formatted again
      const float f = AssembleTestFloat(d[0], d[1], d[2], d[3], link_.invert, link_.swap);
      Set(index, true, FormatTestFloat(f, separator_), f, {});
      r.raw = raw;
    }
  }
  return true;
}

CycleReport MonitorPoller::Cycle() {
  CycleReport report;
  for (PointReading& r : readings_) r.changed = false;
  cycleTime_ = clock_.LocalNow();
  const auto started = std::chrono::steady_clock::now();
  const std::string noAnswer = ModbusErrorNote(kNoAnswerIndex);

  auto failed = [&] {
    ++failures_;
    nextConnectMs_ = clock_.NowMs() + ReconnectPauseMs(failures_);
  };
  auto tally = [&] {
    for (const PointReading& r : readings_) {
      report.errors += r.note.empty() ? 0 : 1;
      report.changed += r.changed ? 1 : 0;
    }
    if (!transport_.Connected())
      report.retryInMs = std::max<std::int64_t>(0, nextConnectMs_ - clock_.NowMs());
    report.roundTripMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
    return report;
  };

  // A cancelled poller is done with: a cycle queued after the cancel sends nothing.
  if (cancel_) return tally();
  bool fresh = false;  // the connection was opened in this cycle
  if (!transport_.Connected()) {
    if (clock_.NowMs() < nextConnectMs_) return tally();
    if (!transport_.Connect(link_.host, link_.port, link_.answerMs)) {
      failed();
      FailFrom(0, ConnectFailedText());
      return tally();
    }
    pending_.clear();
    fresh = true;
  }
  report.connected = true;

  std::optional<std::size_t> timedOut;
  for (std::size_t i = 0; i < plan_.size() && !cancel_;) {
    const PlannedRequest request = plan_[i];
    std::vector<std::uint8_t> answer;
    ++report.requests;
    const Wait wait = Exchange(Frame(request.function, request.start, request.count), answer);
    if (wait == Wait::Lost && !report.anyAnswer && !fresh) {
      // The connection kept from the cycle before had been closed by the module meanwhile:
      // one new connection at once, and the request again.
      DropLink();
      fresh = true;
      if (transport_.Connect(link_.host, link_.port, link_.answerMs)) continue;
      failed();
      FailFrom(i, ConnectFailedText());
      break;
    }
    if (wait == Wait::BadAnswer) {
      // The connection still carries frames: the next request goes on.
      report.anyAnswer = true;
      for (int p : request.points) Set(p, false, {}, 0, badNote_);
      ++i;
      continue;
    }
    if (wait != Wait::Answer) {
      // The rest of the cycle would wait again: its points wait for the next cycle. After
      // garbage nothing on the connection can be trusted.
      FailFrom(i, wait == Wait::Garbled ? ModbusBadLengthNote() : noAnswer);
      if (wait == Wait::TimedOut) timedOut = i;
      if (wait == Wait::Lost || wait == Wait::Garbled || !report.anyAnswer) {
        DropLink();
        if (!report.anyAnswer) failed();
      }
      break;
    }
    report.anyAnswer = true;
    std::optional<int> exception;
    if (Decode(request, answer, exception)) {
      ++i;
      continue;
    }
    std::vector<PlannedRequest> parts = SplitRequest(request, points_);
    if (exception && parts.size() > 1) {
      // The server refused the merged range (a gap it does not serve, or one faulty
      // address): from now on each address is asked on its own, starting now.
      plan_.erase(plan_.begin() + static_cast<long>(i));
      plan_.insert(plan_.begin() + static_cast<long>(i), parts.begin(), parts.end());
      continue;
    }
    const std::string note = exception ? ModbusErrorNote(*exception) : ModbusBadLengthNote();
    for (int p : request.points) Set(p, false, {}, 0, note);
    ++i;
  }
  // The request nobody answered goes last, so that one silent address does not keep the
  // others from being read.
  if (timedOut && *timedOut + 1 < plan_.size())
    std::rotate(plan_.begin() + static_cast<long>(*timedOut),
                plan_.begin() + static_cast<long>(*timedOut) + 1, plan_.end());
  if (report.anyAnswer) {
    failures_ = 0;
    nextConnectMs_ = 0;
  }
  return tally();
}

CoilWriteResult MonitorPoller::WriteCoil(std::uint16_t address, bool on) {
  if (!transport_.Connected()) {
    if (!transport_.Connect(link_.host, link_.port, link_.answerMs)) return {false, ConnectFailedText()};
    pending_.clear();
  }
  const std::vector<std::uint8_t> request = Frame(5, address, on ? 0xFF00 : 0x0000);
  std::vector<std::uint8_t> answer;
  const Wait wait = Exchange(request, answer);
  if (wait == Wait::Lost || wait == Wait::Garbled) DropLink();
  if (wait == Wait::BadAnswer) return {false, badNote_};
  if (wait == Wait::Garbled) return {false, ModbusBadLengthNote()};
  if (wait != Wait::Answer) return {false, ModbusErrorNote(kNoAnswerIndex)};
  if (answer.size() >= 9 && answer[7] == 0x85) return {false, ModbusErrorNote(ExceptionIndex(answer[8]))};
  // The answer repeats the request: function, address and value.
  if (answer.size() != request.size() || !std::equal(request.begin() + 7, request.end(), answer.begin() + 7))
    return {false, ModbusBadLengthNote()};
  return {true, {}};
}

}  // namespace r770
