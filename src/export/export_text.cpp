#include "export/export_text.h"

#include <algorithm>
#include <cstdio>

namespace r770::exporting {
namespace {

std::string Hex2Escape(const char* prefix, unsigned value, int digits) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%s%0*X", prefix, digits, value);
  return buf;
}

bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7F; }

// A double-quoted literal: '"', '\\', LF, CR and tab escaped with a backslash as C writes
// them; every other byte is handed to other(out, text, i), which appends it, escaped or as it
// is, and returns how many bytes after it it took as well.
template <class Other>
std::string BackslashQuoted(std::string_view text, Other other) {
  std::string out = "\"";
  for (std::size_t i = 0; i < text.size(); ++i) {
    switch (text[i]) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        i += other(out, text, i);
    }
  }
  return out + "\"";
}

// The other bytes of a literal whose controls are written as prefix and hexadecimal digits.
auto ControlsAs(const char* prefix, int digits, bool (*control)(unsigned char)) {
  return [prefix, digits, control](std::string& out, std::string_view text, std::size_t i) -> std::size_t {
    const auto c = static_cast<unsigned char>(text[i]);
    if (control(c))
      out += Hex2Escape(prefix, c, digits);
    else
      out.push_back(text[i]);
    return 0;
  };
}

}  // namespace

// JSON's controls are those below 0x20 only.
std::string JsonString(std::string_view text) {
  return BackslashQuoted(text, ControlsAs("\\u", 4, [](unsigned char c) { return c < 0x20; }));
}

std::string YamlString(std::string_view text) {
  return BackslashQuoted(text, [](std::string& out, std::string_view text, std::size_t i) -> std::size_t {
    const auto c = static_cast<unsigned char>(text[i]);
    const auto at = [&](std::size_t k) {
      return i + k < text.size() ? static_cast<unsigned char>(text[i + k]) : 0;
    };
    if (IsControl(c)) {
      out += Hex2Escape("\\x", c, 2);
      return 0;
    }
    if (c == 0xC2 && at(1) >= 0x80 && at(1) <= 0x9F) {  // C1 controls, NEL among them
      out += Hex2Escape("\\x", at(1), 2);
      return 1;
    }
    if (c == 0xE2 && at(1) == 0x80 && (at(2) == 0xA8 || at(2) == 0xA9)) {  // line, paragraph separators
      out += at(2) == 0xA8 ? "\\L" : "\\P";
      return 2;
    }
    if (c == 0xEF && at(1) == 0xBB && at(2) == 0xBF) {  // a byte order mark
      out += "\\uFEFF";
      return 2;
    }
    out.push_back(text[i]);
    return 0;
  });
}

std::string TomlString(std::string_view text) {
  return BackslashQuoted(text, ControlsAs("\\u", 4, IsControl));
}

std::string XmlText(std::string_view text) {
  std::string out;
  for (unsigned char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&apos;";
        break;
      case '\t':
        out += "&#9;";
        break;
      case '\n':
        out += "&#10;";
        break;
      case '\r':
        out += "&#13;";
        break;
      default:
        if (IsControl(c) && c != 0x7F)
          out += Hex2Escape("\\x", c, 2);
        else
          out.push_back(static_cast<char>(c));
    }
  }
  return out;
}

std::string XmlCdata(std::string_view text) {
  std::string body;
  for (unsigned char c : text) {
    if (IsControl(c) && c != '\t' && c != '\n' && c != '\r' && c != 0x7F)
      body += Hex2Escape("\\x", c, 2);
    else
      body.push_back(static_cast<char>(c));
  }
  std::string out = "<![CDATA[";
  for (std::size_t at = 0;;) {
    const std::size_t end = body.find("]]>", at);
    if (end == std::string::npos) {
      out += body.substr(at);
      break;
    }
    out += body.substr(at, end + 2 - at) + "]]><![CDATA[";
    at = end + 2;
  }
  return out + "]]>";
}

std::string PythonString(std::string_view text) {
  return BackslashQuoted(text, ControlsAs("\\x", 2, IsControl));
}

std::string OneLine(std::string_view text) {
  std::string out;
  for (unsigned char c : text) {
    if (IsControl(c))
      out += Hex2Escape("\\x", c, 2);
    else
      out.push_back(static_cast<char>(c));
  }
  return out;
}

std::string ShellWord(std::string_view text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'')
      out += "'\\''";
    else
      out.push_back(c);
  }
  return out + "'";
}

std::vector<TagBlock> ContiguousBlocks(const std::vector<ExportTag>& tags, int maxBits, int maxFloats) {
  std::vector<TagBlock> blocks;
  for (MapKind kind : {MapKind::TU, MapKind::TC, MapKind::TIFloat, MapKind::InputReg}) {
    std::vector<std::size_t> order;
    for (std::size_t i = 0; i < tags.size(); ++i)
      if (tags[i].kind == kind) order.push_back(i);
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return tags[a].address < tags[b].address; });
    const int width = IsBitMap(kind) ? 1 : 2;
    const int limit = IsBitMap(kind) ? maxBits : maxFloats;
    for (std::size_t index : order) {
      const long address = tags[index].address;
      if (!blocks.empty() && blocks.back().kind == kind && blocks.back().values < limit &&
          blocks.back().start + static_cast<long>(blocks.back().values) * width == address) {
        blocks.back().values++;
        blocks.back().tags.push_back(index);
        continue;
      }
      blocks.push_back({kind, tags[index].address, 1, {index}});
    }
  }
  return blocks;
}

}  // namespace r770::exporting
