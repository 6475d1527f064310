// ProgramSettings: the program's own settings file beside the executable.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

namespace r770 {

enum class LinkKindSetting { CanBus, Ethernet };

// Adapter speed items of the settings and of the exchange settings window.
inline constexpr const char* kAdapterSpeedItems[5] = {"300", "150", "100", "  50", "  20"};
inline constexpr const char* kComPortItems[8] = {"COM1", "COM2", "COM3", "COM4",
                                                 "COM5", "COM6", "COM7", "COM8"};

struct ProgramSettings {
  std::string Path;  // the settings file, fixed at the first reading

  // "Parametr"
  LinkKindSetting LinkKind = LinkKindSetting::CanBus;
  std::optional<int> ComPortIndex = 1;  // COM2
  std::uint32_t PcNetNumber = 0;
  std::optional<int> AdapterSpeedIndex = 0;
  std::uint8_t ModuleNetNumber = 1;
  std::int32_t AnswerTimeSec = 2;
  std::int32_t Retries = 3;
  std::string ModuleIP = "192.168.0.1";
  std::int32_t ModulePort = 51960;

  // "BaseL8"
  std::string DbRoot, DbAlg, DbMod, DbTask;
  // Working folders of the database reader (copies of DbAlg, DbMod, DbTask).
  std::string WorkAlg, WorkMod, WorkTask;

  // "DopNastr"
  bool ShortTaskNames = true;
  bool PortInHex = false;

  // "ModbusTest"
  std::uint16_t PortTcpTest = 51960;
  std::string IP_AdrTest = "192.168.0.1";
  bool InversModTest = false;
  bool SwapModTest = true;
  bool Test16 = false;
  std::uint8_t SetModTest = 1;
  std::int32_t TimeAnswerTest = 1;
  std::uint16_t ConstCRCTest = 40961;
};

// The settings file of this program in folder: the executable's name with "ini" for its
// extension.
std::string SettingsPathIn(const std::string& folder);
// The settings file of this program: beside the executable, or in the user's settings folder
// (created when missing) for an installed program (see program_path.h).
std::string DefaultSettingsPath();

// Reads the four sections in order into s (s.Path := path). Returns an empty string, or
// the message of the key that stopped the reading (the keys read before it stay).
std::string ReadProgramSettings(const std::string& path, ProgramSettings& s);
// Reads "BaseL8" only and sets the working folders.
std::string ReadDatabasePaths(const std::string& path, ProgramSettings& s);

// Texts written by the exchange settings window, in the window's own forms.
struct ExchangeSettingsTexts {
  std::string VS, Comport, Pc_numb, SpeedPC, SetNR770;
  std::int32_t KPov = 3;
  std::string IP;
  std::int32_t port_TCP = 51960;
  std::string TimeW;
};

// Writers; each opens the file, changes its keys and saves it crash-safely.
// They return an empty string or an error message.
std::string WriteExchangeSettings(const std::string& path, const ExchangeSettingsTexts& t);
std::string WriteExchangeWindowClose(const std::string& path, std::uint8_t adapterSetn,
                                     std::uint8_t moduleNetNumber);
std::string WriteDatabasePaths(const std::string& path, const ProgramSettings& s);
std::string WriteDisplayChoices(const std::string& path, bool shortTaskNames, bool portInHex);
std::string WriteModbusTest(const std::string& path, const ProgramSettings& s);

// "Monitor": choices of the map monitor window, in a section of its own that no other window
// writes or erases. Key "CsvDialect": the dialect of its recordings; empty when not set.
std::string ReadMonitorCsvDialect(const std::string& path);
std::string WriteMonitorCsvDialect(const std::string& path, const std::string& dialect);

// Serial device behind "COMn": section "ComPorts" key "COMn", else /dev/ttyS(n-1).
std::string ComPortDevice(const std::string& settingsPath, int n);

}  // namespace r770
