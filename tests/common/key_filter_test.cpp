#include "common/key_filter.h"

#include <gtest/gtest.h>

namespace r770 {

TEST(HexKeyFilter, TableOfKeys) {
  using V = HexKeyVariant;
  const std::optional<char32_t> no;
  struct Case { char32_t key; V variant; std::optional<char32_t> result; } cases[] = {
      {U'Ф', V::Dot, U'A'}, {U'ф', V::Plain, U'A'}, {U'И', V::Port, U'B'}, {U'и', V::Dot, U'B'},
      {U'С', V::Dot, U'C'}, {U'с', V::Dot, U'C'}, {U'В', V::Dot, U'D'}, {U'в', V::Port, U'D'},
      {U'У', V::Dot, U'E'}, {U'у', V::Dot, U'E'}, {U'А', V::Dot, U'F'}, {U'а', V::Plain, U'F'},
      {U'a', V::Dot, U'A'}, {U'f', V::Port, U'F'}, {U'F', V::Port, U'F'}, {U'0', V::Port, U'0'},
      {U'9', V::Plain, U'9'}, {kBackspace, V::Port, kBackspace}, {kBackspace, V::Dot, kBackspace},
      {U' ', V::Dot, U' '}, {U' ', V::Plain, U' '}, {U' ', V::Port, no},
      {U'.', V::Dot, U'.'}, {U'.', V::Plain, no}, {U'.', V::Port, no},
      {U'g', V::Dot, no}, {U'G', V::Dot, no}, {U'Я', V::Dot, no}, {U'б', V::Dot, no},
      {U',', V::Dot, no}, {U'-', V::Plain, no},
  };
  for (const auto& c : cases)
    EXPECT_EQ(FilterHexKey(c.key, c.variant), c.result)
        << static_cast<unsigned>(c.key) << " variant " << static_cast<int>(c.variant);
}

}  // namespace r770
