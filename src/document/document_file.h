// The configuration document file (".bmt"): load, save, and the address text parsers.
//
// Sections, in the order a new file holds them: "Protokol" (header), "Common", "Config"
// (controller list as pairs of task file path and network number) and the four map
// sections "TU Modbus", "TC Modbus", "TIFloat Modbus", "InputReg Modbus".
//
// Saving reads the existing file, puts the header and each part whose change flag is set
// into its content in memory and replaces the file in one durable atomic write: the file
// on disk is always the whole old document or the whole new one. The flags are cleared
// only once that write succeeded; a failed save leaves the old file and every flag.
#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "document/configuration.h"

namespace r770 {

class Dialogs;
struct ProgramSettings;

// File dialog filter of documents.
inline constexpr const char* kDocumentFilter = "*.bmt|*.bmt|*.* (All files)|*.*";
// Length of the main window's progress strip. Load and save step it once per section,
// per controller (load) and per map entry (save); a save of the whole document takes more
// steps than that, so the strip is expected to stop at its end.
inline constexpr int kDocumentProgressMax = 116;

// Texts under which "V_CAN" is stored: the document stores the text at the position equal
// to the V_CAN index (0..4). Texts at positions 5..14 are never written; on load they are
// taken as texts outside the table (V_CAN keeps its previous value), so V_CAN stays 0..4.
inline constexpr std::array<const char*, 15> kCanSpeedTexts{
    "300", "200", "150", "120", "100", "75", "60", "50", "40", "37.5", "30", "25", "20", "15", "10"};
// Texts of "V_Ethernet" by V_Ethernet index.
inline constexpr std::array<const char*, 2> kEthernetSpeedTexts{"Авто", "10МБит/с"};

// What the load and save procedures need of the main window.
class DocumentView {
 public:
  virtual ~DocumentView() = default;
  virtual void ProgressStep() = 0;                        // advance the strip by one step
  virtual void PumpEvents() = 0;                          // keep the window alive
  virtual void Information(const std::string& text) = 0;  // message box with OK
  virtual void SetStatus(const std::string& text) = 0;    // main window's status line
  // Hide the progress strip and open the controller list editor modally.
  virtual void OpenControllerEditor() = 0;
};

// The view of a load run without a main window (a reload, a file compared with the
// document): messages go to message boxes; no progress strip, no other window input, no
// controller list editor.
class DialogsDocumentView final : public DocumentView {
 public:
  explicit DialogsDocumentView(Dialogs& dialogs) : dialogs_(dialogs) {}
  void ProgressStep() override {}
  void PumpEvents() override {}
  void Information(const std::string& text) override;
  void SetStatus(const std::string&) override {}
  void OpenControllerEditor() override {}

 private:
  Dialogs& dialogs_;
};

// Fills cfg from the file at path (the caller made sure it exists). Failures are reported
// through view; returns false when the load stopped early (unreadable file, wrong type, a
// bad number). A file of the wrong type leaves the configuration and its FileName as they
// were, so that a foreign file never becomes the target of the next save.
bool LoadDocument(Configuration& cfg, const ProgramSettings& settings, const std::string& path,
                  DocumentView& view);

// Writes the header and every part whose change flag is set, in one atomic write; the
// flags are cleared only after it reached the disk. False (with a message through view)
// when the file could not be read or written; then nothing changed on disk or in cfg.
bool SaveDocument(Configuration& cfg, const std::string& path, DocumentView& view);

// Rebuilds the controller list from the "Config" section of the document file (an empty
// path, a document without a file yet, gives an empty list) and clears ControllersChanged.
// Does not open the controller list editor. False, with a message, when the file has gone
// or cannot be read (the list is then left as it is) or a network number did not convert.
bool LoadControllers(Configuration& cfg, const ProgramSettings& settings, const std::string& path,
                     DocumentView& view);

// MAC form: n hexadecimal groups left to right. Bytes stored before a fault stay stored.
bool ParseHexBytes(const std::string& text, std::uint8_t* bytes, int n);
// IP form: n decimal groups read from the right. Bytes stored before a fault stay stored.
bool ParseDecBytes(const std::string& text, std::uint8_t* bytes, int n);

// The text forms written to the document: "00.1A.2B.3C.4D.5E" and "192.168.0.10".
std::string HexBytesText(const std::uint8_t* bytes, int n);
std::string DecBytesText(const std::uint8_t* bytes, int n);

// The module's IP address of a document as "192.168.0.10", for the windows that take the
// address from the document; none while it holds the reset value 255.255.255.255.
std::optional<std::string> DocumentModuleIP(const CommonSettings& common);
inline constexpr const char* kNoDocumentIPMessage =
    "В документе не задан IP адрес модуля (255.255.255.255): введите адрес в общих настройках.";

}  // namespace r770
