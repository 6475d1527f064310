// What the main window remembers between runs besides the program settings: the last
// documents opened or saved and the window's place. Each lives in a section of the settings
// file of its own ("LastDocuments", "MainWindow"), which no other window erases.
#pragma once
#include <optional>
#include <string>
#include <vector>

namespace r770 {

inline constexpr std::size_t kRecentDocumentsMax = 8;

// The list, most recent first; keys File1 .. File8. Empty values and repeats are skipped.
std::vector<std::string> ReadRecentDocuments(const std::string& settingsPath);
// Rewrites the section with the list (at most the first eight). Empty string or a message.
std::string WriteRecentDocuments(const std::string& settingsPath, const std::vector<std::string>& list);
// The list with path put first: an earlier occurrence moves up, the ninth falls off.
std::vector<std::string> WithRecent(std::vector<std::string> list, const std::string& path);

struct WindowPlace {
  int x = 0, y = 0, width = 0, height = 0;
  bool maximized = false;
  bool operator==(const WindowPlace&) const = default;
};

// The stored place, none when absent or not a usable size.
std::optional<WindowPlace> ReadWindowPlace(const std::string& settingsPath);
std::string WriteWindowPlace(const std::string& settingsPath, const WindowPlace& place);

// The place brought onto a screen area (x, y, width, height of what the desktop offers):
// no larger than the area, and moved so that the whole window lies inside it.
WindowPlace FitWindowPlace(WindowPlace place, const WindowPlace& screen);

}  // namespace r770
