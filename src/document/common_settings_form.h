// CommonSettingsForm: the logic of TFCommon, the editor of the module's common settings
// (CAN-BUS and Modbus addresses, speeds, times, IP port and addresses). It filters every
// typed key, keeps a change mark, and on "Применить" validates the inputs in order, storing
// each into the configuration as soon as it has passed.
#pragma once
#include <array>
#include <optional>
#include <string>

#include "document/configuration.h"
#include "document/program_settings.h"

namespace r770 {

class Dialogs;

class CommonSettingsForm {
 public:
  // The inputs, in the order of the checks.
  enum class Input {
    AdrCAN = 0,
    V_CAN,
    trepeat,
    twaitCAN,
    AdrExt,
    V_Ethernet,
    AdrPort,
    AdrIP,
    AdrGate,
    Mask,
    Invers,
    SWAP,
    Count_
  };

  static constexpr const char* kCaption = "Общие настройки";
  static constexpr const char* kApplyButton = "Применить";
  static constexpr const char* kPortInHexBox = "в 16-тиричном виде";
  static constexpr const char* kFloatGroup = "Порядок байт в числах с плавающей запятой";
  // Label of an input ("\n" breaks the line); empty for none.
  static const char* Label(Input input);
  // What the input's key filter accepts (its tooltip); null for an input without one.
  static const char* KeyHint(Input input, bool portInHex);
  static constexpr std::array<const char*, 5> kCanSpeedItems{"300", "150", "100", "  50", "  20"};
  static constexpr std::array<const char*, 2> kEthernetItems{"Авто ", "10 МБит/с"};
  static constexpr int kTrepeatMin = 1;
  static constexpr int kTrepeatMax = 65535;

  CommonSettingsForm(Dialogs& dialogs, Configuration& cfg, ProgramSettings& settings,
                     std::string settingsPath);

  // --- what the window shows
  // Text of a text input (AdrCAN, trepeat, twaitCAN, AdrExt, AdrPort, AdrIP, AdrGate, Mask).
  const std::string& Text(Input input) const { return texts_[Index(input)]; }
  int CanSpeed() const { return canSpeed_; }  // position in kCanSpeedItems, -1 none
  int Ethernet() const { return ethernet_; }  // position in kEthernetItems, -1 none
  bool Invers() const { return invers_; }
  bool Swap() const { return swap_; }
  bool PortInHex() const { return settings_.PortInHex; }
  // Characters a text input holds at most (the port's depends on the number form).
  int MaxLength(Input input) const;
  bool Changed() const { return changed_; }
  std::optional<Input> TakeFocus() {
    auto f = focus_;
    focus_.reset();
    return f;
  }

  // --- events
  void Show();
  // A key typed into a text input with the caret at selStart and selLength characters
  // selected (character positions). Returns true when the text changed; caret() is then
  // where the caret goes.
  bool KeyTyped(Input input, char32_t key, int selStart, int selLength);
  int Caret() const { return caret_; }
  // A text input changed by other editing (delete key, cut).
  void TextEdited(Input input, const std::string& text);
  // The spin field's arrows: one step up (+1) or down (-1).
  void Step(Input input, int delta);
  void FieldLeft(Input input);
  void SetCanSpeed(int position);
  void SetEthernet(int position);
  void SetInvers(bool on);
  void SetSwap(bool on);
  void SetPortInHex(bool on);
  // "Применить": true when the window closes.
  bool ApplyPressed();

 private:
  static std::size_t Index(Input i) { return static_cast<std::size_t>(i); }
  void SetInputText(Input input, const std::string& text);
  void FillPort();
  // Validate and store; false at the first failing check (with its message shown).
  bool ValidateAndStore();
  bool Fail(const std::string& message, std::optional<Input> focus);

  Dialogs& dialogs_;
  Configuration& cfg_;
  ProgramSettings& settings_;
  std::string settingsPath_;

  std::array<std::string, static_cast<std::size_t>(Input::Count_)> texts_;
  int canSpeed_ = 0;
  int ethernet_ = 0;
  bool invers_ = false;
  bool swap_ = false;
  bool changed_ = false;
  int caret_ = 0;
  std::optional<Input> focus_;
};

}  // namespace r770
