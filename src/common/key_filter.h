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

// What a field with a key filter accepts, shown as the field's tooltip.
inline constexpr const char* kHexKeysHint =
    "Шестнадцатеричное число: цифры 0-9 и буквы A-F (на русской раскладке Ф, И, С, В, У, А)";
inline constexpr const char* kDottedKeysHint = "Четыре числа от 0 до 255 через точку, например 192.168.0.1";
inline constexpr const char* kDigitKeysHint = "Десятичное число: только цифры 0-9";
inline constexpr const char* kHexPortKeysHint = "Шестнадцатеричное число до FFFF: цифры 0-9 и буквы A-F";
inline constexpr const char* kDecPortKeysHint = "Десятичное число до 65535: только цифры 0-9";
inline constexpr const char* kRegisterListKeysHint = "Десятичные номера регистров через запятую, например 100,102";
inline constexpr const char* kMapAddressKeysHint = "Адрес Modbus: десятичное число до 65535, только цифры 0-9";

// Digits and Backspace only (decimal inputs).
inline bool IsDigitKey(char32_t key) { return key == kBackspace || (key >= '0' && key <= '9'); }

}  // namespace r770
