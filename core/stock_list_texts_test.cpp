#include "core/stock_list_texts.h"

#include <gtest/gtest.h>

#include "core/portfolio_math.h"
#include "core/preferences.h"
#include "platform/testing/test_support.h"

namespace quillet {
namespace {

class StockListTextsTest : public ::testing::Test {
 protected:
  StockListTextsTest() : store(*root.ctx) { LoadPreferences(store); }

  StockRecord* Add(const char* name, const char* shares, const char* buy, const char* price) {
    StockRecord* r = store.NewStock();
    CopyToField(r->szName, name);
    CopyToField(r->szSymbol, "SYM");
    CopyToField(r->szShares, shares);
    CopyToField(r->szBuyPrice, buy);
    CopyToField(r->szPrice, price);
    return r;
  }

  testing::ScopedTimeZone tz{"UTC"};
  testing::TestRoot root;
  PortfolioStore store;
};

TEST_F(StockListTextsTest, LargeAmountsLoseTheirDecimalsInTheListAndOnlyAboveTenMillionInTotals) {
  store.ucColumnValue = kValueProfit;
  StockRecord* big = Add("Big", "1", "0", "12345678.9");
  StockRecord* loss = Add("Loss", "1", "2000000", "0");
  const LocaleSettings& loc = root.ctx->locale();
  EXPECT_EQ(StockRowTextsOf(store, *big, PORTFOLIO_ALL, loc).column2, "12345678");
  EXPECT_EQ(StockRowTextsOf(store, *loss, PORTFOLIO_ALL, loc).column2, "-2000000");

  PortfolioTotals profitOnly;
  profitOnly.profit = 12345678.9;
  EXPECT_EQ(TotalsTextsOf(profitOnly, '.').profit, "12345678");
  profitOnly.profit = -2000000;
  EXPECT_EQ(TotalsTextsOf(profitOnly, '.').profit, "-2000000.00");
  profitOnly.profitPercent = 12.345;
  EXPECT_EQ(TotalsTextsOf(profitOnly, ',').profitPercent, "12,35%");
}

TEST_F(StockListTextsTest, SoldStockHasEmptyChangeAndNewStockShowsTheNotUpdatedArrow) {
  store.ucColumnValue = kValueChange;
  StockRecord* sold = Add("Sold", "10", "5", "6");
  CopyToField(sold->szChange, "0.25");
  sold->ucStatus = kStatusSold;
  StockRecord* fresh = store.NewStock();
  const LocaleSettings& loc = root.ctx->locale();
  EXPECT_EQ(StockRowTextsOf(store, *sold, PORTFOLIO_ALL, loc).column2, "");
  EXPECT_EQ(StockRowTextsOf(store, *fresh, PORTFOLIO_ALL, loc).arrowImage, kTrendNotUpdated);
  store.ucPrefFlags = static_cast<BYTE>(store.ucPrefFlags & ~kPrefArrowsShowToday);
  EXPECT_EQ(StockRowTextsOf(store, *fresh, PORTFOLIO_ALL, loc).arrowImage, kTrendNotUpdated);
}

TEST_F(StockListTextsTest, ArrowFollowsTodaysChangeOrTheLastUpdate) {
  StockRecord* r = Add("A", "1", "1", "1");
  r->ucTrend = kTrendUp;
  CopyToField(r->szChange, "-0.5");
  store.ucPrefFlags = static_cast<BYTE>(store.ucPrefFlags | kPrefArrowsShowToday);
  EXPECT_EQ(ArrowImageOf(store, *r), 3);
  CopyToField(r->szChange, "0");
  EXPECT_EQ(ArrowImageOf(store, *r), 1);
  r->ucTrend = kTrendNoQuote;
  EXPECT_EQ(ArrowImageOf(store, *r), 0);
  store.ucPrefFlags = static_cast<BYTE>(store.ucPrefFlags & ~kPrefArrowsShowToday);
  r->ucTrend = kTrendUp;
  CopyToField(r->szChange, "-0.5");
  EXPECT_EQ(ArrowImageOf(store, *r), 2);
  r->ucTrend = 9;  // a damaged record shows no arrow
  EXPECT_EQ(ArrowImageOf(store, *r), -1);
}

TEST_F(StockListTextsTest, DataColumnShowsStoredTextsAndDates) {
  StockRecord* r = Add("Name", "1.5", "1", "12.5");
  CopyToField(r->szDividend, "0.75");
  r->tBuyDate = 1051833600;  // 2003-05-02
  r->tSellDate = 0;
  store.cDecimalSeparator = ',';
  store.ucColumnText = 1;
  const LocaleSettings& loc = root.ctx->locale();
  StockRowTexts row = StockRowTextsOf(store, *r, PORTFOLIO_ALL, loc);
  EXPECT_EQ(row.column0, "SYM");
  EXPECT_EQ(row.column1, "12,5");
  store.ucColumnData = 1;
  EXPECT_EQ(StockRowTextsOf(store, *r, PORTFOLIO_ALL, loc).column1, "0,75");
  store.ucColumnData = 2;
  EXPECT_EQ(StockRowTextsOf(store, *r, PORTFOLIO_ALL, loc).column1, "1,5");
  store.ucColumnData = 3;
  EXPECT_EQ(StockRowTextsOf(store, *r, PORTFOLIO_ALL, loc).column1, "5/2/2003");
  store.ucColumnData = 4;
  EXPECT_EQ(StockRowTextsOf(store, *r, PORTFOLIO_ALL, loc).column1, "N/A");
  EXPECT_FALSE(row.hasNote);
  store.SetNote(r->dwId, u"remember");
  EXPECT_TRUE(StockRowTextsOf(store, *r, PORTFOLIO_ALL, loc).hasNote);
}

}  // namespace
}  // namespace quillet
