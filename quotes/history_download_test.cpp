#include "quotes/history_download.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "core/chart_store.h"
#include "platform/socket.h"
#include "platform/testing/test_support.h"
#include "quotes/quote_client.h"
#include "quotes/testing/client_kit.h"
#include "quotes/testing/quote_sim_process.h"

namespace quillet {
namespace {

using testing::QuoteSimProcess;
using testing::ScopedTimeZone;
using testing::TestRoot;

constexpr std::int64_t kFriday = 1051891200;  // 2003-05-02 16:00 UTC

StockTime Day(int year, int month, int day) { return FromLocal(year, month, day).value(); }

// Parses a history answer body without a network.
struct Parsed {
  explicit Parsed(std::string body)
      : client(ClientVariant::kDesktop, kit.Services(sockets)), clock(kFriday) {
    sockets.answer = "HTTP/1.0 200 OK\r\nContent-Type: text/csv\r\n\r\n" + body;
    client.SetParser(kSourceHistory,
                     [this](CQuoteClient& c) { return ParseHistoryCsv(c, points, clock); });
    client.BeginRequestWithPath(kSourceHistory, "/table.csv?s=X");
    client.EndRequest();
    code = client.Execute();
  }
  ScriptedSockets sockets;
  testing::ClientKit kit;
  CQuoteClient client;
  ManualClock clock;
  std::vector<ChartPoint> points;
  int code = -1;
};

std::unique_ptr<StockRecord> Stock(const char* symbol, int market, BYTE status = kStatusActive) {
  auto stock = std::make_unique<StockRecord>();
  CopyToField(stock->szSymbol, symbol);
  stock->ucMarket = static_cast<BYTE>(market);
  stock->ucStatus = status;
  return stock;
}

TEST(HistoryCsv, FullLayoutGivesEveryFigure) {
  ScopedTimeZone tz("UTC");
  Parsed p(
      "Date,Open,High,Low,Close,Volume\n"
      "2-May-03,84.00,84.90,83.10,84.50,5432100\n"
      "1-May-03,83.00,83.99995,82.123449,83.75,99999999999\n");
  EXPECT_EQ(p.code, QR_OK);
  ASSERT_EQ(p.points.size(), 2u);
  EXPECT_EQ(p.points[0].tDate, Day(2003, 5, 2) + 60);
  EXPECT_EQ(p.points[0].dwPrice, 845000u);
  EXPECT_EQ(p.points[0].dwHigh, 849000u);
  EXPECT_EQ(p.points[0].dwLow, 831000u);
  EXPECT_EQ(p.points[0].dwVolume, 5432100u);
  // Figures rounded at 4 decimals; a volume beyond 32 bits is kept at the largest.
  EXPECT_EQ(p.points[1].dwHigh, 840000u);
  EXPECT_EQ(p.points[1].dwLow, 821234u);
  EXPECT_EQ(p.points[1].dwVolume, 0xFFFFFFFFu);
}

TEST(HistoryCsv, ShortLayoutGivesDateAndCloseOnly) {
  ScopedTimeZone tz("UTC");
  Parsed p("Date,Close\n2-May-03,84.50\n");
  ASSERT_EQ(p.points.size(), 1u);
  EXPECT_EQ(p.points[0].tDate, Day(2003, 5, 2) + 60);
  EXPECT_EQ(p.points[0].dwPrice, 845000u);
  EXPECT_EQ(p.points[0].dwLow, 0u);
  EXPECT_EQ(p.points[0].dwHigh, 0u);
  EXPECT_EQ(p.points[0].dwVolume, 0u);
}

TEST(HistoryCsv, NoDataEndsTheAnswerAsAFailure) {
  Parsed p("Date,Open,High,Low,Close,Volume\nNo data available\n2-May-03,1,1,1,1,1\n");
  EXPECT_EQ(p.code, QR_ERROR);
  EXPECT_TRUE(p.points.empty());
}

TEST(HistoryCsv, LinesThatAreNoTradingDayAreSkipped) {
  ScopedTimeZone tz("UTC");
  Parsed p(
      "Date,Open,High,Low,Close,Volume\n"
      "\n"
      "2-May-03,84.00,84.90\n"
      "garbage,1,2,3,4,5\n"
      "1-May-03,1,2,3,N/A,5\n"
      "30-Apr-03,1,2,3,4,5");
  ASSERT_EQ(p.points.size(), 1u);
  EXPECT_EQ(p.points[0].tDate, Day(2003, 4, 30) + 60);
  EXPECT_EQ(p.points[0].dwPrice, 40000u);

  Parsed headersOnly("");
  EXPECT_EQ(headersOnly.code, QR_OK);
  EXPECT_TRUE(headersOnly.points.empty());
}

// The history host simulated, a device chart store and the download's log.
class Download : public ::testing::Test {
 protected:
  Download()
      : tz("UTC"),
        clock(kFriday),
        charts(root.ctx->objectStore(), root.ctx->messageBoxes()),
        client(ClientVariant::kDesktop, kit.Services()) {}

  void Start(std::vector<std::string> args = {}) {
    sim = std::make_unique<QuoteSimProcess>(std::move(args), kFriday);
    ASSERT_TRUE(sim->running());
    ASSERT_TRUE(charts.OpenChartStore());
    client.SetServerOverride(QuoteEndpoint{"127.0.0.1", sim->port()});
    settings.tHistoryStart = Day(2002, 5, 20);  // 250 weekdays up to Friday 2 May 2003
    settings.dwTimeout = 5;
    settings.bRetry = false;
    hooks.log = [this](std::string_view line) { log.emplace_back(line); };
  }
  int Run() { return DownloadPriceHistory(client, stocks, charts, settings, clock, hooks); }

  ScopedTimeZone tz;
  ManualClock clock;
  TestRoot root;
  ChartStore charts;
  testing::ClientKit kit;
  CQuoteClient client;
  std::unique_ptr<QuoteSimProcess> sim;
  std::vector<std::unique_ptr<StockRecord>> stocks;
  HistoryDownloadSettings settings;
  HistoryDownloadHooks hooks;
  std::vector<std::string> log;
};

TEST_F(Download, AYearOfDaysIsStoredOldestFirst) {
  Start();
  stocks.push_back(Stock("IBM", 0));
  ASSERT_EQ(Run(), QR_OK);
  auto series = charts.FindSeries("IBM", 0);
  ASSERT_TRUE(series);
  ASSERT_EQ(series->points.size(), 250u);
  EXPECT_EQ(series->points.front().tDate, Day(2002, 5, 20) + 60);
  EXPECT_EQ(series->points.back().tDate, Day(2003, 5, 2) + 60);
  for (std::size_t i = 1; i < series->points.size(); ++i) {
    EXPECT_LT(series->points[i - 1].tDate, series->points[i].tDate);
  }
  for (const ChartPoint& p : series->points) {
    EXPECT_LE(p.dwLow, p.dwPrice);
    EXPECT_GE(p.dwHigh, p.dwPrice);
    EXPECT_GT(p.dwVolume, 0u);
  }
  EXPECT_EQ(log, (std::vector<std::string>{"Quillet: Imported chart data for: IBM (250 days)",
                                           "Quillet: Imported [1] chart records"}));
}

TEST_F(Download, RequestCountsMonthsFromZero) {
  Start();
  settings.tHistoryStart = Day(2002, 1, 15);
  clock.Set(Day(2003, 3, 3) + 12 * 3600);
  settings.bAllStocks = false;
  settings.symbols[0] = "IBM";
  Run();
  auto requests = sim->Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].rfind("GET /table.csv?a=0&b=15&c=2002&d=2&e=3&f=2003&g=d&y=0&ignore=.csv"
                              "&s=IBM HTTP/1.0\r\n",
                              0),
            0u);
}

TEST_F(Download, LondonPenceAreDividedBy100) {
  Start();
  stocks.push_back(Stock("VOD", 14));  // London (pence)
  stocks.push_back(Stock("VOD", 75));  // London: the same quote symbol
  ASSERT_EQ(Run(), QR_OK);
  auto pence = charts.FindSeries("VOD.L", 14);
  ASSERT_TRUE(pence);
  EXPECT_FALSE(charts.FindSeries("VOD.L", 75)) << "the same symbol is not asked again";
  ASSERT_EQ(pence->points.size(), 250u);

  // The same answer stored for market 0 shows the division.
  stocks.clear();
  stocks.push_back(Stock("VOD.L", 0));
  ASSERT_EQ(Run(), QR_OK);
  auto plain = charts.FindSeries("VOD.L", 0);
  ASSERT_TRUE(plain);
  ASSERT_EQ(plain->points.size(), 250u);
  for (std::size_t i = 0; i < plain->points.size(); ++i) {
    EXPECT_EQ(pence->points[i].tDate, plain->points[i].tDate);
    EXPECT_EQ(pence->points[i].dwPrice, plain->points[i].dwPrice / 100);
    EXPECT_EQ(pence->points[i].dwLow, plain->points[i].dwLow / 100);
    EXPECT_EQ(pence->points[i].dwHigh, plain->points[i].dwHigh / 100);
    EXPECT_EQ(pence->points[i].dwVolume, plain->points[i].dwVolume);
  }
}

TEST_F(Download, DateAndCloseHistory) {
  Start({"--history-layout", "short"});
  stocks.push_back(Stock("IBM", 0));
  ASSERT_EQ(Run(), QR_OK);
  auto series = charts.FindSeries("IBM", 0);
  ASSERT_TRUE(series);
  ASSERT_EQ(series->points.size(), 250u);
  EXPECT_EQ(series->points.back().tDate, Day(2003, 5, 2) + 60);
  for (const ChartPoint& p : series->points) {
    EXPECT_GT(p.dwPrice, 0u);
    EXPECT_EQ(p.dwLow, 0u);
    EXPECT_EQ(p.dwHigh, 0u);
    EXPECT_EQ(p.dwVolume, 0u);
  }
}

TEST_F(Download, AllStocksTakesThePricedCsvStocksOnce) {
  Start({"--unknown", "NOPE"});
  stocks.push_back(Stock("IBM", 0));
  stocks.push_back(Stock("ibm", 0, kStatusWatched));  // same symbol again
  stocks.push_back(Stock("SOLD", 0, kStatusSold));
  stocks.push_back(Stock("BAY", 11));  // Frankfurt: CSV (Europe)
  stocks.push_back(Stock("ABC", 70));  // Johannesburg: a page source
  stocks.push_back(Stock("   ", 0));   // no symbol
  stocks.push_back(Stock("NOPE", 0));
  Run();
  std::vector<std::string> paths;
  for (const std::string& head : sim->Requests()) {
    paths.push_back(head.substr(head.find("&s=") + 3, head.find(" HTTP") - head.find("&s=") - 3));
  }
  EXPECT_EQ(paths, (std::vector<std::string>{"IBM", "BAY.F", "NOPE"}));
  EXPECT_TRUE(charts.FindSeries("BAY.F", 11));
  // The unknown symbol's "No data" is a failure with nothing imported.
  EXPECT_FALSE(charts.FindSeries("NOPE", 0));
  EXPECT_EQ(log.at(log.size() - 3), "Quillet: cannot retrieve chart data for [NOPE]");
  EXPECT_EQ(log.at(log.size() - 2), "Quillet: Imported chart data for: NOPE (0 days)");
  EXPECT_EQ(log.back(), "Quillet: Imported [2] chart records");
}

TEST_F(Download, ListedSymbolsFindTheirMarkets) {
  stocks.push_back(Stock("RIO", 24));
  stocks.push_back(Stock("RIO", 25));
  EXPECT_EQ(MarketOfListedSymbol("VOD.l", stocks), 14) << "the first market with that suffix";
  EXPECT_EQ(MarketOfListedSymbol("BAY.F", stocks), 11);
  EXPECT_EQ(MarketOfListedSymbol("RIO", stocks), 25) << "the last stock with that symbol";
  EXPECT_EQ(MarketOfListedSymbol("IBM", stocks), 0);
  EXPECT_EQ(MarketOfListedSymbol("X.NOSUCH", stocks), 0);

  Start();
  settings.bAllStocks = false;
  settings.symbols[0] = "BAY.F";
  settings.symbols[1] = "RIO";
  settings.symbols[3] = "NEVER";  // after the first empty entry
  ASSERT_EQ(Run(), QR_OK);
  EXPECT_EQ(sim->Requests().size(), 2u);
  EXPECT_TRUE(charts.FindSeries("BAY.F", 11));
  EXPECT_TRUE(charts.FindSeries("RIO", 25));
}

TEST_F(Download, CancelStopsBetweenSymbols) {
  Start();
  stocks.push_back(Stock("IBM", 0));
  stocks.push_back(Stock("MSFT", 0));
  int asked = 0;
  hooks.cancelled = [&asked] { return ++asked > 1; };
  Run();
  EXPECT_EQ(sim->Requests().size(), 1u);
}

TEST_F(Download, TimeOutsAreRetriedWhenAskedTo) {
  Start({"--silent"});
  stocks.push_back(Stock("IBM", 0));
  // The client counts whole seconds: 2 means each attempt waits more than one second, so no
  // attempt can give up before its request has been sent.
  hooks.retryTimeout = 2;
  settings.bRetry = true;
  EXPECT_EQ(Run(), QR_TIMEOUT);
  // The last attempt may give up before the simulator has logged its request.
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  while (sim->Requests().size() < 3 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(sim->Requests().size(), 3u);
  EXPECT_EQ(log, (std::vector<std::string>{"Quillet: Timeout operation retrieving chart data",
                                           "Quillet: Imported chart data for: IBM (0 days)",
                                           "Quillet: Imported [0] chart records"}));
}

TEST(DownloadHistory, AnAnswerCutShortKeepsTheStoredHistory) {
  ScopedTimeZone tz("UTC");
  TestRoot root;
  ChartStore charts(root.ctx->objectStore(), root.ctx->messageBoxes());
  ASSERT_TRUE(charts.OpenChartStore());
  ChartSeries old;
  CopyToField(old.szName, "IBM");
  old.points = {{Day(2001, 1, 2) + 60, 10000, 9000, 11000, 5}};
  ASSERT_TRUE(charts.WriteSeries(old));

  // The newest day arrives, then the server falls silent until the time-out.
  std::string head = "HTTP/1.0 200 OK\r\n\r\nDate,Open,High,Low,Close,Volume\n";
  ScriptedSockets sockets;
  sockets.answer = head + "2-May-03,84.00,84.90,83.10,84.50,5432100\n1-May-03,1,1,1,1,1\n";
  sockets.stallAfter = head.size() + 41;  // the first day's line
  testing::ClientKit kit;
  CQuoteClient client(ClientVariant::kDesktop, kit.Services(sockets));
  std::vector<std::unique_ptr<StockRecord>> stocks;
  stocks.push_back(Stock("IBM", 0));
  HistoryDownloadSettings settings;
  settings.bRetry = false;
  settings.dwTimeout = 0;
  ManualClock clock(kFriday);
  EXPECT_EQ(DownloadPriceHistory(client, stocks, charts, settings, clock, {}), QR_TIMEOUT);
  auto series = charts.FindSeries("IBM", 0);
  ASSERT_TRUE(series);
  ASSERT_EQ(series->points.size(), 1u);
  EXPECT_EQ(series->points[0].dwPrice, 10000u);
}

TEST(DownloadHistory, RepeatedDaysKeepOnePointEach) {
  ScopedTimeZone tz("UTC");
  TestRoot root;
  ChartStore charts(root.ctx->objectStore(), root.ctx->messageBoxes());
  ASSERT_TRUE(charts.OpenChartStore());
  ScriptedSockets sockets;
  sockets.answer =
      "HTTP/1.0 200 OK\r\n\r\nDate,Close\n2-May-03,3\n2-May-03,2\n5-May-03,9\n1-May-03,1\n";
  testing::ClientKit kit;
  CQuoteClient client(ClientVariant::kDesktop, kit.Services(sockets));
  std::vector<std::unique_ptr<StockRecord>> stocks;
  stocks.push_back(Stock("IBM", 0));
  HistoryDownloadSettings settings;
  ManualClock clock(kFriday);
  ASSERT_EQ(DownloadPriceHistory(client, stocks, charts, settings, clock, {}), QR_OK);
  auto series = charts.FindSeries("IBM", 0);
  ASSERT_TRUE(series);
  // Sorted by day, oldest first; of the repeated 2 May the line listed first is kept.
  std::vector<DWORD> prices;
  for (const ChartPoint& p : series->points) prices.push_back(p.dwPrice);
  EXPECT_EQ(prices, (std::vector<DWORD>{10000, 30000, 90000}));
}

TEST(DownloadHistory, AnAnswerLongerThanASeriesKeepsTheNewestDays) {
  ScopedTimeZone tz("UTC");
  TestRoot root;
  ChartStore charts(root.ctx->objectStore(), root.ctx->messageBoxes());
  ASSERT_TRUE(charts.OpenChartStore());
  // 3300 days, newest first, as the history host lists them: the price is the day's number.
  std::string answer = "HTTP/1.0 200 OK\r\n\r\nDate,Close\n";
  const StockTime newest = Day(2003, 5, 2);
  for (int i = 0; i < 3300; ++i) {
    const LocalTime d = ToLocal(static_cast<std::int64_t>(newest) - 86400LL * i);
    static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    char line[64];
    std::snprintf(line, sizeof line, "%d-%s-%02d,%d\n", d.day, kMonths[d.month - 1], d.year % 100,
                  3300 - i);
    answer += line;
  }
  ScriptedSockets sockets;
  sockets.answer = answer;
  testing::ClientKit kit;
  CQuoteClient client(ClientVariant::kDesktop, kit.Services(sockets));
  std::vector<std::unique_ptr<StockRecord>> stocks;
  stocks.push_back(Stock("IBM", 0));
  HistoryDownloadSettings settings;
  ManualClock clock(kFriday);
  ASSERT_EQ(DownloadPriceHistory(client, stocks, charts, settings, clock, {}), QR_OK);
  auto series = charts.FindSeries("IBM", 0);
  ASSERT_TRUE(series);
  ASSERT_EQ(series->points.size(), kMaxChartPoints);
  EXPECT_EQ(series->points.back().dwPrice, 3300u * 10000);
  EXPECT_EQ(series->points.back().tDate, newest + 60);
  EXPECT_EQ(series->points.front().dwPrice, (3300u - 3198) * 10000);
}

}  // namespace
}  // namespace quillet
