#include "quotes/update_steps.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

#include "core/decimal_text.h"
#include "core/euro_rates.h"
#include "core/quote_tables.h"
#include "platform/ascii.h"
#include "platform/codepage.h"
#include "quotes/quote_dates.h"
#include "quotes/quote_text.h"

namespace quillet {
namespace {

constexpr int kMarketLondonPounds = 14;
static_assert(sizeof(QuoteResult::szLow) == kDecimalTextSize &&
              sizeof(QuoteResult::szYearHigh) == kDecimalTextSize &&
              sizeof(QuoteResult::szLast) == kDecimalTextSize);

// `value` with `places` decimals ('+' in front of a positive value when asked), giving up
// decimals until it fits a 12-byte field.
std::string FitDecimal(double value, int places, bool plus) {
  for (int p = places; p >= 0; --p) {
    std::string text = FormatDecimal(value, p);
    if (plus && value > 0) text.insert(text.begin(), '+');
    if (text.size() < kDecimalTextSize) return text;
  }
  return FormatDecimal(value, 0).substr(0, kDecimalTextSize - 1);
}

void ScaleField(char* field, std::size_t capacity, double factor, bool plus) {
  double value = ParseDecimal(FieldText(field, capacity), 4) * factor;
  CopyToField(field, capacity, FitDecimal(value, 4, plus));
}

// A result text with its trailing zeros removed, for a stock field.
template <std::size_t N>
std::string Trimmed(const char (&field)[N]) {
  char copy[N];
  CopyToField(copy, FieldText(field));
  TrimTrailingZeros(copy);
  return std::string(FieldText(copy));
}

// The new last written back into the result after a conversion.
void RewriteLast(QuoteResult& result, double value) {
  CopyToField(result.szLast, FitDecimal(value, 4, false));
  TrimTrailingZeros(result.szLast);
  result.sConverted = 1;
}

// Handles the code of one finished request; true when it should be tried again.
bool LogOutcome(int code, UpdateLog& log, std::string_view symbol, const CQuoteClient& client,
                bool canRetry) {
  switch (code) {
    case QR_OK:
      return false;
    case QR_ERROR:
      if (symbol.empty()) {
        log.Append(FormatLogLine("Quillet: %s", client.errorText()));
      } else {
        log.Append(FormatLogLine("Quillet: [%.*s] %s", static_cast<int>(symbol.size()),
                                 symbol.data(), client.errorText()));
      }
      return false;
    case QR_TIMEOUT:
      if (canRetry) return true;
      log.Append(kLogTimeout);
      return false;
    case QR_CANCELLED:
      log.Append(kLogCancel);
      return false;
    default:
      log.Append(kLogUnknownCode);
      return false;
  }
}

int ExecuteWithRetry(CQuoteClient& client, UpdateLog& log, bool retry, std::string_view symbol) {
  int attempts = 0;
  for (;;) {
    int code = client.Execute();
    ++attempts;
    if (!LogOutcome(code, log, symbol, client, retry && attempts < kAttemptsWithRetry)) {
      return code;
    }
    client.SetResultCode(QR_OK);
  }
}

// The results by symbol without regard to case, the first of equal ones winning as FindResult
// finds them: every batch is matched against the whole stock list, which must not cost a walk
// of the results per stock.
std::unordered_map<std::string, QuoteResult*> IndexResults(QuoteResultList& results) {
  std::unordered_map<std::string, QuoteResult*> index;
  index.reserve(results.size());
  for (const auto& r : results) index.emplace(ToLowerAscii(FieldText(r->szSymbol)), r.get());
  return index;
}

void PrepareFetch(CQuoteClient& client, bool retry, std::uint32_t timeoutSeconds,
                  std::uint32_t retryTimeoutSeconds) {
  client.SetTimeout(retry ? retryTimeoutSeconds : timeoutSeconds);
  client.SetPumpHook([] {});
  client.FreeResults();
}

}  // namespace

bool ChartPointWriter::AddDailyPoint(std::string_view name, int market, StockTime date,
                                     const PointFigures& figures) {
  return charts_.AddDailyPoint(name, market, date, figures, kStockScale);
}

bool PendingDailyPoints::AddDailyPoint(std::string_view name, int market, StockTime date,
                                       const PointFigures& figures) {
  points_.push_back(Point{std::string(name), market, date, figures});
  return true;
}

void PendingDailyPoints::AddScaledPoint(std::string_view name, int market, StockTime date,
                                        const PointFigures& figures, double scale) {
  points_.push_back(Point{std::string(name), market, date, figures, scale});
}

int PendingDailyPoints::Flush(ChartStore* charts, UpdateLog& log,
                              const std::function<bool()>& carryOn) {
  std::vector<Point> points = std::move(points_);
  points_.clear();
  if (charts == nullptr || points.empty()) return 0;
  int failed = 0;
  std::vector<bool> ok(points.size(), charts->isOpen());
  // A store that is not open keeps nothing: every point is reported as lost.
  if (charts->isOpen()) {
    ChartStore::Transaction tx(*charts);
    for (std::size_t i = 0; i < points.size(); ++i) {
      if (carryOn && i % kPointsPerTurn == 0 && !carryOn()) {
        // Stopped: the transaction is dropped uncommitted, so the run keeps none of its points
        // rather than some of them.
        log.Append(kLogCancel);
        return static_cast<int>(points.size());
      }
      const Point& p = points[i];
      ok[i] = charts->AddDailyPoint(p.name, p.market, p.date, p.figures, p.scale);
    }
    if (!tx.Commit()) std::fill(ok.begin(), ok.end(), false);
  }
  for (std::size_t i = 0; i < points.size(); ++i) {
    if (ok[i]) continue;
    ++failed;
    log.Append(
        FormatLogLine("Quillet: could not update graph data for [%s].", points[i].name.c_str()));
  }
  return failed;
}

bool BuildSymbolQuery(StockSpan stocks, CQuoteClient& client, int source, int* resumeIndex,
                      std::string* lastSymbol, const SourceBook* routes) {
  if (*resumeIndex == 0) lastSymbol->clear();
  std::size_t first = static_cast<std::size_t>(std::max(*resumeIndex, 0));
  *resumeIndex = 0;
  const QuoteSource* entry = GetQuoteSource(source);
  const char separator = entry != nullptr ? entry->cSeparator : '+';
  auto& needed = client.neededSources();
  int added = 0;
  for (std::size_t k = first; k < stocks.size(); ++k) {
    const StockRecord& r = *stocks[k];
    if (routes != nullptr && routes->Routed(r.ucMarket)) continue;
    const int stockSource = GetMarketSource(r.ucMarket);
    if ((r.ucStatus == kStatusActive || r.ucStatus == kStatusWatched) && stockSource == source) {
      std::string symbol = QuoteSymbol(r.Symbol(), r.ucMarket);
      if (symbol.empty() || EqualNoCase(symbol, *lastSymbol)) continue;
      if (client.requestLength() >= kRequestSymbolLimit ||
          (source == kListSource && added == kMaxSymbolsListSource) ||
          added == kMaxSymbolsPerBatch) {
        *resumeIndex = static_cast<int>(k);
        break;
      }
      if (added > 0) client.AppendRequest(std::string_view(&separator, 1));
      client.AppendRequest(symbol);
      ++added;
      *lastSymbol = symbol;
    } else if (source == kSourceCsvUs && stockSource >= 0 && stockSource < kQuoteSourceCount) {
      // Market 46 has no source at all and never makes a source needed.
      needed[static_cast<std::size_t>(stockSource)] = 1;
    }
  }
  return added > 0;
}

std::string CurrencyPair(const CurrencyEntry& currency, const CurrencyEntry& base) {
  std::string pair;
  for (std::string_view code : {currency.Code(), base.Code()}) {
    for (char c : code) {
      if (c != ' ') pair.push_back(c);
    }
  }
  AppendMarketSuffix(kMarketCurrency, pair);
  return pair;
}

bool BuildCurrencyQuery(CQuoteClient& client, std::span<const CurrencyEntry> currencies,
                        int* resumeIndex) {
  std::size_t first = static_cast<std::size_t>(std::max(*resumeIndex, 1));
  *resumeIndex = 0;
  if (currencies.empty()) return false;
  const CurrencyEntry& base = currencies[0];
  const bool baseIsEuro = EuroRateLookup(base.Code()) >= 0;
  int added = 0;
  for (std::size_t i = first; i < currencies.size(); ++i) {
    if (baseIsEuro && EuroRateLookup(currencies[i].Code()) >= 0) continue;
    std::string pair = CurrencyPair(currencies[i], base);
    if (client.requestLength() >= kRequestSymbolLimit) {
      *resumeIndex = static_cast<int>(i);
      break;
    }
    if (added > 0) client.AppendRequest("+");
    client.AppendRequest(pair);
    ++added;
  }
  return added > 0;
}

int FetchEach(CQuoteClient& client, UpdateLog& log, bool retry, std::uint32_t timeoutSeconds,
              std::size_t start, int source, std::uint32_t retryTimeoutSeconds, int* failed) {
  PrepareFetch(client, retry, timeoutSeconds, retryTimeoutSeconds);
  std::string_view request = client.request();
  std::string text(start < request.size() ? request.substr(start) : std::string_view());
  const QuoteSource* entry = GetQuoteSource(source);
  const char separator = entry != nullptr ? entry->cSeparator : '+';
  int code = QR_OK;
  std::size_t pos = 0;
  while (pos <= text.size() && !text.empty()) {
    std::size_t end = text.find(separator, pos);
    if (end == std::string::npos) end = text.size();
    std::string symbol = text.substr(pos, end - pos);
    pos = end + 1;
    symbol = ToUpperAscii(symbol);
    if (!symbol.empty()) {
      client.BeginRequest(source);
      client.AppendRequest(symbol);
      client.EndRequest();
      code = ExecuteWithRetry(client, log, retry, symbol);
      if (failed != nullptr && code != QR_OK && code != QR_CANCELLED) ++*failed;
    }
    if (end == text.size()) break;
  }
  return code;
}

int FetchBatch(CQuoteClient& client, UpdateLog& log, bool retry, std::uint32_t timeoutSeconds,
               std::uint32_t retryTimeoutSeconds) {
  PrepareFetch(client, retry, timeoutSeconds, retryTimeoutSeconds);
  return ExecuteWithRetry(client, log, retry, {});
}

void ApplyQuotes(CQuoteClient& client, StockSpan stocks, DailyPointWriter* points, int source,
                 UpdateLog& log, Clock& clock, const SourceBook* routes) {
  if (source == kSourceCurrency) return;  // the currency table is ApplyCurrencyRates' business
  ApplyRules rules;
  rules.belongs = [source, routes](int market) {
    return GetMarketSource(market) == source && (routes == nullptr || !routes->Routed(market));
  };
  rules.timeOf = [&clock](int market, std::string_view date, std::string_view time) {
    return QuoteTimeOf(market, date, time, false, clock);
  };
  ApplyResults(client.results(), client.cancelToken(), stocks, points, source, rules, log, clock);
}

void ApplyResults(QuoteResultList& results, const CancelToken& cancel, StockSpan stocks,
                  DailyPointWriter* points, int source, const ApplyRules& rules, UpdateLog& log,
                  Clock& clock) {
  const auto index = IndexResults(results);
  if (index.empty()) return;
  for (const auto& stock : stocks) {
    if (cancel.g_cancelUpdate != 0) return;
    StockRecord& r = *stock;
    if (r.ucStatus != kStatusActive && r.ucStatus != kStatusWatched) continue;
    const int market = r.ucMarket;
    if (!rules.belongs(market)) continue;
    const std::string symbol = QuoteSymbol(r.Symbol(), market);
    if (symbol.empty()) continue;
    auto found = index.find(ToLowerAscii(symbol));
    if (found == index.end()) continue;
    QuoteResult* result = found->second;

    TrimTrailingZeros(result->szLast);
    double now = ParseDecimal(FieldText(result->szLast), 4);
    if (now == 0) {
      // No usable price: only the arrow says so. No point either, which would put a price of 0
      // into the history (or overwrite the day's real one).
      r.ucTrend = kTrendNoQuote;
      continue;
    }
    const double old = ParseDecimal(FieldText(r.szPrice), 4);
    // A price from the European service that is suddenly over 60 times the stored one is in
    // pence, and "London (£)" is always quoted in pence: every figure of the result is brought
    // back to pounds, once, however many stocks share the result. (Dividing only the last price
    // would leave the day's low and high, and the history points made of them, in pence.)
    const bool pence =
        source == kSourceCsvEurope && market != kMarketLondonPounds && old > 0 && now / old > 60;
    if (rules.tableRules && result->sConverted == 0 && (pence || market == kMarketLondonPounds)) {
      now *= 0.01;
      RewriteLast(*result, now);
      ScaleField(result->szChange, sizeof result->szChange, 0.01, true);
      for (char* field : {result->szLow, result->szHigh, result->szPrevClose, result->szBid,
                          result->szAsk, result->szYearLow, result->szYearHigh}) {
        ScaleField(field, kDecimalTextSize, 0.01, false);
      }
    }
    r.ucTrend = now > old ? kTrendUp : now < old ? kTrendDown : kTrendUnchanged;

    const std::string oldText(FieldText(r.szPrice));
    const std::string last(FieldText(result->szLast));
    log.Append(
        FormatLogLine(result->sConverted != 0 ? "  [%s] : [%s] -> [%s]*" : "  [%s] : [%s] -> [%s]",
                      symbol.c_str(), oldText.c_str(), last.c_str()));
    CopyToField(r.szPrice, last);
    r.tQuoteTime = rules.timeOf(market, FieldText(result->szDate), FieldText(result->szTime));
    CopyToField(r.szChange, Trimmed(result->szChange));
    CopyToField(r.szDayLow, Trimmed(result->szLow));
    CopyToField(r.szDayHigh, Trimmed(result->szHigh));
    CopyToField(r.szPrevClose, Trimmed(result->szPrevClose));
    CopyToField(r.szBid, Trimmed(result->szBid));
    CopyToField(r.szAsk, Trimmed(result->szAsk));
    CopyToField(r.sz52WeekLow, Trimmed(result->szYearLow));
    CopyToField(r.sz52WeekHigh, Trimmed(result->szYearHigh));
    CopyToField(r.szVolume, FieldText(result->szVolume));

    if ((r.ucFlags & kFlagChartHistory) != 0 && points != nullptr) {
      PointFigures f;
      f.price = now;
      f.low = ParseDecimal(FieldText(result->szLow), 4);
      f.high = ParseDecimal(FieldText(result->szHigh), 4);
      f.volume = ParseDecimal(FieldText(result->szVolume), kAllPlaces);
      // A quote without a readable date is today's.
      StockTime date = r.tQuoteTime != 0 ? r.tQuoteTime : static_cast<StockTime>(clock.Now());
      if (!points->AddDailyPoint(symbol, market, date, f)) {
        log.Append(FormatLogLine("Quillet: could not update graph data for [%s].", symbol.c_str()));
      }
    }
  }
}

void ApplyCurrencyRates(CQuoteClient& client, std::span<CurrencyEntry> currencies, UpdateLog& log) {
  if (currencies.empty()) return;
  for (std::size_t i = 1; i < currencies.size(); ++i) {
    CurrencyEntry& c = currencies[i];
    const std::string pair = CurrencyPair(c, currencies[0]);
    const QuoteResult* result = FindResult(client.results(), pair);
    if (result == nullptr) continue;
    const std::string symbol(FieldText(result->szSymbol));
    const std::string last(FieldText(result->szLast));
    const double rate = ParseDecimal(last, 6);
    if (!(rate > 0)) {
      // A rate of 0 would turn every amount in this currency into 0, and be saved.
      log.Append(FormatLogLine("Quillet: [%s] no rate in the answer [%s], keeping [%f]",
                               symbol.c_str(), last.c_str(), c.dRate));
      continue;
    }
    log.Append(FormatLogLine("  [%s] : [%f] -> [%s]", symbol.c_str(), c.dRate, last.c_str()));
    c.dRate = rate;
  }
}

}  // namespace quillet
