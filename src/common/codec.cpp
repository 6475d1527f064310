#include "common/codec.h"

#include <array>
#include <cstdio>

namespace r770 {
namespace {

// Code points of bytes 0x80..0xBF; 0xC0..0xFF are U+0410..U+044F.
constexpr std::array<char16_t, 64> kHigh = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // B8
};

char32_t ByteToCp(unsigned char b) {
  if (b < 0x80) return b;
  if (b >= 0xC0) return 0x0410 + (b - 0xC0);
  return kHigh[b - 0x80];
}

int CpToByte(char32_t cp) {
  if (cp < 0x80) return static_cast<int>(cp);
  if (cp >= 0x0410 && cp <= 0x044F) return static_cast<int>(0xC0 + (cp - 0x0410));
  for (std::size_t i = 0; i < kHigh.size(); ++i)
    if (kHigh[i] == cp) return static_cast<int>(0x80 + i);
  return -1;
}

// Decodes one code point at s[i]; advances i. Returns U+FFFD for malformed input.
char32_t DecodeOne(std::string_view s, std::size_t& i) {
  unsigned char c = static_cast<unsigned char>(s[i]);
  if (c < 0x80) {
    ++i;
    return c;
  }
  int extra = 0;
  char32_t cp = 0;
  if ((c & 0xE0) == 0xC0) {
    extra = 1;
    cp = c & 0x1F;
  } else if ((c & 0xF0) == 0xE0) {
    extra = 2;
    cp = c & 0x0F;
  } else if ((c & 0xF8) == 0xF0) {
    extra = 3;
    cp = c & 0x07;
  } else {
    ++i;
    return 0xFFFD;
  }
  if (i + static_cast<std::size_t>(extra) >= s.size()) {
    ++i;
    return 0xFFFD;
  }
  for (int k = 1; k <= extra; ++k) {
    unsigned char d = static_cast<unsigned char>(s[i + k]);
    if ((d & 0xC0) != 0x80) {
      ++i;
      return 0xFFFD;
    }
    cp = (cp << 6) | (d & 0x3F);
  }
  i += extra + 1;
  return cp;
}

}  // namespace

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

std::string Cp1251ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() * 2);
  for (char ch : bytes) {
    unsigned char b = static_cast<unsigned char>(ch);
    if (b < 0x80)
      out.push_back(ch);
    else
      AppendUtf8(out, ByteToCp(b));
  }
  return out;
}

void AppendUtf8AsCp1251(std::string& out, std::string_view utf8) {
  // Keys and most values are plain ASCII: taken over as they are.
  std::size_t ascii = 0;
  while (ascii < utf8.size() && static_cast<unsigned char>(utf8[ascii]) < 0x80) ++ascii;
  if (ascii == utf8.size()) {
    out.append(utf8);
    return;
  }
  // Every character takes at least as many bytes in UTF-8 as in the code page: the text
  // fits in utf8.size() bytes, and is cut to what was used at the end.
  const std::size_t start = out.size();
  out.resize(start + utf8.size());
  char* const first = out.data() + start;
  char* p = first;
  const unsigned char* in = reinterpret_cast<const unsigned char*>(utf8.data());
  const unsigned char* const end = in + utf8.size();
  while (in < end) {
    const unsigned c = *in;
    if (c < 0x80) {
      *p++ = static_cast<char>(c);
      ++in;
      continue;
    }
    // Names are mostly letters А..я (U+0410..U+044F): two bytes each, D0 90..D0 BF and
    // D1 80..D1 8F, bytes C0..FF of the code page.
    if (end - in >= 2) {
      const unsigned pair = c << 8 | in[1];
      if (pair - 0xD090u < 0x30u) {
        *p++ = static_cast<char>(0xC0 + (pair - 0xD090u));
        in += 2;
        continue;
      }
      if (pair - 0xD180u < 0x10u) {
        *p++ = static_cast<char>(0xF0 + (pair - 0xD180u));
        in += 2;
        continue;
      }
    }
    std::size_t i = static_cast<std::size_t>(in - reinterpret_cast<const unsigned char*>(utf8.data()));
    const int b = CpToByte(DecodeOne(utf8, i));
    *p++ = b < 0 ? '?' : static_cast<char>(b);
    in = reinterpret_cast<const unsigned char*>(utf8.data()) + i;
  }
  out.resize(start + static_cast<std::size_t>(p - first));
}

std::string Utf8ToCp1251(std::string_view utf8) {
  std::string out;
  AppendUtf8AsCp1251(out, utf8);
  return out;
}

namespace {

// Index of the first character of utf8 from i on that is neither ASCII nor a letter А..я
// (the characters names are made of), or utf8.size().
std::size_t SkipPlainText(std::string_view utf8, std::size_t i) {
  const unsigned char* const begin = reinterpret_cast<const unsigned char*>(utf8.data());
  const unsigned char* p = begin + i;
  const unsigned char* const end = begin + utf8.size();
  while (p < end) {
    if (*p < 0x80) {
      ++p;
      continue;
    }
    if (end - p < 2) break;
    // А..п are D0 90..D0 BF, р..я are D1 80..D1 8F.
    const unsigned pair = static_cast<unsigned>(p[0]) << 8 | p[1];
    if (pair - 0xD090u >= 0x30u && pair - 0xD180u >= 0x10u) break;
    p += 2;
  }
  return static_cast<std::size_t>(p - begin);
}

}  // namespace

std::string FirstOutsideCp1251(std::string_view utf8) {
  std::size_t i = 0;
  while ((i = SkipPlainText(utf8, i)) < utf8.size()) {
    const char32_t cp = DecodeOne(utf8, i);
    if (CpToByte(cp) < 0) {
      std::string out;
      AppendUtf8(out, cp);
      return out;
    }
  }
  return {};
}

bool FitsCp1251(std::string_view utf8) {
  std::size_t i = 0;
  while ((i = SkipPlainText(utf8, i)) < utf8.size())
    if (CpToByte(DecodeOne(utf8, i)) < 0) return false;
  return true;
}

std::string Cp1251Refusal(std::string_view what, std::string_view utf8) {
  const std::string ch = FirstOutsideCp1251(utf8);
  if (ch.empty()) return {};
  return std::string(what) + " содержит символ \"" + ch +
         "\", которого нет в кодовой странице 1251: такой текст не может быть сохранен.";
}

std::u32string Utf8ToU32(std::string_view utf8) {
  std::u32string out;
  out.reserve(utf8.size());
  std::size_t i = 0;
  while (i < utf8.size()) out.push_back(DecodeOne(utf8, i));
  return out;
}

std::string U32ToUtf8(std::u32string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char32_t cp : text) AppendUtf8(out, cp);
  return out;
}

std::size_t Utf8Length(std::string_view utf8) {
  std::size_t n = 0, i = 0;
  while (i < utf8.size()) {
    DecodeOne(utf8, i);
    ++n;
  }
  return n;
}

std::string Utf8Left(std::string_view utf8, std::size_t n) {
  std::size_t i = 0, count = 0;
  while (i < utf8.size() && count < n) {
    DecodeOne(utf8, i);
    ++count;
  }
  return std::string(utf8.substr(0, i));
}

unsigned char Cp1251Upper(unsigned char c) {
  if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 32);
  if (c >= 0xE0) return static_cast<unsigned char>(c - 32);  // а..я -> А..Я
  switch (c) {
    case 0xB8:
      return 0xA8;  // ё
    case 0x90:
      return 0x80;  // ђ
    case 0x83:
      return 0x81;  // ѓ
    case 0x9A:
      return 0x8A;
    case 0x9C:
      return 0x8C;
    case 0x9D:
      return 0x8D;
    case 0x9E:
      return 0x8E;
    case 0x9F:
      return 0x8F;
    case 0xA2:
      return 0xA1;
    case 0xBC:
      return 0xA3;
    case 0xB4:
      return 0xA5;
    case 0xBA:
      return 0xAA;
    case 0xBF:
      return 0xAF;
    case 0xB3:
      return 0xB2;
    case 0xBE:
      return 0xBD;
    default:
      return c;
  }
}

std::string Cp1251UpperString(std::string_view bytes) {
  std::string out(bytes);
  for (char& ch : out) ch = static_cast<char>(Cp1251Upper(static_cast<unsigned char>(ch)));
  return out;
}

std::string Utf8Upper(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  std::size_t i = 0;
  while (i < utf8.size()) {
    char32_t cp = DecodeOne(utf8, i);
    int b = CpToByte(cp);
    AppendUtf8(out, b < 0 ? cp : ByteToCp(Cp1251Upper(static_cast<unsigned char>(b))));
  }
  return out;
}

std::string JsonQuoted(std::string_view utf8) {
  std::string quoted;
  quoted.reserve(utf8.size() + 2);
  for (char c : utf8) {
    if (c == '"' || c == '\\') quoted.push_back('\\');
    quoted.push_back(c);
  }
  return "\"" + EscapeControlChars(quoted) + "\"";
}

std::string EscapeControlChars(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    unsigned code = 0x100;  // not a control character
    if (c < 0x20 || c == 0x7F) code = c;
    // U+0080..U+009F in UTF-8: C2 80 .. C2 9F.
    else if (c == 0xC2 && i + 1 < utf8.size() && static_cast<unsigned char>(utf8[i + 1]) >= 0x80 &&
             static_cast<unsigned char>(utf8[i + 1]) <= 0x9F)
      code = static_cast<unsigned char>(utf8[++i]);
    switch (code) {
      case 0x100:
        out.push_back(static_cast<char>(c));
        break;
      case '\t':
        out += "\\t";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      default: {
        char buf[8];
        std::snprintf(buf, sizeof buf, "\\u%04x", code);
        out += buf;
      }
    }
  }
  return out;
}

std::string CsvField(std::string_view text, char separator) {
  const char special[] = {separator, '"', '\r', '\n', 0};
  if (text.find_first_of(special) == std::string_view::npos) return std::string(text);
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

}  // namespace r770
