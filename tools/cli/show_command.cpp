// `show [--portfolio N|all] [--sold|--active] [--json]`: the stock list as the handheld shows it (the
// chosen columns, the trend arrow and the note mark) with the totals block under it.
#include <cstdlib>
#include <iomanip>
#include <ostream>
#include <sstream>

#include "core/decimal_text.h"
#include "tools/cli/portfolio_commands.h"

namespace quillet::cli {
namespace {

const char* const kColumnText[] = {"Name", "Symbol"};
const char* const kColumnData[] = {"Price", "Div.", "Num", "Buy Date", "Sell Date"};
const char* const kValueTitles[] = {"Profit",   "Profit %", "Profit PA", "Cost",     "C. Value",
                                    "Fee %",    "B. Price", "Change",    "Change %", "DChange"};
const char* const kArrowNames[] = {"none", "same", "up", "down", "new"};

// The arrow image of a row: the trend of the last update, or the sign of today's change.
int ArrowImage(const PortfolioStore& store, const StockRecord& r) {
  if (!(store.ucPrefFlags & kPrefArrowsShowToday)) return r.ucTrend <= 4 ? r.ucTrend : -1;
  if (r.ucTrend == kTrendNoQuote) return 0;
  if (r.ucTrend == kTrendNotUpdated) return 4;
  double change = ParseDecimal(FieldText(r.szChange), 4, store.cDecimalSeparator);
  return change > 0 ? 2 : change < 0 ? 3 : 1;
}

std::string Column1(PortfolioSession& s, const StockRecord& r) {
  const char sep = s.store().cDecimalSeparator;
  switch (s.store().ucColumnData) {
    case 1:
      return ToDisplayText(FieldText(r.szDividend), sep);
    case 2:
      return ToDisplayText(FieldText(r.szShares), sep);
    case 3:
      return ShortDate(s.context(), r.tBuyDate);
    case 4:
      return ShortDate(s.context(), r.tSellDate);
    default:
      return ToDisplayText(FieldText(r.szPrice), sep);
  }
}

// Totals show amounts with 2 places up to 10,000,000 and whole units above.
std::string TotalAmount(const PortfolioStore& store, double v) {
  return FormatDecimal(v, v > 10000000.0 ? 0 : 2, 0, store.cDecimalSeparator);
}
std::string TotalPercent(const PortfolioStore& store, double v) {
  return FormatDecimal(v, 2, '%', store.cDecimalSeparator);
}

int Usage(CliEnv& env) {
  *env.err << "usage: quillet-cli show [--portfolio N|all] [--sold|--active] [--json]\n";
  return 2;
}

}  // namespace

int RunShow(CliEnv& env, const std::vector<std::string>& args) {
  std::optional<int> portfolio;
  bool sold = false, active = false, json = false, allPortfolios = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--sold") {
      sold = true;
    } else if (args[i] == "--active") {
      active = true;
    } else if (args[i] == "--json") {
      json = true;
    } else if (args[i] == "--portfolio" && i + 1 < args.size()) {
      const std::string& p = args[++i];
      if (p == "all") {
        allPortfolios = true;
      } else {
        char* end = nullptr;
        long v = std::strtol(p.c_str(), &end, 10);
        if (p.empty() || *end || v < 0 || v > 31) return Usage(env);
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
  PortfolioTotals t = store.ComputeTotals(view, sold);
  ChangeFigures sinceUpdate = store.ChangeSinceLastUpdate(view);
  ChangeFigures today = store.ChangeToday(view);
  const std::string viewName =
      view == PORTFOLIO_ALL ? "All" : std::string(store.PortfolioName(view));
  const char sep = store.cDecimalSeparator;
  std::ostream& out = *env.out;

  if (json) {
    out << "{\"portfolio\": " << (view == PORTFOLIO_ALL ? std::string("\"all\"") : std::to_string(view))
        << ", \"name\": " << JsonString(viewName) << ", \"sold\": " << (sold ? "true" : "false")
        << ", \"currency\": " << JsonString(store.DisplayCurrencyCode(view)) << ",\n \"stocks\": [";
    for (std::size_t i = 0; i < rows.size(); ++i) {
      const StockRecord& r = *rows[i];
      out << (i ? ",\n  " : "\n  ") << "{\"id\": " << r.dwId << ", \"name\": " << JsonString(r.Name())
          << ", \"symbol\": " << JsonString(r.Symbol())
          << ", \"column0\": " << JsonString(store.ucColumnText ? r.Symbol() : r.Name())
          << ", \"column1\": " << JsonString(Column1(s, r))
          << ", \"column2\": " << JsonString(store.FormatStockValue(r, kind, view))
          << ", \"arrow\": " << ArrowImage(store, r)
          << ", \"note\": " << (store.FindNote(r.dwId) ? "true" : "false")
          << ", \"watched\": " << (r.IsWatched() ? "true" : "false") << ", \"values\": [";
      for (int k = 0; k < kValueKindCount; ++k) {
        out << (k ? ", " : "") << JsonString(store.FormatStockValue(r, k, view));
      }
      out << "]}";
    }
    out << (rows.empty() ? "],\n" : "\n ],\n");
    out << " \"totals\": {\"profit\": " << JsonString(TotalAmount(store, t.profit))
        << ", \"profitPercent\": " << JsonString(TotalPercent(store, t.profitPercent))
        << ", \"profitPerYear\": " << JsonString(TotalPercent(store, t.profitPerYear))
        << ", \"cost\": " << JsonString(TotalAmount(store, t.cost))
        << ", \"value\": " << JsonString(TotalAmount(store, t.value)) << "},\n"
        << " \"changeSinceLastUpdate\": {\"amount\": "
        << JsonString(FormatDecimal(sinceUpdate.amount, 2, 0, sep))
        << ", \"percent\": " << JsonString(FormatDecimal(sinceUpdate.percent, 2, '%', sep))
        << "},\n \"changeToday\": {\"amount\": " << JsonString(FormatDecimal(today.amount, 2, 0, sep))
        << ", \"percent\": " << JsonString(FormatDecimal(today.percent, 2, '%', sep)) << "}}\n";
    return 0;
  }

  out << AnsiToUtf8(viewName) << " (" << (sold ? "sold" : "active") << "), amounts in "
      << AnsiToUtf8(store.DisplayCurrencyCode(view)) << "\n";
  out << std::left << std::setw(20) << kColumnText[store.ucColumnText & 1] << std::right
      << std::setw(12) << kColumnData[store.ucColumnData % 5] << std::setw(14)
      << kValueTitles[kind % kValueKindCount] << "  arrow note\n";
  for (const StockRecord* r : rows) {
    std::string col0 = AnsiToUtf8(store.ucColumnText ? r->Symbol() : r->Name());
    int arrow = ArrowImage(store, *r);
    out << std::left << std::setw(20) << col0 << std::right << std::setw(12)
        << Column1(s, *r) + (r->IsWatched() ? "-" : "") << std::setw(14)
        << store.FormatStockValue(*r, kind, view) << "  " << std::left << std::setw(5)
        << (arrow >= 0 ? kArrowNames[arrow] : "") << " " << (store.FindNote(r->dwId) ? "*" : "")
        << std::right << "\n";
  }
  out << "Profit: " << TotalAmount(store, t.profit)
      << "  Profit %: " << TotalPercent(store, t.profitPercent)
      << "  Profit PA: " << TotalPercent(store, t.profitPerYear) << "\n"
      << "Cost: " << TotalAmount(store, t.cost) << "  Value: " << TotalAmount(store, t.value)
      << "\n";
  out << "Change Last Update: " << FormatDecimal(sinceUpdate.amount, 2, 0, sep) << " ("
      << FormatDecimal(sinceUpdate.percent, 2, '%', sep) << ")  Change Today: "
      << FormatDecimal(today.amount, 2, 0, sep) << " (" << FormatDecimal(today.percent, 2, '%', sep)
      << ")\n";
  return 0;
}

}  // namespace quillet::cli
