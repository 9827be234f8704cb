// Figures of holdings and portfolios, conversion, totals, sorting and the holding operations.
#include "core/portfolio_math.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <random>

#include "core/euro_rates.h"
#include "core/messages.h"
#include "core/portfolio_store.h"
#include "core/quote_tables.h"
#include "core/stock_operations.h"
#include "platform/testing/test_support.h"

namespace quillet {
namespace {

using quillet::testing::TestRoot;

constexpr StockTime kDay = 86400;

class Figures : public ::testing::Test {
 protected:
  struct Lot {
    std::string name = "S";
    int portfolio = 1;
    int status = kStatusActive;
    std::string shares = {};
    std::string buyPrice = {};
    std::string buyFee = {};
    std::string price = {};
    std::string sellFee = {};
    std::string dividend = {};
    std::string change = {};
    std::string prevClose = {};
    StockTime buyDate = 0;
    StockTime sellDate = 0;
    int flags = 0;
    std::string symbol = {};
    int market = 0;
  };
  StockRecord* Add(const Lot& s) {
    auto r = std::make_unique<StockRecord>();
    r->dwId = ++store.dwMaxStockId;
    CopyToField(r->szName, s.name);
    CopyToField(r->szSymbol, s.symbol);
    r->ucMarket = static_cast<BYTE>(s.market);
    r->ucPortfolio = static_cast<BYTE>(s.portfolio);
    r->ucStatus = static_cast<BYTE>(s.status);
    r->ucFlags = static_cast<BYTE>(s.flags);
    CopyToField(r->szShares, s.shares);
    CopyToField(r->szBuyPrice, s.buyPrice);
    CopyToField(r->szBuyFee, s.buyFee);
    CopyToField(r->szPrice, s.price);
    CopyToField(r->szSellFee, s.sellFee);
    CopyToField(r->szDividend, s.dividend);
    CopyToField(r->szChange, s.change);
    CopyToField(r->szPrevClose, s.prevClose);
    r->tBuyDate = s.buyDate ? s.buyDate : Now() - 100 * kDay;
    r->tSellDate = s.sellDate;
    store.stocks.push_back(std::move(r));
    return store.stocks.back().get();
  }
  StockTime Now() { return static_cast<StockTime>(root.clock.Now()); }
  std::vector<std::string> Names() {
    std::vector<std::string> out;
    for (auto& s : store.stocks) out.emplace_back(s->Name());
    return out;
  }
  double V(const StockRecord* r, int kind, int ctx = kNoConversion) {
    return StockValue(store, *r, kind, ctx);
  }

  TestRoot root;
  InMemoryPriceHistory history;
  PortfolioStore store{*root.ctx, &history};
};

TEST_F(Figures, ValueKindsOfAnActiveHolding) {
  StockRecord* r = Add({.shares = "100",
                        .buyPrice = "10",
                        .buyFee = "10",
                        .price = "12",
                        .sellFee = "5",
                        .dividend = "20",
                        .change = "+0.5",
                        .prevClose = "11.5",
                        .buyDate = Now() - 73 * kDay});
  EXPECT_DOUBLE_EQ(V(r, kValueProfit), 200 - 10 - 5 + 20);
  EXPECT_DOUBLE_EQ(V(r, kValueProfitPercent), 205 * (100.0 / 1010));
  EXPECT_DOUBLE_EQ(V(r, kValueProfitPerYear), (205.0 / 1010 * 100 / 73) * 365);
  EXPECT_DOUBLE_EQ(V(r, kValueCost), 1010);
  EXPECT_DOUBLE_EQ(V(r, kValueCurrentValue), 1195);
  EXPECT_DOUBLE_EQ(V(r, kValueFeePercent), 15 * (100.0 / 1000));
  EXPECT_DOUBLE_EQ(V(r, kValueBuyPrice), 10);
  EXPECT_DOUBLE_EQ(V(r, kValueChange), 0.5);
  EXPECT_DOUBLE_EQ(V(r, kValueChangePercent), 0.5 * 100 / 11.5);
  EXPECT_DOUBLE_EQ(V(r, kValueDayChange), 50);
  EXPECT_DOUBLE_EQ(V(r, 10), 0);
  EXPECT_DOUBLE_EQ(V(r, -1), 0);
}

TEST_F(Figures, GuardsShortPositionsDividendsAndSoldStocks) {
  // A short position with the price below the buy price is a gain; profit % uses |N|.
  StockRecord* t = Add({.shares = "10", .buyPrice = "50", .price = "40", .flags = kFlagShort});
  EXPECT_DOUBLE_EQ(V(t, kValueProfit), 100);
  EXPECT_DOUBLE_EQ(V(t, kValueProfitPercent), 100 * (100.0 / 500));
  // Bought today: no profit per year; zero cost: no percentages.
  StockRecord* today = Add({.shares = "1", .buyPrice = "1", .price = "2", .buyDate = Now()});
  EXPECT_DOUBLE_EQ(V(today, kValueProfitPerYear), 0);
  StockRecord* free = Add({.shares = "1", .price = "2"});
  EXPECT_DOUBLE_EQ(V(free, kValueProfitPercent), 0);
  EXPECT_DOUBLE_EQ(V(free, kValueFeePercent), 0);
  EXPECT_DOUBLE_EQ(V(free, kValueChangePercent), 0);
  // Dividend as shares received: D * P.
  StockRecord* d = Add({.shares = "0", .price = "50", .dividend = "2"});
  EXPECT_DOUBLE_EQ(V(d, kValueProfit), 2);
  store.bDividendTimesPrice = 1;
  EXPECT_DOUBLE_EQ(V(d, kValueProfit), 100);
  // A sold stock: its holding period ends on the sell date, no day change.
  StockRecord* sold = Add({.status = kStatusSold,
                           .shares = "10",
                           .buyPrice = "10",
                           .price = "20",
                           .change = "1",
                           .prevClose = "19",
                           .buyDate = 1000 * kDay,
                           .sellDate = 1365 * kDay});
  EXPECT_DOUBLE_EQ(V(sold, kValueProfitPerYear), 100.0);
  EXPECT_DOUBLE_EQ(V(sold, kValueDayChange), 0);
  EXPECT_DOUBLE_EQ(V(sold, kValueChangePercent), 0);
}

TEST_F(Figures, FormatStockValueChoosesPlacesSuffixAndLocaleSeparator) {
  StockRecord* r = Add({.shares = "1", .price = "12345678.9"});
  EXPECT_EQ(FormatStockValue(store, *r, kValueProfit, kNoConversion), "12345678");
  CopyToField(r->szPrice, "9999999.996");
  EXPECT_EQ(FormatStockValue(store, *r, kValueCurrentValue, kNoConversion), "10000000.00");
  CopyToField(r->szPrice, "-2000000");
  EXPECT_EQ(FormatStockValue(store, *r, kValueProfit, kNoConversion), "-2000000");
  CopyToField(r->szPrice, "");
  EXPECT_EQ(FormatStockValue(store, *r, kValueProfit, kNoConversion), "0");
  EXPECT_EQ(FormatStockValue(store, *r, kValueProfitPercent, kNoConversion), "0%");
  CopyToField(r->szBuyPrice, "8");
  CopyToField(r->szPrice, "10");
  store.cDecimalSeparator = ',';
  EXPECT_EQ(FormatStockValue(store, *r, kValueProfitPercent, kNoConversion), "25,00%");
  EXPECT_EQ(FormatStockValue(store, *r, kValueProfit, kNoConversion), "2,00");
}

TEST_F(Figures, ChangeColumnShowsTheStoredTextUnlessConverted) {
  ASSERT_TRUE(store.AddCurrency("GBP", "1.5"));
  ASSERT_TRUE(store.SetPortfolioCurrency(1, 1));
  StockRecord* r = Add({.shares = "1", .change = "+0.25"});
  EXPECT_EQ(FormatStockValue(store, *r, kValueChange, 1), "+0.25");
  store.cDecimalSeparator = ',';
  EXPECT_EQ(FormatStockValue(store, *r, kValueChange, 1), "+0,25");
  EXPECT_EQ(FormatStockValue(store, *r, kValueChange, PORTFOLIO_ALL), "+0,38");
  CopyToField(r->szChange, "-0.5");
  EXPECT_EQ(FormatStockValue(store, *r, kValueChange, PORTFOLIO_ALL), "-0,75");
  r->ucStatus = kStatusSold;
  EXPECT_EQ(FormatStockValue(store, *r, kValueChange, 1), "");
}

TEST_F(Figures, ForeignPortfolioShowsOwnAmountsAloneAndConvertedInAll) {
  ASSERT_TRUE(store.AddCurrency("GBP", "1.5"));
  ASSERT_TRUE(store.SetPortfolioCurrency(1, 1));
  StockRecord* r = Add({.shares = "10", .buyPrice = "10", .price = "12"});
  EXPECT_DOUBLE_EQ(V(r, kValueProfit, 1), 20);
  EXPECT_DOUBLE_EQ(V(r, kValueProfit, PORTFOLIO_ALL), 30);
  EXPECT_DOUBLE_EQ(V(r, kValueProfit, kNoConversion), 20);
  EXPECT_EQ(DisplayCurrencyCode(store, 1), "GBP");
  EXPECT_EQ(DisplayCurrencyCode(store, PORTFOLIO_ALL), "USD");
  store.ucPrefFlags |= kPrefConvertToBase;
  EXPECT_DOUBLE_EQ(V(r, kValueProfit, 1), 30);
  EXPECT_EQ(DisplayCurrencyCode(store, 1), "USD");
  // Percentages are never converted.
  EXPECT_DOUBLE_EQ(V(r, kValueProfitPercent, 1), 20);

  store.dCash[1] = 100;
  store.dCash[0] = 7;
  EXPECT_DOUBLE_EQ(PortfolioCash(store, 1), 150);
  EXPECT_DOUBLE_EQ(PortfolioCash(store, PORTFOLIO_ALL), 157);
  store.ucPrefFlags &= static_cast<BYTE>(~kPrefConvertToBase);
  EXPECT_DOUBLE_EQ(PortfolioCash(store, 1), 100);
}

TEST_F(Figures, TotalsSkipWatchedStocksAndAddCash) {
  Add({.shares = "10",
       .buyPrice = "10",
       .price = "12",
       .change = "1",
       .buyDate = Now() - 100 * kDay});
  Add({.shares = "10", .buyPrice = "10", .price = "11", .change = "-0.5", .buyDate = Now()});
  Add({.status = kStatusWatched, .shares = "1000", .buyPrice = "1", .price = "9"});
  Add({.portfolio = 2, .shares = "1", .buyPrice = "1", .price = "1000"});
  store.dCash[1] = 50;
  PortfolioTotals t = ComputeTotals(store, 1, false);
  EXPECT_DOUBLE_EQ(t.profit, 30);
  EXPECT_DOUBLE_EQ(t.cost, 200);
  EXPECT_DOUBLE_EQ(t.value, 230 + 50);
  EXPECT_DOUBLE_EQ(t.dayChange, 5);
  EXPECT_DOUBLE_EQ(t.profitPercent, 15);
  // Days held average 100 + 0 over two stocks: the one bought today does not stop it.
  EXPECT_DOUBLE_EQ(t.profitPerYear, 365 / 50.0 * 15);

  ChangeFigures today = ChangeToday(store, 1);
  EXPECT_DOUBLE_EQ(today.amount, 5);
  EXPECT_DOUBLE_EQ(today.percent, 5 * 100 / 225.0);

  PortfolioTotals empty = ComputeTotals(store, 5, false);
  EXPECT_DOUBLE_EQ(empty.profitPercent, 0);
  EXPECT_DOUBLE_EQ(empty.profitPerYear, 0);
}

// The totals parse each field once; they must add up exactly what each stock's own figures
// are, for every mix of status, short lots, dividends, currencies and view.
TEST_F(Figures, TotalsAreExactlyTheSumsOfTheStocksOwnFigures) {
  ASSERT_TRUE(store.AddPortfolio("Abroad"));
  ASSERT_TRUE(store.AddCurrency("GBP", "1.6"));
  ASSERT_TRUE(store.SetPortfolioCurrency(2, 1));
  std::mt19937 rng(11);
  auto decimal = [&](int whole, int places) {
    std::string text = std::to_string(static_cast<int>(rng() % static_cast<unsigned>(whole)));
    if (places > 0) {
      text += ".";
      for (int k = 0; k < places; ++k) text += static_cast<char>('0' + rng() % 10);
    }
    return rng() % 7 == 0 ? "-" + text : text;
  };
  const int statuses[] = {kStatusActive, kStatusSold, kStatusWatched};
  for (int k = 0; k < 300; ++k) {
    Add({.portfolio = static_cast<int>(rng() % 4),
         .status = statuses[rng() % 3],
         .shares = decimal(5000, 3),
         .buyPrice = decimal(900, 4),
         .buyFee = rng() % 2 ? decimal(30, 2) : std::string(),
         .price = decimal(900, 4),
         .sellFee = rng() % 3 ? std::string() : decimal(30, 2),
         .dividend = rng() % 4 ? std::string() : decimal(50, 4),
         .change = decimal(20, 4),
         .buyDate = Now() - static_cast<StockTime>(rng() % 2000) * kDay,
         .flags = rng() % 5 == 0 ? kFlagShort : 0});
  }
  for (int dividendTimesPrice : {0, 1}) {
    store.bDividendTimesPrice = static_cast<BYTE>(dividendTimesPrice);
    for (BYTE convert : {BYTE{0}, BYTE{kPrefConvertToBase}}) {
      store.ucPrefFlags = static_cast<BYTE>((store.ucPrefFlags & ~kPrefConvertToBase) | convert);
      for (int view : {0, 1, 2, 3, static_cast<int>(PORTFOLIO_ALL)}) {
        for (bool sold : {false, true}) {
          double profit = 0, cost = 0, value = 0, day = 0;
          for (std::size_t i = store.stocks.size(); i-- > 0;) {
            const StockRecord& r = *store.stocks[i];
            if (!PortfolioStore::InView(r, view, sold) || r.IsWatched()) continue;
            profit += StockValue(store, r, kValueProfit, view);
            cost += StockValue(store, r, kValueCost, view);
            value += StockValue(store, r, kValueCurrentValue, view);
            day += StockValue(store, r, kValueDayChange, view);
          }
          const PortfolioTotals t = ComputeTotals(store, view, sold);
          SCOPED_TRACE(::testing::Message()
                       << "view " << view << " sold " << sold << " convert " << int{convert}
                       << " dividend x price " << dividendTimesPrice);
          EXPECT_EQ(t.profit, profit);
          EXPECT_EQ(t.cost, cost);
          EXPECT_EQ(t.value, sold ? value : value + PortfolioCash(store, view));
          EXPECT_EQ(t.dayChange, day);
          EXPECT_NE(cost, 0);
        }
      }
    }
  }
}

TEST_F(Figures, ChangeSinceLastUpdateComparesWithTheSnapshot) {
  ASSERT_TRUE(store.AddCurrency("GBP", "2"));
  ASSERT_TRUE(store.SetPortfolioCurrency(1, 1));
  StockRecord* a = Add({.shares = "10", .buyPrice = "10", .price = "12"});
  Add({.portfolio = 0, .shares = "1", .buyPrice = "1", .price = "5"});
  Add({.status = kStatusWatched, .shares = "1", .buyPrice = "1", .price = "99"});
  store.ucPrefFlags |= kPrefConvertToBase;
  SnapshotLastUpdateProfit(store);
  EXPECT_TRUE(store.ConvertToBase());                // restored afterwards
  EXPECT_DOUBLE_EQ(store.dLastUpdateProfit[1], 20);  // the portfolio's own currency
  EXPECT_DOUBLE_EQ(store.dLastUpdateProfit[0], 4);

  CopyToField(a->szPrice, "13");
  ChangeFigures c = ChangeSinceLastUpdate(store, 1);
  EXPECT_DOUBLE_EQ(c.amount, 60 - 40);  // converted to base: 30 * 2 - 20 * 2
  EXPECT_DOUBLE_EQ(c.percent, 50);
  ChangeFigures all = ChangeSinceLastUpdate(store, PORTFOLIO_ALL);
  EXPECT_DOUBLE_EQ(all.amount, 64 - 44);
  CopyToField(a->szPrice, "11");
  EXPECT_DOUBLE_EQ(ChangeSinceLastUpdate(store, 1).percent, -50);
  store.dLastUpdateProfit[1] = 0;
  EXPECT_DOUBLE_EQ(ChangeSinceLastUpdate(store, 1).percent, 0);
  // A loss at the last update turning into a smaller loss is a positive change.
  store.dLastUpdateProfit[1] = -20;
  CopyToField(a->szPrice, "9.5");
  ChangeFigures better = ChangeSinceLastUpdate(store, 1);
  EXPECT_DOUBLE_EQ(better.amount, -10 + 40);
  EXPECT_DOUBLE_EQ(better.percent, 75);
}

TEST_F(Figures, SortByEveryKeyInBothOrders) {
  Add({.name = "beta",
       .shares = "1",
       .buyPrice = "5",
       .price = "20",
       .change = "2",
       .prevClose = "18",
       .buyDate = 300,
       .symbol = "BB"});
  Add({.name = "Alpha",
       .shares = "1",
       .buyPrice = "1",
       .price = "10",
       .change = "-1",
       .prevClose = "11",
       .buyDate = 200,
       .symbol = "cc"});
  Add({.name = "gamma",
       .shares = "2",
       .buyPrice = "2",
       .price = "30",
       .change = "0.1",
       .prevClose = "30",
       .buyDate = 100,
       .symbol = "aa",
       .market = 1});
  store.stocks[1]->tSellDate = 50;
  store.stocks[2]->tSellDate = 60;
  struct Expect {
    int key;
    std::vector<std::string> ascending;
  };
  const std::vector<Expect> cases = {
      {kSortName, {"Alpha", "beta", "gamma"}},
      {kSortSymbol, {"gamma", "beta", "Alpha"}},  // AA.TO, BB, CC
      {kSortPrice, {"Alpha", "beta", "gamma"}},
      {kSortProfit, {"Alpha", "beta", "gamma"}},  // 9, 15, 56
      {kSortBuyDate, {"gamma", "Alpha", "beta"}},
      {kSortSellDate, {"beta", "Alpha", "gamma"}},
      {kSortChange, {"Alpha", "gamma", "beta"}},
      {kSortValue, {"Alpha", "beta", "gamma"}},
      {kSortCost, {"Alpha", "gamma", "beta"}},
      {kSortProfitPercent, {"beta", "Alpha", "gamma"}},  // 300, 900, 1400
      {kSortChangePercent, {"Alpha", "gamma", "beta"}},
  };
  for (const Expect& e : cases) {
    SortStocks(store, e.key, false, true);
    EXPECT_EQ(Names(), e.ascending) << "key " << e.key;
    SortStocks(store, e.key, true, true);
    std::vector<std::string> descending(e.ascending.rbegin(), e.ascending.rend());
    EXPECT_EQ(Names(), descending) << "key " << e.key;
  }
  std::vector<std::string> before = Names();
  SortStocks(store, 11, false, true);
  EXPECT_EQ(Names(), before);
}

TEST_F(Figures, WatchedStocksSortToTheBottomInBothOrders) {
  Add({.name = "w1", .status = kStatusWatched, .shares = "1", .price = "1000"});
  Add({.name = "a", .shares = "1", .price = "5"});
  Add({.name = "w2", .status = kStatusWatched, .shares = "1", .price = "-1000"});
  Add({.name = "s", .status = kStatusSold, .shares = "1", .price = "7"});
  SortStocks(store, kSortProfit, false, true);
  EXPECT_EQ(Names(), (std::vector<std::string>{"a", "s", "w2", "w1"}));
  SortStocks(store, kSortProfit, true, true);
  EXPECT_EQ(Names(), (std::vector<std::string>{"s", "a", "w1", "w2"}));
  SortStocks(store, kSortProfit, false, false);
  EXPECT_EQ(Names(), (std::vector<std::string>{"w2", "a", "s", "w1"}));
}

TEST_F(Figures, TextSortsCompareWholeTextsWithoutCaseAndKeepTiesInTheirOrder) {
  // Alike in their first sixteen bytes and beyond, one a prefix of the others, two equal but
  // for case, and a byte above 0x7F, which orders after every ASCII letter.
  Add({.name = "Portfolio holding B"});
  Add({.name = "portfolio holding a"});
  Add({.name = "Portfolio holding"});
  Add({.name = "\xC4pfel"});
  Add({.name = "zeta"});
  Add({.name = "PORTFOLIO HOLDING A"});
  SortStocks(store, kSortName, false, false);
  EXPECT_EQ(Names(), (std::vector<std::string>{"Portfolio holding", "portfolio holding a",
                                               "PORTFOLIO HOLDING A", "Portfolio holding B", "zeta",
                                               "\xC4pfel"}));
  SortStocks(store, kSortName, true, false);
  EXPECT_EQ(Names(), (std::vector<std::string>{"\xC4pfel", "zeta", "Portfolio holding B",
                                               "portfolio holding a", "PORTFOLIO HOLDING A",
                                               "Portfolio holding"}));
}

TEST_F(Figures, EqualKeysKeepTheirOrderInBothDirections) {
  Add({.name = "p1", .shares = "1", .price = "5"});
  Add({.name = "p2", .shares = "1", .price = "5"});
  Add({.name = "p3", .shares = "1", .price = "3"});
  Add({.name = "p4", .shares = "1", .price = "5"});
  SortStocks(store, kSortPrice, false, false);
  EXPECT_EQ(Names(), (std::vector<std::string>{"p3", "p1", "p2", "p4"}));
  SortStocks(store, kSortPrice, true, false);
  EXPECT_EQ(Names(), (std::vector<std::string>{"p1", "p2", "p4", "p3"}));
}

// Many stocks, few distinct keys and long shared beginnings: every key in both directions,
// with and without watched stocks at the bottom, against a plain stable sort of the same keys.
TEST_F(Figures, LargeSortsMatchAStableSortOfTheKeys) {
  std::mt19937 rng(5);
  const char* const prefixes[] = {"", "Holding ", "Holding holding "};
  for (int i = 0; i < 3000; ++i) {
    std::string name = prefixes[rng() % 3] + std::string(1, static_cast<char>("aAbB"[rng() % 4]));
    Add({.name = name + std::to_string(rng() % 40),
         .status = rng() % 9 == 0 ? kStatusWatched : kStatusActive,
         .shares = std::to_string(rng() % 4),
         .buyPrice = std::to_string(rng() % 5),
         .price = std::to_string(rng() % 7),
         .change = std::to_string(rng() % 3),
         .prevClose = std::to_string(rng() % 3),
         .buyDate = static_cast<StockTime>(1000 + rng() % 50),
         .symbol = "S" + std::to_string(rng() % 60),
         .market = static_cast<int>(rng() % 3)});
  }
  for (int key = 0; key < kSortKeyCount; ++key) {
    for (int flags = 0; flags < 4; ++flags) {
      const bool descending = flags & 1, watchedAtBottom = flags & 2;
      std::vector<const StockRecord*> expected;
      for (const auto& r : store.stocks) expected.push_back(r.get());
      const bool text = key == kSortName || key == kSortSymbol;
      auto textOf = [&](const StockRecord* r) {
        std::string t =
            key == kSortName ? std::string(r->Name()) : QuoteSymbol(r->Symbol(), r->ucMarket);
        for (char& c : t) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return t;
      };
      auto numberOf = [&](const StockRecord* r) {
        switch (key) {
          case kSortPrice:
            return ParseDecimal(FieldText(r->szPrice), 4);
          case kSortProfit:
            return V(r, kValueProfit, store.wViewPortfolio);
          case kSortBuyDate:
            return static_cast<double>(r->tBuyDate);
          case kSortSellDate:
            return static_cast<double>(r->tSellDate);
          case kSortChange:
            return ParseDecimal(FieldText(r->szChange), 4);
          case kSortValue:
            return V(r, kValueCurrentValue, store.wViewPortfolio);
          case kSortCost:
            return V(r, kValueCost, store.wViewPortfolio);
          case kSortProfitPercent:
            return V(r, kValueProfitPercent, store.wViewPortfolio);
          default:
            return V(r, kValueChangePercent, store.wViewPortfolio);
        }
      };
      std::stable_sort(expected.begin(), expected.end(),
                       [&](const StockRecord* a, const StockRecord* b) {
                         if (watchedAtBottom && a->IsWatched() != b->IsWatched()) {
                           return b->IsWatched();
                         }
                         if (text)
                           return descending ? textOf(b) < textOf(a) : textOf(a) < textOf(b);
                         return descending ? numberOf(a) > numberOf(b) : numberOf(a) < numberOf(b);
                       });
      SortStocks(store, key, descending, watchedAtBottom);
      std::vector<const StockRecord*> got;
      for (const auto& r : store.stocks) got.push_back(r.get());
      ASSERT_EQ(got, expected) << "key " << key << " flags " << flags;
    }
  }
}

TEST_F(Figures, AddingSharesAveragesThePrice) {
  StockRecord* r = Add({.shares = "100", .buyPrice = "10", .buyFee = "5.5"});
  EXPECT_EQ(AddSharesToStock(store, r, "20", "0", "1"), StockOpResult::kNothingToDo);
  EXPECT_EQ(FieldText(r->szShares), "100");
  EXPECT_EQ(AddSharesToStock(store, r, "20", "100", "4.25"), StockOpResult::kDone);
  EXPECT_EQ(FieldText(r->szShares), "200.0000");
  EXPECT_EQ(FieldText(r->szBuyPrice), "15");
  EXPECT_EQ(FieldText(r->szBuyFee), "9.75");
  store.cDecimalSeparator = ',';
  EXPECT_EQ(AddSharesToStock(store, r, "10,5", "100", ""), StockOpResult::kDone);
  EXPECT_EQ(FieldText(r->szBuyPrice), "13.5");  // stored with '.' whatever the locale
  // A result too large for the field is refused, not stored cut.
  EXPECT_EQ(AddSharesToStock(store, r, "1", "99999999999", "0"), StockOpResult::kRefused);
  EXPECT_EQ(FieldText(r->szShares), "300.0000");
  EXPECT_EQ(root.answers.texts(), std::vector<std::string>{text::kNumberTooLarge});
}

TEST_F(Figures, PartialSaleKeepsTheUnsoldPartUnderTheOldId) {
  Add({.name = "first"});
  StockRecord* r = Add({.name = "lot", .shares = "100", .buyPrice = "10", .buyFee = "10.00"});
  Add({.name = "last"});
  const DWORD oldId = r->dwId;
  store.dCash[1] = 1;
  store.ucSortKey = kSortBuyDate;  // all equal: the sort keeps the order
  ASSERT_EQ(SellStock(store, r, "30", "12", "2.50", Now()), StockOpResult::kDone);
  EXPECT_EQ(Names(), (std::vector<std::string>{"first", "lot", "last", "lot"}));
  StockRecord* kept = store.stocks[1].get();
  StockRecord* sold = store.stocks[3].get();
  EXPECT_EQ(sold, r);
  EXPECT_EQ(kept->dwId, oldId);
  EXPECT_EQ(sold->dwId, store.dwMaxStockId);
  EXPECT_NE(sold->dwId, oldId);
  EXPECT_EQ(FieldText(kept->szShares), "70.0000");
  EXPECT_EQ(FieldText(kept->szBuyFee), "7.00");
  EXPECT_EQ(kept->ucStatus, kStatusActive);
  EXPECT_EQ(FieldText(sold->szShares), "30.0000");
  EXPECT_EQ(FieldText(sold->szBuyFee), "3.00");
  EXPECT_EQ(FieldText(sold->szPrice), "12");
  EXPECT_EQ(FieldText(sold->szSellFee), "2.50");
  EXPECT_EQ(sold->tSellDate, Now());
  EXPECT_EQ(sold->ucStatus, kStatusSold);
  EXPECT_EQ(sold->ucTrend, kTrendNotUpdated);
  EXPECT_DOUBLE_EQ(store.dCash[1], 1 + 30 * 12 - 2.5);
}

TEST_F(Figures, FullSaleAndRefusals) {
  StockRecord* r = Add({.shares = "10", .buyPrice = "10", .buyFee = "1"});
  StockRecord* w = Add({.status = kStatusWatched, .shares = "10"});
  EXPECT_EQ(SellStock(store, r, "11", "12", "0", Now()), StockOpResult::kRefused);
  EXPECT_EQ(SellStock(store, w, "1", "12", "0", Now()), StockOpResult::kRefused);
  EXPECT_EQ(SellStock(store, r, "0", "12", "0", Now()), StockOpResult::kNothingToDo);
  EXPECT_EQ(root.answers.texts(),
            (std::vector<std::string>{text::kCannotSellMore, text::kNotOwned}));
  EXPECT_FALSE(AskToSell(store, *w));
  root.answers.Push(IDYES);
  EXPECT_TRUE(AskToSell(store, *r));
  EXPECT_EQ(root.answers.texts().back(), text::kSellStock);

  store.cDecimalSeparator = ',';
  ASSERT_EQ(SellStock(store, r, "10", "12,5", "1,25", 99), StockOpResult::kDone);
  EXPECT_EQ(store.stocks.size(), 2u);
  EXPECT_EQ(FieldText(r->szPrice), "12.5");
  EXPECT_EQ(FieldText(r->szSellFee), "1.25");
  EXPECT_EQ(FieldText(r->szBuyFee), "1");
  EXPECT_DOUBLE_EQ(store.dCash[1], 125 - 1.25);
  EXPECT_EQ(SellStock(store, r, "1", "1", "0", 99), StockOpResult::kNothingToDo);
}

TEST_F(Figures, APartialSaleWithoutMemoryLosesNothing) {
  StockRecord* r = Add({.shares = "100", .buyPrice = "10", .buyFee = "10"});
  const StockRecord before = *r;
  store.InjectAllocationFailure(0);
  EXPECT_EQ(SellStock(store, r, "30", "12", "1", Now()), StockOpResult::kOutOfMemory);
  ASSERT_EQ(store.stocks.size(), 1u);
  EXPECT_EQ(std::memcmp(store.stocks[0].get(), &before, sizeof before), 0);
  EXPECT_DOUBLE_EQ(store.dCash[1], 0);
  EXPECT_EQ(root.answers.texts(), std::vector<std::string>{text::kNoMemorySale});
}

TEST_F(Figures, SplitAdjustsHoldingAndOptionallyTheChart) {
  quillet::testing::ScopedTimeZone tz("UTC");
  StockRecord* r = Add({.shares = "100", .buyPrice = "10", .price = "12.5", .symbol = "ABC"});
  history.PutSeries("ABC", 0, {{Now() - kDay, 125000, 120000, 130000, 5}, {Now(), 62500, 0, 0, 6}});
  EXPECT_EQ(SplitStock(store, r, Now(), "0", "1"), StockOpResult::kNothingToDo);
  root.answers.Push(IDYES);
  ASSERT_EQ(SplitStock(store, r, Now(), "2", "1"), StockOpResult::kDone);
  EXPECT_EQ(FieldText(r->szShares), "200");
  EXPECT_EQ(FieldText(r->szBuyPrice), "5");
  EXPECT_EQ(FieldText(r->szPrice), "6.25");
  EXPECT_EQ(root.answers.texts(), std::vector<std::string>{text::kSplitChartData});
  EXPECT_EQ((*history.Series("ABC", 0))[0].dwPrice, 62500u);
  EXPECT_EQ((*history.Series("ABC", 0))[1].dwPrice, 62500u);
  // Declining leaves the chart alone.
  ASSERT_EQ(SplitStock(store, r, Now(), "1", "3"), StockOpResult::kDone);
  EXPECT_EQ(FieldText(r->szShares), "66.6667");
  EXPECT_EQ((*history.Series("ABC", 0))[0].dwPrice, 62500u);
  EXPECT_EQ(SplitStock(store, nullptr, Now(), "2", "1"), StockOpResult::kRefused);
  EXPECT_EQ(root.answers.texts().back(), text::kNoStockSelected);
}

TEST_F(Figures, CombinedHoldingOfSeveralEntries) {
  StockRecord* a = Add({.shares = "100", .buyPrice = "10", .buyFee = "10", .price = "12"});
  StockRecord* b = Add({.shares = "50.004", .buyPrice = "16", .price = "12"});
  CombinedHolding one = CombineHoldings(store, {a}, 1);
  EXPECT_DOUBLE_EQ(one.shares, 100);
  EXPECT_DOUBLE_EQ(one.buyPrice, 10);
  EXPECT_DOUBLE_EQ(one.cost, 1010);
  EXPECT_DOUBLE_EQ(one.profitPercent, V(a, kValueProfitPercent));
  CombinedHolding both = CombineHoldings(store, {a, b}, 1);
  EXPECT_DOUBLE_EQ(both.shares, 150);  // shares are read with 2 places
  EXPECT_DOUBLE_EQ(both.buyPrice, (10 * 100 + 16 * 50) / 150.0);
  EXPECT_DOUBLE_EQ(both.cost, 1010 + 16 * 50.004);
  EXPECT_DOUBLE_EQ(both.profit, V(a, kValueProfit) + V(b, kValueProfit));
  EXPECT_DOUBLE_EQ(both.profitPercent, 100 / both.cost * both.profit);
  CombinedHolding none = CombineHoldings(store, {}, 1);
  EXPECT_DOUBLE_EQ(none.buyPrice, 0);
  EXPECT_DOUBLE_EQ(none.profitPercent, 0);
}

TEST(EuroRates, LookupAndConversion) {
  EXPECT_EQ(EuroRateTable().size(), 13u);
  EXPECT_EQ(EuroRateLookup("dem"), 1);
  EXPECT_EQ(EuroRateLookup("EUR"), 12);
  EXPECT_EQ(EuroRateLookup("DE"), -1);
  EXPECT_EQ(EuroRateLookup("USD"), -1);
  EXPECT_DOUBLE_EQ(EuroConvert("DEM", 1.0, "EUR"), 1 / 1.95583);
  EXPECT_DOUBLE_EQ(EuroConvert("FRF", 1.0, "DEM"), 1.95583 / 6.55957);
  EXPECT_DOUBLE_EQ(EuroConvert("EUR", 2.0, "ITL"), 2 * 1936.27);
}

TEST(FeeFromPercent, UsesTheTypedNumberAndPrice) {
  EXPECT_EQ(FeeFromPercent("100", "12.5", 0.5, '.'), "6.25");
  EXPECT_EQ(FeeFromPercent("100", "12,5", 1, ','), "12,50");
  EXPECT_EQ(FeeFromPercent("", "12", 1, '.'), "0");
}

}  // namespace
}  // namespace quillet
