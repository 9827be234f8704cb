// `delete-stock --id N [--yes|--answers ...]` deletes one stock (asking about its chart data and
// alerts); `delete-stock --all` deletes every stock after the two questions.
#include <ostream>

#include "core/messages.h"
#include "platform/message_box.h"
#include "tools/cli/portfolio_commands.h"

namespace quillet::cli {

int RunDeleteStock(CliEnv& env, const std::vector<std::string>& argsIn) {
  std::vector<std::string> args = argsIn;
  PortfolioSession s(env);
  if (!s.TakeAnswerFlags(&args)) return 2;
  if (args.size() == 1 && args[0] == "--all") {
    if (!s.OpenToChange()) return 1;
    if (!s.store().DeleteAllStocks()) return 1;
    return s.Save() ? 0 : 1;
  }
  if (args.size() != 2) {
    *env.err << "usage: quillet-cli delete-stock (--id N | --all) [--yes|--answers y,n,...]\n";
    return 2;
  }
  if (!s.OpenToChange()) return 1;
  StockRecord* r = nullptr;
  if (int code = s.TakeStock(&args, &r); code != kExitDone) return code;
  if (!s.context().messageBoxes().AskYesNo(text::kDeleteStock, text::kCaption)) return 1;
  s.store().DeleteStock(r);
  return s.Save() ? 0 : 1;
}

}  // namespace quillet::cli
