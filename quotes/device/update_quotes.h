// One update run of the handheld program (UpdateQuotes) and the command around it
// (UpdateStocks): every needed quote source asked in batches, the currency rates, the prices and
// market figures written into the stocks, the day's points added to the price histories, the
// network log, the dial-up connection, the alert evaluation and the sort; then the stock file
// saved. No window is needed: what the run shows goes through UpdateHost and AlertIndicator,
// which the program's windows implement and quillet-cli implements on the terminal.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "core/alert_evaluation.h"
#include "core/chart_store.h"
#include "core/portfolio_store.h"
#include "quotes/cancel_token.h"
#include "quotes/network_log.h"
#include "quotes/quote_client.h"
#include "quotes/quote_server.h"
#include "quotes/update_steps.h"

namespace quillet {

inline constexpr char kUpdateVersion[] = "v4.36a";

// What an update run needs from the user interface.
class UpdateHost {
 public:
  virtual ~UpdateHost() = default;
  // Opens the progress window of an interactive run (status texts, messages pumped while the
  // client waits, Cancel raising the run's `cancel`). Null when none can be shown; the run then
  // goes on without one. The window closes when the returned object goes.
  virtual std::unique_ptr<QuoteProgress> OpenProgress(CancelToken& cancel) = 0;
  // The short sound at the end of an interactive run (or the default beep).
  virtual void PlayUpdateSound() = 0;
  // Dispatches pending window messages (while a hang-up completes).
  virtual void PumpMessages() = 0;
  // The stock selected in the list before a run, and selecting it again after the list was
  // refilled with the run's results. 0: none.
  virtual DWORD SelectedStock() { return 0; }
  virtual void RefillList(DWORD /*selectStock*/) {}
};

// Everything a run works on and shows through. The platform's services (sockets, clocks, the
// dialler, the quote server setting) come from the store's context.
struct UpdateServices {
  PortfolioStore& store;
  ChartStore* charts;  // null or closed: no price history is kept
  NetworkLog& log;
  UpdateHost& host;
  AlertIndicator& alerts;
};

// How requests are made. The program always uses the defaults; tests and the benchmark point
// the client at the simulator and shorten the time-out.
struct UpdateSettings {
  bool retry = true;                                         // 3 attempts on a time-out
  std::uint32_t timeoutSeconds = kRetryTimeoutSeconds;       // used when retry is off
  std::uint32_t retryTimeoutSeconds = kRetryTimeoutSeconds;  // each attempt's, with retry
  // Else the quote server the context's program was started with, else the sources' hosts.
  std::optional<QuoteEndpoint> server;
  // Called with the run's Cancel whenever its requests pump messages while they wait, with or
  // without a progress window: a terminal run turns Ctrl-C into Cancel there.
  std::function<void(CancelToken&)> onWait;
};

// One run, cancelled through `cancel`. Background: started by the timer while another program
// is in front (no progress window, no sound, a notification when an alert is active). False
// when the client could not be made or any request of a source failed (error, final time-out,
// unknown code), including a time-out that ended the run before the source's next batch; true
// otherwise, also after a cancel.
bool UpdateQuotes(UpdateServices& services, const UpdateSettings& settings, CancelToken& cancel,
                  bool background);

enum class UpdateOutcome {
  kTurnedAway,  // another run was going on
  kComplete,
  kIncomplete,  // "Update not complete, check the network log." was shown
};

// The "Update Stocks" command: one run at a time (a second start, from the timer or the user,
// is turned away while one runs: both start their runs through the program's one command), the
// list's selection kept, the message when the run failed (also for background runs), the stock
// file saved in any case. The command owns its runs' Cancel and the guard; another command in
// the same process (a desktop run, a test) has its own.
class CUpdateCommand {
 public:
  explicit CUpdateCommand(UpdateServices services, UpdateSettings settings = {})
      : services_(services), settings_(std::move(settings)) {}
  CUpdateCommand(const CUpdateCommand&) = delete;
  CUpdateCommand& operator=(const CUpdateCommand&) = delete;

  UpdateOutcome UpdateStocks(bool background);
  // Whether the stock file was written by the last run that was not turned away.
  bool saved() const { return saved_; }
  // True while a run of this command is going on.
  bool running() const { return updating_; }
  // Cancel of the running run (the progress window's button, the desktop's close request).
  void Cancel() { cancel_.Cancel(); }
  CancelToken& cancelToken() { return cancel_; }

  UpdateServices& services() { return services_; }

 private:
  UpdateServices services_;
  UpdateSettings settings_;
  CancelToken cancel_;
  bool updating_ = false;
  bool saved_ = false;
};

}  // namespace quillet
