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

namespace {

// The zone's offset from UTC at t, in seconds east.
long OffsetAt(std::time_t t) {
  std::tm tm{};
  localtime_r(&t, &tm);
  return tm.tm_gmtoff;
}

std::optional<StockTime> ToStockTime(std::time_t t) {
  if (t < 0 || static_cast<std::int64_t>(t) > 0xFFFFFFFFll) return std::nullopt;
  return static_cast<StockTime>(t);
}

}  // namespace

std::optional<StockTime> FromLocal(int year, int month, int day, int hour, int minute, int second) {
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  tm.tm_sec = second;
  tm.tm_isdst = -1;  // let the zone's rules decide, as the device does

  // mktime makes the C library look at the zone afresh on every call (without TZ set, a file
  // status call each time), and an update run converts a date for every quote and every point
  // it adds. Where the zone's offset is the same a day before and a day after, the time is the
  // date read as UTC less that offset; the result must show the very fields asked for, so a
  // change of offset nearby or fields that need carrying leave the answer to mktime.
  std::tm asUtc = tm;
  const std::time_t utc = timegm(&asUtc);
  if (utc != static_cast<std::time_t>(-1)) {
    const long offset = OffsetAt(utc - 86400);
    if (offset == OffsetAt(utc + 86400)) {
      const std::time_t t = utc - offset;
      std::tm check{};
      localtime_r(&t, &check);
      if (check.tm_year == tm.tm_year && check.tm_mon == tm.tm_mon && check.tm_mday == tm.tm_mday &&
          check.tm_hour == tm.tm_hour && check.tm_min == tm.tm_min && check.tm_sec == tm.tm_sec) {
        return ToStockTime(t);
      }
    }
  }

  std::time_t t = std::mktime(&tm);
  if (t == static_cast<std::time_t>(-1) &&
      !(tm.tm_year == 69 && tm.tm_mon == 11 && tm.tm_mday == 31)) {
    return std::nullopt;
  }
  return ToStockTime(t);
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
