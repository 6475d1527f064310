#include "document/program_settings.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>

#include "common/codec.h"
#include "temp_dir.h"

namespace r770 {
namespace {

using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

std::string Cp(const std::string& utf8) { return Utf8ToCp1251(utf8); }

TEST(ProgramSettings, NoFileGivesTheDefaults) {
  TempDir dir;
  std::string path = dir.File("r770cfg.ini");
  ProgramSettings s;
  s.DbAlg = s.WorkAlg = "/stale";
  s.Retries = 9;
  EXPECT_EQ(ReadProgramSettings(path, s), "");
  EXPECT_EQ(s.Path, path);
  EXPECT_EQ(s.LinkKind, LinkKindSetting::CanBus);
  EXPECT_EQ(s.ComPortIndex, 1);  // COM2
  EXPECT_EQ(s.PcNetNumber, 0u);
  EXPECT_EQ(s.AdapterSpeedIndex, 0);  // 300 kBd
  EXPECT_EQ(s.ModuleNetNumber, 1);
  EXPECT_EQ(s.Retries, 3);
  EXPECT_EQ(s.ModuleIP, "192.168.0.1");
  EXPECT_EQ(s.ModulePort, 51960);
  EXPECT_EQ(s.AnswerTimeSec, 2);
  for (const std::string* p : {&s.DbRoot, &s.DbAlg, &s.DbMod, &s.DbTask, &s.WorkAlg, &s.WorkMod, &s.WorkTask})
    EXPECT_EQ(*p, "");
  EXPECT_TRUE(s.ShortTaskNames);
  EXPECT_FALSE(s.PortInHex);
  EXPECT_EQ(s.PortTcpTest, 51960);
  EXPECT_EQ(s.IP_AdrTest, "192.168.0.1");
  EXPECT_FALSE(s.InversModTest);
  EXPECT_TRUE(s.SwapModTest);
  EXPECT_FALSE(s.Test16);
  EXPECT_EQ(s.SetModTest, 1);
  EXPECT_EQ(s.TimeAnswerTest, 1);
  EXPECT_EQ(s.ConstCRCTest, 40961);
  EXPECT_FALSE(std::ifstream(path).good());  // reading creates nothing
}

TEST(ProgramSettings, ReadingForms) {
  TempDir dir;
  std::string path = dir.File("s.ini");
  struct Case {
    std::string lines;  // of section "Parametr" unless a section is given
    std::function<void(const ProgramSettings&)> check;
  };
  const Case cases[] = {
      {"SpeedPC=  50", [](const ProgramSettings& s) { EXPECT_EQ(s.AdapterSpeedIndex, 3); }},
      {"SpeedPC=20", [](const ProgramSettings& s) { EXPECT_EQ(s.AdapterSpeedIndex, 4); }},
      {"SpeedPC=1 50", [](const ProgramSettings& s) { EXPECT_EQ(s.AdapterSpeedIndex, 1); }},
      {"SpeedPC=600", [](const ProgramSettings& s) { EXPECT_FALSE(s.AdapterSpeedIndex); }},
      {"Comport=com8", [](const ProgramSettings& s) { EXPECT_EQ(s.ComPortIndex, 7); }},
      {"Comport=COM9", [](const ProgramSettings& s) { EXPECT_FALSE(s.ComPortIndex); }},
      {"VS=CAN-BUS", [](const ProgramSettings& s) { EXPECT_EQ(s.LinkKind, LinkKindSetting::CanBus); }},
      {"VS=can-bus", [](const ProgramSettings& s) { EXPECT_EQ(s.LinkKind, LinkKindSetting::Ethernet); }},
      {"VS=ethernet", [](const ProgramSettings& s) { EXPECT_EQ(s.LinkKind, LinkKindSetting::Ethernet); }},
      {"VS=Ethernet", [](const ProgramSettings& s) { EXPECT_EQ(s.LinkKind, LinkKindSetting::Ethernet); }},
      {"Pc_numb=1f\r\nSetNR770=12C",
       [](const ProgramSettings& s) {
         EXPECT_EQ(s.PcNetNumber, 0x1Fu);
         EXPECT_EQ(s.ModuleNetNumber, 0x2C);
       }},
      {"KPov=0x10\r\nport_TCP=abc",
       [](const ProgramSettings& s) {
         EXPECT_EQ(s.Retries, 16);
         EXPECT_EQ(s.ModulePort, 51960);  // does not convert: the default
       }},
      {"[DopNastr]\r\nNameTask=длинное\r\nВид=16-тиричный",
       [](const ProgramSettings& s) {
         EXPECT_FALSE(s.ShortTaskNames);
         EXPECT_TRUE(s.PortInHex);
       }},
      {"[ModbusTest]\r\nSwapModTest=0\r\nTest16=2\r\nSetModTest=0x1FF\r\nConstCRCTest=",
       [](const ProgramSettings& s) {
         EXPECT_FALSE(s.SwapModTest);
         EXPECT_TRUE(s.Test16);
         EXPECT_EQ(s.SetModTest, 0xFF);
         EXPECT_EQ(s.ConstCRCTest, 40961);
       }},
      {"[BaseL8]\r\nWay=/db\r\nwayalg=/db/alg\r\nWayMod=/db/mod\r\nWAYTASK=/db/task",
       [](const ProgramSettings& s) {
         EXPECT_EQ(s.DbRoot, "/db");
         EXPECT_EQ(s.WorkAlg, "/db/alg");
         EXPECT_EQ(s.WorkMod, "/db/mod");
         EXPECT_EQ(s.WorkTask, "/db/task");
       }},
  };
  for (const Case& c : cases) {
    std::string text = c.lines[0] == '[' ? c.lines : "[Parametr]\r\n" + c.lines;
    WriteFileBytes(path, Cp(text + "\r\n"));
    ProgramSettings s;
    EXPECT_EQ(ReadProgramSettings(path, s), "") << c.lines;
    c.check(s);
  }
}

TEST(ProgramSettings, BadNumberStopsTheReadingKeepingEarlierKeys) {
  TempDir dir;
  std::string path = dir.File("s.ini");
  struct Case {
    const char* lines;
    const char* key;
    const char* text;
  };
  const Case cases[] = {
      {"VS=Ethernet\r\nComport=COM4\r\nPc_numb=7\r\nSpeedPC=100\r\nSetNR770=zz\r\nTimeW=9\r\nKPov=5",
       "SetNR770", "zz"},
      {"VS=Ethernet\r\nComport=COM4\r\nPc_numb=$7\r\nSpeedPC=100", "Pc_numb", "$7"},
      {"VS=Ethernet\r\nComport=COM4\r\nPc_numb=7\r\nSpeedPC=100\r\nSetNR770=3\r\nTimeW=2s", "TimeW", "2s"},
  };
  for (const Case& c : cases) {
    WriteFileBytes(path, std::string("[Parametr]\r\n") + c.lines + "\r\n[BaseL8]\r\nWayAlg=/alg\r\n");
    ProgramSettings s;
    std::string error = ReadProgramSettings(path, s);
    EXPECT_NE(error.find(c.key), std::string::npos) << error;
    EXPECT_NE(error.find(std::string("\"") + c.text + "\""), std::string::npos) << error;
    EXPECT_EQ(s.LinkKind, LinkKindSetting::Ethernet);  // read before the fault
    EXPECT_EQ(s.ComPortIndex, 3);
    EXPECT_EQ(s.Retries, 3);  // after it: untouched
    EXPECT_EQ(s.WorkAlg, "");
  }
}

TEST(ProgramSettings, WritersKeepTheirSectionsKeyOrderAndComPorts) {
  TempDir dir;
  std::string path = dir.File("s.ini");
  const std::string comPorts = "[ComPorts]\r\nCOM3=/dev/ttyUSB0\r\n";
  WriteFileBytes(path, comPorts + "[Parametr]\r\nVS=CAN-BUS\r\nOld=1\r\n");

  ExchangeSettingsTexts t{"Ethernet", "COM3", "1F", "  50", "0A", 5, "10.0.0.2", 502, "4"};
  EXPECT_EQ(WriteExchangeSettings(path, t), "");
  std::string parametr =
      "[Parametr]\r\nVS=Ethernet\r\nComport=COM3\r\nPc_numb=1F\r\nSpeedPC=  50\r\nSetNR770=0A\r\nKPov=5\r\n"
      "IP=10.0.0.2\r\nport_TCP=502\r\nTimeW=4\r\n";
  EXPECT_EQ(ReadFileBytes(path), comPorts + parametr);

  EXPECT_EQ(WriteExchangeWindowClose(path, 0x7, 0x2C), "");
  parametr =
      "[Parametr]\r\nVS=Ethernet\r\nComport=COM3\r\nPc_numb=1F\r\nSpeedPC=  50\r\nSetNR770=2C\r\nKPov=5\r\n"
      "IP=10.0.0.2\r\nport_TCP=502\r\nTimeW=4\r\nAdapterSetn=07\r\n";
  EXPECT_EQ(ReadFileBytes(path), comPorts + parametr);

  ProgramSettings s;
  s.DbRoot = "/db";
  s.DbAlg = "/db/alg";
  s.DbMod = "/db/mod";
  s.DbTask = "/db/task";
  EXPECT_EQ(WriteDatabasePaths(path, s), "");
  const std::string base = "[BaseL8]\r\nWay=/db\r\nWayAlg=/db/alg\r\nWayMod=/db/mod\r\nWayTask=/db/task\r\n";
  EXPECT_EQ(ReadFileBytes(path), comPorts + parametr + base);

  EXPECT_EQ(WriteDisplayChoices(path, false, true), "");
  EXPECT_EQ(WriteDisplayChoices(path, true, true), "");  // the port choice stays
  const std::string dop = Cp("[DopNastr]\r\nNameTask=короткое\r\nВид=16-тиричный\r\n");
  EXPECT_EQ(ReadFileBytes(path), comPorts + parametr + base + dop);

  s.PortTcpTest = 502;
  s.IP_AdrTest = "10.0.0.9";
  s.InversModTest = true;
  s.SwapModTest = false;
  s.SetModTest = 0xF7;
  s.TimeAnswerTest = 4;
  s.ConstCRCTest = 0xA001;
  s.Test16 = true;
  EXPECT_EQ(WriteModbusTest(path, s), "");
  const std::string test =
      "[ModbusTest]\r\nPortTcpTest=502\r\nIP_AdrTest=10.0.0.9\r\nInversModTest=1\r\nSwapModTest=0\r\n"
      "SetModTest=247\r\nTimeAnswerTest=4\r\nConstCRCTest=40961\r\nTest16=1\r\n";
  EXPECT_EQ(ReadFileBytes(path), comPorts + parametr + base + dop + test);

  // What the writers wrote reads back.
  ProgramSettings back;
  EXPECT_EQ(ReadProgramSettings(path, back), "");
  EXPECT_EQ(back.AdapterSpeedIndex, 3);
  EXPECT_EQ(back.ModuleNetNumber, 0x2C);
  EXPECT_EQ(back.WorkTask, "/db/task");
  EXPECT_TRUE(back.PortInHex);
  EXPECT_EQ(back.SetModTest, 0xF7);
  EXPECT_FALSE(back.SwapModTest);
}

TEST(ProgramSettings, WriterNeverReplacesAFileItCouldNotRead) {
  TempDir dir;
  ProgramSettings s;
  EXPECT_NE(WriteModbusTest(dir.path(), s), "");  // the path is a folder
  EXPECT_NE(WriteDatabasePaths(dir.File("missing/s.ini"), s), "");
}

TEST(ProgramSettings, ComPortDevices) {
  TempDir dir;
  std::string path = dir.File("s.ini");
  EXPECT_EQ(ComPortDevice(path, 2), "/dev/ttyS1");  // no file
  WriteFileBytes(path, "[ComPorts]\r\ncom3 = /dev/ttyUSB0 \r\nCOM4=\r\n");
  EXPECT_EQ(ComPortDevice(path, 3), "/dev/ttyUSB0");
  EXPECT_EQ(ComPortDevice(path, 4), "/dev/ttyS3");  // empty: the default device
  EXPECT_EQ(ComPortDevice(path, 1), "/dev/ttyS0");
}

}  // namespace
}  // namespace r770
