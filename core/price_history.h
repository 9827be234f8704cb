// What the portfolio operations need from the price-history (chart) store: deleting a stock, a
// portfolio or everything, and splitting a stock, all reach its series through this interface.
// A series is named by a stock's quote symbol (or "PORTFOLIO<n>" with market 255 for a
// portfolio's own history) together with its market; names compare without regard to ASCII
// case and only their first 15 characters count. InMemoryPriceHistory serves tests and tools
// that run without the chart database.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/clock.h"

namespace quillet {

inline constexpr int kPortfolioSeriesMarket = 255;
// "PORTFOLIO<n>": the name of portfolio n's value history.
std::string PortfolioSeriesName(int portfolio);

class PriceHistory {
 public:
  virtual ~PriceHistory() = default;

  // True when a series (name, market) exists. False when it does not or the store cannot be
  // read.
  virtual bool HasSeries(std::string_view name, int market) = 0;
  // Deletes the series (name, market). True when it is gone afterwards (also when it never
  // existed); false when the store refused, which leaves it unchanged.
  virtual bool DeleteSeries(std::string_view name, int market) = 0;
  // Gives the series (name, market) a new name and market, points unchanged. False, and
  // nothing changed, when it does not exist or the store refused.
  virtual bool RenameSeries(std::string_view name, int market, std::string_view newName,
                            int newMarket) = 0;
  // Deletes every series and leaves an empty, usable store. False when the store could not be
  // recreated (the caller reports it; later calls may then fail).
  virtual bool DeleteAll() = 0;
  // Divides price, low and high of every point of the series whose day (cut to 00:00 local
  // time) is before the day of `splitDate` by `ratio`, truncated to whole units of the stored
  // fixed point; volumes and later points stay. False when the series does not exist or the
  // store refused; ratio must be above 0 (else false, nothing changed).
  virtual bool SplitSeries(std::string_view name, int market, StockTime splitDate,
                           double ratio) = 0;
};

// A chart store kept in memory: series with their points, enough for the operations above and
// for tests to look at what they did.
class InMemoryPriceHistory final : public PriceHistory {
 public:
  struct Point {
    StockTime tDate = 0;
    std::uint32_t dwPrice = 0;  // value * 10000 for stocks
    std::uint32_t dwLow = 0;
    std::uint32_t dwHigh = 0;
    std::uint32_t dwVolume = 0;
    bool operator==(const Point&) const = default;
  };

  // Creates or replaces a series.
  void PutSeries(std::string_view name, int market, std::vector<Point> points);
  // The series' points, or null when it does not exist.
  const std::vector<Point>* Series(std::string_view name, int market) const;
  std::size_t SeriesCount() const { return series_.size(); }
  // Counts DeleteAll calls (a whole-store recreation is visible to tests this way).
  int recreations() const { return recreations_; }

  bool HasSeries(std::string_view name, int market) override;
  bool DeleteSeries(std::string_view name, int market) override;
  bool RenameSeries(std::string_view name, int market, std::string_view newName,
                    int newMarket) override;
  bool DeleteAll() override;
  bool SplitSeries(std::string_view name, int market, StockTime splitDate, double ratio) override;

 private:
  using Key = std::pair<std::string, int>;
  static Key MakeKey(std::string_view name, int market);
  std::map<Key, std::vector<Point>> series_;
  int recreations_ = 0;
};

}  // namespace quillet
