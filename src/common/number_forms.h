// Number forms shared by files and windows: HEXn texts, hexadecimal and decimal reading.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace r770 {

// Upper-case hexadecimal, at least `digits` digits, zero-padded, no prefix (300 as Hex(.,2) is 12C).
std::string Hex(std::uint32_t value, int digits);
inline std::string Hex2(std::uint32_t value) { return Hex(value, 2); }
inline std::string Hex4(std::uint32_t value) { return Hex(value, 4); }

// Reads a text as hexadecimal the way the program reads "$" + text: one or more digits
// 0-9, A-F, a-f, nothing else (no blanks, no sign), value at most 0xFFFFFFFF.
std::optional<std::uint32_t> ParseHex(std::string_view text);

// Reads a decimal integer: optional leading '+' or '-', then digits only; must fit 32 bits signed.
std::optional<std::int64_t> ParseDec(std::string_view text);

// Reads an unsigned decimal text of digits only (no sign), at most 0xFFFFFFFF.
std::optional<std::uint32_t> ParseUDec(std::string_view text);

// Integer keys of the settings file: decimal, or hexadecimal after "0x"/"0X" when the
// text is longer than two characters.
std::optional<std::int64_t> ParseIntKey(std::string_view text);

// Trims blanks (spaces, tabs) at both ends.
std::string Trim(std::string_view text);

}  // namespace r770
