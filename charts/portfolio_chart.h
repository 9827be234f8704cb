// The Portfolio Charts view's bar and pie charts: one bar or slice per holding of a portfolio
// (lots of one stock that follow each other taken together), in the portfolio's currency. The
// bar geometry is fixed by the number of bars, so that a portfolio of a few stocks and one of a
// hundred both fit the handheld's screen.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "charts/chart_canvas.h"
#include "core/portfolio_store.h"

namespace quillet {

struct ChartBar {
  std::string label;
  double value = 0;
};

// The gap before each bar and the bar's width, for `count` bars on a plot `plotWidth` wide.
// With too many bars to fit at the narrowest bar and gap, the narrowest is kept and the bars
// past the right end are clipped.
struct BarLayout {
  int gap = 0;
  int width = 0;
};
BarLayout ComputeBarLayout(int count, int plotWidth);

// The unit of the value axis: "M" (millions), "K" (thousands) or none.
struct BarUnit {
  double divisor = 1;
  std::string letter;
};
BarUnit ChooseBarUnit(const std::vector<ChartBar>& bars);

// The bar colours, in the order the bars take them.
inline constexpr COLORREF kBarColours[8] = {
    RGB(0x33, 0x00, 0xCC), RGB(0xFF, 0x00, 0x00), RGB(0x33, 0x99, 0x00), RGB(0xFF, 0xCC, 0x33),
    RGB(0x33, 0x99, 0xFF), RGB(0xCC, 0x66, 0xFF), RGB(0xFF, 0x66, 0x00), RGB(0x33, 0xCC, 0x33)};

// The bars of a portfolio (PORTFOLIO_ALL: every portfolio, in the base currency) in the view
// (sold or not): watched stocks skipped, consecutive lots of one quote symbol added together.
// `series` is 0 cost, 1 value, 2 profit; labels are names or symbols.
std::vector<ChartBar> CollectPortfolioBars(const PortfolioStore& s, int portfolio, bool sold,
                                           int series, bool names);

// The geometry of a bar chart on a canvas: the value axis at x = 20, the base line 32 pixels
// above the bottom, the plot canvas width - 30 wide, reaching to 10 pixels below the top.
struct BarChartGeometry {
  int baseY = 0;
  int zeroY = 0;
  int plotWidth = 0;
  int plotHeight = 0;
  double scale = 0;
  BarLayout layout;
};
BarChartGeometry ComputeBarChartGeometry(const std::vector<ChartBar>& bars, int width, int height);

// "No Data" when there are no bars.
void DrawBarChart(ChartCanvas& canvas, const std::vector<ChartBar>& bars);
// Slices for the positive values; "No Data" without bars, "No Data or Negative" when nothing is
// above 0.
void DrawPieChart(ChartCanvas& canvas, const std::vector<ChartBar>& bars);
// A message in place of a chart, one line per '\n', centred.
void DrawChartMessage(ChartCanvas& canvas, std::string_view text);

}  // namespace quillet
