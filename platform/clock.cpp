#include "platform/clock.h"

#include <ctime>

namespace quillet {

LocalTime ToLocal(std::int64_t t) {
  std::time_t tt = static_cast<std::time_t>(t);
  std::tm tm{};
  localtime_r(&tt, &tm);
  LocalTime lt;
  lt.year = tm.tm_year + 1900;
  lt.month = tm.tm_mon + 1;
  lt.day = tm.tm_mday;
  lt.hour = tm.tm_hour;
  lt.minute = tm.tm_min;
  lt.second = tm.tm_sec;
  lt.dayOfWeek = tm.tm_wday;
  lt.daylight = tm.tm_isdst > 0;
  return lt;
}

std::optional<StockTime> FromLocal(int year, int month, int day, int hour, int minute, int second) {
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  tm.tm_sec = second;
  tm.tm_isdst = -1;  // let the zone's rules decide, as the device does
  std::time_t t = std::mktime(&tm);
  if (t == static_cast<std::time_t>(-1) &&
      !(tm.tm_year == 69 && tm.tm_mon == 11 && tm.tm_mday == 31)) {
    return std::nullopt;
  }
  if (t < 0 || static_cast<std::int64_t>(t) > 0xFFFFFFFFll) return std::nullopt;
  return static_cast<StockTime>(t);
}

StockTime DayStart(StockTime t) {
  LocalTime lt = ToLocal(t);
  auto start = FromLocal(lt.year, lt.month, lt.day);
  return start ? *start : 0;
}

StockTime NowStockTime(Clock& clock) {
  std::int64_t now = clock.Now();
  if (now < 0) return 0;
  return static_cast<StockTime>(now);
}

}  // namespace quillet
