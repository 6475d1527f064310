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

std::string Fold(std::string_view utf8) { return Cp1251UpperString(Utf8ToCp1251(utf8)); }

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
        line.eol.assign(1, bytes[end]);
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
  auto eq = text.find('=');
  if (eq == std::string::npos) return false;
  std::string_view key = TrimView(std::string_view(text).substr(0, eq));
  if (key.empty()) return false;
  // A comment line is not a key.
  if (key[0] == ';') return false;
  if (rawKey) rawKey->assign(key);
  if (foldedKey) *foldedKey = Cp1251UpperString(key);
  return true;
}

int IniFile::FindKey(const Section& s, std::string_view foldedKey) const {
  if (!s.indexed) {
    s.keyIndex.clear();
    std::string k;
    for (std::size_t i = s.hasHeader ? 1 : 0; i < s.lines.size(); ++i)
      if (KeyOfLine(s.lines[i].text, &k, nullptr)) s.keyIndex.emplace(k, static_cast<int>(i));  // first one counts
    s.indexed = true;
  }
  auto it = s.keyIndex.find(std::string(foldedKey));
  return it == s.keyIndex.end() ? -1 : it->second;
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
  std::string rawKey = Utf8ToCp1251(key);
  std::string rawValue = Utf8ToCp1251(value);
  std::string folded = Fold(section);
  int si = FindSection(folded);
  if (si < 0) {
    // A new section goes at the end of the file; the last line gets its line end first.
    Section* last = &sections_.back();
    if (!last->lines.empty() && last->lines.back().eol.empty()) last->lines.back().eol = "\r\n";
    Section s;
    s.folded = folded;
    s.hasHeader = true;
    s.lines.push_back({"[" + Utf8ToCp1251(section) + "]", "\r\n"});
    s.lines.push_back({rawKey + "=" + rawValue, "\r\n"});
    sections_.push_back(std::move(s));
    return;
  }
  Section& s = sections_[static_cast<std::size_t>(si)];
  int li = FindKey(s, Cp1251UpperString(rawKey));
  if (li >= 0) {
    Line& l = s.lines[static_cast<std::size_t>(li)];
    std::string existing;
    KeyOfLine(l.text, nullptr, &existing);
    l.text = existing + "=" + rawValue;
    return;
  }
  // Append after the last non-blank line of the section.
  std::size_t at = s.lines.size();
  while (at > 1 && TrimView(s.lines[at - 1].text).empty()) --at;
  if (at > 0 && s.lines[at - 1].eol.empty()) s.lines[at - 1].eol = "\r\n";
  s.lines.insert(s.lines.begin() + static_cast<std::ptrdiff_t>(at), Line{rawKey + "=" + rawValue, "\r\n"});
  // Only blank lines followed the insertion point, so no indexed key line moved.
  std::string newKey;
  if (s.indexed && KeyOfLine(s.lines[at].text, &newKey, nullptr)) s.keyIndex.emplace(newKey, static_cast<int>(at));
}

void IniFile::EraseSection(std::string_view section) {
  std::string folded = Fold(section);
  for (std::size_t i = 1; i < sections_.size();) {
    if (sections_[i].folded == folded) {
      sections_.erase(sections_.begin() + static_cast<std::ptrdiff_t>(i));
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
