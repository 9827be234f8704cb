// Whole update runs against quote servers that fail the way real ones do: answers cut short
// with and without their announced length, connections reset mid-body, servers that fall silent
// after part of an answer (and answer in full when asked again), a silence in the first of two
// batches. What must hold: a price is never taken from a request that did not succeed, the log
// says what happened, and a run that left stocks without their prices says it was incomplete.
#include <gtest/gtest.h>

#include "quotes/device/testing/update_run_fixture.h"
#include "quotes/xml_quotes.h"

namespace quillet {
namespace {

constexpr int kMarketBrussels = 56;

class UpdateFaults : public testing::UpdateRunFixture {
 protected:
  // Two US stocks whose prices the simulator knows; their stored prices are the old ones.
  void TwoUsStocks(std::vector<std::string> faults) {
    faults.insert(faults.begin(),
                  {"--fixture", Fixture("IBM,84.50,+0.75,83.10,84.90,83.75,5432100,,,54.01,126.39\n"
                                        "MSFT,27.10,-0.20,26.90,27.40,27.30,1200,,,20.00,35.00\n"
                                        "BRU,31.40,+0.40,30.90,31.60,31.00,800,31.35,31.45,,\n")});
    StartSim(std::move(faults));
    Add("IBM", 0, kStatusActive, "80");
    Add("MSFT", 0, kStatusActive, "25");
  }
  void Retrying() {
    settings.retry = true;
    settings.retryTimeoutSeconds = 1;
  }
  bool Untouched(std::string_view symbol, std::string_view price, int market = 0) {
    const StockRecord& r = Find(symbol, market);
    return FieldText(r.szPrice) == price && r.ucTrend == kTrendNotUpdated;
  }
};

// ---- CSV quotes -------------------------------------------------------------------------------

TEST_F(UpdateFaults, AnAnswerCutMidLineBeforeItsLengthAppliesNothing) {
  TwoUsStocks({"--cut-close", "after:\"MSFT\",2"});
  EXPECT_EQ(Run(), UpdateOutcome::kIncomplete);
  EXPECT_TRUE(Untouched("IBM", "80")) << "the whole answer failed, its first line too";
  EXPECT_TRUE(Untouched("MSFT", "25"));
  EXPECT_TRUE(Logged("Quillet: MFC error"));
  EXPECT_EQ(root.answers.texts(),
            (std::vector<std::string>{"Update not complete, check the network log."}));
}

TEST_F(UpdateFaults, AnAnswerWithoutLengthCutMidLineKeepsOnlyItsWholeLines) {
  // Without Content-Length the cut looks like the end of the answer; the line it cut lacks
  // fields and is not taken as a quote.
  TwoUsStocks({"--no-content-length", "--cut-close", "after:\"MSFT\",2"});
  EXPECT_EQ(Run(), UpdateOutcome::kComplete);
  EXPECT_STREQ(Find("IBM").szPrice, "84.50");
  EXPECT_TRUE(Untouched("MSFT", "25"));
  EXPECT_TRUE(Logged("  [IBM] : [80] -> [84.50]"));
  EXPECT_EQ(log.text().find("[MSFT]"), std::string::npos);
}

TEST_F(UpdateFaults, AResetMidBodyAppliesNothing) {
  TwoUsStocks({"--no-content-length", "--cut-reset", "after:\"MSFT\",27.1"});
  EXPECT_EQ(Run(), UpdateOutcome::kIncomplete);
  EXPECT_TRUE(Untouched("IBM", "80"));
  EXPECT_TRUE(Untouched("MSFT", "25"));
  EXPECT_TRUE(Logged("Quillet: MFC error"));
}

TEST_F(UpdateFaults, AStallAfterPartOfTheBodyIsRetriedAndOnlyTheWholeAnswerCounts) {
  // The first attempt stops inside MSFT's price and falls silent; the retry gets it all. The
  // first attempt's quotes must not be the ones found.
  TwoUsStocks({"--cut-stall", "after:\"MSFT\",2", "--fault-count", "1"});
  Retrying();
  EXPECT_EQ(Run(), UpdateOutcome::kComplete);
  EXPECT_EQ(Targets(2).size(), 2u);
  EXPECT_STREQ(Find("MSFT").szPrice, "27.10");
  EXPECT_STREQ(Find("IBM").szPrice, "84.50");
  EXPECT_TRUE(Logged("  [MSFT] : [25] -> [27.10]"));
  EXPECT_FALSE(Logged("Quillet: Timeout operation"));
}

TEST_F(UpdateFaults, ARetryMakesThreeAttemptsInAll) {
  // Two silent attempts, then an answer.
  TwoUsStocks({"--silent", "--fault-count", "2"});
  Retrying();
  EXPECT_EQ(Run(), UpdateOutcome::kComplete);
  EXPECT_EQ(Targets(3).size(), 3u);
  EXPECT_STREQ(Find("IBM").szPrice, "84.50");
  EXPECT_FALSE(Logged("Quillet: Timeout operation"));
}

TEST_F(UpdateFaults, ThreeSilentAttemptsEndTheRunIncomplete) {
  TwoUsStocks({"--silent"});
  Retrying();
  EXPECT_EQ(Run(), UpdateOutcome::kIncomplete);
  EXPECT_EQ(Targets(3).size(), 3u) << "three attempts and no fourth";
  EXPECT_EQ(log.text().find("Quillet: Timeout operation"),
            log.text().rfind("Quillet: Timeout operation"))
      << "logged once, for the last attempt";
  EXPECT_TRUE(Untouched("IBM", "80"));
}

TEST_F(UpdateFaults, AStallInTheFirstOfTwoBatchesMakesTheRunIncomplete) {
  // 200 symbols: two batches. The first falls silent after part of its answer on every
  // attempt; the run stops there, and 200 stocks without prices are no complete update.
  StartSim({"--cut-stall", "after:\"U1010\"", "--fault-count", "3"});
  Retrying();
  for (int i = 0; i < 200; ++i) Add("U" + std::to_string(1000 + i), 0, kStatusActive, "1");
  EXPECT_EQ(Run(), UpdateOutcome::kIncomplete);
  EXPECT_EQ(Targets(3).size(), 3u) << "the second batch is never asked";
  EXPECT_TRUE(Logged("Quillet: Timeout operation"));
  for (const auto& r : store.stocks) EXPECT_EQ(r->ucTrend, kTrendNotUpdated) << r->Symbol();
  EXPECT_EQ(root.answers.texts(),
            (std::vector<std::string>{"Update not complete, check the network log."}));
}

TEST_F(UpdateFaults, AStallInTheFirstBatchThatARetryMendsUpdatesBoth) {
  StartSim({"--cut-stall", "after:\"U1010\"", "--fault-count", "1"});
  Retrying();
  for (int i = 0; i < 200; ++i) Add("U" + std::to_string(1000 + i), 0, kStatusActive, "1");
  EXPECT_EQ(Run(), UpdateOutcome::kComplete);
  EXPECT_EQ(Targets(3).size(), 3u);
  for (const auto& r : store.stocks) EXPECT_NE(r->ucTrend, kTrendNotUpdated) << r->Symbol();
}

TEST_F(UpdateFaults, AnErrorInTheFirstOfTwoBatchesIsNoCompleteUpdate) {
  StartSim({"--status", "503", "--fault-count", "1"});
  for (int i = 0; i < 200; ++i) Add("U" + std::to_string(1000 + i), 0, kStatusActive, "1");
  EXPECT_EQ(Run(), UpdateOutcome::kIncomplete);
  EXPECT_EQ(Targets(2).size(), 2u) << "an error does not stop the run";
  int updated = 0;
  for (const auto& r : store.stocks) updated += r->ucTrend != kTrendNotUpdated;
  EXPECT_EQ(updated, 50) << "only the second batch's stocks";
}

TEST_F(UpdateFaults, ACurrencyAnswerCutShortSetsNoRate) {
  TwoUsStocks({"--fault-path", "=X", "--cut-close", "after:\"EURUSD=X\",1"});
  AddCurrency("EUR", 1.1);
  EXPECT_EQ(Run(), UpdateOutcome::kIncomplete);
  EXPECT_DOUBLE_EQ(store.currencies[1].dRate, 1.1);
  EXPECT_STREQ(Find("IBM").szPrice, "84.50") << "the stock request was whole";
}

// ---- Quote pages ------------------------------------------------------------------------------

TEST_F(UpdateFaults, APageCutBeforeItsLengthChangesNothing) {
  ASSERT_EQ(GetMarketSource(kMarketBrussels), 12);
  TwoUsStocks({"--fault-path", "qCode=", "--cut-close", "after:P.Close"});
  Add("BRU", kMarketBrussels, kStatusActive, "30");
  EXPECT_EQ(Run(), UpdateOutcome::kIncomplete);
  // Without the rule the half page would read as "no price" (last 0) and mark the stock so.
  EXPECT_TRUE(Untouched("BRU", "30", kMarketBrussels));
  EXPECT_TRUE(Logged("Quillet: [BRU] MFC error"));
}

TEST_F(UpdateFaults, AHalfPageWithoutLengthIsAPageWithoutAPrice) {
  TwoUsStocks({"--fault-path", "qCode=", "--no-content-length", "--cut-close", "after:P.Close"});
  Add("BRU", kMarketBrussels, kStatusActive, "30");
  EXPECT_EQ(Run(), UpdateOutcome::kComplete);
  EXPECT_STREQ(Find("BRU", kMarketBrussels).szPrice, "30");
  EXPECT_EQ(Find("BRU", kMarketBrussels).ucTrend, kTrendNoQuote);
}

TEST_F(UpdateFaults, AHalfPageThatFallsSilentIsAskedAgainAndTheWholePageCounts) {
  TwoUsStocks({"--fault-path", "qCode=", "--cut-stall", "after:P.Close", "--fault-count", "1"});
  Retrying();
  Add("BRU", kMarketBrussels, kStatusActive, "30");
  EXPECT_EQ(Run(), UpdateOutcome::kComplete);
  EXPECT_STREQ(Find("BRU", kMarketBrussels).szPrice, "31.40");
  EXPECT_EQ(Find("BRU", kMarketBrussels).ucTrend, kTrendUp);
}

// ---- The XML list (no market uses it; the fetch steps and the client are checked) -------------

class XmlFaults : public testing::UpdateRunFixture {
 protected:
  int FetchList(std::vector<std::string> faults, bool retry = false) {
    faults.insert(faults.begin(),
                  {"--fixture", Fixture("NESN,250.50,+1.50,248.00,251.00,249.00,1000,,,,\n"
                                        "UBSN,80.25,-0.25,79.90,81.00,80.50,2000,,,,\n")});
    StartSim(std::move(faults));
    client.SetServerOverride(settings.server);
    client.BeginRequest(kSourceXml);
    client.AppendRequest("NESN,UBSN");
    client.EndRequest();
    return FetchBatch(client, log, retry, 5, 1);
  }
  static constexpr int kSourceXml = 14;
  CancelToken cancel;
  CQuoteClient client{ClientVariant::kDevice, ClientServicesOf(*root.ctx, cancel)};
};

TEST_F(XmlFaults, AListCutBeforeItsLengthKeepsNoQuote) {
  // Cut after the first whole element: each element alone looks fine, the answer does not.
  EXPECT_EQ(FetchList({"--cut-close", "after:</QUOTE_ELEMENT>"}), QR_ERROR);
  EXPECT_TRUE(client.results().empty());
  EXPECT_TRUE(Logged("Quillet: MFC error"));
}

TEST_F(XmlFaults, AListResetMidElementKeepsNoQuote) {
  EXPECT_EQ(FetchList({"--no-content-length", "--cut-reset", "after:<LAST>80"}), QR_ERROR);
  EXPECT_TRUE(client.results().empty());
}

TEST_F(XmlFaults, AListThatFallsSilentIsAskedAgain) {
  EXPECT_EQ(FetchList({"--cut-stall", "after:<LAST>80", "--fault-count", "1"}, true), QR_OK);
  ASSERT_EQ(client.results().size(), 2u) << "only the second attempt's two quotes";
  EXPECT_STREQ(client.results()[1]->szLast, "80.25");
}

}  // namespace
}  // namespace quillet
