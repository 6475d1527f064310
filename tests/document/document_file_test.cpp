#include "document/document_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "common/codec.h"
#include "common/ini_file.h"
#include "common/number_forms.h"
#include "controller_database.h"
#include "database/database_builder.h"
#include "database/task_cl.h"
#include "document/program_settings.h"
#include "temp_dir.h"

namespace r770 {
namespace {

using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

// The main window as the load and save procedures see it.
struct FakeView : DocumentView {
  int steps = 0, pumps = 0, editorOpened = 0;
  std::vector<std::string> messages;
  std::string status;
  std::function<void(int)> onStep;  // called with the step count after each step
  std::function<void()> onEditor;   // called when the controller list editor opens

  void ProgressStep() override {
    ++steps;
    if (onStep) onStep(steps);
  }
  void PumpEvents() override { ++pumps; }
  void Information(const std::string& text) override { messages.push_back(text); }
  void SetStatus(const std::string& text) override { status = text; }
  void OpenControllerEditor() override {
    ++editorOpened;
    if (onEditor) onEditor();
  }
};

// Document text: UTF-8 in the test, code page 1251 on disk.
std::string Cp(const std::string& utf8) { return Utf8ToCp1251(utf8); }

// Every common field away from its default, every map entry filled.
void FillFull(Configuration& cfg) {
  cfg.ResetForNew();
  CommonSettings& c = cfg.Common;
  c.AdrCAN = 0x1A;
  c.AdrExt = 0x2B;
  c.V_CAN = 1;  // 150 kBd
  c.V_Ethernet = 1;
  c.trepeat = 7;
  c.twaitCAN = 120;
  c.AdrPort = 0x1F90;
  c.AdrMAC = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
  c.AdrIP = {192, 168, 0, 10};
  c.AdrGate = {192, 168, 0, 254};
  c.Mask = {255, 255, 255, 0};
  c.Invers = true;
  c.SWAP = true;
  for (MapKind k : kAllMapKinds) {
    int ki = static_cast<int>(k);
    for (int n = 0; n < MapCount(k); ++n) {
      MapEntry& e = cfg.Map(k)[static_cast<std::size_t>(n)];
      e.ModuleNo = static_cast<std::uint8_t>((n * 7 + ki * 3 + 0x2A) % 255);
      e.ParamNo = static_cast<std::uint16_t>(0x0F00 + n + ki * 0x100);
      e.TaskNo = n == 3 ? 65535 : static_cast<std::uint16_t>(n % 5);
      e.ParamName = "Параметр №" + std::to_string(n) + " карты " + std::to_string(ki);
      e.ModbusAddr = static_cast<std::uint16_t>(1000 * ki + n);
    }
  }
  // A name of exactly 80 Cyrillic characters survives the trip whole.
  cfg.Map(MapKind::TC)[5].ParamName = std::string();
  for (int i = 0; i < 80; ++i) cfg.Map(MapKind::TC)[5].ParamName += "Ж";
}

void ExpectSameContent(const Configuration& a, const Configuration& b) {
  EXPECT_EQ(a.Common, b.Common);
  for (MapKind k : kAllMapKinds)
    for (int n = 0; n < MapCount(k); ++n)
      EXPECT_EQ(a.Map(k)[static_cast<std::size_t>(n)], b.Map(k)[static_cast<std::size_t>(n)])
          << MapSection(k) << " entry " << n;
}

class DocumentFileTest : public ::testing::Test {
 protected:
  TempDir dir;
  ProgramSettings settings;
  FakeView view;

  // Loads a document written as UTF-8 text (stored in code page 1251).
  bool LoadText(Configuration& cfg, const std::string& text, const std::string& name = "doc.bmt") {
    std::string path = dir.File(name);
    WriteFileBytes(path, Cp(text));
    return LoadDocument(cfg, settings, path, view);
  }
};

TEST(AddressParsers, DecimalGroupsAreReadFromTheRight) {
  struct Case {
    const char* text;
    bool valid;
    std::array<std::uint8_t, 4> bytes;  // starting from 9.9.9.9
  };
  const Case cases[] = {
      {"192.168.0.1", true, {192, 168, 0, 1}},
      {".192.168.0.1", true, {192, 168, 0, 1}},  // a leading separator opens no group
      {"192 168 0 1", true, {192, 168, 0, 1}},
      {"1..2.3", true, {1, 0, 2, 3}},  // an empty group is 0
      {"001.02.0000000255.7", true, {1, 2, 255, 7}},
      {"192.168.0.1.", false, {168, 0, 1, 0}},  // trailing dot: a fifth group
      {"1.2.3", false, {9, 1, 2, 3}},
      {"1.2.3.256", false, {9, 9, 9, 9}},
      {"1.2.3.4.5", false, {2, 3, 4, 5}},
      {"1.2.x.4", false, {9, 9, 9, 4}},
      {"99999999999999999999.1", false, {9, 9, 9, 1}},
      {"", false, {9, 9, 9, 0}},   // one empty group: the last byte is 0
      {".", false, {9, 9, 9, 0}},  // the separator ends the empty group to its right
  };
  for (const Case& c : cases) {
    std::array<std::uint8_t, 4> b{9, 9, 9, 9};
    EXPECT_EQ(ParseDecBytes(c.text, b.data(), 4), c.valid) << c.text;
    EXPECT_EQ(b, c.bytes) << c.text;
  }
  // With one byte wanted, the empty text is that one group, and valid.
  std::uint8_t one = 9;
  EXPECT_TRUE(ParseDecBytes("", &one, 1));
  EXPECT_EQ(one, 0);
}

TEST(AddressParsers, HexGroupsAreReadFromTheLeft) {
  struct Case {
    const char* text;
    bool valid;
    std::array<std::uint8_t, 6> bytes;  // starting from all 0x99
  };
  const Case cases[] = {
      {"00.1A.2B.3C.4D.5E", true, {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}},
      {"00 1A 2B 3C 4D 5E", true, {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}},
      {"00.1A.2B.3C.4D.5E.", true, {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}},  // ends the last group
      {"1..2.3.4.5", true, {1, 0, 2, 3, 4, 5}},
      {"00.1a.2B.3C.4D.5E", false, {0x00, 0x99, 0x99, 0x99, 0x99, 0x99}},  // lower case refused
      {"00.1A.2B", false, {0x00, 0x1A, 0x2B, 0x99, 0x99, 0x99}},
      {"1.2.3.4.5.6.7", false, {1, 2, 3, 4, 5, 6}},
      {"100.1.2.3.4.5", false, {0x99, 0x99, 0x99, 0x99, 0x99, 0x99}},
      {"FFFFFFFFFFFFFFFFFFFFFFFF.1", false, {0x99, 0x99, 0x99, 0x99, 0x99, 0x99}},
      {"", false, {0x00, 0x99, 0x99, 0x99, 0x99, 0x99}},   // one empty group: the first byte is 0
      {".", false, {0x00, 0x99, 0x99, 0x99, 0x99, 0x99}},  // the separator ends that group
  };
  for (const Case& c : cases) {
    std::array<std::uint8_t, 6> b;
    b.fill(0x99);
    EXPECT_EQ(ParseHexBytes(c.text, b.data(), 6), c.valid) << c.text;
    EXPECT_EQ(b, c.bytes) << c.text;
  }
  std::uint8_t one = 0x99;
  EXPECT_TRUE(ParseHexBytes("", &one, 1));
  EXPECT_EQ(one, 0);
}

TEST_F(DocumentFileTest, NewDocumentIsWrittenInTheFileForm) {
  Configuration cfg;
  cfg.ResetForNew();
  cfg.State.IsNew = true;
  cfg.SetAllChanged();
  std::string path = dir.File("new.bmt");
  ASSERT_TRUE(SaveDocument(cfg, path, view)) << testing::PrintToString(view.messages);

  const std::string bytes = ReadFileBytes(path);
  const std::string head =
      Cp("[Protokol]\r\nName=Modbus/TCP\r\nTypeFile=Input\r\n"
         "[Common]\r\nAdrCAN=00\r\nAdrExt=00\r\nV_CAN=300\r\ntrepeat=3\r\ntwaitCAN=50\r\n"
         "V_Ethernet=Авто\r\nAdrPort=FFFF\r\nAdrMAC=FF.FF.FF.FF.FF.FF\r\nAdrIP=255.255.255.255\r\n"
         "AdrGate=255.255.255.255\r\nMask=255.255.255.255\r\nInvers=NO\r\nSWAP=NO\r\n"
         "[TU Modbus]\r\nTU1-0=FFFF.FF.65535\r\nNameTU1-0=Нет параметра\r\nCoil-0=65535\r\n"
         "TU1-1=FFFF.FF.65535\r\n");
  EXPECT_EQ(bytes.substr(0, head.size()), head);
  EXPECT_NE(
      bytes.find(Cp("[TC Modbus]\r\nTC0=FFFF.255.65535\r\nNameTC0=Нет параметра\r\nDiscretInp0=65535\r\n")),
      std::string::npos);
  EXPECT_NE(bytes.find("[TIFloat Modbus]\r\nTIFl0=FFFF.255.65535\r\n"), std::string::npos);
  const std::string tail =
      "ParInputReg63=FFFF.255.65535\r\n" + Cp("NameInputReg63=Нет параметра\r\n") + "InputReg63=65535\r\n";
  EXPECT_EQ(bytes.substr(bytes.size() - tail.size()), tail);
  EXPECT_EQ(bytes.find("[Config]"), std::string::npos);  // an empty list writes no keys

  EXPECT_FALSE(cfg.AnyChanged());
  EXPECT_FALSE(cfg.State.IsNew);
  EXPECT_TRUE(cfg.State.FromFile);
  EXPECT_EQ(cfg.State.FileName, path);
  EXPECT_EQ(view.status, path);
  EXPECT_EQ(view.steps, 3 + 272 + 4);  // header, common, controllers, each map entry, each map
}

TEST_F(DocumentFileTest, FullDocumentRoundTripsByteForByte) {
  Configuration original;
  FillFull(original);
  original.State.FromModule = true;  // no controllers: a load makes it a read document again
  original.SetAllChanged();
  std::string a = dir.File("a.bmt"), b = dir.File("b.bmt");
  ASSERT_TRUE(SaveDocument(original, a, view));
  const std::string bytes = ReadFileBytes(a);
  EXPECT_NE(bytes.find("V_CAN=200\r\n"), std::string::npos);        // 150 kBd is stored as "200"
  EXPECT_NE(bytes.find("TU1-4=0F04.46.4\r\n"), std::string::npos);  // module as HEX2 in Coils
  EXPECT_NE(bytes.find("TC4=1004.73.4\r\n"), std::string::npos);    // decimal elsewhere
  EXPECT_NE(bytes.find("TC3=1003.66.65535\r\n"), std::string::npos);

  Configuration loaded;
  loaded.Common.trepeat = 999;  // a previous document's values are overwritten
  FakeView loadView;
  ASSERT_TRUE(LoadDocument(loaded, settings, a, loadView)) << testing::PrintToString(loadView.messages);
  EXPECT_TRUE(loadView.messages.empty());
  ExpectSameContent(original, loaded);
  EXPECT_EQ(loaded.State.FileName, a);
  EXPECT_EQ(loadView.status, a);
  EXPECT_TRUE(loaded.State.FromModule);
  EXPECT_FALSE(loaded.State.FromFile);
  EXPECT_FALSE(loaded.AnyChanged());
  EXPECT_EQ(loadView.steps, 7);  // header, common, config, four maps
  EXPECT_EQ(loadView.editorOpened, 0);

  loaded.SetAllChanged();
  ASSERT_TRUE(SaveDocument(loaded, b, view));
  EXPECT_EQ(ReadFileBytes(b), bytes);
}

TEST_F(DocumentFileTest, AbsentCommonSectionLoadsTheFileDefaults) {
  Configuration cfg;
  FillFull(cfg);  // every field away from the defaults before the load
  ASSERT_TRUE(LoadText(cfg, "[Protokol]\r\nName=Modbus/TCP\r\n"));
  CommonSettings expected;
  expected.trepeat = 5;
  expected.AdrPort = 51960;
  EXPECT_EQ(cfg.Common, expected);
  for (MapKind k : kAllMapKinds) {
    ASSERT_EQ(cfg.Map(k).size(), static_cast<std::size_t>(MapCount(k)));
    for (const MapEntry& e : cfg.Map(k)) EXPECT_EQ(e, MapEntry{});
  }
  EXPECT_TRUE(cfg.Controllers.empty());
}

TEST_F(DocumentFileTest, SpeedTextsAndTolerantAddresses) {
  struct Case {
    const char* line;
    std::function<void(CommonSettings&)> expect;  // applied to the values before the load
  };
  const Case cases[] = {
      {"V_CAN=300", [](CommonSettings& c) { c.V_CAN = 0; }},
      {"V_CAN=200", [](CommonSettings& c) { c.V_CAN = 1; }},
      {"V_CAN=150", [](CommonSettings& c) { c.V_CAN = 2; }},
      {"V_CAN=120", [](CommonSettings& c) { c.V_CAN = 3; }},
      {"V_CAN=100", [](CommonSettings& c) { c.V_CAN = 4; }},
      {"V_CAN=75", [](CommonSettings&) {}},  // a speed the module does not know: kept
      {"V_CAN=10", [](CommonSettings&) {}},
      {"V_CAN=fast", [](CommonSettings&) {}},
      {"V_Ethernet=10МБит/с", [](CommonSettings& c) { c.V_Ethernet = 1; }},
      {"V_Ethernet=авто", [](CommonSettings&) {}},  // compared exactly
      {"AdrIP=10.0.7",
       [](CommonSettings& c) {
         c.AdrIP = {3, 10, 0, 7};
       }},
      {"AdrGate=1.2.3.4.5",
       [](CommonSettings& c) {
         c.AdrGate = {2, 3, 4, 5};
       }},
      {"Mask=1.x.3.4",
       [](CommonSettings& c) {
         c.Mask = {3, 3, 3, 4};
       }},
      {"AdrMAC=0A.0B.zz", [](CommonSettings& c) { c.AdrMAC = {0x0A, 0x0B, 6, 6, 6, 6}; }},
      {"Invers=yes", [](CommonSettings& c) { c.Invers = false; }},
      {"SWAP=YES", [](CommonSettings& c) { c.SWAP = true; }},
      {"AdrCAN=12c", [](CommonSettings& c) { c.AdrCAN = 0x2C; }},  // cut to the low byte
      {"trepeat=65537", [](CommonSettings& c) { c.trepeat = 1; }},
  };
  for (const Case& c : cases) {
    Configuration cfg;
    CommonSettings before;
    before.V_CAN = 3;
    before.V_Ethernet = 1;
    before.AdrIP = before.AdrGate = before.Mask = {3, 3, 3, 3};
    before.AdrMAC = {6, 6, 6, 6, 6, 6};
    before.Invers = true;
    cfg.Common = before;
    // Every other key holds the value already in the record, so only the tested key moves.
    std::string text =
        "[Protokol]\r\nName=Modbus/TCP\r\n[Common]\r\n" + std::string(c.line) +
        "\r\nAdrCAN=0\r\nV_CAN=120\r\nV_Ethernet=10МБит/с\r\ntrepeat=3\r\nAdrPort=FFFF\r\n"
        "AdrMAC=06.06.06.06.06.06\r\nAdrIP=3.3.3.3\r\nAdrGate=3.3.3.3\r\nMask=3.3.3.3\r\nInvers=YES\r\n";
    ASSERT_TRUE(LoadText(cfg, text)) << c.line;
    CommonSettings expected = before;
    c.expect(expected);
    EXPECT_EQ(cfg.Common, expected) << c.line;
  }
}

TEST_F(DocumentFileTest, EveryCanSpeedSurvivesSaveAndLoad) {
  for (std::uint8_t speed = 0; speed < 5; ++speed) {
    Configuration cfg;
    cfg.ResetForNew();
    cfg.Common.V_CAN = speed;
    cfg.SetAllChanged();
    std::string path = dir.File("speed" + std::to_string(speed) + ".bmt");
    ASSERT_TRUE(SaveDocument(cfg, path, view));
    EXPECT_EQ(IniFile(path).ReadString("Common", "V_CAN", ""), kCanSpeedTexts[speed]);
    Configuration back;
    back.Common.V_CAN = 4 - speed;
    ASSERT_TRUE(LoadDocument(back, settings, path, view));
    EXPECT_EQ(back.Common.V_CAN, speed);
  }
}

TEST_F(DocumentFileTest, MapEntriesFollowTheirSectionRules) {
  Configuration cfg;
  ASSERT_TRUE(LoadText(cfg,
                       "[Protokol]\r\nName=Modbus/TCP\r\n"
                       "[TU Modbus]\r\n"
                       "TU1-0=0F01.05.3\r\nNameTU1-0=Первый\r\nCoil-0=65535\r\n"  // address 65535: empty
                       "Coil-1=7\r\n"                                             // no entry key
                       "TU1-2=0f01.1a.-1\r\nNameTU1-2=Третий\r\nCoil-2=12\r\n"
                       "[tc modbus]\r\n"
                       "Tc5=0F01.5.3\r\nnametc5=Имя\r\ndiscretinp5=40\r\n"  // case-blind names
                       "TC6=0F02.6.0\r\n"                                   // no name, no address
                       "TC7=$FF.9.9\r\nDiscretInp7=3\r\n"                   // "$FF" marks an empty entry
                       "[TIFloat Modbus]\r\nTIFl63=ABCD.255.2\r\nHoldingReg63=65535\r\n"
                       "[InputReg Modbus]\r\nParInputReg0=0001.300.70000\r\nInputReg0=1\r\n"));
  const RegisterMap& tu = cfg.Map(MapKind::TU);
  EXPECT_EQ(tu[0], MapEntry{});
  MapEntry addrOnly;
  addrOnly.ModbusAddr = 7;
  EXPECT_EQ(tu[1], addrOnly);
  EXPECT_TRUE(tu[1].IsEmpty());
  EXPECT_EQ(tu[2], (MapEntry{0x1A, 0x0F01, 0xFFFF, "Третий", 12}));

  const RegisterMap& tc = cfg.Map(MapKind::TC);
  EXPECT_EQ(tc[5], (MapEntry{5, 0x0F01, 3, "Имя", 40}));
  EXPECT_EQ(tc[6], (MapEntry{6, 0x0F02, 0, "", 0}));
  EXPECT_EQ(tc[7], MapEntry{});
  EXPECT_EQ(cfg.Map(MapKind::TIFloat)[63], (MapEntry{255, 0xABCD, 2, "", 65535}));
  EXPECT_EQ(cfg.Map(MapKind::InputReg)[0], (MapEntry{300 & 0xFF, 1, 70000 & 0xFFFF, "", 1}));
}

TEST_F(DocumentFileTest, LongNamesAreCutToEightyCharacters) {
  std::string longName;
  for (int i = 0; i < 100; ++i) longName += (i % 2) ? "Я" : "z";
  Configuration cfg;
  ASSERT_TRUE(LoadText(cfg, "[Protokol]\r\nName=Modbus/TCP\r\n[TC Modbus]\r\nTC0=0001.1.1\r\nNameTC0=" +
                                longName + "\r\nDiscretInp0=1\r\n"));
  EXPECT_EQ(cfg.Map(MapKind::TC)[0].ParamName, Utf8Left(longName, 80));
  EXPECT_EQ(Utf8Length(cfg.Map(MapKind::TC)[0].ParamName), 80u);
}

TEST_F(DocumentFileTest, BadNumberStopsTheLoadNamingSectionKeyAndValue) {
  struct Case {
    std::string text;
    std::string message;
  };
  const std::string head = "[Protokol]\r\nName=Modbus/TCP\r\n";
  const Case cases[] = {
      {head + "[Common]\r\nAdrCAN=1A\r\ntrepeat=7\r\nAdrPort=xyz\r\n",
       "Ошибка в файле: раздел \"Common\", ключ \"AdrPort\": значение \"xyz\" не является числом"},
      {head + "[Common]\r\ntrepeat=\r\n",
       "Ошибка в файле: раздел \"Common\", ключ \"trepeat\": значение \"\" не является числом"},
      {head + "[TC Modbus]\r\nTC0=0001.1.1\r\nTC5=xyz\r\n",
       "Ошибка в файле: раздел \"TC Modbus\", ключ \"TC5\": значение \"xyz\" не является числом"},
      {head + "[TC Modbus]\r\nTC0=0001.1.1\r\nTC5=0F01.5\r\n",
       "Ошибка в файле: раздел \"TC Modbus\", ключ \"TC5\": значение \"0F01.5\" не является числом"},
      {head + "[TU Modbus]\r\nCoil-0=1\r\nTU1-0=0001.01.1\r\nCoil-1=x1\r\n",
       "Ошибка в файле: раздел \"TU Modbus\", ключ \"Coil-1\": значение \"x1\" не является числом"},
      {head + "[TIFloat Modbus]\r\nTIFl0=0001.1.1\r\nHoldingReg0=1e3\r\n",
       "Ошибка в файле: раздел \"TIFloat Modbus\", ключ \"HoldingReg0\": значение \"1e3\" не является "
       "числом"},
      {head + "[Config]\r\nWayUser0=/nowhere.tsk\r\nNset0=5\r\n[Common]\r\ntrepeat=7\r\n[TC "
              "Modbus]\r\nTC0=1.A.1\r\n",
       "Ошибка в файле: раздел \"TC Modbus\", ключ \"TC0\": значение \"1.A.1\" не является числом"},
  };
  for (const Case& c : cases) {
    Configuration cfg;
    FakeView v;
    std::string path = dir.File("bad.bmt");
    WriteFileBytes(path, Cp(c.text));
    EXPECT_FALSE(LoadDocument(cfg, settings, path, v)) << c.text;
    ASSERT_FALSE(v.messages.empty());
    EXPECT_EQ(v.messages.back(), c.message);
    EXPECT_EQ(v.status, "");  // the load did not finish
  }

  // The parts read before the fault stay: common settings and the entries before TC5.
  Configuration cfg;
  FillFull(cfg);
  cfg.SetAllChanged();  // a previous document whose save failed
  ASSERT_FALSE(LoadText(cfg, head + "[Common]\r\nAdrCAN=zz\r\n"));
  EXPECT_FALSE(cfg.AnyChanged());  // its emptied maps are not written over the new file
  EXPECT_EQ(cfg.Map(MapKind::TU)[0], MapEntry{});
  ASSERT_FALSE(LoadText(cfg, head + "[Common]\r\ntrepeat=9\r\n[TC Modbus]\r\nTC0=0001.1.1\r\nTC5=xyz\r\n"));
  EXPECT_EQ(cfg.Common.trepeat, 9);
  EXPECT_EQ(cfg.Map(MapKind::TC)[0].ModuleNo, 1);
}

TEST_F(DocumentFileTest, ForeignFileIsRejectedAndNeverBecomesTheSaveTarget) {
  Configuration cfg;
  FillFull(cfg);
  cfg.State.FileName = dir.File("mine.bmt");
  const std::string foreign = "[Protokol]\r\nName=modbus/tcp\r\n[Common]\r\nAdrCAN=01\r\n";
  for (const std::string& text : {foreign, std::string("[Other]\r\nName=Modbus/TCP\r\n"), std::string()}) {
    FakeView v;
    std::string path = dir.File("foreign.ini");
    WriteFileBytes(path, text);
    EXPECT_FALSE(LoadDocument(cfg, settings, path, v));
    EXPECT_EQ(v.messages, std::vector<std::string>{"Файл " + path + " не соответствует нужному типу"});
    EXPECT_EQ(cfg.State.FileName, dir.File("mine.bmt"));
    EXPECT_EQ(ReadFileBytes(path), text);
  }
  Configuration untouched;
  FillFull(untouched);
  ExpectSameContent(cfg, untouched);
}

TEST_F(DocumentFileTest, ConfigIsReadByPositionInPairs) {
  // No task file of these paths exists: each pair stays in the list by the path from its
  // first key and the number from its second; the odd last key is not read at all.
  Configuration cfg;
  ControllerEntry stale;
  stale.Nset = 9;
  cfg.Controllers.push_back(std::move(stale));
  cfg.State.ControllersChanged = true;
  cfg.State.FromModule = true;  // left by the previous document
  std::vector<std::string> listAtEditor;
  bool fromModuleAtEditor = true;
  view.onEditor = [&] {
    for (const auto& c : cfg.Controllers) listAtEditor.push_back(c.StoredPath);
    fromModuleAtEditor = cfg.State.FromModule;
  };
  ASSERT_TRUE(LoadText(cfg,
                       "[Protokol]\r\nName=Modbus/TCP\r\n[Config]\r\n"
                       "Nset0=/first.tsk\r\nWayUser0=05\r\nanything=/second.tsk\r\nelse=07\r\n"
                       "WayUser2=/odd.tsk\r\n"));
  EXPECT_TRUE(view.messages.empty()) << testing::PrintToString(view.messages);
  ASSERT_EQ(cfg.Controllers.size(), 2u);
  const std::pair<const char*, std::int32_t> expected[] = {{"/first.tsk", 5}, {"/second.tsk", 7}};
  for (std::size_t i = 0; i < 2; ++i) {
    const ControllerEntry& c = cfg.Controllers[i];
    EXPECT_EQ(c.Task, nullptr);
    EXPECT_EQ(c.StoredPath, expected[i].first);
    EXPECT_EQ(c.TaskFilePath(), expected[i].first);
    EXPECT_EQ(c.Nset, expected[i].second);
    EXPECT_FALSE(c.Found);
  }
  // The controller list editor opened once, after the list was read, on a list shown as that
  // of a file document.
  EXPECT_EQ(view.editorOpened, 1);
  EXPECT_EQ(listAtEditor, (std::vector<std::string>{"/first.tsk", "/second.tsk"}));
  EXPECT_FALSE(fromModuleAtEditor);
  EXPECT_FALSE(cfg.State.ControllersChanged);
  // No controller has a task object: the document counts as read from the module.
  EXPECT_TRUE(cfg.State.FromModule);
  EXPECT_FALSE(cfg.State.FromFile);
  EXPECT_EQ(view.steps, 7 + 2);  // one more step per controller pair

  // The list editor's reload of the list from the document file.
  cfg.Controllers.clear();
  FakeView v;
  EXPECT_TRUE(LoadControllers(cfg, settings, dir.File("doc.bmt"), v));
  EXPECT_TRUE(v.messages.empty());
  ASSERT_EQ(cfg.Controllers.size(), 2u);
  EXPECT_EQ(cfg.Controllers[1].StoredPath, "/second.tsk");
  EXPECT_EQ(v.editorOpened, 0);
  EXPECT_TRUE(LoadControllers(cfg, settings, "", v));  // a document without a file yet
  EXPECT_TRUE(cfg.Controllers.empty());

  // A document file that has gone, or a folder in its place: reported, the list stays.
  cfg.Controllers.emplace_back().Nset = 0x33;
  for (const std::string& gone : {dir.File("gone.bmt"), dir.path()}) {
    FakeView g;
    EXPECT_FALSE(LoadControllers(cfg, settings, gone, g));
    ASSERT_EQ(g.messages.size(), 1u);
    EXPECT_NE(g.messages[0].find(gone), std::string::npos);
    ASSERT_EQ(cfg.Controllers.size(), 1u);
    EXPECT_EQ(cfg.Controllers[0].Nset, 0x33);
  }
}

// A controller as the controller list editor leaves it: a task object for the path.
ControllerEntry Controller(const std::string& path, std::int32_t nset, bool found) {
  ControllerEntry c;
  c.Task = std::make_unique<Task_CL>(path, "", "", "");
  c.Nset = nset;
  c.Found = found;
  return c;
}

TEST_F(DocumentFileTest, TypeFileAndPathsOfAReadDocument) {
  struct Case {
    bool secondFound;
    const char* typeFile;
    const char* secondPath;
    bool fromModuleAfter;
  };
  for (const Case& c : {Case{true, "Input", "/db/b.tsk", false}, Case{false, "Read", "", true}}) {
    Configuration cfg;
    cfg.ResetForNew();
    cfg.Controllers.push_back(Controller("/db/a.tsk", 5, true));
    cfg.Controllers.push_back(Controller("/db/b.tsk", 0x12C, c.secondFound));
    cfg.State.FromModule = true;
    cfg.SetAllChanged();
    std::string path = dir.File("read.bmt");
    ASSERT_TRUE(SaveDocument(cfg, path, view));
    IniFile f(path);
    EXPECT_EQ(f.ReadString("Protokol", "TypeFile", ""), c.typeFile);
    EXPECT_EQ(f.SectionKeys("Config"), (std::vector<std::string>{"WayUser0", "Nset0", "WayUser1", "Nset1"}));
    EXPECT_EQ(f.ReadString("Config", "WayUser0", "?"), "/db/a.tsk");
    EXPECT_EQ(f.ReadString("Config", "Nset0", "?"), "05");
    EXPECT_EQ(f.ReadString("Config", "WayUser1", "?"), c.secondPath);
    EXPECT_EQ(f.ReadString("Config", "Nset1", "?"), "12C");
    EXPECT_EQ(cfg.State.FromModule, c.fromModuleAfter);
    EXPECT_TRUE(cfg.State.FromFile);
  }
}

TEST_F(DocumentFileTest, OnlyChangedPartsAreWritten) {
  Configuration cfg;
  FillFull(cfg);
  cfg.SetAllChanged();
  std::string path = dir.File("doc.bmt");
  ASSERT_TRUE(SaveDocument(cfg, path, view));
  // Sections no file of this type holds, which a map save removes, and a foreign one.
  std::string before =
      ReadFileBytes(path) + "[TU Modbus0]\r\nx=1\r\n[TC Modbus17]\r\ny=2\r\n[Mine]\r\nz=3\r\n";
  WriteFileBytes(path, before);

  auto section = [](const std::string& bytes, const std::string& name) {
    auto b = bytes.find("[" + name + "]");
    if (b == std::string::npos) return std::string();
    auto e = bytes.find("\r\n[", b + 1);
    return bytes.substr(b, e == std::string::npos ? std::string::npos : e + 2 - b);
  };

  cfg.Common.AdrCAN = 0x77;
  cfg.Map(MapKind::TC)[0].ParamName = "Новое имя";
  cfg.State.CommonChanged = true;
  cfg.State.TCChanged = true;
  FakeView v;
  ASSERT_TRUE(SaveDocument(cfg, path, v));
  const std::string after = ReadFileBytes(path);
  for (const char* untouched : {"TU Modbus", "TIFloat Modbus", "InputReg Modbus", "TU Modbus0", "Mine"})
    EXPECT_EQ(section(after, untouched), section(before, untouched)) << untouched;
  EXPECT_EQ(section(after, "TC Modbus17"), "");
  EXPECT_NE(section(after, "Common").find("AdrCAN=77\r\n"), std::string::npos);
  EXPECT_NE(section(after, "TC Modbus").find(Cp("NameTC0=Новое имя\r\n")), std::string::npos);
  EXPECT_FALSE(cfg.AnyChanged());
  EXPECT_EQ(v.steps, 2 + 128 + 1);  // header, Common, each entry and the end of the map

  // With no flag set only the header is written.
  FakeView w;
  ASSERT_TRUE(SaveDocument(cfg, path, w));
  EXPECT_EQ(w.steps, 1);
  std::string again = ReadFileBytes(path);
  for (const char* s : {"Common", "TU Modbus", "TC Modbus", "Mine"})
    EXPECT_EQ(section(again, s), section(after, s));
}

TEST_F(DocumentFileTest, FailedSaveKeepsFlagsAndTheOldFile) {
  Configuration cfg;
  FillFull(cfg);
  cfg.State.FileName = "/old/name.bmt";

  // A path that names a folder, a device, a missing folder, a name too long for the file
  // system, a loop of links: nothing written, nothing cleared, and a message of the write.
  const std::string tooLong = dir.File(std::string(300, 'x') + ".bmt");
  const std::string loop = dir.File("loop.bmt");
  std::filesystem::create_symlink(loop, loop);
  auto writeFailed = [](const std::string& path, int error) {
    return "Не удалось записать файл " + path + ": " + std::strerror(error);
  };
  struct Refused {
    std::string path, message;
  } refused[] = {
      {dir.path(), "Путь " + dir.path() + " указывает на папку, а не на файл"},
      {"/dev/null", "Путь /dev/null не указывает на обычный файл"},
      {dir.File("missing/x.bmt"), writeFailed(dir.File("missing/x.bmt"), ENOENT)},
      {tooLong, writeFailed(tooLong, ENAMETOOLONG)},
      {loop, writeFailed(loop, ELOOP)},
  };
  for (const auto& [path, message] : refused) {
    cfg.SetAllChanged();
    FakeView v;
    EXPECT_FALSE(SaveDocument(cfg, path, v)) << path;
    ASSERT_EQ(v.messages.size(), 1u) << path;
    EXPECT_EQ(v.messages[0], message);
    EXPECT_TRUE(cfg.State.CommonChanged && cfg.State.ControllersChanged && cfg.State.TUChanged &&
                cfg.State.TCChanged && cfg.State.TIFloatChanged && cfg.State.InputRegChanged);
    EXPECT_EQ(cfg.State.FileName, "/old/name.bmt");
  }
  // A read document stays one when its save failed, so the next save asks for a name.
  cfg.State.FromModule = true;
  cfg.Controllers.push_back(Controller("/db/a.tsk", 5, true));
  EXPECT_FALSE(SaveDocument(cfg, dir.File("missing/x.bmt"), view));
  EXPECT_TRUE(cfg.State.FromModule);
  cfg.State.FromModule = false;
  struct stat st {};
  ASSERT_EQ(stat("/dev/null", &st), 0);
  EXPECT_TRUE(S_ISCHR(st.st_mode));

  // Failures while the save runs or while it writes: the file stays the old one byte for
  // byte, no temporary is left, every flag stays set, and the message names the path and
  // the system's reason.
  struct Failure {
    const char* name;
    int error;                      // errno the system reports
    std::function<void()> arrange;  // before the save
    std::function<void()> undo;     // after it
    int vanishAtStep;               // the folder is moved away at this step (0: never)
  };
  std::string sub = dir.File("sub"), moved = dir.File("moved");
  const std::string name = "doc.bmt";
  const std::string old = Cp("[Common]\r\nAdrCAN=01\r\n[TU Modbus]\r\nCoil-0=65535\r\n");
  const std::string tmpName = name + ".tmp" + std::to_string(getpid());
  rlimit savedLimit{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &savedLimit), 0);
  const Failure failures[] = {
      // a removed stick: the folder is gone when the file is written
      {"folder vanishes", ENOENT, [] {}, [] {}, 2},
      // the disk fills up in the middle of the file
      {"file size limit", EFBIG,
       [&] {
         signal(SIGXFSZ, SIG_IGN);
         rlimit small = savedLimit;
         small.rlim_cur = 100;
         ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
       },
       [&] {
         ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &savedLimit), 0);
         signal(SIGXFSZ, SIG_DFL);
       },
       0},
      // the temporary cannot be created
      {"temporary blocked", EISDIR, [&] { ASSERT_EQ(mkdir((sub + "/" + tmpName).c_str(), 0755), 0); },
       [&] { rmdir((sub + "/" + tmpName).c_str()); }, 0},
  };
  for (const Failure& f : failures) {
    SCOPED_TRACE(f.name);
    ASSERT_EQ(mkdir(sub.c_str(), 0755), 0);
    const std::string path = sub + "/" + name;
    WriteFileBytes(path, old);
    cfg.SetAllChanged();
    FakeView v;
    v.onStep = [&](int step) {
      if (step == f.vanishAtStep) {
        ASSERT_EQ(rename(sub.c_str(), moved.c_str()), 0);
      }
    };
    f.arrange();
    const bool saved = SaveDocument(cfg, path, v);
    f.undo();
    EXPECT_FALSE(saved);
    ASSERT_EQ(v.messages.size(), 1u);
    EXPECT_NE(v.messages[0].find(path), std::string::npos) << v.messages[0];
    EXPECT_NE(v.messages[0].find(strerror(f.error)), std::string::npos) << v.messages[0];
    EXPECT_TRUE(cfg.State.CommonChanged && cfg.State.ControllersChanged && cfg.State.TUChanged &&
                cfg.State.TCChanged && cfg.State.TIFloatChanged && cfg.State.InputRegChanged);
    EXPECT_EQ(cfg.State.FileName, "/old/name.bmt");
    const std::string folder = f.vanishAtStep ? moved : sub;
    EXPECT_EQ(ReadFileBytes(folder + "/" + name), old);
    EXPECT_EQ(access((folder + "/" + tmpName).c_str(), F_OK), -1);
    std::filesystem::remove_all(folder);
  }

  // A folder that may not be written (only meaningful without root's rights).
  if (geteuid() != 0) {
    std::string ro = dir.File("ro");
    ASSERT_EQ(mkdir(ro.c_str(), 0755), 0);
    WriteFileBytes(ro + "/doc.bmt", old);
    ASSERT_EQ(chmod(ro.c_str(), 0555), 0);
    cfg.SetAllChanged();
    FakeView w;
    EXPECT_FALSE(SaveDocument(cfg, ro + "/doc.bmt", w));
    EXPECT_TRUE(cfg.State.CommonChanged);
    EXPECT_EQ(ReadFileBytes(ro + "/doc.bmt"), old);
  }
}

// Text that code page 1251 cannot hold would reach the file as "?": such a save is refused
// whole, before anything is written; a text in a part that is not written is no obstacle.
TEST_F(DocumentFileTest, TextOutsideTheCodePageRefusesTheSave) {
  const std::string path = dir.File("doc.bmt");
  const std::string old = "[Protokol]\r\nName=Modbus/TCP\r\n";
  struct Case {
    const char* name;
    std::function<void(Configuration&)> change;
    std::string message;  // empty: the save goes through
  };
  const Case cases[] = {
      {"task file path",
       [](Configuration& c) {
         c.Controllers.push_back(Controller("/db/a.tsk", 5, true));
         c.Controllers.push_back(Controller("/db/\xE4\xB8\xAD.tsk", 0x2A, true));
       },
       "Файл " + path +
           " не сохранен. Путь к очереди задач контроллера 2A \"/db/\xE4\xB8\xAD.tsk\" содержит "
           "символ \"\xE4\xB8\xAD\", которого нет в кодовой странице 1251: такой текст не может быть "
           "сохранен."},
      {"parameter name",
       [](Configuration& c) { c.Map(MapKind::TIFloat)[63].ParamName = "Давление \xF0\x9F\x98\x80"; },
       "Файл " + path +
           " не сохранен. Имя параметра в разделе \"TIFloat Modbus\", запись 63 \"Давление "
           "\xF0\x9F\x98\x80\" содержит символ \"\xF0\x9F\x98\x80\", которого нет в кодовой странице 1251: "
           "такой "
           "текст не может быть сохранен."},
      {"name in a map that is not written",
       [](Configuration& c) {
         c.Map(MapKind::TU)[0].ParamName = "Ä";
         c.State.TUChanged = false;
       },
       ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteFileBytes(path, old);
    Configuration cfg;
    cfg.ResetForNew();
    cfg.SetAllChanged();
    c.change(cfg);
    const bool tuChanged = cfg.State.TUChanged;
    FakeView v;
    const bool saved = SaveDocument(cfg, path, v);
    if (c.message.empty()) {
      EXPECT_TRUE(saved);
      EXPECT_EQ(v.messages, std::vector<std::string>{});
      EXPECT_EQ(IniFile(path).ReadString("TU Modbus", "NameTU1-0", "absent"), "absent");
      continue;
    }
    EXPECT_FALSE(saved);
    EXPECT_EQ(v.messages, std::vector<std::string>{c.message});
    EXPECT_EQ(ReadFileBytes(path), old);
    EXPECT_EQ(v.steps, 0);
    EXPECT_TRUE(cfg.State.CommonChanged && cfg.State.ControllersChanged && cfg.State.TCChanged &&
                cfg.State.TIFloatChanged && cfg.State.InputRegChanged && cfg.State.TUChanged == tuChanged);
    EXPECT_EQ(cfg.State.FileName, "");
  }
}

TEST_F(DocumentFileTest, SaveThroughALinkReplacesTheFileItNames) {
  Configuration cfg;
  cfg.ResetForNew();
  cfg.SetAllChanged();
  std::string real = dir.File("real.bmt"), link = dir.File("link.bmt");
  WriteFileBytes(real, "old");
  ASSERT_EQ(symlink(real.c_str(), link.c_str()), 0);
  ASSERT_TRUE(SaveDocument(cfg, link, view));
  struct stat st {};
  ASSERT_EQ(lstat(link.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(ReadFileBytes(real).find("old\r\n[Protokol]\r\n"), 0u);
  EXPECT_EQ(cfg.State.FileName, link);
}

TEST_F(DocumentFileTest, BadInputNeverCrashes) {
  std::string junk;
  for (int i = 0; i < 5000; ++i) junk.push_back(static_cast<char>((i * 197 + 13) & 0xFF));
  const std::string head = "[Protokol]\r\nName=Modbus/TCP\r\n";
  const std::string inputs[] = {
      junk,
      head + junk,
      head + "[Common]\r\nAdrMAC\r\nAdrIP=\r\nMask=" + std::string(100000, '9') + "\r\n",
      head + "[TC Modbus]\r\nTC0=" + std::string(100000, 'F') + ".1.1\r\n",
      head + "[TC Modbus]\r\nTC0=0001.1.1\r\nNameTC0=" + std::string(3000, '\x98') + "\r\n",
      head + "[Config]\r\nWayUser0=" + dir.path() + "\r\nNset0=1\r\nWayUser1=\r\nNset1=zz\r\n",
      head + "[Common]\r\nAdrCAN=FFFFFFFFFF\r\n",
  };
  for (const std::string& text : inputs) {
    Configuration cfg;
    FakeView v;
    std::string path = dir.File("junk.bmt");
    WriteFileBytes(path, text);
    LoadDocument(cfg, settings, path, v);
    for (const auto& m : v.messages) EXPECT_LT(Utf8Length(m), 400u);  // junk is shortened in messages
    for (MapKind k : kAllMapKinds)
      for (const MapEntry& e : cfg.Map(k)) EXPECT_LE(Utf8Length(e.ParamName), 80u);
  }
  // A path naming a folder.
  Configuration cfg;
  FakeView v;
  EXPECT_FALSE(LoadDocument(cfg, settings, dir.path(), v));
  ASSERT_EQ(v.messages.size(), 1u);
  EXPECT_NE(v.messages[0].find(dir.path()), std::string::npos);
}

// Network numbers are one byte: a document naming more controllers than the network holds
// is refused before any task file is loaded, and the open document stays as it was.
TEST_F(DocumentFileTest, MoreControllersThanTheNetworkHoldsAreRefused) {
  ControllerDatabase cdb;
  const std::string task = cdb.Controller("Насосная.tsk", 5);
  auto text = [&](std::size_t count) {
    std::string t = "[Protokol]\r\nName=Modbus/TCP\r\n[Config]\r\n";
    for (std::size_t i = 0; i < count; ++i)
      t += "WayUser" + std::to_string(i) + "=" + task + "\r\nNset" + std::to_string(i) + "=" +
           Hex2(i & 0xFF) + "\r\n";
    return t;
  };
  struct Case {
    std::size_t count;
    bool loads;
  } cases[] = {{256, true}, {257, false}, {50000, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.count);
    Configuration cfg;
    FakeView v;
    const std::string before = dir.File("before.bmt");
    WriteFileBytes(before, Cp(text(1)));
    ASSERT_TRUE(LoadDocument(cfg, cdb.settings, before, v));
    const std::string path = dir.File("many.bmt");
    WriteFileBytes(path, Cp(text(c.count)));
    v.messages.clear();
    EXPECT_EQ(LoadDocument(cfg, cdb.settings, path, v), c.loads);
    if (c.loads) {
      EXPECT_EQ(cfg.Controllers.size(), c.count);
      EXPECT_EQ(cfg.State.FileName, path);
      continue;
    }
    ASSERT_EQ(v.messages.size(), 1u);
    EXPECT_EQ(v.messages[0], "Файл " + path + " не загружен: в нем " + std::to_string(c.count) +
                                 " контроллеров, а в сети CAN-BUS их может быть не больше 256 (сетевой номер "
                                 "занимает один байт)");
    EXPECT_EQ(cfg.State.FileName, before);
    EXPECT_EQ(cfg.Controllers.size(), 1u);
    v.messages.clear();
    EXPECT_FALSE(LoadControllers(cfg, cdb.settings, path, v));
    EXPECT_EQ(cfg.Controllers.size(), 1u);
    ASSERT_EQ(v.messages.size(), 1u);
  }
}

TEST_F(DocumentFileTest, LineBreaksInNamesDoNotBreakTheFile) {
  Configuration cfg;
  cfg.ResetForNew();
  cfg.Map(MapKind::TC)[0] = MapEntry{1, 2, 3, "a\r\n[Common]\nb", 4};
  cfg.SetAllChanged();
  std::string path = dir.File("nl.bmt");
  ASSERT_TRUE(SaveDocument(cfg, path, view));
  Configuration back;
  ASSERT_TRUE(LoadDocument(back, settings, path, view));
  EXPECT_EQ(back.Map(MapKind::TC)[0], (MapEntry{1, 2, 3, "a  [Common] b", 4}));
  EXPECT_EQ(back.Common.AdrCAN, 0);
  EXPECT_EQ(back.Common.trepeat, 3);
}

TEST_F(DocumentFileTest, ControllersRoundTripThroughTheirTaskFiles) {
  ControllerDatabase cdb;
  Configuration original;
  FillFull(original);
  const std::string paths[] = {cdb.Controller("Насосная.tsk", 5), cdb.Controller("Котельная.tsk", 0x2A),
                               cdb.Controller("Вентиляция.tsk", 7)};
  for (std::size_t i = 0; i < 3; ++i) {
    ControllerEntry c;
    c.Task = std::make_unique<Task_CL>(paths[i], cdb.settings.WorkTask, cdb.settings.WorkMod,
                                       cdb.settings.WorkAlg);
    ASSERT_TRUE(c.Task->Ok()) << testing::PrintToString(c.Task->Errors());
    c.Nset = i == 1 ? 0x2A : static_cast<std::int32_t>(5 + 2 * i);
    c.Found = true;
    original.Controllers.push_back(std::move(c));
  }
  original.State.FromFile = true;
  original.SetAllChanged();
  std::string a = dir.File("a.bmt"), b = dir.File("b.bmt");
  ASSERT_TRUE(SaveDocument(original, a, view));
  const std::string bytes = ReadFileBytes(a);
  EXPECT_NE(bytes.find(Cp("[Config]\r\nWayUser0=" + paths[0] + "\r\nNset0=05\r\nWayUser1=" + paths[1] +
                          "\r\nNset1=2A\r\nWayUser2=" + paths[2] + "\r\nNset2=09\r\n[")),
            std::string::npos);
  EXPECT_NE(bytes.find("TypeFile=Input\r\n"), std::string::npos);

  Configuration loaded;
  loaded.Controllers.emplace_back();  // a previous document's list goes
  loaded.State.FromModule = true;
  FakeView v;
  ASSERT_TRUE(LoadDocument(loaded, cdb.settings, a, v));
  EXPECT_TRUE(v.messages.empty()) << testing::PrintToString(v.messages);
  EXPECT_EQ(v.editorOpened, 0);
  EXPECT_EQ(v.steps, 7 + 3);
  ExpectSameContent(original, loaded);
  ASSERT_EQ(loaded.Controllers.size(), 3u);
  for (std::size_t i = 0; i < 3; ++i) {
    ASSERT_TRUE(loaded.Controllers[i].Task);
    EXPECT_EQ(loaded.Controllers[i].Task->TaskFilePath(), paths[i]);
    EXPECT_EQ(loaded.Controllers[i].Nset, original.Controllers[i].Nset);
    EXPECT_TRUE(loaded.Controllers[i].Found);
  }
  EXPECT_TRUE(loaded.State.FromFile);
  EXPECT_FALSE(loaded.State.FromModule);
  EXPECT_FALSE(loaded.AnyChanged());

  loaded.SetAllChanged();
  ASSERT_TRUE(SaveDocument(loaded, b, view));
  EXPECT_EQ(ReadFileBytes(b), bytes);
}

TEST_F(DocumentFileTest, ControllerPairsByPositionAndFaultyTaskFiles) {
  ControllerDatabase cdb;
  const std::string good = cdb.Controller("good.tsk", 0x11);
  const std::string other = cdb.Controller("other.tsk", 0x22);
  const std::string missing = dir.File("missing.tsk");
  const std::string damaged = cdb.db.TaskDir() + "/damaged.tsk";
  WriteFileBytes(damaged, "not a task file");
  const std::string folder = dir.File("folder.tsk");
  ASSERT_TRUE(std::filesystem::create_directory(folder));
  Configuration cfg;
  FakeView v;
  std::string path = dir.File("doc.bmt");
  WriteFileBytes(path, Cp("[Protokol]\r\nName=Modbus/TCP\r\n[Config]\r\n"
                          "Nset0=" +
                          good +
                          "\r\nWayUser0=1A\r\n"  // names swapped: still path, number
                          "WayUser1=" +
                          missing +
                          "\r\nNset1=01\r\n"  // missing: kept without task object
                          "WayUser2=" +
                          damaged +
                          "\r\nNset2=02\r\n"  // damaged: reported, left out
                          "WayUser3=" +
                          folder +
                          "\r\nNset3=03\r\n"  // a folder: reported, kept without task object
                          "x=" +
                          other +
                          "\r\ny=\r\n"  // empty number: does not convert
                          "WayUser5=" +
                          good + "\r\n"));  // odd key: ignored
  EXPECT_FALSE(LoadDocument(cfg, cdb.settings, path, v));
  ASSERT_EQ(v.messages.size(), 3u) << testing::PrintToString(v.messages);
  EXPECT_EQ(v.messages[0].substr(0, damaged.size() + 1), damaged + "\n");
  EXPECT_EQ(v.messages[1], folder + "\n" + kFaultyTaskFilesMessage);
  EXPECT_EQ(v.messages[2], "Ошибка в файле: раздел \"Config\", ключ \"y\": значение \"\" не является числом");
  ASSERT_EQ(cfg.Controllers.size(), 3u);
  EXPECT_EQ(cfg.Controllers[0].Nset, 0x1A);
  EXPECT_TRUE(cfg.Controllers[0].Found);
  EXPECT_EQ(cfg.Controllers[1].Nset, 0x01);
  EXPECT_FALSE(cfg.Controllers[1].Found);
  EXPECT_EQ(cfg.Controllers[2].Nset, 0x03);
  EXPECT_FALSE(cfg.Controllers[2].Found);
  EXPECT_EQ(cfg.Controllers[2].Task, nullptr);
  EXPECT_EQ(cfg.Controllers[2].StoredPath, folder);

  // A folder in place of the task file: the controller and its path survive load and save.
  WriteFileBytes(path, Cp("[Protokol]\r\nName=Modbus/TCP\r\n[Config]\r\nWayUser0=" + folder +
                          "\r\nNset0=03\r\nWayUser1=" + good + "\r\nNset1=11\r\n"));
  FakeView f;
  ASSERT_TRUE(LoadDocument(cfg, cdb.settings, path, f));
  EXPECT_EQ(f.messages, std::vector<std::string>{folder + "\n" + kFaultyTaskFilesMessage});
  EXPECT_EQ(f.editorOpened, 1);
  ASSERT_EQ(cfg.Controllers.size(), 2u);
  EXPECT_FALSE(cfg.Controllers[0].Found);
  EXPECT_EQ(cfg.Controllers[0].Nset, 0x03);
  EXPECT_TRUE(cfg.State.FromFile);
  cfg.SetAllChanged();
  ASSERT_TRUE(SaveDocument(cfg, path, f));
  EXPECT_EQ(IniFile(path).ReadString("Config", "WayUser0", "?"), folder);

  // Without the pair that does not convert the load goes through, and the controller list
  // editor opens for the controller whose task file is missing.
  WriteFileBytes(path,
                 Cp("[Protokol]\r\nName=Modbus/TCP\r\n[Config]\r\nNset0=" + good +
                    "\r\nWayUser0=1A\r\nWayUser1=" + missing + "\r\nNset1=01\r\nWayUser2=" + other + "\r\n"));
  FakeView w;
  ASSERT_TRUE(LoadDocument(cfg, cdb.settings, path, w));
  EXPECT_TRUE(w.messages.empty()) << testing::PrintToString(w.messages);
  EXPECT_EQ(w.editorOpened, 1);
  ASSERT_EQ(cfg.Controllers.size(), 2u);
  EXPECT_EQ(cfg.Controllers[1].Task, nullptr);
  EXPECT_EQ(cfg.Controllers[1].TaskFilePath(), missing);
  EXPECT_TRUE(cfg.State.FromFile);
  EXPECT_FALSE(cfg.State.FromModule);
  EXPECT_EQ(w.steps, 7 + 2);

  // The list editor's reload after it dropped its changes.
  cfg.Controllers.clear();
  cfg.State.ControllersChanged = true;
  FakeView r;
  EXPECT_TRUE(LoadControllers(cfg, cdb.settings, path, r));
  ASSERT_EQ(cfg.Controllers.size(), 2u);
  EXPECT_EQ(cfg.Controllers[0].Task->TaskFilePath(), good);
  EXPECT_EQ(cfg.Controllers[1].StoredPath, missing);
  EXPECT_FALSE(cfg.State.ControllersChanged);
  EXPECT_TRUE(r.messages.empty());
  EXPECT_EQ(r.editorOpened, 0);
}

// A controller whose task file is missing stays in the document through any number of
// loads and saves; its path is written back as it was read. Only a read document's
// controller without a task file is written with an empty path.
TEST_F(DocumentFileTest, ControllersWithoutTheirTaskFileSurviveLoadAndSave) {
  struct Case {
    const char* name;
    bool fromModule;         // the document was read from the module
    bool deleteAfterSave;    // the second controller's task file disappears after the first save
    const char* secondPath;  // "WayUser1" on every save: "file" stands for the task file's path
  };
  const Case cases[] = {
      {"file document, task file removed later", false, true, "file"},
      {"read document, controller not found", true, false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ControllerDatabase cdb;
    const std::string first = cdb.Controller("a.tsk", 5);
    const std::string second = cdb.Controller("b.tsk", 6);
    Configuration cfg;
    cfg.ResetForNew();
    for (const auto& [file, nset] : {std::pair{first, 5}, std::pair{second, 6}}) {
      ControllerEntry e;
      e.Nset = nset;
      e.Found = !(c.fromModule && nset == 6);
      if (e.Found)
        e.Task = std::make_unique<Task_CL>(file, cdb.settings.WorkTask, cdb.settings.WorkMod,
                                           cdb.settings.WorkAlg);
      cfg.Controllers.push_back(std::move(e));
    }
    cfg.Map(MapKind::TC)[0] = MapEntry{6, 0x0101, 1, "b/Насосная/Авария насоса", 10};
    cfg.State.FromModule = c.fromModule;
    cfg.State.FromFile = !c.fromModule;
    cfg.SetAllChanged();
    const std::string expectedSecond = std::string(c.secondPath) == "file" ? second : c.secondPath;
    std::string path = dir.File("doc.bmt");
    ASSERT_TRUE(SaveDocument(cfg, path, view));
    EXPECT_EQ(IniFile(path).ReadString("Config", "WayUser1", "?"), expectedSecond);
    if (c.deleteAfterSave) std::filesystem::remove(second);

    for (int round = 0; round < 2; ++round) {
      SCOPED_TRACE(round);
      Configuration back;
      FakeView v;
      ASSERT_TRUE(LoadDocument(back, cdb.settings, path, v));
      EXPECT_TRUE(v.messages.empty()) << testing::PrintToString(v.messages);
      EXPECT_EQ(v.editorOpened, 1);
      ASSERT_EQ(back.Controllers.size(), 2u);
      EXPECT_TRUE(back.Controllers[0].Found);
      EXPECT_EQ(back.Controllers[1].Task, nullptr);
      EXPECT_FALSE(back.Controllers[1].Found);
      EXPECT_EQ(back.Controllers[1].Nset, 6);
      EXPECT_EQ(back.Controllers[1].TaskFilePath(), expectedSecond);
      // The first controller has its task object: a file document, whose map entry of the
      // second controller keeps its own name.
      EXPECT_TRUE(back.State.FromFile);
      EXPECT_FALSE(back.State.FromModule);
      EXPECT_EQ(back.DisplayName(back.Map(MapKind::TC)[0]), "b/Насосная/Авария насоса");
      back.SetAllChanged();
      ASSERT_TRUE(SaveDocument(back, path, view));
      IniFile saved(path);
      EXPECT_EQ(saved.ReadString("Config", "WayUser0", "?"), first);
      EXPECT_EQ(saved.ReadString("Config", "WayUser1", "?"), expectedSecond);
      EXPECT_EQ(saved.ReadString("Config", "Nset1", "?"), "06");
    }
  }
}

// A file document opened where none of its task files exists (another machine, a moved
// database) has no task object at all and so counts as read from the module; saving it
// again must still write the paths it was read with, not blank them.
TEST_F(DocumentFileTest, FileDocumentWithEveryTaskFileMissingKeepsItsPaths) {
  ControllerDatabase cdb;
  const std::string path = dir.File("doc.bmt");
  WriteFileBytes(path, Cp("[Protokol]\r\nName=Modbus/TCP\r\nTypeFile=Input\r\n[Config]\r\n"
                          "WayUser0=/moved/a.tsk\r\nNset0=05\r\nWayUser1=\r\nNset1=06\r\n"));
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    Configuration cfg;
    FakeView v;
    ASSERT_TRUE(LoadDocument(cfg, cdb.settings, path, v));
    ASSERT_EQ(cfg.Controllers.size(), 2u);
    EXPECT_TRUE(cfg.State.FromModule);
    cfg.SetAllChanged();
    ASSERT_TRUE(SaveDocument(cfg, path, view));
    IniFile saved(path);
    EXPECT_EQ(saved.ReadString("Config", "WayUser0", "?"), "/moved/a.tsk");
    EXPECT_EQ(saved.ReadString("Config", "WayUser1", "?"), "");
    EXPECT_EQ(saved.ReadString("Config", "Nset0", "?"), "05");
  }
}

}  // namespace
}  // namespace r770
