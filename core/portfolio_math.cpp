// Every figure shown about a holding or a portfolio, computed on demand from the stock's
// decimal texts; nothing computed is stored in a record. Each division is guarded and a
// guarded case yields 0.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <numeric>

#include "core/portfolio_store.h"
#include "core/quote_tables.h"

namespace quillet {
namespace {

struct Inputs {
  double N, B, Fb, P, Fs, D, C, Q;
};

}  // namespace

double PortfolioStore::ConvertValue(double value, const StockRecord& r, int context) const {
  if (context == kNoConversion) return value;
  if (context == PORTFOLIO_ALL) return value * CurrencyRate(CurrencyOfPortfolio(r.ucPortfolio));
  if (context < 0 || context >= kMaxPortfolios) return value;
  int currency = CurrencyOfPortfolio(context);
  if (currency != 0 && ConvertToBase()) return value * CurrencyRate(currency);
  return value;
}

double PortfolioStore::StockValue(const StockRecord& r, int kind, int context) const {
  if (kind < 0 || kind >= kValueKindCount) return 0;
  const char sep = cDecimalSeparator;
  auto parse = [&](const DecimalText& field, int places) {
    return ParseDecimal(FieldText(field), places, sep);
  };
  const bool sold = r.IsSold();
  const double N = parse(r.szShares, 4);
  const double B = parse(r.szBuyPrice, 4);
  switch (kind) {
    case kValueCost:
      return ConvertValue(N * B + parse(r.szBuyFee, 2), r, context);
    case kValueCurrentValue:
      return ConvertValue(N * parse(r.szPrice, 4) - parse(r.szSellFee, 2), r, context);
    case kValueFeePercent: {
      double nb = N * B;
      if (nb == 0) return 0;
      return (parse(r.szSellFee, 2) + parse(r.szBuyFee, 2)) * (100 / nb);
    }
    case kValueBuyPrice:
      return ConvertValue(B, r, context);
    case kValueChange:
      return ConvertValue(parse(r.szChange, 4), r, context);
    case kValueChangePercent: {
      double Q = parse(r.szPrevClose, 4);
      if (sold || Q == 0) return 0;
      return parse(r.szChange, 4) * 100 / Q;
    }
    case kValueDayChange:
      if (sold) return 0;
      return ConvertValue(N * parse(r.szChange, 4), r, context);
    default:
      break;
  }
  // Profit, profit % and profit per year.
  const double P = parse(r.szPrice, 4);
  const double Fb = parse(r.szBuyFee, 2);
  const double Fs = parse(r.szSellFee, 2);
  double D = parse(r.szDividend, 4);
  if (bDividendTimesPrice) D *= P;  // the dividend field then counts shares received
  const bool shortPosition = (r.ucFlags & kFlagShort) != 0;
  if (kind == kValueProfit) {
    double G = (P - B) * N;
    if (shortPosition) G = -G;
    return ConvertValue(G - Fb - Fs + D, r, context);
  }
  const double K = N * B + Fb;
  double G = (P - B) * std::fabs(N);
  if (shortPosition) G = -G;
  if (K == 0) return 0;
  if (kind == kValueProfitPercent) return (G - Fb - Fs + D) * (100 / K);
  std::int64_t end = sold ? static_cast<std::int64_t>(r.tSellDate) : ctx_.clock().Now();
  double T = static_cast<double>(end - static_cast<std::int64_t>(r.tBuyDate)) / 86400.0;
  if (T == 0) return 0;
  return ((G - Fb - Fs + D) / K * 100 / T) * 365;
}

std::string PortfolioStore::FormatStockValue(const StockRecord& r, int kind, int context) const {
  const char sep = cDecimalSeparator;
  if (kind == kValueChange) {
    if (r.IsSold()) return {};
    double stored = ParseDecimal(FieldText(r.szChange), 4, sep);
    double converted = ConvertValue(stored, r, context);
    if (converted == stored) return ToDisplayText(FieldText(r.szChange), sep);
    std::string text = FormatDecimal(converted, 2, 0, sep);
    return converted > 0 ? "+" + text : text;
  }
  double value = StockValue(r, kind, context);
  int places = value > -1000000.0 && value < 10000000.0 ? 2 : 0;
  bool percent = kind == kValueProfitPercent || kind == kValueProfitPerYear ||
                 kind == kValueFeePercent || kind == kValueChangePercent;
  return FormatDecimal(value, places, percent ? '%' : 0, sep);
}

// An amount of one portfolio in its own currency, as that portfolio's view shows it.
static double ConvertPortfolioAmount(const PortfolioStore& s, double amount, int portfolio) {
  int currency = s.CurrencyOfPortfolio(portfolio);
  if (currency != 0 && s.ConvertToBase()) return amount * s.CurrencyRate(currency);
  return amount;
}

double PortfolioStore::PortfolioCash(int portfolio) const {
  if (portfolio == PORTFOLIO_ALL) {
    double sum = 0;
    for (int k = 0; k < kMaxPortfolios; ++k) {
      sum += dCash[k] * CurrencyRate(CurrencyOfPortfolio(k));
    }
    return sum;
  }
  if (portfolio < 0 || portfolio >= kMaxPortfolios) return 0;
  return ConvertPortfolioAmount(*this, dCash[portfolio], portfolio);
}

std::string_view PortfolioStore::DisplayCurrencyCode(int portfolio) const {
  if (portfolio == PORTFOLIO_ALL || ConvertToBase()) return CurrencyCode(0);
  return CurrencyCode(CurrencyOfPortfolio(portfolio));
}

PortfolioTotals PortfolioStore::ComputeTotals(int portfolio, bool sold) const {
  PortfolioTotals t;
  const std::int64_t now = ctx_.clock().Now();
  std::int64_t daySum = 0;
  int counted = 0;
  // Totals walk the list from its end, as every total of the program does.
  for (std::size_t i = stocks.size(); i-- > 0;) {
    const StockRecord& r = *stocks[i];
    if (!InView(r, portfolio, sold) || r.IsWatched()) continue;
    t.profit += StockValue(r, kValueProfit, portfolio);
    t.cost += StockValue(r, kValueCost, portfolio);
    t.value += StockValue(r, kValueCurrentValue, portfolio);
    t.dayChange += StockValue(r, kValueDayChange, portfolio);
    // Whole days held, from the buy date even for a sold stock.
    daySum += (now - static_cast<std::int64_t>(r.tBuyDate)) / 86400;
    ++counted;
  }
  if (t.cost != 0) t.profitPercent = 100 / t.cost * t.profit;
  if (counted > 0) {
    double averageDays = static_cast<double>(daySum) / counted;
    if (averageDays > 0) t.profitPerYear = 365 / averageDays * t.profitPercent;
  }
  if (!sold) t.value += PortfolioCash(portfolio);
  return t;
}

ChangeFigures PortfolioStore::ChangeSinceLastUpdate(int portfolio) const {
  double last = 0;
  if (portfolio == PORTFOLIO_ALL) {
    for (int k = 0; k < kMaxPortfolios; ++k) {
      last += dLastUpdateProfit[k] * CurrencyRate(CurrencyOfPortfolio(k));
    }
  } else if (portfolio >= 0 && portfolio < kMaxPortfolios) {
    last = ConvertPortfolioAmount(*this, dLastUpdateProfit[portfolio], portfolio);
  }
  ChangeFigures c;
  c.amount = ComputeTotals(portfolio, false).profit - last;
  if (last != 0) {
    // Measured against the profit of the last update, the figure the change starts from; the
    // sign always follows the amount.
    double percent = std::fabs(c.amount * 100 / last);
    c.percent = c.amount > 0 ? percent : -percent;
  }
  return c;
}

ChangeFigures PortfolioStore::ChangeToday(int portfolio) const {
  PortfolioTotals t = ComputeTotals(portfolio, false);
  ChangeFigures c;
  c.amount = t.dayChange;
  double base = t.value - PortfolioCash(portfolio) - c.amount;
  if (base != 0) c.percent = c.amount * 100 / base;
  return c;
}

CombinedHolding PortfolioStore::CombineHoldings(const std::vector<const StockRecord*>& entries,
                                                int context) const {
  CombinedHolding c;
  if (entries.size() == 1) {
    const StockRecord& r = *entries[0];
    c.shares = ParseDecimal(FieldText(r.szShares), 2, cDecimalSeparator);
    c.buyPrice = StockValue(r, kValueBuyPrice, context);
    c.cost = StockValue(r, kValueCost, context);
    c.value = StockValue(r, kValueCurrentValue, context);
    c.profit = StockValue(r, kValueProfit, context);
    c.profitPercent = StockValue(r, kValueProfitPercent, context);
    return c;
  }
  double pricedShares = 0;
  for (const StockRecord* r : entries) {
    double n = ParseDecimal(FieldText(r->szShares), 2, cDecimalSeparator);
    c.shares += n;
    c.cost += StockValue(*r, kValueCost, context);
    c.value += StockValue(*r, kValueCurrentValue, context);
    c.profit += StockValue(*r, kValueProfit, context);
    pricedShares += StockValue(*r, kValueBuyPrice, context) * n;
  }
  if (c.shares != 0) c.buyPrice = pricedShares / c.shares;
  if (c.cost != 0) c.profitPercent = 100 / c.cost * c.profit;
  return c;
}

void PortfolioStore::SnapshotLastUpdateProfit() {
  const BYTE saved = ucPrefFlags;
  ucPrefFlags = static_cast<BYTE>(ucPrefFlags & ~kPrefConvertToBase);
  std::fill(std::begin(dLastUpdateProfit), std::end(dLastUpdateProfit), 0.0);
  for (const auto& s : stocks) {
    if (!InView(*s, PORTFOLIO_ALL, false) || s->IsWatched()) continue;
    if (s->ucPortfolio >= kMaxPortfolios) continue;
    dLastUpdateProfit[s->ucPortfolio] += StockValue(*s, kValueProfit, s->ucPortfolio);
  }
  ucPrefFlags = saved;
}

void PortfolioStore::SortStocks(int key, bool descending, bool watchedAtBottom) {
  if (key < 0 || key >= kSortKeyCount) return;
  // Every key is computed once per stock; comparisons then only compare keys.
  struct Item {
    double number = 0;
    std::string text;
    bool watched = false;
    std::size_t index = 0;
  };
  const bool textKey = key == kSortName || key == kSortSymbol;
  std::vector<Item> items(stocks.size());
  for (std::size_t i = 0; i < stocks.size(); ++i) {
    const StockRecord& r = *stocks[i];
    Item& it = items[i];
    it.index = i;
    it.watched = r.IsWatched();
    if (textKey) {
      it.text = key == kSortName ? std::string(r.Name()) : QuoteSymbol(r.Symbol(), r.ucMarket);
      for (char& c : it.text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
      }
      continue;
    }
    double v = 0;
    switch (key) {
      case kSortPrice:
        v = ParseDecimal(FieldText(r.szPrice), 4, cDecimalSeparator);
        break;
      case kSortProfit:
        v = StockValue(r, kValueProfit, wViewPortfolio);
        break;
      case kSortBuyDate:
        v = r.tBuyDate;
        break;
      case kSortSellDate:
        v = r.tSellDate;
        break;
      case kSortChange:
        v = ParseDecimal(FieldText(r.szChange), 4, cDecimalSeparator);
        break;
      case kSortValue:
        v = StockValue(r, kValueCurrentValue, wViewPortfolio);
        break;
      case kSortCost:
        v = StockValue(r, kValueCost, wViewPortfolio);
        break;
      case kSortProfitPercent:
        v = StockValue(r, kValueProfitPercent, wViewPortfolio);
        break;
      case kSortChangePercent:
        v = StockValue(r, kValueChangePercent, wViewPortfolio);
        break;
      default:
        break;
    }
    // A NaN would break the ordering the sort relies on.
    it.number = std::isnan(v) ? -std::numeric_limits<double>::infinity() : v;
  }
  std::stable_sort(items.begin(), items.end(), [&](const Item& a, const Item& b) {
    if (watchedAtBottom && a.watched != b.watched) return b.watched;
    if (textKey) return descending ? b.text < a.text : a.text < b.text;
    return descending ? a.number > b.number : a.number < b.number;
  });
  std::vector<std::unique_ptr<StockRecord>> sorted;
  sorted.reserve(stocks.size());
  for (const Item& it : items) sorted.push_back(std::move(stocks[it.index]));
  stocks = std::move(sorted);
}

std::string FeeFromPercent(std::string_view number, std::string_view price, double percent,
                           char decimalSeparator) {
  double fee = ParseDecimal(number, 4, decimalSeparator) *
               ParseDecimal(price, 4, decimalSeparator) * percent * 0.01;
  return FormatDecimal(fee, 2, 0, decimalSeparator);
}

}  // namespace quillet
