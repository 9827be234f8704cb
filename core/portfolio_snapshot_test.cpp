#include "core/portfolio_snapshot.h"

#include <gtest/gtest.h>

#include "core/portfolio_math.h"
#include "platform/testing/test_support.h"

namespace quillet {
namespace {

class SnapshotTest : public ::testing::Test {
 protected:
  SnapshotTest()
      : tz("America/New_York"),
        charts(t.ctx->objectStore(), t.ctx->messageBoxes()),
        store(*t.ctx, &charts) {}
  void SetUp() override {
    ASSERT_TRUE(charts.OpenChartStore());
    store.ResetToDefaults();
    store.wViewPortfolio = 1;
    StockRecord* s = store.NewStock();
    ASSERT_TRUE(s);
    s->ucPortfolio = 1;
    CopyToField(s->szSymbol, "IBM");
    CopyToField(s->szShares, "10");
    CopyToField(s->szBuyPrice, "80");
    CopyToField(s->szPrice, "70");
    store.dCash[1] = 50;
  }
  std::optional<ChartSeries> Series() { return charts.FindSeries("PORTFOLIO1", 255); }

  testing::ScopedTimeZone tz;
  testing::TestRoot t;
  ChartStore charts;
  PortfolioStore store;
};

TEST_F(SnapshotTest, OnePortfolioInItsOwnCurrencyGetsCostValueAndProfit) {
  ASSERT_TRUE(AddPortfolioSnapshot(store, charts, 1051891200));
  auto s = Series();
  ASSERT_TRUE(s);
  ASSERT_EQ(s->points.size(), 1u);
  PortfolioTotals totals = ComputeTotals(store, 1, false);
  EXPECT_EQ(SignedAmount(s->points[0].dwPrice), static_cast<int>(totals.cost + 0.5));
  EXPECT_EQ(SignedAmount(s->points[0].dwLow), static_cast<int>(totals.value + 0.5));
  EXPECT_LT(SignedAmount(s->points[0].dwHigh), 0) << "a loss is kept negative";
  EXPECT_EQ(s->points[0].dwVolume, 0u);
}

TEST_F(SnapshotTest, NoPointForAllTheClosedListConvertedAmountsOrAnEmptyPortfolio) {
  store.wViewPortfolio = PORTFOLIO_ALL;
  EXPECT_FALSE(AddPortfolioSnapshot(store, charts, 1051891200));
  store.wViewPortfolio = 1;
  store.bShowClosed = 1;
  EXPECT_FALSE(AddPortfolioSnapshot(store, charts, 1051891200));
  store.bShowClosed = 0;
  ASSERT_TRUE(store.AddCurrency("EUR", "1.1"));
  ASSERT_TRUE(store.SetPortfolioCurrency(1, 1));
  store.ucPrefFlags |= kPrefConvertToBase;
  EXPECT_FALSE(AddPortfolioSnapshot(store, charts, 1051891200));
  store.ucPrefFlags &= static_cast<BYTE>(~kPrefConvertToBase);
  EXPECT_TRUE(AddPortfolioSnapshot(store, charts, 1051891200)) << "shown in its own currency";
  store.wViewPortfolio = 0;  // "Unfiled" holds nothing
  EXPECT_FALSE(AddPortfolioSnapshot(store, charts, 1051891200));
  EXPECT_EQ(Series()->points.size(), 1u);
}

}  // namespace
}  // namespace quillet
