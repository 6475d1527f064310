#include "document/recent_documents.h"

#include <algorithm>
#include <string_view>

#include "common/codec.h"
#include "common/ini_file.h"
#include "common/number_forms.h"

namespace r770 {
namespace {

constexpr const char* kRecentSection = "LastDocuments";
constexpr const char* kPlaceSection = "MainWindow";

std::string Saved(IniFile& f) {
  if (!f.Error().empty()) return f.Error();
  f.Save();
  return f.Error();
}

// A path that code page 1251 cannot hold (a folder named in another script) would reach
// the file with "?" in place of its letters. It is kept as "utf8:" and its UTF-8 bytes with
// every byte outside ASCII, and "%", written %XX. Stored paths are absolute and never
// begin with the mark otherwise.
constexpr std::string_view kUtf8Mark = "utf8:";

std::string Stored(const std::string& path) {
  if (FitsCp1251(path) && path.rfind(kUtf8Mark, 0) != 0) return path;
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out(kUtf8Mark);
  for (unsigned char c : path) {
    if (c >= 0x80 || c == '%' || c < 0x20) {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 0x0F];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

std::string Restored(const std::string& text) {
  if (text.rfind(kUtf8Mark, 0) != 0) return text;
  auto digit = [](char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  std::string out;
  for (std::size_t i = kUtf8Mark.size(); i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && digit(text[i + 1]) >= 0 && digit(text[i + 2]) >= 0) {
      out += static_cast<char>(digit(text[i + 1]) * 16 + digit(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::optional<int> IntValue(const IniFile& f, const char* key) {
  if (!f.HasKey(kPlaceSection, key)) return std::nullopt;
  auto v = ParseIntKey(f.ReadString(kPlaceSection, key, ""));
  if (!v || *v < -100000 || *v > 100000) return std::nullopt;
  return static_cast<int>(*v);
}

}  // namespace

std::vector<std::string> ReadRecentDocuments(const std::string& settingsPath) {
  IniFile f(settingsPath);
  std::vector<std::string> list;
  for (std::size_t i = 1; i <= kRecentDocumentsMax; ++i) {
    std::string path = Restored(f.ReadString(kRecentSection, "File" + std::to_string(i), ""));
    if (!path.empty() && std::find(list.begin(), list.end(), path) == list.end()) list.push_back(path);
  }
  return list;
}

std::string WriteRecentDocuments(const std::string& settingsPath, const std::vector<std::string>& list) {
  IniFile f(settingsPath);
  f.EraseSection(kRecentSection);
  for (std::size_t i = 0; i < list.size() && i < kRecentDocumentsMax; ++i)
    f.WriteString(kRecentSection, "File" + std::to_string(i + 1), Stored(list[i]));
  return Saved(f);
}

std::vector<std::string> WithRecent(std::vector<std::string> list, const std::string& path) {
  if (path.empty()) return list;
  list.erase(std::remove(list.begin(), list.end(), path), list.end());
  list.insert(list.begin(), path);
  if (list.size() > kRecentDocumentsMax) list.resize(kRecentDocumentsMax);
  return list;
}

std::optional<WindowPlace> ReadWindowPlace(const std::string& settingsPath) {
  IniFile f(settingsPath);
  auto x = IntValue(f, "Left"), y = IntValue(f, "Top"), w = IntValue(f, "Width"), h = IntValue(f, "Height");
  if (!x || !y || !w || !h || *w < 100 || *h < 100) return std::nullopt;
  WindowPlace p{*x, *y, *w, *h, IntValue(f, "Maximized").value_or(0) != 0};
  return p;
}

std::string WriteWindowPlace(const std::string& settingsPath, const WindowPlace& place) {
  IniFile f(settingsPath);
  f.EraseSection(kPlaceSection);
  f.WriteString(kPlaceSection, "Left", std::to_string(place.x));
  f.WriteString(kPlaceSection, "Top", std::to_string(place.y));
  f.WriteString(kPlaceSection, "Width", std::to_string(place.width));
  f.WriteString(kPlaceSection, "Height", std::to_string(place.height));
  f.WriteString(kPlaceSection, "Maximized", place.maximized ? "1" : "0");
  return Saved(f);
}

WindowPlace FitWindowPlace(WindowPlace place, const WindowPlace& screen) {
  place.width = std::min(place.width, screen.width);
  place.height = std::min(place.height, screen.height);
  place.x = std::clamp(place.x, screen.x, screen.x + screen.width - place.width);
  place.y = std::clamp(place.y, screen.y, screen.y + screen.height - place.height);
  return place;
}

}  // namespace r770
