#include "core/decimal_text.h"

#include <gtest/gtest.h>

#include "platform/codepage.h"

namespace quillet {
namespace {

TEST(ParseDecimal, ReadsEitherSeparatorAndSkipsOtherCharacters) {
  EXPECT_DOUBLE_EQ(ParseDecimal("1,234.5678", 2, '.'), 1234.57);
  EXPECT_DOUBLE_EQ(ParseDecimal("12,5", 4, ','), 12.5);
  EXPECT_DOUBLE_EQ(ParseDecimal("12.5", 4, ','), 12.5);  // '.' is always a point
  EXPECT_DOUBLE_EQ(ParseDecimal("+0.25", 4), 0.25);
  EXPECT_DOUBLE_EQ(ParseDecimal("-", 4), 0.0);
  EXPECT_DOUBLE_EQ(ParseDecimal("", 4), 0.0);
  EXPECT_DOUBLE_EQ(ParseDecimal("abc", 4), 0.0);
  EXPECT_DOUBLE_EQ(ParseDecimal("USD 1 000", 4), 1000.0);
  EXPECT_DOUBLE_EQ(ParseDecimal("12-", 4), -12.0);  // a minus anywhere
  EXPECT_DOUBLE_EQ(ParseDecimal("1.2.3", 4), 1.2);  // a second point ends the number
}

TEST(ReadsWholeDecimal, AcceptsOnlyTextReadAsOneNumber) {
  for (const char* whole : {"12", "12.5", "-0.25", "+3", ".5", "7.", " 42 ", "", "   "}) {
    EXPECT_TRUE(ReadsWholeDecimal(whole, '.')) << whole;
  }
  EXPECT_TRUE(ReadsWholeDecimal("12,5", ','));
  EXPECT_TRUE(ReadsWholeDecimal("12.5", ','));  // '.' is always a point
  for (const char* partial :
       {"12x", "abc", "1.2.3", "1,000", "12,5", "-", "+", ".", "1 2", "--1", "1-", "1e5", "$12"}) {
    EXPECT_FALSE(ReadsWholeDecimal(partial, '.')) << partial;
  }
  EXPECT_FALSE(ReadsWholeDecimal("1.2,5", ','));  // two points, whichever they are
}

TEST(ParseDecimal, RoundsHalfUpAtThePlacesAndReadsNoFurther) {
  EXPECT_DOUBLE_EQ(ParseDecimal("3.335", 2), 3.34);
  EXPECT_DOUBLE_EQ(ParseDecimal("3.3349", 2), 3.33);
  EXPECT_DOUBLE_EQ(ParseDecimal("0.999", 2), 1.0);  // carry through the digit
  EXPECT_DOUBLE_EQ(ParseDecimal("-2.125", 2), -2.13);
  EXPECT_NEAR(ParseDecimal("1.23456789", kAllPlaces), 1.23456789, 1e-12);
  EXPECT_NEAR(ParseDecimal("1.23456789", 0), 1.23456789, 1e-12);
}

TEST(ParseDecimal, StopsAtTheTerminator) {
  const char field[12] = {'1', '2', '\0', '9', '9'};
  EXPECT_DOUBLE_EQ(ParseDecimal(std::string_view(field, sizeof field), 4), 12.0);
}

TEST(FormatDecimal, WritesExactPlacesRoundedHalfUp) {
  EXPECT_EQ(FormatDecimal(12.345, 2), "12.35");
  EXPECT_EQ(FormatDecimal(9999999.996, 2), "10000000.00");
  EXPECT_EQ(FormatDecimal(12345678.9, 0), "12345678");  // 0 places truncates
  EXPECT_EQ(FormatDecimal(-1.5, 2), "-1.50");
  EXPECT_EQ(FormatDecimal(-0.001, 2), "0.00");  // rounds to zero: no minus
  EXPECT_EQ(FormatDecimal(0.0, 2), "0");
  EXPECT_EQ(FormatDecimal(0.0, 2, '%'), "0%");
  EXPECT_EQ(FormatDecimal(5.5, 2, '%'), "5.50%");
  EXPECT_EQ(FormatDecimal(1234.5, 2, 0, ','), "1234,50");
  EXPECT_EQ(FormatDecimal(0.05, 4), "0.0500");
}

TEST(FormatDecimal, TrimmedVariantStripsZerosAndSeparator) {
  EXPECT_EQ(FormatDecimalTrimmed(12.5, 4), "12.5");
  EXPECT_EQ(FormatDecimalTrimmed(12.0, 4), "12");
  EXPECT_EQ(FormatDecimalTrimmed(100.0, 0), "100");  // no separator: zeros of the integer stay
  EXPECT_EQ(FormatDecimalTrimmed(0.25, 4, '%', ','), "0,25%");
}

TEST(DecimalText, DisplayAndStorageSwapTheFirstSeparator) {
  EXPECT_EQ(ToDisplayText("1234.50", ','), "1234,50");
  EXPECT_EQ(ToDisplayText("1234.50", '.'), "1234.50");
  EXPECT_EQ(ToStorageText("1234,50", ','), "1234.50");
  EXPECT_EQ(ToStorageText("1,234,50", ','), "1.234,50");  // only the first
}

TEST(DecimalText, StoreGivesUpDecimalsToFitButNeverCutsTheInteger) {
  char field[12];
  ASSERT_TRUE(StoreDecimal(field, 12345678.1234, 4, false));
  EXPECT_STREQ(field, "12345678.12");
  ASSERT_TRUE(StoreDecimal(field, 7.0, 4, true));
  EXPECT_STREQ(field, "7");
  CopyToField(field, "keep");
  EXPECT_FALSE(StoreDecimal(field, 123456789012.0, 4, false));
  EXPECT_STREQ(field, "keep");
  EXPECT_FALSE(StoreDecimal(field, ParseDecimal(std::string(400, '9'), 4), 4, false));
  EXPECT_FALSE(StoreDecimal(field, -1.0 / 0.0, 4, false));
  EXPECT_STREQ(field, "keep");
}

}  // namespace
}  // namespace quillet
