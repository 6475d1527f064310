#include "common/dialogs.h"

#include <sys/stat.h>

namespace r770 {

std::vector<FileFilter> ParseFilterText(const std::string& text) {
  std::vector<std::string> parts;
  std::string cur;
  for (char c : text) {
    if (c == '|') {
      parts.push_back(cur);
      cur.clear();
    } else
      cur.push_back(c);
  }
  parts.push_back(cur);
  std::vector<FileFilter> out;
  for (std::size_t i = 0; i + 1 < parts.size(); i += 2) out.push_back({parts[i], parts[i + 1]});
  return out;
}

std::vector<std::string> Dialogs::OpenFiles(const std::vector<FileFilter>& filters, int preselected,
                                            const std::string& startFolder) {
  std::optional<std::string> one = OpenFile(filters, preselected, startFolder);
  if (!one) return {};
  return {*one};
}

std::string ExistingFolderOf(const std::string& path) {
  std::string p = path;
  while (!p.empty()) {
    struct stat st {};
    if (stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return p;
    const auto slash = p.find_last_of('/');
    if (slash == std::string::npos) return {};
    p = slash == 0 ? "/" : p.substr(0, slash);
    if (p == "/") return p;
  }
  return {};
}

}  // namespace r770
