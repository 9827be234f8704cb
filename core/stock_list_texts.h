// What the stock list shows: the texts of a row's cells, which arrow image a row carries, and the
// figures of the totals block under the list, all formatted as the handheld shows them. The
// list window only draws these; the tools print them the same way.
#pragma once

#include <string>

#include "core/portfolio_math.h"
#include "core/portfolio_store.h"
#include "platform/locale_settings.h"

namespace quillet {

// A row of the list. Texts are 8-bit ANSI as the records hold them.
struct StockRowTexts {
  std::string column0;  // name or symbol
  std::string column1;  // price, dividend, number, buy date or sell date
  std::string column2;  // the chosen figure
  int arrowImage = -1;  // 0..4, or -1 for none
  bool hasNote = false;
  bool watched = false;
};

// The arrow of a row: with "Change Last Update" the trend of the last update, with "Change
// Today" the sign of today's change (no quote and not-yet-updated keep their own images).
int ArrowImageOf(const PortfolioStore& store, const StockRecord& record);

// A date in the user's short date format; "N/A" for no date.
std::string ShortDateText(const LocaleSettings& locale, StockTime date);

// The cells of one row for the list showing portfolio `view` (a portfolio or PORTFOLIO_ALL).
StockRowTexts StockRowTextsOf(PortfolioStore& store, const StockRecord& record, int view,
                              const LocaleSettings& locale);

struct TotalsTexts {
  std::string profit;
  std::string profitPercent;
  std::string profitPerYear;
  std::string cost;
  std::string value;
};

// The totals block. Amounts keep 2 decimals up to 10,000,000 and whole units above; unlike the
// value column there is no lower bound, so a large loss keeps its decimals.
TotalsTexts TotalsTextsOf(const PortfolioTotals& totals, char decimalSeparator);

}  // namespace quillet
