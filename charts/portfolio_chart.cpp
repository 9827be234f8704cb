#include "charts/portfolio_chart.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "charts/bitmap_font.h"
#include "core/portfolio_math.h"
#include "core/quote_tables.h"
#include "core/string_table.h"
#include "platform/ascii.h"

namespace quillet {
namespace {

constexpr int kAxisX = 20;

std::string WholeNumber(double value) {
  char buf[48];
  std::snprintf(buf, sizeof buf, "%.0f", std::trunc(value));
  return buf;
}

}  // namespace

BarLayout ComputeBarLayout(int count, int plotWidth) {
  BarLayout l;
  if (count <= 0) return l;
  const int n = count;
  const int w = plotWidth;
  if (n < 8) {
    l.gap = 18;
    l.width = n == 1 ? 50 : n == 2 ? 25 : (w - 18 * n) / n;
  } else if (n <= 10) {
    l.gap = 14;
    l.width = (w - 14 * n) / n;
  } else if (n <= 15) {
    l.gap = 10;
    l.width = (w - 10 * n) / n;
  } else if (n <= 20) {
    l.gap = 7;
    l.width = (w - 7 * n) / n;
  } else {
    l.gap = 10;
    l.width = 5;
    if (15 * n > w) {
      // Narrower bars first, then narrower gaps, then the narrowest bar; once a bar of one
      // pixel after a gap of two does not fit either, that is as narrow as bars get and the
      // rest is clipped (lowering further would never end).
      while ((l.width + l.gap) * n > w) {
        if (l.width >= 3) {
          --l.width;
        } else if (l.gap >= 3) {
          --l.gap;
        } else if (l.width > 1) {
          --l.width;
        } else {
          break;
        }
      }
    } else if (15 * n < w) {
      for (int candidate = 19; candidate >= 5; --candidate) {
        if ((candidate + 10) * n < w) {
          l.width = candidate;
          break;
        }
      }
    }
  }
  // A plot too narrow for the fixed widths still shows each bar.
  l.width = std::max(l.width, 1);
  return l;
}

BarUnit ChooseBarUnit(const std::vector<ChartBar>& bars) {
  BarUnit unit;
  if (bars.empty()) return unit;
  double largest = bars.front().value;
  double smallest = bars.front().value;
  for (const ChartBar& b : bars) {
    largest = std::max(largest, b.value);
    smallest = std::min(smallest, b.value);
  }
  const bool anyPositive = largest > 0;
  if (anyPositive ? largest >= 1000000 : smallest <= -1000000) {
    unit = {1000000, "M"};
  } else if (anyPositive ? largest >= 1000 : smallest <= -1000) {
    unit = {1000, "K"};
  }
  return unit;
}

std::vector<ChartBar> CollectPortfolioBars(const PortfolioStore& s, int portfolio, bool sold,
                                           int series, bool names) {
  const int kind = series == 1 ? kValueCurrentValue : series == 2 ? kValueProfit : kValueCost;
  const int context = portfolio;  // PORTFOLIO_ALL converts into the base currency
  std::vector<ChartBar> bars;
  std::string previous;
  bool havePrevious = false;
  for (const auto& owned : s.stocks) {
    const StockRecord& r = *owned;
    if (!ViewFilter{portfolio, sold}.Contains(r) || r.IsWatched()) continue;
    const std::string quote = QuoteSymbol(r.Symbol(), r.ucMarket);
    const double value = StockValue(s, r, kind, context);
    if (havePrevious && EqualNoCase(quote, previous)) {
      bars.back().value += value;
      continue;
    }
    bars.push_back({std::string(names ? r.Name() : r.Symbol()), value});
    previous = quote;
    havePrevious = true;
  }
  return bars;
}

BarChartGeometry ComputeBarChartGeometry(const std::vector<ChartBar>& bars, int width, int height) {
  BarChartGeometry g;
  g.baseY = height - 32;
  g.plotWidth = std::max(width - 30, 1);
  g.plotHeight = std::max(g.baseY - 10, 1);
  double max = 0;
  double min = 0;
  for (const ChartBar& b : bars) {
    max = std::max(max, b.value);
    min = std::min(min, b.value);
  }
  // All bars 0: no range to scale; they stand on the zero line, which is the base line.
  g.scale = max > min ? g.plotHeight / (max - min) : 0;
  g.zeroY = g.baseY - static_cast<int>(-min * g.scale);
  g.layout = ComputeBarLayout(static_cast<int>(bars.size()), g.plotWidth);
  return g;
}

void DrawChartMessage(ChartCanvas& canvas, std::string_view text) {
  canvas.FillRect(0, 0, canvas.width(), canvas.height(), kChartBackground);
  std::vector<std::string_view> lines;
  while (true) {
    const std::size_t nl = text.find('\n');
    lines.push_back(text.substr(0, nl));
    if (nl == std::string_view::npos) break;
    text.remove_prefix(nl + 1);
  }
  int y = canvas.height() / 2 - static_cast<int>(lines.size()) * kChartTextHeight / 2;
  for (std::string_view line : lines) {
    canvas.Text(canvas.width() / 2, y, line, kChartForeground, TextAlign::kCenter);
    y += kChartTextHeight;
  }
}

void DrawBarChart(ChartCanvas& canvas, const std::vector<ChartBar>& bars) {
  if (bars.empty()) {
    DrawChartMessage(canvas, strings::LoadString(strings::IDS_NO_DATA));
    return;
  }
  canvas.FillRect(0, 0, canvas.width(), canvas.height(), kChartBackground);
  const BarChartGeometry g = ComputeBarChartGeometry(bars, canvas.width(), canvas.height());
  const int right = kAxisX + g.plotWidth;
  const BarUnit unit = ChooseBarUnit(bars);
  double max = 0;
  double min = 0;
  for (const ChartBar& b : bars) {
    max = std::max(max, b.value);
    min = std::min(min, b.value);
  }

  // The value axis: "0" and the unit letter, the extremes and their halves with grid lines.
  canvas.Line(kAxisX, g.baseY - g.plotHeight, kAxisX, g.baseY, kChartForeground);
  canvas.Text(kAxisX - 2, g.zeroY - kChartTextHeight / 2, "0", kChartForeground, TextAlign::kRight);
  if (!unit.letter.empty()) {
    canvas.Text(2, 0, unit.letter, kChartForeground, TextAlign::kLeft);
  }
  auto mark = [&](double value) {
    const int y = g.zeroY - static_cast<int>(value * g.scale);
    if (std::abs(y - g.zeroY) < kChartTextHeight) return;  // would run into the "0"
    canvas.Line(kAxisX + 1, y, right, y, kChartGrid);
    canvas.Text(kAxisX - 2, y - kChartTextHeight / 2, WholeNumber(value / unit.divisor),
                kChartForeground, TextAlign::kRight);
  };
  if (max > 0) {
    mark(max);
    mark(max / 2);
  }
  if (min < 0) {
    mark(min);
    mark(min / 2);
  }

  const BarLayout l = g.layout;
  int x = kAxisX + 1;
  for (std::size_t i = 0; i < bars.size(); ++i) {
    x += l.gap;
    if (x >= right) break;  // the bars that do not fit are clipped
    const int barRight = std::min(x + l.width, right);
    const COLORREF colour = kBarColours[i % 8];
    const int h = static_cast<int>(std::fabs(bars[i].value) * g.scale);
    if (h == 0) {
      canvas.Line(x, g.zeroY, barRight - 1, g.zeroY, colour);
    } else if (bars[i].value > 0) {
      canvas.FillRect(x, g.zeroY - h, barRight, g.zeroY, colour);
    } else {
      canvas.FillRect(x, g.zeroY + 1, barRight, g.zeroY + 1 + h, colour);
    }
    const int centre = x + l.width / 2;
    if (l.width > 4) canvas.Line(centre, g.baseY + 1, centre, g.baseY + 3, kChartForeground);
    canvas.Text(centre, g.baseY + 3 + static_cast<int>(i % 2) * 11, bars[i].label, kChartForeground,
                TextAlign::kCenter);
    x += l.width;
  }
  canvas.Line(kAxisX, g.zeroY, right, g.zeroY, kChartForeground);
}

void DrawPieChart(ChartCanvas& canvas, const std::vector<ChartBar>& bars) {
  if (bars.empty()) {
    DrawChartMessage(canvas, strings::LoadString(strings::IDS_NO_DATA));
    return;
  }
  double total = 0;
  for (const ChartBar& b : bars) {
    if (b.value > 0) total += b.value;
  }
  if (total <= 0) {
    DrawChartMessage(canvas, strings::LoadString(strings::IDS_NO_DATA_OR_NEGATIVE));
    return;
  }
  canvas.FillRect(0, 0, canvas.width(), canvas.height(), kChartBackground);
  const int cx = canvas.width() / 2;
  const int cy = canvas.height() / 2 - 5;
  const int radius = std::max(std::min(canvas.width(), canvas.height()) / 2 - 20, 4);
  // Slices from twelve o'clock, clockwise, in list order.
  double start = 90;
  for (std::size_t i = 0; i < bars.size(); ++i) {
    if (bars[i].value <= 0) continue;
    const double sweep = bars[i].value / total * 360.0;
    canvas.PieSlice(cx, cy, radius, start - sweep, sweep, kBarColours[i % 8]);
    if (sweep >= 15) {
      const double mid = (start - sweep / 2) * 3.14159265358979 / 180.0;
      const int lx = cx + static_cast<int>(std::cos(mid) * radius * 0.65);
      const int ly = cy - static_cast<int>(std::sin(mid) * radius * 0.65);
      canvas.Text(lx, ly - kChartTextHeight / 2, bars[i].label, RGB(255, 255, 255),
                  TextAlign::kCenter);
    }
    start -= sweep;
  }
}

}  // namespace quillet
