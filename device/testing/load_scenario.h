// The handheld program under load, driven as the user and the desktop drive it: a device root
// filled through the store's own operations (stocks in many portfolios, alerts, a price history
// for every stock), then three steps, each watched by a freeze watch: the start to the first
// paint, an "Update Stocks" run against the quote service simulator, and a synchronisation (the
// desktop's close request, one desktop run of `quillet-cli sync` over the device, the program
// started again to its first paint). Shared by the load test and the start-up benchmark.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "device/freeze_watch.h"
#include "device/quillet_app.h"
#include "platform/testing/test_support.h"

namespace quillet::testing {

struct LoadSize {
  int stocks = 10000;
  int portfolios = 20;
  int alerts = 1000;
  int historyPoints = 3199;
};

// The day the simulator and the device's clock agree on (2003-05-02 16:00 UTC).
inline constexpr std::int64_t kLoadToday = 1051891200;

// Four capital letters for stock i, unique for the first 26^4 stocks.
std::string LoadSymbol(int i);

// Fills the device root of `ctx` (preferences, portfolios, stock, note and alert files, the chart
// store): stock i is in portfolio i % portfolios + 1 and has `historyPoints` daily points up to
// the day before kLoadToday; the alerts watch the first stocks' prices.
bool SeedLoad(PlatformContext& ctx, const LoadSize& size, std::string* error);

struct StepResult {
  bool ok = false;
  std::string error;
  double ms = 0;  // the step's wall time
  // From the program's start to its first paint (ms): the start-up, and the start again after
  // the desktop run; -1 when the step did not start the program.
  double paintMs = -1;
  CFreezeWatch::Report freeze;
};

class LoadScenario {
 public:
  // `root` is a seeded device root; quote requests go to the simulator on `quotePort`; the
  // desktop run uses a desktop root of its own in a temporary folder.
  LoadScenario(TestRoot& root, std::uint16_t quotePort);
  ~LoadScenario();
  LoadScenario(const LoadScenario&) = delete;
  LoadScenario& operator=(const LoadScenario&) = delete;

  // The program started to its first paint (and the loop idle after it).
  StepResult StartUp();
  // "Update Stocks" in the foreground, from the menu's command to the loop idle after it.
  StepResult Update();
  // The desktop's close request, the desktop run over the device, the program started again.
  StepResult Sync();

  CQuilletApp* app() { return app_.get(); }
  CFreezeWatch& watch() { return watch_; }
  // What the desktop run wrote on its output (its log), for a failed sync.
  const std::string& syncOutput() const { return syncOutput_; }

 private:
  bool Start(StepResult& result);
  // Turns the event loop until `done` says so (false after `timeoutMs`).
  bool RunUntil(const std::function<bool()>& done, int timeoutMs);
  // Turns the loop until the watch has seen a few ticks in a row: whatever the step posted ran.
  void Settle();
  int Cli(const std::string& args, std::string* out);

  TestRoot& root_;
  std::uint16_t port_;
  TempDir desktop_;
  CFreezeWatch watch_;
  std::unique_ptr<CQuilletApp> app_;
  std::string syncOutput_;
};

}  // namespace quillet::testing
