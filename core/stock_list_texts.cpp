#include "core/stock_list_texts.h"

#include "core/portfolio_math.h"

namespace quillet {

int ArrowImageOf(const PortfolioStore& store, const StockRecord& r) {
  if (!(store.ucPrefFlags & kPrefArrowsShowToday)) return r.ucTrend <= 4 ? r.ucTrend : -1;
  if (r.ucTrend == kTrendNoQuote) return 0;
  if (r.ucTrend == kTrendNotUpdated) return 4;
  double change = ParseDecimal(FieldText(r.szChange), 4, store.cDecimalSeparator);
  return change > 0 ? 2 : change < 0 ? 3 : 1;
}

std::string ShortDateText(const LocaleSettings& locale, StockTime date) {
  if (date == 0) return "N/A";
  std::string text = FormatDate(locale.shortDateFormat, ToLocal(date));
  return text.empty() ? "N/A" : text;
}

StockRowTexts StockRowTextsOf(PortfolioStore& store, const StockRecord& r, int view,
                              const LocaleSettings& locale) {
  StockRowTexts row;
  const char sep = store.cDecimalSeparator;
  row.column0 = std::string(store.ucColumnText == 1 ? r.Symbol() : r.Name());
  switch (store.ucColumnData) {
    case 1:
      row.column1 = ToDisplayText(FieldText(r.szDividend), sep);
      break;
    case 2:
      row.column1 = ToDisplayText(FieldText(r.szShares), sep);
      break;
    case 3:
      row.column1 = ShortDateText(locale, r.tBuyDate);
      break;
    case 4:
      row.column1 = ShortDateText(locale, r.tSellDate);
      break;
    default:
      row.column1 = ToDisplayText(FieldText(r.szPrice), sep);
      break;
  }
  row.column2 = FormatStockValue(store, r, store.ucColumnValue % kValueKindCount, view);
  row.arrowImage = ArrowImageOf(store, r);
  row.hasNote = store.FindNote(r.dwId) != nullptr;
  row.watched = r.IsWatched();
  return row;
}

static std::string TotalAmount(double v, char sep) {
  return FormatDecimal(v, v > 10000000.0 ? 0 : 2, 0, sep);
}

TotalsTexts TotalsTextsOf(const PortfolioTotals& t, char sep) {
  TotalsTexts out;
  out.profit = TotalAmount(t.profit, sep);
  out.profitPercent = FormatDecimal(t.profitPercent, 2, '%', sep);
  out.profitPerYear = FormatDecimal(t.profitPerYear, 2, '%', sep);
  out.cost = TotalAmount(t.cost, sep);
  out.value = TotalAmount(t.value, sep);
  return out;
}

}  // namespace quillet
