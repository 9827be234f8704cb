#include "charts/chart_setup.h"

#include "charts/portfolio_chart.h"
#include "core/decimal_text.h"
#include "core/quote_tables.h"
#include "core/string_table.h"
#include "platform/ascii.h"

namespace quillet {

bool DayFirst(const LocaleSettings& locale) {
  for (char c : locale.shortDateFormat) {
    if (c == 'd' || c == 'D') return true;
    if (c == 'M' || c == 'y' || c == 'Y') return false;
  }
  return false;
}

void SetUpStockPlot(CChartPlot& plot, const PortfolioStore& s, std::string_view quoteSymbol,
                    int market, const StockRecord* stock, int width, int height) {
  plot.SetStockSeries(quoteSymbol, market);
  plot.SetSize(width, height);
  plot.SetChartSize(s.ucChartSize);
  plot.SetMinMaxForRange((s.ucPrefFlags & kPrefChartMinMax) != 0);
  plot.SetDayFirst(DayFirst(s.context().locale()));
  double buy = 0;
  if (stock && !stock->IsWatched()) {
    buy = ParseDecimal(FieldText(stock->szBuyPrice), kAllPlaces, s.cDecimalSeparator);
  }
  plot.SetBuyPrice(buy);
  plot.LoadAndScale(false);
}

void SetUpPortfolioPlot(CChartPlot& plot, const PortfolioStore& s, int portfolio, int series,
                        int width, int height) {
  plot.SetPortfolioSeries(portfolio, series);
  plot.SetSize(width, height);
  plot.SetChartSize(s.ucChartSize);
  plot.SetMinMaxForRange((s.ucPrefFlags & kPrefChartMinMax) != 0);
  plot.SetDayFirst(DayFirst(s.context().locale()));
  plot.SetBuyPrice(0);
  plot.LoadAndScale(false);
}

const StockRecord* StockOfSeries(const PortfolioStore& s, std::string_view quoteSymbol,
                                 int market) {
  const StockRecord* watched = nullptr;
  for (const auto& r : s.stocks) {
    if (r->ucMarket != market || !EqualNoCase(QuoteSymbol(r->Symbol(), r->ucMarket), quoteSymbol)) {
      continue;
    }
    if (!r->IsWatched()) return r.get();
    if (!watched) watched = r.get();
  }
  return watched;
}

RasterCanvas DrawPlotPicture(const CChartPlot& plot, int width, int height, bool rotated) {
  RasterCanvas canvas(width, height, rotated);
  plot.DrawChart(canvas);
  return canvas;
}

void DrawPortfolioChart(ChartCanvas& canvas, const PortfolioStore& s, CChartPlot* history,
                        int portfolio, int mode, int series) {
  if (mode == kModeHistory) {
    if (portfolio == PORTFOLIO_ALL || !history) {
      DrawChartMessage(canvas, strings::LoadString(strings::IDS_SELECT_PORTFOLIO));
      return;
    }
    history->DrawChart(canvas);
    return;
  }
  const auto bars =
      CollectPortfolioBars(s, portfolio, s.bShowClosed != 0, series, s.bNameInCharts != 0);
  if (mode == kModePie) {
    DrawPieChart(canvas, bars);
  } else {
    DrawBarChart(canvas, bars);
  }
}

}  // namespace quillet
