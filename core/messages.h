// The fixed English texts of the portfolio core's questions and messages, by name. A text that
// the string table holds is the table's own entry; the others live only here.
#pragma once

#include "core/string_table.h"

namespace quillet::text {

inline constexpr const char* kCaption = "Quillet";

// Questions (Yes/No).
inline constexpr const char* kDeleteStock = strings::TextOf(strings::IDS_DELETE_STOCK);
inline constexpr const char* kDeleteChartData = strings::TextOf(strings::IDS_DELETE_CHART_DATA);
inline constexpr const char* kDeleteAlerts = strings::TextOf(strings::IDS_DELETE_ALERTS);
inline constexpr const char* kDeleteAllStocks = strings::TextOf(strings::IDS_DELETE_ALL_STOCKS);
inline constexpr const char* kCopyStock = strings::TextOf(strings::IDS_COPY_STOCK);
inline constexpr const char* kAddShares = strings::TextOf(strings::IDS_ADD_SHARES);
inline constexpr const char* kSellStock = strings::TextOf(strings::IDS_SELL_STOCK);
inline constexpr const char* kSplitChartData = strings::TextOf(strings::IDS_SPLIT_CHART_DATA);
inline constexpr const char* kDeletePortfolio = strings::TextOf(strings::IDS_DELETE_PORTFOLIO);
inline constexpr const char* kDeleteCurrency = strings::TextOf(strings::IDS_DELETE_CURRENCY);
inline constexpr const char* kDeleteNote = strings::TextOf(strings::IDS_DELETE_NOTE);

// Messages.
inline constexpr const char* kNoStockSelected = strings::TextOf(strings::IDS_NO_STOCK_SELECTED);
inline constexpr const char* kNotOwned = strings::TextOf(strings::IDS_NOT_OWNED);
inline constexpr const char* kCannotSellMore = strings::TextOf(strings::IDS_CANNOT_SELL_MORE);
inline constexpr const char* kNewSoldStock = strings::TextOf(strings::IDS_NEW_SOLD_STOCK);
inline constexpr const char* kNoMemoryNewStock = "Insufficient memory to add new stock";
inline constexpr const char* kNoMemoryNewNote = "Insufficient memory to create new note";
inline constexpr const char* kNoMemorySale = "Insufficient memory to sell part of this stock";
inline constexpr const char* kNoMemoryStocks = "Insufficient memory to read all stock db";
inline constexpr const char* kNoMemoryNotes = "Insufficient memory to read all notes db";
inline constexpr const char* kNoMemoryAlerts = "Insufficient memory to read all alert db";
inline constexpr const char* kCannotSaveStocks = "Cannot save stock db";
inline constexpr const char* kCannotSaveNotes = "Cannot save note db";
inline constexpr const char* kCannotReadStocks = "Cannot read stock db";
inline constexpr const char* kCannotReadNotes = "Cannot read note db";
inline constexpr const char* kCannotReadAlerts = "Cannot read alert db";
inline constexpr const char* kNumberTooLarge = "Number too large";
inline constexpr const char* kUnableToOpenChartDb = "Unable to open chart db";
inline constexpr const char* kRateNotPositive = "The rate must be a number above 0.";
inline constexpr const char* kProxyPortRange = "The proxy port must be a number from 1 to 65535.";
inline constexpr const char* kProxyHostTooLong =
    "The proxy host name can have at most 62 characters.";

}  // namespace quillet::text
