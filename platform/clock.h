// Time as the system counts it. `StockTime` is a u32 of seconds since 1970-01-01 00:00 UTC
// (0 = no date); local calendar dates convert to and from it with the process's time zone, as
// mktime and localtime do. "Now" always comes from a Clock so tests and scripts can set it:
// a program's main makes its system clock (platform/linux) with the fixed time of QUILLET_NOW
// when that is set.
#pragma once

#include <cstdint>
#include <optional>

namespace quillet {

using StockTime = std::uint32_t;

class Clock {
 public:
  virtual ~Clock() = default;
  // Seconds since 1970-01-01 00:00 UTC.
  virtual std::int64_t Now() = 0;
};

// A clock that stands still until a test moves it.
class ManualClock final : public Clock {
 public:
  explicit ManualClock(std::int64_t now = 0) : now_(now) {}
  std::int64_t Now() override { return now_; }
  void Set(std::int64_t now) { now_ = now; }
  void Advance(std::int64_t seconds) { now_ += seconds; }

 private:
  std::int64_t now_;
};

struct LocalTime {
  int year = 1970;  // e.g. 2003
  int month = 1;    // 1..12
  int day = 1;      // 1..31
  int hour = 0;
  int minute = 0;
  int second = 0;
  int dayOfWeek = 4;  // 0 = Sunday
  bool daylight = false;
};

// The local calendar time of t in the process's time zone.
LocalTime ToLocal(std::int64_t t);
// The time of a local calendar date and time; out-of-range fields are carried as mktime does
// (month 13 is January of the next year). nullopt when the result is not representable as a
// StockTime (before 1970 or after 2106).
std::optional<StockTime> FromLocal(int year, int month, int day, int hour = 0, int minute = 0,
                                   int second = 0);
// 00:00 local time of t's day.
StockTime DayStart(StockTime t);
// The StockTime of "now", cut to u32.
StockTime NowStockTime(Clock& clock);

}  // namespace quillet
