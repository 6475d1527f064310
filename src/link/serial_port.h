// T_Comport: the engine's serial port layer. Opens the port "COM" + n, applies the line
// settings the CAN-BUS adapter needs, sets the port's time-outs, discards waiting input.
#pragma once
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "link/exchange_engine.h"
#include "link/link_types.h"
#include "link/serial_device.h"

namespace r770 {

// Line speeds selected by SetSpeedIndex (index 0 to 6); the system uses index 6.
inline constexpr int kSerialSpeeds[7] = {1200, 2400, 4800, 9600, 19200, 57600, 115200};

// The device behind "COM" + n when the link record names none: /dev/ttyS(n-1).
std::string DefaultComDevice(int portNumber);

// Where the time of a link goes (measured on the steady clock, for tuning; no behaviour
// depends on it).
struct SerialLinkTiming {
  std::int64_t drainNs = 0;
  std::int64_t drainCalls = 0;
  std::int64_t carrierNs = 0;
  std::int64_t carrierCalls = 0;
};

class T_Comport : public TBase_Obmen {
 public:
  T_Comport(const TRSLink& link, Clock& clock = SystemClock(), SerialOpener opener = OpenPosixSerial);
  ~T_Comport() override;

  int Open(std::string& description) override;
  void Close() override;

  // Sets the speed of the index and 8 data bits, then pauses 100 ms; gives the index back.
  int SetSpeedIndex(int index);
  // 115200 baud, 8 data bits, no parity, one stop bit, CTS output flow control.
  void SetLineMode();
  void SetTimeouts(int readTotalMs, int writePerByteMs);
  // Reads and discards one byte at a time until a read of 10 ms brings nothing.
  void DrainInput();

  // Port services, thin calls to the device (false / 0 when no port is open).
  bool DiscardInput();
  bool RaiseDtr();
  bool DropDtr();
  bool RaiseRts();
  std::uint32_t ModemStatus();
  bool WritePort(std::span<const std::uint8_t> data);
  std::size_t ReadPort(std::span<std::uint8_t> data);

  bool IsOpen() const { return PortHandle != nullptr; }
  // The device path the last Open tried.
  const std::string& DevicePath() const { return devicePath_; }

  SerialLinkTiming Timing;

 protected:
  const TRSLink& RSLink;
  std::unique_ptr<SerialDevice> PortHandle;

 private:
  SerialOpener opener_;
  std::string devicePath_;
};

}  // namespace r770
