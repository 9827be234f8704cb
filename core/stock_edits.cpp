#include "core/stock_edits.h"

#include <algorithm>

#include "core/portfolio_math.h"
#include "core/quote_tables.h"
#include "platform/ascii.h"

namespace quillet {
namespace {

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

// Stores a typed number into a decimal field when it differs from what the field holds. Text
// that is not one whole number (or does not fit the field) leaves the field alone and is
// reported in `bad`.
void StoreNumber(const PortfolioStore& s, DecimalText& field, std::string_view typed, unsigned bit,
                 StockSaveResult* result) {
  const std::string stored = ToStorageText(Trimmed(typed), s.cDecimalSeparator);
  if (stored == FieldText(field)) return;
  if (!ReadsWholeDecimal(stored, '.') || stored.size() >= kDecimalTextSize) {
    result->badFields |= bit;
    return;
  }
  CopyToField(field, stored);
  result->modified = true;
}

void StoreDate(StockTime& field, StockTime typed, StockSaveResult* result) {
  if (typed == 0 || (field != 0 && DayStart(field) == DayStart(typed))) return;
  field = typed;
  result->modified = true;
}

template <std::size_t N>
void StoreText(char (&field)[N], std::string_view typed, StockSaveResult* result) {
  char cut[N] = {};
  CopyToField(cut, typed);
  if (FieldText(cut) == FieldText(field)) return;
  CopyToField(field, FieldText(cut));
  result->modified = true;
}

bool SameQuote(std::string_view a, int marketA, std::string_view b, int marketB) {
  return marketA == marketB && EqualNoCase(a, b);
}

}  // namespace

StockSaveResult SaveStockInfo(PortfolioStore& s, StockRecord& r, const StockInfoInput& in) {
  StockSaveResult result;
  const std::string oldSymbol(r.Symbol());
  const int oldMarket = r.ucMarket;

  if (in.portfolio >= 0 && in.portfolio < s.wPortfolioCount && in.portfolio != r.ucPortfolio) {
    r.ucPortfolio = static_cast<BYTE>(in.portfolio);
    s.wNewStockPortfolio = static_cast<WORD>(in.portfolio);
    result.modified = true;
  }
  StoreText(r.szName, in.name, &result);
  StoreText(r.szSymbol, in.symbol, &result);
  if (in.market && *in.market >= 0 && *in.market < kMarketCount && *in.market != r.ucMarket) {
    r.ucMarket = static_cast<BYTE>(*in.market);
    s.ucDefaultMarket = static_cast<BYTE>(*in.market);
    result.modified = true;
  }
  StoreDate(r.tBuyDate, in.buyDate, &result);

  const std::string oldBuyPrice(FieldText(r.szBuyPrice));
  StoreNumber(s, r.szBuyPrice, in.price, kFieldBuyPrice, &result);
  if (FieldText(r.szBuyPrice) != oldBuyPrice && FieldText(r.szPrice).empty()) {
    // A new stock has no quote yet: until the first update its value is what was paid.
    CopyToField(r.szPrice, FieldText(r.szBuyPrice));
  }
  StoreNumber(s, r.szShares, in.number, kFieldShares, &result);
  StoreNumber(s, r.szBuyFee, in.fee, kFieldBuyFee, &result);
  StoreNumber(s, r.szDividend, in.dividend, kFieldDividend, &result);

  if (!r.IsSold()) {
    const BYTE status = in.own ? kStatusActive : kStatusWatched;
    if (status != r.ucStatus) {
      r.ucStatus = status;
      result.modified = true;
    }
    BYTE flags = static_cast<BYTE>(r.ucFlags & ~(kFlagChartHistory | kFlagShort));
    if (in.chart) flags |= kFlagChartHistory;
    if (in.shortPosition) flags |= kFlagShort;
    if (flags != r.ucFlags) {
      r.ucFlags = flags;
      result.modified = true;
    }
  }

  if (oldSymbol != r.Symbol() || oldMarket != r.ucMarket) {
    result.historyMoved = MoveStockHistory(s, r, oldSymbol, oldMarket);
  }
  return result;
}

StockSaveResult SaveStockSell(PortfolioStore& s, StockRecord& r, const StockSellInput& in) {
  StockSaveResult result;
  StoreDate(r.tSellDate, in.sellDate, &result);
  StoreNumber(s, r.szPrice, in.price, kFieldSellPrice, &result);
  StoreNumber(s, r.szShares, in.number, kFieldShares, &result);
  StoreNumber(s, r.szSellFee, in.fee, kFieldSellFee, &result);
  return result;
}

bool MoveStockHistory(PortfolioStore& s, const StockRecord& r, std::string_view oldSymbol,
                      int oldMarket) {
  if (!s.hChartDB) return false;
  const std::string from = QuoteSymbol(oldSymbol, oldMarket);
  const std::string to = QuoteSymbol(r.Symbol(), r.ucMarket);
  if (from.empty() || to.empty() || SameQuote(from, oldMarket, to, r.ucMarket)) return false;
  for (const auto& other : s.stocks) {
    if (other.get() == &r) continue;
    if (SameQuote(QuoteSymbol(other->Symbol(), other->ucMarket), other->ucMarket, from,
                  oldMarket)) {
      return false;  // the other lots keep the history they share
    }
  }
  if (!s.hChartDB->HasSeries(from, oldMarket) || s.hChartDB->HasSeries(to, r.ucMarket)) {
    return false;
  }
  return s.hChartDB->RenameSeries(from, oldMarket, to, r.ucMarket);
}

double PayForNewStock(PortfolioStore& s, const StockRecord& r) {
  if (r.ucPortfolio >= kMaxPortfolios || s.dCash[r.ucPortfolio] == 0) return 0;
  const double cost = StockValue(s, r, kValueCost, kNoConversion);
  s.dCash[r.ucPortfolio] -= cost;
  return cost;
}

void DiscardNewStock(PortfolioStore& s, DWORD id, int paidFrom, double paid) {
  StockRecord* r = s.FindStock(id);
  if (!r) return;
  s.DeleteNote(id);
  s.stocks.erase(s.stocks.begin() + s.IndexOfStock(r));
  if (paidFrom >= 0 && paidFrom < kMaxPortfolios) s.dCash[paidFrom] += paid;
}

std::vector<const StockRecord*> CalculatorLots(const PortfolioStore& s, const StockRecord& r) {
  const bool sold = r.IsSold();
  const std::string symbol = QuoteSymbol(r.Symbol(), r.ucMarket);
  std::vector<const StockRecord*> lots;
  for (const auto& other : s.stocks) {
    const StockRecord& o = *other;
    if (&o == &r) {
      lots.push_back(&o);
      continue;
    }
    if (o.ucPortfolio != r.ucPortfolio || o.IsSold() != sold || o.IsWatched()) continue;
    if (symbol.empty() || !EqualNoCase(QuoteSymbol(o.Symbol(), o.ucMarket), symbol)) continue;
    lots.push_back(&o);
  }
  std::stable_sort(lots.begin(), lots.end(), [sold](const StockRecord* a, const StockRecord* b) {
    return sold ? a->tSellDate < b->tSellDate : a->tBuyDate < b->tBuyDate;
  });
  return lots;
}

std::string MarketChangeText(const PortfolioStore& s, const StockRecord& r) {
  const char sep = s.cDecimalSeparator;
  std::string text = ToDisplayText(FieldText(r.szChange), sep);
  const double change = ParseDecimal(FieldText(r.szChange), 4, sep);
  if (change == 0) return text;
  const double previousClose = ParseDecimal(FieldText(r.szPrevClose), 4, sep);
  const std::string percent = previousClose == 0
                                  ? std::string("0")
                                  : FormatDecimal(change * 100 / previousClose, 2, 0, sep);
  return text + " (" + percent + "%)";
}

}  // namespace quillet
