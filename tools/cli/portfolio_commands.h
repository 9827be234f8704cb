// The sub-commands that drive the portfolio core (show, dump of the data files, and the stock,
// portfolio and currency operations), and the session they share: a device root opened with
// its preferences, data files and chart store loaded exactly as the program loads them, and
// the store's questions answered from the command line.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/chart_store.h"
#include "core/portfolio_store.h"
#include "tools/cli/cli.h"

namespace quillet::cli {

class PortfolioSession {
 public:
  explicit PortfolioSession(CliEnv& env) : env_(env) {}

  // Takes the answer flags out of args: --yes answers every question Yes, --answers y,n,...
  // answers them in turn (then No). Every question and message is printed to stderr.
  // False (usage printed) when --answers is malformed.
  bool TakeAnswerFlags(std::vector<std::string>* args);
  // Opens the root and loads preferences, stocks, notes and alerts. False after printing why.
  bool Open();
  // The same for a command that changes the data: also false (after saying so) while the
  // program runs on the device, which keeps all of it in memory and writes it when it ends,
  // over whatever was stored meanwhile: the change would look done and then be lost.
  bool OpenToChange();
  // Writes preferences and the three data files. False when a file could not be saved.
  bool Save();

  PortfolioStore& store() { return *store_; }
  // The chart store, null when it could not be opened.
  ChartStore* charts() { return charts_.get(); }
  PlatformContext& context() { return *ctx_; }
  std::ostream& out() { return *env_.out; }
  std::ostream& err() { return *env_.err; }

  // The stock named by --id N (removed from args). kExitDone with the stock; otherwise, after
  // printing why, kExitUsage (no --id, or not a number) or kExitFailed (no such stock).
  int TakeStock(std::vector<std::string>* args, StockRecord** stock);

  // A Today item choice read by `set todayItem=...`, written once every assignment was read.
  std::optional<bool> pendingTodayItem;

 private:
  CliEnv& env_;
  PlatformContext* ctx_ = nullptr;
  std::unique_ptr<ChartStore> charts_;
  std::unique_ptr<PortfolioStore> store_;
  bool yesToAll_ = false;
  std::vector<bool> answers_;
  std::size_t nextAnswer_ = 0;
};

// Removes "OPTION VALUE" (the first such pair) from args and returns VALUE; nullopt when the
// option is not there.
std::optional<std::string> TakeOptionValue(std::vector<std::string>* args, std::string_view option);
// A table index of 0..255 as typed on the command line.
bool ParseIndex(std::string_view text, int* index);
// "YYYY-MM-DD" (local midnight), "YYYY-MM-DDTHH:MM" (local time) or "@SECONDS"; nullopt
// when malformed.
std::optional<StockTime> ParseCliDate(std::string_view text);
// Sets one field of a stock from "FIELD=VALUE" in memory; false after printing why (bad input:
// the caller ends with kExitUsage and saves nothing).
bool SetStockField(PortfolioSession& s, StockRecord* r, std::string_view assignment);
// Sets one preference or table field from "FIELD=VALUE" in memory; false after printing why.
bool SetStoreField(PortfolioSession& s, std::string_view assignment);
// One preference by its `prefs` name (see prefs_command.cpp), checked as the Preferences pages
// check it, set in the store's fields (the Today item only as s.pendingTodayItem).
// kExitDone, or kExitUsage after printing why.
int SetPreference(PortfolioSession& s, std::string_view name, std::string_view value);
// A text as a JSON string (the ANSI text converted to UTF-8).
std::string JsonString(std::string_view ansi);
// A UTF-8 text as a JSON string.
std::string JsonUtf8String(std::string_view utf8);

// `dump stocks|notes|alerts|prefs`: the part of `dump` that prints the portfolio's data.
int DumpPortfolioData(CliEnv& env, std::string_view kind, bool json);

int RunShow(CliEnv& env, const std::vector<std::string>& args);
int RunNewStock(CliEnv& env, const std::vector<std::string>& args);
int RunSet(CliEnv& env, const std::vector<std::string>& args);
int RunSell(CliEnv& env, const std::vector<std::string>& args);
int RunSplit(CliEnv& env, const std::vector<std::string>& args);
int RunAddShares(CliEnv& env, const std::vector<std::string>& args);
int RunDeleteStock(CliEnv& env, const std::vector<std::string>& args);
int RunPortfolio(CliEnv& env, const std::vector<std::string>& args);
int RunCurrency(CliEnv& env, const std::vector<std::string>& args);
// `data stocks|notes|alerts|prefs [--json]`, the same as those kinds of `dump`.

}  // namespace quillet::cli
