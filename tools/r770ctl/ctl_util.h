// Shared pieces of the r770ctl commands.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "arg_parser.h"
#include "ctl.h"
#include "document/configuration.h"
#include "document/document_file.h"
#include "document/program_settings.h"
#include "export/map_export.h"

namespace r770::ctl {

// The main window's part in a load or save, without a window: messages go to err (and into
// messages when given); there is no controller list editor to open.
class CtlDocumentView : public DocumentView {
 public:
  // err may be null: messages are then only collected.
  explicit CtlDocumentView(std::ostream* err, std::vector<std::string>* messages = nullptr);
  void ProgressStep() override {}
  void PumpEvents() override {}
  void Information(const std::string& text) override;
  void SetStatus(const std::string&) override {}
  void OpenControllerEditor() override {}

 private:
  std::ostream* err_;
  std::vector<std::string>* messages_;
};

bool HasHelp(const std::vector<std::string>& args);
int UsageError(Io& io, const std::string& message);

// A command's option table: an option off the table is "неизвестный ключ".
cli::ArgParser CommandArgs();
std::string UnknownOption(const std::string& option);
// A positional handler that appends each argument to `into`.
std::function<std::string(const std::string&)> Collect(std::vector<std::string>& into);

// Values of the Modbus/TCP options of modbus-read, monitor and export: empty when taken,
// else the usage message (a missing value is told as a wrong one).
std::string PortValue(const cli::ArgParser::Value& v, std::uint16_t& port);       // --port
std::string UnitValue(const cli::ArgParser::Value& v, std::uint8_t& unit);        // --unit
std::string TimeoutValue(const cli::ArgParser::Value& v, std::int32_t& seconds);  // --timeout
std::string OrderValue(const cli::ArgParser::Value& v, WireOrder& order);         // --order

// Ctrl-C and SIGTERM while a command runs. The first Ctrl-C only sets Interrupted(), for the
// command to stop at its next step; a second one, or one while ExitOnInterrupt is set, ends
// the program at once with 130. SIGTERM always ends it at once with 143, so that `timeout`
// or a service manager can stop a command that waits.
class InterruptScope {
 public:
  InterruptScope();
  ~InterruptScope();
  InterruptScope(const InterruptScope&) = delete;
  InterruptScope& operator=(const InterruptScope&) = delete;
};
bool Interrupted();
void ExitOnInterrupt(bool on);

// Writes a command's output: to out when path is empty, else durably and atomically to the
// file (a failed write leaves an old file whole; a FIFO or a device is refused). False, with
// the reason on err, when it did not reach its place.
bool WriteOutput(Io& io, const std::string& path, const std::string& bytes);

// The settings of the configurator (database folders, links, test parameters).
std::string SettingsPath(const Io& io);
bool ReadSettings(Io& io, ProgramSettings& s);

struct Loaded {
  std::string dbRoot;  // when set: database root whose ALG, MOD, TASK folders are used
  ProgramSettings settings;
  Configuration cfg;
  std::vector<std::string> messages;  // what the load reported
  // False: the load's messages are only collected (a command that reports them itself);
  // they still go to stderr when the load fails.
  bool echoMessages = true;
};

// Loads a document the way the configurator does, without windows: messages go to
// stderr (and into doc.messages). False when the file is missing or the load stopped.
bool LoadForCtl(const std::string& path, Io& io, Loaded& doc);

// The module's configuration read into `into` with the exchange window's read procedure, over
// the link of the settings changed by linkArgs (for this run only); the document is the one
// the exchange window would hold, and stays untouched. kExitOk, kExitUsage for a bad link
// option, kExitProblems when the read failed (said on stderr), kExitInterrupted for Ctrl-C.
// net, when given, receives the network number of the module addressed.
int ReadModuleInto(const std::vector<std::string>& linkArgs, Io& io, Configuration& document,
                   Configuration& into, std::uint8_t* net = nullptr);

// A JSON string literal of a UTF-8 text.
std::string Json(const std::string& s);

}  // namespace r770::ctl
