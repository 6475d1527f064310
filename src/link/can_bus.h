// T_CanBus: the module reached over a CAN bus through an adapter on a serial port. The adapter
// is reset and initialised with a 36-byte block; every request is one 13-byte CanFrame.
#pragma once
#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "link/serial_port.h"

namespace r770 {

inline constexpr std::size_t kInitBlockSize = 36;
using InitBlockBytes = std::array<std::uint8_t, kInitBlockSize>;

// Adapter speed code of a CAN bus speed in kbaud (300, 150, 100, 50, 20); any other speed
// takes the code of 300 kbaud.
std::uint8_t CanSpeedCode(std::int32_t kbaud);

// The initialisation block: six groups ownNode 0 0 0, two groups FF 0 0 0, 02 E0, the speed
// code, and a checksum byte that makes all 36 bytes add up to 0.
InitBlockBytes BuildInitBlock(std::uint8_t ownNode, std::int32_t kbaud);

// Checks the adapter's answer to reset. Gives the code (0, 17 or 24), the variant (0 when
// the code is not 0) and the log line "Инициализация CAN-BUS получены данные : " + bytes.
int CheckInitAnswer(std::span<const std::uint8_t> answer, int& variant, std::string& line);

// Checks a 13-byte answer against the 13-byte request for d data bytes. With code 0 the d
// bytes from answer byte 6 on go to `out` and `delivered` is d; otherwise `delivered` is 0.
// An answer or request shorter than 13 bytes, or d beyond the 7 data bytes a frame can hold,
// gives 17 without reading outside the frame.
int CheckCanAnswer(std::span<const std::uint8_t> answer, std::span<const std::uint8_t> request, int d,
                   std::uint8_t ownNode, std::span<std::uint8_t> out, int& delivered);

class T_CanBus : public T_Comport {
 public:
  T_CanBus(const TCANbusLink& link, Clock& clock = SystemClock(), SerialOpener opener = OpenPosixSerial);
  ~T_CanBus() override;

  int ConfigureLine(int& writeTimeoutPerByteMs) override;
  int Exchange(int expected, std::uint8_t address, std::span<const std::uint8_t> request,
               std::span<std::uint8_t> out, int& delivered) override;

  int ResetAdapter();
  int CheckCarrier();
  int CheckCanAnswer(std::span<const std::uint8_t> answer, std::span<const std::uint8_t> request, int d,
                     std::span<std::uint8_t> out, int& delivered) const;

  InitBlockBytes InitBlock{};
  int AdapterVariant = 0;
};

}  // namespace r770
