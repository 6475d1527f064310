#include "common/ini_file.h"

#include <algorithm>
#include <cstring>

#include "common/codec.h"

namespace r770 {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimView(std::string_view s) {
  std::size_t b = 0, e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

// Section name of a header line ("[name]"), or false when the line is no header.
bool HeaderName(std::string_view text, std::string_view* name) {
  std::string_view t = TrimView(text);
  if (t.empty() || t[0] != '[') return false;
  t.remove_prefix(1);
  auto close = t.find(']');
  if (close != std::string_view::npos) t = t.substr(0, close);
  *name = TrimView(t);
  return true;
}

// Cp1251Upper with the ASCII letters of key names handled in line.
inline unsigned char UpperByte(unsigned char c) {
  if (c < 0x80) return c >= 'a' && c <= 'z' ? static_cast<unsigned char>(c - 32) : c;
  return Cp1251Upper(c);
}

// Upper-case code page 1251 form of a UTF-8 name, the form names are compared in; into
// *out, whose storage is reused.
void FoldInto(std::string* out, std::string_view utf8) {
  out->clear();
  AppendUtf8AsCp1251(*out, utf8);
  for (char& c : *out) c = static_cast<char>(UpperByte(static_cast<unsigned char>(c)));
}

std::string Fold(std::string_view utf8) {
  std::string out;
  FoldInto(&out, utf8);
  return out;
}

// The key of a line "key=value", trimmed; false for a line without one (no "=", an empty
// key, a comment).
bool KeyView(std::string_view text, std::string_view* key) {
  auto eq = text.find('=');
  if (eq == std::string_view::npos) return false;
  *key = TrimView(text.substr(0, eq));
  return !key->empty() && (*key)[0] != ';';
}

// Hash (FNV-1a) of a name in its folded form; a name and its folded form hash alike, since
// folding a folded name changes nothing.
std::uint32_t FoldedHash(std::string_view name) {
  std::uint32_t h = 2166136261u;
  for (char c : name) {
    h ^= UpperByte(static_cast<unsigned char>(c));
    h *= 16777619u;
  }
  return h;
}

// Whether a raw key of a line (code page 1251) names the UTF-8 key given, which must be
// plain ASCII (false otherwise).
bool SameAsciiKey(std::string_view raw, std::string_view key) {
  if (raw.size() != key.size()) return false;
  for (std::size_t i = 0; i < raw.size(); ++i) {
    const unsigned char k = static_cast<unsigned char>(key[i]);
    if (k >= 0x80 || UpperByte(static_cast<unsigned char>(raw[i])) != UpperByte(k)) return false;
  }
  return true;
}

// Whether a raw name folds to the folded name given.
bool SameFolded(std::string_view raw, std::string_view folded) {
  if (raw.size() != folded.size()) return false;
  for (std::size_t i = 0; i < raw.size(); ++i)
    if (UpperByte(static_cast<unsigned char>(raw[i])) != static_cast<unsigned char>(folded[i])) return false;
  return true;
}

constexpr std::string_view kLineEnds[] = {"", "\r\n", "\n", "\r"};
constexpr std::uint8_t kCrLf = 1;

}  // namespace

IniFile::IniFile(std::string path) : path_(std::move(path)) {
  std::string bytes;
  bool absent = false;
  std::string error = ReadRegularFile(path_, &bytes, &absent, kMaxFileSize);
  if (!error.empty() && !absent) error_ = std::move(error);
  if (!error_.empty()) bytes.clear();
  Parse(std::move(bytes));  // empty after any failure
}

void IniFile::SetBytes(std::string_view bytes) {
  Parse(std::string(bytes));
  dirty_ = true;
}

void IniFile::Parse(std::string bytes) {
  sections_.clear();
  lastSectionIndex_ = -1;
  ++generation_;
  source_ = std::move(bytes);
  edits_.clear();
  deadEdits_ = 0;
  sections_.push_back(Section{});
  const std::string_view all = source_;
  std::size_t pos = 0;
  while (pos < all.size()) {
    // The line ends at the first CR or LF.
    const char* const base = all.data();
    const void* lf = std::memchr(base + pos, '\n', all.size() - pos);
    std::size_t end = lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - base) : all.size();
    if (const void* cr = std::memchr(base + pos, '\r', end - pos))
      end = static_cast<std::size_t>(static_cast<const char*>(cr) - base);
    Line line;
    line.offset = static_cast<std::uint32_t>(pos);
    line.length = static_cast<std::uint32_t>(end - pos);
    if (end < all.size()) {
      if (all[end] == '\r' && end + 1 < all.size() && all[end + 1] == '\n') {
        line.eol = kCrLf;
        pos = end + 2;
      } else {
        line.eol = all[end] == '\n' ? 2 : 3;
        pos = end + 1;
      }
    } else {
      pos = end;
    }
    std::string_view name;
    if (HeaderName(Text(line), &name)) {
      Section s;
      s.folded = Cp1251UpperString(name);
      s.hasHeader = true;
      s.lines.push_back(line);
      sections_.push_back(std::move(s));
    } else {
      sections_.back().lines.push_back(line);
    }
  }
}

std::string IniFile::Bytes() const {
  std::string out;
  std::size_t total = 0;
  for (const auto& s : sections_)
    for (const auto& l : s.lines) total += l.length + kLineEnds[l.eol].size();
  out.reserve(total);
  for (const auto& s : sections_)
    for (const auto& l : s.lines) {
      out += Text(l);
      out += kLineEnds[l.eol];
    }
  return out;
}

IniFile::Line IniFile::NewLine(std::string_view text, std::uint8_t eol) {
  Line l;
  l.offset = static_cast<std::uint32_t>(edits_.size());
  l.length = static_cast<std::uint32_t>(text.size());
  l.eol = eol;
  l.edited = true;
  // The lines written to a file read are about as long as the file: room for them at once.
  if (edits_.capacity() < 256) edits_.reserve(std::max<std::size_t>(256, source_.size()));
  edits_ += text;
  return l;
}

void IniFile::Rewrite(Line& l, std::string_view text) {
  if (text.size() <= l.length) {
    // Fits where the old text was (in either buffer: both belong to this object alone).
    std::string& buffer = l.edited ? edits_ : source_;
    buffer.replace(l.offset, text.size(), text);
    if (l.edited) deadEdits_ += l.length - text.size();
    l.length = static_cast<std::uint32_t>(text.size());
    return;
  }
  if (l.edited) deadEdits_ += l.length;
  const std::uint8_t eol = l.eol;
  l = NewLine(text, eol);
  // Text rewritten many times must not pile up: the live pieces are copied together once
  // most of the buffer is dead.
  if (deadEdits_ > 65536 && 2 * deadEdits_ > edits_.size()) {
    std::string live;
    live.reserve(edits_.size() - deadEdits_);
    for (auto& s : sections_)
      for (auto& other : s.lines)
        if (other.edited) {
          const std::string_view t = Text(other);
          other.offset = static_cast<std::uint32_t>(live.size());
          live += t;
        }
    edits_.swap(live);
    deadEdits_ = 0;
  }
}

int IniFile::FindSection(std::string_view folded) const {
  for (std::size_t i = 1; i < sections_.size(); ++i)
    if (sections_[i].folded == folded) return static_cast<int>(i);
  return -1;
}

void IniFile::IndexSection(const Section& s) const {
  std::size_t size = 16;
  while (size < 4 * (s.lines.size() + 1)) size *= 2;  // at most a quarter full when built
  s.keyTable.assign(size, KeySlot{});
  s.keyCount = 0;
  for (std::size_t i = s.hasHeader ? 1 : 0; i < s.lines.size(); ++i) IndexLine(s, static_cast<int>(i));
  s.indexed = true;
}

bool IniFile::IndexLine(const Section& s, int line) const {
  std::string_view key;
  if (!KeyView(Text(s.lines[static_cast<std::size_t>(line)]), &key)) return true;
  if (2 * (s.keyCount + 1) > s.keyTable.size()) return false;
  const std::uint32_t hash = FoldedHash(key);
  const std::size_t mask = s.keyTable.size() - 1;
  for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
    KeySlot& slot = s.keyTable[at];
    if (slot.line < 0) {
      slot = KeySlot{hash, line};
      ++s.keyCount;
      return true;
    }
    std::string_view other;
    if (slot.hash == hash && KeyView(Text(s.lines[static_cast<std::size_t>(slot.line)]), &other) &&
        SameFolded(other, key))
      return true;  // the first occurrence counts
  }
}

int IniFile::FindKey(const Section& s, std::string_view foldedKey) const {
  if (!s.indexed) IndexSection(s);
  const std::uint32_t hash = FoldedHash(foldedKey);
  const std::size_t mask = s.keyTable.size() - 1;
  for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
    const KeySlot& slot = s.keyTable[at];
    if (slot.line < 0) return -1;
    std::string_view key;
    if (slot.hash == hash && KeyView(Text(s.lines[static_cast<std::size_t>(slot.line)]), &key) &&
        SameFolded(key, foldedKey))
      return slot.line;
  }
}

std::string IniFile::ReadString(std::string_view section, std::string_view key,
                                std::string_view defaultValue) const {
  int si = FindSection(Fold(section));
  if (si < 0) return std::string(defaultValue);
  const Section& s = sections_[static_cast<std::size_t>(si)];
  int li = FindKey(s, Fold(key));
  if (li < 0) return std::string(defaultValue);
  const std::string_view t = Text(s.lines[static_cast<std::size_t>(li)]);
  return Cp1251ToUtf8(TrimView(t.substr(t.find('=') + 1)));
}

bool IniFile::HasKey(std::string_view section, std::string_view key) const {
  int si = FindSection(Fold(section));
  return si >= 0 && FindKey(sections_[static_cast<std::size_t>(si)], Fold(key)) >= 0;
}

bool IniFile::HasSection(std::string_view section) const { return FindSection(Fold(section)) >= 0; }

std::vector<std::string> IniFile::SectionKeys(std::string_view section) const {
  std::vector<std::string> keys;
  int si = FindSection(Fold(section));
  if (si < 0) return keys;
  const Section& s = sections_[static_cast<std::size_t>(si)];
  std::string_view key;
  for (std::size_t i = 1; i < s.lines.size(); ++i)
    if (KeyView(Text(s.lines[i]), &key)) keys.push_back(Cp1251ToUtf8(key));
  return keys;
}

void IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  dirty_ = true;
  int si = FindSectionCached(section);
  if (si < 0) {
    FoldInto(&scratch_, section);
    // A new section goes at the end of the file; the last line gets its line end first.
    Section* last = &sections_.back();
    if (!last->lines.empty() && last->lines.back().eol == 0) last->lines.back().eol = kCrLf;
    Section s;
    s.folded = scratch_;
    s.hasHeader = true;
    lineScratch_ = "[";
    AppendUtf8AsCp1251(lineScratch_, section);
    lineScratch_ += ']';
    s.lines.push_back(NewLine(lineScratch_, kCrLf));
    s.lines.push_back(NewLine(KeyLine(key, value), kCrLf));
    sections_.push_back(std::move(s));
    return;
  }
  Section& s = sections_[static_cast<std::size_t>(si)];
  FoldInto(&scratch_, key);
  int li = FindKey(s, scratch_);
  if (li >= 0) {
    RewriteValue(s.lines[static_cast<std::size_t>(li)], value);
    return;
  }
  // Append after the last non-blank line of the section.
  std::size_t at = s.lines.size();
  while (at > 1 && TrimView(Text(s.lines[at - 1])).empty()) --at;
  if (at > 0 && s.lines[at - 1].eol == 0) s.lines[at - 1].eol = kCrLf;
  s.lines.insert(s.lines.begin() + static_cast<std::ptrdiff_t>(at), NewLine(KeyLine(key, value), kCrLf));
  ++generation_;  // lines of the section moved
  // Only blank lines followed the insertion point, so no indexed key line moved.
  if (s.indexed && !IndexLine(s, static_cast<int>(at)))
    s.indexed = false;  // rebuilt larger on the next look-up
}

int IniFile::FindSectionCached(std::string_view section) {
  // A run of keys written to one section looks the section up once.
  if (lastSectionIndex_ >= 0 && section == lastSection_) return lastSectionIndex_;
  FoldInto(&scratch_, section);
  const int si = FindSection(scratch_);
  if (si >= 0) {
    lastSection_.assign(section);
    lastSectionIndex_ = si;
  }
  return si;
}

void IniFile::RewriteValue(Line& l, std::string_view value) {
  std::string_view existing;
  KeyView(Text(l), &existing);
  RewriteValue(l, existing, value);
}

std::string_view IniFile::KeyLine(std::string_view key, std::string_view value) {
  lineScratch_.clear();
  AppendUtf8AsCp1251(lineScratch_, key);
  lineScratch_ += '=';
  AppendUtf8AsCp1251(lineScratch_, value);
  return lineScratch_;
}

void IniFile::RewriteValue(Line& l, std::string_view key, std::string_view value) {
  lineScratch_.assign(key);
  lineScratch_ += '=';
  AppendUtf8AsCp1251(lineScratch_, value);
  Rewrite(l, lineScratch_);
}

IniFile::SectionWriter::SectionWriter(IniFile& ini, std::string_view section)
    : ini_(ini),
      section_(section),
      sectionIndex_(ini.FindSectionCached(section)),
      generation_(ini.generation_) {
  inOrder_ = sectionIndex_ >= 0;
  if (inOrder_) next_ = ini_.sections_[static_cast<std::size_t>(sectionIndex_)].hasHeader ? 1 : 0;
}

void IniFile::SectionWriter::Write(std::string_view key, std::string_view value) {
  // Every key line passed so far held one of the keys written before, all of them other
  // than this one: the next key line, when it holds this key, is its first occurrence.
  if (inOrder_ && ini_.generation_ == generation_) {
    Section& s = ini_.sections_[static_cast<std::size_t>(sectionIndex_)];
    std::string_view lineKey;
    while (next_ < s.lines.size() && !KeyView(ini_.Text(s.lines[next_]), &lineKey)) ++next_;
    if (next_ < s.lines.size() && SameAsciiKey(lineKey, key)) {
      ini_.dirty_ = true;
      ini_.RewriteValue(s.lines[next_++], lineKey, value);
      return;
    }
  }
  inOrder_ = false;
  ini_.WriteString(section_, key, value);
}

void IniFile::EraseSection(std::string_view section) {
  // Most names asked for are absent; a plain ASCII name keeps its length when folded, so
  // one no section's name is as long as is absent.
  if (std::all_of(section.begin(), section.end(),
                  [](char c) { return static_cast<unsigned char>(c) < 0x80; }) &&
      std::none_of(sections_.begin() + 1, sections_.end(),
                   [&](const Section& s) { return s.folded.size() == section.size(); }))
    return;
  FoldInto(&scratch_, section);
  for (std::size_t i = 1; i < sections_.size();) {
    if (sections_[i].folded == scratch_) {
      for (const Line& l : sections_[i].lines)
        if (l.edited) deadEdits_ += l.length;
      sections_.erase(sections_.begin() + static_cast<std::ptrdiff_t>(i));
      lastSectionIndex_ = -1;  // later sections moved
      ++generation_;
      dirty_ = true;
    } else {
      ++i;
    }
  }
}

bool IniFile::Save() {
  error_ = WriteFileAtomically(path_, Bytes());
  if (error_.empty()) dirty_ = false;
  return error_.empty();
}

}  // namespace r770
