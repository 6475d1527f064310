// The two small settings windows of the exchange:
//  * ExchangeSettingsForm, the logic of TFNastrObm ("Настройка обмена"): the link to the module
//    (CAN-BUS adapter on a serial port, or Ethernet), its parameters and the module's network
//    number, kept in ProgramSettings and the section "Parametr" of the settings file;
//  * AdditionalSettingsForm, the logic of TFDopNastr ("Дополнительные настройки"): long or
//    short task names in the parameter trees, kept in the section "DopNastr".
#pragma once
#include <array>
#include <optional>
#include <string>
#include <utility>

#include "document/configuration.h"
#include "document/program_settings.h"

namespace r770 {

class Dialogs;

class ExchangeSettingsForm {
 public:
  enum class Field { LinkKind, ComPort, Retries, PcNumber, Speed, AnswerTime, ModuleNumber, IP, Port };

  static constexpr const char* kCaption = "Настройка обмена";
  static constexpr const char* kLinkKindTitle = "Вид связи";
  static constexpr std::array<const char*, 2> kLinkKindItems{"Ethernet", "CAN-BUS"};
  static constexpr const char* kComPortTitle = "Последовательный порт";
  static constexpr const char* kRetriesLabel = "Количество повторов";
  static constexpr const char* kPcNumberLabel = "Сетевой номер ПК (Hex)";
  static constexpr const char* kSpeedTitle = "Скорость CAN-BUS (Kбод)";
  static constexpr const char* kAnswerTimeLabel = "Максимальное время ожидания ответа (в секундах)";
  static constexpr int kAnswerTimeMax = 600;
  static constexpr const char* kBadAnswerTimeMessage =
      "Неверно введено время ожидания ответа: целое число секунд от 1 до 600";
  static constexpr const char* kModuleNumberLabel = "Сетевой номер R-770 (Hex)";
  static constexpr const char* kEthernetTitle = "Ethernet";
  static constexpr const char* kIPLabel = "IP адрес";
  static constexpr const char* kPortLabel = "Адрес порта";
  static constexpr const char* kApplyButton = "Применить";
  static constexpr const char* kFromDocumentButton = "Взять из документа";
  static constexpr const char* kFromDocumentHint =
      "Взять IP адрес и адрес порта модуля из общих настроек открытого документа";
  static constexpr const char* kEmptyIPMessage = "Введите адрес IP.";
  static constexpr const char* kBadIPMessage = "Неправильно введен адрес IP.";
  static constexpr const char* kEmptyPortMessage = "Введите адрес порта.";
  static constexpr const char* kBadPortMessage = "Неправильно введен адрес порта.";
  static constexpr int kIPMaxLength = 15;
  static constexpr int kModuleNumberMaxLength = 2;
  static constexpr int kRetriesMin = 1;
  static constexpr int kRetriesMax = 20;

  ExchangeSettingsForm(Dialogs& dialogs, ProgramSettings& settings, std::string settingsPath);

  // --- what the window shows
  LinkKindSetting LinkKind() const { return linkKind_; }
  int ComPort() const { return comPort_; }  // 0..7, -1 none chosen
  int Retries() const { return retries_; }
  const std::string& PcNumber() const { return pcNumber_; }
  int Speed() const { return speed_; }  // position in kAdapterSpeedItems, -1 none chosen
  const std::string& AnswerTime() const { return answerTime_; }
  const std::string& ModuleNumber() const { return moduleNumber_; }
  const std::string& IP() const { return ip_; }
  // The module's TCP port, in hexadecimal or decimal as the common settings editor shows it.
  const std::string& Port() const { return port_; }
  // The port is hexadecimal text here, whatever the common settings editor shows.
  bool PortInHex() const { return true; }
  int PortMaxLength() const { return 4; }
  bool Visible(Field f) const;
  bool Editable(Field f) const;
  bool Changed() const { return changed_; }
  // True once after Show: the focus goes to "Вид связи".
  bool TakeFocusOnLinkKind() {
    bool f = focusLinkKind_;
    focusLinkKind_ = false;
    return f;
  }

  // The field to put the focus on after a refusal, once.
  std::optional<Field> TakeFocus() {
    auto f = focus_;
    focus_.reset();
    return f;
  }

  // --- events
  void Show();
  void SetLinkKind(LinkKindSetting kind);
  void SetComPort(int position);
  void SetRetries(int count);
  void SetPcNumber(const std::string& text);
  void SetSpeed(int position);
  void SetAnswerTime(const std::string& text);
  void SetModuleNumber(const std::string& text);
  // The Ethernet fields (editable only for Ethernet).
  void SetIP(const std::string& text);
  void SetPort(const std::string& text);
  // "Взять из документа": the document's IP address and port into the Ethernet fields.
  // A document whose address was never set (all 255) is refused with a message.
  void TakeFromDocument(const CommonSettings& document);
  // "Применить": true when the window closes.
  bool ApplyPressed();
  // Closing by any other means: true when the window may close.
  bool CloseRequested();

 private:
  // Takes the fields into the settings and writes "Parametr"; false when a field is
  // refused (nothing is taken then) or writing failed.
  bool TakeAndWrite();
  // The answer time field's seconds, 1 to kAnswerTimeMax; none when it is refused.
  std::optional<std::uint32_t> AnswerTimeValue() const;
  // The port field's value in the base it is shown in; none when it does not convert or
  // does not fit 16 bits.
  std::optional<std::uint32_t> PortValue() const;
  std::string PortText(std::int64_t port) const;
  // The first refused field with its message (answer time, then for Ethernet the address
  // and the port); empty when every field passes.
  std::optional<std::pair<Field, std::string>> Refusal() const;
  // Shows a refusal and marks its field for the focus; false when there is one.
  bool Accepted();

  Dialogs& dialogs_;
  ProgramSettings& settings_;
  std::string settingsPath_;

  LinkKindSetting linkKind_ = LinkKindSetting::CanBus;
  int comPort_ = -1;
  int retries_ = 3;
  std::string pcNumber_;
  int speed_ = -1;
  std::string answerTime_;
  std::string moduleNumber_;
  std::string ip_;
  std::string port_;
  bool changed_ = false;
  bool focusLinkKind_ = false;
  std::optional<Field> focus_;
};

class AdditionalSettingsForm {
 public:
  static constexpr const char* kCaption = "Дополнительные настройки";
  static constexpr const char* kTaskNameTitle = "Название задачи";
  static constexpr std::array<const char*, 2> kTaskNameItems{"длинное", "короткое"};
  static constexpr const char* kApplyButton = "Применить";

  AdditionalSettingsForm(Dialogs& dialogs, ProgramSettings& settings, std::string settingsPath);

  int TaskName() const { return choice_; }  // 0 long, 1 short

  void Show();
  void SetTaskName(int position);
  // "Применить": true when the window closes.
  bool ApplyPressed();

 private:
  Dialogs& dialogs_;
  ProgramSettings& settings_;
  std::string settingsPath_;
  int choice_ = 1;
};

}  // namespace r770
