#include "modbus_test/modbus_settings_form.h"

#include <gtest/gtest.h>

#include "common/ini_file.h"
#include "document/document_file.h"
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

TEST_F(SettingsFixture, TakeFromDocumentCopiesTheAddressesAndKeepsThePort) {
  form.Show();
  form.portText = "502";
  Configuration doc;
  doc.Common.AdrIP = {10, 20, 30, 40};
  doc.Common.AdrExt = 0x2B;
  doc.Common.AdrPort = 0xCAF8;  // the module's own link port, not its Modbus/TCP server's
  form.TakeFromDocument(doc.Common);
  EXPECT_EQ(form.ipText, "10.20.30.40");
  EXPECT_EQ(form.slaveText, "2B");
  EXPECT_EQ(form.portText, "502");
  EXPECT_TRUE(dialogs.shown.empty());
  ASSERT_TRUE(form.Apply());
  EXPECT_EQ(settings.IP_AdrTest, "10.20.30.40");
  EXPECT_EQ(settings.SetModTest, 0x2B);

  // A document whose address was never set changes nothing.
  form.Show();
  form.TakeFromDocument(Configuration{}.Common);
  EXPECT_EQ(dialogs.shown, std::vector<std::string>{kNoDocumentIPMessage});
  EXPECT_EQ(form.ipText, "10.20.30.40");
  EXPECT_EQ(form.slaveText, "2B");
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

TEST_F(SettingsFixture, SlaveAddressAndAnswerTimeKeys) {
  struct Case {
    Field field;
    const char* text;
    char32_t key;
    int selStart, selLength;
    const char* result;
    int caret;
  } cases[] = {
      {Field::SlaveAddress, "", U'с', 0, 0, "C", 1},
      {Field::SlaveAddress, "1", U'f', 1, 0, "1F", 2},
      {Field::SlaveAddress, "1", U'.', 1, 0, "1.", 2},
      {Field::SlaveAddress, "1", U' ', 0, 0, " 1", 1},
      {Field::SlaveAddress, "1", U'g', 1, 0, "1", 1},
      {Field::SlaveAddress, "12", U'3', 2, 0, "12", 2},  // full field
      {Field::SlaveAddress, "12", U'3', 1, 1, "12", 1},  // one of two selected: still full
      {Field::SlaveAddress, "12", 8, 2, 0, "1", 1},      // Backspace still works
      {Field::SlaveAddress, "12", U'в', 0, 2, "D", 1},   // both selected: emptied first
      {Field::SlaveAddress, "12", U'z', 0, 2, "", 0},    // emptied, then the key is refused
      {Field::SlaveAddress, "1", U'3', 0, 1, "3", 1},
      {Field::AnswerTime, "1", U'0', 1, 0, "10", 2},
      {Field::AnswerTime, "10", 8, 1, 0, "0", 0},
      {Field::AnswerTime, "1", U'a', 1, 0, "1", 1},
      {Field::AnswerTime, "1", U'-', 0, 0, "1", 0},
  };
  for (const auto& c : cases) {
    std::string& text = c.field == Field::SlaveAddress ? form.slaveText : form.timeText;
    text = c.text;
    bool changed = form.KeyTyped(c.field, c.key, c.selStart, c.selLength);
    EXPECT_EQ(text, c.result) << c.text << " " << static_cast<unsigned>(c.key);
    EXPECT_EQ(changed, std::string(c.text) != c.result);
    EXPECT_EQ(form.Caret(), c.caret) << c.text << " " << static_cast<unsigned>(c.key);
  }
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
  EXPECT_TRUE(form.Closed());
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
    const char* slave;
    const char* time;
    const char* ip;
    const char* port;
    bool hex;
    std::vector<std::string> messages;
    Field focus;
  } cases[] = {
      {"slave", ". ", "1", "1.2.3.4", "502", false, {"Неверно введен Slave-адрес БМТ"}, Field::SlaveAddress},
      {"empty slave",
       "",
       "1",
       "1.2.3.4",
       "502",
       false,
       {"Неверно введен Slave-адрес БМТ"},
       Field::SlaveAddress},
      {"time",
       "01",
       "",
       "1.2.3.4",
       "502",
       false,
       {"Неверно введено время ожидания ответа"},
       Field::AnswerTime},
      {"no time to wait",
       "01",
       "0",
       "1.2.3.4",
       "502",
       false,
       {"Неверно введено время ожидания ответа"},
       Field::AnswerTime},
      {"slave and time go on to the IP",
       "x",
       "",
       "",
       "502",
       false,
       {"Неверно введен Slave-адрес БМТ", "Неверно введено время ожидания ответа", "Введите адрес IP."},
       Field::IpAddress},
      {"bad IP", "01", "1", "1.2.3", "502", false, {"Неправильно введен адрес IP."}, Field::IpAddress},
      {"IP byte", "01", "1", "1.2.3.256", "502", false, {"Неправильно введен адрес IP."}, Field::IpAddress},
      {"empty port", "01", "1", "1.2.3.4", "", false, {"Введите адрес порта."}, Field::Port},
      {"port 70000", "01", "1", "1.2.3.4", "70000", false, {"Неправильно введен адрес порта."}, Field::Port},
      {"port 10000 hex",
       "01",
       "1",
       "1.2.3.4",
       "10000",
       true,
       {"Неправильно введен адрес порта."},
       Field::Port},
      {"letters in decimal",
       "01",
       "1",
       "1.2.3.4",
       "1F6",
       false,
       {"Неправильно введен адрес порта."},
       Field::Port},
      {"negative port", "01", "1", "1.2.3.4", "-5", false, {"Неправильно введен адрес порта."}, Field::Port},
      {"port after slave failure",
       "zz",
       "1",
       "1.2.3.4",
       "99999",
       false,
       {"Неверно введен Slave-адрес БМТ", "Неправильно введен адрес порта."},
       Field::Port},
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
    EXPECT_FALSE(form.Closed()) << c.what;
    EXPECT_EQ(dialogs.shown, c.messages) << c.what;
    EXPECT_EQ(form.Focus(), c.focus) << c.what;
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
  EXPECT_FALSE(form.Closed());
  ASSERT_EQ(dialogs.shown.size(), 1u);
}

}  // namespace
}  // namespace r770
