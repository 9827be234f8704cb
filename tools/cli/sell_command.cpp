// `sell --id N NUMBER PRICE [FEE] [--date DATE] [--yes]`: sells all or part of a holding.
#include <ostream>

#include "core/stock_operations.h"
#include "tools/cli/number_input.h"
#include "tools/cli/portfolio_commands.h"

namespace quillet::cli {

int RunSell(CliEnv& env, const std::vector<std::string>& argsIn) {
  std::vector<std::string> args = argsIn;
  PortfolioSession s(env);
  if (!s.TakeAnswerFlags(&args)) return 2;
  std::string dateText = TakeOptionValue(&args, "--date").value_or("");
  if (!s.OpenToChange()) return 1;
  StockRecord* r = nullptr;
  if (int code = s.TakeStock(&args, &r); code != kExitDone) return code;
  if (args.size() < 2 || args.size() > 3) {
    *env.err << "usage: quillet-cli sell --id N NUMBER PRICE [FEE] [--date DATE] [--yes]\n";
    return 2;
  }
  StockTime date = DayStart(NowStockTime(s.context().clock()));
  if (!dateText.empty()) {
    auto d = ParseCliDate(dateText);
    if (!d) {
      *env.err << "quillet-cli: --date: a date is YYYY-MM-DD, YYYY-MM-DDTHH:MM or @SECONDS\n";
      return 2;
    }
    date = *d;
  }
  const char sep = s.store().cDecimalSeparator;
  const std::string number = Utf8ToAnsi(args[0]);
  const std::string price = Utf8ToAnsi(args[1]);
  const std::string fee =
      args.size() == 3 ? Utf8ToAnsi(args[2]) : std::string(FieldText(r->szBuyFee));
  double unused = 0;
  if (!ReadDecimalNumber(s.err(), "NUMBER", number, sep, {.min = 0, .minExclusive = true},
                         &unused) ||
      !ReadDecimalNumber(s.err(), "PRICE", price, sep, {.min = 0}, &unused) ||
      (args.size() == 3 && !ReadDecimalNumber(s.err(), "FEE", fee, sep, {.min = 0}, &unused))) {
    return kExitUsage;
  }
  if (!AskToSell(s.store(), *r)) return 1;
  StockOpResult result = SellStock(s.store(), r, number, price, fee, date);
  if (result != StockOpResult::kDone) {
    if (result == StockOpResult::kNothingToDo) *env.err << "quillet-cli: nothing to sell\n";
    return 1;
  }
  return s.Save() ? 0 : 1;
}

}  // namespace quillet::cli
