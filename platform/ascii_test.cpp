// The one case-insensitive comparison: ASCII letters only, bytes above 127 never folded or
// reordered, whatever the locale.
#include "platform/ascii.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace quillet {
namespace {

TEST(Ascii, LettersFoldAndNothingElseDoes) {
  EXPECT_TRUE(EqualNoCase("MsFt.De", "msft.DE"));
  EXPECT_FALSE(EqualNoCase("MSFT", "MSFT "));
  // 0xC4 and 0xE4 are a Windows-1252 letter pair; a locale-dependent tolower would fold them.
  EXPECT_FALSE(EqualNoCase("\xC4", "\xE4"));
  EXPECT_EQ(ToUpperAscii("z\xE4@[`{"), "Z\xE4@[`{");
  EXPECT_TRUE(StartsWithNoCase("ZA:ABC", "za:"));
  EXPECT_FALSE(StartsWithNoCase("ZA", "za:"));
  EXPECT_EQ(FindNoCase("X-Length: 1\r\nContent-LENGTH: 12", "content-length: "), 13u);
  EXPECT_EQ(FindNoCase("abc", "abcd"), std::string_view::npos);
}

TEST(Ascii, OrderIsByLowerCaseBytesUnsignedWithPrefixesFirst) {
  std::vector<std::string> symbols = {"b", "\xE9t", "A", "ab", "Ab", "_x"};
  std::stable_sort(symbols.begin(), symbols.end(), [](const std::string& a, const std::string& b) {
    return CompareNoCase(a, b) < 0;
  });
  // '_' (0x5F) comes before the lower-case letters, 0xE9 after all of them.
  EXPECT_EQ(symbols, (std::vector<std::string>{"_x", "A", "ab", "Ab", "b", "\xE9t"}));
  EXPECT_EQ(CompareNoCase("IBM", "ibm"), 0);
}

}  // namespace
}  // namespace quillet
