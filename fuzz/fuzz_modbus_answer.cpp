// Fuzzes the test client's answer decoding: any bytes as an answer of the module's Modbus/TCP
// server must be judged without reading past their end, and a value text must say the value.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "modbus_test/modbus_frames.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const bool invert = data[0] & 1, swap = data[0] & 2;
  const int code = (data[0] & 4) ? (data[0] >> 3) - 4 : 0;  // now and then a failed exchange
  std::span<const std::uint8_t> answer(data + 1, std::min<std::size_t>(size - 1, 255));
  const char* sep = (data[0] & 0x80) ? "." : ",";

  r770::TestReadResult r =
      r770::DecodeTestAnswer(code, "  Нет ответа от прибора ", answer, invert, swap, sep);
  if (code == 0 && (r.index < 0 || r.index > r770::kModbusErrorMax)) __builtin_trap();
  if ((r.index == 0) != r.note.empty()) __builtin_trap();
  if ((r.index == 0) == r.value.empty()) __builtin_trap();

  if (r.index == 0 && answer.size() == r770::kTestFloatAnswerSize) {
    float f = r770::AssembleTestFloat(answer[9], answer[10], answer[11], answer[12], invert, swap);
    std::string text = r.value;
    for (char& c : text)
      if (c == sep[0]) c = '.';
    if (std::isfinite(f)) {
      double back = std::strtod(text.c_str(), nullptr);
      double v = f;
      double allowed = std::fabs(v) < 1e10 ? 0.00005 + std::fabs(v) * 1e-9 : std::fabs(v) * 1e-9;
      if (std::fabs(back - v) > allowed * 1.0001) __builtin_trap();
    }
  }
  return 0;
}
