// Cutting Shift_JIS text to a byte limit by the same character rules the counting follows.
#include <gtest/gtest.h>

#include <string>

#include "platform/sjis.h"
#include "resource/sjis_text.h"

namespace {

TEST(SjisCut, KeepsWholeCharactersAndDropsBytesThatAreNone) {
  const std::string a = SJ("あ"), i = SJ("い");
  const std::string kana = "\xB1\xB2";  // half-width katakana: no characters
  struct Case {
    std::string text;
    size_t max;
    std::string cut;
  } cases[] = {
      {"abc", 2, "ab"},
      {"abc", 0, ""},
      {"", 4, ""},
      {"a" + a, 2, "a"},  // the two-byte character would straddle the limit
      {"a" + a, 3, "a" + a},
      {a + a + a, 5, a + a},
      {"a" + kana + "b", 2, "ab"},  // the katakana bytes neither count nor stay
      {kana + a, 9, a},
      {"a\x80" + i, 9, "a" + i},
      {"a\x82", 5, "a"},  // a lead byte cut off at the end is no character
  };
  for (const Case& c : cases) EXPECT_EQ(sjis::Cut(c.text, c.max), c.cut) << c.text << " " << c.max;
}

}  // namespace
