#include "core/portfolio_math.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <numeric>
#include <string>
#include <vector>

#include "core/quote_tables.h"
#include "platform/ascii.h"

namespace quillet {
namespace {

// How far ahead of a walk over the stock list its records are fetched into the cache.
constexpr std::size_t kPrefetchAhead = 12;
void PrefetchRecord(const StockRecord* r) {
  const char* bytes = reinterpret_cast<const char*>(r);
  for (std::size_t offset = 0; offset < sizeof(StockRecord); offset += 64) {
    __builtin_prefetch(bytes + offset);
  }
}

// The formulas behind a stock's figures and the portfolio totals, kept in one place so that a
// total is always the sum of the figures the list shows. N shares, B buy price, P price, Fb and
// Fs buy and sell fees, D dividend, C the day's change per share.
double CostOf(double N, double B, double Fb) { return N * B + Fb; }
double CurrentValueOf(double N, double P, double Fs) { return N * P - Fs; }
double DayChangeOf(double N, double C) { return N * C; }
double ProfitOf(double N, double B, double P, double Fb, double Fs, double D, bool shortPosition) {
  double G = (P - B) * N;
  if (shortPosition) G = -G;
  return G - Fb - Fs + D;
}
// With dividend-times-price set, the dividend field counts shares received.
double DividendOf(const PortfolioStore& s, double D, double P) {
  return s.bDividendTimesPrice ? D * P : D;
}

// The figures a total takes from one stock, each field parsed once: shares, buy price, buy
// fee, price, sell fee, dividend and change.
struct Inputs {
  double N, B, Fb, P, Fs, D, C;
};

Inputs TotalInputs(const PortfolioStore& s, const StockRecord& r) {
  const char sep = s.cDecimalSeparator;
  auto parse = [&](const DecimalText& field, int places) {
    return ParseDecimal(FieldText(field), places, sep);
  };
  Inputs in;
  in.N = parse(r.szShares, 4);
  in.B = parse(r.szBuyPrice, 4);
  in.Fb = parse(r.szBuyFee, 2);
  in.P = parse(r.szPrice, 4);
  in.Fs = parse(r.szSellFee, 2);
  in.D = DividendOf(s, parse(r.szDividend, 4), in.P);
  in.C = parse(r.szChange, 4);
  return in;
}

}  // namespace

double ConvertValue(const PortfolioStore& s, double value, const StockRecord& r, int context) {
  if (context == kNoConversion) return value;
  if (context == PORTFOLIO_ALL) return value * s.CurrencyRate(s.CurrencyOfPortfolio(r.ucPortfolio));
  if (context < 0 || context >= kMaxPortfolios) return value;
  int currency = s.CurrencyOfPortfolio(context);
  if (currency != 0 && s.ConvertToBase()) return value * s.CurrencyRate(currency);
  return value;
}

double StockValue(const PortfolioStore& s, const StockRecord& r, int kind, int context) {
  if (kind < 0 || kind >= kValueKindCount) return 0;
  const char sep = s.cDecimalSeparator;
  auto parse = [&](const DecimalText& field, int places) {
    return ParseDecimal(FieldText(field), places, sep);
  };
  const bool sold = r.IsSold();
  const double N = parse(r.szShares, 4);
  const double B = parse(r.szBuyPrice, 4);
  switch (kind) {
    case kValueCost:
      return ConvertValue(s, CostOf(N, B, parse(r.szBuyFee, 2)), r, context);
    case kValueCurrentValue:
      return ConvertValue(s, CurrentValueOf(N, parse(r.szPrice, 4), parse(r.szSellFee, 2)), r,
                          context);
    case kValueFeePercent: {
      double nb = N * B;
      if (nb == 0) return 0;
      return (parse(r.szSellFee, 2) + parse(r.szBuyFee, 2)) * (100 / nb);
    }
    case kValueBuyPrice:
      return ConvertValue(s, B, r, context);
    case kValueChange:
      return ConvertValue(s, parse(r.szChange, 4), r, context);
    case kValueChangePercent: {
      double Q = parse(r.szPrevClose, 4);
      if (sold || Q == 0) return 0;
      return parse(r.szChange, 4) * 100 / Q;
    }
    case kValueDayChange:
      if (sold) return 0;
      return ConvertValue(s, DayChangeOf(N, parse(r.szChange, 4)), r, context);
    default:
      break;
  }
  // Profit, profit % and profit per year.
  const double P = parse(r.szPrice, 4);
  const double Fb = parse(r.szBuyFee, 2);
  const double Fs = parse(r.szSellFee, 2);
  const double D = DividendOf(s, parse(r.szDividend, 4), P);
  const bool shortPosition = (r.ucFlags & kFlagShort) != 0;
  if (kind == kValueProfit) {
    return ConvertValue(s, ProfitOf(N, B, P, Fb, Fs, D, shortPosition), r, context);
  }
  const double K = CostOf(N, B, Fb);
  double G = (P - B) * std::fabs(N);
  if (shortPosition) G = -G;
  if (K == 0) return 0;
  if (kind == kValueProfitPercent) return (G - Fb - Fs + D) * (100 / K);
  std::int64_t end = sold ? static_cast<std::int64_t>(r.tSellDate) : s.context().clock().Now();
  double T = static_cast<double>(end - static_cast<std::int64_t>(r.tBuyDate)) / 86400.0;
  if (T == 0) return 0;
  return ((G - Fb - Fs + D) / K * 100 / T) * 365;
}

std::string FormatStockValue(const PortfolioStore& s, const StockRecord& r, int kind, int context) {
  const char sep = s.cDecimalSeparator;
  if (kind == kValueChange) {
    if (r.IsSold()) return {};
    double stored = ParseDecimal(FieldText(r.szChange), 4, sep);
    double converted = ConvertValue(s, stored, r, context);
    if (converted == stored) return ToDisplayText(FieldText(r.szChange), sep);
    std::string text = FormatDecimal(converted, 2, 0, sep);
    return converted > 0 ? "+" + text : text;
  }
  double value = StockValue(s, r, kind, context);
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

double PortfolioCash(const PortfolioStore& s, int portfolio) {
  if (portfolio == PORTFOLIO_ALL) {
    double sum = 0;
    for (int k = 0; k < kMaxPortfolios; ++k) {
      sum += s.dCash[k] * s.CurrencyRate(s.CurrencyOfPortfolio(k));
    }
    return sum;
  }
  if (portfolio < 0 || portfolio >= kMaxPortfolios) return 0;
  return ConvertPortfolioAmount(s, s.dCash[portfolio], portfolio);
}

std::string_view DisplayCurrencyCode(const PortfolioStore& s, int portfolio) {
  if (portfolio == PORTFOLIO_ALL || s.ConvertToBase()) return s.CurrencyCode(0);
  return s.CurrencyCode(s.CurrencyOfPortfolio(portfolio));
}

PortfolioTotals ComputeTotals(const PortfolioStore& s, int portfolio, bool sold) {
  PortfolioTotals t;
  const std::int64_t now = s.context().clock().Now();
  std::int64_t daySum = 0;
  int counted = 0;
  // Totals walk the list from its end, as every total of the program does.
  for (std::size_t i = s.stocks.size(); i-- > 0;) {
    if (i >= kPrefetchAhead) PrefetchRecord(s.stocks[i - kPrefetchAhead].get());
    const StockRecord& r = *s.stocks[i];
    if (!PortfolioStore::InView(r, portfolio, sold) || r.IsWatched()) continue;
    // StockValue's profit, cost, current value and day change, with each field parsed once
    // instead of once per figure.
    const Inputs in = TotalInputs(s, r);
    const bool shortPosition = (r.ucFlags & kFlagShort) != 0;
    t.profit += ConvertValue(s, ProfitOf(in.N, in.B, in.P, in.Fb, in.Fs, in.D, shortPosition), r,
                             portfolio);
    t.cost += ConvertValue(s, CostOf(in.N, in.B, in.Fb), r, portfolio);
    t.value += ConvertValue(s, CurrentValueOf(in.N, in.P, in.Fs), r, portfolio);
    if (!r.IsSold()) t.dayChange += ConvertValue(s, DayChangeOf(in.N, in.C), r, portfolio);
    // Whole days held, from the buy date even for a sold stock.
    daySum += (now - static_cast<std::int64_t>(r.tBuyDate)) / 86400;
    ++counted;
  }
  if (t.cost != 0) t.profitPercent = 100 / t.cost * t.profit;
  if (counted > 0) {
    double averageDays = static_cast<double>(daySum) / counted;
    if (averageDays > 0) t.profitPerYear = 365 / averageDays * t.profitPercent;
  }
  if (!sold) t.value += PortfolioCash(s, portfolio);
  return t;
}

ChangeFigures ChangeSinceLastUpdate(const PortfolioStore& s, int portfolio) {
  double last = 0;
  if (portfolio == PORTFOLIO_ALL) {
    for (int k = 0; k < kMaxPortfolios; ++k) {
      last += s.dLastUpdateProfit[k] * s.CurrencyRate(s.CurrencyOfPortfolio(k));
    }
  } else if (portfolio >= 0 && portfolio < kMaxPortfolios) {
    last = ConvertPortfolioAmount(s, s.dLastUpdateProfit[portfolio], portfolio);
  }
  ChangeFigures c;
  c.amount = ComputeTotals(s, portfolio, false).profit - last;
  if (last != 0) {
    // Measured against the profit of the last update, the figure the change starts from; the
    // sign always follows the amount.
    double percent = std::fabs(c.amount * 100 / last);
    c.percent = c.amount > 0 ? percent : -percent;
  }
  return c;
}

ChangeFigures ChangeToday(const PortfolioStore& s, int portfolio) {
  PortfolioTotals t = ComputeTotals(s, portfolio, false);
  ChangeFigures c;
  c.amount = t.dayChange;
  double base = t.value - PortfolioCash(s, portfolio) - c.amount;
  if (base != 0) c.percent = c.amount * 100 / base;
  return c;
}

CombinedHolding CombineHoldings(const PortfolioStore& s,
                                const std::vector<const StockRecord*>& entries, int context) {
  CombinedHolding c;
  if (entries.size() == 1) {
    const StockRecord& r = *entries[0];
    c.shares = ParseDecimal(FieldText(r.szShares), 2, s.cDecimalSeparator);
    c.buyPrice = StockValue(s, r, kValueBuyPrice, context);
    c.cost = StockValue(s, r, kValueCost, context);
    c.value = StockValue(s, r, kValueCurrentValue, context);
    c.profit = StockValue(s, r, kValueProfit, context);
    c.profitPercent = StockValue(s, r, kValueProfitPercent, context);
    return c;
  }
  double pricedShares = 0;
  for (const StockRecord* r : entries) {
    double n = ParseDecimal(FieldText(r->szShares), 2, s.cDecimalSeparator);
    c.shares += n;
    c.cost += StockValue(s, *r, kValueCost, context);
    c.value += StockValue(s, *r, kValueCurrentValue, context);
    c.profit += StockValue(s, *r, kValueProfit, context);
    pricedShares += StockValue(s, *r, kValueBuyPrice, context) * n;
  }
  if (c.shares != 0) c.buyPrice = pricedShares / c.shares;
  if (c.cost != 0) c.profitPercent = 100 / c.cost * c.profit;
  return c;
}

void SnapshotLastUpdateProfit(PortfolioStore& s) {
  const BYTE saved = s.ucPrefFlags;
  s.ucPrefFlags = static_cast<BYTE>(s.ucPrefFlags & ~kPrefConvertToBase);
  std::fill(std::begin(s.dLastUpdateProfit), std::end(s.dLastUpdateProfit), 0.0);
  for (const auto& r : s.stocks) {
    if (!PortfolioStore::InView(*r, PORTFOLIO_ALL, false) || r->IsWatched()) continue;
    if (r->ucPortfolio >= kMaxPortfolios) continue;
    s.dLastUpdateProfit[r->ucPortfolio] += StockValue(s, *r, kValueProfit, r->ucPortfolio);
  }
  s.ucPrefFlags = saved;
}

void SortStocks(PortfolioStore& s, int key, bool descending, bool watchedAtBottom) {
  if (key < 0 || key >= kSortKeyCount) return;
  // Every key is computed once per stock, and the sort moves small items, not records or
  // strings: with 100,000 stocks, moving and comparing more than that was most of the time.
  // A text key's first sixteen bytes ride in the item as two numbers in byte order, so most
  // comparisons end there; the whole text decides only between equal beginnings. Stocks with
  // equal keys keep the order they had (their position breaks the tie), as a stable sort would.
  struct Item {
    double number;
    std::uint64_t head[2];
    std::uint32_t index;
    bool watched;
  };
  const bool textKey = key == kSortName || key == kSortSymbol;
  const std::size_t n = s.stocks.size();
  std::vector<Item> items(n);
  std::vector<std::string> texts(textKey ? n : 0);
  for (std::size_t i = 0; i < n; ++i) {
    // The records lie wherever they were allocated, in no relation to the list's order: asking
    // for the ones a little ahead keeps the walk from waiting on memory at every record.
    if (i + kPrefetchAhead < n) PrefetchRecord(s.stocks[i + kPrefetchAhead].get());
    const StockRecord& r = *s.stocks[i];
    Item& it = items[i];
    it.index = static_cast<std::uint32_t>(i);
    it.watched = r.IsWatched();
    it.number = 0;
    it.head[0] = it.head[1] = 0;
    if (textKey) {
      std::string& text = texts[i];
      text = ToLowerAscii(key == kSortName ? r.Name() : QuoteSymbol(r.Symbol(), r.ucMarket));
      for (std::size_t k = 0; k < 16; ++k) {
        const auto byte = k < text.size() ? static_cast<unsigned char>(text[k]) : 0u;
        it.head[k / 8] = (it.head[k / 8] << 8) | byte;
      }
      continue;
    }
    double v = 0;
    switch (key) {
      case kSortPrice:
        v = ParseDecimal(FieldText(r.szPrice), 4, s.cDecimalSeparator);
        break;
      case kSortProfit:
        v = StockValue(s, r, kValueProfit, s.wViewPortfolio);
        break;
      case kSortBuyDate:
        v = r.tBuyDate;
        break;
      case kSortSellDate:
        v = r.tSellDate;
        break;
      case kSortChange:
        v = ParseDecimal(FieldText(r.szChange), 4, s.cDecimalSeparator);
        break;
      case kSortValue:
        v = StockValue(s, r, kValueCurrentValue, s.wViewPortfolio);
        break;
      case kSortCost:
        v = StockValue(s, r, kValueCost, s.wViewPortfolio);
        break;
      case kSortProfitPercent:
        v = StockValue(s, r, kValueProfitPercent, s.wViewPortfolio);
        break;
      case kSortChangePercent:
        v = StockValue(s, r, kValueChangePercent, s.wViewPortfolio);
        break;
      default:
        break;
    }
    // A NaN would break the ordering the sort relies on.
    it.number = std::isnan(v) ? -std::numeric_limits<double>::infinity() : v;
  }
  std::sort(items.begin(), items.end(), [&](const Item& a, const Item& b) {
    if (watchedAtBottom && a.watched != b.watched) return b.watched;
    if (textKey) {
      // Texts hold no NUL, so a shorter text's zero padding orders it first, as its prefix.
      int order = 0;
      for (int k = 0; k < 2 && order == 0; ++k) {
        order = a.head[k] < b.head[k] ? -1 : a.head[k] > b.head[k] ? 1 : 0;
      }
      if (order == 0) order = texts[a.index].compare(texts[b.index]);
      if (order != 0) return descending ? order > 0 : order < 0;
    } else if (a.number != b.number) {
      return descending ? a.number > b.number : a.number < b.number;
    }
    return a.index < b.index;
  });
  std::vector<std::unique_ptr<StockRecord>> sorted;
  sorted.reserve(n);
  for (const Item& it : items) sorted.push_back(std::move(s.stocks[it.index]));
  s.stocks = std::move(sorted);
}

}  // namespace quillet
