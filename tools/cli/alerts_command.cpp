// `alerts check|list|add|delete`: the price alerts of the device root for scripts.
//   check                 evaluates every alert as the program does after an update, writes the
//                         registry value the Today item shows and prints its text
//   list [--json]         every alert, numbered from 1 in file order, with its state
//   add --id N CONDITION COMPARE THRESHOLD
//                         a new alert for the stock (conditions: C.Price, Profit, Profit %,
//                         Change, Change % or 0..4; comparisons: < <= = >= > or 0..4)
//   delete N              removes alert N
// add and delete save the alert file and evaluate again, so the Today item follows.
#include <cstdlib>
#include <ostream>
#include <unordered_map>

#include "core/alert_evaluation.h"
#include "core/data_files.h"
#include "core/quote_tables.h"
#include "platform/ascii.h"
#include "platform/codepage.h"
#include "tools/cli/cli.h"
#include "tools/cli/number_input.h"
#include "tools/cli/portfolio_commands.h"

namespace quillet::cli {
namespace {

constexpr char kActiveText[] = "1 or more active alerts";
constexpr char kNoAlertsText[] = "No alerts";

int Usage(CliEnv& env) {
  *env.err << "usage: quillet-cli alerts check [--json] | list [--json] | add --id N CONDITION "
              "COMPARE THRESHOLD | delete N\n";
  return 2;
}

// A choice given by its text (without regard to case, blanks ignored) or its number.
int Choice(const std::string& text, const char* (*name)(int), int count) {
  auto squeeze = [](std::string_view s) {
    std::string out;
    for (char c : s) {
      if (c == ' ') continue;
      out.push_back(ToLowerAscii(c));
    }
    return out;
  };
  for (int i = 0; i < count; ++i) {
    if (squeeze(text) == squeeze(name(i)) || text == std::to_string(i)) return i;
  }
  return -1;
}

// Evaluates and writes the registry value; prints the Today item's text.
int Check(PortfolioSession& s, bool json) {
  PortfolioStore& store = s.store();
  store.bAlertActive = CheckAlerts(store, store.bAutoSort == 0) ? 1 : 0;
  const char* text = store.bAlertActive ? kActiveText : kNoAlertsText;
  if (json) {
    s.out() << "{\"active\": " << (store.bAlertActive ? "true" : "false")
            << ", \"text\": " << JsonString(text) << "}\n";
  } else {
    s.out() << text << "\n";
  }
  return 0;
}

int List(PortfolioSession& s, bool json) {
  PortfolioStore& store = s.store();
  // Number the alerts as they stand in the file; the evaluation reorders the list.
  std::vector<const StockAlert*> inFileOrder;
  for (const auto& a : store.alerts) inFileOrder.push_back(a.get());
  AlertPartition partition = PartitionAlerts(store);
  std::unordered_map<const StockAlert*, bool> active;
  for (std::size_t p : partition.active) active[store.alerts[p].get()] = true;

  if (json) s.out() << "[";
  for (std::size_t i = 0; i < inFileOrder.size(); ++i) {
    const StockAlert& a = *inFileOrder[i];
    const bool on = active.count(&a) != 0;
    const std::string threshold = FormatDecimal(a.dThreshold, 2);
    if (json) {
      s.out() << (i ? ",\n " : "\n ") << "{\"number\": " << i + 1
              << ", \"symbol\": " << JsonString(a.QuoteSymbol())
              << ", \"market\": " << static_cast<int>(a.ucMarket)
              << ", \"condition\": " << JsonString(AlertConditionText(a.ucCondition))
              << ", \"compare\": " << JsonString(AlertCompareText(a.ucCompare))
              << ", \"threshold\": " << threshold << ", \"active\": " << (on ? "true" : "false")
              << "}";
    } else {
      s.out() << i + 1 << "  " << (on ? "active  " : "inactive") << "  "
              << AnsiToUtf8(a.QuoteSymbol()) << "  " << AnsiToUtf8(GetMarketName(a.ucMarket))
              << "  " << AlertConditionText(a.ucCondition) << " " << AlertCompareText(a.ucCompare)
              << " " << threshold << "\n";
    }
  }
  if (json) s.out() << (inFileOrder.empty() ? "]\n" : "\n]\n");
  return 0;
}

// Saves the alert file, then evaluates again so the registry value follows the change.
int SaveAndCheck(PortfolioSession& s) {
  if (!SaveAlerts(s.store())) return 1;
  s.store().bAlertActive = CheckAlerts(s.store(), true) ? 1 : 0;
  return 0;
}

}  // namespace

int RunAlerts(CliEnv& env, const std::vector<std::string>& argsIn) {
  if (argsIn.empty()) return Usage(env);
  const std::string verb = argsIn[0];
  std::vector<std::string> args(argsIn.begin() + 1, argsIn.end());
  PortfolioSession s(env);
  // --json is the dispatcher's; it reaches here for the verbs that print records only.
  if (env.json && verb != "check" && verb != "list") {
    *env.err << "quillet-cli: alerts " << verb << " prints no records; --json is for check and "
             << "list\n";
    return kExitUsage;
  }
  if (verb == "check") {
    if (!args.empty()) return Usage(env);
    if (!s.Open()) return 1;
    return Check(s, env.json);
  }
  if (verb == "list") {
    if (!args.empty()) return Usage(env);
    if (!s.Open()) return 1;
    return List(s, env.json);
  }
  if (verb == "add") {
    if (!s.OpenToChange()) return 1;
    StockRecord* stock = nullptr;
    if (int code = s.TakeStock(&args, &stock); code != kExitDone) return code;
    if (args.size() != 3) return Usage(env);
    int condition = Choice(args[0], AlertConditionText, kAlertConditionCount);
    int compare = Choice(args[1], AlertCompareText, kAlertCompareCount);
    if (condition < 0) {
      s.err() << "quillet-cli: CONDITION: C.Price, Profit, Profit %, Change, Change % or 0..4\n";
      return kExitUsage;
    }
    if (compare < 0) {
      s.err() << "quillet-cli: COMPARE: <, <=, =, >=, > or 0..4\n";
      return kExitUsage;
    }
    // The threshold is kept with 2 places; one that reads as 0 there would never be stored.
    const std::string threshold = Utf8ToAnsi(args[2]);
    const char sep = s.store().cDecimalSeparator;
    double value = 0;
    if (!ReadDecimalNumber(s.err(), "THRESHOLD", threshold, sep, {}, &value)) return kExitUsage;
    if (ParseDecimal(threshold, 2, sep) == 0) {
      s.err() << "quillet-cli: THRESHOLD: " << args[2] << " is 0 at two decimals\n";
      return kExitUsage;
    }
    if (AddAlert(s.store(), *stock, condition, compare, threshold) != AlertEditResult::kDone) {
      s.err() << "quillet-cli: no alert added (a sold stock, or a stock without a symbol that "
                 "fits an alert)\n";
      return 1;
    }
    const std::size_t number = s.store().alerts.size();
    if (SaveAndCheck(s) != 0) return 1;
    s.out() << number << "\n";
    return 0;
  }
  if (verb == "delete") {
    if (args.size() != 1) return Usage(env);
    std::int64_t number = 0;
    if (!ReadWholeNumber(*env.err, "N", args[0], 1, 1000000, &number)) return kExitUsage;
    if (!s.OpenToChange()) return 1;
    if (DeleteAlert(s.store(), static_cast<std::size_t>(number - 1)) != AlertEditResult::kDone) {
      s.err() << "quillet-cli: no alert " << number << "\n";
      return 1;
    }
    return SaveAndCheck(s);
  }
  return Usage(env);
}

}  // namespace quillet::cli
