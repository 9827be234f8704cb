// The operations that rewrite holdings: buying more, selling all or part, splitting, and the fee
// a percentage makes. Each takes the dialogs' values as typed and works out every new text before
// it changes anything, so a refusal or a failed allocation leaves the records as they were.
#pragma once

#include <string>
#include <string_view>

#include "core/portfolio_store.h"

namespace quillet {

// Results of the holding operations, for callers that report them their own way.
enum class StockOpResult {
  kDone,
  kNothingToDo,  // e.g. a zero number or ratio: nothing changed, nothing shown
  kRefused,      // a message told the user why; nothing changed
  kOutOfMemory,  // a message was shown; nothing changed
};

StockOpResult AddSharesToStock(PortfolioStore& s, StockRecord* record, std::string_view price,
                               std::string_view number, std::string_view fee);
// The first step of a sale: a watched stock is refused with a message, a sold one silently;
// otherwise the question. True when the sell dialog should open.
bool AskToSell(PortfolioStore& s, const StockRecord& record);
StockOpResult SellStock(PortfolioStore& s, StockRecord* record, std::string_view number,
                        std::string_view price, std::string_view fee, StockTime date);
// `a` for `b`; asks whether to split the chart data too.
StockOpResult SplitStock(PortfolioStore& s, StockRecord* record, StockTime date, std::string_view a,
                         std::string_view b);

// The fee for `percent` % of number * price (as typed on the Info page), with 2 places and
// the given separator.
std::string FeeFromPercent(std::string_view number, std::string_view price, double percent,
                           char decimalSeparator);
// The percentages the fee menu offers before "Custom...".
inline constexpr double kFeePercentChoices[] = {0.25, 0.5, 0.75, 1, 1.25, 1.5,
                                                1.75, 2,   2.5,  3, 4,    5};

}  // namespace quillet
