#include "common/number_forms.h"

namespace r770 {

std::string Hex(std::uint32_t value, int digits) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  do {
    out.insert(out.begin(), kDigits[value & 0xF]);
    value >>= 4;
  } while (value != 0);
  while (static_cast<int>(out.size()) < digits) out.insert(out.begin(), '0');
  return out;
}

std::optional<std::uint32_t> ParseHex(std::string_view text) {
  if (text.empty()) return std::nullopt;
  std::uint64_t v = 0;
  for (char c : text) {
    int d;
    if (c >= '0' && c <= '9')
      d = c - '0';
    else if (c >= 'A' && c <= 'F')
      d = c - 'A' + 10;
    else if (c >= 'a' && c <= 'f')
      d = c - 'a' + 10;
    else
      return std::nullopt;
    v = v * 16 + static_cast<std::uint64_t>(d);
    if (v > 0xFFFFFFFFull) return std::nullopt;
  }
  return static_cast<std::uint32_t>(v);
}

std::optional<std::int64_t> ParseDec(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) return std::nullopt;
  std::int64_t v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    v = v * 10 + (c - '0');
    if (v > 0x80000000LL) return std::nullopt;
  }
  if (negative) v = -v;
  if (v > 0x7FFFFFFFLL) return std::nullopt;
  return v;
}

std::optional<std::uint32_t> ParseUDec(std::string_view text) {
  if (text.empty()) return std::nullopt;
  std::uint64_t v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    v = v * 10 + static_cast<std::uint64_t>(c - '0');
    if (v > 0xFFFFFFFFull) return std::nullopt;
  }
  return static_cast<std::uint32_t>(v);
}

std::optional<std::int64_t> ParseIntKey(std::string_view text) {
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    auto v = ParseHex(text.substr(2));
    if (!v) return std::nullopt;
    return static_cast<std::int64_t>(static_cast<std::int32_t>(*v));
  }
  return ParseDec(text);
}

std::string Trim(std::string_view text) {
  std::size_t b = 0, e = text.size();
  while (b < e && (text[b] == ' ' || text[b] == '\t')) ++b;
  while (e > b && (text[e - 1] == ' ' || text[e - 1] == '\t')) --e;
  return std::string(text.substr(b, e - b));
}

}  // namespace r770
