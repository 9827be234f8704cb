// The fixed English texts of the portfolio core's questions and messages, kept together so the
// user interface, the tools and the tests all see the same words.
#pragma once

namespace quillet::text {

inline constexpr const char* kCaption = "Quillet";

// Questions (Yes/No).
inline constexpr const char* kDeleteStock = "Delete this stock?";
inline constexpr const char* kDeleteChartData = "Delete stock chart data?";
inline constexpr const char* kDeleteAlerts = "Delete alert(s)?";
inline constexpr const char* kDeleteAllStocks = "Delete ALL stocks?";
inline constexpr const char* kCopyStock = "Create a new stock entry based on this entry?";
inline constexpr const char* kAddShares = "Add more shares to this stock entry?";
inline constexpr const char* kSellStock = "Sell this stock?";
inline constexpr const char* kSplitChartData = "Split stock chart data?";
inline constexpr const char* kDeletePortfolio =
    "Delete portfolio (this will move all the stocks from this portfolio to the 'Unfiled' "
    "portfolio)?";
inline constexpr const char* kDeleteCurrency = "Delete currency?";
inline constexpr const char* kDeleteNote = "Delete note?";

// Messages.
inline constexpr const char* kNoStockSelected = "No stock selected!";
inline constexpr const char* kNotOwned = "You do not own the stock.";
inline constexpr const char* kCannotSellMore = "Cannot sell more shares!";
inline constexpr const char* kNewSoldStock =
    "If you want to make a new sold stock, first create a new active stock and then sell it.";
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
inline constexpr const char* kCannotRecreateChartDb = "Unable to open chart db";

}  // namespace quillet::text
