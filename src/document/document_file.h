// The configuration document file (".bmt"): load, save, and the address text parsers.
#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "document/configuration.h"

namespace r770 {

class Dialogs;
struct ProgramSettings;

// File dialog filter of documents.
inline constexpr const char* kDocumentFilter = "*.bmt|*.bmt|*.* (All files)|*.*";
// Length of the main window's progress strip.
inline constexpr int kDocumentProgressMax = 116;

// What the load and save procedures need of the main window.
class DocumentView {
 public:
  virtual ~DocumentView() = default;
  virtual void ProgressStep() = 0;                       // advance the strip by one step
  virtual void PumpEvents() = 0;                         // keep the window alive
  virtual void Information(const std::string& text) = 0;  // message box with OK
  virtual void SetStatus(const std::string& text) = 0;   // main window's status line
  // Hide the progress strip and open the controller list editor modally.
  virtual void OpenControllerEditor() = 0;
};

// Fills cfg from the file at path (the caller made sure it exists). Failures are reported
// through view; returns false when the load stopped early (wrong type, a bad number).
bool LoadDocument(Configuration& cfg, const ProgramSettings& settings, const std::string& path,
                  DocumentView& view);

// Writes the header and every part whose change flag is set; each flag is cleared only
// after its part reached the disk. False (with a message through view) when a write failed.
bool SaveDocument(Configuration& cfg, const std::string& path, DocumentView& view);

// Rebuilds the controller list from the "Config" section of the document file.
void LoadControllers(Configuration& cfg, const ProgramSettings& settings, const std::string& path,
                     DocumentView& view);

// MAC form: n hexadecimal groups left to right. Bytes stored before a fault stay stored.
bool ParseHexBytes(const std::string& text, std::uint8_t* bytes, int n);
// IP form: n decimal groups read from the right. Bytes stored before a fault stay stored.
bool ParseDecBytes(const std::string& text, std::uint8_t* bytes, int n);

}  // namespace r770
