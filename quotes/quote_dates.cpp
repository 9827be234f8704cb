#include "quotes/quote_dates.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/quote_tables.h"
#include "platform/ascii.h"

namespace quillet {

namespace {

constexpr std::uint32_t kHalfDay = 43200;

std::string_view StripBlanks(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

// Splits at any of `separators`; runs of separators count as one and give no empty parts.
std::vector<std::string_view> Split(std::string_view text, std::string_view separators) {
  std::vector<std::string_view> parts;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t begin = text.find_first_not_of(separators, pos);
    if (begin == std::string_view::npos) break;
    std::size_t end = text.find_first_of(separators, begin);
    if (end == std::string_view::npos) end = text.size();
    parts.push_back(text.substr(begin, end - begin));
    pos = end;
  }
  return parts;
}

// The leading decimal digits of a part as a number (capped, so long digit runs cannot
// overflow); nullopt when the part does not start with a digit.
std::optional<int> LeadingNumber(std::string_view part) {
  std::size_t i = 0;
  while (i < part.size() && part[i] == ' ') ++i;
  if (i == part.size() || part[i] < '0' || part[i] > '9') return std::nullopt;
  long value = 0;
  for (; i < part.size() && part[i] >= '0' && part[i] <= '9'; ++i) {
    value = value * 10 + (part[i] - '0');
    if (value > 1000000) value = 1000000;
  }
  return static_cast<int>(value);
}

std::optional<int> MonthOfName(std::string_view name) {
  static constexpr std::array<const char*, 12> kNames = {"jan", "feb", "mar", "apr", "may", "jun",
                                                         "jul", "aug", "sep", "oct", "nov", "dec"};
  std::string lower = ToLowerAscii(name);
  for (int i = 0; i < 12; ++i) {
    if (lower == kNames[static_cast<std::size_t>(i)]) return i + 1;
  }
  return std::nullopt;
}

std::uint32_t TimeOfDayNow(Clock& clock) {
  LocalTime now = ToLocal(clock.Now());
  return static_cast<std::uint32_t>(now.hour * 3600 + now.minute * 60 + now.second);
}

// "h:m" (anything after the minutes ignored). nullopt for a clock time outside the day.
std::optional<std::uint32_t> ReadClockTime(std::string_view text, Clock& clock) {
  std::size_t colon = text.find(':');
  if (colon == std::string_view::npos) return TimeOfDayNow(clock);
  int hours = LeadingNumber(text.substr(0, colon)).value_or(0);
  int minutes = LeadingNumber(text.substr(colon + 1)).value_or(0);
  if (hours > 23 || minutes > 59) return std::nullopt;
  return static_cast<std::uint32_t>((hours * 60 + minutes) * 60);
}

int DaysInMonth(int year, int month) {
  static constexpr std::array<int, 12> kDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[static_cast<std::size_t>(month - 1)];
}

}  // namespace

StockTime LastTradingDay(Clock& clock) {
  LocalTime today = ToLocal(clock.Now());
  int back = today.dayOfWeek == 6 ? 1 : today.dayOfWeek == 0 ? 2 : 0;
  return FromLocal(today.year, today.month, today.day - back).value_or(0);
}

StockTime ParseQuoteDate(int style, std::string_view text, bool useDefaults, Clock& clock) {
  text = StripBlanks(text);
  if (ToLowerAscii(text) == "n/a") return LastTradingDay(clock);

  std::optional<int> day, month, year;
  bool unreadable = false;
  std::vector<std::string_view> parts = Split(text, "-/. :");
  auto part = [&](std::size_t i) -> std::optional<std::string_view> {
    if (i < parts.size()) return parts[i];
    return std::nullopt;
  };
  auto number = [&](std::size_t i) -> std::optional<int> {
    auto p = part(i);
    if (!p) return std::nullopt;
    auto n = LeadingNumber(*p);
    if (!n) unreadable = true;  // a part that is there but is no number
    return n;
  };
  switch (style) {
    case kDateDayMonthYear:
      day = number(0);
      month = number(1);
      year = number(2);
      break;
    case kDateMonthDayYear:
      month = number(0);
      day = number(1);
      year = number(2);
      break;
    case kDateDayMonthNameYear:
      day = number(0);
      if (auto name = part(1)) month = MonthOfName(*name);  // unknown name: month unset
      year = number(2);
      break;
    default:
      break;
  }

  LocalTime now = ToLocal(clock.Now());
  if (year) {
    if (*year < 50) {
      *year += 2000;
    } else if (*year < 100) {
      *year += 1900;
    }
  }
  // A day or month out of range is not carried into the next month or year: such text is not a
  // date this program can trust.
  // (31/04 is no date, not 1 May.)
  const int y = year.value_or(now.year);
  const int m = month.value_or(now.month);
  bool readable = !unreadable && day && m >= 1 && m <= 12 && *day >= 1 && *day <= DaysInMonth(y, m);
  if (readable) {
    auto date = FromLocal(y, m, *day);
    if (date) return *date;
  }
  return useDefaults ? LastTradingDay(clock) : 0;
}

std::uint32_t ParseQuoteTime(int style, std::string_view text, bool useDefaults, Clock& clock) {
  text = StripBlanks(text);
  std::string lower = ToLowerAscii(text);
  if (lower.empty() || lower == "n/a") return useDefaults ? TimeOfDayNow(clock) : 0;

  std::optional<std::uint32_t> t;
  if (std::size_t a = lower.find('a'); a != std::string::npos) {
    t = ReadClockTime(std::string_view(lower).substr(0, a), clock);
    if (t && *t >= kHalfDay) *t -= kHalfDay;
  } else if (std::size_t p = lower.find('p'); p != std::string::npos) {
    t = ReadClockTime(std::string_view(lower).substr(0, p), clock);
    if (t && *t < kHalfDay) *t += kHalfDay;
  } else {
    t = ReadClockTime(lower, clock);
    if (t && *t < 28800 && style == 3) *t += kHalfDay;
  }
  return t.value_or(0);
}

StockTime QuoteTimeOf(int market, std::string_view dateText, std::string_view timeText,
                      bool useDefaults, Clock& clock) {
  int dateStyle = kDateNone;
  int timeStyle = 0;
  if (const QuoteSource* source = GetQuoteSource(GetMarketSource(market))) {
    dateStyle = source->ucDateStyle;
    timeStyle = source->ucTimeStyle;
  }
  StockTime date = ParseQuoteDate(dateStyle, dateText, useDefaults, clock);
  if (date == 0) return 0;
  return date + ParseQuoteTime(timeStyle, timeText, useDefaults, clock);
}

}  // namespace quillet
