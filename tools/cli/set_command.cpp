// `set --id N FIELD=VALUE ...` changes fields of a stock (and sorts again when Auto Sort is
// on, as closing the stock sheet does); `set FIELD=VALUE ...` without --id changes settings
// and portfolio table fields. Nothing is saved unless every assignment is valid.
#include <ostream>

#include "core/portfolio_math.h"
#include "core/preferences.h"
#include "tools/cli/portfolio_commands.h"

namespace quillet::cli {

int RunSet(CliEnv& env, const std::vector<std::string>& argsIn) {
  std::vector<std::string> args = argsIn;
  PortfolioSession s(env);
  if (!s.TakeAnswerFlags(&args)) return 2;
  bool forStock = false;
  for (const std::string& a : args) forStock = forStock || a == "--id";
  if (args.empty()) {
    *env.err << "usage: quillet-cli set [--id N] FIELD=VALUE ...\n";
    return 2;
  }
  if (!s.OpenToChange()) return 1;
  if (forStock) {
    StockRecord* r = nullptr;
    if (int code = s.TakeStock(&args, &r); code != kExitDone) return code;
    if (args.empty()) {
      *env.err << "usage: quillet-cli set --id N FIELD=VALUE ...\n";
      return 2;
    }
    for (const std::string& a : args) {
      if (!SetStockField(s, r, a)) return kExitUsage;  // nothing saved
    }
    if (s.store().bAutoSort) SortStocks(s.store());
  } else {
    for (const std::string& a : args) {
      if (!SetStoreField(s, a)) return kExitUsage;  // nothing saved
    }
    if (s.pendingTodayItem) SetTodayItem(s.store(), *s.pendingTodayItem);
  }
  return s.Save() ? 0 : 1;
}

}  // namespace quillet::cli
