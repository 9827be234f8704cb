// `show [--portfolio N|all] [--sold|--active] [--json]`: the stock list as the handheld shows it
// (the chosen columns, the trend arrow and the note mark) with the totals block under it.
#include <cstdlib>
#include <iomanip>
#include <ostream>
#include <sstream>

#include "core/decimal_text.h"
#include "core/portfolio_math.h"
#include "core/stock_list_texts.h"
#include "tools/cli/number_input.h"
#include "tools/cli/portfolio_commands.h"

namespace quillet::cli {
namespace {

const char* const kColumnText[] = {"Name", "Symbol"};
const char* const kColumnData[] = {"Price", "Div.", "Num", "Buy Date", "Sell Date"};
const char* const kValueTitles[] = {"Profit", "Profit %", "Profit PA", "Cost",     "C. Value",
                                    "Fee %",  "B. Price", "Change",    "Change %", "DChange"};
const char* const kArrowNames[] = {"none", "same", "up", "down", "new"};

int Usage(CliEnv& env) {
  *env.err << "usage: quillet-cli show [--portfolio N|all] [--sold|--active] [--json]\n";
  return 2;
}

}  // namespace

int RunShow(CliEnv& env, const std::vector<std::string>& args) {
  std::optional<int> portfolio;
  bool sold = false, active = false, allPortfolios = false;
  const bool json = env.json;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--sold") {
      sold = true;
    } else if (args[i] == "--active") {
      active = true;
    } else if (args[i] == "--portfolio" && i + 1 < args.size()) {
      const std::string& p = args[++i];
      if (p == "all") {
        allPortfolios = true;
      } else {
        std::int64_t v = 0;
        if (!ReadWholeNumber(*env.err, "--portfolio", p, 0, kMaxPortfolios - 1, &v)) {
          return kExitUsage;
        }
        portfolio = static_cast<int>(v);
      }
    } else {
      return Usage(env);
    }
  }
  PortfolioSession s(env);
  if (!s.Open()) return 1;
  PortfolioStore& store = s.store();
  int view = allPortfolios ? PORTFOLIO_ALL : portfolio.value_or(store.wViewPortfolio);
  if (view != PORTFOLIO_ALL && view >= store.wPortfolioCount) {
    *env.err << "quillet-cli: no portfolio " << view << "\n";
    return 1;
  }
  // The list the program would show, unless the command line chooses.
  if (!sold && !active) sold = store.bShowClosed != 0;
  const int kind = store.ucColumnValue;
  std::vector<const StockRecord*> rows;
  int cursor = 0;
  for (StockRecord* r = store.NextInView(&cursor, view, sold, 0, 1); r;
       r = store.NextInView(&cursor, view, sold, 1, 1)) {
    rows.push_back(r);
  }
  const TotalsTexts totals =
      TotalsTextsOf(ComputeTotals(store, view, sold), store.cDecimalSeparator);
  ChangeFigures sinceUpdate = ChangeSinceLastUpdate(store, view);
  ChangeFigures today = ChangeToday(store, view);
  const std::string viewName =
      view == PORTFOLIO_ALL ? "All" : std::string(store.PortfolioName(view));
  const char sep = store.cDecimalSeparator;
  std::ostream& out = *env.out;

  if (json) {
    out << "{\"portfolio\": "
        << (view == PORTFOLIO_ALL ? std::string("\"all\"") : std::to_string(view))
        << ", \"name\": " << JsonString(viewName) << ", \"sold\": " << (sold ? "true" : "false")
        << ", \"currency\": " << JsonString(DisplayCurrencyCode(store, view))
        << ",\n \"stocks\": [";
    for (std::size_t i = 0; i < rows.size(); ++i) {
      const StockRecord& r = *rows[i];
      const StockRowTexts row = StockRowTextsOf(store, r, view, s.context().locale());
      out << (i ? ",\n  " : "\n  ") << "{\"id\": " << r.dwId
          << ", \"name\": " << JsonString(r.Name()) << ", \"symbol\": " << JsonString(r.Symbol())
          << ", \"column0\": " << JsonString(row.column0)
          << ", \"column1\": " << JsonString(row.column1)
          << ", \"column2\": " << JsonString(row.column2) << ", \"arrow\": " << row.arrowImage
          << ", \"note\": " << (row.hasNote ? "true" : "false")
          << ", \"watched\": " << (row.watched ? "true" : "false") << ", \"values\": [";
      for (int k = 0; k < kValueKindCount; ++k) {
        out << (k ? ", " : "") << JsonString(FormatStockValue(store, r, k, view));
      }
      out << "]}";
    }
    out << (rows.empty() ? "],\n" : "\n ],\n");
    out << " \"totals\": {\"profit\": " << JsonString(totals.profit)
        << ", \"profitPercent\": " << JsonString(totals.profitPercent)
        << ", \"profitPerYear\": " << JsonString(totals.profitPerYear)
        << ", \"cost\": " << JsonString(totals.cost) << ", \"value\": " << JsonString(totals.value)
        << "},\n"
        << " \"changeSinceLastUpdate\": {\"amount\": "
        << JsonString(FormatDecimal(sinceUpdate.amount, 2, 0, sep))
        << ", \"percent\": " << JsonString(FormatDecimal(sinceUpdate.percent, 2, '%', sep))
        << "},\n \"changeToday\": {\"amount\": "
        << JsonString(FormatDecimal(today.amount, 2, 0, sep))
        << ", \"percent\": " << JsonString(FormatDecimal(today.percent, 2, '%', sep)) << "}}\n";
    return 0;
  }

  out << AnsiToUtf8(viewName) << " (" << (sold ? "sold" : "active") << "), amounts in "
      << AnsiToUtf8(DisplayCurrencyCode(store, view)) << "\n";
  out << std::left << std::setw(20) << kColumnText[store.ucColumnText & 1] << std::right
      << std::setw(12) << kColumnData[store.ucColumnData % 5] << std::setw(14)
      << kValueTitles[kind % kValueKindCount] << "  arrow note\n";
  for (const StockRecord* r : rows) {
    const StockRowTexts row = StockRowTextsOf(store, *r, view, s.context().locale());
    out << std::left << std::setw(20) << AnsiToUtf8(row.column0) << std::right << std::setw(12)
        << AnsiToUtf8(row.column1) + (row.watched ? "-" : "") << std::setw(14) << row.column2
        << "  " << std::left << std::setw(5)
        << (row.arrowImage >= 0 ? kArrowNames[row.arrowImage] : "") << " "
        << (row.hasNote ? "*" : "") << std::right << "\n";
  }
  out << "Profit: " << totals.profit << "  Profit %: " << totals.profitPercent
      << "  Profit PA: " << totals.profitPerYear << "\n"
      << "Cost: " << totals.cost << "  Value: " << totals.value << "\n";
  out << "Change Last Update: " << FormatDecimal(sinceUpdate.amount, 2, 0, sep) << " ("
      << FormatDecimal(sinceUpdate.percent, 2, '%', sep)
      << ")  Change Today: " << FormatDecimal(today.amount, 2, 0, sep) << " ("
      << FormatDecimal(today.percent, 2, '%', sep) << ")\n";
  return 0;
}

}  // namespace quillet::cli
