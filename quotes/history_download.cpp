#include "quotes/history_download.h"

#include <algorithm>
#include <string>

#include "core/quote_tables.h"
#include "platform/ascii.h"
#include "quotes/quote_client.h"
#include "quotes/user_source_store.h"

namespace quillet {

namespace {

// London quotes come in pence; the stock is kept in pounds.
constexpr int kMarketLondonPence = 14;
constexpr int kHistoryAttempts = 3;

struct HistorySymbol {
  std::string symbol;
  int market;
};

std::vector<HistorySymbol> SymbolsToFetch(std::span<const std::unique_ptr<StockRecord>> stocks,
                                          const HistoryDownloadSettings& settings,
                                          const SourceBook* routes) {
  std::vector<HistorySymbol> out;
  if (settings.bAllStocks) {
    // Only the CSV markets have histories on the history host.
    std::string previous;
    for (const auto& stock : stocks) {
      if (stock == nullptr || stock->ucStatus > kStatusWatched) continue;
      if (routes != nullptr && routes->Routed(stock->ucMarket)) continue;
      int source = GetMarketSource(stock->ucMarket);
      if (source != kSourceCsvUs && source != kSourceCsvEurope) continue;
      std::string symbol = QuoteSymbol(stock->Symbol(), stock->ucMarket);
      if (symbol.empty() || EqualNoCase(symbol, previous)) continue;
      previous = symbol;
      out.push_back({symbol, stock->ucMarket});
    }
    return out;
  }
  for (const std::string& symbol : settings.symbols) {
    if (symbol.empty()) break;
    const int market = MarketOfListedSymbol(symbol, stocks);
    if (routes != nullptr && routes->Routed(market)) continue;
    out.push_back({symbol, market});
  }
  return out;
}

// The history host's path (a format in the source table) filled with the months counted from
// 0, the days and years of both dates, and the symbol.
std::string HistoryPath(const LocalTime& from, const LocalTime& to, std::string_view symbol) {
  const int numbers[] = {from.month - 1, from.day, from.year, to.month - 1, to.day, to.year};
  std::string_view format = GetQuoteSource(kSourceHistory)->szPathPrefix;
  std::string path;
  std::size_t next = 0;
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] == '%' && i + 1 < format.size() && format[i + 1] == 'd' && next < 6) {
      path += std::to_string(numbers[next++]);
      ++i;
    } else if (format[i] == '%' && i + 1 < format.size() && format[i + 1] == 's') {
      path += symbol;
      ++i;
    } else {
      path += format[i];
    }
  }
  return path;
}

// Oldest first, one point per day and no more than a series holds. The host lists the days
// newest first; should it repeat a day or list one out of order, the chart's order by day must
// still hold: days are sorted, and of a repeated day the line the host listed first is kept.
void OldestFirst(std::vector<ChartPoint>& points) {
  std::reverse(points.begin(), points.end());
  std::stable_sort(points.begin(), points.end(), [](const ChartPoint& a, const ChartPoint& b) {
    return DayStart(a.tDate) < DayStart(b.tDate);
  });
  std::vector<ChartPoint> kept;
  kept.reserve(points.size());
  for (const ChartPoint& point : points) {
    if (!kept.empty() && DayStart(point.tDate) == DayStart(kept.back().tDate)) {
      kept.back() = point;
    } else {
      kept.push_back(point);
    }
  }
  if (kept.size() > kMaxChartPoints) kept.erase(kept.begin(), kept.end() - kMaxChartPoints);
  points = std::move(kept);
}

// Replaces the series' points with the download. False when it could not be written.
bool StoreHistory(ChartStore& store, const HistorySymbol& item, std::vector<ChartPoint> points) {
  std::optional<ChartSeries> series = store.FindSeries(item.symbol, item.market);
  if (!series) {
    series.emplace();
    CopyToField(series->szName, item.symbol);
    series->ucMarket = static_cast<BYTE>(item.market);
  }
  if (item.market == kMarketLondonPence) {
    for (ChartPoint& point : points) {
      point.dwPrice /= 100;
      point.dwLow /= 100;
      point.dwHigh /= 100;
    }
  }
  series->points = std::move(points);
  series->bDirty = true;
  return store.WriteSeries(*series);
}

}  // namespace

int MarketOfListedSymbol(std::string_view symbol,
                         std::span<const std::unique_ptr<StockRecord>> stocks) {
  if (std::size_t dot = symbol.rfind('.'); dot != std::string_view::npos) {
    std::string_view tail = symbol.substr(dot);
    for (int market = 0; market < kMarketCount; ++market) {
      std::string_view suffix = GetMarketInfo(market)->szSuffix;
      if (!suffix.empty() && EqualNoCase(suffix, tail)) return market;
    }
  }
  int market = kMarketUs;
  for (const auto& stock : stocks) {
    if (stock != nullptr && stock->Symbol() == symbol) market = stock->ucMarket;
  }
  return market;
}

int DownloadPriceHistory(CQuoteClient& client, std::span<const std::unique_ptr<StockRecord>> stocks,
                         ChartStore& store, const HistoryDownloadSettings& settings, Clock& clock,
                         const HistoryDownloadHooks& hooks, const SourceBook* routes) {
  auto log = [&](const std::string& line) {
    if (hooks.log) hooks.log(line);
  };
  client.SetTimeout(settings.bRetry ? hooks.retryTimeout : settings.dwTimeout);
  client.FreeResults();
  const LocalTime from = ToLocal(settings.tHistoryStart);
  const LocalTime to = ToLocal(clock.Now());

  int code = QR_OK;
  int downloads = 0;
  for (const HistorySymbol& item : SymbolsToFetch(stocks, settings, routes)) {
    if (hooks.cancelled && hooks.cancelled()) break;
    const std::string path = HistoryPath(from, to, item.symbol);
    std::vector<ChartPoint> points;
    client.SetParser(kSourceHistory, [&points, &clock](CQuoteClient& c) {
      return ParseHistoryCsv(c, points, clock);
    });
    for (int attempt = 1;; ++attempt) {
      points.clear();
      client.BeginRequestWithPath(kSourceHistory, path);
      client.EndRequest();
      code = client.Execute();
      if (code != QR_TIMEOUT || !settings.bRetry || attempt >= kHistoryAttempts) break;
    }
    client.SetParser(kSourceHistory, {});

    switch (code) {
      case QR_OK:
        ++downloads;
        break;
      case QR_ERROR:
        log("Quillet: cannot retrieve chart data for [" + item.symbol + "]");
        break;
      case QR_TIMEOUT:
        log("Quillet: Timeout operation retrieving chart data");
        break;
      case QR_CANCELLED:
        log("Quillet: Cancel operation retrieving chart data");
        break;
      default:
        log("Quillet: Unknown return code retrieving chart data");
        break;
    }
    // Only a whole answer replaces the stored history: the lines of a request that failed
    // half-way are the newest days alone, and would throw the older ones away.
    std::size_t imported = 0;
    if (code == QR_OK && !points.empty()) {
      OldestFirst(points);
      std::size_t count = points.size();
      if (StoreHistory(store, item, std::move(points))) imported = count;
    }
    log("Quillet: Imported chart data for: " + item.symbol + " (" + std::to_string(imported) +
        " days)");
  }
  log("Quillet: Imported [" + std::to_string(downloads) + "] chart records");
  return code;
}

}  // namespace quillet
