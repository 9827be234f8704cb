// The bar and pie charts of a portfolio: which bars, their geometry, colours and labels.
#include "charts/portfolio_chart.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "charts/recording_canvas.h"
#include "core/decimal_text.h"
#include "platform/testing/test_support.h"

namespace quillet {
namespace {

using Op = RecordingCanvas::Op;
constexpr int kSeriesValueForTest = 1;  // the series "Value"

std::vector<ChartBar> Bars(std::initializer_list<double> values) {
  std::vector<ChartBar> bars;
  for (double v : values) bars.push_back({"S" + std::to_string(bars.size()), v});
  return bars;
}

TEST(BarLayout, GapsAndWidthsFollowTheNumberOfBars) {
  // The handheld's plot: 240 - 30 pixels.
  struct Case {
    int n, gap, width;
  };
  for (const Case& c :
       {Case{1, 18, 50}, Case{2, 18, 25}, Case{7, 18, 12}, Case{8, 14, 12}, Case{15, 10, 4},
        Case{20, 7, 3}, Case{21, 8, 2}, Case{60, 2, 1}, Case{100, 2, 1}, Case{71, 2, 1}}) {
    BarLayout l = ComputeBarLayout(c.n, 210);
    EXPECT_EQ(l.gap, c.gap) << c.n << " bars";
    EXPECT_EQ(l.width, c.width) << c.n << " bars";
  }
  // On a wide plot, many bars keep the gap of 10 and get the widest bar that fits.
  EXPECT_EQ(ComputeBarLayout(21, 400).width, 9);  // 19 x 21 = 399 < 400
  EXPECT_EQ(ComputeBarLayout(21, 700).width, 19);
  EXPECT_EQ(ComputeBarLayout(21, 315).width, 5);  // exactly 15 per bar
}

TEST(BarUnit, MillionsThousandsOrNone) {
  EXPECT_EQ(ChooseBarUnit(Bars({1000000, 5})).letter, "M");
  EXPECT_EQ(ChooseBarUnit(Bars({999999, 5})).letter, "K");
  EXPECT_EQ(ChooseBarUnit(Bars({999, -5000})).letter, "");
  // Nothing above 0: the smallest value decides.
  EXPECT_EQ(ChooseBarUnit(Bars({-2000000, -1})).letter, "M");
  EXPECT_EQ(ChooseBarUnit(Bars({-1000, 0})).letter, "K");
}

TEST(BarChart, NegativeBarsHangBelowTheZeroLine) {
  RecordingCanvas c(240, 200);
  DrawBarChart(c, Bars({100, -50}));
  // Base line at 168, plot height 158, scale 158 / 150: the zero line 52 pixels up.
  const int zeroY = 168 - static_cast<int>(50 * (158.0 / 150.0));
  auto first = c.Of(Op::kFill, kBarColours[0]);
  auto second = c.Of(Op::kFill, kBarColours[1]);
  ASSERT_EQ(first.size(), 1u);
  ASSERT_EQ(second.size(), 1u);
  EXPECT_EQ(first[0].x0, 21 + 18);
  EXPECT_EQ(first[0].x1, 21 + 18 + 25);
  EXPECT_EQ(first[0].y1, zeroY);
  EXPECT_EQ(first[0].y0, zeroY - static_cast<int>(100 * (158.0 / 150.0)));
  EXPECT_EQ(second[0].x0, 21 + 18 + 25 + 18);
  EXPECT_EQ(second[0].y0, zeroY + 1);
  EXPECT_EQ(second[0].y1, 168 + 1) << "down to the base line, included";
  // "0" at the zero line; labels under the base line on alternating rows.
  bool zeroLabel = false;
  int rows[2] = {0, 0};
  for (const auto& call : c.calls) {
    if (call.op != Op::kText) continue;
    if (call.text == "0") zeroLabel = std::abs(call.y0 + kChartTextHeight / 2 - zeroY) <= 1;
    if (call.text == "S0") rows[0] = call.y0;
    if (call.text == "S1") rows[1] = call.y0;
  }
  EXPECT_TRUE(zeroLabel);
  EXPECT_EQ(rows[1] - rows[0], 11);
  EXPECT_GT(rows[0], 168);
}

TEST(BarChart, ColoursCycleAndTooManyBarsAreClipped) {
  std::vector<ChartBar> many;
  for (int i = 0; i < 100; ++i) many.push_back({"X", 10.0 + i});
  RecordingCanvas c(240, 200);
  DrawBarChart(c, many);
  int drawn = 0;
  for (const auto& call : c.calls) {
    if (call.op != Op::kFill || call.color == kChartBackground) continue;
    EXPECT_EQ(call.color, kBarColours[drawn % 8]);
    EXPECT_LE(call.x1, 20 + 210);
    ++drawn;
  }
  EXPECT_EQ(drawn, 69)
      << "bars of 1 after gaps of 2 from x = 21 (23, 26 .. 227) until the plot ends";
}

TEST(BarChart, AllZeroBarsStandOnTheZeroLine) {
  RecordingCanvas c(240, 200);
  DrawBarChart(c, Bars({0, 0, 0}));
  auto lines = c.Of(Op::kLine, kBarColours[2]);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].y0, 168);
}

TEST(PieChart, SlicesForPositiveValuesFillTheCircle) {
  RecordingCanvas c(240, 200);
  DrawPieChart(c, Bars({30, -10, 10}));
  double sweep = 0;
  int slices = 0;
  for (const auto& call : c.calls) {
    if (call.op != Op::kPie) continue;
    sweep += call.sweep;
    ++slices;
    EXPECT_EQ(call.x0, 120);
    EXPECT_EQ(call.y0, 95);
  }
  EXPECT_EQ(slices, 2);
  EXPECT_DOUBLE_EQ(sweep, 360);

  RecordingCanvas none(240, 200);
  DrawPieChart(none, Bars({0, -10}));
  EXPECT_EQ(none.Texts(), std::vector<std::string>{"No Data or Negative"});
  RecordingCanvas empty(240, 200);
  DrawPieChart(empty, {});
  EXPECT_EQ(empty.Texts(), std::vector<std::string>{"No Data"});
}

TEST(PortfolioBars, ConsecutiveLotsAddUpAndWatchedStocksAreLeftOut) {
  testing::TestRoot t;
  PortfolioStore s(*t.ctx);
  auto add = [&](const char* name, const char* symbol, int portfolio, int status,
                 const char* shares, const char* price) {
    auto r = std::make_unique<StockRecord>();
    r->dwId = ++s.dwMaxStockId;
    CopyToField(r->szName, name);
    CopyToField(r->szSymbol, symbol);
    r->ucPortfolio = static_cast<BYTE>(portfolio);
    r->ucStatus = static_cast<BYTE>(status);
    CopyToField(r->szShares, shares);
    CopyToField(r->szBuyPrice, price);
    CopyToField(r->szPrice, price);
    s.stocks.push_back(std::move(r));
  };
  add("Alpha", "AAA", 1, kStatusActive, "10", "2");
  add("Alpha 2", "aaa", 1, kStatusActive, "5", "2");
  add("Watched", "WWW", 1, kStatusWatched, "10", "2");
  add("Beta", "BBB", 1, kStatusActive, "1", "7");
  add("Other", "CCC", 0, kStatusActive, "1", "1");
  add("Alpha 3", "AAA", 1, kStatusActive, "1", "2");
  auto bars = CollectPortfolioBars(s, 1, false, kSeriesValueForTest, true);
  ASSERT_EQ(bars.size(), 3u);
  EXPECT_EQ(bars[0].label, "Alpha");
  EXPECT_DOUBLE_EQ(bars[0].value, 30);
  EXPECT_EQ(bars[1].label, "Beta");
  EXPECT_DOUBLE_EQ(bars[1].value, 7);
  EXPECT_EQ(bars[2].label, "Alpha 3") << "not next to the other lots";
  auto symbols = CollectPortfolioBars(s, PORTFOLIO_ALL, false, 0, false);
  ASSERT_EQ(symbols.size(), 4u);
  EXPECT_EQ(symbols[2].label, "CCC");
}

}  // namespace
}  // namespace quillet
