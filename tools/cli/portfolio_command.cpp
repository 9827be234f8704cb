// `portfolio list|add NAME|rename N NAME|delete N [--yes]`.
#include <ostream>

#include "tools/cli/portfolio_commands.h"

namespace quillet::cli {
namespace {

int Usage(CliEnv& env) {
  *env.err << "usage: quillet-cli portfolio list|add NAME|rename N NAME|delete N [--yes]\n";
  return 2;
}

}  // namespace

int RunPortfolio(CliEnv& env, const std::vector<std::string>& argsIn) {
  std::vector<std::string> args = argsIn;
  PortfolioSession s(env);
  if (!s.TakeAnswerFlags(&args)) return 2;
  if (args.empty()) return Usage(env);
  const std::string& verb = args[0];
  int index = 0;
  if (!((verb == "list" && args.size() == 1) || (verb == "add" && args.size() == 2) ||
        (verb == "rename" && args.size() == 3 && ParseIndex(args[1], &index)) ||
        (verb == "delete" && args.size() == 2 && ParseIndex(args[1], &index)))) {
    return Usage(env);
  }
  if (env.json && verb != "list") {
    *env.err << "quillet-cli: portfolio " << verb << " prints no records; --json is for list\n";
    return kExitUsage;
  }
  // A name is kept in 15 characters: a longer one would be stored cut.
  const std::string& name = args.back();
  if ((verb == "add" || verb == "rename") && Utf8ToAnsi(name).size() > 15) {
    *env.err << "quillet-cli: NAME: at most 15 characters\n";
    return kExitUsage;
  }
  if (!(verb == "list" ? s.Open() : s.OpenToChange())) return 1;
  PortfolioStore& st = s.store();
  if (verb == "list") {
    if (env.json) s.out() << "[";
    for (int i = 0; i < st.wPortfolioCount; ++i) {
      const std::string currency(st.CurrencyCode(st.CurrencyOfPortfolio(i)));
      if (env.json) {
        s.out() << (i ? ",\n " : "\n ") << "{\"number\": " << i
                << ", \"name\": " << JsonString(st.PortfolioName(i))
                << ", \"currency\": " << JsonString(currency) << "}";
        continue;
      }
      s.out() << i << " " << AnsiToUtf8(st.PortfolioName(i)) << " " << AnsiToUtf8(currency) << "\n";
    }
    if (env.json) s.out() << "\n]\n";
    return 0;
  }
  bool done = false;
  if (verb == "add") {
    done = st.AddPortfolio(Utf8ToAnsi(args[1]));
    if (!done) *env.err << "quillet-cli: cannot add a portfolio (32 at most, names not empty)\n";
  } else if (verb == "rename") {
    done = st.RenamePortfolio(index, Utf8ToAnsi(args[2]));
    if (!done) *env.err << "quillet-cli: cannot rename portfolio " << index << "\n";
  } else {
    if (index < 1 || index >= st.wPortfolioCount) {
      *env.err << "quillet-cli: cannot delete portfolio " << index << "\n";
      return 1;
    }
    done = st.DeletePortfolio(index);
  }
  if (!done) return 1;
  return s.Save() ? 0 : 1;
}

}  // namespace quillet::cli
