// Code page 1251 <-> UTF-8 at the file boundary, and character-based string helpers.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace r770 {

// Every byte of code page 1251 to UTF-8. The one unassigned byte, 0x98, becomes U+0098
// so that a round trip gives the same byte back.
std::string Cp1251ToUtf8(std::string_view bytes);

// UTF-8 to code page 1251; a character the code page cannot hold becomes '?'.
// Malformed UTF-8 sequences become '?' too.
std::string Utf8ToCp1251(std::string_view utf8);
// The same, appended to out (which keeps its capacity: no allocation once it is large
// enough); utf8 must not point into out.
void AppendUtf8AsCp1251(std::string& out, std::string_view utf8);

// The first character of a UTF-8 text that code page 1251 cannot hold (a malformed
// sequence counts as U+FFFD), or the empty text when the whole text fits.
std::string FirstOutsideCp1251(std::string_view utf8);
bool FitsCp1251(std::string_view utf8);
// The message refusing a text that would lose characters on disk: what (for example
// "Путь /a/b.tsk") + the first such character; empty when the text fits.
std::string Cp1251Refusal(std::string_view what, std::string_view utf8);

// Number of characters (code points) of a UTF-8 text.
std::size_t Utf8Length(std::string_view utf8);

// The first n characters of a UTF-8 text.
std::string Utf8Left(std::string_view utf8, std::size_t n);

// Decodes a UTF-8 text into code points (malformed bytes become U+FFFD).
std::u32string Utf8ToU32(std::string_view utf8);
std::string U32ToUtf8(std::u32string_view text);
void AppendUtf8(std::string& out, char32_t cp);

// Upper-case folding of one code page 1251 byte (Latin and Cyrillic letters), used
// for case-blind comparison of INI names and file names.
unsigned char Cp1251Upper(unsigned char c);
std::string Cp1251UpperString(std::string_view bytes);

// Upper-case of a UTF-8 text for the letters code page 1251 knows.
std::string Utf8Upper(std::string_view utf8);

// A text with its control characters (U+0000..U+001F, U+007F, U+0080..U+009F) written as
// JSON writes them: \t, \n, \r, else \u00XX; everything else as it is. For names that go to
// a terminal or into a line-based file, where a raw ESC or line break would do harm.
std::string EscapeControlChars(std::string_view utf8);
// A JSON string literal of a UTF-8 text: quotes, '"' and '\\' escaped, control characters as
// EscapeControlChars writes them.
std::string JsonQuoted(std::string_view utf8);
// A CSV field (RFC 4180): quoted, quotes doubled, when it holds the separator, a quote, CR or
// LF; else as it is.
std::string CsvField(std::string_view text, char separator = ',');

}  // namespace r770
