#include "core/price_history.h"

#include <gtest/gtest.h>

#include "platform/testing/test_support.h"

namespace quillet {
namespace {

TEST(InMemoryPriceHistory, SeriesAreKeyedByNameWithoutCaseAndByMarket) {
  InMemoryPriceHistory h;
  h.PutSeries("MSFT", 0, {{100, 1, 2, 3, 4}});
  h.PutSeries("MSFT", 1, {});
  EXPECT_TRUE(h.HasSeries("msft", 0));
  EXPECT_FALSE(h.HasSeries("MSFT", 2));
  EXPECT_TRUE(h.DeleteSeries("Msft", 0));
  EXPECT_FALSE(h.HasSeries("MSFT", 0));
  EXPECT_TRUE(h.HasSeries("MSFT", 1));
  EXPECT_TRUE(h.RenameSeries("MSFT", 1, "MSFT.TO", 1));
  EXPECT_TRUE(h.HasSeries("MSFT.TO", 1));
  EXPECT_FALSE(h.RenameSeries("NONE", 1, "X", 1));
  EXPECT_EQ(PortfolioSeriesName(3), "PORTFOLIO3");
}

TEST(InMemoryPriceHistory, SplitDividesOnlyPointsBeforeTheSplitDay) {
  quillet::testing::ScopedTimeZone tz("UTC");
  InMemoryPriceHistory h;
  const StockTime day = 86400 * 12000;
  h.PutSeries(
      "ABC", 0,
      {{day - 86400, 1000000, 900000, 1100000, 77}, {day + 3600, 500000, 400000, 600000, 88}});
  ASSERT_TRUE(h.SplitSeries("ABC", 0, day + 7200, 2.0));
  const auto* s = h.Series("ABC", 0);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ((*s)[0], (InMemoryPriceHistory::Point{day - 86400, 500000, 450000, 550000, 77}));
  EXPECT_EQ((*s)[1], (InMemoryPriceHistory::Point{day + 3600, 500000, 400000, 600000, 88}));
  EXPECT_FALSE(h.SplitSeries("ABC", 0, day, 0.0));
  EXPECT_FALSE(h.SplitSeries("NONE", 0, day, 2.0));
}

}  // namespace
}  // namespace quillet
