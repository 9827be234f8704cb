#include "core/stock_operations.h"

#include <new>
#include <string>

#include "core/messages.h"
#include "core/portfolio_math.h"
#include "core/quote_tables.h"
#include "platform/message_box.h"

namespace quillet {

StockOpResult AddSharesToStock(PortfolioStore& s, StockRecord* record, std::string_view price,
                               std::string_view number, std::string_view fee) {
  if (!record || s.IndexOfStock(record) < 0) return StockOpResult::kNothingToDo;
  const char sep = s.cDecimalSeparator;
  const double Pa = ParseDecimal(price, 4, sep);
  const double Na = ParseDecimal(number, 4, sep);
  const double Fa = ParseDecimal(fee, 4, sep);
  if (Na == 0) return StockOpResult::kNothingToDo;
  const double N = ParseDecimal(FieldText(record->szShares), 4, sep);
  const double B = ParseDecimal(FieldText(record->szBuyPrice), 4, sep);
  const double Fb = ParseDecimal(FieldText(record->szBuyFee), 4, sep);
  const double total = N + Na;
  // Adding a negative number that cancels the holding would leave no shares to average over.
  if (total == 0) return StockOpResult::kNothingToDo;
  std::string shares, buyPrice, buyFee;
  if (!DecimalFieldText((B * N + Na * Pa) / total, 4, true, &buyPrice) ||
      !DecimalFieldText(total, 4, false, &shares) ||
      !DecimalFieldText(Fb + Fa, 2, false, &buyFee)) {
    s.Message(text::kNumberTooLarge, MB_ICONSTOP);
    return StockOpResult::kRefused;
  }
  CopyToField(record->szBuyPrice, buyPrice);
  CopyToField(record->szShares, shares);
  CopyToField(record->szBuyFee, buyFee);
  return StockOpResult::kDone;
}

bool AskToSell(PortfolioStore& s, const StockRecord& record) {
  if (record.IsWatched()) {
    s.Message(text::kNotOwned, MB_ICONINFORMATION);
    return false;
  }
  if (record.IsSold()) return false;
  return s.Ask(text::kSellStock);
}

StockOpResult SellStock(PortfolioStore& s, StockRecord* record, std::string_view number,
                        std::string_view price, std::string_view fee, StockTime date) {
  const int index = record ? s.IndexOfStock(record) : -1;
  if (index < 0) return StockOpResult::kNothingToDo;
  if (record->IsWatched()) {
    s.Message(text::kNotOwned, MB_ICONINFORMATION);
    return StockOpResult::kRefused;
  }
  if (record->IsSold()) return StockOpResult::kNothingToDo;
  const char sep = s.cDecimalSeparator;
  const double n = ParseDecimal(number, 4, sep);
  const double N = ParseDecimal(FieldText(record->szShares), 4, sep);
  if (n > N) {
    s.Message(text::kCannotSellMore, MB_ICONINFORMATION);
    return StockOpResult::kRefused;
  }
  // Selling nothing, or a negative number, would make a sold record out of thin air.
  if (n <= 0) return StockOpResult::kNothingToDo;
  const bool partial = n < N;
  const double Fb = ParseDecimal(FieldText(record->szBuyFee), 2, sep);

  std::string soldShares, soldBuyFee, keptShares, keptBuyFee;
  bool fits = DecimalFieldText(n, 4, false, &soldShares);
  if (partial) {
    fits = fits && DecimalFieldText(Fb * n / N, 2, false, &soldBuyFee) &&
           DecimalFieldText(N - n, 4, false, &keptShares) &&
           DecimalFieldText(Fb - Fb * n / N, 2, false, &keptBuyFee);
  }
  if (!fits) {
    s.Message(text::kNumberTooLarge, MB_ICONSTOP);
    return StockOpResult::kRefused;
  }

  // The unsold shares get their record before anything changes: when memory runs out the sale
  // does not happen, rather than losing the part that was not sold.
  std::unique_ptr<StockRecord> kept;
  if (partial) {
    kept = s.Allocate<StockRecord>();
    if (kept) {
      try {
        s.stocks.reserve(s.stocks.size() + 1);
      } catch (const std::bad_alloc&) {
        kept.reset();
      }
    }
    if (!kept) {
      s.Message(text::kNoMemorySale, MB_ICONSTOP);
      return StockOpResult::kOutOfMemory;
    }
    *kept = *record;  // keeps the id: the holding that stays is the same stock
    CopyToField(kept->szShares, keptShares);
    CopyToField(kept->szBuyFee, keptBuyFee);
    record->dwId = ++s.dwMaxStockId;
    CopyToField(record->szBuyFee, soldBuyFee);
  }
  CopyToField(record->szShares, soldShares);
  CopyToField(record->szPrice, ToStorageText(price, sep));
  CopyToField(record->szSellFee, ToStorageText(fee, sep));
  record->tSellDate = date;
  record->ucStatus = kStatusSold;
  record->ucTrend = kTrendNotUpdated;
  if (partial) {
    std::unique_ptr<StockRecord> sold = std::move(s.stocks[static_cast<std::size_t>(index)]);
    s.stocks[static_cast<std::size_t>(index)] = std::move(kept);
    s.stocks.push_back(std::move(sold));  // capacity reserved above: cannot fail
  }
  if (record->ucPortfolio < kMaxPortfolios) {
    s.dCash[record->ucPortfolio] += StockValue(s, *record, kValueCurrentValue, kNoConversion);
  }
  if (partial) SortStocks(s);
  return StockOpResult::kDone;
}

StockOpResult SplitStock(PortfolioStore& s, StockRecord* record, StockTime date, std::string_view a,
                         std::string_view b) {
  if (!record || s.IndexOfStock(record) < 0) {
    s.Message(text::kNoStockSelected, MB_ICONINFORMATION);
    return StockOpResult::kRefused;
  }
  if (record->IsSold()) return StockOpResult::kNothingToDo;
  const char sep = s.cDecimalSeparator;
  const double ra = ParseDecimal(a, 2, sep);
  const double rb = ParseDecimal(b, 2, sep);
  if (ra == 0 || rb == 0) return StockOpResult::kNothingToDo;
  const double r = ra / rb;
  // A negative ratio would turn holdings and prices negative.
  if (r < 0) return StockOpResult::kNothingToDo;
  std::string shares, buyPrice, price;
  if (!DecimalFieldText(ParseDecimal(FieldText(record->szShares), 4, sep) * r, 4, true, &shares) ||
      !DecimalFieldText(ParseDecimal(FieldText(record->szBuyPrice), 4, sep) / r, 4, true,
                        &buyPrice) ||
      !DecimalFieldText(ParseDecimal(FieldText(record->szPrice), 4, sep) / r, 4, true, &price)) {
    s.Message(text::kNumberTooLarge, MB_ICONSTOP);
    return StockOpResult::kRefused;
  }
  CopyToField(record->szShares, shares);
  CopyToField(record->szBuyPrice, buyPrice);
  CopyToField(record->szPrice, price);
  if (s.hChartDB && s.Ask(text::kSplitChartData)) {
    s.hChartDB->SplitSeries(QuoteSymbol(record->Symbol(), record->ucMarket), record->ucMarket, date,
                            r);
  }
  return StockOpResult::kDone;
}

std::string FeeFromPercent(std::string_view number, std::string_view price, double percent,
                           char decimalSeparator) {
  double fee = ParseDecimal(number, 4, decimalSeparator) *
               ParseDecimal(price, 4, decimalSeparator) * percent * 0.01;
  return FormatDecimal(fee, 2, 0, decimalSeparator);
}

}  // namespace quillet
