// Every figure shown about a holding or a portfolio, computed on demand from the stocks'
// decimal texts (nothing computed is stored in a record), and the sort of the stock list.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/portfolio_store.h"

namespace quillet {

struct PortfolioTotals {
  double profit = 0;
  double profitPercent = 0;
  double profitPerYear = 0;
  double cost = 0;
  double value = 0;  // includes the portfolio's cash in the active view
  double dayChange = 0;
};

struct ChangeFigures {
  double amount = 0;
  double percent = 0;
};

// The "Stock Calculator": one entry, or several entries of the same stock taken together.
struct CombinedHolding {
  double shares = 0;
  double buyPrice = 0;
  double cost = 0;
  double value = 0;
  double profit = 0;
  double profitPercent = 0;
};

// `context`: a portfolio 0..31, PORTFOLIO_ALL, or kNoConversion. Each division is guarded and a
// guarded case yields 0.
double StockValue(const PortfolioStore& s, const StockRecord& r, int kind, int context);
std::string FormatStockValue(const PortfolioStore& s, const StockRecord& r, int kind, int context);
double ConvertValue(const PortfolioStore& s, double value, const StockRecord& r, int context);
double PortfolioCash(const PortfolioStore& s, int portfolio);
PortfolioTotals ComputeTotals(const PortfolioStore& s, int portfolio, bool sold);
ChangeFigures ChangeSinceLastUpdate(const PortfolioStore& s, int portfolio);
ChangeFigures ChangeToday(const PortfolioStore& s, int portfolio);
// Each portfolio's profit at the current prices, kept as the figure the next change since the
// last update is measured against.
void SnapshotLastUpdateProfit(PortfolioStore& s);
CombinedHolding CombineHoldings(const PortfolioStore& s,
                                const std::vector<const StockRecord*>& entries, int context);
// The code of the currency the figures of `portfolio` are shown in.
std::string_view DisplayCurrencyCode(const PortfolioStore& s, int portfolio);
// Sorts every stock; nothing for a key above 10.
void SortStocks(PortfolioStore& s, int key, bool descending, bool watchedAtBottom);
// With the stored sort settings.
inline void SortStocks(PortfolioStore& s) {
  SortStocks(s, s.ucSortKey, s.bSortDescending != 0, s.bWatchedAtBottom != 0);
}

}  // namespace quillet
