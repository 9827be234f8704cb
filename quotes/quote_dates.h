// Reading the dates and times quote sources write into the program's time (StockTime: seconds
// since 1970 UTC, days cut at 00:00 local time). "Now" always comes from the Clock handed in, and
// the local calendar is the process's time zone.
#pragma once

#include <string_view>

#include "platform/clock.h"

namespace quillet {

// How a source writes its dates (the date style of its table entry).
enum QuoteDateStyle : int {
  kDateNone = 0,
  kDateDayMonthYear = 1,
  kDateMonthDayYear = 2,
  kDateDayMonthNameYear = 3,
};

// Today at 00:00; on a Saturday the Friday before, on a Sunday the Friday two days before.
StockTime LastTradingDay(Clock& clock);

// The date at 00:00 local time. "n/a" gives LastTradingDay. Text without a readable day gives
// LastTradingDay when useDefaults is set, else 0. A missing year or month is the current one;
// two-digit years below 50 are 20xx, 50 to 99 are 19xx.
StockTime ParseQuoteDate(int style, std::string_view text, bool useDefaults, Clock& clock);

// Seconds since midnight of "h:m" with an optional am/pm. Empty text or "n/a" gives the current
// time of day when useDefaults is set, else 0; text without ':' reads as the current time of day;
// a clock time outside 0:00 to 23:59 gives 0.
std::uint32_t ParseQuoteTime(int style, std::string_view text, bool useDefaults, Clock& clock);

// Date plus time of day of a quote of `market`, read with the styles of the market's source. A
// quote without a readable date has no time at all (0).
StockTime QuoteTimeOf(int market, std::string_view dateText, std::string_view timeText,
                      bool useDefaults, Clock& clock);

}  // namespace quillet
