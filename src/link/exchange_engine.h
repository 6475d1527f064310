// TBase_Obmen: the exchange engine base shared by the TCP link and the CAN-BUS adapter link.
// It frames requests, numbers packets, checks answers, logs the traffic and builds the module
// requests; the concrete engines move the bytes.
#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/clock.h"
#include "link/link_types.h"

namespace r770 {

// Frame modes.
inline constexpr std::int32_t FrameCan = 10;   // 13-byte CanFrame through the CAN-BUS adapter
inline constexpr std::int32_t FrameFt12 = 13;  // FT1.2 frames on the TCP link
// Line mode of the serial port layer when it carries the CAN-BUS adapter.
inline constexpr std::int32_t LineCanAdapter = 12;
// Mode of Transact for unframed bytes (the Modbus/TCP test).
inline constexpr std::uint8_t RawMode = 255;

// Size of a CanFrame, the unit exchanged with the CAN-BUS adapter.
inline constexpr std::size_t kCanFrameSize = 13;
// Largest FT1.2 frame and the most user bytes a request block may carry in it.
inline constexpr std::size_t kMaxFrame = 255;
inline constexpr std::size_t kMaxBlockData = kMaxFrame - 8;

// Parameters the command layer uses itself.
inline constexpr std::uint16_t ParamDeviceType = 0xF000;  // 2 bytes, low byte first
inline constexpr std::uint16_t ParamRunState = 0xF01A;    // 0 running, 1 stop command, 0x81 stopped

// Error codes raised by the link layer (texts by ErrorText).
enum LinkError : int {
  kOk = 0,
  kNoAnswer = 1,
  kSerialWriteFailed = 3,
  kPacketMismatch = 7,
  kAddressMismatch = 8,
  kLengthBytesDiffer = 9,
  kSecondStartByte = 10,
  kEndByte = 11,
  kChecksum = 12,
  kPositiveReceipt = 13,
  kNegativeReceipt = 14,
  kDataLength = 17,
  kPortOpenFailed = 18,
  kAdapterSilent = 20,
  kNoCarrier = 21,
  kCanPacketMismatch = 22,
  kOtherNode = 23,
  kBadResetAnswer = 24,
  kAccessDenied = 26,
  kNotStopped = 29,
  kNotRunning = 30,
  kTcpConnect = 32,
  kTcpSendTimeout = 33,
  kTcpReceiveTimeout = 34,
};

// Message text of an error code: the fixed texts of codes 0 to 35, otherwise
// "Неопределенный код ошибки " followed by the code in decimal.
std::string ErrorText(int code);

// Bytes in the traffic log format: two upper-case hexadecimal digits and a blank per byte.
std::string FormatBytes(std::span<const std::uint8_t> bytes);

// Log handler: handler(context, text, kind); the engine passes kind 0.
using LogFn = void (*)(void* context, const std::string& text, int kind);

// FT1.2 frame of a request block (length byte L, then L user bytes) with control byte
// 0x40 + packet and address byte `address`. Empty when the block is malformed or the frame
// would not fit 255 bytes.
std::vector<std::uint8_t> BuildFrame(std::span<const std::uint8_t> block, std::uint8_t packet,
                                     std::uint8_t address);

// Checks an FT1.2 answer of `received` bytes against the request's address and packet number.
// With code 0 exactly `expected` data bytes go to `out` and `delivered` becomes `expected`;
// with any other code nothing is delivered (`delivered` 0). Never reads outside `received`;
// an answer that holds fewer data bytes than expected gives 17. No bytes give 1.
int CheckFrame(std::span<const std::uint8_t> received, int expected, std::uint8_t address,
               std::uint8_t packet, std::span<std::uint8_t> out, int& delivered);

// The exchange engine base (one instance at a time, owned by the module command layer).
class TBase_Obmen {
 public:
  TBase_Obmen(const TCustomLink& link, Clock& clock = SystemClock());
  virtual ~TBase_Obmen();
  TBase_Obmen(const TBase_Obmen&) = delete;
  TBase_Obmen& operator=(const TBase_Obmen&) = delete;

  // Slot 0: sets up the serial line; gives the write time-out per byte in ms.
  virtual int ConfigureLine(int& writeTimeoutPerByteMs);
  // Slot 1: one request. `request` is a RequestBlock in FrameFt12 mode, a 13-byte CanFrame in
  // FrameCan mode; `out` takes at least `expected` bytes.
  virtual int Exchange(int expected, std::uint8_t address, std::span<const std::uint8_t> request,
                       std::span<std::uint8_t> out, int& delivered) = 0;
  // Slot 2: sends a ready frame and takes its answer (mode FrameFt12 or RawMode). Engines that
  // have no such operation return -1.
  virtual int Transact(std::span<const std::uint8_t> frame, int expected, std::uint8_t mode,
                       std::uint8_t address, std::uint8_t packet, std::span<std::uint8_t> out,
                       int& delivered);
  // Slot 3: opens the link; gives its description.
  virtual int Open(std::string& description) = 0;
  // Slot 4: closes the link. Derived destructors call it; it must tolerate a closed link.
  virtual void Close() = 0;

  void Log(const std::string& text);
  void OverrideTiming(std::int32_t timeoutSec, std::int32_t retries);
  void RestoreTiming();
  std::uint8_t NextPacketNumber();
  Clock& GetClock() { return clock_; }

  // Engine requests: each builds its request for the current FrameMode and calls Exchange.
  int ReadParam(std::uint8_t address, std::uint16_t param, std::span<std::uint8_t> out);
  int WriteParam(std::uint8_t address, std::uint16_t param, std::span<const std::uint8_t> data);
  int WriteElement(std::uint8_t address, std::uint16_t param, std::uint16_t index,
                   std::span<const std::uint8_t> data, bool first);
  int OpenAccess(std::uint8_t address, std::uint8_t level);
  int ReadElement(std::uint8_t address, std::uint16_t param, std::uint16_t index,
                  std::span<std::uint8_t> out);
  int ReadDeviceType(std::uint8_t address, std::uint16_t& deviceType);

  LogFn OnLog = nullptr;
  void* OnLogContext = nullptr;
  const TCustomLink& Link;
  std::int32_t FrameMode;
  std::int32_t PacketCounter = 0;
  std::uint8_t OwnNode = 0;
  std::int32_t LineMode;
  std::int32_t TimeoutSec;
  std::int32_t Retries;

 protected:
  // Request of code `code` with its arguments, in FT1.2 block or CanFrame layout, then Exchange.
  int Request(std::uint8_t address, std::uint8_t ft12Code, std::uint8_t canCode,
              std::span<const std::uint8_t> args, int expectedFt12, int expectedCan,
              std::span<std::uint8_t> out, int& delivered);

 private:
  Clock& clock_;
};

// The CanFrame of a request: destination, packet byte 0 (filled by the engine), count,
// source `ownNode`, then the code and its arguments (at most 7 bytes from byte 6 on).
std::vector<std::uint8_t> BuildCanRequest(std::uint8_t address, std::uint8_t ownNode,
                                          std::span<const std::uint8_t> codeAndArgs);

}  // namespace r770
