// Pieces the exporters share: text quoted as each target format requires (never dropped:
// what a format cannot carry is written as a visible escape), and the contiguous blocks the
// scripts read in one request.
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "export/map_export.h"

namespace r770::exporting {

// JSON string literal.
std::string JsonString(std::string_view text);
// YAML double-quoted scalar: backslash, quote, control and line-break characters escaped.
std::string YamlString(std::string_view text);
// TOML basic string.
std::string TomlString(std::string_view text);
// XML character data (or an attribute value): & < > " ' as entities; characters XML 1.0
// cannot hold at all (controls other than tab, LF, CR) as the text \xNN.
std::string XmlText(std::string_view text);
// The same text inside a CDATA section (a "]]>" in it is split over two sections).
std::string XmlCdata(std::string_view text);
// Python string literal (double quotes; UTF-8 text kept, controls escaped).
std::string PythonString(std::string_view text);
// Text for one comment line of a script: control characters (line breaks included) as \xNN.
std::string OneLine(std::string_view text);
// A shell word in single quotes.
std::string ShellWord(std::string_view text);

// Entries of one map that one request reads: consecutive addresses, a pair of registers per
// float entry.
struct TagBlock {
  MapKind kind = MapKind::TU;
  std::uint16_t start = 0;
  int values = 0;                 // entries in the block
  std::vector<std::size_t> tags;  // indexes into the tag list, by address
  int Registers() const { return IsBitMap(kind) ? values : 2 * values; }
};

// The tags cut into blocks: per map, sorted by address, an entry joins the block before it
// when it starts right where that block ends and the block holds fewer than maxValues
// entries. Blocks come map by map (Coils, Discrete Inputs, Holding, Input Registers).
std::vector<TagBlock> ContiguousBlocks(const std::vector<ExportTag>& tags, int maxBits, int maxFloats);

}  // namespace r770::exporting
