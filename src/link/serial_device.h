// The serial port services the CAN-BUS adapter link rests on, as one small interface:
// the POSIX implementation drives a tty (a real port or a pseudo-terminal), tests put a
// scripted fake behind it.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace r770 {

// Modem status bits as the adapter link reads them.
inline constexpr std::uint32_t kModemCts = 0x10;
inline constexpr std::uint32_t kModemDsr = 0x20;
inline constexpr std::uint32_t kModemRing = 0x40;
inline constexpr std::uint32_t kModemCarrier = 0x80;  // carrier detect (RLSD)

// Line settings the link reads, changes and writes back.
struct SerialLineSettings {
  int baud = 9600;
  int dataBits = 8;
  bool parity = false;  // parity generation and checking
  int stopBits = 1;
  bool ctsFlow = false;  // output waits while the other side holds CTS off
  bool operator==(const SerialLineSettings&) const = default;
};

class SerialDevice {
 public:
  virtual ~SerialDevice() = default;

  virtual bool GetLine(SerialLineSettings& s) = 0;
  virtual bool SetLine(const SerialLineSettings& s) = 0;
  // A read of k bytes returns when k bytes are in or after readTotalMs with what has come;
  // a write of k bytes is given k * writePerByteMs.
  virtual bool SetTimeouts(int readTotalMs, int writePerByteMs) = 0;
  virtual bool DiscardInput() = 0;
  virtual bool SetDtr(bool on) = 0;
  virtual bool SetRts(bool on) = 0;
  // Modem status bits (kModem*); 0 when the device has no modem lines.
  virtual std::uint32_t ModemStatus() = 0;
  // Bytes written (fewer when the write time-out ran out), or -1 when the write failed.
  virtual long Write(const std::uint8_t* data, std::size_t n) = 0;
  // Bytes read, 0 to n; 0 also when the device failed (after the read time-out).
  virtual std::size_t Read(std::uint8_t* data, std::size_t n) = 0;
};

// Why a device could not be opened.
enum class SerialOpenError { None, Missing, Busy, NoPermission, NotTty, Other };

struct SerialOpenResult {
  std::unique_ptr<SerialDevice> device;
  SerialOpenError error = SerialOpenError::None;
  int sysError = 0;  // errno of the failing call
};

// Opens a device by path for the link; the real one is OpenPosixSerial.
using SerialOpener = std::function<SerialOpenResult(const std::string& path)>;

// Opens a tty for reading and writing, exclusively (TIOCEXCL and an advisory lock, so a
// second opener fails even with privileges that pass TIOCEXCL), without becoming its
// controlling terminal, and puts it in raw mode.
SerialOpenResult OpenPosixSerial(const std::string& path);

// Russian text of an open failure for the log.
std::string SerialOpenErrorText(SerialOpenError e, int sysError);

}  // namespace r770
