// The simulator's market: a quote for any symbol, the same one for the same seed and day, or the
// values of a fixture file; currency pairs "XXXYYY=X" from a table of rates; and daily history.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace quillet::sim {

// One quote as text, ready to be written in any source's format. "N/A" marks a missing value.
struct SimQuote {
  std::string symbol;
  std::string last, change, low, high, prevClose, volume, bid, ask, yearLow, yearHigh;
  // The trading day and time of the quote (local calendar of the simulator's time zone).
  int year = 1970, month = 1, day = 1, hour = 16, minute = 0;
  // Fixture texts that replace the written date and time when given.
  std::string dateText, timeText;
};

struct SimHistoryDay {
  int year, month, day;
  double open, high, low, close;
  std::uint64_t volume;
};

class PriceBook {
 public:
  // `now` decides "today": quotes carry the last weekday up to it.
  PriceBook(std::uint64_t seed, std::int64_t now);

  // Reads a fixture: one quote per line, "SYMBOL,last,change,low,high,prevclose,volume,bid,ask,
  // yearlow,yearhigh[,date[,time]]"; blank lines and lines starting with '#' are skipped, empty
  // fields mean N/A. Once a fixture is loaded only its symbols (and currency pairs) are known.
  // False with *error set for a line without a symbol or with too many fields.
  bool LoadFixture(std::string_view text, std::string* error);
  void AddUnknown(std::string_view symbol);

  // The quote of a symbol, nullopt when the symbol is unknown (answered with N/A values).
  std::optional<SimQuote> Quote(std::string_view symbol) const;
  // The trading days between two dates (inclusive, weekdays only), newest first; empty for an
  // unknown symbol. At most 5000 days.
  std::vector<SimHistoryDay> History(std::string_view symbol, int fromYear, int fromMonth,
                                     int fromDay, int toYear, int toMonth, int toDay) const;

  std::uint64_t seed() const { return seed_; }
  std::int64_t now() const { return now_; }

 private:
  std::optional<SimQuote> CurrencyQuote(std::string_view pair) const;
  SimQuote Generated(const std::string& symbol) const;
  void StampToday(SimQuote& quote) const;

  std::uint64_t seed_;
  std::int64_t now_;
  bool fixtureOnly_ = false;
  std::map<std::string, SimQuote> fixture_;  // by upper-case symbol
  std::set<std::string> unknown_;
};

// A 64-bit hash of text and seed, the root of every generated number.
std::uint64_t SeededHash(std::uint64_t seed, std::string_view text);
// Fixed-point text with `places` decimals.
std::string Fixed(double value, int places);

}  // namespace quillet::sim
