// Fetching a stock's whole price history in one request from the CSV quote service's history
// host (source 10) and writing it into the device's price-history store. The desktop companion
// does this while the handheld is connected; the handheld itself only ever adds one point per
// update run.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/chart_store.h"
#include "core/stock_records.h"
#include "platform/clock.h"

namespace quillet {

class CQuoteClient;
struct SourceBook;

inline constexpr std::size_t kHistorySymbolCount = 16;

// The desktop settings the download follows.
struct HistoryDownloadSettings {
  StockTime tHistoryStart = 0;  // the first day asked for; the last is today
  bool bAllStocks = true;       // every priced stock of the list, else the symbols below
  std::array<std::string, kHistorySymbolCount> symbols;  // up to the first empty entry
  bool bRetry = true;            // 30-second time-out and up to 3 attempts per symbol
  std::uint32_t dwTimeout = 30;  // seconds, when bRetry is off
};

// What the download reports to and listens to besides its settings.
struct HistoryDownloadHooks {
  std::function<void(std::string_view)> log;  // one line of the desktop log
  std::function<bool()> cancelled;            // the desktop's Cancel button, read between symbols
  std::uint32_t retryTimeout = 30;            // the time-out of each attempt with bRetry
};

// Reads the answer of the history host: header lines, a column line ("Date,Close" for the
// short layout, any other for date, open, high, low, close, volume), then one line per trading
// day, newest first. Appends one point per readable line (the day + 60 seconds, prices times
// 10000; low, high and volume 0 in the short layout), at most kMaxChartPoints, newest first.
// False with QR_ERROR when the headers could not be read; true otherwise, with QR_ERROR when
// the answer was "No data".
bool ParseHistoryCsv(CQuoteClient& client, std::vector<ChartPoint>& points, Clock& clock);

// Downloads the history of each symbol (every priced stock of the CSV markets, or the listed
// symbols) from the start date of the settings to today and replaces the symbol's series in
// `store` with it, oldest first; London (pence) prices are divided by 100. Writes every outcome
// to the log and returns the result code of the last request (QR_OK when there was none).
// Stocks of markets that `routes` sends to a user's source are left to that source.
int DownloadPriceHistory(CQuoteClient& client, std::span<const std::unique_ptr<StockRecord>> stocks,
                         ChartStore& store, const HistoryDownloadSettings& settings, Clock& clock,
                         const HistoryDownloadHooks& hooks, const SourceBook* routes = nullptr);

// The market a listed symbol belongs to: the market whose suffix is the symbol's text from its
// last '.', else the market of the last stock whose symbol is exactly this one, else 0 ("US").
int MarketOfListedSymbol(std::string_view symbol,
                         std::span<const std::unique_ptr<StockRecord>> stocks);

}  // namespace quillet
