// The update of routed markets through user sources: which symbols go to which source and in
// what batches, what the stocks and the log hold afterwards, and that nothing of a failed or
// unreadable answer is applied; first over a scripted transport, then over HTTPS to the
// simulator with certificates made for the test (trusted, expired, from an unknown CA), through
// redirects, chunked answers and a proxy with Basic authentication.
#include "quotes/user_source_update.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>

#include "core/decimal_text.h"
#include "platform/codepage.h"
#include "platform/linux/curl_transport.h"
#include "platform/testing/test_support.h"
#include "quotes/testing/quote_sim_process.h"
#include "quotes/testing/tiny_proxy.h"
#include "quotes/testing/tls_certificates.h"

namespace quillet {
namespace {

using testing::QuoteSimProcess;
using testing::ScopedTimeZone;
using testing::TinyProxy;
using testing::TlsCertificates;

class CollectingLog final : public UpdateLog {
 public:
  void Append(std::string_view line) override { lines.emplace_back(line); }
  bool Has(std::string_view line) const {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }
  bool HasPrefix(std::string_view prefix) const {
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
  }
  std::string All() const {
    std::string out;
    for (const auto& l : lines) out += l + "\n";
    return out;
  }
  std::vector<std::string> lines;
};

class RecordingPoints final : public DailyPointWriter {
 public:
  bool AddDailyPoint(std::string_view name, int market, StockTime date,
                     const PointFigures& figures) override {
    points.push_back({std::string(name), market, date, figures.price});
    return true;
  }
  struct Point {
    std::string name;
    int market;
    StockTime date;
    double price;
  };
  std::vector<Point> points;
};

class UserSourceFetch : public ::testing::Test {
 protected:
  StockRecord& Add(std::string_view symbol, int market, std::string_view price = "",
                   int status = kStatusActive) {
    auto r = std::make_unique<StockRecord>();
    std::memset(r.get(), 0, sizeof(StockRecord));
    CopyToField(r->szSymbol, symbol);
    CopyToField(r->szName, symbol);
    CopyToField(r->szPrice, price);
    r->ucMarket = static_cast<BYTE>(market);
    r->ucStatus = static_cast<BYTE>(status);
    r->ucFlags = kFlagChartHistory;
    stocks.push_back(std::move(r));
    return *stocks.back();
  }
  void Define(const std::string& name, SourceFields fields, std::vector<int> markets) {
    std::string error;
    auto source = ParseUserSource(name, fields, &error);
    ASSERT_TRUE(source) << error;
    book.sources.push_back(*source);
    for (int m : markets) book.routes[static_cast<std::size_t>(m)] = name;
  }
  UserSourcesOutcome Fetch() {
    return FetchUserSources(book, StockSpan(stocks), &points, log, clock, run, cancel);
  }

  ScopedTimeZone tz{"UTC"};
  std::vector<std::unique_ptr<StockRecord>> stocks;
  SourceBook book;
  CollectingLog log;
  RecordingPoints points;
  ManualClock clock{1051891200};
  UserSourceRun run;
  CancelToken cancel;
};

SourceFields CsvSource(const std::string& url) {
  return {{"quote_url", url}, {"format", "csv"}, {"header", "yes"}, {"symbol", "1"},
          {"last", "2"},      {"change", "3"},   {"date", "4"},     {"time", "5"},
          {"low", "6"},       {"high", "7"},     {"volume", "8"},   {"prev_close", "9"}};
}

SourceFields JsonSource(const std::string& url) {
  return {{"quote_url", url},
          {"format", "json"},
          {"list", "quoteResponse.result"},
          {"date_style", "unix"},
          {"symbol", "symbol"},
          {"last", "regularMarketPrice"},
          {"change", "regularMarketChange"},
          {"date", "regularMarketTime"},
          {"low", "regularMarketDayLow"},
          {"high", "regularMarketDayHigh"},
          {"volume", "regularMarketVolume"},
          {"prev_close", "regularMarketPreviousClose"}};
}

HttpAnswer Ok(std::string body) {
  HttpAnswer a;
  a.outcome = HttpAnswer::Outcome::kOk;
  a.status = 200;
  a.body = std::move(body);
  return a;
}

TEST_F(UserSourceFetch, OnlyRoutedStocksAreAskedInBatchesOfTheDefinitionsSize) {
  ScriptedHttp http;
  run.http = &http;
  http.answer = Ok("h\n");
  SourceFields f = CsvSource("https://q.example/q?s={symbols}");
  f["batch"] = "2";
  f["separator"] = "+";
  Define("tsx", f, {1});  // Toronto
  Add("RY", 1);
  Add("TD", 1);
  Add("td", 1);  // the same quote symbol: asked once
  Add("BNS", 1);
  Add("IBM", 0);                    // not routed
  Add("OLD", 1, "5", kStatusSold);  // sold: not asked
  Add("W", 1, "", kStatusWatched);  // watched: asked
  const UserSourcesOutcome outcome = Fetch();
  EXPECT_EQ(outcome.failedRequests, 0);
  ASSERT_EQ(http.requests.size(), 2u);
  EXPECT_EQ(http.requests[0].url, "https://q.example/q?s=RY.TO+TD.TO");
  EXPECT_EQ(http.requests[1].url, "https://q.example/q?s=BNS.TO+W.TO");
  EXPECT_TRUE(log.Has("Query String: RY.TO+TD.TO"));
  EXPECT_TRUE(log.Has("Query String: BNS.TO+W.TO"));
}

TEST_F(UserSourceFetch, AnswersAreAppliedAsTheTableSourcesAreWithTheSameLogLines) {
  ScriptedHttp http;
  run.http = &http;
  http.answer =
      Ok("Symbol,Last,Change,Date,Time,Low,High,Volume,PrevClose\r\n"
         "RY.TO,61.20,+0.40,2003-05-02,15:30,60.5,61.5,120000,60.80\r\n"
         "TD.TO,N/A,N/A,N/A,N/A,N/A,N/A,N/A,N/A\r\n");
  Define("tsx", CsvSource("https://q.example/q?s={symbols}"), {1});
  StockRecord& ry = Add("RY", 1, "60.00");
  StockRecord& td = Add("TD", 1, "30.00");
  Fetch();
  EXPECT_STREQ(ry.szPrice, "61.20");
  EXPECT_STREQ(ry.szChange, "+0.40");
  EXPECT_STREQ(ry.szDayLow, "60.5");
  EXPECT_STREQ(ry.szPrevClose, "60.80");
  EXPECT_STREQ(ry.szVolume, "120000");
  EXPECT_EQ(ry.tQuoteTime, 1051833600u + 15 * 3600 + 30 * 60);
  EXPECT_EQ(ry.ucTrend, kTrendUp);
  EXPECT_TRUE(log.Has("  [RY.TO] : [60.00] -> [61.20]")) << log.All();
  // N/A is no price: the stock keeps its own, and says it got no quote.
  EXPECT_STREQ(td.szPrice, "30.00");
  EXPECT_EQ(td.ucTrend, kTrendNoQuote);
  ASSERT_EQ(points.points.size(), 1u);
  EXPECT_EQ(points.points[0].name, "RY.TO");
  EXPECT_EQ(points.points[0].price, 61.2);
}

TEST_F(UserSourceFetch, APenceSourceIsDividedOnceAndTheTablesPenceRuleDoesNotApplyAgain) {
  ScriptedHttp http;
  run.http = &http;
  SourceFields f = JsonSource("https://api.example/q?symbols={symbols}");
  f["divisor"] = "100";
  Define("lse", f, {14});  // London (pounds), which the table divides by 100 itself
  http.answer = Ok(R"({"quoteResponse":{"result":[{"symbol":"VOD.L","regularMarketPrice":12050,
      "regularMarketChange":-150,"regularMarketTime":1051891200}]}})");
  StockRecord& vod = Add("VOD", 14, "121");
  Fetch();
  EXPECT_STREQ(vod.szPrice, "120.5");
  EXPECT_STREQ(vod.szChange, "-1.5");
  EXPECT_EQ(vod.tQuoteTime, 1051891200u);
  EXPECT_EQ(vod.ucTrend, kTrendDown);
}

TEST_F(UserSourceFetch, FailuresAreLoggedAndApplyNothing) {
  ScriptedHttp http;
  run.http = &http;
  Define("tsx", CsvSource("https://q.example/q?s={symbols}"), {1});
  StockRecord& ry = Add("RY", 1, "60.00");
  struct Case {
    HttpAnswer answer;
    const char* line;
  };
  HttpAnswer refused;
  refused.failure = "SSL peer certificate or SSH remote key was not OK: certificate has expired";
  HttpAnswer notFound = Ok("RY.TO,99\n");
  notFound.status = 404;
  HttpAnswer timedOut;
  timedOut.outcome = HttpAnswer::Outcome::kTimedOut;
  const Case cases[] = {
      {refused,
       "Quillet: [tsx] SSL peer certificate or SSH remote key was not OK: certificate has expired"},
      {notFound, "Quillet: [tsx] HTTP status 404"},
      {Ok(""), "Quillet: [tsx] the answer is empty"},
      {timedOut, kLogTimeout},
  };
  for (const Case& c : cases) {
    log.lines.clear();
    http.answer = c.answer;
    EXPECT_EQ(Fetch().failedRequests, 1);
    EXPECT_TRUE(log.Has(c.line)) << log.All();
    EXPECT_STREQ(ry.szPrice, "60.00");
  }
  EXPECT_TRUE(points.points.empty());
  // A time-out is tried three times with retry, once without.
  http.requests.clear();
  run.retry = true;
  Fetch();
  EXPECT_EQ(http.requests.size(), 3u);
  // Without any transport the source fails with a line, never a crash.
  run.http = nullptr;
  log.lines.clear();
  EXPECT_EQ(Fetch().failedRequests, 1);
  EXPECT_TRUE(log.Has("Quillet: [tsx] no HTTP transport in this program")) << log.All();
}

TEST_F(UserSourceFetch, CancelStopsBeforeTheNextBatchAndAppliesNothingOfTheCancelledOne) {
  ScriptedHttp http;
  run.http = &http;
  SourceFields f = CsvSource("https://q.example/q?s={symbols}");
  f["batch"] = "1";
  Define("tsx", f, {1});
  StockRecord& ry = Add("RY", 1, "60.00");
  Add("TD", 1, "30.00");
  http.next = [&](const HttpRequest& request) {
    cancel.Cancel();  // the user pressed Cancel while the first request waited
    EXPECT_FALSE(request.keepGoing());
    HttpAnswer a;
    a.outcome = HttpAnswer::Outcome::kCancelled;
    return a;
  };
  EXPECT_TRUE(Fetch().cancelled);
  EXPECT_EQ(http.requests.size(), 1u);
  EXPECT_TRUE(log.Has(kLogCancel));
  EXPECT_STREQ(ry.szPrice, "60.00");
}

// The real transport against the simulator speaking HTTPS.
class OverHttps : public UserSourceFetch {
 protected:
  void Start(const std::string& certificate, std::vector<std::string> more = {}) {
    ASSERT_TRUE(certs.ok()) << "openssl could not make the test certificates";
    std::vector<std::string> args = certs.SimArgs(certificate);
    args.insert(args.end(), more.begin(), more.end());
    sim = std::make_unique<QuoteSimProcess>(args);
    ASSERT_TRUE(sim->running());
    run.http = &http;
    run.caFile = certs.caFile();
    run.retry = false;
    run.timeoutSeconds = 10;
  }
  std::string Url(const std::string& path) const {
    return "https://127.0.0.1:" + std::to_string(sim->port()) + path;
  }

  TlsCertificates certs;
  CurlTransport http;
  std::unique_ptr<QuoteSimProcess> sim;
};

TEST_F(OverHttps, CsvAndJsonSourcesPriceTheirMarkets) {
  Start(certs.server());
  Define("csvsrc", CsvSource(Url("/user/csv?s={symbols}")), {0});
  Define("jsonsrc", JsonSource(Url("/user/json?symbols={symbols}")), {1});
  StockRecord& ibm = Add("IBM", 0, "80");
  StockRecord& ry = Add("RY", 1, "1");
  const UserSourcesOutcome outcome = Fetch();
  EXPECT_EQ(outcome.failedRequests, 0) << log.All();
  EXPECT_NE(ParseDecimal(FieldText(ibm.szPrice), 4), 80);
  EXPECT_GT(ParseDecimal(FieldText(ibm.szPrice), 4), 0);
  EXPECT_NE(FieldText(ibm.szDayHigh), "");
  EXPECT_EQ(ibm.tQuoteTime, 1051891200u);
  EXPECT_GT(ParseDecimal(FieldText(ry.szPrice), 4), 1) << log.All();
  EXPECT_EQ(ry.tQuoteTime, 1051891200u);
  EXPECT_NE(FieldText(ry.szPrevClose), "");
  EXPECT_EQ(points.points.size(), 2u);
}

TEST_F(OverHttps, RedirectsAndChunkedAnswersAreFollowedAndJoined) {
  Start(certs.server());
  Define("moved",
         JsonSource(Url("/user/redirect?to=%2Fuser%2Fjson%3Fchunked%3D1%26symbols%3D{symbols}")),
         {0});
  StockRecord& ibm = Add("IBM", 0, "80");
  EXPECT_EQ(Fetch().failedRequests, 0) << log.All();
  EXPECT_GT(ParseDecimal(FieldText(ibm.szPrice), 4), 0);
  EXPECT_NE(ParseDecimal(FieldText(ibm.szPrice), 4), 80);
}

TEST_F(OverHttps, ExpiredAndUntrustedCertificatesFailWithAClearLineAndApplyNothing) {
  for (const std::string& certificate : {certs.expired(), certs.untrusted()}) {
    SCOPED_TRACE(certificate);
    Start(certificate);
    book = SourceBook{};
    Define("csvsrc", CsvSource(Url("/user/csv?s={symbols}")), {0});
    stocks.clear();
    StockRecord& ibm = Add("IBM", 0, "80");
    log.lines.clear();
    EXPECT_EQ(Fetch().failedRequests, 1);
    EXPECT_STREQ(ibm.szPrice, "80");
    EXPECT_TRUE(log.HasPrefix("Quillet: [csvsrc] SSL")) << log.All();
    const bool expired = certificate == certs.expired();
    EXPECT_EQ(log.All().find(expired ? "expired" : "issuer") != std::string::npos, true)
        << log.All();
  }
  EXPECT_TRUE(points.points.empty());
}

TEST_F(OverHttps, AnAnswerCutShortFailsAndAppliesNothing) {
  Start(certs.server(), {"--cut-close", "after:IBM,", "--fault-path", "/user/csv"});
  Define("csvsrc", CsvSource(Url("/user/csv?s={symbols}")), {0});
  StockRecord& ibm = Add("IBM", 0, "80");
  run.timeoutSeconds = 5;
  EXPECT_EQ(Fetch().failedRequests, 1);
  EXPECT_STREQ(ibm.szPrice, "80");
  EXPECT_TRUE(log.HasPrefix("Quillet: [csvsrc] ")) << log.All();
}

TEST_F(OverHttps, ASilentServerTimesOutAndCancelStopsTheWaitAtOnce) {
  Start(certs.server(), {"--silent"});
  HttpRequest request;
  request.url = Url("/user/csv?s=IBM");
  request.caFile = certs.caFile();
  request.timeoutSeconds = 1;
  const auto started = std::chrono::steady_clock::now();
  HttpAnswer answer = http.Get(request);
  EXPECT_EQ(answer.outcome, HttpAnswer::Outcome::kTimedOut) << answer.failure;
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20));
  int asked = 0;
  request.timeoutSeconds = 600;
  request.keepGoing = [&] { return ++asked < 3; };
  answer = http.Get(request);
  EXPECT_EQ(answer.outcome, HttpAnswer::Outcome::kCancelled) << answer.failure;
  EXPECT_GE(asked, 3);
  // An answer larger than the request allows is refused, not kept.
  sim = std::make_unique<QuoteSimProcess>(certs.SimArgs(certs.server()));
  ASSERT_TRUE(sim->running());
  request = HttpRequest{};
  request.url = Url("/user/csv?s=IBM,MSFT,AAPL");
  request.caFile = certs.caFile();
  request.maxBodyBytes = 100;
  answer = http.Get(request);
  EXPECT_EQ(answer.outcome, HttpAnswer::Outcome::kFailed);
  EXPECT_EQ(answer.failure, "the answer is larger than 100 bytes");
  // Only http and https: a redirect elsewhere is not followed.
  request.maxBodyBytes = 1 << 20;
  request.url = Url("/user/redirect?to=file%3A%2F%2F%2Fetc%2Fpasswd");
  answer = http.Get(request);
  EXPECT_EQ(answer.outcome, HttpAnswer::Outcome::kFailed);
  EXPECT_EQ(answer.body, "");
}

TEST_F(OverHttps, TheProxyWithBasicAuthenticationCarriesTheRequest) {
  ASSERT_TRUE(std::filesystem::exists("/usr/bin/tinyproxy"))
      << "tinyproxy is not installed (scripts/setup installs it)";
  Start(certs.server());
  TinyProxy proxy(0, "quillet", "s3cret");
  ASSERT_TRUE(proxy.running());
  Define("csvsrc", CsvSource(Url("/user/csv?s={symbols}")), {0});
  StockRecord& ibm = Add("IBM", 0, "80");
  run.useProxy = true;
  run.proxyHost = "127.0.0.1";
  run.proxyPort = proxy.port();
  run.proxyUser = "quillet";
  run.proxyPassword = "wrong";
  EXPECT_EQ(Fetch().failedRequests, 1);
  EXPECT_STREQ(ibm.szPrice, "80");
  run.proxyPassword = "s3cret";
  log.lines.clear();
  EXPECT_EQ(Fetch().failedRequests, 0) << log.All();
  EXPECT_NE(ParseDecimal(FieldText(ibm.szPrice), 4), 80);
}

TEST_F(OverHttps, HistoryComesThroughTheTemplateIntoTheChartStore) {
  Start(certs.server());
  testing::TestRoot root;
  ChartStore charts(root.ctx->objectStore(), root.ctx->messageBoxes());
  ASSERT_TRUE(charts.OpenChartStore());
  SourceFields csv = CsvSource(Url("/user/csv?s={symbols}"));
  csv["history_url"] = Url("/user/csv/history?s={symbol}&from={from}&to={to}");
  csv["history_date"] = "1";
  csv["history_close"] = "5";
  csv["history_low"] = "4";
  csv["history_high"] = "3";
  csv["history_volume"] = "6";
  SourceFields json = JsonSource(Url("/user/json?symbols={symbols}"));
  json["history_url"] = Url("/user/json/history?symbol={symbol}&from={from}&to={to}&pence=1");
  json["history_dates"] = "unix";
  json["history_list"] = "prices";
  json["history_date"] = "date";
  json["history_close"] = "close";
  json["divisor"] = "100";
  Define("csvsrc", csv, {0});
  Define("jsonsrc", json, {14});
  Add("IBM", 0, "80");
  Add("VOD", 14, "1");
  Add("SAP", 11, "1");  // not routed: left to the table's history download
  HistoryDownloadSettings settings;
  settings.tHistoryStart = 1051891200 - 14 * 86400;
  HistoryDownloadHooks hooks;
  std::vector<std::string> lines;
  hooks.log = [&](std::string_view line) { lines.emplace_back(line); };
  EXPECT_EQ(
      DownloadUserHistories(book, StockSpan(stocks), charts, settings, clock, hooks, run, cancel),
      0);
  auto ibm = charts.FindSeries("IBM", 0);
  ASSERT_TRUE(ibm);
  ASSERT_EQ(ibm->points.size(), 11u);  // the weekdays of two weeks and a day
  for (std::size_t i = 1; i < ibm->points.size(); ++i) {
    EXPECT_LT(ibm->points[i - 1].tDate, ibm->points[i].tDate);  // oldest first
  }
  EXPECT_GT(ibm->points.back().dwHigh, ibm->points.back().dwLow);
  auto vod = charts.FindSeries("VOD.L", 14);
  ASSERT_TRUE(vod);
  ASSERT_FALSE(vod->points.empty());
  // In pounds, not pence: the same price the CSV history gives for the symbol.
  EXPECT_LT(vod->points.back().dwPrice, 1000u * 10000);
  EXPECT_FALSE(charts.FindSeries("SAP.F", 11));
}

}  // namespace
}  // namespace quillet
