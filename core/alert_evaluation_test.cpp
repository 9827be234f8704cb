// The alert evaluation: the merge of stocks and alerts by quote symbol, the figures of a group
// of lots, the comparisons, the registry value and the list operations.
#include "core/alert_evaluation.h"

#include <gtest/gtest.h>

#include <cstring>

#include "core/data_files.h"
#include "core/quote_tables.h"
#include "platform/testing/test_support.h"

namespace quillet {
namespace {

using quillet::testing::TestRoot;

class Alerts : public ::testing::Test {
 protected:
  struct Lot {
    std::string symbol;
    int market = 0;
    std::string shares = "10";
    std::string buyPrice = "10";
    std::string price = "12";
    std::string change = {};
    std::string prevClose = {};
    int status = kStatusActive;
    std::string name = "Stock";
  };
  StockRecord* AddStock(const Lot& l) {
    auto r = std::make_unique<StockRecord>();
    std::memset(r.get(), 0, sizeof(StockRecord));
    r->dwId = ++store.dwMaxStockId;
    CopyToField(r->szName, l.name);
    CopyToField(r->szSymbol, l.symbol);
    r->ucMarket = static_cast<BYTE>(l.market);
    r->ucPortfolio = 1;
    r->ucStatus = static_cast<BYTE>(l.status);
    CopyToField(r->szShares, l.shares);
    CopyToField(r->szBuyPrice, l.buyPrice);
    CopyToField(r->szPrice, l.price);
    CopyToField(r->szChange, l.change);
    CopyToField(r->szPrevClose, l.prevClose);
    r->tBuyDate = 1000;
    store.stocks.push_back(std::move(r));
    return store.stocks.back().get();
  }
  void AddAlertRecord(std::string_view symbol, int market, int condition, int compare,
                      double threshold) {
    auto a = std::make_unique<StockAlert>();
    std::memset(a.get(), 0, sizeof(StockAlert));
    CopyToField(a->szQuoteSymbol, symbol);
    a->ucMarket = static_cast<BYTE>(market);
    a->ucCondition = static_cast<BYTE>(condition);
    a->ucCompare = static_cast<BYTE>(compare);
    a->dThreshold = threshold;
    store.alerts.push_back(std::move(a));
  }
  // The symbols of the alerts at the given positions.
  std::vector<std::string> Symbols(const std::vector<std::size_t>& positions) {
    std::vector<std::string> out;
    for (std::size_t p : positions) out.emplace_back(store.alerts[p]->QuoteSymbol());
    return out;
  }
  bool Fires(int condition, int compare, double threshold) {
    store.alerts.clear();
    AddAlertRecord(store.stocks.front()->Symbol(), store.stocks.front()->ucMarket, condition,
                   compare, threshold);
    return CheckAlerts(store, false);
  }

  TestRoot root;
  PortfolioStore store{*root.ctx};
};

TEST_F(Alerts, ComparisonsAndConditionsOfOneStock) {
  // Profit 20 on cost 100; change 0.5 on a previous close of 10: 5 %.
  AddStock({.symbol = "IBM", .price = "12", .change = "0.5", .prevClose = "10"});
  EXPECT_TRUE(Fires(kAlertPrice, kCompareLess, 12.5));
  EXPECT_FALSE(Fires(kAlertPrice, kCompareLess, 12));
  EXPECT_TRUE(Fires(kAlertPrice, kCompareLessEqual, 12));
  EXPECT_TRUE(Fires(kAlertPrice, kCompareEqual, 12));
  EXPECT_FALSE(Fires(kAlertPrice, kCompareEqual, 12.01));
  EXPECT_TRUE(Fires(kAlertPrice, kCompareGreaterEqual, 12));
  EXPECT_FALSE(Fires(kAlertPrice, kCompareGreater, 12));
  EXPECT_TRUE(Fires(kAlertProfit, kCompareGreater, 19.99));
  EXPECT_FALSE(Fires(kAlertProfit, kCompareGreater, 20));
  EXPECT_TRUE(Fires(kAlertProfitPercent, kCompareEqual, 20));
  EXPECT_TRUE(Fires(kAlertChange, kCompareGreaterEqual, 0.5));
  EXPECT_FALSE(Fires(kAlertChange, kCompareGreater, 0.5));
  EXPECT_TRUE(Fires(kAlertChangePercent, kCompareEqual, 5));
  EXPECT_FALSE(Fires(kAlertChangePercent, kCompareGreater, 5));
  // Values outside the tables never fire.
  EXPECT_FALSE(Fires(5, kCompareGreater, 1));
  EXPECT_FALSE(Fires(kAlertPrice, 5, 1));
}

TEST_F(Alerts, AFigureOfZeroNeverFires) {
  // Never updated: price 0, no change, no previous close.
  AddStock({.symbol = "NEW", .price = "", .change = "", .prevClose = ""});
  EXPECT_FALSE(Fires(kAlertPrice, kCompareLess, 5));
  EXPECT_FALSE(Fires(kAlertChange, kCompareLess, 5));
  EXPECT_FALSE(Fires(kAlertChangePercent, kCompareLess, 5));
  // A change with no previous close cannot make a percentage.
  store.stocks.clear();
  AddStock({.symbol = "NEW", .price = "3", .change = "0.5", .prevClose = ""});
  EXPECT_FALSE(Fires(kAlertChangePercent, kCompareGreater, 1));
  EXPECT_TRUE(Fires(kAlertChange, kCompareGreater, 0.1));
  // Nothing held: cost 0, no profit percentage.
  store.stocks.clear();
  AddStock({.symbol = "W", .shares = "", .buyPrice = "", .price = "3"});
  EXPECT_FALSE(Fires(kAlertProfitPercent, kCompareLess, 50));
  EXPECT_FALSE(Fires(kAlertProfit, kCompareLess, 50));
}

TEST_F(Alerts, TwoLotsOfOneStockAreOneGroup) {
  // Profit 20 + 40; the price compared is the second lot's in symbol order.
  AddStock({.symbol = "ACME", .price = "12"});
  AddStock({.symbol = "acme", .price = "14"});
  AddAlertRecord("ACME", 0, kAlertProfit, kCompareGreaterEqual, 60);
  EXPECT_TRUE(CheckAlerts(store, false));
  store.alerts.clear();
  AddAlertRecord("ACME", 0, kAlertPrice, kCompareEqual, 14);
  EXPECT_TRUE(CheckAlerts(store, false));
  store.alerts.clear();
  AddAlertRecord("ACME", 0, kAlertPrice, kCompareEqual, 12);
  EXPECT_FALSE(CheckAlerts(store, false));
}

TEST_F(Alerts, SoldStocksOtherMarketsAndMissingStocksNeverFire) {
  AddStock({.symbol = "SOLD", .price = "1", .status = kStatusSold});
  AddStock({.symbol = "SAP", .market = 11, .price = "100"});  // SAP.F
  AddStock({.symbol = "ZZZ", .price = "5"});
  AddAlertRecord("SOLD", 0, kAlertPrice, kCompareGreater, 0.5);
  AddAlertRecord("SAP.F", 23, kAlertPrice, kCompareGreater, 1);  // Xetra, not Frankfurt
  AddAlertRecord("GONE", 0, kAlertPrice, kCompareGreater, 1);
  AlertPartition p = PartitionAlerts(store);
  EXPECT_TRUE(p.active.empty());
  EXPECT_EQ(p.inactive.size(), 3u);
  EXPECT_FALSE(CheckAlerts(store, false));
  // The same alert on the stock's own market fires.
  AddAlertRecord("SAP.F", 11, kAlertPrice, kCompareGreater, 1);
  EXPECT_TRUE(CheckAlerts(store, false));
}

TEST_F(Alerts, LotsOfOneSymbolOnTwoMarketsAreTwoHoldings) {
  // Two markets whose quote symbols carry nothing: "IBM" on both.
  std::vector<int> bare;
  for (int m = 0; m < kMarketCount && bare.size() < 2; ++m) {
    if (QuoteSymbol("Q", m) == "Q") bare.push_back(m);
  }
  ASSERT_EQ(bare.size(), 2u);
  // Lots of 10 bought at 10: the two on the first market make a profit of 40 together.
  AddStock({.symbol = "IBM", .market = bare[0], .price = "12"});
  AddStock({.symbol = "IBM", .market = bare[1], .price = "50"});
  AddStock({.symbol = "IBM", .market = bare[0], .price = "12"});
  AddAlertRecord("IBM", bare[1], kAlertPrice, kCompareEqual, 50);
  AddAlertRecord("IBM", bare[0], kAlertProfit, kCompareEqual, 40);
  AddAlertRecord("IBM", bare[0], kAlertPrice, kCompareEqual, 50);
  AlertPartition p = PartitionAlerts(store);
  ASSERT_EQ(p.active.size(), 2u);
  for (std::size_t j : p.active) {
    const StockAlert& a = *store.alerts[j];
    EXPECT_TRUE(a.ucCondition == kAlertProfit ? a.ucMarket == bare[0] : a.ucMarket == bare[1]);
  }
  EXPECT_EQ(p.inactive.size(), 1u);
}

TEST_F(Alerts, PartitionVisitsEveryAlertAndKeepsTheFiringOrder) {
  AddStock({.symbol = "MSFT", .price = "30"});
  AddStock({.symbol = "AAPL", .price = "20"});
  AddStock({.symbol = "IBM", .price = "80"});
  AddAlertRecord("MSFT", 0, kAlertPrice, kCompareGreater, 25);  // fires
  AddAlertRecord("AAPL", 0, kAlertPrice, kCompareGreater, 25);  // does not
  AddAlertRecord("IBM", 0, kAlertPrice, kCompareLess, 90);      // fires
  AddAlertRecord("AAPL", 0, kAlertPrice, kCompareLess, 25);     // fires
  AddAlertRecord("NONE", 0, kAlertPrice, kCompareLess, 25);     // no stock
  AlertPartition p = PartitionAlerts(store);
  EXPECT_EQ(Symbols(p.active), (std::vector<std::string>{"AAPL", "IBM", "MSFT"}));
  EXPECT_EQ(Symbols(p.inactive), (std::vector<std::string>{"AAPL", "NONE"}));
  // The registry is not the partition's business.
  EXPECT_EQ(ReadAlertValue(root.ctx->registry()), 0u);
}

TEST_F(Alerts, LowerCaseSymbolsAreMetByTheWalk) {
  // Alerts sorted byte by byte would put "MSFT" before "ibm" while the stocks come as ibm, MSFT;
  // the walk must still reach the alert of ibm.
  AddStock({.symbol = "ibm", .price = "80"});
  AddStock({.symbol = "MSFT", .price = "30"});
  AddAlertRecord("MSFT", 0, kAlertPrice, kCompareGreater, 100);
  AddAlertRecord("ibm", 0, kAlertPrice, kCompareGreater, 50);
  EXPECT_TRUE(CheckAlerts(store, false));
  EXPECT_EQ(Symbols(PartitionAlerts(store).active), (std::vector<std::string>{"ibm"}));
}

TEST_F(Alerts, RegistryValueFollowsEveryEvaluation) {
  Registry& reg = root.ctx->registry();
  AddStock({.symbol = "IBM", .price = "80"});
  AddAlertRecord("IBM", 0, kAlertPrice, kCompareGreater, 50);
  EXPECT_TRUE(CheckAlerts(store, false));
  EXPECT_EQ(ReadAlertValue(reg), 1u);
  store.alerts[0]->dThreshold = 100;
  EXPECT_FALSE(CheckAlerts(store, false));
  EXPECT_EQ(ReadAlertValue(reg), 0u);
  // After the last alert is deleted the value must not keep saying "active".
  store.alerts[0]->dThreshold = 50;
  ASSERT_TRUE(CheckAlerts(store, false));
  store.alerts.clear();
  EXPECT_FALSE(CheckAlerts(store, false));
  EXPECT_EQ(ReadAlertValue(reg), 0u);
  // The same with alerts but no stocks.
  AddAlertRecord("IBM", 0, kAlertPrice, kCompareGreater, 50);
  WriteAlertValue(reg, true);
  store.stocks.clear();
  EXPECT_FALSE(CheckAlerts(store, false));
  EXPECT_EQ(ReadAlertValue(reg), 0u);
}

TEST_F(Alerts, SortIsLeftBySymbolOrRestored) {
  store.ucSortKey = kSortName;
  AddStock({.symbol = "BBB", .name = "Alpha"});
  AddStock({.symbol = "AAA", .name = "Beta"});
  AddAlertRecord("AAA", 0, kAlertPrice, kCompareGreater, 1000);
  CheckAlerts(store, false);
  EXPECT_EQ(store.stocks[0]->Symbol(), "AAA");
  CheckAlerts(store, true);
  EXPECT_EQ(store.stocks[0]->Symbol(), "BBB");
}

TEST_F(Alerts, EvaluationOrderIsBySymbolWithoutCaseThenMarketLotsKeepingTheirOrder) {
  AddStock({.symbol = "msft", .name = "m1"});
  AddStock({.symbol = "IBM", .name = "i1"});
  AddStock({.symbol = "ibm", .market = 11, .name = "f1"});  // IBM.F
  AddStock({.symbol = "MSFT", .name = "m2"});
  AddStock({.symbol = "ibm", .name = "i2"});
  AddStock({.symbol = "aaa", .name = "a1"});
  AddAlertRecord("ibm", 0, kAlertPrice, kCompareGreater, 1);
  AddAlertRecord("IBM", 0, kAlertPrice, kCompareGreater, 2);
  AddAlertRecord("AAA", 5, kAlertPrice, kCompareGreater, 3);
  AddAlertRecord("IBM", 0, kAlertPrice, kCompareGreater, 4);
  AddAlertRecord("AAA", 0, kAlertPrice, kCompareGreater, 5);
  SortForEvaluation(store);
  std::vector<std::string> names;
  for (const auto& r : store.stocks) names.emplace_back(r->Name());
  EXPECT_EQ(names, (std::vector<std::string>{"a1", "i1", "i2", "f1", "m1", "m2"}));
  // Alerts: by symbol without case, then market, then the symbol's bytes; equal ones keep
  // their order.
  std::vector<double> thresholds;
  for (const auto& a : store.alerts) thresholds.push_back(a->dThreshold);
  EXPECT_EQ(thresholds, (std::vector<double>{5, 3, 2, 4, 1}));
}

TEST_F(Alerts, EveryAlertOfManyLotsIsMetByTheWalk) {
  // Lots of one symbol typed in both cases, alerts in every order: each alert that fires is
  // found, whatever the lists' order was.
  for (int i = 0; i < 300; ++i) {
    const std::string symbol = "S" + std::to_string(i % 100);
    AddStock({.symbol = i % 2 ? symbol : "s" + symbol.substr(1), .price = "12"});
  }
  for (int i = 99; i >= 0; --i) {
    AddAlertRecord("S" + std::to_string(i), 0, kAlertPrice,
                   i % 10 == 0 ? kCompareGreater : kCompareLess, 11);
  }
  AlertPartition p = PartitionAlerts(store);
  EXPECT_EQ(p.active.size(), 10u);
  EXPECT_EQ(p.inactive.size(), 90u);
  for (std::size_t j : p.active) EXPECT_EQ(store.alerts[j]->ucCompare, kCompareGreater);
}

TEST_F(Alerts, StopsAtTheFirstFiringAlert) {
  AddStock({.symbol = "AAA", .price = "10"});
  AddStock({.symbol = "BBB", .price = "10"});
  AddAlertRecord("AAA", 0, kAlertPrice, kCompareGreater, 5);
  AddAlertRecord("BBB", 0, kAlertPrice, kCompareGreater, 5);
  EXPECT_TRUE(CheckAlerts(store, false));
  EXPECT_EQ(PartitionAlerts(store).active.size(), 2u);
}

TEST_F(Alerts, ListOperations) {
  StockRecord* ibm = AddStock({.symbol = "I B M", .market = 11});
  StockRecord* sold = AddStock({.symbol = "OLD", .status = kStatusSold});
  StockRecord* other = AddStock({.symbol = "IBM", .market = 0});
  EXPECT_EQ(AddAlert(store, *ibm, kAlertPrice, kCompareLess, "12.345"), AlertEditResult::kDone);
  ASSERT_EQ(store.alerts.size(), 1u);
  EXPECT_EQ(store.alerts[0]->QuoteSymbol(), "IBM.F");
  EXPECT_EQ(store.alerts[0]->ucMarket, 11);
  EXPECT_DOUBLE_EQ(store.alerts[0]->dThreshold, 12.35);
  // Refused: sold stock, zero or empty threshold, values outside the tables.
  EXPECT_EQ(AddAlert(store, *sold, kAlertPrice, kCompareLess, "5"), AlertEditResult::kRefused);
  EXPECT_EQ(AddAlert(store, *ibm, kAlertPrice, kCompareLess, "0.001"), AlertEditResult::kRefused);
  EXPECT_EQ(AddAlert(store, *ibm, kAlertPrice, kCompareLess, ""), AlertEditResult::kRefused);
  EXPECT_EQ(AddAlert(store, *ibm, 7, kCompareLess, "5"), AlertEditResult::kRefused);
  EXPECT_EQ(store.alerts.size(), 1u);
  EXPECT_EQ(AddAlert(store, *other, kAlertProfit, kCompareGreater, "5"), AlertEditResult::kDone);
  EXPECT_EQ(AddAlert(store, *ibm, kAlertChange, kCompareGreater, "1"), AlertEditResult::kDone);
  EXPECT_EQ(AlertsOfStock(store, *ibm), (std::vector<std::size_t>{0, 2}));
  EXPECT_EQ(ChangeAlert(store, 2, kAlertChangePercent, kCompareEqual, "0"),
            AlertEditResult::kRefused);
  EXPECT_EQ(ChangeAlert(store, 2, kAlertChangePercent, kCompareEqual, "3"), AlertEditResult::kDone);
  EXPECT_EQ(store.alerts[2]->ucCondition, kAlertChangePercent);
  EXPECT_EQ(DeleteAlert(store, 0), AlertEditResult::kDone);
  EXPECT_EQ(DeleteAlert(store, 5), AlertEditResult::kRefused);
  EXPECT_EQ(AlertsOfStock(store, *ibm), (std::vector<std::size_t>{1}));
  EXPECT_STREQ(AlertConditionText(kAlertProfitPercent), "Profit %");
  EXPECT_STREQ(AlertCompareText(kCompareGreaterEqual), ">=");
  EXPECT_STREQ(AlertCompareText(9), "");
}

TEST_F(Alerts, AQuoteSymbolThatDoesNotFitTheAlertIsRefusedNotCut) {
  // A market whose quote symbols carry a prefix ("ZA:" and the like) whatever their length.
  int prefixed = -1;
  for (int m = 0; m < kMarketCount && prefixed < 0; ++m) {
    const std::string q = QuoteSymbol("Q", m);
    if (q.size() > 1 && q.back() == 'Q') prefixed = m;
  }
  ASSERT_GE(prefixed, 0);
  const std::size_t prefix = QuoteSymbol("Q", prefixed).size() - 1;
  StockRecord* fits = AddStock({.symbol = std::string(15 - prefix, 'A'), .market = prefixed});
  StockRecord* tooLong = AddStock({.symbol = std::string(15, 'B'), .market = prefixed});
  EXPECT_EQ(AddAlert(store, *tooLong, kAlertPrice, kCompareLess, "5"), AlertEditResult::kRefused);
  EXPECT_TRUE(store.alerts.empty());
  EXPECT_EQ(AddAlert(store, *fits, kAlertPrice, kCompareLess, "5"), AlertEditResult::kDone);
  EXPECT_EQ(store.alerts[0]->QuoteSymbol(), QuoteSymbol(fits->Symbol(), prefixed));
  EXPECT_EQ(store.alerts[0]->QuoteSymbol().size(), 15u);
  // The symbol an unsaved Info page holds; an empty one names no stock.
  EXPECT_EQ(AddAlertForQuote(store, "", 0, false, kAlertPrice, kCompareLess, "5"),
            AlertEditResult::kRefused);
  EXPECT_EQ(AddAlertForQuote(store, "NEW CO", 11, false, kAlertPrice, kCompareLess, "5"),
            AlertEditResult::kDone);
  EXPECT_EQ(store.alerts.back()->QuoteSymbol(), "NEWCO.F");
  EXPECT_EQ(store.alerts.back()->ucMarket, 11);
  EXPECT_EQ(AlertsOfQuote(store, "newco.f", 11), (std::vector<std::size_t>{1}));
  EXPECT_EQ(IndexOfAlert(store, store.alerts.back().get()), 1);
  EXPECT_EQ(IndexOfAlert(store, nullptr), -1);
  // Memory running out adds nothing.
  store.InjectAllocationFailure(0);
  EXPECT_EQ(AddAlert(store, *fits, kAlertPrice, kCompareLess, "6"), AlertEditResult::kRefused);
  EXPECT_EQ(store.alerts.size(), 2u);
}

TEST_F(Alerts, ADamagedAlertNeverFiresShowsAQuestionMarkAndIsSavedAsItWasRead) {
  AddStock({.symbol = "ABCDEFGHIJKLMN", .market = 11, .price = "12"});
  // No terminator in the symbol field: its 16 bytes spell the stock's quote symbol.
  AddAlertRecord("", 11, kAlertPrice, kCompareGreater, 1);
  std::memcpy(store.alerts[0]->szQuoteSymbol, "ABCDEFGHIJKLMN.F", 16);
  EXPECT_FALSE(CheckAlerts(store, false));
  // Codes the program does not know.
  AddStock({.symbol = "IBM", .price = "12"});
  AddAlertRecord("IBM", 0, 5, kCompareGreater, 1);
  AddAlertRecord("IBM", 0, kAlertPrice, 7, 1);
  EXPECT_FALSE(CheckAlerts(store, false));
  AlertPartition p = PartitionAlerts(store);
  EXPECT_TRUE(p.active.empty());
  EXPECT_EQ(p.inactive.size(), 3u);
  for (const auto& a : store.alerts) EXPECT_FALSE(AlertIsWellFormed(*a));
  const StockAlert* unknownCondition = nullptr;
  const StockAlert* unknownCompare = nullptr;
  for (const auto& a : store.alerts) {
    if (a->ucCondition == 5) unknownCondition = a.get();
    if (a->ucCompare == 7) unknownCompare = a.get();
  }
  EXPECT_EQ(AlertPageLine(store, *unknownCondition), "?     >     1.00");
  EXPECT_EQ(AlertPageLine(store, *unknownCompare), "C.Price     ?     1.00");
  // Saved and read back, every byte is what was read.
  std::vector<StockAlert> before;
  for (const auto& a : store.alerts) before.push_back(*a);
  ASSERT_TRUE(SaveAlerts(store));
  PortfolioStore reread(*root.ctx);
  ASSERT_TRUE(LoadAlerts(reread));
  ASSERT_EQ(reread.alerts.size(), before.size());
  for (std::size_t k = 0; k < before.size(); ++k) {
    EXPECT_EQ(std::memcmp(reread.alerts[k].get(), &before[k], sizeof(StockAlert)), 0) << k;
  }
}

TEST_F(Alerts, TheAlertsViewLabelsAStockByNameOrByItsQuoteSymbol) {
  AddStock({.symbol = "IBM", .name = "International Business"});
  AddAlertRecord("IBM", 0, kAlertProfitPercent, kCompareGreaterEqual, 12.5);
  AddAlertRecord("GONE", 0, kAlertChange, kCompareEqual, -1);
  EXPECT_EQ(AlertViewLine(store, *store.alerts[0]), "IBM            Profit %    >=    12.50");
  store.bNameInCharts = 1;
  // Cut to 11 characters; an alert without a stock keeps its symbol, padded to 11.
  EXPECT_EQ(AlertViewLine(store, *store.alerts[0]), "Internation    Profit %    >=    12.50");
  EXPECT_EQ(AlertViewLine(store, *store.alerts[1]), "GONE           Change    =    -1.00");
}

}  // namespace
}  // namespace quillet
