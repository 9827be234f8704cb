// How a chart is set up from the user's preferences and the stock it shows, in one place, so
// that the Chart page, the Portfolio Charts view and quillet-cli draw the same chart from the
// same data.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "charts/chart_plot.h"
#include "charts/raster_canvas.h"
#include "core/portfolio_store.h"

namespace quillet {

// The plot of the Chart page in its normal layout, and full screen (where the controls take the
// bottom line of the sheet, under its OK button row).
inline constexpr int kChartPageWidth = 240;
inline constexpr int kChartPageHeight = 176;
inline constexpr int kFullScreenChartHeight = 264;
// The chart area of the Portfolio Charts view.
inline constexpr int kPortfolioChartWidth = 240;
inline constexpr int kPortfolioChartHeight = 230;

// True when the user's short date format puts the day before the month.
bool DayFirst(const LocaleSettings& locale);

// The stock history of quote symbol and market: chart size, "Min/Max for displayed range",
// the date order, and the buy price of `stock` when it is owned (not watched); the newest
// points shown.
void SetUpStockPlot(CChartPlot& plot, const PortfolioStore& s, std::string_view quoteSymbol,
                    int market, const StockRecord* stock, int width, int height);
// A portfolio's own history in the chosen series.
void SetUpPortfolioPlot(CChartPlot& plot, const PortfolioStore& s, int portfolio, int series,
                        int width, int height);

// The first stock with this quote symbol and market (an owned one before a watched one), or
// null: whose buy price a chart of that history shows.
const StockRecord* StockOfSeries(const PortfolioStore& s, std::string_view quoteSymbol, int market);

// The picture of a plot at `width` x `height` pixels (as stored; the drawing is turned when
// rotated).
RasterCanvas DrawPlotPicture(const CChartPlot& plot, int width, int height, bool rotated);

// The Portfolio Charts view's chart of one portfolio in a mode (0 bar, 1 pie, 2 history),
// drawn as that view draws it.
enum PortfolioChartMode : int { kModeBar = 0, kModePie = 1, kModeHistory = 2 };
void DrawPortfolioChart(ChartCanvas& canvas, const PortfolioStore& s, CChartPlot* history,
                        int portfolio, int mode, int series);

}  // namespace quillet
