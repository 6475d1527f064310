#include "common/dialogs.h"

namespace r770 {

std::vector<FileFilter> ParseFilterText(const std::string& text) {
  std::vector<std::string> parts;
  std::string cur;
  for (char c : text) {
    if (c == '|') { parts.push_back(cur); cur.clear(); }
    else cur.push_back(c);
  }
  parts.push_back(cur);
  std::vector<FileFilter> out;
  for (std::size_t i = 0; i + 1 < parts.size(); i += 2) out.push_back({parts[i], parts[i + 1]});
  return out;
}

}  // namespace r770
