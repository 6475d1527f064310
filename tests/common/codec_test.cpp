#include "common/codec.h"

#include <gtest/gtest.h>

namespace r770 {

TEST(Codec, EveryByteRoundTrips) {
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  std::string utf8 = Cp1251ToUtf8(all);
  EXPECT_EQ(Utf8ToCp1251(utf8), all);
  EXPECT_EQ(Utf8Length(utf8), 256u);
}

TEST(Codec, KnownLetters) {
  struct Case { std::string bytes; std::string utf8; } cases[] = {
      {"\xCF\xF0\xE8\xE2\xE5\xF2", "Привет"},
      {"\xA8\xB8", "Ёё"},
      {"\xB9", "№"},
      {"\x88", "€"},
      {"abc", "abc"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Cp1251ToUtf8(c.bytes), c.utf8);
    EXPECT_EQ(Utf8ToCp1251(c.utf8), c.bytes);
  }
}

TEST(Codec, UnmappableAndMalformedBecomeQuestionMark) {
  EXPECT_EQ(Utf8ToCp1251("a\xE4\xB8\xADz"), "a?z");    // a CJK character
  EXPECT_EQ(Utf8ToCp1251("a\xF0\x9F\x98\x80z"), "a?z");  // an emoji
  EXPECT_EQ(Utf8ToCp1251("a\xC3"), "a?");               // cut sequence
  EXPECT_EQ(Utf8ToCp1251("\xFF"), "?");
}

// FitsCp1251 agrees with what the conversion keeps: a text fits exactly when no '?' appears
// that was not in it.
TEST(Codec, FitsCp1251TellsWhetherTheConversionLosesCharacters) {
  struct Case {
    std::string utf8;
    bool fits;
  } cases[] = {
      {"", true},
      {"Путь/к/Задачам №5 — «ё» €", true},
      {Cp1251ToUtf8(std::string("\x98\xA0\xFF\x01", 4)), true},
      {"?", true},
      {"a\xE4\xB8\xADz", false},      // a CJK character
      {"a\xF0\x9F\x98\x80z", false},  // an emoji
      {"Ä", false},                   // Latin letters beyond ASCII are not in the code page
      {"a\xC3", false},               // cut sequence
      {"\xFF", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FitsCp1251(c.utf8), c.fits) << c.utf8;
    EXPECT_EQ(Cp1251ToUtf8(Utf8ToCp1251(c.utf8)) == c.utf8, c.fits) << c.utf8;
  }
}

TEST(Codec, CharacterCounting) {
  EXPECT_EQ(Utf8Length("Нет параметра"), 13u);
  EXPECT_EQ(Utf8Left("Параметр", 3), "Пар");
  EXPECT_EQ(Utf8Left("ab", 5), "ab");
  EXPECT_EQ(Utf8Upper("tc5 Вид ё"), "TC5 ВИД Ё");
}

}  // namespace r770
