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

}  // namespace

std::string JsonString(std::string_view text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    switch (c) {
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
        if (c < 0x20)
          out += Hex2Escape("\\u", c, 4);
        else
          out.push_back(static_cast<char>(c));
    }
  }
  return out + "\"";
}

std::string YamlString(std::string_view text) {
  std::string out = "\"";
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
    if (c == '"')
      out += "\\\"";
    else if (c == '\\')
      out += "\\\\";
    else if (c == '\n')
      out += "\\n";
    else if (c == '\r')
      out += "\\r";
    else if (c == '\t')
      out += "\\t";
    else if (IsControl(c))
      out += Hex2Escape("\\x", c, 2);
    else if (c == 0xC2 && next >= 0x80 && next <= 0x9F) {  // C1 controls, NEL among them
      out += Hex2Escape("\\x", next, 2);
      ++i;
    } else if (c == 0xE2 && next == 0x80 && i + 2 < text.size() &&
               (static_cast<unsigned char>(text[i + 2]) == 0xA8 ||
                static_cast<unsigned char>(text[i + 2]) == 0xA9)) {  // line, paragraph separators
      out += static_cast<unsigned char>(text[i + 2]) == 0xA8 ? "\\L" : "\\P";
      i += 2;
    } else if (c == 0xEF && next == 0xBB && i + 2 < text.size() &&
               static_cast<unsigned char>(text[i + 2]) == 0xBF) {  // a byte order mark
      out += "\\uFEFF";
      i += 2;
    } else {
      out.push_back(static_cast<char>(c));
    }
  }
  return out + "\"";
}

std::string TomlString(std::string_view text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    switch (c) {
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
        if (IsControl(c))
          out += Hex2Escape("\\u", c, 4);
        else
          out.push_back(static_cast<char>(c));
    }
  }
  return out + "\"";
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
  std::string out = "\"";
  for (unsigned char c : text) {
    switch (c) {
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
        if (IsControl(c))
          out += Hex2Escape("\\x", c, 2);
        else
          out.push_back(static_cast<char>(c));
    }
  }
  return out + "\"";
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
    const int width = ExportIsBits(kind) ? 1 : 2;
    const int limit = ExportIsBits(kind) ? maxBits : maxFloats;
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

const char* MapTitle(MapKind kind) {
  switch (kind) {
    case MapKind::TU:
      return "Coils";
    case MapKind::TC:
      return "Discrete Inputs";
    case MapKind::TIFloat:
      return "Holding Registers";
    case MapKind::InputReg:
      return "Input Registers";
  }
  return "";
}

}  // namespace r770::exporting
