// Whole update runs against the quote service simulator: what is requested (read back from the
// simulator's request log), what the stocks, currencies, price history and log hold afterwards,
// and how time-outs and a cancel end a run.
#include "quotes/device/update_quotes.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <thread>

#include "core/data_files.h"
#include "platform/testing/test_support.h"
#include "quotes/device/testing/recording_update_host.h"
#include "quotes/device/testing/update_run_fixture.h"
#include "quotes/testing/quote_sim_process.h"
#include "quotes/testing/tls_certificates.h"
#include "quotes/user_source_store.h"

namespace quillet {
namespace {

using testing::QuickSettings;
using testing::QuoteSimProcess;
using testing::RecordingUpdateHost;
using testing::TempDir;
using testing::TestRoot;

class UpdateRun : public testing::UpdateRunFixture {};

TEST_F(UpdateRun, UsStocksTakeOneRequestAndASecondCurrencyOneMore) {
  StartSim();
  Add("IBM");
  Add("MSFT");
  Add("AAPL");
  EXPECT_EQ(Run(), UpdateOutcome::kComplete);
  auto targets = Targets();
  ASSERT_EQ(targets.size(), 1u);
  EXPECT_EQ(targets[0], "/d/quotes.csv?s=AAPL+IBM+MSFT&f=sl1d1t1c1ghpvbaw&e=.csv");
  EXPECT_EQ(log.text().rfind("Quillet v4.36a (PocketPC)\r\nQuery String: ", 0), 0u);
  EXPECT_TRUE(Logged("Query String: AAPL+IBM+MSFT"));
  for (const auto& r : store.stocks) {
    EXPECT_NE(ParseDecimal(FieldText(r->szPrice), 4), 0) << r->Symbol();
    EXPECT_EQ(r->ucTrend, kTrendUp) << r->Symbol();
    EXPECT_NE(r->tQuoteTime, 0u);
  }
  EXPECT_EQ(store.tLastUpdate, 1051891200u);
  EXPECT_EQ(host.progressOpened, 1);
  EXPECT_EQ(host.progressClosed, 1);
  EXPECT_EQ(host.sounds, 1);
  EXPECT_EQ(host.statuses.front(), strings::IDS_CONNECTING_SERVER);
  EXPECT_EQ(alerts.buttonUpdates, 1);
  EXPECT_TRUE(root.answers.shown().empty());

  AddCurrency("EUR", 1.0);
  EXPECT_EQ(Run(), UpdateOutcome::kComplete);
  targets = Targets();
  ASSERT_EQ(targets.size(), 3u);
  EXPECT_EQ(targets[2], "/d/quotes.csv?s=EURUSD=X&f=sl1d1t1c1ghpvbaw&e=.csv");
  EXPECT_NE(store.currencies[1].dRate, 1.0);
  EXPECT_GT(store.currencies[1].dRate, 0.5);
}

TEST_F(UpdateRun, BatchSizesPerSource) {
  StartSim();
  for (int i = 0; i < 200; ++i) Add("U" + std::to_string(1000 + i));
  for (int i = 0; i < 40; ++i) Add("Z" + std::to_string(1000 + i), 44);
  Run();
  auto targets = Targets();
  ASSERT_EQ(targets.size(), 5u);
  EXPECT_EQ(SymbolsOf(targets[0]).size(), 150u);
  EXPECT_EQ(SymbolsOf(targets[1]).size(), 50u);
  std::vector<std::size_t> zurich;
  for (std::size_t i = 2; i < 5; ++i) {
    ASSERT_EQ(targets[i].rfind("/fcgi-bin/parser?parser=3&symbols=", 0), 0u) << targets[i];
    const std::string& t = targets[i];
    zurich.push_back(static_cast<std::size_t>(std::count(t.begin(), t.end(), '|')) + 1);
  }
  EXPECT_EQ(zurich, (std::vector<std::size_t>{18, 18, 4}));
}

TEST_F(UpdateRun, WhoIsAsked) {
  StartSim();
  StockRecord& owned = Add("IBM");
  StockRecord& twin = Add("ibm");
  StockRecord& watched = Add("WAT", 0, kStatusWatched);
  StockRecord& sold = Add("OLD", 0, kStatusSold, "5");
  Add("NOUP", kMarketNoUpdate);
  Add("MIL", 46);
  Run();
  auto targets = Targets();
  ASSERT_EQ(targets.size(), 1u);
  EXPECT_EQ(SymbolsOf(targets[0]), (std::vector<std::string>{"IBM", "WAT"}));
  EXPECT_STREQ(owned.szPrice, twin.szPrice);
  EXPECT_NE(FieldText(owned.szPrice), "");
  EXPECT_EQ(twin.ucTrend, kTrendUp);
  EXPECT_NE(FieldText(watched.szPrice), "");
  EXPECT_STREQ(sold.szPrice, "5");
}

TEST_F(UpdateRun, PenceAndPoundRulesZeroLastAndAnUnansweredCurrency) {
  StartSim({"--fixture",
            Fixture("BAY.F,250,+5,240,255,245,1000,249,251,200,300\n"
                    "VOD.L,120.5,1.5,119,121,119,5000,120,121,100,150\n"
                    "ZERO,0,0,0,0,0,0,0,0,0,0\n"),
            "--unknown", "GBPUSD=X"});
  StockRecord& bay = Add("BAY", 11, kStatusActive, "2.50");
  StockRecord& vod1 = Add("VOD", 14, kStatusActive, "1.10");
  StockRecord& vod2 = Add("VOD", 14, kStatusWatched, "1.30");
  StockRecord& zero = Add("ZERO", 0, kStatusActive, "7.25");
  vod2.ucFlags = kFlagChartHistory;
  zero.ucFlags = kFlagChartHistory;
  AddCurrency("GBP", 1.6);
  AddCurrency("EUR", 1.1);
  EXPECT_EQ(Run(), UpdateOutcome::kComplete);
  EXPECT_STREQ(bay.szPrice, "2.50");
  EXPECT_TRUE(Logged("  [BAY.F] : [2.50] -> [2.50]*"));
  EXPECT_STREQ(vod1.szPrice, "1.205");
  EXPECT_STREQ(vod2.szPrice, "1.205");
  EXPECT_STREQ(vod1.szChange, "+0.015");
  EXPECT_STREQ(vod2.szPrevClose, "1.19");
  EXPECT_TRUE(Logged("  [VOD.L] : [1.10] -> [1.205]*"));
  EXPECT_TRUE(Logged("  [VOD.L] : [1.30] -> [1.205]*"));
  EXPECT_STREQ(zero.szPrice, "7.25");
  EXPECT_EQ(zero.ucTrend, kTrendNoQuote);
  EXPECT_FALSE(charts.FindSeries("ZERO", 0).has_value());
  auto series = charts.FindSeries("VOD.L", 14);
  ASSERT_TRUE(series.has_value());
  ASSERT_EQ(series->points.size(), 1u);
  EXPECT_EQ(series->points[0].dwPrice, 12050u);
  EXPECT_EQ(series->points[0].dwVolume, 5000u);
  // The unanswered pair keeps its rate; the other is set.
  EXPECT_DOUBLE_EQ(store.currencies[1].dRate, 1.6);
  EXPECT_NE(store.currencies[2].dRate, 1.1);
  EXPECT_TRUE(Logged("Quillet: [GBPUSD=X] no rate in the answer [N/A], keeping [1.600000]"));
  // The saved file keeps the rate too.
  PortfolioStore reread(*root.ctx);
  ASSERT_TRUE(LoadStocks(reread));
  EXPECT_DOUBLE_EQ(reread.currencies[1].dRate, 1.6);
}

TEST_F(UpdateRun, ATimeOutEndsTheRunWithItsEndStepsAndTheFileSaved) {
  StartSim({"--silent"});
  settings.timeoutSeconds = 1;
  Add("IBM", 0, kStatusActive, "80");
  Add("SAP", 11, kStatusActive, "50");
  AddCurrency("EUR", 1.1);
  store.alerts.push_back(std::make_unique<StockAlert>());
  std::memset(store.alerts[0].get(), 0, sizeof(StockAlert));
  CopyToField(store.alerts[0]->szQuoteSymbol, "IBM");
  store.alerts[0]->dThreshold = 50;
  store.alerts[0]->ucCompare = kCompareGreater;
  store.ucSortKey = kSortName;
  store.bSortDescending = 1;

  EXPECT_EQ(Run(), UpdateOutcome::kIncomplete);
  EXPECT_EQ(root.answers.texts(),
            (std::vector<std::string>{"Update not complete, check the network log."}));
  EXPECT_EQ(root.answers.shown()[0].flags & MB_ICONMASK, MB_ICONINFORMATION);
  // One request went out and timed out; the run ended before the next source's request.
  EXPECT_EQ(Targets(1).size(), 1u);
  EXPECT_TRUE(Logged("Quillet: Timeout operation"));
  EXPECT_TRUE(Logged("Query String: SAP.F"));
  EXPECT_STREQ(Find("IBM").szPrice, "80");
  // End steps: alerts evaluated, the user's sort back, the file written.
  EXPECT_EQ(store.bAlertActive, 1);
  EXPECT_EQ(ReadAlertValue(root.ctx->registry()), 1u);
  EXPECT_TRUE(alerts.buttonActive);
  EXPECT_EQ(store.stocks[0]->Symbol(), "SAP");
  EXPECT_EQ(host.progressClosed, 1);
  PortfolioStore reread(*root.ctx);
  ASSERT_TRUE(LoadStocks(reread));
  EXPECT_EQ(reread.stocks.size(), 2u);
}

TEST_F(UpdateRun, ACancelDuringABatchEndsTheRun) {
  StartSim();
  for (int i = 0; i < 200; ++i) Add("U" + std::to_string(1000 + i));
  AddCurrency("EUR", 1.1);
  host.onStatus = [this](UINT id) {
    if (id == strings::IDS_RETRIEVING_STOCKS) host.cancel->Cancel();
  };
  EXPECT_EQ(Run(), UpdateOutcome::kComplete);
  EXPECT_EQ(Targets(1).size(), 1u);
  EXPECT_TRUE(Logged("Quillet: Cancel operation"));
  for (const auto& r : store.stocks) EXPECT_EQ(r->ucTrend, kTrendNotUpdated);
  EXPECT_DOUBLE_EQ(store.currencies[1].dRate, 1.1);
  EXPECT_TRUE(root.answers.shown().empty());
}

// Writing the day's points of many histories takes seconds: the window keeps answering while
// they are written, and a Cancel pressed then keeps none of them (the prices stay).
TEST_F(UpdateRun, TheWindowAnswersWhileTheHistoryIsWrittenAndItsCancelKeepsNoneOfIt) {
  StartSim();
  constexpr int kStocks = 100;
  for (int i = 0; i < kStocks; ++i) Add("U" + std::to_string(1000 + i)).ucFlags = kFlagChartHistory;
  // No history exists before the run, so a series seen from a pump means the writing is on.
  int pumpsWhileWriting = 0;
  host.onPump = [&] {
    if (charts.FindSeries("U1000", 0).has_value()) ++pumpsWhileWriting;
  };
  EXPECT_EQ(Run(), UpdateOutcome::kComplete);
  EXPECT_GE(pumpsWhileWriting, kStocks / static_cast<int>(PendingDailyPoints::kPointsPerTurn));
  for (const auto& r : store.stocks) EXPECT_TRUE(charts.FindSeries(r->Symbol(), 0).has_value());
  EXPECT_FALSE(Logged("Quillet: Cancel operation"));

  // Again from an empty history, pressing Cancel once the writing has begun.
  for (const auto& r : store.stocks) {
    ASSERT_TRUE(charts.DeleteSeries(r->Symbol(), 0));
    CopyToField(r->szPrice, "");
  }
  host.onPump = [&] {
    if (charts.FindSeries("U1000", 0).has_value()) host.cancel->Cancel();
  };
  EXPECT_EQ(Run(), UpdateOutcome::kComplete);
  EXPECT_TRUE(Logged("Quillet: Cancel operation"));
  for (const auto& r : store.stocks) {
    EXPECT_FALSE(charts.FindSeries(r->Symbol(), 0).has_value()) << r->Symbol();
    EXPECT_STRNE(r->szPrice, "");
  }
  EXPECT_TRUE(root.answers.shown().empty());
}

TEST_F(UpdateRun, AServerErrorIsAFailedRunThatGoesOnWithTheNextSource) {
  StartSim({"--status", "500", "--fault-count", "1"});
  Add("IBM", 0, kStatusActive, "80");
  Add("SAP", 11, kStatusActive, "50");
  EXPECT_EQ(Run(), UpdateOutcome::kIncomplete);
  EXPECT_EQ(Targets().size(), 2u);
  EXPECT_NE(log.text().find("Quillet: HTTP Error\n"), std::string::npos);
  EXPECT_STREQ(Find("IBM").szPrice, "80");
  EXPECT_STRNE(Find("SAP", 11).szPrice, "50");
}

TEST_F(UpdateRun, BackgroundRunsShowNothingButTheNotification) {
  StartSim();
  Add("IBM", 0, kStatusActive, "80");
  store.alerts.push_back(std::make_unique<StockAlert>());
  std::memset(store.alerts[0].get(), 0, sizeof(StockAlert));
  CopyToField(store.alerts[0]->szQuoteSymbol, "IBM");
  store.alerts[0]->dThreshold = 0.01;
  store.alerts[0]->ucCompare = kCompareGreater;
  // A cancel or time-out left over from the command's earlier run must not end this one.
  CUpdateCommand command(services, settings);
  command.Cancel();
  EXPECT_EQ(Run(command, true), UpdateOutcome::kComplete);
  EXPECT_EQ(Targets().size(), 1u);
  EXPECT_NE(Find("IBM").ucTrend, kTrendNotUpdated);
  EXPECT_EQ(host.progressOpened, 0);
  EXPECT_EQ(host.sounds, 0);
  EXPECT_EQ(alerts.notifications, 1);
  // Interactive runs play the sound instead.
  command.Cancel();
  EXPECT_EQ(Run(command, false), UpdateOutcome::kComplete);
  EXPECT_EQ(alerts.notifications, 1);
  EXPECT_EQ(host.sounds, 1);
}

TEST_F(UpdateRun, TheProxyAndTheSelectionAreKept) {
  StartSim();
  Add("IBM");
  store.bUseProxy = 1;
  CopyToField(store.szProxyHost, "proxy.example");
  store.wProxyPort = 3128;
  host.selected = 7;
  Run();
  auto targets = Targets();
  ASSERT_EQ(targets.size(), 1u);
  EXPECT_EQ(targets[0].rfind("http://us.csvquotes.example:80/d/quotes.csv?s=IBM", 0), 0u)
      << targets[0];
  EXPECT_EQ(host.refills, (std::vector<DWORD>{7}));
}

TEST_F(UpdateRun, AnotherStartDuringARunIsTurnedAway) {
  StartSim();
  Add("IBM");
  CUpdateCommand command(services, settings);
  std::vector<UpdateOutcome> nested;
  host.onOpenProgress = [&] {
    EXPECT_TRUE(command.running());
    nested.push_back(command.UpdateStocks(true));
  };
  EXPECT_EQ(command.UpdateStocks(false), UpdateOutcome::kComplete);
  EXPECT_EQ(nested, (std::vector<UpdateOutcome>{UpdateOutcome::kTurnedAway}));
  EXPECT_FALSE(command.running());
  EXPECT_EQ(Targets().size(), 1u);
  EXPECT_EQ(host.refills.size(), 1u);
}

TEST_F(UpdateRun, AnotherCommandsRunNeitherWaitsForThisOneNorCancelsIt) {
  // Two update commands in one process, each with its own guard and Cancel, as a desktop run
  // and a test would have them. While this run waits for its answer, the other command runs
  // on another device and is cancelled by its own progress window.
  StartSim();
  Add("IBM", 0, kStatusActive, "80");
  TestRoot otherRoot;
  PortfolioStore otherStore{*otherRoot.ctx};
  CopyToField(otherStore.currencies[0].szCode, "USD");
  otherStore.currencies[0].dRate = 1;
  auto msft = std::make_unique<StockRecord>();
  std::memset(msft.get(), 0, sizeof(StockRecord));
  msft->dwId = ++otherStore.dwMaxStockId;
  CopyToField(msft->szName, "MSFT");
  CopyToField(msft->szSymbol, "MSFT");
  CopyToField(msft->szPrice, "20");
  msft->ucStatus = kStatusActive;
  otherStore.stocks.push_back(std::move(msft));
  NetworkLog otherLog;
  RecordingUpdateHost otherHost;
  RecordingAlertIndicator otherAlerts;
  UpdateServices otherServices{otherStore, nullptr, otherLog, otherHost, otherAlerts};
  CUpdateCommand other(otherServices, settings);
  otherHost.onStatus = [&](UINT id) {
    if (id == strings::IDS_RETRIEVING_STOCKS) otherHost.cancel->Cancel();
  };

  CUpdateCommand command(services, settings);
  std::vector<UpdateOutcome> nested;
  host.onStatus = [&](UINT id) {
    // This run's request is out; its answer is read after the other run.
    if (id == strings::IDS_RETRIEVING_STOCKS && nested.empty())
      nested.push_back(other.UpdateStocks(false));
  };
  EXPECT_EQ(Run(command, false), UpdateOutcome::kComplete);
  EXPECT_EQ(nested, (std::vector<UpdateOutcome>{UpdateOutcome::kComplete}))
      << "the other command was not turned away, and a cancel is no failure";
  EXPECT_NE(otherLog.text().find(std::string(kLogCancel) + "\r\n"), std::string::npos)
      << otherLog.text();
  EXPECT_STREQ(otherStore.stocks[0]->szPrice, "20");
  EXPECT_FALSE(Logged(kLogCancel));
  EXPECT_STRNE(Find("IBM").szPrice, "80");
  EXPECT_EQ(command.cancelToken().g_cancelUpdate, 0u);
}

// Two markets routed to the user's own HTTPS sources, one answering CSV in pence, one JSON; the
// rest stays with the table sources. The run prices all of them, logs them as it logs the
// table's, adds the day's points, and a source it cannot trust fails the run with a clear line.
TEST_F(UpdateRun, MarketsRoutedToUserSourcesArePricedOverHttps) {
  testing::TlsCertificates certs;
  ASSERT_TRUE(certs.ok());
  StartSim();
  QuoteSimProcess secure(certs.SimArgs(certs.server()));
  ASSERT_TRUE(secure.running());
  root.ctx->settings().caFile = certs.caFile();
  const std::string base = "https://127.0.0.1:" + std::to_string(secure.port());
  auto sources = RegistrySourceSettings(root.ctx->registry());
  std::string error;
  ASSERT_EQ(SaveUserSource(*sources, "lse",
                           {{"quote_url", base + "/user/csv?pence=1&s={symbols}"},
                            {"format", "csv"},
                            {"header", "yes"},
                            {"symbol", "1"},
                            {"last", "2"},
                            {"change", "3"},
                            {"date", "4"},
                            {"time", "5"},
                            {"divisor", "100"}},
                           &error),
            0)
      << error;
  ASSERT_EQ(SaveUserSource(*sources, "json",
                           {{"quote_url", base + "/user/json?symbols={symbols}"},
                            {"format", "json"},
                            {"list", "quoteResponse.result"},
                            {"date_style", "unix"},
                            {"symbol", "symbol"},
                            {"last", "regularMarketPrice"},
                            {"date", "regularMarketTime"},
                            {"batch", "1"}},
                           &error),
            0)
      << error;
  ASSERT_EQ(RouteMarket(*sources, 14, "lse", &error), 0);  // London (pounds)
  ASSERT_EQ(RouteMarket(*sources, 1, "json", &error), 0);  // Toronto
  StockRecord& vod = Add("VOD", 14, kStatusActive, "1");
  StockRecord& ry = Add("RY", 1, kStatusActive, "1");
  StockRecord& td = Add("TD", 1);
  StockRecord& ibm = Add("IBM");
  ry.ucFlags = kFlagChartHistory;
  EXPECT_EQ(Run(), UpdateOutcome::kComplete) << log.text();
  // The table's CSV service was asked for IBM only.
  auto targets = Targets();
  ASSERT_EQ(targets.size(), 1u);
  EXPECT_EQ(SymbolsOf(targets[0]), (std::vector<std::string>{"IBM"}));
  EXPECT_NE(FieldText(ibm.szPrice), "");
  // In pounds though answered in pence, divided once only.
  const double pounds = ParseDecimal(FieldText(vod.szPrice), 4);
  EXPECT_GT(pounds, 1);
  EXPECT_LT(pounds, 1000);
  EXPECT_NE(vod.tQuoteTime, 0u);
  EXPECT_GT(ParseDecimal(FieldText(ry.szPrice), 4), 1);
  EXPECT_EQ(ry.tQuoteTime, 1051891200u);
  EXPECT_NE(FieldText(td.szPrice), "");
  EXPECT_TRUE(Logged("Query String: VOD.L"));
  EXPECT_TRUE(Logged("Query String: RY.TO"));
  EXPECT_TRUE(Logged("Query String: TD.TO"));  // a batch of one
  EXPECT_NE(log.text().find("  [RY.TO] : [1] -> ["), std::string::npos) << log.text();
  auto series = charts.FindSeries("RY.TO", 1);
  ASSERT_TRUE(series);
  EXPECT_EQ(series->points.size(), 1u);

  // Served with an expired certificate: a clear line, the incomplete message, no price moved.
  QuoteSimProcess expired(certs.SimArgs(certs.expired()));
  ASSERT_TRUE(expired.running());
  ASSERT_EQ(SaveUserSource(*sources, "json",
                           {{"quote_url", "https://127.0.0.1:" + std::to_string(expired.port()) +
                                              "/user/json?symbols={symbols}"},
                            {"format", "json"},
                            {"list", "quoteResponse.result"},
                            {"symbol", "symbol"},
                            {"last", "regularMarketPrice"}},
                           &error),
            0);
  CopyToField(ry.szPrice, "7");
  EXPECT_EQ(Run(), UpdateOutcome::kIncomplete);
  EXPECT_STREQ(ry.szPrice, "7");
  EXPECT_NE(log.text().find("Quillet: [json] SSL"), std::string::npos) << log.text();
  EXPECT_NE(log.text().find("expired"), std::string::npos) << log.text();
}

}  // namespace
}  // namespace quillet
