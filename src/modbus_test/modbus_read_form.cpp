#include "modbus_test/modbus_read_form.h"

#include <algorithm>
#include <array>

#include "common/codec.h"
#include "common/day_log.h"
#include "common/dialogs.h"
#include "common/key_filter.h"
#include "common/modbus_address.h"
#include "common/number_forms.h"
#include "modbus_test/modbus_frames.h"

namespace r770 {

std::string ModbusReadForm::AddressTooltip(const ModbusReadRow& row) {
  const auto address = ParseUDec(row.address);
  return address ? OneBasedText(*address) : std::string();
}

std::optional<std::vector<std::uint16_t>> ParseRegisterList(const std::string& text) {
  std::vector<std::uint16_t> out;
  std::size_t start = 0;
  while (true) {
    std::size_t comma = text.find(',', start);
    std::string_view piece(text.data() + start, (comma == std::string::npos ? text.size() : comma) - start);
    auto v = ParseUDec(piece);
    if (!v || *v > 0xFFFF) return std::nullopt;
    out.push_back(static_cast<std::uint16_t>(*v));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return out;
}

ModbusReadForm::ModbusReadForm(const ProgramSettings& settings, Dialogs& dialogs, BusyIndicator& busy,
                               ModbusTestLink& link, DayLog& log)
    : settings_(settings), dialogs_(dialogs), busy_(busy), link_(link), log_(log) {
  ResetTable();
}

bool ModbusReadForm::RegistersKey(char32_t key) {
  return key == kBackspace || key == U',' || (key >= U'0' && key <= U'9');
}

bool ModbusReadForm::KeyTyped(char32_t key, int selStart, int selLength) {
  const std::string before = registersText;
  KeyEdit edit = ApplyKey(before, RegistersKey(key) ? std::optional(key) : std::nullopt, selStart, selLength);
  caret_ = edit.caret;
  registersText = std::move(edit.text);
  return registersText != before;
}

void ModbusReadForm::ResetTable() { rows_.assign(1, ModbusReadRow{"1", "", "", ""}); }

void ModbusReadForm::Show() {
  if (reading_) return;
  closePending_ = false;
  ResetTable();
}

void ModbusReadForm::LogThunk(void* context, const std::string& text, int) {
  static_cast<ModbusReadForm*>(context)->TestLog(text);
}

void ModbusReadForm::TestLog(const std::string& text) {
  log_.Write(text);
  busy_.PumpEvents();
}

bool ModbusReadForm::OpenTestLink() {
  TestLinkParams p;
  p.Host = settings_.IP_AdrTest;
  p.Port = settings_.PortTcpTest;
  // A receive time-out of 0 would make the socket wait for ever: at least one second.
  p.TimeoutSec = std::max<std::int32_t>(settings_.TimeAnswerTest, 1);
  p.Retries = 2;
  std::string text;
  linkOpen_ = link_.Open(p, text, &ModbusReadForm::LogThunk, this);
  if (!linkOpen_) dialogs_.Information(text);
  return linkOpen_;
}

void ModbusReadForm::Read() {
  if (reading_) return;  // pressed again while pending input runs inside a reading
  ResetTable();
  if (registersText.empty()) {
    dialogs_.Information("Не введен номер регистра");
    return;
  }
  auto regs = ParseRegisterList(registersText);
  if (!regs) {
    dialogs_.Information("Неверно введены номера регистров");
    return;
  }

  reading_ = true;
  busy_.SetBusy(true);
  if (!OpenTestLink()) {
    busy_.SetBusy(false);
    reading_ = false;
    return;
  }

  progressMaximum_ = static_cast<int>(regs->size());
  progressPosition_ = 0;
  std::array<std::uint8_t, kTestAnswerBuffer> answer{};
  for (std::size_t j = 0; j < regs->size() && !closePending_; ++j) {
    const std::uint16_t reg = (*regs)[j];
    auto request = BuildTestRequest(settings_.SetModTest, reg);
    progressVisible_ = true;

    int code = 0, length = 0;
    std::string text;
    for (int attempt = 0; attempt < 2; ++attempt) {
      length = 0;
      code = link_.RawExchange(request, answer, length, text);
      length = std::clamp(length, 0, static_cast<int>(answer.size()));
      // Only an exception answer is asked again.
      if (!(code == 0 && IsExceptionAnswer(std::span(answer.data(), length)))) break;
    }
    busy_.SetBusy(false);

    TestReadResult r = DecodeTestAnswer(code, text, std::span<const std::uint8_t>(answer.data(), length),
                                        settings_.InversModTest, settings_.SwapModTest, decimalSeparator);
    if (rows_.size() < j + 1) rows_.resize(j + 1);
    rows_[j] = ModbusReadRow{std::to_string(j + 1), std::to_string(reg), r.value, r.note};
    rows_.push_back(ModbusReadRow{});
    progressPosition_ = static_cast<int>(j + 1);
  }
  progressPosition_ = 0;
  progressVisible_ = false;
  busy_.SetBusy(false);
  reading_ = false;
}

bool ModbusReadForm::RequestClose() {
  if (reading_) {
    closePending_ = true;
    return false;
  }
  link_.Close();
  linkOpen_ = false;
  return true;
}

}  // namespace r770
