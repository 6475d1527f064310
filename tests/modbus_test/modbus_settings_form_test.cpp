#include "modbus_test/modbus_settings_form.h"

#include <gtest/gtest.h>

#include "common/ini_file.h"
#include "fake_dialogs.h"
#include "temp_dir.h"

namespace r770 {
namespace {

using Field = ModbusSettingsForm::Field;
using test::FakeDialogs;
using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

struct SettingsFixture : ::testing::Test {
  TempDir dir;
  ProgramSettings settings;
  FakeDialogs dialogs;
  ModbusSettingsForm form{settings, dialogs};

  SettingsFixture() { settings.Path = dir.File("r770cfg.ini"); }
  std::string File() { return ReadFileBytes(settings.Path); }
};

TEST_F(SettingsFixture, ShowReadsTheFileAgainAndFillsTheFields) {
  WriteFileBytes(settings.Path,
                 "[ModbusTest]\r\nPortTcpTest=502\r\nIP_AdrTest=10.0.0.7\r\nInversModTest=1\r\n"
                 "SwapModTest=0\r\nSetModTest=171\r\nTimeAnswerTest=5\r\nTest16=1\r\n");
  settings.PortTcpTest = 1;  // the record is overwritten from the file
  form.Show();
  EXPECT_EQ(form.slaveText, "AB");
  EXPECT_EQ(form.timeText, "5");
  EXPECT_EQ(form.portText, "01F6");
  EXPECT_EQ(form.ipText, "10.0.0.7");
  EXPECT_TRUE(form.invert);
  EXPECT_FALSE(form.swap);
  EXPECT_TRUE(form.portHex);
  EXPECT_TRUE(dialogs.shown.empty());

  form.SetPortHex(false);
  EXPECT_EQ(form.portText, "502");
  form.portText = "65535";
  form.SetPortHex(true);
  EXPECT_EQ(form.portText, "FFFF");
  form.portText = "xyz";  // does not convert: stays as it is
  form.SetPortHex(false);
  EXPECT_EQ(form.portText, "xyz");
}

TEST_F(SettingsFixture, DefaultsWithoutAFile) {
  form.Show();
  EXPECT_EQ(form.slaveText, "01");
  EXPECT_EQ(form.timeText, "1");
  EXPECT_EQ(form.portText, "51960");
  EXPECT_EQ(form.ipText, "192.168.0.1");
  EXPECT_FALSE(form.invert);
  EXPECT_TRUE(form.swap);
  EXPECT_FALSE(form.portHex);
}

TEST_F(SettingsFixture, SlaveAddressKeys) {
  struct Case { const char* text; char32_t key; bool allSelected; bool accept; char32_t result; bool clear; } cases[] = {
      {"", U'с', false, true, U'C', false},
      {"1", U'f', false, true, U'F', false},
      {"1", U'.', false, true, U'.', false},
      {"1", U' ', false, true, U' ', false},
      {"1", U'g', false, false, 0, false},
      {"12", U'3', false, false, 0, false},          // full field
      {"12", 8, false, true, 8, false},              // Backspace still works
      {"12", U'3', true, true, U'3', true},          // both selected: emptied first
      {"12", U'z', true, false, 0, true},            // emptied, then the key is refused
      {"1", U'3', true, true, U'3', false},          // one character is never "both"
  };
  for (const auto& c : cases) {
    form.slaveText = c.text;
    KeyDecision d = form.SlaveKey(c.key, c.allSelected);
    EXPECT_EQ(d.accept, c.accept) << c.text << " " << static_cast<unsigned>(c.key);
    if (c.accept) {
      EXPECT_EQ(d.key, c.result);
    }
    EXPECT_EQ(d.clearFirst, c.clear) << c.text << " " << static_cast<unsigned>(c.key);
  }
  EXPECT_TRUE(form.TimeKey(U'7').accept);
  EXPECT_TRUE(form.TimeKey(8).accept);
  EXPECT_FALSE(form.TimeKey(U'a').accept);
  EXPECT_FALSE(form.TimeKey(U'-').accept);
}

TEST_F(SettingsFixture, ApplyWritesTheSectionInOrderAndKeepsTheRest) {
  WriteFileBytes(settings.Path,
                 "[Parametr]\r\nVS=Ethernet\r\n[ModbusTest]\r\nConstCRCTest=4660\r\nOld=1\r\n"
                 "[DopNastr]\r\nNameTask=\xE4\xEB\xE8\xED\xED\xEE\xE5\r\n");
  form.Show();
  form.slaveText = "1F";
  form.timeText = "3";
  form.ipText = "10.1.2.3";
  form.portText = "502";
  form.invert = true;
  form.swap = false;
  ASSERT_TRUE(form.Apply());
  EXPECT_TRUE(form.closed());
  EXPECT_TRUE(dialogs.shown.empty());
  std::string expected =
      "[Parametr]\r\nVS=Ethernet\r\n"
      "[DopNastr]\r\nNameTask=\xE4\xEB\xE8\xED\xED\xEE\xE5\r\n"
      "[ModbusTest]\r\nPortTcpTest=502\r\nIP_AdrTest=10.1.2.3\r\nInversModTest=1\r\n"
      "SwapModTest=0\r\nSetModTest=31\r\nTimeAnswerTest=3\r\nConstCRCTest=4660\r\nTest16=0\r\n";
  EXPECT_EQ(File(), expected);
  EXPECT_EQ(settings.SetModTest, 0x1F);
  EXPECT_EQ(settings.PortTcpTest, 502);

  // Hexadecimal port.
  form.Show();
  form.SetPortHex(true);
  EXPECT_EQ(form.portText, "01F6");
  form.portText = "FFFF";
  ASSERT_TRUE(form.Apply());
  IniFile f(settings.Path);
  EXPECT_EQ(f.ReadString("ModbusTest", "PortTcpTest", ""), "65535");
  EXPECT_EQ(f.ReadString("ModbusTest", "Test16", ""), "1");
}

TEST_F(SettingsFixture, RefusalsInOrder) {
  struct Case {
    const char* what;
    const char* slave; const char* time; const char* ip; const char* port; bool hex;
    std::vector<std::string> messages;
    Field focus;
  } cases[] = {
      {"slave", ". ", "1", "1.2.3.4", "502", false, {"Неверно введен Slave-адрес БМТ"}, Field::SlaveAddress},
      {"empty slave", "", "1", "1.2.3.4", "502", false, {"Неверно введен Slave-адрес БМТ"}, Field::SlaveAddress},
      {"time", "01", "", "1.2.3.4", "502", false, {"Неверно введено время ожидания ответа"}, Field::AnswerTime},
      {"slave and time go on to the IP", "x", "", "", "502", false,
       {"Неверно введен Slave-адрес БМТ", "Неверно введено время ожидания ответа", "Введите адрес IP."},
       Field::IpAddress},
      {"bad IP", "01", "1", "1.2.3", "502", false, {"Неправильно введен адрес IP."}, Field::IpAddress},
      {"IP byte", "01", "1", "1.2.3.256", "502", false, {"Неправильно введен адрес IP."}, Field::IpAddress},
      {"empty port", "01", "1", "1.2.3.4", "", false, {"Введите адрес порта."}, Field::Port},
      {"port 70000", "01", "1", "1.2.3.4", "70000", false, {"Неправильно введен адрес порта."}, Field::Port},
      {"port 10000 hex", "01", "1", "1.2.3.4", "10000", true, {"Неправильно введен адрес порта."}, Field::Port},
      {"letters in decimal", "01", "1", "1.2.3.4", "1F6", false, {"Неправильно введен адрес порта."}, Field::Port},
      {"negative port", "01", "1", "1.2.3.4", "-5", false, {"Неправильно введен адрес порта."}, Field::Port},
      {"port after slave failure", "zz", "1", "1.2.3.4", "99999", false,
       {"Неверно введен Slave-адрес БМТ", "Неправильно введен адрес порта."}, Field::Port},
  };
  for (const auto& c : cases) {
    form.Show();
    dialogs.shown.clear();
    form.slaveText = c.slave;
    form.timeText = c.time;
    form.ipText = c.ip;
    form.portHex = c.hex;
    form.portText = c.port;
    EXPECT_FALSE(form.Apply()) << c.what;
    EXPECT_FALSE(form.closed()) << c.what;
    EXPECT_EQ(dialogs.shown, c.messages) << c.what;
    EXPECT_EQ(form.focus(), c.focus) << c.what;
    EXPECT_FALSE(IniFile(settings.Path).HasSection("ModbusTest")) << c.what;
  }
}

TEST_F(SettingsFixture, FailedApplyKeepsTheTakenValuesInMemoryOnly) {
  form.Show();
  form.slaveText = "x";
  form.timeText = "7";
  form.ipText = "10.0.0.9";
  form.invert = true;
  form.portText = "";
  EXPECT_FALSE(form.Apply());
  EXPECT_EQ(form.slaveText, "0");
  EXPECT_EQ(settings.SetModTest, 0);
  EXPECT_EQ(settings.TimeAnswerTest, 7);
  EXPECT_EQ(settings.IP_AdrTest, "10.0.0.9");
  EXPECT_TRUE(settings.InversModTest);
  // The next showing starts from the file again.
  form.Show();
  EXPECT_EQ(form.ipText, "192.168.0.1");
  EXPECT_FALSE(form.invert);
}

TEST_F(SettingsFixture, UnwritableFileKeepsTheWindowOpen) {
  settings.Path = dir.File("missing/r770cfg.ini");
  form.Show();
  EXPECT_FALSE(form.Apply());
  EXPECT_FALSE(form.closed());
  ASSERT_EQ(dialogs.shown.size(), 1u);
}

}  // namespace
}  // namespace r770
