#include "quotes/quote_dates.h"

#include <gtest/gtest.h>

#include "platform/testing/test_support.h"

namespace quillet {
namespace {

using testing::ScopedTimeZone;

StockTime Local(int y, int m, int d, int h = 0, int min = 0) {
  return FromLocal(y, m, d, h, min).value();
}

// Friday 2 May 2003, 15:30 local time in Berlin (daylight time).
class QuoteDates : public ::testing::Test {
 protected:
  ScopedTimeZone tz{"Europe/Berlin"};
  ManualClock clock{Local(2003, 5, 2, 15, 30)};
};

TEST_F(QuoteDates, LastTradingDay) {
  EXPECT_EQ(LastTradingDay(clock), Local(2003, 5, 2));
  clock.Set(Local(2003, 5, 3, 10, 0));  // Saturday
  EXPECT_EQ(LastTradingDay(clock), Local(2003, 5, 2));
  clock.Set(Local(2003, 5, 4, 23, 59));  // Sunday
  EXPECT_EQ(LastTradingDay(clock), Local(2003, 5, 2));
  clock.Set(Local(2003, 5, 5, 0, 0));  // Monday
  EXPECT_EQ(LastTradingDay(clock), Local(2003, 5, 5));
  // A Sunday after the change to summer time still lands on Friday 00:00.
  clock.Set(Local(2003, 3, 30, 12, 0));
  EXPECT_EQ(LastTradingDay(clock), Local(2003, 3, 28));
}

TEST_F(QuoteDates, DateStyles) {
  EXPECT_EQ(ParseQuoteDate(3, "12-Mar-03", false, clock), Local(2003, 3, 12));
  EXPECT_EQ(ParseQuoteDate(3, "12-mAR-2003", false, clock), Local(2003, 3, 12));
  EXPECT_EQ(ParseQuoteDate(1, "12.03.99", false, clock), Local(1999, 3, 12));
  EXPECT_EQ(ParseQuoteDate(2, "3/12", false, clock), Local(2003, 3, 12));
  EXPECT_EQ(ParseQuoteDate(2, "5/2/2003", false, clock), Local(2003, 5, 2));
  EXPECT_EQ(ParseQuoteDate(1, " 2.5.2003 17:35 ", false, clock), Local(2003, 5, 2));
  EXPECT_EQ(ParseQuoteDate(1, "2", false, clock), Local(2003, 5, 2));  // month and year now
  EXPECT_EQ(ParseQuoteDate(1, "1/1/49", false, clock), Local(2049, 1, 1));
  EXPECT_EQ(ParseQuoteDate(1, "1/1/99", false, clock), Local(1999, 1, 1));
  EXPECT_EQ(ParseQuoteDate(1, "1/1/50", false, clock), 0u);  // 1950: before the program's time
  EXPECT_EQ(ParseQuoteDate(1, "1/1/2049", false, clock), Local(2049, 1, 1));
  // An unknown month name leaves the month unset: the current one.
  EXPECT_EQ(ParseQuoteDate(3, "12-Foo-03", false, clock), Local(2003, 5, 12));
}

TEST_F(QuoteDates, UnreadableDatesAndDefaults) {
  StockTime friday = Local(2003, 5, 2);
  EXPECT_EQ(ParseQuoteDate(2, "N/A", false, clock), friday);
  EXPECT_EQ(ParseQuoteDate(2, " n/a ", false, clock), friday);
  for (const char* text : {"", "abc", "5/x/2003", "0/0/2003", "13/2/2003", "5/32/2003"}) {
    EXPECT_EQ(ParseQuoteDate(2, text, false, clock), 0u) << text;
    EXPECT_EQ(ParseQuoteDate(2, text, true, clock), friday) << text;
  }
  // A day past its month's end is no date either, not a day of the next month; February has
  // 29 days in leap years only (and in 2000, a year divisible by 400).
  for (const char* text : {"31/04/2003", "31.06.03", "29/02/2003", "30/02/2004", "29/02/1900"}) {
    EXPECT_EQ(ParseQuoteDate(1, text, false, clock), 0u) << text;
  }
  EXPECT_EQ(ParseQuoteDate(1, "30/04/2003", false, clock), Local(2003, 4, 30));
  EXPECT_EQ(ParseQuoteDate(1, "29/02/2004", false, clock), Local(2004, 2, 29));
  EXPECT_EQ(ParseQuoteDate(1, "29.02.2000", false, clock), Local(2000, 2, 29));
  EXPECT_EQ(ParseQuoteDate(3, "31-Apr-03", false, clock), 0u);
  // Without a month the current one counts: May has 31 days.
  EXPECT_EQ(ParseQuoteDate(1, "31", false, clock), Local(2003, 5, 31));
  // Style 0 and unknown styles read nothing.
  EXPECT_EQ(ParseQuoteDate(0, "5/2/2003", false, clock), 0u);
  EXPECT_EQ(ParseQuoteDate(7, "5/2/2003", true, clock), friday);
  // Years before 1970 do not fit the program's time.
  EXPECT_EQ(ParseQuoteDate(2, "5/2/1960", false, clock), 0u);
  EXPECT_EQ(ParseQuoteDate(2, "5/2/99999999999", false, clock), 0u);
}

TEST_F(QuoteDates, Times) {
  EXPECT_EQ(ParseQuoteTime(2, "12:15am", false, clock), 15u * 60);
  EXPECT_EQ(ParseQuoteTime(2, "12:15pm", false, clock), 12u * 3600 + 15 * 60);
  EXPECT_EQ(ParseQuoteTime(2, "4:00pm", false, clock), 16u * 3600);
  EXPECT_EQ(ParseQuoteTime(2, "4:01PM", false, clock), 16u * 3600 + 60);
  EXPECT_EQ(ParseQuoteTime(1, "16:30", false, clock), 16u * 3600 + 30 * 60);
  EXPECT_EQ(ParseQuoteTime(1, "9:05:59", false, clock), 9u * 3600 + 5 * 60);
  EXPECT_EQ(ParseQuoteTime(1, " 11:00 am ", false, clock), 11u * 3600);
  // Style 3 reads early hours as afternoon.
  EXPECT_EQ(ParseQuoteTime(3, "4:30", false, clock), 16u * 3600 + 30 * 60);
  EXPECT_EQ(ParseQuoteTime(3, "9:30", false, clock), 9u * 3600 + 30 * 60);
  EXPECT_EQ(ParseQuoteTime(0, "4:30", false, clock), 4u * 3600 + 30 * 60);
}

TEST_F(QuoteDates, TimeDefaultsAndNonsense) {
  std::uint32_t now = 15u * 3600 + 30 * 60;
  EXPECT_EQ(ParseQuoteTime(1, "", false, clock), 0u);
  EXPECT_EQ(ParseQuoteTime(1, "N/A", false, clock), 0u);
  EXPECT_EQ(ParseQuoteTime(1, "", true, clock), now);
  EXPECT_EQ(ParseQuoteTime(1, "n/a", true, clock), now);
  EXPECT_EQ(ParseQuoteTime(1, "close", false, clock), now);  // no ':'
  EXPECT_EQ(ParseQuoteTime(1, "99:99", false, clock), 0u);
  EXPECT_EQ(ParseQuoteTime(1, "99999999999999:00", false, clock), 0u);
}

TEST_F(QuoteDates, QuoteTimeOfUsesTheMarketsStyles) {
  // Market 1 (Toronto) is served by source 0: month/day/year, am/pm.
  EXPECT_EQ(QuoteTimeOf(1, "5/2/2003", "4:01pm", false, clock), Local(2003, 5, 2, 16, 1));
  // Market 11 (Frankfurt), source 1: month/day/year as well, 24-hour times.
  EXPECT_EQ(QuoteTimeOf(11, "5/2/2003", "17:35", false, clock), Local(2003, 5, 2, 17, 35));
  // Market 47 (Vienna), source 5: day, month name, year.
  EXPECT_EQ(QuoteTimeOf(47, "2-May-03", "17:35", false, clock), Local(2003, 5, 2, 17, 35));
  // Market 44 (Zurich) has no dates: without defaults there is no time at all.
  EXPECT_EQ(QuoteTimeOf(44, "", "17:35", false, clock), 0u);
  EXPECT_EQ(QuoteTimeOf(44, "", "17:35", true, clock), Local(2003, 5, 2, 17, 35));
  // Market 46 has no source, markets past the table read as market 0.
  EXPECT_EQ(QuoteTimeOf(46, "5/2/2003", "1:00", false, clock), 0u);
  EXPECT_EQ(QuoteTimeOf(200, "5/2/2003", "1:00pm", false, clock), Local(2003, 5, 2, 13, 0));
}

}  // namespace
}  // namespace quillet
