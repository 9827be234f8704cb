// The steps of a quote update that the handheld's run and the desktop companion's run share:
// building a request from the stocks (or the currency pairs) of one quote source, fetching it
// with the retry rules, and writing the answers into the stock records, the currency table and
// the price history, with a network-log line for everything done or failed.
#pragma once

#include <cstddef>
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
#include "quotes/network_log.h"
#include "quotes/quote_client.h"
#include "quotes/user_source_store.h"

namespace quillet {

using StockSpan = std::span<const std::unique_ptr<StockRecord>>;

// A request stops taking symbols once it is this long (50 short of the 1024 a server accepts).
inline constexpr std::size_t kRequestSymbolLimit = 974;
inline constexpr int kMaxSymbolsPerBatch = 150;
// The bar-separated list source answers at most 18 symbols at a time.
inline constexpr int kListSource = 3;
inline constexpr int kMaxSymbolsListSource = 18;
// Time-out and attempts of a request when retrying.
inline constexpr std::uint32_t kRetryTimeoutSeconds = 30;
inline constexpr int kAttemptsWithRetry = 3;

// Log texts of a failed request.
inline constexpr char kLogTimeout[] = "Quillet: Timeout operation";
inline constexpr char kLogCancel[] = "Quillet: Cancel operation";
inline constexpr char kLogUnknownCode[] = "Quillet: Unknown return code";

// Where ApplyQuotes puts the day's point of a stock that keeps a price history.
class DailyPointWriter {
 public:
  virtual ~DailyPointWriter() = default;
  // False when the point could not be written.
  virtual bool AddDailyPoint(std::string_view name, int market, StockTime date,
                             const PointFigures& figures) = 0;
};

// Writes each point into the chart store at once.
class ChartPointWriter final : public DailyPointWriter {
 public:
  explicit ChartPointWriter(ChartStore& charts) : charts_(charts) {}
  bool AddDailyPoint(std::string_view name, int market, StockTime date,
                     const PointFigures& figures) override;

 private:
  ChartStore& charts_;
};

// Keeps the points of a whole run and writes them together at its end, in one transaction, so
// the run pays for one commit and holds the database's write lock only while it writes, never
// while it waits for a server.
class PendingDailyPoints final : public DailyPointWriter {
 public:
  bool AddDailyPoint(std::string_view name, int market, StockTime date,
                     const PointFigures& figures) override;
  // A point at another scale than a stock's (a portfolio's), kept with the others so that the
  // run's points are stored together or not at all.
  void AddScaledPoint(std::string_view name, int market, StockTime date,
                      const PointFigures& figures, double scale);
  // Writes every kept point in order (a later point of the same series and day overwrites an
  // earlier one) and forgets them. Each point that could not be written gets the log line
  // "Quillet: could not update graph data for [<symbol>]."; returns how many failed. Without a
  // chart store (null) nothing is written and nothing fails; a store that is not open (it could
  // not be opened, or made anew after Delete ALL) fails every point.
  //
  // `carryOn`, when given, is called every kPointsPerTurn points while they are written: it lets
  // the window answer (a run's points can take seconds to write) and says whether to go on.
  // When it says no, nothing of the run is kept, the log gets "Quillet: Cancel operation" once
  // and every point counts as failed.
  int Flush(ChartStore* charts, UpdateLog& log, const std::function<bool()>& carryOn = {});
  static constexpr std::size_t kPointsPerTurn = 32;
  std::size_t size() const { return points_.size(); }

 private:
  struct Point {
    std::string name;
    int market;
    StockTime date;
    PointFigures figures;
    double scale = kStockScale;
  };
  std::vector<Point> points_;
};

// Appends to the client's request the quote symbols of the stocks (owned or watched) of
// `source`, from *resumeIndex on, with the source's separator; a stock whose symbol equals the
// last one added (`lastSymbol`, kept across the batches of one source and emptied when its first
// batch begins) is not asked twice. Stops at 150 symbols (18 for the list source) or when the
// request reaches 974 characters, leaving *resumeIndex at the next stock (else 0). For source 0
// it also marks in the client's needed-sources flags the source of every stock it does not take.
// Stocks of markets that `routes` sends to a user's source are left to that source. True when a
// symbol was added.
bool BuildSymbolQuery(StockSpan stocks, CQuoteClient& client, int source, int* resumeIndex,
                      std::string* lastSymbol, const SourceBook* routes = nullptr);

// Appends the currency pairs (code of currency i, code of the base currency, "=X") for the
// currencies from max(1, *resumeIndex) on, leaving out pairs of two euro currencies, whose rate is
// fixed. Stops when the request reaches 974 characters (*resumeIndex at the next currency, else
// 0). True when a pair was added.
bool BuildCurrencyQuery(CQuoteClient& client, std::span<const CurrencyEntry> currencies,
                        int* resumeIndex);

// The pair a currency is asked for: its code, the base currency's code, "=X", blanks removed.
std::string CurrencyPair(const CurrencyEntry& currency, const CurrencyEntry& base);

// Sends the symbols of the request (from `start`, split at the source's separator) one request
// each, upper-cased; results accumulate in the client. With retry a timed-out request is tried 3
// times in all, each attempt waiting `retryTimeoutSeconds` (30 in every real run; tests shorten
// it); without, one attempt waiting `timeoutSeconds`. Every attempt starts from the result list
// as it was before the request, and a request that does not succeed leaves nothing in it.
// Failures are logged, and counted in *failed when given (a cancel is no failure). Returns the
// code of the last symbol's request.
int FetchEach(CQuoteClient& client, UpdateLog& log, bool retry, std::uint32_t timeoutSeconds,
              std::size_t start, int source,
              std::uint32_t retryTimeoutSeconds = kRetryTimeoutSeconds, int* failed = nullptr);
// Sends the whole request (already ended) once, with the same retry rule and log lines. Returns
// its code.
int FetchBatch(CQuoteClient& client, UpdateLog& log, bool retry, std::uint32_t timeoutSeconds,
               std::uint32_t retryTimeoutSeconds = kRetryTimeoutSeconds);

// Writes the client's results into the stocks of `source` that are owned or watched: price,
// last move, quote time and market figures, with the pence and pound rules, one log line per
// stock; adds the day's point of each stock that keeps a price history (`points` may be null).
// Applies nothing once the run's g_cancelUpdate (the client's) is set. For the currency source use
// ApplyCurrencyRates. Stocks of markets that `routes` sends to a user's source are left alone.
void ApplyQuotes(CQuoteClient& client, StockSpan stocks, DailyPointWriter* points, int source,
                 UpdateLog& log, Clock& clock, const SourceBook* routes = nullptr);

// How ApplyResults picks the stocks a list of results is for and reads their quote times.
struct ApplyRules {
  std::function<bool(int market)> belongs;
  // The table sources' pence rules (London in pence, European prices suddenly in pence); a
  // user's source has its own divisor instead.
  bool tableRules = true;
  std::function<StockTime(int market, std::string_view date, std::string_view time)> timeOf;
};
// What ApplyQuotes does, for any list of results: the stocks `rules` picks get their figures,
// log lines and points the same way.
void ApplyResults(QuoteResultList& results, const CancelToken& cancel, StockSpan stocks,
                  DailyPointWriter* points, int source, const ApplyRules& rules, UpdateLog& log,
                  Clock& clock);

// Sets the rate of every currency whose pair was answered. A pair answered without a usable rate
// (N/A, unreadable, zero or negative) keeps the previous rate and is logged as such.
void ApplyCurrencyRates(CQuoteClient& client, std::span<CurrencyEntry> currencies, UpdateLog& log);

}  // namespace quillet
