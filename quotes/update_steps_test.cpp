// The shared update steps without a network: the requests they build, and what the results of
// a request do to the stocks, the currency table and the price history.
#include "quotes/update_steps.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "platform/testing/test_support.h"
#include "quotes/testing/client_kit.h"
#include "quotes/testing/quote_sim_process.h"

namespace quillet {
namespace {

using quillet::testing::TestRoot;

std::unique_ptr<StockRecord> Stock(std::string_view symbol, int market = 0,
                                   int status = kStatusActive, std::string_view price = "") {
  auto r = std::make_unique<StockRecord>();
  std::memset(r.get(), 0, sizeof(StockRecord));
  CopyToField(r->szSymbol, symbol);
  r->ucMarket = static_cast<BYTE>(market);
  r->ucStatus = static_cast<BYTE>(status);
  CopyToField(r->szPrice, price);
  return r;
}

// The symbol text of the client's request after the source's path prefix.
std::string Symbols(const CQuoteClient& client, std::size_t start) {
  return std::string(client.request().substr(start));
}

int Count(std::string_view text, char separator) {
  return text.empty() ? 0 : 1 + static_cast<int>(std::count(text.begin(), text.end(), separator));
}

class Recorder final : public UpdateLog {
 public:
  void Append(std::string_view line) override { lines.emplace_back(line); }
  std::vector<std::string> lines;
};

class Points final : public DailyPointWriter {
 public:
  struct Point {
    std::string name;
    int market;
    StockTime date;
    PointFigures f;
  };
  bool AddDailyPoint(std::string_view name, int market, StockTime date,
                     const PointFigures& f) override {
    points.push_back({std::string(name), market, date, f});
    return succeed;
  }
  std::vector<Point> points;
  bool succeed = true;
};

class BuildQuery : public ::testing::Test {
 protected:
  // Builds every batch of a source and returns their symbol texts.
  std::vector<std::string> Batches(int source) {
    std::vector<std::string> batches;
    int resume = 0;
    std::string last;
    do {
      client.BeginRequest(source);
      std::size_t start = client.requestLength();
      if (!BuildSymbolQuery(stocks, client, source, &resume, &last)) break;
      batches.push_back(Symbols(client, start));
    } while (resume > 0);
    return batches;
  }
  std::vector<std::unique_ptr<StockRecord>> stocks;
  testing::ClientKit kit;
  CQuoteClient client{ClientVariant::kDevice, kit.Services()};
};

TEST_F(BuildQuery, BatchesOf150AndOf18ForTheListSource) {
  for (int i = 0; i < 200; ++i) stocks.push_back(Stock("S" + std::to_string(i)));
  auto us = Batches(0);
  ASSERT_EQ(us.size(), 2u);
  EXPECT_EQ(Count(us[0], '+'), 150);
  EXPECT_EQ(Count(us[1], '+'), 50);
  EXPECT_EQ(us[0].substr(0, 6), "S0+S1+");
  EXPECT_EQ(us[1].substr(0, 5), "S150+");

  stocks.clear();
  for (int i = 0; i < 40; ++i) stocks.push_back(Stock("Z" + std::to_string(i), 44));
  auto zurich = Batches(kListSource);
  ASSERT_EQ(zurich.size(), 3u);
  EXPECT_EQ(Count(zurich[0], '|'), 18);
  EXPECT_EQ(Count(zurich[1], '|'), 18);
  EXPECT_EQ(Count(zurich[2], '|'), 4);
}

TEST_F(BuildQuery, LongSymbolsStopAtTheRequestLimit) {
  for (int i = 0; i < 120; ++i) {
    stocks.push_back(Stock("LONGSYMBOL" + std::to_string(10000 + i)));  // 15 characters
  }
  auto batches = Batches(0);
  ASSERT_EQ(batches.size(), 2u);
  int total = 0;
  for (const auto& b : batches) total += Count(b, '+');
  EXPECT_EQ(total, 120);
  // The first request went past 974 characters with its last symbol, never by more than one.
  client.BeginRequest(0);
  const std::size_t prefix = client.requestLength();
  EXPECT_GE(prefix + batches[0].size(), kRequestSymbolLimit);
  EXPECT_LT(prefix + batches[0].size(), kRequestSymbolLimit + 16);
}

TEST_F(BuildQuery, WhoIsAskedAndWhichSourcesAreNeeded) {
  stocks.push_back(Stock("AAA"));
  stocks.push_back(Stock("OLD", 0, kStatusSold));
  stocks.push_back(Stock("WAT", 0, kStatusWatched));
  stocks.push_back(Stock("dup"));
  stocks.push_back(Stock("DUP"));  // next to the same symbol: asked once
  stocks.push_back(Stock("   "));  // no symbol at all
  stocks.push_back(Stock("SAP", 11));
  stocks.push_back(Stock("GONE", 46));               // never priced
  stocks.push_back(Stock("NOUP", kMarketNoUpdate));  // "No Update"
  stocks.push_back(Stock("UBS", 44, kStatusSold));
  EXPECT_EQ(Batches(0), (std::vector<std::string>{"AAA+WAT+dup"}));
  const auto& needed = client.neededSources();
  EXPECT_EQ(needed[kSourceCsvEurope], 1);
  EXPECT_EQ(needed[kListSource], 1);  // a sold stock still marks its source
  EXPECT_EQ(needed[kSourcePlaceholder], 1);
  EXPECT_EQ(needed[2], 0);
  EXPECT_EQ(Batches(kSourceCsvEurope), (std::vector<std::string>{"SAP.F"}));
  EXPECT_TRUE(Batches(kListSource).empty());
}

TEST_F(BuildQuery, CurrencyPairsLeaveOutFixedEuroRates) {
  CurrencyEntry table[4] = {};
  CopyToField(table[0].szCode, "EUR");
  CopyToField(table[1].szCode, "DEM");
  CopyToField(table[2].szCode, "U SD");
  CopyToField(table[3].szCode, "gbp");
  client.BeginRequest(kSourceCurrency);
  std::size_t start = client.requestLength();
  int resume = 0;
  ASSERT_TRUE(BuildCurrencyQuery(client, table, &resume));
  EXPECT_EQ(Symbols(client, start), "USDEUR=X+gbpEUR=X");
  EXPECT_EQ(resume, 0);
  // Only the base currency: nothing to ask.
  client.BeginRequest(kSourceCurrency);
  EXPECT_FALSE(BuildCurrencyQuery(client, std::span<const CurrencyEntry>(table, 1), &resume));
}

class Apply : public ::testing::Test {
 protected:
  QuoteResult* Result(std::string_view symbol, std::string_view last, std::string_view change = "",
                      std::string_view low = "", std::string_view high = "") {
    QuoteResult* r = client.AddResult();
    CopyToField(r->szSymbol, symbol);
    CopyToField(r->szLast, last);
    CopyToField(r->szChange, change);
    CopyToField(r->szLow, low);
    CopyToField(r->szHigh, high);
    CopyToField(r->szDate, "5/2/2003");
    CopyToField(r->szTime, "4:00pm");
    CopyToField(r->szVolume, "12345");
    return r;
  }
  StockRecord& Add(std::string_view symbol, int market, std::string_view price,
                   int status = kStatusActive) {
    stocks.push_back(Stock(symbol, market, status, price));
    return *stocks.back();
  }

  quillet::testing::ScopedTimeZone tz{"UTC"};
  TestRoot root;
  testing::ClientKit kit;
  CQuoteClient client{ClientVariant::kDevice, kit.Services()};
  std::vector<std::unique_ptr<StockRecord>> stocks;
  Recorder log;
  Points points;
};

TEST_F(Apply, PricesFiguresTrendsAndPoints) {
  StockRecord& up = Add("UP", 0, "10");
  StockRecord& down = Add("DOWN", 0, "10");
  StockRecord& same = Add("SAME", 0, "10.00");
  StockRecord& zero = Add("ZERO", 0, "7.25");
  StockRecord& none = Add("NONE", 0, "3");
  StockRecord& sold = Add("UP", 0, "1", kStatusSold);
  up.ucFlags = kFlagChartHistory;
  zero.ucFlags = kFlagChartHistory;
  Result("UP", "12.5000", "+2.5000", "9.50", "12.80");
  Result("down", "9.99");
  Result("SAME", "10");
  Result("ZERO", "N/A");
  ApplyQuotes(client, stocks, &points, 0, log, root.clock);

  EXPECT_STREQ(up.szPrice, "12.50");
  EXPECT_STREQ(up.szChange, "+2.50");
  EXPECT_STREQ(up.szDayLow, "9.50");
  EXPECT_STREQ(up.szVolume, "12345");
  EXPECT_EQ(up.ucTrend, kTrendUp);
  EXPECT_EQ(up.tQuoteTime, 1051891200u);  // 2003-05-02 16:00 UTC
  EXPECT_EQ(down.ucTrend, kTrendDown);
  EXPECT_STREQ(down.szPrice, "9.99");
  EXPECT_EQ(same.ucTrend, kTrendUnchanged);
  // A last of 0 or N/A changes only the arrow, and records no point.
  EXPECT_STREQ(zero.szPrice, "7.25");
  EXPECT_EQ(zero.ucTrend, kTrendNoQuote);
  EXPECT_STREQ(none.szPrice, "3");
  EXPECT_STREQ(sold.szPrice, "1");

  ASSERT_EQ(points.points.size(), 1u);
  EXPECT_EQ(points.points[0].name, "UP");
  EXPECT_EQ(points.points[0].date, 1051891200u);
  EXPECT_DOUBLE_EQ(points.points[0].f.price, 12.5);
  EXPECT_DOUBLE_EQ(points.points[0].f.low, 9.5);
  EXPECT_DOUBLE_EQ(points.points[0].f.volume, 12345);
  EXPECT_EQ(log.lines,
            (std::vector<std::string>{"  [UP] : [10] -> [12.50]", "  [DOWN] : [10] -> [9.99]",
                                      "  [SAME] : [10.00] -> [10]"}));
}

TEST_F(Apply, PenceAndPoundRules) {
  StockRecord& pence = Add("BAY", 11, "2.50");   // Frankfurt, European service
  StockRecord& fresh = Add("NEW", 11, "");       // no stored price: no rule
  StockRecord& lon1 = Add("VOD", 14, "1.10");    // London (pounds)
  StockRecord& lon2 = Add("V O D", 14, "1.30");  // the same result
  lon2.ucFlags = kFlagChartHistory;
  Result("BAY.F", "250", "-5", "245", "260");
  Result("NEW.F", "250");
  QuoteResult* vod = Result("VOD.L", "120.5", "1.5", "119", "121");
  CopyToField(vod->szYearHigh, "150.25");
  ApplyQuotes(client, stocks, &points, kSourceCsvEurope, log, root.clock);

  EXPECT_STREQ(pence.szPrice, "2.50");
  EXPECT_EQ(pence.ucTrend, kTrendUnchanged);
  // The whole quote was in pence, not only its last price.
  EXPECT_STREQ(pence.szChange, "-0.05");
  EXPECT_STREQ(pence.szDayLow, "2.45");
  EXPECT_STREQ(pence.szDayHigh, "2.60");
  EXPECT_STREQ(fresh.szPrice, "250");
  EXPECT_STREQ(lon1.szPrice, "1.205");
  EXPECT_STREQ(lon2.szPrice, "1.205");
  EXPECT_STREQ(lon1.szChange, "+0.015");
  EXPECT_STREQ(lon2.szDayLow, "1.19");
  EXPECT_STREQ(lon2.szDayHigh, "1.21");
  EXPECT_STREQ(lon2.sz52WeekHigh, "1.5025");
  EXPECT_EQ(lon1.ucTrend, kTrendUp);
  EXPECT_EQ(lon2.ucTrend, kTrendDown);
  ASSERT_EQ(points.points.size(), 1u);
  EXPECT_DOUBLE_EQ(points.points[0].f.price, 1.205);
  EXPECT_DOUBLE_EQ(points.points[0].f.high, 1.21);
  EXPECT_EQ(log.lines, (std::vector<std::string>{
                           "  [BAY.F] : [2.50] -> [2.50]*", "  [NEW.F] : [] -> [250]",
                           "  [VOD.L] : [1.10] -> [1.205]*", "  [VOD.L] : [1.30] -> [1.205]*"}));
}

TEST_F(Apply, NothingIsAppliedAfterACancelOrATimeOut) {
  StockRecord& r = Add("IBM", 0, "80");
  Result("IBM", "81");
  kit.cancel.Cancel();
  ApplyQuotes(client, stocks, &points, 0, log, root.clock);
  EXPECT_STREQ(r.szPrice, "80");
  EXPECT_TRUE(log.lines.empty());
}

TEST_F(Apply, AFailedPointIsLogged) {
  StockRecord& r = Add("IBM", 0, "80");
  r.ucFlags = kFlagChartHistory;
  Result("IBM", "81");
  points.succeed = false;
  ApplyQuotes(client, stocks, &points, 0, log, root.clock);
  EXPECT_STREQ(r.szPrice, "81");
  ASSERT_EQ(log.lines.size(), 2u);
  EXPECT_EQ(log.lines[1], "Quillet: could not update graph data for [IBM].");
}

TEST_F(Apply, CurrencyRatesKeepTheOldRateWithoutAnswer) {
  CurrencyEntry table[4] = {};
  CopyToField(table[0].szCode, "USD");
  table[0].dRate = 1;
  CopyToField(table[1].szCode, "EUR");
  table[1].dRate = 1.1;
  CopyToField(table[2].szCode, "GBP");
  table[2].dRate = 1.5;
  CopyToField(table[3].szCode, "CHF");
  table[3].dRate = 0.7;
  Result("EURUSD=X", "1.1234567");
  Result("GBPUSD=X", "N/A");
  ApplyCurrencyRates(client, table, log);
  EXPECT_DOUBLE_EQ(table[1].dRate, 1.123457);
  EXPECT_DOUBLE_EQ(table[2].dRate, 1.5);
  EXPECT_DOUBLE_EQ(table[3].dRate, 0.7);  // not answered at all
  EXPECT_EQ(log.lines, (std::vector<std::string>{
                           "  [EURUSD=X] : [1.100000] -> [1.1234567]",
                           "Quillet: [GBPUSD=X] no rate in the answer [N/A], keeping [1.500000]"}));
}

TEST(PendingPoints, AllPointsOfARunAreWrittenAtTheEnd) {
  TestRoot root;
  ChartStore charts(root.ctx->objectStore(), root.ctx->messageBoxes());
  ASSERT_TRUE(charts.OpenChartStore());
  PendingDailyPoints pending;
  Recorder log;
  pending.AddDailyPoint("IBM", 0, 1051891200, PointFigures{81, 80, 82, 1000});
  pending.AddDailyPoint("IBM", 0, 1051891300, PointFigures{83, 80, 84, 2000});  // same day
  pending.AddDailyPoint("SAP.F", 11, 1051891200, PointFigures{50, 49, 51, 10});
  EXPECT_FALSE(charts.FindSeries("IBM", 0).has_value());
  EXPECT_EQ(pending.Flush(&charts, log), 0);
  EXPECT_EQ(pending.size(), 0u);
  auto ibm = charts.FindSeries("IBM", 0);
  ASSERT_TRUE(ibm.has_value());
  ASSERT_EQ(ibm->points.size(), 1u);
  EXPECT_EQ(ibm->points[0].dwPrice, 830000u);
  EXPECT_TRUE(charts.FindSeries("SAP.F", 11).has_value());
  EXPECT_TRUE(log.lines.empty());
  // Without a chart store there is nothing to write and nothing fails.
  pending.AddDailyPoint("IBM", 0, 1051891200, PointFigures{81, 80, 82, 1000});
  EXPECT_EQ(pending.Flush(nullptr, log), 0);
}

}  // namespace
}  // namespace quillet

namespace quillet {
namespace {

class Fetch : public ::testing::Test {
 protected:
  void Start(std::vector<std::string> args = {}) {
    sim = std::make_unique<testing::QuoteSimProcess>(std::move(args));
    ASSERT_TRUE(sim->running());
    client.SetServerOverride(QuoteEndpoint{"127.0.0.1", sim->port()});
  }
  // Puts a symbol text into the request as the run does before fetching.
  std::size_t Request(int source, std::string_view symbols) {
    client.BeginRequest(source);
    std::size_t start = client.requestLength();
    client.AppendRequest(symbols);
    return start;
  }
  std::vector<std::string> Targets(std::size_t atLeast) {
    for (int i = 0; i < 300 && sim->Requests().size() < atLeast; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::vector<std::string> targets;
    for (const std::string& head : sim->Requests()) {
      std::string line = head.substr(0, head.find("\r\n"));
      targets.push_back(line.substr(4, line.rfind(' ') - 4));
    }
    return targets;
  }

  std::unique_ptr<testing::QuoteSimProcess> sim;
  testing::ClientKit kit;
  CQuoteClient client{ClientVariant::kDevice, kit.Services()};
  Recorder log;
};

class CancelFirstRequest final : public QuoteProgress {
 public:
  explicit CancelFirstRequest(CancelToken& cancel) : cancel_(cancel) {}
  void ShowStatus(UINT id) override {
    if (id == strings::IDS_RETRIEVING_STOCKS && ++requests == 1) cancel_.Cancel();
  }
  void PumpMessages() override {}
  int requests = 0;

 private:
  CancelToken& cancel_;
};

TEST_F(Fetch, EachSymbolItsOwnRequestUpperCased) {
  Start({"--status", "500", "--fault-count", "1"});
  client.AddResult();  // results of an earlier request are dropped first
  std::size_t start = Request(kSourceCsvUs, "bad+ibm+Msft");
  EXPECT_EQ(FetchEach(client, log, false, 5, start, kSourceCsvUs), QR_OK);
  auto targets = Targets(3);
  ASSERT_EQ(targets.size(), 3u);
  EXPECT_EQ(targets[1], "/d/quotes.csv?s=IBM&f=sl1d1t1c1ghpvbaw&e=.csv");
  ASSERT_EQ(client.results().size(), 2u);
  EXPECT_STREQ(client.results()[1]->szSymbol, "MSFT");
  ASSERT_EQ(log.lines.size(), 1u);
  EXPECT_EQ(log.lines[0].rfind("Quillet: [BAD] HTTP Error\nHTTP/1.0 500", 0), 0u) << log.lines[0];
  EXPECT_EQ(client.timeout(), 5u);
}

TEST_F(Fetch, ACancelEndsOnlyTheSymbolBeingFetched) {
  Start();
  CancelFirstRequest progress(kit.cancel);
  client.SetProgress(&progress);
  std::size_t start = Request(kSourceCsvUs, "IBM+MSFT");
  EXPECT_EQ(FetchEach(client, log, false, 5, start, kSourceCsvUs), QR_OK);
  EXPECT_EQ(log.lines, (std::vector<std::string>{kLogCancel}));
  ASSERT_EQ(client.results().size(), 1u);
  EXPECT_STREQ(client.results()[0]->szSymbol, "MSFT");
  EXPECT_EQ(kit.cancel.g_cancelUpdate, 0u);
  // In a batch the cancel ends the request and stays set, so nothing of it is applied.
  start = Request(kSourceCsvUs, "IBM+MSFT");
  client.EndRequest();
  progress.requests = 0;
  EXPECT_EQ(FetchBatch(client, log, true, 5), QR_CANCELLED);
  EXPECT_EQ(kit.cancel.g_cancelUpdate, 1u);
  EXPECT_EQ(client.timeout(), kRetryTimeoutSeconds);
}

TEST_F(Fetch, AFinalTimeOutIsLoggedAndLeavesTheCancelSet) {
  Start({"--silent"});
  Request(kSourceCsvUs, "IBM");
  client.EndRequest();
  EXPECT_EQ(FetchBatch(client, log, false, 1), QR_TIMEOUT);
  EXPECT_EQ(log.lines, (std::vector<std::string>{kLogTimeout}));
  EXPECT_EQ(kit.cancel.g_cancelUpdate, 1u);
  EXPECT_EQ(Targets(1).size(), 1u);  // one attempt without retry
}

}  // namespace
}  // namespace quillet
