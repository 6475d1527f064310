#include "common/number_forms.h"

#include <gtest/gtest.h>

namespace r770 {

TEST(NumberForms, HexTexts) {
  EXPECT_EQ(Hex2(5), "05");
  EXPECT_EQ(Hex2(300), "12C");
  EXPECT_EQ(Hex4(51960), "CAF8");
  EXPECT_EQ(Hex4(0x1A), "001A");
  EXPECT_EQ(Hex2(0), "00");
}

TEST(NumberForms, ParseHexAsWithDollar) {
  struct Case {
    const char* text;
    std::optional<std::uint32_t> value;
  } cases[] = {
      {"1A", 0x1A},
      {"1a", 0x1A},
      {"CAF8", 0xCAF8},
      {"0", 0},
      {"FFFFFFFF", 0xFFFFFFFFu},
      {"", std::nullopt},
      {".", std::nullopt},
      {"1 ", std::nullopt},
      {"G", std::nullopt},
      {"-1", std::nullopt},
      {"100000000", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseHex(c.text), c.value) << c.text;
}

TEST(NumberForms, ParseDecimal) {
  EXPECT_EQ(ParseDec("65535"), 65535);
  EXPECT_EQ(ParseDec("-1"), -1);
  EXPECT_EQ(ParseDec("abc"), std::nullopt);
  EXPECT_EQ(ParseDec(""), std::nullopt);
  EXPECT_EQ(ParseDec("99999999999"), std::nullopt);
  EXPECT_EQ(ParseUDec("4294967295"), 4294967295u);
  EXPECT_EQ(ParseUDec("+1"), std::nullopt);
  EXPECT_EQ(ParseIntKey("0x1F"), 31);
  EXPECT_EQ(ParseIntKey("0X1f"), 31);
  EXPECT_EQ(ParseIntKey("0x"), std::nullopt);
  EXPECT_EQ(ParseIntKey("12"), 12);
  EXPECT_EQ(Trim("  a b \t"), "a b");
}

}  // namespace r770
