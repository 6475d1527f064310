// The hexadecimal key filter applied to every character typed into a hexadecimal input.
#pragma once
#include <optional>
#include <string>
#include <string_view>

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
inline constexpr const char* kRegisterListKeysHint =
    "Десятичные номера регистров через запятую, например 100,102";
inline constexpr const char* kMapAddressKeysHint =
    "Адрес Modbus: десятичное число до 65535, только цифры 0-9";

// Digits and Backspace only (decimal inputs).
inline bool IsDigitKey(char32_t key) { return key == kBackspace || (key >= '0' && key <= '9'); }

// What a field that holds at most maxLength characters does with a key typed when it is full
// (Backspace is never limited).
enum class FullField {
  Refuses,                 // every key is refused
  EmptiedWhenAllSelected,  // refused, except that a wholly selected text is emptied first
                           // (even when the key itself is then refused)
  TakesSelection,          // a key takes the place of selected text when the result fits
};

struct FieldLimit {
  int maxLength = 0;  // characters; 0: no limit
  FullField full = FullField::Refuses;
};

// A field's text after a typed key, and where the caret goes.
struct KeyEdit {
  std::string text;
  int caret = 0;
  bool taken = false;  // the key went in, or Backspace deleted (the text may read as before)
};

// Applies a typed key to a field's UTF-8 text with selLength characters selected from
// selStart (the caret when nothing is selected). Positions count characters; a start outside
// the text is the end of the text, a length that is negative or runs past the text is the rest
// of it. key is what the field's key filter made of the typed key: kBackspace deletes the
// selection or else the character before the caret, a character takes the place of the
// selection, nullopt (refused) changes nothing. A refused key leaves the caret at the start
// of the selection.
KeyEdit ApplyKey(std::string_view text, std::optional<char32_t> key, int selStart, int selLength,
                 FieldLimit limit = {});

// Removes the last character of a UTF-8 text (all the bytes of a multi-byte one).
void DropLastChar(std::string& text);

}  // namespace r770
