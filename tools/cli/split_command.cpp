// `split --id N A B [--date DATE] [--yes]`: an A-for-B split of a holding and, when the
// question is answered Yes, of its price history before the date.
#include <ostream>

#include "core/stock_operations.h"
#include "tools/cli/number_input.h"
#include "tools/cli/portfolio_commands.h"

namespace quillet::cli {

int RunSplit(CliEnv& env, const std::vector<std::string>& argsIn) {
  std::vector<std::string> args = argsIn;
  PortfolioSession s(env);
  if (!s.TakeAnswerFlags(&args)) return 2;
  std::string dateText = TakeOptionValue(&args, "--date").value_or("");
  if (!s.OpenToChange()) return 1;
  StockRecord* r = nullptr;
  if (int code = s.TakeStock(&args, &r); code != kExitDone) return code;
  if (args.size() != 2) {
    *env.err << "usage: quillet-cli split --id N A B [--date DATE] [--yes]\n";
    return 2;
  }
  StockTime date = NowStockTime(s.context().clock());
  if (!dateText.empty()) {
    auto d = ParseCliDate(dateText);
    if (!d) {
      *env.err << "quillet-cli: --date: a date is YYYY-MM-DD, YYYY-MM-DDTHH:MM or @SECONDS\n";
      return 2;
    }
    date = *d;
  }
  // The ratio is read with 2 places, as the dialog reads it: each part must stay above 0.
  const char sep = s.store().cDecimalSeparator;
  const DecimalRule ratio{.min = 0.005, .max = 99999999};
  double unused = 0;
  if (!ReadDecimalNumber(s.err(), "A", args[0], sep, ratio, &unused) ||
      !ReadDecimalNumber(s.err(), "B", args[1], sep, ratio, &unused)) {
    return kExitUsage;
  }
  StockOpResult result = SplitStock(s.store(), r, date, args[0], args[1]);
  if (result != StockOpResult::kDone) {
    if (result == StockOpResult::kNothingToDo) *env.err << "quillet-cli: nothing to split\n";
    return 1;
  }
  return s.Save() ? 0 : 1;
}

}  // namespace quillet::cli
