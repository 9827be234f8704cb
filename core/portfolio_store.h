// The portfolio: one PortfolioStore holds every stock, note and alert of the handheld program,
// the portfolio and currency tables with each portfolio's cash, and the preference fields. It
// loads and saves the three data files, reads and writes the preferences, computes every
// figure shown about a holding or a portfolio, and performs the operations that change the
// tables. Its services (files, registry, clock, message boxes, locale) come from the
// PlatformContext it is given; questions are asked and messages shown through the context's
// message boxes, so the caller's answerer decides.
//
// Invariants the store keeps, also for data read from files: every ucPortfolioCurrency entry
// below wCurrencyCount, the counts in 1..32 and 1..31, ids unique as issued from dwMaxStockId.
// A stock's ucPortfolio is kept as stored, even at or above wPortfolioCount (such a stock is
// seen only under "All"); code that indexes the 32-entry tables with it checks it first.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/decimal_text.h"
#include "core/price_history.h"
#include "core/stock_records.h"
#include "platform/context.h"
#include "platform/window_messages.h"

namespace quillet {

// What a figure of one stock is (the list's value column and the Calc page).
enum StockValueKind : int {
  kValueProfit = 0,
  kValueProfitPercent = 1,
  kValueProfitPerYear = 2,
  kValueCost = 3,
  kValueCurrentValue = 4,
  kValueFeePercent = 5,
  kValueBuyPrice = 6,
  kValueChange = 7,
  kValueChangePercent = 8,
  kValueDayChange = 9,
};
inline constexpr int kValueKindCount = 10;

enum SortKey : int {
  kSortName = 0,
  kSortSymbol = 1,
  kSortPrice = 2,
  kSortProfit = 3,
  kSortBuyDate = 4,
  kSortSellDate = 5,
  kSortChange = 6,
  kSortValue = 7,
  kSortCost = 8,
  kSortProfitPercent = 9,
  kSortChangePercent = 10,
};
inline constexpr int kSortKeyCount = 11;

// Bits of ucPrefFlags.
inline constexpr BYTE kPrefMapArrowKeys = 0x01;
inline constexpr BYTE kPrefConvertToBase = 0x04;
inline constexpr BYTE kPrefArrowsShowToday = 0x08;
inline constexpr BYTE kPrefTodayItemOff = 0x10;
inline constexpr BYTE kPrefModemOff = 0x20;
inline constexpr BYTE kPrefChartMinMax = 0x40;

// The stocks one view shows: one portfolio (or PORTFOLIO_ALL) and either the sold stocks or
// the others (active and watched).
struct ViewFilter {
  int portfolio = PORTFOLIO_ALL;
  bool sold = false;
  bool Contains(const StockRecord& r) const {
    if (portfolio != PORTFOLIO_ALL && r.ucPortfolio != portfolio) return false;
    return sold ? r.ucStatus == kStatusSold : r.ucStatus != kStatusSold;
  }
};

class PortfolioStore {
 public:
  // `chartStore` may be null (no chart database open). Broadcasts go to the context's window
  // messages, when it has any.
  explicit PortfolioStore(PlatformContext& ctx, PriceHistory* chartStore = nullptr);
  PortfolioStore(const PortfolioStore&) = delete;
  PortfolioStore& operator=(const PortfolioStore&) = delete;

  PlatformContext& context() const { return ctx_; }
  WindowMessages* windows() const { return ctx_.windowMessages(); }

  // ---- Lists and tables ----------------------------------------------------------------
  std::vector<std::unique_ptr<StockRecord>> stocks;
  std::vector<std::unique_ptr<StockNote>> notes;
  std::vector<std::unique_ptr<StockAlert>> alerts;
  PriceHistory* hChartDB = nullptr;  // null when the chart store is closed

  char cDecimalSeparator = '.';
  char cThousandsSeparator = ',';
  WORD wViewPortfolio = PORTFOLIO_ALL;
  WORD wNewStockPortfolio = 1;
  WORD wPortfolioCount = 2;
  char szPortfolioName[kMaxPortfolios][16] = {};
  WORD wCurrencyCount = 1;
  CurrencyEntry currencies[kMaxCurrencies] = {};
  BYTE ucPortfolioCurrency[kMaxPortfolios] = {};
  double dLastUpdateProfit[kMaxPortfolios] = {};
  double dCash[kMaxPortfolios] = {};
  DWORD dwMaxStockId = 0;

  // ---- Preference fields (stored in the "PrefBuf" record) --------------------------------
  WORD wPrefKept4 = 0;  // kept and written back, no other use
  BYTE ucColumnText = 0;
  BYTE ucColumnData = 0;
  BYTE ucColumnValue = 0;
  BYTE bShowClosed = 0;
  BYTE ucDefaultMarket = 0;
  char szProxyHost[64] = {};
  WORD wProxyPort = 8080;
  WORD bUseProxy = 0;
  BYTE bCloseConnection = 1;
  BYTE ucChartSize = 0;
  WORD wPassword = 0;
  DWORD dwSelectedStock = 0;
  float fCustomFeePercent = 0;
  StockTime tLastUpdate = 0;
  BYTE bPassword = 0;
  BYTE ucSortKey = 0;
  BYTE bSortDescending = 0;
  BYTE bWatchedAtBottom = 1;
  BYTE bAutoSort = 1;
  BYTE bDividendTimesPrice = 0;
  WORD wPortfolioChartMode = 0;
  WORD wPortfolioChartValue = 0;
  BYTE ucPrefKept118 = 0;  // kept and written back, no other use
  BYTE bNameInCharts = 0;
  char szPrefKept124[20] = {};  // kept and written back, no other use
  char szRasEntry[24] = {};
  BYTE ucPrefFlags = kPrefMapArrowKeys | kPrefArrowsShowToday;
  BYTE bAutoUpdate = 0;
  BYTE ucUpdateMinutes = 5;

  // ---- Runtime fields, never stored --------------------------------------------------------
  BYTE bAlertActive = 0;

  bool ConvertToBase() const { return (ucPrefFlags & kPrefConvertToBase) != 0; }
  bool TodayItemOn() const { return (ucPrefFlags & kPrefTodayItemOff) == 0; }
  std::string_view PortfolioName(int portfolio) const;
  // The currency index of a portfolio, 0 (base) for anything out of range.
  int CurrencyOfPortfolio(int portfolio) const;
  double CurrencyRate(int currency) const;
  std::string_view CurrencyCode(int currency) const;

  // Every field back to its default and every list emptied (the state of a fresh start).
  void ResetToDefaults();
  // Brings indexes read from outside (files, the registry, the desktop) into range so that no
  // table is indexed past its end: counts into 1..32 and 1..31, unknown currencies to the base
  // currency, stocks of unknown portfolios to "Unfiled", view and column choices to defaults.
  void BringIntoRange();
  // The part of BringIntoRange that needs no table counts: choices of the preference record.
  void ClampPreferenceChoices();

  // ---- Stocks -----------------------------------------------------------------------------
  StockRecord* FindStock(DWORD id);
  int IndexOfStock(const StockRecord* record) const;
  // Walks the stocks of view (portfolio, sold) from *cursor; direction +1 or -1. See the
  // definition for the cursor rules.
  StockRecord* NextInView(int* cursor, int portfolio, bool sold, int count, int direction);
  static bool InView(const StockRecord& r, int portfolio, bool sold) {
    return ViewFilter{portfolio, sold}.Contains(r);
  }

  // Null when refused or out of memory (the message was shown).
  StockRecord* NewStock();
  // Asks first (unless the caller already did); null when declined or out of memory.
  StockRecord* CopyStock(const StockRecord& record, bool ask = true);
  // The caller has asked "Delete this stock?". Asks about chart data and alerts, removes the
  // stock and its note, saves the stock file.
  void DeleteStock(StockRecord* record);
  // Asks twice; true when everything was deleted.
  bool DeleteAllStocks();

  // ---- Portfolios and currencies ---------------------------------------------------------
  bool AddPortfolio(std::string_view name);
  bool RenamePortfolio(int index, std::string_view name);
  // Asks first; true when deleted.
  bool DeletePortfolio(int index);
  // `rateText` as typed (locale separator allowed), read with 6 places. Refused (nothing
  // changed) for an empty code or a rate that is not above 0 (unreadable text reads as 0); a
  // euro currency against a euro base takes its fixed ratio whatever was typed.
  bool AddCurrency(std::string_view code, std::string_view rateText);
  bool EditCurrency(int index, std::string_view code, std::string_view rateText);
  // Asks first; true when deleted.
  bool DeleteCurrency(int index);
  bool SetPortfolioCurrency(int portfolio, int currency);
  bool SetBaseCurrencyCode(std::string_view code);
  // The fixed euro ratio for a currency code against the base currency, as the currency
  // editor fills it in (6 places, locale separator); empty when either code is not a euro
  // currency.
  std::string FixedRateText(std::string_view code) const;

  // ---- Notes -----------------------------------------------------------------------------
  StockNote* FindNote(DWORD stockId);
  // Empty text deletes the note. False when out of memory (message shown, nothing changed).
  bool SetNote(DWORD stockId, std::u16string_view text);
  void DeleteNote(DWORD stockId);

  // ---- Alerts ----------------------------------------------------------------------------
  // True when the alert names the stock: same quote symbol (without regard to case) and market.
  static bool AlertNamesStock(const StockAlert& alert, const StockRecord& stock);

  // ---- Services of the operations -------------------------------------------------------
  // A message box with the program's caption (an OK button and `icon`).
  void Message(const char* text, UINT icon);
  // A Yes/No question with the program's caption; true for Yes.
  bool Ask(const char* text, UINT icon = 0x20);
  // A zero-filled record, or null when memory ran out (or a test said it would).
  template <class T>
  std::unique_ptr<T> Allocate();
  // For tests: the (skip + 1)-th record allocation from now fails as if memory ran out.
  void InjectAllocationFailure(int skip) { allocationsUntilFailure_ = skip; }

 private:
  // False when an injected failure says memory ran out.
  bool AllocationAllowed();
  std::unique_ptr<StockRecord> AllocateStockForList();

  PlatformContext& ctx_;
  int allocationsUntilFailure_ = -1;
};

}  // namespace quillet
