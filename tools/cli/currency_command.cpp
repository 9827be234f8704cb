// `currency list|add CODE [RATE]|edit N CODE RATE|delete N|portfolio P N|base CODE [--yes]`.
// Rates are typed as the user would, with the device's decimal separator.
#include <cstdlib>
#include <ostream>

#include "tools/cli/number_input.h"
#include "tools/cli/portfolio_commands.h"

namespace quillet::cli {
namespace {

int Usage(CliEnv& env) {
  *env.err << "usage: quillet-cli currency list|add CODE [RATE]|edit N CODE RATE|delete N|"
              "portfolio P N|base CODE [--yes]\n";
  return 2;
}

}  // namespace

int RunCurrency(CliEnv& env, const std::vector<std::string>& argsIn) {
  std::vector<std::string> args = argsIn;
  PortfolioSession s(env);
  if (!s.TakeAnswerFlags(&args)) return 2;
  if (args.empty()) return Usage(env);
  const std::string& verb = args[0];
  int a = 0, b = 0;
  bool ok = (verb == "list" && args.size() == 1) ||
            (verb == "add" && (args.size() == 2 || args.size() == 3)) ||
            (verb == "edit" && args.size() == 4 && ParseIndex(args[1], &a)) ||
            (verb == "delete" && args.size() == 2 && ParseIndex(args[1], &a)) ||
            (verb == "portfolio" && args.size() == 3 && ParseIndex(args[1], &a) &&
             ParseIndex(args[2], &b)) ||
            (verb == "base" && args.size() == 2);
  if (!ok) return Usage(env);
  if (env.json && verb != "list") {
    *env.err << "quillet-cli: currency " << verb << " prints no records; --json is for list\n";
    return kExitUsage;
  }
  // A code is kept in 3 characters: a longer one would be cut into another currency's code.
  const std::string* code = verb == "add" || verb == "base" ? &args[1]
                            : verb == "edit"                ? &args[2]
                                                            : nullptr;
  if (code && (code->empty() || code->size() > 3)) {
    *env.err << "quillet-cli: CODE: 1 to 3 characters\n";
    return kExitUsage;
  }
  if (!(verb == "list" ? s.Open() : s.OpenToChange())) return 1;
  PortfolioStore& st = s.store();
  // Rates above 0, typed with the device's decimal separator.
  const std::string* rate = verb == "add" && args.size() == 3 ? &args[2]
                            : verb == "edit"                  ? &args[3]
                                                              : nullptr;
  double unused = 0;
  if (rate && !ReadDecimalNumber(*env.err, "RATE", *rate, st.cDecimalSeparator,
                                 {.min = 0, .minExclusive = true}, &unused)) {
    return kExitUsage;
  }
  if (verb == "list") {
    if (env.json) s.out() << "[";
    for (int i = 0; i < st.wCurrencyCount; ++i) {
      if (env.json) {
        s.out() << (i ? ",\n " : "\n ") << "{\"number\": " << i
                << ", \"code\": " << JsonString(st.CurrencyCode(i))
                << ", \"rate\": " << FormatDecimal(st.currencies[i].dRate, 6) << "}";
        continue;
      }
      s.out() << i << " " << AnsiToUtf8(st.CurrencyCode(i)) << " "
              << FormatDecimal(st.currencies[i].dRate, 6, 0, st.cDecimalSeparator) << "\n";
    }
    if (env.json) s.out() << "\n]\n";
    return 0;
  }
  bool done = false;
  if (verb == "add") {
    done = st.AddCurrency(args[1], args.size() == 3 ? args[2] : "");
    if (!done)
      *env.err
          << "quillet-cli: cannot add a currency (31 at most, codes not empty, rates above 0)\n";
  } else if (verb == "edit") {
    done = st.EditCurrency(a, args[2], args[3]);
    if (!done)
      *env.err << "quillet-cli: cannot edit currency " << a
               << " (codes not empty, rates above 0)\n";
  } else if (verb == "delete") {
    if (a < 1 || a >= st.wCurrencyCount) {
      *env.err << "quillet-cli: cannot delete currency " << a << "\n";
      return 1;
    }
    done = st.DeleteCurrency(a);
  } else if (verb == "portfolio") {
    done = st.SetPortfolioCurrency(a, b);
    if (!done) *env.err << "quillet-cli: no portfolio " << a << " or currency " << b << "\n";
  } else {
    done = st.SetBaseCurrencyCode(args[1]);
    if (!done) *env.err << "quillet-cli: the base currency is already " << args[1] << "\n";
  }
  if (!done) return 1;
  return s.Save() ? 0 : 1;
}

}  // namespace quillet::cli
