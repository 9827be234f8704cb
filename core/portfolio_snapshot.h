// The daily point of a portfolio's own value history, taken when the list's totals are shown.
#pragma once

#include "core/chart_store.h"
#include "core/portfolio_store.h"

namespace quillet {

// Adds today's point (cost, value with cash, profit of the Active totals) to "PORTFOLIO<n>" of
// the portfolio shown, but only while the Active list of one portfolio is shown in that
// portfolio's own currency (its currency is the base one, or amounts are not converted), and
// not when its cost and value are both 0. True when a point was written.
bool AddPortfolioSnapshot(PortfolioStore& store, ChartStore& charts, StockTime now);

}  // namespace quillet
