// SimModule: a simulated R-770 TCP/Modbus module, independent of any transport. It keeps the
// module's parameter store, grants access levels, runs the run-state machine and answers the
// module's requests by request code. Front-ends (the FT1.2 TCP server here, others later)
// frame the requests and answers; several front-ends may share one module, so every
// operation locks.
#pragma once
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace r770::sim {

// One parameter of the module: count elements of elementSize bytes each, kept as the module
// sends them (multi-byte numbers low byte first).
struct SimParam {
  std::uint16_t number = 0;
  int elementSize = 1;
  int count = 1;
  bool writable = true;
  bool word = false;  // elements are 2-byte numbers (shown as values in the state file)
  std::string name;   // what the parameter holds, for the state file
  std::vector<std::uint8_t> bytes;
};

// What the module answers to one request.
struct SimReply {
  enum Kind { None, Positive, Negative, Data } kind = None;
  std::vector<std::uint8_t> data;

  static SimReply Ack() { return {Positive, {}}; }
  static SimReply Nak() { return {Negative, {}}; }
  static SimReply With(std::vector<std::uint8_t> bytes) { return {Data, std::move(bytes)}; }
  bool operator==(const SimReply&) const = default;
};

// How the module behaves (fault injection included).
struct SimBehaviour {
  int stopDelayMs = 0;        // a stop command (1) reads as stopped (0x81) after this time
  bool neverStops = false;    // the state stays 1 after a stop command
  bool neverRuns = false;     // writing 0 does not start the device
  bool refuseAccess = false;  // an access request is answered with level 0
};

inline constexpr std::uint16_t kSimDeviceType = 0xF000;
inline constexpr std::uint16_t kSimRunState = 0xF01A;
inline constexpr std::uint8_t kSimAccessLevel = 2;

class SimModule {
 public:
  SimModule(std::uint8_t net, std::uint16_t deviceType, SimBehaviour behaviour = {});

  std::uint8_t Net() const { return net_; }
  std::uint16_t DeviceType() const { return deviceType_; }

  // An FT1.2 request: its user data (request code, arguments). Codes: 0x01 read parameter,
  // 0x05 write parameter, 0x15 read element, 0x16 write element, 0x17 open access.
  SimReply HandleFt12(std::span<const std::uint8_t> userData);
  // A CAN request: the bytes from byte 6 of its CanFrame (request code, arguments). Codes:
  // 0x02 read parameter, 0x03 write parameter, 0x05 open access, 0x06 choose the array of
  // the following element writes, 0x07 write element, 0x08 read element. Reads and access
  // answer their data; writes answer one byte (0) when accepted; refusals are Negative.
  SimReply HandleCan(std::span<const std::uint8_t> codeAndArgs);

  // The operations behind the requests.
  std::optional<std::vector<std::uint8_t>> ReadParam(std::uint16_t number);
  bool WriteParam(std::uint16_t number, std::span<const std::uint8_t> data);
  std::optional<std::vector<std::uint8_t>> ReadElement(std::uint16_t number, std::uint16_t index);
  bool WriteElement(std::uint16_t number, std::uint16_t index, std::span<const std::uint8_t> data);
  // The answer byte to an access request (the level granted in its low 4 bits).
  std::uint8_t OpenAccess(std::uint8_t level);
  // Drops the access level granted (a front-end calls it when its connection ends).
  void ResetAccess();
  // Changes how the module behaves from the next request on (a fault injected or lifted
  // while the simulator runs).
  void SetBehaviour(const SimBehaviour& behaviour);

  // Store access for front-ends, the state file and tests (no access check).
  std::optional<SimParam> Param(std::uint16_t number) const;
  std::vector<SimParam> Params() const;
  // Replaces a parameter's bytes (size must match); false when unknown or of another size.
  bool SetParamBytes(std::uint16_t number, std::span<const std::uint8_t> bytes);
  // Element of an array parameter as a number (elements read low byte first).
  std::optional<std::uint32_t> ElementValue(std::uint16_t number, std::uint16_t index) const;
  std::uint8_t RunState();
  // Count of parameter and element writes accepted so far.
  int WriteCount() const;

 private:
  using Steady = std::chrono::steady_clock;
  SimParam* Find(std::uint16_t number);
  const SimParam* Find(std::uint16_t number) const;
  void SettleRunStateLocked();
  bool WriteParamLocked(std::uint16_t number, std::span<const std::uint8_t> data);
  bool WriteElementLocked(std::uint16_t number, std::uint16_t index, std::span<const std::uint8_t> data);
  std::optional<std::vector<std::uint8_t>> ReadElementLocked(std::uint16_t number, std::uint16_t index);

  const std::uint8_t net_;
  const std::uint16_t deviceType_;
  SimBehaviour behaviour_;
  mutable std::mutex mutex_;
  std::map<std::uint16_t, SimParam> params_;
  std::uint8_t accessLevel_ = 0;
  std::optional<Steady::time_point> stopCommandAt_;
  std::optional<std::uint16_t> canArray_;  // array chosen by a CAN 0x06 request
  int writes_ = 0;
};

// The modules on one bus, found by network number.
class SimBus {
 public:
  SimModule& Add(std::uint8_t net, std::uint16_t deviceType, SimBehaviour behaviour = {});
  SimModule* Find(std::uint8_t net) const;
  const std::vector<std::unique_ptr<SimModule>>& Modules() const { return modules_; }

 private:
  std::vector<std::unique_ptr<SimModule>> modules_;
};

}  // namespace r770::sim
