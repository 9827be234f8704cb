#include "core/price_history.h"

#include <cmath>

#include "platform/ascii.h"

namespace quillet {

std::string PortfolioSeriesName(int portfolio) { return "PORTFOLIO" + std::to_string(portfolio); }

InMemoryPriceHistory::Key InMemoryPriceHistory::MakeKey(std::string_view name, int market) {
  return {ToUpperAscii(name.substr(0, 15)), market};
}

void InMemoryPriceHistory::PutSeries(std::string_view name, int market, std::vector<Point> points) {
  series_[MakeKey(name, market)] = std::move(points);
}

const std::vector<InMemoryPriceHistory::Point>* InMemoryPriceHistory::Series(std::string_view name,
                                                                             int market) const {
  auto it = series_.find(MakeKey(name, market));
  return it == series_.end() ? nullptr : &it->second;
}

bool InMemoryPriceHistory::HasSeries(std::string_view name, int market) {
  return series_.count(MakeKey(name, market)) != 0;
}

bool InMemoryPriceHistory::DeleteSeries(std::string_view name, int market) {
  series_.erase(MakeKey(name, market));
  return true;
}

bool InMemoryPriceHistory::RenameSeries(std::string_view name, int market, std::string_view newName,
                                        int newMarket) {
  auto it = series_.find(MakeKey(name, market));
  if (it == series_.end()) return false;
  std::vector<Point> points = std::move(it->second);
  series_.erase(it);
  series_[MakeKey(newName, newMarket)] = std::move(points);
  return true;
}

bool InMemoryPriceHistory::DeleteAll() {
  series_.clear();
  ++recreations_;
  return true;
}

bool InMemoryPriceHistory::SplitSeries(std::string_view name, int market, StockTime splitDate,
                                       double ratio) {
  if (!(ratio > 0)) return false;
  auto it = series_.find(MakeKey(name, market));
  if (it == series_.end()) return false;
  StockTime splitDay = DayStart(splitDate);
  for (Point& p : it->second) {
    if (DayStart(p.tDate) >= splitDay) break;  // points are oldest first
    p.dwPrice = static_cast<std::uint32_t>(p.dwPrice / ratio);
    p.dwLow = static_cast<std::uint32_t>(p.dwLow / ratio);
    p.dwHigh = static_cast<std::uint32_t>(p.dwHigh / ratio);
  }
  return true;
}

}  // namespace quillet
