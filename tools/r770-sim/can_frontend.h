// The simulator's CAN-BUS adapter: a pseudo-terminal that behaves like the adapter on a
// serial port. It answers the 36-byte initialisation block with the 3-byte reset answer and
// carries 13-byte CanFrames to the modules of the bus and their answers back. A
// pseudo-terminal has no DTR line, so the init block itself stands for the reset.
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "sim_module.h"

namespace r770::sim {

struct CanFaults {
  bool silent = false;         // frames go unanswered (the adapter still answers its reset)
  bool wrongNode = false;      // answers go to the next node number
  bool wrongPacket = false;    // answers carry other packet bits
  bool badCount = false;       // answers count one byte more than they carry
  bool adapterSilent = false;  // the adapter does not answer its reset (init block)
  bool noCarrier = false;      // the adapter has lost the bus: it answers its reset as the
                               // variant that reports carrier (30 0A 0D), frames reach nobody
};

struct CanFrontendOptions {
  int variant = 1;  // reset answer 0x40 0x0A 0x0D (1) or 0x30 0x0A 0x0D (0)
  CanFaults faults;
};

// One unit the computer sent to the adapter.
struct CanUnit {
  enum Kind { Init, Frame } kind = Frame;
  std::vector<std::uint8_t> bytes;  // 36 or 13
};

// Takes the first complete unit from the front of `stream`: an init block (36 bytes whose
// sum is 0 and whose fixed bytes are right) or a frame (13 bytes whose packet byte has its
// top bit set, as every request's has). Bytes that start neither are dropped one by one.
std::optional<CanUnit> TakeCanUnit(std::vector<std::uint8_t>& stream);

// The reset answer of an adapter variant.
std::vector<std::uint8_t> CanResetAnswer(int variant);

// The answer frame to a request frame, or nothing when no module of that number is on the
// bus or the module does not answer. A refusal is answered without data (count 1).
std::optional<std::vector<std::uint8_t>> AnswerCanFrame(SimBus& bus, std::span<const std::uint8_t> frame,
                                                        const CanFaults& faults);

class CanFrontend {
 public:
  CanFrontend(SimBus& bus, CanFrontendOptions options);
  ~CanFrontend();
  CanFrontend(const CanFrontend&) = delete;
  CanFrontend& operator=(const CanFrontend&) = delete;

  // Opens the pseudo-terminal and serves it on a thread of its own. False with a message
  // when no pseudo-terminal can be had.
  bool Start(std::string* error);
  // Stops serving and closes the pseudo-terminal; safe to call twice.
  void Stop();
  // The device a configurator opens (map a COM name to it in the settings' "ComPorts").
  const std::string& DevicePath() const { return devicePath_; }
  // Closes the adapter's side of the line, as if the adapter were pulled out.
  void Hangup();

  // Replaces the faults from the next unit on (injected or lifted while serving).
  void SetFaults(const CanFaults& faults);
  // Called on the serving thread with every frame taken from the computer (incoming) and
  // every answer frame sent back (the reset answers are not frames). Set before Start.
  std::function<void(bool incoming, std::span<const std::uint8_t> bytes)> onTraffic;

  int Resets() const { return resets_.load(); }
  int FramesReceived() const { return frames_.load(); }
  // The computer's node number from the last init block.
  int OwnNode() const { return ownNode_.load(); }

 private:
  void Serve();
  void Handle(const CanUnit& unit);
  void Send(std::span<const std::uint8_t> bytes);

  CanFaults Faults() const;

  SimBus& bus_;
  CanFrontendOptions options_;
  mutable std::mutex faultsMutex_;  // guards options_.faults
  int master_ = -1;
  int slave_ = -1;  // held open so the line survives a configurator closing and reopening it
  int wakeFds_[2] = {-1, -1};
  std::string devicePath_;
  std::thread thread_;
  std::atomic<int> resets_{0};
  std::atomic<int> frames_{0};
  std::atomic<int> ownNode_{-1};
  std::atomic<bool> hangup_{false};
};

// The CAN-BUS adapter options of r770-sim taken out of `args` (the rest stays for the other
// options): --can, --variant0, --wrong-node, --bad-count. Gives whether --can was there.
bool TakeCanOptions(std::vector<std::string>& args, CanFrontendOptions& options);
std::string CanHelpText();

}  // namespace r770::sim
