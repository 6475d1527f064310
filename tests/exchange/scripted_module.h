// A module behind a FakeEngine: answers the FT1.2 request blocks the commands build (access,
// parameter reads and writes, element reads and writes) and can fail chosen requests.
#pragma once
#include <cstdint>
#include <functional>
#include <vector>

#include "../link/fake_engine.h"

namespace r770::test {

struct ScriptedModule {
  std::uint8_t runState = 0x81;
  std::uint16_t deviceType = 0x1101;
  // Code for one element write (param, index); 0 accepts it.
  std::function<int(std::uint16_t, std::uint16_t)> elementCode;
  // Code for one probe of a network number; 0 answers with deviceType.
  std::function<int(std::uint8_t)> probeCode;

  FakeEngine::Script Script() {
    return [this](const RecordedRequest& r, std::span<std::uint8_t> out, int& delivered) -> int {
      const auto& b = r.bytes;  // length byte, request code, arguments
      if (b.size() < 2) return 17;
      const std::uint16_t p = b.size() >= 4 ? static_cast<std::uint16_t>(b[2] | b[3] << 8) : 0;
      switch (b[1]) {
        case 0x17:  // access: the level granted
          out[0] = b[2];
          delivered = 1;
          return 0;
        case 0x01:  // read parameter
          if (p == 0xF000) {
            if (probeCode) {
              if (int code = probeCode(r.address)) return code;
            }
            out[0] = static_cast<std::uint8_t>(deviceType & 0xFF);
            out[1] = static_cast<std::uint8_t>(deviceType >> 8);
          } else if (p == 0xF01A) {
            out[0] = runState;
          } else {
            std::fill(out.begin(), out.begin() + r.expected, 0);
          }
          delivered = r.expected;
          return 0;
        case 0x05:  // write parameter
          if (p == 0xF01A) runState = b[4] == 1 ? 0x81 : b[4];
          return 0;
        case 0x16: {  // write element
          const auto index = static_cast<std::uint16_t>(b[4] | b[5] << 8);
          return elementCode ? elementCode(p, index) : 0;
        }
        case 0x15:  // read element
          std::fill(out.begin(), out.begin() + r.expected, 0xFF);
          delivered = r.expected;
          return 0;
        default:
          return 14;
      }
    };
  }
};

// The element writes among recorded requests: (param, index, data).
struct ElementWrite {
  std::uint16_t param;
  std::uint16_t index;
  std::vector<std::uint8_t> data;
};

inline std::vector<ElementWrite> ElementWrites(const std::vector<RecordedRequest>& requests) {
  std::vector<ElementWrite> out;
  for (const auto& r : requests) {
    const auto& b = r.bytes;
    if (b.size() >= 6 && b[1] == 0x16)
      out.push_back({static_cast<std::uint16_t>(b[2] | b[3] << 8),
                     static_cast<std::uint16_t>(b[4] | b[5] << 8),
                     {b.begin() + 6, b.end()}});
  }
  return out;
}

}  // namespace r770::test
