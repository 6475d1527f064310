#include "link/exchange_engine.h"

#include <gtest/gtest.h>

#include <random>
#include <set>

#include "fake_engine.h"
#include "hex_bytes.h"

namespace r770 {
namespace {

using test::Bytes;
using test::FakeEngine;

TEST(ErrorText, GivesTheFixedTextOfEveryCode) {
  const char* expected[36] = {
      "  OK",
      "  Нет ответа от прибора ",
      "  Не получили все данные на запрос ",
      "  Ошибка записи в последовательный порт ",
      "  Выход по требованию оператора",
      "  Несовпадение CRC16",
      "  Ошибочная дата или время в ЛОРИС",
      "  Несовпадение номера пакета в управляющем байте ",
      "  Несовпадение адреса приема и передачи",
      "  Несовпадение длины приема и дублирующей длины",
      "  Ошибка дублирующего стартового байта",
      "  Ошибка признака конец передачи",
      "  Несовпадение контрольной суммы передачи",
      "  ОК ( положительная квитанция )",
      "  Ошибки передачи (отрицательная квитанция)",
      "  Ошибка преобразования даты",
      "  Ошибка преобразования времени",
      "  Несовпадение полученой длины данных и ожидаемой ",
      "  Не удалось открыть порт, возможно он занят другим приложением",
      "  У модуля отсутствует параметр дата/время ",
      "  Ошибка инициализации CAN-контроллера - нет ответа после команды сброс",
      "  Ошибка CAN-контроллера - нет несущей",
      "  Ошибка обмена - несовпадение номера пакета",
      "  Получен ответ от контроллера с другим номером ",
      "  Ошибочный ответ на команду сброс",
      "  Нет данных за указанный период",
      "  Несоответствие пароля и уровня доступа к параметрам",
      "  Проблема установки таймаута передачи по UDP",
      "  Проблема установки таймаута приема по UDP",
      "  Контроллер не перешел в состояние \"СТОП\"",
      "  Контроллер не перешел в состояние \"ПУСК\"",
      "  Не удалось установить соединение, IP ",
      "  Ошибка установки соединения по TCP ",
      "  Проблема установки таймаута передачи по TCP",
      "  Проблема установки таймаута приема по TCP",
      "35",
  };
  for (int code = 0; code < 36; ++code) EXPECT_EQ(ErrorText(code), expected[code]) << code;
  EXPECT_EQ(ErrorText(36), "Неопределенный код ошибки 36");
  EXPECT_EQ(ErrorText(-1), "Неопределенный код ошибки -1");
  EXPECT_EQ(ErrorText(58), "Неопределенный код ошибки 58");
}

TEST(FormatBytes, WritesTwoUpperCaseDigitsAndABlankPerByte) {
  EXPECT_EQ(FormatBytes(Bytes("10 41 01 01 1A F0 00 4D 16")), "10 41 01 01 1A F0 00 4D 16 ");
  EXPECT_EQ(FormatBytes(Bytes("0a ff")), "0A FF ");
  EXPECT_EQ(FormatBytes({}), "");
}

struct FrameCase {
  const char* block;
  std::uint8_t packet;
  std::uint8_t address;
  const char* frame;  // empty: refused
};

TEST(BuildFrame, ShortUpToFourUserBytesLongBeyond) {
  const FrameCase cases[] = {
      // read 0xF01A from module 1, packet 1: three user bytes, one zero fill byte
      {"03 01 1A F0", 1, 0x01, "10 41 01 01 1A F0 00 4D 16"},
      // four user bytes: no fill
      {"04 05 1A F0 01", 2, 0x01, "10 42 01 05 1A F0 01 53 16"},
      // one user byte: three fill bytes
      {"01 AA", 0, 0x10, "10 40 10 AA 00 00 00 FA 16"},
      // five user bytes: long frame with both length bytes 7
      {"05 15 04 03 02 00", 3, 0x07, "68 07 07 68 43 07 15 04 03 02 00 68 16"},
      // bytes after the block's length are not part of the frame
      {"03 01 1A F0 99 99", 1, 0x01, "10 41 01 01 1A F0 00 4D 16"},
      // malformed blocks
      {"", 1, 1, ""},
      {"00", 1, 1, ""},
      {"04 01 02 03", 1, 1, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(BuildFrame(Bytes(c.block), c.packet, c.address), Bytes(c.frame)) << c.block;
  }
}

TEST(BuildFrame, LargestFrameIs255Bytes) {
  std::vector<std::uint8_t> block(1 + kMaxBlockData, 0x01);
  block[0] = static_cast<std::uint8_t>(kMaxBlockData);
  const auto frame = BuildFrame(block, 5, 9);
  ASSERT_EQ(frame.size(), 255u);
  EXPECT_EQ(frame[1], kMaxBlockData + 2);
  EXPECT_EQ(frame[253], static_cast<std::uint8_t>(0x45 + 9 + kMaxBlockData));
  block.push_back(1);
  block[0] = static_cast<std::uint8_t>(kMaxBlockData + 1);
  EXPECT_TRUE(BuildFrame(block, 5, 9).empty());
}

TEST(NextPacketNumber, CountsOneToFifteenThenZeroOnFt12) {
  TTCPLink link;
  Clock& clock = SystemClock();
  FakeEngine engine(link, clock);
  std::vector<int> numbers;
  for (int i = 0; i < 17; ++i) numbers.push_back(engine.NextPacketNumber());
  EXPECT_EQ(numbers, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 0, 1}));
  engine.PacketCounter = 200;  // anything at or above 15 starts over
  EXPECT_EQ(engine.NextPacketNumber(), 0);
}

TEST(NextPacketNumber, CyclesFourValuesOnCan) {
  TCANbusLink link;
  FakeEngine engine(link, SystemClock());
  EXPECT_EQ(engine.FrameMode, FrameCan);
  EXPECT_EQ(engine.LineMode, LineCanAdapter);
  std::vector<int> numbers;
  for (int i = 0; i < 6; ++i) numbers.push_back(engine.NextPacketNumber());
  EXPECT_EQ(numbers, (std::vector<int>{0x80, 0xA0, 0xC0, 0xE0, 0x80, 0xA0}));
  engine.PacketCounter = 0x13;
  EXPECT_EQ(engine.NextPacketNumber(), 0x80);
}

struct CheckCase {
  const char* what;
  const char* answer;
  int expected;
  std::uint8_t address;
  std::uint8_t packet;
  int code;
  const char* data;  // delivered bytes with code 0
};

TEST(CheckFrame, AppliesItsChecksInOrder) {
  const CheckCase cases[] = {
      {"short answer", "10 01 01 81 00 00 00 83 16", 1, 1, 1, 0, "81"},
      {"short answer, two expected", "10 01 01 0A 0B 0C 0D 30 16", 2, 1, 1, 0, "0A 0B"},
      {"short answer, four expected", "10 01 01 0A 0B 0C 0D 30 16", 4, 1, 1, 0, "0A 0B 0C 0D"},
      {"short answer, start byte not examined", "77 01 01 81 00 00 00 83 16", 1, 1, 1, 0, "81"},
      {"packet number compared by its low 4 bits", "10 01 01 81 00 00 00 83 16", 1, 1, 0x11, 0, "81"},
      {"long answer", "68 04 04 68 01 01 0A 0B 17 16", 2, 1, 1, 0, "0A 0B"},
      {"long answer, nothing expected", "68 05 05 68 01 01 0A 0B 0C 23 16", 0, 1, 1, 0, ""},
      {"positive receipt", "A2", 0, 1, 1, 13, ""},
      {"positive receipt with more bytes", "A2 10 01", 0, 1, 1, 13, ""},
      {"negative receipt", "E5", 1, 1, 1, 14, ""},
      {"control byte with 0x40", "10 41 01 81 00 00 00 C3 16", 1, 1, 1, 7, ""},
      {"other address", "10 01 02 81 00 00 00 84 16", 1, 1, 1, 8, ""},
      {"wrong fourth byte before unequal lengths", "68 05 06 67 01 01 0A 0B 0C 23 16", 3, 1, 1, 10, ""},
      {"unequal length bytes", "68 05 06 68 01 01 0A 0B 0C 23 16", 3, 1, 1, 9, ""},
      {"checksum before end byte", "10 01 01 81 00 00 00 84 17", 1, 1, 1, 12, ""},
      {"end byte", "10 01 01 81 00 00 00 83 17", 1, 1, 1, 11, ""},
      {"checksum position from the count received", "10 01 01 81 00 00 00 83 16 00", 1, 1, 1, 12, ""},
      {"long answer with three data bytes, two expected", "68 05 05 68 01 01 0A 0B 0C 23 16", 2, 1, 1, 17,
       ""},
      {"packet check before address check", "10 02 02 81 00 00 00 85 16", 1, 1, 1, 7, ""},
      // answers cut short or pointing past the received bytes
      {"nothing received", "", 1, 1, 1, 1, ""},
      {"start byte only", "10", 1, 1, 1, 7, ""},
      {"no address byte", "10 01", 1, 1, 1, 8, ""},
      // Cut short, the checksum and end byte positions fall on the control and address bytes.
      {"first segment of a split answer", "10 01 01 81", 1, 1, 1, 11, ""},
      {"cut after the address", "10 01 01", 1, 1, 1, 12, ""},
      {"cut after the address, packet 0", "10 00 01", 1, 1, 0x10, 11, ""},
      {"no checksum: the address byte is taken for it", "10 01 01 16", 1, 1, 1, 17, ""},
      {"no checksum, wrong end", "10 01 01 17", 0, 1, 1, 11, ""},
      {"long answer cut after the address", "68 04 04 68 01 01", 2, 1, 1, 12, ""},
      {"long answer cut after the address, packet 0", "68 04 04 68 00 01", 2, 1, 0, 11, ""},
      {"no data, one expected", "10 01 01 02 16", 1, 1, 1, 17, ""},
      {"no data, none expected", "10 01 01 02 16", 0, 1, 1, 0, ""},
      {"long start only", "68", 1, 1, 1, 10, ""},
      {"long header cut", "68 03 03", 1, 1, 1, 10, ""},
      {"long length bytes past the data", "68 10 10 68 01 01 0A 0B 17 16", 14, 1, 1, 17, ""},
      {"short frame cannot give five bytes", "10 01 01 0A 0B 0C 0D 30 16", 5, 1, 1, 17, ""},
  };
  for (const auto& c : cases) {
    const auto answer = Bytes(c.answer);
    std::vector<std::uint8_t> out(8, 0xEE);
    int delivered = -5;
    const int code = CheckFrame(answer, c.expected, c.address, c.packet, out, delivered);
    EXPECT_EQ(code, c.code) << c.what;
    const auto data = Bytes(c.data);
    EXPECT_EQ(delivered, static_cast<int>(data.size())) << c.what;
    EXPECT_EQ(std::vector<std::uint8_t>(out.begin(), out.begin() + static_cast<long>(data.size())), data)
        << c.what;
  }
}

TEST(CheckFrame, GarbageOfEveryLengthGivesACodeOfTheTable) {
  const std::set<int> known{0, 1, 7, 8, 9, 10, 11, 12, 13, 14, 17};
  std::mt19937 random(770);
  for (int round = 0; round < 20; ++round) {
    for (std::size_t n = 0; n <= 255; ++n) {
      // An exact-size buffer, so that a read past the received bytes is caught by the sanitizer.
      std::vector<std::uint8_t> answer(n);
      for (auto& b : answer) b = static_cast<std::uint8_t>(random());
      if (n > 0 && round % 2 == 1) answer[0] = round % 4 == 1 ? 0x68 : 0x10;
      if (n > 3 && round % 4 == 1) answer[3] = 0x68;
      const int expected = static_cast<int>(random() % 300);
      std::vector<std::uint8_t> out(static_cast<std::size_t>(expected));
      int delivered = 0;
      const int code = CheckFrame(answer, expected, 1, 1, out, delivered);
      ASSERT_TRUE(known.count(code)) << code;
      ASSERT_EQ(delivered, code == 0 ? expected : 0);
    }
  }
}

// ---- engine requests in both layouts

struct RequestFixture {
  explicit RequestFixture(std::uint8_t kind) {
    if (kind == kLinkCanBus) {
      link = std::make_unique<TCANbusLink>();
    } else {
      link = std::make_unique<TTCPLink>();
    }
    engine = std::make_unique<FakeEngine>(*link, clock);
    engine->OwnNode = 0x7E;
  }
  std::vector<std::vector<std::uint8_t>> Sent() const {
    std::vector<std::vector<std::uint8_t>> sent;
    for (const auto& r : engine->requests) sent.push_back(r.bytes);
    return sent;
  }
  std::vector<int> Expected() const {
    std::vector<int> e;
    for (const auto& r : engine->requests) e.push_back(r.expected);
    return e;
  }
  FakeClock clock;
  std::unique_ptr<TCustomLink> link;
  std::unique_ptr<FakeEngine> engine;
};

struct LayoutCase {
  const char* what;
  std::function<int(TBase_Obmen&)> request;
  std::vector<const char*> ft12;  // request blocks
  std::vector<int> ft12Expected;
  std::vector<const char*> can;  // CanFrames
  std::vector<int> canExpected;
};

TEST(EngineRequests, BuildBothLayouts) {
  const std::vector<std::uint8_t> word{0x34, 0x12};
  const LayoutCase cases[] = {
      {"ReadParam",
       [](TBase_Obmen& e) {
         std::uint8_t b[1];
         return e.ReadParam(0x05, 0xF01A, b);
       },
       {"03 01 1A F0"},
       {1},
       {"05 00 00 00 04 7E 02 1A F0 00 00 00 00"},
       {1}},
      {"ReadParam of 4 bytes",
       [](TBase_Obmen& e) {
         std::uint8_t b[4];
         return e.ReadParam(0x05, 0x0009, b);
       },
       {"03 01 09 00"},
       {4},
       {"05 00 00 00 04 7E 02 09 00 00 00 00 00"},
       {4}},
      {"WriteParam",
       [](TBase_Obmen& e) {
         const std::uint8_t d[] = {0x2C, 0x01};
         return e.WriteParam(0x05, 0x0011, d);
       },
       {"05 05 11 00 2C 01"},
       {0},
       {"05 00 00 00 06 7E 03 11 00 2C 01 00 00"},
       {1}},
      {"WriteElement, first",
       [&](TBase_Obmen& e) { return e.WriteElement(0x05, 0x0304, 0x0102, word, true); },
       {"07 16 04 03 02 01 34 12"},
       {0},
       {"05 00 00 00 04 7E 06 04 03 00 00 00 00", "05 00 00 00 06 7E 07 02 01 34 12 00 00"},
       {1, 1}},
      {"WriteElement, not first",
       [&](TBase_Obmen& e) { return e.WriteElement(0x05, 0x0304, 0x0102, word, false); },
       {"07 16 04 03 02 01 34 12"},
       {0},
       {"05 00 00 00 06 7E 07 02 01 34 12 00 00"},
       {1}},
      {"OpenAccess",
       [](TBase_Obmen& e) { return e.OpenAccess(0x05, 2); },
       {"02 17 02"},
       {1},
       {"05 00 00 00 03 7E 05 02 00 00 00 00 00"},
       {1}},
      {"ReadElement",
       [](TBase_Obmen& e) {
         std::uint8_t b[2];
         return e.ReadElement(0x05, 0x0308, 3, b);
       },
       {"05 15 08 03 03 00"},
       {2},
       {"05 00 00 00 06 7E 08 08 03 03 00 00 00"},
       {2}},
      {"ReadDeviceType",
       [](TBase_Obmen& e) {
         std::uint16_t t = 0;
         return e.ReadDeviceType(0x05, t);
       },
       {"03 01 00 F0"},
       {2},
       {"05 00 00 00 04 7E 02 00 F0 00 00 00 00"},
       {2}},
  };
  for (const auto& c : cases) {
    for (std::uint8_t kind : {kLinkTcp, kLinkCanBus}) {
      RequestFixture f(kind);
      f.engine->script = test::AnswerWith(0, {0x02, 0x00});  // level 2 granted
      EXPECT_EQ(c.request(*f.engine), 0) << c.what;
      std::vector<std::vector<std::uint8_t>> want;
      for (const char* hex : kind == kLinkTcp ? c.ft12 : c.can) want.push_back(Bytes(hex));
      EXPECT_EQ(f.Sent(), want) << c.what << " kind " << int(kind);
      EXPECT_EQ(f.Expected(), kind == kLinkTcp ? c.ft12Expected : c.canExpected) << c.what;
    }
  }
}

TEST(EngineRequests, WritesTurnThePositiveReceiptIntoSuccessReadsDoNot) {
  RequestFixture f(kLinkTcp);
  const std::uint8_t one[] = {1};
  std::uint8_t buf[2];
  f.engine->script = test::AnswerWith(13);
  EXPECT_EQ(f.engine->WriteParam(1, 0x00, one), 0);
  EXPECT_EQ(f.engine->WriteElement(1, 0x300, 0, one, true), 0);
  EXPECT_EQ(f.engine->ReadParam(1, 0x00, std::span(buf, 1)), 13);
  EXPECT_EQ(f.engine->ReadElement(1, 0x300, 0, std::span(buf, 1)), 13);
  EXPECT_EQ(f.engine->OpenAccess(1, 2), 13);
  f.engine->script = test::AnswerWith(14);
  EXPECT_EQ(f.engine->WriteParam(1, 0x00, one), 14);
  EXPECT_EQ(f.engine->WriteElement(1, 0x300, 0, one, false), 14);
}

TEST(EngineRequests, OpenAccessComparesTheLowFourBitsOfTheAnswer) {
  RequestFixture f(kLinkTcp);
  f.engine->script = test::AnswerWith(0, {0x12});
  EXPECT_EQ(f.engine->OpenAccess(1, 2), 0);
  f.engine->script = test::AnswerWith(0, {0x03});
  EXPECT_EQ(f.engine->OpenAccess(1, 2), 26);
}

TEST(EngineRequests, ReadDeviceTypeTakesTheWordLowByteFirst) {
  RequestFixture f(kLinkTcp);
  f.engine->script = test::AnswerWith(0, {0x01, 0x11});
  std::uint16_t type = 0;
  EXPECT_EQ(f.engine->ReadDeviceType(1, type), 0);
  EXPECT_EQ(type, 0x1101);
}

TEST(EngineRequests, CanElementWriteStopsWhenTheArrayFrameFails) {
  RequestFixture f(kLinkCanBus);
  f.engine->script = test::AnswerWith(23);
  const std::uint8_t one[] = {7};
  EXPECT_EQ(f.engine->WriteElement(1, 0x300, 0, one, true), 23);
  ASSERT_EQ(f.engine->requests.size(), 1u);
  EXPECT_EQ(f.engine->requests[0].bytes[6], 0x06);
}

TEST(EngineRequests, RefusesWhatACanFrameCannotCarry) {
  RequestFixture f(kLinkCanBus);
  const std::uint8_t five[] = {1, 2, 3, 4, 5};
  std::uint8_t eight[8];
  EXPECT_EQ(f.engine->WriteParam(1, 0x09, five), 17);
  EXPECT_EQ(f.engine->WriteElement(1, 0x300, 0, five, true), 17);
  EXPECT_EQ(f.engine->ReadParam(1, 0x09, eight), 17);
  EXPECT_EQ(f.engine->WriteParam(1, 0x09, std::span<const std::uint8_t>()), 17);
  EXPECT_TRUE(f.engine->requests.empty());
}

TEST(EngineTiming, OverrideAndRestore) {
  TTCPLink link;
  link.TimeoutSec = 5;
  link.Retries = 3;
  FakeEngine engine(link, SystemClock());
  EXPECT_EQ(engine.TimeoutSec, 5);
  EXPECT_EQ(engine.Retries, 3);
  engine.OverrideTiming(1, 1);
  EXPECT_EQ(engine.TimeoutSec, 1);
  EXPECT_EQ(engine.Retries, 1);
  engine.RestoreTiming();
  EXPECT_EQ(engine.TimeoutSec, 5);
  EXPECT_EQ(engine.Retries, 3);
}

TEST(EngineLog, PassesLinesWithKindZeroOnlyWhenAHandlerIsSet) {
  TTCPLink link;
  FakeEngine engine(link, SystemClock());
  engine.Log("ignored");
  std::vector<std::pair<std::string, int>> lines;
  engine.OnLogContext = &lines;
  engine.OnLog = [](void* context, const std::string& text, int kind) {
    static_cast<std::vector<std::pair<std::string, int>>*>(context)->emplace_back(text, kind);
  };
  engine.Log("line");
  EXPECT_EQ(lines, (std::vector<std::pair<std::string, int>>{{"line", 0}}));
}

}  // namespace
}  // namespace r770
