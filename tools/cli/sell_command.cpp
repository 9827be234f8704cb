// `sell --id N NUMBER PRICE [FEE] [--date DATE] [--yes]`: sells all or part of a holding.
#include <ostream>

#include "core/stock_operations.h"
#include "tools/cli/portfolio_commands.h"

namespace quillet::cli {

int RunSell(CliEnv& env, const std::vector<std::string>& argsIn) {
  std::vector<std::string> args = argsIn;
  PortfolioSession s(env);
  if (!s.TakeAnswerFlags(&args)) return 2;
  std::string dateText = TakeOptionValue(&args, "--date").value_or("");
  if (!s.Open()) return 1;
  StockRecord* r = s.TakeStock(&args);
  if (!r) return 1;
  if (args.size() < 2 || args.size() > 3) {
    *env.err << "usage: quillet-cli sell --id N NUMBER PRICE [FEE] [--date DATE] [--yes]\n";
    return 2;
  }
  StockTime date = DayStart(NowStockTime(s.context().clock()));
  if (!dateText.empty()) {
    auto d = ParseCliDate(dateText);
    if (!d) {
      *env.err << "quillet-cli: a date is YYYY-MM-DD or @SECONDS\n";
      return 2;
    }
    date = *d;
  }
  if (!AskToSell(s.store(), *r)) return 1;
  std::string fee = args.size() == 3 ? args[2] : std::string(FieldText(r->szBuyFee));
  StockOpResult result =
      SellStock(s.store(), r, Utf8ToAnsi(args[0]), Utf8ToAnsi(args[1]), Utf8ToAnsi(fee), date);
  if (result != StockOpResult::kDone) {
    if (result == StockOpResult::kNothingToDo) *env.err << "quillet-cli: nothing to sell\n";
    return 1;
  }
  return s.Save() ? 0 : 1;
}

}  // namespace quillet::cli
