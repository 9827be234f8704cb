#include "tools/simulator/sim_prices.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "platform/ascii.h"

namespace quillet::sim {

namespace {

std::uint64_t Mix(std::uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

// A number in [0, 1) drawn from a hash and a stream index.
double Unit(std::uint64_t hash, std::uint64_t index) {
  return static_cast<double>(Mix(hash + index * 0x632BE59BD9B4E019ull) >> 11) / 9007199254740992.0;
}

std::string Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\r')) {
    text.remove_prefix(1);
  }
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
    text.remove_suffix(1);
  }
  return std::string(text);
}

std::tm LocalOf(std::int64_t t) {
  std::time_t tt = static_cast<std::time_t>(t);
  std::tm tm{};
  localtime_r(&tt, &tm);
  return tm;
}

// Normalised local date (day may be out of range; mktime carries it).
std::tm Normalised(int year, int month, int day) {
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = 12;  // noon: safe from daylight-saving gaps
  tm.tm_isdst = -1;
  std::mktime(&tm);
  return tm;
}

// Units of each currency per US dollar. The legacy euro-zone codes follow the euro at their
// fixed conversion rates.
struct Rate {
  const char* code;
  double perDollar;
};
constexpr double kEuro = 0.9234;
constexpr Rate kRates[] = {
    {"USD", 1.0},
    {"EUR", kEuro},
    {"GBP", 0.7891},
    {"JPY", 149.52},
    {"CHF", 0.8812},
    {"CAD", 1.3598},
    {"AUD", 1.5312},
    {"NZD", 1.6455},
    {"SEK", 10.8123},
    {"NOK", 10.9821},
    {"DKK", 6.8912},
    {"HKD", 7.8123},
    {"SGD", 1.3456},
    {"ZAR", 18.7654},
    {"INR", 83.112},
    {"KRW", 1320.5},
    {"MXN", 17.045},
    {"BRL", 4.9512},
    {"TRY", 32.11},
    {"PLN", 3.9811},
    {"CZK", 22.871},
    {"HUF", 356.2},
    {"THB", 35.44},
    {"TWD", 31.52},
    {"DEM", kEuro * 1.95583},
    {"FRF", kEuro * 6.55957},
    {"ITL", kEuro * 1936.27},
    {"ESP", kEuro * 166.386},
    {"NLG", kEuro * 2.20371},
    {"BEF", kEuro * 40.3399},
    {"ATS", kEuro * 13.7603},
    {"PTE", kEuro * 200.482},
    {"FIM", kEuro * 5.94573},
    {"IEP", kEuro * 0.787564},
    {"LUF", kEuro * 40.3399},
    {"GRD", kEuro * 340.75},
};

std::optional<double> PerDollar(std::string_view code) {
  for (const Rate& r : kRates) {
    if (code == r.code) return r.perDollar;
  }
  return std::nullopt;
}

}  // namespace

std::uint64_t SeededHash(std::uint64_t seed, std::string_view text) {
  std::uint64_t h = 0xCBF29CE484222325ull ^ Mix(seed);
  for (unsigned char c : text) {
    h ^= c;
    h *= 0x100000001B3ull;
  }
  return Mix(h);
}

std::string Fixed(double value, int places) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", places, value);
  return text;
}

PriceBook::PriceBook(std::uint64_t seed, std::int64_t now) : seed_(seed), now_(now) {}

bool PriceBook::LoadFixture(std::string_view text, std::string* error) {
  int lineNumber = 0;
  while (!text.empty()) {
    std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    ++lineNumber;
    std::string trimmed = Trim(line);
    if (trimmed.empty() || trimmed.front() == '#') continue;
    std::vector<std::string> fields;
    std::size_t pos = 0;
    for (;;) {
      std::size_t comma = trimmed.find(',', pos);
      fields.push_back(Trim(std::string_view(trimmed).substr(
          pos, comma == std::string::npos ? std::string::npos : comma - pos)));
      if (comma == std::string::npos) break;
      pos = comma + 1;
    }
    if (fields[0].empty() || fields.size() > 13) {
      if (error != nullptr) {
        *error = "fixture line " + std::to_string(lineNumber) +
                 (fields[0].empty() ? ": no symbol" : ": more than 13 fields");
      }
      return false;
    }
    fields.resize(13);
    SimQuote q;
    q.symbol = fields[0];
    std::string* values[] = {&q.last,   &q.change, &q.low, &q.high,    &q.prevClose,
                             &q.volume, &q.bid,    &q.ask, &q.yearLow, &q.yearHigh};
    for (std::size_t i = 0; i < 10; ++i) *values[i] = fields[i + 1].empty() ? "N/A" : fields[i + 1];
    q.dateText = fields[11];
    q.timeText = fields[12];
    StampToday(q);
    fixture_[ToUpperAscii(q.symbol)] = q;
  }
  fixtureOnly_ = true;
  return true;
}

void PriceBook::AddUnknown(std::string_view symbol) { unknown_.insert(ToUpperAscii(symbol)); }

void PriceBook::StampToday(SimQuote& quote) const {
  std::tm today = LocalOf(now_);
  int back = today.tm_wday == 6 ? 1 : today.tm_wday == 0 ? 2 : 0;
  std::tm day = Normalised(today.tm_year + 1900, today.tm_mon + 1, today.tm_mday - back);
  quote.year = day.tm_year + 1900;
  quote.month = day.tm_mon + 1;
  quote.day = day.tm_mday;
  // On the trading day itself the quote is as fresh as "now"; after the close (or on a weekend)
  // it is the closing time.
  int minutes = back == 0 ? today.tm_hour * 60 + today.tm_min : 16 * 60;
  minutes = std::clamp(minutes, 9 * 60 + 30, 16 * 60);
  quote.hour = minutes / 60;
  quote.minute = minutes % 60;
}

std::optional<SimQuote> PriceBook::CurrencyQuote(std::string_view pair) const {
  if (pair.size() != 8 || pair.substr(6) != "=X") return std::nullopt;
  auto from = PerDollar(pair.substr(0, 3));
  auto to = PerDollar(pair.substr(3, 3));
  if (!from || !to) return std::nullopt;
  std::uint64_t h = SeededHash(seed_, pair);
  double rate = *to / *from * (1.0 + (Unit(h, 1) - 0.5) * 0.02);
  SimQuote q;
  q.symbol = std::string(pair);
  q.last = Fixed(rate, 4);
  q.change = q.low = q.high = q.prevClose = q.volume = "N/A";
  q.bid = Fixed(rate * 0.9999, 4);
  q.ask = Fixed(rate * 1.0001, 4);
  q.yearLow = q.yearHigh = "N/A";
  StampToday(q);
  return q;
}

SimQuote PriceBook::Generated(const std::string& symbol) const {
  std::uint64_t h = SeededHash(seed_, ToUpperAscii(symbol));
  std::tm today = LocalOf(now_);
  // The day enters the numbers so a new day moves the prices, repeatably.
  std::uint64_t d = SeededHash(
      h, std::to_string((today.tm_year + 1900) * 10000 + (today.tm_mon + 1) * 100 + today.tm_mday));
  double prev = std::round((5.0 + Unit(h, 0) * 495.0) * (0.9 + Unit(d, 1) * 0.2) * 100) / 100;
  double last = std::round(prev * (1.0 + (Unit(d, 2) - 0.5) * 0.1) * 100) / 100;
  double low = std::round(std::min(prev, last) * (1.0 - Unit(d, 3) * 0.02) * 100) / 100;
  double high = std::round(std::max(prev, last) * (1.0 + Unit(d, 4) * 0.02) * 100) / 100;
  double change = last - prev;
  SimQuote q;
  q.symbol = symbol;
  q.last = Fixed(last, 2);
  q.change = (change > 0.0049 ? "+" : "") + Fixed(change, 2);
  if (q.change == "-0.00") q.change = "0.00";
  q.low = Fixed(low, 2);
  q.high = Fixed(high, 2);
  q.prevClose = Fixed(prev, 2);
  q.volume = std::to_string(static_cast<std::uint64_t>(Unit(d, 5) * 9000000) + 1000);
  q.bid = Fixed(last - 0.01, 2);
  q.ask = Fixed(last + 0.01, 2);
  q.yearLow = Fixed(std::round(low * (0.6 + Unit(h, 6) * 0.3) * 100) / 100, 2);
  q.yearHigh = Fixed(std::round(high * (1.1 + Unit(h, 7) * 0.5) * 100) / 100, 2);
  StampToday(q);
  return q;
}

std::optional<SimQuote> PriceBook::Quote(std::string_view symbol) const {
  std::string key = ToUpperAscii(symbol);
  if (key.empty() || unknown_.count(key) != 0) return std::nullopt;
  if (auto it = fixture_.find(key); it != fixture_.end()) {
    SimQuote q = it->second;
    q.symbol = std::string(symbol);
    return q;
  }
  if (key.size() > 2 && key.compare(key.size() - 2, 2, "=X") == 0) {
    // Currency pairs are known only for currencies of the rate table.
    auto currency = CurrencyQuote(key);
    if (currency) currency->symbol = std::string(symbol);
    return currency;
  }
  if (fixtureOnly_) return std::nullopt;
  return Generated(std::string(symbol));
}

std::vector<SimHistoryDay> PriceBook::History(std::string_view symbol, int fromYear, int fromMonth,
                                              int fromDay, int toYear, int toMonth,
                                              int toDay) const {
  std::vector<SimHistoryDay> days;
  std::string key = ToUpperAscii(symbol);
  if (key.empty() || unknown_.count(key) != 0) return days;
  if (fixtureOnly_ && fixture_.count(key) == 0) return days;
  std::uint64_t h = SeededHash(seed_, key);
  std::tm first = Normalised(fromYear, fromMonth, fromDay);
  std::tm cursor = Normalised(toYear, toMonth, toDay);
  std::time_t stop = std::mktime(&first);
  double price = 5.0 + Unit(h, 0) * 495.0;
  for (int step = 0; days.size() < 5000 && step < 10000; ++step) {
    std::tm day = Normalised(cursor.tm_year + 1900, cursor.tm_mon + 1, cursor.tm_mday - step);
    if (std::mktime(&day) < stop) break;
    if (day.tm_wday == 0 || day.tm_wday == 6) continue;
    std::uint64_t d = SeededHash(h, std::to_string(step));
    double close = std::round(price * 100) / 100;
    double open = std::round(close * (1.0 + (Unit(d, 1) - 0.5) * 0.04) * 100) / 100;
    double high = std::round(std::max(open, close) * (1.0 + Unit(d, 2) * 0.02) * 100) / 100;
    double low = std::round(std::min(open, close) * (1.0 - Unit(d, 3) * 0.02) * 100) / 100;
    auto volume = static_cast<std::uint64_t>(Unit(d, 4) * 5000000) + 100;
    days.push_back(
        {day.tm_year + 1900, day.tm_mon + 1, day.tm_mday, open, high, low, close, volume});
    price = std::max(1.0, open);  // walking back in time: yesterday closed near today's open
  }
  return days;
}

}  // namespace quillet::sim
