// The Current Price entry: what is accepted, what a day's point shows, and whose quote it sets.
#include "charts/current_price.h"

#include <gtest/gtest.h>

#include "platform/testing/test_support.h"

namespace quillet {
namespace {

TEST(PriceEntry, APriceAboveZeroIsNeededAndTheRestMayStayEmpty) {
  for (const char* bad : {"", "  ", "0", "-1", "abc", "1.2.3", "12x"}) {
    EXPECT_FALSE(ReadPriceEntry({bad, "", "", ""}, '.')) << '"' << bad << '"';
  }
  EXPECT_FALSE(ReadPriceEntry({"10", "x", "", ""}, '.')) << "an unreadable low";
  EXPECT_FALSE(ReadPriceEntry({"10", "", "-2", ""}, '.')) << "a negative high";
  auto loss = ReadPriceEntry({"1500", "1200", "-300", ""}, '.', true);
  ASSERT_TRUE(loss) << "a portfolio's profit may be negative";
  EXPECT_DOUBLE_EQ(loss->high, -300);
  EXPECT_FALSE(ReadPriceEntry({"-1500", "", "", ""}, '.', true)) << "its cost may not";
  auto f = ReadPriceEntry({"12,5", "", "13", "4000"}, ',');
  ASSERT_TRUE(f);
  EXPECT_DOUBLE_EQ(f->price, 12.5);
  EXPECT_DOUBLE_EQ(f->low, 0);
  EXPECT_DOUBLE_EQ(f->high, 13);
  EXPECT_DOUBLE_EQ(f->volume, 4000);
}

TEST(PriceEntry, SetsTheQuoteOfEveryStockOfTheSymbolOnThatMarketOnly) {
  testing::TestRoot t;
  PortfolioStore s(*t.ctx);
  auto add = [&](const char* symbol, int market, const char* price) {
    auto r = std::make_unique<StockRecord>();
    r->dwId = ++s.dwMaxStockId;
    CopyToField(r->szSymbol, symbol);
    r->ucMarket = static_cast<BYTE>(market);
    CopyToField(r->szPrice, price);
    CopyToField(r->szVolume, "77");
    s.stocks.push_back(std::move(r));
  };
  add("AAA", 0, "1");
  add("aaa", 0, "2");
  add("AAA", 3, "3");
  add("BBB", 0, "4");
  EXPECT_EQ(SetCurrentQuote(s, "AAA", 0, {12.25, 0, 13, 0}), 2);
  EXPECT_STREQ(s.stocks[0]->szPrice, "12.25");
  EXPECT_STREQ(s.stocks[1]->szPrice, "12.25");
  EXPECT_STREQ(s.stocks[1]->szDayHigh, "13");
  EXPECT_STREQ(s.stocks[1]->szDayLow, "") << "a figure left empty is not written";
  EXPECT_STREQ(s.stocks[1]->szVolume, "77");
  EXPECT_STREQ(s.stocks[2]->szPrice, "3") << "another market";
  EXPECT_STREQ(s.stocks[3]->szPrice, "4");
  // A price too long for the field is not cut into another number.
  EXPECT_EQ(SetCurrentQuote(s, "BBB", 0, {123456789012345.0, 0, 0, 0}), 1);
  EXPECT_STREQ(s.stocks[3]->szPrice, "4");
}

TEST(PriceEntry, TheDaysPointIsShownInItsSeriesUnits) {
  testing::ScopedTimeZone tz("UTC");
  testing::TestRoot t;
  ChartStore charts(t.ctx->objectStore(), t.ctx->messageBoxes());
  ASSERT_TRUE(charts.OpenChartStore());
  const StockTime may2 = 1051833600;
  ASSERT_TRUE(charts.SetPoint("IBM", 0, may2, {84.5, 83, 85.125, 5000}, kStockScale));
  ASSERT_TRUE(charts.SetPoint("PORTFOLIO1", 255, may2, {1500, 1200, -300, 0}, kPortfolioScale));
  auto stock = PointTextsOfDay(charts, "IBM", 0, may2 + 3600 * 20, ',');
  ASSERT_TRUE(stock);
  EXPECT_EQ(stock->price, "84,5");
  EXPECT_EQ(stock->high, "85,125");
  EXPECT_EQ(stock->volume, "5000");
  auto portfolio = PointTextsOfDay(charts, "PORTFOLIO1", 255, may2, '.');
  ASSERT_TRUE(portfolio);
  EXPECT_EQ(portfolio->high, "-300");
  EXPECT_FALSE(PointTextsOfDay(charts, "IBM", 0, may2 + 86400, '.'));
}

}  // namespace
}  // namespace quillet
