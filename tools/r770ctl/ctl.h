// r770ctl: the configurator's command-line companion. Every command takes its arguments
// and writes to the given streams; the exit code is the result.
#pragma once
#include <iosfwd>
#include <string>
#include <vector>

namespace r770::ctl {

struct Io {
  std::ostream& out;
  std::ostream& err;
  // Settings file (database folders, exchange log folder); empty: the default beside the program.
  std::string settingsPath;
};

int Main(const std::vector<std::string>& args, Io& io);

int Show(const std::vector<std::string>& args, Io& io);
int ExportCsv(const std::vector<std::string>& args, Io& io);
int ImportCsv(const std::vector<std::string>& args, Io& io);
int Check(const std::vector<std::string>& args, Io& io);
int ModbusRead(const std::vector<std::string>& args, Io& io);
int DemoDocument(const std::vector<std::string>& args, Io& io);
int Search(const std::vector<std::string>& args, Io& io);
int Write(const std::vector<std::string>& args, Io& io);
int Read(const std::vector<std::string>& args, Io& io);
int RunDevice(const std::vector<std::string>& args, Io& io);
int StopDevice(const std::vector<std::string>& args, Io& io);
int Compare(const std::vector<std::string>& args, Io& io);
int Diff(const std::vector<std::string>& args, Io& io);
int Monitor(const std::vector<std::string>& args, Io& io);
int Export(const std::vector<std::string>& args, Io& io);

// Exit codes.
inline constexpr int kExitOk = 0;
inline constexpr int kExitProblems = 1;  // check found something to fix; exchange failed
inline constexpr int kExitUsage = 2;
inline constexpr int kExitUnreadable = 3;     // diff: a document or the module could not be read
inline constexpr int kExitInterrupted = 130;  // Ctrl-C: 128 + SIGINT
inline constexpr int kExitTerminated = 143;   // SIGTERM: 128 + SIGTERM

}  // namespace r770::ctl
