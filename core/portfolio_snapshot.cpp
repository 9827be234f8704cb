#include "core/portfolio_snapshot.h"

#include "core/portfolio_math.h"

namespace quillet {

bool AddPortfolioSnapshot(PortfolioStore& store, ChartStore& charts, StockTime now) {
  int portfolio = store.wViewPortfolio;
  if (store.bShowClosed || portfolio == PORTFOLIO_ALL || portfolio >= store.wPortfolioCount) {
    return false;
  }
  // Converted amounts would mix currencies into one history.
  if (store.CurrencyOfPortfolio(portfolio) != 0 && store.ConvertToBase()) return false;
  PortfolioTotals totals = ComputeTotals(store, portfolio, false);
  if (totals.cost == 0 && totals.value == 0) return false;
  PointFigures figures{totals.cost, totals.value, totals.profit, 0};
  return charts.AddDailyPoint(PortfolioSeriesName(portfolio), kPortfolioSeriesMarket, now, figures,
                              kPortfolioScale);
}

}  // namespace quillet
