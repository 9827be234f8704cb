// `add-shares --id N PRICE NUMBER [FEE] [--yes]`: buys more of a holding at a new price.
#include <ostream>

#include "core/messages.h"
#include "core/stock_operations.h"
#include "platform/message_box.h"
#include "tools/cli/number_input.h"
#include "tools/cli/portfolio_commands.h"

namespace quillet::cli {

int RunAddShares(CliEnv& env, const std::vector<std::string>& argsIn) {
  std::vector<std::string> args = argsIn;
  PortfolioSession s(env);
  if (!s.TakeAnswerFlags(&args)) return 2;
  if (!s.OpenToChange()) return 1;
  StockRecord* r = nullptr;
  if (int code = s.TakeStock(&args, &r); code != kExitDone) return code;
  if (args.size() < 2 || args.size() > 3) {
    *env.err << "usage: quillet-cli add-shares --id N PRICE NUMBER [FEE] [--yes]\n";
    return 2;
  }
  const char sep = s.store().cDecimalSeparator;
  const std::string price = Utf8ToAnsi(args[0]);
  const std::string number = Utf8ToAnsi(args[1]);
  const std::string fee = args.size() == 3 ? Utf8ToAnsi(args[2]) : "";
  double unused = 0;
  if (!ReadDecimalNumber(s.err(), "PRICE", price, sep, {.min = 0}, &unused) ||
      !ReadDecimalNumber(s.err(), "NUMBER", number, sep, {.min = 0, .minExclusive = true},
                         &unused) ||
      (args.size() == 3 && !ReadDecimalNumber(s.err(), "FEE", fee, sep, {.min = 0}, &unused))) {
    return kExitUsage;
  }
  if (!s.context().messageBoxes().AskYesNo(text::kAddShares, text::kCaption)) return 1;
  StockOpResult result = AddSharesToStock(s.store(), r, price, number, fee);
  if (result != StockOpResult::kDone) {
    if (result == StockOpResult::kNothingToDo) *env.err << "quillet-cli: no shares to add\n";
    return 1;
  }
  return s.Save() ? 0 : 1;
}

}  // namespace quillet::cli
