// The store's table operations: stocks, portfolios, currencies, notes and the view walk.
#include "core/portfolio_store.h"

#include <gtest/gtest.h>

#include "core/data_files.h"
#include "core/messages.h"
#include "core/quote_tables.h"
#include "platform/testing/test_support.h"

namespace quillet {
namespace {

using quillet::testing::TestRoot;

class Store : public ::testing::Test {
 protected:
  StockRecord* Add(std::string_view name, int portfolio, int status = kStatusActive,
                   std::string_view symbol = "", int market = 0) {
    StockRecord* r = store.NewStock();
    EXPECT_NE(r, nullptr);
    CopyToField(r->szName, name);
    CopyToField(r->szSymbol, symbol);
    r->ucPortfolio = static_cast<BYTE>(portfolio);
    r->ucStatus = static_cast<BYTE>(status);
    r->ucMarket = static_cast<BYTE>(market);
    return r;
  }
  std::vector<std::string> Names() {
    std::vector<std::string> out;
    for (auto& s : store.stocks) out.emplace_back(s->Name());
    return out;
  }
  TestRoot root;
  InMemoryPriceHistory history;
  PortfolioStore store{*root.ctx, &history};
};

TEST_F(Store, NewStockTakesItsDefaultsAndIsRefusedInTheClosedList) {
  store.ucDefaultMarket = 24;
  StockRecord* r = store.NewStock();
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->dwId, 1u);
  EXPECT_EQ(r->Name(), "My Stock");
  EXPECT_EQ(r->ucTrend, kTrendNotUpdated);
  EXPECT_EQ(r->ucMarket, 24);
  EXPECT_EQ(r->ucFlags, kFlagChartHistory);
  EXPECT_EQ(r->tBuyDate, static_cast<StockTime>(root.clock.Now()));
  EXPECT_EQ(r->ucPortfolio, 1);  // "All" is shown: the new-stock portfolio, "NASDAQ"
  EXPECT_EQ(FieldText(r->szShares), "");
  store.wViewPortfolio = 0;
  EXPECT_EQ(store.NewStock()->ucPortfolio, 0);
  EXPECT_EQ(store.dwMaxStockId, 2u);

  store.bShowClosed = 1;
  EXPECT_EQ(store.NewStock(), nullptr);
  EXPECT_EQ(root.answers.texts(), std::vector<std::string>{text::kNewSoldStock});
  store.bShowClosed = 0;
  store.InjectAllocationFailure(0);
  EXPECT_EQ(store.NewStock(), nullptr);
  EXPECT_EQ(root.answers.texts().back(), text::kNoMemoryNewStock);
  EXPECT_EQ(store.stocks.size(), 2u);
  EXPECT_EQ(store.dwMaxStockId, 2u);
}

TEST_F(Store, CopyStockAsksThenCopiesWithANewIdAndToday) {
  StockRecord* a = Add("Alpha", 1);
  a->tBuyDate = 5;
  root.answers.Push(IDNO);
  EXPECT_EQ(store.CopyStock(*a), nullptr);
  root.clock.Advance(100);
  root.answers.Push(IDYES);
  StockRecord* copy = store.CopyStock(*a);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->dwId, 2u);
  EXPECT_EQ(copy->Name(), "Alpha");
  EXPECT_EQ(copy->tBuyDate, static_cast<StockTime>(root.clock.Now()));
  EXPECT_EQ(store.stocks.size(), 2u);
  EXPECT_EQ(root.answers.texts()[0], text::kCopyStock);
}

TEST_F(Store, DeleteStockRemovesNoteAndAsksAboutChartAndAlerts) {
  StockRecord* a = Add("Alpha", 1, kStatusActive, "msft", 1);
  Add("Beta", 1, kStatusActive, "BETA", 0);
  ASSERT_TRUE(store.SetNote(a->dwId, u"note"));
  history.PutSeries("MSFT.TO", 1, {});
  StockAlert alert{};
  CopyToField(alert.szQuoteSymbol, "MSFT.TO");
  alert.ucMarket = 1;
  alert.dThreshold = 1;
  store.alerts.push_back(std::make_unique<StockAlert>(alert));
  alert.ucMarket = 2;  // same symbol, other market: not this stock's
  store.alerts.push_back(std::make_unique<StockAlert>(alert));

  root.answers.Push(IDNO);   // keep the chart data
  root.answers.Push(IDYES);  // delete the alerts
  store.DeleteStock(a);
  EXPECT_EQ(Names(), std::vector<std::string>{"Beta"});
  EXPECT_TRUE(store.notes.empty());
  EXPECT_TRUE(history.HasSeries("MSFT.TO", 1));
  ASSERT_EQ(store.alerts.size(), 1u);
  EXPECT_EQ(store.alerts[0]->ucMarket, 2);
  EXPECT_EQ(root.answers.texts(),
            (std::vector<std::string>{text::kDeleteChartData, text::kDeleteAlerts}));
  // Saved at once.
  PortfolioStore reread(*root.ctx);
  ASSERT_TRUE(LoadStocks(reread));
  EXPECT_EQ(reread.stocks.size(), 1u);

  root.answers.ClearShown();
  history.PutSeries("BETA", 0, {});
  root.answers.Push(IDYES);
  store.DeleteStock(store.stocks[0].get());
  EXPECT_FALSE(history.HasSeries("BETA", 0));
  EXPECT_EQ(root.answers.texts(), std::vector<std::string>{text::kDeleteChartData});
}

TEST_F(Store, DeleteAllStocksNeedsTwoYesAnswers) {
  Add("A", 1);
  ASSERT_TRUE(store.SetNote(1, u"n"));
  store.alerts.push_back(std::make_unique<StockAlert>());
  history.PutSeries("A", 0, {});
  root.answers.Push(IDYES);
  root.answers.Push(IDNO);
  EXPECT_FALSE(store.DeleteAllStocks());
  EXPECT_EQ(store.stocks.size(), 1u);
  ASSERT_EQ(root.answers.shown().size(), 2u);
  EXPECT_EQ(root.answers.shown()[0].flags, MB_YESNO | MB_ICONWARNING);
  EXPECT_EQ(root.answers.shown()[1].flags, MB_YESNO | MB_ICONSTOP);
  root.answers.Push(IDYES);
  root.answers.Push(IDYES);
  EXPECT_TRUE(store.DeleteAllStocks());
  EXPECT_TRUE(store.stocks.empty());
  EXPECT_TRUE(store.notes.empty());
  EXPECT_TRUE(store.alerts.empty());
  EXPECT_EQ(history.SeriesCount(), 0u);
  EXPECT_EQ(history.recreations(), 1);
}

TEST_F(Store, AddRenameAndTheLimitsOfPortfolios) {
  EXPECT_TRUE(store.AddPortfolio("A very long portfolio name"));
  EXPECT_EQ(store.PortfolioName(2), "A very long por");  // 15 characters
  EXPECT_FALSE(store.RenamePortfolio(0, "Mine"));
  EXPECT_TRUE(store.RenamePortfolio(1, "Tech"));
  EXPECT_EQ(store.PortfolioName(1), "Tech");
  EXPECT_FALSE(store.RenamePortfolio(3, "Beyond"));
  while (store.wPortfolioCount < 32) ASSERT_TRUE(store.AddPortfolio("P"));
  EXPECT_FALSE(store.AddPortfolio("Too many"));
  EXPECT_TRUE(root.answers.shown().empty());
}

TEST_F(Store, DeletePortfolioMovesStocksAndTablesDown) {
  ASSERT_TRUE(store.AddPortfolio("Two"));
  ASSERT_TRUE(store.AddPortfolio("Three"));
  ASSERT_TRUE(store.AddCurrency("EUR", "1.1"));
  ASSERT_TRUE(store.SetPortfolioCurrency(3, 1));
  store.dCash[3] = 30;
  store.dLastUpdateProfit[3] = 33;
  store.dCash[2] = 20;
  StockRecord* in2 = Add("In2", 2);
  StockRecord* in3 = Add("In3", 3);
  StockRecord* in1 = Add("In1", 1);
  history.PutSeries("PORTFOLIO2", 255, {});
  history.PutSeries("PORTFOLIO3", 255, {{1, 2, 3, 4, 0}});
  store.wViewPortfolio = 2;

  EXPECT_FALSE(store.DeletePortfolio(2));  // declined
  EXPECT_EQ(store.wPortfolioCount, 4);
  root.answers.Push(IDYES);
  ASSERT_TRUE(store.DeletePortfolio(2));
  EXPECT_EQ(root.answers.texts().back(), text::kDeletePortfolio);
  EXPECT_EQ(store.wPortfolioCount, 3);
  EXPECT_EQ(in2->ucPortfolio, 0);
  EXPECT_EQ(in3->ucPortfolio, 2);
  EXPECT_EQ(in1->ucPortfolio, 1);
  EXPECT_EQ(store.PortfolioName(2), "Three");
  EXPECT_EQ(store.ucPortfolioCurrency[2], 1);
  EXPECT_DOUBLE_EQ(store.dCash[2], 30);
  EXPECT_DOUBLE_EQ(store.dLastUpdateProfit[2], 33);
  EXPECT_EQ(store.PortfolioName(3), "");
  EXPECT_EQ(store.ucPortfolioCurrency[3], 0);
  EXPECT_DOUBLE_EQ(store.dCash[3], 0);
  EXPECT_DOUBLE_EQ(store.dLastUpdateProfit[3], 0);
  EXPECT_EQ(store.wViewPortfolio, PORTFOLIO_ALL);
  // The deleted portfolio's history goes; the later one's follows its portfolio.
  EXPECT_FALSE(history.HasSeries("PORTFOLIO3", 255));
  ASSERT_NE(history.Series("PORTFOLIO2", 255), nullptr);
  EXPECT_EQ(history.Series("PORTFOLIO2", 255)->size(), 1u);
  EXPECT_FALSE(store.DeletePortfolio(0));
  EXPECT_FALSE(store.DeletePortfolio(3));
}

TEST_F(Store, CurrenciesAddEditDeleteAndTheBaseCode) {
  EXPECT_TRUE(store.AddCurrency("gbp", "1.6"));
  EXPECT_TRUE(store.AddCurrency("CHF", "0.7"));
  EXPECT_EQ(store.CurrencyCode(1), "GBP");
  EXPECT_DOUBLE_EQ(store.currencies[1].dRate, 1.6);
  ASSERT_TRUE(store.SetPortfolioCurrency(0, 1));
  ASSERT_TRUE(store.SetPortfolioCurrency(1, 2));
  EXPECT_FALSE(store.SetPortfolioCurrency(1, 3));
  EXPECT_FALSE(store.SetPortfolioCurrency(2, 1));

  EXPECT_TRUE(store.EditCurrency(2, "sek", "0.1234567"));
  EXPECT_EQ(store.CurrencyCode(2), "SEK");
  EXPECT_DOUBLE_EQ(store.currencies[2].dRate, 0.123457);  // read with 6 places
  EXPECT_FALSE(store.EditCurrency(0, "XXX", "1"));
  // A rate that is not above 0 (unreadable text reads as 0) is refused and changes nothing.
  for (const char* bad : {"0", "-2", "abc", ""}) {
    EXPECT_FALSE(store.EditCurrency(2, "NOK", bad)) << bad;
    EXPECT_FALSE(store.AddCurrency("NOK", bad)) << bad;
  }
  EXPECT_EQ(store.CurrencyCode(2), "SEK");
  EXPECT_DOUBLE_EQ(store.currencies[2].dRate, 0.123457);
  EXPECT_EQ(store.wCurrencyCount, 3);

  root.answers.Push(IDYES);
  ASSERT_TRUE(store.DeleteCurrency(1));
  EXPECT_EQ(root.answers.texts().back(), text::kDeleteCurrency);
  EXPECT_EQ(store.wCurrencyCount, 2);
  EXPECT_EQ(store.CurrencyCode(1), "SEK");
  EXPECT_DOUBLE_EQ(store.currencies[1].dRate, 0.123457);
  EXPECT_EQ(store.CurrencyCode(2), "");
  EXPECT_EQ(store.ucPortfolioCurrency[0], 0);  // used the deleted one: base
  EXPECT_EQ(store.ucPortfolioCurrency[1], 1);  // used 2: now 1
  EXPECT_FALSE(store.DeleteCurrency(0));

  EXPECT_TRUE(store.SetBaseCurrencyCode("eur"));
  EXPECT_EQ(store.CurrencyCode(0), "EUR");
  EXPECT_FALSE(store.SetBaseCurrencyCode("Eur"));
  while (store.wCurrencyCount < 31) ASSERT_TRUE(store.AddCurrency("X", "1"));
  EXPECT_FALSE(store.AddCurrency("Y", "1"));
}

TEST_F(Store, EuroCurrenciesGetTheirFixedRate) {
  root.ctx->registry();  // locale with ',' as the decimal separator
  store.cDecimalSeparator = ',';
  ASSERT_TRUE(store.SetBaseCurrencyCode("EUR"));
  EXPECT_EQ(store.FixedRateText("dem"), "0,511292");
  ASSERT_TRUE(store.AddCurrency("DEM", "3,5"));  // the typed rate gives way
  EXPECT_DOUBLE_EQ(store.currencies[1].dRate, 1 / 1.95583);
  ASSERT_TRUE(store.AddCurrency("USD", "0,9"));
  EXPECT_DOUBLE_EQ(store.currencies[2].dRate, 0.9);
  EXPECT_EQ(store.FixedRateText("USD"), "");
  // Editing keeps what was typed, even for a euro currency.
  ASSERT_TRUE(store.EditCurrency(1, "DEM", "0,5"));
  EXPECT_DOUBLE_EQ(store.currencies[1].dRate, 0.5);

  ASSERT_TRUE(store.SetBaseCurrencyCode("DEM"));
  ASSERT_TRUE(store.AddCurrency("frf", ""));
  EXPECT_DOUBLE_EQ(store.currencies[3].dRate, 1.95583 / 6.55957);
}

TEST_F(Store, NotesAreCreatedResizedAndDeleted) {
  EXPECT_EQ(store.FindNote(4), nullptr);
  ASSERT_TRUE(store.SetNote(4, u"Caf\u00e9 au lait"));
  StockNote* n = store.FindNote(4);
  ASSERT_NE(n, nullptr);
  EXPECT_EQ(n->Text(), "Caf\xe9 au lait");
  EXPECT_EQ(n->dwLength, 12u);
  ASSERT_TRUE(store.SetNote(4, u"short"));
  EXPECT_EQ(store.FindNote(4), n);
  EXPECT_EQ(n->Text(), "short");
  EXPECT_EQ(n->StoredSize(), 17u);
  ASSERT_TRUE(store.SetNote(4, u""));
  EXPECT_EQ(store.FindNote(4), nullptr);
  store.InjectAllocationFailure(0);
  EXPECT_FALSE(store.SetNote(5, u"x"));
  EXPECT_TRUE(store.notes.empty());
  EXPECT_EQ(root.answers.texts(), std::vector<std::string>{text::kNoMemoryNewNote});
}

TEST_F(Store, FindAndIndexOfStock) {
  StockRecord* a = Add("A", 1);
  StockRecord* b = Add("B", 1);
  EXPECT_EQ(store.FindStock(2), b);
  EXPECT_EQ(store.FindStock(9), nullptr);
  EXPECT_EQ(store.IndexOfStock(a), 0);
  StockRecord stray{};
  EXPECT_EQ(store.IndexOfStock(&stray), -1);
}

TEST_F(Store, NextInViewWalksOnePortfolioAndOneSoldSelection) {
  Add("A", 1);
  Add("B", 2);
  Add("C", 1, kStatusSold);
  Add("D", 1, kStatusWatched);
  Add("E", 1);
  auto walk = [&](int portfolio, bool sold, int direction) {
    std::vector<std::string> seen;
    int cursor = direction > 0 ? 0 : static_cast<int>(store.stocks.size());
    for (StockRecord* r = store.NextInView(&cursor, portfolio, sold, 0, direction); r;
         r = store.NextInView(&cursor, portfolio, sold, 1, direction)) {
      seen.emplace_back(r->Name());
    }
    return seen;
  };
  EXPECT_EQ(walk(1, false, 1), (std::vector<std::string>{"A", "D", "E"}));
  EXPECT_EQ(walk(1, false, -1), (std::vector<std::string>{"E", "D", "A"}));
  EXPECT_EQ(walk(PORTFOLIO_ALL, false, 1), (std::vector<std::string>{"A", "B", "D", "E"}));
  EXPECT_EQ(walk(PORTFOLIO_ALL, true, -1), (std::vector<std::string>{"C"}));
  EXPECT_TRUE(walk(3, false, 1).empty());

  int cursor = 0;
  StockRecord* r = store.NextInView(&cursor, 1, false, 2, 1);  // the 2nd beyond the cursor
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->Name(), "E");
  EXPECT_EQ(cursor, 4);
  cursor = 5;
  EXPECT_EQ(store.NextInView(&cursor, 1, false, 0, 1), nullptr);
  EXPECT_EQ(cursor, 5);
  cursor = 99;
  r = store.NextInView(&cursor, PORTFOLIO_ALL, false, 0, -1);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->Name(), "E");
}

TEST_F(Store, AlertsNameAStockByQuoteSymbolWithoutCaseAndMarket) {
  StockRecord* r = Add("A", 1, kStatusActive, "bay .f", 11);
  StockAlert a{};
  CopyToField(a.szQuoteSymbol, "BAY.F");
  a.ucMarket = 11;
  EXPECT_TRUE(PortfolioStore::AlertNamesStock(a, *r));
  a.ucMarket = 10;
  EXPECT_FALSE(PortfolioStore::AlertNamesStock(a, *r));
  StockRecord* blank = Add("B", 1, kStatusActive, "  ", 0);
  StockAlert empty{};
  EXPECT_FALSE(PortfolioStore::AlertNamesStock(empty, *blank));
}

}  // namespace
}  // namespace quillet
