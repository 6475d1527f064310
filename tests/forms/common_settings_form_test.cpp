#include "document/common_settings_form.h"

#include <gtest/gtest.h>

#include <string>

#include "common/codec.h"
#include "common/key_filter.h"
#include "fake_dialogs.h"
#include "temp_dir.h"

namespace r770 {
namespace {

using Input = CommonSettingsForm::Input;
using test::FakeDialogs;
using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

class CommonSettingsFormTest : public ::testing::Test {
 protected:
  TempDir dir;
  std::string ini = dir.File("r770cfg.ini");
  FakeDialogs dialogs;
  Configuration cfg;
  ProgramSettings settings;
  CommonSettingsForm form{dialogs, cfg, settings, ini};

  CommonSettingsFormTest() { cfg.ResetForNew(); }

  // Types a whole text at the end of the field, as a person would.
  void Type(Input input, const std::string& text) {
    for (char32_t k : Utf8ToU32(text)) {
      int end = static_cast<int>(Utf8Length(form.Text(input)));
      form.KeyTyped(input, k, end, 0);
    }
  }
  // Replaces a field's text: select all, delete, type.
  void Enter(Input input, const std::string& text) {
    form.TextEdited(input, "");
    Type(input, text);
  }
};

TEST_F(CommonSettingsFormTest, KeyFiltersAndLengthRules) {
  struct Case {
    Input input;
    bool hex;  // "в 16-тиричном виде"
    const char* before;
    int selStart, selLength;
    char32_t key;
    const char* after;
    int caret;
  } cases[] = {
      {Input::AdrCAN, false, "", 0, 0, U'ф', "A", 1},
      {Input::AdrCAN, false, "", 0, 0, U'с', "C", 1},
      {Input::AdrCAN, false, "", 0, 0, U'e', "E", 1},
      {Input::AdrCAN, false, "", 0, 0, U'g', "", 0},
      {Input::AdrCAN, false, "", 0, 0, U'.', ".", 1},
      {Input::AdrCAN, false, "1", 0, 0, U'2', "21", 1},  // at the caret
      {Input::AdrCAN, false, "12", 2, 0, U'3', "12", 0},
      {Input::AdrCAN, false, "12", 1, 1, U'3', "12", 0},  // one of two selected: refused
      {Input::AdrCAN, false, "12", 0, 2, U'3', "3", 1},   // both selected: emptied first
      {Input::AdrCAN, false, "12", 0, 2, U'g', "", 0},    // ... even for a refused key
      {Input::AdrCAN, false, "12", 2, 0, kBackspace, "1", 1},
      {Input::AdrExt, false, "AB", 0, 2, U'у', "E", 1},
      {Input::twaitCAN, false, "1234", 4, 0, U'5', "12345", 5},
      {Input::twaitCAN, false, "12345", 5, 0, U'6', "12345", 0},
      {Input::twaitCAN, false, "12345", 0, 5, U'6', "12345", 0},
      {Input::twaitCAN, false, "12", 2, 0, U'A', "12", 0},
      {Input::AdrIP, false, "192.168.000.001", 15, 0, U'1', "192.168.000.001", 0},
      {Input::AdrIP, false, "192.168.0.1", 11, 0, U' ', "192.168.0.1 ", 12},
      {Input::AdrIP, false, "10", 2, 0, U'x', "10", 0},
      {Input::AdrIP, false, "10.0.0.1", 8, 0, kBackspace, "10.0.0.", 7},
      {Input::AdrIP, false, "10.0.0.1", 3, 3, kBackspace, "10..1", 3},
      {Input::AdrPort, true, "CA", 2, 0, U'а', "CAF", 3},
      {Input::AdrPort, true, "CA", 2, 0, U'.', "CA", 0},
      {Input::AdrPort, true, "CA", 2, 0, U' ', "CA", 0},
      {Input::AdrPort, true, "CAF8", 0, 4, U'1', "1", 1},
      {Input::AdrPort, true, "CAF8", 1, 3, U'1', "CAF8", 0},
      {Input::AdrPort, false, "5196", 4, 0, U'0', "51960", 5},
      {Input::AdrPort, false, "51960", 5, 0, U'0', "51960", 0},
      {Input::AdrPort, false, "51960", 0, 5, U'7', "7", 1},
      {Input::AdrPort, false, "1", 1, 0, U'A', "1", 0},
      {Input::trepeat, false, "3", 1, 0, U'x', "3", 0},
      {Input::trepeat, false, "12345", 5, 0, U'6', "12345", 0},  // five digits hold the range
      {Input::trepeat, false, "65535", 0, 5, U'7', "7", 1},      // typed over the whole text
      {Input::trepeat, false, "12345", 1, 2, U'9', "1945", 2},   // over a part of it
      {Input::trepeat, false, "12345", 0, 5, U'x', "12345", 0},  // a refused key changes nothing
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(CommonSettingsForm::Label(c.input)) + " '" + c.before + "' key " +
                 std::to_string(static_cast<int>(c.key)));
    settings.PortInHex = c.hex;
    form.Show();
    form.TextEdited(c.input, c.before);
    bool changed = form.KeyTyped(c.input, c.key, c.selStart, c.selLength);
    EXPECT_EQ(form.Text(c.input), c.after);
    EXPECT_EQ(changed, std::string(c.before) != c.after);
    if (changed) {
      EXPECT_EQ(form.Caret(), c.caret);
    }
  }
}

TEST_F(CommonSettingsFormTest, ShowFillsTheInputsAndThePortFollowsTheBox) {
  CommonSettings& c = cfg.Common;
  c.AdrCAN = 0x0A;
  c.AdrExt = 0xF1;
  c.V_CAN = 3;
  c.V_Ethernet = 1;
  c.trepeat = 12;
  c.twaitCAN = 150;
  c.AdrPort = 51960;
  c.AdrIP = {192, 168, 0, 10};
  c.Mask = {255, 255, 255, 0};
  c.SWAP = true;
  settings.PortInHex = true;
  form.Show();
  EXPECT_EQ(form.Text(Input::AdrCAN), "0A");
  EXPECT_EQ(form.Text(Input::AdrExt), "F1");
  EXPECT_EQ(form.CanSpeed(), 3);
  EXPECT_EQ(form.Ethernet(), 1);
  EXPECT_EQ(form.Text(Input::trepeat), "12");
  EXPECT_EQ(form.Text(Input::twaitCAN), "150");
  EXPECT_EQ(form.Text(Input::AdrPort), "CAF8");
  EXPECT_EQ(form.Text(Input::AdrIP), "192.168.0.10");
  EXPECT_EQ(form.Text(Input::AdrGate), "255.255.255.255");
  EXPECT_EQ(form.Text(Input::Mask), "255.255.255.0");
  EXPECT_FALSE(form.Invers());
  EXPECT_TRUE(form.Swap());
  EXPECT_FALSE(form.Changed());
  EXPECT_EQ(form.MaxLength(Input::AdrPort), 4);

  // What was typed into the port is lost on switching; the refill is no change.
  Enter(Input::AdrPort, "1F");
  form.Show();
  form.SetPortInHex(false);
  EXPECT_EQ(form.Text(Input::AdrPort), "51960");
  EXPECT_EQ(form.MaxLength(Input::AdrPort), 5);
  EXPECT_FALSE(form.Changed());
  EXPECT_FALSE(settings.PortInHex);
  form.SetPortInHex(true);
  EXPECT_EQ(form.Text(Input::AdrPort), "CAF8");
}

TEST_F(CommonSettingsFormTest, ApplyWithoutChangesStoresNothingButRewritesDisplayChoices) {
  WriteFileBytes(ini, Utf8ToCp1251("[DopNastr]\r\nNameTask=длинное\r\nВид=10-тичный\r\nOld=1\r\n"));
  settings.ShortTaskNames = false;
  cfg.Common.AdrCAN = 0x10;
  form.Show();
  cfg.Common.AdrCAN = 0x11;  // changed behind the editor: applying an untouched editor keeps it
  form.SetPortInHex(true);
  EXPECT_TRUE(form.ApplyPressed());
  EXPECT_EQ(cfg.Common.AdrCAN, 0x11);
  EXPECT_FALSE(cfg.State.CommonChanged);
  EXPECT_EQ(Cp1251ToUtf8(ReadFileBytes(ini)), "[DopNastr]\r\nNameTask=длинное\r\nВид=16-тиричный\r\n");
  EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(CommonSettingsFormTest, ApplyStoresEveryInput) {
  form.Show();
  form.SetEthernet(1);
  EXPECT_TRUE(form.Changed());
  EXPECT_TRUE(form.ApplyPressed());
  EXPECT_EQ(cfg.Common.V_Ethernet, 1);
  EXPECT_TRUE(cfg.State.CommonChanged);

  cfg.State.CommonChanged = false;
  form.Show();
  Enter(Input::AdrCAN, "1f");
  form.SetCanSpeed(4);
  Enter(Input::trepeat, "600");
  Enter(Input::twaitCAN, "65535");
  Enter(Input::AdrExt, "ф0");
  Enter(Input::AdrPort, "502");
  Enter(Input::AdrIP, "10.1.2.3");
  Enter(Input::AdrGate, ".10.1.2.254");  // a leading dot is accepted
  Enter(Input::Mask, "255.0.0.0");
  form.SetInvers(true);
  EXPECT_TRUE(form.ApplyPressed());
  const CommonSettings& c = cfg.Common;
  EXPECT_EQ(c.AdrCAN, 0x1F);
  EXPECT_EQ(c.V_CAN, 4);
  EXPECT_EQ(c.trepeat, 600);
  EXPECT_EQ(c.twaitCAN, 65535);
  EXPECT_EQ(c.AdrExt, 0xA0);
  EXPECT_EQ(c.AdrPort, 502);
  EXPECT_EQ(c.AdrIP, (std::array<std::uint8_t, 4>{10, 1, 2, 3}));
  EXPECT_EQ(c.AdrGate, (std::array<std::uint8_t, 4>{10, 1, 2, 254}));
  EXPECT_EQ(c.Mask, (std::array<std::uint8_t, 4>{255, 0, 0, 0}));
  EXPECT_TRUE(c.Invers);
  EXPECT_FALSE(c.SWAP);
  EXPECT_EQ(c.AdrMAC, (std::array<std::uint8_t, 6>{255, 255, 255, 255, 255, 255}));
  EXPECT_TRUE(cfg.State.CommonChanged);
  EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(CommonSettingsFormTest, ValidationStopsAtTheFirstFailureWithFieldsBeforeItStored) {
  // Each case breaks one input of an otherwise valid editor; the inputs before it are stored
  // (AdrCAN 0x1F comes first), those after it are not, and CommonChanged stays clear.
  struct Case {
    Input input;
    const char* text;
    bool hex;
    const char* message;
    std::optional<Input> focus;
    bool canStored;   // AdrCAN (before everything)
    bool portStored;  // AdrPort (input 7)
  } cases[] = {
      {Input::AdrCAN, "", false, "Введите адрес по шине CAN-BUS.", std::nullopt, false, false},
      {Input::AdrCAN, ".", false, "\".\" не является шестнадцатеричным числом.", Input::AdrCAN, false, false},
      {Input::trepeat, "", false, "Введите период опроса.", Input::trepeat, true, false},
      {Input::trepeat, "70000", false, "Величина периода опроса не должна превышать 65535 с.", std::nullopt,
       true, false},
      {Input::twaitCAN, "", false, "Введите время ожидания ответа по CAN-BUS.", Input::twaitCAN, true, false},
      {Input::twaitCAN, "65536", false,
       "Величина времени ожидания ответа по CAN-BUS не должна превышать 65535 мс.", std::nullopt, true,
       false},
      {Input::AdrExt, "", false, "Введите адрес Modbus.", Input::AdrExt, true, false},
      {Input::AdrExt, " 1", false, "\" 1\" не является шестнадцатеричным числом.", Input::AdrExt, true,
       false},
      {Input::AdrPort, "", false, "Введите адрес порта CAN.", Input::AdrPort, true, false},
      {Input::AdrPort, "65536", false, "Неправильно введен адрес порта CAN.", Input::AdrPort, true, false},
      {Input::AdrPort, "1A", false, "\"1A\" не является десятичным числом.", Input::AdrPort, true, false},
      {Input::AdrPort, "", true, "Введите адрес порта CAN.", Input::AdrPort, true, false},
      {Input::AdrPort, "1G", true, "\"1G\" не является шестнадцатеричным числом.", Input::AdrPort, true,
       false},
      {Input::AdrIP, "", true, "Введите адрес IP.", Input::AdrIP, true, true},  // the port went in as 0x502
      {Input::AdrIP, "", false, "Введите адрес IP.", Input::AdrIP, true, true},
      {Input::AdrIP, "192.168.0.256", false, "Неправильно введен адрес IP.", Input::AdrIP, true, true},
      {Input::AdrGate, "", false, "Введите адрес шлюза.", Input::AdrGate, true, true},
      {Input::AdrGate, "1.2.3", false, "Неправильно введен адрес шлюза.", Input::AdrGate, true, true},
      {Input::Mask, "", false, "Введите маску подсети.", Input::Mask, true, true},
      {Input::Mask, "255.255.255.0.", false, "Неправильно введена маска подсети.", Input::Mask, true, true},
      {Input::Mask, "A.0.0.0", false, "Неправильно введена маска подсети.", Input::Mask, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(CommonSettingsForm::Label(c.input)) + " = '" + c.text + "'");
    cfg.ResetForNew();
    settings.PortInHex = c.hex;
    form.Show();
    Enter(Input::AdrCAN, "1F");
    Enter(Input::AdrPort, "502");
    form.TextEdited(c.input, c.text);  // bypasses the key filter, like a paste
    dialogs.shown.clear();
    EXPECT_FALSE(form.ApplyPressed());
    EXPECT_EQ(dialogs.shown, std::vector<std::string>{c.message});
    EXPECT_EQ(form.TakeFocus(), c.focus);
    EXPECT_EQ(cfg.Common.AdrCAN, c.canStored ? 0x1F : 0);
    // The port field holds "502", read by the form the box gives it.
    EXPECT_EQ(cfg.Common.AdrPort, c.portStored ? (c.hex ? 0x502 : 502) : 0xFFFF);
    EXPECT_FALSE(cfg.State.CommonChanged);
    EXPECT_TRUE(form.Changed());  // the editor stays open with its inputs
  }
}

TEST_F(CommonSettingsFormTest, RejectedAddressLeavesTheStoredAddressWhole) {
  cfg.Common.AdrIP = {192, 168, 0, 10};
  cfg.Common.Mask = {255, 255, 255, 0};
  form.Show();
  for (const char* text : {"1.2.3.4.5", "9.300", "7.8.x.9"}) {
    SCOPED_TRACE(text);
    form.TextEdited(Input::AdrIP, text);
    EXPECT_FALSE(form.ApplyPressed());
    EXPECT_EQ(cfg.Common.AdrIP, (std::array<std::uint8_t, 4>{192, 168, 0, 10}));
  }
  form.TextEdited(Input::AdrIP, "10.0.0.1");
  form.TextEdited(Input::Mask, "255.255.0.300");
  EXPECT_FALSE(form.ApplyPressed());
  EXPECT_EQ(cfg.Common.AdrIP, (std::array<std::uint8_t, 4>{10, 0, 0, 1}));
  EXPECT_EQ(cfg.Common.Mask, (std::array<std::uint8_t, 4>{255, 255, 255, 0}));
}

TEST_F(CommonSettingsFormTest, PeriodSpinFieldKeepsItsRange) {
  form.Show();
  Enter(Input::trepeat, "70000");
  form.FieldLeft(Input::trepeat);
  EXPECT_EQ(form.Text(Input::trepeat), "65535");
  Enter(Input::trepeat, "0");
  form.FieldLeft(Input::trepeat);
  EXPECT_EQ(form.Text(Input::trepeat), "1");
  form.Step(Input::trepeat, -1);
  EXPECT_EQ(form.Text(Input::trepeat), "1");
  form.Step(Input::trepeat, +1);
  EXPECT_EQ(form.Text(Input::trepeat), "2");
  Enter(Input::trepeat, "");
  form.FieldLeft(Input::trepeat);  // an empty text stays empty until "Применить" reports it
  EXPECT_EQ(form.Text(Input::trepeat), "");

  // The port in hexadecimal: the applied value is read as hexadecimal.
  form.SetPortInHex(true);
  form.Show();
  Enter(Input::AdrPort, "1f90");
  EXPECT_EQ(form.Text(Input::AdrPort), "1F90");
  EXPECT_TRUE(form.ApplyPressed());
  EXPECT_EQ(cfg.Common.AdrPort, 0x1F90);
}

}  // namespace
}  // namespace r770
