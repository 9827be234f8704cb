// `chart ...` edits the price-history store of a device root; `dump charts` prints it. They call
// the store exactly as the program does, so scripts and black-box tests can drive it.
#include <cstdio>
#include <cstdlib>
#include <ostream>

#include "core/chart_store.h"
#include "platform/clock.h"
#include "tools/cli/cli.h"
#include "tools/cli/number_input.h"
#include "tools/cli/portfolio_commands.h"

namespace quillet::cli {
namespace {

int Usage(CliEnv& env) {
  *env.err
      << "usage: quillet-cli chart add|set NAME MARKET DATE PRICE [LOW HIGH [VOLUME]]\n"
         "       quillet-cli chart delete-point NAME MARKET DATE\n"
         "       quillet-cli chart delete-up-to (NAME MARKET | --all) DATE\n"
         "       quillet-cli chart delete NAME MARKET\n"
         "       quillet-cli chart png NAME MARKET FILE [--range small|medium|big] [--size WxH] "
         "[--rotated]\n"
         "DATE is YYYY-MM-DD or YYYY-MM-DDTHH:MM in local time, or @SECONDS since 1970.\n"
         "Market 255 is a portfolio series (whole amounts, may be negative).\n";
  return 2;
}

bool ParseMarket(CliEnv& env, const std::string& text, int* market) {
  std::int64_t v = 0;
  if (!ReadWholeNumber(*env.err, "MARKET", text, 0, 255, &v)) return false;
  *market = static_cast<int>(v);
  return true;
}

// The figures of a point as the store can keep them: a stock's prices in 32 bits with 4
// decimals (never below 0), a portfolio's amounts as signed 32-bit whole units, volumes as
// unsigned 32-bit counts. Anything else would be kept as some other figure.
bool ParseFigures(CliEnv& env, const std::vector<std::string>& args, bool portfolio,
                  PointFigures* f) {
  const DecimalRule price = portfolio ? DecimalRule{.min = -2147483648.0, .max = 2147483647.0}
                                      : DecimalRule{.min = 0, .max = 429496.7295};
  if (!ReadDecimalNumber(*env.err, "PRICE", args[4], '.', price, &f->price)) return false;
  f->low = f->high = f->price;
  if (args.size() >= 7 && (!ReadDecimalNumber(*env.err, "LOW", args[5], '.', price, &f->low) ||
                           !ReadDecimalNumber(*env.err, "HIGH", args[6], '.', price, &f->high))) {
    return false;
  }
  std::int64_t volume = 0;
  if (args.size() == 8) {
    if (!ReadWholeNumber(*env.err, "VOLUME", args[7], 0, 0xFFFFFFFFLL, &volume)) return false;
    f->volume = static_cast<double>(volume);
  }
  return true;
}

bool ParseDate(CliEnv& env, const std::string& text, StockTime* date) {
  auto d = ParseCliDate(text);
  if (!d) {
    *env.err << "quillet-cli: DATE: " << text
             << " is not YYYY-MM-DD, YYYY-MM-DDTHH:MM or @SECONDS\n";
    return false;
  }
  *date = *d;
  return true;
}

// Opens the chart store of the device root; null after printing why.
std::unique_ptr<ChartStore> OpenCharts(CliEnv& env) {
  PlatformContext* ctx = env.Device();
  if (!ctx) return nullptr;
  auto charts = std::make_unique<ChartStore>(ctx->objectStore(), ctx->messageBoxes());
  if (!charts->OpenChartStore()) {
    *env.err << "quillet-cli: Unable to open chart db\n";
    return nullptr;
  }
  return charts;
}

std::string FormatDateTime(StockTime t) {
  LocalTime lt = ToLocal(t);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d", lt.year, lt.month, lt.day,
                lt.hour, lt.minute, lt.second);
  return buf;
}

// A stored figure as text: prices with 4 decimals, portfolio amounts signed.
std::string Figure(DWORD stored, bool portfolio) {
  char buf[32];
  if (portfolio) {
    std::snprintf(buf, sizeof buf, "%d", SignedAmount(stored));
  } else {
    std::snprintf(buf, sizeof buf, "%u.%04u", stored / 10000, stored % 10000);
  }
  return buf;
}

}  // namespace

int DumpCharts(CliEnv& env, bool json) {
  auto charts = OpenCharts(env);
  if (!charts) return 1;
  std::ostream& out = *env.out;
  bool first = true;
  if (json) out << "[";
  for (auto s = charts->SeriesAt(true); s; s = charts->SeriesAt(false)) {
    bool portfolio = s->ucMarket == kPortfolioSeriesMarket;
    if (json) {
      out << (first ? "\n" : ",\n") << "  {\"name\": " << JsonString(s->name())
          << ", \"market\": " << int{s->ucMarket} << ", \"points\": [";
      bool firstPoint = true;
      for (const ChartPoint& p : s->points) {
        out << (firstPoint ? "" : ", ") << "{\"date\": \"" << FormatDateTime(p.tDate)
            << "\", \"time\": " << p.tDate << ", \"price\": " << Figure(p.dwPrice, portfolio)
            << ", \"low\": " << Figure(p.dwLow, portfolio)
            << ", \"high\": " << Figure(p.dwHigh, portfolio) << ", \"volume\": " << p.dwVolume
            << "}";
        firstPoint = false;
      }
      out << "]}";
    } else {
      out << s->name() << " market " << int{s->ucMarket} << " points " << s->points.size() << "\n";
      for (const ChartPoint& p : s->points) {
        out << "  " << FormatDateTime(p.tDate) << " " << Figure(p.dwPrice, portfolio) << " "
            << Figure(p.dwLow, portfolio) << " " << Figure(p.dwHigh, portfolio) << " " << p.dwVolume
            << "\n";
      }
    }
    first = false;
  }
  if (json) out << (first ? "]\n" : "\n]\n");
  return 0;
}

int RunChart(CliEnv& env, const std::vector<std::string>& args) {
  if (args.empty()) return Usage(env);
  const std::string& verb = args[0];
  if (verb == "png")
    return RunChartPng(env, std::vector<std::string>(args.begin() + 1, args.end()));
  int market = 0;
  StockTime date = 0;
  if (verb == "delete-up-to" && args.size() == 3 && args[1] == "--all") {
    if (!ParseDate(env, args[2], &date)) return kExitUsage;
    auto charts = OpenCharts(env);
    return charts && charts->DeleteUpTo(std::nullopt, date) ? 0 : 1;
  }
  if (args.size() < 3) return Usage(env);
  if (!ParseMarket(env, args[2], &market)) return kExitUsage;
  const std::string& name = args[1];
  // A series name longer than the record's field would be cut and name another series.
  if (name.empty() || name.size() > kSeriesNameLength) {
    *env.err << "quillet-cli: NAME: 1 to " << kSeriesNameLength << " characters\n";
    return kExitUsage;
  }
  const bool portfolio = market == kPortfolioSeriesMarket;
  double scale = portfolio ? kPortfolioScale : kStockScale;

  if (verb == "add" || verb == "set") {
    if (args.size() < 5 || args.size() > 8 || args.size() == 6) return Usage(env);
    PointFigures f;
    if (!ParseDate(env, args[3], &date) || !ParseFigures(env, args, portfolio, &f)) {
      return kExitUsage;
    }
    auto charts = OpenCharts(env);
    if (!charts) return 1;
    bool ok = verb == "add" ? charts->AddDailyPoint(name, market, date, f, scale)
                            : charts->SetPoint(name, market, date, f, scale);
    if (!ok) *env.err << "quillet-cli: the point could not be written\n";
    return ok ? 0 : 1;
  }
  if (verb == "delete-point" || verb == "delete-up-to") {
    if (args.size() != 4) return Usage(env);
    if (!ParseDate(env, args[3], &date)) return kExitUsage;
    auto charts = OpenCharts(env);
    if (!charts) return 1;
    if (!charts->HasSeries(name, market)) {
      *env.err << "quillet-cli: no series " << name << " on market " << market << "\n";
      return 1;
    }
    bool ok = verb == "delete-point" ? charts->DeletePoint(name, market, date)
                                     : charts->DeleteUpTo(std::make_pair(name, market), date);
    return ok ? 0 : 1;
  }
  if (verb == "delete") {
    if (args.size() != 3) return Usage(env);
    auto charts = OpenCharts(env);
    if (!charts) return 1;
    if (!charts->HasSeries(name, market)) {
      *env.err << "quillet-cli: no series " << name << " on market " << market << "\n";
      return 1;
    }
    return charts->DeleteSeries(name, market) ? 0 : 1;
  }
  return Usage(env);
}

}  // namespace quillet::cli
