// The plot of one price history: a stock's closes with its highs, lows and volumes, or one series
// (cost, value or profit) of a portfolio's own history. It owns the scaling, the paging by
// screens, the drawing and the stylus read-out; the Chart page, the Portfolio Charts view and
// quillet-cli all draw through it, onto whatever canvas they hand in.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "charts/chart_canvas.h"
#include "core/chart_store.h"

namespace quillet {

// The chart sizes (ucChartSize): how many pixels each point takes.
enum ChartSize : int { kChartSmall = 0, kChartMedium = 1, kChartBig = 2 };
// The portfolio series.
enum PortfolioSeries : int { kSeriesCost = 0, kSeriesValue = 1, kSeriesProfit = 2 };

class CChartPlot {
 public:
  enum Kind : int { kStockHistory = 0, kPortfolioHistory = 1 };

  static constexpr int kVolumeHeight = 20;
  static constexpr int kLabelHeight = 14;
  static constexpr int kOriginX = 24;

  // `charts` may be null or closed: the plot then has no history ("No Data").
  explicit CChartPlot(ChartStore* charts) : charts_(charts) {}

  // Which history to draw. The history is read once and kept until the series changes or
  // Reload is called (after anything wrote to it).
  void SetStockSeries(std::string_view quoteSymbol, int market);
  void SetPortfolioSeries(int portfolio, int series);
  void SetSeries(int series) { series_ = series; }
  void Reload() { loaded_ = false; }
  Kind kind() const { return kind_; }
  const std::string& seriesName() const { return name_; }
  int market() const { return market_; }

  // The size of the drawing (the canvas it will draw on) in pixels.
  void SetSize(int width, int height);
  void SetChartSize(int chartSize);
  void SetMinMaxForRange(bool on) { minMaxForRange_ = on; }
  // The buy price of an owned stock, drawn as a green line; 0 for none (a watched stock).
  void SetBuyPrice(double price) { buyPrice_ = price; }
  // Dates as day/month (else month/day).
  void SetDayFirst(bool dayFirst) { dayFirst_ = dayFirst; }
  // The full-screen layout writes the read-out with the year.
  void SetFullScreen(bool on) { fullScreen_ = on; }

  // Reads the history when needed and computes the scale; without `keepPosition` the newest
  // points fill the screen.
  void LoadAndScale(bool keepPosition);
  // Pages one screen towards older (direction < 0) or newer (> 0) points.
  void PageChart(int direction);
  void DrawChart(ChartCanvas& canvas) const;

  // The stylus: the index of the point under (x, y), nullopt when the touch is outside the plot
  // or left of its axis. A touch past the newest displayed point reads that point.
  std::optional<int> HitTest(int x, int y) const;
  // Moves the cursor to the point under x and returns the one-line read-out ("" when none).
  std::string TrackStylus(int x, int y);
  // Ends the read-out (the cursor goes) and returns the point that was read.
  std::optional<ChartPoint> EndStylus();
  std::optional<int> cursorIndex() const { return cursor_; }

  // ---- The chart menu -----------------------------------------------------------------------
  // Puts the point of a day (replacing that day's point) in this history.
  bool AddReplaceEntry(StockTime date, const PointFigures& figures);
  bool DeleteEntry(StockTime date);
  // Deletes every point up to and including the day of `date`, from this history or, with
  // `allRecords`, from every history.
  bool DeleteChartRange(StockTime date, bool allRecords);
  // Deletes this history's record.
  bool DeleteChartData();
  // Turns "Min/Max for displayed range" over and rescales keeping the position; returns the
  // new state.
  bool ToggleMinMaxRange();
  // The scale of this history's stored figures: 10000 for a stock, whole units for a portfolio.
  double StoredScale() const { return kind_ == kStockHistory ? kStockScale : kPortfolioScale; }

  // ---- What the scaling found (for the read-out and the tests) -----------------------------
  const std::vector<ChartPoint>& points() const { return points_; }
  int firstIndex() const { return first_; }
  int pointsPerScreen() const { return perScreen_; }
  int pixelStep() const { return step_; }
  double minValue() const { return min_; }
  double maxValue() const { return max_; }
  double lowMin() const { return lowMin_; }
  double highMax() const { return highMax_; }
  double top() const { return top_; }
  double bottom() const { return bottom_; }
  double volumeMax() const { return volumeMax_; }
  int plotWidth() const { return plotWidth_; }
  int bottomLineY() const { return bottomY_; }
  int plotHeight() const { return plotHeight_; }
  // The y of a value in the price area.
  int ValueY(double v) const;
  // The figure of a point that the line follows: the close of a stock, the chosen series of a
  // portfolio.
  double PointValue(const ChartPoint& p) const;
  // A point's date as the axis and the read-out write it.
  std::string DateLabel(StockTime date, bool withYear) const;

 private:
  void EnsureLoaded();
  int DisplayedCount() const;
  void Layout();

  ChartStore* charts_;
  Kind kind_ = kStockHistory;
  int series_ = kSeriesCost;
  std::string name_;
  int market_ = 0;
  bool loaded_ = false;
  std::vector<ChartPoint> points_;

  int width_ = 240;
  int height_ = 160;
  int chartSize_ = kChartSmall;
  bool minMaxForRange_ = false;
  double buyPrice_ = 0;
  bool dayFirst_ = false;
  bool fullScreen_ = false;

  int plotWidth_ = 0;
  int bottomY_ = 0;
  int volumeBaseY_ = 0;
  int plotHeight_ = 0;
  int first_ = 0;
  int perScreen_ = 1;
  int step_ = 4;
  double min_ = 0;
  double max_ = 0;
  double lowMin_ = 0;
  double highMax_ = 0;
  double top_ = 1;
  double bottom_ = 0;
  double scale_ = 0;
  double volumeMax_ = 0;
  double volumeMin_ = 0;
  std::optional<int> cursor_;
};

// The maximum or minimum label: 3 decimals below 10, else the value cut to an integer.
std::string AxisValueLabel(double value);

}  // namespace quillet
