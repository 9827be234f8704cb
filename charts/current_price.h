// The "Current Price" entry: what the dialog reads from its four edits, the point of a day it
// shows, and the list menu's "Edit Current Price", which also makes the entry the current quote
// of every stock of that quote symbol and market.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/chart_store.h"
#include "core/portfolio_store.h"

namespace quillet {

struct PriceEntryTexts {
  std::string price;
  std::string low;
  std::string high;
  std::string volume;
};

// The figures typed, or nullopt when the price is empty, not above 0 or not one number, or a
// low, high or volume is given but is not a number (or is negative; a portfolio's value and
// profit, in the low and high, may be). Empty low, high and volume are 0.
std::optional<PointFigures> ReadPriceEntry(const PriceEntryTexts& texts, char decimalSeparator,
                                           bool portfolio = false);

// The point stored for the day of `date` in the series, as the edits show it: 4 places for a
// stock, whole amounts (signed) for a portfolio; nullopt when there is none.
std::optional<PriceEntryTexts> PointTextsOfDay(ChartStore& charts, std::string_view name,
                                               int market, StockTime date, char decimalSeparator);

// Makes the figures the current quote (price, and the day's low, high and volume when given) of
// every stock with this quote symbol and market. Returns how many stocks changed.
int SetCurrentQuote(PortfolioStore& s, std::string_view quoteSymbol, int market,
                    const PointFigures& figures);

}  // namespace quillet
