#include "exchange/exchange_tables.h"

#include <gtest/gtest.h>

namespace r770 {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(CommonParamTable, BytesOfEachStep) {
  CommonSettings c;
  c.trepeat = 300;
  c.twaitCAN = 0x1234;
  c.AdrPort = 502;
  c.AdrIP = {192, 168, 0, 1};
  c.AdrGate = {10, 0, 0, 254};
  c.Mask = {255, 255, 252, 0};
  c.AdrCAN = 0x21;
  c.AdrExt = 0x07;
  c.V_Ethernet = 1;
  c.V_CAN = 3;
  const struct {
    int step;
    std::uint16_t param;
    Bytes bytes;
  } cases[] = {
      {0, 0x11, {0x2C, 0x01}},
      {1, 0x12, {0x34, 0x12}},
      {2, 0x0D, {0xF6, 0x01}},
      {3, 0x08, {}},  // the MAC address is never written
      {4, 0x09, {0xC0, 0xA8, 0x00, 0x01}},
      {5, 0x0A, {10, 0, 0, 254}},
      {6, 0x0B, {255, 255, 252, 0}},
      {7, 0x00, {0x21}},
      {8, 0x05, {0x07}},
      {9, 0x14, {0x01}},
      {10, 0x04, {0xE0, 0x4B}},
  };
  for (const auto& t : cases) {
    SCOPED_TRACE(t.step);
    EXPECT_EQ(CommonParamTable[static_cast<std::size_t>(t.step)].param, t.param);
    EXPECT_EQ(CommonStepBytes(c, t.step), t.bytes);
  }
}

TEST(CommonParamTable, SpeedCodesBothWays) {
  const Bytes codes{0x41, 0x43, 0x45, 0x4B, 0x5D};
  for (std::uint8_t v = 0; v < 5; ++v) {
    CommonSettings c;
    c.V_CAN = v;
    EXPECT_EQ(CommonStepBytes(c, 10), (Bytes{0xE0, codes[v]}));
    CommonSettings back;
    back.V_CAN = 4 - v == v ? 0 : 4 - v;  // anything else, so that the store must change it
    const Bytes read{0x00, codes[v]};     // byte 0 is ignored
    StoreCommonStep(back, 10, read);
    EXPECT_EQ(back.V_CAN, v);
  }
  // An unknown code leaves the speed alone; a speed index beyond the list goes as 300 kBd.
  CommonSettings c;
  c.V_CAN = 3;
  StoreCommonStep(c, 10, Bytes{0xE0, 0x47});
  EXPECT_EQ(c.V_CAN, 3);
  c.V_CAN = 9;
  EXPECT_EQ(CommonStepBytes(c, 10), (Bytes{0xE0, 0x41}));
}

TEST(CommonParamTable, StoreDecodesLowByteFirstAndAddressesInOrder) {
  CommonSettings c;
  StoreCommonStep(c, 0, Bytes{0x2C, 0x01});
  StoreCommonStep(c, 3, Bytes{1, 2, 3, 4, 5, 6});
  StoreCommonStep(c, 4, Bytes{0xC0, 0xA8, 0x00, 0x01});
  StoreCommonStep(c, 7, Bytes{0x33});
  EXPECT_EQ(c.trepeat, 300);
  EXPECT_EQ(c.AdrMAC, (std::array<std::uint8_t, 6>{1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(c.AdrIP, (std::array<std::uint8_t, 4>{192, 168, 0, 1}));
  EXPECT_EQ(c.AdrCAN, 0x33);
  // Short data never reads past its end and stores nothing.
  StoreCommonStep(c, 0, Bytes{0x05});
  EXPECT_EQ(c.trepeat, 300);
}

TEST(MapArrayTable, ParametersSizesAndElements) {
  const struct {
    MapKind kind;
    std::uint16_t controller, param, address;
  } cases[] = {
      {MapKind::TC, 0x300, 0x304, 0x308},
      {MapKind::TU, 0x301, 0x305, 0x309},
      {MapKind::InputReg, 0x302, 0x306, 0x30A},
      {MapKind::TIFloat, 0x303, 0x307, 0x30B},
  };
  for (const auto& t : cases) {
    EXPECT_EQ(MapArrayParam(t.kind, MapArray::Controller), t.controller);
    EXPECT_EQ(MapArrayParam(t.kind, MapArray::Param), t.param);
    EXPECT_EQ(MapArrayParam(t.kind, MapArray::Address), t.address);
  }
  MapEntry e;
  e.ModuleNo = 7;
  e.ParamNo = 0x0F01;
  e.ModbusAddr = 0x1234;
  EXPECT_EQ(MapElementBytes(e, MapArray::Controller), Bytes{7});
  EXPECT_EQ(MapElementBytes(e, MapArray::Param), (Bytes{0x01, 0x0F}));
  EXPECT_EQ(MapElementBytes(e, MapArray::Address), (Bytes{0x34, 0x12}));
  EXPECT_EQ(MapElementBytes(MapEntry{}, MapArray::Param), (Bytes{0xFF, 0xFF}));
  MapEntry back;
  for (MapArray a : kMapArrayOrder) StoreMapElement(back, a, MapElementBytes(e, a));
  EXPECT_EQ(back.ModuleNo, 7);
  EXPECT_EQ(back.ParamNo, 0x0F01);
  EXPECT_EQ(back.ModbusAddr, 0x1234);
  EXPECT_EQ(kMapElementCount, 816);
}

}  // namespace
}  // namespace r770
