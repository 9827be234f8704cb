// What the stock sheet stores: only what differs, numbers only when read whole, the price history
// moved only when it belongs to the stock alone, a new stock paid from cash once, and the lots
// and figures the Calc and Market pages show.
#include "core/stock_edits.h"

#include <gtest/gtest.h>

#include <cstring>

#include "core/portfolio_math.h"
#include "core/quote_tables.h"
#include "platform/testing/test_support.h"

namespace quillet {
namespace {

using quillet::testing::TestRoot;

class StockEdits : public ::testing::Test {
 protected:
  StockRecord* Add(std::string_view symbol, int portfolio = 1, int status = kStatusActive,
                   std::string_view shares = "10", std::string_view buyPrice = "5") {
    StockRecord* r = store.NewStock();
    EXPECT_NE(r, nullptr);
    CopyToField(r->szName, symbol);
    CopyToField(r->szSymbol, symbol);
    r->ucPortfolio = static_cast<BYTE>(portfolio);
    r->ucStatus = static_cast<BYTE>(status);
    CopyToField(r->szShares, shares);
    CopyToField(r->szBuyPrice, buyPrice);
    return r;
  }
  // The Info page showing `r` untouched, as the sheet loads it.
  StockInfoInput Shown(const StockRecord& r) {
    StockInfoInput in;
    in.portfolio = r.ucPortfolio;
    in.name = std::string(r.Name());
    in.symbol = std::string(r.Symbol());
    in.buyDate = r.tBuyDate;
    in.price = ToDisplayText(FieldText(r.szBuyPrice), store.cDecimalSeparator);
    in.number = ToDisplayText(FieldText(r.szShares), store.cDecimalSeparator);
    in.fee = ToDisplayText(FieldText(r.szBuyFee), store.cDecimalSeparator);
    in.dividend = ToDisplayText(FieldText(r.szDividend), store.cDecimalSeparator);
    in.own = r.ucStatus != kStatusWatched;
    in.chart = (r.ucFlags & kFlagChartHistory) != 0;
    in.shortPosition = (r.ucFlags & kFlagShort) != 0;
    return in;
  }
  static std::vector<InMemoryPriceHistory::Point> OnePoint() {
    return {{.tDate = 1000, .dwPrice = 50000, .dwLow = 0, .dwHigh = 0, .dwVolume = 0}};
  }

  TestRoot root;
  InMemoryPriceHistory history;
  PortfolioStore store{*root.ctx, &history};
};

TEST_F(StockEdits, AnUntouchedPageStoresNothingEvenForAMarketTheSelectorCannotShow) {
  store.AddPortfolio("Tech");
  StockRecord* r = Add("NOQ");
  r->ucMarket = 46;  // not offered by the selector, which shows "US" for it
  r->ucFlags = kFlagChartHistory | kFlagShort;
  CopyToField(r->szBuyFee, "1.5");
  const StockRecord before = *r;
  const StockSaveResult result = SaveStockInfo(store, *r, Shown(*r));
  EXPECT_FALSE(result.modified);
  EXPECT_EQ(result.badFields, 0u);
  EXPECT_EQ(std::memcmp(&before, r, sizeof before), 0);
  EXPECT_EQ(store.ucDefaultMarket, 0);
}

TEST_F(StockEdits, ChangedFieldsAreStoredAndPortfolioAndMarketRememberedForTheNextStock) {
  store.AddPortfolio("Tech");
  store.AddPortfolio("Funds");
  StockRecord* r = Add("OLD");
  StockInfoInput in = Shown(*r);
  in.portfolio = 3;
  in.name = "A name longer than nineteen";
  in.symbol = "NEW";
  in.market = 1;  // Toronto
  in.price = "7,25";
  in.number = " 20 ";
  in.fee = "-1";
  in.own = false;
  in.chart = false;
  in.shortPosition = true;
  store.cDecimalSeparator = ',';
  const StockSaveResult result = SaveStockInfo(store, *r, in);
  EXPECT_TRUE(result.modified);
  EXPECT_EQ(result.badFields, 0u);
  EXPECT_EQ(r->ucPortfolio, 3);
  EXPECT_EQ(r->Name(), "A name longer than ");
  EXPECT_EQ(r->Symbol(), "NEW");
  EXPECT_EQ(r->ucMarket, 1);
  EXPECT_STREQ(r->szBuyPrice, "7.25");
  EXPECT_STREQ(r->szShares, "20");
  EXPECT_STREQ(r->szBuyFee, "-1");
  EXPECT_EQ(r->ucStatus, kStatusWatched);
  EXPECT_EQ(r->ucFlags, kFlagShort);
  EXPECT_EQ(store.wNewStockPortfolio, 3);
  EXPECT_EQ(store.ucDefaultMarket, 1);
}

TEST_F(StockEdits, ANewBuyPriceFillsAnEmptyCurrentPriceOnly) {
  StockRecord* fresh = Add("NEW", 1, kStatusActive, "", "");
  StockInfoInput in = Shown(*fresh);
  in.price = "12.5";
  SaveStockInfo(store, *fresh, in);
  EXPECT_STREQ(fresh->szPrice, "12.5");
  EXPECT_EQ(StockValue(store, *fresh, kValueProfit, kNoConversion), 0);

  StockRecord* quoted = Add("OLD");
  CopyToField(quoted->szPrice, "9");
  in = Shown(*quoted);
  in.price = "12.5";
  SaveStockInfo(store, *quoted, in);
  EXPECT_STREQ(quoted->szBuyPrice, "12.5");
  EXPECT_STREQ(quoted->szPrice, "9");
}

TEST_F(StockEdits, ANumberNotReadWholeKeepsTheOldValueAndIsReported) {
  StockRecord* r = Add("ABC");
  CopyToField(r->szDividend, "2");
  StockInfoInput in = Shown(*r);
  in.price = "12x";
  in.number = "1.2.3";
  in.fee = "123456789012";  // does not fit a field
  in.dividend = "3";
  const StockSaveResult result = SaveStockInfo(store, *r, in);
  EXPECT_EQ(result.badFields, kFieldBuyPrice | kFieldShares | kFieldBuyFee);
  EXPECT_TRUE(result.modified);
  EXPECT_STREQ(r->szBuyPrice, "5");
  EXPECT_STREQ(r->szShares, "10");
  EXPECT_STREQ(r->szBuyFee, "");
  EXPECT_STREQ(r->szDividend, "3");
  // An emptied field is a number without a value, and is stored.
  in = Shown(*r);
  in.dividend = "";
  EXPECT_EQ(SaveStockInfo(store, *r, in).badFields, 0u);
  EXPECT_STREQ(r->szDividend, "");
}

TEST_F(StockEdits, ASoldStockKeepsItsStateAndFlags) {
  StockRecord* r = Add("ABC", 1, kStatusSold);
  r->ucFlags = kFlagChartHistory;
  StockInfoInput in = Shown(*r);
  in.own = false;
  in.shortPosition = true;
  EXPECT_FALSE(SaveStockInfo(store, *r, in).modified);
  EXPECT_EQ(r->ucStatus, kStatusSold);
  EXPECT_EQ(r->ucFlags, kFlagChartHistory);
}

TEST_F(StockEdits, TheBuyDateChangesByTheDay) {
  ::quillet::testing::ScopedTimeZone tz("UTC");
  StockRecord* r = Add("ABC");
  r->tBuyDate = 1051891200;  // 2003-05-02 16:00
  StockInfoInput in = Shown(*r);
  in.buyDate = 1051833600;  // the same day at 00:00
  EXPECT_FALSE(SaveStockInfo(store, *r, in).modified);
  EXPECT_EQ(r->tBuyDate, 1051891200u);
  in.buyDate = 1051747200;  // the day before
  EXPECT_TRUE(SaveStockInfo(store, *r, in).modified);
  EXPECT_EQ(r->tBuyDate, 1051747200u);
}

TEST_F(StockEdits, TheHistoryFollowsASymbolThatIsTheStocksAlone) {
  history.PutSeries("OLD", 0, OnePoint());
  StockRecord* r = Add("OLD");
  StockInfoInput in = Shown(*r);
  in.symbol = "NEW";
  in.market = 1;
  EXPECT_TRUE(SaveStockInfo(store, *r, in).historyMoved);
  EXPECT_EQ(history.Series("OLD", 0), nullptr);
  ASSERT_NE(history.Series("NEW.TO", 1), nullptr);
  EXPECT_EQ(*history.Series("NEW.TO", 1), OnePoint());
}

TEST_F(StockEdits, TheHistoryStaysWhenAnotherLotSharesItOrTheNewNameHasOne) {
  history.PutSeries("OLD", 0, OnePoint());
  StockRecord* r = Add("OLD");
  Add("old", 2, kStatusSold);  // another lot, in another portfolio and sold, same quote symbol
  StockInfoInput in = Shown(*r);
  in.symbol = "NEW";
  EXPECT_FALSE(SaveStockInfo(store, *r, in).historyMoved);
  EXPECT_EQ(r->Symbol(), "NEW");
  EXPECT_NE(history.Series("OLD", 0), nullptr);
  EXPECT_EQ(history.Series("NEW", 0), nullptr);

  // Alone now, but the new name already has a history of its own: neither is lost.
  history.PutSeries("TAKEN", 0, {});
  StockRecord* alone = Add("ALONE");
  history.PutSeries("ALONE", 0, OnePoint());
  in = Shown(*alone);
  in.symbol = "TAKEN";
  EXPECT_FALSE(SaveStockInfo(store, *alone, in).historyMoved);
  EXPECT_NE(history.Series("ALONE", 0), nullptr);
  EXPECT_TRUE(history.Series("TAKEN", 0)->empty());

  // Only the case changed: the same quote symbol, nothing to move.
  in = Shown(*alone);
  in.symbol = "taken";
  EXPECT_FALSE(SaveStockInfo(store, *alone, in).historyMoved);
  EXPECT_EQ(history.SeriesCount(), 3u);
}

TEST_F(StockEdits, ANewStockIsPaidFromCashAndGivenBackWhenDiscarded) {
  StockRecord* r = Add("ABC", 1, kStatusActive, "10", "5");
  CopyToField(r->szBuyFee, "2");
  EXPECT_EQ(PayForNewStock(store, *r), 0);  // no cash kept: nothing to take
  EXPECT_EQ(store.dCash[1], 0);
  store.dCash[1] = 100;
  EXPECT_DOUBLE_EQ(PayForNewStock(store, *r), 52);
  EXPECT_DOUBLE_EQ(store.dCash[1], 48);
  store.SetNote(r->dwId, u"note of a stock never confirmed");
  const DWORD id = r->dwId;
  DiscardNewStock(store, id, 1, 52);
  EXPECT_EQ(store.FindStock(id), nullptr);
  EXPECT_EQ(store.FindNote(id), nullptr);
  EXPECT_DOUBLE_EQ(store.dCash[1], 100);
}

TEST_F(StockEdits, TheCalculatorTakesTheLotsOfOnePortfolioAndSideInDateOrder) {
  StockRecord* late = Add("ABC", 1, kStatusActive, "100", "10");
  late->tBuyDate = 3000;
  StockRecord* early = Add("abc", 1, kStatusActive, "300", "20");
  early->tBuyDate = 1000;
  Add("ABC", 1, kStatusWatched)->tBuyDate = 500;
  Add("ABC", 2)->tBuyDate = 500;
  Add("ABC", 1, kStatusSold)->tBuyDate = 500;
  Add("XYZ", 1)->tBuyDate = 500;
  auto lots = CalculatorLots(store, *late);
  ASSERT_EQ(lots.size(), 2u);
  EXPECT_EQ(lots[0], early);
  EXPECT_EQ(lots[1], late);
  // Together: 400 shares bought at the share-weighted price (100 x 10 + 300 x 20) / 400.
  CombinedHolding all = CombineHoldings(store, lots, kNoConversion);
  EXPECT_DOUBLE_EQ(all.shares, 400);
  EXPECT_DOUBLE_EQ(all.buyPrice, 17.5);
  EXPECT_DOUBLE_EQ(all.cost, 7000);
  // A watched stock opened on its own still has itself.
  StockRecord* watched = Add("WAT", 1, kStatusWatched);
  EXPECT_EQ(CalculatorLots(store, *watched), std::vector<const StockRecord*>{watched});
}

TEST_F(StockEdits, TheMarketChangeIsMeasuredAgainstThePreviousClose) {
  StockRecord* r = Add("ABC");
  CopyToField(r->szPrice, "52");
  CopyToField(r->szChange, "+2");
  CopyToField(r->szPrevClose, "50");
  EXPECT_EQ(MarketChangeText(store, *r), "+2 (4.00%)");
  store.cDecimalSeparator = ',';
  CopyToField(r->szChange, "-0.5");
  EXPECT_EQ(MarketChangeText(store, *r), "-0,5 (-1,00%)");
  CopyToField(r->szPrevClose, "");
  EXPECT_EQ(MarketChangeText(store, *r), "-0,5 (0%)");
  CopyToField(r->szChange, "0");
  EXPECT_EQ(MarketChangeText(store, *r), "0");
}

TEST_F(StockEdits, TheSellPageStoresTheSaleAsTyped) {
  StockRecord* r = Add("ABC", 1, kStatusSold);
  CopyToField(r->szPrice, "12");
  r->tSellDate = 1051891200;
  StockSellInput in{.sellDate = 1051891200, .price = "13.5", .number = "x", .fee = "1"};
  const StockSaveResult result = SaveStockSell(store, *r, in);
  EXPECT_TRUE(result.modified);
  EXPECT_EQ(result.badFields, kFieldShares);
  EXPECT_STREQ(r->szPrice, "13.5");
  EXPECT_STREQ(r->szShares, "10");
  EXPECT_STREQ(r->szSellFee, "1");
}

}  // namespace
}  // namespace quillet
