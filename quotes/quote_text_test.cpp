#include "quotes/quote_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace quillet {
namespace {

std::string Apply(void (*f)(char*), std::string text) {
  f(text.data());
  return text.c_str();
}

TEST(QuoteText, RemoveTrimReplace) {
  char a[] = "1,234,567";
  RemoveChar(a, ',');
  EXPECT_STREQ(a, "1234567");
  char b[] = "  12.5 ";
  TrimChar(b, ' ');
  EXPECT_STREQ(b, "12.5");
  char c[] = "xxx";
  TrimChar(c, 'x');
  EXPECT_STREQ(c, "");
  char d[] = "a b c";
  ReplaceChar(d, ' ', '_');
  EXPECT_STREQ(d, "a_b_c");
  EXPECT_EQ(Apply(EuropeanToPlainNumber, "1.234,56"), "1234.56");
  EXPECT_EQ(Apply(EuropeanToPlainNumber, "0,5"), "0.5");
}

TEST(QuoteText, TrimTrailingZeros) {
  EXPECT_EQ(Apply(TrimTrailingZeros, "12.34000"), "12.34");
  EXPECT_EQ(Apply(TrimTrailingZeros, "12.50000"), "12.50");
  EXPECT_EQ(Apply(TrimTrailingZeros, "7.5"), "7.5");
  EXPECT_EQ(Apply(TrimTrailingZeros, "100"), "100");
  EXPECT_EQ(Apply(TrimTrailingZeros, "12.000"), "12.00");
  EXPECT_EQ(Apply(TrimTrailingZeros, "1.5.2000"), "1.5.20");  // the last '.' counts
  EXPECT_EQ(Apply(TrimTrailingZeros, ""), "");
}

TEST(QuoteText, ExtractBetween) {
  char out[16] = "untouched";
  EXPECT_FALSE(ExtractBetween("<td>12</td>", "<th>", "</td>", out));
  EXPECT_STREQ(out, "untouched");
  EXPECT_FALSE(ExtractBetween("<td>12", "<td>", "</td>", out));
  EXPECT_TRUE(ExtractBetween("<td>   12.5 </td>", "<td>", "</td>", out));
  EXPECT_STREQ(out, "12.5 ");
  EXPECT_TRUE(ExtractBetween("   12.5 - 20", nullptr, " -", out));
  EXPECT_STREQ(out, "12.5");
  EXPECT_TRUE(ExtractBetween("12.5 - 20", "- ", nullptr, out));
  EXPECT_STREQ(out, "20");
  EXPECT_TRUE(ExtractBetween("Update:   1.5.2003", "Update:", nullptr, out));
  EXPECT_STREQ(out, "   1.5.2003");  // without an end marker blanks stay
  EXPECT_TRUE(ExtractBetween("a<b>   </b>", "<b>", "</b>", out));
  EXPECT_STREQ(out, "");
  EXPECT_TRUE(ExtractBetween("<b>x</b>", "<b>", "</b>", nullptr, 0));
  // The end marker is looked for only after the start marker.
  EXPECT_FALSE(ExtractBetween("</b><b>x", "<b>", "</b>", out));
  // Values longer than the output are cut, never overrun.
  char small[5];
  EXPECT_TRUE(ExtractBetween("[123456789]", "[", "]", small));
  EXPECT_STREQ(small, "1234");
}

TEST(QuoteText, FirstNumber) {
  char out[16] = "keep";
  EXPECT_TRUE(FirstNumber("<td class=\"x9\">no digits</td>", out));
  EXPECT_STREQ(out, "keep");
  EXPECT_TRUE(FirstNumber("<td width=50>Last: 1.234,50 EUR</td>", out));
  EXPECT_STREQ(out, "1.234,50");
  EXPECT_TRUE(FirstNumber("<b>-0.75</b>", out));
  EXPECT_STREQ(out, "-0.75");
  EXPECT_TRUE(FirstNumber("at 16:35; vol 5", out));
  EXPECT_STREQ(out, "16:35;");
  EXPECT_TRUE(FirstNumber("date 2/5/2003<br>", out));
  EXPECT_STREQ(out, "2/5/2003");
  EXPECT_TRUE(FirstNumber("x+5a", out));
  EXPECT_STREQ(out, "+5");
  // An unclosed tag hides the rest.
  char none[8] = "none";
  EXPECT_TRUE(FirstNumber("<a href=1 12", none));
  EXPECT_STREQ(none, "none");
  char small[4];
  EXPECT_TRUE(FirstNumber("123456", small));
  EXPECT_STREQ(small, "123");
}

}  // namespace
}  // namespace quillet
