// The live map monitor's poller: reads every point of the request plan over one kept-open
// Modbus/TCP connection, one cycle per call, and keeps per point its value, the exception
// or link text and whether it changed. No waits beyond one answer time per cycle: a request
// that goes unanswered ends the cycle, and a lost connection is opened again on a later
// cycle after a growing pause.
#pragma once
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/clock.h"
#include "document/program_settings.h"
#include "monitor/monitor_plan.h"
#include "monitor/monitor_transport.h"

namespace r770 {

struct MonitorLink {
  std::string host;
  std::uint16_t port = 502;
  std::uint8_t unit = 1;
  bool invert = false;  // "InversModTest"
  bool swap = true;     // "SwapModTest"
  int answerMs = 1000;  // answer time of one request (and of the connect)
};

// The link of section "ModbusTest": address, port, unit, byte order; the answer time in
// whole seconds, at least one.
MonitorLink MonitorLinkFrom(const ProgramSettings& settings);

// What the monitor knows of one point.
struct PointReading {
  bool valid = false;          // the last cycle gave a value
  std::string value;           // the value as shown (empty without one)
  double number = 0;           // the value as a number (bits 0 or 1)
  std::string note;            // exception or link text; empty with a value
  std::uint32_t raw = 0;       // the bits the value was decoded from
  bool changed = false;        // value or note differ from the cycle before
  bool seen = false;           // a cycle has reached it at least once
  std::int64_t changedMs = 0;  // clock time (NowMs) of the last change
  LocalTime changedAt;         // local time of the last change
};

struct CycleReport {
  bool connected = false;      // the cycle ran over an open connection
  bool anyAnswer = false;      // at least one request was answered (exceptions included)
  int requests = 0;            // requests sent
  int errors = 0;              // points left with a note
  int changed = 0;             // points whose value or note changed
  double roundTripMs = 0;      // wall time of the cycle's exchanges
  std::int64_t retryInMs = 0;  // without a connection: time until the next connect
};

// Result of a coil write: empty note when the module echoed the command.
struct CoilWriteResult {
  bool ok = false;
  std::string note;
};

class MonitorPoller {
 public:
  // decimalSeparator: of the values shown ("," or ".").
  MonitorPoller(std::vector<MonitorPoint> points, MonitorLink link, ModbusTransport& transport, Clock& clock,
                std::string decimalSeparator = ",", const PlanLimits& limits = {});

  // One cycle. Safe to call again right after; the pause after a lost connection is kept by
  // the clock, not by waiting.
  CycleReport Cycle();
  // Function 5 to the coil at `address`; the answer must echo the request.
  CoilWriteResult WriteCoil(std::uint16_t address, bool on);
  // Asked from another thread: the cycle under way stops before its next request, and any
  // later cycle sends nothing (a cancelled poller is replaced, never resumed).
  void Cancel() { cancel_ = true; }
  void Close() { transport_.Close(); }

  const std::vector<MonitorPoint>& Points() const { return points_; }
  const std::vector<PointReading>& Readings() const { return readings_; }
  const std::vector<PlannedRequest>& Plan() const { return plan_; }
  // Consecutive connects (or cycles without any answer) that failed.
  int Failures() const { return failures_; }
  // Pause before the connect that follows `failures` failures.
  static std::int64_t ReconnectPauseMs(int failures);

 private:
  // Answer: the answer to the request. BadAnswer: an answer to it from another unit or of
  // another protocol (badNote_ says which). Garbled: bytes came that make no Modbus/TCP
  // frame, or only part of one. TimedOut: nothing came. Lost: the connection went.
  enum class Wait { Answer, BadAnswer, Garbled, TimedOut, Lost };
  std::vector<std::uint8_t> Frame(std::uint8_t function, std::uint16_t address, std::uint16_t value);
  Wait Exchange(const std::vector<std::uint8_t>& request, std::vector<std::uint8_t>& answer);
  void Set(int point, bool valid, std::string value, double number, std::string note);
  void FailFrom(std::size_t firstRequest, const std::string& note);
  bool Decode(const PlannedRequest& request, const std::vector<std::uint8_t>& answer,
              std::optional<int>& exceptionIndex);
  void DropLink();

  std::vector<MonitorPoint> points_;
  MonitorLink link_;
  ModbusTransport& transport_;
  Clock& clock_;
  std::string separator_;
  std::vector<PlannedRequest> plan_;
  std::vector<PointReading> readings_;
  std::vector<std::uint8_t> pending_;  // bytes received beyond the last answer
  std::string badNote_;                // why the last BadAnswer is one
  std::uint16_t transaction_ = 0;
  int failures_ = 0;
  std::int64_t nextConnectMs_ = 0;
  bool stamped_ = false;
  LocalTime cycleTime_;
  std::atomic<bool> cancel_{false};
};

}  // namespace r770
