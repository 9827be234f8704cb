#include "quotes/device/update_quotes.h"

#include <algorithm>
#include <new>
#include <optional>
#include <span>
#include <string>

#include "core/data_files.h"
#include "core/messages.h"
#include "core/portfolio_math.h"
#include "core/quote_tables.h"
#include "quotes/connection.h"
#include "quotes/user_source_update.h"

namespace quillet {
namespace {

// Dials the preferences' connection once per run, before the first request that needs it.
class RunConnection {
 public:
  RunConnection(UpdateServices& s, QuoteProgress* progress)
      : s_(s),
        dialer_(s.store.context().dialer()),
        ticks_(s.store.context().ticks()),
        progress_(progress) {}

  void DialIfWanted() {
    PortfolioStore& store = s_.store;
    const std::string_view entry = FieldText(store.szRasEntry);
    const bool modemOn = (store.ucPrefFlags & kPrefModemOff) == 0;
    if (!modemOn || entry.empty() || connection_ != 0 || tried_) return;
    tried_ = true;
    if (entry.front() == '`') {
      s_.log.Append(kLogInvalidRasProfile);
      return;
    }
    if (progress_ != nullptr) progress_->ShowStatus(strings::IDS_CONNECTING_INTERNET);
    int result = DialConnection(dialer_, ticks_, entry, &connection_, Pump());
    if (const char* text = DialLogText(result)) s_.log.Append(text);
  }

  // Only a line this run dialled, and only when the preferences say so.
  void HangUpIfWanted() {
    if (s_.store.bCloseConnection == 0 || connection_ == 0) return;
    if (progress_ != nullptr) progress_->ShowStatus(strings::IDS_CLOSING_CONNECTION);
    HangUpConnection(dialer_, ticks_, connection_, Pump(), kHangUpWaitMs);
    connection_ = 0;
  }

 private:
  std::function<void()> Pump() {
    return [this] { s_.host.PumpMessages(); };
  }

  UpdateServices& s_;
  RasDialer& dialer_;
  MonotonicClock& ticks_;
  QuoteProgress* progress_;
  HRASCONN connection_ = 0;
  bool tried_ = false;
};

// The progress window as the client sees it, with the run's onWait called every time the
// client pumps messages while it waits: a terminal run sees Ctrl-C there, with a progress
// display or without one (a background run).
class WatchedProgress final : public QuoteProgress {
 public:
  WatchedProgress(QuoteProgress* window, const UpdateSettings& settings, CancelToken& cancel)
      : window_(window), settings_(settings), cancel_(cancel) {}
  void ShowStatus(UINT stringId) override {
    if (window_ != nullptr) window_->ShowStatus(stringId);
  }
  void PumpMessages() override {
    if (window_ != nullptr) window_->PumpMessages();
    settings_.onWait(cancel_);
  }

 private:
  QuoteProgress* window_;
  const UpdateSettings& settings_;
  CancelToken& cancel_;
};

// How one source's requests ended.
struct SourceOutcome {
  int code = QR_OK;      // the last request's
  bool failed = false;   // a request ended with an error, a final time-out or an unknown code
  bool stopRun = false;  // the run must end: cancelled, or stopped by a final time-out
};

SourceOutcome FetchSource(int source, CQuoteClient& client, UpdateServices& s,
                          const UpdateSettings& settings, RunConnection& connection,
                          PendingDailyPoints& points, const SourceBook& book) {
  PortfolioStore& store = s.store;
  const StockSpan stocks(store.stocks);
  const std::span<CurrencyEntry> currencies(
      store.currencies,
      std::min<std::size_t>(std::max<std::size_t>(store.wCurrencyCount, 1), kMaxCurrencies));
  const QuoteSource* entry = GetQuoteSource(source);
  SourceOutcome outcome;
  int resume = 0;
  std::string lastSymbol;
  do {
    client.BeginRequest(source);
    const std::size_t start = client.requestLength();
    connection.DialIfWanted();
    const bool added = source == kSourceCurrency
                           ? BuildCurrencyQuery(client, currencies, &resume)
                           : BuildSymbolQuery(stocks, client, source, &resume, &lastSymbol, &book);
    if (!added) return outcome;
    std::string line = "Query String: ";
    line += client.request().substr(start);
    s.log.Append(line);
    if (client.cancelToken().g_cancelUpdate != 0) {
      // Set by Cancel, or left set by the final time-out of this source's previous batch (which
      // already counted as a failure): the stocks of this batch stay as they were.
      outcome.stopRun = true;
      return outcome;
    }
    if (entry->bOnePerRequest != 0) {
      int failedSymbols = 0;
      outcome.code = FetchEach(client, s.log, settings.retry, settings.timeoutSeconds, start,
                               source, settings.retryTimeoutSeconds, &failedSymbols);
      if (failedSymbols > 0) outcome.failed = true;
    } else {
      client.EndRequest();
      outcome.code = FetchBatch(client, s.log, settings.retry, settings.timeoutSeconds,
                                settings.retryTimeoutSeconds);
    }
    // Any request that failed leaves stocks without prices, so the run is not complete, even
    // when a later batch or symbol of the same source succeeds.
    if (outcome.code != QR_OK && outcome.code != QR_CANCELLED) outcome.failed = true;
    if (source == kSourceCurrency) {
      // A request cut short by a time-out or cancel is not applied.
      if (client.cancelToken().g_cancelUpdate == 0) ApplyCurrencyRates(client, currencies, s.log);
    } else {
      ApplyQuotes(client, stocks, &points, source, s.log, store.context().clock(), &book);
    }
  } while (resume > 0);
  return outcome;
}

}  // namespace

bool UpdateQuotes(UpdateServices& s, const UpdateSettings& settings, CancelToken& cancel,
                  bool background) {
  PortfolioStore& store = s.store;
  s.log.Clear();
  s.log.Append(FormatLogLine("Quillet %s (PocketPC)", kUpdateVersion));

  std::unique_ptr<CQuoteClient> client;
  try {
    client = std::make_unique<CQuoteClient>(ClientVariant::kDevice,
                                            ClientServicesOf(store.context(), cancel));
  } catch (const std::bad_alloc&) {
    s.log.Append("Quillet: could not allocate data");
    return false;
  }
  if (settings.server) client->SetServerOverride(settings.server);

  std::unique_ptr<QuoteProgress> progress;
  if (!background) progress = s.host.OpenProgress(cancel);
  std::optional<WatchedProgress> watched;
  if (settings.onWait) watched.emplace(progress.get(), settings, cancel);
  client->SetProgress(watched ? &*watched : progress.get());
  // A cancel or time-out of an earlier run must not end this one before it begins; a timer run
  // has no progress window to clear the flag.
  cancel.g_cancelUpdate = 0;

  SnapshotLastUpdateProfit(store);
  store.tLastUpdate = static_cast<StockTime>(store.context().clock().Now());
  SortStocks(store, kSortSymbol, false, false);
  client->SetProxy(store.bUseProxy != 0, FieldText(store.szProxyHost), store.wProxyPort, false, {},
                   {});

  // The markets the user sent to sources of their own; a stored definition that cannot be used
  // is named in the log, and its markets stay with their table sources.
  const SourceBook book = LoadSourceBook(*RegistrySourceSettings(store.context().registry()));
  for (const std::string& problem : book.problems) s.log.Append("Quillet: " + problem);

  RunConnection connection(s, progress.get());
  QuoteProgress* waits = watched ? &*watched : progress.get();
  PendingDailyPoints points;
  int failures = 0;
  bool stopped = false;
  for (int source = 0; source < kQuoteSourceCount; ++source) {
    if (source == kSourcePlaceholder) continue;
    if (source > 0 && source != kSourceCurrency &&
        client->neededSources()[static_cast<std::size_t>(source)] == 0) {
      continue;
    }
    SourceOutcome outcome = FetchSource(source, *client, s, settings, connection, points, book);
    if (outcome.failed) ++failures;
    if (outcome.stopRun || outcome.code == QR_CANCELLED) {
      stopped = true;
      break;
    }
  }
  if (!stopped && !book.sources.empty()) {
    connection.DialIfWanted();
    UserSourceRun run = UserSourceRunOf(store.context());
    run.useProxy = store.bUseProxy != 0;
    run.proxyHost = std::string(FieldText(store.szProxyHost));
    run.proxyPort = store.wProxyPort;
    run.retry = settings.retry;
    run.timeoutSeconds = settings.timeoutSeconds;
    run.retryTimeoutSeconds = settings.retryTimeoutSeconds;
    run.pump = [waits] {
      if (waits != nullptr) waits->PumpMessages();
    };
    const UserSourcesOutcome user = FetchUserSources(book, StockSpan(store.stocks), &points, s.log,
                                                     store.context().clock(), run, cancel);
    failures += user.failedRequests;
  }
  // Thousands of histories take seconds to write: the progress window keeps answering, and its
  // Cancel, pressed now, drops the run's points whole. A cancel that already stopped the
  // fetching keeps the points of what was fetched, as before.
  const bool cancelledBefore = cancel.cancelled();
  points.Flush(s.charts, s.log, [&] {
    if (waits != nullptr) waits->PumpMessages();
    return cancelledBefore || !cancel.cancelled();
  });

  connection.HangUpIfWanted();
  client.reset();

  store.bAlertActive = CheckAlerts(store, false) ? 1 : 0;
  s.alerts.UpdateAlertButton(store.bAlertActive != 0);
  SortStocks(store);

  progress.reset();
  if (background) {
    if (store.bAlertActive != 0) s.alerts.ShowAlertNotification();
  } else {
    s.host.PlayUpdateSound();
  }
  return failures == 0;
}

UpdateOutcome CUpdateCommand::UpdateStocks(bool background) {
  if (updating_) return UpdateOutcome::kTurnedAway;
  updating_ = true;
  const DWORD selected = services_.host.SelectedStock();
  const bool complete = UpdateQuotes(services_, settings_, cancel_, background);
  if (!complete) {
    services_.store.context().messageBoxes().Show(strings::TextOf(strings::IDS_UPDATE_NOT_COMPLETE),
                                                  text::kCaption, MB_OK | MB_ICONINFORMATION);
  }
  saved_ = SaveStocks(services_.store);
  services_.host.RefillList(selected);
  updating_ = false;
  return complete ? UpdateOutcome::kComplete : UpdateOutcome::kIncomplete;
}

}  // namespace quillet
