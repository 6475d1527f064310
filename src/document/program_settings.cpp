#include "document/program_settings.h"

#include "common/codec.h"
#include "common/ini_file.h"
#include "common/number_forms.h"
#include "common/program_path.h"

namespace r770 {
namespace {

std::string NoBlanksUpper(const std::string& s) {
  std::string out;
  for (char c : Utf8Upper(s))
    if (c != ' ' && c != '\t') out.push_back(c);
  return out;
}

std::int64_t IntKey(const IniFile& f, const char* section, const char* key, std::int64_t def) {
  std::string text = f.ReadString(section, key, "");
  if (!f.HasKey(section, key)) return def;
  auto v = ParseIntKey(text);
  return v ? *v : def;
}

bool BoolKey(const IniFile& f, const char* section, const char* key, bool def) {
  return IntKey(f, section, key, def ? 1 : 0) != 0;
}

std::string NotConverted(const char* key, const std::string& text, const char* kind) {
  // Junk of any length must not end up whole in a message box.
  constexpr std::size_t kShown = 100;
  const std::string shown = Utf8Length(text) > kShown ? Utf8Left(text, kShown) + "..." : text;
  return "Ошибка чтения файла настроек: значение \"" + shown + "\" ключа \"" + key + "\" не является " +
         kind + " числом";
}

void ReadBaseL8(const IniFile& f, ProgramSettings& s) {
  s.DbRoot = f.ReadString("BaseL8", "Way", "");
  s.DbAlg = f.ReadString("BaseL8", "WayAlg", "");
  s.DbMod = f.ReadString("BaseL8", "WayMod", "");
  s.DbTask = f.ReadString("BaseL8", "WayTask", "");
  s.WorkAlg = s.DbAlg;
  s.WorkMod = s.DbMod;
  s.WorkTask = s.DbTask;
}

std::string Finish(IniFile& f) {
  if (!f.Error().empty()) return f.Error();
  f.Save();
  return f.Error();
}

}  // namespace

std::string SettingsPathIn(const std::string& folder) {
  std::string exe = ExecutablePath();
  std::string name = exe.substr(exe.rfind('/') + 1);
  if (name.empty()) name = "r770cfg";
  return SettingsPathFor(folder + "/" + name);
}

std::string DefaultSettingsPath() { return SettingsPathIn(SettingsFolder()); }

std::string ReadProgramSettings(const std::string& path, ProgramSettings& s) {
  s.Path = path;
  IniFile f(path);
  if (!f.Error().empty()) return f.Error();

  // "Parametr"
  s.LinkKind = f.ReadString("Parametr", "VS", "CAN-BUS") == "CAN-BUS" ? LinkKindSetting::CanBus
                                                                      : LinkKindSetting::Ethernet;
  {
    std::string port = Utf8Upper(f.ReadString("Parametr", "Comport", "COM2"));
    s.ComPortIndex.reset();
    for (int i = 0; i < 8; ++i)
      if (port == kComPortItems[i]) s.ComPortIndex = i;
  }
  {
    std::string text = f.ReadString("Parametr", "Pc_numb", "0");
    auto v = ParseHex(text);
    if (!v) return NotConverted("Pc_numb", text, "шестнадцатеричным");
    s.PcNetNumber = *v;
  }
  {
    std::string speed = NoBlanksUpper(f.ReadString("Parametr", "SpeedPC", "300"));
    s.AdapterSpeedIndex.reset();
    for (int i = 0; i < 5; ++i)
      if (speed == NoBlanksUpper(kAdapterSpeedItems[i])) s.AdapterSpeedIndex = i;
  }
  {
    std::string text = f.ReadString("Parametr", "SetNR770", "1");
    auto v = ParseHex(text);
    if (!v) return NotConverted("SetNR770", text, "шестнадцатеричным");
    s.ModuleNetNumber = static_cast<std::uint8_t>(*v);
  }
  {
    std::string text = f.ReadString("Parametr", "TimeW", "2");
    auto v = ParseDec(text);
    if (!v) return NotConverted("TimeW", text, "десятичным");
    s.AnswerTimeSec = static_cast<std::int32_t>(*v);
  }
  s.Retries = static_cast<std::int32_t>(IntKey(f, "Parametr", "KPov", 3));
  s.ModuleIP = f.ReadString("Parametr", "IP", "192.168.0.1");
  s.ModulePort = static_cast<std::int32_t>(IntKey(f, "Parametr", "port_TCP", 51960));

  ReadBaseL8(f, s);

  s.ShortTaskNames = f.ReadString("DopNastr", "NameTask", "короткое") == "короткое";
  s.PortInHex = f.ReadString("DopNastr", "Вид", "10-тичный") == "16-тиричный";

  s.PortTcpTest = static_cast<std::uint16_t>(IntKey(f, "ModbusTest", "PortTcpTest", 51960));
  s.IP_AdrTest = f.ReadString("ModbusTest", "IP_AdrTest", "192.168.0.1");
  s.InversModTest = BoolKey(f, "ModbusTest", "InversModTest", false);
  s.SwapModTest = BoolKey(f, "ModbusTest", "SwapModTest", true);
  s.Test16 = BoolKey(f, "ModbusTest", "Test16", false);
  s.SetModTest = static_cast<std::uint8_t>(IntKey(f, "ModbusTest", "SetModTest", 1));
  s.TimeAnswerTest = static_cast<std::int32_t>(IntKey(f, "ModbusTest", "TimeAnswerTest", 1));
  s.ConstCRCTest = static_cast<std::uint16_t>(IntKey(f, "ModbusTest", "ConstCRCTest", 40961));
  return {};
}

std::string ReadDatabasePaths(const std::string& path, ProgramSettings& s) {
  IniFile f(path);
  if (!f.Error().empty()) return f.Error();
  ReadBaseL8(f, s);
  return {};
}

std::string WriteExchangeSettings(const std::string& path, const ExchangeSettingsTexts& t) {
  IniFile f(path);
  f.EraseSection("Parametr");
  f.WriteString("Parametr", "VS", t.VS);
  f.WriteString("Parametr", "Comport", t.Comport);
  f.WriteString("Parametr", "Pc_numb", t.Pc_numb);
  f.WriteString("Parametr", "SpeedPC", t.SpeedPC);
  f.WriteString("Parametr", "SetNR770", t.SetNR770);
  f.WriteString("Parametr", "KPov", std::to_string(t.KPov));
  f.WriteString("Parametr", "IP", t.IP);
  f.WriteString("Parametr", "port_TCP", std::to_string(t.port_TCP));
  f.WriteString("Parametr", "TimeW", t.TimeW);
  return Finish(f);
}

std::string WriteExchangeWindowClose(const std::string& path, std::uint8_t adapterSetn,
                                     std::uint8_t moduleNetNumber) {
  IniFile f(path);
  f.WriteString("Parametr", "AdapterSetn", Hex2(adapterSetn));
  f.WriteString("Parametr", "SetNR770", Hex2(moduleNetNumber));
  return Finish(f);
}

std::string WriteDatabasePaths(const std::string& path, const ProgramSettings& s) {
  IniFile f(path);
  f.EraseSection("BaseL8");
  f.WriteString("BaseL8", "Way", s.DbRoot);
  f.WriteString("BaseL8", "WayAlg", s.DbAlg);
  f.WriteString("BaseL8", "WayMod", s.DbMod);
  f.WriteString("BaseL8", "WayTask", s.DbTask);
  return Finish(f);
}

std::string WriteDisplayChoices(const std::string& path, bool shortTaskNames, bool portInHex) {
  IniFile f(path);
  f.EraseSection("DopNastr");
  f.WriteString("DopNastr", "NameTask", shortTaskNames ? "короткое" : "длинное");
  f.WriteString("DopNastr", "Вид", portInHex ? "16-тиричный" : "10-тичный");
  return Finish(f);
}

std::string WriteModbusTest(const std::string& path, const ProgramSettings& s) {
  IniFile f(path);
  f.EraseSection("ModbusTest");
  f.WriteString("ModbusTest", "PortTcpTest", std::to_string(s.PortTcpTest));
  f.WriteString("ModbusTest", "IP_AdrTest", s.IP_AdrTest);
  f.WriteString("ModbusTest", "InversModTest", s.InversModTest ? "1" : "0");
  f.WriteString("ModbusTest", "SwapModTest", s.SwapModTest ? "1" : "0");
  f.WriteString("ModbusTest", "SetModTest", std::to_string(s.SetModTest));
  f.WriteString("ModbusTest", "TimeAnswerTest", std::to_string(s.TimeAnswerTest));
  f.WriteString("ModbusTest", "ConstCRCTest", std::to_string(s.ConstCRCTest));
  f.WriteString("ModbusTest", "Test16", s.Test16 ? "1" : "0");
  return Finish(f);
}

std::string ReadMonitorCsvDialect(const std::string& path) {
  IniFile f(path);
  return Trim(f.ReadString("Monitor", "CsvDialect", ""));
}

std::string WriteMonitorCsvDialect(const std::string& path, const std::string& dialect) {
  IniFile f(path);
  f.WriteString("Monitor", "CsvDialect", dialect);
  return Finish(f);
}

std::string ComPortDevice(const std::string& settingsPath, int n) {
  IniFile f(settingsPath);
  std::string key = "COM" + std::to_string(n);
  std::string dev = Trim(f.ReadString("ComPorts", key, ""));
  if (!dev.empty()) return dev;
  return "/dev/ttyS" + std::to_string(n - 1);
}

}  // namespace r770
