#include "export/export_text.h"

#include <gtest/gtest.h>

namespace r770::exporting {

// Each format's string literal escapes what that format's reader would refuse or change:
// JSON the controls below 0x20, TOML those and DEL, Python the same as \xNN, YAML also the
// C1 controls, the line and paragraph separators and a byte order mark.
TEST(ExportText, EachFormatQuotesWhatItsReaderNeeds) {
  const std::string text =
      "Рвх \"A\\B\"\n\r\t"
      "\x1B|\x7F|\xC2\x85|\xE2\x80\xA8|\xE2\x80\xA9|\xEF\xBB\xBF";
  struct Case {
    const char* format;
    std::string (*quote)(std::string_view);
    std::string expected;
  } cases[] = {
      {"json", JsonString,
       "\"Рвх \\\"A\\\\B\\\"\\n\\r\\t\\u001B|\x7F|\xC2\x85|\xE2\x80\xA8|\xE2\x80\xA9|\xEF\xBB\xBF\""},
      {"toml", TomlString,
       "\"Рвх \\\"A\\\\B\\\"\\n\\r\\t\\u001B|\\u007F|\xC2\x85|\xE2\x80\xA8|\xE2\x80\xA9|\xEF\xBB\xBF\""},
      {"python", PythonString,
       "\"Рвх \\\"A\\\\B\\\"\\n\\r\\t\\x1B|\\x7F|\xC2\x85|\xE2\x80\xA8|\xE2\x80\xA9|\xEF\xBB\xBF\""},
      {"yaml", YamlString, "\"Рвх \\\"A\\\\B\\\"\\n\\r\\t\\x1B|\\x7F|\\x85|\\L|\\P|\\uFEFF\""},
  };
  for (const Case& c : cases) EXPECT_EQ(c.quote(text), c.expected) << c.format;
  // A sequence cut at the end of the text is kept as it stands.
  EXPECT_EQ(YamlString("a\xC2"), "\"a\xC2\"");
  EXPECT_EQ(YamlString("a\xE2\x80"), "\"a\xE2\x80\"");
}

}  // namespace r770::exporting
