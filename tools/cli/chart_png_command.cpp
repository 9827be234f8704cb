// `chart png` and `portfolio-chart png`: a chart as a picture, drawn by the same plot code and
// rasterizer as the program's Chart page and Portfolio Charts view, without a display.
#include <cstdio>
#include <fstream>
#include <ostream>
#include <sstream>

#include "charts/chart_setup.h"
#include "charts/raster_canvas.h"
#include "core/portfolio_math.h"
#include "core/price_history.h"
#include "tools/cli/cli.h"
#include "tools/cli/number_input.h"
#include "tools/cli/portfolio_commands.h"

namespace quillet::cli {
namespace {

// "WxH" in digits; large enough for axes and labels, small enough to stay a picture.
bool ParseSize(CliEnv& env, const std::string& text, int* width, int* height) {
  const std::size_t x = text.find_first_of("xX");
  std::int64_t w = 0;
  std::int64_t h = 0;
  std::ostringstream quiet;
  if (x == std::string::npos || !ReadWholeNumber(quiet, "", text.substr(0, x), 60, 4000, &w) ||
      !ReadWholeNumber(quiet, "", text.substr(x + 1), 80, 4000, &h)) {
    *env.err << "quillet-cli: --size: \"" << text
             << "\" is not WxH from 60x80 to 4000x4000 (e.g. 480x300)\n";
    return false;
  }
  *width = static_cast<int>(w);
  *height = static_cast<int>(h);
  return true;
}

bool ParseRange(const std::string& text, int* size) {
  if (text == "small")
    *size = 0;
  else if (text == "medium")
    *size = 1;
  else if (text == "big")
    *size = 2;
  else
    return false;
  return true;
}

// Writes the picture next to its place and renames it over, so a reader never sees half a file.
bool WritePicture(CliEnv& env, const std::string& path, const RasterCanvas& canvas) {
  const std::string tmp = path + ".tmp";
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    const std::string png = EncodePng(canvas);
    out.write(png.data(), static_cast<std::streamsize>(png.size()));
    out.flush();
    if (!out) {
      std::remove(tmp.c_str());
      *env.err << "quillet-cli: cannot write " << path << "\n";
      return false;
    }
  }
  if (std::rename(tmp.c_str(), path.c_str()) != 0) {
    std::remove(tmp.c_str());
    *env.err << "quillet-cli: cannot write " << path << "\n";
    return false;
  }
  return true;
}

int ChartUsage(CliEnv& env) {
  *env.err << "usage: quillet-cli chart png NAME MARKET FILE [--range small|medium|big] "
              "[--size WxH] [--rotated]\n";
  return 2;
}

int PortfolioUsage(CliEnv& env) {
  *env.err << "usage: quillet-cli portfolio-chart png N|all bar|pie|history FILE "
              "[--series cost|value|profit] [--size WxH]\n";
  return 2;
}

bool TakeFlag(std::vector<std::string>* args, std::string_view flag) {
  for (auto it = args->begin(); it != args->end(); ++it) {
    if (*it == flag) {
      args->erase(it);
      return true;
    }
  }
  return false;
}

}  // namespace

int RunChartPng(CliEnv& env, std::vector<std::string> args) {
  // args: NAME MARKET FILE [options]
  int width = kChartPageWidth;
  int height = kChartPageHeight;
  int range = -1;
  const bool rotated = TakeFlag(&args, "--rotated");
  if (auto size = TakeOptionValue(&args, "--size")) {
    if (!ParseSize(env, *size, &width, &height)) return kExitUsage;
  }
  if (auto r = TakeOptionValue(&args, "--range")) {
    if (!ParseRange(*r, &range)) return ChartUsage(env);
  }
  int market = 0;
  if (args.size() != 3 || !ParseIndex(args[1], &market)) return ChartUsage(env);
  PortfolioSession session(env);
  if (!session.Open()) return 1;
  PortfolioStore& s = session.store();
  if (range >= 0) s.ucChartSize = static_cast<BYTE>(range);
  CChartPlot plot(session.charts());
  const int drawWidth = rotated ? height : width;
  const int drawHeight = rotated ? width : height;
  if (market == kPortfolioSeriesMarket) {
    // A portfolio's history by its series name: the cost, as the view starts.
    int portfolio = 0;
    if (args[0].rfind("PORTFOLIO", 0) != 0 || !ParseIndex(args[0].substr(9), &portfolio)) {
      *env.err << "quillet-cli: a portfolio series is named PORTFOLIO<n>\n";
      return 2;
    }
    SetUpPortfolioPlot(plot, s, portfolio, kSeriesCost, drawWidth, drawHeight);
  } else {
    SetUpStockPlot(plot, s, args[0], market, StockOfSeries(s, args[0], market), drawWidth,
                   drawHeight);
  }
  if (plot.points().empty()) *env.err << "quillet-cli: no history, the picture says No Data\n";
  return WritePicture(env, args[2], DrawPlotPicture(plot, width, height, rotated)) ? 0 : 1;
}

int RunPortfolioChart(CliEnv& env, const std::vector<std::string>& argsIn) {
  std::vector<std::string> args = argsIn;
  int width = kPortfolioChartWidth;
  int height = kPortfolioChartHeight;
  int series = -1;
  if (auto size = TakeOptionValue(&args, "--size")) {
    if (!ParseSize(env, *size, &width, &height)) return kExitUsage;
  }
  if (auto v = TakeOptionValue(&args, "--series")) {
    if (*v == "cost")
      series = kSeriesCost;
    else if (*v == "value")
      series = kSeriesValue;
    else if (*v == "profit")
      series = kSeriesProfit;
    else
      return PortfolioUsage(env);
  }
  if (args.size() != 4 || args[0] != "png") return PortfolioUsage(env);
  int portfolio = PORTFOLIO_ALL;
  if (args[1] != "all" && (!ParseIndex(args[1], &portfolio) || portfolio >= kMaxPortfolios)) {
    return PortfolioUsage(env);
  }
  int mode = 0;
  if (args[2] == "bar")
    mode = kModeBar;
  else if (args[2] == "pie")
    mode = kModePie;
  else if (args[2] == "history")
    mode = kModeHistory;
  else
    return PortfolioUsage(env);
  PortfolioSession session(env);
  if (!session.Open()) return 1;
  PortfolioStore& s = session.store();
  if (portfolio != PORTFOLIO_ALL && portfolio >= s.wPortfolioCount) {
    *env.err << "quillet-cli: no portfolio " << portfolio << "\n";
    return 1;
  }
  if (series < 0) series = s.wPortfolioChartValue <= 2 ? s.wPortfolioChartValue : 0;
  // The view lists the holdings by quote symbol, so that lots of one stock come together.
  SortStocks(s, kSortSymbol, false, s.bWatchedAtBottom != 0);
  CChartPlot history(session.charts());
  if (mode == kModeHistory && portfolio != PORTFOLIO_ALL) {
    SetUpPortfolioPlot(history, s, portfolio, series, width, height);
  }
  RasterCanvas canvas(width, height);
  DrawPortfolioChart(canvas, s, &history, portfolio, mode, series);
  return WritePicture(env, args[3], canvas) ? 0 : 1;
}

}  // namespace quillet::cli
