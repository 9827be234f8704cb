#include "charts/chart_plot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "charts/bitmap_font.h"
#include "core/price_history.h"
#include "core/string_table.h"

namespace quillet {

std::string AxisValueLabel(double value) {
  char buf[48];
  if (std::fabs(value) >= 10) {
    std::snprintf(buf, sizeof buf, "%.0f", std::trunc(value));
  } else {
    std::snprintf(buf, sizeof buf, "%.3f", value);
  }
  return buf;
}

void CChartPlot::SetStockSeries(std::string_view quoteSymbol, int market) {
  const std::string name(quoteSymbol.substr(0, kSeriesNameLength));
  if (kind_ != kStockHistory || name != name_ || market != market_) loaded_ = false;
  kind_ = kStockHistory;
  name_ = name;
  market_ = market;
}

void CChartPlot::SetPortfolioSeries(int portfolio, int series) {
  const std::string name = PortfolioSeriesName(portfolio);
  if (kind_ != kPortfolioHistory || name != name_ || market_ != kPortfolioSeriesMarket) {
    loaded_ = false;
  }
  kind_ = kPortfolioHistory;
  name_ = name;
  market_ = kPortfolioSeriesMarket;
  series_ = series;
}

void CChartPlot::SetSize(int width, int height) {
  width_ = std::max(width, 40);
  height_ = std::max(height, 60);
}

void CChartPlot::SetChartSize(int chartSize) {
  chartSize_ = std::clamp(chartSize, 0, 2);
  Layout();
  // A new range shows the newest points.
  first_ = std::max(0, static_cast<int>(points_.size()) - perScreen_);
}

void CChartPlot::EnsureLoaded() {
  if (loaded_) return;
  loaded_ = true;
  points_.clear();
  cursor_.reset();
  if (!charts_ || !charts_->isOpen() || name_.empty()) return;
  if (auto s = charts_->FindSeries(name_, market_)) points_ = std::move(s->points);
}

void CChartPlot::Layout() {
  plotWidth_ = std::max(width_ - 34, 4);
  switch (chartSize_) {
    case kChartMedium:
      step_ = 2;
      perScreen_ = (plotWidth_ + 2) / 2;
      break;
    case kChartBig:
      // One point per pixel from the axis to the right end of the plot, and no further.
      step_ = 1;
      perScreen_ = plotWidth_ + 1;
      break;
    default:
      step_ = 4;
      perScreen_ = (plotWidth_ + 2) / 4;
      break;
  }
  const bool volumes = kind_ == kStockHistory && volumeMax_ > 0;
  volumeBaseY_ = height_ - kLabelHeight - 1;
  bottomY_ = volumes ? volumeBaseY_ - 23 : volumeBaseY_;
  plotHeight_ = std::max(bottomY_ - 10, 1);
}

double CChartPlot::PointValue(const ChartPoint& p) const {
  if (kind_ == kStockHistory) return p.dwPrice / kStockScale;
  switch (series_) {
    case kSeriesValue:
      return SignedAmount(p.dwLow);
    case kSeriesProfit:
      return SignedAmount(p.dwHigh);
    default:
      return SignedAmount(p.dwPrice);
  }
}

int CChartPlot::DisplayedCount() const {
  const int count = static_cast<int>(points_.size());
  return std::clamp(count - first_, 0, perScreen_);
}

void CChartPlot::LoadAndScale(bool keepPosition) {
  EnsureLoaded();
  Layout();
  const int count = static_cast<int>(points_.size());
  const int newest = std::max(0, count - perScreen_);
  first_ = keepPosition ? std::clamp(first_, 0, newest) : newest;

  int from = 0;
  int to = count;
  if (minMaxForRange_) {
    from = first_;
    to = std::min(first_ + perScreen_, count);
  }
  // Every extreme starts from the first point scanned: fixed starting values would cut off
  // series beyond them (a portfolio worth more than a billion).
  bool any = false;
  volumeMax_ = 0;
  volumeMin_ = 0;
  for (int i = from; i < to; ++i) {
    const ChartPoint& p = points_[static_cast<std::size_t>(i)];
    const double v = PointValue(p);
    const double low = kind_ == kStockHistory ? p.dwLow / kStockScale : 0;
    const double high = kind_ == kStockHistory ? p.dwHigh / kStockScale : 0;
    const double volume = kind_ == kStockHistory ? static_cast<double>(p.dwVolume) : 0;
    if (!any) {
      min_ = max_ = v;
      lowMin_ = low;
      highMax_ = high;
      volumeMax_ = volumeMin_ = volume;
      any = true;
      continue;
    }
    min_ = std::min(min_, v);
    max_ = std::max(max_, v);
    lowMin_ = std::min(lowMin_, low);
    highMax_ = std::max(highMax_, high);
    volumeMax_ = std::max(volumeMax_, volume);
    volumeMin_ = std::min(volumeMin_, volume);
  }
  if (!any) {
    min_ = max_ = lowMin_ = highMax_ = 0;
  }
  if (highMax_ == 0) highMax_ = max_;
  if (lowMin_ == 0) lowMin_ = min_;
  if (max_ > highMax_) highMax_ = max_;
  // An isolated high more than 60 % above the highest close, or a low far below the lowest
  // close, is a bad tick, not the range to draw.
  if (highMax_ > 1.6 * max_) highMax_ = max_;
  if (lowMin_ * 1.1 < min_) lowMin_ = min_;

  top_ = highMax_;
  bottom_ = lowMin_ - (highMax_ - lowMin_) * 0.05;
  if (lowMin_ > 0 && bottom_ < 0) bottom_ = 0;
  if (top_ - bottom_ <= 0) {
    // A flat history (one point, a constant price, all zeros) has no range: one unit either
    // side, still not below 0 for a positive price.
    top_ += 1;
    bottom_ -= 1;
    if (lowMin_ > 0 && bottom_ < 0) bottom_ = 0;
  }
  Layout();  // the volume strip is there only when there are volumes
  scale_ = std::fabs(plotHeight_ / (top_ - bottom_));
  cursor_.reset();
}

void CChartPlot::PageChart(int direction) {
  const int count = static_cast<int>(points_.size());
  if (direction < 0) {
    if (first_ > 0) first_ = std::max(0, first_ - perScreen_);
  } else if (direction > 0) {
    if (first_ + perScreen_ < count) {
      first_ += perScreen_;
      if (first_ + perScreen_ > count) first_ = count - perScreen_;
    }
  }
  if (minMaxForRange_) LoadAndScale(true);
  cursor_.reset();
}

int CChartPlot::ValueY(double v) const {
  return bottomY_ - static_cast<int>((v - bottom_) * scale_);
}

std::string CChartPlot::DateLabel(StockTime date, bool withYear) const {
  const LocalTime lt = ToLocal(date);
  const int a = dayFirst_ ? lt.day : lt.month;
  const int b = dayFirst_ ? lt.month : lt.day;
  char buf[40];
  if (withYear) {
    const std::string year = std::to_string(lt.year);
    std::snprintf(buf, sizeof buf, "%d/%d/%s", a, b, year.c_str());
  } else {
    std::snprintf(buf, sizeof buf, "%d/%d", a, b);
  }
  return buf;
}

void CChartPlot::DrawChart(ChartCanvas& canvas) const {
  canvas.FillRect(0, 0, canvas.width(), canvas.height(), kChartBackground);
  if (points_.empty()) {
    canvas.Text(canvas.width() / 2, canvas.height() / 2 - kChartTextHeight / 2,
                strings::LoadString(strings::IDS_NO_DATA), kChartForeground, TextAlign::kCenter);
    return;
  }
  const int right = kOriginX + plotWidth_;
  const int plotTop = bottomY_ - plotHeight_;
  const bool volumes = kind_ == kStockHistory && volumeMax_ > 0;
  const int baseY = volumes ? volumeBaseY_ : bottomY_;

  // Axes.
  canvas.Line(kOriginX, plotTop, kOriginX, baseY, kChartForeground);
  canvas.Line(kOriginX, bottomY_, right, bottomY_, kChartForeground);
  if (volumes) canvas.Line(kOriginX, volumeBaseY_, right, volumeBaseY_, kChartForeground);

  // Value labels: the highest value, the lowest, and grid lines a third of the way between.
  const double upper = std::fabs(max_) >= 10 ? std::trunc(max_) : max_;
  const double lower = std::fabs(min_) >= 10 ? std::trunc(min_) : min_;
  auto label = [&](double value) {
    const int y = ValueY(value);
    canvas.Line(kOriginX - 2, y, kOriginX - 1, y, kChartForeground);
    if (bottomY_ - y >= 1) canvas.Line(kOriginX + 1, y, right, y, kChartGrid);
    // Right-aligned before the axis; a label wider than the margin starts at the left edge
    // instead of losing its first digits.
    const std::string text = AxisValueLabel(value);
    const int left = std::max(0, kOriginX - 3 - canvas.TextWidth(text));
    canvas.Text(left, std::max(0, y - kChartTextHeight / 2), text, kChartForeground,
                TextAlign::kLeft);
    return y;
  };
  const int upperY = label(upper);
  if (min_ != max_) {
    const int lowerY = label(lower);
    for (double part : {0.33333, 0.66666}) {
      const int y = ValueY(min_ + (max_ - min_) * part);
      if (std::abs(y - upperY) >= kChartTextHeight && std::abs(y - lowerY) >= kChartTextHeight) {
        canvas.Line(kOriginX + 1, y, right, y, kChartGrid);
      }
    }
  }

  // The zero line of a portfolio in and out of profit; the buy price of an owned stock.
  if (kind_ == kPortfolioHistory && max_ > 0 && min_ < 0) {
    const int y = ValueY(0);
    canvas.Line(kOriginX + 1, y, right, y, kChartGreen);
  }
  if (kind_ == kStockHistory && buyPrice_ > 0 && buyPrice_ >= bottom_ && buyPrice_ <= top_) {
    const int y = ValueY(buyPrice_);
    canvas.Line(kOriginX + 1, y, right, y, kChartGreen);
  }

  const int shown = DisplayedCount();
  // Dates: the first at the left end, then one every 36 pixels.
  const int dateY = baseY + 3;
  canvas.Text(kOriginX, dateY, DateLabel(points_[static_cast<std::size_t>(first_)].tDate, false),
              kChartForeground, TextAlign::kCenter);
  const int every = std::max(1, 36 / step_);
  for (int i = 2; i < shown; ++i) {
    if (i % every != 0) continue;
    const int x = kOriginX + i * step_;
    if (x > right) break;
    canvas.Line(x, baseY + 1, x, baseY + 2, kChartGrid);
    canvas.Text(x, dateY, DateLabel(points_[static_cast<std::size_t>(first_ + i)].tDate, false),
                kChartForeground, TextAlign::kCenter);
  }

  const double volumeScale = volumes ? kVolumeHeight / volumeMax_ : 0;
  int previousY = 0;
  for (int i = 0; i < shown; ++i) {
    const int x = kOriginX + i * step_;
    if (x > right) break;  // never past the plot's right end
    const ChartPoint& p = points_[static_cast<std::size_t>(first_ + i)];
    const int y = ValueY(PointValue(p));
    if (i > 0) canvas.Line(x - step_, previousY, x, y, kChartForeground);
    previousY = y;
    if (kind_ != kStockHistory) continue;
    const int half = step_ >= 4 ? 1 : 0;
    if (p.dwHigh > 0) {
      const int hy = ValueY(p.dwHigh / kStockScale);
      canvas.Line(x - half, hy, x + half, hy, kChartHigh);
    }
    if (p.dwLow > 0 && p.dwLow != p.dwHigh) {
      const int ly = ValueY(p.dwLow / kStockScale);
      canvas.Line(x - half, ly, x + half, ly, kChartLow);
    }
    if (volumes) {
      const int h = static_cast<int>(p.dwVolume * volumeScale);
      if (h > 0) canvas.Line(x, volumeBaseY_ - 1, x, volumeBaseY_ - h, kChartForeground);
    }
  }

  if (cursor_) {
    const int x = kOriginX + (*cursor_ - first_) * step_;
    canvas.InvertColumn(x, plotTop, baseY);
  }
}

std::optional<int> CChartPlot::HitTest(int x, int y) const {
  const int shown = DisplayedCount();
  if (shown == 0) return std::nullopt;
  if (x < kOriginX || x > kOriginX + plotWidth_ || y < 0 || y >= height_) return std::nullopt;
  const int i = std::min((x - kOriginX + step_ / 2) / step_, shown - 1);
  return first_ + i;
}

std::string CChartPlot::TrackStylus(int x, int y) {
  cursor_ = HitTest(x, y);
  if (!cursor_) return {};
  const ChartPoint& p = points_[static_cast<std::size_t>(*cursor_)];
  char value[48];
  std::snprintf(value, sizeof value, "%.4f", PointValue(p));
  char line[96];
  if (fullScreen_) {
    std::snprintf(line, sizeof line, "[%s] %s", DateLabel(p.tDate, true).c_str(), value);
  } else {
    std::snprintf(line, sizeof line, "%s - %s", DateLabel(p.tDate, false).c_str(), value);
  }
  return line;
}

std::optional<ChartPoint> CChartPlot::EndStylus() {
  std::optional<ChartPoint> p;
  if (cursor_ && *cursor_ >= 0 && *cursor_ < static_cast<int>(points_.size())) {
    p = points_[static_cast<std::size_t>(*cursor_)];
  }
  cursor_.reset();
  return p;
}

bool CChartPlot::AddReplaceEntry(StockTime date, const PointFigures& figures) {
  if (!charts_ || name_.empty()) return false;
  const bool ok = charts_->SetPoint(name_, market_, date, figures, StoredScale());
  Reload();
  LoadAndScale(true);
  return ok;
}

bool CChartPlot::DeleteEntry(StockTime date) {
  if (!charts_ || name_.empty()) return false;
  const bool ok = charts_->DeletePoint(name_, market_, date);
  Reload();
  LoadAndScale(true);
  return ok;
}

bool CChartPlot::DeleteChartRange(StockTime date, bool allRecords) {
  if (!charts_ || name_.empty()) return false;
  std::optional<std::pair<std::string, int>> which;
  if (!allRecords) which = std::make_pair(name_, market_);
  const bool ok = charts_->DeleteUpTo(which, date);
  Reload();
  LoadAndScale(true);
  return ok;
}

bool CChartPlot::DeleteChartData() {
  if (!charts_ || name_.empty()) return false;
  const bool ok = charts_->DeleteSeries(name_, market_);
  Reload();
  LoadAndScale(false);
  return ok;
}

bool CChartPlot::ToggleMinMaxRange() {
  minMaxForRange_ = !minMaxForRange_;
  LoadAndScale(true);
  return minMaxForRange_;
}

}  // namespace quillet
