#include "quotes/user_source_update.h"

#include <algorithm>

#include "core/quote_tables.h"
#include "platform/ascii.h"
#include "platform/context.h"

namespace quillet {
namespace {

HttpRequest RequestOf(const UserSourceRun& run, const std::string& url, std::uint32_t timeout,
                      CancelToken& cancel) {
  HttpRequest request;
  request.url = url;
  request.caFile = run.caFile;
  request.useProxy = run.useProxy;
  request.proxyHost = run.proxyHost;
  request.proxyPort = run.proxyPort;
  request.proxyUser = run.proxyUser;
  request.proxyPassword = run.proxyPassword;
  request.timeoutSeconds = timeout;
  request.keepGoing = [&run, &cancel] {
    if (run.pump) run.pump();
    return !cancel.cancelled();
  };
  return request;
}

// Why an answer cannot be used, or "" when it can.
std::string FailureOf(const HttpAnswer& answer) {
  if (answer.outcome != HttpAnswer::Outcome::kOk) return answer.failure;
  if (answer.status != 200) return "HTTP status " + std::to_string(answer.status);
  return {};
}

struct RoutedSymbol {
  std::string symbol;
  int market;
};

// The quote symbols of the owned or watched stocks routed to `source`, each once.
std::vector<RoutedSymbol> SymbolsOf(const SourceBook& book, const UserSource& source,
                                    StockSpan stocks) {
  std::vector<RoutedSymbol> out;
  for (const auto& stock : stocks) {
    if (stock == nullptr) continue;
    const StockRecord& r = *stock;
    if (r.ucStatus != kStatusActive && r.ucStatus != kStatusWatched) continue;
    const UserSource* routed = book.RouteOf(r.ucMarket);
    if (routed == nullptr || routed->name != source.name) continue;
    std::string symbol = QuoteSymbol(r.Symbol(), r.ucMarket);
    if (symbol.empty()) continue;
    const bool seen = std::any_of(out.begin(), out.end(), [&](const RoutedSymbol& s) {
      return EqualNoCase(s.symbol, symbol);
    });
    if (!seen) out.push_back({symbol, r.ucMarket});
  }
  return out;
}

void LogFailure(UpdateLog& log, const UserSource& source, std::string_view why) {
  log.Append(FormatLogLine("Quillet: [%s] %.*s", source.name.c_str(), static_cast<int>(why.size()),
                           why.data()));
}

}  // namespace

UserSourceRun UserSourceRunOf(PlatformContext& ctx) {
  UserSourceRun run;
  run.http = ctx.http();
  run.caFile = ctx.settings().caFile;
  return run;
}

HttpAnswer GetWithRetry(const UserSourceRun& run, const std::string& url, CancelToken& cancel) {
  HttpAnswer answer;
  if (run.http == nullptr) {
    answer.failure = "no HTTP transport in this program";
    return answer;
  }
  const int attempts = run.retry ? kAttemptsWithRetry : 1;
  const std::uint32_t timeout = run.retry ? run.retryTimeoutSeconds : run.timeoutSeconds;
  for (int attempt = 1; attempt <= attempts; ++attempt) {
    answer = run.http->Get(RequestOf(run, url, timeout, cancel));
    if (answer.outcome != HttpAnswer::Outcome::kTimedOut) break;
  }
  return answer;
}

UserSourcesOutcome FetchUserSources(const SourceBook& book, StockSpan stocks,
                                    DailyPointWriter* points, UpdateLog& log, Clock& clock,
                                    const UserSourceRun& run, CancelToken& cancel) {
  UserSourcesOutcome outcome;
  for (const UserSource& source : book.sources) {
    const std::vector<RoutedSymbol> symbols = SymbolsOf(book, source, stocks);
    const auto batch = static_cast<std::size_t>(std::max(source.batchSize, 1));
    for (std::size_t first = 0; first < symbols.size(); first += batch) {
      if (cancel.cancelled()) {
        outcome.cancelled = true;
        return outcome;
      }
      std::vector<std::string> names;
      std::string query;
      for (std::size_t i = first; i < std::min(symbols.size(), first + batch); ++i) {
        if (!query.empty()) query += source.separator;
        query += symbols[i].symbol;
        names.push_back(symbols[i].symbol);
      }
      log.Append("Query String: " + query);
      const HttpAnswer answer = GetWithRetry(run, QuoteUrlFor(source, names), cancel);
      if (answer.outcome == HttpAnswer::Outcome::kCancelled || cancel.cancelled()) {
        log.Append(kLogCancel);
        outcome.cancelled = true;
        return outcome;
      }
      if (answer.outcome == HttpAnswer::Outcome::kTimedOut) {
        log.Append(kLogTimeout);
        ++outcome.failedRequests;
        continue;
      }
      if (std::string why = FailureOf(answer); !why.empty()) {
        LogFailure(log, source, why);
        ++outcome.failedRequests;
        continue;
      }
      QuoteResultList results;
      std::string error;
      if (!ReadUserQuotes(source, answer.body, &results, &error)) {
        LogFailure(log, source, error);
        ++outcome.failedRequests;
        continue;
      }
      if (run.onResult) {
        for (const auto& r : results) run.onResult(*r);
      }
      ApplyRules rules;
      rules.belongs = [&book, &source](int market) {
        const UserSource* routed = book.RouteOf(market);
        return routed != nullptr && routed->name == source.name;
      };
      rules.tableRules = false;
      rules.timeOf = [&source, &clock](int, std::string_view date, std::string_view time) {
        return UserQuoteTime(source, date, time, clock);
      };
      ApplyResults(results, cancel, stocks, points, -1, rules, log, clock);
    }
  }
  return outcome;
}

int DownloadUserHistories(const SourceBook& book, StockSpan stocks, ChartStore& store,
                          const HistoryDownloadSettings& settings, Clock& clock,
                          const HistoryDownloadHooks& hooks, const UserSourceRun& run,
                          CancelToken& cancel) {
  auto log = [&](const std::string& line) {
    if (hooks.log) hooks.log(line);
  };
  std::vector<std::pair<RoutedSymbol, const UserSource*>> work;
  if (settings.bAllStocks) {
    for (const UserSource& source : book.sources) {
      if (source.historyUrl.empty()) continue;
      for (RoutedSymbol& s : SymbolsOf(book, source, stocks)) work.push_back({s, &source});
    }
  } else {
    for (const std::string& symbol : settings.symbols) {
      if (symbol.empty()) break;
      const int market = MarketOfListedSymbol(symbol, stocks);
      const UserSource* source = book.RouteOf(market);
      if (source == nullptr || source->historyUrl.empty()) continue;
      work.push_back({{symbol, market}, source});
    }
  }
  const StockTime today = static_cast<StockTime>(clock.Now());
  int failed = 0;
  for (const auto& [item, source] : work) {
    if (cancel.cancelled() || (hooks.cancelled && hooks.cancelled())) break;
    const std::string url = HistoryUrlFor(*source, item.symbol, settings.tHistoryStart, today);
    log("Quillet: price history of [" + item.symbol + "] from " + source->name);
    const HttpAnswer answer = GetWithRetry(run, url, cancel);
    std::vector<ChartPoint> points;
    std::string error = FailureOf(answer);
    if (error.empty() && !ReadUserHistory(*source, answer.body, clock, &points, &error)) {
      // error says why
    } else if (error.empty() && points.empty()) {
      error = "the answer holds no day";
    }
    if (!error.empty()) {
      log("Quillet: [" + item.symbol + "] " + error);
      ++failed;
      continue;
    }
    // Oldest first, one point per day (the first the answer listed for a day).
    std::stable_sort(points.begin(), points.end(), [](const ChartPoint& a, const ChartPoint& b) {
      return DayStart(a.tDate) < DayStart(b.tDate);
    });
    points.erase(std::unique(points.begin(), points.end(),
                             [](const ChartPoint& a, const ChartPoint& b) {
                               return DayStart(a.tDate) == DayStart(b.tDate);
                             }),
                 points.end());
    std::optional<ChartSeries> series = store.FindSeries(item.symbol, item.market);
    if (!series) {
      series.emplace();
      CopyToField(series->szName, item.symbol);
      series->ucMarket = static_cast<BYTE>(item.market);
    }
    const std::size_t count = points.size();
    series->points = std::move(points);
    series->bDirty = true;
    if (!store.WriteSeries(*series)) {
      log("Quillet: [" + item.symbol + "] could not write the price history");
      ++failed;
      continue;
    }
    log("Quillet: [" + item.symbol + "] " + std::to_string(count) + " days");
  }
  return failed;
}

SourceCheck CheckUserSource(const UserSource& source, const std::vector<std::string>& symbols,
                            const UserSourceRun& run, CancelToken& cancel) {
  SourceCheck check;
  check.url = QuoteUrlFor(source, symbols);
  UserSourceRun once = run;
  once.retry = false;
  check.answer = GetWithRetry(once, check.url, cancel);
  if (check.answer.outcome == HttpAnswer::Outcome::kOk) {
    check.read = ReadUserQuotes(source, check.answer.body, &check.results, &check.readError);
  }
  return check;
}

}  // namespace quillet
