#include "charts/current_price.h"

#include <cmath>

#include "core/decimal_text.h"
#include "core/quote_tables.h"
#include "platform/ascii.h"
#include "platform/codepage.h"

namespace quillet {
namespace {

bool ReadOptional(const std::string& text, char sep, bool negativeAllowed, double* value) {
  *value = 0;
  if (text.find_first_not_of(' ') == std::string::npos) return true;
  if (!ReadsWholeDecimal(text, sep)) return false;
  *value = ParseDecimal(text, kAllPlaces, sep);
  return std::isfinite(*value) && (negativeAllowed || *value >= 0);
}

std::string Stored(DWORD stored, bool portfolio, char sep) {
  if (portfolio) return std::to_string(SignedAmount(stored));
  return FormatDecimalTrimmed(stored / kStockScale, 4, 0, sep);
}

}  // namespace

std::optional<PointFigures> ReadPriceEntry(const PriceEntryTexts& texts, char decimalSeparator,
                                           bool portfolio) {
  PointFigures f;
  // An empty, zero, negative or unreadable price would be written as the quote of every stock
  // of the symbol: refused.
  if (texts.price.find_first_not_of(' ') == std::string::npos) return std::nullopt;
  if (!ReadsWholeDecimal(texts.price, decimalSeparator)) return std::nullopt;
  f.price = ParseDecimal(texts.price, kAllPlaces, decimalSeparator);
  if (!std::isfinite(f.price) || f.price <= 0) return std::nullopt;
  if (!ReadOptional(texts.low, decimalSeparator, portfolio, &f.low) ||
      !ReadOptional(texts.high, decimalSeparator, portfolio, &f.high) ||
      !ReadOptional(texts.volume, decimalSeparator, false, &f.volume)) {
    return std::nullopt;
  }
  return f;
}

std::optional<PriceEntryTexts> PointTextsOfDay(ChartStore& charts, std::string_view name,
                                               int market, StockTime date, char decimalSeparator) {
  auto series = charts.FindSeries(name, market);
  if (!series) return std::nullopt;
  const StockTime day = DayStart(date);
  const bool portfolio = market == kPortfolioSeriesMarket;
  for (const ChartPoint& p : series->points) {
    if (DayStart(p.tDate) != day) continue;
    return PriceEntryTexts{Stored(p.dwPrice, portfolio, decimalSeparator),
                           Stored(p.dwLow, portfolio, decimalSeparator),
                           Stored(p.dwHigh, portfolio, decimalSeparator),
                           portfolio ? std::string() : std::to_string(p.dwVolume)};
  }
  return std::nullopt;
}

int SetCurrentQuote(PortfolioStore& s, std::string_view quoteSymbol, int market,
                    const PointFigures& figures) {
  // Each figure goes in only when it fits its field whole; a cut number would be another price.
  auto put = [](DecimalText& field, double v, int places) {
    std::string t;
    if (DecimalFieldText(v, places, true, &t)) CopyToField(field, t);
  };
  int changed = 0;
  for (auto& r : s.stocks) {
    if (r->ucMarket != market || !EqualNoCase(QuoteSymbol(r->Symbol(), r->ucMarket), quoteSymbol)) {
      continue;
    }
    put(r->szPrice, figures.price, 4);
    if (figures.low > 0) put(r->szDayLow, figures.low, 4);
    if (figures.high > 0) put(r->szDayHigh, figures.high, 4);
    if (figures.volume > 0) put(r->szVolume, std::trunc(figures.volume), 0);
    ++changed;
  }
  return changed;
}

}  // namespace quillet
