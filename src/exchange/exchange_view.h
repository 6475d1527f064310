// ExchangeView: what the exchange window's form model needs from the screen around it. The
// Qt window implements it; tests fake it. Procedures run on the one UI thread and call
// PumpEvents between steps, which is how "Прервать" reaches them.
#pragma once
#include <string>

namespace r770 {

class ExchangeView {
 public:
  virtual ~ExchangeView() = default;

  // The status line and the progress indicator changed (cheap; called once per element).
  virtual void StatusChanged(const std::string& text) {}
  virtual void ProgressChanged(int position) {}
  // Shows the progress indicator as it stands now, without letting window input run: the
  // search calls it after every probe, since it pumps no events.
  virtual void PaintProgressNow() {}
  // Anything else the window shows changed: visibility, enabling, captions, results table.
  virtual void Refresh() {}
  // The log view got a line, or was emptied.
  virtual void LogAppended(const std::string& line) {}
  virtual void LogCleared() {}
  // The day's log file could not be written (said once per showing, after the line that says
  // so went into the log view): a view without a log view reports it its own way.
  virtual void LogFileFailed(const std::string& notice) {}

  // Wait cursor on or off.
  virtual void SetBusy(bool busy) = 0;
  // Lets pending window input run (keeps the window painted, notices "Прервать").
  virtual void PumpEvents() = 0;
  // Information box with OK; confirmation box with Yes and No (true for Yes).
  virtual void Information(const std::string& text) = 0;
  virtual bool Confirm(const std::string& text) = 0;

  // The main window: its status line, and the menus that depend on the document.
  virtual void SetMainStatus(const std::string& text) = 0;
  virtual void UpdateDocumentMenus(bool newDocument) = 0;
  // The main window's unsaved-changes prompt, before the read replaces the document: false
  // when the user cancelled it (or the save it asked for failed), and the read does not start.
  virtual bool AskSaveChanges() { return true; }
};

}  // namespace r770
