// `new-stock [FIELD=VALUE ...]`: makes a stock as the New command does, sets the given fields
// and prints its id.
#include <ostream>

#include "core/portfolio_math.h"
#include "tools/cli/portfolio_commands.h"

namespace quillet::cli {

int RunNewStock(CliEnv& env, const std::vector<std::string>& argsIn) {
  std::vector<std::string> args = argsIn;
  PortfolioSession s(env);
  if (!s.TakeAnswerFlags(&args)) return 2;
  if (!s.OpenToChange()) return 1;
  StockRecord* r = s.store().NewStock();
  if (!r) return 1;
  for (const std::string& a : args) {
    if (!SetStockField(s, r, a)) return kExitUsage;  // nothing saved
  }
  const DWORD id = r->dwId;
  if (s.store().bAutoSort) SortStocks(s.store());
  if (!s.Save()) return 1;
  s.out() << id << "\n";
  return 0;
}

}  // namespace quillet::cli
