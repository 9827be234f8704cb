// What the stock sheet stores into a stock: the buy details typed on its Info page and the sale
// details of its Sell page, each compared with the record so that only what differs is written;
// the move of a stock's price history when its symbol or market changes; the cash a new stock
// costs; and the figures its Market and Calc pages show. The sheet only gathers the typed texts
// and shows what comes back.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/portfolio_store.h"

namespace quillet {

// The Info page as typed. Texts are 8-bit ANSI; numbers carry the locale's separator.
struct StockInfoInput {
  int portfolio = 0;
  std::string name;
  std::string symbol;
  // The market the user picked; nullopt while the selection was left alone. The selector does
  // not list every market (it shows "US" for the others), so an untouched one says nothing.
  std::optional<int> market;
  StockTime buyDate = 0;  // only its day counts
  std::string price;
  std::string number;
  std::string fee;
  std::string dividend;
  bool own = true;  // ignored for a sold stock, as are the two flags
  bool chart = true;
  bool shortPosition = false;
};

// The Sell page as typed.
struct StockSellInput {
  StockTime sellDate = 0;  // only its day counts
  std::string price;
  std::string number;
  std::string fee;
};

// Number fields that were not stored because their text is not one whole number.
enum StockField : unsigned {
  kFieldBuyPrice = 1u << 0,
  kFieldShares = 1u << 1,
  kFieldBuyFee = 1u << 2,
  kFieldDividend = 1u << 3,
  kFieldSellPrice = 1u << 4,
  kFieldSellFee = 1u << 5,
};

struct StockSaveResult {
  bool modified = false;   // something was stored
  unsigned badFields = 0;  // StockField bits: those fields kept their old value
  bool historyMoved = false;
};

// Stores what differs. A changed portfolio or market is also remembered for the next new stock;
// a changed buy price is copied into a still empty current price; a changed symbol or market
// moves the price history (MoveStockHistory).
StockSaveResult SaveStockInfo(PortfolioStore& s, StockRecord& r, const StockInfoInput& in);
// Stores what differs of a sold stock's sale: date, price (the current-price field), number of
// shares and fee.
StockSaveResult SaveStockSell(PortfolioStore& s, StockRecord& r, const StockSellInput& in);

// After `r`'s symbol or market changed from (oldSymbol, oldMarket): renames the price history
// of the old quote symbol to the new one. Left where it is when another stock still uses the old
// quote symbol (its lots share that history) or a history under the new one exists (it would be
// overwritten). True when the series was moved.
bool MoveStockHistory(PortfolioStore& s, const StockRecord& r, std::string_view oldSymbol,
                      int oldMarket);

// A new stock is paid from its portfolio's cash when that portfolio keeps any: the cash is
// reduced by the stock's cost in its own currency. Returns what was taken (0 when nothing).
double PayForNewStock(PortfolioStore& s, const StockRecord& r);
// Removes a new stock that was never confirmed, with its note, and gives back what
// PayForNewStock took from portfolio `paidFrom`.
void DiscardNewStock(PortfolioStore& s, DWORD id, int paidFrom, double paid);

// The lots the calculator adds up for `r`: `r` itself and every other stock of its portfolio and
// of its side (sold, or not sold) with the same quote symbol, watched ones left out; in date
// order (the sell date for sold stocks, else the buy date).
std::vector<const StockRecord*> CalculatorLots(const PortfolioStore& s, const StockRecord& r);

// The Market page's change: the stored change and, when it is not 0, its percentage of the
// previous close (as the list and the alerts measure it): "+1.5 (3.00%)"; "(0%)" without a
// previous close.
std::string MarketChangeText(const PortfolioStore& s, const StockRecord& r);

}  // namespace quillet
