#include "common/codec.h"

#include <gtest/gtest.h>

namespace r770 {

TEST(Codec, EveryByteRoundTrips) {
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  std::string utf8 = Cp1251ToUtf8(all);
  EXPECT_EQ(Utf8ToCp1251(utf8), all);
  EXPECT_EQ(Utf8Length(utf8), 256u);
  EXPECT_TRUE(FitsCp1251(utf8));
}

TEST(Codec, KnownLetters) {
  struct Case {
    std::string bytes;
    std::string utf8;
  } cases[] = {
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
  EXPECT_EQ(Utf8ToCp1251("a\xE4\xB8\xADz"), "a?z");      // a CJK character
  EXPECT_EQ(Utf8ToCp1251("a\xF0\x9F\x98\x80z"), "a?z");  // an emoji
  EXPECT_EQ(Utf8ToCp1251("a\xC3"), "a?");                // cut sequence
  EXPECT_EQ(Utf8ToCp1251("\xFF"), "?");
}

TEST(Codec, TextsThatCodePage1251CannotHold) {
  struct Case {
    const char* text;
    const char* first;
  } cases[] = {
      {"", ""},
      {"C:/База/Котельная №2.tsk", ""},
      {"€‚„…†‡‰‹›‘’“”•–—™ ¤¦§©«¬®°±µ¶·»", ""},
      {"a\xE4\xB8\xADz\xE4\xB8\x80", "\xE4\xB8\xAD"},  // the first of two CJK characters
      {"Насос \xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},  // an emoji
      {"ĉ", "ĉ"},                                      // Latin letter outside the page
      {"Пар\xD0\x80", "\xD0\x80"},                     // U+0400, just below А..я
      {"вод\xD1\x90", "\xD1\x90"},                     // U+0450, just above
      {"ok\xC3", "\xEF\xBF\xBD"},                      // a cut sequence
      {"\xFF", "\xEF\xBF\xBD"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(FirstOutsideCp1251(c.text), c.first);
    EXPECT_EQ(FitsCp1251(c.text), std::string(c.first).empty());
    // What fits survives the trip to the disk and back unchanged.
    if (FitsCp1251(c.text)) {
      EXPECT_EQ(Cp1251ToUtf8(Utf8ToCp1251(c.text)), c.text);
    }
  }
  EXPECT_EQ(
      Cp1251Refusal("Имя", "x\xE4\xB8\xAD"),
      "Имя содержит символ \"\xE4\xB8\xAD\", которого нет в кодовой странице 1251: такой текст не может быть "
      "сохранен.");
  EXPECT_EQ(Cp1251Refusal("Имя", "Привет"), "");
}

TEST(Codec, CharacterCounting) {
  EXPECT_EQ(Utf8Length("Нет параметра"), 13u);
  EXPECT_EQ(Utf8Left("Параметр", 3), "Пар");
  EXPECT_EQ(Utf8Left("ab", 5), "ab");
  EXPECT_EQ(Utf8Upper("tc5 Вид ё"), "TC5 ВИД Ё");
}

TEST(Codec, ControlCharactersAreEscapedAsJsonWritesThem) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"Давление P1", "Давление P1"},
      {"a\tb\nc\rd", "a\\tb\\nc\\rd"},
      {"\x1b[31mКрасный\x1b[0m", "\\u001b[31mКрасный\\u001b[0m"},
      {std::string("x\0y", 3), "x\\u0000y"},
      {"del\x7f", "del\\u007f"},
      {"csi\xC2\x9B"
       "2J",
       "csi\\u009b2J"},                                    // U+009B: a C1 control
      {"\xC2\xA0nbsp \xC3\xA9", "\xC2\xA0nbsp \xC3\xA9"},  // U+00A0, U+00E9 stay
      {"back\\slash \"q\"", "back\\slash \"q\""},
      {"cut\xC2", "cut\xC2"},
  };
  for (const Case& c : cases) EXPECT_EQ(EscapeControlChars(c.in), c.out) << c.in;
}

TEST(Codec, JsonQuotedEscapesQuotesBackslashesAndEveryControlCharacter) {
  const struct {
    std::string text, json;
  } cases[] = {
      {"", "\"\""},
      {"Насос \"Н1\"", "\"Насос \\\"Н1\\\"\""},
      {"a\\b", "\"a\\\\b\""},
      {"\t\n\r", "\"\\t\\n\\r\""},
      {"\x1b[2J", "\"\\u001b[2J\""},
      {"\x7f", "\"\\u007f\""},
      {"\xC2\x85", "\"\\u0085\""},  // U+0085, a C1 control
  };
  for (const auto& c : cases) EXPECT_EQ(JsonQuoted(c.text), c.json) << c.text;
}

}  // namespace r770
