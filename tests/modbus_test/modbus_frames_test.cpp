#include "modbus_test/modbus_frames.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace r770 {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(ModbusFrames, ReadRequest) {
  auto r = BuildTestRequest(0x01, 100);
  EXPECT_EQ(Bytes(r.begin(), r.end()),
            (Bytes{0x00, 0x00, 0x00, 0x00, 0x00, 0x06, 0x01, 0x03, 0x00, 0x64, 0x00, 0x02}));
  r = BuildTestRequest(0xF7, 0xABCD);
  EXPECT_EQ(r[6], 0xF7);
  EXPECT_EQ(r[8], 0xAB);
  EXPECT_EQ(r[9], 0xCD);
}

TEST(ModbusFrames, FloatInFourByteOrders) {
  struct Case {
    Bytes d;
    bool invert, swap;
    float value;
  } cases[] = {
      {{0x00, 0x00, 0x80, 0x3F}, false, false, 1.0f},
      {{0x00, 0x00, 0x3F, 0x80}, false, true, 1.0f},
      {{0x3F, 0x80, 0x00, 0x00}, true, false, 1.0f},
      {{0x80, 0x3F, 0x00, 0x00}, true, true, 1.0f},
      // 0x40490FDB = 3.14159274; the orders move distinct bytes, so a wrong table shows.
      {{0xDB, 0x0F, 0x49, 0x40}, false, false, 3.14159274f},
      {{0x0F, 0xDB, 0x40, 0x49}, false, true, 3.14159274f},
      {{0x40, 0x49, 0x0F, 0xDB}, true, false, 3.14159274f},
      {{0x49, 0x40, 0xDB, 0x0F}, true, true, 3.14159274f},
  };
  for (const auto& c : cases)
    EXPECT_EQ(AssembleTestFloat(c.d[0], c.d[1], c.d[2], c.d[3], c.invert, c.swap), c.value)
        << c.invert << c.swap;
}

TEST(ModbusFrames, FloatText) {
  struct Case {
    double v;
    const char* sep;
    const char* text;
  } cases[] = {
      {1.0, ",", "1,0000"},
      {1.0, ".", "1.0000"},
      {0.0, ",", "0,0000"},
      {-0.0, ",", "0,0000"},
      {-2.5, ",", "-2,5000"},
      {100.25, ",", "100,2500"},
      {0.00005, ",", "0,0001"},  // half rounds up
      {0.00004999, ",", "0,0000"},
      {-0.00001, ",", "0,0000"},
      {3.14159274, ",", "3,1416"},
      {12345.0146484375, ",", "12345,0146"},  // 46 40 E4 0F: rounded once, not via 12345.01465
      {-12345.0146484375, ",", "-12345,0146"},
      {0.03125, ",", "0,0313"},  // exact ties go away from zero
      {-0.03125, ",", "-0,0313"},
      {0.96875, ",", "0,9688"},
      {2.34375, ",", "2,3438"},
      {0.00146484375, ",", "0,0015"},
      {1234567.0625, ",", "1234567,0630"},  // ten significant digits: a tie at the third decimal
      {1234567.125, ",", "1234567,1250"},
      {9999999999.4, ",", "9999999999,0000"},
      {9999999999.6, ",", "1,000000000E+10"},
      {123456.789, ",", "123456,7890"},
      {123456789.123, ",", "123456789,1000"},  // ten significant digits
      {9999999999.0, ",", "9999999999,0000"},
      {99999999990.0, ",", "9,999999999E+10"},
      {1e10, ",", "1,000000000E+10"},
      {-3.4028234663852886e38, ".", "-3.402823466E+38"},
      {1e-40, ",", "0,0000"},
      {std::numeric_limits<double>::quiet_NaN(), ",", "NAN"},
      {std::numeric_limits<double>::infinity(), ",", "INF"},
      {-std::numeric_limits<double>::infinity(), ",", "-INF"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatTestFloat(c.v, c.sep), c.text) << c.v;
  // The same value as the module sends it, most significant byte first.
  EXPECT_EQ(DecodeTestAnswer(0, "", Bytes{0, 0, 0, 0, 0, 7, 1, 0x03, 0x04, 0x46, 0x40, 0xE4, 0x0F}, true,
                             false, ",")
                .value,
            "12345,0146");
}

TEST(ModbusFrames, ErrorTextsAndNotes) {
  EXPECT_EQ(ModbusErrorText(0), "OK");
  EXPECT_EQ(ModbusErrorText(12), "Выбранный шлюз выдал ошибку при ответе");
  EXPECT_EQ(ModbusErrorText(13), "");
  EXPECT_EQ(ModbusErrorText(-1), "");
  EXPECT_EQ(ModbusErrorNote(3), "Неверный адрес данных или нет ответа от Slave устройства (код ошибки 2)");
  EXPECT_EQ(ModbusErrorNote(1), "Нет ответа от устройства (код ошибки 0)");
}

Bytes Answer(Bytes tail) {
  Bytes a{0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01};
  for (auto b : tail) a.push_back(b);
  a[5] = static_cast<std::uint8_t>(a.size() - 6);
  return a;
}

TEST(ModbusFrames, DecodeAnswers) {
  struct Case {
    const char* what;
    int code;
    Bytes answer;
    bool swap;
    int index;
    const char* value;
    const char* note;
  } cases[] = {
      {"float, swap", 0, Answer({0x03, 0x04, 0x00, 0x00, 0x3F, 0x80}), true, 0, "1,0000", ""},
      {"float, no swap", 0, Answer({0x03, 0x04, 0x00, 0x00, 0x80, 0x3F}), false, 0, "1,0000", ""},
      {"11 bytes: 16-bit", 0, Answer({0x03, 0x02, 0x01, 0x2C}), true, 0, "300", ""},
      {"longer: 16-bit", 0, Answer({0x03, 0x06, 0xFF, 0xFF, 0, 0, 0, 0}), true, 0, "65535", ""},
      {"exception 2", 0, Answer({0x83, 0x02}), true, 3, "",
       "Неверный адрес данных или нет ответа от Slave устройства (код ошибки 2)"},
      {"exception 11", 0, Answer({0x83, 0x0B}), true, 12, "",
       "Выбранный шлюз выдал ошибку при ответе (код ошибки 11)"},
      {"exception 15", 0, Answer({0x83, 0x0F}), true, 12, "",
       "Выбранный шлюз выдал ошибку при ответе (код ошибки 11)"},
      {"exception 255", 0, Answer({0x83, 0xFF}), true, 12, "",
       "Выбранный шлюз выдал ошибку при ответе (код ошибки 11)"},
      {"exception 0", 0, Answer({0x83, 0x00}), true, 1, "", "Нет ответа от устройства (код ошибки 0)"},
      {"no answer", 1, {}, true, 1, "", "Нет ответа от устройства (код ошибки 0)"},
      // Answers too short for what they claim to carry are not read past their end.
      {"exception without code", 0, Answer({0x83}), true, 5, "", "Неверная длина ответа"},
      {"one data byte", 0, Answer({0x03, 0x01, 0x07}), true, 5, "", "Неверная длина ответа"},
      {"header only", 0, Bytes{0, 0, 0, 0, 0, 1, 1}, true, 5, "", "Неверная длина ответа"},
      // A real exception 4 keeps its code.
      {"exception 4", 0, Answer({0x83, 0x04}), true, 5, "", "Неверная длина ответа (код ошибки 4)"},
  };
  for (const auto& c : cases) {
    TestReadResult r = DecodeTestAnswer(c.code, "", c.answer, false, c.swap, ",");
    EXPECT_EQ(r.index, c.index) << c.what;
    EXPECT_EQ(r.value, c.value) << c.what;
    EXPECT_EQ(r.note, c.note) << c.what;
  }
}

TEST(ModbusFrames, CodeWithoutModbusTextShowsTheLinkMessage) {
  TestReadResult r = DecodeTestAnswer(-1, "Не установлены параметры связи", {}, false, true, ",");
  EXPECT_EQ(r.index, -1);
  EXPECT_EQ(r.note, "Не установлены параметры связи (код ошибки обмена -1)");
  r = DecodeTestAnswer(34, "  Проблема установки таймаута приема по TCP", {}, false, true, ",");
  EXPECT_EQ(r.note, "Проблема установки таймаута приема по TCP (код ошибки обмена 34)");
  EXPECT_TRUE(r.value.empty());
}

}  // namespace
}  // namespace r770
