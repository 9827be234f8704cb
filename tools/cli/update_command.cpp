// `update [--background] [--timeout SECONDS]`: one quote update of the device root, run exactly
// as the program's "Update Stocks" command runs it. Progress texts go to standard error as the
// progress window would show them, the network log to standard output line by line; Ctrl-C is
// the Cancel button. Exit 0 when the run completed, 1 when the program would have said "Update
// not complete, check the network log." (or the stock file could not be saved).
#include <signal.h>

#include <cstdlib>
#include <ostream>

#include "core/chart_store.h"
#include "core/preferences.h"
#include "quotes/device/update_quotes.h"
#include "tools/cli/cli.h"
#include "tools/cli/interrupt.h"
#include "tools/cli/number_input.h"
#include "tools/cli/portfolio_commands.h"

namespace quillet::cli {
namespace {

class TerminalProgress final : public QuoteProgress {
 public:
  explicit TerminalProgress(std::ostream& err) : err_(err) {}
  void ShowStatus(UINT id) override { err_ << strings::LoadString(id) << "\n" << std::flush; }
  // Ctrl-C reaches the run at its waits (UpdateSettings::onWait); there is nothing to dispatch.
  void PumpMessages() override {}

 private:
  std::ostream& err_;
};

class TerminalHost final : public UpdateHost {
 public:
  TerminalHost(std::ostream& err, DWORD selected) : err_(err), selected_(selected) {}
  std::unique_ptr<QuoteProgress> OpenProgress(CancelToken& /*cancel*/) override {
    return std::make_unique<TerminalProgress>(err_);
  }
  void PlayUpdateSound() override {}
  void PumpMessages() override {}
  DWORD SelectedStock() override { return selected_; }

 private:
  std::ostream& err_;
  DWORD selected_;
};

class TerminalAlerts final : public AlertIndicator {
 public:
  explicit TerminalAlerts(std::ostream& err) : err_(err) {}
  void UpdateAlertButton(bool) override {}
  bool ShowAlertNotification() override {
    err_ << "1 or more active alerts\n";
    return true;
  }

 private:
  std::ostream& err_;
};

int Usage(CliEnv& env) {
  *env.err << "usage: quillet-cli update [--background] [--timeout SECONDS]\n";
  return 2;
}

}  // namespace

int RunUpdate(CliEnv& env, const std::vector<std::string>& args) {
  bool background = false;
  UpdateSettings settings;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--background") {
      background = true;
    } else if (args[i] == "--timeout" && i + 1 < args.size()) {
      // One attempt with this time-out instead of three of 30 seconds.
      std::int64_t seconds = 0;
      if (!ReadWholeNumber(*env.err, "--timeout", args[++i], 1, 3600, &seconds)) {
        return kExitUsage;
      }
      settings.retry = false;
      settings.timeoutSeconds = static_cast<std::uint32_t>(seconds);
    } else {
      return Usage(env);
    }
  }

  PortfolioSession session(env);
  if (!session.Open()) return 1;
  PortfolioStore& store = session.store();
  ChartStore* charts = dynamic_cast<ChartStore*>(store.hChartDB);

  NetworkLog log;
  log.SetListener([&env](std::string_view line) { *env.out << line << "\n" << std::flush; });
  TerminalHost host(*env.err, store.dwSelectedStock);
  TerminalAlerts alerts(*env.err);
  UpdateServices services{store, charts, log, host, alerts};
  // Ctrl-C is the Cancel button: the run sees main's flag at its next wait, with or without a
  // progress display.
  const Interrupt& interrupt = env.host.interrupt;
  settings.onWait = [&interrupt](CancelToken& cancel) {
    if (interrupt.raised->load() != 0) cancel.Cancel();
  };
  CUpdateCommand command(services, settings);

  UpdateOutcome outcome;
  {
    ListenForInterrupt listen(interrupt);
    outcome = command.UpdateStocks(background);
  }
  // The program keeps the time of the last update with its preferences.
  SavePreferences(store);
  if (!command.saved()) return 1;
  return outcome == UpdateOutcome::kComplete ? 0 : 1;
}

}  // namespace quillet::cli
