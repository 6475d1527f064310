#include <gtest/gtest.h>

#include "ft12_server.h"
#include "hex_bytes.h"
#include "link/exchange_engine.h"
#include "sim_module.h"
#include "sim_options.h"
#include "sim_state.h"

namespace r770::sim {
namespace {

using test::Bytes;

TEST(SimFraming, TakesRequestsFromAStreamAndSkipsGarbage) {
  auto stream = Bytes("FF 00 10 41 01 01 1A F0 00 4D 16 68 07 07 68 43 07 15 04 03 02 00 68 16 10 41");
  auto first = TakeFt12Request(stream);
  ASSERT_TRUE(first);
  EXPECT_EQ(first->control, 0x41);
  EXPECT_EQ(first->address, 0x01);
  EXPECT_EQ(first->data, Bytes("01 1A F0 00"));
  auto second = TakeFt12Request(stream);
  ASSERT_TRUE(second);
  EXPECT_EQ(second->data, Bytes("15 04 03 02 00"));
  EXPECT_FALSE(TakeFt12Request(stream));  // an incomplete frame waits for the rest
  EXPECT_EQ(stream, Bytes("10 41"));

  auto bad = Bytes("10 41 01 01 1A F0 00 4E 16");  // wrong checksum: dropped byte by byte
  EXPECT_FALSE(TakeFt12Request(bad));
  EXPECT_LT(bad.size(), 9u);
}

TEST(SimFraming, AnswersInShortFramesUpToFourBytesLongBeyond) {
  EXPECT_EQ(FrameFt12Answer(SimReply::With({0x81}), 1, 1), Bytes("10 01 01 81 00 00 00 83 16"));
  EXPECT_EQ(FrameFt12Answer(SimReply::With(Bytes("C0 A8 00 01")), 2, 1), Bytes("10 02 01 C0 A8 00 01 6C 16"));
  EXPECT_EQ(FrameFt12Answer(SimReply::With(Bytes("01 02 03 04 05")), 3, 7),
            Bytes("68 07 07 68 03 07 01 02 03 04 05 19 16"));
  EXPECT_EQ(FrameFt12Answer(SimReply::Ack(), 1, 1), Bytes("A2"));
  EXPECT_EQ(FrameFt12Answer(SimReply::Nak(), 1, 1), Bytes("E5"));
  EXPECT_TRUE(FrameFt12Answer(SimReply{}, 1, 1).empty());
  // The link's own check accepts what the simulator frames.
  std::uint8_t out[5];
  int delivered = 0;
  EXPECT_EQ(
      CheckFrame(FrameFt12Answer(SimReply::With(Bytes("01 02 03 04 05")), 3, 7), 5, 7, 3, out, delivered), 0);
}

TEST(SimModule, ServesRequestsOfBothFrameKinds) {
  SimModule m(0x05, 0x1106);
  EXPECT_EQ(m.HandleFt12(Bytes("01 00 F0 00")), SimReply::With(Bytes("06 11")));
  EXPECT_EQ(m.HandleFt12(Bytes("05 11 00 2C 01")), SimReply::Nak());  // no access yet
  EXPECT_EQ(m.HandleFt12(Bytes("17 02")), SimReply::With({0x02}));
  EXPECT_EQ(m.HandleFt12(Bytes("05 11 00 2C 01")), SimReply::Ack());
  EXPECT_EQ(m.HandleFt12(Bytes("05 11 00 2C")), SimReply::Nak());  // wrong size
  EXPECT_EQ(m.HandleFt12(Bytes("16 04 03 7F 00 34 12")), SimReply::Ack());
  EXPECT_EQ(m.HandleFt12(Bytes("16 04 03 80 00 34 12")), SimReply::Nak());  // TC has 128 entries
  EXPECT_EQ(m.HandleFt12(Bytes("15 04 03 7F 00")), SimReply::With(Bytes("34 12")));
  EXPECT_EQ(m.HandleFt12(Bytes("16 08 00 00 00 AA")), SimReply::Nak());  // the MAC is read only
  EXPECT_EQ(m.HandleFt12(Bytes("01 04 03")), SimReply::Nak());           // a whole map does not fit a frame
  EXPECT_EQ(m.HandleFt12(Bytes("99")), SimReply::Nak());

  EXPECT_EQ(m.HandleCan(Bytes("02 11 00")), SimReply::With(Bytes("2C 01")));
  EXPECT_EQ(m.HandleCan(Bytes("07 00 00 09")), SimReply::Nak());  // no array chosen
  EXPECT_EQ(m.HandleCan(Bytes("06 01 03")), SimReply::With({0}));
  EXPECT_EQ(m.HandleCan(Bytes("07 0F 00 09")), SimReply::With({0}));
  EXPECT_EQ(m.HandleCan(Bytes("08 01 03 0F 00")), SimReply::With({0x09}));
  EXPECT_EQ(m.HandleCan(Bytes("05 02")), SimReply::With({0x02}));
  EXPECT_EQ(m.HandleCan(Bytes("03 00 00 07")), SimReply::With({0}));
  EXPECT_EQ(m.ElementValue(0x00, 0), 7u);
  m.ResetAccess();
  EXPECT_EQ(m.HandleCan(Bytes("03 00 00 08")), SimReply::Nak());
}

TEST(SimModule, RunStateMachine) {
  SimModule m(1, 0x1101, {.stopDelayMs = 60000});
  m.OpenAccess(2);
  EXPECT_TRUE(m.WriteParam(kSimRunState, std::vector<std::uint8_t>{1}));
  EXPECT_EQ(m.RunState(), 1);  // still stopping
  EXPECT_TRUE(m.WriteParam(kSimRunState, std::vector<std::uint8_t>{0}));
  EXPECT_EQ(m.RunState(), 0);

  SimModule quick(1, 0x1101);
  quick.OpenAccess(2);
  quick.WriteParam(kSimRunState, std::vector<std::uint8_t>{1});
  EXPECT_EQ(quick.RunState(), 0x81);
}

TEST(SimState, RoundTripsThroughText) {
  SimBus bus;
  auto& a = bus.Add(0x01, 0x1101);
  bus.Add(0x05, 0x1106);
  a.OpenAccess(2);
  a.WriteElement(0x304, 3, Bytes("34 12"));
  a.WriteParam(0x09, Bytes("C0 A8 05 07"));
  a.WriteParam(0x04, Bytes("E0 4B"));
  const std::string text = FormatState(bus);
  EXPECT_NE(text.find("0009 = C0A80507\n"), std::string::npos);
  EXPECT_NE(text.find("0004 = E04B\n"), std::string::npos);
  EXPECT_NE(text.find("0304 = FFFF FFFF FFFF 1234 FFFF"), std::string::npos);

  SimBus other;
  other.Add(0x01, 0x1106);  // the device type comes from the command line, not the file
  EXPECT_EQ(ParseState(text, other), "");
  EXPECT_EQ(other.Find(1)->Params().size(), a.Params().size());
  EXPECT_EQ(other.Find(1)->Param(0x304)->bytes, a.Param(0x304)->bytes);
  EXPECT_EQ(other.Find(1)->Param(0x09)->bytes, Bytes("C0 A8 05 07"));
  EXPECT_EQ(other.Find(1)->DeviceType(), 0x1106);
}

TEST(SimState, ReportsTheFirstBadLine) {
  SimBus bus;
  bus.Add(0x01, 0x1101);
  EXPECT_EQ(ParseState("[01]\n0000 = 1\n", bus), "строка 2: элемент \"1\" должен иметь 2 цифр");
  EXPECT_EQ(ParseState("0000 = 01\n", bus), "строка 1: параметр вне раздела модуля");
  EXPECT_EQ(ParseState("[01]\n0008 = 01 02\n", bus), "строка 2: ожидалось элементов: 6, указано: 2");
  EXPECT_EQ(ParseState("[01]\n7777 = 01\n", bus), "строка 2: у модуля нет параметра 7777");
  EXPECT_EQ(ParseState("[XY]\n", bus), "строка 1: ожидался сетевой номер модуля, например [01]");
  EXPECT_EQ(ParseState("[01]\n0000 = ZZ\n", bus), "строка 2: неверное шестнадцатеричное число \"ZZ\"");
  EXPECT_EQ(ParseState("[07]\n0000 = 05\n", bus), "");  // a module not on the bus is skipped
}

TEST(SimOptions, ReadsTheCommandLine) {
  SimOptions o;
  EXPECT_EQ(ParseSimOptions({"--port", "0", "--net", "01,05,7f", "--type", "1101,1106,0001", "--silent",
                             "--close-after", "3", "--bad-checksum-every", "2", "--never-stops"},
                            o),
            "");
  EXPECT_EQ(o.server.port, 0);
  EXPECT_EQ(o.nets, (std::vector<std::uint8_t>{0x01, 0x05, 0x7F}));
  EXPECT_TRUE(o.server.faults.silent);
  EXPECT_EQ(o.server.faults.closeAfter, 3);
  EXPECT_TRUE(o.behaviour.neverStops);
  SimBus bus;
  BuildBus(o, bus);
  EXPECT_EQ(bus.Find(0x7F)->DeviceType(), 0x0001);

  struct Bad {
    std::vector<std::string> args;
    std::string message;
  } bad[] = {
      {{"--net", "01,05", "--type", "1,2,3"},
       "в --type нужен один тип или по одному на каждый номер из --net"},
      {{"--net", "01,01"}, "сетевой номер 01 указан дважды"},
      {{"--net", "01,zz"}, "неверное шестнадцатеричное значение \"zz\""},
      {{"--type"}, "параметру --type нужно значение"},
      {{"--port"}, "параметру --port нужно значение"},
      {{"--port", "70000"}, "порт больше 65535"},
      {{"--port", "abc"}, "неверное число для --port: \"abc\""},
      {{"--bad-checksum-every", "0"}, "неверное число для --bad-checksum-every: \"0\""},
      // A value is the next argument, whatever it looks like; the reading stops at the first fault.
      {{"--state", "--silent", "--frobnicate"}, "неизвестный параметр --frobnicate (см. --help)"},
      {{"--frobnicate"}, "неизвестный параметр --frobnicate (см. --help)"},
      {{"positional"}, "неизвестный параметр positional (см. --help)"},
  };
  for (const Bad& b : bad) {
    SimOptions x;
    EXPECT_EQ(ParseSimOptions(b.args, x), b.message) << b.args[0];
  }
  EXPECT_NE(SimHelpText().find("--wrong-packet"), std::string::npos);
}

TEST(SimOptions, ReadsTheAdapterThenTheModbusThenItsOwnOptions) {
  SimCommandLine line;
  EXPECT_EQ(
      ReadSimCommandLine({"--net", "05", "--can", "--modbus-port", "1502", "--variant0", "--silent"}, line),
      "");
  EXPECT_TRUE(line.canOn);
  EXPECT_EQ(line.can.variant, 0);
  EXPECT_TRUE(line.modbusOn);
  EXPECT_EQ(line.modbus.port, 1502);
  EXPECT_EQ(line.sim.nets, (std::vector<std::uint8_t>{0x05}));
  EXPECT_TRUE(line.sim.server.faults.silent);

  struct Bad {
    std::vector<std::string> args;
    std::string message;
  } bad[] = {
      // The adapter's switches are taken out before any value is read.
      {{"--state", "--can"}, "параметру --state нужно значение"},
      {{"--modbus-port", "x", "--frobnicate"}, "неверный порт для --modbus-port: \"x\""},
      {{"--can", "--frobnicate"}, "неизвестный параметр --frobnicate (см. --help)"},
  };
  for (const Bad& b : bad) {
    SimCommandLine x;
    EXPECT_EQ(ReadSimCommandLine(b.args, x), b.message) << b.args[0];
  }
}

}  // namespace
}  // namespace r770::sim
