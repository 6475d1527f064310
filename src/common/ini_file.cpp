#include "common/ini_file.h"

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

// Whether a raw name folds to the folded name given.
bool SameFolded(std::string_view raw, std::string_view folded) {
  if (raw.size() != folded.size()) return false;
  for (std::size_t i = 0; i < raw.size(); ++i)
    if (UpperByte(static_cast<unsigned char>(raw[i])) != static_cast<unsigned char>(folded[i])) return false;
  return true;
}

// A key line "key=value" in code page 1251.
std::string KeyLine(std::string_view key, std::string_view value) {
  std::string line;
  line.reserve(key.size() + 1 + value.size());
  AppendUtf8AsCp1251(line, key);
  line += '=';
  AppendUtf8AsCp1251(line, value);
  return line;
}

}  // namespace

IniFile::IniFile(std::string path) : path_(std::move(path)) {
  std::string bytes;
  bool absent = false;
  std::string error = ReadRegularFile(path_, &bytes, &absent, kMaxFileSize);
  if (!error.empty() && !absent) error_ = std::move(error);
  Parse(bytes);  // empty after any failure
}

void IniFile::SetBytes(std::string_view bytes) {
  Parse(bytes);
  dirty_ = true;
}

void IniFile::Parse(std::string_view bytes) {
  sections_.clear();
  lastSectionIndex_ = -1;
  sections_.push_back(Section{});
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    std::size_t end = pos;
    while (end < bytes.size() && bytes[end] != '\n' && bytes[end] != '\r') ++end;
    Line line;
    line.text.assign(bytes.substr(pos, end - pos));
    if (end < bytes.size()) {
      if (bytes[end] == '\r' && end + 1 < bytes.size() && bytes[end + 1] == '\n') {
        line.eol = "\r\n";
        pos = end + 2;
      } else {
        line.eol = bytes[end] == '\n' ? "\n" : "\r";
        pos = end + 1;
      }
    } else {
      pos = end;
    }
    std::string_view name;
    if (HeaderName(line.text, &name)) {
      Section s;
      s.folded = Cp1251UpperString(name);
      s.hasHeader = true;
      s.lines.push_back(std::move(line));
      sections_.push_back(std::move(s));
    } else {
      sections_.back().lines.push_back(std::move(line));
    }
  }
}

std::string IniFile::Bytes() const {
  std::string out;
  std::size_t total = 0;
  for (const auto& s : sections_)
    for (const auto& l : s.lines) total += l.text.size() + l.eol.size();
  out.reserve(total);
  for (const auto& s : sections_)
    for (const auto& l : s.lines) {
      out += l.text;
      out += l.eol;
    }
  return out;
}

int IniFile::FindSection(std::string_view folded) const {
  for (std::size_t i = 1; i < sections_.size(); ++i)
    if (sections_[i].folded == folded) return static_cast<int>(i);
  return -1;
}

bool IniFile::KeyOfLine(const std::string& text, std::string* foldedKey, std::string* rawKey) {
  std::string_view key;
  if (!KeyView(text, &key)) return false;
  if (rawKey) rawKey->assign(key);
  if (foldedKey) {
    foldedKey->assign(key);
    for (char& c : *foldedKey) c = static_cast<char>(UpperByte(static_cast<unsigned char>(c)));
  }
  return true;
}

void IniFile::IndexSection(const Section& s) {
  std::size_t size = 16;
  while (size < 4 * (s.lines.size() + 1)) size *= 2;  // at most a quarter full when built
  s.keyTable.assign(size, KeySlot{});
  s.keyCount = 0;
  for (std::size_t i = s.hasHeader ? 1 : 0; i < s.lines.size(); ++i) IndexLine(s, static_cast<int>(i));
  s.indexed = true;
}

bool IniFile::IndexLine(const Section& s, int line) {
  std::string_view key;
  if (!KeyView(s.lines[static_cast<std::size_t>(line)].text, &key)) return true;
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
    if (slot.hash == hash && KeyView(s.lines[static_cast<std::size_t>(slot.line)].text, &other) &&
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
    if (slot.hash == hash && KeyView(s.lines[static_cast<std::size_t>(slot.line)].text, &key) &&
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
  const std::string& t = s.lines[static_cast<std::size_t>(li)].text;
  std::string_view value = TrimView(std::string_view(t).substr(t.find('=') + 1));
  return Cp1251ToUtf8(value);
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
  std::string raw;
  for (std::size_t i = 1; i < s.lines.size(); ++i)
    if (KeyOfLine(s.lines[i].text, nullptr, &raw)) keys.push_back(Cp1251ToUtf8(raw));
  return keys;
}

void IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  dirty_ = true;
  // A run of keys written to one section looks the section up once.
  int si = lastSectionIndex_ >= 0 && section == lastSection_ ? lastSectionIndex_ : -1;
  if (si < 0) {
    FoldInto(&scratch_, section);
    si = FindSection(scratch_);
    if (si >= 0) {
      lastSection_.assign(section);
      lastSectionIndex_ = si;
    }
  }
  if (si < 0) {
    std::string folded = scratch_;
    // A new section goes at the end of the file; the last line gets its line end first.
    Section* last = &sections_.back();
    if (!last->lines.empty() && last->lines.back().eol.empty()) last->lines.back().eol = "\r\n";
    Section s;
    s.folded = std::move(folded);
    s.hasHeader = true;
    s.lines.push_back({"[" + Utf8ToCp1251(section) + "]", "\r\n"});
    s.lines.push_back({KeyLine(key, value), "\r\n"});
    sections_.push_back(std::move(s));
    return;
  }
  Section& s = sections_[static_cast<std::size_t>(si)];
  FoldInto(&scratch_, key);
  int li = FindKey(s, scratch_);
  if (li >= 0) {
    // The key keeps its own spelling; the text after "=" is replaced. The line is rewritten
    // in its own storage, so a save of a file of the same shape allocates nothing here.
    std::string& t = s.lines[static_cast<std::size_t>(li)].text;
    std::size_t end = t.find('=');
    while (end > 0 && IsBlank(t[end - 1])) --end;
    std::size_t begin = 0;
    while (begin < end && IsBlank(t[begin])) ++begin;
    t.resize(end);
    t.erase(0, begin);
    t += '=';
    AppendUtf8AsCp1251(t, value);
    return;
  }
  // Append after the last non-blank line of the section.
  std::size_t at = s.lines.size();
  while (at > 1 && TrimView(s.lines[at - 1].text).empty()) --at;
  if (at > 0 && s.lines[at - 1].eol.empty()) s.lines[at - 1].eol = "\r\n";
  s.lines.insert(s.lines.begin() + static_cast<std::ptrdiff_t>(at), Line{KeyLine(key, value), "\r\n"});
  // Only blank lines followed the insertion point, so no indexed key line moved.
  if (s.indexed && !IndexLine(s, static_cast<int>(at))) s.indexed = false;  // rebuilt larger on the next look-up
}

void IniFile::EraseSection(std::string_view section) {
  std::string folded = Fold(section);
  for (std::size_t i = 1; i < sections_.size();) {
    if (sections_[i].folded == folded) {
      sections_.erase(sections_.begin() + static_cast<std::ptrdiff_t>(i));
      lastSectionIndex_ = -1;  // later sections moved
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
