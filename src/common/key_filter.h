// The hexadecimal key filter applied to every character typed into a hexadecimal input.
#pragma once
#include <optional>

namespace r770 {

constexpr char32_t kBackspace = 8;

enum class HexKeyVariant {
  Dot,    // Backspace, blank, ".", digits, A-F
  Plain,  // Backspace, blank, digits, A-F
  Port,   // Backspace, digits, A-F
};

// The Cyrillic letters on the keys of A..F in the Russian layout become A..F, a..f become
// upper case; the result passes when the variant allows it. nullopt: the key is refused.
std::optional<char32_t> FilterHexKey(char32_t key, HexKeyVariant variant);

// Digits and Backspace only (decimal inputs).
inline bool IsDigitKey(char32_t key) { return key == kBackspace || (key >= '0' && key <= '9'); }

}  // namespace r770
