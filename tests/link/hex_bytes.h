// Byte fixtures written as hexadecimal text: Bytes("10 41 01") → {0x10, 0x41, 0x01}.
#pragma once
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

namespace r770::test {

inline std::vector<std::uint8_t> Bytes(const std::string& hex) {
  std::vector<std::uint8_t> bytes;
  std::istringstream in(hex);
  std::string group;
  while (in >> group) bytes.push_back(static_cast<std::uint8_t>(std::stoul(group, nullptr, 16)));
  return bytes;
}

}  // namespace r770::test
