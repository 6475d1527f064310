#include "common/key_filter.h"

#include <gtest/gtest.h>

#include <string>

namespace r770 {

TEST(HexKeyFilter, TableOfKeys) {
  using V = HexKeyVariant;
  const std::optional<char32_t> no;
  struct Case {
    char32_t key;
    V variant;
    std::optional<char32_t> result;
  } cases[] = {
      {U'Ф', V::Dot, U'A'},
      {U'ф', V::Plain, U'A'},
      {U'И', V::Port, U'B'},
      {U'и', V::Dot, U'B'},
      {U'С', V::Dot, U'C'},
      {U'с', V::Dot, U'C'},
      {U'В', V::Dot, U'D'},
      {U'в', V::Port, U'D'},
      {U'У', V::Dot, U'E'},
      {U'у', V::Dot, U'E'},
      {U'А', V::Dot, U'F'},
      {U'а', V::Plain, U'F'},
      {U'a', V::Dot, U'A'},
      {U'f', V::Port, U'F'},
      {U'F', V::Port, U'F'},
      {U'0', V::Port, U'0'},
      {U'9', V::Plain, U'9'},
      {kBackspace, V::Port, kBackspace},
      {kBackspace, V::Dot, kBackspace},
      {U' ', V::Dot, U' '},
      {U' ', V::Plain, U' '},
      {U' ', V::Port, no},
      {U'.', V::Dot, U'.'},
      {U'.', V::Plain, no},
      {U'.', V::Port, no},
      {U'g', V::Dot, no},
      {U'G', V::Dot, no},
      {U'Я', V::Dot, no},
      {U'б', V::Dot, no},
      {U',', V::Dot, no},
      {U'-', V::Plain, no},
  };
  for (const auto& c : cases)
    EXPECT_EQ(FilterHexKey(c.key, c.variant), c.result)
        << static_cast<unsigned>(c.key) << " variant " << static_cast<int>(c.variant);
}

// A key that passed a field's filter (or was refused: no key) applied at a selection, under
// the field's length rule.
TEST(ApplyKey, TypedKeyTextAndSelection) {
  using F = FullField;
  const std::optional<char32_t> refused;
  const FieldLimit none;
  struct Case {
    const char* text;
    std::optional<char32_t> key;
    int selStart, selLength;
    FieldLimit limit;
    const char* result;
    int caret;
  } cases[] = {
      {"", U'A', 0, 0, none, "A", 1},
      {"12", U'3', 1, 0, none, "132", 2},  // at the caret
      {"12", U'3', 0, 0, none, "312", 1},
      {"1234", U'9', 1, 2, none, "194", 2},  // in place of the selection
      {"12", refused, 1, 0, none, "12", 1},  // refused: the caret at the selection start
      {"1234", refused, 1, 2, none, "1234", 1},
      {"12", kBackspace, 2, 0, none, "1", 1},
      {"12", kBackspace, 1, 0, none, "2", 0},
      {"12", kBackspace, 0, 0, none, "12", 0},  // nothing before the caret
      {"1234", kBackspace, 1, 2, none, "14", 1},
      {"", kBackspace, 0, 0, none, "", 0},
      {"ж1", U'2', 1, 0, none, "ж21", 2},  // positions count characters
      {"жи", kBackspace, 2, 0, none, "ж", 1},
      {"ab", U'я', 0, 2, none, "я", 1},
      {"12", U'3', 7, 0, none, "123", 3},   // a start past the text is its end
      {"12", U'3', -1, 0, none, "123", 3},  // ... and so is a negative one
      {"123", U'9', 1, -1, none, "19", 2},  // a negative length is the rest of the text
      {"123", U'9', 1, 9, none, "19", 2},   // and so is one that runs past it
      // A full field refuses every key but Backspace.
      {"12", U'3', 2, 0, {2, F::Refuses}, "12", 2},
      {"12", U'3', 0, 2, {2, F::Refuses}, "12", 0},
      {"12", kBackspace, 2, 0, {2, F::Refuses}, "1", 1},
      {"1", U'3', 0, 1, {2, F::Refuses}, "3", 1},
      {"123", U'4', 3, 0, {2, F::Refuses}, "123", 3},  // longer than its limit: full too
      // ... except that its whole text, selected, is emptied first.
      {"12", U'3', 0, 2, {2, F::EmptiedWhenAllSelected}, "3", 1},
      {"12", refused, 0, 2, {2, F::EmptiedWhenAllSelected}, "", 0},  // even for a refused key
      {"12", U'3', 1, 1, {2, F::EmptiedWhenAllSelected}, "12", 1},   // one of two: refused
      {"12", U'3', 2, 0, {2, F::EmptiedWhenAllSelected}, "12", 2},
      {"12", kBackspace, 0, 2, {2, F::EmptiedWhenAllSelected}, "", 0},
      {"1", refused, 0, 1, {2, F::EmptiedWhenAllSelected}, "1", 0},  // not full: kept
      {"1", U'3', 1, 0, {2, F::EmptiedWhenAllSelected}, "13", 2},
      // A spin field: a key takes the place of selected text when the result fits.
      {"12", U'3', 1, 1, {2, F::TakesSelection}, "13", 2},
      {"12", U'3', 2, 0, {2, F::TakesSelection}, "12", 2},
      {"12345", U'9', 1, 2, {5, F::TakesSelection}, "1945", 2},
      {"12345", U'9', 0, 5, {5, F::TakesSelection}, "9", 1},
      {"12345", refused, 0, 5, {5, F::TakesSelection}, "12345", 0},
      {"1234", U'5', 4, 0, {5, F::TakesSelection}, "12345", 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("'") + c.text + "' key " +
                 (c.key ? std::to_string(static_cast<unsigned>(*c.key)) : "refused") + " at " +
                 std::to_string(c.selStart) + "+" + std::to_string(c.selLength) + " limit " +
                 std::to_string(c.limit.maxLength) + "/" + std::to_string(static_cast<int>(c.limit.full)));
    const KeyEdit edit = ApplyKey(c.text, c.key, c.selStart, c.selLength, c.limit);
    EXPECT_EQ(edit.text, c.result);
    EXPECT_EQ(edit.caret, c.caret);
  }
}

// Taken: the key went in or Backspace deleted, whether or not the text reads differently.
TEST(ApplyKey, TakenWhenTheKeyWentIn) {
  const std::optional<char32_t> refused;
  struct Case {
    const char* text;
    std::optional<char32_t> key;
    int selStart, selLength;
    bool taken;
  } cases[] = {
      {"1", U'1', 0, 1, true},        {"1", U'2', 1, 0, true},     {"1", kBackspace, 1, 0, true},
      {"1", kBackspace, 0, 0, false}, {"1", refused, 0, 1, false}, {"12", U'3', 2, 0, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ApplyKey(c.text, c.key, c.selStart, c.selLength, {2, FullField::TakesSelection}).taken, c.taken)
        << c.text << " at " << c.selStart << "+" << c.selLength;
}

TEST(DropLastChar, RemovesAWholeCharacter) {
  struct Case {
    const char* text;
    const char* result;
  } cases[] = {
      {"", ""}, {"a", ""}, {"ab", "a"}, {"жи", "ж"}, {"aж", "a"}, {"ж", ""}, {"a\xF0\x9F\x98\x80", "a"},
  };
  for (const Case& c : cases) {
    std::string text = c.text;
    DropLastChar(text);
    EXPECT_EQ(text, c.result) << c.text;
  }
}

}  // namespace r770
