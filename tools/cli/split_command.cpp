// `split --id N A B [--date DATE] [--yes]`: an A-for-B split of a holding and, when the
// question is answered Yes, of its price history before the date.
#include <ostream>

#include "core/stock_operations.h"
#include "tools/cli/portfolio_commands.h"

namespace quillet::cli {

int RunSplit(CliEnv& env, const std::vector<std::string>& argsIn) {
  std::vector<std::string> args = argsIn;
  PortfolioSession s(env);
  if (!s.TakeAnswerFlags(&args)) return 2;
  std::string dateText = TakeOptionValue(&args, "--date").value_or("");
  if (!s.Open()) return 1;
  StockRecord* r = s.TakeStock(&args);
  if (!r) return 1;
  if (args.size() != 2) {
    *env.err << "usage: quillet-cli split --id N A B [--date DATE] [--yes]\n";
    return 2;
  }
  StockTime date = NowStockTime(s.context().clock());
  if (!dateText.empty()) {
    auto d = ParseCliDate(dateText);
    if (!d) {
      *env.err << "quillet-cli: a date is YYYY-MM-DD or @SECONDS\n";
      return 2;
    }
    date = *d;
  }
  StockOpResult result = SplitStock(s.store(), r, date, args[0], args[1]);
  if (result != StockOpResult::kDone) {
    if (result == StockOpResult::kNothingToDo) *env.err << "quillet-cli: nothing to split\n";
    return 1;
  }
  return s.Save() ? 0 : 1;
}

}  // namespace quillet::cli
