#include "exchange/exchange_settings_form.h"

#include <gtest/gtest.h>

#include <string>

#include "common/codec.h"
#include "document/document_file.h"
#include "fake_dialogs.h"
#include "temp_dir.h"

namespace r770 {
namespace {

using Field = ExchangeSettingsForm::Field;
using test::FakeDialogs;
using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

class ExchangeSettingsFormTest : public ::testing::Test {
 protected:
  TempDir dir;
  std::string ini = dir.File("r770cfg.ini");
  FakeDialogs dialogs;
  ProgramSettings settings;
  ExchangeSettingsForm form{dialogs, settings, ini};

  std::string IniText() const { return Cp1251ToUtf8(ReadFileBytes(ini)); }
};

TEST_F(ExchangeSettingsFormTest, ShowFillsFromTheSettingsAndVisibilityFollowsTheLinkKind) {
  settings.LinkKind = LinkKindSetting::CanBus;
  settings.ComPortIndex = 4;
  settings.PcNetNumber = 0xA;
  settings.AdapterSpeedIndex = 3;
  settings.ModuleNetNumber = 0x1C;
  settings.ModulePort = 502;
  settings.ModuleIP = "10.0.0.7";
  settings.AnswerTimeSec = 4;
  settings.Retries = 7;
  form.Show();
  EXPECT_TRUE(form.TakeFocusOnLinkKind());
  EXPECT_FALSE(form.TakeFocusOnLinkKind());
  EXPECT_EQ(form.LinkKind(), LinkKindSetting::CanBus);
  EXPECT_EQ(form.ComPort(), 4);
  EXPECT_EQ(form.PcNumber(), "0A");
  EXPECT_EQ(form.Speed(), 3);
  EXPECT_EQ(form.ModuleNumber(), "1C");
  EXPECT_EQ(form.Port(), "01F6");  // hexadecimal, as the port of this window always was
  EXPECT_EQ(form.IP(), "10.0.0.7");
  EXPECT_EQ(form.AnswerTime(), "4");
  EXPECT_EQ(form.Retries(), 7);
  EXPECT_FALSE(form.Changed());

  struct Row {
    Field field;
    bool canVisible, canEditable, ethVisible, ethEditable;
  } rows[] = {
      {Field::LinkKind, true, true, true, true},      {Field::ComPort, true, true, false, true},
      {Field::Retries, true, true, true, true},       {Field::PcNumber, true, true, false, true},
      {Field::Speed, true, true, false, true},        {Field::AnswerTime, true, true, true, true},
      {Field::ModuleNumber, true, true, true, false}, {Field::IP, false, false, true, true},
      {Field::Port, false, false, true, true},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(static_cast<int>(r.field));
    form.SetLinkKind(LinkKindSetting::CanBus);
    EXPECT_EQ(form.Visible(r.field), r.canVisible);
    EXPECT_EQ(form.Editable(r.field), r.canEditable);
    form.SetLinkKind(LinkKindSetting::Ethernet);
    EXPECT_EQ(form.Visible(r.field), r.ethVisible);
    EXPECT_EQ(form.Editable(r.field), r.ethEditable);
  }

  // Ethernet puts "01" into the module number; CAN-BUS brings back the stored one.
  EXPECT_EQ(form.ModuleNumber(), "01");
  form.SetModuleNumber("33");  // not editable for Ethernet
  EXPECT_EQ(form.ModuleNumber(), "01");
  form.SetLinkKind(LinkKindSetting::CanBus);
  EXPECT_EQ(form.ModuleNumber(), "1C");
  EXPECT_TRUE(form.Changed());
}

TEST_F(ExchangeSettingsFormTest, ChoosingTheKindAlreadyChosenChangesNothing) {
  for (LinkKindSetting kind : {LinkKindSetting::CanBus, LinkKindSetting::Ethernet}) {
    settings.LinkKind = kind;
    form.Show();
    if (kind == LinkKindSetting::CanBus) form.SetModuleNumber("2A");  // typed, not yet applied
    const std::string typed = form.ModuleNumber();
    const bool changed = form.Changed();
    form.SetLinkKind(kind);
    EXPECT_EQ(form.ModuleNumber(), typed);
    EXPECT_EQ(form.Changed(), changed);
    dialogs.confirmAnswers = {false};
    EXPECT_TRUE(form.CloseRequested());
  }
  EXPECT_EQ(dialogs.shown, std::vector<std::string>{"Сохранить изменения?"}) << "only the typed number asks";
}

TEST_F(ExchangeSettingsFormTest, ApplyWritesTheSectionInOrderWithFallbacks) {
  WriteFileBytes(ini, "[Parametr]\r\nVS=CAN-BUS\r\nAdapterSetn=05\r\n[BaseL8]\r\nWay=/db\r\n");
  settings.ModuleIP = "192.168.1.50";
  form.Show();
  form.SetComPort(2);
  form.SetSpeed(3);     // "  50"
  form.SetRetries(25);  // the spin field stops at 20
  // An answer time that is no number of seconds is refused with a message; nothing is taken.
  const std::int32_t timeBefore = settings.AnswerTimeSec;
  for (const char* bad : {"abc", "0", "", "601", "-1"}) {
    dialogs.shown.clear();
    form.SetAnswerTime(bad);
    EXPECT_FALSE(form.ApplyPressed()) << bad;
    EXPECT_EQ(dialogs.shown, std::vector<std::string>{ExchangeSettingsForm::kBadAnswerTimeMessage}) << bad;
    EXPECT_EQ(form.AnswerTime(), bad);
    EXPECT_EQ(settings.AnswerTimeSec, timeBefore) << "nothing is taken";
    EXPECT_EQ(settings.Retries, ProgramSettings{}.Retries);
    EXPECT_EQ(IniText(), "[Parametr]\r\nVS=CAN-BUS\r\nAdapterSetn=05\r\n[BaseL8]\r\nWay=/db\r\n");
  }
  // Closing with "Сохранить изменения?" answered Yes keeps the window open to put it right.
  dialogs.shown.clear();
  dialogs.confirmAnswers = {true};
  EXPECT_FALSE(form.CloseRequested());
  EXPECT_EQ(dialogs.shown,
            (std::vector<std::string>{"Сохранить изменения?", ExchangeSettingsForm::kBadAnswerTimeMessage}));
  dialogs.shown.clear();
  form.SetAnswerTime(" 1");
  form.SetPcNumber("zz");
  form.SetModuleNumber("G1x");  // cut to two characters, then not hexadecimal
  EXPECT_EQ(form.ModuleNumber(), "G1");
  EXPECT_TRUE(form.ApplyPressed());
  EXPECT_EQ(form.AnswerTime(), "1");
  EXPECT_EQ(form.PcNumber(), "0");
  EXPECT_EQ(form.ModuleNumber(), "01");
  EXPECT_FALSE(form.Changed());
  EXPECT_TRUE(dialogs.shown.empty());
  EXPECT_EQ(IniText(),
            "[BaseL8]\r\nWay=/db\r\n[Parametr]\r\nVS=CAN-BUS\r\nComport=COM3\r\nPc_numb=0\r\nSpeedPC=  50\r\n"
            "SetNR770=01\r\nKPov=20\r\nIP=192.168.1.50\r\nport_TCP=51960\r\nTimeW=1\r\n");
  EXPECT_EQ(settings.AnswerTimeSec, 1);
  EXPECT_EQ(settings.PcNetNumber, 0u);
  EXPECT_EQ(settings.ModuleNetNumber, 1);
  EXPECT_EQ(settings.Retries, 20);
  EXPECT_EQ(settings.ComPortIndex, 2);
  EXPECT_EQ(settings.ModulePort, 51960);

  // Read back after a restart: the same settings, 50 kBd included.
  ProgramSettings again;
  ASSERT_EQ(ReadProgramSettings(ini, again), "");
  EXPECT_EQ(again.AdapterSpeedIndex, 3);
  EXPECT_EQ(again.ComPortIndex, 2);
  EXPECT_EQ(again.ModuleIP, "192.168.1.50");
  EXPECT_EQ(again.DbRoot, "/db");
}

TEST_F(ExchangeSettingsFormTest, EthernetStoresModuleNumberOneAndKeepsTheAddress) {
  settings.ModuleNetNumber = 0x22;
  settings.ModuleIP = "10.1.1.1";
  form.Show();
  form.SetLinkKind(LinkKindSetting::Ethernet);
  form.SetAnswerTime("5");
  form.SetPcNumber("1f");
  EXPECT_TRUE(form.ApplyPressed());
  EXPECT_EQ(settings.ModuleNetNumber, 1);
  EXPECT_EQ(settings.LinkKind, LinkKindSetting::Ethernet);
  EXPECT_EQ(settings.PcNetNumber, 0x1Fu);
  std::string text = IniText();
  EXPECT_NE(text.find("VS=Ethernet\r\n"), std::string::npos);
  EXPECT_NE(text.find("SetNR770=01\r\n"), std::string::npos);
  EXPECT_NE(text.find("Pc_numb=1f\r\n"), std::string::npos);  // the text as typed
  EXPECT_NE(text.find("IP=10.1.1.1\r\n"), std::string::npos);
  EXPECT_NE(text.find("TimeW=5\r\n"), std::string::npos);
}

TEST_F(ExchangeSettingsFormTest, ClosingAsksOnlyAfterAChange) {
  form.Show();
  EXPECT_TRUE(form.CloseRequested());
  EXPECT_TRUE(dialogs.shown.empty());

  form.SetRetries(5);
  dialogs.confirmAnswers = {false};
  EXPECT_TRUE(form.CloseRequested());
  EXPECT_EQ(dialogs.shown, std::vector<std::string>{"Сохранить изменения?"});
  EXPECT_EQ(settings.Retries, 3);
  EXPECT_FALSE(test::ReadFileBytes(ini).size());

  form.Show();
  EXPECT_EQ(form.Retries(), 3);
  form.SetRetries(5);
  dialogs.confirmAnswers = {true};
  EXPECT_TRUE(form.CloseRequested());
  EXPECT_EQ(settings.Retries, 5);
  EXPECT_NE(IniText().find("KPov=5\r\n"), std::string::npos);
}

TEST_F(ExchangeSettingsFormTest, EthernetAddressAndPortAreEditedCheckedAndStored) {
  settings.LinkKind = LinkKindSetting::Ethernet;
  settings.ModuleIP = "10.0.0.7";
  settings.PortInHex = true;
  form.Show();
  EXPECT_EQ(form.Port(), "CAF8");
  EXPECT_EQ(form.PortMaxLength(), 4);

  // Refused as the common settings editor refuses them: the window stays, the focus goes to
  // the field, nothing is taken or written.
  struct Case {
    const char* ip;
    const char* port;
    const char* message;
    Field focus;
  } refused[] = {
      {"", "CAF8", ExchangeSettingsForm::kEmptyIPMessage, Field::IP},
      {"10.0.0", "CAF8", ExchangeSettingsForm::kBadIPMessage, Field::IP},
      {"10.0.0.256", "CAF8", ExchangeSettingsForm::kBadIPMessage, Field::IP},
      {"10.0.0.9", " ", ExchangeSettingsForm::kEmptyPortMessage, Field::Port},
      {"10.0.0.9", "XYZ", ExchangeSettingsForm::kBadPortMessage, Field::Port},
  };
  for (const Case& c : refused) {
    SCOPED_TRACE(std::string(c.ip) + " / " + c.port);
    dialogs.shown.clear();
    form.SetIP(c.ip);
    form.SetPort(c.port);
    EXPECT_FALSE(form.ApplyPressed());
    EXPECT_EQ(dialogs.shown, std::vector<std::string>{c.message});
    EXPECT_EQ(form.TakeFocus(), c.focus);
    EXPECT_FALSE(form.TakeFocus());
    EXPECT_EQ(settings.ModuleIP, "10.0.0.7");
    EXPECT_EQ(settings.ModulePort, 51960);
    EXPECT_TRUE(ReadFileBytes(ini).empty());
  }
  form.SetPort("1F6xx");  // cut to the four hexadecimal digits
  EXPECT_EQ(form.Port(), "1F6x");

  // "Взять из документа" copies the document's address and port; Apply stores them under
  // "IP" and "port_TCP", and the next showing starts from them.
  Configuration doc;
  doc.Common.AdrIP = {172, 16, 5, 40};
  doc.Common.AdrPort = 0x1F6;
  dialogs.shown.clear();
  form.TakeFromDocument(doc.Common);
  EXPECT_EQ(form.IP(), "172.16.5.40");
  EXPECT_EQ(form.Port(), "01F6");
  EXPECT_TRUE(form.ApplyPressed());
  EXPECT_TRUE(dialogs.shown.empty());
  EXPECT_EQ(settings.ModuleIP, "172.16.5.40");
  EXPECT_EQ(settings.ModulePort, 502);
  const std::string text = IniText();
  EXPECT_NE(text.find("IP=172.16.5.40\r\nport_TCP=502\r\n"), std::string::npos) << text;
  ProgramSettings again;
  ASSERT_EQ(ReadProgramSettings(ini, again), "");
  EXPECT_EQ(again.ModuleIP, "172.16.5.40");
  EXPECT_EQ(again.ModulePort, 502);

  // Hexadecimal whatever the common settings editor shows; a text that is no number is refused.
  settings.PortInHex = false;
  form.Show();
  EXPECT_EQ(form.Port(), "01F6");
  form.SetPort("12G4");
  dialogs.shown.clear();
  EXPECT_FALSE(form.ApplyPressed());
  EXPECT_EQ(dialogs.shown, std::vector<std::string>{ExchangeSettingsForm::kBadPortMessage});
  form.SetPort("FFFF");
  EXPECT_TRUE(form.ApplyPressed());
  EXPECT_EQ(settings.ModulePort, 65535);

  // A document whose address was never set gives nothing but a message.
  form.Show();
  dialogs.shown.clear();
  form.TakeFromDocument(Configuration{}.Common);
  EXPECT_EQ(dialogs.shown, std::vector<std::string>{kNoDocumentIPMessage});
  EXPECT_EQ(form.IP(), "172.16.5.40");
  EXPECT_FALSE(form.Changed());
}

TEST_F(ExchangeSettingsFormTest, WithCanBusTheHiddenAddressAndPortAreKeptAsTheyWere) {
  // Even a stored port that does not fit 16 bits: the CAN-BUS apply does not check it.
  WriteFileBytes(ini, "[Parametr]\r\nport_TCP=70000\r\nIP=bad\r\n");
  ASSERT_EQ(ReadProgramSettings(ini, settings), "");
  form.Show();
  EXPECT_EQ(form.LinkKind(), LinkKindSetting::CanBus);
  form.SetIP("1.2.3.4");  // not editable with CAN-BUS
  form.SetPort("1");
  form.TakeFromDocument(Configuration{}.Common);
  EXPECT_EQ(form.IP(), "bad");
  EXPECT_EQ(form.Port(), "70000");
  EXPECT_TRUE(dialogs.shown.empty());
  EXPECT_TRUE(form.ApplyPressed());
  const std::string text = IniText();
  EXPECT_NE(text.find("IP=bad\r\nport_TCP=70000\r\n"), std::string::npos) << text;

  // Switched to Ethernet, the same port is refused until it is put right.
  form.Show();
  form.SetLinkKind(LinkKindSetting::Ethernet);
  form.SetIP("192.168.0.5");
  dialogs.shown.clear();
  EXPECT_FALSE(form.ApplyPressed());
  EXPECT_EQ(dialogs.shown, std::vector<std::string>{ExchangeSettingsForm::kBadPortMessage});
  // Closing with Yes stays open for the same reason.
  dialogs.shown.clear();
  dialogs.confirmAnswers = {true};
  EXPECT_FALSE(form.CloseRequested());
  EXPECT_EQ(dialogs.shown,
            (std::vector<std::string>{"Сохранить изменения?", ExchangeSettingsForm::kBadPortMessage}));
}

TEST(AdditionalSettingsFormTest, ApplyWritesTheTaskNameStyleAndKeepsThePortChoice) {
  TempDir dir;
  std::string ini = dir.File("r770cfg.ini");
  FakeDialogs dialogs;
  ProgramSettings settings;
  settings.PortInHex = true;
  AdditionalSettingsForm form(dialogs, settings, ini);
  form.Show();
  EXPECT_EQ(form.TaskName(), 1);  // short names by default
  form.SetTaskName(0);
  EXPECT_TRUE(form.ApplyPressed());
  EXPECT_FALSE(settings.ShortTaskNames);
  EXPECT_EQ(Cp1251ToUtf8(ReadFileBytes(ini)), "[DopNastr]\r\nNameTask=длинное\r\nВид=16-тиричный\r\n");

  // Closing without "Применить" drops the choice without asking: nothing reaches the settings
  // or their file, and the next showing starts from the settings.
  const std::string file = ReadFileBytes(ini);
  form.Show();
  EXPECT_EQ(form.TaskName(), 0);
  form.SetTaskName(1);
  EXPECT_EQ(form.TaskName(), 1);
  EXPECT_FALSE(settings.ShortTaskNames);
  EXPECT_EQ(ReadFileBytes(ini), file);
  EXPECT_TRUE(dialogs.shown.empty());
  form.Show();
  EXPECT_EQ(form.TaskName(), 0);
}

}  // namespace
}  // namespace r770
