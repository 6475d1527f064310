// The INI layer shared by the settings file and the document file.
//
// Text on disk is code page 1251 with CR LF line ends (LF alone is read too); the API
// speaks UTF-8. Section and key names compare without regard to letter case; the first
// occurrence of a key in its section counts; values are trimmed. Lines the layer does not
// touch are written back byte for byte. Save() replaces the file with one durable atomic
// write (WriteFileAtomically).
//
// Why the layer is not a plain vector of line strings searched from the top: a save of a
// document rewrites about 2,000 keys (the map sections) and must cost little more than the
// one durable write of the file, and a plain layer spent 5.1 million instructions per save of
// a full document, 2.9 times the single write of the same bytes. Each piece below takes a
// share of that away (callgrind over 100 saves of bench_document's full document):
//  * lines are pieces of the bytes read (source_) or of one buffer of written text (edits_),
//    not one std::string each: reading and rewriting allocate nothing per line, and a value
//    that fits is rewritten in place;
//  * each section has an open-addressing table of its key lines (hashes and line numbers, no
//    strings), built on the first look-up, so a key is found without a linear scan;
//  * SectionWriter matches a run of keys written in file order at the next key line, with no
//    look-up at all; generation_ tells it when lines moved under it, and it falls back to
//    WriteString key by key;
//  * edits_ is compacted once dead text passes 64 KiB and half the buffer, so a long session
//    of saves does not grow it without end.
// Together: 1.74 million instructions per save, and a save within 1.5 times the single
// write (1.42 times where an fsync takes well under a millisecond; where it takes about
// 10 ms, 1.04 times: BM_SaveAgainstSingleWrite in bench/bench_document.cpp).
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/file_io.h"

namespace r770 {

class IniFile {
 public:
  // Documents and settings files are a few kilobytes; anything far larger is refused
  // before it is parsed line by line.
  static constexpr std::size_t kMaxFileSize = 4u << 20;

  IniFile() { Parse({}); }
  // Opens the file at path: reads it when it exists (an absent file is an empty one).
  // error() tells when something at path could not be read as a file: a folder, a FIFO,
  // a device, an unreadable file, or one larger than kMaxFileSize.
  explicit IniFile(std::string path);

  const std::string& Path() const { return path_; }
  // Empty when the last open or save went well; otherwise a message in Russian.
  const std::string& Error() const { return error_; }

  // Replaces the content with raw bytes (code page 1251), as if read from a file.
  void SetBytes(std::string_view bytes);
  // The content as it would be written.
  std::string Bytes() const;

  std::string ReadString(std::string_view section, std::string_view key, std::string_view defaultValue) const;
  bool HasKey(std::string_view section, std::string_view key) const;
  bool HasSection(std::string_view section) const;
  // Key names of a section in file order (every key line, duplicates included).
  std::vector<std::string> SectionKeys(std::string_view section) const;

  // Replaces the value of an existing key in place, or appends the key at the end of its
  // section; an absent section is appended at the end of the file.
  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  // Writes a run of keys into one section, as WriteString would key by key; the keys must
  // be distinct. While the section's key lines come in the order the keys are written, as
  // in a file written this way, each key is found at the next key line without a look-up.
  class SectionWriter {
   public:
    void Write(std::string_view key, std::string_view value);

   private:
    friend class IniFile;
    SectionWriter(IniFile& ini, std::string_view section);
    IniFile& ini_;
    std::string section_;
    int sectionIndex_;
    std::size_t generation_;
    std::size_t next_ = 0;  // the line to look at for the next key
    bool inOrder_;
  };
  SectionWriter WriteSection(std::string_view section) { return SectionWriter(*this, section); }

  // Removes the section's header and all its lines; an absent section is no error.
  void EraseSection(std::string_view section);

  // Writes the content to path() in one durable atomic write. False with error() set on
  // failure; the file on disk is then the previous one.
  bool Save();
  bool Dirty() const { return dirty_; }

 private:
  // A line is a piece of one of two buffers: the bytes read (source_) or the text written
  // since (edits_). Neither reading a file nor rewriting a line allocates per line.
  struct Line {
    std::uint32_t offset = 0;
    std::uint32_t length = 0;  // without the line end
    std::uint8_t eol = 0;      // index into kLineEnds
    bool edited = false;       // the text is in edits_
  };
  // One slot of a section's key table: the line of a key and the hash of its folded name.
  struct KeySlot {
    std::uint32_t hash = 0;
    int line = -1;  // -1: empty slot
  };
  struct Section {
    std::string folded;       // upper-case name, code page 1251
    bool hasHeader = false;   // false for the lines before the first header
    std::vector<Line> lines;  // lines[0] is the header when hasHeader
    // Open-addressing table of the first line of every key, built on the first look-up.
    // Names are compared against the lines themselves, so the table holds no strings and
    // looks up without allocating. Key lines never move: a new key is inserted only in
    // front of trailing blank lines, and a rewritten line keeps its key.
    mutable std::vector<KeySlot> keyTable;
    mutable std::size_t keyCount = 0;
    mutable bool indexed = false;
  };

  void Parse(std::string bytes);
  std::string_view Text(const Line& l) const {
    return std::string_view(l.edited ? edits_ : source_).substr(l.offset, l.length);
  }
  // A line holding text (which must not point into edits_), stored in edits_.
  Line NewLine(std::string_view text, std::uint8_t eol);
  // Gives line l the text (which must not point into edits_).
  void Rewrite(Line& l, std::string_view text);
  int FindSection(std::string_view foldedName) const;
  // Index of the section named section (UTF-8), remembered for the next call.
  int FindSectionCached(std::string_view section);
  // The line "key=value" in code page 1251 (UTF-8 key and value), in lineScratch_.
  std::string_view KeyLine(std::string_view key, std::string_view value);
  // Puts value after the key of line l, the key keeping its own spelling; key, when
  // given, is that key as it stands in the line.
  void RewriteValue(Line& l, std::string_view value);
  void RewriteValue(Line& l, std::string_view key, std::string_view value);
  // Index of the first line of the key in the section, or -1.
  int FindKey(const Section& s, std::string_view foldedKey) const;
  void IndexSection(const Section& s) const;
  // Enters the key line at index line unless its key is in the table already; false when
  // the table is too full to take it.
  bool IndexLine(const Section& s, int line) const;

  std::string path_;
  std::string error_;
  std::string source_;
  std::string edits_;
  std::size_t deadEdits_ = 0;  // bytes of edits_ no line uses any more
  std::vector<Section> sections_;
  // The section of the last WriteString as its caller named it, and its index (-1: none).
  std::string lastSection_;
  int lastSectionIndex_ = -1;
  std::string scratch_;         // storage reused for folded names
  std::string lineScratch_;     // and for the text of a line being written
  std::size_t generation_ = 0;  // changes whenever sections or lines move
  bool dirty_ = false;
};

}  // namespace r770
