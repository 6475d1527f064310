// Fuzzes the answer check: any received bytes give a code of the table, deliver exactly the
// expected count on success and nothing otherwise, and never read past what was received.
// Input: expected length, address, packet number, then the received bytes.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "frame_codes.h"
#include "link/exchange_engine.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  const int expected = data[0];
  const std::uint8_t address = data[1];
  const std::uint8_t packet = data[2];
  // An exact-size copy, so that a read past the received bytes is caught.
  const std::vector<std::uint8_t> received(data + 3, data + size);
  std::vector<std::uint8_t> out(static_cast<std::size_t>(expected));
  int delivered = -1;
  const int code = r770::CheckFrame(received, expected, address, packet, out, delivered);
  if (!r770::fuzz::IsFrameCheckCode(code)) __builtin_trap();
  if (delivered != (code == r770::kOk ? expected : 0)) __builtin_trap();
  if (received.empty() != (code == 1)) __builtin_trap();
  return 0;
}
