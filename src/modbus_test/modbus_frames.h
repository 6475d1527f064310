// Modbus/TCP frames of the test: the read request for two holding registers, the reading
// of its answer, the assembly of a floating-point value and the message texts.
#pragma once
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace r770 {

inline constexpr std::size_t kTestRequestSize = 12;
// Size of an answer that carries a 32-bit value (MBAP 7 + function + count + 4 bytes).
inline constexpr std::size_t kTestFloatAnswerSize = 13;
// Largest answer the raw exchange delivers.
inline constexpr std::size_t kTestAnswerBuffer = 255;
// Highest index of ModbusErrorText.
inline constexpr int kModbusErrorMax = 12;
// Index of "Неверная длина ответа": an answer too short to hold what its kind carries.
inline constexpr int kModbusBadLengthIndex = 5;

// MBAP header (transaction 0, protocol 0, length 6), unit, function 3, the register number
// high byte first, quantity 2. The number is sent as it is, with no offset of one.
std::array<std::uint8_t, kTestRequestSize> BuildTestRequest(std::uint8_t unit, std::uint16_t reg);

// Message text of an index 0..12; empty for any other index.
std::string ModbusErrorText(int index);
// "text (код ошибки N)" with N = index - 1, for an index 1..12.
std::string ModbusErrorNote(int index);
// The note of an answer too short (or otherwise not what was asked) to be read. Such an
// answer carries no exception code, so its note has none: "Неверная длина ответа".
std::string ModbusBadLengthNote();

// True when the answer is an exception: its function byte (7) has the top bit set.
bool IsExceptionAnswer(std::span<const std::uint8_t> answer);

// The floating-point value of the data bytes D1..D4 (answer bytes 9..12) in the byte order
// chosen by the two settings.
float AssembleTestFloat(std::uint8_t d1, std::uint8_t d2, std::uint8_t d3, std::uint8_t d4, bool invert,
                        bool swap);

// A value in fixed notation with 4 digits after the separator, rounded to at most 10
// significant digits; values of 1e10 and more in exponent notation ("1,234567890E+12").
// decimalSeparator is the locale's ("," or ".").
std::string FormatTestFloat(double value, std::string_view decimalSeparator);

// Outcome of one register: index 0 with the value text, or the message index with its note.
struct TestReadResult {
  int index = 0;
  std::string value;
  std::string note;
};

// Judges one exchange: code is RawExchange's result and text its message; answer holds the
// received bytes when code is 0.
TestReadResult DecodeTestAnswer(int code, const std::string& text, std::span<const std::uint8_t> answer,
                                bool invert, bool swap, std::string_view decimalSeparator);

}  // namespace r770
