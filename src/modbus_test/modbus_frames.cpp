#include "modbus_test/modbus_frames.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/number_forms.h"

namespace r770 {
namespace {

constexpr const char* kModbusErrorTexts[kModbusErrorMax + 1] = {
    "OK",
    "Нет ответа от устройства",
    "Неверная функция",
    "Неверный адрес данных или нет ответа от Slave устройства",
    "Неверное значение данных",
    "Неверная длина ответа",
    "Подтверждение приема",
    "Устройство Slave находится в состоянии занятости",
    "Неподтверждение приема",
    "Ошибка контроля по четности при обращении к памяти",
    "Ошибка приема",
    "Путь шлюза недоступен",
    "Выбранный шлюз выдал ошибку при ответе",
};

}  // namespace

std::array<std::uint8_t, kTestRequestSize> BuildTestRequest(std::uint8_t unit, std::uint16_t reg) {
  return {0x00,
          0x00,
          0x00,
          0x00,
          0x00,
          0x06,
          unit,
          0x03,
          static_cast<std::uint8_t>(reg >> 8),
          static_cast<std::uint8_t>(reg & 0xFF),
          0x00,
          0x02};
}

std::string ModbusErrorText(int index) {
  if (index < 0 || index > kModbusErrorMax) return {};
  return kModbusErrorTexts[index];
}

std::string ModbusErrorNote(int index) {
  return ModbusErrorText(index) + " (код ошибки " + std::to_string(index - 1) + ")";
}

std::string ModbusBadLengthNote() { return ModbusErrorText(kModbusBadLengthIndex); }

bool IsExceptionAnswer(std::span<const std::uint8_t> answer) {
  return answer.size() > 7 && (answer[7] & 0x80) != 0;
}

float AssembleTestFloat(std::uint8_t d1, std::uint8_t d2, std::uint8_t d3, std::uint8_t d4, bool invert,
                        bool swap) {
  // The value's bytes, least significant first.
  std::uint8_t b[4];
  if (!invert && !swap) {
    b[0] = d1;
    b[1] = d2;
    b[2] = d3;
    b[3] = d4;
  } else if (!invert && swap) {
    b[0] = d2;
    b[1] = d1;
    b[2] = d4;
    b[3] = d3;
  } else if (invert && !swap) {
    b[0] = d4;
    b[1] = d3;
    b[2] = d2;
    b[3] = d1;
  } else {
    b[0] = d3;
    b[1] = d4;
    b[2] = d1;
    b[3] = d2;
  }
  std::uint32_t bits =
      std::uint32_t{b[0]} | std::uint32_t{b[1]} << 8 | std::uint32_t{b[2]} << 16 | std::uint32_t{b[3]} << 24;
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

std::string FormatTestFloat(double value, std::string_view sep) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  const bool negative = std::signbit(value);
  // Ten significant digits: d.ddddddddde±X
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.9e", std::fabs(value));
  char digits[10];
  int n = 0;
  for (const char* p = buf; *p && *p != 'e' && n < 10; ++p)
    if (*p >= '0' && *p <= '9') digits[n++] = *p;
  const char* e = std::strchr(buf, 'e');
  int exponent = e ? std::atoi(e + 1) : 0;
  std::string sign = negative ? "-" : "";

  if (exponent >= 10) {
    std::string out = sign;
    out.push_back(digits[0]);
    out.append(sep);
    out.append(digits + 1, 9);
    char exp[16];
    std::snprintf(exp, sizeof exp, "E+%02d", exponent);
    return out + exp;
  }

  // Fixed notation, rounded once from the value's exact decimal expansion, half away from
  // zero: at the fourth decimal, or earlier where the integer part leaves fewer than four of
  // the ten significant digits.
  char exact[512];
  std::snprintf(exact, sizeof exact, "%.200f", std::fabs(value));
  const char* point = std::strchr(exact, '.');
  const int intDigits = static_cast<int>(point - exact);
  const int decimals = std::min(4, 10 - (exact[0] == '0' ? 1 : intDigits));
  std::uint64_t units = 0;  // the value in units of 10^-decimals
  for (const char* p = exact; p < point; ++p) units = units * 10 + static_cast<std::uint64_t>(*p - '0');
  for (int i = 1; i <= decimals; ++i) units = units * 10 + static_cast<std::uint64_t>(point[i] - '0');
  if (point[decimals + 1] >= '5') ++units;
  for (int i = decimals; i < 4; ++i) units *= 10;
  if (units == 0) sign.clear();
  char out[64];
  std::snprintf(out, sizeof out, "%llu", static_cast<unsigned long long>(units / 10000));
  char frac[8];
  std::snprintf(frac, sizeof frac, "%04llu", static_cast<unsigned long long>(units % 10000));
  return sign + out + std::string(sep) + frac;
}

TestReadResult DecodeTestAnswer(int code, const std::string& text, std::span<const std::uint8_t> answer,
                                bool invert, bool swap, std::string_view sep) {
  TestReadResult r;
  if (code != 0) {
    if (code >= 1 && code <= kModbusErrorMax) {
      r.index = code;
      r.note = ModbusErrorNote(code);
    } else {
      // The raw exchange gave a code the Modbus table has no text for: show the link's own
      // message and its code.
      r.index = code;
      std::string message = Trim(text);
      if (message.empty()) message = "Ошибка обмена";
      r.note = message + " (код ошибки обмена " + std::to_string(code) + ")";
    }
    return r;
  }
  bool exceptionCode = false;
  if (answer.size() < 8) {
    r.index = kModbusBadLengthIndex;
  } else if (IsExceptionAnswer(answer)) {
    if (answer.size() < 9) {
      r.index = kModbusBadLengthIndex;
    } else {
      int k = answer[8];
      r.index = k + 1 > kModbusErrorMax ? kModbusErrorMax : k + 1;
      exceptionCode = true;
    }
  } else if (answer.size() == kTestFloatAnswerSize) {
    r.value =
        FormatTestFloat(AssembleTestFloat(answer[9], answer[10], answer[11], answer[12], invert, swap), sep);
    return r;
  } else if (answer.size() >= 11) {
    r.value = std::to_string(answer[9] * 256 + answer[10]);
    return r;
  } else {
    r.index = kModbusBadLengthIndex;
  }
  r.note = exceptionCode ? ModbusErrorNote(r.index) : ModbusBadLengthNote();
  return r;
}

}  // namespace r770
