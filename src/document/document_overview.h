// The overview of the current document shown in the centre of the main window: where the
// document comes from, its common settings, its controllers, how full each register map is
// and what the document check finds. Each line names the window a double click opens.
#pragma once
#include <string>
#include <utility>
#include <vector>

#include "document/configuration.h"
#include "document/main_window_form.h"

namespace r770 {

struct OverviewLine {
  std::string Text;
  bool Title = false;                      // a section title
  MainCommand Target = MainCommand::None;  // the window a double click opens
  bool Marked = false;                     // a controller without task file, a problem found
  bool operator==(const OverviewLine&) const = default;
};

// True once "Новый", a load or a read from the module has given a document.
bool HasDocument(const Configuration& cfg);

// The common settings as label and value, in the order of the common settings editor.
std::vector<std::pair<std::string, std::string>> CommonSettingsTexts(const CommonSettings& c);
// A controller of the list: "1. 05  <task file>" with "  (не найден)" when Found is clear.
std::string ControllerText(const Configuration& cfg, std::size_t pos);
// "Coils 8 из 16": the map's name in the menu, its filled entries and its size.
std::string MapFillText(const Configuration& cfg, MapKind kind);

std::vector<OverviewLine> DocumentOverview(const Configuration& cfg);

}  // namespace r770
