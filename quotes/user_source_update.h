// The update of the stocks whose markets the user routed to a source of their own: their quote
// symbols asked in batches of the definition's size over HTTP(S), the answers read with the
// definition and applied by the same step as the table sources' answers (same figures, same
// log lines, same day's points); and their price histories fetched through the history URL into
// the chart store. Both the handheld's run and the desktop's run call these.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/chart_store.h"
#include "platform/clock.h"
#include "platform/http_transport.h"
#include "quotes/cancel_token.h"
#include "quotes/history_download.h"
#include "quotes/network_log.h"
#include "quotes/update_steps.h"
#include "quotes/user_source_store.h"

namespace quillet {

class PlatformContext;

// How a run's user-source requests are made.
struct UserSourceRun {
  HttpTransport* http = nullptr;  // null: every request fails with a log line
  std::string caFile;
  bool useProxy = false;
  std::string proxyHost;
  std::uint16_t proxyPort = 8080;
  std::string proxyUser;  // Basic authentication (the desktop's setting)
  std::string proxyPassword;
  bool retry = true;                       // a timed-out request is tried 3 times in all
  std::uint32_t timeoutSeconds = 30;       // without retry
  std::uint32_t retryTimeoutSeconds = 30;  // each attempt's, with retry
  std::function<void()> pump;              // called while a request waits (window messages)
  // Called with every quote read from an answer before it is applied (the desktop logs each).
  std::function<void(const QuoteResult&)> onResult;
};

// The transport and CA file of a context.
UserSourceRun UserSourceRunOf(PlatformContext& ctx);

// How the user sources of one run ended.
struct UserSourcesOutcome {
  int failedRequests = 0;
  bool cancelled = false;
};

// Asks every user source that a market with stocks is routed to, and applies the answers.
// Each batch is logged as "Query String: <symbols>", each failure as "Quillet: [<source>] <why>"
// (nothing of a failed or unreadable answer is applied), each price as the table sources' are.
UserSourcesOutcome FetchUserSources(const SourceBook& book, StockSpan stocks,
                                    DailyPointWriter* points, UpdateLog& log, Clock& clock,
                                    const UserSourceRun& run, CancelToken& cancel);

// One request with the run's retry rule: kOk answers of any status, else the last failure.
HttpAnswer GetWithRetry(const UserSourceRun& run, const std::string& url, CancelToken& cancel);

// Downloads the price history of the stocks of routed markets (every priced stock, or the
// listed symbols of the settings) whose source has a history URL, from the settings' start to
// today, and replaces each symbol's series with it. Writes every outcome through hooks.log and
// returns how many downloads failed.
int DownloadUserHistories(const SourceBook& book, StockSpan stocks, ChartStore& store,
                          const HistoryDownloadSettings& settings, Clock& clock,
                          const HistoryDownloadHooks& hooks, const UserSourceRun& run,
                          CancelToken& cancel);

// What one check of a source saw: the request, the answer and what was read from it.
struct SourceCheck {
  std::string url;
  HttpAnswer answer;
  bool read = false;
  std::string readError;
  QuoteResultList results;
};
SourceCheck CheckUserSource(const UserSource& source, const std::vector<std::string>& symbols,
                            const UserSourceRun& run, CancelToken& cancel);

}  // namespace quillet
