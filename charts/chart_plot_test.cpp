// The plot of a history: scaling, paging, the stylus read-out and the chart menu, checked by
// recording what it draws.
#include "charts/chart_plot.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "charts/recording_canvas.h"
#include "platform/testing/test_support.h"

namespace quillet {
namespace {

using Op = RecordingCanvas::Op;
using testing::ScopedTimeZone;
using testing::TestRoot;

// 2003-05-02 00:00 UTC.
constexpr StockTime kMay2 = 1051833600;
constexpr StockTime kDay = 86400;
// A canvas whose plot is 200 pixels wide.
constexpr int kWidth = 234;
constexpr int kHeight = 160;

class ChartPlotTest : public ::testing::Test {
 protected:
  ChartPlotTest() : tz("UTC"), charts(t.ctx->objectStore(), t.ctx->messageBoxes()), plot(&charts) {}
  void SetUp() override {
    ASSERT_TRUE(charts.OpenChartStore());
    plot.SetSize(kWidth, kHeight);
  }

  // A stock history of closes (with lows, highs and volumes as given, or none).
  void Write(const std::string& name, int market, const std::vector<ChartPoint>& points) {
    ChartSeries s;
    std::strncpy(s.szName, name.c_str(), 15);
    s.ucMarket = static_cast<BYTE>(market);
    s.points = points;
    ASSERT_TRUE(charts.WriteSeries(s));
  }
  static ChartPoint P(int day, double close, double low = 0, double high = 0, DWORD volume = 0) {
    return {kMay2 + static_cast<StockTime>(day) * kDay, ToFixedPoint(close, kStockScale),
            ToFixedPoint(low, kStockScale), ToFixedPoint(high, kStockScale), volume};
  }
  static ChartPoint Portfolio(int day, std::int32_t cost, std::int32_t value, std::int32_t profit) {
    return {kMay2 + static_cast<StockTime>(day) * kDay, static_cast<DWORD>(cost),
            static_cast<DWORD>(value), static_cast<DWORD>(profit), 0};
  }
  void Show(const std::string& name) {
    plot.SetStockSeries(name, 0);
    plot.LoadAndScale(false);
  }

  ScopedTimeZone tz;
  TestRoot t;
  ChartStore charts;
  CChartPlot plot;
};

TEST_F(ChartPlotTest, PagesByScreensFromTheNewestPoints) {
  std::vector<ChartPoint> pts;
  for (int i = 0; i < 300; ++i) pts.push_back(P(i, 10 + i % 7));
  Write("PAGE", 0, pts);
  plot.SetChartSize(kChartSmall);
  Show("PAGE");
  EXPECT_EQ(plot.plotWidth(), 200);
  EXPECT_EQ(plot.pointsPerScreen(), 50);
  EXPECT_EQ(plot.firstIndex(), 250);
  plot.PageChart(-1);
  EXPECT_EQ(plot.firstIndex(), 200);
  plot.PageChart(-1);
  EXPECT_EQ(plot.firstIndex(), 150);
  plot.PageChart(+1);
  plot.PageChart(+1);
  EXPECT_EQ(plot.firstIndex(), 250);
  plot.PageChart(+1);
  EXPECT_EQ(plot.firstIndex(), 250) << "no page past the newest";

  // Medium and Big: 101 and 201 points a screen; a part page lands on the newest screen.
  plot.SetChartSize(kChartMedium);
  EXPECT_EQ(plot.pointsPerScreen(), 101);
  EXPECT_EQ(plot.firstIndex(), 199);
  plot.PageChart(-1);
  plot.PageChart(-1);
  EXPECT_EQ(plot.firstIndex(), 0);
  plot.PageChart(+1);
  plot.PageChart(+1);
  EXPECT_EQ(plot.firstIndex(), 199);
}

TEST_F(ChartPlotTest, BigDrawsNothingPastThePlot) {
  std::vector<ChartPoint> pts;
  for (int i = 0; i < 400; ++i) pts.push_back(P(i, 10 + i % 5, 9, 15, 1000));
  Write("BIG", 0, pts);
  plot.SetChartSize(kChartBig);
  Show("BIG");
  RecordingCanvas c(kWidth, kHeight);
  plot.DrawChart(c);
  const int right = CChartPlot::kOriginX + plot.plotWidth();
  for (const auto& call : c.calls) {
    if (call.op != Op::kLine) continue;
    EXPECT_LE(std::max(call.x0, call.x1), right);
  }
}

TEST_F(ChartPlotTest, IsolatedHighsAndLowsDoNotStretchTheRange) {
  // A high of 300 where closes stay at or under 100 is a bad tick (1.6 rule); 150 is not.
  Write("HI", 0, {P(0, 80, 79, 81), P(1, 100, 99, 300), P(2, 90)});
  Show("HI");
  EXPECT_DOUBLE_EQ(plot.highMax(), 100);
  Write("HI2", 0, {P(0, 80, 79, 81), P(1, 100, 99, 150), P(2, 90)});
  Show("HI2");
  EXPECT_DOUBLE_EQ(plot.highMax(), 150);

  // Lowest close 50: a low of 40 is ignored (40 x 1.1 < 50), a low of 46 is kept.
  Write("LO", 0, {P(0, 50, 40, 51), P(1, 60, 59, 61)});
  Show("LO");
  EXPECT_DOUBLE_EQ(plot.lowMin(), 50);
  Write("LO2", 0, {P(0, 50, 46, 51), P(1, 60, 59, 61)});
  Show("LO2");
  EXPECT_DOUBLE_EQ(plot.lowMin(), 46);
  EXPECT_DOUBLE_EQ(plot.bottom(), 46 - (61 - 46) * 0.05);
}

TEST_F(ChartPlotTest, BottomOfAPositiveHistoryIsNeverBelowZero) {
  Write("ZERO", 0, {P(0, 1), P(1, 100)});
  Show("ZERO");
  EXPECT_DOUBLE_EQ(plot.bottom(), 0);  // 1 - 99 x 0.05 would be below 0
  EXPECT_EQ(plot.ValueY(0), plot.bottomLineY());
  EXPECT_NEAR(plot.ValueY(100), plot.bottomLineY() - plot.plotHeight(), 1);
}

TEST_F(ChartPlotTest, MaximumLabelHasThreeDecimalsBelowTenElseNone) {
  Write("SMALL", 0, {P(0, 9.5), P(1, 8)});
  Show("SMALL");
  RecordingCanvas c1(kWidth, kHeight);
  plot.DrawChart(c1);
  auto texts = c1.Texts();
  EXPECT_NE(std::find(texts.begin(), texts.end(), "9.500"), texts.end());
  EXPECT_NE(std::find(texts.begin(), texts.end(), "8.000"), texts.end());

  Write("LARGE", 0, {P(0, 12.7), P(1, 11)});
  Show("LARGE");
  RecordingCanvas c2(kWidth, kHeight);
  plot.DrawChart(c2);
  texts = c2.Texts();
  EXPECT_NE(std::find(texts.begin(), texts.end(), "12"), texts.end());
  EXPECT_NE(std::find(texts.begin(), texts.end(), "11"), texts.end());
  EXPECT_EQ(std::find(texts.begin(), texts.end(), "12.700"), texts.end());
}

TEST_F(ChartPlotTest, MinMaxForDisplayedRangeRescalesWhilePagingOnlyWhenOn) {
  std::vector<ChartPoint> pts;
  for (int i = 0; i < 100; ++i) pts.push_back(P(i, i < 50 ? 200 + i : 10 + i % 3));
  Write("MM", 0, pts);
  plot.SetChartSize(kChartSmall);
  Show("MM");
  const double topAll = plot.top();
  EXPECT_DOUBLE_EQ(topAll, 249);
  plot.PageChart(-1);
  EXPECT_DOUBLE_EQ(plot.top(), topAll) << "off: the same range on every page";

  plot.PageChart(+1);
  EXPECT_TRUE(plot.ToggleMinMaxRange());
  EXPECT_EQ(plot.firstIndex(), 50) << "the toggle keeps the position";
  EXPECT_DOUBLE_EQ(plot.top(), 12);
  plot.PageChart(-1);
  EXPECT_DOUBLE_EQ(plot.top(), 249);
  EXPECT_DOUBLE_EQ(plot.minValue(), 200);
}

TEST_F(ChartPlotTest, FlatHistoriesAndMissingVolumesDrawWithoutDividingByZero) {
  for (const auto& pts : std::vector<std::vector<ChartPoint>>{
           {P(0, 42)}, {P(0, 5), P(1, 5), P(2, 5)}, {P(0, 0), P(1, 0)}}) {
    Write("FLAT", 0, pts);
    plot.SetStockSeries("FLAT", 0);
    plot.Reload();
    plot.LoadAndScale(false);
    EXPECT_GT(plot.top(), plot.bottom());
    EXPECT_TRUE(std::isfinite(plot.top() - plot.bottom()));
    RecordingCanvas c(kWidth, kHeight);
    plot.DrawChart(c);
    for (const auto& call : c.calls) {
      EXPECT_GE(call.y0, -1000);
      EXPECT_LE(call.y0, 1000);
    }
  }
  // A constant price of 5: one unit either side.
  Write("CONST", 0, {P(0, 5), P(1, 5)});
  Show("CONST");
  EXPECT_DOUBLE_EQ(plot.top(), 6);
  EXPECT_DOUBLE_EQ(plot.bottom(), 4);
  // No volumes: no volume strip, so the price area reaches the date labels.
  EXPECT_EQ(plot.volumeMax(), 0);
  EXPECT_EQ(plot.bottomLineY(), kHeight - 15);
}

TEST_F(ChartPlotTest, VolumesGetTheirOwnStripUnderThePrices) {
  Write("VOL", 0, {P(0, 10, 9, 11, 500), P(1, 11, 10, 12, 1000)});
  Show("VOL");
  EXPECT_EQ(plot.bottomLineY(), kHeight - 15 - 23);
  RecordingCanvas c(kWidth, kHeight);
  plot.DrawChart(c);
  // The larger volume fills the 20-pixel strip, the smaller half of it.
  const int base = kHeight - 15;
  int tallest = 0;
  int shortest = 1000;
  for (const auto& call : c.Of(Op::kLine, kChartForeground)) {
    if (call.x0 == call.x1 && call.y0 == base - 1 && call.y1 < base) {
      tallest = std::max(tallest, call.y0 - call.y1 + 1);
      shortest = std::min(shortest, call.y0 - call.y1 + 1);
    }
  }
  EXPECT_EQ(tallest, CChartPlot::kVolumeHeight);
  EXPECT_EQ(shortest, CChartPlot::kVolumeHeight / 2);
  EXPECT_EQ(c.Of(Op::kLine, kChartHigh).size(), 2u);
  EXPECT_EQ(c.Of(Op::kLine, kChartLow).size(), 2u);
}

TEST_F(ChartPlotTest, PortfolioSeriesBeyondABillionScaleFromTheirOwnPoints) {
  Write("PORTFOLIO1", 255,
        {Portfolio(0, 1500000000, -2100000000, -2100000000),
         Portfolio(1, 2000000000, -2050000000, -2120000000)});
  plot.SetPortfolioSeries(1, kSeriesCost);
  plot.LoadAndScale(false);
  EXPECT_DOUBLE_EQ(plot.minValue(), 1500000000.0);
  EXPECT_DOUBLE_EQ(plot.maxValue(), 2000000000.0);
  plot.SetPortfolioSeries(1, kSeriesProfit);
  plot.LoadAndScale(false);
  EXPECT_DOUBLE_EQ(plot.maxValue(), -2100000000.0);
  EXPECT_DOUBLE_EQ(plot.minValue(), -2120000000.0);
  EXPECT_GT(plot.top(), plot.bottom());
}

TEST_F(ChartPlotTest, PortfolioInAndOutOfProfitGetsAZeroLine) {
  Write("PORTFOLIO2", 255, {Portfolio(0, 100, 90, -10), Portfolio(1, 100, 130, 30)});
  plot.SetPortfolioSeries(2, kSeriesProfit);
  plot.LoadAndScale(false);
  RecordingCanvas c(kWidth, kHeight);
  plot.DrawChart(c);
  auto green = c.Of(Op::kLine, kChartGreen);
  ASSERT_EQ(green.size(), 1u);
  EXPECT_EQ(green[0].y0, plot.ValueY(0));
}

TEST_F(ChartPlotTest, BuyPriceLineOnlyWithinThePlot) {
  Write("BUY", 0, {P(0, 10), P(1, 20)});
  Show("BUY");
  plot.SetBuyPrice(15);
  RecordingCanvas inside(kWidth, kHeight);
  plot.DrawChart(inside);
  ASSERT_EQ(inside.Of(Op::kLine, kChartGreen).size(), 1u);
  EXPECT_EQ(inside.Of(Op::kLine, kChartGreen)[0].y0, plot.ValueY(15));
  plot.SetBuyPrice(50);
  RecordingCanvas outside(kWidth, kHeight);
  plot.DrawChart(outside);
  EXPECT_TRUE(outside.Of(Op::kLine, kChartGreen).empty());
}

TEST_F(ChartPlotTest, NoHistoryShowsNoData) {
  plot.SetStockSeries("NONE", 0);
  plot.LoadAndScale(false);
  RecordingCanvas c(kWidth, kHeight);
  plot.DrawChart(c);
  EXPECT_EQ(c.Texts(), std::vector<std::string>{"No Data"});
  EXPECT_FALSE(plot.HitTest(100, 50));
}

TEST_F(ChartPlotTest, StylusReadsThePointUnderItAndNeverPastTheHistory) {
  Write("PEN", 0, {P(0, 84.5, 83, 85, 7), P(1, 85.25), P(2, 86)});
  Show("PEN");
  const int x0 = CChartPlot::kOriginX;
  EXPECT_FALSE(plot.HitTest(x0 - 5, 50)) << "left of the axis";
  EXPECT_EQ(plot.HitTest(x0, 50), 0);
  EXPECT_EQ(plot.HitTest(x0 + 4, 50), 1);
  EXPECT_EQ(plot.HitTest(x0 + 150, 50), 2) << "a short history: the newest point";
  EXPECT_EQ(plot.TrackStylus(x0 + 1, 50), "5/2 - 84.5000");
  RecordingCanvas c(kWidth, kHeight);
  plot.DrawChart(c);
  auto inverted = c.Of(Op::kInvert, 0);
  ASSERT_EQ(inverted.size(), 1u);
  EXPECT_EQ(inverted[0].x0, x0);
  auto p = plot.EndStylus();
  ASSERT_TRUE(p);
  EXPECT_EQ(p->dwVolume, 7u);
  EXPECT_FALSE(plot.cursorIndex());

  plot.SetDayFirst(true);
  plot.SetFullScreen(true);
  EXPECT_EQ(plot.TrackStylus(x0 + 8, 50), "[4/5/2003] 86.0000");
}

TEST_F(ChartPlotTest, ChartMenuEditsThisHistoryOnly) {
  Write("EDIT", 0, {P(0, 10), P(1, 11), P(2, 12)});
  Write("OTHER", 0, {P(0, 1), P(1, 2)});
  Show("EDIT");
  EXPECT_TRUE(plot.AddReplaceEntry(kMay2 + kDay + 3600, {20.5, 20, 21, 300}));
  ASSERT_EQ(plot.points().size(), 3u);
  EXPECT_EQ(plot.points()[1].dwPrice, 205000u) << "the same day is replaced";
  EXPECT_TRUE(plot.DeleteEntry(kMay2 + 2 * kDay));
  EXPECT_EQ(plot.points().size(), 2u);
  // "Up to" a date includes that date.
  EXPECT_TRUE(plot.DeleteChartRange(kMay2, false));
  EXPECT_EQ(plot.points().size(), 1u);
  EXPECT_EQ(charts.FindSeries("OTHER", 0)->points.size(), 2u);
  EXPECT_TRUE(plot.DeleteChartRange(kMay2, true));
  EXPECT_EQ(charts.FindSeries("OTHER", 0)->points.size(), 1u);
  EXPECT_TRUE(plot.DeleteChartData());
  EXPECT_FALSE(charts.FindSeries("EDIT", 0));
  EXPECT_TRUE(plot.points().empty());

  // A portfolio's entry is stored in whole units, never in the stock's fixed point.
  plot.SetPortfolioSeries(3, kSeriesCost);
  plot.LoadAndScale(false);
  EXPECT_TRUE(plot.AddReplaceEntry(kMay2, {1200, 1500, -300, 0}));
  auto s = charts.FindSeries("PORTFOLIO3", 255);
  ASSERT_TRUE(s);
  EXPECT_EQ(s->points[0].dwPrice, 1200u);
  EXPECT_EQ(SignedAmount(s->points[0].dwHigh), -300);
}

}  // namespace
}  // namespace quillet
