#include "core/portfolio_store.h"

#include <algorithm>
#include <new>

#include "core/data_files.h"
#include "core/euro_rates.h"
#include "core/messages.h"
#include "core/quote_tables.h"
#include "platform/ascii.h"
#include "platform/message_box.h"

namespace quillet {
namespace {

std::string UpperCode(std::string_view code) { return ToUpperAscii(code.substr(0, 3)); }

}  // namespace

PortfolioStore::PortfolioStore(PlatformContext& ctx, PriceHistory* chartStore)
    : hChartDB(chartStore), ctx_(ctx) {
  ResetToDefaults();
}

void PortfolioStore::Message(const char* text, UINT icon) {
  ctx_.messageBoxes().Show(text, text::kCaption, MB_OK | icon);
}

bool PortfolioStore::Ask(const char* text, UINT icon) {
  return ctx_.messageBoxes().Show(text, text::kCaption, MB_YESNO | icon) == IDYES;
}

bool PortfolioStore::AllocationAllowed() {
  if (allocationsUntilFailure_ < 0) return true;
  if (allocationsUntilFailure_ == 0) {
    allocationsUntilFailure_ = -1;
    return false;
  }
  --allocationsUntilFailure_;
  return true;
}

template <class T>
std::unique_ptr<T> PortfolioStore::Allocate() {
  if (!AllocationAllowed()) return nullptr;
  try {
    return std::make_unique<T>();  // value-initialised: records start zero-filled
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
template std::unique_ptr<StockRecord> PortfolioStore::Allocate<StockRecord>();
template std::unique_ptr<StockNote> PortfolioStore::Allocate<StockNote>();
template std::unique_ptr<StockAlert> PortfolioStore::Allocate<StockAlert>();

void PortfolioStore::ResetToDefaults() {
  stocks.clear();
  notes.clear();
  alerts.clear();
  cDecimalSeparator = ctx_.locale().decimalSeparator ? ctx_.locale().decimalSeparator : '.';
  cThousandsSeparator = ctx_.locale().thousandsSeparator ? ctx_.locale().thousandsSeparator : ',';
  wViewPortfolio = PORTFOLIO_ALL;
  wNewStockPortfolio = 1;
  wPortfolioCount = 2;
  std::fill(&szPortfolioName[0][0], &szPortfolioName[0][0] + sizeof szPortfolioName, '\0');
  CopyToField(szPortfolioName[0], "Unfiled");
  CopyToField(szPortfolioName[1], "NASDAQ");
  wCurrencyCount = 1;
  for (CurrencyEntry& c : currencies) c = CurrencyEntry{};
  CopyToField(currencies[0].szCode, "USD");
  currencies[0].dRate = 1.0;
  std::fill(std::begin(ucPortfolioCurrency), std::end(ucPortfolioCurrency), BYTE{0});
  std::fill(std::begin(dLastUpdateProfit), std::end(dLastUpdateProfit), 0.0);
  std::fill(std::begin(dCash), std::end(dCash), 0.0);
  dwMaxStockId = 0;

  wPrefKept4 = 0;
  ucColumnText = ucColumnData = ucColumnValue = 0;
  bShowClosed = 0;
  ucDefaultMarket = 0;
  std::fill(std::begin(szProxyHost), std::end(szProxyHost), '\0');
  wProxyPort = 8080;
  bUseProxy = 0;
  bCloseConnection = 1;
  ucChartSize = 0;
  wPassword = 0;
  dwSelectedStock = 0;
  fCustomFeePercent = 0;
  tLastUpdate = 0;
  bPassword = 0;
  ucSortKey = 0;
  bSortDescending = 0;
  bWatchedAtBottom = 1;
  bAutoSort = 1;
  bDividendTimesPrice = 0;
  wPortfolioChartMode = 0;
  wPortfolioChartValue = 0;
  ucPrefKept118 = 0;
  bNameInCharts = 0;
  std::fill(std::begin(szPrefKept124), std::end(szPrefKept124), '\0');
  std::fill(std::begin(szRasEntry), std::end(szRasEntry), '\0');
  ucPrefFlags = kPrefMapArrowKeys | kPrefArrowsShowToday;
  bAutoUpdate = 0;
  ucUpdateMinutes = 5;
  bAlertActive = 0;
}

void PortfolioStore::BringIntoRange() {
  if (wPortfolioCount < 1) wPortfolioCount = 1;
  if (wPortfolioCount > kMaxPortfolios) wPortfolioCount = kMaxPortfolios;
  if (wCurrencyCount < 1) wCurrencyCount = 1;
  if (wCurrencyCount > kMaxCurrencies) wCurrencyCount = kMaxCurrencies;
  for (BYTE& c : ucPortfolioCurrency) {
    if (c >= wCurrencyCount) c = 0;
  }
  // A stock's portfolio number stays as stored, also at or above the count (a file without a
  // header, another writer's file): such a stock shows under "All" and keeps its number through
  // every save. Whoever indexes a table with it checks it there.
  if (wViewPortfolio != PORTFOLIO_ALL && wViewPortfolio >= wPortfolioCount) {
    wViewPortfolio = PORTFOLIO_ALL;
  }
  if (wNewStockPortfolio >= wPortfolioCount) wNewStockPortfolio = 0;
  ClampPreferenceChoices();
}

void PortfolioStore::ClampPreferenceChoices() {
  if (wViewPortfolio != PORTFOLIO_ALL && wViewPortfolio >= kMaxPortfolios) {
    wViewPortfolio = PORTFOLIO_ALL;
  }
  if (wNewStockPortfolio >= kMaxPortfolios) wNewStockPortfolio = 0;
  if (ucColumnText > 1) ucColumnText = 0;
  if (ucColumnData > 4) ucColumnData = 0;
  if (ucColumnValue >= kValueKindCount) ucColumnValue = 0;
  if (bShowClosed > 1) bShowClosed = 1;
  if (ucDefaultMarket >= kMarketCount) ucDefaultMarket = 0;
  if (ucSortKey >= kSortKeyCount) ucSortKey = 0;
  if (ucChartSize > 2) ucChartSize = 0;
  if (wPortfolioChartMode > 2) wPortfolioChartMode = 0;
  if (wPortfolioChartValue > 2) wPortfolioChartValue = 0;
}

std::string_view PortfolioStore::PortfolioName(int portfolio) const {
  if (portfolio < 0 || portfolio >= kMaxPortfolios || portfolio >= wPortfolioCount) return {};
  return FieldText(szPortfolioName[portfolio]);
}

int PortfolioStore::CurrencyOfPortfolio(int portfolio) const {
  // A portfolio that does not exist (a stock's stored number past the count) has no currency
  // of its own: its figures are in the base currency.
  if (portfolio < 0 || portfolio >= kMaxPortfolios || portfolio >= wPortfolioCount) return 0;
  int c = ucPortfolioCurrency[portfolio];
  return c < wCurrencyCount && c < kMaxCurrencies ? c : 0;
}

double PortfolioStore::CurrencyRate(int currency) const {
  if (currency <= 0 || currency >= kMaxCurrencies || currency >= wCurrencyCount) {
    return currencies[0].dRate;
  }
  return currencies[currency].dRate;
}

std::string_view PortfolioStore::CurrencyCode(int currency) const {
  if (currency < 0 || currency >= kMaxCurrencies) currency = 0;
  return currencies[currency].Code();
}

// ---- Stocks -------------------------------------------------------------------------------

StockRecord* PortfolioStore::FindStock(DWORD id) {
  for (auto& s : stocks) {
    if (s->dwId == id) return s.get();
  }
  return nullptr;
}

int PortfolioStore::IndexOfStock(const StockRecord* record) const {
  for (std::size_t i = 0; i < stocks.size(); ++i) {
    if (stocks[i].get() == record) return static_cast<int>(i);
  }
  return -1;
}

// From the cursor, step by one in `direction`. Count 0 returns the first record of the view
// at or beyond the cursor; count n the n-th record of the view beyond it (the cursor's own
// record not counted). The cursor is left on the record returned and untouched when there is
// none. Walking backwards from at or beyond the end starts on the last record; walking
// forwards from there finds nothing.
StockRecord* PortfolioStore::NextInView(int* cursor, int portfolio, bool sold, int count,
                                        int direction) {
  const int size = static_cast<int>(stocks.size());
  const int step = direction < 0 ? -1 : 1;
  int at = *cursor;
  if (step > 0) {
    if (at >= size) return nullptr;
    if (at < -1) at = -1;
  } else {
    if (at >= size) at = size - 1;
    if (at < 0) return nullptr;
  }
  int k = count <= 0 ? at : at + step;
  if (k < 0 && step > 0) k = 0;  // a cursor before the start: begin at the first record
  int found = 0;
  for (; k >= 0 && k < size; k += step) {
    if (!InView(*stocks[static_cast<std::size_t>(k)], portfolio, sold)) continue;
    if (count <= 0 || ++found == count) {
      *cursor = k;
      return stocks[static_cast<std::size_t>(k)].get();
    }
  }
  return nullptr;
}

// A zero-filled record with room for it already made in the stock list, so appending it
// cannot fail; null after "Insufficient memory to add new stock".
std::unique_ptr<StockRecord> PortfolioStore::AllocateStockForList() {
  auto record = Allocate<StockRecord>();
  if (record) {
    try {
      stocks.reserve(stocks.size() + 1);
    } catch (const std::bad_alloc&) {
      record.reset();
    }
  }
  if (!record) Message(text::kNoMemoryNewStock, MB_ICONSTOP);
  return record;
}

StockRecord* PortfolioStore::NewStock() {
  if (bShowClosed) {
    Message(text::kNewSoldStock, MB_ICONINFORMATION);
    return nullptr;
  }
  auto record = AllocateStockForList();
  if (!record) return nullptr;
  record->dwId = ++dwMaxStockId;
  record->ucTrend = kTrendNotUpdated;
  record->ucMarket = ucDefaultMarket < kMarketCount ? ucDefaultMarket : 0;
  CopyToField(record->szName, "My Stock");
  record->ucFlags = kFlagChartHistory;
  record->tBuyDate = NowStockTime(ctx_.clock());
  int portfolio = wViewPortfolio == PORTFOLIO_ALL ? wNewStockPortfolio : wViewPortfolio;
  record->ucPortfolio = static_cast<BYTE>(portfolio < wPortfolioCount ? portfolio : 0);
  stocks.push_back(std::move(record));
  return stocks.back().get();
}

StockRecord* PortfolioStore::CopyStock(const StockRecord& source, bool ask) {
  if (ask && !Ask(text::kCopyStock)) return nullptr;
  auto record = AllocateStockForList();
  if (!record) return nullptr;
  *record = source;
  record->dwId = ++dwMaxStockId;
  record->tBuyDate = NowStockTime(ctx_.clock());
  stocks.push_back(std::move(record));
  return stocks.back().get();
}

bool PortfolioStore::AlertNamesStock(const StockAlert& alert, const StockRecord& stock) {
  if (alert.ucMarket != stock.ucMarket) return false;
  std::string symbol = QuoteSymbol(stock.Symbol(), stock.ucMarket);
  return !symbol.empty() && EqualNoCase(alert.QuoteSymbol(), symbol);
}

void PortfolioStore::DeleteStock(StockRecord* record) {
  int index = IndexOfStock(record);
  if (index < 0) return;
  DeleteNote(record->dwId);
  std::string symbol = QuoteSymbol(record->Symbol(), record->ucMarket);
  if (hChartDB && !symbol.empty() && hChartDB->HasSeries(symbol, record->ucMarket) &&
      Ask(text::kDeleteChartData)) {
    hChartDB->DeleteSeries(symbol, record->ucMarket);
  }
  bool named = std::any_of(alerts.begin(), alerts.end(),
                           [&](const auto& a) { return AlertNamesStock(*a, *record); });
  if (named && Ask(text::kDeleteAlerts)) {
    std::erase_if(alerts, [&](const auto& a) { return AlertNamesStock(*a, *record); });
  }
  stocks.erase(stocks.begin() + index);
  SaveStocks(*this);
}

bool PortfolioStore::DeleteAllStocks() {
  if (!Ask(text::kDeleteAllStocks, MB_ICONWARNING)) return false;
  if (!Ask(text::kDeleteAllStocks, MB_ICONSTOP)) return false;
  stocks.clear();
  if (hChartDB && !hChartDB->DeleteAll()) Message(text::kUnableToOpenChartDb, MB_ICONSTOP);
  notes.clear();
  alerts.clear();
  SaveStocks(*this);
  return true;
}

// ---- Portfolios --------------------------------------------------------------------------

bool PortfolioStore::AddPortfolio(std::string_view name) {
  if (wPortfolioCount >= kMaxPortfolios || name.empty()) return false;
  CopyToField(szPortfolioName[wPortfolioCount], name);
  ucPortfolioCurrency[wPortfolioCount] = 0;
  dLastUpdateProfit[wPortfolioCount] = 0;
  dCash[wPortfolioCount] = 0;
  ++wPortfolioCount;
  return true;
}

bool PortfolioStore::RenamePortfolio(int index, std::string_view name) {
  if (index < 1 || index >= wPortfolioCount || name.empty()) return false;
  CopyToField(szPortfolioName[index], name);
  return true;
}

bool PortfolioStore::DeletePortfolio(int k) {
  if (k < 1 || k >= wPortfolioCount) return false;
  if (!Ask(text::kDeletePortfolio)) return false;
  for (auto& s : stocks) {
    if (s->ucPortfolio == k) {
      s->ucPortfolio = 0;
    } else if (s->ucPortfolio > k) {
      --s->ucPortfolio;
    }
  }
  const int oldCount = wPortfolioCount;
  if (hChartDB) {
    hChartDB->DeleteSeries(PortfolioSeriesName(k), kPortfolioSeriesMarket);
    // The later portfolios move down one place; their histories move with them, so that a
    // portfolio added later does not inherit the history of one that sat at its number.
    for (int j = k + 1; j < oldCount; ++j) {
      hChartDB->RenameSeries(PortfolioSeriesName(j), kPortfolioSeriesMarket,
                             PortfolioSeriesName(j - 1), kPortfolioSeriesMarket);
    }
  }
  for (int j = k; j + 1 < kMaxPortfolios; ++j) {
    std::copy(std::begin(szPortfolioName[j + 1]), std::end(szPortfolioName[j + 1]),
              szPortfolioName[j]);
    ucPortfolioCurrency[j] = ucPortfolioCurrency[j + 1];
    dLastUpdateProfit[j] = dLastUpdateProfit[j + 1];
    dCash[j] = dCash[j + 1];
  }
  wPortfolioCount = static_cast<WORD>(oldCount - 1);
  for (int j = wPortfolioCount; j < kMaxPortfolios; ++j) {
    std::fill(std::begin(szPortfolioName[j]), std::end(szPortfolioName[j]), '\0');
    ucPortfolioCurrency[j] = 0;
    dLastUpdateProfit[j] = 0;
    dCash[j] = 0;
  }
  if (wViewPortfolio == k) {
    wViewPortfolio = PORTFOLIO_ALL;
  } else if (wViewPortfolio != PORTFOLIO_ALL && wViewPortfolio > k) {
    --wViewPortfolio;
  }
  if (wNewStockPortfolio == k) {
    wNewStockPortfolio = 0;
  } else if (wNewStockPortfolio > k) {
    --wNewStockPortfolio;
  }
  if (wNewStockPortfolio >= wPortfolioCount) wNewStockPortfolio = 0;
  return true;
}

// ---- Currencies ---------------------------------------------------------------------------

std::string PortfolioStore::FixedRateText(std::string_view code) const {
  std::string upper = UpperCode(code);
  if (EuroRateLookup(upper) < 0 || EuroRateLookup(CurrencyCode(0)) < 0) return {};
  return FormatDecimal(EuroConvert(upper, 1.0, CurrencyCode(0)), 6, 0, cDecimalSeparator);
}

bool PortfolioStore::AddCurrency(std::string_view code, std::string_view rateText) {
  if (wCurrencyCount >= kMaxCurrencies) return false;
  std::string upper = UpperCode(code);
  if (upper.empty()) return false;
  double rate = ParseDecimal(rateText, 6, cDecimalSeparator);
  if (EuroRateLookup(upper) >= 0 && EuroRateLookup(CurrencyCode(0)) >= 0) {
    rate = EuroConvert(upper, 1.0, CurrencyCode(0));
  }
  // Every amount of a portfolio in this currency is multiplied by the rate: 0 or less would
  // turn its holdings into nothing or debts.
  if (!(rate > 0)) return false;
  CurrencyEntry& entry = currencies[wCurrencyCount];
  entry = CurrencyEntry{};
  CopyToField(entry.szCode, upper);
  entry.dRate = rate;
  ++wCurrencyCount;
  return true;
}

bool PortfolioStore::EditCurrency(int index, std::string_view code, std::string_view rateText) {
  if (index < 1 || index >= wCurrencyCount) return false;
  std::string upper = UpperCode(code);
  if (upper.empty()) return false;
  const double rate = ParseDecimal(rateText, 6, cDecimalSeparator);
  if (!(rate > 0)) return false;
  CurrencyEntry& entry = currencies[index];
  entry = CurrencyEntry{};
  CopyToField(entry.szCode, upper);
  entry.dRate = rate;
  return true;
}

bool PortfolioStore::DeleteCurrency(int c) {
  if (c < 1 || c >= wCurrencyCount) return false;
  if (!Ask(text::kDeleteCurrency)) return false;
  for (BYTE& p : ucPortfolioCurrency) {
    if (p == c) {
      p = 0;
    } else if (p > c) {
      --p;
    }
  }
  for (int j = c; j + 1 < kMaxCurrencies; ++j) currencies[j] = currencies[j + 1];
  --wCurrencyCount;
  for (int j = wCurrencyCount; j < kMaxCurrencies; ++j) currencies[j] = CurrencyEntry{};
  return true;
}

bool PortfolioStore::SetPortfolioCurrency(int portfolio, int currency) {
  if (portfolio < 0 || portfolio >= wPortfolioCount) return false;
  if (currency < 0 || currency >= wCurrencyCount) return false;
  ucPortfolioCurrency[portfolio] = static_cast<BYTE>(currency);
  return true;
}

bool PortfolioStore::SetBaseCurrencyCode(std::string_view code) {
  std::string upper = UpperCode(code);
  if (upper.empty() || EqualNoCase(upper, CurrencyCode(0))) return false;
  CopyToField(currencies[0].szCode, upper);
  return true;
}

// ---- Notes --------------------------------------------------------------------------------

StockNote* PortfolioStore::FindNote(DWORD stockId) {
  for (auto& n : notes) {
    if (n->dwStockId == stockId) return n.get();
  }
  return nullptr;
}

bool PortfolioStore::SetNote(DWORD stockId, std::u16string_view text) {
  if (text.empty()) {
    DeleteNote(stockId);
    return true;
  }
  std::string ansi = Utf16ToAnsi(text);
  StockNote* note = FindNote(stockId);
  std::unique_ptr<StockNote> created;
  try {
    if (!note) {
      created = Allocate<StockNote>();
      if (!created) throw std::bad_alloc();
      notes.reserve(notes.size() + 1);
    }
    std::string body = ansi;
    body.push_back('\0');
    StockNote* target = note ? note : created.get();
    target->szText = std::move(body);
    target->dwStockId = stockId;
    target->dwLength = static_cast<DWORD>(ansi.size());
  } catch (const std::bad_alloc&) {
    Message(text::kNoMemoryNewNote, MB_ICONSTOP);
    return false;
  }
  if (created) notes.push_back(std::move(created));
  return true;
}

void PortfolioStore::DeleteNote(DWORD stockId) {
  std::erase_if(notes, [&](const auto& n) { return n->dwStockId == stockId; });
}

}  // namespace quillet
