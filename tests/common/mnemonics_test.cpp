#include "common/mnemonics.h"

#include <gtest/gtest.h>

namespace r770 {

TEST(Mnemonics, EachCaptionOfAMenuGetsItsOwnLetter) {
  struct Case {
    const char* what;
    std::vector<std::string> captions;
    std::vector<std::string> marked;
  } cases[] = {
      {"word starts first, then any free letter; case does not matter",
       {"Файл", "Общие настройки", "Настройки Modbus/TCP", "Настройка обмена", "Обмен с  R-770 TCP/Modbus",
        "Справка"},
       {"&Файл", "&Общие настройки", "&Настройки Modbus/TCP", "Н&астройка обмена",
        "Обмен &с  R-770 TCP/Modbus", "С&правка"}},
      {"a caption's own mark is kept and its letter is taken first",
       {"Карта", "&Правка", "Печать"},
       {"&Карта", "&Правка", "П&ечать"}},
      {"separators and captions without a free letter stay as they are",
       {"Ab", "", "ba", "AB", "12"},
       {"&Ab", "", "&ba", "AB", "12"}},
      {"a literal ampersand is no mark, and ё is one letter with Ё",
       {"R&&D", "Ёлка", "ёж"},
       {"&R&&D", "&Ёлка", "ё&ж"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(WithMnemonics(c.captions), c.marked) << c.what;
    for (std::size_t i = 0; i < c.captions.size(); ++i)
      EXPECT_EQ(WithoutMnemonic(c.marked[i]), WithoutMnemonic(c.captions[i])) << c.what;
  }
}

TEST(Mnemonics, TheShownCaptionDropsMarksOnly) {
  EXPECT_EQ(WithoutMnemonic("&Файл"), "Файл");
  EXPECT_EQ(WithoutMnemonic("Сохранить &как ..."), "Сохранить как ...");
  EXPECT_EQ(WithoutMnemonic("R&&D"), "R&D");
  EXPECT_EQ(WithoutMnemonic("конец&"), "конец&");
}

}  // namespace r770
